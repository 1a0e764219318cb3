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

// A relocated call pushes the return address that the original call would have pushed (in the
// target, after the patch) and jumps to the callee; it is the last copied instruction.
TEST(Trampoline, CallsPushTheReturnAddressInTheTargetAndJump) {
  // sub rsp, 0x28; call +0x100
  const Built b = Build({0x48, 0x83, 0xEC, 0x28, 0xE8, 0x00, 0x01, 0x00, 0x00, 0x90});
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(std::memcmp(b.slot, "\x48\x83\xEC\x28\xFF\x35", 6), 0);
  EXPECT_EQ(U64(b.slot + 10 + I32(b.slot + 6)), kTarget + 9);  // push [rip+d]
  ExpectAbsoluteJump(b.slot + 10, kTarget + 9 + 0x100);
  ExpectRelay(b, 32);
  EXPECT_EQ(b.r.copied, 9);

  // sub rsp, 0x28; call [rip+0x10]: the same operand, now a jump.
  const Built rip = Build({0x48, 0x83, 0xEC, 0x28, 0xFF, 0x15, 0x10, 0x00, 0x00, 0x00});
  ASSERT_TRUE(rip.ok);
  EXPECT_EQ(std::memcmp(rip.slot + 4, "\xFF\x35", 2), 0);
  EXPECT_EQ(U64(rip.slot + 10 + I32(rip.slot + 6)), kTarget + 10);
  EXPECT_EQ(std::memcmp(rip.slot + 10, "\xFF\x25", 2), 0);
  EXPECT_EQ(int64_t(kSlot) + 16 + I32(rip.slot + 12), int64_t(kTarget) + 10 + 0x10);
  ExpectRelay(rip, 24);

  // sub rsp, 0x28; call r11 becomes jmp r11.
  const Built reg = Build({0x48, 0x83, 0xEC, 0x28, 0x41, 0xFF, 0xD3});
  ASSERT_TRUE(reg.ok);
  EXPECT_EQ(std::memcmp(reg.slot + 10, "\x41\xFF\xE3", 3), 0);
  EXPECT_EQ(U64(reg.slot + 10 + I32(reg.slot + 6)), kTarget + 7);
  ExpectRelay(reg, 21);

  // call [rsp+8] would read a moved stack; call rax at the start would return into the patch.
  EXPECT_FALSE(Build({0x48, 0x83, 0xEC, 0x28, 0xFF, 0x54, 0x24, 0x08}).ok);
  EXPECT_FALSE(Build({0xFF, 0xD0, 0x90, 0x90, 0x90}).ok);
  // A call into the patched bytes themselves.
  EXPECT_FALSE(Build({0xE8, 0xFD, 0xFF, 0xFF, 0xFF, 0x90}).ok);
  // call [r12+8] does not use rsp.
  EXPECT_TRUE(Build({0x48, 0x83, 0xEC, 0x28, 0x41, 0xFF, 0x54, 0x24, 0x08}).ok);
}

TEST(Trampoline, RegisterJumpEndsTheCopyLikeReturn) {
  const Built b = Build({0xFF, 0xE0, 0xCC, 0xCC, 0xCC, 0x55});  // jmp rax; filler
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(std::memcmp(b.slot, "\xFF\xE0", 2), 0);
  ExpectRelay(b, 2);
  EXPECT_FALSE(Build({0x41, 0xFF, 0xE3, 0x55, 0x48, 0x89}).ok);  // code right after it
  // mov rax, rcx; jmp rax: exactly the patch, no jump back.
  const Built five = Build({0x48, 0x89, 0xC8, 0xFF, 0xE0, 0x55});
  ASSERT_TRUE(five.ok);
  ExpectRelay(five, 5);
  // A kept branch past it goes on copying.
  const Built over = Build({0x74, 0x02, 0xFF, 0xE0, 0x90, 0x90});
  ASSERT_TRUE(over.ok);
  EXPECT_EQ(std::memcmp(over.slot, "\x74\x02\xFF\xE0\x90", 5), 0);
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
  ThreadPlace at{kTarget + 1, 0x5000};
  EXPECT_TRUE(MapInstructionPointer(b.r, true, &at));
  EXPECT_EQ(at.ip, kSlot + 1);
  at = {kTarget + 2, 0x5000};
  EXPECT_FALSE(MapInstructionPointer(b.r, true, &at));  // not an instruction start
  at = {kSlot + 1, 0x5000};
  EXPECT_TRUE(MapInstructionPointer(b.r, false, &at));
  EXPECT_EQ(at.ip, kTarget + 1);
  EXPECT_EQ(at.sp, 0x5000u);
  // Stopped after the push of the return address: drop it and make the call in the target.
  at = {kSlot + 1 + 6, 0x4FF8};
  EXPECT_TRUE(MapInstructionPointer(b.r, false, &at));
  EXPECT_EQ(at.ip, kTarget + 1);
  EXPECT_EQ(at.sp, 0x5000u);
  at = {b.r.relay, 0x5000};
  EXPECT_TRUE(MapInstructionPointer(b.r, false, &at));
  EXPECT_EQ(at.ip, kTarget);
  at = {kTarget + 1, 0x5000};
  EXPECT_FALSE(MapInstructionPointer(b.r, false, &at));

  const Built jcc = Build({0x74, 0x20, 0x90, 0x90, 0x90});
  ASSERT_TRUE(jcc.ok);
  // Stopped on the absolute jump of the rewritten jz: the condition held.
  at = {kSlot + 2, 0x5000};
  EXPECT_TRUE(MapInstructionPointer(jcc.r, false, &at));
  EXPECT_EQ(at.ip, kTarget + 2 + 0x20);
  EXPECT_EQ(at.sp, 0x5000u);

  const Built above = Build({0xC3, 0xCC, 0x55}, std::vector<uint8_t>(5, 0xCC));
  ASSERT_TRUE(above.ok);
  at = {kTarget - 5, 0x5000};
  EXPECT_TRUE(MapInstructionPointer(above.r, false, &at));
  EXPECT_EQ(at.ip, kTarget);
}

}  // namespace
