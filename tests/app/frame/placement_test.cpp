// Setting/WinPos: what parses, how a size is scaled to another work area,
// and restoring it on a real window.
#include <gtest/gtest.h>

#include "Settings.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

using shell::ParseWinPos;
using shell::SavedPlacement;

TEST(WinPos, NineNumbersParse) {
    const auto p = ParseWinPos(L"1,100,50,900,650,0,0,1600,1200");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->show, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(p->window.left, 100);
    EXPECT_EQ(p->window.bottom, 650);
    EXPECT_EQ(p->workArea.right, 1600);
    EXPECT_EQ(shell::FormatWinPos(*p), L"1,100,50,900,650,0,0,1600,1200");
    // Negative coordinates (a monitor left of the main one) are fine.
    EXPECT_TRUE(ParseWinPos(L"3,-1608,-8,8,1208,-1600,0,0,1200"));
}

TEST(WinPos, MalformedOrOffScreenValuesAreIgnored) {
    EXPECT_FALSE(ParseWinPos(L""));
    EXPECT_FALSE(ParseWinPos(L"1,100,50,900,650,0,0,1600"));  // eight numbers
    EXPECT_FALSE(ParseWinPos(L"1,100,50,900,650,0,0,1600,1200,5"));
    EXPECT_FALSE(ParseWinPos(L"1,100,50,900,x,0,0,1600,1200"));
    EXPECT_FALSE(ParseWinPos(L"1,100,50,100,650,0,0,1600,1200"));    // empty window
    EXPECT_FALSE(ParseWinPos(L"1,100,50,900,650,0,0,0,1200"));       // empty work area
    EXPECT_FALSE(ParseWinPos(L"1,2000,50,2900,650,0,0,1600,1200"));  // right of the work area
}

TEST(WinPos, SizeScalesToTheCurrentWorkAreaUnlessMaximised) {
    SavedPlacement p = *ParseWinPos(L"1,100,50,900,650,0,0,1600,1200");
    RECT r = shell::ScaledWindowRect(p, RECT{0, 0, 800, 600});
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 50);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, 300);
    // Integer arithmetic, multiplication first: 333 * 1000 / 1600 = 208.
    p = *ParseWinPos(L"1,0,0,333,333,0,0,1600,1600");
    r = shell::ScaledWindowRect(p, RECT{0, 0, 1000, 1000});
    EXPECT_EQ(r.right, 208);
    p = *ParseWinPos(L"3,-8,-8,1608,1208,0,0,1600,1200");
    r = shell::ScaledWindowRect(p, RECT{0, 0, 800, 600});
    EXPECT_EQ(r.right, 1608);
}

class Placement : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-placement-");
        settings::SetProgramFolder(folder_);
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_, 0);
    }
    void TearDown() override {
        DestroyWindow(window_);
        settings::SetProgramFolder(L"");
    }
    std::wstring folder_;
    HWND window_ = nullptr;
    RECT work_ = {};
};

// One visible window for both cases: without a window manager, hiding or
// destroying a visible window costs 2 s.
TEST_F(Placement, RestoreScalesAndShowsOrMaximises) {
    // Saved on a work area twice as wide and as high as this one.
    const LONG w = work_.right - work_.left, h = work_.bottom - work_.top;
    const std::wstring saved =
        L"1,10,20,810,620,0,0," + std::to_wstring(2 * w) + L"," + std::to_wstring(2 * h);
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", saved.c_str());
    ASSERT_TRUE(shell::RestorePlacement(window_));
    RECT r;
    GetWindowRect(window_, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, 300);
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(IsZoomed(window_));

    // Saved maximised: shown maximised, whatever the rectangles say.
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", L"3,-8,-8,1608,1208,0,0,1600,1200");
    ASSERT_TRUE(shell::RestorePlacement(window_));
    EXPECT_TRUE(IsZoomed(window_));

    // Saving a maximised window records show command 3; a minimised one
    // saves nothing.
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", L"");
    shell::SavePlacement(window_);
    std::wstring value;
    ASSERT_TRUE(settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value));
    EXPECT_EQ(shell::ParseWinPos(value)->show, UINT(SW_SHOWMAXIMIZED));
    ShowWindow(window_, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window_));
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", L"");
    shell::SavePlacement(window_);
    EXPECT_FALSE(settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value));
}

TEST_F(Placement, MissingOrMalformedValuesLeaveTheWindowAlone) {
    EXPECT_FALSE(shell::RestorePlacement(window_));
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", L"1,10,20,810,620,0,0,1600");
    EXPECT_FALSE(shell::RestorePlacement(window_));
    EXPECT_FALSE(IsWindowVisible(window_));
    RECT r;
    GetWindowRect(window_, &r);
    EXPECT_EQ(r.right - r.left, 300);
}

TEST_F(Placement, SaveWritesTheWindowAndTheWorkArea) {
    SetWindowPos(window_, nullptr, 30, 40, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    shell::SavePlacement(window_);
    std::wstring value;
    ASSERT_TRUE(settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value));
    const auto p = ParseWinPos(value);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->show, UINT(SW_SHOWNORMAL));
    EXPECT_EQ(p->window.left, 30);
    EXPECT_EQ(p->window.right, 530);
    EXPECT_TRUE(EqualRect(&p->workArea, &work_));
    // Entirely off the work area: nothing is written over the last value.
    SetWindowPos(window_, nullptr, work_.right + 100, 40, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    shell::SavePlacement(window_);
    settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value);
    EXPECT_EQ(ParseWinPos(value)->window.left, 30);
}

// A show command from the file that would hide or minimise the frame leaves
// the single instance out of reach: such values show the window normally.
TEST_F(Placement, AStoredHiddenOrMinimisedStateShowsTheWindow) {
    for (const wchar_t* saved : {L"0,10,20,410,320,0,0,800,600", L"6,10,20,410,320,0,0,800,600",
                                 L"2,10,20,410,320,0,0,800,600"}) {
        ShowWindow(window_, SW_HIDE);
        settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", saved);
        ASSERT_TRUE(shell::RestorePlacement(window_));
        EXPECT_TRUE(IsWindowVisible(window_)) << saved;
        EXPECT_FALSE(IsIconic(window_)) << saved;
    }
}
