' Shell scripts (sh, bash, zsh, ksh): comments, the three kinds of quotes,
' command substitution, here-documents, variables and parameters, keywords,
' built-ins and options; folds braces and the compound commands.
Include "common.vbs"

Dim p, cmt, dq, bq, ansi, vars
Set p = Parser.CreateParser()
vars = "\$\{[^}]*\}|\$\w+|\$[#?@*!$0-9-]"

p.AddItem p.CreateItem(13, "(?<=\s)--?[A-Za-z][\w-]*", False)
p.AddItem p.CreateItem(14, Words("alias bg bind builtin cd command compgen complete dirs disown echo enable eval exec " & _
    "false fc fg getopts hash help history jobs kill let logout mapfile popd printf pushd pwd read readarray set " & _
    "shopt source suspend test times trap true type ulimit umask unalias wait"), True)
p.AddItem p.CreateItem(5, Words("case coproc declare do done elif else esac exit export fi for function if in local " & _
    "readonly return select shift then time typeset until unset while break continue"), True)
p.AddItem p.CreateItem(15, "\b[A-Za-z_]\w*(?=\+?=)", False)
p.AddItem p.CreateItem(6, "(?<![\w.$-])\d+(?:\.\d+)?(?![\w.])", False)
p.AddItem p.CreateItem(9, "(?<!\$)\(\(|\)\)|\[\[|\]\]|\$\(\(?|[|&;<>]+", False)
p.AddItem p.CreateItem(15, vars, False)

Set cmt = p.CreateRegion(1, "(?<![^\s;&|()])#", "", False)
cmt.AddItem p.CreateItem(9, "^#!.*$", False)
p.AddRegion cmt
p.AddRegion p.CreateRegion(4, "<<-?\s*(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)\b", "^\s*(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)\s*$", True)
p.AddRegion p.CreateRegion(4, "<<-?\s*'(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)'", "^\s*(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)\s*$", True)
p.AddRegion p.CreateRegion(4, "<<-?\s*""(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)""", "^\s*(?:EOF|END|EOT|EOM|HEREDOC|_EOF_)\s*$", True)
Set ansi = p.CreateRegion(3, "+$'+", "(?:[^'\\]|\\.)*'", True)
ansi.AddItem p.CreateItem(14, "\\.", False)
p.AddRegion ansi
Set dq = p.CreateStringRegion(3, """", "\", True)
dq.AddItem p.CreateItem(15, vars & "|\$\(|`", False)
dq.AddItem p.CreateItem(14, "\\[""\\$`]", False)
p.AddRegion dq
p.AddRegion p.CreateStringRegion(3, "'", "", True)
Set bq = p.CreateStringRegion(4, "`", "\", True)
bq.AddItem p.CreateItem(15, vars, False)
p.AddRegion bq

p.FoldText "(?<!\$)\{(?=\s|$)|\b(?:then|do|case)\b", True
p.UnfoldText "(?<![^\s;&|])\}|\b(?:fi|done|esac|elif)\b", True
