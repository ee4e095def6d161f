' Shared by the definitions: Include "common.vbs".

' A keyword list ("if else while") as one expression of whole words.
Function Words(list)
    Dim s
    s = Trim(list)
    Do While InStr(s, "  ") > 0
        s = Replace(s, "  ", " ")
    Loop
    Words = "\b(?:" & Replace(s, " ", "|") & ")\b"
End Function
