; strutil-win64.asm - string helpers for the Windows x64 calling convention.
;   size_t  str_length(const char *s);                  rcx = s
;   char   *str_find_char(const char *s, int c);         rcx = s, edx = c
;   void    str_to_upper(char *s);                       rcx = s
; Build: nasm -f win64 strutil-win64.asm -o strutil.obj

        bits    64
        default rel

%ifidn __OUTPUT_FORMAT__, win64
  %define EXPORT(name) global name
%else
  %error "this file targets win64 only"
%endif

struc span
  .ptr:   resq 1
  .len:   resq 1
endstruc

        section .text

        EXPORT(str_length)
        EXPORT(str_find_char)
        EXPORT(str_to_upper)
        EXPORT(str_span)

; rax = strlen(rcx)
str_length:
        mov     rax, rcx
.loop:
        cmp     byte [rax], 0
        je      .done
        inc     rax
        jmp     .loop
.done:
        sub     rax, rcx
        ret

; rax = first occurrence of dl in the string at rcx, or 0
str_find_char:
        movzx   edx, dl
.scan:
        movzx   eax, byte [rcx]
        cmp     eax, edx
        je      .found
        test    eax, eax
        jz      .missing
        inc     rcx
        jmp     .scan
.found:
        mov     rax, rcx
        ret
.missing:
        xor     eax, eax
        ret

; Upper-cases ASCII letters in place; other bytes (including UTF-8) are left alone.
str_to_upper:
.next:
        mov     al, [rcx]
        test    al, al
        jz      .end
        cmp     al, 'a'
        jb      .skip
        cmp     al, 'z'
        ja      .skip
        sub     al, 'a' - 'A'       ; 0x20
        mov     [rcx], al
.skip:
        inc     rcx
        jmp     .next
.end:
        ret

; Fills the span at rdx with the pointer rcx and its length.
str_span:
        push    rdx
        sub     rsp, 32             ; shadow space for the callee
        call    str_length
        add     rsp, 32
        pop     rdx
        mov     [rdx + span.ptr], rcx
        mov     [rdx + span.len], rax
        ret

        section .rdata
message:        db      "Paths like C:\temp\file.txt need no escaping here", 0
semicolon:      db      "a ; inside quotes is not a comment", 0
