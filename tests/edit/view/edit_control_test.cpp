// Drives Edit.dll the way the program does: controls created by class name in
// a real window, spoken to only through window messages.

#include "EditHarness.h"

#include <algorithm>

namespace {

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

struct TestHighlighter : IHighlighter {
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
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    EXPECT_TRUE(FreeLibrary(lib));
    EXPECT_FALSE(GetClassInfoExW(GetModuleHandleW(nullptr), MRPAD_CLASS_NAME, &wc));
    EXPECT_EQ(GetModuleHandleW(MRPAD_LIBRARY_NAME), nullptr);
}

TEST_F(EditControl, ANewControlHoldsOneEmptyLine) {
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 1);
    EXPECT_EQ(Send(MPM_GETLINE, 0, 0), 0);
    EXPECT_EQ(Send(MPM_GETLINEPTR, 0), 0);
    EXPECT_EQ(Send(MPM_GETLINE, 1, 0), 0);
    EXPECT_EQ(Send(MPM_GETLINE, WPARAM(0x80000000u), 0), 0);
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    EXPECT_EQ(Send(MPM_CANREDO), 0);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 0), LB_CRLF);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_EQ(Send(MPM_TABWIDTH, 0), 4);
    EXPECT_EQ(Send(MPM_SOFTTABS, WPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_RECORDING, 5), 1);
    EXPECT_EQ(Send(MPM_READONLY, 5), 0);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), L"");
    EXPECT_NE(Send(MPM_COLORTABLE, 0), 0);
    EXPECT_EQ(Send(MPM_GETLEXER), 0);
    // Unhandled messages reach the default window procedure.
    wchar_t caption[32] = {};
    GetWindowTextW(edit_, caption, 32);
    EXPECT_EQ(std::wstring(caption), L"caption");
    EXPECT_EQ(Send(1072, 1, 1), 0);
    EXPECT_EQ(Send(WM_COMMAND, 37), 0);
}

TEST_F(EditControl, InsertReadAndNotify) {
    Position at = {0, 0};
    EXPECT_EQ(Insert(L"alpha\r\nbeta\ngamma", &at), 1);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 3);
    EXPECT_EQ(Line(0), L"alpha");
    EXPECT_EQ(Line(2), L"gamma");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETLINEPTR, 1))), L"beta");
    EXPECT_EQ(Send(MPM_GETLINEPTR, 3), 0);
    EXPECT_EQ(Send(MPM_GETLINEPTR, WPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_GETCHARAT, 1, 3), L'a');
    EXPECT_EQ(Send(MPM_GETCHARAT, 1, 4), 0);  // the column equal to the length
    EXPECT_EQ(Send(MPM_GETCHARAT, 9, 0), 0);
    EXPECT_TRUE(Same(Caret(), {2, 5}));
    // One text-changed notice with the edit's positions, and the caret moved.
    ASSERT_FALSE(g_notices.empty());
    auto changed = std::find_if(g_notices.rbegin(), g_notices.rend(),
                                [](const Notice& x) { return x.code == EN_MP_TEXTCHANGED; });
    ASSERT_NE(changed, g_notices.rend());
    const Notice& n = *changed;
    EXPECT_EQ(n.code, UINT(EN_MP_TEXTCHANGED));
    EXPECT_EQ(n.from, edit_);
    EXPECT_EQ(n.id, 7u);
    EXPECT_TRUE(Same(n.a, {0, 0}) && Same(n.b, {0, 0}) && Same(n.c, {2, 5}));
    // An empty text and a missing argument insert nothing.
    EXPECT_EQ(Insert(L""), 0);
    TextArg zero = {L"abc", 0};
    EXPECT_EQ(SendP(MPM_INSERTTEXT, (Position*)nullptr, &zero), 0);
    EXPECT_EQ(Send(MPM_INSERTTEXT, 0, 0), 0);
    TextArg terminated = {L"!", -1};
    Position end = {99, 99};  // clamped to the end
    EXPECT_EQ(SendP(MPM_INSERTTEXT, &end, &terminated), 1);
    EXPECT_EQ(Line(2), L"gamma!");
}

TEST_F(EditControl, RangesAreClampedAndOrdered) {
    Insert(L"one\ntwo\nthree");
    RangeTextArg fwd = {0, 1, 2, 2, nullptr, 0};
    RangeTextArg back = {2, 2, 0, 1, nullptr, 0};
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &fwd, (void*)nullptr), 2 + 2 + 3 + 2 + 2);
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &back, (void*)nullptr), 11);
    wchar_t buf[16] = {};
    back.buffer = buf;
    back.lineBreak = LB_CR;
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &back, (void*)nullptr), 0);
    EXPECT_EQ(std::wstring(buf), L"ne\rtwo\rth");
    RangeTextArg empty = {1, 1, 1, 1, nullptr, 0};
    EXPECT_EQ(SendP(MPM_GETRANGETEXT, &empty, (void*)nullptr), 0);
    // Delete in either order; equal positions only move the caret.
    Position a = {2, 99}, b = {1, 1};
    EXPECT_EQ(SendP(MPM_DELETERANGE, &a, &b), 1);
    EXPECT_EQ(All(), L"one\nt");
    Position c = {0, 2};
    EXPECT_EQ(SendP(MPM_DELETERANGE, &c, &c), 0);
    EXPECT_TRUE(Same(Caret(), {0, 2}));
    EXPECT_EQ(SendP(MPM_DELETERANGE, &c, (Position*)nullptr), 0);
}

// A range replaced by text in one command: clamped and ordered, one undo
// step; null text only with no length.
TEST_F(EditControl, ARangeIsReplacedInOneUndoStep) {
    Insert(L"one\ntwo\nthree");
    ReplaceRangeArg across = {{2, 2}, {0, 1}, L"X\nY", 3};
    EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &across), 1);
    EXPECT_EQ(All(), L"oX\nYree");
    Send(WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(All(), L"one\ntwo\nthree");
    ReplaceRangeArg clamped = {{2, 99}, {9, 9}, L"!", -1};
    EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &clamped), 1);
    EXPECT_EQ(All(), L"one\ntwo\nthree!");
    ReplaceRangeArg erase = {{0, 0}, {1, 0}, nullptr, 0};
    EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &erase), 1);
    EXPECT_EQ(All(), L"two\nthree!");
    ReplaceRangeArg bad = {{0, 0}, {0, 1}, nullptr, 5};
    EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &bad), 0);
    ReplaceRangeArg nothing = {{1, 1}, {1, 1}, L"", 0};
    EXPECT_EQ(SendP(MPM_REPLACERANGE, (void*)nullptr, &nothing), 0);
    EXPECT_EQ(Send(MPM_REPLACERANGE, 0, 0), 0);
    EXPECT_EQ(All(), L"two\nthree!");
}

TEST_F(EditControl, UndoRedoThroughCommandsAndGroups) {
    Insert(L"a");
    Insert(L"b");
    Insert(L"c");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"ab");
    EXPECT_EQ(Send(MPM_CANREDO), 1);
    Command(ECMD_REDO);
    EXPECT_EQ(All(), L"abc");
    Send(MPM_UNDOGROUP, 1);
    Insert(L"\nxyz");
    Position a = {0, 0}, b = {0, 1};
    SendP(MPM_DELETERANGE, &a, &b);
    Send(MPM_UNDOGROUP, 0);
    EXPECT_EQ(All(), L"bc\nxyz");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"abc");
    Command(ECMD_REDO);
    EXPECT_EQ(All(), L"bc\nxyz");
    Command(ECMD_UNDO);
    Insert(L"!");
    EXPECT_EQ(Send(MPM_CANREDO), 0);
    // A group of more than ten edits comes back in one step too.
    Send(MPM_UNDOGROUP, 1);
    for (int i = 0; i < 12; ++i) Insert(L"#");
    Send(MPM_UNDOGROUP, 0);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"abc!");
    EXPECT_TRUE(GetWindowLongW(edit_, GWL_STYLE) & WS_VISIBLE);  // redrawing was switched back on
}

// A held group (a macro being played) takes every edit until it is released,
// whatever groups the edits open and close inside it, balanced or not.
TEST_F(EditControl, AHeldGroupIsOneUndoStepWhateverHappensInside) {
    Insert(L"x");
    EXPECT_EQ(Send(MPM_HOLDGROUP, 1), 0);
    Insert(L"a");
    Send(MPM_UNDOGROUP, 1);
    Insert(L"b");
    Send(MPM_UNDOGROUP, 0);
    Insert(L"c");
    Send(MPM_UNDOGROUP, 0);  // one end too many
    Insert(L"d");
    Send(MPM_UNDOGROUP, 1);  // one begin never ended
    Send(MPM_HOLDGROUP, 1);  // a macro run inside the macro
    Insert(L"e");
    Send(MPM_HOLDGROUP, 0);
    Insert(L"f");
    Send(MPM_HOLDGROUP, 0);
    EXPECT_EQ(All(), L"xabcdef");
    Insert(L"g");  // after the release, a step of its own again
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"xabcdef");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"x");
    Send(MPM_HOLDGROUP, 0);  // a release without a hold changes nothing
    Insert(L"1");
    Insert(L"2");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"x1");
    EXPECT_TRUE(GetWindowLongW(edit_, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(EditControl, SavePointLineBreaksAndRecording) {
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 5), LB_CRLF);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 2), LB_LF);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    Send(MPM_EMPTYUNDO);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    EXPECT_EQ(Send(MPM_BOM, 7), 0);
    EXPECT_EQ(Send(MPM_BOM, 1), 1);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    Send(MPM_EMPTYUNDO);
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_CODEPAGE, 65001), 65001);
    EXPECT_EQ(Send(MPM_GETCODEPAGE), 65001);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    Send(MPM_EMPTYUNDO);
    // With recording off, edits leave no history.
    EXPECT_EQ(Send(MPM_RECORDING, 0), 0);
    Insert(L"text");
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    EXPECT_EQ(All(), L"text");
    EXPECT_EQ(Send(MPM_RECORDING, 1), 1);
    Insert(L"!");
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    Send(MPM_EMPTYUNDO);
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
}

TEST_F(EditControl, ReadOnlyDocumentsRefuseEdits) {
    Insert(L"keep");
    EXPECT_EQ(Send(MPM_READONLY, 1), 1);
    EXPECT_EQ(Insert(L"x"), 0);
    Position a = {0, 0}, b = {0, 2};
    EXPECT_EQ(SendP(MPM_DELETERANGE, &a, &b), 0);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"keep");
    EXPECT_EQ(Send(MPM_READONLY, 0), 0);
    EXPECT_EQ(Insert(L"x"), 1);
}

TEST_F(EditControl, CaretAndSelection) {
    Insert(L"first line\nsecond\nthird");
    Send(MPM_GOTOLINE, 0);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    Position mid = {1, 3};
    SendP(MPM_SETCARET, &mid, (void*)nullptr);
    Send(MPM_GOTOLINE, 2);  // same line: the caret stays
    EXPECT_TRUE(Same(Caret(), {1, 3}));
    Send(MPM_GOTOLINE, 99);
    EXPECT_TRUE(Same(Caret(), {2, 0}));
    Send(MPM_GOTOLINE, 1);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    // A line out of sight comes to the middle of the window, not its edge.
    {
        std::wstring many;
        for (int i = 0; i < 500; ++i) many += L"line\n";
        Insert(many.c_str());
        RECT rc = {};
        GetClientRect(edit_, &rc);
        const int rows = int((rc.bottom - rc.top) / std::max<LRESULT>(Send(MPM_LINEHEIGHT, WPARAM(-1)), 1));
        ASSERT_GT(rows, 4);
        Send(MPM_GOTOLINE, 301);
        const int top = int(Send(MPM_FIRSTVISIBLE, WPARAM(-1)));
        EXPECT_LE(std::abs(300 - (top + rows / 2)), 2) << "top " << top << ", rows " << rows;
        Command(ECMD_UNDO);
        Send(MPM_GOTOLINE, 1);
    }
    // Caret notices carry the old and the new position.
    g_notices.clear();
    Position distant = {9, 9};
    SendP(MPM_SETCARET, &distant, (void*)nullptr);
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].code, UINT(EN_MP_CARETMOVED));
    EXPECT_TRUE(Same(g_notices[0].a, {0, 0}) && Same(g_notices[0].b, {2, 5}));
    EXPECT_EQ(Send(MPM_SETCARET, 0, 0), 0);
    // Select from an anchor to a caret, in either direction.
    Position anchor = {1, 4}, caret = {0, 6};
    EXPECT_EQ(SendP(MPM_SELECT, &anchor, &caret), 1);
    EXPECT_EQ(Send(MPM_GETSELKIND), 1);
    EXPECT_TRUE(Same(Caret(), {0, 6}));
    Position s = {}, e = {};
    EXPECT_EQ(SendP(MPM_GETSELRANGE, &s, &e), 1);
    EXPECT_TRUE(Same(s, {0, 6}) && Same(e, {1, 4}));
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETSELTEXT))), L"line\r\nseco");
    // Setting the caret drops the selection.
    SendP(MPM_SETCARET, &anchor, (void*)nullptr);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_EQ(SendP(MPM_GETSELRANGE, &s, &e), 0);
    EXPECT_EQ(Send(MPM_GETSELTEXT), 0);
    EXPECT_EQ(SendP(MPM_SELECT, &anchor, &anchor), 0);
    // An edit before the selection moves it along.
    Position x = {1, 5};
    EXPECT_EQ(SendP(MPM_SELECT, &anchor, &x), 1);
    Position home = {1, 0};
    Insert(L">>", &home);
    EXPECT_EQ(SendP(MPM_GETSELRANGE, &s, &e), 1);
    EXPECT_TRUE(Same(s, {1, 6}) && Same(e, {1, 7}));
}

TEST_F(EditControl, WordsAndDelimiters) {
    Insert(L"call(foo_bar, 2)");
    EXPECT_EQ(Send(MPM_ISDELIMITER, L','), 1);
    EXPECT_EQ(Send(MPM_ISDELIMITER, L' '), 1);
    EXPECT_EQ(Send(MPM_ISDELIMITER, L'\t'), 1);
    EXPECT_EQ(Send(MPM_ISDELIMITER, L'_'), 0);
    EXPECT_EQ(Send(MPM_ISDELIMITER, L'a'), 0);
    Position p = {0, 7};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETWORDATCARET))), L"foo_bar");
    p = {0, 12};  // on ", ": a run of delimiters is a word too
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETWORDATCARET))), L", ");
    p = {0, 99};  // at the end of the last line the word before is taken
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETWORDATCARET))), L")");
    Insert(L"\nnext");
    p = {0, 99};  // the next word end lies on another line: nothing
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_EQ(Send(MPM_GETWORDATCARET), 0);
}

TEST_F(EditControl, LineAttributes) {
    Insert(L"a\nb");
    LineAttrArg fold = {LA_FOLDLEVEL, 70};
    EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)1, &fold), 1);
    LineAttrArg get = {LA_FOLDLEVEL, -1};
    EXPECT_EQ(SendP(MPM_GETLINEATTR, (void*)1, &get), 1);
    EXPECT_EQ(get.value, 6);
    LineAttrArg seven = {7, 1};
    EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)1, &seven), 0);
    get = {7, -1};
    SendP(MPM_GETLINEATTR, (void*)1, &get);
    EXPECT_EQ(get.value, 0);
    EXPECT_EQ(Send(MPM_SETLINEATTR, 0, 0), 0);
    EXPECT_EQ(SendP(MPM_SETLINEATTR, (void*)5, &fold), 0);
    // Every line an edit touches is marked changed.
    get = {LA_CHANGED, -1};
    SendP(MPM_GETLINEATTR, (void*)0, &get);
    EXPECT_EQ(get.value, 1);
}

TEST_F(EditControl, LexerStatesAndStyles) {
    TestLexer lexer;
    Insert(L"x = \"open\nstill\nclosed\" y");
    EXPECT_EQ(Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1), 0);
    EXPECT_EQ(Send(MPM_GETLEXER), reinterpret_cast<LRESULT>(&lexer));
    Position inString = {1, 2}, after = {2, 8}, out = {0, 0}, beyond = {1, 50};
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &inString, (void*)nullptr), 3);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &after, (void*)nullptr), 1);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &out, (void*)nullptr), 1);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &beyond, (void*)nullptr), 0);
    EXPECT_EQ(Send(MPM_GETSTYLEAT, 0), 0);
    LineAttrArg st = {LA_LEXSTATE, -1};
    SendP(MPM_GETLINEATTR, (void*)1, &st);
    EXPECT_EQ(st.value, 1);
    // Closing the string on line 0 changes line 0's end state.
    Position q = {0, 9};
    Insert(L"\"", &q);
    SendP(MPM_GETLINEATTR, (void*)0, &st);
    EXPECT_EQ(st.value, 0);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &inString, (void*)nullptr), 1);
    EXPECT_EQ(Send(MPM_UPDATESTATES, 0, LPARAM(-1)), 1);  // line 2 now opens a string
    EXPECT_EQ(Send(MPM_UPDATESTATES, 0, LPARAM(-1)), 0);
    Send(MPM_SETLEXER, 0, 0);
    EXPECT_EQ(SendP(MPM_GETSTYLEAT, &inString, (void*)nullptr), 0);
}

TEST_F(EditControl, HighlightersColoursAndSettings) {
    TestHighlighter h1, h2;
    const WPARAM w1 = reinterpret_cast<WPARAM>(&h1), w2 = reinterpret_cast<WPARAM>(&h2);
    Send(MPM_HIGHLIGHTER, w1, 1);
    Send(MPM_HIGHLIGHTER, w1, 1);
    EXPECT_EQ(Send(MPM_HIGHLIGHTER, w1, 2), 1);
    EXPECT_EQ(Send(MPM_HIGHLIGHTER, w2, 2), 0);
    Send(MPM_HIGHLIGHTER, w1, 0);
    EXPECT_EQ(Send(MPM_HIGHLIGHTER, w1, 2), 0);  // one entry only, now gone
    COLORREF table[COLOR_TABLE_ENTRIES] = {};
    const LRESULT own = Send(MPM_COLORTABLE, 0);
    EXPECT_EQ(reinterpret_cast<const COLORREF*>(own)[12], COLORREF(0xFFFF80));
    EXPECT_EQ(SendP(MPM_COLORTABLE, table, (void*)nullptr), reinterpret_cast<LRESULT>(table));
    EXPECT_EQ(Send(MPM_COLORTABLE, 0), reinterpret_cast<LRESULT>(table));
    EXPECT_EQ(Send(MPM_TABWIDTH, 1), 4);
    EXPECT_EQ(Send(MPM_TABWIDTH, 40), 16);
    EXPECT_EQ(Send(MPM_TABWIDTH, 8), 8);
    EXPECT_EQ(Send(MPM_SOFTTABS, 1), 1);
    EXPECT_EQ(Send(MPM_SOFTTABS, WPARAM(-1)), 1);
    EXPECT_EQ(Send(MPM_FREEZECARET, 1), 1);
    EXPECT_EQ(Send(MPM_FREEZECARET, 2), 1);
    EXPECT_EQ(Send(MPM_FREEZECARET, 0), 0);
    for (UINT nop : {MPM_NOP1045, MPM_NOP1048, MPM_NOP1070}) EXPECT_EQ(Send(nop, 1, 1), 0);
}

namespace {

// A shown control with a fixed-pitch font, its text from x = 2 (no line
// numbers) and no current-line background, painting from a colour table of
// its host in which every colour that matters is distinct.
class StyledControl : public ShownEditControl {
protected:
    void SetUp() override {
        ShownEditControl::SetUp();
        Send(MPM_VIEWPART, 0, 1);  // no line numbers
        Send(MPM_VIEWPART, 6, 1);  // no current-line background
        const COLORREF* own = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE));
        std::copy(own, own + COLOR_TABLE_ENTRIES, table_);
        table_[0] = RGB(255, 255, 255);
        table_[1] = RGB(0, 0, 0);
        table_[24 + 9] = RGB(200, 255, 200);  // class 9: background
        table_[43 + 9] = RGB(255, 0, 0);      //          text
        table_[24 + 4] = RGB(255, 210, 255);  // class 4: background
        table_[43 + 4] = RGB(0, 0, 255);      //          text
        table_[3] = RGB(0, 0, 160);           // selection: background
        table_[4] = RGB(255, 255, 0);         //            text
        table_[12] = RGB(255, 255, 170);      // current line
        SendP(MPM_COLORTABLE, table_, (void*)nullptr);
    }
    // The cell of one character, with the row's full height.
    RECT Cell(int line, int column, int count = 1) const {
        return {2 + column * cw_, line * lh_, 2 + (column + count) * cw_, (line + 1) * lh_};
    }
    // Whether the characters are painted in the class's colours: its
    // background fills each cell and its text colour draws the glyphs.
    bool InClass(const Capture& cap, int cls, int line, int column, int count = 1) const {
        for (int c = column; c < column + count; ++c) {
            const RECT r = Cell(line, c);
            if (cap.Count(r, table_[24 + cls]) < cw_ * lh_ / 2 || cap.Count(r, table_[43 + cls]) == 0) return false;
        }
        return true;
    }
    // Whether no pixel of the cells has either colour of the class.
    bool Untouched(const Capture& cap, int cls, int line, int column, int count) const {
        const RECT r = Cell(line, column, count);
        return cap.Count(r, table_[24 + cls]) == 0 && cap.Count(r, table_[43 + cls]) == 0;
    }

    COLORREF table_[COLOR_TABLE_ENTRIES];
};

}  // namespace

// Styles written through 1076 show in their class's colours, on the lines
// that the store had when it was made; without a store nothing shows.
TEST_F(StyledControl, CharacterStyleStore) {
    Insert(L"abc\ndefg");
    StyleRangeArg arg = {0, 1, 1, 2, 9};  // "bc" and "de"
    SendP(MPM_SETSTYLES, &arg, (void*)1);  // no store yet: nothing happens
    {
        Capture cap(edit_);
        EXPECT_TRUE(Untouched(cap, 9, 0, 0, 4));
        EXPECT_TRUE(Untouched(cap, 9, 1, 0, 5));
    }
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 1);
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 0);  // made once
    SendP(MPM_SETSTYLES, &arg, (void*)1);
    {
        Capture cap(edit_);
        EXPECT_TRUE(Untouched(cap, 9, 0, 0, 1)) << "the range starts at column 1";
        EXPECT_TRUE(InClass(cap, 9, 0, 1, 2));
        EXPECT_TRUE(InClass(cap, 9, 1, 0, 2));
        EXPECT_TRUE(Untouched(cap, 9, 1, 2, 3)) << "the end column is not styled";
        EXPECT_GT(cap.Count(Cell(0, 0), table_[1]), 0) << "unstyled text keeps the default colour";
    }
    // Selected styled text shows the selection's colours; on the current
    // line a style's text colour stays and the line's background shows.
    Position a = {0, 1}, b = {0, 2};
    SendP(MPM_SELECT, &a, &b);
    Send(MPM_VIEWPART, 256 | 6, 1);
    {
        Capture cap(edit_);
        EXPECT_TRUE(Untouched(cap, 9, 0, 1, 1));
        EXPECT_GT(cap.Count(Cell(0, 1), table_[3]), cw_ * lh_ / 2);
        EXPECT_GT(cap.Count(Cell(0, 1), table_[4]), 0);
        // The caret's line is the current line: the style keeps its text
        // colour over the line's background.
        EXPECT_EQ(cap.Count(Cell(0, 2), table_[24 + 9]), 0);
        EXPECT_GT(cap.Count(Cell(0, 2), table_[12]), cw_ * lh_ / 2);
        EXPECT_GT(cap.Count(Cell(0, 2), table_[43 + 9]), 0);
        EXPECT_TRUE(InClass(cap, 9, 1, 0, 2));
    }
    b = {1, 1};
    SendP(MPM_SETCARET, &b, (void*)nullptr);
    {
        Capture cap(edit_);
        EXPECT_TRUE(InClass(cap, 9, 0, 1, 2)) << "the selection is gone";
        EXPECT_EQ(cap.Count(Cell(1, 0, 2), table_[24 + 9]), 0);
        EXPECT_GT(cap.Count(Cell(1, 0, 2), table_[12]), cw_ * lh_);
        EXPECT_GT(cap.Count(Cell(1, 0, 2), table_[43 + 9]), 0);
    }
    Send(MPM_VIEWPART, 6, 1);
    Position end = {1, 4};
    SendP(MPM_SETCARET, &end, (void*)nullptr);
    // A later range over part of the first one replaces it there.
    StyleRangeArg over = {0, 2, 0, 3, 4};
    SendP(MPM_SETSTYLES, &over, (void*)1);
    {
        Capture cap(edit_);
        EXPECT_TRUE(InClass(cap, 9, 0, 1));
        EXPECT_TRUE(InClass(cap, 4, 0, 2));
        EXPECT_TRUE(Untouched(cap, 9, 0, 2, 1));
    }
    // Lines added after the store was made have no slot: styles for them
    // are dropped, and the lines it has keep theirs.
    Insert(L"\nmore\nlines");
    ASSERT_EQ(Send(MPM_GETLINECOUNT), 4);
    StyleRangeArg late = {3, 0, 3, 5, 4};
    SendP(MPM_SETSTYLES, &late, (void*)1);
    {
        Capture cap(edit_);
        EXPECT_TRUE(Untouched(cap, 4, 3, 0, 6));
        EXPECT_GT(cap.Count(Cell(3, 0, 5), table_[1]), 0);
        EXPECT_TRUE(InClass(cap, 9, 1, 0, 2));
        EXPECT_TRUE(InClass(cap, 4, 0, 2));
    }
    EXPECT_EQ(Send(MPM_SETSTYLES, 0, 1), 0);
    // Removing the store removes every style from the painting.
    EXPECT_EQ(Send(MPM_STYLESTORE, 0), 0);
    EXPECT_EQ(Send(MPM_STYLESTORE, 0), 1);
    {
        Capture cap(edit_);
        for (int line = 0; line < 4; ++line) {
            EXPECT_TRUE(Untouched(cap, 9, line, 0, 6)) << line;
            EXPECT_TRUE(Untouched(cap, 4, line, 0, 6)) << line;
        }
        EXPECT_GT(cap.Count(Cell(0, 1, 2), table_[1]), 0);
    }
    // A new store starts empty.
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 1);
    {
        Capture cap(edit_);
        EXPECT_TRUE(Untouched(cap, 9, 0, 0, 4));
        EXPECT_TRUE(Untouched(cap, 9, 1, 0, 5));
    }
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
    bool fromFirst = false, fromSecond = false;
    for (const Notice& n : g_notices) {
        if (n.code != EN_MP_TEXTCHANGED) continue;
        fromFirst |= n.from == edit_ && n.id == 7;
        fromSecond |= n.from == second && n.id == 8;
    }
    EXPECT_TRUE(fromFirst);
    EXPECT_TRUE(fromSecond);
    EXPECT_EQ(All(), L"shared!");
    // An unknown handle changes nothing.
    int bogus = 0;
    EXPECT_EQ(SendP(MPM_SHAREDOC, &bogus, (void*)nullptr, second), doc);
    // The first control gave up ownership with 1029(0): the document outlives it.
    DestroyWindow(edit_);
    edit_ = second;
    EXPECT_EQ(All(), L"shared!");
    Insert(L"?", &end);
    EXPECT_EQ(All(), L"shared!?");
    // Closing leaves the control without a document until another is attached.
    EXPECT_EQ(Send(MPM_CLOSEDOC), 0);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 1);
    EXPECT_EQ(Send(MPM_GETLINE, 0, 0), 0);
    EXPECT_EQ(Insert(L"x"), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0), 0);
    HWND third = Create(9);
    Insert(L"fresh", nullptr, third);
    const LRESULT other = Send(MPM_SHAREDOC, 0, 0, third);
    EXPECT_EQ(Send(MPM_SHAREDOC, WPARAM(other)), other);
    EXPECT_EQ(All(), L"fresh");
}

TEST_F(EditControl, ClosingASharedDocumentDetachesEveryView) {
    HWND second = Create(8);
    const LRESULT doc = Send(MPM_SHAREDOC, 0);
    Send(MPM_SHAREDOC, WPARAM(doc), 0, second);
    Insert(L"text");
    EXPECT_EQ(Send(MPM_CLOSEDOC, 0, 0, second), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0), 0);
    EXPECT_EQ(Send(MPM_SHAREDOC, 0, 0, second), 0);
    EXPECT_EQ(Insert(L"x"), 0);
    DestroyWindow(second);  // neither view owns anything now
}

// A view handed its own document back owns it again: the document goes
// with the view, and views sharing it are left without one.
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
    EXPECT_EQ(Send(MPM_GETLINE, 0, 0), 0);
    // A view that only shares a document does not take it over.
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

// Every message of the protocol, with null and out-of-range arguments, on a
// control with a document and on one without: defined results, no crash.
TEST_F(EditControl, EveryMessageSurvivesNullAndOddArguments) {
    const WPARAM odd[] = {0, 1, 2, WPARAM(-1), 0x80000000u, 1000000};
    for (int pass = 0; pass < 2; ++pass) {
        HWND h = Create(20 + pass);
        Insert(L"some\ntext", nullptr, h);
        if (pass == 1) Send(MPM_CLOSEDOC, 0, 0, h);
        for (UINT msg = MPM_CANUNDO; msg <= MPM_HOLDGROUP; ++msg) {
            if (msg == MPM_CLOSEDOC || msg == MPM_SHAREDOC) continue;
            for (WPARAM w : odd) {
                const bool pointerArg = msg == MPM_GETCARETPOS || msg == MPM_DELETERANGE ||
                                        msg == MPM_INSERTTEXT || msg == MPM_GETRANGETEXT ||
                                        msg == MPM_SELECT || msg == MPM_GETSELRANGE || msg == MPM_SETSTYLES ||
                                        msg == MPM_SETCARET || msg == MPM_GETSTYLEAT || msg == MPM_HIGHLIGHTER ||
                                        msg == MPM_SETLEXER || msg == MPM_COLORTABLE || msg == MPM_REPLACEFILE ||
                                        msg == MPM_LOADFILE || msg == MPM_SAVEFILE || msg == MPM_SAVECOPY ||
                                        msg == MPM_LOADINPLACE || msg == MPM_HITTEST || msg == MPM_SETPAGERECT ||
                                        msg == MPM_DRAWPAGE || msg == MPM_TEXTWIDTH || msg == MPM_GETLINES;
                if (pointerArg && w != 0) continue;
                const bool linePointerL = msg == MPM_GETLINE || msg == MPM_SETLINEATTR || msg == MPM_GETLINEATTR;
                SendMessageW(h, msg, w, linePointerL ? 0 : LPARAM(w));
            }
        }
        SendMessageW(h, MPM_UNDOGROUP, 0, 0);  // the group counter is process-wide
        for (int i = 0; i < 8; ++i) SendMessageW(h, MPM_HOLDGROUP, 0, 0);
        for (int id = 1; id <= 70; ++id)
            if (id != ECMD_COPY && id != ECMD_CUT && id != ECMD_PASTE && id != ECMD_PASTEINDENT) Command(id, h);
        EXPECT_TRUE(IsWindow(h));
        DestroyWindow(h);
    }
}

namespace {
std::wstring TempPath(const wchar_t* name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}
void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(f);
}
}  // namespace

TEST_F(EditControl, LoadAndSaveThroughMessages) {
    const std::wstring in = TempPath(L"mp_msg_in.txt"), out = TempPath(L"mp_msg_out.txt");
    WriteFileBytes(in, "one\r\ntwo\r\nthree");
    g_notices.clear();
    EXPECT_EQ(Send(MPM_LOADFILE, reinterpret_cast<WPARAM>(in.c_str()), MAKELPARAM(1252, 0)), 1);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 3);
    EXPECT_EQ(Line(2), L"three");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), in);
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 0), 0);  // stored as given; written as CR LF
    EXPECT_EQ(Send(MPM_GETCODEPAGE), 1252);
    EXPECT_EQ(Send(MPM_CODEPAGE, WPARAM(-1)), 1252);
    // The line-break type is stored whatever the outcome.
    EXPECT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(L"Z:\\no\\such.txt"), MAKELPARAM(1252, LB_CR)), 0);
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 0), LB_CR);
    EXPECT_EQ(Line(1), L"two");
    // Save a copy: nothing about the document changes.
    SaveFormat utf16 = {1200, LB_LF, 1};
    EXPECT_EQ(SendP(MPM_SAVECOPY, out.c_str(), &utf16), 1);
    EXPECT_EQ(Send(MPM_GETCODEPAGE), 1252);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), in);
    // A failed save with a format still takes the format.
    Insert(L"x");
    SaveFormat utf8 = {65001, LB_LF, 0};
    EXPECT_EQ(SendP(MPM_SAVEFILE, L"Z:\\no\\such\\folder\\f.txt", &utf8), 0);
    EXPECT_EQ(Send(MPM_GETCODEPAGE), 65001);
    EXPECT_EQ(Send(MPM_LINEBREAKTYPE, 0), LB_LF);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 1);
    EXPECT_EQ(SendP(MPM_SAVEFILE, out.c_str(), (SaveFormat*)nullptr), 1);
    EXPECT_EQ(Send(MPM_ISMODIFIED), 0);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), out);
    EXPECT_EQ(Send(MPM_SAVEFILE, 0, 0), 0);
    // Load in place and read it back.
    EXPECT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(out.c_str()), MAKELPARAM(65001, LB_LF)), 1);
    EXPECT_EQ(All(), L"xone\ntwo\nthree");
    EXPECT_EQ(Send(MPM_LOADFILE, 0, 0), 0);
    Send(MPM_CLOSEDOC);
    DeleteFileW(in.c_str());
    DeleteFileW(out.c_str());
}

// A line is at most INT32_MAX bytes. A longer one is refused at load rather
// than cut (a later save would write the shortened file): the previous text
// stays, still read from its own file. The file is sparse, 2^31 + 16 zero
// bytes (zeros are units of code page 1252) without a line break; it is
// loaded in place, which maps it rather than copying it.
TEST_F(EditControl, ALineLongerThanTwoGigabytesIsRefusedAtLoad) {
    const std::wstring small = TempPath(L"mp_msg_before.txt"), huge = TempPath(L"mp_msg_huge.txt");
    WriteFileBytes(small, "previous\r\ntext");
    ASSERT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(small.c_str()), MAKELPARAM(1252, LB_CRLF)), 1);
    HANDLE f = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (int64_t(1) << 31) + 16;
    const bool sized = SetFilePointerEx(f, size, nullptr, FILE_BEGIN) && SetEndOfFile(f);
    CloseHandle(f);
    // Reading the text after a wrong success would convert 2 GiB: stop first.
    SetLastError(0);
    const LRESULT loaded =
        sized ? Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(huge.c_str()), MAKELPARAM(1252, LB_CRLF)) : 0;
    const DWORD error = GetLastError();
    if (loaded) Send(MPM_CLOSEDOC);
    DeleteFileW(huge.c_str());
    ASSERT_TRUE(sized) << "no room for a sparse file of 2 GiB";
    ASSERT_EQ(loaded, 0);
    EXPECT_EQ(error, DWORD(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 2);
    EXPECT_EQ(All(), L"previous\ntext");
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME))), small);
    Send(MPM_CLOSEDOC);
    DeleteFileW(small.c_str());
}

// Many lines per message, loaded or read from the file, each with an LF;
// only whole lines, and a line not yet loaded needs a unit per byte.
TEST_F(EditControl, GetLinesCopiesWholeLinesThatFit) {
    const std::wstring path = TempPath(L"mp_msg_lines.txt");
    WriteFileBytes(path, "ab\r\n\r\nc\xE9" "d\r\nlast");
    ASSERT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)), 1);
    Position at = {1, 0};
    Insert(L"new", &at);  // line 1 is loaded now, the others are read from the file
    wchar_t buf[32];
    LinesArg arg = {100, buf, 32, -1};
    EXPECT_EQ(Send(MPM_GETLINES, 0, reinterpret_cast<LPARAM>(&arg)), 4);
    EXPECT_EQ(std::wstring(buf, size_t(arg.units)), L"ab\nnew\nc\u00E9d\nlast\n");
    arg = {2, buf, 32, -1};
    EXPECT_EQ(Send(MPM_GETLINES, 1, reinterpret_cast<LPARAM>(&arg)), 2);
    EXPECT_EQ(std::wstring(buf, size_t(arg.units)), L"new\nc\u00E9d\n");
    arg = {100, buf, 8, -1};  // "ab\n" and "new\n" fit, "céd\n" does not
    EXPECT_EQ(Send(MPM_GETLINES, 0, reinterpret_cast<LPARAM>(&arg)), 2);
    EXPECT_EQ(arg.units, 7);
    arg = {100, buf, 4, -1};  // "last" and its LF need 5 units
    EXPECT_EQ(Send(MPM_GETLINES, 3, reinterpret_cast<LPARAM>(&arg)), 0);
    EXPECT_EQ(arg.units, 0);
    arg = {100, buf, 32, -1};
    EXPECT_EQ(Send(MPM_GETLINES, 4, reinterpret_cast<LPARAM>(&arg)), 0);
    EXPECT_EQ(Send(MPM_GETLINES, WPARAM(-1), reinterpret_cast<LPARAM>(&arg)), 0);
    arg = {100, nullptr, 32, -1};
    EXPECT_EQ(Send(MPM_GETLINES, 0, reinterpret_cast<LPARAM>(&arg)), 0);
    // Runs of unloaded lines, every kind of break and empty lines, in a
    // code page of one byte per character and in UTF-8: the same as 1037.
    for (const int cp : {1252, 65001}) {
        const std::wstring runs = TempPath(cp == 1252 ? L"mp_msg_runs1.txt" : L"mp_msg_runs2.txt");
        WriteFileBytes(runs, "one\n\ntwo\r\nthree\rfour\r\n\r\n\xC3\xA9\xE9\n\nend\n");
        ASSERT_EQ(Send(MPM_LOADINPLACE, reinterpret_cast<WPARAM>(runs.c_str()), MAKELPARAM(cp, LB_CRLF)), 1);
        std::wstring expected;
        const int lines = int(Send(MPM_GETLINECOUNT));
        for (int i = 0; i < lines; ++i) expected += Line(i) + L"\n";
        wchar_t big[64];
        for (int first = 0; first < lines; ++first) {
            arg = {100, big, 64, -1};
            EXPECT_EQ(Send(MPM_GETLINES, WPARAM(first), reinterpret_cast<LPARAM>(&arg)), lines - first) << cp;
            std::wstring tail = expected;
            for (int k = 0; k < first; ++k) tail.erase(0, tail.find(L'\n') + 1);
            EXPECT_EQ(std::wstring(big, size_t(std::max(arg.units, 0))), tail) << cp << " from line " << first;
        }
    }
    Send(MPM_CLOSEDOC);
    DeleteFileW(path.c_str());
    DeleteFileW(TempPath(L"mp_msg_runs1.txt").c_str());
    DeleteFileW(TempPath(L"mp_msg_runs2.txt").c_str());
}

TEST_F(EditControl, ReplaceTheWholeTextThroughAMessage) {
    const std::wstring src = TempPath(L"mp_msg_repl.txt");
    WriteFileBytes(src, "new text");
    Insert(L"old text");
    EXPECT_EQ(Send(MPM_REPLACEFILE, 0), 0);
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    Command(ECMD_UNDO);
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    EXPECT_EQ(Send(MPM_CANREDO), 1);
    Command(ECMD_REDO);
    FileReplaceArg arg = {src.c_str(), 65001, 1};
    EXPECT_EQ(SendP(MPM_REPLACEFILE, &arg, (void*)nullptr), 0);
    EXPECT_EQ(All(), L"new text");
    EXPECT_EQ(GetFileAttributesW(src.c_str()), INVALID_FILE_ATTRIBUTES);  // flagged: deleted
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"old text");
    EXPECT_EQ(Send(MPM_READONLY, 1), 1);
    WriteFileBytes(src, "refused");
    arg.deleteFile = 0;
    SendP(MPM_REPLACEFILE, &arg, (void*)nullptr);
    EXPECT_EQ(All(), L"old text");
    DeleteFileW(src.c_str());
}
