// The nine pages of the options dialog.
#pragma once

// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commctrl.h>

#include <string>
#include <vector>

#include "MacroFolder.h"
#include "OptionsPage.h"
#include "Owners.h"
#include "Settings.h"

namespace shell {

// Shell context menu, MulInst, FullScreenDialog, AutoDetectBuffer and the
// recent-document count; applied only when a control was changed.
class CGeneralPage : public COptionsPage {
   public:
    explicit CGeneralPage(COptionsDlg& owner);

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool Apply() override;
    bool registered_ = false, multiple_ = true;
};

// Line ends, code page, exclusive loading and AutoWrapMax of new
// documents; applied only when a control was changed.
class CFilePage : public COptionsPage {
   public:
    explicit CFilePage(COptionsDlg& owner);

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool Apply() override;
};

// The entries of syntax.ini.
class CFileTypePage : public COptionsPage {
   public:
    explicit CFileTypePage(COptionsDlg& owner);
    struct Entry {
        std::wstring title, file, ext, templ, tab, names;  // tab as typed
    };

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool Apply() override;
    void ShowEntry(int index);
    void StoreField(int id);
    void RefreshTitle(int index);
    std::vector<Entry> entries_;
    int current_ = -1;
    int oldCount_ = 0;
    bool filling_ = false, modified_ = false;
};

// The thirteen font slots.
class CFontPage : public COptionsPage {
   public:
    explicit CFontPage(COptionsDlg& owner);

   private:
    struct Slot {
        settings::FontSpec font;
        std::wstring size;  // as typed
        bool edited = false;
    };
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool Apply() override;
    void ShowSlot(int index);
    void Edited(int id, int code);
    void UpdateSample();
    void SyncFace();
    std::vector<Slot> slots_;
    int current_ = -1;
    bool filling_ = false;
    settings::FontSpec sampleSpec_;
    UniqueGdiT<HFONT> sample_;

   public:
    ~CFontPage() override;
};

// The five Tab keys.
class CTabPage : public COptionsPage {
   public:
    explicit CTabPage(COptionsDlg& owner);

   private:
    void OnInit() override;
    bool Apply() override;
};

// Keys of the frame's commands.
class CAccelPage : public COptionsPage {
   public:
    explicit CAccelPage(COptionsDlg& owner);

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    bool Apply() override;
    void FillTree();
    int SelectedCommand() const;
    void ShowKeys();
    void Assign();
    void Remove();
    std::wstring CommandName(int command) const;
    // The table as at the last apply; Cancel puts it back.
    std::vector<uint32_t> saved_;
    bool savedModified_ = false;
};

// Keys of the macro files.
class CMacroPage : public COptionsPage {
   public:
    explicit CMacroPage(COptionsDlg& owner);

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
    bool Apply() override;
    void Fill(const std::vector<shell::MacroEntry>& entries, HTREEITEM parent);
    const std::wstring* SelectedFile() const;
    void ShowBinding();
    void Assign();
    void Remove();
    std::vector<std::wstring> files_;
    std::vector<keys::MacroBinding> saved_;  // as at the last apply
    bool savedModified_ = false;
};

// The tools of tools.ini.
// The tool page's pickers, replaceable by tests: the placeholder menu
// (returns the chosen item, 0 for none) and the program file dialog (false
// when cancelled). Null restores the page's own.
using ToolMenuPicker = UINT (*)(HWND owner, HMENU popup);
using ToolFilePicker = bool (*)(HWND owner, std::wstring* path);
void SetToolPickers(ToolMenuPicker menu, ToolFilePicker file);

class CToolPage : public COptionsPage {
   public:
    explicit CToolPage(COptionsDlg& owner);
    struct Tool {
        std::wstring title, exe, args, dir;
        int flag = 0;
    };

   private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool Apply() override;
    void ShowTool(int index);
    void StoreField(int id);
    void Refill(int select);
    void InsertPlaceholder();
    void BrowseForProgram();
    std::vector<Tool> tools_;
    int current_ = -1;
    bool filling_ = false, modified_ = false;
};

// The language library.
class CLanPage : public COptionsPage {
   public:
    explicit CLanPage(COptionsDlg& owner);

   private:
    void OnInit() override;
    bool Apply() override;
    struct Library {
        std::wstring file, name;
    };
    std::vector<Library> libraries_;
};

// The language name of a library's first translation, "" when it has none.
std::wstring LibraryLanguageName(const std::wstring& path);

}  // namespace shell
