' HTML: elements with their names, attributes and values, comments, the
' document type, entity references, and the scripts and style sheets inside
' script and style elements; folds elements (not the void ones), tags
' written over several lines, and the blocks of scripts and style sheets.
Include "common.vbs"

Dim p, entity, tag, dtd, sb, st, css, ct, cb

Set p = Parser.CreateParser()
entity = "&(?:#\d+|#[xX][0-9a-fA-F]+|[A-Za-z][A-Za-z0-9]*);"

' Attribute values (a region per parent: a region has one parent).
Function Value(quote)
    Dim s
    Set s = p.CreateStringRegion(3, quote, "", True)
    s.AddItem p.CreateItem(14, entity, True)
    Set Value = s
End Function

' The inside of a tag: attribute names, unquoted values, the delimiters.
Sub TagItems(t)
    t.AddItem p.CreateItem(13, "(?<![^\s])[^\s""'<>/=]+", True)
    t.AddItem p.CreateItem(3, "(?<==\s*)[^\s""'<>=`]+", True)
    t.AddItem p.CreateItem(9, "</?|/?>", True)
    t.AddRegion Value("""")
    t.AddRegion Value("'")
End Sub

p.AddItem p.CreateItem(14, entity, True)

p.AddRegion p.CreateRegion(1, "+<!--+", "+-->+", True)

Set dtd = p.CreateRegion(9, "<!(?=[A-Za-z])", ">", False)
dtd.AddItem p.CreateItem(5, "(?<=<!)[A-Za-z]+", True)
dtd.AddRegion Value("""")
dtd.AddRegion Value("'")
p.AddRegion dtd

' Scripts: the start tag, then the script's comments, strings, words and
' numbers up to the end tag.
Set sb = p.CreateRegion(0, "<(?=script\b)", "</script\s*>", False)
sb.AddItem p.CreateItem(5, Words("async await break case catch class const continue debugger default delete do else " & _
    "export extends finally for function if import in instanceof let new of return static super switch this throw " & _
    "try typeof var void while with yield"), True)
sb.AddItem p.CreateItem(14, Words("true false null undefined NaN Infinity document window console"), True)
sb.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F]+|\d+(?:\.\d*)?(?:[eE][+-]?\d+)?)\b", False)
sb.AddItem p.CreateItem(9, "<(?=script\b)|</(?=script\s*>)|(?<=</script)\s*>", False)
sb.AddItem p.CreateItem(5, "(?<=</)script(?=\s*>)", False)
Set st = p.CreateRegion(0, "(?<=<)script\b", ">", False)
st.AddItem p.CreateItem(5, "^script|(?<=<)script", False)
TagItems st
sb.AddRegion st
sb.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
sb.AddRegion p.CreateRegion(1, "+//+", "", True)
sb.AddRegion p.CreateStringRegion(3, """", "\", False)
sb.AddRegion p.CreateStringRegion(3, "'", "\", False)
sb.AddRegion p.CreateStringRegion(3, "`", "\", True)
sb.FoldText "\{", True
sb.UnfoldText "\}", True
p.AddRegion sb

' Style sheets: the start tag, comments, strings and declaration blocks.
Set cb = p.CreateRegion(0, "<(?=style\b)", "</style\s*>", False)
cb.AddItem p.CreateItem(9, "<(?=style\b)|</(?=style\s*>)|(?<=</style)\s*>", False)
cb.AddItem p.CreateItem(5, "(?<=</)style(?=\s*>)", False)
cb.AddItem p.CreateItem(12, "\.-?[A-Za-z_][\w-]*", False)
cb.AddItem p.CreateItem(15, "#[A-Za-z_-][\w-]*", False)
cb.AddItem p.CreateItem(9, "@[\w-]+", False)
Set ct = p.CreateRegion(0, "(?<=<)style\b", ">", False)
ct.AddItem p.CreateItem(5, "(?<=<)style", False)
TagItems ct
cb.AddRegion ct
cb.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
Set css = p.CreateRegion(0, "+{+", "+}+", True)
css.AddItem p.CreateItem(13, "(?<![\w-])-?[A-Za-z][\w-]*(?=\s*:)", False)
css.AddItem p.CreateItem(6, "(?<![\w.#-])-?(?:\d+\.?\d*|\.\d+)(?:%|[A-Za-z]+)?|#[0-9a-fA-F]{3,8}\b", False)
css.AddItem p.CreateItem(5, "!\s*important\b", False)
css.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
css.AddRegion p.CreateStringRegion(3, """", "\", False)
css.AddRegion p.CreateStringRegion(3, "'", "\", False)
cb.AddRegion css
cb.AddRegion p.CreateStringRegion(3, """", "\", False)
cb.AddRegion p.CreateStringRegion(3, "'", "\", False)
p.AddRegion cb

' Start and end tags of every other element.
Set tag = p.CreateRegion(0, "</?(?=[A-Za-z])", ">", False)
tag.AddItem p.CreateItem(5, "(?<=</?)[A-Za-z][\w:.-]*", True)
TagItems tag
p.AddRegion tag

' Start tags open elements, except those of void elements; a start tag
' that goes on past its line also folds its own lines (a second mark),
' closed by the line state where the tag ends.
p.FoldText "<(?=[A-Za-z][^>]*$)|(?<=<)(?!(?:area|base|br|col|embed|hr|img|input|keygen|link|meta|param|source|track|wbr)\b)[A-Za-z]", False
p.UnfoldText "</[A-Za-z]", False
