// Pathological lines through the program: files of one enormous line (a C
// file of nested braces, a line of one character, minified JavaScript, a
// line of quotes) opened in a frame of this process with their shipped
// syntax, then each per-line pass timed on its own: the open with the
// lexer set, the fold pass to its end, painting the window, bracket
// matching at the line's first bracket, word wrap on and painted. The
// peer is the same text opened as plain text (.txt: no lexer) in the same
// run. A pass over the bound (1 s) is marked: the window would not answer.
//
//   scripts/bench.sh line_bench
//   line_bench.exe [scale]     (scale 1: the sizes below; 0.1 for a quick look)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "CommandIds.h"
#include "Document.h"
#include "EditProtocol.h"
#include "FileEncoding.h"
#include "MainFrame.h"
#include "Resources.h"
#include "Settings.h"

namespace {

constexpr double kBoundSeconds = 1.0;

bool WriteText(const std::wstring& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const bool ok = WriteFile(f, text.data(), DWORD(text.size()), &put, nullptr) && put == text.size();
    CloseHandle(f);
    return ok;
}

std::string Repeat(const std::string& piece, size_t bytes) {
    std::string s;
    s.reserve(bytes + piece.size());
    while (s.size() < bytes) s += piece;
    return s;
}

struct Case {
    const char* name;
    const wchar_t* extension;  // of the shipped syntax
    std::string text;
};

struct Timing {
    double open = 0, folds = 0, paint = 0, brace = 0, wrap = 0;
};

void Pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

double Time(auto&& step) {
    const double t0 = Now();
    step();
    return Now() - t0;
}

void Paint(HWND pane) {
    RedrawWindow(pane, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool Measure(shell::CMainFrame& frame, const std::wstring& path, int bracket, Timing* t) {
    HWND doc = nullptr;
    documents::OpenRequest request;
    request.codePage = 65001;
    t->open = Time([&] { doc = frame.OpenDocument(path, &request); });
    IView* view = doc ? documents::ViewOf(doc) : nullptr;
    if (!view) return false;
    HWND pane = view->GetActivePane();
    // The fold pass runs from its timer: its ticks, delivered at once, until
    // the pass is through (a tick past the end costs nothing).
    const int ticks = int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0)) / 200 + 3;
    t->folds = Time([&] {
        for (int i = 0; i < ticks; ++i) SendMessageW(pane, WM_TIMER, 3, 0);
    });
    t->paint = Time([&] { Paint(pane); });
    // The caret onto a bracket of the line (its first, or the line's start
    // when it has none) and the window painted with its match.
    SendMessageW(pane, MPM_BRACEMATCH, 1, 0);
    Position at = {0, std::max(bracket, 0)};
    t->brace = Time([&] {
        SendMessageW(pane, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 1);
        Paint(pane);
    });
    t->wrap = Time([&] {
        SendMessageW(pane, MPM_TOGGLEWRAP, 0, 0);
        Paint(pane);
    });
    SendMessageW(frame.Window(), WM_COMMAND, ID_CLOSE_DOCUMENT, 0);
    Pump();
    return true;
}

void Row(const char* what, double s) {
    std::printf(" %9.1f%s", s * 1e3, s > kBoundSeconds ? "!" : " ");
    (void)what;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const double scale = argc > 1 ? std::max(0.001, _wtof(argv[1])) : 1.0;
    const std::wstring exe = ExeFolder();
    HMODULE language = LoadLibraryW((exe + L"..\\bin\\mui\\en.dll").c_str());
    if (language) shell::SetResourceModule(language);
    HMODULE edit = LoadLibraryW((exe + L"..\\bin\\Edit.dll").c_str());
    if (!edit) {
        std::fprintf(stderr, "cannot load Edit.dll\n");
        return 1;
    }
    encoding::SetDetectorPath(exe + L"..\\bin\\chardet.dll");
    // The program folder of the build: its syntax list and definitions.
    settings::SetProgramFolder(exe + L"..\\bin\\");

    const size_t mb = size_t(1e6 * scale);
    const std::vector<Case> cases = {
        {"C, 100,000 nested braces", L"c", std::string(size_t(50000 * scale), '{') + std::string(size_t(50000 * scale), '}')},
        {"C, 1 MB of one character", L"c", std::string(mb, 'a')},
        {"C, 1 MB of quotes", L"c", std::string(mb, '"')},
        {"JavaScript, 10 MB minified", L"js",
         Repeat("function f(a,b){if(a<b){return a+b}var s=\"str\\\"ing\",r=/re[gx]+\\//g;return s.length*2;}", 10 * mb)},
        {"Python, 1 MB of one line", L"py", Repeat("x = [\"a\", 'b', 3.5e1, {1: (2, 3)}]  # ", mb)},
    };
    auto frame = std::make_unique<shell::CMainFrame>();
    if (!frame->Create(L"", edit)) {
        std::fprintf(stderr, "cannot create the frame\n");
        return 1;
    }
    ShowWindow(frame->Window(), SW_SHOW);
    const std::wstring folder = BenchTempFolder(L"mp-line-bench");
    std::printf("line_bench: one-line files, ms per pass (! over %.0f s), with the syntax / as plain text\n",
                kBoundSeconds);
    std::printf("%-30s %10s %10s %10s %10s %10s\n", "", "open", "folds", "paint", "brackets", "wrap");
    bool over = false;
    for (const Case& c : cases) {
        Timing with, plain;
        const std::wstring coded = folder + L"case." + c.extension, text = folder + L"case.txt";
        if (!WriteText(coded, c.text) || !WriteText(text, c.text)) {
            std::fprintf(stderr, "cannot write the case files\n");
            return 1;
        }
        const size_t bracket = c.text.find_first_of("{([");
        const int column = bracket == std::string::npos ? -1 : int(bracket);
        if (!Measure(*frame, coded, column, &with) || !Measure(*frame, text, column, &plain)) {
            std::fprintf(stderr, "the program could not open %s\n", c.name);
            return 1;
        }
        for (const Timing* t : {&with, &plain}) {
            std::printf("%-30s", t == &with ? c.name : "  the same as plain text");
            for (double s : {t->open, t->folds, t->paint, t->brace, t->wrap}) {
                Row("", s);
                over = over || (t == &with && s > kBoundSeconds);
            }
            std::printf("\n");
        }
        DeleteFileW(coded.c_str());
        DeleteFileW(text.c_str());
    }
    frame.reset();
    std::printf("%s\n", over ? "some passes are over the bound" : "every pass within the bound");
    return over ? 3 : 0;
}
