#include "PrintJob.h"

namespace printing {

bool RunPrintJob(IPageJob& job, HDC printer, const std::wstring& docName, const wchar_t* output, int first,
                 int last) {
    if (!printer) return false;
    DOCINFOW info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = docName.c_str();
    info.lpszOutput = output && *output ? output : nullptr;
    if (StartDocW(printer, &info) <= 0) return false;
    job.BeginJob();
    bool ok = true;
    for (int page = first; page <= last && job.IsValidPage(page); ++page) {
        if (DEVMODEW* mode = job.PageDevMode(page)) ResetDCW(printer, mode);
        if (StartPage(printer) <= 0) {
            ok = false;
            break;
        }
        const bool drawn = job.BeforePage(page, printer) && job.DrawPage(page, printer);
        job.AfterPage(page, printer);
        if (EndPage(printer) <= 0 || !drawn) {
            ok = false;
            break;
        }
    }
    if (ok)
        ok = EndDoc(printer) > 0;
    else
        AbortDoc(printer);
    job.EndJob();
    return ok;
}

HENHMETAFILE RenderPage(IPageJob& job, HDC reference, int page) {
    return RenderPage(job, reference, GeometryOf(reference), page);
}

HENHMETAFILE RenderPage(IPageJob& job, HDC reference, const PageGeometry& geometry, int page) {
    if (!reference || !job.IsValidPage(page)) return nullptr;
    // The frame in 0.01 mm, from the page's size and resolution.
    if (geometry.dpiX <= 0 || geometry.dpiY <= 0) return nullptr;
    const RECT frame = {0, 0, MulDiv(geometry.width, 2540, geometry.dpiX),
                        MulDiv(geometry.height, 2540, geometry.dpiY)};
    HDC dc = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
    if (!dc) return nullptr;
    if (job.BeforePage(page, dc)) job.DrawPage(page, dc);
    job.AfterPage(page, dc);
    return CloseEnhMetaFile(dc);
}

}  // namespace printing
