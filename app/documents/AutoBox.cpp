#include "AutoBox.h"

#include <algorithm>

#include "Owners.h"

namespace documents {
namespace {

constexpr wchar_t kListClass[] = L"MorrowpadAutoBox";
constexpr wchar_t kBoxProperty[] = L"AutoBox";
WNDPROC g_listProc = nullptr;  // the platform list box's procedure (main thread only)

// 160/255 of a and 95/255 of b per channel, truncated.
COLORREF Mix(COLORREF a, COLORREF b) {
    auto channel = [](int x, int y) { return (x * 160 + y * 95) / 255; };
    return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
               channel(GetBValue(a), GetBValue(b)));
}

}  // namespace

// The document as the control gives it: many lines a message.
class CAutoBox::CControlWords : public IWordSource {
   public:
    explicit CControlWords(HWND control) : control_(control) {}
    int LineCount() override { return int(SendMessageW(control_, MPM_GETLINECOUNT, 0, 0)); }
    int ReadLines(int first, int maxLines, int maxUnits, std::vector<wchar_t>& buffer, int* units) override {
        if (maxUnits <= 0) return 0;
        if (buffer.size() < size_t(maxUnits)) buffer.resize(size_t(maxUnits));
        LinesArg arg = {maxLines, buffer.data(), maxUnits, 0};
        const int read =
            int(SendMessageW(control_, MPM_GETLINES, WPARAM(first), reinterpret_cast<LPARAM>(&arg)));
        *units = read > 0 ? arg.units : 0;
        return std::max(read, 0);
    }
    int ReadPart(int line, int column, int maxUnits, std::vector<wchar_t>& buffer) override {
        if (maxUnits <= 0 || line < 0 || column < 0) return 0;
        RangeTextArg arg = {line, column, line, column + maxUnits, nullptr, 0};
        const int length = int(SendMessageW(control_, MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg), 0));
        if (length <= 0 || length > maxUnits) return 0;
        if (buffer.size() < size_t(length) + 1) buffer.resize(size_t(length) + 1);
        arg.buffer = buffer.data();
        SendMessageW(control_, MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg), 0);
        return length;
    }
    bool IsDelimiter(wchar_t unit) override {
        return SendMessageW(control_, MPM_ISDELIMITER, WPARAM(unit), 0) != 0;
    }

   private:
    HWND control_;
};

CAutoBox::~CAutoBox() {
    if (list_ && IsWindow(list_)) RemovePropW(list_, kBoxProperty);
}

bool CAutoBox::Visible() const { return list_ && IsWindowVisible(list_); }

bool CAutoBox::EnsureList() {
    if (list_ && IsWindow(list_)) return true;
    // A superclass of the platform's list box; its procedure is asked each
    // time the class is registered.
    if (!g_listProc) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        if (!GetClassInfoExW(nullptr, L"LISTBOX", &wc)) return false;
        g_listProc = wc.lpfnWndProc;
        wc.lpfnWndProc = &CAutoBox::ListProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kListClass;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            g_listProc = nullptr;
            return false;
        }
    }
    // Created hidden here: the list is shown once it has its items and place.
    list_ = CreateWindowExW(0, kListClass, L"",
                            WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | LBS_SORT |
                                LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | LBS_NOTIFY,
                            0, 0, 0, 0, control_, reinterpret_cast<HMENU>(UINT_PTR(kListId)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!list_) return false;
    SetPropW(list_, kBoxProperty, this);
    SendMessageW(list_, WM_SETFONT, WPARAM(Send(WM_GETFONT)), FALSE);
    return true;
}

LRESULT CALLBACK CAutoBox::ListProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CAutoBox*>(GetPropW(hwnd, kBoxProperty));
    const HWND control = GetParent(hwnd);
    switch (msg) {
        case WM_LBUTTONDOWN: {
            // The list chooses the item; the typing stays in the control.
            const LRESULT r = CallWindowProcW(g_listProc, hwnd, msg, wp, lp);
            if (control) SetFocus(control);
            return r;
        }
        case WM_LBUTTONUP: {
            const LRESULT r = CallWindowProcW(g_listProc, hwnd, msg, wp, lp);
            if (GetCapture() == hwnd) ReleaseCapture();
            if (control && GetFocus() == hwnd) SetFocus(control);
            return r;
        }
        case WM_LBUTTONDBLCLK:
            if (self && control) {
                MSG enter = {control, WM_KEYDOWN, VK_RETURN, 0, DWORD(GetMessageTime()), {0, 0}};
                SendMessageW(control, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&enter));
                return 0;
            }
            break;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_NCDESTROY:
            if (self) self->list_ = nullptr;
            RemovePropW(hwnd, kBoxProperty);
            break;
    }
    return g_listProc ? CallWindowProcW(g_listProc, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

void CAutoBox::OnChar(wchar_t c) {
    if (typingTimer_) {
        KillTimer(control_, kTypingTimer);
        typingTimer_ = 0;
    }
    // A fresh document's words are read in the background from the first key on.
    if (!index_ || !index_->Complete()) StartIndexTimer();
    if (Visible() || c == 27 || IsDelimiter(c) || Send(MPM_GETSELKIND) >= 2) return;
    typingTimer_ = SetTimer(control_, kTypingTimer, kTypingDelay, nullptr);
}

bool CAutoBox::OnTimer(UINT_PTR id) {
    if (id == kTypingTimer) {
        KillTimer(control_, kTypingTimer);
        typingTimer_ = 0;
        // A selection made since (or several ranges) is left as it is:
        // looking the word up moves the caret.
        // Nothing is offered where nothing can be taken.
        if (!Visible() && Send(MPM_GETSELKIND) == 0 && !ReadOnly() && Collect(kMinimumPrefix))
            FillAndShow(false);
        return true;
    }
    if (id == kIndexTimer) {
        bool complete = true;
        if (index_) {
            CControlWords source(control_);
            if (index_->Lines() != source.LineCount()) index_->Reset(source.LineCount());
            Position caret = {};
            Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
            complete = index_->Build(source, caret.line, kSliceBudget);
        }
        if (complete) {
            KillTimer(control_, kIndexTimer);
            indexTimer_ = 0;
            if (Visible()) Refresh();
        }
        return true;
    }
    return false;
}

void CAutoBox::StartIndexTimer() {
    if (indexTimer_) return;
    if (!index_) {
        index_ = std::make_unique<CWordIndex>();
        index_->Reset(int(Send(MPM_GETLINECOUNT)));
    }
    // A timer runs after every input message: typing goes first.
    indexTimer_ = SetTimer(control_, kIndexTimer, 1, nullptr);
}

void CAutoBox::Stop() {
    Hide();
    if (typingTimer_) KillTimer(control_, kTypingTimer);
    if (indexTimer_) KillTimer(control_, kIndexTimer);
    typingTimer_ = indexTimer_ = 0;
    index_.reset();
}

void CAutoBox::OnDocumentReset() {
    Hide();
    if (index_) index_->Reset(int(Send(MPM_GETLINECOUNT)));
}

void CAutoBox::OnTextChanged(const TextChangedNotify& n) {
    if (index_) index_->Edit(n.start.line, n.oldEnd.line, n.newEnd.line);
}

void CAutoBox::OnCaretMoved(const CaretMovedNotify& n) {
    if (busy_ || !Visible()) return;
    const Position after = {wordStart_.line, wordStart_.column + int(prefix_.size())};
    if (n.newCaret.line != after.line || n.newCaret.column != after.column) Hide();
}

void CAutoBox::Hide() {
    if (list_ && IsWindowVisible(list_)) ShowWindow(list_, SW_HIDE);
}

bool CAutoBox::Collect(int minimum) {
    candidates_.clear();
    Position caret = {};
    Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
    if (caret.column <= 0) return false;
    // Only the units a prefix can take before the caret, and the one before them.
    const int from = std::max(0, caret.column - kLongestPrefix - 1);
    RangeTextArg range = {caret.line, from, caret.line, caret.column, nullptr, 0};
    if (Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&range)) != caret.column - from) return false;
    std::vector<wchar_t> text(size_t(caret.column - from) + 1, L'\0');
    range.buffer = text.data();
    Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&range));
    auto unit = [&](int column) { return text[size_t(column - from)]; };
    if (IsDelimiter(unit(caret.column - 1))) return false;
    // The word start, as the control's word-left finds it.
    int start = caret.column;
    while (start > from && caret.column - start <= kLongestPrefix && !IsDelimiter(unit(start - 1))) --start;
    const int count = caret.column - start;
    if (count < minimum || count > kLongestPrefix || count < 1) return false;
    if (start > 0 && !IsDelimiter(unit(start - 1))) return false;  // longer than any prefix
    // The list's anchor: where the word starts on the screen, read from the
    // caret, which a pending paint places (only the focused pane has one).
    if (GetFocus() != control_) return false;
    busy_ = true;
    HideCaret(control_);
    Position at = {caret.line, start};
    Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 0);
    UpdateWindow(control_);
    anchor_ = {0, 0};
    GetCaretPos(&anchor_);
    Send(MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 1);
    ShowCaret(control_);
    busy_ = false;
    wordStart_ = at;
    prefix_.assign(text.data() + (start - from), size_t(count));
    collected_ = prefix_;

    CControlWords source(control_);
    if (!index_) index_ = std::make_unique<CWordIndex>();
    if (index_->Lines() != source.LineCount()) index_->Reset(source.LineCount());
    if (!index_->Build(source, caret.line, kSyncBudget)) StartIndexTimer();
    truncated_ = index_->Collect(prefix_, candidates_, kMostWords);
    return !candidates_.empty();
}

void CAutoBox::Place(int count, size_t longest) {
    const int itemHeight = std::max(int(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0)), 1);
    const int height = std::min(kVisibleItems, count) * itemHeight;
    const int charWidth = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"X"), 1));
    int width = int(longest + 3) * std::max(charWidth, 1);
    if (count > kVisibleItems) width += GetSystemMetrics(SM_CXVSCROLL);
    RECT client = {};
    GetClientRect(control_, &client);
    int top = anchor_.y + int(Send(MPM_FONTHEIGHT));
    if (top + height > client.bottom) top = anchor_.y - height;
    SetWindowPos(list_, HWND_TOP, anchor_.x, top, width, height, SWP_NOACTIVATE);
}

bool CAutoBox::FillAndShow(bool accept, wchar_t typed) {
    if (!EnsureList()) return false;
    if (typed) {
        if (prefix_.size() >= size_t(kLongestPrefix)) {
            Hide();
            return false;
        }
        prefix_ += typed;
        // A list cut short is looked up again for the longer prefix.
        if (truncated_ && index_) truncated_ = index_->Collect(prefix_, candidates_, kMostWords);
    }
    Hide();
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    SendMessageW(list_, WM_SETFONT, WPARAM(Send(WM_GETFONT)), FALSE);
    size_t longest = 0;
    int count = 0;
    for (const std::wstring& word : candidates_) {
        if (Narrowed() && word.compare(0, prefix_.size(), prefix_) != 0) continue;
        if (SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(word.c_str())) < 0) continue;
        longest = std::max(longest, word.size());
        ++count;
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    if (count == 0) return false;
    Place(count, longest);
    // The only word left is taken when asked, once every word is known.
    if (count == 1 && accept && IndexComplete()) {
        wchar_t word[CWordIndex::kLongestWord + 2] = {};
        if (SendMessageW(list_, LB_GETTEXTLEN, 0, 0) <= LRESULT(CWordIndex::kLongestWord)) {
            SendMessageW(list_, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(word));
            return Take(word);
        }
    }
    SendMessageW(list_, LB_SETCURSEL, 0, 0);
    ShowWindow(list_, SW_SHOWNA);
    InvalidateRect(list_, nullptr, TRUE);
    return false;
}

void CAutoBox::Refresh() {
    if (!index_ || !list_) return;
    wchar_t selected[CWordIndex::kLongestWord + 2] = {};
    const LRESULT sel = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (sel >= 0 && SendMessageW(list_, LB_GETTEXTLEN, WPARAM(sel), 0) <= LRESULT(CWordIndex::kLongestWord))
        SendMessageW(list_, LB_GETTEXT, WPARAM(sel), reinterpret_cast<LPARAM>(selected));
    truncated_ = index_->Collect(Narrowed() ? prefix_ : collected_, candidates_, kMostWords);
    FillAndShow(false);
    const LRESULT again =
        SendMessageW(list_, LB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(selected));
    if (*selected && again >= 0) SendMessageW(list_, LB_SETCURSEL, WPARAM(again), 0);
}

bool CAutoBox::TakeSelected() {
    if (!Visible()) return false;
    const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
    LRESULT item = count == 1 ? 0 : SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (count <= 0 || item < 0 || item >= count) return false;
    if (SendMessageW(list_, LB_GETTEXTLEN, WPARAM(item), 0) > LRESULT(CWordIndex::kLongestWord)) return false;
    wchar_t word[CWordIndex::kLongestWord + 2] = {};
    SendMessageW(list_, LB_GETTEXT, WPARAM(item), reinterpret_cast<LPARAM>(word));
    return Take(word);
}

bool CAutoBox::Take(const std::wstring& word) {
    // A document made read-only meanwhile: the key goes on as usual.
    if (word.empty() || ReadOnly()) {
        Hide();
        return false;
    }
    busy_ = true;
    Position from = wordStart_;
    Position caret = {};
    Send(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
    Send(MPM_UNDOGROUP, 1);
    // Deleting an empty range answers 0 as well.
    const bool removed =
        (from.line == caret.line && from.column == caret.column) ||
        Send(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&caret)) != 0;
    TextArg arg = {word.c_str(), int(word.size())};
    const bool inserted =
        removed && Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&arg)) != 0;
    Send(MPM_UNDOGROUP, 0);
    busy_ = false;
    Hide();
    return inserted;
}

LRESULT CAutoBox::Translate(const MSG& msg) {
    if (!Visible()) return 0;
    const bool modifiers =
        GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0;
    switch (msg.message) {
        case WM_CHAR: {
            const wchar_t c = wchar_t(msg.wParam);
            if (c == 27 || c < 0x20 || IsDelimiter(c)) {
                Hide();
                return 0;
            }
            // A high surrogate waits for its pair before a word is taken.
            const bool high = c >= 0xD800 && c < 0xDC00;
            return FillAndShow(!high, c) ? 1 : 0;
        }
        case WM_KEYDOWN:
            switch (msg.wParam) {
                case VK_RETURN:
                case VK_TAB: return !modifiers && TakeSelected() ? 1 : 0;
                case VK_DOWN:
                case VK_UP: {
                    // With a modifier the key is the control's.
                    if (modifiers) {
                        Hide();
                        return 0;
                    }
                    const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
                    if (count <= 0) return 1;
                    const LRESULT current = SendMessageW(list_, LB_GETCURSEL, 0, 0);
                    LRESULT next = msg.wParam == VK_DOWN ? current + 1 : current - 1;
                    if (current < 0) next = msg.wParam == VK_DOWN ? 0 : count - 1;
                    if (next >= count) next = 0;
                    if (next < 0) next = count - 1;
                    SendMessageW(list_, LB_SETCURSEL, WPARAM(next), 0);
                    return 1;
                }
            }
            break;
    }
    return 0;
}

bool CAutoBox::OnMeasureItem(MEASUREITEMSTRUCT* item) {
    if (!item || item->CtlType != ODT_LISTBOX || item->CtlID != kListId) return false;
    item->itemHeight = UINT(std::max<LRESULT>(Send(MPM_FONTHEIGHT), 1));
    return true;
}

bool CAutoBox::OnDrawItem(const DRAWITEMSTRUCT* item) {
    if (!item || item->CtlType != ODT_LISTBOX || item->hwndItem != list_ || !list_) return false;
    if (item->itemID == UINT(-1)) return true;
    const auto* colours = reinterpret_cast<const COLORREF*>(Send(MPM_COLORTABLE, 0));
    const COLORREF background = colours ? colours[0] : GetSysColor(COLOR_WINDOW);
    const COLORREF text = colours ? colours[1] : GetSysColor(COLOR_WINDOWTEXT);
    // The control's colours inverted.
    const COLORREF fill = (item->itemState & ODS_SELECTED) ? Mix(text, background) : text;
    FillRect(item->hDC, &item->rcItem, shell::UniqueGdiT<HBRUSH>(CreateSolidBrush(fill)).get());
    const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, item->itemID, 0);
    if (length > 0 && length <= LRESULT(CWordIndex::kLongestWord)) {
        wchar_t word[CWordIndex::kLongestWord + 2] = {};
        SendMessageW(list_, LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(word));
        HGDIOBJ oldFont = SelectObject(item->hDC, reinterpret_cast<HFONT>(Send(WM_GETFONT)));
        const int oldMode = SetBkMode(item->hDC, TRANSPARENT);
        const COLORREF oldColour = SetTextColor(item->hDC, background);
        RECT r = item->rcItem;
        DrawTextW(item->hDC, word, int(length), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SetTextColor(item->hDC, oldColour);
        SetBkMode(item->hDC, oldMode);
        SelectObject(item->hDC, oldFont);
    }
    return true;
}

}  // namespace documents
