' backup.vbs - copies changed files to a backup folder
' Usage: cscript backup.vbs SOURCE TARGET
Option Explicit

Const ForReading = 1, ForWriting = 2
Const MAX_AGE = 30, MASK = &HFF, PERMS = &O755
Dim fso, shell, src, dst, copied, started
REM a comment with the old keyword
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")
copied = 0
started = #2024-01-31#

' Logs one line with a time stamp
Sub Report(msg)
    WScript.Echo Now() & " " & msg   ' trailing comment
End Sub

Function IsNewer(srcFile, dstPath)
    IsNewer = True
    If fso.FileExists(dstPath) Then
        If srcFile.DateLastModified <= fso.GetFile(dstPath).DateLastModified Then
            IsNewer = False
        End If
    End If
End Function

Class Counter
    Private m_count
    Private Sub Class_Initialize()
        m_count = 0
    End Sub
    Public Property Get Value()
        Value = m_count
    End Property
    Public Sub Increment(ByVal n)
        m_count = m_count + n
    End Sub
End Class

Sub CopyFolder(srcPath, dstPath, counter)
    Dim folder, file, sub_
    If Not fso.FolderExists(dstPath) Then fso.CreateFolder dstPath
    Set folder = fso.GetFolder(srcPath)
    For Each file In folder.Files
        If IsNewer(file, dstPath & "\" & file.Name) Then
            file.Copy dstPath & "\", True
            counter.Increment 1
        ElseIf file.Size = 0 Then
            Report "skipped empty """ & file.Name & """"
        Else
            Report "unchanged: " & file.Name
        End If
    Next
    For Each sub_ In folder.SubFolders
        CopyFolder sub_.Path, dstPath & "\" & sub_.Name, counter
    Next
End Sub

Dim args, c, i
Set args = WScript.Arguments
If args.Count < 2 Then
    MsgBox "Usage: backup.vbs SOURCE TARGET", vbExclamation, "Backup"
    WScript.Quit 1
End If
Set c = New Counter
On Error Resume Next
CopyFolder args(0), args(1), c
If Err.Number <> 0 Then Report "error " & Err.Number & ": " & Err.Description
On Error GoTo 0
Select Case c.Value
    Case 0
        Report "nothing to do"
    Case Else
        Report CStr(c.Value) & " files copied, ratio " & FormatNumber(1.5E2 / 3, 2)
End Select
i = 0
Do While i < 3
    i = i + 1
Loop
While i > 0
    i = i - 1
Wend
With fso
    .DeleteFile "*.tmp", True
End With
Set fso = Nothing
