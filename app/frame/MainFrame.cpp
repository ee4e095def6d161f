#include "MainFrameParts.h"

namespace shell {

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    if (Window()) DestroyWindow(Window());
    if (tabImages_) ImageList_Destroy(tabImages_);
    for (HICON h : statusIcons_) DestroyIcon(h);
    if (menu_) DestroyMenu(menu_);
}

HWND CMainFrame::Create(std::wstring_view commandLine, HMODULE editLibrary) {
    commandLine_ = commandLine;
    editLibrary_ = editLibrary;
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINFRAME));
    if (!Register(MORROWPAD_FRAME_CLASS, icon)) return nullptr;
    // 900 x 700 at 96 dpi, at most the work area.
    RECT work = {0, 0, 900, 700};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width =
        std::min<int>(dpi::Scale(900, dpi::Of(nullptr)), std::max<int>(work.right - work.left, 900));
    const int height =
        std::min<int>(dpi::Scale(700, dpi::Of(nullptr)), std::max<int>(work.bottom - work.top, 700));
    startup::Mark("class registered");
    return CreateAs(MORROWPAD_FRAME_CLASS, MORROWPAD_CAPTION,
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                    WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, width, height);
}

// ---------------------------------------------------------------------------
// Routing

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (!startup::Marks().written) {
        switch (msg) {
            case WM_SIZE: startup::Mark("WM_SIZE"); break;
            case WM_ACTIVATE: startup::Mark("WM_ACTIVATE"); break;
            case WM_SHOWWINDOW: startup::Mark("WM_SHOWWINDOW"); break;
            case WM_NCPAINT: startup::Mark("WM_NCPAINT"); break;
            case WM_ERASEBKGND: startup::Mark("WM_ERASEBKGND"); break;
            case WM_PAINT: startup::Mark("WM_PAINT"); break;
            case WM_SETFOCUS: startup::Mark("WM_SETFOCUS"); break;
            case WM_WINDOWPOSCHANGED: startup::Mark("WM_WINDOWPOSCHANGED"); break;
        }
    }
    // 1. The macro recorder.
    if (msg == WM_COMMAND && recorder_.Recording()) {
        const UINT id = LOWORD(wp);
        // Nor the other macro commands: a recorded macro that plays or saves
        // the recorded macro would play itself.
        if (id != ID_MACRO_RECORD && id != ID_MACRO_PLAY && id != ID_MACRO_PLAY_TIMES &&
            id != ID_MACRO_SAVE && id != ID_STATUS_PANE)
            recorder_.AddCommand(id);
    }
    // 2. The command bar's own handling.
    if (msg == WM_NOTIFY && !lp) return 0;
    if (msg == WM_NOTIFY && commandBar_.Window()) {
        LRESULT result = 0;
        if (reinterpret_cast<NMHDR*>(lp)->hwndFrom == commandBar_.Window() &&
            commandBar_.HandleNotify(reinterpret_cast<NMHDR*>(lp), &result))
            return result;
    }
    // 3. The plug-ins' listeners, newest first.
    if (IsListenedMessage(msg) && !listeners_.empty()) {
        const std::vector<MessageListener*> listeners = listeners_;
        for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
            // One removed by an earlier listener may be gone already.
            if (std::find(listeners_.begin(), listeners_.end(), *it) == listeners_.end()) continue;
            BOOL handled = FALSE;
            const LRESULT result = (*it)->OnMessage(Window(), msg, wp, lp, &handled);
            if (handled) return result;
        }
    }
    // 4. and 5. The frame's handlers and the command dispatch.
    bool handled = false;
    const LRESULT result = Dispatch(msg, wp, lp, &handled);
    if (handled) return result;
    // 6. Default handling.
    return DefWindowProcW(Window(), msg, wp, lp);
}

LRESULT CMainFrame::Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_DESTROY: OnDestroy(); return 0;
        case WM_SIZE: {
            if (statusBar_) SendMessageW(statusBar_, WM_SIZE, 0, 0);
            startup::Mark("WM_SIZE status bar");
            // The first showing gives the size the creation laid out at:
            // nothing moves, and laying the now visible bars out again
            // would cost the start a repaint of each.
            const SIZE created = createdLayout_;
            createdLayout_ = {-1, -1};
            if (created.cx != LOWORD(lp) || created.cy != HIWORD(lp)) Layout();
            startup::Mark("WM_SIZE laid out");
            return 0;
        }
        case MPF_RELAYOUT: Layout(); return 0;
        case WM_TIMER:
            if (wp == kFileCheckTimer) {
                CheckFiles();
                return 0;
            }
            if (wp != kAfterFirstPaintTimer) break;
            KillTimer(Window(), kAfterFirstPaintTimer);
            AfterFirstPaint();
            return 0;
        case MPF_UPDATE_UI: return 0;  // the idle pass after it does the work
        case WM_SETFOCUS:
            if (HWND doc = ActiveDocument()) SetFocus(doc);
            return 0;
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wp)); return 0;
        case WM_ACTIVATEAPP:
            OnActivateApp(wp != 0);
            *handled = false;
            return 0;
        case MPF_CHECK_FILES: CheckFiles(reinterpret_cast<HWND>(wp)); return 0;
        case WM_SETTINGCHANGE:
            scheme::OnSettingChange(lp);
            *handled = false;
            return 0;
        case WM_DPICHANGED:  // the new size; the bars and panes rescale themselves
            dpi::OnDpiChanged(Window(), wp, lp);
            OnDpiChanged();
            Layout();
            return 0;
        case WM_CLOSE: OnClose(); return 0;
        case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wp), HIWORD(lp) != 0); return 0;
        case WM_MENUSELECT:
            if (lp && !(HIWORD(wp) == 0xFFFF && !lp)) lastMenu_ = reinterpret_cast<HMENU>(lp);
            return 0;
        case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
        case WM_HELP: return TRUE;
        case WM_DRAWCLIPBOARD:
            if (inClipboardChain_) {
                if (HWND doc = ActiveDocument()) SendMessageW(doc, WM_DRAWCLIPBOARD, wp, lp);
                if (nextViewer_) SendMessageW(nextViewer_, WM_DRAWCLIPBOARD, wp, lp);
            }
            return 0;
        case WM_CHANGECBCHAIN:
            if (reinterpret_cast<HWND>(wp) == nextViewer_)
                nextViewer_ = reinterpret_cast<HWND>(lp);
            else if (nextViewer_)
                SendMessageW(nextViewer_, WM_CHANGECBCHAIN, wp, lp);
            return 0;
        case MPF_OPEN: {
            if (!wp) return 0;
            return reinterpret_cast<LRESULT>(OpenDocument(
                reinterpret_cast<const wchar_t*>(wp), reinterpret_cast<const documents::OpenRequest*>(lp)));
        }
        case MPF_RUN_MACRO:
            if (wp) RunMacroFile(reinterpret_cast<const wchar_t*>(wp));
            return 0;
        case MPF_NEW_DOCUMENT: return reinterpret_cast<LRESULT>(NewDocument(false));
        case MPF_RECORD_CHAR: recorder_.AddTyped(wchar_t(wp)); return 0;
        case MPF_RECORD_COMMAND:
            if (recorder_.Recording() && wp >= 1 && wp <= ECMD_LAST) recorder_.AddCommand(UINT(wp));
            return 0;
        case MPF_RECORD_TEXT:
            if (wp && lp > 0)
                recorder_.AddText(std::wstring_view(reinterpret_cast<const wchar_t*>(wp), size_t(lp)));
            return 0;
        case MPF_FONT_CHANGED:
            if (wp >= ID_FONT_FIRST && wp <= ID_FONT_LAST) {
                for (HWND doc : documents_) SendMessageW(doc, MPD_APPLY_FONT, 0, 0);
            } else if (wp == ID_FONT_OUTPUT) {
                if (HWND output = OutputWindow()) SendMessageW(output, MPF_FONT_CHANGED, wp, 0);
            } else if (wp == ID_FONT_INTERFACE) {
                ApplyInterfaceFont();
            }
            return 0;
        case MPF_REBUILD_FONT_MENU: RebuildFontMenu(); return 0;
        case MPF_ADD_RECENT:
            if (wp) AddRecent(reinterpret_cast<const wchar_t*>(wp));
            return 0;
        case MPF_SET_TAB: OnSetTab(reinterpret_cast<HWND>(wp), reinterpret_cast<const void*>(lp)); return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            OnNotify(reinterpret_cast<NMHDR*>(lp), &result, handled);
            return result;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wp) == rebar_ || reinterpret_cast<HWND>(wp) == toolBar_) {
                ShowFrameContextMenu();
                return 0;
            }
            break;
        case WM_COMMAND:
            if (OnCommand(wp, lp)) return 0;
            // Anything the frame does not take goes to the active document.
            if (HWND doc = ActiveDocument()) return SendMessageW(doc, WM_COMMAND, wp, lp);
            return 0;
    }
    *handled = false;
    return 0;
}

bool CMainFrame::OnCommand(WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    // Notifications of the frame's own child windows.
    if (lp && (reinterpret_cast<HWND>(lp) == tabs_ || reinterpret_cast<HWND>(lp) == statusBar_) &&
        HIWORD(wp) && id != ID_STATUS_PANE)
        return true;
    switch (id) {
        case ID_FILE_NEW: NewDocument(true); return true;
        case ID_NEW_FROM_TEMPLATE: ShowTemplateMenu(); return true;
        case ID_FILE_OPEN: {
            // The dialog starts in the active document's folder.
            std::wstring folder;
            if (HWND doc = ActiveDocument(); doc && documents::HasFile(doc)) {
                const int n = GetWindowTextLengthW(doc);
                folder.resize(size_t(n) + 1);
                folder.resize(size_t(GetWindowTextW(doc, folder.data(), n + 1)));
                folder = FolderWithSeparator(folder);
            }
            documents::FileChoice choice;
            if (!documents::ShowOpenDialog(Window(), folder, &choice)) return true;
            HCURSOR old = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            documents::OpenRequest request;
            request.codePage = choice.codePage;
            request.readOnly = choice.readOnly ? 1 : 0;
            for (const std::wstring& path : choice.paths) OpenDocument(path, &request);
            SetCursor(old);
            return true;
        }
        case ID_FILE_CLOSE:
        case ID_CLOSE_DOCUMENT: CloseActive(); return true;
        case ID_APP_ABOUT: ShowAbout(); return true;
        case ID_FILE_PRINT:
        case ID_FILE_PRINT_PREVIEW:
            printing::CPrintFrame::Open(Window(), ActivePane(), id == ID_FILE_PRINT_PREVIEW);
            return true;
        case ID_APP_EXIT: PostMessageW(Window(), WM_CLOSE, 0, 0); return true;
        case ID_VIEW_TOOLBAR: ShowBar(toolBar_, !BarVisible(toolBar_)); return true;
        case ID_VIEW_STATUS_BAR: ShowBar(statusBar_, !BarVisible(statusBar_)); return true;
        case ID_NEXT_TAB:
            if (documents_.size() >= 2) Activate((active_ + 1) % documents_.size());
            return true;
        case ID_PREV_TAB:
            if (documents_.size() >= 2) Activate((active_ + documents_.size() - 1) % documents_.size());
            return true;
        case ID_CLOSE_ALL:
            if (CloseAll(false) != IDCANCEL && documents_.empty()) NewDocument(false);
            return true;
        case ID_CLOSE_OTHERS: CloseAll(true); return true;
        case ID_WINDOW_LIST: ShowWindowList(); return true;
        case ID_OPTIONS_GENERAL:
        case ID_OPTIONS_FILE_TYPES:
        case ID_OPTIONS_FONTS:
        case ID_OPTIONS_TOOLS:
        case ID_OPTIONS_MACRO_KEYS:
        case ID_OPTIONS_KEYS:
            // Applied pages wrote their keys (Apply counts even after a
            // Cancel): take up what the frame shows.
            {
                const std::string syntaxBefore = FileBytes(settings::PathOf(settings::File::Syntax));
                RunOptionsDialog(Window(), OptionsPageFor(int(id)), keys_);
                // The file-type page reloads even unchanged: a definition script
                // may have been mended since it failed.
                if (id == ID_OPTIONS_FILE_TYPES ||
                    FileBytes(settings::PathOf(settings::File::Syntax)) != syntaxBefore)
                    ReloadSyntax();
            }
            ApplyTabSettings();
            RebuildToolsMenu();
            recent_.Load();
            RebuildRecentMenu();
            Layout();
            return true;
        case ID_TOGGLE_TABS:
            tabsVisible_ = !tabsVisible_;
            Layout();
            return true;
        case ID_FULL_SCREEN: ToggleFullScreen(); return true;
        case ID_EDIT_FIND:
        case ID_EDIT_REPLACE:
        case ID_FIND_NEXT:
        case ID_FIND_PREVIOUS:
        case ID_FIND_NEXT_WORD:
        case ID_FIND_PREVIOUS_WORD: OnFindCommand(id); return true;
        case ID_FIND_IN_FILES: ShowGrepDialog(); return true;
        case ID_TOGGLE_OUTPUT: ToggleOutput(); return true;
        case ID_CLIPBOARD_MONITOR: ToggleClipboardMonitor(); return true;
        case ID_TEAR_OFF: TearOff(); return true;
        case ID_CONTEXT_MENU: ShowFrameContextMenu(); return true;
        case ID_DOWNLOAD_PAGE:
        case ID_BUG_REPORT:
            sys::ShellExecute(Window(), L"open",
                              id == ID_DOWNLOAD_PAGE ? MORROWPAD_DOWNLOAD_URL : MORROWPAD_BUG_URL, nullptr,
                              nullptr, SW_SHOWNORMAL);
            return true;
    }
    if (id >= ID_TOOL_FIRST && id <= ID_TOOL_LAST) {  // external tool (id - 29000)
        if (tools_) tools_->Run(int(id - ID_TOOL_FIRST));
        return true;
    }
    if (id >= ID_RECENT_FIRST && id <= ID_RECENT_LAST) {
        OpenRecent(id - ID_RECENT_FIRST);
        return true;
    }
    if (id >= ID_TEMPLATE_FIRST && id <= ID_TEMPLATE_LAST) {
        NewFromEntry(int(id - ID_TEMPLATE_FIRST));
        return true;
    }
    return OnMacroCommand(id);
}

}  // namespace shell
