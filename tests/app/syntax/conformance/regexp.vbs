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

'@ properties have defaults and keep what is set 1
Set re = New RegExp
Write TypeName(re), "[" & re.Pattern & "]", re.IgnoreCase, re.Global, re.Multiline
'=> IRegExp2,[],False,False,False

'@ properties have defaults and keep what is set 2
Set re = New RegExp
re.pattern = 12 : RE.GLOBAL = 1 : re.ignorecase = True : re.Multiline = "True"
Write TypeName(re.Pattern), re.Pattern, re.Global, re.IgnoreCase, re.Multiline
'=> String,12,True,True,True

'@ properties have defaults and keep what is set 3
Set re = New RegExp
Set a = New RegExp : a.Pattern = "x" : Write re.Pattern = "", a Is re
'=> True,False

'@ properties have defaults and keep what is set 4
Set re = New RegExp
re.Frobnicate
'=> #438@2:0 Object doesn't support this property or method

'@ test answers whether the pattern matches 1
Set re = New RegExp
re.Pattern = "b+c" : Write re.Test("abbbcd"), re.Test("acd"), re.Test("")
'=> True,False,False

'@ test answers whether the pattern matches 2
Set re = New RegExp
Write re.Test("anything"), re.Test("")
'=> True,True

'@ test answers whether the pattern matches 3
Set re = New RegExp
re.Pattern = "\d{3}-\w+" : Write re.Test("tel 555-abc"), re.Test("55-abc")
'=> True,False

'@ test answers whether the pattern matches 4
Set re = New RegExp
re.Pattern = "a" : Write re.Test("b") : re.Pattern = "b" : Write re.Test("b")
'=> False | True

'@ execute finds the first match or with global all 1
Set re = New RegExp
re.Pattern = "[0-9]+"
Set ms = re.Execute("a1 b22 c333")
Write TypeName(ms), ms.Count
For i = 0 To ms.Count - 1 : Set m = ms.Item(i) : Write TypeName(m), m.Value, m.FirstIndex, m.Length : Next

'=> IMatchCollection2,1 | IMatch2,1,1,1

'@ execute finds the first match or with global all 2
Set re = New RegExp
re.Pattern = "[0-9]+" : re.Global = True
Set ms = re.Execute("a1 b22 c333")
Write TypeName(ms), ms.Count
For i = 0 To ms.Count - 1 : Set m = ms.Item(i) : Write TypeName(m), m.Value, m.FirstIndex, m.Length : Next

'=> IMatchCollection2,3 | IMatch2,1,1,1 | IMatch2,22,4,2 | IMatch2,333,8,3

'@ execute finds the first match or with global all 3
Set re = New RegExp
re.Pattern = "z" : re.Global = True
Set ms = re.Execute("a1 b22 c333")
Write TypeName(ms), ms.Count
For i = 0 To ms.Count - 1 : Set m = ms.Item(i) : Write TypeName(m), m.Value, m.FirstIndex, m.Length : Next

'=> IMatchCollection2,0

'@ execute finds the first match or with global all 4
Set re = New RegExp
re.Pattern = "\w+" : re.Global = True : Set ms = re.Execute("one two")
Write ms(1), ms(0).Value & "!" : x = ms(1) : Write x
'=> two,one! | two

'@ execute finds the first match or with global all 5
Set re = New RegExp
re.Pattern = "\w+" : Set ms = re.Execute("one") : Write ms(1)
'=> #5@2:50 Invalid procedure call or argument

'@ execute finds the first match or with global all 6
Set re = New RegExp
re.Pattern = "\w+" : Set ms = re.Execute("one") : ms(0).Value = "x"
'=> #438@2:50 Object doesn't support this property or method

'@ for each walks matches and sub matches 1
Set re = New RegExp
re.Pattern = "(\w)(\d)?" : re.Global = True
For Each m In re.Execute("a1 b")
  Set s = m.SubMatches : Write m, TypeName(s), s.Count, s(0), s.Item(1), IsEmpty(s(1))
  For Each g In s : Write "[" & g & "]" : Next
Next
'=> a1,ISubMatches,2,a,1,False | [a] | [1] | b,ISubMatches,2,b,,True | [b] | []

'@ for each walks matches and sub matches 2
Set re = New RegExp
re.Pattern = "a(x*)b" : Set m = re.Execute("ab")(0) : Write IsEmpty(m.SubMatches(0)), Len(m.SubMatches(0))
'=> False,0

'@ for each walks matches and sub matches 3
Set re = New RegExp
re.Pattern = "a" : Write re.Execute("a")(0).SubMatches.Count
'=> 0

'@ replace expands groups and the match 1
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)" : Write re.Replace("me@home you@work", "$2 at $1")
'=> home at me you@work

'@ replace expands groups and the match 2
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)" : re.Global = True
Write re.Replace("me@home you@work", "$2 at $1")
'=> home at me work at you

'@ replace expands groups and the match 3
Set re = New RegExp
re.Pattern = "b" : re.Global = True : Write re.Replace("abcb", "[$&|$`|$'|$$|$9|$0|$]")
'=> a[b|a|cb|$|$9|$0|$]c[b|abc||$|$9|$0|$]

'@ replace expands groups and the match 4
Set re = New RegExp
re.Pattern = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)" : Write re.Replace("abcdefghijk", "$11-$12")
'=> k-a2

'@ replace expands groups and the match 5
Set re = New RegExp
re.Pattern = "x(y)?" : Write re.Replace("axb", "<$1>"), re.Replace("ab", "-")
'=> a<>b,ab

'@ ignore case and multiline change the match 1
Set re = New RegExp
re.Pattern = "hello" : Write re.Test("Say HELLO") : re.IgnoreCase = True : Write re.Test("Say HELLO")
'=> False | True

'@ ignore case and multiline change the match 2
Set re = New RegExp
t = "one" & vbCrLf & "two" & vbLf & "three" & vbCrLf
re.Global = True
re.Pattern = "^\w+" : Set a = re.Execute(t)
re.Pattern = "\w+$" : Set b = re.Execute(t)
Write a.Count, b.Count
For Each m In a : Write m : Next
For Each m In b : Write m : Next
re.Pattern = "e$" : Write re.Test("one"), re.Test("one" & vbLf), re.Test("ex")

'=> 1,0 | one | True,False,False

'@ ignore case and multiline change the match 3
Set re = New RegExp
re.Multiline = True
t = "one" & vbCrLf & "two" & vbLf & "three" & vbCrLf
re.Global = True
re.Pattern = "^\w+" : Set a = re.Execute(t)
re.Pattern = "\w+$" : Set b = re.Execute(t)
Write a.Count, b.Count
For Each m In a : Write m : Next
For Each m In b : Write m : Next
re.Pattern = "e$" : Write re.Test("one"), re.Test("one" & vbLf), re.Test("ex")

'=> 3,3 | one | two | three | one | two | three | True,True,False

'@ ignore case and multiline change the match 5
Set re = New RegExp
re.Pattern = "[$]\$" : Write re.Replace("a$$b", "D")
'=> aDb

'@ ignore case and multiline change the match 6
Set re = New RegExp
re.Pattern = "\Q$.\E(?#$.)x$" : Write re.Test("$.x"), re.Test("$ax"), re.Test("$.x" & vbLf)
'=> True,False,False

'@ malformed patterns raise a catchable error 1
Set re = New RegExp
re.Pattern = "(a" : Write "set" : re.Test "a"
'=> set | #5017@2:34 Syntax error in regular expression: missing ')' at 2

'@ malformed patterns raise a catchable error 2
Set re = New RegExp
re.Pattern = "a)" : Write "set" : re.Test "a"
'=> set | #5017@2:34 Syntax error in regular expression: unbalanced ')' at 1

'@ malformed patterns raise a catchable error 3
Set re = New RegExp
re.Pattern = "[a" : Write "set" : re.Test "a"
'=> set | #5017@2:34 Syntax error in regular expression: unterminated '[' at 2

'@ malformed patterns raise a catchable error 4
Set re = New RegExp
re.Pattern = "*a" : Write "set" : re.Test "a"
'=> set | #5017@2:34 Syntax error in regular expression: quantifier without an atom at 1

'@ malformed patterns raise a catchable error 5
Set re = New RegExp
re.Pattern = "a\" : Write "set" : re.Test "a"
'=> set | #5017@2:34 Syntax error in regular expression: a pattern cannot end in a backslash at 2

'@ malformed patterns raise a catchable error 6
Set re = New RegExp
On Error Resume Next
re.Pattern = "(a" : Set ms = re.Execute("a")
Write Err.Number, Left(Err.Description, 34), IsEmpty(ms) : Err.Clear
x = re.Replace("a", "b") : Write Err.Number
re.Pattern = "(a)" : Err.Clear : Write re.Replace("a", "<$1>"), Err.Number
'=> 5017,Syntax error in regular expression,True | 5017 | <a>,0

'@ malformed patterns raise a catchable error 7
Set re = New RegExp
re.Pattern = "..$)" : re.Test ""
'=> #5017@2:22 Syntax error in regular expression: unbalanced ')' at 3


'@ the built in comes before a script class named reg exp 1
Set re = New RegExp
Class RegExp
  Public Pattern
  Private Sub Class_Initialize : Pattern = "mine" : End Sub
End Class
Set r2 = New RegExp : Write r2.Pattern, TypeName(r2)
'=> ,IRegExp2

'@ the built in comes before a script class named reg exp 2
Set re = New RegExp
Set x = New RegExpNot
'=> #506@2:0 Class not defined: 'RegExpNot'

'@ matches, groups, flags and replacements alike on both engines
Set re = New RegExp : re.Pattern = "[0-9]+" : re.Global = True
Set ms = re.Execute("a1 b22 c333") : Note ms.Count
For Each mt In ms : Note mt.Value & "@" & mt.FirstIndex : Next
Note re.Replace("a1 b22", "#") & re.Test("xyz")
re.Pattern = "(\w+)@(\w+)(!)?" : Set m = re.Execute("me@home you@work!")(1)
Note m & " " & m.Length & " " & m.SubMatches.Count & m.SubMatches(0) & m.SubMatches(2)
Note re.Replace("me@home you@work", "$2.$1[$&]$$")
re.Pattern = "^B\w*$" : t = "ab" & vbLf & "bc" & vbLf & "Bd"
Note re.Execute(t).Count & re.Test("bd")
re.IgnoreCase = True : Note re.Execute(t).Count & re.Test("bd")
re.Multiline = True : Note re.Execute(t).Count & Replace(re.Replace(t, "<$&>"), vbLf, "/")
Set r = New RegExp : r.Pattern = "b$" : Note r.Test("ab" & vbLf) & r.Test("ab" & vbCrLf) & r.Test("ab")
r.Pattern = "a.b" : Note r.Test("a" & vbCr & "b") & r.Test("a" & vbLf & "b") & r.Test("a b")
r.Pattern = "\u0041(x)" : Note r.Replace("Ax", "[$0|$10|$1|$2|$")
r.Pattern = "[a-c]+" : r.IgnoreCase = True : Note r.Execute("xxABCabcD")(0).Length
r.Pattern = "(\w)\1|a+?(?=c)|\bq" : r.Global = True : Note r.Replace("xaac bbq aq q", "<$&>")
'=> 3 | 1@1 | 22@4 | 333@8 | a# b#False | you@work! 9 3you! | home.me[me@home]$ work.you[you@work]$ | 0False | 0True | 2ab/<bc>/<Bd> | FalseFalseTrue | FalseFalseTrue | [$0|x0|x|$2|$ | 6 | x<aa>c <bb>q aq <q>
