// The key pages: command keys (CAccelPage) and macro keys (CMacroPage).
// Both edit the frame's key tables in place and write their key.ini
// section when applied after a change.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>

#include "CommandIds.h"
#include "DialogIds.h"
#include "KeyField.h"
#include "OptionsDialog.h"
#include "OptionsPages.h"
#include "Paths.h"
#include "Program.h"

namespace shell {
namespace {

std::wstring Format(const std::wstring& pattern, const std::wstring& value) {
    std::wstring text = pattern;
    const size_t at = text.find(L"%s");
    if (at == std::wstring::npos) return text + L" " + value;
    return text.replace(at, 2, value);
}

// The label of `command` in `menu` (searched through its popups), or "".
std::wstring FindLabel(HMENU menu, int command) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            std::wstring label = FindLabel(sub, command);
            if (!label.empty()) return label;
            continue;
        }
        if (int(GetMenuItemID(menu, i)) != command) continue;
        wchar_t text[256] = {};
        GetMenuStringW(menu, UINT(i), text, 256, MF_BYPOSITION);
        return MenuLabel(text);
    }
    return L"";
}

void AddMenuToTree(HWND tree, HMENU menu, HTREEITEM parent) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 255;
        if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
        const std::wstring label = MenuLabel(text);
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(label.c_str());
        insert.item.lParam = info.hSubMenu ? 0 : LPARAM(info.wID);
        const auto item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        if (info.hSubMenu && item) {
            AddMenuToTree(tree, info.hSubMenu, item);
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        }
    }
}

LPARAM SelectedTreeParam(HWND tree) {
    TVITEMW item = {};
    item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item.hItem) return 0;
    item.mask = TVIF_PARAM;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return item.lParam;
}

bool StatusColour(HWND page, int statusId, WPARAM dc, LPARAM control, INT_PTR* result) {
    if (GetDlgCtrlID(reinterpret_cast<HWND>(control)) != statusId) return false;
    SetTextColor(reinterpret_cast<HDC>(dc), RGB(255, 0, 0));
    SetBkMode(reinterpret_cast<HDC>(dc), TRANSPARENT);
    // The page's own background shows through (themed pages are not
    // button-face grey); SetStatus repaints it under a new text.
    *result = reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    (void)page;
    return true;
}

void SetStatus(HWND page, int statusId, const std::wstring& text) {
    HWND status = GetDlgItem(page, statusId);
    SetWindowTextW(status, text.c_str());
    RECT r;
    GetWindowRect(status, &r);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(page, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

// Commands.

CAccelPage::CAccelPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_ACCEL) {}

void CAccelPage::OnInit() {
    HWND group = Item(IDC_ACCEL_GROUP);
    const LRESULT global = SendMessageW(group, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Global"));
    SendMessageW(group, CB_SETITEMDATA, WPARAM(global), IDM_GLOBAL_COMMANDS);
    const LRESULT edit = SendMessageW(group, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Edit"));
    SendMessageW(group, CB_SETITEMDATA, WPARAM(edit), IDM_EDIT_COMMANDS);
    SendMessageW(group, CB_SETCURSEL, WPARAM(global), 0);
    AttachKeyField(Item(IDC_ACCEL_KEY));
    saved_ = owner_.Keys().commands;
    savedModified_ = owner_.Keys().commandsModified;
    FillTree();
}

void CAccelPage::FillTree() {
    HWND tree = Item(IDC_ACCEL_TREE);
    SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    const int menuId = int(SelectedComboData(Item(IDC_ACCEL_GROUP), IDM_GLOBAL_COMMANDS));
    if (HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(menuId))) {
        AddMenuToTree(tree, menu, TVI_ROOT);
        DestroyMenu(menu);
    }
    ShowKeys();
}

int CAccelPage::SelectedCommand() const { return int(SelectedTreeParam(Item(IDC_ACCEL_TREE))); }

void CAccelPage::ShowKeys() {
    HWND list = Item(IDC_ACCEL_KEYS);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const int command = SelectedCommand();
    if (!command) return;
    const auto& table = owner_.Keys().commands;
    for (size_t i = 0; i < table.size(); ++i) {
        if (int(table[i] >> 16) != command) continue;
        const std::wstring name = keys::KeyName(uint16_t(table[i] & 0xFFFF));
        const LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendMessageW(list, LB_SETITEMDATA, WPARAM(at), LPARAM(i));
    }
}

std::wstring CAccelPage::CommandName(int command) const {
    for (int menuId : {IDM_GLOBAL_COMMANDS, IDM_EDIT_COMMANDS}) {
        HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(menuId));
        if (!menu) continue;
        std::wstring label = FindLabel(menu, command);
        DestroyMenu(menu);
        if (!label.empty()) return label;
    }
    return L"Command " + std::to_wstring(command);
}

void CAccelPage::Assign() {
    const int command = SelectedCommand();
    const auto key = uint16_t(SendMessageW(Item(IDC_ACCEL_KEY), KFM_GETKEY, 0, 0));
    if (!command) return;
    if (!(key & 0xFF)) {
        SetStatus(Window(), IDC_ACCEL_STATUS,
                  String(IDS_KEY_NONE, L"Press a key combination in the key field first."));
        return;
    }
    auto& tables = owner_.Keys();
    if (const int bound = tables.CommandFor(key)) {
        SetStatus(Window(), IDC_ACCEL_STATUS,
                  Format(String(IDS_KEY_TAKEN, L"This key is already used by \"%s\"."), CommandName(bound)));
        return;
    }
    tables.commands.push_back((uint32_t(command) << 16) | key);
    tables.commandsModified = true;
    SetStatus(Window(), IDC_ACCEL_STATUS, L"");
    SendMessageW(Item(IDC_ACCEL_KEY), KFM_SETKEY, 0, 0);
    ShowKeys();
    MarkChanged();
}

void CAccelPage::Remove() {
    HWND list = Item(IDC_ACCEL_KEYS);
    const LRESULT at = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (at < 0) return;
    const auto index = size_t(SendMessageW(list, LB_GETITEMDATA, WPARAM(at), 0));
    auto& tables = owner_.Keys();
    if (index >= tables.commands.size()) return;
    tables.commands.erase(tables.commands.begin() + ptrdiff_t(index));
    tables.commandsModified = true;
    SetStatus(Window(), IDC_ACCEL_STATUS, L"");
    ShowKeys();
    MarkChanged();
}

void CAccelPage::OnCommand(int id, int code, HWND) {
    if (id == IDC_ACCEL_GROUP && code == CBN_SELCHANGE)
        FillTree();
    else if (id == IDC_ACCEL_ASSIGN && code == BN_CLICKED)
        Assign();
    else if (id == IDC_ACCEL_REMOVE && code == BN_CLICKED)
        Remove();
}

LRESULT CAccelPage::OnNotify(NMHDR* header) {
    if (header->idFrom == IDC_ACCEL_TREE && header->code == TVN_SELCHANGEDW) ShowKeys();
    if (header->code == PSN_RESET) {
        owner_.Keys().commands = saved_;
        owner_.Keys().commandsModified = savedModified_;
    }
    return 0;
}

bool CAccelPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
    return msg == WM_CTLCOLORSTATIC && StatusColour(Window(), IDC_ACCEL_STATUS, wp, lp, result);
}

bool CAccelPage::Apply() {
    auto& tables = owner_.Keys();
    if (tables.commandsModified) {
        tables.SaveCommands(settings::PathOf(settings::File::Key));
        tables.commandsModified = false;
    }
    saved_ = tables.commands;
    savedModified_ = false;
    return true;
}

// Macros.

CMacroPage::CMacroPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_MACRO) {}

void CMacroPage::OnInit() {
    AttachKeyField(Item(IDC_MACRO_KEY));
    saved_ = owner_.Keys().macros;
    savedModified_ = owner_.Keys().macrosModified;
    Fill(shell::ReadMacroFolder(shell::MacroFolder()), TVI_ROOT);
}

void CMacroPage::Fill(const std::vector<shell::MacroEntry>& entries, HTREEITEM parent) {
    HWND tree = Item(IDC_MACRO_TREE);
    for (const shell::MacroEntry& e : entries) {
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(e.label.c_str());
        if (!e.folder) {
            files_.push_back(e.path);
            insert.item.lParam = LPARAM(files_.size());  // 1-based; folders have 0
        }
        const auto item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        if (e.folder && item) {
            Fill(e.children, item);
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        }
    }
}

const std::wstring* CMacroPage::SelectedFile() const {
    const LPARAM n = SelectedTreeParam(Item(IDC_MACRO_TREE));
    if (n <= 0 || size_t(n) > files_.size()) return nullptr;
    return &files_[size_t(n - 1)];
}

void CMacroPage::ShowBinding() {
    uint16_t key = 0;
    if (const std::wstring* file = SelectedFile()) {
        for (const keys::MacroBinding& b : owner_.Keys().macros) {
            if (lstrcmpiW(b.path.c_str(), file->c_str()) == 0) {
                key = b.key;
                break;
            }
        }
    }
    SendMessageW(Item(IDC_MACRO_KEY), KFM_SETKEY, key, 0);
    SetStatus(Window(), IDC_MACRO_STATUS, L"");
}

void CMacroPage::Assign() {
    const std::wstring* file = SelectedFile();
    if (!file) {
        SetStatus(Window(), IDC_MACRO_STATUS, String(IDS_MACRO_NOT_CHOSEN, L"Choose a macro file first."));
        return;
    }
    const auto key = uint16_t(SendMessageW(Item(IDC_MACRO_KEY), KFM_GETKEY, 0, 0));
    if (!(key & 0xFF)) {
        SetStatus(Window(), IDC_MACRO_STATUS,
                  String(IDS_KEY_NONE, L"Press a key combination in the key field first."));
        return;
    }
    auto& macros = owner_.Keys().macros;
    for (const keys::MacroBinding& b : macros) {
        if (b.key == key && lstrcmpiW(b.path.c_str(), file->c_str()) != 0) {
            SetStatus(Window(), IDC_MACRO_STATUS,
                      Format(String(IDS_KEY_TAKEN, L"This key is already used by \"%s\"."), FileNamePart(b.path)));
            return;
        }
    }
    // One key per macro file: a new key replaces the old one.
    std::erase_if(macros,
                  [&](const keys::MacroBinding& b) { return lstrcmpiW(b.path.c_str(), file->c_str()) == 0; });
    macros.push_back({key, *file});
    owner_.Keys().macrosModified = true;
    SetStatus(Window(), IDC_MACRO_STATUS, String(IDS_MACRO_KEY_ASSIGNED, L"The key was assigned."));
    MarkChanged();
}

void CMacroPage::Remove() {
    const std::wstring* file = SelectedFile();
    if (!file) return;
    auto& macros = owner_.Keys().macros;
    const size_t removed = std::erase_if(
        macros, [&](const keys::MacroBinding& b) { return lstrcmpiW(b.path.c_str(), file->c_str()) == 0; });
    SendMessageW(Item(IDC_MACRO_KEY), KFM_SETKEY, 0, 0);
    if (!removed) return;
    owner_.Keys().macrosModified = true;
    SetStatus(Window(), IDC_MACRO_STATUS, String(15023, L"The key binding was removed."));
    MarkChanged();
}

void CMacroPage::OnCommand(int id, int code, HWND) {
    if (id == IDC_MACRO_ASSIGN && code == BN_CLICKED)
        Assign();
    else if (id == IDC_MACRO_REMOVE && code == BN_CLICKED)
        Remove();
}

LRESULT CMacroPage::OnNotify(NMHDR* header) {
    if (header->idFrom == IDC_MACRO_TREE && header->code == TVN_SELCHANGEDW) ShowBinding();
    if (header->code == PSN_RESET) {
        owner_.Keys().macros = saved_;
        owner_.Keys().macrosModified = savedModified_;
    }
    return 0;
}

bool CMacroPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
    return msg == WM_CTLCOLORSTATIC && StatusColour(Window(), IDC_MACRO_STATUS, wp, lp, result);
}

bool CMacroPage::Apply() {
    auto& tables = owner_.Keys();
    if (tables.macrosModified) {
        tables.SaveMacros(settings::PathOf(settings::File::Key));
        tables.macrosModified = false;
    }
    saved_ = tables.macros;
    savedModified_ = false;
    return true;
}

}  // namespace shell
