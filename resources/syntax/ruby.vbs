' Ruby: comments and =begin/=end blocks, strings with #{...}, percent
' literals, regular expressions, here-documents, symbols, numbers, keywords,
' constants, variables and built-in methods. Blocks fold from def, class,
' module, do, begin, case, if, unless, while, until and for to their end,
' and on braces.

Include "common.vbs"

Dim p, q, esc, interp, reBefore, blkc, lcom, dat, heredoc, str1, str2, rx, rxLines, pct, opens, closes, i, r, o, c, body
Dim hole, inner1, inner2, cmd
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{1,2}|u[0-9a-fA-F]{4}|u\{[0-9a-fA-F ]+\}|[0-7]{1,3}|.)"
interp = "#\{[^}]*\}|#[@$]\w+"
reBefore = "(?<=(?:^|[=(,;!&|?{\[~]|\b(?:if|unless|when|and|or|not|return|split|match|scan|sub|gsub))\s*)"

' Comments, =begin ... =end and the data after __END__
Set blkc = p.CreateRegion(1, "^=begin\b", "^=end\b.*", True)
Set lcom = p.CreateRegion(1, "+#+", "", True)
Set dat = p.CreateRegion(1, "^__END__$", "[^\s\S]", True)

' Here-documents: from <<ID, <<-ID or <<~ID (an upper-case name) to the line
' that holds only an upper-case name
Set heredoc = p.CreateRegion(4, "<<[~-]?(?=['" & q & "`]?[A-Z_])['" & q & "`]?[A-Z_][A-Z0-9_]*['" & q & "`]?", "^\s*[A-Z_][A-Z0-9_]*\s*$", True)
heredoc.AddItem p.CreateItem(15, interp, True)

' A global named by a quote ($" $' $`) opens no string
p.AddRegion p.CreateSkip("\$[" & q & "'`]", True)

' An interpolation in a double-quoted string is code: it may hold strings
' (with interpolations of their own) and braces, counted to its end
Set hole = p.CreateQuoteRegion(15, "#(\{)", "", 1)
Set inner1 = p.CreateStringRegion(3, q, "\", False)
inner1.AddItem p.CreateItem(4, esc, True)
inner1.AddItem p.CreateItem(15, interp, True)
Set inner2 = p.CreateStringRegion(3, "'", "\", False)
inner2.AddItem p.CreateItem(4, "\\[\\']", True)
hole.AddRegion inner1
hole.AddRegion inner2

' Strings may span lines
Set str1 = p.CreateStringRegion(3, q, "\", True)
str1.AddItem p.CreateItem(4, esc, True)
str1.AddRegion hole
str1.AddItem p.CreateItem(15, "#[@$]\w+", True)
' Commands in backquotes interpolate as double-quoted strings do
Set cmd = p.CreateStringRegion(3, "`", "\", False)
cmd.AddItem p.CreateItem(4, esc, True)
cmd.AddRegion hole
Set str2 = p.CreateStringRegion(3, "'", "\", True)
str2.AddItem p.CreateItem(4, "\\[\\']", True)
Set rx = p.CreateRegion(4, reBefore & "/(?!=)(?=(?:[^/\\]|\\.)*/)", "(?:[^/\\]|\\.)*/[imxounse]*", True)
rx.AddItem p.CreateItem(15, interp, True)
' A / that ends its line after = ( , and the like opens a regular expression
' over lines (usually with /x)
Set rxLines = p.CreateRegion(4, reBefore & "/(?=\s*$)", "(?<!\\)/[imxounse]*", True)
rxLines.AddItem p.CreateItem(4, "\\.", True)
rxLines.AddItem p.CreateItem(15, interp, True)

p.AddRegion blkc
p.AddRegion dat
p.AddRegion lcom
p.AddRegion heredoc
p.AddRegion str1
p.AddRegion str2
p.AddRegion cmd
p.AddRegion rx
p.AddRegion rxLines

' Percent literals %w[...], %i(...), %q{...}, %r{...} and the like
opens = "[({<|!/"
closes = "])}>|!/"
For i = 1 To Len(opens)
    o = "\" & Mid(opens, i, 1)
    c = "\" & Mid(closes, i, 1)
    ' Bracket pairs may nest one level deep
    If o = c Then
        body = "(?:[^\\" & c & "]|\\.)*"
    Else
        body = "(?:[^\\" & o & c & "]|\\.|" & o & "[^" & o & c & "]*" & c & ")*"
    End If
    Set r = p.CreateRegion(3, "%[qQwWiIrsx]?" & o, body & c & "[imxounse]*", True)
    r.AddItem p.CreateItem(15, interp, True)
    p.AddRegion r
Next

' Keywords, except as method names after a dot
p.AddItem p.CreateItem(5, "(?<![.:])" & Words("BEGIN END alias and begin break case class def defined do else elsif end " & _
    "ensure for if in module next not or redo rescue retry return self super then undef unless until " & _
    "when while yield __method__ __FILE__ __LINE__ __dir__") & "|\bdefined\?", True)
p.AddItem p.CreateItem(12, "\b[A-Z]\w*", True)
p.AddItem p.CreateItem(14, Words("true false nil puts print p pp require require_relative load attr_accessor " & _
    "attr_reader attr_writer include extend prepend raise fail lambda proc loop private protected public " & _
    "module_function format sprintf printf gets catch throw block_given\? new initialize freeze"), True)
p.AddItem p.CreateItem(15, "@@?\w+|\$(?:\w+|[!@&`'+~=/\\,;.<>_*$?:" & q & "])", True)
p.AddItem p.CreateItem(4, "(?<![:\w]):(?:[A-Za-z_]\w*[?!=]?|" & q & "(?:[^" & q & "\\]|\\.)*" & q & ")|\b[A-Za-z_]\w*[?!]?:(?=\s)(?!:)", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|0[oO]?[0-7_]+|\d[\d_]*(?:\.\d[\d_]*)?(?:[eE][+-]?\d+)?)[ri]?\b", True)

' Folding
' An endless method (def name(args) = expr) has no end
p.FoldText "(?<![.:])\b(?:def\b(?!\s+[\w.]+[?!]?(?:\([^)]*\)\s*|\s+)=(?![=~>(]))|class\b|module\b|do\b|begin\b|case\b)|^\s*(?:if|unless)\b|^\s*(?:while|until|for)\b(?!.*\bdo\b)|" & _
    "(?<==\s{0,8})(?:if|unless)\b|\{", True
p.UnfoldText "(?<![.:])\bend\b|\}", True
