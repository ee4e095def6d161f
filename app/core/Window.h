// The program's small window layer: one window-class template that every
// window of the program is built on (the owners of handles are Owners.h).
//
// BaseWindow<T>: the static procedure stores `this` (passed as the creation
// parameter) at WM_NCCREATE and forwards every later message to
// T::HandleMessage, and calls T::OnFinalMessage() (when T has one) after
// WM_NCDESTROY, the last use of the object. An exception never leaves the procedure (it would unwind
// through the system's frames): one thrown by a handler, out of memory in
// practice, ends that message with DefWindowProcW's answer.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "Owners.h"

namespace shell {

template <class T>
class BaseWindow {
public:
    HWND Window() const { return hwnd_; }

protected:
    BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;
    ~BaseWindow() = default;

    // Registers the class once per process (a second registration of the
    // same name fails harmlessly with ERROR_CLASS_ALREADY_EXISTS).
    static bool Register(const wchar_t* className, HICON icon = nullptr, UINT style = 0) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = style;
        wc.lpfnWndProc = &BaseWindow::Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hIcon = icon;
        wc.hIconSm = icon;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = className;
        return RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }

    // Null when creation fails; the window is then gone.
    HWND CreateAs(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int x, int y,
                  int width, int height, HWND parent = nullptr) {
        return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr,
                               GetModuleHandleW(nullptr), static_cast<T*>(this));
    }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        T* self = nullptr;
        if (msg == WM_NCCREATE) {
            self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            if (self) self->hwnd_ = hwnd;
        } else {
            self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
        LRESULT result = 0;
        try {
            result = self->HandleMessage(msg, wp, lp);
        } catch (...) {
            result = DefWindowProcW(hwnd, msg, wp, lp);
        }
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            // A window object that owns itself deletes itself here, after
            // its last message.
            if constexpr (requires { self->OnFinalMessage(); }) self->OnFinalMessage();
        }
        return result;
    }

    HWND hwnd_ = nullptr;
};

// The procedure of a dialog whose object was passed as the creation
// parameter: the object learns its window through `window` (cleared when it
// goes) and gets every message through `handle`. Nothing thrown escapes:
// out of memory, the message fails and the dialog lives on.
template <class T>
INT_PTR DialogProcedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp, HWND T::*window,
                        INT_PTR (T::*handle)(UINT, WPARAM, LPARAM)) {
    auto* self = reinterpret_cast<T*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<T*>(lp);
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        if (self) self->*window = dlg;
    }
    if (!self) return FALSE;
    try {
        const INT_PTR result = (self->*handle)(msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            self->*window = nullptr;
            SetWindowLongPtrW(dlg, DWLP_USER, 0);
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}

// A window's whole text.
inline std::wstring WindowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(size_t(n) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), n + 1)));
    return text;
}

// The edit field inside a combo box; null without one.
inline HWND ComboEdit(HWND combo) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (combo && GetComboBoxInfo(combo, &info) && info.hwndItem) return info.hwndItem;
    return combo ? FindWindowExW(combo, nullptr, L"Edit", nullptr) : nullptr;
}

}  // namespace shell
