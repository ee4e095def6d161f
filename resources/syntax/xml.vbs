' XML: elements with their names, attributes and values, comments, CDATA
' sections, processing instructions, the document type declaration and
' entity references; folds elements, and tags written over several lines.
Dim p, entity, tag, pi, dtd, subset, decl

Set p = Parser.CreateParser()
entity = "&(?:#\d+|#x[0-9a-fA-F]+|[A-Za-z_][\w.:-]*);"

' Attribute values (a region per parent: a region has one parent).
Function Value(quote)
    Dim s
    Set s = p.CreateStringRegion(3, quote, "", True)
    s.AddItem p.CreateItem(14, entity, True)
    Set Value = s
End Function

p.AddItem p.CreateItem(14, entity, True)
p.AddItem p.CreateItem(10, "&(?![#\w])", True)

p.AddRegion p.CreateRegion(1, "+<!--+", "+-->+", True)
p.AddRegion p.CreateRegion(4, "+<![CDATA[+", "+]]>+", True)

Set pi = p.CreateRegion(9, "+<?+", "+?>+", True)
pi.AddItem p.CreateItem(5, "(?<=<\?)[\w:.-]+", True)
pi.AddItem p.CreateItem(13, "(?<=\s)[\w:.-]+(?=\s*=)", True)
pi.AddRegion Value("""")
pi.AddRegion Value("'")
p.AddRegion pi

' A document type with an internal subset: its declarations up to "]>".
Set subset = p.CreateRegion(9, "<!DOCTYPE\b(?=[^>]*\[)", "\]\s*>", True)
subset.AddItem p.CreateItem(5, "(?<=<!)DOCTYPE\b|\b(?:PUBLIC|SYSTEM)\b", True)
subset.AddItem p.CreateItem(15, "%[\w.:-]+;", True)
Set decl = p.CreateRegion(9, "<!(?!DOCTYPE)(?=[A-Z])", ">", True)
decl.AddItem p.CreateItem(5, "(?<=<!)[A-Z]+|\b(?:PUBLIC|SYSTEM|EMPTY|ANY|CDATA|ID|IDREF|IDREFS|NMTOKEN|NMTOKENS|ENTITY|ENTITIES|NOTATION|NDATA)\b|#(?:PCDATA|REQUIRED|IMPLIED|FIXED)\b", True)
decl.AddItem p.CreateItem(15, "%[\w.:-]+;", True)
decl.AddRegion Value("""")
decl.AddRegion Value("'")
subset.AddRegion p.CreateRegion(1, "+<!--+", "+-->+", True)
subset.AddRegion decl
subset.AddRegion Value("""")
subset.AddRegion Value("'")
p.AddRegion subset

Set dtd = p.CreateRegion(9, "<!(?=[A-Z])", ">", True)
dtd.AddItem p.CreateItem(5, "(?<=<!)[A-Z]+|\b(?:PUBLIC|SYSTEM|EMPTY|ANY|CDATA|ID|IDREF|IDREFS|NMTOKEN|NMTOKENS|ENTITY|ENTITIES|NOTATION)\b|#(?:PCDATA|REQUIRED|IMPLIED|FIXED)\b", True)
dtd.AddRegion Value("""")
dtd.AddRegion Value("'")
p.AddRegion dtd

' Start, end and empty-element tags.
Set tag = p.CreateRegion(0, "</?(?=[A-Za-z_:])", "/?>", True)
tag.AddItem p.CreateItem(13, "(?<![^\s])[^\s""'<>/=]+", True)
tag.AddItem p.CreateItem(5, "(?<=</?)[\w:.-]+", True)
tag.AddItem p.CreateItem(9, "</?|/?>", True)
tag.AddRegion Value("""")
tag.AddRegion Value("'")
' The last line of an empty-element tag written over several lines closes
' both the element and the tag's own lines: two marks, found only on a line
' that begins inside the tag (no "<" before them on the line); on the tag's
' own line the root counts its "/>".
tag.UnfoldText "(?<=^(?:[^<>/]|/(?!>))*)(?:[^<>/]|/(?!>))+(?=/>)|(?<=^(?:[^<>/]|/(?!>))*)/>", True
p.AddRegion tag

' Every start tag opens an element; one that goes on past its line also
' folds its own lines (a second mark), closed by the line state where the
' tag ends. An empty-element end on the tag's line closes the element.
p.FoldText "<(?=[A-Za-z_:][^>]*$)|(?<=<)[A-Za-z_:]", True
p.UnfoldText "</[A-Za-z_:]|/>", True
