// The window procedure of "MRPAD32" and its registration.
#include <windows.h>
#include <ole2.h>

#include <new>

#include "Allocators.h"
#include "EditProtocol.h"
#include "EditWindow.h"
#include "View.h"

namespace {

View* ViewOf(HWND hwnd) { return reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    View* view = ViewOf(hwnd);
    if (msg == WM_CREATE) {
        view = new View(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
        return view->OnCreate(reinterpret_cast<const CREATESTRUCTW*>(lp));
    }
    if (!view) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_DESTROY) {
        RevokeDragDrop(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete view;
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    bool handled = false;
    const LRESULT r = view->Message(msg, wp, lp, handled);
    return handled ? r : DefWindowProcW(hwnd, msg, wp, lp);
}

// No exception leaves the window procedure: running out of memory (or any
// other failure) fails the message with 0 (and WM_CREATE with -1, so the
// window is not created).
LRESULT CALLBACK EditWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        return Dispatch(hwnd, msg, wp, lp);
    } catch (...) {  // running out of memory; nothing else is thrown on purpose
        MessageBeep(MB_ICONHAND);
        return msg == WM_CREATE ? -1 : 0;
    }
}

}  // namespace

bool RegisterEditClass(HINSTANCE module) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = EditWndProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = MRPAD_CLASS_NAME;
    return RegisterClassExW(&wc) != 0;
}
