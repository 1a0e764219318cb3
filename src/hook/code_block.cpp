#include "hook/code_block.h"

#include <windows.h>

namespace {

constexpr uintptr_t kReach = 0x40000000;  // 1 GiB each way

CodeBlock* NewBlockAt(uintptr_t address) {
  void* p = VirtualAlloc(reinterpret_cast<void*>(address), kBlockSize, MEM_RESERVE | MEM_COMMIT,
                         PAGE_EXECUTE_READWRITE);
  if (!p) return nullptr;
  auto* block = static_cast<CodeBlock*>(p);
  block->next = nullptr;
  block->freeSlots = nullptr;
  block->used = 0;
  // Pushed in increasing address order: the highest slot is handed out first.
  uint8_t* base = static_cast<uint8_t*>(p);
  for (unsigned i = 1; i <= kSlotsPerBlock; ++i) {
    uint8_t* slot = base + i * kSlotSize;
    *reinterpret_cast<uint8_t**>(slot) = block->freeSlots;
    block->freeSlots = slot;
  }
  return block;
}

CodeBlock* SearchDown(uintptr_t target, uintptr_t low, uintptr_t granularity) {
  uintptr_t candidate = (target & ~(granularity - 1)) - granularity;
  while (candidate >= low && candidate >= granularity) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(candidate), &mbi, sizeof mbi)) return nullptr;
    if (mbi.State == MEM_FREE) {
      if (CodeBlock* b = NewBlockAt(candidate)) return b;
      // A free region has no allocation base: step from the candidate itself.
      candidate -= granularity;
      continue;
    }
    const uintptr_t base = reinterpret_cast<uintptr_t>(mbi.AllocationBase) & ~(granularity - 1);
    if (base < granularity) return nullptr;
    candidate = base - granularity;
  }
  return nullptr;
}

CodeBlock* SearchUp(uintptr_t target, uintptr_t high, uintptr_t granularity) {
  uintptr_t candidate = (target & ~(granularity - 1)) + granularity;
  while (candidate < high) {
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(reinterpret_cast<void*>(candidate), &mbi, sizeof mbi)) return nullptr;
    if (mbi.State == MEM_FREE) {
      if (CodeBlock* b = NewBlockAt(candidate)) return b;
    }
    const uintptr_t end = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
    const uintptr_t next = (end + granularity - 1) & ~(granularity - 1);
    if (next <= candidate) return nullptr;
    candidate = next;
  }
  return nullptr;
}

}  // namespace

uint8_t* TakeCodeSlot(CodeBlock** blocks, uintptr_t target) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  const uintptr_t minApp = reinterpret_cast<uintptr_t>(si.lpMinimumApplicationAddress);
  const uintptr_t maxApp = reinterpret_cast<uintptr_t>(si.lpMaximumApplicationAddress);
  const uintptr_t granularity = si.dwAllocationGranularity;
  uintptr_t low = target > kReach ? target - kReach : 0;
  if (low < minApp) low = minApp;
  uintptr_t high = (target + kReach < maxApp ? target + kReach : maxApp) - (kBlockSize - 1);

  CodeBlock* block = nullptr;
  for (CodeBlock* b = *blocks; b; b = b->next) {
    const uintptr_t a = reinterpret_cast<uintptr_t>(b);
    if (a >= low && a < high && b->freeSlots) {
      block = b;
      break;
    }
  }
  if (!block) {
    block = SearchDown(target, low, granularity);
    if (!block) block = SearchUp(target, high, granularity);
    if (!block) return nullptr;
    block->next = *blocks;
    *blocks = block;
  }
  uint8_t* slot = block->freeSlots;
  block->freeSlots = *reinterpret_cast<uint8_t**>(slot);
  ++block->used;
  return slot;
}

void ReleaseCodeSlot(CodeBlock** blocks, uint8_t* slot) {
  auto* owner = reinterpret_cast<CodeBlock*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(kBlockSize - 1));
  for (CodeBlock** link = blocks; *link; link = &(*link)->next) {
    if (*link != owner) continue;
    *reinterpret_cast<uint8_t**>(slot) = owner->freeSlots;
    owner->freeSlots = slot;
    if (--owner->used == 0) {
      *link = owner->next;
      VirtualFree(owner, 0, MEM_RELEASE);
    }
    return;
  }
}

void ReleaseAllCodeBlocks(CodeBlock** blocks) {
  while (CodeBlock* b = *blocks) {
    *blocks = b->next;
    VirtualFree(b, 0, MEM_RELEASE);
  }
}
