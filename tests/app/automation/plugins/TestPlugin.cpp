// Libraries for the loader's tests, one source built three ways:
//   COUNTER   a good plug-in: takes two command identifiers and tells them
//             in the output window; its hook throws when it sees its second
//             identifier as a command.
//   THROWS    registers a hook, a pane and a command state, then throws
//             from Plugin_Initialize.
//   NO_ENTRY  exports no entry point at all.
#include <windows.h>

#include <cwchar>
#include <stdexcept>

#include "DevEnv.h"

#if defined(COUNTER) || defined(THROWS)
namespace {

IDevEnv* g_env = nullptr;
UINT g_first = 0, g_second = 0;

struct Hook final : MessageListener {
    LRESULT MORROWPAD_CALL OnMessage(HWND, UINT msg, WPARAM wp, LPARAM, BOOL* handled) override {
        if (msg != WM_COMMAND) return 0;
        if (LOWORD(wp) == g_second) throw std::runtime_error("the hook fails");
        if (LOWORD(wp) != g_first) return 0;
        g_env->AppendOutput(L"Counter: first command.\r\n", -1);
        *handled = TRUE;
        return 0;
    }
    BOOL MORROWPAD_CALL PreTranslateMessage(MSG*) override { return FALSE; }
} g_hook;

}  // namespace

extern "C" __declspec(dllexport) void __cdecl Plugin_Initialize(IDevEnv* env) {
    g_env = env;
    g_first = env->AllocateCommandId();
    g_second = env->AllocateCommandId();
    env->AddMessageListener(&g_hook);
#ifdef THROWS
    HWND pane = CreateWindowExW(0, L"STATIC", L"Throws pane", WS_CHILD, 0, 0, 100, 100, env->GetMainWindow(),
                                nullptr, nullptr, nullptr);
    RECT rc = {10, 10, 200, 200};
    env->AddPane(pane, &rc);
    env->AddUpdateCommand(g_first, UPDUI_MENUPOPUP);
    wchar_t line[64];
    swprintf(line, 64, L"Throws: %u %u %p\r\n", g_first, g_second, static_cast<void*>(pane));
    env->AppendOutput(line, -1);
    throw std::runtime_error("initialisation fails");
#else
    wchar_t line[64];
    swprintf(line, 64, L"Counter: %u %u\r\n", g_first, g_second);
    env->AppendOutput(line, -1);
#endif
}

extern "C" __declspec(dllexport) void __cdecl Plugin_SetMenu(HMENU menu) {
    AppendMenuW(menu, MF_STRING, g_first, L"Counter: first");
}
#else
extern "C" __declspec(dllexport) int __cdecl NotAPlugin() { return 7; }
#endif
