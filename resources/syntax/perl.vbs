' Perl: comments, POD blocks, the data after __END__, strings with
' interpolated variables, quote-like operators (q, qq, qw, qx, m, qr, s, tr,
' y) with any delimiter, regular expressions, here-documents, formats,
' variables, numbers, keywords and built-in functions. Braces fold.

Include "common.vbs"

Dim p, q, esc, vars, reBefore, notOp, delim, word, hdRest
Dim varItem, escItem, kwItem, biItem, typeItem, allVarItem, numItem, globItem
Dim pod, dat, pod2, heredoc, fmt, rest
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{1,2}|x\{[0-9a-fA-F]+\}|N\{[^}]*\}|[0-7]{1,3}|c.|.)"
vars = "[$@]\{?\^?[A-Za-z_]\w*(?:::\w+)*\}?(?:->)?(?:\[[^\]]*\]|\{[^}]*\})?|\$[0-9&_]"
' A slash begins a pattern where an operand is expected: after an operator or
' an opening bracket, or after a word that takes one (not a variable's name)
reBefore = "(?<=(?:[=~(\[{,;!&|?:]|(?<![$@%])\b(?:split|if|unless|elsif|and|or|not|xor|return|grep|" & _
    "map|when|while|until|push|unshift))\s*)"
' A quote-like operator is no part of a name, variable, method, sub name,
' package name or escape (\s); its delimiter follows at once or after spaces
' (after spaces a # begins a comment), and "=>" makes it a hash key
notOp = "(?<![$@%&*:#'\\-]|->|\bsub\s{1,20})\b"
delim = "(?!\s*=>|::)(?:\s+[^\w\s#=,;)\]}>]|[^\w\s)\]}>])"
' The word of a here-document: "WORD", 'WORD', \WORD or WORD
word = "(?:\s*" & q & "([^" & q & "]*)" & q & "|([A-Za-z_]\w*))"

Set varItem = p.CreateItem(15, vars, True)
Set escItem = p.CreateItem(4, esc, True)
Set kwItem = p.CreateItem(5, Words("my our local state sub if elsif else unless while until for foreach do last " & _
    "next redo goto return package use no require BEGIN END INIT CHECK UNITCHECK and or not xor eq ne lt gt " & _
    "le ge cmp x given when default continue"), True)
Set biItem = p.CreateItem(14, Words("print printf say chomp chop chr ord die warn defined undef delete each exists " & _
    "exit join keys values lc uc lcfirst ucfirst length map grep open close binmode eof push pop shift " & _
    "unshift splice split sprintf substr index rindex wantarray ref bless scalar sort reverse time " & _
    "localtime gmtime sleep abs int sqrt hex oct rand srand eval do local wait system exec fork kill " & _
    "opendir readdir closedir mkdir rmdir unlink rename chdir stat lstat sprintf pos quotemeta lock " & _
    "croak carp confess STDIN STDOUT STDERR ARGV ENV __FILE__ __LINE__ __PACKAGE__ __SUB__ __DATA__ __END__"), True)
Set typeItem = p.CreateItem(12, "\b[A-Z][A-Za-z0-9]*(?:::[A-Za-z_]\w*)+\b", True)
Set allVarItem = p.CreateItem(15, "[$@%]\{?\^?[A-Za-z_]\w*(?:::\w+)*\}?|\$#\{?\$?[A-Za-z_]\w*\}?|" & _
    "\$[0-9!@&`'" & q & "+_./\\,;<>\[\]#]|@_", True)
Set numItem = p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)\b", True)
' <STDIN>, <$fh>, <Pkg::DATA>, <>: the line input operator (painted first: the
' handle inside keeps its colour)
Set globItem = p.CreateItem(4, "<\$?[A-Za-z_][\w:]*>|<>", True)

' The code rules of the root and of the rest of a here-document's first line
Sub AddCode(parent, multiLine)
    Dim r
    ' $" $' $` and $# are variables, *" a glob (a backslash outside strings
    ' takes a reference: \"text" is a string)
    parent.AddRegion p.CreateSkip("\$[#" & q & "'`]|(?<![\w)\]}]\s*)\*[" & q & "'`]", True)
    parent.AddRegion p.CreateRegion(1, "#", "", True)
    Set r = p.CreateStringRegion(3, q, "\", multiLine)
    r.AddItem escItem
    r.AddItem varItem
    parent.AddRegion r
    Set r = p.CreateStringRegion(3, "'", "\", multiLine)
    r.AddItem p.CreateItem(4, "\\[\\']", True)
    parent.AddRegion r
    Set r = p.CreateStringRegion(4, "`", "\", multiLine)
    r.AddItem varItem
    parent.AddRegion r
    ' q and qw interpolate nothing; qq, qx, m, qr and s do
    parent.AddRegion p.CreateQuoteRegion(3, notOp & "(?:q|qw)" & delim, "\", 1)
    Set r = p.CreateQuoteRegion(3, notOp & "(?:qq|qx)" & delim, "\", 1)
    r.AddItem varItem
    parent.AddRegion r
    Set r = p.CreateQuoteRegion(4, notOp & "(?:m|qr)" & delim, "\", 1)
    r.AddItem varItem
    r.Suffix "[msixpodualngc]+"
    parent.AddRegion r
    Set r = p.CreateQuoteRegion(4, notOp & "s" & delim, "\", 2)
    r.AddItem varItem
    r.Suffix "[msixpodualngcer]+"
    parent.AddRegion r
    Set r = p.CreateQuoteRegion(4, notOp & "(?:tr|y)" & delim, "\", 2)
    r.Suffix "[cdsr]+"
    parent.AddRegion r
    ' /pattern/ where an operand is expected; at a line's start when it closes
    ' on its line or goes on with no space (/^..., else it is a division that
    ' continues a statement)
    Set r = p.CreateQuoteRegion(4, reBefore & "/", "\", 1)
    r.AddItem varItem
    r.Suffix "[msixpodualngc]+"
    parent.AddRegion r
    Set r = p.CreateQuoteRegion(4, "^\s*/(?=(?:[^/\\]|\\.)*/|[^\s\d$@/=])", "\", 1)
    r.AddItem varItem
    r.Suffix "[msixpodualngc]+"
    parent.AddRegion r
    parent.AddItem globItem
    parent.AddItem kwItem
    parent.AddItem biItem
    parent.AddItem typeItem
    parent.AddItem allVarItem
    parent.AddItem numItem
End Sub

' POD documentation (its own copy after __END__) and the data section
Set pod = p.CreateRegion(2, "^=[a-zA-Z]\w*", "^=cut\b.*", True)
pod.AddItem p.CreateItem(8, "^=(?:head\d|item|over|back|pod|begin|end|for|encoding)\b.*", True)
Set dat = p.CreateRegion(1, "^__(?:END|DATA)__\b", "[^\s\S]", True)
Set pod2 = p.CreateRegion(2, "^=[a-zA-Z]\w*", "^=cut\b.*", True)
pod2.AddItem p.CreateItem(8, "^=(?:head\d|item|over|back|pod|begin|end|for|encoding)\b.*", True)
dat.AddRegion pod2
p.AddRegion pod
p.AddRegion dat

' Here-documents up to the line that holds only their word (indented after
' <<~); <<'WORD' and <<\WORD interpolate nothing. The rest of the line that
' begins one is code.
hdRest = "(?<=<<~?(?:\s*" & q & "[^" & q & "]*" & q & "|\s*'[^']*'|\\?[A-Za-z_]\w*))[\s;,.)}\]]"
Set rest = p.CreateRegion(0, hdRest, "", True)
AddCode rest, False
Set heredoc = p.CreateMatchedRegion(4, "<<" & word, "^\1\2$", True)
heredoc.AddItem varItem
heredoc.AddRegion rest
p.AddRegion heredoc
Set heredoc = p.CreateMatchedRegion(4, "<<~" & word, "^\s*\1\2$", True)
heredoc.AddItem varItem
heredoc.AddRegion rest
p.AddRegion heredoc
Set heredoc = p.CreateMatchedRegion(4, "<<(?:\s*'([^']*)'|\\([A-Za-z_]\w*))", "^\1\2$", True)
heredoc.AddRegion rest
p.AddRegion heredoc
Set heredoc = p.CreateMatchedRegion(4, "<<~(?:\s*'([^']*)'|\\([A-Za-z_]\w*))", "^\s*\1\2$", True)
heredoc.AddRegion rest
p.AddRegion heredoc

' A format's picture lines up to the line that holds only "."
Set fmt = p.CreateRegion(4, "^\s*format\b[^=#]*=\s*$", "^\.$", True)
fmt.AddItem varItem
p.AddRegion fmt

AddCode p, True

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
