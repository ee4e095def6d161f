// The read-only backing file of a document's unloaded lines: either a private
// temporary copy of the user's file or, when loaded in place, the file itself.
// Lines are found by a scan for CR and LF units and read back by byte offset.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class LineFileSource {
public:
    static constexpr int kCacheSize = 1024;

    LineFileSource(int codePage, bool inPlace) : codePage_(codePage), inPlace_(inPlace) {}
    ~LineFileSource();
    LineFileSource(const LineFileSource&) = delete;
    LineFileSource& operator=(const LineFileSource&) = delete;

    // Opens the backing file for reading, learns its size and the length of a
    // byte-order mark matching the code page; scanning starts behind it.
    bool Open(const std::wstring& path);

    // One line per call: its byte offset and byte length (terminator not
    // counted). Returns false once the end has been reported.
    bool ScanLine(int64_t* offset, int* length);
    void RestartScan();

    // Copies `length` bytes at `offset` into `buffer`; false on a read error.
    bool ReadBytes(int64_t offset, int length, void* buffer);
    // One unit of the code page's width at `offset`, through the cache.
    bool ReadUnit(int64_t offset, uint32_t* unit);

    int CodePage() const { return codePage_; }
    void SetCodePage(int cp) { codePage_ = cp; }
    int64_t FileSize() const { return fileSize_; }
    int BomLength() const { return bomLength_; }
    const std::wstring& FileName() const { return fileName_; }
    bool InPlace() const { return inPlace_; }
    bool MovedAside() const { return movedAside_; }
    void SetMovedAside(const std::wstring& name) { fileName_ = name; movedAside_ = true; }
    void Close();

private:
    int codePage_;
    int64_t scanPos_ = 0;
    bool scanEnd_ = false;
    int64_t fileSize_ = 0;
    HANDLE stream_ = INVALID_HANDLE_VALUE;
    unsigned char cache_[kCacheSize];
    int64_t cacheStart_ = 0;
    int64_t cacheEnd_ = 0;
    std::wstring fileName_;
    int bomLength_ = 0;
    bool movedAside_ = false;
    bool inPlace_;
};
