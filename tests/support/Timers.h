// Acting inside a modal loop the test cannot return from: a thread timer
// fires in whatever message loop runs then (a macro's wait, a popup menu's,
// a dialog's).
#pragma once

#include <windows.h>

namespace testing_support {

// Runs `action` once, `ms` from now.
template <void (*action)()>
UINT_PTR After(UINT ms) {
    return SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        action();
    });
}

// Runs `action` every `ms` until it returns true (it found what it waits for).
template <bool (*action)()>
UINT_PTR Until(UINT ms) {
    return SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (action()) KillTimer(nullptr, id);
    });
}

}  // namespace testing_support
