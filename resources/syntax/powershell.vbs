' PowerShell: comments and comment-based help, expandable and literal
' strings and here-strings, variables, keywords, operators, cmdlets, types,
' parameters and numbers; folds braces.
Include "common.vbs"

Dim p, block, dq, dqh, vars
Set p = Parser.CreateParser()
vars = "\$(?:(?:global|local|script|private|using|env|variable|function):)?\w+|\$\{[^}]*\}|\$[$?^_]"

p.AddItem p.CreateItem(14, "\b[A-Z][a-z]+-[A-Z]\w*\b", True)
p.AddItem p.CreateItem(14, Words("cd cls copy del dir echo foreach gci gcm gm gps iex ls measure ni pwd rm select sort where write"), False)
p.AddItem p.CreateItem(5, Words("begin break catch class continue data default define do dynamicparam else elseif end enum " & _
    "exit filter finally for foreach from function hidden if in param process return static switch throw trap try " & _
    "until using var while workflow"), False)
p.AddItem p.CreateItem(13, "(?<=[\s(])-[A-Za-z]\w*", True)
p.AddItem p.CreateItem(5, "(?<![\w-])-(?:[ci]?(?:eq|ne|gt|ge|lt|le|like|notlike|match|notmatch|contains|notcontains|in|notin|replace|split)|" & _
    "and|or|xor|not|band|bor|bxor|bnot|shl|shr|is|isnot|as|f|join)\b", False)
p.AddItem p.CreateItem(12, "\[(?:[A-Za-z_][\w.]*(?:\[\])?|[A-Za-z_][\w.]*\[[\w.,\s]+\])\]", False)
p.AddItem p.CreateItem(6, "\b(?:0x[0-9a-fA-F]+|\d+(?:\.\d+)?(?:[eE][+-]?\d+)?)(?:[lLdD]|[kKmMgGtTpP][bB])?\b", False)
p.AddItem p.CreateItem(15, vars, False)
p.AddItem p.CreateItem(14, "\$(?:true|false|null)\b", False)

Set block = p.CreateRegion(1, "+<#+", "+#>+", False)
block.AddItem p.CreateItem(2, "^\s*\.(?:SYNOPSIS|DESCRIPTION|PARAMETER|EXAMPLE|NOTES|INPUTS|OUTPUTS|LINK|COMPONENT|ROLE|FUNCTIONALITY)\b.*$", False)
p.AddRegion block
p.AddRegion p.CreateRegion(1, "+#+", "", False)
' A subexpression $( ... ) in an expandable string is code: variables,
' commands, parameters and strings of its own (with subexpressions of one
' level) up to its parenthesis (the end skips two levels inside).
Function SubExpression(level)
    Dim r
    Set r = p.CreateRegion(0, "\$\(", "(?:[^()]|\((?:[^()]|\([^()]*\))*\))*?\)", False)
    r.AddItem p.CreateItem(15, "\$\(", False)
    r.AddItem p.CreateItem(15, vars, False)
    r.AddItem p.CreateItem(14, "\$(?:true|false|null)\b", False)
    r.AddItem p.CreateItem(14, "\b[A-Z][a-z]+-[A-Z]\w*\b", True)
    r.AddItem p.CreateItem(13, "(?<=[\s(])-[A-Za-z]\w*", True)
    r.AddItem p.CreateItem(6, "\b(?:0x[0-9a-fA-F]+|\d+(?:\.\d+)?(?:[eE][+-]?\d+)?)(?:[lLdD]|[kKmMgGtTpP][bB])?\b", False)
    r.AddRegion p.CreateStringRegion(3, "'", "", False)
    r.AddRegion Expandable(level - 1)
    Set SubExpression = r
End Function
Function Expandable(level)
    Dim s
    Set s = p.CreateStringRegion(3, """", "`", False)
    s.AddItem p.CreateItem(15, vars, False)
    s.AddItem p.CreateItem(14, "`.", False)
    If level > 0 Then s.AddRegion SubExpression(level)
    Set Expandable = s
End Function

Set dqh = p.CreateRegion(4, "@""(?=\s*$)", "^""@", False)
dqh.AddItem p.CreateItem(15, vars, False)
dqh.AddRegion SubExpression(2)
p.AddRegion dqh
p.AddRegion p.CreateRegion(4, "@'(?=\s*$)", "^'@", False)
Set dq = p.CreateStringRegion(3, """", "`", True)
dq.AddItem p.CreateItem(15, vars, False)
dq.AddItem p.CreateItem(14, "`.", False)
dq.AddRegion SubExpression(2)
p.AddRegion dq
p.AddRegion p.CreateStringRegion(3, "'", "", True)

p.FoldText "\{", False
p.UnfoldText "\}", False
