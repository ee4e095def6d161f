// The docking window: the frame's area for tool panes (the output window,
// plug-in panes). A pane is somebody else's window that the docking window
// hosts in one of three states:
//
//   docked    a child of a pane strip in the docked area at the bottom of the
//             frame: a thin caption (title, close button) above the window.
//             Docked panes are stacked, sharing the area's height equally;
//             a splitter bar above them sets that height.
//   floating  the only child of a small tool window owned by the frame,
//             titled with the pane's title.
//   hidden    its host is hidden; the pane keeps its place.
//
// The docking window takes the window over (made a child, reparented) and
// remembers its previous parent and styles; DestroyPane gives it back.
// The frame calls Layout when it is sized; whenever the docked area changes
// (a pane docked, hidden or gone, the splitter moved) the docking window
// sends the frame MPF_RELAYOUT, which the frame answers by laying out again.
//
// The plug-in interface's pane calls map onto RemovePane and ShowPane: a
// floating pane is hidden, a hidden one given back, a docked one floated.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Window.h"

namespace shell {

class CPaneStrip;
class CFloatFrame;

class CDockingWindow : public BaseWindow<CDockingWindow> {
public:
    CDockingWindow();
    ~CDockingWindow();

    // The docked area, a hidden child of `frame`; the floating panes are
    // owned by `frame`. Null on failure.
    HWND Create(HWND frame);
    HWND Frame() const { return frame_; }

    // Places the docked area (when a pane is docked and visible) at the
    // bottom of `client` (frame client coordinates) and returns what is
    // left above it. With no docked pane the area is hidden and `client`
    // comes back whole. The document side always keeps kMinRest pixels when
    // `client` has them.
    RECT Layout(const RECT& client);

    // Docks `window` (a new pane, or one that floats or is hidden) at the
    // bottom, titled `title` (null: the window's text, or the title it had).
    bool DockPane(HWND window, const wchar_t* title);
    // Floats `window` (a new pane titled with its text, up to 127
    // characters, or an existing one) in a tool window at `rc` (screen
    // coordinates, made at least kMinFloat square), without activating it.
    bool FloatPane(HWND window, const RECT& rc);
    bool HidePane(HWND window);
    // SW_HIDE: a floating pane is hidden, a docked one floated. Any other
    // command floats the pane around the window's current rectangle.
    bool ShowPane(HWND window, int showCommand);
    // A docked pane floats where it was docked; false when not docked.
    bool UndockPane(HWND window);
    // One step out: a floating pane is hidden, a hidden one given back
    // (DestroyPane), a docked one floated. False when `window` is no pane.
    bool RemovePane(HWND window);
    // Gives the window back to its previous parent (hidden, its own styles
    // restored) and destroys its pane, whatever its state.
    bool DestroyPane(HWND window);

    bool IsPane(HWND window) const;
    bool IsVisible(HWND window) const;
    bool IsFloating(HWND window) const;
    bool IsDocked(HWND window) const;
    std::wstring Title(HWND window) const;
    // The window that frames the pane now (its strip or its floating
    // window), or null.
    HWND HostOf(HWND window) const;
    // The pane window that is or contains `anyChild` (also through its
    // host), or null.
    HWND PaneFor(HWND anyChild) const;

    // Dialog-style navigation (Tab, arrows, Enter, Esc) inside the pane
    // that holds the focus, when that pane holds controls and the focused
    // one does not want the key itself. A pane that is one control (the
    // output window) keeps all its keys.
    bool PreTranslate(MSG* msg);

    // Height of the docked area, splitter included.
    int DockedHeight() const { return height_; }
    void SetDockedHeight(int height);
    int CaptionHeight() const { return captionHeight_; }
    HFONT CaptionFont() const {
        return font_.get() ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }

    // Pixels at 96 dpi, scaled to the frame's resolution.
    static constexpr int kSplitter = 5;
    static constexpr int kMinFloat = 120;
    static constexpr int kMinRest = 40;
    static constexpr int kDefaultHeight = 150;
    // A pixel size at 96 dpi at the frame's resolution.
    int Px(int pixels) const;

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

private:
    friend class CPaneStrip;
    friend class CFloatFrame;
    enum class State { Docked, Floating, Hidden };
    struct Pane;

    Pane* Find(HWND window) const;
    Pane* Adopt(HWND window);
    void MoveInto(Pane& pane, HWND host);
    void GiveBack(Pane& pane);
    void DestroyHosts(Pane& pane);
    void PaneWindowGone(HWND window);
    void Reap();
    void Arrange();
    void RequestRelayout();
    int ClampHeight(int height) const;
    int DockedCount() const;
    void FocusFrameIfInside(const Pane& pane);

    void OnPaint();
    void OnDpiChanged();
    void Paint(HDC dc);
    void MakeCaptionFont(int dpi);
    void OnButtonDown(int y);
    void OnMouseMove(int y);
    void EndDrag();

    HWND frame_ = nullptr;
    std::vector<std::unique_ptr<Pane>> panes_;  // in docking order
    int height_ = kDefaultHeight;
    RECT client_ = {};  // the last rectangle given to Layout
    UniqueGdiT<HFONT> font_;
    int captionHeight_ = 18;
    int dpi_ = 96;  // the resolution the pixel sizes above are at
    bool dragging_ = false;
    int dragStartY_ = 0;  // screen y where the drag began
    int dragStartHeight_ = 0;
};

}  // namespace shell
