// The interfaces between the program and its plug-ins. Plug-ins are built
// apart from the program, possibly by another compiler: the order of the
// virtual slots below is fixed for good (new slots only ever go at the end),
// no interface has a virtual destructor, and nothing but plain types and
// window handles crosses. All calls happen on the main thread.
//
// A plug-in library in "plugin\" exports, with the C calling convention:
//   void Plugin_Initialize(IDevEnv* env);   once, right after loading
//   void Plugin_SetMenu(HMENU menu);        optional: the plug-in menu
//   void Plugin_Uninitialize(IDevEnv* env); optional: once, when the frame
//                                           is destroyed (its window still exists)
// Nothing thrown may leave these or an interface method: the program stops
// a plug-in that lets an exception out and takes back what it registered.
#pragma once

#include <windows.h>

#ifndef MORROWPAD_CALL
#define MORROWPAD_CALL __stdcall
#endif

// Command states that the frame shows in its menus, tool bar and status bar
// at the next idle update. Each returns 1 once the frame's command-state
// table exists (an identifier that is not in it is ignored), 0 before.
struct IUpdateUI {
    virtual BOOL MORROWPAD_CALL EnableCommand(UINT id, BOOL enable, BOOL force = FALSE) = 0;       // 0
    virtual BOOL MORROWPAD_CALL CheckCommand(UINT id, int check, BOOL force = FALSE) = 0;          // 1: 0, 1, 2
    virtual BOOL MORROWPAD_CALL SetCommandDefault(UINT id, BOOL on, BOOL force = FALSE) = 0;       // 2
    virtual BOOL MORROWPAD_CALL SetCommandText(UINT id, const wchar_t* text, BOOL force = FALSE) = 0;  // 3
};

// The frame's view of one document window.
struct IView {
    virtual int MORROWPAD_CALL GetCaption(wchar_t* buffer, int size) = 0;  // 0: the window text; its length
    virtual HWND MORROWPAD_CALL GetActivePane() = 0;                       // 1: the pane that last had the focus
    virtual BOOL MORROWPAD_CALL IsModified() = 0;                          // 2
};

// Hooks a plug-in registers to see the frame's messages.
struct MessageListener {
    // WM_CREATE, WM_DESTROY, WM_SIZE, WM_ACTIVATE, WM_CLOSE, WM_SETTINGCHANGE,
    // WM_NOTIFY, WM_DISPLAYCHANGE and WM_COMMAND of the frame, newest
    // listener first. Setting *handled ends the frame's processing; the
    // result is then the message's result.
    virtual LRESULT MORROWPAD_CALL OnMessage(HWND frame, UINT msg, WPARAM wp, LPARAM lp, BOOL* handled) = 0;  // 0
    // Every queued message before dispatch, newest listener first; true consumes it.
    virtual BOOL MORROWPAD_CALL PreTranslateMessage(MSG* msg) = 0;  // 1
};

struct IdleListener {
    // Each idle pass, after the active document has reported its states.
    virtual void MORROWPAD_CALL OnIdle(IUpdateUI* ui) = 0;  // 0
};

// Element kinds of AddUpdateCommand.
enum : UINT {
    UPDUI_MENUPOPUP = 0x0001,
    UPDUI_MENUBAR = 0x0002,
    UPDUI_CHILDWINDOW = 0x0004,
    UPDUI_TOOLBAR = 0x0008,
    UPDUI_STATUSBAR = 0x0010,
};

// What the frame offers its plug-ins.
struct IDevEnv {
    virtual BOOL MORROWPAD_CALL AddPane(HWND window, const RECT* rc) = 0;                  // 0
    virtual BOOL MORROWPAD_CALL RemovePane(HWND window) = 0;                               // 1
    virtual HWND MORROWPAD_CALL ShowPane(HWND window, int show) = 0;                       // 2
    virtual HWND MORROWPAD_CALL GetMainWindow() = 0;                                       // 3
    virtual UINT MORROWPAD_CALL AllocateCommandId() = 0;                                   // 4
    virtual IView* MORROWPAD_CALL GetActiveView() = 0;                                     // 5
    virtual HWND MORROWPAD_CALL GetToolBar() = 0;                                          // 6
    virtual int MORROWPAD_CALL MessageBox(const wchar_t* text, UINT flags, const wchar_t* caption,
                                          HWND owner) = 0;                                 // 7
    virtual BOOL MORROWPAD_CALL AddMessageListener(MessageListener* listener) = 0;         // 8
    virtual BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener* listener) = 0;      // 9
    virtual BOOL MORROWPAD_CALL AddIdleListener(IdleListener* listener) = 0;               // 10
    virtual BOOL MORROWPAD_CALL AddIdleListener2(IdleListener* listener) = 0;              // 11
    virtual BOOL MORROWPAD_CALL AddUpdateCommand(UINT id, UINT kinds) = 0;                 // 12
    virtual BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT id) = 0;                          // 13
    virtual LRESULT MORROWPAD_CALL AppendOutput(const wchar_t* text, int length) = 0;      // 14
    virtual UINT MORROWPAD_CALL TrackMenu(HMENU menu, int x, int y, BOOL send) = 0;        // 15
    virtual LANGID MORROWPAD_CALL GetLanguage() = 0;                                       // 16
};
