' x86 and x86-64 assembly in Intel syntax as NASM and MASM write it:
' comments, strings, labels, instructions, registers, size and pointer
' words, directives, the preprocessor and numbers; folds procedures,
' macros, structures, segments and conditional blocks.
Function Words(list)
    Words = "(?<![\w.$@?%])(?:" & Replace(list, " ", "|") & ")\b"
End Function

Dim p
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(5, Words("aaa aad aam aas adc adcx add addpd addps addsd addss adox and andn andnpd andnps andpd andps " & _
    "bsf bsr bswap bt btc btr bts call cbw cdq cdqe clc cld cli clflush cmc cmova cmovae cmovb cmovbe cmovc cmove cmovg " & _
    "cmovge cmovl cmovle cmovna cmovnc cmovne cmovng cmovnl cmovno cmovns cmovnz cmovo cmovs cmovz cmp cmpsb cmpsd cmpsq " & _
    "cmpsw cmpxchg cmpxchg8b cmpxchg16b comisd comiss cpuid cqo cvtsd2ss cvtsi2sd cvtsi2ss cvtss2sd cvttsd2si cvttss2si cwd " & _
    "cwde daa das dec div divpd divps divsd divss emms enter f2xm1 fabs fadd faddp fchs fcom fcomp fdiv fdivp fild fist " & _
    "fistp fld fld1 fldz fmul fmulp fninit fnstsw fsqrt fst fstp fsub fsubp fxch hlt idiv imul in inc int int3 into invlpg " & _
    "iret iretd iretq ja jae jb jbe jc jcxz je jecxz jg jge jl jle jmp jna jnae jnb jnbe jnc jne jng jnge jnl jnle jno jnp " & _
    "jns jnz jo jp jpe jpo jrcxz js jz lahf lea leave lfence lock lodsb lodsd lodsq lodsw loop loope loopne loopnz loopz " & _
    "lzcnt mfence mov movabs movaps movapd movd movdqa movdqu movhps movlps movq movsb movsd movss movsq movsw movsx movsxd " & _
    "movups movupd movzx mul mulpd mulps mulsd mulss neg nop not or orpd orps out pause paddb paddd paddq paddw pand pandn " & _
    "pcmpeqb pcmpeqd pmovmskb pop popa popad popcnt popf popfd popfq por prefetchnta prefetcht0 pshufb pshufd pslld psllq " & _
    "psrld psrlq psubb psubd psubq punpcklbw push pusha pushad pushf pushfd pushfq pxor rcl rcr rdrand rdtsc rdtscp rep " & _
    "repe repne repnz repz ret retf retn rol ror sahf sal sar sbb scasb scasd scasq scasw seta setae setb setbe setc sete " & _
    "setg setge setl setle setna setnc setne setng setnl setno setns setnz seto sets setz sfence shl shld shr shrd shufps " & _
    "sqrtpd sqrtps sqrtsd sqrtss stc std sti stosb stosd stosq stosw sub subpd subps subsd subss syscall sysenter sysexit " & _
    "sysret test tzcnt ucomisd ucomiss ud2 unpcklps vaddpd vaddps vmovaps vmovdqa vmovdqu vmovups vmulps vpxor vxorps " & _
    "vzeroupper wait xadd xchg xgetbv xlat xor xorpd xorps"), False)
p.AddItem p.CreateItem(12, "\b(?:[re]?[abcd]x|[abcd][hl]|[re]?(?:si|di|bp|sp)|(?:si|di|bp|sp)l|r(?:[89]|1[0-5])[dwb]?|" & _
    "[cdefgs]s|[re]?ip|[re]?flags|[xyz]mm(?:[12]?\d|3[01])|st(?:\([0-7]\))?|mm[0-7]|cr[0-8]|dr[0-7]|k[0-7])\b", False)
p.AddItem p.CreateItem(6, "(?<![\w.$@?])(?:0[xX][0-9a-fA-F_]+|0[hH][0-9a-fA-F_]+|\$[0-9][0-9a-fA-F_]*|[0-9][0-9a-fA-F_]*[hH]|0[bByY][01_]+|[01_]+[bByY]|0[oOqQ][0-7_]+|[0-7_]+[oOqQ]|\d[\d_]*(?:\.\d+)?(?:[eE][+-]?\d+)?)(?![\w.$@?])", False)
p.AddItem p.CreateItem(13, Words("byte word dword qword tword oword yword zword xmmword ymmword zmmword fword real4 real8 " & _
    "real10 sbyte sword sdword ptr near far short offset rel abs seg wrt addr lengthof sizeof type"), False)
p.AddItem p.CreateItem(9, Words("align alias assume bits cpu db dd default do dq dt dw end endp ends equ even extern " & _
    "externdef extrn global include includelib incbin invoke label local macro endm org proc proto public resb resd resq " & _
    "rest resw resz section segment struc endstruc istruc iend at struct union record typedef times use16 use32 use64 " & _
    "option model flat stdcall fastcall uses"), False)
p.AddItem p.CreateItem(9, "(?<![\w.])\.(?:data\??|bss|text|rodata|rdata|code|const|model|stack|486p?|586p?|686p?|mmx|xmm|x64|k3d|radix|list|nolist|if|else|elseif|endif|while|endw|repeat|until|break|continue)\b|^\s*%\s*\w+|%%?[\w.]+|\?(?!\w)", False)
p.AddItem p.CreateItem(15, "^\s*[\w.$@?]+:{1,2}|^[A-Za-z_$@?][\w$@?]*(?=\s+(?:proc|endp|macro|struc|struct|segment|ends|equ|label|d[bwdqt]|byte|word|dword|qword)\b)", False)

p.AddRegion p.CreateRegion(1, "+;+", "", False)
p.AddRegion p.CreateStringRegion(3, """", "", False)
p.AddRegion p.CreateStringRegion(3, "'", "", False)
p.AddRegion p.CreateStringRegion(3, "`", "\", False)

p.FoldText "\b(?:proc|macro|struc|struct|union|segment|istruc)\b|%(?:macro|imacro|rep|if\w*)\b|(?<![\w.])\.(?:if|while|repeat)\b", False
p.UnfoldText "\b(?:endp|endm|ends|endstruc|iend)\b|%(?:endmacro|endm|endrep|endif)\b|(?<![\w.])\.(?:endif|endw|until)\b", False
