// The main frame in this process, driven by its commands and messages as a
// user's actions would: documents and tabs, the open routine, closing with
// a cancel, routing, the recent list, dropped files, the hand-over, and the
// command states reported at idle time.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "CommandIds.h"
#include "CommandLine.h"
#include "ControlText.h"
#include "FileDialogEx.h"
#include "FrameFixture.h"
#include "Input.h"
#include "Menus.h"
#include "MessageLoop.h"
#include "ProgramIds.h"
#include "Timers.h"
#include "WindowPlacement.h"

using testing_support::Answers;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::WriteFileText;

namespace {

// The frame over three files: a.txt in a folder whose name has a blank.
class Frame : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        CreateDirectoryW((folder_ + L"with space").c_str(), nullptr);
        a_ = File(L"with space\\a.txt", "alpha\r\nsecond\r\n");
        b_ = File(L"b.txt", "beta\n");
        c_ = File(L"c.txt", "gamma\r\n");
    }
    HWND Open(const std::wstring& path) { return frame_->OpenDocument(path); }
    std::wstring Caption() { return TextOf(frame_->Window()); }
    std::wstring StatusText(int part) {
        wchar_t text[128] = {};
        SendMessageW(frame_->StatusBar(), SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text));
        return text;
    }
    static std::wstring Setting(const wchar_t* key) {
        std::wstring value;
        settings::ReadString(settings::File::Setting, L"Setting", key, value, L"<missing>");
        return value;
    }
    // Starts with these files (the first on the command line, the rest opened).
    void Start(std::initializer_list<std::wstring> files) {
        ASSERT_NE(Create(L"prog \"" + *files.begin() + L"\""), nullptr);
        for (auto it = files.begin() + 1; it != files.end(); ++it) ASSERT_NE(Open(*it), nullptr);
    }
    std::wstring a_, b_, c_;
};

// A listener of a plug-in: records what it sees, optionally handles it.
struct Listener : MessageListener {
    Listener(std::vector<UINT>* l, UINT t, bool h) : log(l), tag(t), handle(h) {}
    std::vector<UINT>* log;
    UINT tag;
    bool handle;
    LRESULT MORROWPAD_CALL OnMessage(HWND, UINT msg, WPARAM wp, LPARAM, BOOL* handled) override {
        if (msg == WM_COMMAND) {
            log->push_back(tag * 100000 + LOWORD(wp));
            if (handle) *handled = TRUE;
        }
        return 7;
    }
    BOOL MORROWPAD_CALL PreTranslateMessage(MSG*) override { return FALSE; }
};

}  // namespace

TEST_F(Frame, StartsWithTheCommandLineFileOrANewDocument) {
    ASSERT_NE(Create(L"\"C:\\M\\Morrowpad.exe\" \"" + a_ + L"\" \"" + b_ + L"\""), nullptr);
    ASSERT_EQ(frame_->DocumentCount(), 1u);  // further tokens are ignored
    EXPECT_EQ(Line(Pane(0), 0), L"alpha");
    EXPECT_EQ(Caption(), L"a.txt - Morrowpad");
    EXPECT_EQ(TabText(0), L"a.txt");
    wchar_t cls[64];
    GetClassNameW(frame_->Window(), cls, 64);
    EXPECT_STREQ(cls, MORROWPAD_FRAME_CLASS);
    EXPECT_EQ(GetMenu(frame_->Window()), nullptr);  // the menu is the command bar
    EXPECT_NE(frame_->ToolBar(), nullptr);
    EXPECT_NE(frame_->StatusBar(), nullptr);

    frame_.reset();
    settings::WriteInt(settings::File::Setting, L"Setting", L"DefaultFileFormat", LB_LF);
    Messages().clear();
    ASSERT_NE(Create(L"prog \"" + folder_ + L"missing.txt\""), nullptr);
    ASSERT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Caption(), L"Untitled" + TextOf(frame_->Document(0)).substr(8) + L" - Morrowpad");
    EXPECT_EQ(SendMessageW(Pane(0), MPM_LINEBREAKTYPE, 0, 0), LB_LF);
    ASSERT_EQ(Messages().size(), 1u);  // the file cannot be opened
    EXPECT_NE(Messages()[0].text.find(L"missing.txt"), std::wstring::npos);
}

TEST_F(Frame, TheOpenRoutineActivatesADocumentOpenUnderAnyCase) {
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    ASSERT_NE(Open(b_), nullptr);
    EXPECT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    EXPECT_EQ(Line(Pane(1), 0), L"beta");
    EXPECT_EQ(SendMessageW(Pane(1), MPM_LINEBREAKTYPE, 0, 0), LB_LF);  // sniffed from the file
    Type(Pane(0), L"x");
    std::wstring upper = a_;
    CharUpperBuffW(upper.data(), DWORD(upper.size()));
    EXPECT_EQ(Open(upper), frame_->Document(0));
    EXPECT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 0u);
    EXPECT_EQ(SendMessageW(Pane(0), MPM_ISMODIFIED, 0, 0), 1);  // not reloaded
    // A failed open leaves the tabs as they were.
    EXPECT_EQ(Open(folder_ + L"nothing.txt"), nullptr);
    EXPECT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(TabCount(), 2);
    EXPECT_EQ(frame_->ActiveIndex(), 0u);
    // The frame's private open message answers the document window.
    const HWND opened = reinterpret_cast<HWND>(
        SendMessageW(frame_->Window(), MPF_OPEN, reinterpret_cast<WPARAM>(c_.c_str()), 0));
    EXPECT_EQ(opened, frame_->Document(2));
}

TEST_F(Frame, TabsCycleAndTheLastClosedDocumentIsReplaced) {
    ASSERT_NE(Create(), nullptr);
    Command(ID_NEXT_TAB);  // one document: nothing
    EXPECT_EQ(frame_->ActiveIndex(), 0u);
    frame_.reset();
    Start({a_, b_, c_});
    ASSERT_EQ(frame_->ActiveIndex(), 2u);
    // A status message belongs to the document it was said about.
    frame_->SetStatusMessage(L"said about c.txt");
    Command(ID_NEXT_TAB);
    EXPECT_EQ(frame_->ActiveIndex(), 0u);
    EXPECT_EQ(StatusText(0), L"");
    EXPECT_EQ(SendMessageW(frame_->TabStrip(), TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Caption(), L"a.txt - Morrowpad");
    Command(ID_PREV_TAB);
    EXPECT_EQ(frame_->ActiveIndex(), 2u);
    EXPECT_TRUE(IsWindowVisible(frame_->Document(2)) || !IsWindowVisible(frame_->Window()));
    EXPECT_FALSE(IsWindowVisible(frame_->Document(0)));

    Command(ID_FILE_CLOSE);
    EXPECT_EQ(frame_->DocumentCount(), 2u);
    EXPECT_EQ(frame_->ActiveIndex(), 1u);
    Command(ID_CLOSE_OTHERS);
    ASSERT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Line(Pane(0), 0), L"beta");
    const HWND last = frame_->Document(0);
    Command(ID_CLOSE_DOCUMENT);
    ASSERT_EQ(frame_->DocumentCount(), 1u);  // a new empty document
    EXPECT_NE(frame_->Document(0), last);
    EXPECT_FALSE(IsWindow(last));
    EXPECT_EQ(SendMessageW(Pane(0), MPM_GETLINECOUNT, 0, 0), 1);
    EXPECT_EQ(TabCount(), 1);
}

TEST_F(Frame, CloseAllStopsAtACancelAndSoDoesClosingTheFrame) {
    Start({a_, b_, c_});
    Type(Pane(1), L"x");  // b is modified
    Answers() = {IDCANCEL};
    SendMessageW(frame_->Window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(IsWindow(frame_->Window()));  // the close was cancelled
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].type & MB_TYPEMASK, UINT(MB_YESNOCANCEL));
    EXPECT_NE(Messages()[0].text.find(L"b.txt"), std::wstring::npos);
    ASSERT_EQ(frame_->DocumentCount(), 3u);  // all were asked first: the cancel keeps every one open
    EXPECT_EQ(frame_->ActiveIndex(), 1u);    // shown while asked
    EXPECT_EQ(Line(Pane(1), 0), L"xbeta");
    // Two modified: both are asked before anything closes; the second's
    // Cancel keeps the first (answered No) open with its text.
    Type(Pane(2), L"y");
    Messages().clear();
    Answers() = {IDNO, IDCANCEL};
    SendMessageW(frame_->Window(), WM_CLOSE, 0, 0);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_NE(Messages()[0].text.find(L"c.txt"), std::wstring::npos);
    ASSERT_EQ(frame_->DocumentCount(), 3u);
    EXPECT_EQ(Line(Pane(2), 0), L"ygamma");
    SendMessageW(Pane(2), WM_COMMAND, ECMD_UNDO, 0);
    EXPECT_EQ(frame_->CloseAll(false), IDCANCEL);  // the sink answers cancel no more: IDOK is not a cancel
    Answers() = {IDNO};
    EXPECT_EQ(frame_->CloseAll(false), IDYES);
    EXPECT_EQ(frame_->DocumentCount(), 0u);
    EXPECT_EQ(ReadFileText(b_), "beta\n");     // "No" discards
    EXPECT_EQ(frame_->CloseAll(false), IDNO);  // nothing to close
    Command(ID_CLOSE_ALL);
    EXPECT_EQ(frame_->DocumentCount(), 1u);  // the command keeps one document
}

TEST_F(Frame, ClosingSavesThePlacementAndTheBars) {
    ASSERT_NE(Create(), nullptr);
    const HWND hwnd = frame_->Window();
    SetWindowPos(hwnd, nullptr, 40, 30, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    Command(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(IsWindowVisible(frame_->StatusBar()));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    const auto saved = shell::ParseWinPos(Setting(L"WinPos"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(
        std::vector<LONG>({saved->window.left, saved->window.top, saved->window.right, saved->window.bottom}),
        std::vector<LONG>({40, 30, 680, 510}));
    EXPECT_EQ(Setting(L"StatusBar"), L"N");
    EXPECT_EQ(Setting(L"ToolBar"), L"Y");  // shown in the frame, though the frame itself is hidden
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    // The next frame starts without the status bar.
    frame_.reset();
    ASSERT_NE(Create(), nullptr);
    EXPECT_FALSE(GetWindowLongPtrW(frame_->StatusBar(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Frame, CommandsTheFrameDoesNotKnowReachTheActiveDocument) {
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    Command(ECMD_SELECTALL);
    EXPECT_EQ(SendMessageW(Pane(0), MPM_GETSELKIND, 0, 0), 1);
    Command(ID_EDIT_CUT);  // the standard identifier becomes the control's own
    EXPECT_EQ(Line(Pane(0), 0), L"");
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(Line(Pane(0), 0), L"alpha");

    // Listeners: the newest first; one that handles the message ends it.
    std::vector<UINT> log;
    Listener first(&log, 1, false), second(&log, 2, true);
    ASSERT_TRUE(frame_->AddMessageListener(&first));
    ASSERT_TRUE(frame_->AddMessageListener(&second));
    EXPECT_EQ(SendMessageW(frame_->Window(), WM_COMMAND, ECMD_SELECTALL, 0), 7);
    EXPECT_EQ(log, std::vector<UINT>({200000 + ECMD_SELECTALL}));
    EXPECT_EQ(SendMessageW(Pane(0), MPM_GETSELKIND, 0, 0), 0);  // the document never saw it
    EXPECT_TRUE(frame_->RemoveMessageListener(&second));
    EXPECT_FALSE(frame_->RemoveMessageListener(&second));
    log.clear();
    Command(ECMD_SELECTALL);
    EXPECT_EQ(log, std::vector<UINT>({100000 + ECMD_SELECTALL}));
    EXPECT_EQ(SendMessageW(Pane(0), MPM_GETSELKIND, 0, 0), 1);
    frame_->RemoveMessageListener(&first);

    // The recorder takes every command but its own and the status clicks.
    frame_->SetRecording(true);
    Command(ECMD_DOCEND);
    Command(ID_MACRO_PLAY);
    SendMessageW(frame_->Window(), WM_COMMAND, MAKEWPARAM(ID_STATUS_PANE, 1), 0);  // the caret pane: no popup
    EXPECT_EQ(frame_->RecordedText(), L"App.SendCommand( 8 )\n");
}

TEST_F(Frame, TheRecentListFollowsItsRules) {
    settings::WriteInt(settings::File::History, L"RecentDoc", L"Count", 0);
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    EXPECT_TRUE(frame_->Recent().Items().empty());
    HMENU recent = GetSubMenu(GetSubMenu(frame_->Menu(), MENU_FILE), MENU_FILE_RECENT_ITEM);
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(GetMenuItemCount(recent), 1);
    EXPECT_EQ(GetMenuItemID(recent, 0), UINT(ID_RECENT_FIRST));
    EXPECT_TRUE(GetMenuState(recent, 0, MF_BYPOSITION) & MF_GRAYED);
    frame_.reset();

    settings::WriteInt(settings::File::History, L"RecentDoc", L"Count", 3);
    for (int i = 0; i < 3; ++i)
        settings::WriteString(settings::File::History, L"RecentDoc", L"Doc",
                              (folder_ + L"old" + std::to_wstring(i) + L".txt").c_str(), i);
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    // The oldest of the three went for a.txt.
    using Paths = std::vector<std::wstring>;
    EXPECT_EQ(frame_->Recent().Items(), (Paths{folder_ + L"old1.txt", folder_ + L"old2.txt", a_}));
    Open(b_);
    // An existing entry moves to the newest place, whatever its case.
    Command(ID_FILE_CLOSE);
    Command(ID_FILE_CLOSE);
    std::wstring upper = a_;
    upper[upper.size() - 5] = L'A';
    Open(upper);
    EXPECT_EQ(frame_->Recent().Items(), (Paths{folder_ + L"old2.txt", b_, upper}));
    recent = GetSubMenu(GetSubMenu(frame_->Menu(), MENU_FILE), MENU_FILE_RECENT_ITEM);
    EXPECT_EQ(testing_support::MenuText(recent, ID_RECENT_FIRST + 1), L"&2 " + b_);
    std::wstring stored;
    settings::ReadString(settings::File::History, L"RecentDoc", L"Doc", stored, L"", 2);
    EXPECT_EQ(stored, upper);
    // An entry that no longer opens is removed.
    Messages().clear();
    Command(ID_RECENT_FIRST + 2);  // old2.txt does not exist
    EXPECT_EQ(frame_->Recent().Items().size(), 2u);
    EXPECT_EQ(Messages().size(), 1u);
    Command(ID_RECENT_FIRST + 1);  // b.txt opens again
    EXPECT_EQ(Line(ActivePane(), 0), L"beta");
    // Paths of 260 characters or more are never kept.
    shell::CRecentList list;
    EXPECT_FALSE(list.Add(std::wstring(260, L'x')));
    EXPECT_TRUE(list.Add(std::wstring(259, L'x')));
}

TEST_F(Frame, DroppedFilesOpenAndFoldersAreSkipped) {
    ASSERT_NE(Create(), nullptr);
    const std::wstring files[] = {folder_ + L"with space", a_, b_, c_};
    std::wstring list;
    for (const auto& f : files) list += f + L'\0';
    list += L'\0';
    HGLOBAL mem =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(mem);
    SendMessageW(frame_->Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);  // the frame frees it
    ASSERT_EQ(frame_->DocumentCount(), 4u);  // the first, empty document and three files
    EXPECT_EQ(Line(Pane(1), 0), L"alpha");
    EXPECT_EQ(Line(Pane(3), 0), L"gamma");
}

TEST_F(Frame, TheIdlePassShowsTheDocumentsStates) {
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    frame_->OnIdle();
    const auto* save = frame_->CommandStates().Find(ID_FILE_SAVE);
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(save->enabled);
    EXPECT_FALSE(SendMessageW(frame_->ToolBar(), TB_ISBUTTONENABLED, ID_FILE_SAVE, 0));
    Type(Pane(0), L"z");
    frame_->OnIdle();
    EXPECT_TRUE(frame_->CommandStates().Find(ID_FILE_SAVE)->enabled);
    EXPECT_TRUE(SendMessageW(frame_->ToolBar(), TB_ISBUTTONENABLED, ID_FILE_SAVE, 0));
    EXPECT_TRUE(SendMessageW(frame_->ToolBar(), TB_ISBUTTONENABLED, ID_EDIT_UNDO, 0));
    EXPECT_EQ(TabText(0), L"a.txt *");
    EXPECT_EQ(Caption(), L"a.txt * - Morrowpad");
    // Every feature is in: the tool bar's commands are enabled as their states say.
    for (const auto& [id, enabled] : {std::pair{ID_FILE_PRINT, 1},
                                      {ID_MACRO_RECORD, 1},
                                      {ID_SPLIT_SIDE, 1},
                                      {ID_MACRO_PLAY, 0} /* nothing recorded */})
        EXPECT_EQ(SendMessageW(frame_->ToolBar(), TB_ISBUTTONENABLED, id, 0) != 0, enabled != 0) << id;
    frame_->EnableCommand(ID_AUTO_COMPLETE, TRUE);
    EXPECT_TRUE(frame_->CommandStates().Find(ID_AUTO_COMPLETE)->enabled);
    // Status-bar panes.
    EXPECT_EQ(StatusText(3), L"Ln 1");
    EXPECT_EQ(StatusText(4), L"Col 2");
    // Wide enough for the line numbers of large files and long lines' columns.
    HDC dc = GetDC(frame_->StatusBar());
    HGDIOBJ font =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(frame_->StatusBar(), WM_GETFONT, 0, 0)));
    for (const auto& [part, sample] : {std::pair{3, L"Ln 101310200"}, std::pair{4, L"Col 1048576"}}) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, sample, int(wcslen(sample)), &size);
        RECT rc = {};
        SendMessageW(frame_->StatusBar(), SB_GETRECT, WPARAM(part), reinterpret_cast<LPARAM>(&rc));
        EXPECT_GE(rc.right - rc.left, size.cx) << sample;
    }
    SelectObject(dc, font);
    ReleaseDC(frame_->StatusBar(), dc);
    // Menus get their states when they open, below the tear-off strip.
    HMENU file = GetSubMenu(frame_->Menu(), MENU_FILE);
    SendMessageW(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_EQ(GetMenuItemID(file, 0), UINT(ID_TEAR_OFF));
    EXPECT_FALSE(GetMenuState(file, ID_FILE_SAVE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(file, ID_FILE_PRINT, MF_BYCOMMAND) & MF_GRAYED);
    SendMessageW(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_NE(GetMenuItemID(file, 1), UINT(ID_TEAR_OFF));  // only one strip
    // The recent submenu is still found below the strip.
    EXPECT_NE(GetSubMenu(file, MENU_FILE_RECENT_ITEM + 1), nullptr);
}

TEST_F(Frame, TheClipboardMonitorAppendsCopiedText) {
    ASSERT_NE(Create(L"prog \"" + c_ + L"\""), nullptr);
    Command(ID_CLIPBOARD_MONITOR);
    ASSERT_TRUE(frame_->IsClipboardMonitorOn());
    SetClipboardText(L"copied");
    for (int i = 0; i < 20 && Line(Pane(0), 2) != L"copied"; ++i) {
        Pump();
        if (Line(Pane(0), 2) != L"copied") SendMessageW(frame_->Window(), WM_DRAWCLIPBOARD, 0, 0);
    }
    EXPECT_EQ(Line(Pane(0), 2), L"copied");
    Command(ID_CLIPBOARD_MONITOR);
    EXPECT_FALSE(frame_->IsClipboardMonitorOn());
}

TEST_F(Frame, FullScreenDropsTheCaptionAndComesBack) {
    ASSERT_NE(Create(), nullptr);
    ShowWindow(frame_->Window(), SW_SHOWNORMAL);
    Command(ID_FULL_SCREEN);
    EXPECT_TRUE(frame_->IsFullScreen());
    EXPECT_FALSE(GetWindowLongPtrW(frame_->Window(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_FALSE(IsWindowVisible(frame_->Rebar()));
    ASSERT_NE(frame_->FullScreenDialog(), nullptr);
    SendMessageW(frame_->FullScreenDialog(), WM_COMMAND, 1, 0);  // its button switches back
    Pump();
    EXPECT_FALSE(frame_->IsFullScreen());
    EXPECT_TRUE(GetWindowLongPtrW(frame_->Window(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_TRUE(IsWindowVisible(frame_->Rebar()));
    EXPECT_EQ(frame_->FullScreenDialog(), nullptr);
}

// In the program (a message loop on the thread) the plug-ins load after the
// window has painted: not while it is made, but once the first idle pass
// has run and the timer it sets has come. The loader's first step is to
// drop the Plug-ins menu's placeholder, plug-ins or none.
TEST_F(Frame, WithALoopThePlugInsLoadAfterTheFirstIdlePass) {
    shell::CMessageLoop loop;
    ASSERT_TRUE(shell::AddMessageLoop(&loop));
    ASSERT_NE(Create(), nullptr);
    const HMENU plugins = GetSubMenu(frame_->Menu(), MENU_PLUGINS);
    const int made = GetMenuItemCount(plugins);
    Pump();
    EXPECT_EQ(GetMenuItemCount(plugins), made) << "loaded before the first idle pass";
    loop.Idle();
    EXPECT_TRUE(testing_support::PumpUntil([&] { return GetMenuItemCount(plugins) == made - 1; }, 5000));
    EXPECT_EQ(GetMenuItemCount(plugins), made - 1);
    frame_.reset();  // before the loop it knows goes
    shell::RemoveMessageLoop();
}

// Plug-in calls at their edges (the sample plug-in's test calls every slot):
// command identifiers count up; a state for the tool bar is refused; a box
// for an owner that is no window, or without a text, is the frame's; an
// unknown command's state is ignored; a command is removed once.
TEST_F(Frame, PlugInCallsAtTheirEdges) {
    ASSERT_NE(Create(), nullptr);
    IDevEnv* env = frame_.get();
    IUpdateUI* ui = frame_.get();
    const UINT id = env->AllocateCommandId();
    EXPECT_GE(id, 40000u);
    EXPECT_EQ(env->AllocateCommandId(), id + 1);
    EXPECT_TRUE(env->AddUpdateCommand(id, UPDUI_MENUPOPUP));
    EXPECT_FALSE(env->AddUpdateCommand(id, UPDUI_TOOLBAR));
    EXPECT_EQ(env->GetActiveView(), documents::ViewOf(frame_->Document(0)));
    env->MessageBox(nullptr, MB_OK, nullptr, reinterpret_cast<HWND>(0x7fff1234));
    env->MessageBox(L"hello", MB_OK, nullptr, nullptr);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0].owner, frame_->Window());
    EXPECT_EQ(Messages()[1].owner, frame_->Window());
    EXPECT_EQ(Messages()[1].caption, L"Morrowpad");
    EXPECT_TRUE(ui->SetCommandText(id, L"label"));
    EXPECT_EQ(frame_->CommandStates().Find(id)->text, L"label");
    EXPECT_TRUE(ui->EnableCommand(id, FALSE));
    EXPECT_FALSE(frame_->CommandStates().Find(id)->enabled);
    EXPECT_TRUE(ui->EnableCommand(65001, FALSE));  // unknown: ignored
    EXPECT_TRUE(env->RemoveUpdateCommand(id));
    EXPECT_FALSE(env->RemoveUpdateCommand(id));
}

TEST_F(Frame, BoundKeysBecomeCommandsBeforeTheControlSeesThem) {
    // F6 shows or hides the status bar; the command wins over a macro.
    ASSERT_TRUE(WriteFileText(
        folder_ + L"key.ini",
        "[Global]\r\nCommand0=" + std::to_string(int32_t((uint32_t(ID_VIEW_STATUS_BAR) << 16) | VK_F6)) +
            "\r\n[Macro]\r\nCommand0=117,C:\\m.mac\r\n"));
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);
    const BYTE none[256] = {};
    SetKeyboardState(const_cast<BYTE*>(none));
    MSG msg = {Pane(0), WM_KEYDOWN, VK_F6, 0, 0, {}};
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_FALSE(GetWindowLongPtrW(frame_->StatusBar(), GWL_STYLE) & WS_VISIBLE);
    // Keys nobody bound reach the control's own table: Ctrl+A selects all.
    testing_support::CHeldKeys ctrl({VK_CONTROL});
    msg.wParam = 'A';
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(SendMessageW(Pane(0), MPM_GETSELKIND, 0, 0), 1);
}

void EscapeMenuMode() {
    EndMenu();
    testing_support::RealKey(VK_ESCAPE, false);
    testing_support::RealKey(VK_ESCAPE, true);
}

// Alt+Up and Alt+Down move a line; releasing Alt must not leave the frame
// in menu mode, which would swallow the next typed character. Real keys
// through a loop like the program's.
TEST_F(Frame, AltShortcutsLeaveNoMenuModeBehind) {
    ASSERT_NE(Create(L"prog \"" + a_ + L"\""), nullptr);  // "alpha", "second", ""
    ShowWindow(frame_->Window(), SW_SHOW);
    SetForegroundWindow(frame_->Window());
    const HWND pane = Pane(0);
    SetFocus(pane);
    const auto key = &testing_support::RealKey;
    auto pump = [&](DWORD ms) {
        for (const DWORD end = GetTickCount() + ms; LONG(GetTickCount() - end) < 0; Sleep(5)) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                if (!frame_->PreTranslateMessage(&msg)) TranslateMessage(&msg), DispatchMessageW(&msg);
        }
    };
    // Alt let go of after the arrow, and before it; Alt alone still puts the
    // command bar in keyboard mode, where q is no menu's letter.
    const struct {
        WORD arrow;
        bool altFirst;
        const wchar_t* lines;
    } steps[] = {{VK_DOWN, false, L"second|qalpha|"},
                 {VK_UP, false, L"qqalpha|second|"},
                 {VK_DOWN, true, L"second|qqqalpha|"},
                 {VK_UP, true, L"qqqqalpha|second|"},
                 {0, false, L"qqqqalpha|second|"}};
    for (const auto& step : steps) {
        key(VK_MENU, false);
        if (step.arrow) key(step.arrow, false);
        if (step.altFirst) key(VK_MENU, true);
        if (step.arrow) key(step.arrow, true);
        if (!step.altFirst) key(VK_MENU, true);
        key('Q', false);
        key('Q', true);
        // A menu mode the keys started holds the pump inside its own loop:
        // it is ended from a timer that fires only then.
        const UINT_PTR stuck = testing_support::After<&EscapeMenuMode>(1000);
        pump(300);
        KillTimer(nullptr, stuck);
        EXPECT_EQ(Line(pane, 0) + L"|" + Line(pane, 1) + L"|" + Line(pane, 2), step.lines)
            << "Alt "
            << (step.arrow == VK_UP ? "Up"
                : step.arrow        ? "Down"
                                    : "alone")
            << (step.altFirst ? ", Alt first" : "");
    }
    key(VK_ESCAPE, false);
    key(VK_ESCAPE, true);
    pump(50);
}

TEST_F(Frame, ATornOffMenuSendsItsCommands) {
    ASSERT_NE(Create(), nullptr);
    HMENU view = GetSubMenu(frame_->Menu(), 3);
    SendMessageW(frame_->Window(), WM_MENUSELECT, MAKEWPARAM(ID_VIEW_STATUS_BAR, 0),
                 reinterpret_cast<LPARAM>(view));
    auto panels = [this] {
        std::vector<HWND> own;
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"MorrowpadMenuPanel", nullptr));)
            if (GetWindow(w, GW_OWNER) == frame_->Window()) own.push_back(w);
        return own;
    };
    Command(ID_TEAR_OFF);
    ASSERT_EQ(panels().size(), 1u);
    const HWND panel = panels()[0];
    HWND button = GetDlgItem(panel, ID_VIEW_STATUS_BAR);
    ASSERT_NE(button, nullptr);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(ID_VIEW_STATUS_BAR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    EXPECT_FALSE(GetWindowLongPtrW(frame_->StatusBar(), GWL_STYLE) & WS_VISIBLE);
    // A second tear-off of the same menu moves the panel instead.
    Command(ID_TEAR_OFF);
    EXPECT_EQ(panels(), std::vector<HWND>{panel});
}

// A "Yes" to saving whose save fails keeps the document and its changes.
TEST_F(Frame, AFailedSaveOnClosingKeepsTheDocument) {
    ASSERT_NE(Create(L"prog \"" + b_ + L"\""), nullptr);
    Type(Pane(0), L"x");
    SetFileAttributesW(b_.c_str(), FILE_ATTRIBUTE_READONLY);
    Answers() = {IDYES};
    EXPECT_EQ(frame_->CloseAll(false), IDCANCEL);
    SetFileAttributesW(b_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Line(Pane(0), 0), L"xbeta");
    ASSERT_EQ(Messages().size(), 2u);  // the question, then "cannot be saved"
    EXPECT_NE(Messages()[1].text.find(L"b.txt"), std::wstring::npos);
    // Closing all but the active one stops at a cancel too, and answers 1.
    Open(a_);
    Open(c_);
    Type(Pane(1), L"y");
    Answers() = {IDCANCEL};
    SendMessageW(frame_->Window(), WM_COMMAND, ID_CLOSE_OTHERS, 0);
    EXPECT_EQ(frame_->CloseAll(true), 1);
    EXPECT_EQ(frame_->DocumentCount(), 3u);
}

// Documents are known by their full paths: a relative name opens the file
// of the current folder once, and an untitled caption is never a path.
TEST_F(Frame, PathsAreMadeFullAndUntitledCaptionsAreNoPaths) {
    ASSERT_NE(Create(), nullptr);
    const std::wstring untitled = TextOf(frame_->Document(0));
    ASSERT_TRUE(WriteFileText(folder_ + untitled, "a file named like the caption\r\n"));
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(folder_.c_str());
    const HWND named = Open(untitled);
    const HWND relative = Open(L"b.txt");
    SetCurrentDirectoryW(old);
    ASSERT_NE(named, nullptr);
    EXPECT_NE(named, frame_->Document(0));
    EXPECT_EQ(TextOf(named), folder_ + untitled);
    ASSERT_NE(relative, nullptr);
    EXPECT_EQ(TextOf(relative), b_);
    EXPECT_EQ(Open(b_), relative);
    EXPECT_EQ(frame_->DocumentCount(), 3u);
}

// Messages with pointers but none given change nothing.
TEST_F(Frame, PointerMessagesWithoutTheirPointersAreIgnored) {
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(SendMessageW(frame_->Window(), MPF_OPEN, 0, 0), 0);
    EXPECT_EQ(SendMessageW(frame_->Window(), WM_NOTIFY, 0, 0), 0);
    SendMessageW(frame_->Window(), MPF_SET_TAB, reinterpret_cast<WPARAM>(frame_->Document(0)), 0);
    EXPECT_EQ(SendMessageW(frame_->Document(0), MPD_OPEN, 0, 0), 0);
    EXPECT_EQ(frame_->DocumentCount(), 1u);
}

TEST_F(Frame, ThePlaceholdersOfItsMenusStayDisabled) {
    settings::WriteInt(settings::File::History, L"RecentDoc", L"Count", 0);
    ASSERT_NE(Create(), nullptr);
    frame_->OnIdle();
    HMENU file = GetSubMenu(frame_->Menu(), MENU_FILE);
    SendMessageW(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    HMENU recent = GetSubMenu(file, MENU_FILE_RECENT_ITEM + 1);
    SendMessageW(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(recent), 0);
    EXPECT_TRUE(GetMenuState(recent, ID_RECENT_FIRST, MF_BYCOMMAND) & MF_GRAYED);
    // Status-bar texts never become menu labels: the tab-size popup uses
    // identifiers of the same numbers.
    frame_->SetCommandText(5, L"UTF-8");
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 5, L"5");
    SendMessageW(frame_->Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    wchar_t label[32] = {};
    GetMenuStringW(popup, 5, label, 32, MF_BYCOMMAND);
    EXPECT_STREQ(label, L"5");
    DestroyMenu(popup);
}

// The next start after a save that was killed on its way: the file given on
// the command line is put back from its moved-aside file (an earlier version
// could leave only that), the save temporaries beside it go, and the output
// window says what was put back.
TEST_F(Frame, TheNextStartPutsBackWhatAnInterruptedSaveLeft) {
    const std::wstring d = folder_ + L"d.txt", aside = folder_ + L"~#d#.tmp",
                       temp = folder_ + L"~MP0001#d.txt.tmp";
    ASSERT_TRUE(WriteFileText(aside, "delta\r\n"));
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WriteFileText(temp, "half"));
    ASSERT_NE(Create(L"prog \"" + d + L"\""), nullptr);
    ASSERT_EQ(frame_->DocumentCount(), 1u);
    EXPECT_EQ(Line(Pane(0), 0), L"delta");
    EXPECT_EQ(GetFileAttributesW(aside.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(d.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    ASSERT_NE(frame_->OutputWindow(), nullptr);
    EXPECT_EQ(Line(frame_->OutputWindow(), 0),
              d + L": put back from what a save that was interrupted left beside it.");
    EXPECT_TRUE(Messages().empty());
}

// Save As in a code page that lacks some of the text asks first: Cancel
// saves nothing, Yes saves UTF-8, No saves the stand-ins and shows them.
TEST_F(Frame, SavingInACodePageThatLacksSomeOfTheTextAsksFirst) {
    const std::wstring u = folder_ + L"unicode.txt";
    // UTF-16 with its mark: Japanese, then c with a circumflex.
    ASSERT_TRUE(WriteFileText(u, std::string("\xFF\xFE\xE5\x65\x2C\x67\x09\x01", 8)));
    static std::wstring target;
    target = u;
    documents::SetFileDialogHook([](bool, documents::FileChoice* c) {
        c->paths = {target};
        c->codePage = 1252;
        c->lineEnd = LB_CRLF;
        c->bom = 0;
        return true;
    });
    ASSERT_NE(Create(), nullptr);
    documents::OpenRequest utf16;  // the detector is not in this program folder
    utf16.codePage = 1200;
    ASSERT_NE(frame_->OpenDocument(u, &utf16), nullptr);
    ASSERT_EQ(SendMessageW(ActivePane(), MPM_GETCODEPAGE, 0, 0), 1200);
    ASSERT_EQ(Line(ActivePane(), 0), L"\x65E5\x672C\x0109");
    const std::string original = ReadFileText(u);
    struct Case {
        int answer;
        std::string file;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {IDCANCEL, original, L"\x65E5\x672C\x0109"},
        {IDYES, "\xE6\x97\xA5\xE6\x9C\xAC\xC4\x89", L"\x65E5\x672C\x0109"},
        {IDNO, "??c", L"??c"},  // the code page's own stand-ins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Messages().clear();
        Answers() = {c.answer};
        Command(ID_FILE_SAVE_AS);
        ASSERT_EQ(Messages().size(), 1u)
            << ReadFileText(u) << " cp " << SendMessageW(ActivePane(), MPM_GETCODEPAGE, 0, 0);
        EXPECT_NE(Messages()[0].text.find(L"lacks some of the characters"), std::wstring::npos)
            << Messages()[0].text;
        EXPECT_EQ(ReadFileText(u), c.file);
        EXPECT_EQ(Line(ActivePane(), 0), c.shown);
    }
    EXPECT_EQ(SendMessageW(ActivePane(), MPM_ISMODIFIED, 0, 0), 0);
    documents::SetFileDialogHook(nullptr);
}
