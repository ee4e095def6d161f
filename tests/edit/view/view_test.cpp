// Layout, wrapping, folding and painting of the control, checked through
// messages and on the pixels it paints (WM_PRINTCLIENT into a bitmap).
#include "EditHarness.h"

namespace {

class ViewTest : public ShownEditControl {
   protected:
    void PlainMargins() { Send(MPM_VIEWPART, 0, 1); }  // text from x = 2
    int Rows() { return int(Send(MPM_VISIBLEROWS)); }
    RECT Cell(int line, int column, int count = 1) const {
        return {2 + column * cw_, line * lh_, 2 + (column + count) * cw_, (line + 1) * lh_};
    }
    // One character per cell of a screen row (no line numbers): the legend's
    // character of the first colour with at least `least` pixels there, else '.'.
    std::string Cells(const Capture& cap, int row, int count, std::vector<std::pair<char, COLORREF>> legend,
                      int least = 1) {
        std::string s;
        for (int c = 0; c < count; ++c) {
            auto it = std::find_if(legend.begin(), legend.end(),
                                   [&](auto& e) { return cap.Count(Cell(row, c), e.second) >= least; });
            s += it == legend.end() ? '.' : it->first;
        }
        return s;
    }
    // The signs in the fold margin (10 pixels at the left), one per screen
    // row: '-' an open fold header, '+' a collapsed one, ' ' none.
    std::string FoldSigns(COLORREF sign) {
        Capture cap(edit_);
        std::string s;
        for (int row = 0; row < Rows(); ++row) {
            const int cy = row * lh_ + lh_ / 2;
            const bool across = cap.At(1, cy) == sign && cap.At(5, cy) == sign;
            const bool upright = cap.At(3, cy - 2) == sign && cap.At(3, cy + 2) == sign;
            s += !cap.Count({0, row * lh_, 10, (row + 1) * lh_}, sign) ? ' '
                 : !across                                             ? '?'
                 : upright                                             ? '+'
                                                                       : '-';
        }
        return s;
    }
    // The line at each screen row.
    std::vector<int> LinesShown() {
        std::vector<int> out;
        for (int row = 0; row < Rows(); ++row) out.push_back(Hit(20, row * lh_ + 2)[0]);
        return out;
    }
    int Level(int line) { return Attr(line, LA_FOLDLEVEL); }
    // A line's fold level once the background pass has set it to `want` (or after two seconds).
    int LevelOnceSet(int line, int want) {
        PumpUntil([&] { return Level(line) == want; }, 2000);
        return Level(line);
    }
    // The column each row of line 0 starts at, by hit tests down the window.
    std::vector<int> RowStarts() {
        std::vector<int> starts;
        for (int r = 0; r < 20; ++r) {
            const std::vector<int> hit = Hit(0, r * lh_ + lh_ / 2);
            if (hit[0] != 0 || (!starts.empty() && hit[1] <= starts.back())) break;
            starts.push_back(hit[1]);
        }
        return starts;
    }
};

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

std::wstring Blocks(int lines) {
    return Joined(lines, [](int i) { return i % 3 == 0 ? L"block {\n" : i % 3 == 1 ? L"  body\n" : L"}\n"; });
}

// Marks the first four units of line 1 as find highlights (class 20).
struct FindHighlight : IHighlighter {
    int Highlight(int line, const wchar_t*, int n, unsigned short* st) override {
        for (int i = 0; line == 1 && i < 4 && i < n; ++i)
            st[i] = (unsigned short)((st[i] & ~31) | STYLE_FIND_HIGHLIGHT);
        return 0;
    }
};

}  // namespace

// A row ends where the running width reaches the text area's width (at
// least 40 pixels); a tab counts from its row's start; the rows follow edits,
// resizes, the tab width and the code page.
TEST_F(ViewTest, WrappingCutsRowsAtTheWidth) {
    PlainMargins();
    Resize(2 + 10 * cw_, 300);
    Script(L"0123456789\n012345678|",
           {Msg(MPM_GETWRAPMODE, 0, 0, 0), Msg(MPM_VISIBLEROWS, 0, 0, 2), Msg(MPM_TOGGLEWRAP),
            Msg(MPM_GETWRAPMODE, 0, 0, 2), Msg(MPM_VISIBLEROWS, 0, 0, 3)});  // exactly the width: two rows
    EXPECT_EQ(Hit(3, lh_ + 2), (std::vector<int>{0, 9, 1, 1}));
    EXPECT_EQ(Hit(3, 2 * lh_ + 2), (std::vector<int>{1, 0, 2, 0}));
    SetCaret(edit_, 0, 9);  // at the break column the caret shows at the end of the upper row
    {
        Capture cap(edit_);
        const COLORREF current = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE))[12];
        EXPECT_EQ(cap.At(2 + 10 * cw_ - 2, lh_ / 2), current);
        EXPECT_NE(cap.At(2 + 10 * cw_ - 2, lh_ + lh_ / 2), current);
    }
    SetState(L"aaaaaaaaaab\tX|");  // row 1 holds "ab\tX": the tab ends 4 widths from the row start
    EXPECT_EQ(Hit(2 + 4 * cw_ + 1, lh_ + 2), (std::vector<int>{0, 12, 1, 1}));
    EXPECT_EQ(Hit(2 + 2 * cw_ + 1, lh_ + 2)[1], 11);
    Script(L"short" + std::wstring(20, L'z') + L"|",  // 25 units: rows of 9, 9, 7
           {Msg(MPM_VISIBLEROWS, 0, 0, 3), Ins(L"\nnext\nlines"), Msg(MPM_VISIBLEROWS, 0, 0, 5)});
    Resize(2 + 30 * cw_, 300);
    Script(State(), {Msg(MPM_VISIBLEROWS, 0, 0, 3), Del({0, 0}, {2, 0}), Msg(MPM_VISIBLEROWS, 0, 0, 1)});
    Resize(20, 300);
    SetState(std::wstring(30, L'w') + L"|");
    int rows = 1, d = 0;  // a row ends where the running width reaches 40 pixels
    for (int i = 0; i < 30; ++i)
        if ((d += cw_) >= 40) ++rows, d = cw_;
    EXPECT_EQ(Rows(), rows);
    Resize(2 + 20 * cw_, 300);
    Script(L"\t\t\tabc|",
           {Msg(MPM_TABWIDTH, 4), Msg(MPM_VISIBLEROWS, 0, 0, 1), Msg(MPM_TABWIDTH, 8),
            Msg(MPM_VISIBLEROWS, 0, 0, 2), Msg(MPM_TABWIDTH, 2), Msg(MPM_VISIBLEROWS, 0, 0, 1)});
    // 30 two-byte UTF-8 letters read as 1252: 60 units, three rows; as UTF-8 30 units and two.
    const std::wstring path = dir_ / L"mp_view_cp.txt";
    std::string bytes;
    for (int i = 0; i < 30; ++i) bytes += "\xC3\xA9";
    WriteBytes(path, bytes + "\r\nend");
    ASSERT_EQ(SendP(MPM_LOADFILE, path.c_str(), (void*)MAKELPARAM(1252, LB_CRLF)), 1);
    EXPECT_EQ((std::vector<LRESULT>{Send(MPM_GETLINE, 0, 0), Send(MPM_VISIBLEROWS)}),
              (std::vector<LRESULT>{60, 5}));
    Send(MPM_CODEPAGE, 65001);
    EXPECT_EQ((std::vector<LRESULT>{Send(MPM_GETLINE, 0, 0), Send(MPM_VISIBLEROWS)}),
              (std::vector<LRESULT>{30, 3}));
    EXPECT_EQ(Hit(2 + 5 * cw_, lh_ + 2), (std::vector<int>{0, 19 + 5, 1, 1}));
    EXPECT_EQ(Hit(2 + 5 * cw_, 2 * lh_ + 2), (std::vector<int>{1, 3, 2, 0}));
}

// With words kept whole a wrapped row begins where a word does; a word
// longer than the row is still cut at the edge.
TEST_F(ViewTest, WrappingAtWordsStartsEveryRowAtAWord) {
    for (int part = 0; part <= 3; ++part) Send(MPM_VIEWPART, WPARAM(part), 0);
    Resize(13 * cw_ + 4, 400);
    Send(MPM_TOGGLEWRAP);
    const std::wstring text = L"alpha beta gamma delta epsilon zeta-eta theta " + std::wstring(30, L'w');
    SetState(text + L"|");
    EXPECT_EQ(Send(MPM_WRAPWORDS, 2), 0) << "off by default: cut at the edge";
    const std::vector<int> edge = RowStarts();
    EXPECT_TRUE(std::any_of(edge.begin(), edge.end(),
                            [&](int s) { return s > 0 && text[s - 1] != L' ' && text[s] != L' '; }));
    EXPECT_EQ(Send(MPM_WRAPWORDS, 1), 1);
    const std::vector<int> words = RowStarts();
    ASSERT_GT(words.size(), 3u);
    for (int s : words) {  // the long word is cut where it must be
        if (s > 0 && s <= int(text.size()) - 30) {
            EXPECT_TRUE(text[s - 1] == L' ' || text[s - 1] == L'-' || text[s] == L' ')
                << testing::PrintToString(words);
        }
    }
    Send(MPM_WRAPWORDS, 0);
    EXPECT_EQ(RowStarts(), edge);
}

TEST_F(ViewTest, NestedFoldsCollapseAndExpandByDepth) {
    SetState(L"0\n1\n2\n3\n4\n5|");
    EXPECT_EQ(Send(MPM_FOLDMODE, 2), 2);
    EXPECT_EQ(Ask(MPM_FOLDMODE), 2);
    SetLevels(1, 4, 1);
    SetLevels(2, 3, 2);
    const struct {
        int line, command, rows;
    } steps[] = {
        {2, ECMD_COLLAPSEFOLD, 4},  // the fold of line 1: lines 2 and 3; the caret goes to line 1
        {0, ECMD_COLLAPSEFOLD, 2},  // line 0 heads lines 1 to 4
        {0, ECMD_EXPANDFOLD, 4},    // the inner fold stays collapsed
        {1, ECMD_EXPANDFOLD, 6},   {1, ECMD_EXPANDFOLD, 6},  // nothing folded under line 1 now
    };
    for (const auto& s : steps) {
        SetCaret(edit_, s.line, 0);
        Command(s.command);
        EXPECT_EQ((std::vector<int>{Rows(), Caret().line}),
                  (std::vector<int>{s.rows, s.line == 2 ? 1 : s.line}))
            << "line " << s.line << ", command " << s.command;
    }
    Send(MPM_FOLDMODE, 3);
    EXPECT_EQ(Level(2), 0) << "switching the mode clears every level";
    // Sixteen nested folds: line 16 sits at depth 15, not 16, so fifteen
    // expansions from the outside show everything.
    std::wstring text = Joined(18, [](int i) { return std::to_wstring(i) + L"\n"; });
    text.back() = L'|';
    SetState(text);
    Send(MPM_FOLDMODE, 2);
    for (int i = 0; i < 17; ++i) SetLevels(i, i, i);
    SetCaret(edit_, 16, 0);
    for (int i = 0; i < 16; ++i) Command(ECMD_COLLAPSEFOLD);
    EXPECT_EQ(Rows(), 2);
    for (int h = 0; h < 15; ++h) {
        SetCaret(edit_, h, 0);
        Command(ECMD_EXPANDFOLD);
    }
    EXPECT_EQ(Rows(), 18);
}

TEST_F(ViewTest, TheTopLineFollowsEdits) {
    const std::wstring text = Joined(100, [](int i) { return L"line " + std::to_wstring(i) + L"\n"; });
    const WPARAM query = 0x80000000u;
    Script(text + L"|", {Msg(MPM_FIRSTVISIBLE, 50), Msg(MPM_FIRSTVISIBLE, query, 0, 50),
                         Del({40, 2}, {60, 0}), Msg(MPM_FIRSTVISIBLE, query, 0, 40),  // to the edit's start
                         Del({10, 0}, {15, 0}), Msg(MPM_FIRSTVISIBLE, query, 0, 35),  // above: it moves up
                         Go(0, 0), Ins(L"1\n2\n3\n"), Msg(MPM_FIRSTVISIBLE, query, 0, 38),
                         Msg(MPM_FIRSTVISIBLE, 5000), Msg(MPM_FIRSTVISIBLE, query, 0, 38),  // beyond the end
                         Msg(MPM_VISIBLEROWS, 0, 0, 100 - 25 + 3 + 1)});
}

TEST_F(ViewTest, MarginsAndMarksArePaintedInTheirColours) {
    Colours table(edit_, {{0, RGB(255, 255, 255)},
                          {1, RGB(0, 0, 0)},
                          {3, RGB(0, 0, 200)},
                          {4, RGB(255, 255, 0)},
                          {6, RGB(0, 160, 0)},
                          {7, RGB(230, 230, 230)},
                          {8, RGB(200, 0, 0)},
                          {10, RGB(128, 0, 128)},
                          {11, RGB(0, 128, 128)},
                          {12, RGB(255, 240, 180)},
                          {40, RGB(255, 0, 255)},
                          {70, RGB(250, 250, 250)}});
    SetState(L"fir|st line\nfind this\nheader\n\tbody\nlast");
    FindHighlight hl;
    Send(MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(&hl), 1);
    const int numbers = cw_ * 5, x0 = numbers + 2;  // three digits plus two
    auto band = [&](int row, int from, int to) {
        return RECT{x0 + from * cw_, row * lh_, x0 + to * cw_, (row + 1) * lh_};
    };
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count({0, 0, numbers, lh_}, table[8]), 0) << "line-number digits";
        EXPECT_GT(cap.Count({0, 0, numbers, lh_}, table[7]), 0);
        EXPECT_GT(cap.Count(band(0, 12, 40), table[12]), 20 * cw_) << "current-line background";
        EXPECT_GT(cap.Count(band(1, 0, 4), table[40]), 0) << "find highlight";
        EXPECT_GT(cap.Count(band(4, 4, 10), table[6]), 0) << "[EOF]";
        EXPECT_EQ(cap.Count(band(4, 10, 40), table[12]), 0);
        EXPECT_GT(cap.Count(band(5, 0, 40), table[70]), 0) << "below the text";
    }
    // A selection over the find highlight shows the selection colours, and a
    // find highlight on the current line keeps its own background.
    SetState(L"first line\n[fi]|nd this\nheader\n\tbody\nlast");
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count(band(1, 0, 2), table[3]), 0);
        EXPECT_EQ(cap.Count(band(1, 0, 2), table[40]), 0);
        EXPECT_GT(cap.Count(band(1, 2, 4), table[40]), 0);
        EXPECT_GT(cap.Count(band(1, 12, 40), table[12]), 0);
    }
    // A collapsed header: line-end mark, "...", and a dotted underline; the
    // hidden line takes no height.
    Send(MPM_FOLDMODE, 2);
    SetLevels(3, 3, 1);
    SetCaret(edit_, 3, 0);
    Command(ECMD_COLLAPSEFOLD);
    const int folds = 10, x1 = folds + x0;
    {
        Capture cap(edit_);
        EXPECT_GT(cap.Count({x1 + 7 * cw_, 2 * lh_, x1 + 11 * cw_, 3 * lh_}, table[10]), 0) << "...";
        EXPECT_GT(cap.Count({folds + numbers, 3 * lh_ - 2, folds + numbers + 200, 3 * lh_}, table[11]), 50);
        EXPECT_GT(cap.Count({folds, 3 * lh_, folds + numbers, 4 * lh_}, table[8]), 0);
        EXPECT_GT(cap.Count({x1 + 4 * cw_, 3 * lh_, x1 + 10 * cw_, 4 * lh_}, table[6]), 0);
    }
    table.table[70] = RGB(1, 2, 3);  // the host's table is read live
    EXPECT_GT(Capture(edit_).Count({x1, 5 * lh_, 300, 6 * lh_}, RGB(1, 2, 3)), 0);
    Send(MPM_HIGHLIGHTER, reinterpret_cast<WPARAM>(&hl), 0);
}

// Whitespace marks, control-character names and line-end marks are drawn
// in their colour only while switched on; the characters keep their places.
TEST_F(ViewTest, WhitespaceControlAndLineEndMarksFollowTheirSwitches) {
    PlainMargins();
    Send(MPM_VIEWPART, 6, 1);  // no current-line background
    Colours table(
        edit_, {{0, RGB(255, 255, 255)}, {1, RGB(0, 0, 0)}, {6, RGB(0, 160, 0)}, {12, RGB(255, 255, 255)}});
    Send(MPM_TABWIDTH, 4);
    SetState(L"|a\tb c\nx\x13y\nend");
    // Marks ('m') and ink ('k') per cell: "a", a tab of three cells, "b c",
    // the line end; "x", the name XOFF in four cells, "y".
    const struct {
        WPARAM part;  // switched off, or on with 256
        const char *line0, *line1;
    } steps[] = {{0, "kmmmkmkm", "kmmmmkm"},
                 {2, "k...k.km", "kmmmmkm"},
                 {3, "k...k.km", "k....km"},
                 {4, "k...k.k.", "k....k."},
                 {256 | 2, "kmmmkmk.", "k....k."}};
    for (const auto& s : steps) {
        if (s.part) Send(MPM_VIEWPART, s.part, 1);
        Capture cap(edit_);
        EXPECT_EQ(Cells(cap, 0, 8, {{'m', table[6]}, {'k', table[1]}}) + " " +
                      Cells(cap, 1, 7, {{'m', table[6]}, {'k', table[1]}}),
                  std::string(s.line0) + " " + s.line1)
            << "part " << s.part;
    }
}

// Styles written through 1076 show in their class's colours, on the lines
// that the store had when it was made; without a store nothing shows.
TEST_F(ViewTest, CharacterStyleStore) {
    PlainMargins();
    Send(MPM_VIEWPART, 6, 1);  // no current-line background
    Colours t(edit_, {{0, RGB(255, 255, 255)},
                      {1, RGB(0, 0, 0)},
                      {24 + 9, RGB(200, 255, 200)},
                      {43 + 9, RGB(255, 0, 0)},
                      {24 + 4, RGB(255, 210, 255)},
                      {43 + 4, RGB(0, 0, 255)},
                      {3, RGB(0, 0, 160)},
                      {4, RGB(255, 255, 0)},
                      {12, RGB(255, 255, 170)}});
    // Each cell of the four lines: its background ('9', '4' the classes, 's'
    // the selection, 'c' the current line, '.' the text's) and its ink ('r'
    // class 9's, 'b' class 4's, 'y' the selection's, 'k' the text's).
    auto look = [&] {
        Capture cap(edit_);
        std::string s;
        for (int line = 0; line < 4; ++line)
            s += Cells(cap, line, 5, {{'9', t[33]}, {'4', t[28]}, {'s', t[3]}, {'c', t[12]}}, cw_ * lh_ / 2) +
                 "/" + Cells(cap, line, 5, {{'r', t[52]}, {'b', t[47]}, {'y', t[4]}, {'k', t[1]}}) + " ";
        return s;
    };
    SetState(L"|abc\ndefg");
    StyleRangeArg bcde = {0, 1, 1, 2, 9}, over = {0, 2, 0, 3, 4}, late = {3, 0, 3, 5, 4};
    SendP(MPM_SETSTYLES, &bcde, (void*)1);  // no store yet: nothing happens
    const std::string plain = look();
    EXPECT_EQ(plain, "...../kkk.. ...../kkkk. ...../..... ...../..... ");
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 1);
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 0) << "made once";
    SendP(MPM_SETSTYLES, &bcde, (void*)1);
    EXPECT_EQ(look(), ".99../krr.. 99.../rrkk. ...../..... ...../..... ") << "the end column is not styled";
    // Selected styled text shows the selection's colours; on the current
    // line a style keeps its text colour over the line's background.
    Select(edit_, {0, 1}, {0, 2});
    Send(MPM_VIEWPART, 256 | 6, 1);
    EXPECT_EQ(look(), "csccc/kyr.. 99.../rrkk. ...../..... ...../..... ");
    SetCaret(edit_, 1, 1);
    EXPECT_EQ(look(), ".99../krr.. ccccc/rrkk. ...../..... ...../..... ") << "the selection is gone";
    Send(MPM_VIEWPART, 6, 1);
    SendP(MPM_SETSTYLES, &over, (void*)1);  // a later range replaces the first one there
    EXPECT_EQ(look(), ".94../krb.. 99.../rrkk. ...../..... ...../..... ");
    // Lines added after the store was made have no slot: their styles are dropped.
    SetCaret(edit_, 1, 4);
    Insert(L"\nmore\nlines");
    SendP(MPM_SETSTYLES, &late, (void*)1);
    EXPECT_EQ(look(), ".94../krb.. 99.../rrkk. ...../kkkk. ...../kkkkk ");
    EXPECT_EQ(Send(MPM_SETSTYLES, 0, 1), 0);
    // Removing the store removes every style; a new store starts empty.
    EXPECT_EQ(Send(MPM_STYLESTORE, 0), 0);
    EXPECT_EQ(Send(MPM_STYLESTORE, 0), 1);
    EXPECT_EQ(look(), "...../kkk.. ...../kkkk. ...../kkkk. ...../kkkkk ");
    EXPECT_EQ(Send(MPM_STYLESTORE, 1), 1);
    EXPECT_EQ(look(), "...../kkk.. ...../kkkk. ...../kkkk. ...../kkkkk ");
}

// Text starts after the number column (digits + 2, at least three digits:
// Dpi.MarginsScaleWithTheResolutionAndComeBack) and the left margin.
TEST_F(ViewTest, LineNumberColumnGrowsWithTheLineCount) {
    SetState(L"x\nx\nx\nx\nx\nx\nx\nx\nx\n|");
    Insert(Joined(12345, [](int) { return L"y\n"; }));
    Send(MPM_FIRSTVISIBLE, 0);
    EXPECT_EQ(Hit(7 * cw_ + 2 + 1, 1)[1], 0);
    EXPECT_EQ(Hit(7 * cw_ + 2 - cw_ + 1, 1)[1], 0) << "left of the text: column 0";
}

TEST_F(ViewTest, ViewPartsAndFontMessages) {
    Script(
        L"|",
        {Msg(MPM_VIEWPART, 0, -1, 1), Msg(MPM_VIEWPART, 9, -1, 0), Msg(MPM_VIEWPART, 8, -1, 0),
         Msg(MPM_VIEWPART, 256 | 9, 1, -1), Msg(MPM_VIEWPART, 9, -1, 1), Msg(MPM_VIEWPART, 7, -1, 0),
         Msg(MPM_VIEWPART, 10, 1, -1), Msg(MPM_LINESPACING, 4, 0, 4), Msg(MPM_LINEHEIGHT, 0, 0, lh_ + 4),
         Msg(MPM_LINESPACING, 0x80000000u, 0, 4), Msg(MPM_FONTHEIGHT, 0, 0, lh_),
         Msg(MPM_BRACEMATCH, 2, 0, 1), Msg(MPM_BRACEMATCH, 0, 0, 0), Msg(WM_ERASEBKGND, 0, 0, 1),
         Msg(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"abc"), -1, 3 * cw_),
         Msg(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"\x13"), 1, 4 * cw_),  // a control character: its name
         Msg(WM_GETFONT, 0, 0, reinterpret_cast<LRESULT>(font_))});
}

// The ruler sits above the text, which moves down by its height; it marks
// every column, higher every fifth and tenth, and shows the caret's column.
TEST_F(ViewTest, TheRulerMarksColumnsAndFollowsTheCaret) {
    PlainMargins();
    Colours table(edit_, {{68, RGB(240, 240, 200)}, {69, RGB(0, 0, 128)}, {23, RGB(0, 150, 0)}});
    SetState(L"0123456789012345678901234567890123456789\nsecond|");
    EXPECT_EQ(Send(MPM_VIEWPART, 256 | 1, 1), -1);
    EXPECT_EQ(Send(MPM_VIEWPART, 1, -1), 1);
    HWND ruler = FindWindowExW(edit_, nullptr, nullptr, nullptr);
    ASSERT_NE(ruler, nullptr);
    const int h = lh_ * 5 / 4;
    EXPECT_EQ(Capture::Client(ruler).bottom, h);
    EXPECT_EQ(Hit(3, h + 2)[0], 0) << "the text starts below the ruler";
    EXPECT_EQ(Hit(3, h + lh_ + 2)[0], 1);
    // What the ruler shows on the screen: pixels at a column's left edge (a
    // half column further for the background), and the caret marker's
    // pixels around a column.
    for (int caret : {20, 33}) {
        SetCaret(edit_, 0, caret);
        UpdateWindow(ruler);
        HDC dc = GetDC(ruler);
        auto marker = [&](int column) {
            int n = 0;
            for (int y = h - 12; y < h; ++y)
                for (int x = 2 + column * cw_ - 8; x < 2 + column * cw_ + 8; ++x)
                    n += GetPixel(dc, x, y) == table[23];
            return n;
        };
        EXPECT_GT(marker(caret), 0) << "the caret's column";
        EXPECT_EQ(marker(53 - caret), 0);
        const struct {
            int column, y;
            COLORREF c;
            bool is;
        } pixels[] = {{5, 2, table[68], true},
                      {3, h - 1, table[69], true},  // background, base line
                      {10, h / 2 + 1, table[69], true},
                      {30, h / 2 + 1, table[69], true},  // tens reach this high
                      {5, h / 2 + 1, table[69], false},
                      {13, h / 2 + 1, table[69], false},
                      {15, h - h / 3, table[69], true},
                      {16, h - h / 3 - 1, table[69], false},  // fives above the others
                      {16, h - 2, table[69], true}};
        for (const auto& p : pixels)
            EXPECT_EQ(GetPixel(dc, 2 + p.column * cw_ + (p.y == 2 ? cw_ / 2 : 0), p.y) == p.c, p.is)
                << p.column << "," << p.y;
        ReleaseDC(ruler, dc);
    }
    Send(MPM_VIEWPART, 1, 1);
    EXPECT_EQ(FindWindowExW(edit_, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(Hit(3, lh_ + 2)[0], 1) << "the text moves back up";
}

// The fold pass computes levels on a timer, whatever the order of setting
// the lexer and the folding method, and again after a reload; the folds it
// finds collapse like any others.
TEST_F(ViewTest, TheBackgroundFoldPassComputesLevels) {
    SetState(Blocks(300) + L"|");
    BraceLexer lexer;
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    Send(MPM_FOLDMODE, 1);
    EXPECT_EQ(LevelOnceSet(299, 1), 1) << "line 299 sits inside the last block";
    EXPECT_EQ((std::vector<int>{Level(1), Level(3)}), (std::vector<int>{1, 0}));
    EXPECT_GE(lexer.calls, 300);
    SetCaret(edit_, 0, 0);
    Command(ECMD_COLLAPSEFOLD);
    EXPECT_EQ(Rows(), 301 - 2);
    Send(MPM_SETLEXER, 0, 0);
    SetState(Blocks(30) + L"|");
    Send(MPM_FOLDMODE, 0);
    Send(MPM_FOLDMODE, 1);
    PumpUntil([] { return false; }, 200);  // the pass ends at once without a lexer
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1);
    EXPECT_EQ(LevelOnceSet(28, 1), 1) << "lexer after the method";
    Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer),
         1);  // a host sets the method after each lexer change
    Send(MPM_FOLDMODE, 1);
    EXPECT_EQ(LevelOnceSet(28, 1), 1) << "method after the lexer";
    const std::wstring path = dir_ / L"mp_view_folds.txt";
    SaveFormat format = {1252, LB_LF, 0};
    ASSERT_EQ(SendP(MPM_SAVECOPY, path.c_str(), &format), 1);
    ASSERT_EQ(SendP(MPM_LOADFILE, path.c_str(), (void*)MAKELPARAM(1252, LB_LF)), 1);
    EXPECT_EQ(LevelOnceSet(28, 1), 1) << "after a reload";
    Send(MPM_SETLEXER, 0, 0);
}

TEST_F(ViewTest, RowsStayConsistentAcrossBlocksOfLinesAfterEdits) {
    PlainMargins();
    Resize(2 + 20 * cw_, 300);
    SetState(Joined(12000, [](int i) { return i % 7 ? L"short\n" : std::wstring(45, L'w') + L"\n"; }) + L"|");
    Send(MPM_TOGGLEWRAP);
    unsigned seed = 5;
    auto rnd = [&](int n) { return int(((seed = seed * 1103515245u + 12345u) >> 16) % unsigned(n)); };
    for (int round = 0; round < 30; ++round) {
        // An edit somewhere: lengthen a line (more rows) or remove a few lines.
        const int line = rnd(int(Send(MPM_GETLINECOUNT)) - 10);
        Position a = {line, 0}, b = {line + 3, 0};
        if (round % 3 == 0)
            SendP(MPM_DELETERANGE, &a, &b);
        else
            Insert(std::wstring(size_t(20 + rnd(60)), L'x'), &a);
        // Any line made the top line is found at the top row, the rows below follow on.
        const int top = rnd(int(Send(MPM_GETLINECOUNT)) - 5);
        Send(MPM_FIRSTVISIBLE, WPARAM(top));
        ASSERT_EQ(Ask(MPM_FIRSTVISIBLE), top);
        const std::vector<int> first = Hit(3, 2);
        ASSERT_EQ((std::vector<int>{first[0], first[3]}), (std::vector<int>{top, 0})) << round;
        for (int r = 1; r < 6; ++r)
            ASSERT_EQ(Hit(3, r * lh_ + 2)[2], first[2] + r) << "round " << round << " row " << r;
    }
    Send(MPM_TOGGLEWRAP);
    EXPECT_EQ(Rows(), int(Send(MPM_GETLINECOUNT))) << "the total is the sum over the blocks";
}

// Closing a document (1030) and attaching another (1029) in any order, with
// wrapping, folding and a lexer set, leaves a view that edits, resizes,
// repaints and lays out exactly like a fresh view of the same document.
TEST_F(ViewTest, DocumentsCloseAndAttachInAnyOrderWithWrapFoldsAndALexer) {
    BraceLexer lexer;
    const std::wstring text = Joined(40, [](int i) {
        return i % 4 == 0 ? L"block {\n" : i % 4 == 3 ? L"}\n" : std::wstring(30 + i, L'w') + L"\n";
    });
    auto make = [&](int id, int width, bool filled) {
        HWND h = Create(id);
        SetWindowPos(h, nullptr, 0, 0, 2 + width * cw_, 300, SWP_NOZORDER);
        Send(MPM_VIEWPART, 0, 1, h);
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1, h);
        if (filled) Insert(text, nullptr, h);
        return h;
    };
    auto own = [&](HWND h) {  // the document it made, handed back to own again
        const WPARAM doc = WPARAM(Send(MPM_SHAREDOC, 0, 0, h));
        Send(MPM_SHAREDOC, doc, 0, h);
        return doc;
    };
    // The rows, and the line and sub-row at the first rows.
    auto layout = [&](HWND h) {
        std::vector<int> out = {int(Send(MPM_VISIBLEROWS, 0, 0, h))};
        for (int r = 0; r < 8; ++r) {
            const std::vector<int> hit = Hit(5, r * lh_ + 1, h);
            out.insert(out.end(), {hit[0], hit[2], hit[3]});
        }
        return out;
    };
    for (int seq = 0; seq < 4; ++seq) {
        for (int setup = 0; setup < 8; ++setup) {  // bit 0 wrapping, bit 1 folding, bit 2 a lexer
            SCOPED_TRACE(testing::Message() << "sequence " << seq << " setup " << setup);
            HWND view = make(30, 20, true), other = make(31, 20, true);
            for (HWND h : {view, other})
                if (setup & 4) Send(MPM_SETLEXER, reinterpret_cast<WPARAM>(&lexer), 1, h);
            if (setup & 1) Send(MPM_TOGGLEWRAP, 0, 0, view);
            if (setup & 2) Send(MPM_FOLDMODE, 1, 0, view);
            const WPARAM doc = own(other);
            if (seq == 2) Send(MPM_SHAREDOC, 0, 0, view);  // give the own document away, close it, attach
            if (seq == 0 || seq == 2) Send(MPM_CLOSEDOC, 0, 0, view);  // close, then attach
            Send(MPM_SHAREDOC, doc, 0, view);  // sequence 1: attach over the own document
            if (seq == 3) {                    // the owner closes it; attach a third
                Send(MPM_CLOSEDOC, 0, 0, other);
                DestroyWindow(other);
                other = make(31, 20, true);
                Send(MPM_SHAREDOC, own(other), 0, view);
            }
            PumpUntil([] { return false; }, 30);  // fold timers tick
            Position at = {2, 3};
            ASSERT_EQ(Insert(L"x {\nnew line that is long enough to wrap\n", &at, view), 1);
            SetWindowPos(view, nullptr, 0, 0, 2 + 25 * cw_, 300, SWP_NOZORDER);
            Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1, view);
            for (int id : {ECMD_DOCEND, ECMD_COLLAPSEFOLD, ECMD_EXPANDFOLD}) Command(id, view);
            Send(MPM_FIRSTVISIBLE, 0, 0, view);
            { Capture cap(view); }
            HWND fresh = make(32, 25, false);  // a fresh view of the same document, laid out alike
            Send(MPM_SHAREDOC, WPARAM(Send(MPM_SHAREDOC, 0, 0, view)), 0, fresh);
            if (Send(MPM_GETWRAPMODE, 0, 0, view)) Send(MPM_TOGGLEWRAP, 0, 0, fresh);
            Send(MPM_FOLDMODE, Send(MPM_FOLDMODE, 0x80000000u, 0, view), 0, fresh);
            EXPECT_EQ(layout(view), layout(fresh));
            for (HWND h : {fresh, view, other}) DestroyWindow(h);
        }
    }
}

// A row scrolled far to the right is painted from the first visible unit on,
// measured from where the last paint stopped: after an edit the glyphs still
// stand where the caret says.
TEST_F(ViewTest, ALongRowScrolledRightIsPaintedWhereTheCaretIs) {
    PlainMargins();
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark
    Send(MPM_VIEWPART, 2, 0);  // no whitespace marks
    SetFocus(edit_);
    SetState(Joined(3000, [](int) { return L"ab\t"; }) + L"Z|");
    for (int pass = 0; pass < 4; ++pass) {
        Position home = {0, 0};  // the second pass started from where the first stopped
        if (pass == 2) Insert(L"q", &home);
        if (pass == 3) Send(MPM_TABWIDTH, 8);
        SetCaret(edit_, 0, INT_MAX, true);
        const POINT pt = CaretPoint();
        Capture cap(edit_);
        const COLORREF back = cap.At(pt.x + cw_ + 3, 2);
        const int x = pt.x + 1;  // where the caret's line stands
        // "Z" ends at the caret; before it the tab leaves two cells blank.
        EXPECT_GT(cap.Count({x - cw_, 0, x, lh_}, back, true), 0) << "pass " << pass << ", caret at " << x;
        EXPECT_EQ(cap.Count({x - 3 * cw_, 0, x - cw_, lh_}, back), 2 * cw_ * lh_) << pass;
        EXPECT_EQ(cap.Count({x + 2, 0, x + 2 + cw_, lh_}, back), cw_ * lh_) << pass;
    }
}

// A click on the fold margin beside a fold header collapses the fold, a
// second click expands it, the caret goes to the clicked line; beside other
// lines a click only places the caret. In fold mode 3 the host folds a
// selection: the margin marks the first line of a single multi-line
// selection, and the fold-selection command (51) or a click on the mark hides
// the lines below it up to the selection's last line.
TEST_F(ViewTest, FoldMarginClicksAndFoldedSelections) {
    PlainMargins();
    Colours colours(edit_, {{0, RGB(255, 255, 255)},
                            {1, RGB(0, 0, 0)},
                            {10, RGB(200, 0, 0)},
                            {12, RGB(255, 255, 255)},
                            {24, RGB(210, 210, 230)}});
    const COLORREF sign = colours[10];
    auto click = [&](int row) {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, row * lh_ + lh_ / 2));
        Send(WM_LBUTTONUP, 0, MAKELPARAM(4, row * lh_ + lh_ / 2));
    };
    SetState(L"h0\n a\n b\nh1\n c\nen|d");
    Send(MPM_FOLDMODE, 2);
    SetLevels(1, 2, 1);
    SetLevels(4, 4, 1);
    EXPECT_EQ(FoldSigns(sign), "-  -  ");
    const struct {
        int mode;
        Position anchor;  // {-1, -1}: nothing selected first
        Position caret;   // selected to, or set
        int row;          // clicked; -1 the fold-selection command
        std::vector<int> lines;
        const char* signs;
        Position after;
    } steps[] = {
        {2, {-1, -1}, {5, 2}, 3, {0, 1, 2, 3, 5}, "-  + ", {3, 0}},
        {2, {-1, -1}, {3, 0}, 0, {0, 3, 5}, "++ ", {0, 0}},
        {2, {-1, -1}, {0, 0}, 1, {0, 3, 4, 5}, "+-  ", {3, 0}},  // line 3 opens again, line 0 stays closed
        {2, {-1, -1}, {3, 0}, 0, {0, 1, 2, 3, 4, 5}, "-  -  ", {0, 0}},
        {2, {-1, -1}, {0, 0}, 1, {0, 1, 2, 3, 4, 5}, "-  -  ", {1, 0}},  // a line that heads nothing
        {2, {1, 1}, {2, 1}, 5, {0, 1, 2, 3, 4, 5}, "-  -  ", {5, 0}},    // the selection goes
        {3, {1, 1}, {3, 1}, -1, {0, 1, 4, 5}, " +  ", {1, 0}},
        {3, {-1, -1}, {1, 0}, -2, {0, 1, 2, 3, 4, 5}, "      ", {1, 0}},  // -2: expand
        {3, {4, 2}, {2, 0}, 2, {0, 1, 2, 5}, "  + ", {2, 0}},             // the other way round, by a click
        {3, {-1, -1}, {2, 0}, 2, {0, 1, 2, 3, 4, 5}, "      ", {2, 0}},   // a click on the collapsed mark
                                                                          // opens it
        {3, {3, 0}, {3, 2}, -1, {0, 1, 2, 3, 4, 5}, "      ", {3, 2}},    // within one line: nothing
        {2, {1, 1}, {3, 1}, -1, {0, 1, 2, 3, 4, 5}, "      ", {3, 1}},    // mode 2: nothing
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << s.mode << " row " << s.row << " to " << testing::PrintToString(s.caret));
        if (s.mode != Ask(MPM_FOLDMODE)) {
            SetState(L"l0\nl1\nl2\nl3\nl4\nl5|");
            Send(MPM_FOLDMODE, s.mode);
            EXPECT_EQ(FoldSigns(sign), "      ");
        }
        if (s.anchor.line < 0)
            SetCaret(edit_, s.caret.line, s.caret.column);
        else
            Select(edit_, s.anchor, s.caret);
        if (s.anchor.line >= 0 && s.mode == 3 && s.anchor.line != s.caret.line) {
            const std::string marked(size_t(std::min(s.anchor.line, s.caret.line)), ' ');
            EXPECT_EQ(FoldSigns(sign), marked + "-" + std::string(5 - marked.size(), ' '));
        }
        if (s.row >= 0)
            click(s.row);
        else
            Command(s.row == -1 ? ECMD_FOLDSELECTION : ECMD_EXPANDFOLD);
        EXPECT_EQ(LinesShown(), s.lines);
        EXPECT_EQ(FoldSigns(sign), s.signs);
        EXPECT_EQ(Caret(), s.after);
        if (s.row >= 0 || s.lines.size() < 6) {
            EXPECT_EQ(Send(MPM_GETSELKIND), 0);
        }
    }
}
