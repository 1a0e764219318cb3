// Per-opcode attributes of the x86-64 encoding, as the length decoder needs them.
#pragma once

#include <cstdint>

namespace OpcodeTable {

// Immediate kinds, low four bits of an attribute byte.
enum : uint8_t {
  ImmNone = 0,
  ImmB = 1,      // 8 bits
  ImmW = 2,      // 16 bits
  ImmZ = 3,      // 16 with operand-size prefix, else 32
  ImmV = 4,      // 16 / 32 / 64 with REX.W (mov reg, imm)
  ImmMoffs = 5,  // 64, or 32 with address-size prefix
  ImmEnter = 6,  // 16 + 8
  Rel8 = 7,
  Rel32 = 8,     // near branches ignore the operand-size prefix in 64-bit mode
  ImmKindMask = 0x0F,
};

// Attribute bits.
enum : uint8_t {
  ModRM = 0x10,
  Invalid = 0x20,     // not an instruction in 64-bit mode
  Group = 0x40,       // the ModRM reg field decides: see the decoder
  MemOnly = 0x80,     // the ModRM must address memory
};

extern const uint8_t OneByte[256];
extern const uint8_t TwoByte[256];

// Bitmaps, bit n of word n / 32.
bool LockableOneByte(uint8_t op, uint8_t reg);
bool LockableTwoByte(uint8_t op, uint8_t reg);
bool RegisterOnlyTwoByte(uint8_t op);
// Mandatory prefixes with which a three-byte opcode exists: bits PrefixNone, Prefix66,
// PrefixF3, PrefixF2; 0 when it does not exist at all.
enum : uint8_t { PrefixNone = 1, Prefix66 = 2, PrefixF3 = 4, PrefixF2 = 8 };
uint8_t PrefixesMap0F38(uint8_t op);
uint8_t PrefixesMap0F3A(uint8_t op);
bool ValidVexMap1(uint8_t op);
bool ValidX87Register(uint8_t op, uint8_t modrm);  // op D8..DF, ModRM with mod 3
bool ValidX87Memory(uint8_t op, uint8_t reg);      // op D8..DF, ModRM addressing memory
bool Valid3DNow(uint8_t suffix);

}  // namespace OpcodeTable
