// The preview pane of the print frame: shows one page (an enhanced
// metafile) on a grey desk, fitted into the pane at zoom 1.0 and scaled
// by the zoom factor beyond that, with scroll bars when the page is larger
// than the pane. Page-up, page-down, plus, minus and Esc go to the parent as
// its commands 3001, 3000, 3002, 3003 and 3004.
#pragma once

#include <windows.h>

#include "Window.h"

namespace printing {

class CPreviewPane : public shell::BaseWindow<CPreviewPane> {
   public:
    CPreviewPane() = default;
    ~CPreviewPane();

    HWND Create(HWND parent, UINT id);
    // Takes `page` (the previous one is deleted); `width` x `height` are the
    // page's size in its device's units (for the aspect ratio).
    void SetPage(HENHMETAFILE page, int width, int height);
    HENHMETAFILE Page() const { return page_; }
    double Zoom() const { return zoom_; }
    void SetZoom(double zoom);
    // Where the page lies in the client area at the current zoom and scroll.
    RECT PageRect() const;

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

   private:
    void Paint(HDC dc, const RECT& client);
    void UpdateScrollBars();
    void Scroll(int bar, int code);
    SIZE ScaledSize() const;

    HENHMETAFILE page_ = nullptr;
    int width_ = 1, height_ = 1;
    double zoom_ = 1.0;
    POINT scroll_ = {0, 0};
};

}  // namespace printing
