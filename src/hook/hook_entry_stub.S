// The hook entries: each keeps the four argument registers, asks its filter, and jumps on with
// the caller's return address still on top of the stack. Unwind data describes the frame that
// exists while the filter runs.
        .intel_syntax noprefix
        .text

        .macro HOOK_ENTRY n
        .p2align 4, 0xCC
        .seh_proc HookEntryStub\n
HookEntryStub\n:
        // The argument registers go to the caller's home space, where the filter can change them.
        mov qword ptr [rsp + 8], rcx
        mov qword ptr [rsp + 16], rdx
        mov qword ptr [rsp + 24], r8
        mov qword ptr [rsp + 32], r9
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        lea rax, [rsp + 48]
        mov qword ptr [rsp + 32], rax
        call qword ptr [rip + HookEntryTable + 24 * \n]
        mov rcx, qword ptr [rsp + 48]
        mov rdx, qword ptr [rsp + 56]
        mov r8, qword ptr [rsp + 64]
        mov r9, qword ptr [rsp + 72]
        add rsp, 40
        cmp eax, 1
        jne 1f
        jmp qword ptr [rip + HookEntryTable + 24 * \n + 16]
1:      ja 2f
        jmp qword ptr [rip + HookEntryTable + 24 * \n + 8]
2:      ret
        .seh_endproc
        .endm

        HOOK_ENTRY 0
        HOOK_ENTRY 1
        HOOK_ENTRY 2
        HOOK_ENTRY 3
        HOOK_ENTRY 4
        HOOK_ENTRY 5
        HOOK_ENTRY 6
        HOOK_ENTRY 7

        .section .rdata, "dr"
        .p2align 3
        .globl HookEntryStubs
HookEntryStubs:
        .quad HookEntryStub0, HookEntryStub1, HookEntryStub2, HookEntryStub3
        .quad HookEntryStub4, HookEntryStub5, HookEntryStub6, HookEntryStub7
