// The main frame: the program's one top-level window (class "Morrowpad").
// It holds the menu as a command bar and the tool bar in a rebar, the
// status bar, the docked panes and the documents as tabs; turns key
// presses, menu choices and tool-bar clicks into commands, handles the
// application's own and passes every other command to the active document
// window. It keeps the recent-documents list, the window title, full-screen
// mode and the clipboard monitor, records commands for the macro recorder
// and offers plug-ins its IDevEnv.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CommandBar.h"
#include "CommandState.h"
#include "LongWork.h"
#include "DevEnv.h"
#include "DockingWindow.h"
#include "KeyBindings.h"
#include "MacroFolder.h"
#include "MessageLoop.h"
#include "RecentList.h"
#include "Window.h"

#include "AppScript.h"
#include "Document.h"
#include "FindDialog.h"
#include "GrepDialog.h"
#include "MacroRecorder.h"
#include "Plugins.h"

namespace automation {
class CToolRunner;
}

namespace shell {

class CMenuDialog;
class COutputWindow;

class CMainFrame : public IDevEnv,
                   public IUpdateUI,
                   public BaseWindow<CMainFrame>,
                   public CMessageFilter,
                   public CIdleHandler {
   public:
    CMainFrame();
    ~CMainFrame();

    // Creates the (hidden) frame: bars, tabs, the first document (the
    // command line's file, else a new one), the key tables and the recent
    // list. Null on failure.
    HWND Create(std::wstring_view commandLine, HMODULE editLibrary);

    // The open routine: a document whose path equals `path` (ignoring ASCII
    // case) is activated; otherwise a new document window opens the file.
    // The document window, or null when the file cannot be opened (the tabs
    // stay as they were).
    // A `viewType` other than 0 makes a result document (its file is
    // deleted with the window).
    HWND OpenDocument(const std::wstring& path, const documents::OpenRequest* request = nullptr,
                      int viewType = 0);
    // Deals, through the control `pane`, with what an interrupted save left:
    // once a run in the temporary folder, then beside `path` (if any). A file
    // put back is said in the output window.
    void RecoverInterruptedSaves(HWND pane, const std::wstring& path);
    // A new document window, made the active tab; `defaults` applies the
    // code page and line-end format of new documents and empties the undo.
    HWND NewDocument(bool defaults, bool activate = true, int viewType = 0);
    HWND NewFromEntry(int index);
    void ShowTemplateMenu();
    void ReloadSyntax();

    size_t DocumentCount() const { return documents_.size(); }
    HWND Document(size_t i) const { return i < documents_.size() ? documents_[i] : nullptr; }
    HWND ActiveDocument() const { return Document(active_); }
    size_t ActiveIndex() const { return active_; }
    void Activate(size_t index);
    // The active document's pane (its edit control).
    HWND ActivePane() const;

    // 1202 / 1203: the last answer of the documents (2 when one cancelled),
    // 7 when there was none.
    int CloseAll(bool exceptActive);

    const CRecentList& Recent() const { return recent_; }
    keys::CKeyTables& KeyTables() { return keys_; }
    const CCommandStateTable& CommandStates() const { return states_; }
    HWND Rebar() const { return rebar_; }
    HWND ToolBar() const { return toolBar_; }
    HWND StatusBar() const { return statusBar_; }
    HWND TabStrip() const { return tabs_; }
    CCommandBar& CommandBar() { return commandBar_; }
    CDockingWindow& Docking() { return docking_; }
    // The output window (command 1325 makes it), or null before.
    HWND OutputWindow() const;
    HMENU Menu() const { return menu_; }
    bool IsFullScreen() const { return fullScreen_; }
    HWND FullScreenDialog() const { return fullScreenDialog_; }
    bool IsClipboardMonitorOn() const { return inClipboardChain_; }
    // The find or replace dialog, once a find command made it; null before.
    search::CFindDialog* FindDialog() const { return find_.get(); }
    // The find-in-files dialog, once command 1408 made it; null before.
    search::CGrepDialog* GrepDialog() const { return grep_.get(); }
    // The message pane of the status bar (pane 0).
    void SetStatusMessage(const std::wstring& text);

    // The macro recorder: turning it on empties the recorded text.
    void SetRecording(bool on);
    bool IsRecording() const { return recorder_.Recording(); }
    const std::wstring& RecordedText() const { return recorder_.Text(); }
    automation::CMacroRecorder& Recorder() { return recorder_; }
    // The plug-ins loaded when the frame was created, in load order.
    automation::CPluginSet& Plugins() { return plugins_; }
    // Plays macro source `times` times in one undo step of the active
    // document, with the status bar telling that it runs. `name` names it in
    // error reports.
    automation::MacroOutcome PlayMacroText(const std::wstring& text, const std::wstring& name, int times);
    // A macro file: read and run (with `throughRecorder`, it becomes the
    // recorded macro and plays as such). "Can't load macro!" when unreadable.
    void RunMacroFile(const std::wstring& path, bool throughRecorder = false);
    // The macro popup (top-level position 6) and the files its items run,
    // in menu order (item k is command 30000 + k).
    HMENU MacroMenu() const;
    void FillMacroMenu();
    const std::vector<std::wstring>& MacroFiles() const { return macroFiles_; }

    // The message loop's pre-translation (CMessageFilter) and idle pass.
    bool PreTranslateMessage(MSG* msg) override;
    void OnIdle() override;
    void UpdateCommandStates();  // the idle pass's work: menus, tool bar and status bar

    // IUpdateUI
    BOOL MORROWPAD_CALL EnableCommand(UINT id, BOOL enable, BOOL force = FALSE) override;
    BOOL MORROWPAD_CALL CheckCommand(UINT id, int check, BOOL force = FALSE) override;
    BOOL MORROWPAD_CALL SetCommandDefault(UINT id, BOOL on, BOOL force = FALSE) override;
    BOOL MORROWPAD_CALL SetCommandText(UINT id, const wchar_t* text, BOOL force = FALSE) override;

    // IDevEnv
    BOOL MORROWPAD_CALL AddPane(HWND window, const RECT* rc) override;
    BOOL MORROWPAD_CALL RemovePane(HWND window) override;
    HWND MORROWPAD_CALL ShowPane(HWND window, int show) override;
    HWND MORROWPAD_CALL GetMainWindow() override { return Window(); }
    UINT MORROWPAD_CALL AllocateCommandId() override;
    IView* MORROWPAD_CALL GetActiveView() override;
    HWND MORROWPAD_CALL GetToolBar() override { return toolBar_; }
    int MORROWPAD_CALL MessageBox(const wchar_t* text, UINT flags, const wchar_t* caption,
                                  HWND owner) override;
    BOOL MORROWPAD_CALL AddMessageListener(MessageListener* listener) override;
    BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener* listener) override;
    BOOL MORROWPAD_CALL AddIdleListener(IdleListener* listener) override;
    BOOL MORROWPAD_CALL AddIdleListener2(IdleListener* listener) override;
    BOOL MORROWPAD_CALL AddUpdateCommand(UINT id, UINT kinds) override;
    BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT id) override;
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) override;
    UINT MORROWPAD_CALL TrackMenu(HMENU menu, int x, int y, BOOL send) override;
    LANGID MORROWPAD_CALL GetLanguage() override;

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);

   private:
    LRESULT OnCreate();
    void OnDestroy();
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp, bool* handled);
    bool OnCommand(WPARAM wp, LPARAM lp);
    LRESULT OnCopyData(const COPYDATASTRUCT* record);
    void OnDropFiles(HDROP drop);
    void OnClose();
    void OnActivateApp(bool active);
    // Files changed by other programs: every document compares its file,
    // the active one of the active frame may ask (one at a time; none while
    // a modal window is up). `only` limits it to one document.
    void CheckFiles(HWND only = nullptr);
    void OnInitMenuPopup(HMENU popup, bool systemMenu);
    void OnSetTab(HWND document, const void* tab);
    void OnNotify(NMHDR* header, LRESULT* result, bool* handled);

    // The keys of the frame, its panes and documents (PreTranslateMessage
    // without the plug-ins' hooks and the Alt release below).
    bool TranslateKey(MSG* msg);
    // An Alt+key that a key table took: the window never saw the key, so
    // it would take the Alt's release for Alt pressed alone and enter menu
    // mode, which swallows the next typed characters. That release is eaten.
    bool altShortcut_ = false;

    void CreateBars();
    void CreateStatusBar();
    void SizeStatusBar();
    void CreateTabs();
    void SizeTabs();
    void OnDpiChanged();
    void ApplyTabSettings();
    void ApplyInterfaceFont();
    HFONT InterfaceFont();
    void FillCommandStates();
    void RebuildFontMenu();
    void RebuildRecentMenu();
    HMENU RecentMenu() const;
    void AddRecent(const std::wstring& path);
    void OpenRecent(size_t k);
    void Layout();
    void ShowBar(HWND bar, bool show);
    void ToggleFullScreen();
    void ToggleClipboardMonitor();
    void TearOff();
    void ShowWindowList();
    void ShowAbout();
    void ShowFrameContextMenu();
    void OnFindCommand(UINT id);
    // The dialog of the form asked for (a dialog of the other form is
    // destroyed first), or with `anyForm` whichever exists; made hidden.
    search::CFindDialog* EnsureFindDialog(bool replace, bool anyForm);
    void ShowGrepDialog();
    void CloseActive();
    bool CloseDocument(size_t index, int* answer);
    void RemoveDocument(HWND document);
    void UpdateTitle();
    void ShowDocument(size_t index);
    void ToggleOutput();
    void ShowOutput();
    bool OnMacroCommand(UINT id);
    void SaveRecordedMacro();
    void AddMacroItems(HMENU menu, const std::vector<MacroEntry>& entries, UINT* next);
    void UpdateMacroStates();
    size_t IndexOf(HWND document) const;

    std::wstring commandLine_;
    HMODULE editLibrary_ = nullptr;
    HMENU menu_ = nullptr;  // from the language library; the frame itself has no menu
    CCommandBar commandBar_;
    CDockingWindow docking_;
    std::unique_ptr<COutputWindow> output_;
    HWND rebar_ = nullptr;
    HWND toolBar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND tabs_ = nullptr;
    UniqueGdiT<HFONT> interfaceFont_;
    HIMAGELIST tabImages_ = nullptr;
    std::vector<HICON> statusIcons_;  // the status bar's, at its resolution
    UniqueGdiT<HBITMAP> tearOffBitmap_;
    bool tabsVisible_ = true;
    bool creating_ = false;
    SIZE createdLayout_ = {-1, -1};  // the client size the creation laid out, until the first WM_SIZE
    DWORD tabStyle_ = 0;

    std::vector<HWND> documents_;            // in tab order
    HWND shownDocument_ = nullptr;           // the document last activated (its status message is shown)
    std::unique_ptr<CLongWork> replayWork_;  // a long undo or redo going on
    size_t active_ = 0;
    std::map<HWND, std::wstring> tabTitles_;
    CRecentList recent_;
    std::wstring recentPlaceholder_;
    keys::CKeyTables keys_;
    CCommandStateTable states_;
    bool statesReady_ = false;
    bool leftoversSought_ = false;  // the temporary folder was looked through this run
    std::vector<UINT> statusPanes_;

    automation::CMacroRecorder recorder_;
    std::vector<std::wstring> macroFiles_;  // the macro menu's files
    bool macroMenuFilled_ = false;
    bool closePending_ = false;  // asked to close while a macro ran

    bool fullScreen_ = false;
    bool wasMaximized_ = false;
    HWND fullScreenDialog_ = nullptr;

    bool inClipboardChain_ = false;
    HWND nextViewer_ = nullptr;

    HWND lastFocus_ = nullptr;
    bool appActive_ = false;  // the last WM_ACTIVATEAPP said so
    bool checkingFiles_ = false;
    HMENU lastMenu_ = nullptr;  // the menu of the last WM_MENUSELECT
    std::map<HMENU, std::unique_ptr<CMenuDialog>> tearOffs_;
    bool templateMenuFilled_ = false;
    std::unique_ptr<search::CFindDialog> find_;
    std::unique_ptr<search::CGrepDialog> grep_;

    // External tools (app/automation): the Tools menu and the runs of 29000 + n.
    void CreateToolRunner();
    void RebuildToolsMenu();
    std::unique_ptr<automation::CToolRunner> tools_;

    std::vector<MessageListener*> listeners_;
    std::vector<IdleListener*> idleListeners_;
    CMessageLoop* loop_ = nullptr;

    // Plug-ins: loaded last in the creation, uninitialised first in WM_DESTROY.
    void LoadPlugins();
    void UnloadPlugins();
    automation::CPluginSet plugins_;
    bool afterFirstPaint_ = false;  // the plug-ins and the leftovers' look wait for the first idle pass
    void AfterFirstPaint();
};

}  // namespace shell
