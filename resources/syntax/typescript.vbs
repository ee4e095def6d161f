' TypeScript: comments (TSDoc /** */ apart, with its tags), strings,
' template literals with their ${...} holes, regular-expression literals,
' numbers, keywords, types, built-in objects and functions, decorators.
' Braces fold.

Include "common.vbs"

Dim p, q, esc, reBefore, doc, blk, lcom, str1, str2, rx
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|u\{[0-9a-fA-F]+\}|[0-7]{1,3}|.)"
' A slash starts a regular expression where an operand is expected: at the
' start of a line, after an operator (not ++ or --), an opening bracket, a
' comma, a closing brace or one of a few keywords; after a name, a number,
' ) or ] it divides, as after the ! of a non-null assertion (x! / 2).
' After < only with a space between, so that closing tags of TSX are no
' patterns. The look-behind follows the slash, so that the expression is
' tried at slashes only.
reBefore = "(?<=(?:^|[=(,:;&|?{}\[*%~^>]|(?:^|[^\w$)\]])!|(?:^|[^+])\+|(?:^|[^-])-|<\s|(?:^|[^\w$.])" & _
    "(?:return|typeof|case|do|else|in|of|new|delete|void|throw|yield|await))\s*/)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "@\w+|\{[^{}]*\}", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)

' Strings end on their line; a backslash at its end continues one. Such a
' string is a region of its own, begun where a quote (not an escaped one:
' those inside strings are not tried at length) is followed by text ending
' in a backslash; its end is looked for from where the search starts
' ((?g)\G) over the escapes: the closing quote, else the line's end unless
' a backslash is left before it.
Function ContinuedString(quote)
    Dim r, body
    body = "[^" & quote & "\\]*(?:\\.[^" & quote & "\\]*)*"
    Set r = p.CreateRegion(3, quote & "(?<!\\" & quote & ")(?=(?>" & body & ")\\$)", "(?g)\G(?>" & body & ")(?:" & quote & "|$)", True)
    r.AddItem p.CreateItem(4, esc, True)
    Set ContinuedString = r
End Function

Set str1 = p.CreateStringRegion(3, q, "\", False)
str1.AddItem p.CreateItem(4, esc, True)
Set str2 = p.CreateStringRegion(3, "'", "\", False)
str2.AddItem p.CreateItem(4, esc, True)
' A class [...] may hold a slash unescaped.
Set rx = p.CreateRegion(4, "/" & reBefore & "(?![/*])(?=(?:[^/\\\[]|\\.|\[(?:[^\]\\]|\\.)*\])+/)", _
    "(?:[^/\\\[]|\\.|\[(?:[^\]\\]|\\.)*\])*/[dgimsuyv]*|$", True)

' Template literals span lines; their holes ${...} are shown as variables
' and hold code: strings, regular expressions, braces and templates of the
' next level (three levels of templates).
Function Template(level)
    Dim t, h, inner, b1, b2
    Set t = p.CreateStringRegion(3, "`", "\", True)
    ' The braces of its holes are no blocks
    t.IsolateFolds True
    t.AddItem p.CreateItem(4, esc, True)
    ' \${ is no hole
    t.AddRegion p.CreateSkip("\\.", True)
    Set h = p.CreateRegion(15, "\$\{", "\}", True)
    If level < 2 Then Set inner = Template(level + 1)
    ' Braces of the code in a hole, two deep; they end with their line at the
    ' latest, so that no line starts in one. Children are looked for from
    ' their parent's first character on: the outer braces are not the { of
    ' ${, the inner ones take the character before their brace, so that they
    ' do not begin at the outer brace. Each takes the character after its }
    ' too (unless it is a brace or a quote), so that the } around it is not
    ' taken for its own.
    Set b1 = p.CreateRegion(15, "\{(?<!\$\{)", "\}|$", True)
    b1.Suffix "[^}`'""]"
    Set b2 = p.CreateRegion(15, "[^{]\{", "\}|$", True)
    b2.Suffix "[^}`'""]"
    AddCode b2, inner
    AddCode b1, inner
    b1.AddRegion b2
    AddCode h, inner
    h.AddRegion b1
    t.AddRegion h
    Set Template = t
End Function

Sub AddCode(r, inner)
    r.AddRegion str1
    r.AddRegion str2
    r.AddRegion rx
    If IsObject(inner) Then r.AddRegion inner
End Sub

p.AddRegion p.CreateRegion(1, "^#!", "", True)
p.AddRegion doc
p.AddRegion blk
p.AddRegion lcom
p.AddRegion Template(0)
p.AddRegion ContinuedString(q)
p.AddRegion ContinuedString("'")
p.AddRegion str1
p.AddRegion str2
p.AddRegion rx

' Keywords, except as property names after a dot
p.AddItem p.CreateItem(5, "(?<![.$])" & Words("async await break case catch class const continue debugger default delete do " & _
    "else export extends finally for from function get if import in instanceof let new of return set " & _
    "static super switch this throw try typeof var void while with yield abstract as asserts declare enum " & _
    "implements infer interface is keyof namespace override private protected public readonly satisfies " & _
    "type unique accessor module global"), True)
p.AddItem p.CreateItem(12, Words("any bigint boolean never number object string symbol unknown void " & _
    "Partial Required Readonly Record Pick Omit Exclude Extract NonNullable ReturnType Parameters " & _
    "InstanceType Awaited Iterable Iterator AsyncIterable PromiseLike ReadonlyArray Array ArrayBuffer BigInt Boolean DataView Date Error EvalError Function Map " & _
    "Number Object Promise Proxy RangeError ReferenceError Reflect RegExp Set String Symbol SyntaxError " & _
    "TypeError Uint8Array Int32Array Float64Array WeakMap WeakSet WeakRef URL URLSearchParams"), True)
p.AddItem p.CreateItem(14, Words("true false null undefined NaN Infinity arguments globalThis window document " & _
    "console JSON Math Intl navigator location localStorage process require module exports " & _
    "parseInt parseFloat isNaN isFinite encodeURIComponent decodeURIComponent setTimeout setInterval " & _
    "clearTimeout clearInterval fetch queueMicrotask structuredClone alert"), True)
p.AddItem p.CreateItem(13, "@[A-Za-z_$][\w$]*", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|0[oO][0-7_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)n?\b|" & _
    "(?<![\w.$])\.\d[\d_]*(?:[eE][+-]?\d+)?\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
