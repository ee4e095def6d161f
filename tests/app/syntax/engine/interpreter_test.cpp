// The script engine on its own: compiling, running, calling, errors with
// their lines, and the language's semantics case by case. Scripts report
// through a host object "Log" (Log.Write x appends x and ";").
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Builtins.h"
#include "Engine.h"
#include "ScriptTestSupport.h"

namespace script {
namespace {

using test::Narrow;
using test::Wide;

class LogObject : public CObject {
   public:
    String text;
    CEngine* engine = nullptr;
    CValue stored;
    std::vector<String> calls;  // member and flags of each call: "Name:flags:argc"
    std::vector<CValue> items;

    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        calls.push_back(String(name) + u":" + Wide(std::to_string(flags)) + u":" +
                        Wide(std::to_string(args.size())));
        if (SameName(name, u"Write")) {
            for (size_t i = 0; i < args.size(); ++i) {
                if (i) text += u",";
                text += args[i]->IsMissing() ? String(u"<missing>") : ops::ToString(Plain(*args[i]));
            }
            text += u";";
            return CValue();
        }
        if (SameName(name, u"Bump")) {  // changes its argument through the pointer
            for (CValue* a : args) *a = ops::Binary(ops::Op::Add, *a, CValue::Integer(1));
            return CValue();
        }
        if (SameName(name, u"Include")) {
            engine->Run(ops::ToString(*args[0]));
            return CValue();
        }
        if (SameName(name, u"Fail")) Raise(err::kInvalidCall, u"host failure");
        if (SameName(name, u"Value") || name.empty()) {
            if (flags & (kCallPut | kCallPutRef)) {
                stored = *args.back();
                return CValue();
            }
            return stored;
        }
        if (SameName(name, u"Twice")) return ops::Binary(ops::Op::Mul, *args[0], CValue::Integer(2));
        Raise(err::kNotSupported);
    }
    bool HasMember(StringView name) override { return SameName(name, u"Twice") || SameName(name, u"Value"); }
    String TypeName() const override { return u"LogObject"; }
    std::vector<CValue> Enumerate() override { return items; }
};

class Script : public ::testing::Test {
   protected:
    CHost host;
    CEngine engine{&host};
    std::shared_ptr<LogObject> log = std::make_shared<LogObject>();

    void SetUp() override {
        log->engine = &engine;
        engine.AddNamedItem(u"Log", log, false);
    }
    void TearDown() override { log->stored = CValue(); }
    // Runs `text` and answers what it logged.
    std::string Run(const std::string& text) {
        log->text.clear();
        try {
            engine.Run(Wide(text));
        } catch (const ScriptError& e) {
            return Narrow(log->text) + "<error " + std::to_string(e.Number()) + " " + Narrow(e.description) +
                   " at " + std::to_string(e.line) + ":" + std::to_string(e.column) + ">";
        }
        return Narrow(log->text);
    }
    // The error `text` ends with ("" when none): "number line:column".
    std::string Fails(const std::string& text) {
        log->text.clear();
        try {
            engine.Run(Wide(text));
        } catch (const ScriptError& e) {
            return std::to_string(e.Number()) + " " + std::to_string(e.line) + ":" + std::to_string(e.column);
        }
        return "";
    }
    ScriptError Error(const std::string& text) {
        try {
            engine.Run(Wide(text));
        } catch (const ScriptError& e) {
            return e;
        }
        return ScriptError{};
    }
};

// ---- Expressions -------------------------------------------------------------------

TEST_F(Script, OperatorsFollowTheLanguagesPrecedence) {
    EXPECT_EQ(Run("Log.Write 2 + 3 * 4 ^ 2"), "50;");
    EXPECT_EQ(Run("Log.Write -2 ^ 2"), "4;");  // a sign binds before ^
    EXPECT_EQ(Run("Log.Write 2 ^ 3 ^ 2"), "64;");  // left to right
    EXPECT_EQ(Run("Log.Write 2 ^ -1"), "0.5;");
    EXPECT_EQ(Run("Log.Write Not 1 = 2"), "True;");
    EXPECT_EQ(Run("Log.Write 7 \\ 2 * 2, 7 Mod 4 * 2, 10 - 2 - 3, 7 \\ 2 Mod 2"),
              "1,7,5,1;");  // * / bind tighter than \\, then Mod
    EXPECT_EQ(Run("Log.Write 1 + 2 & 3 + 4"), "37;");
    EXPECT_EQ(Run("Log.Write 1 < 2 And 3 > 4 Or True, True Xor True, False Imp False, 5 Eqv 5"),
              "True,False,True,-1;");
    EXPECT_EQ(Run("Log.Write (1 + 2) * 3, -(2 + 3), - - 4"), "9,-5,4;");
    EXPECT_EQ(Run("Log.Write 3 And 5 Or 8"), "9;");
}

// Integer and Long operands take a shorter way in the interpreter: the same
// results, subtypes included, as the operators themselves.
TEST_F(Script, IntegerArithmeticAgreesWithTheOperators) {
    Run("Function FAdd(a, b) : FAdd = a + b : End Function\nFunction FSub(a, b) : FSub = a - b : End "
        "Function\n"
        "Function FMul(a, b) : FMul = a * b : End Function\nFunction FMod(a, b) : FMod = a Mod b : End "
        "Function\n"
        "Function FLt(a, b) : FLt = a < b : End Function\nFunction FEq(a, b) : FEq = a = b : End Function\n"
        "Function FGe(a, b) : FGe = a >= b : End Function");
    const std::pair<const char16_t*, ops::Op> fns[] = {
        {u"FAdd", ops::Op::Add}, {u"FSub", ops::Op::Sub}, {u"FMul", ops::Op::Mul}, {u"FMod", ops::Op::Mod},
        {u"FLt", ops::Op::Lt},   {u"FEq", ops::Op::Eq},   {u"FGe", ops::Op::Ge}};
    const CValue values[] = {CValue::Integer(0),     CValue::Integer(7),       CValue::Integer(-3),
                            CValue::Integer(32767), CValue::Integer(-32768),  CValue::Long(5),
                            CValue::Long(-40000),   CValue::Long(2147483647), CValue::Long(-2147483647 - 1)};
    for (const auto& [name, op] : fns) {
        const int id = engine.ProcedureId(name);
        for (const CValue& a : values)
            for (const CValue& b : values) {
                CValue x = a, y = b;
                CValue* args[] = {&x, &y};
                const int expectedError = test::ErrorOf([&] { ops::Binary(op, a, b); });
                if (expectedError) {
                    EXPECT_EQ(test::ErrorOf([&] { engine.Call(id, args); }), expectedError);
                    continue;
                }
                EXPECT_EQ(test::Show(engine.Call(id, args)), test::Show(ops::Binary(op, a, b)))
                    << Narrow(name) << " " << test::Show(a) << " " << test::Show(b);
            }
    }
}

TEST_F(Script, OperandsAreCoercedAndNullPropagates) {
    EXPECT_EQ(Run("Log.Write \"1\" + 2, \"a\" & 1, \"1\" + \"2\", Empty + 1, Empty & \"x\""), "3,a1,12,1,x;");
    EXPECT_EQ(Run("x = Null + 1 : Log.Write IsNullText(x)\nFunction IsNullText(v) : IsNullText = "
                  "(TypeName(v) = \"Null\") : End Function"),
              "True;");
    EXPECT_EQ(Run("Log.Write TypeName(Null & \"a\"), TypeName(Null And False), TypeName(1 = Null)"),
              "String,Boolean,Null;");
    EXPECT_EQ(Run("Log.Write \"abc\" < \"abd\", \"B\" < \"a\", \"10\" < \"9\""), "True,True,True;");
    EXPECT_EQ(Run("Log.Write TypeName(1), TypeName(40000), TypeName(1.5), TypeName(\"\"), TypeName(Empty), "
                  "TypeName(Nothing)"),
              "Integer,Long,Double,String,Empty,Nothing;");
    EXPECT_EQ(Run("Log.Write &HFF, &H10&, &HFFFF, &O17, 1e3, .5"), "255,16,-1,15,1000,0.5;");
    EXPECT_EQ(Run("Log.Write \"say \"\"hi\"\"\""), "say \"hi\";");
    EXPECT_EQ(Fails("x = 1 / 0"), "11 0:0");
    EXPECT_EQ(Fails("x = \"a\" * 2"), "13 0:0");
}

TEST_F(Script, StatementsShareLinesAndContinueOverThem) {
    EXPECT_EQ(Run("a = 1 : b = 2 : Log.Write a + b ' comment\nRem a remark\nLog.Write _\n  a, _\n  b"),
              "3;1,2;");
    EXPECT_EQ(Run("[my var] = 5 : Log.Write [my var]"), "5;");
    EXPECT_EQ(Run("LOG.WRITE \"case\" : log.write \"insensitive\""), "case;insensitive;");
}

// ---- Control flow ------------------------------------------------------------------

TEST_F(Script, IfInBothFormsAndSelectCase) {
    EXPECT_EQ(Run("x = 5\nIf x > 3 Then Log.Write \"big\" Else Log.Write \"small\"\nIf x < 3 Then Log.Write "
                  "1 : Log.Write 2"),
              "big;");
    EXPECT_EQ(Run("For i = 1 To 4\nIf i = 1 Then\nLog.Write \"one\"\nElseIf i = 2 Then\nLog.Write \"two\"\n"
                  "ElseIf i = 3 Then\nLog.Write \"three\"\nElse\nLog.Write \"many\"\nEnd If\nNext"),
              "one;two;three;many;");
    EXPECT_EQ(Run("If Null Then Log.Write \"null is true\" Else Log.Write \"null is false\""),
              "null is false;");
    EXPECT_EQ(Run("For Each v In Array(1, 2, 5, \"x\", 9)\nSelect Case v\nCase 1, 2\nLog.Write \"low\"\n"
                  "Case \"x\" : Log.Write \"text\"\nCase 5\nLog.Write \"five\"\nCase Else\nLog.Write "
                  "\"else\"\nEnd Select\nNext"),
              "low;low;five;text;else;");
}

TEST_F(Script, ForLoopsEvaluateTheirBoundsOnce) {
    EXPECT_EQ(Run("For i = 1 To 3 : Log.Write i : Next"), "1;2;3;");
    EXPECT_EQ(Run("For i = 10 To 1 Step -4 : Log.Write i : Next : Log.Write i"), "10;6;2;-2;");
    EXPECT_EQ(Run("n = 3\nFor i = 1 To n\nn = 10\nLog.Write i\nNext"), "1;2;3;");
    EXPECT_EQ(Run("For i = 0 To 1 Step 0.5 : Log.Write i : Next"), "0;0.5;1;");
    EXPECT_EQ(Run("For i = 1.5 To 0.5 Step -0.5 : Log.Write i : Next : Log.Write i"), "1.5;1;0.5;0;");
    EXPECT_EQ(Run("For i = 1 To 1 Step -0.5 : Log.Write i : Next"), "1;");
    EXPECT_EQ(Run("For i = 1 To 0 : Log.Write i : Next : Log.Write \"none\""), "none;");
    EXPECT_EQ(Run("For i = 1 To 10\nIf i = 3 Then Exit For\nNext\nLog.Write i"), "3;");
    EXPECT_EQ(Run("For i = 32766 To 32767 : Next : Log.Write TypeName(i), i"), "Long,32768;");
}

TEST_F(Script, ForEachDoAndWhileLoops) {
    EXPECT_EQ(Run("a = Array(\"x\", \"y\")\nFor Each v In a : Log.Write v : Next"), "x;y;");
    log->items = {CValue::Integer(7), CValue::Str(String(u"s"))};
    EXPECT_EQ(Run("For Each v In Log : Log.Write v : Next"), "7;s;");
    EXPECT_EQ(Run("i = 0\nDo While i < 3\ni = i + 1\nLoop\nLog.Write i"), "3;");
    EXPECT_EQ(Run("i = 0\nDo Until i >= 2\ni = i + 1\nLoop\nLog.Write i"), "2;");
    EXPECT_EQ(Run("i = 10\nDo\ni = i + 1\nLoop While i < 5\nLog.Write i"), "11;");
    EXPECT_EQ(Run("i = 10\nDo\ni = i + 1\nLoop Until True\nLog.Write i"), "11;");
    EXPECT_EQ(Run("i = 0\nDo\ni = i + 1\nIf i = 4 Then Exit Do\nLoop\nLog.Write i"), "4;");
    EXPECT_EQ(Run("i = 0\nWhile i < 5\ni = i + 2\nWend\nLog.Write i"), "6;");
    EXPECT_EQ(Fails("For Each v In 5 : Next"), "451 0:0");
}

// ---- Procedures and arguments ------------------------------------------------------

TEST_F(Script, ProceduresAreKnownBeforeTheFirstStatement) {
    EXPECT_EQ(Run("Log.Write Twice(4)\nFunction Twice(x)\nTwice = x * 2\nEnd Function"), "8;");
    EXPECT_EQ(
        Run("Hello \"a\", \"b\"\nCall Hello(\"c\", \"d\")\nSub Hello(x, y) : Log.Write x & y : End Sub"),
        "ab;cd;");
    EXPECT_EQ(Run("Function F(n)\nIf n <= 1 Then\nF = 1\nExit Function\nEnd If\nF = n * F(n - 1)\nEnd "
                  "Function\nLog.Write F(10)"),
              "3628800;");
    EXPECT_EQ(Run("Sub S\nLog.Write 1\nExit Sub\nLog.Write 2\nEnd Sub\nS"), "1;");
    EXPECT_EQ(Fails("Sub S(a)\nEnd Sub\nS 1, 2"), "450 2:0");
}

TEST_F(Script, ByReferenceArgumentsChangeTheCallersVariable) {
    const char* procs =
        "Sub Inc(n) : n = n + 1 : End Sub\n"
        "Sub IncVal(ByVal n) : n = n + 1 : End Sub\n";
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : Inc x : Log.Write x"), "2;");
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : Inc (x) : Log.Write x"), "1;");  // parenthesised: a copy
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : Inc(x) : Log.Write x"), "1;");
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : Call Inc(x) : Log.Write x"), "2;");
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : IncVal x : Log.Write x"), "1;");
    EXPECT_EQ(Run(std::string(procs) + "x = 1 : Inc x + 0 : Log.Write x"), "1;");
    EXPECT_EQ(Run(std::string(procs) + "Sub Outer\nDim y : y = 5 : Inc y : Log.Write y\nEnd Sub\nOuter"),
              "6;");
    // Host objects get pointers to the variables too.
    EXPECT_EQ(Run("x = 1 : y = 10 : Log.Bump x, (y), 3 : Log.Write x, y"), "2,10;");
    EXPECT_EQ(Run("Sub T\nDim z : z = 4 : Log.Bump z : Log.Write z\nEnd Sub\nT"), "5;");
}

TEST_F(Script, ArrayElementsArePassedByReferenceAndLockTheirArray) {
    const char* swap = "Sub Swap(x, y) : Dim t : t = x : x = y : y = t : End Sub\n";
    EXPECT_EQ(Run(std::string(swap) + "a = Array(1, 2) : Swap a(0), a(1) : Log.Write a(0), a(1)"), "2,1;");
    EXPECT_EQ(Run(std::string(swap) +
                  "Dim m(1, 1) : m(0, 1) = 5 : Swap m(0, 1), m(1, 0) : Log.Write m(0, 1), m(1, 0)"),
              ",5;");
    // ByVal parameters still get copies; a shared array is unshared first.
    EXPECT_EQ(Run("Sub V(ByVal x) : x = 9 : End Sub\na = Array(1) : V a(0) : Log.Write a(0)"), "1;");
    EXPECT_EQ(Run(std::string(swap) + "a = Array(1, 2) : b = a : Swap a(0), a(1) : Log.Write a(0), b(0)"),
              "2,1;");
    // Host objects get a pointer at the element.
    EXPECT_EQ(Run("a = Array(1, 2) : Log.Bump a(1) : Log.Write a(0), a(1)"), "1,3;");
    // Globals seen from a procedure, and fields seen from a method.
    EXPECT_EQ(Run("Dim g(2)\nSub S : g(1) = 4 : Log.Bump g(1) : End Sub\nS : Log.Write g(1)"), "5;");
    EXPECT_EQ(Run("Class C\nDim f\nSub Go : f = Array(5, 6) : Log.Bump f(0) : Log.Write f(0) : End Sub\n"
                  "End Class\nSet o = New C : o.Go"),
              "6;");
    // While lent, the array can be neither reallocated nor replaced nor erased.
    const char* callee = "Sub R(arr, x)\nOn Error Resume Next\n";
    const char* rest =
        "\nLog.Write Err.Number : x = 9\nEnd Sub\na = Array(1, 2) : R a, a(1) : Log.Write a(1), UBound(a)";
    for (const char* change : {"ReDim arr(100)", "ReDim Preserve arr(100)", "Erase arr", "arr = 5",
                               "a = Array(7)", "For Each a In Array(1) : Next", "b = a : a(0) = 7"})
        EXPECT_EQ(Run(std::string(callee) + change + rest), "10;9,1;") << change;
    // Without a handler the error leaves the callee; the lock goes with the call.
    EXPECT_EQ(
        Run("Sub R(arr, x) : ReDim arr(100) : End Sub\na = Array(1, 2)\nOn Error Resume Next\nR a, a(1)\n"
            "Log.Write Err.Number\nOn Error GoTo 0\nReDim a(3) : Log.Write UBound(a)"),
        "10;3;");
    // Once another variable shares it, the variable may let it go: the call keeps it alive.
    EXPECT_EQ(Run("Dim a\nSub Q(x) : b = a : a = 5 : x = 3 : Log.Write a : End Sub\n"
                  "a = Array(1, 2) : Q a(1) : Log.Write a"),
              "5;5;");
    // A copy of a lent array is a free array of its own.
    EXPECT_EQ(Run("Sub R(x) : b = a : ReDim Preserve b(5) : x = 3 : Log.Write UBound(b) : End Sub\n"
                  "a = Array(1, 2) : R a(0) : Log.Write a(0), UBound(a)"),
              "5;3,1;");
}

TEST_F(Script, HostObjectsAreCalledWithTheRightFlags) {
    log->calls.clear();
    Run("Log.Value = 3\nx = Log.Value\nSet Log.Value = Log\ny = Log.Twice(2)\nLog.Write x, y");
    ASSERT_GE(log->calls.size(), 5u);
    EXPECT_EQ(Narrow(log->calls[0]), "Value:4:1");
    EXPECT_EQ(Narrow(log->calls[1]), "Value:3:0");
    EXPECT_EQ(Narrow(log->calls[2]), "Value:8:1");
    EXPECT_EQ(Narrow(log->calls[3]), "Twice:3:1");
    EXPECT_EQ(Narrow(log->calls[4]), "Write:1:2");
    EXPECT_EQ(Narrow(log->text), "3,4;");
    // Missing arguments reach the host as such.
    EXPECT_EQ(Run("Log.Write 1, , 3"), "1,<missing>,3;");
}

TEST_F(Script, NamedItemsWithGlobalMembersComeAfterTheScriptsOwnNames) {
    auto other = std::make_shared<LogObject>();
    other->stored = CValue::Integer(42);
    engine.AddNamedItem(u"Other", other, true);
    EXPECT_EQ(Run("Log.Write Twice(21), Value"), "42,42;");
    EXPECT_EQ(Run("Function Twice(x) : Twice = \"mine\" : End Function\nLog.Write Twice(1)"), "mine;");
}

// ---- Errors ------------------------------------------------------------------------

TEST_F(Script, ResumeNextSkipsTheFailingStatement) {
    EXPECT_EQ(Run("On Error Resume Next\nx = 1 / 0\nLog.Write Err.Number, "
                  "Err.Description\nErr.Clear\nLog.Write Err.Number"),
              "11,Division by zero;0;");
    EXPECT_EQ(Run("On Error Resume Next\nLog.Write 1\nLog.Fail\nLog.Write Err.Number, Err.Description\nOn "
                  "Error GoTo 0\n"
                  "Log.Write Err.Number"),
              "1;5,host failure;0;");
    EXPECT_EQ(Fails("On Error Resume Next\nOn Error GoTo 0\nx = 1 / 0"), "11 2:0");
    EXPECT_EQ(Run("On Error Resume Next\nErr.Raise 1234, \"me\", \"custom\"\nLog.Write Err.Number, "
                  "Err.Source, Err.Description"),
              "1234,me,custom;");
    EXPECT_EQ(Run("Err.Number = 7 : Err.Source = 5 : Err.Description = \"d\"\nLog.Write Err.Number, "
                  "Err.Source, Err.Description\nErr.Clear\nLog.Write Err.Number, Err.Source"),
              "7,5,d;0,;");
    const ScriptError e = Error("\n  Err.Raise 5000, \"src\", \"text\"");
    EXPECT_EQ(e.Number(), 5000);
    EXPECT_EQ(Narrow(e.description), "text");
    EXPECT_EQ(Narrow(e.source), "src");
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.column, 2);
}

TEST_F(Script, ResumeNextAfterAFailingHeaderGoesOnInsideTheBlock) {
    const std::string on = "On Error Resume Next\n";
    EXPECT_EQ(Run(on + "If 1 / 0 Then Log.Write \"in\"\nLog.Write \"after\", Err.Number"), "in;after,11;");
    EXPECT_EQ(
        Run(on +
            "If 1 / 0 = 1 Then\nLog.Write \"then\"\nElse\nLog.Write \"else\"\nEnd If\nLog.Write \"after\""),
        "then;after;");
    EXPECT_EQ(
        Run(on + "If False Then\nLog.Write 1\nElseIf 1 / 0 Then\nLog.Write 2\nElse\nLog.Write 3\nEnd If"),
        "2;");
    // A loop whose test fails runs its body once, then goes on after it.
    EXPECT_EQ(Run(on + "n = 0\nDo While 1 / 0\nn = n + 1 : Log.Write n\nLoop\nLog.Write \"after\""),
              "1;after;");
    EXPECT_EQ(Run(on + "Do Until 1 / 0\nLog.Write \"body\"\nLoop\nLog.Write \"after\""), "body;after;");
    EXPECT_EQ(Run(on + "While 1 / 0\nLog.Write \"body\"\nWend\nLog.Write \"after\""), "body;after;");
    EXPECT_EQ(Run(on + "For i = 1 To 1 / 0\nLog.Write \"body\"\nNext\nLog.Write \"after\""), "body;after;");
    // A test that fails later ends the loop.
    EXPECT_EQ(Run(on + "k = 0\nDo While 1 / k < 10\nLog.Write k : k = k - 1\nIf k < -1 Then k = 0\nLoop\n"
                       "Log.Write \"after\""),
              "0;-1;after;");
    // Without the handler the header's error still ends the run, with its line.
    EXPECT_EQ(Fails("x = 1\nIf 1 / 0 Then x = 2"), "11 1:0");
}

TEST_F(Script, AnErrorLeavesAProcedureWithoutAHandlerForItsCaller) {
    const char* text =
        "Sub Inner\nLog.Write \"a\"\nx = 1 / 0\nLog.Write \"not here\"\nEnd Sub\n"
        "Sub Outer\nOn Error Resume Next\nInner\nLog.Write \"outer goes on\", Err.Number\nEnd Sub\n"
        "Outer\nLog.Write \"top\"";
    EXPECT_EQ(Run(text), "a;outer goes on,11;top;");
    // A handler in the callee does not leak to the caller.
    EXPECT_EQ(Fails("Sub Quiet\nOn Error Resume Next\nEnd Sub\nQuiet\nx = 1 / 0"), "11 4:0");
    // The line of an error inside a procedure is the failing statement's.
    EXPECT_EQ(Fails("Sub S\n  Log.Write 1\n  Log.Fail\nEnd Sub\nS"), "5 2:2");
}

TEST_F(Script, CompileErrorsRunNothingAndSayWhere) {
    EXPECT_EQ(Fails("Log.Write 1\nIf x Then\nLog.Write 2\n"), "1014 3:0");  // Expected 'End'
    EXPECT_EQ(log->text, u"");
    EXPECT_EQ(Fails("Log.Write 1\nx = (1 + \n"), "1023 1:9");  // Expected expression
    EXPECT_EQ(Fails("x = \"abc"), "1033 0:4");
    EXPECT_EQ(Fails("x = 1 $ 2"), "1032 0:6");
    EXPECT_EQ(Run("Sub A\nLog.Write 1\nEnd Sub\nSub A\nLog.Write 2\nEnd Sub\nA"), "2;");  // the last wins
    EXPECT_EQ(Fails("Class A\nEnd Class\nClass A\nEnd Class"), "1041 2:6");
    EXPECT_EQ(Fails("For i = 1 To 2\nLog.Write i"), "1020 1:11");  // Expected 'Next'
    EXPECT_EQ(Fails("Sub A\nSub B\nEnd Sub\nEnd Sub"), "1002 1:0");
    EXPECT_EQ(Fails("Exit Sub"), "1002 0:5");
    EXPECT_EQ(Fails("Exit For"), "1002 0:5");
    EXPECT_EQ(Fails("For i = 1 To 2\nDo : Exit For : Loop\nNext\nSub S : Exit Do : End Sub"), "1002 3:13");
    EXPECT_EQ(Fails("Do\nFor Each x In Array(1) : Exit Do : Next\nLoop\nWhile True : Exit Do : Wend"),
              "1002 3:18");
    // Lines count from firstLine.
    try {
        engine.Run(u"x = 1\ny = ", 10);
        FAIL();
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line, 11);
        EXPECT_EQ(Narrow(e.source), "Microsoft VBScript compilation error");
    }
}

TEST_F(Script, OptionExplicitRefusesUndeclaredNames) {
    EXPECT_EQ(Fails("Option Explicit\nDim a\na = 1\nb = 2"), "500 3:0");
    EXPECT_EQ(Fails("Option Explicit\nSub S\nDim a\nLog.Write a, c\nEnd Sub\nS"), "500 3:0");
    EXPECT_EQ(Run("Option Explicit\nDim a, b(2)\nConst K = 3\na = K : b(1) = a\nLog.Write b(1)"), "3;");
    EXPECT_EQ(Fails("Const K = 1\nK = 2"), "501 1:0");
}

// ---- Variables and arrays ----------------------------------------------------------

TEST_F(Script, ArraysDimReDimAndPreserve) {
    EXPECT_EQ(Run("Dim a(3)\na(0) = \"x\" : a(3) = 5\nLog.Write a(0), a(3), TypeName(a(1))"), "x,5,Empty;");
    EXPECT_EQ(Run("Dim m(2, 3)\nm(2, 3) = 7 : m(0, 1) = 1\nLog.Write m(2, 3) + m(0, 1)"), "8;");
    EXPECT_EQ(Run("Dim d()\nReDim d(2)\nd(2) = \"k\"\nReDim Preserve d(4)\nLog.Write d(2), "
                  "TypeName(d(4))\nReDim d(1)\n"
                  "Log.Write TypeName(d(1))"),
              "k,Empty;Empty;");
    EXPECT_EQ(
        Run("ReDim g(1, 1)\ng(1, 1) = 3\nReDim Preserve g(1, 2)\ng(0, 2) = 4\nLog.Write g(1, 1), g(0, 2)"),
        "3,4;");
    EXPECT_EQ(Fails("Dim a(2)\nReDim a(3)"), "10 1:0");
    EXPECT_EQ(Fails("Dim a(2)\nx = a(3)"), "9 1:0");
    EXPECT_EQ(Fails("ReDim g(1, 1)\nReDim Preserve g(2, 1)"), "9 1:0");
    // Arrays are values: an assignment copies.
    EXPECT_EQ(Run("a = Array(1, 2)\nb = a\nb(0) = 9\nLog.Write a(0), b(0)"), "1,9;");
    EXPECT_EQ(Run("a = Array(Array(1, 2), Array(3, 4))\nLog.Write a(1)(0)"), "3;");
    EXPECT_EQ(Run("Dim a(1)\nSub Fill(arr)\narr(1) = \"filled\"\nEnd Sub\nFill a\nLog.Write a(1)"),
              "filled;");
    EXPECT_EQ(Run("Dim e(2)\ne(1) = 4\nErase e\nLog.Write TypeName(e(1))"), "Empty;");
}

TEST_F(Script, AnIndexThatReplacesTheArrayItIndexes) {
    const char* f = "Function F : a = 5 : F = 0 : End Function\n";
    EXPECT_EQ(Fails(std::string(f) + "a = Array(1, 2)\nx = a(F())"), "13 2:0");
    EXPECT_EQ(Fails(std::string(f) + "a = Array(1, 2)\na(F()) = 1"), "13 2:0");
    EXPECT_EQ(
        Fails(
            "Class C\nPublic items\nPublic Default Function V : items = 0 : V = 1 : End Function\nEnd Class\n"
            "Set o = New C : o.items = Array(1, 2)\no.items(o) = 5"),
        "13 5:0");
}

TEST_F(Script, ObjectsNeedSetAndNothingIsNoObject) {
    EXPECT_EQ(Run("Set o = Log\no.Write \"via o\"\nLog.Write o Is Log, o Is Nothing, Nothing Is Nothing"),
              "via o;True,False,True;");
    EXPECT_EQ(Fails("Set x = 5"), "424 0:0");
    // Members of Nothing: calls, reads and writes want an object.
    EXPECT_EQ(Fails("Set o = Nothing\no.Write 1"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\no.Foo"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\nx = o.Bar"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\nx = o.Bar(1)"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\no.Bar = 1"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\nSet o.Bar = Log"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\no.Bar(1) = 2"), "424 1:0");
    EXPECT_EQ(Fails("Set o = Nothing\nWith o\n.Foo\nEnd With"), "424 2:0");
    EXPECT_EQ(Fails("x = 5\nx.Write 1"), "424 1:0");
    // Without Set an object gives its default member's value.
    log->stored = CValue::Str(String(u"default"));
    EXPECT_EQ(Run("x = Log\nLog.Write x, TypeName(x), IsObject(Log), VarType(x)"), "default,String,True,8;");
}

TEST_F(Script, WithBlocks) {
    EXPECT_EQ(Run("With Log\n.Write \"a\"\n.Value = 5\n.Write .Value\nEnd With"), "a;5;");
    // Keywords are plain member names after a dot, also in a With block.
    EXPECT_EQ(Run("Class N\nPublic [Next], [Step], [End], [Rem]\nEnd Class\nSet o = New N\no.Next = 1 : "
                  "o.Step = 2\n"
                  "With o\n  .End = .Next + .Step\n  .Rem = 4\nEnd With\nLog.Write o.End, o.Rem"),
              "3,4;");
}

// ---- Classes -----------------------------------------------------------------------

TEST_F(Script, ClassesWithPropertiesMethodsAndDefaultMembers) {
    const char* cls =
        "Class Counter\n"
        "  Private count_\n"
        "  Public Name\n"
        "  Private Sub Class_Initialize : count_ = 10 : Log.Write \"init\" : End Sub\n"
        "  Public Property Get Count : Count = count_ : End Property\n"
        "  Public Property Let Count(v) : count_ = v : End Property\n"
        "  Public Sub Add(n) : count_ = count_ + n : Bump : End Sub\n"
        "  Private Sub Bump : count_ = count_ + 1000 : End Sub\n"
        "  Public Default Function Item(i) : Item = i * count_ : End Function\n"
        "  Public Function Self : Set Self = Me : End Function\n"
        "End Class\n";
    EXPECT_EQ(Run(std::string(cls) + "Set c = New Counter\nc.Add 5\nLog.Write c.Count\nc.Count = "
                                     "2\nLog.Write c.Count, c(3), c.Self.Count\n"
                                     "c.Name = \"n\" : Log.Write c.Name, TypeName(c)"),
              "init;1015;2,6,2;n,Counter;");
    EXPECT_EQ(Fails(std::string(cls) + "Set c = New Counter\nc.Bump"), "438 12:0");
    EXPECT_EQ(Fails(std::string(cls) + "Set c = New Counter\nLog.Write c.count_"), "438 12:0");
    EXPECT_EQ(Fails("Set c = New Nowhere"), "506 0:0");
}

TEST_F(Script, PropertySetAndObjectFields) {
    EXPECT_EQ(Run("Class Box\nPrivate o_\nPublic Property Set Obj(v) : Set o_ = v : End Property\n"
                  "Public Property Get Obj : Set Obj = o_ : End Property\nEnd Class\n"
                  "Set b = New Box\nSet b.Obj = Log\nb.Obj.Write \"through\"\nLog.Write b.Obj Is Log"),
              "through;True;");
    EXPECT_EQ(Run("Class Node\nPublic Next_, Value\nEnd Class\nSet a = New Node : Set a.Next_ = New Node\n"
                  "a.Next_.Value = 3 : Log.Write a.Next_.Value"),
              "3;");
}

TEST_F(Script, TerminateRunsWhenTheLastReferenceGoes) {
    const char* cls =
        "Class T\nPublic Id\nPrivate Sub Class_Terminate : Log.Write \"bye \" & Id : Err.Raise 5 : End "
        "Sub\nEnd Class\n";
    EXPECT_EQ(Run(std::string(cls) +
                  "Set a = New T : a.Id = 1\nSet b = a\nSet a = Nothing\nLog.Write \"one left\"\n"
                  "Set b = Nothing\nLog.Write \"after\""),
              "one left;bye 1;after;");
    EXPECT_EQ(Run("Sub S\nDim x : Set x = New T : x.Id = 2\nEnd Sub\nS\nLog.Write \"back\""), "bye 2;back;");
}

TEST_F(Script, ALongChainOfInstancesIsFreedWithoutDeepRecursion) {
    EXPECT_EQ(
        Run("Class Node\nPublic Next_\nEnd Class\nSet head = Nothing\nFor i = 1 To 200000\nSet n = New Node\n"
            "Set n.Next_ = head\nSet head = n\nNext\nSet n = Nothing\nSet head = Nothing\nLog.Write "
            "\"freed\""),
        "freed;");
    EXPECT_EQ(Run("Class T\nPublic Next_, Id\nSub Class_Terminate : Log.Write Id : End Sub\nEnd Class\n"
                  "Set a = New T : a.Id = 1 : Set a.Next_ = New T : a.Next_.Id = 2\nSet a = Nothing"),
              "1;2;");
}

TEST_F(Script, MoreClassMembers) {
    const char* cls =
        "Class Grid\n"
        "  Const Size = 3\n"
        "  Private cells(3)\n"
        "  Public Property Get Cell(i) : Cell = cells(i) : End Property\n"
        "  Public Property Let Cell(i, v)\n    If i > Size Then Exit Property\n    cells(i) = v\n  End "
        "Property\n"
        "  Public Function Peek(other) : Peek = other.cells(1) : End Function\n"
        "  Public Function Limit : Limit = Size : End Function\n"
        "End Class\n";
    EXPECT_EQ(
        Run(std::string(cls) + "Set g = New Grid : Set h = New Grid\ng.Cell(1) = \"a\" : g.Cell(9) = \"x\"\n"
                               "h.Cell(1) = \"b\"\nLog.Write g.Cell(1), g.Peek(h), g.Limit"),
        "a,b,3;");
}

TEST_F(Script, StatementCallsWithParenthesisedFirstArguments) {
    EXPECT_EQ(
        Run("Sub Two(a, b) : Log.Write a & \"/\" & b : End Sub\nTwo (1) + 1, 3\nLog.Write (\"x\") & \"y\"\n"
            "Log.Write(\"z\")\nTwo 1, (2)"),
        "2/3;xy;z;1/2;");
}

TEST_F(Script, WithNestsAndWorksInProcedures) {
    EXPECT_EQ(Run("Class P\nPublic Inner, N\nEnd Class\nSub S\nSet o = New P : Set o.Inner = New P\nWith "
                  "o\n.N = 1\n"
                  "With .Inner\n.N = 2\nEnd With\nLog.Write .N, .Inner.N\nEnd With\nEnd Sub\nS"),
              "1,2;");
}

TEST_F(Script, LiteralsOfDatesAndNumbers) {
    EXPECT_EQ(Run("d = #1/31/2024#\nLog.Write TypeName(d), Year(d), Month(d), Day(d)"), "Date,2024,1,31;");
    EXPECT_EQ(Run("Log.Write TypeName(32767), TypeName(32768), TypeName(&HFFFF&), TypeName(2147483648)"),
              "Integer,Long,Long,Double;");
}

TEST_F(Script, HostErrorsKeepTheirTextAndGetRefIsCallable) {
    const ScriptError e = Error("x = 1\nLog.Fail");
    EXPECT_EQ(e.Number(), 5);
    EXPECT_EQ(Narrow(e.description), "host failure");
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(Run("Sub OnEvent(a) : Log.Write \"event \" & a : End Sub\nSet handler = GetRef(\"OnEvent\")\n"
                  "Set Log.Value = handler"),
              "");
    ASSERT_TRUE(log->stored.IsObject());
    CValue arg = CValue::Str(String(u"fired"));
    CValue* args[] = {&arg};
    log->text.clear();
    CValue handler = log->stored;
    handler.object()->Invoke(u"", kCallMethod, args);
    EXPECT_EQ(Narrow(log->text), "event fired;");
}

// Calls `f` with about `bytes` more of native stack in use.
template <class F>
void AtStackDepth(size_t bytes, F&& f) {
    volatile char pad[1024];
    pad[0] = 1;
    if (bytes > sizeof pad)
        AtStackDepth(bytes - sizeof pad, f);
    else
        f();
    pad[1] = pad[0];
}

TEST_F(Script, HostCallsIntoScriptObjectsOutsideARunMeasureTheirOwnStack) {
    EXPECT_EQ(Run("Sub OnEvent : Log.Write \"event\" : End Sub\nClass K\nSub M : Log.Write \"method\" : End "
                  "Sub\nEnd Class\n"
                  "Set Log.Value = GetRef(\"OnEvent\")"),
              "");
    CValue handler = log->stored;
    EXPECT_EQ(Run("Set Log.Value = New K"), "");
    CValue instance = log->stored;
    log->stored = CValue();
    AtStackDepth(400 * 1024, [&] {
        handler.object()->Invoke(u"", kCallMethod, {});
        instance.object()->Invoke(u"M", kCallMethod, {});
    });
    EXPECT_EQ(Narrow(log->text), "event;method;");
}

TEST_F(Script, AHugeArrayIsOutOfMemoryNotACrash) {
    EXPECT_EQ(Fails("ReDim a(100000000)"), "7 0:0");
    EXPECT_EQ(Fails("Dim b(20000, 20000)"), "7 0:4");
    EXPECT_EQ(Run("On Error Resume Next\nReDim a(100000000, 10)\nLog.Write Err.Number"), "7;");
    // The limit is 256 MiB of elements, checked before allocating.
    const size_t fits = (size_t(256) << 20) / sizeof(CValue);
    const std::string n = std::to_string(fits);  // one element more than fits
    EXPECT_EQ(Fails("ReDim a(" + n + ")"), "7 0:0");
    EXPECT_EQ(Fails("Dim c(" + n + ")"), "7 0:4");
    EXPECT_EQ(Fails("Sub P : Dim d(" + std::to_string(fits / 2) + ", 1) : End Sub\nP"), "7 1:0");
    EXPECT_EQ(Run("On Error Resume Next\nReDim a(10) : a(3) = 4\nReDim Preserve a(" + n +
                  ")\nLog.Write Err.Number, UBound(a), a(3)"),
              "7,10,4;");
    EXPECT_EQ(Run("ReDim a(1000000) : Log.Write UBound(a)"), "1000000;");
}

// Counts HasMember calls: a name is looked up once per place, not per use.
class CountingObject : public LogObject {
   public:
    int hasMember = 0;
    bool HasMember(StringView name) override {
        ++hasMember;
        return LogObject::HasMember(name);
    }
};

TEST_F(Script, NamesAreResolvedOncePerPlace) {
    auto counting = std::make_shared<CountingObject>();
    engine.AddNamedItem(u"Globals", counting, true);
    EXPECT_EQ(Run("For i = 1 To 1000 : n = n + Len(\"ab\") + Twice(1) : Next\nLog.Write n"), "4000;");
    EXPECT_LE(counting->hasMember, 6);
}

TEST_F(Script, DeeplyNestedArraysAreFreedWithoutDeepRecursion) {
    EXPECT_EQ(Run("For i = 1 To 200000\na = Array(a)\nNext\na = 0\nLog.Write \"freed\""), "freed;");
    EXPECT_EQ(Run("For i = 1 To 200000\nb = Array(b)\nNext\nLog.Write \"kept\""),
              "kept;");  // freed with the engine
}

TEST_F(Script, ScopesOfUndeclaredNames) {
    // Undeclared in a procedure: a local, unless a global of that name exists.
    EXPECT_EQ(Run("Sub S\nfresh = 1 : known = 2\nEnd Sub\nknown = 0\nS\nLog.Write TypeName(fresh), known"),
              "Empty,2;");
    // A global from an earlier run is declared for a later Option Explicit text.
    EXPECT_EQ(Run("Option Explicit\nknown = known + 1\nLog.Write known"), "3;");
    // The script's own names come before the library's and the host's.
    EXPECT_EQ(Run("Const vbCrLf = \"mine\"\nFunction Len(x) : Len = -1 : End Function\nLog.Write vbCrLf, "
                  "Len(\"abc\")"),
              "mine,-1;");
}

TEST_F(Script, ErrorsOfClassesAndTheirLines) {
    EXPECT_EQ(Fails("Class B\nSub Class_Initialize\n  x = 1 / 0\nEnd Sub\nEnd Class\nSet o = New B"),
              "11 2:2");
    EXPECT_EQ(Run("Class B2\nSub Class_Initialize : Err.Raise 9 : End Sub\nEnd Class\nOn Error Resume "
                  "Next\nSet o = New B2\n"
                  "Log.Write Err.Number, TypeName(o)"),
              "9,Empty;");
    // A statement continued over lines reports where it starts.
    EXPECT_EQ(Fails("x = 1\nLog.Write 1, _\n  2 / 0"), "11 1:0");
    // A compile error in Execute'd text fails the Execute statement, with the text's own line.
    EXPECT_EQ(Fails("x = 1\nExecute \"a = 1\" & vbLf & \"If\""), "1023 1:2");
    EXPECT_EQ(Run("On Error Resume Next\nExecute \"If\"\nLog.Write Err.Number"), "1023;");
}

TEST_F(Script, ErrStaysSetForTheCallerAfterAHandledError) {
    EXPECT_EQ(
        Run("Sub Quiet\nOn Error Resume Next\nx = 1 / 0\nEnd Sub\nQuiet\nLog.Write Err.Number\nErr.Clear\n"
            "Log.Write Err.Number"),
        "11;0;");
}

TEST_F(Script, DefaultMembersInExpressionsAndAssignments) {
    const char* cls =
        "Class Cell\nPrivate v_\nPublic Default Property Get Value : Value = v_ : End Property\n"
        "Public Property Let Value(x) : v_ = x : End Property\nEnd Class\n";
    EXPECT_EQ(Run(std::string(cls) +
                  "Set c = New Cell\nc.Value = 4\nx = c\nLog.Write x + 1, c * 2, c & \"!\", TypeName(x)"),
              "5,8,4!,Integer;");
    EXPECT_EQ(Fails("Class NoDefault\nEnd Class\nSet o = New NoDefault\nx = o"), "438 3:0");
    EXPECT_EQ(Fails("Class NoDefault2\nEnd Class\nSet o = New NoDefault2\nx = o + 1"), "438 3:0");
}

TEST_F(Script, ByReferenceThroughMethodsAndNestedCalls) {
    EXPECT_EQ(Run("Class M\nSub Twice(n) : n = n * 2 : End Sub\nEnd Class\nSet obj = New M\nv = 3 : "
                  "obj.Twice v : Log.Write v"),
              "6;");
    EXPECT_EQ(
        Run("Sub A(x) : B x : End Sub\nSub B(y) : y = y & \"b\" : End Sub\ns = \"a\" : A s : Log.Write s"),
        "ab;");
    EXPECT_EQ(Run("Sub C(ByVal x) : D x : Log.Write x : End Sub\nSub D(y) : y = 0 : End Sub\nq = 9 : C q : "
                  "Log.Write q"),
              "0;9;");
}

TEST_F(Script, ForEachOverATwoDimensionalArrayAndExitsFromNestedLoops) {
    EXPECT_EQ(Run("Dim g(1, 1)\ng(0, 0) = 1 : g(1, 0) = 2 : g(0, 1) = 3 : g(1, 1) = 4\nFor Each v In g : s = "
                  "s & v : Next\n"
                  "Log.Write s"),
              "1234;");
    EXPECT_EQ(Run("Function Find\nFor i = 1 To 5\nDo\nIf i = 3 Then\nFind = i\nExit Function\nEnd If\nExit "
                  "Do\nLoop\nNext\n"
                  "Find = -1\nEnd Function\nLog.Write Find()"),
              "3;");
}

TEST_F(Script, InterruptReachesAScriptCalledBackFromTheHost) {
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        engine.Interrupt();
    });
    const std::string result = Fails(
        "On Error Resume Next\nLog.Include \"Sub Spin : Do : Loop : End Sub\"\nLog.Include "
        "\"Spin\"\nLog.Write 1");
    stopper.join();
    EXPECT_EQ(result.substr(0, 3), "18 ");
    EXPECT_EQ(log->text, u"");
    engine.Resume();
}

TEST_F(Script, TerminateAtTheEngineEndMayStillUseTheEngine) {
    auto other = std::make_unique<CEngine>(&host);
    other->AddNamedItem(u"Log", log, false);
    other->Run(
        u"Class T\nPrivate Sub Class_Terminate\nFor i = 1 To 50 : ExecuteGlobal \"Dim g\" & i : "
        u"Next\nLog.Write \"gone\"\n"
        u"End Sub\nEnd Class\nSet a = New T : Set b = New T");
    log->text.clear();
    other.reset();
    EXPECT_EQ(Narrow(log->text), "gone;gone;");
}

TEST_F(Script, DeclarationsAtTheTopAndInClasses) {
    EXPECT_EQ(Run("Option Explicit\nPublic Const A = 2, B = \"b\"\nPrivate Const C = -A\nPublic p1, "
                  "p2(1)\nReDim r(2)\n"
                  "Sub S\nReDim loc(1) : loc(1) = C\nLog.Write loc(1)\nEnd Sub\nS\nLog.Write A & B, "
                  "UBound(p2), UBound(r)"),
              "-2;2b,1,2;");
    EXPECT_EQ(Run("Class Bag\nPrivate items()\nSub Add(x)\nReDim Preserve items(UBound(items) + "
                  "1)\nitems(UBound(items)) = x\n"
                  "End Sub\nFunction Count : Count = UBound(items) + 1 : End Function\n"
                  "Private Sub Class_Initialize : ReDim items(-1) : End Sub\nEnd Class\n"
                  "Set sack = New Bag : sack.Add \"a\" : sack.Add \"b\"\nLog.Write sack.Count"),
              "2;");
}

// ---- Engine ------------------------------------------------------------------------

TEST_F(Script, RunsShareGlobalsAndIncludeRunsInsideARun) {
    Run("Dim shared\nshared = 5\nFunction Later(x) : Later = x + shared : End Function");
    EXPECT_EQ(Run("Log.Write Later(1)"), "6;");
    EXPECT_EQ(Run("Log.Include \"Function Inc2(x) : Inc2 = x + 2 : End Function\"\nLog.Write Inc2(1)"), "3;");
    // An error inside the included text reports that text's line.
    EXPECT_EQ(Fails("Log.Write 1\nLog.Include \"a = 1\" & vbLf & \"b = 1 / 0\""), "11 1:0");
    const int id = engine.ProcedureId(u"later");
    ASSERT_GE(id, 0);
    EXPECT_EQ(Narrow(engine.ProcedureName(id)), "Later");
    CValue arg = CValue::Integer(10);
    CValue* args[] = {&arg};
    EXPECT_EQ(test::Show(engine.Call(id, args)), "Integer 15");
    EXPECT_EQ(engine.ProcedureId(u"nothing"), -1);
    EXPECT_EQ(engine.ProcedureId(u"shared"), -1);
}

TEST_F(Script, CallChangesByReferenceArgumentsOfTheHost) {
    Run("Sub Twice(v) : v = v * 2 : End Sub");
    CValue arg = CValue::Integer(21);
    CValue* args[] = {&arg};
    engine.Call(engine.ProcedureId(u"Twice"), args);
    EXPECT_EQ(test::Show(arg), "Integer 42");
    CValue* none[] = {};
    EXPECT_EQ(
        test::ErrorOf([&] { engine.Call(engine.ProcedureId(u"Twice"), std::span<CValue* const>(none, 0)); }),
        450);
}

TEST_F(Script, EvalExecuteAndGetRef) {
    EXPECT_EQ(Run("x = 4\nLog.Write Eval(\"x * 2 + 1\")\nExecute \"y = x + 1\"\nLog.Write y\n"
                  "ExecuteGlobal \"Function G(a) : G = a & \"\"!\"\" : End Function\"\nLog.Write G(1)"),
              "9;5;1!;");
    EXPECT_EQ(Run("Function H(a) : H = a + 100 : End Function\nSet r = GetRef(\"H\")\nLog.Write r(1)"),
              "101;");
    // Execute and Eval see the locals of the procedure calling them; ExecuteGlobal does not.
    EXPECT_EQ(Run("Function L(a)\nDim b : b = 2\nExecute \"b = b + a : L = b * 10\"\nLog.Write Eval(\"a + "
                  "b\"), b\nEnd Function\n"
                  "Log.Write L(5)\nSub G\nDim z : z = 1\nExecuteGlobal \"z = 99\"\nLog.Write z\nEnd "
                  "Sub\nG\nLog.Write z"),
              "12,7;70;1;99;");
    EXPECT_EQ(Run("Class K\nPrivate n\nSub M : n = 3 : Execute \"n = n * 2\" : Log.Write Eval(\"n\") : End "
                  "Sub\nEnd Class\n"
                  "Set inst = New K : inst.M"),
              "6;");
}

TEST_F(Script, EvalOfTheCallingFunctionsNameWithArgumentsCallsIt) {
    EXPECT_EQ(Run("Function F(n)\nIf n = 0 Then F = 0 Else F = 1 + Eval(\"F(n - 1)\")\nEnd Function\n"
                  "Log.Write F(3)"),
              "3;");
    // Without arguments the name is the return variable.
    EXPECT_EQ(Run("Function G : G = 5 : Log.Write Eval(\"G\") : Execute \"G = G + 1\" : End Function\n"
                  "Log.Write G"),
              "5;6;");
    EXPECT_EQ(
        Run("Function H(n) : H = n : If n > 0 Then Execute \"Log.Write H(n - 1)\"\nEnd Function\nx = H(2)"),
        "0;1;");
}

TEST_F(Script, InterruptEndsARunawayScriptEvenUnderResumeNext) {
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        engine.Interrupt();
    });
    const std::string result = Fails("On Error Resume Next\nDo\nx = x + 1\nLoop");
    stopper.join();
    EXPECT_EQ(result.substr(0, 3), "18 ");
    EXPECT_TRUE(engine.Interrupted());
    EXPECT_EQ(Fails("x = 1").substr(0, 3), "18 ");  // refused until Resume
    engine.Resume();
    EXPECT_EQ(Run("Log.Write \"again\""), "again;");
}

TEST_F(Script, DeepRecursionEndsWithOutOfStackSpace) {
    EXPECT_EQ(Fails("Function R(n) : R = R(n + 1) : End Function\nx = R(0)").substr(0, 3), "28 ");
    EXPECT_EQ(Fails("Sub S(n) : If n < 100000 Then S n + 1\nEnd Sub\nS 0").substr(0, 3), "28 ");
    std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_EQ(Fails(deep).substr(0, 3), "28 ");
    std::string nested;
    for (int i = 0; i < 100000; ++i) nested += "If True Then\n";
    EXPECT_EQ(Fails(nested).substr(0, 3), "28 ");
    std::string chain = "x = 1";
    for (int i = 0; i < 100000; ++i) chain += " + 1";
    EXPECT_EQ(Fails(chain).substr(0, 5), "1051 ");
    // Compile-time depth errors say where: the line of the token reached.
    for (const std::string& text : {std::string("x = 1\n") + deep, "x = 1\n" + nested, "x = 1\n" + chain}) {
        const ScriptError e = Error(text);
        EXPECT_TRUE(e.Number() == 28 || e.Number() == 1051) << e.Number();
        EXPECT_GE(e.line, 1);
        EXPECT_GE(e.column, 0);
    }
    std::string ifs;
    for (int i = 0; i < 50000; ++i) ifs += "If x Then\n";
    const ScriptError e = Error(ifs);
    EXPECT_EQ(e.Number(), 28);
    EXPECT_GT(e.line, 0);
    EXPECT_LT(e.line, 50000);
    // The engine still works afterwards, and a modest depth is fine.
    EXPECT_EQ(Run("Function D(n) : If n = 0 Then D = 0 Else D = 1 + D(n - 1)\nEnd Function\nLog.Write D(20)"),
              "20;");
}

}  // namespace
}  // namespace script
