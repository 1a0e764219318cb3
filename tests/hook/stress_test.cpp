// Eight threads call a hooked function in a tight loop while the main thread arms and disarms it
// thousands of times: no crash, and every call gives the detour's or the target's value.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "code_arena.h"
#include "hook/engine_state.h"
#include "hook/hook.h"

namespace {

using IntFn = int (*)(int);
IntFn gTrampoline = nullptr;
int Detour(int x) { return gTrampoline(x) + 1000; }

TEST(HookStress, CallersNeverSeeAHalfPatchedFunction) {
  CodeArena arena;
  // lea eax, [rcx+rcx+1]; nop; ret
  uint8_t* target = arena.Put({0x8D, 0x44, 0x09, 0x01, 0x90, 0xC3});
  ASSERT_EQ(HookInitialize(), HookOk);
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  gTrampoline = reinterpret_cast<IntFn>(tramp);

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> calls{0}, hooked{0}, wrong{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 8; ++t) {
    callers.emplace_back([&, t] {
      volatile IntFn fn = reinterpret_cast<IntFn>(target);
      uint64_t n = 0, h = 0, bad = 0;
      for (int x = t; !stop.load(std::memory_order_relaxed); x = (x + 7) & 0xFFFF) {
        const int r = fn(x);
        if (r == 2 * x + 1001) ++h;
        else if (r != 2 * x + 1) ++bad;
        if ((++n & 1023) == 0) SwitchToThread();
      }
      calls += n;
      hooked += h;
      wrong += bad;
    });
  }

  int failures = 0;
  for (int i = 0; i < 500; ++i) {
    // Single-hook and every-hook forms take different fix-up directions.
    const bool all = i & 1;
    failures += HookArm(all ? nullptr : target) != HookOk;
    Sleep(0);
    failures += HookDisarm(all ? nullptr : target) != HookOk;
  }
  ASSERT_EQ(HookArm(target), HookOk);
  Sleep(20);
  stop = true;
  for (auto& c : callers) c.join();

  EXPECT_EQ(failures, 0);
  EXPECT_EQ(wrong.load(), 0u);
  EXPECT_GT(calls.load(), 0u);
  EXPECT_GT(hooked.load(), 0u);
  ASSERT_EQ(HookShutdown(), HookOk);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(4), 9);
}

// Threads that hold the process heap or the loader lock at the moment they are frozen must not
// block the engine: it uses neither while others are suspended.
TEST(HookStress, HeapAndLoaderUsersDoNotDeadlockTheFreeze) {
  CodeArena arena;
  uint8_t* target = arena.Put({0x8D, 0x44, 0x09, 0x01, 0x90, 0xC3});
  ASSERT_EQ(HookInitialize(), HookOk);
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  gTrampoline = reinterpret_cast<IntFn>(tramp);

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> heapOps{0}, loaderOps{0};
  std::thread heapUser([&] {
    const HANDLE heap = GetProcessHeap();
    while (!stop) {
      void* p = HeapAlloc(heap, 0, 64 + (heapOps & 1023));
      HeapFree(heap, 0, p);
      ++heapOps;
    }
  });
  std::thread loaderUser([&] {
    while (!stop) {
      if (HMODULE m = LoadLibraryA("version.dll")) FreeLibrary(m);
      GetModuleHandleA("kernel32.dll");
      ++loaderOps;
    }
  });
  int failures = 0;
  for (int i = 0; i < 150; ++i) {
    failures += HookArm(target) != HookOk;
    failures += HookDisarm(nullptr) != HookOk;
  }
  stop = true;
  heapUser.join();
  loaderUser.join();
  EXPECT_EQ(failures, 0);
  EXPECT_GT(heapOps.load(), 0u);
  EXPECT_GT(loaderOps.load(), 0u);
  ASSERT_EQ(HookShutdown(), HookOk);
}

// Engine operations from several threads at once are serialised by the engine's lock.
TEST(HookStress, ConcurrentEngineCallsKeepEveryHookConsistent) {
  CodeArena arena;
  ASSERT_EQ(HookInitialize(), HookOk);
  std::vector<uint8_t*> targets;
  for (int i = 0; i < 4; ++i) {
    targets.push_back(arena.Put({0x8D, 0x44, 0x09, 0x01, 0x90, 0xC3}));
    ASSERT_EQ(HookAdd(targets.back(), reinterpret_cast<void*>(&Detour), nullptr), HookOk);
  }
  std::atomic<int> unexpected{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 60; ++i) {
        if (HookArm(targets[w]) != HookOk) ++unexpected;
        const HookStatus again = HookArm(targets[w]);
        if (again != HookAlreadyArmed) ++unexpected;
        if (HookDisarm(targets[w]) != HookOk) ++unexpected;
      }
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_EQ(unexpected.load(), 0);
  for (uint8_t* t : targets) EXPECT_EQ(t[0], 0x8D);  // every one disarmed again
  EXPECT_FALSE(EngineLockTaken());
  ASSERT_EQ(HookShutdown(), HookOk);
}

}  // namespace
