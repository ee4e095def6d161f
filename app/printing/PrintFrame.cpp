#include "PrintFrame.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "DialogIds.h"
#include "EditProtocol.h"
#include "MessageSink.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "ToolBarResource.h"

namespace printing {
namespace {

constexpr wchar_t kFrameClass[] = L"MorrowpadPrintFrame";
constexpr UINT kToolBarId = 100, kStatusId = 101, kPreviewId = 102, kControlId = 103;
constexpr UINT kNoPrinterString = 15108, kPageStatusString = 3008;
constexpr COLORREF kPageBorder = RGB(0xC0, 0xC0, 0xC0);

// Tool tips when the language library has no text for a command.
const wchar_t* FallbackTip(UINT id) {
    switch (id) {
        case ID_PREVIEW_PRINT: return L"Print";
        case ID_PREVIEW_NEXT: return L"Next Page";
        case ID_PREVIEW_PREV: return L"Previous Page";
        case ID_PREVIEW_ZOOM_IN: return L"Zoom In";
        case ID_PREVIEW_ZOOM_OUT: return L"Zoom Out";
        case ID_PREVIEW_CLOSE: return L"Close";
        case ID_PREVIEW_COLOR: return L"Color";
        case ID_PREVIEW_WRAP: return L"Word Wrap";
        case ID_PREVIEW_NUMBERS: return L"Line Numbers";
        default: return L"";
    }
}

void ShowNoPrinter(HWND owner) {
    shell::ShowMessage(owner, shell::LanguageString(kNoPrinterString).c_str(), MB_OK | MB_ICONSTOP);
}

void Line(HDC dc, int x1, int y, int x2) {
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2, y);
}

}  // namespace

CPrintFrame::CPrintFrame(HWND mainFrame, HWND pane) : main_(mainFrame), pane_(pane) {}

CPrintFrame::~CPrintFrame() {
    if (alive_) *alive_ = false;
}

HWND CPrintFrame::Open(HWND mainFrame, HWND pane, bool preview) {
    if (!pane) return nullptr;
    auto* frame = new CPrintFrame(mainFrame, pane);
    if (!frame->printer_.OpenDefault()) {
        if (!preview) {
            delete frame;
            ShowNoPrinter(mainFrame);
            return nullptr;
        }
        // Without a printer the preview shows the locale's paper at the
        // screen's resolution; its Print says what is missing.
        frame->ownDevice_.reset(CreateCompatibleDC(nullptr));
        if (!frame->ownDevice_) {
            delete frame;
            ShowNoPrinter(mainFrame);
            return nullptr;
        }
        frame->paper_ = PaperGeometry(LocalePaper(), GetDeviceCaps(frame->ownDevice_.get(), LOGPIXELSY));
        frame->paperOnly_ = true;
    }
    HWND window = Make(frame);
    if (!window) return nullptr;
    if (preview) {
        ShowWindow(window, SW_SHOWMAXIMIZED);
        SetFocus(frame->preview_.Window());
        return window;
    }
    SendMessageW(window, WM_COMMAND, ID_PREVIEW_PRINT, 0);
    DestroyWindow(window);
    return nullptr;
}

HWND CPrintFrame::OpenOnDevice(HWND mainFrame, HWND pane, HDC device) {
    if (!pane || !device) return nullptr;
    auto* frame = new CPrintFrame(mainFrame, pane);
    frame->device_ = device;
    HWND window = Make(frame);
    if (window) ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

HWND CPrintFrame::Make(CPrintFrame* frame) {
    const HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAINFRAME));
    Register(kFrameClass, icon);
    bool alive = true;
    frame->alive_ = &alive;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
    HWND window = frame->CreateAs(kFrameClass, MORROWPAD_CAPTION, style, 0, CW_USEDEFAULT, CW_USEDEFAULT, 800,
                                  600, frame->main_);
    if (!window) {
        // Destroyed during creation, the object went with the window.
        if (alive) delete frame;
        return nullptr;
    }
    frame->alive_ = nullptr;
    return window;
}

CPrintFrame* CPrintFrame::FromWindow(HWND window) {
    wchar_t name[64] = {};
    if (!window || !GetClassNameW(window, name, 64) || std::wcscmp(name, kFrameClass) != 0) return nullptr;
    return reinterpret_cast<CPrintFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// ---------------------------------------------------------------------------
// The window

LRESULT CPrintFrame::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE:
            if (statusBar_) SendMessageW(statusBar_, WM_SIZE, wp, lp);
            Layout();
            return 0;
        case WM_SETFOCUS:
            if (preview_.Window()) SetFocus(preview_.Window());
            return 0;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp))) return 0;
            break;
        case WM_NOTIFY:
            if (reinterpret_cast<NMHDR*>(lp)->code == TTN_GETDISPINFOW) {
                OnToolTip(reinterpret_cast<NMTTDISPINFOW*>(lp));
                return 0;
            }
            return 0;
        case WM_CLOSE:
            // The main frame takes the activation back before this one goes.
            if (main_) EnableWindow(main_, TRUE);
            DestroyWindow(Window());
            return 0;
        case WM_DESTROY: OnDestroy(); return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

LRESULT CPrintFrame::OnCreate() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    toolBar_ = shell::CreateToolBarFromResource(Window(), GetModuleHandleW(nullptr), IDR_PRINT_TOOLBAR,
                                                IDB_PRINT_TOOLBAR, kToolBarId, WS_VISIBLE);
    statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                 Window(), reinterpret_cast<HMENU>(UINT_PTR(kStatusId)),
                                 GetModuleHandleW(nullptr), nullptr);
    preview_.Create(Window(), kPreviewId);
    Layout();
    ShowPage(0);
    if (main_) EnableWindow(main_, FALSE);
    return 0;
}

void CPrintFrame::OnDestroy() {
    if (main_) {
        EnableWindow(main_, TRUE);
        if (IsWindowVisible(main_)) SetActiveWindow(main_);
    }
}

void CPrintFrame::Layout() {
    RECT rc;
    GetClientRect(Window(), &rc);
    int top = 0, bottom = rc.bottom;
    if (toolBar_) {
        SIZE size = {};
        SendMessageW(toolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
        const int h = std::max<int>(size.cy, HIWORD(SendMessageW(toolBar_, TB_GETBUTTONSIZE, 0, 0)));
        MoveWindow(toolBar_, 0, 0, rc.right, h, TRUE);
        top = h;
    }
    if (statusBar_) {
        RECT sb;
        GetWindowRect(statusBar_, &sb);
        bottom -= sb.bottom - sb.top;
    }
    if (preview_.Window()) MoveWindow(preview_.Window(), 0, top, rc.right, std::max(bottom - top, 0), TRUE);
}

bool CPrintFrame::OnCommand(UINT id) {
    switch (id) {
        case ID_PREVIEW_PRINT: Print(); return true;
        case ID_PREVIEW_NEXT:
            if (current_ + 1 < count_) ShowPage(current_ + 1);
            return true;
        case ID_PREVIEW_PREV:
            if (current_ >= 1) ShowPage(current_ - 1);
            return true;
        case ID_PREVIEW_ZOOM_IN:
            preview_.SetZoom(ZoomIn(preview_.Zoom()));
            UpdateStates();
            return true;
        case ID_PREVIEW_ZOOM_OUT:
            preview_.SetZoom(ZoomOut(preview_.Zoom()));
            UpdateStates();
            return true;
        case ID_PREVIEW_CLOSE: PostMessageW(Window(), WM_CLOSE, 0, 0); return true;
        case ID_PREVIEW_COLOR:
            if (HasLexer()) {
                color_ = !color_;
                ShowPage(current_);
            }
            return true;
        case ID_PREVIEW_WRAP: ToggleWrap(); return true;
        case ID_PREVIEW_NUMBERS: ToggleNumbers(); return true;
    }
    return false;
}

void CPrintFrame::OnToolTip(NMTTDISPINFOW* info) {
    static std::wstring text;
    const UINT id = UINT(info->hdr.idFrom);
    text = shell::LanguageString(id);
    if (const size_t nl = text.find(L'\n'); nl != std::wstring::npos) text = text.substr(nl + 1);
    if (text.empty()) text = FallbackTip(id);
    info->lpszText = const_cast<wchar_t*>(text.c_str());
}

void CPrintFrame::UpdateStates() {
    if (toolBar_) {
        auto enable = [&](UINT id, bool on) {
            SendMessageW(toolBar_, TB_ENABLEBUTTON, id, MAKELPARAM(on, 0));
        };
        auto check = [&](UINT id, bool on) { SendMessageW(toolBar_, TB_CHECKBUTTON, id, MAKELPARAM(on, 0)); };
        enable(ID_PREVIEW_NEXT, current_ + 1 < count_);
        enable(ID_PREVIEW_PREV, current_ >= 1);
        enable(ID_PREVIEW_ZOOM_IN, ZoomIn(preview_.Zoom()) != preview_.Zoom());
        enable(ID_PREVIEW_ZOOM_OUT, ZoomOut(preview_.Zoom()) != preview_.Zoom());
        check(ID_PREVIEW_NUMBERS, control_ && SendMessageW(control_, MPM_VIEWPART, 0, -1) != 0);
        check(ID_PREVIEW_WRAP, Wrapping());
        enable(ID_PREVIEW_COLOR, HasLexer());
        check(ID_PREVIEW_COLOR, HasLexer() && color_);
    }
    if (statusBar_) {
        const std::wstring text = shell::FormatLanguageString(
            kPageStatusString, {std::to_wstring(current_ + 1), std::to_wstring(count_)});
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

// ---------------------------------------------------------------------------
// Pages

HDC CPrintFrame::ReferenceDc() {
    if (device_) return device_;
    if (paperOnly_) return ownDevice_.get();
    if (!printerDc_) printerDc_.reset(printer_.CreateDc());
    return printerDc_.get();
}

bool CPrintFrame::HasLexer() const { return pane_ && SendMessageW(pane_, MPM_GETLEXER, 0, 0) != 0; }

bool CPrintFrame::Wrapping() const { return control_ && SendMessageW(control_, MPM_GETWRAPMODE, 0, 0) != 0; }

bool CPrintFrame::ShowPage(int page) {
    if (!IsValidPage(page)) return false;
    const HDC reference = ReferenceDc();
    HENHMETAFILE metafile =
        paperOnly_ ? RenderPage(*this, reference, paper_, page) : RenderPage(*this, reference, page);
    if (!metafile) return false;
    current_ = page;
    preview_.SetPage(metafile, rects_.page.right - rects_.page.left, rects_.page.bottom - rects_.page.top);
    UpdateStates();
    return true;
}

bool CPrintFrame::EnsureControl() {
    if (control_) return true;
    if (!pane_ || !IsWindow(pane_)) return false;
    control_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD, 0, 0, 0, 0, Window(),
                               reinterpret_cast<HMENU>(UINT_PTR(kControlId)),
                               GetModuleHandleW(MRPAD_LIBRARY_NAME), nullptr);
    if (!control_) return false;
    // Without a theme in the settings, the document's own colours.
    if (!settings::ReadColors(colors_)) {
        if (auto* table = reinterpret_cast<const COLORREF*>(SendMessageW(pane_, MPM_COLORTABLE, 0, 0)))
            std::copy(table, table + COLOR_TABLE_ENTRIES, colors_);
    }
    for (WPARAM part = 2; part <= 6; ++part) SendMessageW(control_, MPM_VIEWPART, part, 0);
    // Wrapped as the document's pane wraps.
    SendMessageW(control_, MPM_WRAPWORDS, WPARAM(SendMessageW(pane_, MPM_WRAPWORDS, 2, 0) ? 1 : 0), 0);
    const LRESULT document = SendMessageW(pane_, MPM_SHAREDOC, 0, 0);
    SendMessageW(control_, MPM_SHAREDOC, WPARAM(document), 0);
    SendMessageW(control_, MPM_COLORTABLE, reinterpret_cast<WPARAM>(colors_), 0);
    SetRectEmpty(&rects_.page);
    return true;
}

bool CPrintFrame::BeforePage(int, HDC dc) {
    savedDc_ = SaveDC(dc);
    SetMapMode(dc, MM_TEXT);
    if (!EnsureControl()) return false;
    if (IsRectEmpty(&rects_.page)) LayOut(dc);
    return true;
}

void CPrintFrame::AfterPage(int, HDC dc) {
    if (savedDc_) RestoreDC(dc, savedDc_);
    savedDc_ = 0;
}

void CPrintFrame::LayOut(HDC dc) {
    // The document's font, scaled from the screen to the device.
    LOGFONTW lf = {};
    const auto source = reinterpret_cast<HFONT>(SendMessageW(pane_, WM_GETFONT, 0, 0));
    if (!source || !GetObjectW(source, sizeof lf, &lf))
        GetObjectW(GetStockObject(ANSI_FIXED_FONT), sizeof lf, &lf);
    const int screenDpi = std::max(GetDeviceCaps(shell::CWindowDc(nullptr).get(), LOGPIXELSX), 1);
    // The page: the paper's when there is no printer (the metafile's
    // reference then is a screen-compatible context of another size).
    const PageGeometry page = paperOnly_ && !printing_ ? paper_ : GeometryOf(dc);
    const int deviceDpi = page.dpiX;
    lf.lfHeight = MulDiv(lf.lfHeight, deviceDpi, screenDpi);
    lf.lfWidth = MulDiv(lf.lfWidth, deviceDpi, screenDpi);
    shell::UniqueGdiT<HFONT> font(CreateFontIndirectW(&lf));
    SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    SelectObject(dc, font.get());
    font_ = std::move(font);  // the one before, no longer selected, goes

    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    rects_ = ComputePageRects(page.width, page.height, tm.tmHeight);
    SendMessageW(control_, MPM_SETPAGERECT, reinterpret_cast<WPARAM>(&rects_.body), 0);
    // Page moves count from the top of the document.
    SendMessageW(control_, WM_COMMAND, ECMD_DOCSTART, 0);
    shown_ = 0;
    CountPages();

    const auto* path = reinterpret_cast<const wchar_t*>(SendMessageW(control_, MPM_GETFILENAME, 0, 0));
    fileName_ = FileNamePart(path ? path : L"");
    SYSTEMTIME now;
    GetLocalTime(&now);
    dateTime_ = DateTimeText(now);
}

void CPrintFrame::CountPages() {
    const int rows = int(SendMessageW(control_, MPM_VISIBLEROWS, 0, 0));
    const int lineHeight = int(SendMessageW(control_, MPM_LINEHEIGHT, 0, 0));
    count_ = printing::PageCount(rows, rects_.body.bottom - rects_.body.top, lineHeight);
}

bool CPrintFrame::DrawPage(int page, HDC dc) {
    if (!control_) return false;
    const int d = page - shown_;
    for (int i = 0; i < std::abs(d); ++i)
        SendMessageW(control_, WM_COMMAND, d > 0 ? ECMD_PAGEDOWN : ECMD_PAGEUP, 0);
    shown_ = page;
    const bool drawn =
        SendMessageW(control_, MPM_DRAWPAGE, reinterpret_cast<WPARAM>(dc), color_ ? 1 : 0) != 0;
    DrawBands(page, dc);
    return drawn;
}

void CPrintFrame::DrawBands(int page, HDC dc) {
    const int rule = std::max(GetDeviceCaps(dc, LOGPIXELSY) / 150, 1);
    const CPenScope pen(dc, RGB(0, 0, 0), rule);
    const CSelectScope selectFont(dc, font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_LEFT | TA_TOP);

    RECT header = rects_.header, footer = rects_.footer;
    Line(dc, header.left, header.bottom, header.right);
    const UINT oneLine = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    DrawTextW(dc, dateTime_.c_str(), -1, &header, oneLine | DT_RIGHT);
    DrawTextW(dc, fileName_.c_str(), -1, &header, oneLine | DT_LEFT | DT_END_ELLIPSIS);

    Line(dc, footer.left, footer.top, footer.right);
    const std::wstring number = FooterText(page, count_);
    DrawTextW(dc, number.c_str(), -1, &footer, oneLine | DT_CENTER);

    if (!printing_) {
        const CPenScope grey(dc, kPageBorder);
        const CSelectScope hollow(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, rects_.page.left, rects_.page.top, rects_.page.right, rects_.page.bottom);
    }
}

void CPrintFrame::ToggleWrap() {
    if (!EnsureControl()) return;
    SendMessageW(control_, WM_COMMAND, ECMD_DOCSTART, 0);
    SendMessageW(control_, MPM_TOGGLEWRAP, 0, 0);
    shown_ = 0;
    CountPages();
    ShowPage(0);
}

void CPrintFrame::ToggleNumbers() {
    if (!EnsureControl()) return;
    const bool on = SendMessageW(control_, MPM_VIEWPART, 0, -1) != 0;
    SendMessageW(control_, MPM_VIEWPART, on ? 0 : 0x100, 1);
    SetRectEmpty(&rects_.page);
    ShowPage(0);
    if (Wrapping()) {
        // Wrapped again, to the body's new width.
        SendMessageW(control_, MPM_TOGGLEWRAP, 0, 0);
        ToggleWrap();
    }
}

// ---------------------------------------------------------------------------
// Printing

bool CPrintFrame::Print() {
    if (!printer_.IsOpen()) {
        ShowNoPrinter(Window());
        return false;
    }
    PrintChoice choice;
    if (!ShowPrintDialog(Window(), printer_, &choice)) return false;
    const std::wstring name = choice.printer.empty() ? printer_.Name() : choice.printer;
    std::vector<BYTE> mode = choice.devMode;
    if (mode.empty() && printer_.DevMode()) {
        const auto* bytes = reinterpret_cast<const BYTE*>(printer_.DevMode());
        mode.assign(bytes, bytes + printer_.DevMode()->dmSize + printer_.DevMode()->dmDriverExtra);
    }
    if (printer_.Open(name, mode.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(mode.data()))) {
        printerDc_.reset();
    }
    SetRectEmpty(&rects_.page);
    current_ = 0;
    if (choice.action != PrintChoice::kPrint) return ShowPage(0);
    const bool ok = PrintPages(shell::CUniqueDc(printer_.CreateDc()).get(),
                               choice.output.empty() ? nullptr : choice.output.c_str());
    // A job that failed (no device context, a document that could not be
    // started, a page that failed) is told, not taken for printed.
    if (!ok) shell::ShowMessage(Window(), shell::LanguageString(IDS_PRINT_FAILED).c_str(), MB_OK | MB_ICONERROR);
    return ok;
}

bool CPrintFrame::PrintPages(HDC printer, const wchar_t* output) {
    if (!printer) return false;
    SetRectEmpty(&rects_.page);
    printing_ = true;
    const std::wstring docName = fileName_.empty() ? std::wstring(MORROWPAD_CAPTION) : fileName_;
    const bool ok = RunPrintJob(*this, printer, docName, output, 0, INT_MAX - 1);
    printing_ = false;
    // The preview is laid out for its own device again.
    SetRectEmpty(&rects_.page);
    if (!ShowPage(current_)) ShowPage(0);
    return ok;
}

}  // namespace printing
