// chardet.dll: the detector behind five cdecl functions. A detector is named
// by a 32-bit handle (an index into this library's table), so the interface
// is the same for 32- and 64-bit callers.
//
// Any thread may call: the table has a lock, and each detector its own, so
// that detections on several threads run side by side and a detector being
// used stays alive until that call returns even if another thread destroys
// it. No exception leaves the library: a failure is the result 1.
//
// Every detector prefers the system's ANSI code page on short texts.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "CodePageNames.h"
#include "Detector.h"

namespace {
struct Entry {
    std::mutex lock;
    chardet::CDetector detector;
};

std::mutex g_tableLock;
std::vector<std::shared_ptr<Entry>> g_table;  // slot = handle - 1; freed slots are reused

std::shared_ptr<Entry> Find(uint32_t handle) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    return handle >= 1 && handle <= g_table.size() ? g_table[handle - 1] : nullptr;
}

// The detector's name for the system's ANSI code page; empty when it has none.
const char* AnsiCharset() {
    const int acp = int(GetACP());
    for (const chardet::CodePageName& e : chardet::kCodePageNames)
        if (e.codePage == acp) return e.name;
    return "";
}

// Runs an export's body; any exception becomes the failure result.
template <typename Body>
int Guarded(Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return 1;
    }
}
}  // namespace

#define CHARDET_API extern "C" __declspec(dllexport) int __cdecl

// Creates a detector and writes its handle (0 on failure); 0 on success.
CHARDET_API chardet_create(uint32_t* handle) {
    if (!handle) return 1;
    *handle = 0;
    return Guarded([&] {
        auto entry = std::make_shared<Entry>();
        entry->detector.Prefer(AnsiCharset());
        std::lock_guard<std::mutex> lock(g_tableLock);
        size_t slot = 0;
        while (slot < g_table.size() && g_table[slot]) ++slot;
        if (slot >= UINT32_MAX) return 1;
        if (slot == g_table.size()) g_table.emplace_back();
        g_table[slot] = std::move(entry);
        *handle = uint32_t(slot + 1);
        return 0;
    });
}

CHARDET_API chardet_destroy(uint32_t handle) {
    return Guarded([&] {
        std::shared_ptr<Entry> gone;  // freed after the lock, once no call uses it
        std::lock_guard<std::mutex> lock(g_tableLock);
        if (handle < 1 || handle > g_table.size() || !g_table[handle - 1]) return 1;
        gone.swap(g_table[handle - 1]);
        return 0;
    });
}

// Feeds bytes; 0 on success.
CHARDET_API chardet_handle_data(uint32_t handle, const char* data, unsigned int size) {
    return Guarded([&] {
        const std::shared_ptr<Entry> e = Find(handle);
        if (!e || (!data && size)) return 1;
        std::lock_guard<std::mutex> lock(e->lock);
        e->detector.Feed(reinterpret_cast<const uint8_t*>(data), size);
        return 0;
    });
}

CHARDET_API chardet_data_end(uint32_t handle) {
    return Guarded([&] {
        const std::shared_ptr<Entry> e = Find(handle);
        if (!e) return 1;
        std::lock_guard<std::mutex> lock(e->lock);
        e->detector.End();
        return 0;
    });
}

// Writes the name, NUL-terminated, into a buffer of `size` bytes; 0 on
// success (an empty name when nothing was detected).
CHARDET_API chardet_get_charset(uint32_t handle, char* buffer, unsigned int size) {
    return Guarded([&] {
        const std::shared_ptr<Entry> e = Find(handle);
        if (!e || !buffer || size == 0) return 1;
        std::lock_guard<std::mutex> lock(e->lock);
        const std::string name = e->detector.Charset();
        if (name.size() + 1 > size) return 1;
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        return 0;
    });
}
