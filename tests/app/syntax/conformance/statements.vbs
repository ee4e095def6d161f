' Statements and procedures: precedence, control flow, procedures and their
' arguments, classes, arrays, With, error handling and the lines errors are
' reported at. Write a, b records its arguments joined by ",".

'@ operators follow the languages precedence 1
Write 2 + 3 * 4 ^ 2
'=> 50

'@ operators follow the languages precedence 2
Write -2 ^ 2
'=> 4

'@ operators follow the languages precedence 3
Write 2 ^ 3 ^ 2
'=> 64

'@ operators follow the languages precedence 4
Write 2 ^ -1
'=> 0.5

'@ operators follow the languages precedence 5
Write Not 1 = 2
'=> True

'@ operators follow the languages precedence 6
Write 7 \ 2 * 2, 7 Mod 4 * 2, 10 - 2 - 3, 7 \ 2 Mod 2
'=> 1,7,5,1

'@ operators follow the languages precedence 7
Write 1 + 2 & 3 + 4
'=> 37

'@ operators follow the languages precedence 8
Write 1 < 2 And 3 > 4 Or True, True Xor True, False Imp False, 5 Eqv 5
'=> True,False,True,-1

'@ operators follow the languages precedence 9
Write (1 + 2) * 3, -(2 + 3), - - 4
'=> 9,-5,4

'@ operators follow the languages precedence 10
Write 3 And 5 Or 8
'=> 9

'@ operands are coerced and null propagates 1
Write "1" + 2, "a" & 1, "1" + "2", Empty + 1, Empty & "x"
'=> 3,a1,12,1,x

'@ operands are coerced and null propagates 2
x = Null + 1 : Write IsNullText(x)
Function IsNullText(v) : IsNullText = (TypeName(v) = "Null") : End Function
'=> True

'@ operands are coerced and null propagates 3
Write TypeName(Null & "a"), TypeName(Null And False), TypeName(1 = Null)
'=> String,Boolean,Null

'@ operands are coerced and null propagates 4
Write "abc" < "abd", "B" < "a", "10" < "9"
'=> True,True,True


'@ operands are coerced and null propagates 6
Write &HFF, &H10&, &HFFFF, &O17, 1e3, .5
'=> 255,16,-1,15,1000,0.5

'@ operands are coerced and null propagates 7
Write "say ""hi"""
'=> say "hi"

'@ operands are coerced and null propagates 8
x = 1 / 0
'=> #11@1:0

'@ operands are coerced and null propagates 9
x = "a" * 2
'=> #13@1:0

'@ statements share lines and continue over them 1
a = 1 : b = 2 : Write a + b ' comment
Rem a remark
Write _
  a, _
  b
'=> 3 | 1,2

'@ statements share lines and continue over them 2
[my var] = 5 : Write [my var]
'=> 5

'@ statements share lines and continue over them 3
WRITE "case" : write "insensitive"
'=> case | insensitive

'@ if in both forms and select case 1
x = 5
If x > 3 Then Write "big" Else Write "small"
If x < 3 Then Write 1 : Write 2
'=> big

'@ if in both forms and select case 2
For i = 1 To 4
If i = 1 Then
Write "one"
ElseIf i = 2 Then
Write "two"
ElseIf i = 3 Then
Write "three"
Else
Write "many"
End If
Next
'=> one | two | three | many

'@ if in both forms and select case 3
If Null Then Write "null is true" Else Write "null is false"
'=> null is false

'@ if in both forms and select case 4
For Each v In Array(1, 2, 5, "x", 9)
Select Case v
Case 1, 2
Write "low"
Case "x" : Write "text"
Case 5
Write "five"
Case Else
Write "else"
End Select
Next
'=> low | low | five | text | else

'@ for loops evaluate their bounds once 1
For i = 1 To 3 : Write i : Next
'=> 1 | 2 | 3

'@ for loops evaluate their bounds once 2
For i = 10 To 1 Step -4 : Write i : Next : Write i
'=> 10 | 6 | 2 | -2

'@ for loops evaluate their bounds once 3
n = 3
For i = 1 To n
n = 10
Write i
Next
'=> 1 | 2 | 3

'@ for loops evaluate their bounds once 4
For i = 0 To 1 Step 0.5 : Write i : Next
'=> 0 | 0.5 | 1

'@ for loops evaluate their bounds once 5
For i = 1.5 To 0.5 Step -0.5 : Write i : Next : Write i
'=> 1.5 | 1 | 0.5 | 0

'@ for loops evaluate their bounds once 6
For i = 1 To 1 Step -0.5 : Write i : Next
'=> 1

'@ for loops evaluate their bounds once 7
For i = 1 To 0 : Write i : Next : Write "none"
'=> none

'@ for loops evaluate their bounds once 8
For i = 1 To 10
If i = 3 Then Exit For
Next
Write i
'=> 3

'@ for loops evaluate their bounds once 9
For i = 32766 To 32767 : Next : Write TypeName(i), i
'=> Long,32768

'@ for each do and while loops 1
a = Array("x", "y")
For Each v In a : Write v : Next
'=> x | y

'@ for each do and while loops 3
i = 0
Do While i < 3
i = i + 1
Loop
Write i
'=> 3

'@ for each do and while loops 4
i = 0
Do Until i >= 2
i = i + 1
Loop
Write i
'=> 2

'@ for each do and while loops 5
i = 10
Do
i = i + 1
Loop While i < 5
Write i
'=> 11

'@ for each do and while loops 6
i = 10
Do
i = i + 1
Loop Until True
Write i
'=> 11

'@ for each do and while loops 7
i = 0
Do
i = i + 1
If i = 4 Then Exit Do
Loop
Write i
'=> 4

'@ for each do and while loops 8
i = 0
While i < 5
i = i + 2
Wend
Write i
'=> 6

'@ for each do and while loops 9
For Each v In 5 : Next
'=> #451@1:0

'@ procedures are known before the first statement 1
Write Twice(4)
Function Twice(x)
Twice = x * 2
End Function
'=> 8

'@ procedures are known before the first statement 2
Hello "a", "b"
Call Hello("c", "d")
Sub Hello(x, y) : Write x & y : End Sub
'=> ab | cd

'@ procedures are known before the first statement 3
Function F(n)
If n <= 1 Then
F = 1
Exit Function
End If
F = n * F(n - 1)
End Function
Write F(10)
'=> 3628800

'@ procedures are known before the first statement 4
Sub S
Write 1
Exit Sub
Write 2
End Sub
S
'=> 1

'@ procedures are known before the first statement 5
Sub S(a)
End Sub
S 1, 2
'=> #450@3:0

'@ by reference arguments change the callers variable 1
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : Inc x : Write x
'=> 2

'@ by reference arguments change the callers variable 2
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : Inc (x) : Write x
'=> 1

'@ by reference arguments change the callers variable 3
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : Inc(x) : Write x
'=> 1

'@ by reference arguments change the callers variable 4
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : Call Inc(x) : Write x
'=> 2

'@ by reference arguments change the callers variable 5
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : IncVal x : Write x
'=> 1

'@ by reference arguments change the callers variable 6
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
x = 1 : Inc x + 0 : Write x
'=> 1

'@ by reference arguments change the callers variable 7
Sub Inc(n) : n = n + 1 : End Sub
Sub IncVal(ByVal n) : n = n + 1 : End Sub
Sub Outer
Dim y : y = 5 : Inc y : Write y
End Sub
Outer
'=> 6

'@ array elements are passed by reference and lock their array 1
Sub Swap(x, y) : Dim t : t = x : x = y : y = t : End Sub
a = Array(1, 2) : Swap a(0), a(1) : Write a(0), a(1)
'=> 2,1

'@ array elements are passed by reference and lock their array 2
Sub Swap(x, y) : Dim t : t = x : x = y : y = t : End Sub
Dim m(1, 1) : m(0, 1) = 5 : Swap m(0, 1), m(1, 0) : Write m(0, 1), m(1, 0)
'=> ,5

'@ array elements are passed by reference and lock their array 3
Sub V(ByVal x) : x = 9 : End Sub
a = Array(1) : V a(0) : Write a(0)
'=> 1

'@ array elements are passed by reference and lock their array 4
Sub Swap(x, y) : Dim t : t = x : x = y : y = t : End Sub
a = Array(1, 2) : b = a : Swap a(0), a(1) : Write a(0), b(0)
'=> 2,1

'@ array elements are passed by reference and lock their array 8
Sub R(arr, x)
On Error Resume Next
ReDim arr(100)
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 9
Sub R(arr, x)
On Error Resume Next
ReDim Preserve arr(100)
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 10
Sub R(arr, x)
On Error Resume Next
Erase arr
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 11
Sub R(arr, x)
On Error Resume Next
arr = 5
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 12
Sub R(arr, x)
On Error Resume Next
a = Array(7)
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 13
Sub R(arr, x)
On Error Resume Next
For Each a In Array(1) : Next
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 14
Sub R(arr, x)
On Error Resume Next
b = a : a(0) = 7
Write Err.Number : x = 9
End Sub
a = Array(1, 2) : R a, a(1) : Write a(1), UBound(a)
'=> 10 | 9,1

'@ array elements are passed by reference and lock their array 15
Sub R(arr, x) : ReDim arr(100) : End Sub
a = Array(1, 2)
On Error Resume Next
R a, a(1)
Write Err.Number
On Error GoTo 0
ReDim a(3) : Write UBound(a)
'=> 10 | 3

'@ array elements are passed by reference and lock their array 16
Dim a
Sub Q(x) : b = a : a = 5 : x = 3 : Write a : End Sub
a = Array(1, 2) : Q a(1) : Write a
'=> 5 | 5

'@ array elements are passed by reference and lock their array 17
Sub R(x) : b = a : ReDim Preserve b(5) : x = 3 : Write UBound(b) : End Sub
a = Array(1, 2) : R a(0) : Write a(0), UBound(a)
'=> 5 | 3,1

'@ resume next skips the failing statement 1
On Error Resume Next
x = 1 / 0
Write Err.Number, Err.Description
Err.Clear
Write Err.Number
'=> 11,Division by zero | 0

'@ resume next skips the failing statement 3
On Error Resume Next
On Error GoTo 0
x = 1 / 0
'=> #11@3:0

'@ resume next skips the failing statement 4
On Error Resume Next
Err.Raise 1234, "me", "custom"
Write Err.Number, Err.Source, Err.Description
'=> 1234,me,custom

'@ resume next skips the failing statement 5
Err.Number = 7 : Err.Source = 5 : Err.Description = "d"
Write Err.Number, Err.Source, Err.Description
Err.Clear
Write Err.Number, Err.Source
'=> 7,5,d | 0,

'@ resume next after a failing header goes on inside the block 1
On Error Resume Next
If 1 / 0 Then Write "in"
Write "after", Err.Number
'=> in | after,11

'@ resume next after a failing header goes on inside the block 2
On Error Resume Next
If 1 / 0 = 1 Then
Write "then"
Else
Write "else"
End If
Write "after"
'=> then | after

'@ resume next after a failing header goes on inside the block 3
On Error Resume Next
If False Then
Write 1
ElseIf 1 / 0 Then
Write 2
Else
Write 3
End If
'=> 2




'@ resume next after a failing header goes on inside the block 7
On Error Resume Next
For i = 1 To 1 / 0
Write "body"
Next
Write "after"
'=> body | after


'@ resume next after a failing header goes on inside the block 9
x = 1
If 1 / 0 Then x = 2
'=> #11@2:0

'@ an error leaves a procedure without a handler for its caller 1
Sub Inner
Write "a"
x = 1 / 0
Write "not here"
End Sub
Sub Outer
On Error Resume Next
Inner
Write "outer goes on", Err.Number
End Sub
Outer
Write "top"
'=> a | outer goes on,11 | top

'@ an error leaves a procedure without a handler for its caller 2
Sub Quiet
On Error Resume Next
End Sub
Quiet
x = 1 / 0
'=> #11@5:0

'@ compile errors run nothing and say where 2
Write 1
x = (1 + 

'=> #1023@2:9

'@ compile errors run nothing and say where 3
x = "abc
'=> #1033@1:4

'@ compile errors run nothing and say where 4
x = 1 $ 2
'=> #1032@1:6

'@ compile errors run nothing and say where 5
Sub A
Write 1
End Sub
Sub A
Write 2
End Sub
A
'=> 2

'@ compile errors run nothing and say where 6
Class A
End Class
Class A
End Class
'=> #1041@3:6

'@ compile errors run nothing and say where 8
Sub A
Sub B
End Sub
End Sub
'=> #1002@2:0

'@ compile errors run nothing and say where 9
Exit Sub
'=> #1002@1:5

'@ compile errors run nothing and say where 10
Exit For
'=> #1002@1:5

'@ compile errors run nothing and say where 11
For i = 1 To 2
Do : Exit For : Loop
Next
Sub S : Exit Do : End Sub
'=> #1002@4:13

'@ compile errors run nothing and say where 12
Do
For Each x In Array(1) : Exit Do : Next
Loop
While True : Exit Do : Wend
'=> #1002@4:18

'@ option explicit refuses undeclared names 1
Option Explicit
Dim a
a = 1
b = 2
'=> #500@4:0

'@ option explicit refuses undeclared names 2
Option Explicit
Sub S
Dim a
Write a, c
End Sub
S
'=> #500@4:0

'@ option explicit refuses undeclared names 3
Option Explicit
Dim a, b(2)
Const K = 3
a = K : b(1) = a
Write b(1)
'=> 3

'@ option explicit refuses undeclared names 4
Const K = 1
K = 2
'=> #501@2:0

'@ arrays dim re dim and preserve 1
Dim a(3)
a(0) = "x" : a(3) = 5
Write a(0), a(3), TypeName(a(1))
'=> x,5,Empty

'@ arrays dim re dim and preserve 2
Dim m(2, 3)
m(2, 3) = 7 : m(0, 1) = 1
Write m(2, 3) + m(0, 1)
'=> 8


'@ arrays dim re dim and preserve 4
ReDim g(1, 1)
g(1, 1) = 3
ReDim Preserve g(1, 2)
g(0, 2) = 4
Write g(1, 1), g(0, 2)
'=> 3,4

'@ arrays dim re dim and preserve 5
Dim a(2)
ReDim a(3)
'=> #10@2:0

'@ arrays dim re dim and preserve 6
Dim a(2)
x = a(3)
'=> #9@2:0

'@ arrays dim re dim and preserve 7
ReDim g(1, 1)
ReDim Preserve g(2, 1)
'=> #9@2:0

'@ arrays dim re dim and preserve 8
a = Array(1, 2)
b = a
b(0) = 9
Write a(0), b(0)
'=> 1,9

'@ arrays dim re dim and preserve 9
a = Array(Array(1, 2), Array(3, 4))
Write a(1)(0)
'=> 3

'@ arrays dim re dim and preserve 10
Dim a(1)
Sub Fill(arr)
arr(1) = "filled"
End Sub
Fill a
Write a(1)
'=> filled

'@ arrays dim re dim and preserve 11
Dim e(2)
e(1) = 4
Erase e
Write TypeName(e(1))
'=> Empty

'@ an index that replaces the array it indexes 1
Function F : a = 5 : F = 0 : End Function
a = Array(1, 2)
x = a(F())
'=> #13@3:0

'@ an index that replaces the array it indexes 2
Function F : a = 5 : F = 0 : End Function
a = Array(1, 2)
a(F()) = 1
'=> #13@3:0

'@ an index that replaces the array it indexes 3
Class C
Public items
Public Default Function V : items = 0 : V = 1 : End Function
End Class
Set o = New C : o.items = Array(1, 2)
o.items(o) = 5
'=> #13@6:0

'@ objects need set and nothing is no object 2
Set x = 5
'=> #424@1:0

'@ objects need set and nothing is no object 3
Set o = Nothing
o.Write 1
'=> #424@2:0

'@ objects need set and nothing is no object 4
Set o = Nothing
o.Foo
'=> #424@2:0

'@ objects need set and nothing is no object 5
Set o = Nothing
x = o.Bar
'=> #424@2:0

'@ objects need set and nothing is no object 6
Set o = Nothing
x = o.Bar(1)
'=> #424@2:0

'@ objects need set and nothing is no object 7
Set o = Nothing
o.Bar = 1
'=> #424@2:0

'@ objects need set and nothing is no object 9
Set o = Nothing
o.Bar(1) = 2
'=> #424@2:0

'@ objects need set and nothing is no object 10
Set o = Nothing
With o
.Foo
End With
'=> #424@3:0

'@ objects need set and nothing is no object 11
x = 5
x.Write 1
'=> #424@2:0

'@ with blocks 2
Class N
Public [Next], [Step], [End], [Rem]
End Class
Set o = New N
o.Next = 1 : o.Step = 2
With o
  .End = .Next + .Step
  .Rem = 4
End With
Write o.End, o.Rem
'=> 3,4

'@ classes with properties methods and default members 1
Class Counter
  Private count_
  Public Name
  Private Sub Class_Initialize : count_ = 10 : Write "init" : End Sub
  Public Property Get Count : Count = count_ : End Property
  Public Property Let Count(v) : count_ = v : End Property
  Public Sub Add(n) : count_ = count_ + n : Bump : End Sub
  Private Sub Bump : count_ = count_ + 1000 : End Sub
  Public Default Function Item(i) : Item = i * count_ : End Function
  Public Function Self : Set Self = Me : End Function
End Class
Set c = New Counter
c.Add 5
Write c.Count
c.Count = 2
Write c.Count, c(3), c.Self.Count
c.Name = "n" : Write c.Name, TypeName(c)
'=> init | 1015 | 2,6,2 | n,Counter

'@ classes with properties methods and default members 2
Class Counter
  Private count_
  Public Name
  Private Sub Class_Initialize : count_ = 10 : Write "init" : End Sub
  Public Property Get Count : Count = count_ : End Property
  Public Property Let Count(v) : count_ = v : End Property
  Public Sub Add(n) : count_ = count_ + n : Bump : End Sub
  Private Sub Bump : count_ = count_ + 1000 : End Sub
  Public Default Function Item(i) : Item = i * count_ : End Function
  Public Function Self : Set Self = Me : End Function
End Class
Set c = New Counter
c.Bump
'=> init | #438@13:0

'@ classes with properties methods and default members 3
Class Counter
  Private count_
  Public Name
  Private Sub Class_Initialize : count_ = 10 : Write "init" : End Sub
  Public Property Get Count : Count = count_ : End Property
  Public Property Let Count(v) : count_ = v : End Property
  Public Sub Add(n) : count_ = count_ + n : Bump : End Sub
  Private Sub Bump : count_ = count_ + 1000 : End Sub
  Public Default Function Item(i) : Item = i * count_ : End Function
  Public Function Self : Set Self = Me : End Function
End Class
Set c = New Counter
Write c.count_
'=> init | #438@13:0

'@ classes with properties methods and default members 4
Set c = New Nowhere
'=> #506@1:0

'@ property set and object fields 2
Class Node
Public Next_, Value
End Class
Set a = New Node : Set a.Next_ = New Node
a.Next_.Value = 3 : Write a.Next_.Value
'=> 3

'@ terminate runs when the last reference goes 1
Class T
Public Id
Private Sub Class_Terminate : Write "bye " & Id : Err.Raise 5 : End Sub
End Class
Set a = New T : a.Id = 1
Set b = a
Set a = Nothing
Write "one left"
Set b = Nothing
Write "after"
'=> one left | bye 1 | after

'@ terminate runs when the last reference goes 2
Class T
Public Id
Private Sub Class_Terminate : Write "bye " & Id : Err.Raise 5 : End Sub
End Class
Sub S
Dim x : Set x = New T : x.Id = 2
End Sub
S
Write "back"
'=> bye 2 | back

'@ a long chain of instances is freed without deep recursion 2
Class T
Public Next_, Id
Sub Class_Terminate : Write Id : End Sub
End Class
Set a = New T : a.Id = 1 : Set a.Next_ = New T : a.Next_.Id = 2
Set a = Nothing
'=> 1 | 2

'@ more class members 1
Class Grid
  Const Size = 3
  Private cells(3)
  Public Property Get Cell(i) : Cell = cells(i) : End Property
  Public Property Let Cell(i, v)
    If i > Size Then Exit Property
    cells(i) = v
  End Property
  Public Function Peek(other) : Peek = other.cells(1) : End Function
  Public Function Limit : Limit = Size : End Function
End Class
Set g = New Grid : Set h = New Grid
g.Cell(1) = "a" : g.Cell(9) = "x"
h.Cell(1) = "b"
Write g.Cell(1), g.Peek(h), g.Limit
'=> a,b,3

'@ statement calls with parenthesised first arguments 1
Sub Two(a, b) : Write a & "/" & b : End Sub
Two (1) + 1, 3
Write ("x") & "y"
Write("z")
Two 1, (2)
'=> 2/3 | xy | z | 1/2

'@ with nests and works in procedures 1
Class P
Public Inner, N
End Class
Sub S
Set o = New P : Set o.Inner = New P
With o
.N = 1
With .Inner
.N = 2
End With
Write .N, .Inner.N
End With
End Sub
S
'=> 1,2

'@ literals of dates and numbers 1
d = #1/31/2024#
Write TypeName(d), Year(d), Month(d), Day(d)
'=> Date,2024,1,31

'@ literals of dates and numbers 2
Write TypeName(32767), TypeName(32768), TypeName(&HFFFF&), TypeName(2147483648)
'=> Integer,Long,Long,Double

'@ a huge array is out of memory not a crash 4
ReDim a(3355443)
'=> #7@1:0

'@ a huge array is out of memory not a crash 5
Dim c(3355443)
'=> #7@1:4

'@ a huge array is out of memory not a crash 6
Sub P : Dim d(1677721, 1) : End Sub
P
'=> #7@2:0

'@ a huge array is out of memory not a crash 7
On Error Resume Next
ReDim a(10) : a(3) = 4
ReDim Preserve a(3355443)
Write Err.Number, UBound(a), a(3)
'=> 7,10,4

'@ errors of classes and their lines 1
Class B
Sub Class_Initialize
  x = 1 / 0
End Sub
End Class
Set o = New B
'=> #11@3:2

'@ errors of classes and their lines 2
Class B2
Sub Class_Initialize : Err.Raise 9 : End Sub
End Class
On Error Resume Next
Set o = New B2
Write Err.Number, TypeName(o)
'=> 9,Empty

'@ errors of classes and their lines 3
x = 1
Write 1, _
  2 / 0
'=> #11@2:0

'@ err stays set for the caller after a handled error 1
Sub Quiet
On Error Resume Next
x = 1 / 0
End Sub
Quiet
Write Err.Number
Err.Clear
Write Err.Number
'=> 11 | 0

'@ default members in expressions and assignments 1
Class Cell
Private v_
Public Default Property Get Value : Value = v_ : End Property
Public Property Let Value(x) : v_ = x : End Property
End Class
Set c = New Cell
c.Value = 4
x = c
Write x + 1, c * 2, c & "!", TypeName(x)
'=> 5,8,4!,Integer

'@ default members in expressions and assignments 2
Class NoDefault
End Class
Set o = New NoDefault
x = o
'=> #438@4:0

'@ default members in expressions and assignments 3
Class NoDefault2
End Class
Set o = New NoDefault2
x = o + 1
'=> #438@4:0

'@ by reference through methods and nested calls 1
Class M
Sub Twice(n) : n = n * 2 : End Sub
End Class
Set obj = New M
v = 3 : obj.Twice v : Write v
'=> 6

'@ by reference through methods and nested calls 2
Sub A(x) : B x : End Sub
Sub B(y) : y = y & "b" : End Sub
s = "a" : A s : Write s
'=> ab

'@ by reference through methods and nested calls 3
Sub C(ByVal x) : D x : Write x : End Sub
Sub D(y) : y = 0 : End Sub
q = 9 : C q : Write q
'=> 0 | 9

'@ for each over a two dimensional array and exits from nested loops 1
Dim g(1, 1)
g(0, 0) = 1 : g(1, 0) = 2 : g(0, 1) = 3 : g(1, 1) = 4
For Each v In g : s = s & v : Next
Write s
'=> 1234

'@ for each over a two dimensional array and exits from nested loops 2
Function Find
For i = 1 To 5
Do
If i = 3 Then
Find = i
Exit Function
End If
Exit Do
Loop
Next
Find = -1
End Function
Write Find()
'=> 3

'@ declarations at the top and in classes 1
Option Explicit
Public Const A = 2, B = "b"
Private Const C = -A
Public p1, p2(1)
ReDim r(2)
Sub S
ReDim loc(1) : loc(1) = C
Write loc(1)
End Sub
S
Write A & B, UBound(p2), UBound(r)
'=> -2 | 2b,1,2

'@ declarations at the top and in classes 2
Class Bag
Private items()
Sub Add(x)
ReDim Preserve items(UBound(items) + 1)
items(UBound(items)) = x
End Sub
Function Count : Count = UBound(items) + 1 : End Function
Private Sub Class_Initialize : ReDim items(-1) : End Sub
End Class
Set sack = New Bag : sack.Add "a" : sack.Add "b"
Write sack.Count
'=> 2

'@ an object in a variable is the same object
Set o = Host
o.Write "via o"
Write o Is Host, o Is Nothing, Nothing Is Nothing
'=> via o | True,False,True

'@ a property of Nothing set
Set o = Nothing
Set o.Bar = Host
'=> #424@2:0

'@ Property Set keeps an object
Class Box
Private o_
Public Property Set Obj(v) : Set o_ = v : End Property
Public Property Get Obj : Set Obj = o_ : End Property
End Class
Set b = New Box
Set b.Obj = Host
b.Obj.Write "through"
Write b.Obj Is Host
'=> through | True
