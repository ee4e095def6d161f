// The page job: what the print-job loop and the preview ask of whoever
// draws the pages, and the two loops themselves: printing a range of pages
// on a printer and rendering one page into an enhanced metafile.
#pragma once

#include <windows.h>

#include <string>

#include "PageLayout.h"

namespace printing {

// Called per page `page` and device context `dc`. The slot order is fixed.
struct IPageJob {
    virtual void BeginJob() = 0;
    virtual void EndJob() = 0;
    // Lays the page out (when needed) and prepares `dc`; false when it cannot.
    virtual bool BeforePage(int page, HDC dc) = 0;
    virtual bool DrawPage(int page, HDC dc) = 0;
    // Restores what BeforePage changed in `dc`.
    virtual void AfterPage(int page, HDC dc) = 0;
    // A device mode for the page, or null to keep the job's.
    virtual DEVMODEW* PageDevMode(int page) = 0;
    virtual bool IsValidPage(int page) = 0;

   protected:
    ~IPageJob() = default;
};

// Prints pages first..last on the printer device context `printer`; the job
// ends at the first page that is not valid. `output`: null for the printer,
// "FILE:" or a file path for the driver's output. False when the document
// could not be started or a page failed (the document is then aborted).
bool RunPrintJob(IPageJob& job, HDC printer, const std::wstring& docName, const wchar_t* output, int first,
                 int last);

// Page `page` drawn into a new enhanced metafile made against `reference`
// (whose size and resolution it takes); null when the page is not valid or
// the metafile cannot be made. The caller deletes it.
HENHMETAFILE RenderPage(IPageJob& job, HDC reference, int page);
// The same on a page of `geometry` instead of the reference's own size.
HENHMETAFILE RenderPage(IPageJob& job, HDC reference, const PageGeometry& geometry, int page);

}  // namespace printing
