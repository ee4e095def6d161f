// Saving with a failure injected at each step in turn, the way SQLite tests
// its I/O: the first step of a save fails, then the second, and so on until a
// save runs through. After every failed save the user's file must be byte
// for byte what it was, no temporary or moved-aside file may be left in its
// folder or in the temporary folder, and the document must show the same text and modified state. The
// control runs in this process so that the test can set the fault hook of
// its file code; everything else goes through messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "EditProtocol.h"
#include "EditWindow.h"
#include "FileIO.h"
#include "FileTestUtil.h"
#include "SaveFiles.h"

// Names the steps in failure messages.
void PrintTo(SaveStep step, std::ostream* os) {
    static const char* const kNames[] = {"Allocate", "Create",  "Write",      "Flush",      "Replace",
                                         "Reopen",   "Open",    "SafetyCopy", "Truncate",   "Restore",
                                         "NoHardLink", "DenyCreate", "Link"};
    *os << kNames[int(step)];
}

namespace {

int g_failAt = 0;  // the step to fail, counted from 1
int g_steps = 0;
int g_denials = 0;  // DenyCreate asked in this save
std::set<SaveStep> g_failedKinds;
SaveStep g_failed = SaveStep::Allocate;  // the kind of the step failed last

bool FailTheNthStep(SaveStep step) {
    if (step == SaveStep::NoHardLink || step == SaveStep::DenyCreate) return false;  // not failures
    if (++g_steps != g_failAt) return false;
    g_failedKinds.insert(step);
    g_failed = step;
    return true;
}

// The same on a file system without hard links: the old file of an in-place
// document is copied to the moved-aside name instead.
bool FailTheNthStepWithoutHardLinks(SaveStep step) {
    return step == SaveStep::NoHardLink || FailTheNthStep(step);
}

// The same in a folder where the user may not create files: no temporary
// can be made beside the target.
bool FailTheNthStepWhereNoFileMayBeCreated(SaveStep step) {
    return step == SaveStep::DenyCreate || FailTheNthStep(step);
}

// The same where the temporary's name can be made but the file cannot be
// opened: the second time DenyCreate is asked in a save.
bool FailTheNthStepWhereTheTemporaryCannotBeOpened(SaveStep step) {
    return step == SaveStep::DenyCreate ? ++g_denials == 2 : FailTheNthStep(step);
}

// Fails the first write of the document into the file, then putting the old
// bytes back.
bool FailTheWriteAndTheRestore(SaveStep step) {
    return step == SaveStep::Write || step == SaveStep::Restore;
}

// Files in the temporary folder whose names start with `prefix`.
std::set<std::wstring> TempFiles(const wchar_t* prefix) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::set<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((std::wstring(dir) + prefix + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.insert(fd.cFileName); while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

// When the file was last written; zero when it cannot be read.
ULONGLONG LastWritten(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return 0;
    return (ULONGLONG(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// How many names the file has; 0 when it cannot be opened.
DWORD LinkCount(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return ok ? info.nNumberOfLinks : 0;
}

// About 700 KB in code page 1252, lines of non-ASCII text, no final break:
// more than one write buffer, and conversions in batches.
std::string SampleFile() {
    std::string s;
    for (int i = 0; i < 20000; ++i) {
        if (i) s += "\r\n";
        s += "line " + std::to_string(i) + " caf\xE9 na\xEFve text";
    }
    return s;
}

std::string Utf8(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

class SaveFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterEditClass(GetModuleHandleW(nullptr)); }
    void SetUp() override {
        edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    void TearDown() override {
        SetSaveFaultHookForTesting(nullptr);
        DestroyWindow(edit_);
    }

    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(edit_, msg, wp, lp); }
    // Types at the start of the second line of the sample file; returns what
    // the file holds once that is saved.
    std::string EditSecondLine() {
        Insert({1, 0}, L"edited ");
        std::string want = SampleFile();
        want.insert(want.find("\r\n") + 2, "edited ");
        return want;
    }
    bool Load(const std::wstring& path, bool inPlace) {
        return Send(inPlace ? MPM_LOADINPLACE : MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()),
                    MAKELPARAM(1252, LB_CRLF)) == 1;
    }
    LRESULT Save(UINT msg, const std::wstring& path, const SaveFormat* format) {
        return Send(msg, reinterpret_cast<WPARAM>(path.c_str()), reinterpret_cast<LPARAM>(format));
    }
    void Insert(Position p, const wchar_t* s) {
        TextArg a = {s, -1};
        Send(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&p), reinterpret_cast<LPARAM>(&a));
    }
    std::wstring Text(int lineBreak = LB_CRLF) {
        RangeTextArg arg = {0, 0, INT_MAX, INT_MAX, nullptr, lineBreak};
        std::wstring s(size_t(Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg))), L'\0');
        arg.buffer = s.data();
        Send(MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg));
        return s;
    }
    bool Modified() { return Send(MPM_ISMODIFIED) != 0; }
    std::wstring FileName() {
        const wchar_t* p = reinterpret_cast<const wchar_t*>(Send(MPM_GETFILENAME));
        return p ? p : L"";
    }

    // Fails the 1st, 2nd, ... step of `save` until one runs through, checking
    // after each failure that nothing changed. Returns the kinds of step that
    // were failed.
    template <typename SaveFn>
    std::set<SaveStep> FailEveryStep(SaveFn save, const std::wstring& path, const TempDir& dir,
                                     SaveFaultHook hook = FailTheNthStep, const std::wstring& otherName = L"") {
        const std::string file = ReadBytes(path);
        const ULONGLONG written = LastWritten(path);
        const std::string other = otherName.empty() ? "" : ReadBytes(otherName);
        const std::vector<std::wstring> files = dir.Files();
        const std::set<std::wstring> temps = TempFiles(L"");
        const std::wstring text = Text();
        const bool modified = Modified();
        const std::wstring name = FileName();
        g_failedKinds.clear();
        for (int n = 1;; ++n) {
            if (n > 400) {
                ADD_FAILURE() << "the save never ran through";
                break;
            }
            g_failAt = n;
            g_steps = 0;
            g_denials = 0;
            SetSaveFaultHookForTesting(hook);
            const LRESULT r = save();
            SetSaveFaultHookForTesting(nullptr);
            if (g_steps < n) {  // nothing failed
                EXPECT_EQ(r, 1) << "with every step succeeding";
                break;
            }
            SCOPED_TRACE(::testing::Message() << "step " << n << " (" << ::testing::PrintToString(g_failed) << ") failed");
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(ReadBytes(path) == file) << "the file changed when step " << n << " failed";
            EXPECT_EQ(LastWritten(path), written) << "step " << n;
            if (!otherName.empty()) {
                EXPECT_TRUE(ReadBytes(otherName) == other) << "the other name changed when step " << n << " failed";
            }
            EXPECT_EQ(dir.Files(), files) << "step " << n;
            EXPECT_EQ(TempFiles(L""), temps) << "the temporary folder changed when step " << n << " failed";
            EXPECT_TRUE(Text() == text) << "the text changed when step " << n << " failed";
            EXPECT_EQ(Modified(), modified) << "step " << n;
            EXPECT_EQ(FileName(), name) << "step " << n;
            if (HasFailure()) break;
        }
        return g_failedKinds;
    }

    HWND edit_ = nullptr;
};

const std::set<SaveStep> kEveryStepButReopen = {SaveStep::Allocate, SaveStep::Create, SaveStep::Write,
                                                SaveStep::Flush, SaveStep::Replace};
// Writing into the existing file; its restore fails only after another
// step has failed (see AFailedRestoreKeepsTheSafetyCopy).
const std::set<SaveStep> kWritingInto = {SaveStep::Allocate, SaveStep::Open,     SaveStep::SafetyCopy,
                                         SaveStep::Write,    SaveStep::Truncate, SaveStep::Flush};

TEST_F(SaveFaults, APrivateCopyDocumentSurvivesAFailureAtEveryStep) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    ASSERT_TRUE(Load(path, false));
    std::string want = EditSecondLine();

    // Saving in the file's own encoding: unchanged lines are copied.
    auto save = [&] { return Save(MPM_SAVEFILE, path, nullptr); };
    EXPECT_EQ(FailEveryStep(save, path, dir), kEveryStepButReopen);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_FALSE(Modified());
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});

    // A copy in another encoding: lines are converted.
    Insert({2, 0}, L"\x20AC ");
    const SaveFormat utf8 = {65001, LB_LF, 1};
    auto copy = [&] { return Save(MPM_SAVECOPY, path, &utf8); };
    EXPECT_EQ(FailEveryStep(copy, path, dir), kEveryStepButReopen);
    EXPECT_TRUE(ReadBytes(path) == "\xEF\xBB\xBF" + Utf8(Text(LB_LF)));
    EXPECT_TRUE(Modified());
}

TEST_F(SaveFaults, AnInPlaceDocumentSurvivesAFailureAtEveryStep) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    ASSERT_TRUE(Load(path, true));
    std::string want = EditSecondLine();

    // Over the file the lines are read from: it has to be kept aside.
    auto save = [&] { return Save(MPM_SAVEFILE, path, nullptr); };
    std::set<SaveStep> all = kEveryStepButReopen;
    all.insert({SaveStep::Reopen, SaveStep::Link});
    EXPECT_EQ(FailEveryStep(save, path, dir), all);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_FALSE(Modified());
    const std::vector<std::wstring> kept = {L"name.txt", L"~#name#.tmp"};
    EXPECT_EQ(dir.Files(), kept);
    EXPECT_TRUE(ReadBytes(dir / L"~#name#.tmp") == original);

    // Again, now that the lines are read from the moved-aside file.
    Insert({3, 0}, L"again ");
    const std::string saved = ReadBytes(path);
    EXPECT_EQ(FailEveryStep(save, path, dir), kEveryStepButReopen);
    EXPECT_TRUE(ReadBytes(path) != saved);
    EXPECT_EQ(dir.Files(), kept);
    EXPECT_TRUE(ReadBytes(dir / L"~#name#.tmp") == original);

    // Once the document lets the file go, only the file is left.
    ASSERT_TRUE(Load(path, false));
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
}

TEST_F(SaveFaults, WithoutHardLinksTheCopySurvivesAFailureAtEveryStep) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    auto save = [&] { return Save(MPM_SAVEFILE, path, nullptr); };
    std::set<SaveStep> all = kEveryStepButReopen;
    all.insert({SaveStep::Reopen, SaveStep::Link});

    ASSERT_TRUE(Load(path, true));
    Insert({1, 0}, L"in place ");
    EXPECT_EQ(FailEveryStep(save, path, dir, FailTheNthStepWithoutHardLinks), all);
    std::string want = original;
    want.insert(want.find("\r\n") + 2, "in place ");
    EXPECT_TRUE(ReadBytes(path) == want);
    const std::vector<std::wstring> kept = {L"name.txt", L"~#name#.tmp"};
    EXPECT_EQ(dir.Files(), kept);
    EXPECT_TRUE(ReadBytes(dir / L"~#name#.tmp") == original);

    ASSERT_TRUE(Load(path, false));
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
    Insert({2, 0}, L"copy ");
    EXPECT_EQ(FailEveryStep(save, path, dir, FailTheNthStepWithoutHardLinks), kEveryStepButReopen);
    want.insert(want.find("\r\n", want.find("\r\n") + 2) + 2, "copy ");
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
}

TEST_F(SaveFaults, WholeTextReplacementSurvivesAFailureAtEveryStep) {
    TempDir dir;
    const std::wstring original = dir / L"original.txt";
    WriteBytes(original, SampleFile());
    ASSERT_TRUE(Load(original, false));
    Insert({0, 0}, L"typed ");
    WriteBytes(dir / L"new.txt", "replacement\r\ntext");
    const std::set<std::wstring> undoFiles = TempFiles(L"FT_"), temps = TempFiles(L"~MP");
    const std::wstring text = Text();

    // The replacement keeps the previous text in a file to undo to: when that
    // file cannot be written the text stays as it was, and nothing is recorded.
    FileReplaceArg arg = {nullptr, 1252, 0};
    const std::wstring replacement = dir / L"new.txt";
    arg.path = replacement.c_str();
    auto replace = [&]() -> LRESULT {
        Send(MPM_REPLACEFILE, reinterpret_cast<WPARAM>(&arg));
        return Text() == L"replacement\r\ntext" ? 1 : 0;
    };
    std::set<SaveStep> kinds = FailEveryStep(replace, replacement, dir);
    EXPECT_TRUE(kinds.count(SaveStep::Allocate) && kinds.count(SaveStep::Write) &&
                kinds.count(SaveStep::Replace));
    EXPECT_EQ(TempFiles(L"~MP"), temps);
    EXPECT_EQ(TempFiles(L"FT_").size(), undoFiles.size() + 1);  // the one the undo step holds
    EXPECT_EQ(Send(MPM_CANUNDO), 1);
    Send(WM_COMMAND, ECMD_UNDO);
    EXPECT_TRUE(Text() == text);
    Send(MPM_EMPTYUNDO);
    EXPECT_EQ(TempFiles(L"FT_"), undoFiles);
}

// Replacing the file keeps what belongs to the file rather than to its
// content: attributes, and the creation time where the file system keeps one
// (Wine on Linux does not: it reports a time of its own whatever is set).
TEST_F(SaveFaults, ASavedFileKeepsItsCreationTimeAndAttributes) {
    TempDir dir;
    const std::wstring path = dir / L"kept.txt";
    WriteBytes(path, "old\r\ntext");
    const FILETIME created = {0x12345678, 0x01C2A000};  // in 2002
    HANDLE h =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(h, &created, nullptr, nullptr));
    CloseHandle(h);
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info));
    const bool keepsCreationTime = CompareFileTime(&info.ftCreationTime, &created) == 0;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    for (bool inPlace : {false, true}) {
        ASSERT_TRUE(Load(path, inPlace));
        Insert({0, 0}, inPlace ? L"in place " : L"copy ");
        ASSERT_EQ(Save(MPM_SAVEFILE, path, nullptr), 1);
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info));
        if (keepsCreationTime) {
            EXPECT_EQ(CompareFileTime(&info.ftCreationTime, &created), 0) << inPlace;
        }
        EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) << inPlace;
        EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_ARCHIVE) << inPlace;
    }
    EXPECT_EQ(ReadBytes(path), "in place copy old\r\ntext");
    ASSERT_TRUE(Load(path, false));  // lets the moved-aside file go
}

// A file with a second name (a hard link) is written into rather than
// replaced: a new file in its place would leave the other name on the old
// bytes.
TEST_F(SaveFaults, AHardLinkedFileIsWrittenIntoAndSurvivesAFailureAtEveryStep) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt", other = dir / L"other.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    if (!CreateHardLinkW(other.c_str(), path.c_str(), nullptr))
        GTEST_SKIP() << "no hard links on this system (error " << GetLastError() << ")";
    ASSERT_EQ(LinkCount(path), 2u);
    ASSERT_TRUE(Load(path, false));
    std::string want = EditSecondLine();
    const std::vector<std::wstring> names = {L"name.txt", L"other.txt"};
    const std::set<std::wstring> temps = TempFiles(L"");

    auto save = [&] { return Save(MPM_SAVEFILE, path, nullptr); };
    EXPECT_EQ(FailEveryStep(save, path, dir, FailTheNthStep, other), kWritingInto);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_TRUE(ReadBytes(other) == want);
    EXPECT_EQ(LinkCount(path), 2u);
    EXPECT_EQ(dir.Files(), names);
    EXPECT_EQ(TempFiles(L""), temps);  // the safety copy is gone
    EXPECT_FALSE(Modified());

    // Shorter now (LF breaks): the file is cut at the end of the new text.
    const SaveFormat lf = {1252, LB_LF, 0};
    auto copy = [&] { return Save(MPM_SAVECOPY, other, &lf); };
    EXPECT_EQ(FailEveryStep(copy, other, dir, FailTheNthStep, path), kWritingInto);
    std::string shorter;
    for (char c : want)
        if (c != '\r') shorter += c;
    EXPECT_TRUE(ReadBytes(path) == shorter);
    EXPECT_TRUE(ReadBytes(other) == shorter);
    EXPECT_EQ(LinkCount(other), 2u);
    EXPECT_EQ(dir.Files(), names);
}

// When the old bytes cannot be put back either, their safety copy in the
// temporary folder is all that is left of them: it is kept, and the next
// look for leftovers puts them back into the file.
TEST_F(SaveFaults, AFailedRestoreKeepsTheSafetyCopy) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt", other = dir / L"other.txt";
    WriteBytes(path, "old\r\ntext");
    if (!CreateHardLinkW(other.c_str(), path.c_str(), nullptr))
        GTEST_SKIP() << "no hard links on this system (error " << GetLastError() << ")";
    ASSERT_TRUE(Load(path, false));
    Insert({0, 0}, L"new ");
    const std::set<std::wstring> before = TempFiles(L"");
    SetSaveFaultHookForTesting(FailTheWriteAndTheRestore);
    EXPECT_EQ(Save(MPM_SAVEFILE, path, nullptr), 0);
    SetSaveFaultHookForTesting(nullptr);
    EXPECT_TRUE(Modified());
    std::vector<std::wstring> added;
    for (const std::wstring& f : TempFiles(L""))
        if (!before.count(f)) added.push_back(f);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].substr(0, 3), L"MPS");
    EXPECT_EQ(Send(MPM_RECOVERFILE), kRecoveredFile);
    EXPECT_EQ(ReadBytes(other), "old\r\ntext");
    EXPECT_EQ(TempFiles(L""), before);
    ASSERT_EQ(Save(MPM_SAVEFILE, path, nullptr), 1);
    EXPECT_EQ(ReadBytes(other), "new old\r\ntext");

    // Kept again, but the file is saved after all before the next start: the
    // old bytes are done with and never come back over the new ones.
    Insert({0, 0}, L"newer ");
    SetSaveFaultHookForTesting(FailTheWriteAndTheRestore);
    EXPECT_EQ(Save(MPM_SAVEFILE, path, nullptr), 0);
    SetSaveFaultHookForTesting(nullptr);
    ASSERT_EQ(Save(MPM_SAVEFILE, path, nullptr), 1);
    EXPECT_EQ(TempFiles(L""), before);
    EXPECT_EQ(Send(MPM_RECOVERFILE) & kRecoveredFile, 0);
    EXPECT_EQ(ReadBytes(other), "newer new old\r\ntext");
}

// A symbolic link stays a link; the file it points to gets the new text.
TEST_F(SaveFaults, ASymbolicLinkStaysALink) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt", link = dir / L"link.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    // Wine 8 reports success but makes no link.
    if (!CreateSymbolicLinkW(link.c_str(), path.c_str(), 0) || GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links on this system";
    ASSERT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    ASSERT_TRUE(Load(link, false));
    std::string want = EditSecondLine();

    auto save = [&] { return Save(MPM_SAVEFILE, link, nullptr); };
    EXPECT_EQ(FailEveryStep(save, link, dir, FailTheNthStep, path), kWritingInto);
    EXPECT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_TRUE(ReadBytes(link) == want);
    EXPECT_FALSE(Modified());
}

// Where no temporary may be made beside the file, the file is written into.
// Not over the file an in-place document reads its lines from: that save
// still fails, and changes nothing.
TEST_F(SaveFaults, WhereNoFileMayBeCreatedTheFileIsWrittenInto) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt";
    const std::string original = SampleFile();
    WriteBytes(path, original);
    ASSERT_TRUE(Load(path, false));
    std::string want = EditSecondLine();
    auto save = [&] { return Save(MPM_SAVEFILE, path, nullptr); };
    std::set<SaveStep> all = kWritingInto;
    all.insert(SaveStep::Create);
    EXPECT_EQ(FailEveryStep(save, path, dir, FailTheNthStepWhereNoFileMayBeCreated), all);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
    EXPECT_FALSE(Modified());

    // The temporary's name is made, but it cannot be opened: it goes again.
    Insert({3, 0}, L"again ");
    want.insert(want.find("\r\n", want.find("\r\n", want.find("\r\n") + 2) + 2) + 2, "again ");
    EXPECT_EQ(FailEveryStep(save, path, dir, FailTheNthStepWhereTheTemporaryCannotBeOpened), all);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
    EXPECT_FALSE(Modified());

    ASSERT_TRUE(Load(path, true));
    Insert({2, 0}, L"in place ");
    const std::wstring text = Text();
    const std::set<std::wstring> temps = TempFiles(L"");
    g_failAt = 0;
    SetSaveFaultHookForTesting(FailTheNthStepWhereNoFileMayBeCreated);
    EXPECT_EQ(Save(MPM_SAVEFILE, path, nullptr), 0);
    SetSaveFaultHookForTesting(nullptr);
    EXPECT_TRUE(ReadBytes(path) == want);
    EXPECT_TRUE(Text() == text);
    EXPECT_TRUE(Modified());
    EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
    EXPECT_EQ(TempFiles(L""), temps);
}

// An in-place document reading its lines from a hard-linked file is never
// saved by writing into that file, which would destroy the lines still to be
// read. Under the target's name it is replaced as before (which leaves the
// other name on the old bytes). Under the other name the target cannot be
// replaced while it is open: the save fails and changes nothing.
TEST_F(SaveFaults, AnInPlaceDocumentOverAHardLinkedFileKeepsItsText) {
    for (const wchar_t* from : {L"name.txt", L"other.txt"}) {
        TempDir dir;
        const std::wstring path = dir / L"name.txt", other = dir / L"other.txt";
        const std::string original = SampleFile();
        WriteBytes(path, original);
        if (!CreateHardLinkW(other.c_str(), path.c_str(), nullptr))
            GTEST_SKIP() << "no hard links on this system (error " << GetLastError() << ")";
        ASSERT_TRUE(Load(dir / from, true));
        const std::string want = EditSecondLine();
        const std::wstring text = Text();
        const bool sameName = std::wstring(from) == L"name.txt";
        EXPECT_EQ(Save(MPM_SAVEFILE, path, nullptr), sameName ? 1 : 0) << from;
        EXPECT_TRUE(ReadBytes(path) == (sameName ? want : original)) << from;
        EXPECT_TRUE(ReadBytes(other) == original) << from;
        EXPECT_TRUE(Text() == text) << from;
        EXPECT_EQ(Modified(), !sameName) << from;
        ASSERT_TRUE(Load(path, false));  // lets the old file go
    }
}

// What a save ended on its way leaves beside a file, and what the next open
// makes of it: each case lays out a folder, asks for the recovery of
// name.txt, and compares the folder after.
struct LeftoverCase {
    const char* what;
    std::vector<std::pair<std::wstring, std::string>> before;  // files and their bytes
    std::vector<std::wstring> held;                          // held open by a living process
    LRESULT bits;
    std::vector<std::pair<std::wstring, std::string>> after;
};

TEST_F(SaveFaults, WhatAnInterruptedSaveLeftIsDealtWithBeforeTheNextOpen) {
    const std::wstring temp = L"~MP1A2B#name.txt.tmp", aside = L"~#name#.tmp";
    const std::vector<LeftoverCase> cases = {
        {"killed before the rename: the temporary goes",
         {{L"name.txt", "old"}, {temp, "ne"}}, {}, kRemovedLeftovers, {{L"name.txt", "old"}}},
        {"killed after an in-place save: the moved-aside file goes too",
         {{L"name.txt", "new"}, {temp, "new"}, {aside, "old"}}, {}, kRemovedLeftovers, {{L"name.txt", "new"}}},
        {"the file missing beside its moved-aside file: it is put back",
         {{aside, "old"}, {temp, "new"}}, {}, kRecoveredFile | kRemovedLeftovers, {{L"name.txt", "old"}}},
        {"a new file killed before its rename: its temporary may be all there is, and stays",
         {{temp, "new"}}, {}, 0, {{temp, "new"}}},
        {"a moved-aside name another file shares is not put back as this one",
         {{aside, "old"}, {L"name.md", "other"}}, {}, 0, {{L"name.md", "other"}, {aside, "old"}}},
        {"temporaries of other files, and names not a save's, stay",
         {{L"name.txt", "old"}, {L"~MP1A2B#other.txt.tmp", "x"}, {L"~MP1A2B.tmp", "y"}, {L"~MP1A2B#name.txt", "z"}},
         {}, 0,
         {{L"name.txt", "old"}, {L"~MP1A2B#name.txt", "z"}, {L"~MP1A2B#other.txt.tmp", "x"}, {L"~MP1A2B.tmp", "y"}}},
        {"what a living process holds open stays",
         {{L"name.txt", "old"}, {temp, "ne"}, {aside, "old"}}, {temp, aside}, 0,
         {{L"name.txt", "old"}, {aside, "old"}, {temp, "ne"}}},
    };
    for (const LeftoverCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const auto& [name, bytes] : c.before) WriteBytes(dir / name, bytes);
        if (std::count_if(c.before.begin(), c.before.end(), [&](auto& f) { return f.first == aside; }))
            SetFileAttributesW((dir / aside).c_str(), FILE_ATTRIBUTE_HIDDEN);
        std::vector<HANDLE> holds;
        for (const std::wstring& name : c.held)
            holds.push_back(CreateFileW((dir / name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        const std::wstring path = dir / L"name.txt";
        EXPECT_EQ(Send(MPM_RECOVERFILE, reinterpret_cast<WPARAM>(path.c_str())), c.bits);
        for (HANDLE h : holds) CloseHandle(h);
        std::vector<std::pair<std::wstring, std::string>> after;
        for (const std::wstring& f : dir.Files()) after.emplace_back(f, ReadBytes(dir / f));
        EXPECT_EQ(after, c.after);
        if (Exists(path)) EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    }
}

// The same in the temporary folder: private copies nobody holds go, and the
// safety copy of a file being written into when its process ended gives the
// file its old bytes back once it is complete.
TEST_F(SaveFaults, LeftoversInTheTemporaryFolderAreDealtWithAtTheNextStart) {
    wchar_t tempDir[MAX_PATH];
    GetTempPathW(MAX_PATH, tempDir);
    const std::wstring tmp = tempDir;
    TempDir dir;
    const std::wstring file = dir / L"written into.txt";
    auto safetyCopy = [&](const std::wstring& name, uint32_t complete, const std::string& bytes) {
        SafetyHeader h = {};
        std::memcpy(h.magic, SafetyHeader::kMagic, sizeof h.magic);
        h.complete = complete;
        h.pathUnits = uint32_t(file.size());
        h.dataOffset = SafetyDataOffset(file);
        h.dataBytes = int64_t(bytes.size());
        std::string image(size_t(h.dataOffset), '\0');
        std::memcpy(image.data(), &h, sizeof h);
        std::memcpy(image.data() + sizeof h, file.data(), file.size() * sizeof(wchar_t));
        WriteBytes(tmp + name, image + bytes);
    };
    const std::set<std::wstring> before = TempFiles(L"");
    WriteBytes(tmp + L"MP_F00.tmp", "private copy of an ended process");
    WriteBytes(tmp + L"MP_F01.tmp", "private copy in use");
    HANDLE held = CreateFileW((tmp + L"MP_F01.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    WriteBytes(tmp + L"MPSF02.tmp", "not a safety copy: kept");
    WriteBytes(file, "half new");
    safetyCopy(L"MPSF03.tmp", 0, "never complete");
    EXPECT_EQ(Send(MPM_RECOVERFILE), kRemovedLeftovers);
    EXPECT_EQ(ReadBytes(file), "half new") << "an incomplete copy is never put back";
    safetyCopy(L"MPSF04.tmp", 1, "the old bytes");
    EXPECT_EQ(Send(MPM_RECOVERFILE), kRecoveredFile);
    EXPECT_EQ(ReadBytes(file), "the old bytes");
    CloseHandle(held);
    std::set<std::wstring> added;
    for (const std::wstring& f : TempFiles(L""))
        if (!before.count(f)) added.insert(f);
    EXPECT_EQ(added, (std::set<std::wstring>{L"MPSF02.tmp", L"MP_F01.tmp"}));
    DeleteFileW((tmp + L"MPSF02.tmp").c_str());
    DeleteFileW((tmp + L"MP_F01.tmp").c_str());
}

}  // namespace

namespace {

// Paths beyond MAX_PATH (the file's path `length` units long) save like any
// other: over the file, through a private copy or in place, and as a new
// file beside it.
TEST_F(SaveFaults, PathsBeyondMaxPathSave) {
    TempDir dir;
    for (size_t length : {259u, 260u, 261u, 300u, 1000u}) {
        SCOPED_TRACE(::testing::Message() << "a path of " << length << " units");
        // Folders of at most 200 units each, down to the file "name.txt".
        std::wstring folder = L"\\\\?\\" + dir.path;
        const size_t want = length - 9;  // "\name.txt"
        while (folder.size() - 4 < want) {
            const size_t room = want - (folder.size() - 4) - 1;
            folder += L"\\" + std::wstring(std::min<size_t>(room, 200), L'd');
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        }
        const std::wstring plain = folder.substr(4) + L"\\name.txt";
        ASSERT_EQ(plain.size(), length);
        WriteBytes(folder + L"\\name.txt", "old\r\ntext");
        for (bool inPlace : {false, true}) {
            ASSERT_TRUE(Load(plain, inPlace)) << inPlace;
            Insert({0, 0}, L"new ");
            ASSERT_EQ(Save(MPM_SAVEFILE, plain, nullptr), 1) << inPlace << " error " << GetLastError();
            EXPECT_FALSE(Modified());
            ASSERT_EQ(Save(MPM_SAVECOPY, plain + L".copy", nullptr), 1) << inPlace;
        }
        EXPECT_EQ(ReadBytes(folder + L"\\name.txt"), "new new old\r\ntext");
        EXPECT_EQ(ReadBytes(folder + L"\\name.txt.copy"), "new new old\r\ntext");
        WriteBytes(dir / L"elsewhere.txt", "x");
        ASSERT_TRUE(Load(dir / L"elsewhere.txt", false));  // lets the moved-aside file go
        // Only the two files are left in the deepest folder.
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        do
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
        while (FindNextFileW(h, &fd));
        FindClose(h);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::wstring>{L"name.txt", L"name.txt.copy"}));
        DeleteFileW((folder + L"\\name.txt").c_str());
        DeleteFileW((folder + L"\\name.txt.copy").c_str());
        while (folder.size() > 4 + dir.path.size()) {
            RemoveDirectoryW(folder.c_str());
            folder.resize(folder.find_last_of(L'\\'));
        }
    }
}

}  // namespace

namespace {

// A save in a code page that lacks some of the text fails and writes
// nothing, unless the caller accepts the loss; in a form of Unicode nothing
// is lost.
TEST_F(SaveFaults, ASaveThatWouldLoseCharactersFailsUnlessTheLossIsAccepted) {
    TempDir dir;
    const std::wstring path = dir / L"name.txt";
    WriteBytes(path, "plain\r\ntext");
    struct Case {
        const wchar_t* typed;
        int codePage, flags;
        LRESULT saved;
        const char* file;
    };
    const Case cases[] = {
        {L"\x65E5\x672C ", 1252, 0, 0, "plain\r\ntext"},           // Japanese in Windows-1252
        {L"\x0109 ", 1252, 0, 0, "plain\r\ntext"},                 // no look-alike either
        {L"caf\xE9 ", 1252, 0, 1, "caf\xE9 plain\r\ntext"},        // what it holds
        {L"\x0109 ", 1252, SAVE_ACCEPT_LOSS, 1, "? plain\r\ntext"},  // accepted: the stand-in
        {L"\x65E5 ", 65001, 0, 1, "\xE6\x97\xA5 plain\r\ntext"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code page " << c.codePage << ", flags " << c.flags);
        WriteBytes(path, "plain\r\ntext");
        ASSERT_TRUE(Load(path, true));
        Insert({0, 0}, c.typed);
        const SaveFormat format = {c.codePage, LB_CRLF, c.flags};
        SetLastError(0);
        EXPECT_EQ(Save(MPM_SAVEFILE, path, &format), c.saved);
        if (!c.saved) EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
        const std::string got = ReadBytes(path);
        if (c.flags & SAVE_ACCEPT_LOSS)
            EXPECT_NE(got, "plain\r\ntext");  // the stand-in is the code page's own
        else
            EXPECT_EQ(got, c.file);
        EXPECT_EQ(Modified(), !c.saved);
        ASSERT_TRUE(Load(dir / L"name.txt", false));  // lets the moved-aside file go
        EXPECT_EQ(dir.Files(), std::vector<std::wstring>{L"name.txt"});
    }
}

}  // namespace
