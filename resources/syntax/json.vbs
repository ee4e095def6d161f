' JSON (with the comments that JSONC allows): keys, strings, numbers, the
' three literals; folds objects and arrays.
Dim p, key, str
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(14, "\b(?:true|false|null)\b", True)
p.AddItem p.CreateItem(6, "-?\b\d+(?:\.\d+)?(?:[eE][+-]?\d+)?\b", False)
p.AddItem p.CreateItem(10, "\b(?:NaN|Infinity|undefined)\b", True)

p.AddRegion p.CreateRegion(1, "+//+", "", False)
p.AddRegion p.CreateRegion(1, "+/*+", "+*/+", False)
' A string followed by a colon is a key.
Set key = p.CreateRegion(13, """(?=(?:[^""\\]|\\.)*""\s*:)", "(?:[^""\\]|\\.)*""", True)
key.AddItem p.CreateItem(14, "\\(?:[""\\/bfnrt]|u[0-9a-fA-F]{4})", True)
p.AddRegion key
Set str = p.CreateStringRegion(3, """", "\", False)
str.AddItem p.CreateItem(14, "\\(?:[""\\/bfnrt]|u[0-9a-fA-F]{4})", True)
p.AddRegion str

p.FoldText "[\{\[]", False
p.UnfoldText "[\}\]]", False
