#include "FindDialog.h"

#include <algorithm>
#include <utility>

#include "DialogIds.h"
#include "EditProtocol.h"
#include "LongWork.h"
#include "Resources.h"
#include "Window.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace search {
namespace {

constexpr wchar_t kOptionsSection[] = L"Find";
constexpr wchar_t kOptionsKey[] = L"Options";
constexpr size_t kHistoryItems = 20;

// Check box, option bit.
constexpr std::pair<int, int> kChecks[] = {
    {IDC_FIND_MATCH_CASE, FIND_MATCH_CASE},   {IDC_FIND_WHOLE_WORD, FIND_WHOLE_WORD},
    {IDC_FIND_REGEX, FIND_REGEX},             {IDC_FIND_CLOSE_AFTER, FIND_CLOSE_AFTER},
    {IDC_FIND_HIGHLIGHT, FIND_HIGHLIGHT_ALL}, {IDC_FIND_INCREMENTAL, FIND_INCREMENTAL},
    {IDC_FIND_WRAP, FIND_WRAP},               {IDC_REPLACE_IN_SELECTION, FIND_IN_SELECTION},
};

UINT TrackFragmentMenu(HMENU popup) {
    POINT pt;
    GetCursorPos(&pt);
    HWND owner = GetActiveWindow();
    return UINT(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, owner, nullptr));
}
FragmentChooser g_chooser = &TrackFragmentMenu;  // main thread only

}  // namespace

const std::vector<std::wstring>& FindFragments() {
    static const std::vector<std::wstring> fragments = {
        L".", L"\\t", L"\\s", L"\\d", L"\\w", L"[]", L"[^]", L"^", L"$", L"\\n", L"*", L"+", L"?", L"|", L"()",
    };
    return fragments;
}

const std::vector<std::wstring>& ReplaceFragments() {
    static const std::vector<std::wstring> fragments = {
        L"$&", L"$1", L"$2", L"$3", L"${}", L"$+", L"$`", L"$'", L"$_", L"$$", L"\\n", L"\\t", L"\\\\",
    };
    return fragments;
}

void SetFragmentChooser(FragmentChooser chooser) { g_chooser = chooser ? chooser : &TrackFragmentMenu; }

CFindDialog::CFindDialog(HWND owner, FindHost host) : owner_(owner), host_(std::move(host)) {}

CFindDialog::~CFindDialog() {
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

int CFindDialog::TemplateId() const { return IDD_FIND; }
int CReplaceDialog::TemplateId() const { return IDD_REPLACE; }

bool CFindDialog::Create() {
    if (window_) return true;
    window_ = CreateDialogParamW(shell::ResourceModule(), MAKEINTRESOURCEW(TemplateId()), owner_, &Procedure,
                                 reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
}

void CFindDialog::Show() {
    if (!window_) return;
    if (!placed_) {
        // First shown at the owner's top right, clear of the text's start.
        placed_ = true;
        RECT owner = {}, self = {};
        if (owner_ && GetWindowRect(owner_, &owner) && GetWindowRect(window_, &self)) {
            const int x = std::max<int>(owner.left, owner.right - (self.right - self.left) - 40);
            SetWindowPos(window_, nullptr, x, owner.top + 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    ShowWindow(window_, SW_SHOW);
    HWND text = GetDlgItem(window_, IDC_FIND_TEXT);
    SetFocus(text);
    SendMessageW(text, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

void CFindDialog::Hide() {
    if (window_) ShowWindow(window_, SW_HIDE);
}

bool CFindDialog::IsVisible() const { return window_ && IsWindowVisible(window_); }

std::wstring CFindDialog::SearchText() const {
    return window_ ? shell::WindowText(GetDlgItem(window_, IDC_FIND_TEXT)) : std::wstring();
}

void CFindDialog::SetSearchText(const std::wstring& text) {
    if (!window_) return;
    // Setting the text is no edit: the incremental search does not run.
    initializing_ = true;
    SetDlgItemTextW(window_, IDC_FIND_TEXT, text.substr(0, kMaxFindText).c_str());
    initializing_ = false;
    SetIncrementalFound(true);
}

std::wstring CFindDialog::Replacement() const {
    HWND combo = window_ ? GetDlgItem(window_, IDC_REPLACE_TEXT) : nullptr;
    return combo ? shell::WindowText(combo) : std::wstring();
}

int CFindDialog::Options() const {
    int options = 0;
    if (!window_) return options;
    for (const auto& [id, bit] : kChecks)
        if (IsDlgButtonChecked(window_, id) == BST_CHECKED) options |= bit;
    return options;
}

void CFindDialog::SetOptions(int options) {
    if (!window_) return;
    for (const auto& [id, bit] : kChecks) CheckDlgButton(window_, id, (options & bit) ? BST_CHECKED : BST_UNCHECKED);
    UpdateEnabling();
    SaveOptions();
}

// ---------------------------------------------------------------------------
// The searches

// A search or replacement that runs long shows its progress in the status
// bar and stops at Esc.
SearchOutcome CFindDialog::WithProgress(UINT text, const std::function<SearchOutcome()>& run) {
    shell::CLongWork work(host_.status, text);
    search_.SetProgress([&work](int64_t done, int64_t total) { return work.Tick(done, total); });
    SearchOutcome outcome = run();
    search_.SetProgress({});
    return outcome;
}

bool CFindDialog::Prepare(HWND* view, SearchRequest* request, bool replacement) {
    request->pattern = SearchText();
    if (request->pattern.empty()) return false;
    request->options = Options() & ~(FIND_INCREMENTAL | FIND_UP);
    if (request->options & FIND_REGEX) request->options &= ~FIND_WHOLE_WORD;
    if (!IsReplace()) request->options &= ~FIND_IN_SELECTION;
    if (replacement) request->replacement = Replacement();
    *view = host_.attach ? host_.attach() : nullptr;
    if (!*view) return false;
    Remember(IDC_FIND_TEXT, L"Find", request->pattern);
    if (replacement) Remember(IDC_REPLACE_TEXT, L"Replace", request->replacement);
    return true;
}

void CFindDialog::Report(const SearchOutcome& outcome, UINT notFoundString, bool beep) {
    if (!host_.status) return;
    switch (outcome.status) {
        case SearchStatus::kFound:
            host_.status(wrapped_ ? shell::LanguageString(notFoundString == 15205 ? IDS_SEARCH_WRAPPED_BOTTOM
                                                                                   : IDS_SEARCH_WRAPPED_TOP)
                                  : std::wstring());
            wrapped_ = false;
            return;
        case SearchStatus::kNotFound:
            host_.status(shell::FormatLanguageString(notFoundString, {SearchText()}));
            break;
        case SearchStatus::kBadPattern: host_.status(outcome.error); break;
        case SearchStatus::kTooComplex: host_.status(shell::LanguageString(IDS_SEARCH_TOO_COMPLEX)); break;
        case SearchStatus::kStopped: host_.status(shell::LanguageString(IDS_SEARCH_STOPPED)); return;
    }
    if (beep) MessageBeep(MB_ICONINFORMATION);
}

// A search that found nothing to the document's end (its start going up)
// goes on from the other end once, with wrap-around on; found nothing there
// either, the selection it started from comes back.
SearchOutcome CFindDialog::FindWrapping(HWND view, const SearchRequest& request, bool up) {
    auto run = [&] { return up ? search_.FindPrevious(view, request) : search_.FindNext(view, request); };
    SearchOutcome outcome = WithProgress(IDS_PROGRESS_SEARCHING, run);
    if (outcome.status != SearchStatus::kNotFound || !(request.options & FIND_WRAP)) return outcome;
    Position anchor = {0, 0}, caret = {0, 0};
    const bool selected = SendMessageW(view, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&anchor),
                                       reinterpret_cast<LPARAM>(&caret)) != 0;
    if (!selected) SendMessageW(view, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    Position from = {0, 0};
    if (up) {
        from.line = std::max(int(SendMessageW(view, MPM_GETLINECOUNT, 0, 0)) - 1, 0);
        from.column = int(SendMessageW(view, MPM_GETLINE, WPARAM(from.line), 0));
    }
    SendMessageW(view, MPM_SETCARET, reinterpret_cast<WPARAM>(&from), 0);
    outcome = WithProgress(IDS_PROGRESS_SEARCHING, run);
    if (outcome.status == SearchStatus::kFound) {
        wrapped_ = true;
    } else if (selected) {
        SendMessageW(view, MPM_SELECT, reinterpret_cast<WPARAM>(&anchor), reinterpret_cast<LPARAM>(&caret));
    } else {
        SendMessageW(view, MPM_SETCARET, reinterpret_cast<WPARAM>(&caret), 0);
    }
    return outcome;
}

SearchOutcome CFindDialog::FindNext() {
    HWND view = nullptr;
    SearchRequest request;
    if (!Prepare(&view, &request, false)) return {};
    wrapped_ = false;
    const SearchOutcome outcome = FindWrapping(view, request, false);
    Report(outcome, 15204, true);
    // With FIND_HIGHLIGHT_ALL a match has highlighted all matches too.
    if (outcome.status == SearchStatus::kFound && (request.options & FIND_CLOSE_AFTER)) Hide();
    return outcome;
}

SearchOutcome CFindDialog::FindPrevious() {
    HWND view = nullptr;
    SearchRequest request;
    if (!Prepare(&view, &request, false)) return {};
    wrapped_ = false;
    const SearchOutcome outcome = FindWrapping(view, request, true);
    Report(outcome, 15205, true);
    // With FIND_HIGHLIGHT_ALL a match has highlighted all matches too.
    if (outcome.status == SearchStatus::kFound && (request.options & FIND_CLOSE_AFTER)) Hide();
    return outcome;
}

SearchOutcome CFindDialog::FindIncremental() {
    SearchRequest request;
    request.pattern = SearchText();
    request.options = Options() & ~(FIND_INCREMENTAL | FIND_UP);
    if (request.options & FIND_REGEX) request.options &= ~FIND_WHOLE_WORD;
    HWND view = host_.attach ? host_.attach() : nullptr;
    if (request.pattern.empty() || !view) {
        SetIncrementalFound(true);
        return {};
    }
    const SearchOutcome outcome = search_.FindIncremental(view, request);
    SetIncrementalFound(outcome.status == SearchStatus::kFound);
    // Typing goes on: the status bar tells, without a beep at each key.
    Report(outcome, 15204, false);
    return outcome;
}

SearchOutcome CFindDialog::ListAll() {
    HWND view = nullptr;
    SearchRequest request;
    if (!Prepare(&view, &request, false)) return {};
    const std::wstring path = host_.documentPath ? host_.documentPath() : std::wstring();
    const HWND output = host_.showOutput ? host_.showOutput() : nullptr;
    // The output keeps what it holds: a new listing starts on a line of its
    // own, once it writes anything (a refused pattern writes nothing).
    bool separate = output && (SendMessageW(output, MPM_GETLINECOUNT, 0, 0) > 1 ||
                               SendMessageW(output, MPM_GETLINE, 0, 0) > 0);
    const OutputWriter write = [this, &separate](const std::wstring& text) {
        if (!host_.output) return;
        if (separate) host_.output(L"\n");
        separate = false;
        host_.output(text);
    };
    // Redraw comes back on every way out: switched off, the window is hidden.
    struct RedrawOff {
        HWND window;
        explicit RedrawOff(HWND w) : window(w) {
            if (window) SendMessageW(window, WM_SETREDRAW, FALSE, 0);
        }
        ~RedrawOff() {
            if (!window) return;
            SendMessageW(window, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(window, nullptr, TRUE);
        }
    };
    SearchOutcome outcome;
    {
        RedrawOff quiet(output);
        outcome = WithProgress(IDS_PROGRESS_SEARCHING, [&] { return search_.ListAll(view, path, request, write); });
        if (output && outcome.status == SearchStatus::kFound)
            HighlightAll(output, request.pattern, request.options | FIND_RESULT_LINES);
    }
    if (outcome.status == SearchStatus::kFound || outcome.status == SearchStatus::kNotFound) {
        // The output tells the count, also when it is 0.
        if (host_.status) host_.status(L"");
        return outcome;
    }
    Report(outcome, 15204, true);
    return outcome;
}

SearchOutcome CFindDialog::Replace() {
    HWND view = nullptr;
    SearchRequest request;
    if (!Prepare(&view, &request, true)) return {};
    const SearchOutcome outcome =
        WithProgress(IDS_PROGRESS_SEARCHING, [&] { return search_.Replace(view, request); });
    Report(outcome, 15204, true);
    if (request.options & FIND_HIGHLIGHT_ALL) HighlightAll(view, request.pattern, request.options);
    return outcome;
}

SearchOutcome CFindDialog::ReplaceAll() {
    HWND view = nullptr;
    SearchRequest request;
    if (!Prepare(&view, &request, true)) return {};
    if (request.options & FIND_IN_SELECTION) {
        Position a = {}, b = {};
        const bool any = SendMessageW(view, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&a),
                                      reinterpret_cast<LPARAM>(&b)) != 0 &&
                         (a.line != b.line || a.column != b.column);
        if (!any) {
            if (host_.status) host_.status(shell::LanguageString(IDS_NOTHING_SELECTED));
            MessageBeep(MB_ICONINFORMATION);
            return {};
        }
    }
    const SearchOutcome outcome =
        WithProgress(IDS_PROGRESS_REPLACING, [&] { return search_.ReplaceAll(view, request); });
    if (outcome.status == SearchStatus::kStopped) {
        // What was replaced stays, as one undo step: say how much.
        if (host_.status)
            host_.status(shell::FormatLanguageString(IDS_REPLACE_STOPPED, {std::to_wstring(outcome.count)}));
        return outcome;
    }
    if (outcome.status == SearchStatus::kFound || outcome.status == SearchStatus::kNotFound) {
        if (host_.status) host_.status(shell::FormatLanguageString(15200, {std::to_wstring(outcome.count)}));
        if (outcome.count == 0) MessageBeep(MB_ICONINFORMATION);
        return outcome;
    }
    Report(outcome, 15204, true);
    // What was replaced before the search gave up stays (one undo step): say so.
    if (outcome.status == SearchStatus::kTooComplex && outcome.count > 0 && host_.status)
        host_.status(shell::LanguageString(IDS_SEARCH_TOO_COMPLEX) + L" " +
                     shell::FormatLanguageString(15200, {std::to_wstring(outcome.count)}));
    return outcome;
}

void CFindDialog::SetIncrementalFound(bool found) {
    if (incrementalFound_ == found) return;
    incrementalFound_ = found;
    if (window_) InvalidateRect(shell::ComboEdit(GetDlgItem(window_, IDC_FIND_TEXT)), nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// History and options

void CFindDialog::FillHistory(int field, const wchar_t* section) {
    HWND combo = GetDlgItem(window_, field);
    if (!combo) return;
    const std::wstring text = shell::WindowText(combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : settings::ReadHistory(settings::File::History, section))
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.substr(0, kMaxFindText).c_str()));
    SetWindowTextW(combo, text.c_str());
}

// The text goes to the front of the list (once), which keeps 20 items.
void CFindDialog::Remember(int field, const wchar_t* section, const std::wstring& text) {
    if (text.empty()) return;
    std::vector<std::wstring> items = settings::ReadHistory(settings::File::History, section);
    if (!items.empty() && items.front() == text) return;  // F3 again: nothing to write
    items.erase(std::remove(items.begin(), items.end(), text), items.end());
    items.insert(items.begin(), text);
    if (items.size() > kHistoryItems) items.resize(kHistoryItems);
    settings::WriteHistory(settings::File::History, section, items);
    initializing_ = true;
    FillHistory(field, section);
    initializing_ = false;
}

void CFindDialog::SaveOptions() {
    if (initializing_) return;
    // An option the other form has and this one lacks keeps its stored value.
    int kept = settings::ReadClampedInt(settings::File::Setting, kOptionsSection, kOptionsKey);
    for (const auto& [id, bit] : kChecks)
        if (window_ && GetDlgItem(window_, id)) kept &= ~bit;
    settings::WriteClampedInt(settings::File::Setting, kOptionsSection, kOptionsKey,
                              (Options() | kept) & kDialogOptions);
}

void CFindDialog::UpdateEnabling() {
    const bool regex = IsDlgButtonChecked(window_, IDC_FIND_REGEX) == BST_CHECKED;
    EnableWindow(GetDlgItem(window_, IDC_FIND_WHOLE_WORD), !regex);
    EnableWindow(GetDlgItem(window_, IDC_FIND_TEXT_MENU), regex);
    if (HWND button = GetDlgItem(window_, IDC_REPLACE_TEXT_MENU)) EnableWindow(button, regex);
}

// ---------------------------------------------------------------------------
// Fragments

void CFindDialog::ShowFragmentMenu(int field) {
    const bool replace = field == IDC_REPLACE_TEXT;
    HMENU menu = LoadMenuW(shell::ResourceModule(),
                           MAKEINTRESOURCEW(replace ? IDM_REPLACE_FRAGMENTS : IDM_FIND_FRAGMENTS));
    if (!menu) return;
    const UINT chosen = g_chooser(GetSubMenu(menu, 0));
    DestroyMenu(menu);
    const std::vector<std::wstring>& fragments = replace ? ReplaceFragments() : FindFragments();
    if (chosen >= 1 && chosen <= fragments.size()) InsertFragment(field, fragments[chosen - 1]);
}

void CFindDialog::InsertFragment(int field, const std::wstring& fragment) {
    HWND combo = window_ ? GetDlgItem(window_, field) : nullptr;
    HWND edit = shell::ComboEdit(combo);
    if (!edit) return;
    SetFocus(edit);
    // The combo box forgets its field's selection when it loses the focus.
    const DWORD selection = DWORD(SendMessageW(combo, CB_GETEDITSEL, 0, 0));
    SendMessageW(edit, EM_SETSEL, LOWORD(selection), HIWORD(selection));
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(fragment.c_str()));
    // A pair of brackets or braces leaves the caret between them.
    const wchar_t last = fragment.empty() ? 0 : fragment.back();
    if (last == L']' || last == L')' || last == L'}') {
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        if (end > 0) SendMessageW(edit, EM_SETSEL, end - 1, end - 1);
    }
}

// ---------------------------------------------------------------------------
// The dialog's procedure

INT_PTR CALLBACK CFindDialog::Procedure(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    return shell::DialogProcedure(dlg, msg, wp, lp, &CFindDialog::window_, &CFindDialog::HandleMessage);
}

INT_PTR CFindDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: OnInit(); return FALSE;
        case WM_COMMAND: return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
        case WM_CTLCOLOREDIT: return OnColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        case WM_CLOSE: Hide(); return TRUE;
    }
    return FALSE;
}

void CFindDialog::OnInit() {
    initializing_ = true;
    for (const auto& [field, section] : {std::pair<int, const wchar_t*>{IDC_FIND_TEXT, L"Find"},
                                         std::pair<int, const wchar_t*>{IDC_REPLACE_TEXT, L"Replace"}}) {
        HWND combo = GetDlgItem(window_, field);
        if (!combo) continue;
        SendMessageW(combo, CB_LIMITTEXT, kMaxFindText, 0);
        FillHistory(field, section);
        // The last text searched for is offered again.
        if (SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) SendMessageW(combo, CB_SETCURSEL, 0, 0);
    }
    const int options = settings::ReadClampedInt(settings::File::Setting, kOptionsSection, kOptionsKey);
    for (const auto& [id, bit] : kChecks) CheckDlgButton(window_, id, (options & bit) ? BST_CHECKED : BST_UNCHECKED);
    UpdateEnabling();
    initializing_ = false;
}

bool CFindDialog::OnCommand(UINT id, UINT code, HWND) {
    switch (id) {
        case IDC_FIND_TEXT:
            if ((code == CBN_EDITCHANGE || code == CBN_SELCHANGE) && !initializing_) {
                if (!(Options() & FIND_INCREMENTAL)) return true;
                if (code == CBN_SELCHANGE) {
                    // The field shows the chosen item only after this notification.
                    HWND combo = GetDlgItem(window_, IDC_FIND_TEXT);
                    const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
                    const LRESULT n = at >= 0 ? SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(at), 0) : -1;
                    if (n < 0) return true;
                    std::wstring item(size_t(n) + 1, L'\0');
                    SendMessageW(combo, CB_GETLBTEXT, WPARAM(at), reinterpret_cast<LPARAM>(item.data()));
                    item.resize(size_t(n));
                    initializing_ = true;
                    SetWindowTextW(combo, item.c_str());
                    initializing_ = false;
                }
                FindIncremental();
            }
            return true;
        case IDC_FIND_MATCH_CASE:
        case IDC_FIND_WHOLE_WORD:
        case IDC_FIND_REGEX:
        case IDC_FIND_CLOSE_AFTER:
        case IDC_FIND_HIGHLIGHT:
        case IDC_FIND_INCREMENTAL:
        case IDC_FIND_WRAP:
        case IDC_REPLACE_IN_SELECTION:
            if (code != BN_CLICKED) return true;
            UpdateEnabling();
            SaveOptions();
            if (id == IDC_FIND_HIGHLIGHT && !(Options() & FIND_HIGHLIGHT_ALL)) {
                if (HWND view = host_.attach ? host_.attach() : nullptr) ClearHighlight(view);
            }
            if (id == IDC_FIND_INCREMENTAL && !(Options() & FIND_INCREMENTAL)) SetIncrementalFound(true);
            return true;
        case IDC_FIND_TEXT_MENU: ShowFragmentMenu(IDC_FIND_TEXT); return true;
        case IDC_REPLACE_TEXT_MENU: ShowFragmentMenu(IDC_REPLACE_TEXT); return true;
        case IDC_FIND_NEXT_BUTTON: FindNext(); return true;
        case IDC_FIND_PREVIOUS_BUTTON: FindPrevious(); return true;
        case IDC_FIND_LIST_ALL: ListAll(); return true;
        case IDC_REPLACE_BUTTON: Replace(); return true;
        case IDC_REPLACE_ALL: ReplaceAll(); return true;
        case IDOK:
        case IDCANCEL: Hide(); return true;
    }
    return false;
}

INT_PTR CFindDialog::OnColor(HDC dc, HWND control) {
    if (incrementalFound_ || !control || control != shell::ComboEdit(GetDlgItem(window_, IDC_FIND_TEXT))) return FALSE;
    if (!notFoundBrush_) notFoundBrush_.reset(CreateSolidBrush(kNotFoundColor));
    SetBkColor(dc, kNotFoundColor);
    return reinterpret_cast<INT_PTR>(notFoundBrush_.get());
}

}  // namespace search
