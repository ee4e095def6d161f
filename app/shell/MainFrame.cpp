#include "MainFrame.h"

#include "CommandIds.h"
#include "CommandLine.h"
#include "EditProtocol.h"
#include "ProgramIds.h"
#include "Settings.h"
#include "WindowPlacement.h"

namespace shell {
namespace {

constexpr int kEditId = 1;

bool SameAsciiPath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = wchar_t(x + 32);
        if (y >= L'A' && y <= L'Z') y = wchar_t(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

HWND CMainFrame::Create(std::wstring_view commandLine, HMODULE editLibrary) {
    commandLine_ = commandLine;
    editLibrary_ = editLibrary;
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINFRAME));
    if (!Register(MORROWPAD_FRAME_CLASS, icon)) return nullptr;
    return CreateAs(MORROWPAD_FRAME_CLASS, MORROWPAD_CAPTION,
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                    WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, 900, 700);
}

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE:
            if (edit_) MoveWindow(edit_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (edit_) SetFocus(edit_);
            return 0;
        case WM_COMMAND: return OnCommand(wp, lp);
        case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
        case WM_CLOSE: OnClose(); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

LRESULT CMainFrame::OnCreate() {
    if (!CreateEditControl()) return -1;
    // The program always starts with one document.
    const std::optional<std::wstring> file = FileArgument(commandLine_);
    if (!file || !OpenDocument(*file)) SendMessageW(Window(), WM_COMMAND, ID_FILE_NEW, 0);
    return 0;
}

bool CMainFrame::CreateEditControl() {
    if (edit_) DestroyWindow(edit_);
    RECT rc = {};
    GetClientRect(Window(), &rc);
    edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0,
                            rc.right, rc.bottom, Window(), reinterpret_cast<HMENU>(kEditId), editLibrary_,
                            nullptr);
    if (!edit_) return false;
    if (!font_.get()) {
        HDC screen = GetDC(nullptr);
        const LOGFONTW lf = settings::ToLogFont(settings::ReadFontSlot(settings::kFontSlotFirst),
                                                GetDeviceCaps(screen, LOGPIXELSY));
        ReleaseDC(nullptr, screen);
        font_.reset(CreateFontIndirectW(&lf));
    }
    if (font_.get()) SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), 0);
    return true;
}

// Code-page detection and the line-end scan belong to the document layer
// that comes later: until then files are read as UTF-8 with CR LF.
bool CMainFrame::OpenDocument(const std::wstring& path) {
    if (!path_.empty() && SameAsciiPath(path, path_)) return true;
    if (!SendMessageW(edit_, MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()),
                      MAKELPARAM(65001, LB_CRLF)))
        return false;
    path_ = path;
    UpdateTitle();
    return true;
}

void CMainFrame::NewDocument() {
    if (!path_.empty() && !CreateEditControl()) return;  // a loaded control is replaced by an empty one
    path_.clear();
    const int cp = settings::ReadInt(settings::File::Setting, L"Setting", L"DefaultEncoding", 0);
    const int format = settings::ReadInt(settings::File::Setting, L"Setting", L"DefaultFileFormat", LB_CRLF);
    SendMessageW(edit_, MPM_CODEPAGE, WPARAM(cp), 0);
    SendMessageW(edit_, MPM_LINEBREAKTYPE, WPARAM(format), 0);
    SendMessageW(edit_, MPM_EMPTYUNDO, 0, 0);
    UpdateTitle();
}

void CMainFrame::UpdateTitle() {
    std::wstring name = path_.empty() ? L"Untitled" : path_.substr(path_.find_last_of(L"\\/") + 1);
    SetWindowTextW(Window(), (name + L" - " MORROWPAD_CAPTION).c_str());
}

LRESULT CMainFrame::OnCopyData(const COPYDATASTRUCT* record) {
    if (!record) return 0;
    if (record->dwData != MORROWPAD_HANDOVER_TAG) {
        MessageBeep(0xFFFFFFFF);
        return 0;
    }
    const std::optional<std::wstring> line = ReadHandOver(record);
    if (!line) return 0;
    if (IsIconic(Window())) ShowWindow(Window(), SW_RESTORE);
    if (const std::optional<std::wstring> file = FileArgument(*line)) OpenDocument(*file);
    return 0;
}

LRESULT CMainFrame::OnCommand(WPARAM wp, LPARAM lp) {
    switch (LOWORD(wp)) {
        case ID_FILE_NEW: NewDocument(); return 0;
        case ID_APP_EXIT: PostMessageW(Window(), WM_CLOSE, 0, 0); return 0;
    }
    // Everything else is the document's (for now its control's).
    if (!edit_ || reinterpret_cast<HWND>(lp) == edit_) return 0;
    return SendMessageW(edit_, WM_COMMAND, wp, lp);
}

// Closing asks nothing yet: saving changed documents comes with the
// document windows.
void CMainFrame::OnClose() {
    SavePlacement(Window());
    DestroyWindow(Window());
}

bool CMainFrame::PreTranslate(MSG* msg) {
    if (!edit_ || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    return SendMessageW(edit_, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(msg)) != 0;
}

}  // namespace shell
