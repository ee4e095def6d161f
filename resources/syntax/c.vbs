' C: comments (doc comments /** */ and /// apart), strings, character
' constants, numbers, keywords, types, library names and the preprocessor.
' Braces fold, and so do #if ... #endif blocks.

Include "common.vbs"

Dim p, doc, blk, ldoc, lcom, str, chl, pre, pblk, plcom, pstr, esc
Set p = Parser.CreateParser()

esc = "\\(?:x[0-9a-fA-F]+|[0-7]{1,3}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "(?:^|(?<=\s))[@\\](?:param|return|returns|brief|note|see|file|author|deprecated|throws|todo|warning|details|retval|pre|post)\b", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set ldoc = p.CreateRegion(2, "///", "", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)

' Strings and character constants (with the prefixes L, u, U and u8)
Set str = p.CreateStringRegion(3, Chr(34), "\", False)
str.AddItem p.CreateItem(4, esc, True)
str.AddItem p.CreateItem(4, "%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|j|z|t|L)?[diouxXeEfFgGaAcspn%]", True)
Set chl = p.CreateRegion(4, "(?:\b(?:u8|[LuU])|(?<!\w))'(?=(?:[^'\\]|\\.)+')", "(?:[^'\\]|\\.)*'", True)

' Preprocessor lines: the whole line, comments and strings in it apart; a
' backslash at the end of a line continues the directive on the next line.
Set pre = p.CreateRegion(9, "^\s*#", "[^\\]$", True)
pre.AddItem p.CreateItem(3, "(?<=include)\s*<[^>]*>", True)
pre.AddItem p.CreateItem(14, Words("defined __has_include"), True)
Set pblk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set plcom = p.CreateRegion(1, "+//+", "", True)
Set pstr = p.CreateStringRegion(3, Chr(34), "\", False)
pre.IsolateFolds True
pre.AddRegion pblk
pre.AddRegion plcom
pre.AddRegion pstr
pre.FoldText "^\s*#\s*if", True
pre.UnfoldText "^\s*#\s*endif\b", True

p.AddRegion pre
p.AddRegion doc
p.AddRegion blk
p.AddRegion ldoc
p.AddRegion lcom
p.AddRegion str
p.AddRegion chl

' Keywords, types, constants and library names
p.AddItem p.CreateItem(15, "(?<=^\s*)[A-Za-z_]\w*(?=:(?!:))", True)
p.AddItem p.CreateItem(5, Words("auto break case const continue default do else enum extern for goto if inline " & _
    "register restrict return sizeof static struct switch typedef union volatile while _Alignas _Alignof " & _
    "_Atomic _Generic _Noreturn _Static_assert _Thread_local alignas alignof static_assert thread_local " & _
    "typeof typeof_unqual constexpr"), True)
p.AddItem p.CreateItem(12, Words("void char short int long float double signed unsigned _Bool bool _Complex " & _
    "_Imaginary FILE va_list jmp_buf fpos_t div_t ldiv_t wchar_t") & "|\b[A-Za-z_]\w*_t\b", True)
p.AddItem p.CreateItem(14, Words("NULL true false nullptr EOF stdin stdout stderr errno BUFSIZ CHAR_BIT " & _
    "INT_MAX INT_MIN UINT_MAX LONG_MAX SIZE_MAX EXIT_SUCCESS EXIT_FAILURE __FILE__ __LINE__ __func__ " & _
    "__DATE__ __TIME__ __STDC__ __STDC_VERSION__ printf fprintf sprintf snprintf vprintf vfprintf " & _
    "vsnprintf scanf sscanf fscanf puts fputs fgets putchar getchar fputc fgetc fopen fclose fread " & _
    "fwrite fflush fseek ftell rewind remove rename malloc calloc realloc free memcpy memmove memset " & _
    "memcmp memchr strlen strcpy strncpy strcat strncat strcmp strncmp strchr strrchr strstr strtok " & _
    "strtol strtoul strtod atoi atol atof abs labs qsort bsearch exit abort atexit getenv system " & _
    "assert va_start va_arg va_end setjmp longjmp"), True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F]+(?:\.[0-9a-fA-F]*)?(?:[pP][+-]?\d+)?|0[bB][01]+|" & _
    "\d+\.?\d*(?:[eE][+-]?\d+)?)[uUlLfF]*\b|(?<![\w.])\.\d+(?:[eE][+-]?\d+)?[fFlL]?\b", True)

' Braces fold, except in comments, strings and preprocessor lines (which count only their own marks).
p.FoldText "\{", True
p.UnfoldText "\}", True
