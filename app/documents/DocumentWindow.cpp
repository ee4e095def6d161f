#include "DocumentWindow.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "CommandIds.h"
#include "EditProtocol.h"
#include "Encoding.h"
#include "FileDialogEx.h"
#include "MessageSink.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "SystemCalls.h"

namespace documents {
namespace {

constexpr wchar_t kClassName[] = L"MorrowpadDocument";
constexpr wchar_t kViewProperty[] = L"DocumentView";
constexpr int kPaneId = 1;

int g_untitled = 0;  // untitled windows made in this run (main thread only)

// View options of a pane: command, option index, key in section Edit.
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

// The standard edit commands as the control's own.
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
    return int(id);
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

// The leading bytes of a file (at most `limit`); false when it cannot be read.
bool ReadSample(const wchar_t* path, size_t limit, std::vector<uint8_t>* out) {
    shell::UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return false;
    out->resize(encoding::SampleSize(int(limit / 1024), size_t(size.QuadPart)));
    DWORD got = 0;
    if (!out->empty() && !ReadFile(file.get(), out->data(), DWORD(out->size()), &got, nullptr)) return false;
    out->resize(got);
    return true;
}

int DetectCodePage(const std::vector<uint8_t>& s) {
    const size_t n = s.size();
    if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) return 65001;
    if (n >= 4 && s[0] == 0xFF && s[1] == 0xFE && s[2] == 0 && s[3] == 0) return 12000;
    if (n >= 4 && s[0] == 0 && s[1] == 0 && s[2] == 0xFE && s[3] == 0xFF) return 12001;
    if (n >= 2 && s[0] == 0xFF && s[1] == 0xFE) return 1200;
    if (n >= 2 && s[0] == 0xFE && s[1] == 0xFF) return 1201;
    return n ? encoding::DetectCodePage(s.data(), n) : 0;
}

// The first line end of the sample in the code page's units: 1 CR LF, 2 LF,
// 3 CR; CR LF when there is none.
int SniffLineEnd(const std::vector<uint8_t>& s, int cp) {
    size_t unit = 1, low = 0;
    if (cp == 1200 || cp == 1201) unit = 2;
    if (cp == 12000 || cp == 12001) unit = 4;
    if (cp == 1201) low = 1;
    if (cp == 12001) low = 3;
    auto at = [&](size_t i) -> uint32_t {
        uint32_t v = s[i + low];
        for (size_t b = 0; b < unit; ++b)
            if (b != low && s[i + b]) return 0xFFFF;  // not an ASCII unit
        return v;
    };
    for (size_t i = 0; i + unit <= s.size(); i += unit) {
        const uint32_t c = at(i);
        if (c == '\n') return LB_LF;
        if (c == '\r') {
            if (i + 2 * unit > s.size()) return LB_CRLF;  // the sample ends between CR and LF
            return at(i + unit) == '\n' ? LB_CRLF : LB_CR;
        }
    }
    return LB_CRLF;
}

std::wstring FileName(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}


}  // namespace

IView* ViewOf(HWND window) {
    if (!window) return nullptr;
    return static_cast<IView*>(GetPropW(window, kViewProperty));
}

bool HasFile(HWND window) {
    IView* view = ViewOf(window);
    return view && static_cast<CDocumentWindow*>(view)->HasFileName();
}

CDocumentWindow* CDocumentWindow::Create(HWND parent, HWND frame, IUpdateUI* ui, HMODULE editLibrary) {
    if (!Register(kClassName)) return nullptr;
    auto* doc = new CDocumentWindow(frame, ui, editLibrary);
    if (!doc->CreateAs(kClassName, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, 0, parent))
        return nullptr;  // the window's last message deleted the object
    return doc;
}

int CDocumentWindow::GetCaption(wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return GetWindowTextLengthW(Window());
    return GetWindowTextW(Window(), buffer, size);
}

BOOL CDocumentWindow::IsModified() { return pane_ && SendMessageW(pane_, MPM_ISMODIFIED, 0, 0) == 1; }

std::wstring CDocumentWindow::Caption() const {
    const int n = GetWindowTextLengthW(Window());
    std::wstring text(size_t(n) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(Window(), text.data(), n + 1)));
    return text;
}

LRESULT CDocumentWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE:
            if (pane_) MoveWindow(pane_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (pane_) SetFocus(pane_);
            return 0;
        case WM_COMMAND: return OnCommand(wp, lp);
        case WM_NOTIFY: return 0;
        case MPD_OPEN: return Open(reinterpret_cast<const wchar_t*>(wp), reinterpret_cast<const OpenRequest*>(lp));
        case MPD_UPDATE: Update(); return 0;
        case MPD_APPLY_FONT: ApplyFont(); return 0;
        case WM_DRAWCLIPBOARD: AppendClipboardText(); return 0;
        case WM_ACTIVATEAPP: return 0;
        case WM_DESTROY:
            if (pane_) {
                // The window owns the document it took from its pane.
                SendMessageW(pane_, MPM_CLOSEDOC, 0, 0);
            }
            RemovePropW(Window(), kViewProperty);
            return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

LRESULT CDocumentWindow::OnCreate() {
    SetPropW(Window(), kViewProperty, static_cast<IView*>(this));
    pane_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0, 0, 0,
                            Window(), reinterpret_cast<HMENU>(kPaneId), editLibrary_, nullptr);
    if (!pane_) return -1;
    if (settings::ReadColors(colors_)) SendMessageW(pane_, MPM_COLORTABLE, reinterpret_cast<WPARAM>(colors_), 0);
    for (const ViewOption& o : kViewOptions) {
        const bool show = settings::ReadKeyBool(settings::File::Setting, L"Edit", o.key);
        SendMessageW(pane_, MPM_VIEWPART, WPARAM(o.index | (show ? 256 : 0)), 0);
    }
    fontCommand_ = ID_FONT_FIRST + settings::ReadClampedInt(settings::File::Setting, L"Fonts", L"CurrentFont");
    ApplyFont();
    std::wstring prefix = shell::LanguageString(15021);
    if (prefix.empty()) prefix = L"Untitled";
    SetWindowTextW(Window(), (prefix + std::to_wstring(++g_untitled)).c_str());
    return 0;
}

void CDocumentWindow::ApplyFont() {
    HDC screen = GetDC(nullptr);
    const LOGFONTW lf = settings::ToLogFont(settings::ReadFontSlot(fontCommand_), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return;
    SendMessageW(pane_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    font_.reset(font);  // the old one only after the control let go of it
}

bool CDocumentWindow::Open(const wchar_t* path, const OpenRequest* request) {
    if (!path || !*path || !pane_) return false;
    OpenRequest req = request ? *request : OpenRequest{};
    std::vector<uint8_t> sample;
    const size_t kilobytes = size_t(settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoDetectBuffer"));
    if (!ReadSample(path, kilobytes * 1024, &sample)) {
        shell::ShowMessage(GetAncestor(Window(), GA_ROOT),
                           shell::FormatLanguageString(15100, {path}).c_str(), MB_ICONERROR);
        return false;
    }
    const int cp = (req.codePage < 0 || req.codePage == 1) ? DetectCodePage(sample) : req.codePage;
    const int lineEnd = SniffLineEnd(sample, cp);
    const bool exclusive =
        req.internalFile || settings::ReadKeyBool(settings::File::Setting, L"Setting", L"ExclusiveMode");
    const UINT load = exclusive ? MPM_LOADINPLACE : MPM_LOADFILE;
    if (!SendMessageW(pane_, load, reinterpret_cast<WPARAM>(path), MAKELPARAM(cp, lineEnd))) {
        shell::ShowMessage(GetAncestor(Window(), GA_ROOT),
                           shell::FormatLanguageString(15100, {path}).c_str(), MB_ICONERROR);
        return false;
    }
    if (req.readOnly == 1) SendMessageW(pane_, MPM_READONLY, 1, 0);
    const int wrapMax = settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoWrapMax");
    (void)wrapMax;  // wrapping long-lined files comes with the document layer's view options
    const DWORD n = GetFullPathNameW(path, 0, nullptr, nullptr);
    std::wstring full(n ? n : 1, L'\0');
    const DWORD got = n ? GetFullPathNameW(path, n, full.data(), nullptr) : 0;
    full.resize(got && got < n ? got : 0);
    SetWindowTextW(Window(), full.empty() ? path : full.c_str());
    hasFile_ = true;
    return true;
}

void CDocumentWindow::Update() {
    if (!pane_ || !ui_) return;
    const bool modified = IsModified();
    ui_->EnableCommand(ID_EDIT_UNDO, SendMessageW(pane_, MPM_CANUNDO, 0, 0) == 1);
    ui_->EnableCommand(ID_EDIT_REDO, SendMessageW(pane_, MPM_CANREDO, 0, 0) == 1);
    ui_->EnableCommand(ID_FILE_SAVE, modified);
    const LRESULT selection = SendMessageW(pane_, MPM_GETSELKIND, 0, 0);
    ui_->EnableCommand(ID_EDIT_COPY, selection != 0);
    ui_->EnableCommand(ID_EDIT_CUT, selection != 0);
    for (UINT id : {63u, 64u, 69u, 70u, UINT(ID_REMOVE_BLANK_LINES)}) ui_->EnableCommand(id, selection == 1);
    for (const ViewOption& o : kViewOptions)
        ui_->CheckCommand(o.command, SendMessageW(pane_, MPM_VIEWPART, WPARAM(o.index), -1) ? 1 : 0);
    ui_->CheckCommand(ID_WORD_WRAP, SendMessageW(pane_, MPM_GETWRAPMODE, 0, 0) ? 1 : 0);
    for (UINT id = ID_FONT_FIRST; id <= ID_FONT_LAST; ++id) ui_->CheckCommand(id, id == UINT(fontCommand_));

    Position caret = {};
    SendMessageW(pane_, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    ui_->SetCommandText(1, (L"Ln " + std::to_wstring(caret.line + 1)).c_str());
    ui_->SetCommandText(2, (L"Col " + std::to_wstring(caret.column + 1)).c_str());
    wchar_t unit[16];
    swprintf(unit, 16, L"U+%04X", unsigned(SendMessageW(pane_, MPM_GETCHARAT, WPARAM(caret.line), caret.column)));
    ui_->SetCommandText(3, unit);
    ui_->SetCommandText(4, std::to_wstring(SendMessageW(pane_, MPM_GETLINECOUNT, 0, 0)).c_str());
    const int cp = int(SendMessageW(pane_, MPM_GETCODEPAGE, 0, 0));
    ui_->SetCommandText(5, CodePageName(cp).c_str());
    static const wchar_t* const kModes[] = {L"INS", L"OVR", L"COL"};
    const LRESULT mode = SendMessageW(pane_, MPM_GETINPUTMODE, 0, 0);
    ui_->SetCommandText(6, kModes[mode >= 0 && mode <= 2 ? mode : 0]);
    const LRESULT lineEnd = SendMessageW(pane_, MPM_LINEBREAKTYPE, 0, 0);
    ui_->SetCommandText(7, lineEnd == LB_LF ? L"UNIX" : lineEnd == LB_CR ? L"MAC" : L"PC");
    const bool unicode = cp == 1200 || cp == 1201 || cp == 65001;
    ui_->SetCommandText(8, !unicode ? L"" : SendMessageW(pane_, MPM_BOM, WPARAM(-1), 0) ? L"BOM" : L"No BOM");
    const bool soft = SendMessageW(pane_, MPM_SOFTTABS, WPARAM(-1), 0) == 1;
    ui_->SetCommandText(9, ((soft ? L"SoftTabs:" : L"TabSize:") +
                            std::to_wstring(SendMessageW(pane_, MPM_TABWIDTH, 0, 0)))
                               .c_str());
    ui_->SetCommandText(10, L"Text");

    const bool readOnly = SendMessageW(pane_, MPM_READONLY, 2, 0) == 1;
    const int state = modified ? 1 : readOnly ? 3 : saved_ ? 2 : 0;
    std::wstring title = FileName(Caption());
    if (modified) title += L" *";
    if (state != lastTabState_ || title != lastTabTitle_) {
        lastTabState_ = state;
        lastTabTitle_ = title;
        const DocumentTab tab = {state, lastTabTitle_.c_str()};
        SendMessageW(frame_, MPF_SET_TAB, reinterpret_cast<WPARAM>(Window()), reinterpret_cast<LPARAM>(&tab));
    }
}

LRESULT CDocumentWindow::OnCommand(WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    if (reinterpret_cast<HWND>(lp) == pane_ && pane_) return 0;  // the control's own notifications
    switch (id) {
        case ID_FILE_CLOSE: return AskToClose();
        case ID_FILE_SAVE: return Save(false);
        case ID_FILE_SAVE_AS: return Save(true);
        case ID_STATUS_PANE: return 0;  // the status-bar popups come with the full document layer
    }
    if (id >= ID_FONT_FIRST && id <= ID_FONT_LAST) {
        fontCommand_ = int(id);
        ApplyFont();
        return 0;
    }
    if (!pane_) return 0;
    return SendMessageW(pane_, WM_COMMAND, MAKEWPARAM(ControlCommand(id), HIWORD(wp)), 0);
}

int CDocumentWindow::AskToClose() {
    if (!IsModified()) return IDYES;
    const int answer = shell::ShowMessage(GetAncestor(Window(), GA_ROOT),
                                          shell::FormatLanguageString(15001, {Caption()}).c_str(),
                                          MB_YESNOCANCEL | MB_ICONWARNING);
    // A save that fails or is cancelled keeps the document open: closing it
    // then would throw the changes away.
    if (answer == IDYES) return Save(false) == IDYES ? IDYES : IDCANCEL;
    return answer == IDNO ? IDNO : IDCANCEL;
}

int CDocumentWindow::Save(bool as) {
    std::wstring path = hasFile_ ? Caption() : std::wstring();
    SaveFormat format = {};
    format.codePage = int(SendMessageW(pane_, MPM_CODEPAGE, WPARAM(-1), 0));
    format.lineBreak = int(SendMessageW(pane_, MPM_LINEBREAKTYPE, 0, 0));
    format.writeBom = int(SendMessageW(pane_, MPM_BOM, WPARAM(-1), 0));
    if (as || path.empty()) {
        FileChoice choice;
        choice.codePage = format.codePage;
        choice.lineEnd = format.lineBreak;
        choice.bom = format.writeBom == 1;
        if (!ShowSaveDialog(GetAncestor(Window(), GA_ROOT), path, &choice)) return IDCANCEL;
        path = choice.paths.front();
        format = {choice.codePage, choice.lineEnd, choice.bom};
    }
    if (!SendMessageW(pane_, MPM_SAVEFILE, reinterpret_cast<WPARAM>(path.c_str()), reinterpret_cast<LPARAM>(&format))) {
        shell::ShowMessage(GetAncestor(Window(), GA_ROOT), shell::FormatLanguageString(15206, {path}).c_str(),
                           MB_ICONWARNING);
        return 1;
    }
    SetWindowTextW(Window(), path.c_str());
    hasFile_ = true;
    saved_ = true;
    return IDYES;
}

void CDocumentWindow::AppendClipboardText() {
    if (!pane_ || !IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(Window())) return;
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = L"\n";
            text += p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    if (text.empty()) return;
    SendMessageW(pane_, WM_COMMAND, ECMD_DOCEND, 0);
    TextArg arg = {};
    arg.text = text.c_str();
    arg.length = int(text.size());
    SendMessageW(pane_, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
}

}  // namespace documents
