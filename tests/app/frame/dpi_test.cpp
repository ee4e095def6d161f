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
#include <vector>

#include "CommandIds.h"
#include "FrameFixture.h"
#include "Pixels.h"

namespace {

RECT WindowRect(HWND w) {
    RECT rc = {};
    GetWindowRect(w, &rc);
    return rc;
}
// Left, width and height.
std::vector<LONG> Placed(HWND w) {
    const RECT r = WindowRect(w);
    return {r.left, r.right - r.left, r.bottom - r.top};
}

SIZE ImageSize(HWND toolbar) {
    int cx = 0, cy = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &cx,
                          &cy);
    return {cx, cy};
}

// Image `i` of the tool bar drawn on white.
std::vector<COLORREF> DrawImage(HWND toolbar, int i) {
    const auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    const SIZE size = ImageSize(toolbar);
    return testing_support::Drawn(size.cx, size.cy,
                                  [&](HDC dc) { ImageList_Draw(list, i, dc, 0, 0, ILD_TRANSPARENT); })
        .all();
}

int BandHeight(HWND rebar, HWND child) {
    for (int i = 0; i < int(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0)); ++i) {
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
        if (SendMessageW(rebar, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band)) &&
            band.hwndChild == child)
            return int(band.cyMinChild);
    }
    return -1;
}

// The gap between the splitter's two panes.
int SplitBar(HWND splitter) {
    HWND first = GetWindow(splitter, GW_CHILD);
    HWND second = first ? GetWindow(first, GW_HWNDNEXT) : nullptr;
    if (!first || !second) return -1;
    RECT a = WindowRect(first), b = WindowRect(second);
    return a.left == b.left ? int(std::max(a.top, b.top) - std::min(a.bottom, b.bottom))
                            : int(std::max(a.left, b.left) - std::min(a.right, b.right));
}

int FontHeight(HWND window) {
    LOGFONTW lf = {};
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return font && GetObjectW(font, sizeof lf, &lf) ? int(lf.lfHeight) : 0;
}
int DpiOf(HWND edit) { return int(SendMessageW(edit, MPM_SETDPI, WPARAM(-1), 0)); }

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
    for (int i = 0; i < int(SendMessageW(bar, SB_GETPARTS, 0, 0)); ++i)
        if (const auto icon = reinterpret_cast<HICON>(SendMessageW(bar, SB_GETICON, WPARAM(i), 0))) {
            ICONINFO info = {};
            if (!GetIconInfo(icon, &info)) return {};
            BITMAP bm = {};
            GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
            const SIZE size = {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
            if (info.hbmColor) DeleteObject(info.hbmColor);
            if (info.hbmMask) DeleteObject(info.hbmMask);
            return size;
        }
    return {};
}

int MarginWidth(HWND edit, int part) {
    RECT rc = {};
    return SendMessageW(edit, MPM_GETMARGIN, WPARAM(part), reinterpret_cast<LPARAM>(&rc))
               ? int(rc.right - rc.left)
               : -1;
}

// What the frame shows at one resolution: the fonts of the status bar, the
// tabs, the pane and the output window; the status bar's icon; the tab
// strip's image and height; the pane's resolution and margin; the output
// window's resolution.
struct Look {
    std::vector<int> fonts, parts;
    int icon, tabImage, tabHeight, paneDpi, paneMargin, outputDpi;
};

Look LookOf(shell::CMainFrame& frame) {
    Look l = {};
    for (HWND w : {frame.StatusBar(), frame.TabStrip(), frame.ActivePane(), frame.OutputWindow()})
        l.fonts.push_back(FontHeight(w));
    l.parts = PartWidths(frame.StatusBar());
    l.icon = int(StatusIconSize(frame.StatusBar()).cx);
    EXPECT_EQ(StatusIconSize(frame.StatusBar()).cy, l.icon);
    int cx = 0, cy = 0;
    const auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(frame.TabStrip(), TCM_GETIMAGELIST, 0, 0));
    l.tabImage = list && ImageList_GetIconSize(list, &cx, &cy) ? cx : 0;
    RECT rc = {};
    SendMessageW(frame.TabStrip(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
    l.tabHeight = int(rc.bottom - rc.top);
    l.paneDpi = DpiOf(frame.ActivePane());
    l.paneMargin = MarginWidth(frame.ActivePane(), 3);
    l.outputDpi = DpiOf(frame.OutputWindow());
    return l;
}

class Dpi : public testing_support::CFrameTest {
   protected:
    // The frame over a file, shown at this size (with the output window).
    HWND Start(int width, int height, bool output) {
        const HWND frame = Create(L"prog \"" + File(L"a.txt", "alpha\r\nbeta\r\n") + L"\"");
        EXPECT_NE(frame, nullptr);
        if (!frame) return nullptr;
        SetWindowPos(frame, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_SHOWWINDOW);
        if (output) Command(ID_TOGGLE_OUTPUT);
        Pump();
        return frame;
    }
    // What Windows sends when the window crosses to a monitor of `dpi`.
    static void MoveToMonitor(HWND window, int dpi, RECT suggested) {
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        Pump();
    }
};

int g_afterParent = 0;

}  // namespace

// A window without a kept resolution has the system's; WM_DPICHANGED's
// resolution then holds for the top-level window and all its children, the
// window takes the suggested rectangle, and every descendant is told.
TEST_F(Dpi, TheTopLevelWindowsResolutionHoldsForItsChildren) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        g_afterParent += msg == WM_DPICHANGED_AFTERPARENT;
        return DefWindowProcW(hwnd, msg, wp, lp);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DpiTestWindow";
    RegisterClassW(&wc);
    HWND windows[3] = {};
    for (int i = 0; i < 3; ++i)
        windows[i] = CreateWindowExW(0, wc.lpszClassName, L"", i ? WS_CHILD : WS_OVERLAPPEDWINDOW, 10, 10,
                                     300, 200, i ? windows[i - 1] : nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(windows[0] && windows[1] && windows[2]);
    HDC screen = GetDC(nullptr);
    const int system = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(dpi::Of(windows[2]), system);
    EXPECT_EQ(dpi::Of(nullptr), system);
    EXPECT_EQ(dpi::Scale(5, 144), 8);  // rounded
    g_afterParent = 0;
    const RECT suggested = {40, 30, 640, 430};
    dpi::OnDpiChanged(windows[0], MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(dpi::Of(windows[2]), 192);
    EXPECT_EQ(dpi::Scale(windows[1], 5), 10);
    EXPECT_EQ(g_afterParent, 2);
    EXPECT_EQ(Placed(windows[0]), (std::vector<LONG>{40, 600, 400}));
    DestroyWindow(windows[0]);
}

TEST_F(Dpi, TheFrameKeepsItsSizesOnTheScreenOfAnotherResolution) {
    const HWND frame = Start(600, 480, false);
    ASSERT_NE(frame, nullptr);
    Command(ID_SPLIT_SIDE);
    Pump();
    const HWND splitter = FindWindowExW(frame_->ActiveDocument(), nullptr, L"MorrowpadSplitter", nullptr);
    ASSERT_NE(splitter, nullptr);
    const int docked = frame_->Docking().DockedHeight(), caption = frame_->Docking().CaptionHeight();
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
    EXPECT_EQ(Placed(frame), (std::vector<LONG>{20, 1200, 960}));
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

// On a monitor of 192 dpi the fonts are made anew at that resolution and
// given to the bars, the documents and the output window; the status bar's
// parts and icons, the tab images and the edit controls' margins double; back
// at 96 dpi everything is as it was.
TEST_F(Dpi, TheFrameRemakesItsFontsAndBarsAtTheNewResolution) {
    const HWND frame = Start(800, 600, true);
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame_->OutputWindow(), nullptr);
    ASSERT_EQ(dpi::Of(frame), 96) << "the test prefix runs at 96 dpi";
    const Look before = LookOf(*frame_);
    for (size_t i : {0, 2, 3}) ASSERT_LT(before.fonts[i], 0) << i;
    ASSERT_FALSE(before.parts.empty());
    EXPECT_EQ(std::vector<int>({before.icon, before.tabImage, before.paneDpi, before.paneMargin}),
              std::vector<int>({16, 16, 96, 2}));

    MoveToMonitor(frame, 192, {0, 0, 1600, 1200});
    const Look after = LookOf(*frame_);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(after.fonts[i], 2 * before.fonts[i], 1) << "font " << i;
    ASSERT_EQ(after.parts.size(), before.parts.size());
    for (size_t i = 0; i < before.parts.size(); ++i)
        EXPECT_NEAR(after.parts[i], 2 * before.parts[i], before.parts[i] / 5 + 2) << "part " << i + 1;
    EXPECT_EQ(
        std::vector<int>({after.icon, after.tabImage, after.paneDpi, after.paneMargin, after.outputDpi}),
        std::vector<int>({32, 32, 192, 4, 192}));
    EXPECT_GE(after.tabHeight, 2 * before.tabHeight - 4);
    // A document opened now is made at the frame's resolution too.
    Command(ID_FILE_NEW);
    Pump();
    EXPECT_EQ(DpiOf(frame_->ActivePane()), 192);
    EXPECT_NEAR(FontHeight(frame_->ActivePane()), 2 * before.fonts[2], 1);
    EXPECT_EQ(MarginWidth(frame_->ActivePane(), 3), 4);
    frame_->Activate(0);

    MoveToMonitor(frame, 96, {0, 0, 800, 600});
    const Look back = LookOf(*frame_);
    EXPECT_EQ(back.fonts, before.fonts);
    EXPECT_EQ(back.parts, before.parts);
    EXPECT_EQ(std::vector<int>({back.icon, back.tabImage, back.tabHeight, back.paneMargin, back.outputDpi}),
              std::vector<int>({16, 16, before.tabHeight, 2, 96}));
    EXPECT_TRUE(testing_support::Messages().empty());
}

// A floating pane is a top-level window of its own: moved to another
// monitor it takes the suggested rectangle and its pane rescales.
TEST_F(Dpi, AFloatingPaneFollowsItsOwnMonitor) {
    const HWND frame = Start(800, 600, true);
    ASSERT_NE(frame, nullptr);
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
    EXPECT_EQ(Placed(floater), (std::vector<LONG>{100, 600, 400}));
    EXPECT_EQ(DpiOf(output), 192);
    EXPECT_NEAR(FontHeight(output), 2 * font, 1);
    RECT client = {};
    GetClientRect(floater, &client);
    EXPECT_EQ(WindowRect(output).right - WindowRect(output).left, client.right) << "the pane fills the host";
    EXPECT_EQ(dpi::Of(frame), 96) << "the frame stays where it is";
    EXPECT_TRUE(testing_support::Messages().empty());
}
