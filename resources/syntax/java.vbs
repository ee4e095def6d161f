' Java: comments (Javadoc /** */ apart, with its block tags), strings, text
' blocks, characters, numbers, keywords, types, library names and
' annotations. Braces fold.

Include "common.vbs"

Dim p, q, esc, doc, blk, lcom, tblock, str, chl
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:u+[0-9a-fA-F]{4}|[0-7]{1,3}|.)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "@(?:author|deprecated|exception|param|return|see|serial|serialData|serialField|since|throws|version|apiNote|implNote|implSpec)\b|\{@\w+[^}]*\}", True)
doc.AddItem p.CreateItem(9, "</?\w+[^>]*>", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)

' Text blocks """ ... """ span lines
Set tblock = p.CreateRegion(3, q & q & q, "(?:[^" & q & "\\]|\\.|" & q & "(?!" & q & q & "))*" & q & q & q, True)
tblock.AddItem p.CreateItem(4, esc, True)
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
Set chl = p.CreateRegion(4, "'(?=(?:[^'\\]|\\.)+')", "(?:[^'\\]|\\.)*'", True)

p.AddRegion doc
p.AddRegion blk
p.AddRegion lcom
p.AddRegion tblock
p.AddRegion str
p.AddRegion chl

p.AddItem p.CreateItem(5, Words("abstract assert break case catch class const continue default do else enum " & _
    "extends final finally for goto if implements import instanceof interface native new package private " & _
    "protected public return static strictfp super switch synchronized this throw throws transient try " & _
    "volatile while var record sealed permits non-sealed yield module requires exports opens uses provides " & _
    "with to transitive"), True)
p.AddItem p.CreateItem(12, Words("void boolean byte char short int long float double String Object Integer " & _
    "Long Short Byte Character Boolean Double Float Number Math StringBuilder List ArrayList LinkedList Map " & _
    "HashMap TreeMap LinkedHashMap Set HashSet TreeSet Collection Collections Arrays Iterator Iterable " & _
    "Optional Stream Collectors Exception RuntimeException IOException IllegalArgumentException " & _
    "IllegalStateException NullPointerException Thread Runnable Class Override"), True)
p.AddItem p.CreateItem(14, Words("true false null System out err println printf length size equals hashCode " & _
    "toString"), True)
p.AddItem p.CreateItem(13, "@\s*[A-Za-z_][\w.]*", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+(?:\.[0-9a-fA-F_]*)?(?:[pP][+-]?\d+)?|0[bB][01_]+|" & _
    "\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)[lLfFdD]?\b|(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?[fFdD]?\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
