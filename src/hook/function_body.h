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

// Decodes the function containing span.target within its extent, skipping the bytes that run
// from the trampoline; decoding stops at the first undecodable bytes of each part.
BodyCheck CheckFunctionBody(const ImageView& image, const PatchSpan& span);
