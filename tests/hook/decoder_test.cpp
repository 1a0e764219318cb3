// Hand-written decoding cases: the encodings hook engines are known to get wrong, the extended
// encodings compilers emit, and the refusals. Built for Windows and natively under sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "hook/decoder.h"

namespace {

using namespace DecodeFlags;

struct Case {
  std::vector<uint8_t> bytes;
  unsigned length;
  uint32_t flags;  // flags that must be set (imm/disp/relative/ModRM/SIB bits must match exactly)
};

constexpr uint32_t kShapeBits = HasModRM | HasSib | ImmMask | Disp8 | Disp16 | Disp32 | Relative;

// Decodes from an exact-size heap copy so a read beyond the limit is a sanitizer error.
unsigned Decode(const std::vector<uint8_t>& bytes, size_t avail, DecodedInstruction* d) {
  std::vector<uint8_t> exact(bytes.begin(), bytes.begin() + avail);
  return DecodeInstruction(exact.data(), avail, d);
}

void ExpectDecodes(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    DecodedInstruction d;
    ASSERT_EQ(Decode(c.bytes, c.bytes.size(), &d), c.length);
    EXPECT_EQ(d.len, c.length);
    EXPECT_EQ(d.flags & kShapeBits, c.flags & kShapeBits);
    EXPECT_EQ(d.flags & c.flags, c.flags);
    // Every shorter limit is refused, never answered with a shorter length.
    for (size_t avail = 0; avail < c.length; ++avail) {
      EXPECT_EQ(Decode(c.bytes, avail, &d), 0u) << "limit " << avail;
      EXPECT_TRUE(d.flags & Error);
    }
  }
}

void ExpectRefused(std::initializer_list<std::vector<uint8_t>> inputs, uint32_t why) {
  for (const auto& bytes : inputs) {
    SCOPED_TRACE(::testing::PrintToString(bytes));
    DecodedInstruction d;
    EXPECT_EQ(Decode(bytes, bytes.size(), &d), 0u);
    EXPECT_EQ(d.len, 0u);
    EXPECT_EQ(d.flags & (Error | why), Error | why);
  }
}

TEST(Decoder, ImmediateSizesFollowOperandSizeAndRexW) {
  ExpectDecodes({
      {{0x48, 0x81, 0xEC, 0x00, 0x01, 0x00, 0x00}, 7, HasModRM | Imm32 | PrefixRex},  // sub rsp, imm32
      {{0x48, 0x83, 0xEC, 0x28}, 4, HasModRM | Imm8},
      {{0x66, 0x81, 0xC0, 0x34, 0x12}, 5, HasModRM | Imm16 | Prefix66},
      {{0x66, 0x48, 0x81, 0xC0, 1, 2, 3, 4}, 8, HasModRM | Imm32},  // REX.W wins over 0x66
      {{0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8}, 10, Imm64},
      {{0x66, 0xB8, 1, 2}, 4, Imm16},
      {{0xB8, 1, 2, 3, 4}, 5, Imm32},
      {{0x66, 0x68, 1, 2}, 4, Imm16},
      {{0x66, 0x48, 0x68, 1, 2, 3, 4}, 7, Imm32},
      {{0x6A, 0x10}, 2, Imm8},
      {{0x69, 0xC0, 1, 2, 3, 4}, 6, HasModRM | Imm32},
      {{0xC2, 0x10, 0x00}, 3, Imm16},
      {{0x66, 0x48, 0xC2, 0x10, 0x00}, 5, Imm16},
      {{0xC8, 0x20, 0x00, 0x01}, 4, Imm16 | Imm8},  // ENTER: 3 immediate bytes
      {{0xCD, 0x2E}, 2, Imm8},
  });
  DecodedInstruction d;
  ASSERT_EQ(Decode({0xC8, 0x20, 0x00, 0x01}, 4, &d), 4u);
  EXPECT_EQ(ImmediateSize(d), 3u);
}

TEST(Decoder, TestImmediatesDependOnTheGroupMember) {
  ExpectDecodes({
      {{0xF6, 0xC1, 0x01}, 3, HasModRM | Imm8},          // test cl, 1
      {{0xF6, 0xC9, 0x01}, 3, HasModRM | Imm8},          // test alias /1
      {{0xF6, 0xD1}, 2, HasModRM},                       // not cl
      {{0xF7, 0xC1, 1, 2, 3, 4}, 6, HasModRM | Imm32},   // test ecx, imm32
      {{0x66, 0xF7, 0xC1, 1, 2}, 5, HasModRM | Imm16},
      {{0xF7, 0xD8}, 2, HasModRM},                       // neg eax
      {{0xF7, 0x7C, 0x24, 0x08}, 4, HasModRM | HasSib | Disp8},  // idiv dword [rsp+8]
      {{0xC6, 0x00, 0x01}, 3, HasModRM | Imm8},
      {{0xC7, 0x40, 0x08, 1, 2, 3, 4}, 7, HasModRM | Disp8 | Imm32},
      {{0x0F, 0xBA, 0xE0, 0x05}, 4, HasModRM | Imm8},     // bt eax, 5
  });
}

TEST(Decoder, AddressingFormsAndTheAddressSizePrefix) {
  ExpectDecodes({
      {{0x8B, 0x44, 0x24, 0x08}, 4, HasModRM | HasSib | Disp8},
      {{0x8B, 0x04, 0x25, 1, 2, 3, 4}, 7, HasModRM | HasSib | Disp32},  // no base: disp32
      {{0x8B, 0x84, 0x24, 1, 2, 3, 4}, 7, HasModRM | HasSib | Disp32},
      {{0x8B, 0x05, 1, 2, 3, 4}, 6, HasModRM | Disp32},                 // RIP-relative
      {{0x67, 0x8B, 0x05, 1, 2, 3, 4}, 7, HasModRM | Disp32 | Prefix67}, // EIP-relative
      {{0x41, 0x8B, 0x45, 0x00}, 4, HasModRM | Disp8},                  // [r13+0]
      {{0xA1, 1, 2, 3, 4, 5, 6, 7, 8}, 9, Imm64},                        // mov eax, moffs64
      {{0x67, 0xA1, 1, 2, 3, 4}, 6, Imm32},                              // moffs32
      {{0x67, 0x48, 0xA1, 1, 2, 3, 4}, 7, Imm32 | PrefixRex},            // REX.W: still moffs32
      // 0x67 leaves the displacement sizes of 64-bit addressing as they are.
      {{0x67, 0x8B, 0x44, 0x24, 0x08}, 5, HasModRM | HasSib | Disp8 | Prefix67},
      {{0x67, 0x8B, 0x80, 1, 2, 3, 4}, 7, HasModRM | Disp32 | Prefix67},
      {{0x67, 0x8B, 0x04, 0x25, 1, 2, 3, 4}, 8, HasModRM | HasSib | Disp32 | Prefix67},
      {{0x48, 0xA3, 1, 2, 3, 4, 5, 6, 7, 8}, 10, Imm64},
      {{0x0F, 0x20, 0xC0}, 3, HasModRM},  // mov rax, cr0
      {{0x0F, 0x20, 0x05}, 3, HasModRM},  // the mod field is ignored: no displacement
      {{0xFF, 0x25, 1, 2, 3, 4}, 6, HasModRM | Disp32},
  });
}

TEST(Decoder, BranchesCarryRelativeOffsets) {
  ExpectDecodes({
      {{0x74, 0x10}, 2, Imm8 | Relative},
      {{0x0F, 0x84, 1, 2, 3, 4}, 6, Imm32 | Relative},
      {{0xE8, 1, 2, 3, 4}, 5, Imm32 | Relative},
      {{0x66, 0xE8, 1, 2, 3, 4}, 6, Imm32 | Relative},  // 0x66 is ignored by near branches
      {{0xE9, 1, 2, 3, 4}, 5, Imm32 | Relative},
      {{0xEB, 0xFE}, 2, Imm8 | Relative},
      {{0xE2, 0xFE}, 2, Imm8 | Relative},
      {{0xE3, 0x10}, 2, Imm8 | Relative},
      {{0x3E, 0x74, 0x10}, 3, Imm8 | Relative | PrefixSegment},
      {{0xF2, 0xE9, 1, 2, 3, 4}, 6, Imm32 | Relative | PrefixRepnz},
      {{0xC7, 0xF8, 1, 2, 3, 4}, 6, HasModRM | Imm32 | Relative},  // xbegin
      {{0x66, 0xC7, 0xF8, 1, 2}, 5, HasModRM | Imm16 | Relative},  // xbegin rel16
      {{0x66, 0x48, 0xC7, 0xF8, 1, 2, 3, 4}, 8, HasModRM | Imm32 | Relative},
      {{0xC3}, 1, 0},
  });
}

TEST(Decoder, ExtendedEncodings) {
  ExpectDecodes({
      {{0xC5, 0xF8, 0x77}, 3, 0},                                      // vzeroupper
      {{0xC5, 0xFD, 0x6F, 0x05, 1, 2, 3, 4}, 8, HasModRM | Disp32},    // vmovdqa ymm0, [rip+]
      {{0xC4, 0xE3, 0x7D, 0x18, 0xC1, 0x01}, 6, HasModRM | Imm8},      // vinsertf128
      {{0xC4, 0xE2, 0x79, 0x18, 0x44, 0x24, 0x10}, 7, HasModRM | HasSib | Disp8},
      {{0xC5, 0xF9, 0x70, 0xC0, 0x1B}, 5, HasModRM | Imm8},            // vpshufd
      {{0x62, 0xF1, 0x7C, 0x48, 0x10, 0x44, 0x24, 0x01}, 8, HasModRM | HasSib | Disp8},
      {{0x62, 0xF1, 0x7D, 0x48, 0x72, 0xE0, 0x05}, 7, HasModRM | Imm8},  // vpsrad zmm0, zmm0, 5
      {{0x62, 0xF3, 0x7D, 0x48, 0x1B, 0xC1, 0x01}, 7, HasModRM | Imm8},  // vextractf32x8
      {{0x62, 0xF1, 0x7C, 0x78, 0x58, 0xC1}, 6, HasModRM},  // vaddps zmm0, zmm0, zmm1, {rz-sae}
      {{0x8F, 0xE8, 0x78, 0xC0, 0xC8, 0x05}, 6, HasModRM | Imm8},      // XOP vprotb
      {{0x8F, 0xEA, 0x78, 0x10, 0xC0, 1, 2, 3, 4}, 9, HasModRM | Imm32},  // XOP bextr imm32
      {{0x8F, 0xC0}, 2, HasModRM},                                       // pop rax
      {{0xF3, 0x0F, 0x1E, 0xFA}, 4, HasModRM | PrefixRep},              // endbr64
      {{0x66, 0x2E, 0x0F, 0x1F, 0x84, 0, 0, 0, 0, 0}, 10, HasModRM | HasSib | Disp32},
      {{0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x08}, 6, HasModRM | Imm8},        // palignr
      {{0x66, 0x0F, 0x38, 0x00, 0xC1}, 5, HasModRM},                     // pshufb
      {{0x0F, 0x0F, 0xC0, 0xB4}, 4, HasModRM | Imm8},                    // 3DNow! pfmul
      {{0x66, 0x0F, 0x78, 0xC0, 0x01, 0x02}, 6, HasModRM | Imm16},       // extrq, two bytes
  });
  DecodedInstruction d;
  ASSERT_EQ(Decode({0xC4, 0xE2, 0x79, 0x18, 0x44, 0x24, 0x10}, 7, &d), 7u);
  EXPECT_EQ(d.vex, VexKind::Vex3);
  EXPECT_EQ(d.vex_map, 2);
  EXPECT_EQ(d.opcode, 0x0F);
  EXPECT_EQ(d.opcode2, 0x38);
  EXPECT_EQ(d.opcode3, 0x18);
}

TEST(Decoder, PrefixesAndRexAreRecorded) {
  DecodedInstruction d;
  ASSERT_EQ(Decode({0xF0, 0x48, 0x0F, 0xB1, 0x0A}, 5, &d), 5u);  // lock cmpxchg [rdx], rcx
  EXPECT_EQ(d.p_lock, 0xF0);
  EXPECT_EQ(d.rex, 0x48);
  EXPECT_EQ(d.rex_w, 1);
  EXPECT_EQ(d.opcode, 0x0F);
  EXPECT_EQ(d.opcode2, 0xB1);
  EXPECT_EQ(d.modrm_reg, 1);
  EXPECT_EQ(d.modrm_rm, 2);
  EXPECT_TRUE(d.flags & PrefixLock);
  EXPECT_TRUE(d.flags & PrefixRex);

  ASSERT_EQ(Decode({0xF3, 0xF2, 0xA4}, 3, &d), 3u);  // the last repeat prefix counts
  EXPECT_EQ(d.p_rep, 0xF2);
  EXPECT_EQ(d.flags & PrefixAnyRep, PrefixRepnz);

  // A REX followed by a legacy prefix is ignored.
  ASSERT_EQ(Decode({0x48, 0x66, 0xB8, 1, 2}, 5, &d), 5u);
  EXPECT_EQ(d.rex, 0);
  EXPECT_FALSE(d.flags & PrefixRex);

  ASSERT_EQ(Decode({0x4C, 0x8B, 0x4C, 0x24, 0xF0}, 5, &d), 5u);
  EXPECT_EQ(d.rex_r, 1);
  EXPECT_EQ(d.sib_base, 4);
  EXPECT_EQ(d.sib_index, 4);
  EXPECT_EQ(d.disp.disp8, 0xF0);

  // Fourteen prefixes and an opcode: exactly 15 bytes.
  std::vector<uint8_t> longest(14, 0x66);
  longest.push_back(0x90);
  ASSERT_EQ(Decode(longest, longest.size(), &d), 15u);
}

TEST(Decoder, RefusesWhatIsNotAnInstruction) {
  ExpectRefused({{0x06}, {0x27}, {0x60}, {0x82, 0xC0, 0x01}, {0x9A}, {0xD6}, {0xFF, 0xF8},
                 {0xFE, 0xD0}, {0x0F, 0x04}, {0x0F, 0xBA, 0xC0, 0x01}, {0x0F, 0xB8, 0xC0},
                 {0xC4, 0xE0, 0x78, 0x10, 0xC0}, {0x62, 0xF9, 0x7C, 0x48, 0x10, 0xC0},
                 {0x62, 0xF1, 0x78, 0x48, 0x10, 0xC0}, {0x48, 0x49, 0x90}, {0x66, 0xC5, 0xF8, 0x77},
                 {0xD9, 0xD1}, {0x8E, 0xC8}, {0xC6, 0xC8, 0x01}, {0x48, 0xC5, 0xF8, 0x77},
                 {0x0F, 0x0F, 0xC0, 0x00},                        // no such 3DNow! operation
                 {0x62, 0xF1, 0x7C, 0x68, 0x10, 0x00},           // EVEX vector length 3
                 {0x66, 0xF3, 0x0F, 0x78, 0xC3, 0x27, 0xFC}},    // F3 outranks 0x66: no form
                ErrorOpcode);
  ExpectRefused({{0xF0, 0x01, 0xC3}, {0xF0, 0x90}, {0xF0, 0x39, 0x03}, {0xF0, 0xC5, 0xF8, 0x77}},
                ErrorLock);
  ExpectRefused({{0x8D, 0xC0}, {0xFF, 0xD8}, {0x0F, 0x71, 0x00, 0x01}}, ErrorOperand);
  std::vector<uint8_t> tooLong(15, 0x66);
  tooLong.push_back(0x90);
  ExpectRefused({tooLong, {0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x48,
                           0xB8, 1, 2, 3, 4, 5, 6, 7, 8}},
                ErrorLength);
  ExpectRefused({{0xB8, 0x00, 0x00}, {0x0F}, {0xC4, 0xE2}, {}}, ErrorTruncated);
}

// The displacement and immediate are measured before either is read: an instruction past the
// 15-byte maximum is too long however early the input ends, and a refused 3DNow! suffix leaves
// no displacement or immediate behind.
TEST(Decoder, TrailingBytesAreMeasuredBeforeTheyAreRead) {
  std::vector<uint8_t> longStore(7, 0x66);  // mov qword [rax+disp32], imm32: 18 bytes
  longStore.insert(longStore.end(), {0x48, 0xC7, 0x80, 1, 2, 3, 4, 5, 6, 7, 8});
  DecodedInstruction d;
  for (size_t avail = 10; avail <= longStore.size(); ++avail) {
    EXPECT_EQ(Decode(longStore, avail, &d), 0u);
    EXPECT_EQ(d.flags & (Error | ErrorLength | ErrorTruncated), Error | ErrorLength) << avail;
  }
  EXPECT_EQ(Decode({0x0F, 0x0F, 0x40, 0x10, 0x00}, 5, &d), 0u);
  EXPECT_EQ(d.flags & (ErrorOpcode | Disp8 | ImmMask), ErrorOpcode);
  EXPECT_EQ(d.disp.disp32, 0u);
  EXPECT_EQ(d.imm.imm64, 0u);
  EXPECT_EQ(d.len, 0u);
}

}  // namespace
