// Pixel sizes at the monitor's resolution: the helper's reading of a
// window's resolution, and the frame moved to a monitor of 192 dpi (Wine
// never sends WM_DPICHANGED, so the test sends it as Windows would): the
// frame takes the suggested rectangle, the docked panes' height and caption,
// the split bar and the tool-bar images double, the fonts are made again at
// the new resolution, the status bar, the tabs and the edit controls'
// margins follow, a floating pane follows its own monitor; and all comes
// back. (The command bar's spacing follows too, but Wine's tool bar keeps
// any padding within 2 pixels.)
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include "Dpi.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "CommandIds.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

int g_afterParent = 0;

LRESULT CALLBACK Counting(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DPICHANGED_AFTERPARENT) ++g_afterParent;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

RECT WindowRect(HWND w) {
    RECT rc = {};
    GetWindowRect(w, &rc);
    return rc;
}

// What Windows sends when the window crosses to a monitor of `dpi`.
void MoveToMonitor(HWND frame, int dpi, RECT suggested) {
    SendMessageW(frame, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump();
}

SIZE ImageSize(HWND toolbar) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &cx, &cy);
    return {cx, cy};
}

// Image `i` of the tool bar drawn on white.
std::vector<COLORREF> DrawImage(HWND toolbar, int i) {
    const auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    const SIZE size = ImageSize(toolbar);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, size.cx, size.cy};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(list, i, dc, 0, 0, ILD_TRANSPARENT);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

int BandHeight(HWND rebar, HWND child) {
    const int count = int(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
        if (SendMessageW(rebar, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band)) &&
            band.hwndChild == child)
            return int(band.cyMinChild);
    }
    return -1;
}

HWND FindSplitter(HWND parent) { return FindWindowExW(parent, nullptr, L"MorrowpadSplitter", nullptr); }

// The gap between the splitter's two panes.
int SplitBar(HWND splitter) {
    HWND first = GetWindow(splitter, GW_CHILD);
    HWND second = first ? GetWindow(first, GW_HWNDNEXT) : nullptr;
    if (!first || !second) return -1;
    RECT a = WindowRect(first), b = WindowRect(second);
    return a.left == b.left ? int(std::max(a.top, b.top) - std::min(a.bottom, b.bottom))
                            : int(std::max(a.left, b.left) - std::min(a.right, b.right));
}

class Dpi : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-dpi-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        testing_support::Messages().clear();
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }
    std::wstring folder_;
    std::unique_ptr<shell::CMainFrame> frame_;
};

}  // namespace

// A window without a kept resolution has the system's; WM_DPICHANGED's
// resolution then holds for the top-level window and all its children, the
// window takes the suggested rectangle, and every descendant is told.
TEST_F(Dpi, TheTopLevelWindowsResolutionHoldsForItsChildren) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &Counting;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DpiTestWindow";
    RegisterClassW(&wc);
    const HWND top = CreateWindowExW(0, L"DpiTestWindow", L"", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                                     nullptr, wc.hInstance, nullptr);
    const HWND child = CreateWindowExW(0, L"DpiTestWindow", L"", WS_CHILD, 0, 0, 50, 50, top, nullptr,
                                       wc.hInstance, nullptr);
    const HWND grandchild = CreateWindowExW(0, L"DpiTestWindow", L"", WS_CHILD, 0, 0, 10, 10, child, nullptr,
                                            wc.hInstance, nullptr);
    ASSERT_TRUE(top && child && grandchild);
    HDC screen = GetDC(nullptr);
    const int system = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(dpi::Of(grandchild), system);
    EXPECT_EQ(dpi::Of(nullptr), system);
    EXPECT_EQ(dpi::Scale(5, 144), 8);  // rounded

    g_afterParent = 0;
    const RECT suggested = {40, 30, 640, 430};
    dpi::OnDpiChanged(top, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(dpi::Of(grandchild), 192);
    EXPECT_EQ(dpi::Scale(child, 5), 10);
    EXPECT_EQ(g_afterParent, 2);
    const RECT now = WindowRect(top);
    EXPECT_EQ(now.left, 40);
    EXPECT_EQ(now.right - now.left, 600);
    EXPECT_EQ(now.bottom - now.top, 400);
    DestroyWindow(top);
}

TEST_F(Dpi, TheFrameKeepsItsSizesOnTheScreenOfAnotherResolution) {
    const std::wstring file = folder_ + L"a.txt";
    ASSERT_TRUE(testing_support::WriteFileText(file, "alpha\r\n"));
    const HMODULE edit = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
    ASSERT_NE(edit, nullptr);
    frame_ = std::make_unique<shell::CMainFrame>();
    const HWND frame = frame_->Create(L"prog \"" + file + L"\"", edit);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, 0, 0, 600, 480, SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump();
    SendMessageW(frame, WM_COMMAND, ID_SPLIT_SIDE, 0);
    Pump();
    const HWND splitter = FindSplitter(frame_->ActiveDocument());
    ASSERT_NE(splitter, nullptr);
    const int docked = frame_->Docking().DockedHeight();
    const int caption = frame_->Docking().CaptionHeight();
    EXPECT_EQ(SplitBar(splitter), 5);
    const HWND toolbar = frame_->ToolBar();
    EXPECT_EQ(ImageSize(toolbar).cx, 16);
    EXPECT_EQ(ImageSize(toolbar).cy, 15);
    const std::vector<COLORREF> small = DrawImage(toolbar, 1);
    const auto white = std::count(small.begin(), small.end(), RGB(255, 255, 255));
    EXPECT_GT(white, 0) << "transparent pixels show the ground";
    EXPECT_GT(ptrdiff_t(small.size()) - white, 40) << "the image draws";
    EXPECT_GE(BandHeight(frame_->Rebar(), toolbar), 15);

    MoveToMonitor(frame, 192, {20, 10, 1220, 970});
    const RECT moved = WindowRect(frame);
    EXPECT_EQ(moved.left, 20);
    EXPECT_EQ(moved.right - moved.left, 1200);
    EXPECT_EQ(moved.bottom - moved.top, 960);
    EXPECT_EQ(frame_->Docking().DockedHeight(), 2 * docked);
    EXPECT_EQ(frame_->Docking().CaptionHeight(), 2 * caption);
    EXPECT_EQ(SplitBar(splitter), 10);
    // The tool-bar images twice as large, each pixel a 2 x 2 square, the
    // transparent ones still transparent; the band grows with them.
    ASSERT_EQ(ImageSize(toolbar).cx, 32);
    ASSERT_EQ(ImageSize(toolbar).cy, 30);
    const std::vector<COLORREF> large = DrawImage(toolbar, 1);
    int differ = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 32; ++x) differ += large[size_t(y * 32 + x)] != small[size_t(y / 2 * 16 + x / 2)];
    EXPECT_EQ(differ, 0);
    EXPECT_GE(BandHeight(frame_->Rebar(), toolbar), 30);

    MoveToMonitor(frame, 96, {20, 10, 620, 490});
    EXPECT_EQ(frame_->Docking().CaptionHeight(), caption);
    EXPECT_EQ(frame_->Docking().DockedHeight(), docked);
    EXPECT_EQ(SplitBar(splitter), 5);
    EXPECT_EQ(ImageSize(toolbar).cx, 16);
    EXPECT_EQ(DrawImage(toolbar, 1), small);
    EXPECT_TRUE(testing_support::Messages().empty());
}

namespace {

int FontHeight(HWND window) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    if (!font || !GetObjectW(font, sizeof lf, &lf)) return 0;
    return int(lf.lfHeight);
}

// The widths of the status bar's parts but the first (which takes what is
// left) and the last (to the edge).
std::vector<int> PartWidths(HWND bar) {
    int rights[32] = {};
    const int n = int(SendMessageW(bar, SB_GETPARTS, 32, reinterpret_cast<LPARAM>(rights)));
    std::vector<int> widths;
    for (int i = 1; i + 1 < n; ++i) widths.push_back(rights[i] - rights[i - 1]);
    return widths;
}

// The size of the first icon the status bar shows.
SIZE StatusIconSize(HWND bar) {
    const int n = int(SendMessageW(bar, SB_GETPARTS, 0, 0));
    for (int i = 0; i < n; ++i)
        if (const auto icon = reinterpret_cast<HICON>(SendMessageW(bar, SB_GETICON, WPARAM(i), 0))) {
            ICONINFO info = {};
            if (!GetIconInfo(icon, &info)) return {};
            BITMAP bm = {};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
            return {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
        }
    return {};
}

int TabImageSize(HWND tabs) {
    int cx = 0, cy = 0;
    const auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(tabs, TCM_GETIMAGELIST, 0, 0));
    return list && ImageList_GetIconSize(list, &cx, &cy) ? cx : 0;
}

int TabHeight(HWND tabs) {
    RECT rc = {};
    SendMessageW(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
    return int(rc.bottom - rc.top);
}

int MarginWidth(HWND edit, int part) {
    RECT rc = {};
    return SendMessageW(edit, MPM_GETMARGIN, WPARAM(part), reinterpret_cast<LPARAM>(&rc))
               ? int(rc.right - rc.left)
               : -1;
}

// What the frame shows at one resolution.
struct Look {
    int statusFont, tabsFont, paneFont, outputFont;
    std::vector<int> parts;
    SIZE statusIcon;
    int tabImage, tabHeight;
    int paneDpi, paneMargin, outputDpi;
};

Look LookOf(shell::CMainFrame& frame) {
    Look l = {};
    l.statusFont = FontHeight(frame.StatusBar());
    l.tabsFont = FontHeight(frame.TabStrip());
    l.paneFont = FontHeight(frame.ActivePane());
    l.outputFont = FontHeight(frame.OutputWindow());
    l.parts = PartWidths(frame.StatusBar());
    l.statusIcon = StatusIconSize(frame.StatusBar());
    l.tabImage = TabImageSize(frame.TabStrip());
    l.tabHeight = TabHeight(frame.TabStrip());
    l.paneDpi = int(SendMessageW(frame.ActivePane(), MPM_SETDPI, WPARAM(-1), 0));
    l.paneMargin = MarginWidth(frame.ActivePane(), 3);
    l.outputDpi = int(SendMessageW(frame.OutputWindow(), MPM_SETDPI, WPARAM(-1), 0));
    return l;
}

}  // namespace

// On a monitor of 192 dpi the fonts are made anew at that resolution and
// given to the bars, the documents and the output window; the status bar's
// parts and icons, the tab images and the edit controls' margins double; back
// at 96 dpi everything is as it was.
TEST_F(Dpi, TheFrameRemakesItsFontsAndBarsAtTheNewResolution) {
    const std::wstring file = folder_ + L"b.txt";
    ASSERT_TRUE(testing_support::WriteFileText(file, "alpha\r\nbeta\r\n"));
    const HMODULE edit = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
    ASSERT_NE(edit, nullptr);
    frame_ = std::make_unique<shell::CMainFrame>();
    const HWND frame = frame_->Create(L"prog \"" + file + L"\"", edit);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
    SendMessageW(frame, WM_COMMAND, ID_TOGGLE_OUTPUT, 0);
    Pump();
    ASSERT_NE(frame_->OutputWindow(), nullptr);
    ASSERT_EQ(dpi::Of(frame), 96) << "the test prefix runs at 96 dpi";
    const Look before = LookOf(*frame_);
    ASSERT_LT(before.statusFont, 0);
    ASSERT_LT(before.paneFont, 0);
    ASSERT_LT(before.outputFont, 0);
    ASSERT_FALSE(before.parts.empty());
    EXPECT_EQ(before.statusIcon.cx, 16);
    EXPECT_EQ(before.tabImage, 16);
    EXPECT_EQ(before.paneDpi, 96);
    EXPECT_EQ(before.paneMargin, 2);

    MoveToMonitor(frame, 192, {0, 0, 1600, 1200});
    const Look after = LookOf(*frame_);
    EXPECT_NEAR(after.statusFont, 2 * before.statusFont, 1);
    EXPECT_NEAR(after.tabsFont, 2 * before.tabsFont, 1);
    EXPECT_NEAR(after.paneFont, 2 * before.paneFont, 1);
    EXPECT_NEAR(after.outputFont, 2 * before.outputFont, 1);
    ASSERT_EQ(after.parts.size(), before.parts.size());
    for (size_t i = 0; i < before.parts.size(); ++i)
        EXPECT_NEAR(after.parts[i], 2 * before.parts[i], before.parts[i] / 5 + 2) << "part " << i + 1;
    EXPECT_EQ(after.statusIcon.cx, 32);
    EXPECT_EQ(after.statusIcon.cy, 32);
    EXPECT_EQ(after.tabImage, 32);
    EXPECT_GE(after.tabHeight, 2 * before.tabHeight - 4);
    EXPECT_EQ(after.paneDpi, 192);
    EXPECT_EQ(after.paneMargin, 4);
    EXPECT_EQ(after.outputDpi, 192);

    // A document opened now is made at the frame's resolution too.
    SendMessageW(frame, WM_COMMAND, ID_FILE_NEW, 0);
    Pump();
    EXPECT_EQ(SendMessageW(frame_->ActivePane(), MPM_SETDPI, WPARAM(-1), 0), 192);
    EXPECT_NEAR(FontHeight(frame_->ActivePane()), 2 * before.paneFont, 1);
    EXPECT_EQ(MarginWidth(frame_->ActivePane(), 3), 4);
    frame_->Activate(0);

    MoveToMonitor(frame, 96, {0, 0, 800, 600});
    const Look back = LookOf(*frame_);
    EXPECT_EQ(back.statusFont, before.statusFont);
    EXPECT_EQ(back.tabsFont, before.tabsFont);
    EXPECT_EQ(back.paneFont, before.paneFont);
    EXPECT_EQ(back.outputFont, before.outputFont);
    EXPECT_EQ(back.parts, before.parts);
    EXPECT_EQ(back.statusIcon.cx, 16);
    EXPECT_EQ(back.tabImage, 16);
    EXPECT_EQ(back.tabHeight, before.tabHeight);
    EXPECT_EQ(back.paneMargin, 2);
    EXPECT_EQ(back.outputDpi, 96);
    EXPECT_TRUE(testing_support::Messages().empty());
}

// A floating pane is a top-level window of its own: moved to another
// monitor it takes the suggested rectangle and its pane rescales.
TEST_F(Dpi, AFloatingPaneFollowsItsOwnMonitor) {
    const HMODULE edit = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
    ASSERT_NE(edit, nullptr);
    frame_ = std::make_unique<shell::CMainFrame>();
    const HWND frame = frame_->Create(L"prog", edit);
    ASSERT_NE(frame, nullptr);
    SetWindowPos(frame, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_SHOWWINDOW);
    SendMessageW(frame, WM_COMMAND, ID_TOGGLE_OUTPUT, 0);
    Pump();
    const HWND output = frame_->OutputWindow();
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(frame_->Docking().UndockPane(output));
    Pump();
    const HWND floater = frame_->Docking().HostOf(output);
    ASSERT_NE(floater, nullptr);
    ASSERT_EQ(GetAncestor(floater, GA_ROOT), floater);
    const int font = FontHeight(output);
    ASSERT_LT(font, 0);

    MoveToMonitor(floater, 192, {100, 100, 700, 500});
    const RECT moved = WindowRect(floater);
    EXPECT_EQ(moved.left, 100);
    EXPECT_EQ(moved.right - moved.left, 600);
    EXPECT_EQ(moved.bottom - moved.top, 400);
    EXPECT_EQ(SendMessageW(output, MPM_SETDPI, WPARAM(-1), 0), 192);
    EXPECT_NEAR(FontHeight(output), 2 * font, 1);
    RECT client = {};
    GetClientRect(floater, &client);
    EXPECT_EQ(WindowRect(output).right - WindowRect(output).left, client.right) << "the pane fills the host";
    EXPECT_EQ(dpi::Of(frame), 96) << "the frame stays where it is";
    EXPECT_TRUE(testing_support::Messages().empty());
}
