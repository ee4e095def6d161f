#include "GrepDialog.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "DialogIds.h"
#include "DocumentSearch.h"
#include "EditProtocol.h"
#include "DialogControls.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "Window.h"
#include "Settings.h"
#include "SyntaxParser.h"
#include "SystemCalls.h"

namespace search {
namespace {

constexpr size_t kHistoryItems = 20;
constexpr wchar_t kFindSection[] = L"GrepFind";
constexpr wchar_t kTypesSection[] = L"GrepFileType";
constexpr wchar_t kFolderSection[] = L"GrepFolder";

// Progress dialog messages: text for the output (sent, lp = const
// std::wstring*) and the end of the search (posted).
constexpr UINT kAppendText = WM_APP + 1;
constexpr UINT kSearchDone = WM_APP + 2;

UINT TrackFragmentMenu(HMENU popup) {
    POINT pt;
    GetCursorPos(&pt);
    return UINT(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y,
                                 GetActiveWindow(), nullptr));
}
FragmentChooser g_fragmentChooser = &TrackFragmentMenu;  // main thread only

std::wstring PickFolder(HWND owner, const std::wstring&) {
    const std::wstring title = shell::LanguageString(IDS_GREP_BROWSE_TITLE);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    return shell::sys::BrowseForFolder(&info);
}
FolderChooser g_folderChooser = &PickFolder;  // main thread only

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

}  // namespace

void SetFolderChooser(FolderChooser chooser) { g_folderChooser = chooser ? chooser : &PickFolder; }
void SetGrepFragmentChooser(FragmentChooser chooser) {
    g_fragmentChooser = chooser ? chooser : &TrackFragmentMenu;
}

// ---------------------------------------------------------------------------
// The worker

CGrepThread::CGrepThread(GrepUtil::CGreper* greper, std::wstring folder, GrepUtil::IGrepCallBack* callBack)
    : greper_(greper), folder_(std::move(folder)), callBack_(callBack) {}

CGrepThread::~CGrepThread() { Join(); }

bool CGrepThread::Start() {
    if (thread_) return false;
    thread_.reset(CreateThread(nullptr, 0, &Entry, this, CREATE_SUSPENDED, nullptr));
    if (!thread_) return false;
    ResumeThread(thread_.get());
    return true;
}

void CGrepThread::Join() {
    if (!thread_) return;
    const HANDLE thread = thread_.get();
    for (;;) {
        const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;
        // Handles the messages sent from other threads, and only those.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
}

DWORD WINAPI CGrepThread::Entry(void* p) {
    auto* self = static_cast<CGrepThread*>(p);
    try {
        self->greper_->Run(self->folder_, self->callBack_);
        return 0;
    } catch (...) {
    }
    // The search failed half-way (out of memory): the dialog still closes.
    try {
        if (self->callBack_) self->callBack_->Finished();
    } catch (...) {
    }
    return 1;
}

// ---------------------------------------------------------------------------
// The progress dialog

CGrepCallBackDialog::CGrepCallBackDialog(HWND owner, Done done) : owner_(owner), done_(std::move(done)) {}

CGrepCallBackDialog::~CGrepCallBackDialog() {
    keepGoing_ = false;
    thread_.reset();  // joins
    if (const HWND window = window_; window && IsWindow(window)) {
        if (owner_) EnableWindow(owner_, TRUE);
        DestroyWindow(window);
    }
}

bool CGrepCallBackDialog::Start(std::unique_ptr<GrepUtil::CGreper> greper, const std::wstring& folder) {
    if (window_ || thread_ || !greper) return false;
    greper_ = std::move(greper);
    keepGoing_ = true;
    progressShown_ = 0;
    finished_ = false;
    const HWND window = CreateDialogParamW(shell::ResourceModule(), MAKEINTRESOURCEW(IDD_GREP_PROGRESS),
                                           owner_, &Procedure, reinterpret_cast<LPARAM>(this));
    if (!window) return false;
    window_ = window;
    if (owner_) {
        // Centred over the main window.
        RECT owner = {}, self = {};
        if (GetWindowRect(owner_, &owner) && GetWindowRect(window, &self)) {
            const int w = self.right - self.left, h = self.bottom - self.top;
            SetWindowPos(window, nullptr, (owner.left + owner.right - w) / 2,
                         (owner.top + owner.bottom - h) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    SetDlgItemTextW(window, IDC_GREP_PATH, folder.c_str());
    SetDlgItemTextW(window, IDC_GREP_COUNT, shell::FormatLanguageString(15025, {L"0"}).c_str());
    ShowWindow(window, SW_SHOW);
    if (owner_) EnableWindow(owner_, FALSE);
    thread_ = std::make_unique<CGrepThread>(greper_.get(), folder, this);
    if (!thread_->Start()) {
        thread_.reset();
        if (owner_) EnableWindow(owner_, TRUE);
        window_ = nullptr;
        DestroyWindow(window);
        return false;
    }
    return true;
}

// Collected on the worker and handed over in pieces: one message a line
// would keep the interface thread busy redrawing the output.
void CGrepCallBackDialog::SendText(const std::wstring& text) {
    pending_ += text;
    if (pending_.size() >= kPendingLimit) Flush();
}

void CGrepCallBackDialog::Flush() {
    if (pending_.empty()) return;
    if (const HWND window = window_)
        SendMessageW(window, kAppendText, 0, reinterpret_cast<LPARAM>(&pending_));
    pending_.clear();
}

void CGrepCallBackDialog::Progress(const wchar_t* path, int total) {
    const ULONGLONG now = GetTickCount64();
    if (progressShown_ && now - progressShown_ < kProgressTicks) return;
    progressShown_ = now;
    Flush();
    const HWND window = window_;
    if (!window) return;
    SetDlgItemTextW(window, IDC_GREP_PATH, path ? path : L"");
    SetDlgItemTextW(window, IDC_GREP_COUNT,
                    shell::FormatLanguageString(15025, {std::to_wstring(total)}).c_str());
}

void CGrepCallBackDialog::Finished() {
    Flush();
    if (finished_.exchange(true)) return;
    if (const HWND window = window_) PostMessageW(window, kSearchDone, 0, 0);
}

// The worker has ended or is about to: the owner comes back first, then the
// window goes, then the results are handed on.
void CGrepCallBackDialog::Close() {
    keepGoing_ = false;
    if (thread_) thread_->Join();
    thread_.reset();
    if (owner_) EnableWindow(owner_, TRUE);
    const HWND window = window_.exchange(nullptr);
    if (window) DestroyWindow(window);
    if (owner_) SetForegroundWindow(owner_);
    if (done_ && greper_) done_(*greper_);
    greper_.reset();
}

INT_PTR CALLBACK CGrepCallBackDialog::Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CGrepCallBackDialog*>(GetWindowLongPtrW(dlg, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CGrepCallBackDialog*>(lp);
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
    }
    if (!self) return FALSE;
    try {
        const INT_PTR result = self->HandleMessage(msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            // Also when its owner went first: the worker stops writing here.
            self->window_ = nullptr;
            self->keepGoing_ = false;
            SetWindowLongPtrW(dlg, DWLP_USER, 0);
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}

INT_PTR CGrepCallBackDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: return TRUE;
        case WM_COMMAND:
            if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
                Stop();
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE: Stop(); return TRUE;
        case kAppendText:
            if (append_ && lp) append_(*reinterpret_cast<const std::wstring*>(lp));
            return TRUE;
        case kSearchDone: Close(); return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// The find-in-files dialog

CGrepDialog::CGrepDialog(HWND owner, GrepHost host) : owner_(owner), host_(std::move(host)) {}

CGrepDialog::~CGrepDialog() {
    progress_.reset();
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

bool CGrepDialog::Create() {
    if (window_) return true;
    window_ = CreateDialogParamW(shell::ResourceModule(), MAKEINTRESOURCEW(IDD_GREP), owner_, &Procedure,
                                 reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

void CGrepDialog::Show(const std::wstring& folder) {
    if (!window_) return;
    FillHistory(IDC_GREP_FIND, kFindSection);
    FillHistory(IDC_GREP_TYPES, kTypesSection);
    FillHistory(IDC_GREP_FOLDER, kFolderSection);
    if (!folder.empty()) SetDlgItemTextW(window_, IDC_GREP_FOLDER, folder.substr(0, kMaxGrepText).c_str());
    if (!placed_) {
        placed_ = true;
        RECT owner = {}, self = {};
        if (owner_ && GetWindowRect(owner_, &owner) && GetWindowRect(window_, &self)) {
            const int w = self.right - self.left, h = self.bottom - self.top;
            SetWindowPos(window_, nullptr, (owner.left + owner.right - w) / 2,
                         (owner.top + owner.bottom - h) / 2, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    UpdateEnabling();
    ShowWindow(window_, SW_SHOW);
    HWND text = GetDlgItem(window_, IDC_GREP_FIND);
    SetFocus(text);
    SendMessageW(text, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

void CGrepDialog::Hide() {
    if (window_) ShowWindow(window_, SW_HIDE);
}

bool CGrepDialog::IsVisible() const { return window_ && IsWindowVisible(window_); }

GrepRequest CGrepDialog::Request() const {
    GrepRequest request;
    if (!window_) return request;
    GrepUtil::GrepOptions& o = request.options;
    o.pattern = shell::WindowText(GetDlgItem(window_, IDC_GREP_FIND));
    o.fileTypes = shell::WindowText(GetDlgItem(window_, IDC_GREP_TYPES));
    request.folder = shell::WindowText(GetDlgItem(window_, IDC_GREP_FOLDER));
    o.regex = Checked(window_, IDC_GREP_REGEX);
    o.matchCase = Checked(window_, IDC_GREP_MATCH_CASE);
    o.subfolders = Checked(window_, IDC_GREP_SUBFOLDERS);
    o.invert = Checked(window_, IDC_GREP_INVERT);
    o.namesOnly = Checked(window_, IDC_GREP_NAMES_ONLY);
    o.codePage = int(shell::SelectedComboData(GetDlgItem(window_, IDC_GREP_CODEPAGE), -1));
    request.toOutput = Checked(window_, IDC_GREP_OUTPUT);
    return request;
}

bool CGrepDialog::Start() {
    if (!window_ || Progress()) return false;
    const GrepRequest request = Request();
    Remember(IDC_GREP_FIND, kFindSection, request.options.pattern);
    Remember(IDC_GREP_TYPES, kTypesSection, request.options.fileTypes);
    Remember(IDC_GREP_FOLDER, kFolderSection, request.folder);
    if (request.options.pattern.empty() || request.folder.empty()) return false;

    const bool toOutput = request.toOutput;
    progress_.reset();
    progress_ = std::make_unique<CGrepCallBackDialog>(
        owner_, [this, toOutput](const GrepUtil::CGreper& greper) { OnDone(greper, toOutput); });
    std::unique_ptr<GrepUtil::CGreper> greper;
    if (toOutput) {
        if (host_.showOutput) host_.showOutput();
        CGrepCallBackDialog* progress = progress_.get();
        progress->SetAppend(host_.output);
        greper = std::make_unique<GrepUtil::COutputGreper>(
            [progress](const std::wstring& text) { progress->SendText(text); });
    } else {
        greper = std::make_unique<GrepUtil::CFileGreper>();
    }
    greper->Configure(request.options);
    if (!progress_->Start(std::move(greper), request.folder)) {
        progress_.reset();
        return false;
    }
    Hide();
    return true;
}

// On the interface thread, the main window enabled again.
void CGrepDialog::OnDone(const GrepUtil::CGreper& greper, bool toOutput) {
    const GrepUtil::GrepStats& stats = greper.Stats();
    const GrepUtil::GrepOptions& options = greper.Options();
    if (!stats.patternError.empty()) {
        if (host_.status) host_.status(stats.patternError);
        MessageBeep(MB_ICONINFORMATION);
        if (!toOutput) DeleteFileW(static_cast<const GrepUtil::CFileGreper&>(greper).Path().c_str());
        return;
    }
    if (!toOutput) {
        const auto& file = static_cast<const GrepUtil::CFileGreper&>(greper);
        const std::wstring caption =
            shell::FormatLanguageString(15024, {options.pattern, std::to_wstring(greper.Total())});
        // The searcher has closed its file by now (and so no longer tells
        // whether it was created): the file itself does.
        const bool written =
            !file.Path().empty() && GetFileAttributesW(file.Path().c_str()) != INVALID_FILE_ATTRIBUTES;
        const HWND pane = written && host_.openResult ? host_.openResult(file.Path(), caption) : nullptr;
        if (pane) {
            file.Keep();
            SendMessageW(pane, MPM_SETLEXER,
                         reinterpret_cast<WPARAM>(static_cast<ILexer*>(syntax::ResultLexer())), 1);
            int findOptions = 0;
            if (options.matchCase) findOptions |= FIND_MATCH_CASE;
            if (options.regex) findOptions |= FIND_REGEX;
            if (!options.invert && !options.namesOnly)
                HighlightAll(pane, options.pattern, findOptions | FIND_RESULT_LINES);
        } else if (written) {
            DeleteFileW(file.Path().c_str());
        }
    }
    if (host_.status)
        host_.status(stats.tooComplex ? shell::LanguageString(IDS_SEARCH_TOO_COMPLEX) : std::wstring());
    if (stats.tooComplex) MessageBeep(MB_ICONINFORMATION);
}

void CGrepDialog::FillHistory(int field, const wchar_t* section) {
    HWND combo = GetDlgItem(window_, field);
    if (!combo) return;
    const std::wstring text = shell::WindowText(combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : settings::ReadHistory(settings::File::History, section))
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.substr(0, kMaxGrepText).c_str()));
    SetWindowTextW(combo, text.c_str());
}

// The text goes to the front of the list (once), which keeps 20 items.
void CGrepDialog::Remember(int field, const wchar_t* section, const std::wstring& text) {
    if (text.empty()) return;
    std::vector<std::wstring> items = settings::ReadHistory(settings::File::History, section);
    if (!items.empty() && items.front() == text) return;
    items.erase(std::remove(items.begin(), items.end(), text), items.end());
    items.insert(items.begin(), text);
    if (items.size() > kHistoryItems) items.resize(kHistoryItems);
    settings::WriteHistory(settings::File::History, section, items);
    FillHistory(field, section);
}

void CGrepDialog::UpdateEnabling() {
    if (!window_) return;
    EnableWindow(GetDlgItem(window_, IDC_GREP_FIND_MENU), Checked(window_, IDC_GREP_REGEX));
    EnableWindow(GetDlgItem(window_, IDOK), GetWindowTextLengthW(GetDlgItem(window_, IDC_GREP_FIND)) > 0);
}

void CGrepDialog::ShowFragmentMenu() {
    HMENU menu = LoadMenuW(shell::ResourceModule(), MAKEINTRESOURCEW(IDM_FIND_FRAGMENTS));
    if (!menu) return;
    const UINT chosen = g_fragmentChooser(GetSubMenu(menu, 0));
    DestroyMenu(menu);
    const std::vector<std::wstring>& fragments = FindFragments();
    if (chosen < 1 || chosen > fragments.size()) return;
    HWND combo = GetDlgItem(window_, IDC_GREP_FIND);
    HWND edit = shell::ComboEdit(combo);
    if (!edit) return;
    SetFocus(edit);
    const DWORD selection = DWORD(SendMessageW(combo, CB_GETEDITSEL, 0, 0));
    SendMessageW(edit, EM_SETSEL, LOWORD(selection), HIWORD(selection));
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(fragments[chosen - 1].c_str()));
    UpdateEnabling();
}

void CGrepDialog::Browse() {
    HWND combo = GetDlgItem(window_, IDC_GREP_FOLDER);
    const std::wstring chosen = g_folderChooser(window_, shell::WindowText(combo));
    if (!chosen.empty()) SetWindowTextW(combo, chosen.substr(0, kMaxGrepText).c_str());
}

INT_PTR CALLBACK CGrepDialog::Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    return shell::DialogProcedure(dlg, msg, wp, lp, &CGrepDialog::window_, &CGrepDialog::HandleMessage);
}

INT_PTR CGrepDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: OnInit(); return FALSE;
        case WM_COMMAND: return OnCommand(LOWORD(wp), HIWORD(wp)) ? TRUE : FALSE;
        case WM_CLOSE: Hide(); return TRUE;
    }
    return FALSE;
}

void CGrepDialog::OnInit() {
    for (int field : {IDC_GREP_FIND, IDC_GREP_TYPES, IDC_GREP_FOLDER})
        SendMessageW(GetDlgItem(window_, field), CB_LIMITTEXT, kMaxGrepText, 0);
    FillHistory(IDC_GREP_FIND, kFindSection);
    FillHistory(IDC_GREP_TYPES, kTypesSection);
    FillHistory(IDC_GREP_FOLDER, kFolderSection);
    // The last texts are offered again.
    for (int field : {IDC_GREP_FIND, IDC_GREP_TYPES, IDC_GREP_FOLDER}) {
        HWND combo = GetDlgItem(window_, field);
        if (SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) SendMessageW(combo, CB_SETCURSEL, 0, 0);
    }
    HWND codePages = GetDlgItem(window_, IDC_GREP_CODEPAGE);
    const std::wstring detect = shell::LanguageString(15019);
    SendMessageW(codePages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(detect.c_str()));
    SendMessageW(codePages, CB_SETITEMDATA, 0, LPARAM(-1));
    shell::FillComboFromMenu(codePages, GetModuleHandleW(nullptr), IDM_CODEPAGES);
    SendMessageW(codePages, CB_SETCURSEL, 0, 0);
    CheckDlgButton(window_, IDC_GREP_SUBFOLDERS, BST_CHECKED);
    UpdateEnabling();
}

bool CGrepDialog::OnCommand(UINT id, UINT code) {
    switch (id) {
        case IDC_GREP_FIND:
            if (code == CBN_EDITCHANGE) UpdateEnabling();
            if (code == CBN_SELCHANGE) {
                // The field shows the chosen item only after this notification.
                HWND combo = GetDlgItem(window_, IDC_GREP_FIND);
                const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
                EnableWindow(GetDlgItem(window_, IDOK),
                             at >= 0 ? SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(at), 0) > 0
                                     : GetWindowTextLengthW(combo) > 0);
            }
            return true;
        case IDC_GREP_REGEX:
            if (code == BN_CLICKED) UpdateEnabling();
            return true;
        case IDC_GREP_FIND_MENU: ShowFragmentMenu(); return true;
        case IDC_GREP_BROWSE: Browse(); return true;
        case IDOK: Start(); return true;
        case IDCANCEL: Hide(); return true;
    }
    return false;
}

}  // namespace search
