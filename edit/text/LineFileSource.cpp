#include "LineFileSource.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "Encoding.h"
#include "LineScan.h"

const char* ByteOrderMark(int codePage, int* length) {
    switch (codePage) {
        case encoding::kUtf8: *length = 3; return "\xEF\xBB\xBF";
        case encoding::kUtf16LE: *length = 2; return "\xFF\xFE";
        case encoding::kUtf16BE: *length = 2; return "\xFE\xFF";
        case encoding::kUtf32LE: *length = 4; return "\xFF\xFE\x00\x00";
        case encoding::kUtf32BE: *length = 4; return "\x00\x00\xFE\xFF";
        default: *length = 0; return "";
    }
}

namespace {

// Runs fn(0) .. fn(parts - 1), the first on this thread and the others on
// threads of their own; a part whose thread cannot start runs here instead.
template <typename Fn>
void RunInParts(int parts, Fn&& fn) {
    std::vector<std::thread> threads;
    threads.reserve(size_t(parts));
    for (int k = 1; k < parts; ++k) {
        try {
            threads.emplace_back([&fn, k] { fn(k); });
        } catch (...) {
            fn(k);
        }
    }
    fn(0);
    for (auto& t : threads) t.join();
}

}  // namespace

LineFileSource::~LineFileSource() {
    Close();
    if (!fileName_.empty() && (!inPlace_ || movedAside_)) {
        SetFileAttributesW(fileName_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(fileName_.c_str());
    }
}

void LineFileSource::Close() {
    if (stream_ != INVALID_HANDLE_VALUE) CloseHandle(stream_);
    stream_ = INVALID_HANDLE_VALUE;
    cacheStart_ = cacheEnd_ = fileSize_;
}

// Others may read the file meanwhile, and rename or delete it (this handle
// keeps reading the bytes it opened; the program sees another file under the
// name), but not write it.
bool LineFileSource::Reopen(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    Close();
    stream_ = h;
    return true;
}

bool LineFileSource::Open(const std::wstring& path, HANDLE handle) {
    fileName_ = path;
    if (handle != INVALID_HANDLE_VALUE) {
        Close();
        stream_ = handle;
    } else if (!Reopen(path)) {
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(stream_, &size)) {
        Close();
        return false;
    }
    fileSize_ = size.QuadPart;
    cacheStart_ = cacheEnd_ = fileSize_;
    unsigned char head[4] = {};
    const int n = fileSize_ < 4 ? int(fileSize_) : 4;
    int markLen = 0;
    const char* mark = ByteOrderMark(codePage_, &markLen);
    bomLength_ = 0;
    if (n >= 2 && markLen > 0 && markLen <= n && ReadRaw(0, n, head) == n &&
        std::memcmp(head, mark, size_t(markLen)) == 0)
        bomLength_ = markLen;
    return true;
}

LineVector* LineFileSource::ScanLines(int parts) {
    const int w = encoding::UnitWidth(codePage_);
    uint32_t cr = 13, lf = 10;
    if (codePage_ == encoding::kUtf16BE) { cr = 0x0D00; lf = 0x0A00; }
    if (codePage_ == encoding::kUtf32BE) { cr = 0x0D000000; lf = 0x0A000000; }
    const unsigned char* data = nullptr;
    HANDLE mapping = nullptr;
    if (fileSize_ > 0) {
        mapping = CreateFileMappingW(stream_, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping) return nullptr;
        data = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (!data) {
            CloseHandle(mapping);
            return nullptr;
        }
    }
    LineVector* lines = nullptr;
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    try {
        if (parts <= 0) parts = fileSize_ >= kParallelScanBytes ? int(std::thread::hardware_concurrency()) : 1;
        parts = std::clamp(parts, 1, kMaxScanParts);
        int64_t bounds[kMaxScanParts + 1];
        parts = linescan::SplitAtBreaks(data, fileSize_, bomLength_, w, lf, parts, bounds);
        // Each piece but the last counts one empty line past its final break.
        int64_t counts[kMaxScanParts];
        RunInParts(parts, [&](int k) {
            counts[k] = linescan::CountLines(data, bounds[k + 1], bounds[k], w, cr, lf) - (k + 1 < parts);
        });
        int64_t firsts[kMaxScanParts];
        int64_t count = 0;
        for (int k = 0; k < parts; ++k) {
            firsts[k] = count;
            count += counts[k];
        }
        // With every line at most kMaxLineBytes long and each break at most
        // two units, the bytes would fit into fewer than count * (max + 2w):
        // more means a line too long, found without a second pass.
        const bool surelyTooLong = (fileSize_ - bomLength_) / count >= kMaxLineBytes + 2 * w;
        if (count > INT32_MAX - 8 || surelyTooLong) error = ERROR_FILE_TOO_LARGE;
        if (count <= INT32_MAX - 8 && !surelyTooLong) {
            lines = new LineVector(int(count) + 8);
            Line* out = lines->AppendSlots(int(count));
            bool changed[kMaxScanParts] = {}, tooLong[kMaxScanParts] = {};
            RunInParts(parts, [&](int k) {
                Line l;
                std::memset(static_cast<void*>(&l), 0, sizeof l);
                Line* slot = out + firsts[k];
                int64_t n = 0;
                const int64_t have = counts[k];
                linescan::ForEachLine(data, bounds[k + 1], bounds[k], w, cr, lf, [&](int64_t off, int64_t len) {
                    if (len > kMaxLineBytes) tooLong[k] = true;
                    l.offset = off;
                    l.length = int(std::min<int64_t>(len, kMaxLineBytes));
                    if (n < have) slot[n] = l;
                    ++n;
                });
                changed[k] = n - (k + 1 < parts) != have;
            });
            // A line too long for its length field, or a file that changed
            // under the scan: no lines rather than wrong ones.
            const bool refused = std::find(tooLong, tooLong + parts, true) != tooLong + parts;
            if (refused || std::find(changed, changed + parts, true) != changed + parts) {
                delete lines;
                lines = nullptr;
                error = refused ? ERROR_FILE_TOO_LARGE : ERROR_FILE_INVALID;
            }
        }
    } catch (...) {
        delete lines;
        lines = nullptr;
    }
    if (data) UnmapViewOfFile(data);
    if (mapping) CloseHandle(mapping);
    if (!lines) SetLastError(error);
    return lines;
}

int64_t LineFileSource::ReadRaw(int64_t offset, int64_t length, void* buffer) {
    if (stream_ == INVALID_HANDLE_VALUE) return -1;
    int64_t done = 0;
    while (done < length) {
        OVERLAPPED ov = {};
        ov.Offset = DWORD(uint64_t(offset + done));
        ov.OffsetHigh = DWORD(uint64_t(offset + done) >> 32);
        const DWORD chunk = DWORD(length - done > (1 << 30) ? (1 << 30) : length - done);
        DWORD got = 0;
        if (!ReadFile(stream_, static_cast<char*>(buffer) + done, chunk, &got, &ov)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool LineFileSource::ReadBytes(int64_t offset, int length, void* buffer) {
    if (length <= 0) return true;
    if (offset >= cacheStart_ && offset + length <= cacheEnd_) {
        std::memcpy(buffer, cache_ + (offset - cacheStart_), size_t(length));
        return true;
    }
    if (length > kCacheSize) return ReadRaw(offset, length, buffer) == length;
    const int64_t got = ReadRaw(offset, kCacheSize, cache_);
    if (got < 0) {
        cacheStart_ = cacheEnd_ = fileSize_;
        return false;
    }
    cacheStart_ = offset;
    cacheEnd_ = offset + got;
    if (got < length) return false;
    std::memcpy(buffer, cache_, size_t(length));
    return true;
}

bool LineFileSource::ReadFrom(const std::wstring& path, bool movedAside) {
    if (!Reopen(path)) return false;
    fileName_ = path;
    movedAside_ = movedAside;
    return true;
}
