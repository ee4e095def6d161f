// Word completion in a 1M-line source file, beside a plain full scan of the
// document in the same run.
//
// A pane (CTextView) in this process loads a generated C-like file of about
// a million lines; the caret goes to its middle and "con" is typed. Figures:
// - the peer: one lookup as a plain scan of every line does it, each line
//   read with message 1037 and searched for the prefix ignoring case, and the
//   same scan with the lines read in batches (message 1093);
// - the pause's handler (timer 100) on a fresh document: the time until the
//   list is shown, and how many words the near part gave;
// - the background reading of the rest: the longest slice (what a key could
//   wait behind) and the total work;
// - a later pause after more typing (the index complete, one block reread),
//   and its parts: the lookup and the list filled and shown;
// - one typed character with completion on (the index following the edit)
//   and, as its peer, with completion off.
//
//   completion_bench.exe [file] [lines]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "AutoBox.h"
#include "BenchUtil.h"
#include "CaseFold.h"
#include "CommandIds.h"
#include "EditProtocol.h"
#include "Resources.h"
#include "Settings.h"
#include "TextView.h"

using documents::CAutoBox;
using documents::CTextView;

namespace {

// A source text of `lines` lines over a vocabulary of a few thousand
// identifiers (some fifty of them beginning with "con"), the same each run.
bool Generate(const std::wstring& path, int lines) {
    unsigned seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFFFF; };
    static const char* const kSyllables[] = {"con", "ta", "ro", "mi", "pel", "st", "ar", "fig", "nect",
                                             "tr",  "ol", "ex", "pr", "ve",  "in", "de", "tex", "um"};
    std::vector<std::string> vocabulary = {"int",  "const",    "return",   "if",     "else",
                                           "for",  "while",    "struct",   "static", "void",
                                           "char", "unsigned", "continue", "count"};
    while (vocabulary.size() < 4000) {
        std::string w;
        const int parts = 2 + int(next() % 3);
        for (int i = 0; i < parts; ++i) w += kSyllables[next() % (sizeof kSyllables / sizeof *kSyllables)];
        if (next() % 4 == 0) w[0] = char(w[0] - 32);
        if (next() % 3 == 0) w += "_" + std::to_string(next() % 10);
        vocabulary.push_back(w);
    }
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    std::string out;
    for (int line = 0; line < lines; ++line) {
        out += std::string(size_t(4 * (next() % 4)), ' ');
        const int tokens = 3 + int(next() % 7);
        for (int t = 0; t < tokens; ++t) {
            out += vocabulary[next() % vocabulary.size()];
            static const char* const kPunct[] = {" ", " = ", "(", ", ", "); ", " + ", "->", "."};
            out += kPunct[next() % 8];
        }
        out += "\r\n";
        if (out.size() > (1u << 20)) {
            DWORD written = 0;
            WriteFile(f, out.data(), DWORD(out.size()), &written, nullptr);
            out.clear();
        }
    }
    DWORD written = 0;
    WriteFile(f, out.data(), DWORD(out.size()), &written, nullptr);
    CloseHandle(f);
    return true;
}

LRESULT CALLBACK DocumentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) {
        CTextView::Reflect(reinterpret_cast<const NMHDR*>(lp));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The control's delimiters, each asked once (as the index does).
bool Delimiter(HWND pane, wchar_t c) {
    static std::vector<unsigned char> known(0x10000, 0);
    unsigned char& k = known[c];
    if (!k) k = SendMessageW(pane, MPM_ISDELIMITER, WPARAM(c), 0) ? 2 : 1;
    return k == 2;
}

// One line searched for the prefix ignoring case, as the plain lookup does.
void ScanLine(HWND pane, const wchar_t* t, int n, const std::wstring& folded,
              std::unordered_set<std::wstring>& seen, std::vector<std::wstring>& out) {
    const int m = int(folded.size());
    for (int i = 0; i + m <= n; ++i) {
        int k = 0;
        while (k < m && search::FoldCase(t[i + k]) == folded[size_t(k)]) ++k;
        if (k < m) continue;
        if (i > 0 && !Delimiter(pane, t[i - 1])) continue;
        int j = i + m;
        while (j < n && !Delimiter(pane, t[j])) ++j;
        const std::wstring word(t + i, size_t(j - i));
        if (j - i < 128 && j - i > m && seen.insert(word).second) out.push_back(word);
        i = j - 1;
    }
}

// The peer: every line of the document, one message per line (two: the
// length, then the text).
size_t PlainScan(HWND pane, const std::wstring& prefix) {
    const std::wstring folded = documents::FoldWord(prefix);
    const int count = int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0));
    std::unordered_set<std::wstring> seen;
    std::vector<std::wstring> out;
    std::vector<wchar_t> line;
    for (int i = 0; i < count; ++i) {
        const int n = int(SendMessageW(pane, MPM_GETLINE, WPARAM(i), 0));
        line.resize(size_t(n) + 1);
        SendMessageW(pane, MPM_GETLINE, WPARAM(i), reinterpret_cast<LPARAM>(line.data()));
        ScanLine(pane, line.data(), n, folded, seen, out);
    }
    return out.size();
}

// The same scan with the lines read in batches.
size_t BatchScan(HWND pane, const std::wstring& prefix) {
    const std::wstring folded = documents::FoldWord(prefix);
    const int count = int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0));
    std::unordered_set<std::wstring> seen;
    std::vector<std::wstring> out;
    std::vector<wchar_t> buffer(1 << 20);
    for (int first = 0; first < count;) {
        LinesArg arg = {count - first, buffer.data(), int(buffer.size()), 0};
        const int got = int(SendMessageW(pane, MPM_GETLINES, WPARAM(first), reinterpret_cast<LPARAM>(&arg)));
        if (got <= 0) break;
        const wchar_t* p = buffer.data();
        const wchar_t* end = p + arg.units;
        while (p < end) {
            const wchar_t* e = std::find(p, end, L'\n');
            ScanLine(pane, p, int(e - p), folded, seen, out);
            p = e + 1;
        }
        first += got;
    }
    return out.size();
}

double Ms(double seconds) { return seconds * 1000.0; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = BenchTempFolder(L"mp-completion-bench");
    std::wstring path = argc > 1 ? argv[1] : folder + L"completion.c";
    const int lines = argc > 2 ? _wtoi(argv[2]) : 1000000;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !Generate(path, lines)) {
        std::fprintf(stderr, "cannot write %ls\n", path.c_str());
        return 1;
    }
    const std::wstring exe = ExeFolder();
    HMODULE edit = LoadLibraryW((exe + L"..\\bin\\Edit.dll").c_str());
    if (!edit) edit = LoadLibraryW(MRPAD_LIBRARY_NAME);
    if (!edit) {
        std::fprintf(stderr, "no Edit.dll\n");
        return 1;
    }
    settings::SetProgramFolder(folder);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DocumentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CompletionBenchDocument";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900,
                                  700, nullptr, nullptr, wc.hInstance, nullptr);
    CTextView* view = CTextView::Create(parent, {edit, parent, nullptr, nullptr, 0});
    if (!view) return 1;
    const HWND pane = view->Window();
    MoveWindow(pane, 0, 0, 880, 660, TRUE);
    SetFocus(pane);
    double t0 = Now();
    if (SendMessageW(pane, MPM_LOADFILE, reinterpret_cast<WPARAM>(path.c_str()), MAKELPARAM(1252, LB_CRLF)) !=
        1) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    const int count = int(SendMessageW(pane, MPM_GETLINECOUNT, 0, 0));
    std::printf("document: %d lines, loaded in %.0f ms\n", count, Ms(Now() - t0));

    // The caret in the middle, on a line of its own.
    Position middle = {count / 2, 0};
    SendMessageW(pane, MPM_SETCARET, reinterpret_cast<WPARAM>(&middle), 1);
    SendMessageW(pane, WM_COMMAND, ECMD_NEWLINEABOVE, 0);

    // The peers.
    t0 = Now();
    const size_t plain = PlainScan(pane, L"con");
    const double plainMs = Ms(Now() - t0);
    t0 = Now();
    const size_t batch = BatchScan(pane, L"con");
    const double batchMs = Ms(Now() - t0);
    std::printf("peer: full scan per line (1037)    %8.1f ms  %zu words\n", plainMs, plain);
    std::printf("peer: full scan in batches (1093)  %8.1f ms  %zu words\n", batchMs, batch);

    // Typing "con" with completion on, fresh index.
    const size_t before = PrivateBytes();
    std::vector<double> keys;
    for (wchar_t c : std::wstring(L"con")) {
        t0 = Now();
        SendMessageW(pane, WM_CHAR, c, 0);
        keys.push_back(Ms(Now() - t0));
    }
    t0 = Now();
    SendMessageW(pane, WM_TIMER, CAutoBox::kTypingTimer, 0);
    const double pauseMs = Ms(Now() - t0);
    CAutoBox* box = view->AutoBox();
    std::printf(
        "pause on a fresh document: list shown after %.1f ms (%s), %zu words (at most %zu) from the part "
        "read\n",
        pauseMs, box->Visible() ? "shown" : "NOT shown", box->Candidates().size(), CAutoBox::kMostWords);
    // The rest in slices, as the background timer runs them.
    double longest = 0, total = 0;
    int slices = 0;
    std::vector<double> each;
    while (!box->IndexComplete() && slices < 100000) {
        t0 = Now();
        SendMessageW(pane, WM_TIMER, CAutoBox::kIndexTimer, 0);
        const double t = Ms(Now() - t0);
        longest = std::max(longest, t);
        each.push_back(t);
        total += t;
        ++slices;
    }
    std::printf(
        "background reading: %d slices, median %.1f ms, longest %.1f ms, total %.0f ms; list now %d words\n",
        slices, Median(each), longest, total, int(SendMessageW(box->ListWindow(), LB_GETCOUNT, 0, 0)));
    std::printf("index memory: %.1f MB\n", double(PrivateBytes() - before) / 1048576.0);

    // Later pauses: Esc, a space, the prefix again (one block to reread).
    std::vector<double> pauses, typed;
    for (int i = 0; i < 15; ++i) {
        SendMessageW(pane, WM_CHAR, 27, 0);
        box->Hide();
        for (wchar_t c : std::wstring(L" con")) {
            t0 = Now();
            SendMessageW(pane, WM_CHAR, c, 0);
            typed.push_back(Ms(Now() - t0));
        }
        t0 = Now();
        SendMessageW(pane, WM_TIMER, CAutoBox::kTypingTimer, 0);
        pauses.push_back(Ms(Now() - t0));
        if (!box->Visible()) std::printf("  (pause %d: list not shown)\n", i);
    }
    {
        SendMessageW(pane, WM_CHAR, 27, 0);
        box->Hide();
        for (wchar_t c : std::wstring(L" con")) SendMessageW(pane, WM_CHAR, c, 0);
        t0 = Now();
        box->Collect(3);
        const double collect = Ms(Now() - t0);
        t0 = Now();
        box->Collect(3);
        const double collect2 = Ms(Now() - t0);
        t0 = Now();
        box->FillAndShow(false);
        std::printf("  split: lookup after an edit %.1f ms, lookup again %.1f ms, fill and show %.1f ms\n",
                    collect, collect2, Ms(Now() - t0));
    }
    std::printf("later pause (index complete): median %.1f ms, max %.1f ms, %zu words\n", Median(pauses),
                *std::max_element(pauses.begin(), pauses.end()), box->Candidates().size());
    box->Hide();
    // Typing with completion off, the peer of the keys above.
    SendMessageW(pane, WM_COMMAND, ID_AUTO_COMPLETE, 0);
    std::vector<double> off;
    for (int i = 0; i < 15; ++i)
        for (wchar_t c : std::wstring(L" con")) {
            t0 = Now();
            SendMessageW(pane, WM_CHAR, c, 0);
            off.push_back(Ms(Now() - t0));
        }
    SendMessageW(pane, WM_COMMAND, ID_AUTO_COMPLETE, 0);  // the setting as it was
    std::printf(
        "one typed key, completion on:  median %.2f ms, max %.2f ms (first keys on a fresh index: %.2f %.2f "
        "%.2f)\n",
        Median(typed), *std::max_element(typed.begin(), typed.end()), keys[0], keys[1], keys[2]);
    std::printf("one typed key, completion off: median %.2f ms, max %.2f ms\n", Median(off),
                *std::max_element(off.begin(), off.end()));

    // A paste of 100,000 lines that each bring a word of their own beginning
    // with the prefix: the list holds a bounded number of them.
    {
        std::wstring paste;
        for (int i = 0; i < 100000; ++i) paste += L"conjure" + std::to_wstring(i) + L" = 0;\n";
        Position top = {0, 0};
        SendMessageW(pane, MPM_SETCARET, reinterpret_cast<WPARAM>(&top), 0);
        TextArg arg = {paste.c_str(), int(paste.size())};
        t0 = Now();
        SendMessageW(pane, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&arg));
        const double pasteMs = Ms(Now() - t0);
        SendMessageW(pane, WM_COMMAND, ECMD_NEWLINEABOVE, 0);
        for (wchar_t c : std::wstring(L"con")) SendMessageW(pane, WM_CHAR, c, 0);
        t0 = Now();
        SendMessageW(pane, WM_TIMER, CAutoBox::kTypingTimer, 0);
        const double manyMs = Ms(Now() - t0);
        const int listed = int(SendMessageW(box->ListWindow(), LB_GETCOUNT, 0, 0));
        t0 = Now();
        for (wchar_t c : std::wstring(L"ju")) {
            MSG key = {pane, WM_CHAR, c, 0, 0, {0, 0}};
            if (!SendMessageW(pane, MPM_TRANSLATEACCEL, 0, reinterpret_cast<LPARAM>(&key)))
                SendMessageW(pane, WM_CHAR, c, 0);
        }
        const double narrowMs = Ms(Now() - t0);
        const int narrowed = int(SendMessageW(box->ListWindow(), LB_GETCOUNT, 0, 0));
        std::printf(
            "after a 100,000-line paste (%.0f ms): pause %.1f ms, %d words listed; two keys narrowing "
            "to \"conju\" %.1f ms, %d listed (%s)\n",
            pasteMs, manyMs, listed, narrowMs, narrowed, box->Visible() ? "shown" : "NOT shown");
    }
    DestroyWindow(parent);
    return 0;
}
