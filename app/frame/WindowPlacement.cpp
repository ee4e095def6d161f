#include "WindowPlacement.h"

#include <cstdio>

#include "Settings.h"

namespace shell {
namespace {

RECT WorkArea() {
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

}  // namespace

std::optional<SavedPlacement> ParseWinPos(const std::wstring& text) {
    SavedPlacement p;
    long v[9];
    wchar_t tail = 0;
    // A tenth field or trailing text is not a placement either.
    const int got = swscanf(text.c_str(), L"%ld ,%ld ,%ld ,%ld ,%ld ,%ld ,%ld ,%ld ,%ld %lc", &v[0], &v[1],
                            &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &tail);
    if (got != 9 || v[0] < 0) return std::nullopt;
    p.show = UINT(v[0]);
    p.window = {LONG(v[1]), LONG(v[2]), LONG(v[3]), LONG(v[4])};
    p.workArea = {LONG(v[5]), LONG(v[6]), LONG(v[7]), LONG(v[8])};
    RECT common;
    if (IsRectEmpty(&p.window) || IsRectEmpty(&p.workArea) || !IntersectRect(&common, &p.window, &p.workArea))
        return std::nullopt;
    return p;
}

std::wstring FormatWinPos(const SavedPlacement& p) {
    wchar_t buf[160];
    swprintf(buf, 160, L"%u,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld", p.show, p.window.left, p.window.top,
             p.window.right, p.window.bottom, p.workArea.left, p.workArea.top, p.workArea.right,
             p.workArea.bottom);
    return buf;
}

RECT ScaledWindowRect(const SavedPlacement& p, const RECT& currentWork) {
    if (p.show == SW_SHOWMAXIMIZED) return p.window;
    // 64-bit products: a large saved width times a large work area stays exact.
    const long long savedW = p.workArea.right - p.workArea.left, savedH = p.workArea.bottom - p.workArea.top;
    const long long nowW = currentWork.right - currentWork.left, nowH = currentWork.bottom - currentWork.top;
    const long long w = (p.window.right - p.window.left) * nowW / savedW;
    const long long h = (p.window.bottom - p.window.top) * nowH / savedH;
    return {p.window.left, p.window.top, LONG(p.window.left + w), LONG(p.window.top + h)};
}

bool RestorePlacement(HWND frame) {
    std::wstring text;
    if (!settings::ReadString(settings::File::Setting, L"Setting", L"WinPos", text)) return false;
    const std::optional<SavedPlacement> p = ParseWinPos(text);
    if (!p) return false;
    if (p->show != SW_SHOWMAXIMIZED) {
        const RECT r = ScaledWindowRect(*p, WorkArea());
        SetWindowPos(frame, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_SHOWWINDOW);
    }
    // Only the two states the frame saves: a stored hidden or minimised
    // state would leave the one instance out of reach.
    ShowWindow(frame, p->show == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    return true;
}

void SavePlacement(HWND frame) {
    if (IsIconic(frame)) return;
    SavedPlacement p;
    p.show = IsZoomed(frame) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    GetWindowRect(frame, &p.window);
    p.workArea = WorkArea();
    RECT common;
    if (!IntersectRect(&common, &p.window, &p.workArea)) return;
    settings::WriteString(settings::File::Setting, L"Setting", L"WinPos", FormatWinPos(p).c_str());
}

}  // namespace shell
