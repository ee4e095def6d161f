// The program's own script engine beside the system's: the same scripts run
// through the real host on both, and what they report must agree. Each case
// is a script whose results go to a "Probe" object; the expressions cover
// what the shipped definitions and macros rely on (coercions, operator
// precedence, text functions, control flow, errors, classes, arrays).
// Functions the system engine lacks under some hosts (Join, ChrW, Eval,
// GetRef...) are left to the engine's own tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptHost.h"
#include "TestSupport.h"

using namespace syntax;

namespace {

class ParitySite;

class ParityProbe : public IDispDynImpl {
   public:
    explicit ParityProbe(ParitySite* site);
    HRESULT Note(BSTR text);
    HRESULT Twice(int n, int* result) {
        *result = n * 2;
        return S_OK;
    }

   private:
    ParitySite* site_;
};

const DispEntry kParityProbeTable[] = {
    DispMethod<&ParityProbe::Note>(L"Note"),
    DispMethod<&ParityProbe::Twice>(L"Twice"),
    DispEnd(),
};

class ParitySite : public CScript {
   public:
    ParitySite() : probe_(new CComRefCount<ParityProbe>(this)) { SetWindowless(true); }
    ~ParitySite() override { probe_->Release(); }
    IDispatch* FindNamedObject(const wchar_t* name) override {
        return _wcsicmp(name, L"Probe") == 0 ? probe_ : nullptr;
    }
    HRESULT AddNamedItems(IActiveScript* engine) override {
        return engine->AddNamedItem(L"Probe", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    }
    std::vector<std::wstring> notes;

   private:
    IDispatch* probe_;
};

ParityProbe::ParityProbe(ParitySite* site) : IDispDynImpl(kParityProbeTable), site_(site) {}

HRESULT ParityProbe::Note(BSTR text) {
    site_->notes.push_back(text ? text : L"");
    return S_OK;
}

// Describes a value as "Type:text" so that both the subtype and the text
// are compared.
const wchar_t kShow[] =
    L"Function S(v)\n"
    L"  If IsArray(v) Then\n"
    L"    S = \"Array:\" & LBound(v) & \"..\" & UBound(v)\n"
    L"  ElseIf IsObject(v) Then\n"
    L"    If v Is Nothing Then S = \"Nothing\" Else S = \"Object\"\n"
    L"  ElseIf IsNull(v) Then\n"
    L"    S = \"Null\"\n"
    L"  ElseIf IsEmpty(v) Then\n"
    L"    S = \"Empty\"\n"
    L"  Else\n"
    L"    S = TypeName(v) & \":\" & CStr(v)\n"
    L"  End If\n"
    L"End Function\n";

struct Outcome {
    bool ok = false;
    std::vector<std::wstring> notes;
    HRESULT scode = S_OK;
    int line = 0;
};

Outcome RunOn(int choice, const std::wstring& body) {
    const int saved = SetScriptEngineChoice(choice);
    auto* site = new ParitySite;
    site->SetScriptPath(L"parity.vbs");
    const std::wstring text = std::wstring(kShow) + body;
    BSTR source = SysAllocStringLen(text.data(), UINT(text.size()));
    ScriptError error;
    Outcome out;
    out.ok = CScriptHelper::RunText(site, source, L"", &error);
    SysFreeString(source);
    out.notes = site->notes;
    out.scode = error.scode;
    out.line = error.line;
    site->Release();
    SetScriptEngineChoice(saved);
    return out;
}

std::wstring Joined(const std::vector<std::wstring>& notes) {
    std::wstring s;
    for (const auto& n : notes) s += n + L" | ";
    return s;
}

// Runs `body` on both engines and expects the same notes, success and,
// for a failure, the same status and line.
void ExpectSame(const std::wstring& body) {
    if (!SystemScriptEngineAvailable()) GTEST_SKIP() << "no system engine to compare with";
    const Outcome theirs = RunOn(kEngineSystemFirst, body);
    const Outcome ours = RunOn(kEngineOwn, body);
    EXPECT_EQ(Joined(theirs.notes), Joined(ours.notes)) << body;
    EXPECT_EQ(theirs.ok, ours.ok) << body;
    if (!theirs.ok && !ours.ok) {
        EXPECT_EQ(theirs.line, ours.line) << body;
        // Under some hosts the system engine reports every failure as E_FAIL.
        if (theirs.scode != E_FAIL) EXPECT_EQ(unsigned(theirs.scode), unsigned(ours.scode)) << body;
    }
}

// Each expression in a script of its own, so that one the system engine
// refuses does not hide the others.
void ExpectSameEach(std::initializer_list<const wchar_t*> expressions) {
    for (const wchar_t* e : expressions) ExpectSame(std::wstring(L"Note S(") + e + L")\n");
}

class EngineParity : public testing::Test {
   protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(EngineParity, ArithmeticTypesAndWidening) {
    ExpectSameEach({L"1 + 2", L"32767 + 1", L"2147483647 + 1", L"-32768", L"10 / 4", L"10 \\ 4",
                      L"-7 \\ 2", L"7 Mod -3", L"-7 Mod 3", L"2 ^ 10", L"2 ^ -1", L"5.5 \\ 2", L"2.5 \\ 1",
                      L"3.5 Mod 2", L"1.5 + 1", L"CByte(200) + CByte(100)", L"CByte(2) * CByte(3)",
                      L"True + True", L"True * 3", L"Empty + Empty", L"Empty + 1", L"Empty & Empty",
                      L"0.1 + 0.2", L"1 / 3", L"1E+20 * 10", L"123456789012345", L"1234567890123456",
                      L"-0.000001", L"1.5E-07", L"0.0001", L"0.00001", L"1E+15", L"1E+16", L"123456789.123", L"1 / 7 * 1E+10",
                      L"100000000000000000000", L"2.5E-300 * 1E-10", L"CSng(1.1)", L"CCur(1.23456)",
                      L"CCur(10) / 4", L"CDbl(\"1.#INF\")", L"CLng(2.5)", L"CLng(3.5)", L"CInt(-2.5)", L"Int(-2.5)",
                      L"Fix(-2.5)", L"Abs(-3)", L"Sgn(-0.1)", L"&HFF", L"&HFFFF", L"&H7FFFFFFF"});
}

TEST_F(EngineParity, TextAndNumberCoercions) {
    ExpectSameEach({L"\"1\" + 2", L"\"1\" + \"2\"", L"\"1\" & 2", L"1 & 2", L"\" 3 \" * 2",
                      L"\"1e3\" + 0", L"\"&H10\" + 0", L"CStr(True)", L"True & \"\"", L"Null & \"a\"",
                      L"\"a\" & Null", L"Len(Null)", L"Null + 1", L"IsNull(Null = Null)",
                      L"CDbl(\"2.5\")", L"CInt(\"  12  \")", L"CBool(\"True\")", L"CBool(0)", L"CBool(-2)",
                      L"IsNumeric(\"12\")", L"IsNumeric(\"1e5\")", L"IsNumeric(\"abc\")", L"IsNumeric(\"\")",
                      L"IsNumeric(Empty)", L"VarType(1)", L"VarType(70000)", L"VarType(1.5)", L"VarType(\"x\")",
                      L"VarType(True)", L"VarType(Empty)", L"VarType(Null)", L"VarType(Nothing)"});
}

TEST_F(EngineParity, Comparisons) {
    ExpectSameEach({L"1 < 2", L"\"10\" < \"9\"", L"10 < 9", L"\"abc\" < \"abd\"", L"\"a\" = \"A\"",
                       L"1 = 1.0", L"True = -1", L"Empty = 0", L"Empty = \"\"",
                      L"\"\" < \"a\"", L"2 > 1 = True", L"Not 1 = 2", L"StrComp(\"a\", \"A\")",
                      L"StrComp(\"a\", \"A\", 1)", L"StrComp(\"b\", \"a\")", L"1 <> 2", L"3 >= 3",
                      L"\"abc\" > \"ab\""});
}

TEST_F(EngineParity, OperatorPrecedenceAndLogic) {
    ExpectSameEach({L"2 + 3 * 4 ^ 2", L"(-2) ^ 2", L"2 * 3 \\ 2", L"7 \\ 2 * 2",
                      L"10 - 2 - 3", L"2 ^ 3 ^ 2", L"1 + 2 & 3 + 4", L"1 = 1 And 2 = 2", L"Not True Or True",
                      L"True Xor True", L"5 And 3", L"5 Or 3", L"5 Xor 3", L"Not 5", L"True Eqv False",
                      L"False Imp False", L"Null Or True", L"IsNull(Null And True)",
                      L"IsNull(Not Null)", L"12 Mod 5 * 2", L"-3 Mod 2 + 1"});
}

TEST_F(EngineParity, TextFunctions) {
    ExpectSameEach({L"Len(\"abc\")", L"Left(\"abcdef\", 2)", L"Right(\"abcdef\", 2)", L"Mid(\"abcdef\", 2, 3)",
                      L"Mid(\"abcdef\", 4)", L"Mid(\"abc\", 5)", L"Left(\"abc\", 10)",
                      L"InStr(\"hello\", \"l\")", L"InStr(4, \"hello\", \"l\")", L"InStr(\"hello\", \"z\")",
                      L"InStr(\"hello\", \"\")", L"InStr(1, \"HELLO\", \"l\", 1)", L"InStrRev(\"hello\", \"l\")",
                      L"Replace(\"a-b-c\", \"-\", \"+\")", L"Replace(\"a-b-c\", \"-\", \"\", 1, 1)",
                      L"Replace(\"aAa\", \"a\", \"x\", 1, -1, 1)", L"Replace(\"abcabc\", \"b\", \"X\", 3)",
                      L"UCase(\"abc\")", L"Trim(\"  a  \")", L"LTrim(\"  a\")",
                      L"RTrim(\"a  \")", L"Space(3) & \"|\"", L"String(3, \"xy\")",
                      L"StrReverse(\"abc\")", L"Asc(\"A\")", L"Chr(66)", L"Hex(255)", L"Hex(-1)", L"Oct(8)",
                      L"UBound(Split(\"a,b,c\", \",\"))", 
                      L"UBound(Split(\"a b\"))", L"LCase(Empty)", L"Len(123)", L"Len(1.5)"});
}

TEST_F(EngineParity, ControlFlow) {
    ExpectSame(LR"(Dim i, t, n
For i = 1 To 10 Step 3: t = t & i: Next
Note t
t = ""
For i = 5 To 1 Step -2: t = t & i: Next
Note t & "/" & i
t = ""
For i = 1 To 0: t = t & i: Next
Note "[" & t & "]" & i
n = 0
Do While n < 5: n = n + 2: Loop
Note n
Do: n = n - 1: Loop Until n <= 0
Note n
Do
  n = n + 1
  If n = 3 Then Exit Do
Loop
Note n
While n < 7: n = n + 1: Wend
Note n
For Each i In Array(1, "two", 3.5)
  Note S(i)
Next
For i = 1 To 3
  Select Case i
    Case 1: Note "one"
    Case 2, 3
      Note "two or three"
    Case Else
      Note "else"
  End Select
Next
Select Case "b"
  Case "a": Note "a"
  Case Else: Note "other"
End Select
If n > 3 Then Note "big" Else Note "small"
If n = 0 Then
  Note "zero"
ElseIf n = 7 Then
  Note "seven"
Else
  Note "other"
End If
)");
}

TEST_F(EngineParity, ProceduresAndByReference) {
    ExpectSame(LR"(Sub Bump(x)
  x = x + 1
End Sub
Sub Keep(ByVal x)
  x = x + 1
End Sub
Function Twice2(x)
  Twice2 = x * 2
  Exit Function
  Twice2 = 0
End Function
Function Fact(n)
  If n <= 1 Then Fact = 1 Else Fact = n * Fact(n - 1)
End Function
Dim a, b
a = 1
Bump a
Note a
Bump (a)
Note a
Call Bump(a)
Note a
Keep a
Note a
b = Twice2(a) + Twice2(1)
Note b
Note Fact(10)
Note Twice(21)
Note Twice("4")
)");
}

TEST_F(EngineParity, ErrorHandling) {
    ExpectSame(LR"(Dim x
On Error Resume Next
x = CLng("x")
Note Err.Number & " " & Err.Description
Err.Clear
Note Err.Number
x = CInt("abc")
Note Err.Number
Err.Raise 1000, "mine", "my error"
Note Err.Number & " " & Err.Source & " " & Err.Description
On Error GoTo 0
Note Err.Number
Sub Inner
  Dim y
  y = CLng("y")
  Note "not here"
End Sub
On Error Resume Next
Inner
Note "after " & Err.Number
On Error GoTo 0
)");
    ExpectSame(L"Dim a\na = 1\n\nNote \"before\"\na = a + \"x\"\nNote \"after\"\n");
    ExpectSame(L"Note \"x\"\nDim b(2)\nb(3) = 1\n");
    ExpectSame(L"Note \"never\"\nIf Then\n");
    ExpectSame(L"Note Twice(1, 2)\n");
}

TEST_F(EngineParity, ClassesAndObjects) {
    ExpectSame(LR"(Class Counter
  Private count_
  Public Name
  Private Sub Class_Initialize
    count_ = 10
  End Sub
  Public Property Get Count
    Count = count_
  End Property
  Public Property Let Count(v)
    count_ = v * 2
  End Property
  Public Function Add(n)
    count_ = count_ + n
    Set Add = Me
  End Function
End Class
Dim c, d
Set c = New Counter
Note c.Count
c.Count = 4
Note c.Count
c.Add(1).Add 2
Note c.Count
c.Name = "n"
Note c.Name
Set d = c
d.Name = "m"
Note c.Name
Note c Is d
Note IsObject(c)
Set d = Nothing
Note d Is Nothing
)");
}

TEST_F(EngineParity, ArraysAndDates) {
    ExpectSame(LR"(Dim a(3), m(1, 2), b, i, t
a(0) = "x": a(3) = 4
Note UBound(a) & " " & a(0) & a(3)
m(1, 2) = 5
Note m(1, 2) & UBound(m, 1) & UBound(m, 2)
b = Array(1, 2, 3)
ReDim Preserve b(4)
b(4) = 9
For i = 0 To UBound(b): t = t & S(b(i)) & ",": Next
Note t
b = a
b(0) = "changed"
Note a(0)
Note S(DateSerial(2024, 13, 1))
Note S(DateSerial(2024, 3, 0))
Note Year(DateSerial(2024, 2, 29)) & Month(DateSerial(2024, 2, 29)) & Day(DateSerial(2024, 2, 29))
Note Weekday(DateSerial(2024, 1, 1))
Note S(TimeSerial(13, 5, 0))
Note S(DateSerial(2024, 1, 31) + 1)
Note S(CDate("2024-01-31"))
Note MonthName(2) & WeekdayName(1)
Note S(DateAdd("d", 1, DateSerial(2024, 1, 31)))
Note S(DateSerial(2000, 1, 1) + TimeSerial(6, 30, 15))
)");
}

// Where the system engine under Wine answers otherwise than the language
// says, the program's own engine is held to the language.
void ExpectOurs(const std::wstring& body, const std::wstring& notes, HRESULT scode = S_OK, int line = 0) {
    const Outcome ours = RunOn(kEngineOwn, body);
    EXPECT_EQ(notes, Joined(ours.notes)) << body;
    EXPECT_EQ(scode == S_OK, ours.ok) << body;
    if (scode != S_OK) {
        EXPECT_EQ(unsigned(scode), unsigned(ours.scode)) << body;
        EXPECT_EQ(line, ours.line) << body;
    }
}

TEST_F(EngineParity, WhereTheLanguageAndTheSystemEngineDiffer) {
    ExpectOurs(L"Note S(&O17)", L"Integer:15 | ");
    ExpectOurs(L"Note S(CSng(1) / 3)", L"Single:0.3333333 | ");
    ExpectOurs(L"Note S(\"B\" < \"a\")", L"Boolean:True | ");  // binary comparison
    ExpectOurs(L"Note S(-2 ^ 2)", L"Double:-4 | ");               // ^ binds before negation
    ExpectOurs(L"Note S(Null And False)", L"Boolean:False | ");
    ExpectOurs(L"Note S(LCase(\"\u00C0BC\"))", L"String:\u00E0bc | ");
    ExpectOurs(L"Note S(String(2, 65))", L"String:AA | ");
    ExpectOurs(L"Note S(UBound(Split(\"\", \",\")))", L"Long:-1 | ");
    ExpectOurs(L"Note S(DateAdd(\"m\", 1, DateSerial(2024, 1, 31)))", L"Date:2/29/2024 | ");
    ExpectOurs(L"Class K\nEnd Class\nNote TypeName(New K)", L"K | ");
    ExpectOurs(L"On Error Resume Next\nDim x\nx = 1 / 0\nNote Err.Number & \" \" & Err.Description",
               L"11 Division by zero | ");
    // The 13 lines of S come first: the script's own lines count from 14.
    ExpectOurs(L"Note 1\nDim x\nx = 1E+308 * 10", L"1 | ", HRESULT(0x800A0006), 16);
    ExpectOurs(L"Option Explicit\nDim a\na = 1\nb = 2\n", L"", HRESULT(0x800A01F4), 17);
    ExpectOurs(L"Dim o\nSet o = Nothing\no.Foo\n", L"", HRESULT(0x800A01A8), 16);
}

}  // namespace
