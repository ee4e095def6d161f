// The pane's procedure runs before the control's: it consumes the pane
// commands, the Ctrl+wheel zoom, the context menu and message 895, passes a
// focused pane's scroll messages to its link, and hands everything else
// (typing, painting, the control's own messages) to the control.
//
// The status-bar texts are compared with the last ones written by any pane
// (one cache for the program): a pass writes only what changed.
#include "TextView.h"

#include <cwctype>
#include <string>
#include <vector>

#include "CommandIds.h"
#include "Document.h"
#include "DocumentSearch.h"
#include "EditProtocol.h"
#include "InputDialog.h"
#include "MessageSink.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "ResultLine.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "SyntaxList.h"

namespace documents {
namespace {

constexpr wchar_t kClassName[] = L"MorrowpadPane";
constexpr wchar_t kViewProperty[] = L"View";
constexpr wchar_t kViewTypeProperty[] = L"ViewType";
WNDPROC g_controlProc = nullptr;  // "MRPAD32"'s procedure (main thread only)
CTextView* g_creating = nullptr;  // the object whose window is being made
// The pane's object sits in window bytes of its own past the control's: the
// "View" property stays for others, but asking for a property is a round trip
// to the server under Wine (some 14 us), too slow for every message.
int g_objectSlot = -1;

CTextView* ObjectOf(HWND window) {
    return g_objectSlot < 0 ? nullptr : reinterpret_cast<CTextView*>(GetWindowLongPtrW(window, g_objectSlot));
}
int ChooseNothing(HWND) { return -1; }
ChooseCodePageFn g_chooseCodePage = &ChooseNothing;
bool g_recording = false;  // a macro is being recorded

// The program's own cursor for recording, loaded once (shared, never freed).
HCURSOR RecordingCursor() {
    static const HCURSOR cursor = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_RECORDING));
    return cursor;
}

// View options: command, option index, key in section Edit.
struct ViewOption {
    UINT command;
    int index;
    const wchar_t* key;
};
constexpr ViewOption kViewOptions[] = {
    {ID_VIEW_LINE_NUMBERS, 0, L"LineNumber"}, {ID_VIEW_RULER, 1, L"Ruler"},
    {ID_VIEW_WHITESPACE, 2, L"WhiteSpace"},   {ID_VIEW_CONTROL_CHARS, 3, L"ControlChar"},
    {ID_VIEW_LINE_ENDS, 4, L"EndOfLine"},     {ID_VIEW_EOF, 5, L"EndOfFile"},
    {ID_VIEW_ACTIVE_LINE, 6, L"ActiveLine"},  {ID_VIEW_INDENT_LINES, 8, L"IndentLine"},
};

// The control takes the indent guides' option but cannot answer for it.
constexpr int kIndentLines = 8;

// The frame's edit commands as the control's own; 0 for any other.
int ControlCommand(UINT id) {
    switch (id) {
        case ID_EDIT_COPY: return ECMD_COPY;
        case ID_EDIT_CUT: return ECMD_CUT;
        case ID_EDIT_PASTE: return ECMD_PASTE;
        case ID_EDIT_UNDO: return ECMD_UNDO;
        case ID_EDIT_REDO: return ECMD_REDO;
        case ID_TOGGLE_BOOKMARK: return ECMD_TOGGLEBOOKMARK;
        case ID_CLEAR_BOOKMARKS: return ECMD_CLEARBOOKMARKS;
        case ID_PREV_BOOKMARK: return ECMD_PREVBOOKMARK;
        case ID_NEXT_BOOKMARK: return ECMD_NEXTBOOKMARK;
    }
    return 0;
}

std::wstring CodePageName(int cp) {
    switch (cp) {
        case 0: return L"ANSI";
        case 1200: return L"Unicode";
        case 1201: return L"Unicode BE";
        case 65001: return L"UTF-8";
    }
    return L"CP " + std::to_wstring(cp);
}

// The status texts last written (index = pane 1..10); unknown until written.
struct StatusCache {
    std::wstring text[11];
    bool known[11] = {};
};
StatusCache& Shown() {
    static StatusCache cache;
    return cache;
}

// A whole number typed into the input dialog; false when there is none.
bool ParseNumber(const std::wstring& text, long* out) {
    const wchar_t* p = text.c_str();
    while (iswspace(*p)) ++p;
    wchar_t* end = nullptr;
    const long n = wcstol(p, &end, 10);
    if (end == p) return false;
    *out = n;
    return true;
}

// A status-bar popup carries private identifiers while it is shown: the
// host applies its command states to the popups it shows, and its table
// knows 1200 as "next tab" and 1..10 as status panes, which would grey or
// uncheck code pages and tab sizes. An item whose identifier is 0 (ANSI, "no
// byte-order mark") could not be told from "nothing chosen" either.
class CPopupItems {
   public:
    explicit CPopupItems(HMENU popup) : popup_(popup) {
        const int n = popup ? GetMenuItemCount(popup) : 0;
        for (int i = 0; i < n; ++i) {
            MENUITEMINFOW info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU;
            if (!GetMenuItemInfoW(popup, UINT(i), TRUE, &info) || info.hSubMenu ||
                (info.fType & MFT_SEPARATOR))
                continue;
            info.fMask = MIIM_ID;
            ids_.push_back(info.wID);
            info.wID = kFirst + UINT(ids_.size() - 1);
            SetMenuItemInfoW(popup, UINT(i), TRUE, &info);
        }
    }
    // Checks every item whose own identifier is `id`.
    void Check(UINT id) {
        for (size_t i = 0; i < ids_.size(); ++i)
            if (ids_[i] == id) CheckMenuItem(popup_, kFirst + UINT(i), MF_BYCOMMAND | MF_CHECKED);
    }
    // The chosen item's own identifier; false when nothing was chosen.
    bool Choice(UINT shown, UINT* id) const {
        if (shown < kFirst || shown - kFirst >= ids_.size()) return false;
        *id = ids_[shown - kFirst];
        return true;
    }

   private:
    static constexpr UINT kFirst = 0xF100;  // no command of the program lies here
    HMENU popup_;
    std::vector<UINT> ids_;
};

bool IsBlank(const std::wstring& line) {
    for (wchar_t c : line)
        if (c != L' ' && c != L'\t' && c != 0x3000) return false;
    return true;
}

}  // namespace

void SetChooseCodePage(ChooseCodePageFn choose) { g_chooseCodePage = choose ? choose : &ChooseNothing; }

void CTextView::ForgetStatusTexts() { Shown() = StatusCache(); }

void CTextView::SetRecording(bool on) { g_recording = on; }
bool CTextView::Recording() { return g_recording; }

void CTextView::Reflect(const NMHDR* header) {
    if (!header) return;
    CTextView* view = FromWindow(header->hwndFrom);
    if (!view || !view->box_) return;
    if (header->code == EN_MP_TEXTCHANGED)
        view->box_->OnTextChanged(*reinterpret_cast<const TextChangedNotify*>(header));
    else if (header->code == EN_MP_CARETMOVED)
        view->box_->OnCaretMoved(*reinterpret_cast<const CaretMovedNotify*>(header));
}

CTextView* CTextView::FromWindow(HWND window) {
    if (!window || !IsWindow(window)) return nullptr;
    wchar_t name[32] = {};
    if (!GetClassNameW(window, name, 32) || wcscmp(name, kClassName) != 0) return nullptr;
    return ObjectOf(window);
}

CTextView* CTextView::Create(HWND parent, const PaneContext& context) {
    if (!context.editLibrary) return nullptr;
    // Asked each time: a library loaded anew has its procedure elsewhere.
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(context.editLibrary, MRPAD_CLASS_NAME, &wc)) return nullptr;
    g_controlProc = wc.lpfnWndProc;
    WNDCLASSEXW mine = {};
    mine.cbSize = sizeof mine;
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &mine)) {
        wc.lpfnWndProc = &CTextView::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        wc.cbWndExtra += int(sizeof(CTextView*));
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
        if (!GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &mine)) return nullptr;
    }
    if (mine.cbWndExtra < int(sizeof(CTextView*))) return nullptr;
    g_objectSlot = mine.cbWndExtra - int(sizeof(CTextView*));
    auto* view = new CTextView(context);
    g_creating = view;
    const HWND window =
        CreateWindowExW(WS_EX_CLIENTEDGE, kClassName, L"",
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL,
                        0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), view);
    // The window's last message deleted the object once the window existed.
    if (!window) {
        if (g_creating == view) delete view;
        g_creating = nullptr;
        return nullptr;
    }
    SetPropW(window, kViewTypeProperty, reinterpret_cast<HANDLE>(INT_PTR(context.viewType)));
    view->ReadViewOptions();
    return view;
}

CTextView::~CTextView() = default;

LRESULT CALLBACK CTextView::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CTextView* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<CTextView*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self) {
            if (g_creating == self) g_creating = nullptr;
            self->hwnd_ = hwnd;
            SetPropW(hwnd, kViewProperty, self);
            SetWindowLongPtrW(hwnd, g_objectSlot, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = ObjectOf(hwnd);
    }
    if (!self || !g_controlProc)
        return g_controlProc ? CallWindowProcW(g_controlProc, hwnd, msg, wp, lp)
                             : DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {  // out of memory: the message fails, the window lives on
        result = 0;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, g_objectSlot, 0);
        RemovePropW(hwnd, kViewProperty);
        RemovePropW(hwnd, kViewTypeProperty);
        self->hwnd_ = nullptr;
        delete self;
    }
    return result;
}

LRESULT CTextView::Control(UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcW(g_controlProc, hwnd_, msg, wp, lp);
}

HWND CTextView::Owner() const {
    const HWND root = GetAncestor(hwnd_, GA_ROOT);
    return context_.frame ? context_.frame : root;
}

LRESULT CTextView::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            // A key of the control's own (HIWORD 1: an accelerator) gave an
            // edit command: recorded as the command, as a menu's would be.
            if (g_recording && context_.frame && HIWORD(wp) == 1 && LOWORD(wp) >= 1 &&
                LOWORD(wp) <= ECMD_LAST)
                SendMessageW(context_.frame, MPF_RECORD_COMMAND, LOWORD(wp), 0);
            return OnCommand(wp, lp);
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_MOUSEWHEEL:
            if (box_) box_->Hide();
            if (link_ && link_ != hwnd_ && IsWindow(link_) && GetFocus() == hwnd_)
                SendMessageW(link_, msg, wp, lp);
            if (msg == WM_MOUSEWHEEL && OnWheel(wp)) return 0;
            break;
        case WM_CONTEXTMENU: OnContextMenu(lp); return 0;
        case WM_LBUTTONDBLCLK: {
            // The control selects the word: its occurrences are highlighted,
            // and a result line then opens its file.
            const LRESULT result = Control(msg, wp, lp);
            HighlightSelectedWord();
            shell::JumpToLocation(context_.frame, hwnd_);
            return result;
        }
        case MPM_TRANSLATEACCEL:
            // The completion list consumes its keys first; every other key
            // goes to the control's own accelerators.
            if (lp && box_ && box_->Visible()) {
                if (!autoComplete_) {
                    box_->Hide();
                } else if (box_->Translate(*reinterpret_cast<const MSG*>(lp))) {
                    return 1;
                }
            }
            break;
        case WM_CHAR:
            // The recorder keeps what it records of typing.
            if (g_recording && context_.frame) SendMessageW(context_.frame, MPF_RECORD_CHAR, wp, 0);
            if (autoComplete_) {
                if (!box_) box_ = std::make_unique<CAutoBox>(hwnd_);
                box_->OnChar(wchar_t(wp));
            }
            break;
        case WM_TIMER:
            if (box_ && box_->OnTimer(wp)) return 0;
            break;
        case WM_KILLFOCUS:
            // The list goes with the focus, unless the list itself takes it.
            if (box_ && (!box_->ListWindow() || reinterpret_cast<HWND>(wp) != box_->ListWindow()))
                box_->Hide();
            break;
        case WM_MEASUREITEM:
            if (box_ && box_->OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp))) return TRUE;
            break;
        case WM_DRAWITEM:
            if (box_ && box_->OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
            break;
        case MPM_LOADFILE:
        case MPM_LOADINPLACE:
        case MPM_REPLACEFILE:
        case MPM_SHAREDOC:
        case MPM_CLOSEDOC: {
            // Another text altogether: the words are read anew, in every
            // pane of the document when its text was replaced.
            const LRESULT result = Control(msg, wp, lp);
            if (msg == MPM_LOADFILE || msg == MPM_LOADINPLACE || msg == MPM_REPLACEFILE)
                ResetWordsOfDocument();
            else if (box_ && (msg != MPM_SHAREDOC || wp))
                box_->OnDocumentReset();
            return result;
        }
        case WM_SETCURSOR:
            if (g_recording && LOWORD(lp) == HTCLIENT && RecordingCursor()) {
                SetCursor(RecordingCursor());
                return TRUE;
            }
            break;
        case WM_SETFONT:
            if (font_ && reinterpret_cast<HFONT>(wp) != font_.get()) {
                // Someone else's font from now on: ours goes once the control let go of it.
                const LRESULT r = Control(msg, wp, lp);
                font_.reset();
                return r;
            }
            break;
    }
    return Control(msg, wp, lp);
}

void CTextView::ReadViewOptions() {
    for (const ViewOption& o : kViewOptions) {
        const bool show = settings::ReadKeyBool(settings::File::Setting, L"Edit", o.key);
        Control(MPM_VIEWPART, WPARAM(o.index | (show ? 256 : 0)), 0);
        if (o.index == kIndentLines) indentLines_ = show;
    }
    autoComplete_ = settings::ReadKeyBool(settings::File::Setting, L"Edit", L"AutoComplete");
    Control(MPM_WRAPWORDS, settings::ReadKeyBool(settings::File::Setting, L"Edit", L"WrapAtWords") ? 1 : 0);
}

LRESULT CTextView::OnCommand(WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    if (const int command = ControlCommand(id)) return Control(WM_COMMAND, WPARAM(command), 0);
    if (id >= ID_VIEW_LINE_NUMBERS && id <= ID_VIEW_INDENT_LINES) {
        ToggleViewOption(id);
        return 0;
    }
    if (id >= ID_FOLD_NONE && id <= ID_FOLD_SELECTION) {
        Control(MPM_FOLDMODE, WPARAM(id - ID_FOLD_NONE), 0);
        return 0;
    }
    switch (id) {
        case ID_WORD_WRAP: Control(MPM_TOGGLEWRAP); return 0;
        case ID_WRAP_AT_WORDS: {
            const bool on = Control(MPM_WRAPWORDS, 2) == 0;
            Control(MPM_WRAPWORDS, on ? 1 : 0);
            settings::WriteBool(settings::File::Setting, L"Edit", L"WrapAtWords", on);
            return 0;
        }
        case ID_BRACE_MATCH: Control(MPM_BRACEMATCH, Control(MPM_BRACEMATCH, 2) ? 0 : 1); return 0;
        case ID_FONT_LARGER: Zoom(true); return 0;
        case ID_FONT_SMALLER: Zoom(false); return 0;
        case ID_GOTO_LINE: GoToLine(); return 0;
        case ID_LINE_SPACING: LineSpacing(); return 0;
        case ID_AUTO_COMPLETE:
            autoComplete_ = !autoComplete_;
            if (!autoComplete_ && box_) box_->Stop();
            settings::WriteBool(settings::File::Setting, L"Edit", L"AutoComplete", autoComplete_);
            return 0;
        case ID_REMOVE_BLANK_LINES: RemoveBlankLines(); return 0;
        case ECMD_LINEBREAK: return KeepIndentation(wp, lp);
        case ECMD_SELECTWORD: {
            const LRESULT result = Control(WM_COMMAND, wp, lp);
            HighlightSelectedWord();
            return result;
        }
        case ID_STATUS_PANE: OnStatusClick(HIWORD(wp)); return 0;
    }
    return Control(WM_COMMAND, wp, lp);
}

// The panes showing one document are those whose control names the same
// file-name string, which the document holds.
void CTextView::ResetWordsOfDocument() {
    if (box_) box_->OnDocumentReset();
    const LRESULT document = Control(MPM_GETFILENAME);
    const HWND root = GetAncestor(hwnd_, GA_ROOT);
    if (!document || !root) return;
    struct Search {
        HWND self;
        LRESULT document;
    } search = {hwnd_, document};
    EnumChildWindows(
        root,
        [](HWND child, LPARAM lp) -> BOOL {
            const auto* s = reinterpret_cast<const Search*>(lp);
            CTextView* view = child != s->self ? FromWindow(child) : nullptr;
            if (view && view->box_ && view->Control(MPM_GETFILENAME) == s->document)
                view->box_->OnDocumentReset();
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
}

// A word of 1 to 32 units that does not start with a delimiter: every
// occurrence, ignoring case, as plain text. Anything else (no selection,
// several ranges, a long run or a delimiter) removes the highlight. A view
// of the output kind (its caret frozen) never highlights this way.
void CTextView::HighlightSelectedWord() {
    constexpr int kLongestWord = 32;
    if (Control(MPM_FREEZECARET, 2) == 1) return;
    Position start = {}, end = {};
    if (Control(MPM_GETSELKIND) == 1 &&
        Control(MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)) &&
        start.line == end.line && end.column - start.column >= 1 &&
        end.column - start.column <= kLongestWord) {
        std::wstring word(size_t(end.column - start.column), L'\0');
        RangeTextArg arg = {start.line, start.column, end.line, end.column, word.data(), 0};
        Control(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg));
        if (!Control(MPM_ISDELIMITER, WPARAM(word[0]))) {
            search::HighlightAll(hwnd_, word, 0);
            return;
        }
    }
    search::ClearHighlight(hwnd_);
}

void CTextView::ToggleViewOption(UINT command) {
    for (const ViewOption& o : kViewOptions) {
        if (o.command != command) continue;
        const bool show = !IsShown(o.index);
        Control(MPM_VIEWPART, WPARAM(o.index | (show ? 256 : 0)), 1);
        if (o.index == kIndentLines) indentLines_ = show;
        settings::WriteBool(settings::File::Setting, L"Edit", o.key, show);
        return;
    }
}

bool CTextView::IsShown(int index) {
    return index == kIndentLines ? indentLines_ : Control(MPM_VIEWPART, WPARAM(index), -1) != 0;
}

void CTextView::Zoom(bool larger) {
    LOGFONTW lf = {};
    HFONT current = reinterpret_cast<HFONT>(Control(WM_GETFONT));
    if (!current || !GetObjectW(current, sizeof lf, &lf)) return;
    if (lf.lfHeight == 0) lf.lfHeight = -int(Control(MPM_FONTHEIGHT));
    const int sign = lf.lfHeight < 0 ? -1 : 1;
    int size = lf.lfHeight * sign;  // magnitude
    size = larger ? size + 1 : size - 1;
    if (size < 1) return;  // one unit is the smallest
    lf.lfHeight = size * sign;
    shell::UniqueGdiT<HFONT> font(CreateFontIndirectW(&lf));
    if (!font) return;
    const HFONT shown = font.get();
    std::swap(font_, font);  // `font` holds the old one now: deleted once the control let go of it
    Control(WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
}

bool CTextView::OnWheel(WPARAM wp) {
    if (!(GET_KEYSTATE_WPARAM(wp) & MK_CONTROL)) return false;
    UINT lines = 0;
    if (!SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0) || lines < 2 ||
        lines == WHEEL_PAGESCROLL)
        lines = 3;
    const int steps = GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * int(lines);
    // One step of the font a notch, whichever the wheel's speed.
    if (steps) SendMessageW(hwnd_, WM_COMMAND, steps > 0 ? ID_FONT_LARGER : ID_FONT_SMALLER, 0);
    return true;
}

void CTextView::OnContextMenu(LPARAM lp) {
    if (!context_.env) return;
    POINT pt = {short(LOWORD(lp)), short(HIWORD(lp))};
    if (lp == -1) GetCursorPos(&pt);  // from the keyboard
    HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(IDM_PANE_CONTEXT));
    if (!menu) return;
    if (HMENU popup = GetSubMenu(menu, 0)) context_.env->TrackMenu(popup, pt.x, pt.y, TRUE);
    DestroyMenu(menu);
}

void CTextView::GoToLine() {
    const int count = int(Control(MPM_GETLINECOUNT));
    Position caret = {};
    Control(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
    std::wstring value = std::to_wstring(caret.line + 1);
    const std::wstring prompt = shell::FormatLanguageString(15003, {L"1", std::to_wstring(count)});
    long line = 0;
    if (!AskInput(Owner(), shell::LanguageString(15016), prompt, &value) || !ParseNumber(value, &line))
        return;
    if (line < 1) line = 1;
    if (line > count) line = count;
    Position target = {int(line) - 1, 0};
    Control(MPM_SETCARET, reinterpret_cast<WPARAM>(&target), 1);
}

void CTextView::LineSpacing() {
    std::wstring value = std::to_wstring(Control(MPM_LINESPACING, 0x80000000u));
    if (!AskInput(Owner(), shell::LanguageString(15017), shell::LanguageString(15004), &value)) return;
    long pixels = 0;
    if (!ParseNumber(value, &pixels) || pixels < 0) pixels = 0;
    Control(MPM_LINESPACING, WPARAM(pixels > 0xFFFF ? 0xFFFF : pixels));
}

void CTextView::RemoveBlankLines() {
    Position start = {}, end = {};
    if (Control(MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)) != 1)
        return;
    if (end.line < start.line) std::swap(start, end);
    if (start.line == end.line) return;
    const int first = start.line, last = end.line;
    Control(WM_SETREDRAW, FALSE);
    Control(MPM_UNDOGROUP, 1);
    int deleted = 0;
    std::vector<wchar_t> buffer;
    for (int line = last; line >= first; --line) {
        const int length = int(Control(MPM_GETLINE, WPARAM(line), 0));
        buffer.assign(size_t(length) + 1, L'\0');
        if (length) Control(MPM_GETLINE, WPARAM(line), reinterpret_cast<LPARAM>(buffer.data()));
        if (!IsBlank(std::wstring(buffer.data(), size_t(length)))) continue;
        const int count = int(Control(MPM_GETLINECOUNT));
        Position from = {line, 0};
        Position to = {line + 1, 0};
        if (line + 1 >= count) {
            // The last line has no next one: its blanks go, the line stays.
            if (length == 0) continue;
            to = {line, length};
        } else {
            ++deleted;
        }
        Control(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    }
    Control(WM_SETREDRAW, TRUE);
    InvalidateRect(hwnd_, nullptr, FALSE);
    const int newLast = last + 1 - deleted;
    if (newLast != first) {
        Position anchor = {first, 0}, caret = {newLast, 0};
        Control(MPM_SELECT, reinterpret_cast<WPARAM>(&anchor), reinterpret_cast<LPARAM>(&caret));
    }
    Control(MPM_UNDOGROUP, 0);
}

// With no selection or one range, the pane makes the line break itself, so
// that it and the copied indentation are one undo step (the control's own
// Enter closes its undo group before the indentation could join it).
LRESULT CTextView::KeepIndentation(WPARAM wp, LPARAM lp) {
    Position caret = {};
    Control(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
    const int length = int(Control(MPM_GETLINE, WPARAM(caret.line), 0));
    std::vector<wchar_t> line(size_t(length) + 1, L'\0');
    if (length) Control(MPM_GETLINE, WPARAM(caret.line), reinterpret_cast<LPARAM>(line.data()));
    std::wstring indent;
    for (int i = 0; i < length && i < caret.column && (line[size_t(i)] == L' ' || line[size_t(i)] == L'\t');
         ++i)
        indent += line[size_t(i)];
    const LRESULT selection = Control(MPM_GETSELKIND);
    if (selection >= 2 || Control(MPM_READONLY, 2) == 1) {
        // Enter types nothing into a column selection; a read-only document beeps.
        const LRESULT result = Control(WM_COMMAND, wp, lp);
        Position after = {};
        Control(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&after));
        if (selection == 3 && !indent.empty() && after.line != caret.line) {
            TextArg arg = {indent.c_str(), int(indent.size())};
            Control(MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        }
        return result;
    }
    Position at = caret;
    const std::wstring text = L"\n" + indent;
    TextArg arg = {text.c_str(), int(text.size())};
    Control(MPM_UNDOGROUP, 1);
    Position start = {}, end = {};
    if (selection == 1 &&
        Control(MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)) == 1) {
        Control(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        at = start.line < end.line || (start.line == end.line && start.column <= end.column) ? start : end;
    }
    Control(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&at), reinterpret_cast<LPARAM>(&arg));
    Control(MPM_UNDOGROUP, 0);
    Control(MPM_SCROLLCARET);
    return 0;
}

void CTextView::Update() {
    IUpdateUI* ui = context_.ui;
    if (!ui || !hwnd_) return;
    StatusCache& shown = Shown();
    auto set = [&](int pane, const std::wstring& text) {
        if (shown.known[pane] && shown.text[pane] == text) return;
        if (!ui->SetCommandText(UINT(pane), text.c_str())) return;
        shown.known[pane] = true;
        shown.text[pane] = text;
    };
    Position caret = {};
    Control(MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret));
    set(1, L"Ln " + std::to_wstring(caret.line + 1));
    set(2, L"Col " + std::to_wstring(caret.column + 1));
    wchar_t unit[16];
    swprintf(unit, 16, L"U+%04X",
             unsigned(Control(MPM_GETCHARAT, WPARAM(caret.line), caret.column)) & 0xFFFFu);
    set(3, unit);
    set(4, std::to_wstring(Control(MPM_GETLINECOUNT)));
    const int cp = int(Control(MPM_GETCODEPAGE));
    set(5, CodePageName(cp));
    static const wchar_t* const kModes[] = {L"INS", L"OVR", L"COL"};
    const LRESULT mode = Control(MPM_GETINPUTMODE);
    set(6, kModes[mode >= 0 && mode <= 2 ? mode : 0]);
    const LRESULT lineEnd = Control(MPM_LINEBREAKTYPE, 0);
    set(7, lineEnd == LB_LF ? L"UNIX" : lineEnd == LB_CR ? L"MAC" : L"PC");
    const bool unicode = cp == 1200 || cp == 1201 || cp == 65001;
    set(8, !unicode ? L"" : Control(MPM_BOM, WPARAM(-1)) ? L"BOM" : L"No BOM");
    const bool soft = Control(MPM_SOFTTABS, WPARAM(-1)) == 1;
    set(9, (soft ? L"SoftTabs:" : L"TabSize:") + std::to_wstring(Control(MPM_TABWIDTH, 0)));
    auto* lexer = reinterpret_cast<ILexer*>(Control(MPM_GETLEXER));
    const wchar_t* name = lexer ? lexer->Name() : nullptr;
    set(10, name && *name ? name : L"Text");

    ui->EnableCommand(ID_EDIT_UNDO, Control(MPM_CANUNDO) == 1);
    ui->EnableCommand(ID_EDIT_REDO, Control(MPM_CANREDO) == 1);
    ui->EnableCommand(ID_FILE_SAVE, Control(MPM_ISMODIFIED) == 1);
    const LRESULT selection = Control(MPM_GETSELKIND);
    ui->EnableCommand(ID_EDIT_COPY, selection != 0);
    ui->EnableCommand(ID_EDIT_CUT, selection != 0);
    for (UINT id : {63u, 64u, 69u, 70u, UINT(ID_REMOVE_BLANK_LINES)}) ui->EnableCommand(id, selection == 1);
    for (const ViewOption& o : kViewOptions) ui->CheckCommand(o.command, IsShown(o.index) ? 1 : 0);
    ui->CheckCommand(ID_WORD_WRAP, Control(MPM_GETWRAPMODE) ? 1 : 0);
    ui->CheckCommand(ID_WRAP_AT_WORDS, Control(MPM_WRAPWORDS, 2) ? 1 : 0);
    ui->CheckCommand(ID_BRACE_MATCH, Control(MPM_BRACEMATCH, 2) ? 1 : 0);
    ui->CheckCommand(ID_AUTO_COMPLETE, autoComplete_ ? 1 : 0);
    const LRESULT fold = Control(MPM_FOLDMODE, WPARAM(-1));
    const UINT marked = fold >= 1 && fold <= 3 ? UINT(ID_FOLD_NONE + fold) : UINT(ID_FOLD_NONE);
    for (UINT id = ID_FOLD_NONE; id <= ID_FOLD_SELECTION; ++id) ui->CheckCommand(id, id == marked ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Status-bar clicks

UINT CTextView::Track(HMENU popup) {
    if (!popup || !context_.env) return 0;
    POINT pt = {};
    GetCursorPos(&pt);
    return context_.env->TrackMenu(popup, pt.x, pt.y, FALSE);
}

void CTextView::OnStatusClick(int pane) {
    switch (pane) {
        case 4: SendMessageW(hwnd_, WM_COMMAND, ID_GOTO_LINE, 0); return;
        case 5: CodePageMenu(); return;
        case 7: LineEndMenu(); return;
        case 8: ByteOrderMarkMenu(); return;
        case 9: TabMenu(); return;
        case 10: SyntaxMenu(); return;
    }
}

void CTextView::CodePageMenu() {
    HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(IDM_CODEPAGE_POPUP));
    if (!menu) return;
    const int current = int(Control(MPM_CODEPAGE, WPARAM(-1)));
    HMENU popup = GetSubMenu(menu, 0);
    CPopupItems items(popup);
    items.Check(UINT(current));
    UINT item = 0;
    const bool chosen = items.Choice(Track(popup), &item);
    DestroyMenu(menu);
    if (!chosen) return;
    int cp = int(item);
    if (cp == 1) cp = g_chooseCodePage(Owner());
    if (cp < 0 || cp == 1 || cp == current || (current == 0 && UINT(cp) == GetACP())) return;
    const wchar_t* name = reinterpret_cast<const wchar_t*>(Control(MPM_GETFILENAME));
    const std::wstring path = name ? name : L"";
    const bool exists = !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    // A modified document keeps its text: only the code page of the next save changes.
    if (Control(MPM_ISMODIFIED) == 1 || !exists) {
        Control(MPM_CODEPAGE, WPARAM(cp));
        return;
    }
    const int answer =
        shell::ShowMessage(Owner(), shell::LanguageString(15002).c_str(), MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES) {
        Control(MPM_CODEPAGE, WPARAM(cp));
        return;
    }
    const int lineEnd = int(Control(MPM_LINEBREAKTYPE, 0));
    const LRESULT loaded =
        Control(MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(cp, lineEnd));
    ResetWordsOfDocument();
    if (!loaded)
        shell::ShowMessage(Owner(), shell::FormatLanguageString(15100, {path}).c_str(), MB_ICONERROR);
}

void CTextView::LineEndMenu() {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LINE_ENDS));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    const int current = int(Control(MPM_LINEBREAKTYPE, 0));
    CPopupItems items(popup);
    items.Check(UINT(current));
    UINT item = 0;
    const bool chosen = items.Choice(Track(popup), &item);
    DestroyMenu(menu);
    if (chosen && item >= 1 && item <= 3 && int(item) != current) Control(MPM_LINEBREAKTYPE, item);
}

void CTextView::ByteOrderMarkMenu() {
    const int cp = int(Control(MPM_CODEPAGE, WPARAM(-1)));
    if (cp != 1200 && cp != 1201 && cp != 65001) return;
    HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(IDM_BOM_POPUP));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    const bool mark = Control(MPM_BOM, WPARAM(-1)) == 1;
    CPopupItems items(popup);
    if (mark) items.Check(1);
    UINT item = 0;
    const bool chosen = items.Choice(Track(popup), &item);
    DestroyMenu(menu);
    if (chosen) Control(MPM_BOM, mark ? 0 : 1);
}

void CTextView::TabMenu() {
    HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(IDM_TAB_POPUP));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    const int size = int(Control(MPM_TABWIDTH, 0));
    const bool soft = Control(MPM_SOFTTABS, WPARAM(-1)) == 1;
    CPopupItems items(popup);
    items.Check(UINT(size));
    if (soft) items.Check(11);
    UINT item = 0;
    const bool chosen = items.Choice(Track(popup), &item);
    DestroyMenu(menu);
    if (!chosen) return;
    switch (item) {
        case 10: {
            std::wstring value = std::to_wstring(size);
            long n = 0;
            if (AskInput(Owner(), shell::LanguageString(15015), shell::LanguageString(15000), &value) &&
                ParseNumber(value, &n) && n >= 2 && n <= 16)
                Control(MPM_TABWIDTH, WPARAM(n));
            return;
        }
        case 11: Control(MPM_SOFTTABS, soft ? 0 : 1); return;
        case 12: SendMessageW(hwnd_, WM_COMMAND, ID_VIEW_WHITESPACE, 0); return;
    }
    if (item >= 2 && item <= 16) Control(MPM_TABWIDTH, item);
}

// "Text" and one item per syntax definition; the choice applies to the
// whole document, through its window when there is one.
void CTextView::SyntaxMenu() {
    HMENU popup = CreatePopupMenu();
    if (!popup) return;
    AppendMenuW(popup, MF_STRING, 1200, L"Text");
    const int count = syntax::EntryCount();
    if (count > 0) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < count && i < 1199; ++i)
        AppendMenuW(popup, MF_STRING, UINT(i + 1), syntax::Entry(i)->title.c_str());
    CPopupItems items(popup);
    auto* lexer = reinterpret_cast<ILexer*>(Control(MPM_GETLEXER));
    const wchar_t* current = lexer ? lexer->Name() : nullptr;
    if (!current) {
        items.Check(1200);
    } else {
        for (int i = 0; i < count && i < 1199; ++i)
            if (_wcsicmp(syntax::Entry(i)->title.c_str(), current) == 0) {
                items.Check(UINT(i + 1));
                break;
            }
    }
    UINT item = 0;
    const bool chosen = items.Choice(Track(popup), &item);
    DestroyMenu(popup);
    if (!chosen || (item != 1200 && (item < 1 || int(item) > count))) return;
    const std::wstring name = item == 1200 ? std::wstring() : syntax::Entry(int(item) - 1)->title;
    for (HWND w = GetParent(hwnd_); w; w = GetParent(w))
        if (ViewOf(w)) {
            SendMessageW(w, MPD_SET_SYNTAX, reinterpret_cast<WPARAM>(name.c_str()), 0);
            return;
        }
    ILexer* chosenLexer = name.empty() ? nullptr : syntax::LexerByName(name);
    if (!name.empty() && !chosenLexer) return;  // its script failed: the current syntax stays
    Control(MPM_SETLEXER, reinterpret_cast<WPARAM>(chosenLexer), 1);
    Control(MPM_INDENTFOLDS, syntax::FoldsByIndent(chosenLexer) ? 1 : 0);
    Control(MPM_FOLDMODE,
            chosenLexer ? WPARAM(settings::ReadClampedInt(settings::File::Setting, L"Edit", L"FoldingMethod"))
                        : 0);
}

}  // namespace documents
