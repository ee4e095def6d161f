' Makefiles: comments, rule targets, variable definitions and references,
' automatic variables, functions and directives; recipe lines (after a tab,
' or after the ; of a rule, continued by backslashes) are shell: quotes,
' comments, substitutions and shell variables. Folds conditionals and
' define blocks.
Include "common.vbs"

Dim p, fnames, value, recipe, inline, d, dq, csub
Set p = Parser.CreateParser()
fnames = "abspath addprefix addsuffix and basename call dir error eval file filter filter-out findstring " & _
    "firstword flavor foreach guile if info join lastword notdir or origin patsubst realpath shell sort strip " & _
    "subst suffix value warning wildcard word wordlist words"

' References: automatic variables, $(name) and ${name} (not after the $ of
' $$), and the function names after $( with the $( itself.
Sub RefItems(t)
    t.AddItem p.CreateItem(15, "(?<!\$)\$(?:[@<^?*%+|]|\((?:[@<^?*%][DF])\)|\([^()$\s]+\)|\{[^{}$\s]+\})", False)
    t.AddItem p.CreateItem(14, "(?<=\$[({])" & Words(fnames) & "(?=\s)", True)
    t.AddItem p.CreateItem(9, "\$[({](?=" & Words(fnames) & "\s)", True)
End Sub

' $$ is a dollar for the shell: $$name, $${name} and $$? are its variables,
' $$( its command substitution ($$@ and $$< are make's, put off by $(eval)).
Sub ShellVarItems(t)
    t.AddItem p.CreateItem(15, "\$\$(?:\w+|\{[^{}]*\}|[#?@*!$0-9<^%+|-])", False)
    t.AddItem p.CreateItem(9, "\$\$\(\(?", False)
End Sub

Function Escaped()
    Set Escaped = p.CreateSkip("\\.", False)
End Function

' $$ passed over whole, so that $${ is no make reference.
Function Dollars()
    Set Dollars = p.CreateSkip("\$\$", False)
End Function

' $(...) or ${...} as make expands it before the shell sees the line: the
' quotes in it are the make text's, and its parentheses nest.
Function MakeCall(style)
    Dim r
    Set r = p.CreateQuoteRegion(style, "\$([({])", "", 1)
    RefItems r
    ShellVarItems r
    Set MakeCall = r
End Function

' Shell quotes within one line: 'text' and "text" (with references and
' shell variables).
Function Single()
    Dim r
    Set r = p.CreateStringRegion(3, "'", "", False)
    r.AddItem p.CreateItem(15, "(?<!\$)\$[@<^?*%+|]", False)
    r.AddRegion Dollars()
    r.AddRegion MakeCall(3)
    Set Single = r
End Function

' With substitutions (in a recipe), $$( is added by the caller, ahead of $$.
Function Double(substitutions)
    Dim r
    Set r = p.CreateStringRegion(3, """", "\", False)
    r.AddItem p.CreateItem(15, "(?<!\$)\$[@<^?*%+|]", False)
    ShellVarItems r
    r.AddItem p.CreateItem(14, "\\[""\\$`]", False)
    r.AddRegion Escaped()
    If Not substitutions Then
        r.AddRegion MakeCall(3)
        r.AddRegion Dollars()
    End If
    Set Double = r
End Function

' $(shell ...): its text is a command with the shell's quotes (a # in a
' reference or function call is no comment).
Function ShellCall()
    Dim r
    Set r = p.CreateQuoteRegion(0, "\$([({])(?=shell\s)", "", 1)
    RefItems r
    r.AddRegion Escaped()
    r.AddRegion Dollars()
    r.AddRegion MakeCall(0)
    r.AddRegion Single()
    r.AddRegion Double(False)
    Set ShellCall = r
End Function

' `command` in a recipe line: commands whose backticks look like quotes.
Function Backtick()
    Dim r
    Set r = p.CreateRegion(0, "+`+", "`|(?<!\\)$", True)
    RefItems r
    ShellVarItems r
    r.AddItem p.CreateItem(4, "`", False)
    r.AddRegion Escaped()
    r.AddRegion Dollars()
    r.AddRegion MakeCall(0)
    r.AddRegion Single()
    r.AddRegion Double(False)
    Set Backtick = r
End Function

' The colours and regions of a recipe's command text (the recipe itself, with
' its backticks, or a command substitution in a string); answers its
' double-quoted string.
Function Commands(t, top)
    Dim r
    RefItems t
    ShellVarItems t
    t.AddItem p.CreateItem(5, "(?<![^\s;&|(])(?:case|do|done|elif|else|esac|exit|fi|for|function|if|in|then|until|while)(?![^\s;&|)])", True)
    t.AddRegion Escaped()
    t.AddRegion Dollars()
    t.AddRegion p.CreateRegion(1, "(?<![^\s;&|()`])#|(?<=^\t[@+-]+)#", "", False)
    t.AddRegion ShellCall()
    t.AddRegion MakeCall(0)
    t.AddRegion Single()
    If top Then t.AddRegion Backtick()
    Set r = Double(True)
    t.AddRegion r
    Set Commands = r
End Function

p.AddItem p.CreateItem(12, "^(?!\t)(?:[^\s:=#$(]|\$[({][\w.]+[)}])(?:[^:=#$(]|\$[({][\w.]+[)}])*?(?=\s*::?(?![=:]))", False)
p.AddItem p.CreateItem(9, "^\.[A-Z_]+(?=\s*:)", True)
p.AddItem p.CreateItem(13, "^\s*(?:(?:export|override|private)\s+)?[\w.\-/]+(?=\s*(?:[:?+!]|::)?=)", False)
p.AddItem p.CreateItem(9, "^\s*-?(?:include|sinclude|ifeq|ifneq|ifdef|ifndef|else|endif|define|endef|override|export|unexport|vpath|undefine)(?=\s|$)", True)
p.AddItem p.CreateItem(9, "(?<=^\s*)(?:export|override|private)(?=\s)", True)
RefItems p
p.AddItem p.CreateItem(15, "\$\$\w*", False)

p.AddRegion p.CreateRegion(1, "(?<!\\)#", "", False)
p.AddRegion Dollars()
p.AddRegion ShellCall()
p.AddRegion MakeCall(0)
p.AddRegion Double(False)

' A variable's value (to the end of its continued line) is mostly text for
' the shell: its quotes are strings; # starts make's comment.
Set value = p.CreateRegion(0, "(?<=^(?:[^:#=\t][^:#=]*:[ \t]*)?[ \t]*(?:(?:export|override|private)[ \t]+)?[\w.\-/$(){}]+[ \t]*(?:[:?+!]|::|:::)?)=", "(?<!\\)$", False)
RefItems value
ShellVarItems value
value.AddRegion Escaped()
value.AddRegion Dollars()
value.AddRegion p.CreateRegion(1, "#", "", False)
value.AddRegion ShellCall()
value.AddRegion MakeCall(0)
value.AddRegion Single()
value.AddRegion Double(False)
p.AddRegion value

' A recipe line goes on while it ends in a backslash. A tab line outside a
' rule is make's (indented conditionals): its directives and variables keep
' their colours.
Set recipe = p.CreateRegion(0, "^\t", "(?<!\\)$", False)
recipe.AddItem p.CreateItem(9, "^\t[@+-]+", False)
recipe.AddItem p.CreateItem(13, "^\t[ \t]*(?:(?:export|override|private)[ \t]+)?[\w.\-/]+(?=[ \t]*(?:[:?+!]|::)?=)", False)
recipe.AddItem p.CreateItem(9, "^\t[ \t]*-?(?:include|sinclude|ifeq|ifneq|ifdef|ifndef|endif|define|endef|override|vpath|undefine)(?=\s|$)", True)
Set dq = Commands(recipe, True)
p.AddRegion recipe

' target: prerequisites ; command
Set inline = p.CreateRegion(0, "(?<=^(?!\t)[^:#=;]+::?[^=;#]*);", "(?<!\\)$", False)
Commands inline, True
p.AddRegion inline

' "... $$(command "quoted" ...) ...": the substitution is commands, nested
' by copies.
For d = 1 To 2
    dq.AddRegion p.CreateSkip("\$\$\(\((?:[^()]|\([^()]*\))*\)\)", False)
    dq.AddRegion MakeCall(3)
    Set csub = p.CreateRegion(0, "+$$(+", "\)|(?<!\\)$", True)
    ' A substitution without quotes in it, and the patterns of a case, end
    ' with parentheses of their own.
    csub.AddRegion p.CreateSkip("\$\$\((?:[^()'""]|\([^()'""]*\))*\)", False)
    csub.AddRegion p.CreateSkip("(?<=\bin[ \t]+|;;[ \t]*)(?!esac\b)\(?[^()\s;|]+(?:\|[^()\s;|]+)*\)", False)
    dq.AddRegion csub
    dq.AddRegion Dollars()
    Set dq = Commands(csub, False)
Next
dq.AddRegion MakeCall(3)
dq.AddRegion Dollars()

p.FoldText "^\s*(?:ifeq|ifneq|ifdef|ifndef|define)(?=\s|$)", True
p.UnfoldText "^\s*(?:endif|endef)(?=\s|$)", True
