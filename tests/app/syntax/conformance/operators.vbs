' Operators and conversions: the subtypes of results and how they widen, Null
' and Empty, comparisons across types, text that is a number or not, number
' text, case mapping. One check per line or block; see engine/ConformanceChecks.h.

'' result types and widening
CInt(-32768) - 1 ==> Long:-32769
200 * 200 ==> Long:40000
2147483647 + CLng(1) ==> Double:2147483648
65536 * 65536 ==> Double:4294967296
CByte(200) + CByte(55) ==> Byte:255
CByte(200) + CByte(56) ==> Integer:256
CByte(1) - CByte(2) ==> Integer:-1
CByte(1) + 1 ==> Integer:2
1 + CLng(1) ==> Long:2
1 + 0.5 ==> Double:1.5
CSng(1.5) + CSng(1) ==> Single:2.5
CSng(1.5) + 1 ==> Single:2.5
CSng(1.5) + CLng(1) ==> Double:2.5
CSng(1.5) + CDbl(1) ==> Double:2.5
CCur(1.5) + 1 ==> Currency:2.5
CCur(1.5) * CCur(2) ==> Currency:3
CCur(1.5) + CDbl(1) ==> Double:2.5
Empty + 5 ==> Integer:5
1E308 * CDbl(10) ==> #6
'' plus with text
"a" + "b" ==> String:ab
2 + (" 1.5 ") ==> Double:3.5
"a" + 1 ==> #13
"a" + Empty ==> String:a
Empty + "a" ==> String:a
"5" - "2" ==> Double:3
"x" * 2 ==> #13
'' division and power
1 / 2 ==> Double:0.5
4 / 2 ==> Double:2
0 / 0 ==> #6
1 / Empty ==> #11
CByte(1) / CSng(4) ==> Single:0.25
CSng(1) / CDbl(4) ==> Double:0.25
7 \ 2 ==> Integer:3
(-7) \ 2 ==> Integer:-3
7.5 \ 2 ==> Long:4
6.5 \ 2.5 ==> Long:3
CInt(-32768) \ (-1) ==> Long:32768
CByte(9) \ CByte(2) ==> Byte:4
1 \ 0 ==> #11
1 \ 0.4 ==> #11
7 Mod 3 ==> Integer:1
(-7) Mod 3 ==> Integer:-1
7 Mod (-3) ==> Integer:1
5.5 Mod 4 ==> Long:2
CLng(10) Mod 0 ==> #11
1E10 Mod 3 ==> #6
2 ^ (-1) ==> Double:0.5
0 ^ (-1) ==> #11
(-8) ^ ((1.0 / 3)) ==> #5
10 ^ 400 ==> #6
'' null propagates
"a" + Null ==> Null
1 - Null ==> Null
Null * Null ==> Null
Null / 0 ==> Null
1 Mod Null ==> Null
Null ^ 2 ==> Null
Null - "a" ==> Null
"x" * Null ==> Null
Null Mod "x" ==> Null
'' concatenation
"a" & "b" ==> String:ab
1 & 2.5 ==> String:12.5
Null & Null ==> Null
Empty & True ==> String:True
CDate(CDbl(45322)) & "!" ==> String:1/31/2024!
'' negate
-5 ==> Integer:-5
-CInt(-32768) ==> Long:32768
-CLng(-2147483648) ==> Double:2147483648
-CByte(5) ==> Integer:-5
-True ==> Integer:1
-Empty ==> Integer:0
-"2.5" ==> Double:-2.5
-Null ==> Null
-CSng(1.5) ==> Single:-1.5
-CCur(1) ==> Currency:-1
'' bitwise and boolean
True And False ==> Boolean:False
True Or False ==> Boolean:True
False Eqv False ==> Boolean:True
True Imp False ==> Boolean:False
12 And 10 ==> Integer:8
12 Or 10 ==> Integer:14
12 Xor 10 ==> Integer:6
12 Eqv 10 ==> Integer:-7
12 Imp 10 ==> Integer:-5
True And 5 ==> Integer:5
65535 And 255 ==> Long:255
CByte(12) And CByte(10) ==> Byte:8
6.5 And 7 ==> Long:6
"1" Or 2 ==> Long:3
"True" And True ==> Boolean:True
"x" And True ==> #13
'' null rules
False And Null ==> Boolean:False
Null And True ==> Null
Null And 0 ==> Integer:0
True Or Null ==> Boolean:True
Null Or False ==> Null
Null Xor True ==> Null
Null Eqv True ==> Null
False Imp Null ==> Boolean:True
Null Imp True ==> Boolean:True
True Imp Null ==> Null
Null Imp False ==> Null
Null And Null ==> Null
'' not
Not True ==> Boolean:False
Not 0 ==> Integer:-1
Not CLng(5) ==> Long:-6
Not CByte(5) ==> Byte:250
Not Null ==> Null
Not Empty ==> Integer:-1
Not 1.6 ==> Long:-3
'' binary comparisons
1 = CDbl(1) ==> Boolean:True
1 <> CDbl(1) ==> Boolean:False
"a" < "b" ==> Boolean:True
2 <= 2 ==> Boolean:True
2 > 2 ==> Boolean:False
"b" >= "a" ==> Boolean:True
Null = 1 ==> Null
"a" < Null ==> Null
Null = Null ==> Null
'' Conversions round half to even
CInt(0.5) ==> Integer:0
CLng(0.5) ==> Long:0
CByte(0.5) ==> Byte:0
CInt(1.5) ==> Integer:2
CLng(1.5) ==> Long:2
CByte(1.5) ==> Byte:2
CByte(2.5) ==> Byte:2
CInt(3.5) ==> Integer:4
CByte(3.5) ==> Byte:4
CInt(-0.5) ==> Integer:0
CLng(-0.5) ==> Long:0
CByte(-0.5) ==> Byte:0
CInt(-1.5) ==> Integer:-2
CLng(-1.5) ==> Long:-2
CInt(2.4999) ==> Integer:2
CLng(2.4999) ==> Long:2
CByte(2.4999) ==> Byte:2
CInt(2.5001) ==> Integer:3
CLng(2.5001) ==> Long:3
CByte(2.5001) ==> Byte:3
'' Out of range is overflow
CInt(32767.5) ==> #6
CInt(-32768.4) ==> Integer:-32768
CLng(2147483647.5) ==> #6
CSng(1E+300) ==> #6
CCur(1E+16) ==> #6
CDate(1E+10) ==> #6
'' Text to number
CDbl("12") ==> Double:12
CDbl("  -3.5  ") ==> Double:-3.5
CDbl("+7") ==> Double:7
CDbl("1.5E-2") ==> Double:0.015
CDbl(".5") ==> Double:0.5
CDbl("5.") ==> Double:5
CDbl("&HFF") ==> Double:255
CDbl("&hFFFF") ==> Double:-1
CDbl("&H10000") ==> Double:65536
CDbl("&O17") ==> Double:15
CDbl("1,000") ==> Double:1000
CDbl("") ==> #13
CDbl("   ") ==> #13
CDbl("abc") ==> #13
CDbl("12abc") ==> #13
CDbl("1e") ==> #13
CDbl(".") ==> #13
CDbl("-") ==> #13
CDbl("&H") ==> #13
CDbl("&HG") ==> #13
CDbl("&O8") ==> #13
CDbl("1 2") ==> #13
CDbl("1e999") ==> #13
CLng("") ==> #13
CBool("yes") ==> #13
CLng(" 42 ") ==> Long:42
'' Empty, Null and Boolean
CLng(Empty) ==> Long:0
CBool(Empty) ==> Boolean:False
CStr(False) ==> String:False
CBool("true") ==> Boolean:True
CBool(" FALSE ") ==> Boolean:False
CBool("-2") ==> Boolean:True
CBool(0.0) ==> Boolean:False
CLng(Null) ==> #94
CBool(Null) ==> #94
CDbl(Null) ==> #94
CDate(Null) ==> #94
CCur(Null) ==> #94
CStr(Array()) ==> #13
Array() + 1 ==> #13
Array() = 1 ==> #13
Array() & "a" ==> #13
'' currency
CCur(0.00005) ==> Currency:0
CCur("922337203685477") ==> Currency:922337203685477
CCur(1.5) ==> Currency:1.5
CCur(-1.2345) ==> Currency:-1.2345
CCur(2) ==> Currency:2
'' Number text
CStr(0.1 + 0.2) ==> String:0.3
CStr(1E+20) ==> String:1E+20
CStr(1.5E-07) ==> String:1.5E-07
CStr(-0.5) ==> String:-0.5
CStr(CDbl(0)) ==> String:0
CStr(-CDbl(0)) ==> String:0
CStr(123456789012345) ==> String:123456789012345
CStr(1E+15) ==> String:1E+15
CStr(0.0001) ==> String:0.0001
CStr(0.00001) ==> String:1E-05
CStr(1 / 3) ==> String:0.333333333333333
CStr(2.5) ==> String:2.5
CStr(-1E-300) ==> String:-1E-300
CStr(1.7976931348623157E+308) ==> String:1.79769313486232E+308
CStr(CDbl(100)) ==> String:100
CStr(CSng(0.1)) ==> String:0.1
CStr(CSng(1) / 3) ==> String:0.3333333
CStr(CInt(-32768)) ==> String:-32768
CStr(CByte(255)) ==> String:255
CStr(2147483647) ==> String:2147483647
'' Comparisons across types: -1, 0, 1
((1) < (1.0)) - ((1) > (1.0)) ==> Integer:0
((1) < (CLng(2))) - ((1) > (CLng(2))) ==> Integer:-1
((2.5) < (CByte(2))) - ((2.5) > (CByte(2))) ==> Integer:1
(("a") < ("b")) - (("a") > ("b")) ==> Integer:-1
(("B") < ("a")) - (("B") > ("a")) ==> Integer:-1
(("ab") < ("a")) - (("ab") > ("a")) ==> Integer:1
(("") < (Empty)) - (("") > (Empty)) ==> Integer:0
((Empty) < (0)) - ((Empty) > (0)) ==> Integer:0
((Empty) < (Empty)) - ((Empty) > (Empty)) ==> Integer:0
((Empty) < ("a")) - ((Empty) > ("a")) ==> Integer:-1
((True) < (-1)) - ((True) > (-1)) ==> Integer:0
((False) < (True)) - ((False) > (True)) ==> Integer:1
((10) < ("9")) - ((10) > ("9")) ==> Integer:1
(("10") < (9)) - (("10") > (9)) ==> Integer:1
((10) < ("abc")) - ((10) > ("abc")) ==> Integer:-1
(("abc") < (10)) - (("abc") > (10)) ==> Integer:1
((CDate(CDbl(45322))) < (CDbl(45322))) - ((CDate(CDbl(45322))) > (CDbl(45322))) ==> Integer:0
((CDate(CDbl(45322))) < ("1/31/2024")) - ((CDate(CDbl(45322))) > ("1/31/2024")) ==> Integer:0
((CCur(1)) < (1)) - ((CCur(1)) > (1)) ==> Integer:0
((CCur(0.0001)) < (CCur(0.0002))) - ((CCur(0.0001)) > (CCur(0.0002))) ==> Integer:-1
((CLng(-2147483648)) < (2147483647)) - ((CLng(-2147483648)) > (2147483647)) ==> Integer:-1
'' Text mode comparisons ignore case
StrComp("ABC", "abc", 1) ==> Integer:0
StrComp("ABC", "abc", 0) <> 0 ==> Boolean:True
StrComp("a", "B", 1) ==> Integer:-1
StrComp("_", "a", 1) ==> Integer:-1
StrComp("ÉTÉ", "été", 1) ==> Integer:0
StrComp("Ж", "ж", 1) ==> Integer:0
'' Case mapping
LCase("ABCXYZ") ==> String:abcxyz
UCase("abcxyz") ==> String:ABCXYZ
LCase("ÀÉÖØÞ") ==> String:àéöøþ
UCase("àéöøþ") ==> String:ÀÉÖØÞ
LCase("ĀĆČŁŃŐŒŠŸŽ") ==> String:āćčłńőœšÿž
UCase("āćčłńőœšÿž") ==> String:ĀĆČŁŃŐŒŠŸŽ
LCase("ΑΒΣΩΆΈΌΏΪ") ==> String:αβσωάέόώϊ
UCase("αβσωάέόώϊ") ==> String:ΑΒΣΩΆΈΌΏΪ
LCase("АЯЁЄѠҐӁӐ") ==> String:аяёєѡґӂӑ
UCase("аяёєѡґӂӑ") ==> String:АЯЁЄѠҐӁӐ
LCase("123 !_×÷ßĸŉ中😀") ==> String:123 !_×÷ßĸŉ中😀
UCase("123 !_×÷ßĸŉ中😀") ==> String:123 !_×÷ßĸŉ中😀
UCase("ς") ==> String:Σ
LCase("İ") ==> String:i
UCase("ı") ==> String:I
