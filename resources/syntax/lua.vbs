' Lua: comments, documentation comments ---, long comments --[[ ]]
' (--[=[ ]=] up to level 3), strings and long strings, numbers, keywords,
' built-in functions and libraries.
' Blocks fold from function, if, do, repeat and table braces to their end.

Include "common.vbs"

Dim p, q, esc, eq, i, r, str1, str2
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u\{[0-9a-fA-F]+\}|\d{1,3}|z|.)"

' Long comments and long strings of level 0 to 3: [[ ]], [=[ ]=], ...
eq = ""
For i = 0 To 3
    Set r = p.CreateRegion(1, "--\[" & eq & "\[", "\]" & eq & "\]", True)
    p.AddRegion r
    eq = eq & "="
Next
' Documentation comments ---, line comments, the first line of a script
p.AddRegion p.CreateRegion(2, "---(?!\[)", "", True)
p.AddRegion p.CreateRegion(1, "+--+", "", True)
p.AddRegion p.CreateRegion(1, "^#!", "", True)
eq = ""
For i = 0 To 3
    Set r = p.CreateRegion(3, "\[" & eq & "\[", "\]" & eq & "\]", True)
    p.AddRegion r
    eq = eq & "="
Next

Set str1 = p.CreateStringRegion(3, q, "\", False)
str1.AddItem p.CreateItem(4, esc, True)
Set str2 = p.CreateStringRegion(3, "'", "\", False)
str2.AddItem p.CreateItem(4, esc, True)
p.AddRegion str1
p.AddRegion str2

p.AddItem p.CreateItem(5, Words("and break do else elseif end for function goto if in local not or repeat " & _
    "return then until while"), True)
p.AddItem p.CreateItem(14, Words("nil true false self _G _ENV _VERSION assert collectgarbage dofile error " & _
    "getmetatable ipairs load loadfile next pairs pcall print rawequal rawget rawlen rawset require select " & _
    "setmetatable tonumber tostring type xpcall unpack"), True)
p.AddItem p.CreateItem(12, Words("coroutine debug io math os package string table utf8"), True)
p.AddItem p.CreateItem(15, "::\w+::", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F]*\.?[0-9a-fA-F]*(?:[pP][+-]?\d+)?|\d+\.?\d*(?:[eE][+-]?\d+)?)\b|" & _
    "(?<![\w.])\.\d+(?:[eE][+-]?\d+)?\b", True)

' Folding
p.FoldText "\b(?:function|if|do|repeat)\b|\{", True
p.UnfoldText "\b(?:end|until)\b|\}", True
