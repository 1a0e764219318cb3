// The trampoline builder on hand-assembled code at made-up addresses: what each first
// instruction becomes, where copying stops, and what is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hook/trampoline.h"

namespace {

constexpr uintptr_t kTarget = 0x140001000;
constexpr uintptr_t kSlot = 0x13FFF0FC0;  // below the target, well within 1 GiB
constexpr uintptr_t kDetour = 0x7FF612340000;

struct Built {
  bool ok;
  HookRecord r;
  uint8_t slot[kSlotSize];
};

Built Build(std::vector<uint8_t> code, const std::vector<uint8_t>& above = {},
            uintptr_t target = kTarget) {
  code.resize(code.size() + 16, 0xCC);  // what follows the function
  Built b{};
  std::memset(b.slot, 0xAB, sizeof b.slot);
  TrampolineSource src{target, code.data(), code.size(), above.empty() ? nullptr : above.data()};
  b.r.target = target;
  b.ok = BuildTrampoline(src, b.slot, kSlot, kDetour, &b.r);
  return b;
}

uint64_t U64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
int32_t I32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void ExpectAbsoluteJump(const uint8_t* p, uint64_t dest) {
  const uint8_t head[] = {0xFF, 0x25, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(p, head, 6), 0);
  EXPECT_EQ(U64(p + 6), dest);
}

void ExpectRelay(const Built& b, unsigned at) {
  EXPECT_EQ(b.r.trampoline, kSlot);
  EXPECT_EQ(b.r.relay, kSlot + at);
  ExpectAbsoluteJump(b.slot + at, kDetour);
}

TEST(Trampoline, PlainPrologueIsCopiedAndJumpsBack) {
  // push rbp; mov rbp, rsp; sub rsp, 0x20
  const Built b = Build({0x55, 0x48, 0x89, 0xE5, 0x48, 0x83, 0xEC, 0x20});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(std::memcmp(b.slot, "\x55\x48\x89\xE5\x48\x83\xEC\x20", 8), 0);
  ExpectAbsoluteJump(b.slot + 8, kTarget + 8);
  ExpectRelay(b, 22);
  EXPECT_FALSE(b.r.patchedAbove);
  ASSERT_EQ(b.r.boundaryCount, 4);
  const uint8_t olds[] = {0, 1, 4, 8}, news[] = {0, 1, 4, 8};
  EXPECT_EQ(std::memcmp(b.r.oldBoundaries, olds, 4), 0);
  EXPECT_EQ(std::memcmp(b.r.newBoundaries, news, 4), 0);
}

TEST(Trampoline, LeadingJumpBecomesAbsoluteJumpAndNothingElse) {
  const Built b = Build({0xE9, 0x00, 0x10, 0x00, 0x00, 0x55});
  ASSERT_TRUE(b.ok);
  ExpectAbsoluteJump(b.slot, kTarget + 5 + 0x1000);
  ExpectRelay(b, 14);
  EXPECT_EQ(b.r.boundaryCount, 1);

  const Built s = Build({0xEB, 0x40});  // a short jump out
  ASSERT_TRUE(s.ok);
  ExpectAbsoluteJump(s.slot, kTarget + 2 + 0x40);
  ExpectRelay(s, 14);
}

TEST(Trampoline, ReturnWithFillerIsPatchedInPlaceOrAbove) {
  const Built four = Build({0xC3, 0xCC, 0xCC, 0xCC, 0xCC, 0x55});
  ASSERT_TRUE(four.ok);
  EXPECT_FALSE(four.r.patchedAbove);
  EXPECT_EQ(four.slot[0], 0xC3);
  ExpectRelay(four, 1);

  const std::vector<uint8_t> fillerAbove(5, 0x90);
  const Built above = Build({0xC3, 0xCC, 0x55, 0x48}, fillerAbove);
  ASSERT_TRUE(above.ok);
  EXPECT_TRUE(above.r.patchedAbove);

  EXPECT_FALSE(Build({0xC3, 0xCC, 0x55, 0x48}).ok);                            // nothing above
  EXPECT_FALSE(Build({0xC3, 0xCC, 0x55, 0x48}, {0x90, 0x90, 0xCC, 0x90, 0x90}).ok);  // mixed
  EXPECT_FALSE(Build({0xC3, 0xCC, 0x55, 0x48}, {0x55, 0x55, 0x55, 0x55, 0x55}).ok);  // not filler
  EXPECT_FALSE(Build({0xC3, 0x48, 0x89, 0xE5}, fillerAbove).ok);  // code right after the ret
  EXPECT_FALSE(Build({0xC3, 0x90, 0xCC, 0xCC, 0xCC}).ok);         // filler bytes must be equal
  // Two bytes before the filler: too long for a short jump back.
  EXPECT_FALSE(Build({0x31, 0xC0, 0xC3, 0x00, 0x55}, fillerAbove).ok);
  const Built xorRet = Build({0x31, 0xC0, 0xC3, 0x00, 0x00});
  ASSERT_TRUE(xorRet.ok);
  EXPECT_EQ(std::memcmp(xorRet.slot, "\x31\xC0\xC3", 3), 0);
}

TEST(Trampoline, RelativeCallBecomesAbsoluteCall) {
  // sub rsp, 0x28; call +0x100
  const Built b = Build({0x48, 0x83, 0xEC, 0x28, 0xE8, 0x00, 0x01, 0x00, 0x00});
  ASSERT_TRUE(b.ok);
  const uint8_t call[] = {0xFF, 0x15, 0x02, 0, 0, 0, 0xEB, 0x08};
  EXPECT_EQ(std::memcmp(b.slot + 4, call, 8), 0);
  EXPECT_EQ(U64(b.slot + 12), kTarget + 9 + 0x100);
  ExpectAbsoluteJump(b.slot + 20, kTarget + 9);
  ExpectRelay(b, 34);
}

TEST(Trampoline, ConditionalJumpOutBecomesInvertedSkipOverAbsoluteJump) {
  // test ecx, ecx; jz +0x20; then jne rel32 in the two-byte form
  const Built b = Build({0x85, 0xC9, 0x74, 0x20, 0x90});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.slot[2], 0x75);
  EXPECT_EQ(b.slot[3], 0x0E);
  ExpectAbsoluteJump(b.slot + 4, kTarget + 4 + 0x20);
  EXPECT_EQ(b.slot[18], 0x90);
  ExpectAbsoluteJump(b.slot + 19, kTarget + 5);

  const Built wide = Build({0x0F, 0x85, 0x00, 0x02, 0x00, 0x00});
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(wide.slot[0], 0x74);  // jne inverted
  ExpectAbsoluteJump(wide.slot + 2, kTarget + 6 + 0x200);
  ExpectAbsoluteJump(wide.slot + 16, kTarget + 6);

  const Built sign = Build({0x78, 0x10, 0x90, 0x90, 0x90});  // js -> jns
  ASSERT_TRUE(sign.ok);
  EXPECT_EQ(sign.slot[0], 0x79);
}

TEST(Trampoline, LoopFormsOutOfTheCopyAreRefused) {
  EXPECT_FALSE(Build({0xE2, 0x10, 0x90, 0x90, 0x90}).ok);  // loop
  EXPECT_FALSE(Build({0xE3, 0x10, 0x90, 0x90, 0x90}).ok);  // jrcxz
  EXPECT_FALSE(Build({0x90, 0xE0, 0xF0, 0x90, 0x90}).ok);  // loopnz backwards out
  // xbegin has no absolute form either.
  EXPECT_FALSE(Build({0xC7, 0xF8, 0x00, 0x01, 0x00, 0x00}).ok);
}

TEST(Trampoline, BranchesInsideThePatchedBytesAreKept) {
  // jz +1 over a nop into the next instructions; nothing in between changes length.
  const Built b = Build({0x74, 0x01, 0x90, 0x50, 0x58, 0x90});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(std::memcmp(b.slot, "\x74\x01\x90\x50\x58", 5), 0);
  ExpectAbsoluteJump(b.slot + 5, kTarget + 5);

  // A loop back to the start of the copy keeps its distance.
  const Built loop = Build({0x90, 0xFF, 0xC8, 0xE2, 0xFB, 0x90});  // nop; dec eax; loop -> +0
  ASSERT_TRUE(loop.ok);
  EXPECT_EQ(std::memcmp(loop.slot, "\x90\xFF\xC8\xE2\xFB", 5), 0);

  // Jumped-over instructions may not change length.
  EXPECT_FALSE(Build({0xEB, 0x02, 0x74, 0x40, 0x90, 0x90}).ok);
  // A jump back over a rewritten conditional jump would land in the wrong place.
  EXPECT_FALSE(Build({0x74, 0x40, 0xEB, 0xFC, 0x90}).ok);
  // Nor may a kept jump land inside a copied instruction.
  EXPECT_FALSE(Build({0xEB, 0x01, 0x48, 0x89, 0xE5, 0x90}).ok);
}

TEST(Trampoline, RipRelativeOperandsAreReaimed) {
  // mov rax, [rip+0x1000]
  const Built b = Build({0x48, 0x8B, 0x05, 0x00, 0x10, 0x00, 0x00});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(std::memcmp(b.slot, "\x48\x8B\x05", 3), 0);
  EXPECT_EQ(int64_t(kSlot) + 7 + I32(b.slot + 3), int64_t(kTarget) + 7 + 0x1000);
  ExpectAbsoluteJump(b.slot + 7, kTarget + 7);

  // push rax; cmp dword [rip-0x200], 7: the immediate follows the displacement.
  const Built c = Build({0x50, 0x83, 0x3D, 0x00, 0xFE, 0xFF, 0xFF, 0x07});
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.slot[7], 0x07);
  EXPECT_EQ(int64_t(kSlot) + 8 + I32(c.slot + 3), int64_t(kTarget) + 8 - 0x200);
  ExpectAbsoluteJump(c.slot + 8, kTarget + 8);

  // jmp [rip+x] ends the copy.
  const Built ind = Build({0xFF, 0x25, 0x10, 0x00, 0x00, 0x00, 0x55});
  ASSERT_TRUE(ind.ok);
  EXPECT_EQ(int64_t(kSlot) + 6 + I32(ind.slot + 2), int64_t(kTarget) + 6 + 0x10);
  ExpectRelay(ind, 6);

  // A displacement that no longer fits in 32 bits from the slot is refused, not truncated.
  EXPECT_FALSE(Build({0x48, 0x8B, 0x05, 0xF0, 0xFF, 0xFF, 0x7F}, {}, kSlot + 0x40000000).ok);
}

TEST(Trampoline, SizeAndBoundaryLimits) {
  // Two rewritten conditional jumps and a nop fit the 50 bytes; three do not.
  EXPECT_TRUE(Build({0x74, 0x10, 0x75, 0x10, 0x90}).ok);
  EXPECT_FALSE(Build({0x74, 0x10, 0x75, 0x10, 0x76, 0x10}).ok);
  // Five one-byte instructions and the jump back: six boundaries.
  const Built b = Build({0x50, 0x51, 0x52, 0x53, 0x54, 0x55});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.r.boundaryCount, 6);
  // Undecodable first bytes.
  EXPECT_FALSE(Build({0x06, 0x90, 0x90, 0x90, 0x90}).ok);
}

TEST(Trampoline, NeverReadsPastWhatIsReadable) {
  const uint8_t code[] = {0x48, 0x83, 0xEC, 0x28, 0x90};
  for (size_t readable = 0; readable < 5; ++readable) {
    std::vector<uint8_t> exact(code, code + readable);
    HookRecord r{};
    uint8_t slot[kSlotSize];
    TrampolineSource src{kTarget, exact.data(), readable, nullptr};
    EXPECT_FALSE(BuildTrampoline(src, slot, kSlot, kDetour, &r)) << readable;
  }
}

TEST(Trampoline, InstructionPointersMoveBetweenTargetAndTrampoline) {
  // push rbp; call +0x40; nop
  const Built b = Build({0x55, 0xE8, 0x40, 0x00, 0x00, 0x00, 0x74, 0x10});
  ASSERT_TRUE(b.ok);
  uintptr_t moved = 0;
  EXPECT_TRUE(MapInstructionPointer(b.r, true, kTarget + 1, &moved));
  EXPECT_EQ(moved, kSlot + 1);
  EXPECT_FALSE(MapInstructionPointer(b.r, true, kTarget + 2, &moved));  // not an instruction start
  EXPECT_TRUE(MapInstructionPointer(b.r, false, kSlot + 1, &moved));
  EXPECT_EQ(moved, kTarget + 1);
  // Returned from the absolute call: continue after the original call.
  EXPECT_TRUE(MapInstructionPointer(b.r, false, kSlot + 1 + 6, &moved));
  EXPECT_EQ(moved, kTarget + 6);
  EXPECT_TRUE(MapInstructionPointer(b.r, false, b.r.relay, &moved));
  EXPECT_EQ(moved, kTarget);
  EXPECT_FALSE(MapInstructionPointer(b.r, false, kTarget + 1, &moved));

  const Built jcc = Build({0x74, 0x20, 0x90, 0x90, 0x90});
  ASSERT_TRUE(jcc.ok);
  // Stopped on the absolute jump of the rewritten jz: the condition held.
  EXPECT_TRUE(MapInstructionPointer(jcc.r, false, kSlot + 2, &moved));
  EXPECT_EQ(moved, kTarget + 2 + 0x20);

  const Built above = Build({0xC3, 0xCC, 0x55}, std::vector<uint8_t>(5, 0xCC));
  ASSERT_TRUE(above.ok);
  EXPECT_TRUE(MapInstructionPointer(above.r, false, kTarget - 5, &moved));
  EXPECT_EQ(moved, kTarget);
}

}  // namespace
