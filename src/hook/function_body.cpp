#include "hook/function_body.h"

#include <algorithm>
#include <cstring>

#include "hook/decoder.h"

namespace {

constexpr unsigned kExceptionDirectory = 3;
constexpr uint8_t kChainInfo = 0x4;     // UNW_FLAG_CHAININFO
constexpr unsigned kMaxChain = 32;      // deeper chains are taken as broken

struct Entry {
  uint32_t begin, end, unwind;
};

bool Read32(const ImageView& im, uint64_t at, uint32_t* v) {
  if (at + 4 > im.size) return false;
  std::memcpy(v, im.base + at, 4);
  return true;
}

bool ReadEntry(const ImageView& im, uint64_t at, Entry* e) {
  return Read32(im, at, &e->begin) && Read32(im, at + 4, &e->end) &&
         Read32(im, at + 8, &e->unwind) && e->begin < e->end && e->end <= im.size;
}

// Offset of the optional header, or 0.
uint32_t OptionalHeader(const ImageView& im) {
  uint32_t lfanew, signature;
  if (im.size < 0x40 || im.base[0] != 'M' || im.base[1] != 'Z') return 0;
  if (!Read32(im, 0x3C, &lfanew) || !Read32(im, lfanew, &signature) || signature != 0x4550)
    return 0;
  const uint64_t opt = uint64_t(lfanew) + 24;
  if (opt + 2 > im.size || im.base[opt] != 0x0B || im.base[opt + 1] != 0x02) return 0;  // PE32+
  return uint32_t(opt);
}

struct Directory {
  uint32_t at = 0, count = 0;  // the exception directory's entries
};

Directory ExceptionDirectory(const ImageView& im) {
  Directory d;
  const uint32_t opt = OptionalHeader(im);
  uint32_t dirs, rva, size;
  if (!opt || !Read32(im, opt + 108, &dirs) || dirs <= kExceptionDirectory) return d;
  if (!Read32(im, opt + 112 + 8 * kExceptionDirectory, &rva) ||
      !Read32(im, opt + 116 + 8 * kExceptionDirectory, &size))
    return d;
  if (uint64_t(rva) + size > im.size) return d;
  d.at = rva;
  d.count = size / 12;
  return d;
}

// The entry whose code holds `rva`: halving the directory when it is known to be in order, else
// the first sound entry of a walk (an entry out of order must not hide the one sought).
bool Lookup(const ImageView& im, const Directory& dir, bool ordered, uint32_t rva, Entry* found) {
  if (!ordered) {
    for (uint32_t i = 0; i < dir.count; ++i) {
      Entry e;
      if (!ReadEntry(im, dir.at + uint64_t(i) * 12, &e)) return false;
      if (rva >= e.begin && rva < e.end) {
        *found = e;
        return true;
      }
    }
    return false;
  }
  uint32_t lo = 0, hi = dir.count;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    Entry e;
    if (!ReadEntry(im, dir.at + uint64_t(mid) * 12, &e)) return false;
    if (rva < e.begin) {
      hi = mid;
    } else if (rva >= e.end) {
      lo = mid + 1;
    } else {
      *found = e;
      return true;
    }
  }
  return false;
}

// The primary entry of the function an entry belongs to: chained unwind data names its parent.
bool Primary(const ImageView& im, Entry e, Entry* primary) {
  for (unsigned depth = 0; depth < kMaxChain; ++depth) {
    if (e.unwind & 1) {  // the entry refers to another entry instead of unwind data
      if (!ReadEntry(im, e.unwind & ~1u, &e)) return false;
      continue;
    }
    if (uint64_t(e.unwind) + 4 > im.size) return false;
    const uint8_t flags = im.base[e.unwind] >> 3;
    if (!(flags & kChainInfo)) {
      *primary = e;
      return true;
    }
    const unsigned codes = im.base[e.unwind + 2];
    if (!ReadEntry(im, uint64_t(e.unwind) + 4 + 2 * ((codes + 1) & ~1u), &e)) return false;
  }
  return false;
}

// Whether an entry is a part of another entry's function (else it is a primary or unreadable).
bool IsChained(const ImageView& im, const Entry& e) {
  if (e.unwind & 1) return true;
  return uint64_t(e.unwind) + 4 <= im.size && ((im.base[e.unwind] >> 3) & kChainInfo);
}

bool In(uint64_t v, uint32_t begin, uint32_t end) { return v >= begin && v < end; }

// Whether the code in [begin, end) branches into the patch.
bool PartBranchesIntoPatch(const ImageView& im, uint32_t begin, uint32_t end, const PatchSpan& s) {
  const uint32_t skipBegin = s.patchBegin < s.target ? s.patchBegin : s.target;
  const uint32_t skipEnd = s.patchEnd > s.copiedEnd ? s.patchEnd : s.copiedEnd;
  for (uint32_t at = begin; at < end;) {
    DecodedInstruction d;
    if (!DecodeInstruction(im.base + at, end - at, &d)) return false;
    const uint32_t next = at + d.len;
    if (!In(at, skipBegin, skipEnd) && (d.flags & DecodeFlags::Relative)) {
      const unsigned size = ImmediateSize(d);
      const int64_t rel = size == 1 ? int64_t(int8_t(d.imm.imm8))
                          : size == 2 ? int64_t(int16_t(d.imm.imm16))
                                      : int64_t(int32_t(d.imm.imm32));
      const int64_t dest = int64_t(next) + rel;
      // A call of the entry is recursion through the hook, as from any caller; a jump to the
      // entry (a loop or a tail call to itself) would pass the detour again on every round.
      const bool call = d.vex == VexKind::None && d.opcode == 0xE8;
      if (dest >= 0 && In(uint64_t(dest), s.patchBegin, s.patchEnd) &&
          !(call && uint64_t(dest) == s.target))
        return true;
    }
    at = next;
  }
  return false;
}

}  // namespace

uint32_t ImageSize(const ImageView& image) {
  const uint32_t opt = OptionalHeader(image);
  uint32_t size;
  return opt && Read32(image, opt + 56, &size) ? size : 0;
}

uint32_t DirectoryEntries(const ImageView& image) { return ExceptionDirectory(image).count; }

DirectoryIndex IndexDirectory(const ImageView& im, ChainedPart* room) {
  const Directory dir = ExceptionDirectory(im);
  DirectoryIndex index;
  index.at = dir.at;
  index.count = dir.count;
  index.parts = room;
  bool ordered = true;
  uint32_t lastEnd = 0;
  for (uint32_t i = 0; i < dir.count; ++i) {
    Entry e, root;
    if (!ReadEntry(im, dir.at + uint64_t(i) * 12, &e) || e.begin < lastEnd) {
      ordered = false;
      break;
    }
    lastEnd = e.end;
    if (IsChained(im, e) && Primary(im, e, &root)) room[index.partCount++] = {root.begin, i};
  }
  index.ordered = ordered;
  if (!ordered) index.partCount = 0;  // no use: the check walks every entry
  std::sort(room, room + index.partCount, [](const ChainedPart& a, const ChainedPart& b) {
    return a.primary < b.primary || (a.primary == b.primary && a.entry < b.entry);
  });
  return index;
}

BodyCheck CheckFunctionBody(const ImageView& im, const PatchSpan& span, const DirectoryIndex* index) {
  const Directory dir = ExceptionDirectory(im);
  const bool indexed = index && index->ordered && index->at == dir.at && index->count == dir.count;
  Entry own, primary;
  if (!dir.count || !Lookup(im, dir, indexed, span.target, &own) || !Primary(im, own, &primary))
    return BodyCheck::NoExtent;
  if (indexed) {
    // The primary part, then the parts the index lists for it (each read again: they must still
    // belong to it).
    if (PartBranchesIntoPatch(im, primary.begin, primary.end, span))
      return BodyCheck::BranchesIntoPatch;
    const ChainedPart* end = index->parts + index->partCount;
    const ChainedPart* part = std::lower_bound(
        index->parts, end, primary.begin,
        [](const ChainedPart& p, uint32_t begin) { return p.primary < begin; });
    for (; part != end && part->primary == primary.begin; ++part) {
      Entry e, root;
      if (part->entry >= dir.count || !ReadEntry(im, dir.at + uint64_t(part->entry) * 12, &e) ||
          !Primary(im, e, &root) || root.begin != primary.begin)
        continue;
      if (PartBranchesIntoPatch(im, e.begin, e.end, span)) return BodyCheck::BranchesIntoPatch;
    }
    return BodyCheck::Clean;
  }
  // The primary part and every part chained to it, wherever the compiler placed them.
  for (uint32_t i = 0; i < dir.count; ++i) {
    Entry e, root;
    if (!ReadEntry(im, dir.at + uint64_t(i) * 12, &e)) break;
    if (e.begin != primary.begin && !(Primary(im, e, &root) && root.begin == primary.begin))
      continue;
    if (PartBranchesIntoPatch(im, e.begin, e.end, span)) return BodyCheck::BranchesIntoPatch;
  }
  return BodyCheck::Clean;
}
