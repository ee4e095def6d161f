// The control at other resolutions: margins, marks and the fold sign keep
// their size on the screen (twice the pixels at 192 dpi), the control
// follows its window's resolution or the one its program gives (1095), and
// at 96 dpi everything keeps its old pixel size.
#include "EditHarness.h"

#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

namespace {

class Dpi : public ShownEditControl {
   protected:
    // Margin `part`'s rectangle (1096), and its width or -1 when not shown.
    RECT Margin(int part) {
        RECT rc = {-1, -1, -1, -1};
        shown_ = Send(MPM_GETMARGIN, WPARAM(part), reinterpret_cast<LPARAM>(&rc));
        return rc;
    }
    int Width(int part) {
        const RECT rc = Margin(part);
        return shown_ ? int(rc.right - rc.left) : -1;
    }
    // The window's own resolution as the system reports it.
    int WindowDpi() {
        using Fn = UINT(WINAPI*)(HWND);
        const auto forWindow = reinterpret_cast<Fn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
        if (forWindow && forWindow(edit_)) return int(forWindow(edit_));
        HDC dc = GetDC(edit_);
        const int value = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(edit_, dc);
        return value;
    }
    LRESULT shown_ = 0;
};

}  // namespace

TEST_F(Dpi, MarginsScaleWithTheResolutionAndComeBack) {
    SetState(L"|alpha\nbeta\ngamma\n");
    Send(MPM_FOLDMODE, 1);
    Send(MPM_VIEWPART, 9 | 256, 1);  // the edit-state strip
    EXPECT_EQ(Send(MPM_SETDPI, WPARAM(-1)), WindowDpi()) << "its window's resolution by itself";
    const int numbers = cw_ * 5;  // three digits and two characters of room, in the program's font
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        const int fold = MulDiv(10, dpi, 96), strip = MulDiv(2, dpi, 96);
        EXPECT_EQ(Send(MPM_SETDPI, WPARAM(dpi)), dpi);
        EXPECT_EQ((std::vector<int>{Width(0), Width(1), Width(2), Width(3)}),
                  (std::vector<int>{numbers, fold, strip, strip}));
        EXPECT_EQ(Margin(1).left, 0);
        EXPECT_EQ(Margin(0).left, fold);
        EXPECT_EQ(Margin(3).left, fold + numbers);
        EXPECT_EQ(Hit(fold + numbers + strip + cw_ * 2 + cw_ / 4, 1)[1], 2)
            << "the text starts after the margins";
    }
    // The window's own resolution again, also when its parent says it moved.
    EXPECT_EQ(Send(MPM_SETDPI, 0), WindowDpi());
    Send(MPM_SETDPI, 144);
    Send(WM_DPICHANGED_AFTERPARENT);
    EXPECT_EQ(Send(MPM_SETDPI, WPARAM(-1)), 144) << "a given resolution holds";
    EXPECT_EQ(Width(1), 15);
    Send(MPM_SETDPI, 0);
    Send(WM_DPICHANGED_AFTERPARENT);
    EXPECT_EQ(Send(MPM_SETDPI, WPARAM(-1)), WindowDpi());
    EXPECT_EQ(Width(1), MulDiv(10, WindowDpi(), 96));
}

TEST_F(Dpi, BadResolutionsAndMarginsChangeNothing) {
    Send(MPM_FOLDMODE, 1);
    for (int edge : {24, 2400})
        EXPECT_EQ(Send(MPM_SETDPI, WPARAM(edge)), edge) << "the range's ends are taken";
    Send(MPM_SETDPI, 120);
    for (WPARAM bad : {WPARAM(1), WPARAM(23), WPARAM(2401), WPARAM(-5), WPARAM(0x7FFFFFFF)})
        EXPECT_EQ(Send(MPM_SETDPI, bad), 120) << bad;
    EXPECT_EQ(Width(1), 13);
    EXPECT_EQ(Width(2), -1) << "the edit-state strip is hidden";
    const RECT none = Margin(2);
    EXPECT_TRUE(IsRectEmpty(&none));
    EXPECT_EQ(Width(4), -1);
    EXPECT_EQ(Width(-1), -1);
    Send(MPM_FOLDMODE, 0);
    EXPECT_EQ(Width(1), -1);
}

// What is drawn grows with the margins: the fold sign is twice as wide at
// 192 dpi, the same at 96 as it always was.
TEST_F(Dpi, TheFoldSignGrowsWithTheResolution) {
    SetState(L"|head {\n  body\n}\n");
    Send(MPM_FOLDMODE, 1);
    SetLevels(1, 1, 1);
    Colours table(edit_, {{24, RGB(255, 255, 255)}, {10, RGB(200, 0, 0)}});  // fold margin, fold sign
    auto signColumns = [&](int dpi) {
        Send(MPM_SETDPI, WPARAM(dpi));
        Capture cap(edit_);
        const RECT margin = Margin(1);
        int columns = 0;
        for (int x = margin.left; x < margin.right; ++x)
            columns += cap.Count({x, 0, x + 1, lh_}, table[10]) > 0;
        return columns;
    };
    EXPECT_EQ(signColumns(96), 5);
    EXPECT_EQ(signColumns(192), 10);
    EXPECT_EQ(signColumns(96), 5);
}
