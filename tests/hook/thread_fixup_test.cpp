// Threads stopped inside the bytes being changed are moved: into the trampoline when arming,
// back into the target when a hook is deleted.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include "code_arena.h"
#include "hook/engine_state.h"
#include "hook/freeze.h"
#include "hook/hook.h"

namespace {

int Detour(int) { return -1; }

// Where shadow stacks check the instruction pointer a context sets, moving a thread into a
// trampoline is refused.
BOOL WINAPI RefuseContext(HANDLE, const CONTEXT*) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

struct RefusedContexts {
  RefusedContexts() : former(SetFreezeSetContext(&RefuseContext)) {}
  ~RefusedContexts() { SetFreezeSetContext(former); }
  SetThreadContextFn former;
};

alignas(16) uint8_t gStacks[2][256 * 1024];

class ThreadFixup : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(HookInitialize(), HookOk);
    // 2-byte nop; lea eax, [rcx+7]; ret
    target = arena.Put({0x66, 0x90, 0x8D, 0x41, 0x07, 0xC3});
    // sub rsp, 0x28; mov ecx, eax; mov rax, ExitThread; call rax
    exitStub = arena.Put(Cat({{0x48, 0x83, 0xEC, 0x28, 0x89, 0xC1, 0x48, 0xB8},
                              Le64(reinterpret_cast<uint64_t>(&ExitThread)),
                              {0xFF, 0xD0}}));
    spin = arena.Put({0xEB, 0xFE});  // jmp $
  }
  void TearDown() override {
    if (thread) CloseHandle(thread);
    EXPECT_EQ(HookShutdown(), HookOk);
  }

  // A suspended thread that, once resumed, runs from `rip` with ecx = 35 and returns into a stub
  // that ends the thread with eax as its exit code.
  void StartStoppedAt(uintptr_t rip, int stack) {
    // A running thread parked on a spin loop, then suspended: its context is a plain one.
    thread = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(spin), nullptr, 0,
                          nullptr);
    ASSERT_NE(thread, nullptr);
    alignas(16) CONTEXT ctx{};
    for (int tries = 0;; ++tries) {
      ASSERT_LT(tries, 1000);
      ASSERT_EQ(SuspendThread(thread), 0u);
      ctx.ContextFlags = CONTEXT_FULL;
      ASSERT_TRUE(GetThreadContext(thread, &ctx));
      if (ctx.Rip == reinterpret_cast<uintptr_t>(spin)) break;
      ResumeThread(thread);
      Sleep(1);
    }
    uint8_t* top = gStacks[stack] + sizeof gStacks[stack] - 64;
    const uint64_t ret = reinterpret_cast<uint64_t>(exitStub);
    std::memcpy(top, &ret, 8);
    ctx.Rsp = reinterpret_cast<uint64_t>(top);
    ctx.Rip = rip;
    ctx.Rcx = 35;
    ASSERT_TRUE(SetThreadContext(thread, &ctx));
  }

  uintptr_t Rip() {
    alignas(16) CONTEXT ctx{};
    ctx.ContextFlags = CONTEXT_CONTROL;
    EXPECT_TRUE(GetThreadContext(thread, &ctx));
    return ctx.Rip;
  }

  DWORD RunToEnd() {
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    return code;
  }

  CodeArena arena;
  uint8_t* target = nullptr;
  uint8_t* exitStub = nullptr;
  uint8_t* spin = nullptr;
  HANDLE thread = nullptr;
};

TEST_F(ThreadFixup, ArmingMovesAThreadAtTargetPlusTwoIntoTheTrampoline) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(target) + 2, 0);
  ASSERT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(tramp) + 2);
  // It finishes the copied lea in the trampoline and returns through the target's ret.
  EXPECT_EQ(RunToEnd(), 42u);
}

TEST_F(ThreadFixup, ThreadAtTheTargetStartIsNotLeftOnThePatch) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(target), 0);
  ASSERT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(tramp));
  EXPECT_EQ(RunToEnd(), 42u);
}

TEST_F(ThreadFixup, DeletingMovesAThreadInTheTrampolineBackToTheTarget) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(target), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(tramp) + 2, 1);
  ASSERT_EQ(HookDelete(target), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(target) + 2);
  EXPECT_EQ(RunToEnd(), 42u);
}

TEST_F(ThreadFixup, DisarmingOneHookLeavesAThreadInTheTrampoline) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(target), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(tramp) + 2, 1);
  ASSERT_EQ(HookDisarm(target), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(tramp) + 2);
  EXPECT_EQ(RunToEnd(), 42u);  // the slot is still there
}

TEST_F(ThreadFixup, DisarmingAllMovesAThreadInTheRelayToTheTarget) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(target), HookOk);
  HookRecord r;
  ASSERT_TRUE(CopyHookRecord(target, &r));
  const uintptr_t relay = r.relay;
  StartStoppedAt(relay, 1);
  ASSERT_EQ(HookDisarm(nullptr), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(target));
  EXPECT_EQ(RunToEnd(), 42u);  // the original function, not the detour
}

// A thread that cannot be moved off the target's first bytes keeps them as they are: the arm is
// refused with a status of its own and the thread runs the original code.
TEST_F(ThreadFixup, AThreadThatCannotBeMovedKeepsTheTargetUnpatched) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  uint8_t before[5];
  std::memcpy(before, target, 5);
  StartStoppedAt(reinterpret_cast<uintptr_t>(target) + 2, 0);
  {
    RefusedContexts refused;
    EXPECT_EQ(HookArm(target), HookThreadNotMoved);
    EXPECT_EQ(HookArm(nullptr), HookThreadNotMoved);
  }
  EXPECT_EQ(std::memcmp(before, target, 5), 0);
  HookRecord r;
  ASSERT_TRUE(CopyHookRecord(target, &r));
  EXPECT_FALSE(r.armed);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(target) + 2);
  EXPECT_EQ(RunToEnd(), 42u);
  // With the thread gone the arm goes through.
  EXPECT_EQ(HookArm(target), HookOk);
}

// Deleting a hook whose trampoline runs a thread that cannot be moved out: the patch comes out,
// the slot stays for the thread, and the record for a later delete.
TEST_F(ThreadFixup, ADeleteThatCannotMoveAThreadKeepsItsSlot) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(target), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(tramp) + 2, 1);
  {
    RefusedContexts refused;
    EXPECT_EQ(HookDelete(target), HookThreadNotMoved);
  }
  HookRecord r;
  ASSERT_TRUE(CopyHookRecord(target, &r));
  EXPECT_FALSE(r.armed);
  EXPECT_EQ(target[0], 0x66);  // the original bytes are back
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(tramp) + 2);
  EXPECT_EQ(RunToEnd(), 42u);  // from the slot that was kept
  EXPECT_EQ(HookDelete(target), HookOk);
}

// Disarming all hooks could not move a thread out of a trampoline: the disarm says so, and the
// later delete moves the thread out before the slot goes.
TEST_F(ThreadFixup, AThreadADisarmLeftInTheTrampolineLeavesItBeforeTheDelete) {
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(target), HookOk);
  StartStoppedAt(reinterpret_cast<uintptr_t>(tramp) + 2, 1);
  {
    RefusedContexts refused;
    EXPECT_EQ(HookDisarm(nullptr), HookThreadNotMoved);
  }
  EXPECT_EQ(target[0], 0x66);  // disarmed all the same: the trampoline stays valid code
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(tramp) + 2);
  ASSERT_EQ(HookDelete(target), HookOk);
  EXPECT_EQ(Rip(), reinterpret_cast<uintptr_t>(target) + 2);
  // Another hook now takes the released slot and writes its own trampoline over it.
  uint8_t* other = arena.Put({0x66, 0x90, 0x8D, 0x41, 0x07, 0xC3});
  ASSERT_EQ(HookAdd(other, reinterpret_cast<void*>(&Detour), nullptr), HookOk);
  EXPECT_EQ(RunToEnd(), 42u);
}

// A detour that was running when every hook was disarmed may still call its trampoline before
// the deletes: that thread is moved out before the slot goes, whether the engine shuts down (the
// slot then stays until the next start's freeze) or another hook takes the slot.
TEST_F(ThreadFixup, ACallEnteringTheTrampolineAfterTheDisarmIsMovedOutBeforeItsSlotGoes) {
  for (const bool shutdown : {true, false}) {
    SCOPED_TRACE(shutdown ? "shutdown" : "slot taken again");
    void* tramp = nullptr;
    ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
    ASSERT_EQ(HookArm(target), HookOk);
    ASSERT_EQ(HookDisarm(nullptr), HookOk);
    StartStoppedAt(reinterpret_cast<uintptr_t>(tramp) + 2, 1);
    ASSERT_EQ(HookDelete(target), HookOk);
    uint8_t* other = arena.Put({0x66, 0x90, 0x8D, 0x41, 0x07, 0xC3});
    if (shutdown) {
      ASSERT_EQ(HookShutdown(), HookOk);  // no freeze of its own: the slot stays, still valid
      ASSERT_EQ(ReadEngineFacts().buried, 1u);  // else the slot may be gone and unreadable
      EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(tramp) + 2, target + 2, 3), 0);
      ASSERT_EQ(HookInitialize(), HookOk);
      ASSERT_EQ(HookAdd(other, reinterpret_cast<void*>(&Detour), nullptr), HookOk);
      ASSERT_EQ(HookArm(other), HookOk);  // the next start's freeze
      EXPECT_EQ(ReadEngineFacts().buried, 0u);
    } else {
      ASSERT_EQ(HookAdd(other, reinterpret_cast<void*>(&Detour), nullptr), HookOk);
    }
    if (Rip() != reinterpret_cast<uintptr_t>(target) + 2) {
      ADD_FAILURE() << "left in a slot given back";
      alignas(16) CONTEXT ctx{};  // moved here instead, so that it does not run from the slot
      ctx.ContextFlags = CONTEXT_FULL;
      ASSERT_TRUE(GetThreadContext(thread, &ctx));
      ctx.Rip = reinterpret_cast<uintptr_t>(target) + 2;
      ASSERT_TRUE(SetThreadContext(thread, &ctx));
    }
    EXPECT_EQ(RunToEnd(), 42u);
    CloseHandle(thread);
    thread = nullptr;
    ASSERT_EQ(HookDelete(other), HookOk);
  }
}

// A relocated call pushes the return address, then jumps: a thread stopped between the two gives
// the pushed address back and makes the call from the target itself.
TEST_F(ThreadFixup, DeletingUndoesTheHalfDoneCallOfATrampoline) {
  uint8_t* helper = arena.Put({0x8D, 0x41, 0x07, 0xC3});  // lea eax, [rcx+7]; ret
  // sub rsp, 0x28; call helper; add rsp, 0x28; ret
  uint8_t* caller = arena.Put({0x48, 0x83, 0xEC, 0x28, 0xE8, 0, 0, 0, 0, 0x48, 0x83, 0xC4, 0x28,
                               0xC3});
  const int32_t rel = Rel32(caller + 9, helper);
  std::memcpy(caller + 5, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), caller, 16);
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(caller, reinterpret_cast<void*>(&Detour), &tramp), HookOk);
  ASSERT_EQ(HookArm(caller), HookOk);
  auto* pushEnd = static_cast<uint8_t*>(tramp) + 4 + 6;  // after sub rsp and the push
  StartStoppedAt(reinterpret_cast<uintptr_t>(pushEnd), 1);
  alignas(16) CONTEXT ctx{};
  ctx.ContextFlags = CONTEXT_FULL;
  ASSERT_TRUE(GetThreadContext(thread, &ctx));
  const uint64_t entrySp = ctx.Rsp;
  ctx.Rsp -= 0x28 + 8;
  const uint64_t pushed = reinterpret_cast<uint64_t>(caller + 9);
  std::memcpy(reinterpret_cast<void*>(ctx.Rsp), &pushed, 8);
  ASSERT_TRUE(SetThreadContext(thread, &ctx));

  ASSERT_EQ(HookDelete(caller), HookOk);
  ctx.ContextFlags = CONTEXT_FULL;
  ASSERT_TRUE(GetThreadContext(thread, &ctx));
  EXPECT_EQ(ctx.Rip, reinterpret_cast<uint64_t>(caller + 4));
  EXPECT_EQ(ctx.Rsp, entrySp - 0x28);
  EXPECT_EQ(RunToEnd(), 42u);
}

}  // namespace
