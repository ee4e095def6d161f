// The caret, selections, typing and edit commands, driven as a person would:
// key and mouse messages, the control's key map (message 895), and commands.
#include "EditHarness.h"

#include <algorithm>

namespace {

class InputTest : public ShownEditControl {
protected:
    void SetUp() override {
        ShownEditControl::SetUp();
        Send(MPM_VIEWPART, 0, 1);  // no line numbers: text starts at x = 2
        SetFocus(edit_);
        Keys({});
    }
    void TearDown() override {
        Keys({});
        ShownEditControl::TearDown();
    }
    // Sets which keys the control sees as held.
    static void Keys(std::initializer_list<int> down) {
        BYTE state[256] = {};
        for (int vk : down) state[vk] = 0x80;
        SetKeyboardState(state);
    }
    void Type(const std::wstring& s) {
        for (wchar_t c : s) Send(WM_CHAR, c, 1);
    }
    // A key through the control's key map, as the host's message loop does.
    bool Key(int vk, std::initializer_list<int> mods = {}) {
        std::vector<int> all(mods);
        all.push_back(vk);
        BYTE state[256] = {};
        for (int k : all) state[k] = 0x80;
        SetKeyboardState(state);
        MSG msg = {edit_, WM_KEYDOWN, WPARAM(vk), 1, 0, {0, 0}};
        const bool translated = SendMessageW(edit_, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&msg)) != 0;
        if (!translated) SendMessageW(edit_, WM_KEYDOWN, WPARAM(vk), 1);
        Keys({});
        return translated;
    }
    void Set(const std::wstring& text) {
        Insert(text);
        Send(MPM_EMPTYUNDO);
    }
    std::pair<Position, Position> Sel() {
        Position s = {-1, -1}, e = {-1, -1};
        SendP(MPM_GETSELRANGE, &s, &e);
        return {s, e};
    }
    LPARAM At(int col, int row) { return MAKELPARAM(2 + col * cw_ + 1, row * lh_ + lh_ / 2); }
    std::wstring ClipboardText(bool* column = nullptr) {
        std::wstring s;
        if (!OpenClipboard(edit_)) return L"<closed>";
        if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
            s = static_cast<const wchar_t*>(GlobalLock(h));
            GlobalUnlock(h);
        }
        if (column) *column = IsClipboardFormatAvailable(RegisterClipboardFormatW(L"MSDEVColumnSelect")) != 0;
        CloseClipboard();
        return s;
    }
    void PutColumnBlock(const std::wstring& s) {
        ASSERT_TRUE(OpenClipboard(edit_));
        EmptyClipboard();
        HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (s.size() + 1) * sizeof(wchar_t));
        std::copy(s.c_str(), s.c_str() + s.size() + 1, static_cast<wchar_t*>(GlobalLock(g)));
        GlobalUnlock(g);
        SetClipboardData(CF_UNICODETEXT, g);
        SetClipboardData(RegisterClipboardFormatW(L"MSDEVColumnSelect"), nullptr);
        CloseClipboard();
    }
};

}  // namespace

TEST_F(InputTest, SmartHomeAlternatesBetweenIndentAndColumnZero) {
    Set(L"    indented");
    Position p = {0, 6};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_TRUE(Key(VK_HOME));
    EXPECT_TRUE(Same(Caret(), {0, 4}));
    Key(VK_HOME);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    Key(VK_HOME);
    EXPECT_TRUE(Same(Caret(), {0, 4}));
    Key(VK_END);
    EXPECT_TRUE(Same(Caret(), {0, 12}));
}

TEST_F(InputTest, WordLeftTreatsPunctuationAndSpaceAsOneRun) {
    Set(L"word, second");
    Key(VK_LEFT, {VK_CONTROL});
    EXPECT_TRUE(Same(Caret(), {0, 6}));
    Key(VK_LEFT, {VK_CONTROL});
    EXPECT_TRUE(Same(Caret(), {0, 4}));
    Key(VK_LEFT, {VK_CONTROL});
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    Key(VK_RIGHT, {VK_CONTROL});
    EXPECT_TRUE(Same(Caret(), {0, 4}));
}

TEST_F(InputTest, LeftAndRightAtTheEdgesOfASelection) {
    Set(L"abcdefgh");
    Position p = {0, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    for (int i = 0; i < 3; ++i) Key(VK_RIGHT, {VK_SHIFT});
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 2}) && Same(e, {0, 5}));
    Key(VK_LEFT);  // to the left edge, selection kept
    EXPECT_TRUE(Same(Caret(), {0, 2}));
    EXPECT_EQ(Send(MPM_GETSELKIND), 1);
    Key(VK_LEFT);  // now dropped, one step left
    EXPECT_TRUE(Same(Caret(), {0, 1}));
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    p = {0, 5};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    for (int i = 0; i < 3; ++i) Key(VK_LEFT, {VK_SHIFT});
    Key(VK_LEFT);  // the caret is at the left edge already: drop and step
    EXPECT_TRUE(Same(Caret(), {0, 1}));
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
}

TEST_F(InputTest, RowMovesKeepThePreferredX) {
    Set(L"a long first line\nab\nanother long line");
    Position p = {0, 10};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_DOWN);
    EXPECT_TRUE(Same(Caret(), {1, 2}));
    Key(VK_DOWN);
    EXPECT_TRUE(Same(Caret(), {2, 10}));
    Key(VK_UP, {VK_SHIFT});
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {1, 2}) && Same(e, {2, 10}));
    Key(VK_END, {VK_CONTROL});
    EXPECT_TRUE(Same(Caret(), {2, 17}));
    Key(VK_HOME, {VK_CONTROL, VK_SHIFT});
    EXPECT_EQ(Send(MPM_GETSELKIND), 1);
}

TEST_F(InputTest, TypingIsOneUndoStepPerCharacter) {
    Type(L"abc");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"ab");
    Set(L"xyz");
    for (int i = 0; i < 3; ++i) Key(VK_LEFT, {VK_SHIFT});
    EXPECT_EQ(Send(MPM_GETSELKIND), 1);
    Type(L"Q");
    EXPECT_EQ(All(), L"abQ");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"abxyz");
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    // Overwrite mode replaces before the line end and inserts at it.
    EXPECT_EQ(Send(MPM_GETINPUTMODE), 0);
    Key(VK_INSERT);
    EXPECT_EQ(Send(MPM_GETINPUTMODE), 1);
    Position p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Type(L"12");
    EXPECT_EQ(All(), L"a12yz");
    Key(VK_END);
    Type(L"!");
    EXPECT_EQ(All(), L"a12yz!");
    Command(ECMD_UNDO);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"a1xyz");
    // Control codes other than tab are not typed; Enter is a key-down.
    Type(L"\x01\x1b");
    Key(VK_RETURN);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 2);
    // Soft tabs reach the next tab stop.
    Key(VK_INSERT);
    Send(MPM_SOFTTABS, 1);
    Type(L"ab\t");
    EXPECT_EQ(Line(1), L"ab  ");
}

TEST_F(InputTest, ReadOnlyTypingChangesNothing) {
    Set(L"fixed");
    Send(MPM_READONLY, 1);
    Type(L"x");
    Key(VK_BACK);
    Command(ECMD_DELETELINE);
    Command(ECMD_MOVELINEUP);
    EXPECT_EQ(All(), L"fixed");
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
}

TEST_F(InputTest, DeletionsAndLineCommands) {
    Set(L"one\ntwo\nthree");
    Position p = {1, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_BACK);
    EXPECT_EQ(Line(1), L"wo");
    Key(VK_DELETE);
    EXPECT_EQ(Line(1), L"o");
    Key(VK_END);
    Key(VK_DELETE);  // joins the next line
    EXPECT_EQ(All(), L"one\nothree");
    Command(ECMD_UNDO);
    Command(ECMD_UNDO);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"one\ntwo\nthree");
    p = {1, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_UP, {VK_MENU});  // move line up
    EXPECT_EQ(All(), L"two\none\nthree");
    EXPECT_TRUE(Same(Caret(), {0, 1}));
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"one\ntwo\nthree");
    p = {1, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_DOWN, {VK_MENU});  // onto the last line
    EXPECT_EQ(All(), L"one\nthree\ntwo");
    EXPECT_TRUE(Same(Caret(), {2, 0}));
    Key(VK_DOWN, {VK_MENU});  // the last line stays
    EXPECT_EQ(All(), L"one\nthree\ntwo");
    Key(VK_UP, {VK_MENU});  // the last line moves up without leaving a blank
    EXPECT_EQ(All(), L"one\ntwo\nthree");
    Key('J', {VK_CONTROL});  // duplicate
    EXPECT_EQ(All(), L"one\ntwo\ntwo\nthree");
    Key('L', {VK_CONTROL});  // delete line
    EXPECT_EQ(All(), L"one\ntwo\nthree");
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    Key(VK_BACK, {VK_CONTROL});  // at column 0: joins with the line above
    EXPECT_EQ(All(), L"onetwo\nthree");
    Command(ECMD_NEWLINEBELOW);
    EXPECT_EQ(All(), L"onetwo\n\nthree");
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    Command(ECMD_UNDO);
    Command(ECMD_NEWLINEABOVE);
    EXPECT_EQ(All(), L"\nonetwo\nthree");
    EXPECT_TRUE(Same(Caret(), {0, 0}));
}

TEST_F(InputTest, TabWithASelectionIndentsAndShiftTabUnindents) {
    Set(L"alpha\n\nbeta\ngamma");
    Position a = {0, 2}, b = {2, 1};
    SendP(MPM_SELECT, &a, &b);
    Keys({VK_TAB});
    Send(WM_CHAR, L'\t', 1);
    Keys({});
    EXPECT_EQ(All(), L"\talpha\n\n\tbeta\ngamma");
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 0}) && Same(e, {2, 5}));
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"alpha\n\nbeta\ngamma");
    a = {0, 0};
    b = {3, 0};
    SendP(MPM_SELECT, &a, &b);
    Send(MPM_SOFTTABS, 1);
    Command(ECMD_INDENT);
    EXPECT_EQ(All(), L"    alpha\n\n    beta\n    gamma");
    Command(ECMD_UNINDENT);
    EXPECT_EQ(All(), L"alpha\n\nbeta\ngamma");
}

TEST_F(InputTest, CaseCommandsAndBlankTrimming) {
    Set(L"Mixed Case\n  lead\ntrail  \t");
    Command(ECMD_SELECTALL);
    Command(ECMD_UPPERCASE);
    EXPECT_EQ(All(), L"MIXED CASE\n  LEAD\nTRAIL  \t");
    const LRESULT undoable = Send(MPM_CANUNDO);
    EXPECT_EQ(undoable, 1);
    Send(MPM_EMPTYUNDO);
    Command(ECMD_UPPERCASE);  // already upper: no undo step
    EXPECT_EQ(Send(MPM_CANUNDO), 0);
    Command(ECMD_TRIMLEADING);
    Command(ECMD_TRIMTRAILING);
    EXPECT_EQ(All(), L"MIXED CASE\nLEAD\nTRAIL");
    Position p = {0, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_LOWERCASE);  // nothing selected: the unit right of the caret
    EXPECT_EQ(Line(0), L"mIXED CASE");
}

TEST_F(InputTest, TabsAndSpacesConvertAtTabStops) {
    Send(MPM_TABWIDTH, 4);
    Set(L"a\tb\n        c\n  d");
    Command(ECMD_SELECTALL);
    Command(ECMD_TABSTOSPACES);
    EXPECT_EQ(Line(0), L"a   b");
    Command(ECMD_SELECTALL);
    Command(ECMD_SPACESTOTABS);
    EXPECT_EQ(Line(0), L"a\tb");
    EXPECT_EQ(Line(1), L"\t\tc");
    EXPECT_EQ(Line(2), L"  d");  // spaces short of a stop stay
    Command(ECMD_UNDO);
    EXPECT_EQ(Line(1), L"        c");
}

TEST_F(InputTest, BookmarksAndWords) {
    Set(L"l0\nl1\nl2\nl3");
    Position p = {1, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_F2, {VK_CONTROL});
    p = {3, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_F2, {VK_CONTROL});
    Key(VK_F2);  // wraps to the top
    EXPECT_EQ(Caret().line, 1);
    Key(VK_F2);
    EXPECT_EQ(Caret().line, 3);
    Key(VK_F2, {VK_SHIFT});
    EXPECT_EQ(Caret().line, 1);
    Command(ECMD_CLEARBOOKMARKS);
    Key(VK_F2);
    EXPECT_EQ(Caret().line, 1);
    Position end = {99, 99};
    Insert(L" hello_world+x", &end);
    p = {3, 6};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Send(WM_LBUTTONDBLCLK, 0, At(6, 3));
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETSELTEXT))), L"hello_world");
}

TEST_F(InputTest, MouseClicksDragsAndColumnSelection) {
    Set(L"abcdefgh\na\nabcdefgh\nabcdefghij");
    Send(WM_LBUTTONDOWN, 0, At(2, 0));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(5, 2));
    Send(WM_LBUTTONUP, 0, At(5, 2));
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 2}) && Same(e, {2, 5}));
    // A press on the selection and a release without moving: a plain click.
    Send(WM_LBUTTONDOWN, 0, At(3, 1));
    Send(WM_LBUTTONUP, 0, At(0, 1));
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    // Alt+drag: one range per line, none on the short line.
    Keys({VK_MENU});
    Send(WM_LBUTTONDOWN, 0, At(2, 0));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(6, 3));
    Send(WM_LBUTTONUP, 0, At(6, 3));
    Keys({});
    EXPECT_EQ(Send(MPM_GETSELKIND), 2);
    EXPECT_EQ(Send(MPM_GETINPUTMODE), 2);
    EXPECT_EQ(SendP(MPM_GETSELRANGE, &s, &e), 0);
    // Copy keeps the block's shape: the skipped line is an empty line.
    Command(ECMD_COPY);
    bool column = false;
    EXPECT_EQ(ClipboardText(&column), L"cdef\n\ncdef\ncdef");
    EXPECT_TRUE(column);
    // Typing goes into every ranged line, as one undo step.
    Type(L"X");
    EXPECT_EQ(All(), L"abcdefXgh\na\nabcdefXgh\nabcdefXghij");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"abcdefgh\na\nabcdefgh\nabcdefghij");
    // Clicks in the line-number column select the line.
    Send(MPM_VIEWPART, 256 | 0, 1);
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(3, lh_ + 2));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(3, lh_ + 2));
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {1, 0}) && Same(e, {2, 0}));
}

TEST_F(InputTest, ColumnPastePadsShortLinesAndAppendsPastTheEnd) {
    Set(L"0123456789AB\nabcd\nlast line is long");
    // Onto a line of 4 characters with the caret's x at column 8.
    Position p = {0, 8};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    PutColumnBlock(L"X\nY");
    Key('V', {VK_CONTROL});
    EXPECT_EQ(Line(0), L"01234567X89AB");
    EXPECT_EQ(Line(1), L"abcd    Y");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"0123456789AB\nabcd\nlast line is long");
    // Three lines at column 10 of the last line: two new lines padded to it.
    p = {2, 10};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    PutColumnBlock(L"1\r\n2\r\n3");
    Command(ECMD_PASTE);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 5);
    EXPECT_EQ(Line(2), L"last line 1is long");
    EXPECT_EQ(Line(3), L"          2");
    EXPECT_EQ(Line(4), L"          3");
    Command(ECMD_UNDO);
    EXPECT_EQ(Send(MPM_GETLINECOUNT), 3);
}

TEST_F(InputTest, CopyCutPasteAndPasteWithIndentation) {
    Set(L"    first\nsecond");
    Position a = {0, 4}, b = {1, 3};
    SendP(MPM_SELECT, &a, &b);
    Key('C', {VK_CONTROL});
    bool column = true;
    EXPECT_EQ(ClipboardText(&column), L"first\r\nsec");
    EXPECT_FALSE(column);
    Key('X', {VK_CONTROL});
    EXPECT_EQ(All(), L"    ond");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"    first\nsecond");
    Position p = {0, 9};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key('V', {VK_CONTROL, VK_SHIFT});  // paste re-indented to the caret line
    EXPECT_EQ(All(), L"    firstfirst\n    sec\nsecond");
    Command(ECMD_COPYLINE);
    EXPECT_EQ(ClipboardText(), L"    sec");  // the caret ended on the pasted line
}

TEST_F(InputTest, TheWheelScrollsThreeRowsWhenTheSettingIsOne) {
    std::wstring text;
    for (int i = 0; i < 200; ++i) text += L"row\n";
    Set(text);
    Send(MPM_FIRSTVISIBLE, 0);
    UINT old = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &old, 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, 1, nullptr, 0);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, old, nullptr, 0);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 3);
    Send(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(Send(MPM_FIRSTVISIBLE, 0x80000000u), 10);
    Send(WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    // The caret is scrolled into view by moves.
    Key(VK_END, {VK_CONTROL});
    EXPECT_GT(Send(MPM_FIRSTVISIBLE, 0x80000000u), 150);
}

TEST_F(InputTest, BracketsMatchAcrossLines) {
    Set(L"f(a, (b)) {\n  x[1];\n}");
    Position p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_GOTOBRACE);
    EXPECT_TRUE(Same(Caret(), {0, 8}));
    p = {0, 10};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_GOTOBRACE);
    EXPECT_TRUE(Same(Caret(), {2, 0}));
    Command(ECMD_SELECTTOBRACE);
    EXPECT_EQ(Send(MPM_GETSELKIND), 1);
    Send(MPM_BRACEMATCH, 0);
    p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_GOTOBRACE);  // only while matching is on
    EXPECT_TRUE(Same(Caret(), {0, 1}));
}
