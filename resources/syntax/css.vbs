' Style sheets (CSS, and the nesting, variables and line comments of SCSS
' and Less): selectors, at-rules, declaration blocks with their property
' names and values, strings, comments and url(); blocks fold as nested
' regions.
Dim p, closed, m0, m1, m2, m3

Set p = Parser.CreateParser()

' Selectors and at-rules outside the blocks.
Sub AddSelectorItems(target)
    target.AddItem p.CreateItem(5, "(?<![\w.#:-])[a-zA-Z][\w-]*", False)
    target.AddItem p.CreateItem(12, "\.-?[A-Za-z_][\w-]*", False)
    target.AddItem p.CreateItem(15, "#[A-Za-z_-][\w-]*|&", False)
    target.AddItem p.CreateItem(14, "::?[A-Za-z-]+", False)
    target.AddItem p.CreateItem(13, "\[[^\]]*\]", False)
    target.AddItem p.CreateItem(6, "(?<![\w.#-])-?(?:\d+\.?\d*|\.\d+)(?:%|[A-Za-z]+)?", False)
    target.AddItem p.CreateItem(9, "@[\w-]+", False)
    target.AddItem p.CreateItem(15, "\$[\w-]+|@\{?[\w-]+\}?(?=\s*:)|--[\w-]+", False)
End Sub

' Declarations inside the blocks (and the selectors of nested rules).
Sub AddBlockItems(target)
    target.AddItem p.CreateItem(12, "(?<![\w-])\.-?[A-Za-z_][\w-]*", False)
    target.AddItem p.CreateItem(13, "(?<![\w-])-?[A-Za-z][\w-]*(?=\s*:(?![:\w-]*\s*[{,&]))", False)
    target.AddItem p.CreateItem(6, "(?<![\w.#-])-?(?:\d+\.?\d*|\.\d+)(?:%|[A-Za-z]+)?|#[0-9a-fA-F]{3,8}\b", False)
    target.AddItem p.CreateItem(14, "[\w-]+(?=\()", False)
    target.AddItem p.CreateItem(5, "!\s*important\b", False)
    target.AddItem p.CreateItem(9, "@[\w-]+", False)
    target.AddItem p.CreateItem(15, "\$[\w-]+|@[\w-]+(?=\s*:)|--[\w-]+|&", False)
End Sub

Sub AddCommon(target)
    Dim u
    target.AddRegion p.CreateRegion(1, "+/*+", "+*/+", False)
    target.AddRegion p.CreateRegion(1, "(?<![:/\w])//", "", False)
    Set u = p.CreateRegion(4, "\burl\((?!\s*[""'])", "\)", False)
    target.AddRegion u
    target.AddRegion p.CreateStringRegion(3, """", "\", False)
    target.AddRegion p.CreateStringRegion(3, "'", "\", False)
End Sub

' Declaration blocks. A block that closes on its line (with at most one
' level of braces inside) is one region; a block that goes on over lines is
' another, whose end is a brace not closing a brace opened before it on the
' line, so that nested blocks close first. A block that goes on begins with
' as many characters before its brace as it is deep, so that the walk of its
' parent, which starts where the parent begins, never starts it again at the
' parent's own brace. Blocks fold by their line states.
closed = "(?:[^{}]|\{[^{}]*\})*\}"

Function SingleLine()
    Dim r
    Set r = p.CreateRegion(0, "\{(?=" & closed & ")", closed, False)
    AddBlockItems r
    AddCommon r
    Set SingleLine = r
End Function

Function MultiLine(depth)
    Dim r
    Set r = p.CreateRegion(0, "[^{}]{" & depth & "}\{(?!" & closed & ")", "(?<!\{[^{}]*)\}", False)
    AddBlockItems r
    AddCommon r
    Set MultiLine = r
End Function

AddSelectorItems p
AddCommon p
Set m0 = MultiLine("0")
Set m1 = MultiLine("1")
Set m2 = MultiLine("2")
Set m3 = MultiLine("3")
m2.AddRegion SingleLine()
m2.AddRegion m3
m1.AddRegion SingleLine()
m1.AddRegion m2
m0.AddRegion SingleLine()
m0.AddRegion m1
p.AddRegion SingleLine()
p.AddRegion m0
m3.AddRegion SingleLine()
