' disk-report.vbs - lists fixed drives and warns when free space is low.
' Usage: cscript //nologo disk-report.vbs [threshold-percent]
Option Explicit

Const DRIVE_FIXED = 2
Const FOR_WRITING = 2
Const DEFAULT_THRESHOLD = 10

Dim fso, shell, threshold, report, drive, pctFree, lowCount
Set fso = CreateObject("Scripting.FileSystemObject")
Set shell = CreateObject("WScript.Shell")

threshold = DEFAULT_THRESHOLD
If WScript.Arguments.Count > 0 Then
    If IsNumeric(WScript.Arguments(0)) Then
        threshold = CInt(WScript.Arguments(0))
    Else
        WScript.Echo "Threshold must be a number, got """ & WScript.Arguments(0) & """"
        WScript.Quit 1
    End If
End If

report = "Disk report for " & shell.ExpandEnvironmentStrings("%COMPUTERNAME%") & " at " & Now() & vbCrLf
report = report & String(60, "-") & vbCrLf
lowCount = 0

For Each drive In fso.Drives
    If drive.DriveType = DRIVE_FIXED And drive.IsReady Then
        pctFree = Round(100 * drive.FreeSpace / drive.TotalSize, 1)
        report = report & FormatLine(drive.DriveLetter & ":", drive.VolumeName, drive.FreeSpace, pctFree)
        If pctFree < threshold Then lowCount = lowCount + 1
    End If
Next

report = report & String(60, "-") & vbCrLf & lowCount & " drive(s) below " & threshold & "%" & vbCrLf
WScript.Echo report
SaveReport report

If lowCount > 0 Then
    shell.LogEvent 2, "Low disk space on " & lowCount & " drive(s); it's time to clean up."
    WScript.Quit 2
End If

'------------------------------------------------------------------------------
Function FormatLine(letter, label, freeBytes, pct)
    Dim name
    name = label
    If Len(name) = 0 Then name = "(no label)"
    FormatLine = PadRight(letter, 4) & PadRight(name, 20) & _
                 PadLeft(HumanSize(freeBytes), 12) & PadLeft(FormatNumber(pct, 1) & "%", 8)
    If pct < threshold Then FormatLine = FormatLine & "  <-- LOW"
    FormatLine = FormatLine & vbCrLf
End Function

Function HumanSize(bytes)
    Dim units, i, value
    units = Array("B", "KB", "MB", "GB", "TB")
    value = CDbl(bytes)
    i = 0
    Do While value >= 1024 And i < UBound(units)
        value = value / 1024
        i = i + 1
    Loop
    HumanSize = FormatNumber(value, 1) & " " & units(i)
End Function

Function PadRight(s, n)
    PadRight = Left(s & Space(n), n)
End Function

Function PadLeft(s, n)
    If Len(s) >= n Then PadLeft = s Else PadLeft = Space(n - Len(s)) & s
End Function

Sub SaveReport(text)
    Dim path, file
    path = fso.BuildPath(shell.ExpandEnvironmentStrings("%TEMP%"), "disk-report.txt")
    On Error Resume Next
    Set file = fso.OpenTextFile(path, FOR_WRITING, True)
    If Err.Number <> 0 Then
        WScript.Echo "Could not write " & path & ": " & Err.Description
        Err.Clear
        Exit Sub
    End If
    On Error GoTo 0
    file.Write text
    file.Close
End Sub
