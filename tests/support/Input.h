// Input as the user gives it: keys and mouse clicks through the system's
// input queue, and modifiers held in the keyboard state for code that asks
// GetKeyState.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

namespace testing_support {

// A key pressed or let go of, to the focused window.
inline void RealKey(WORD vk, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof in);
}

// The cursor moved to a screen point, and the left button clicked there
// when asked.
inline void MouseAt(POINT screen, bool click) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG((screen.x * 65536 + cx / 2) / cx);
        i.mi.dy = LONG((screen.y * 65536 + cy / 2) / cy);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(click ? 3 : 1, in, sizeof(INPUT));
}

// These keys down in the keyboard state, and none once it goes.
class CHeldKeys {
   public:
    explicit CHeldKeys(std::initializer_list<int> keys) : CHeldKeys(std::vector<int>(keys)) {}
    explicit CHeldKeys(const std::vector<int>& keys) {
        BYTE state[256] = {};
        for (int k : keys) state[k] = 0x80;
        SetKeyboardState(state);
    }
    ~CHeldKeys() {
        BYTE state[256] = {};
        SetKeyboardState(state);
    }
    CHeldKeys(const CHeldKeys&) = delete;
    CHeldKeys& operator=(const CHeldKeys&) = delete;
};

}  // namespace testing_support
