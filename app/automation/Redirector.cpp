// The reader thread polls rather than blocking in ReadFile: a blocking read
// could not be told to stop, and the stop event, the child's end and new
// output are all seen within one poll interval this way.
#include "Redirector.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "Owners.h"

namespace automation {
namespace {

constexpr DWORD kPollMilliseconds = 100;
constexpr DWORD kStopMilliseconds = 5000;
constexpr DWORD kReadChunk = 8190;

void CloseIfSet(HANDLE h) {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void CloseTaken(std::atomic<HANDLE>& field) { CloseIfSet(field.exchange(nullptr)); }

std::string Ansi(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The system's text for an error code, without its trailing line break.
std::string SystemReason(DWORD code) {
    char* buffer = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string reason = n && buffer ? std::string(buffer, n) : std::string();
    if (buffer) LocalFree(buffer);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

}  // namespace

bool WaitLettingSentMessagesIn(HANDLE handle, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds - elapsed, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;  // handles the sent messages; nothing posted is taken off the queue
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (r == WAIT_TIMEOUT) return false;
        return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    }
}

CRedirector::~CRedirector() { CRedirector::Close(); }

void CRedirector::WriteStdOut(const char*) {}

void CRedirector::WriteStdError(const char*) {}

void CRedirector::OnChildEnded() { WriteStdOut("<COMMAND>: command process ended\r\n"); }

void CRedirector::Stop() {
    Close();
    // The reader is gone: what it held and whether it told the end are ours.
    ChildEnded();
}

void CRedirector::Close() {
    if (threadId_ && GetCurrentThreadId() == threadId_) {
        ReleaseChild();  // the reader sees the pipe gone and ends; the owner joins it later
        return;
    }
    if (const shell::CUniqueHandle thread(std::exchange(thread_, nullptr)); thread) {
        if (stop_) SetEvent(stop_);
        if (!WaitLettingSentMessagesIn(thread.get(), kStopMilliseconds)) {
            WriteStdError("Error: The redir thread is dead\r\n");
            TerminateThread(thread.get(), DWORD(-2));
            WaitForSingleObject(thread.get(), kStopMilliseconds);
        }
    }
    CloseIfSet(std::exchange(stop_, nullptr));
    threadId_ = 0;
    ReleaseChild();
}

void CRedirector::ReleaseChild() {
    CloseTaken(process_);
    CloseTaken(stdinWrite_);
    CloseTaken(stdoutRead_);
}

bool CRedirector::Open(const std::wstring& commandLine) {
    Close();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    HANDLE parentRead = nullptr, parentWrite = nullptr;
    PROCESS_INFORMATION child = {};
    const HANDLE self = GetCurrentProcess();
    DWORD error = 0;
    auto step = [&error](BOOL ok) {
        if (!ok && !error) error = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        return !error;
    };
    std::wstring line = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    if (step(CreatePipe(&outRead, &outWrite, &inherit, 0)) &&
        step(DuplicateHandle(self, outWrite, self, &errWrite, 0, TRUE, DUPLICATE_SAME_ACCESS)) &&
        step(CreatePipe(&inRead, &inWrite, &inherit, 0)) &&
        step(DuplicateHandle(self, outRead, self, &parentRead, 0, FALSE, DUPLICATE_SAME_ACCESS)) &&
        step(DuplicateHandle(self, inWrite, self, &parentWrite, 0, FALSE, DUPLICATE_SAME_ACCESS))) {
        CloseIfSet(std::exchange(outRead, nullptr));
        CloseIfSet(std::exchange(inWrite, nullptr));
        startup.hStdInput = inRead;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        if (!line.empty() || step(FALSE))
            step(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr,
                                nullptr, &startup, &child));
    }
    for (HANDLE h : {outRead, outWrite, errWrite, inRead, inWrite}) CloseIfSet(h);
    CloseIfSet(child.hThread);
    if (!error) {
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        step(stop_ != nullptr);
    }
    if (!error) {
        process_ = child.hProcess;
        stdoutRead_ = parentRead;
        stdinWrite_ = parentWrite;
        childId_ = child.dwProcessId;
        held_.clear();
        endReported_ = false;
        DWORD id = 0;
        thread_ = CreateThread(nullptr, 0, &CRedirector::ReaderEntry, this, CREATE_SUSPENDED, &id);
        if (step(thread_ != nullptr)) {
            threadId_ = id;
            ResumeThread(thread_);
            return true;
        }
        Close();
    } else {
        CloseIfSet(child.hProcess);
        CloseIfSet(parentRead);
        CloseIfSet(parentWrite);
    }
    char text[64];
    std::snprintf(text, sizeof text, "Error: Redirect console error: %lx\r\n",
                  static_cast<unsigned long>(error));
    WriteStdError(text);
    WriteStdError((Ansi(commandLine) + ": " + SystemReason(error) + "\r\n").c_str());
    return false;
}

DWORD WINAPI CRedirector::ReaderEntry(void* self) {
    try {
        static_cast<CRedirector*>(self)->ReaderLoop();
    } catch (...) {  // out of memory: the reader ends, Close still joins it
        static_cast<CRedirector*>(self)->ReleaseChild();
    }
    return 0;
}

void CRedirector::ReaderLoop() {
    HANDLE waits[2] = {process_.load(), stop_};
    if (ReadStdOut() >= 1) {
        for (;;) {
            const DWORD w = WaitForMultipleObjects(2, waits, FALSE, kPollMilliseconds);
            if (w == WAIT_OBJECT_0) {
                // What is left; a pipe still held open by a grandchild does
                // not break, but the child has ended all the same.
                if (ReadStdOut() == 1) ChildEnded();
                break;
            }
            if (w != WAIT_TIMEOUT || ReadStdOut() < 1) break;
        }
    }
    ReleaseChild();
}

int CRedirector::ReadStdOut() {
    HANDLE pipe = stdoutRead_.load();
    if (!pipe) return 0;
    char buffer[kReadChunk + 1];
    for (;;) {
        if (stop_ && WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0)
            return 1;  // a flood must not hold Close up
        DWORD available = 0, got = 0;
        BOOL ok = PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
        if (ok && !available) return 1;
        if (ok) ok = ReadFile(pipe, buffer, std::min(available, kReadChunk), &got, nullptr);
        if (!ok) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) {
                ChildEnded();
                return 0;
            }
            WriteStdError("Error: Read stdout pipe error\r\n");
            return -1;
        }
        Emit(buffer, got);
    }
}

// Zero bytes become blanks (the slots take zero-terminated text).
void CRedirector::Emit(const char* bytes, DWORD count) {
    std::string text = std::move(held_);
    held_.clear();
    for (DWORD i = 0; i < count; ++i) text += bytes[i] ? bytes[i] : ' ';
    const size_t complete = CompleteLength(text);
    held_ = text.substr(complete);
    text.resize(complete);
    if (!text.empty() && text.back() == '\r') {
        held_.insert(0, 1, '\r');
        text.pop_back();
    }
    if (!text.empty()) WriteStdOut(text.c_str());
}

size_t CRedirector::CompleteLength(const std::string& text) const {
    CPINFO info = {};
    if (!GetCPInfo(codePage_, &info) || info.MaxCharSize != 2) return text.size();
    size_t i = 0;
    while (i < text.size()) {
        const size_t n = IsDBCSLeadByteEx(codePage_, BYTE(text[i])) ? 2 : 1;
        if (i + n > text.size()) break;
        i += n;
    }
    return i;
}

void CRedirector::ChildEnded() {
    if (!held_.empty()) WriteStdOut(held_.c_str());
    held_.clear();
    if (endReported_) return;
    endReported_ = true;
    // The end line first, then no longer running: whoever waits for the end
    // of the run finds the whole output, end line included.
    OnChildEnded();
    CloseTaken(stdinWrite_);
}

}  // namespace automation
