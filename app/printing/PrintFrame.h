// The print frame: print preview and printing of the active document.
//
// The frame lays the document out on the printer's page through a hidden
// edit control of its own that shares the active control's document (the
// control's page messages do the drawing, see EditProtocol.h 1081/1082),
// and adds a header (file name left, date and time right, a rule below) and
// a footer (a rule above, "(page/count)") to every page. The preview renders
// the current page into an enhanced metafile made against the printer's
// device context and shows it in the preview pane; printing runs the same
// page job on a printer device context.
//
// The frame is a pop-up window owned by the main frame, which is disabled
// while the print frame exists. The object belongs to its window and is
// deleted with it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "PageLayout.h"
#include "PreviewPane.h"
#include "PrintJob.h"
#include "Printer.h"
#include "Window.h"

namespace printing {

// Commands of the print frame (its tool bar, resource 150).
enum PrintCommand : UINT {
    ID_PREVIEW_NEXT = 3000,
    ID_PREVIEW_PREV = 3001,
    ID_PREVIEW_ZOOM_IN = 3002,
    ID_PREVIEW_ZOOM_OUT = 3003,
    ID_PREVIEW_CLOSE = 3004,
    ID_PREVIEW_COLOR = 3005,
    ID_PREVIEW_WRAP = 3006,
    ID_PREVIEW_NUMBERS = 3007,
    ID_PREVIEW_PRINT = 57607,
};

class CPrintFrame final : public shell::BaseWindow<CPrintFrame>, public IPageJob {
   public:
    // The main frame's Print (57607, `preview` false) and Print Preview
    // (57609, `preview` true) over the edit control `pane`. The preview
    // stays open (maximised) and its window is returned; printing runs the
    // print command and destroys the frame (null is returned). Without a
    // default printer printing shows string 15108 in a stop box and makes
    // no frame; the preview lays the pages out on the locale's paper (A4,
    // Letter, ...) at the screen's resolution, and its Print shows 15108.
    static HWND Open(HWND mainFrame, HWND pane, bool preview);
    // A preview that lays pages out for `device` instead of a printer (it
    // stays the caller's and must outlive the frame): the preview without a
    // printer, for tests and metafile-only use. Shown normal, not maximised.
    static HWND OpenOnDevice(HWND mainFrame, HWND pane, HDC device);
    // The frame object of a print-frame window, or null.
    static CPrintFrame* FromWindow(HWND window);

    // Preview page `page`; false (and nothing changes) when it is not valid.
    bool ShowPage(int page);
    // The print command: the print dialog, then the print job.
    bool Print();
    // Prints every page on `printer` (a printer device context); `output` as
    // for RunPrintJob. The preview's page is shown again afterwards.
    bool PrintPages(HDC printer, const wchar_t* output);

    int CurrentPage() const { return current_; }
    int PageCount() const { return count_; }
    double Zoom() const { return preview_.Zoom(); }
    bool ColorOn() const { return color_; }
    const PageRects& Rects() const { return rects_; }
    const std::wstring& HeaderFileName() const { return fileName_; }
    const std::wstring& HeaderDateTime() const { return dateTime_; }
    HENHMETAFILE PreviewPage() const { return preview_.Page(); }
    HWND HiddenControl() const { return control_; }
    HWND ToolBar() const { return toolBar_; }
    HWND StatusBar() const { return statusBar_; }
    HWND PreviewWindow() const { return preview_.Window(); }
    HFONT PrinterFont() const { return font_.get(); }
    const CPrinter& Printer() const { return printer_; }
    // True for a preview without a printer, on the locale's paper.
    bool OnPaperOnly() const { return paperOnly_; }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnFinalMessage() { delete this; }

    // IPageJob
    void BeginJob() override {}
    void EndJob() override {}
    bool BeforePage(int page, HDC dc) override;
    bool DrawPage(int page, HDC dc) override;
    void AfterPage(int page, HDC dc) override;
    DEVMODEW* PageDevMode(int) override { return nullptr; }
    bool IsValidPage(int page) override { return page >= 0 && page < count_; }

   private:
    CPrintFrame(HWND mainFrame, HWND pane);
    ~CPrintFrame();
    static HWND Make(CPrintFrame* frame);

    LRESULT OnCreate();
    void OnDestroy();
    void Layout();
    bool OnCommand(UINT id);
    void OnToolTip(NMTTDISPINFOW* info);
    void UpdateStates();

    bool EnsureControl();
    void LayOut(HDC dc);
    void CountPages();
    void DrawBands(int page, HDC dc);
    void ToggleWrap();
    void ToggleNumbers();
    HDC ReferenceDc();
    bool HasLexer() const;
    bool Wrapping() const;

    HWND main_;
    HWND pane_;  // the active document's control
    CPrinter printer_;
    // Declared before the contexts it is selected into: it goes after them.
    shell::UniqueGdiT<HFONT> font_;
    shell::CUniqueDc printerDc_;  // the printer's, for previews
    HDC device_ = nullptr;        // the caller's, instead of a printer
    shell::CUniqueDc ownDevice_;  // screen-compatible, for a preview without a printer
    PageGeometry paper_;       // that preview's page
    bool paperOnly_ = false;
    HWND control_ = nullptr;
    HWND toolBar_ = nullptr;
    HWND statusBar_ = nullptr;
    CPreviewPane preview_;
    COLORREF colors_[80] = {};
    PageRects rects_ = {};
    int current_ = 0;
    int count_ = 1;
    int shown_ = 0;  // the page the hidden control shows
    int savedDc_ = 0;
    std::wstring fileName_;
    std::wstring dateTime_;
    bool color_ = false;
    bool printing_ = false;
    bool* alive_ = nullptr;
};

}  // namespace printing
