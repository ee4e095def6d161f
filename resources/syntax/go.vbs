' Go: comments, interpreted and raw strings, runes, numbers, keywords,
' predeclared types, constants and functions. Braces fold, and so do
' parenthesised import, const, var and type lists and argument lists that
' end their line.

Include "common.vbs"

Dim p, q, esc, blk, lcom, raw, str, rune
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|[0-7]{3}|.)"

Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
lcom.AddItem p.CreateItem(9, "^//go:\w+.*|^//\s*\+build\b.*", True)
' Raw strings span lines and know no escapes
Set raw = p.CreateStringRegion(3, "`", "", True)
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
str.AddItem p.CreateItem(4, "%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?[vTtbcdoOqxXUeEfFgGsp%]", True)
Set rune = p.CreateRegion(4, "'(?=(?:[^'\\]|\\.)+')", "(?:[^'\\]|\\.)*'", True)

p.AddRegion blk
p.AddRegion lcom
p.AddRegion raw
p.AddRegion str
p.AddRegion rune

p.AddItem p.CreateItem(5, Words("break case chan const continue default defer else fallthrough for func go " & _
    "goto if import interface map package range return select struct switch type var"), True)
p.AddItem p.CreateItem(12, Words("any bool byte comparable complex64 complex128 error float32 float64 int int8 " & _
    "int16 int32 int64 rune string uint uint8 uint16 uint32 uint64 uintptr"), True)
p.AddItem p.CreateItem(14, Words("true false iota nil append cap clear close complex copy delete imag len make " & _
    "max min new panic print println real recover"), True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]*\.?[0-9a-fA-F_]*(?:[pP][+-]?\d+)?|0[bB][01_]+|0[oO]?[0-7_]+|" & _
    "\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)i?\b|(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?i?\b", True)

' Braces and parenthesised lists fold.
p.FoldText "\{|\((?=\s*$)", True
p.UnfoldText "\}|^\s*\)", True
