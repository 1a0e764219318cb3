// The engine on hand-assembled functions in executable memory: hooked, called through detour
// and trampoline, unhooked.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "code_arena.h"
#include "hook/code_block.h"
#include "hook/engine_state.h"
#include "hook/hook.h"

namespace {

using IntFn = int (*)(int);
using VoidFn = void (*)();

IntFn gTrampoline = nullptr;
int gDetourCalls = 0;

int AddThousandDetour(int x) {
  ++gDetourCalls;
  return gTrampoline(x) + 1000;
}

VoidFn gVoidTrampoline = nullptr;
void CountingDetour() {
  ++gDetourCalls;
  gVoidTrampoline();
}

// lea eax, [rcx+rcx+1]; nop; ret
const std::vector<uint8_t> kTwicePlusOne = {0x8D, 0x44, 0x09, 0x01, 0x90, 0xC3};

class HookEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(HookInitialize(), HookOk);
    gTrampoline = nullptr;
    gVoidTrampoline = nullptr;
    gDetourCalls = 0;
  }
  void TearDown() override { EXPECT_EQ(HookShutdown(), HookOk); }

  // Adds and arms a hook whose detour adds 1000 to what the trampoline gives.
  void HookIntFunction(uint8_t* target) {
    void* tramp = nullptr;
    ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&AddThousandDetour), &tramp), HookOk);
    gTrampoline = reinterpret_cast<IntFn>(tramp);
    ASSERT_EQ(HookArm(target), HookOk);
  }

  CodeArena arena;
};

TEST(HookEngineLifecycle, StatusCodesOfEveryOperation) {
  CodeArena arena;
  uint8_t* target = arena.Put(kTwicePlusOne);
  void* detour = reinterpret_cast<void*>(&AddThousandDetour);
  int onStack = 0;

  EXPECT_EQ(HookAdd(target, detour, nullptr), HookNotInitialized);
  EXPECT_EQ(HookArm(target), HookNotInitialized);
  EXPECT_EQ(HookDisarm(nullptr), HookNotInitialized);
  EXPECT_EQ(HookDelete(target), HookNotInitialized);
  EXPECT_EQ(HookShutdown(), HookNotInitialized);

  ASSERT_EQ(HookInitialize(), HookOk);
  EXPECT_EQ(HookInitialize(), HookAlreadyInitialized);
  EXPECT_EQ(HookAdd(&onStack, detour, nullptr), HookNotExecutable);
  EXPECT_EQ(HookAdd(target, &onStack, nullptr), HookNotExecutable);
  EXPECT_EQ(HookAdd(nullptr, detour, nullptr), HookNotExecutable);
  EXPECT_EQ(HookArm(target), HookNotFound);
  EXPECT_EQ(HookDisarm(target), HookNotFound);
  EXPECT_EQ(HookDelete(target), HookNotFound);

  EXPECT_EQ(HookAdd(target, detour, nullptr), HookOk);  // a null trampoline-out is allowed
  EXPECT_EQ(HookAdd(target, detour, nullptr), HookAlreadyExists);
  EXPECT_EQ(HookDisarm(target), HookAlreadyDisarmed);
  EXPECT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(HookArm(target), HookAlreadyArmed);
  EXPECT_EQ(HookDisarm(target), HookOk);
  EXPECT_EQ(HookDelete(target), HookOk);
  EXPECT_EQ(HookDelete(target), HookNotFound);
  EXPECT_EQ(HookShutdown(), HookOk);
  EXPECT_EQ(HookShutdown(), HookNotInitialized);
  EXPECT_FALSE(ReadEngineFacts().initialized);
}

TEST_F(HookEngine, HookedCallRunsDetourThenTargetThroughTrampoline) {
  uint8_t* target = arena.Put(kTwicePlusOne);
  auto fn = reinterpret_cast<IntFn>(target);
  EXPECT_EQ(fn(5), 11);
  HookIntFunction(target);
  EXPECT_EQ(fn(5), 1011);
  EXPECT_EQ(gTrampoline(5), 11);
  EXPECT_EQ(gDetourCalls, 1);

  // The patch is a relative jump to the relay right after the trampoline's bytes.
  ASSERT_EQ(target[0], 0xE9);
  int32_t rel;
  std::memcpy(&rel, target + 1, 4);
  HookRecord r;
  ASSERT_TRUE(CopyHookRecord(target, &r));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(target) + 5 + rel, r.relay);
  EXPECT_EQ(r.relay, r.trampoline + 5 + 14);

  ASSERT_EQ(HookDisarm(target), HookOk);
  EXPECT_EQ(std::memcmp(target, kTwicePlusOne.data(), kTwicePlusOne.size()), 0);
  EXPECT_EQ(fn(5), 11);
  ASSERT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(fn(6), 1013);
}

TEST_F(HookEngine, SlotsComeFromOneBlockNearTheTargetHighestFirst) {
  uint8_t* first = arena.Put(kTwicePlusOne);
  uint8_t* second = arena.Put(kTwicePlusOne);
  void* t1 = nullptr;
  void* t2 = nullptr;
  ASSERT_EQ(HookAdd(first, reinterpret_cast<void*>(&AddThousandDetour), &t1), HookOk);
  ASSERT_EQ(HookAdd(second, reinterpret_cast<void*>(&AddThousandDetour), &t2), HookOk);
  const auto s1 = reinterpret_cast<uintptr_t>(t1), s2 = reinterpret_cast<uintptr_t>(t2);
  const uintptr_t block = s1 & ~uintptr_t(kBlockSize - 1);
  EXPECT_EQ(s1 - block, 4032u);
  EXPECT_EQ(s2, s1 - 64);
  const auto distance = int64_t(s1) - int64_t(reinterpret_cast<uintptr_t>(first));
  EXPECT_LT(distance < 0 ? -distance : distance, int64_t(0x40000000));
  EXPECT_EQ(ReadEngineFacts().newestBlock, block);
  EXPECT_EQ(ReadEngineFacts().newestBlockUsed, 2u);

  // The last slot returned releases the block.
  ASSERT_EQ(HookDelete(first), HookOk);
  ASSERT_EQ(HookDelete(second), HookOk);
  EXPECT_EQ(ReadEngineFacts().newestBlock, 0u);
  MEMORY_BASIC_INFORMATION mbi;
  ASSERT_TRUE(VirtualQuery(reinterpret_cast<void*>(block), &mbi, sizeof mbi));
  EXPECT_EQ(mbi.State, DWORD(MEM_FREE));
}

TEST_F(HookEngine, TargetStartingWithAJumpGetsOnlyThatJump) {
  uint8_t* body = arena.Put(kTwicePlusOne);
  uint8_t* target = arena.Put({0xE9, 0, 0, 0, 0, 0x90, 0x90});
  const int32_t rel = Rel32(target + 5, body);
  std::memcpy(target + 1, &rel, 4);
  HookIntFunction(target);
  const auto* tramp = reinterpret_cast<const uint8_t*>(gTrampoline);
  EXPECT_EQ(tramp[0], 0xFF);
  EXPECT_EQ(tramp[1], 0x25);
  uint64_t dest;
  std::memcpy(&dest, tramp + 6, 8);
  EXPECT_EQ(dest, reinterpret_cast<uint64_t>(body));
  HookRecord r;
  ASSERT_TRUE(CopyHookRecord(target, &r));
  EXPECT_EQ(r.relay, reinterpret_cast<uintptr_t>(tramp) + 14);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(20), 1041);
  EXPECT_EQ(gTrampoline(20), 41);
}

TEST_F(HookEngine, ReturnFollowedByFourInt3IsPatchedInPlace) {
  uint8_t* target = arena.Put({0xC3, 0xCC, 0xCC, 0xCC, 0xCC});
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&CountingDetour), &tramp), HookOk);
  gVoidTrampoline = reinterpret_cast<VoidFn>(tramp);
  ASSERT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(target[0], 0xE9);
  reinterpret_cast<VoidFn>(target)();
  EXPECT_EQ(gDetourCalls, 1);
  ASSERT_EQ(HookDisarm(target), HookOk);
  EXPECT_EQ(std::memcmp(target, "\xC3\xCC\xCC\xCC\xCC", 5), 0);
}

TEST_F(HookEngine, ShortFunctionIsPatchedAboveOnlyOverExecutableFiller) {
  // ret; one filler byte; other code. The five bytes before it are nops.
  uint8_t* area = arena.Put({0x90, 0x90, 0x90, 0x90, 0x90, 0xC3, 0xCC, 0x55, 0x48});
  uint8_t* target = area + 5;
  void* tramp = nullptr;
  ASSERT_EQ(HookAdd(target, reinterpret_cast<void*>(&CountingDetour), &tramp), HookOk);
  gVoidTrampoline = reinterpret_cast<VoidFn>(tramp);
  ASSERT_EQ(HookArm(target), HookOk);
  EXPECT_EQ(area[0], 0xE9);
  EXPECT_EQ(target[0], 0xEB);
  EXPECT_EQ(target[1], 0xF9);
  EXPECT_EQ(target[2], 0x55);  // nothing beyond the short jump changes
  reinterpret_cast<VoidFn>(target)();
  EXPECT_EQ(gDetourCalls, 1);
  ASSERT_EQ(HookDelete(target), HookOk);
  EXPECT_EQ(std::memcmp(area, "\x90\x90\x90\x90\x90\xC3\xCC\x55\x48", 9), 0);

  // Code, not filler, above: refused.
  uint8_t* noFiller = arena.Put({0x55, 0x55, 0x55, 0x55, 0x55, 0xC3, 0xCC, 0x55}) + 5;
  EXPECT_EQ(HookAdd(noFiller, reinterpret_cast<void*>(&CountingDetour), nullptr),
            HookUnsupportedFunction);
  // A return followed directly by code: refused.
  uint8_t* direct = arena.Put({0x90, 0x90, 0x90, 0x90, 0x90, 0xC3, 0x55, 0x48}) + 5;
  EXPECT_EQ(HookAdd(direct, reinterpret_cast<void*>(&CountingDetour), nullptr),
            HookUnsupportedFunction);
  // The failed adds gave their slots back.
  EXPECT_EQ(ReadEngineFacts().newestBlock, 0u);
  EXPECT_EQ(ReadEngineFacts().count, 0u);
}

TEST_F(HookEngine, RelativeCallReturnsIntoTheTargetsOwnBody) {
  uint8_t* helper = arena.Put({0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});  // mov eax, 7; ret
  // sub rsp, 0x28; call helper; add eax, 1; add rsp, 0x28; ret
  uint8_t* target = arena.Put({0x48, 0x83, 0xEC, 0x28, 0xE8, 0, 0, 0, 0, 0x83, 0xC0, 0x01,
                               0x48, 0x83, 0xC4, 0x28, 0xC3});
  const int32_t rel = Rel32(target + 9, helper);
  std::memcpy(target + 5, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), target, 16);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(0), 8);
  HookIntFunction(target);
  const auto* tramp = reinterpret_cast<const uint8_t*>(gTrampoline);
  EXPECT_EQ(std::memcmp(tramp + 4, "\xFF\x35\x0E\x00\x00\x00\xFF\x25", 8), 0);
  uint64_t dest, pushed;
  std::memcpy(&dest, tramp + 16, 8);
  std::memcpy(&pushed, tramp + 24, 8);
  EXPECT_EQ(dest, reinterpret_cast<uint64_t>(helper));
  EXPECT_EQ(pushed, reinterpret_cast<uint64_t>(target + 9));
  EXPECT_EQ(gTrampoline(0), 8);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(0), 1008);
}

TEST_F(HookEngine, OverlappingPatchesAreRefused) {
  // Eleven one-byte instructions that never run, then ret.
  uint8_t* f = arena.Put({0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0xC3});
  void* detour = reinterpret_cast<void*>(&AddThousandDetour);
  ASSERT_EQ(HookAdd(f + 3, detour, nullptr), HookOk);
  EXPECT_EQ(HookAdd(f, detour, nullptr), HookPatchOverlap);      // its patch runs into f + 3's
  EXPECT_EQ(HookAdd(f + 7, detour, nullptr), HookPatchOverlap);  // inside f + 3's patch
  EXPECT_EQ(HookAdd(f + 8, detour, nullptr), HookOk);            // right after it
  EXPECT_EQ(ReadEngineFacts().count, 2u);
  // Once f + 3 is gone, f fits.
  ASSERT_EQ(HookDelete(f + 3), HookOk);
  EXPECT_EQ(HookAdd(f, detour, nullptr), HookOk);
  ASSERT_EQ(HookArm(nullptr), HookOk);
  EXPECT_EQ(f[0], 0xE9);
  EXPECT_EQ(f[8], 0xE9);

  // A patch above a short function counts from five bytes before it.
  uint8_t* area = arena.Put({0x90, 0x90, 0x90, 0x90, 0x90, 0xC3, 0xCC, 0x55, 0x48});
  ASSERT_EQ(HookAdd(area + 5, detour, nullptr), HookOk);
  EXPECT_EQ(HookAdd(area + 1, detour, nullptr), HookPatchOverlap);
  EXPECT_EQ(HookAdd(area + 7, detour, nullptr), HookOk);
}

TEST_F(HookEngine, ConditionalJumpOutIsInvertedOverAnAbsoluteJump) {
  // test ecx, ecx; jz zero; lea eax, [rcx+5]; ret; ... zero: xor eax, eax; ret
  uint8_t* target = arena.Put({0x85, 0xC9, 0x74, 0x06, 0x8D, 0x41, 0x05, 0xC3, 0xCC, 0xCC,
                               0x31, 0xC0, 0xC3});
  HookIntFunction(target);
  const auto* tramp = reinterpret_cast<const uint8_t*>(gTrampoline);
  EXPECT_EQ(tramp[2], 0x75);
  EXPECT_EQ(tramp[3], 0x0E);
  uint64_t dest;
  std::memcpy(&dest, tramp + 10, 8);
  EXPECT_EQ(dest, reinterpret_cast<uint64_t>(target + 10));
  EXPECT_EQ(gTrampoline(3), 8);
  EXPECT_EQ(gTrampoline(0), 0);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(3), 1008);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(0), 1000);
}

TEST_F(HookEngine, LoopOutOfThePatchedBytesIsRefused) {
  uint8_t* target = arena.Put({0xE2, 0x10, 0x90, 0x90, 0x90, 0xC3});
  EXPECT_EQ(HookAdd(target, reinterpret_cast<void*>(&AddThousandDetour), nullptr),
            HookUnsupportedFunction);
  uint8_t* jrcxz = arena.Put({0x90, 0xE3, 0x10, 0x90, 0x90, 0xC3});
  EXPECT_EQ(HookAdd(jrcxz, reinterpret_cast<void*>(&AddThousandDetour), nullptr),
            HookUnsupportedFunction);
  EXPECT_EQ(ReadEngineFacts().count, 0u);
  EXPECT_EQ(ReadEngineFacts().newestBlock, 0u);
  EXPECT_EQ(target[0], 0xE2);
}

TEST_F(HookEngine, RipRelativeLoadReadsTheSameData) {
  uint8_t* data = arena.Put({0x78, 0x56, 0x34, 0x12});
  uint8_t* target = arena.Put({0x8B, 0x05, 0, 0, 0, 0, 0xC3}, 0x2000);  // mov eax, [rip+x]; ret
  const int32_t rel = Rel32(target + 6, data);
  std::memcpy(target + 2, &rel, 4);
  FlushInstructionCache(GetCurrentProcess(), target, 8);
  HookIntFunction(target);
  EXPECT_EQ(gTrampoline(0), 0x12345678);
  EXPECT_EQ(reinterpret_cast<IntFn>(target)(0), 0x12345678 + 1000);
}

TEST_F(HookEngine, ArmingEverythingWhenAllAreArmedFreezesNothing) {
  uint8_t* a = arena.Put(kTwicePlusOne);
  uint8_t* b = arena.Put(kTwicePlusOne);
  ASSERT_EQ(HookAdd(a, reinterpret_cast<void*>(&AddThousandDetour), nullptr), HookOk);
  ASSERT_EQ(HookAdd(b, reinterpret_cast<void*>(&AddThousandDetour), nullptr), HookOk);
  ASSERT_EQ(HookArm(nullptr), HookOk);
  EXPECT_EQ(a[0], 0xE9);
  EXPECT_EQ(b[0], 0xE9);
  const uint32_t freezes = ReadEngineFacts().freezes;
  EXPECT_EQ(HookArm(nullptr), HookOk);
  EXPECT_EQ(ReadEngineFacts().freezes, freezes);
  EXPECT_EQ(HookDisarm(a), HookOk);
  EXPECT_EQ(HookArm(nullptr), HookOk);  // arms only the one that differs
  EXPECT_EQ(ReadEngineFacts().freezes, freezes + 2);
  EXPECT_EQ(HookDisarm(nullptr), HookOk);
  EXPECT_EQ(std::memcmp(a, kTwicePlusOne.data(), kTwicePlusOne.size()), 0);
  EXPECT_EQ(std::memcmp(b, kTwicePlusOne.data(), kTwicePlusOne.size()), 0);
}

TEST_F(HookEngine, RecordArrayDoublesAtTheThirtyThirdAndShrinksBack) {
  std::vector<uint8_t*> targets;
  for (int i = 0; i < 33; ++i) targets.push_back(arena.Put(kTwicePlusOne));
  for (int i = 0; i < 32; ++i)
    ASSERT_EQ(HookAdd(targets[i], reinterpret_cast<void*>(&AddThousandDetour), nullptr), HookOk);
  EXPECT_EQ(ReadEngineFacts().capacity, 32u);
  ASSERT_EQ(HookAdd(targets[32], reinterpret_cast<void*>(&AddThousandDetour), nullptr), HookOk);
  EXPECT_EQ(ReadEngineFacts().capacity, 64u);
  EXPECT_EQ(ReadEngineFacts().count, 33u);
  ASSERT_EQ(HookArm(nullptr), HookOk);

  // Deleting moves the last record into the hole; every other hook keeps working.
  ASSERT_EQ(HookDelete(targets[3]), HookOk);
  EXPECT_EQ(ReadEngineFacts().count, 32u);
  EXPECT_EQ(ReadEngineFacts().capacity, 32u);
  EXPECT_EQ(reinterpret_cast<IntFn>(targets[3])(1), 3);
  for (int i = 0; i < 33; ++i) {
    if (i == 3) continue;
    HookRecord r;
    ASSERT_TRUE(CopyHookRecord(targets[i], &r)) << i;
    gTrampoline = reinterpret_cast<IntFn>(r.trampoline);
    EXPECT_EQ(reinterpret_cast<IntFn>(targets[i])(i), 2 * i + 1 + 1000) << i;
  }
}

TEST_F(HookEngine, ShutdownRestoresEveryTargetAndReleasesTheBlocks) {
  uint8_t* a = arena.Put(kTwicePlusOne);
  uint8_t* b = arena.Put({0xC3, 0xCC, 0xCC, 0xCC, 0xCC});
  ASSERT_EQ(HookAdd(a, reinterpret_cast<void*>(&AddThousandDetour), nullptr), HookOk);
  ASSERT_EQ(HookAdd(b, reinterpret_cast<void*>(&CountingDetour), nullptr), HookOk);
  ASSERT_EQ(HookArm(nullptr), HookOk);
  const uintptr_t block = ReadEngineFacts().newestBlock;
  ASSERT_EQ(HookShutdown(), HookOk);
  EXPECT_EQ(std::memcmp(a, kTwicePlusOne.data(), kTwicePlusOne.size()), 0);
  EXPECT_EQ(b[0], 0xC3);
  MEMORY_BASIC_INFORMATION mbi;
  ASSERT_TRUE(VirtualQuery(reinterpret_cast<void*>(block), &mbi, sizeof mbi));
  EXPECT_EQ(mbi.State, DWORD(MEM_FREE));
  ASSERT_EQ(HookInitialize(), HookOk);  // for TearDown
}

}  // namespace
