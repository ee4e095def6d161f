// A splitter window: two panes side by side (a vertical bar between them) or
// one above the other (a horizontal bar), the bar dragged with the mouse.
// The panes are child windows of the splitter while they are in it.
#pragma once

#include <windows.h>

#include "Window.h"

namespace documents {

class CSplitter : public shell::BaseWindow<CSplitter> {
public:
    enum class Orientation { SideBySide, Stacked };
    static constexpr int kBar = 5;  // pixels at 96 dpi
    // The bar's width at the window's resolution.
    int Bar() const;

    ~CSplitter();
    bool Create(HWND parent, Orientation orientation);
    Orientation GetOrientation() const { return orientation_; }
    // Reparents both windows into the splitter, the first left or on top.
    void SetPanes(HWND first, HWND second);
    HWND Pane(int i) const { return panes_[i & 1]; }
    // The bar's position in pixels from the left or top; Middle() centres it.
    void SetPosition(int position);
    int Position() const { return position_; }
    void Middle();

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    void Layout();
    int Extent() const;

    Orientation orientation_ = Orientation::SideBySide;
    HWND panes_[2] = {};
    int position_ = 0;
    int dpi_ = 96;  // the resolution position_ is at
    bool dragging_ = false;
    int grab_ = 0;
};

}  // namespace documents
