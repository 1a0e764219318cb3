// The function around a hook target, from its module's exception directory: its extent (the
// primary entry and every part chained to it) and whether its own code branches into the bytes
// a patch replaces. Portable: works on a loaded image given as bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// A loaded PE32+ image: `size` bytes from its base may be read.
struct ImageView {
  const uint8_t* base;
  size_t size;
};

// Offsets from the image base.
struct PatchSpan {
  uint32_t target;      // the hooked entry
  uint32_t copiedEnd;   // end of the bytes that run from the trampoline
  uint32_t patchBegin;  // the bytes the patch replaces
  uint32_t patchEnd;
};

enum class BodyCheck {
  NoExtent,           // no exception directory, or no entry covers the target (a leaf function)
  Clean,
  BranchesIntoPatch,  // a jump of the function's own code lands in the patched bytes, or a call
                      // lands in them other than at the entry
};

// SizeOfImage from the headers, or 0 when `image` (its headers at least) is no PE32+ image.
uint32_t ImageSize(const ImageView& image);

// What one walk of a module's exception directory tells every later check in that module: whether
// its entries are in order (a lookup may then halve the directory), and which entries are parts
// chained to a primary entry (found otherwise only by walking them all).
struct ChainedPart {
  uint32_t primary;  // begin of the primary entry
  uint32_t entry;    // the part's index in the directory
};
struct DirectoryIndex {
  uint32_t at = 0, count = 0;  // the directory it describes
  bool ordered = false;        // every entry sound, each beginning at or after the last one's end
  const ChainedPart* parts = nullptr;  // ordered by primary
  uint32_t partCount = 0;
};

// Entries in the image's exception directory, 0 without one.
uint32_t DirectoryEntries(const ImageView& image);
// Walks the directory once; `room` holds DirectoryEntries(image) parts and becomes index.parts.
DirectoryIndex IndexDirectory(const ImageView& image, ChainedPart* room);

// Decodes the function containing span.target within its extent, skipping the bytes that run
// from the trampoline; decoding stops at the first undecodable bytes of each part. Without an
// index of this image's directory, or with one that found it out of order, every entry is walked.
BodyCheck CheckFunctionBody(const ImageView& image, const PatchSpan& span,
                            const DirectoryIndex* index = nullptr);
