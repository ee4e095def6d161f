' The built-in library: conversions, text, numbers, dates, constants and the
' engine's own names.

'' Conversions
CBool("#TRUE#") ==> Boolean:True
CBool("#FALSE#") ==> Boolean:False
CBool("True") ==> Boolean:True
CBool(0) ==> Boolean:False
CBool(-2) ==> Boolean:True
CByte(True) ==> Byte:255
CByte(False) ==> Byte:0
CInt(True) ==> Integer:-1
CLng(True) ==> Long:-1
CStr(True) ==> String:True
CDbl("2.5") ==> Double:2.5
CInt("  12  ") ==> Integer:12
CDbl("1.#INF") ==> #13
Round(True) ==> Boolean:True
Round(2.5) ==> Double:2
Round(3.5) ==> Double:4
Round(1.2345, 2) ==> Double:1.23
Round(CCur(2.5)) ==> Currency:2
Round(5) ==> Integer:5
Round(70000) ==> Long:70000
Abs(-3) ==> Integer:3
Abs(True) ==> Integer:1
Sgn(-0.1) ==> Integer:-1
Int(True) ==> Integer:-1
Fix("3.7") ==> Double:3
CSng(0.001 * 0.001) ==> Single:1E-06
IsNumeric("12") ==> Boolean:True
IsNumeric("1e5") ==> Boolean:True
IsNumeric("abc") ==> Boolean:False
IsNumeric("") ==> Boolean:False
IsNumeric(Empty) ==> Boolean:True
IsNumeric(True) ==> Boolean:True
IsNumeric(Null) ==> Boolean:False
VarType(1) ==> Integer:2
VarType(70000) ==> Integer:3
VarType(1.5) ==> Integer:5
VarType("x") ==> Integer:8
VarType(True) ==> Integer:11
VarType(Empty) ==> Integer:0
VarType(Null) ==> Integer:1
VarType(Nothing) ==> Integer:9
VarType(Array()) ==> Integer:8204
VarType(CByte(1)) ==> Integer:17

'@ an object's default property in CSng, IsNumeric and arithmetic
Class K
  Public Default Property Get Value
    Value = "2.5"
  End Property
End Class
Dim o
Set o = New K
Note Shown(CSng(o)) & " " & IsNumeric(o) & " " & Shown(o + 1)
'=> Single:2.5 True Double:3.5

'' Text
Len("abc") ==> Long:3
Len(Null) ==> Null
Len(123) ==> Long:3
Left("abcdef", 2) ==> String:ab
Right("abcdef", 2) ==> String:ef
Mid("abcdef", 2, 3) ==> String:bcd
Mid("abcdef", 4) ==> String:def
Mid("abc", 5) ==> String:
Mid(Null, 1) ==> Null
Left("abc", 10) ==> String:abc
InStr("hello", "l") ==> Long:3
InStr(4, "hello", "l") ==> Long:4
InStr("hello", "z") ==> Long:0
InStr("hello", "") ==> Long:1
InStr(1, "HELLO", "l", 1) ==> Long:3
InStr("abc", Null) ==> Null
InStrRev("hello", "l") ==> Long:4
InStrRev("abcd", "c", 2) ==> Long:0
Replace("a-b-c", "-", "+") ==> String:a+b+c
Replace("a-b-c", "-", "", 1, 1) ==> String:ab-c
Replace("aAa", "a", "x", 1, -1, 1) ==> String:xxx
Replace("abcabc", "b", "X", 3) ==> String:caXc
UCase("abc") ==> String:ABC
LCase(Empty) ==> String:
LCase("ÀBC") ==> String:àbc
Trim("  a  ") ==> String:a
Space(3) & "|" ==> String:   |
String(3, "xy") ==> String:xxx
String(2, 65) ==> String:AA
StrReverse("abc") ==> String:cba
Asc("A") ==> Integer:65
Chr(66) ==> String:B
Hex(255) ==> String:FF
Hex(-1) ==> String:FFFF
Oct(8) ==> String:10
StrComp("a", "A") ==> Integer:1
StrComp("a", "A", 1) ==> Integer:0
UBound(Split("a,b,c", ",")) ==> Long:2
UBound(Split("a b")) ==> Long:1
UBound(Split("", ",")) ==> Long:-1
Join(Array("a", "b"), "-") ==> String:a-b
FormatNumber(1234.5, 1) ==> String:1,234.5
FormatPercent(0.25, 0) ==> String:25%

'' Dates
DateSerial(2024, 13, 1) ==> Date:1/1/2025
DateSerial(2024, 3, 0) ==> Date:2/29/2024
Weekday(DateSerial(2024, 1, 1)) ==> Integer:2
TimeSerial(13, 5, 0) ==> Date:1:05:00 PM
DateSerial(2024, 1, 31) + 1 ==> Date:2/1/2024
CDate("2024-01-31") ==> Date:1/31/2024
MonthName(2) & WeekdayName(1) ==> String:FebruarySunday
DateAdd("d", 1, DateSerial(2024, 1, 31)) ==> Date:2/1/2024
DateAdd("m", 1, DateSerial(2024, 1, 31)) ==> Date:2/29/2024
DateSerial(2000, 1, 1) + TimeSerial(6, 30, 15) ==> Date:1/1/2000 6:30:15 AM
Weekday(Null) ==> Null
Year(Null) ==> Null
DateAdd("d", 1, Null) ==> Null

'' Constants and the engine's names
vbUseSystem ==> Integer:0
vbUseSystemDayOfWeek ==> Integer:0
vbMsgBoxHelpButton ==> Long:16384
vbMsgBoxSetForeground ==> Long:65536
vbMsgBoxRight ==> Long:524288
vbMsgBoxRtlReading ==> Long:1048576
vbSystemModal ==> Integer:4096
vbMsgBoxRtlReading Or vbSystemModal ==> Long:1052672
vbObjectError ==> Long:-2147221504
vbCrLf = Chr(13) & Chr(10) ==> Boolean:True
ScriptEngine ==> String:VBScript
ScriptEngineMajorVersion >= 5 ==> Boolean:True

'@ Rnd after a seed follows the system sequence
Rnd -1
Randomize 5
Note Int(Rnd * 1000) & " " & Int(Rnd * 1000) & " " & Int(Rnd(0) * 1000)
'=> 894 698 698

'@ Rnd(0) after Randomize is the seed
Randomize 5
Note Int(Rnd(0) * 1000000)
'=> 250305

'@ Rnd with a negative argument repeats
Note CStr(Rnd(-3) = Rnd(-3))
'=> True

'@ Rnd(-1) then Rnd
Dim a
a = Rnd(-1)
Note Int(a * 1000000) & " " & Int(Rnd * 1000000)
'=> 224007 35845

'' More text
"a" & Null ==> String:a
LTrim("  a") ==> String:a
RTrim("a  ") ==> String:a
Len(1.5) ==> Long:3
Mid("abc", 2, 100) ==> String:bc
InStr(2, "abcabc", "b") ==> Long:2
InStr(3, "abcabc", "b") ==> Long:5

'' substrings
Left("hello", 2) ==> String:he
Left("hello", 0) ==> String:
Left("hello", 99) ==> String:hello
Left("hello", -1) ==> #5
Left(Null, 1) ==> Null
Left(12345, 2) ==> String:12
Right("hello", 3) ==> String:llo
Right("hello", 9) ==> String:hello
Right("hello", -1) ==> #5
Mid("hello", 2) ==> String:ello
Mid("hello", 2, 3) ==> String:ell
Mid("hello", 5, 9) ==> String:o
Mid("hello", 6) ==> String:
Mid("hello", 99, 1) ==> String:
Mid("hello", 0) ==> #5
Mid("hello", 1, -1) ==> #5
Mid("hello", Null) ==> #94
Mid("hello", 1.5) ==> String:ello
Len("hello") ==> Long:5
Len("") ==> Long:0
Len(Empty) ==> Long:0
Len(-123) ==> Long:4
Len(True) ==> Long:4
'' case trim and repeat
UCase("abc D") ==> String:ABC D
LCase("ABC d") ==> String:abc d
UCase(Null) ==> Null
Trim("  a b  ") ==> String:a b
LTrim("  a  ") & "|" ==> String:a  |
RTrim("  a  ") ==> String:  a
Trim(vbTab & "a" & vbTab) & "|" ==> String:	a	|
Trim(Null) ==> Null
Space(0) ==> String:
Space(2000000000) ==> #14
String(3, "xyz") ==> String:xxx
String(2, "") ==> #5
String(Null, "a") ==> Null
StrReverse("") ==> String:
StrReverse(Null) ==> #94
'' character codes
Asc("ab") ==> Integer:97
Asc(Null) ==> #94
AscW("A") ==> Integer:65
AscB("A") ==> Integer:65
Chr(65) ==> String:A
Chr(256) ==> #5
ChrB(66) ==> String:B
'' in str
InStr(5, "hello", "l") ==> Long:0
InStr("hello", "L") ==> Long:0
InStr(1, "hello", "L", 1) ==> Long:3
InStr(1, "hello", "L", 0) ==> Long:0
InStr(3, "hello", "") ==> Long:3
InStr("", "a") ==> Long:0
InStr(9, "hello", "") ==> Long:0
InStr(0, "hello", "l") ==> #5
InStr("hello", Null) ==> Null
InStr(Null, "a") ==> Null
InStr(1, "a", "a", 3) ==> #5
InStrRev("hello", "l", 3) ==> Long:3
InStrRev("hello", "l", 2) ==> Long:0
InStrRev("hello", "LL", -1, 1) ==> Long:3
InStrRev("hello", "") ==> Long:5
InStrRev("hello", "o", 9) ==> Long:0
InStrRev("hello", "o", 0) ==> #5
InStrRev("", "o") ==> Long:0
InStrRev("abcabc", "abc") ==> Long:4
InStrB("abc", "b") ==> Long:3
InStrB(4, "abcb", "b") ==> Long:7
InStrB("abc", "x") ==> Long:0
InStrB("abc", Null) ==> Null
'' replace
Replace("a-b-c", "-", "") ==> String:abc
Replace("a-b-c", "-", "+", 3) ==> String:b+c
Replace("a-b-c", "-", "+", 1, 1) ==> String:a+b-c
Replace("a-b-c", "-", "+", 1, 0) ==> String:a-b-c
Replace("aXbxc", "x", "_", 1, -1, 1) ==> String:a_b_c
Replace("aXbxc", "x", "_") ==> String:aXb_c
Replace("abc", "", "_") ==> String:abc
Replace("abc", "b", "_", 9) ==> String:
Replace("aaa", "aa", "b") ==> String:ba
Replace("abc", "b", "_", 0) ==> #5
Replace("abc", "b", "_", 1, -2) ==> #5
Replace(Null, "b", "_") ==> #94
Replace("abc", "b", Null) ==> #94
Replace("abc", "b", "x", , , 0) ==> String:axc
'' str comp and escape
StrComp("a", "b") ==> Integer:-1
StrComp("b", "a") ==> Integer:1
StrComp("A", "a") ==> Integer:-1
StrComp("A", "a", 1) ==> Integer:0
StrComp(10, "10") ==> Integer:0
StrComp(Null, "a") ==> Null
StrComp("a", "a", 7) ==> #5
Escape("a b&c/d") ==> String:a%20b%26c/d
Escape("@*_+-./") ==> String:@*_+-./
Unescape("a%20b%26c") ==> String:a b&c
Unescape("%zz%4") ==> String:%zz%4
Unescape("%u0041") ==> String:A
'' arrays and bounds
UBound("x") ==> #13
IsArray("x") ==> Boolean:False
'' type name and var type
TypeName(Empty) ==> String:Empty
TypeName(Null) ==> String:Null
TypeName(1) ==> String:Integer
TypeName(CLng(1)) ==> String:Long
TypeName(CSng(1)) ==> String:Single
TypeName(CDbl(1)) ==> String:Double
TypeName(CCur(0.0001)) ==> String:Currency
TypeName(CDate(CDbl(1))) ==> String:Date
TypeName("") ==> String:String
TypeName(True) ==> String:Boolean
TypeName(CByte(1)) ==> String:Byte
VarType("") ==> Integer:8
IsObject(Nothing) ==> Boolean:True
IsObject(1) ==> Boolean:False
IsEmpty(Empty) ==> Boolean:True
IsEmpty("") ==> Boolean:False
IsNull(Null) ==> Boolean:True
IsNull(Empty) ==> Boolean:False
IsNumeric(" 12.5 ") ==> Boolean:True
IsNumeric("&H1F") ==> Boolean:True
IsNumeric("12a") ==> Boolean:False
IsNumeric(CDate(CDbl(1))) ==> Boolean:False
'' conversion functions
CInt(2.5) ==> Integer:2
CInt("3.5") ==> Integer:4
CInt("x") ==> #13
CInt(CDbl(40000)) ==> #6
CInt(Null) ==> #94
CLng(-2.5) ==> Long:-2
CByte(255.4) ==> Byte:255
CBool("False") ==> Boolean:False
CBool(3) ==> Boolean:True
CDbl("1e3") ==> Double:1000
CSng(0.5) ==> Single:0.5
CStr((0.1 + 0.2)) ==> String:0.3
CStr(Empty) ==> String:
CStr(Null) ==> #94
CStr(Nothing) ==> #91
CDate(45322.5) ==> Date:1/31/2024 12:00:00 PM
CDate("tomorrow") ==> #13
Hex(CLng(-1)) ==> String:FFFFFFFF
Hex(CDbl(65536)) ==> String:10000
Hex(Null) ==> Null
Hex(Empty) ==> String:0
Oct(-1) ==> String:177777
'' math
Abs(CInt(-32768)) ==> Long:32768
Abs(-2.5) ==> Double:2.5
Abs("-4") ==> Double:4
Abs(Null) ==> Null
Abs(Empty) ==> Integer:0
Int(-1.5) ==> Double:-2
Fix(-1.5) ==> Double:-1
Int(1.9) ==> Double:1
Int(5) ==> Integer:5
Int(Null) ==> Null
Int("2.5") ==> Double:2
Round(-2.5) ==> Double:-2
Round(2.675, 2) ==> Double:2.68
Round(1.005, 2) ==> Double:1
Round(1.25, 1) ==> Double:1.2
Round(1.35, 1) ==> Double:1.4
Round(1.2345, 3) ==> Double:1.234
Round(7) ==> Integer:7
Round(CDbl(1), -1) ==> #5
Round(Null) ==> Null
Sgn(0) ==> Integer:0
Sgn("5") ==> Integer:1
Sqr(16) ==> Double:4
Log(-1) ==> #5
Exp(0) ==> Double:1
Exp(1000) ==> #6
Atn(0) ==> Double:0
Cos(0) ==> Double:1
Sin("x") ==> #13
Sqr(Null) ==> #94
RGB(1, 2, 3) ==> Long:197121
RGB(300, 0, 0) ==> Long:255
RGB(-1, 0, 0) ==> #5
'' format numbers
FormatNumber(1234.567) ==> String:1,234.57
FormatNumber(1234.567, 0) ==> String:1,235
FormatNumber(1234.565, 2) ==> String:1,234.57
FormatNumber(0.125, 2) ==> String:0.13
FormatNumber(1.005, 2) ==> String:1.01
FormatNumber(-2.5, 0) ==> String:-3
FormatNumber(1234.5, 1, , , 0) ==> String:1234.5
FormatNumber(0.5, 2, 0) ==> String:.50
FormatNumber(-0.5, 2) ==> String:-0.50
FormatNumber(-0.5, 2, -1, -1) ==> String:(0.50)
FormatNumber(-0.001, 2) ==> String:0.00
FormatNumber(1234567.891, 3) ==> String:1,234,567.891
FormatNumber("12") ==> String:12.00
FormatNumber("x") ==> #13
FormatNumber(CDbl(1), -2) ==> #5
FormatCurrency(1234.5) ==> String:$1,234.50
FormatCurrency(CDbl(-3)) ==> String:($3.00)
FormatCurrency(CDbl(-3), 0, -2, 0) ==> String:-$3
FormatPercent(0.256) ==> String:25.60%
FormatPercent(0.256, 0) ==> String:26%
'' engine identity
ScriptEngineMajorVersion ==> Long:5
ScriptEngineMinorVersion ==> Long:8
ScriptEngineBuildVersion ==> Long:1

'' Constants and names in any case
VBCRLF = vbCrLf ==> Boolean:True
vbTab = Chr(9) ==> Boolean:True
TypeName(vbNullString) & Len(vbNullString) ==> String:String0
Len(vbNullChar) & Asc(vbNullChar) ==> String:10
vbTextCompare ==> Integer:1
vbObject ==> Integer:9
vbArray ==> Integer:8192
vbYes ==> Integer:6
vbSaturday ==> Integer:7
vbBlue ==> Long:16711680
vbUseDefault ==> Integer:-2
vbFirstFourDays ==> Integer:2
vbShortTime ==> Integer:4
IsEmpty(vbNothing) ==> Boolean:True
mid("abc", 2) & MID("abc", 3) ==> String:bcc
instrrev("aa", "a") ==> Long:2
rgb(1, 0, 0) ==> Long:1
formatdatetime(#1/31/2024#, 2) ==> String:1/31/2024
UBound(Array(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12)) ==> Long:11

'' Characters beyond ASCII
Chr(128) ==> String:€
Asc("€") ==> Integer:128
AscW("€") ==> Integer:8364
Len(Chr(0)) & Asc(Chr(0)) ==> String:10
UCase("éж") ==> String:ÉЖ
Escape("é€") ==> String:%E9%u20AC
Unescape(Escape("xé€%;" & vbCrLf)) = "xé€%;" & vbCrLf ==> Boolean:True
Split(Null) ==> #94
Abs(Atn(1) * 4 - 3.14159265358979) < 1E-12 ==> Boolean:True
Abs(Log(2.71828182845905) - 1) < 1E-12 ==> Boolean:True

'@ an array from Split can grow
Dim a
a = Split("a b")
ReDim Preserve a(3)
Note UBound(a) & a(1)
'=> 3b

'@ the bounds of a two-dimensional array
Dim g(2, 4)
Note UBound(g) & " " & UBound(g, 2) & " " & LBound(g, 2) & " " & IsArray(g) & " " & TypeName(g) & " " & VarType(g)
'=> 2 4 0 True Variant() 8204

'@ a dimension beyond the array's
Dim g(2, 4)
Note UBound(g, 3)
'=> #9

'@ dimension 0
Dim g(2, 4)
Note UBound(g, 0)
'=> #9

'@ an object with a default member in the type tests and conversions
Class Boxed
  Public Default Property Get Value
    Value = 2.5
  End Property
End Class
Dim b
Set b = New Boxed
Note TypeName(b) & " " & VarType(b) & " " & IsObject(b) & " " & Shown(CInt(b)) & " " & Shown(CStr(b))
'=> Boxed 9 True Integer:2 String:2.5

'@ Rnd's first values from its initial state; Rnd(0) repeats the last
Note CStr(Rnd) & " " & CStr(Rnd(1)) & " " & CStr(Rnd(0))
'=> 0.7055475 0.533424 0.533424

'@ a negative argument to Rnd restarts a repeatable sequence
Dim a1, a2, b1, b2
a1 = Rnd(-3)
a2 = Rnd
b1 = Rnd(-3)
b2 = Rnd
Note CStr(a1 = b1) & " " & CStr(a2 = b2) & " " & CStr(Rnd(-4) <> a1)
'=> True True True

'@ Rnd stays in [0, 1), also after Randomize
Dim i, r, bad
For i = 1 To 1000
  r = Rnd
  If r < 0 Or r >= 1 Then bad = bad + 1
Next
Randomize 42
r = Rnd
Randomize 42
Note CStr(IsEmpty(bad)) & " " & CStr(Rnd < 1)
'=> True True

'' Expressions both engines answer alike
1 + 2 * 3 ==> Integer:7
1 / 4 ==> Double:0.25
10 / 4 * 2 ==> Double:5
&H1F + &H10 ==> Integer:47
"3" + 4 ==> Double:7
"3" & 4 ==> String:34
"abc" < "abd" ==> Boolean:True
3 > 2 And 2 > 1 ==> Boolean:True
5 Eqv 3 ==> Integer:-7
1E+20 ==> Double:1E+20
CDbl("1.5") ==> Double:1.5
Mid("hello", 4) ==> String:lo
Right("hello", 2) ==> String:lo
InStr(3, "hello", "l") ==> Long:3
InStr(1, "HeLLo", "ll", 1) ==> Long:3
Replace("a.b.c", ".", "-") ==> String:a-b-c
Replace("aaa", "a", "b", 1, 2) ==> String:bba
LCase("ABC") ==> String:abc
Trim("  x  ") & "|" ==> String:x|
LTrim("  x") ==> String:x
RTrim("x  ") & "|" ==> String:x|
String(3, "ab") ==> String:aaa
StrComp("a", "B") ==> Integer:1
Sgn(-3) ==> Integer:-1
IsNumeric("x") ==> Boolean:False
TypeName(1.5) ==> String:Double
TypeName("s") ==> String:String
VarType("s") ==> Integer:8
VarType(2147483647 + 1) ==> Integer:5
TypeName(32767 + 1) ==> String:Long
LBound(Array()) ==> Long:0
UBound(Array()) ==> Long:-1
IsArray(Array(1)) ==> Boolean:True
Null & "x" ==> String:x
CStr(Empty) & "|" ==> String:|
CInt("  42  ") ==> Integer:42
CStr(CDate("2024-01-31")) ==> String:1/31/2024
Year(#1/31/2024#) ==> Integer:2024
Month(#1/31/2024#) ==> Integer:1
Day(#1/31/2024#) ==> Integer:31
Weekday(#1/31/2024#) ==> Integer:4
DateAdd("d", 1, #1/31/2024#) ==> Date:2/1/2024
DateSerial(2024, 2, 30) ==> Date:3/1/2024
Hour(#1:05:09 PM#) ==> Integer:13
FormatNumber(1234.5, 2) ==> String:1,234.50
FormatPercent(0.25) ==> String:25.00%
FormatCurrency(3) ==> String:$3.00
CStr(#1/31/2024 1:05:00 PM#) ==> String:1/31/2024 1:05:00 PM
CDbl(CSng(1.1)) ==> Double:1.10000002384186
-32768 - 1 ==> Long:-32769
CByte(255) ==> Byte:255
Int(7.9) ==> Double:7
5 Mod -3 ==> Integer:2
5.5 Mod 2 ==> Long:0
Exp(1) ==> Double:2.71828182845905
Log(10) ==> Double:2.30258509299405
Atn(1) * 4 ==> Double:3.14159265358979
Sin(0) ==> Double:0
Tan(0) ==> Double:0
Rnd(0) < 1 ==> Boolean:True
Timer >= 0 ==> Boolean:True
LCase(Null) & "x" ==> String:x
Len(Null) & "x" ==> String:x
UCase("é") ==> String:É
Chr(0) = "" ==> Boolean:False
InStr("", "") ==> Long:0
InStr("abc", "") ==> Long:1
InStr(5, "abc", "c") ==> Long:0
Split("a,,b", ",")(1) = "" ==> Boolean:True
Replace("abc", "", "x") ==> String:abc
String(0, "x") & "|" ==> String:|
Space(0) & "|" ==> String:|
StrComp("abc", "abd", 0) ==> Integer:-1
Hex(4294967295) ==> #6
CLng("&HFF") ==> Long:255
CLng("&H7FFFFFFF") ==> Long:2147483647
IsNull(Null = 1) ==> Boolean:True
CStr(1.0E-5) ==> String:1E-05
CStr(123456789.123) ==> String:123456789.123
CStr(1/7) ==> String:0.142857142857143
0.1 * 3 ==> Double:0.3
CStr(2^53) ==> String:9.00719925474099E+15
Fix(-0.5) ==> Double:0
Int(-0.5) ==> Double:-1
Abs(-32768) ==> Long:32768
TypeName(Abs(-32768)) ==> String:Long
TypeName(CByte(1) + CByte(1)) ==> String:Byte
TypeName(CByte(200) + CByte(100)) ==> String:Integer
TypeName(1 + 1.5) ==> String:Double
TypeName("1" + 1) ==> String:Double
TypeName("1" & 1) ==> String:String
TypeName(Date) ==> String:Date
TypeName(CCur(1)) ==> String:Currency
LBound(Array(1), 1) ==> Long:0
IsNumeric("1e3") ==> Boolean:True
IsNumeric(" 1 ") ==> Boolean:True
IsNumeric("&H10") ==> Boolean:True
CDbl("1,5") ==> Double:15
CDbl("  2.5  ") ==> Double:2.5
Len(vbCrLf) ==> Long:2
Asc(vbLf) ==> Integer:10

'@ a name set before and names never set
Val2 = 2
Note Shown(Val2) & " " & Shown(Val3) & " " & Shown(Eval2)
'=> Integer:2 Empty Empty
