// Layout, wrapping, folding and painting of the control, checked through
// messages and on the pixels it paints (WM_PRINTCLIENT into a bitmap).
#include "EditHarness.h"

namespace {

class ViewTest : public ShownEditControl {
protected:
    // Line numbers off: the text area starts after the 2-pixel left margin.
    void PlainMargins() { Send(MPM_VIEWPART, 0, 1); }
    void Resize(int width, int height = 300) { SetWindowPos(edit_, nullptr, 0, 0, width, height, SWP_NOZORDER); }
    int Rows() { return int(Send(MPM_VISIBLEROWS)); }
    void CaretTo(int line, int column = 0) {
        Position p = {line, column};
        SendP(MPM_SETCARET, &p, (void*)nullptr);
    }
    // Hit test: line, column, row, sub-row.
    std::vector<int> Hit(int x, int y) {
        int out[4] = {-1, -1, -1, -1};
        Send(MPM_HITTEST, reinterpret_cast<WPARAM>(out), MAKELPARAM(x, y));
        return {out[0], out[1], out[2], out[3]};
    }
    void SetLevel(int line, int level) {
        LineAttrArg a = {LA_FOLDLEVEL, level};
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &a);
    }
};

// Marks the first four units of line 1 as find highlights (class 20).
struct FindHighlight : IHighlighter {
    int Highlight(int line, const wchar_t*, int n, unsigned short* st) override {
        if (line == 1)
            for (int i = 0; i < 4 && i < n; ++i) st[i] = (unsigned short)((st[i] & ~31) | STYLE_FIND_HIGHLIGHT);
        return 0;
    }
};

}  // namespace

TEST_F(ViewTest, ALineOfExactlyTheWrapWidthTakesTwoRows) {
    PlainMargins();
    Resize(2 + 10 * cw_);
    Insert(L"0123456789\n012345678");
    EXPECT_EQ(Send(MPM_GETWRAPMODE), 0);
    EXPECT_EQ(Rows(), 2);
    Send(MPM_TOGGLEWRAP);
    EXPECT_EQ(Send(MPM_GETWRAPMODE), 2);
    EXPECT_EQ(Rows(), 3);
    // The character that reaches the width starts the second row.
    EXPECT_EQ(Hit(3, lh_ + 2), (std::vector<int>{0, 9, 1, 1}));
    EXPECT_EQ(Hit(3, 2 * lh_ + 2), (std::vector<int>{1, 0, 2, 0}));
    // The caret at the break column shows at the end of the upper row: the
    // current-line background covers row 0, not row 1.
    CaretTo(0, 9);
    Capture cap(edit_);
    const COLORREF current = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE))[12];
    EXPECT_EQ(cap.At(2 + 10 * cw_ - 2, lh_ / 2), current);
    EXPECT_NE(cap.At(2 + 10 * cw_ - 2, lh_ + lh_ / 2), current);
    Send(MPM_TOGGLEWRAP);
    EXPECT_EQ(Rows(), 2);
}

TEST_F(ViewTest, NarrowWindowsStillWrapAtFortyPixels) {
    PlainMargins();
    Resize(20);
    const std::wstring line(30, L'w');
    Insert(line);
    Send(MPM_TOGGLEWRAP);
    // Reference: a row ends where the running width reaches 40 pixels.
    int rows = 1, d = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        d += cw_;
        if (d >= 40) ++rows, d = cw_;
    }
    EXPECT_EQ(Rows(), rows);
}

TEST_F(ViewTest, ATabInASecondRowCountsFromTheRowStart) {
    PlainMargins();
    Resize(2 + 10 * cw_);
    Send(MPM_TABWIDTH, 4);
    Insert(L"aaaaaaaaaab\tX");
    Send(MPM_TOGGLEWRAP);
    // Row 1 holds "ab\tX": the tab ends at 4 widths from the row start.
    EXPECT_EQ(Hit(2 + 4 * cw_ + 1, lh_ + 2), (std::vector<int>{0, 12, 1, 1}));
    EXPECT_EQ(Hit(2 + 2 * cw_ + 1, lh_ + 2)[1], 11);
}

TEST_F(ViewTest, WrappingFollowsEditsAndResizes) {
    PlainMargins();
    Resize(2 + 10 * cw_);
    Send(MPM_TOGGLEWRAP);
    Insert(L"short");
    EXPECT_EQ(Rows(), 1);
    Insert(std::wstring(20, L'z'));  // 25 units: rows of 9, 9, 7
    EXPECT_EQ(Rows(), 3);
    Insert(L"\nnext\nlines");
    EXPECT_EQ(Rows(), 5);
    Resize(2 + 30 * cw_);
    EXPECT_EQ(Rows(), 3);
    Position a = {0, 0}, b = {2, 0};
    SendP(MPM_DELETERANGE, &a, &b);
    EXPECT_EQ(Rows(), 1);
}

TEST_F(ViewTest, NestedFoldsCollapseAndExpandByDepth) {
    Insert(L"0\n1\n2\n3\n4\n5");
    EXPECT_EQ(Send(MPM_FOLDMODE, 2), 2);
    EXPECT_EQ(Send(MPM_FOLDMODE, 0x80000000u), 2);
    const int levels[] = {0, 1, 2, 2, 1, 0};
    for (int i = 0; i < 6; ++i) SetLevel(i, levels[i]);
    CaretTo(2);
    Command(ECMD_COLLAPSEFOLD);  // the fold of line 1: lines 2 and 3
    EXPECT_EQ(Rows(), 4);
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    CaretTo(0);
    Command(ECMD_COLLAPSEFOLD);  // line 0 is a header at level 0: lines 1 to 4
    EXPECT_EQ(Rows(), 2);
    Command(ECMD_EXPANDFOLD);
    EXPECT_EQ(Rows(), 4);  // the inner fold stays collapsed
    CaretTo(1);
    Command(ECMD_EXPANDFOLD);
    EXPECT_EQ(Rows(), 6);
    Command(ECMD_EXPANDFOLD);  // nothing folded under line 1 now
    EXPECT_EQ(Rows(), 6);
    // Switching the mode clears every level.
    Send(MPM_FOLDMODE, 3);
    LineAttrArg get = {LA_FOLDLEVEL, -1};
    SendP(MPM_GETLINEATTR, (void*)2, &get);
    EXPECT_EQ(get.value, 0);
}

TEST_F(ViewTest, HiddenDepthSaturatesAtFifteen) {
    std::wstring text;
    for (int i = 0; i < 18; ++i) text += std::to_wstring(i) + L"\n";
    text.pop_back();
    Insert(text);
    Send(MPM_FOLDMODE, 2);
    for (int i = 0; i < 17; ++i) SetLevel(i, i);  // sixteen nested folds
    SetLevel(17, 0);
    CaretTo(16);
    for (int i = 0; i < 16; ++i) Command(ECMD_COLLAPSEFOLD);
    EXPECT_EQ(Rows(), 2);
    // Fifteen expansions from the outside make everything visible: line 16
    // sat at depth 15, not 16.
    for (int h = 0; h < 15; ++h) {
        CaretTo(h);
        Command(ECMD_EXPANDFOLD);
    }
    EXPECT_EQ(Rows(), 18);
}

TEST_F(ViewTest, DeletingTheFirstVisibleLineMovesTheTopToTheEditStart) {
    std::wstring text;
    for (int i = 0; i < 100; ++i) text += L"line " + std::to_wstring(i) + L"\n";
    Insert(text);
    Send(MPM_FIRSTVISIBLE, 50);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 50);
    Position a = {40, 2}, b = {60, 0};
    SendP(MPM_DELETERANGE, &a, &b);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 40);
    Position c = {10, 0}, d = {15, 0};  // above the top: it moves up
    SendP(MPM_DELETERANGE, &c, &d);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 35);
    Position e = {0, 0};
    Insert(L"1\n2\n3\n", &e);
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 38);
    Send(MPM_FIRSTVISIBLE, 5000);  // beyond the end: ignored
    EXPECT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), 38);
    EXPECT_EQ(Rows(), int(Send(MPM_GETLINECOUNT)));
}

TEST_F(ViewTest, MarginsAndMarksArePaintedInTheirColours) {
    COLORREF table[COLOR_TABLE_ENTRIES];
    const COLORREF* own = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE));
    std::copy(own, own + COLOR_TABLE_ENTRIES, table);
    table[0] = RGB(255, 255, 255);
    table[1] = RGB(0, 0, 0);
    table[3] = RGB(0, 0, 200);     // selection background
    table[4] = RGB(255, 255, 0);
    table[6] = RGB(0, 160, 0);     // marks, [EOF]
    table[7] = RGB(230, 230, 230); // line-number background
    table[8] = RGB(200, 0, 0);     // digits
    table[10] = RGB(128, 0, 128);  // "..."
    table[11] = RGB(0, 128, 128);  // dotted underline
    table[12] = RGB(255, 240, 180);// current line
    table[40] = RGB(255, 0, 255);  // find highlight background
    table[70] = RGB(250, 250, 250);
    SendP(MPM_COLORTABLE, table, (void*)nullptr);
    Insert(L"first line\nfind this\nheader\n\tbody\nlast");
    FindHighlight hl;
    Send(MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(&hl), 1);
    const int numbers = cw_ * 5;  // three digits plus two
    const int text0 = numbers + 2;
    CaretTo(0, 3);
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count({0, 0, numbers, lh_}, table[8]), 0) << "line-number digits";
        EXPECT_GT(cap.Count({0, 0, numbers, lh_}, table[7]), 0);
        EXPECT_GT(cap.Count({text0 + 12 * cw_, 0, text0 + 40 * cw_, lh_}, table[12]), 20 * cw_)
            << "current-line background";
        EXPECT_GT(cap.Count({text0, lh_, text0 + 4 * cw_, 2 * lh_}, table[40]), 0) << "find highlight";
        EXPECT_GT(cap.Count({text0 + 4 * cw_, 4 * lh_, text0 + 10 * cw_, 5 * lh_}, table[6]), 0) << "[EOF]";
        EXPECT_EQ(cap.Count({text0 + 10 * cw_, 4 * lh_, text0 + 40 * cw_, 5 * lh_}, table[12]), 0);
        EXPECT_GT(cap.Count({text0, 5 * lh_, text0 + 40 * cw_, 6 * lh_}, table[70]), 0) << "below the text";
    }
    // A selection over the find highlight shows the selection colours, and a
    // find highlight on the current line keeps its own background.
    Position a = {1, 0}, b = {1, 2};
    SendP(MPM_SELECT, &a, &b);
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count({text0, lh_, text0 + 2 * cw_, 2 * lh_}, table[3]), 0);
        EXPECT_EQ(cap.Count({text0, lh_, text0 + 2 * cw_, 2 * lh_}, table[40]), 0);
        EXPECT_GT(cap.Count({text0 + 2 * cw_, lh_, text0 + 4 * cw_, 2 * lh_}, table[40]), 0);
        EXPECT_GT(cap.Count({text0 + 12 * cw_, lh_, text0 + 40 * cw_, 2 * lh_}, table[12]), 0);
    }
    // A collapsed header: line-end mark, "...", and a dotted underline.
    Send(MPM_FOLDMODE, 2);
    SetLevel(3, 1);
    CaretTo(3);
    Command(ECMD_COLLAPSEFOLD);
    const int folds = 10;
    {
        Capture cap(edit_);
        const int x0 = folds + numbers + 2 + 6 * cw_ + cw_;  // after "header" and its line-end mark
        EXPECT_GT(cap.Count({x0, 2 * lh_, x0 + 4 * cw_, 3 * lh_}, table[10]), 0) << "...";
        EXPECT_GT(cap.Count({folds + numbers, 3 * lh_ - 2, folds + numbers + 200, 3 * lh_}, table[11]), 50);
        // The hidden line takes no height: "last" is the fourth row.
        EXPECT_GT(cap.Count({folds, 3 * lh_, folds + numbers, 4 * lh_}, table[8]), 0);
        EXPECT_GT(cap.Count({folds + numbers + 2 + 4 * cw_, 3 * lh_, folds + numbers + 2 + 10 * cw_, 4 * lh_},
                            table[6]), 0);
    }
    // The host's table is read live.
    table[70] = RGB(1, 2, 3);
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count({folds + numbers + 2, 5 * lh_, 300, 6 * lh_}, RGB(1, 2, 3)), 0);
    }
    Send(MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(&hl), 0);
}

TEST_F(ViewTest, LineNumberColumnGrowsWithTheLineCount) {
    std::wstring nine;
    for (int i = 0; i < 9; ++i) nine += L"x\n";
    Insert(nine);
    // Text starts after the number column (digits + 2) and the left margin.
    EXPECT_EQ(Hit(5 * cw_ + 2 + 1, 1)[1], 0);
    EXPECT_EQ(Hit(5 * cw_ + 2 + cw_ + 1, 1)[1], 1);
    std::wstring many;
    for (int i = 0; i < 12345; ++i) many += L"y\n";
    Insert(many);
    Send(MPM_FIRSTVISIBLE, 0);
    EXPECT_EQ(Hit(7 * cw_ + 2 + 1, 1)[1], 0);
    EXPECT_EQ(Hit(7 * cw_ + 2 - cw_ + 1, 1)[1], 0);  // left of the text: column 0
}

TEST_F(ViewTest, ViewPartsAndFontMessages) {
    EXPECT_EQ(Send(MPM_VIEWPART, 0, LPARAM(-1)), 1);
    EXPECT_EQ(Send(MPM_VIEWPART, 9, LPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_VIEWPART, 8, LPARAM(-1)), 0);
    EXPECT_EQ(Send(MPM_VIEWPART, 256 | 9, 1), -1);
    EXPECT_EQ(Send(MPM_VIEWPART, 9, LPARAM(-1)), 1);
    EXPECT_EQ(Send(MPM_VIEWPART, 256 | 1, 1), -1);  // the ruler
    EXPECT_EQ(Send(MPM_VIEWPART, 1, LPARAM(-1)), 1);
    EXPECT_NE(FindWindowExW(edit_, nullptr, nullptr, nullptr), nullptr);
    Send(MPM_VIEWPART, 1, 1);
    EXPECT_EQ(FindWindowExW(edit_, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(Send(WM_GETFONT), reinterpret_cast<LRESULT>(font_));
    EXPECT_EQ(Send(MPM_LINESPACING, 4), 4);
    EXPECT_EQ(Send(MPM_LINEHEIGHT), lh_ + 4);
    EXPECT_EQ(Send(MPM_LINESPACING, 0x80000000u), 4);
    EXPECT_EQ(Send(MPM_FONTHEIGHT), lh_);
    EXPECT_EQ(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"abc"), -1), 3 * cw_);
    // A control character is as wide as its name.
    EXPECT_EQ(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"\x13"), 1), 4 * cw_);
    EXPECT_EQ(Send(MPM_BRACEMATCH, 2), 1);
    EXPECT_EQ(Send(MPM_BRACEMATCH, 0), 0);
    EXPECT_EQ(Send(WM_ERASEBKGND), 1);
}

namespace {
// Fold levels by braces: the line after one with an unclosed '{' is one deeper.
struct BraceLexer : ILexer {
    int calls = 0;
    int LineState(int, const wchar_t*, int, int prev, unsigned short*) override { return prev; }
    const wchar_t* Name() override { return L"braces"; }
    int FoldLevel(int, const wchar_t* t, int n, int, int, int level, unsigned short*) override {
        ++calls;
        for (int i = 0; i < n; ++i) level += t[i] == L'{' ? 1 : t[i] == L'}' ? -1 : 0;
        return std::max(level, 0);
    }
};
}  // namespace

TEST_F(ViewTest, TheBackgroundFoldPassComputesLevelsOnATimer) {
    std::wstring text;
    for (int i = 0; i < 300; ++i) text += i % 3 == 0 ? L"block {\n" : i % 3 == 1 ? L"  body\n" : L"}\n";
    Insert(text);
    BraceLexer lexer;
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    Send(MPM_FOLDMODE, 1);
    LineAttrArg get = {LA_FOLDLEVEL, -1};
    const DWORD until = GetTickCount() + 3000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        SendP(MPM_GETLINEATTR, (void*)299, &get);
        if (get.value == 1 || GetTickCount() > until) break;
        Sleep(20);
    }
    EXPECT_EQ(get.value, 1) << "line 299 sits inside the last block";
    SendP(MPM_GETLINEATTR, (void*)1, &get);
    EXPECT_EQ(get.value, 1);
    SendP(MPM_GETLINEATTR, (void*)3, &get);
    EXPECT_EQ(get.value, 0);
    EXPECT_GE(lexer.calls, 300);
    // The computed folds collapse like any others.
    CaretTo(0);
    Command(ECMD_COLLAPSEFOLD);
    EXPECT_EQ(Rows(), 301 - 2);
    Send(MPM_SETLEXER, 0, 0);
}

TEST_F(ViewTest, RowsStayConsistentAcrossBlocksOfLinesAfterEdits) {
    PlainMargins();
    Resize(2 + 20 * cw_);
    std::wstring text;
    for (int i = 0; i < 12000; ++i) text += i % 7 == 0 ? std::wstring(45, L'w') + L"\n" : L"short\n";
    Insert(text);
    Send(MPM_TOGGLEWRAP);
    unsigned seed = 5;
    auto rnd = [&](int n) { seed = seed * 1103515245u + 12345u; return int((seed >> 16) % unsigned(n)); };
    for (int round = 0; round < 30; ++round) {
        // An edit somewhere: lengthen a line (more rows) or remove a few lines.
        const int line = rnd(int(Send(MPM_GETLINECOUNT)) - 10);
        if (round % 3 == 0) {
            Position a = {line, 0}, b = {line + 3, 0};
            SendP(MPM_DELETERANGE, &a, &b);
        } else {
            Position at = {line, 0};
            Insert(std::wstring(size_t(20 + rnd(60)), L'x'), &at);
        }
        // Any line made the top line is found again at the top row, and the
        // rows below it follow on.
        const int top = rnd(int(Send(MPM_GETLINECOUNT)) - 5);
        Send(MPM_FIRSTVISIBLE, WPARAM(top));
        ASSERT_EQ(Send(MPM_FIRSTVISIBLE, 0x80000000u), top);
        const std::vector<int> first = Hit(3, 2);
        ASSERT_EQ(first[0], top) << round;
        ASSERT_EQ(first[3], 0);
        for (int r = 1; r < 6; ++r) {
            const std::vector<int> h = Hit(3, r * lh_ + 2);
            ASSERT_EQ(h[2], first[2] + r) << "round " << round << " row " << r;
        }
    }
    // The total is the sum over the blocks.
    Send(MPM_TOGGLEWRAP);
    EXPECT_EQ(Rows(), int(Send(MPM_GETLINECOUNT)));
}

namespace {
// Rows and the line and sub-row at the first rows, as a control lays them out.
std::vector<int> LayoutOf(HWND h) {
    std::vector<int> out = {int(SendMessageW(h, MPM_VISIBLEROWS, 0, 0))};
    const int lh = int(SendMessageW(h, MPM_LINEHEIGHT, 0, 0));
    for (int r = 0; r < 8; ++r) {
        int hit[4] = {-1, -1, -1, -1};
        SendMessageW(h, MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(5, r * lh + 1));
        out.insert(out.end(), {hit[0], hit[2], hit[3]});
    }
    return out;
}

void Pump(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    } while (GetTickCount() < until);
}
}  // namespace

// Closing a document (1030) and attaching another (1029) in any order, with
// wrapping, folding and a lexer set, leaves a view that edits, resizes,
// repaints and lays out exactly like a fresh view of the same document.
TEST_F(ViewTest, DocumentsCloseAndAttachInAnyOrderWithWrapFoldsAndALexer) {
    PlainMargins();
    Resize(2 + 20 * cw_);
    BraceLexer lexer;
    std::wstring text;
    for (int i = 0; i < 40; ++i)
        text += i % 4 == 0 ? L"block {\n" : i % 4 == 3 ? L"}\n" : std::wstring(size_t(30 + i), L'w') + L"\n";
    auto make = [&](int id, int setup) {
        HWND h = Create(id);
        SetWindowPos(h, nullptr, 0, 0, 2 + 20 * cw_, 300, SWP_NOZORDER);
        Send(MPM_VIEWPART, 0, 1, h);
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1, h);
        Insert(text, nullptr, h);
        if (setup & 4) Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1, h);
        return h;
    };
    for (int seq = 0; seq < 4; ++seq) {
        for (int setup = 0; setup < 8; ++setup) {  // bit 0 wrapping, bit 1 folding, bit 2 a lexer
            SCOPED_TRACE(testing::Message() << "sequence " << seq << " setup " << setup);
            HWND view = make(30, setup);
            if (setup & 1) Send(MPM_TOGGLEWRAP, 0, 0, view);
            if (setup & 2) Send(MPM_FOLDMODE, 1, 0, view);
            HWND other = make(31, setup);
            const LRESULT doc = Send(MPM_SHAREDOC, 0, 0, other);
            Send(MPM_SHAREDOC, WPARAM(doc), 0, other);  // its owner again
            switch (seq) {
                case 0:  // close, then attach
                    Send(MPM_CLOSEDOC, 0, 0, view);
                    Send(MPM_SHAREDOC, WPARAM(doc), 0, view);
                    break;
                case 1:  // attach over the own document
                    Send(MPM_SHAREDOC, WPARAM(doc), 0, view);
                    break;
                case 2:  // give the own document away, close it, attach
                    Send(MPM_SHAREDOC, 0, 0, view);
                    Send(MPM_CLOSEDOC, 0, 0, view);
                    Send(MPM_SHAREDOC, WPARAM(doc), 0, view);
                    break;
                case 3: {  // attach, the owner closes it, attach a third
                    Send(MPM_SHAREDOC, WPARAM(doc), 0, view);
                    Send(MPM_CLOSEDOC, 0, 0, other);
                    DestroyWindow(other);
                    other = make(31, setup);
                    const LRESULT third = Send(MPM_SHAREDOC, 0, 0, other);
                    Send(MPM_SHAREDOC, WPARAM(third), 0, other);
                    Send(MPM_SHAREDOC, WPARAM(third), 0, view);
                    break;
                }
            }
            Pump(30);  // fold timers tick
            Position at = {2, 3};
            ASSERT_EQ(Insert(L"x {\nnew line that is long enough to wrap\n", &at, view), 1);
            SetWindowPos(view, nullptr, 0, 0, 2 + 25 * cw_, 300, SWP_NOZORDER);
            Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1, view);
            Send(WM_COMMAND, ECMD_DOCEND, 0, view);
            Send(WM_COMMAND, ECMD_COLLAPSEFOLD, 0, view);
            Send(WM_COMMAND, ECMD_EXPANDFOLD, 0, view);
            Send(MPM_FIRSTVISIBLE, 0, 0, view);
            { Capture cap(view); }
            // A fresh view of the same document, laid out the same way.
            HWND fresh = Create(32);
            SetWindowPos(fresh, nullptr, 0, 0, 2 + 25 * cw_, 300, SWP_NOZORDER);
            Send(MPM_VIEWPART, 0, 1, fresh);
            Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1, fresh);
            Send(MPM_SHAREDOC, WPARAM(Send(MPM_SHAREDOC, 0, 0, view)), 0, fresh);
            if (Send(MPM_GETWRAPMODE, 0, 0, view)) Send(MPM_TOGGLEWRAP, 0, 0, fresh);
            Send(MPM_FOLDMODE, Send(MPM_FOLDMODE, 0x80000000u, 0, view), 0, fresh);  // margins alike
            EXPECT_EQ(LayoutOf(view), LayoutOf(fresh));
            DestroyWindow(fresh);
            DestroyWindow(view);
            DestroyWindow(other);
        }
    }
}

// The fold pass runs whatever the order of setting the lexer and the
// folding method, and starts again after a reload.
TEST_F(ViewTest, ALexerSetAfterTheFoldModeStartsTheFoldPass) {
    std::wstring text;
    for (int i = 0; i < 30; ++i) text += i % 3 == 0 ? L"block {\n" : i % 3 == 1 ? L"  body\n" : L"}\n";
    Insert(text);
    BraceLexer lexer;
    auto levelOf28 = [&] {
        LineAttrArg get = {LA_FOLDLEVEL, -1};
        const DWORD until = GetTickCount() + 2000;
        do {
            Pump(20);
            SendP(MPM_GETLINEATTR, (void*)28, &get);
        } while (get.value != 1 && GetTickCount() < until);
        return get.value;
    };
    Send(MPM_FOLDMODE, 1);
    Pump(200);  // the pass ends at once without a lexer
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    EXPECT_EQ(levelOf28(), 1) << "lexer after the method";
    // A host sets the method again after each lexer change.
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    Send(MPM_FOLDMODE, 1);
    EXPECT_EQ(levelOf28(), 1) << "method after the lexer";
    // A reload resets every level; the pass computes them again.
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"fp", 0, path);
    SaveFormat format = {1252, LB_LF, 0};
    ASSERT_EQ(SendP(MPM_SAVECOPY, path, &format), 1);
    ASSERT_EQ(SendP(MPM_LOADFILE, path, (void*)MAKELPARAM(1252, LB_LF)), 1);
    EXPECT_EQ(levelOf28(), 1) << "after a reload";
    Send(MPM_SETLEXER, 0, 0);
    Send(MPM_CLOSEDOC);
    DeleteFileW(path);
}

// Tab width (1067) and code page (1053) change what a line is: the wrap
// data follows.
TEST_F(ViewTest, TabWidthAndCodePageChangesLayTheTextOutAgain) {
    PlainMargins();
    Resize(2 + 20 * cw_);
    Insert(L"\t\t\tabc");
    Send(MPM_TOGGLEWRAP);
    EXPECT_EQ(Rows(), 1);  // 12 + 3 widths
    Send(MPM_TABWIDTH, 8);
    EXPECT_EQ(Rows(), 2);  // 24 + 3 widths
    Send(MPM_TABWIDTH, 2);
    EXPECT_EQ(Rows(), 1);
    // A file of 30 two-byte UTF-8 letters read as 1252: 60 units, three
    // rows; as UTF-8 the line has 30 units and two rows.
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"cp", 0, path);
    std::string bytes;
    for (int i = 0; i < 30; ++i) bytes += "\xC3\xA9";
    bytes += "\r\nend";
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(f);
    ASSERT_EQ(SendP(MPM_LOADFILE, path, (void*)MAKELPARAM(1252, LB_CRLF)), 1);
    EXPECT_EQ(Send(MPM_GETLINE, 0, 0), 60);
    EXPECT_EQ(Rows(), 5);
    Send(MPM_CODEPAGE, 65001);
    EXPECT_EQ(Send(MPM_GETLINE, 0, 0), 30);
    EXPECT_EQ(Rows(), 3);
    EXPECT_EQ(Hit(2 + 5 * cw_, lh_ + 2), (std::vector<int>{0, 19 + 5, 1, 1}));
    EXPECT_EQ(Hit(2 + 5 * cw_, 2 * lh_ + 2), (std::vector<int>{1, 3, 2, 0}));
    Send(MPM_CLOSEDOC);
    DeleteFileW(path);
}

// A row scrolled far to the right is painted from the first visible unit on,
// measured from where the last paint stopped: after an edit the glyphs still
// stand where the caret says.
TEST_F(ViewTest, ALongRowScrolledRightIsPaintedWhereTheCaretIs) {
    PlainMargins();
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark
    Send(MPM_VIEWPART, 2, 0);  // no whitespace marks
    SetFocus(edit_);
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += L"ab\t";
    Insert(text + L"Z");
    auto zBeforeCaret = [&] {
        Position end = {0, INT_MAX};
        SendP(MPM_SETCARET, &end, (void*)1);
        UpdateWindow(edit_);
        POINT pt;
        GetCaretPos(&pt);
        Capture cap(edit_);
        const COLORREF back = cap.At(pt.x + cw_ + 3, 2);
        const int x = pt.x + 1;  // where the caret's line stands
        // "Z" ends at the caret; before it the tab leaves two cells blank.
        EXPECT_GT(lh_ * cw_ - cap.Count({x - cw_, 0, x, lh_}, back), 0) << "caret at " << x;
        EXPECT_EQ(cap.Count({x - 3 * cw_, 0, x - cw_, lh_}, back), 2 * cw_ * lh_);
        EXPECT_EQ(cap.Count({x + 2, 0, x + 2 + cw_, lh_}, back), cw_ * lh_);
    };
    zBeforeCaret();
    zBeforeCaret();  // the second paint starts from where the first stopped
    Position home = {0, 0};
    Insert(L"q", &home);
    zBeforeCaret();
    Send(MPM_TABWIDTH, 8);
    zBeforeCaret();
}

namespace {
// A host colour table with the marks, fold signs and fold margin in colours
// of their own.
struct MarkColours {
    explicit MarkColours(HWND edit) {
        const COLORREF* own = reinterpret_cast<const COLORREF*>(SendMessageW(edit, MPM_COLORTABLE, 0, 0));
        std::copy(own, own + COLOR_TABLE_ENTRIES, table);
        table[0] = RGB(255, 255, 255);
        table[1] = RGB(0, 0, 0);
        table[6] = RGB(0, 160, 0);     // marks
        table[10] = RGB(200, 0, 0);    // fold signs
        table[12] = RGB(255, 255, 255);
        table[24] = RGB(210, 210, 230);  // fold margin
        SendMessageW(edit, MPM_COLORTABLE, reinterpret_cast<WPARAM>(table), 0);
    }
    COLORREF table[COLOR_TABLE_ENTRIES];
};

// The sign in the fold margin (10 pixels at the left) of a screen row:
// '-' for an open fold header, '+' for a collapsed one, ' ' for none.
char FoldSign(const Capture& cap, COLORREF sign, int row, int lh) {
    const int cy = row * lh + lh / 2;
    if (cap.Count({0, row * lh, 10, (row + 1) * lh}, sign) == 0) return ' ';
    const bool across = cap.At(1, cy) == sign && cap.At(5, cy) == sign;
    const bool upright = cap.At(3, cy - 2) == sign && cap.At(3, cy + 2) == sign;
    return across && upright ? '+' : across ? '-' : '?';
}
}  // namespace

// A click on the fold margin beside a fold header collapses the fold, a
// second click expands it; the caret goes to the clicked line.
TEST_F(ViewTest, FoldMarginClicksCollapseAndExpand) {
    PlainMargins();
    MarkColours colours(edit_);
    const COLORREF sign = colours.table[10];
    Insert(L"h0\n a\n b\nh1\n c\nend");
    Send(MPM_FOLDMODE, 2);
    const int levels[] = {0, 1, 1, 0, 1, 0};
    for (int i = 0; i < 6; ++i) SetLevel(i, levels[i]);
    auto click = [&](int row) {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, row * lh_ + lh_ / 2));
        Send(WM_LBUTTONUP, 0, MAKELPARAM(4, row * lh_ + lh_ / 2));
    };
    auto lineAt = [&](int row) { return Hit(20, row * lh_ + 2)[0]; };
    auto signs = [&] {
        Capture cap(edit_);
        std::string s;
        for (int row = 0; row < Rows(); ++row) s += FoldSign(cap, sign, row, lh_);
        return s;
    };
    EXPECT_EQ(signs(), "-  -  ");
    CaretTo(5, 2);
    click(3);
    EXPECT_EQ(Rows(), 5);
    EXPECT_TRUE(Same(Caret(), {3, 0}));
    EXPECT_EQ(lineAt(4), 5);
    EXPECT_EQ(signs(), "-  + ");
    click(0);
    EXPECT_EQ(Rows(), 3);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    EXPECT_EQ(lineAt(1), 3);
    EXPECT_EQ(lineAt(2), 5);
    EXPECT_EQ(signs(), "++ ");
    click(1);  // line 3 opens again, line 0 stays closed
    EXPECT_EQ(Rows(), 4);
    EXPECT_TRUE(Same(Caret(), {3, 0}));
    EXPECT_EQ(lineAt(2), 4);
    EXPECT_EQ(signs(), "+-  ");
    click(0);
    EXPECT_EQ(Rows(), 6);
    EXPECT_TRUE(Same(Caret(), {0, 0}));
    EXPECT_EQ(lineAt(1), 1);
    EXPECT_EQ(signs(), "-  -  ");
    // Beside a line that heads nothing a click only places the caret.
    click(1);
    EXPECT_EQ(Rows(), 6);
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    // A click beside the last line drops the selection.
    Position a = {1, 1}, b = {2, 1};
    SendP(MPM_SELECT, &a, &b);
    click(5);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {5, 0}));
    EXPECT_EQ(Rows(), 6);
}

// Fold mode 3: the host folds a selection. The margin marks the first line
// of a single multi-line selection as a fold start; the fold-selection
// command (51) or a click on that mark hides the lines below it up to the
// selection's last line.
TEST_F(ViewTest, FoldModeThreeFoldsASelection) {
    PlainMargins();
    MarkColours colours(edit_);
    const COLORREF sign = colours.table[10];
    Insert(L"l0\nl1\nl2\nl3\nl4\nl5");
    Send(MPM_FOLDMODE, 3);
    auto lineAt = [&](int row) { return Hit(20, row * lh_ + 2)[0]; };
    auto signs = [&] {
        Capture cap(edit_);
        std::string s;
        for (int row = 0; row < Rows(); ++row) s += FoldSign(cap, sign, row, lh_);
        return s;
    };
    EXPECT_EQ(signs(), "      ");
    Position a = {1, 1}, b = {3, 1};
    SendP(MPM_SELECT, &a, &b);
    EXPECT_EQ(signs(), " -    ");
    Command(ECMD_FOLDSELECTION);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(lineAt(2), 4);
    EXPECT_EQ(Send(MPM_GETSELKIND), 0);
    EXPECT_TRUE(Same(Caret(), {1, 0}));
    EXPECT_EQ(signs(), " +  ");
    Command(ECMD_EXPANDFOLD);
    EXPECT_EQ(Rows(), 6);
    EXPECT_EQ(lineAt(2), 2);
    EXPECT_EQ(signs(), "      ");
    // Selected the other way round, folded by a click on the mark.
    a = {4, 2};
    b = {2, 0};
    SendP(MPM_SELECT, &a, &b);
    EXPECT_EQ(signs(), "  -   ");
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 2 * lh_ + lh_ / 2));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(4, 2 * lh_ + lh_ / 2));
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(lineAt(3), 5);
    EXPECT_TRUE(Same(Caret(), {2, 0}));
    EXPECT_EQ(signs(), "  + ");
    // A click on the collapsed mark opens it.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 2 * lh_ + lh_ / 2));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(4, 2 * lh_ + lh_ / 2));
    EXPECT_EQ(Rows(), 6);
    // A selection within one line marks and folds nothing.
    a = {3, 0};
    b = {3, 2};
    SendP(MPM_SELECT, &a, &b);
    EXPECT_EQ(signs(), "      ");
    Command(ECMD_FOLDSELECTION);
    EXPECT_EQ(Rows(), 6);
    // In mode 2 a selection is neither marked nor folded.
    Send(MPM_FOLDMODE, 2);
    a = {1, 1};
    b = {3, 1};
    SendP(MPM_SELECT, &a, &b);
    EXPECT_EQ(signs(), "      ");
    Command(ECMD_FOLDSELECTION);
    EXPECT_EQ(Rows(), 6);
}

// Whitespace marks, control-character names and line-end marks are drawn
// in their colour only while switched on; the characters keep their widths
// either way.
TEST_F(ViewTest, WhitespaceControlAndLineEndMarksFollowTheirSwitches) {
    PlainMargins();
    Send(MPM_VIEWPART, 6, 1);  // no current-line background
    MarkColours colours(edit_);
    const COLORREF mark = colours.table[6], ink = colours.table[1];
    Send(MPM_TABWIDTH, 4);
    Insert(L"a\tb c\nx\x13y\nend");
    auto cell = [&](int line, int column, int count = 1) {
        return RECT{2 + column * cw_, line * lh_, 2 + (column + count) * cw_, (line + 1) * lh_};
    };
    const RECT tab = cell(0, 1, 3), space = cell(0, 5), name = cell(1, 1, 4), lineEnd = cell(0, 7);
    const RECT b = cell(0, 4), c = cell(0, 6), y = cell(1, 5);
    int inkB = 0, inkC = 0, inkY = 0;
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count(tab, mark), cw_) << "the tab's arrow";
        EXPECT_GT(cap.Count(space, mark), 2) << "the space's cup";
        EXPECT_GT(cap.Count(name, mark), 4 * 2) << "XOFF";
        EXPECT_GT(cap.Count(lineEnd, mark), 2) << "the line-end arrow";
        EXPECT_EQ(cap.Count(cell(0, 0), mark), 0);
        inkB = cap.Count(b, ink);
        inkC = cap.Count(c, ink);
        inkY = cap.Count(y, ink);
        EXPECT_GT(inkB, 0);
        EXPECT_GT(inkC, 0);
        EXPECT_GT(inkY, 0);
    }
    Send(MPM_VIEWPART, 2, 1);  // whitespace marks off
    {
        Capture cap(edit_);
        EXPECT_EQ(cap.Count(tab, mark), 0);
        EXPECT_EQ(cap.Count(space, mark), 0);
        EXPECT_GT(cap.Count(name, mark), 4 * 2);
        EXPECT_GT(cap.Count(lineEnd, mark), 2);
        EXPECT_EQ(cap.Count(b, ink), inkB) << "the b stays where it was";
        EXPECT_EQ(cap.Count(c, ink), inkC);
    }
    Send(MPM_VIEWPART, 3, 1);  // control-character names off
    Send(MPM_VIEWPART, 4, 1);  // line-end marks off
    {
        Capture cap(edit_);
        EXPECT_EQ(cap.Count(name, mark), 0);
        EXPECT_EQ(cap.Count(lineEnd, mark), 0);
        EXPECT_EQ(cap.Count(y, ink), inkY) << "the name's width stays";
    }
    Send(MPM_VIEWPART, 256 | 2, 1);
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count(tab, mark), cw_);
        EXPECT_EQ(cap.Count(name, mark), 0);
    }
}

// The ruler sits above the text, which moves down by its height; it marks
// every column, higher every fifth and tenth, and shows the caret's column.
TEST_F(ViewTest, TheRulerMarksColumnsAndFollowsTheCaret) {
    PlainMargins();
    MarkColours colours(edit_);
    COLORREF* table = colours.table;
    table[68] = RGB(240, 240, 200);
    table[69] = RGB(0, 0, 128);
    table[23] = RGB(0, 150, 0);
    Insert(L"0123456789012345678901234567890123456789\nsecond");
    Send(MPM_VIEWPART, 256 | 1, 1);
    HWND ruler = FindWindowExW(edit_, nullptr, nullptr, nullptr);
    ASSERT_NE(ruler, nullptr);
    RECT rc;
    GetClientRect(ruler, &rc);
    const int h = lh_ * 5 / 4;
    EXPECT_EQ(rc.bottom, h);
    EXPECT_EQ(Hit(3, h + 2)[0], 0) << "the text starts below the ruler";
    EXPECT_EQ(Hit(3, h + lh_ + 2)[0], 1);
    CaretTo(0, 20);
    // What the ruler shows on the screen.
    auto pixels = [&](auto&& check) {
        UpdateWindow(ruler);
        HDC dc = GetDC(ruler);
        check(dc);
        ReleaseDC(ruler, dc);
    };
    auto marker = [&](HDC dc, int column) {
        int n = 0;
        for (int y = h - 12; y < h; ++y)
            for (int x = 2 + column * cw_ - 8; x < 2 + column * cw_ + 8; ++x) n += GetPixel(dc, x, y) == table[23];
        return n;
    };
    pixels([&](HDC dc) {
        EXPECT_EQ(GetPixel(dc, 2 + 5 * cw_ + cw_ / 2, 2), table[68]) << "background";
        EXPECT_EQ(GetPixel(dc, 2 + 3 * cw_ + cw_ / 2, h - 1), table[69]) << "base line";
        const int y = h / 2 + 1;  // reached by the ticks of tens only
        EXPECT_EQ(GetPixel(dc, 2 + 10 * cw_, y), table[69]);
        EXPECT_EQ(GetPixel(dc, 2 + 30 * cw_, y), table[69]);
        EXPECT_NE(GetPixel(dc, 2 + 5 * cw_, y), table[69]);
        EXPECT_NE(GetPixel(dc, 2 + 13 * cw_, y), table[69]);
        EXPECT_EQ(GetPixel(dc, 2 + 15 * cw_, h - h / 3), table[69]) << "fives reach above the others";
        EXPECT_NE(GetPixel(dc, 2 + 16 * cw_, h - h / 3 - 1), table[69]);
        EXPECT_EQ(GetPixel(dc, 2 + 16 * cw_, h - 2), table[69]);
        EXPECT_GT(marker(dc, 20), 0) << "the caret's column";
        EXPECT_EQ(marker(dc, 33), 0);
    });
    CaretTo(0, 33);
    pixels([&](HDC dc) {
        EXPECT_GT(marker(dc, 33), 0);
        EXPECT_EQ(marker(dc, 20), 0);
    });
    Send(MPM_VIEWPART, 1, 1);
    EXPECT_EQ(FindWindowExW(edit_, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(Hit(3, 2)[0], 0);
    EXPECT_EQ(Hit(3, lh_ + 2)[0], 1) << "the text moves back up";
}
