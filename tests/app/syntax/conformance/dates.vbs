' Dates: serial numbers and their parts, adding and counting intervals, week
' numbers, date text read and written, date arithmetic.

'' date serial normalises
DateSerial(2024, 1, 31) ==> Date:1/31/2024
DateSerial(2023, 13, 1) ==> Date:1/1/2024
DateSerial(2023, 3, 0) ==> Date:2/28/2023
DateSerial(2024, 0, 1) ==> Date:12/1/2023
DateSerial(2024, -11, 1) ==> Date:1/1/2023
DateSerial(2024, 1, -1) ==> Date:12/30/2023
DateSerial(2024, 1, 366) ==> Date:12/31/2024
DateSerial(24, 1, 1) ==> Date:1/1/2024
DateSerial(99, 1, 1) ==> Date:1/1/1999
DateSerial(1899, 12, 30) ==> Date:12/30/1899
DateSerial(1800, 2, 29) ==> Date:3/1/1800
DateSerial(10000, 1, 1) ==> #5
DateSerial(Null, 1, 1) ==> #94
TimeSerial(13, 5, 9) ==> Date:1:05:09 PM
TimeSerial(0, 90, 0) ==> Date:1:30:00 AM
TimeSerial(25, 0, 0) ==> Date:12/31/1899 1:00:00 AM
TimeSerial(0, 0, 0) ==> Date:12/30/1899
'' date parts
Year(#1/31/2024 1:05:09 PM#) ==> Integer:2024
Month(#1/31/2024 1:05:09 PM#) ==> Integer:1
Day(#1/31/2024 1:05:09 PM#) ==> Integer:31
Hour(#1/31/2024 1:05:09 PM#) ==> Integer:13
Minute(#1/31/2024 1:05:09 PM#) ==> Integer:5
Second(#1/31/2024 1:05:09 PM#) ==> Integer:9
Year("2/29/2024") ==> Integer:2024
Day("nonsense") ==> #13
Hour("1:05 PM") ==> Integer:13
Weekday(#1/31/2024 1:05:09 PM#) ==> Integer:4
Weekday(#1/31/2024 1:05:09 PM#, 2) ==> Integer:3
Weekday(#1/31/2024 1:05:09 PM#, 4) ==> Integer:1
Weekday(#1/31/2024 1:05:09 PM#, 0) ==> Integer:4
Weekday(#1/31/2024 1:05:09 PM#, 8) ==> #5
Weekday(CDate(CDbl(-1))) ==> Integer:6
Weekday(CDate(CDbl(0))) ==> Integer:7
WeekdayName(1) ==> String:Sunday
WeekdayName(4, True) ==> String:Wed
WeekdayName(1, False, 2) ==> String:Monday
MonthName(9) ==> String:September
MonthName(9, True) ==> String:Sep
DateValue("1/31/2024 1:05 PM") ==> Date:1/31/2024
TimeValue("1/31/2024 1:05 PM") ==> Date:1:05:00 PM
DateValue(#1/31/2024 1:05:09 PM#) ==> Date:1/31/2024
IsDate("1/31/2024") ==> Boolean:True
IsDate("2/30/2024") ==> Boolean:False
IsDate("13:05") ==> Boolean:True
IsDate(#1/31/2024 1:05:09 PM#) ==> Boolean:True
IsDate(CDbl(45322)) ==> Boolean:False
IsDate(Null) ==> Boolean:False
'' date add
DateAdd("m", 1, "1/31/2024") ==> Date:2/29/2024
DateAdd("m", 1, "1/31/2023") ==> Date:2/28/2023
DateAdd("m", -1, "3/31/2024") ==> Date:2/29/2024
DateAdd("yyyy", 1, "2/29/2024") ==> Date:2/28/2025
DateAdd("q", 1, "11/30/2023") ==> Date:2/29/2024
DateAdd("M", 13, "1/15/2024") ==> Date:2/15/2025
DateAdd("d", 1, "12/31/2023") ==> Date:1/1/2024
DateAdd("y", -1, "1/1/2024") ==> Date:12/31/2023
DateAdd("w", 2, "1/1/2024") ==> Date:1/3/2024
DateAdd("ww", 2, "1/1/2024") ==> Date:1/15/2024
DateAdd("h", 12, "1/1/2024 1:00 PM") ==> Date:1/2/2024 1:00:00 AM
DateAdd("n", -1, "1/1/2024") ==> Date:12/31/2023 11:59:00 PM
DateAdd("s", 30, #1/31/2024 1:05:09 PM#) ==> Date:1/31/2024 1:05:39 PM
DateAdd("d", -1, CDate(0.25)) ==> Date:12/29/1899 6:00:00 AM
DateAdd("d", 2, CDate(-1.25)) ==> Date:12/31/1899 6:00:00 AM
DateAdd("m", 1, #1/31/2024 1:05:09 PM#) ==> Date:2/29/2024 1:05:09 PM
DateAdd("x", 1, #1/31/2024 1:05:09 PM#) ==> #5
DateAdd("yyyy", 10000, #1/31/2024 1:05:09 PM#) ==> #5
DateAdd("d", 1, "soon") ==> #13
'' date diff and date part
DateDiff("d", "1/1/2024", "3/1/2024") ==> Long:60
DateDiff("d", "3/1/2024", "1/1/2024") ==> Long:-60
DateDiff("m", "1/31/2024", "2/1/2024") ==> Long:1
DateDiff("yyyy", "12/31/2023", "1/1/2024") ==> Long:1
DateDiff("q", "3/31/2024", "4/1/2024") ==> Long:1
DateDiff("h", "1/1/2024 1:59", "1/1/2024 2:00") ==> Long:1
DateDiff("n", "1/1/2024 1:59:59", "1/1/2024 2:00:00") ==> Long:1
DateDiff("s", "1/1/2024", "1/2/2024") ==> Long:86400
DateDiff("d", CDate(-1.75), CDate(0.25)) ==> Long:1
DateDiff("h", CDate(-1.75), CDate(0.25)) ==> Long:12
DateDiff("w", "1/1/2024", "1/14/2024") ==> Long:1
DateDiff("ww", "1/6/2024", "1/7/2024") ==> Long:1
DateDiff("ww", "1/7/2024", "1/13/2024") ==> Long:0
DateDiff("ww", "1/7/2024", "1/8/2024", 2) ==> Long:1
DateDiff("d", Null, "1/1/2024") ==> Null
DateDiff("z", "1/1/2024", "1/1/2024") ==> #5
DatePart("yyyy", #1/31/2024 1:05:09 PM#) ==> Integer:2024
DatePart("q", "5/5/2024") ==> Integer:2
DatePart("y", "3/1/2024") ==> Integer:61
DatePart("w", #1/31/2024 1:05:09 PM#) ==> Integer:4
DatePart("w", #1/31/2024 1:05:09 PM#, 2) ==> Integer:3
DatePart("ww", "1/1/2024") ==> Integer:1
DatePart("ww", "1/7/2024") ==> Integer:2
DatePart("ww", "12/31/2024") ==> Integer:53
DatePart("ww", "1/1/2021", 2, 2) ==> Integer:53
DatePart("ww", "1/4/2021", 2, 2) ==> Integer:1
DatePart("ww", "1/2/2023", 1, 3) ==> Integer:1
DatePart("ww", "1/1/2022", 1, 3) ==> Integer:52
DatePart("ww", "1/7/2022", 1, 3) ==> Integer:1
DatePart("h", #1/31/2024 1:05:09 PM#) ==> Integer:13
DatePart("n", #1/31/2024 1:05:09 PM#) ==> Integer:5
DatePart("s", #1/31/2024 1:05:09 PM#) ==> Integer:9
DatePart("d", Null) ==> Null
'' format date time
FormatDateTime(#1/31/2024 1:05:09 PM#) ==> String:1/31/2024 1:05:09 PM
FormatDateTime(#1/31/2024 1:05:09 PM#, 1) ==> String:Wednesday, January 31, 2024
FormatDateTime(#1/31/2024 1:05:09 PM#, 2) ==> String:1/31/2024
FormatDateTime(#1/31/2024 1:05:09 PM#, 3) ==> String:1:05:09 PM
FormatDateTime(#1/31/2024 1:05:09 PM#, 4) ==> String:13:05
FormatDateTime(CDate(CDbl(45322))) ==> String:1/31/2024
FormatDateTime(#1/31/2024 1:05:09 PM#, 5) ==> #5
'' dates
CDate(CDbl(45322)) + 1 ==> Date:2/1/2024
1 + CDate(CDbl(45322)) ==> Date:2/1/2024
CDate(CDbl(45322)) - 31 ==> Date:12/31/2023
CDate(CDbl(45322)) - CDate(CDbl(45320)) ==> Double:2
CDate(CDbl(45322)) + 0.5 ==> Date:1/31/2024 12:00:00 PM
CDate(CDbl(2)) * 2 ==> Double:4
CDate(CDbl(2958465)) + 1 ==> #6
'' Date text
CStr(CDate(45322)) ==> String:1/31/2024
CStr(CDate(45322 + (13 * 3600 + 5 * 60) / 86400.0)) ==> String:1/31/2024 1:05:00 PM
CStr(CDate((13 * 3600 + 5 * 60) / 86400.0)) ==> String:1:05:00 PM
CStr(CDate(0)) ==> String:12/30/1899
CStr(CDate(0.5)) ==> String:12:00:00 PM
CStr(CDate(45322 + 1 / 86400.0)) ==> String:1/31/2024 12:00:01 AM
CStr(CDate(2)) ==> String:1/1/1900
CStr(CDate(-1.25)) ==> String:12/29/1899 6:00:00 AM
CStr(CDate(2958465)) ==> String:12/31/9999
CStr(CDate(-657434)) ==> String:1/1/100
CStr(CDate(60)) ==> String:2/28/1900
CStr(CDate(61)) ==> String:3/1/1900
CStr(CDate(45322.9999999)) ==> String:2/1/2024
Abs(CDbl(CDate("1/31/2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("2024-01-31")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("January 31, 2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("31 Jan 2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("Wednesday, January 31, 2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("31/1/2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("1/31/24")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("1/31/2024 13:05")) - (45322 + (13 * 3600 + 5 * 60) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("1/31/2024 1:05:00 PM")) - (45322 + (13 * 3600 + 5 * 60) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("13:05")) - ((13 * 3600 + 5 * 60) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("12:00 AM")) - (0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("12:30:15 pm")) - ((12 * 3600 + 30 * 60 + 15) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("3 PM")) - (15 / 24.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("1/1/1930")) - (10959)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("Jan 31 2024 1:05PM")) - (45322 + (13 * 3600 + 5 * 60) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("2024-01-31 13:05:00")) - (45322 + (13 * 3600 + 5 * 60) / 86400.0)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("31-Jan-2024")) - (45322)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("January 2024")) - (45292)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("1/2024")) - (45292)) < 1E-09 ==> Boolean:True
Abs(CDbl(CDate("2/29/2024")) - (45351)) < 1E-09 ==> Boolean:True
IsDate("13/13/2024") ==> Boolean:False
IsDate("25:00") ==> Boolean:False
IsDate("12:60") ==> Boolean:False
IsDate("13:00 PM") ==> Boolean:False
IsDate("5") ==> Boolean:False
IsDate("1.5") ==> Boolean:False
IsDate("hello") ==> Boolean:False
IsDate("") ==> Boolean:False
IsDate("1//2/2024") ==> Boolean:False
IsDate("1/2/3/4") ==> Boolean:False
IsDate("Jan Feb 2024") ==> Boolean:False
CDbl(CDate(45322.5)) ==> Double:45322.5
CDate("soon") ==> #13

'' Leap years: every fourth, but not a century unless it is a fourth one
IsDate("2/29/1900") ==> Boolean:False
IsDate("2/29/2000") ==> Boolean:True
DateAdd("m", 1, #1/31/1900#) ==> Date:2/28/1900
DateAdd("yyyy", 100, #2/29/2000#) ==> Date:2/28/2100
