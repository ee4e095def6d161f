// The output window's subclass procedure sees every message before the
// control: keys and characters stop here (the control's accelerators still
// turn keys into commands through message 895, which the frame sends), and
// of the commands only those that leave the text as it is go on.
#include "OutputWindow.h"

#include <algorithm>

#include <commctrl.h>
#include <imm.h>
#include <ole2.h>

#include <vector>

#include "ColorScheme.h"
#include "CommandIds.h"
#include "Dpi.h"
#include "EditProtocol.h"
#include "MessageSink.h"
#include "ProgramIds.h"
#include "Resources.h"
#include "ResultLine.h"
#include "Settings.h"
#include "SyntaxList.h"
#include "SyntaxParser.h"

namespace shell {
namespace {

constexpr UINT_PTR kSubclassId = 0x4F55;  // "OU"
constexpr wchar_t kResultLexerName[] = L"Grep";

void SystemBeep(UINT type) { MessageBeep(type); }
OutputBeepFn g_beep = &SystemBeep;

// View parts: 0 line numbers, 2 white space, 3 control characters, 4 line
// ends, 5 end of file, 6 active line, 8 indent guides.
constexpr int kLineNumbers = 0;
constexpr int kHiddenParts[] = {kLineNumbers, 2, 3, 4, 5, 8};
constexpr int kActiveLine = 6;

}  // namespace

void SetOutputBeep(OutputBeepFn beep) { g_beep = beep ? beep : &SystemBeep; }

bool IsTextChangingCommand(UINT command) {
    // Deletions, undo and redo (26-32), paste, cut, overwrite (34-36), new
    // lines (44, 45), indenting, moving lines, folding a selection (47-51),
    // clearing bookmarks, duplicating (53, 54), case (57, 58), trimming (65, 66).
    static constexpr UINT kRefused[] = {26, 27, 28, 29, 30, 31, 32, 34, 35, 36, 44, 45,
                                        47, 48, 49, 50, 51, 53, 54, 57, 58, 65, 66};
    for (UINT id : kRefused)
        if (id == command) return true;
    return false;
}

COutputWindow::~COutputWindow() {
    Close();  // no reader may write here once the members go
    if (hwnd_) {
        RemoveWindowSubclass(hwnd_, &COutputWindow::Subclass, kSubclassId);
        DestroyWindow(hwnd_);
    }
}

HWND COutputWindow::Create(HWND parent, HMODULE editLibrary, IDevEnv* env) {
    if (hwnd_ || !editLibrary) return nullptr;
    env_ = env;
    const HWND window =
        CreateWindowExW(0, MRPAD_CLASS_NAME, L"Output", WS_CHILD | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL,
                        0, 0, 0, 0, parent, nullptr, editLibrary, nullptr);
    if (!window) return nullptr;
    if (!SetWindowSubclass(window, &COutputWindow::Subclass, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        DestroyWindow(window);
        return nullptr;
    }
    hwnd_ = window;
    RevokeDragDrop(window);  // text dragged out still goes; nothing is dropped in
    Control(MPM_FREEZECARET, 1);
    Control(MPM_RECORDING, 0);
    for (int part : kHiddenParts) Control(MPM_VIEWPART, WPARAM(part), 0);
    Control(MPM_VIEWPART, WPARAM(kActiveLine | 256), 0);
    Control(MPM_FOLDMODE, 0);
    Control(MPM_SETLEXER, reinterpret_cast<WPARAM>(static_cast<ILexer*>(syntax::ResultLexer())), 1);
    ApplyFont();
    scheme::ReadColors(colors_);
    Control(MPM_COLORTABLE, reinterpret_cast<WPARAM>(colors_));
    return hwnd_;
}

namespace {

Position EndOf(HWND control) {
    Position end;
    end.line = std::max(int(SendMessageW(control, MPM_GETLINECOUNT, 0, 0)) - 1, 0);
    end.column = int(SendMessageW(control, MPM_GETLINE, WPARAM(end.line), 0));
    return end;
}

bool CaretAtEnd(HWND control) {
    Position caret = {}, a = {}, b = {};
    if (SendMessageW(control, MPM_GETSELRANGE, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b)) &&
        (a.line != b.line || a.column != b.column))
        return false;
    SendMessageW(control, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    const Position end = EndOf(control);
    return caret.line == end.line && caret.column == end.column;
}

}  // namespace

LRESULT COutputWindow::Append(const wchar_t* text, int length) {
    if (!hwnd_ || !text || length < -1) return 0;
    // One message (the reader thread sends it): nothing the user does
    // between two messages moves where the text goes, and whoever sees the
    // text sees the caret that followed it.
    TextArg arg = {text, length};
    return SendMessageW(hwnd_, kAppendMessage, 0, reinterpret_cast<LPARAM>(&arg));
}

LRESULT COutputWindow::AppendHere(const TextArg& arg) {
    const bool follow = CaretAtEnd(hwnd_);
    Position end = {0x7FFFFFFF, 0x7FFFFFFF};  // clamped to the end
    const LRESULT r = Control(MPM_INSERTTEXT, reinterpret_cast<WPARAM>(&end), reinterpret_cast<LPARAM>(&arg));
    if (follow) {
        end = EndOf(hwnd_);
        Control(MPM_SETCARET, reinterpret_cast<WPARAM>(&end), 1);
    }
    return r;
}

void COutputWindow::StartOnNewLine() {
    if (!hwnd_) return;
    Position end = EndOf(hwnd_);
    if (end.column > 0) Append(L"\n", 1);
    end = EndOf(hwnd_);
    SendMessageW(hwnd_, MPM_SETCARET, reinterpret_cast<WPARAM>(&end), 1);
}

void COutputWindow::WriteStdOut(const char* text) {
    if (!text || !*text) return;
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return;
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    Append(wide.c_str(), n - 1);
}

void COutputWindow::WriteStdError(const char* text) {
    WriteStdOut(text);
    Append(L"\n", 1);
}

void COutputWindow::OnChildEnded() {
    Append(L"\n", 1);
    CRedirector::OnChildEnded();
    Append(L"\n", 1);
}

LRESULT CALLBACK COutputWindow::Subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR data) {
    auto* self = reinterpret_cast<COutputWindow*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &COutputWindow::Subclass, kSubclassId);
        if (self) self->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, msg, wp, lp);
    }
    try {
        return self ? self->HandleMessage(msg, wp, lp) : DefSubclassProc(hwnd, msg, wp, lp);
    } catch (...) {  // out of memory: the message fails, the window lives on
        return 0;
    }
}

LRESULT COutputWindow::Control(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(hwnd_, msg, wp, lp); }

LRESULT COutputWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kAppendMessage:
            return lp ? AppendHere(*reinterpret_cast<const TextArg*>(lp)) : 0;
        case WM_KEYDOWN: return 0;
        case WM_CHAR:
        case WM_IME_CHAR: g_beep(0); return 0;
        case WM_IME_COMPOSITION:
            if (lp & GCS_RESULTSTR) {  // the composed text would be inserted
                g_beep(0);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (LOWORD(lp) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_DESTROY: Close(); break;  // a running tool's reader stops
        case WM_CONTEXTMENU: OnContextMenu(lp); return 0;
        case WM_COMMAND: return OnCommand(wp, lp);
        case WM_LBUTTONDBLCLK: {
            const LRESULT result = Control(msg, wp, lp);
            HWND frame = env_ ? env_->GetMainWindow() : nullptr;
            JumpToLocation(frame, hwnd_);
            return result;
        }
        case MPF_FONT_CHANGED: ApplyFont(); return 0;
        case WM_DPICHANGED_AFTERPARENT:  // docked or floating on another monitor
            Control(MPM_SETDPI, WPARAM(dpi::Of(hwnd_)));
            ApplyFont();
            return 0;
        case MPD_REMEMBER_SYNTAX: RememberLexer(); return 0;
        case MPD_APPLY_SYNTAX: ReapplyLexer(); return 0;
    }
    return Control(msg, wp, lp);
}

LRESULT COutputWindow::OnCommand(WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    switch (id) {
        case ID_OUTPUT_CLEAR: Clear(); return 0;
        case ID_OUTPUT_LINE_NUMBERS: ToggleLineNumbers(); return 0;
    }
    if (IsTextChangingCommand(id)) {
        g_beep(0);
        return 0;
    }
    return Control(WM_COMMAND, wp, lp);
}

// At the mouse, or at the caret's screen corner from the keyboard; a point
// left of or beyond every monitor is moved onto the nearest one.
void COutputWindow::OnContextMenu(LPARAM lp) {
    if (!env_) return;
    POINT pt = {short(LOWORD(lp)), short(HIWORD(lp))};
    if (lp == -1) GetCursorPos(&pt);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &info)) {
        if (pt.x < info.rcMonitor.left) pt.x = info.rcMonitor.left;
        if (pt.x >= info.rcMonitor.right) pt.x = info.rcMonitor.right - 1;
    }
    HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_OUTPUT_CONTEXT));
    if (!menu) return;
    UINT chosen = 0;
    if (HMENU popup = GetSubMenu(menu, 0)) chosen = env_->TrackMenu(popup, pt.x, pt.y, FALSE);
    DestroyMenu(menu);
    if (chosen && hwnd_) SendMessageW(hwnd_, WM_COMMAND, chosen, 0);
}

void COutputWindow::ApplyFont() {
    HFONT font = settings::CreateSlotFont(ID_FONT_OUTPUT, hwnd_);
    if (!font) return;
    Control(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    font_.reset(font);  // the old one only after the control let go of it
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void COutputWindow::Clear() {
    if (ToolRunning()) {
        if (env_) env_->MessageBox(LanguageString(15101).c_str(), MB_ICONSTOP, nullptr, nullptr);
        return;
    }
    Position from = {0, 0};
    Position to = {0xFFFFFFF, 0xFFFFFFF};
    Control(MPM_DELETERANGE, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
}

void COutputWindow::ToggleLineNumbers() {
    const bool shown = Control(MPM_VIEWPART, WPARAM(kLineNumbers), LPARAM(-1)) != 0;
    Control(MPM_VIEWPART, WPARAM(kLineNumbers | (shown ? 0 : 256)), 1);  // relaid out
}

// Lexers are freed by a reload of the syntax list: the control lets go of
// its own until the name is looked up again.
void COutputWindow::RememberLexer() {
    auto* lexer = reinterpret_cast<ILexer*>(Control(MPM_GETLEXER));
    const wchar_t* name = lexer ? lexer->Name() : nullptr;
    // A reload inside a reload (a script's message box lets messages in)
    // finds no lexer: the name kept by the first one stays.
    if (!lexer) return;
    rememberedLexer_ = name ? name : L"";
    Control(MPM_SETLEXER, 0, 0);
}

void COutputWindow::ReapplyLexer() {
    if (rememberedLexer_.empty()) return;
    ILexer* lexer = _wcsicmp(rememberedLexer_.c_str(), kResultLexerName) == 0
                        ? static_cast<ILexer*>(syntax::ResultLexer())
                        : syntax::LexerByName(rememberedLexer_);
    rememberedLexer_.clear();
    Control(MPM_SETLEXER, reinterpret_cast<WPARAM>(lexer), 1);
}

}  // namespace shell
