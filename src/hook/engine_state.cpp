#include "hook/engine_state.h"

#include <intrin.h>

EngineState Engine{};
VirtualProtectFn EngineProtect = &VirtualProtect;
std::atomic<uint32_t> EngineLock{0};

namespace {
constexpr uint32_t kInitialCapacity = 32;
}

void TakeEngineLock() {
  for (unsigned tries = 0;; ++tries) {
    uint32_t expected = 0;
    if (EngineLock.compare_exchange_strong(expected, 1, std::memory_order_acquire)) return;
    if (tries < 16)
      _mm_pause();
    else if (tries < 32)
      Sleep(0);
    else
      Sleep(1);
  }
}

void ReleaseEngineLock() { EngineLock.store(0, std::memory_order_release); }

HookRecord* FindRecord(uintptr_t target) {
  for (uint32_t i = 0; i < Engine.count; ++i)
    if (Engine.records[i].target == target && !Engine.records[i].retired) return &Engine.records[i];
  return nullptr;
}

bool AppendRecord(const HookRecord& r) {
  if (Engine.count == Engine.capacity) {
    const uint32_t grown = Engine.capacity ? Engine.capacity * 2 : kInitialCapacity;
    void* p = Engine.records
                  ? HeapReAlloc(Engine.heap, 0, Engine.records, sizeof(HookRecord) * grown)
                  : HeapAlloc(Engine.heap, 0, sizeof(HookRecord) * grown);
    if (!p) return false;
    Engine.records = static_cast<HookRecord*>(p);
    Engine.capacity = grown;
  }
  Engine.records[Engine.count++] = r;
  return true;
}

void RemoveRecord(HookRecord* r) {
  HookRecord* last = &Engine.records[Engine.count - 1];
  if (r != last) *r = *last;
  --Engine.count;
  if (Engine.capacity >= 2 * kInitialCapacity && Engine.count <= Engine.capacity / 2) {
    const uint32_t shrunk = Engine.capacity / 2;
    void* p = HeapReAlloc(Engine.heap, 0, Engine.records, sizeof(HookRecord) * shrunk);
    if (p) {  // a failed shrink keeps the larger array
      Engine.records = static_cast<HookRecord*>(p);
      Engine.capacity = shrunk;
    }
  }
}
