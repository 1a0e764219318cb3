// Differential check of DecodeInstruction against Zydis and Capstone: real code sections and random
// byte strings. Prints counts, a few examples of each disagreement, and METRIC lines; exits 1 when
// any length or flag disagrees with an oracle that decoded the bytes.
//
//   decoder_diff [--random N] [--seed S] [--examples K] FILE...
#include <Zydis/Zydis.h>
#include <capstone/capstone.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "code_sections.h"
#include "hook/decoder.h"

namespace {

struct View {
  bool ok = false;
  unsigned len = 0;
  bool modrm = false, sib = false, relative = false;
  unsigned dispBytes = 0, immBytes = 0;
};

ZydisDecoder gZydis;
csh gCapstone;

View FromZydis(const uint8_t* p, size_t n) {
  View v;
  ZydisDecodedInstruction in;
  if (!ZYAN_SUCCESS(ZydisDecoderDecodeInstruction(&gZydis, nullptr, p, n, &in))) return v;
  v.ok = true;
  v.len = in.length;
  v.modrm = in.attributes & ZYDIS_ATTRIB_HAS_MODRM;
  v.sib = in.attributes & ZYDIS_ATTRIB_HAS_SIB;
  v.dispBytes = in.raw.disp.size / 8;
  v.immBytes = (in.raw.imm[0].size + in.raw.imm[1].size) / 8;
  v.relative = in.raw.imm[0].is_relative || in.raw.imm[1].is_relative;
  return v;
}

View FromCapstone(const uint8_t* p, size_t n) {
  View v;
  cs_insn* insn = nullptr;
  if (cs_disasm(gCapstone, p, n, 0x100000, 1, &insn) != 1) return v;
  v.ok = true;
  v.len = insn->size;
  const cs_x86_encoding& e = insn->detail->x86.encoding;
  v.modrm = e.modrm_offset != 0;
  // 64-bit mode has no 16-bit displacement; Capstone 4 says 2 for a 32-bit one under 0x66.
  v.dispBytes = e.disp_size == 2 ? 4 : e.disp_size;
  v.immBytes = e.imm_size;
  cs_free(insn, 1);
  return v;
}

View FromMine(const uint8_t* p, size_t n, DecodedInstruction* d) {
  View v;
  if (!DecodeInstruction(p, n, d)) return v;
  v.ok = true;
  v.len = d->len;
  v.modrm = d->flags & DecodeFlags::HasModRM;
  v.sib = d->flags & DecodeFlags::HasSib;
  v.dispBytes = (d->flags & DecodeFlags::Disp8) ? 1 : (d->flags & DecodeFlags::Disp32) ? 4 : 0;
  v.immBytes = ImmediateSize(*d);
  v.relative = d->flags & DecodeFlags::Relative;
  // Memory-offset moves carry their address where both oracles put a displacement.
  if (d->vex == VexKind::None && d->opcode >= 0xA0 && d->opcode <= 0xA3) {
    v.dispBytes = v.immBytes;
    v.immBytes = 0;
  }
  return v;
}

struct Tally {
  const char* name;
  uint64_t compared = 0, agree = 0, lengthDiff = 0, flagDiff = 0, weRefuse = 0, weAccept = 0;
  uint64_t overruled = 0;  // disagreements where the other oracle decoded exactly as we did
  unsigned shownLen = 0, shownFlag = 0, shownRefuse = 0, shownAccept = 0, shownOverruled = 0;
};

unsigned gExamples = 5;
Tally gZ{"zydis"}, gC{"capstone"};
uint64_t gTruncationFaults = 0;

void Show(const char* what, const Tally& t, const uint8_t* p, size_t n, const View& mine,
          const View& o, const std::string& origin) {
  std::printf("  %s %s:", t.name, what);
  for (size_t i = 0; i < n && i < 15; ++i) std::printf(" %02x", p[i]);
  std::printf("  mine len %u m%d s%d d%u i%u r%d | oracle len %u m%d s%d d%u i%u r%d  %s\n",
              mine.len, mine.modrm, mine.sib, mine.dispBytes, mine.immBytes, mine.relative, o.len,
              o.modrm, o.sib, o.dispBytes, o.immBytes, o.relative, origin.c_str());
}

// Flags Capstone 4 reports do not match the encoding for some classes; lengths are compared always.
bool FlagsAgree(const Tally& t, const View& a, const View& o, const DecodedInstruction& d) {
  if (a.modrm != o.modrm || a.dispBytes != o.dispBytes) return false;
  const bool threeDNow = d.vex == VexKind::None && d.opcode == 0x0F && d.opcode2 == 0x0F;
  if (!threeDNow && a.immBytes != o.immBytes) return false;
  if (std::strcmp(t.name, "zydis") == 0) return a.sib == o.sib && a.relative == o.relative;
  return true;
}

// `referee`: the other oracle's view, when it can settle a disagreement (Capstone 4 has known
// faults: 16-bit branch offsets with 0x66, displacement sizes under 0x66, UD0/UD1 without ModRM).
void Compare(Tally& t, const View& o, const View& mine, const DecodedInstruction& d,
             const uint8_t* p, size_t n, const std::string& origin, const View* referee) {
  if (!o.ok && !mine.ok) return;
  if (!o.ok) {
    ++t.weAccept;
    if (t.shownAccept++ < gExamples) Show("only-mine", t, p, mine.len, mine, o, origin);
    return;
  }
  if (!mine.ok) {
    ++t.weRefuse;
    if (t.shownRefuse++ < gExamples) Show("only-oracle", t, p, o.len, mine, o, origin);
    return;
  }
  ++t.compared;
  const bool differs = mine.len != o.len || !FlagsAgree(t, mine, o, d);
  if (differs && referee && referee->ok && referee->len == mine.len &&
      FlagsAgree(gZ, mine, *referee, d)) {
    ++t.overruled;
    if (t.shownOverruled++ < gExamples) Show("overruled", t, p, n, mine, o, origin);
    return;
  }
  if (mine.len != o.len) {
    ++t.lengthDiff;
    if (t.shownLen++ < gExamples) Show("LENGTH", t, p, n, mine, o, origin);
  } else if (!FlagsAgree(t, mine, o, d)) {
    ++t.flagDiff;
    if (t.shownFlag++ < gExamples) Show("FLAGS", t, p, n, mine, o, origin);
  } else {
    ++t.agree;
  }
}

// The decoder must refuse one byte short of the instruction and accept it exactly; an exact-size
// heap copy lets AddressSanitizer catch any read beyond.
void CheckTruncation(const uint8_t* p, unsigned len) {
  std::vector<uint8_t> exact(p, p + len);
  DecodedInstruction d;
  if (DecodeInstruction(exact.data(), len, &d) != len) ++gTruncationFaults;
  if (DecodeInstruction(exact.data(), len - 1, &d) != 0 || !(d.flags & DecodeFlags::Error))
    ++gTruncationFaults;
}

void CheckAt(const uint8_t* p, size_t n, const std::string& origin, View* zydisOut) {
  const size_t window = n < 15 ? n : 15;
  DecodedInstruction d;
  const View mine = FromMine(p, window, &d);
  const View z = FromZydis(p, window);
  const View c = FromCapstone(p, window);
  Compare(gZ, z, mine, d, p, window, origin, nullptr);
  Compare(gC, c, mine, d, p, window, origin, &z);
  if (mine.ok) CheckTruncation(p, mine.len);
  *zydisOut = z;
}

void Report(const Tally& t) {
  std::printf("%-9s compared %llu agree %llu length-diff %llu flag-diff %llu only-oracle %llu "
              "only-mine %llu overruled-by-other %llu\n",
              t.name, (unsigned long long)t.compared, (unsigned long long)t.agree,
              (unsigned long long)t.lengthDiff, (unsigned long long)t.flagDiff,
              (unsigned long long)t.weRefuse, (unsigned long long)t.weAccept,
              (unsigned long long)t.overruled);
}

// Random instruction-shaped strings: prefixes, REX, an escape, then random bytes.
void MakeRandom(std::mt19937_64& rng, uint8_t* buf) {
  static const uint8_t kPrefixes[] = {0x66, 0x67, 0xF0, 0xF2, 0xF3, 0x2E, 0x3E, 0x26, 0x64, 0x65, 0x36};
  static const uint8_t kLead[][3] = {{0x0F, 0, 0}, {0x0F, 0x38, 0}, {0x0F, 0x3A, 0}, {0xC4, 0, 0},
                                     {0xC5, 0, 0}, {0x62, 0, 0},    {0x8F, 0, 0}};
  for (int i = 0; i < 16; ++i) buf[i] = uint8_t(rng());
  const unsigned shape = rng() % 8;
  if (shape < 2) return;  // fully random
  unsigned pos = 0;
  const unsigned prefixes = rng() % 4;
  for (unsigned i = 0; i < prefixes; ++i) buf[pos++] = kPrefixes[rng() % sizeof kPrefixes];
  if (rng() % 2) buf[pos++] = 0x40 | (rng() % 16);
  if (shape >= 4) {
    const auto& lead = kLead[rng() % 7];
    for (int i = 0; i < 3 && lead[i]; ++i) buf[pos++] = lead[i];
    if (lead[0] == 0x62 && pos + 3 < 16) {  // mostly well-formed EVEX payload bits
      buf[pos] = (buf[pos] & ~0x08);
      buf[pos + 1] |= 0x04;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t randomCount = 0, seed = 1;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--random" && i + 1 < argc) randomCount = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--seed" && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--examples" && i + 1 < argc) gExamples = std::strtoul(argv[++i], nullptr, 10);
    else files.push_back(a);
  }
  ZydisDecoderInit(&gZydis, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
  if (cs_open(CS_ARCH_X86, CS_MODE_64, &gCapstone) != CS_ERR_OK) return 2;
  cs_option(gCapstone, CS_OPT_DETAIL, CS_OPT_ON);

  const auto start = std::chrono::steady_clock::now();
  uint64_t sectionCount = 0, bytesSeen = 0;
  for (const std::string& f : files) {
    std::vector<CodeSection> sections;
    if (!ReadCodeSections(f, &sections)) {
      std::printf("skipped (not ELF, PE, COFF or archive): %s\n", f.c_str());
      continue;
    }
    for (const CodeSection& s : sections) {
      ++sectionCount;
      bytesSeen += s.bytes.size();
      // Linear sweep: step by Zydis's length where it decodes, else by one byte.
      for (size_t off = 0; off < s.bytes.size();) {
        View z;
        CheckAt(s.bytes.data() + off, s.bytes.size() - off, s.origin, &z);
        off += z.ok ? z.len : 1;
      }
    }
  }
  std::mt19937_64 rng(seed);
  uint8_t buf[16];
  for (uint64_t i = 0; i < randomCount; ++i) {
    MakeRandom(rng, buf);
    View z;
    CheckAt(buf, 15, "random", &z);
  }
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("sections %llu bytes %llu random %llu in %.1f s\n", (unsigned long long)sectionCount,
              (unsigned long long)bytesSeen, (unsigned long long)randomCount, secs);
  Report(gZ);
  Report(gC);
  std::printf("truncation faults %llu\n", (unsigned long long)gTruncationFaults);
  const uint64_t mismatches = gZ.lengthDiff + gZ.flagDiff + gC.lengthDiff + gC.flagDiff;
  std::printf("METRIC decoder_compared %llu count\n", (unsigned long long)(gZ.compared + gC.compared));
  std::printf("METRIC decoder_mismatches %llu count\n", (unsigned long long)mismatches);
  std::printf("METRIC decoder_compared_zydis %llu count\n", (unsigned long long)gZ.compared);
  std::printf("METRIC decoder_mismatches_zydis %llu count\n",
              (unsigned long long)(gZ.lengthDiff + gZ.flagDiff));
  std::printf("METRIC decoder_compared_capstone %llu count\n", (unsigned long long)gC.compared);
  std::printf("METRIC decoder_mismatches_capstone %llu count\n",
              (unsigned long long)(gC.lengthDiff + gC.flagDiff));
  std::printf("METRIC decoder_refused_zydis %llu count\n", (unsigned long long)gZ.weRefuse);
  std::printf("METRIC decoder_truncation_faults %llu count\n", (unsigned long long)gTruncationFaults);
  cs_close(&gCapstone);
  return (mismatches || gTruncationFaults) ? 1 : 0;
}
