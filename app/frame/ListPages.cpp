// The pages that edit lists of entries: file types (syntax.ini) and tools
// (tools.ini). The list box shows the entries; the fields below edit the
// selected one as it is typed; the file is written when the list changed.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string_view>

#include "DialogIds.h"
#include "OptionsDialog.h"
#include "OptionsPages.h"
#include "Resources.h"
#include "SettingsKeys.h"
#include "SystemCalls.h"

namespace shell {

using settings::File;

namespace {

// Entries beyond this many are not read: a damaged Count cannot make the
// page read for ever.
constexpr int kMaxEntries = 4096;

std::wstring Read(File f, const std::wstring& section, const wchar_t* key) {
    std::wstring value;
    settings::ReadString(f, section.c_str(), key, value);
    return value;
}

int ListIndex(HWND list) { return int(SendMessageW(list, LB_GETCURSEL, 0, 0)); }

void SetListText(HWND list, int index, const std::wstring& text) {
    SendMessageW(list, LB_DELETESTRING, WPARAM(index), 0);
    SendMessageW(list, LB_INSERTSTRING, WPARAM(index), reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
}

std::wstring Shown(const std::wstring& title) { return title.empty() ? L"(untitled)" : title; }

}  // namespace

// File types.

CFileTypePage::CFileTypePage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_FILE_TYPE) {}

namespace {

// One more than the highest n of the sections "Syntax<n>" in the file: a
// Count beyond it names only empty entries.
int SectionsInUse(File f, const wchar_t* stem) {
    const std::wstring path = settings::PathOf(f);
    settings::Readable(path);
    std::vector<wchar_t> names(4096);
    for (;;) {
        const DWORD n = GetPrivateProfileSectionNamesW(names.data(), DWORD(names.size()), path.c_str());
        if (n + 2 < names.size() || names.size() >= (1u << 22)) {
            names.resize(n + 1);
            break;
        }
        names.resize(names.size() * 2);
    }
    const std::wstring_view prefix(stem);
    int end = 0;
    for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1) {
        const std::wstring_view v(name);
        if (v.size() <= prefix.size() || v.size() > prefix.size() + 9 ||
            _wcsnicmp(name, stem, prefix.size()) != 0)
            continue;
        int index = 0;
        bool digits = true;
        for (wchar_t c : v.substr(prefix.size())) {
            if (c < L'0' || c > L'9')
                digits = false;
            else
                index = index * 10 + (c - L'0');
        }
        if (digits) end = std::max(end, index + 1);
    }
    return end;
}

}  // namespace

void CFileTypePage::OnInit() {
    const int count = std::min({std::max(settings::ReadInt(File::Syntax, L"Syntax", L"Count", 0), 0),
                                kMaxEntries, SectionsInUse(File::Syntax, L"Syntax")});
    oldCount_ = count;
    for (int i = 0; i < count; ++i) {
        const std::wstring section = settings::KeyName(L"Syntax", i);
        Entry e{Read(File::Syntax, section, L"Title"),
                Read(File::Syntax, section, L"File"),
                Read(File::Syntax, section, L"Ext"),
                Read(File::Syntax, section, L"Template"),
                L"",
                Read(File::Syntax, section, L"Names")};
        const int tab = settings::ReadInt(File::Syntax, section.c_str(), L"Tab", 0);
        if (tab) e.tab = std::to_wstring(tab);
        entries_.push_back(std::move(e));
    }
    HWND list = Item(IDC_TYPE_LIST);
    for (const Entry& e : entries_)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Shown(e.title).c_str()));
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    ShowEntry(entries_.empty() ? -1 : 0);
}

void CFileTypePage::ShowEntry(int index) {
    current_ = index;
    filling_ = true;
    const Entry none;
    const Entry& e = index >= 0 && index < int(entries_.size()) ? entries_[size_t(index)] : none;
    SetText(IDC_TYPE_TITLE, e.title);
    SetText(IDC_TYPE_FILE, e.file);
    SetText(IDC_TYPE_EXT, e.ext);
    SetText(IDC_TYPE_TEMPLATE, e.templ);
    SetText(IDC_TYPE_TAB, e.tab);
    SetText(IDC_TYPE_NAMES, e.names);
    for (int id : {IDC_TYPE_TITLE, IDC_TYPE_FILE, IDC_TYPE_EXT, IDC_TYPE_NAMES, IDC_TYPE_TEMPLATE,
                   IDC_TYPE_TAB, IDC_TYPE_REMOVE})
        EnableWindow(Item(id), index >= 0);
    filling_ = false;
}

void CFileTypePage::StoreField(int id) {
    if (filling_ || current_ < 0 || current_ >= int(entries_.size())) return;
    Entry& e = entries_[size_t(current_)];
    const std::wstring text = Text(id);
    switch (id) {
        case IDC_TYPE_TITLE:
            e.title = text;
            RefreshTitle(current_);
            break;
        case IDC_TYPE_FILE: e.file = text; break;
        case IDC_TYPE_EXT: e.ext = text; break;
        case IDC_TYPE_TEMPLATE: e.templ = text; break;
        case IDC_TYPE_TAB: e.tab = text; break;
        case IDC_TYPE_NAMES: e.names = text; break;
        default: return;
    }
    modified_ = true;
    MarkChanged();
}

void CFileTypePage::RefreshTitle(int index) {
    SetListText(Item(IDC_TYPE_LIST), index, Shown(entries_[size_t(index)].title));
}

void CFileTypePage::OnCommand(int id, int code, HWND) {
    HWND list = Item(IDC_TYPE_LIST);
    switch (id) {
        case IDC_TYPE_LIST:
            if (code == LBN_SELCHANGE) ShowEntry(ListIndex(list));
            break;
        case IDC_TYPE_ADD:
            if (code == BN_CLICKED) {
                entries_.push_back({});
                const int at = int(entries_.size()) - 1;
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Shown(L"").c_str()));
                SendMessageW(list, LB_SETCURSEL, WPARAM(at), 0);
                ShowEntry(at);
                modified_ = true;
                MarkChanged();
                SetFocus(Item(IDC_TYPE_TITLE));
            }
            break;
        case IDC_TYPE_REMOVE:
            if (code == BN_CLICKED && current_ >= 0 && current_ < int(entries_.size())) {
                entries_.erase(entries_.begin() + current_);
                SendMessageW(list, LB_DELETESTRING, WPARAM(current_), 0);
                const int next = std::min(current_, int(entries_.size()) - 1);
                SendMessageW(list, LB_SETCURSEL, WPARAM(next), 0);
                ShowEntry(next);
                modified_ = true;
                MarkChanged();
            }
            break;
        default:
            if (code == EN_CHANGE) StoreField(id);
            break;
    }
}

bool CFileTypePage::Apply() {
    if (!modified_) return true;
    std::vector<int> tabs(entries_.size(), 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const std::wstring& tab = entries_[i].tab;
        if (tab.empty() || ParseNumber(tab, &tabs[i])) continue;
        MessageBeep(MB_ICONEXCLAMATION);
        SendMessageW(Item(IDC_TYPE_LIST), LB_SETCURSEL, i, 0);
        ShowEntry(int(i));
        FocusField(IDC_TYPE_TAB);
        return false;
    }
    const settings::KeyInfo* tabKey = settings::FindKey(File::Syntax, L"Syntax0", L"Tab");
    // Sections left over from a longer list, or at a position now skipped,
    // would otherwise be read as entries.
    const int sections = std::max(oldCount_, int(entries_.size()));
    for (int i = 0; i < sections; ++i)
        settings::DeleteSection(File::Syntax, settings::KeyName(L"Syntax", i).c_str());
    settings::WriteInt(File::Syntax, L"Syntax", L"Count", int(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.title.empty() || e.file.empty()) continue;
        const std::wstring section = settings::KeyName(L"Syntax", int(i));
        settings::WriteString(File::Syntax, section.c_str(), L"Title", e.title.c_str());
        settings::WriteString(File::Syntax, section.c_str(), L"File", e.file.c_str());
        settings::WriteString(File::Syntax, section.c_str(), L"Ext", e.ext.c_str());
        if (!e.names.empty()) settings::WriteString(File::Syntax, section.c_str(), L"Names", e.names.c_str());
        settings::WriteString(File::Syntax, section.c_str(), L"Template", e.templ.c_str());
        settings::WriteInt(File::Syntax, section.c_str(), L"Tab",
                           tabKey ? settings::Clamp(*tabKey, tabs[i]) : tabs[i]);
    }
    oldCount_ = int(entries_.size());
    modified_ = false;
    return true;
}

// Tools.

CToolPage::CToolPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_TOOL) {}

namespace {

// One leading "#" is removed from Args and InitDir.
std::wstring Unmarked(std::wstring value) {
    if (!value.empty() && value[0] == L'#') value.erase(0, 1);
    return value;
}

bool SectionExists(const std::wstring& path, const std::wstring& section) {
    wchar_t buffer[4];
    // A section without keys reads as missing, as the tool runner sees it.
    return GetPrivateProfileSectionW(section.c_str(), buffer, 4, settings::Readable(path).c_str()) > 0;
}

}  // namespace

namespace {

UINT TrackAtButton(HWND owner, HMENU popup) {
    RECT r = {};
    GetWindowRect(GetFocus() ? GetFocus() : owner, &r);
    return UINT(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON, r.left, r.bottom, owner,
                                 nullptr));
}

bool ChooseProgram(HWND owner, std::wstring* path) {
    wchar_t file[32768] = {};
    if (path->size() < 32767) std::wcsncpy(file, path->c_str(), 32767);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"Programs (*.exe;*.com;*.bat;*.cmd)\0*.exe;*.com;*.bat;*.cmd\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = 32768;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!sys::GetOpenFileName(&ofn)) return false;
    *path = file;
    return true;
}

ToolMenuPicker g_menuPicker = &TrackAtButton;
ToolFilePicker g_filePicker = &ChooseProgram;

}  // namespace

void SetToolPickers(ToolMenuPicker menu, ToolFilePicker file) {
    g_menuPicker = menu ? menu : &TrackAtButton;
    g_filePicker = file ? file : &ChooseProgram;
}

// The chosen placeholder goes into the arguments where the caret is,
// replacing what is selected there.
void CToolPage::InsertPlaceholder() {
    HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_TOOL_PLACEHOLDERS));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    const UINT chosen = popup ? g_menuPicker(Window(), popup) : 0;
    wchar_t text[128] = {};
    if (chosen && GetMenuStringW(popup, chosen, text, 128, MF_BYCOMMAND) > 0) {
        std::wstring placeholder = text;
        placeholder = placeholder.substr(0, placeholder.find(L'\t'));
        HWND args = Item(IDC_TOOL_ARGS);
        SendMessageW(args, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(placeholder.c_str()));
        SetFocus(args);
    }
    DestroyMenu(menu);
}

void CToolPage::BrowseForProgram() {
    // The runner quotes the program's path itself: the field holds it bare.
    std::wstring path = Text(IDC_TOOL_EXE);
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
    if (!g_filePicker(Window(), &path)) return;
    SetText(IDC_TOOL_EXE, path);
    StoreField(IDC_TOOL_EXE);
}

void CToolPage::OnInit() {
    const std::wstring path = settings::PathOf(File::Tools);
    for (int i = 0; i < kMaxEntries; ++i) {
        const std::wstring section = settings::KeyName(L"Tool", i);
        if (!SectionExists(path, section)) break;
        Tool t;
        settings::ReadString(File::Tools, section.c_str(), L"Title", t.title);
        settings::ReadString(File::Tools, section.c_str(), L"ExePath", t.exe, L"", -1, 512);
        settings::ReadString(File::Tools, section.c_str(), L"Args", t.args, L"", -1, 512);
        settings::ReadString(File::Tools, section.c_str(), L"InitDir", t.dir, L"", -1, 512);
        t.args = Unmarked(t.args);
        t.dir = Unmarked(t.dir);
        t.flag = settings::ReadInt(File::Tools, section.c_str(), L"Flag", 0);
        tools_.push_back(std::move(t));
    }
    Refill(tools_.empty() ? -1 : 0);
}

void CToolPage::Refill(int select) {
    HWND list = Item(IDC_TOOL_LIST);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const Tool& t : tools_)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Shown(t.title).c_str()));
    SendMessageW(list, LB_SETCURSEL, WPARAM(select), 0);
    ShowTool(select);
}

void CToolPage::ShowTool(int index) {
    current_ = index;
    filling_ = true;
    const Tool none;
    const Tool& t = index >= 0 && index < int(tools_.size()) ? tools_[size_t(index)] : none;
    SetText(IDC_TOOL_TITLE, t.title);
    SetText(IDC_TOOL_EXE, t.exe);
    SetText(IDC_TOOL_ARGS, t.args);
    SetText(IDC_TOOL_DIR, t.dir);
    Check(IDC_TOOL_CAPTURE, t.flag & 1);
    Check(IDC_TOOL_ASK, t.flag & 2);
    for (int id : {IDC_TOOL_TITLE, IDC_TOOL_EXE, IDC_TOOL_ARGS, IDC_TOOL_DIR, IDC_TOOL_CAPTURE, IDC_TOOL_ASK,
                   IDC_TOOL_REMOVE, IDC_TOOL_UP, IDC_TOOL_DOWN, IDC_TOOL_ARGS_MENU, IDC_TOOL_BROWSE})
        EnableWindow(Item(id), index >= 0);
    filling_ = false;
}

void CToolPage::StoreField(int id) {
    if (filling_ || current_ < 0 || current_ >= int(tools_.size())) return;
    Tool& t = tools_[size_t(current_)];
    switch (id) {
        case IDC_TOOL_TITLE:
            t.title = Text(id);
            SetListText(Item(IDC_TOOL_LIST), current_, Shown(t.title));
            break;
        case IDC_TOOL_EXE: t.exe = Text(id); break;
        case IDC_TOOL_ARGS: t.args = Text(id); break;
        case IDC_TOOL_DIR: t.dir = Text(id); break;
        case IDC_TOOL_CAPTURE: t.flag = Checked(id) ? t.flag | 1 : t.flag & ~1; break;
        case IDC_TOOL_ASK: t.flag = Checked(id) ? t.flag | 2 : t.flag & ~2; break;
        default: return;
    }
    modified_ = true;
    MarkChanged();
}

void CToolPage::OnCommand(int id, int code, HWND) {
    const int n = int(tools_.size());
    const bool valid = current_ >= 0 && current_ < n;
    switch (id) {
        case IDC_TOOL_LIST:
            if (code == LBN_SELCHANGE) ShowTool(ListIndex(Item(IDC_TOOL_LIST)));
            return;
        case IDC_TOOL_ADD:
            if (code != BN_CLICKED) return;
            tools_.push_back({});
            Refill(n);
            SetFocus(Item(IDC_TOOL_TITLE));
            break;
        case IDC_TOOL_REMOVE:
            if (code != BN_CLICKED || !valid) return;
            tools_.erase(tools_.begin() + current_);
            Refill(std::min(current_, n - 2));
            break;
        case IDC_TOOL_UP:
            if (code != BN_CLICKED || !valid || current_ == 0) return;
            std::swap(tools_[size_t(current_)], tools_[size_t(current_ - 1)]);
            Refill(current_ - 1);
            break;
        case IDC_TOOL_DOWN:
            if (code != BN_CLICKED || !valid || current_ + 1 >= n) return;
            std::swap(tools_[size_t(current_)], tools_[size_t(current_ + 1)]);
            Refill(current_ + 1);
            break;
        case IDC_TOOL_CAPTURE:
        case IDC_TOOL_ASK:
            if (code == BN_CLICKED) StoreField(id);
            return;
        case IDC_TOOL_ARGS_MENU:
            if (code == BN_CLICKED && valid) InsertPlaceholder();
            return;
        case IDC_TOOL_BROWSE:
            if (code == BN_CLICKED && valid) BrowseForProgram();
            return;
        default:
            if (code == EN_CHANGE) StoreField(id);
            return;
    }
    modified_ = true;
    MarkChanged();
}

bool CToolPage::Apply() {
    if (!modified_) return true;
    // The whole file is rewritten, the tools numbered from 0 in list order.
    const std::wstring path = settings::PathOf(File::Tools);
    DeleteFileW(path.c_str());
    for (size_t i = 0; i < tools_.size(); ++i) {
        const Tool& t = tools_[i];
        const std::wstring section = settings::KeyName(L"Tool", int(i));
        // Quoted, so that a value with quotes at both ends reads back whole.
        settings::WriteString(File::Tools, section.c_str(), L"Title", (L"\"" + t.title + L"\"").c_str());
        settings::WriteString(File::Tools, section.c_str(), L"ExePath", (L"\"" + t.exe + L"\"").c_str());
        // Quoted, so that trailing blanks survive as the "#" keeps leading ones.
        settings::WriteString(File::Tools, section.c_str(), L"Args", (L"\"#" + t.args + L"\"").c_str());
        settings::WriteString(File::Tools, section.c_str(), L"InitDir", (L"\"#" + t.dir + L"\"").c_str());
        settings::WriteInt(File::Tools, section.c_str(), L"Flag", t.flag);
    }
    modified_ = false;
    return true;
}

}  // namespace shell
