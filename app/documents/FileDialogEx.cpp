// CFileDialogEx runs the system dialog with OFN_ENABLETEMPLATE: the panel
// (template 216 of the language library) becomes a child of the system
// dialog and its procedure is our hook. The hook fills the lists at
// WM_INITDIALOG, keeps the byte-order box in step with the code page, and
// reads the panel into the choice at CDN_FILEOK, while the panel still
// exists. Nothing is written to the caller's FileChoice unless the dialog
// was confirmed.
#include "FileDialogEx.h"

#include <commdlg.h>

#include <cwchar>
#include <new>

#include "DialogIds.h"
#include "DialogControls.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "SyntaxList.h"
#include "SystemCalls.h"

namespace documents {
namespace {

FileDialogHook g_fileHook = nullptr;
CodePageHook g_codePageHook = nullptr;
DialogShownHook g_shownHook = nullptr;

constexpr DWORD kBufferSize = 32768;  // room for many names in one multiple selection

// The type list from the syntax definitions, "|" turned into NULs and the
// whole ended by two.
std::wstring TypeFilter() {
    std::wstring filter = syntax::FileTypeFilter();
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    return filter;
}

// The items of the first popup of `menu` in the executable (text, item
// data = identifier) in a combo or list box.
void FillFromMenu(HWND box, int menu, bool list, bool withNumber) {
    shell::FillComboFromMenu(box, GetModuleHandleW(nullptr), menu, list, withNumber);
}


class CFileDialogEx {
   public:
    CFileDialogEx(bool save, const FileChoice& start) : save_(save), choice_(start) {}

    // Save mode starts on `initial` as the file name, open mode in it as the folder.
    bool Run(HWND owner, const std::wstring& initial) {
        std::vector<wchar_t> buffer(kBufferSize, L'\0');
        if (save_ && !initial.empty()) wcsncpy(buffer.data(), initial.c_str(), kBufferSize - 1);
        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.hInstance = shell::ResourceModule();
        ofn.lpTemplateName = MAKEINTRESOURCEW(IDD_FILE_PANEL);
        ofn.lpfnHook = &CFileDialogEx::HookProc;
        ofn.lCustData = reinterpret_cast<LPARAM>(this);
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = kBufferSize;
        const std::wstring filter = TypeFilter();
        ofn.lpstrFilter = filter.c_str();
        ofn.lpstrDefExt = L"txt";
        if (!save_ && !initial.empty()) ofn.lpstrInitialDir = initial.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLESIZING | OFN_NOCHANGEDIR |
                    OFN_PATHMUSTEXIST;
        if (save_)
            ofn.Flags |= OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
        else
            ofn.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
        const BOOL ok = save_ ? shell::sys::GetSaveFileName(&ofn) : shell::sys::GetOpenFileName(&ofn);
        if (!ok) return false;
        if (save_) {
            choice_.paths.assign(1, std::wstring(buffer.data()));
        } else {
            choice_.paths = SplitSelection(buffer.data(), buffer.size());
            choice_.readOnly = (ofn.Flags & OFN_READONLY) != 0;
        }
        return !choice_.paths.empty() && !choice_.paths.front().empty();
    }

    const FileChoice& Choice() const { return choice_; }

   private:
    static UINT_PTR CALLBACK HookProc(HWND panel, UINT msg, WPARAM wp, LPARAM lp) {
        try {
            if (msg == WM_INITDIALOG) {
                auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lp);
                auto* self = reinterpret_cast<CFileDialogEx*>(ofn->lCustData);
                SetWindowLongPtrW(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
                self->InitPanel(panel);
                // FALSE: the dialog manager would give the focus to the
                // panel's first control, the code-page list.
                return FALSE;
            }
            auto* self = reinterpret_cast<CFileDialogEx*>(GetWindowLongPtrW(panel, GWLP_USERDATA));
            if (!self) return 0;
            if (msg == WM_COMMAND && LOWORD(wp) == IDC_FILE_CODEPAGE && HIWORD(wp) == CBN_SELCHANGE) {
                self->UpdateBomBox(panel, true);
            } else if (msg == WM_NOTIFY) {
                const auto* hdr = reinterpret_cast<const NMHDR*>(lp);
                if (hdr->code == CDN_INITDONE && g_shownHook) g_shownHook(panel);
                if (hdr->code == CDN_FILEOK) self->ReadPanel(panel);
            }
        } catch (...) {
            // Nothing the panel does may end the dialog abnormally.
        }
        return 0;
    }

    void InitPanel(HWND panel) {
        HWND codePages = GetDlgItem(panel, IDC_FILE_CODEPAGE);
        if (!save_) {
            const std::wstring detect = shell::LanguageString(15019);
            SendMessageW(codePages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(detect.c_str()));
            SendMessageW(codePages, CB_SETITEMDATA, 0, 1);
        }
        FillFromMenu(codePages, IDM_CODEPAGES, false, false);
        if (!save_) {
            SendMessageW(codePages, CB_SETCURSEL, 0, 0);
            for (int id : {IDC_FILE_LINEEND, IDC_FILE_BOM, IDC_FILE_LABEL})
                ShowWindow(GetDlgItem(panel, id), SW_HIDE);
            return;
        }
        if (!shell::SelectComboData(codePages, choice_.codePage)) SendMessageW(codePages, CB_SETCURSEL, 0, 0);
        HWND lineEnds = GetDlgItem(panel, IDC_FILE_LINEEND);
        FillFromMenu(lineEnds, IDM_LINE_ENDS, false, false);
        if (!shell::SelectComboData(lineEnds, choice_.lineEnd)) SendMessageW(lineEnds, CB_SETCURSEL, 0, 0);
        CheckDlgButton(panel, IDC_FILE_BOM, choice_.bom ? BST_CHECKED : BST_UNCHECKED);
        UpdateBomBox(panel, false);
    }

    // The mark is possible only in the Unicode code pages: the box is
    // enabled there (and set when the code page changed), else disabled
    // and cleared.
    void UpdateBomBox(HWND panel, bool changed) {
        const bool applies = BomApplies(int(shell::SelectedComboData(GetDlgItem(panel, IDC_FILE_CODEPAGE), 0)));
        HWND box = GetDlgItem(panel, IDC_FILE_BOM);
        EnableWindow(box, applies);
        if (!applies)
            CheckDlgButton(panel, IDC_FILE_BOM, BST_UNCHECKED);
        else if (changed)
            CheckDlgButton(panel, IDC_FILE_BOM, BST_CHECKED);
    }

    void ReadPanel(HWND panel) {
        choice_.codePage = int(shell::SelectedComboData(GetDlgItem(panel, IDC_FILE_CODEPAGE), save_ ? choice_.codePage : 1));
        if (!save_) return;
        choice_.lineEnd = int(shell::SelectedComboData(GetDlgItem(panel, IDC_FILE_LINEEND), choice_.lineEnd));
        // The third state means "as it was".
        const UINT state = IsDlgButtonChecked(panel, IDC_FILE_BOM);
        if (state == BST_CHECKED)
            choice_.bom = 1;
        else if (state == BST_UNCHECKED)
            choice_.bom = 0;
        if (!BomApplies(choice_.codePage)) choice_.bom = 0;
    }

    bool save_;
    FileChoice choice_;
};

bool RunFileDialog(HWND owner, bool save, const std::wstring& initial, FileChoice* choice) {
    if (!choice) return false;
    try {
        if (g_fileHook) return g_fileHook(save, choice);
        FileChoice start = *choice;
        start.paths.clear();
        CFileDialogEx dialog(save, start);
        if (!dialog.Run(owner, initial)) return false;
        *choice = dialog.Choice();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

INT_PTR CALLBACK CodePageProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    try {
        switch (msg) {
            case WM_INITDIALOG: {
                HWND list = GetDlgItem(dialog, IDC_CODEPAGE_LIST);
                FillFromMenu(list, IDM_CODEPAGES, true, true);
                wchar_t system[64] = {};
                swprintf(system, 64, L"System Codepage [%u]", GetACP());
                SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(system));
                SendMessageW(list, LB_SETITEMDATA, 0, 0);
                SendMessageW(list, LB_SETCURSEL, 0, 0);
                if (g_shownHook) g_shownHook(dialog);
                return TRUE;
            }
            case WM_COMMAND: {
                const UINT id = LOWORD(wp);
                const bool pick = id == IDOK || (id == IDC_CODEPAGE_LIST && HIWORD(wp) == LBN_DBLCLK);
                if (pick) {
                    HWND list = GetDlgItem(dialog, IDC_CODEPAGE_LIST);
                    const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
                    const INT_PTR result =
                        at >= 0 ? INT_PTR(SendMessageW(list, LB_GETITEMDATA, WPARAM(at), 0)) : -1;
                    EndDialog(dialog, result);
                    return TRUE;
                }
                if (id == IDCANCEL) {
                    EndDialog(dialog, -1);
                    return TRUE;
                }
                break;
            }
        }
    } catch (...) {
    }
    (void)lp;
    return FALSE;
}

}  // namespace

bool BomApplies(int codePage) {
    switch (codePage) {
        case 1200:
        case 1201:
        case 12000:
        case 12001:
        case 65001:
        case 65000: return true;
    }
    return false;
}

std::vector<std::wstring> SplitSelection(const wchar_t* buffer, size_t size) {
    std::vector<std::wstring> paths;
    if (!buffer || !size) return paths;
    size_t at = 0;
    auto next = [&]() {
        const size_t start = at;
        while (at < size && buffer[at]) ++at;
        std::wstring part(buffer + start, at - start);
        if (at < size) ++at;
        return part;
    };
    const std::wstring first = next();
    if (first.empty()) return paths;
    while (at < size && buffer[at]) {
        std::wstring path = first;
        if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
        paths.push_back(path + next());
    }
    if (paths.empty()) paths.push_back(first);
    return paths;
}

bool ShowOpenDialog(HWND owner, FileChoice* choice) {
    return RunFileDialog(owner, false, std::wstring(), choice);
}

bool ShowOpenDialog(HWND owner, const std::wstring& initialFolder, FileChoice* choice) {
    return RunFileDialog(owner, false, initialFolder, choice);
}

bool ShowSaveDialog(HWND owner, const std::wstring& initialPath, FileChoice* choice) {
    return RunFileDialog(owner, true, initialPath, choice);
}

FileDialogHook SetFileDialogHook(FileDialogHook hook) {
    const FileDialogHook previous = g_fileHook;
    g_fileHook = hook;
    return previous;
}

int ChooseCodePage(HWND owner) {
    if (g_codePageHook) return g_codePageHook(owner);
    const INT_PTR result =
        DialogBoxParamW(shell::ResourceModule(), MAKEINTRESOURCEW(IDD_CODEPAGE), owner, CodePageProc, 0);
    return result < 0 ? -1 : int(result);
}

CodePageHook SetCodePageHook(CodePageHook hook) {
    const CodePageHook previous = g_codePageHook;
    g_codePageHook = hook;
    return previous;
}

DialogShownHook SetDialogShownHook(DialogShownHook hook) {
    const DialogShownHook previous = g_shownHook;
    g_shownHook = hook;
    return previous;
}

}  // namespace documents
