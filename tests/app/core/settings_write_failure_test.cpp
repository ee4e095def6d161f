// Settings that cannot be written (a read-only program folder or file) are
// not lost in silence: the first failed write tells the user once, through
// the message sink, that settings cannot be saved; later failures stay quiet.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DialogIds.h"
#include "KeyBindings.h"
#include "Resources.h"
#include "Settings.h"
#include "TestSupport.h"

using namespace settings;
using testing_support::MakeTempFolder;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::WriteFileText;

namespace {

const std::string kSettings = testing_support::Utf16Text("[S]\r\nK=1\r\n");

class SettingsWriteFailureTest : public ::testing::Test {
   protected:
    void SetUp() override {
        folder_ = MakeTempFolder(L"SWF");
        ASSERT_FALSE(folder_.empty());
        SetProgramFolder(folder_);
        ResetWriteFailureReport();
        Messages().clear();
    }
    void TearDown() override {
        Unlock();
        SetProgramFolder(L"");
        ResetWriteFailureReport();
    }
    // A settings file that exists and cannot be written, as in a program
    // folder the user may only read: the read-only attribute, and (because
    // Wine lets root write a read-only file, and the tests run as root) a
    // handle held open that lets others read but not write.
    void MakeReadOnly(File f) {
        ASSERT_TRUE(WriteFileText(PathOf(f), kSettings));
        ASSERT_TRUE(SetFileAttributesW(PathOf(f).c_str(), FILE_ATTRIBUTE_READONLY));
        const HANDLE h =
            CreateFileW(PathOf(f).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        locks_.push_back(h);
    }
    // Lets the files be written again (but for their attribute).
    void Unlock() {
        for (HANDLE h : locks_) CloseHandle(h);
        locks_.clear();
    }
    std::wstring folder_;
    std::vector<HANDLE> locks_;
};

}  // namespace

TEST_F(SettingsWriteFailureTest, WritesThatSucceedTellNothing) {
    WriteString(File::Setting, L"Setting", L"Language", L"mui\\en.dll");
    WriteInt(File::History, L"RecentDoc", L"Count", 4);
    WriteBool(File::Setting, L"Edit", L"Ruler", true);
    DeleteSection(File::History, L"Find");
    keys::CKeyTables tables;
    tables.commands = {0x004E0000u | 0x24E};
    tables.SaveCommands(PathOf(File::Key));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(ReadInt(File::History, L"RecentDoc", L"Count", 0), 4);
}

// Every kind of write to a file that cannot be written: the first tells the
// user, naming the folder; the rest are quiet; the file stays as it was.
TEST_F(SettingsWriteFailureTest, AReadOnlyFileIsReportedOnce) {
    MakeReadOnly(File::Setting);
    MakeReadOnly(File::History);
    MakeReadOnly(File::Key);
    WriteString(File::Setting, L"S", L"K", L"2");
    ASSERT_EQ(Messages().size(), 1u);
    const std::wstring shown = folder_.substr(0, folder_.size() - 1);  // without the trailing backslash
    EXPECT_NE(Messages()[0].text.find(shown + L"."), std::wstring::npos) << "the message names the folder";
    EXPECT_EQ(Messages()[0].caption, L"Morrowpad");
    EXPECT_EQ(Messages()[0].type & MB_TYPEMASK, UINT(MB_OK));
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));

    WriteInt(File::History, L"RecentDoc", L"Count", 3);
    WriteBool(File::Setting, L"S", L"B", true);
    DeleteSection(File::Setting, L"S");
    WriteHistory(File::History, L"Find", {L"x"});
    keys::CKeyTables tables;
    tables.commands = {0x004E0000u | 0x24E};
    tables.SaveCommands(PathOf(File::Key));
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(ReadFileText(PathOf(File::Setting)), kSettings);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"K", 0), 1);
    // A reset (a new process) reports again; once the file can be written
    // again, writes succeed and stay quiet.
    ResetWriteFailureReport();
    WriteString(File::Setting, L"S", L"K", L"4");
    EXPECT_EQ(Messages().size(), 2u);
    Unlock();
    SetFileAttributesW(PathOf(File::Setting).c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteString(File::Setting, L"S", L"K", L"5");
    EXPECT_EQ(Messages().size(), 2u);
    EXPECT_EQ(ReadInt(File::Setting, L"S", L"K", 0), 5);
}

// Key bindings are written by their own code: a failure there is reported too.
TEST_F(SettingsWriteFailureTest, KeyBindingsThatCannotBeSavedAreReported) {
    MakeReadOnly(File::Key);
    keys::CKeyTables tables;
    tables.macros = {{0x241, L"a.mac"}};
    tables.SaveMacros(PathOf(File::Key));
    EXPECT_EQ(Messages().size(), 1u);
}

// A folder where the first write cannot create the file (here one that does
// not exist) is reported the same way.
TEST_F(SettingsWriteFailureTest, AFileThatCannotBeCreatedIsReported) {
    const std::wstring gone = folder_ + L"missing\\";
    SetProgramFolder(gone);
    WriteString(File::Tools, L"Tool0", L"Title", L"x");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(gone.substr(0, gone.size() - 1)), std::wstring::npos);
    EXPECT_EQ(GetFileAttributesW(gone.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The text comes from the language library when one is loaded.
TEST_F(SettingsWriteFailureTest, TheTextComesFromTheLanguageLibrary) {
    const HMODULE language = LoadLibraryExW(L"mui\\en.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(language, nullptr);
    const HMODULE before = shell::ResourceModule();
    shell::SetResourceModule(language);
    const std::wstring expected =
        shell::FormatLanguageString(IDS_SETTINGS_NOT_SAVED, {folder_.substr(0, folder_.size() - 1)});
    MakeReadOnly(File::Setting);
    WriteString(File::Setting, L"S", L"K", L"2");
    shell::SetResourceModule(before);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, expected);
}
