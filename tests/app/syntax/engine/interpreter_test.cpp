// The script engine through its C++ interface, where a script alone cannot
// show it: host objects that get pointers at variables, fail, enumerate and
// record how they are called; procedures called by the host; runs that
// share globals, include one another, are interrupted from another thread,
// or go too deep. The language itself, statement by statement, is checked
// by tests/app/syntax/conformance on both engines (and natively by
// conformance_native_test.cpp). Scripts report through a host object "Log"
// (Log.Write x appends x and ";").
#include <gtest/gtest.h>

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
    // Runs `text` and answers what it logged, then "<error n at line:column>"
    // when it failed.
    std::string Run(const std::string& text) {
        log->text.clear();
        try {
            engine.Run(Wide(text));
        } catch (const ScriptError& e) {
            return Narrow(log->text) + "<error " + std::to_string(e.Number()) + " at " +
                   std::to_string(e.line) + ":" + std::to_string(e.column) + ">";
        }
        return Narrow(log->text);
    }
    ScriptError Error(const std::string& text, int firstLine = 0) {
        try {
            engine.Run(Wide(text), firstLine);
        } catch (const ScriptError& e) {
            return e;
        }
        return ScriptError{};
    }
};

TEST_F(Script, HostObjectsGetPointersFailAndEnumerate) {
    log->items = {CValue::Integer(7), CValue::Str(String(u"s"))};
    log->stored = CValue::Str(String(u"default"));
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"For Each v In Log : Log.Write v : Next", "7;s;"},
        {"x = 1 : y = 10 : Log.Bump x, (y), 3 : Log.Write x, y", "2,10;"},
        {"Sub T\nDim z : z = 4 : Log.Bump z : Log.Write z\nEnd Sub\nT", "5;"},
        {"a = Array(1, 2) : Log.Bump a(1) : Log.Write a(0), a(1)", "1,3;"},
        {"Dim g(2)\nSub S : g(1) = 4 : Log.Bump g(1) : End Sub\nS : Log.Write g(1)", "5;"},
        {"Class C\nDim f\nSub Go : f = Array(5, 6) : Log.Bump f(0) : Log.Write f(0) : End Sub\nEnd Class\n"
         "Set o = New C : o.Go",
         "6;"},
        {"On Error Resume Next\nLog.Write 1\nLog.Fail\nLog.Write Err.Number, Err.Description\nOn Error GoTo "
         "0\n"
         "Log.Write Err.Number",
         "1;5,host failure;0;"},
        {"Sub S\n  Log.Write 1\n  Log.Fail\nEnd Sub\nS", "1;<error 5 at 2:2>"},
        {"x = Log\nLog.Write x, TypeName(x), IsObject(Log), VarType(x)", "default,String,True,8;"},
        {"With Log\n.Write \"a\"\n.Value = 5\n.Write .Value\nEnd With", "a;5;"},
        {"Log.Write 1, , 3", "1,<missing>,3;"},  // missing arguments reach the host as such
    };
    for (const auto& c : cases) EXPECT_EQ(Run(c.text), c.expected) << c.text;
    const ScriptError e = Error("x = 1\nLog.Fail");
    EXPECT_EQ(e.Number(), 5);
    EXPECT_EQ(Narrow(e.description), "host failure");
    EXPECT_EQ(e.line, 1);
}

TEST_F(Script, HostObjectsAreCalledWithTheRightFlags) {
    log->calls.clear();
    Run("Log.Value = 3\nx = Log.Value\nSet Log.Value = Log\ny = Log.Twice(2)\nLog.Write x, y");
    std::vector<std::string> calls;
    for (const String& c : log->calls) calls.push_back(Narrow(c));
    EXPECT_EQ(calls,
              (std::vector<std::string>{"Value:4:1", "Value:3:0", "Value:8:1", "Twice:3:1", "Write:1:2"}));
    EXPECT_EQ(Narrow(log->text), "3,4;");
}

TEST_F(Script, NamedItemsWithGlobalMembersComeAfterTheScriptsOwnNames) {
    auto other = std::make_shared<LogObject>();
    other->stored = CValue::Integer(42);
    engine.AddNamedItem(u"Other", other, true);
    EXPECT_EQ(Run("Log.Write Twice(21), Value"), "42,42;");
    EXPECT_EQ(Run("Function Twice(x) : Twice = \"mine\" : End Function\nLog.Write Twice(1)"), "mine;");
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
                const auto outcome = [](auto&& f) {
                    try {
                        return test::Show(f());
                    } catch (const ScriptError& e) {
                        return "error " + std::to_string(e.Number());
                    }
                };
                EXPECT_EQ(outcome([&] { return engine.Call(id, args); }),
                          outcome([&] { return ops::Binary(op, a, b); }))
                    << Narrow(name) << " " << test::Show(a) << " " << test::Show(b);
            }
    }
}

TEST_F(Script, RunsShareGlobalsIncludeRunsInsideARunAndTheHostCallsProcedures) {
    Run("Dim shared\nshared = 5\nFunction Later(x) : Later = x + shared : End Function");
    EXPECT_EQ(Run("Log.Write Later(1)"), "6;");
    EXPECT_EQ(Run("Log.Include \"Function Inc2(x) : Inc2 = x + 2 : End Function\"\nLog.Write Inc2(1)"), "3;");
    // An error inside the included text reports that text's line.
    EXPECT_EQ(Run("Log.Write 1\nLog.Include \"a = 1\" & vbLf & \"b = 1 / 0\""), "1;<error 11 at 1:0>");
    // Undeclared in a procedure: a local, unless a global of that name exists.
    EXPECT_EQ(Run("Sub S\nfresh = 1 : known = 2\nEnd Sub\nknown = 0\nS\nLog.Write TypeName(fresh), known"),
              "Empty,2;");
    // A global from an earlier run is declared for a later Option Explicit text.
    EXPECT_EQ(Run("Option Explicit\nknown = known + 1\nLog.Write known"), "3;");
    const int id = engine.ProcedureId(u"later");
    ASSERT_GE(id, 0);
    EXPECT_EQ(Narrow(engine.ProcedureName(id)), "Later");
    CValue arg = CValue::Integer(10);
    CValue* args[] = {&arg};
    EXPECT_EQ(test::Show(engine.Call(id, args)), "Integer 15");
    EXPECT_EQ(engine.ProcedureId(u"nothing"), -1);
    EXPECT_EQ(engine.ProcedureId(u"shared"), -1);
    // By-reference parameters change what the host points at.
    Run("Sub Twice(v) : v = v * 2 : End Sub");
    CValue n = CValue::Integer(21);
    CValue* one[] = {&n};
    engine.Call(engine.ProcedureId(u"Twice"), one);
    EXPECT_EQ(test::Show(n), "Integer 42");
    EXPECT_EQ(test::ErrorOf([&] { engine.Call(engine.ProcedureId(u"Twice"), {}); }), err::kArgCount);
    // Lines count from firstLine.
    const ScriptError e = Error("x = 1\ny = ", 10);
    EXPECT_EQ(e.line, 11);
    EXPECT_EQ(Narrow(e.source), "Microsoft VBScript compilation error");
    // A compile error at the end of the text runs nothing and says where.
    EXPECT_EQ(Run("Log.Write 1\nIf x Then\nLog.Write 2\n"), "<error 1014 at 3:0>");
    EXPECT_EQ(Run("For i = 1 To 2\nLog.Write i"), "<error 1020 at 1:11>");
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

TEST_F(Script, HostsCallScriptObjectsOutsideARunWithTheirOwnStack) {
    EXPECT_EQ(
        Run("Sub OnEvent(a) : Log.Write \"event \" & a : End Sub\nClass K\nSub M : Log.Write \"method\" : "
            "End Sub\nEnd Class\nSet Log.Value = GetRef(\"OnEvent\")"),
        "");
    CValue handler = log->stored;
    ASSERT_TRUE(handler.IsObject());
    EXPECT_EQ(Run("Set Log.Value = New K"), "");
    CValue instance = log->stored;
    log->stored = CValue();
    CValue arg = CValue::Str(String(u"fired"));
    CValue* args[] = {&arg};
    AtStackDepth(400 * 1024, [&] {
        handler.object()->Invoke(u"", kCallMethod, args);
        instance.object()->Invoke(u"M", kCallMethod, {});
    });
    EXPECT_EQ(Narrow(log->text), "event fired;method;");
}

TEST_F(Script, InterruptEndsARunawayScriptAlsoUnderResumeNextAndInsideAHostCall) {
    for (const char* text : {"On Error Resume Next\nDo\nx = x + 1\nLoop",
                             "On Error Resume Next\nLog.Include \"Sub Spin : Do : Loop : End Sub\"\n"
                             "Log.Include \"Spin\"\nLog.Write 1"}) {
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            engine.Interrupt();
        });
        const std::string result = Run(text);
        stopper.join();
        EXPECT_EQ(result.substr(0, 10), "<error 18 ") << text;
        EXPECT_TRUE(engine.Interrupted());
        EXPECT_EQ(Run("x = 1").substr(0, 10), "<error 18 ");  // refused until Resume
        engine.Resume();
    }
    EXPECT_EQ(Run("Log.Write \"again\""), "again;");
}

TEST_F(Script, TerminateAtTheEngineEndMayStillUseTheEngine) {
    auto other = std::make_unique<CEngine>(&host);
    other->AddNamedItem(u"Log", log, false);
    other->Run(
        u"Class T\nPrivate Sub Class_Terminate\nFor i = 1 To 50 : ExecuteGlobal \"Dim g\" & i : Next\n"
        u"Log.Write \"gone\"\nEnd Sub\nEnd Class\nSet a = New T : Set b = New T");
    log->text.clear();
    other.reset();
    EXPECT_EQ(Narrow(log->text), "gone;gone;");
}

TEST_F(Script, DeepRecursionEndsWithOutOfStackSpaceAndHugeArraysWithOutOfMemory) {
    const std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
    std::string nested, chain = "x = 1", ifs;
    for (int i = 0; i < 100000; ++i) nested += "If True Then\n", chain += " + 1";
    for (int i = 0; i < 50000; ++i) ifs += "If x Then\n";
    for (const std::string& text :
         {std::string("Function R(n) : R = R(n + 1) : End Function\nx = R(0)"),
          std::string("Sub S(n) : If n < 100000 Then S n + 1\nEnd Sub\nS 0"), deep, nested})
        EXPECT_EQ(Error(text).Number(), err::kOutOfStack);
    EXPECT_EQ(Error(chain).Number(), err::kNestingTooDeep);
    // Compile-time depth errors say where: the line of the token reached.
    for (const std::string& text : {"x = 1\n" + deep, "x = 1\n" + nested, "x = 1\n" + chain}) {
        const ScriptError e = Error(text);
        EXPECT_TRUE(e.Number() == err::kOutOfStack || e.Number() == err::kNestingTooDeep) << e.Number();
        EXPECT_GE(e.line, 1);
        EXPECT_GE(e.column, 0);
    }
    const ScriptError e = Error(ifs);
    EXPECT_EQ(e.Number(), err::kOutOfStack);
    EXPECT_GT(e.line, 0);
    EXPECT_LT(e.line, 50000);
    // The engine still works afterwards, and a modest depth is fine.
    EXPECT_EQ(Run("Function D(n) : If n = 0 Then D = 0 Else D = 1 + D(n - 1)\nEnd Function\nLog.Write D(20)"),
              "20;");
    // The limit is 256 MiB of elements, checked before allocating.
    const size_t fits = (size_t(256) << 20) / sizeof(CValue);
    const std::string n = std::to_string(fits);  // one element more than fits
    EXPECT_EQ(Run("ReDim a(" + n + ")"), "<error 7 at 0:0>");
    EXPECT_EQ(Run("Dim c(" + n + ")"), "<error 7 at 0:4>");
    EXPECT_EQ(Run("Sub P : Dim d(" + std::to_string(fits / 2) + ", 1) : End Sub\nP"), "<error 7 at 1:0>");
    EXPECT_EQ(Run("On Error Resume Next\nReDim a(10) : a(3) = 4\nReDim Preserve a(" + n +
                  ")\nLog.Write Err.Number, UBound(a), a(3)"),
              "7,10,4;");
}

// Patterns and texts made of a few pieces, every one run with all flags: a
// run ends with a result or error 5017 (or 28), never a crash or a hang.
TEST_F(Script, AnyRegularExpressionEndsWithAResultOrAnError) {
    const char* pieces[] = {"a", "b",  "(",     ")",   "|",    "*",   "+",   "?",  ".",   "^",   "$",  "[",
                            "]", "\\", "{1,2}", "(?=", "(?<=", "\\b", "\\1", "x*", "\\Q", "\\E", "(?#"};
    const char* texts[] = {"", "a", "ab\" & vbCrLf & \"ba", "aaaa", "b\" & vbLf & \"\" & vbCr & \"a"};
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::string script = "On Error Resume Next\nSet re = New RegExp\nDim p, t, r\n";
    for (int k = 0; k < 300; ++k) {
        std::string pattern;
        for (unsigned n = 1 + next(6); n > 0; --n) pattern += pieces[next(std::size(pieces))];
        const std::string text = texts[next(std::size(texts))];
        script += "re.Pattern = \"" + pattern + "\" : re.Global = " + (k % 2 ? "True" : "False") +
                  " : re.Multiline = " + (k % 3 ? "True" : "False") +
                  " : re.IgnoreCase = " + (k % 5 ? "False" : "True") + "\nErr.Clear : t = \"" + text +
                  "\"\n" +
                  "r = re.Test(t) & re.Execute(t).Count & re.Replace(t, \"<$1$&>\") : n = Err.Number\n" +
                  "If n <> 0 And n <> 5017 And n <> 28 Then Log.Write \"" + pattern + "\", n\n";
    }
    EXPECT_EQ(Run(script), "");
}

}  // namespace
}  // namespace script
