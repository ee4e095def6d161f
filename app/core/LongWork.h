// Work on the main thread that may take longer than a moment (Replace All
// of a million matches, a search through a large file): once it has run
// for half a second the status bar says how far it is and that Esc stops
// it, the program's windows repaint, and an Esc pressed for the program
// stops it at the next tick. The work calls Tick as it goes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace shell {

class CLongWork {
   public:
    // `status` shows a text in the status bar; `progressText` is the string
    // whose "%d" becomes the percentage done.
    CLongWork(std::function<void(const std::wstring&)> status, UINT progressText);
    ~CLongWork();
    CLongWork(const CLongWork&) = delete;
    CLongWork& operator=(const CLongWork&) = delete;

    // `done` of `total` is done; false once the work is to stop (and on
    // every call after). Cheap: the clock is read every 64th call.
    bool Tick(int64_t done, int64_t total);
    bool Stopped() const { return stopped_; }
    // Whether the progress was shown (the work ran past the delay).
    bool Shown() const { return shown_; }

    // How long work runs before it shows progress (500 ms; tests set 0).
    static DWORD SetDelay(DWORD ms);

   private:
    void Show(int64_t done, int64_t total);

    std::function<void(const std::wstring&)> status_;
    UINT text_;
    DWORD start_;
    DWORD lastShown_ = 0;
    int lastPercent_ = -1;
    unsigned calls_ = 0;
    bool shown_ = false;
    bool stopped_ = false;
};

// Esc pressed for the program: the first key waiting in the thread's queue
// (taken from it), or the key held down now while one of the program's
// windows is in front.
bool EscapePressedForProgram();

}  // namespace shell
