// chardet.dll: the detector behind five cdecl functions. A detector is named
// by a 32-bit handle (an index into this library's table), so the interface
// is the same for 32- and 64-bit callers.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "Detector.h"

namespace {
std::vector<std::unique_ptr<chardet::Detector>>& Table() {
    static std::vector<std::unique_ptr<chardet::Detector>> table;
    return table;
}

chardet::Detector* Find(uint32_t handle) {
    auto& t = Table();
    return handle >= 1 && handle <= t.size() ? t[handle - 1].get() : nullptr;
}
}  // namespace

#define CHARDET_API extern "C" __declspec(dllexport) int __cdecl

// Creates a detector and writes its handle; 0 on success.
CHARDET_API chardet_create(uint32_t* handle) {
    if (!handle) return 1;
    try {
        auto& t = Table();
        size_t slot = 0;
        while (slot < t.size() && t[slot]) ++slot;
        if (slot == t.size()) t.emplace_back();
        t[slot] = std::make_unique<chardet::Detector>();
        *handle = uint32_t(slot + 1);
        return 0;
    } catch (const std::bad_alloc&) {
        *handle = 0;
        return 1;
    }
}

CHARDET_API chardet_destroy(uint32_t handle) {
    if (!Find(handle)) return 1;
    Table()[handle - 1].reset();
    return 0;
}

// Feeds bytes; 0 on success.
CHARDET_API chardet_handle_data(uint32_t handle, const char* data, unsigned int size) {
    chardet::Detector* d = Find(handle);
    if (!d || (!data && size)) return 1;
    try {
        d->Feed(reinterpret_cast<const uint8_t*>(data), size);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return 0;
}

CHARDET_API chardet_data_end(uint32_t handle) {
    chardet::Detector* d = Find(handle);
    if (!d) return 1;
    d->End();
    return 0;
}

// Writes the name, NUL-terminated, into a buffer of `size` bytes; 0 on
// success (an empty name when nothing was detected).
CHARDET_API chardet_get_charset(uint32_t handle, char* buffer, unsigned int size) {
    chardet::Detector* d = Find(handle);
    if (!d || !buffer || size == 0) return 1;
    const std::string name = d->Charset();
    if (name.size() + 1 > size) return 1;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 0;
}
