' Differences (unified, context and normal formats, and rejected hunks):
' file headers, hunk headers, added, removed and changed lines, notes and
' conflict markers.
Dim p
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(12, "^[+>].*$", False)
p.AddItem p.CreateItem(6, "^[-<].*$", False)
p.AddItem p.CreateItem(13, "^! .*$", False)
p.AddItem p.CreateItem(8, "^(?:diff|index|Index:|Only in|Binary files|Files|new file mode|deleted file mode|old mode|new mode|" & _
    "similarity index|dissimilarity index|rename from|rename to|copy from|copy to|Property changes on:)(?:\s.*)?$", True)
p.AddItem p.CreateItem(8, "^(?:--- |\+\+\+ |\*\*\* (?!\d+(?:,\d+)? \*\*\*\*)).*$|^={4,}\s*$", True)
p.AddItem p.CreateItem(9, "^@@ .*?@@|^\*{15}.*$|^\*\*\* \d+(?:,\d+)? \*\*\*\*.*$|^--- \d+(?:,\d+)? ----.*$|^\d+(?:,\d+)?[acd]\d+(?:,\d+)?\s*$", True)
p.AddItem p.CreateItem(1, "^\\ .*$", True)
p.AddItem p.CreateItem(10, "^(?:<{7}|={7}|>{7}|\|{7})(?:\s.*)?$", True)
