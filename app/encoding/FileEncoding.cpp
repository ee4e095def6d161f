#include "FileEncoding.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "CodePageNames.h"
#include "CodePages.h"
#include "Owners.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace encoding {
namespace {

std::mutex g_pathLock;
std::wstring g_detectorPath;  // empty: the program folder's chardet.dll

std::wstring DetectorPath() {
    {
        std::lock_guard<std::mutex> lock(g_pathLock);
        if (!g_detectorPath.empty()) return g_detectorPath;
    }
    return settings::ProgramFolder() + L"chardet.dll";
}

using CreateFn = int(__cdecl*)(uint32_t*);
using HandleFn = int(__cdecl*)(uint32_t);
using DataFn = int(__cdecl*)(uint32_t, const char*, unsigned int);
using CharsetFn = int(__cdecl*)(uint32_t, char*, unsigned int);

}  // namespace

int CodePageOfCharset(const char* name) { return chardet::CodePageOfName(name); }

void SetDetectorPath(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(g_pathLock);
    g_detectorPath = path;
}

// Each detection loads the library for itself and has a detector of its own,
// so detections on several threads do not meet here (chardet.dll locks its
// handle table).
int DetectCodePage(const uint8_t* sample, size_t length) {
    // By its full path: a library of that name elsewhere on the search path
    // is never used.
    const shell::CUniqueLibrary library(LoadLibraryExW(DetectorPath().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) return 0;
    const HMODULE lib = library.get();
    auto create = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(lib, "chardet_create")));
    auto destroy = reinterpret_cast<HandleFn>(reinterpret_cast<void*>(GetProcAddress(lib, "chardet_destroy")));
    auto feed = reinterpret_cast<DataFn>(reinterpret_cast<void*>(GetProcAddress(lib, "chardet_handle_data")));
    auto end = reinterpret_cast<HandleFn>(reinterpret_cast<void*>(GetProcAddress(lib, "chardet_data_end")));
    auto charset = reinterpret_cast<CharsetFn>(reinterpret_cast<void*>(GetProcAddress(lib, "chardet_get_charset")));
    int codePage = 0;
    if (create && destroy && feed && end && charset) {
        uint32_t handle = 0;
        create(&handle);
        if (feed(handle, reinterpret_cast<const char*>(sample), unsigned(std::min<size_t>(length, 0x7FFFFFFF))) == 0) {
            end(handle);
            char name[32] = {};
            // An empty name means nothing was detected.
            if (charset(handle, name, sizeof name) == 0 && name[0]) {
                name[sizeof name - 1] = 0;
                codePage = CodePageOfCharset(name);
            }
        }
        destroy(handle);
    }
    return codePage;
}

size_t SkipByteOrderMark(const uint8_t* b, size_t n, int cp) {
    if (cp == 65001 && n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return 3;
    if (cp == 1200 && n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return 2;
    if (cp == 1201 && n >= 2 && b[0] == 0xFE && b[1] == 0xFF) return 2;
    if (cp == 12000 && n >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) return 4;
    if (cp == 12001 && n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) return 4;
    return 0;
}

std::wstring ToUtf16(const uint8_t* b, size_t n, int cp, bool* ok) {
    if (ok) *ok = true;
    std::wstring out;
    if (cp == 1200 || cp == 1201) {
        out.resize(n / 2);
        for (size_t i = 0; i < n / 2; ++i)
            out[i] = cp == 1200 ? wchar_t(b[2 * i] | b[2 * i + 1] << 8) : wchar_t(b[2 * i] << 8 | b[2 * i + 1]);
        return out;
    }
    if (cp == 12000 || cp == 12001) {
        for (size_t i = 0; i + 4 <= n; i += 4) {
            uint32_t c = cp == 12000 ? (uint32_t(b[i]) | uint32_t(b[i + 1]) << 8 | uint32_t(b[i + 2]) << 16 |
                                        uint32_t(b[i + 3]) << 24)
                                     : (uint32_t(b[i]) << 24 | uint32_t(b[i + 1]) << 16 | uint32_t(b[i + 2]) << 8 |
                                        uint32_t(b[i + 3]));
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
            if (c >= 0x10000) {
                c -= 0x10000;
                out += wchar_t(0xD800 + (c >> 10));
                out += wchar_t(0xDC00 + (c & 0x3FF));
            } else {
                out += wchar_t(c);
            }
        }
        return out;
    }
    if (n == 0) return out;
    const int len = int(std::min<size_t>(n, 0x7FFFFFFF));
    // The system's conversion, or ours where it refuses the code page.
    SetLastError(ERROR_SUCCESS);
    const int units = codepage::ToWide(cp, reinterpret_cast<const char*>(b), len, nullptr, 0);
    bool done = units > 0 || GetLastError() == ERROR_SUCCESS;  // 0 units: ISO-2022 escape sequences only
    if (units > 0) {
        out.resize(size_t(units));
        done = codepage::ToWide(cp, reinterpret_cast<const char*>(b), len, out.data(), units) == units;
    }
    if (!done) {
        const DWORD err = GetLastError();
        out.clear();
        if (ok) *ok = false;
        SetLastError(err ? err : ERROR_NO_UNICODE_TRANSLATION);
    }
    return out;
}

size_t SampleSize(int kb, size_t fileSize) {
    static const settings::KeyInfo& key = *settings::FindKey(settings::File::Setting, L"Setting", L"AutoDetectBuffer");
    return std::min(size_t(settings::Clamp(key, kb)) * 1024, fileSize);
}

bool ReadWholeFile(const std::wstring& path, int codePage, size_t sampleBytes, FileText* out) {
    // An empty file cannot be mapped and is not read.
    shell::CMappedFile file;
    if (file.Open(path) != shell::CMappedFile::Result::kOk) return false;
    const uint8_t* data = file.data();
    const size_t n = file.size();
    if (codePage < 0) codePage = DetectCodePage(data, std::min(sampleBytes, n));
    out->codePage = codePage;
    out->lines.clear();
    const size_t start = SkipByteOrderMark(data, n, codePage);
    const size_t w = (codePage == 1200 || codePage == 1201) ? 2 : (codePage == 12000 || codePage == 12001) ? 4 : 1;
    auto unitAt = [&](size_t i) -> uint32_t {
        uint32_t u = 0;
        std::memcpy(&u, data + i, w);
        return u;
    };
    const uint32_t cr = codePage == 1201 ? 0x0D00 : codePage == 12001 ? 0x0D000000 : 13;
    const uint32_t lf = codePage == 1201 ? 0x0A00 : codePage == 12001 ? 0x0A000000 : 10;
    size_t lineStart = start, i = start;
    bool ok = true;
    while (i + w <= n) {
        const uint32_t u = unitAt(i);
        if (u == cr || u == lf) {
            out->lines.push_back(ToUtf16(data + lineStart, i - lineStart, codePage, &ok));
            if (!ok) break;
            i += w;
            if (u == cr && i + w <= n && unitAt(i) == lf) i += w;
            lineStart = i;
        } else {
            i += w;
        }
    }
    if (ok) out->lines.push_back(ToUtf16(data + lineStart, n - lineStart, codePage, &ok));
    const DWORD err = GetLastError();
    file.Close();
    if (!ok) {
        out->lines.clear();
        SetLastError(err);
    }
    return ok;
}

}  // namespace encoding
