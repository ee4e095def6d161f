// Word completion in a pane, driven as the message loop drives it: each key
// goes first through message 895 and, when not consumed, on to the pane; the
// typing pause is the pane's timer message. The stand-in document window
// passes the control's notifications to the pane as the real one does.
// Most cases are scripts: a document, the keys and actions, and what the
// pane shows after them. The word index is also checked alone over a
// scripted document.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "ControlText.h"
#include "PaneFixture.h"
#include "Pixels.h"
#include "WordIndex.h"

using namespace documents_testing;
using documents::CWordIndex;

namespace {

// Types into another pane and waits the pause out: the words it offers.
Words OfferIn(HWND pane, const std::wstring& typed) {
    SetFocus(pane);
    SendMessageW(pane, WM_COMMAND, ECMD_DOCEND, 0);
    for (wchar_t c : typed) SendMessageW(pane, WM_CHAR, c, 0);
    SendMessageW(pane, WM_TIMER, CAutoBox::kTypingTimer, 0);
    Words words = CTextView::FromWindow(pane)->AutoBox()->Candidates();
    SendMessageW(pane, WM_CHAR, 27, 0);
    return words;
}

class Completion : public CPaneTest {
   protected:
    void SetUp() override {
        CPaneTest::SetUp();
        steps_[L"VScroll"] = [this] { Send(WM_VSCROLL, SB_LINEDOWN); };
        steps_[L"HScroll"] = [this] { Send(WM_HSCROLL, SB_LINERIGHT); };
        steps_[L"Wheel"] = [this] { Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)); };
        steps_[L"Dbl"] = [this] { SendMessageW(Box()->ListWindow(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0); };
        steps_[L"Unfocus"] = [this] { SetFocus(parent_); };
        steps_[L"ListFocus"] = [this] { SetFocus(Box()->ListWindow()); };
        steps_[L"PaneFocus"] = [this] { SetFocus(pane_); };
        for (BYTE modifier : {BYTE(VK_CONTROL), BYTE(VK_SHIFT)})
            steps_[modifier == VK_SHIFT ? L"ShiftDown" : L"CtrlDown"] = [this, modifier] {
                BYTE keys[256] = {};
                GetKeyboardState(keys);
                keys[modifier] = 0x80;
                SetKeyboardState(keys);
                Press(VK_DOWN);
                keys[modifier] = 0;
                SetKeyboardState(keys);
            };
    }
    void Document(const std::wstring& text, Position caret = {1, 0}) {
        Insert(text);
        SetCaret(pane_, caret.line, caret.column);
    }
};

// Scripts: the document with the caret as "|", the keys and actions, and
// what the pane shows after them (Shows).
const struct {
    const wchar_t* document;
    const wchar_t* script;
    const wchar_t* shows;
} kScripts[] = {
    // Nothing before three units, after a delimiter, inside a word, where
    // nothing begins so, in a pane without the focus or a read-only document.
    {L"control contents\n|", L"co{Pause}", L"co|"},
    {L"control contents\n|", L"con {Pause}", L"con |"},
    {L"control contents\n|", L"x tro{Pause}", L"x tro|"},
    {L"control contents\n|", L"xyz{Pause}", L"xyz|"},
    {L"constant control\n|", L"con{Unfocus}{Pause}", L"con|"},
    {L"constant control\n|", L"con{ReadOnly}{Pause}", L"con|"},
    // Each word once, both cases of a word; typing narrows case-sensitively.
    {L"alpha alpha Alpha ALPHA alphabet alp\n|", L"alp{Pause}", L"alp| [*ALPHA Alpha alpha alphabet]"},
    {L"constant constexpr control Contents\n|", L"con{Pause}",
     L"con| [*constant constexpr Contents control]"},
    {L"constant constexpr control Contents\n|", L"con{Pause}s", L"cons| [*constant constexpr]"},
    // The only word left is taken at once, without the character typed.
    {L"Contents of the control\n|", L"con{Pause}t", L"control|"},
    // Enter, Tab and a double click take the selected word, in one undo step.
    {L"constant control\n|", L"con{Pause}{Down}", L"con| [constant *control]"},
    {L"constant control\n|", L"con{Pause}{Down}{Enter}", L"control|"},
    {L"constant control\n|", L"con{Pause}{Down}{Enter}{Undo}", L"con|"},
    {L"constant control\n|", L"con{Pause}{Tab}", L"constant|"},
    {L"constant control\n|", L"con{Pause}{Down}{Dbl}", L"control|"},
    // Up and Down wrap around.
    {L"conA conB conC\n|", L"con{Pause}{Up}", L"con| [conA conB *conC]"},
    {L"conA conB conC\n|", L"con{Pause}{Up}{Down}", L"con| [*conA conB conC]"},
    // Every way of hiding the list; the list taking the focus keeps it.
    {L"constant control\n|", L"con{Pause}{Esc}", L"con|"},
    {L"constant control\n|", L"con{Pause} ", L"con |"},
    {L"constant control\n|", L"con{Pause}.", L"con.|"},
    {L"constant control\n|", L"con{Pause}{Left}", L"co|n"},
    {L"constant control\n|", L"con{Pause}{Caret 0 3}", L"con|stant control"},  // the same column
    {L"constant control\n|", L"con{Pause}{VScroll}", L"con|"},
    {L"constant control\n|", L"con{Pause}{HScroll}", L"con|"},
    {L"constant control\n|", L"con{Pause}{Wheel}", L"con|"},
    {L"constant control\n|", L"con{Pause}{Off}", L"con|"},
    {L"constant control\n|", L"con{Pause}{Unfocus}", L"con|"},
    {L"constant control\n|", L"con{Pause}{ListFocus}{PaneFocus}", L"con| [*constant control]"},
    // With a modifier, Up and Down are the control's.
    {L"constant control\n|\n", L"con{Pause}{CtrlDown}", L"con|"},
    {L"constant control\n|\n", L"con{Pause}{ShiftDown}", L"]|"},
    // A document made read-only meanwhile: Enter goes on to the control.
    {L"constant control\n|", L"con{Pause}{ReadOnly}{Enter}", L"con|"},
    // A selection made before the pause stays.
    {L"constant control\n|", L"con{SelLeft}{Pause}", L"co|[n]"},
    {L"constant control\n|", L"cons{Select 1 0 1 4}{Pause}", L"[cons]|"},
    // Backspace closes the list; after a pause it opens again.
    {L"constant control\n|", L"cont{Pause}", L"cont| [*control]"},
    {L"constant control\n|", L"cont{Pause}{Back}", L"con|"},
    {L"constant control\n|", L"cont{Pause}{Back}{Pause}", L"con| [*constant control]"},
    // Switched off, also in a pane made later, and on again.
    {L"constant control\n|", L"{Off}con{Pause}", L"con|"},
    {L"constant control\n|", L"{Off}{NewPane}con{Pause}", L"con|"},
    {L"constant control\n|", L"{Off}{NewPane}{Off}const{Pause}", L"const| [*constant]"},
    // Words at the start and the end of the document (no break after the
    // last); typed at its very start, the word under the caret runs on.
    {L"control\n|\nconsole", L"con{Pause}", L"con| [*console control]"},
    {L"control\n|\nconsole", L"con{Pause}{Enter}", L"console|"},
    {L"|control\n\nconsole", L"con{Pause}", L"con|control [*concontrol console]"},
    // Beyond ASCII: capitals find both cases.
    {L"\u00dcber \u00fcberall \u00fcber\n|", L"\u00fcbe{Pause}",
     L"\u00fcbe| [*\u00fcber \u00dcber \u00fcberall]"},
    {L"\u03a3\u03bf\u03c6\u03af\u03b1 \u03c3\u03bf\u03c6\u03cc\u03c2\n|", L"\u03a3\u039f\u03a6{Pause}",
     L"\u03a3\u039f\u03a6| [*\u03a3\u03bf\u03c6\u03af\u03b1 \u03c3\u03bf\u03c6\u03cc\u03c2]"},
    {L"stra\u00dfe\n|", L"STR{Pause}{Enter}", L"stra\u00dfe|"},
    // A high surrogate alone never takes the word: the pair decides.
    {L"con\xD801\xDC00x con\xD801\xDC01y\n|", L"con{Pause}\xD801\xDC00", L"con\xD801\xDC00x|"},
    {L"cona\xD802\xDC00z\n|", L"cona{Pause}\xD802", L"cona| [*cona\xD802\xDC00z]"},
    {L"cona\xD802\xDC00z\n|", L"cona{Pause}\xD802\xDC00", L"cona\xD802\xDC00z|"},
};

TEST_F(Completion, Scripts) {
    for (const auto& c : kScripts) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.document) + L" / " + c.script));
        settings::WriteBool(settings::File::Setting, L"Edit", L"AutoComplete", true);
        document_ = c.document;
        NewPane();
        Run(c.script);
        EXPECT_EQ(Shows(), c.shows);
    }
}

TEST_F(Completion, ThePauseOpensAListOfAtMostFiveItemsUnderTheWord) {
    Document(L"Contents of the control\ncon\n", {2, 0});
    Run(L"con");
    EXPECT_FALSE(Shown());  // not before the pause
    // The real timer: the list opens after the pause, by itself.
    const DWORD start = GetTickCount();
    testing_support::PumpUntil([this] { return Shown(); });
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_EQ(Shows(), L"con| [*Contents control]");
    RECT r = {};
    GetWindowRect(Box()->ListWindow(), &r);
    EXPECT_EQ(r.bottom - r.top, 2 * SendMessageW(Box()->ListWindow(), LB_GETITEMHEIGHT, 0, 0));
    EXPECT_EQ(GetParent(Box()->ListWindow()), pane_);
    // Under the typed word, as wide as the longest word and three more
    // units; on the last row that shows, above the line.
    document_ = L"constant control|" + std::wstring(80, L'\n');
    NewPane();
    for (const Position at : {Position{0, 16}, Position{0, 0}}) {
        if (at.column == 0) {
            RECT client = {};
            GetClientRect(pane_, &client);
            SetCaret(pane_, int(client.bottom / SendMessageW(pane_, MPM_LINEHEIGHT, 0, 0)) - 1, 0);
        }
        ASSERT_TRUE(Offer(L" con"));
        POINT caret = {};
        GetCaretPos(&caret);
        GetWindowRect(Box()->ListWindow(), &r);
        MapWindowPoints(nullptr, pane_, reinterpret_cast<POINT*>(&r), 2);
        const LRESULT charWidth = SendMessageW(pane_, MPM_TEXTWIDTH, WPARAM(L"X"), 1);
        EXPECT_NEAR(r.left, caret.x - SendMessageW(pane_, MPM_TEXTWIDTH, WPARAM(L"con"), 3), 1);
        EXPECT_EQ(r.right - r.left, (8 + 3) * charWidth);
        EXPECT_EQ(at.column ? r.top : r.bottom,
                  at.column ? caret.y + SendMessageW(pane_, MPM_FONTHEIGHT, 0, 0) : caret.y);
        Run(L"{Esc}");
    }
}

// One item drawn into a bitmap as the list asks its owner to: the colour
// where no text reaches, and whether some pixel differs from it.
std::pair<COLORREF, bool> DrawItem(HWND pane, HWND list, bool selected) {
    const testing_support::Pixels drawn = testing_support::Drawn(300, 20, [&](HDC dc) {
        DRAWITEMSTRUCT item = {
            ODT_LISTBOX, CAutoBox::kListId, 0, ODA_DRAWENTIRE, UINT(selected ? ODS_SELECTED : 0), list,
            dc,          {0, 0, 300, 20},   0};
        SendMessageW(pane, WM_DRAWITEM, CAutoBox::kListId, LPARAM(&item));
    });
    std::pair<COLORREF, bool> out = {drawn.at(299, 0), false};
    for (int x = 0; x < 150 * 20; ++x) out.second |= drawn.at(x / 20, x % 20) != out.first;
    return out;
}

TEST_F(Completion, ItemsShowTheControlsColoursInverted) {
    static COLORREF table[COLOR_TABLE_ENTRIES] = {RGB(250, 240, 230), RGB(10, 20, 30)};  // background, text
    SendMessageW(pane_, MPM_COLORTABLE, WPARAM(table), 0);
    Document(L"constant control\n");
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(DrawItem(pane_, Box()->ListWindow(), false), std::make_pair(RGB(10, 20, 30), true));
    // Selected: 160/255 of the text colour and 95/255 of the background, truncated.
    EXPECT_EQ(DrawItem(pane_, Box()->ListWindow(), true), std::make_pair(RGB(99, 101, 104), true));
    // Someone else's item is not the pane's to draw.
    DRAWITEMSTRUCT other = {
        ODT_LISTBOX, CAutoBox::kListId + 1, 0, ODA_DRAWENTIRE, 0, nullptr, nullptr, {}, 0};
    EXPECT_EQ(SendMessageW(pane_, WM_DRAWITEM, CAutoBox::kListId + 1, LPARAM(&other)), 0);
    SendMessageW(pane_, MPM_COLORTABLE, 0, 0);
}

TEST_F(Completion, TheWordsFollowEdits) {
    Document(L"constant\n\n");
    ASSERT_TRUE(Offer(L"con"));
    // A word added far away and the old one removed.
    Run(L"{Esc}");
    SetCaret(pane_, 0, 0);
    Command(ECMD_SEL_END);
    Command(ECMD_BACKSPACE);
    Insert(L"contour\nconfetti");
    SetCaret(pane_, 2, 0);
    Command(ECMD_SEL_END);
    Command(ECMD_BACKSPACE);
    EXPECT_TRUE(Offer(L"con"));
    EXPECT_EQ(Shows(), L"con| [*confetti contour]");
}

// Typing narrows the list up to 64 units; one more closes it.
TEST_F(Completion, TheListClosesPastTheLongestPrefix) {
    const std::wstring a(70, L'a');
    Document(a + L"x " + a + L"y\n");
    ASSERT_TRUE(Offer(L"aaa"));
    Run(std::wstring(61, L'a'));
    EXPECT_TRUE(Shown());
    Run(L"a");
    EXPECT_EQ(Shows(), std::wstring(65, L'a') + L"|");
}

TEST_F(Completion, AListCutShortIsLookedUpAgainWhenNarrowed) {
    std::wstring text;
    wchar_t word[16];
    for (int i = 0; i < 300; ++i)
        swprintf(word, 16, L"con%c%03d ", i < 200 ? L'a' : L'b', i % 200), text += word;
    Document(text + L"\n");
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed().size(), CAutoBox::kMostWords);
    EXPECT_EQ(Listed().front(), L"*cona000");
    EXPECT_FALSE(Key(WM_CHAR, L'b'));
    EXPECT_EQ(Listed().size(), 100u);
    EXPECT_EQ(Listed().back(), L"conb099");
}

// Two panes of one document: each follows the other's edits, and a reload
// in another code page through either resets both.
TEST_F(Completion, EveryPaneOfADocumentFollowsItsEditsAndReloads) {
    const std::wstring path =
        File(L"words.txt", "con\xE9tal\r\n" + std::string(3 * CWordIndex::kBlockLines, '\n') + "con");
    ASSERT_EQ(SendMessageW(pane_, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1252, 0)), 1);
    const HWND second = MakeView()->Window();
    SendMessageW(second, MPM_SHAREDOC, SendMessageW(pane_, MPM_SHAREDOC, 0, 0), 0);
    EXPECT_EQ(OfferIn(pane_, L" con"), (Words{L"con\u00E9tal"}));
    EXPECT_EQ(OfferIn(second, L" con"), (Words{L"con\u00E9tal"}));
    Run(L" condor");
    EXPECT_EQ(OfferIn(second, L" con"), (Words{L"con\u00E9tal", L"condor"}));
    // The same lines in another code page, loaded through either pane.
    ASSERT_EQ(SendMessageW(pane_, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1251, 0)), 1);
    ASSERT_EQ(Line(pane_, 0), L"con\u0439tal");
    EXPECT_EQ(OfferIn(second, L" con"), (Words{L"con\u0439tal"}));
    EXPECT_EQ(OfferIn(pane_, L" con"), (Words{L"con\u0439tal"}));
    ASSERT_EQ(SendMessageW(second, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1252, 0)), 1);
    EXPECT_EQ(OfferIn(pane_, L" con"), (Words{L"con\u00E9tal"}));
    DestroyWindow(second);
}

// Keys typed at the end of a line of megabytes go through the index's
// bounded slices (their size is checked in WordIndex tests; the time a key
// costs is measured in completion_bench), and the line's words are found.
TEST_F(Completion, AVeryLongLineIsIndexedAndItsWordsFound) {
    std::wstring text;
    for (int i = 0; i < 400000; ++i) text += L"w" + std::to_wstring(i) + L" ";
    Document(text + L"conquest ", {0, int(text.size()) + 9});
    Run(L"abc {Pause}");
    // The whole line read once, in the background.
    for (int i = 0; i < 5000 && !Box()->IndexComplete(); ++i)
        SendMessageW(pane_, WM_TIMER, CAutoBox::kIndexTimer, 0);
    ASSERT_TRUE(Box()->IndexComplete());
    ASSERT_TRUE(Offer(L"conq"));
    EXPECT_EQ(Listed(), (Words{L"*conquest"}));
}

// The index alone, over a scripted document.
struct ScriptedSource : documents::IWordSource {
    std::vector<std::wstring> lines;
    int reads = 0;
    int lastUnits = 0;  // units delivered by the last read
    int LineCount() override { return int(lines.size()); }
    int ReadLines(int first, int maxLines, int maxUnits, std::vector<wchar_t>& buffer, int* units) override {
        ++reads;
        buffer.clear();
        int n = 0;
        for (; n < maxLines && first + n < int(lines.size()) && n < 100; ++n) {
            const std::wstring& line = lines[size_t(first + n)];
            if (buffer.size() + line.size() + 1 > size_t(maxUnits)) break;
            buffer.insert(buffer.end(), line.begin(), line.end());
            buffer.push_back(L'\n');
        }
        *units = lastUnits = int(buffer.size());
        return n;
    }
    int ReadPart(int line, int column, int maxUnits, std::vector<wchar_t>& buffer) override {
        ++reads;
        lastUnits = 0;
        if (line < 0 || line >= int(lines.size()) || column < 0 ||
            size_t(column) >= lines[size_t(line)].size())
            return 0;
        const std::wstring& text = lines[size_t(line)];
        const size_t n = std::min(text.size() - size_t(column), size_t(maxUnits));
        buffer.assign(text.begin() + column, text.begin() + std::ptrdiff_t(column + n));
        return lastUnits = int(n);
    }
    bool IsDelimiter(wchar_t c) override { return c != 0 && wcschr(L" \t.,;()", c) != nullptr; }
};

Words Collect(const CWordIndex& index, const wchar_t* prefix) {
    Words words;
    index.Collect(prefix, words);
    return words;
}

TEST(WordIndex, ReadsNearTheGivenLineFirstAndTheRestLater) {
    ScriptedSource doc;
    const int lines = 5 * CWordIndex::kBlockLines;
    for (int i = 0; i < lines; ++i)
        doc.lines.push_back(i == 10 ? L"eager" : i == lines - 1 ? L"early late" : L"x");
    CWordIndex index;
    index.Reset(lines);
    EXPECT_FALSE(index.Build(doc, lines - 1, std::chrono::milliseconds(0)));  // one block at least
    EXPECT_EQ(Collect(index, L"EA"), (Words{L"early"}));
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    EXPECT_EQ(Collect(index, L"ea"), (Words{L"early", L"eager"}));  // in the order met
    // An edit rereads the blocks it touched only.
    doc.lines.erase(doc.lines.begin() + 10);
    index.Edit(9, 10, 9);
    EXPECT_FALSE(index.Complete());
    EXPECT_EQ(index.Lines(), lines - 1);
    const int before = doc.reads;
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    EXPECT_LE(doc.reads - before, (CWordIndex::kBlockLines + 99) / 100);
    EXPECT_EQ(Collect(index, L"ea"), (Words{L"early"}));
}

// An edit whose last line is the first of a block rereads that block too,
// whether the edit starts there or in the block before.
TEST(WordIndex, AnEditEndingOnABlocksFirstLineRereadsThatBlock) {
    ScriptedSource doc;
    const int k = CWordIndex::kBlockLines;
    doc.lines.assign(3 * k, L"x");
    CWordIndex index;
    index.Reset(3 * k);
    ASSERT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    for (int start : {k, k - 1}) {
        doc.lines[size_t(k)] = L"fresh" + std::to_wstring(start);
        index.Edit(start, k, k);
        ASSERT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
        EXPECT_EQ(Collect(index, L"fre"), Words{doc.lines[size_t(k)]}) << start;
    }
}

TEST(WordIndex, LargeInsertionsAndEditsAtTheEnds) {
    ScriptedSource doc;
    CWordIndex index;
    index.Reset(1);
    // A paste of many lines into an empty document, then reading it.
    doc.lines.assign(3 * CWordIndex::kBlockLines + 5, L"lorem ipsum");
    doc.lines.back() = L"ipsissima";
    index.Edit(0, 0, int(doc.lines.size()) - 1);
    EXPECT_EQ(index.Lines(), int(doc.lines.size()));
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    EXPECT_EQ(Collect(index, L"ips"), (Words{L"ipsum", L"ipsissima"}));
    // Edits past the end or reversed change nothing they should not.
    index.Edit(-1, 0, 0);
    index.Edit(5, 3, 7);
    EXPECT_TRUE(index.Complete());
    const int n = int(doc.lines.size());
    index.Edit(n + 10, n + 10, n + 11);
    EXPECT_EQ(index.Lines(), n + 1);
    // Words of 128 units or more are never offered; 127 are.
    doc.lines = {std::wstring(127, L'a'), std::wstring(128, L'b'), L"aaa bbb"};
    index.Reset(3);
    index.Build(doc, 0, std::chrono::seconds(1));
    EXPECT_EQ(Collect(index, L"aaa"), (Words{std::wstring(127, L'a')}));
    EXPECT_EQ(Collect(index, L"bbb"), Words{});
}

TEST(WordIndex, ALongLineIsReadInBoundedSlices) {
    ScriptedSource doc;
    std::wstring line;
    for (int i = 0; i < 400000; ++i) line += L"w" + std::to_wstring(i) + L" ";
    line += std::wstring(200000, L'z') + L" tail";  // a word longer than a slice
    doc.lines = {L"alpha", line, L"omega"};
    CWordIndex index;
    index.Reset(3);
    int steps = 0;
    while (!index.Build(doc, 1, std::chrono::milliseconds(0))) {
        ASSERT_LE(doc.lastUnits, 2 * CWordIndex::kBlockUnits) << steps;
        ASSERT_LT(++steps, 1000);
        ASSERT_TRUE(index.Consistent());
    }
    EXPECT_GT(steps, 10);
    EXPECT_EQ(Collect(index, L"w39999").size(), 10u);
    EXPECT_EQ(Collect(index, L"ta"), (Words{L"tail"}));
    EXPECT_EQ(Collect(index, L"zzz"), Words{});
    EXPECT_EQ(Collect(index, L"alp"), (Words{L"alpha"}));
    // A key in the long line: the next step reads a bounded slice again.
    doc.lines[1].insert(4, L"q");
    index.Edit(1, 1, 1);
    index.Build(doc, 1, std::chrono::milliseconds(0));
    EXPECT_LE(doc.lastUnits, 2 * CWordIndex::kBlockUnits);
    EXPECT_TRUE(index.Build(doc, 1, std::chrono::seconds(10)));
    EXPECT_EQ(Collect(index, L"wq"), (Words{L"wq1"}));
    EXPECT_TRUE(index.Consistent());
}

// The words beginning with `prefix` ignoring case, by a plain scan of every
// line: the reference that the index must agree with, up to order.
Words Reference(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    ScriptedSource delimiters;
    const std::wstring key = documents::FoldWord(prefix);
    Words out;
    for (const std::wstring& line : lines)
        for (size_t i = 0, j = 0; i < line.size(); i = j + 1) {
            for (j = i; j < line.size() && !delimiters.IsDelimiter(line[j]);) ++j;
            const std::wstring word = line.substr(i, j - i);
            if (word.size() > key.size() && word.size() < 128 &&
                documents::FoldWord(word).compare(0, key.size(), key) == 0 &&
                std::find(out.begin(), out.end(), word) == out.end())
                out.push_back(word);
        }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(WordIndex, AgreesWithAPlainScanThroughRandomEdits) {
    ScriptedSource doc;
    unsigned seed = 7;
    auto next = [&](unsigned n) { return seed = seed * 1103515245u + 12345u, (seed >> 8) % n; };
    static const wchar_t* const kWords[] = {L"con",     L"Cone", L"cont",  L"control",
                                            L"CONTROL", L"x",    L"conic", L"b"};
    auto randomLine = [&] {
        std::wstring line;
        for (unsigned k = next(4); k > 0; --k)
            line += std::wstring(kWords[next(8)]) + (next(2) ? L" " : L".");
        return line;
    };
    for (int i = 0; i < 3 * CWordIndex::kBlockLines; ++i) doc.lines.push_back(next(50) ? L"x" : randomLine());
    CWordIndex index;
    index.Reset(doc.LineCount());
    for (int round = 0; round < 300; ++round) {
        // Replace lines start..start+removed with `added` new ones.
        const int count = doc.LineCount();
        const int start = int(next(unsigned(count)));
        const int removed = int(std::min<unsigned>(next(4) ? 0 : next(3000), unsigned(count - 1 - start)));
        const int added = next(3) ? 0 : int(next(2 * CWordIndex::kBlockLines + 300));
        doc.lines.erase(doc.lines.begin() + start, doc.lines.begin() + start + removed + 1);
        std::vector<std::wstring> fresh;
        for (int k = 0; k <= added; ++k) fresh.push_back(randomLine());
        doc.lines.insert(doc.lines.begin() + start, fresh.begin(), fresh.end());
        index.Edit(start, start + removed, start + added);
        ASSERT_TRUE(index.Consistent()) << round;
        ASSERT_EQ(index.Lines(), doc.LineCount()) << round;
        if (next(3)) continue;  // several edits before a lookup
        index.Build(doc, int(next(unsigned(doc.LineCount()))), std::chrono::seconds(10));
        ASSERT_TRUE(index.Consistent()) << round;
        Words words = Collect(index, L"CON");
        std::sort(words.begin(), words.end());
        ASSERT_EQ(words, Reference(doc.lines, L"con")) << round;
    }
}

TEST(WordIndex, WordsEditedAwayAreDropped) {
    ScriptedSource doc;
    CWordIndex index;
    doc.lines.assign(1, L"");
    index.Reset(1);
    const size_t bound = CWordIndex::kDeadWords + 2 * 20001;  // 160,001 were none dropped
    for (int round = 0; round < 8; ++round) {
        // The whole text replaced by 20,000 lines of words never seen before.
        const int old = doc.LineCount();
        doc.lines.clear();
        for (int i = 0; i < 20000; ++i)
            doc.lines.push_back(L"w" + std::to_wstring(round) + L"x" + std::to_wstring(i) + L" keep");
        index.Edit(0, old - 1, doc.LineCount() - 1);
        index.Build(doc, 0, std::chrono::seconds(10));
        ASSERT_TRUE(index.Consistent()) << round;
        EXPECT_LE(index.WordsKnown(), bound) << round;
    }
    Words expected;
    for (int i = 0; i < 10; ++i) expected.push_back(L"w7x1999" + std::to_wstring(i));
    EXPECT_EQ(Collect(index, L"W7X1999"), expected);
    EXPECT_EQ(Collect(index, L"w6x"), Words{});
    EXPECT_EQ(Collect(index, L"kee"), (Words{L"keep"}));
}

TEST(WordIndex, FoldsBeyondTheBasicPlane) {
    // Deseret capitals and small letters, as surrogate pairs.
    EXPECT_EQ(documents::FoldWord(L"\xD801\xDC00x\u00C4"), L"\xD801\xDC28x\u00E4");
    EXPECT_EQ(documents::FoldWord(L"\xD801"), L"\xD801");  // a lone half stays
    ScriptedSource doc;
    doc.lines = {L"\xD801\xDC00\xD801\xDC01z"};
    CWordIndex index;
    index.Reset(1);
    index.Build(doc, 0, std::chrono::seconds(1));
    EXPECT_EQ(Collect(index, L"\xD801\xDC28\xD801\xDC29"), (Words{L"\xD801\xDC00\xD801\xDC01z"}));
}

}  // namespace
