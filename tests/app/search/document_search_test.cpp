// The search loops against a real control of Edit.dll, spoken to only by
// messages: start positions, line breaks in matches, whole words, Replace,
// Replace All in one undo step, List All's lines, highlight all on painted
// pixels, and the outcomes of refused and too complex patterns.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "DocumentSearch.h"
#include "EditHarness.h"

using namespace search;

namespace {

class DocumentSearch : public ShownEditControl {
protected:
    void SetText(const std::wstring& text) {
        Command(ECMD_SELECTALL);
        Command(ECMD_DELETE);
        Position at = {0, 0};
        Insert(text, &at);
        Send(MPM_EMPTYUNDO);
        Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 0);
    }
    void Caret(int line, int column) {
        Position p = {line, column};
        Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&p), 0);
    }
    void Select(int l0, int c0, int l1, int c1) {
        Position a = {l0, c0}, b = {l1, c1};
        SendP(MPM_SELECT, &a, &b);
    }
    // The selection as "l,c-l,c", or the caret as "l,c".
    std::string Selection() {
        Position a = {-1, -1}, b = {-1, -1};
        char s[64];
        if (SendP(MPM_GETSELRANGE, &a, &b)) {
            snprintf(s, sizeof s, "%d,%d-%d,%d", a.line, a.column, b.line, b.column);
        } else {
            const Position c = EditControl::Caret();
            snprintf(s, sizeof s, "%d,%d", c.line, c.column);
        }
        return s;
    }
    SearchOutcome Next(const std::wstring& pattern, int options = 0) {
        return finder_.FindNext(edit_, {pattern, L"", options});
    }
    SearchOutcome Previous(const std::wstring& pattern, int options = 0) {
        return finder_.FindPrevious(edit_, {pattern, L"", options});
    }
    // Every selection Find Next makes, in order, until it finds nothing.
    std::vector<std::string> Walk(const std::wstring& pattern, int options, bool backward = false) {
        std::vector<std::string> out;
        for (int i = 0; i < 200; ++i) {
            const SearchOutcome o = backward ? Previous(pattern, options) : Next(pattern, options);
            if (o.status != SearchStatus::kFound) break;
            out.push_back(Selection());
        }
        return out;
    }
    std::vector<std::wstring> List(const std::wstring& pattern, int options, SearchOutcome* outcome = nullptr) {
        std::vector<std::wstring> out;
        const SearchOutcome o =
            finder_.ListAll(edit_, L"C:\\doc.txt", {pattern, L"", options}, [&](const std::wstring& s) {
                out.push_back(s);
            });
        if (outcome) *outcome = o;
        return out;
    }

    CDocumentSearch finder_;
};

using Sel = std::vector<std::string>;

}  // namespace

TEST_F(DocumentSearch, FindNextWalksForwardAndStepsPastAMatchAtTheLineEnd) {
    SetText(L"abc\nxabc\nabc abc");
    EXPECT_EQ(Walk(L"abc", 0), (Sel{"0,0-0,3", "1,1-1,4", "2,0-2,3", "2,4-2,7"}));
    // Nothing more: the selection stays, there is no wrapping round.
    EXPECT_EQ(Next(L"abc").status, SearchStatus::kNotFound);
    EXPECT_EQ(Selection(), "2,4-2,7");

    // An empty match at a line's end is not found again: the caret steps on.
    SetText(L"ab\ncd\n");
    EXPECT_EQ(Walk(L"$", FIND_REGEX), (Sel{"0,2", "1,2", "2,0"}));
    // Each line is a text of its own: "^" is at every line's start.
    SetText(L"ab\ncd");
    EXPECT_EQ(Walk(L"^", FIND_REGEX), (Sel{"0,0", "1,0"}));
    Caret(0, 0);
    EXPECT_EQ(Walk(L"\\b", FIND_REGEX), (Sel{"0,0", "0,2", "1,0", "1,2"}));
}

TEST_F(DocumentSearch, FindNextStartsAfterTheSelectionAndFindPreviousBeforeIt) {
    SetText(L"one two one two one");
    Select(0, 4, 0, 11);  // "two one"
    EXPECT_EQ(Next(L"one").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,16-0,19");
    Select(0, 11, 0, 4);  // the same range selected leftwards
    EXPECT_EQ(Next(L"o").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,14-0,15");
    Select(0, 11, 0, 4);
    EXPECT_EQ(Previous(L"one").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,0-0,3");
    // From the caret when nothing is selected.
    Caret(0, 9);
    EXPECT_EQ(Next(L"ONE").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,16-0,19");
    EXPECT_EQ(Next(L"ONE", FIND_MATCH_CASE).status, SearchStatus::kNotFound);
}

TEST_F(DocumentSearch, FindPreviousWalksBackwardsAndStepsPastAMatchAtColumnZero) {
    SetText(L"abc abc\nabc\n\nab");
    Caret(3, 2);
    EXPECT_EQ(Walk(L"abc", 0, true), (Sel{"1,0-1,3", "0,4-0,7", "0,0-0,3"}));
    Caret(3, 2);
    EXPECT_EQ(Walk(L"^", FIND_REGEX | FIND_MATCH_CASE, true), (Sel{"3,0", "2,0", "1,0", "0,0"}));
    Caret(3, 2);
    EXPECT_EQ(Walk(L"c\\n", FIND_REGEX, true), (Sel{"1,2-2,0", "0,6-1,0"}));
}

TEST_F(DocumentSearch, AMatchTakingTheLineBreakEndsAtColumnZeroOfTheNextLine) {
    SetText(L"abc\nd\n\ne");
    EXPECT_EQ(Walk(L"c\\n", FIND_REGEX), (Sel{"0,2-1,0"}));
    // A match never reaches into the next line.
    Caret(0, 0);
    EXPECT_EQ(Walk(L"c\\nd", FIND_REGEX), Sel{});
    Caret(0, 0);
    // Each line break once, empty lines included; the last line has none.
    EXPECT_EQ(Walk(L"\\n", FIND_REGEX), (Sel{"0,3-1,0", "1,1-2,0", "2,0-3,0"}));
    Caret(0, 0);
    EXPECT_EQ(Walk(L"\\s", FIND_REGEX), (Sel{"0,3-1,0", "1,1-2,0", "2,0-3,0"}));
    Caret(0, 0);
    EXPECT_EQ(Walk(L"e$", FIND_REGEX), (Sel{"3,0-3,1"}));
}

TEST_F(DocumentSearch, WholeWordAcceptsAnUnderscoreBesideTheWord) {
    SetText(L"foo foo1 afoo foo_ _foo 9foo\nfoo");
    const std::vector<std::wstring> lines = List(L"foo", FIND_WHOLE_WORD);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 20), L"#<C:\\doc.txt>:(1,0):");
    EXPECT_EQ(lines[1].substr(0, 21), L"#<C:\\doc.txt>:(1,14):");
    EXPECT_EQ(lines[2].substr(0, 21), L"#<C:\\doc.txt>:(1,20):");
    EXPECT_EQ(lines[3], L"#<C:\\doc.txt>:(2,0):foo\n");
    EXPECT_EQ(Walk(L"foo", FIND_WHOLE_WORD), (Sel{"0,0-0,3", "0,14-0,17", "0,20-0,23", "1,0-1,3"}));
    // With a regular expression the option does not apply.
    Caret(0, 0);
    EXPECT_EQ(Walk(L"foo", FIND_WHOLE_WORD | FIND_REGEX).size(), 7u);
}

TEST_F(DocumentSearch, ListAllWritesOneLinePerMatchAndTheCount) {
    SetText(L"alpha beta\nno\n\tbeta, beta\n");
    SearchOutcome o;
    EXPECT_EQ(List(L"BETA", 0, &o), (std::vector<std::wstring>{
                                        L"#<C:\\doc.txt>:(1,6):alpha beta\n",
                                        L"#<C:\\doc.txt>:(3,1):\tbeta, beta\n",
                                        L"#<C:\\doc.txt>:(3,7):\tbeta, beta\n",
                                        L"3 occurrences were found!",
                                    }));
    EXPECT_EQ(o.status, SearchStatus::kFound);
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(List(L"gamma", 0, &o), (std::vector<std::wstring>{L"0 occurrences were found!"}));
    EXPECT_EQ(o.status, SearchStatus::kNotFound);
    // Empty matches are listed once per position and do not loop.
    EXPECT_EQ(List(L"$", FIND_REGEX, &o).size(), 5u);
    EXPECT_EQ(o.count, 4);
}

TEST_F(DocumentSearch, ReplaceAllDoublesEveryOccurrenceOnceInOneUndoStep) {
    const std::wstring original = L"banana\na\n\nAa";
    SetText(original);
    const SearchOutcome o = finder_.ReplaceAll(edit_, {L"a", L"aa", 0});
    EXPECT_EQ(o.status, SearchStatus::kFound);
    EXPECT_EQ(o.count, 6);
    EXPECT_EQ(All(), L"baanaanaa\naa\n\naaaa");
    // The control's redraw is back on (switching it off hides the window).
    EXPECT_TRUE(IsWindowVisible(edit_));
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), original);
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    Command(ECMD_REDO);
    EXPECT_EQ(All(), L"baanaanaa\naa\n\naaaa");

    // Matching case, whole words, and a pattern absent from the text.
    SetText(L"cat Cat cat_ cats");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"cat", L"dog", FIND_MATCH_CASE | FIND_WHOLE_WORD}).count, 2);
    EXPECT_EQ(All(), L"dog Cat dog_ cats");
    const SearchOutcome none = finder_.ReplaceAll(edit_, {L"zebra", L"x", 0});
    EXPECT_EQ(none.status, SearchStatus::kNotFound);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(Send(MPM_CANUNDO), 1);  // only the first replacement
}

TEST_F(DocumentSearch, ReplaceAllWithExpressionsExpandsTheTemplatePerMatch) {
    SetText(L"john@home, mary@work\nx");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"(\\w+)@(?<place>\\w+)", L"${place}:$1($12)", FIND_REGEX}).count, 2);
    EXPECT_EQ(All(), L"home:john(john2), work:mary(mary2)\nx");
    // Line breaks: matched (joining lines) and inserted by the escape step.
    SetText(L"a\nb\nc");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"\\n", L"+", FIND_REGEX}).count, 2);
    EXPECT_EQ(All(), L"a+b+c");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"\\+", L"\\n\\t\\\\\\", FIND_REGEX}).count, 2);
    EXPECT_EQ(All(), L"a\n\t\\b\n\t\\c");
    // A line end written as users of Windows write it: \r\n, \r?\n and \R;
    // an escaped backslash before r and a class stay what they were.
    for (const wchar_t* lineEnd : {L"\\r\\n", L"\\r?\\n", L"\\R", L"(?:\\r\\n)"}) {
        SetText(L"a\nb\nc");
        EXPECT_EQ(finder_.ReplaceAll(edit_, {lineEnd, L"\\r\\n-", FIND_REGEX}).count, 2) << lineEnd;
        EXPECT_EQ(All(), L"a\n-b\n-c") << lineEnd;
    }
    SetText(L"x\\r\ny");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"\\\\r\\n", L"+", FIND_REGEX}).count, 1);
    EXPECT_EQ(All(), L"x+y");
    // Empty matches: every position once, none after the line's end.
    SetText(L"ab\ncd");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"x*", L"-", FIND_REGEX}).count, 6);
    EXPECT_EQ(All(), L"-a-b-\n-c-d-");
    // "$`" and "$'" see the line the match is on, with its line break.
    SetText(L"ab");
    finder_.ReplaceAll(edit_, {L"b", L"[$`|$&]", FIND_REGEX});
    EXPECT_EQ(All(), L"a[a|b]");
}

TEST_F(DocumentSearch, ReplaceReplacesTheSelectedMatchAndSelectsTheNext) {
    SetText(L"cat cat\ncat");
    SearchOutcome o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.status, SearchStatus::kFound);
    EXPECT_EQ(All(), L"dog cat\ncat");
    EXPECT_EQ(Selection(), "0,4-0,7");
    o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(All(), L"dog dog\ncat");
    EXPECT_EQ(Selection(), "1,0-1,3");
    o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.status, SearchStatus::kNotFound);
    EXPECT_EQ(All(), L"dog dog\ndog");
    o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(o.count, 0);
    EXPECT_EQ(o.status, SearchStatus::kNotFound);
    // One undo step per replacement.
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"dog dog\ncat");

    // An expression expands against the matched text alone.
    SetText(L"x=1; y=22;");
    o = finder_.Replace(edit_, {L"(\\w)=(\\d+)", L"$2=$1 [$`$']", FIND_REGEX});
    EXPECT_EQ(All(), L"1=x []; y=22;");
    EXPECT_EQ(Selection(), "0,8-0,12");
    // A zero-width match at a line's end is replaced once, then the next.
    SetText(L"a\nb");
    finder_.Replace(edit_, {L"$", L"!", FIND_REGEX});
    finder_.Replace(edit_, {L"$", L"!", FIND_REGEX});
    EXPECT_EQ(All(), L"a!\nb!");
    // A read-only document is not changed.
    SetText(L"cat");
    Send(MPM_READONLY, 1);
    o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(o.count, 0);
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"cat", L"dog", 0}).count, 0);
    EXPECT_EQ(All(), L"cat");
    Send(MPM_READONLY, 0);
}

TEST_F(DocumentSearch, IncrementalSearchKeepsItsMatchAndWrapsOnce) {
    SetText(L"abc abd\nab");
    Caret(0, 2);
    EXPECT_EQ(finder_.FindIncremental(edit_, {L"ab", L"", 0}).status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,4-0,6");
    EXPECT_EQ(finder_.FindIncremental(edit_, {L"abd", L"", 0}).status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,4-0,7");
    EXPECT_EQ(finder_.FindIncremental(edit_, {L"abc", L"", 0}).status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,0-0,3");
    EXPECT_EQ(finder_.FindIncremental(edit_, {L"abx", L"", 0}).status, SearchStatus::kNotFound);
}

TEST_F(DocumentSearch, ARefusedPatternGivesTheEnginesError) {
    SetText(L"a(b");
    for (int op = 0; op < 5; ++op) {
        const SearchRequest r = {L"a(", L"x", FIND_REGEX};
        SearchOutcome o;
        if (op == 0) o = finder_.FindNext(edit_, r);
        if (op == 1) o = finder_.FindPrevious(edit_, r);
        if (op == 2) o = finder_.ReplaceAll(edit_, r);
        if (op == 3) o = finder_.ListAll(edit_, L"", r, [](const std::wstring&) { ADD_FAILURE(); });
        if (op == 4) o = HighlightAll(edit_, r.pattern, r.options);
        EXPECT_EQ(o.status, SearchStatus::kBadPattern) << op;
        EXPECT_FALSE(o.error.empty()) << op;
    }
    EXPECT_EQ(All(), L"a(b");
    // The same text as plain text is found.
    EXPECT_EQ(Next(L"a(").status, SearchStatus::kFound);
}

TEST_F(DocumentSearch, ACatastrophicPatternIsTooComplexOncePerOperation) {
    const std::wstring as(20000, L'a');
    SetText(as + L"\n" + as + L"\n" + as + L"\nab");
    finder_.SetBudget(2000000);
    const SearchRequest r = {L"(a*)*b(a*)*", L"x", FIND_REGEX};
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(finder_.FindNext(edit_, r).status, SearchStatus::kTooComplex);
    Caret(2, 5);
    EXPECT_EQ(finder_.FindPrevious(edit_, r).status, SearchStatus::kTooComplex);
    EXPECT_EQ(finder_.FindIncremental(edit_, r).status, SearchStatus::kTooComplex);
    const SearchOutcome all = finder_.ReplaceAll(edit_, r);
    EXPECT_EQ(all.status, SearchStatus::kTooComplex);
    EXPECT_EQ(all.count, 1);  // the last line's "ab", before the lines of a's
    EXPECT_EQ(Line(3), L"x");
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    int writes = 0;
    const SearchOutcome listed = finder_.ListAll(edit_, L"", r, [&](const std::wstring&) { ++writes; });
    EXPECT_EQ(listed.status, SearchStatus::kTooComplex);
    EXPECT_EQ(writes, 1);  // only the summary
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 10.0);
    // The whole budget is for one operation: the next one starts afresh.
    Caret(0, 0);
    EXPECT_EQ(finder_.FindNext(edit_, {L"a+", L"", FIND_REGEX}).status, SearchStatus::kFound);
    // The default budget ends it too.
    finder_.SetBudget(50000000);
    Caret(0, 0);
    EXPECT_EQ(finder_.FindNext(edit_, r).status, SearchStatus::kTooComplex);
}

TEST_F(DocumentSearch, ALongDocumentIsNotTooComplexForAnOrdinaryPattern) {
    std::wstring text;
    for (int i = 0; i < 2000; ++i) text += L"some ordinary line of text with words in it\n";
    SetText(text + L"target");
    finder_.SetBudget(1000);
    EXPECT_EQ(finder_.FindNext(edit_, {L"tar\\w+", L"", FIND_REGEX}).status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "2000,0-2000,6");
}

TEST_F(DocumentSearch, PlainAndRegexListTheSameNonAsciiMatches) {
    SetText(L"ΣΊΣΥΦΟΣ σίσυφος\nStraße STRASSE STRAẞE\nΌΣΟΣ");
    for (const std::wstring p : {L"σ", L"ΣΟΣ", L"ß", L"straße"}) {
        SearchOutcome a, b;
        EXPECT_EQ(List(p, 0, &a), List(p, FIND_REGEX, &b));
        EXPECT_GT(a.count, 0);
    }
    SearchOutcome o;
    List(L"σ", 0, &o);
    EXPECT_EQ(o.count, 8);
    List(L"ß", 0, &o);
    EXPECT_EQ(o.count, 2);
}

TEST_F(DocumentSearch, HighlightAllPaintsEveryMatchUntilCleared) {
    SetText(L"foo bar foo\nxfoo");
    const COLORREF* table = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE, 0));
    ASSERT_NE(table, nullptr);
    const COLORREF back = table[40];
    EXPECT_EQ(back, COLORREF(0x80FFFF));
    const int before = Capture(edit_).Count({0, 0, 600, 400}, back);
    EXPECT_EQ(HighlightAll(edit_, L"foo", 0).status, SearchStatus::kFound);
    UpdateWindow(edit_);
    const int all = Capture(edit_).Count({0, 0, 600, 400}, back) - before;
    // Nine characters' cells, give or take the cells' edges.
    EXPECT_GT(all, 9 * cw_ * (lh_ / 2));
    EXPECT_LE(all, 9 * cw_ * lh_);
    HighlightAll(edit_, L"foo", FIND_WHOLE_WORD);
    const int whole = Capture(edit_).Count({0, 0, 600, 400}, back) - before;
    EXPECT_EQ(whole * 3, all * 2);
    // The highlight follows edits.
    Command(ECMD_DOCEND);
    Insert(L" foo");
    EXPECT_EQ(Capture(edit_).Count({0, 0, 600, 400}, back) - before, whole * 3 / 2);
    ClearHighlight(edit_);
    EXPECT_EQ(Capture(edit_).Count({0, 0, 600, 400}, back), before);
    ClearHighlight(edit_);  // twice is harmless
    HighlightAll(edit_, L"bar", 0);
    HighlightAll(edit_, L"", 0);  // an empty pattern clears
    EXPECT_EQ(Capture(edit_).Count({0, 0, 600, 400}, back), before);

    // A successful find with the option highlights too.
    Caret(0, 0);
    EXPECT_EQ(Next(L"foo", FIND_HIGHLIGHT_ALL).status, SearchStatus::kFound);  // the others
    EXPECT_GT(Capture(edit_).Count({0, 0, 600, 400}, back), before);
    ClearHighlight(edit_);
}

TEST_F(DocumentSearch, AHighlightThatRunsOutOfBudgetStopsPainting) {
    SetText(std::wstring(3000, L'a') + L"\n" + std::wstring(3000, L'a'));
    EXPECT_EQ(HighlightAll(edit_, L"(a*)*b", FIND_REGEX).status, SearchStatus::kFound);
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) {
        InvalidateRect(edit_, nullptr, FALSE);
        UpdateWindow(edit_);
    }
    EXPECT_TRUE(HighlightGaveUp(edit_));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 3.0);
    HighlightAll(edit_, L"a{5}", FIND_REGEX);
    EXPECT_FALSE(HighlightGaveUp(edit_));
    ClearHighlight(edit_);
}

TEST_F(DocumentSearch, ADestroyedViewLeavesNoHighlighterBehind) {
    for (int round = 0; round < 3; ++round) {
        HWND other = Create(8);
        Position at = {0, 0};
        Insert(L"foo foo", &at, other);
        EXPECT_EQ(HighlightAll(other, L"foo", 0).status, SearchStatus::kFound);
        UpdateWindow(other);
        DestroyWindow(other);
        // A new view, perhaps with the same handle, starts without one and
        // gets its own when asked.
        HWND next = Create(9);
        Insert(L"foo", &at, next);
        EXPECT_EQ(HighlightAll(next, L"foo", 0).status, SearchStatus::kFound);
        UpdateWindow(next);
        ClearHighlight(next);
        DestroyWindow(next);
    }
    ClearHighlight(nullptr);
    EXPECT_EQ(HighlightAll(nullptr, L"foo", 0).status, SearchStatus::kNotFound);
}

TEST_F(DocumentSearch, AnEmptyOrAbsentPatternChangesNothing) {
    SetText(L"alpha");
    Select(0, 1, 0, 3);
    EXPECT_EQ(Next(L"").status, SearchStatus::kNotFound);
    EXPECT_EQ(Next(L"xyz").status, SearchStatus::kNotFound);
    EXPECT_EQ(Previous(L"zzz", FIND_REGEX).status, SearchStatus::kNotFound);
    EXPECT_EQ(Selection(), "0,1-0,3");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"", L"x", 0}).count, 0);
    EXPECT_EQ(All(), L"alpha");
}

// A file loaded in place is read many lines per message; a line longer than
// such a block is read alone. Both directions find the same.
TEST_F(DocumentSearch, LinesReadInBlocksAndAloneFindTheSame) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"mp_search_blocks.txt";
    std::string bytes;
    for (int i = 0; i < 70000; ++i) bytes += i % 1000 == 7 ? "a needle here\r\n" : "nothing to see\r\n";
    bytes += std::string(1500000, 'x') + "needle" + std::string(10, 'y') + "\r\n";
    bytes += "needle at the end";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(f);
    ASSERT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)), 1);
    SearchOutcome o;
    const std::vector<std::wstring> listed = List(L"needle", 0, &o);
    EXPECT_EQ(o.count, 72);
    ASSERT_EQ(listed.size(), 73u);
    EXPECT_EQ(listed[0], L"#<C:\\doc.txt>:(8,2):a needle here\n");
    EXPECT_EQ(listed[69], L"#<C:\\doc.txt>:(69008,2):a needle here\n");
    EXPECT_EQ(listed[70].substr(0, 28), L"#<C:\\doc.txt>:(70001,1500000");
    EXPECT_EQ(listed[71], L"#<C:\\doc.txt>:(70002,0):needle at the end\n");
    Caret(0, 0);
    const Sel forward = Walk(L"needle", 0);
    Command(ECMD_DOCEND);
    Sel backward = Walk(L"needle", 0, true);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward.size(), 72u);
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"needle", L"pin", FIND_REGEX}).count, 72);
    EXPECT_EQ(Line(7), L"a pin here");
    EXPECT_EQ(Line(70000).substr(1499998, 8), L"xxpinyyy");
    EXPECT_EQ(List(L"needle", 0, &o).size(), 1u);
    Send(MPM_CLOSEDOC);
    DeleteFileW(path.c_str());
}

namespace {
WNDPROC g_controlProc = nullptr;
int g_blockReads = 0;
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == MPM_GETLINES) ++g_blockReads;
    return CallWindowProcW(g_controlProc, h, m, w, l);
}
}  // namespace

// Reading backwards, a block ends at the line wanted even when the lines
// before it would fill more than one block: a few reads for the document,
// not one per line.
TEST_F(DocumentSearch, BackwardReadsNeedFewBlocks) {
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += std::wstring(399, wchar_t(L'a' + i % 26)) + L"\n";
    SetText(text + L"end");
    g_controlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
    g_blockReads = 0;
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"q", L"Q", FIND_MATCH_CASE}).count, 399 * 115);
    EXPECT_LT(g_blockReads, 12);
    g_blockReads = 0;
    Command(ECMD_DOCEND);
    EXPECT_EQ(Previous(L"xyz").status, SearchStatus::kNotFound);
    EXPECT_LT(g_blockReads, 12);
    g_blockReads = 0;
    Caret(0, 0);
    EXPECT_EQ(Next(L"xyz").status, SearchStatus::kNotFound);
    EXPECT_LT(g_blockReads, 6);
    SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_controlProc));
}

namespace {
LRESULT CALLBACK RefusingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == MPM_GETLINES) {
        ++g_blockReads;
        return 0;  // as a view that does not pass 1093 on
    }
    return CallWindowProcW(g_controlProc, h, m, w, l);
}
}  // namespace

// A view that does not answer 1093 is read line by line, and asked once or
// twice per operation.
TEST_F(DocumentSearch, AViewWithoutBlockReadsIsReadLineByLine) {
    std::wstring text;
    for (int i = 0; i < 500; ++i) text += i % 100 == 50 ? L"x needle\n" : L"hay\n";
    SetText(text);
    g_controlProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingProc)));
    g_blockReads = 0;
    SearchOutcome o;
    EXPECT_EQ(List(L"needle", 0, &o).size(), 6u);
    EXPECT_LE(g_blockReads, 1);
    g_blockReads = 0;
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"needle", L"pin", 0}).count, 5);
    EXPECT_LE(g_blockReads, 2);
    EXPECT_EQ(Line(450), L"x pin");
    SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_controlProc));
}

TEST_F(DocumentSearch, TheLastLineIsSearchedWithoutALineBreakItDoesNotHave) {
    // A pattern that could take the appended LF still finds its match within
    // the last line, as the highlighter does.
    SetText(L"x,y\na,b");
    EXPECT_EQ(Walk(L"[^,]+", FIND_REGEX), (Sel{"0,0-0,1", "0,2-1,0", "1,0-1,1", "1,2-1,3"}));
    SetText(L"a,b");
    EXPECT_EQ(finder_.ReplaceAll(edit_, {L"[^,]+", L"X", FIND_REGEX}).count, 2);
    EXPECT_EQ(All(), L"X,X");
    SetText(L"end  ");
    std::vector<std::wstring> lines = List(L"\\s+", FIND_REGEX);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind(L"#<C:\\doc.txt>:(1,3):", 0), 0u) << lines[0];
}

TEST_F(DocumentSearch, ReplaceThatChangesNothingMovesOnToTheNextMatch) {
    SetText(L"cat cat");
    Send(MPM_READONLY, 1);
    SearchOutcome o = finder_.Replace(edit_, {L"cat", L"dog", 0});
    EXPECT_EQ(o.count, 0);
    EXPECT_EQ(Selection(), "0,4-0,7");
    Send(MPM_READONLY, 0);
    // An empty match replaced by nothing: the next one, not the same again.
    SetText(L"a\nb\nc");
    finder_.Replace(edit_, {L"^", L"", FIND_REGEX});
    const std::string first = Selection();
    finder_.Replace(edit_, {L"^", L"", FIND_REGEX});
    EXPECT_NE(Selection(), first);
}

TEST_F(DocumentSearch, TheEndOfTheLastMatchBelongsToItsView) {
    // Another view whose caret happens to sit where the last match ended in
    // the first one starts its search right there.
    SetText(L"ab\nab");
    EXPECT_EQ(Next(L"b").status, SearchStatus::kFound);
    EXPECT_EQ(Selection(), "0,1-0,2");
    const HWND other = CreateWindowExW(0, L"MRPAD32", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, GetParent(edit_),
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    Position at = {0, 0};
    TextArg text = {L"xy\n", 3};
    SendMessageW(other, MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&at), reinterpret_cast<LPARAM>(&text));
    Position caret = {0, 2};
    SendMessageW(other, MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 0);
    // "$" at (0,2) in the other view is found, not stepped over.
    EXPECT_EQ(finder_.FindNext(other, {L"$", L"", FIND_REGEX}).status, SearchStatus::kFound);
    Position a = {-1, -1}, b = {-1, -1};
    SendMessageW(other, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    Position c = {-1, -1};
    SendMessageW(other, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&c), 0);
    EXPECT_EQ(c.line, 0);
    EXPECT_EQ(c.column, 2);
    DestroyWindow(other);
}
