#include "LineFileSource.h"

#include <cstring>

#include "Encoding.h"

LineFileSource::~LineFileSource() {
    Close();
    if (!fileName_.empty() && (!inPlace_ || movedAside_)) DeleteFileW(fileName_.c_str());
}

void LineFileSource::Close() {
    if (stream_ != INVALID_HANDLE_VALUE) CloseHandle(stream_);
    stream_ = INVALID_HANDLE_VALUE;
    cacheStart_ = cacheEnd_ = 0;
}

bool LineFileSource::Open(const std::wstring& path) {
    Close();
    fileName_ = path;
    stream_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream_ == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(stream_, &size)) {
        Close();
        return false;
    }
    fileSize_ = size.QuadPart;
    cacheStart_ = cacheEnd_ = fileSize_;
    unsigned char head[4] = {};
    const int n = fileSize_ < 4 ? int(fileSize_) : 4;
    bomLength_ = 0;
    if (n >= 2 && ReadBytes(0, n, head)) {
        if (codePage_ == encoding::kUtf16LE && head[0] == 0xFF && head[1] == 0xFE) bomLength_ = 2;
        if (codePage_ == encoding::kUtf16BE && head[0] == 0xFE && head[1] == 0xFF) bomLength_ = 2;
        if (codePage_ == encoding::kUtf8 && n >= 3 && head[0] == 0xEF && head[1] == 0xBB &&
            head[2] == 0xBF)
            bomLength_ = 3;
    }
    RestartScan();
    return true;
}

void LineFileSource::RestartScan() {
    scanPos_ = bomLength_;
    scanEnd_ = false;
}

bool LineFileSource::ReadBytes(int64_t offset, int length, void* buffer) {
    if (length <= 0) return true;
    if (offset >= cacheStart_ && offset + length <= cacheEnd_) {
        std::memcpy(buffer, cache_ + (offset - cacheStart_), size_t(length));
        return true;
    }
    if (stream_ == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED ov = {};
    ov.Offset = DWORD(offset);
    ov.OffsetHigh = DWORD(uint64_t(offset) >> 32);
    DWORD got = 0;
    if (!ReadFile(stream_, buffer, DWORD(length), &got, &ov)) return false;
    return got == DWORD(length);
}

bool LineFileSource::ReadUnit(int64_t offset, uint32_t* unit) {
    const int w = encoding::UnitWidth(codePage_);
    if (offset < cacheStart_ || offset + w > cacheEnd_) {
        if (stream_ == INVALID_HANDLE_VALUE) return false;
        OVERLAPPED ov = {};
        ov.Offset = DWORD(offset);
        ov.OffsetHigh = DWORD(uint64_t(offset) >> 32);
        DWORD got = 0;
        if (!ReadFile(stream_, cache_, kCacheSize, &got, &ov)) got = 0;
        cacheStart_ = offset;
        cacheEnd_ = offset + got;
        if (offset + w > cacheEnd_) return false;
    }
    const unsigned char* p = cache_ + (offset - cacheStart_);
    uint32_t u = 0;
    std::memcpy(&u, p, size_t(w));  // little-endian load, as the units are compared
    *unit = u;
    return true;
}

bool LineFileSource::ScanLine(int64_t* offset, int* length) {
    if (scanEnd_) return false;
    const int w = encoding::UnitWidth(codePage_);
    uint32_t cr = 13, lf = 10;
    if (codePage_ == encoding::kUtf16BE) { cr = 0x0D00; lf = 0x0A00; }
    if (codePage_ == encoding::kUtf32BE) { cr = 0x0D000000; lf = 0x0A000000; }
    const int64_t start = scanPos_;
    int64_t p = start;
    uint32_t u = 0;
    for (;;) {
        if (p + w > fileSize_ || !ReadUnit(p, &u)) {
            *offset = start;
            *length = int(fileSize_ - start);
            scanPos_ = fileSize_;
            scanEnd_ = true;
            return true;
        }
        if (u == cr || u == lf) break;
        p += w;
    }
    *offset = start;
    *length = int(p - start);
    p += w;
    uint32_t next = 0;
    if (u == cr && p + w <= fileSize_ && ReadUnit(p, &next) && next == lf) p += w;
    scanPos_ = p;
    return true;
}
