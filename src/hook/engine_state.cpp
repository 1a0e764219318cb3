#include "hook/engine_state.h"

#include <intrin.h>

#include <atomic>

namespace {
constexpr uint32_t kInitialCapacity = 32;
std::atomic<uint32_t> lockWord{0};  // 0 free, 1 taken
}  // namespace

void TakeEngineLock() {
  for (unsigned tries = 0;; ++tries) {
    uint32_t expected = 0;
    if (lockWord.compare_exchange_strong(expected, 1, std::memory_order_acquire)) return;
    if (tries < 16)
      _mm_pause();
    else if (tries < 32)
      Sleep(0);
    else
      Sleep(1);
  }
}

void ReleaseEngineLock() { lockWord.store(0, std::memory_order_release); }

bool EngineLockTaken() { return lockWord.load() != 0; }

HookRecord* FindRecord(EngineState& engine, uintptr_t target) {
  for (uint32_t i = 0; i < engine.count; ++i)
    if (engine.records[i].target == target && !engine.records[i].retired) return &engine.records[i];
  return nullptr;
}

bool AppendRecord(EngineState& engine, const HookRecord& r) {
  if (engine.count == engine.capacity) {
    const uint32_t grown = engine.capacity ? engine.capacity * 2 : kInitialCapacity;
    void* p = engine.records
                  ? HeapReAlloc(engine.heap, 0, engine.records, sizeof(HookRecord) * grown)
                  : HeapAlloc(engine.heap, 0, sizeof(HookRecord) * grown);
    if (!p) return false;
    engine.records = static_cast<HookRecord*>(p);
    engine.capacity = grown;
  }
  engine.records[engine.count++] = r;
  return true;
}

void RemoveRecord(EngineState& engine, HookRecord* r) {
  HookRecord* last = &engine.records[engine.count - 1];
  if (r != last) *r = *last;
  --engine.count;
  if (engine.capacity >= 2 * kInitialCapacity && engine.count <= engine.capacity / 2) {
    const uint32_t shrunk = engine.capacity / 2;
    void* p = HeapReAlloc(engine.heap, 0, engine.records, sizeof(HookRecord) * shrunk);
    if (p) {  // a failed shrink keeps the larger array
      engine.records = static_cast<HookRecord*>(p);
      engine.capacity = shrunk;
    }
  }
}
