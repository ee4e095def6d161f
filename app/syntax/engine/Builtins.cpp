// The run-time library: the tables of the built-in functions and constants,
// and Plain. The functions themselves are in BuiltinsStrings.cpp,
// BuiltinsMath.cpp and BuiltinsMisc.cpp.
//
// Each function receives its arguments as the caller evaluated them; an
// omitted optional argument is Missing. Functions that convert call Plain
// first; the type tests look at the argument as it came. Text functions
// answer Null for a Null text where the language does (Left, Mid, LCase,
// Len, InStr...) and throw Invalid use of Null where it does (Asc, Replace,
// Split, StrReverse). Bad counts and positions throw Invalid procedure
// call.
//
// The tables are sorted once, on first use (a function-local static, so the
// initialisation is thread-safe), and searched by binary search ignoring
// ASCII case.
#include "Builtins.h"

#include <algorithm>
#include <vector>

#include "BuiltinsParts.h"
#include "DateTime.h"
#include "Engine.h"

namespace script {

CValue Plain(const CValue& v) {
    if (!v.IsObject()) return v;
    if (v.IsNothing()) Raise(err::kObjectNotSet);
    CValue r = v.object()->Invoke(StringView(), kCallGet | kCallMethod, {});
    // A default member that answers an object again: one more step.
    if (r.IsObject()) {
        if (r.IsNothing()) Raise(err::kObjectNotSet);
        r = r.object()->Invoke(StringView(), kCallGet | kCallMethod, {});
        if (r.IsObject()) Raise(err::kTypeMismatch);
    }
    return r;
}

using namespace builtins_detail;  // the functions the tables name

namespace {

// ---- Tables --------------------------------------------------------------------------------

int CompareNoCase(StringView a, StringView b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'A' && x <= u'Z') x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z') y = char16_t(y + 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

constexpr int8_t kAny = kAnyArgs;

const Builtin kBuiltins[] = {
    {u"Abs", 1, 1, BiAbs},
    {u"Array", 0, kAny, BiArray},
    {u"Asc", 1, 1, BiAsc},
    {u"AscB", 1, 1, BiAscB},
    {u"AscW", 1, 1, BiAscW},
    {u"Atn", 1, 1, BiAtn},
    {u"CBool", 1, 1, BiCBool},
    {u"CByte", 1, 1, BiCByte},
    {u"CCur", 1, 1, BiCCur},
    {u"CDate", 1, 1, BiCDate},
    {u"CDbl", 1, 1, BiCDbl},
    {u"Chr", 1, 1, BiChr},
    {u"ChrB", 1, 1, BiChrB},
    {u"ChrW", 1, 1, BiChrW},
    {u"CInt", 1, 1, BiCInt},
    {u"CLng", 1, 1, BiCLng},
    {u"Cos", 1, 1, BiCos},
    {u"CreateObject", 1, 2, BiCreateObject},
    {u"CSng", 1, 1, BiCSng},
    {u"CStr", 1, 1, BiCStr},
    {u"Date", 0, 0, dt::BiDate},
    {u"DateAdd", 3, 3, dt::BiDateAdd},
    {u"DateDiff", 3, 5, dt::BiDateDiff},
    {u"DatePart", 2, 4, dt::BiDatePart},
    {u"DateSerial", 3, 3, dt::BiDateSerial},
    {u"DateValue", 1, 1, dt::BiDateValue},
    {u"Day", 1, 1, dt::BiDay},
    {u"Escape", 1, 1, BiEscape},
    {u"Exp", 1, 1, BiExp},
    {u"Filter", 2, 4, BiFilter},
    {u"Fix", 1, 1, BiFix},
    {u"FormatCurrency", 1, 5, BiFormatCurrency},
    {u"FormatDateTime", 1, 2, dt::BiFormatDateTime},
    {u"FormatNumber", 1, 5, BiFormatNumber},
    {u"FormatPercent", 1, 5, BiFormatPercent},
    {u"Hex", 1, 1, BiHex},
    {u"Hour", 1, 1, dt::BiHour},
    {u"InputBox", 1, 7, BiInputBox},
    {u"InStr", 2, 4, BiInStr},
    {u"InStrB", 2, 4, BiInStrB},
    {u"InStrRev", 2, 4, BiInStrRev},
    {u"Int", 1, 1, BiInt},
    {u"IsArray", 1, 1, BiIsArray},
    {u"IsDate", 1, 1, dt::BiIsDate},
    {u"IsEmpty", 1, 1, BiIsEmpty},
    {u"IsNull", 1, 1, BiIsNull},
    {u"IsNumeric", 1, 1, BiIsNumeric},
    {u"IsObject", 1, 1, BiIsObject},
    {u"Join", 1, 2, BiJoin},
    {u"LBound", 1, 2, BiLBound},
    {u"LCase", 1, 1, BiLCase},
    {u"Left", 2, 2, BiLeft},
    {u"Len", 1, 1, BiLen},
    {u"Log", 1, 1, BiLog},
    {u"LTrim", 1, 1, BiLTrim},
    {u"Mid", 2, 3, BiMid},
    {u"Minute", 1, 1, dt::BiMinute},
    {u"Month", 1, 1, dt::BiMonth},
    {u"MonthName", 1, 2, dt::BiMonthName},
    {u"MsgBox", 1, 5, BiMsgBox},
    {u"Now", 0, 0, dt::BiNow},
    {u"Oct", 1, 1, BiOct},
    {u"Randomize", 0, 1, BiRandomize},
    {u"Replace", 3, 6, BiReplace},
    {u"RGB", 3, 3, BiRGB},
    {u"Right", 2, 2, BiRight},
    {u"Rnd", 0, 1, BiRnd},
    {u"Round", 1, 2, BiRound},
    {u"RTrim", 1, 1, BiRTrim},
    {u"ScriptEngine", 0, 0, BiScriptEngine},
    {u"ScriptEngineBuildVersion", 0, 0, BiScriptEngineBuildVersion},
    {u"ScriptEngineMajorVersion", 0, 0, BiScriptEngineMajorVersion},
    {u"ScriptEngineMinorVersion", 0, 0, BiScriptEngineMinorVersion},
    {u"Second", 1, 1, dt::BiSecond},
    {u"Sgn", 1, 1, BiSgn},
    {u"Sin", 1, 1, BiSin},
    {u"Space", 1, 1, BiSpace},
    {u"Split", 1, 4, BiSplit},
    {u"Sqr", 1, 1, BiSqr},
    {u"StrComp", 2, 3, BiStrComp},
    {u"String", 2, 2, BiString},
    {u"StrReverse", 1, 1, BiStrReverse},
    {u"Tan", 1, 1, BiTan},
    {u"Time", 0, 0, dt::BiTime},
    {u"Timer", 0, 0, dt::BiTimer},
    {u"TimeSerial", 3, 3, dt::BiTimeSerial},
    {u"TimeValue", 1, 1, dt::BiTimeValue},
    {u"Trim", 1, 1, BiTrim},
    {u"TypeName", 1, 1, BiTypeName},
    {u"UBound", 1, 2, BiUBound},
    {u"UCase", 1, 1, BiUCase},
    {u"Unescape", 1, 1, BiUnescape},
    {u"VarType", 1, 1, BiVarType},
    {u"Weekday", 1, 2, dt::BiWeekday},
    {u"WeekdayName", 1, 3, dt::BiWeekdayName},
    {u"Year", 1, 1, dt::BiYear},
};

struct Constant {
    const char16_t* name;
    CValue value;
};

std::vector<Constant> MakeConstants() {
    auto i = [](int v) { return CValue::Integer(int16_t(v)); };
    auto l = [](int32_t v) { return CValue::Long(v); };
    auto s = [](const char16_t* v) { return CValue::Str(StringView(v)); };
    std::vector<Constant> c = {
        {u"vbCrLf", s(u"\r\n")},
        {u"vbCr", s(u"\r")},
        {u"vbLf", s(u"\n")},
        {u"vbNewLine", s(u"\r\n")},
        {u"vbTab", s(u"\t")},
        {u"vbNullString", s(u"")},
        {u"vbNullChar", CValue::Str(String(1, u'\0'))},
        {u"vbBack", s(u"\b")},
        {u"vbFormFeed", s(u"\f")},
        {u"vbVerticalTab", s(u"\v")},
        {u"vbTrue", i(-1)},
        {u"vbFalse", i(0)},
        {u"vbUseDefault", i(-2)},
        {u"vbBinaryCompare", i(0)},
        {u"vbTextCompare", i(1)},
        {u"vbDatabaseCompare", i(2)},
        {u"vbOKOnly", i(0)},
        {u"vbOKCancel", i(1)},
        {u"vbAbortRetryIgnore", i(2)},
        {u"vbYesNoCancel", i(3)},
        {u"vbYesNo", i(4)},
        {u"vbRetryCancel", i(5)},
        {u"vbCritical", i(16)},
        {u"vbQuestion", i(32)},
        {u"vbExclamation", i(48)},
        {u"vbInformation", i(64)},
        {u"vbDefaultButton1", i(0)},
        {u"vbDefaultButton2", i(256)},
        {u"vbDefaultButton3", i(512)},
        {u"vbDefaultButton4", i(768)},
        {u"vbApplicationModal", i(0)},
        {u"vbSystemModal", i(4096)},
        {u"vbMsgBoxHelpButton", l(16384)},
        {u"vbMsgBoxSetForeground", l(65536)},
        {u"vbMsgBoxRight", l(524288)},
        {u"vbMsgBoxRtlReading", l(1048576)},
        {u"vbOK", i(1)},
        {u"vbCancel", i(2)},
        {u"vbAbort", i(3)},
        {u"vbRetry", i(4)},
        {u"vbIgnore", i(5)},
        {u"vbYes", i(6)},
        {u"vbNo", i(7)},
        {u"vbSunday", i(1)},
        {u"vbMonday", i(2)},
        {u"vbTuesday", i(3)},
        {u"vbWednesday", i(4)},
        {u"vbThursday", i(5)},
        {u"vbFriday", i(6)},
        {u"vbSaturday", i(7)},
        {u"vbUseSystemDayOfWeek", i(0)},
        {u"vbUseSystem", i(0)},
        {u"vbFirstJan1", i(1)},
        {u"vbFirstFourDays", i(2)},
        {u"vbFirstFullWeek", i(3)},
        {u"vbGeneralDate", i(0)},
        {u"vbLongDate", i(1)},
        {u"vbShortDate", i(2)},
        {u"vbLongTime", i(3)},
        {u"vbShortTime", i(4)},
        {u"vbEmpty", i(0)},
        {u"vbNull", i(1)},
        {u"vbInteger", i(2)},
        {u"vbLong", i(3)},
        {u"vbSingle", i(4)},
        {u"vbDouble", i(5)},
        {u"vbCurrency", i(6)},
        {u"vbDate", i(7)},
        {u"vbString", i(8)},
        {u"vbObject", i(9)},
        {u"vbError", i(10)},
        {u"vbBoolean", i(11)},
        {u"vbVariant", i(12)},
        {u"vbDataObject", i(13)},
        {u"vbDecimal", i(14)},
        {u"vbByte", i(17)},
        {u"vbArray", i(8192)},
        {u"vbObjectError", l(int32_t(0x80040000u))},
        {u"vbBlack", l(0)},
        {u"vbRed", l(0xFF)},
        {u"vbGreen", l(0xFF00)},
        {u"vbYellow", l(0xFFFF)},
        {u"vbBlue", l(0xFF0000)},
        {u"vbMagenta", l(0xFF00FF)},
        {u"vbCyan", l(0xFFFF00)},
        {u"vbWhite", l(0xFFFFFF)},
    };
    std::sort(c.begin(), c.end(),
              [](const Constant& a, const Constant& b) { return CompareNoCase(a.name, b.name) < 0; });
    return c;
}

std::vector<const Builtin*> MakeBuiltinIndex() {
    std::vector<const Builtin*> index;
    for (const Builtin& b : kBuiltins) index.push_back(&b);
    std::sort(index.begin(), index.end(),
              [](const Builtin* a, const Builtin* b) { return CompareNoCase(a->name, b->name) < 0; });
    return index;
}

}  // namespace

bool IsNumericConversion(const Builtin* b) {
    if (!b) return false;
    const BuiltinFn fn = b->fn;
    return fn == BiCByte || fn == BiCInt || fn == BiCLng || fn == BiCSng || fn == BiCDbl || fn == BiCCur;
}

std::span<const Builtin> AllBuiltins() { return kBuiltins; }

const Builtin* FindBuiltin(StringView name) {
    static const std::vector<const Builtin*> index = MakeBuiltinIndex();
    const auto it = std::lower_bound(index.begin(), index.end(), name, [](const Builtin* b, StringView n) {
        return CompareNoCase(b->name, n) < 0;
    });
    return it != index.end() && CompareNoCase((*it)->name, name) == 0 ? *it : nullptr;
}

bool FindConstant(StringView name, CValue* value) {
    static const std::vector<Constant> constants = MakeConstants();
    const auto it =
        std::lower_bound(constants.begin(), constants.end(), name,
                         [](const Constant& c, StringView n) { return CompareNoCase(c.name, n) < 0; });
    if (it == constants.end() || CompareNoCase(it->name, name) != 0) return false;
    *value = it->value;
    return true;
}

}  // namespace script
