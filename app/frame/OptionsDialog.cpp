#include "OptionsDialog.h"

#include <commctrl.h>
#include <prsht.h>

#include "CommandIds.h"
#include "DialogIds.h"
#include "OptionsPages.h"
#include "Program.h"

namespace shell {
namespace {

std::wstring Caption() {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(ResourceModule(), IDS_OPTIONS_CAPTION, reinterpret_cast<wchar_t*>(&text), 0);
    return n > 0 && text ? std::wstring(text, size_t(n)) : L"Options";
}

}  // namespace

OptionsPage OptionsPageFor(int command) {
    switch (command) {
        case ID_OPTIONS_FILE_TYPES: return OptionsPage::FileType;
        case ID_OPTIONS_FONTS: return OptionsPage::Font;
        case ID_OPTIONS_TOOLS: return OptionsPage::Tool;
        case ID_OPTIONS_MACRO_KEYS: return OptionsPage::Macro;
        case ID_OPTIONS_KEYS: return OptionsPage::Accel;
        default: return OptionsPage::General;
    }
}

COptionsDlg::COptionsDlg(HWND frame, keys::CKeyTables& keys) : frame_(frame), keys_(keys) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    // In the order of OptionsPage.
    pages_.push_back(std::make_unique<CGeneralPage>(*this));
    pages_.push_back(std::make_unique<CFilePage>(*this));
    pages_.push_back(std::make_unique<CFileTypePage>(*this));
    pages_.push_back(std::make_unique<CFontPage>(*this));
    pages_.push_back(std::make_unique<CTabPage>(*this));
    pages_.push_back(std::make_unique<CAccelPage>(*this));
    pages_.push_back(std::make_unique<CMacroPage>(*this));
    pages_.push_back(std::make_unique<CToolPage>(*this));
    pages_.push_back(std::make_unique<CLanPage>(*this));
}

COptionsDlg::~COptionsDlg() = default;

INT_PTR COptionsDlg::Run(OptionsPage page, bool modeless) {
    std::vector<PROPSHEETPAGEW> sheets;
    for (const auto& p : pages_) {
        PROPSHEETPAGEW sheetPage = {};
        sheetPage.dwSize = sizeof sheetPage;
        sheetPage.dwFlags = PSP_DEFAULT;
        sheetPage.hInstance = ResourceModule();
        sheetPage.pszTemplate = MAKEINTRESOURCEW(p->TemplateId());
        sheetPage.pfnDlgProc = &COptionsPage::Procedure;
        sheetPage.lParam = reinterpret_cast<LPARAM>(p.get());
        sheets.push_back(sheetPage);
    }
    const std::wstring caption = Caption();
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP | (modeless ? PSH_MODELESS : 0);
    header.hwndParent = frame_;
    header.hInstance = ResourceModule();
    header.pszCaption = caption.c_str();
    header.nPages = UINT(sheets.size());
    header.nStartPage = UINT(page);
    header.ppsp = sheets.data();
    return PropertySheetW(&header);
}

INT_PTR COptionsDlg::DoModal(OptionsPage page) { return Run(page, false) > 0 ? IDOK : IDCANCEL; }

HWND COptionsDlg::CreateModeless(OptionsPage page) {
    const INT_PTR result = Run(page, true);
    return result == -1 ? nullptr : reinterpret_cast<HWND>(result);
}

INT_PTR RunOptionsDialog(HWND frame, OptionsPage page, keys::CKeyTables& keys) {
    try {
        COptionsDlg dialog(frame, keys);
        return dialog.DoModal(page);
    } catch (...) {
        return IDCANCEL;  // out of memory before the dialog could show
    }
}

}  // namespace shell
