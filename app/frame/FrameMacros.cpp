// The frame's macro commands: recording, playing the recorded macro once or
// a number of times, saving it, the macro menu built from the macro folder,
// and running macro files from that menu or from a key.
#include <windows.h>

#include <climits>
#include <cwctype>
#include <string>

#include "AppScript.h"
#include "CommandIds.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "InputDialog.h"
#include "MacroFolder.h"
#include "MacroRecorder.h"
#include "MainFrame.h"
#include "ProgramIds.h"
#include "MessageSink.h"
#include "Resources.h"
#include "TextView.h"

namespace shell {

namespace {

// Top-level position of the macro popup, and how many items at its top
// are fixed (the rest lists the macro folder).
constexpr int kMacroMenuPosition = 6;
constexpr int kFixedMacroItems = 9;

// The usual decimal conversion: leading blanks and a sign, digits up to
// the first other character; no digits give 0. Clamped to the int range.
int ParseCount(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return int(negative ? -value : value);
}

std::wstring MenuLabel(const std::wstring& name) {
    std::wstring label;
    for (wchar_t c : name) {
        if (c == L'&') label += L'&';
        label += c;
    }
    return label;
}

}  // namespace

void CMainFrame::SetRecording(bool on) {
    recorder_.SetRecording(on);
    documents::CTextView::SetRecording(on);
    // The panes' cursor shows the change at once.
    if (HWND pane = ActivePane()) SendMessageW(pane, WM_SETCURSOR, reinterpret_cast<WPARAM>(pane),
                                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool CMainFrame::OnMacroCommand(UINT id) {
    switch (id) {
        case ID_MACRO_RECORD: SetRecording(!recorder_.Recording()); return true;
        case ID_MACRO_PLAY:
            if (!recorder_.Recording()) PlayMacroText(recorder_.Text(), automation::RecordedMacroName(), 1);
            return true;
        case ID_MACRO_PLAY_TIMES: {
            if (recorder_.Recording() || recorder_.Text().empty()) return true;
            std::wstring count = L"1";
            if (!documents::AskInput(Window(), LanguageString(15013), LanguageString(15014), &count)) return true;
            PlayMacroText(recorder_.Text(), automation::RecordedMacroName(), ParseCount(count));
            return true;
        }
        case ID_MACRO_SAVE: SaveRecordedMacro(); return true;
        case ID_MACRO_REBUILD: FillMacroMenu(); return true;
    }
    if (id >= ID_MACRO_FIRST && id <= ID_MACRO_LAST) {
        const size_t k = id - ID_MACRO_FIRST;
        if (k < macroFiles_.size()) {
            const std::wstring path = macroFiles_[k];  // a macro may rebuild the list
            RunMacroFile(path, GetKeyState(VK_CONTROL) < 0);
        }
        return true;
    }
    return false;
}

automation::MacroOutcome CMainFrame::PlayMacroText(const std::wstring& text, const std::wstring& name, int times) {
    if (times <= 0) return automation::MacroOutcome::kDone;
    SetStatusMessage(LanguageString(IDS_MACRO_RUNNING));
    const automation::MacroOutcome outcome = automation::PlayMacro(this, text, name, times);
    if (!Window()) return outcome;  // a macro closed the program
    if (closePending_ && !automation::RunningMacros()) {
        closePending_ = false;
        PostMessageW(Window(), WM_CLOSE, 0, 0);
    }
    SetStatusMessage(outcome == automation::MacroOutcome::kStopped ? LanguageString(IDS_MACRO_STOPPED)
                                                                   : std::wstring());
    PostMessageW(Window(), MPF_UPDATE_UI, 0, 0);
    return outcome;
}

void CMainFrame::RunMacroFile(const std::wstring& path, bool throughRecorder) {
    std::wstring text;
    if (!automation::ReadMacroFile(path, &text)) {
        ShowMessage(Window(), LanguageString(IDS_MACRO_CANT_LOAD).c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    if (throughRecorder && !recorder_.Recording()) {
        // The file becomes the recorded macro, then plays as such.
        recorder_.SetText(text);
        PlayMacroText(recorder_.Text(), path, 1);
        return;
    }
    PlayMacroText(text, path, 1);
}

void CMainFrame::SaveRecordedMacro() {
    if (recorder_.Text().empty()) return;
    std::wstring path = LanguageString(15021) + L".mac";
    if (!automation::AskMacroSavePath(Window(), MacroFolder(), &path)) return;
    if (!automation::WriteMacroFile(path, recorder_.Text()))
        ShowMessage(Window(), LanguageString(IDS_MACRO_CANT_SAVE).c_str(), MB_OK | MB_ICONERROR);
}

HMENU CMainFrame::MacroMenu() const { return menu_ ? GetSubMenu(menu_, kMacroMenuPosition) : nullptr; }

void CMainFrame::FillMacroMenu() {
    macroMenuFilled_ = true;
    macroFiles_.clear();
    HMENU popup = MacroMenu();
    if (!popup) return;
    // The tear-off strip, once added, sits above the fixed items.
    const int fixed = kFixedMacroItems + (GetMenuItemID(popup, 0) == ID_TEAR_OFF ? 1 : 0);
    for (int n = GetMenuItemCount(popup); n > fixed; --n) {
        HMENU sub = GetSubMenu(popup, n - 1);
        RemoveMenu(popup, UINT(n - 1), MF_BYPOSITION);
        if (sub) DestroyMenu(sub);
    }
    UINT next = ID_MACRO_FIRST;
    AddMacroItems(popup, ReadMacroFolder(MacroFolder()), &next);
}

void CMainFrame::AddMacroItems(HMENU menu, const std::vector<MacroEntry>& entries, UINT* next) {
    for (const MacroEntry& e : entries) {
        const std::wstring label = MenuLabel(e.label);
        if (e.folder) {
            HMENU sub = CreatePopupMenu();
            if (!sub) continue;
            AddMacroItems(sub, e.children, next);
            if (!AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), label.c_str()))
                DestroyMenu(sub);
        } else if (*next <= ID_MACRO_LAST) {
            AppendMenuW(menu, MF_STRING, *next, label.c_str());
            macroFiles_.push_back(e.path);
            ++*next;
        }
    }
}

void CMainFrame::UpdateMacroStates() {
    const bool recording = recorder_.Recording();
    const bool recorded = !recorder_.Text().empty();
    states_.Check(ID_MACRO_RECORD, recording ? 1 : 0);
    states_.Enable(ID_MACRO_PLAY, !recording && recorded);
    states_.Enable(ID_MACRO_PLAY_TIMES, !recording && recorded);
    states_.Enable(ID_MACRO_SAVE, recorded);
}

}  // namespace shell
