#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "KeyBindings.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace keys;

namespace {

// A key.ini of this text (UTF-16LE behind its mark) in a folder of its own.
std::wstring TempIni(const char* text) {
    const std::wstring path = testing_support::MakeTempFolder(L"KEY") + L"key.ini";
    EXPECT_TRUE(testing_support::WriteFileText(path, testing_support::Utf16Text(text)));
    return path;
}

MSG KeyDown(int vk, UINT message = WM_KEYDOWN) {
    MSG m = {};
    m.message = message;
    m.wParam = WPARAM(vk);
    return m;
}

}  // namespace

TEST(KeyNames, PrefixesThenTheKey) {
    const std::pair<uint16_t, const wchar_t*> names[] = {{0x0674, L"Ctrl+Shift+F5"},
                                                         {0x0970, L"Win+Alt+F1"},
                                                         {0x0F41, L"Win+Ctrl+Alt+Shift+A"},
                                                         {0x0200, L"Ctrl+"},
                                                         {0x0000, L""},
                                                         {0x0021, L"PgUp"},
                                                         {0x0035, L"5"},
                                                         {0x0065, L"Num5"},
                                                         {0x0087, L"F24"},
                                                         {0x00BA, L";"},
                                                         {0x00DC, L"\\"},
                                                         {0x00B3, L"Play/Pause Media"},
                                                         {0x00E2, L"<"},
                                                         {0x00F0, L"OEM"},
                                                         {0x00FE, L"Clear"},
                                                         {0x0016, L"Unknown"},
                                                         {0x00FF, L"Unknown"}};
    for (const auto& [code, name] : names) EXPECT_EQ(KeyName(code), name) << std::hex << code;
}

// A hand-edited key.ini: numbers read as the profile functions read them,
// an entry that holds no number is skipped rather than ending the list, and
// an empty entry or a 0 ends it.
TEST(KeyTables, LoadingTakesWhatTheFileSays) {
    CKeyTables t;
    t.Load(TempIni("[Global]\r\nCommand1=65536\r\n"));  // Command0 missing: no command bindings at all
    EXPECT_TRUE(t.commands.empty());
    t.Load(TempIni(
        "[Global]\r\nCommand0=81264754 ; F3\r\nCommand1=junk\r\nCommand2=99999999999\r\n"
        "Command3= -520093106\r\nCommand4=3774874190\r\nCommand5=0\r\nCommand6=65537\r\n"
        "[Macro]\r\nCommand0=x,C:\\m\\bad.mac\r\nCommand1=628,C:\\m\\one.mac\r\nCommand2=629\r\n"
        "Command3=629 ,C:\\m\\gap.mac\r\nCommand4=0,C:\\m\\zero.mac\r\nCommand5= 630,C:\\m\\two.mac\tjunk\r\n"
        "Command6=\r\nCommand7=631,C:\\x.mac\r\n"));
    // Command0 with a note, Command3 and Command4 (one entry written signed and
    // unsigned); junk and a number beyond 32 bits are skipped; 0 ends the list.
    EXPECT_EQ(t.commands, (std::vector<uint32_t>{81264754u, uint32_t(-520093106), 3774874190u}));
    EXPECT_EQ(t.CommandFor(0x0072), 1240);   // F3
    EXPECT_EQ(t.CommandFor(0x024E), 57600);  // Ctrl+N
    // "%d,%[^\t\n]": blanks may lead the number but a comma must follow it;
    // a line without a path, or with key 0, is left out.
    ASSERT_EQ(t.macros.size(), 2u);
    EXPECT_EQ(t.macros[0].key, 628);
    EXPECT_EQ(t.macros[0].path, L"C:\\m\\one.mac");
    EXPECT_EQ(t.macros[1].key, 630);
    EXPECT_EQ(t.macros[1].path, L"C:\\m\\two.mac");
}

TEST(KeyTables, SavingWritesEachSectionAfresh) {
    const std::wstring ini = TempIni("[Global]\r\nCommand0=1\r\nCommand1=2\r\nCommand2=3\r\n");
    CKeyTables t;
    t.commands = {(57603u << 16) | 0x0253, (1426u << 16) | 0x0247};
    t.macros = {{0x0674, L"C:\\\x65E5\\m.mac"}};
    t.SaveCommands(ini);
    t.SaveMacros(ini);
    CKeyTables back;
    back.Load(ini);
    EXPECT_EQ(back.commands, t.commands);  // the old third entry is gone
    ASSERT_EQ(back.macros.size(), 1u);
    EXPECT_EQ(back.macros[0].path, L"C:\\\x65E5\\m.mac");
}

TEST(KeyTables, TranslationPrefersCommandsAndTheFirstEntry) {
    CKeyTables t;
    t.commands = {(100u << 16) | 0x0274, (200u << 16) | 0x0274, (300u << 16) | 0x0041, (400u << 16) | 0x0211};
    t.macros = {{0x0274, L"macro.mac"}, {0x0042, L"b.mac"}};
    using M = CKeyTables::Match;
    const struct {
        MSG msg;
        uint16_t modifiers;
        M match;
        int command;
        const wchar_t* macro;
    } cases[] = {
        {KeyDown(VK_F5), kCtrl, M::kCommand, 100, nullptr},  // the earlier of two entries with one key
        {KeyDown('A'), 0, M::kCommand, 300, nullptr},        // no modifiers
        {KeyDown('A'), kShift, M::kNone, 0, nullptr},
        {KeyDown('B', WM_SYSKEYDOWN), 0, M::kMacro, 0, L"b.mac"},
        {KeyDown('B', WM_KEYUP), 0, M::kNone, 0, nullptr},
        {KeyDown(VK_CONTROL), kCtrl, M::kNone, 0, nullptr},  // modifier keys alone never trigger a binding
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.msg.wParam << " message " << c.msg.message);
        int cmd = 0;
        const std::wstring* macro = nullptr;
        EXPECT_EQ(int(t.Find(c.msg, c.modifiers, &cmd, &macro)), int(c.match));
        EXPECT_EQ(cmd, c.command);
        EXPECT_EQ(macro ? *macro : L"", c.macro ? c.macro : L"");
    }
}

namespace {
std::vector<std::pair<UINT, WPARAM>> g_received;
std::wstring g_macro;
LRESULT CALLBACK Frame(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND || m == WM_USER + 1203) {
        g_received.push_back({m, w});
        if (m == WM_USER + 1203) g_macro = reinterpret_cast<const wchar_t*>(w);
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}
}  // namespace

TEST(KeyTables, TheFrameReceivesCommandsAndMacros) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Frame;
    wc.lpszClassName = L"KeyTestFrame";
    RegisterClassW(&wc);
    HWND frame = CreateWindowW(L"KeyTestFrame", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    CKeyTables t;
    t.commands = {(57603u << 16) | 0x0253};
    t.macros = {{0x0072, L"run.mac"}};
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    EXPECT_TRUE(t.Translate(frame, KeyDown('S')));
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
    EXPECT_FALSE(t.Translate(frame, KeyDown('S')));
    EXPECT_TRUE(t.Translate(frame, KeyDown(VK_F3)));
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].first, UINT(WM_COMMAND));
    EXPECT_EQ(g_received[0].second, MAKEWPARAM(57603, 1));
    EXPECT_EQ(g_macro, L"run.mac");
    DestroyWindow(frame);
}
