// The trampoline builder on every function entry of real x64 PE images (their exception
// directories), each trampoline checked against Zydis: copied instructions unchanged, RIP-relative
// operands reaching the same address, branches reaching the same destination, calls pushing the
// original return address and going to the same callee, the jump back and the relay. Also counts
// the entries whose own code branches into the patched bytes. Prints METRIC lines; exits 1 on
// any mismatch.
//
//   trampoline_check [--examples K] FILE...
#include <Zydis/Zydis.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hook/function_body.h"
#include "hook/trampoline.h"

namespace {

constexpr uint64_t kDetour = 0x7FF612340000;

ZydisDecoder gZydis;
unsigned gExamples = 5;

struct Counts {
  uint64_t entries = 0, built = 0, refused = 0, mismatches = 0, branchIntoPatch = 0;
  uint64_t ripRelative = 0, branches = 0, calls = 0;
} gCounts;

template <typename T>
bool Load(const std::vector<uint8_t>& f, size_t off, T* v) {
  if (off > f.size() || f.size() - off < sizeof(T)) return false;
  std::memcpy(v, f.data() + off, sizeof(T));
  return true;
}

// The file laid out as the loader would map it; empty when it is no x64 PE image.
std::vector<uint8_t> MapImage(const std::vector<uint8_t>& f, uint64_t* imageBase) {
  uint32_t lfanew, pe, sizeOfImage, sizeOfHeaders;
  uint16_t machine, nsec, optSize, magic;
  if (f.size() < 64 || f[0] != 'M' || f[1] != 'Z' || !Load(f, 0x3C, &lfanew)) return {};
  if (!Load(f, lfanew, &pe) || pe != 0x4550 || !Load(f, lfanew + 4, &machine) || machine != 0x8664)
    return {};
  const size_t opt = lfanew + 24;
  if (!Load(f, lfanew + 6, &nsec) || !Load(f, lfanew + 20, &optSize) || !Load(f, opt, &magic) ||
      magic != 0x20B || !Load(f, opt + 24, imageBase) || !Load(f, opt + 56, &sizeOfImage) ||
      !Load(f, opt + 60, &sizeOfHeaders) || sizeOfImage > (512u << 20))
    return {};
  std::vector<uint8_t> image(sizeOfImage, 0);
  std::memcpy(image.data(), f.data(), std::min<size_t>({size_t(sizeOfHeaders), f.size(), image.size()}));
  for (unsigned i = 0; i < nsec; ++i) {
    const size_t s = opt + optSize + size_t(i) * 40;
    uint32_t virtSize, rva, rawSize, rawPtr;
    if (!Load(f, s + 8, &virtSize) || !Load(f, s + 12, &rva) || !Load(f, s + 16, &rawSize) ||
        !Load(f, s + 20, &rawPtr))
      return {};
    size_t n = std::min<size_t>(rawSize, virtSize ? virtSize : rawSize);
    if (rawPtr > f.size() || rva > image.size()) continue;
    n = std::min<size_t>({n, f.size() - rawPtr, image.size() - rva});
    std::memcpy(image.data() + rva, f.data() + rawPtr, n);
  }
  return image;
}

struct Insn {
  bool ok = false;
  ZydisDecodedInstruction in;
  ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
};

Insn Decode(const uint8_t* p, size_t n) {
  Insn i;
  i.ok = ZYAN_SUCCESS(ZydisDecoderDecodeFull(&gZydis, p, n, &i.in, i.ops));
  return i;
}

// The address a relative branch (`branch`) or a RIP-relative operand reaches; false when it has
// none.
bool Reach(const Insn& i, uint64_t at, uint64_t* where, bool branch = false) {
  for (unsigned k = 0; k < i.in.operand_count_visible; ++k) {
    const ZydisDecodedOperand& op = i.ops[k];
    const bool rip = op.type == ZYDIS_OPERAND_TYPE_MEMORY && op.mem.base == ZYDIS_REGISTER_RIP;
    const bool rel = op.type == ZYDIS_OPERAND_TYPE_IMMEDIATE && op.imm.is_relative;
    if ((branch ? rel : rip) && ZYAN_SUCCESS(ZydisCalcAbsoluteAddress(&i.in, &op, at, where)))
      return true;
  }
  return false;
}

uint64_t U64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// An absolute jump at p (FF 25 00000000 + address) to `dest`.
bool AbsoluteJumpTo(const uint8_t* p, uint64_t dest) {
  return std::memcmp(p, "\xFF\x25\0\0\0\0", 6) == 0 && U64(p + 6) == dest;
}

bool Inverse(ZydisMnemonic a, ZydisMnemonic b) {
  static const ZydisMnemonic pairs[][2] = {
      {ZYDIS_MNEMONIC_JO, ZYDIS_MNEMONIC_JNO}, {ZYDIS_MNEMONIC_JB, ZYDIS_MNEMONIC_JNB},
      {ZYDIS_MNEMONIC_JZ, ZYDIS_MNEMONIC_JNZ}, {ZYDIS_MNEMONIC_JBE, ZYDIS_MNEMONIC_JNBE},
      {ZYDIS_MNEMONIC_JS, ZYDIS_MNEMONIC_JNS}, {ZYDIS_MNEMONIC_JP, ZYDIS_MNEMONIC_JNP},
      {ZYDIS_MNEMONIC_JL, ZYDIS_MNEMONIC_JNL}, {ZYDIS_MNEMONIC_JLE, ZYDIS_MNEMONIC_JNLE}};
  for (const auto& p : pairs)
    if ((a == p[0] && b == p[1]) || (a == p[1] && b == p[0])) return true;
  return false;
}

// Checks one copied instruction's form; `last` is set when nothing may follow it.
const char* CheckForm(const uint8_t* orig, uint64_t origAt, const uint8_t* form, size_t formRoom,
                      uint64_t formAt, uint64_t target, bool* ends) {
  const Insn o = Decode(orig, 15);
  if (!o.ok) return "original not decodable";
  uint64_t reach = 0, dest = 0;
  const bool reaches = Reach(o, origAt, &reach);
  const bool branches = Reach(o, origAt, &dest, true);
  const ZydisMnemonic m = o.in.mnemonic;
  *ends = false;
  if (m == ZYDIS_MNEMONIC_CALL) {
    ++gCounts.calls;
    *ends = true;
    if (form[0] != 0xFF || form[1] != 0x35) return "call: no push";
    int32_t d;
    std::memcpy(&d, form + 2, 4);
    if (6 + d + 8 > int64_t(formRoom) || U64(form + 6 + d) != origAt + o.in.length)
      return "call: pushed address is not the original return address";
    const Insn j = Decode(form + 6, formRoom - 6);
    if (!j.ok || j.in.mnemonic != ZYDIS_MNEMONIC_JMP) return "call: no jump after the push";
    uint64_t jr = 0;
    if (branches) return AbsoluteJumpTo(form + 6, dest) ? nullptr : "call: jump goes elsewhere";
    if (o.ops[0].type == ZYDIS_OPERAND_TYPE_REGISTER)
      return j.ops[0].type == ZYDIS_OPERAND_TYPE_REGISTER && j.ops[0].reg.value == o.ops[0].reg.value
                 ? nullptr : "call: jump through another register";
    if (reaches) return Reach(j, formAt + 6, &jr) && jr == reach ? nullptr : "call: operand moved";
    return j.ops[0].type == ZYDIS_OPERAND_TYPE_MEMORY && j.ops[0].mem.base == o.ops[0].mem.base &&
                   j.ops[0].mem.index == o.ops[0].mem.index &&
                   j.ops[0].mem.disp.value == o.ops[0].mem.disp.value
               ? nullptr : "call: memory operand changed";
  }
  if (branches) {
    ++gCounts.branches;
    if (dest >= target && dest < target + 5)
      return std::memcmp(form, orig, o.in.length) == 0 ? nullptr : "kept branch changed";
    if (m == ZYDIS_MNEMONIC_JMP) {
      *ends = true;  // unless a kept branch jumps past it; then more follows and is checked too
      return AbsoluteJumpTo(form, dest) ? nullptr : "jump: destination moved";
    }
    const Insn s = Decode(form, formRoom);
    if (!s.ok || !Inverse(s.in.mnemonic, m) || s.in.length != 2 || form[1] != 0x0E)
      return "conditional jump: not an inverted skip";
    return AbsoluteJumpTo(form + 2, dest) ? nullptr : "conditional jump: destination moved";
  }
  if (reaches) {
    ++gCounts.ripRelative;
    const Insn n = Decode(form, formRoom);
    uint64_t nr = 0;
    if (!n.ok || n.in.length != o.in.length || n.in.mnemonic != m) return "RIP-relative: changed";
    return Reach(n, formAt, &nr) && nr == reach ? nullptr : "RIP-relative: reaches elsewhere";
  }
  return std::memcmp(form, orig, o.in.length) == 0 ? nullptr : "plain instruction changed";
}

void Show(const char* what, const std::string& origin, const std::vector<uint8_t>& image,
          uint32_t rva) {
  std::printf("  %s: %s+0x%x:", what, origin.c_str(), rva);
  for (unsigned i = 0; i < 16 && rva + i < image.size(); ++i) std::printf(" %02x", image[rva + i]);
  std::printf("\n");
}

void CheckEntry(const std::vector<uint8_t>& image, uint64_t base, uint32_t rva,
                const std::string& origin) {
  ++gCounts.entries;
  const uint64_t target = base + rva;
  const uint64_t slotAt = base - 0x100000;
  TrampolineSource src;
  src.target = target;
  src.code = image.data() + rva;
  src.readable = std::min<size_t>(32, image.size() - rva);
  src.above = rva >= 5 ? image.data() + rva - 5 : nullptr;
  uint8_t slot[kSlotSize];
  HookRecord r{};
  r.target = target;
  if (!BuildTrampoline(src, slot, slotAt, kDetour, &r)) {
    if (++gCounts.refused <= gExamples) Show("refused", origin, image, rva);
    return;
  }
  ++gCounts.built;
  const char* fault = nullptr;
  bool ended = false;
  for (unsigned k = 0; k < r.boundaryCount && !fault; ++k) {
    const unsigned o = r.oldBoundaries[k], n = r.newBoundaries[k];
    if (o >= 5 && !ended) {  // the jump back
      if (k + 1 != r.boundaryCount || !AbsoluteJumpTo(slot + n, target + o)) fault = "jump back";
      continue;
    }
    if (ended && o >= r.copied) fault = "copied past the end";
    const size_t room = r.relay - slotAt - n;
    if (!fault) fault = CheckForm(image.data() + rva + o, target + o, slot + n, room, slotAt + n,
                                  target, &ended);
    if (!fault && ended && o < 5 && k + 1 < r.boundaryCount && r.oldBoundaries[k + 1] >= 5)
      fault = "jump back after the end";
  }
  if (!fault && !AbsoluteJumpTo(slot + (r.relay - slotAt), kDetour)) fault = "relay";
  if (fault) {
    if (++gCounts.mismatches <= gExamples) Show((std::string("MISMATCH ") + fault).c_str(), origin, image, rva);
    return;
  }
  PatchSpan span{rva, rva + r.copied, r.patchedAbove ? rva - 5 : rva, rva + (r.patchedAbove ? 2u : 5u)};
  if (CheckFunctionBody(ImageView{image.data(), image.size()}, span) == BodyCheck::BranchesIntoPatch &&
      ++gCounts.branchIntoPatch <= gExamples)
    Show("branches into its patch", origin, image, rva);
}

void CheckFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  uint64_t base = 0;
  const std::vector<uint8_t> image = MapImage(f, &base);
  if (image.empty()) return;
  uint32_t lfanew, dirs, at, size;
  Load(image, 0x3C, &lfanew);
  const size_t opt = lfanew + 24;
  if (!Load(image, opt + 108, &dirs) || dirs <= 3 || !Load(image, opt + 112 + 24, &at) ||
      !Load(image, opt + 116 + 24, &size))
    return;
  for (uint64_t e = at; e + 12 <= uint64_t(at) + size && e + 12 <= image.size(); e += 12) {
    uint32_t begin, unwind;
    Load(image, e, &begin);
    Load(image, e + 8, &unwind);
    if ((unwind & 1) || unwind >= image.size() || begin + 16 > image.size()) continue;
    if ((image[unwind] >> 3) & 0x4) continue;  // a chained part, not an entry
    CheckEntry(image, base, begin, path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ZydisDecoderInit(&gZydis, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
  int files = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--examples") == 0 && i + 1 < argc) {
      gExamples = unsigned(std::atoi(argv[++i]));
      continue;
    }
    CheckFile(argv[i]);
    ++files;
  }
  std::printf("trampolines over %d files: %llu entries, %llu built, %llu refused; relocated %llu "
              "RIP-relative operands, %llu branches, %llu calls\n",
              files, (unsigned long long)gCounts.entries, (unsigned long long)gCounts.built,
              (unsigned long long)gCounts.refused, (unsigned long long)gCounts.ripRelative,
              (unsigned long long)gCounts.branches, (unsigned long long)gCounts.calls);
  std::printf("METRIC trampoline_entries %llu count\n", (unsigned long long)gCounts.entries);
  std::printf("METRIC trampoline_refused %llu count\n", (unsigned long long)gCounts.refused);
  std::printf("METRIC trampoline_mismatches %llu count\n", (unsigned long long)gCounts.mismatches);
  std::printf("METRIC trampoline_branch_into_patch %llu count\n",
              (unsigned long long)gCounts.branchIntoPatch);
  return gCounts.mismatches ? 1 : 0;
}
