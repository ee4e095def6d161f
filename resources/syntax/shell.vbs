' Shell scripts (sh, bash, zsh, ksh): comments, the three kinds of quotes,
' command substitution (nested in strings), here-documents, variables and
' parameters, arithmetic, keywords, built-ins and options; folds braces and
' the compound commands.
Include "common.vbs"

Dim p, vars, hdoc, hline, d, dq, csub
Set p = Parser.CreateParser()
vars = "\$\{[^}]*\}|\$\w+|\$[#?@*!$0-9-]"

' The colours of commands: at the top level and inside $( ), ` ` and the rest
' of a here-document's first line.
Sub CodeItems(t)
    t.AddItem p.CreateItem(13, "(?<=\s)--?[A-Za-z][\w-]*", False)
    t.AddItem p.CreateItem(14, Words("alias bg bind builtin cd command compgen complete dirs disown echo enable eval exec " & _
        "false fc fg getopts hash help history jobs kill let logout mapfile popd printf pushd pwd read readarray set " & _
        "shopt source suspend test times trap true type ulimit umask unalias wait"), True)
    t.AddItem p.CreateItem(5, Words("case coproc declare do done elif else esac exit export fi for function if in local " & _
        "readonly return select shift then time typeset until unset while break continue"), True)
    t.AddItem p.CreateItem(15, "\b[A-Za-z_]\w*(?=\+?=)", False)
    t.AddItem p.CreateItem(6, "(?<![\w.$-])\d+(?:\.\d+)?(?![\w.])", False)
    t.AddItem p.CreateItem(9, "(?<!\$)\(\(|\)\)|\[\[|\]\]|\$\(\(?|[|&;<>]+", False)
    t.AddItem p.CreateItem(15, vars, False)
End Sub

' A backslash quotes the next character: \" \' \# \` \$ open nothing.
Function Escaped()
    Set Escaped = p.CreateSkip("\\.", False)
End Function

Function Comment()
    Dim r
    Set r = p.CreateRegion(1, "(?<![^\s;&|()`])#", "", False)
    r.AddItem p.CreateItem(9, "^#!.*$", False)
    Set Comment = r
End Function

' 'text': nothing is special inside.
Function Single(multi)
    Set Single = p.CreateStringRegion(3, "'", "", multi)
End Function

' $'text' with backslash escapes.
Function Ansi()
    Dim r
    Set r = p.CreateRegion(3, "+$'+", "+'+", True)
    r.AddRegion Escaped()
    r.AddItem p.CreateItem(14, "\\.", False)
    Set Ansi = r
End Function

' "text" whose parameters are variables; nested substitutions are added later.
Function Double(multi)
    Dim r
    Set r = p.CreateStringRegion(3, """", "\", multi)
    r.AddItem p.CreateItem(15, vars, False)
    r.AddItem p.CreateItem(14, "\\[""\\$`]", False)
    r.AddRegion Escaped()
    Set Double = r
End Function

' ${name...}: a # or quote in it is the expansion's own.
Function Curly()
    Dim r
    Set r = p.CreateRegion(15, "+${+", "+}+", True)
    r.AddRegion Escaped()
    r.AddRegion p.CreateSkip("\$\{[^{}]*\}(?=[^{}]*\})", False)
    r.AddRegion Single(False)
    r.AddRegion Double(False)
    Set Curly = r
End Function

' $(( )) and (( )): numbers and names; << there shifts.
Function ArithSkip()
    Set ArithSkip = p.CreateSkip("\$?\(\((?:[^()]|\([^()]*\))*\)\)", False)
End Function

Function Arith()
    Dim r
    Set r = p.CreateRegion(0, "+$((+", "+))+", True)
    r.AddItem p.CreateItem(9, "\$\(\(|\)\)", False)
    r.AddItem p.CreateItem(6, "(?<![\w.$-])\d+(?![\w.])", False)
    r.AddItem p.CreateItem(15, vars, False)
    Set Arith = r
End Function

' `command`: code whose backticks look like quotes.
Function Backtick(full)
    Dim r
    Set r = p.CreateRegion(0, "+`+", "+`+", True)
    CodeItems r
    r.AddItem p.CreateItem(4, "`", False)
    r.AddRegion Escaped()
    r.AddRegion Single(full)
    If full Then r.AddRegion Double(True)
    Set Backtick = r
End Function

' The regions of code: the top level (level 0) or the inside of $( ) in a
' string (level 1 and up, whose strings are returned to nest further).
Function CodeRegions(t, level)
    Dim dq
    t.AddRegion Escaped()
    t.AddRegion ArithSkip()
    t.AddRegion Comment()
    If level = 0 Then
        Set hdoc = p.CreateMatchedRegion(4, "(?<![<\\])<<-?[ \t]*(['""]?)\\?([A-Za-z_]\w*)\1", "^[ \t]*\2[ \t]*$", True)
        t.AddRegion hdoc
    End If
    t.AddRegion Ansi()
    Set dq = Double(True)
    t.AddRegion dq
    t.AddRegion Single(True)
    t.AddRegion Backtick(True)
    t.AddRegion Curly()
    Set CodeRegions = dq
End Function

CodeItems p
p.AddItem p.CreateItem(9, "^#!.*$", False)
Set dq = CodeRegions(p, 0)

' After <<WORD the line goes on as code; the document starts on the next line.
Set hline = p.CreateRegion(0, "(?<=<<-?[ \t]*(?:'\w+'|""\w+""|\\?\w+))[ \t]+", "", False)
CodeItems hline
hline.AddRegion Escaped()
hline.AddRegion Comment()
hline.AddRegion Ansi()
hline.AddRegion Double(False)
hline.AddRegion Single(False)
hline.AddRegion Backtick(False)
hdoc.AddRegion hline

' "...$(command "quoted" ...)...": the substitution is code, nested by copies.
For d = 1 To 3
    dq.AddRegion Arith()
    Set csub = p.CreateRegion(0, "+$(+", "+)+", True)
    CodeItems csub
    dq.AddRegion csub
    dq.AddRegion Curly()
    dq.AddRegion Backtick(False)
    Set dq = CodeRegions(csub, d)
Next
dq.AddItem p.CreateItem(15, "\$\(|`", False)

p.FoldText "(?<!\$)\{(?=\s|$)|\b(?:then|do|case)\b", True
p.UnfoldText "(?<![^\s;&|])\}|\b(?:fi|done|esac|elif)\b", True
