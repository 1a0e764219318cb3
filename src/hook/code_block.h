// Executable code slots placed within 1 GiB of a target. Windows only.
#pragma once

#include <cstdint>

#include "hook/hook_record.h"

constexpr unsigned kBlockSize = 4096;
constexpr unsigned kSlotsPerBlock = 63;

struct CodeBlock {
  CodeBlock* next;
  uint8_t* freeSlots;  // each free slot holds the next free slot in its first 8 bytes
  uint32_t used;
  uint8_t reserved[64 - 2 * sizeof(void*) - sizeof(uint32_t)];
};
static_assert(sizeof(CodeBlock) == 64, "the header fills the first slot's room");

// A slot of kSlotSize bytes within 1 GiB of `target` from the list of blocks, which gains one
// when none near it has room; or null.
uint8_t* TakeCodeSlot(CodeBlock** blocks, uintptr_t target);
void ReleaseCodeSlot(CodeBlock** blocks, uint8_t* slot);
void ReleaseAllCodeBlocks(CodeBlock** blocks);
