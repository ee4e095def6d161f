// Work on threads that end, as the program's loaders, savers and syntax
// workers do: whatever a thread keeps of its own must be let go of when it
// ends, and nothing may be freed twice. The test runs with the heap's
// checks on (WINEDEBUG=warn+heap), which report a bad or stale free.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../edit/text/FileTestUtil.h"
#include "CodePages.h"
#include "Engine.h"
#include "FileIO.h"
#include "TextDocument.h"

namespace {

// ISO-2022-JP for "カナ" (katakana through JIS X 0208) and ASCII.
const char kIso2022Jp[] = "ab \x1B$B%+%J\x1B(B cd\r\n";

// Runs `work` on `count` threads, one after the other, each ending before the
// next begins; then churns the heap so that a stale block would be reused.
bool OnEndingThreads(const std::function<bool()>& work, int count = 8) {
    struct Job {
        const std::function<bool()>* work;
        bool ok;
    };
    for (int i = 0; i < count; ++i) {
        Job job{&work, false};
        HANDLE t = CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                Job* j = static_cast<Job*>(p);
                try {
                    j->ok = (*j->work)();
                } catch (...) {
                    j->ok = false;
                }
                return 0;
            },
            &job, 0, nullptr);
        if (!t) return false;
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        if (!job.ok) return false;
        std::vector<std::string> churn;
        for (int k = 0; k < 64; ++k) churn.emplace_back(size_t(16 + k * 8), 'x');
    }
    HANDLE heaps[64];
    const DWORD n = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < n && i < 64; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

bool RunScript(const char* text) {
    script::CHost host;
    script::CEngine engine(&host);
    script::String wide;
    for (const char* p = text; *p; ++p) wide.push_back(char16_t(static_cast<unsigned char>(*p)));
    engine.Run(wide);
    return true;
}

struct Case {
    const char* name;
    std::function<bool()> work;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"script arrays in arrays",
         [] {
             return RunScript(
                 "Dim a(), b\r\nReDim a(3)\r\na(0) = Array(1, Array(2, 3))\r\nb = a\r\nReDim Preserve "
                 "a(5)\r\n");
         }},
        {"script objects holding objects",
         [] {
             return RunScript(
                 "Class Node\r\nPublic nxt\r\nEnd Class\r\nDim h, i, n\r\nSet h = New Node\r\n"
                 "For i = 1 To 20\r\nSet n = New Node\r\nSet n.nxt = h\r\nSet h = n\r\nNext\r\nSet h = "
                 "Nothing\r\n"
                 "Set n = Nothing\r\n");
         }},
        {"own code-page conversion",
         [] {
             const int n = int(std::strlen(kIso2022Jp));
             wchar_t wide[64];
             const int units = codepage::ToWide(50220, kIso2022Jp, n, wide, 64);
             char back[64];
             return units > 0 && codepage::FromWide(50220, wide, units, back, 64) > 0;
         }},
        {"load and save in a code page the system lacks",
         [] {
             TempDir dir(L"THR");
             WriteBytes(dir / L"in.txt", kIso2022Jp);
             TextDocument d;
             if (!LoadFile(d, (dir / L"in.txt").c_str(), 50220, false)) return false;
             SaveFormat f = {50220, LB_CRLF, 0};
             return SaveFile(d, (dir / L"out.txt").c_str(), &f, true) &&
                    ReadBytes(dir / L"out.txt") == kIso2022Jp;
         }},
    };
    return cases;
}

TEST(ThreadEnd, WorkOnEndingThreadsLeavesTheHeapWhole) {
    for (const Case& c : Cases()) EXPECT_TRUE(OnEndingThreads(c.work)) << c.name;
}

}  // namespace
