// The menu drawn as a tool bar: one flat text button per top-level item of a
// menu the bar borrows, placed in a rebar band by the frame.
//
// The bar is a list-style tool bar subclassed for its mouse and for the menu
// messages. Every popup is tracked with the tool bar as the menu's window,
// and the bar passes the menu messages (WM_INITMENUPOPUP, WM_MENUSELECT,
// WM_UNINITMENUPOPUP, owner drawing...) on to the owner, so that the owner
// sees what a window menu would have shown it. A choice reaches the owner as
// a posted WM_COMMAND, as from a window menu.
//
// While a popup of the bar is open, a message-filter hook (WH_MSGFILTER,
// installed only for that time) watches the menu loop: Left and Right, when
// they would leave the popup, and the mouse over another button close the
// popup and open the neighbour's. Keyboard mode (Alt tapped alone, or F10)
// lives in PreTranslate, which the frame's loop calls before anything else.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Window.h"

namespace shell {

class CCommandBar {
public:
    CCommandBar() = default;
    CCommandBar(const CCommandBar&) = delete;
    CCommandBar& operator=(const CCommandBar&) = delete;
    ~CCommandBar();

    // A child of `parent` (usually the rebar). `owner` receives the menu
    // messages and the commands. The menu stays the caller's. Null on
    // failure.
    HWND Create(HWND parent, HWND owner, HMENU menu);
    HWND Window() const { return bar_; }
    HWND Owner() const { return owner_; }
    HMENU Menu() const { return menu_; }
    // Takes another menu (still the caller's) and rebuilds the buttons.
    void SetMenu(HMENU menu);

    // Re-reads the top-level items (texts, grayed states). When the parent
    // is a rebar, the bar's band is given the new size.
    void Rebuild();
    // The interface font (the caller's; null goes back to the system's menu
    // font). The buttons are measured again.
    void SetFont(HFONT font);
    HFONT Font() const;
    // The frame moved to a monitor of another resolution (the bar hears it
    // as WM_DPICHANGED_AFTERPARENT): the spacing follows and the buttons
    // are measured again.
    void ApplyDpi();
    // Width of all buttons and the height of one.
    SIZE IdealSize() const;
    int ButtonCount() const;
    std::wstring ButtonText(int index) const;  // with its '&' marks

    // Shows `popup` at the screen point with the owner getting the menu
    // messages, without moves to the bar's other menus. Returns the chosen
    // identifier or 0; with `send`, a choice is also sent to the owner as
    // WM_COMMAND.
    int TrackPopup(HMENU popup, int x, int y, bool send);
    // Opens the popup of button `index` below it, as a click does (returns
    // when the menu closes). `keyboard` selects its first item.
    void OpenMenu(int index, bool keyboard);

    // Keyboard messages of the frame's loop, before anything else: Alt
    // tapped alone or F10 enters keyboard mode, Alt+letter opens the menu
    // with that mnemonic, and in keyboard mode Left, Right, Down, Enter,
    // letters and Esc work the bar; a mouse click ends the mode. Only keys
    // of the bar's own top-level window count. True when the message was
    // used.
    bool PreTranslate(MSG* msg);
    bool InKeyboardMode() const { return keyboardMode_; }
    void LeaveKeyboardMode();
    int HotButton() const;

    // WM_NOTIFY from the bar, when the frame forwards it (the bar handles
    // its clicks itself; this covers the drop-down notification).
    bool HandleNotify(NMHDR* header, LRESULT* result);

    // The button whose mnemonic is `ch` (any case), or -1.
    int ButtonForMnemonic(wchar_t ch) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK FilterHook(int code, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK QueueHook(int code, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK SentHook(int code, WPARAM wp, LPARAM lp);
    void HookKeyboardMode(bool on);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled);
    bool OnMenuLoopMessage(const MSG& msg);
    bool IsMenuMessage(UINT msg, WPARAM wp, LPARAM lp) const;

    static constexpr int kFirstButtonId = 0xFE00;  // above the commands, below the tear-off strip
    static bool CuesAlwaysOn();                    // the user wants mnemonics always shown
    int NextButton(int from, int step) const;
    void ReleaseHooks();
    void AddButtons();
    void UpdateBand();
    void ApplyFont();
    void SetPadding();
    void ShowAccelerators(bool show);
    int HitButton(POINT screen) const;
    RECT ButtonScreenRect(int index) const;
    void SetHot(int index);
    int TrackBarMenu(int index, bool keyboard);
    void EnterKeyboardMode(int hot);
    bool KeyboardModeKey(const MSG& msg);
    void ChooseButton(int index, bool keyboard);

    HWND bar_ = nullptr;
    HWND owner_ = nullptr;
    HMENU menu_ = nullptr;
    HFONT font_ = nullptr;             // the caller's
    UniqueGdiT<HFONT> menuFont_;        // ours, when the caller gave none
    std::vector<std::wstring> texts_;  // one per button, as in the menu

    // Keyboard mode and the Alt tap. While in keyboard mode, two thread hooks
    // end it on a mouse click anywhere and when the application is
    // deactivated, whatever messages the frame's loop hands the bar.
    bool keyboardMode_ = false;
    bool altAlone_ = false;
    HHOOK queueHook_ = nullptr;
    HHOOK sentHook_ = nullptr;

    // The open popup of the bar, while one is tracked.
    HHOOK hook_ = nullptr;
    int openIndex_ = -1;  // button whose popup is open
    int nextIndex_ = -1;  // button to open once the popup has closed
    bool nextByKey_ = false;
    bool escaped_ = false;  // Esc closed the popup at its first level
    HMENU openPopup_ = nullptr;
    HMENU selectedMenu_ = nullptr;  // the menu of the last WM_MENUSELECT
    bool selectedIsPopup_ = false;  // the selected item opens a submenu
    POINT lastMouse_ = {-1, -1};
};

}  // namespace shell
