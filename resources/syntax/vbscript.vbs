' VBScript (and Visual Basic for Applications): comments with ' and Rem,
' strings (a doubled quote stays inside), date literals, numbers, keywords,
' types, built-in functions and constants. Sub, Function, Property, Class,
' block If, For, Do, While, With and Select fold to their ends. Words ignore
' case.

Include "common.vbs"

Dim p, str
Set p = Parser.CreateParser()

p.AddRegion p.CreateRegion(1, "'", "", False)
p.AddRegion p.CreateRegion(1, "(?<![\w.])rem(?=\s|$)", "", False)
Set str = p.CreateStringRegion(3, Chr(34), "", False)
p.AddRegion str

p.AddItem p.CreateItem(5, Words("And As ByRef ByVal Call Case Class Const Declare Default Dim Do Each Else " & _
    "ElseIf End Enum Eqv Erase Error Event Exit Explicit For Friend Function Get GoTo If Imp Implements In " & _
    "Is Let Like Loop Me Mod New Next Not On Option Optional Or ParamArray Preserve Private Property Public " & _
    "RaiseEvent Randomize ReDim Resume Select Set Static Step Stop Sub Then To Type TypeOf Until Wend While " & _
    "With WithEvents Xor"), False)
p.AddItem p.CreateItem(12, Words("Boolean Byte Currency Date Decimal Double Integer Long LongLong LongPtr " & _
    "Object Single String Variant Collection"), False)
p.AddItem p.CreateItem(14, Words("True False Nothing Null Empty Err WScript Abs Array Asc Atn CBool CByte " & _
    "CCur CDate CDbl Chr CInt CLng Cos CreateObject CSng CStr DateAdd DateDiff DatePart DateSerial " & _
    "DateValue Day Escape Eval Execute ExecuteGlobal Exp Filter Fix FormatCurrency FormatDateTime " & _
    "FormatNumber FormatPercent GetObject GetRef Hex Hour InputBox InStr InStrRev Int IsArray IsDate " & _
    "IsEmpty IsNull IsNumeric IsObject Join LBound LCase Left Len LoadPicture Log LTrim Mid Minute Month " & _
    "MonthName MsgBox Now Oct Replace RGB Right Rnd Round RTrim ScriptEngine Second Sgn Sin Space Split " & _
    "Sqr StrComp String StrReverse Tan Time Timer TimeSerial TimeValue Trim TypeName UBound UCase " & _
    "Unescape VarType Weekday WeekdayName Year") & "|\bvb[A-Za-z]+\b", False)
p.AddItem p.CreateItem(6, "&H[0-9A-F]+&?|&O[0-7]+&?|\b\d+\.?\d*(?:E[+-]?\d+)?[!#@&%]?|(?<![\w.])\.\d+(?:E[+-]?\d+)?|#\d[^#" & Chr(34) & "]*#", False)
p.AddItem p.CreateItem(15, "(?<=^\s*)[A-Za-z_]\w*:(?=\s*$|\s*')", False)

' Blocks fold. Every mark starts its line, so a comment or a string never
' holds one.
p.FoldText "^\s*(?:(?:Public|Private|Friend)\s+)?(?:Default\s+)?(?:Static\s+)?(?:Sub|Function|Property|Class|Type|Enum)\b|" & _
    "^\s*(?:For|Do|While|With|Select)\b|^\s*If\b.*\bThen\s*(?:'.*)?$|^\s*#If\b", False
p.UnfoldText "^\s*(?:End\s+(?:Sub|Function|Property|Class|If|With|Select|Type|Enum)|Next|Loop|Wend)\b|^\s*#End\s+If\b", False
