' Settings files (INI, INF, properties, registry exports, TOML): sections,
' keys, comments, quoted values, numbers, constants and variable references.
Dim p, str
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(13, "^\s*[^\s;#=:\[""'][^=:]*?(?=\s*(?:=|:(?!:)))|^\s*""[^""]*""(?=\s*=)", False)
p.AddItem p.CreateItem(6, "(?<=[=:,\[]\s*)[-+]?(?:0x[0-9a-fA-F]+|\d+(?:\.\d+)?(?:[eE][+-]?\d+)?)\s*(?=$|[,\]#;])|\b(?:dword|hex(?:\([0-9a-f]\))?|qword):[0-9a-fA-F,\\\s]*", False)
p.AddItem p.CreateItem(14, "(?<=[=:,\[]\s*)(?:true|false|yes|no|on|off|null|none)\s*(?=$|[,\]#;])", False)
p.AddItem p.CreateItem(15, "%[\w.-]+%|\$\{[^}]*\}|\$\([^)]*\)", False)
p.AddItem p.CreateItem(8, "^\s*\[\[?[^\]]*\]\]?", False)

p.AddRegion p.CreateRegion(1, "^\s*[;#]|(?<=\s)[;#](?=\s)", "", False)
' A quoted name before "=" (registry exports) is a key.
p.AddRegion p.CreateRegion(13, "^\s*""(?=[^""]*""\s*=)", """", False)
Set str = p.CreateStringRegion(3, """", "\", False)
str.AddItem p.CreateItem(15, "%[\w.-]+%|\$\{[^}]*\}", False)
p.AddRegion str
p.AddRegion p.CreateRegion(4, "(?<=[=:,\[]\s*)'(?=[^']*')", "'", False)
