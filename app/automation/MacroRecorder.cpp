#include "MacroRecorder.h"

#include <windows.h>

#include <algorithm>

#include "DialogIds.h"
#include "Owners.h"
#include "Resources.h"
#include "ScriptHost.h"
#include "SystemCalls.h"

namespace automation {

namespace {

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring InsertLine(std::wstring_view text) {
    std::wstring line = L"App.ActiveDoc.Insert( \"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'"') {
            line += L"\" + Chr(34) + \"";
        } else if (c == L'\t') {
            line += L"\" + Chr(9) + \"";
        } else if (c == L'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            line += L"\" + vbCrLf + \"";
        } else if (c == L'\n') {
            line += L"\" + vbLf + \"";
        } else if (c < 32) {
            line += L"\" + Chr(" + std::to_wstring(int(c)) + L") + \"";
        } else {
            line += c;
        }
    }
    line += L"\" )\n";
    return line;
}

void CMacroRecorder::SetRecording(bool on) {
    if (on && !recording_) text_.clear();
    if (!on) FlushPending();
    pendingHigh_ = 0;
    recording_ = on;
}

void CMacroRecorder::FlushPending() {
    if (!pendingHigh_) return;
    const wchar_t high = pendingHigh_;
    pendingHigh_ = 0;
    text_ += InsertLine(std::wstring_view(&high, 1));
}

void CMacroRecorder::AddCommand(unsigned id) {
    if (!recording_) return;
    FlushPending();
    text_ += L"App.SendCommand( " + std::to_wstring(id) + L" )\n";
}

void CMacroRecorder::AddTyped(wchar_t c) {
    if (!recording_) return;
    if (c < 32 && c != L'\t' && c != L'\n' && c != L'\r') return;
    if (IsLow(c) && pendingHigh_) {
        const wchar_t pair[2] = {pendingHigh_, c};
        pendingHigh_ = 0;
        text_ += InsertLine(std::wstring_view(pair, 2));
        return;
    }
    FlushPending();
    if (IsHigh(c)) {
        pendingHigh_ = c;
        return;
    }
    text_ += InsertLine(std::wstring_view(&c, 1));
}

void CMacroRecorder::AddText(std::wstring_view text) {
    if (!recording_ || text.empty()) return;
    FlushPending();
    text_ += InsertLine(text);
}

void CMacroRecorder::SetText(std::wstring text) {
    pendingHigh_ = 0;
    text_ = std::move(text);
}

bool ReadMacroFile(const std::wstring& path, std::wstring* text) { return syntax::ReadScriptFile(path, text); }

bool WriteMacroFile(const std::wstring& path, const std::wstring& text) {
    shell::CUniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f && GetLastError() == ERROR_ACCESS_DENIED) {
        // A hidden or system file is written over keeping its attributes.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY))
            f.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE),
                                nullptr));
    }
    if (!f) return false;
    std::wstring bytes;
    bytes.reserve(text.size() + 1);
    bytes += wchar_t(0xFEFF);
    bytes += text;
    const DWORD size = DWORD(bytes.size() * sizeof(wchar_t));
    DWORD written = 0;
    const bool ok = WriteFile(f.get(), bytes.data(), size, &written, nullptr) && written == size;
    return CloseHandle(f.release()) && ok;  // a close that fails may be a write that failed
}

namespace {
MacroSaveHook g_saveHook = nullptr;
}  // namespace

MacroSaveHook SetMacroSaveHook(MacroSaveHook hook) {
    const MacroSaveHook old = g_saveHook;
    g_saveHook = hook;
    return old;
}

bool AskMacroSavePath(HWND owner, const std::wstring& folder, std::wstring* path) {
    if (g_saveHook) return g_saveHook(path);
    std::wstring filter = shell::LanguageString(IDS_MACRO_FILTER);
    if (filter.empty()) filter = L"Macro(*.mac)";
    filter += L'\0';
    filter += L"*.mac";
    filter += L'\0';
    std::wstring buffer = *path;
    buffer.resize(std::max<size_t>(buffer.size() + 1, MAX_PATH * 4), L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();  // ends with the string's own zero
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrDefExt = L"mac";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!shell::sys::GetSaveFileName(&ofn)) return false;
    *path = buffer.c_str();
    return true;
}

}  // namespace automation
