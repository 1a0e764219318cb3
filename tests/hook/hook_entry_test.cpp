// A hook entry's filter decides before any frame exists: a call passed on reaches the target with
// its caller's return address and arguments (as the filter left them), a call for the detour
// reaches the detour the same way, and a finished one returns to the caller; stack walks from
// the filter reach the caller.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "code_arena.h"
#include "hook/hook.h"
#include "hook/hook_entry.h"

namespace {

using Fn = uint64_t (*)(uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t);
using CallFn = uint64_t (*)();

HookEntryChoice gChoice = HookEntryPassOn;
uint64_t gFifth = 0, gSixth = 0;
int gFilterCalls = 0;
bool gRegistersSeen = false;
bool gWalkReachedCaller = false;
void* gCaller = nullptr;
Fn gTrampoline = nullptr;

bool InFunction(void* pc, void* function) {
  DWORD64 base = 0;
  const RUNTIME_FUNCTION* f = RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(pc), &base, nullptr);
  return f && base + f->BeginAddress == reinterpret_cast<DWORD64>(function);
}

HookEntryChoice Filter(uint64_t first, uint64_t, uint64_t, uint64_t fourth, HookEntryArgs* args) {
  ++gFilterCalls;
  gRegistersSeen = first == args->reg[0] && fourth == args->reg[3];
  gFifth = HookEntryStackArgument(args, 4);
  gSixth = HookEntryStackArgument(args, 5);
  args->reg[0] += 1000;  // seen by whatever runs next
  void* frames[16];
  const USHORT n = RtlCaptureStackBackTrace(0, 16, frames, nullptr);
  gWalkReachedCaller = false;
  for (USHORT i = 0; i < n; ++i) gWalkReachedCaller |= gCaller && InFunction(frames[i], gCaller);
  return gChoice;
}

// Returns 2 * its first argument: the detour's return address is in this program.
__attribute__((noinline)) uint64_t Detour(uint64_t a, uint64_t b, uint64_t c, uint64_t d, uint64_t e, uint64_t f) {
  const uint64_t r = gTrampoline(a, b, c, d, e, f);
  asm volatile("" ::: "memory");
  return r;
}

__attribute__((noinline)) uint64_t CallThrough(Fn fn) {
  const uint64_t r = fn(1, 2, 3, 4, 5, 6);
  asm volatile("" ::: "memory");
  return r;
}

class HookEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(HookInitialize(), HookOk);
    gFilterCalls = 0;
    // The target gives its return address and keeps its first argument in a cell:
    //   48 8B 04 24      mov rax, [rsp]
    //   49 89 CA         mov r10, rcx
    //   4C 89 15 rel32   mov [rip+x], r10
    //   C3               ret
    target = arena.Put({0x48, 0x8B, 0x04, 0x24, 0x49, 0x89, 0xCA, 0x4C, 0x89, 0x15, 0, 0, 0, 0, 0xC3});
    cell = reinterpret_cast<uint64_t*>(arena.Put({0, 0, 0, 0, 0, 0, 0, 0}));
    const int32_t rel = Rel32(target + 14, cell);
    std::memcpy(target + 10, &rel, 4);
    // A caller of its own: sub rsp, 0x38; mov [rsp+0x28], 6; mov [rsp+0x20], 5;
    // mov ecx, 1; mov edx, 2; mov r8d, 3; mov r9d, 4; mov rax, target; call rax; add rsp, 0x38; ret
    caller = arena.Put(Cat({{0x48, 0x83, 0xEC, 0x38, 0x48, 0xC7, 0x44, 0x24, 0x28, 6, 0, 0, 0, 0x48,
                             0xC7, 0x44, 0x24, 0x20, 5, 0, 0, 0, 0xB9, 1, 0, 0, 0, 0xBA, 2, 0, 0, 0,
                             0x41, 0xB8, 3, 0, 0, 0, 0x41, 0xB9, 4, 0, 0, 0, 0x48, 0xB8},
                            Le64(reinterpret_cast<uint64_t>(target)),
                            {0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x38, 0xC3}}));
    afterCall = reinterpret_cast<uint64_t>(caller) + 56;
    FlushInstructionCache(GetCurrentProcess(), arena.base(), 65536);
    void* entry = UseHookEntry(0, &Filter, reinterpret_cast<void*>(&Detour));
    ASSERT_NE(entry, nullptr);
    void* tramp = nullptr;
    ASSERT_EQ(HookAdd(target, entry, &tramp), HookOk);
    gTrampoline = reinterpret_cast<Fn>(tramp);
    SetHookEntryTrampoline(0, tramp);
    ASSERT_EQ(HookArm(target), HookOk);
  }
  void TearDown() override { EXPECT_EQ(HookShutdown(), HookOk); }

  uint64_t SeenFirst() const { return *cell; }
  CodeArena arena;
  uint64_t* cell = nullptr;
  uint8_t* target = nullptr;
  uint8_t* caller = nullptr;
  uint64_t afterCall = 0;
};

TEST_F(HookEntryTest, APassedOnCallKeepsItsCallersReturnAddress) {
  ASSERT_EQ(caller[54], 0xFF);  // the call's place in the hand-made caller
  gChoice = HookEntryPassOn;
  EXPECT_EQ(reinterpret_cast<CallFn>(caller)(), afterCall);
  EXPECT_EQ(SeenFirst(), 1001u);  // as the filter left it
  EXPECT_EQ(gFifth, 5u);
  EXPECT_EQ(gSixth, 6u);
  EXPECT_TRUE(gRegistersSeen);
  EXPECT_EQ(gFilterCalls, 1);

  // Through the detour the target is called from the detour.
  gChoice = HookEntryDetour;
  const uint64_t seen = reinterpret_cast<CallFn>(caller)();
  EXPECT_NE(seen, afterCall);
  EXPECT_TRUE(InFunction(reinterpret_cast<void*>(seen), reinterpret_cast<void*>(&Detour)));
  EXPECT_EQ(SeenFirst(), 1001u);

  // Finished in the filter: the target does not run, the caller goes on.
  *cell = 0;
  gChoice = HookEntryDone;
  reinterpret_cast<CallFn>(caller)();
  EXPECT_EQ(SeenFirst(), 0u);
  EXPECT_EQ(gFilterCalls, 3);
}

TEST_F(HookEntryTest, AStackWalkFromTheFilterReachesTheCaller) {
  gChoice = HookEntryPassOn;
  gCaller = reinterpret_cast<void*>(&CallThrough);
  const uint64_t seen = CallThrough(reinterpret_cast<Fn>(target));
  EXPECT_TRUE(InFunction(reinterpret_cast<void*>(seen), reinterpret_cast<void*>(&CallThrough)));
  EXPECT_TRUE(gWalkReachedCaller);
  gCaller = nullptr;
}

TEST(HookEntry, OutOfRangeOrIncompleteEntriesAreRefused) {
  EXPECT_EQ(UseHookEntry(kHookEntries, &Filter, reinterpret_cast<void*>(&Detour)), nullptr);
  EXPECT_EQ(UseHookEntry(1, nullptr, reinterpret_cast<void*>(&Detour)), nullptr);
  EXPECT_EQ(UseHookEntry(1, &Filter, nullptr), nullptr);
  EXPECT_NE(UseHookEntry(kHookEntries - 1, &Filter, reinterpret_cast<void*>(&Detour)), nullptr);
}

}  // namespace
