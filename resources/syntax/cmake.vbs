' CMake: line and bracket comments, quoted and bracket arguments, variable
' references, commands, the block commands, upper-case keywords, constants
' and generator expressions; folds the block commands.
Include "common.vbs"

Dim p, str, vars
Set p = Parser.CreateParser()
vars = "\$(?:ENV|CACHE)?\{[^{}]*\}|@\w+@"

p.AddItem p.CreateItem(12, "\b[A-Z][A-Z0-9_]*[A-Z0-9]\b", True)
p.AddItem p.CreateItem(14, Words("ON OFF TRUE FALSE YES NO Y N IGNORE NOTFOUND") & "|\b\w+-NOTFOUND\b", True)
p.AddItem p.CreateItem(14, "\b[A-Za-z_]\w*(?=\s*\()", False)
p.AddItem p.CreateItem(5, Words("if elseif else endif foreach endforeach while endwhile function endfunction macro " & _
    "endmacro block endblock return break continue") & "(?=\s*\()", False)
p.AddItem p.CreateItem(6, "(?<![\w.$-])\d+(?:\.\d+)*(?![\w.])", False)
p.AddItem p.CreateItem(9, "\$<[^<>]*(?:<[^<>]*>[^<>]*)*>", False)
p.AddItem p.CreateItem(15, vars, False)

'  Bracket comments and arguments close with as many = as they open with.
p.AddRegion p.CreateMatchedRegion(1, "#\[(=*)\[", "+]\1]+", False)
p.AddRegion p.CreateRegion(1, "+#+", "", False)
p.AddRegion p.CreateMatchedRegion(4, "(?<![^\s(])\[(=*)\[", "+]\1]+", False)
Set str = p.CreateStringRegion(3, """", "\", True)
str.AddItem p.CreateItem(15, vars, False)
str.AddItem p.CreateItem(9, "\$<[^<>]*(?:<[^<>]*>[^<>]*)*>", False)
str.AddItem p.CreateItem(14, "\\[""\\$;ntr]", False)
p.AddRegion str

p.FoldText "\b(?:if|foreach|while|function|macro|block)(?=\s*\()", False
p.UnfoldText "\b(?:endif|endforeach|endwhile|endfunction|endmacro|endblock)(?=\s*\()", False
