// Typing with highlighting on: a character typed in the middle of a
// 1-million-line C file, from WM_CHAR to the finished repaint, with the C
// lexer set on the control, beside the same control without a lexer.
//
//   scripts/bench.sh lexer_typing_bench
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "CRules.h"
#include "EditProtocol.h"

namespace {

// A C file: functions with comments, strings, character literals,
// preprocessor lines and a block comment now and then.
std::wstring MakeSource(int lines) {
    std::wstring text;
    text.reserve(size_t(lines) * 40);
    for (int i = 0; i < lines;) {
        const std::wstring n = std::to_wstring(i);
        const wchar_t* const body[] = {
            L"#define LIMIT_", L"/* Computes the value of a step; see the notes", L"   at the top of the file. */",
            L"static int step_", L"{", L"    int value = 0x1F; // start", L"    if (value > 10) {",
            L"        printf(\"value %d\\n\", value);", L"        return 'x';", L"    }", L"    return value;", L"}"};
        for (int k = 0; k < 12 && i < lines; ++k, ++i) {
            text += body[k];
            if (k == 0) text += n + L" " + n;
            if (k == 3) text += n + L"(int value, const char* name)";
            text += L"\r\n";
        }
    }
    text.resize(text.size() - 2);
    return text;
}

void Typing(HWND edit, int line, std::vector<double>* typed) {
    Position at = {line, 8};
    SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 1);
    UpdateWindow(edit);
    typed->clear();
    for (int i = 0; i < 200; ++i) {
        const double t0 = Now();
        SendMessageW(edit, WM_CHAR, i % 2 ? L'b' : L'a', 1);
        UpdateWindow(edit);
        typed->push_back(Now() - t0);
    }
}

}  // namespace

int main() {
    HMODULE lib = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!lib) return 1;
    HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 700, nullptr, nullptr,
                                 nullptr, nullptr);
    HFONT font = CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                             FIXED_PITCH, L"Courier New");
    HWND edit = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 1000, 700,
                                frame, nullptr, lib, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    SetFocus(edit);
    const int kLines = 1000000;
    {
        const std::wstring text = MakeSource(kLines);
        TextArg arg = {text.c_str(), int(text.size())};
        SendMessageW(edit, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
    }
    auto lexer = MakeCLexer();
    const int mid = kLines / 2 + 5;  // "    int value = ..."

    // Rounds with and without the lexer in turn, so that both see the same
    // machine; setting the lexer again drops the states, and the first
    // paint in the middle computes those of the lines above (not timed as
    // typing).
    std::vector<double> withLexer, without, round;
    double firstPaint = 0;
    for (int r = 0; r < 4; ++r) {
        SendMessageW(edit, MPM_SETLEXER, 0, 1);
        Typing(edit, mid + 24 * r, &round);
        without.insert(without.end(), round.begin(), round.end());
        SendMessageW(edit, MPM_SETLEXER, reinterpret_cast<WPARAM>(lexer.get()), 1);
        Position at = {mid + 24 * r + 12, 8};
        SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 1);
        const double t0 = Now();
        UpdateWindow(edit);
        firstPaint = Now() - t0;
        Typing(edit, mid + 24 * r + 12, &round);
        withLexer.insert(withLexer.end(), round.begin(), round.end());
    }
    // A comment opened and closed again: every line below changes state.
    Position at = {mid + 120, 0};
    SendMessageW(edit, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 1);
    UpdateWindow(edit);
    double t0 = Now();
    SendMessageW(edit, WM_CHAR, L'/', 1);
    SendMessageW(edit, WM_CHAR, L'*', 1);
    UpdateWindow(edit);
    const double opened = Now() - t0;
    t0 = Now();
    SendMessageW(edit, WM_CHAR, L'*', 1);
    SendMessageW(edit, WM_CHAR, L'/', 1);
    UpdateWindow(edit);
    const double closed = Now() - t0;

    std::printf("lexer_typing_bench: %d lines of C, typed character to finished repaint\n", kLines);
    std::printf("  peer: without a lexer          median %.3f ms, max %.3f ms (%zu characters)\n",
                Median(without) * 1e3, *std::max_element(without.begin(), without.end()) * 1e3, without.size());
    std::printf("  with the C lexer               median %.3f ms, max %.3f ms (%zu characters)\n",
                Median(withLexer) * 1e3, *std::max_element(withLexer.begin(), withLexer.end()) * 1e3,
                withLexer.size());
    std::printf("  first paint at line %d after setting the lexer (states of the lines above): %.1f ms\n",
                mid + 84, firstPaint * 1e3);
    std::printf("  typing /* (every state below changes), two characters: %.3f ms; */ after it: %.3f ms\n",
                opened * 1e3, closed * 1e3);
    SendMessageW(edit, MPM_SETLEXER, 0, 1);
    DestroyWindow(edit);
    DeleteObject(font);
    return 0;
}
