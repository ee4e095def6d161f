// The print frame: page bands and counting on their own, then a real frame
// over a real document, its preview read back from the metafile records
// (texts and where they stand), paging, zoom, line numbers and wrapping,
// the main frame disabled while it is open, no printer (Print: 15108 and
// nothing left open; Print Preview on the locale's paper), and a document
// printed through the print command on the private print service, its
// pages rendered to images and looked at.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "ControlText.h"
#include "DialogIds.h"
#include "FrameFixture.h"
#include "PageLayout.h"
#include "PrintFrame.h"
#include "Printer.h"

using printing::CPrintFrame;
using testing_support::Messages;

// Rectangles compare and print as {left,top,right,bottom}.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static void PrintTo(const RECT& r, std::ostream* os) {
    *os << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
}

namespace {

// The four rectangles of a page: page, header, footer, body.
std::vector<RECT> Bands(const printing::PageRects& r) { return {r.page, r.header, r.footer, r.body}; }

const char kNoPrinter[] =
    "no printer: the system offers no default printer (scripts/test.sh starts a private print service with "
    "scripts/print-service.sh; it needs cups and printer-driver-cups-pdf)";

// ---------------------------------------------------------------------------
// Page arithmetic

TEST(PageLayout, BandsRowsAndPages) {
    EXPECT_EQ(Bands(printing::ComputePageRects(2479, 3508, 40)),
              (std::vector<RECT>{
                  {0, 0, 2479, 3508}, {0, 0, 2479, 60}, {0, 3448, 2479, 3508}, {0, 80, 2479, 3428}}));
    // An odd height: the half is rounded down on both bands.
    EXPECT_EQ(
        Bands(printing::ComputePageRects(1000, 1000, 41)),
        (std::vector<RECT>{{0, 0, 1000, 1000}, {0, 0, 1000, 62}, {0, 938, 1000, 1000}, {0, 82, 1000, 918}}));
    // A page smaller than its bands gives an empty body, not an inverted one.
    const printing::PageRects tiny = printing::ComputePageRects(100, 50, 40);
    EXPECT_GE(tiny.body.bottom, tiny.body.top);
    // A body of 100 holds three rows of 30; a line taller than the body, or
    // no line height: one row per page. Rows filling the last page exactly
    // get no page after it (page-down stops at the last row).
    EXPECT_EQ(std::vector<int>({printing::RowsPerPage(100, 30), printing::RowsPerPage(20, 30)}),
              std::vector<int>({3, 1}));
    const int rows[] = {7, 8, 9, 10, 0}, pages[] = {3, 3, 3, 4, 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(printing::PageCount(rows[i], 100, 30), pages[i]) << rows[i] << " rows";
    EXPECT_EQ(printing::PageCount(5, 100, 0), 5);
}

TEST(PageLayout, HeaderFooterAndPaper) {
    EXPECT_EQ(printing::FooterText(2, 5), L"(3/5)");
    EXPECT_EQ(printing::FooterText(0, 1), L"(1/1)");
    SYSTEMTIME t = {2026, 3, 0, 7, 9, 5, 3};
    EXPECT_EQ(printing::DateTimeText(t), L"2026/03/07 09:05:03");
    for (const wchar_t* path : {L"C:\\dir\\sub/notes.txt", L"C:\\dir\\notes.txt", L"notes.txt"})
        EXPECT_EQ(printing::FileNamePart(path), L"notes.txt");
    EXPECT_EQ(printing::FileNamePart(L""), L"");
    // The locale's paper in 0.01 mm, and A4 at 96 dpi less two quarter
    // inches: 746 pixels across.
    const int paper[][3] = {
        {1, 21590, 27940}, {9, 21000, 29700}, {5, 21590, 35560}, {8, 29700, 42000}, {0, 21000, 29700}};
    for (const auto& c : paper) {
        const printing::Paper p = printing::PaperOfLocale(c[0]);
        EXPECT_EQ(std::make_pair(p.width, p.height), std::make_pair(c[1], c[2])) << c[0];
    }
    const printing::PageGeometry g = printing::PaperGeometry(printing::PaperOfLocale(9), 96);
    EXPECT_EQ(std::vector<int>({g.width, g.height, g.dpiX}), std::vector<int>({746, 1075, 96}));
}

// ---------------------------------------------------------------------------
// A real frame

struct TextRecord {
    std::wstring text;
    POINT at;  // the reference point as recorded
};

std::vector<TextRecord> Texts(HENHMETAFILE page) {
    std::vector<TextRecord> texts;
    auto collect = [](HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) -> int {
        if (record->iType != EMR_EXTTEXTOUTW) return 1;
        const auto* r = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const auto* chars =
            reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(r) + r->emrtext.offString);
        reinterpret_cast<std::vector<TextRecord>*>(data)->push_back(
            {std::wstring(chars, r->emrtext.nChars), {r->emrtext.ptlReference.x, r->emrtext.ptlReference.y}});
        return 1;
    };
    if (page) EnumEnhMetaFile(nullptr, page, collect, &texts, nullptr);
    return texts;
}

const TextRecord* Find(const std::vector<TextRecord>& texts, const std::wstring& text) {
    for (const TextRecord& t : texts)
        if (t.text == text) return &t;
    return nullptr;
}

// Where a text stands in a band: "missing", "outside", "left edge", "right
// half", "left of the middle" (a centred text's reference point) or "left".
std::string Where(const TextRecord* t, const RECT& b) {
    if (!t) return "missing";
    if (t->at.y < b.top || t->at.y >= b.bottom) return "outside";
    if (t->at.x == b.left) return "left edge";
    if (t->at.x > (b.left + b.right) / 2) return "right half";
    return t->at.x > b.left + (b.right - b.left) / 3 ? "left of the middle" : "left";
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

std::wstring LineText(int n) { return L"line " + std::to_wstring(n); }

bool g_noPrinter(std::wstring*) { return false; }

class PrintFrameTest : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        ASSERT_NE(Create(), nullptr);
        device_ = CreateCompatibleDC(nullptr);
    }
    void TearDown() override {
        if (HWND w = FindWindowW(L"MorrowpadPrintFrame", nullptr)) DestroyWindow(w);
        printing::SetDefaultPrinterLookup(nullptr);
        printing::SetPrintDialogHook(nullptr);
        CFrameTest::TearDown();
        if (device_) DeleteDC(device_);
    }

    // A document "doc.txt" of `lines` lines "line 1", "line 2", ...
    void OpenLines(int lines, const std::string& prefix = "line ") {
        std::string text;
        for (int i = 1; i <= lines; ++i) text += (i > 1 ? "\r\n" : "") + prefix + std::to_string(i);
        ASSERT_NE(frame_->OpenDocument(File(L"doc.txt", text)), nullptr);
    }
    // A preview laid out for the memory device (no printer needed), line
    // numbers off (the hidden control starts with the control's default);
    // on the printer with `printer`.
    CPrintFrame* OpenPreview(bool printer = false) {
        if (printer)
            return CPrintFrame::FromWindow(CPrintFrame::Open(frame_->Window(), frame_->ActivePane(), true));
        CPrintFrame* f = CPrintFrame::FromWindow(
            CPrintFrame::OpenOnDevice(frame_->Window(), frame_->ActivePane(), device_));
        if (f && Send(f->HiddenControl(), MPM_VIEWPART, 0, -1)) Command(f, printing::ID_PREVIEW_NUMBERS);
        return f;
    }
    // Rows per page, from a preview of a one-line document closed again.
    int ProbeRows(bool printer = false) {
        OpenLines(1);
        CPrintFrame* probe = OpenPreview(printer);
        if (!probe) return 0;
        const int rows = printing::RowsPerPage(BodyHeight(probe), LineHeight(probe));
        DestroyWindow(probe->Window());
        frame_->CloseAll(false);
        return rows;
    }
    static LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
        return SendMessageW(w, msg, wp, lp);
    }
    static int LineHeight(CPrintFrame* f) { return int(Send(f->HiddenControl(), MPM_LINEHEIGHT)); }
    static int BodyHeight(CPrintFrame* f) { return f->Rects().body.bottom - f->Rects().body.top; }
    static void Command(CPrintFrame* f, UINT id) { Send(f->Window(), WM_COMMAND, id); }
    using CFrameTest::Command;
    static bool Button(CPrintFrame* f, UINT message, UINT id) { return Send(f->ToolBar(), message, id) != 0; }
    // Closed by its command: gone, and the main frame enabled again.
    void Close(CPrintFrame* f) {
        const HWND window = f->Window();
        Command(f, printing::ID_PREVIEW_CLOSE);
        EXPECT_TRUE(testing_support::PumpUntil([&] { return !IsWindow(window); }, 2000));
        EXPECT_TRUE(IsWindowEnabled(frame_->Window()));
    }

    HDC device_ = nullptr;
};

// Five pages, four full ones and two rows on the fifth: the bands, header
// and footer on each, stepping stopping at both ends, line numbers.
TEST_F(PrintFrameTest, HeaderFooterAndSteppingThroughEveryPage) {
    const int rows = ProbeRows();
    ASSERT_GE(rows, 3);
    OpenLines(4 * rows + 2);
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    // The bands follow from the device's size and the printer font's
    // height; the hidden control shares the document and draws the body.
    HGDIOBJ old = SelectObject(device_, f->PrinterFont());
    TEXTMETRICW tm = {};
    GetTextMetricsW(device_, &tm);
    SIZE zero = {};  // the width of "0"
    GetTextExtentPoint32W(device_, L"0", 1, &zero);
    SelectObject(device_, old);
    EXPECT_EQ(Bands(f->Rects()),
              Bands(printing::ComputePageRects(GetDeviceCaps(device_, HORZRES),
                                               GetDeviceCaps(device_, VERTRES), tm.tmHeight)));
    ASSERT_NE(f->HiddenControl(), nullptr);
    EXPECT_FALSE(IsWindowVisible(f->HiddenControl()));
    EXPECT_EQ(Send(f->HiddenControl(), MPM_GETLINECOUNT), 4 * rows + 2);
    ASSERT_EQ(f->PageCount(), 5);
    EXPECT_EQ(f->HeaderFileName(), L"doc.txt");
    EXPECT_TRUE(
        std::regex_match(f->HeaderDateTime(), std::wregex(L"\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d")))
        << testing::PrintToString(f->HeaderDateTime());
    // Which of Previous and Next are enabled.
    auto steps = [f] {
        return std::make_pair(Button(f, TB_ISBUTTONENABLED, printing::ID_PREVIEW_PREV),
                              Button(f, TB_ISBUTTONENABLED, printing::ID_PREVIEW_NEXT));
    };
    EXPECT_EQ(steps(), std::make_pair(false, true));
    Command(f, printing::ID_PREVIEW_PREV);
    const printing::PageRects r = f->Rects();
    const int lh = LineHeight(f);
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        if (page) Command(f, printing::ID_PREVIEW_NEXT);
        ASSERT_EQ(f->CurrentPage(), page);
        const std::vector<TextRecord> texts = Texts(f->PreviewPage());
        // The rows of the page are the lines that page-down reached.
        const int last = std::min(page * rows + rows, 4 * rows + 2);
        EXPECT_EQ(RowText(texts, r.body.top), LineText(page * rows + 1));
        EXPECT_EQ(RowText(texts, r.body.top + (last - page * rows - 1) * lh), LineText(last));
        EXPECT_EQ(RowText(texts, r.body.top - lh), L"");
        // The file name at the left, the date and time at the right, the
        // footer "(page/count)" centred.
        EXPECT_EQ(Where(Find(texts, L"doc.txt"), r.header), "left edge");
        EXPECT_EQ(Where(Find(texts, f->HeaderDateTime()), r.header), "right half");
        EXPECT_EQ(Where(Find(texts, printing::FooterText(page, 5)), r.footer), "left of the middle");
        EXPECT_EQ(testing_support::StatusTextOf(f->StatusBar()),
                  L"Page " + std::to_wstring(page + 1) + L" of 5");
    }
    HENHMETAFILE last = f->PreviewPage();
    Command(f, printing::ID_PREVIEW_NEXT);  // there is no sixth page
    EXPECT_FALSE(f->ShowPage(5));
    EXPECT_FALSE(f->ShowPage(-1));
    EXPECT_EQ(f->CurrentPage(), 4);
    EXPECT_EQ(f->PreviewPage(), last);  // an invalid page changes nothing
    EXPECT_EQ(steps(), std::make_pair(true, false));
    // Back to the third page, which reads "(3/5)".
    Command(f, printing::ID_PREVIEW_PREV);
    Command(f, printing::ID_PREVIEW_PREV);
    EXPECT_EQ(f->CurrentPage(), 2);
    EXPECT_NE(Find(Texts(f->PreviewPage()), L"(3/5)"), nullptr);
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), r.body.top), LineText(2 * rows + 1));

    // Line numbers narrow the body and return to page one.
    EXPECT_FALSE(Button(f, TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS));
    Command(f, printing::ID_PREVIEW_NUMBERS);
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_TRUE(Button(f, TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS));
    const std::vector<TextRecord> texts = Texts(f->PreviewPage());
    // The number first, then the text. Fewer than 1,000 lines: three digits
    // and two more widths of "0"; the number stands right-aligned (its
    // reference point is its right end) at the column's right less two
    // widths of "0".
    const TextRecord* number = nullptr;
    EXPECT_EQ(RowText(texts, r.body.top, &number), L"1 line 1");
    const TextRecord* word = Find(texts, L"line");
    ASSERT_TRUE(number && word);
    EXPECT_EQ(std::make_pair(number->at.x, word->at.x),
              std::make_pair(r.body.left + 3 * zero.cx, r.body.left + 5 * zero.cx));
    // Off again: the text returns to the body's left edge.
    Command(f, printing::ID_PREVIEW_NUMBERS);
    EXPECT_FALSE(Button(f, TB_ISBUTTONCHECKED, printing::ID_PREVIEW_NUMBERS));
    const TextRecord* plain = nullptr;
    EXPECT_EQ(RowText(Texts(f->PreviewPage()), r.body.top, &plain), L"line 1");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->at.x, r.body.left);
}

// Three lines far wider than the page: the frame disabled while the preview
// is open, its tool bar, zoom, and wrapping.
TEST_F(PrintFrameTest, ZoomWrapAndTheMainFrameDisabledWhileOpen) {
    OpenLines(3, std::string(400, 'w') + " ");
    CPrintFrame* f = OpenPreview();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
    EXPECT_EQ(GetWindow(f->Window(), GW_OWNER), frame_->Window());
    EXPECT_FALSE(GetWindowLongW(f->Window(), GWL_STYLE) & WS_MINIMIZEBOX);
    // Tool bar resource 150: nine buttons in order.
    ASSERT_NE(f->ToolBar(), nullptr);
    std::vector<UINT> order;
    for (int i = 0; i < int(Send(f->ToolBar(), TB_BUTTONCOUNT)); ++i) {
        TBBUTTON b = {};
        Send(f->ToolBar(), TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        order.push_back(UINT(b.idCommand));
    }
    EXPECT_EQ(order, (std::vector<UINT>{57607, 3000, 3001, 3005, 3006, 3002, 3003, 3004, 3007}));
    // No lexer: colour stays off and disabled.
    EXPECT_FALSE(Button(f, TB_ISBUTTONENABLED, printing::ID_PREVIEW_COLOR));
    Command(f, printing::ID_PREVIEW_COLOR);
    EXPECT_FALSE(f->ColorOn());

    // The page fits the pane at zoom 1.0.
    MoveWindow(f->Window(), 0, 0, 800, 600, TRUE);
    EXPECT_EQ(f->Zoom(), 1.0);
    RECT pane;
    GetClientRect(f->PreviewWindow(), &pane);
    auto* preview =
        reinterpret_cast<printing::CPreviewPane*>(GetWindowLongPtrW(f->PreviewWindow(), GWLP_USERDATA));
    ASSERT_NE(preview, nullptr);
    const RECT fit = preview->PageRect();
    EXPECT_LE(fit.bottom - fit.top, pane.bottom);
    EXPECT_LE(fit.right - fit.left, pane.right);
    for (double zoom : {1.5, 2.0}) {
        Command(f, printing::ID_PREVIEW_ZOOM_IN);
        EXPECT_EQ(f->Zoom(), zoom);
    }
    const RECT big = preview->PageRect();
    EXPECT_NEAR(double(big.right - big.left), 2.0 * (fit.right - fit.left), 2.0);
    // The steps stop at their ends, their buttons disabled there.
    for (auto [id, zoom] : {std::make_pair(printing::ID_PREVIEW_ZOOM_IN, printing::kMaxZoom),
                            std::make_pair(printing::ID_PREVIEW_ZOOM_OUT, printing::kMinZoom)}) {
        for (int i = 0; i < 10; ++i) Command(f, id);
        EXPECT_EQ(f->Zoom(), zoom);
        EXPECT_FALSE(Button(f, TB_ISBUTTONENABLED, id));
    }
    EXPECT_EQ(f->CurrentPage(), 0);  // zooming keeps the page

    // One row per line unwrapped, several wrapped.
    EXPECT_EQ(Send(f->HiddenControl(), MPM_VISIBLEROWS), 3);
    Command(f, printing::ID_PREVIEW_WRAP);
    EXPECT_TRUE(Button(f, TB_ISBUTTONCHECKED, printing::ID_PREVIEW_WRAP));
    const int rows = int(Send(f->HiddenControl(), MPM_VISIBLEROWS));
    EXPECT_GT(rows, 3);
    EXPECT_EQ(f->PageCount(), printing::PageCount(rows, BodyHeight(f), LineHeight(f)));
    EXPECT_EQ(f->CurrentPage(), 0);
    // The main document's own control is not wrapped by this.
    EXPECT_EQ(Send(frame_->ActivePane(), MPM_GETWRAPMODE), 0);
    Close(f);
    // The document lives on in its own control.
    EXPECT_EQ(Send(frame_->ActivePane(), MPM_GETLINECOUNT), 3);
}

TEST_F(PrintFrameTest, WithoutAPrinterPreviewShowsTheLocalesPaperAndPrintSaysWhy) {
    OpenLines(200);
    // The real lookup when the system has no printer (the run of the tests
    // with the print service out of reach says so); otherwise the lookup is
    // made to find none.
    std::wstring name;
    const bool found = printing::DefaultPrinterName(&name);
    if (GetEnvironmentVariableW(L"MORROWPAD_EXPECT_NO_PRINTER", nullptr, 0))
        EXPECT_FALSE(found) << "a default printer although the print service is out of reach";
    if (found) printing::SetDefaultPrinterLookup(&g_noPrinter);
    auto saysNoPrinter = [] {
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].text, L"There is no default printer.");
        EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONSTOP));
        Messages().clear();
    };
    // Print: the message, and nothing is left open.
    Messages().clear();
    Command(ID_FILE_PRINT);
    saysNoPrinter();
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame_->Window()));

    // Preview: the pages on the locale's paper, at the screen's resolution.
    Command(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(Messages().size(), 0u);
    CPrintFrame* f = CPrintFrame::FromWindow(FindWindowW(L"MorrowpadPrintFrame", nullptr));
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->OnPaperOnly());
    HDC screen = GetDC(nullptr);
    const printing::PageGeometry paper =
        printing::PaperGeometry(printing::LocalePaper(), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(f->Rects().page, (RECT{0, 0, paper.width, paper.height}));
    EXPECT_GT(f->PageCount(), 1);
    ASSERT_NE(f->PreviewPage(), nullptr);
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(f->PreviewPage(), sizeof header, &header);
    // The metafile's frame is the paper less its margins, in 0.01 mm.
    const printing::Paper sheet = printing::LocalePaper();
    EXPECT_NEAR(header.rclFrame.right - header.rclFrame.left, sheet.width - 2 * 635, 30);
    EXPECT_NEAR(header.rclFrame.bottom - header.rclFrame.top, sheet.height - 2 * 635, 30);
    EXPECT_NE(Find(Texts(f->PreviewPage()), L"doc.txt"), nullptr);
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
    // Its Print says what is missing and leaves the preview open.
    Command(f, printing::ID_PREVIEW_PRINT);
    saysNoPrinter();
    EXPECT_TRUE(IsWindow(f->Window()));
    Close(f);
    // The commands are offered (no longer held back as features to come).
    const auto* state = frame_->CommandStates().Find(ID_FILE_PRINT);
    EXPECT_TRUE(state == nullptr || state->enabled);
}

// ---------------------------------------------------------------------------
// The job loops with a job of the test's own

struct CountingJob : printing::IPageJob {
    int valid = 3;                                  // pages 0..valid-1 exist
    int failAt = -1;                                // DrawPage fails on this page
    std::vector<int> counts = std::vector<int>(5);  // begun, ended, before, drawn, after
    void BeginJob() override { ++counts[0]; }
    void EndJob() override { ++counts[1]; }
    bool BeforePage(int, HDC) override { return ++counts[2], true; }
    bool DrawPage(int page, HDC dc) override {
        ++counts[3];
        Rectangle(dc, 10, 10, 100, 100);
        return page != failAt;
    }
    void AfterPage(int, HDC) override { ++counts[4]; }
    DEVMODEW* PageDevMode(int) override { return nullptr; }
    bool IsValidPage(int page) override { return page >= 0 && page < valid; }
};

TEST(PrintJob, PageIntoMetafileOfTheDevicesSize) {
    HDC device = CreateCompatibleDC(nullptr);
    CountingJob job;
    EXPECT_EQ(printing::RenderPage(job, device, 3), nullptr);  // not a valid page
    EXPECT_EQ(printing::RenderPage(job, nullptr, 0), nullptr);
    EXPECT_EQ(job.counts, std::vector<int>({0, 0, 0, 0, 0}));
    HENHMETAFILE page = printing::RenderPage(job, device, 1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(job.counts, std::vector<int>({0, 0, 1, 1, 1}));
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(page, sizeof header, &header);
    EXPECT_EQ(std::make_pair(header.szlDevice.cx, header.szlDevice.cy),
              std::make_pair(LONG(GetDeviceCaps(device, HORZRES)), LONG(GetDeviceCaps(device, VERTRES))));
    DeleteEnhMetaFile(page);
    DeleteDC(device);
}

// A job stops at the first page that is not valid; a failed page aborts the
// document (nothing drawn after it, but its state restored), and the
// printer prints again at once (on a new device context: under Wine one
// whose document was aborted starts no other, so the frame makes a device
// context per job).
TEST(PrintJob, OnAPrinterAllValidPagesOrUpToTheFailedOne) {
    printing::CPrinter printer;
    if (!printer.OpenDefault()) GTEST_SKIP() << kNoPrinter;
    const std::wstring folder = testing_support::MakeTempFolder(L"mp-job-");
    const struct {
        const wchar_t* name;
        int failAt;
        bool ok;
        std::vector<int> counts;
    } jobs[] = {{L"all", -1, true, {1, 1, 3, 3, 3}},
                {L"failed", 1, false, {1, 1, 2, 2, 2}},
                {L"again", -1, true, {1, 1, 3, 3, 3}}};
    for (const auto& c : jobs) {
        CountingJob job;
        job.failAt = c.failAt;
        const std::wstring out = folder + c.name + L".ps";
        HDC dc = printer.CreateDc();
        EXPECT_NE(dc, nullptr);
        EXPECT_EQ(printing::RunPrintJob(job, dc, c.name, out.c_str(), 0, 1000), c.ok) << c.name;
        DeleteDC(dc);
        EXPECT_EQ(job.counts, c.counts) << c.name;
        if (c.ok) EXPECT_NE(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES) << c.name;
    }
}

// The print dialog's answer (with the file to print into), and what the
// frame had laid out when it was asked.
struct DialogAnswer {
    printing::PrintChoice::Action action = printing::PrintChoice::kCancel;
    std::wstring output;
    int asked = 0, pages = 0, dpi = 0;
    printing::PageRects rects = {};
} g_answer;

bool Answer(HWND owner, const printing::CPrinter& printer, printing::PrintChoice* choice) {
    ++g_answer.asked;
    if (CPrintFrame* f = CPrintFrame::FromWindow(owner))
        g_answer.pages = f->PageCount(), g_answer.rects = f->Rects();
    if (HDC dc = printer.CreateDc()) g_answer.dpi = GetDeviceCaps(dc, LOGPIXELSY), DeleteDC(dc);
    choice->action = g_answer.action;
    choice->output = g_answer.output;
    return g_answer.action != printing::PrintChoice::kCancel;
}

// Prints the open document through the print command into `output`: asked
// once, and no print frame left behind; the messages shown.
std::vector<testing_support::ShownMessage> PrintByCommand(HWND frame, const std::wstring& output) {
    Messages().clear();
    g_answer = {printing::PrintChoice::kPrint, output};
    printing::SetPrintDialogHook(&Answer);
    SendMessageW(frame, WM_COMMAND, ID_FILE_PRINT, 0);
    EXPECT_EQ(g_answer.asked, 1);
    EXPECT_EQ(FindWindowW(L"MorrowpadPrintFrame", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame));
    return Messages();
}

// In the preview, a cancelled print dialog changes nothing and Apply returns
// to page one; a job that cannot be written says so, and the program goes on.
TEST_F(PrintFrameTest, PrintDialogCancelApplyAndAFailedJob) {
    std::wstring printer;
    if (!printing::DefaultPrinterName(&printer)) GTEST_SKIP() << kNoPrinter;
    OpenLines(400);
    CPrintFrame* f = OpenPreview(true);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Printer().Name(), printer);
    ASSERT_GE(f->PageCount(), 2);
    Command(f, printing::ID_PREVIEW_NEXT);
    ASSERT_EQ(f->CurrentPage(), 1);
    printing::SetPrintDialogHook(&Answer);
    HENHMETAFILE shown = f->PreviewPage();
    Command(f, printing::ID_PREVIEW_PRINT);
    EXPECT_EQ(f->CurrentPage(), 1);
    EXPECT_EQ(f->PreviewPage(), shown);
    EXPECT_TRUE(Messages().empty());
    // Apply: the printer's settings taken, the preview back on its first page.
    g_answer.action = printing::PrintChoice::kApply;
    Command(f, printing::ID_PREVIEW_PRINT);
    EXPECT_EQ(f->CurrentPage(), 0);
    EXPECT_TRUE(IsWindow(f->Window()));
    EXPECT_FALSE(IsWindowEnabled(frame_->Window()));
    Close(f);
    const auto failed = PrintByCommand(frame_->Window(), L"Z:\\no such folder here\\deeper\\job.ps");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].text, shell::LanguageString(IDS_PRINT_FAILED));
}

// ---------------------------------------------------------------------------
// Printed pages: the print command on the private print service's printer,
// its PostScript output rendered to images by the system's Ghostscript.

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A page image read from a BMP file: how many pixels are dark in a rectangle.
struct PageImage {
    explicit PageImage(const std::wstring& path) {
        HBITMAP bitmap =
            static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        BITMAP bm = {};
        if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return;
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB}};
        std::vector<DWORD> pixels(size_t(bm.bmWidth) * bm.bmHeight);
        HDC screen = GetDC(nullptr);
        if (GetDIBits(screen, bitmap, 0, bm.bmHeight, pixels.data(), &info, DIB_RGB_COLORS) == bm.bmHeight)
            width = bm.bmWidth, height = bm.bmHeight;
        ReleaseDC(nullptr, screen);
        DeleteObject(bitmap);
        for (DWORD p : pixels) dark.push_back((p & 255) + (p >> 8 & 255) + (p >> 16 & 255) < 3 * 128);
    }
    int DarkIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) n += dark[size_t(y) * width + x];
        return n;
    }
    // A row within `y0`..`y1` dark along at least 90 % of the inner width.
    bool RuleNear(int y0, int y1) const {
        for (int y = y0; y <= y1; ++y)
            if (DarkIn(width / 20, y, width - width / 20, y + 1) >= (width * 9 / 10) * 9 / 10) return true;
        return false;
    }
    int width = 0, height = 0;
    std::vector<bool> dark;
};

TEST_F(PrintFrameTest, PrintedPagesShowHeaderRuleTextAndFooter) {
    std::wstring printer;
    if (!printing::DefaultPrinterName(&printer)) GTEST_SKIP() << kNoPrinter;
    if (!FileExists(L"Z:\\usr\\bin\\gs") || !FileExists(L"Z:\\bin\\sh"))
        GTEST_SKIP() << "no /usr/bin/gs to render the printed pages (package ghostscript)";
    // A folder both sides can name.
    const std::wstring hostDir =
        L"/tmp/mp-printed-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
    std::wstring folder = L"Z:" + hostDir;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));

    // Two pages and a half, every row marked at its left edge.
    const int rows = ProbeRows(true);
    ASSERT_GT(rows, 0);
    const int lines = 2 * rows + rows / 2;
    OpenLines(lines, "MMMM line ");
    EXPECT_TRUE(PrintByCommand(frame_->Window(), folder + L"\\job.ps").empty());
    ASSERT_EQ(g_answer.pages, 3);
    ASSERT_GT(g_answer.dpi, 0);
    ASSERT_TRUE(FileExists(folder + L"\\job.ps"));

    // Ghostscript run by the host's shell, which marks its end with a file
    // (a Unix program started from here is not waited for by handle).
    const int dpi = 100;
    std::wstring line = L"Z:\\bin\\sh -c \"gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=bmp16m -r" +
                        std::to_wstring(dpi) + L" -sOutputFile=" + hostDir + L"/page%d.bmp " + hostDir +
                        L"/job.ps > " + hostDir + L"/gs.log 2>&1; touch " + hostDir + L"/done\"";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    for (DWORD waited = 0; waited < 60000 && !FileExists(folder + L"\\done"); waited += 100) Sleep(100);
    ASSERT_TRUE(FileExists(folder + L"\\done")) << "Ghostscript did not finish";
    auto page = [&](int p) { return folder + L"\\page" + std::to_wstring(p) + L".bmp"; };
    int pages = 0;
    while (FileExists(page(pages + 1))) ++pages;
    EXPECT_EQ(pages, g_answer.pages);

    const printing::PageRects& r = g_answer.rects;
    auto Y = [&](LONG v) { return int(v * double(dpi) / g_answer.dpi + 0.5); };
    std::vector<int> footerInk;
    for (int p = 1; p <= pages; ++p) {
        SCOPED_TRACE(p);
        PageImage image(page(p));
        ASSERT_GT(image.width, 0);
        const int w = image.width;
        EXPECT_NEAR(image.height, Y(r.page.bottom), 3);
        // The rule under the header and the rule over the footer.
        EXPECT_TRUE(image.RuleNear(Y(r.header.bottom) - 3, Y(r.header.bottom) + 3));
        EXPECT_TRUE(image.RuleNear(Y(r.footer.top) - 3, Y(r.footer.top) + 3));
        // Ink where the file name, the date and time and the footer "(p/n)"
        // stand, none between or beside them, nor below the last row.
        const int top = Y(r.header.top), bottom = Y(r.header.bottom) - 3;
        const int foot = Y(r.footer.top) + 3, footEnd = Y(r.footer.bottom);
        const int lh = (r.body.bottom - r.body.top) / rows;
        const int rowsHere = p < pages ? rows : lines - 2 * rows;
        const struct {
            const char* what;
            int x0, y0, x1, y1;
            bool inked;
        } regions[] = {
            {"file name", 0, top, w / 4, bottom, true},
            {"date and time", w * 3 / 4, top, w, bottom, true},
            {"header middle", w * 2 / 5, top, w * 3 / 5, bottom, false},
            {"below the last row", 0, Y(r.body.top + rowsHere * lh) + 2, w, Y(r.body.bottom), false},
            {"footer", w * 2 / 5, foot, w * 3 / 5, footEnd, true},
            {"footer left", 0, foot, w / 3, footEnd, false},
            {"footer right", w * 2 / 3, foot, w, footEnd, false}};
        for (const auto& g : regions) {
            const int ink = image.DarkIn(g.x0, g.y0, g.x1, g.y1);
            EXPECT_TRUE(g.inked ? ink > 20 : ink == 0) << g.what << ": " << ink << " dark pixels";
        }
        footerInk.push_back(image.DarkIn(w * 2 / 5, foot, w * 3 / 5, footEnd));
        // Text at the left edge of every row.
        for (int row = 0; row < rowsHere; row += std::max(rowsHere / 5, 1))
            EXPECT_GT(image.DarkIn(0, Y(r.body.top + row * lh), w / 8, Y(r.body.top + (row + 1) * lh)), 10)
                << "row " << row;
    }
    // "(1/3)", "(2/3)", "(3/3)" differ in ink.
    if (footerInk.size() == 3) EXPECT_FALSE(footerInk[0] == footerInk[1] && footerInk[1] == footerInk[2]);
    // The job and its images stay for a look when something failed.
    if (HasFailure()) {
        ADD_FAILURE() << "printed job and page images kept in " << testing::PrintToString(hostDir);
        return;
    }
    for (const wchar_t* name : {L"job.ps", L"gs.log", L"done"}) DeleteFileW((folder + L"\\" + name).c_str());
    for (int p = 1; p <= pages; ++p) DeleteFileW(page(p).c_str());
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

}  // namespace
