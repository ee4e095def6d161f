' JavaScript: comments (JSDoc /** */ apart, with its tags), strings,
' template literals with their ${...} holes, regular-expression literals,
' numbers, keywords, built-in objects and functions. Braces fold.

Include "common.vbs"

Dim p, q, esc, reBefore, doc, blk, lcom, tmpl, hole, str1, str2, rx
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|u\{[0-9a-fA-F]+\}|[0-7]{1,3}|.)"
' A slash starts a regular expression where an operand is expected: after an
' operator, an opening bracket, a comma or one of a few keywords (not after
' < or >, so that closing tags of JSX are no patterns).
reBefore = "(?<=(?:^|[=(,:;!&|?{}\[+\-*%~^]|\b(?:return|typeof|case|in|of|yield|await|void|delete))\s*)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "@\w+|\{[^{}]*\}", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)

' Template literals span lines; their holes are shown as variables
Set tmpl = p.CreateStringRegion(3, "`", "\", True)
tmpl.AddItem p.CreateItem(4, esc, True)
Set hole = p.CreateRegion(15, "\$\{", "\}", True)
tmpl.AddRegion hole
Set str1 = p.CreateStringRegion(3, q, "\", False)
str1.AddItem p.CreateItem(4, esc, True)
Set str2 = p.CreateStringRegion(3, "'", "\", False)
str2.AddItem p.CreateItem(4, esc, True)
Set rx = p.CreateRegion(4, reBefore & "/(?![/*])(?=(?:[^/\\\[]|\\.|\[(?:[^\]\\]|\\.)*\])+/)", _
    "(?:[^/\\\[]|\\.|\[(?:[^\]\\]|\\.)*\])*/[dgimsuyv]*", True)

p.AddRegion p.CreateRegion(1, "^#!", "", True)
p.AddRegion doc
p.AddRegion blk
p.AddRegion lcom
p.AddRegion tmpl
p.AddRegion str1
p.AddRegion str2
p.AddRegion rx

' Keywords, except as property names after a dot
p.AddItem p.CreateItem(5, "(?<![.$])" & Words("async await break case catch class const continue debugger default delete do " & _
    "else export extends finally for from function get if import in instanceof let new of return set " & _
    "static super switch this throw try typeof var void while with yield"), True)
p.AddItem p.CreateItem(12, Words("Array ArrayBuffer BigInt Boolean DataView Date Error EvalError Function Map " & _
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
