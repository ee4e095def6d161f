// Start-up steps in this process, each against a throw-away program folder:
// the language library and its two messages, a missing Edit.dll, and the
// warm-up thread that loads only the program's own libraries.
#include <gtest/gtest.h>

#include "DialogIds.h"
#include "Program.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"
#include "Timers.h"

using testing_support::CopyFromTests;
using testing_support::Messages;

namespace {

// A frame of this process (a program started by hand in the same prefix
// does not count).
HWND OwnFrame() {
    HWND w = nullptr;
    while ((w = FindWindowExW(nullptr, w, MORROWPAD_FRAME_CLASS, nullptr))) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) return w;
    }
    return nullptr;
}

std::wstring ModulePath(HMODULE m) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(m, path, MAX_PATH);
    return path;
}

// The frame's title when the timer fired, and the frame closed as a user would.
std::wstring g_title;
void NoteAndClose() {
    const HWND frame = OwnFrame();
    wchar_t buf[256] = {};
    GetWindowTextW(frame, buf, 256);
    g_title = buf;
    PostMessageW(frame, WM_CLOSE, 0, 0);
}

class Startup : public ::testing::Test {
   protected:
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-startup-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        // Every start in this process runs as one of many instances.
        settings::WriteBool(settings::File::Setting, L"Setting", L"MulInst", true);
        Messages().clear();
        g_title.clear();
    }
    void TearDown() override {
        settings::SetProgramFolder(L"");
        shell::SetResourceModule(nullptr);
    }
    void Copy(std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) ASSERT_TRUE(CopyFromTests(folder_, name)) << name;
    }
    static std::wstring WinPos() {
        std::wstring value;
        settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", value);
        return value;
    }
    std::wstring folder_;
};

}  // namespace

// The default loads without a message; a missing one is named, then
// English is used.
TEST_F(Startup, AMissingLanguageIsNamedThenEnglishIsUsed) {
    Copy({L"mui\\en.dll"});
    ASSERT_TRUE(shell::LoadLanguage());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ModulePath(shell::ResourceModule()), folder_ + L"mui\\en.dll");
    shell::SetResourceModule(nullptr);
    settings::WriteString(settings::File::Setting, L"Setting", L"Language", L"mui\\fr.dll");
    ASSERT_TRUE(shell::LoadLanguage());
    ASSERT_EQ(Messages().size(), 1u);
    const auto& m = Messages()[0];
    EXPECT_EQ(m.text, L"Morrowpad has failed in load language file:" + folder_ + L"mui\\fr.dll");
    EXPECT_EQ(m.caption, L"Morrowpad");
    EXPECT_EQ(m.type, UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(m.owner, nullptr);
    EXPECT_EQ(ModulePath(shell::ResourceModule()), folder_ + L"mui\\en.dll");
}

TEST_F(Startup, WithoutEvenTheDefaultLanguageTheProgramEndsWithMinusOne) {
    settings::WriteString(settings::File::Setting, L"Setting", L"Language", L"mui\\fr.dll");
    Copy({L"Edit.dll"});
    EXPECT_EQ(shell::RunProgram(SW_HIDE, L"prog"), -1);
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0].text, L"Morrowpad has failed in load language file:" + folder_ + L"mui\\fr.dll");
    EXPECT_EQ(Messages()[1].text, L"Morrowpad can't load default language en.dll!");
    EXPECT_EQ(Messages()[1].type, UINT(MB_ICONEXCLAMATION));
    EXPECT_FALSE(OwnFrame());  // no frame was made
}

// Edit.dll is loaded in this process from the tests folder already: the
// program must still look for its own, in its folder, and not find it.
TEST_F(Startup, WithoutEditDllTheProgramEndsWithZeroAndSaysNothing) {
    Copy({L"mui\\en.dll"});
    ASSERT_NE(LoadLibraryW((testing_support::TestFolder() + L"Edit.dll").c_str()), nullptr);
    EXPECT_EQ(shell::LoadEditLibrary(), nullptr);
    EXPECT_EQ(shell::RunProgram(SW_HIDE, L"prog"), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(OwnFrame());
}

// Inside the loop the frame's title is noted, then the frame is closed.
TEST_F(Startup, AFullRunOpensTheFileAndEndsWhenTheFrameCloses) {
    Copy({L"mui\\en.dll", L"Edit.dll"});
    ASSERT_TRUE(testing_support::WriteFileText(folder_ + L"a.txt", "alpha\r\n"));
    testing_support::After<&NoteAndClose>(20);
    EXPECT_EQ(shell::RunProgram(SW_HIDE, L"prog \"" + folder_ + L"a.txt\""), 0);
    EXPECT_EQ(g_title, L"a.txt - Morrowpad");
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(OwnFrame());
    EXPECT_NE(WinPos(), L"");
}

// A setting.ini of random bytes holds no settings: it is kept aside as
// setting.ini.bad, the run goes on with the defaults, and the user hears
// that once (not that the folder cannot be written: it can). A new
// setting.ini holds what the run wrote on closing.
TEST_F(Startup, ASettingsFileOfRandomBytesIsKeptAsideOnceAndTheDefaultsAreUsed) {
    Copy({L"mui\\en.dll", L"Edit.dll"});
    std::string noise(700, '\0');
    uint32_t seed = 12345;
    for (char& c : noise) c = char((seed = seed * 1103515245u + 12345u) >> 23);
    noise[0] = '\x9C';  // no byte-order mark
    const std::wstring ini = folder_ + L"setting.ini";
    ASSERT_TRUE(testing_support::WriteFileText(ini, noise));
    testing_support::After<&NoteAndClose>(20);
    EXPECT_EQ(shell::RunProgram(SW_HIDE, L"prog"), 0);
    const std::wstring expected =
        shell::FormatLanguageString(IDS_SETTINGS_SET_ASIDE, {ini, folder_ + L"setting.ini.bad"});
    EXPECT_FALSE(expected.empty());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, expected);
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));
    EXPECT_TRUE(testing_support::ReadFileText(folder_ + L"setting.ini.bad") == noise);
    EXPECT_NE(WinPos(), L"");
    EXPECT_EQ(testing_support::ReadFileText(ini).substr(0, 2), "\xFF\xFE");
}

TEST_F(Startup, TheWarmUpLoadsOnlyTheProgramsOwnLibraries) {
    Copy({L"mui\\en.dll", L"chardet.dll"});
    // A library planted beside the executable.
    ASSERT_TRUE(CopyFileW((folder_ + L"chardet.dll").c_str(), (folder_ + L"planted.dll").c_str(), FALSE));
    shell::CPlugDepPreloaderThread warm(folder_);
    EXPECT_EQ(warm.Libraries(),
              (std::vector<std::wstring>{folder_ + L"chardet.dll", folder_ + L"mui\\en.dll"}));
    warm.Run();
    EXPECT_NE(GetModuleHandleW((folder_ + L"chardet.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW((folder_ + L"planted.dll").c_str()), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"planted.dll"), nullptr);
}

namespace {

struct Probe : shell::CThreadImpl<Probe> {
    explicit Probe(HANDLE done) : done_(done) {}
    ~Probe() override { SetEvent(done_); }
    void Run() { throw std::runtime_error("an exception stays inside the thread"); }
    HANDLE done_;
};

}  // namespace

TEST(WarmUpThread, EndsByItselfAndDeletesItsObject) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(shell::CThreadImpl<Probe>::Launch(std::make_unique<Probe>(done)));
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    CloseHandle(done);
}
