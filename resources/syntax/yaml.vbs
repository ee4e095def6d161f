' YAML: keys, comments, quoted strings, anchors and aliases, tags, document
' markers, block indicators and the plain constants. Mappings and
' sequences fold by indentation.
Dim p, dq
Set p = Parser.CreateParser()
p.FoldByIndent True

p.AddItem p.CreateItem(14, "(?<=^|[\s\[,{])(?:true|false|yes|no|on|off|null|~)(?=\s*(?:$|[,\]}#]))", False)
p.AddItem p.CreateItem(6, "(?<=^|[\s\[,{])[-+]?(?:0x[0-9a-fA-F]+|0o[0-7]+|\d+(?:\.\d*)?(?:[eE][-+]?\d+)?|\.inf|\.nan)(?=\s*(?:$|[,\]}#]))", False)
p.AddItem p.CreateItem(13, "[^\s#'""\[\]{},:&*!|>-][^#:,\[\]{}]*?(?=\s*:(?:\s|$))", False)
p.AddItem p.CreateItem(9, "(?<=^\s*)-(?=\s|$)|(?<=[:-]\s*)[|>][-+]?\d*(?=\s*(?:#.*)?$)|[\[\]{},]", False)
p.AddItem p.CreateItem(15, "[&*][\w.-]+", False)
p.AddItem p.CreateItem(12, "(?<![\w])!!?[\w/.:-]*", False)
p.AddItem p.CreateItem(9, "^(?:---|\.\.\.)(?=\s|$)|^%\w+.*$", False)


p.AddRegion p.CreateRegion(1, "(?<![^\s])#", "", False)
Set dq = p.CreateRegion(3, "(?<![\w])""", "(?:[^""\\]|\\.)*""", False)
dq.AddItem p.CreateItem(14, "\\(?:[0abtnvfre ""/\\N_LP]|x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8})", True)
p.AddRegion dq
p.AddRegion p.CreateRegion(3, "(?<![\w])'", "'", False)

