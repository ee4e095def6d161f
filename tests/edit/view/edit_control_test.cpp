// Drives Edit.dll the way the program does: controls created by class name in
// a real window, spoken to only through window messages.
#include <iterator>
#include <string>

#include "EditHarness.h"
#include "TempDir.h"

namespace {

// Every message of the protocol's list, with what it needs and takes.
struct Listed {
    UINT msg;
    const char* name;
    bool needsDocument;
    MessageArg w, l;
};
constexpr Listed kListed[] = {
#define MRPAD_LISTED(name, number, needs, w, l) \
    {name, #name, MessageNeeds::needs == MessageNeeds::Doc, MessageArg::w, MessageArg::l},
    MRPAD_MESSAGES(MRPAD_LISTED)
#undef MRPAD_LISTED
};
constexpr bool EachOnceInOrder() {
    for (size_t i = 1; i < std::size(kListed); ++i)
        if (kListed[i].msg <= kListed[i - 1].msg) return false;
    return kListed[std::size(kListed) - 1].msg == MPM_LAST;
}
static_assert(EachOnceInOrder(), "each number once, in order, the last MPM_LAST");

struct TestLexer : ILexer {
    // End state: 1 inside an open '"' string, else 0. Styles: 3 in strings.
    int LineState(int, const wchar_t* t, int n, int prev, unsigned short* styles) override {
        int in = prev;
        for (int i = 0; i < n; ++i) {
            if (t[i] == L'"') in = !in;
            if (styles) styles[i] = static_cast<unsigned short>(in || t[i] == L'"' ? 3 : 1);
        }
        return in;
    }
    const wchar_t* Name() override { return L"test"; }
    int FoldLevel(int, const wchar_t*, int, int, int, int, unsigned short*) override { return -1; }
};

struct NoHighlight : IHighlighter {
    int Highlight(int, const wchar_t*, int, unsigned short*) override { return 0; }
};

}  // namespace

TEST(EditLibrary, LoadingRegistersTheClassAndUnloadingRemovesIt) {
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    ASSERT_NE(lib, nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExW(lib, MRPAD_CLASS_NAME, &wc));
    EXPECT_EQ(wc.style, UINT(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), MRPAD_CLASS_NAME, &wc));
    EXPECT_EQ(GetModuleHandleW(MRPAD_LIBRARY_NAME), nullptr);
}

// Queries and settings, each a message and the answer expected, in order.
TEST_F(EditControl, ANewControlAndItsSettings) {
    NoHighlight h1, h2;
    const WPARAM w1 = reinterpret_cast<WPARAM>(&h1), w2 = reinterpret_cast<WPARAM>(&h2);
    COLORREF table[COLOR_TABLE_ENTRIES] = {};
    const LRESULT own = Send(MPM_COLORTABLE, 0), host = reinterpret_cast<LRESULT>(table);
    EXPECT_EQ(reinterpret_cast<const COLORREF*>(own)[12], COLORREF(0xFFFF80));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), L"");
    Script(L"|",
           {Msg(MPM_GETLINECOUNT, 0, 0, 1), Msg(MPM_GETLINE, 0, 0, 0), Msg(MPM_GETLINEPTR, 0, 0, 0),
            Msg(MPM_GETLINE, 1, 0, 0), Msg(MPM_GETLINE, 0x80000000u, 0, 0), Msg(MPM_CANUNDO, 0, 0, 0),
            Msg(MPM_CANREDO, 0, 0, 0), Msg(MPM_ISMODIFIED, 0, 0, 0), Msg(MPM_LINEBREAKTYPE, 0, 0, LB_CRLF),
            Msg(MPM_GETSELKIND, 0, 0, 0), Msg(MPM_GETLEXER, 0, 0, 0), Msg(MPM_RECORDING, 5, 0, 1),
            Msg(MPM_READONLY, 5, 0, 0), Msg(1072, 1, 1, 0), Msg(WM_COMMAND, 37, 0, 0),
            Msg(MPM_TABWIDTH, 0, 0, 4), Msg(MPM_TABWIDTH, 1, 0, 4), Msg(MPM_TABWIDTH, 40, 0, 16),
            Msg(MPM_TABWIDTH, 8, 0, 8), Msg(MPM_SOFTTABS, WPARAM(-1), 0, 0), Msg(MPM_SOFTTABS, 1, 0, 1),
            Msg(MPM_SOFTTABS, WPARAM(-1), 0, 1), Msg(MPM_FREEZECARET, 1, 0, 1), Msg(MPM_FREEZECARET, 2, 0, 1),
            Msg(MPM_FREEZECARET, 0, 0, 0), Msg(MPM_NOP1045, 1, 1, 0), Msg(MPM_NOP1048, 1, 1, 0),
            Msg(MPM_NOP1070, 1, 1, 0),
            // Highlighters are added once and removed; the host's colour table is used where it lies.
            Msg(MPM_HIGHLIGHTER, w1, 1, 0), Msg(MPM_HIGHLIGHTER, w1, 1, 0), Msg(MPM_HIGHLIGHTER, w1, 2, 1),
            Msg(MPM_HIGHLIGHTER, w2, 2, 0), Msg(MPM_HIGHLIGHTER, w1, 0, 0), Msg(MPM_HIGHLIGHTER, w1, 2, 0),
            Msg(MPM_COLORTABLE, 0, 0, own), Msg(MPM_COLORTABLE, WPARAM(host), 0, host),
            Msg(MPM_COLORTABLE, 0, 0, host)});
    wchar_t caption[32] = {};
    GetWindowTextW(edit_, caption, 32);
    EXPECT_EQ(std::wstring(caption), L"caption") << "unhandled messages reach the default procedure";
}

// Numbers between the protocol's messages reach the default procedure.
TEST_F(EditControl, NumbersOutsideTheListAreNotAnswered) {
    for (UINT n = MPM_CANUNDO; n <= MPM_LAST + 8; ++n)
        if (std::none_of(std::begin(kListed), std::end(kListed),
                         [&](const Listed& m) { return m.msg == n; })) {
            EXPECT_EQ(Send(n, 1, 1), 0) << n;
        }
}

// Every message of the list, with null pointers and values out of any range,
// on a control with a document and on one without: a defined answer, no
// crash. Without a document what needs one answers 0 (the line count 1);
// given null, what takes a pointer answers 0, except the colour table (the
// table in use), 1029 (the document) and 1037 (the line's length); a line
// out of range (the text has two) answers 0.
TEST_F(EditControl, EveryListedMessageTakesBadArgumentsWithADefinedAnswer) {
    const WPARAM odd[] = {0, 1, 2, WPARAM(-1), 0x80000000u, 0x7FFFFFFF, 1000000};
    for (const bool withDocument : {true, false}) {
        SCOPED_TRACE(withDocument ? "with a document" : "without a document");
        HWND h = Create(20 + withDocument);
        Insert(L"some\ntext", nullptr, h);
        if (!withDocument) Send(MPM_CLOSEDOC, 0, 0, h);
        for (const Listed& m : kListed) {
            if (withDocument && (m.msg == MPM_SHAREDOC || m.msg == MPM_CLOSEDOC)) continue;
            const bool nullAnswersZero = (m.w == MessageArg::Ptr || m.l == MessageArg::Ptr) &&
                                         m.msg != MPM_COLORTABLE && m.msg != MPM_SHAREDOC &&
                                         m.msg != MPM_GETLINE;
            for (WPARAM v : odd) {
                // The null path of 1097 means the temporary folder: it is given one that is not there.
                const WPARAM w = m.w == MessageArg::Value   ? v
                                 : m.msg == MPM_RECOVERFILE ? reinterpret_cast<WPARAM>(L"Z:\\no\\such.txt")
                                                            : 0;
                const LRESULT r = Send(m.msg, w, m.l == MessageArg::Value ? LPARAM(v) : 0, h);
                if (m.msg == MPM_GETWORDATCARET || m.msg == MPM_GETSELTEXT)
                    GlobalFree(reinterpret_cast<HGLOBAL>(r));
                const bool lineOutOfRange =
                    v > 1 && (m.msg == MPM_GETLINE || m.msg == MPM_GETLINEPTR || m.msg == MPM_GETCHARAT);
                if (!withDocument && m.needsDocument) {
                    EXPECT_EQ(r, m.msg == MPM_GETLINECOUNT) << m.name << " " << v;
                } else if (nullAnswersZero || lineOutOfRange) {
                    EXPECT_EQ(r, 0) << m.name << " " << v;
                }
            }
        }
        SendMessageW(h, MPM_UNDOGROUP, 0, 0);  // the groups are the process's
        for (int i = 0; i < 16; ++i) SendMessageW(h, MPM_HOLDGROUP, 0, 0);
        for (int id = 1; id <= ECMD_LAST; ++id)
            if (id != ECMD_COPY && id != ECMD_CUT && id != ECMD_PASTE && id != ECMD_PASTEINDENT)
                Command(id, h);
        Send(MPM_READONLY, 0, 0, h);
        EXPECT_EQ(Insert(L"x", nullptr, h), withDocument ? 1 : 0) << "the control still edits";
        DestroyWindow(h);
    }
}

TEST_F(EditControl, InsertReadAndNotify) {
    Position at = {0, 0};
    EXPECT_EQ(Insert(L"alpha\r\nbeta\ngamma", &at), 1);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 3);
    EXPECT_EQ(Line(0), L"alpha");
    EXPECT_EQ(Line(2), L"gamma");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETLINEPTR, 1))), L"beta");
    EXPECT_EQ(Send(MPM_GETCHARAT, 1, 3), L'a');
    EXPECT_EQ(Send(MPM_GETCHARAT, 1, 4), 0) << "the column equal to the length";
    EXPECT_EQ(Caret(), (Position{2, 5}));
    // One text-changed notice with the edit's positions.
    auto changed = std::find_if(g_notices.rbegin(), g_notices.rend(),
                                [](const Notice& x) { return x.code == EN_MP_TEXTCHANGED; });
    ASSERT_NE(changed, g_notices.rend());
    EXPECT_EQ(changed->from, edit_);
    EXPECT_EQ(changed->id, 7u);
    EXPECT_EQ((std::vector<Position>{changed->a, changed->b, changed->c}),
              (std::vector<Position>{{0, 0}, {0, 0}, {2, 5}}));
    // An empty text and a missing argument insert nothing.
    EXPECT_EQ(Insert(L""), 0);
    TextArg zero = {L"abc", 0}, terminated = {L"!", -1};
    EXPECT_EQ(SendP(MPM_INSERTTEXT, (Position*)nullptr, &zero), 0);
    Position end = {99, 99};  // clamped to the end
    EXPECT_EQ(SendP(MPM_INSERTTEXT, &end, &terminated), 1);
    EXPECT_EQ(Line(2), L"gamma!");
}

TEST_F(EditControl, RangesAreClampedAndOrdered) {
    Insert(L"one\ntwo\nthree");
    RangeTextArg fwd = {0, 1, 2, 2, nullptr, 0}, back = {2, 2, 0, 1, nullptr, 0},
                 empty = {1, 1, 1, 1, nullptr, 0};
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &fwd), 2 + 2 + 3 + 2 + 2);
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &back), 11);
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &empty), 0);
    wchar_t buf[16] = {};
    back.buffer = buf;
    back.lineBreak = LB_CR;
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &back), 0);
    EXPECT_EQ(std::wstring(buf), L"ne\rtwo\rth");
    // Delete in either order; equal positions only move the caret.
    Position a = {2, 99}, b = {1, 1}, c = {0, 2};
    EXPECT_EQ(SendP(MPM_DELETERANGE, &a, &b), 1);
    EXPECT_EQ(All(), L"one\nt");
    EXPECT_EQ(SendP(MPM_DELETERANGE, &c, &c), 0);
    EXPECT_EQ(Caret(), c);
    EXPECT_EQ(SendP(MPM_DELETERANGE, &c, (Position*)nullptr), 0);
    // A range replaced by text in one command: clamped and ordered, one undo
    // step; null text only with no length.
    SetState(L"|one\ntwo\nthree");
    const struct {
        ReplaceRangeArg arg;
        LRESULT answer;
        const wchar_t* after;
    } replaces[] = {
        {{{2, 2}, {0, 1}, L"X\nY", 3}, 1, L"oX\nYree"}, {{{2, 99}, {9, 9}, L"!", -1}, 1, L"oX\nYree!"},
        {{{0, 0}, {1, 0}, nullptr, 0}, 1, L"Yree!"},    {{{0, 0}, {0, 1}, nullptr, 5}, 0, L"Yree!"},
        {{{0, 1}, {0, 1}, L"", 0}, 0, L"Yree!"},
    };
    for (const auto& r : replaces) {
        EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &r.arg), r.answer);
        EXPECT_EQ(All(), r.after);
    }
    for (int i = 0; i < 3; ++i) Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"one\ntwo\nthree");
}

// Ranges replaced in one message (1101): text, caret and selection as after
// the ranges replaced one by one from the last (1100, on a second control),
// told as one change of the span from the first start to the last end; one
// undo gives the text back unit for unit, redo the result again. A list with
// a range out of order, overlapping, past the text or with a null text
// changes nothing; so does a list that would change nothing.
TEST_F(EditControl, RangesReplacedInOnePass) {
    struct R {
        int sl, sc, el, ec;
        const wchar_t* text;
        int length = -1;
    };
    const struct {
        const wchar_t* before;
        std::vector<R> ranges;
        LRESULT answer;
        const wchar_t* after;  // marked; a refused list: as before
    } cases[] = {
        // Several on one line, one removing, an empty one inserting.
        {L"cat cat cat|", {{0, 0, 0, 3, L"dog"}, {0, 4, 0, 7, L""}, {0, 8, 0, 8, L"<"}}, 1, L"dog  <cat|"},
        // One removes a line break, the next adds two (CR LF and LF).
        {L"ab\ncd\nef|", {{0, 1, 1, 1, L"-"}, {2, 0, 2, 1, L"x\r\ny\nz"}}, 1, L"a-d\nx\ny\nzf|"},
        // The selection's end where a range ends: at its replacement's end.
        {L"[one two]| three", {{0, 4, 0, 7, L"2"}, {0, 8, 0, 13, L"3"}}, 1, L"[one 2]| 3"},
        // A CR at the end of one text and an LF at the start of the next,
        // ranges touching: two line breaks, not one.
        {L"ab", {{0, 0, 0, 1, L"\r"}, {0, 1, 0, 2, L"\n"}}, 1, L"|\n\n"},
        // The caret inside a range goes to its start.
        {L"abc|def", {{0, 2, 0, 4, L"XY\nZ"}, {0, 5, 0, 6, L""}}, 1, L"ab|XY\nZe"},
        // Whole lines go; the caret on a later line keeps its place.
        {L"a\nb\nc\nd|", {{0, 1, 1, 1, L""}, {2, 0, 3, 0, L""}}, 1, L"a\nd|"},
        // Two insertions at one place, in the order given, and one at the end
        // of the text where the caret is: the caret after it.
        {L"xy|", {{0, 1, 0, 1, L"1"}, {0, 1, 0, 1, L"2"}, {0, 2, 0, 2, L"3"}}, 1, L"x12y3|"},
        // A text given by its length, longer than what it gives.
        {L"|a\nb", {{0, 0, 1, 1, L"pqrs", 3}}, 1, L"|pqr"},
        // Refused: out of order, overlapping, backwards, a line or a column
        // past the text, a negative column, a null text with a length, a bad
        // range after good ones; nothing that would change.
        {L"ab|cdef", {{0, 4, 0, 5, L"x"}, {0, 0, 0, 1, L"y"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 3, L"x"}, {0, 2, 0, 4, L"y"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 3, 0, 1, L"x"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 1, L"x"}, {1, 0, 1, 0, L"y"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 7, L"x"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, -1, 0, 1, L"x"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 1, nullptr, 2}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 1, L"x", -2}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 0, 0, 1, L"x"}, {0, 2, 0, 2, L"y"}, {0, 6, 0, 9, L"z"}}, 0, L"ab|cdef"},
        {L"ab|cdef", {{0, 1, 0, 1, L""}, {0, 3, 0, 3, nullptr, 0}}, 0, L"ab|cdef"},
    };
    const HWND oracle = Create(9);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case #" << (&c - cases));
        SetState(c.before);
        const std::wstring before = All();
        std::vector<ReplaceRangeArg> args;
        for (const R& r : c.ranges) args.push_back({{r.sl, r.sc}, {r.el, r.ec}, r.text, r.length});
        g_notices.clear();
        EXPECT_EQ(Send(MPM_REPLACERANGES, args.size(), reinterpret_cast<LPARAM>(args.data())), c.answer);
        EXPECT_EQ(State(), c.after);
        const auto changes = std::count_if(g_notices.begin(), g_notices.end(), [&](const Notice& n) {
            return n.from == edit_ && n.code == EN_MP_TEXTCHANGED;
        });
        EXPECT_EQ(changes, c.answer ? 1 : 0);
        if (!c.answer) {
            EXPECT_EQ(Send(MPM_CANUNDO), 0);
            continue;
        }
        const Notice told = *std::find_if(g_notices.begin(), g_notices.end(),
                                          [](const Notice& n) { return n.code == EN_MP_TEXTCHANGED; });
        EXPECT_EQ(told.a, (Position{c.ranges.front().sl, c.ranges.front().sc}));
        EXPECT_EQ(told.b, (Position{c.ranges.back().el, c.ranges.back().ec}));
        // The same ranges one by one, from the last.
        testing_support::SetState(oracle, c.before);
        for (auto it = args.rbegin(); it != args.rend(); ++it)
            SendMessageW(oracle, MPM_REPLACERANGE, 0, reinterpret_cast<LPARAM>(&*it));
        EXPECT_EQ(State(), testing_support::State(oracle));
        const std::wstring after = All();
        Command(ECMD_UNDO);
        EXPECT_EQ(All(), before);
        EXPECT_EQ(Send(MPM_CANUNDO), 0) << "more than one undo step";
        Command(ECMD_REDO);
        EXPECT_EQ(All(), after);
        Command(ECMD_UNDO);
        EXPECT_EQ(All(), before);
    }
    // No list, an empty one; a read-only document.
    SetState(L"ab|c");
    ReplaceRangeArg one = {{0, 0}, {0, 1}, L"x", 1};
    EXPECT_EQ(Send(MPM_REPLACERANGES, 3, 0), 0);
    EXPECT_EQ(Send(MPM_REPLACERANGES, 0, reinterpret_cast<LPARAM>(&one)), 0);
    Send(MPM_READONLY, 1);
    EXPECT_EQ(Send(MPM_REPLACERANGES, 1, reinterpret_cast<LPARAM>(&one)), 0);
    Send(MPM_READONLY, 0);
    EXPECT_EQ(State(), L"ab|c");
    // A line made anew from lines keeps the first one's marks, a line made
    // from itself its own; both are marked changed.
    SetState(L"ab\ncd\nef\ngh");
    for (int line = 0; line < 4; ++line) {
        LineAttrArg unchanged = {LA_CHANGED, 0}, bookmark = {LA_BOOKMARK, line != 1};
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &unchanged);
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &bookmark);
    }
    const ReplaceRangeArg marks[] = {{{0, 1}, {1, 1}, L"-", 1}, {{2, 0}, {2, 1}, L"X", 1}};
    EXPECT_EQ(Send(MPM_REPLACERANGES, 2, reinterpret_cast<LPARAM>(marks)), 1);
    EXPECT_EQ(All(), L"a-d\nXf\ngh");
    const auto attr = [&](int line, int kind) {
        LineAttrArg a = {kind, -1};
        SendP(MPM_GETLINEATTR, (void*)(INT_PTR)line, &a);
        return a.value;
    };
    EXPECT_EQ((std::vector<int>{attr(0, LA_BOOKMARK), attr(1, LA_BOOKMARK), attr(2, LA_BOOKMARK)}),
              (std::vector<int>{1, 1, 1}));
    EXPECT_EQ((std::vector<int>{attr(0, LA_CHANGED), attr(1, LA_CHANGED), attr(2, LA_CHANGED)}),
              (std::vector<int>{1, 1, 0}));
    // Lines after the first one changed are lexed again: a string opened on
    // the second of them reaches the third.
    TestLexer lexer;
    SetState(L"a\nb\nc\nd");
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    Position third = {2, 0};
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &third), 1);
    const ReplaceRangeArg quote[] = {
        {{0, 0}, {0, 1}, L"x", 1}, {{1, 0}, {1, 1}, L"\"", 1}, {{3, 0}, {3, 1}, L"y", 1}};
    EXPECT_EQ(Send(MPM_REPLACERANGES, 3, reinterpret_cast<LPARAM>(quote)), 1);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &third), 3);
    Send(MPM_SETLEXER, 0, 0);
}

// Ranges on the lines of a file not yet converted (a code page of one byte
// per character and one of several): runs of lines and lines alone, each
// changed as a line of the text would be, and undone to the file's text.
TEST_F(EditControl, RangesReplacedOnLinesOfAFile) {
    const TempDir dir(L"mpr");
    const std::wstring path = dir / L"lines.txt";
    std::string bytes;
    std::wstring text;
    std::vector<ReplaceRangeArg> ranges;
    const std::wstring after = [&] {
        std::wstring out;
        for (int i = 0; i < 3000; ++i) {
            const std::string line = std::to_string(i) + " caf\xE9 " + std::string(size_t(i % 7), 'z');
            bytes += line + "\r\n";
            const std::wstring wide = std::to_wstring(i) + L" caf\u00E9 " + std::wstring(size_t(i % 7), L'z');
            text += wide + L"\n";
            // Lines 100 to 1999 and every 97th: the word after the number.
            const bool changed = (i >= 100 && i < 2000) || i % 97 == 0;
            const int at = int(std::to_wstring(i).size()) + 1;
            if (changed) ranges.push_back({{i, at}, {i, at + 4}, L"tea", 3});
            out +=
                (changed ? std::to_wstring(i) + L" tea " + std::wstring(size_t(i % 7), L'z') : wide) + L"\n";
        }
        return out;
    }();
    WriteBytes(path, bytes);
    for (const UINT message : {MPM_LOADFILE, MPM_LOADINPLACE}) {
        SCOPED_TRACE(message);
        ASSERT_EQ(Send(message, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)), 1);
        ASSERT_EQ(All(), text);
        EXPECT_EQ(Send(MPM_REPLACERANGES, ranges.size(), reinterpret_cast<LPARAM>(ranges.data())), 1);
        EXPECT_TRUE(All() == after) << "line 150: " << testing::PrintToString(Line(150));
        Command(ECMD_UNDO);
        EXPECT_TRUE(All() == text);
        Command(ECMD_REDO);
        EXPECT_TRUE(All() == after);
    }
    Send(MPM_CLOSEDOC);  // the file is let go before its folder goes
}

// The undo of a compound replacement of many lines is told as it goes and
// stops when the parent says so, between lines: the lines above the stop
// are back, those below still replaced (each replacement added a line), and
// the next undo does the rest; redo gives the result again.
namespace {
WNDPROC g_parentProc = nullptr;
int g_toldTotal = 0;  // the total of the last progress told
LRESULT CALLBACK StoppingParent(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY && reinterpret_cast<const NMHDR*>(l)->code == EN_MP_PROGRESS) {
        const auto* p = reinterpret_cast<const ProgressNotify*>(l);
        if (p->done >= 0) g_toldTotal = p->total;
        return p->done >= 0;
    }
    return CallWindowProcW(g_parentProc, h, m, w, l);
}
}  // namespace

TEST_F(EditControl, AStoppedUndoOfRangesReplacedLeavesTheRestForTheNext) {
    constexpr int kLines = 600;
    std::wstring before, after;
    std::vector<ReplaceRangeArg> ranges;
    for (int i = 0; i < kLines; ++i) {
        before += L"a" + std::to_wstring(i) + L"\n";
        after += L"x\ny" + std::to_wstring(i) + L"\n";
        ranges.push_back({{i, 0}, {i, 1}, L"x\ny", 3});
    }
    SetState(before);
    ASSERT_EQ(Send(MPM_REPLACERANGES, ranges.size(), reinterpret_cast<LPARAM>(ranges.data())), 1);
    ASSERT_EQ(All(), after);
    g_parentProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(&StoppingParent)));
    Command(ECMD_UNDO);
    SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(g_parentProc));
    const std::wstring half = All();
    EXPECT_EQ(g_toldTotal, kLines) << "the work told is the ranges";
    // Stopped at the first tell, after 255 ranges.
    const size_t cut = before.find(L"a255\n");
    ASSERT_NE(cut, std::wstring::npos);
    EXPECT_EQ(half.substr(0, cut), before.substr(0, cut));
    EXPECT_EQ(half.substr(cut), after.substr(after.find(L"x\ny255\n")));
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    EXPECT_EQ(Send(MPM_CANREDO), 1);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), before);
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    // A redo stopped likewise (its step keeps the one text the ranges share
    // once), then done.
    SetState(before);
    ASSERT_EQ(Send(MPM_REPLACERANGES, ranges.size(), reinterpret_cast<LPARAM>(ranges.data())), 1);
    Command(ECMD_UNDO);
    ASSERT_EQ(All(), before);
    g_parentProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(&StoppingParent)));
    Command(ECMD_REDO);
    SetWindowLongPtrW(parent_, GWLP_WNDPROC, LONG_PTR(g_parentProc));
    const std::wstring partly = All();
    EXPECT_EQ(partly.substr(0, after.find(L"x\ny255\n")), after.substr(0, after.find(L"x\ny255\n")));
    EXPECT_EQ(partly.substr(after.find(L"x\ny255\n")), before.substr(cut));
    EXPECT_EQ(Send(MPM_CANREDO), 1);
    Command(ECMD_REDO);
    EXPECT_EQ(All(), after);
    EXPECT_EQ(Send(MPM_CANREDO), 0);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), before);
}

// Undo and redo by command, in groups (1062) and in a held group (1094, a
// macro being played), which takes every edit until it is released,
// whatever groups the edits open and close inside it. A group of more than
// ten edits comes back in one step too, and redrawing is switched back on.
TEST_F(EditControl, UndoRedoThroughCommandsAndGroups) {
    Script(L"|", {Ins(L"a"),
                  Ins(L"b"),
                  Ins(L"c"),
                  Cmd(ECMD_UNDO),
                  Is(L"ab|"),
                  Msg(MPM_CANREDO, 0, 0, 1),
                  Cmd(ECMD_REDO),
                  Is(L"abc|"),
                  Msg(MPM_UNDOGROUP, 1),
                  Ins(L"\nxyz"),
                  Del({0, 0}, {0, 1}),
                  Msg(MPM_UNDOGROUP, 0),
                  Cmd(ECMD_UNDO),
                  Is(L"abc|"),
                  Cmd(ECMD_REDO),
                  Is(L"bc\nxyz|"),
                  Cmd(ECMD_UNDO),
                  Go(0, 3),
                  Ins(L"!"),
                  Msg(MPM_CANREDO, 0, 0, 0)});
    Send(MPM_UNDOGROUP, 1);
    for (int i = 0; i < 12; ++i) Insert(L"#");
    Send(MPM_UNDOGROUP, 0);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"abc!");
    EXPECT_TRUE(GetWindowLongW(edit_, GWL_STYLE) & WS_VISIBLE);
    // In a hold: one end too many, a begin never ended, a macro run inside
    // the macro; then a release without a hold.
    Script(L"x|", {Msg(MPM_HOLDGROUP, 1, 0, 0),
                   Ins(L"a"),
                   Msg(MPM_UNDOGROUP, 1),
                   Ins(L"b"),
                   Msg(MPM_UNDOGROUP, 0),
                   Ins(L"c"),
                   Msg(MPM_UNDOGROUP, 0),
                   Ins(L"d"),
                   Msg(MPM_UNDOGROUP, 1),
                   Msg(MPM_HOLDGROUP, 1),
                   Ins(L"e"),
                   Msg(MPM_HOLDGROUP, 0),
                   Ins(L"f"),
                   Msg(MPM_HOLDGROUP, 0),
                   Ins(L"g"),
                   Cmd(ECMD_UNDO),
                   Is(L"xabcdef|"),
                   Cmd(ECMD_UNDO),
                   Is(L"x|"),
                   Msg(MPM_HOLDGROUP, 0),
                   Ins(L"1"),
                   Ins(L"2"),
                   Cmd(ECMD_UNDO),
                   Is(L"x1|")});
    EXPECT_TRUE(GetWindowLongW(edit_, GWL_STYLE) & WS_VISIBLE);
}

// What is saved changes with the line breaks, the mark and the code page;
// with recording off edits leave no history; a read-only document refuses
// edits by message.
TEST_F(EditControl, SavePointLineBreaksAndRecording) {
    Script(L"|", {Msg(MPM_LINEBREAKTYPE, 5, 0, LB_CRLF),
                  Msg(MPM_ISMODIFIED, 0, 0, 0),
                  Msg(MPM_LINEBREAKTYPE, 2, 0, LB_LF),
                  Msg(MPM_ISMODIFIED, 0, 0, 1),
                  Msg(MPM_EMPTYUNDO),
                  Msg(MPM_ISMODIFIED, 0, 0, 0),
                  Msg(MPM_BOM, 7, 0, 0),
                  Msg(MPM_BOM, 1, 0, 1),
                  Msg(MPM_ISMODIFIED, 0, 0, 1),
                  Msg(MPM_EMPTYUNDO),
                  Msg(MPM_CODEPAGE, WPARAM(-1), 0, 0),
                  Msg(MPM_CODEPAGE, 65001, 0, 65001),
                  Msg(MPM_GETCODEPAGE, 0, 0, 65001),
                  Msg(MPM_ISMODIFIED, 0, 0, 1),
                  Msg(MPM_EMPTYUNDO),
                  Msg(MPM_RECORDING, 0, 0, 0),
                  Ins(L"text"),
                  Msg(MPM_CANUNDO, 0, 0, 0),
                  Msg(MPM_RECORDING, 1, 0, 1),
                  Ins(L"!"),
                  Msg(MPM_CANUNDO, 0, 0, 1),
                  Msg(MPM_EMPTYUNDO),
                  Msg(MPM_CANUNDO, 0, 0, 0),
                  Msg(MPM_ISMODIFIED, 0, 0, 0),
                  Msg(MPM_READONLY, 1, 0, 1),
                  Ins(L"x", 0),
                  Del({0, 0}, {0, 2}, 0),
                  Cmd(ECMD_UNDO),
                  Is(L"text!|")});
}

TEST_F(EditControl, CaretAndSelection) {
    Insert(L"first line\nsecond\nthird");
    // Line 1-based; the same line keeps the caret, out of range is clamped.
    const struct {
        WPARAM line;
        Position caret;
    } gotos[] = {{0, {0, 0}}, {2, {1, 3}}, {99, {2, 0}}, {1, {0, 0}}};
    for (const auto& g : gotos) {
        SetCaret(edit_, 1, 3);
        Send(MPM_GOTOLINE, g.line);
        EXPECT_EQ(Caret(), g.caret) << g.line;
    }
    // A line out of sight comes to the middle of the window, not its edge.
    Insert(Joined(500, [](int) { return L"line\n"; }));
    const int rows = int(Capture::Client(edit_).bottom / Send(MPM_LINEHEIGHT));
    ASSERT_GT(rows, 4);
    Send(MPM_GOTOLINE, 301);
    EXPECT_LE(std::abs(300 - (Ask(MPM_FIRSTVISIBLE) + rows / 2)), 2) << "rows " << rows;
    Command(ECMD_UNDO);
    Send(MPM_GOTOLINE, 1);
    // Caret notices carry the old and the new position.
    g_notices.clear();
    SetCaret(edit_, 9, 9);
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].code, UINT(EN_MP_CARETMOVED));
    EXPECT_EQ((std::vector<Position>{g_notices[0].a, g_notices[0].b}),
              (std::vector<Position>{{0, 0}, {2, 5}}));
    // Select from an anchor to a caret, in either direction.
    EXPECT_TRUE(testing_support::Select(edit_, {1, 4}, {0, 6}));
    EXPECT_EQ(State(), L"first |[line\nseco]nd\nthird");
    EXPECT_EQ(GlobalText(Send(MPM_GETSELTEXT)), L"line\r\nseco");
    // An edit before the selection moves it along; setting the caret drops it.
    testing_support::Select(edit_, {1, 4}, {1, 5});
    Position home = {1, 0};
    Insert(L">>", &home);
    EXPECT_EQ(SelectionOf(edit_), (Span{{1, 6}, {1, 7}}));
    SetCaret(edit_, 1, 4);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_EQ(SelectionOf(edit_), (Span{{-1, -1}, {-1, -1}}));
    EXPECT_EQ(Send(MPM_GETSELTEXT), 0);
    EXPECT_FALSE(testing_support::Select(edit_, {1, 4}, {1, 4}));
}

TEST_F(EditControl, WordsAndDelimiters) {
    for (wchar_t c : {L',', L' ', L'\t', L'(', L'-'}) EXPECT_EQ(Send(MPM_ISDELIMITER, c), 1) << int(c);
    for (wchar_t c : {L'_', L'a', L'7'}) EXPECT_EQ(Send(MPM_ISDELIMITER, c), 0) << int(c);
    Insert(L"call(foo_bar, 2)");
    const struct {
        int column;
        const wchar_t* word;
    } words[] = {
        {7, L"foo_bar"}, {12, L", "} /* a run of delimiters */, {99, L")"} /* the word before the end */};
    for (const auto& w : words) {
        SetCaret(edit_, 0, w.column);
        EXPECT_EQ(GlobalText(Send(MPM_GETWORDATCARET)), w.word) << w.column;
    }
    Insert(L"\nnext");
    SetCaret(edit_, 0, 99);  // the next word end lies on another line: nothing
    EXPECT_EQ(Send(MPM_GETWORDATCARET), 0);
}

TEST_F(EditControl, LineAttributesLexerStatesAndStyles) {
    Insert(L"a\nb");
    LineAttrArg fold = {LA_FOLDLEVEL, 70}, seven = {7, 1};
    EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)1, &fold), 1);
    EXPECT_EQ(Attr(1, LA_FOLDLEVEL), 6) << "six bits";
    EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)1, &seven), 0);
    EXPECT_EQ(Attr(1, 7), 0);
    for (INT_PTR bad : {2, 5, -1}) {
        EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)bad, &fold), 0) << bad;
        EXPECT_EQ(Attr(int(bad), LA_FOLDLEVEL), -2) << bad;
    }
    EXPECT_EQ(Attr(0, LA_CHANGED), 1) << "every line an edit touches is marked changed";
    TestLexer lexer;
    SetState(L"|x = \"open\nstill\nclosed\" y");
    EXPECT_EQ(Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1), 0);
    EXPECT_EQ(Send(MPM_GETLEXER), reinterpret_cast<LRESULT>(&lexer));
    auto styleAt = [&](Position p) { return SendP(MPM_GETSTYLEAT, &p); };
    EXPECT_EQ(styleAt({1, 2}), 3);
    EXPECT_EQ(styleAt({2, 8}), 1);
    EXPECT_EQ(styleAt({0, 0}), 1);
    EXPECT_EQ(styleAt({1, 50}), 0);
    EXPECT_EQ(Attr(1, LA_LEXSTATE), 1);
    // Closing the string on line 0 changes line 0's end state.
    Position q = {0, 9};
    Insert(L"\"", &q);
    EXPECT_EQ(Attr(0, LA_LEXSTATE), 0);
    EXPECT_EQ(styleAt({1, 2}), 1);
    EXPECT_EQ(Send(MPM_UPDATESTATES, 0, LPARAM(-1)), 1) << "line 2 now opens a string";
    EXPECT_EQ(Send(MPM_UPDATESTATES, 0, LPARAM(-1)), 0);
    Send(MPM_SETLEXER, 0, 0);
    EXPECT_EQ(styleAt({1, 2}), 0);
}

TEST_F(EditControl, SharedDocumentsNotifyEveryView) {
    HWND second = Create(8);
    Insert(L"shared");
    const LRESULT doc = Send(MPM_SHAREDOC, 0);
    ASSERT_NE(doc, 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, WPARAM(doc), 0, second), doc);
    EXPECT_EQ(All(second), L"shared");
    g_notices.clear();
    Position end = {0, 99};
    Insert(L"!", &end, second);
    auto told = [&](HWND h, UINT_PTR id) {
        return std::any_of(g_notices.begin(), g_notices.end(), [&](const Notice& n) {
            return n.code == EN_MP_TEXTCHANGED && n.from == h && n.id == id;
        });
    };
    EXPECT_TRUE(told(edit_, 7));
    EXPECT_TRUE(told(second, 8));
    EXPECT_EQ(All(), L"shared!");
    int bogus = 0;
    EXPECT_EQ(SendP(MPM_SHAREDOC, &bogus, (void*)nullptr, second), doc)
        << "an unknown handle changes nothing";
    // The first control gave up ownership with 1029(0): the document outlives it.
    DestroyWindow(edit_);
    edit_ = second;
    Insert(L"?", &end);
    EXPECT_EQ(All(), L"shared!?");
    // Closing leaves the control without a document until another is attached.
    EXPECT_EQ(Send(MPM_CLOSEDOC), 0);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 1);
    EXPECT_EQ(Insert(L"x"), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0), 0);
    HWND third = Create(9);
    Insert(L"fresh", nullptr, third);
    const LRESULT other = Send(MPM_SHAREDOC, 0, 0, third);
    EXPECT_EQ(Send(MPM_SHAREDOC, WPARAM(other)), other);
    EXPECT_EQ(All(), L"fresh");
    // Closing a shared document detaches every view.
    EXPECT_EQ(Send(MPM_CLOSEDOC, 0, 0, third), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0, 0, third), 0);
    EXPECT_EQ(Insert(L"x"), 0);
    DestroyWindow(third);  // neither view owns anything now
}

// A view handed its own document back owns it again: the document goes
// with the view, and views sharing it are left without one. A view that
// only shares a document does not take it over.
TEST_F(EditControl, ADocumentHandedBackToItsViewIsOwnedAgain) {
    Insert(L"mine");
    const LRESULT doc = Send(MPM_SHAREDOC, 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, WPARAM(doc)), doc);
    HWND second = Create(8);
    Send(MPM_SHAREDOC, WPARAM(doc), 0, second);
    EXPECT_EQ(All(second), L"mine");
    DestroyWindow(edit_);
    edit_ = second;
    EXPECT_EQ(Send(MPM_SHAREDOC, 0), 0);
    HWND owner = Create(9);
    Insert(L"theirs", nullptr, owner);
    const LRESULT theirs = Send(MPM_SHAREDOC, 0, 0, owner);
    Send(MPM_SHAREDOC, WPARAM(theirs), 0, owner);
    Send(MPM_SHAREDOC, WPARAM(theirs));
    Send(MPM_SHAREDOC, WPARAM(theirs));
    DestroyWindow(edit_);
    edit_ = owner;
    EXPECT_EQ(All(), L"theirs");
}

TEST_F(EditControl, LoadAndSaveThroughMessages) {
    const std::wstring in = dir_ / L"mp_msg_in.txt", out = dir_ / L"mp_msg_out.txt";
    WriteBytes(in, "one\r\ntwo\r\nthree");
    auto fileName = [&] { return std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))); };
    const WPARAM from = WPARAM(in.c_str()), to = WPARAM(out.c_str()),
                 nowhere = WPARAM(L"Z:\\no\\such\\f.txt");
    SaveFormat utf16 = {1200, LB_LF, 1}, utf8 = {65001, LB_LF, 0};
    Script(L"|", {Msg(MPM_LOADFILE, from, MAKELPARAM(1252, 0), 1), Is(L"|one\ntwo\nthree"),
                  Msg(MPM_LINEBREAKTYPE, 0, 0, 0),  // stored as given; written as CR LF
                  Msg(MPM_GETCODEPAGE, 0, 0, 1252), Msg(MPM_CODEPAGE, WPARAM(-1), 0, 1252),
                  // The line-break type is stored whatever the outcome.
                  Msg(MPM_LOADINPLACE, nowhere, MAKELPARAM(1252, LB_CR), 0),
                  Msg(MPM_LINEBREAKTYPE, 0, 0, LB_CR), Is(L"|one\ntwo\nthree"),
                  Msg(MPM_SAVECOPY, to, LPARAM(&utf16), 1), Msg(MPM_GETCODEPAGE, 0, 0, 1252)});
    EXPECT_EQ(fileName(), in) << "a copy changes nothing about the document";
    Insert(L"x");  // a failed save with a format still takes the format
    EXPECT_EQ(Send(MPM_SAVEFILE, nowhere, LPARAM(&utf8)), 0);
    EXPECT_EQ((std::vector<LRESULT>{Send(MPM_GETCODEPAGE), Send(MPM_LINEBREAKTYPE), Send(MPM_ISMODIFIED)}),
              (std::vector<LRESULT>{65001, LB_LF, 1}));
    EXPECT_EQ(Send(MPM_SAVEFILE, to, 0), 1);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    Command(ECMD_UNDO);  // back from the saved text and forth to it
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    Command(ECMD_REDO);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    EXPECT_EQ(fileName(), out);
    EXPECT_EQ(Send(MPM_LOADINPLACE, to, MAKELPARAM(65001, LB_LF)), 1);
    EXPECT_EQ(All(), L"xone\ntwo\nthree");
}

// A line is at most INT32_MAX bytes. A longer one is refused at load rather
// than cut (a later save would write the shortened file): the previous text
// stays, still read from its own file. The file is sparse, 2^31 + 16 zero
// bytes (zeros are units of code page 1252) without a line break; it is
// loaded in place, which maps it rather than copying it.
TEST_F(EditControl, ALineLongerThanTwoGigabytesIsRefusedAtLoad) {
    const std::wstring small = dir_ / L"mp_msg_before.txt", huge = dir_ / L"mp_msg_huge.txt";
    WriteBytes(small, "previous\r\ntext");
    ASSERT_EQ(SendP(MPM_LOADINPLACE, small.c_str(), (void*)MAKELPARAM(1252, LB_CRLF)), 1);
    HANDLE f = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (int64_t(1) << 31) + 16;
    const bool sized = SetFilePointerEx(f, size, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    // Reading the text after a wrong success would convert 2 GiB: stop first.
    SetLastError(0);
    const LRESULT loaded = sized ? SendP(MPM_LOADINPLACE, huge.c_str(), (void*)MAKELPARAM(1252, LB_CRLF)) : 0;
    const DWORD error = GetLastError();
    if (loaded) Send(MPM_CLOSEDOC);
    DeleteFileW(huge.c_str());
    ASSERT_TRUE(sized) << "no room for a sparse file of 2 GiB";
    ASSERT_EQ(loaded, 0);
    EXPECT_EQ(error, DWORD(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(All(), L"previous\ntext");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), small);
}

// Many lines per message, loaded or read from the file, each with an LF;
// only whole lines, and a line not yet loaded needs a unit per byte.
TEST_F(EditControl, GetLinesCopiesWholeLinesThatFit) {
    const std::wstring path = dir_ / L"mp_msg_lines.txt";
    WriteBytes(path,
               "ab\r\n\r\nc\xE9"
               "d\r\nlast");
    ASSERT_EQ(SendP(MPM_LOADINPLACE, path.c_str(), (void*)MAKELPARAM(1252, LB_CRLF)), 1);
    Position at = {1, 0};
    Insert(L"new", &at);  // line 1 is loaded now, the others are read from the file
    wchar_t buf[64];
    auto lines = [&](WPARAM first, int maxLines, int capacity, wchar_t* buffer = nullptr) {
        LinesArg arg = {maxLines, buffer ? buffer : buf, capacity, -1};
        const LRESULT n = SendP(MPM_GETLINES, (void*)first, &arg);
        return std::pair{int(n), std::wstring(buf, size_t(std::max(arg.units, 0)))};
    };
    EXPECT_EQ(lines(0, 100, 32), (std::pair{4, std::wstring(L"ab\nnew\nc\u00E9d\nlast\n")}));
    EXPECT_EQ(lines(1, 2, 32), (std::pair{2, std::wstring(L"new\nc\u00E9d\n")}));
    EXPECT_EQ(lines(0, 100, 8), (std::pair{2, std::wstring(L"ab\nnew\n")}))
        << "c\u00E9d and its LF do not fit";
    EXPECT_EQ(lines(3, 100, 4), (std::pair{0, std::wstring()})) << "last and its LF need 5 units";
    EXPECT_EQ(lines(4, 100, 32).first, 0);
    EXPECT_EQ(lines(WPARAM(-1), 100, 32).first, 0);
    LinesArg none = {100, nullptr, 32, -1};
    EXPECT_EQ(SendP(MPM_GETLINES, (void*)0, &none), 0);
    // Runs of unloaded lines, every kind of break and empty lines, in a
    // code page of one byte per character and in UTF-8: the same as 1037.
    for (const int cp : {1252, 65001}) {
        const std::wstring runs = dir_ / (cp == 1252 ? L"runs1.txt" : L"runs2.txt");
        WriteBytes(runs, "one\n\ntwo\r\nthree\rfour\r\n\r\n\xC3\xA9\xE9\n\nend\n");
        ASSERT_EQ(SendP(MPM_LOADINPLACE, runs.c_str(), (void*)MAKELPARAM(cp, LB_CRLF)), 1);
        const int count = int(Send(MPM_GETLINECOUNT));
        for (int first = 0; first < count; ++first) {
            std::wstring tail;
            for (int i = first; i < count; ++i) tail += Line(i) + L"\n";
            EXPECT_EQ(lines(WPARAM(first), 100, 64), (std::pair{count - first, tail}))
                << cp << " from " << first;
        }
    }
}

// The whole text replaced by a file's, one undo step (its failures:
// save_faults_test); a file flagged so is deleted, the document keeps its
// name, and a file that cannot be loaded changes nothing and records nothing.
TEST_F(EditControl, ReplaceTheWholeTextThroughAMessage) {
    const std::wstring src = dir_ / L"mp_msg_repl.txt", missing = dir_ / L"missing.txt";
    WriteBytes(src, "new text");
    FileReplaceArg arg = {src.c_str(), 65001, 1}, kept = {src.c_str(), 65001, 0},
                   none = {missing.c_str(), 1252, 0};
    Script(L"|", {Ins(L"old text"), Msg(MPM_REPLACEFILE, 0, 0, 0), Cmd(ECMD_UNDO), Msg(MPM_CANUNDO, 0, 0, 0),
                  Msg(MPM_CANREDO, 0, 0, 1), Cmd(ECMD_REDO), Msg(MPM_REPLACEFILE, WPARAM(&arg), 0, 0),
                  Is(L"|new text")});
    EXPECT_EQ(GetFileAttributesW(src.c_str()), INVALID_FILE_ATTRIBUTES) << "flagged: deleted";
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"old text");
    WriteBytes(src, "kept");
    SendP(MPM_REPLACEFILE, &kept);
    SendP(MPM_REPLACEFILE, &none);
    EXPECT_EQ((std::vector<std::wstring>{All(), reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))}),
              (std::vector<std::wstring>{L"kept", L""}));
    EXPECT_EQ(ReadBytes(src), "kept");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"old text") << "nothing recorded for the missing file";
    Command(ECMD_REDO);
    EXPECT_EQ(All(), L"kept");
    Command(ECMD_UNDO);
    EXPECT_EQ(Send(MPM_READONLY, 1), 1);
    WriteBytes(src, "refused");
    SendP(MPM_REPLACEFILE, &kept);
    EXPECT_EQ(All(), L"old text");
}

// Message 1102 over files loaded in place: the line found in the bytes, in
// either direction, within maxLines; a hit on the second byte of a
// double-byte character passed over; a line edited since the load answered
// as one that may hold it; and what the control cannot look for.
TEST_F(EditControl, FindLineLooksInTheFilesBytes) {
    using namespace std::string_literals;
    const TempDir dir(L"mfl");
    constexpr int MC = LINEFIND_MATCHCASE, BACK = LINEFIND_BACKWARD;
    const std::string latin = "one\r\ntwo Zebra\r\n\r\nthree caf\xe9";
    struct Case {
        int codePage;
        std::string bytes;
        const wchar_t* literal;
        int flags, first, maxLines, answer, line, run;
    };
    const Case cases[] = {
        {1252, latin, L"zebra", 0, 0, 100, 1, 1, 1},
        {1252, latin, L"zebra", MC, 0, 100, 2, 4, 0},
        {1252, latin, L"Zebra", MC | BACK, 3, 100, 1, 1, 1},
        {1252, latin, L"E", BACK, 3, 100, 1, 3, 1},
        {1252, latin, L"one", 0, 1, 100, 2, 4, 0},
        {1252, latin, L"one", BACK, 3, 2, 2, 1, 0},
        {1252, latin, L"three", 0, 0, 2, 2, 2, 0},
        {1252, latin, L"caf\u00e9", MC, 0, 100, 0, -1, 0},
        {1252, latin, L"t?o", MC, 0, 100, 0, -1, 0},
        {1252, latin, L"o\nt", MC, 0, 100, 0, -1, 0},
        {65001, "x\r\ncaf\xc3\xa9 CAF\xc3\x89", L"caf\u00e9", MC, 0, 100, 1, 1, 1},
        {65001, "x\r\ncaf\xc3\xa9", L"CAF\u00e9", 0, 0, 100, 0, -1, 0},
        {65001, "x\r\nCAFE", L"cafe", 0, 0, 100, 1, 1, 1},
        {932,
         "\x83\x41xyz\r\n\x83\x41"
         "Axyz",
         L"Axy", MC, 0, 100, 1, 1, 1},
        {932, "\x83\x41xyz\r\nzz", L"axy", 0, 0, 100, 2, 2, 0},
        {1200, "a\0b\0\r\0\n\0Z\0e\0"s, L"ze", 0, 0, 100, 1, 1, 1},
        {1200, "\x01Z\0e\0\x01\r\0\n\0"s, L"ze", 0, 0, 100, 2, 2, 0},  // "Ze" at an odd byte
        {1201, "\0a\0b\0\r\0\n\0Z\0e"s, L"bZ", MC, 0, 100, 2, 2, 0},
        {1201, "\0a\0b\0\r\0\n\0Z\0e"s, L"Ze", MC | BACK, 1, 100, 1, 1, 1},
        {50222, "abc\r\nabc", L"abc", MC, 0, 100, 0, -1, 0},
    };
    int k = 0;
    for (const Case& c : cases) {
        const std::wstring path = dir / (L"f" + std::to_wstring(k++) + L".txt");
        WriteBytes(path, c.bytes);
        ASSERT_EQ(
            SendP(MPM_LOADINPLACE, path.c_str(), reinterpret_cast<void*>(MAKELPARAM(c.codePage, LB_CRLF))), 1)
            << k;
        LineFindArg arg = {c.literal, int(wcslen(c.literal)), c.flags, c.maxLines, -1, 0};
        EXPECT_EQ(Send(MPM_FINDLINE, WPARAM(c.first), reinterpret_cast<LPARAM>(&arg)), c.answer) << k;
        EXPECT_EQ(arg.line, c.line) << k;
        EXPECT_EQ(arg.run, c.run) << k;
        if (k == 1) {
            // Lines 1 and 2 edited: both may hold anything, as a run.
            Send(MPM_GOTOLINE, 2);
            Insert(L"x");
            Send(MPM_GOTOLINE, 3);
            Insert(L"y");
            LineFindArg again = {L"nothing", 7, 0, 100, -1, 0};
            EXPECT_EQ(Send(MPM_FINDLINE, 0, reinterpret_cast<LPARAM>(&again)), 1);
            EXPECT_EQ(again.line, 1);
            EXPECT_EQ(again.run, 2);
            again.flags = BACK;
            EXPECT_EQ(Send(MPM_FINDLINE, 3, reinterpret_cast<LPARAM>(&again)), 1);
            EXPECT_EQ(again.line, 2);
            EXPECT_EQ(again.run, 2);
        }
    }
}
