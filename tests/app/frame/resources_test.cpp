// The executable's own resources, read from this test executable (it is
// linked with the same resource script): tool bars and their image strips,
// the icons, the recording cursor and the tear-off strip.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <set>

#include "CommandIds.h"
#include "Pixels.h"
#include "ProgramIds.h"
#include "ToolBarResource.h"

namespace {

const std::vector<WORD> kMainButtons = {1231, 57601, 57603, 57604, 0,    57609, 57607, 0,     57643, 57644,
                                        0,    57635, 57634, 57637, 0,    1320,  0,     57636, 57641, 1408,
                                        0,    1276,  1277,  1278,  1279, 0,     1425,  1424,  0,     1205,
                                        1204, 1208,  0,     1570,  1571, 1573,  0,     57664};
const std::vector<WORD> kPrintButtons = {57607, 3000, 3001, 3005, 3006, 3002, 3003, 3004, 3007};

HMODULE Self() { return GetModuleHandleW(nullptr); }

using testing_support::Pixels;

Pixels ReadBitmapResource(int id) {
    auto bitmap = static_cast<HBITMAP>(
        LoadImageW(Self(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    Pixels out = testing_support::ReadBitmap(bitmap);
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
    const Pixels p = testing_support::Drawn(
        w, h, [&](HDC dc) { DrawIconEx(dc, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL); });
    ASSERT_EQ(p.width, w);
    const std::vector<COLORREF> all = p.all();
    EXPECT_GE(all.size() - size_t(std::count(all.begin(), all.end(), RGB(255, 255, 255))), size_t(w * h / 8));
    EXPECT_GE(std::set<COLORREF>(all.begin(), all.end()).size(), 4u);
}

// The tool bars' buttons in order, 16 x 15 images, one per button, none of
// them blank; a tool bar that is not there is empty.
TEST(Resources, ToolBarsHaveTheirButtonsInOrderAndAnImageEach) {
    const struct {
        int bar, bitmap;
        const std::vector<WORD>& buttons;
    } bars[] = {{IDR_MAIN_TOOLBAR, IDB_TOOLBAR, kMainButtons},
                {IDR_PRINT_TOOLBAR, IDB_PRINT_TOOLBAR, kPrintButtons}};
    for (const auto& b : bars) {
        SCOPED_TRACE(b.bar);
        int width = 0, height = 0;
        EXPECT_EQ(shell::LoadToolBarResource(Self(), b.bar, &width, &height), b.buttons);
        EXPECT_EQ(std::vector<int>({width, height}), std::vector<int>({16, 15}));
        ExpectNoBlankImage(ReadBitmapResource(b.bitmap),
                           b.buttons.size() - size_t(std::count(b.buttons.begin(), b.buttons.end(), 0)));
    }
    int width = -1;
    EXPECT_TRUE(shell::LoadToolBarResource(Self(), 9999, &width, nullptr).empty());
    EXPECT_EQ(width, -1);
}

// The tear-off strip is a wide band; the program icon has 16, 32 and 48
// pixels, each visible; the status bar's icons have their sizes; the
// recording cursor is a cursor of 32 pixels with its hot spot at the corner.
TEST(Resources, TheStripTheIconsAndTheCursorHaveTheirSizes) {
    const Pixels strip = ReadBitmapResource(IDB_TEAR_OFF);
    EXPECT_GE(strip.width, 5 * strip.height);
    EXPECT_GE(strip.height, 4);
    const struct {
        int id, w, h;
        bool visible;
    } icons[] = {{IDI_MAINFRAME, 16, 16, true},    {IDI_MAINFRAME, 32, 32, true},
                 {IDI_MAINFRAME, 48, 48, true},    {IDI_PANE_MENU, 9, 16, false},
                 {IDI_PANE_SYNTAX, 16, 16, false}, {IDI_PANE_TABS, 16, 16, false}};
    for (const auto& i : icons) {
        SCOPED_TRACE(testing::Message() << i.id << " " << i.w << "x" << i.h);
        EXPECT_TRUE(GroupSizes(i.id, RT_GROUP_ICON).count({i.w, i.h}));
        auto icon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(i.id), IMAGE_ICON, i.w, i.h, 0));
        EXPECT_TRUE(icon);
        if (i.visible) ExpectVisibleIcon(icon, i.w, i.h);
        if (icon) DestroyIcon(icon);
    }
    EXPECT_TRUE(GroupSizes(IDC_RECORDING, RT_GROUP_CURSOR).count({32, 32}));
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(LoadCursorW(Self(), MAKEINTRESOURCEW(IDC_RECORDING)), &info));
    EXPECT_EQ(std::vector<DWORD>({DWORD(info.fIcon), info.xHotspot, info.yHotspot}),
              std::vector<DWORD>({0, 0, 0}));
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
}

TEST(Resources, ToolBarWindowFromResource) {
    const INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
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
        EXPECT_EQ(std::vector<int>({b.idCommand, b.iBitmap, b.fsState & TBSTATE_ENABLED}),
                  std::vector<int>({kMainButtons[i], image++, TBSTATE_ENABLED}));
    }
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(bar, TB_GETIMAGELIST, 0, 0));
    int w = 0, h = 0;
    ImageList_GetIconSize(images, &w, &h);
    EXPECT_EQ(std::vector<int>({ImageList_GetImageCount(images), w, h}), std::vector<int>({image, 16, 15}));
    const LONG style = TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
    EXPECT_EQ(GetWindowLongW(bar, GWL_STYLE) & style, style);
    SIZE ideal = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
    EXPECT_GT(ideal.cx, 28 * 16);
    // Without its bitmap or its tool-bar resource, no tool bar.
    EXPECT_FALSE(shell::CreateToolBarFromResource(parent, Self(), IDR_MAIN_TOOLBAR, 9999, 1));
    EXPECT_FALSE(shell::CreateToolBarFromResource(parent, Self(), 9999, IDB_TOOLBAR, 1));
    DestroyWindow(parent);
}

}  // namespace
