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
    RECT Margin(int part) {
        RECT rc = {-1, -1, -1, -1};
        last_ = Send(MPM_GETMARGIN, WPARAM(part), reinterpret_cast<LPARAM>(&rc));
        return rc;
    }
    int Width(int part) {
        const RECT rc = Margin(part);
        return last_ ? int(rc.right - rc.left) : -1;
    }
    // The window's own resolution as the system reports it.
    int WindowDpi() {
        using Fn = UINT(WINAPI*)(HWND);
        const auto forWindow =
            reinterpret_cast<Fn>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"));
        if (forWindow && forWindow(edit_)) return int(forWindow(edit_));
        HDC dc = GetDC(edit_);
        const int value = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(edit_, dc);
        return value;
    }
    LRESULT last_ = 0;
};

// The columns of the fold margin holding pixels of the fold sign's colour.
int FoldSignColumns(const Dib& dib, RECT margin, int height, COLORREF sign) {
    int columns = 0;
    for (int x = margin.left; x < margin.right; ++x) {
        RECT column = {x, 0, x + 1, height};
        columns += dib.Count(column, sign) > 0;
    }
    return columns;
}

}  // namespace

TEST_F(Dpi, MarginsScaleWithTheResolutionAndComeBack) {
    Insert(L"alpha\nbeta\ngamma\n");
    Send(MPM_FOLDMODE, 1);
    Send(MPM_VIEWPART, 9 | 256, 1);  // the edit-state strip
    EXPECT_EQ(Send(MPM_SETDPI, WPARAM(-1)), WindowDpi()) << "its window's resolution by itself";
    ASSERT_EQ(Send(MPM_SETDPI, 96), 96);
    const int numbers = Width(0);
    EXPECT_EQ(Width(1), 10);
    EXPECT_EQ(Width(2), 2);
    EXPECT_EQ(Width(3), 2);
    EXPECT_EQ(numbers, cw_ * 5) << "three digits and two characters of room";
    const RECT fold = Margin(1);
    EXPECT_EQ(fold.left, 0);
    EXPECT_EQ(Margin(0).left, 10);
    EXPECT_EQ(Margin(3).left, 10 + numbers);
    Position p = {0, 0};
    SendP(MPM_SETCARET, &p, (void*)nullptr);
    int hit[4] = {};
    Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(12 + numbers + cw_ * 2 + cw_ / 4, 1));
    EXPECT_EQ(hit[1], 2) << "the text starts after the margins";

    EXPECT_EQ(Send(MPM_SETDPI, 192), 192);
    EXPECT_EQ(Width(1), 20);
    EXPECT_EQ(Width(2), 4);
    EXPECT_EQ(Width(3), 4);
    EXPECT_EQ(Width(0), numbers) << "the font is the program's: the digits keep their width";
    EXPECT_EQ(Margin(3).left, 20 + numbers);
    Send(MPM_HITTEST, reinterpret_cast<WPARAM>(hit), MAKELPARAM(24 + numbers + cw_ * 2 + cw_ / 4, 1));
    EXPECT_EQ(hit[1], 2) << "hit testing follows the new margins";

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
    Send(MPM_SETDPI, 120);
    for (WPARAM bad : {WPARAM(1), WPARAM(23), WPARAM(2401), WPARAM(-5), WPARAM(0x7FFFFFFF)})
        EXPECT_EQ(Send(MPM_SETDPI, bad), 120) << bad;
    EXPECT_EQ(Width(1), 13);
    EXPECT_EQ(Width(2), -1) << "the edit-state strip is hidden";
    const RECT none = Margin(2);
    EXPECT_TRUE(IsRectEmpty(&none));
    EXPECT_EQ(Width(4), -1);
    EXPECT_EQ(Width(-1), -1);
    EXPECT_EQ(Send(MPM_GETMARGIN, 1, 0), 0) << "no rectangle to fill";
    Send(MPM_FOLDMODE, 0);
    EXPECT_EQ(Width(1), -1);
}

// What is drawn grows with the margins: the fold sign is twice as wide at
// 192 dpi, the same at 96 as it always was.
TEST_F(Dpi, TheFoldSignGrowsWithTheResolution) {
    Insert(L"head {\n  body\n}\n");
    Send(MPM_FOLDMODE, 1);
    LineAttrArg level = {LA_FOLDLEVEL, 1};
    Send(MPM_SETLINEATTR, 1, reinterpret_cast<LPARAM>(&level));
    COLORREF table[COLOR_TABLE_ENTRIES];
    std::copy_n(reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE)), COLOR_TABLE_ENTRIES, table);
    table[24] = RGB(255, 255, 255);  // fold margin
    table[10] = RGB(200, 0, 0);      // fold sign
    SendP(MPM_COLORTABLE, table, (void*)nullptr);
    RECT client = {};
    GetClientRect(edit_, &client);
    auto signColumns = [&](int dpi) {
        Send(MPM_SETDPI, WPARAM(dpi));
        Dib dib(client.right, client.bottom);
        dib.Fill(RGB(0, 0, 255));
        Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Dc()), PRF_CLIENT);
        return FoldSignColumns(dib, Margin(1), lh_, table[10]);
    };
    EXPECT_EQ(signColumns(96), 5);
    EXPECT_EQ(signColumns(192), 10);
    EXPECT_EQ(signColumns(96), 5);
}
