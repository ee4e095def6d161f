' Swift: comments (doc comments /// and /** */ apart, with their markup),
' strings with \(...) interpolation, multi-line strings """ and raw strings
' #"..."#, numbers, keywords, types, built-in functions, attributes and
' compiler directives. Braces fold, and so do #if ... #endif blocks.

Include "common.vbs"

Dim p, q, esc, interp, doc, blk, ldoc, lcom, rawml, ml, raw, str, dir
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:u\{[0-9a-fA-F]{1,8}\}|[0\\tnr" & q & "'])"
interp = "\\\([^()]*(?:\([^()]*\)[^()]*)*\)"

' An interpolation \(...) is code up to its parenthesis (the end skips
' two levels of parentheses inside); it may hold strings of its own, with
' interpolations of one level.
Function InnerString()
    Dim s
    Set s = p.CreateStringRegion(3, q, "\", False)
    s.AddItem p.CreateItem(4, esc, True)
    s.AddItem p.CreateItem(15, interp, True)
    Set InnerString = s
End Function
Function Interpolation()
    Dim r
    Set r = p.CreateRegion(15, "\\\(", "(?:[^()]|\((?:[^()]|\([^()]*\))*\))*?\)", True)
    r.AddRegion InnerString()
    Set Interpolation = r
End Function

Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
doc.AddItem p.CreateItem(13, "(?<=^\s*\*?\s*)-\s+(?:Parameter|Parameters|Returns|Throws|Note|Warning|Precondition|Complexity)\b", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)
Set ldoc = p.CreateRegion(2, "///", "", True)
ldoc.AddItem p.CreateItem(13, "(?<=///\s*)-\s+(?:Parameter|Parameters|Returns|Throws|Note|Warning|Precondition|Complexity)\b", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
' Multi-line strings """ ... """ and #""" ... """#
Set rawml = p.CreateRegion(3, "#" & q & q & q, q & q & q & "#", True)
Set ml = p.CreateRegion(3, q & q & q, "(?:[^" & q & "\\]|\\.|" & q & "(?!" & q & q & "))*" & q & q & q, True)
ml.AddItem p.CreateItem(4, esc, True)
ml.AddRegion Interpolation()
' Raw strings #"..."#: backslashes are plain characters
Set raw = p.CreateRegion(3, "#" & q, q & "#|.$", True)
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
str.AddRegion Interpolation()
' Compiler directives and the source location literals
Set dir = p.CreateRegion(9, "^\s*#(?:if|elseif|else|endif|sourceLocation|warning|error)\b", "", True)
dir.AddRegion p.CreateRegion(1, "+//+", "", True)
dir.FoldText "#if\b", True
dir.UnfoldText "#endif\b", True

p.AddRegion dir
p.AddRegion doc
p.AddRegion blk
p.AddRegion ldoc
p.AddRegion lcom
p.AddRegion rawml
p.AddRegion ml
p.AddRegion raw
p.AddRegion str

p.AddItem p.CreateItem(5, Words("associatedtype class deinit enum extension fileprivate func import init inout " & _
    "internal let open operator private precedencegroup protocol public rethrows static struct subscript " & _
    "typealias var break case catch continue default defer do else fallthrough for guard if in repeat " & _
    "return throw switch where while as await async is super self Self throws try actor nonisolated " & _
    "isolated some any convenience dynamic final indirect lazy mutating nonmutating optional override " & _
    "required unowned weak willSet didSet get set consuming borrowing macro"), True)
p.AddItem p.CreateItem(12, Words("Int Int8 Int16 Int32 Int64 UInt UInt8 UInt16 UInt32 UInt64 Float Double " & _
    "Bool String Character Substring Array Dictionary Set Optional Result Void Never Error Any AnyObject " & _
    "Range ClosedRange Sequence Collection Equatable Hashable Comparable Codable Decodable Encodable " & _
    "Identifiable CustomStringConvertible Data Date URL UUID Task"), True)
p.AddItem p.CreateItem(14, Words("true false nil print debugPrint fatalError precondition assert min max abs " & _
    "zip stride map filter reduce sorted") & "|#(?:file|fileID|filePath|line|column|function|selector|" & _
    "available|unavailable|colorLiteral|imageLiteral|keyPath|dsohandle|externalMacro)\b", True)
p.AddItem p.CreateItem(13, "@[A-Za-z_]\w*", True)
' Closure arguments $0, $1 ...
p.AddItem p.CreateItem(15, "\$\d+", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+(?:\.[0-9a-fA-F_]+)?(?:[pP][+-]?\d+)?|0[oO][0-7_]+|0[bB][01_]+|" & _
    "\d[\d_]*(?:\.\d[\d_]*)?(?:[eE][+-]?\d+)?)\b", True)

' Braces fold.
p.FoldText "\{", True
p.UnfoldText "\}", True
