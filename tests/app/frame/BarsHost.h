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

struct Recorded {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
};

class TestFrame {
public:
    TestFrame();
    ~TestFrame();

    HWND Window() const { return hwnd_; }
    // A rebar along the top with the command bar over `menu` in its band.
    bool AddCommandBar(HMENU menu);
    bool AddDockingWindow();
    shell::CCommandBar& Bar() { return bar_; }
    shell::CDockingWindow& Dock() { return dock_; }
    HWND Rebar() const { return rebar_; }

    // The frame's client area below the rebar, and what Layout left of it.
    RECT Client() const;
    RECT Rest() const { return rest_; }
    int Relayouts() const { return relayouts_; }
    void Relayout();

    std::vector<Recorded>& Log() { return log_; }
    int Count(UINT msg) const;
    // wParam of the first recorded `msg`, or `none`.
    WPARAM FirstParam(UINT msg, WPARAM none = WPARAM(-1)) const;
    std::vector<WPARAM> Params(UINT msg) const;

private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    HWND rebar_ = nullptr;
    shell::CCommandBar bar_;
    shell::CDockingWindow dock_;
    std::vector<Recorded> log_;
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

    static Step WaitForMenu();
    static Step Key(UINT vk);
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
