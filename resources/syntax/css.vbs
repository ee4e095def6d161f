' Style sheets (CSS, and the nesting, variables and line comments of SCSS
' and Less): selectors, at-rules, declaration blocks with their property
' names and values, strings, comments and url(); blocks fold as nested
' regions.
Dim p, b0, b1, b2, b3

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

AddSelectorItems p
AddCommon p
Set b0 = p.CreateRegion(0, "+{+", "+}+", False)
Set b1 = p.CreateRegion(0, "+{+", "+}+", False)
Set b2 = p.CreateRegion(0, "+{+", "+}+", False)
Set b3 = p.CreateRegion(0, "+{+", "+}+", False)
AddBlockItems b0
AddBlockItems b1
AddBlockItems b2
AddBlockItems b3
AddCommon b0
AddCommon b1
AddCommon b2
AddCommon b3
b2.AddRegion b3
b1.AddRegion b2
b0.AddRegion b1
p.AddRegion b0
