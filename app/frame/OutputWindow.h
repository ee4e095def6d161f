// The output window: an edit control ("MRPAD32") docked at the bottom of the
// frame that shows what tools, find-in-files and plug-ins write. The user
// scrolls, selects and copies but cannot type: keys reach the control only
// as its accelerators' commands (the frame passes them on, message 895),
// characters and text-changing commands beep. A double click on a result
// line "#<path>:(line,column):" opens the file there (ResultLine.h).
//
// The control is subclassed, so its class stays "MRPAD32". The object owns
// the font it shows; the window is a pane of the docking window and goes
// with it. Messages besides the control's own:
//   MPF_FONT_CHANGED (2228)     take the font of slot 1440 again
//   MPD_REMEMBER_SYNTAX (2229)  remember the lexer's name and let go of it
//   MPD_APPLY_SYNTAX (2230)     take the lexer of the remembered name back
//   WM_COMMAND 1280 / 1281      clear everything / toggle the line numbers
//
// It is also the redirector of captured tools (automation::CRedirector):
// what a tool writes arrives on the reader thread and is sent to the window
// (SendMessageW), so the control is only touched on its own thread. Clear is
// refused while a tool runs; destroying the window stops the reader.
#pragma once

#include <windows.h>

#include <string>

#include "DevEnv.h"
#include "EditProtocol.h"
#include "Redirector.h"
#include "Window.h"

namespace shell {

class COutputWindow : public automation::CRedirector {
   public:
    COutputWindow() = default;
    ~COutputWindow() override;
    COutputWindow(const COutputWindow&) = delete;
    COutputWindow& operator=(const COutputWindow&) = delete;

    // The control as a hidden child of `parent`, set up for its read-only
    // role; `env` shows its context menu and messages. Null on failure.
    HWND Create(HWND parent, HMODULE editLibrary, IDevEnv* env);
    HWND Window() const { return hwnd_; }

    // Caret to the end of the text, then the text inserted there (a
    // negative length: up to the terminating zero). The control's answer.
    // Appends at the end; with the caret at the end the caret follows (and
    // the pane scrolls to the new text).
    LRESULT Append(const wchar_t* text, int length);
    // Before a tool's output: a line of its own, the caret at the end.
    void StartOnNewLine();
    // The window's own message that appends (lParam a TextArg).
    static constexpr UINT kAppendMessage = WM_APP + 0x4F;

    // The lexer name remembered by MPD_REMEMBER_SYNTAX (empty: none).
    const std::wstring& RememberedLexer() const { return rememberedLexer_; }

    // The redirector's slots: standard output converted from the ANSI code
    // page and appended; an error appended with a line feed after it; a
    // child's end as a line feed, the end line and another line feed.
    void WriteStdOut(const char* text) override;
    void WriteStdError(const char* text) override;
    void OnChildEnded() override;

   protected:
    // Whether an external tool is writing here now; Clear is refused then.
    virtual bool ToolRunning() const { return IsRunning(); }

   private:
    static LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT AppendHere(const TextArg& arg);
    LRESULT Control(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    void OnContextMenu(LPARAM lp);
    void ApplyFont();
    void Clear();
    void ToggleLineNumbers();
    void RememberLexer();
    void ReapplyLexer();

    HWND hwnd_ = nullptr;
    IDevEnv* env_ = nullptr;
    std::wstring rememberedLexer_;
    UniqueGdiT<HFONT> font_;
    COLORREF colors_[80] = {};
};

// The beep of refused input, MessageBeep by default; tests count them.
// Null restores the default.
using OutputBeepFn = void (*)(UINT type);
void SetOutputBeep(OutputBeepFn beep);

// Whether the control's edit command `command` changes the text (and is
// refused in the output window).
bool IsTextChangingCommand(UINT command);

}  // namespace shell
