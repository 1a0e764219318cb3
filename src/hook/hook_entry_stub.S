// The hook entries: each saves the four argument registers, asks its filter, and jumps on with
// the caller's return address still on top of the stack. Unwind data describes the frame that
// exists while the filter runs.
        .intel_syntax noprefix
        .text

        .macro HOOK_ENTRY n
        .p2align 4, 0xCC
        .seh_proc HookEntryStub\n
HookEntryStub\n:
        push r9
        .seh_pushreg r9
        push r8
        .seh_pushreg r8
        push rdx
        .seh_pushreg rdx
        push rcx
        .seh_pushreg rcx
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        lea rcx, [rsp + 40]
        call qword ptr [rip + HookEntryTable + 24 * \n]
        mov r11, qword ptr [rip + HookEntryTable + 24 * \n + 8]
        cmp eax, 1
        cmove r11, qword ptr [rip + HookEntryTable + 24 * \n + 16]
        lea r10, [rip + HookEntryReturn]
        cmp eax, 2
        cmove r11, r10
        add rsp, 40
        pop rcx
        pop rdx
        pop r8
        pop r9
        jmp r11
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

HookEntryReturn:
        ret

        .section .rdata, "dr"
        .p2align 3
        .globl HookEntryStubs
HookEntryStubs:
        .quad HookEntryStub0, HookEntryStub1, HookEntryStub2, HookEntryStub3
        .quad HookEntryStub4, HookEntryStub5, HookEntryStub6, HookEntryStub7
