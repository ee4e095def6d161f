// Files changed by other programs while they are open: another process (this
// executable started again with "--outside-child") rewrites, appends to,
// replaces, moves away or deletes a document's file; the frame is activated
// and looks at its files as its timer does; the document reloads, asks, or
// marks its tab. What the editor saved itself is no change.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "CommandIds.h"
#include "DialogIds.h"
#include "FileDialogEx.h"
#include "FrameFixture.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "SplitTextView.h"

using testing_support::Answers;
using testing_support::CaretOf;
using testing_support::Messages;
using testing_support::ReadFileText;
using testing_support::SetCaret;

namespace {

bool WriteAll(const std::wstring& path, const std::string& bytes, DWORD disposition = CREATE_ALWAYS) {
    HANDLE f =
        CreateFileW(path.c_str(), disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const bool ok = WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(f);
    return ok;
}

// The other program: "--outside-child <action> <path>", its exit code 0 or
// the error of the step that failed.
//   write    the file rewritten with "new 0".."new 39"
//   append   1000 lines appended, one open and write each, 1 ms apart
//   replace  "new 0".."new 39" written to <path>.new, renamed over the file
//   swap     the file renamed to <path>.old, then written anew
//   move     the file renamed to <path>.old
//   delete   the file deleted
std::string NewText() {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "new " + std::to_string(i) + "\r\n";
    return text;
}
DWORD RunChildAction(const std::wstring& action, const std::wstring& path) {
    if (action == L"write") return WriteAll(path, NewText()) ? 0 : GetLastError();
    if (action == L"append") {
        for (int i = 0; i < 1000; ++i) {
            if (!WriteAll(path, "log " + std::to_string(i) + "\r\n", OPEN_ALWAYS)) return GetLastError();
            Sleep(1);
        }
        return 0;
    }
    if (action == L"replace") {
        if (!WriteAll(path + L".new", NewText())) return GetLastError();
        return MoveFileExW((path + L".new").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)
                   ? 0
                   : GetLastError();
    }
    if (action == L"swap" || action == L"move") {
        if (!MoveFileW(path.c_str(), (path + L".old").c_str())) return GetLastError();
        if (action == L"move") return 0;
        return WriteAll(path, NewText()) ? 0 : GetLastError();
    }
    if (action == L"delete") return DeleteFileW(path.c_str()) ? 0 : GetLastError();
    return ERROR_INVALID_FUNCTION;
}
const bool g_child = [] {
    const wchar_t* flag = wcsstr(GetCommandLineW(), L"--outside-child ");
    if (!flag) return false;
    const std::wstring rest = flag + wcslen(L"--outside-child ");
    const size_t space = rest.find(L' ');
    const size_t open = rest.find(L'"', space), close = rest.rfind(L'"');
    if (space == std::wstring::npos || open == std::wstring::npos || close <= open)
        ExitProcess(ERROR_BAD_ARGUMENTS);
    ExitProcess(RunChildAction(rest.substr(0, space), rest.substr(open + 1, close - open - 1)));
    return true;
}();

// The Unix name of a file of drive Z: ("Z:\\tmp\\a" is "/tmp/a"), else of the
// prefix's drive C: as Wine lays it out.
std::wstring UnixName(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    std::wstring full = buffer;
    std::wstring out;
    if (full.size() > 2 && (full[0] == L'Z' || full[0] == L'z')) {
        out = full.substr(2);
    } else {
        char* prefix = getenv("WINEPREFIX");
        const std::string p = prefix ? prefix : "";
        out = std::wstring(p.begin(), p.end()) + L"/drive_c" + full.substr(2);
    }
    for (wchar_t& ch : out)
        if (ch == L'\\') ch = L'/';
    return out;
}

// The old text: "old 0".."old 29".
std::string OldText() {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "old " + std::to_string(i) + "\r\n";
    return text;
}

// No dialog ever waits: Save As counts and cancels.
int g_saveDialogs = 0;
bool CountSaveDialog(bool, documents::FileChoice*) {
    ++g_saveDialogs;
    return false;
}

class OutsideChanges : public testing_support::CFrameTest {
   protected:
    void SetUp() override {
        CFrameTest::SetUp();
        documents::SetFileDialogHook(&CountSaveDialog);
        g_saveDialogs = 0;
    }
    void TearDown() override {
        documents::SetFileDialogHook(nullptr);
        CFrameTest::TearDown();
    }
    // The frame, active, with `name` holding the old text open; settings
    // first (ExclusiveMode, ReloadUnmodified).
    HWND OpenOld(const std::wstring& name, bool exclusive, bool reloadUnmodified = true) {
        settings::WriteBool(settings::File::Setting, L"Setting", L"ExclusiveMode", exclusive);
        settings::WriteBool(settings::File::Setting, L"Setting", L"ReloadUnmodified", reloadUnmodified);
        if (!Create()) return nullptr;
        path_ = File(name, OldText());
        if (!frame_->OpenDocument(path_)) return nullptr;
        SendMessageW(frame_->Window(), WM_ACTIVATEAPP, TRUE, 0);
        Pump();
        return ActivePane();
    }
    DWORD Child(const wchar_t* action) {
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        const shell::CUniqueHandle child =
            job_.Start(exe, std::wstring(L" --outside-child ") + action + L" \"" + path_ + L"\"");
        return child ? job_.ExitCode(child.get(), 60000) : STILL_ACTIVE;
    }
    // The frame looks at its files as its timer does, for `ms` or until
    // `done`.
    void Watch(int ms, const std::function<bool()>& done = nullptr) {
        const ULONGLONG end = GetTickCount64() + ULONGLONG(ms);
        while (GetTickCount64() < end && !(done && done())) {
            SendMessageW(frame_->Window(), MPF_CHECK_FILES, 0, 0);
            Pump();
            Sleep(20);
        }
    }
    // The message texts shown, one per line.
    static std::wstring Shown() {
        std::wstring all;
        for (const auto& m : Messages()) all += m.text + L"\n";
        return all;
    }
    std::wstring Asked(UINT id) { return shell::FormatLanguageString(id, {path_}) + L"\n"; }
    documents::CSplitTextView* View() {
        return documents::CSplitTextView::FromWindow(frame_->ActiveDocument());
    }

    std::wstring path_;
    testing_support::CChildJob job_;
};

// Unmodified, the document reads the new text at once, its caret and first
// visible line where they were; in place or from a private copy.
TEST_F(OutsideChanges, AnUnmodifiedDocumentReloadsKeepingCaretAndFirstLine) {
    const struct {
        bool exclusive;
        const wchar_t* action;
    } kCases[] = {{false, L"write"}, {true, L"swap"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.action);
        const HWND pane = OpenOld(L"a.txt", c.exclusive);
        ASSERT_NE(pane, nullptr);
        SetCaret(pane, 20, 3);
        SendMessageW(pane, MPM_FIRSTVISIBLE, 12, 0);
        ASSERT_EQ(Child(c.action), 0u);
        Watch(1200);
        EXPECT_EQ(Line(pane, 0), L"new 0");
        EXPECT_EQ(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0), 41);
        EXPECT_EQ(CaretOf(pane), (Position{20, 3}));
        EXPECT_EQ(SendMessageW(pane, MPM_FIRSTVISIBLE, WPARAM(-1), 0), 12);
        EXPECT_EQ(SendMessageW(pane, MPM_ISMODIFIED, 0, 0), 0);
        EXPECT_EQ(Shown(), L"");
        frame_.reset();
        Messages().clear();
        DeleteFileW((path_ + L".old").c_str());
    }
}

// With changes of its own the document asks once: Yes reads the file (the
// changes are gone), No keeps the changes and asks no more.
TEST_F(OutsideChanges, AModifiedDocumentAsksOnceAndDoesWhatTheAnswerSays) {
    const struct {
        int answer;
        const wchar_t* firstLine;
        LRESULT modified;
    } kCases[] = {{IDYES, L"new 0", 0}, {IDNO, L"typed old 0", 1}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.answer);
        const HWND pane = OpenOld(L"b.txt", false);
        ASSERT_NE(pane, nullptr);
        Type(pane, L"typed ");
        Answers() = {c.answer};
        ASSERT_EQ(Child(L"write"), 0u);
        Watch(1500);
        EXPECT_EQ(Shown(), Asked(IDS_FILE_CHANGED_MODIFIED));
        EXPECT_EQ(Line(pane, 0), c.firstLine);
        EXPECT_EQ(View()->IsModified(), c.modified);
        EXPECT_EQ(TabText(int(frame_->ActiveIndex())), c.modified ? L"b.txt *" : L"b.txt");
        frame_.reset();
        Messages().clear();
    }
}

// Asking waits for the frame to be active: a change seen while another
// program is in front is asked about on the next activation, once.
TEST_F(OutsideChanges, AskingWaitsForTheFrameToBeActive) {
    const HWND pane = OpenOld(L"c.txt", false);
    ASSERT_NE(pane, nullptr);
    Type(pane, L"typed ");
    SendMessageW(frame_->Window(), WM_ACTIVATEAPP, FALSE, 0);
    ASSERT_EQ(Child(L"write"), 0u);
    Watch(1000);
    EXPECT_EQ(Shown(), L"");
    Answers() = {IDNO};
    SendMessageW(frame_->Window(), WM_ACTIVATEAPP, TRUE, 0);
    Watch(600);
    EXPECT_EQ(Shown(), Asked(IDS_FILE_CHANGED_MODIFIED));
    EXPECT_EQ(Line(pane, 0), L"typed old 0");
}

// While a macro runs (it holds one undo step open) nothing is read again:
// the change is taken once the macro has ended.
TEST_F(OutsideChanges, NothingIsReadAgainWhileAMacroRuns) {
    const HWND pane = OpenOld(L"m.txt", false);
    ASSERT_NE(pane, nullptr);
    std::thread writer([this] {
        Sleep(100);
        WriteAll(path_, NewText());
    });
    frame_->PlayMacroText(L"App.Sleep 1500", L"m", 1);
    writer.join();
    EXPECT_EQ(Line(pane, 0), L"old 0");
    Watch(1500, [&] { return Line(pane, 0) == L"new 0"; });
    EXPECT_EQ(Line(pane, 0), L"new 0");
    EXPECT_EQ(Shown(), L"");
}

// Tools > Options > File "Notice files changed by other programs" unticked:
// nothing is read again, asked or marked.
TEST_F(OutsideChanges, NothingIsNoticedWhenTheSettingIsOff) {
    settings::WriteBool(settings::File::Setting, L"Setting", L"DetectChanges", false);
    const HWND pane = OpenOld(L"n.txt", false);
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(Child(L"write"), 0u);
    Watch(1000);
    ASSERT_EQ(Child(L"delete"), 0u);
    Watch(1000);
    EXPECT_EQ(Line(pane, 0), L"old 0");
    EXPECT_EQ(TabText(int(frame_->ActiveIndex())), L"n.txt");
    EXPECT_EQ(Shown(), L"");
}

// Gone from its name (deleted, or moved away from under an in-place
// document): the tab says so, the text stays, Save writes it back.
TEST_F(OutsideChanges, AFileGoneKeepsTheTextMarksTheTabAndSaveWritesItBack) {
    const struct {
        bool exclusive;
        const wchar_t* action;
    } kCases[] = {{false, L"delete"}, {true, L"move"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.action);
        const HWND pane = OpenOld(L"d.txt", c.exclusive);
        ASSERT_NE(pane, nullptr);
        ASSERT_EQ(Child(c.action), 0u);
        Watch(1000);
        EXPECT_EQ(TabText(int(frame_->ActiveIndex())), L"d.txt " + shell::LanguageString(IDS_TAB_DELETED));
        EXPECT_TRUE(View()->FileMissing());
        SendMessageW(frame_->ActiveDocument(), MPD_UPDATE, 0, 0);
        EXPECT_TRUE(frame_->CommandStates().Find(ID_FILE_SAVE)->enabled);
        EXPECT_EQ(Line(pane, 29), L"old 29");
        Command(ID_FILE_SAVE);
        EXPECT_EQ(g_saveDialogs, 0);
        EXPECT_EQ(ReadFileText(path_), OldText());
        Watch(800);
        EXPECT_EQ(TabText(int(frame_->ActiveIndex())), L"d.txt");
        EXPECT_EQ(Shown(), L"");
        frame_.reset();
        Messages().clear();
        DeleteFileW((path_ + L".old").c_str());
    }
}

// A log appended to 1000 times while open: one question (asked by the
// setting, or for a document with changes), after the appends settled,
// and the whole log read.
TEST_F(OutsideChanges, ABurstOfAppendsIsAskedAboutOnce) {
    const struct {
        bool typed;
        UINT asked;
    } kCases[] = {{false, IDS_FILE_CHANGED}, {true, IDS_FILE_CHANGED_MODIFIED}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.typed);
        const HWND pane = OpenOld(L"e.log", false, false);
        ASSERT_NE(pane, nullptr);
        if (c.typed) Type(pane, L"typed ");
        Answers() = {IDYES, IDYES, IDYES};
        wchar_t exe[MAX_PATH];
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        const shell::CUniqueHandle child = job_.Start(exe, L" --outside-child append \"" + path_ + L"\"");
        ASSERT_TRUE(child);
        Watch(60000, [&] { return WaitForSingleObject(child.get(), 0) == WAIT_OBJECT_0; });
        EXPECT_EQ(job_.ExitCode(child.get(), 0), 0u);
        Watch(1500);
        EXPECT_EQ(Shown(), Asked(c.asked));
        EXPECT_EQ(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0), 1031);
        EXPECT_EQ(Line(pane, 1029), L"log 999");
        frame_.reset();
        Messages().clear();
    }
}

// Renamed over an in-place document by another program: the file the
// document reads from is open, and this host refuses to replace an open file
// whatever its sharing (ERROR_ACCESS_DENIED); the document and the file stay
// as they were. Moving the old file aside first and writing anew succeeds,
// is noticed, and the document never read a byte of the new file before.
TEST_F(OutsideChanges, ReplacingAnInPlaceDocumentsFile) {
    const HWND pane = OpenOld(L"f.txt", true);
    ASSERT_NE(pane, nullptr);
    Type(pane, L"typed ");
    EXPECT_EQ(Child(L"replace"), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadFileText(path_), OldText());
    Watch(800);
    EXPECT_EQ(Shown(), L"");
    Answers() = {IDNO};
    ASSERT_EQ(Child(L"swap"), 0u);
    Watch(1200);
    EXPECT_EQ(Shown(), Asked(IDS_FILE_CHANGED_MODIFIED));
    EXPECT_EQ(Line(pane, 0), L"typed old 0");
    EXPECT_EQ(Line(pane, 29), L"old 29");
    DeleteFileW((path_ + L".new").c_str());
    frame_.reset();
    DeleteFileW((path_ + L".old").c_str());
}

// A Unix process ignores the sharing and rewrites the file an in-place
// document reads from: cut to nothing (`truncate -s 0`) or written over with
// longer text (`cp`). Without changes of its own the document reads the file
// again; with them it says that lines not yet read may now show the other
// program's text or none, and kept, Save asks for a name: the file stays as
// the other program wrote it.
TEST_F(OutsideChanges, AUnixProcessRewritingAnInPlaceFile) {
    const std::wstring longer = File(L"longer.txt", NewText() + NewText());
    const struct {
        const wchar_t* command;
        bool cut;  // else written over with the longer text
        bool typed;
        LRESULT lines;
    } kCases[] = {{L"/usr/bin/truncate -s 0 \"", true, false, 1},
                  {L"/usr/bin/truncate -s 0 \"", true, true, 31},
                  {L"/usr/bin/cp \"*\" \"", false, false, 81},
                  {L"/usr/bin/cp \"*\" \"", false, true, 31}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.command << c.typed);
        const HWND pane = OpenOld(L"u.txt", true);
        ASSERT_NE(pane, nullptr);
        if (c.typed) Type(pane, L"typed ");
        Answers() = {IDNO};
        std::wstring line = c.command;
        if (const size_t star = line.find(L'*'); star != std::wstring::npos)
            line.replace(star, 1, UnixName(longer));
        line += UnixName(path_) + L"\"";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(
            CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        // The wait may end as the Unix program starts: its work shows in the file.
        const std::string written = c.cut ? "" : NewText() + NewText();
        for (int i = 0; i < 100 && ReadFileText(path_) != written; ++i) Sleep(50);
        ASSERT_EQ(ReadFileText(path_), written);
        Watch(1200);
        EXPECT_EQ(Shown(), c.typed ? Asked(IDS_FILE_REWRITTEN) : L"");
        EXPECT_EQ(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0), c.lines);
        g_saveDialogs = 0;
        Command(ID_FILE_SAVE);
        EXPECT_EQ(g_saveDialogs, c.typed ? 1 : 0);
        if (c.typed) EXPECT_EQ(ReadFileText(path_), written);
        frame_.reset();
        Messages().clear();
    }
}

// What the editor saved itself is no change from outside: nothing asked,
// nothing read again (the undo stays), in place or not.
TEST_F(OutsideChanges, ASaveByTheEditorIsNoChange) {
    for (bool exclusive : {true, false}) {
        SCOPED_TRACE(exclusive);
        const HWND pane = OpenOld(L"g.txt", exclusive, false);
        ASSERT_NE(pane, nullptr);
        Type(pane, L"typed ");
        Command(ID_FILE_SAVE);
        EXPECT_EQ(ReadFileText(path_), "typed " + OldText());
        Watch(1000);
        EXPECT_EQ(Shown(), L"");
        EXPECT_EQ(SendMessageW(pane, MPM_CANUNDO, 0, 0), 1);
        frame_.reset();
        Messages().clear();
    }
}

// File > Reload: disabled for an untitled document; with changes it asks,
// and only Yes reads the file again.
TEST_F(OutsideChanges, ReloadCommandAsksForAModifiedDocument) {
    settings::WriteBool(settings::File::Setting, L"Setting", L"ExclusiveMode", false);
    ASSERT_NE(Create(), nullptr);
    SendMessageW(frame_->ActiveDocument(), MPD_UPDATE, 0, 0);
    EXPECT_FALSE(frame_->CommandStates().Find(ID_FILE_RELOAD)->enabled);
    path_ = File(L"h.txt", OldText());
    ASSERT_NE(frame_->OpenDocument(path_), nullptr);
    const HWND pane = ActivePane();
    ASSERT_NE(pane, nullptr);
    SendMessageW(frame_->ActiveDocument(), MPD_UPDATE, 0, 0);
    EXPECT_TRUE(frame_->CommandStates().Find(ID_FILE_RELOAD)->enabled);
    settings::WriteBool(settings::File::Setting, L"Setting", L"DetectChanges", false);
    ASSERT_TRUE(testing_support::WriteFileText(path_, NewText()));
    const struct {
        int answer;
        const wchar_t* firstLine;
    } kCases[] = {{IDNO, L"typed old 0"}, {IDYES, L"new 0"}};
    Type(pane, L"typed ");
    for (const auto& c : kCases) {
        Answers() = {c.answer};
        Messages().clear();
        Command(ID_FILE_RELOAD);
        EXPECT_EQ(Shown(), Asked(IDS_RELOAD_MODIFIED));
        EXPECT_EQ(Line(pane, 0), c.firstLine);
    }
    Messages().clear();
    Command(ID_FILE_RELOAD);  // unmodified: read again without asking
    EXPECT_EQ(Shown(), L"");
}

}  // namespace
