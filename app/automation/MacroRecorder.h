// The macro recorder: while on, it turns the frame's commands, typed
// characters and input-method text into lines of script, which replay them
// through the application object ("App").
//
// Macro files (".mac") hold such script. They are written as UTF-16LE with
// a byte-order mark, so that any typed text survives; reading takes that,
// UTF-8 with a byte-order mark, or plain text in the ANSI code page (the
// form older files have).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace automation {

// "App.ActiveDoc.Insert( "..." )" and a line feed, for `text`: a double
// quote becomes " + Chr(34) + ", a tab " + Chr(9) + ", a line break (CR LF
// or a lone CR) " + vbCrLf + ", a lone LF " + vbLf + " and any other
// control character " + Chr(n) + ", so that the string literal stays on its
// line; everything else is copied.
std::wstring InsertLine(std::wstring_view text);

class CMacroRecorder {
public:
    bool Recording() const { return recording_; }
    // Turning recording on empties the text; turning it off keeps it.
    void SetRecording(bool on);

    // "App.SendCommand( id )" and a line feed.
    void AddCommand(unsigned id);
    // A character typed into a document: TAB, LF, CR and anything from
    // space up; other control characters are not recorded. The two halves
    // of a character beyond the Basic Multilingual Plane make one line.
    void AddTyped(wchar_t c);
    // Text an input method inserted, as one line.
    void AddText(std::wstring_view text);

    const std::wstring& Text() const { return text_; }
    void SetText(std::wstring text);

private:
    void FlushPending();

    bool recording_ = false;
    std::wstring text_;
    wchar_t pendingHigh_ = 0;  // a high surrogate waiting for its other half
};

// Reads a macro file: false when it cannot be read.
bool ReadMacroFile(const std::wstring& path, std::wstring* text);
// Creates or truncates `path` and writes `text` as UTF-16LE after a
// byte-order mark; false when the file cannot be created or written.
bool WriteMacroFile(const std::wstring& path, const std::wstring& text);

// The save dialog for a macro file ("Macro(*.mac)", asking before it
// overwrites), starting in `folder` with *path as the file name; on OK
// *path is the chosen file. Tests answer through the hook instead (null
// restores the dialog); it receives the proposed name.
using MacroSaveHook = bool (*)(std::wstring* path);
MacroSaveHook SetMacroSaveHook(MacroSaveHook hook);
bool AskMacroSavePath(HWND owner, const std::wstring& folder, std::wstring* path);

}  // namespace automation
