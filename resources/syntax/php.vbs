' PHP: the <?php and ?> tags, comments (doc comments /** */ apart, with
' their tags), strings with variables, here- and now-documents, numbers,
' variables, keywords, types, constants and built-in functions, attributes.
' Braces fold. Text outside the PHP tags is shown as PHP code as well.

Include "common.vbs"

Dim p, q, esc, vars, doc, blk, lcom, hcom, attr, heredoc, nowdoc, str1, str2
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{1,2}|u\{[0-9a-fA-F]+\}|[0-7]{1,3}|[nrtvef\\$" & q & "])"
vars = "\{\$[^}]*\}|\$[A-Za-z_]\w*(?:->[A-Za-z_]\w*|\[[^\]]*\])?"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "@\w+", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
' Attributes #[...] before comments starting with #
Set attr = p.CreateRegion(13, "#\[", "\]", True)
Set hcom = p.CreateRegion(1, "+#+", "", True)

' Here-documents (<<<ID, <<<"ID") and now-documents (<<<'ID') up to the line
' that starts with an upper-case name and holds nothing else but , ; or )
Set nowdoc = p.CreateRegion(4, "<<<\s*'[A-Z_][A-Z0-9_]*'", "^\s*[A-Z_][A-Z0-9_]*(?=\s*[;,)\]]|\s*$)", True)
Set heredoc = p.CreateRegion(4, "<<<\s*" & q & "?[A-Z_][A-Z0-9_]*" & q & "?", "^\s*[A-Z_][A-Z0-9_]*(?=\s*[;,)\]]|\s*$)", True)
heredoc.AddItem p.CreateItem(15, vars, True)

' Strings may span lines
Set str1 = p.CreateStringRegion(3, q, "\", True)
str1.AddItem p.CreateItem(4, esc, True)
str1.AddItem p.CreateItem(15, vars, True)
Set str2 = p.CreateStringRegion(3, "'", "\", True)
str2.AddItem p.CreateItem(4, "\\[\\']", True)

p.AddRegion doc
p.AddRegion blk
p.AddRegion lcom
p.AddRegion attr
p.AddRegion hcom
p.AddRegion nowdoc
p.AddRegion heredoc
p.AddRegion str1
p.AddRegion str2

' Keywords ignore case in PHP
p.AddItem p.CreateItem(5, Words("abstract and as break case catch class clone const continue declare default do " & _
    "echo else elseif empty enddeclare endfor endforeach endif endswitch endwhile enum extends final finally " & _
    "fn for foreach function global goto if implements include include_once instanceof insteadof interface " & _
    "isset list match namespace new or print private protected public readonly require require_once return " & _
    "static switch throw trait try unset use var while xor yield"), False)
p.AddItem p.CreateItem(12, Words("array bool boolean callable float double int integer iterable mixed never " & _
    "null object self parent static string void"), False)
p.AddItem p.CreateItem(12, Words("Exception Error TypeError ValueError RuntimeException InvalidArgumentException " & _
    "LogicException Throwable ArrayObject DateTime DateTimeImmutable Closure Generator Stringable Countable " & _
    "Traversable Iterator IteratorAggregate ArrayAccess JsonSerializable PDO stdClass"), True)
p.AddItem p.CreateItem(14, Words("true false null"), False)
p.AddItem p.CreateItem(14, Words("__CLASS__ __DIR__ __FILE__ __FUNCTION__ __LINE__ __METHOD__ __NAMESPACE__ " & _
    "__TRAIT__ PHP_EOL PHP_VERSION PHP_INT_MAX E_ALL E_ERROR E_WARNING E_NOTICE " & _
    "count strlen strpos str_replace substr sprintf printf implode explode trim strtolower strtoupper " & _
    "array_map array_filter array_keys array_values array_merge array_key_exists in_array is_array " & _
    "is_string is_int is_null json_encode json_decode var_dump print_r die exit define defined " & _
    "file_get_contents file_put_contents fopen fclose fwrite htmlspecialchars preg_match preg_replace " & _
    "sort usort"), True)
p.AddItem p.CreateItem(15, "\$[A-Za-z_]\w*", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|0[oO][0-7_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)\b|" & _
    "(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?\b", True)
p.AddItem p.CreateItem(9, "<\?(?:php\b|=)?|\?>", False)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
