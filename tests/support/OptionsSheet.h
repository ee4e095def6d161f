// The options dialog driven as a user drives it: opened modeless at a page,
// each page's controls set by messages (typing, clicks, a choice in a list,
// a key pressed in a key field), Apply pressed, and the settings read back.
#pragma once

// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>
#include <prsht.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "Input.h"
#include "KeyBindings.h"
#include "OptionsDialog.h"
#include "Settings.h"

namespace testing_support {

class COptionsSheet {
   public:
    COptionsSheet(HWND owner, keys::CKeyTables& keys) : owner_(owner), keys_(keys) {}
    ~COptionsSheet() { Close(); }

    // Opens the sheet at `page`; false when it did not open.
    bool Open(shell::OptionsPage page) {
        dialog_ = std::make_unique<shell::COptionsDlg>(owner_, keys_);
        sheet_ = dialog_->CreateModeless(page);
        Pump();
        page_ = sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
        return page_ != nullptr;
    }
    void Close() {
        if (sheet_) DestroyWindow(sheet_);
        sheet_ = page_ = nullptr;
        dialog_.reset();
    }
    // Shows another page; false when it has no window.
    bool GoTo(int index) {
        PropSheet_SetCurSel(sheet_, nullptr, index);
        Pump();
        page_ = PropSheet_GetCurrentPageHwnd(sheet_);
        return page_ != nullptr;
    }
    // The sheet's Apply; true when every page applied.
    bool Apply() {
        const bool ok = SendMessageW(sheet_, PSM_APPLY, 0, 0) != 0;
        Pump();
        return ok;
    }

    HWND Owner() const { return owner_; }
    HWND Sheet() const { return sheet_; }
    HWND Page() const { return page_; }
    HWND Item(int id) const { return GetDlgItem(page_, id); }
    std::wstring Text(int id) const {
        wchar_t text[512] = {};
        GetWindowTextW(Item(id), text, 512);
        return text;
    }
    bool Checked(int id) const { return IsDlgButtonChecked(page_, id) == BST_CHECKED; }
    LRESULT Count(int id, UINT message) const { return SendMessageW(Item(id), message, 0, 0); }

    void Type(int id, const wchar_t* text) {
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    void Click(int id) {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        Pump();
    }
    // Chooses item `index` of a combo box, as a click in its list does.
    void ChooseCombo(int id, int index) {
        SendMessageW(Item(id), CB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    // The item whose data is `data`; false when there is none.
    bool ChooseComboData(int id, LPARAM data) {
        const LRESULT n = SendMessageW(Item(id), CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i)
            if (SendMessageW(Item(id), CB_GETITEMDATA, WPARAM(i), 0) == data)
                return ChooseCombo(id, int(i)), true;
        return false;
    }
    LRESULT SelectedComboData(int id) const {
        return SendMessageW(Item(id), CB_GETITEMDATA, SendMessageW(Item(id), CB_GETCURSEL, 0, 0), 0);
    }
    void ChooseList(int id, int index) {
        SendMessageW(Item(id), LB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(page_, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(id)));
    }
    // A key pressed in a key field with `held` modifiers down.
    void PressKey(int id, int vk, std::initializer_list<int> held) {
        CHeldKeys keys(held);
        SetFocus(Item(id));
        SendMessageW(Item(id), WM_KEYDOWN, WPARAM(vk), 1);
        SendMessageW(Item(id), WM_CHAR, WPARAM(vk), 1);  // ignored by the field
        SendMessageW(Item(id), WM_KEYUP, WPARAM(vk), 1);
    }
    // Selects the tree item whose text is `label` (searched depth first).
    bool SelectTreeItem(int id, const std::wstring& label) {
        return SelectIn(Item(id), TreeView_GetRoot(Item(id)), label);
    }

    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // A stored value, or "<missing>".
    static std::wstring Value(settings::File f, const wchar_t* section, const wchar_t* key) {
        std::wstring value;
        settings::ReadString(f, section, key, value, L"<missing>");
        return value;
    }
    static bool Exists(settings::File f) {
        return GetFileAttributesW(settings::PathOf(f).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

   private:
    static bool SelectIn(HWND tree, HTREEITEM item, const std::wstring& label) {
        for (; item; item = TreeView_GetNextSibling(tree, item)) {
            wchar_t text[256] = {};
            TVITEMW data = {};
            data.mask = TVIF_TEXT;
            data.hItem = item;
            data.pszText = text;
            data.cchTextMax = 256;
            TreeView_GetItem(tree, &data);
            if (label == text) return TreeView_SelectItem(tree, item) != FALSE;
            if (SelectIn(tree, TreeView_GetChild(tree, item), label)) return true;
        }
        return false;
    }

    HWND owner_;
    keys::CKeyTables& keys_;
    std::unique_ptr<shell::COptionsDlg> dialog_;
    HWND sheet_ = nullptr, page_ = nullptr;
};

}  // namespace testing_support
