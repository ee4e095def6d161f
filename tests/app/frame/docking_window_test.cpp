// The docking window in a stand-in frame: docking takes room from the
// bottom of the frame, floating panes are tool windows, the plug-in
// interface's steps out (float, hide, give back), the splitter, the close
// button, and keyboard navigation inside a pane.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "BarsHost.h"
#include "ColorScheme.h"
#include "ProgramIds.h"
#include "Settings.h"

using bars_test::Pump;
using bars_test::TestFrame;

namespace {

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

MSG Key(HWND hwnd, UINT message, WPARAM key) {
    MSG msg = {};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = 1 | LPARAM(MapVirtualKeyW(UINT(key), MAPVK_VK_TO_VSC)) << 16;
    return msg;
}

class Docking : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = std::make_unique<TestFrame>();
        ASSERT_TRUE(frame_->AddDockingWindow());
        window_ = Child(L"Output");
    }
    void TearDown() override { frame_.reset(); }

    HWND Child(const wchar_t* text) {
        return CreateWindowExW(0, L"EDIT", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE, 0, 0, 50,
                               50, frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    shell::CDockingWindow& Dock() { return frame_->Dock(); }
    // A window's rectangle in the frame's client coordinates.
    RECT InFrame(HWND window) {
        RECT rc;
        GetWindowRect(window, &rc);
        MapWindowPoints(nullptr, frame_->Window(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    std::unique_ptr<TestFrame> frame_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(Docking, WithoutPanesTheDocumentsHaveTheWholeClientArea) {
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
    EXPECT_FALSE(Dock().IsPane(window_));
    EXPECT_FALSE(Dock().HidePane(window_));
    EXPECT_FALSE(Dock().RemovePane(window_));
}

TEST_F(Docking, ADockedPaneTakesTheBottomOfTheFrame) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    EXPECT_GE(frame_->Relayouts(), 1);
    EXPECT_TRUE(Dock().IsPane(window_));
    EXPECT_TRUE(Dock().IsVisible(window_));
    EXPECT_TRUE(Dock().IsDocked(window_));
    EXPECT_FALSE(Dock().IsFloating(window_));
    EXPECT_EQ(Dock().Title(window_), L"Output");
    EXPECT_NE(GetParent(window_), frame_->Window());
    EXPECT_EQ(GetAncestor(window_, GA_ROOT), frame_->Window());

    const RECT client = frame_->Client();
    const RECT rest = frame_->Rest();
    EXPECT_EQ(rest.top, client.top);
    EXPECT_EQ(rest.bottom, client.bottom - Dock().DockedHeight());
    EXPECT_TRUE(IsWindowVisible(Dock().Window()));
    const RECT dock = InFrame(Dock().Window());
    EXPECT_EQ(dock.top, rest.bottom);
    EXPECT_EQ(dock.bottom, client.bottom);
    const RECT pane = InFrame(window_);
    EXPECT_EQ(pane.bottom, client.bottom);
    EXPECT_EQ(pane.left, client.left);
    EXPECT_EQ(pane.right, client.right);
    // Below the splitter and the caption strip.
    EXPECT_EQ(pane.top, rest.bottom + shell::CDockingWindow::kSplitter + Dock().CaptionHeight());
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(Dock().PaneFor(window_), window_);
}

TEST_F(Docking, HidingTheDockedPaneGivesTheRoomBack) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const int before = frame_->Relayouts();
    EXPECT_TRUE(Dock().HidePane(window_));
    EXPECT_GT(frame_->Relayouts(), before);
    EXPECT_FALSE(Dock().IsVisible(window_));
    EXPECT_TRUE(Dock().IsPane(window_));
    EXPECT_FALSE(IsWindowVisible(window_));
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
    // Docking it again shows it where it was.
    EXPECT_TRUE(Dock().DockPane(window_, nullptr));
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_EQ(Dock().Title(window_), L"Output");
    EXPECT_LT(frame_->Rest().bottom, client.bottom);
}

TEST_F(Docking, DockedPanesAreStackedInDockingOrder) {
    HWND second = Child(L"Second");
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    ASSERT_TRUE(Dock().DockPane(second, L"Second"));
    const RECT a = InFrame(Dock().HostOf(window_));
    const RECT b = InFrame(Dock().HostOf(second));
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
    RECT start;
    GetWindowRect(dock, &start);
    const int top = start.top + 2;
    mouse(WM_LBUTTONDOWN, top);
    EXPECT_EQ(GetCapture(), dock);
    mouse(WM_MOUSEMOVE, top - 20);
    mouse(WM_MOUSEMOVE, top - 40);
    mouse(WM_LBUTTONUP, top - 40);
    EXPECT_NE(GetCapture(), dock);
    EXPECT_EQ(Dock().DockedHeight(), height + 40);
    EXPECT_EQ(frame_->Rest().bottom, restBottom - 40);
    RECT rc;
    GetWindowRect(dock, &rc);
    EXPECT_EQ(rc.bottom - rc.top, height + 40);
    EXPECT_EQ(rc.bottom, start.bottom);
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
    const RECT client = frame_->Client();
    EXPECT_EQ(frame_->Rest().bottom - client.top, shell::CDockingWindow::kMinRest);
}

TEST_F(Docking, TheCloseButtonHidesThePane) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    HWND strip = Dock().HostOf(window_);
    RECT rc;
    GetClientRect(strip, &rc);
    const LPARAM at = MAKELPARAM(rc.right - Dock().CaptionHeight() / 2, Dock().CaptionHeight() / 2);
    SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, at);
    EXPECT_TRUE(Dock().IsVisible(window_));  // only on release
    SendMessageW(strip, WM_LBUTTONUP, 0, at);
    EXPECT_FALSE(Dock().IsVisible(window_));
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
    // Released away from the button, nothing happens.
    Dock().DockPane(window_, nullptr);
    SendMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(strip, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(Dock().IsVisible(window_));
}

TEST_F(Docking, AFloatingPaneIsAToolWindowOfTheFrameAtLeast120Square) {
    SetWindowTextW(window_, std::wstring(200, L'x').c_str());
    const RECT small = {100, 100, 110, 130};
    ASSERT_TRUE(Dock().FloatPane(window_, small));
    EXPECT_TRUE(Dock().IsFloating(window_));
    EXPECT_TRUE(Dock().IsVisible(window_));
    HWND host = Dock().HostOf(window_);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(GetParent(window_), host);
    EXPECT_EQ(GetWindow(host, GW_OWNER), frame_->Window());
    EXPECT_TRUE(GetWindowLongPtrW(host, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(IsWindowVisible(host));
    RECT rc;
    GetWindowRect(host, &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 100);
    EXPECT_EQ(rc.right - rc.left, 120);
    EXPECT_EQ(rc.bottom - rc.top, 120);
    wchar_t title[256] = {};
    GetWindowTextW(host, title, 256);
    EXPECT_EQ(std::wstring(title), std::wstring(127, L'x'));
    // The pane window fills the tool window.
    RECT client, pane;
    GetClientRect(host, &client);
    GetClientRect(window_, &pane);
    EXPECT_EQ(pane.right, client.right);
    EXPECT_EQ(pane.bottom, client.bottom);
    // Nothing was docked.
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
    EXPECT_EQ(Dock().PaneFor(host), window_);
}

TEST_F(Docking, RemovingStepsOutFloatingHiddenGone) {
    const RECT rc = {200, 150, 500, 400};
    ASSERT_TRUE(Dock().FloatPane(window_, rc));
    HWND host = Dock().HostOf(window_);
    EXPECT_TRUE(Dock().RemovePane(window_));  // floating: hidden
    EXPECT_TRUE(Dock().IsPane(window_));
    EXPECT_FALSE(Dock().IsVisible(window_));
    EXPECT_FALSE(IsWindowVisible(host));
    EXPECT_TRUE(Dock().RemovePane(window_));  // hidden: given back
    EXPECT_FALSE(Dock().IsPane(window_));
    EXPECT_FALSE(IsWindow(host));
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_EQ(GetParent(window_), frame_->Window());
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_FALSE(Dock().RemovePane(window_));  // no pane any more
}

TEST_F(Docking, RemovingADockedPaneFloatsIt) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const RECT strip = [&] {
        RECT r;
        GetWindowRect(Dock().HostOf(window_), &r);
        return r;
    }();
    EXPECT_TRUE(Dock().RemovePane(window_));
    EXPECT_TRUE(Dock().IsFloating(window_));
    RECT rc;
    GetWindowRect(Dock().HostOf(window_), &rc);
    EXPECT_EQ(rc.left, strip.left);
    EXPECT_EQ(rc.top, strip.top);
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
    EXPECT_FALSE(IsWindowVisible(Dock().Window()));
}

TEST_F(Docking, ShowPaneFloatsAtTheWindowsRectangleOrHides) {
    EXPECT_FALSE(Dock().ShowPane(window_, SW_SHOW));  // no pane yet
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    EXPECT_TRUE(Dock().ShowPane(window_, SW_HIDE));  // docked: floated
    EXPECT_TRUE(Dock().IsFloating(window_));
    EXPECT_TRUE(Dock().ShowPane(window_, SW_HIDE));  // floating: hidden
    EXPECT_FALSE(Dock().IsVisible(window_));
    RECT before;
    GetWindowRect(window_, &before);
    EXPECT_TRUE(Dock().ShowPane(window_, SW_SHOW));
    EXPECT_TRUE(Dock().IsFloating(window_));
    EXPECT_TRUE(IsWindowVisible(window_));
    RECT after;
    GetWindowRect(window_, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(Docking, DestroyPaneGivesATopLevelWindowItsStylesBack) {
    HWND popup = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"Plug", WS_POPUP | WS_CAPTION, 10, 10, 100,
                                 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(popup, nullptr));
    EXPECT_EQ(Dock().Title(popup), L"Plug");
    EXPECT_TRUE(GetWindowLongPtrW(popup, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE(GetWindowLongPtrW(popup, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(Dock().DestroyPane(popup));
    const LONG_PTR style = GetWindowLongPtrW(popup, GWL_STYLE);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_EQ(style & WS_CAPTION, LONG_PTR(WS_CAPTION));
    EXPECT_TRUE(GetWindowLongPtrW(popup, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetAncestor(popup, GA_PARENT), GetDesktopWindow());
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
    DestroyWindow(popup);
}

TEST_F(Docking, APaneWhoseWindowIsDestroyedGoes) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    DestroyWindow(window_);
    Pump();
    EXPECT_FALSE(Dock().IsPane(window_));
    const RECT client = frame_->Client();
    EXPECT_TRUE(SameRect(client, frame_->Rest()));
}

TEST_F(Docking, PaneForFindsThePaneOfAnyWindowInside) {
    HWND container = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"Box", WS_CHILD | WS_VISIBLE, 0, 0, 100,
                                     100, frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND inner = CreateWindowExW(0, L"BUTTON", L"One", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, container,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(container, nullptr));
    EXPECT_EQ(Dock().PaneFor(inner), container);
    EXPECT_EQ(Dock().PaneFor(Dock().HostOf(container)), container);
    EXPECT_EQ(Dock().PaneFor(window_), nullptr);
    EXPECT_EQ(Dock().PaneFor(frame_->Window()), nullptr);
    EXPECT_FALSE(Dock().DockPane(inner, L"inside a pane"));
    EXPECT_FALSE(Dock().DockPane(frame_->Window(), L"the frame"));
}

TEST_F(Docking, TabMovesBetweenTheControlsOfTheFocusedPane) {
    HWND container = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"Box", WS_CHILD | WS_VISIBLE, 0, 0, 100,
                                     100, frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND one = CreateWindowExW(0, L"BUTTON", L"One", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 40, 20,
                               container, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND two = CreateWindowExW(0, L"BUTTON", L"Two", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 50, 0, 40, 20,
                               container, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(container, L"Box"));
    SetForegroundWindow(frame_->Window());
    SetFocus(one);
    ASSERT_EQ(GetFocus(), one);
    MSG tab = Key(one, WM_KEYDOWN, VK_TAB);
    EXPECT_TRUE(Dock().PreTranslate(&tab));
    EXPECT_EQ(GetFocus(), two);
    // Keys that are no navigation, and keys outside any pane, go on.
    MSG letter = Key(two, WM_KEYDOWN, 'A');
    EXPECT_FALSE(Dock().PreTranslate(&letter));
    SetFocus(window_);
    MSG outside = Key(window_, WM_KEYDOWN, VK_TAB);
    EXPECT_FALSE(Dock().PreTranslate(&outside));
    // An edit control that wants every key keeps them.
    HWND edit = Child(L"");
    ASSERT_TRUE(Dock().DockPane(edit, L"Edit"));
    SetFocus(edit);
    MSG down = Key(edit, WM_KEYDOWN, VK_DOWN);
    EXPECT_FALSE(Dock().PreTranslate(&down));
    EXPECT_EQ(GetFocus(), edit);
}

TEST_F(Docking, APaneThatIsOneControlKeepsItsKeys) {
    // Like the output window: a control that does not answer WM_GETDLGCODE
    // but turns arrows into caret moves further down the loop.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BarsTestPlainControl";
    RegisterClassW(&wc);
    HWND plain = CreateWindowExW(0, wc.lpszClassName, L"Plain", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 40,
                                 40, frame_->Window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(plain, L"Plain"));
    SetForegroundWindow(frame_->Window());
    SetFocus(plain);
    ASSERT_EQ(GetFocus(), plain);
    for (UINT key : {VK_DOWN, VK_LEFT, VK_TAB, VK_RETURN, VK_ESCAPE}) {
        MSG msg = Key(plain, WM_KEYDOWN, key);
        EXPECT_FALSE(Dock().PreTranslate(&msg)) << key;
    }
    EXPECT_EQ(GetFocus(), plain);
}

TEST_F(Docking, HidingThePaneWithTheFocusGivesTheFocusToTheFrame) {
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    SetForegroundWindow(frame_->Window());
    SetFocus(window_);
    ASSERT_EQ(GetFocus(), window_);
    Dock().HidePane(window_);
    EXPECT_EQ(GetFocus(), frame_->Window());
}

TEST_F(Docking, AWindowCreatedInTheDockingWindowDocksAndGoesBackThere) {
    // The output window is created as a child of the docking window.
    HWND output = CreateWindowExW(0, L"EDIT", L"Output", WS_CHILD | ES_MULTILINE, 0, 0, 10, 10, Dock().Window(),
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(Dock().DockPane(output, L"Output"));
    EXPECT_TRUE(IsWindowVisible(output));
    EXPECT_TRUE(Dock().IsDocked(output));
    EXPECT_TRUE(Dock().DestroyPane(output));
    EXPECT_EQ(GetParent(output), Dock().Window());
}

TEST_F(Docking, PanesGoWithTheFrame) {
    HWND floating = Child(L"Floating");
    ASSERT_TRUE(Dock().DockPane(window_, L"Output"));
    const RECT rc = {700, 100, 900, 300};
    ASSERT_TRUE(Dock().FloatPane(floating, rc));
    HWND host = Dock().HostOf(floating);
    DestroyWindow(frame_->Window());
    Pump();
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_FALSE(IsWindow(floating));
    EXPECT_FALSE(IsWindow(host));
}

namespace {

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

}  // namespace

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

    scheme::Choose(scheme::Scheme::Light);
    EXPECT_EQ(PaintedAt(strip, 2, middle), GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(PaintedAt(Dock().Window(), 10, 2), GetSysColor(COLOR_3DFACE));
    scheme::Choose(scheme::Scheme::Dark);
    const COLORREF face = scheme::ChromeColor(scheme::Chrome::Face);
    EXPECT_NE(face, GetSysColor(COLOR_3DFACE));
    EXPECT_LT(GetRValue(face) + GetGValue(face) + GetBValue(face), 3 * 80) << "dark";
    const COLORREF text = scheme::ChromeColor(scheme::Chrome::Text);
    EXPECT_GT(GetRValue(text) + GetGValue(text) + GetBValue(text), 3 * 160) << "light on dark";
    EXPECT_EQ(PaintedAt(strip, 2, middle), face);
    EXPECT_EQ(PaintedAt(Dock().Window(), 10, 2), face);
    scheme::Choose(scheme::Scheme::Light);
    EXPECT_EQ(PaintedAt(strip, 2, middle), GetSysColor(COLOR_3DFACE));

    settings::SetProgramFolder(L"");
    DeleteFileW((folder + L"setting.ini").c_str());
    RemoveDirectoryW(folder.c_str());
}
