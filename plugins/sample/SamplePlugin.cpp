// A sample plug-in: what a library in Morrowpad's "plugin\" folder looks
// like. It is built apart from the program with nothing of it but the
// public header DevEnv.h, and shows each thing a plug-in can do:
//
//   - four commands in the plug-in menu, with identifiers from the frame;
//   - a pane (a list of what the plug-in saw) floating beside the frame,
//     shown and hidden by one of the commands, with a context menu;
//   - lines in the output window;
//   - a message hook that handles its commands and WM_SIZE, and a key
//     (Shift+F12) taken before the frame sees it;
//   - idle listeners that keep its commands' checks, labels and enabled
//     states up to date.
//
// Nothing thrown may leave a plug-in, so this one does not allocate with
// the C++ library at all: fixed buffers and the window API only.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cwchar>

#include "DevEnv.h"

namespace {

IDevEnv* g_env = nullptr;
HWND g_pane = nullptr;  // a list box: the pane
UINT g_hello = 0, g_togglePane = 0, g_info = 0, g_clear = 0;
unsigned g_idlePasses = 0;
unsigned g_sizes = 0;  // WM_SIZE messages of the frame seen

const wchar_t kPaneTitle[] = L"Sample pane";

void Output(const wchar_t* text) {
    if (g_env) g_env->AppendOutput(text, -1);
}

void Note(const wchar_t* text) {
    if (g_pane) SendMessageW(g_pane, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// "Hello": a question through the frame's message box, an answer in the
// output window.
void Hello() {
    const int answer = g_env->MessageBox(L"Write a greeting into the output window?",
                                         MB_YESNO | MB_ICONQUESTION, nullptr, nullptr);
    if (answer == IDYES) Output(L"Sample plug-in: hello.\r\n");
    Note(answer == IDYES ? L"hello: yes" : L"hello: no");
}

// A visible pane is taken out one step (floating: hidden), a hidden one
// floats again where it was.
void TogglePane() {
    if (!g_pane) return;
    if (IsWindowVisible(g_pane)) {
        g_env->RemovePane(g_pane);
        Output(L"Sample plug-in: pane hidden.\r\n");
    } else if (g_env->ShowPane(g_pane, SW_SHOW)) {
        Output(L"Sample plug-in: pane shown.\r\n");
    }
}

// What the frame tells about the active document, in one line.
void Info() {
    wchar_t caption[260] = L"";
    wchar_t frameTitle[260] = L"";
    HWND pane = nullptr;
    BOOL modified = FALSE;
    if (IView* view = g_env->GetActiveView()) {
        view->GetCaption(caption, 260);
        pane = view->GetActivePane();
        modified = view->IsModified();
    }
    GetWindowTextW(g_env->GetMainWindow(), frameTitle, 260);
    const LRESULT buttons = SendMessageW(g_env->GetToolBar(), TB_BUTTONCOUNT, 0, 0);
    wchar_t line[1024];
    swprintf(
        line, 1024,
        L"Sample plug-in: document \"%ls\" %ls, pane %p, frame \"%ls\", %d tool-bar buttons, language %04X, "
        L"%u idle passes, %u sizes.\r\n",
        caption, modified ? L"modified" : L"unchanged", static_cast<void*>(pane), frameTitle, int(buttons),
        unsigned(g_env->GetLanguage()), g_idlePasses, g_sizes);
    Output(line);
}

// The pane's context menu, through the frame (its command states applied,
// the choice sent to the frame as a command, which comes back to the hook).
void PaneMenu(int x, int y) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, g_hello, L"&Hello...");
    AppendMenuW(menu, MF_STRING, g_info, L"Document &Info");
    AppendMenuW(menu, MF_STRING, g_clear, L"&Clear the List");
    const UINT chosen = g_env->TrackMenu(menu, x, y, TRUE);
    DestroyMenu(menu);
    wchar_t line[128];
    swprintf(line, 128, L"Sample plug-in: menu choice %u.\r\n", chosen);
    Output(line);
}

bool IsSampleCommand(UINT id) {
    return id && (id == g_hello || id == g_togglePane || id == g_info || id == g_clear);
}

struct Hook final : MessageListener {
    LRESULT MORROWPAD_CALL OnMessage(HWND, UINT msg, WPARAM wp, LPARAM, BOOL* handled) override {
        if (msg == WM_SIZE) ++g_sizes;  // seen, and left to the frame
        if (msg != WM_COMMAND || !IsSampleCommand(LOWORD(wp))) return 0;
        const UINT id = LOWORD(wp);
        if (id == g_hello) Hello();
        if (id == g_togglePane) TogglePane();
        if (id == g_info) Info();
        if (id == g_clear && g_pane) SendMessageW(g_pane, LB_RESETCONTENT, 0, 0);
        *handled = TRUE;
        return 0;
    }
    // Shift+F12 says hello wherever the focus is.
    BOOL MORROWPAD_CALL PreTranslateMessage(MSG* msg) override {
        if (msg->message != WM_KEYDOWN || msg->wParam != VK_F12 || GetKeyState(VK_SHIFT) >= 0) return FALSE;
        Hello();
        return TRUE;
    }
} g_hook;

struct States final : IdleListener {
    void MORROWPAD_CALL OnIdle(IUpdateUI* ui) override {
        const bool shown = g_pane && IsWindowVisible(g_pane);
        ui->CheckCommand(g_togglePane, shown ? 1 : 0);
        ui->SetCommandText(g_togglePane, shown ? L"Sample: Hide the &Pane" : L"Sample: Show the &Pane");
        ui->EnableCommand(g_info, g_env->GetActiveView() != nullptr);
        ui->SetCommandDefault(g_hello, TRUE);
    }
} g_states;

struct Counter final : IdleListener {
    void MORROWPAD_CALL OnIdle(IUpdateUI*) override { ++g_idlePasses; }
} g_counter;

WNDPROC g_listProc = nullptr;

LRESULT CALLBACK PaneProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CONTEXTMENU) {
        POINT pt = {short(LOWORD(lp)), short(HIWORD(lp))};
        if (lp == -1) {  // from the keyboard: at the pane's corner
            pt = {0, 0};
            ClientToScreen(hwnd, &pt);
        }
        PaneMenu(pt.x, pt.y);
        return 0;
    }
    return CallWindowProcW(g_listProc, hwnd, msg, wp, lp);
}

}  // namespace

extern "C" __declspec(dllexport) void __cdecl Plugin_Initialize(IDevEnv* env) {
    if (!env) return;
    g_env = env;
    g_hello = env->AllocateCommandId();
    g_togglePane = env->AllocateCommandId();
    g_info = env->AllocateCommandId();
    g_clear = env->AllocateCommandId();

    // The pane floats at the frame's right edge; its text is its title.
    HWND frame = env->GetMainWindow();
    g_pane = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", kPaneTitle,
                             WS_CHILD | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, 0, 220, 200, frame,
                             nullptr, nullptr, nullptr);
    if (g_pane) {
        g_listProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_pane, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PaneProc)));
        SendMessageW(g_pane, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        RECT frameRect = {};
        GetWindowRect(frame, &frameRect);
        const RECT rc = {frameRect.right - 260, frameRect.top + 90, frameRect.right - 20,
                         frameRect.top + 330};
        env->AddPane(g_pane, &rc);
        Note(L"loaded");
    }

    env->AddMessageListener(&g_hook);
    env->AddIdleListener(&g_states);
    env->AddIdleListener2(&g_counter);
    env->AddUpdateCommand(g_hello, UPDUI_MENUPOPUP);
    env->AddUpdateCommand(g_togglePane, UPDUI_MENUPOPUP);
    env->AddUpdateCommand(g_info, UPDUI_MENUPOPUP);

    wchar_t line[128];
    swprintf(line, 128, L"Sample plug-in: loaded, commands %u to %u.\r\n", g_hello, g_clear);
    Output(line);
}

extern "C" __declspec(dllexport) void __cdecl Plugin_SetMenu(HMENU menu) {
    AppendMenuW(menu, MF_STRING, g_hello, L"Sample: &Hello...");
    AppendMenuW(menu, MF_STRING, g_togglePane, L"Sample: Show the &Pane");
    AppendMenuW(menu, MF_STRING, g_info, L"Sample: Document &Info");
    AppendMenuW(menu, MF_STRING, g_clear, L"Sample: &Clear the Pane");
}

// The frame's window still exists: the plug-in takes back what it gave.
extern "C" __declspec(dllexport) void __cdecl Plugin_Uninitialize(IDevEnv* env) {
    if (!env || env != g_env) return;
    const BOOL removed = env->RemoveMessageListener(&g_hook);
    int steps = 0;
    while (g_pane && steps < 4 && env->RemovePane(g_pane)) ++steps;
    int commands = 0;
    const UINT ids[] = {g_hello, g_togglePane, g_info};
    for (UINT id : ids) commands += env->RemoveUpdateCommand(id) ? 1 : 0;
    wchar_t line[160];
    swprintf(line, 160,
             L"Sample plug-in: unloaded, listener removed %d, pane removed in %d steps, %d commands.\r\n",
             int(removed), steps, commands);
    Output(line);
    if (g_pane) DestroyWindow(g_pane);
    g_pane = nullptr;
    g_env = nullptr;
}
