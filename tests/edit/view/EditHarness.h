// The test harness for Edit.dll: a parent window that records notifications
// and controls created by class name, spoken to only through messages.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "EditProtocol.h"

// Shared by every test file of an executable: the parent class is registered
// once, with this one procedure, and all notifications land in one list.
struct Notice {
    HWND from;
    UINT_PTR id;
    UINT code;
    Position a, b, c;
};
inline std::vector<Notice> g_notices;

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) {
        const NMHDR* h = reinterpret_cast<const NMHDR*>(lp);
        Notice n = {h->hwndFrom, h->idFrom, h->code, {}, {}, {}};
        EXPECT_EQ(wp, h->idFrom);
        if (h->code == EN_MP_TEXTCHANGED) {
            const auto* t = reinterpret_cast<const TextChangedNotify*>(lp);
            n.a = t->start, n.b = t->oldEnd, n.c = t->newEnd;
        } else if (h->code == EN_MP_CARETMOVED) {
            const auto* t = reinterpret_cast<const CaretMovedNotify*>(lp);
            n.a = t->oldCaret, n.b = t->newCaret;
        }
        g_notices.push_back(n);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

class EditControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library_ = LoadLibraryW(MRPAD_LIBRARY_NAME);
        ASSERT_NE(library_, nullptr);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EditTestParent";
        RegisterClassW(&wc);
    }

    void SetUp() override {
        parent_ = CreateWindowExW(0, L"EditTestParent", L"test", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        edit_ = Create(7);
        g_notices.clear();
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND Create(int id) {
        HWND h = CreateWindowExW(0, MRPAD_CLASS_NAME, L"caption", WS_CHILD | WS_VISIBLE, 0, 0, 600, 400, parent_,
                                 reinterpret_cast<HMENU>(INT_PTR(id)), library_, nullptr);
        EXPECT_NE(h, nullptr);
        return h;
    }

    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0, HWND to = nullptr) {
        return SendMessageW(to ? to : edit_, msg, wp, lp);
    }
    template <typename A, typename B> LRESULT SendP(UINT msg, A* a, B* b, HWND to = nullptr) {
        return Send(msg, reinterpret_cast<WPARAM>(a), reinterpret_cast<LPARAM>(b), to);
    }

    LRESULT Insert(const std::wstring& s, Position* at = nullptr, HWND to = nullptr) {
        TextArg arg = {s.c_str(), int(s.size())};
        return SendP(MPM_INSERTTEXT, at, &arg, to);
    }
    std::wstring All(HWND to = nullptr) {
        RangeTextArg arg = {0, 0, INT_MAX, INT_MAX, nullptr, LB_LF};
        const int n = int(SendP(MPM_GETRANGETEXT, &arg, (void*)nullptr, to));
        std::wstring s(size_t(n), L'\0');
        arg.buffer = s.data();
        SendP(MPM_GETRANGETEXT, &arg, (void*)nullptr, to);
        return s;
    }
    std::wstring Line(int i, HWND to = nullptr) {
        const int n = int(Send(MPM_GETLINE, WPARAM(i), 0, to));
        std::wstring s(size_t(n) + 1, L'\0');
        Send(MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(s.data()), to);
        s.resize(size_t(n));
        return s;
    }
    Position Caret(HWND to = nullptr) {
        Position p = {-1, -1};
        SendP(MPM_GETCARETPOS, &p, (void*)nullptr, to);
        return p;
    }
    void Command(int id, HWND to = nullptr) { Send(WM_COMMAND, WPARAM(id), 0, to); }
    std::wstring Global(HGLOBAL g) {
        if (!g) return L"<null>";
        std::wstring s(static_cast<const wchar_t*>(GlobalLock(g)));
        GlobalUnlock(g);
        GlobalFree(g);
        return s;
    }

    static inline HMODULE library_ = nullptr;
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

// A control in one visible parent shared by a whole suite (under a bare X
// server without a window manager, hiding a shown top-level window waits two
// seconds), with a fixed-pitch font: cw_ and lh_ are a character's width and
// a line's height.
class ShownEditControl : public EditControl {
protected:
    static void SetUpTestSuite() {
        EditControl::SetUpTestSuite();
        shown_ = CreateWindowExW(0, L"EditTestParent", L"shown", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void SetUp() override {
        parent_ = shown_;
        edit_ = Create(7);
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_), 1);
        cw_ = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"x"), 1));
        lh_ = int(Send(MPM_LINEHEIGHT));
        ASSERT_GT(cw_, 0);
        ASSERT_GT(lh_, 0);
        g_notices.clear();
    }
    void TearDown() override {
        DestroyWindow(edit_);
        DeleteObject(font_);
    }

    static inline HWND shown_ = nullptr;
    HFONT font_ = nullptr;
    int cw_ = 0, lh_ = 0;
};


inline bool Same(Position a, Position b) { return a.line == b.line && a.column == b.column; }

// A 32-bit bitmap in a memory device context, read back pixel by pixel.
class Dib {
public:
    Dib(int w, int h) : w_(w), h_(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc_, bmp_);
    }
    ~Dib() {
        SelectObject(dc_, old_);
        DeleteObject(bmp_);
        DeleteDC(dc_);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    HDC Dc() const { return dc_; }
    void Fill(COLORREF c) {
        GdiFlush();
        const uint32_t p = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        std::fill(bits_, bits_ + size_t(w_) * size_t(h_), p);
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t p = bits_[size_t(y) * size_t(w_) + size_t(x)];
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
    // Pixels of colour c in r (clipped to the bitmap).
    int Count(RECT r, COLORREF c) const {
        int n = 0;
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, h_); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, w_); ++x) n += At(x, y) == c;
        return n;
    }

protected:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    uint32_t* bits_ = nullptr;
};

// What the control paints, captured through WM_PRINTCLIENT.
class Capture : public Dib {
public:
    explicit Capture(HWND h) : Dib(ClientSize(h).cx, ClientSize(h).cy) {
        SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
        GdiFlush();
    }
    void Save(const wchar_t* path) const {  // for looking at a failure
        BITMAPFILEHEADER fh = {};
        BITMAPINFOHEADER ih = {};
        ih.biSize = sizeof ih;
        ih.biWidth = w_;
        ih.biHeight = -h_;
        ih.biPlanes = 1;
        ih.biBitCount = 32;
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof ih;
        fh.bfSize = fh.bfOffBits + DWORD(w_ * h_ * 4);
        HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n;
        WriteFile(f, &fh, sizeof fh, &n, nullptr);
        WriteFile(f, &ih, sizeof ih, &n, nullptr);
        WriteFile(f, bits_, DWORD(w_ * h_ * 4), &n, nullptr);
        CloseHandle(f);
    }

private:
    static SIZE ClientSize(HWND h) {
        RECT rc;
        GetClientRect(h, &rc);
        return {rc.right, rc.bottom};
    }
};
