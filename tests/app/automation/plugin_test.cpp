// Plug-ins in a real frame. The sample plug-in (plugins/sample, built apart
// with only DevEnv.h) is loaded from a program folder of the test's own and
// driven the way a user drives it: its menu commands, its pane's context
// menu, its key. Between them they call every slot of IDevEnv, IUpdateUI,
// IView and both listener interfaces, and the test checks what each call
// did in the frame. Beside it, libraries that cannot be loaded, export no
// entry point or throw, and one whose hook throws later.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "CommandIds.h"
#include "DevEnv.h"
#include "DockingWindow.h"
#include "Document.h"
#include "EditProtocol.h"
#include "MainFrame.h"
#include "Plugins.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

using automation::PluginInfo;
using automation::PluginState;
using testing_support::Answers;
using testing_support::Messages;

namespace {

std::wstring LineOf(HWND control, int n) {
    const LRESULT length = SendMessageW(control, MPM_GETLINE, WPARAM(n), 0);
    if (length <= 0) return std::wstring();
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(control, MPM_GETLINE, WPARAM(n), reinterpret_cast<LPARAM>(text.data()));
    text.resize(size_t(length));
    return text;
}

std::vector<std::wstring> Lines(HWND control) {
    std::vector<std::wstring> lines;
    if (!control) return lines;
    const int count = int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0));
    for (int i = 0; i < count; ++i) lines.push_back(LineOf(control, i));
    return lines;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The first line that starts with `prefix`, or empty.
std::wstring LineStarting(HWND output, const std::wstring& prefix) {
    for (const std::wstring& line : Lines(output))
        if (StartsWith(line, prefix)) return line;
    return std::wstring();
}

int CountLines(HWND output, const std::wstring& text) {
    int n = 0;
    for (const std::wstring& line : Lines(output)) n += line == text ? 1 : 0;
    return n;
}

// A window of this thread (top-level or any descendant) with this class and text.
HWND FindThreadWindow(const wchar_t* className, const wchar_t* text) {
    struct Search {
        const wchar_t* className;
        const wchar_t* text;
        HWND found = nullptr;
        static BOOL CALLBACK Check(HWND hwnd, LPARAM lp) {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t cls[64] = {}, txt[128] = {};
            GetClassNameW(hwnd, cls, 64);
            GetWindowTextW(hwnd, txt, 128);
            if (!lstrcmpiW(cls, s->className) && !lstrcmpW(txt, s->text)) {
                s->found = hwnd;
                return FALSE;
            }
            EnumChildWindows(hwnd, &Check, lp);
            return s->found ? FALSE : TRUE;
        }
    } search{className, text};
    EnumThreadWindows(GetCurrentThreadId(), &Search::Check, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

const PluginInfo* InfoOf(const std::vector<PluginInfo>& all, const wchar_t* file) {
    for (const PluginInfo& info : all)
        if (!lstrcmpiW(info.file.c_str(), file)) return &info;
    return nullptr;
}

// While a popup menu is open: the keys posted here reach its loop.
std::vector<WPARAM> g_menuKeys;
void CALLBACK TypeIntoMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (!menu) return;
    if (g_menuKeys.empty()) {
        EndMenu();
        return;
    }
    for (WPARAM ch : g_menuKeys) PostMessageW(menu, WM_CHAR, ch, 0);
}

class PluginTest : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        language_ = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        shell::SetResourceModule(language_);
    }
    static void TearDownTestSuite() { shell::SetResourceModule(nullptr); }

    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-plugin-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        ASSERT_TRUE(CreateDirectoryW((folder_ + L"plugin").c_str(), nullptr));
        edit_ = LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str());
        ASSERT_NE(edit_, nullptr);
        Messages().clear();
        Answers().clear();
    }
    void TearDown() override {
        frame_.reset();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        settings::SetProgramFolder(L"");
    }

    void Install(const wchar_t* name) {
        const std::wstring from = testing_support::TestFolder() + L"test-plugins\\" + name;
        ASSERT_TRUE(CopyFileW(from.c_str(), (folder_ + L"plugin\\" + name).c_str(), FALSE)) << name;
    }
    HWND Create() {
        frame_ = std::make_unique<shell::CMainFrame>();
        return frame_->Create(L"prog", edit_);
    }
    void Command(UINT id) { SendMessageW(frame_->Window(), WM_COMMAND, id, 0); }
    HWND Output() { return frame_->OutputWindow(); }
    HMENU PluginMenu() { return GetSubMenu(frame_->Menu(), MENU_PLUGINS); }
    const shell::CCommandStateTable::State* StateOf(UINT id) { return frame_->CommandStates().Find(id); }

    // The sample's first command, from its line "loaded, commands a to b.".
    UINT SampleFirst() {
        const std::wstring line = LineStarting(Output(), L"Sample plug-in: loaded, commands ");
        unsigned first = 0, last = 0;
        if (swscanf(line.c_str(), L"Sample plug-in: loaded, commands %u to %u.", &first, &last) != 2)
            return 0;
        EXPECT_EQ(last, first + 3);
        return first;
    }

    static HMODULE language_;
    std::wstring folder_;
    HMODULE edit_ = nullptr;
    std::unique_ptr<shell::CMainFrame> frame_;
};
HMODULE PluginTest::language_ = nullptr;

}  // namespace

TEST_F(PluginTest, TheSampleBringsItsMenuPaneAndOutputLine) {
    Install(L"Sample.dll");
    ASSERT_NE(Create(), nullptr);
    const std::vector<PluginInfo> all = frame_->Plugins().Plugins();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].file, L"Sample.dll");
    EXPECT_EQ(all[0].state, PluginState::kRunning);

    // Its four commands replace the placeholder, with identifiers in turn
    // from 40000 up (the counter is the process's).
    const UINT first = SampleFirst();
    ASSERT_GE(first, 40000u);
    HMENU menu = PluginMenu();
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(GetMenuItemID(menu, i), first + UINT(i));
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Sample: &Hello...");

    // Its pane floats, titled with the window's text, at least 120 square.
    const HWND pane = FindThreadWindow(L"ListBox", L"Sample pane");
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(frame_->Docking().IsFloating(pane));
    EXPECT_TRUE(frame_->Docking().IsVisible(pane));
    EXPECT_EQ(frame_->Docking().Title(pane), L"Sample pane");
    RECT host = {};
    GetWindowRect(frame_->Docking().HostOf(pane), &host);
    EXPECT_GE(host.right - host.left, 120);
    EXPECT_GE(host.bottom - host.top, 120);
    // Its command states are in the frame's table.
    for (UINT id = first; id < first + 3; ++id) EXPECT_NE(StateOf(id), nullptr) << id;
}

TEST_F(PluginTest, EverySlotWorksThroughTheSample) {
    Install(L"Sample.dll");
    ASSERT_NE(Create(), nullptr);
    const UINT hello = SampleFirst(), toggle = hello + 1, info = hello + 2;
    ASSERT_NE(hello, 0u);
    const HWND pane = FindThreadWindow(L"ListBox", L"Sample pane");
    ASSERT_NE(pane, nullptr);

    // MessageBox (7): through the sink, caption "Morrowpad", owner the
    // frame; the answer comes back. The hook (8) handled the command.
    Answers() = {IDYES, IDNO};
    Command(hello);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].caption, L"Morrowpad");
    EXPECT_EQ(Messages()[0].owner, frame_->Window());
    EXPECT_EQ(Messages()[0].type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(Messages()[0].text, L"Write a greeting into the output window?");
    EXPECT_EQ(CountLines(Output(), L"Sample plug-in: hello."), 1);
    Command(hello);
    EXPECT_EQ(CountLines(Output(), L"Sample plug-in: hello."), 1);  // answered No

    // RemovePane (1) hides the floating pane, ShowPane (2) floats it again.
    Command(toggle);
    EXPECT_TRUE(frame_->Docking().IsPane(pane));
    EXPECT_FALSE(frame_->Docking().IsVisible(pane));
    EXPECT_FALSE(LineStarting(Output(), L"Sample plug-in: pane hidden.").empty());
    // The idle listeners (10, 11) set the states through IUpdateUI.
    frame_->OnIdle();
    ASSERT_NE(StateOf(toggle), nullptr);
    EXPECT_EQ(StateOf(toggle)->check, 0);
    EXPECT_EQ(StateOf(toggle)->text, L"Sample: Show the &Pane");
    Command(toggle);
    EXPECT_TRUE(frame_->Docking().IsVisible(pane));
    EXPECT_TRUE(frame_->Docking().IsFloating(pane));
    EXPECT_FALSE(LineStarting(Output(), L"Sample plug-in: pane shown.").empty());
    frame_->OnIdle();
    EXPECT_EQ(StateOf(toggle)->check, 1);
    EXPECT_EQ(StateOf(toggle)->text, L"Sample: Hide the &Pane");
    EXPECT_TRUE(StateOf(hello)->isDefault);
    EXPECT_TRUE(StateOf(info)->enabled);

    // GetActiveView (5) with the view's three slots, GetMainWindow (3),
    // GetToolBar (6), GetLanguage (16), the idle count and the hooked WM_SIZE.
    HWND doc = frame_->ActiveDocument();
    IView* view = documents::ViewOf(doc);
    ASSERT_NE(view, nullptr);
    SendMessageW(view->GetActivePane(), WM_CHAR, L'x', 1);
    SendMessageW(frame_->Window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
    Command(info);
    wchar_t caption[260] = {}, title[260] = {}, expected[1024] = {};
    view->GetCaption(caption, 260);
    GetWindowTextW(frame_->Window(), title, 260);
    const int buttons = int(SendMessageW(frame_->ToolBar(), TB_BUTTONCOUNT, 0, 0));
    ASSERT_GT(buttons, 0);
    swprintf(expected, 1024,
             L"Sample plug-in: document \"%ls\" modified, pane %p, frame \"%ls\", %d tool-bar buttons, "
             L"language 0409, ",
             caption, static_cast<void*>(view->GetActivePane()), title, buttons);
    const std::wstring line = LineStarting(Output(), L"Sample plug-in: document ");
    ASSERT_TRUE(StartsWith(line, expected)) << std::string(line.begin(), line.end());
    unsigned idle = 0, sizes = 0;
    ASSERT_EQ(swscanf(line.c_str() + wcslen(expected), L"%u idle passes, %u sizes.", &idle, &sizes), 2);
    EXPECT_GE(idle, 2u);
    EXPECT_GE(sizes, 1u);

    // TrackMenu (15): the pane's context menu; a choice is sent to the
    // frame and comes back to the hook.
    Answers() = {IDYES};
    g_menuKeys = {L'h'};
    SetTimer(nullptr, 0, 150, &TypeIntoMenu);
    SendMessageW(pane, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pane), MAKELPARAM(200, 200));
    EXPECT_EQ(CountLines(Output(), L"Sample plug-in: hello."), 2);
    EXPECT_FALSE(
        LineStarting(Output(), L"Sample plug-in: menu choice " + std::to_wstring(hello) + L".").empty());
    g_menuKeys.clear();
    SetTimer(nullptr, 0, 150, &TypeIntoMenu);
    SendMessageW(pane, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pane), MAKELPARAM(200, 200));
    EXPECT_FALSE(LineStarting(Output(), L"Sample plug-in: menu choice 0.").empty());

    // The pre-translate hook takes Shift+F12 before the frame's keys.
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {};
    msg.hwnd = view->GetActivePane();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_F12;
    const size_t boxes = Messages().size();
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(Messages().size(), boxes + 1);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);

    // At shut-down the sample removes its hook (9), its pane and its
    // command states (13); nothing of it is called afterwards.
    frame_->Plugins().Unload();
    EXPECT_FALSE(
        LineStarting(Output(),
                     L"Sample plug-in: unloaded, listener removed 1, pane removed in 2 steps, 3 commands.")
            .empty());
    EXPECT_FALSE(IsWindow(pane));
    EXPECT_EQ(StateOf(hello), nullptr);
    EXPECT_EQ(frame_->Plugins().Plugins()[0].state, PluginState::kStopped);
    Messages().clear();
    Command(hello);
    frame_->OnIdle();
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PluginTest, LibrariesThatFailAreSkippedWithALineAndTheOthersLoad) {
    for (const wchar_t* name : {L"Sample.dll", L"test_counter.dll", L"test_throws.dll", L"test_no_entry.dll"})
        Install(name);
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"plugin\\broken.dll", "MZ but no library"));
    ASSERT_NE(Create(), nullptr);
    const std::vector<PluginInfo> all = frame_->Plugins().Plugins();
    ASSERT_EQ(all.size(), 5u);
    ASSERT_NE(InfoOf(all, L"broken.dll"), nullptr);
    EXPECT_EQ(InfoOf(all, L"broken.dll")->state, PluginState::kNotLoaded);
    EXPECT_NE(InfoOf(all, L"broken.dll")->error, 0u);
    EXPECT_EQ(InfoOf(all, L"test_no_entry.dll")->state, PluginState::kNoEntryPoint);
    EXPECT_EQ(InfoOf(all, L"test_throws.dll")->state, PluginState::kFailed);
    EXPECT_EQ(InfoOf(all, L"test_counter.dll")->state, PluginState::kRunning);
    EXPECT_EQ(InfoOf(all, L"Sample.dll")->state, PluginState::kRunning);

    const HWND output = Output();
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(
        CountLines(output, L"The plug-in broken.dll cannot be loaded (error " +
                               std::to_wstring(InfoOf(all, L"broken.dll")->error) + L") and was skipped."),
        1);
    EXPECT_EQ(CountLines(output, L"test_no_entry.dll exports no Plugin_Initialize and was skipped."), 1);
    EXPECT_EQ(CountLines(output, L"The plug-in test_throws.dll failed while starting and was skipped."), 1);

    // The identifiers follow the load order across plug-ins.
    unsigned counter[2] = {}, thrower[2] = {};
    void* throwsPane = nullptr;
    ASSERT_EQ(
        swscanf(LineStarting(output, L"Counter: ").c_str(), L"Counter: %u %u", &counter[0], &counter[1]), 2);
    ASSERT_EQ(swscanf(LineStarting(output, L"Throws: ").c_str(), L"Throws: %u %u %p", &thrower[0],
                      &thrower[1], &throwsPane),
              3);
    const UINT sample = SampleFirst();
    std::vector<std::pair<UINT, UINT>> ranges;  // first and last, in load order
    for (const PluginInfo& info : all) {
        if (info.file == L"Sample.dll") ranges.push_back({sample, sample + 3});
        if (info.file == L"test_counter.dll") ranges.push_back({counter[0], counter[1]});
        if (info.file == L"test_throws.dll") ranges.push_back({thrower[0], thrower[1]});
    }
    ASSERT_EQ(ranges.size(), 3u);
    for (size_t i = 1; i < ranges.size(); ++i) EXPECT_EQ(ranges[i].first, ranges[i - 1].second + 1) << i;

    // What the failed one registered was taken back: no pane, no command
    // state, no menu item, and its hook is never called.
    EXPECT_FALSE(frame_->Docking().IsPane(static_cast<HWND>(throwsPane)));
    EXPECT_EQ(StateOf(thrower[0]), nullptr);
    EXPECT_EQ(GetMenuItemCount(PluginMenu()), 5);  // the sample's four and the counter's one
    Command(thrower[0]);
    EXPECT_EQ(CountLines(output, L"Counter: first command."), 0);

    // A hook that throws stops its plug-in, with a line; the others go on.
    Command(counter[0]);
    EXPECT_EQ(CountLines(output, L"Counter: first command."), 1);
    Command(counter[1]);
    EXPECT_EQ(CountLines(output, L"The plug-in test_counter.dll failed and was stopped."), 1);
    EXPECT_EQ(InfoOf(frame_->Plugins().Plugins(), L"test_counter.dll")->state, PluginState::kStopped);
    Command(counter[0]);
    Command(counter[1]);
    EXPECT_EQ(CountLines(output, L"Counter: first command."), 1);
    EXPECT_EQ(CountLines(output, L"The plug-in test_counter.dll failed and was stopped."), 1);
    Answers() = {IDYES};
    Command(sample);
    EXPECT_EQ(CountLines(output, L"Sample plug-in: hello."), 1);
}

TEST_F(PluginTest, WithoutPlugInsThePopupLosesOnlyItsPlaceholder) {
    ASSERT_TRUE(RemoveDirectoryW((folder_ + L"plugin").c_str()));
    ASSERT_NE(Create(), nullptr);
    EXPECT_TRUE(frame_->Plugins().Plugins().empty());
    ASSERT_NE(PluginMenu(), nullptr);
    EXPECT_EQ(GetMenuItemCount(PluginMenu()), 0);
    EXPECT_EQ(Output(), nullptr);  // nothing to tell
    frame_->Plugins().Unload();    // nothing to do
}

namespace {

// The slot a virtual member function occupies: under the Itanium C++ ABI,
// which GCC uses on Windows too, a pointer to a virtual member holds one
// more than the slot's byte offset in the table.
template <class M>
long SlotOf(M member) {
    static_assert(sizeof(M) == 2 * sizeof(ptrdiff_t));
    ptrdiff_t words[2] = {};
    memcpy(words, &member, sizeof words);
    return long((words[0] - 1) / ptrdiff_t(sizeof(void*)));
}

#define MP_TEXT(x) #x
#define MP_EXPANDED(x) MP_TEXT(x)

}  // namespace

// Plug-ins built against an older header call by slot number: no slot may
// move, and the interfaces keep their calling convention.
TEST(PluginHeader, EverySlotKeepsItsNumber) {
    EXPECT_EQ(SlotOf(&IDevEnv::AddPane), 0);
    EXPECT_EQ(SlotOf(&IDevEnv::RemovePane), 1);
    EXPECT_EQ(SlotOf(&IDevEnv::ShowPane), 2);
    EXPECT_EQ(SlotOf(&IDevEnv::GetMainWindow), 3);
    EXPECT_EQ(SlotOf(&IDevEnv::AllocateCommandId), 4);
    EXPECT_EQ(SlotOf(&IDevEnv::GetActiveView), 5);
    EXPECT_EQ(SlotOf(&IDevEnv::GetToolBar), 6);
    EXPECT_EQ(SlotOf(&IDevEnv::MessageBox), 7);
    EXPECT_EQ(SlotOf(&IDevEnv::AddMessageListener), 8);
    EXPECT_EQ(SlotOf(&IDevEnv::RemoveMessageListener), 9);
    EXPECT_EQ(SlotOf(&IDevEnv::AddIdleListener), 10);
    EXPECT_EQ(SlotOf(&IDevEnv::AddIdleListener2), 11);
    EXPECT_EQ(SlotOf(&IDevEnv::AddUpdateCommand), 12);
    EXPECT_EQ(SlotOf(&IDevEnv::RemoveUpdateCommand), 13);
    EXPECT_EQ(SlotOf(&IDevEnv::AppendOutput), 14);
    EXPECT_EQ(SlotOf(&IDevEnv::TrackMenu), 15);
    EXPECT_EQ(SlotOf(&IDevEnv::GetLanguage), 16);
    EXPECT_EQ(SlotOf(&IUpdateUI::EnableCommand), 0);
    EXPECT_EQ(SlotOf(&IUpdateUI::CheckCommand), 1);
    EXPECT_EQ(SlotOf(&IUpdateUI::SetCommandDefault), 2);
    EXPECT_EQ(SlotOf(&IUpdateUI::SetCommandText), 3);
    EXPECT_EQ(SlotOf(&IView::GetCaption), 0);
    EXPECT_EQ(SlotOf(&IView::GetActivePane), 1);
    EXPECT_EQ(SlotOf(&IView::IsModified), 2);
    EXPECT_EQ(SlotOf(&MessageListener::OnMessage), 0);
    EXPECT_EQ(SlotOf(&MessageListener::PreTranslateMessage), 1);
    EXPECT_EQ(SlotOf(&IdleListener::OnIdle), 0);
    // No virtual destructor either: it would take slots of its own.
    EXPECT_FALSE(std::has_virtual_destructor_v<IDevEnv>);
    EXPECT_FALSE(std::has_virtual_destructor_v<MessageListener>);
    EXPECT_STREQ(MP_EXPANDED(MORROWPAD_CALL), MP_EXPANDED(__stdcall));
}
