// Page rendering: a page rectangle in another device's units (message 1081)
// and pages drawn into memory device contexts and enhanced metafiles
// (message 1082), stepped with the page-down and page-up commands.
#include "EditHarness.h"

namespace {

// Pixels of a page (a white bitmap) that are not white.
int Ink(const Capture& page, int left, int top, int right, int bottom) {
    return page.Count({left, top, right, bottom}, RGB(255, 255, 255), true);
}

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

// Rows 30 units high, no line numbers, no marks and no current line.
class PageTest : public ShownEditControl {
   protected:
    void SetUp() override {
        ShownEditControl::SetUp();
        Send(MPM_LINESPACING, WPARAM(30 - Send(MPM_FONTHEIGHT)));
        ASSERT_EQ(Send(MPM_LINEHEIGHT), 30);
        for (int part : {0, 2, 3, 4, 5, 6}) Send(MPM_VIEWPART, part, 0);
    }
    LRESULT SetPage(RECT rc) { return SendP(MPM_SETPAGERECT, &rc); }
    LRESULT Draw(HDC dc, bool colour = false) { return Send(MPM_DRAWPAGE, WPARAM(dc), colour); }
};

}  // namespace

TEST_F(PageTest, APageHoldsWholeRowsAndPageDownStepsByThem) {
    SetState(L"|" + Joined(10, [](int i) { return L"line" + std::to_wstring(i) + L"\n"; }));
    // 100 units high, rows of 30: three rows, the band below them stays empty.
    ASSERT_EQ(SetPage({10, 0, 400, 100}), 1);
    Capture page(400, 200);
    ASSERT_EQ(Draw(page.Dc()), 1);
    for (int r = 0; r < 3; ++r) EXPECT_GT(Ink(page, 10, r * 30, 400, r * 30 + 30), 0) << "row " << r;
    EXPECT_EQ(Ink(page, 0, 90, 400, 200), 0);
    EXPECT_EQ(Ink(page, 0, 0, 10, 200), 0) << "nothing left of the page rectangle";
    EXPECT_EQ(Ink(page, 0, 0, 10, 30), 0) << "the text starts at the page's left";
    EXPECT_GT(Ink(page, 10, 0, 10 + cw_, 30), 0);
    Command(ECMD_PAGEDOWN);  // (page moves in full: InputTest.PageMoves*)
    EXPECT_EQ(Ask(MPM_FIRSTVISIBLE), 3) << "a page of three rows";
}

TEST_F(PageTest, TheLineNumberColumnTakesItsWidthFromTheLeft) {
    Send(MPM_VIEWPART, 256 | 0, 1);                              // line numbers
    SetState(L"|" + Joined(12345, [](int) { return L"x\n"; }));  // 12,346 lines: 7 widths of "0"
    ASSERT_EQ(SetPage({0, 0, 300, 90}), 1);
    Capture page(300, 90);
    Draw(page.Dc());
    // The text starts seven widths in; the number ends two widths before it.
    const int numberRight = 7 * cw_ - 2 * cw_;
    EXPECT_GT(Ink(page, 0, 0, numberRight, 30), 0) << "the number 1";
    EXPECT_EQ(Ink(page, numberRight, 0, 7 * cw_, 90), 0);
    EXPECT_GT(Ink(page, 7 * cw_, 0, 8 * cw_, 30), 0) << "the x of line 1";
    EXPECT_EQ(Ink(page, 8 * cw_, 0, 300, 90), 0);
    Send(MPM_FIRSTVISIBLE, 12000);  // numbers follow the first visible line
    Capture later(300, 90);
    Draw(later.Dc());
    EXPECT_GT(Ink(later, 0, 0, cw_, 30), 0) << "12001 reaches the column's left";
}

TEST_F(PageTest, WithoutColourKeywordsAreBlackLikePlainText) {
    SetState(L"|plain keyword text");
    KeywordLexer lexer;
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    const COLORREF red = RGB(255, 0, 0), black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    Colours table(edit_, {{0, white}, {1, black}, {44, red}, {25, white}});  // class 1: red on white
    ASSERT_EQ(SetPage({0, 0, 300, 30}), 1);
    const RECT before = {0, 0, 6 * cw_, 30}, keyword = {6 * cw_, 0, 13 * cw_, 30};
    Capture colour(300, 30);
    Draw(colour.Dc(), true);
    EXPECT_GT(colour.Count(keyword, red), 0) << "a red keyword";
    EXPECT_EQ(colour.Count(before, red), 0);
    Capture plain(300, 30);
    Draw(plain.Dc(), false);
    EXPECT_GT(plain.Count(keyword, black), 0) << "the keyword in black";
    EXPECT_EQ(plain.Count({0, 0, 300, 30}, black) + plain.Count({0, 0, 300, 30}, white), 300 * 30)
        << "black and white only";
    Send(MPM_SETLEXER, 0, 0);
}

TEST_F(PageTest, AWrappedLineIsCutAtTheBottomAndPageDownContinuesIt) {
    // Line 0 short, line 1 wraps into five rows of 10 units, line 2 short.
    SetState(L"|top\n" + std::wstring(45, L'w') + L"\nafter");
    Send(MPM_TOGGLEWRAP);
    ASSERT_EQ(SetPage({0, 0, 10 * cw_ + cw_ / 2, 90}), 1);
    EXPECT_EQ(Send(MPM_VISIBLEROWS), 1 + 5 + 1);
    Capture page(400, 200);
    Draw(page.Dc());
    EXPECT_GT(Ink(page, 0, 60, 400, 90), 0);
    EXPECT_EQ(Ink(page, 0, 90, 400, 200), 0) << "cut at the text area's bottom";
    Command(ECMD_PAGEDOWN);
    EXPECT_EQ(Ask(MPM_FIRSTVISIBLE), 1);
    EXPECT_EQ(Hit(1, 1)[3], 2) << "the next page starts with the third row of line 1";
    Capture next(400, 200);
    Draw(next.Dc());
    EXPECT_GT(Ink(next, 0, 0, 400, 90), 0);
}

TEST_F(PageTest, PagesDrawIntoEnhancedMetafiles) {
    SetState(L"|metafile text\nsecond line");
    ASSERT_EQ(SetPage({0, 0, 300, 60}), 1);
    HDC meta = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(Draw(meta), 1);
    HENHMETAFILE emf = CloseEnhMetaFile(meta);
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(emf, sizeof header, &header);
    const RECT played = {header.rclBounds.left, header.rclBounds.top, header.rclBounds.right + 1,
                         header.rclBounds.bottom + 1};
    Capture page(300, 60);
    EXPECT_TRUE(PlayEnhMetaFile(page.Dc(), emf, &played));
    DeleteEnhMetaFile(emf);
    EXPECT_GT(Ink(page, 0, 0, 300, 30), 0);
    EXPECT_GT(Ink(page, 0, 30, 300, 60), 0);
}

// (Null arguments: EveryListedMessageTakesBadArgumentsWithADefinedAnswer.)
TEST_F(PageTest, ReversedCornersAreOrderedAndNoDocumentReturnsZero) {
    Capture page(10, 10);
    EXPECT_EQ(SetPage({10, 10, 0, 0}), 1) << "reversed corners are put in order";
    EXPECT_EQ(Draw(page.Dc()), 1);
    Send(MPM_CLOSEDOC);
    EXPECT_EQ(SetPage({0, 0, 10, 10}), 0);
    EXPECT_EQ(Draw(page.Dc()), 0);
}

// A page shows every line from the first visible one, folded lines too; in
// colour the number column takes the text background and text colour.
TEST_F(PageTest, FoldedLinesArePrintedAndNumbersTakeTheTextColours) {
    Send(MPM_VIEWPART, 256 | 0, 1);  // line numbers
    SetState(L"|header\nhidden one\nhidden two\nshown");
    Send(MPM_FOLDMODE, 2);
    SetLevels(1, 2, 1);
    Command(ECMD_COLLAPSEFOLD);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 2);
    const COLORREF back = RGB(250, 240, 200), ink = RGB(0, 0, 160);
    Colours table(edit_, {{0, back}, {1, ink}});
    ASSERT_EQ(SetPage({0, 0, 300, 120}), 1);
    Capture page(300, 120);
    Draw(page.Dc(), true);
    const int text = 5 * cw_;  // three digits and two
    for (int r = 0; r < 4; ++r) {
        EXPECT_GT(page.Count({text, r * 30, 300, r * 30 + 30}, ink), 0) << "line " << r;
        EXPECT_GT(page.Count({0, r * 30, 3 * cw_, r * 30 + 30}, ink), 0) << "number " << r + 1;
        EXPECT_GT(page.Count({0, r * 30, text, r * 30 + 30}, back), 0);
    }
}
