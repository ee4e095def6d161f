' Batch files: REM and :: comments, labels, strings, variables of every
' form, keywords, commands and redirections; folds parenthesised blocks.
Include "common.vbs"

Dim p, str, vars
Set p = Parser.CreateParser()
vars = "%%~?[a-zA-Z]|%~[fdpnxsatz$:\w]*\d|%\*|%\d|%[\w#$@.-]+(?::[^%]*)?%|![\w#$@.-]+(?::[^!]*)?!"

p.AddItem p.CreateItem(14, Words("assoc attrib break cd chcp chdir cls color copy date del dir echo endlocal erase " & _
    "findstr ftype md mkdir mklink move path pause popd prompt pushd rd ren rename rmdir set setlocal shift start " & _
    "time title type ver verify vol xcopy robocopy timeout choice where"), False)
p.AddItem p.CreateItem(5, Words("call cmd defined do else enabledelayedexpansion enableextensions disabledelayedexpansion " & _
    "disableextensions equ errorlevel exist exit for geq goto gtr if in leq lss neq not nul"), False)
p.AddItem p.CreateItem(6, "(?<![\w%.-])-?\d+(?![\w%])", False)
p.AddItem p.CreateItem(9, "^\s*@|(?<![\w%])\d?>>?(?:&\d)?|[|&<>]+", False)
p.AddItem p.CreateItem(13, "(?<=\s)/[A-Za-z?]\w*", False)
p.AddItem p.CreateItem(15, vars, False)
p.AddItem p.CreateItem(15, "^\s*:[^\s:]\S*|(?<=\bgoto\s+):?\S+|(?<=\bcall\s+):\S+", False)
p.AddItem p.CreateItem(9, "(?<=\becho)\.|(?<=\becho\s)(?:on|off)\b", False)

p.AddRegion p.CreateRegion(1, "^\s*@?rem(?=[\s=,;]|$)|^\s*::|(?<=&\s*)rem(?=[\s=,;]|$)", "", False)
' A variable with a substitution (%PATH:"=%) opens no string.
p.AddRegion p.CreateSkip("%[\w#$@.-]+:[^%]*%", False)
Set str = p.CreateStringRegion(3, """", "", False)
str.AddItem p.CreateItem(15, vars, False)
p.AddRegion str
' The command of FOR /F ... IN ('command') or, with usebackq, (`command`);
' its text is the command line whose output is parsed.
Set str = p.CreateRegion(3, "(?<=\bin\s*\()'", "'(?=\s*\))", False)
str.AddItem p.CreateItem(15, vars, False)
p.AddRegion str
Set str = p.CreateRegion(3, "(?<=\bin\s*\()`", "`(?=\s*\))", False)
str.AddItem p.CreateItem(15, vars, False)
p.AddRegion str

p.FoldText "\(", False
p.UnfoldText "\)", False
