// Protocol messages about the caret, the selection and what the view shows.
#include <algorithm>

#include "MessageArgs.h"
#include "View.h"



LRESULT View::SelectionMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case MPM_GETCARETPOS:
            if (Position* out = Ptr<Position>(wp)) *out = caret_;
            return 0;
        case MPM_GETSELKIND:
            return ranges_.empty() ? 0 : ranges_.size() == 1 ? 1 : column_ ? 2 : 3;
        case MPM_GETSELRANGE:
            if (ranges_.size() != 1) return 0;
            if (Position* s = Ptr<Position>(wp)) *s = ranges_[0].start;
            if (Position* e = Ptr<Position>(lp)) *e = ranges_[0].end;
            return 1;
        case MPM_ISDELIMITER: return IsDelimiter(static_cast<wchar_t>(wp));
        case MPM_GETINPUTMODE: return column_ ? 2 : inputMode_;
        case MPM_FREEZECARET:
            if (wp == 0 || wp == 1) {
                frozen_ = wp == 1;
                PlaceCaret();
            }
            return frozen_;
        case MPM_SCROLLCARET: ScrollCaretIntoView(); return 0;
    }
    switch (msg) {  // these need the document
        case MPM_GOTOLINE: {
            ClearSelection();
            const int count = doc_->LineCount();
            const int target = std::max(std::min(Int(wp), count) - 1, 0);
            if (caret_.line != target) MoveCaret({target, 0});
            // A line out of sight comes to the middle, as a found match does.
            const int page = RowsPerPage();
            if (caretRec_.row < scroll_.topRow || caretRec_.row >= scroll_.topRow + page)
                ScrollToRow(caretRec_.row - page / 2);
            ScrollCaretIntoView();
            return 0;
        }
        case MPM_GETWORDATCARET: return reinterpret_cast<LRESULT>(WordAtCaret());
        case MPM_SELECT: {
            const Position* anchor = Ptr<Position>(wp);
            const Position* caret = Ptr<Position>(lp);
            if (!anchor || !caret) return 0;
            SelectRange(*anchor, *caret);
            return !ranges_.empty();
        }
        case MPM_GETSELTEXT: return reinterpret_cast<LRESULT>(SelectionBlock());
        case MPM_SETCARET:
            if (const Position* p = Ptr<Position>(wp)) {
                ClearSelection();
                MoveCaret(*p);
                if (lp == 1) ScrollCaretIntoView();
            }
            return 0;
    }
    handled = false;
    return 0;
}

// Standard window messages: painting, size, font, timers.
LRESULT View::WindowMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case WM_PAINT: OnPaint(); return 0;
        case WM_PRINTCLIENT: {
            RECT rc;
            GetClientRect(hwnd_, &rc);
            Paint(reinterpret_cast<HDC>(wp), rc);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_SIZE: OnSize(); return 0;
        case WM_SETFONT: SetFont(reinterpret_cast<HFONT>(wp), lp != 0); return 0;
        case WM_DPICHANGED_AFTERPARENT: ApplyDpi(givenDpi_ ? givenDpi_ : WindowDpi()); return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(metrics_.Font());
        case WM_TIMER:
            if (wp == 3) {
                FoldTimerTick();
                return 0;
            }
            if (wp == 1) {  // the drag follows a pointer outside the text area
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(hwnd_, &pt);
                if (mouseDown_ && (pt.x < textArea_.left || pt.x >= textArea_.right || pt.y < textArea_.top ||
                                   pt.y >= textArea_.bottom) && MarginAt(pt.x) != 0)
                    FollowPointer(pt);
                return 0;
            }
            if (wp == 2) {  // a press inside the selection: drag or click?
                KillTimer(hwnd_, 2);
                if (!dragPending_) return 0;
                dragPending_ = false;
                POINT pt;
                GetCursorPos(&pt);
                if (DragDetect(hwnd_, pt)) {
                    StartDrag();
                } else {
                    ScreenToClient(hwnd_, &pt);
                    ClearSelection();
                    MoveCaret(HitTest(pt, nullptr, nullptr));
                }
                return 0;
            }
            break;
        case WM_SETFOCUS: OnFocus(true); return 0;
        case WM_KILLFOCUS: OnFocus(false); return 0;
        case WM_MOUSEACTIVATE:
            SetFocus(hwnd_);
            return MA_ACTIVATE;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) return OnSetCursor();
            break;
        case WM_NCMOUSEMOVE:
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
            break;
        case WM_LBUTTONDOWN:
            OnMouseDown({LowX(lp), HighY(lp)}, UINT(wp));
            return 0;
        case WM_MOUSEMOVE: OnMouseMove({LowX(lp), HighY(lp)}); return 0;
        case WM_LBUTTONUP: OnMouseUp({LowX(lp), HighY(lp)}); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != hwnd_) EndDrag();
            return 0;
        case WM_CANCELMODE:
            EndDrag();
            if (GetCapture() == hwnd_) ReleaseCapture();
            break;
        case WM_LBUTTONDBLCLK:
            if (doc_) SelectWord();
            return 0;
        case WM_MOUSEWHEEL:
            OnWheel(GET_WHEEL_DELTA_WPARAM(wp), (GET_KEYSTATE_WPARAM(wp) & MK_SHIFT) != 0);
            return 0;
        case WM_VSCROLL: OnScroll(SB_VERT, LOWORD(wp)); return 0;
        case WM_HSCROLL: OnScroll(SB_HORZ, LOWORD(wp)); return 0;
        case WM_KEYDOWN:
            if (OnKeyDown(UINT(wp))) return 0;
            break;
        case WM_CHAR:
            if (doc_) OnChar(wchar_t(wp));
            return 0;
        case WM_IME_STARTCOMPOSITION:
            OnImeStart();
            break;
        case WM_IME_COMPOSITION:
            if (doc_ && OnImeComposition(lp)) return 0;
            break;
        case MPM_TRANSLATEACCEL: {
            MSG* m = reinterpret_cast<MSG*>(lp);
            return m && accel_ && TranslateAcceleratorW(hwnd_, accel_, m) ? 1 : 0;
        }
        case WM_SETREDRAW:
            // The default procedure keeps the flag; turning it on repaints.
            DefWindowProcW(hwnd_, msg, wp, lp);
            if (wp) {
                invalidAll_ = false;
                Invalidate();
            }
            return 0;
    }
    handled = false;
    return 0;
}

void View::OnSize() {
    if (!doc_) return;
    LayoutMargins();
    Invalidate();
    PlaceCaret();
}

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

}  // namespace

// The window's monitor's resolution where the system knows it (Windows 10
// and later), else its device context's.
int View::WindowDpi() const {
    static const auto forWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (forWindow && hwnd_)
        if (const UINT value = forWindow(hwnd_)) return int(value);
    HDC dc = GetDC(hwnd_);
    const int value = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(hwnd_, dc);
    return value > 0 ? value : 96;
}

// Margins, marks and the caret take their size at the new resolution.
void View::ApplyDpi(int dpi) {
    if (dpi == dpi_) return;
    dpi_ = dpi;
    if (!hwnd_ || !renderers_[0]) return;
    LayoutMargins();
    if (doc_) {
        UpdateCaretRecord();
        ReshapeCaret();
    }
    Invalidate();
    if (ruler_) InvalidateRect(ruler_, nullptr, FALSE);
    PlaceCaret();
}

LRESULT View::GetMargin(int part, RECT* out) const {
    if (!out) return 0;
    *out = {};
    if (part < 0 || part > 3 || !renderers_[part] || !renderers_[part]->enabled) return 0;
    *out = {renderers_[part]->left, textArea_.top, renderers_[part]->right, textArea_.bottom};
    return 1;
}

void View::SetFont(HFONT font, bool redraw) {
    metrics_.Select(font ? font : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)));
    if (!doc_) return;
    LayoutMargins();
    Relayout(redraw);
    ReshapeCaret();
}

LRESULT View::DisplayMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    const bool query = (wp & 0x80000000u) != 0;
    switch (msg) {
        case MPM_COLORTABLE:
            if (COLORREF* table = Ptr<COLORREF>(wp)) {
                colors_ = table;
                Invalidate();
            }
            if (ruler_) InvalidateRect(ruler_, nullptr, FALSE);
            return reinterpret_cast<LRESULT>(colors_);
        case MPM_LINESPACING:
            if (!query) {
                // Clamped: a negative height would never reach the window's bottom.
                extraSpacing_ = std::clamp(Int(wp), 0, kMaxLineSpacing);
                OnSize();
                Relayout();
            }
            return extraSpacing_;
        case MPM_VIEWPART: {
            const int part = LOWORD(wp) & 0xFF;
            const bool show = LOWORD(wp) >= 256;
            if (part < 0 || part > 9 || part == 7) return lp == -1 ? 0 : -1;
            if (lp == -1) return part == 8 ? 0 : parts_[part];
            if (part == 8) return -1;
            parts_[part] = show;
            if (part == 1) SetRuler(show);
            if (lp != 0) {
                OnSize();
                Invalidate();
                PlaceCaret();
            }
            return -1;
        }
        case MPM_SETDPI:
            if (Int(wp) == 0)
                givenDpi_ = 0;
            else if (Int(wp) >= 24 && Int(wp) <= 2400)
                givenDpi_ = Int(wp);
            if (Int(wp) != -1) ApplyDpi(givenDpi_ ? givenDpi_ : WindowDpi());
            return dpi_;
        case MPM_GETMARGIN: return GetMargin(Int(wp), Ptr<RECT>(lp));
        case MPM_LINEHEIGHT: return LineHeight();
        case MPM_FONTHEIGHT: return metrics_.Height();
        case MPM_TEXTWIDTH: {
            const wchar_t* t = Ptr<const wchar_t>(wp);
            if (!t) return 0;
            const int n = static_cast<int>(lp) < 0 ? int(wcslen(t)) : static_cast<int>(lp);
            return metrics_.TextWidth(t, n);
        }
        case MPM_BRACEMATCH:
            if (wp == 0 || wp == 1) {
                braceMatch_ = wp == 1;
                Invalidate();
            }
            return braceMatch_;
    }
    switch (msg) {
        case MPM_HITTEST: {
            int* out = Ptr<int>(wp);
            if (!out) return 0;
            const POINT pt = {LowX(lp), HighY(lp)};
            int row = 0, sub = 0;
            const Position p = HitTest(pt, &row, &sub);
            out[0] = p.line;
            out[1] = p.column;
            out[2] = row;
            out[3] = sub;
            return 0;
        }
        case MPM_TOGGLEWRAP: SetWrap(wrapper_ == nullptr); return 0;
        case MPM_WRAPWORDS:
            if (wp == 0 || wp == 1) SetWrapAtWords(wp == 1);
            return wrapWords_;
        case MPM_GETWRAPMODE: return wrapper_ ? 2 : 0;
        case MPM_FIRSTVISIBLE:
            if (!query) SetFirstVisible(Int(wp), 0);
            return scroll_.firstLine;
        case MPM_VISIBLEROWS: return visibleRows_;
        case MPM_FOLDMODE:
            if (!query && Int(wp) >= 0 && Int(wp) <= 3) SetFoldMode(Int(wp));
            return foldMode_;
        case MPM_SETPAGERECT: return SetPageRect(Ptr<const RECT>(wp));
        case MPM_DRAWPAGE: return DrawPage(reinterpret_cast<HDC>(wp), lp != 0);
        case MPM_HIGHLIGHTER: {
            IHighlighter* h = Ptr<IHighlighter>(wp);
            auto it = std::find(highlighters_.begin(), highlighters_.end(), h);
            if (lp == 1) {
                if (h && it == highlighters_.end()) highlighters_.push_back(h);
                Invalidate();
                return 0;
            }
            if (lp == 0) {
                if (it != highlighters_.end()) highlighters_.erase(it);
                Invalidate();
                return 0;
            }
            return h && it != highlighters_.end();
        }
        case MPM_TABWIDTH:
            if (Int(wp) >= 2) {
                tabWidth_ = std::min(Int(wp), 16);
                Relayout();
            }
            return tabWidth_;
        case MPM_SOFTTABS:
            if (wp == 0 || wp == 1) softTabs_ = wp == 1;
            return softTabs_;
        case MPM_STYLESTORE: {
            const bool none = styleStore_ == nullptr;
            if (wp == 1 && none) CreateStyleStore();
            if (wp == 0) {
                delete styleStore_;
                styleStore_ = nullptr;
            }
            return none;
        }
        case MPM_SETSTYLES:
            if (const StyleRangeArg* arg = Ptr<StyleRangeArg>(wp)) {
                SetStyles(*arg);
                if (lp) Invalidate();
            }
            return 0;
    }
    handled = false;
    return 0;
}
