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
Note S(CSng(o)) & " " & IsNumeric(o) & " " & S(o + 1)
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
