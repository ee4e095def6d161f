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
    void Reset(const std::wstring& text) {
        Position a = {0, 0}, b = {INT_MAX, INT_MAX};
        SendP(MPM_DELETERANGE, &a, &b);
        Set(text);
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
    // Select to the brace: from before an opening brace forward, the block
    // is selected with both braces and the caret after the closing one.
    p = {0, 10};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SELECTTOBRACE);
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 10}) && Same(e, {2, 1})) << s.line << "," << s.column << "-" << e.line << "," << e.column;
    EXPECT_TRUE(Same(Caret(), {2, 1}));
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETSELTEXT))), L"{\r\n  x[1];\r\n}");
    // Backward from after the closing brace: the same block, the caret at
    // the opening brace.
    p = {2, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SELECTTOBRACE);
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {0, 10}) && Same(e, {2, 1})) << s.line << "," << s.column << "-" << e.line << "," << e.column;
    EXPECT_TRUE(Same(Caret(), {0, 10}));
    // From before a closing brace the selection runs from the caret back
    // to the opening one.
    p = {1, 5};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SELECTTOBRACE);
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {1, 3}) && Same(e, {1, 5})) << s.line << "," << s.column << "-" << e.line << "," << e.column;
    EXPECT_TRUE(Same(Caret(), {1, 3}));
    // Within one line, nested pairs: the outer pair from its opening brace.
    p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SELECTTOBRACE);
    EXPECT_EQ(Global(reinterpret_cast<HGLOBAL>(Send(MPM_GETSELTEXT))), L"(a, (b))");
    EXPECT_TRUE(Same(Caret(), {0, 9}));
    // With no brace at the caret nothing is selected and the caret stays.
    p = {1, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SELECTTOBRACE);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {1, 1}));
    Send(MPM_BRACEMATCH, 0);
    p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_GOTOBRACE);  // only while matching is on
    EXPECT_TRUE(Same(Caret(), {0, 1}));
}

namespace {
// Where the system caret stands, as the document position under it.
Position PositionUnderCaret(HWND edit) {
    UpdateWindow(edit);
    POINT pt = {-1, -1};
    GetCaretPos(&pt);
    int out[4] = {-1, -1, -1, -1};
    SendMessageW(edit, MPM_HITTEST, reinterpret_cast<WPARAM>(out), MAKELPARAM(pt.x + 1, pt.y + 1));
    return {out[0], out[1]};
}

RECT CaretRect() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    return info.rcCaret;
}
}  // namespace

// The overwrite caret is a block drawn over the text: it stays shown after
// moves (painted pixels and screen pixels differ under it).
TEST_F(InputTest, TheOverwriteCaretStaysVisibleAfterMoves) {
    Set(L"abcdef\nghijkl");
    const UINT blink = GetCaretBlinkTime();
    SetCaretBlinkTime(60000);
    Command(ECMD_OVERWRITE);
    EXPECT_EQ(Send(MPM_GETINPUTMODE), 1);
    for (int id : {ECMD_RIGHT, ECMD_DOWN, ECMD_END, ECMD_LEFT}) {
        SCOPED_TRACE(id);
        Command(id);
        UpdateWindow(edit_);
        POINT pt = {-1, -1};
        GetCaretPos(&pt);
        HDC dc = GetDC(edit_);
        int differ = 0;  // pixels the caret inverts
        {
            RECT rc;
            GetClientRect(edit_, &rc);
            // What the control paints, without the caret.
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP bmp = CreateCompatibleBitmap(dc, rc.right, rc.bottom);
            HGDIOBJ old = SelectObject(mem, bmp);
            Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
            for (int y = pt.y + 1; y < pt.y + lh_ - 1; ++y)
                for (int x = pt.x + 2; x < pt.x + cw_ - 1; ++x)
                    differ += GetPixel(dc, x, y) == (~GetPixel(mem, x, y) & 0xFFFFFF);
            SelectObject(mem, old);
            DeleteObject(bmp);
            DeleteDC(mem);
        }
        ReleaseDC(edit_, dc);
        EXPECT_GT(differ, (lh_ - 2) * (cw_ - 3) / 2) << "no caret drawn at " << pt.x << "," << pt.y;
    }
    Command(ECMD_OVERWRITE);
    SetCaretBlinkTime(blink);
}

// After anything that moves text on the screen, the system caret stands
// over the caret's position again.
TEST_F(InputTest, TheCaretIsPlacedAgainAfterLayoutChanges) {
    std::wstring text;
    for (int i = 0; i < 40; ++i) text += L"line " + std::to_wstring(i) + L" with a few words\n";
    Set(text);
    Position p = {5, 8};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p));
    Send(MPM_FIRSTVISIBLE, 3);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "first visible line";
    Send(MPM_LINESPACING, 6);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "line spacing";
    Send(MPM_VIEWPART, 256 | 0, 1);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "line numbers";
    HFONT big = CreateFontW(-26, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(big), 1);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "font";
    const RECT rc = CaretRect();
    EXPECT_EQ(rc.bottom - rc.top, Send(MPM_FONTHEIGHT)) << "the caret is as high as the new font";
    const int big_cw = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"x"), 1));
    SetWindowPos(edit_, nullptr, 0, 0, 2 + 5 * big_cw + 17 * big_cw, 400, SWP_NOZORDER);
    Send(MPM_TOGGLEWRAP);
    EXPECT_GT(Send(MPM_VISIBLEROWS), 40);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "wrapping on";
    Send(MPM_TOGGLEWRAP);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "wrapping off";
    // Collapsing the fold around the caret moves it to the header, and says so.
    Send(MPM_FOLDMODE, 2);
    for (int line = 4; line <= 7; ++line) {
        LineAttrArg a = {LA_FOLDLEVEL, 1};
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &a);
    }
    g_notices.clear();
    Command(ECMD_COLLAPSEFOLD);
    EXPECT_TRUE(Same(Caret(), {3, 0}));
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), {3, 0})) << "collapse";
    const bool told = std::any_of(g_notices.begin(), g_notices.end(), [](const Notice& n) {
        return n.code == EN_MP_CARETMOVED && Same(n.b, {3, 0});
    });
    EXPECT_TRUE(told);
    Send(MPM_FIRSTVISIBLE, 0);
    p = {9, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), p)) << "below a collapsed fold";
    p = {3, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_EXPANDFOLD);
    EXPECT_TRUE(Same(PositionUnderCaret(edit_), Caret())) << "expand";
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1);
    DeleteObject(big);
}

TEST_F(InputTest, ScrollingEdges) {
    std::wstring text;
    for (int i = 0; i < 200; ++i) text += L"row " + std::to_wstring(i) + L"\n";
    Set(text);
    RECT rc;
    GetClientRect(edit_, &rc);
    const int page = rc.bottom / lh_;
    // The caret may stand on the last whole row without scrolling.
    Position p = {page - 1, 0};
    SendP(MPM_SETCARET, &p, (void*)1);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    Command(ECMD_DOWN);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 1);
    // Page down and up at the ends of the text.
    Command(ECMD_DOCEND);
    Command(ECMD_PAGEDOWN);
    EXPECT_TRUE(Same(Caret(), {200, 0}));
    Command(ECMD_DOCSTART);
    Command(ECMD_PAGEUP);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    Command(ECMD_PAGEDOWN);
    EXPECT_TRUE(Same(Caret(), {page, 0}));
    Command(ECMD_PAGEUP);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    // One screen at a time: the wheel pages, and down is down.
    Send(MPM_FIRSTVISIBLE, 50);
    UINT old = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &old, 0);
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, WHEEL_PAGESCROLL, nullptr, 0);
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-WHEEL_DELTA)), 0);
    const int afterDown = int(Send(MPM_FIRSTVISIBLE, 0x80000000u));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(WHEEL_DELTA)), 0);
    const int afterUp = int(Send(MPM_FIRSTVISIBLE, 0x80000000u));
    SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, old, nullptr, 0);
    EXPECT_EQ(afterDown, 50 + page);
    EXPECT_EQ(afterUp, 50);
}

// The row each wrapped row of line 0 starts at, by hit tests down the window.
std::vector<int> RowStarts(HWND edit, int rows) {
    const int lh = int(SendMessageW(edit, MPM_LINEHEIGHT, 0, 0));
    std::vector<int> starts;
    for (int r = 0; r < rows; ++r) {
        int hit[4] = {-1, -1, -1, -1};
        SendMessageW(edit, MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(0, r * lh + lh / 2));
        if (hit[0] != 0 || (!starts.empty() && hit[1] <= starts.back())) break;
        starts.push_back(hit[1]);
    }
    return starts;
}

// With words kept whole a wrapped row begins where a word does; a word
// longer than the row is still cut at the edge.
TEST_F(InputTest, WrappingAtWordsStartsEveryRowAtAWord) {
    for (int part = 0; part <= 3; ++part) Send(MPM_VIEWPART, WPARAM(part), 0);
    const int x = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"x"), 1));
    SetWindowPos(edit_, nullptr, 0, 0, 13 * x + 4, 400, SWP_NOZORDER);
    Send(MPM_TOGGLEWRAP);
    const std::wstring text = L"alpha beta gamma delta epsilon zeta-eta theta " + std::wstring(30, L'w');
    Set(text);
    EXPECT_EQ(Send(MPM_WRAPWORDS, 2), 0);  // off by default: cut at the edge
    std::vector<int> edge = RowStarts(edit_, 20);
    bool midWord = false;
    for (int s : edge) midWord = midWord || (s > 0 && text[size_t(s) - 1] != L' ' && text[size_t(s)] != L' ');
    EXPECT_TRUE(midWord);
    EXPECT_EQ(Send(MPM_WRAPWORDS, 1), 1);
    const std::vector<int> words = RowStarts(edit_, 20);
    ASSERT_GT(words.size(), 3u);
    std::string shown;
    for (int s : words) shown += std::to_string(s) + " ";
    for (int s : words) {
        if (s == 0 || s > int(text.size()) - 30) continue;  // the long word is cut where it must be
        const wchar_t before = text[size_t(s) - 1];
        EXPECT_TRUE(before == L' ' || before == L'-' || text[size_t(s)] == L' ') << shown;
    }
    Send(MPM_WRAPWORDS, 0);
    EXPECT_EQ(RowStarts(edit_, 20), edge);
    Send(MPM_TOGGLEWRAP);
    Reset(L"");
}

// Rows far down times a tall line height pass the int range: the caret of
// such a row must not wrap around into the window.
TEST_F(InputTest, TallRowsFarDownStayOutOfTheWindow) {
    EXPECT_EQ(Send(MPM_LINESPACING, 5000), 1000) << "spacing is clamped";
    Send(MPM_LINESPACING, 1000);
    const long long lh = Send(MPM_LINEHEIGHT);
    SetWindowPos(edit_, nullptr, 0, 0, 20, 2200, SWP_NOZORDER);  // room for two such rows
    Send(MPM_TOGGLEWRAP);
    Set(std::wstring(100, L'x'));
    int hit[4] = {-1, -1, -1, -1};
    Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(3, int(lh) + 2));
    const int perRow = hit[1];
    ASSERT_GT(perRow, 0);
    // A first line of `rows` rows puts line 1 at a row whose top lies just
    // past 2^32 pixels down.
    const long long rows = ((1LL << 32) + lh - 1) / lh;
    Reset(std::wstring(size_t(rows * perRow), L'x') + L"\nend");
    ASSERT_EQ(Send(MPM_VISIBLEROWS), rows + 1);
    Position p = {1, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    UpdateWindow(edit_);
    POINT pt = {0, 0};
    GetCaretPos(&pt);
    RECT rc;
    GetClientRect(edit_, &rc);
    EXPECT_FALSE(PtInRect(&rc, pt)) << pt.x << "," << pt.y;
    Reset(L"");
    Send(MPM_TOGGLEWRAP);
    Send(MPM_LINESPACING, 0);
}

// The last rows of a wrapped line more than 2^29 pixels tall are painted
// where the caret stands: the line's text, not rows from its middle.
TEST_F(InputTest, TheEndOfAVeryTallWrappedLineIsPaintedAtTheCaret) {
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark
    Send(MPM_LINESPACING, 1000);
    const long long lh = Send(MPM_LINEHEIGHT);
    SetWindowPos(edit_, nullptr, 0, 0, 20, 2200, SWP_NOZORDER);
    Send(MPM_TOGGLEWRAP);
    const long long rows = (1LL << 30) / lh;
    Set(std::wstring(size_t(rows * 4), L'x') + L"Z");
    Position end = {0, INT_MAX};
    SendP(MPM_SETCARET, &end, (void*)1);
    ASSERT_GT(Send(MPM_FIRSTVISIBLE, 0x80000000u) == 0 ? rows : 0, 1000);
    UpdateWindow(edit_);
    POINT pt;
    GetCaretPos(&pt);
    ASSERT_GT(pt.y, 0);
    // The row of the caret holds only "Z": ink in its first cell, none after.
    HDC dc = GetDC(edit_);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, 20, 2200);
    ReleaseDC(edit_, dc);
    HGDIOBJ old = SelectObject(mem, bmp);
    Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    const COLORREF back = GetPixel(mem, 19, pt.y + int(lh) / 2);
    int first = 0, second = 0;
    const int glyphs = int(Send(MPM_FONTHEIGHT));  // the caret stands over the glyphs, not the spacing
    for (int y = pt.y; y < pt.y + glyphs; ++y) {
        for (int x = 2; x < 2 + cw_ - 1; ++x) first += GetPixel(mem, x, y) != back;
        for (int x = 2 + cw_ + 1; x < std::min(2 + 2 * cw_, 19); ++x) second += GetPixel(mem, x, y) != back;
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EXPECT_GT(first, 0) << "the Z before the caret at " << pt.x << "," << pt.y;
    EXPECT_EQ(second, 0) << "nothing after it";
    Reset(L"");
    Send(MPM_TOGGLEWRAP);
    Send(MPM_LINESPACING, 0);
}

// A drag ends when the control loses the mouse capture or the system
// cancels modes: later moves select nothing.
TEST_F(InputTest, LosingTheCaptureEndsADrag) {
    Set(L"abcdefgh\nabcdefgh\nabcdefgh");
    for (int how = 0; how < 2; ++how) {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, At(1, 0));
        EXPECT_EQ(GetCapture(), edit_);
        if (how == 0) ReleaseCapture();
        else Send(WM_CANCELMODE);
        EXPECT_NE(GetCapture(), edit_);
        Send(WM_MOUSEMOVE, MK_LBUTTON, At(5, 2));
        EXPECT_EQ(Send(MPM_GETSELKIND), 0) << how;
        EXPECT_TRUE(Same(Caret(), {0, 1}));
        Send(WM_LBUTTONUP, 0, At(5, 2));
    }
}

TEST_F(InputTest, ColumnSelectionsBackspaceDeleteAndStreamPaste) {
    const std::wstring text = L"abcdefgh\nab\nabcdefgh\nabcdefgh";
    Set(text);
    auto selectBlock = [&] {
        Keys({VK_MENU});
        Send(WM_LBUTTONDOWN, 0, At(2, 0));
        Send(WM_MOUSEMOVE, MK_LBUTTON, At(5, 3));
        Send(WM_LBUTTONUP, 0, At(5, 3));
        Keys({});
        ASSERT_EQ(Send(MPM_GETSELKIND), 2);
    };
    selectBlock();
    Command(ECMD_DELETE);  // every range goes, as one step
    EXPECT_EQ(All(), L"abfgh\nab\nabfgh\nabfgh");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), text);
    selectBlock();
    Command(ECMD_BACKSPACE);  // the unit before each range's end
    EXPECT_EQ(All(), L"abcdfgh\nab\nabcdfgh\nabcdfgh");
    Command(ECMD_BACKSPACE);
    EXPECT_EQ(All(), L"abcfgh\nab\nabcfgh\nabcfgh");
    Command(ECMD_UNDO);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), text);
    // A surrogate pair before a range's end goes whole.
    const std::wstring face = L"\xD83D\xDE00";
    Reset(L"ab" + face + L"cd\nab" + face + L"cd");
    Keys({VK_MENU});
    Send(WM_LBUTTONDOWN, 0, At(1, 0));
    int pairRight = 2 + 1 + int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>((L"ab" + face).c_str()), 4));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pairRight, lh_ + lh_ / 2));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(pairRight, lh_ + lh_ / 2));
    Keys({});
    ASSERT_EQ(Send(MPM_GETSELKIND), 2);
    Command(ECMD_BACKSPACE);
    EXPECT_EQ(All(), L"abcd\nabcd");
    Reset(text);
    // Stream text pasted over a block replaces the block with the text at the caret.
    selectBlock();
    ASSERT_TRUE(OpenClipboard(edit_));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, 6 * sizeof(wchar_t));
    wcscpy(static_cast<wchar_t*>(GlobalLock(g)), L"P\r\nQ");
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
    Command(ECMD_PASTE);
    EXPECT_EQ(All(), L"abfgh\nab\nabfgh\nabP\nQfgh");
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), text);
}

// The column marker of a copied block is real data: it stays on the
// clipboard after the control that copied it is gone.
TEST_F(InputTest, TheColumnMarkerOutlivesTheCopyingControl) {
    Set(L"abcd\nabcd");
    Keys({VK_MENU});
    Send(WM_LBUTTONDOWN, 0, At(1, 0));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(3, 1));
    Send(WM_LBUTTONUP, 0, At(3, 1));
    Keys({});
    Command(ECMD_COPY);
    const UINT format = RegisterClipboardFormatW(L"MSDEVColumnSelect");
    ASSERT_TRUE(OpenClipboard(shown_));
    EXPECT_NE(GetClipboardData(format), nullptr);
    CloseClipboard();
    DestroyWindow(edit_);
    edit_ = Create(7);
    EXPECT_TRUE(IsClipboardFormatAvailable(format));
    Send(MPM_VIEWPART, 0, 1);
    Insert(L"xyz\nxyz\nxyz");
    Position home = {0, 0};
    SendP(MPM_SETCARET, &home, (void*)nullptr);
    Command(ECMD_PASTE);
    EXPECT_EQ(All(), L"bcxyz\nbcxyz\nxyz");
}

// A character outside the basic plane is a pair of units: typed as two
// WM_CHAR messages it is one undo step, and no caret move, deletion, hit
// or row break ever stands between the two.
TEST_F(InputTest, SurrogatePairsStayWhole) {
    const std::wstring face = L"\xD83D\xDE00";
    Type(L"a");
    Type(face);
    Type(L"b");
    EXPECT_EQ(All(), L"a" + face + L"b");
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"a" + face);
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"a");
    Command(ECMD_REDO);
    Command(ECMD_REDO);
    Position p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_RIGHT);
    EXPECT_TRUE(Same(Caret(), {0, 3}));
    Command(ECMD_LEFT);
    EXPECT_TRUE(Same(Caret(), {0, 1}));
    Command(ECMD_SEL_RIGHT);
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(e, {0, 3}));
    Command(ECMD_DELETE);
    EXPECT_EQ(All(), L"ab");
    Command(ECMD_UNDO);
    p = {0, 3};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_BACKSPACE);
    EXPECT_EQ(All(), L"ab");
    Command(ECMD_UNDO);
    p = {0, 1};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_DELETE);
    EXPECT_EQ(All(), L"ab");
    Command(ECMD_UNDO);
    // The caret after the pair stands where the painted "b" starts.
    p = {0, 3};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    UpdateWindow(edit_);
    POINT pt;
    GetCaretPos(&pt);
    const int caretX = pt.x + 1;
    EXPECT_EQ(caretX, 2 + int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>((L"a" + face).c_str()), 3)));
    auto paint = [&](HDC mem) { Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT); };
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark after the text
    HDC screen = GetDC(edit_);
    HDC withB = CreateCompatibleDC(screen), withoutB = CreateCompatibleDC(screen);
    HBITMAP b1 = CreateCompatibleBitmap(screen, 400, lh_), b2 = CreateCompatibleBitmap(screen, 400, lh_);
    ReleaseDC(edit_, screen);
    HGDIOBJ o1 = SelectObject(withB, b1), o2 = SelectObject(withoutB, b2);
    paint(withB);
    Position a = {0, 3}, z = {0, 4};
    SendP(MPM_DELETERANGE, &a, &z);
    paint(withoutB);
    int left = INT_MAX, right = -1;
    for (int y = 0; y < lh_; ++y)
        for (int x = 0; x < 400; ++x)
            if (GetPixel(withB, x, y) != GetPixel(withoutB, x, y) && x != caretX - 1 && x != caretX) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_GE(left, caretX) << "the b is drawn where the caret says it is";
    EXPECT_LT(right, caretX + cw_ + 2);
    SelectObject(withB, o1);
    SelectObject(withoutB, o2);
    DeleteObject(b1);
    DeleteObject(b2);
    DeleteDC(withB);
    DeleteDC(withoutB);
    // Hits inside the pair's cell land before or after it.
    Reset(L"ab\n" + face + face + face + L" x");
    const int pairWidth = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(face.c_str()), 2));
    for (int x = 2; x < 2 + 3 * pairWidth; ++x) {
        int out[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(out), MAKELPARAM(x, lh_ + lh_ / 2));
        EXPECT_EQ(out[1] % 2, 0) << "x " << x;
    }
    // Word moves and rows of a wrapped line break between pairs only.
    p = {1, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_WORDRIGHT);
    EXPECT_TRUE(Same(Caret(), {1, 6}));
    Command(ECMD_WORDLEFT);
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    std::wstring many;
    for (int i = 0; i < 40; ++i) many += face;
    Reset(many);
    SetWindowPos(edit_, nullptr, 0, 0, 2 + 7 * pairWidth + pairWidth / 2, 400, SWP_NOZORDER);
    Send(MPM_TOGGLEWRAP);
    EXPECT_GT(Send(MPM_VISIBLEROWS), 3);
    for (int row = 1; row < 4; ++row) {
        int out[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(out), MAKELPARAM(3, row * lh_ + 2));
        EXPECT_EQ(out[1] % 2, 0) << "row " << row;
    }
    Send(MPM_TOGGLEWRAP);
}

namespace {
// The screen row of the system caret (0 = the top row of the window).
int CaretScreenRow(HWND edit, int lh) {
    UpdateWindow(edit);
    POINT pt = {-1, -1};
    GetCaretPos(&pt);
    return pt.x < 0 ? -1 : pt.y / lh;
}
}  // namespace

// Page moves with wrapping on: 40 lines of two rows each ("row" below is a
// visual row), a window of seven whole rows and half of an eighth. A page
// is seven rows: the caret moves that far and, when it leaves the window,
// the text scrolls by the same amount, so it keeps its place on the screen.
TEST_F(InputTest, PageMovesOverWrappedLines) {
    SetWindowPos(edit_, nullptr, 0, 0, 2 + 10 * cw_, 7 * lh_ + lh_ / 2, SWP_NOZORDER);
    std::wstring text;
    for (int i = 0; i < 40; ++i) text += std::wstring(15, wchar_t(L'a' + i % 26)) + L"\n";
    text.pop_back();
    Set(text);
    Send(MPM_TOGGLEWRAP);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 80);  // nine units, then six
    auto top = [&] {
        int hit[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(3, 2));
        return std::vector<int>{int(Send(MPM_FIRSTVISIBLE, 0x80000000u)), hit[0], hit[3]};
    };
    // In the middle: line 10 (row 20) in the window from line 9 (row 18).
    Position p = {10, 3};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Send(MPM_FIRSTVISIBLE, 9);
    ASSERT_EQ(CaretScreenRow(edit_, lh_), 2);
    Key(VK_NEXT);  // row 27: the second row of line 13, at the same x
    EXPECT_TRUE(Same(Caret(), {13, 12}));
    EXPECT_EQ(top(), (std::vector<int>{12, 12, 1})) << "the top is row 25, line 12's second row";
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 2);
    Key(VK_NEXT);  // row 34
    EXPECT_TRUE(Same(Caret(), {17, 3}));
    EXPECT_EQ(top(), (std::vector<int>{16, 16, 0}));
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 2);
    Key(VK_PRIOR);
    Key(VK_PRIOR);
    EXPECT_TRUE(Same(Caret(), {10, 3}));
    EXPECT_EQ(top(), (std::vector<int>{9, 9, 0}));
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    // At the top: page up stops on row 0 at the same x, and nothing scrolls.
    Key(VK_PRIOR);  // row 13, the top row 11
    EXPECT_TRUE(Same(Caret(), {6, 12}));
    EXPECT_EQ(top(), (std::vector<int>{5, 5, 1}));
    Key(VK_PRIOR);  // row 6, the top row 4
    EXPECT_TRUE(Same(Caret(), {3, 3}));
    EXPECT_EQ(top(), (std::vector<int>{2, 2, 0}));
    Key(VK_PRIOR);  // row 0; the text cannot scroll further
    EXPECT_TRUE(Same(Caret(), {0, 3}));
    EXPECT_EQ(top(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 0);
    Key(VK_PRIOR);
    EXPECT_TRUE(Same(Caret(), {0, 3}));
    EXPECT_EQ(top(), (std::vector<int>{0, 0, 0}));
    // At the end: page down stops on the last row (row 79).
    p = {38, 3};  // row 76
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Send(MPM_FIRSTVISIBLE, 35);  // rows 70 to 76 in the window
    Key(VK_NEXT);
    EXPECT_TRUE(Same(Caret(), {39, 12}));
    EXPECT_EQ(top(), (std::vector<int>{38, 38, 1})) << "scrolled by a page: row 77 at the top";
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 2);
    // The caret cannot go further and stays in the window: nothing scrolls.
    Key(VK_NEXT);
    EXPECT_TRUE(Same(Caret(), {39, 12}));
    EXPECT_EQ(top(), (std::vector<int>{38, 38, 1}));
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 2);
    Send(MPM_TOGGLEWRAP);
}

// A text shorter than the window: page down puts the caret on the last row
// and the text stays where it is, as does page up back to the first row.
TEST_F(InputTest, PageMovesInATextShorterThanTheWindow) {
    SetWindowPos(edit_, nullptr, 0, 0, 2 + 10 * cw_, 7 * lh_ + lh_ / 2, SWP_NOZORDER);
    Set(L"first\nsecond line that wraps\nthird");  // rows 0, 1-3, 4
    Send(MPM_TOGGLEWRAP);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 5);
    Position p = {0, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_NEXT);
    EXPECT_TRUE(Same(Caret(), {2, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 4);
    Key(VK_PRIOR);
    EXPECT_TRUE(Same(Caret(), {0, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    EXPECT_EQ(CaretScreenRow(edit_, lh_), 0);
    Key(VK_NEXT, {VK_SHIFT});
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 2}) && Same(e, {2, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    Send(MPM_TOGGLEWRAP);
}

// Shift+PgDn and Shift+PgUp (commands 22 and 21) extend the selection from
// its anchor; coming back to the anchor leaves nothing selected.
TEST_F(InputTest, ExtendingPageMovesOverWrappedLines) {
    SetWindowPos(edit_, nullptr, 0, 0, 2 + 10 * cw_, 7 * lh_ + lh_ / 2, SWP_NOZORDER);
    std::wstring text;
    for (int i = 0; i < 40; ++i) text += std::wstring(15, wchar_t(L'a' + i % 26)) + L"\n";
    text.pop_back();
    Set(text);
    Send(MPM_TOGGLEWRAP);
    Position p = {10, 3};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Send(MPM_FIRSTVISIBLE, 9);
    Key(VK_NEXT, {VK_SHIFT});
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {10, 3}) && Same(e, {13, 12}));
    EXPECT_TRUE(Same(Caret(), {13, 12}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 12);
    Command(ECMD_SEL_PAGEDOWN);
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {10, 3}) && Same(e, {17, 3}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 16);
    Command(ECMD_SEL_PAGEUP);
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {10, 3}) && Same(e, {13, 12}));
    Key(VK_PRIOR, {VK_SHIFT});  // back at the anchor
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {10, 3}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 9);
    Command(ECMD_SEL_PAGEUP);  // above the anchor now
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {6, 12}) && Same(e, {10, 3}));
    EXPECT_TRUE(Same(Caret(), {6, 12}));
    // A plain page move drops the selection.
    Key(VK_NEXT);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {10, 3}));
    // Extending down from the last page stops at the end of the text.
    Command(ECMD_DOCEND);
    p = {38, 3};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_SEL_PAGEDOWN);
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {38, 3}) && Same(e, {39, 12}));
    Send(MPM_TOGGLEWRAP);
}

// Home from inside the leading blanks goes to column 0; from column 0 to
// the first character that is not blank; from after it back to it.
TEST_F(InputTest, HomeFromInsideTheIndent) {
    Set(L"    four\n\t\ttabs\n \t mixed\n   \nnone");
    struct Case {
        Position from;
        int to;
    };
    const Case cases[] = {
        {{0, 2}, 0}, {{0, 1}, 0}, {{0, 4}, 0}, {{0, 0}, 4}, {{0, 5}, 4}, {{0, 8}, 4},
        {{1, 1}, 0}, {{1, 0}, 2}, {{1, 6}, 2},
        {{2, 2}, 0}, {{2, 3}, 0}, {{2, 0}, 3}, {{2, 7}, 3},
        {{3, 1}, 0}, {{3, 3}, 0}, {{3, 0}, 3},  // a line of blanks only
        {{4, 2}, 0}, {{4, 0}, 0},               // no indent at all
    };
    for (const Case& c : cases) {
        Position p = c.from;
        SendP(MPM_SETCARET, &p, (void*)nullptr);
        Key(VK_HOME);
        EXPECT_TRUE(Same(Caret(), {c.from.line, c.to})) << "from " << c.from.line << "," << c.from.column
                                                         << " to column " << Caret().column;
        EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    }
    // Shift+Home selects what the caret passes over.
    Position p = {0, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_HOME, {VK_SHIFT});
    auto [s, e] = Sel();
    EXPECT_TRUE(Same(s, {0, 0}) && Same(e, {0, 2}));
    p = {0, 7};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_HOME, {VK_SHIFT});
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {0, 4}) && Same(e, {0, 7}));
    Key(VK_HOME, {VK_SHIFT});  // on from the indent to column 0: the anchor stays
    std::tie(s, e) = Sel();
    EXPECT_TRUE(Same(s, {0, 0}) && Same(e, {0, 7}));
    // Home drops a selection.
    Key(VK_HOME);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {0, 4}));
}

// A column block pasted with the caret after a tab lands at the caret's x
// on every line: tabs on the lines below count to their tab stops.
TEST_F(InputTest, ColumnPasteAtACaretAfterATab) {
    Send(MPM_TABWIDTH, 4);
    Set(L"\tab\n0123456789\na\tbc\nxy\n\t\tdeep");
    Position p = {0, 1};  // x = four widths
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    PutColumnBlock(L"1\n2\n3\n4\n5");
    Command(ECMD_PASTE);
    EXPECT_EQ(Line(0), L"\t1ab");
    EXPECT_EQ(Line(1), L"01232456789");
    EXPECT_EQ(Line(2), L"a\t3bc");
    EXPECT_EQ(Line(3), L"xy  4");
    EXPECT_EQ(Line(4), L"\t5\tdeep");
    // On the screen the pasted characters stand in one column.
    for (int line = 0; line < 5; ++line) {
        int hit[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), At(4, line));
        ASSERT_EQ(hit[0], line);
        EXPECT_EQ(Send(MPM_GETCHARAT, WPARAM(line), hit[1]), L'1' + line) << "line " << line;
    }
    Command(ECMD_UNDO);
    EXPECT_EQ(All(), L"\tab\n0123456789\na\tbc\nxy\n\t\tdeep");
    // After two tabs the caret's x is eight widths: a line added below the
    // text is padded with as many spaces.
    p = {4, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    PutColumnBlock(L"P\nQ");
    Command(ECMD_PASTE);
    EXPECT_EQ(Line(4), L"\t\tPdeep");
    EXPECT_EQ(Line(5), L"        Q");
}

// Characters outside the basic plane on the lines of a column paste count
// as the one character they are painted as: the block lands at the caret's
// x and never between the two units of a pair.
TEST_F(InputTest, ColumnPasteOverSurrogatePairs) {
    const std::wstring face = L"\xD83D\xDE00";
    Set(face + face + L"xyz\n" + face + face + L"abc\n" + face + L"q" + face + L"r");
    Position p = {0, 4};  // after two pairs
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    UpdateWindow(edit_);
    POINT caret = {-1, -1};
    GetCaretPos(&caret);
    PutColumnBlock(L"1\n2\n3");
    Command(ECMD_PASTE);
    EXPECT_EQ(Line(0), face + face + L"1xyz");
    EXPECT_EQ(Line(1), face + face + L"2abc");
    // The second pair of line 2 reaches past the caret's x: the digit goes
    // before it, not into it.
    EXPECT_EQ(Line(2), face + L"q3" + face + L"r");
    for (int line = 0; line < 3; ++line) {
        const std::wstring t = Line(line);
        for (size_t i = 0; i < t.size(); ++i)
            if ((t[i] & 0xFC00) == 0xD800) {
                ASSERT_LT(i + 1, t.size());
                EXPECT_EQ(t[i + 1] & 0xFC00, 0xDC00) << "line " << line << " unit " << i;
            }
        if (line == 2) continue;
        // The pasted digit stands at the caret's x on the screen.
        int hit[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(caret.x + 2, line * lh_ + lh_ / 2));
        EXPECT_EQ(Send(MPM_GETCHARAT, WPARAM(line), hit[1]), L'1' + line) << "line " << line << ": " << hit[1];
    }
}

// Page moves count visible rows: a collapsed fold takes none, and the caret
// never lands on one of its lines.
TEST_F(InputTest, PageMovesSkipCollapsedLines) {
    SetWindowPos(edit_, nullptr, 0, 0, 400, 7 * lh_ + lh_ / 2, SWP_NOZORDER);
    std::wstring text;
    for (int i = 0; i < 30; ++i) text += L"line " + std::to_wstring(i) + L"\n";
    text.pop_back();
    Set(text);
    Send(MPM_FOLDMODE, 2);
    for (int line = 5; line <= 20; ++line) {
        LineAttrArg a = {LA_FOLDLEVEL, 1};
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &a);
    }
    Position p = {4, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Command(ECMD_COLLAPSEFOLD);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 14);  // lines 0-4 and 21-29
    p = {0, 2};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    Key(VK_NEXT);  // row 7: line 23
    EXPECT_TRUE(Same(Caret(), {23, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 23);
    Key(VK_NEXT);  // the last row, already in the window
    EXPECT_TRUE(Same(Caret(), {29, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 23);
    Key(VK_PRIOR);  // row 6: line 22
    EXPECT_TRUE(Same(Caret(), {22, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    Key(VK_PRIOR);
    EXPECT_TRUE(Same(Caret(), {0, 2}));
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 0);
    EXPECT_EQ(Send(MPM_VISIBLEROWS), 14) << "the fold stays collapsed";
}
