' SQL: standard keywords with the common dialect additions, comments, strings,
' quoted identifiers, variables; folds BEGIN/CASE/LOOP ... END and parentheses.
Include "common.vbs"

Dim p, r
Set p = Parser.CreateParser()

p.AddItem p.CreateItem(5, Words("add all alter and any as asc begin between by cascade case check column commit " & _
    "constraint create cross database declare default delete desc distinct drop else elsif end escape except exec execute " & _
    "exists fetch for foreign from full function go grant group having if in index inner insert intersect into is join key " & _
    "language left like limit loop merge natural not null of offset on or order outer over partition primary procedure " & _
    "references replace return returns revoke right rollback row rows savepoint schema select set table then to top " & _
    "transaction trigger truncate union unique update using values view when where while with"), False)
p.AddItem p.CreateItem(12, Words("bigint binary bit blob bool boolean char character clob date datetime datetime2 decimal " & _
    "double float int integer interval json jsonb money nchar numeric nvarchar real serial smallint text time timestamp " & _
    "tinyint uuid varbinary varchar xml"), False)
p.AddItem p.CreateItem(14, Words("abs avg cast ceil coalesce concat count current_date current_timestamp dense_rank " & _
    "extract floor getdate ifnull isnull length lower max min now nullif rank round row_number substring sum trim upper") & "(?=\s*\()", False)
p.AddItem p.CreateItem(14, Words("true false unknown"), False)
p.AddItem p.CreateItem(6, "\b(?:0[xX][0-9a-fA-F]+|\d+(?:\.\d*)?(?:[eE][+-]?\d+)?)\b", False)
p.AddItem p.CreateItem(15, "@@?\w+|\$\d+|:\w+\b", False)

p.AddRegion p.CreateRegion(1, "+--+", "", False)
p.AddRegion p.CreateRegion(1, "+/*+", "+*/+", False)
p.AddRegion p.CreateStringRegion(3, "'", "", True)
p.AddRegion p.CreateStringRegion(4, """", "", False)
p.AddRegion p.CreateStringRegion(4, "`", "", False)

p.FoldText "\(|(?<!\bend\s+)\b(?:case|loop)\b|\bbegin\b(?!\s*;|\s+tran)", False
p.UnfoldText "\)|\bend\b(?!\s+(?:if|while)\b)(?:\s+(?:loop|case)\b)?", False
