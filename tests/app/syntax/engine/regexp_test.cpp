// The language's RegExp class through the engine: matching, the match
// collection and its groups, replacing, the flags, and bad patterns. Scripts
// report through a host object "Log" (Log.Write x appends x and ";").
#include <gtest/gtest.h>

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
    CValue Invoke(StringView name, unsigned, std::span<CValue* const> args) override {
        if (!SameName(name, u"Write")) Raise(err::kNotSupported);
        for (size_t i = 0; i < args.size(); ++i) {
            if (i) text += u",";
            text += ops::ToString(Plain(*args[i]));
        }
        text += u";";
        return CValue();
    }
    bool HasMember(StringView) override { return false; }
};

class RegExp : public ::testing::Test {
   protected:
    CHost host;
    CEngine engine{&host};
    std::shared_ptr<LogObject> log = std::make_shared<LogObject>();

    void SetUp() override { engine.AddNamedItem(u"Log", log, false); }
    // Runs `text` after "Set re = New RegExp" and answers what it logged,
    // then "<error n description>" when it failed.
    std::string Run(const std::string& text) {
        log->text.clear();
        try {
            engine.Run(Wide("Set re = New RegExp\r\n" + text));
        } catch (const ScriptError& e) {
            return Narrow(log->text) + "<error " + std::to_string(e.Number()) + " " + Narrow(e.description) + ">";
        }
        return Narrow(log->text);
    }
};

TEST_F(RegExp, PropertiesHaveDefaultsAndKeepWhatIsSet) {
    EXPECT_EQ(Run("Log.Write TypeName(re), \"[\" & re.Pattern & \"]\", re.IgnoreCase, re.Global, re.Multiline"),
              "IRegExp2,[],False,False,False;");
    EXPECT_EQ(Run("re.pattern = 12 : RE.GLOBAL = 1 : re.ignorecase = True : re.Multiline = \"True\"\r\n"
                  "Log.Write TypeName(re.Pattern), re.Pattern, re.Global, re.IgnoreCase, re.Multiline"),
              "String,12,True,True,True;");
    EXPECT_EQ(Run("Set a = New RegExp : a.Pattern = \"x\" : Log.Write re.Pattern = \"\", a Is re"), "True,False;");
    EXPECT_EQ(Run("re.Frobnicate"), "<error 438 Object doesn't support this property or method>");
}

TEST_F(RegExp, TestAnswersWhetherThePatternMatches) {
    EXPECT_EQ(Run("re.Pattern = \"b+c\" : Log.Write re.Test(\"abbbcd\"), re.Test(\"acd\"), re.Test(\"\")"),
              "True,False,False;");
    EXPECT_EQ(Run("Log.Write re.Test(\"anything\"), re.Test(\"\")"), "True,True;");  // the empty pattern
    EXPECT_EQ(Run("re.Pattern = \"\\d{3}-\\w+\" : Log.Write re.Test(\"tel 555-abc\"), re.Test(\"55-abc\")"),
              "True,False;");
    // Changing the pattern after a use takes effect.
    EXPECT_EQ(Run("re.Pattern = \"a\" : Log.Write re.Test(\"b\") : re.Pattern = \"b\" : Log.Write re.Test(\"b\")"),
              "False;True;");
}

TEST_F(RegExp, ExecuteFindsTheFirstMatchOrWithGlobalAll) {
    const std::string walk =
        "Set ms = re.Execute(\"a1 b22 c333\")\r\n"
        "Log.Write TypeName(ms), ms.Count\r\n"
        "For i = 0 To ms.Count - 1 : Set m = ms.Item(i) : Log.Write TypeName(m), m.Value, m.FirstIndex, m.Length : Next\r\n";
    EXPECT_EQ(Run("re.Pattern = \"[0-9]+\"\r\n" + walk), "IMatchCollection2,1;IMatch2,1,1,1;");
    EXPECT_EQ(Run("re.Pattern = \"[0-9]+\" : re.Global = True\r\n" + walk),
              "IMatchCollection2,3;IMatch2,1,1,1;IMatch2,22,4,2;IMatch2,333,8,3;");
    EXPECT_EQ(Run("re.Pattern = \"z\" : re.Global = True\r\n" + walk), "IMatchCollection2,0;");
    // Default members: the collection's Item, the match's Value.
    EXPECT_EQ(Run("re.Pattern = \"\\w+\" : re.Global = True : Set ms = re.Execute(\"one two\")\r\n"
                  "Log.Write ms(1), ms(0).Value & \"!\" : x = ms(1) : Log.Write x"),
              "two,one!;two;");
    EXPECT_EQ(Run("re.Pattern = \"\\w+\" : Set ms = re.Execute(\"one\") : Log.Write ms(1)"),
              "<error 5 Invalid procedure call or argument>");
    EXPECT_EQ(Run("re.Pattern = \"\\w+\" : Set ms = re.Execute(\"one\") : ms(0).Value = \"x\""),
              "<error 438 Object doesn't support this property or method>");
}

TEST_F(RegExp, ForEachWalksMatchesAndSubMatches) {
    EXPECT_EQ(Run("re.Pattern = \"(\\w)(\\d)?\" : re.Global = True\r\n"
                  "For Each m In re.Execute(\"a1 b\")\r\n"
                  "  Set s = m.SubMatches : Log.Write m, TypeName(s), s.Count, s(0), s.Item(1), IsEmpty(s(1))\r\n"
                  "  For Each g In s : Log.Write \"[\" & g & \"]\" : Next\r\n"
                  "Next"),
              "a1,ISubMatches,2,a,1,False;[a];[1];b,ISubMatches,2,b,,True;[b];[];");
    // A group that matched the empty text is an empty string, not Empty.
    EXPECT_EQ(Run("re.Pattern = \"a(x*)b\" : Set m = re.Execute(\"ab\")(0) : Log.Write IsEmpty(m.SubMatches(0)), "
                  "Len(m.SubMatches(0))"),
              "False,0;");
    EXPECT_EQ(Run("re.Pattern = \"a\" : Log.Write re.Execute(\"a\")(0).SubMatches.Count"), "0;");
}

TEST_F(RegExp, ReplaceExpandsGroupsAndTheMatch) {
    EXPECT_EQ(Run("re.Pattern = \"(\\w+)@(\\w+)\" : Log.Write re.Replace(\"me@home you@work\", \"$2 at $1\")"),
              "home at me you@work;");
    EXPECT_EQ(Run("re.Pattern = \"(\\w+)@(\\w+)\" : re.Global = True\r\n"
                  "Log.Write re.Replace(\"me@home you@work\", \"$2 at $1\")"),
              "home at me work at you;");
    EXPECT_EQ(Run("re.Pattern = \"b\" : re.Global = True : Log.Write re.Replace(\"abcb\", \"[$&|$`|$'|$$|$9|$0|$]\")"),
              "a[b|a|cb|$|$9|$0|$]c[b|abc||$|$9|$0|$];");
    // Two digits name a group when there are that many, else one digit does.
    EXPECT_EQ(Run("re.Pattern = \"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)\" : Log.Write re.Replace(\"abcdefghijk\", \"$11-$12\")"),
              "k-a2;");
    // An unmatched group gives nothing; no match leaves the text alone.
    EXPECT_EQ(Run("re.Pattern = \"x(y)?\" : Log.Write re.Replace(\"axb\", \"<$1>\"), re.Replace(\"ab\", \"-\")"),
              "a<>b,ab;");
}

TEST_F(RegExp, IgnoreCaseAndMultilineChangeTheMatch) {
    EXPECT_EQ(Run("re.Pattern = \"hello\" : Log.Write re.Test(\"Say HELLO\") : re.IgnoreCase = True : "
                  "Log.Write re.Test(\"Say HELLO\")"),
              "False;True;");
    // Without Multiline ^ and $ are the text's ends only, even before a final line break.
    const std::string lines =
        "t = \"one\" & vbCrLf & \"two\" & vbLf & \"three\" & vbCrLf\r\n"
        "re.Global = True\r\n"
        "re.Pattern = \"^\\w+\" : Set a = re.Execute(t)\r\n"
        "re.Pattern = \"\\w+$\" : Set b = re.Execute(t)\r\n"
        "Log.Write a.Count, b.Count\r\n"
        "For Each m In a : Log.Write m : Next\r\n"
        "For Each m In b : Log.Write m : Next\r\n"
        "re.Pattern = \"e$\" : Log.Write re.Test(\"one\"), re.Test(\"one\" & vbLf), re.Test(\"ex\")\r\n";
    EXPECT_EQ(Run(lines), "1,0;one;True,False,False;");
    EXPECT_EQ(Run("re.Multiline = True\r\n" + lines), "3,3;one;two;three;one;two;three;True,True,False;");
    // "." is no line break (CR, LF, U+2028, U+2029), in either mode; in a class it is a dot.
    EXPECT_EQ(Run("re.Pattern = \"a.b\" : For Each c In Array(vbCr, vbLf, ChrW(&H2028), \" \", ChrW(&HD83D) & ChrW(&HDE00))\r\n"
                  "Log.Write re.Test(\"a\" & c & \"b\") : re.Multiline = Not re.Multiline : Next\r\n"
                  "re.Pattern = \"[.]\" : Log.Write re.Test(\"a\"), re.Test(\".\")"),
              "False;False;False;True;True;False,True;");
    // "$" in a class or escaped is a dollar sign.
    EXPECT_EQ(Run("re.Pattern = \"[$]\\$\" : Log.Write re.Replace(\"a$$b\", \"D\")"), "aDb;");
    // So is each of them in a literal run, and a comment is left alone.
    EXPECT_EQ(Run("re.Pattern = \"\\Q$.\\E(?#$.)x$\" : Log.Write re.Test(\"$.x\"), re.Test(\"$ax\"), re.Test(\"$.x\" & vbLf)"),
              "True,False,False;");
}

TEST_F(RegExp, EmptyMatchesMoveOnSoGlobalEnds) {
    EXPECT_EQ(Run("re.Pattern = \"x*\" : re.Global = True : Set ms = re.Execute(\"abc\") : Log.Write ms.Count\r\n"
                  "For Each m In ms : Log.Write m.FirstIndex & \":\" & m.Length : Next\r\n"
                  "Log.Write re.Replace(\"abc\", \"-\")"),
              "4;0:0;1:0;2:0;3:0;-a-b-c-;");
    EXPECT_EQ(Run("re.Pattern = \"a*\" : re.Global = True : Log.Write re.Replace(\"baac\", \"-\"), "
                  "re.Execute(\"\").Count"),
              "-b--c-,1;");
}

TEST_F(RegExp, MalformedPatternsRaiseACatchableError) {
    for (const char* pattern : {"(a", "a)", "[a", "*a", "a\\"}) {
        const std::string out = Run("re.Pattern = \"" + std::string(pattern) + "\" : Log.Write \"set\" : re.Test \"a\"");
        EXPECT_EQ(out.substr(0, 30), "set;<error 5017 Syntax error i") << pattern;
    }
    EXPECT_EQ(Run("On Error Resume Next\r\n"
                  "re.Pattern = \"(a\" : Set ms = re.Execute(\"a\")\r\n"
                  "Log.Write Err.Number, Left(Err.Description, 34), IsEmpty(ms) : Err.Clear\r\n"
                  "x = re.Replace(\"a\", \"b\") : Log.Write Err.Number\r\n"
                  "re.Pattern = \"(a)\" : Err.Clear : Log.Write re.Replace(\"a\", \"<$1>\"), Err.Number"),
              "5017,Syntax error in regular expression,True;5017;<a>,0;");
    // The description says where, in the pattern as written.
    EXPECT_EQ(Run("re.Pattern = \"..$)\" : re.Test \"\""),
              "<error 5017 Syntax error in regular expression: unbalanced ')' at 3>");
}

TEST_F(RegExp, ASearchTooComplexEndsWithAnError) {
    const std::string out = Run("re.Pattern = \"(a|aa)+$\" : Log.Write re.Test(String(60, \"a\") & \"b\")");
    EXPECT_NE(out.find("<error 28 The regular expression is too complex"), std::string::npos) << out;
}

// Patterns and texts made of a few pieces, every one run with all flags: a
// run ends with a result or error 5017 (or 28), never a crash or a hang.
TEST_F(RegExp, AnyPatternEndsWithAResultOrAnError) {
    const char* pieces[] = {"a", "b", "(", ")", "|", "*", "+", "?", ".", "^", "$", "[", "]", "\\", "{1,2}",
                            "(?=", "(?<=", "\\b", "\\1", "x*", "\\Q", "\\E", "(?#"};
    const char* texts[] = {"", "a", "ab" "\" & vbCrLf & \"ba", "aaaa", "b" "\" & vbLf & \"\" & vbCr & \"a"};
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    std::string script = "On Error Resume Next\r\nDim p, t, r\r\n";
    for (int k = 0; k < 300; ++k) {
        std::string pattern;
        for (unsigned n = 1 + next(6); n > 0; --n) pattern += pieces[next(std::size(pieces))];
        const std::string text = texts[next(std::size(texts))];
        script += "re.Pattern = \"" + pattern + "\" : re.Global = " + (k % 2 ? "True" : "False") +
                  " : re.Multiline = " + (k % 3 ? "True" : "False") + " : re.IgnoreCase = " +
                  (k % 5 ? "False" : "True") + "\r\nErr.Clear : t = \"" + text + "\"\r\n" +
                  "r = re.Test(t) & re.Execute(t).Count & re.Replace(t, \"<$1$&>\") : n = Err.Number\r\n" +
                  "If n <> 0 And n <> 5017 And n <> 28 Then Log.Write \"" + pattern + "\", n\r\n";
    }
    EXPECT_EQ(Run(script), "");
}

TEST_F(RegExp, TheBuiltInComesBeforeAScriptClassNamedRegExp) {
    EXPECT_EQ(Run("Class RegExp\r\n  Public Pattern\r\n  Private Sub Class_Initialize : Pattern = \"mine\" : End Sub\r\nEnd Class\r\n"
                  "Set r2 = New RegExp : Log.Write r2.Pattern, TypeName(r2)"),
              ",IRegExp2;");
    EXPECT_EQ(Run("Set x = New RegExpNot"), "<error 506 Class not defined: 'RegExpNot'>");
}

}  // namespace
}  // namespace script
