' Errors: the numbers the language gives, the Err object, On Error.

'' Run-time error numbers
CLng("x") ==> #13
1 / 0 ==> #11
CInt(40000) ==> #6
CByte(256) ==> #6
CByte(-1) ==> #6
Mid("abc", 0) ==> #5
Mid("abc", 1, -1) ==> #5
Left("abc", -1) ==> #5
InStrRev("abcd", Null, 2, 0) ==> #94
InStrRev("abcd", "c", 0) ==> #5
Join(Null) ==> #94
Join("abc") ==> #13
MonthName(13) ==> #5
MonthName(Null) ==> #94
WeekdayName(8) ==> #5
DateAdd("x", 1, Now) ==> #5
DateAdd(Null, 1, Now) ==> #94
Weekday(Now, 9) ==> #5
Weekday("x") ==> #13
FormatNumber("abc") ==> #13
FormatNumber(Null) ==> #94
FormatCurrency(Null) ==> #94
FormatPercent(Null) ==> #94
FormatDateTime(Null) ==> #94
FormatDateTime(Now, 9) ==> #5
Chr(-1) ==> #5
Chr(Null) ==> #94
Space(-1) ==> #5
String(-1, "a") ==> #5
Array(1)(2) ==> #9
UBound(Array(), 2) ==> #9
Split("a", ",", -2) ==> #5
CDate("x") ==> #13
Asc("") ==> #5
Sqr(-1) ==> #5
Log(0) ==> #5
Int("x") ==> #13
Left("abc") ==> #450

'@ a built-in function called as a statement with Call
Call CByte(1)
'=> #458

'@ a Sub called with parentheses and two arguments
Sub P(a, b)
End Sub
P(1, 2)
'=> #1044

'@ a runtime error stops the script at its line
Note "before"
Dim a
a = 1 + "x"
Note "after"
'=> before | #13

'@ subscript out of range
Dim b(2)
b(3) = 1
'=> #9

'@ a compile error runs nothing
Note "never"
If Then
'=> #1023

'@ Expected 'End'
Note "never"
If True Then
  Note 1
'=> #1014

'@ Expected 'Next'
For i = 1 To 2
'=> #1020

'@ Expected ')'
Note (1
'=> #1006

'@ unterminated string
Note "abc
'=> #1033

'@ wrong number of arguments to a host method
Note 1, 2
'=> #450

'@ Option Explicit and an undeclared name
Option Explicit
Dim a
a = 1
b = 2
'=> #500

'@ a method of Nothing
Dim o
Set o = Nothing
o.Foo
'=> #424

'@ overflow in arithmetic
Note "1"
Dim x
x = 1E+308 * 10
'=> 1 | #6

'' The Err object
'@ Err after a runtime error
On Error Resume Next
Dim x
x = CLng("x")
Note Err.Number & " " & Err.Description & " / " & Err.Source
'=> 13 Type mismatch / Microsoft VBScript runtime error

'@ Err.Clear
On Error Resume Next
x = 1 / 0
Err.Clear
Note Err.Number & "[" & Err.Description & "][" & Err.Source & "]"
'=> 0[][]

'@ Err.Raise with source and description
On Error Resume Next
Err.Raise 1000, "mine", "my error"
Note Err.Number & " " & Err.Source & " " & Err.Description
'=> 1000 mine my error

'@ Err.Raise keeps HelpFile and HelpContext
On Error Resume Next
Err.Raise 1000, "mine", "my error", "help.chm", 42
Note Err.HelpFile & " " & Err.HelpContext
'=> help.chm 42

'@ Err.Raise of a known number without a description
On Error Resume Next
Err.Raise 13
Note Err.Number & " " & Err.Description & " / " & Err.Source
'=> 13 Type mismatch / Microsoft VBScript runtime error

'@ Err.Raise of an unknown number without a description
On Error Resume Next
Err.Raise 1000
Note Err.Number & " " & Err.Description
'=> 1000 Unknown runtime error

'@ Err.Raise of a language HRESULT
On Error Resume Next
Err.Raise &H800A000D
Note Err.Number & " " & Err.Description
'=> 13 Type mismatch

'@ Err.Raise of vbObjectError + n
On Error Resume Next
Err.Raise vbObjectError + 1, "src", "custom"
Note Err.Number & " " & Err.Description
'=> -2147221503 custom

'@ Err.Raise unhandled stops the script with its number
Err.Raise 1000, "mine", "my error"
'=> #1000

'@ On Error GoTo 0 clears Err
On Error Resume Next
x = 1 / 0
On Error GoTo 0
Note Err.Number
'=> 0

'@ an error in a procedure without a handler returns to the caller's
Sub Inner
  Dim y
  y = CLng("y")
  Note "not here"
End Sub
On Error Resume Next
Inner
Note "after " & Err.Number
'=> after 13

'@ Err's properties written
On Error Resume Next
Err.Number = 5
Err.Description = "d"
Err.Source = "s"
Note Err.Number & Err.Description & Err.Source
'=> 5ds

'@ Err.Raise with no number
On Error Resume Next
Err.Raise
Note Err.Number
'=> 450

'@ Err is the default Number
On Error Resume Next
x = 1 / 0
Note Err
'=> 11

'' The line an error is reported at
'@ a runtime error's line
Note 1
Dim x
x = 1E+308 * 10
'=> 1 | #6@3

'@ Option Explicit: the line of the undeclared name
Option Explicit
Dim a
a = 1
b = 2
'=> #500@4

'@ a method of Nothing: its line
Dim o
Set o = Nothing
o.Foo
'=> #424@3

'@ a compile error's line
Note 1
Note 2 +
'=> #1023@2

'' Null and bad arguments
Mid("abc", Null) ==> #94
Mid("abc", 1, Null) ==> #94
MonthName(0) ==> #5
WeekdayName(Null) ==> #94
DateAdd("d", Null, Now) ==> #94
DateAdd("d", 1, "x") ==> #13
FormatCurrency("abc") ==> #13
FormatPercent("abc") ==> #13
FormatDateTime("x") ==> #13

'@ arguments left out of Err.Raise take what Err holds
On Error Resume Next
Err.Source = "src"
Err.Description = "kept"
Err.Raise 1000
Note Err.Source & " " & Err.Description
'=> src kept

'@ a failing For Each collection from a call
On Error Resume Next
Dim x
For Each x In CLng("x")
  Note "body"
Next
Note Err.Number
'=> body | 13

'@ a conversion as a plain statement
On Error Resume Next
CInt 1
Note Err.Number
'=> 458
