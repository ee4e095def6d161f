#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "KeyBindings.h"
#include "Settings.h"

using namespace keys;

namespace {

std::wstring TempIni(const char* text) {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"KEY", 0, name);
    HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string bytes = "\xFF\xFE";
    for (const char* p = text; *p; ++p) bytes += std::string{*p, '\0'};
    DWORD n = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return name;
}

MSG KeyDown(int vk, UINT message = WM_KEYDOWN) {
    MSG m = {};
    m.message = message;
    m.wParam = WPARAM(vk);
    return m;
}

}  // namespace

TEST(KeyNames, PrefixesThenTheKey) {
    EXPECT_EQ(KeyName(0x0674), L"Ctrl+Shift+F5");
    EXPECT_EQ(KeyName(0x0970), L"Win+Alt+F1");
    EXPECT_EQ(KeyName(0x0F41), L"Win+Ctrl+Alt+Shift+A");
    EXPECT_EQ(KeyName(0x0200), L"Ctrl+");
    EXPECT_EQ(KeyName(0x0000), L"");
    EXPECT_EQ(KeyName(0x0021), L"PgUp");
    EXPECT_EQ(KeyName(0x0035), L"5");
    EXPECT_EQ(KeyName(0x0065), L"Num5");
    EXPECT_EQ(KeyName(0x0087), L"F24");
    EXPECT_EQ(KeyName(0x00BA), L";");
    EXPECT_EQ(KeyName(0x00DC), L"\\");
    EXPECT_EQ(KeyName(0x00B3), L"Play/Pause Media");
    EXPECT_EQ(KeyName(0x00E2), L"<");
    EXPECT_EQ(KeyName(0x00F0), L"OEM");
    EXPECT_EQ(KeyName(0x00FE), L"Clear");
    EXPECT_EQ(KeyName(0x0016), L"Unknown");
    EXPECT_EQ(KeyName(0x00FF), L"Unknown");
}

TEST(KeyTables, LoadingStopsWhereTheFileSays) {
    CKeyTables t;
    const std::wstring none = TempIni("[Global]\r\nCommand1=65536\r\n");
    t.Load(none);  // Command0 missing: no command bindings at all
    EXPECT_TRUE(t.commands.empty());
    const std::wstring ini = TempIni(
        "[Global]\r\nCommand0=-520093106\r\nCommand1=81264754\r\nCommand2=0\r\nCommand3=65537\r\n"
        "[Macro]\r\nCommand0=628,C:\\m\\one.mac\r\nCommand1=629\r\nCommand2=0,C:\\m\\zero.mac\r\n"
        "Command3=630,C:\\m\\two.mac\tjunk\r\nCommand4=\r\nCommand5=631,C:\\m\\late.mac\r\n");
    t.Load(ini);
    ASSERT_EQ(t.commands.size(), 2u);
    EXPECT_EQ(t.CommandFor(0x024E), 57600);  // Ctrl+N
    EXPECT_EQ(t.CommandFor(0x0072), 1240);   // F3
    // A macro line without a path, or with key 0, is left out.
    ASSERT_EQ(t.macros.size(), 2u);
    EXPECT_EQ(t.macros[0].path, L"C:\\m\\one.mac");
    EXPECT_EQ(t.macros[1].key, 630);
    EXPECT_EQ(t.macros[1].path, L"C:\\m\\two.mac");
    DeleteFileW(none.c_str());
    DeleteFileW(ini.c_str());
}

// A hand-edited key.ini: numbers read as the profile functions read them,
// and an entry that holds no number is skipped rather than ending the list.
TEST(KeyTables, AMalformedEntryIsSkipped) {
    const std::wstring ini = TempIni(
        "[Global]\r\nCommand0=81264754 ; F3\r\nCommand1=junk\r\nCommand2=99999999999\r\n"
        "Command3= -520093106\r\nCommand4=3774874190\r\nCommand5=0\r\nCommand6=65537\r\n"
        "[Macro]\r\nCommand0=x,C:\\m\\bad.mac\r\nCommand1=628,C:\\m\\one.mac\r\n"
        "Command2=629 ,C:\\m\\gap.mac\r\nCommand3= 630,C:\\m\\two.mac\r\nCommand4=\r\nCommand5=631,C:\\x.mac\r\n");
    CKeyTables t;
    t.Load(ini);
    // Command0 with a note, Command3 and Command4 (one entry written signed and
    // unsigned); junk and a number beyond 32 bits are skipped; 0 ends the list.
    ASSERT_EQ(t.commands.size(), 3u);
    EXPECT_EQ(t.commands[0], 81264754u);
    EXPECT_EQ(t.commands[1], uint32_t(-520093106));
    EXPECT_EQ(t.commands[2], 3774874190u);
    EXPECT_EQ(t.CommandFor(0x0072), 1240);
    // "%d,%[^\t\n]": blanks may lead the number but a comma must follow it.
    ASSERT_EQ(t.macros.size(), 2u);
    EXPECT_EQ(t.macros[0].key, 628);
    EXPECT_EQ(t.macros[0].path, L"C:\\m\\one.mac");
    EXPECT_EQ(t.macros[1].key, 630);
    EXPECT_EQ(t.macros[1].path, L"C:\\m\\two.mac");
    DeleteFileW(ini.c_str());
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
    DeleteFileW(ini.c_str());
}

TEST(KeyTables, TranslationPrefersCommandsAndTheFirstEntry) {
    CKeyTables t;
    t.commands = {(100u << 16) | 0x0274, (200u << 16) | 0x0274, (300u << 16) | 0x0041};
    t.macros = {{0x0274, L"macro.mac"}, {0x0042, L"b.mac"}};
    int cmd = 0;
    const std::wstring* macro = nullptr;
    EXPECT_EQ(t.Find(KeyDown(VK_F5), kCtrl, &cmd, &macro), CKeyTables::Match::kCommand);
    EXPECT_EQ(cmd, 100);  // the earlier of two entries with one key
    EXPECT_EQ(t.Find(KeyDown('A'), 0, &cmd, &macro), CKeyTables::Match::kCommand);  // no modifiers
    EXPECT_EQ(cmd, 300);
    EXPECT_EQ(t.Find(KeyDown('A'), kShift, &cmd, &macro), CKeyTables::Match::kNone);
    EXPECT_EQ(t.Find(KeyDown('B', WM_SYSKEYDOWN), 0, &cmd, &macro), CKeyTables::Match::kMacro);
    EXPECT_EQ(*macro, L"b.mac");
    EXPECT_EQ(t.Find(KeyDown('B', WM_KEYUP), 0, &cmd, &macro), CKeyTables::Match::kNone);
    // Modifier keys alone never trigger a binding.
    t.commands.push_back((400u << 16) | 0x0211);
    EXPECT_EQ(t.Find(KeyDown(VK_CONTROL), kCtrl, &cmd, &macro), CKeyTables::Match::kNone);
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
