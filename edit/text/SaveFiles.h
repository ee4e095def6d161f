// What saving and the recovery after an interrupted save share: a file
// handle owner, copying bytes between open files, and the layout of the
// safety copy that a save writing into an existing file makes first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FileIO.h"

// Owns a file handle.
class FileHandle {
public:
    explicit FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close() {
        const bool ok = !Valid() || CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }
    void Reset(HANDLE h) {
        Close();
        h_ = h;
    }
    HANDLE Release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE h_;
};

// The full path of `path`, at any length.
std::wstring FullPath(const wchar_t* path);

// Blocks in which files are copied.
constexpr DWORD kCopyBlock = 1 << 20;

// Copies `from` from `fromOffset` to its end over `to` from `toOffset`, in
// blocks of `buf` (at least kCopyBlock bytes); false on a failed read or
// write, or when `fails` (may be null) fails `step` before a block is written.
bool CopyContent(HANDLE from, int64_t fromOffset, HANDLE to, int64_t toOffset, std::vector<char>& buf,
                 bool (*fails)(SaveStep), SaveStep step);

// The safety copy ("MPS*.tmp" in the temporary folder): a header naming the
// file it keeps and whether it is complete, then the file's old bytes. A
// copy that is complete and that no process holds open is what is left of a
// save killed while it wrote into the file: its bytes go back.
struct SafetyHeader {
    static constexpr char kMagic[8] = {'M', 'P', 'S', 'A', 'F', 'E', '1', 0};
    static constexpr uint32_t kComplete = 1, kDone = 2;
    char magic[8];
    // 0 while the copy is made; kComplete once all of it is on the disk and
    // the file is being written into; kDone once the file is whole again
    // (saved, or its old bytes put back), when nothing is to be put back.
    uint32_t complete;
    uint32_t pathUnits;  // the kept file's full path, in UTF-16 units, behind the header
    int64_t dataOffset;  // where the old bytes start
    int64_t dataBytes;   // how many there are
};

// Where the old bytes of a safety copy for `path` start: behind the header
// and the path, at a whole block.
int64_t SafetyDataOffset(const std::wstring& path);
// Reads a safety copy's header and path; false when it is not one.
bool ReadSafetyHeader(HANDLE copy, SafetyHeader* header, std::wstring* path);
