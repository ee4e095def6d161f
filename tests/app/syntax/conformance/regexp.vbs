' Regular expressions: the RegExp object, its matches and Replace.

'@ Test
Dim r
Set r = New RegExp
r.Pattern = "b+"
Note r.Test("abbbc") & " " & r.Test("ac")
'=> True False

'@ Execute and the first match
Dim r, m
Set r = New RegExp
r.Pattern = "(\d+)-(\d+)"
Set m = r.Execute("tel 12-34 and 56-78")
Note m.Count & " " & m(0).Value & " " & m(0).FirstIndex & " " & m(0).Length & " " & m(0).SubMatches(1)
'=> 1 12-34 4 5 34

'@ Global Execute
Dim r, m, t
Set r = New RegExp
r.Pattern = "\d+"
r.Global = True
For Each m In r.Execute("1 22 333")
  t = t & m.Value & ","
Next
Note t
'=> 1,22,333,

'@ IgnoreCase
Dim r
Set r = New RegExp
r.Pattern = "abc"
r.IgnoreCase = True
Note CStr(r.Test("xABCx"))
'=> True

'@ Replace with groups
Dim r
Set r = New RegExp
r.Pattern = "(\w+) (\w+)"
Note r.Replace("hello world", "$2 $1")
'=> world hello

'@ Replace, Global
Dim r
Set r = New RegExp
r.Pattern = "o"
r.Global = True
Note r.Replace("foo boo", "0")
'=> f00 b00

'@ Multiline anchors
Dim r
Set r = New RegExp
r.Pattern = "^b"
r.Multiline = True
r.Global = True
Note r.Execute("a" & vbLf & "b" & vbLf & "b").Count
'=> 2

'@ an unmatched group is Empty
Dim r, m
Set r = New RegExp
r.Pattern = "(a)|(b)"
Set m = r.Execute("b")
Note IsEmpty(m(0).SubMatches(0)) & " " & m(0).SubMatches(1)
'=> True b

'@ a bad pattern
Dim r
Set r = New RegExp
r.Pattern = "(a"
Note r.Test("a")
'=> #5017

'@ the defaults
Dim r
Set r = New RegExp
Note r.Pattern & "|" & r.Global & "|" & r.IgnoreCase & "|" & r.Multiline
'=> |False|False|False

'@ Replace with $& and $$
Dim r
Set r = New RegExp
r.Pattern = "b"
Note r.Replace("abc", "[$&$$]")
'=> a[b$]c

'@ the match's default value
Dim r
Set r = New RegExp
r.Pattern = "\d"
Note r.Execute("x7")(0)
'=> 7
