; Checksum routines for the loader (NASM syntax, 64-bit)
; build: nasm -f win64 checksum.asm

        bits 64
        default rel

%define BLOCK_SIZE 4096
%include "macros.inc"

%macro PROLOGUE 1
        push    rbp
        mov     rbp, rsp
        sub     rsp, %1
%endmacro

%ifdef DEBUG
        extern  printf
%endif

section .data
message:        db      "Checksum: %08x", 10, 0
quote:          db      'It''s done', 0
escaped:        db      `tab\there`, 0
table:          dd      0x04C11DB7, 0EDB88320h, 1010b, 777q, 0o17, 1_000_000
ratio:          dq      1.5e3
buffer_size     equ     BLOCK_SIZE * 2

section .bss
buffer:         resb    BLOCK_SIZE

section .text
        global  checksum

; rcx = pointer, rdx = length; returns eax
checksum:
        PROLOGUE 32
        xor     eax, eax                ; sum = 0
        test    rdx, rdx
        jz      .done
.loop:
        movzx   r8d, byte [rcx]
        add     eax, r8d
        rol     eax, 5
        inc     rcx
        dec     rdx
        jnz     .loop
.done:
        mov     qword [rsp + 8], rax
        lea     rsi, [rel message]
        movdqu  xmm0, [rsi]
        pxor    xmm1, xmm1
        leave
        ret

; The same routine in MASM syntax
.model flat, stdcall
.code
Sum32   PROC    uses esi ptrData:DWORD, count:DWORD
        mov     esi, ptrData
        mov     ecx, count
        xor     eax, eax
@@:     add     al, BYTE PTR [esi]
        inc     esi
        loop    @B
        .if eax == 0
            mov eax, -1
        .endif
        ret
Sum32   ENDP

Point   STRUCT
  x     DWORD   ?
  y     DWORD   ?
Point   ENDS

_TEXT   SEGMENT
        nop                             ; "not a string"
_TEXT   ENDS
        END
