' LaTeX (and BibTeX entries): comments, commands, sectioning, environments,
' inline and display math, verbatim text, special characters and the entry
' types and fields of bibliographies; folds environments and braces.
Dim p, m1, m2, m3, m4, vb, c
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(5, "\\[A-Za-z@]+\*?", False)
p.AddItem p.CreateItem(14, "\\[^A-Za-z@\s]|[&~]|\\\\", False)
p.AddItem p.CreateItem(9, "[{}\[\]]", False)
p.AddItem p.CreateItem(12, "(?<=\\(?:begin|end)\{)[^{}]*(?=\})", False)
p.AddItem p.CreateItem(8, "\\(?:part|chapter|section|subsection|subsubsection|paragraph|subparagraph)\*?(?:\[[^\]]*\])?\{[^{}]*(?:\{[^{}]*\}[^{}]*)*\}", False)
p.AddItem p.CreateItem(7, "(?<=\\(?:url|href|cite[tp]?|ref|eqref|label|pageref|autoref|cref|Cref|include|input|includegraphics)(?:\[[^\]]*\])?\{)[^{}]*(?=\})", False)
p.AddItem p.CreateItem(9, "^\s*@\w+(?=\s*[{(])", False)
p.AddItem p.CreateItem(13, "^\s*\w[\w-]*(?=\s*=)", False)

' Verbatim text: nothing inside is a command or a comment.
p.AddRegion p.CreateRegion(4, "\\begin\{(?:verbatim|Verbatim|lstlisting|minted|alltt)\*?\}", "\\end\{(?:verbatim|Verbatim|lstlisting|minted|alltt)\*?\}", True)
Set c = p.CreateRegion(1, "\\begin\{comment\}", "\\end\{comment\}", True)
p.AddRegion c
p.AddRegion p.CreateRegion(4, "\\verb\*?\|", "\|", True)
p.AddRegion p.CreateRegion(4, "\\verb\*?\+", "\+", True)
p.AddRegion p.CreateRegion(4, "\\verb\*?!", "!", True)
p.AddRegion p.CreateRegion(1, "(?<!\\)%", "", False)
' Math: display forms before the inline ones.
Set m1 = p.CreateRegion(4, "(?<!\\)\$\$", "(?<!\\)\$\$", True)
Set m2 = p.CreateRegion(4, "(?<!\\)\$", "(?<!\\)\$", True)
Set m3 = p.CreateRegion(4, "(?<!\\)\\\[", "\\\]", True)
Set m4 = p.CreateRegion(4, "(?<!\\)\\\(", "\\\)", True)
m1.AddItem p.CreateItem(14, "\\[A-Za-z]+", False)
m2.AddItem p.CreateItem(14, "\\[A-Za-z]+", False)
m3.AddItem p.CreateItem(14, "\\[A-Za-z]+", False)
m4.AddItem p.CreateItem(14, "\\[A-Za-z]+", False)
m1.AddRegion p.CreateRegion(1, "(?<!\\)%", "", False)
m2.AddRegion p.CreateRegion(1, "(?<!\\)%", "", False)
m3.AddRegion p.CreateRegion(1, "(?<!\\)%", "", False)
m4.AddRegion p.CreateRegion(1, "(?<!\\)%", "", False)
p.AddRegion m1
p.AddRegion m2
p.AddRegion m3
p.AddRegion m4

p.FoldText "\\begin\b|(?<!\\)\{", True
p.UnfoldText "\\end\b|(?<!\\)\}", True
