#include "InputDialog.h"

#include "DialogIds.h"
#include "Resources.h"

namespace documents {
namespace {

struct InputState {
    const std::wstring* title;
    const std::wstring* prompt;
    std::wstring* value;
};

INT_PTR CALLBACK InputProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<InputState*>(lp);
            SetWindowLongPtrW(dialog, DWLP_USER, lp);
            SetWindowTextW(dialog, state->title->c_str());
            SetDlgItemTextW(dialog, IDC_INPUT_PROMPT, state->prompt->c_str());
            SetDlgItemTextW(dialog, IDC_INPUT_VALUE, state->value->c_str());
            SendDlgItemMessageW(dialog, IDC_INPUT_VALUE, EM_SETSEL, 0, -1);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK) {
                auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(dialog, DWLP_USER));
                HWND field = GetDlgItem(dialog, IDC_INPUT_VALUE);
                const int n = GetWindowTextLengthW(field);
                std::wstring text(size_t(n) + 1, L'\0');
                text.resize(size_t(GetWindowTextW(field, text.data(), n + 1)));
                if (state) *state->value = text;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wp) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

bool ShowInputDialog(HWND owner, const std::wstring& title, const std::wstring& prompt, std::wstring* value) {
    InputState state = {&title, &prompt, value};
    return DialogBoxParamW(shell::ResourceModule(), MAKEINTRESOURCEW(IDD_INPUT), owner, InputProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

InputFn g_input = &ShowInputDialog;

}  // namespace

InputFn SetInputHook(InputFn hook) {
    const InputFn previous = g_input;
    g_input = hook ? hook : &ShowInputDialog;
    return previous;
}

bool AskInput(HWND owner, const std::wstring& title, const std::wstring& prompt, std::wstring* value) {
    if (!value) return false;
    try {
        return g_input(owner, title, prompt, value);
    } catch (...) {  // out of memory: the question counts as cancelled
        return false;
    }
}

}  // namespace documents
