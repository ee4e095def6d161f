' Pascal (and Object Pascal): comments { }, (* *) and //, compiler
' directives {$...} and (*$...*), strings with doubled quotes, character
' codes #13, numbers ($hex, %binary, &octal), keywords, types and built-in
' routines. begin, case, try, asm, repeat and class, record, object and
' interface types fold to their end or until. Words ignore case.

Include "common.vbs"

Dim p, str, dir
Set p = Parser.CreateParser()

' Directives before comments: both start with a brace
' {$IFDEF ...} ... {$ENDIF} folds
Set dir = p.CreateRegion(9, "\{\$", "\}", True)
dir.FoldText "\{\$IF(?:DEF|NDEF|OPT)?\b", False
dir.UnfoldText "\{\$(?:ENDIF|IFEND)\b", False
p.AddRegion dir
p.AddRegion p.CreateRegion(9, "\(\*\$", "\*\)", True)
p.AddRegion p.CreateRegion(2, "///", "", True)
p.AddRegion p.CreateRegion(1, "\{", "\}", True)
p.AddRegion p.CreateRegion(1, "\(\*", "\*\)", True)
p.AddRegion p.CreateRegion(1, "+//+", "", True)
' A doubled quote stays inside the string (it reads as two strings in a row)
Set str = p.CreateStringRegion(3, "'", "", False)
p.AddRegion str

p.AddItem p.CreateItem(5, Words("and array as asm begin case class const constructor destructor dispinterface " & _
    "div do downto else end except exports file finalization finally for function goto if implementation " & _
    "in inherited on initialization inline interface is label library mod nil not object of or out packed " & _
    "procedure program property raise record repeat resourcestring set shl shr then threadvar to try type " & _
    "unit until uses var while with xor absolute abstract assembler cdecl default deprecated dynamic " & _
    "export external forward helper implements overload override " & _
    "pascal platform private protected public published register reintroduce safecall " & _
    "sealed static stdcall strict virtual specialize generic operator self result"), False)
p.AddItem p.CreateItem(12, Words("Integer Cardinal ShortInt SmallInt LongInt Int64 Byte Word LongWord DWord " & _
    "QWord UInt64 NativeInt NativeUInt Real Single Double Extended Comp Currency Boolean ByteBool WordBool " & _
    "LongBool Char AnsiChar WideChar String ShortString AnsiString WideString UnicodeString RawByteString " & _
    "PChar PAnsiChar PWideChar Pointer Variant OleVariant TObject TClass TComponent TStrings TStringList " & _
    "TList TStream Exception Text TextFile"), False)
p.AddItem p.CreateItem(14, Words("True False Nil Abs Addr Append Assert Assign AssignFile Chr Close CloseFile " & _
    "Concat Copy Dec Delete Dispose EOF EOLn Exclude Exit Halt High Inc Include Insert Length Low New Odd " & _
    "Ord Pos Pred Random Randomize Read ReadLn Reset Rewrite Round SetLength SizeOf Str Succ Trunc Val " & _
    "Write WriteLn FreeAndNil IntToStr StrToInt FloatToStr Format Trim UpperCase LowerCase Assigned " & _
    "Free Create Destroy"), False)
p.AddItem p.CreateItem(6, "\$[0-9A-Fa-f]+|%[01]+|&[0-7]+|\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b", True)
p.AddItem p.CreateItem(4, "#(?:\$[0-9A-Fa-f]+|\d+)", True)

' Folding
p.FoldText "\b(?:begin|case|try|asm|repeat)\b|=\s*(?:packed\s+)?(?:class|record|object|interface|dispinterface)\b(?!\s*;)(?!\s+of\b)(?!\s*\([^)]*\)\s*;)", False
p.UnfoldText "\bend\b|\buntil\b", False
