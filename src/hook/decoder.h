// x86-64 instruction-length decoder. Portable: no windows.h, shared with the native build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace DecodeFlags {
constexpr uint32_t HasModRM = 0x1;
constexpr uint32_t HasSib = 0x2;
constexpr uint32_t Imm8 = 0x4;
constexpr uint32_t Imm16 = 0x8;
constexpr uint32_t Imm32 = 0x10;
constexpr uint32_t Imm64 = 0x20;
constexpr uint32_t ImmMask = 0x3C;  // (flags & ImmMask) >> 2 is the immediate's size in bytes
constexpr uint32_t Disp8 = 0x40;
constexpr uint32_t Disp16 = 0x80;
constexpr uint32_t Disp32 = 0x100;
constexpr uint32_t Relative = 0x200;  // the immediate is a branch offset
constexpr uint32_t Error = 0x1000;
constexpr uint32_t ErrorOpcode = 0x2000;
constexpr uint32_t ErrorLength = 0x4000;  // longer than 15 bytes
constexpr uint32_t ErrorLock = 0x8000;
constexpr uint32_t ErrorOperand = 0x10000;
constexpr uint32_t ErrorTruncated = 0x20000;  // needs more bytes than the caller allowed
constexpr uint32_t PrefixRepnz = 0x1000000;   // F2
constexpr uint32_t PrefixRep = 0x2000000;     // F3
constexpr uint32_t PrefixAnyRep = 0x3000000;
constexpr uint32_t Prefix66 = 0x4000000;
constexpr uint32_t Prefix67 = 0x8000000;
constexpr uint32_t PrefixLock = 0x10000000;
constexpr uint32_t PrefixSegment = 0x20000000;
constexpr uint32_t PrefixRex = 0x40000000;
}  // namespace DecodeFlags

// Extended encodings, in DecodedInstruction::vex.
namespace VexKind {
constexpr uint8_t None = 0;
constexpr uint8_t Vex2 = 0xC5;
constexpr uint8_t Vex3 = 0xC4;
constexpr uint8_t Evex = 0x62;
constexpr uint8_t Xop = 0x8F;
}  // namespace VexKind

struct DecodedInstruction {
  uint8_t len;
  uint8_t p_rep;   // F2 or F3, the last one given
  uint8_t p_lock;  // F0
  uint8_t p_seg;   // the last segment prefix
  uint8_t p_66;
  uint8_t p_67;
  uint8_t rex;
  uint8_t rex_w, rex_r, rex_x, rex_b;
  uint8_t opcode;   // 0x0F for every escaped and VEX/EVEX/XOP form
  uint8_t opcode2;  // second byte; 0x38/0x3A for three-byte maps
  uint8_t modrm, modrm_mod, modrm_reg, modrm_rm;
  uint8_t sib, sib_scale, sib_index, sib_base;
  union {
    uint8_t imm8;
    uint16_t imm16;
    uint32_t imm32;
    uint64_t imm64;
    uint8_t bytes[8];
  } imm;
  union {
    uint8_t disp8;
    uint16_t disp16;
    uint32_t disp32;
    uint8_t bytes[4];
  } disp;
  uint32_t flags;
  // Beyond the one- and two-byte maps.
  uint8_t opcode3;   // last opcode byte of the 0F 38 / 0F 3A maps
  uint8_t vex;       // VexKind
  uint8_t vex_map;   // 1 = 0F, 2 = 0F 38, 3 = 0F 3A, 5/6 EVEX maps, 8..10 XOP maps
  uint8_t vex_w, vex_l, vex_pp, vex_vvvv;
  uint8_t evex_b;       // broadcast / rounding control
  uint8_t opcode_byte;  // the opcode byte within its map (equals opcode, opcode2 or opcode3)
};

// Decodes one instruction of 64-bit code from at most `avail` bytes at `code`; never reads past
// them. Returns the length, or 0 with DecodeFlags::Error set in out->flags (and out->len 0).
unsigned DecodeInstruction(const void* code, size_t avail, DecodedInstruction* out);

inline unsigned ImmediateSize(const DecodedInstruction& in) {
  return (in.flags & DecodeFlags::ImmMask) >> 2;
}
