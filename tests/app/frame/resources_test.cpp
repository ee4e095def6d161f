// The executable's own resources, read from this test executable (it is
// linked with the same resource script): tool bars and their image strips,
// the icons, the recording cursor and the tear-off strip.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <set>

#include "CommandIds.h"
#include "ProgramIds.h"
#include "ToolBarResource.h"

namespace {

const std::vector<WORD> kMainButtons = {1231, 57601, 57603, 57604, 0,    57609, 57607, 0,     57643, 57644,
                                        0,    57635, 57634, 57637, 0,    1320,  0,     57636, 57641, 1408,
                                        0,    1276,  1277,  1278,  1279, 0,     1425,  1424,  0,     1205,
                                        1204, 1208,  0,     1570,  1571, 1573,  0,     57664};
const std::vector<WORD> kPrintButtons = {57607, 3000, 3001, 3005, 3006, 3002, 3003, 3004, 3007};

HMODULE Self() { return GetModuleHandleW(nullptr); }

size_t ImageCount(const std::vector<WORD>& items) {
    size_t n = 0;
    for (WORD id : items) n += id != 0;
    return n;
}

// A bitmap resource as top-down 0x00RRGGBB pixels.
struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> p;
    DWORD at(int x, int y) const { return p[size_t(y) * width + x] & 0xFFFFFF; }
};

Pixels ReadBitmap(HBITMAP bitmap) {
    Pixels out;
    BITMAP info = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return out;
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    out.p.resize(size_t(out.width) * out.height);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = out.width;
    bi.bmiHeader.biHeight = -out.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, out.height, out.p.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != out.height) out = Pixels();
    return out;
}

Pixels ReadBitmapResource(int id) {
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(Self(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    Pixels out = ReadBitmap(bitmap);
    if (bitmap) DeleteObject(bitmap);
    return out;
}

// Every 16-pixel image of the strip has at least a few opaque pixels.
void ExpectNoBlankImage(const Pixels& strip, size_t images) {
    ASSERT_EQ(strip.width, int(16 * images));
    ASSERT_EQ(strip.height, 15);
    for (size_t i = 0; i < images; ++i) {
        std::set<DWORD> colours;
        int opaque = 0;
        for (int y = 0; y < 15; ++y)
            for (int x = 0; x < 16; ++x) {
                const DWORD c = strip.at(int(i) * 16 + x, y);
                if (c != 0xFF00FF) ++opaque, colours.insert(c);
            }
        EXPECT_GE(opaque, 20) << "image " << i;
        EXPECT_GE(colours.size(), 2u) << "image " << i;
    }
}

// The sizes in an icon or cursor group resource.
std::set<std::pair<int, int>> GroupSizes(int id, LPCWSTR type) {
    std::set<std::pair<int, int>> sizes;
    HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(id), type);
    if (!found) return sizes;
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(Self(), found)));
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;
        if (type == RT_GROUP_ICON)
            sizes.insert({entry[0] ? entry[0] : 256, entry[1] ? entry[1] : 256});
        else  // a cursor entry holds WORD width and WORD height (twice the image)
            sizes.insert(
                {*reinterpret_cast<const WORD*>(entry), *reinterpret_cast<const WORD*>(entry + 2) / 2});
    }
    return sizes;
}

// The colour pixels of an icon drawn over white and over black: a visible
// icon changes some pixels and is not one flat colour.
void ExpectVisibleIcon(HICON icon, int w, int h) {
    ASSERT_TRUE(icon);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r = {0, 0, w, h};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    SelectObject(dc, old);
    Pixels p = ReadBitmap(bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ASSERT_EQ(p.width, w);
    std::set<DWORD> colours;
    int drawn = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            colours.insert(p.at(x, y));
            drawn += p.at(x, y) != 0xFFFFFF;
        }
    EXPECT_GE(drawn, w * h / 8);
    EXPECT_GE(colours.size(), 4u);
}

TEST(Resources, MainToolBarButtonsInOrder) {
    int width = 0, height = 0;
    EXPECT_EQ(shell::LoadToolBarResource(Self(), IDR_MAIN_TOOLBAR, &width, &height), kMainButtons);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
}

TEST(Resources, PrintToolBarButtonsInOrder) {
    int width = 0, height = 0;
    EXPECT_EQ(shell::LoadToolBarResource(Self(), IDR_PRINT_TOOLBAR, &width, &height), kPrintButtons);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 15);
}

TEST(Resources, MissingToolBarIsEmpty) {
    int width = -1;
    EXPECT_TRUE(shell::LoadToolBarResource(Self(), 9999, &width, nullptr).empty());
    EXPECT_EQ(width, -1);
}

TEST(Resources, MainToolBarHasOneImagePerButton) {
    ExpectNoBlankImage(ReadBitmapResource(IDB_TOOLBAR), ImageCount(kMainButtons));
}

TEST(Resources, PrintToolBarHasOneImagePerButton) {
    ExpectNoBlankImage(ReadBitmapResource(IDB_PRINT_TOOLBAR), ImageCount(kPrintButtons));
}

TEST(Resources, TearOffStripIsAWideBand) {
    const Pixels strip = ReadBitmapResource(IDB_TEAR_OFF);
    EXPECT_GE(strip.width, 5 * strip.height);
    EXPECT_GE(strip.height, 4);
}

TEST(Resources, ProgramIconHas16And32And48Pixels) {
    const auto sizes = GroupSizes(IDI_MAINFRAME, RT_GROUP_ICON);
    for (int s : {16, 32, 48}) {
        EXPECT_TRUE(sizes.count({s, s})) << s;
        auto icon =
            static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(IDI_MAINFRAME), IMAGE_ICON, s, s, 0));
        ExpectVisibleIcon(icon, s, s);
        if (icon) DestroyIcon(icon);
    }
}

TEST(Resources, StatusBarIconsHaveTheirSizes) {
    const struct {
        int id, w, h;
    } icons[] = {{IDI_PANE_MENU, 9, 16}, {IDI_PANE_SYNTAX, 16, 16}, {IDI_PANE_TABS, 16, 16}};
    for (const auto& i : icons) {
        EXPECT_TRUE(GroupSizes(i.id, RT_GROUP_ICON).count({i.w, i.h})) << i.id;
        auto icon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(i.id), IMAGE_ICON, i.w, i.h, 0));
        EXPECT_TRUE(icon) << i.id;
        if (icon) DestroyIcon(icon);
    }
}

TEST(Resources, RecordingCursorLoads) {
    EXPECT_TRUE(GroupSizes(IDC_RECORDING, RT_GROUP_CURSOR).count({32, 32}));
    HCURSOR cursor = LoadCursorW(Self(), MAKEINTRESOURCEW(IDC_RECORDING));
    ASSERT_TRUE(cursor);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 0u);
    EXPECT_EQ(info.yHotspot, 0u);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
}

TEST(Resources, ToolBarWindowFromResource) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 600, 100, nullptr, nullptr,
                                  Self(), nullptr);
    ASSERT_TRUE(parent);
    HWND bar = shell::CreateToolBarFromResource(parent, Self(), IDR_MAIN_TOOLBAR, IDB_TOOLBAR, 0xE800);
    ASSERT_TRUE(bar);
    EXPECT_EQ(GetDlgCtrlID(bar), 0xE800);
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), LRESULT(kMainButtons.size()));
    int image = 0;
    for (size_t i = 0; i < kMainButtons.size(); ++i) {
        TBBUTTON b = {};
        ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b)));
        if (kMainButtons[i] == 0) {
            EXPECT_TRUE(b.fsStyle & BTNS_SEP) << i;
            continue;
        }
        EXPECT_EQ(b.idCommand, kMainButtons[i]);
        EXPECT_EQ(b.iBitmap, image++);
        EXPECT_TRUE(b.fsState & TBSTATE_ENABLED);
    }
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0));
    EXPECT_EQ(ImageList_GetImageCount(images), image);
    int w = 0, h = 0;
    ImageList_GetIconSize(images, &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 15);
    const LONG style = GetWindowLongW(bar, GWL_STYLE);
    for (LONG bit : {LONG(TBSTYLE_FLAT), LONG(TBSTYLE_TOOLTIPS), LONG(CCS_NODIVIDER), LONG(CCS_NORESIZE),
                     LONG(CCS_NOPARENTALIGN)})
        EXPECT_EQ(style & bit, bit);
    SIZE ideal = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
    EXPECT_GT(ideal.cx, 28 * 16);
    DestroyWindow(parent);
}

TEST(Resources, ToolBarWindowNeedsItsBitmap) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  Self(), nullptr);
    ASSERT_TRUE(parent);
    EXPECT_FALSE(shell::CreateToolBarFromResource(parent, Self(), IDR_MAIN_TOOLBAR, 9999, 1));
    EXPECT_FALSE(shell::CreateToolBarFromResource(parent, Self(), 9999, IDB_TOOLBAR, 1));
    DestroyWindow(parent);
}

}  // namespace
