' Perl: comments, POD blocks, the data after __END__, strings with
' interpolated variables, quote-like operators (q, qq, qw, qx, m, qr, s, tr,
' y), regular expressions, here-documents, variables, numbers, keywords and
' built-in functions. Braces fold.

Include "common.vbs"

Dim p, q, esc, vars, reBefore, pod, dat, lcom, heredoc, str1, str2, str3, rx, opens, closes, i, o, c, r, body
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{1,2}|x\{[0-9a-fA-F]+\}|N\{[^}]*\}|[0-7]{1,3}|c.|.)"
vars = "[$@]\{?\^?[A-Za-z_]\w*(?:::\w+)*\}?(?:->)?(?:\[[^\]]*\]|\{[^}]*\})?|\$[0-9&_]"
reBefore = "(?<=(?:^|[=~(,;!&|?{]|\b(?:split|if|unless|and|or|not|return|grep|map|when|while|until))\s*)"

' POD documentation, the data section and comments
Set pod = p.CreateRegion(2, "^=[a-zA-Z]\w*", "^=cut\b.*", True)
pod.AddItem p.CreateItem(8, "^=(?:head\d|item|over|back|pod|begin|end|for|encoding)\b.*", True)
Set dat = p.CreateRegion(1, "^__(?:END|DATA)__\s*$", "[^\s\S]", True)
Set lcom = p.CreateRegion(1, "(?<!\$)#", "", True)

' Here-documents up to the line that holds only their upper-case name
' (<<'NAME' interpolates nothing)
p.AddRegion p.CreateRegion(4, "<<~?'[A-Z_][A-Z0-9_]*'", "^\s*[A-Z_][A-Z0-9_]*\s*$", True)
Set heredoc = p.CreateRegion(4, "<<~?(?:" & q & "[A-Z_][A-Z0-9_]*" & q & "|[A-Z_][A-Z0-9_]*)", "^\s*[A-Z_][A-Z0-9_]*\s*$", True)
heredoc.AddItem p.CreateItem(15, vars, True)

' Strings may span lines
Set str1 = p.CreateStringRegion(3, q, "\", True)
str1.AddItem p.CreateItem(4, esc, True)
str1.AddItem p.CreateItem(15, vars, True)
Set str2 = p.CreateStringRegion(3, "'", "\", True)
str2.AddItem p.CreateItem(4, "\\[\\']", True)
Set str3 = p.CreateStringRegion(4, "`", "\", True)
str3.AddItem p.CreateItem(15, vars, True)
Set rx = p.CreateRegion(4, reBefore & "/(?=(?:[^/\\]|\\.)*/)", "(?:[^/\\]|\\.)*/[msixpodualngcer]*", True)
rx.AddItem p.CreateItem(15, vars, True)

p.AddRegion pod
p.AddRegion dat
p.AddRegion lcom
p.AddRegion heredoc
p.AddRegion str1
p.AddRegion str2
p.AddRegion str3
p.AddRegion rx

' Quote-like operators with the delimiters / { ( [ | !
opens = "/{([|!"
closes = "/})]|!"
For i = 1 To Len(opens)
    o = "\" & Mid(opens, i, 1)
    c = "\" & Mid(closes, i, 1)
    ' Bracket pairs may nest one level deep
    If o = c Then
        body = "(?:[^\\" & c & "]|\\.)*"
    Else
        body = "(?:[^\\" & o & c & "]|\\.|" & o & "[^" & o & c & "]*" & c & ")*"
    End If
    ' q, qq, qw, qx: strings
    Set r = p.CreateRegion(3, "\b(?:q|qq|qw|qx)\s*" & o, body & c, True)
    r.AddItem p.CreateItem(15, vars, True)
    p.AddRegion r
    ' m and qr: patterns
    Set r = p.CreateRegion(4, "\b(?:m|qr)\s*" & o, body & c & "[msixpodualngc]*", True)
    r.AddItem p.CreateItem(15, vars, True)
    p.AddRegion r
    ' s, tr, y: pattern and replacement
    If o = c Then
        Set r = p.CreateRegion(4, "\b(?:s|tr|y)\s*" & o, body & c & body & c & "[msixpodualngcerd]*", True)
    Else
        Set r = p.CreateRegion(4, "\b(?:s|tr|y)\s*" & o, body & c & "\s*" & o & body & c & "[msixpodualngcerd]*", True)
    End If
    r.AddItem p.CreateItem(15, vars, True)
    p.AddRegion r
Next

p.AddItem p.CreateItem(5, Words("my our local state sub if elsif else unless while until for foreach do last " & _
    "next redo goto return package use no require BEGIN END INIT CHECK UNITCHECK and or not xor eq ne lt gt " & _
    "le ge cmp x given when default continue"), True)
p.AddItem p.CreateItem(14, Words("print printf say chomp chop chr ord die warn defined undef delete each exists " & _
    "exit join keys values lc uc lcfirst ucfirst length map grep open close binmode eof push pop shift " & _
    "unshift splice split sprintf substr index rindex wantarray ref bless scalar sort reverse time " & _
    "localtime gmtime sleep abs int sqrt hex oct rand srand eval do local wait system exec fork kill " & _
    "opendir readdir closedir mkdir rmdir unlink rename chdir stat lstat sprintf pos quotemeta lock " & _
    "croak carp confess STDIN STDOUT STDERR ARGV ENV __FILE__ __LINE__ __PACKAGE__ __SUB__ __DATA__ __END__"), True)
p.AddItem p.CreateItem(12, "\b[A-Z][A-Za-z0-9]*(?:::[A-Za-z_]\w*)+\b", True)
p.AddItem p.CreateItem(15, "[$@%]\{?\^?[A-Za-z_]\w*(?:::\w+)*\}?|\$#\{?\$?[A-Za-z_]\w*\}?|\$[0-9!@&`+_./\\,;<>\[\]]|@_", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
