// RegExp, its match collection, its matches and their groups.
#include "RegExpObject.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Builtins.h"
#include "Operators.h"
#include "Regex.h"

namespace script {
namespace {

using Regex = mrx::CRegexpT<char16_t>;

String Widen(const std::string& s) {
    String out;
    for (char c : s) out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

// The argument `i` as a string / whole number; error 450 when it is missing.
const CValue& Arg(std::span<CValue* const> args, size_t i) {
    if (i >= args.size() || args[i]->IsMissing()) Raise(err::kArgCount);
    return *args[i];
}
String StrArg(std::span<CValue* const> args, size_t i) { return ops::ToString(Plain(Arg(args, i))); }

[[noreturn]] void ReadOnly() { Raise(err::kNotSupported); }

// A read-only list of values: Count, Item(i) (the default member), For Each.
class CListObject : public CObject {
   public:
    CListObject(std::vector<CValue> items, String type) : items_(std::move(items)), type_(std::move(type)) {}

    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        if (flags & (kCallPut | kCallPutRef)) ReadOnly();
        if (SameName(name, u"Count")) {
            if (!args.empty()) Raise(err::kArgCount);
            return CValue::Long(int32_t(items_.size()));
        }
        if (name.empty() || SameName(name, u"Item")) {
            if (args.size() != 1) Raise(err::kArgCount);
            const int32_t i = ops::ToLong(Plain(*args[0]));
            if (i < 0 || size_t(i) >= items_.size()) Raise(err::kInvalidCall);
            return items_[size_t(i)];
        }
        Raise(err::kNotSupported);
    }
    bool HasMember(StringView name) override { return SameName(name, u"Count") || SameName(name, u"Item"); }
    String TypeName() const override { return type_; }
    std::vector<CValue> Enumerate() override { return items_; }

   private:
    std::vector<CValue> items_;
    String type_;
};

class CMatchObject : public CObject {
   public:
    CMatchObject(String value, int32_t first, std::vector<CValue> groups)
        : value_(std::move(value)), first_(first), groups_(std::move(groups)) {}

    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        if (flags & (kCallPut | kCallPutRef)) ReadOnly();
        if (SameName(name, u"SubMatches")) {
            if (!subMatches_) subMatches_ = std::make_shared<CListObject>(groups_, u"ISubMatches");
            // m.SubMatches(0): the arguments go to the collection's Item.
            if (!args.empty()) return subMatches_->Invoke(StringView(), flags, args);
            return CValue::Obj(subMatches_);
        }
        if (!args.empty()) Raise(err::kArgCount);
        if (name.empty() || SameName(name, u"Value")) return CValue::Str(value_);
        if (SameName(name, u"FirstIndex")) return CValue::Long(first_);
        if (SameName(name, u"Length")) return CValue::Long(int32_t(value_.size()));
        Raise(err::kNotSupported);
    }
    bool HasMember(StringView name) override {
        for (const char16_t* m : {u"Value", u"FirstIndex", u"Length", u"SubMatches"})
            if (SameName(name, m)) return true;
        return false;
    }
    String TypeName() const override { return u"IMatch2"; }

   private:
    String value_;
    int32_t first_;
    std::vector<CValue> groups_;  // String per group, Empty for a group that took no part
    std::shared_ptr<CObject> subMatches_;
};

// The language's meaning of a pattern in the regular-expression engine's
// terms, outside classes: "." is no line break (CR, LF, U+2028, U+2029; the
// engine's "." is anything but LF), and without Multiline "$" matches only at
// the very end of the text (the engine's "$" also matches before a final line
// break). A surrogate pair stays one character for ".".
String Adapt(StringView p, bool multiline) {
    String out;
    out.reserve(p.size());
    bool inClass = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        // Literal runs (\Q...\E, \L...\E, \U...\E) and comments (?#...) stay as they are.
        const bool run = c == u'\\' && !inClass && i + 1 < p.size() && (p[i + 1] == u'Q' || p[i + 1] == u'L' || p[i + 1] == u'U');
        if (run || (c == u'(' && !inClass && p.substr(i, 3) == u"(?#")) {
            const size_t close = run ? p.find(u"\\E", i + 2) : p.find(u')', i + 3);
            const size_t end = close == StringView::npos ? p.size() : close + (run ? 2 : 1);
            out.append(p.substr(i, end - i));
            i = end - 1;
            continue;
        }
        if (c == u'\\') {
            out += c;
            if (i + 1 < p.size()) out += p[++i];
            continue;
        }
        if (inClass) {
            if (c == u'[' && i + 1 < p.size() && p[i + 1] == u':') {  // [:alpha:]
                const size_t close = p.find(u":]", i + 2);
                if (close != StringView::npos) {
                    out.append(p.substr(i, close + 2 - i));
                    i = close + 1;
                    continue;
                }
            }
            if (c == u']') inClass = false;
            out += c;
            continue;
        }
        if (c == u'[') {
            inClass = true;
            out += c;
            if (i + 1 < p.size() && p[i + 1] == u'^') out += p[++i];
            if (i + 1 < p.size() && p[i + 1] == u']') out += p[++i];  // a leading ']' is literal
            continue;
        }
        if (c == u'$' && !multiline) {
            out += u"(?![\\s\\S])";
            continue;
        }
        if (c == u'.') {
            out += u"[^\\n\\r\\u2028\\u2029]";
            continue;
        }
        out += c;
    }
    return out;
}

class CRegExpObject : public CObject {
   public:
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        const bool put = flags & (kCallPut | kCallPutRef);
        if (SameName(name, u"Pattern")) {
            if (!put) return CValue::Str(pattern_);
            pattern_ = StrArg(args, args.empty() ? 0 : args.size() - 1);
            compiled_.reset();
            return CValue();
        }
        for (auto [member, field] : {std::pair{u"IgnoreCase", &ignoreCase_}, std::pair{u"Global", &global_},
                                     std::pair{u"Multiline", &multiline_}}) {
            if (!SameName(name, member)) continue;
            if (!put) return CValue::Boolean(*field);
            if (args.empty()) Raise(err::kArgCount);
            const bool b = ops::ToBool(Plain(*args.back()));
            if (b != *field) compiled_.reset();
            *field = b;
            return CValue();
        }
        if (put) Raise(err::kNotSupported);
        if (SameName(name, u"Test")) {
            if (args.size() != 1) Raise(err::kArgCount);
            const String text = StrArg(args, 0);
            return CValue::Boolean(!Find(text, false).empty());
        }
        if (SameName(name, u"Execute")) {
            if (args.size() != 1) Raise(err::kArgCount);
            const String text = StrArg(args, 0);
            std::vector<CValue> matches;
            for (const mrx::MatchResult& m : Find(text, global_)) {
                std::vector<CValue> groups;
                for (int g = 1; g < m.GroupCount(); ++g)
                    groups.push_back(m.Start(g) < 0 ? CValue()
                                                    : CValue::Str(text.substr(size_t(m.Start(g)),
                                                                             size_t(m.End(g) - m.Start(g)))));
                matches.push_back(CValue::Obj(std::make_shared<CMatchObject>(
                    text.substr(size_t(m.Start()), size_t(m.End() - m.Start())), m.Start(), std::move(groups))));
            }
            return CValue::Obj(std::make_shared<CListObject>(std::move(matches), u"IMatchCollection2"));
        }
        if (SameName(name, u"Replace")) {
            if (args.size() != 2) Raise(err::kArgCount);
            const String text = StrArg(args, 0);
            const String with = StrArg(args, 1);
            String out;
            size_t done = 0;
            for (const mrx::MatchResult& m : Find(text, global_)) {
                if (size_t(m.Start()) < done) continue;  // never overlaps the previous match
                out.append(text, done, size_t(m.Start()) - done);
                Expand(with, text, m, out);
                done = size_t(m.End());
            }
            out.append(text, done);
            return CValue::Str(std::move(out));
        }
        Raise(err::kNotSupported);
    }
    bool HasMember(StringView name) override {
        for (const char16_t* m :
             {u"Pattern", u"IgnoreCase", u"Global", u"Multiline", u"Test", u"Execute", u"Replace"})
            if (SameName(name, m)) return true;
        return false;
    }
    String TypeName() const override { return u"IRegExp2"; }

   private:
    const Regex& Compiled() {
        if (!compiled_) {
            const String p = Adapt(pattern_, multiline_);
            auto re = std::make_unique<Regex>();
            re->Compile(p.c_str(), int(p.size()),
                        (ignoreCase_ ? mrx::IGNORECASE : 0) | (multiline_ ? mrx::MULTILINE : 0));
            if (!re->Ok()) {
                // Said of the pattern as the script wrote it (the positions differ).
                const Regex raw(pattern_, re->Flags());
                Raise(err::kRegexSyntax,
                      u"Syntax error in regular expression: " + Widen(raw.Ok() ? re->Error() : raw.Error()));
            }
            compiled_ = std::move(re);
        }
        return *compiled_;
    }

    // The matches in `text` from the start: all of them, or the first. An
    // empty match moves the next search on by one.
    std::vector<mrx::MatchResult> Find(const String& text, bool all) {
        const Regex& re = Compiled();
        std::vector<mrx::MatchResult> found;
        mrx::Budget budget;
        const int n = int(text.size());
        int pos = 0;
        while (pos <= n) {
            mrx::MatchResult m = re.Search(text.c_str(), n, pos, -1, budget);
            if (m.status == mrx::Status::kTooComplex)
                Raise(err::kOutOfStack, u"The regular expression is too complex to search this text");
            if (!m.Matched()) break;
            pos = std::max(m.End() > m.Start() ? m.End() : m.Start() + 1, pos + 1);
            found.push_back(std::move(m));
            if (!all) break;
        }
        return found;
    }

    // Appends replacement `with` for match `m`: $1..$99, $& (the match),
    // $` (before it), $' (after it), $$; any other "$" stays as it is.
    static void Expand(const String& with, const String& text, const mrx::MatchResult& m, String& out) {
        const int groups = m.GroupCount() - 1;
        auto append = [&](int s, int e) {
            if (s >= 0 && e >= s) out.append(text, size_t(s), size_t(e - s));
        };
        auto digit = [&](size_t i) { return i < with.size() && with[i] >= u'0' && with[i] <= u'9'; };
        for (size_t i = 0; i < with.size(); ++i) {
            const char16_t c = with[i];
            if (c != u'$' || i + 1 >= with.size()) {
                out += c;
                continue;
            }
            const char16_t d = with[i + 1];
            if (d == u'$') {
                out += u'$';
                ++i;
            } else if (d == u'&') {
                append(m.Start(), m.End());
                ++i;
            } else if (d == u'`') {
                append(0, m.Start());
                ++i;
            } else if (d == u'\'') {
                append(m.End(), int(text.size()));
                ++i;
            } else if (digit(i + 1)) {
                const int one = int(d - u'0');
                const int two = digit(i + 2) ? one * 10 + int(with[i + 2] - u'0') : -1;
                if (two >= 1 && two <= groups) {
                    append(m.Start(two), m.End(two));
                    i += 2;
                } else if (one >= 1 && one <= groups) {
                    append(m.Start(one), m.End(one));
                    i += 1;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
        }
    }

    String pattern_;
    bool ignoreCase_ = false, global_ = false, multiline_ = false;
    std::unique_ptr<Regex> compiled_;
};

}  // namespace

std::shared_ptr<CObject> NewBuiltinClass(StringView name) {
    if (SameName(name, u"RegExp")) return std::make_shared<CRegExpObject>();
    return nullptr;
}

}  // namespace script
