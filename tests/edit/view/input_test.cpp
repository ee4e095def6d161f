// The caret, selections, typing and edit commands, driven as a person would:
// key and mouse messages, the control's key map (message 895), and commands,
// as scripts checked against the text with its caret '|' and selection '[]'.
#include "EditHarness.h"

namespace {

class InputTest : public ShownEditControl {
   protected:
    void SetUp() override {
        ShownEditControl::SetUp();
        Send(MPM_VIEWPART, 0, 1);  // no line numbers: text starts at x = 2
        SetFocus(edit_);
    }
    // The screen row of the system caret (0 = the top row of the window).
    int CaretRow() {
        const POINT pt = CaretPoint();
        return pt.x < 0 ? -1 : pt.y / lh_;
    }
    // Where the system caret stands, as the document position under it.
    Position UnderCaret() {
        const POINT pt = CaretPoint();
        const std::vector<int> h = Hit(pt.x + 1, pt.y + 1);
        return {h[0], h[1]};
    }
};

}  // namespace

TEST_F(InputTest, CaretMoves) {
    SetState(L"    in|dented");
    EXPECT_TRUE(Press(edit_, VK_HOME)) << "Home is in the control's key map";
    // (Home from every place of an indent: HomeFromInsideTheIndent.)
    Script(L"  |  four", {Key(VK_HOME, S), Is(L"|[  ]  four")});
    Script(L"    fou|r", {Key(VK_HOME, S), Is(L"    |[fou]r"), Key(VK_HOME, S), Is(L"|[    fou]r"),
                          Key(VK_HOME), Is(L"    |four")});
    Script(L"word, second|", {Key(VK_LEFT, C), Is(L"word, |second"), Key(VK_LEFT, C), Is(L"word|, second"),
                              Key(VK_LEFT, C), Is(L"|word, second"), Key(VK_RIGHT, C), Is(L"word|, second")});
    // Left from a selection's right edge goes to its left edge and keeps it;
    // from the left edge it drops it and steps.
    Script(L"ab|cdefgh", {Key(VK_RIGHT, S), Key(VK_RIGHT, S), Key(VK_RIGHT, S), Is(L"ab[cde]|fgh"),
                          Key(VK_LEFT), Is(L"ab|[cde]fgh"), Key(VK_LEFT), Is(L"a|bcdefgh")});
    Script(L"abcde|fgh", {Key(VK_LEFT, S), Key(VK_LEFT, S), Key(VK_LEFT, S), Key(VK_LEFT), Is(L"a|bcdefgh")});
    Script(L"ab|[cde]fgh", {Key(VK_RIGHT), Is(L"ab[cde]|fgh")});
    // Row moves keep the preferred x.
    Script(L"a long fir|st line\nab\nanother long line",
           {Key(VK_DOWN), Is(L"a long first line\nab|\nanother long line"), Key(VK_DOWN),
            Is(L"a long first line\nab\nanother lo|ng line"), Key(VK_UP, S),
            Is(L"a long first line\nab|[\nanother lo]ng line"), Key(VK_END, C),
            Is(L"a long first line\nab\nanother long line|"), Key(VK_HOME, C | S),
            Is(L"|[a long first line\nab\nanother long line]")});
}

// Home from inside the leading blanks goes to column 0; from column 0 to
// the first character that is not blank; from after it back to it.
TEST_F(InputTest, HomeFromInsideTheIndent) {
    SetState(L"|    four\n\t\ttabs\n \t mixed\n   \nnone");
    const struct {
        Position from;
        int to;
    } cases[] = {
        {{0, 2}, 0}, {{0, 1}, 0}, {{0, 4}, 0}, {{0, 0}, 4}, {{0, 5}, 4}, {{0, 8}, 4},
        {{1, 1}, 0}, {{1, 0}, 2}, {{1, 6}, 2}, {{2, 2}, 0}, {{2, 3}, 0}, {{2, 0}, 3},
        {{2, 7}, 3}, {{3, 1}, 0}, {{3, 3}, 0}, {{3, 0}, 3},  // a line of blanks only
        {{4, 2}, 0}, {{4, 0}, 0},                            // no indent at all
    };
    for (const auto& c : cases) {
        SetCaret(edit_, c.from.line, c.from.column);
        Press(edit_, VK_HOME);
        EXPECT_EQ(Caret(), (Position{c.from.line, c.to})) << "from " << testing::PrintToString(c.from);
    }
}

TEST_F(InputTest, TypingAndOverwriting) {
    Script(L"|", {Type(L"abc"), Cmd(ECMD_UNDO), Is(L"ab|")});
    Script(L"ab[xyz]|", {Type(L"Q"), Is(L"abQ|"), Cmd(ECMD_UNDO), Is(L"abxyz|")});
    // Overwrite mode replaces before the line end and inserts at it.
    Script(L"a|bxyz", {Msg(MPM_GETINPUTMODE, 0, 0, 0), Key(VK_INSERT), Msg(MPM_GETINPUTMODE, 0, 0, 1),
                       Type(L"12"), Is(L"a12|yz"), Key(VK_END), Type(L"!"), Is(L"a12yz!|"), Cmd(ECMD_UNDO),
                       Cmd(ECMD_UNDO), Is(L"a1xyz|"), Key(VK_INSERT)});
    // Control codes other than tab are not typed; Enter is a key-down; soft
    // tabs reach the next tab stop.
    Script(L"x|", {Type(L"\x01\x1b"), Key(VK_RETURN), Msg(MPM_SOFTTABS, 1), Type(L"ab\t"), Is(L"x\nab  |")});
    // A read-only document refuses typing, deletions, line commands and undo.
    Script(L"|", {Type(L"keep"), Msg(MPM_READONLY, 1, 0, 1), Cmd(ECMD_UNDO), Type(L"x"), Key(VK_BACK),
                  Cmd(ECMD_DELETELINE), Cmd(ECMD_MOVELINEUP), Is(L"keep|"), Msg(MPM_READONLY, 0, 0, 0),
                  Type(L"!"), Is(L"keep!|")});
}

TEST_F(InputTest, DeletionsAndLineCommands) {
    Script(L"one\nt|wo\nthree",
           {Key(VK_BACK), Is(L"one\n|wo\nthree"), Key(VK_DELETE), Is(L"one\n|o\nthree"), Key(VK_END),
            Key(VK_DELETE), Is(L"one\no|three"), Cmd(ECMD_UNDO), Cmd(ECMD_UNDO), Cmd(ECMD_UNDO),
            Is(L"one\ntwo\n|three"), Go(1, 1), Key(VK_UP, A), Is(L"t|wo\none\nthree"), Cmd(ECMD_UNDO),
            Is(L"|one\ntwo\nthree")});
    Script(L"one\n|two\nthree",
           {Key(VK_DOWN, A), Is(L"one\nthree\n|two"), Key(VK_DOWN, A), Is(L"one\nthree\n|two"), Key(VK_UP, A),
            Is(L"one\n|two\nthree"), Key('J', C), Is(L"one\n|two\ntwo\nthree"), Key('L', C),
            Is(L"one\n|two\nthree"), Key(VK_BACK, C), Is(L"one|two\nthree"), Cmd(ECMD_NEWLINEBELOW),
            Is(L"onetwo\n|\nthree"), Cmd(ECMD_UNDO), Cmd(ECMD_NEWLINEABOVE), Is(L"|\nonetwo\nthree")});
}

TEST_F(InputTest, LineCommandsOnSelections) {
    // Tab with a selection indents its lines, blank ones aside; Shift+Tab unindents.
    Script(L"al[pha\n\nb]|eta\ngamma",
           {Type(L"\t"), Is(L"[\talpha\n\n\tbeta]|\ngamma"), Cmd(ECMD_UNDO), Is(L"alpha\n\nbeta|\ngamma")});
    Script(L"[alpha\n\nbeta\n]|gamma",
           {Msg(MPM_SOFTTABS, 1), Cmd(ECMD_INDENT), Is(L"[    alpha\n\n    beta\n    gamma]|"),
            Cmd(ECMD_UNINDENT), Is(L"[alpha\n\nbeta\ngamma]|")});
    // Case changes of nothing new leave no undo step; blanks are trimmed.
    Script(
        L"|Mixed Case\n  lead\ntrail  \t",
        {Cmd(ECMD_SELECTALL), Cmd(ECMD_UPPERCASE), Is(L"[MIXED CASE\n  LEAD\nTRAIL  \t]|"),
         Msg(MPM_CANUNDO, 0, 0, 1), Msg(MPM_EMPTYUNDO), Cmd(ECMD_UPPERCASE), Msg(MPM_CANUNDO, 0, 0, 0),
         Cmd(ECMD_TRIMLEADING), Cmd(ECMD_TRIMTRAILING), Is(L"[MIXED CASE\nLEAD\nTRAIL]|"), Go(0, 0),
         Cmd(ECMD_LOWERCASE), Is(L"[m]|IXED CASE\nLEAD\nTRAIL")});  // nothing selected: the unit right of it
    Send(MPM_TABWIDTH, 4);
    Script(
        L"|a\tb\n        c\n  d",
        {Cmd(ECMD_SELECTALL), Cmd(ECMD_TABSTOSPACES), Is(L"[a   b\n        c\n  d]|"), Cmd(ECMD_SPACESTOTABS),
         Is(L"[a\tb\n\t\tc\n  d]|"), Cmd(ECMD_UNDO), Is(L"a   b\n        c\n  d|")});
}

TEST_F(InputTest, BookmarksAndWords) {
    Script(L"l0\n|l1\nl2\nl3", {Key(VK_F2, C), Go(3, 0), Key(VK_F2, C), Key(VK_F2), Is(L"l0\n|l1\nl2\nl3"),
                                Key(VK_F2), Is(L"l0\nl1\nl2\n|l3"), Key(VK_F2, S), Is(L"l0\n|l1\nl2\nl3"),
                                Cmd(ECMD_CLEARBOOKMARKS), Key(VK_F2), Is(L"l0\n|l1\nl2\nl3")});
    Script(L"l0 hello|_world+x", {Msg(WM_LBUTTONDBLCLK, 0, At(6, 0)), SelIs(L"hello_world")});
}

TEST_F(InputTest, MouseClicksDragsAndColumnSelections) {
    Script(L"|abcdefgh\na\nabcdefgh\nabcdefghij",
           {Drag(2, 0, 5, 2), Is(L"ab[cdefgh\na\nabcde]|fgh\nabcdefghij"),
            // A press on the selection and a release without moving: a plain click.
            Msg(WM_LBUTTONDOWN, 0, At(3, 1)), Msg(WM_LBUTTONUP, 0, At(0, 1)),
            Is(L"abcdefgh\n|a\nabcdefgh\nabcdefghij"),
            // Alt+drag: one range per line, none on the short line; copied, the
            // skipped line is an empty line; typing goes into every range.
            Drag(2, 0, 6, 3, A), Kind(2), Msg(MPM_GETINPUTMODE, 0, 0, 2), Msg(MPM_GETSELRANGE, 0, 0, 0),
            Cmd(ECMD_COPY), Clip(L"cdef\n\ncdef\ncdef (block)"), Type(L"X"),
            Is(L"abcdefXgh\na\nabcdefXgh\nabcdefX|ghij"), Cmd(ECMD_UNDO),
            Is(L"abcdefgh\na\nabcdefgh\nabcdef|ghij"),
            // Clicks in the line-number column select the line.
            Msg(MPM_VIEWPART, 256 | 0, 1), Msg(WM_LBUTTONDOWN, 0, MAKELPARAM(3, lh_ + 2)),
            Msg(WM_LBUTTONUP, 0, MAKELPARAM(3, lh_ + 2)), Is(L"abcdefgh\n[a\n]|abcdefgh\nabcdefghij")});
    Send(MPM_VIEWPART, 0, 1);
    // Every range goes at once, the unit before each range's end goes, and
    // stream text replaces the block at the caret: each one undo step.
    const Step block = Drag(2, 0, 5, 3, A);
    Script(
        L"|abcdefgh\nab\nabcdefgh\nabcdefgh",
        {block, Cmd(ECMD_DELETE), Is(L"abfgh\nab\nabfgh\nab|fgh"), Cmd(ECMD_UNDO), block, Cmd(ECMD_BACKSPACE),
         Is(L"abcdfgh\nab\nabcdfgh\nabcd|fgh"), Cmd(ECMD_BACKSPACE), Is(L"abcfgh\nab\nabcfgh\nabc|fgh"),
         Cmd(ECMD_UNDO), Cmd(ECMD_UNDO), Is(L"abcdefgh\nab\nabcdefgh\nabcde|fgh"), block, PutClip(L"P\r\nQ"),
         Cmd(ECMD_PASTE), Is(L"abfgh\nab\nabfgh\nabP\nQ|fgh"), Kind(0), Cmd(ECMD_UNDO)});
    EXPECT_EQ(All(), L"abcdefgh\nab\nabcdefgh\nabcdefgh");
}

TEST_F(InputTest, ColumnPastePadsShortLinesAndAppendsPastTheEnd) {
    Script(L"01234567|89AB\nabcd\nlast line is long",
           {PutClip(L"X\nY", true), Key('V', C), Is(L"01234567X|89AB\nabcd    Y\nlast line is long"),
            Cmd(ECMD_UNDO), Go(2, 10), PutClip(L"1\r\n2\r\n3", true), Cmd(ECMD_PASTE),
            Is(L"0123456789AB\nabcd\nlast line 1|is long\n          2\n          3"), Cmd(ECMD_UNDO),
            Msg(MPM_GETLINECOUNT, 0, 0, 3)});
    // After a tab the block lands at the caret's x on every line.
    Send(MPM_TABWIDTH, 4);
    Script(L"\t|ab\n0123456789\na\tbc\nxy\n\t\tdeep", {PutClip(L"1\n2\n3\n4\n5", true), Cmd(ECMD_PASTE),
                                                       Is(L"\t1|ab\n01232456789\na\t3bc\nxy  4\n\t5\tdeep")});
    for (int line = 0; line < 5; ++line) {
        const std::vector<int> hit = Hit(2 + 4 * cw_ + 1, line * lh_ + lh_ / 2);
        EXPECT_EQ(Send(MPM_GETCHARAT, WPARAM(line), hit[1]), L'1' + line) << "line " << line;
    }
    Script(
        L"\tab\n0123456789\na\tbc\nxy\n\t\t|deep",
        {PutClip(L"P\nQ", true), Cmd(ECMD_PASTE), Is(L"\tab\n0123456789\na\tbc\nxy\n\t\tP|deep\n        Q")});
}

TEST_F(InputTest, CopyCutPasteAndPasteWithIndentation) {
    Script(L"    [first\nsec]|ond",
           {Key('C', C), Clip(L"first\r\nsec"), Key('X', C), Is(L"    |ond"), Cmd(ECMD_UNDO), Go(0, 9),
            Key('V', C | S), Is(L"    firstfirst\n    sec|\nsecond"), Cmd(ECMD_COPYLINE), Clip(L"    sec")});
    // The column marker of a copied block stays on the clipboard after the
    // control that copied it is gone.
    Script(L"|abcd\nabcd", {Drag(1, 0, 3, 1, A), Cmd(ECMD_COPY)});
    DestroyWindow(edit_);
    edit_ = Create(7);
    EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormatW(L"MSDEVColumnSelect")));
    Send(MPM_VIEWPART, 0, 1);
    Script(L"|xyz\nxyz\nxyz", {Cmd(ECMD_PASTE), Is(L"bc|xyz\nbcxyz\nxyz")});
}

TEST_F(InputTest, BracketsMatchAcrossLines) {
    Script(
        L"f|(a, (b)) {\n  x<1>;\n}",
        {Cmd(ECMD_GOTOBRACE), Is(L"f(a, (b)|) {\n  x<1>;\n}"), Go(0, 10), Cmd(ECMD_GOTOBRACE),
         Is(L"f(a, (b)) {\n  x<1>;\n|}"),
         // From before an opening brace forward: the block with both braces.
         Go(0, 10), Cmd(ECMD_SELECTTOBRACE), Is(L"f(a, (b)) [{\n  x<1>;\n}]|"), SelIs(L"{\r\n  x<1>;\r\n}"),
         // Backward from after the closing brace: the caret at the opening one.
         Go(2, 1), Cmd(ECMD_SELECTTOBRACE), Is(L"f(a, (b)) |[{\n  x<1>;\n}]"),
         // From before a closing brace back to the opening one.
         Go(1, 5), Cmd(ECMD_SELECTTOBRACE), Is(L"f(a, (b)) {\n  x|[<1]>;\n}"),
         // Nested pairs: the outer pair from its opening brace.
         Go(0, 1), Cmd(ECMD_SELECTTOBRACE), Is(L"f[(a, (b))]| {\n  x<1>;\n}"),
         // No brace at the caret: nothing selected, the caret stays.
         Go(1, 1), Cmd(ECMD_SELECTTOBRACE), Is(L"f(a, (b)) {\n | x<1>;\n}"),
         // Only while matching is on.
         Msg(MPM_BRACEMATCH, 0), Go(0, 1), Cmd(ECMD_GOTOBRACE), Is(L"f|(a, (b)) {\n  x<1>;\n}")});
}

// A character outside the basic plane is a pair of units: typed as two
// WM_CHAR messages it is one undo step, and no caret move, deletion, hit
// or row break ever stands between the two.
TEST_F(InputTest, SurrogatePairsStayWhole) {
    Script(L"|", {Type(L"a\xD83D\xDE00"
                       L"b"),
                  Cmd(ECMD_UNDO),
                  Is(L"a\xD83D\xDE00|"),
                  Cmd(ECMD_UNDO),
                  Is(L"a|"),
                  Cmd(ECMD_REDO),
                  Cmd(ECMD_REDO),
                  Go(0, 1),
                  Cmd(ECMD_RIGHT),
                  Is(L"a\xD83D\xDE00|b"),
                  Cmd(ECMD_LEFT),
                  Is(L"a|\xD83D\xDE00"
                     L"b"),
                  Cmd(ECMD_SEL_RIGHT),
                  Is(L"a[\xD83D\xDE00]|b"),
                  Cmd(ECMD_DELETE),
                  Is(L"a|b"),
                  Cmd(ECMD_UNDO),
                  Go(0, 3),
                  Cmd(ECMD_BACKSPACE),
                  Is(L"a|b"),
                  Cmd(ECMD_UNDO),
                  Go(0, 1),
                  Cmd(ECMD_DELETE),
                  Is(L"a|b"),
                  Cmd(ECMD_UNDO)});
    // The caret after the pair stands where the painted "b" starts.
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark after the text
    SetCaret(edit_, 0, 3);
    POINT pt = CaretPoint();
    const int caretX = pt.x + 1;
    EXPECT_EQ(caretX, 2 + Width(L"a\xD83D\xDE00"));
    Capture withB(edit_);
    Script(L"a\xD83D\xDE00|b", {Key(VK_DELETE)});
    Capture withoutB(edit_);
    int left = INT_MAX, right = -1;
    for (int y = 0; y < lh_; ++y)
        for (int x = 0; x < 400; ++x)
            if (withB.At(x, y) != withoutB.At(x, y) && x != caretX - 1 && x != caretX)
                left = std::min(left, x), right = std::max(right, x);
    EXPECT_GE(left, caretX) << "the b is drawn where the caret says it is";
    EXPECT_LT(right, caretX + cw_ + 2);
    // Hits inside a pair's cell, word moves and rows of a wrapped line land
    // before or after it.
    const std::wstring face = L"\xD83D\xDE00";
    Script((L"ab\n|" + face + face + face + L" x").c_str(), {Cmd(ECMD_WORDRIGHT)});
    EXPECT_EQ(Caret(), (Position{1, 6}));
    Command(ECMD_WORDLEFT);
    EXPECT_EQ(Caret(), (Position{1, 0}));
    const int pair = Width(face);
    for (int x = 2; x < 2 + 3 * pair; ++x) EXPECT_EQ(Hit(x, lh_ + lh_ / 2)[1] % 2, 0) << "x " << x;
    SetState(Joined(40, [&](int) { return face; }) + L"|");
    Resize(2 + 7 * pair + pair / 2, 400);
    Send(MPM_TOGGLEWRAP);
    EXPECT_GT(Send(MPM_VISIBLEROWS), 3);
    for (int row = 1; row < 4; ++row) EXPECT_EQ(Hit(3, row * lh_ + 2)[1] % 2, 0) << "row " << row;
    // In a column paste a pair counts as the one character it is painted as.
    Send(MPM_TOGGLEWRAP);
    Resize(600, 400);
    SetState(face + face + L"|xyz\n" + face + face + L"abc\n" + face + L"q" + face + L"r");
    pt = CaretPoint();
    SetClipboardText(edit_, L"1\n2\n3", true);
    Command(ECMD_PASTE);
    EXPECT_EQ(All(), face + face + L"1xyz\n" + face + face + L"2abc\n" + face + L"q3" + face + L"r");
    for (int line = 0; line < 2; ++line)
        EXPECT_EQ(Send(MPM_GETCHARAT, WPARAM(line), Hit(pt.x + 2, line * lh_ + lh_ / 2)[1]), L'1' + line);
    // A column block's backspace takes a pair before a range's end whole.
    SetState(L"|ab" + face + L"cd\nab" + face + L"cd");
    Keys(A);
    const int pairRight = 2 + 1 + Width(L"ab" + face);
    Send(WM_LBUTTONDOWN, 0, At(1, 0));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pairRight, lh_ + lh_ / 2));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(pairRight, lh_ + lh_ / 2));
    Keys(0);
    ASSERT_EQ(Send(MPM_GETSELKIND), 2);
    Command(ECMD_BACKSPACE);
    EXPECT_EQ(All(), L"abcd\nabcd");
}

// A drag ends when the control loses the mouse capture or the system
// cancels modes: later moves select nothing.
TEST_F(InputTest, LosingTheCaptureEndsADrag) {
    for (int how = 0; how < 2; ++how) {
        SetState(L"|abcdefgh\nabcdefgh\nabcdefgh");
        Send(WM_LBUTTONDOWN, MK_LBUTTON, At(1, 0));
        EXPECT_EQ(GetCapture(), edit_);
        if (how == 0)
            ReleaseCapture();
        else
            Send(WM_CANCELMODE);
        EXPECT_NE(GetCapture(), edit_);
        Send(WM_MOUSEMOVE, MK_LBUTTON, At(5, 2));
        EXPECT_EQ(State(), L"a|bcdefgh\nabcdefgh\nabcdefgh") << how;
        Send(WM_LBUTTONUP, 0, At(5, 2));
    }
}

// Page moves over 40 lines of two rows each ("row" is a visual row) in a
// window of seven whole rows and half of an eighth: a page is seven rows;
// when the caret leaves the window the text scrolls by as much, so the caret
// keeps its place on the screen. At the ends the caret stops on the first or
// last row and the text scrolls no further.
TEST_F(InputTest, PageMovesOverWrappedLines) {
    Resize(2 + 10 * cw_, 7 * lh_ + lh_ / 2);
    std::wstring text = Joined(40, [](int i) { return std::wstring(15, wchar_t(L'a' + i % 26)) + L"\n"; });
    text.pop_back();
    SetState(text + L"|");
    Send(MPM_TOGGLEWRAP);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 80);  // nine units, then six
    const Span none = {{-1, -1}, {-1, -1}};
    const struct {
        int key, mods;  // a negative key: that command; 0: the caret put, the top line set
        Position caret;
        Span selection;
        int top, topSub, screenRow;
    } steps[] = {
        {0, 0, {10, 3}, none, 9, 0, 2},
        {VK_NEXT, 0, {13, 12}, none, 12, 1, 2},  // row 27, the top row 25
        {VK_NEXT, 0, {17, 3}, none, 16, 0, 2},
        {VK_PRIOR, 0, {13, 12}, none, 12, 1, 2},
        {VK_PRIOR, 0, {10, 3}, none, 9, 0, 2},
        {VK_PRIOR, 0, {6, 12}, none, 5, 1, 2},
        {VK_PRIOR, 0, {3, 3}, none, 2, 0, 2},
        {VK_PRIOR, 0, {0, 3}, none, 0, 0, 0},  // row 0: the text cannot scroll further
        {VK_PRIOR, 0, {0, 3}, none, 0, 0, 0},
        // Shift+PgDn and Shift+PgUp (commands 22 and 21) extend from the anchor.
        {0, 0, {10, 3}, none, 9, 0, 2},
        {VK_NEXT, S, {13, 12}, {{10, 3}, {13, 12}}, 12, 1, 2},
        {-ECMD_SEL_PAGEDOWN, 0, {17, 3}, {{10, 3}, {17, 3}}, 16, 0, 2},
        {-ECMD_SEL_PAGEUP, 0, {13, 12}, {{10, 3}, {13, 12}}, 12, 1, 2},
        {VK_PRIOR, S, {10, 3}, none, 9, 0, 2},  // back at the anchor: nothing selected
        {-ECMD_SEL_PAGEUP, 0, {6, 12}, {{6, 12}, {10, 3}}, 5, 1, 2},
        {VK_NEXT, 0, {10, 3}, none, 9, 0, 2},  // a plain page move drops the selection
        // At the end: the last row (79), scrolled by a page; then nothing moves.
        {0, 0, {38, 3}, none, 35, 0, 6},
        {VK_NEXT, 0, {39, 12}, none, 38, 1, 2},
        {VK_NEXT, 0, {39, 12}, none, 38, 1, 2},
        {0, 0, {38, 3}, none, 35, 0, 6},
        {-ECMD_SEL_PAGEDOWN, 0, {39, 12}, {{38, 3}, {39, 12}}, 38, 1, 2},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "to " << testing::PrintToString(s.caret));
        if (s.key == 0) {
            SetCaret(edit_, s.caret.line, s.caret.column);
            Send(MPM_FIRSTVISIBLE, s.top);
        } else if (s.key < 0) {
            Command(-s.key);
        } else {
            Press(edit_, s.key, s.mods);
        }
        EXPECT_EQ(Caret(), s.caret);
        EXPECT_EQ(SelectionOf(edit_), s.selection);
        const std::vector<int> top = Hit(3, 2);
        EXPECT_EQ((std::vector<int>{Ask(MPM_FIRSTVISIBLE), top[0], top[3]}),
                  (std::vector<int>{s.top, s.top, s.topSub}));
        EXPECT_EQ(CaretRow(), s.screenRow);
    }
}

// A text shorter than the window: page down puts the caret on the last row
// and nothing scrolls; a collapsed fold takes no rows and the caret never
// lands in it.
TEST_F(InputTest, PageMovesInShortTextsAndOverFolds) {
    Resize(2 + 10 * cw_, 7 * lh_ + lh_ / 2);
    Script(L"fi|rst\nsecond line that wraps\nthird",  // rows 0, 1-3, 4
           {Msg(MPM_TOGGLEWRAP), Msg(MPM_VISIBLEROWS, 0, 0, 5), Key(VK_NEXT),
            Is(L"first\nsecond line that wraps\nth|ird"), Msg(MPM_FIRSTVISIBLE, 0x80000000u, 0, 0),
            Key(VK_PRIOR), Is(L"fi|rst\nsecond line that wraps\nthird"), Key(VK_NEXT, S),
            Is(L"fi[rst\nsecond line that wraps\nth]|ird"), Msg(MPM_FIRSTVISIBLE, 0x80000000u, 0, 0)});
    EXPECT_EQ(CaretRow(), 4);
    Send(MPM_TOGGLEWRAP);
    Resize(400, 7 * lh_ + lh_ / 2);
    std::wstring text = Joined(30, [](int i) { return L"line " + std::to_wstring(i) + L"\n"; });
    text.pop_back();
    SetState(text + L"|");
    Send(MPM_FOLDMODE, 2);
    SetLevels(5, 20, 1);
    SetCaret(edit_, 4, 0);
    Command(ECMD_COLLAPSEFOLD);
    ASSERT_EQ(Send(MPM_VISIBLEROWS), 14);  // lines 0-4 and 21-29
    SetCaret(edit_, 0, 2);
    const struct {
        int key;
        int line, top;
    } steps[] = {{VK_NEXT, 23, 23}, {VK_NEXT, 29, 23}, {VK_PRIOR, 22, 0}, {VK_PRIOR, 0, 0}};
    for (const auto& s : steps) {
        Press(edit_, s.key);
        EXPECT_EQ(Caret(), (Position{s.line, 2}));
        EXPECT_EQ(Ask(MPM_FIRSTVISIBLE), s.top);
    }
    EXPECT_EQ(Send(MPM_VISIBLEROWS), 14) << "the fold stays collapsed";
}

TEST_F(InputTest, WheelScrollBarsAndScrollingEdges) {
    const std::wstring text = Joined(200, [](int) { return L"row\n"; });
    SetState(L"|" + text);
    const int page = Capture::Client(edit_).bottom / lh_;
    auto wheel = [&](UINT setting, int delta) {
        UINT old = 3;
        SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &old, 0);
        SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, setting, nullptr, 0);
        Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(delta)), 0);
        SystemParametersInfoW(SPI_SETWHEELSCROLLLINES, old, nullptr, 0);
        return Ask(MPM_FIRSTVISIBLE);
    };
    EXPECT_EQ(wheel(1, -WHEEL_DELTA), 3) << "a setting of one scrolls three rows";
    Send(MPM_FIRSTVISIBLE, 50);
    EXPECT_EQ(wheel(WHEEL_PAGESCROLL, -WHEEL_DELTA), 50 + page) << "one screen at a time";
    EXPECT_EQ(wheel(WHEEL_PAGESCROLL, WHEEL_DELTA), 50);
    Send(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_GT(Ask(MPM_FIRSTVISIBLE), 50 + 10);
    Command(ECMD_DOCEND);
    EXPECT_GT(Ask(MPM_FIRSTVISIBLE), 150) << "moves scroll the caret into view";
    // The caret may stand on the last whole row without scrolling (page
    // moves at the ends: PageMovesInShortTextsAndOverFolds).
    Position last = {page - 1, 0};
    Script(L"|" + text, {Msg(WM_VSCROLL, SB_TOP), Top(0), Msg(MPM_SETCARET, WPARAM(&last), 1), Top(0),
                         Cmd(ECMD_DOWN), Top(1)});
}

// The overwrite caret is a block drawn over the text: it stays shown after
// moves (the screen's pixels under it are the painted ones inverted).
TEST_F(InputTest, TheOverwriteCaretStaysVisibleAfterMoves) {
    SetState(L"|abcdef\nghijkl");
    const UINT blink = GetCaretBlinkTime();
    SetCaretBlinkTime(60000);
    Command(ECMD_OVERWRITE);
    for (int id : {ECMD_RIGHT, ECMD_DOWN, ECMD_END, ECMD_LEFT}) {
        Command(id);
        const POINT pt = CaretPoint();
        Capture painted(edit_);
        HDC dc = GetDC(edit_);
        int inverted = 0;
        for (int y = pt.y + 1; y < pt.y + lh_ - 1; ++y)
            for (int x = pt.x + 2; x < pt.x + cw_ - 1; ++x)
                inverted += GetPixel(dc, x, y) == (~painted.At(x, y) & 0xFFFFFF);
        ReleaseDC(edit_, dc);
        EXPECT_GT(inverted, (lh_ - 2) * (cw_ - 3) / 2)
            << "command " << id << ": no caret at " << pt.x << "," << pt.y;
    }
    Command(ECMD_OVERWRITE);
    SetCaretBlinkTime(blink);
}

// After anything that moves text on the screen, the system caret stands
// over the caret's position again.
TEST_F(InputTest, TheCaretIsPlacedAgainAfterLayoutChanges) {
    SetState(L"|" + Joined(40, [](int i) { return L"line " + std::to_wstring(i) + L" with a few words\n"; }));
    const Position p = {5, 8};
    SetCaret(edit_, 5, 8);
    EXPECT_EQ(UnderCaret(), p);
    HFONT big = CreateFontW(-26, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
    const struct {
        UINT msg;
        WPARAM w;
        LPARAM l;
    } changes[] = {{MPM_FIRSTVISIBLE, 3, 0},   {MPM_LINESPACING, 6, 0},
                   {MPM_VIEWPART, 256 | 0, 1}, {WM_SETFONT, reinterpret_cast<WPARAM>(big), 1},
                   {MPM_TOGGLEWRAP, 0, 0},     {MPM_TOGGLEWRAP, 0, 0}};
    for (const auto& c : changes) {
        if (c.msg == MPM_TOGGLEWRAP) Resize(2 + 22 * Width(L"x"), 400);
        Send(c.msg, c.w, c.l);
        EXPECT_EQ(UnderCaret(), p) << "message " << c.msg;
        if (c.msg == MPM_TOGGLEWRAP && Send(MPM_GETWRAPMODE)) {
            EXPECT_GT(Send(MPM_VISIBLEROWS), 40);
        }
    }
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    EXPECT_EQ(info.rcCaret.bottom - info.rcCaret.top, Send(MPM_FONTHEIGHT))
        << "the caret is as high as the font";
    // Collapsing the fold around the caret moves it to the header, and says so.
    Send(MPM_FOLDMODE, 2);
    SetLevels(4, 7, 1);
    g_notices.clear();
    Command(ECMD_COLLAPSEFOLD);
    EXPECT_EQ(Caret(), (Position{3, 0}));
    EXPECT_EQ(UnderCaret(), (Position{3, 0}));
    EXPECT_TRUE(std::any_of(g_notices.begin(), g_notices.end(), [](const Notice& n) {
        return n.code == EN_MP_CARETMOVED && n.b == Position{3, 0};
    }));
    Send(MPM_FIRSTVISIBLE, 0);
    SetCaret(edit_, 9, 2);
    EXPECT_EQ(UnderCaret(), (Position{9, 2})) << "below a collapsed fold";
    SetCaret(edit_, 3, 0);
    Command(ECMD_EXPANDFOLD);
    EXPECT_EQ(UnderCaret(), Caret()) << "expand";
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1);
    DeleteObject(big);
}

// Rows far down times a tall line height pass the int range: the caret of
// such a row stays out of the window, and the end of a wrapped line more than
// 2^29 pixels tall is painted where the caret stands.
TEST_F(InputTest, TallRowsFarDown) {
    EXPECT_EQ(Send(MPM_LINESPACING, 5000), 1000) << "spacing is clamped";
    Send(MPM_VIEWPART, 5, 0);  // no end-of-file mark
    const long long lh = Send(MPM_LINEHEIGHT);
    Resize(20, 2200);  // room for two such rows
    Send(MPM_TOGGLEWRAP);
    SetState(std::wstring(100, L'x') + L"|");
    const int perRow = Hit(3, int(lh) + 2)[1];
    ASSERT_GT(perRow, 0);
    const long long rows = ((1LL << 32) + lh - 1) / lh;  // line 1's top just past 2^32 pixels
    SetState(std::wstring(size_t(rows * perRow), L'x') + L"\n|end");
    ASSERT_EQ(Send(MPM_VISIBLEROWS), rows + 1);
    POINT pt = CaretPoint();
    ASSERT_NE(pt.x, -1) << "no caret";
    const RECT client = Capture::Client(edit_);
    EXPECT_FALSE(PtInRect(&client, pt)) << pt.x << "," << pt.y;
    SetState(std::wstring(size_t((1LL << 30) / lh * 4), L'x') + L"Z");
    SetCaret(edit_, 0, INT_MAX, true);
    ASSERT_EQ(Ask(MPM_FIRSTVISIBLE), 0);
    pt = CaretPoint();
    ASSERT_GT(pt.y, 0);
    // The row of the caret holds only "Z": ink in its first cell, none after.
    Capture cap(edit_);
    const COLORREF back = cap.At(19, pt.y + int(lh) / 2);
    int first = 0, second = 0;
    for (int y = pt.y; y < pt.y + Send(MPM_FONTHEIGHT); ++y) {
        for (int x = 2; x < 2 + cw_ - 1; ++x) first += cap.At(x, y) != back;
        for (int x = 2 + cw_ + 1; x < std::min(2 + 2 * cw_, 19); ++x) second += cap.At(x, y) != back;
    }
    EXPECT_GT(first, 0) << "the Z before the caret at " << pt.x << "," << pt.y;
    EXPECT_EQ(second, 0) << "nothing after it";
    SetState(L"|");
    Send(MPM_TOGGLEWRAP);
    Send(MPM_LINESPACING, 0);
}
