// A torn-off menu: a small floating panel with one button per item of a
// popup menu (`CMenuButton`); pressing a button sends its command to the
// frame. The panel belongs to the frame and closes with it.
#pragma once

#include <windows.h>

#include <vector>

#include "Window.h"

namespace shell {

class CMenuDialog : public BaseWindow<CMenuDialog> {
public:
    CMenuDialog() = default;
    ~CMenuDialog();
    // A tool window owned by `frame` at `at` (screen), one button per
    // command item of `menu` (separators, submenus and the tear-off strip
    // left out), drawn in `font`.
    bool Create(HWND frame, HMENU menu, HFONT font, POINT at);
    void MoveTo(POINT at);
    void SetFont(HFONT font);
    // Button texts as shown (tests).
    std::vector<UINT> Commands() const { return commands_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

    static constexpr int kButtonWidth = 120, kButtonHeight = 27, kMargin = 7;

private:
    HWND frame_ = nullptr;
    std::vector<UINT> commands_;
};

}  // namespace shell
