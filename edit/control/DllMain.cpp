// The library's entry point: loading registers the window class and
// initialises OLE; unloading undoes both and frees the process-wide pool.
#include <windows.h>
#include <ole2.h>

#include "Allocators.h"
#include "EditProtocol.h"
#include "EditWindow.h"
#include "View.h"

namespace {
HINSTANCE g_module = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            g_module = module;
            DisableThreadLibraryCalls(module);
            OleInitialize(nullptr);
            if (!RegisterEditClass(module)) {
                OleUninitialize();
                return FALSE;
            }
            return TRUE;
        case DLL_PROCESS_DETACH:
            // At process exit (reserved non-null) the system reclaims everything.
            if (!reserved) {
                UnregisterClassW(MRPAD_CLASS_NAME, g_module);
                OleUninitialize();
                FreeMarkFont();
                MempoolAlloctor::FreeAll();
            }
            return TRUE;
    }
    return TRUE;
}
