' Markdown: headings, emphasis, code spans and fenced code blocks, links and
' images, lists, block quotes, rules and embedded HTML comments and tags.
Dim p
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(5, "(?<![\\*])\*\*(?=\S)(?:[^*]|\*(?!\*))+?(?<=\S)\*\*|(?<![\w_])__(?=\S).+?(?<=\S)__(?![\w_])", False)
p.AddItem p.CreateItem(13, "(?<![\\*\w])\*(?=[^\s*])[^*]*?[^\s*\\]\*(?![*\w])|(?<![\\*\w])\*[^\s*]\*(?![*\w])|(?<![\w_])_(?=[^\s_])[^_]*?[^\s_]_(?![\w_])|~~(?=\S).+?(?<=\S)~~", False)
p.AddItem p.CreateItem(9, "(?<=^\s*)[-*+]\s\[[ xX]\](?=\s)|(?<=^\s*)(?:[-*+]|\d{1,9}[.)])(?=\s)|(?<=^\s{0,3})>+", False)
p.AddItem p.CreateItem(9, "</?[A-Za-z][\w-]*(?:\s[^<>]*)?/?>", False)
p.AddItem p.CreateItem(7, "!?\[[^\]]*\]\([^)\s]*(?:\s+""[^""]*"")?\)|!?\[[^\]]+\]\[[^\]]*\]|<(?:https?|ftp|mailto):[^>\s]+>|(?<![(<""\w])(?:https?|ftp)://[^\s<>)\]]+|^\s{0,3}\[[^\]]+\]:\s+\S+.*$", False)
p.AddItem p.CreateItem(14, "\\[\\`*_{}\[\]()#+\-.!|<>~]", False)
p.AddItem p.CreateItem(4, "(?<![\\`])(`+)[^`](?:.*?[^`])??\1(?!`)", False)
p.AddItem p.CreateItem(8, "^#{1,6}(?:\s.*)?$|^\s{0,3}(?:=+|-+)\s*$", False)
p.AddItem p.CreateItem(9, "^\s{0,3}(?:(?:\*\s*){3,}|(?:_\s*){3,})$", False)

' Fenced code: from an opening fence to a closing fence of the same kind.
p.AddRegion p.CreateRegion(4, "^\s{0,3}```", "^\s{0,3}```\s*$", False)
p.AddRegion p.CreateRegion(4, "^\s{0,3}~~~", "^\s{0,3}~~~\s*$", False)
p.AddRegion p.CreateRegion(1, "+<!--+", "+-->+", False)
