' Kotlin: comments (KDoc /** */ apart, with its tags), strings and raw
' strings """ with their templates $name and ${...}, characters, numbers,
' keywords, types, built-in functions and annotations. Braces fold.

Include "common.vbs"

Dim p, q, esc, tmpl, doc, blk, lcom, raw, str, chl
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:u[0-9a-fA-F]{4}|.)"
tmpl = "\$(?:[A-Za-z_]\w*|\{[^}]*\})"

Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "@\w+|\[[^\]]*\]", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
' Raw strings span lines
Set raw = p.CreateRegion(3, q & q & q, q & q & q & "(?!" & q & ")", True)
raw.AddItem p.CreateItem(15, tmpl, True)
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
str.AddItem p.CreateItem(15, tmpl, True)
Set chl = p.CreateRegion(4, "'(?=(?:[^'\\]|\\(?:u....|.))')", "(?:[^'\\]|\\.)*'", True)

p.AddRegion doc
p.AddRegion blk
p.AddRegion lcom
p.AddRegion raw
p.AddRegion str
p.AddRegion chl

p.AddItem p.CreateItem(5, Words("as break class continue do else for fun if in interface is object package " & _
    "return super this throw try typealias typeof val var when while by catch constructor finally get " & _
    "import init set where abstract actual expect " & _
    "annotation companion const crossinline data enum expect external final infix inline inner internal " & _
    "lateinit noinline open operator out override private protected public reified sealed suspend tailrec " & _
    "vararg") & "|\bvalue(?=\s+class\b)", True)
p.AddItem p.CreateItem(12, Words("Any Unit Nothing Boolean Byte Short Int Long Float Double Char String " & _
    "Number Array IntArray ByteArray CharArray LongArray DoubleArray List MutableList Set MutableSet Map " & _
    "MutableMap Collection Iterable Sequence Pair Triple Exception Throwable RuntimeException " & _
    "IllegalArgumentException IllegalStateException Comparable Lazy Result Regex StringBuilder"), True)
p.AddItem p.CreateItem(14, Words("true false null println print listOf mutableListOf setOf mutableSetOf mapOf " & _
    "mutableMapOf arrayOf emptyList emptyMap require requireNotNull check checkNotNull error lazy " & _
    "repeat run let apply also with takeIf TODO buildString"), True)
p.AddItem p.CreateItem(13, "@(?:\w+:)?[A-Za-z_][\w.]*", True)
' Labels loop@ and return@loop; the implicit parameter it
p.AddItem p.CreateItem(15, "\b[A-Za-z_]\w*@(?=\s)|(?<=\b(?:return|break|continue|this|super))@\w+|\bit\b", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)(?:[uU]?[lL]|[uU]|[fF])?\b|" & _
    "(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?[fF]?\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
