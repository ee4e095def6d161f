// The arithmetic of a printed page: the header, footer and body bands cut
// from the page for a given character height, the page count for a given
// number of rows, and the texts drawn in the header and footer. Everything
// here is in the target device's units and has no window or device behind
// it, so that it can be checked on its own.
#pragma once

#include <windows.h>

#include <string>

#include "Paths.h"

namespace printing {

struct PageRects {
    RECT page;
    RECT header;  // the top band: file name, date and time, a rule along its bottom
    RECT footer;  // the bottom band: a rule along its top, "(page/count)"
    RECT body;    // what the edit control lays the text out into
};

// A page's printable area in device units and the resolution it is
// measured in.
struct PageGeometry {
    int width = 0, height = 0;
    int dpiX = 0, dpiY = 0;
};
// What a device context reports (HORZRES, VERTRES, LOGPIXELSX/Y).
PageGeometry GeometryOf(HDC dc);

// A sheet of paper in 0.01 mm.
struct Paper {
    int width = 0, height = 0;
};
// The paper of a locale's LOCALE_IPAPERSIZE value: 1 Letter, 5 Legal, 8 A3,
// 9 A4; anything else A4.
Paper PaperOfLocale(int paperSize);
// The user's locale's paper.
Paper LocalePaper();
// The printable area of `paper` at `dpi`: the sheet less 6.35 mm (a quarter
// inch, what printers commonly cannot reach) on every side.
PageGeometry PaperGeometry(const Paper& paper, int dpi);

// The bands of a page of `width` x `height` device units for characters
// `charHeight` high: two character heights are kept above and below the
// body, and the header and footer bands take one and a half of them.
PageRects ComputePageRects(int width, int height, int charHeight);

// Whole rows of `lineHeight` that fit into a body `bodyHeight` high; at
// least one, so that a line taller than the body still makes progress.
int RowsPerPage(int bodyHeight, int lineHeight);

// Pages for `visibleRows` rows: rows / rows-per-page + 1, so a text that
// fills its last page exactly gets one further, empty page.
int PageCount(int visibleRows, int bodyHeight, int lineHeight);

// "(3/5)" for the 0-based page 2 of 5.
std::wstring FooterText(int page, int count);
// "2026/12/07 09:05:03".
std::wstring DateTimeText(const SYSTEMTIME& time);
// The part of `path` after its last slash or backslash.
using shell::FileNamePart;

// The preview's zoom: factors of the page fitted into the pane, in steps;
// a step beyond either end keeps the factor.
double ZoomIn(double zoom);
double ZoomOut(double zoom);
constexpr double kMinZoom = 0.5;
constexpr double kMaxZoom = 4.0;

}  // namespace printing
