// Setting/WinPos: what parses, how a size is scaled to another work area,
// and restoring it on a real window.
#include <gtest/gtest.h>

#include "Settings.h"
#include "TestSupport.h"
#include "WindowPlacement.h"

#include <vector>

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

// Eight or ten numbers, a word, an empty window or work area, a window
// right of the work area.
TEST(WinPos, MalformedOrOffScreenValuesAreIgnored) {
    for (const wchar_t* value : {L"", L"1,100,50,900,650,0,0,1600", L"1,100,50,900,650,0,0,1600,1200,5",
                                 L"1,100,50,900,x,0,0,1600,1200", L"1,100,50,100,650,0,0,1600,1200",
                                 L"1,100,50,900,650,0,0,0,1200", L"1,2000,50,2900,650,0,0,1600,1200"})
        EXPECT_FALSE(ParseWinPos(value)) << value;
}

// Integer arithmetic, multiplication first: 333 * 1000 / 1600 = 208.
TEST(WinPos, SizeScalesToTheCurrentWorkAreaUnlessMaximised) {
    const struct {
        const wchar_t* saved;
        RECT now;
        std::vector<LONG> expected;
    } cases[] = {{L"1,100,50,900,650,0,0,1600,1200", {0, 0, 800, 600}, {100, 50, 500, 350}},
                 {L"1,0,0,333,333,0,0,1600,1600", {0, 0, 1000, 1000}, {0, 0, 208, 208}},
                 {L"3,-8,-8,1608,1208,0,0,1600,1200", {0, 0, 800, 600}, {-8, -8, 1608, 1208}}};
    for (const auto& c : cases) {
        const RECT r = shell::ScaledWindowRect(*ParseWinPos(c.saved), c.now);
        EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), c.expected) << c.saved;
    }
}

class Placement : public ::testing::Test {
   protected:
    void SetUp() override {
        settings::SetProgramFolder(testing_support::MakeTempFolder(L"mp-placement-"));
        window_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_, 0);
    }
    void TearDown() override {
        DestroyWindow(window_);
        settings::SetProgramFolder(L"");
    }
    static void Store(const std::wstring& value) {
        settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", value.c_str());
    }
    static std::wstring Stored() {
        std::wstring value;
        settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value, L"<missing>");
        return value;
    }
    // Left, top, width and height.
    std::vector<LONG> Placed() const {
        RECT r;
        GetWindowRect(window_, &r);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    HWND window_ = nullptr;
    RECT work_ = {};
};

// One visible window for both cases: without a window manager, hiding or
// destroying a visible window costs 2 s. Saved on a work area twice as wide
// and as high as this one, the size is halved; saved maximised, the window
// is shown maximised whatever the rectangles say, and saved again with show
// command 3; a minimised window saves nothing.
TEST_F(Placement, RestoreScalesAndShowsOrMaximises) {
    Store(L"1,10,20,810,620,0,0," + std::to_wstring(2 * (work_.right - work_.left)) + L"," +
          std::to_wstring(2 * (work_.bottom - work_.top)));
    ASSERT_TRUE(shell::RestorePlacement(window_));
    EXPECT_EQ(Placed(), (std::vector<LONG>{10, 20, 400, 300}));
    EXPECT_TRUE(IsWindowVisible(window_));
    EXPECT_FALSE(IsZoomed(window_));
    Store(L"3,-8,-8,1608,1208,0,0,1600,1200");
    ASSERT_TRUE(shell::RestorePlacement(window_));
    EXPECT_TRUE(IsZoomed(window_));
    Store(L"");
    shell::SavePlacement(window_);
    EXPECT_EQ(ParseWinPos(Stored())->show, UINT(SW_SHOWMAXIMIZED));
    ShowWindow(window_, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window_));
    Store(L"");
    shell::SavePlacement(window_);
    EXPECT_EQ(Stored(), L"");
}

TEST_F(Placement, MissingOrMalformedValuesLeaveTheWindowAlone) {
    EXPECT_FALSE(shell::RestorePlacement(window_));
    Store(L"1,10,20,810,620,0,0,1600");
    EXPECT_FALSE(shell::RestorePlacement(window_));
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_EQ(Placed()[2], 300);
}

// The window and the work area are written; a window entirely off the work
// area writes nothing over the last value.
TEST_F(Placement, SaveWritesTheWindowAndTheWorkArea) {
    SetWindowPos(window_, nullptr, 30, 40, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    shell::SavePlacement(window_);
    const std::wstring work = std::to_wstring(work_.left) + L"," + std::to_wstring(work_.top) + L"," +
                              std::to_wstring(work_.right) + L"," + std::to_wstring(work_.bottom);
    EXPECT_EQ(Stored(), L"1,30,40,530,440," + work);
    SetWindowPos(window_, nullptr, work_.right + 100, 40, 500, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    shell::SavePlacement(window_);
    EXPECT_EQ(Stored(), L"1,30,40,530,440," + work);
}

// A show command from the file that would hide or minimise the frame leaves
// the single instance out of reach: such values show the window normally.
TEST_F(Placement, AStoredHiddenOrMinimisedStateShowsTheWindow) {
    for (const wchar_t* saved :
         {L"0,10,20,410,320,0,0,800,600", L"6,10,20,410,320,0,0,800,600", L"2,10,20,410,320,0,0,800,600"}) {
        ShowWindow(window_, SW_HIDE);
        Store(saved);
        ASSERT_TRUE(shell::RestorePlacement(window_));
        EXPECT_TRUE(IsWindowVisible(window_)) << saved;
        EXPECT_FALSE(IsIconic(window_)) << saved;
    }
}
