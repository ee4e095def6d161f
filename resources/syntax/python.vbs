' Python: comments, docstrings (a triple-quoted string that starts its
' line), triple-quoted, raw, byte and formatted strings, numbers, keywords,
' built-in types, functions and constants, decorators. Blocks fold by
' indentation (class, def, if, ...), triple-quoted strings under the line
' that opens them.

Include "common.vbs"

Dim p, q, esc, hole, qq, i, quote, body, r, anyPrefix, rawPrefix, fPrefix
Set p = Parser.CreateParser()
p.FoldByIndent True
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|N\{[^}]*\}|[0-7]{1,3}|.)"
hole = "(?<!\{)\{(?!\{)[^{}]*\}"
anyPrefix = "(?:\b(?:[rRbBuUfF]|[rR][bBfF]|[bBfF][rR]))?"
rawPrefix = "\b(?:[rR][bB]?|[bB][rR])"
fPrefix = "\b(?:[fF][rR]?|[rR][fF])"

p.AddRegion p.CreateRegion(1, "+#+", "", True)

' Both quote characters get the same set of string regions.
For i = 1 To 2
    If i = 1 Then quote = q Else quote = "'"
    qq = quote & quote & quote
    body = "(?:[^" & quote & "\\]|\\.)*"
    ' A triple-quoted string that starts its line is a docstring
    Set r = p.CreateRegion(2, "^\s*(?:\b[rRuU])?" & qq, "(?:[^" & quote & "\\]|\\.|" & quote & "(?!" & quote & quote & "))*" & qq, True)
    p.AddRegion r
    Set r = p.CreateRegion(3, anyPrefix & qq, "(?:[^" & quote & "\\]|\\.|" & quote & "(?!" & quote & quote & "))*" & qq, True)
    r.AddItem p.CreateItem(4, esc, True)
    p.AddRegion r
    ' Raw strings: backslashes are plain characters
    Set r = p.CreateRegion(3, rawPrefix & quote, body & quote & "|.+$", True)
    p.AddRegion r
    ' Formatted strings: replacement fields {...} shown as variables
    Set r = p.CreateRegion(3, fPrefix & quote, body & quote & "|.+$", True)
    r.AddItem p.CreateItem(4, esc, True)
    r.AddItem p.CreateItem(4, "\{\{|\}\}", True)
    r.AddItem p.CreateItem(15, hole, True)
    p.AddRegion r
    Set r = p.CreateStringRegion(3, quote, "\", False)
    r.AddItem p.CreateItem(4, esc, True)
    r.AddItem p.CreateItem(4, "%(?:\(\w+\))?[-+ #0]*(?:\d+|\*)?(?:\.\d+)?[diouxXeEfFgGcrsa%]", True)
    p.AddRegion r
Next

p.AddItem p.CreateItem(5, Words("and as assert async await break class continue def del elif else except " & _
    "finally for from global if import in is lambda nonlocal not or pass raise return try while with yield"), True)
p.AddItem p.CreateItem(12, Words("int float complex str bytes bytearray bool list dict set frozenset tuple " & _
    "object type range memoryview slice BaseException Exception ArithmeticError AssertionError " & _
    "AttributeError EOFError ImportError ModuleNotFoundError IndexError KeyError KeyboardInterrupt " & _
    "LookupError MemoryError NameError NotImplementedError OSError FileNotFoundError PermissionError " & _
    "OverflowError RecursionError RuntimeError StopIteration StopAsyncIteration SyntaxError SystemExit " & _
    "TypeError UnicodeError UnicodeDecodeError UnicodeEncodeError ValueError ZeroDivisionError " & _
    "TimeoutError ConnectionError Warning DeprecationWarning UserWarning"), True)
p.AddItem p.CreateItem(14, Words("True False None NotImplemented Ellipsis __debug__ __name__ __file__ __doc__ " & _
    "__all__ __init__ __main__ abs aiter all anext any ascii bin breakpoint callable chr classmethod compile " & _
    "delattr dir divmod enumerate eval exec filter format getattr globals hasattr hash help hex id input " & _
    "isinstance issubclass iter len locals map max min next oct open ord pow print property repr " & _
    "reversed round setattr sorted staticmethod sum super vars zip __import__"), True)
' Soft keywords: match, case and type where they start a statement
p.AddItem p.CreateItem(5, "(?<=^\s*)(?:match|case|type)\b(?=.*:\s*(?:#.*)?$)|(?<=^\s*)type(?=\s+\w+\s*=)", True)
p.AddItem p.CreateItem(15, Words("self cls"), True)
p.AddItem p.CreateItem(13, "(?<=^\s*)@\s*[A-Za-z_][\w.]*", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|0[oO][0-7_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?[jJ]?)\b|" & _
    "(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?[jJ]?\b", True)
