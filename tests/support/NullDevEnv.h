// A host that offers nothing: every slot answers "no" or nothing. Stubs
// derive from it and override the slots they script.
#pragma once

#include "DevEnv.h"

namespace testing_support {

struct CNullDevEnv : IDevEnv {
    BOOL MORROWPAD_CALL AddPane(HWND, const RECT*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemovePane(HWND) override { return FALSE; }
    HWND MORROWPAD_CALL ShowPane(HWND, int) override { return nullptr; }
    HWND MORROWPAD_CALL GetMainWindow() override { return nullptr; }
    UINT MORROWPAD_CALL AllocateCommandId() override { return 0; }
    IView* MORROWPAD_CALL GetActiveView() override { return nullptr; }
    HWND MORROWPAD_CALL GetToolBar() override { return nullptr; }
    int MORROWPAD_CALL MessageBox(const wchar_t*, UINT, const wchar_t*, HWND) override { return IDOK; }
    BOOL MORROWPAD_CALL AddMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveMessageListener(MessageListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddIdleListener2(IdleListener*) override { return FALSE; }
    BOOL MORROWPAD_CALL AddUpdateCommand(UINT, UINT) override { return FALSE; }
    BOOL MORROWPAD_CALL RemoveUpdateCommand(UINT) override { return FALSE; }
    LRESULT MORROWPAD_CALL AppendOutput(const wchar_t*, int) override { return 0; }
    UINT MORROWPAD_CALL TrackMenu(HMENU, int, int, BOOL) override { return 0; }
    LANGID MORROWPAD_CALL GetLanguage() override { return 0x409; }
};

}  // namespace testing_support
