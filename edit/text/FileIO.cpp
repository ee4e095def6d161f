#include "FileIO.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Encoding.h"
#include "Iso2022.h"
#include "LineFileSource.h"
#include "TextDocument.h"

namespace {

SaveFaultHook g_saveFault = nullptr;

bool Fails(SaveStep step) { return g_saveFault && g_saveFault(step); }

void Allocating() {
    if (Fails(SaveStep::Allocate)) throw std::bad_alloc();
}

std::wstring FullPath(const wchar_t* path) {
    wchar_t buf[MAX_PATH];
    DWORD n = GetFullPathNameW(path, MAX_PATH, buf, nullptr);
    if (n == 0) return path;
    if (n < MAX_PATH) return std::wstring(buf, n);
    std::wstring big(n, L'\0');
    n = GetFullPathNameW(path, n, big.data(), nullptr);
    big.resize(n);
    return big;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
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

// Reads a source file front to back in large blocks. Ranges are handed out
// as pointers into the block, valid until the next Load.
class SequentialReader {
public:
    explicit SequentialReader(LineFileSource* src) : src_(src) {
        if (src) Allocating();
        buf_.resize(src ? 4 << 20 : 0);
    }
    bool Contains(int64_t offset, int64_t length) const {
        return offset >= start_ && offset + length <= end_;
    }
    const char* At(int64_t offset) const { return buf_.data() + (offset - start_); }
    // Makes [offset, offset + length) available; false on a read error or a
    // file shorter than the lines say.
    bool Load(int64_t offset, int64_t length) {
        if (Contains(offset, length)) return true;
        if (size_t(length) > buf_.size()) {
            Allocating();
            buf_.resize(size_t(length));
        }
        const int64_t got = src_->ReadRaw(offset, int64_t(buf_.size()), buf_.data());
        start_ = offset;
        end_ = got < 0 ? offset : offset + got;
        return got >= length;
    }

private:
    LineFileSource* src_;
    std::vector<char> buf_;
    int64_t start_ = 0, end_ = 0;
};

// Makes room for `n` elements, growing geometrically.
template <typename V>
void Room(V& v, size_t n) {
    if (n <= v.capacity()) return;
    Allocating();
    v.reserve(std::max(n, 2 * v.capacity()));
}

// Encodes UTF-16 into `out` (reused); false when the target cannot take it.
bool Encode(int codePage, const wchar_t* text, int n, std::vector<char>& out) {
    if (n <= 0) {
        out.clear();
        return true;
    }
    const int need = encoding::FromUtf16(codePage, text, n, nullptr, 0);
    if (need <= 0) return false;
    Room(out, size_t(need));
    out.resize(size_t(need));
    return encoding::FromUtf16(codePage, text, n, out.data(), need) == need;
}

// Whether the code page writes with a state (ISO-2022: designations and
// shifts), which each conversion starts afresh and closes at its end.
bool Stateful(int codePage) {
    codepage::Iso2022 form;
    return codepage::Iso2022Of(codePage, &form) || codePage == 50229;
}

// Encodes `n` units of UTF-16 into `w` in pieces small enough for the
// conversion's int sizes; a piece never ends inside a surrogate pair. For a
// stateful code page a piece ends only after a line break (or with the text),
// so that a line is converted whole and keeps the shortest escape sequences.
bool EncodeTo(int codePage, const wchar_t* text, int64_t n, std::vector<char>& scratch, Writer& w) {
    constexpr int64_t kPiece = 1 << 20;
    const bool stateful = Stateful(codePage);
    while (n > 0) {
        int64_t k = std::min(n, kPiece);
        if (k < n && stateful) {
            int64_t cut = k;
            while (cut > 0 && text[cut - 1] != L'\n' && text[cut - 1] != L'\r') --cut;
            if (cut == 0) {  // a line longer than a piece: all of it
                cut = k;
                while (cut < n && text[cut - 1] != L'\n' && text[cut - 1] != L'\r') ++cut;
            }
            k = cut;
        } else if (k < n && IS_HIGH_SURROGATE(text[k - 1])) {
            --k;
        }
        if (k > INT32_MAX) {
            SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return false;
        }
        if (!Encode(codePage, text, int(k), scratch)) return false;
        w.Write(scratch.data(), scratch.size());
        text += k;
        n -= k;
    }
    return true;
}

// Streams the document's lines in `fmt` into `w`.
//
// In the source's own encoding, runs of unloaded lines whose line breaks in
// the file are already the ones to write are copied as one block. Otherwise
// unloaded lines made only of ASCII are copied when both encodings agree on
// ASCII; the rest are gathered with line breaks in the source encoding and
// converted in large batches. Loaded lines are encoded one by one.
bool WriteDocument(TextDocument& doc, const SaveFormat& fmt, Writer& w) {
    const int cp = fmt.codePage;
    const wchar_t* brk = TextDocument::BreakString(fmt.lineBreak);
    const int brkUnits = int(wcslen(brk));
    std::vector<char> targetBreak, sourceBreak, scratch;
    if (!Encode(cp, brk, brkUnits, targetBreak)) return false;
    if (fmt.writeBom) {
        int n = 0;
        const char* mark = ByteOrderMark(cp, &n);
        w.Write(mark, size_t(n));
    }
    LineFileSource* src = doc.source;
    const int srcCp = src ? src->CodePage() : cp;
    if (src && !Encode(srcCp, brk, brkUnits, sourceBreak)) return false;
    const bool copyBytes = src && srcCp == cp;
    const bool copyAscii = src && encoding::AsciiCompatible(srcCp) && encoding::AsciiCompatible(cp);
    const int64_t tb = int64_t(targetBreak.size());
    SequentialReader reader(src);

    int64_t spanStart = -1, spanEnd = 0;  // file bytes still to copy as they are
    auto flushSpan = [&]() {
        if (spanStart >= 0) w.Write(reader.At(spanStart), size_t(spanEnd - spanStart));
        spanStart = -1;
    };
    // Source bytes still to convert: up to a megabyte of lines, or one
    // longer line alone (at most INT32_MAX bytes, as loading ensures).
    constexpr size_t kBatchBytes = 1 << 20;
    std::vector<char> batch;
    std::vector<wchar_t> wide;
    auto flushBatch = [&]() {
        if (batch.empty()) return true;
        const int units = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), nullptr, 0);
        if (units < 0) return false;  // the conversion failed, with the reason
        Room(wide, size_t(units) + 1);
        wide.resize(size_t(units) + 1);
        const int got = encoding::ToUtf16(srcCp, batch.data(), int(batch.size()), wide.data(), units);
        if (got != units) return false;
        batch.clear();
        return EncodeTo(cp, wide.data(), got, scratch, w);
    };
    // Writes what is pending, then the line break before the next line.
    auto writeBreak = [&]() {
        flushSpan();
        if (batch.size() >= kBatchBytes && !flushBatch()) return false;
        if (batch.empty()) {
            w.Write(targetBreak.data(), targetBreak.size());
            return true;
        }
        Room(batch, batch.size() + sourceBreak.size());
        batch.insert(batch.end(), sourceBreak.begin(), sourceBreak.end());
        return true;
    };

    const int count = doc.LineCount();
    for (int i = 0; i < count && w.ok(); ++i) {
        const Line& line = doc.LineAt(i);
        if (line.Loaded() || !src) {
            if (i > 0 && !writeBreak()) return false;
            flushSpan();
            if (!flushBatch()) return false;
            if (line.Loaded() && !EncodeTo(cp, line.text, line.length, scratch, w)) return false;
            continue;
        }
        const int64_t off = line.offset, len = line.length;
        if (copyBytes) {
            // Extend the run when the file already holds the right break here.
            if (i > 0 && spanStart >= 0 && off == spanEnd + tb && reader.Contains(spanEnd, off + len - spanEnd) &&
                std::memcmp(reader.At(spanEnd), targetBreak.data(), size_t(tb)) == 0) {
                spanEnd = off + len;
                continue;
            }
            if (i > 0 && !writeBreak()) return false;
            flushSpan();
            if (!flushBatch() || !reader.Load(off, len)) return false;
            spanStart = off;
            spanEnd = off + len;
            continue;
        }
        if (i > 0 && !writeBreak()) return false;
        if (len == 0) continue;
        if (!reader.Load(off, len)) return false;
        const char* bytes = reader.At(off);
        if (copyAscii && encoding::IsAscii(bytes, size_t(len))) {
            if (!flushBatch()) return false;
            w.Write(bytes, size_t(len));
        } else {
            if (batch.size() + size_t(len) > kBatchBytes && !flushBatch()) return false;
            Room(batch, batch.size() + size_t(len));
            batch.insert(batch.end(), bytes, bytes + len);
        }
    }
    flushSpan();
    return flushBatch() && w.ok();
}

}  // namespace

void SetSaveFaultHookForTesting(SaveFaultHook hook) { g_saveFault = hook; }

std::wstring MakeTempFile(const wchar_t* prefix) {
    wchar_t dir[256], name[MAX_PATH];
    const DWORD n = GetTempPathW(256, dir);
    if (n == 0 || n >= 256) return {};
    if (!GetTempFileNameW(dir, prefix, 0, name)) return {};
    return name;
}

std::wstring MovedAsideName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    std::wstring name = path.substr(nameStart);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return path.substr(0, nameStart) + L"~#" + name + L"#.tmp";
}

bool LoadFile(TextDocument& doc, const wchar_t* path, int codePage, bool inPlace) {
    if (!path || !*path) return false;
    std::wstring name = path;
    const std::wstring full = FullPath(path);
    std::wstring backing = full;
    if (!inPlace) {
        backing = MakeTempFile(L"MP_");
        if (backing.empty()) return false;
        if (!CopyFileW(full.c_str(), backing.c_str(), FALSE)) {
            const DWORD err = GetLastError();
            DeleteFileW(backing.c_str());
            SetLastError(err);
            return false;
        }
    }
    // The new source is opened and scanned before the old one is let go.
    // Until the document has taken it, a failure frees it, which deletes a
    // private copy.
    std::unique_ptr<LineFileSource> src;
    try {
        src = std::make_unique<LineFileSource>(codePage, inPlace);
    } catch (...) {
        if (!inPlace) DeleteFileW(backing.c_str());
        throw;
    }
    if (!src->Open(backing) || !doc.AttachSource(src.get())) {
        const DWORD err = GetLastError();
        src.reset();
        if (!inPlace) DeleteFileW(backing.c_str());
        SetLastError(err);
        return false;
    }
    src.release();
    doc.fileName.swap(name);
    return true;
}

namespace {

// Owns a file handle.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
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

private:
    HANDLE h_;
};

// A file of a save beside the target, deleted with the guard unless it is
// kept because it now holds something that must stay.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { Delete(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create(const std::wstring& folder) {
        Allocating();
        std::wstring name(MAX_PATH, L'\0');  // allocated before the file exists
        if (Fails(SaveStep::Create)) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        if (Fails(SaveStep::DenyCreate)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        if (!GetTempFileNameW(folder.c_str(), L"~MP", 0, name.data())) return false;
        name.resize(wcslen(name.c_str()));
        name_.swap(name);
        return true;
    }
    const std::wstring& Name() const { return name_; }
    void Keep(bool keep = true) { keep_ = keep; }
    // Deletes the file now, unless it is kept.
    void Delete() {
        if (name_.empty() || keep_) return;
        const DWORD err = GetLastError();
        SetFileAttributesW(name_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name_.c_str());
        name_.clear();
        SetLastError(err);
    }

private:
    std::wstring name_;
    bool keep_ = false;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What makes a file the same file whatever name it is reached by, and how
// many names (hard links) it has. Unknown when it cannot be opened.
struct FileIdentity {
    bool known = false;
    DWORD volume = 0, indexHigh = 0, indexLow = 0, links = 0;

    bool SameFileAs(const FileIdentity& o) const {
        return known && o.known && volume == o.volume && indexHigh == o.indexHigh && indexLow == o.indexLow;
    }
};

// Follows a symbolic link to the file it leads to.
FileIdentity IdentityOf(const std::wstring& path) {
    FileIdentity id;
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        id.known = true;
        id.volume = info.dwVolumeSerialNumber;
        id.indexHigh = info.nFileIndexHigh;
        id.indexLow = info.nFileIndexLow;
        id.links = info.nNumberOfLinks;
    }
    CloseHandle(h);
    return id;
}

// Blocks in which a file is copied to its safety copy and back.
constexpr DWORD kCopyBlock = 1 << 20;

// Copies `from`, from its start, over `to` from its start; false on a failed
// read or write (or an injected failure of `step`).
bool CopyContent(HANDLE from, HANDLE to, std::vector<char>& buf, SaveStep step) {
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(from, zero, nullptr, FILE_BEGIN) || !SetFilePointerEx(to, zero, nullptr, FILE_BEGIN))
        return false;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from, buf.data(), kCopyBlock, &got, nullptr)) return false;
        if (got == 0) return true;
        if (Fails(step)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        if (!WriteFile(to, buf.data(), got, &put, nullptr)) return false;
        if (put != got) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
    }
}

// A copy of a file's old bytes in the temporary folder, made before the file
// is written into, from which they are put back if writing fails. Deleted
// with the guard, unless putting them back failed: then it is the only copy
// left and stays for the user.
class SafetyCopy {
public:
    SafetyCopy() = default;
    ~SafetyCopy() {
        const DWORD err = GetLastError();
        h_.Close();
        if (!name_.empty() && !keep_) DeleteFileW(name_.c_str());
        SetLastError(err);
    }
    SafetyCopy(const SafetyCopy&) = delete;
    SafetyCopy& operator=(const SafetyCopy&) = delete;

    // Copies all of `file` and flushes the copy to disk.
    bool Make(HANDLE file, std::vector<char>& buf) {
        Allocating();
        std::wstring name(MAX_PATH, L'\0');  // allocated before the file exists
        wchar_t dir[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, dir);
        if (n == 0 || n >= MAX_PATH) return false;
        if (Fails(SaveStep::SafetyCopy)) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        if (!GetTempFileNameW(dir, L"MPS", 0, name.data())) return false;
        name.resize(wcslen(name.c_str()));
        name_.swap(name);
        h_.Reset(CreateFileW(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (!h_.Valid() || !CopyContent(file, h_.Get(), buf, SaveStep::SafetyCopy)) return false;
        if (Fails(SaveStep::SafetyCopy)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        return FlushFileBuffers(h_.Get());
    }

    // Writes the old bytes back into `file` (which stays the same file),
    // cuts it there and gives it back its time of last write. Allocates
    // nothing and throws nothing; keeps the copy when it fails.
    void PutBack(HANDLE file, std::vector<char>& buf, const FILETIME* lastWrite) noexcept {
        bool ok = !Fails(SaveStep::Restore) && CopyContent(h_.Get(), file, buf, SaveStep::Restore) &&
                  SetEndOfFile(file);
        if (ok && lastWrite) SetFileTime(file, nullptr, nullptr, lastWrite);
        ok = ok && FlushFileBuffers(file);
        if (!ok) keep_ = true;
    }

private:
    FileHandle h_{INVALID_HANDLE_VALUE};
    std::wstring name_;
    bool keep_ = false;
};

// Writes the document over the content of `file` from its start and cuts the
// file at the end of it, flushed to disk.
bool WriteOver(TextDocument& doc, const SaveFormat& fmt, HANDLE file) {
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
    {
        Writer w(file);
        if (!WriteDocument(doc, fmt, w)) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        w.Flush();
        if (!w.ok()) return false;
    }
    if (Fails(SaveStep::Truncate)) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    if (!SetEndOfFile(file)) return false;
    if (Fails(SaveStep::Flush)) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return FlushFileBuffers(file);
}

// Saves by writing into the existing file `full` itself, so that it stays the
// same file: its other names (hard links) and the symbolic links leading to
// it see the new text, and its security and streams stay. Its old bytes go
// first to a safety copy in the temporary folder; when that cannot be made
// nothing is written. Any failure after that, an exception included, writes
// the old bytes back into the file. Never for a file the document reads its
// lines from: that would destroy the lines still to be read.
bool WriteInto(TextDocument& doc, const std::wstring& full, const SaveFormat& fmt) {
    Allocating();
    std::vector<char> buf(kCopyBlock);  // allocated now: putting the old bytes back must not need memory
    // Others may read the file meanwhile, but not write it.
    FileHandle h(INVALID_HANDLE_VALUE);
    if (Fails(SaveStep::Open))
        SetLastError(ERROR_SHARING_VIOLATION);
    else
        h.Reset(CreateFileW(full.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return false;
    FILETIME lastWrite;
    const bool timeKnown = GetFileTime(h.Get(), nullptr, nullptr, &lastWrite);
    SafetyCopy safety;
    if (!safety.Make(h.Get(), buf)) return false;
    bool ok = false;
    try {
        ok = WriteOver(doc, fmt, h.Get());
    } catch (...) {
        safety.PutBack(h.Get(), buf, timeKnown ? &lastWrite : nullptr);
        throw;
    }
    if (ok) return true;
    const DWORD err = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    safety.PutBack(h.Get(), buf, timeKnown ? &lastWrite : nullptr);
    SetLastError(err);
    return false;
}

// Errors by which ReplaceFileW says that it cannot work here at all (a file
// system without it), rather than that this replacement failed.
bool ReplaceUnsupported(DWORD err) {
    return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION || err == ERROR_INVALID_PARAMETER ||
           err == ERROR_CALL_NOT_IMPLEMENTED;
}

// Puts `fresh` in the place of the existing file `target`, which becomes
// `backup`. ReplaceFileW keeps what belongs to the file rather than to its
// content (security, streams, creation time, attributes); where it cannot be
// used, two renames do the same without those. On failure both files are
// back where they were, unless the old file could not be moved back from
// `backup` (then the target is missing and `backup` holds it).
//
// A backup is always named: without one, ReplaceFileW can fail after it has
// deleted the target.
bool Replace(const std::wstring& target, const std::wstring& fresh, const std::wstring& backup) {
    if (Fails(SaveStep::Replace)) {
        SetLastError(ERROR_UNABLE_TO_REMOVE_REPLACED);
        return false;
    }
    if (Fails(SaveStep::NoReplaceFile)) {
        SetLastError(ERROR_NOT_SUPPORTED);
    } else if (ReplaceFileW(target.c_str(), fresh.c_str(), backup.c_str(),
                            REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                            nullptr)) {
        return true;
    }
    DWORD err = GetLastError();
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {  // the old file is already the backup
        MoveFileExW(backup.c_str(), target.c_str(), 0);
    } else if (ReplaceUnsupported(err)) {
        if (Fails(SaveStep::Replace)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        if (!MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        if (!Fails(SaveStep::Replace) && MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
            return true;
        err = GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
        MoveFileExW(backup.c_str(), target.c_str(), 0);
    }
    SetLastError(err);
    return false;
}

// Hidden and system files are replaced with those attributes cleared; they
// are given back whatever the outcome.
class AttributeGuard {
public:
    AttributeGuard(const std::wstring& path, DWORD attrs) : path_(path), attrs_(attrs) {
        if (attrs_ & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            SetFileAttributesW(path_.c_str(), attrs_ & ~(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }
    ~AttributeGuard() {
        const DWORD err = GetLastError();
        SetFileAttributesW(path_.c_str(), attrs_);
        SetLastError(err);
    }
    AttributeGuard(const AttributeGuard&) = delete;
    AttributeGuard& operator=(const AttributeGuard&) = delete;

private:
    const std::wstring& path_;
    DWORD attrs_;
};

// Replaces the file that `src` reads in place by `fresh`. The old file
// becomes the moved-aside file, from which the source reads on; if it cannot
// be read there, the replacement is undone.
bool ReplaceSource(LineFileSource& src, const std::wstring& full, TempFile& fresh, DWORD oldAttrs) {
    Allocating();
    const std::wstring aside = MovedAsideName(full);
    SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(aside.c_str());
    src.ReserveName(std::max(full.size(), aside.size()));
    src.Close();  // an open file cannot be renamed
    {
        AttributeGuard attrs(full, oldAttrs);
        if (!Replace(full, fresh.Name(), aside)) {
            const DWORD err = GetLastError();
            // Read the old file wherever it is; a copy that could not be put
            // back is kept (not flagged as moved aside).
            if (!src.ReadFrom(full, false) && !Exists(full)) src.ReadFrom(aside, false);
            SetLastError(err);
            return false;
        }
        fresh.Keep();
        if (!Fails(SaveStep::Reopen) && src.ReadFrom(aside, true)) {
            SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
            return true;
        }
    }
    const DWORD err = GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
    // Undo: the new file goes back to its temporary name (deleted with the
    // guard), the old one back under its own name.
    if (MoveFileExW(full.c_str(), fresh.Name().c_str(), 0)) {
        fresh.Keep(false);
        if (MoveFileExW(aside.c_str(), full.c_str(), 0)) SetFileAttributesW(full.c_str(), oldAttrs);
        if (!src.ReadFrom(full, false) && !Exists(full)) {
            fresh.Keep();  // the folder changed under us: keep everything
            src.ReadFrom(aside, false);
        }
    } else if (!src.ReadFrom(aside, true)) {
        src.ReadFrom(aside, false);  // the save stands; the old file stays for whoever needs it
    } else {
        SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
        return true;
    }
    SetLastError(err);
    return false;
}

// Writes the document into a new file beside `full` and puts it in the
// target's place. Every failure, an exception included, leaves the target,
// the folder and the document's source as they were.
//
// An existing file is written into instead (WriteInto) where a new file in
// its place would break what it is: when it has more than one name (hard
// links) or is a symbolic link or other reparse point, and when no new file
// may be made in its folder. Not when the document reads its unloaded lines
// from that very file: there it is replaced as before, which leaves its other
// names on the old file and turns a symbolic link into a plain file.
bool WriteAndReplace(TextDocument& doc, const std::wstring& full, const SaveFormat& fmt) {
    const DWORD oldAttrs = GetFileAttributesW(full.c_str());
    const bool existed = oldAttrs != INVALID_FILE_ATTRIBUTES;
    if (existed && (oldAttrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    Allocating();
    LineFileSource* src = doc.source;
    bool readsTarget = false;  // whether the document reads its lines from the target, by any name
    if (existed) {
        const FileIdentity target = IdentityOf(full);
        readsTarget = src && src->InPlace() && !src->MovedAside() &&
                      (SamePath(full, src->FileName()) || target.SameFileAs(IdentityOf(src->FileName())));
        if (!readsTarget && (target.links > 1 || (oldAttrs & FILE_ATTRIBUTE_REPARSE_POINT)))
            return WriteInto(doc, full, fmt);
    }
    // A folder where the user may write the file but not create files in.
    auto writeIntoInstead = [&] { return existed && !readsTarget && GetLastError() == ERROR_ACCESS_DENIED; };
    const std::wstring folder = FolderOf(full);
    TempFile fresh;
    if (!fresh.Create(folder)) return writeIntoInstead() && WriteInto(doc, full, fmt);
    {
        FileHandle h(INVALID_HANDLE_VALUE);
        if (Fails(SaveStep::Create))
            SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        else if (Fails(SaveStep::DenyCreate))
            SetLastError(ERROR_ACCESS_DENIED);
        else
            h.Reset(CreateFileW(fresh.Name().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.Valid()) {
            if (!writeIntoInstead()) return false;
            fresh.Delete();
            return WriteInto(doc, full, fmt);
        }
        Writer w(h.Get());
        if (!WriteDocument(doc, fmt, w)) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        w.Flush();
        if (!w.ok()) return false;
        if (Fails(SaveStep::Flush)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        if (!FlushFileBuffers(h.Get()) || !h.Close()) return false;
    }
    if (!existed) {
        if (Fails(SaveStep::Replace)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        if (!MoveFileExW(fresh.Name().c_str(), full.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
        fresh.Keep();
        return true;
    }
    if (src && src->InPlace() && !src->MovedAside() && SamePath(full, src->FileName()))
        return ReplaceSource(*src, full, fresh, oldAttrs);
    // A free name for the replaced file, which is deleted once replaced. The
    // placeholder goes first, so that no backup file has to be replaced.
    TempFile old;
    if (!old.Create(folder)) return false;
    DeleteFileW(old.Name().c_str());
    AttributeGuard attrs(full, oldAttrs);
    if (!Replace(full, fresh.Name(), old.Name())) {
        if (!Exists(full)) old.Keep();  // it could not be put back: keep the only copy
        return false;
    }
    fresh.Keep();
    return true;
}

}  // namespace

bool SaveFile(TextDocument& doc, const wchar_t* path, const SaveFormat* format, bool update) {
    const SaveFormat fmt = format ? *format : SaveFormat{doc.currentCodePage, doc.lineBreak, doc.hasBom};
    if (update && format) {
        doc.currentCodePage = format->codePage;
        doc.lineBreak = format->lineBreak;
        doc.hasBom = format->writeBom ? 1 : 0;
    }
    if (!path || !*path) return false;
    try {
        Allocating();
        std::wstring name = path;  // taken before the file is replaced, when it can still fail
        if (!WriteAndReplace(doc, FullPath(path), fmt)) return false;
        if (update) {
            doc.savePoint = doc.undo.Count();
            doc.fileName.swap(name);
        }
        return true;
    } catch (...) {
        // Out of memory (or any other failure) while saving: the guards have
        // put the files back.
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}
