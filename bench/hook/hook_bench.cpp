// Prints METRIC lines: a call through an armed hook whose detour calls the trampoline against a
// direct call of the same function, arming/disarming five hooks with 0, 8 and 32 other threads,
// the link's stop (every hook disarmed, each deleted, the engine shut down) with as many, and making a hook on a function of a module whose exception directory holds 64 entries and one
// whose directory holds 62,000 (the first hook in a module, and the next ones), against the small
// module's figure of the same run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "hook/hook.h"

namespace {

using IntFn = int (*)(int);
IntFn gTrampoline = nullptr;
__attribute__((noinline)) int Detour(int x) { return gTrampoline(x); }

// lea eax, [rcx+rcx+1]; nop; ret
const uint8_t kFunction[] = {0x8D, 0x44, 0x09, 0x01, 0x90, 0xC3};

double NsPerCall(IntFn fn, int calls) {
  volatile IntFn f = fn;
  int sink = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) sink += f(i);
  const double ns =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  static volatile int keep;
  keep = sink;
  (void)keep;
  return ns / calls;
}

double BestOf(int rounds, IntFn fn, int calls) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) best = std::min(best, NsPerCall(fn, calls));
  return best;
}

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

DWORD WINAPI Idle(void* stop) {
  WaitForSingleObject(static_cast<HANDLE>(stop), INFINITE);
  return 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Creation {
  double firstUs = -1, nextUs = -1;  // the first hook in the module, and the ones after it
};

// HookAdd on the module's ManyTarget: first right after the engine starts, then again and again
// in the same engine (each deleted before the next is made).
bool MeasureCreation(const char* module, Creation* out) {
  HMODULE dll = LoadLibraryA(module);
  void* target = dll ? reinterpret_cast<void*>(GetProcAddress(dll, "ManyTarget")) : nullptr;
  if (!target) {
    std::printf("hook_bench: %s or its ManyTarget not found\n", module);
    return false;
  }
  using Clock = std::chrono::steady_clock;
  std::vector<double> first, next;
  for (int round = 0; round < 30; ++round) {
    if (HookInitialize() != HookOk) return false;
    for (int i = 0; i < 20; ++i) {
      const auto t0 = Clock::now();
      const HookStatus added = HookAdd(target, reinterpret_cast<void*>(&Detour), nullptr);
      const double us = std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
      if (added != HookOk || HookDelete(target) != HookOk) {
        std::printf("hook_bench: a hook in %s could not be made (status %d)\n", module, int(added));
        return false;
      }
      (i ? next : first).push_back(us);
    }
    if (HookShutdown() != HookOk) return false;
  }
  out->firstUs = Median(first);
  out->nextUs = Median(next);
  return true;
}

bool ReportCreation() {
  Creation small, large;
  if (!MeasureCreation("many_functions_64.dll", &small) ||
      !MeasureCreation("many_functions_62000.dll", &large))
    return false;
  std::printf("METRIC hook_create_first_us_64 %.2f us\n", small.firstUs);
  std::printf("METRIC hook_create_first_us_62000 %.2f us\n", large.firstUs);
  std::printf("METRIC hook_create_us_64 %.2f us\n", small.nextUs);
  std::printf("METRIC hook_create_us_62000 %.2f us\n", large.nextUs);
  std::printf("METRIC hook_create_first_ratio_62000 %.2f ratio\n", large.firstUs / small.firstUs);
  std::printf("METRIC hook_create_ratio_62000 %.2f ratio\n", large.nextUs / small.nextUs);
  return true;
}

}  // namespace

int main() {
  if (!ReportCreation()) return 1;
  auto* code = static_cast<uint8_t*>(
      VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  if (!code || HookInitialize() != HookOk) return 1;
  std::vector<uint8_t*> targets;
  for (int i = 0; i < 5; ++i) {
    targets.push_back(code + 64 * (i + 1));
    std::memcpy(targets.back(), kFunction, sizeof kFunction);
  }
  FlushInstructionCache(GetCurrentProcess(), code, 4096);

  // Call overhead.
  void* tramp = nullptr;
  if (HookAdd(targets[0], reinterpret_cast<void*>(&Detour), &tramp) != HookOk) return 1;
  gTrampoline = reinterpret_cast<IntFn>(tramp);
  const int calls = 20000000;
  const double direct = BestOf(5, reinterpret_cast<IntFn>(targets[0]), calls);
  if (HookArm(targets[0]) != HookOk) return 1;
  const double hooked = BestOf(5, reinterpret_cast<IntFn>(targets[0]), calls);
  if (HookDisarm(targets[0]) != HookOk) return 1;
  std::printf("METRIC hook_call_direct_ns %.3f ns\n", direct);
  std::printf("METRIC hook_call_hooked_ns %.3f ns\n", hooked);
  std::printf("METRIC hook_call_ratio %.3f ratio\n", hooked / direct);

  // Arming and disarming all five hooks.
  for (int i = 1; i < 5; ++i)
    if (HookAdd(targets[i], reinterpret_cast<void*>(&Detour), nullptr) != HookOk) return 1;
  const int rounds = 20;
  double armBase = 0;
  for (int threads : {0, 8, 32}) {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> others;
    for (int t = 0; t < threads; ++t) others.push_back(CreateThread(nullptr, 0, &Idle, stop, 0, nullptr));
    Sleep(50);
    double arm = 0, disarm = 0;
    for (int r = 0; r < rounds; ++r) {
      auto t0 = std::chrono::steady_clock::now();
      if (HookArm(nullptr) != HookOk) return 1;
      arm += Ms(t0);
      t0 = std::chrono::steady_clock::now();
      if (HookDisarm(nullptr) != HookOk) return 1;
      disarm += Ms(t0);
    }
    SetEvent(stop);
    for (HANDLE h : others) {
      WaitForSingleObject(h, INFINITE);
      CloseHandle(h);
    }
    CloseHandle(stop);
    // The link's stop: every hook disarmed, each deleted, the engine shut down; then made again.
    double stopMs = 0;
    for (int r = 0; r < rounds; ++r) {
      if (HookArm(nullptr) != HookOk) return 1;
      const auto t0 = std::chrono::steady_clock::now();
      if (HookDisarm(nullptr) != HookOk) return 1;
      for (uint8_t* t : targets)
        if (HookDelete(t) != HookOk) return 1;
      if (HookShutdown() != HookOk) return 1;
      stopMs += Ms(t0);
      if (HookInitialize() != HookOk) return 1;
      for (uint8_t* t : targets)
        if (HookAdd(t, reinterpret_cast<void*>(&Detour), nullptr) != HookOk) return 1;
    }
    std::printf("METRIC hook_stop_ms_%d %.3f ms\n", threads, stopMs / rounds);
    arm /= rounds;
    disarm /= rounds;
    if (threads == 0) armBase = arm;
    std::printf("METRIC hook_arm_all_ms_%d %.3f ms\n", threads, arm);
    std::printf("METRIC hook_disarm_all_ms_%d %.3f ms\n", threads, disarm);
    if (threads) std::printf("METRIC hook_arm_all_ratio_%d %.3f ratio\n", threads, arm / armBase);
  }
  return HookShutdown() == HookOk ? 0 : 1;
}
