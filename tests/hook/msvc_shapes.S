// A DLL whose functions have the prologue shapes Microsoft's x64 compiler emits, each with its
// unwind data in .pdata/.xdata. Every function passes its argument to the callee the test sets
// (ShapeSetCallee) and returns what the callee gives plus 1, so a test can throw from the callee
// and walk the stack through each shape. Branches and calls are written out where the assembler
// could pick a shorter form.
        .intel_syntax noprefix
        .text

// The DLL's entry: nothing to set up.
        .globl ShapesEntry
ShapesEntry:
        mov eax, 1
        ret

        .globl ShapeSetCallee
ShapeSetCallee:
        mov qword ptr [rip + CalleePointer], rcx
        ret

// Leaf thunk without a frame: the callee returns straight to the shape.
CallCallee:
        jmp qword ptr [rip + CalleePointer]

// The stack probe: touches each page of the allocation in rax, keeps every register.
        .seh_proc StackProbe
StackProbe:
        push rcx
        .seh_pushreg rcx
        push rax
        .seh_pushreg rax
        .seh_endprologue
        lea rcx, [rsp + 24]
1:      cmp rax, 0x1000
        jb 2f
        sub rcx, 0x1000
        test dword ptr [rcx], ecx
        sub rax, 0x1000
        jmp 1b
2:      sub rcx, rax
        test dword ptr [rcx], ecx
        pop rax
        pop rcx
        ret
        .seh_endproc

// mov [rsp+8], rcx; mov [rsp+10h], rdx; sub rsp, 28h; call
        .globl ShapeHomeSpace
        .seh_proc ShapeHomeSpace
ShapeHomeSpace:
        mov qword ptr [rsp + 8], rcx
        mov qword ptr [rsp + 16], rdx
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        .byte 0xE8
        .long CallCallee - . - 4
        inc eax
        add rsp, 40
        ret
        .seh_endproc

// rex push rbx; push rsi; push rdi; push r12; push r13; sub rsp, 20h
        .globl ShapeRexPushes
        .seh_proc ShapeRexPushes
ShapeRexPushes:
        .byte 0x40, 0x53
        .seh_pushreg rbx
        push rsi
        .seh_pushreg rsi
        push rdi
        .seh_pushreg rdi
        push r12
        .seh_pushreg r12
        push r13
        .seh_pushreg r13
        sub rsp, 32
        .seh_stackalloc 32
        .seh_endprologue
        mov ebx, 1
        .byte 0xE8
        .long CallCallee - . - 4
        add eax, ebx
        add rsp, 32
        pop r13
        pop r12
        pop rdi
        pop rsi
        pop rbx
        ret
        .seh_endproc

// sub rsp, 28h; call rel32: the call lies in the patched bytes.
        .globl ShapeSubCall
        .seh_proc ShapeSubCall
ShapeSubCall:
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        .byte 0xE8
        .long CallCallee - . - 4
        inc eax
        add rsp, 40
        ret
        .seh_endproc

// sub rsp, 28h; call [rip+x]: an import call in the patched bytes.
        .globl ShapeSubCallImport
        .seh_proc ShapeSubCallImport
ShapeSubCallImport:
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        call qword ptr [rip + CalleePointer]
        inc eax
        add rsp, 40
        ret
        .seh_endproc

// mov eax, 1048h; call the stack probe; sub rsp, rax
        .globl ShapeStackProbe
        .seh_proc ShapeStackProbe
ShapeStackProbe:
        mov eax, 0x1048
        .byte 0xE8
        .long StackProbe - . - 4
        sub rsp, rax
        .seh_stackalloc 0x1048
        .seh_endprologue
        .byte 0xE8
        .long CallCallee - . - 4
        inc eax
        add rsp, 0x1048
        ret
        .seh_endproc

// sub rsp, 38h; mov rax, [rip+cookie]; xor rax, rsp; mov [rsp+28h], rax ... checked on return
        .globl ShapeCookie
        .seh_proc ShapeCookie
ShapeCookie:
        sub rsp, 56
        .seh_stackalloc 56
        .seh_endprologue
        mov rax, qword ptr [rip + SecurityCookie]
        xor rax, rsp
        mov qword ptr [rsp + 40], rax
        .byte 0xE8
        .long CallCallee - . - 4
        inc eax
        mov rcx, qword ptr [rsp + 40]
        xor rcx, rsp
        cmp rcx, qword ptr [rip + SecurityCookie]
        jne 1f
        add rsp, 56
        ret
1:      ud2
        .seh_endproc

// push rbp; sub rsp, 20h; lea rbp, [rsp+20h]: a frame pointer.
        .globl ShapeFramePointer
        .seh_proc ShapeFramePointer
ShapeFramePointer:
        push rbp
        .seh_pushreg rbp
        sub rsp, 32
        .seh_stackalloc 32
        lea rbp, [rsp + 32]
        .seh_setframe rbp, 32
        .seh_endprologue
        .byte 0xE8
        .long CallCallee - . - 4
        inc eax
        lea rsp, [rbp]
        pop rbp
        ret
        .seh_endproc

// Five bytes: a tail jump to the callee (it returns to the shape's caller, so no + 1 here).
        .globl ShapeTailJump
        .p2align 4, 0xCC
ShapeTailJump:
        .byte 0xE9
        .long CallCallee - . - 4
        .byte 0xCC, 0xCC, 0xCC

// A loop made from tail recursion: the callee is called until it gives 0; the loop's head is
// the call, in the first five bytes.
        .globl ShapeLoop
        .p2align 4, 0xCC
        .seh_proc ShapeLoop
ShapeLoop:
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
ShapeLoopHead:
        .byte 0xE8
        .long CallCallee - . - 4
        mov ecx, eax
        test eax, eax
        .byte 0x0F, 0x85
        .long ShapeLoopHead - . - 4
        inc eax
        add rsp, 40
        ret
        .seh_endproc

// A leaf-looking function whose body jumps back to its own entry (a tail call to itself).
        .globl ShapeSelfJump
        .p2align 4, 0xCC
        .seh_proc ShapeSelfJump
ShapeSelfJump:
        sub rsp, 40
        .seh_stackalloc 40
        .seh_endprologue
        .byte 0xE8
        .long CallCallee - . - 4
        add rsp, 40
        mov ecx, eax
        test eax, eax
        .byte 0x0F, 0x85
        .long ShapeSelfJump - . - 4
        inc eax
        ret
        .seh_endproc

        .data
        .p2align 3
CalleePointer:
        .quad 0
SecurityCookie:
        .quad 0x2B992DDFA232

        .section .drectve, "yn"
        .ascii " -export:ShapeSetCallee -export:ShapeHomeSpace -export:ShapeRexPushes"
        .ascii " -export:ShapeSubCall -export:ShapeSubCallImport -export:ShapeStackProbe"
        .ascii " -export:ShapeCookie -export:ShapeFramePointer -export:ShapeTailJump"
        .ascii " -export:ShapeLoop -export:ShapeSelfJump"
