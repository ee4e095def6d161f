#include "MessageLoop.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace shell {
namespace {

std::mutex g_lock;
std::map<DWORD, CMessageLoop*> g_loops;

// Messages after which the queue running empty is not worth an idle pass:
// painting and the caret's blinking change no command state (a mouse move
// or a timer may: a drag selects).
bool IsIdleMessage(const MSG& msg) { return msg.message != WM_PAINT && msg.message != 0x0118 /* caret blink */; }

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { filters_.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) {
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { idle_.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) {
    idle_.erase(std::remove(idle_.begin(), idle_.end(), handler), idle_.end());
}

bool CMessageLoop::PreTranslate(MSG* msg) {
    // A filter may remove itself (or another) while it runs.
    const std::vector<CMessageFilter*> filters = filters_;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it)
        if (std::find(filters_.begin(), filters_.end(), *it) != filters_.end() && (*it)->PreTranslateMessage(msg))
            return true;
    return false;
}

void CMessageLoop::Idle() {
    const std::vector<CIdleHandler*> handlers = idle_;
    for (CIdleHandler* h : handlers)
        if (std::find(idle_.begin(), idle_.end(), h) != idle_.end()) h->OnIdle();
}

int CMessageLoop::Run() {
    MSG msg = {};
    bool idle = true;
    for (;;) {
        while (idle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            Idle();
            idle = false;
        }
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return int(msg.wParam);
        if (got < 0) {
            // A message the system could not deliver (a block another
            // process sent that is too large to copy): dropped. Only
            // WM_QUIT ends the loop, never a failure, which would lose the
            // user's unsaved work.
            Sleep(1);
            continue;
        }
        if (!PreTranslate(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (IsIdleMessage(msg)) idle = true;
    }
}

bool AddMessageLoop(CMessageLoop* loop) {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_loops.emplace(GetCurrentThreadId(), loop).second;
}

void RemoveMessageLoop() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_loops.erase(GetCurrentThreadId());
}

CMessageLoop* MessageLoopOfThread() {
    std::lock_guard<std::mutex> hold(g_lock);
    const auto it = g_loops.find(GetCurrentThreadId());
    return it == g_loops.end() ? nullptr : it->second;
}

}  // namespace shell
