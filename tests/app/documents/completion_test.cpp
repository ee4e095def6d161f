// Word completion in a pane, driven as the message loop drives it: each key
// goes first through message 895 and, when not consumed, on to the pane; the
// typing pause is the pane's timer message. The stand-in document window
// passes the control's notifications to the pane as the real one does.
// The word index is also checked alone over a scripted document.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "AutoBox.h"
#include "CommandIds.h"
#include "EditProtocol.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "TestSupport.h"
#include "TextView.h"
#include "WordIndex.h"

using documents::CAutoBox;
using documents::CTextView;
using documents::CWordIndex;

namespace {

using Words = std::vector<std::wstring>;

LRESULT CALLBACK DocumentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) {
        CTextView::Reflect(reinterpret_cast<const NMHDR*>(lp));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class Completion : public ::testing::Test {
   public:
    static void SetUpTestSuite() {
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &DocumentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CompletionTestDocument";
        RegisterClassW(&wc);
    }

    void SetUp() override {
        ASSERT_NE(edit_, nullptr);
        folder_ = testing_support::MakeTempFolder(L"mp-complete-");
        settings::SetProgramFolder(folder_);
        MakePane();
    }
    void MakePane() {
        parent_ = CreateWindowExW(0, L"CompletionTestDocument", L"doc", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                  0, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        view_ = CTextView::Create(parent_, {edit_, parent_, nullptr, nullptr, 0});
        ASSERT_NE(view_, nullptr);
        pane_ = view_->Window();
        MoveWindow(pane_, 0, 0, 600, 400, TRUE);
        SetForegroundWindow(parent_);
        SetFocus(pane_);
    }
    void TearDown() override {
        if (parent_) DestroyWindow(parent_);
        settings::SetProgramFolder(L"");
    }

    // Text with line breaks at the caret as one edit.
    void Insert(const wchar_t* text) {
        TextArg arg = {text, -1};
        SendMessageW(pane_, MPM_INSERTTEXT, 0, LPARAM(&arg));
    }
    void Caret(Position p) { SendMessageW(pane_, MPM_SETCARET, WPARAM(&p), 0); }
    Position CaretPos() {
        Position p = {-1, -1};
        SendMessageW(pane_, MPM_GETCARETPOS, WPARAM(&p), 0);
        return p;
    }
    std::wstring Line(int n) {
        const LRESULT len = SendMessageW(pane_, MPM_GETLINE, WPARAM(n), 0);
        std::wstring text(size_t(len > 0 ? len : 0) + 1, L'\0');
        SendMessageW(pane_, MPM_GETLINE, WPARAM(n), LPARAM(text.data()));
        text.resize(size_t(len > 0 ? len : 0));
        return text;
    }
    // The document and the caret after `before` on line `line`.
    void Document(const wchar_t* text, Position caret) {
        Insert(text);
        Caret(caret);
    }
    // One key as the message loop hands it on: whether the list consumed it.
    bool Key(UINT message, WPARAM wp) {
        MSG msg = {pane_, message, wp, 0, 0, {0, 0}};
        if (SendMessageW(pane_, MPM_TRANSLATEACCEL, 0, LPARAM(&msg))) return true;
        SendMessageW(pane_, message, wp, 0);
        return false;
    }
    void Type(const wchar_t* text) {
        for (; *text; ++text) Key(WM_CHAR, *text);
    }
    bool Press(WPARAM vk) { return Key(WM_KEYDOWN, vk); }
    // The typing pause: the pane's timer, when the typing started it.
    void Pause() {
        if (Box() && Box()->TypingPending()) SendMessageW(pane_, WM_TIMER, CAutoBox::kTypingTimer, 0);
    }
    CAutoBox* Box() { return view_->AutoBox(); }
    bool Shown() { return Box() && Box()->Visible(); }
    // The list's items in its order, and the selected one.
    Words Listed() {
        Words words;
        if (!Box() || !Box()->ListWindow()) return words;
        const HWND list = Box()->ListWindow();
        const LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            wchar_t text[256] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
            words.push_back(text);
        }
        return words;
    }
    std::wstring Selected() {
        const HWND list = Box()->ListWindow();
        const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
        wchar_t text[256] = {};
        if (i >= 0) SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
        return text;
    }
    // Types `prefix` and waits the pause out: whether the list is shown.
    bool Offer(const wchar_t* prefix) {
        Type(prefix);
        Pause();
        return Shown();
    }

    static inline HMODULE edit_ = nullptr;
    std::wstring folder_;
    HWND parent_ = nullptr, pane_ = nullptr;
    CTextView* view_ = nullptr;
};

TEST_F(Completion, PauseAfterConOffersContentsAndControlButNotCon) {
    Document(L"Contents of the control\ncon\n", {2, 0});
    Type(L"con");
    EXPECT_FALSE(Shown());  // not before the pause
    // The real timer: the list opens after the pause, by itself.
    const DWORD start = GetTickCount();
    MSG msg;
    while (!Shown() && GetTickCount() - start < 3000) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    ASSERT_TRUE(Shown());
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_EQ(Listed(), (Words{L"Contents", L"control"}));
    EXPECT_EQ(Selected(), L"Contents");
    EXPECT_EQ(Box()->Prefix(), L"con");
    EXPECT_EQ(Line(2), L"con");
    // At most five items high, under the typed word.
    RECT r = {};
    GetWindowRect(Box()->ListWindow(), &r);
    const LRESULT item = SendMessageW(Box()->ListWindow(), LB_GETITEMHEIGHT, 0, 0);
    EXPECT_EQ(r.bottom - r.top, 2 * item);
    EXPECT_EQ(GetParent(Box()->ListWindow()), pane_);
}

// One item drawn into a bitmap as the list asks its owner to.
struct DrawnItem {
    COLORREF corner;  // where no text reaches
    bool text;        // some pixel differs from the fill
};
DrawnItem DrawItem(HWND pane, HWND list, bool selected) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 20);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item = {
        ODT_LISTBOX, CAutoBox::kListId, 0, ODA_DRAWENTIRE, UINT(selected ? ODS_SELECTED : 0), list,
        dc,          {0, 0, 300, 20},   0};
    SendMessageW(pane, WM_DRAWITEM, CAutoBox::kListId, LPARAM(&item));
    DrawnItem drawn = {GetPixel(dc, 299, 0), false};
    for (int x = 0; x < 150 && !drawn.text; ++x)
        for (int y = 0; y < 20; ++y)
            if (GetPixel(dc, x, y) != drawn.corner) drawn.text = true;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return drawn;
}

TEST_F(Completion, ItemsShowTheControlsColoursInverted) {
    static COLORREF table[COLOR_TABLE_ENTRIES] = {};
    table[0] = RGB(250, 240, 230);  // text background
    table[1] = RGB(10, 20, 30);     // text
    SendMessageW(pane_, MPM_COLORTABLE, WPARAM(table), 0);
    Document(L"constant control\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    const DrawnItem plain = DrawItem(pane_, Box()->ListWindow(), false);
    EXPECT_EQ(plain.corner, RGB(10, 20, 30));
    EXPECT_TRUE(plain.text);
    // Selected: 160/255 of the text colour and 95/255 of the background, truncated.
    const DrawnItem selected = DrawItem(pane_, Box()->ListWindow(), true);
    EXPECT_EQ(selected.corner, RGB(99, 101, 104));
    EXPECT_TRUE(selected.text);
    // Someone else's item is not the pane's to draw.
    DRAWITEMSTRUCT other = {
        ODT_LISTBOX, CAutoBox::kListId + 1, 0, ODA_DRAWENTIRE, 0, nullptr, nullptr, {}, 0};
    EXPECT_EQ(SendMessageW(pane_, WM_DRAWITEM, CAutoBox::kListId + 1, LPARAM(&other)), 0);
    SendMessageW(pane_, MPM_COLORTABLE, 0, 0);
}

TEST_F(Completion, TheListOpensUnderTheWordOrAboveItNearTheBottom) {
    std::wstring text = L"constant control\n";
    for (int i = 0; i < 80; ++i) text += L"\n";
    Document(text.c_str(), {0, 0});
    SendMessageW(pane_, WM_COMMAND, ECMD_END, 0);
    Type(L" con");
    Pause();
    ASSERT_TRUE(Shown());
    POINT caret = {};
    ASSERT_TRUE(GetCaretPos(&caret));
    RECT r = {};
    GetWindowRect(Box()->ListWindow(), &r);
    MapWindowPoints(nullptr, pane_, reinterpret_cast<POINT*>(&r), 2);
    const int fontHeight = int(SendMessageW(pane_, MPM_FONTHEIGHT, 0, 0));
    EXPECT_EQ(r.top, caret.y + fontHeight);
    const int wordX = caret.x - int(SendMessageW(pane_, MPM_TEXTWIDTH, WPARAM(L"con"), 3));
    EXPECT_NEAR(r.left, wordX, 1);
    const int charWidth = int(SendMessageW(pane_, MPM_TEXTWIDTH, WPARAM(L"X"), 1));
    EXPECT_EQ(r.right - r.left, (8 + 3) * charWidth);  // the longest word and three more
    Key(WM_CHAR, 27);
    // On the last row that shows, the list goes above the line.
    RECT client = {};
    GetClientRect(pane_, &client);
    const int rows = int(client.bottom / int(SendMessageW(pane_, MPM_LINEHEIGHT, 0, 0)));
    Caret({rows - 1, 0});
    Type(L"con");
    Pause();
    ASSERT_TRUE(Shown());
    ASSERT_TRUE(GetCaretPos(&caret));
    GetWindowRect(Box()->ListWindow(), &r);
    MapWindowPoints(nullptr, pane_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.bottom, caret.y);
}

TEST_F(Completion, OnlyAFocusedPaneOpensTheList) {
    Document(L"constant control\n", {1, 0});
    Type(L"con");
    SetFocus(parent_);
    Pause();
    EXPECT_FALSE(Shown());
}

TEST_F(Completion, NothingBeforeThreeUnitsOrAfterADelimiterOrInsideAWord) {
    Document(L"control contents\n", {1, 0});
    EXPECT_FALSE(Offer(L"co"));  // two units are not enough
    Type(L"n ");
    Pause();
    EXPECT_FALSE(Shown());         // the caret follows a delimiter
    EXPECT_FALSE(Offer(L"tro"));   // t, r, o inside control start no word
    EXPECT_FALSE(Offer(L" xyz"));  // nothing begins so
    EXPECT_EQ(Line(1), L"con tro xyz");
}

TEST_F(Completion, ListsEachWordOnceAndBothCasesOfAWord) {
    Document(L"alpha alpha Alpha ALPHA alphabet alp\n", {1, 0});
    ASSERT_TRUE(Offer(L"alp"));
    EXPECT_EQ(Box()->Candidates(), (Words{L"alpha", L"Alpha", L"ALPHA", L"alphabet"}));
    EXPECT_EQ(Listed().size(), 4u);
}

TEST_F(Completion, TypingNarrowsTheListCaseSensitively) {
    Document(L"constant constexpr control Contents\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed().size(), 4u);
    EXPECT_FALSE(Key(WM_CHAR, L's'));  // typed as usual
    EXPECT_TRUE(Shown());
    EXPECT_EQ(Listed(), (Words{L"constant", L"constexpr"}));
    EXPECT_EQ(Line(1), L"cons");
    EXPECT_EQ(Box()->Prefix(), L"cons");
}

TEST_F(Completion, TheOnlyWordLeftIsTakenAtOnceWithoutTheCharacter) {
    Document(L"Contents of the control\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    // "cont" leaves control only: Contents differs in case.
    EXPECT_TRUE(Key(WM_CHAR, L't'));
    EXPECT_FALSE(Shown());
    EXPECT_EQ(Line(1), L"control");
    EXPECT_EQ(CaretPos().column, 7);
}

TEST_F(Completion, EnterTakesTheSelectedWordInOneUndoStep) {
    Document(L"constant control\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_TRUE(Press(VK_DOWN));
    EXPECT_EQ(Selected(), L"control");
    EXPECT_TRUE(Press(VK_RETURN));
    EXPECT_FALSE(Shown());
    EXPECT_EQ(Line(1), L"control");
    EXPECT_EQ(SendMessageW(pane_, MPM_GETLINECOUNT, 0, 0), 2);
    Position caret = CaretPos();
    EXPECT_TRUE(caret.line == 1 && caret.column == 7);
    SendMessageW(pane_, WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(Line(1), L"con");
    SendMessageW(pane_, WM_COMMAND, ECMD_REDO, 0);
    EXPECT_EQ(Line(1), L"control");
}

TEST_F(Completion, TabAndADoubleClickTakeTheWordToo) {
    Document(L"constant control\n\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_TRUE(Press(VK_TAB));
    EXPECT_EQ(Line(1), L"constant");
    Caret({2, 0});
    ASSERT_TRUE(Offer(L"con"));
    const HWND list = Box()->ListWindow();
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(Shown());
    EXPECT_EQ(Line(2), L"control");
}

TEST_F(Completion, UpAndDownWrapAround) {
    Document(L"conA conB conC\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Selected(), L"conA");
    EXPECT_TRUE(Press(VK_UP));
    EXPECT_EQ(Selected(), L"conC");
    EXPECT_TRUE(Press(VK_DOWN));
    EXPECT_EQ(Selected(), L"conA");
    EXPECT_TRUE(Press(VK_DOWN));
    EXPECT_EQ(Selected(), L"conB");
    EXPECT_EQ(Line(1), L"con");  // the keys went to the list alone
}

TEST_F(Completion, EveryWayOfHidingTheList) {
    Document(L"constant control\n", {1, 0});
    struct Way {
        const char* name;
        void (*act)(Completion*);
    };
    const Way ways[] = {
        {"Esc", [](Completion* t) { t->Key(WM_CHAR, 27); }},
        {"space", [](Completion* t) { t->Key(WM_CHAR, L' '); }},
        {"full stop", [](Completion* t) { t->Key(WM_CHAR, L'.'); }},
        {"caret left", [](Completion* t) { SendMessageW(t->pane_, WM_COMMAND, ECMD_LEFT, 0); }},
        {"caret elsewhere",
         [](Completion* t) {
             t->Caret({0, 3});
         }},
        {"vertical scroll", [](Completion* t) { SendMessageW(t->pane_, WM_VSCROLL, SB_LINEDOWN, 0); }},
        {"horizontal scroll", [](Completion* t) { SendMessageW(t->pane_, WM_HSCROLL, SB_LINERIGHT, 0); }},
        {"wheel",
         [](Completion* t) { SendMessageW(t->pane_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0); }},
        {"switched off", [](Completion* t) { SendMessageW(t->pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        if (!view_->AutoComplete()) SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
        Caret({1, 0});
        SendMessageW(pane_, WM_COMMAND, ECMD_SEL_END, 0);
        Type(L"con");
        Pause();
        ASSERT_TRUE(Shown());
        way.act(this);
        EXPECT_FALSE(Shown());
    }
    // A key that only moves within the list keeps it.
    if (!view_->AutoComplete()) SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    Caret({1, 0});
    SendMessageW(pane_, WM_COMMAND, ECMD_SEL_END, 0);
    Type(L"con");
    Pause();
    Press(VK_DOWN);
    EXPECT_TRUE(Shown());
}

TEST_F(Completion, WordsAtTheStartAndTheEndOfTheDocument) {
    Document(L"control\n\nconsole", {1, 0});  // no line break after the last word
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed(), (Words{L"console", L"control"}));
    Press(VK_RETURN);
    EXPECT_EQ(Line(1), L"console");
    // Typed at the very start of the document.
    Caret({0, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Line(0), L"concontrol");
    // The word under the caret runs on: it is a candidate of its own.
    EXPECT_EQ(Listed(), (Words{L"concontrol", L"console"}));
}

TEST_F(Completion, WordsBeyondAscii) {
    Document(
        L"\u00dcber \u00fcberall \u00fcber \u03a3\u03bf\u03c6\u03af\u03b1 \u03c3\u03bf\u03c6\u03cc\u03c2 "
        L"stra\u00dfe\n",
        {1, 0});
    ASSERT_TRUE(Offer(L"\u00fcbe"));
    EXPECT_EQ(Box()->Candidates(), (Words{L"\u00dcber", L"\u00fcberall", L"\u00fcber"}));
    Key(WM_CHAR, 27);
    Type(L" ");
    ASSERT_TRUE(Offer(L"\u03a3\u039f\u03a6"));  // capitals find both
    EXPECT_EQ(Box()->Candidates().size(), 2u);
    Key(WM_CHAR, 27);
    Type(L" ");
    ASSERT_TRUE(Offer(L"STR"));
    EXPECT_EQ(Box()->Candidates(), (Words{L"stra\u00dfe"}));
    EXPECT_TRUE(Press(VK_RETURN));
    EXPECT_EQ(Line(1), L"\u00fcbe \u03a3\u039f\u03a6 stra\u00dfe");
}

TEST_F(Completion, TheSettingSwitchesItOff) {
    Document(L"constant control\n", {1, 0});
    EXPECT_TRUE(view_->AutoComplete());
    SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    EXPECT_FALSE(view_->AutoComplete());
    std::wstring value;
    settings::ReadString(settings::File::Setting, L"Edit", L"AutoComplete", value);
    EXPECT_EQ(value, L"N");
    EXPECT_FALSE(Offer(L"con"));
    // A pane made while the key says N starts switched off.
    DestroyWindow(parent_);
    MakePane();
    EXPECT_FALSE(view_->AutoComplete());
    Document(L"constant control\n", {1, 0});
    EXPECT_FALSE(Offer(L"con"));
    SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    settings::ReadString(settings::File::Setting, L"Edit", L"AutoComplete", value);
    EXPECT_EQ(value, L"Y");
    Type(L"s");
    EXPECT_TRUE(Offer(L"t"));  // "const"
    EXPECT_EQ(Listed(), (Words{L"constant"}));
}

TEST_F(Completion, TheWordsFollowEdits) {
    Document(L"constant\n\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    Key(WM_CHAR, 27);
    // A word added far away and the old one removed.
    Caret({0, 0});
    SendMessageW(pane_, WM_COMMAND, ECMD_SEL_END, 0);
    SendMessageW(pane_, WM_COMMAND, ECMD_BACKSPACE, 0);
    Insert(L"contour\nconfetti");
    Caret({2, 0});
    SendMessageW(pane_, WM_COMMAND, ECMD_SEL_END, 0);
    SendMessageW(pane_, WM_COMMAND, ECMD_BACKSPACE, 0);
    ASSERT_EQ(Line(2), L"");
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed(), (Words{L"confetti", L"contour"}));
    // A document loaded anew brings its own words.
    const std::wstring path = folder_ + L"other.txt";
    ASSERT_TRUE(testing_support::WriteFileText(path, "conundrum\n\n"));
    ASSERT_EQ(SendMessageW(pane_, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1252, LB_LF)), 1);
    Caret({1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed(), (Words{L"conundrum"}));
}

TEST_F(Completion, AListCutShortIsLookedUpAgainWhenNarrowed) {
    std::wstring text;
    wchar_t word[16];
    for (int i = 0; i < 200; ++i) swprintf(word, 16, L"cona%03d ", i), text += word;
    for (int i = 0; i < 100; ++i) swprintf(word, 16, L"conb%03d ", i), text += word;
    text += L"\n";
    Document(text.c_str(), {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    EXPECT_EQ(Listed().size(), CAutoBox::kMostWords);
    EXPECT_EQ(Listed().front(), L"cona000");
    EXPECT_FALSE(Key(WM_CHAR, L'b'));
    EXPECT_TRUE(Shown());
    const Words listed = Listed();
    EXPECT_EQ(listed.size(), 100u);
    EXPECT_EQ(listed.back(), L"conb099");
}

TEST_F(Completion, BackspaceReopensTheListAfterAPause) {
    Document(L"constant control\n", {1, 0});
    ASSERT_TRUE(Offer(L"cont"));
    EXPECT_EQ(Listed(), (Words{L"control"}));
    EXPECT_TRUE(Press(VK_BACK));  // not the list's: the control's accelerators
    EXPECT_EQ(Line(1), L"con");
    EXPECT_FALSE(Shown());
    Key(WM_CHAR, 8);
    Pause();
    EXPECT_TRUE(Shown());
    EXPECT_EQ(Listed(), (Words{L"constant", L"control"}));
}

TEST_F(Completion, BothPanesOfOneDocumentFollowItsEdits) {
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, nullptr, nullptr, 0});
    ASSERT_NE(other, nullptr);
    SendMessageW(other->Window(), MPM_SHAREDOC, SendMessageW(pane_, MPM_SHAREDOC, 0, 0), 0);
    Document(L"constant\n\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    Key(WM_CHAR, 27);
    // The other pane reads the words, then this one adds one.
    Position end = {1, 0};
    SetFocus(other->Window());
    SendMessageW(other->Window(), MPM_SETCARET, WPARAM(&end), 0);
    SendMessageW(other->Window(), WM_COMMAND, ECMD_SEL_END, 0);
    for (wchar_t c : std::wstring(L"con")) SendMessageW(other->Window(), WM_CHAR, c, 0);
    SendMessageW(other->Window(), WM_TIMER, CAutoBox::kTypingTimer, 0);
    ASSERT_TRUE(other->AutoBox()->Visible());
    SendMessageW(other->Window(), WM_CHAR, 27, 0);
    SetFocus(pane_);
    Caret({2, 0});
    Type(L" condor");
    SetFocus(other->Window());
    SendMessageW(other->Window(), WM_COMMAND, ECMD_SEL_END, 0);
    for (wchar_t c : std::wstring(L" con")) SendMessageW(other->Window(), WM_CHAR, c, 0);
    SendMessageW(other->Window(), WM_TIMER, CAutoBox::kTypingTimer, 0);
    EXPECT_EQ(other->AutoBox()->Candidates(), (Words{L"constant", L"condor"}));
    DestroyWindow(other->Window());
    SendMessageW(pane_, MPM_CLOSEDOC, 0, 0);  // the test took the document: it closes it
}

// One line of about 4 MB: a key costs about what it costs with completion
// off (the index rereads a bounded slice of the line, and the word before
// the caret is read alone), and the index still finds the line's words.
// Keys typed at the end of a line of megabytes go through the index's
// bounded slices (their size is checked in WordIndex tests; the time a key
// costs is measured in completion_bench), and the line's words are found.
TEST_F(Completion, AVeryLongLineIsIndexedAndItsWordsFound) {
    std::wstring text;
    for (int i = 0; i < 400000; ++i) text += L"w" + std::to_wstring(i) + L" ";
    text += L"conquest ";
    Insert(text.c_str());
    const Position end = {0, int(text.size())};
    Caret(end);
    ASSERT_EQ(CaretPos().column, end.column);
    // Each key as the message loop runs it: the key, then the index's timer
    // and the typing pause.
    auto keys = [&](const wchar_t* typed) {
        for (const wchar_t* c = typed; *c; ++c) {
            Key(WM_CHAR, *c);
            UpdateWindow(pane_);
            if (view_->AutoComplete()) {
                SendMessageW(pane_, WM_TIMER, CAutoBox::kIndexTimer, 0);
                Pause();
            }
        }
    };
    Type(L"abc ");
    Pause();
    // The whole line read once, in the background.
    for (int i = 0; i < 5000 && !Box()->IndexComplete(); ++i)
        SendMessageW(pane_, WM_TIMER, CAutoBox::kIndexTimer, 0);
    ASSERT_TRUE(Box()->IndexComplete());
    keys(L"abcdefgh");
    SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    ASSERT_FALSE(view_->AutoComplete());
    keys(L"abcdefgh");
    SendMessageW(pane_, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    Type(L" ");
    Offer(L"conq");
    for (int i = 0; i < 5000 && !Box()->IndexComplete(); ++i)
        SendMessageW(pane_, WM_TIMER, CAutoBox::kIndexTimer, 0);
    Key(WM_CHAR, 27);
    Type(L" ");
    ASSERT_TRUE(Offer(L"conq"));
    EXPECT_EQ(Listed(), (Words{L"conquest"}));
    Key(WM_CHAR, 27);
    Type(L" ");
    EXPECT_TRUE(Offer(L"w39999"));
    EXPECT_EQ(Box()->Candidates(), (Words{L"w399990", L"w399991", L"w399992", L"w399993", L"w399994",
                                          L"w399995", L"w399996", L"w399997", L"w399998", L"w399999"}));
}

TEST_F(Completion, ASelectionMadeBeforeThePauseStays) {
    Document(L"constant control\n", {1, 0});
    Type(L"con");
    SendMessageW(pane_, WM_COMMAND, ECMD_SEL_LEFT, 0);  // Shift+Left
    ASSERT_NE(SendMessageW(pane_, MPM_GETSELKIND, 0, 0), 0);
    ASSERT_TRUE(Box()->TypingPending());
    Pause();
    EXPECT_FALSE(Shown());
    Position a = {}, b = {};
    ASSERT_EQ(SendMessageW(pane_, MPM_GETSELRANGE, WPARAM(&a), LPARAM(&b)), 1);
    EXPECT_EQ(std::make_pair(a.column, b.column), std::make_pair(2, 3));
    // A selection set by message, too.
    Caret({1, 3});
    Type(L"s");
    Position anchor = {1, 0}, caret = {1, 4};
    SendMessageW(pane_, MPM_SELECT, WPARAM(&anchor), LPARAM(&caret));
    Pause();
    EXPECT_FALSE(Shown());
    ASSERT_EQ(SendMessageW(pane_, MPM_GETSELRANGE, WPARAM(&a), LPARAM(&b)), 1);
    EXPECT_EQ(std::make_pair(a.column, b.column), std::make_pair(0, 4));
}

TEST_F(Completion, TheListHidesWhenThePaneLosesFocus) {
    Document(L"constant control\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    SetFocus(Box()->ListWindow());  // the list itself keeps it open
    EXPECT_TRUE(Shown());
    SetFocus(pane_);
    EXPECT_TRUE(Shown());
    SetFocus(parent_);
    EXPECT_FALSE(Shown());
}

TEST_F(Completion, AHighSurrogateAloneNeverTakesTheWord) {
    Document(L"con\xD801\xDC00x con\xD801\xDC01y\n\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    ASSERT_TRUE(Box()->IndexComplete());
    Type(L"\xD801");  // both words begin so: the pair decides
    Type(L"\xDC00");
    EXPECT_EQ(Line(1), L"con\xD801\xDC00x");
    EXPECT_FALSE(Shown());
    // One word left after the high half: still taken only with the pair.
    Type(L" ");
    Document(L"", {1, int(Line(1).size())});
    Insert(L" cona\xD802\xDC00z");
    Type(L" ");
    ASSERT_TRUE(Offer(L"cona"));
    Type(L"\xD802");
    const std::wstring typed = Line(1);
    EXPECT_EQ(std::count(typed.begin(), typed.end(), L'z'), 1);  // not taken: the word's own only
    Type(L"\xDC00");
    EXPECT_EQ(Line(1).substr(Line(1).size() - 7), L"cona\xD802\xDC00z");
}

TEST_F(Completion, NothingInAReadOnlyDocument) {
    Document(L"constant control\n", {1, 0});
    ASSERT_TRUE(Offer(L"con"));
    SendMessageW(pane_, MPM_READONLY, 1, 0);
    EXPECT_FALSE(Press(VK_RETURN));  // the key goes on as usual
    EXPECT_EQ(Line(1), L"con");
    SendMessageW(pane_, MPM_READONLY, 0, 0);
    Key(WM_CHAR, 27);
    Type(L" con");
    SendMessageW(pane_, MPM_READONLY, 1, 0);
    Pause();
    EXPECT_FALSE(Shown());
    SendMessageW(pane_, MPM_READONLY, 0, 0);
}

TEST_F(Completion, UpAndDownWithAModifierHideTheListAndGoOn) {
    Document(L"constant control\n\n\n\n", {1, 0});
    int line = 0;
    for (BYTE modifier : {BYTE(VK_CONTROL), BYTE(VK_SHIFT)}) {
        line++;
        Caret({line, int(Line(line).size())});
        Type(L" ");
        ASSERT_TRUE(Offer(L"con")) << int(modifier);
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[modifier] = 0x80;
        SetKeyboardState(keys);
        Press(VK_DOWN);
        keys[modifier] = 0;
        SetKeyboardState(keys);
        EXPECT_FALSE(Shown()) << int(modifier);
        if (modifier == VK_SHIFT) {  // the control selected down a line
            EXPECT_EQ(CaretPos().line, line + 1);
            EXPECT_NE(SendMessageW(pane_, MPM_GETSELKIND, 0, 0), 0);
        }
        EXPECT_EQ(Line(line), L" con");
    }
}

TEST_F(Completion, ReloadingInAnotherCodePageResetsEveryPane) {
    const std::wstring path = folder_ + L"\\words.txt";
    // The word far from where the panes type: in a block of its own.
    std::string bytes = "con\xE9tal\r\n";
    for (int i = 0; i < 3 * CWordIndex::kBlockLines; ++i) bytes += "\r\n";
    ASSERT_TRUE(testing_support::WriteFileText(path, bytes + "con"));
    ASSERT_EQ(SendMessageW(pane_, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1252, 0)), 1);
    CTextView* other = CTextView::Create(parent_, {edit_, parent_, nullptr, nullptr, 0});
    ASSERT_NE(other, nullptr);
    const HWND second = other->Window();
    SendMessageW(second, MPM_SHAREDOC, SendMessageW(pane_, MPM_SHAREDOC, 0, 0), 0);
    // Both panes read the words.
    auto offer = [&](HWND pane) {
        SetFocus(pane);
        SendMessageW(pane, WM_COMMAND, ECMD_DOCEND, 0);
        for (wchar_t c : std::wstring(L" con")) SendMessageW(pane, WM_CHAR, c, 0);
        SendMessageW(pane, WM_TIMER, CAutoBox::kTypingTimer, 0);
        Words words = CTextView::FromWindow(pane)->AutoBox()->Candidates();
        SendMessageW(pane, WM_CHAR, 27, 0);
        return words;
    };
    EXPECT_EQ(offer(pane_), (Words{L"con\u00E9tal"}));
    EXPECT_EQ(offer(second), (Words{L"con\u00E9tal"}));
    // The same lines in another code page, loaded through either pane.
    ASSERT_EQ(SendMessageW(pane_, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1251, 0)), 1);
    ASSERT_EQ(Line(0), L"con\u0439tal");
    EXPECT_EQ(offer(second), (Words{L"con\u0439tal"}));
    EXPECT_EQ(offer(pane_), (Words{L"con\u0439tal"}));
    ASSERT_EQ(SendMessageW(second, MPM_LOADFILE, WPARAM(path.c_str()), MAKELPARAM(1252, 0)), 1);
    EXPECT_EQ(offer(pane_), (Words{L"con\u00E9tal"}));
    DestroyWindow(second);
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
        *units = int(buffer.size());
        lastUnits = *units;
        return n;
    }
    int ReadPart(int line, int column, int maxUnits, std::vector<wchar_t>& buffer) override {
        ++reads;
        lastUnits = 0;
        if (line < 0 || line >= int(lines.size()) || column < 0) return 0;
        const std::wstring& text = lines[size_t(line)];
        if (size_t(column) >= text.size()) return 0;
        const size_t n = std::min(text.size() - size_t(column), size_t(maxUnits));
        buffer.assign(text.begin() + column, text.begin() + std::ptrdiff_t(column + n));
        lastUnits = int(n);
        return int(n);
    }
    bool IsDelimiter(wchar_t c) override { return wcschr(L" \t.,;()", c) != nullptr && c != 0; }
};

TEST(WordIndex, ReadsNearTheGivenLineFirstAndTheRestLater) {
    ScriptedSource doc;
    const int lines = 5 * CWordIndex::kBlockLines;
    for (int i = 0; i < lines; ++i)
        doc.lines.push_back(i == 10 ? L"early" : i == lines - 1 ? L"eager late" : L"x");
    CWordIndex index;
    index.Reset(lines);
    EXPECT_FALSE(index.Build(doc, lines - 1, std::chrono::milliseconds(0)));  // one block at least
    Words words;
    index.Collect(L"EA", words);
    EXPECT_EQ(words, (Words{L"eager"}));
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    index.Collect(L"ea", words);
    EXPECT_EQ(words, (Words{L"eager", L"early"}));  // in the order met
    // An edit rereads the blocks it touched only.
    doc.lines.erase(doc.lines.begin() + 10);
    index.Edit(9, 10, 9);
    EXPECT_FALSE(index.Complete());
    EXPECT_EQ(index.Lines(), lines - 1);
    const int before = doc.reads;
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    EXPECT_LE(doc.reads - before, (CWordIndex::kBlockLines + 99) / 100);
    index.Collect(L"ea", words);
    EXPECT_EQ(words, (Words{L"eager"}));
}

TEST(WordIndex, LargeInsertionsAndEditsAtTheEnds) {
    ScriptedSource doc;
    doc.lines = {L""};
    CWordIndex index;
    index.Reset(1);
    // A paste of many lines into an empty document, then reading it.
    doc.lines.assign(3 * CWordIndex::kBlockLines + 5, L"lorem ipsum");
    doc.lines.back() = L"ipsissima";
    index.Edit(0, 0, int(doc.lines.size()) - 1);
    EXPECT_EQ(index.Lines(), int(doc.lines.size()));
    EXPECT_TRUE(index.Build(doc, 0, std::chrono::seconds(10)));
    Words words;
    index.Collect(L"ips", words);
    EXPECT_EQ(words, (Words{L"ipsum", L"ipsissima"}));
    // Edits past the end or reversed change nothing they should not.
    index.Edit(-1, 0, 0);
    index.Edit(5, 3, 7);
    EXPECT_TRUE(index.Complete());
    index.Edit(int(doc.lines.size()) + 10, int(doc.lines.size()) + 10, int(doc.lines.size()) + 11);
    EXPECT_EQ(index.Lines(), int(doc.lines.size()) + 1);
    // Words of 128 units or more are never offered; 127 are.
    doc.lines = {std::wstring(127, L'a'), std::wstring(128, L'b'), L"aaa bbb"};
    index.Reset(3);
    index.Build(doc, 0, std::chrono::seconds(1));
    index.Collect(L"aaa", words);
    EXPECT_EQ(words, (Words{std::wstring(127, L'a')}));
    index.Collect(L"bbb", words);
    EXPECT_TRUE(words.empty());
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
    Words words;
    index.Collect(L"w39999", words);
    EXPECT_EQ(words.size(), 10u);
    index.Collect(L"ta", words);
    EXPECT_EQ(words, (Words{L"tail"}));
    index.Collect(L"zzz", words);
    EXPECT_TRUE(words.empty());
    index.Collect(L"alp", words);
    EXPECT_EQ(words, (Words{L"alpha"}));
    // A key in the long line: the next step reads a bounded slice again.
    doc.lines[1].insert(4, L"q");
    index.Edit(1, 1, 1);
    index.Build(doc, 1, std::chrono::milliseconds(0));
    EXPECT_LE(doc.lastUnits, 2 * CWordIndex::kBlockUnits);
    EXPECT_TRUE(index.Build(doc, 1, std::chrono::seconds(10)));
    index.Collect(L"wq", words);
    EXPECT_EQ(words, (Words{L"wq1"}));
    EXPECT_TRUE(index.Consistent());
}

// The words beginning with `prefix` ignoring case, by a plain scan of every
// line: the reference that the index must agree with, up to order.
Words Reference(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    ScriptedSource delimiters;
    const std::wstring key = documents::FoldWord(prefix);
    Words out;
    for (const std::wstring& line : lines) {
        size_t i = 0;
        while (i < line.size()) {
            if (delimiters.IsDelimiter(line[i])) {
                ++i;
                continue;
            }
            size_t j = i;
            while (j < line.size() && !delimiters.IsDelimiter(line[j])) ++j;
            const std::wstring word = line.substr(i, j - i);
            if (word.size() > key.size() && word.size() < 128 &&
                documents::FoldWord(word).compare(0, key.size(), key) == 0 &&
                std::find(out.begin(), out.end(), word) == out.end())
                out.push_back(word);
            i = j;
        }
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
        Words words;
        index.Collect(L"CON", words);
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
    Words words;
    index.Collect(L"W7X1999", words);
    EXPECT_EQ(words, (Words{L"w7x19990", L"w7x19991", L"w7x19992", L"w7x19993", L"w7x19994", L"w7x19995",
                            L"w7x19996", L"w7x19997", L"w7x19998", L"w7x19999"}));
    index.Collect(L"w6x", words);
    EXPECT_TRUE(words.empty());
    index.Collect(L"kee", words);
    EXPECT_EQ(words, (Words{L"keep"}));
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
    Words words;
    index.Collect(L"\xD801\xDC28\xD801\xDC29", words);
    EXPECT_EQ(words, (Words{L"\xD801\xDC00\xD801\xDC01z"}));
}

}  // namespace
