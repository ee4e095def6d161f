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
    // The longest line a file may hold: a line's length is an int of bytes
    // (and the units it converts to are never more).
    static constexpr int64_t kMaxLineBytes = INT32_MAX;

    LineFileSource(int codePage, bool inPlace) : codePage_(codePage), inPlace_(inPlace) {}
    ~LineFileSource();
    LineFileSource(const LineFileSource&) = delete;
    LineFileSource& operator=(const LineFileSource&) = delete;

    // Opens the backing file for reading (or takes `handle`, already open on
    // it), learns its size and the length of a byte-order mark matching the
    // code page. A handle taken is closed with the source, also on failure.
    bool Open(const std::wstring& path, HANDLE handle = INVALID_HANDLE_VALUE);
    // Counts the lines behind the mark, then fills a line vector of exactly
    // that many records (plus 8 free slots) with their offsets and byte
    // lengths. Null when the file cannot be read or has too many lines or a
    // line longer than kMaxLineBytes (ERROR_FILE_TOO_LARGE). Large files are cut at line
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

    // Saving over the backing file: the stream is closed while the file is
    // replaced (a file that is open cannot be), then reads on from `path`,
    // where the old file now is. A file flagged as moved aside is deleted
    // with the source; one that is not stays. False when the file cannot be
    // opened; the source then reads on from where it did (closed, if it was).
    void Close();
    bool ReadFrom(const std::wstring& path, bool movedAside);
    // Makes room for a file name of `length` units, so that ReadFrom cannot
    // fail for want of memory halfway through a replacement.
    void ReserveName(size_t length) { fileName_.reserve(length); }

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
};

// The byte-order mark of a code page (UTF-8, UTF-16 and UTF-32 in either
// order); empty for every other code page.
const char* ByteOrderMark(int codePage, int* length);
