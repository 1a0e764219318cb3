#include "hook/decoder.h"

#include <cstring>

#include "hook/opcode_table.h"

namespace {

using namespace DecodeFlags;
namespace OT = OpcodeTable;

constexpr unsigned kMaxLength = 15;

struct Cursor {
  const uint8_t* code;
  size_t avail;
  unsigned pos;
  uint32_t* flags;

  // Byte at pos, or false with the error recorded when it lies beyond the limit or the input.
  bool Next(uint8_t* b) {
    if (pos >= kMaxLength) return Fail(ErrorLength);
    if (pos >= avail) return Fail(ErrorTruncated);
    *b = code[pos++];
    return true;
  }
  bool Peek(uint8_t* b) const {
    if (pos >= kMaxLength || pos >= avail) return false;
    *b = code[pos];
    return true;
  }
  bool Fail(uint32_t why) {
    *flags |= Error | why;
    return false;
  }
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

void ClearRex(DecodedInstruction* d) {
  d->rex = d->rex_w = d->rex_r = d->rex_x = d->rex_b = 0;
  d->flags &= ~PrefixRex;
}

// What the opcode needs after it.
struct Shape {
  bool modrm = false;
  bool forceRegister = false;  // mod is ignored (MOV to and from control/debug registers)
  uint8_t imm = OT::ImmNone;
  bool memOnly = false;
  bool regOnly = false;
  bool invalid = false;
};

// Immediate size in bytes, or 0.
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

// Reads the VEX/EVEX/XOP payload after its first byte; leaves the cursor on the opcode byte.
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

// Shape of a VEX/EVEX/XOP-encoded opcode.
bool ExtendedShape(Cursor& c, const DecodedInstruction& d, uint8_t op, Shape* s) {
  s->modrm = true;
  switch (d.vex_map) {
    case 1:
      if (d.vex != VexKind::Evex && op == 0x77) {  // VZEROUPPER / VZEROALL
        s->modrm = false;
        return true;
      }
      if (!OT::ValidVexMap1(op) || (d.vex == VexKind::Evex && op == 0x77)) return c.Fail(ErrorOpcode);
      if ((op >= 0x70 && op <= 0x73) || op == 0xC2 || (op >= 0xC4 && op <= 0xC6)) s->imm = OT::ImmB;
      return true;
    case 3:
      s->imm = OT::ImmB;
      return true;
    case 8:
      s->imm = OT::ImmB;
      return true;
    case 10:  // BEXTR / LWPINS / LWPVAL with a 32-bit immediate, sized by the caller
      if (op != 0x10 && op != 0x12) return c.Fail(ErrorOpcode);
      return true;
    default:  // maps 2, 5, 6, 9: no immediates
      return true;
  }
}

}  // namespace

unsigned DecodeInstruction(const void* codePtr, size_t avail, DecodedInstruction* d) {
  std::memset(d, 0, sizeof *d);
  Cursor c{static_cast<const uint8_t*>(codePtr), avail, 0, &d->flags};
  uint8_t b = 0;

  // Legacy prefixes and REX. A REX followed by a legacy prefix is ignored, as the processor does.
  bool rexLast = false;
  for (;;) {
    if (!c.Next(&b)) return 0;
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
      if (rexLast) {
        c.Fail(ErrorOpcode);
        return 0;
      }
      rexLast = true;
      d->rex = b;
      d->rex_w = (b >> 3) & 1;
      d->rex_r = (b >> 2) & 1;
      d->rex_x = (b >> 1) & 1;
      d->rex_b = b & 1;
      d->flags |= PrefixRex;
      continue;
    }
    break;
  }

  Shape s;
  uint8_t op = b;
  d->opcode = b;
  d->opcode_byte = b;

  // 8F with a reg field other than 0 starts an XOP prefix.
  uint8_t peek = 0;
  const bool xop = (b == 0x8F && c.Peek(&peek) && ((peek >> 3) & 7) != 0);

  if (b == 0xC4 || b == 0xC5 || b == 0x62 || xop) {
    if (d->p_66 || d->p_rep || d->rex) {
      c.Fail(ErrorOpcode);
      return 0;
    }
    if (d->p_lock) {
      c.Fail(ErrorLock);
      return 0;
    }
    if (!ReadExtendedPrefix(c, d, b)) return 0;
    if (!c.Next(&op)) return 0;
    d->opcode_byte = op;
    d->opcode = 0x0F;
    switch (d->vex_map) {
      case 1: d->opcode2 = op; break;
      case 2: d->opcode2 = 0x38; d->opcode3 = op; break;
      case 3: d->opcode2 = 0x3A; d->opcode3 = op; break;
      default: d->opcode2 = op; break;
    }
    if (!ExtendedShape(c, *d, op, &s)) return 0;
  } else if (b == 0x0F) {
    if (!c.Next(&op)) return 0;
    d->opcode2 = op;
    d->opcode_byte = op;
    if (op == 0x38 || op == 0x3A) {
      uint8_t op3;
      if (!c.Next(&op3)) return 0;
      d->opcode3 = op3;
      d->opcode_byte = op3;
      s.modrm = true;
      if (op == 0x3A) s.imm = OT::ImmB;
      // The last of F2/F3 outranks 0x66 as the mandatory prefix.
      const uint8_t given = d->p_rep == 0xF2   ? OT::PrefixF2
                            : d->p_rep == 0xF3 ? OT::PrefixF3
                            : d->p_66          ? OT::Prefix66
                                               : OT::PrefixNone;
      const uint8_t allowed = op == 0x38 ? OT::PrefixesMap0F38(op3) : OT::PrefixesMap0F3A(op3);
      s.invalid = !(allowed & given);
    } else {
      const uint8_t a = OT::TwoByte[op];
      s.modrm = a & OT::ModRM;
      s.imm = a & OT::ImmKindMask;
      s.invalid = a & OT::Invalid;
      s.memOnly = a & OT::MemOnly;
      s.regOnly = OT::RegisterOnlyTwoByte(op);
      s.forceRegister = op >= 0x20 && op <= 0x23;
      if (op == 0xB8 && d->p_rep != 0xF3) s.invalid = true;  // JMPE is not in 64-bit mode
    }
  } else {
    const uint8_t a = OT::OneByte[op];
    s.modrm = a & OT::ModRM;
    s.imm = a & OT::ImmKindMask;
    s.invalid = a & OT::Invalid;
    s.memOnly = a & OT::MemOnly;
  }

  if (s.invalid) {
    c.Fail(ErrorOpcode);
    return 0;
  }

  unsigned dispBytes = 0;
  if (s.modrm) {
    uint8_t m;
    if (!c.Next(&m)) return 0;
    d->modrm = m;
    d->modrm_mod = m >> 6;
    d->modrm_reg = (m >> 3) & 7;
    d->modrm_rm = m & 7;
    d->flags |= HasModRM;
    if (d->modrm_mod != 3 && !s.forceRegister) {
      if (d->modrm_rm == 4) {
        uint8_t sib;
        if (!c.Next(&sib)) return 0;
        d->sib = sib;
        d->sib_scale = sib >> 6;
        d->sib_index = (sib >> 3) & 7;
        d->sib_base = sib & 7;
        d->flags |= HasSib;
        if (d->modrm_mod == 0 && d->sib_base == 5) dispBytes = 4;
      }
      if (d->modrm_mod == 0 && d->modrm_rm == 5) dispBytes = 4;  // RIP-relative
      if (d->modrm_mod == 1) dispBytes = 1;
      if (d->modrm_mod == 2) dispBytes = 4;
    }
  }

  const uint8_t reg = d->modrm_reg;
  // EVEX vector length 3 is reserved, except as rounding control of a register form.
  if (d->vex == VexKind::Evex && d->vex_l == 3 && !(d->evex_b && d->modrm_mod == 3)) {
    c.Fail(ErrorOpcode);
    return 0;
  }
  const bool isMem = s.modrm && d->modrm_mod != 3 && !s.forceRegister;
  bool badOperand = (s.memOnly && !isMem) || (s.regOnly && isMem);
  bool relative = s.imm == OT::Rel8 || s.imm == OT::Rel32;

  // Groups whose reg field changes the instruction.
  if (d->vex == VexKind::None && d->opcode != 0x0F) {
    switch (op) {
      case 0x8F:  // POP r/m; other reg values were taken as XOP above
        break;
      case 0xC6: case 0xC7:
        if (reg == 0) {
          s.imm = op == 0xC6 ? OT::ImmB : OT::ImmZ;
        } else if (d->modrm == 0xF8 && op == 0xC6) {  // XABORT
          s.imm = OT::ImmB;
        } else if (d->modrm == 0xF8) {  // XBEGIN
          s.imm = (d->p_66 && !d->rex_w) ? OT::ImmW : OT::Rel32;
          relative = true;
        } else {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
      case 0xF6: case 0xF7:
        if (reg <= 1) s.imm = op == 0xF6 ? OT::ImmB : OT::ImmZ;  // TEST
        break;
      case 0xFE:
        if (reg > 1) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
      case 0xFF:
        if (reg == 7) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        if ((reg == 3 || reg == 5) && !isMem) badOperand = true;  // far CALL/JMP take memory
        break;
      case 0x8C: case 0x8E:  // six segment registers; CS cannot be loaded
        if (reg > 5 || (op == 0x8E && reg == 1)) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
      default:
        if (op >= 0xD8 && op <= 0xDF &&
            (isMem ? !OT::ValidX87Memory(op, reg) : !OT::ValidX87Register(op, d->modrm))) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
    }
  } else if (d->vex == VexKind::None) {
    switch (op) {
      case 0x78:  // VMREAD, or SSE4a EXTRQ/INSERTQ with two byte immediates
        if (d->p_rep == 0xF3) {  // F3 outranks 0x66 and has no form here
          c.Fail(ErrorOpcode);
          return 0;
        }
        if (d->p_66 || d->p_rep == 0xF2) {
          if (d->p_66 && d->p_rep != 0xF2 && reg != 0) {
            c.Fail(ErrorOpcode);
            return 0;
          }
          s.imm = OT::ImmW;
          badOperand = badOperand || isMem;
        }
        break;
      case 0x79:
        if (d->p_rep == 0xF3) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        if (d->p_66 || d->p_rep == 0xF2) badOperand = badOperand || isMem;
        break;
      case 0xBA:
        if (reg < 4) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
      case 0xC7:
        if (reg == 1 && !isMem) badOperand = true;
        break;
      case 0x00:
        if (reg >= 6) {
          c.Fail(ErrorOpcode);
          return 0;
        }
        break;
      default:
        break;
    }
  }

  if (d->p_lock) {
    const bool lockable = isMem && d->vex == VexKind::None &&
                          (d->opcode == 0x0F ? (d->opcode2 != 0x38 && d->opcode2 != 0x3A &&
                                                OT::LockableTwoByte(op, reg))
                                             : OT::LockableOneByte(op, reg));
    if (!lockable) {
      c.Fail(ErrorLock);
      return 0;
    }
  }
  if (badOperand) {
    c.Fail(ErrorOperand);
    return 0;
  }

  unsigned immBytes;
  uint32_t immFlags;
  if (d->vex == VexKind::Xop && d->vex_map == 10) {
    immBytes = 4;  // BEXTR / LWPINS / LWPVAL imm32
    immFlags = Imm32;
    relative = false;
  } else {
    immBytes = ImmBytes(s.imm, *d);
    immFlags = ImmFlags(s.imm, immBytes);
  }

  const unsigned total = c.pos + dispBytes + immBytes;
  if (total > kMaxLength) {
    c.Fail(ErrorLength);
    return 0;
  }
  if (total > avail) {
    c.Fail(ErrorTruncated);
    return 0;
  }
  if (dispBytes) {
    std::memcpy(d->disp.bytes, c.code + c.pos, dispBytes);
    d->flags |= dispBytes == 1 ? Disp8 : Disp32;
  }
  if (immBytes) {
    std::memcpy(d->imm.bytes, c.code + c.pos + dispBytes, immBytes);
    d->flags |= immFlags;
    if (relative) d->flags |= Relative;
  }
  // 3DNow!: the trailing byte selects the operation.
  if (d->vex == VexKind::None && d->opcode == 0x0F && d->opcode2 == 0x0F && !OT::Valid3DNow(d->imm.imm8)) {
    d->imm.imm64 = 0;
    d->disp.disp32 = 0;
    d->flags &= ~(ImmMask | Disp8 | Disp32);
    c.Fail(ErrorOpcode);
    return 0;
  }
  d->len = static_cast<uint8_t>(total);
  return total;
}
