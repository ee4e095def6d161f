' C#: comments (XML doc comments /// apart), regular, verbatim, raw and
' interpolated strings, characters, numbers, keywords, types, attributes and
' preprocessor lines. Braces fold, and so do #region ... #endregion and
' #if ... #endif.

Include "common.vbs"

Dim p, q, esc, ldoc, lcom, doc, blk, rawstr, verb, istr, str, chl, pre, plcom
Set p = Parser.CreateParser()
q = Chr(34)
esc = "\\(?:x[0-9a-fA-F]{1,4}|u[0-9a-fA-F]{4}|U[0-9a-fA-F]{8}|.)"

' Comments
Set ldoc = p.CreateRegion(2, "///", "", True)
ldoc.AddItem p.CreateItem(13, "</?\w+[^>]*>", True)
Set lcom = p.CreateRegion(1, "+//+", "", True)
Set doc = p.CreateRegion(2, "/\*\*(?![*/])", "+*/+", True)
Set blk = p.CreateRegion(1, "+/*+", "+*/+", True)

' Raw string literals: three or more quotes, may span lines
Set rawstr = p.CreateRegion(3, "\$*" & q & q & q, q & q & q & "+", True)
' Verbatim strings @"..." (also $@"..." and @$"..."): a doubled quote stands
' for one quote, and they may span lines. The end is a quote that closes a
' run of an odd number of quotes.
Set verb = p.CreateRegion(3, "(?:\$@|@\$?)" & q, "(?:(?<=[@$]" & q & ")|(?<!" & q & "))(?:" & q & q & ")*" & q & "(?!" & q & ")", True)
' Regular and interpolated strings; holes {expr} of $"..." shown as variables
Set str = p.CreateStringRegion(3, q, "\", False)
str.AddItem p.CreateItem(4, esc, True)
Set istr = p.CreateRegion(3, "\$" & q, "(?:[^" & q & "\\]|\\.)*" & q & "|.+$", True)
istr.AddItem p.CreateItem(4, esc & "|\{\{|\}\}", True)
istr.AddItem p.CreateItem(15, "(?<!\{)\{[^{}" & q & "]*\}", True)
Set chl = p.CreateRegion(4, "'(?=(?:[^'\\]|\\.)+')", "(?:[^'\\]|\\.)*'", True)

' Preprocessor lines
Set pre = p.CreateRegion(9, "^\s*#", "", True)
pre.IsolateFolds True
Set plcom = p.CreateRegion(1, "+//+", "", True)
pre.AddRegion plcom
pre.FoldText "^\s*#\s*(?:if|region)\b", True
pre.UnfoldText "^\s*#\s*(?:endif|endregion)\b", True

p.AddRegion pre
p.AddRegion ldoc
p.AddRegion lcom
p.AddRegion doc
p.AddRegion blk
p.AddRegion rawstr
p.AddRegion verb
p.AddRegion istr
p.AddRegion str
p.AddRegion chl

p.AddItem p.CreateItem(5, Words("abstract as base break case catch checked class const continue default " & _
    "delegate do else enum event explicit extern finally fixed for foreach goto if implicit in interface " & _
    "internal is lock namespace new operator out override params private protected public readonly ref " & _
    "return sealed sizeof stackalloc static struct switch this throw try typeof unchecked unsafe using " & _
    "virtual void volatile while add alias and async await by descending equals file from get global " & _
    "group init into join let managed nameof not notnull on or orderby partial record remove required " & _
    "scoped select set unmanaged value when where with yield"), True)
p.AddItem p.CreateItem(12, Words("bool byte sbyte char decimal double float int uint nint nuint long ulong " & _
    "short ushort object string dynamic var String Object Int32 Int64 Boolean Double Decimal DateTime " & _
    "TimeSpan Guid Task ValueTask List Dictionary HashSet Queue Stack IEnumerable IList IDictionary " & _
    "ICollection Action Func Exception ArgumentException ArgumentNullException " & _
    "InvalidOperationException Span ReadOnlySpan StringBuilder CancellationToken"), True)
p.AddItem p.CreateItem(14, Words("true false null Console Math Convert Environment Array Enumerable " & _
    "Path File Directory"), True)
' Attributes at the start of a line: [Serializable], [assembly: ...]
p.AddItem p.CreateItem(13, "(?<=^\s*)\[[^\]]*\]", True)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F_]+|0[bB][01_]+|\d[\d_]*\.?[\d_]*(?:[eE][+-]?\d+)?)" & _
    "(?:[uU][lL]?|[lL][uU]?|[fFdDmM])?\b|(?<![\w.])\.\d[\d_]*(?:[eE][+-]?\d+)?[fFdDmM]?\b", True)

' Braces fold, except in comments, strings and preprocessor lines (which count only their own marks).
p.FoldText "\{", True
p.UnfoldText "\}", True
