' C++: comments (doc comments /** */ and /// apart), strings and raw
' strings, character constants, numbers with digit separators, keywords,
' types, library names, attributes and the preprocessor. Braces fold, and
' so do #if ... #endif blocks.

Include "common.vbs"

Dim p, q, doc, blk, ldoc, lcom, raw, rawd, str, chl, pre, pblk, plcom, pstr, esc
Set p = Parser.CreateParser()
q = Chr(34)

esc = "\\(?:x[0-9a-fA-F]+|[0-7]{1,3}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)"

' Comments
Set doc = p.CreateRegion(2, "/\*\*(?![*/])|/\*!", "+*/+", True)
doc.AddItem p.CreateItem(13, "(?:^|(?<=\s))[@\\](?:param|tparam|return|returns|brief|note|see|file|author|deprecated|throws|todo|warning|details|retval|pre|post|code|endcode)\b", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set ldoc = p.CreateRegion(2, "///|//!", "", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)

' Raw strings R"( ... )" and R"delim( ... )delim" may span lines; the end of
' the second is the first closing parenthesis followed by 1 to 16 delimiter
' characters and a quote.
Set raw = p.CreateRegion(3, "\b(?:u8|[LuU])?R" & q & "\(", "\)" & q, True)
Set rawd = p.CreateRegion(3, "\b(?:u8|[LuU])?R" & q & "[^(\s\\]{1,16}\(", "\)[^()\s\\" & q & "]{1,16}" & q, True)
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
str.AddItem p.CreateItem(4, "%[-+ #0]*(?:\d+|\*)?(?:\.(?:\d+|\*))?(?:hh|h|ll|l|j|z|t|L)?[diouxXeEfFgGaAcspn%]", True)
' A quote after a digit is a digit separator, not a character constant
Set chl = p.CreateRegion(4, "(?:\b(?:u8|[LuU])|(?<!\w))'(?=(?:[^'\\]|\\.)+')", "(?:[^'\\]|\\.)*'", True)

' Preprocessor lines: the whole line, comments and strings in it apart; a
' backslash at the end of a line continues the directive on the next line.
Set pre = p.CreateRegion(9, "^\s*#", "[^\\]$", True)
pre.AddItem p.CreateItem(3, "(?<=include|import)\s*<[^>]*>", True)
pre.AddItem p.CreateItem(14, Words("defined __has_include __has_cpp_attribute"), True)
Set pblk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set plcom = p.CreateRegion(1, "+//+", "", True)
Set pstr = p.CreateStringRegion(3, q, "\", False)
pre.IsolateFolds True
pre.AddRegion pblk
pre.AddRegion plcom
pre.AddRegion pstr
pre.FoldText "^\s*#\s*if", True
pre.UnfoldText "^\s*#\s*endif\b", True

p.AddRegion pre
p.AddRegion doc
p.AddRegion blk
p.AddRegion ldoc
p.AddRegion lcom
p.AddRegion raw
p.AddRegion rawd
p.AddRegion str
p.AddRegion chl

' Keywords, types, constants and library names
p.AddItem p.CreateItem(15, "(?<=^\s*)[A-Za-z_]\w*(?=:(?!:))", True)
p.AddItem p.CreateItem(5, Words("alignas alignof and and_eq asm auto bitand bitor break case catch class " & _
    "co_await co_return co_yield compl concept const consteval constexpr constinit const_cast continue " & _
    "decltype default delete do dynamic_cast else enum explicit export extern final for friend goto if " & _
    "import inline module mutable namespace new noexcept not not_eq operator or or_eq override private " & _
    "protected public register reinterpret_cast requires return sizeof static static_assert static_cast " & _
    "struct switch template this thread_local throw try typedef typeid typename union using virtual " & _
    "volatile while xor xor_eq"), True)
p.AddItem p.CreateItem(12, Words("void bool char char8_t char16_t char32_t wchar_t short int long float double " & _
    "signed unsigned string wstring u8string u16string u32string string_view wstring_view vector array " & _
    "list forward_list deque map multimap unordered_map unordered_multimap set multiset unordered_set " & _
    "stack queue priority_queue pair tuple optional variant any span bitset unique_ptr shared_ptr " & _
    "weak_ptr function thread jthread mutex recursive_mutex lock_guard unique_lock scoped_lock " & _
    "condition_variable atomic future promise istream ostream iostream ifstream ofstream fstream " & _
    "stringstream istringstream ostringstream exception runtime_error logic_error invalid_argument " & _
    "out_of_range initializer_list iterator") & "|\b[A-Za-z_]\w*_t\b", True)
p.AddItem p.CreateItem(14, Words("true false nullptr NULL std cout cin cerr clog endl flush move forward swap " & _
    "make_unique make_shared make_pair make_tuple static_pointer_cast dynamic_pointer_cast get size " & _
    "printf fprintf snprintf puts malloc free memcpy memset strlen assert exit abort __FILE__ __LINE__ " & _
    "__func__ __cplusplus"), True)
p.AddItem p.CreateItem(13, "\[\[.*?\]\]", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F']+(?:\.[0-9a-fA-F']*)?(?:[pP][+-]?\d+)?|0[bB][01']+|" & _
    "\d[\d']*\.?[\d']*(?:[eE][+-]?\d+)?)\w*|(?<![\w.])\.\d[\d']*(?:[eE][+-]?\d+)?\w*", True)

' Braces fold, except in comments, strings and preprocessor lines (which count only their own marks).
p.FoldText "\{", True
p.UnfoldText "\}", True
