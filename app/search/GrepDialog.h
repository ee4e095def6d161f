// Find in files, the user's side: the dialog that asks what to search for
// and where (CGrepDialog, modeless, one per frame), the progress dialog that
// shows the file being searched and offers Stop (CGrepCallBackDialog), and
// the worker thread that runs the searcher (CGrepThread).
//
// While a search runs the progress dialog keeps the main window disabled.
// The worker reaches the interface thread only through messages: the
// progress texts are set by WM_SETTEXT, text for the output window is sent
// to the progress dialog, which appends it on its own thread, and the end
// of the search is posted. The progress dialog joins the worker before it
// lets go of the searcher.
//
// The dialog knows the frame only through GrepHost. The texts are kept in
// history.ini, sections GrepFind, GrepFileType and GrepFolder.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "FindDialog.h"
#include "FindInFiles.h"
#include "Owners.h"

namespace search {

// Longest text of each of the dialog's three fields, in UTF-16 units.
constexpr int kMaxGrepText = 4096;

struct GrepHost {
    std::function<void(const std::wstring&)> status;  // status-bar message pane
    std::function<HWND()> showOutput;                 // the output window, made visible (null: none)
    std::function<void(const std::wstring&)> output;  // appends to the output window
    // Opens the finished result file (UTF-16LE) as a new result document
    // with `caption`; answers its pane, or null when it could not be opened.
    std::function<HWND(const std::wstring& path, const std::wstring& caption)> openResult;
};

// What the dialog's controls ask for.
struct GrepRequest {
    GrepUtil::GrepOptions options;
    std::wstring folder;
    bool toOutput = false;
};

// The worker: runs the searcher over the folder once. Joinable; the thread
// entry lets no exception out (the call-back still hears Finished).
class CGrepThread {
   public:
    CGrepThread(GrepUtil::CGreper* greper, std::wstring folder, GrepUtil::IGrepCallBack* callBack);
    ~CGrepThread();  // joins
    CGrepThread(const CGrepThread&) = delete;
    CGrepThread& operator=(const CGrepThread&) = delete;

    // Created suspended, then resumed; false when it cannot be created.
    bool Start();
    // Waits for the thread to end, meanwhile handling the messages other
    // threads send to this one (the worker may be sending one to us).
    void Join();
    bool Running() const { return bool(thread_); }

   private:
    static DWORD WINAPI Entry(void* self);
    GrepUtil::CGreper* greper_;
    std::wstring folder_;
    GrepUtil::IGrepCallBack* callBack_;
    shell::CUniqueHandle thread_;
};

// The progress dialog over the main window. It owns the searcher and the
// worker; `done` runs on the interface thread once the worker has ended and
// the main window is enabled again, with the searcher still alive.
class CGrepCallBackDialog : public GrepUtil::IGrepCallBack {
   public:
    using Done = std::function<void(const GrepUtil::CGreper& greper)>;
    CGrepCallBackDialog(HWND owner, Done done);
    ~CGrepCallBackDialog();  // stops and joins a running search
    CGrepCallBackDialog(const CGrepCallBackDialog&) = delete;
    CGrepCallBackDialog& operator=(const CGrepCallBackDialog&) = delete;

    // Makes and shows the dialog, disables the owner and starts the worker.
    // False (owner enabled, nothing started) on failure.
    bool Start(std::unique_ptr<GrepUtil::CGreper> greper, const std::wstring& folder);
    HWND Window() const { return window_; }
    bool Running() const { return window_.load() != nullptr; }
    // The Stop button.
    void Stop() { keepGoing_ = false; }
    // For the searcher's output: hands `text` to `append` on the interface
    // thread (synchronously); called from the worker.
    // Text is collected up to kPendingLimit units, and handed over before
    // each progress shown and at the end.
    void SendText(const std::wstring& text);
    static constexpr size_t kPendingLimit = 16384;
    void SetAppend(std::function<void(const std::wstring&)> append) { append_ = std::move(append); }

    // IGrepCallBack, from the worker.
    void Progress(const wchar_t* path, int total) override;
    bool KeepGoing() override { return keepGoing_; }
    void Finished() override;

   private:
    static INT_PTR CALLBACK Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Close();
    void Flush();  // worker

    HWND owner_;
    Done done_;
    std::atomic<HWND> window_{nullptr};  // read by the worker
    std::unique_ptr<GrepUtil::CGreper> greper_;
    std::unique_ptr<CGrepThread> thread_;
    std::function<void(const std::wstring&)> append_;
    std::wstring pending_;  // worker only
    // When the progress was last shown (worker only): it is shown at most
    // every kProgressTicks ms, not for every file, each showing being two
    // messages sent across threads and a repaint.
    static constexpr ULONGLONG kProgressTicks = 50;
    ULONGLONG progressShown_ = 0;
    std::atomic<bool> keepGoing_{true};
    std::atomic<bool> finished_{false};
};

class CGrepDialog {
   public:
    CGrepDialog(HWND owner, GrepHost host);
    ~CGrepDialog();
    CGrepDialog(const CGrepDialog&) = delete;
    CGrepDialog& operator=(const CGrepDialog&) = delete;

    // Makes the (hidden) dialog window; false when the template is missing.
    bool Create();
    HWND Window() const { return window_; }
    // Shows the dialog with the histories filled again, the folder (when
    // given) set, and the find text focused.
    void Show(const std::wstring& folder = L"");
    void Hide();
    bool IsVisible() const;

    GrepRequest Request() const;
    // OK: saves the texts in their histories and starts the search (the
    // dialog hides). False when there is nothing to search or it could not
    // start.
    bool Start();
    // The running search's progress dialog, or null.
    CGrepCallBackDialog* Progress() const {
        return progress_ && progress_->Running() ? progress_.get() : nullptr;
    }

   private:
    static INT_PTR CALLBACK Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnInit();
    bool OnCommand(UINT id, UINT code);
    void UpdateEnabling();
    void FillHistory(int field, const wchar_t* section);
    void Remember(int field, const wchar_t* section, const std::wstring& text);
    void ShowFragmentMenu();
    void Browse();
    void OnDone(const GrepUtil::CGreper& greper, bool toOutput);

    HWND owner_;
    GrepHost host_;
    HWND window_ = nullptr;
    bool placed_ = false;
    std::unique_ptr<CGrepCallBackDialog> progress_;
};

// Tests answer the folder picker: the chooser gets the dialog and the
// current folder and answers the chosen one (empty: cancelled). Null
// restores the platform's picker.
using FolderChooser = std::wstring (*)(HWND owner, const std::wstring& current);
void SetFolderChooser(FolderChooser chooser);
// The fragment popup of the find text (the find dialog's table); null
// restores the real menu.
void SetGrepFragmentChooser(FragmentChooser chooser);

}  // namespace search
