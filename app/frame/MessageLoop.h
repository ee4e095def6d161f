// The message loop of a thread, with the filters that see each message
// before it is dispatched and the idle handlers called whenever the queue
// runs empty. Loops are registered per thread in the module, so that a
// window created on a thread finds the loop that serves it.
#pragma once

#include <windows.h>

#include <vector>

namespace shell {

class CMessageFilter {
public:
    // True when the message was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* msg) = 0;

protected:
    ~CMessageFilter() = default;
};

class CIdleHandler {
public:
    virtual void OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    void AddMessageFilter(CMessageFilter* filter);
    void RemoveMessageFilter(CMessageFilter* filter);
    void AddIdleHandler(CIdleHandler* handler);
    void RemoveIdleHandler(CIdleHandler* handler);

    // Until WM_QUIT: its exit code.
    int Run();
    // Filters, newest first.
    bool PreTranslate(MSG* msg);
    void Idle();

private:
    std::vector<CMessageFilter*> filters_;
    std::vector<CIdleHandler*> idle_;
};

// The module's registry of loops, one per thread, guarded by a critical
// section.
bool AddMessageLoop(CMessageLoop* loop);
void RemoveMessageLoop();
CMessageLoop* MessageLoopOfThread();

}  // namespace shell
