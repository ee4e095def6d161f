// Protocol messages about the caret, the selection and what the view shows.
#include <algorithm>

#include "View.h"

namespace {
int Int(WPARAM w) { return static_cast<int>(static_cast<INT_PTR>(w)); }
template <typename T> T* Ptr(UINT_PTR v) { return reinterpret_cast<T*>(v); }
}  // namespace

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
        case MPM_GOTOLINE:
        case MPM_GETWORDATCARET:
        case MPM_SELECT:
        case MPM_GETSELTEXT:
        case MPM_SETCARET:
            if (!doc_) return 0;
            break;
        default: handled = false; return 0;
    }
    switch (msg) {
        case MPM_GOTOLINE: {
            ClearSelection();
            const int count = doc_->LineCount();
            const int target = std::max(std::min(Int(wp), count) - 1, 0);
            if (caret_.line != target) MoveCaret({target, 0});
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
            }
            return 0;
    }
    handled = false;
    return 0;
}

LRESULT View::DisplayMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case MPM_COLORTABLE:
            if (COLORREF* table = Ptr<COLORREF>(wp)) {
                colors_ = table;
                Invalidate();
            }
            return reinterpret_cast<LRESULT>(colors_);
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
                Invalidate();
            }
            return tabWidth_;
        case MPM_SOFTTABS:
            if (wp == 0 || wp == 1) softTabs_ = wp == 1;
            return softTabs_;
        case MPM_FREEZECARET:
            if (wp == 0 || wp == 1) frozen_ = wp == 1;
            return frozen_;
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
