Option Explicit
REM user-list.vbs - reads a CSV of users and writes an HTML table.
REM The CSV has a header row: name,email,role

Class User
    Public Name, Email, Role

    Public Function ToRow()
        ToRow = "<tr><td>" & HtmlEncode(Name) & "</td><td><a href=""mailto:" & Email & """>" & _
                HtmlEncode(Email) & "</a></td><td>" & HtmlEncode(Role) & "</td></tr>"
    End Function

    Public Property Get IsAdmin
        IsAdmin = (LCase(Role) = "admin")
    End Property
End Class

Function HtmlEncode(s)
    Dim r
    r = Replace(s, "&", "&amp;")
    r = Replace(r, "<", "&lt;")
    r = Replace(r, ">", "&gt;")
    HtmlEncode = Replace(r, """", "&quot;")
End Function

Function ParseLine(line)
    ' Splits on commas, honouring "quoted, fields" and doubled quotes.
    Dim fields(), i, ch, inQuotes, current, n
    ReDim fields(0)
    n = 0 : inQuotes = False : current = ""
    For i = 1 To Len(line)
        ch = Mid(line, i, 1)
        Select Case True
            Case ch = """" And inQuotes And Mid(line, i + 1, 1) = """"
                current = current & """"
                i = i + 1
            Case ch = """"
                inQuotes = Not inQuotes
            Case ch = "," And Not inQuotes
                fields(n) = current : current = ""
                n = n + 1 : ReDim Preserve fields(n)
            Case Else
                current = current & ch
        End Select
    Next
    fields(n) = current
    ParseLine = fields
End Function

Dim fso, input, output, users, line, cols, u, admins, k
Set fso = CreateObject("Scripting.FileSystemObject")
Set users = CreateObject("Scripting.Dictionary")
users.CompareMode = vbTextCompare

Set input = fso.OpenTextFile("users.csv", 1, False, -1)
If Not input.AtEndOfStream Then input.SkipLine
Do Until input.AtEndOfStream
    line = Trim(input.ReadLine)
    If Len(line) > 0 And Left(line, 1) <> "#" Then
        cols = ParseLine(line)
        If UBound(cols) >= 2 Then
            Set u = New User
            u.Name = cols(0) : u.Email = cols(1) : u.Role = cols(2)
            If Not users.Exists(u.Email) Then users.Add u.Email, u
        End If
    End If
Loop
input.Close

Set output = fso.CreateTextFile("users.html", True, True)
output.WriteLine "<table>"
output.WriteLine "<tr><th>Name</th><th>E-mail</th><th>Role</th></tr>"
admins = 0
For Each k In users.Keys
    output.WriteLine users(k).ToRow()
    If users(k).IsAdmin Then admins = admins + 1
Next
output.WriteLine "</table>"
output.Close

MsgBox users.Count & " users written, " & admins & " admin(s).", vbInformation + vbOKOnly, "User list"
