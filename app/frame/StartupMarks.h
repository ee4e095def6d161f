// Where the start-up time goes: named moments of the main thread, in
// milliseconds since the process was created, written once the first idle
// pass is over to the file that MORROWPAD_START_MARKS names (nothing is
// written when it is not set). Used by hand next to bench/startup_bench.
#pragma once

#include <windows.h>

#include <cstdio>

namespace shell::startup {

struct MarkTable {
    struct Entry {
        const char* name;
        LARGE_INTEGER at;
    };
    Entry entries[96];
    int count = 0;
    bool written = false;
};

inline MarkTable& Marks() {
    static MarkTable table;
    return table;
}

// A moment; past the table's room, or once written, nothing.
inline void Mark(const char* name) {
    MarkTable& t = Marks();
    if (t.written || t.count >= int(sizeof t.entries / sizeof t.entries[0])) return;
    t.entries[t.count].name = name;
    QueryPerformanceCounter(&t.entries[t.count].at);
    ++t.count;
}

// The marks since the process's creation, and the process's CPU time.
inline void WriteMarks() {
    MarkTable& t = Marks();
    if (t.written) return;
    t.written = true;
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"MORROWPAD_START_MARKS", path, MAX_PATH) || !path[0]) return;
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    FILETIME created, exited, kernel, user, wall;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&wall);
    auto ticks = [](const FILETIME& f) { return (ULONGLONG(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    // The wall clock of the creation on the performance counter's scale.
    const double nowMs = double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
    const double sinceCreation = double(ticks(wall) - ticks(created)) / 10000.0;
    const double base = nowMs - sinceCreation;
    FILE* out = _wfopen(path, L"a");
    if (!out) return;
    double previous = 0;
    for (int i = 0; i < t.count; ++i) {
        const double at = double(t.entries[i].at.QuadPart) * 1000.0 / double(frequency.QuadPart) - base;
        std::fprintf(out, "%-28s %8.1f ms %+8.1f\n", t.entries[i].name, at, at - previous);
        previous = at;
    }
    std::fprintf(out, "cpu: user %.1f ms, kernel %.1f ms\n\n", double(ticks(user)) / 10000.0,
                 double(ticks(kernel)) / 10000.0);
    std::fclose(out);
}

}  // namespace shell::startup
