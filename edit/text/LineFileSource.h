// The read-only backing file of a document's unloaded lines: either a private
// temporary copy of the user's file or, when loaded in place, the file itself.
// Lines are found by one scan of the file image and read back by byte offset.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Line.h"

class LineFileSource {
public:
    static constexpr int kCacheSize = 1024;
    static constexpr int64_t kParallelScanBytes = 32 << 20;
    static constexpr int kMaxScanParts = 16;

    LineFileSource(int codePage, bool inPlace) : codePage_(codePage), inPlace_(inPlace) {}
    ~LineFileSource();
    LineFileSource(const LineFileSource&) = delete;
    LineFileSource& operator=(const LineFileSource&) = delete;

    // Opens the backing file for reading, learns its size and the length of a
    // byte-order mark matching the code page.
    bool Open(const std::wstring& path);
    // Counts the lines behind the mark, then fills a line vector of exactly
    // that many records (plus 8 free slots) with their offsets and byte
    // lengths. Null when the file cannot be read. Large files are cut at line
    // breaks into `parts` pieces scanned on as many threads (0: one per
    // processor when the file is large, else one).
    LineVector* ScanLines(int parts = 0);

    // Copies `length` bytes at `offset` into `buffer`; false on a read error.
    // Short reads go through a small cache, so neighbouring lines share one
    // read.
    bool ReadBytes(int64_t offset, int length, void* buffer);
    // A direct read of up to `length` bytes; returns the bytes read, -1 on error.
    int64_t ReadRaw(int64_t offset, int64_t length, void* buffer);

    int CodePage() const { return codePage_; }
    void SetCodePage(int cp) { codePage_ = cp; }
    int64_t FileSize() const { return fileSize_; }
    int BomLength() const { return bomLength_; }
    const std::wstring& FileName() const { return fileName_; }
    bool InPlace() const { return inPlace_; }
    bool MovedAside() const { return movedAside_; }

    // Saving over the backing file: renames it to `aside` and reads from
    // there, or, when that fails, keeps (or reopens) the original.
    bool MoveAside(const std::wstring& aside);
    // Undoes MoveAside after a failed save: the file goes back under its own
    // name and is read from there again.
    bool MoveBack(const std::wstring& original);
    void Close();

private:
    bool Reopen(const std::wstring& path);

    int codePage_;
    int64_t fileSize_ = 0;
    HANDLE stream_ = INVALID_HANDLE_VALUE;
    unsigned char cache_[kCacheSize];
    int64_t cacheStart_ = 0;
    int64_t cacheEnd_ = 0;
    std::wstring fileName_;
    int bomLength_ = 0;
    bool movedAside_ = false;
    bool inPlace_;
    DWORD originalAttributes_ = FILE_ATTRIBUTE_NORMAL;  // of a file moved aside
};

// The byte-order mark of a code page (UTF-8, UTF-16 and UTF-32 in either
// order); empty for every other code page.
const char* ByteOrderMark(int codePage, int* length);
