#include "SplitTextView.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "ColorScheme.h"
#include "CommandIds.h"
#include "DialogIds.h"
#include "Dpi.h"
#include "EditProtocol.h"
#include "FileEncoding.h"
#include "FileDialogEx.h"
#include "MessageSink.h"
#include "Paths.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "SyntaxList.h"
#include "TextView.h"

namespace documents {
namespace {

using shell::FileNamePart;

constexpr wchar_t kClassName[] = L"MorrowpadDocument";
constexpr wchar_t kViewProperty[] = L"DocumentView";
constexpr UINT_PTR kFocusTracer = 1;
// How long a file's stamp must stay the same before a change is acted on:
// a file written in many steps (a log appended to) is read or asked about
// once it has settled, not at every step.
constexpr uint64_t kQuietMs = 500;

int g_untitled = 0;  // untitled windows made in this run (main thread only)
// The object whose window is being created, until its first message: a
// creation that fails before it must delete the object itself.
CSplitTextView* g_creating = nullptr;

// The focus tracer of a pane: tells the document window which pane last
// had the focus.
LRESULT CALLBACK FocusTracer(HWND pane, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR document) {
    if (msg == WM_SETFOCUS)
        SendMessageW(reinterpret_cast<HWND>(document), MPD_PANE_FOCUS, reinterpret_cast<WPARAM>(pane), 0);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(pane, &FocusTracer, kFocusTracer);
    return DefSubclassProc(pane, msg, wp, lp);
}

// The leading bytes of a file (at most `limit`); false when it cannot be
// opened for reading.
bool ReadSample(const wchar_t* path, size_t limit, std::vector<uint8_t>* out) {
    shell::CUniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size)) return false;
    out->resize(size_t(std::min<LONGLONG>(LONGLONG(limit), size.QuadPart)));
    DWORD got = 0;
    if (!out->empty() && !ReadFile(file.get(), out->data(), DWORD(out->size()), &got, nullptr)) return false;
    out->resize(got);
    return true;
}

// The line ends met in a file's leading bytes, read in the code page's
// units: both CR and LF, or neither, give CR LF; CR only gives CR; LF only
// gives LF. Units end at a multiple of the unit size; bytes left over are
// not looked at.
class CBreakScan {
   public:
    explicit CBreakScan(int cp) {
        if (cp == 1200 || cp == 1201) unit_ = 2;
        if (cp == 12000 || cp == 12001) unit_ = 4;
        big_ = cp == 1201 || cp == 12001;
    }
    void Feed(const uint8_t* p, size_t n) {
        for (size_t i = 0; i + unit_ <= n && !(cr_ && lf_); i += unit_) {
            uint32_t v = 0;
            for (size_t b = 0; b < unit_; ++b) v |= uint32_t(p[i + b]) << (8 * (big_ ? unit_ - 1 - b : b));
            cr_ |= v == 13;
            lf_ |= v == 10;
            endsInCr_ = v == 13;
        }
    }
    // Open while no break was met, or while the last unit was the first
    // CR (the LF of a CR LF may follow).
    bool Decided() const { return lf_ || (cr_ && !endsInCr_); }
    int Format() const { return cr_ && !lf_ ? LB_CR : lf_ && !cr_ ? LB_LF : LB_CRLF; }
    size_t Unit() const { return unit_; }

   private:
    size_t unit_ = 1;
    bool big_ = false;
    bool cr_ = false, lf_ = false, endsInCr_ = false;
};

// A sample that left the line ends open (a first line longer than it): the
// file is read on from `from` to its first break, at most kReadOn bytes.
constexpr size_t kReadOn = 16 << 20;
void ReadOnToABreak(const wchar_t* path, size_t from, CBreakScan* scan) {
    shell::CUniqueHandle file(CreateFileW(path, GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER at = {};
    at.QuadPart = LONGLONG(from);
    if (!file || !SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return;
    std::vector<uint8_t> piece(64 * 1024);
    for (size_t read = 0; read < kReadOn && !scan->Decided();) {
        DWORD got = 0;
        if (!ReadFile(file.get(), piece.data(), DWORD(piece.size()), &got, nullptr) || got < scan->Unit())
            return;
        scan->Feed(piece.data(), got);
        read += got;
    }
}

bool FileExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

DiskStamp StampOf(const std::wstring& path) {
    DiskStamp stamp;
    // No access to the contents: this opens also a file another process
    // holds open without sharing it.
    shell::CUniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (file && GetFileInformationByHandle(file.get(), &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stamp.exists = true;
        stamp.volume = info.dwVolumeSerialNumber;
        stamp.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        stamp.size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        stamp.written =
            (uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
        return stamp;
    }
    // A file that exists but cannot be opened at all (a delete pending):
    // there, with what its attributes tell.
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stamp.exists = true;
        stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.written =
            (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    }
    return stamp;
}

IView* ViewOf(HWND window) {
    if (!window) return nullptr;
    return static_cast<IView*>(GetPropW(window, kViewProperty));
}

bool HasFile(HWND window) {
    const CSplitTextView* view = CSplitTextView::FromWindow(window);
    return view && view->HasFileName();
}

CSplitTextView* CSplitTextView::FromWindow(HWND window) {
    IView* view = ViewOf(window);
    return view ? static_cast<CSplitTextView*>(view) : nullptr;
}

CSplitTextView::CSplitTextView(HWND frame, IUpdateUI* ui, IDevEnv* env, HMODULE editLibrary, int viewType)
    : frame_(frame), ui_(ui), env_(env), editLibrary_(editLibrary), viewType_(viewType) {}

CSplitTextView::~CSplitTextView() = default;

CSplitTextView* CSplitTextView::Create(HWND parent, HWND frame, IUpdateUI* ui, IDevEnv* env, HMODULE editLibrary,
                                       int viewType) {
    if (!Register(kClassName)) return nullptr;
    auto* doc = new CSplitTextView(frame, ui, env, editLibrary, viewType);
    g_creating = doc;
    if (!doc->CreateAs(kClassName, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, 0, parent)) {
        // Once the window had a message, its last one deleted the object.
        if (g_creating == doc) delete doc;
        g_creating = nullptr;
        return nullptr;
    }
    g_creating = nullptr;
    return doc;
}

int CSplitTextView::GetCaption(wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return GetWindowTextLengthW(Window());
    return GetWindowTextW(Window(), buffer, size);
}

BOOL CSplitTextView::IsModified() {
    return focus_ && (keptOver_ || SendMessageW(focus_, MPM_ISMODIFIED, 0, 0) == 1);
}

std::wstring CSplitTextView::Caption() const {
    const int n = GetWindowTextLengthW(Window());
    std::wstring text(size_t(n) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(Window(), text.data(), n + 1)));
    return text;
}

HWND CSplitTextView::PaneWindow(int i) const {
    if (splitter_) return splitter_->Pane(i);
    return i == 0 ? content_ : nullptr;
}

bool CSplitTextView::IsSplitSideBySide() const {
    return splitter_ && splitter_->GetOrientation() == CSplitter::Orientation::SideBySide;
}

void CSplitTextView::Report(UINT stringId, const std::wstring& path, UINT icon) {
    const std::wstring text = shell::FormatLanguageString(stringId, {path});
    if (env_)
        env_->MessageBox(text.c_str(), icon, nullptr, frame_);
    else
        shell::ShowMessage(frame_, text.c_str(), icon);
}

// A failed save, with the reason where it is a character the code page
// cannot hold (the control's ERROR_NO_UNICODE_TRANSLATION).
void CSplitTextView::ReportSaveFailure(const std::wstring& path, DWORD error) {
    Report(error == ERROR_NO_UNICODE_TRANSLATION ? IDS_SAVE_NOT_REPRESENTABLE : 15206, path, MB_ICONWARNING);
}

LRESULT CSplitTextView::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    if (g_creating == this) g_creating = nullptr;
    switch (msg) {
        case WM_CREATE: return OnCreate();
        case WM_SIZE: LayoutContent(); return 0;
        case WM_SETFOCUS:
            if (focus_) SetFocus(focus_);
            return 0;
        case MPD_PANE_FOCUS: {
            const HWND pane = reinterpret_cast<HWND>(wp);
            if (pane && (pane == PaneWindow(0) || pane == PaneWindow(1))) focus_ = pane;
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lp);
            if (header && (header->code == EN_MP_TEXTCHANGED || header->code == EN_MP_CARETMOVED)) {
                CTextView::Reflect(header);  // the pane's completion list follows them
                return SendMessageW(frame_, WM_NOTIFY, wp, lp);
            }
            // An edit refused, a long undo going on: the frame says so.
            if (header && (header->code == EN_MP_READONLY || header->code == EN_MP_PROGRESS))
                return SendMessageW(frame_, WM_NOTIFY, wp, lp);
            // Input-method text for the macro recorder.
            if (header && header->code == EN_MP_IMETEXT && CTextView::Recording()) {
                const auto* ime = reinterpret_cast<const ImeTextNotify*>(header);
                if (ime->text && ime->length > 0)
                    SendMessageW(frame_, MPF_RECORD_TEXT, reinterpret_cast<WPARAM>(ime->text), ime->length);
            }
            return 0;
        }
        case WM_COMMAND: return OnCommand(wp, lp);
        case MPD_OPEN:
            return Open(reinterpret_cast<const wchar_t*>(wp), reinterpret_cast<const OpenRequest*>(lp)) ? 1 : 0;
        case MPD_UPDATE: Update(); return 0;
        case MPD_CHECK_FILE: CheckFile(wp == 1); return 0;
        case MPD_APPLY_FONT: ApplyFont(); return 0;
        case WM_DPICHANGED_AFTERPARENT:  // another monitor: the font and the panes' margins at its resolution
            ApplyFont();
            for (int i = 0; i < 2; ++i)
                if (HWND pane = PaneWindow(i)) SendMessageW(pane, MPM_SETDPI, WPARAM(dpi::Of(Window())), 0);
            return 0;
        case MPD_REMEMBER_SYNTAX: RememberSyntax(); return 0;
        case MPD_APPLY_SYNTAX: ReapplySyntax(); return 0;
        case MPD_SET_SYNTAX: {
            // A definition whose script fails leaves the current syntax.
            const auto* name = reinterpret_cast<const wchar_t*>(wp);
            ILexer* lexer = name && *name ? syntax::LexerByName(name) : nullptr;
            if (lexer || !name || !*name) SetSyntax(lexer);
            return 0;
        }
        case MPD_NEW_FROM_TEMPLATE: NewFromTemplate(reinterpret_cast<const TemplateEntry*>(wp)); return 0;
        case WM_DRAWCLIPBOARD: CaptureClipboard(); return 0;
        case MPM_TRANSLATEACCEL: {
            // A copy of the record goes on to the active pane.
            if (!lp || !focus_) return 0;
            MSG copy = *reinterpret_cast<const MSG*>(lp);
            return SendMessageW(focus_, MPM_TRANSLATEACCEL, wp, reinterpret_cast<LPARAM>(&copy));
        }
        case WM_ACTIVATEAPP: return 0;
        case WM_DESTROY:
            // The window owns the document it took from its first pane.
            if (document_ && focus_) SendMessageW(focus_, MPM_CLOSEDOC, 0, 0);
            document_ = nullptr;
            if (viewType_ != 0 && !openedPath_.empty()) DeleteFileW(openedPath_.c_str());
            RemovePropW(Window(), kViewProperty);
            return 0;
    }
    return DefWindowProcW(Window(), msg, wp, lp);
}

LRESULT CSplitTextView::OnCreate() {
    SetPropW(Window(), kViewProperty, static_cast<IView*>(this));
    if (GetWindowTextLengthW(Window()) == 0) {
        std::wstring prefix = shell::LanguageString(15021);
        if (prefix.empty()) prefix = L"Untitled";
        SetWindowTextW(Window(), (prefix + std::to_wstring(++g_untitled)).c_str());
    }
    scheme::ReadColors(colors_);
    haveColors_ = true;
    fontCommand_ = ID_FONT_FIRST + settings::ReadClampedInt(settings::File::Setting, L"Fonts", L"CurrentFont");
    const HWND pane = CreatePane(Window());
    if (!pane) return -1;
    content_ = pane;
    focus_ = pane;
    LayoutContent();
    return 0;
}

HWND CSplitTextView::CreatePane(HWND parent) {
    PaneContext context = {editLibrary_, frame_, ui_, env_, viewType_};
    CTextView* view = CTextView::Create(parent, context);
    if (!view) return nullptr;
    const HWND pane = view->Window();
    if (!document_) {
        document_ = reinterpret_cast<void*>(SendMessageW(pane, MPM_SHAREDOC, 0, 0));
    } else {
        SendMessageW(pane, MPM_SHAREDOC, reinterpret_cast<WPARAM>(document_), 0);
        if (focus_) {
            SendMessageW(pane, MPM_FOLDMODE, WPARAM(SendMessageW(focus_, MPM_FOLDMODE, WPARAM(-1), 0)), 0);
            SendMessageW(pane, MPM_TABWIDTH, WPARAM(SendMessageW(focus_, MPM_TABWIDTH, 0, 0)), 0);
        }
    }
    if (!font_.get()) ApplyFont();
    if (font_.get()) SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
    SendMessageW(pane, MPM_SETDPI, WPARAM(dpi::Of(parent)), 0);
    if (haveColors_) SendMessageW(pane, MPM_COLORTABLE, reinterpret_cast<WPARAM>(colors_), 0);
    SetWindowSubclass(pane, &FocusTracer, kFocusTracer, reinterpret_cast<DWORD_PTR>(Window()));
    return pane;
}

void CSplitTextView::ApplyFont() {
    HFONT font = settings::CreateSlotFont(fontCommand_, Window());
    if (!font) return;
    for (int i = 0; i < 2; ++i)
        if (HWND pane = PaneWindow(i)) SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    font_.reset(font);  // the old one only after the panes let go of it
}

void CSplitTextView::Split(CSplitter::Orientation orientation) {
    HWND first = nullptr, second = nullptr;
    if (splitter_ && splitter_->GetOrientation() != orientation) {
        // The other form: its two panes move over; no new pane is made.
        first = splitter_->Pane(0);
        second = splitter_->Pane(1);
        SetParent(first, Window());
        SetParent(second, Window());
        splitter_.reset();
        content_ = nullptr;
    } else if (splitter_) {
        // Unsplit: the pane with the focus stays.
        HWND keep = splitter_->Pane(0), drop = splitter_->Pane(1);
        const HWND focus = GetFocus();
        if (focus && (focus == drop || IsChild(drop, focus))) std::swap(keep, drop);
        else if (focus_ == drop) std::swap(keep, drop);
        SetParent(keep, Window());
        DestroyWindow(drop);  // before the splitter, whose child it still is
        splitter_.reset();
        content_ = keep;
        focus_ = keep;
        LayoutContent();
        SetSynchronised(false);
        SetFocus(Window());
        return;
    }
    if (!first) {
        first = focus_;
        second = CreatePane(Window());
        if (!second) return;
        // The new pane starts at the same first visible line.
        const LRESULT top = SendMessageW(first, MPM_FIRSTVISIBLE, WPARAM(-1), 0);
        SendMessageW(second, MPM_FIRSTVISIBLE, WPARAM(top), 0);
    }
    auto splitter = std::make_unique<CSplitter>();
    if (!splitter->Create(Window(), orientation)) {
        // Back to one pane: the one that had the focus.
        if (second && second != focus_) DestroyWindow(second);
        if (first && first != focus_) DestroyWindow(first);
        content_ = focus_;
        LayoutContent();
        SetSynchronised(false);
        return;
    }
    splitter_ = std::move(splitter);
    content_ = splitter_->Window();
    LayoutContent();
    splitter_->SetPanes(first, second);
    splitter_->Middle();
    focus_ = first;
    if (synchronised_) SetSynchronised(true);
    SetFocus(Window());
}

void CSplitTextView::SetSynchronised(bool on) {
    synchronised_ = on && splitter_;
    HWND a = PaneWindow(0), b = PaneWindow(1);
    if (CTextView* v = CTextView::FromWindow(a)) v->SetLink(synchronised_ ? b : nullptr);
    if (CTextView* v = CTextView::FromWindow(b)) v->SetLink(synchronised_ ? a : nullptr);
}

bool CSplitTextView::Open(const wchar_t* path, const OpenRequest* request) {
    if (!path || !*path || !focus_) return false;
    const std::wstring before = hasFile_ ? Caption() : std::wstring();
    const OpenRequest req = request ? *request : OpenRequest{};
    std::vector<uint8_t> sample;
    const int kilobytes = settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoDetectBuffer");
    const size_t limit = size_t(std::max(0, kilobytes)) * 1024;
    if (!ReadSample(path, limit, &sample)) {
        Report(15100, path, MB_ICONERROR);
        return false;
    }
    int cp = 0;
    if (req.codePage >= 0 && req.codePage != 1)
        cp = req.codePage;
    else if (!sample.empty())
        cp = encoding::DetectCodePage(sample.data(), sample.size());
    CBreakScan breaks(cp);
    breaks.Feed(sample.data(), sample.size());
    if (!sample.empty() && !breaks.Decided() && sample.size() == limit) ReadOnToABreak(path, limit, &breaks);
    const int lineEnd = sample.empty() ? LB_CRLF : breaks.Format();
    const bool exclusive =
        req.internalFile || settings::ReadKeyBool(settings::File::Setting, L"Setting", L"ExclusiveMode");
    const std::wstring full = shell::FullPath(path);
    if (!SendMessageW(focus_, exclusive ? MPM_LOADINPLACE : MPM_LOADFILE, reinterpret_cast<WPARAM>(full.c_str()),
                      LPARAM((lineEnd << 16) | (cp & 0xFFFF)))) {
        Report(15100, path, MB_ICONERROR);
        return false;
    }
    openedPath_ = full;
    inPlace_ = exclusive;
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (req.readOnly == 1 || (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)))
        SendMessageW(focus_, MPM_READONLY, 1, 0);
    const int wrapMax = settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoWrapMax");
    if (wrapMax > 0 && SendMessageW(focus_, MPM_GETLINECOUNT, 0, 0) < wrapMax &&
        !SendMessageW(focus_, MPM_GETWRAPMODE, 0, 0))
        SendMessageW(focus_, MPM_TOGGLEWRAP, 0, 0);
    SetWindowTextW(Window(), full.c_str());
    hasFile_ = true;
    keptOver_ = false;
    saveAsOnly_ = false;
    RememberDisk();
    // Read again under the same name, it keeps the syntax the user chose.
    ChooseSyntax(full, before);
    return true;
}

void CSplitTextView::RememberDisk() {
    known_ = hasFile_ ? StampOf(Caption()) : DiskStamp{};
    seen_ = known_;
    seenAt_ = GetTickCount64();
    missing_ = false;
}

void CSplitTextView::CheckFile(bool mayAsk) {
    if (!hasFile_ || viewType_ != 0 || asking_ || !focus_) return;
    const DiskStamp now = StampOf(Caption());
    const uint64_t tick = GetTickCount64();
    if (!(now == seen_)) {
        seen_ = now;
        seenAt_ = tick;
    }
    if (now == known_) {  // as it was (also back after it was gone)
        if (missing_) {
            missing_ = false;
            UpdateTab();
        }
        return;
    }
    if (tick - seenAt_ < kQuietMs) return;  // still changing
    if (!now.exists) {
        if (!missing_) {
            missing_ = true;
            UpdateTab();
        }
        return;
    }
    // Another file under the name, or the same one rewritten. Rewritten in
    // place, a document that reads its lines from it may show the other
    // program's bytes for lines not yet read.
    const bool rewritten = inPlace_ && !missing_ && now.SameFile(known_);
    // A file another program still holds open for writing is waited for.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE | (inPlace_ ? 0 : FILE_SHARE_WRITE);
    if (!shell::CUniqueHandle(
            CreateFileW(Caption().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr)))
        return;
    const bool modified = IsModified();
    if (!modified && settings::ReadKeyBool(settings::File::Setting, L"Setting", L"ReloadUnmodified")) {
        if (!Reload()) KeepOver();  // said once; not tried again until the file changes again
        return;
    }
    if (!mayAsk) return;  // asked when it is shown
    const int answer = AskAboutFile(!modified   ? IDS_FILE_CHANGED
                                    : rewritten ? IDS_FILE_REWRITTEN
                                                : IDS_FILE_CHANGED_MODIFIED);
    if (answer == IDYES && Reload()) return;
    KeepOver();
    // Its lines not yet read would come from the other program's bytes: a
    // save asks for a name rather than write them over that file.
    if (rewritten) saveAsOnly_ = true;
}

// The document stays as it is over a change of its file: it now differs
// from the file it names, and is asked about again only when the file
// changes again.
void CSplitTextView::KeepOver() {
    known_ = StampOf(Caption());
    seen_ = known_;
    missing_ = !known_.exists;
    keptOver_ = true;
    UpdateTab();
}

int CSplitTextView::AskAboutFile(UINT stringId) {
    const std::wstring text = shell::FormatLanguageString(stringId, {Caption()});
    const UINT type = MB_YESNO | MB_ICONWARNING;
    asking_ = true;
    const int answer = env_ ? env_->MessageBox(text.c_str(), type, nullptr, frame_)
                            : shell::ShowMessage(frame_, text.c_str(), type);
    asking_ = false;
    return answer;
}

bool CSplitTextView::Reload() {
    if (!hasFile_ || !focus_) return false;
    Position caret = {};
    SendMessageW(focus_, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    const LRESULT top = SendMessageW(focus_, MPM_FIRSTVISIBLE, WPARAM(-1), 0);
    OpenRequest again;
    again.codePage = int(SendMessageW(focus_, MPM_GETCODEPAGE, 0, 0));
    again.readOnly = SendMessageW(focus_, MPM_READONLY, 2, 0) == 1 ? 1 : 0;
    again.internalFile = inPlace_ ? 1 : 0;
    const std::wstring path = Caption();
    if (!Open(path.c_str(), &again)) return false;
    SendMessageW(focus_, MPM_EMPTYUNDO, 0, 0);
    const LRESULT lines = SendMessageW(focus_, MPM_GETLINECOUNT, 0, 0);
    if (caret.line >= lines) caret = Position{int(lines) - 1, 0};
    SendMessageW(focus_, MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 0);
    if (top >= 0) SendMessageW(focus_, MPM_FIRSTVISIBLE, WPARAM(std::min<LRESULT>(top, lines - 1)), 0);
    UpdateTab();
    return true;
}

// File > Reload: a document with changes asks first.
void CSplitTextView::ReloadCommand() {
    if (!hasFile_ || viewType_ != 0 || asking_) return;
    if (IsModified() && AskAboutFile(IDS_RELOAD_MODIFIED) != IDYES) return;
    Reload();
}

namespace {

// The extension without its dot; empty when the file name has none.
std::wstring ExtensionOf(const std::wstring& path) {
    const size_t name = path.find_last_of(L"\\/:");
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name)) return std::wstring();
    return path.substr(dot + 1);
}

}  // namespace

// A new name with the old one's extension, and known by name to the same
// entry or to none, keeps the current syntax (which the user may have chosen).
void CSplitTextView::ChooseSyntax(const std::wstring& path, const std::wstring& oldPath) {
    if (!oldPath.empty() && _wcsicmp(ExtensionOf(path).c_str(), ExtensionOf(oldPath).c_str()) == 0 &&
        syntax::EntryByFileName(path) == syntax::EntryByFileName(oldPath))
        return;
    if (ILexer* lexer = syntax::LexerForFile(path)) SetSyntax(lexer);
}

void CSplitTextView::SetSyntax(ILexer* lexer) {
    if (!focus_) return;
    SendMessageW(focus_, MPM_SETLEXER, reinterpret_cast<WPARAM>(lexer), 1);
    SendMessageW(focus_, MPM_INDENTFOLDS, syntax::FoldsByIndent(lexer) ? 1 : 0, 0);
    const syntax::SyntaxEntry* entry = lexer ? syntax::EntryByLexerName(lexer->Name()) : nullptr;
    const int fold = lexer ? settings::ReadClampedInt(settings::File::Setting, L"Edit", L"FoldingMethod") : 0;
    for (int i = 0; i < 2; ++i) {
        const HWND pane = PaneWindow(i);
        if (!pane) continue;
        // Below 2 the control only answers the current width.
        if (entry) SendMessageW(pane, MPM_TABWIDTH, WPARAM(entry->tabSize), 0);
        SendMessageW(pane, MPM_FOLDMODE, WPARAM(fold), 0);
    }
}

// Before the syntax list is reloaded: the lexer is about to be freed, so the
// control lets go of it now and the name is kept.
void CSplitTextView::RememberSyntax() {
    if (!focus_) return;
    auto* lexer = reinterpret_cast<ILexer*>(SendMessageW(focus_, MPM_GETLEXER, 0, 0));
    rememberedSyntax_ = lexer && lexer->Name() ? lexer->Name() : L"";
    syntaxRemembered_ = true;
    SendMessageW(focus_, MPM_SETLEXER, 0, 0);
}

// After the reload: the definition of the remembered name, else the one of
// the file's name or extension, else none.
void CSplitTextView::ReapplySyntax() {
    if (!focus_ || !syntaxRemembered_) return;
    syntaxRemembered_ = false;
    ILexer* lexer = rememberedSyntax_.empty() ? nullptr : syntax::LexerByName(rememberedSyntax_);
    if (!lexer && hasFile_) lexer = syntax::LexerForFile(Caption());
    rememberedSyntax_.clear();
    SetSyntax(lexer);
}

void CSplitTextView::Update() {
    if (!focus_) return;
    if (ui_) {
        ui_->CheckCommand(ID_SPLIT_SIDE, splitter_ && IsSplitSideBySide() ? 1 : 0);
        ui_->CheckCommand(ID_SPLIT_STACKED, splitter_ && !IsSplitSideBySide() ? 1 : 0);
        ui_->EnableCommand(ID_SPLIT_SIDE, TRUE);
        ui_->EnableCommand(ID_SPLIT_STACKED, TRUE);
        ui_->EnableCommand(ID_SYNC_SCROLL, splitter_ != nullptr);
        ui_->CheckCommand(ID_SYNC_SCROLL, synchronised_ ? 1 : 0);
        for (UINT id = ID_FONT_FIRST; id <= ID_FONT_LAST; ++id)
            ui_->CheckCommand(id, id == UINT(fontCommand_));
        ui_->EnableCommand(ID_FILE_RELOAD, hasFile_ && viewType_ == 0);
    }
    UpdateTab();
    if (CTextView* pane = CTextView::FromWindow(focus_)) pane->Update();
    // Kept over a change on the disk, or its file gone, the text differs
    // from the file: Save writes it.
    if (ui_ && (keptOver_ || missing_)) ui_->EnableCommand(ID_FILE_SAVE, TRUE);
}

// The tab's title and state mark.
void CSplitTextView::UpdateTab() {
    if (!focus_) return;
    const bool modified = IsModified();
    const bool readOnly = SendMessageW(focus_, MPM_READONLY, 2, 0) == 1;
    const int state = modified ? 1 : readOnly ? 3 : saved_ ? 2 : 0;
    const std::wstring caption = Caption();
    std::wstring title = viewType_ != 0 && !saved_ ? caption : FileNamePart(caption);
    if (modified) title += L" *";
    // A read-only document says so where it is chosen, as its edits do.
    if (readOnly) title += L" " + shell::LanguageString(IDS_TAB_READ_ONLY);
    if (missing_) title += L" " + shell::LanguageString(IDS_TAB_DELETED);
    if (state != lastTabState_ || title != lastTabTitle_) {
        lastTabState_ = state;
        lastTabTitle_ = title;
        const DocumentTab tab = {state, lastTabTitle_.c_str()};
        SendMessageW(frame_, MPF_SET_TAB, reinterpret_cast<WPARAM>(Window()), reinterpret_cast<LPARAM>(&tab));
    }
}

LRESULT CSplitTextView::OnCommand(WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    // Notifications of the panes themselves.
    if (lp && (reinterpret_cast<HWND>(lp) == PaneWindow(0) || reinterpret_cast<HWND>(lp) == PaneWindow(1)))
        return 0;
    switch (id) {
        case ID_FILE_CLOSE: return AskToClose();
        case ID_FILE_SAVE: return Save();
        case ID_FILE_SAVE_AS: return SaveAs();
        case ID_FILE_RELOAD: ReloadCommand(); return 0;
        case ID_SPLIT_SIDE: Split(CSplitter::Orientation::SideBySide); return 0;
        case ID_SPLIT_STACKED: Split(CSplitter::Orientation::Stacked); return 0;
        case ID_SYNC_SCROLL:
            if (splitter_) SetSynchronised(!synchronised_);
            return 0;
        case ID_COPY_CAPTION: CopyCaption(); return 0;
    }
    if (id >= ID_FONT_FIRST && id <= ID_FONT_LAST) {
        fontCommand_ = int(id);
        ApplyFont();
        return 0;
    }
    if (!focus_) return 0;
    return SendMessageW(focus_, WM_COMMAND, wp, 0);
}

int CSplitTextView::AskToClose() {
    if (!IsModified()) return IDYES;
    const std::wstring text = shell::FormatLanguageString(15001, {Caption()});
    const int answer = env_ ? env_->MessageBox(text.c_str(), MB_YESNOCANCEL | MB_ICONWARNING, nullptr, frame_)
                            : shell::ShowMessage(frame_, text.c_str(), MB_YESNOCANCEL | MB_ICONWARNING);
    // A save that fails or is cancelled keeps the document open: closing it
    // then would throw the changes away.
    if (answer == IDYES) return Save() == IDYES ? IDYES : IDCANCEL;
    return answer == IDNO ? IDNO : IDCANCEL;
}

// Saves to `path` in `format`. When the code page lacks some of the text,
// the user chooses: UTF-8 instead, the code page anyway (the document is
// then read back from what was written, so that it shows the truth), or no
// save. A failure is said, and the document stays modified.
bool CSplitTextView::SaveTo(const std::wstring& path, const SaveFormat& format) {
    if (SendMessageW(focus_, MPM_SAVEFILE, reinterpret_cast<WPARAM>(path.c_str()),
                     reinterpret_cast<LPARAM>(&format)))
        return true;
    DWORD error = GetLastError();
    if (error == ERROR_NO_UNICODE_TRANSLATION && format.codePage != CP_UTF8) {
        const std::wstring text = shell::FormatLanguageString(IDS_SAVE_LOSSY, {path});
        const UINT type = MB_YESNOCANCEL | MB_ICONWARNING;
        const int answer =
            env_ ? env_->MessageBox(text.c_str(), type, nullptr, frame_) : shell::ShowMessage(frame_, text.c_str(), type);
        if (answer == IDYES) {
            const SaveFormat utf8 = {CP_UTF8, format.lineBreak, format.writeBom};
            if (SendMessageW(focus_, MPM_SAVEFILE, reinterpret_cast<WPARAM>(path.c_str()),
                             reinterpret_cast<LPARAM>(&utf8)))
                return true;
        } else if (answer == IDNO) {
            const SaveFormat lossy = {format.codePage, format.lineBreak, format.writeBom | SAVE_ACCEPT_LOSS};
            if (SendMessageW(focus_, MPM_SAVEFILE, reinterpret_cast<WPARAM>(path.c_str()),
                             reinterpret_cast<LPARAM>(&lossy))) {
                OpenRequest again;
                again.codePage = format.codePage;
                if (Open(path.c_str(), &again)) SendMessageW(focus_, MPM_EMPTYUNDO, 0, 0);
                return true;
            }
        } else {
            return false;  // the user's choice: nothing to say
        }
        error = GetLastError();
    }
    ReportSaveFailure(path, error);
    return false;
}

// The document's own format, for a save under its own name.
SaveFormat CSplitTextView::OwnFormat() {
    const int lineEnd = int(SendMessageW(focus_, MPM_LINEBREAKTYPE, 0, 0));
    return SaveFormat{int(SendMessageW(focus_, MPM_GETCODEPAGE, 0, 0)),
                      lineEnd >= LB_CRLF && lineEnd <= LB_CR ? lineEnd : LB_CRLF,
                      SendMessageW(focus_, MPM_BOM, WPARAM(-1), 0) == 1 ? SAVE_WRITE_BOM : 0};
}

int CSplitTextView::Save() {
    if (viewType_ != 0 && !saved_) return SaveAs();
    const auto* path = reinterpret_cast<const wchar_t*>(SendMessageW(focus_, MPM_GETFILENAME, 0, 0));
    const std::wstring file = path ? path : L"";
    // A file gone from its name is written back there.
    if (!hasFile_ || file.empty() || (!FileExists(file) && !missing_) || saveAsOnly_) return SaveAs();
    if (!SaveTo(file, OwnFormat())) return IDNO;
    saved_ = true;
    RememberDisk();  // what it wrote is no change from outside
    keptOver_ = false;
    UpdateTab();
    return IDYES;
}

int CSplitTextView::SaveAs() {
    FileChoice choice;
    choice.codePage = int(SendMessageW(focus_, MPM_CODEPAGE, WPARAM(-1), 0));
    choice.lineEnd = int(SendMessageW(focus_, MPM_LINEBREAKTYPE, 0, 0));
    if (choice.lineEnd < LB_CRLF || choice.lineEnd > LB_CR) choice.lineEnd = LB_CRLF;
    choice.bom = SendMessageW(focus_, MPM_BOM, WPARAM(-1), 0) == 1 ? 1 : 0;
    if (!ShowSaveDialog(frame_, hasFile_ ? Caption() : std::wstring(), &choice) || choice.paths.empty())
        return IDCANCEL;
    const std::wstring path = shell::FullPath(choice.paths.front());
    const SaveFormat format = {choice.codePage, choice.lineEnd, choice.bom ? SAVE_WRITE_BOM : 0};
    if (!SaveTo(path, format)) return 1;
    const std::wstring oldPath = hasFile_ ? Caption() : std::wstring();
    SetWindowTextW(Window(), path.c_str());
    hasFile_ = true;
    saved_ = true;
    RememberDisk();
    keptOver_ = false;
    saveAsOnly_ = false;
    ChooseSyntax(path, oldPath);
    // A temporary document saved over its own file keeps it; saved elsewhere,
    // its temporary file still goes when the window does.
    if (_wcsicmp(path.c_str(), openedPath_.c_str()) == 0) openedPath_.clear();
    if (settings::ReadClampedInt(settings::File::History, L"RecentDoc", L"Count") != 0)
        SendMessageW(frame_, MPF_ADD_RECENT, reinterpret_cast<WPARAM>(path.c_str()), 0);
    return IDYES;
}

void CSplitTextView::NewFromTemplate(const TemplateEntry* entry) {
    if (!entry || !focus_) return;
    if (entry->title && *entry->title)
        if (ILexer* lexer = syntax::LexerByName(entry->title)) SetSyntax(lexer);
    if (!entry->templateFile || !*entry->templateFile) return;
    const std::wstring path = settings::ProgramFolder() + L"template\\" + entry->templateFile;
    const int kilobytes = settings::ReadClampedInt(settings::File::Setting, L"Setting", L"AutoDetectBuffer");
    encoding::FileText text;
    std::wstring whole;
    {
        shell::CUniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                             nullptr));
        LARGE_INTEGER size = {};
        if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (64 << 20)) return;
        std::vector<uint8_t> bytes(size_t(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr)) return;
        bytes.resize(got);
        const size_t sample = encoding::SampleSize(kilobytes, bytes.size());
        const int cp = encoding::DetectCodePage(bytes.data(), sample);
        const size_t skip = encoding::SkipByteOrderMark(bytes.data(), bytes.size(), cp);
        bool converted = true;
        whole = encoding::ToUtf16(bytes.data() + skip, bytes.size() - skip, cp, &converted);
        if (!converted) {  // said, rather than inserting what the failure left
            Report(15100, path, MB_ICONWARNING);
            return;
        }
    }
    auto insert = [&](const std::wstring& part) {
        if (part.empty()) return;
        TextArg arg = {part.c_str(), int(part.size())};
        SendMessageW(focus_, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    };
    const size_t marker = whole.find(L"$0");
    if (marker == std::wstring::npos) {
        insert(whole);
    } else {
        insert(whole.substr(0, marker));
        Position caret = {};
        SendMessageW(focus_, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
        insert(whole.substr(marker + 2));
        SendMessageW(focus_, MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 1);
    }
    SendMessageW(focus_, MPM_EMPTYUNDO, 0, 0);
}

void CSplitTextView::CaptureClipboard() {
    if (!focus_ || !IsClipboardFormatAvailable(CF_UNICODETEXT)) return;
    std::wstring text;
    {
        const shell::CClipboardGuard clipboard(Window());
        if (!clipboard.opened()) return;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                text.assign(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t)));
                GlobalUnlock(data);
            }
        }
    }
    if (text.empty()) return;
    SendMessageW(focus_, WM_COMMAND, ECMD_DOCEND, 0);
    SendMessageW(focus_, MPM_UNDOGROUP, 1, 0);  // one capture, one undo
    const std::wstring line = L"\n";
    TextArg arg = {line.c_str(), 1};
    SendMessageW(focus_, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    arg = {text.c_str(), int(text.size())};
    SendMessageW(focus_, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    SendMessageW(focus_, MPM_UNDOGROUP, 0, 0);
    SendMessageW(focus_, WM_COMMAND, ECMD_DOCEND, 0);
}

void CSplitTextView::CopyCaption() {
    const std::wstring caption = Caption();
    const shell::CClipboardGuard clipboard(Window());
    if (!clipboard.opened()) return;
    EmptyClipboard();
    const size_t bytes = (caption.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* p = GlobalLock(mem)) {
            memcpy(p, caption.c_str(), bytes);
            GlobalUnlock(mem);
            if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
        } else {
            GlobalFree(mem);
        }
    }
}

}  // namespace documents
