#include "PageLayout.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>

namespace printing {
namespace {

constexpr double kZoomSteps[] = {0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0};

}  // namespace

PageGeometry GeometryOf(HDC dc) {
    PageGeometry g;
    if (!dc) return g;
    g.width = GetDeviceCaps(dc, HORZRES);
    g.height = GetDeviceCaps(dc, VERTRES);
    g.dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    g.dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    return g;
}

Paper PaperOfLocale(int paperSize) {
    switch (paperSize) {
        case 1: return {21590, 27940};  // Letter
        case 5: return {21590, 35560};  // Legal
        case 8: return {29700, 42000};  // A3
        default: return {21000, 29700}; // A4
    }
}

Paper LocalePaper() {
    wchar_t text[8] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IPAPERSIZE, text, 8);
    return PaperOfLocale(n > 0 ? _wtoi(text) : 9);
}

PageGeometry PaperGeometry(const Paper& paper, int dpi) {
    constexpr int kUnprintable = 635;  // 0.01 mm on every side
    dpi = std::max(dpi, 1);
    PageGeometry g;
    g.dpiX = g.dpiY = dpi;
    g.width = std::max(MulDiv(paper.width - 2 * kUnprintable, dpi, 2540), 1);
    g.height = std::max(MulDiv(paper.height - 2 * kUnprintable, dpi, 2540), 1);
    return g;
}

PageRects ComputePageRects(int width, int height, int charHeight) {
    const int h = std::max(charHeight, 0);
    PageRects r;
    r.page = {0, 0, std::max(width, 0), std::max(height, 0)};
    const RECT& p = r.page;
    r.header = {p.left, p.top, p.right, p.top + 2 * h - h / 2};
    r.footer = {p.left, p.bottom - 2 * h + h / 2, p.right, p.bottom};
    r.body = {p.left, p.top + 2 * h, p.right, std::max<LONG>(p.bottom - 2 * h, p.top + 2 * h)};
    return r;
}

int RowsPerPage(int bodyHeight, int lineHeight) {
    if (lineHeight <= 0) return 1;
    return std::max(bodyHeight / lineHeight, 1);
}

// Every page holds rows (the last may hold fewer); an empty document has
// one page. A page after a last one filled exactly would repeat it, since
// page-down stops at the last row.
int PageCount(int visibleRows, int bodyHeight, int lineHeight) {
    const int perPage = RowsPerPage(bodyHeight, lineHeight);
    return visibleRows <= 0 ? 1 : (visibleRows + perPage - 1) / perPage;
}

std::wstring FooterText(int page, int count) {
    wchar_t text[48];
    std::swprintf(text, 48, L"(%d/%d)", page + 1, count);
    return text;
}

std::wstring DateTimeText(const SYSTEMTIME& t) {
    wchar_t text[48];
    std::swprintf(text, 48, L"%04d/%02d/%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

double ZoomIn(double zoom) {
    for (double step : kZoomSteps)
        if (step > zoom + 1e-9) return step;
    return zoom;
}

double ZoomOut(double zoom) {
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < zoom - 1e-9) return *it;
    return zoom;
}

}  // namespace printing
