// CRedirector: runs a child process with its standard output and standard
// error joined into one pipe, and hands what the child writes to the
// derived class as it arrives.
//
// Threads. Open and Close belong to the thread that owns the object (the
// main thread). One reader thread per child polls the pipe every 100 ms and
// calls the write slots on its own thread; a derived class that shows the
// text in a window sends it there with SendMessageW. So the owner must never
// block on the reader without handling sent messages: Close waits for the
// reader with a loop that lets sent messages in, and a reader caught in a
// SendMessageW to the waiting thread finishes its call and then sees the
// stop event.
//
// Close stops reading and lets go of the pipes and the process handle; the
// child itself is never terminated and goes on running on its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

namespace automation {

class CRedirector {
   public:
    CRedirector() = default;
    CRedirector(const CRedirector&) = delete;
    CRedirector& operator=(const CRedirector&) = delete;

    // Slots in this order. The destructor closes as Close does; a derived
    // class whose write slots touch its own members calls Close in its own
    // destructor, before those members go.
    virtual ~CRedirector();
    // Text the child wrote (ANSI, zero-terminated, never empty); nothing here.
    virtual void WriteStdOut(const char* text);
    // The redirector's own errors; nothing here.
    virtual void WriteStdError(const char* text);
    // The child ended (its pipe broke): "<COMMAND>: command process ended\r\n"
    // through WriteStdOut.
    virtual void OnChildEnded();
    // Stops the reader (waiting at most 5 s, letting sent messages in, then
    // terminating it with "Error: The redir thread is dead\r\n") and closes
    // every handle. Called on the reader thread itself it only lets go of
    // the pipes and the process; the reader then ends on its own.
    virtual void Close();
    // Close, then the end line (once per child) after what was held back.
    void Stop();

    // Starts `commandLine` (CreateProcessW, no application name, in the
    // current folder) with its standard handles on pipes and a hidden
    // console; a previous child is closed first. True when the reader thread
    // runs. On failure "Error: Redirect console error: <code in hex>\r\n"
    // and the system's reason go through WriteStdError.
    bool Open(const std::wstring& commandLine);

    // A tool is running while the redirector holds the write end of the
    // child's standard input: from Open until the child's pipe breaks, a
    // read fails, or Close.
    bool IsRunning() const { return stdinWrite_.load() != nullptr; }
    // The child's process identifier (0 before the first Open).
    DWORD ChildProcessId() const { return childId_; }
    // The code page of what the child writes (the ANSI code page unless
    // set): a piece never ends inside one of its two-byte characters.
    void SetCodePage(UINT codePage) { codePage_ = codePage; }

   protected:
    // One poll: reads every byte available (8190 at a time) and passes it to
    // WriteStdOut. 1 when nothing more is available; 0 when the pipe broke
    // (the child ended: OnChildEnded was called); -1 on another error
    // ("Error: Read stdout pipe error\r\n").
    int ReadStdOut();

   private:
    static DWORD WINAPI ReaderEntry(void* self);
    void ReaderLoop();
    void Emit(const char* bytes, DWORD count);
    // The length of `text` without an unfinished character at its end.
    size_t CompleteLength(const std::string& text) const;
    void ChildEnded();
    // Closes the pipes and the process handle; each is taken by whichever
    // thread gets to it first.
    void ReleaseChild();

    HANDLE thread_ = nullptr;         // owner thread only
    std::atomic<DWORD> threadId_{0};  // read by the reader in Close
    HANDLE stop_ = nullptr;           // manual reset; owner thread only
    std::atomic<HANDLE> stdinWrite_{nullptr};
    std::atomic<HANDLE> stdoutRead_{nullptr};
    std::atomic<HANDLE> process_{nullptr};
    DWORD childId_ = 0;
    UINT codePage_ = CP_ACP;
    // Reader thread only: what waits for the next read, a CR (so that a CR
    // LF split between two reads stays one line break) or the lead byte of
    // a two-byte character.
    std::string held_;
    bool endReported_ = false;
};

// Waits for `handle` at most `milliseconds`, handling the messages other
// threads send to this one meanwhile (posted messages stay queued). True
// when the handle was signalled.
bool WaitLettingSentMessagesIn(HANDLE handle, DWORD milliseconds);

}  // namespace automation
