// The run-time library where a script cannot reach it: every function of the
// engine's own table called with odd arguments, the host behind MsgBox,
// InputBox, CreateObject and the clock, and Plain. What scripts see of the
// library is checked by tests/app/syntax/conformance (library.vbs,
// dates.vbs, own_library.vbs) on both engines.
#include "Builtins.h"

#include <gtest/gtest.h>

#include <cmath>

#include "DateTime.h"
#include "Engine.h"
#include "Operators.h"
#include "ScriptTestSupport.h"

namespace script {
namespace {

using namespace script::test;

CValue S(const char* s) { return CValue::Str(Wide(s)); }

// 31 January 2024, 13:05:09.
constexpr double kNow = 45322 + (13 * 3600 + 5 * 60 + 9) / 86400.0;

class RecordingHost : public CHost {
   public:
    CValue CreateObject(StringView progId) override {
        created = String(progId);
        if (progId == u"Bad.Thing") Raise(err::kCannotCreate);
        return CValue::Nothing();
    }
    int MsgBox(StringView prompt, int buttons, StringView title) override {
        boxes.push_back(Narrow(prompt) + "|" + std::to_string(buttons) + "|" + Narrow(title));
        return 6;  // vbYes
    }
    bool InputBox(StringView prompt, StringView, StringView initial, String* answer) override {
        if (prompt == u"cancel") return false;
        *answer = u"typed:" + String(initial);
        return true;
    }
    double Now() override { return kNow; }

    String created;
    std::vector<std::string> boxes;
};

// Show() of what built-in `name` answers, or "error N".
std::string Call(RuntimeState& state, const char16_t* name, std::vector<CValue> args) {
    try {
        return Show(FindBuiltin(name)->fn(state, args));
    } catch (const ScriptError& e) {
        return "error " + std::to_string(e.Number());
    }
}

TEST(Builtins, EveryEntryOfTheTableIsFoundByItsNameInAnyCase) {
    ASSERT_GT(AllBuiltins().size(), 90u);
    for (const Builtin& b : AllBuiltins()) {
        String lower(b.name), upper(b.name);
        for (char16_t& c : lower) c = ops::ToLowerChar(c);
        for (char16_t& c : upper) c = ops::ToUpperChar(c);
        EXPECT_EQ(FindBuiltin(lower), &b) << Narrow(b.name);
        EXPECT_EQ(FindBuiltin(upper), &b) << Narrow(b.name);
        EXPECT_LE(b.minArgs, b.maxArgs) << Narrow(b.name);
    }
    // The interpreter's own names and the constants are no library functions.
    for (const char16_t* name : {u"", u"Mi", u"Midd", u"Eval", u"Execute", u"vbCrLf"})
        EXPECT_EQ(FindBuiltin(name), nullptr) << Narrow(name);
    CValue v;
    for (const char16_t* name : {u"vbNothing", u"Mid", u""})
        EXPECT_FALSE(FindConstant(name, &v)) << Narrow(name);
}

TEST(Builtins, TheHostShowsBoxesCreatesObjectsAndKeepsTheClock) {
    RecordingHost host;
    RuntimeState state;
    state.host = &host;
    const CValue none = CValue::Missing();
    EXPECT_EQ(Call(state, u"MsgBox", {S("Hello"), CValue::Integer(36), S("Title")}), "Integer 6");
    EXPECT_EQ(Call(state, u"MsgBox", {S("Only")}), "Integer 6");
    EXPECT_EQ(Call(state, u"MsgBox", {CValue::Integer(5), none, S("T")}), "Integer 6");
    EXPECT_EQ(host.boxes, (std::vector<std::string>{"Hello|36|Title", "Only|0|", "5|0|T"}));
    EXPECT_EQ(Call(state, u"InputBox", {S("Name?"), S("T"), S("x")}), "String typed:x");
    EXPECT_EQ(Call(state, u"InputBox", {S("cancel")}), "String ");
    EXPECT_EQ(Call(state, u"CreateObject", {S("Some.Thing")}), "Object");
    EXPECT_EQ(Narrow(host.created), "Some.Thing");
    EXPECT_EQ(Call(state, u"CreateObject", {S("Bad.Thing")}), "error 429");
    EXPECT_EQ(Call(state, u"Now", {}), "Date 1/31/2024 1:05:09 PM");
    EXPECT_EQ(Call(state, u"Date", {}), "Date 1/31/2024");
    EXPECT_EQ(Call(state, u"Time", {}), "Date 1:05:09 PM");
    EXPECT_NEAR(FindBuiltin(u"Timer")->fn(state, {}).single(), 13 * 3600 + 5 * 60 + 9, 0.01);

    RuntimeState bare;  // no host: a clear error, not a crash
    EXPECT_EQ(Call(bare, u"MsgBox", {S("x")}), "error 438");
    EXPECT_EQ(Call(bare, u"CreateObject", {S("x")}), "error 429");
    EXPECT_GT(FindBuiltin(u"Now")->fn(bare, {}).dbl(), 45000);
}

// An object whose default member answers a value.
class Boxed : public CObject {
   public:
    explicit Boxed(CValue v) : v_(std::move(v)) {}
    CValue Invoke(StringView name, unsigned, std::span<CValue* const>) override {
        if (!name.empty()) Raise(err::kNotSupported);
        return v_;
    }
    bool HasMember(StringView) override { return false; }

   private:
    CValue v_;
};

TEST(Builtins, PlainResolvesDefaultMembersAndTypeNameKnowsErrorValues) {
    EXPECT_EQ(Show(Plain(CValue::Obj(std::make_shared<Boxed>(S("x"))))), "String x");
    EXPECT_EQ(Show(Plain(CValue::Integer(3))), "Integer 3");
    EXPECT_EQ(ErrorOf([] { Plain(CValue::Nothing()); }), err::kObjectNotSet);
    const CValue nested =
        CValue::Obj(std::make_shared<Boxed>(CValue::Obj(std::make_shared<Boxed>(CValue::Integer(4)))));
    EXPECT_EQ(Show(Plain(nested)), "Integer 4");
    RuntimeState state;
    EXPECT_EQ(Call(state, u"TypeName", {CValue::Error(5)}), "String Error");  // no script makes one
}

// Every function of the table with every odd argument: only the language's
// errors may come out, never a crash (the sanitizers watch the rest).
TEST(Builtins, OddArgumentsGiveErrorsNotCrashes) {
    class Thing : public CObject {
       public:
        CValue Invoke(StringView, unsigned, std::span<CValue* const>) override {
            return CValue::Double(-7.5);
        }
        bool HasMember(StringView) override { return false; }
    };
    auto grid = std::make_shared<Array>();
    grid->upper = {1, 1};
    grid->data.resize(4);
    const std::vector<CValue> pool = {CValue(),
                                      CValue::Null(),
                                      CValue::Missing(),
                                      CValue::Nothing(),
                                      CValue::Integer(-1),
                                      CValue::Integer(0),
                                      CValue::Long(2000000000),
                                      CValue::Double(1e300),
                                      CValue::Double(-2.5),
                                      CValue::Str(String()),
                                      CValue::Str(String(u"1/31/2024 1:05 PM")),
                                      CValue::Str(String(u"%u12%zz\u00e9")),
                                      CValue::Date(-657434),
                                      CValue::Date(2958465.5),
                                      CValue::Arr(grid),
                                      CValue::Arr(std::make_shared<Array>()),
                                      CValue::Obj(std::make_shared<Thing>()),
                                      CValue::Boolean(true),
                                      CValue::Error(5),
                                      CValue::Str(String(u"ww")),
                                      CValue::Currency(INT64_MIN),
                                      CValue::Single(-1e30f)};
    class QuietHost : public CHost {
        CValue CreateObject(StringView) override { return CValue::Nothing(); }
        int MsgBox(StringView, int, StringView) override { return 1; }
        bool InputBox(StringView, StringView, StringView, String* answer) override {
            *answer = u"typed";
            return true;
        }
        double Now() override { return 45322.5; }
    } host;
    RuntimeState state;
    state.host = &host;
    uint32_t seed = 12345;
    size_t calls = 0;
    for (const Builtin& b : AllBuiltins()) {
        const int maxArgs = std::max<int>(b.minArgs, b.maxArgs == kAnyArgs ? 3 : std::min<int>(b.maxArgs, 6));
        for (int n = b.minArgs; n <= maxArgs; ++n) {
            size_t combos = 1;
            for (int k = 0; k < n; ++k) combos *= pool.size();
            const size_t tries = std::min<size_t>(combos, 700);
            for (size_t t = 0; t < tries; ++t) {
                std::vector<CValue> args;
                size_t pick = t;
                for (int k = 0; k < n; ++k) {
                    if (combos > tries) {
                        seed = seed * 1103515245u + 12345u;
                        args.push_back(pool[(seed >> 8) % pool.size()]);
                    } else {
                        args.push_back(pool[pick % pool.size()]);
                        pick /= pool.size();
                    }
                }
                try {
                    const CValue r = b.fn(state, args);
                    ASSERT_FALSE(r.IsMissing()) << Narrow(b.name);  // a value a script can hold
                    if (r.IsString()) {
                        ASSERT_LE(r.str().size(), size_t(1) << 28) << Narrow(b.name);
                    }
                } catch (const ScriptError& e) {
                    ASSERT_GT(e.Number(), 0) << Narrow(b.name);
                    ASSERT_FALSE(e.description.empty()) << Narrow(b.name) << " " << e.Number();
                }
                ++calls;
            }
        }
    }
    EXPECT_GT(calls, 10000u);
}

// Text that is almost a number or a date: answers, never a crash.
TEST(Builtins, NumberAndDateTextFromFragments) {
    const char16_t* const pieces[] = {u"1",  u"12",  u"2024",   u"/",      u"-",  u":",          u".",
                                      u",",  u" ",   u"e",      u"E+",     u"&H", u"&O",         u"F",
                                      u"PM", u"Jan", u"Monday", u"\u00e9", u"+",  u"99999999999"};
    const size_t n = std::size(pieces);
    size_t accepted = 0;
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b)
            for (size_t c = 0; c < n; ++c)
                for (size_t d = 0; d < n; d += 3) {
                    const String text = String(pieces[a]) + pieces[b] + pieces[c] + pieces[d];
                    double v;
                    if (ops::ParseNumber(text, &v)) {
                        ++accepted;
                        EXPECT_TRUE(std::isfinite(v));
                    }
                    if (dt::ParseDate(text, &v)) {
                        ++accepted;
                        EXPECT_GE(v, dt::kMinDate - 1);
                        EXPECT_LE(v, dt::kMaxDate);
                        EXPECT_FALSE(ops::FormatDate(v).empty());
                    }
                }
    EXPECT_GT(accepted, 100u);
    // A date value made elsewhere, beyond any calendar: some text, no undefined arithmetic.
    for (double wild : {1e300, -1e300, 1e18, std::nan(""), HUGE_VAL})
        EXPECT_FALSE(ops::FormatDate(wild).empty());
}

}  // namespace
}  // namespace script
