// The pages of plain settings: General, File, Tabs and Language.
#include <windows.h>

#include "ColorScheme.h"
#include "DialogIds.h"
#include "InstanceMutex.h"
#include "OptionsDialog.h"
#include "OptionsPages.h"
#include "Owners.h"
#include "SystemCalls.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "SettingsKeys.h"
#include "ShellRegistration.h"

namespace shell {

using settings::File;

// General.

CGeneralPage::CGeneralPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_GENERAL) {}

void CGeneralPage::OnInit() {
    registered_ = IsShellMenuRegistered();
    // A missing key is shown ticked.
    multiple_ = settings::ReadBool(File::Setting, L"Setting", L"MulInst",
                                   settings::FindKey(File::Setting, L"Setting", L"MulInst")->shown);
    Check(IDC_GEN_SHELL_MENU, registered_);
    Check(IDC_GEN_MULTI_INSTANCE, multiple_);
    Check(IDC_GEN_FULL_SCREEN, settings::ReadKeyBool(File::Setting, L"Setting", L"FullScreenDialog"));
    SetText(IDC_GEN_DETECT_BUFFER,
            std::to_wstring(settings::ReadClampedInt(File::Setting, L"Setting", L"AutoDetectBuffer")));
    SetText(IDC_GEN_RECENT_COUNT,
            std::to_wstring(settings::ReadClampedInt(File::History, L"RecentDoc", L"Count")));
    const HWND schemes = Item(IDC_GEN_SCHEME);
    SendMessageW(schemes, CB_RESETCONTENT, 0, 0);
    for (UINT id : {IDS_SCHEME_FOLLOW, IDS_SCHEME_LIGHT, IDS_SCHEME_DARK})
        SendMessageW(schemes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LanguageString(id).c_str()));
    SendMessageW(schemes, CB_SETCURSEL, WPARAM(scheme::Chosen()), 0);
}

void CGeneralPage::OnCommand(int, int code, HWND control) {
    if (control && (code == BN_CLICKED || code == EN_CHANGE || code == CBN_SELCHANGE)) MarkChanged();
}

bool CGeneralPage::Apply() {
    if (!Changed()) return true;
    int detect = 0, recent = 0;
    if (!NumberField(IDC_GEN_DETECT_BUFFER, &detect) || !NumberField(IDC_GEN_RECENT_COUNT, &recent))
        return false;
    const bool shellMenu = Checked(IDC_GEN_SHELL_MENU);
    if (shellMenu != registered_) {
        shellMenu ? RegisterShellMenu() : UnregisterShellMenu();
        // Without the right to write the machine's keys nothing changes:
        // the box shows what the registry holds.
        registered_ = IsShellMenuRegistered();
        Check(IDC_GEN_SHELL_MENU, registered_);
    }
    const bool multiple = Checked(IDC_GEN_MULTI_INSTANCE);
    settings::WriteBool(File::Setting, L"Setting", L"MulInst", multiple);
    if (multiple_ && !multiple) TakeInstanceMutex();
    multiple_ = multiple;
    settings::WriteBool(File::Setting, L"Setting", L"FullScreenDialog", Checked(IDC_GEN_FULL_SCREEN));
    settings::WriteClampedInt(File::Setting, L"Setting", L"AutoDetectBuffer", detect);
    settings::WriteClampedInt(File::History, L"RecentDoc", L"Count", recent);
    const LRESULT chosen = SendMessageW(Item(IDC_GEN_SCHEME), CB_GETCURSEL, 0, 0);
    if (chosen >= 0 && scheme::Scheme(chosen) != scheme::Chosen()) {
        scheme::Choose(scheme::Scheme(chosen));
        scheme::ApplyToOpenWindows();
    }
    // The page shows what was written.
    SetText(IDC_GEN_DETECT_BUFFER,
            std::to_wstring(
                settings::Clamp(*settings::FindKey(File::Setting, L"Setting", L"AutoDetectBuffer"), detect)));
    SetText(IDC_GEN_RECENT_COUNT, std::to_wstring(settings::Clamp(
                                      *settings::FindKey(File::History, L"RecentDoc", L"Count"), recent)));
    ClearChanged();
    return true;
}

// File.

CFilePage::CFilePage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_FILE) {}

void CFilePage::OnInit() {
    HMODULE program = GetModuleHandleW(nullptr);  // the lists are the executable's own menus
    FillComboFromMenu(Item(IDC_FILE_FORMAT), program, IDM_LINE_ENDS);
    FillComboFromMenu(Item(IDC_FILE_ENCODING), program, IDM_CODEPAGES);
    if (!SelectComboData(Item(IDC_FILE_FORMAT),
                         settings::ReadClampedInt(File::Setting, L"Setting", L"DefaultFileFormat")))
        SendMessageW(Item(IDC_FILE_FORMAT), CB_SETCURSEL, 0, 0);
    HWND list = Item(IDC_FILE_ENCODING);
    const int encoding = settings::ReadClampedInt(File::Setting, L"Setting", L"DefaultEncoding");
    if (!SelectComboData(list, encoding)) {
        if (encoding > 0 && encoding <= 65535) {
            // A code page the list does not name is kept, not replaced by the first.
            const std::wstring name = L"Code page " + std::to_wstring(encoding);
            const LRESULT at = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SendMessageW(list, CB_SETITEMDATA, WPARAM(at), encoding);
            SendMessageW(list, CB_SETCURSEL, WPARAM(at), 0);
        } else {
            SendMessageW(list, CB_SETCURSEL, 0, 0);
        }
    }
    Check(IDC_FILE_EXCLUSIVE, settings::ReadKeyBool(File::Setting, L"Setting", L"ExclusiveMode"));
    Check(IDC_FILE_DETECT, settings::ReadKeyBool(File::Setting, L"Setting", L"DetectChanges"));
    Check(IDC_FILE_RELOAD, settings::ReadKeyBool(File::Setting, L"Setting", L"ReloadUnmodified"));
    SetText(IDC_FILE_AUTOWRAP,
            std::to_wstring(settings::ReadClampedInt(File::Setting, L"Setting", L"AutoWrapMax")));
}

void CFilePage::OnCommand(int, int code, HWND control) {
    if (control && (code == BN_CLICKED || code == EN_CHANGE || code == CBN_SELCHANGE)) MarkChanged();
}

bool CFilePage::Apply() {
    if (!Changed()) return true;
    int wrap = 0;
    if (!NumberField(IDC_FILE_AUTOWRAP, &wrap)) return false;
    const LPARAM format = SelectedComboData(Item(IDC_FILE_FORMAT), -1);
    const LPARAM encoding = SelectedComboData(Item(IDC_FILE_ENCODING), -1);
    if (format >= 0) settings::WriteClampedInt(File::Setting, L"Setting", L"DefaultFileFormat", int(format));
    if (encoding >= 0)
        settings::WriteClampedInt(File::Setting, L"Setting", L"DefaultEncoding", int(encoding));
    settings::WriteBool(File::Setting, L"Setting", L"ExclusiveMode", Checked(IDC_FILE_EXCLUSIVE));
    settings::WriteBool(File::Setting, L"Setting", L"DetectChanges", Checked(IDC_FILE_DETECT));
    settings::WriteBool(File::Setting, L"Setting", L"ReloadUnmodified", Checked(IDC_FILE_RELOAD));
    settings::WriteClampedInt(File::Setting, L"Setting", L"AutoWrapMax", wrap);
    ClearChanged();
    return true;
}

// Tabs.

namespace {
constexpr struct {
    int id;
    const wchar_t* key;
} kTabChecks[] = {{IDC_TAB_BOTTOM, L"Bottom"},
                  {IDC_TAB_SHOW_ICON, L"ShowIcon"},
                  {IDC_TAB_SHOW_MARK, L"ShowMark"},
                  {IDC_TAB_FIXED_WIDTH, L"FixedWidth"}};
constexpr const wchar_t* kTabStyles[] = {L"Tabs", L"Buttons", L"Flat buttons"};
}  // namespace

CTabPage::CTabPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_TAB) {}

void CTabPage::OnInit() {
    for (const auto& c : kTabChecks) Check(c.id, settings::ReadKeyBool(File::Setting, L"Tab", c.key));
    HWND style = Item(IDC_TAB_STYLE);
    for (int i = 0; i < int(std::size(kTabStyles)); ++i) {
        const LRESULT at = SendMessageW(style, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kTabStyles[i]));
        SendMessageW(style, CB_SETITEMDATA, WPARAM(at), i);
    }
    const int current = settings::ReadClampedInt(File::Setting, L"Tab", L"Style");
    if (!SelectComboData(style, current)) {
        // A style this page has no name for is kept as it is.
        const std::wstring name = L"Style " + std::to_wstring(current);
        const LRESULT at = SendMessageW(style, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(style, CB_SETITEMDATA, WPARAM(at), current);
        SendMessageW(style, CB_SETCURSEL, WPARAM(at), 0);
    }
}

bool CTabPage::Apply() {
    for (const auto& c : kTabChecks) settings::WriteBool(File::Setting, L"Tab", c.key, Checked(c.id));
    const LPARAM style = SelectedComboData(Item(IDC_TAB_STYLE), 0);
    settings::WriteInt(File::Setting, L"Tab", L"Style", int(style));
    return true;
}

// Language.

std::wstring LibraryLanguageName(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = sys::GetFileVersionInfoSize(path.c_str(), &handle);
    if (!size) return L"";
    std::vector<BYTE> data(size);
    if (!sys::GetFileVersionInfo(path.c_str(), 0, size, data.data())) return L"";
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!sys::VerQueryValue(data.data(), L"\\VarFileInfo\\Translation",
                            reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation))
        return L"";
    wchar_t name[256] = {};
    if (!VerLanguageNameW(translations[0].language, name, 256)) return L"";
    return name;
}

CLanPage::CLanPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_LANGUAGE) {}

void CLanPage::OnInit() {
    const std::wstring folder = settings::ProgramFolder() + L"mui\\";
    WIN32_FIND_DATAW found;
    if (const CUniqueFind find(FindFirstFileW((folder + L"*.dll").c_str(), &found)); find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::wstring name = LibraryLanguageName(folder + found.cFileName);
            if (!name.empty()) libraries_.push_back({found.cFileName, std::move(name)});
        } while (FindNextFileW(find.get(), &found));
    }
    std::wstring current;
    settings::ReadKeyString(File::Setting, L"Setting", L"Language", current);
    HWND list = Item(IDC_LAN_LIST);
    for (const Library& library : libraries_) {
        if (SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1),
                         reinterpret_cast<LPARAM>(library.name.c_str())) == CB_ERR)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(library.name.c_str()));
    }
    for (const Library& library : libraries_) {
        if (lstrcmpiW((L"mui\\" + library.file).c_str(), current.c_str()) == 0) {
            SendMessageW(list, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(library.name.c_str()));
            break;
        }
    }
}

bool CLanPage::Apply() {
    HWND list = Item(IDC_LAN_LIST);
    const LRESULT at = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (at < 0) return true;
    const LRESULT n = SendMessageW(list, CB_GETLBTEXTLEN, WPARAM(at), 0);
    if (n < 0) return true;
    std::wstring chosen(size_t(n) + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, WPARAM(at), reinterpret_cast<LPARAM>(chosen.data()));
    chosen.resize(size_t(n));
    for (const Library& library : libraries_) {
        if (lstrcmpiW(library.name.c_str(), chosen.c_str()) == 0) {
            settings::WriteString(File::Setting, L"Setting", L"Language", (L"mui\\" + library.file).c_str());
            break;
        }
    }
    return true;
}

}  // namespace shell
