// What streaming a document out (FileWrite.cpp) and the steps of a save
// (FileSave.cpp) share: the tests' fault hook, the buffered writer and
// WriteDocument. Not for use outside them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "FileIO.h"

namespace fileio_detail {

inline SaveFaultHook g_saveFault = nullptr;

inline bool Fails(SaveStep step) { return g_saveFault && g_saveFault(step); }

inline void Allocating() {
    if (Fails(SaveStep::Allocate)) throw std::bad_alloc();
}

// Buffered writes in 512 KiB blocks; remembers the first failure.
class Writer {
public:
    static constexpr size_t kSize = 524288;
    explicit Writer(HANDLE h) : h_(h) {
        Allocating();
        buf_.resize(kSize);
    }
    bool ok() const { return ok_; }

    void Write(const void* data, size_t n) {
        const char* p = static_cast<const char*>(data);
        if (n <= kSize - used_) {
            std::memcpy(buf_.data() + used_, p, n);
            used_ += n;
            return;
        }
        const size_t fill = kSize - used_;
        std::memcpy(buf_.data() + used_, p, fill);
        used_ = kSize;
        Flush();
        p += fill;
        n -= fill;
        if (n > kSize) {
            Raw(p, n);
        } else {
            std::memcpy(buf_.data(), p, n);
            used_ = n;
        }
    }
    void Flush() {
        Raw(buf_.data(), used_);
        used_ = 0;
    }

private:
    void Raw(const char* p, size_t n) {
        while (ok_ && n > 0) {
            const DWORD chunk = DWORD(std::min<size_t>(n, 1u << 30));
            DWORD written = 0;
            if (Fails(SaveStep::Write) || !WriteFile(h_, p, chunk, &written, nullptr) || written != chunk)
                ok_ = false;
            p += chunk;
            n -= chunk;
        }
    }

    HANDLE h_;
    std::vector<char> buf_;
    size_t used_ = 0;
    bool ok_ = true;
};

// Streams the document's lines in `fmt` into `w` (see FileWrite.cpp).
bool WriteDocument(TextDocument& doc, const SaveFormat& fmt, Writer& w);

}  // namespace fileio_detail
