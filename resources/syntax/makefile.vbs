' Makefiles: comments, rule targets, variable definitions and references,
' automatic variables, functions, directives and quoted text in recipes;
' folds conditionals and define blocks.
Include "common.vbs"

Dim p, str
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(12, "^(?!\t)(?:[^\s:=#$(]|\$[({][\w.]+[)}])(?:[^:=#$(]|\$[({][\w.]+[)}])*?(?=\s*::?(?![=:]))", False)
p.AddItem p.CreateItem(9, "^\.[A-Z_]+(?=\s*:)", True)
p.AddItem p.CreateItem(13, "^\s*(?:(?:export|override|private)\s+)?[\w.\-/]+(?=\s*(?:[:?+!]|::)?=)", False)
p.AddItem p.CreateItem(9, "^\s*-?(?:include|sinclude|ifeq|ifneq|ifdef|ifndef|else|endif|define|endef|override|export|unexport|vpath|undefine)(?=\s|$)", True)
p.AddItem p.CreateItem(9, "(?<=^\s*)(?:export|override|private)(?=\s)", True)
p.AddItem p.CreateItem(9, "^\t[@+-]+", False)
p.AddItem p.CreateItem(15, "\$[@<^?*%+|]|\$\((?:[@<^?*%][DF])\)|\$\([^()$\s]+\)|\$\{[^{}$\s]+\}|\$\$\w*", False)
p.AddItem p.CreateItem(14, "(?<=\$[({])" & Words("abspath addprefix addsuffix and basename call dir error eval file filter " & _
    "filter-out findstring firstword flavor foreach guile if info join lastword notdir or origin patsubst realpath " & _
    "shell sort strip subst suffix value warning wildcard word wordlist words") & "(?=\s)", True)
p.AddItem p.CreateItem(9, "\$[({](?=(?:abspath|addprefix|addsuffix|and|basename|call|dir|error|eval|file|filter|filter-out|findstring|firstword|flavor|foreach|guile|if|info|join|lastword|notdir|or|origin|patsubst|realpath|shell|sort|strip|subst|suffix|value|warning|wildcard|word|wordlist|words)\s)", True)

p.AddRegion p.CreateRegion(1, "(?<!\\)#", "", False)
Set str = p.CreateStringRegion(3, """", "\", False)
str.AddItem p.CreateItem(15, "\$[@<^?*%+|]|\$\([^()$\s]+\)|\$\{[^{}$\s]+\}", False)
p.AddRegion str

p.FoldText "^\s*(?:ifeq|ifneq|ifdef|ifndef|define)(?=\s|$)", True
p.UnfoldText "^\s*(?:endif|endef)(?=\s|$)", True
