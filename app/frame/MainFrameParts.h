// What the main frame's files share: their includes and small helpers.
// MainFrame.cpp: construction and command routing; MainFrameBars.cpp:
// creation, layout and bars; MainFrameDocuments.cpp: documents, the recent
// list, messages from outside; MainFrameWindows.cpp: full screen, the
// clipboard monitor, tear-off menus, dialogs, find and replace;
// MainFrameHost.cpp: message-loop hooks, IUpdateUI, IDevEnv, plug-ins and
// external tools. Not for use outside the frame.
#pragma once

#include "MainFrame.h"

#include <commctrl.h>
#include <shellapi.h>
#include <commdlg.h>

#include <algorithm>

#include "ColorScheme.h"
#include "CommandIds.h"
#include "CommandLine.h"
#include "DialogIds.h"
#include "Dpi.h"
#include "Document.h"
#include "FileDialogEx.h"
#include "InputDialog.h"
#include "Paths.h"
#include "SplitTextView.h"
#include "SyntaxList.h"
#include "TextView.h"
#include "EditProtocol.h"
#include "LongWork.h"
#include "MenuDialog.h"
#include "MessageSink.h"
#include "OptionsDialog.h"
#include "OutputWindow.h"
#include "PrintFrame.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "StartupMarks.h"
#include "SystemCalls.h"
#include "ToolBarResource.h"
#include "ToolRunner.h"
#include "Window.h"
#include "WindowPlacement.h"

namespace shell {
namespace {

constexpr int kTabsId = 100, kStatusId = 101, kRebarId = 102, kToolBarId = 103;
// The look at the documents' files (Setting/DetectChanges): how often.
constexpr UINT_PTR kFileCheckTimer = 1;
constexpr UINT kFileCheckMs = 400;

// The frame's timer set by its first idle pass: what a start does that can
// wait until the window has painted and the program first waits for input
// (the plug-ins, the look for what interrupted saves left). A timer, not a
// posted message: it comes only once the queue has run empty.
constexpr UINT_PTR kAfterFirstPaintTimer = 0x4D50;

// Status-bar parts, left to right, by pane identifier.
const std::vector<UINT> kStatusOrder = {0, 10, 9, 1, 2, 3, 4, 8, 7, 6, 5};

inline bool SameAsciiPath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = wchar_t(x + 32);
        if (y >= L'A' && y <= L'Z') y = wchar_t(y + 32);
        if (x != y) return false;
    }
    return true;
}

// The whole of a small file, empty when it cannot be read.
inline std::string FileBytes(const std::wstring& path) {
    const CUniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return std::string();
    std::string bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 && size.QuadPart < (16 << 20)) {
        bytes.resize(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
        bytes.resize(got);
    }
    return bytes;
}

// Identifiers the command-state table leaves to their menus: the recent,
// template, tool and macro entries and the menus' placeholders.
inline bool IsListEntry(UINT id) { return (id >= ID_TOOL_FIRST && id <= ID_TEMPLATE_LAST) || id >= 65000; }

// Whether a bar is shown in the frame, whatever the frame's own visibility.
inline bool BarVisible(HWND bar) { return bar && (GetWindowLongPtrW(bar, GWL_STYLE) & WS_VISIBLE); }

// The frame's listener hook sees only these messages.
inline bool IsListenedMessage(UINT msg) {
    switch (msg) {
        case WM_CREATE:
        case WM_DESTROY:
        case WM_SIZE:
        case WM_ACTIVATE:
        case WM_CLOSE:
        case WM_SETTINGCHANGE:
        case WM_NOTIFY:
        case WM_DISPLAYCHANGE:
        case WM_COMMAND: return true;
    }
    return false;
}

// The state icons of the tabs: plain, modified, saved, read-only; 16 pixels
// at 96 dpi, drawn at the size of `dpi`.
inline HIMAGELIST MakeTabImages(int dpi) {
    const int size = dpi::Scale(16, dpi);
    auto px = [dpi](int v) { return dpi::Scale(v, dpi); };
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 0);
    if (!list) return nullptr;
    static const COLORREF kFill[] = {RGB(235, 235, 235), RGB(220, 60, 50), RGB(70, 170, 80),
                                     RGB(130, 130, 140)};
    const CWindowDc screen(nullptr);
    for (COLORREF fill : kFill) {
        const UniqueGdiT<HBITMAP> bmp(CreateCompatibleBitmap(screen.get(), size, size));
        {
            const CUniqueDc dc(CreateCompatibleDC(screen.get()));
            const CSelectScope selectBitmap(dc.get(), bmp.get());
            RECT all = {0, 0, size, size};
            const UniqueGdiT<HBRUSH> magenta(CreateSolidBrush(RGB(255, 0, 255)));
            FillRect(dc.get(), &all, magenta.get());
            // A sheet of paper with a folded corner, and the state as a dot.
            const UniqueGdiT<HPEN> pen(
                CreatePen(px(1) > 1 ? PS_INSIDEFRAME : PS_SOLID, px(1), RGB(90, 90, 100)));
            const UniqueGdiT<HBRUSH> white(CreateSolidBrush(RGB(255, 255, 255)));
            const UniqueGdiT<HBRUSH> dot(CreateSolidBrush(fill));
            const CSelectScope selectPen(dc.get(), pen.get());
            const CSelectScope selectWhite(dc.get(), white.get());
            const POINT sheet[] = {
                {px(3), px(1)}, {px(10), px(1)}, {px(13), px(4)}, {px(13), px(14)}, {px(3), px(14)}};
            Polygon(dc.get(), sheet, 5);
            const CSelectScope selectDot(dc.get(), dot.get());
            Ellipse(dc.get(), px(7), px(8), px(15), px(16));
        }  // deselected, then deleted: the bitmap is free to be added
        ImageList_AddMasked(list, bmp.get(), RGB(255, 0, 255));
    }
    return list;
}

}  // namespace

}  // namespace shell
