' The library where the system engine under Wine cannot follow: ChrW, Join
' and what is shown through it (Split, Filter), omitted arguments of Array.
'! own: only our engine runs these.

ChrW(CLng(65)) ==> String:A
ChrW(65536) ==> #5
ChrW(-32769) ==> #5
AscW(ChrW(-1)) ==> Integer:-1
Array(, 1)(0) ==> Empty

'' Split: the upper bound, then the items joined by ";"
UBound(Split("a b c")) & ":" & Join(Split("a b c"), ";") ==> String:2:a;b;c
UBound(Split("a,b,,c", ",")) & ":" & Join(Split("a,b,,c", ","), ";") ==> String:3:a;b;;c
UBound(Split("a,b,c", ",", 2)) & ":" & Join(Split("a,b,c", ",", 2), ";") ==> String:1:a;b,c
UBound(Split("a,b,c", ",", 1)) & ":" & Join(Split("a,b,c", ",", 1), ";") ==> String:0:a,b,c
UBound(Split("a,b,c", ",", 0)) & ":" & Join(Split("a,b,c", ",", 0), ";") ==> String:-1:
UBound(Split("", ",")) & ":" & Join(Split("", ","), ";") ==> String:-1:
UBound(Split("abc", "")) & ":" & Join(Split("abc", ""), ";") ==> String:0:abc
UBound(Split("aXbxc", "x")) & ":" & Join(Split("aXbxc", "x"), ";") ==> String:1:aXb;c
UBound(Split("aXbxc", "x", -1, 1)) & ":" & Join(Split("aXbxc", "x", -1, 1), ";") ==> String:2:a;b;c
UBound(Split("a::b", "::")) & ":" & Join(Split("a::b", "::"), ";") ==> String:1:a;b
UBound(Split(",")) & ":" & Join(Split(","), ";") ==> String:0:,
UBound(Split(",", ",")) & ":" & Join(Split(",", ","), ";") ==> String:1:;

'' Join and Filter
UBound(Array("ab", 1, Null, True)) ==> Long:3
Join(Array("ab", 1, Null, True)) & "|" ==> String:ab 1  True|
Join(Array("ab", 1, Null, True), "") ==> String:ab1True
Join(Array(), ",") & "|" ==> String:|
Join(Split("x-y-z", "-"), "+") ==> String:x+y+z
Join(Filter(Split("apple Banana cherry grape"), "an"), ";") ==> String:Banana
Join(Filter(Split("apple Banana cherry grape"), "A", True, 1), ";") ==> String:apple;Banana;grape
Join(Filter(Split("apple Banana cherry grape"), "a", False), ";") ==> String:cherry
UBound(Filter(Split("apple Banana cherry grape"), "zzz")) ==> Long:-1
Filter("x", "a") ==> #13

' The system engine under Wine hangs on this one.
TypeName(Nothing) ==> String:Nothing
