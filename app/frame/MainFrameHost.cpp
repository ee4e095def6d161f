#include "MainFrameParts.h"

namespace shell {

namespace {

UINT g_nextPluginCommand = 40000;  // main thread only

}  // namespace

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
        if (const HWND p = progress->Window(); p && msg->hwnd && (msg->hwnd == p || IsChild(p, msg->hwnd)))
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
    startup::Mark("idle pass");
    UpdateCommandStates();
    if (afterFirstPaint_) {
        afterFirstPaint_ = false;
        SetTimer(Window(), kAfterFirstPaintTimer, USER_TIMER_MINIMUM, nullptr);
    } else {
        startup::Mark("idle pass done");
        startup::WriteMarks();  // once, after the plug-ins' pass
    }
}

void CMainFrame::UpdateCommandStates() {
    if (HWND doc = ActiveDocument()) SendMessageW(doc, MPD_UPDATE, 0, 0);
    startup::Mark("idle: document's update");
    const std::vector<IdleListener*> idle = idleListeners_;
    for (IdleListener* l : idle)
        if (std::find(idleListeners_.begin(), idleListeners_.end(), l) != idleListeners_.end())
            l->OnIdle(this);
    startup::Mark("idle: listeners");
    states_.Check(ID_VIEW_TOOLBAR, BarVisible(toolBar_) ? 1 : 0);
    states_.Check(ID_VIEW_STATUS_BAR, BarVisible(statusBar_) ? 1 : 0);
    states_.Check(ID_TOGGLE_TABS, tabsVisible_ ? 1 : 0);
    UpdateMacroStates();
    states_.Check(ID_CLIPBOARD_MONITOR, inClipboardChain_ ? 1 : 0);
    states_.Check(ID_FULL_SCREEN, fullScreen_ ? 1 : 0);
    const HWND output = OutputWindow();
    states_.Check(ID_TOGGLE_OUTPUT, output && docking_.IsVisible(output) ? 1 : 0);
    startup::Mark("idle: checks");
    states_.ApplyToToolBar(toolBar_);
    startup::Mark("idle: tool bar");
    states_.ApplyToStatusBar(statusBar_, statusPanes_);
    startup::Mark("idle: status bar");
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
    if (!sys::VerQueryValue(copy.data(), L"\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(&translation), &length) ||
        length < 4 || !translation)
        return 0xFFFF;
    return translation[0];
}

// ---------------------------------------------------------------------------
// Plug-ins (the loader is automation/Plugins)

void CMainFrame::LoadPlugins() {
    plugins_.Load(this, menu_ ? GetSubMenu(menu_, MENU_PLUGINS) : nullptr,
                  settings::ProgramFolder() + L"plugin\\");
}

void CMainFrame::UnloadPlugins() { plugins_.Unload(); }

// The start's work that waits until the window has painted.
void CMainFrame::AfterFirstPaint() {
    startup::Mark("first idle pass done");
    RecoverInterruptedSaves(ActivePane(), std::wstring());
    startup::Mark("interrupted saves");
    LoadPlugins();
    startup::Mark("plug-ins");
}

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
