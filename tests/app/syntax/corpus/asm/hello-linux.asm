; hello-linux.asm - prints a greeting and the argument count on x86-64 Linux.
; Build: nasm -f elf64 hello-linux.asm && ld -o hello hello-linux.o

bits 64
default rel

%define SYS_WRITE   1
%define SYS_EXIT    60
%define STDOUT      1

%macro write 2              ; write buffer, length
        mov     eax, SYS_WRITE
        mov     edi, STDOUT
        lea     rsi, [%1]
        mov     edx, %2
        syscall
%endmacro

section .data
greeting:   db      "Hello, world! It's ", 0x22, "asm", 0x22, ".", 10
greet_len   equ     $ - greeting
label_args: db      'Arguments: '
args_len    equ     $ - label_args
escaped:    db      `tab\there, quote \` and a newline\n`
esc_len     equ     $ - escaped
newline:    db      10

section .bss
digits:     resb    20              ; enough for a 64-bit number

section .text
global _start

_start:
        write   greeting, greet_len
        write   label_args, args_len

        mov     rax, [rsp]          ; argc is at the top of the stack
        call    print_uint
        write   newline, 1
        write   escaped, esc_len

        xor     edi, edi            ; exit code 0
        mov     eax, SYS_EXIT
        syscall

; print_uint - writes RAX as decimal to stdout.
; Clobbers: rax, rcx, rdx, rsi, rdi, r8
print_uint:
        lea     r8, [digits + 20]   ; fill the buffer from the end
        mov     rcx, 10
.next_digit:
        xor     edx, edx
        div     rcx                 ; rax = rax / 10, rdx = remainder
        add     dl, '0'
        dec     r8
        mov     [r8], dl
        test    rax, rax
        jnz     .next_digit

        lea     rdx, [digits + 20]
        sub     rdx, r8             ; length
        mov     rsi, r8
        mov     edi, STDOUT
        mov     eax, SYS_WRITE
        syscall
        ret

; Numbers in the forms NASM accepts, kept here as a reference table.
section .rodata
constants:
        dq      0x7FFF_FFFF, 0FFh, 1010b, 0b1100, 0q17, 777o, 1_000_000
        dd      1.5, -2.25e3, 3.14159
        dw      'AB', "C"
        db      "don't", 0         ; an apostrophe inside a double-quoted string
