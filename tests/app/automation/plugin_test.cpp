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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <string>
#include <type_traits>
#include <vector>

#include "CommandIds.h"
#include "ControlText.h"
#include "DevEnv.h"
#include "DockingWindow.h"
#include "FrameFixture.h"
#include "Menus.h"
#include "Plugins.h"
#include "Timers.h"

using automation::PluginState;
using testing_support::Answers;
using testing_support::Messages;

namespace {

// The sample's pane, a list box in a window of this thread.
HWND SamplePane() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND top, LPARAM lp) -> BOOL {
            *reinterpret_cast<HWND*>(lp) = FindWindowExW(top, nullptr, L"ListBox", L"Sample pane");
            return *reinterpret_cast<HWND*>(lp) == nullptr;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class PluginTest : public testing_support::CFrameTest {
   protected:
    // A plug-in folder with these libraries of the tests.
    void Install(std::initializer_list<const wchar_t*> names) {
        ASSERT_TRUE(CreateDirectoryW((folder_ + L"plugin").c_str(), nullptr));
        for (const wchar_t* name : names) {
            const std::wstring from = testing_support::TestFolder() + L"test-plugins\\" + name;
            ASSERT_TRUE(CopyFileW(from.c_str(), (folder_ + L"plugin\\" + name).c_str(), FALSE));
        }
    }
    HWND Output() { return frame_->OutputWindow(); }
    HMENU PluginMenu() { return GetSubMenu(frame_->Menu(), MENU_PLUGINS); }
    const shell::CCommandStateTable::State* StateOf(UINT id) { return frame_->CommandStates().Find(id); }
    // The first line of the output window that starts with `prefix`, or "".
    std::wstring LineStarting(const std::wstring& prefix) {
        for (const std::wstring& line : testing_support::LinesOf(Output()))
            if (line.compare(0, prefix.size(), prefix) == 0) return line;
        return std::wstring();
    }
    int CountLines(const std::wstring& text) {
        const std::vector<std::wstring> lines = testing_support::LinesOf(Output());
        return int(std::count(lines.begin(), lines.end(), text));
    }
    std::map<std::wstring, PluginState> States() {
        std::map<std::wstring, PluginState> states;
        for (const automation::PluginInfo& info : frame_->Plugins().Plugins()) states[info.file] = info.state;
        return states;
    }
    // The sample's first command, from its line "loaded, commands a to b.".
    UINT SampleFirst() {
        unsigned first = 0, last = 0;
        if (swscanf(LineStarting(L"Sample plug-in: loaded, commands ").c_str(),
                    L"Sample plug-in: loaded, commands %u to %u.", &first, &last) != 2)
            return 0;
        EXPECT_EQ(last, first + 3);
        return first;
    }
};

}  // namespace

TEST_F(PluginTest, TheSampleCallsEverySlot) {
    Install({L"Sample.dll"});
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(States(), (std::map<std::wstring, PluginState>{{L"Sample.dll", PluginState::kRunning}}));
    // Its four commands replace the placeholder, with identifiers in turn
    // from 40000 up (the counter is the process's), its command states in
    // the frame's table.
    const UINT hello = SampleFirst(), toggle = hello + 1, info = hello + 2;
    ASSERT_GE(hello, 40000u);
    EXPECT_EQ(testing_support::ItemIds(PluginMenu()), (std::vector<UINT>{hello, toggle, info, hello + 3}));
    EXPECT_EQ(testing_support::MenuText(PluginMenu(), hello), L"Sample: &Hello...");
    for (UINT id = hello; id <= info; ++id) EXPECT_NE(StateOf(id), nullptr) << id;
    // AddPane (0): it floats, titled with the window's text, at least 120 square.
    shell::CDockingWindow& docking = frame_->Docking();
    const HWND pane = SamplePane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(docking.IsFloating(pane) && docking.IsVisible(pane));
    EXPECT_EQ(docking.Title(pane), L"Sample pane");
    RECT host = {};
    GetWindowRect(docking.HostOf(pane), &host);
    EXPECT_GE(std::min(host.right - host.left, host.bottom - host.top), 120);

    // MessageBox (7): through the sink, caption "Morrowpad", owner the
    // frame; the answer comes back. The hook (8) handled the command.
    Answers() = {IDYES, IDNO};
    Command(hello);
    ASSERT_EQ(Messages().size(), 1u);
    const testing_support::ShownMessage& box = Messages()[0];
    EXPECT_EQ(box.caption + L"|" + box.text, L"Morrowpad|Write a greeting into the output window?");
    EXPECT_EQ(box.owner, frame_->Window());
    EXPECT_EQ(box.type, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(CountLines(L"Sample plug-in: hello."), 1);
    Command(hello);
    EXPECT_EQ(CountLines(L"Sample plug-in: hello."), 1);  // answered No

    // RemovePane (1) hides the floating pane, ShowPane (2) floats it again;
    // the idle listeners (10, 11) set the states through IUpdateUI.
    Command(toggle);
    EXPECT_TRUE(docking.IsPane(pane));
    EXPECT_FALSE(docking.IsVisible(pane));
    frame_->OnIdle();
    ASSERT_NE(StateOf(toggle), nullptr);
    EXPECT_EQ(StateOf(toggle)->text + std::to_wstring(StateOf(toggle)->check), L"Sample: Show the &Pane0");
    Command(toggle);
    EXPECT_TRUE(docking.IsVisible(pane) && docking.IsFloating(pane));
    EXPECT_NE(LineStarting(L"Sample plug-in: pane hidden."), L"");
    EXPECT_NE(LineStarting(L"Sample plug-in: pane shown."), L"");
    frame_->OnIdle();
    EXPECT_EQ(StateOf(toggle)->text + std::to_wstring(StateOf(toggle)->check), L"Sample: Hide the &Pane1");
    EXPECT_TRUE(StateOf(hello)->isDefault);
    EXPECT_TRUE(StateOf(info)->enabled);

    // GetActiveView (5) with the view's three slots, GetMainWindow (3),
    // GetToolBar (6), GetLanguage (16), the idle count and the hooked WM_SIZE.
    IView* view = documents::ViewOf(frame_->ActiveDocument());
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
    const std::wstring line = LineStarting(L"Sample plug-in: document ");
    ASSERT_EQ(line.substr(0, wcslen(expected)), expected);
    unsigned idle = 0, sizes = 0;
    ASSERT_EQ(swscanf(line.c_str() + wcslen(expected), L"%u idle passes, %u sizes.", &idle, &sizes), 2);
    EXPECT_GE(idle, 2u);
    EXPECT_GE(sizes, 1u);

    // TrackMenu (15): the pane's context menu; a choice is sent to the
    // frame and comes back to the hook; a dismissed menu gives 0.
    Answers() = {IDYES};
    for (std::vector<WPARAM> keys : {std::vector<WPARAM>{L'h'}, std::vector<WPARAM>{}}) {
        testing_support::LastPopup().keys = keys;
        testing_support::Until<testing_support::AnswerPopup>(150);
        SendMessageW(pane, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(pane), MAKELPARAM(200, 200));
    }
    EXPECT_EQ(CountLines(L"Sample plug-in: hello."), 2);
    EXPECT_EQ(CountLines(L"Sample plug-in: menu choice " + std::to_wstring(hello) + L"."), 1);
    EXPECT_EQ(CountLines(L"Sample plug-in: menu choice 0."), 1);

    // The pre-translate hook takes Shift+F12 before the frame's keys.
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {view->GetActivePane(), WM_KEYDOWN, VK_F12, 0, 0, {0, 0}};
    const size_t boxes = Messages().size();
    EXPECT_TRUE(frame_->PreTranslateMessage(&msg));
    EXPECT_EQ(Messages().size(), boxes + 1);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);

    // At shut-down the sample removes its hook (9), its pane and its
    // command states (13); nothing of it is called afterwards.
    frame_->Plugins().Unload();
    EXPECT_NE(
        LineStarting(L"Sample plug-in: unloaded, listener removed 1, pane removed in 2 steps, 3 commands."),
        L"");
    EXPECT_FALSE(IsWindow(pane));
    EXPECT_EQ(StateOf(hello), nullptr);
    EXPECT_EQ(States()[L"Sample.dll"], PluginState::kStopped);
    Messages().clear();
    Command(hello);
    frame_->OnIdle();
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PluginTest, LibrariesThatFailAreSkippedWithALineAndTheOthersLoad) {
    Install({L"Sample.dll", L"test_counter.dll", L"test_throws.dll", L"test_no_entry.dll"});
    File(L"plugin\\broken.dll", "MZ but no library");
    ASSERT_NE(Create(), nullptr);
    EXPECT_EQ(States(),
              (std::map<std::wstring, PluginState>{{L"Sample.dll", PluginState::kRunning},
                                                   {L"broken.dll", PluginState::kNotLoaded},
                                                   {L"test_counter.dll", PluginState::kRunning},
                                                   {L"test_no_entry.dll", PluginState::kNoEntryPoint},
                                                   {L"test_throws.dll", PluginState::kFailed}}));
    // In load order: the identifiers follow it across plug-ins, and the
    // broken one's error is in its line.
    unsigned counter[2] = {}, thrower[2] = {};
    void* throwsPane = nullptr;
    ASSERT_EQ(swscanf(LineStarting(L"Counter: ").c_str(), L"Counter: %u %u", &counter[0], &counter[1]), 2);
    ASSERT_EQ(swscanf(LineStarting(L"Throws: ").c_str(), L"Throws: %u %u %p", &thrower[0], &thrower[1],
                      &throwsPane),
              3);
    const UINT sample = SampleFirst();
    std::vector<UINT> ranges;  // first and last, in load order
    std::wstring broken;
    for (const automation::PluginInfo& p : frame_->Plugins().Plugins()) {
        if (p.file == L"Sample.dll") ranges.insert(ranges.end(), {sample, sample + 3});
        if (p.file == L"test_counter.dll") ranges.insert(ranges.end(), {counter[0], counter[1]});
        if (p.file == L"test_throws.dll") ranges.insert(ranges.end(), {thrower[0], thrower[1]});
        if (p.file == L"broken.dll") broken = std::to_wstring(p.error);
    }
    ASSERT_EQ(ranges.size(), 6u);
    for (size_t i = 2; i < ranges.size(); i += 2) EXPECT_EQ(ranges[i], ranges[i - 1] + 1) << i;
    EXPECT_NE(broken, L"0");
    for (const std::wstring& line :
         {L"The plug-in broken.dll cannot be loaded (error " + broken + L") and was skipped.",
          std::wstring(L"test_no_entry.dll exports no Plugin_Initialize and was skipped."),
          std::wstring(L"The plug-in test_throws.dll failed while starting and was skipped.")})
        EXPECT_EQ(CountLines(line), 1) << testing::PrintToString(line);

    // What the failed one registered was taken back: no pane, no command
    // state, no menu item, and its hook is never called.
    EXPECT_FALSE(frame_->Docking().IsPane(static_cast<HWND>(throwsPane)));
    EXPECT_EQ(StateOf(thrower[0]), nullptr);
    EXPECT_EQ(GetMenuItemCount(PluginMenu()), 5);  // the sample's four and the counter's one
    Command(thrower[0]);
    EXPECT_EQ(CountLines(L"Counter: first command."), 0);

    // A hook that throws stops its plug-in, with a line, once; the others go on.
    Command(counter[0]);
    EXPECT_EQ(CountLines(L"Counter: first command."), 1);
    for (int twice = 0; twice < 2; ++twice) {
        Command(counter[1]);
        EXPECT_EQ(CountLines(L"The plug-in test_counter.dll failed and was stopped."), 1);
        EXPECT_EQ(States()[L"test_counter.dll"], PluginState::kStopped);
        Command(counter[0]);
        EXPECT_EQ(CountLines(L"Counter: first command."), 1);
    }
    Answers() = {IDYES};
    Command(sample);
    EXPECT_EQ(CountLines(L"Sample plug-in: hello."), 1);
}

TEST_F(PluginTest, WithoutPlugInsThePopupLosesOnlyItsPlaceholder) {
    ASSERT_NE(Create(), nullptr);  // no plug-in folder
    EXPECT_TRUE(frame_->Plugins().Plugins().empty());
    ASSERT_NE(PluginMenu(), nullptr);
    EXPECT_EQ(GetMenuItemCount(PluginMenu()), 0);
    EXPECT_EQ(Output(), nullptr);  // nothing to tell
    frame_->Plugins().Unload();    // nothing to do
}

namespace {

// The slots of these virtual member functions: under the Itanium C++ ABI,
// which GCC uses on Windows too, a pointer to a virtual member holds one
// more than the slot's byte offset in the table.
template <class... M>
std::vector<long> SlotsOf(M... members) {
    auto slot = [](auto member) {
        static_assert(sizeof(member) == 2 * sizeof(ptrdiff_t));
        ptrdiff_t words[2] = {};
        memcpy(words, &member, sizeof words);
        return long((words[0] - 1) / ptrdiff_t(sizeof(void*)));
    };
    return {slot(members)...};
}

// 0, 1, ... n - 1: the slots in the order of declaration.
std::vector<long> InOrder(long n) {
    std::vector<long> slots(static_cast<size_t>(n));
    std::iota(slots.begin(), slots.end(), 0L);
    return slots;
}

#define MP_TEXT(x) #x
#define MP_EXPANDED(x) MP_TEXT(x)

}  // namespace

// Plug-ins built against an older header call by slot number: no slot may
// move, and the interfaces keep their calling convention.
TEST(PluginHeader, EverySlotKeepsItsNumber) {
    using E = IDevEnv;
    EXPECT_EQ(
        SlotsOf(&E::AddPane, &E::RemovePane, &E::ShowPane, &E::GetMainWindow, &E::AllocateCommandId,
                &E::GetActiveView, &E::GetToolBar, &E::MessageBox, &E::AddMessageListener,
                &E::RemoveMessageListener, &E::AddIdleListener, &E::AddIdleListener2, &E::AddUpdateCommand,
                &E::RemoveUpdateCommand, &E::AppendOutput, &E::TrackMenu, &E::GetLanguage),
        InOrder(17));
    EXPECT_EQ(SlotsOf(&IUpdateUI::EnableCommand, &IUpdateUI::CheckCommand, &IUpdateUI::SetCommandDefault,
                      &IUpdateUI::SetCommandText),
              InOrder(4));
    EXPECT_EQ(SlotsOf(&IView::GetCaption, &IView::GetActivePane, &IView::IsModified), InOrder(3));
    EXPECT_EQ(SlotsOf(&MessageListener::OnMessage, &MessageListener::PreTranslateMessage), InOrder(2));
    EXPECT_EQ(SlotsOf(&IdleListener::OnIdle), InOrder(1));
    // No virtual destructor either: it would take slots of its own.
    EXPECT_FALSE(std::has_virtual_destructor_v<IDevEnv>);
    EXPECT_FALSE(std::has_virtual_destructor_v<MessageListener>);
    EXPECT_STREQ(MP_EXPANDED(MORROWPAD_CALL), MP_EXPANDED(__stdcall));
}
