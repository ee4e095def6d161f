' Rust: comments (doc comments ///, //!, /** */ and /*! */ apart; block
' comments nest), strings, byte and raw strings, characters, lifetimes,
' numbers with type suffixes, keywords, primitive and common library types,
' macros and attributes (with their strings). Braces fold.

Include "common.vbs"

Dim p, q, esc, ldoc, lcom, attr
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u\{[0-9a-fA-F_]{1,6}\}|.)"

' A block comment and the ones nested in it. Its end is looked for left to
' right from where the search starts ((?g)\G), over the comments nested in
' it (two levels), so that */* ends one. The nested comments are regions
' too (three levels), so that a line ending inside one is known. Children
' are looked for from their parent's first character on: a nested comment
' of level n takes the n - 1 characters before its /* (the one before not a
' *), so that it does not begin at its parent's own (one too near the start
' of a continued line is not seen).
Function BlockComment(style, begin, level)
    Dim c, plain, body
    plain = "[^*/]|\*(?!/)|/(?!\*)"
    body = "(?:" & plain & "|/\*(?:" & plain & "|/\*(?:" & plain & ")*\*/)*\*/)"
    Set c = p.CreateRegion(style, begin, "(?g)\G(?>" & body & "*)\*/", True)
    If level < 3 Then c.AddRegion BlockComment(style, String(level - 1, ".") & "[^*]/\*", level + 1)
    Set BlockComment = c
End Function

' Strings span lines; a backslash at the end of a line continues them
Function RustString()
    Dim s
    Set s = p.CreateStringRegion(3, q, "\", True)
    s.AddItem p.CreateItem(4, esc, True)
    s.AddItem p.CreateItem(4, "\{\{|\}\}", True)
    ' Format arguments {name:?}
    s.AddItem p.CreateItem(15, "(?<!\{)\{(?!\{)[\w.:?#<>^+-]*\}", True)
    Set RustString = s
End Function

' Raw strings r"...", r#"..."# end with a quote and as many hashes as they
' began with; also with b and c prefixes
Function RawString()
    Set RawString = p.CreateMatchedRegion(3, "\b[bc]?r(#*)" & q, "+" & q & "\1+", True)
End Function

' Comments
p.AddRegion BlockComment(2, "/\*\*(?![*/])|/\*!", 1)
p.AddRegion BlockComment(1, "+/*+", 1)
Set ldoc = p.CreateRegion(2, "///(?!/)|//!", "", True)
ldoc.AddItem p.CreateItem(14, "`[^`]*`", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
p.AddRegion ldoc
p.AddRegion lcom

' Attributes #[...] and #![...], with strings of their own (a region that
' spans lines goes back to the parent it was added to last) and line
' comments
Set attr = p.CreateRegion(13, "#!?\[", "\]", True)
attr.AddRegion RawString()
attr.AddRegion RustString()
attr.AddRegion lcom
p.AddRegion attr

p.AddRegion RawString()
p.AddRegion RustString()
' A quote starts a character only when a closing quote follows: 'a, 'static
' are lifetimes.
p.AddRegion p.CreateRegion(4, "(?:\bb|(?<!\w))'(?=(?:[^'\\]|\\(?:u\{[^}]*\}|x..|.))')", "(?:[^'\\]|\\(?:u\{[^}]*\}|.))*'", True)

' The b or c before the quote of a byte or C string
p.AddItem p.CreateItem(3, "\b[bc](?=" & q & ")", True)
p.AddItem p.CreateItem(5, Words("as async await break const continue crate dyn else enum extern fn for if impl " & _
    "in let loop match mod move mut pub ref return self Self static struct super trait type union unsafe " & _
    "use where while yield abstract become box do final macro override priv try typeof unsized virtual"), True)
p.AddItem p.CreateItem(12, Words("bool char str u8 u16 u32 u64 u128 usize i8 i16 i32 i64 i128 isize f32 f64 " & _
    "String Vec VecDeque HashMap HashSet BTreeMap BTreeSet Box Rc Arc Cell RefCell Mutex RwLock Option " & _
    "Result Cow Path PathBuf Iterator IntoIterator Fn FnMut FnOnce Send Sync Sized Copy Clone Debug " & _
    "Display Default PartialEq Eq PartialOrd Ord Hash From Into AsRef Drop Error"), True)
p.AddItem p.CreateItem(14, Words("true false None Some Ok Err"), True)
' Macros: println!, vec!, format! ...
p.AddItem p.CreateItem(14, "\b[A-Za-z_]\w*!(?=\s*[(\[{])", True)
p.AddItem p.CreateItem(15, "'[A-Za-z_]\w*\b(?!')", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[oO][0-7_]+|0[bB][01_]+|\d[\d_]*(?:\.(?![.\w])[\d_]*|\.\d[\d_]*)?(?:[eE][+-]?[\d_]+)?)" & _
    "(?:[iu](?:8|16|32|64|128|size)|f32|f64)?\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
