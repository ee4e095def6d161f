// The docking window in a stand-in frame: docking takes room from the
// bottom of the frame, floating panes are tool windows, the plug-in
// interface's steps out (float, hide, give back), the splitter, the close
// button, and keyboard navigation inside a pane.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <ostream>
#include <string>

#include "BarsHost.h"
#include "ColorScheme.h"
#include "ProgramIds.h"
#include "Settings.h"

using bars_test::Pump;

// Rectangles compare and print as {left,top,right,bottom}.
static bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }
static void PrintTo(const RECT& r, std::ostream* os) {
    *os << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
}

namespace {

MSG Key(HWND hwnd, WPARAM key) {
    return {hwnd, WM_KEYDOWN, key, 1 | LPARAM(MapVirtualKeyW(UINT(key), MAPVK_VK_TO_VSC)) << 16};
}

RECT ScreenRect(HWND window) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    return rc;
}

// The colour at (x, y) of `window`'s client area as it paints itself.
COLORREF PaintedAt(HWND window, int x, int y) {
    RECT rc;
    GetClientRect(window, &rc);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return c;
}

class Docking : public ::testing::Test {
   protected:
    void SetUp() override {
        frame_ = std::make_unique<bars_test::TestFrame>();
        ASSERT_TRUE(frame_->AddDockingWindow());
        window_ = Child(L"Output");
    }
    void TearDown() override { frame_.reset(); }

    // A child of the frame: an edit control, or a window of `cls` in `parent`.
    HWND Child(const wchar_t* text, const wchar_t* cls = L"EDIT", HWND parent = nullptr,
               DWORD style = ES_MULTILINE, DWORD exStyle = 0) {
        return CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 50, 50,
                               parent ? parent : frame_->Window(), nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    }
    shell::CDockingWindow& Dock() { return frame_->Dock(); }
    // A window's rectangle in the frame's client coordinates.
    RECT InFrame(HWND window) {
        RECT rc = ScreenRect(window);
        MapWindowPoints(nullptr, frame_->Window(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    // Nothing docked: the documents have the whole client area.
    void ExpectWholeClient() { EXPECT_EQ(frame_->Rest(), frame_->Client()); }
    // What the docking window says of a window, and whether it shows:
    // "docked shown", "floating shown", "hidden", "none".
    std::string State(HWND w) {
        if (!Dock().IsPane(w)) return "none";
        std::string s = Dock().IsDocked(w) ? "docked" : Dock().IsFloating(w) ? "floating" : "hidden";
        if (Dock().IsVisible(w) != (s != "hidden")) s += " (visible?)";
        return IsWindowVisible(w) ? s + " shown" : s;
    }

    std::unique_ptr<bars_test::TestFrame> frame_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(Docking, ADockedPaneTakesTheBottomOfTheFrameAndHidingGivesItBack) {
    ExpectWholeClient();
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
    EXPECT_EQ(State(window_).substr(0, 4), "none");
    EXPECT_FALSE(Dock().HidePane(window_));
    EXPECT_FALSE(Dock().RemovePane(window_));

    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    EXPECT_GE(frame_->Relayouts(), 1);
    EXPECT_EQ(State(window_), "docked shown");
    EXPECT_EQ(Dock().Title(window_), L"Output");
    EXPECT_NE(GetParent(window_), frame_->Window());
    EXPECT_EQ(GetAncestor(window_, GA_ROOT), frame_->Window());
    const RECT client = frame_->Client(), rest = frame_->Rest();
    EXPECT_EQ(rest, (RECT{client.left, client.top, client.right, client.bottom - Dock().DockedHeight()}));
    EXPECT_TRUE(IsWindowVisible(Dock().Window()));
    EXPECT_EQ(InFrame(Dock().Window()), (RECT{client.left, rest.bottom, client.right, client.bottom}));
    // The pane below the splitter and the caption strip.
    EXPECT_EQ(InFrame(window_),
              (RECT{client.left, rest.bottom + shell::CDockingWindow::kSplitter + Dock().CaptionHeight(),
                    client.right, client.bottom}));
    EXPECT_EQ(Dock().PaneFor(window_), window_);

    const int before = frame_->Relayouts();
    EXPECT_TRUE(Dock().HidePane(window_));
    EXPECT_GT(frame_->Relayouts(), before);
    EXPECT_EQ(State(window_), "hidden");
    ExpectWholeClient();
    // Docking it again shows it where it was.
    EXPECT_TRUE(Dock().DockPane(window_, nullptr));
    EXPECT_EQ(State(window_), "docked shown");
    EXPECT_EQ(Dock().Title(window_), L"Output");
    EXPECT_EQ(frame_->Rest(), rest);
}

TEST_F(Docking, DockedPanesAreStackedInDockingOrder) {
    HWND second = Child(L"Second");
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    ASSERT_TRUE(Dock().DockPane(second, L"Second"));
    const RECT a = InFrame(Dock().HostOf(window_)), b = InFrame(Dock().HostOf(second));
    EXPECT_EQ(a.bottom, b.top);
    EXPECT_EQ(b.bottom, frame_->Client().bottom);
    EXPECT_LE(std::abs((a.bottom - a.top) - (b.bottom - b.top)), 1);
    EXPECT_EQ(a.top, frame_->Rest().bottom + shell::CDockingWindow::kSplitter);
}

TEST_F(Docking, TheSplitterDragsTheDockedHeight) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const int height = Dock().DockedHeight();
    const LONG restBottom = frame_->Rest().bottom;
    HWND dock = Dock().Window();
    // Mouse messages carry client coordinates of the area as it is at that
    // moment: it moves while it is dragged.
    auto mouse = [dock](UINT msg, int screenY) {
        POINT pt = {0, screenY};
        ScreenToClient(dock, &pt);
        SendMessageW(dock, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(30, pt.y));
    };
    const RECT start = ScreenRect(dock);
    const int top = start.top + 2;
    mouse(WM_LBUTTONDOWN, top);
    EXPECT_EQ(GetCapture(), dock);
    mouse(WM_MOUSEMOVE, top - 20);
    mouse(WM_MOUSEMOVE, top - 40);
    mouse(WM_LBUTTONUP, top - 40);
    EXPECT_NE(GetCapture(), dock);
    EXPECT_EQ(Dock().DockedHeight(), height + 40);
    EXPECT_EQ(frame_->Rest().bottom, restBottom - 40);
    const RECT rc = ScreenRect(dock);
    EXPECT_EQ(rc, (RECT{start.left, start.top - 40, start.right, start.bottom}));
    // A move after the button is up changes nothing.
    mouse(WM_MOUSEMOVE, top + 60);
    EXPECT_EQ(Dock().DockedHeight(), height + 40);
    // Dragged far down, the area keeps room for the caption; far up, it
    // leaves the documents their minimum.
    mouse(WM_LBUTTONDOWN, rc.top + 2);
    mouse(WM_MOUSEMOVE, rc.top + 2000);
    EXPECT_GE(Dock().DockedHeight(), shell::CDockingWindow::kSplitter + Dock().CaptionHeight());
    mouse(WM_MOUSEMOVE, rc.top - 2000);
    mouse(WM_LBUTTONUP, rc.top - 2000);
    EXPECT_EQ(frame_->Rest().bottom - frame_->Client().top, shell::CDockingWindow::kMinRest);
}

TEST_F(Docking, TheCloseButtonHidesThePaneOnRelease) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    HWND strip = Dock().HostOf(window_);
    RECT rc;
    GetClientRect(strip, &rc);
    const LPARAM at = MAKELPARAM(rc.right - Dock().CaptionHeight() / 2, Dock().CaptionHeight() / 2);
    SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, at);
    EXPECT_EQ(State(window_), "docked shown");  // only on release
    SendMessageW(strip, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(State(window_), "hidden");
    ExpectWholeClient();
    // Released away from the button, nothing happens.
    Dock().DockPane(window_, nullptr);
    SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(State(window_), "docked shown");
}

TEST_F(Docking, AFloatingPaneIsAToolWindowOfTheFrameAtLeast120Square) {
    SetWindowTextW(window_, std::wstring(200, L'x').c_str());
    ASSERT_TRUE(Dock().FloatPane(window_, RECT{100, 100, 110, 130}));
    EXPECT_EQ(State(window_), "floating shown");
    HWND host = Dock().HostOf(window_);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(GetParent(window_), host);
    EXPECT_EQ(GetWindow(host, GW_OWNER), frame_->Window());
    EXPECT_TRUE(GetWindowLongPtrW(host, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(ScreenRect(host), (RECT{100, 100, 220, 220}));
    wchar_t title[256] = {};
    GetWindowTextW(host, title, 256);
    EXPECT_EQ(std::wstring(title), std::wstring(127, L'x'));
    // The pane window fills the tool window.
    RECT client, pane;
    GetClientRect(host, &client);
    GetClientRect(window_, &pane);
    EXPECT_EQ(pane, client);
    // Nothing was docked.
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
    EXPECT_EQ(Dock().PaneFor(host), window_);
}

TEST_F(Docking, RemovingStepsOutDockedFloatingHiddenGone) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const RECT strip = ScreenRect(Dock().HostOf(window_));
    EXPECT_TRUE(Dock().RemovePane(window_));  // docked: floated where it was
    EXPECT_EQ(State(window_), "floating shown");
    const RECT floated = ScreenRect(Dock().HostOf(window_));
    EXPECT_EQ(std::make_pair(floated.left, floated.top), std::make_pair(strip.left, strip.top));
    ExpectWholeClient();
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
    HWND host = Dock().HostOf(window_);
    EXPECT_TRUE(Dock().RemovePane(window_));  // floating: hidden
    EXPECT_EQ(State(window_), "hidden");
    EXPECT_FALSE(IsWindowVisible(host));
    EXPECT_TRUE(Dock().RemovePane(window_));  // hidden: given back
    EXPECT_EQ(State(window_), "none");
    EXPECT_FALSE(IsWindow(host));
    EXPECT_EQ(GetParent(window_), frame_->Window());
    EXPECT_FALSE(Dock().RemovePane(window_));  // no pane any more
}

TEST_F(Docking, ShowPaneFloatsAtTheWindowsRectangleOrHides) {
    EXPECT_FALSE(Dock().ShowPane(window_, SW_SHOW));  // no pane yet
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    EXPECT_TRUE(Dock().ShowPane(window_, SW_HIDE));  // docked: floated
    EXPECT_EQ(State(window_), "floating shown");
    EXPECT_TRUE(Dock().ShowPane(window_, SW_HIDE));  // floating: hidden
    EXPECT_EQ(State(window_), "hidden");
    const RECT before = ScreenRect(window_);
    EXPECT_TRUE(Dock().ShowPane(window_, SW_SHOW));
    EXPECT_EQ(State(window_), "floating shown");
    EXPECT_EQ(ScreenRect(window_), before);
}

TEST_F(Docking, DestroyPaneGivesWindowsBackAsTheyWere) {
    HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Plug", WS_POPUP | WS_CAPTION, 10, 10, 100,
                                 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(popup, nullptr));
    EXPECT_EQ(Dock().Title(popup), L"Plug");
    EXPECT_EQ(GetWindowLongPtrW(popup, GWL_STYLE) & (WS_CHILD | WS_CAPTION), LONG_PTR(WS_CHILD));
    EXPECT_TRUE(Dock().DestroyPane(popup));
    // A top-level window gets its styles back.
    EXPECT_EQ(GetWindowLongPtrW(popup, GWL_STYLE) & (WS_CHILD | WS_POPUP | WS_CAPTION),
              LONG_PTR(WS_POPUP | WS_CAPTION));
    EXPECT_TRUE(GetWindowLongPtrW(popup, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetAncestor(popup, GA_PARENT), GetDesktopWindow());
    ExpectWholeClient();
    DestroyWindow(popup);
    // One created in the docking window (as the output window is) goes back there.
    HWND output = Child(L"Output", L"EDIT", Dock().Window());
    ASSERT_TRUE(Dock().DockPane(output, L"Output"));
    EXPECT_EQ(State(output), "docked shown");
    EXPECT_TRUE(Dock().DestroyPane(output));
    EXPECT_EQ(GetParent(output), Dock().Window());
    // A pane whose window is destroyed goes.
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    DestroyWindow(window_);
    Pump();
    EXPECT_EQ(State(window_), "none");
    ExpectWholeClient();
}

TEST_F(Docking, PanesGoWithTheFrame) {
    HWND floating = Child(L"Floating");
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    ASSERT_TRUE(Dock().FloatPane(floating, RECT{700, 100, 900, 300}));
    HWND host = Dock().HostOf(floating);
    DestroyWindow(frame_->Window());
    Pump();
    EXPECT_FALSE(IsWindow(window_) || IsWindow(floating) || IsWindow(host));
}

TEST_F(Docking, PaneForFindsThePaneOfAnyWindowInsideAndTabMovesBetweenItsControls) {
    HWND container = Child(L"Box", L"STATIC", nullptr, 0, WS_EX_CONTROLPARENT);
    HWND one = Child(L"One", L"BUTTON", container, 0), two = Child(L"Two", L"BUTTON", container, 0);
    ASSERT_TRUE(Dock().DockPane(container, L"Box"));
    EXPECT_EQ(Dock().PaneFor(one), container);
    EXPECT_EQ(Dock().PaneFor(Dock().HostOf(container)), container);
    EXPECT_EQ(Dock().PaneFor(window_), nullptr);
    EXPECT_EQ(Dock().PaneFor(frame_->Window()), nullptr);
    EXPECT_FALSE(Dock().DockPane(one, L"inside a pane"));
    EXPECT_FALSE(Dock().DockPane(frame_->Window(), L"the frame"));

    SetForegroundWindow(frame_->Window());
    SetFocus(one);
    ASSERT_EQ(GetFocus(), one);
    MSG tab = Key(one, VK_TAB);
    EXPECT_TRUE(Dock().PreTranslate(&tab));
    EXPECT_EQ(GetFocus(), two);
    // Keys that are no navigation, and keys outside any pane, go on.
    MSG letter = Key(two, 'A');
    EXPECT_FALSE(Dock().PreTranslate(&letter));
    SetFocus(window_);
    MSG outside = Key(window_, VK_TAB);
    EXPECT_FALSE(Dock().PreTranslate(&outside));
}

TEST_F(Docking, APaneThatIsOneControlKeepsItsKeysAndHidingItGivesTheFocusToTheFrame) {
    // Like the output window: a control that does not answer WM_GETDLGCODE
    // but turns arrows into caret moves further down the loop; and an edit
    // control that wants every key.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BarsTestPlainControl";
    RegisterClassW(&wc);
    SetForegroundWindow(frame_->Window());
    for (HWND pane : {Child(L"Plain", wc.lpszClassName, nullptr, 0), window_}) {
        ASSERT_TRUE(Dock().DockPane(pane, L"Pane"));
        SetFocus(pane);
        ASSERT_EQ(GetFocus(), pane);
        for (UINT key : {VK_DOWN, VK_LEFT, VK_TAB, VK_RETURN, VK_ESCAPE}) {
            MSG msg = Key(pane, key);
            EXPECT_FALSE(Dock().PreTranslate(&msg)) << key;
        }
        EXPECT_EQ(GetFocus(), pane);
        Dock().HidePane(pane);
        EXPECT_EQ(GetFocus(), frame_->Window());
    }
}

// The caption strip and the split bar take the dark scheme's frame colours,
// and the system's again with the light one.
TEST_F(Docking, TheCaptionAndTheSplitBarFollowTheColourScheme) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"mp-dock-scheme\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    settings::SetProgramFolder(folder);
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const HWND strip = Dock().HostOf(window_);
    ASSERT_NE(strip, nullptr);
    const int middle = Dock().CaptionHeight() / 2;
    const COLORREF system = GetSysColor(COLOR_3DFACE);
    scheme::Choose(scheme::Scheme::Light);
    EXPECT_EQ(std::make_pair(PaintedAt(strip, 2, middle), PaintedAt(Dock().Window(), 10, 2)),
              std::make_pair(system, system));
    scheme::Choose(scheme::Scheme::Dark);
    const COLORREF face = scheme::ChromeColor(scheme::Chrome::Face);
    EXPECT_NE(face, system);
    EXPECT_LT(GetRValue(face) + GetGValue(face) + GetBValue(face), 3 * 80) << "dark";
    const COLORREF text = scheme::ChromeColor(scheme::Chrome::Text);
    EXPECT_GT(GetRValue(text) + GetGValue(text) + GetBValue(text), 3 * 160) << "light on dark";
    EXPECT_EQ(std::make_pair(PaintedAt(strip, 2, middle), PaintedAt(Dock().Window(), 10, 2)),
              std::make_pair(face, face));
    scheme::Choose(scheme::Scheme::Light);
    EXPECT_EQ(PaintedAt(strip, 2, middle), system);

    settings::SetProgramFolder(L"");
    DeleteFileW((folder + L"setting.ini").c_str());
    RemoveDirectoryW(folder.c_str());
}
