// Saving with a failure injected at each step in turn, the way SQLite tests
// its I/O: the first step of a save fails, then the second, and so on until a
// save runs through. After every failed save the user's file must be byte
// for byte what it was, no temporary or moved-aside file may be left in its
// folder or in the temporary folder, and the document must show the same
// text and modified state. The control runs in this process so that the test
// can set the fault hook of its file code; everything else goes through
// messages. The process has a temporary folder of its own, so that what other
// programs leave in theirs is never taken for a leftover of a save.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "FileIO.h"
#include "InProcessEdit.h"
#include "SaveFiles.h"
#include "TempDir.h"

// Names the steps in failure messages.
void PrintTo(SaveStep step, std::ostream* os) {
    static const char* const kNames[] = {"Allocate",   "Create",     "Write",      "Flush",    "Replace",
                                         "Reopen",     "Open",       "SafetyCopy", "Truncate", "Restore",
                                         "NoHardLink", "DenyCreate", "Link"};
    *os << kNames[int(step)];
}

namespace {

// What the file system refuses besides the step that fails.
enum Refusal { kNothing, kHardLinks, kNewFiles, kOpeningTheTemporary };

// The step to fail (the n-th failing step of a save, counted from 1), the
// steps counted so far, and the kinds of step failed.
struct Injection {
    int failAt = 0, steps = 0, denials = 0;
    Refusal refuse = kNothing;
    SaveStep failed = SaveStep::Allocate;
    std::set<SaveStep> kinds;
} g;

bool Inject(SaveStep step) {
    if (step == SaveStep::NoHardLink) return g.refuse == kHardLinks;
    // The temporary's name can be made but the file cannot be opened: the
    // second time DenyCreate is asked in a save.
    if (step == SaveStep::DenyCreate)
        return g.refuse == kNewFiles || (g.refuse == kOpeningTheTemporary && ++g.denials == 2);
    if (++g.steps != g.failAt) return false;
    g.kinds.insert(step);
    g.failed = step;
    return true;
}

// Fails the first write of the document into the file, then putting the old bytes back.
bool FailTheWriteAndTheRestore(SaveStep step) { return step == SaveStep::Write || step == SaveStep::Restore; }

std::wstring TempFolder() {
    wchar_t dir[MAX_PATH];
    return std::wstring(dir, GetTempPathW(MAX_PATH, dir));
}

// The files of the temporary folder whose names start with `prefix`.
std::set<std::wstring> TempFiles(const std::wstring& prefix = L"") {
    std::set<std::wstring> out;
    for (const std::wstring& f : FilesIn(TempFolder().substr(0, TempFolder().size() - 1)))
        if (f.rfind(prefix, 0) == 0) out.insert(f);
    return out;
}

// When the file was last written; zero when it cannot be read.
ULONGLONG LastWritten(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) return 0;
    return (ULONGLONG(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
}

bool IsLink(const std::wstring& path) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

// About 700 KB in code page 1252, lines of non-ASCII text, no final break:
// more than one write buffer, and conversions in batches.
std::string SampleFile() {
    std::string s;
    for (int i = 0; i < 20000; ++i)
        s += (i ? "\r\n" : "") + ("line " + std::to_string(i)) + " caf\xE9 na\xEFve text";
    return s;
}

std::string Encoded(const std::wstring& w, int cp, bool bom = false) {
    const int n = WideCharToMultiByte(UINT(cp), 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(UINT(cp), 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return (bom ? "\xEF\xBB\xBF" : "") + s;
}

// Compares files too large to print: their sizes and where they first differ.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    const size_t at = size_t(
        std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first -
        got.begin());
    return ::testing::AssertionFailure()
           << got.size() << " bytes, not " << want.size() << ", first differing at " << at << ": \""
           << got.substr(at, 20) << "\"";
}

using Names = std::vector<std::wstring>;

class SaveFaults : public InProcessEdit {
   protected:
    static void SetUpTestSuite() {
        InProcessEdit::SetUpTestSuite();
        temp_ = TempFolder() + L"MPSAVE" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(temp_.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", temp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.c_str());
    }
    static void TearDownTestSuite() {
        for (const std::wstring& f : TempFiles()) DeleteFileW((TempFolder() + f).c_str());
        SetEnvironmentVariableW(L"TMP", nullptr);
        SetEnvironmentVariableW(L"TEMP", nullptr);
        RemoveDirectoryW(temp_.c_str());
    }
    void TearDown() override {
        SetSaveFaultHookForTesting(nullptr);
        InProcessEdit::TearDown();
    }
    // Fails the 1st, 2nd, ... step of `save` until one runs through, checking
    // after each failure that nothing changed. Returns the kinds of step failed.
    template <typename SaveFn>
    std::set<SaveStep> FailEveryStep(SaveFn save, const std::wstring& path, const TempDir& dir,
                                     Refusal refuse = kNothing, const std::wstring& otherName = L"") {
        const std::string file = ReadBytes(path), other = otherName.empty() ? "" : ReadBytes(otherName);
        const ULONGLONG written = LastWritten(path);
        const Names files = dir.Files();
        const std::set<std::wstring> temps = TempFiles();
        const std::wstring text = Text(), name = FileName();
        const bool modified = Modified();
        g = Injection{};
        g.refuse = refuse;
        const bool failedBefore = HasFailure();
        for (int n = 1; failedBefore || !HasFailure(); ++n) {
            if (n > 400) {
                ADD_FAILURE() << "the save never ran through";
                break;
            }
            g.failAt = n;
            g.steps = g.denials = 0;
            SetSaveFaultHookForTesting(Inject);
            const LRESULT r = save();
            SetSaveFaultHookForTesting(nullptr);
            if (g.steps < n) {  // nothing failed
                EXPECT_EQ(r, 1) << "with every step succeeding";
                break;
            }
            SCOPED_TRACE(::testing::Message()
                         << "step " << n << " (" << ::testing::PrintToString(g.failed) << ") failed");
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(SameBytes(ReadBytes(path), file));
            EXPECT_EQ(LastWritten(path), written);
            if (!otherName.empty()) {
                EXPECT_TRUE(SameBytes(ReadBytes(otherName), other)) << "the other name";
            }
            EXPECT_EQ(dir.Files(), files);
            EXPECT_EQ(TempFiles(), temps) << "the temporary folder";
            EXPECT_TRUE(Text() == text) << "the text changed";
            EXPECT_EQ(Modified(), modified);
            EXPECT_EQ(FileName(), name);
        }
        return g.kinds;
    }

    static std::wstring temp_;
    TempDir dir_;  // made in temp_
};
std::wstring SaveFaults::temp_;

const std::set<SaveStep> kReplacing = {SaveStep::Allocate, SaveStep::Create, SaveStep::Write, SaveStep::Flush,
                                       SaveStep::Replace};
// Replacing the file the lines are read from: the old file gets a second name.
const std::set<SaveStep> kMovingAside = {SaveStep::Allocate, SaveStep::Create,  SaveStep::Write,
                                         SaveStep::Flush,    SaveStep::Replace, SaveStep::Reopen,
                                         SaveStep::Link};
// Writing into the existing file; its restore fails only after another step
// has failed (see AFailedRestoreKeepsTheSafetyCopy).
const std::set<SaveStep> kWritingInto = {SaveStep::Allocate, SaveStep::Open,     SaveStep::SafetyCopy,
                                         SaveStep::Write,    SaveStep::Truncate, SaveStep::Flush};
const std::set<SaveStep> kWritingIntoAfterCreate = {
    SaveStep::Allocate, SaveStep::Create,   SaveStep::Open, SaveStep::SafetyCopy,
    SaveStep::Write,    SaveStep::Truncate, SaveStep::Flush};

enum Link { kNoLink, kHardLink, kSymbolicLink };

// name.txt holds the sample file; `other.txt` is a second name of it (a hard
// link) or a symbolic link to it. The document is edited and saved with
// every step failing in turn; then it lets the file go.
struct StepCase {
    const char* what;
    Link link;
    bool inPlace;
    bool savedBefore;  // saved once before: an in-place document reads the moved-aside file
    Refusal refuse;
    UINT message;
    bool toOther;       // loaded from and saved under other.txt
    SaveFormat format;  // codePage 0: the document's own
    std::set<SaveStep> kinds;
    bool aside;  // "~#name#.tmp" is left while the document reads from it
};

TEST_F(SaveFaults, EveryKindOfSaveSurvivesAFailureAtEveryStep) {
    const StepCase cases[] = {
        {"a private copy over its file: unchanged lines are copied",
         kNoLink,
         false,
         false,
         kNothing,
         MPM_SAVEFILE,
         false,
         {},
         kReplacing,
         false},
        {"a private copy saved as a copy in UTF-8: lines are converted",
         kNoLink,
         false,
         false,
         kNothing,
         MPM_SAVECOPY,
         false,
         {65001, LB_LF, 1},
         kReplacing,
         false},
        {"in place, over the file the lines are read from",
         kNoLink,
         true,
         false,
         kNothing,
         MPM_SAVEFILE,
         false,
         {},
         kMovingAside,
         true},
        {"in place again, the lines read from the moved-aside file",
         kNoLink,
         true,
         true,
         kNothing,
         MPM_SAVEFILE,
         false,
         {},
         kReplacing,
         true},
        {"in place without hard links: the old file is copied aside",
         kNoLink,
         true,
         false,
         kHardLinks,
         MPM_SAVEFILE,
         false,
         {},
         kMovingAside,
         true},
        {"a file with a second name is written into",
         kHardLink,
         false,
         false,
         kNothing,
         MPM_SAVEFILE,
         false,
         {},
         kWritingInto,
         false},
        {"written into under its other name, shorter (LF): the file is cut",
         kHardLink,
         false,
         false,
         kNothing,
         MPM_SAVECOPY,
         true,
         {1252, LB_LF, 0},
         kWritingInto,
         false},
        {"a symbolic link stays a link; the file it leads to is written into",
         kSymbolicLink,
         false,
         false,
         kNothing,
         MPM_SAVEFILE,
         true,
         {},
         kWritingInto,
         false},
        {"where no file may be created the file is written into",
         kNoLink,
         false,
         false,
         kNewFiles,
         MPM_SAVEFILE,
         false,
         {},
         kWritingIntoAfterCreate,
         false},
        {"the temporary's name is made but it cannot be opened",
         kNoLink,
         false,
         false,
         kOpeningTheTemporary,
         MPM_SAVEFILE,
         false,
         {},
         kWritingIntoAfterCreate,
         false},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::wstring name = dir / L"name.txt", other = dir / L"other.txt";
        const std::string original = SampleFile();
        WriteBytes(name, original);
        Names names = {L"name.txt"};
        // Wine 8 reports success for a symbolic link but makes none.
        const bool linked = c.link == kHardLink ? CreateHardLinkW(other.c_str(), name.c_str(), nullptr)
                            : c.link == kSymbolicLink
                                ? CreateSymbolicLinkW(other.c_str(), name.c_str(), 0) && IsLink(other)
                                : true;
        if (!linked) {
            printf("[ SKIPPED  ] %s: no such links on this system\n", c.what);
            continue;
        }
        if (c.link != kNoLink) names.push_back(L"other.txt");
        const std::wstring& path = c.toOther ? other : name;
        ASSERT_TRUE(Load(path, 1252, LB_CRLF, c.inPlace));
        if (c.savedBefore) {
            Insert({3, 0}, L"before ");
            ASSERT_EQ(Save(MPM_SAVEFILE, path), 1);
        }
        Insert({1, 0}, L"edited \x20AC ");
        const std::set<std::wstring> temps = TempFiles();
        const SaveFormat* format = c.format.codePage ? &c.format : nullptr;
        auto save = [&] { return Save(c.message, path, format); };
        EXPECT_EQ(
            FailEveryStep(save, path, dir, c.refuse, c.link != kNoLink ? (c.toOther ? name : other) : L""),
            c.kinds);
        const std::string want = Encoded(Text(format ? format->lineBreak : LB_CRLF),
                                         format ? format->codePage : 1252, format && format->writeBom);
        EXPECT_TRUE(SameBytes(ReadBytes(name), want));
        if (c.link != kNoLink) {
            EXPECT_TRUE(SameBytes(ReadBytes(other), want)) << "the other name";
        }
        if (c.link == kSymbolicLink) {
            EXPECT_TRUE(IsLink(other));
        }
        EXPECT_EQ(Modified(), c.message == MPM_SAVECOPY);
        EXPECT_EQ(TempFiles(), temps) << "a safety copy or temporary is left";
        Names kept = names;
        if (c.aside) {
            kept.push_back(L"~#name#.tmp");
            EXPECT_TRUE(SameBytes(ReadBytes(dir / L"~#name#.tmp"), original));
        }
        EXPECT_EQ(dir.Files(), kept);
        ASSERT_TRUE(Load(name));  // lets the moved-aside file go
        EXPECT_EQ(dir.Files(), names);
    }
}

// Where no temporary may be made, a document reading its lines from the file
// in place never writes into it, which would destroy the lines still to be
// read: the save fails and changes nothing. So does a save under the other
// name of a hard-linked file it reads in place (the target cannot be
// replaced while it is open); under the target's own name it is replaced as
// before, which leaves the other name on the old bytes.
TEST_F(SaveFaults, AnInPlaceDocumentNeverWritesIntoTheFileItReads) {
    struct Case {
        const char* what;
        Refusal refuse;
        bool link;
        const wchar_t* from;
        LRESULT saved;
    };
    for (const Case& c : {Case{"no file may be created", kNewFiles, false, L"name.txt", 0},
                          Case{"hard-linked, read as its other name", kNothing, true, L"other.txt", 0},
                          Case{"hard-linked, read as its own name", kNothing, true, L"name.txt", 1}}) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::wstring path = dir / L"name.txt", other = dir / L"other.txt";
        const std::string original = SampleFile();
        WriteBytes(path, original);
        if (c.link && !CreateHardLinkW(other.c_str(), path.c_str(), nullptr)) {
            printf("[ SKIPPED  ] %s: no hard links on this system\n", c.what);
            continue;
        }
        ASSERT_TRUE(Load(dir / c.from, 1252, LB_CRLF, true));
        Insert({2, 0}, L"in place ");
        const std::wstring text = Text();
        const Names files = dir.Files();
        const std::set<std::wstring> temps = TempFiles();
        g = Injection{};
        g.refuse = c.refuse;
        SetSaveFaultHookForTesting(Inject);
        EXPECT_EQ(Save(MPM_SAVEFILE, path), c.saved);
        SetSaveFaultHookForTesting(nullptr);
        EXPECT_TRUE(SameBytes(ReadBytes(path), c.saved ? Encoded(text, 1252) : original));
        if (c.link) {
            EXPECT_TRUE(SameBytes(ReadBytes(other), original)) << "the other name";
        }
        EXPECT_TRUE(Text() == text);
        EXPECT_EQ(Modified(), !c.saved);
        EXPECT_EQ(TempFiles(), temps);
        if (!c.saved) {
            EXPECT_EQ(dir.Files(), files);
        }
        ASSERT_TRUE(Load(path));  // lets the old file go
    }
}

TEST_F(SaveFaults, WholeTextReplacementSurvivesAFailureAtEveryStep) {
    const std::wstring original = dir_ / L"original.txt", replacement = dir_ / L"new.txt";
    WriteBytes(original, SampleFile());
    ASSERT_TRUE(Load(original));
    Insert({0, 0}, L"typed ");
    WriteBytes(replacement, "replacement\r\ntext");
    const std::set<std::wstring> undoFiles = TempFiles(L"FT_"), temps = TempFiles(L"~MP");
    const std::wstring text = Text();

    // The replacement keeps the previous text in a file to undo to: when that
    // file cannot be written the text stays as it was, and nothing is recorded.
    FileReplaceArg arg = {replacement.c_str(), 1252, 0};
    auto replace = [&]() -> LRESULT {
        Send(MPM_REPLACEFILE, reinterpret_cast<WPARAM>(&arg));
        return Text() == L"replacement\r\ntext" ? 1 : 0;
    };
    const std::set<SaveStep> kinds = FailEveryStep(replace, replacement, dir_);
    for (SaveStep step : {SaveStep::Allocate, SaveStep::Write, SaveStep::Replace})
        EXPECT_EQ(kinds.count(step), 1u) << ::testing::PrintToString(step);
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
    const std::wstring path = dir_ / L"kept.txt";
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
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    SetFileAttributesW(path.c_str(), kept);
    for (bool inPlace : {false, true}) {
        ASSERT_TRUE(Load(path, 1252, LB_CRLF, inPlace));
        Insert({0, 0}, inPlace ? L"in place " : L"copy ");
        ASSERT_EQ(Save(MPM_SAVEFILE, path), 1);
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info));
        if (keepsCreationTime) {
            EXPECT_EQ(CompareFileTime(&info.ftCreationTime, &created), 0) << inPlace;
        }
        EXPECT_EQ(info.dwFileAttributes & kept, kept) << inPlace;
    }
    EXPECT_EQ(ReadBytes(path), "in place copy old\r\ntext");
    ASSERT_TRUE(Load(path));  // lets the moved-aside file go
}

// When the old bytes cannot be put back either, their safety copy in the
// temporary folder is all that is left of them: it is kept, and the next
// look for leftovers puts them back into the file.
TEST_F(SaveFaults, AFailedRestoreKeepsTheSafetyCopy) {
    const std::wstring path = dir_ / L"name.txt", other = dir_ / L"other.txt";
    WriteBytes(path, "old\r\ntext");
    if (!CreateHardLinkW(other.c_str(), path.c_str(), nullptr))
        GTEST_SKIP() << "no hard links on this system (error " << GetLastError() << ")";
    ASSERT_TRUE(Load(path));
    const std::set<std::wstring> before = TempFiles();
    auto failedSave = [&](const wchar_t* typed) {
        Insert({0, 0}, typed);
        SetSaveFaultHookForTesting(FailTheWriteAndTheRestore);
        EXPECT_EQ(Save(MPM_SAVEFILE, path), 0);
        SetSaveFaultHookForTesting(nullptr);
    };
    failedSave(L"new ");
    EXPECT_TRUE(Modified());
    std::set<std::wstring> added = TempFiles();
    for (const std::wstring& f : before) added.erase(f);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added.begin()->substr(0, 3), L"MPS");
    EXPECT_EQ(Send(MPM_RECOVERFILE), kRecoveredFile);
    EXPECT_EQ(ReadBytes(other), "old\r\ntext");
    EXPECT_EQ(TempFiles(), before);
    ASSERT_EQ(Save(MPM_SAVEFILE, path), 1);
    EXPECT_EQ(ReadBytes(other), "new old\r\ntext");

    // Kept again, but the file is saved after all before the next start: the
    // old bytes are done with and never come back over the new ones.
    failedSave(L"newer ");
    ASSERT_EQ(Save(MPM_SAVEFILE, path), 1);
    EXPECT_EQ(TempFiles(), before);
    EXPECT_EQ(Send(MPM_RECOVERFILE) & kRecoveredFile, 0);
    EXPECT_EQ(ReadBytes(other), "newer new old\r\ntext");
}

// What a save ended on its way leaves beside a file, and what the next open
// makes of it: each case lays out a folder, asks for the recovery of
// name.txt, and compares the folder after.
using Files = std::vector<std::pair<std::wstring, std::string>>;
struct LeftoverCase {
    const char* what;
    Files before;
    Names held;  // held open by a living process
    LRESULT bits;
    Files after;
};

TEST_F(SaveFaults, WhatAnInterruptedSaveLeftIsDealtWithBeforeTheNextOpen) {
    const std::wstring temp = L"~MP1A2B#name.txt.tmp", aside = L"~#name#.tmp";
    const LeftoverCase cases[] = {
        {"killed before the rename: the temporary goes",
         {{L"name.txt", "old"}, {temp, "ne"}},
         {},
         kRemovedLeftovers,
         {{L"name.txt", "old"}}},
        {"killed after an in-place save: the moved-aside file goes too",
         {{L"name.txt", "new"}, {temp, "new"}, {aside, "old"}},
         {},
         kRemovedLeftovers,
         {{L"name.txt", "new"}}},
        {"the file missing beside its moved-aside file: it is put back",
         {{aside, "old"}, {temp, "new"}},
         {},
         kRecoveredFile | kRemovedLeftovers,
         {{L"name.txt", "old"}}},
        {"a new file killed before its rename: its temporary may be all there is, and stays",
         {{temp, "new"}},
         {},
         0,
         {{temp, "new"}}},
        {"a moved-aside name another file shares is not put back as this one",
         {{aside, "old"}, {L"name.md", "other"}},
         {},
         0,
         {{L"name.md", "other"}, {aside, "old"}}},
        {"temporaries of other files, and names not a save's, stay",
         {{L"name.txt", "old"},
          {L"~MP1A2B#other.txt.tmp", "x"},
          {L"~MP1A2B.tmp", "y"},
          {L"~MP1A2B#name.txt", "z"}},
         {},
         0,
         {{L"name.txt", "old"},
          {L"~MP1A2B#name.txt", "z"},
          {L"~MP1A2B#other.txt.tmp", "x"},
          {L"~MP1A2B.tmp", "y"}}},
        {"what a living process holds open stays",
         {{L"name.txt", "old"}, {temp, "ne"}, {aside, "old"}},
         {temp, aside},
         0,
         {{L"name.txt", "old"}, {aside, "old"}, {temp, "ne"}}},
    };
    for (const LeftoverCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const auto& [name, bytes] : c.before) WriteBytes(dir / name, bytes);
        SetFileAttributesW((dir / aside).c_str(), FILE_ATTRIBUTE_HIDDEN);
        std::vector<HANDLE> holds;
        for (const std::wstring& name : c.held)
            holds.push_back(CreateFileW((dir / name).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
        const std::wstring path = dir / L"name.txt";
        EXPECT_EQ(Send(MPM_RECOVERFILE, reinterpret_cast<WPARAM>(path.c_str())), c.bits);
        for (HANDLE h : holds) CloseHandle(h);
        Files after;
        for (const std::wstring& f : dir.Files()) after.emplace_back(f, ReadBytes(dir / f));
        EXPECT_EQ(after, c.after);
        const DWORD attrs = GetFileAttributesW(path.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(attrs & FILE_ATTRIBUTE_HIDDEN, 0u);
        }
    }
}

// The same in the temporary folder: private copies nobody holds go, and so
// does a safety copy its ended process never completed, without being put
// back into its file.
TEST_F(SaveFaults, LeftoversInTheTemporaryFolderAreDealtWithAtTheNextStart) {
    const std::wstring tmp = TempFolder();
    const std::wstring file = dir_ / L"written into.txt";
    auto safetyCopy = [&](const std::wstring& name, const std::string& bytes) {  // never completed
        SafetyHeader h = {};
        std::memcpy(h.magic, SafetyHeader::kMagic, sizeof h.magic);
        h.pathUnits = uint32_t(file.size());
        h.dataOffset = SafetyDataOffset(file);
        h.dataBytes = int64_t(bytes.size());
        std::string image(size_t(h.dataOffset), '\0');
        std::memcpy(image.data(), &h, sizeof h);
        std::memcpy(image.data() + sizeof h, file.data(), file.size() * sizeof(wchar_t));
        WriteBytes(tmp + name, image + bytes);
    };
    const std::set<std::wstring> before = TempFiles();
    WriteBytes(tmp + L"MP_F00.tmp", "private copy of an ended process");
    WriteBytes(tmp + L"MP_F01.tmp", "private copy in use");
    HANDLE held = CreateFileW((tmp + L"MP_F01.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    WriteBytes(tmp + L"MPSF02.tmp", "not a safety copy: kept");
    WriteBytes(file, "half new");
    safetyCopy(L"MPSF03.tmp", "never complete");
    EXPECT_EQ(Send(MPM_RECOVERFILE), kRemovedLeftovers);
    EXPECT_EQ(ReadBytes(file), "half new") << "an incomplete copy is never put back";
    // (A complete one put back: AFailedRestoreKeepsTheSafetyCopy.)
    CloseHandle(held);
    std::set<std::wstring> added = TempFiles();
    for (const std::wstring& f : before) added.erase(f);
    EXPECT_EQ(added, (std::set<std::wstring>{L"MPSF02.tmp", L"MP_F01.tmp"}));
    DeleteFileW((tmp + L"MPSF02.tmp").c_str());
    DeleteFileW((tmp + L"MP_F01.tmp").c_str());
}

// Paths beyond MAX_PATH (the file's path `length` units long) save like any
// other: over the file, through a private copy or in place, and as a new
// file beside it.
TEST_F(SaveFaults, PathsBeyondMaxPathSave) {
    for (size_t length : {259u, 260u, 261u, 300u, 1000u}) {
        SCOPED_TRACE(::testing::Message() << "a path of " << length << " units");
        // Folders of at most 200 units each, down to the file "name.txt".
        std::wstring folder = L"\\\\?\\" + dir_.path;
        while (folder.size() - 4 < length - 9) {  // "\name.txt"
            folder += L"\\" + std::wstring(std::min<size_t>(length - 9 - (folder.size() - 4) - 1, 200), L'd');
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        }
        const std::wstring plain = folder.substr(4) + L"\\name.txt";
        ASSERT_EQ(plain.size(), length);
        WriteBytes(folder + L"\\name.txt", "old\r\ntext");
        for (bool inPlace : {false, true}) {
            ASSERT_TRUE(Load(plain, 1252, LB_CRLF, inPlace)) << inPlace;
            Insert({0, 0}, L"new ");
            ASSERT_EQ(Save(MPM_SAVEFILE, plain), 1) << inPlace << " error " << GetLastError();
            EXPECT_FALSE(Modified());
            ASSERT_EQ(Save(MPM_SAVECOPY, plain + L".copy"), 1) << inPlace;
        }
        EXPECT_EQ(ReadBytes(folder + L"\\name.txt"), "new new old\r\ntext");
        EXPECT_EQ(ReadBytes(folder + L"\\name.txt.copy"), "new new old\r\ntext");
        WriteBytes(dir_ / L"elsewhere.txt", "x");
        ASSERT_TRUE(Load(dir_ / L"elsewhere.txt"));  // lets the moved-aside file go
        // Only the two files are left in the deepest folder.
        EXPECT_EQ(FilesIn(folder), (Names{L"name.txt", L"name.txt.copy"}));
        for (const std::wstring& f : FilesIn(folder)) DeleteFileW((folder + L"\\" + f).c_str());
        for (; folder.size() > 4 + dir_.path.size(); folder.resize(folder.rfind(L'\\')))
            RemoveDirectoryW(folder.c_str());
    }
}

// A save in a code page that lacks some of the text fails and writes
// nothing, unless the caller accepts the loss; in a form of Unicode nothing
// is lost.
TEST_F(SaveFaults, ASaveThatWouldLoseCharactersFailsUnlessTheLossIsAccepted) {
    const std::wstring path = dir_ / L"name.txt";
    struct Case {
        const wchar_t* typed;
        int codePage, flags;
        LRESULT saved;
        const char* file;  // null: the code page's own stand-in, whatever it is
    };
    const Case cases[] = {
        {L"\x65E5\x672C ", 1252, 0, 0, "plain\r\ntext"},  // Japanese in Windows-1252
        {L"\x0109 ", 1252, 0, 0, "plain\r\ntext"},        // no look-alike either
        {L"caf\xE9 ", 1252, 0, 1, "caf\xE9 plain\r\ntext"},
        {L"\x0109 ", 1252, SAVE_ACCEPT_LOSS, 1, nullptr},  // accepted
        {L"\x65E5 ", 65001, 0, 1, "\xE6\x97\xA5 plain\r\ntext"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code page " << c.codePage << ", flags " << c.flags);
        WriteBytes(path, "plain\r\ntext");
        ASSERT_TRUE(Load(path, 1252, LB_CRLF, true));
        Insert({0, 0}, c.typed);
        const SaveFormat format = {c.codePage, LB_CRLF, c.flags};
        EXPECT_EQ(Save(MPM_SAVEFILE, path, &format), c.saved);
        if (!c.saved) {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
        }
        if (c.file)
            EXPECT_EQ(ReadBytes(path), c.file);
        else
            EXPECT_NE(ReadBytes(path), "plain\r\ntext");
        EXPECT_EQ(Modified(), !c.saved);
        ASSERT_TRUE(Load(path));  // lets the moved-aside file go
        EXPECT_EQ(dir_.Files(), Names{L"name.txt"});
    }
}

}  // namespace
