#include "hook/opcode_table.h"

#include <initializer_list>

namespace OpcodeTable {
namespace {

constexpr uint8_t M = ModRM;
constexpr uint8_t X = Invalid;
constexpr uint8_t G = Group | ModRM;
constexpr uint8_t IB = ImmB, IW = ImmW, IZ = ImmZ, IV = ImmV, MO = ImmMoffs, EN = ImmEnter;
constexpr uint8_t R8 = Rel8, RZ = Rel32;

struct Bitmap {
  uint32_t words[8] = {};
  constexpr bool Has(uint8_t b) const { return (words[b >> 5] >> (b & 31)) & 1u; }
};

constexpr Bitmap MakeBitmap(std::initializer_list<uint8_t> singles,
                            std::initializer_list<std::initializer_list<uint8_t>> ranges = {}) {
  Bitmap m{};
  for (uint8_t b : singles) m.words[b >> 5] |= 1u << (b & 31);
  for (auto r : ranges) {
    const uint8_t* p = r.begin();
    for (unsigned b = p[0]; b <= p[1]; ++b) m.words[b >> 5] |= 1u << (b & 31);
  }
  return m;
}

}  // namespace

// 26 2E 36 3E 64 65 66 67 F0 F2 F3 and 40..4F are prefixes, 0F an escape; C4 C5 62 start VEX/EVEX;
// those entries are never consulted.
const uint8_t OneByte[256] = {
    /*00*/ M, M, M, M, IB, IZ, X, X, M, M, M, M, IB, IZ, X, 0,
    /*10*/ M, M, M, M, IB, IZ, X, X, M, M, M, M, IB, IZ, X, X,
    /*20*/ M, M, M, M, IB, IZ, 0, X, M, M, M, M, IB, IZ, 0, X,
    /*30*/ M, M, M, M, IB, IZ, 0, X, M, M, M, M, IB, IZ, 0, X,
    /*40*/ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    /*50*/ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    /*60*/ X, X, 0, M, 0, 0, 0, 0, IZ, M | IZ, IB, M | IB, 0, 0, 0, 0,
    /*70*/ R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8, R8,
    /*80*/ M | IB, M | IZ, X, M | IB, M, M, M, M, M, M, M, M, M, M | MemOnly, M, G,
    /*90*/ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, X, 0, 0, 0, 0, 0,
    /*A0*/ MO, MO, MO, MO, 0, 0, 0, 0, IB, IZ, 0, 0, 0, 0, 0, 0,
    /*B0*/ IB, IB, IB, IB, IB, IB, IB, IB, IV, IV, IV, IV, IV, IV, IV, IV,
    /*C0*/ M | IB, M | IB, IW, 0, 0, 0, G, G, EN, 0, IW, 0, 0, IB, X, 0,
    /*D0*/ M, M, M, M, X, X, X, 0, M, M, M, M, M, M, M, M,
    /*E0*/ R8, R8, R8, R8, IB, IB, IB, IB, RZ, RZ, X, R8, 0, 0, 0, 0,
    /*F0*/ 0, 0, 0, 0, 0, 0, G, G, 0, 0, 0, 0, 0, 0, G, G,
};

// 38 and 3A escape to the three-byte maps.
const uint8_t TwoByte[256] = {
    /*00*/ G, M, M, M, X, 0, 0, 0, 0, 0, X, 0, X, M, 0, M | IB,
    /*10*/ M, M, M, M | MemOnly, M, M, M, M | MemOnly, M, M, M, M, M, M, M, M,
    /*20*/ M, M, M, M, X, X, X, X, M, M, M, M | MemOnly, M, M, M, M,
    /*30*/ 0, 0, 0, 0, 0, 0, X, 0, 0, X, 0, X, X, X, X, X,
    /*40*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
    /*50*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
    /*60*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
    /*70*/ M | IB, M | IB, M | IB, M | IB, M, M, M, 0, G, G, X, X, M, M, M, M,
    /*80*/ RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ, RZ,
    /*90*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
    /*A0*/ 0, 0, 0, M, M | IB, M, X, X, 0, 0, 0, M, M | IB, M, G, M,
    /*B0*/ M, M, M | MemOnly, M, M | MemOnly, M | MemOnly, M, M, G, M, G | IB, M, M, M, M, M,
    /*C0*/ M, M, M | IB, M | MemOnly, M | IB, M | IB, M | IB, G, 0, 0, 0, 0, 0, 0, 0, 0,
    /*D0*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
    /*E0*/ M, M, M, M, M, M, M, M | MemOnly, M, M, M, M, M, M, M, M,
    /*F0*/ M, M, M, M, M, M, M, M, M, M, M, M, M, M, M, M,
};

namespace {
constexpr Bitmap kLockOneByte = MakeBitmap({0x00, 0x01, 0x08, 0x09, 0x10, 0x11, 0x18, 0x19, 0x20,
                                            0x21, 0x28, 0x29, 0x30, 0x31, 0x86, 0x87});
constexpr Bitmap kLockTwoByte = MakeBitmap({0xAB, 0xB3, 0xBB, 0xB0, 0xB1, 0xC0, 0xC1});
constexpr Bitmap kRegOnlyTwoByte = MakeBitmap({0x50, 0x71, 0x72, 0x73, 0xC5, 0xD7, 0xF7});
struct PrefixTable {
  uint8_t masks[256] = {};
};

constexpr PrefixTable MakePrefixTable(
    std::initializer_list<std::initializer_list<uint8_t>> entries) {  // {first, last, mask}
  PrefixTable t{};
  for (auto e : entries) {
    const uint8_t* p = e.begin();
    for (unsigned b = p[0]; b <= p[1]; ++b) t.masks[b] = p[2];
  }
  return t;
}

constexpr uint8_t N = PrefixNone, P = Prefix66, S = PrefixF3, D = PrefixF2;
constexpr PrefixTable k0F38 = MakePrefixTable({
    {0x00, 0x0B, N | P}, {0x10, 0x10, P}, {0x14, 0x15, P}, {0x17, 0x17, P}, {0x1C, 0x1E, N | P},
    {0x20, 0x25, P}, {0x28, 0x2B, P}, {0x30, 0x35, P}, {0x37, 0x41, P}, {0x80, 0x82, P},
    {0xC8, 0xCD, N}, {0xCF, 0xCF, P}, {0xD8, 0xD8, S}, {0xDA, 0xDA, N | P | S | D},
    {0xDB, 0xDB, P}, {0xDC, 0xDF, P | S}, {0xF0, 0xF1, N | P | D}, {0xF5, 0xF5, N | P},
    {0xF6, 0xF6, N | P | S}, {0xF8, 0xF8, P | S | D}, {0xF9, 0xF9, N}, {0xFA, 0xFB, S}});
constexpr PrefixTable k0F3A = MakePrefixTable({
    {0x08, 0x0E, P}, {0x0F, 0x0F, N | P}, {0x14, 0x17, P}, {0x20, 0x22, P}, {0x40, 0x42, P},
    {0x44, 0x44, P}, {0x60, 0x63, P}, {0xCC, 0xCC, N}, {0xCE, 0xCF, P}, {0xDF, 0xDF, P}});
constexpr Bitmap kValidVexMap1 =
    MakeBitmap({0x41, 0x42, 0x4A, 0x4B, 0x98, 0x99, 0xAE, 0xC2},
               {{0x10, 0x17}, {0x28, 0x2F}, {0x44, 0x47}, {0x50, 0x7F}, {0x90, 0x93},
                {0xC4, 0xC6}, {0xD0, 0xFE}});
// x87 register forms (second byte C0..FF) that are not instructions, per escape D8..DF.
constexpr Bitmap kX87Invalid[8] = {
    MakeBitmap({}),                                                           // D8
    MakeBitmap({0xE2, 0xE3, 0xE6, 0xE7, 0xEF}, {{0xD1, 0xD7}}),  // D9 (D8..DF: FSTPNCE)
    MakeBitmap({}, {{0xE0, 0xE8}, {0xEA, 0xFF}}),                              // DA
    MakeBitmap({0xE5, 0xE6, 0xE7}, {{0xF8, 0xFF}}),                            // DB
    MakeBitmap({}),                                                           // DC
    MakeBitmap({}, {{0xF0, 0xFF}}),                                           // DD
    MakeBitmap({0xD8}, {{0xDA, 0xDF}}),                                        // DE
    MakeBitmap({}, {{0xE1, 0xE7}, {0xF8, 0xFF}}),                              // DF
};
constexpr Bitmap k3DNow = MakeBitmap({0x0C, 0x0D, 0x1C, 0x1D, 0x8A, 0x8E, 0x90, 0x94, 0x96, 0x97,
                                      0x9A, 0x9E, 0xA0, 0xA4, 0xA6, 0xA7, 0xAA, 0xAE, 0xB0, 0xB4,
                                      0xB6, 0xB7, 0xBB, 0xBF});
}  // namespace

bool LockableOneByte(uint8_t op, uint8_t reg) {
  if (kLockOneByte.Has(op)) return true;
  switch (op) {
    case 0x80: case 0x81: case 0x83: return reg != 7;  // not CMP
    case 0xF6: case 0xF7: return reg == 2 || reg == 3;  // NOT, NEG
    case 0xFE: case 0xFF: return reg <= 1;              // INC, DEC
    default: return false;
  }
}

bool LockableTwoByte(uint8_t op, uint8_t reg) {
  if (kLockTwoByte.Has(op)) return true;
  if (op == 0xBA) return reg >= 5;  // BTS, BTR, BTC
  if (op == 0xC7) return reg == 1;  // CMPXCHG8B/16B
  return false;
}

bool RegisterOnlyTwoByte(uint8_t op) { return kRegOnlyTwoByte.Has(op); }
uint8_t PrefixesMap0F38(uint8_t op) { return k0F38.masks[op]; }
uint8_t PrefixesMap0F3A(uint8_t op) { return k0F3A.masks[op]; }
bool ValidVexMap1(uint8_t op) { return kValidVexMap1.Has(op); }
bool ValidX87Register(uint8_t op, uint8_t modrm) { return !kX87Invalid[op & 7].Has(modrm); }

bool ValidX87Memory(uint8_t op, uint8_t reg) {
  switch (op) {
    case 0xD9: return reg != 1;
    case 0xDB: return reg != 4 && reg != 6;
    case 0xDD: return reg != 5;
    default: return true;
  }
}

bool Valid3DNow(uint8_t suffix) { return k3DNow.Has(suffix); }

}  // namespace OpcodeTable
