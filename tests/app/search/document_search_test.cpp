// The search loops against a real control of Edit.dll, spoken to only by
// messages: start positions, line breaks in matches, whole words, Replace,
// Replace All in one undo step, List All's lines, highlight all on painted
// pixels, and the outcomes of refused and too complex patterns. Documents
// are written as marked text (MarkedText.h: "|" the caret, "[...]" a selection).
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "DocumentSearch.h"
#include "EditHarness.h"
#include "EncodedSamples.h"
#include "TempDir.h"

using namespace search;

namespace {

enum Op { kNext, kPrevious, kIncremental };
constexpr int R = FIND_REGEX, MC = FIND_MATCH_CASE, WW = FIND_WHOLE_WORD;
using Sel = std::vector<std::string>;
using Lines = std::vector<std::wstring>;

class DocumentSearch : public ShownEditControl {
   protected:
    // The selection as "l,c-l,c", or the caret as "l,c".
    std::string Selection(HWND view = nullptr) {
        const Span s = SelectionOf(view ? view : edit_);
        const Position c = s.from != s.to ? s.from : CaretOf(view ? view : edit_);
        const std::string at = std::to_string(c.line) + "," + std::to_string(c.column);
        return s.from == s.to ? at : at + "-" + std::to_string(s.to.line) + "," + std::to_string(s.to.column);
    }
    SearchOutcome Find(Op op, const std::wstring& pattern, int options = 0) {
        const SearchRequest r = {pattern, L"", options};
        return op == kNext       ? finder_.FindNext(edit_, r)
               : op == kPrevious ? finder_.FindPrevious(edit_, r)
                                 : finder_.FindIncremental(edit_, r);
    }
    // Every selection the search makes, in order, until it finds nothing;
    // then the selection stays.
    Sel Walk(const std::wstring& pattern, int options, Op op = kNext) {
        Sel out;
        for (int i = 0; i < 200 && Find(op, pattern, options).status == SearchStatus::kFound; ++i)
            out.push_back(Selection());
        if (!out.empty()) EXPECT_EQ(Selection(), out.back()) << "moved by the search that found nothing";
        return out;
    }
    Lines List(const std::wstring& pattern, int options, SearchOutcome* outcome = nullptr) {
        Lines out;
        const SearchOutcome o = finder_.ListAll(edit_, L"C:\\doc.txt", {pattern, L"", options},
                                                [&](const std::wstring& s) { out.push_back(s); });
        if (outcome) *outcome = o;
        return out;
    }
    int ReplaceAll(const std::wstring& pattern, const std::wstring& with, int options = 0) {
        return finder_.ReplaceAll(edit_, {pattern, with, options}).count;
    }
    // Counts the block reads (1093) the control is asked for; with `refuse`,
    // answers none, as a view that does not pass the message on.
    void CountBlockReads(bool refuse) {
        refuse_ = refuse;
        reads_ = 0;
        proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(edit_, GWLP_WNDPROC, LONG_PTR(&Counting)));
    }
    static LRESULT CALLBACK Counting(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == MPM_GETLINES && ++reads_ && refuse_) return 0;
        if (m == MPM_FINDLINE && refuseScreen_) return 0;
        return CallWindowProcW(proc_, h, m, w, l);
    }
    void TearDown() override {
        if (proc_) SetWindowLongPtrW(edit_, GWLP_WNDPROC, LONG_PTR(proc_));
        proc_ = nullptr;
        ShownEditControl::TearDown();
    }

    CDocumentSearch finder_;
    static inline WNDPROC proc_ = nullptr;
    static inline bool refuse_ = false;
    static inline int reads_ = 0;
    static inline bool refuseScreen_ = false;
};

}  // namespace

// Find Next starts after a single selection (else at the caret), Find
// Previous before it; incremental search starts at the selection's start
// and goes once round from the top. Found nothing: the selection stays.
TEST_F(DocumentSearch, OneSearchFromTheSelectionOrTheCaret) {
    const struct {
        const wchar_t* state;
        const wchar_t* pattern;
        int options;
        Op op;
        const char* selection;  // "": not found
    } cases[] = {
        {L"one [two one]| two one", L"one", 0, kNext, "0,16-0,19"},
        {L"one |[two one] two one", L"o", 0, kNext, "0,14-0,15"},  // selected leftwards
        {L"one |[two one] two one", L"one", 0, kPrevious, "0,0-0,3"},
        {L"one two o|ne two one", L"ONE", 0, kNext, "0,16-0,19"},
        {L"one two o|ne two one", L"ONE", MC, kNext, ""},
        {L"ab|c abd\nab", L"ab", 0, kIncremental, "0,4-0,6"},
        {L"abc [ab]|d\nab", L"abd", 0, kIncremental, "0,4-0,7"},
        {L"abc [abd]|\nab", L"abc", 0, kIncremental, "0,0-0,3"},
        {L"abc [abd]|\nab", L"abx", 0, kIncremental, ""},
        {L"a[lp]|ha", L"", 0, kNext, ""},
        {L"a[lp]|ha", L"xyz", 0, kNext, ""},
        {L"a[lp]|ha", L"zzz", R, kPrevious, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.state);
        const std::string before = Selection();
        EXPECT_EQ(Find(c.op, c.pattern, c.options).status,
                  *c.selection ? SearchStatus::kFound : SearchStatus::kNotFound);
        EXPECT_EQ(Selection(), *c.selection ? c.selection : before);
    }
}

// Searches repeated: an empty match where the last one ended is not found
// again (the caret steps on), each line is a text of its own ending in one
// LF that a match may take (ending at column 0 of the next line) but never
// reach past; the last line has none. Whole words allow an underscore
// beside them, and do not apply to expressions.
TEST_F(DocumentSearch, RepeatedSearchesWalkTheMatches) {
    const std::wstring foo = L"foo foo1 afoo foo_ _foo 9foo\nfoo";
    const struct {
        std::wstring state;
        const wchar_t* pattern;
        int options;
        Op op;
        Sel walk;
    } cases[] = {
        {L"abc\nxabc\nabc abc", L"abc", 0, kNext, {"0,0-0,3", "1,1-1,4", "2,0-2,3", "2,4-2,7"}},
        {L"ab\ncd\n", L"$", R, kNext, {"0,2", "1,2", "2,0"}},
        {L"ab\ncd", L"^", R, kNext, {"0,0", "1,0"}},
        {L"ab\ncd", L"\\b", R, kNext, {"0,0", "0,2", "1,0", "1,2"}},
        {L"abc abc\nabc\n\nab|", L"abc", 0, kPrevious, {"1,0-1,3", "0,4-0,7", "0,0-0,3"}},
        {L"abc abc\nabc\n\nab|", L"^", R | MC, kPrevious, {"3,0", "2,0", "1,0", "0,0"}},
        {L"abc abc\nabc\n\nab|", L"c\\n", R, kPrevious, {"1,2-2,0", "0,6-1,0"}},
        {L"abc\nd\n\ne", L"c\\n", R, kNext, {"0,2-1,0"}},
        {L"abc\nd\n\ne", L"c\\nd", R, kNext, {}},
        {L"abc\nd\n\ne", L"\\n", R, kNext, {"0,3-1,0", "1,1-2,0", "2,0-3,0"}},
        {L"abc\nd\n\ne", L"\\s", R, kNext, {"0,3-1,0", "1,1-2,0", "2,0-3,0"}},
        {L"abc\nd\n\ne", L"e$", R, kNext, {"3,0-3,1"}},
        {L"x,y\na,b", L"[^,]+", R, kNext, {"0,0-0,1", "0,2-1,0", "1,0-1,1", "1,2-1,3"}},
        {foo, L"foo", WW, kNext, {"0,0-0,3", "0,14-0,17", "0,20-0,23", "1,0-1,3"}},
        {foo,
         L"foo",
         WW | R,
         kNext,
         {"0,0-0,3", "0,4-0,7", "0,10-0,13", "0,14-0,17", "0,20-0,23", "0,25-0,28", "1,0-1,3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.state);
        EXPECT_EQ(Walk(c.pattern, c.options, c.op), c.walk);
    }
}

TEST_F(DocumentSearch, ListAllWritesOneLinePerMatchAndTheCount) {
    const std::wstring p = L"#<C:\\doc.txt>:", foo = L"foo foo1 afoo foo_ _foo 9foo";
    const struct {
        std::wstring text;
        const wchar_t* pattern;
        int options, count;
        Lines lines;  // none: only the count is checked
    } cases[] = {
        {L"alpha beta\nno\n\tbeta, beta\n",
         L"BETA",
         0,
         3,
         {p + L"(1,6):alpha beta\n", p + L"(3,1):\tbeta, beta\n", p + L"(3,7):\tbeta, beta\n",
          L"3 occurrences were found!"}},
        {L"alpha beta", L"gamma", 0, 0, {L"0 occurrences were found!"}},
        {L"alpha beta\nno\n\tbeta, beta\n", L"$", R, 4, {}},  // empty matches once per position
        {foo + L"\nfoo",
         L"foo",
         WW,
         4,
         {p + L"(1,0):" + foo + L"\n", p + L"(1,14):" + foo + L"\n", p + L"(1,20):" + foo + L"\n",
          p + L"(2,0):foo\n", L"4 occurrences were found!"}},
        {L"end  ", L"\\s+", R, 1, {p + L"(1,3):end  \n", L"1 occurrences were found!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.text);
        SearchOutcome o;
        const Lines lines = List(c.pattern, c.options, &o);
        EXPECT_EQ(o.count, c.count);
        EXPECT_EQ(o.status, c.count ? SearchStatus::kFound : SearchStatus::kNotFound);
        EXPECT_EQ(lines.size(), size_t(c.count + 1));
        if (!c.lines.empty()) EXPECT_EQ(lines, c.lines);
    }
    // Plain text and expressions find the same non-ASCII matches.
    SetState(L"ΣΊΣΥΦΟΣ σίσυφος\nStraße STRASSE STRAẞE\nΌΣΟΣ");
    const std::pair<const wchar_t*, int> nonAscii[] = {{L"σ", 8}, {L"ΣΟΣ", 1}, {L"ß", 2}, {L"straße", 2}};
    for (auto [pattern, count] : nonAscii) {
        SearchOutcome a, b;
        EXPECT_EQ(List(pattern, 0, &a), List(pattern, R, &b));
        EXPECT_EQ(a.count, count) << int(pattern[0]);
    }
}

// Every case in one undo step (undone and redone), none when nothing was
// replaced; expressions through the escape step and the "$" template, which
// sees the match's line with its line break.
TEST_F(DocumentSearch, ReplaceAll) {
    const struct {
        const wchar_t *text, *pattern, *with;
        int options, count;
        const wchar_t* after;
    } cases[] = {
        {L"banana\na\n\nAa", L"a", L"aa", 0, 6, L"baanaanaa\naa\n\naaaa"},
        {L"cat Cat cat_ cats", L"cat", L"dog", MC | WW, 2, L"dog Cat dog_ cats"},
        {L"cat", L"zebra", L"x", 0, 0, L"cat"},
        {L"alpha", L"", L"x", 0, 0, L"alpha"},
        {L"john@home, mary@work\nx", L"(\\w+)@(?<place>\\w+)", L"${place}:$1($12)", R, 2,
         L"home:john(john2), work:mary(mary2)\nx"},
        {L"a\nb\nc", L"\\n", L"+", R, 2, L"a+b+c"},
        {L"a+b+c", L"\\+", L"\\n\\t\\\\\\", R, 2, L"a\n\t\\b\n\t\\c"},
        // A line end as users of Windows write it; an escaped backslash
        // before r stays what it was.
        {L"a\nb\nc", L"\\r\\n", L"\\r\\n-", R, 2, L"a\n-b\n-c"},
        {L"a\nb\nc", L"\\r?\\n", L"\\r\\n-", R, 2, L"a\n-b\n-c"},
        {L"a\nb\nc", L"\\R", L"\\r\\n-", R, 2, L"a\n-b\n-c"},
        {L"a\nb\nc", L"(?:\\r\\n)", L"\\r\\n-", R, 2, L"a\n-b\n-c"},
        {L"x\\r\ny", L"\\\\r\\n", L"+", R, 1, L"x+y"},
        {L"ab\ncd", L"x*", L"-", R, 6, L"-a-b-\n-c-d-"},  // every position once, none past a line's end
        {L"ab", L"b", L"[$`|$&]", R, 1, L"a[a|b]"},
        {L"a,b", L"[^,]+", L"X", R, 2, L"X,X"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.text);
        const SearchOutcome o = finder_.ReplaceAll(edit_, {c.pattern, c.with, c.options});
        EXPECT_EQ(o.count, c.count);
        EXPECT_EQ(o.status, c.count ? SearchStatus::kFound : SearchStatus::kNotFound);
        EXPECT_EQ(All(), c.after);
        EXPECT_TRUE(IsWindowVisible(edit_)) << "redraw left off";
        EXPECT_EQ(Send(MPM_CANUNDO), c.count ? 1 : 0);
        if (!c.count) continue;
        Command(ECMD_UNDO);
        EXPECT_EQ(All(), c.text);
        EXPECT_EQ(Send(MPM_CANUNDO), 0);
        Command(ECMD_REDO);
        EXPECT_EQ(All(), c.after);
    }
    // A read-only document is not changed.
    SetState(L"cat");
    Send(MPM_READONLY, 1);
    EXPECT_EQ(ReplaceAll(L"cat", L"dog"), 0);
    EXPECT_EQ(All(), L"cat");
}

// More matches than Replace All sends in one list (by their number, and for
// an expression by the units of its replacements): the same text as a
// replacement of each, one undo step, the caret and the selection where the
// matches replaced one by one would leave them.
TEST_F(DocumentSearch, ReplaceAllOfMoreMatchesThanOneListTakes) {
    constexpr int kLines = 35000;
    const auto doc = [](const std::wstring& first, const std::wstring& second, int from, int to) {
        std::wstring text;
        for (int i = 0; i < kLines; ++i) {
            text += i > from && i < to ? first + L" " + second : L"ab ab";
            if (i == from) text.replace(text.size() - 2, 2, second);
            if (i == to) text.replace(text.size() - 5, 2, first);
            text += L"\n";
        }
        return text + L"end";
    };
    const std::wstring forty = [] {
        std::wstring s;
        for (int i = 0; i < 20; ++i) s += L"$1";
        return s;
    }();
    const std::wstring bs(20, L'b');
    const struct {
        const wchar_t *pattern, *with;
        int options;
        Position anchor, caret;  // a selection when they differ
        int count;
        std::wstring after;
        const char* selection;
    } cases[] = {
        {L"ab", L"xyz", MC, {20000, 2}, {20000, 2}, 2 * kLines, doc(L"xyz", L"xyz", -1, kLines), "20000,3"},
        {L"a(b)", forty.c_str(), R, {20000, 4}, {20000, 4}, 2 * kLines, doc(bs, bs, -1, kLines), "20000,21"},
        {L"ab",
         L"xyz",
         MC | FIND_IN_SELECTION,
         {100, 3},
         {34000, 2},
         2 * (34000 - 100),
         doc(L"xyz", L"xyz", 100, 34000),
         "100,3-34000,3"},
    };
    const std::wstring before = doc(L"ab", L"ab", -1, kLines);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(before);
        if (c.anchor == c.caret)
            SetCaret(edit_, c.caret.line, c.caret.column);
        else
            Select(edit_, c.anchor, c.caret);
        const SearchOutcome o = finder_.ReplaceAll(edit_, {c.pattern, c.with, c.options});
        EXPECT_EQ(o.count, c.count);
        EXPECT_EQ(o.status, SearchStatus::kFound);
        const std::wstring after = All();
        const auto differ = std::mismatch(after.begin(), after.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(after.size(), c.after.size());
        EXPECT_TRUE(after == c.after) << "first difference at unit " << (differ.first - after.begin());
        EXPECT_EQ(Selection(), c.selection);
        Command(ECMD_UNDO);
        EXPECT_TRUE(All() == before);
        EXPECT_EQ(Send(MPM_CANUNDO), 0) << "more than one undo step";
        Command(ECMD_REDO);
        EXPECT_TRUE(All() == c.after);
    }
}

// Replace replaces the match found from the selection's start (one undo
// step) and selects the next; an expression expands against the match
// alone; an empty match is replaced once, then the next one; a read-only
// document only moves on.
TEST_F(DocumentSearch, Replace) {
    const struct {
        const wchar_t *state, *pattern, *with;
        int options, times, count;
        SearchStatus status;
        const wchar_t* after;  // without marks: the text only
        bool readOnly = false;
    } cases[] = {
        {L"cat cat\ncat", L"cat", L"dog", 0, 1, 1, SearchStatus::kFound, L"dog [cat]|\ncat"},
        {L"dog [cat]|\ncat", L"cat", L"dog", 0, 1, 1, SearchStatus::kFound, L"dog dog\n[cat]|"},
        {L"dog dog\n[cat]|", L"cat", L"dog", 0, 1, 1, SearchStatus::kNotFound, L"dog dog\ndog"},
        {L"dog dog\ndog", L"cat", L"dog", 0, 1, 0, SearchStatus::kNotFound, L"dog dog\ndog"},
        {L"x=1; y=22;", L"(\\w)=(\\d+)", L"$2=$1 [$`$']", R, 1, 1, SearchStatus::kFound, L"1=x []; [y=22]|;"},
        {L"a\nb", L"$", L"!", R, 2, 1, SearchStatus::kNotFound, L"a!\nb!"},
        {L"a\nb\nc", L"^", L"", R, 2, 0, SearchStatus::kFound, L"a\nb\n|c"},
        {L"cat cat", L"cat", L"dog", 0, 1, 0, SearchStatus::kFound, L"cat [cat]|", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.state);
        const std::wstring before = All();
        Send(MPM_READONLY, c.readOnly);
        SearchOutcome o;
        for (int i = 0; i < c.times; ++i) o = finder_.Replace(edit_, {c.pattern, c.with, c.options});
        Send(MPM_READONLY, 0);
        EXPECT_EQ(o.count, c.count);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(wcspbrk(c.after, L"|[") ? State() : All(), c.after);
        if (c.times != 1 || !c.count) continue;
        Command(ECMD_UNDO);
        EXPECT_EQ(All(), before);
    }
}

TEST_F(DocumentSearch, ARefusedPatternGivesTheEnginesError) {
    SetState(L"a(b");
    const SearchRequest r = {L"a(", L"x", R};
    for (int op = 0; op < 5; ++op) {
        const SearchOutcome o =
            op == 0   ? finder_.FindNext(edit_, r)
            : op == 1 ? finder_.FindPrevious(edit_, r)
            : op == 2 ? finder_.ReplaceAll(edit_, r)
            : op == 3 ? finder_.ListAll(edit_, L"", r, [](const std::wstring&) { ADD_FAILURE(); })
                      : HighlightAll(edit_, r.pattern, r.options);
        EXPECT_EQ(o.status, SearchStatus::kBadPattern) << op;
        EXPECT_FALSE(o.error.empty()) << op;
    }
    EXPECT_EQ(All(), L"a(b");
    EXPECT_EQ(Find(kNext, L"a(").status, SearchStatus::kFound);  // as plain text
}

TEST_F(DocumentSearch, ACatastrophicPatternIsTooComplexOncePerOperation) {
    const std::wstring as(20000, L'a');
    SetState(as + L"\n" + as + L"\n" + as + L"\nab");
    finder_.SetBudget(2000000);
    const SearchRequest r = {L"(a*)*b(a*)*", L"x", R};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(finder_.FindNext(edit_, r).status, SearchStatus::kTooComplex);
    SetCaret(edit_, 2, 5);
    EXPECT_EQ(finder_.FindPrevious(edit_, r).status, SearchStatus::kTooComplex);
    EXPECT_EQ(finder_.FindIncremental(edit_, r).status, SearchStatus::kTooComplex);
    const SearchOutcome all = finder_.ReplaceAll(edit_, r);
    EXPECT_EQ(all.status, SearchStatus::kTooComplex);
    EXPECT_EQ(all.count, 1);  // the last line's "ab", before the lines of a's
    EXPECT_EQ(Line(3), L"x");
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    int writes = 0;
    EXPECT_EQ(finder_.ListAll(edit_, L"", r, [&](const std::wstring&) { ++writes; }).status,
              SearchStatus::kTooComplex);
    EXPECT_EQ(writes, 1);  // only the summary
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 10.0);
    // The whole budget is for one operation: the next one starts afresh.
    SetCaret(edit_, 0, 0);
    EXPECT_EQ(Find(kNext, L"a+", R).status, SearchStatus::kFound);
    // The default budget ends it too.
    finder_.SetBudget(50000000);
    SetCaret(edit_, 0, 0);
    EXPECT_EQ(finder_.FindNext(edit_, r).status, SearchStatus::kTooComplex);
    // An ordinary pattern over a long document is not too complex.
    std::wstring text;
    for (int i = 0; i < 2000; ++i) text += L"some ordinary line of text with words in it\n";
    SetState(text + L"target");
    finder_.SetBudget(1000);
    EXPECT_EQ(Find(kNext, L"tar\\w+", R).status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "2000,0-2000,6");
}

TEST_F(DocumentSearch, HighlightAllPaintsEveryMatchUntilCleared) {
    SetState(L"foo bar foo\nxfoo");
    const COLORREF back = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE, 0))[40];
    EXPECT_EQ(back, COLORREF(0x80FFFF));
    auto painted = [&] { return Capture(edit_).Count({0, 0, 600, 400}, back); };
    const int before = painted();
    EXPECT_EQ(HighlightAll(edit_, L"foo", 0).status, SearchStatus::kFound);
    UpdateWindow(edit_);
    const int all = painted() - before;
    // Nine characters' cells, give or take the cells' edges.
    EXPECT_GT(all, 9 * cw_ * (lh_ / 2));
    EXPECT_LE(all, 9 * cw_ * lh_);
    HighlightAll(edit_, L"foo", WW);
    const int whole = painted() - before;
    EXPECT_EQ(whole * 3, all * 2);
    // The highlight follows edits.
    Command(ECMD_DOCEND);
    Insert(L" foo");
    EXPECT_EQ(painted() - before, whole * 3 / 2);
    ClearHighlight(edit_);
    EXPECT_EQ(painted(), before);
    ClearHighlight(edit_);  // twice is harmless
    HighlightAll(edit_, L"bar", 0);
    HighlightAll(edit_, L"", 0);  // an empty pattern clears
    EXPECT_EQ(painted(), before);
    // A successful find with the option highlights too.
    SetCaret(edit_, 0, 0);
    EXPECT_EQ(Find(kNext, L"foo", FIND_HIGHLIGHT_ALL).status, SearchStatus::kFound);
    EXPECT_GT(painted(), before);
    ClearHighlight(edit_);

    // A pattern that runs out of its budget stops painting, until another.
    SetState(std::wstring(3000, L'a') + L"\n" + std::wstring(3000, L'a'));
    EXPECT_EQ(HighlightAll(edit_, L"(a*)*b", R).status, SearchStatus::kFound);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) RedrawWindow(edit_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(HighlightGaveUp(edit_));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
    HighlightAll(edit_, L"a{5}", R);
    EXPECT_FALSE(HighlightGaveUp(edit_));
    ClearHighlight(edit_);
}

TEST_F(DocumentSearch, ADestroyedViewLeavesNoHighlighterBehind) {
    // A new view, perhaps with the same handle, starts without one and gets
    // its own when asked; every other view is cleared before it goes.
    for (int i = 0; i < 6; ++i) {
        const HWND view = Create(8 + i % 2);
        Insert(L"foo foo", nullptr, view);
        EXPECT_EQ(HighlightAll(view, L"foo", 0).status, SearchStatus::kFound);
        UpdateWindow(view);
        if (i % 2) ClearHighlight(view);
        DestroyWindow(view);
    }
    ClearHighlight(nullptr);
    EXPECT_EQ(HighlightAll(nullptr, L"foo", 0).status, SearchStatus::kNotFound);
}

// A file loaded in place is read many lines per message; a line longer than
// such a block is read alone. Both directions find the same.
TEST_F(DocumentSearch, LinesReadInBlocksAndAloneFindTheSame) {
    const TempDir dir(L"mps");
    const std::wstring path = dir / L"blocks.txt";
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes += i % 1000 == 7 ? "a needle here\r\n" : "nothing to see\r\n";
    bytes += std::string(1500000, 'x') + "needle" + std::string(10, 'y') + "\r\nneedle at the end";
    WriteBytes(path, bytes);
    ASSERT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)), 1);
    SearchOutcome o;
    const Lines listed = List(L"needle", 0, &o);
    EXPECT_EQ(o.count, 72);
    ASSERT_EQ(listed.size(), 73u);
    EXPECT_EQ(listed[0], L"#<C:\\doc.txt>:(8,2):a needle here\n");
    EXPECT_EQ(listed[69], L"#<C:\\doc.txt>:(69008,2):a needle here\n");
    EXPECT_EQ(listed[70].substr(0, 28), L"#<C:\\doc.txt>:(70001,1500000");
    EXPECT_EQ(listed[71], L"#<C:\\doc.txt>:(70002,0):needle at the end\n");
    SetCaret(edit_, 0, 0);
    const Sel forward = Walk(L"needle", 0);
    Command(ECMD_DOCEND);
    Sel backward = Walk(L"needle", 0, kPrevious);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward.size(), 72u);
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(ReplaceAll(L"needle", L"pin", R), 72);
    EXPECT_EQ(Line(7), L"a pin here");
    EXPECT_EQ(Line(70000).substr(1499998, 8), L"xxpinyyy");
    EXPECT_EQ(List(L"needle", 0, &o).size(), 1u);
    Send(MPM_CLOSEDOC);
}

// Reading backwards, a block ends at the line wanted even when the lines
// before it would fill more than one block: a few reads for the document,
// not one per line. A view that does not answer 1093 is read line by line,
// and asked once or twice per operation.
TEST_F(DocumentSearch, BlockReads) {
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += std::wstring(399, wchar_t(L'a' + i % 26)) + L"\n";
    SetState(text + L"end");
    CountBlockReads(false);
    auto reads = [](int before) { return reads_ - before; };
    EXPECT_EQ(ReplaceAll(L"q", L"Q", MC), 399 * 115);
    EXPECT_LT(reads(0), 12);
    Command(ECMD_DOCEND);
    int before = reads_;
    EXPECT_EQ(Find(kPrevious, L"xyz").status, SearchStatus::kNotFound);
    EXPECT_LT(reads(before), 12);
    SetCaret(edit_, 0, 0);
    before = reads_;
    EXPECT_EQ(Find(kNext, L"xyz").status, SearchStatus::kNotFound);
    EXPECT_LT(reads(before), 6);

    text.clear();
    for (int i = 0; i < 500; ++i) text += i % 100 == 50 ? L"x needle\n" : L"hay\n";
    SetState(text);
    refuse_ = true;
    before = reads_;
    EXPECT_EQ(List(L"needle", 0).size(), 6u);
    EXPECT_LE(reads(before), 1);
    before = reads_;
    EXPECT_EQ(ReplaceAll(L"needle", L"pin"), 5);
    EXPECT_LE(reads(before), 2);
    EXPECT_EQ(Line(450), L"x pin");
}

// Another view whose caret happens to sit where the last match ended in the
// first one starts its search right there.
TEST_F(DocumentSearch, TheEndOfTheLastMatchBelongsToItsView) {
    SetState(L"ab\nab");
    EXPECT_EQ(Find(kNext, L"b").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,1-0,2");
    const HWND other = Create(8);
    testing_support::SetState(other, L"xy|\n");
    EXPECT_EQ(finder_.FindNext(other, {L"$", L"", R}).status, SearchStatus::kFound);  // not stepped over
    EXPECT_EQ(Selection(other), "0,2");
    DestroyWindow(other);
}

// Lines unchanged from a file loaded in place are screened in the file's
// bytes (1102); a view that does not answer 1102 is searched line by line.
// Both find the same, in every encoding of the corpus, forward, backward and
// listed, also in a line edited since the load. Shift_JIS: "\x83\x41" is one
// character whose second byte is an "A".
TEST_F(DocumentSearch, TheFilesBytesFindWhatItsLinesFind) {
    const TempDir dir(L"mps");
    struct File {
        int codePage;
        std::string bytes;
    };
    std::vector<File> files;
    for (const EncodedSample& e : kSamples)
        files.push_back(
            {e.codePage, e.bytes + (e.codePage == 1200 || e.codePage == 1201 || e.codePage >= 12000
                                        ? std::string()
                                        : "\r\nsome More text, ax AX\r\n" + e.bytes + " END\r\n\r\nlast")});
    files.push_back({932,
                     "\x83\x41xyz\r\nAx \x83\x41"
                     "ax\r\n\x83\x41\x83\x61x\r\nax"});
    // The Kelvin sign and the long s, which fold to k and s, in lines of their own.
    files.push_back({65001,
                     "Stra\xc3\x9f"
                     "e \xe2\x84\xaa"
                     "elvin\r\n\xc5\xbf"
                     "a\r\nstra\xc3\x9f"
                     "e sa k STRASSE"});
    // US-ASCII as the system reads it: a byte above 127 is its low seven bits.
    files.push_back({20127, "\xC1x \xE1\xF8 Ax\r\nmor\xE5\r\n\xE5"});
    struct Pattern {
        std::wstring text;  // "*": three units from the middle of the first line
        int options;
    };
    const Pattern patterns[] = {
        {L"*", MC},         {L"*", 0},           {L"ax", 0},           {L"Ax", MC},
        {L"more", 0},       {L"e", 0},           {L"E", MC},           {L"k", 0},
        {L"sa", 0},         {L"stra\u00dfe", 0}, {L"m[a-z]re +te", R}, {L"(x|y)z", R},
        {L"a(x)+", R | MC}, {L"END$", R},
    };
    int file = 0;
    size_t total = 0;
    for (const File& f : files) {
        const std::wstring path = dir / (L"f" + std::to_wstring(file++) + L".txt");
        WriteBytes(path, f.bytes);
        ASSERT_EQ(
            Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(f.codePage, LB_CRLF)),
            1);
        const std::wstring first = Line(0);
        for (int edited = 0; edited < 2; ++edited) {
            if (edited) {  // a line of its own now, the rest still the file's
                const Position at = {0, 0};
                const TextArg t = {L"ax Ax ", -1};
                Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&at), reinterpret_cast<LPARAM>(&t));
            }
            for (const Pattern& p : patterns) {
                const std::wstring text = p.text == L"*" ? first.substr(first.size() / 2, 3) : p.text;
                if (text.empty()) continue;
                std::vector<Sel> found[2];
                std::vector<Lines> listed[2];
                for (int screen = 0; screen < 2; ++screen) {
                    CountBlockReads(false);
                    refuseScreen_ = screen == 0;
                    SetCaret(edit_, 0, 0);
                    found[screen].push_back(Walk(text, p.options));
                    Command(ECMD_DOCEND);
                    found[screen].push_back(Walk(text, p.options, kPrevious));
                    listed[screen].push_back(List(text, p.options));
                    refuseScreen_ = false;
                    SetWindowLongPtrW(edit_, GWLP_WNDPROC, LONG_PTR(proc_));
                    proc_ = nullptr;
                }
                total += found[1][0].size() + found[1][1].size();
                EXPECT_EQ(found[0], found[1])
                    << "code page " << f.codePage << " " << testing::PrintToString(text) << " options "
                    << p.options << " edited " << edited;
                EXPECT_EQ(listed[0], listed[1]) << "code page " << f.codePage;
            }
        }
    }
    EXPECT_GT(total, 500u);
}
