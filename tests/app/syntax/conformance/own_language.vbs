' The language where the system engine under Wine cannot follow: Eval,
' Execute, ExecuteGlobal and GetRef, arrays too big to allocate, structures
' too deep for a recursive release.
'! own: only our engine runs these.

'@ a long chain of instances is freed without deep recursion 1
Class Node
Public Next_
End Class
Set head = Nothing
For i = 1 To 200000
Set n = New Node
Set n.Next_ = head
Set head = n
Next
Set n = Nothing
Set head = Nothing
Write "freed"
'=> freed

'@ a huge array is out of memory not a crash 1
ReDim a(100000000)
'=> #7@1:0

'@ a huge array is out of memory not a crash 2
Dim b(20000, 20000)
'=> #7@1:4

'@ a huge array is out of memory not a crash 3
On Error Resume Next
ReDim a(100000000, 10)
Write Err.Number
'=> 7

'@ a huge array is out of memory not a crash 8
ReDim a(1000000) : Write UBound(a)
'=> 1000000

'@ deeply nested arrays are freed without deep recursion 1
For i = 1 To 200000
a = Array(a)
Next
a = 0
Write "freed"
'=> freed

'@ deeply nested arrays are freed without deep recursion 2
For i = 1 To 200000
b = Array(b)
Next
Write "kept"
'=> kept

'@ errors of classes and their lines 4
x = 1
Execute "a = 1" & vbLf & "If"
'=> #1023@2:2

'@ errors of classes and their lines 5
On Error Resume Next
Execute "If"
Write Err.Number
'=> 1023

'@ eval execute and get ref 1
x = 4
Write Eval("x * 2 + 1")
Execute "y = x + 1"
Write y
ExecuteGlobal "Function G(a) : G = a & ""!"" : End Function"
Write G(1)
'=> 9 | 5 | 1!

'@ eval execute and get ref 2
Function H(a) : H = a + 100 : End Function
Set r = GetRef("H")
Write r(1)
'=> 101

'@ eval execute and get ref 3
Function L(a)
Dim b : b = 2
Execute "b = b + a : L = b * 10"
Write Eval("a + b"), b
End Function
Write L(5)
Sub G
Dim z : z = 1
ExecuteGlobal "z = 99"
Write z
End Sub
G
Write z
'=> 12,7 | 70 | 1 | 99

'@ eval execute and get ref 4
Class K
Private n
Sub M : n = 3 : Execute "n = n * 2" : Write Eval("n") : End Sub
End Class
Set inst = New K : inst.M
'=> 6

'@ eval of the calling functions name with arguments calls it 1
Function F(n)
If n = 0 Then F = 0 Else F = 1 + Eval("F(n - 1)")
End Function
Write F(3)
'=> 3

'@ eval of the calling functions name with arguments calls it 2
Function G : G = 5 : Write Eval("G") : Execute "G = G + 1" : End Function
Write G
'=> 5 | 6

'@ eval of the calling functions name with arguments calls it 3
Function H(n) : H = n : If n > 0 Then Execute "Write H(n - 1)"
End Function
x = H(2)
'=> 0 | 1

'@ what the system engine under Wine lacks
Note TypeName(Nothing)
Note Join(Array("a", "b", "c"), "-")
Note AscW(ChrW(8364))
Function Twice(n)
 Twice = n * 2
End Function
Set f = GetRef("Twice")
Note f(21)
Note Eval("1 + 2 * 3")
Execute "Note ""executed"""
Note Split("x,y", ",")(1)
Dim a()
ReDim a(2)
Note UBound(a)
'=> Nothing | a-b-c | 8364 | 42 | 7 | executed | y | 2

'@ more of what the system engine under Wine lacks
Class Res
 Public Name
 Private Sub Class_Terminate : Note "bye " & Name : End Sub
 Public Default Function Item(i) : Item = Name & i : End Function
End Class
Sub Scope
 Dim r : Set r = New Res : r.Name = "a" : Note r(1)
End Sub
Scope
Note "after"
ExecuteGlobal "Function G(x) : G = x + 1 : End Function"
Note G(1)
Note Join(Filter(Array("ab", "cd", "ax"), "a"), ",")
Note DateDiff("d", #1/1/2024#, #3/1/2024#)
Note DatePart("q", #8/1/2024#)
Dim e(2) : e(1) = 5 : Erase e : Note CStr(IsEmpty(e(1)))
Note Eval("G(2) * 2")
Note Round(2.5) & Round(-2.5) & Round(2.567, 2)
'=> a1 | bye a | after | 2 | ab,ax | 60 | 3 | True | 6 | 2-22.57

' The smallest Long divided by -1 overflows (the system engine under Wine
' traps on it and ends the process).
CLng(-2147483648) \ (-1) ==> #6

' The system engine under Wine hangs on this one.
'@ operands are coerced and null propagates 5
Write TypeName(1), TypeName(40000), TypeName(1.5), TypeName(""), TypeName(Empty), TypeName(Nothing)
'=> Integer,Long,Double,String,Empty,Nothing

' The system engine under Wine hangs on this one.
'@ resume next after a failing header goes on inside the block 4
On Error Resume Next
n = 0
Do While 1 / 0
n = n + 1 : Write n
Loop
Write "after"
'=> 1 | after

' The system engine under Wine hangs on this one.
'@ resume next after a failing header goes on inside the block 5
On Error Resume Next
Do Until 1 / 0
Write "body"
Loop
Write "after"
'=> body | after

' The system engine under Wine hangs on this one.
'@ resume next after a failing header goes on inside the block 6
On Error Resume Next
While 1 / 0
Write "body"
Wend
Write "after"
'=> body | after

' The system engine under Wine hangs on this one.
'@ resume next after a failing header goes on inside the block 8
On Error Resume Next
k = 0
Do While 1 / k < 10
Write k : k = k - 1
If k < -1 Then k = 0
Loop
Write "after"
'=> 0 | -1 | after

' The system engine under Wine hangs on this one.
'@ arrays dim re dim and preserve 3
Dim d()
ReDim d(2)
d(2) = "k"
ReDim Preserve d(4)
Write d(2), TypeName(d(4))
ReDim d(1)
Write TypeName(d(1))
'=> k,Empty | Empty
