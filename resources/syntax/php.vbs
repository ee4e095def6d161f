' PHP: the page's HTML as html.vbs colours it (elements, attributes and their
' values, comments, the document type, entity references, scripts and style
' sheets), and the PHP code between <?php (or <?= or <?) and ?> wherever it
' stands: in the text, in a tag, in an attribute's value, in an HTML comment,
' in a script or a style sheet. In the code: comments (/** */ with a colour
' and tags of their own; a // or # comment ends where ?> ends the code),
' #[attributes], strings with their escapes and interpolations ($var,
' $var[key], $var->prop, {$expr}, ${name}), here- and now-documents that end
' at the word they began with (indented, and followed by more code, as PHP
' 7.3 allows), casts, numbers (with underscores), variables, keywords, types,
' constants and built-in functions. Braces and the alternative syntax
' (if (...): ... endif;) fold, and so do elements.
'
' The code in the text of the page is coloured in full; the code in a tag, a
' value, a comment, a script or a style sheet (mostly <?= $x ?>) has the
' same colours, but its strings and comments end with their line and it
' has no here-documents or attributes: every region that may stay open over
' lines needs an identifier of its own, and there are 59.

Include "common.vbs"

Dim p, q, ic, ident, entity, esc
Dim kwItem, memberItem, typeItem, classItem, litItem, biItem, castItem, varItem, numItem, tagItem, edgeItem
Dim strVarItem, afterEscItem, afterEscItem4, escItem, sqEscItem, docTagItem, entityItem
Dim closeItem, escSkip, edgeSkip, lineCom, hashCom, lightCom, interp, sqLine, dqLine, phpFold
Dim sb, st, cb, ct, css, dtd, tag, com, r, tagEnd

Set p = Parser.CreateParser()
q = Chr(34)
' A name: ASCII letters, digits and _ or any character past ASCII
ic = "\w\x{80}-\x{10FFFF}"
ident = "[A-Za-z_\x{80}-\x{10FFFF}][" & ic & "]*"
entity = "&(?:#\d+|#[xX][0-9a-fA-F]+|[A-Za-z][A-Za-z0-9]*);"
esc = "\\(?:[nrtvef\\$" & q & "]|[0-7]{1,3}|x[0-9a-fA-F]{1,2}|u\{[0-9a-fA-F]+\})"

' ---- The items of PHP code (one of each, shared by every copy of the code) ----

Set kwItem = p.CreateItem(5, Words("abstract and as break case catch class clone const continue declare " & _
    "default do echo else elseif empty enddeclare endfor endforeach endif endswitch endwhile enum eval extends " & _
    "final finally fn for foreach from function global goto if implements include include_once instanceof " & _
    "insteadof interface isset list match namespace new or print private protected public readonly require " & _
    "require_once return static switch throw trait try unset use var while xor yield"), False)
Set typeItem = p.CreateItem(12, Words("array bool boolean callable float double int integer iterable " & _
    "mixed never null object self parent static string void"), False)
Set classItem = p.CreateItem(12, Words("Exception Error TypeError ValueError ArgumentCountError " & _
    "ArithmeticError DivisionByZeroError JsonException RuntimeException InvalidArgumentException LogicException " & _
    "DomainException LengthException OutOfRangeException OutOfBoundsException RangeException OverflowException " & _
    "UnderflowException UnexpectedValueException BadFunctionCallException BadMethodCallException Throwable " & _
    "ArrayObject ArrayIterator DateTime DateTimeImmutable DateTimeInterface DateInterval Closure Generator " & _
    "Stringable Countable Traversable Iterator IteratorAggregate ArrayAccess JsonSerializable PDO PDOStatement " & _
    "PDOException stdClass SplObjectStorage WeakMap Attribute"), True)
Set litItem = p.CreateItem(14, Words("true false null"), False)
Set biItem = p.CreateItem(14, Words("__CLASS__ __DIR__ __FILE__ __FUNCTION__ __LINE__ __METHOD__ " & _
    "__NAMESPACE__ __TRAIT__ __PROPERTY__ PHP_EOL PHP_VERSION PHP_OS PHP_INT_MAX PHP_INT_MIN PHP_INT_SIZE " & _
    "PHP_FLOAT_EPSILON E_ALL E_ERROR E_WARNING E_NOTICE E_STRICT E_DEPRECATED ENT_QUOTES JSON_THROW_ON_ERROR " & _
    "count strlen strpos str_replace str_contains str_starts_with str_ends_with substr sprintf printf implode " & _
    "explode trim rtrim ltrim strtolower strtoupper ucfirst array_map array_filter array_keys array_values " & _
    "array_merge array_key_exists array_column array_sum array_slice array_search in_array is_array is_string " & _
    "is_int is_null is_numeric json_encode json_decode var_dump var_export print_r die exit define " & _
    "defined file_get_contents file_put_contents file_exists fopen fclose fwrite fgets htmlspecialchars " & _
    "htmlentities urlencode preg_match preg_match_all preg_replace preg_split sort usort ksort min max round " & _
    "floor ceil intval number_format date time compact extract"), True)
' (int) $x, ( string )$y
Set castItem = p.CreateItem(12, "\(\s*(?:int|integer|bool|boolean|float|double|real|string|array|object|" & _
    "unset|binary)\s*\)", False)
' ->name, ?->name and ::name: a method, property or constant, whatever its name
' (painted after the words; a variable after them all)
Set memberItem = p.CreateItem(0, "(?:->|::)\s*" & ident, True)
Set varItem = p.CreateItem(15, "\$+" & ident, True)
' 0x1F, 0b1010_0101, 0o17, 0755, 1_000_000, 1_000.5e-3, .25
Set numItem = p.CreateItem(6, "(?<![" & ic & "$])(?:0[xX][0-9a-fA-F]+(?:_[0-9a-fA-F]+)*|0[bB][01]+(?:_[01]+)*|" & _
    "0[oO][0-7]+(?:_[0-7]+)*|(?:\d+(?:_\d+)*(?:\.(?:\d+(?:_\d+)*)?)?|(?<!\.)\.\d+(?:_\d+)*)" & _
    "(?:[eE][+-]?\d+(?:_\d+)*)?)(?![" & ic & "])", True)
Set tagItem = p.CreateItem(9, "<\?(?:php\b|=)?|\?(?=>$)|\?>", False)
' # right before ?>: a comment with no text
Set edgeItem = p.CreateItem(1, "#(?=\?>)", True)

' The insides of strings and here-documents: simple interpolations ($var,
' $var[key], $var->prop), escapes; the name after \$ is text
Set strVarItem = p.CreateItem(15, "\$" & ident & "(?:\[(?:-?\d+|" & ident & "|\$" & ident & ")\]|\??->" & ident & ")?", True)
Set afterEscItem = p.CreateItem(3, "\\.[" & ic & "]*", True)
Set afterEscItem4 = p.CreateItem(4, "\\.[" & ic & "]*", True)
Set escItem = p.CreateItem(4, esc, True)
Set sqEscItem = p.CreateItem(4, "\\[\\']", True)
Set docTagItem = p.CreateItem(13, "(?<![\w@])@[A-Za-z][\w-]*", True)
Set entityItem = p.CreateItem(14, entity, True)

Sub CodeItems(t)
    t.AddItem tagItem
    t.AddItem edgeItem
    t.AddItem kwItem
    t.AddItem typeItem
    t.AddItem classItem
    t.AddItem litItem
    t.AddItem biItem
    t.AddItem castItem
    t.AddItem memberItem
    t.AddItem varItem
    t.AddItem numItem
End Sub

' ---- The regions of PHP code ----

' A backslash takes the next character: \{$x} is no {$...}, \" ends nothing
Set escSkip = p.CreateSkip("\\.", True)
' A // or # comment (#[ begins an attribute) ends with its line or before
' ?>; the # right before ?> is no comment that would hide the ?> (and the
' comment // begins at its first /, so that its second may end it)
Set edgeSkip = p.CreateSkip("#(?=\?>)", True)
Set lineCom = p.CreateRegion(1, "/(?=/)", ".(?=\?>)|$", True)
Set hashCom = p.CreateRegion(1, "#(?!\[)", ".(?=\?>)|$", True)
' The comments of the code in tags, values, scripts and style sheets
Set lightCom = p.CreateRegion(1, "/\*", "\*/|$", True)
lightCom.AddItem docTagItem

Function Single(multi)
    Dim s
    Set s = p.CreateStringRegion(3, "'", "\", multi)
    s.AddItem sqEscItem
    Set Single = s
End Function

' "..." with simple interpolations (inside {$...}: no {$...} of its own)
Function PlainDouble()
    Dim s
    Set s = p.CreateStringRegion(3, q, "\", False)
    s.AddItem strVarItem
    s.AddItem afterEscItem
    s.AddItem escItem
    s.AddRegion escSkip
    Set PlainDouble = s
End Function

' {$expr} and ${expr}: code with its own strings, to the } or the line's end
Set interp = p.CreateRegion(15, "\{(?=\$)|\$\{", "\}|$", True)
interp.IsolateFolds True
interp.AddRegion Single(False)
interp.AddRegion PlainDouble()

' The text of "...", a here-document or `...` (style 4: the text after an
' escape keeps it)
Sub Interpolated(t, style)
    t.AddItem strVarItem
    If style = 4 Then t.AddItem afterEscItem4 Else t.AddItem afterEscItem
    t.AddItem escItem
    t.AddRegion escSkip
    t.AddRegion interp
End Sub

Function Double(multi)
    Dim s
    Set s = p.CreateStringRegion(3, q, "\", multi)
    Interpolated s, 3
    Set Double = s
End Function

Set sqLine = Single(False)
Set dqLine = Double(False)

' Braces fold, and so do if (...): ... endif; and the other statements of the
' alternative syntax
phpFold = "\{|\b(?:if|foreach|for|while|switch|declare)\s*\((?:[^()]|\((?:[^()]|\([^()]*\))*\))*\)" & _
    "\s*:(?=\s*(?:\?>|$|//|#))"

' <?php ... ?>: in full in the text of the page, with comments and strings
' of one line elsewhere
Function PhpBlock(full)
    Dim b, s
    Set b = p.CreateRegion(0, "<\?(?:php\b|=)?", "\?>(?!$)|\?(?=>$)", False)
    b.IsolateFolds True
    b.FoldText phpFold, False
    b.UnfoldText "\}|\bend(?:if|foreach|for|while|switch|declare)\b", False
    CodeItems b
    b.AddRegion edgeSkip
    If full Then
        Set s = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
        s.AddItem docTagItem
        b.AddRegion s
        b.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
    Else
        b.AddRegion lightCom
    End If
    b.AddRegion lineCom
    b.AddRegion hashCom
    If full Then
        ' #[Attribute(...)], over lines, brackets nested
        Set s = p.CreateQuoteRegion(13, "#(\[)", "", 1)
        s.AddItem litItem
        s.AddItem varItem
        s.AddItem numItem
        s.AddRegion sqLine
        s.AddRegion dqLine
        b.AddRegion s
        ' Now-documents (<<<'EOT') and here-documents (<<<EOT, <<<"EOT") up
        ' to the line that starts with their word (after spaces) not followed
        ' by a character of a name
        b.AddRegion p.CreateMatchedRegion(4, "<<<[ \t]*'(" & ident & ")'[ \t]*$", "^[ \t]*\1(?![" & ic & "])", True)
        Set s = p.CreateMatchedRegion(4, "<<<[ \t]*(?:" & q & "(" & ident & ")" & q & "|(" & ident & "))[ \t]*$", _
            "^[ \t]*\1\2(?![" & ic & "])", True)
        Interpolated s, 4
        b.AddRegion s
        b.AddRegion Double(True)
        b.AddRegion Single(True)
        ' `command`
        Set s = p.CreateStringRegion(4, "`", "\", True)
        Interpolated s, 4
        b.AddRegion s
    Else
        b.AddRegion dqLine
        b.AddRegion sqLine
    End If
    Set PhpBlock = b
End Function

' The code anywhere else. Where ?> ends a line the code ends at its ? and
' the > is painted by what holds the code: an end found inside a child region
' is looked for again after the child only when the child goes past it, and
' a string or comment left open at the line's end stops right there, so a ?>
' at the line's end inside it would end the code.
Set closeItem = p.CreateItem(9, "(?<=\?)>", True)

Sub AddPhp(t)
    t.AddRegion PhpBlock(False)
    t.AddItem closeItem
End Sub

' The code in the text of the page (first: its identifier is the lowest of
' the code's regions, so that its comments and strings fold inside it)
p.AddRegion PhpBlock(True)
p.AddItem closeItem

' ---- HTML (as html.vbs, with PHP code in each of its regions) ----

p.AddItem entityItem

Function Value(quote)
    Dim s
    Set s = p.CreateStringRegion(3, quote, "", True)
    s.AddItem entityItem
    AddPhp s
    Set Value = s
End Function

' A tag ends at a > that is no ?> (an end that a child region ends on is
' not looked for again: the ?> of the code in the tag would end it)
tagEnd = "(?<!\?)>"

Sub TagItems(t)
    t.AddItem p.CreateItem(13, "(?<![^\s])[^\s""'<>/=]+", True)
    t.AddItem p.CreateItem(3, "(?<==\s*)[^\s""'<>=`]+", True)
    t.AddItem p.CreateItem(9, "</?|/?>", True)
    AddPhp t
    t.AddRegion Value("""")
    t.AddRegion Value("'")
End Sub

Set com = p.CreateRegion(1, "+<!--+", "+-->+", True)
AddPhp com
p.AddRegion com

Set dtd = p.CreateRegion(9, "<!(?=[A-Za-z])", ">", False)
dtd.AddItem p.CreateItem(5, "(?<=<!)[A-Za-z]+", True)
dtd.AddRegion p.CreateStringRegion(3, """", "", False)
dtd.AddRegion p.CreateStringRegion(3, "'", "", False)
p.AddRegion dtd

' Scripts: the start tag, then the script's comments, strings, words and
' numbers up to the end tag.
Set sb = p.CreateRegion(0, "<(?=script\b)", "</script\s*>", False)
sb.AddItem p.CreateItem(5, Words("async await break case catch class const continue debugger default delete do else " & _
    "export extends finally for function if import in instanceof let new of return static super switch this throw " & _
    "try typeof var void while with yield"), True)
sb.AddItem p.CreateItem(14, Words("true false null undefined NaN Infinity document window console"), True)
sb.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F]+|\d+(?:\.\d*)?(?:[eE][+-]?\d+)?)\b", False)
sb.AddItem p.CreateItem(9, "<(?=script\b)|</(?=script\s*>)|(?<=</script)\s*>", False)
sb.AddItem p.CreateItem(5, "(?<=</)script(?=\s*>)", False)
Set st = p.CreateRegion(0, "(?<=<)script\b", tagEnd, False)
st.AddItem p.CreateItem(5, "^script|(?<=<)script", False)
TagItems st
sb.AddRegion st
AddPhp sb
sb.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
sb.AddRegion p.CreateRegion(1, "+//+", "", True)
Set r = p.CreateStringRegion(3, """", "\", False)
AddPhp r
sb.AddRegion r
Set r = p.CreateStringRegion(3, "'", "\", False)
AddPhp r
sb.AddRegion r
sb.AddRegion p.CreateStringRegion(3, "`", "\", True)
sb.FoldText "\{", True
sb.UnfoldText "\}", True
p.AddRegion sb

' Style sheets: the start tag, comments, strings and declaration blocks.
Set cb = p.CreateRegion(0, "<(?=style\b)", "</style\s*>", False)
cb.AddItem p.CreateItem(9, "<(?=style\b)|</(?=style\s*>)|(?<=</style)\s*>", False)
cb.AddItem p.CreateItem(5, "(?<=</)style(?=\s*>)", False)
cb.AddItem p.CreateItem(12, "\.-?[A-Za-z_][\w-]*", False)
cb.AddItem p.CreateItem(15, "#[A-Za-z_-][\w-]*", False)
cb.AddItem p.CreateItem(9, "@[\w-]+", False)
Set ct = p.CreateRegion(0, "(?<=<)style\b", tagEnd, False)
ct.AddItem p.CreateItem(5, "(?<=<)style", False)
TagItems ct
cb.AddRegion ct
AddPhp cb
cb.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
Set css = p.CreateRegion(0, "+{+", "+}+", True)
css.AddItem p.CreateItem(13, "(?<![\w-])-?[A-Za-z][\w-]*(?=\s*:)", False)
css.AddItem p.CreateItem(6, "(?<![\w.#-])-?(?:\d+\.?\d*|\.\d+)(?:%|[A-Za-z]+)?|#[0-9a-fA-F]{3,8}\b", False)
css.AddItem p.CreateItem(5, "!\s*important\b", False)
AddPhp css
css.AddRegion p.CreateRegion(1, "+/*+", "+*/+", True)
Set r = p.CreateStringRegion(3, """", "\", False)
AddPhp r
css.AddRegion r
Set r = p.CreateStringRegion(3, "'", "\", False)
AddPhp r
css.AddRegion r
cb.AddRegion css
cb.AddRegion p.CreateStringRegion(3, """", "\", False)
cb.AddRegion p.CreateStringRegion(3, "'", "\", False)
p.AddRegion cb

' Start and end tags of every other element.
Set tag = p.CreateRegion(0, "</?(?=[A-Za-z])", tagEnd, False)
tag.AddItem p.CreateItem(5, "(?<=</?)[A-Za-z][\w:.-]*", True)
TagItems tag
p.AddRegion tag

' Start tags open elements, except those of void elements; a start tag
' that goes on past its line also folds its own lines (a second mark),
' closed by the line state where the tag ends.
p.FoldText "<(?=[A-Za-z][^>]*$)|(?<=<)(?!(?:area|base|br|col|embed|hr|img|input|keygen|link|meta|param|source|track|wbr)\b)[A-Za-z]", False
p.UnfoldText "</[A-Za-z]", False
