// Shared by the bar tests: a stand-in for the main frame (a top-level window
// that records what it is sent, hosts a rebar and answers MPF_RELAYOUT by
// laying the docking window out) and a script of steps run from a thread
// timer while a menu loop runs, so that no test waits on a menu.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "CommandBar.h"
#include "DockingWindow.h"

namespace bars_test {

class TestFrame {
   public:
    TestFrame();
    ~TestFrame();

    HWND Window() const { return hwnd_; }
    // A rebar along the top with the command bar over `menu` in its band.
    bool AddCommandBar(HMENU menu);
    bool AddDockingWindow() { return dock_.Create(hwnd_) && (Relayout(), true); }
    shell::CCommandBar& Bar() { return bar_; }
    shell::CDockingWindow& Dock() { return dock_; }
    HWND Rebar() const { return rebar_; }

    // The frame's client area below the rebar, and what Layout left of it.
    RECT Client() const;
    RECT Rest() const { return rest_; }
    int Relayouts() const { return relayouts_; }
    void Relayout();

    // The menu and command messages recorded: how many of `msg`, and their
    // wParams in order (the first, or `none`).
    bool NothingRecorded() const { return log_.empty(); }
    std::vector<WPARAM> Params(UINT msg) const;
    int Count(UINT msg) const { return int(Params(msg).size()); }
    WPARAM FirstParam(UINT msg, WPARAM none = WPARAM(-1)) const { return Count(msg) ? Params(msg)[0] : none; }

   private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    HWND rebar_ = nullptr;
    shell::CCommandBar bar_;
    shell::CDockingWindow dock_;
    std::vector<std::pair<UINT, WPARAM>> log_;
    RECT rest_ = {};
    int relayouts_ = 0;
};

// Dispatches whatever is queued for this thread.
void Pump();

// The open popup menu's window, or null.
HWND OpenMenuWindow();

// Steps run one per tick (every 20 ms) from a thread timer: a step returns
// true when done. Once the steps are over, or after `limitMs`, any menu
// still open is ended, so the test never hangs.
class MenuScript {
   public:
    using Step = std::function<bool()>;
    explicit MenuScript(std::vector<Step> steps, DWORD limitMs = 4000);
    ~MenuScript();
    bool Completed() const { return next_ == steps_.size() && !timedOut_; }

    static Step Wait();  // until a menu is open
    static Step Key(UINT vk, UINT message = WM_KEYDOWN);
    static Step End();

   private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD deadline_;
    bool timedOut_ = false;
    UINT_PTR timer_;
};

}  // namespace bars_test
