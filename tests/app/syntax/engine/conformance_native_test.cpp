// Our engine alone over the checks of tests/app/syntax/conformance (see
// ConformanceChecks.h), natively under the sanitizers: every file but those
// that need the ActiveScript host. "Host" is a named item with global
// members, as the Wine runner's: Note x records x as text, Write a, b, ...
// its arguments joined by ",".
#include <gtest/gtest.h>

#include "Builtins.h"
#include "ConformanceChecks.h"
#include "Engine.h"
#include "Operators.h"

namespace script {
namespace {

String FromUtf8(const std::string& s) {
    String out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra ? b & (0x3F >> extra) : b;
        for (int k = 1; k <= extra && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
        i += 1 + extra;
        if (c >= 0x10000) {
            out.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
            c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
        out.push_back(char16_t(c));
    }
    return out;
}

std::string ToUtf8(StringView s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += {char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out += {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            out += {char(0xF0 | (c >> 18)), char(0x80 | ((c >> 12) & 0x3F)), char(0x80 | ((c >> 6) & 0x3F)),
                    char(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

// An argument as text, as a variant changes into one: Null is no text.
String Text(const CValue& arg) {
    const CValue v = Plain(arg);
    if (v.IsNull() || v.IsMissing()) Raise(err::kTypeMismatch);
    return ops::ToString(v);
}

class HostProbe final : public CObject {
   public:
    std::vector<std::string> notes;
    CValue Invoke(StringView name, unsigned, std::span<CValue* const> args) override {
        const bool note = SameName(name, u"Note");
        if (!note && !SameName(name, u"Write")) Raise(err::kNotSupported);
        if (note && args.size() != 1) Raise(err::kArgCount);
        String line;
        for (size_t i = 0; i < args.size(); ++i) line += (i ? u"," : u"") + Text(*args[i]);
        notes.push_back(ToUtf8(line));
        return CValue();
    }
    bool HasMember(StringView name) override { return SameName(name, u"Note") || SameName(name, u"Write"); }
};

conformance::Outcome RunChecked(const std::string& body) {
    conformance::Outcome o;
    auto probe = std::make_shared<HostProbe>();
    {
        CHost host;
        CEngine engine(&host);  // gone before the notes are read: Class_Terminate may note
        engine.AddNamedItem(u"Host", probe, true);
        try {
            engine.Run(FromUtf8(body + conformance::kShow));
        } catch (const ScriptError& e) {
            const uint32_t status = uint32_t(e.status);
            o.failed = true;
            o.number = (status & 0xFFFF0000u) == 0x800A0000u ? status & 0xFFFFu : status;
            o.line = e.line + 1;
            o.column = e.column;
            o.description = ToUtf8(e.description);
        }
    }
    o.notes = probe->notes;
    return o;
}

class NativeConformance : public testing::TestWithParam<std::string> {};

TEST_P(NativeConformance, EveryCheckAsExpected) {
    const std::string path = std::string(CONFORMANCE_DIR) + "/" + GetParam();
    const conformance::File file = conformance::ReadChecks(conformance::ReadText(path));
    ASSERT_FALSE(file.checks.empty()) << "no checks in " << path;
    if (file.com) GTEST_SKIP() << GetParam() << " needs the ActiveScript host";
    for (const conformance::Check& check : file.checks)
        EXPECT_EQ(conformance::Text(RunChecked(check.body), check.expected), check.expected)
            << GetParam() << ":" << check.line << ": " << check.name;
}

INSTANTIATE_TEST_SUITE_P(Files, NativeConformance, testing::ValuesIn(conformance::FileNames(CONFORMANCE_DIR)),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return conformance::TestName(info.param);
                         });

}  // namespace
}  // namespace script
