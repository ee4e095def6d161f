#include "MainFrameParts.h"

namespace shell {

// ---------------------------------------------------------------------------
// Full screen, clipboard monitor, tear-off menus, dialogs

namespace {

INT_PTR CALLBACK FullScreenProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wp) == 1 || LOWORD(wp) == 2)) {
        PostMessageW(GetWindow(dlg, GW_OWNER), WM_COMMAND, ID_FULL_SCREEN, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void CMainFrame::ToggleFullScreen() {
    const HWND w = Window();
    const LONG_PTR kCaptionAndFrame = 0x440000;  // WS_CAPTION's dialog-frame half and WS_THICKFRAME
    if (!fullScreen_) {
        if (rebar_) ShowWindow(rebar_, SW_HIDE);
        wasMaximized_ = IsZoomed(w) != 0;
        SetWindowLongPtrW(w, GWL_STYLE, GetWindowLongPtrW(w, GWL_STYLE) & ~kCaptionAndFrame);
        ShowWindow(w, SW_RESTORE);
        ShowWindow(w, SW_MAXIMIZE);
        RECT rc = {};
        GetWindowRect(w, &rc);
        SetWindowPos(w, HWND_TOP, rc.left - 1, rc.top - 1, rc.right - rc.left + 3, rc.bottom - rc.top + 3,
                     SWP_FRAMECHANGED);
        fullScreen_ = true;
        if (settings::ReadKeyBool(settings::File::Setting, L"Setting", L"FullScreenDialog")) {
            fullScreenDialog_ = CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_FULL_SCREEN), w,
                                                   &FullScreenProc, 0);
            if (fullScreenDialog_) ShowWindow(fullScreenDialog_, SW_SHOWNOACTIVATE);
        }
        SetFocus(w);
    } else {
        SetWindowLongPtrW(w, GWL_STYLE, GetWindowLongPtrW(w, GWL_STYLE) | kCaptionAndFrame);
        ShowWindow(w, wasMaximized_ ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
        SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
        if (fullScreenDialog_) DestroyWindow(fullScreenDialog_);
        fullScreenDialog_ = nullptr;
        if (rebar_) ShowWindow(rebar_, SW_SHOW);
        fullScreen_ = false;
    }
    states_.Check(ID_FULL_SCREEN, fullScreen_ ? 1 : 0);
    Layout();
}

void CMainFrame::ToggleClipboardMonitor() {
    if (!inClipboardChain_) {
        // The WM_DRAWCLIPBOARD that joining sends at once is not taken: what
        // the clipboard held before the monitor was on is not captured.
        SetLastError(0);
        nextViewer_ = SetClipboardViewer(Window());
        inClipboardChain_ = nextViewer_ || GetLastError() == 0;
    } else {
        ChangeClipboardChain(Window(), nextViewer_);
        nextViewer_ = nullptr;
        inClipboardChain_ = false;
    }
}

void CMainFrame::TearOff() {
    if (!lastMenu_ || !IsMenu(lastMenu_)) return;
    POINT pt;
    GetCursorPos(&pt);
    // Panels of menus that are gone (context menus live for one choice).
    for (auto dead = tearOffs_.begin(); dead != tearOffs_.end();)
        dead = IsMenu(dead->first) ? std::next(dead) : tearOffs_.erase(dead);
    auto it = tearOffs_.find(lastMenu_);
    if (it != tearOffs_.end() && it->second->Window() && IsWindow(it->second->Window())) {
        it->second->MoveTo(pt);
        return;
    }
    auto panel = std::make_unique<CMenuDialog>();
    if (!panel->Create(Window(), lastMenu_, interfaceFont_.get(), pt)) return;
    tearOffs_[lastMenu_] = std::move(panel);
}

namespace {

struct WindowListState {
    CMainFrame* frame;
};

void FillWindowList(HWND dlg, CMainFrame* frame) {
    HWND list = GetDlgItem(dlg, IDC_WINDOW_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < frame->DocumentCount(); ++i) {
        const std::wstring caption = WindowText(frame->Document(i));
        const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caption.c_str()));
        SendMessageW(list, LB_SETITEMDATA, WPARAM(at), reinterpret_cast<LPARAM>(frame->Document(i)));
        if (i == frame->ActiveIndex()) SendMessageW(list, LB_SETSEL, TRUE, at);
    }
}

std::vector<HWND> ChosenWindows(HWND dlg) {
    HWND list = GetDlgItem(dlg, IDC_WINDOW_LIST);
    const LRESULT n = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    std::vector<int> items(size_t(n > 0 ? n : 0));
    if (n > 0) SendMessageW(list, LB_GETSELITEMS, WPARAM(n), reinterpret_cast<LPARAM>(items.data()));
    std::vector<HWND> out;
    for (int i : items) out.push_back(reinterpret_cast<HWND>(SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0)));
    return out;
}

INT_PTR CALLBACK WindowListProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* frame = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(dlg, DWLP_USER));
    try {
        switch (msg) {
            case WM_INITDIALOG:
                SetWindowLongPtrW(dlg, DWLP_USER, lp);
                FillWindowList(dlg, reinterpret_cast<CMainFrame*>(lp));
                return TRUE;
            case WM_COMMAND: {
                const UINT id = LOWORD(wp);
                if (id == IDC_WINDOW_LIST && HIWORD(wp) == LBN_DBLCLK) {
                    PostMessageW(dlg, WM_COMMAND, IDC_WINDOW_ACTIVATE, 0);
                    return TRUE;
                }
                if (id == IDC_WINDOW_ACTIVATE || id == IDOK) {
                    const std::vector<HWND> chosen = ChosenWindows(dlg);
                    for (size_t i = 0; !chosen.empty() && i < frame->DocumentCount(); ++i)
                        if (frame->Document(i) == chosen.front()) frame->Activate(i);
                    EndDialog(dlg, IDOK);
                    return TRUE;
                }
                if (id == IDC_WINDOW_SAVE) {
                    for (HWND doc : ChosenWindows(dlg)) SendMessageW(doc, WM_COMMAND, ID_FILE_SAVE, 0);
                    return TRUE;
                }
                if (id == IDC_WINDOW_CLOSE) {
                    for (HWND doc : ChosenWindows(dlg)) {
                        for (size_t i = 0; i < frame->DocumentCount(); ++i)
                            if (frame->Document(i) == doc) {
                                frame->Activate(i);
                                SendMessageW(frame->Window(), WM_COMMAND, ID_FILE_CLOSE, 0);
                                break;
                            }
                    }
                    FillWindowList(dlg, frame);
                    return TRUE;
                }
                if (id == IDCANCEL) {
                    EndDialog(dlg, IDCANCEL);
                    return TRUE;
                }
                return FALSE;
            }
        }
    } catch (...) {
    }
    return FALSE;
}

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) {
        // The language library has no icon: the program's own.
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINFRAME), IMAGE_ICON, 32, 32, LR_SHARED));
        SendDlgItemMessageW(dlg, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        if (LOWORD(wp) == IDC_ABOUT_DOWNLOAD) {
            PostMessageW(GetWindow(dlg, GW_OWNER), WM_COMMAND, ID_DOWNLOAD_PAGE, 0);
            return TRUE;
        }
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wp));
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

void CMainFrame::ShowWindowList() {
    DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_WINDOW_LIST), Window(), &WindowListProc,
                    reinterpret_cast<LPARAM>(this));
}

void CMainFrame::ShowAbout() {
    DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(IDD_ABOUT), Window(), &AboutProc, 0);
}

void CMainFrame::ShowFrameContextMenu() {
    HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_FRAME_CONTEXT));
    if (!menu) return;
    POINT pt;
    GetCursorPos(&pt);
    TrackMenu(GetSubMenu(menu, 0), pt.x, pt.y, TRUE);
    DestroyMenu(menu);
}

// ---------------------------------------------------------------------------
// Find and replace

namespace {

// The text of a selection that is one range on one line and shorter than
// `limit`; empty otherwise.
std::wstring SingleLineSelection(HWND pane, int limit) {
    if (!pane || SendMessageW(pane, MPM_GETSELKIND, 0, 0) != 1) return std::wstring();
    Position start = {}, end = {};
    if (!SendMessageW(pane, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)) ||
        start.line != end.line || end.column - start.column <= 0 || end.column - start.column >= limit)
        return std::wstring();
    std::wstring text(size_t(end.column - start.column), L'\0');
    RangeTextArg arg = {start.line, start.column, end.line, end.column, text.data(), 0};
    SendMessageW(pane, MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg), 0);
    return text;
}

constexpr int kFindTextFromSelection = 512;

}  // namespace

void CMainFrame::SetStatusMessage(const std::wstring& text) {
    SetCommandText(0, text.c_str());
    // Shown at once: a search runs outside the idle pass.
    if (statusBar_) SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

search::CFindDialog* CMainFrame::EnsureFindDialog(bool replace, bool anyForm) {
    if (find_ && (anyForm || find_->IsReplace() == replace) && find_->Window()) return find_.get();
    find_.reset();
    search::FindHost host;
    host.attach = [this] { return ActivePane(); };
    host.status = [this](const std::wstring& text) { SetStatusMessage(text); };
    host.documentPath = [this] {
        const HWND doc = ActiveDocument();
        return doc && documents::HasFile(doc) ? WindowText(doc) : std::wstring();
    };
    host.output = [this](const std::wstring& text) { AppendOutput(text.c_str(), int(text.size())); };
    host.showOutput = [this] {
        // Shown where it was hidden, without taking the focus from the dialog.
        const HWND output = OutputWindow();
        if (!output || !docking_.IsVisible(output)) {
            const HWND focus = GetFocus();
            ShowOutput();
            if (focus && IsWindow(focus)) SetFocus(focus);
        }
        return OutputWindow();
    };
    if (replace)
        find_ = std::make_unique<search::CReplaceDialog>(Window(), std::move(host));
    else
        find_ = std::make_unique<search::CFindDialog>(Window(), std::move(host));
    if (!find_->Create()) {
        find_.reset();
        return nullptr;
    }
    return find_.get();
}

void CMainFrame::ShowGrepDialog() {
    if (!grep_) {
        search::GrepHost host;
        host.status = [this](const std::wstring& text) { SetStatusMessage(text); };
        host.output = [this](const std::wstring& text) { AppendOutput(text.c_str(), int(text.size())); };
        host.showOutput = [this] {
            const HWND output = OutputWindow();
            ShowOutput();
            return OutputWindow();
        };
        host.openResult = [this](const std::wstring& path, const std::wstring& caption) -> HWND {
            documents::OpenRequest request;
            request.codePage = 1200;
            request.internalFile = 1;
            const HWND doc = OpenDocument(path, &request, 1);
            if (!doc) return nullptr;
            SetWindowTextW(doc, caption.c_str());
            SendMessageW(doc, MPD_UPDATE, 0, 0);
            UpdateTitle();
            return ActivePane();
        };
        grep_ = std::make_unique<search::CGrepDialog>(Window(), std::move(host));
        if (!grep_->Create()) {
            grep_.reset();
            return;
        }
    }
    // The folder of the active document is offered when the field is empty.
    std::wstring folder;
    if (const HWND doc = ActiveDocument(); doc && documents::HasFile(doc)) {
        folder = FolderPart(WindowText(doc));
    }
    if (GetWindowTextLengthW(GetDlgItem(grep_->Window(), IDC_GREP_FOLDER)) > 0) folder.clear();
    grep_->Show(folder);
}

void CMainFrame::OnFindCommand(UINT id) {
    const HWND pane = ActivePane();
    switch (id) {
        case ID_EDIT_FIND:
        case ID_EDIT_REPLACE: {
            search::CFindDialog* dialog = EnsureFindDialog(id == ID_EDIT_REPLACE, false);
            if (!dialog) return;
            const std::wstring selected = SingleLineSelection(pane, kFindTextFromSelection);
            if (!selected.empty()) dialog->SetSearchText(selected);
            dialog->Show();
            return;
        }
        case ID_FIND_NEXT:
        case ID_FIND_PREVIOUS: {
            search::CFindDialog* dialog = EnsureFindDialog(false, true);
            if (!dialog || dialog->SearchText().empty()) return;
            if (id == ID_FIND_NEXT)
                dialog->FindNext();
            else
                dialog->FindPrevious();
            return;
        }
        case ID_FIND_NEXT_WORD:
        case ID_FIND_PREVIOUS_WORD: {
            if (!pane) return;
            search::CFindDialog* dialog = EnsureFindDialog(false, true);
            if (!dialog) return;
            const bool hadSelection = SendMessageW(pane, MPM_GETSELKIND, 0, 0) != 0;
            if (!hadSelection) SendMessageW(pane, WM_COMMAND, ECMD_SELECTWORD, 0);
            const std::wstring word = SingleLineSelection(pane, search::kMaxFindText + 1);
            if (word.empty()) return;
            dialog->SetSearchText(word);
            // Selecting the word under the caret is the first step forwards.
            if (id == ID_FIND_NEXT_WORD && !hadSelection) return;
            if (id == ID_FIND_NEXT_WORD)
                dialog->FindNext();
            else
                dialog->FindPrevious();
            return;
        }
    }
}

}  // namespace shell
