' YAML: keys, comments, quoted strings, block scalars, anchors and aliases,
' tags, document markers, block indicators and the plain constants.
' Mappings and sequences fold by indentation.
Dim p, dq, lead, block
Set p = Parser.CreateParser()
p.FoldByIndent True

p.AddItem p.CreateItem(14, "(?<=^|[\s\[,{])(?:true|false|yes|no|on|off|null|~)(?=\s*(?:$|[,\]}#]))", False)
p.AddItem p.CreateItem(6, "(?<=^|[\s\[,{])[-+]?(?:0x[0-9a-fA-F]+|0o[0-7]+|\d+(?:\.\d*)?(?:[eE][-+]?\d+)?|\.inf|\.nan)(?=\s*(?:$|[,\]}#]))", False)
p.AddItem p.CreateItem(13, "[^\s#'""\[\]{},:&*!|>-][^#:,\[\]{}]*?(?=\s*:(?:\s|$))", False)
p.AddItem p.CreateItem(9, "(?<=^\s*)-(?=\s|$)|(?<=[:-]\s*)[|>][-+]?\d*(?=\s*(?:#.*)?$)|[\[\]{},]", False)
p.AddItem p.CreateItem(15, "[&*][\w.-]+", False)
p.AddItem p.CreateItem(12, "(?<![\w])!!?[\w/.:-]*", False)
p.AddItem p.CreateItem(9, "^(?:---|\.\.\.)(?=\s|$)|^%\w+.*$|(?<=^-)--(?=\s|$)|(?<=^\.)\.\.(?=\s|$)", False)

p.AddRegion p.CreateRegion(1, "(?<![^\s])#", "", False)
Set dq = p.CreateRegion(3, "(?<![\w])""", "(?:[^""\\]|\\.)*""", False)
dq.AddItem p.CreateItem(14, "\\(?:[0abtnvfre ""/\\N_LP]|x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8})", True)
p.AddRegion dq
p.AddRegion p.CreateRegion(3, "(?<![\w])'", "'", False)

' A block scalar (| or > after a key, a dash or properties): its lines are
' text up to the first line indented no deeper than its key (group 1, with
' group 2 a space after a dash before the key, so two more columns) or its
' dash (group 3). A dedent that leaves no indentation ends it at the line's
' first character, which takes the colour the line would give it.
lead = "^([ ]*)(?:-( )[ ]*)?(?:[^\s#\-]|-[^\s#])[^#]*?:[ \t]+(?:[!&]\S*[ \t]+)*|^([ ]*)(?:-[ \t]+)+(?:[!&]\S*[ \t]+)*"
Set block = p.CreateMatchedRegion(4, "(?<=" & lead & ")[|>][-+1-9]*(?=[ \t]*(?:#.*)?$)", _
    "^(?!\1\3\2\2[ ])(?:[ ]+(?=\S)|#.*|\S)", False)
block.AddItem p.CreateItem(9, "(?<=" & lead & ")[|>][-+1-9]*(?=[ \t]*(?:#.*)?$)", False)
block.AddItem p.CreateItem(0, "^(?:[ \t]+|\S)", False)
block.AddItem p.CreateItem(13, "^[^\s#'""\[\]{},:&*!|>-](?=[^#:,\[\]{}]*?\s*:(?:\s|$))", False)
block.AddItem p.CreateItem(9, "^[-\[{?]", False)
block.AddItem p.CreateItem(9, "^\.(?=\.\.(?:\s|$))", False)
block.AddItem p.CreateItem(1, "^#.*", False)
block.AddRegion p.CreateRegion(1, "(?<=(?:" & lead & ")[|>][-+1-9]*[ \t]+)#", "", False)
p.AddRegion block
