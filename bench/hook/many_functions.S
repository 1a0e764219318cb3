// A DLL whose exception directory holds FUNCTIONS entries, as a large executable's does: that many
// small functions sharing one unwind record, and ManyTarget in the middle of them, the function a
// hook is made on. The entries are written out (not made by .seh_proc) to assemble quickly.
        .intel_syntax noprefix
        .text

        .globl ManyEntry
ManyEntry:
        mov eax, 1
        ret

        .p2align 4
Below:
        .fill (FUNCTIONS/2) * 16, 1, 0xC3
        .globl ManyTarget
ManyTarget:
        push rbx
        sub rsp, 32
        lea eax, [rcx + rcx + 1]
        add rsp, 32
        pop rbx
        ret
        .p2align 4
TargetEnd:
Above:
        .fill (FUNCTIONS/2) * 16, 1, 0xC3

        .section .xdata, "dr"
        .p2align 2
Plain:                  // version 1, no prologue codes
        .byte 1, 0, 0, 0
TargetUnwind:           // push rbx; sub rsp, 32
        .byte 1, 5, 2, 0
        .byte 5, 0x32, 1, 0x30

        .section .pdata, "dr"
        .set i, 0
        .rept (FUNCTIONS/2)
        .rva Below + i * 16, Below + i * 16 + 8, Plain
        .set i, i + 1
        .endr
        .rva ManyTarget, TargetEnd, TargetUnwind
        .set i, 0
        .rept (FUNCTIONS/2)
        .rva Above + i * 16, Above + i * 16 + 8, Plain
        .set i, i + 1
        .endr

        .section .drectve, "yn"
        .ascii " -export:ManyTarget"
