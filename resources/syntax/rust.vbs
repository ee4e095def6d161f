' Rust: comments (doc comments ///, //!, /** */ and /*! */ apart), strings,
' byte and raw strings, characters, lifetimes, numbers with type suffixes,
' keywords, primitive and common library types, macros and attributes.
' Braces fold.

Include "common.vbs"

Dim p, q, esc, doc, blk, ldoc, lcom, attr, str, chl, i, hashes, r
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{2}|u\{[0-9a-fA-F_]{1,6}\}|.)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])|/\*!", "+*/+", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set ldoc = p.CreateRegion(2, "///(?!/)|//!", "", True)
ldoc.AddItem p.CreateItem(14, "`[^`]*`", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
p.AddRegion doc
p.AddRegion blk
p.AddRegion ldoc
p.AddRegion lcom

' Attributes #[...] and #![...]
Set attr = p.CreateRegion(13, "#!?\[", "\]", True)
p.AddRegion attr

' Raw strings r"...", r#"..."# up to three hashes, also b and c prefixes
hashes = ""
For i = 0 To 3
    Set r = p.CreateRegion(3, "\b[bc]?r" & hashes & q, q & hashes, True)
    p.AddRegion r
    hashes = hashes & "#"
Next

' Strings span lines; a backslash at the end of a line continues them
Set str = p.CreateStringRegion(3, q, "\", True)
str.AddItem p.CreateItem(4, esc, True)
str.AddItem p.CreateItem(4, "\{\{|\}\}", True)
' Format arguments {name:?}
str.AddItem p.CreateItem(15, "(?<!\{)\{(?!\{)[\w.:?#<>^+-]*\}", True)
p.AddRegion str
' A quote starts a character only when a closing quote follows: 'a, 'static
' are lifetimes.
Set chl = p.CreateRegion(4, "(?:\bb|(?<!\w))'(?=(?:[^'\\]|\\(?:u\{[^}]*\}|x..|.))')", "(?:[^'\\]|\\(?:u\{[^}]*\}|.))*'", True)
p.AddRegion chl

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
