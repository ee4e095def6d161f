// Page rendering: a page rectangle in another device's units (message 1081)
// and pages drawn into memory device contexts and enhanced metafiles
// (message 1082), stepped with the page-down and page-up commands.
#include "EditHarness.h"

#include <algorithm>

namespace {

// A white page to draw into.
class Page : public Dib {
public:
    Page(int w, int h) : Dib(w, h) { Clear(); }
    void Clear() { Fill(RGB(255, 255, 255)); }
    // Pixels in [left, right) x [top, bottom) that are not white.
    int Ink(int left, int top, int right, int bottom) const {
        const RECT r = {left, top, right, bottom};
        return (std::min(right, w_) - std::max(left, 0)) * (std::min(bottom, h_) - std::max(top, 0)) -
               Dib::Count(r, RGB(255, 255, 255));
    }
    int Count(int left, int top, int right, int bottom, COLORREF c) const {
        return Dib::Count({left, top, right, bottom}, c);
    }
    // The leftmost inked column in a band, or -1.
    int FirstInk(int top, int bottom) const {
        for (int x = 0; x < w_; ++x)
            if (Ink(x, top, x + 1, bottom) > 0) return x;
        return -1;
    }
};

// Words starting with "key" are class 1 (a keyword).
struct KeywordLexer : ILexer {
    int LineState(int, const wchar_t* t, int n, int prev, unsigned short* st) override {
        for (int i = 0; st && i + 3 <= n; ++i)
            if (t[i] == L'k' && t[i + 1] == L'e' && t[i + 2] == L'y')
                for (int k = i; k < n && t[k] != L' '; ++k) st[k] = 1;
        return prev;
    }
    const wchar_t* Name() override { return L"keywords"; }
    int FoldLevel(int, const wchar_t*, int, int, int, int level, unsigned short*) override { return level; }
};

class PageTest : public EditControl {
protected:
    void SetUp() override {
        EditControl::SetUp();
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
        cw_ = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"0"), 1));
        // Rows 30 units high.
        Send(MPM_LINESPACING, WPARAM(30 - Send(MPM_FONTHEIGHT)));
        ASSERT_EQ(Send(MPM_LINEHEIGHT), 30);
        for (int part : {2, 3, 4, 5, 6}) Send(MPM_VIEWPART, part, 0);
    }
    void TearDown() override {
        EditControl::TearDown();
        DeleteObject(font_);
    }
    LRESULT SetPage(RECT rc) { return SendP(MPM_SETPAGERECT, &rc, (void*)nullptr); }
    LRESULT Draw(HDC dc, bool color = false) { return Send(MPM_DRAWPAGE, reinterpret_cast<WPARAM>(dc), color); }
    int First() { return int(Send(MPM_FIRSTVISIBLE, 0x80000000u)); }

    HFONT font_ = nullptr;
    int cw_ = 0;
};

}  // namespace

TEST_F(PageTest, APageHoldsWholeRowsAndCommandsStepByIt) {
    Send(MPM_VIEWPART, 0, 0);  // no line numbers
    std::wstring text;
    for (int i = 0; i < 10; ++i) text += L"line" + std::to_wstring(i) + L"\n";
    Insert(text);
    Send(MPM_FIRSTVISIBLE, 0);
    Position home = {0, 0};
    SendP(MPM_SETCARET, &home, (void*)nullptr);
    // 100 units high, rows of 30: three rows, the band below them stays empty.
    ASSERT_EQ(SetPage({10, 0, 400, 100}), 1);
    Page page(400, 200);
    ASSERT_EQ(Draw(page.Dc()), 1);
    for (int r = 0; r < 3; ++r) EXPECT_GT(page.Ink(10, r * 30, 400, r * 30 + 30), 0) << "row " << r;
    EXPECT_EQ(page.Ink(0, 90, 400, 200), 0);
    EXPECT_EQ(page.Ink(0, 0, 10, 200), 0) << "nothing left of the page rectangle";
    EXPECT_GE(page.FirstInk(0, 30), 10);
    EXPECT_LT(page.FirstInk(0, 30), 10 + cw_);
    // Page down makes the fourth line the first of the next page.
    Send(WM_COMMAND, ECMD_PAGEDOWN);
    EXPECT_EQ(First(), 3);
    page.Clear();
    Draw(page.Dc());
    EXPECT_GT(page.Ink(10, 0, 400, 90), 0);
    Send(WM_COMMAND, ECMD_PAGEDOWN);
    Send(WM_COMMAND, ECMD_PAGEDOWN);
    EXPECT_EQ(First(), 9);
    Send(WM_COMMAND, ECMD_PAGEDOWN);  // the last page: line 10 (empty) stays reachable
    EXPECT_GE(First(), 9);
    Send(WM_COMMAND, ECMD_PAGEUP);
    Send(WM_COMMAND, ECMD_PAGEUP);
    Send(WM_COMMAND, ECMD_PAGEUP);
    Send(WM_COMMAND, ECMD_PAGEUP);
    EXPECT_EQ(First(), 0);
}

TEST_F(PageTest, TheLineNumberColumnTakesItsWidthFromTheLeft) {
    std::wstring text;
    for (int i = 0; i < 12345; ++i) text += L"x\n";
    Insert(text);  // 12,346 lines: five digits, seven widths of "0"
    Send(MPM_FIRSTVISIBLE, 0);
    ASSERT_EQ(SetPage({0, 0, 300, 90}), 1);
    Page page(300, 90);
    Draw(page.Dc());
    // The text starts seven widths in; the number ends two widths before it.
    EXPECT_GE(page.FirstInk(0, 30), 0);
    const int numberRight = 7 * cw_ - 2 * cw_;
    EXPECT_GT(page.Ink(0, 0, numberRight, 30), 0) << "the number 1";
    EXPECT_EQ(page.Ink(numberRight, 0, 7 * cw_, 90), 0);
    EXPECT_GT(page.Ink(7 * cw_, 0, 8 * cw_, 30), 0) << "the x of line 1";
    EXPECT_EQ(page.Ink(8 * cw_, 0, 300, 90), 0);
    // Numbers follow the first visible line.
    Send(MPM_FIRSTVISIBLE, 12000);
    page.Clear();
    Draw(page.Dc());
    EXPECT_GT(page.Ink(0, 0, cw_, 30), 0) << "12001 reaches the column's left";
}

TEST_F(PageTest, WithoutColourKeywordsAreBlackLikePlainText) {
    Send(MPM_VIEWPART, 0, 0);
    Insert(L"plain keyword text");
    KeywordLexer lexer;
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    COLORREF table[COLOR_TABLE_ENTRIES];
    const COLORREF* own = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE));
    std::copy(own, own + COLOR_TABLE_ENTRIES, table);
    table[0] = RGB(255, 255, 255);
    table[1] = RGB(0, 0, 0);
    table[44] = RGB(255, 0, 0);  // class 1 text
    table[25] = RGB(255, 255, 255);
    SendP(MPM_COLORTABLE, table, (void*)nullptr);
    ASSERT_EQ(SetPage({0, 0, 300, 30}), 1);
    Page page(300, 30);
    Draw(page.Dc(), true);
    const int keyword[2] = {6 * cw_, 13 * cw_};
    EXPECT_GT(page.Count(keyword[0], 0, keyword[1], 30, RGB(255, 0, 0)), 0) << "a red keyword";
    EXPECT_EQ(page.Count(0, 0, keyword[0], 30, RGB(255, 0, 0)), 0);
    page.Clear();
    Draw(page.Dc(), false);
    EXPECT_EQ(page.Count(0, 0, 300, 30, RGB(255, 0, 0)), 0);
    EXPECT_GT(page.Count(keyword[0], 0, keyword[1], 30, RGB(0, 0, 0)), 0) << "the keyword in black";
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 300; ++x) {
            const COLORREF c = page.At(x, y);
            ASSERT_TRUE(c == RGB(0, 0, 0) || c == RGB(255, 255, 255)) << x << "," << y;
        }
    Send(MPM_SETLEXER, 0, 0);
}

TEST_F(PageTest, AWrappedLineIsCutAtTheBottomAndPageDownContinuesIt) {
    Send(MPM_VIEWPART, 0, 0);
    // Line 0 short, line 1 wraps into five rows of 10 units, line 2 short.
    Insert(L"top\n" + std::wstring(45, L'w') + L"\nafter");
    Send(MPM_TOGGLEWRAP);
    ASSERT_EQ(SetPage({0, 0, 10 * cw_ + cw_ / 2, 90}), 1);
    EXPECT_EQ(Send(MPM_VISIBLEROWS), 1 + 5 + 1);
    Position home = {0, 0};
    SendP(MPM_SETCARET, &home, (void*)nullptr);
    Page page(400, 200);
    Draw(page.Dc());
    EXPECT_GT(page.Ink(0, 60, 400, 90), 0);
    EXPECT_EQ(page.Ink(0, 90, 400, 200), 0) << "cut at the text area's bottom";
    Send(WM_COMMAND, ECMD_PAGEDOWN);
    EXPECT_EQ(First(), 1);
    int hit[4] = {-1, -1, -1, -1};
    Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(1, 1));
    EXPECT_EQ(hit[3], 2) << "the next page starts with the third row of line 1";
    page.Clear();
    Draw(page.Dc());
    EXPECT_GT(page.Ink(0, 0, 400, 90), 0);
}

TEST_F(PageTest, PagesDrawIntoEnhancedMetafiles) {
    Send(MPM_VIEWPART, 0, 0);
    Insert(L"metafile text\nsecond line");
    ASSERT_EQ(SetPage({0, 0, 300, 60}), 1);
    HDC meta = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(Draw(meta), 1);
    HENHMETAFILE emf = CloseEnhMetaFile(meta);
    ASSERT_NE(emf, nullptr);
    Page page(300, 60);
    const RECT bounds = {0, 0, 300, 60};
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(emf, sizeof header, &header);
    const RECT played = {header.rclBounds.left, header.rclBounds.top, header.rclBounds.right + 1,
                         header.rclBounds.bottom + 1};
    EXPECT_TRUE(PlayEnhMetaFile(page.Dc(), emf, &played));
    DeleteEnhMetaFile(emf);
    EXPECT_GT(page.Ink(0, 0, bounds.right, 30), 0);
    EXPECT_GT(page.Ink(0, 30, bounds.right, 60), 0);
}

TEST_F(PageTest, BadArgumentsAndNoDocumentReturnZero) {
    EXPECT_EQ(Send(MPM_SETPAGERECT, 0, 0), 0);
    EXPECT_EQ(Send(MPM_DRAWPAGE, 0, 1), 0);
    Page page(10, 10);
    EXPECT_EQ(SetPage({0, 0, 10, 10}), 1);
    EXPECT_EQ(Draw(page.Dc()), 1);
    EXPECT_EQ(SetPage({10, 10, 0, 0}), 1);  // reversed corners are put in order
    EXPECT_EQ(Draw(page.Dc()), 1);
    Send(MPM_CLOSEDOC);
    EXPECT_EQ(SetPage({0, 0, 10, 10}), 0);
    EXPECT_EQ(Draw(page.Dc()), 0);
}

// A page shows every line from the first visible one, folded lines too; in
// colour the number column takes the text background and text colour.
TEST_F(PageTest, FoldedLinesArePrintedAndNumbersTakeTheTextColours) {
    Insert(L"header\nhidden one\nhidden two\nshown");
    Send(MPM_FOLDMODE, 2);
    for (int line = 1; line <= 2; ++line) {
        LineAttrArg a = {LA_FOLDLEVEL, 1};
        SendP(MPM_SETLINEATTR, (void*)(INT_PTR)line, &a);
    }
    Position header = {0, 0};
    SendP(MPM_SETCARET, &header, (void*)nullptr);
    Send(WM_COMMAND, ECMD_COLLAPSEFOLD);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 2);
    COLORREF table[COLOR_TABLE_ENTRIES];
    const COLORREF* own = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE));
    std::copy(own, own + COLOR_TABLE_ENTRIES, table);
    table[0] = RGB(250, 240, 200);
    table[1] = RGB(0, 0, 160);
    SendP(MPM_COLORTABLE, table, (void*)nullptr);
    ASSERT_EQ(SetPage({0, 0, 300, 120}), 1);
    Page page(300, 120);
    Draw(page.Dc(), true);
    const int text = 5 * cw_;  // three digits and two
    for (int r = 0; r < 4; ++r) {
        EXPECT_GT(page.Count(text, r * 30, 300, r * 30 + 30, RGB(0, 0, 160)), 0) << "line " << r;
        EXPECT_GT(page.Count(0, r * 30, 3 * cw_, r * 30 + 30, RGB(0, 0, 160)), 0) << "number " << r + 1;
        EXPECT_GT(page.Count(0, r * 30, text, r * 30 + 30, RGB(250, 240, 200)), 0);
    }
}
