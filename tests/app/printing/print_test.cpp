// The print frame: page bands and counting on their own, then a real frame
// over a real document, its preview read back from the metafile records
// (texts and where they stand), paging, zoom, line numbers and wrapping,
// the main frame disabled while it is open, no printer (Print: 15108 and
// nothing left open; Print Preview on the locale's paper), and a document printed through the print command on the private
// print service, its pages rendered to images and looked at.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "DialogIds.h"
#include "CommandIds.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "PageLayout.h"
#include "PrintFrame.h"
#include "Printer.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

using printing::CPrintFrame;
using testing_support::Messages;

namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::string Show(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

// ---------------------------------------------------------------------------
// Page arithmetic

TEST(PageLayout, BandsAroundTheBody) {
    const printing::PageRects r = printing::ComputePageRects(2479, 3508, 40);
    EXPECT_TRUE(SameRect(r.page, {0, 0, 2479, 3508})) << Show(r.page);
    EXPECT_TRUE(SameRect(r.header, {0, 0, 2479, 60})) << Show(r.header);
    EXPECT_TRUE(SameRect(r.footer, {0, 3448, 2479, 3508})) << Show(r.footer);
    EXPECT_TRUE(SameRect(r.body, {0, 80, 2479, 3428})) << Show(r.body);
    // An odd height: the half is rounded down on both bands.
    const printing::PageRects odd = printing::ComputePageRects(1000, 1000, 41);
    EXPECT_EQ(odd.header.bottom, 82 - 20);
    EXPECT_EQ(odd.footer.top, 1000 - 82 + 20);
    EXPECT_EQ(odd.body.top, 82);
    EXPECT_EQ(odd.body.bottom, 1000 - 82);
    // A page smaller than its bands gives an empty body, not an inverted one.
    const printing::PageRects tiny = printing::ComputePageRects(100, 50, 40);
    EXPECT_GE(tiny.body.bottom, tiny.body.top);
}

TEST(PageLayout, RowsAndPages) {
    EXPECT_EQ(printing::RowsPerPage(100, 30), 3);  // a body of 100 holds three rows of 30
    EXPECT_EQ(printing::PageCount(7, 100, 30), 3);
    EXPECT_EQ(printing::PageCount(8, 100, 30), 3);
    // Rows filling the last page exactly get no page after it (it would
    // repeat the page before: page-down stops at the last row).
    EXPECT_EQ(printing::PageCount(9, 100, 30), 3);
    EXPECT_EQ(printing::PageCount(10, 100, 30), 4);
    EXPECT_EQ(printing::PageCount(0, 100, 30), 1);
    // A line taller than the body, or no line height: one row per page.
    EXPECT_EQ(printing::RowsPerPage(20, 30), 1);
    EXPECT_EQ(printing::PageCount(5, 100, 0), 5);
}

TEST(PageLayout, HeaderAndFooterTexts) {
    EXPECT_EQ(printing::FooterText(2, 5), L"(3/5)");
    EXPECT_EQ(printing::FooterText(0, 1), L"(1/1)");
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 3, t.wDay = 7, t.wHour = 9, t.wMinute = 5, t.wSecond = 3;
    EXPECT_EQ(printing::DateTimeText(t), L"2026/03/07 09:05:03");
    EXPECT_EQ(printing::FileNamePart(L"C:\\dir\\sub/notes.txt"), L"notes.txt");
    EXPECT_EQ(printing::FileNamePart(L"C:\\dir\\notes.txt"), L"notes.txt");
    EXPECT_EQ(printing::FileNamePart(L"plain"), L"plain");
    EXPECT_EQ(printing::FileNamePart(L""), L"");
}

TEST(PageLayout, ZoomStepsStopAtTheirEnds) {
    double z = 1.0;
    std::vector<double> up;
    for (int i = 0; i < 8; ++i) up.push_back(z = printing::ZoomIn(z));
    EXPECT_EQ(up.front(), 1.5);
    EXPECT_EQ(z, printing::kMaxZoom);
    for (int i = 0; i < 12; ++i) z = printing::ZoomOut(z);
    EXPECT_EQ(z, printing::kMinZoom);
}

// ---------------------------------------------------------------------------
// A real frame

struct TextRecord {
    std::wstring text;
    POINT at;  // the reference point as recorded
};

int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
    if (record->iType == EMR_EXTTEXTOUTW) {
        const auto* r = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars =
            reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(r) + r->emrtext.offString);
        reinterpret_cast<std::vector<TextRecord>*>(data)->push_back(
            {std::wstring(chars, r->emrtext.nChars), {r->emrtext.ptlReference.x, r->emrtext.ptlReference.y}});
    }
    return 1;
}

std::vector<TextRecord> Texts(HENHMETAFILE page) {
    std::vector<TextRecord> texts;
    if (page) EnumEnhMetaFile(nullptr, page, &CollectText, &texts, nullptr);
    return texts;
}

const TextRecord* Find(const std::vector<TextRecord>& texts, const std::wstring& text) {
    for (const TextRecord& t : texts)
        if (t.text == text) return &t;
    return nullptr;
}

// The words drawn on the row whose top is `y`, left to right, one space
// between them (the control draws a row word by word).
std::wstring RowText(const std::vector<TextRecord>& texts, LONG y, const TextRecord** first = nullptr) {
    std::vector<const TextRecord*> row;
    for (const TextRecord& t : texts)
        if (t.at.y == y && !t.text.empty()) row.push_back(&t);
    std::sort(row.begin(), row.end(),
              [](const TextRecord* a, const TextRecord* b) { return a->at.x < b->at.x; });
    std::wstring text;
    for (const TextRecord* t : row) text += (text.empty() ? L"" : L" ") + t->text;
    if (first) *first = row.empty() ? nullptr : row.front();
    return text;
}

bool LooksLikeDateTime(const std::wstring& s) {
    const std::wstring shape = L"9999/99/99 99:99:99";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (shape[i] == L'9' ? !iswdigit(s[i]) : s[i] != shape[i]) return false;
    return true;
}

void Pump() {
    MSG msg;
    for (int i = 0; i < 50; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(2);
    }
}

bool g_noPrinter(std::wstring*) { return false; }

class PrintFrameTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-print-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        frame_ = std::make_unique<shell::CMainFrame>();
        ASSERT_NE(frame_->Create(L"prog", edit_), nullptr);
        device_ = CreateCompatibleDC(nullptr);
    }
    void TearDown() override {
        if (HWND w = FindWindowW(L"MorrowpadPrintFrame", nullptr)) DestroyWindow(w);
        printing::SetDefaultPrinterLookup(nullptr);
        printing::SetPrintDialogHook(nullptr);
        frame_.reset();
        if (device_) DeleteDC(device_);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }

    // A document "doc.txt" of `lines` lines "line 1", "line 2", ...
    void OpenLines(int lines, const std::string& prefix = "line ") {
        std::string text;
        for (int i = 1; i <= lines; ++i) text += prefix + std::to_string(i) + "\r\n";
        text.resize(text.size() - 2);
        const std::wstring path = folder_ + L"doc.txt";
        ASSERT_TRUE(testing_support::WriteFileText(path, text));
        ASSERT_NE(frame_->OpenDocument(path), nullptr);
    }
    // A preview laid out for the memory device (no printer needed).
    CPrintFrame* OpenPreview() {
        HWND w = CPrintFrame::OpenOnDevice(frame_->Window(), frame_->ActivePane(), device_);
        return CPrintFrame::FromWindow(w);
    }
    int RowsPerPage(CPrintFrame* f) {
        const RECT& body = f->Rects().body;
        return printing::RowsPerPage(body.bottom - body.top,
                                     int(SendMessageW(f->HiddenControl(), MPM_LINEHEIGHT, 0, 0)));
    }
    int ZeroWidth(CPrintFrame* f) {
        HGDIOBJ old = SelectObject(device_, f->PrinterFont());
        SIZE s = {};
        GetTextExtentPoint32W(device_, L"0", 1, &s);
        SelectObject(device_, old);
        return s.cx;
    }
    std::wstring Status(CPrintFrame* f) {
        wchar_t text[128] = {};
        SendMessageW(f->StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void Command(CPrintFrame* f, UINT id) { SendMessageW(f->Window(), WM_COMMAND, id, 0); }
    bool NumbersOn(CPrintFrame* f) { return SendMessageW(f->HiddenControl(), MPM_VIEWPART, 0, -1) != 0; }
    // The hidden control starts with the control's own default; tests that
    // read rows want the numbers off.
    void NumbersOff(CPrintFrame* f) {
        if (NumbersOn(f)) Command(f, printing::ID_PREVIEW_NUMBERS);
    }

    static HMODULE language_;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
    HDC device_ = nullptr;
};
HMODULE PrintFrameTest::language_ = nullptr;

TEST_F(PrintFrameTest, PagesLaidOutFromTheDeviceAndTheFont) {
    OpenLines(20);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->HiddenControl(), nullptr);
    EXPECT_FALSE(IsWindowVisible(f->HiddenControl()));
    // The bands follow from the device's size and the printer font's height.
    HGDIOBJ old = SelectObject(device_, f->PrinterFont());
    TEXTMETRICW tm = {};
    GetTextMetricsW(device_, &tm);
    SelectObject(device_, old);
    const printing::PageRects expected = printing::ComputePageRects(
        GetDeviceCaps(device_, HORZRES), GetDeviceCaps(device_, VERTRES), tm.tmHeight);
    EXPECT_TRUE(SameRect(f->Rects().page, expected.page)) << Show(f->Rects().page);
    EXPECT_TRUE(SameRect(f->Rects().header, expected.header)) << Show(f->Rects().header);
    EXPECT_TRUE(SameRect(f->Rects().footer, expected.footer)) << Show(f->Rects().footer);
    EXPECT_TRUE(SameRect(f->Rects().body, expected.body)) << Show(f->Rects().body);
    // The hidden control shares the document and draws into the body.
    EXPECT_EQ(SendMessageW(f->HiddenControl(), MPM_GETLINECOUNT, 0, 0), 20);
    NumbersOff(f);
    const std::vector<TextRecord> texts = Texts(f->PreviewPage());
    const TextRecord* first = nullptr;
    EXPECT_EQ(RowText(texts, f->Rects().body.top, &first), L"line 1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->at.x, f->Rects().body.left);
    const int lh = int(SendMessageW(f->HiddenControl(), MPM_LINEHEIGHT, 0, 0));
    EXPECT_EQ(RowText(texts, f->Rects().body.top + lh), L"line 2");
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_EQ(f->PageCount(), (20 + RowsPerPage(f) - 1) / RowsPerPage(f));
}

TEST_F(PrintFrameTest, HeaderAndFooterOnEveryPage) {
    // Five pages: four full ones and two rows on the fifth.
    OpenLines(1);
    CPrintFrame* probe = OpenPreview();
    ASSERT_NE(probe, nullptr);
    const int rows = RowsPerPage(probe);
    DestroyWindow(probe->Window());
    ASSERT_GE(rows, 3);
    frame_->CloseAll(false);
    OpenLines(4 * rows + 2);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    NumbersOff(f);
    ASSERT_EQ(f->PageCount(), 5);
    EXPECT_EQ(f->HeaderFileName(), L"doc.txt");
    EXPECT_TRUE(LooksLikeDateTime(f->HeaderDateTime())) << testing::PrintToString(f->HeaderDateTime());
    const printing::PageRects r = f->Rects();
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        if (page) Command(f, printing::ID_PREVIEW_NEXT);
        ASSERT_EQ(f->CurrentPage(), page);
        const std::vector<TextRecord> texts = Texts(f->PreviewPage());
        // The first row of the page is the first line that page-down reached.
        const int lh = int(SendMessageW(f->HiddenControl(), MPM_LINEHEIGHT, 0, 0));
        EXPECT_EQ(RowText(texts, r.body.top), L"line " + std::to_wstring(page * rows + 1));
        const int last = std::min(page * rows + rows, 4 * rows + 2);
        EXPECT_EQ(RowText(texts, r.body.top + (last - page * rows - 1) * lh),
                  L"line " + std::to_wstring(last));
        EXPECT_EQ(RowText(texts, r.body.top - lh), L"");
        // Header: the file name at the left, the date and time at the right.
        const TextRecord* name = Find(texts, L"doc.txt");
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->at.x, r.header.left);
        EXPECT_GE(name->at.y, r.header.top);
        EXPECT_LT(name->at.y, r.header.bottom);
        const TextRecord* when = Find(texts, f->HeaderDateTime());
        ASSERT_NE(when, nullptr);
        EXPECT_GT(when->at.x, (r.header.left + r.header.right) / 2);
        // Footer: "(page/count)", centred.
        const std::wstring number = L"(" + std::to_wstring(page + 1) + L"/5)";
        const TextRecord* foot = Find(texts, number);
        ASSERT_NE(foot, nullptr);
        EXPECT_GE(foot->at.y, r.footer.top);
        EXPECT_LT(foot->at.y, r.footer.bottom);
        EXPECT_GT(foot->at.x, r.footer.left + (r.footer.right - r.footer.left) / 3);
        EXPECT_LT(foot->at.x, (r.footer.left + r.footer.right) / 2);
        EXPECT_EQ(Status(f), L"Page " + std::to_wstring(page + 1) + L" of 5");
    }
    // The third page reads "(3/5)".
    Command(f, printing::ID_PREVIEW_PREV);
    Command(f, printing::ID_PREVIEW_PREV);
    EXPECT_EQ(f->CurrentPage(), 2);
    EXPECT_NE(Find(Texts(f->PreviewPage()), L"(3/5)"), nullptr);
}

TEST_F(PrintFrameTest, ALastPageFilledExactlyIsTheLast) {
    OpenLines(1);
    CPrintFrame* probe = OpenPreview();
    ASSERT_NE(probe, nullptr);
    const int rows = RowsPerPage(probe);
    DestroyWindow(probe->Window());
    frame_->CloseAll(false);
    OpenLines(2 * rows);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    NumbersOff(f);
    ASSERT_EQ(f->PageCount(), 2);
    const printing::PageRects r = f->Rects();
    Command(f, printing::ID_PREVIEW_NEXT);
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), r.body.top), L"line " + std::to_wstring(rows + 1));
    Command(f, printing::ID_PREVIEW_NEXT);  // there is no third page
    EXPECT_EQ(f->CurrentPage(), 1);
    Command(f, printing::ID_PREVIEW_PREV);
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), r.body.top), L"line 1");
}

TEST_F(PrintFrameTest, PageSteppingStopsAtBothEnds) {
    OpenLines(1);
    CPrintFrame* probe = OpenPreview();
    ASSERT_NE(probe, nullptr);
    const int rows = RowsPerPage(probe);
    DestroyWindow(probe->Window());
    frame_->CloseAll(false);
    OpenLines(rows + 1);  // two pages
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    NumbersOff(f);
    ASSERT_EQ(f->PageCount(), 2);
    auto enabled = [&](UINT id) { return SendMessageW(f->ToolBar(), TB_ISBUTTONENABLED, id, 0) != 0; };
    EXPECT_FALSE(enabled(printing::ID_PREVIEW_PREV));
    EXPECT_TRUE(enabled(printing::ID_PREVIEW_NEXT));
    Command(f, printing::ID_PREVIEW_PREV);
    EXPECT_EQ(f->CurrentPage(), 0);
    Command(f, printing::ID_PREVIEW_NEXT);
    EXPECT_EQ(f->CurrentPage(), 1);
    HENHMETAFILE last = f->PreviewPage();
    Command(f, printing::ID_PREVIEW_NEXT);
    EXPECT_EQ(f->CurrentPage(), 1);
    EXPECT_EQ(f->PreviewPage(), last);  // an invalid page changes nothing
    EXPECT_FALSE(enabled(printing::ID_PREVIEW_NEXT));
    EXPECT_TRUE(enabled(printing::ID_PREVIEW_PREV));
    EXPECT_FALSE(f->ShowPage(2));
    EXPECT_FALSE(f->ShowPage(-1));
    EXPECT_EQ(f->CurrentPage(), 1);
    // Back and forth again lands on the same text.
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), f->Rects().body.top), L"line " + std::to_wstring(rows + 1));
    Command(f, printing::ID_PREVIEW_PREV);
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), f->Rects().body.top), L"line 1");
}

TEST_F(PrintFrameTest, ZoomScalesThePreviewPage) {
    OpenLines(3);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    MoveWindow(f->Window(), 0, 0, 800, 600, TRUE);
    NumbersOff(f);
    EXPECT_EQ(f->Zoom(), 1.0);
    // The page fits the pane at zoom 1.0.
    RECT pane;
    GetClientRect(f->PreviewWindow(), &pane);
    auto* preview =
        reinterpret_cast<printing::CPreviewPane*>(GetWindowLongPtrW(f->PreviewWindow(), GWLP_USERDATA));
    ASSERT_NE(preview, nullptr);
    const RECT fit = preview->PageRect();
    EXPECT_LE(fit.bottom - fit.top, pane.bottom);
    EXPECT_LE(fit.right - fit.left, pane.right);
    Command(f, printing::ID_PREVIEW_ZOOM_IN);
    EXPECT_EQ(f->Zoom(), 1.5);
    Command(f, printing::ID_PREVIEW_ZOOM_IN);
    EXPECT_EQ(f->Zoom(), 2.0);
    const RECT big = preview->PageRect();
    EXPECT_NEAR(double(big.right - big.left), 2.0 * (fit.right - fit.left), 2.0);
    for (int i = 0; i < 10; ++i) Command(f, printing::ID_PREVIEW_ZOOM_IN);
    EXPECT_EQ(f->Zoom(), printing::kMaxZoom);
    EXPECT_FALSE(SendMessageW(f->ToolBar(), TB_ISBUTTONENABLED, printing::ID_PREVIEW_ZOOM_IN, 0));
    for (int i = 0; i < 10; ++i) Command(f, printing::ID_PREVIEW_ZOOM_OUT);
    EXPECT_EQ(f->Zoom(), printing::kMinZoom);
    EXPECT_FALSE(SendMessageW(f->ToolBar(), TB_ISBUTTONENABLED, printing::ID_PREVIEW_ZOOM_OUT, 0));
    // Zooming keeps the page.
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), f->Rects().body.top), L"line 1");
}

TEST_F(PrintFrameTest, LineNumbersNarrowTheBodyAndReturnToPageOne) {
    OpenLines(1);
    CPrintFrame* probe = OpenPreview();
    ASSERT_NE(probe, nullptr);
    const int rows = RowsPerPage(probe);
    DestroyWindow(probe->Window());
    frame_->CloseAll(false);
    OpenLines(2 * rows);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    NumbersOff(f);
    EXPECT_FALSE(SendMessageW(f->ToolBar(), TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS, 0));
    Command(f, printing::ID_PREVIEW_NEXT);
    ASSERT_EQ(f->CurrentPage(), 1);
    Command(f, printing::ID_PREVIEW_NUMBERS);
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_TRUE(SendMessageW(f->ToolBar(), TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS, 0));
    const std::vector<TextRecord> texts = Texts(f->PreviewPage());
    // The number first, then the text.
    const TextRecord* number = nullptr;
    EXPECT_EQ(RowText(texts, f->Rects().body.top, &number), L"1 line 1");
    ASSERT_NE(number, nullptr);
    const TextRecord* word = Find(texts, L"line");
    ASSERT_NE(word, nullptr);
    // Fewer than 1,000 lines: three digits and two more widths of "0".
    const int w = ZeroWidth(f) * 5;
    EXPECT_EQ(word->at.x, f->Rects().body.left + w);
    // The number stands right-aligned (its reference point is its right end)
    // at the column's right less two widths of "0".
    EXPECT_EQ(number->at.x, f->Rects().body.left + w - 2 * ZeroWidth(f));
    // Off again: the text returns to the body's left edge.
    Command(f, printing::ID_PREVIEW_NUMBERS);
    EXPECT_FALSE(SendMessageW(f->ToolBar(), TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS, 0));
    const TextRecord* plain = nullptr;
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), f->Rects().body.top, &plain), L"line 1");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->at.x, f->Rects().body.left);
}

TEST_F(PrintFrameTest, WordWrapAddsTheRowsOfLongLines) {
    // Lines far wider than the page: one row each unwrapped, several wrapped.
    OpenLines(3, std::string(400, 'w') + " ");
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    const int rowsBefore = int(SendMessageW(f->HiddenControl(), MPM_VISIBLEROWS, 0, 0));
    EXPECT_EQ(rowsBefore, 3);
    Command(f, printing::ID_PREVIEW_WRAP);
    EXPECT_TRUE(SendMessageW(f->ToolBar(), TB_ISBUTTONCHECKED, printing::ID_PREVIEW_WRAP, 0));
    const int rowsAfter = int(SendMessageW(f->HiddenControl(), MPM_VISIBLEROWS, 0, 0));
    EXPECT_GT(rowsAfter, 3);
    EXPECT_EQ(f->PageCount(),
              printing::PageCount(rowsAfter, f->Rects().body.bottom - f->Rects().body.top,
                                  int(SendMessageW(f->HiddenControl(), MPM_LINEHEIGHT, 0, 0))));
    EXPECT_EQ(f->CurrentPage(), 0);
    // The main document's own control is not wrapped by this.
    EXPECT_EQ(SendMessageW(frame_->ActivePane(), MPM_GETWRAPMODE, 0, 0), 0);
}

TEST_F(PrintFrameTest, MainFrameDisabledWhileOpen) {
    OpenLines(3);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    const HWND window = f->Window();
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
    EXPECT_EQ(GetWindow(window, GW_OWNER), frame_->Window());
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZEBOX);
    // Tool bar resource 150: nine buttons in order.
    ASSERT_NE(f->ToolBar(), nullptr);
    const UINT order[] = {57607, 3000, 3001, 3005, 3006, 3002, 3003, 3004, 3007};
    ASSERT_EQ(SendMessageW(f->ToolBar(), TB_BUTTONCOUNT, 0, 0), 9);
    for (int i = 0; i < 9; ++i) {
        TBBUTTON b = {};
        SendMessageW(f->ToolBar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(UINT(b.idCommand), order[i]);
    }
    // No lexer: colour stays off and disabled.
    EXPECT_FALSE(SendMessageW(f->ToolBar(), TB_ISBUTTONENABLED, printing::ID_PREVIEW_COLOR, 0));
    Command(f, printing::ID_PREVIEW_COLOR);
    EXPECT_FALSE(f->ColorOn());
    Command(f, printing::ID_PREVIEW_CLOSE);
    Pump();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));
    // The document lives on in its own control.
    EXPECT_EQ(SendMessageW(frame_->ActivePane(), MPM_GETLINECOUNT, 0, 0), 3);
}

TEST_F(PrintFrameTest, WithoutAPrinterPreviewShowsTheLocalesPaperAndPrintSaysWhy) {
    OpenLines(200);
    std::wstring name;
    // The real lookup when the system has no printer (the run of the tests
    // with the print service out of reach says so); otherwise the lookup is
    // made to find none.
    const bool expectNone = GetEnvironmentVariableW(L"MORROWPAD_EXPECT_NO_PRINTER", nullptr, 0) != 0;
    const bool found = printing::DefaultPrinterName(&name);
    if (expectNone) {
        EXPECT_FALSE(found) << "a default printer although the print service is out of reach";
    }
    if (found) printing::SetDefaultPrinterLookup(&g_noPrinter);
    auto saysNoPrinter = [] {
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].text, L"There is no default printer.");
        EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONSTOP));
    };
    // Print: the message, and nothing is left open.
    Messages().clear();
    SendMessageW(frame_->Window(), WM_COMMAND, ID_FILE_PRINT, 0);
    saysNoPrinter();
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));

    // Preview: the pages on the locale's paper, at the screen's resolution.
    Messages().clear();
    SendMessageW(frame_->Window(), WM_COMMAND, ID_FILE_PRINT_PREVIEW, 0);
    EXPECT_EQ(Messages().size(), 0u);
    CPrintFrame* f = CPrintFrame::FromWindow(FindWindowW(L"MorrowpadPrintFrame", nullptr));
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->OnPaperOnly());
    HDC screen = GetDC(nullptr);
    const printing::PageGeometry paper =
        printing::PaperGeometry(printing::LocalePaper(), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    EXPECT_TRUE(SameRect(f->Rects().page, {0, 0, paper.width, paper.height})) << Show(f->Rects().page);
    EXPECT_GT(f->PageCount(), 1);
    ASSERT_NE(f->PreviewPage(), nullptr);
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(f->PreviewPage(), sizeof header, &header);
    // The metafile's frame is the paper less its margins, in 0.01 mm.
    const printing::Paper sheet = printing::LocalePaper();
    EXPECT_NEAR(header.rclFrame.right - header.rclFrame.left, sheet.width - 2 * 635, 30);
    EXPECT_NEAR(header.rclFrame.bottom - header.rclFrame.top, sheet.height - 2 * 635, 30);
    const std::vector<TextRecord> texts = Texts(f->PreviewPage());
    EXPECT_NE(Find(texts, L"doc.txt"), nullptr);
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
    // Its Print says what is missing and leaves the preview open.
    Messages().clear();
    Command(f, printing::ID_PREVIEW_PRINT);
    saysNoPrinter();
    EXPECT_TRUE(IsWindow(f->Window()));
    Command(f, printing::ID_PREVIEW_CLOSE);
    Pump();
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));
    // The commands are offered (no longer held back as features to come).
    EXPECT_TRUE(frame_->CommandStates().Find(ID_FILE_PRINT) == nullptr ||
                frame_->CommandStates().Find(ID_FILE_PRINT)->enabled);
}

TEST(PageLayout, LocalePaperLessTheUnprintableEdges) {
    struct Case {
        int localeValue, width, height;  // 0.01 mm
    } cases[] = {{1, 21590, 27940}, {9, 21000, 29700}, {5, 21590, 35560}, {8, 29700, 42000}, {0, 21000, 29700}};
    for (const Case& c : cases) {
        const printing::Paper p = printing::PaperOfLocale(c.localeValue);
        EXPECT_EQ(p.width, c.width) << c.localeValue;
        EXPECT_EQ(p.height, c.height) << c.localeValue;
    }
    // A4 at 96 dpi: 210 mm less two quarter inches is 746 pixels across.
    const printing::PageGeometry g = printing::PaperGeometry(printing::PaperOfLocale(9), 96);
    EXPECT_EQ(g.width, 746);
    EXPECT_EQ(g.height, 1075);
    EXPECT_EQ(g.dpiX, 96);
}

// ---------------------------------------------------------------------------
// The job loops with a job of the test's own

struct CountingJob : printing::IPageJob {
    int valid = 3;    // pages 0..valid-1 exist
    int failAt = -1;  // DrawPage fails on this page
    int begun = 0, ended = 0, before = 0, drawn = 0, after = 0;
    void BeginJob() override { ++begun; }
    void EndJob() override { ++ended; }
    bool BeforePage(int, HDC) override { return ++before, true; }
    bool DrawPage(int page, HDC dc) override {
        ++drawn;
        Rectangle(dc, 10, 10, 100, 100);
        return page != failAt;
    }
    void AfterPage(int, HDC) override { ++after; }
    DEVMODEW* PageDevMode(int) override { return nullptr; }
    bool IsValidPage(int page) override { return page >= 0 && page < valid; }
};

TEST(PrintJob, PageIntoMetafileOfTheDevicesSize) {
    HDC device = CreateCompatibleDC(nullptr);
    CountingJob job;
    EXPECT_EQ(printing::RenderPage(job, device, 3), nullptr);  // not a valid page
    EXPECT_EQ(printing::RenderPage(job, nullptr, 0), nullptr);
    EXPECT_EQ(job.before, 0);
    HENHMETAFILE page = printing::RenderPage(job, device, 1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(job.before, 1);
    EXPECT_EQ(job.drawn, 1);
    EXPECT_EQ(job.after, 1);
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(page, sizeof header, &header);
    EXPECT_EQ(header.szlDevice.cx, GetDeviceCaps(device, HORZRES));
    EXPECT_EQ(header.szlDevice.cy, GetDeviceCaps(device, VERTRES));
    DeleteEnhMetaFile(page);
    DeleteDC(device);
}

class PrintJobOnPrinter : public ::testing::Test {
   protected:
    void SetUp() override {
        if (!printer_.OpenDefault()) GTEST_SKIP() << "no printer: the system offers no default printer";
        dc_ = printer_.CreateDc();
        ASSERT_NE(dc_, nullptr);
        folder_ = testing_support::MakeTempFolder(L"mp-job-");
    }
    void TearDown() override {
        if (dc_) DeleteDC(dc_);
    }
    printing::CPrinter printer_;
    HDC dc_ = nullptr;
    std::wstring folder_;
};

TEST_F(PrintJobOnPrinter, StopsAtTheFirstPageThatIsNotValid) {
    CountingJob job;
    const std::wstring out = folder_ + L"all.ps";
    EXPECT_TRUE(printing::RunPrintJob(job, dc_, L"all", out.c_str(), 0, 1000));
    EXPECT_EQ(job.begun, 1);
    EXPECT_EQ(job.ended, 1);
    EXPECT_EQ(job.drawn, 3);
    EXPECT_EQ(job.after, 3);
    EXPECT_NE(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PrintJobOnPrinter, AFailedPageAbortsTheDocument) {
    CountingJob job;
    job.failAt = 1;
    const std::wstring out = folder_ + L"failed.ps";
    EXPECT_FALSE(printing::RunPrintJob(job, dc_, L"failed", out.c_str(), 0, 1000));
    EXPECT_EQ(job.drawn, 2);  // nothing after the failed page
    EXPECT_EQ(job.after, 2);  // but the failed page's state is restored
    EXPECT_EQ(job.ended, 1);
    // The printer prints again at once (on a new device context: under Wine
    // one whose document was aborted starts no other, so the frame makes a
    // device context per job).
    CountingJob next;
    const std::wstring again = folder_ + L"again.ps";
    HDC fresh = printer_.CreateDc();
    EXPECT_TRUE(printing::RunPrintJob(next, fresh, L"again", again.c_str(), 0, 1000));
    EXPECT_EQ(next.drawn, 3);
    DeleteDC(fresh);
}

printing::PrintChoice::Action g_answer = printing::PrintChoice::kCancel;
bool AnswerWith(HWND, const printing::CPrinter&, printing::PrintChoice* choice) {
    choice->action = g_answer;
    return g_answer != printing::PrintChoice::kCancel;
}

TEST_F(PrintFrameTest, CancelledDialogChangesNothingAndApplyReturnsToPageOne) {
    std::wstring printer;
    if (!printing::DefaultPrinterName(&printer))
        GTEST_SKIP() << "no printer: the system offers no default printer";
    OpenLines(400);
    CPrintFrame* f = CPrintFrame::FromWindow(CPrintFrame::Open(frame_->Window(), frame_->ActivePane(), true));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Printer().Name(), printer);
    ASSERT_GE(f->PageCount(), 2);
    Command(f, printing::ID_PREVIEW_NEXT);
    ASSERT_EQ(f->CurrentPage(), 1);
    printing::SetPrintDialogHook(&AnswerWith);
    g_answer = printing::PrintChoice::kCancel;
    HENHMETAFILE shown = f->PreviewPage();
    Command(f, printing::ID_PREVIEW_PRINT);
    EXPECT_EQ(f->CurrentPage(), 1);
    EXPECT_EQ(f->PreviewPage(), shown);
    EXPECT_TRUE(Messages().empty());
    // Apply: the printer's settings taken, the preview back on its first page.
    g_answer = printing::PrintChoice::kApply;
    Command(f, printing::ID_PREVIEW_PRINT);
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_TRUE(IsWindow(f->Window()));
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
}

// ---------------------------------------------------------------------------
// Printed pages: the print command on the private print service's printer,
// its PostScript output rendered to images by the system's Ghostscript.

struct PrintedJob {
    std::wstring output;  // where the driver writes the job
    int pages = 0;
    printing::PageRects rects = {};
    int dpi = 0;
    int dialogs = 0;
};
PrintedJob g_job;

bool AnswerPrint(HWND owner, const printing::CPrinter& printer, printing::PrintChoice* choice) {
    ++g_job.dialogs;
    if (CPrintFrame* f = CPrintFrame::FromWindow(owner)) {
        g_job.pages = f->PageCount();
        g_job.rects = f->Rects();
    }
    if (HDC dc = printer.CreateDc()) {
        g_job.dpi = GetDeviceCaps(dc, LOGPIXELSY);
        DeleteDC(dc);
    }
    choice->action = printing::PrintChoice::kPrint;
    choice->output = g_job.output;
    return true;
}

// A 24-bit page image read from a BMP file.
class PageImage {
   public:
    explicit PageImage(const std::wstring& path) {
        bitmap_ = static_cast<HBITMAP>(
            LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        if (bitmap_) GetObjectW(bitmap_, sizeof dib_, &dib_);
    }
    ~PageImage() {
        if (bitmap_) DeleteObject(bitmap_);
    }
    bool Ok() const { return bitmap_ && dib_.dsBm.bmBits && dib_.dsBm.bmBitsPixel == 24; }
    int Width() const { return dib_.dsBm.bmWidth; }
    int Height() const { return dib_.dsBm.bmHeight; }
    bool Dark(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width() || y >= Height()) return false;
        const int row = dib_.dsBmih.biHeight > 0 ? Height() - 1 - y : y;  // bottom-up unless negative
        const BYTE* p =
            static_cast<const BYTE*>(dib_.dsBm.bmBits) + size_t(row) * dib_.dsBm.bmWidthBytes + x * 3;
        return p[0] + p[1] + p[2] < 3 * 128;
    }
    int DarkIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += Dark(x, y);
        return n;
    }
    // A row within `y0`..`y1` dark along at least 90 % of the inner width.
    bool RuleNear(int y0, int y1) const {
        for (int y = y0; y <= y1; ++y)
            if (DarkIn(Width() / 20, y, Width() - Width() / 20, y + 1) >= (Width() * 9 / 10) * 9 / 10)
                return true;
        return false;
    }

   private:
    HBITMAP bitmap_ = nullptr;
    DIBSECTION dib_ = {};
};

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a shell command line of the host system and waits for it (a Unix
// program started from here is not waited for by handle: it marks its end).
bool RunHostShell(const std::wstring& command, const std::wstring& unixFolder, const std::wstring& winFolder,
                  DWORD timeoutMs) {
    std::wstring line = L"Z:\\bin\\sh -c \"" + command + L"; touch " + unixFolder + L"/done\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (FileExists(winFolder + L"\\done")) return true;
        Sleep(100);
    }
    return false;
}

// A job that cannot be written says so; the program goes on.
TEST_F(PrintFrameTest, AFailedPrintJobIsReported) {
    std::wstring printer;
    if (!printing::DefaultPrinterName(&printer))
        GTEST_SKIP() << "no printer: the system offers no default printer (scripts/test.sh starts a private "
                        "print service with scripts/print-service.sh)";
    g_job = PrintedJob();
    g_job.output = L"Z:\\no such folder here\\deeper\\job.ps";  // nothing can be written there
    printing::SetPrintDialogHook(&AnswerPrint);
    OpenLines(5);
    Messages().clear();
    SendMessageW(frame_->Window(), WM_COMMAND, ID_FILE_PRINT, 0);
    printing::SetPrintDialogHook(nullptr);
    EXPECT_EQ(g_job.dialogs, 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, shell::LanguageString(IDS_PRINT_FAILED));
    Messages().clear();
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));
}

TEST_F(PrintFrameTest, PrintedPagesShowHeaderRuleTextAndFooter) {
    std::wstring printer;
    if (!printing::DefaultPrinterName(&printer))
        GTEST_SKIP()
            << "no printer: the system offers no default printer (scripts/test.sh starts a private print "
               "service with scripts/print-service.sh; it needs cups and printer-driver-cups-pdf)";
    if (!FileExists(L"Z:\\usr\\bin\\gs") || !FileExists(L"Z:\\bin\\sh"))
        GTEST_SKIP() << "no /usr/bin/gs to render the printed pages (package ghostscript)";
    // A folder both sides can name.
    const std::wstring unixFolder =
        L"/tmp/mp-printed-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    std::wstring winFolder = L"Z:" + unixFolder;
    for (wchar_t& c : winFolder)
        if (c == L'/') c = L'\\';
    ASSERT_TRUE(CreateDirectoryW(winFolder.c_str(), nullptr));
    g_job = PrintedJob();
    g_job.output = winFolder + L"\\job.ps";
    printing::SetPrintDialogHook(&AnswerPrint);

    // Three pages and a bit, every row marked at its left edge.
    OpenLines(1);
    CPrintFrame* probe =
        CPrintFrame::FromWindow(CPrintFrame::Open(frame_->Window(), frame_->ActivePane(), true));
    ASSERT_NE(probe, nullptr);
    const int rows = RowsPerPage(probe);
    DestroyWindow(probe->Window());
    frame_->CloseAll(false);
    OpenLines(2 * rows + rows / 2, "MMMM line ");

    Messages().clear();
    SendMessageW(frame_->Window(), WM_COMMAND, ID_FILE_PRINT, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(g_job.dialogs, 1);
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);  // printing leaves no frame behind
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));
    ASSERT_EQ(g_job.pages, 3);
    ASSERT_GT(g_job.dpi, 0);
    ASSERT_TRUE(FileExists(g_job.output));

    const int dpi = 100;
    ASSERT_TRUE(RunHostShell(L"gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bmp16m -r" + std::to_wstring(dpi) +
                                 L" -sOutputFile=" + unixFolder + L"/page%d.bmp " + unixFolder +
                                 L"/job.ps > " + unixFolder + L"/gs.log 2>&1",
                             unixFolder, winFolder, 60000))
        << "Ghostscript did not finish";
    int pages = 0;
    while (FileExists(winFolder + L"\\page" + std::to_wstring(pages + 1) + L".bmp")) ++pages;
    EXPECT_EQ(pages, g_job.pages);

    const double s = double(dpi) / g_job.dpi;
    const printing::PageRects& r = g_job.rects;
    auto Y = [&](LONG v) { return int(v * s + 0.5); };
    std::vector<int> footerInk;
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE(p);
        PageImage image(winFolder + L"\\page" + std::to_wstring(p) + L".bmp");
        ASSERT_TRUE(image.Ok());
        const int w = image.Width();
        EXPECT_NEAR(image.Height(), Y(r.page.bottom), 3);
        // The rule under the header and the rule over the footer.
        EXPECT_TRUE(image.RuleNear(Y(r.header.bottom) - 3, Y(r.header.bottom) + 3));
        EXPECT_TRUE(image.RuleNear(Y(r.footer.top) - 3, Y(r.footer.top) + 3));
        // Header: the file name at the left, the date and time at the right.
        const int headerTop = Y(r.header.top), headerBottom = Y(r.header.bottom) - 3;
        EXPECT_GT(image.DarkIn(0, headerTop, w / 4, headerBottom), 20);
        EXPECT_GT(image.DarkIn(w * 3 / 4, headerTop, w, headerBottom), 20);
        EXPECT_EQ(image.DarkIn(w * 2 / 5, headerTop, w * 3 / 5, headerBottom), 0);
        // Body: text at the left edge of every row of a full page.
        const int lh = (r.body.bottom - r.body.top) / rows;
        const int rowsHere = p < pages ? rows : (2 * rows + rows / 2) - 2 * rows;
        for (int row = 0; row < rowsHere; row += std::max(rowsHere / 5, 1)) {
            const int y0 = Y(r.body.top + row * lh), y1 = Y(r.body.top + (row + 1) * lh);
            EXPECT_GT(image.DarkIn(0, y0, w / 8, y1), 10) << "row " << row;
        }
        // Below the last row of the last page, nothing.
        const int end = Y(r.body.top + rowsHere * lh) + 2;
        EXPECT_EQ(image.DarkIn(0, end, w, Y(r.body.bottom)), 0);
        // Footer: "(p/n)" centred, nothing at the sides.
        const int footerTop = Y(r.footer.top) + 3, footerBottom = Y(r.footer.bottom);
        const int centre = image.DarkIn(w * 2 / 5, footerTop, w * 3 / 5, footerBottom);
        EXPECT_GT(centre, 20);
        EXPECT_EQ(image.DarkIn(0, footerTop, w / 3, footerBottom), 0);
        EXPECT_EQ(image.DarkIn(w * 2 / 3, footerTop, w, footerBottom), 0);
        footerInk.push_back(centre);
    }
    // "(1/3)", "(2/3)", "(3/3)" differ in ink.
    if (footerInk.size() == 3) {
        EXPECT_FALSE(footerInk[0] == footerInk[1] && footerInk[1] == footerInk[2]);
    }
    // The job and its images stay for a look when something failed.
    if (HasFailure()) {
        ADD_FAILURE() << "printed job and page images kept in " << testing::PrintToString(unixFolder);
        return;
    }
    for (const std::wstring& name : {std::wstring(L"job.ps"), std::wstring(L"gs.log"), std::wstring(L"done")})
        DeleteFileW((winFolder + L"\\" + name).c_str());
    for (int p = 1; p <= pages; ++p)
        DeleteFileW((winFolder + L"\\page" + std::to_wstring(p) + L".bmp").c_str());
    EXPECT_TRUE(RemoveDirectoryW(winFolder.c_str()));
}

}  // namespace
