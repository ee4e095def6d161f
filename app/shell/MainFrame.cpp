#include "MainFrame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <commdlg.h>

#include <algorithm>

#include "ColorScheme.h"
#include "CommandIds.h"
#include "CommandLine.h"
#include "DialogIds.h"
#include "Dpi.h"
#include "Document.h"
#include "FileDialogEx.h"
#include "InputDialog.h"
#include "SplitTextView.h"
#include "SyntaxList.h"
#include "TextView.h"
#include "EditProtocol.h"
#include "LongWork.h"
#include "MenuDialog.h"
#include "MessageSink.h"
#include "OptionsDialog.h"
#include "OutputWindow.h"
#include "PrintFrame.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "SystemCalls.h"
#include "ToolBarResource.h"
#include "ToolRunner.h"
#include "Window.h"
#include "WindowPlacement.h"

namespace shell {
namespace {

constexpr int kTabsId = 100, kStatusId = 101, kRebarId = 102, kToolBarId = 103;

// Status-bar parts, left to right, by pane identifier.
const std::vector<UINT> kStatusOrder = {0, 10, 9, 1, 2, 3, 4, 8, 7, 6, 5};

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

// The whole of a small file, empty when it cannot be read.
std::string FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (16 << 20)) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
        bytes.resize(got);
    }
    CloseHandle(file);
    return bytes;
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t at = path.find_last_of(L"\\/");
    return at == std::wstring::npos ? path : path.substr(at + 1);
}

// Identifiers the command-state table leaves to their menus: the recent,
// template, tool and macro entries and the menus' placeholders.
bool IsListEntry(UINT id) {
    return (id >= ID_TOOL_FIRST && id <= ID_TEMPLATE_LAST) || id >= 65000;
}


// Whether a bar is shown in the frame, whatever the frame's own visibility.
bool BarVisible(HWND bar) { return bar && (GetWindowLongPtrW(bar, GWL_STYLE) & WS_VISIBLE); }

// The frame's listener hook sees only these messages.
bool IsListenedMessage(UINT msg) {
    switch (msg) {
        case WM_CREATE: case WM_DESTROY: case WM_SIZE: case WM_ACTIVATE: case WM_CLOSE:
        case WM_SETTINGCHANGE: case WM_NOTIFY: case WM_DISPLAYCHANGE: case WM_COMMAND:
            return true;
    }
    return false;
}

// The state icons of the tabs: plain, modified, saved, read-only; 16 pixels
// at 96 dpi, drawn at the size of `dpi`.
HIMAGELIST MakeTabImages(int dpi) {
    const int size = dpi::Scale(16, dpi);
    auto px = [dpi](int v) { return dpi::Scale(v, dpi); };
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 0);
    if (!list) return nullptr;
    static const COLORREF kFill[] = {RGB(235, 235, 235), RGB(220, 60, 50), RGB(70, 170, 80), RGB(130, 130, 140)};
    HDC screen = GetDC(nullptr);
    for (COLORREF fill : kFill) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bmp = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, bmp);
        RECT all = {0, 0, size, size};
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &all, magenta);
        DeleteObject(magenta);
        // A sheet of paper with a folded corner, and the state as a dot.
        HPEN pen = CreatePen(px(1) > 1 ? PS_INSIDEFRAME : PS_SOLID, px(1), RGB(90, 90, 100));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HGDIOBJ oldBrush = SelectObject(dc, white);
        const POINT sheet[] = {
            {px(3), px(1)}, {px(10), px(1)}, {px(13), px(4)}, {px(13), px(14)}, {px(3), px(14)}};
        Polygon(dc, sheet, 5);
        HBRUSH dot = CreateSolidBrush(fill);
        SelectObject(dc, dot);
        Ellipse(dc, px(7), px(8), px(15), px(16));
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(dot);
        DeleteObject(white);
        DeleteObject(pen);
        SelectObject(dc, old);
        DeleteDC(dc);
        ImageList_AddMasked(list, bmp, RGB(255, 0, 255));
        DeleteObject(bmp);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

UINT g_nextPluginCommand = 40000;  // main thread only

}  // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    if (Window()) DestroyWindow(Window());
    if (tabImages_) ImageList_Destroy(tabImages_);
    for (HICON h : statusIcons_) DestroyIcon(h);
    if (tearOffBitmap_) DeleteObject(tearOffBitmap_);
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
    return CreateAs(MORROWPAD_FRAME_CLASS, MORROWPAD_CAPTION,
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                    WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, CW_USEDEFAULT, CW_USEDEFAULT, width, height);
}

// ---------------------------------------------------------------------------
// Routing

LRESULT CMainFrame::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    // 1. The macro recorder.
    if (msg == WM_COMMAND && recorder_.Recording()) {
        const UINT id = LOWORD(wp);
        // Nor the other macro commands: a recorded macro that plays or saves
        // the recorded macro would play itself.
        if (id != ID_MACRO_RECORD && id != ID_MACRO_PLAY && id != ID_MACRO_PLAY_TIMES && id != ID_MACRO_SAVE &&
            id != ID_STATUS_PANE)
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
        case WM_SIZE:
            if (statusBar_) SendMessageW(statusBar_, WM_SIZE, 0, 0);
            Layout();
            return 0;
        case MPF_RELAYOUT: Layout(); return 0;
        case MPF_UPDATE_UI: return 0;  // the idle pass after it does the work
        case WM_SETFOCUS:
            if (HWND doc = ActiveDocument()) SetFocus(doc);
            return 0;
        case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wp)); return 0;
        case WM_ACTIVATEAPP: OnActivateApp(wp != 0); *handled = false; return 0;
        case WM_SETTINGCHANGE: scheme::OnSettingChange(lp); *handled = false; return 0;
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
            return reinterpret_cast<LRESULT>(OpenDocument(reinterpret_cast<const wchar_t*>(wp),
                                                          reinterpret_cast<const documents::OpenRequest*>(lp)));
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
            if (wp && lp > 0) recorder_.AddText(std::wstring_view(reinterpret_cast<const wchar_t*>(wp), size_t(lp)));
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
    if (lp && (reinterpret_cast<HWND>(lp) == tabs_ || reinterpret_cast<HWND>(lp) == statusBar_) && HIWORD(wp) &&
        id != ID_STATUS_PANE)
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
                const size_t slash = folder.find_last_of(L"\\/");
                folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
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
            if (id == ID_OPTIONS_FILE_TYPES || FileBytes(settings::PathOf(settings::File::Syntax)) != syntaxBefore)
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
            sys::ShellExecute(Window(), L"open", id == ID_DOWNLOAD_PAGE ? MORROWPAD_DOWNLOAD_URL : MORROWPAD_BUG_URL,
                          nullptr, nullptr, SW_SHOWNORMAL);
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

// ---------------------------------------------------------------------------
// Creation and destruction

LRESULT CMainFrame::OnCreate() {
    creating_ = true;
    // The panes' "More..." code-page entry opens the code-page dialog.
    documents::SetChooseCodePage(&documents::ChooseCodePage);
    menu_ = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SetMenu(Window(), nullptr);
    CreateBars();
    CreateStatusBar();
    docking_.Create(Window());
    CreateTabs();
    if (HFONT font = InterfaceFont()) {
        if (statusBar_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (tabs_) SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    FillCommandStates();
    statesReady_ = true;
    // Recent list, then the first document, so that it is recorded too.
    if (HMENU recent = RecentMenu()) {
        wchar_t text[256] = {};
        GetMenuStringW(recent, ID_RECENT_FIRST, text, 256, MF_BYCOMMAND);
        recentPlaceholder_ = text;
    }
    recent_.Load();
    RebuildRecentMenu();
    const std::optional<std::wstring> file = FileArgument(commandLine_);
    if (!file || !OpenDocument(*file)) SendMessageW(Window(), WM_COMMAND, ID_FILE_NEW, 0);
    RecoverInterruptedSaves(ActivePane(), std::wstring());
    // Accepting dropped files is this style (the shell's call only sets it).
    SetWindowLongPtrW(Window(), GWL_EXSTYLE, GetWindowLongPtrW(Window(), GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    loop_ = MessageLoopOfThread();
    if (loop_) {
        loop_->AddMessageFilter(this);
        loop_->AddIdleHandler(this);
    }
    RebuildFontMenu();
    CreateToolRunner();
    ShowBar(toolBar_, settings::ReadKeyBool(settings::File::Setting, L"Setting", L"ToolBar"));
    ShowBar(statusBar_, settings::ReadKeyBool(settings::File::Setting, L"Setting", L"StatusBar"));
    keys_.Load(settings::PathOf(settings::File::Key));
    creating_ = false;
    Layout();
    LoadPlugins();
    return 0;
}

void CMainFrame::CreateBars() {
    rebar_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER | CCS_TOP,
                             0, 0, 0, 0, Window(), reinterpret_cast<HMENU>(kRebarId), GetModuleHandleW(nullptr),
                             nullptr);
    if (!rebar_) return;
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    if (menu_ && commandBar_.Create(rebar_, Window(), menu_)) {
        if (HFONT font = InterfaceFont()) commandBar_.SetFont(font);
        const SIZE size = commandBar_.IdealSize();
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE | RBBIM_SIZE;
        band.fStyle = RBBS_NOGRIPPER | RBBS_BREAK;
        band.hwndChild = commandBar_.Window();
        band.cxMinChild = 0;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        band.cx = size.cx;
        SendMessageW(rebar_, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band));
    }
    toolBar_ = CreateToolBarFromResource(rebar_, GetModuleHandleW(nullptr), IDR_MAIN_TOOLBAR, IDB_TOOLBAR, kToolBarId);
    if (toolBar_) {
        SIZE size = {};
        SendMessageW(toolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE | RBBIM_SIZE;
        band.fStyle = RBBS_NOGRIPPER | RBBS_BREAK;
        band.hwndChild = toolBar_;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        band.cx = size.cx;
        SendMessageW(rebar_, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band));
    }
    tearOffBitmap_ = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TEAR_OFF));
}

void CMainFrame::CreateStatusBar() {
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP,
                                 0, 0, 0, 0, Window(), reinterpret_cast<HMENU>(kStatusId), GetModuleHandleW(nullptr),
                                 nullptr);
    if (!statusBar_) return;
    if (HFONT font = InterfaceFont()) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // A new bar shows nothing yet: the panes must not think it shows their texts.
    documents::CTextView::ForgetStatusTexts();
    statusPanes_ = kStatusOrder;
    SizeStatusBar();
}

// The parts and their icons at the frame's resolution and the bar's font.
void CMainFrame::SizeStatusBar() {
    if (!statusBar_) return;
    // Each pane but the first is as wide as its sample text (strings 1-10).
    HDC dc = GetDC(statusBar_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
    int borders[3] = {};
    SendMessageW(statusBar_, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
    std::vector<int> widths;
    for (size_t i = 1; i < statusPanes_.size(); ++i) {
        std::wstring sample = LanguageString(statusPanes_[i]);
        if (sample.empty()) sample = L"00000000";
        SIZE size = {};
        GetTextExtentPoint32W(dc, sample.c_str(), int(sample.size()), &size);
        const UINT pane = statusPanes_[i];
        const bool icon = pane == 10 || pane == 9 || pane == 7 || pane == 5;
        widths.push_back(size.cx + borders[2] + dpi::Scale(Window(), 6) +
                         (icon ? dpi::Scale(Window(), 20) : 0));
    }
    SelectObject(dc, old);
    ReleaseDC(statusBar_, dc);
    RECT rc = {};
    GetClientRect(Window(), &rc);
    std::vector<int> rights(statusPanes_.size());
    int right = -1;
    rights.back() = right;
    // Parts are given by their right edges: the message pane takes what is left.
    int total = 0;
    for (int w : widths) total += w;
    // The system's metric is at the system's resolution.
    const int grip = MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi::Of(Window()), dpi::Of(nullptr));
    int x = std::max<int>(dpi::Scale(Window(), 100), rc.right - total - grip);
    rights[0] = x;
    for (size_t i = 1; i < statusPanes_.size(); ++i) {
        x += widths[i - 1];
        rights[i] = i + 1 == statusPanes_.size() ? -1 : x;
    }
    SendMessageW(statusBar_, SB_SETPARTS, WPARAM(rights.size()), reinterpret_cast<LPARAM>(rights.data()));
    // The syntax and tab panes, and the panes that open a menu, carry icons,
    // loaded at their size (a shared icon keeps the size it was first
    // loaded at) and kept until the next ones are set.
    HINSTANCE exe = GetModuleHandleW(nullptr);
    auto icon = [&](int id, int cx, int cy) {
        return static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(id), IMAGE_ICON, dpi::Scale(Window(), cx),
                                             dpi::Scale(Window(), cy), 0));
    };
    std::vector<HICON> previous;
    previous.swap(statusIcons_);
    for (size_t part = 0; part < statusPanes_.size(); ++part) {
        HICON h = nullptr;
        switch (statusPanes_[part]) {
            case 10: h = icon(IDI_PANE_SYNTAX, 16, 16); break;
            case 9: h = icon(IDI_PANE_TABS, 16, 16); break;
            case 7:
            case 5: h = icon(IDI_PANE_MENU, 9, 16); break;
        }
        if (h) {
            SendMessageW(statusBar_, SB_SETICON, WPARAM(part), reinterpret_cast<LPARAM>(h));
            statusIcons_.push_back(h);
        }
    }
    for (HICON h : previous) DestroyIcon(h);
}

// Moved to a monitor of another resolution (after the children heard it):
// the interface font made anew at the new resolution and given to the bars,
// the tab images and spacing, the status bar's parts and icons.
void CMainFrame::OnDpiChanged() {
    if (HIMAGELIST images = MakeTabImages(dpi::Of(Window()))) {
        if (tabs_ && SendMessageW(tabs_, TCM_GETIMAGELIST, 0, 0))
            SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        if (tabImages_) ImageList_Destroy(tabImages_);
        tabImages_ = images;
    }
    SizeTabs();
    ApplyInterfaceFont();
    SizeStatusBar();
    if (statusBar_) SendMessageW(statusBar_, WM_SIZE, 0, 0);
}

namespace {

// The tab strip's look from section Tab.
DWORD TabStyle(bool* icons) {
    using settings::File;
    DWORD s = 0;
    if (settings::ReadKeyBool(File::Setting, L"Tab", L"Bottom")) s |= TCS_BOTTOM;
    if (settings::ReadKeyBool(File::Setting, L"Tab", L"FixedWidth")) s |= TCS_FIXEDWIDTH;
    const int style = settings::ReadClampedInt(File::Setting, L"Tab", L"Style");
    if (style == 1) s |= TCS_BUTTONS;
    if (style >= 2) s |= TCS_BUTTONS | TCS_FLATBUTTONS;
    *icons = settings::ReadKeyBool(File::Setting, L"Tab", L"ShowIcon");
    return s;
}

}  // namespace

void CMainFrame::CreateTabs() {
    if (!tabImages_) tabImages_ = MakeTabImages(dpi::Of(Window()));
    bool icons = true;
    const DWORD style = TabStyle(&icons);
    HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_FOCUSNEVER | TCS_TOOLTIPS | style, 0, 0,
                                0, 0, Window(), reinterpret_cast<HMENU>(kTabsId), GetModuleHandleW(nullptr), nullptr);
    if (!tabs) return;
    // A strip made anew (its look changed) takes over the tabs of the old one.
    if (tabs_) {
        const int n = int(SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[512] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(tabs_, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
            SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        }
        SendMessageW(tabs, TCM_SETCURSEL, SendMessageW(tabs_, TCM_GETCURSEL, 0, 0), 0);
        DestroyWindow(tabs_);
    }
    tabs_ = tabs;
    tabStyle_ = style;
    if (interfaceFont_.get()) SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(interfaceFont_.get()), FALSE);
    SizeTabs();
    SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons ? tabImages_ : nullptr));
    // Below the document windows.
    SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The tabs' padding and fixed width at the frame's resolution.
void CMainFrame::SizeTabs() {
    if (!tabs_) return;
    SendMessageW(tabs_, TCM_SETPADDING, 0, MAKELPARAM(dpi::Scale(Window(), 10), dpi::Scale(Window(), 3)));
    if (tabStyle_ & TCS_FIXEDWIDTH)
        SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM(dpi::Scale(Window(), 140), 0));
}

void CMainFrame::ApplyTabSettings() {
    if (!tabs_) return;
    bool icons = true;
    if (TabStyle(&icons) != tabStyle_) {
        CreateTabs();  // the tab control takes its look only when it is made
    } else {
        SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons ? tabImages_ : nullptr));
    }
    for (size_t i = 0; i < documents_.size(); ++i) {
        const auto it = tabTitles_.find(documents_[i]);
        if (it == tabTitles_.end()) continue;
        std::wstring title = it->second;
        if (!settings::ReadKeyBool(settings::File::Setting, L"Tab", L"ShowMark") && title.size() >= 2 &&
            title.compare(title.size() - 2, 2, L" *") == 0)
            title.resize(title.size() - 2);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    Layout();
}

// The font of slot 1442, made once until it changes.
HFONT CMainFrame::InterfaceFont() {
    if (!interfaceFont_.get()) interfaceFont_.reset(settings::CreateSlotFont(ID_FONT_INTERFACE, Window()));
    return interfaceFont_.get();
}

void CMainFrame::ApplyInterfaceFont() {
    HFONT font = settings::CreateSlotFont(ID_FONT_INTERFACE, Window());
    if (!font) return;
    if (commandBar_.Window()) commandBar_.SetFont(font);
    if (statusBar_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (tabs_) SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (auto& [menu, panel] : tearOffs_)
        if (panel->Window()) panel->SetFont(font);
    interfaceFont_.reset(font);  // the old one only once nothing uses it
    if (rebar_ && commandBar_.Window()) {
        const SIZE size = commandBar_.IdealSize();
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        const LRESULT index = SendMessageW(rebar_, RB_IDTOINDEX, 0, 0);
        SendMessageW(rebar_, RB_SETBANDINFOW, WPARAM(index < 0 ? 0 : index), reinterpret_cast<LPARAM>(&band));
    }
    Layout();
}

// Every command of the menu and the tool bar, and the status-bar panes.
void CMainFrame::FillCommandStates() {
    struct Walk {
        static void Menu(CCommandStateTable& t, HMENU menu) {
            const int n = GetMenuItemCount(menu);
            for (int i = 0; i < n; ++i) {
                if (HMENU sub = GetSubMenu(menu, i)) {
                    Menu(t, sub);
                    continue;
                }
                const UINT id = GetMenuItemID(menu, i);
                if (id && id != UINT(-1) && !IsListEntry(id)) t.Add(id, UPDUI_MENUPOPUP);
            }
        }
    };
    if (menu_) Walk::Menu(states_, menu_);
    for (UINT id = ID_FONT_FIRST; id <= ID_FONT_LAST; ++id) states_.Add(id, UPDUI_MENUPOPUP);
    if (toolBar_) {
        const int n = int(SendMessageW(toolBar_, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            TBBUTTON b = {};
            if (!SendMessageW(toolBar_, TB_GETBUTTON, WPARAM(i), reinterpret_cast<LPARAM>(&b)) || !b.idCommand) continue;
            if (!states_.Add(UINT(b.idCommand), UPDUI_MENUPOPUP | UPDUI_TOOLBAR)) {
                const auto* s = states_.Find(UINT(b.idCommand));
                states_.Remove(UINT(b.idCommand));
                states_.Add(UINT(b.idCommand), (s ? UINT(UPDUI_MENUPOPUP) : 0u) | UPDUI_TOOLBAR);
            }
        }
    }
    // Pane identifiers 0-10 are also edit commands 1-10 and items of the
    // status-bar popups: as panes they name texts of the status bar only.
    for (UINT pane : kStatusOrder) {
        states_.Remove(pane);
        states_.Add(pane, UPDUI_STATUSBAR);
    }
    for (UINT id : {UINT(ID_VIEW_TOOLBAR), UINT(ID_VIEW_STATUS_BAR), UINT(ID_TOGGLE_TABS), UINT(ID_CLIPBOARD_MONITOR),
                    UINT(ID_FULL_SCREEN), UINT(ID_MACRO_RECORD)})
        states_.Add(id, UPDUI_MENUPOPUP);
}

void CMainFrame::OnDestroy() {
    UnloadPlugins();
    if (inClipboardChain_) {
        ChangeClipboardChain(Window(), nextViewer_);
        inClipboardChain_ = false;
    }
    if (loop_) {
        loop_->RemoveMessageFilter(this);
        loop_->RemoveIdleHandler(this);
        loop_ = nullptr;
    }
    tearOffs_.clear();
    grep_.reset();  // a running search stops first
    find_.reset();
    if (fullScreenDialog_) DestroyWindow(fullScreenDialog_);
    fullScreenDialog_ = nullptr;
    documents_.clear();
    PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// Layout and bars

void CMainFrame::Layout() {
    if (!Window() || creating_) return;  // once, at the end of the creation
    RECT client = {};
    GetClientRect(Window(), &client);
    if (BarVisible(rebar_)) {
        SendMessageW(rebar_, WM_SIZE, 0, 0);
        RECT rc = {};
        GetWindowRect(rebar_, &rc);
        client.top += rc.bottom - rc.top;
    }
    if (BarVisible(statusBar_)) {
        RECT rc = {};
        GetWindowRect(statusBar_, &rc);
        client.bottom -= rc.bottom - rc.top;
    }
    if (client.bottom < client.top) client.bottom = client.top;
    const RECT area = docking_.Window() ? docking_.Layout(client) : client;
    RECT docRect = area;
    if (tabs_) {
        ShowWindow(tabs_, tabsVisible_ ? SW_SHOWNA : SW_HIDE);
        if (tabsVisible_) {
            // The strip holds only its row of tabs, the documents the rest:
            // a tab control covering the whole area paints all of it, which
            // costs a visual style's gradients at every start.
            RECT inner = {0, 0, area.right - area.left, area.bottom - area.top};
            SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&inner));
            const bool bottom = (GetWindowLongPtrW(tabs_, GWL_STYLE) & TCS_BOTTOM) != 0;
            const LONG strip = std::max<LONG>(0, bottom ? (area.bottom - area.top) - inner.bottom + 2 : inner.top - 2);
            if (bottom) {
                MoveWindow(tabs_, area.left, area.bottom - strip, area.right - area.left, strip, TRUE);
                docRect.bottom = std::max(area.top, area.bottom - strip);
            } else {
                MoveWindow(tabs_, area.left, area.top, area.right - area.left, strip, TRUE);
                docRect.top = std::min(area.bottom, area.top + strip);
            }
        }
    }
    for (size_t i = 0; i < documents_.size(); ++i)
        SetWindowPos(documents_[i], HWND_TOP, docRect.left, docRect.top, std::max<LONG>(0, docRect.right - docRect.left),
                     std::max<LONG>(0, docRect.bottom - docRect.top),
                     SWP_NOACTIVATE | (i == active_ ? 0 : SWP_NOZORDER));
}

void CMainFrame::ShowBar(HWND bar, bool show) {
    if (!bar) return;
    if (bar == toolBar_ && rebar_) {
        const LRESULT count = SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            REBARBANDINFOW band = {};
            band.cbSize = sizeof band;
            band.fMask = RBBIM_CHILD;
            if (SendMessageW(rebar_, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band)) &&
                band.hwndChild == toolBar_)
                SendMessageW(rebar_, RB_SHOWBAND, WPARAM(i), show);
        }
    } else {
        ShowWindow(bar, show ? SW_SHOWNA : SW_HIDE);
    }
    Layout();
}

// ---------------------------------------------------------------------------
// Documents

size_t CMainFrame::IndexOf(HWND document) const {
    const auto it = std::find(documents_.begin(), documents_.end(), document);
    return it == documents_.end() ? size_t(-1) : size_t(it - documents_.begin());
}

HWND CMainFrame::ActivePane() const {
    IView* view = documents::ViewOf(ActiveDocument());
    return view ? view->GetActivePane() : nullptr;
}

HWND CMainFrame::NewDocument(bool defaults, bool activate, int viewType) {
    documents::CSplitTextView* doc =
        documents::CSplitTextView::Create(Window(), Window(), this, this, editLibrary_, viewType);
    if (!doc) return nullptr;
    const HWND hwnd = doc->Window();
    documents_.push_back(hwnd);
    const std::wstring title = FileNamePart(WindowText(hwnd));
    tabTitles_[hwnd] = title;
    if (tabs_) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(title.c_str());
        item.lParam = reinterpret_cast<LPARAM>(hwnd);
        item.iImage = 0;
        SendMessageW(tabs_, TCM_INSERTITEMW, WPARAM(documents_.size() - 1), reinterpret_cast<LPARAM>(&item));
    }
    if (defaults) {
        const HWND pane = doc->ActivePane();
        SendMessageW(pane, MPM_CODEPAGE, WPARAM(settings::ReadClampedInt(settings::File::Setting, L"Setting",
                                                                          L"DefaultEncoding")),
                     0);
        SendMessageW(pane, MPM_LINEBREAKTYPE,
                     WPARAM(settings::ReadClampedInt(settings::File::Setting, L"Setting", L"DefaultFileFormat")), 0);
        SendMessageW(pane, MPM_EMPTYUNDO, 0, 0);
    }
    if (activate) Activate(documents_.size() - 1);
    return hwnd;
}

// A new document of a syntax definition's type: its lexer, and its template
// when it has one.
HWND CMainFrame::NewFromEntry(int index) {
    const syntax::SyntaxEntry* entry = syntax::Entry(index);
    if (!entry) return nullptr;
    const HWND doc = NewDocument(true);
    if (!doc) return nullptr;
    const documents::TemplateEntry request = {entry->title.c_str(), entry->templateFile.c_str()};
    SendMessageW(doc, MPD_NEW_FROM_TEMPLATE, reinterpret_cast<WPARAM>(&request), 0);
    SendMessageW(doc, MPD_UPDATE, 0, 0);
    return doc;
}

// One entry per syntax definition, at the cursor.
void CMainFrame::ShowTemplateMenu() {
    HMENU popup = CreatePopupMenu();
    if (!popup) return;
    const int count = std::min(syntax::EntryCount(), int(ID_TEMPLATE_LAST - ID_TEMPLATE_FIRST + 1));
    for (int i = 0; i < count; ++i)
        AppendMenuW(popup, MF_STRING, ID_TEMPLATE_FIRST + UINT(i), syntax::Entry(i)->title.c_str());
    if (count == 0) AppendMenuW(popup, MF_STRING | MF_GRAYED, ID_TEMPLATE_FIRST, L"(none)");
    POINT at = {};
    GetCursorPos(&at);
    const UINT chosen = UINT(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, Window(), nullptr));
    DestroyMenu(popup);
    // As a command, so that the recorder and listeners see it.
    if (chosen >= ID_TEMPLATE_FIRST && chosen < ID_TEMPLATE_FIRST + UINT(count))
        SendMessageW(Window(), WM_COMMAND, chosen, 0);
}

// The documents let go of their lexers, the list is read again and each
// takes its syntax back by name (or by its file's extension).
void CMainFrame::ReloadSyntax() {
    // A copy: a message box of a failing script lets other messages in.
    const std::vector<HWND> docs = documents_;
    for (HWND doc : docs) SendMessageW(doc, MPD_REMEMBER_SYNTAX, 0, 0);
    if (HWND output = OutputWindow()) SendMessageW(output, MPD_REMEMBER_SYNTAX, 0, 0);
    syntax::Reload();
    for (HWND doc : docs)
        if (IsWindow(doc)) SendMessageW(doc, MPD_APPLY_SYNTAX, 0, 0);
    if (HWND output = OutputWindow()) SendMessageW(output, MPD_APPLY_SYNTAX, 0, 0);
    if (HWND doc = ActiveDocument()) SendMessageW(doc, MPD_UPDATE, 0, 0);
}

HWND CMainFrame::OpenDocument(const std::wstring& given, const documents::OpenRequest* request, int viewType) {
    if (given.empty()) return nullptr;
    // Known by its full path: a relative name means the current folder now,
    // not whatever folder is current when the document is saved.
    const std::wstring path = FullPath(given);
    for (size_t i = 0; i < documents_.size(); ++i) {
        if (documents::HasFile(documents_[i]) && SameAsciiPath(WindowText(documents_[i]), path)) {
            Activate(i);
            return documents_[i];
        }
    }
    // The new window becomes the active tab only once its file is open, so
    // that the title and the tabs never show a document that fails to open.
    const HWND doc = NewDocument(false, false, viewType);
    if (!doc) return nullptr;
    if (IView* view = documents::ViewOf(doc)) RecoverInterruptedSaves(view->GetActivePane(), path);
    if (!SendMessageW(doc, MPD_OPEN, reinterpret_cast<WPARAM>(path.c_str()), reinterpret_cast<LPARAM>(request))) {
        RemoveDocument(doc);
        DestroyWindow(doc);
        return nullptr;
    }
    if (!(request && request->internalFile)) AddRecent(WindowText(doc));
    tabTitles_[doc] = FileNamePart(WindowText(doc));
    if (tabs_) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(tabTitles_[doc].c_str());
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(IndexOf(doc)), reinterpret_cast<LPARAM>(&item));
    }
    Activate(IndexOf(doc));
    SetFocus(doc);
    SendMessageW(doc, MPD_UPDATE, 0, 0);
    return doc;
}

void CMainFrame::RecoverInterruptedSaves(HWND pane, const std::wstring& path) {
    if (!pane) return;
    if (!leftoversSought_) {
        leftoversSought_ = true;
        if (SendMessageW(pane, MPM_RECOVERFILE, 0, 0) & kRecoveredFile) {
            static const wchar_t kLine[] =
                L"A file that was being saved when Morrowpad last ended was put back as it was before that save.\n";
            AppendOutput(kLine, -1);
        }
    }
    if (path.empty()) return;
    if (SendMessageW(pane, MPM_RECOVERFILE, reinterpret_cast<WPARAM>(path.c_str()), 0) & kRecoveredFile) {
        const std::wstring line = path + L": put back from what a save that was interrupted left beside it.\n";
        AppendOutput(line.c_str(), -1);
    }
}

void CMainFrame::Activate(size_t index) {
    if (index >= documents_.size()) return;
    // What the status bar said was about the document left (a search's
    // result, a refused edit); a running macro's message stays.
    if (documents_[index] != shownDocument_ && !automation::RunningMacros()) SetStatusMessage(L"");
    shownDocument_ = documents_[index];
    active_ = index;
    if (tabs_) SendMessageW(tabs_, TCM_SETCURSEL, WPARAM(index), 0);
    ShowDocument(index);
    UpdateTitle();
    // The next idle pass shows this document's states, also when nothing
    // else reaches the queue (a hand-over is a sent message).
    PostMessageW(Window(), MPF_UPDATE_UI, 0, 0);
}

HWND CMainFrame::OutputWindow() const { return output_ ? output_->Window() : nullptr; }

// Made and docked at the bottom on first use; after that a hidden window is
// docked again with the focus, a visible one hidden with the focus going to
// the frame (and so to the active document).
// The program's own showing of the output window: not a command, so that
// the macro recorder and plug-ins' listeners do not take it for the user's.
void CMainFrame::ShowOutput() {
    const HWND output = OutputWindow();
    if (!output || !docking_.IsVisible(output)) ToggleOutput();
}

void CMainFrame::ToggleOutput() {
    HWND output = OutputWindow();
    if (!output) {
        if (!docking_.Window()) return;
        output_ = std::make_unique<COutputWindow>();
        output = output_->Create(docking_.Window(), editLibrary_, this);
        if (!output || !docking_.DockPane(output, L"Output")) {
            output_.reset();
            return;
        }
        Layout();
        return;
    }
    if (docking_.IsVisible(output)) {
        docking_.HidePane(output);
        SetFocus(Window());
    } else {
        docking_.DockPane(output, nullptr);
        SetFocus(output);
    }
    Layout();
}

void CMainFrame::ShowDocument(size_t index) {
    for (size_t i = 0; i < documents_.size(); ++i)
        if (i != index) ShowWindow(documents_[i], SW_HIDE);
    if (index < documents_.size()) {
        Layout();
        ShowWindow(documents_[index], SW_SHOW);
        if (IsWindowVisible(Window()) && GetForegroundWindow() == Window()) SetFocus(documents_[index]);
    }
}

void CMainFrame::RemoveDocument(HWND document) {
    const size_t i = IndexOf(document);
    if (i == size_t(-1)) return;
    documents_.erase(documents_.begin() + ptrdiff_t(i));
    tabTitles_.erase(document);
    if (tabs_) SendMessageW(tabs_, TCM_DELETEITEM, WPARAM(i), 0);
    if (i < active_)
        --active_;
    else if (active_ >= documents_.size())
        active_ = documents_.empty() ? 0 : documents_.size() - 1;
}

// Asks the document; false when it cancelled. `answer` gets its answer.
bool CMainFrame::CloseDocument(size_t index, int* answer) {
    const HWND doc = documents_[index];
    *answer = int(SendMessageW(doc, WM_COMMAND, ID_FILE_CLOSE, 0));
    if (*answer == IDCANCEL) return false;
    SendMessageW(doc, WM_CLOSE, 0, 0);
    if (!IsWindow(doc)) RemoveDocument(doc);
    return true;
}

void CMainFrame::CloseActive() {
    if (documents_.empty()) {
        NewDocument(false);
        return;
    }
    int answer = 0;
    if (!CloseDocument(active_, &answer)) return;
    if (documents_.empty()) {
        NewDocument(false);
        return;
    }
    Activate(std::min(active_, documents_.size() - 1));
}

int CMainFrame::CloseAll(bool exceptActive) {
    if (documents_.empty()) return exceptActive ? 1 : IDNO;
    const HWND keep = exceptActive ? ActiveDocument() : nullptr;
    // Every document is asked first, each shown while it is asked; only when
    // none cancelled do they close, so that a Cancel keeps all of them open.
    int answer = IDNO;
    std::vector<HWND> closing;
    for (size_t i = documents_.size(); i-- > 0;) {
        const HWND doc = documents_[i];
        if (doc == keep) continue;
        IView* view = documents::ViewOf(doc);
        if (view && view->IsModified() && i != active_) Activate(i);
        answer = int(SendMessageW(doc, WM_COMMAND, ID_FILE_CLOSE, 0));
        if (answer == IDCANCEL) {
            if (exceptActive) return 1;
            Activate(IndexOf(doc));  // the one that cancelled: it holds what the user kept
            return IDCANCEL;
        }
        closing.push_back(doc);
    }
    for (HWND doc : closing) {
        SendMessageW(doc, WM_CLOSE, 0, 0);
        if (!IsWindow(doc)) RemoveDocument(doc);
    }
    if (!documents_.empty()) Activate(keep ? IndexOf(keep) : std::min(active_, documents_.size() - 1));
    return exceptActive ? 1 : answer;
}

void CMainFrame::OnSetTab(HWND document, const void* record) {
    const size_t i = IndexOf(document);
    if (i == size_t(-1) || !record) return;
    const auto* tab = static_cast<const documents::DocumentTab*>(record);
    std::wstring title = tab->title ? tab->title : L"";
    tabTitles_[document] = title;
    if (tabs_) {
        if (!settings::ReadKeyBool(settings::File::Setting, L"Tab", L"ShowMark") && title.size() >= 2 &&
            title.compare(title.size() - 2, 2, L" *") == 0)
            title.resize(title.size() - 2);
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(title.c_str());
        item.iImage = tab->state >= 0 && tab->state <= 3 ? tab->state : 0;
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    if (i == active_) UpdateTitle();
}

void CMainFrame::UpdateTitle() {
    const HWND doc = ActiveDocument();
    std::wstring title = MORROWPAD_CAPTION;
    if (doc) {
        const auto it = tabTitles_.find(doc);
        const std::wstring name = it != tabTitles_.end() ? it->second : FileNamePart(WindowText(doc));
        title = name + L" - " + MORROWPAD_CAPTION;
    }
    if (WindowText(Window()) != title) SetWindowTextW(Window(), title.c_str());
}

void CMainFrame::OnNotify(NMHDR* header, LRESULT* result, bool* handled) {
    *handled = false;
    if (!header) return;
    if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
        const LRESULT sel = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
        if (sel >= 0) Activate(size_t(sel));
        *handled = true;
        return;
    }
    if (header->hwndFrom == tabs_ && header->code == NM_RCLICK) {
        POINT pt;
        GetCursorPos(&pt);
        TCHITTESTINFO hit = {pt, 0};
        ScreenToClient(tabs_, &hit.pt);
        const LRESULT i = SendMessageW(tabs_, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (i >= 0) Activate(size_t(i));
        if (HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_PANE_CONTEXT))) {
            TrackMenu(GetSubMenu(menu, 0), pt.x, pt.y, TRUE);
            DestroyMenu(menu);
        }
        *handled = true;
        *result = 1;
        return;
    }
    if (header->code == EN_MP_PROGRESS && IsChild(Window(), header->hwndFrom)) {
        // An undo or redo of a large group: its progress, and Esc stops it.
        const auto* progress = reinterpret_cast<const ProgressNotify*>(header);
        *handled = true;
        *result = 0;
        const bool edit = progress->kind == 1;
        if (progress->done < 0) {
            const bool stopped = replayWork_ && replayWork_->Stopped();
            replayWork_.reset();
            if (stopped) SetStatusMessage(LanguageString(edit ? IDS_EDIT_STOPPED : IDS_UNDO_STOPPED));
            return;
        }
        if (!replayWork_)
            replayWork_ = std::make_unique<CLongWork>([this](const std::wstring& text) { SetStatusMessage(text); },
                                                      edit ? IDS_PROGRESS_EDITING : IDS_PROGRESS_UNDOING);
        *result = replayWork_->Tick(progress->done, progress->total) ? 0 : 1;
        return;
    }
    if (header->code == EN_MP_READONLY && IsChild(Window(), header->hwndFrom)) {
        SetStatusMessage(LanguageString(IDS_DOCUMENT_READ_ONLY));
        *handled = true;
        return;
    }
    if (header->hwndFrom == statusBar_ && header->code == NM_CLICK) {
        const auto* mouse = reinterpret_cast<NMMOUSE*>(header);
        if (mouse->dwItemSpec < statusPanes_.size())
            PostMessageW(Window(), WM_COMMAND, MAKEWPARAM(ID_STATUS_PANE, statusPanes_[mouse->dwItemSpec]),
                         reinterpret_cast<LPARAM>(statusBar_));
        *handled = true;
        return;
    }
    if (header->code == TTN_GETDISPINFOW && toolBar_) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const UINT id = UINT(header->idFrom);
        if (SendMessageW(toolBar_, TB_COMMANDTOINDEX, id, 0) >= 0 && menu_) {
            static wchar_t text[128];
            text[0] = 0;
            GetMenuStringW(menu_, id, text, 128, MF_BYCOMMAND);
            std::wstring clean;
            for (const wchar_t* p = text; *p && *p != L'\t'; ++p)
                if (*p != L'&') clean += *p;
            while (!clean.empty() && clean.back() == L'.') clean.pop_back();
            wcsncpy(text, clean.c_str(), 127);
            text[127] = 0;
            info->lpszText = text;
            *handled = true;
        }
    }
}

// ---------------------------------------------------------------------------
// Recent documents

HMENU CMainFrame::RecentMenu() const {
    if (!menu_) return nullptr;
    HMENU file = GetSubMenu(menu_, MENU_FILE);
    if (!file) return nullptr;
    // Item 7 of the File menu; the tear-off strip, once inserted, moves it by one.
    const int offset = GetMenuItemID(file, 0) == ID_TEAR_OFF ? 1 : 0;
    return GetSubMenu(file, MENU_FILE_RECENT_ITEM + offset);
}

void CMainFrame::RebuildRecentMenu() { recent_.FillMenu(RecentMenu(), recentPlaceholder_); }

void CMainFrame::AddRecent(const std::wstring& path) {
    if (!recent_.Add(path)) return;
    recent_.Save();
    RebuildRecentMenu();
}

void CMainFrame::OpenRecent(size_t k) {
    const std::wstring* entry = recent_.Newest(k);
    if (!entry) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    const std::wstring path = *entry;
    if (!OpenDocument(path)) {
        recent_.RemoveNewest(k);
        recent_.Save();
        RebuildRecentMenu();
    }
}

void CMainFrame::RebuildFontMenu() {
    if (!menu_) return;
    for (int slot = ID_FONT_FIRST; slot <= ID_FONT_LAST; ++slot) {
        const settings::FontSpec f = settings::ReadFontSlot(slot);
        const int n = slot - ID_FONT_FIRST + 1;
        std::wstring label = (n < 10 ? L"&" + std::to_wstring(n) : L"1&0") + L"  " + f.face + L", " +
                             std::to_wstring(f.size) + (f.bold ? L", bold" : L"");
        ModifyMenuW(menu_, UINT(slot), MF_BYCOMMAND | MF_STRING, UINT(slot), label.c_str());
    }
}

// ---------------------------------------------------------------------------
// Messages from outside

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

void CMainFrame::OnDropFiles(HDROP drop) {
    const UINT count = sys::DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = sys::DragQueryFile(drop, i, nullptr, 0);
        std::wstring path(size_t(length) + 1, L'\0');
        path.resize(sys::DragQueryFile(drop, i, path.data(), length + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (!path.empty() && (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
            paths.push_back(path);
    }
    sys::DragFinish(drop);
    for (const std::wstring& p : paths) OpenDocument(p);
}

void CMainFrame::OnClose() {
    // A macro still uses the documents: it stops, then the close happens.
    if (automation::RunningMacros()) {
        closePending_ = true;
        automation::StopMacros();
        return;
    }
    if (CloseAll(false) == IDCANCEL) return;
    SavePlacement(Window());
    settings::WriteBool(settings::File::Setting, L"Setting", L"ToolBar", BarVisible(toolBar_));
    settings::WriteBool(settings::File::Setting, L"Setting", L"StatusBar", BarVisible(statusBar_));
    DestroyWindow(Window());
}

void CMainFrame::OnActivateApp(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (!focus) focus = GetActiveWindow();
        HWND top = focus ? GetAncestor(focus, GA_ROOT) : nullptr;
        const bool ours = top == Window() || (top && GetWindow(top, GW_OWNER) == Window());
        lastFocus_ = ours ? focus : nullptr;
        return;
    }
    if (lastFocus_ && IsWindow(lastFocus_)) SetFocus(lastFocus_);
    const std::vector<HWND> docs = documents_;
    for (size_t i = docs.size(); i-- > 0;)
        if (IsWindow(docs[i])) SendMessageW(docs[i], WM_ACTIVATEAPP, TRUE, 0);
}

void CMainFrame::OnInitMenuPopup(HMENU popup, bool systemMenu) {
    if (systemMenu || !popup) return;
    if (GetMenuItemCount(popup) > 0 && GetMenuItemID(popup, 0) != ID_TEAR_OFF && tearOffBitmap_) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_BITMAP | MIIM_FTYPE;
        item.fType = MFT_STRING;
        item.wID = ID_TEAR_OFF;
        item.hbmpItem = tearOffBitmap_;
        InsertMenuItemW(popup, 0, TRUE, &item);
    }
    if (!macroMenuFilled_ && popup == MacroMenu()) FillMacroMenu();
    states_.ApplyToMenu(popup);
}

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
        folder = WindowText(doc);
        const size_t slash = folder.find_last_of(L"\\/");
        folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
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

// ---------------------------------------------------------------------------
// Message loop hooks

bool CMainFrame::PreTranslateMessage(MSG* msg) {
    if (!listeners_.empty()) {
        const std::vector<MessageListener*> listeners = listeners_;
        for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
            if (std::find(listeners_.begin(), listeners_.end(), *it) != listeners_.end() &&
                (*it)->PreTranslateMessage(msg))
                return true;
    }
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    const bool alt = msg->wParam == VK_MENU || msg->wParam == VK_LMENU || msg->wParam == VK_RMENU;
    if (alt && msg->message == WM_SYSKEYDOWN && !(msg->lParam & (1 << 30))) altShortcut_ = false;
    if (alt && altShortcut_ && (msg->message == WM_SYSKEYUP || msg->message == WM_KEYUP)) {
        altShortcut_ = false;
        return true;
    }
    const bool used = TranslateKey(msg);
    if (used && !alt && msg->message == WM_SYSKEYDOWN) altShortcut_ = true;
    return used;
}

bool CMainFrame::TranslateKey(MSG* msg) {
    if (commandBar_.Window() && commandBar_.PreTranslate(msg)) return true;
    if (docking_.Window() && docking_.PreTranslate(msg)) return true;
    if (fullScreenDialog_ && IsDialogMessageW(fullScreenDialog_, msg)) return true;
    // The find dialog keeps its keys (typing, Tab, Enter); the function keys
    // still run the frame's commands, so that F3 searches from the dialog.
    if (const HWND find = find_ ? find_->Window() : nullptr;
        find && msg->hwnd && (msg->hwnd == find || IsChild(find, msg->hwnd))) {
        // Not while a search in files holds the frame disabled.
        if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam >= VK_F1 &&
            msg->wParam <= VK_F24 && IsWindowEnabled(Window()) && keys_.Translate(Window(), *msg))
            return true;
        return IsDialogMessageW(find, msg) != 0;
    }
    if (const HWND grep = grep_ ? grep_->Window() : nullptr;
        grep && msg->hwnd && (msg->hwnd == grep || IsChild(grep, msg->hwnd)))
        return IsDialogMessageW(grep, msg) != 0;
    // The progress dialog of a search: Escape and Enter are its Stop.
    if (search::CGrepCallBackDialog* progress = grep_ ? grep_->Progress() : nullptr)
        if (const HWND p = progress->Window();
            p && msg->hwnd && (msg->hwnd == p || IsChild(p, msg->hwnd)))
            return IsDialogMessageW(p, msg) != 0;
    // Keys of the frame and its floating windows; while a modal dialog has
    // disabled the frame, the dialog keeps its keys.
    HWND top = msg->hwnd ? GetAncestor(msg->hwnd, GA_ROOT) : nullptr;
    if (!top || !IsWindowEnabled(Window()) || (top != Window() && GetWindow(top, GW_OWNER) != Window()))
        return false;
    if (keys_.Translate(Window(), *msg)) return true;
    // Keys of a document's pane go through the document window to the pane,
    // which lets its completion list and then the control's accelerators
    // take them.
    for (HWND doc : documents_)
        if (msg->hwnd && IsChild(doc, msg->hwnd))
            return SendMessageW(doc, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(msg)) != 0;
    // The output window swallows its keys: only its accelerators move the
    // caret and the selection.
    if (const HWND output = OutputWindow(); output && msg->hwnd == output)
        return SendMessageW(output, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(msg)) != 0;
    return false;
}

void CMainFrame::OnIdle() {
    if (!Window()) return;
    if (HWND doc = ActiveDocument()) SendMessageW(doc, MPD_UPDATE, 0, 0);
    const std::vector<IdleListener*> idle = idleListeners_;
    for (IdleListener* l : idle)
        if (std::find(idleListeners_.begin(), idleListeners_.end(), l) != idleListeners_.end()) l->OnIdle(this);
    states_.Check(ID_VIEW_TOOLBAR, BarVisible(toolBar_) ? 1 : 0);
    states_.Check(ID_VIEW_STATUS_BAR, BarVisible(statusBar_) ? 1 : 0);
    states_.Check(ID_TOGGLE_TABS, tabsVisible_ ? 1 : 0);
    UpdateMacroStates();
    states_.Check(ID_CLIPBOARD_MONITOR, inClipboardChain_ ? 1 : 0);
    states_.Check(ID_FULL_SCREEN, fullScreen_ ? 1 : 0);
    const HWND output = OutputWindow();
    states_.Check(ID_TOGGLE_OUTPUT, output && docking_.IsVisible(output) ? 1 : 0);
    states_.ApplyToToolBar(toolBar_);
    states_.ApplyToStatusBar(statusBar_, statusPanes_);
    states_.ClearDirty();
}

// ---------------------------------------------------------------------------
// IUpdateUI: features that are not in the program yet stay disabled.

BOOL CMainFrame::EnableCommand(UINT id, BOOL enable, BOOL) {
    if (!statesReady_) return FALSE;
    states_.Enable(id, enable);
    return TRUE;
}

BOOL CMainFrame::CheckCommand(UINT id, int check, BOOL) {
    if (!statesReady_) return FALSE;
    states_.Check(id, check);
    return TRUE;
}

BOOL CMainFrame::SetCommandDefault(UINT id, BOOL on, BOOL) {
    if (!statesReady_) return FALSE;
    states_.SetDefault(id, on != 0);
    return TRUE;
}

BOOL CMainFrame::SetCommandText(UINT id, const wchar_t* text, BOOL) {
    if (!statesReady_) return FALSE;
    states_.SetText(id, text);
    return TRUE;
}

// ---------------------------------------------------------------------------
// IDevEnv

BOOL CMainFrame::AddPane(HWND window, const RECT* rc) {
    if (!window || !IsWindow(window)) return FALSE;
    RECT r = rc ? *rc : RECT{100, 100, 400, 400};
    if (r.right - r.left < 120) r.right = r.left + 120;
    if (r.bottom - r.top < 120) r.bottom = r.top + 120;
    return docking_.FloatPane(window, r) ? 1 : 0;
}

BOOL CMainFrame::RemovePane(HWND window) { return docking_.RemovePane(window) ? 1 : 0; }

HWND CMainFrame::ShowPane(HWND window, int show) {
    if (!docking_.IsPane(window)) return nullptr;
    docking_.ShowPane(window, show);
    return docking_.PaneFor(window);
}

// Plug-in commands stay below the frame's own from 57600 on; past that the
// answer is 0 (no identifier).
UINT CMainFrame::AllocateCommandId() { return g_nextPluginCommand < 57600 ? g_nextPluginCommand++ : 0; }

IView* CMainFrame::GetActiveView() { return documents::ViewOf(ActiveDocument()); }

int CMainFrame::MessageBox(const wchar_t* text, UINT flags, const wchar_t* caption, HWND owner) {
    return ShowMessage(owner && IsWindow(owner) ? owner : Window(), text ? text : L"", caption, flags);
}

BOOL CMainFrame::AddMessageListener(MessageListener* listener) {
    if (!listener) return FALSE;
    listeners_.push_back(listener);
    return TRUE;
}

BOOL CMainFrame::RemoveMessageListener(MessageListener* listener) {
    const auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it == listeners_.end()) return FALSE;
    listeners_.erase(it);
    return TRUE;
}

BOOL CMainFrame::AddIdleListener(IdleListener* listener) {
    if (!listener) return FALSE;
    idleListeners_.push_back(listener);
    return TRUE;
}

BOOL CMainFrame::AddIdleListener2(IdleListener* listener) { return AddIdleListener(listener); }

BOOL CMainFrame::AddUpdateCommand(UINT id, UINT kinds) { return states_.Add(id, kinds) ? TRUE : FALSE; }

BOOL CMainFrame::RemoveUpdateCommand(UINT id) { return states_.Remove(id) ? TRUE : FALSE; }

LRESULT CMainFrame::AppendOutput(const wchar_t* text, int length) {
    if (!text || length < -1) return 0;
    if (!OutputWindow()) ToggleOutput();  // made and shown, as command 1325 would
    return output_ && output_->Window() ? output_->Append(text, length) : 0;
}

UINT CMainFrame::TrackMenu(HMENU menu, int x, int y, BOOL send) {
    if (!menu) return 0;
    if (HWND doc = ActiveDocument()) SendMessageW(doc, MPD_UPDATE, 0, 0);
    states_.ApplyToMenu(menu);
    if (commandBar_.Window()) return UINT(commandBar_.TrackPopup(menu, x, y, send != 0));
    const UINT id = UINT(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, Window(), nullptr));
    if (id && send) SendMessageW(Window(), WM_COMMAND, id, 0);
    return id;
}

LANGID CMainFrame::GetLanguage() {
    HMODULE module = ResourceModule();
    if (module == GetModuleHandleW(nullptr)) return 0xFFFF;
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), RT_VERSION);
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    const void* block = data ? LockResource(data) : nullptr;
    const DWORD size = info ? SizeofResource(module, info) : 0;
    if (!block || !size) return 0xFFFF;
    std::vector<BYTE> copy(static_cast<const BYTE*>(block), static_cast<const BYTE*>(block) + size);
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < 4 || !translation)
        return 0xFFFF;
    return translation[0];
}

// ---------------------------------------------------------------------------
// Plug-ins (the loader is automation/Plugins)

void CMainFrame::LoadPlugins() {
    plugins_.Load(this, menu_ ? GetSubMenu(menu_, MENU_PLUGINS) : nullptr, settings::ProgramFolder() + L"plugin\\");
}

void CMainFrame::UnloadPlugins() { plugins_.Unload(); }

// ---------------------------------------------------------------------------
// External tools

void CMainFrame::CreateToolRunner() {
    automation::CToolRunner::Host host;
    host.frame = Window();
    host.activePane = [this] { return ActivePane(); };
    host.showOutput = [this]() -> automation::CRedirector* {
        ShowOutput();
        // The tool's output starts on a line of its own, and the pane follows it.
        if (output_) output_->StartOnNewLine();
        return output_.get();
    };
    host.ask = [](HWND owner, const std::wstring& caption, const std::wstring& prompt, std::wstring* value) {
        return documents::AskInput(owner, caption, prompt, value);
    };
    tools_ = std::make_unique<automation::CToolRunner>(std::move(host));
    RebuildToolsMenu();
}

void CMainFrame::RebuildToolsMenu() {
    if (tools_ && menu_) tools_->RebuildMenu(GetSubMenu(menu_, MENU_TOOLS));
}

}  // namespace shell
