// The base of the options pages and the helpers they share.
//
// A page is a dialog of the language library shown by the property sheet.
// It reads its keys at WM_INITDIALOG (the sheet creates a page when it is
// first shown), marks itself changed when the user touches a control, and
// writes its keys in Apply. An Apply that finds a field it cannot take
// (a number field without a valid number) beeps, selects the page, gives
// the field the focus and returns false: the sheet then stays open and
// nothing of that page is written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "DialogControls.h"
#include "KeyBindings.h"

namespace shell {

class COptionsDlg;

class COptionsPage {
   public:
    COptionsPage(COptionsDlg& owner, int templateId) : owner_(owner), templateId_(templateId) {}
    virtual ~COptionsPage() = default;
    COptionsPage(const COptionsPage&) = delete;
    COptionsPage& operator=(const COptionsPage&) = delete;

    int TemplateId() const { return templateId_; }
    HWND Window() const { return hwnd_; }
    // The dialog procedure for PROPSHEETPAGEW (lParam = this page).
    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

   protected:
    virtual void OnInit() {}
    virtual void OnCommand(int /*id*/, int /*code*/, HWND /*control*/) {}
    virtual LRESULT OnNotify(NMHDR*) { return 0; }
    // Anything else; true when handled (the result goes in *result).
    virtual bool OnMessage(UINT, WPARAM, LPARAM, INT_PTR* /*result*/) { return false; }
    virtual bool Apply() { return true; }

    // The user changed something: the sheet's Apply button comes on.
    void MarkChanged();
    bool Changed() const { return changed_; }
    bool Loading() const { return loading_; }
    void ClearChanged() { changed_ = false; }

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void Check(int id, bool on) { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }
    // The number in field `id`; when it holds none, beeps, shows this page,
    // focuses the field and returns false.
    bool NumberField(int id, int* value);
    // Shows this page in the sheet and gives control `id` the focus.
    void FocusField(int id);
    // A string of the language library, or `fallback`.
    static std::wstring String(int id, const wchar_t* fallback);

    COptionsDlg& owner_;

   private:
    int templateId_;
    HWND hwnd_ = nullptr;
    bool changed_ = false;
    bool loading_ = true;
};

}  // namespace shell
