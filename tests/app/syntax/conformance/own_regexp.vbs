' Regular expressions where the system engine under Wine cannot follow: a
' global search whose pattern matches the empty text (it never ends there),
' characters beyond ASCII made with ChrW.
'! own: only our engine runs these.

'@ ignore case and multiline change the match 4
Set re = New RegExp
re.Pattern = "a.b" : For Each c In Array(vbCr, vbLf, ChrW(&H2028), " ", ChrW(&HD83D) & ChrW(&HDE00))
Write re.Test("a" & c & "b") : re.Multiline = Not re.Multiline : Next
re.Pattern = "[.]" : Write re.Test("a"), re.Test(".")
'=> False | False | False | True | True | False,True

'@ empty matches move on so global ends 1
Set re = New RegExp
re.Pattern = "x*" : re.Global = True : Set ms = re.Execute("abc") : Write ms.Count
For Each m In ms : Write m.FirstIndex & ":" & m.Length : Next
Write re.Replace("abc", "-")
'=> 4 | 0:0 | 1:0 | 2:0 | 3:0 | -a-b-c-

'@ empty matches move on so global ends 2
Set re = New RegExp
re.Pattern = "a*" : re.Global = True : Write re.Replace("baac", "-"), re.Execute("").Count
'=> -b--c-,1

' The system engine under Wine hangs on this one.
'@ a search too complex ends with an error 1
Set re = New RegExp
re.Pattern = "(a|aa)+$" : Write re.Test(String(60, "a") & "b")
'=> #28@2:26 The regular expression is too complex to search this text
