#include "hook/decoder.h"

#include <cstring>

#include "hook/opcode_table.h"

// One instruction is decoded in steps, each consuming its part of the encoding in order:
//   prefixes (legacy and REX)  ->  opcode (map selection, VEX/EVEX/XOP payload)  ->  ModRM/SIB
//   -> checks that depend on the ModRM (group members, LOCK, operand form)  ->  displacement and
//   immediate  ->  the 3DNow! suffix check.
// Every step returns false once the instruction is refused, with the reason in the flags; the
// fields filled in before that stay in the output.

namespace {

using namespace DecodeFlags;
namespace OT = OpcodeTable;

constexpr unsigned kMaxLength = 15;

// Reads the input front to back. No read goes past the caller's limit or the 15-byte maximum;
// a read that would is refused with ErrorLength (the maximum) ahead of ErrorTruncated (the input).
struct Cursor {
  const uint8_t* code;
  size_t avail;
  unsigned pos;
  uint32_t* flags;

  bool Next(uint8_t* b) {
    if (!Fits(1)) return false;
    *b = code[pos++];
    return true;
  }
  // Byte at pos without consuming it; false (no error) when there is none to read.
  bool Peek(uint8_t* b) const {
    if (pos >= kMaxLength || pos >= avail) return false;
    *b = code[pos];
    return true;
  }
  // Whether n more bytes may be read; records the error when not.
  bool Fits(unsigned n) {
    if (pos + n > kMaxLength) return Fail(ErrorLength);
    if (pos + n > avail) return Fail(ErrorTruncated);
    return true;
  }
  bool Read(void* dst, unsigned n) {
    if (!Fits(n)) return false;
    std::memcpy(dst, code + pos, n);
    pos += n;
    return true;
  }
  bool Fail(uint32_t why) {
    *flags |= Error | why;
    return false;
  }
};

// What the opcode needs after it; the ModRM checks may still change the immediate.
struct Shape {
  bool modrm = false;
  bool forceRegister = false;  // mod is ignored (MOV to and from control/debug registers)
  uint8_t imm = OT::ImmNone;
  bool relative = false;       // the immediate is a branch offset
  bool memOnly = false;
  bool regOnly = false;
  bool invalid = false;
  bool badOperand = false;     // register form where memory is needed, or the reverse
  unsigned dispBytes = 0;
};

bool IsLegacyPrefix(uint8_t b) {
  switch (b) {
    case 0xF0: case 0xF2: case 0xF3: case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64:
    case 0x65: case 0x66: case 0x67:
      return true;
    default:
      return false;
  }
}

bool IsMemoryForm(const Shape& s, const DecodedInstruction& d) {
  return s.modrm && d.modrm_mod != 3 && !s.forceRegister;
}

void ClearRex(DecodedInstruction* d) {
  d->rex = d->rex_w = d->rex_r = d->rex_x = d->rex_b = 0;
  d->flags &= ~PrefixRex;
}

// Consumes the legacy prefixes and REX bytes and then the byte after them, left in *first (the
// opcode, the 0F escape or the first byte of a VEX/EVEX/XOP prefix). A REX followed by a legacy
// prefix is ignored, as the processor does; two REX bytes in a row are refused.
bool ReadPrefixes(Cursor& c, DecodedInstruction* d, uint8_t* first) {
  bool rexLast = false;
  for (;;) {
    uint8_t b;
    if (!c.Next(&b)) return false;
    if (IsLegacyPrefix(b)) {
      if (rexLast) ClearRex(d);
      rexLast = false;
      switch (b) {
        case 0xF2: d->p_rep = b; d->flags = (d->flags & ~PrefixAnyRep) | PrefixRepnz; break;
        case 0xF3: d->p_rep = b; d->flags = (d->flags & ~PrefixAnyRep) | PrefixRep; break;
        case 0xF0: d->p_lock = b; d->flags |= PrefixLock; break;
        case 0x66: d->p_66 = b; d->flags |= Prefix66; break;
        case 0x67: d->p_67 = b; d->flags |= Prefix67; break;
        default: d->p_seg = b; d->flags |= PrefixSegment; break;
      }
      continue;
    }
    if ((b & 0xF0) == 0x40) {
      if (rexLast) return c.Fail(ErrorOpcode);
      rexLast = true;
      d->rex = b;
      d->rex_w = (b >> 3) & 1;
      d->rex_r = (b >> 2) & 1;
      d->rex_x = (b >> 1) & 1;
      d->rex_b = b & 1;
      d->flags |= PrefixRex;
      continue;
    }
    *first = b;
    return true;
  }
}

// Consumes the VEX/EVEX/XOP payload after its first byte (1, 2 or 3 bytes); leaves the cursor on
// the opcode byte.
bool ReadExtendedPrefix(Cursor& c, DecodedInstruction* d, uint8_t kind) {
  uint8_t p0, p1, p2;
  d->vex = kind;
  if (kind == VexKind::Vex2) {
    if (!c.Next(&p0)) return false;
    d->rex_r = !(p0 & 0x80);
    d->vex_vvvv = (~p0 >> 3) & 15;
    d->vex_l = (p0 >> 2) & 1;
    d->vex_pp = p0 & 3;
    d->vex_map = 1;
    return true;
  }
  if (kind == VexKind::Vex3 || kind == VexKind::Xop) {
    if (!c.Next(&p0) || !c.Next(&p1)) return false;
    d->rex_r = !(p0 & 0x80);
    d->rex_x = !(p0 & 0x40);
    d->rex_b = !(p0 & 0x20);
    d->vex_map = p0 & 0x1F;
    d->vex_w = p1 >> 7;
    d->rex_w = d->vex_w;
    d->vex_vvvv = (~p1 >> 3) & 15;
    d->vex_l = (p1 >> 2) & 1;
    d->vex_pp = p1 & 3;
    if (kind == VexKind::Vex3 && (d->vex_map < 1 || d->vex_map > 3)) return c.Fail(ErrorOpcode);
    if (kind == VexKind::Xop && (d->vex_map < 8 || d->vex_map > 10)) return c.Fail(ErrorOpcode);
    return true;
  }
  // EVEX: P0 = R X B R' 0 m m m, P1 = W vvvv 1 pp, P2 = z L'L b V' aaa.
  if (!c.Next(&p0) || !c.Next(&p1) || !c.Next(&p2)) return false;
  d->rex_r = !(p0 & 0x80);
  d->rex_x = !(p0 & 0x40);
  d->rex_b = !(p0 & 0x20);
  d->vex_map = p0 & 7;
  d->vex_w = p1 >> 7;
  d->rex_w = d->vex_w;
  d->vex_vvvv = (~p1 >> 3) & 15;
  d->vex_pp = p1 & 3;
  d->vex_l = (p2 >> 5) & 3;
  d->evex_b = (p2 >> 4) & 1;
  if ((p0 & 0x08) || !(p1 & 0x04)) return c.Fail(ErrorOpcode);
  switch (d->vex_map) {
    case 1: case 2: case 3: case 5: case 6: return true;
    default: return c.Fail(ErrorOpcode);
  }
}

// Shape of a VEX/EVEX/XOP-encoded opcode; consumes nothing.
bool ExtendedShape(Cursor& c, const DecodedInstruction& d, uint8_t op, Shape* s) {
  s->modrm = true;
  switch (d.vex_map) {
    case 1:
      if (d.vex != VexKind::Evex && op == 0x77) {  // VZEROUPPER / VZEROALL
        s->modrm = false;
        return true;
      }
      if (!OT::ValidVexMap1(op) || (d.vex == VexKind::Evex && op == 0x77)) {
        return c.Fail(ErrorOpcode);
      }
      if ((op >= 0x70 && op <= 0x73) || op == 0xC2 || (op >= 0xC4 && op <= 0xC6)) s->imm = OT::ImmB;
      return true;
    case 3:
      s->imm = OT::ImmB;
      return true;
    case 8:
      s->imm = OT::ImmB;
      return true;
    case 10:  // BEXTR / LWPINS / LWPVAL with a 32-bit immediate, sized with the immediates
      if (op != 0x10 && op != 0x12) return c.Fail(ErrorOpcode);
      return true;
    default:  // maps 2, 5, 6, 9: no immediates
      return true;
  }
}

// VEX/EVEX/XOP form: consumes the payload after the first byte and the opcode byte. The opcode is
// recorded as the 0F-escaped form of its map. None of the legacy prefixes that the payload
// replaces (0x66, F2, F3, REX) nor LOCK may come before it.
bool ReadExtendedOpcode(Cursor& c, DecodedInstruction* d, uint8_t kind, uint8_t* op, Shape* s) {
  if (d->p_66 || d->p_rep || d->rex) return c.Fail(ErrorOpcode);
  if (d->p_lock) return c.Fail(ErrorLock);
  if (!ReadExtendedPrefix(c, d, kind)) return false;
  if (!c.Next(op)) return false;
  d->opcode_byte = *op;
  d->opcode = 0x0F;
  switch (d->vex_map) {
    case 1: d->opcode2 = *op; break;
    case 2: d->opcode2 = 0x38; d->opcode3 = *op; break;
    case 3: d->opcode2 = 0x3A; d->opcode3 = *op; break;
    default: d->opcode2 = *op; break;
  }
  return ExtendedShape(c, *d, *op, s);
}

// After the 0F escape: consumes the second opcode byte, and for the 0F 38 / 0F 3A maps the third.
// *op is left on the second byte, which the ModRM checks look at.
bool ReadEscapedOpcode(Cursor& c, DecodedInstruction* d, uint8_t* op, Shape* s) {
  if (!c.Next(op)) return false;
  d->opcode2 = *op;
  d->opcode_byte = *op;
  if (*op == 0x38 || *op == 0x3A) {
    uint8_t op3;
    if (!c.Next(&op3)) return false;
    d->opcode3 = op3;
    d->opcode_byte = op3;
    s->modrm = true;
    if (*op == 0x3A) s->imm = OT::ImmB;
    // The last of F2/F3 outranks 0x66 as the mandatory prefix.
    const uint8_t given = d->p_rep == 0xF2   ? OT::PrefixF2
                          : d->p_rep == 0xF3 ? OT::PrefixF3
                          : d->p_66          ? OT::Prefix66
                                             : OT::PrefixNone;
    const uint8_t allowed = *op == 0x38 ? OT::PrefixesMap0F38(op3) : OT::PrefixesMap0F3A(op3);
    s->invalid = !(allowed & given);
    return true;
  }
  const uint8_t a = OT::TwoByte[*op];
  s->modrm = a & OT::ModRM;
  s->imm = a & OT::ImmKindMask;
  s->invalid = a & OT::Invalid;
  s->memOnly = a & OT::MemOnly;
  s->regOnly = OT::RegisterOnlyTwoByte(*op);
  s->forceRegister = *op >= 0x20 && *op <= 0x23;
  if (*op == 0xB8 && d->p_rep != 0xF3) s->invalid = true;  // JMPE is not in 64-bit mode
  return true;
}

// Picks the opcode map from the byte after the prefixes and consumes the rest of the opcode.
// On return *op is the byte the group checks switch on: the one-byte opcode, the second byte
// after 0F, or the opcode byte of a VEX/EVEX/XOP form.
bool ReadOpcode(Cursor& c, DecodedInstruction* d, uint8_t first, uint8_t* op, Shape* s) {
  *op = first;
  d->opcode = first;
  d->opcode_byte = first;
  // 8F with a reg field other than 0 starts an XOP prefix; otherwise it is POP r/m.
  uint8_t peek = 0;
  const bool xop = first == 0x8F && c.Peek(&peek) && ((peek >> 3) & 7) != 0;
  if (first == 0xC4 || first == 0xC5 || first == 0x62 || xop) {
    if (!ReadExtendedOpcode(c, d, first, op, s)) return false;
  } else if (first == 0x0F) {
    if (!ReadEscapedOpcode(c, d, op, s)) return false;
  } else {
    const uint8_t a = OT::OneByte[first];
    s->modrm = a & OT::ModRM;
    s->imm = a & OT::ImmKindMask;
    s->invalid = a & OT::Invalid;
    s->memOnly = a & OT::MemOnly;
  }
  if (s->invalid) return c.Fail(ErrorOpcode);
  s->relative = s->imm == OT::Rel8 || s->imm == OT::Rel32;
  return true;
}

// Consumes the ModRM byte and the SIB byte when the ModRM asks for one, and works out the size of
// the displacement: 4 with mod 0 and rm 5 (RIP-relative, EIP-relative with 0x67) or with a SIB
// without base, 1 with mod 1, 4 with mod 2. The address-size prefix does not change it in 64-bit
// mode. The displacement itself is read with the immediate, once the instruction is checked.
bool ReadModRM(Cursor& c, DecodedInstruction* d, Shape* s) {
  if (!s->modrm) return true;
  uint8_t m;
  if (!c.Next(&m)) return false;
  d->modrm = m;
  d->modrm_mod = m >> 6;
  d->modrm_reg = (m >> 3) & 7;
  d->modrm_rm = m & 7;
  d->flags |= HasModRM;
  if (!IsMemoryForm(*s, *d)) return true;
  if (d->modrm_rm == 4) {
    uint8_t sib;
    if (!c.Next(&sib)) return false;
    d->sib = sib;
    d->sib_scale = sib >> 6;
    d->sib_index = (sib >> 3) & 7;
    d->sib_base = sib & 7;
    d->flags |= HasSib;
    if (d->modrm_mod == 0 && d->sib_base == 5) s->dispBytes = 4;
  }
  if (d->modrm_mod == 0 && d->modrm_rm == 5) s->dispBytes = 4;  // RIP-relative
  if (d->modrm_mod == 1) s->dispBytes = 1;
  if (d->modrm_mod == 2) s->dispBytes = 4;
  return true;
}

// One-byte opcodes whose ModRM reg field changes the instruction or its immediate.
bool CheckOneByteGroup(Cursor& c, const DecodedInstruction& d, uint8_t op, Shape* s) {
  const uint8_t reg = d.modrm_reg;
  const bool isMem = IsMemoryForm(*s, d);
  switch (op) {
    case 0x8F:  // POP r/m; other reg values were taken as XOP
      return true;
    case 0xC6: case 0xC7:
      if (reg == 0) {
        s->imm = op == 0xC6 ? OT::ImmB : OT::ImmZ;
      } else if (d.modrm == 0xF8 && op == 0xC6) {  // XABORT
        s->imm = OT::ImmB;
      } else if (d.modrm == 0xF8) {  // XBEGIN
        s->imm = (d.p_66 && !d.rex_w) ? OT::ImmW : OT::Rel32;
        s->relative = true;
      } else {
        return c.Fail(ErrorOpcode);
      }
      return true;
    case 0xF6: case 0xF7:
      if (reg <= 1) s->imm = op == 0xF6 ? OT::ImmB : OT::ImmZ;  // TEST
      return true;
    case 0xFE:
      return reg > 1 ? c.Fail(ErrorOpcode) : true;
    case 0xFF:
      if (reg == 7) return c.Fail(ErrorOpcode);
      if ((reg == 3 || reg == 5) && !isMem) s->badOperand = true;  // far CALL/JMP take memory
      return true;
    case 0x8C: case 0x8E:  // six segment registers; CS cannot be loaded
      return (reg > 5 || (op == 0x8E && reg == 1)) ? c.Fail(ErrorOpcode) : true;
    default:
      if (op >= 0xD8 && op <= 0xDF &&
          (isMem ? !OT::ValidX87Memory(op, reg) : !OT::ValidX87Register(op, d.modrm))) {
        return c.Fail(ErrorOpcode);
      }
      return true;
  }
}

// 0F-escaped opcodes (without VEX) whose ModRM reg field or mandatory prefix changes the
// instruction, its immediate or the operand form it needs.
bool CheckTwoByteGroup(Cursor& c, const DecodedInstruction& d, uint8_t op, Shape* s) {
  const uint8_t reg = d.modrm_reg;
  const bool isMem = IsMemoryForm(*s, d);
  switch (op) {
    case 0x78:  // VMREAD, or SSE4a EXTRQ/INSERTQ with two byte immediates
      if (d.p_rep == 0xF3) return c.Fail(ErrorOpcode);  // F3 outranks 0x66 and has no form here
      if (d.p_66 || d.p_rep == 0xF2) {
        if (d.p_66 && d.p_rep != 0xF2 && reg != 0) return c.Fail(ErrorOpcode);
        s->imm = OT::ImmW;
        s->badOperand = s->badOperand || isMem;
      }
      return true;
    case 0x79:
      if (d.p_rep == 0xF3) return c.Fail(ErrorOpcode);
      if (d.p_66 || d.p_rep == 0xF2) s->badOperand = s->badOperand || isMem;
      return true;
    case 0xBA:
      return reg < 4 ? c.Fail(ErrorOpcode) : true;
    case 0xC7:
      if (reg == 1 && !isMem) s->badOperand = true;
      return true;
    case 0x00:
      return reg >= 6 ? c.Fail(ErrorOpcode) : true;
    default:
      return true;
  }
}

// The checks that need the ModRM, in this order: the EVEX vector length, the group members (which
// may also change the immediate), LOCK on an instruction that takes it, and the operand form.
// Consumes nothing.
bool CheckWithModRM(Cursor& c, const DecodedInstruction& d, uint8_t op, Shape* s) {
  // EVEX vector length 3 is reserved, except as rounding control of a register form.
  if (d.vex == VexKind::Evex && d.vex_l == 3 && !(d.evex_b && d.modrm_mod == 3)) {
    return c.Fail(ErrorOpcode);
  }
  const bool isMem = IsMemoryForm(*s, d);
  s->badOperand = (s->memOnly && !isMem) || (s->regOnly && isMem);
  if (d.vex == VexKind::None) {
    if (d.opcode != 0x0F ? !CheckOneByteGroup(c, d, op, s) : !CheckTwoByteGroup(c, d, op, s)) {
      return false;
    }
  }
  if (d.p_lock) {
    const bool lockable = isMem && d.vex == VexKind::None &&
                          (d.opcode == 0x0F ? (d.opcode2 != 0x38 && d.opcode2 != 0x3A &&
                                               OT::LockableTwoByte(op, d.modrm_reg))
                                            : OT::LockableOneByte(op, d.modrm_reg));
    if (!lockable) return c.Fail(ErrorLock);
  }
  if (s->badOperand) return c.Fail(ErrorOperand);
  return true;
}

// Immediate size in bytes. REX.W outranks 0x66: ImmZ is 16 bits with 0x66 alone, else 32; ImmV is
// 64 bits with REX.W, 16 with 0x66, else 32. A moffs address is 32 bits with 0x67, else 64,
// whatever the operand size.
unsigned ImmBytes(uint8_t kind, const DecodedInstruction& d) {
  const bool opsize16 = d.p_66 && !d.rex_w;
  switch (kind) {
    case OT::ImmB: case OT::Rel8: return 1;
    case OT::ImmW: return 2;
    case OT::ImmZ: return opsize16 ? 2 : 4;
    case OT::ImmV: return d.rex_w ? 8 : (d.p_66 ? 2 : 4);
    case OT::ImmMoffs: return d.p_67 ? 4 : 8;
    case OT::ImmEnter: return 3;
    case OT::Rel32: return 4;
    default: return 0;
  }
}

uint32_t ImmFlags(uint8_t kind, unsigned bytes) {
  if (kind == OT::ImmEnter) return Imm16 | Imm8;  // size bits still add up to 3 bytes
  switch (bytes) {
    case 1: return Imm8;
    case 2: return Imm16;
    case 4: return Imm32;
    case 8: return Imm64;
    default: return 0;
  }
}

// Consumes the displacement and then the immediate. Both are measured against the limits before
// either is read, so an instruction past the 15-byte maximum is refused as too long even when the
// input also ends early.
bool ReadDisplacementAndImmediate(Cursor& c, DecodedInstruction* d, const Shape& s) {
  unsigned immBytes;
  uint32_t immFlags;
  bool relative = s.relative;
  if (d->vex == VexKind::Xop && d->vex_map == 10) {
    immBytes = 4;  // BEXTR / LWPINS / LWPVAL imm32
    immFlags = Imm32;
    relative = false;
  } else {
    immBytes = ImmBytes(s.imm, *d);
    immFlags = ImmFlags(s.imm, immBytes);
  }
  if (!c.Fits(s.dispBytes + immBytes)) return false;
  if (s.dispBytes) {
    if (!c.Read(d->disp.bytes, s.dispBytes)) return false;
    d->flags |= s.dispBytes == 1 ? Disp8 : Disp32;
  }
  if (immBytes) {
    if (!c.Read(d->imm.bytes, immBytes)) return false;
    d->flags |= immFlags;
    if (relative) d->flags |= Relative;
  }
  return true;
}

// 3DNow! (0F 0F): the trailing immediate byte selects the operation; an unknown one is refused
// without its displacement and immediate.
bool Check3DNowSuffix(Cursor& c, DecodedInstruction* d) {
  const bool is3DNow = d->vex == VexKind::None && d->opcode == 0x0F && d->opcode2 == 0x0F;
  if (!is3DNow || OT::Valid3DNow(d->imm.imm8)) return true;
  d->imm.imm64 = 0;
  d->disp.disp32 = 0;
  d->flags &= ~(ImmMask | Disp8 | Disp32);
  return c.Fail(ErrorOpcode);
}

}  // namespace

unsigned DecodeInstruction(const void* code, size_t avail, DecodedInstruction* d) {
  std::memset(d, 0, sizeof *d);
  Cursor c{static_cast<const uint8_t*>(code), avail, 0, &d->flags};
  Shape s;
  uint8_t first = 0, op = 0;
  const bool decoded = ReadPrefixes(c, d, &first) &&
                       ReadOpcode(c, d, first, &op, &s) &&
                       ReadModRM(c, d, &s) &&
                       CheckWithModRM(c, *d, op, &s) &&
                       ReadDisplacementAndImmediate(c, d, s) &&
                       Check3DNowSuffix(c, d);
  if (!decoded) return 0;
  d->len = static_cast<uint8_t>(c.pos);
  return c.pos;
}
