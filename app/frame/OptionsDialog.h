// The options dialog: a property sheet of nine pages over the frame. Each
// page reads its keys when it is first shown and writes them when applied;
// the key pages edit the frame's key tables in place.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "KeyBindings.h"

namespace shell {

enum class OptionsPage { General, File, FileType, Font, Tab, Accel, Macro, Tool, Language };

// The page that frame command `command` opens: 1230 General, 1321 FileType,
// 1335 Font, 1336 Tool, 1580 Macro, 2002 Accel; General for anything else.
OptionsPage OptionsPageFor(int command);

// Modal options dialog over `frame`, opened at `page`; key tables edited in
// place. IDOK or IDCANCEL.
INT_PTR RunOptionsDialog(HWND frame, OptionsPage page, keys::CKeyTables& keys);

class COptionsPage;

// The dialog itself; RunOptionsDialog uses it modally, tests modelessly.
class COptionsDlg {
   public:
    COptionsDlg(HWND frame, keys::CKeyTables& keys);
    ~COptionsDlg();
    COptionsDlg(const COptionsDlg&) = delete;
    COptionsDlg& operator=(const COptionsDlg&) = delete;

    INT_PTR DoModal(OptionsPage page);
    // The sheet's window, or null. The caller runs the messages and ends it
    // with PSM_PRESSBUTTON, then DestroyWindow once PSM_GETCURRENTPAGEHWND
    // gives null; this object must outlive the window.
    HWND CreateModeless(OptionsPage page);

    HWND Frame() const { return frame_; }
    keys::CKeyTables& Keys() { return keys_; }

   private:
    INT_PTR Run(OptionsPage page, bool modeless);

    HWND frame_;
    keys::CKeyTables& keys_;
    std::vector<std::unique_ptr<COptionsPage>> pages_;
};

}  // namespace shell
