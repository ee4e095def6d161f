' The host boundary: what a host object receives (Host.VT names the
' variant type as it arrives), what it can write back, and the objects
' that cross in either direction.
'! com: these need the ActiveScript host.

'' Constants, results and properties go by value: only what names a variable
'' or an element of an array variable goes by reference.
VT(CByte(255)) ==> String:VT_UI1
VT(1) ==> String:VT_I2
VT(70000) ==> String:VT_I4
VT(1 + 1) ==> String:VT_I2
VT(32767 + 1) ==> String:VT_I4
VT(3.5) ==> String:VT_R8
VT(CSng(1)) ==> String:VT_R4
VT(CCur(1)) ==> String:VT_CY
VT(CDate(1)) ==> String:VT_DATE
VT("a") ==> String:VT_BSTR
VT("a" & 1) ==> String:VT_BSTR
VT(True) ==> String:VT_BOOL
VT(1 = 1) ==> String:VT_BOOL
VT(Null) ==> String:VT_NULL
VT(Empty) ==> String:VT_EMPTY
VT(Nothing) ==> String:VT_DISPATCH
VT(Len("abc")) ==> String:VT_I4
VT(Array(1, 2)) ==> String:VT_ARRAY|VT_VARIANT
VT(vbCrLf) ==> String:VT_BSTR
VT(-1) ==> String:VT_I2
VT(&HFF) ==> String:VT_I2

'@ a variable goes by reference
Dim x
x = 1
Note VT(x)
'=> VT_BYREF|VT_VARIANT>VT_I2

'@ a variable in parentheses goes by value
Dim x
x = "s"
Note VT((x))
'=> VT_BSTR

'@ an uninitialised variable goes by reference
Dim x
Note VT(x)
'=> VT_BYREF|VT_VARIANT>VT_EMPTY

'@ an array element goes by reference
Dim a(2)
a(1) = 2.5
Note VT(a(1))
'=> VT_BYREF|VT_VARIANT>VT_R8

'@ a constant of the script goes by value
Const k = 5
Note VT(k)
'=> VT_I2

'@ a function's result goes by value
Function F()
  F = 1
End Function
Note VT(F())
'=> VT_I2

'@ an array variable by reference to its SAFEARRAY
Dim a(2)
Note VT(a)
'=> VT_ARRAY|VT_BYREF|VT_VARIANT

'@ an array never sized is a null SAFEARRAY
Dim a()
Note VT(a)
'=> VT_ARRAY|VT_BYREF|VT_VARIANT:null

'@ an array in a variable of no declared shape
Dim a
a = Array(1)
Note VT(a)
'=> VT_ARRAY|VT_BYREF|VT_VARIANT

'@ the host writes back through a variable
Dim x
x = 1
SetArg x, 5
Note x
'=> 5

'@ the host writes back through an array element
Dim a(1)
SetArg a(0), "new"
Note a(0)
'=> new

'@ a variable in parentheses is not written back
Dim x
x = 1
SetArg (x), 5
Note x
'=> 1

'@ an object with only IUnknown
Dim o
Set o = UnknownOnly
Note TypeName(o) & " " & VarType(o) & " " & IsObject(o)
'=> Unknown 13 True

'@ an object with only IUnknown handed back to the host
Dim o
Set o = UnknownOnly
Note VT(o)
'=> VT_BYREF|VT_VARIANT>VT_UNKNOWN

'@ a script class instance answers IDispatchEx
Class K
  Public v
End Class
Dim o
Set o = New K
o.v = 3
Note ExGet(o, "v")
'=> 3

'@ a script class property through IDispatchEx
Class K
  Public Property Get Size
    Size = 12
  End Property
End Class
Note ExGet(New K, "Size")
'=> 12

'@ a host object's TypeName
Note TypeName(Host)
'=> Object

'@ a property read for the call goes by value
Class K
  Public v
End Class
Dim o
Set o = New K
o.v = 2
Note VT(o.v)
'=> VT_I2

'@ a procedure's parameter goes by reference
Sub P(x)
  Note VT(x)
End Sub
P 1.5
'=> VT_BYREF|VT_VARIANT>VT_R8

'@ the loop variable goes by reference
Dim i
For i = 1 To 1
  Note VT(i)
Next
'=> VT_BYREF|VT_VARIANT>VT_I2

'@ a script object handed to the host
Class K
End Class
Note VT(New K)
'=> VT_DISPATCH

'@ through the named item's name
Dim x
x = 1
Note Host.VT(x)
'=> VT_BYREF|VT_VARIANT>VT_I2

'@ inside With
Dim x
x = 1
With Host
  Note .VT(x) & " " & .VT(CByte(255))
End With
'=> VT_BYREF|VT_VARIANT>VT_I2 VT_UI1

'@ an element of an array held in a variable
Dim a
a = Array(1, 2)
Note VT(a(1))
'=> VT_BYREF|VT_VARIANT>VT_I2

'@ an element of a two-dimensional array
Dim m(1, 1)
m(1, 1) = "s"
Note VT(m(1, 1))
'=> VT_BYREF|VT_VARIANT>VT_BSTR

'@ a field inside a method
Class K
  Public v
  Sub T
    v = 1
    Note VT(v)
  End Sub
End Class
Dim o
Set o = New K
o.T
'=> VT_BYREF|VT_VARIANT>VT_I2

'@ Call with parentheses writes back
Dim x
x = 1
Call SetArg(x, 5)
Note x
'=> 5

'@ the host fills an array never sized
Dim a()
SetArg a, Array(7)
Note UBound(a) & a(0)
'=> 07

'@ objects with only IUnknown compare by Is
Dim p, q
Set p = UnknownOnly
Set q = p
Note CStr(p Is q)
'=> True

'@ a member of an object with only IUnknown
Dim o
Set o = UnknownOnly
o.Foo
'=> #438

'@ a member a script object lacks, through IDispatchEx
Class K
End Class
Note ExGet(New K, "nope")
'=> #438

'@ the host changes an element of an array in place
Dim a(1)
SetFirst a, "in place"
Note a(0)
'=> in place

CreateObject("No.Such.Thing") ==> #429

'@ statements, classes, loops, arrays, a dictionary and Err alike on both engines
Class Box
 Private v
 Public Count
 Private Sub Class_Initialize : v = 10 : Count = 0 : End Sub
 Public Property Get Value : Value = v : Count = Count + 1 : End Property
 Public Property Let Value(x) : v = x * 2 : End Property
 Public Function Add(ByRef a, ByVal b) : a = a + b : b = 0 : Add = a : End Function
End Class
Set b = New Box
Note b.Value
b.Value = 4
Note b.Value & " " & b.Count
p = 1 : q = 2 : Note b.Add(p, q) & " " & p & " " & q
For Each n In Array(3, 15, 7, 0, -1)
 Select Case n
  Case 0 : Note "zero"
  Case 1, 2, 3 : Note "small"
  Case Else : If n > 10 Then Note "big" Else Note "other " & n
 End Select
Next
s = "" : For i = 10 To 1 Step -3 : s = s & i & "," : Next : Note s
i = 0 : Do While i < 100 : i = i + 7 : If i > 30 Then Exit Do
Loop : Note i
i = 0 : Do : i = i + 1 : Loop Until i >= 5 : Note i
Dim x
ReDim x(2)
x(0) = "a" : x(2) = "c"
ReDim Preserve x(4)
x(4) = "e"
Note UBound(x) & x(0) & x(2) & x(4) & IsEmpty(x(3))
Dim m(1, 2) : m(1, 2) = 5 : Note UBound(m, 1) & UBound(m, 2) & m(1, 2)
Set d = CreateObject("Scripting.Dictionary")
d("one") = 1 : d.Add "two", 2 : Note d.Exists("one") & d.Exists("three") & d.Count
d.Remove "one" : k = d.Keys : Note k(0) & d.Item("two")
On Error Resume Next
Err.Raise 1234, "mine", "custom text"
Note Err.Number & " " & Err.Source & " " & Err.Description
Err.Clear : y = CLng("x") : Note Err.Number : Err.Clear
On Error GoTo 0
Function Fact(n) : If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1)
End Function
Note Fact(10)
Note Join2(Split("c b a", " "))
Function Join2(a) : Dim r, e : For Each e In a : r = r & "[" & e & "]" : Next : Join2 = r : End Function
With b : .Value = 1 : Note .Value : End With
Const Pi2 = 6.28 : Note Pi2 * 2
Note IsObject(b) & IsObject(1) & (b Is b) & (Nothing Is Nothing)
'=> 10 | 8 2 | 3 3 2 | small | big | other 7 | zero | other -1 | 10,7,4,1, | 35 | 5 | 4aceTrue | 125 | TrueFalse2 | two2 | 1234 mine custom text | 13 | 3628800 | [c][b][a] | 2 | 12.56 | TrueFalseTrueTrue

'@ the dictionary created and walked, also through its enumerator
Set d = CreateObject("Scripting.Dictionary")
d.Add "k1", 1 : d.Add "k2", 2
For Each k In d.Keys
 Note k & "=" & d(k)
Next
For Each k In d
 Note k
Next
Note d.Count & TypeName(d)
'=> k1=1 | k2=2 | k1 | k2 | 2Dictionary
