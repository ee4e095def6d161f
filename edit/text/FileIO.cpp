#include "FileIO.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "Encoding.h"
#include "Iso2022.h"
#include "LineFileSource.h"
#include "SaveFiles.h"
#include "TextDocument.h"
#include "ThreadScratch.h"

namespace {

SaveFaultHook g_saveFault = nullptr;

bool Fails(SaveStep step) { return g_saveFault && g_saveFault(step); }

void Allocating() {
    if (Fails(SaveStep::Allocate)) throw std::bad_alloc();
}

}  // namespace

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

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
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

// Whether the code page holds every character (a form of Unicode).
bool HoldsEverything(int codePage) {
    return codePage == encoding::kUtf8 || codePage == encoding::kUtf16LE || codePage == encoding::kUtf16BE ||
           codePage == encoding::kUtf32LE || codePage == encoding::kUtf32BE || codePage == 65000;
}

// What a save does with characters the target code page lacks.
enum class Loss { Refused, Accepted };

// What reading a conversion back takes, kept by each thread from line to line.
struct CheckScratch {
    std::vector<char> bytes;
    std::vector<wchar_t> back;
};
codepage::ThreadScratch<CheckScratch> g_checkScratch;

// Encodes UTF-16 into `out` (reused); false when the target cannot take it.
// Unless the loss is accepted, also when the bytes would not read back as
// the text: a code page that lacks a character writes a default character
// or a look-alike in its place (ERROR_NO_UNICODE_TRANSLATION).
bool Encode(int codePage, const wchar_t* text, int n, std::vector<char>& out, Loss loss = Loss::Refused) {
    if (n <= 0) {
        out.clear();
        return true;
    }
    const int need = encoding::FromUtf16(codePage, text, n, nullptr, 0);
    if (need <= 0) return false;
    Room(out, size_t(need));
    out.resize(size_t(need));
    if (encoding::FromUtf16(codePage, text, n, out.data(), need) != need) return false;
    if (loss == Loss::Accepted || HoldsEverything(codePage)) return true;
    // ISO-2022-JP (50220) writes half-width katakana as their full-width
    // forms by design; its variant 50221 holds the same characters and keeps
    // them, so it tells what 50220 lacks.
    const int checkCp = codePage == 50220 ? 50221 : codePage;
    CheckScratch local;
    CheckScratch* scratch = g_checkScratch.Get();
    if (!scratch) scratch = &local;
    std::vector<char>& bytes = scratch->bytes;
    const std::vector<char>* written = &out;
    if (checkCp != codePage) {
        const int k = encoding::FromUtf16(checkCp, text, n, nullptr, 0);
        if (k <= 0) return false;
        Room(bytes, size_t(k));
        bytes.resize(size_t(k));
        if (encoding::FromUtf16(checkCp, text, n, bytes.data(), k) != k) return false;
        written = &bytes;
    }
    std::vector<wchar_t>& back = scratch->back;
    const int w = int(written->size());
    const int units = encoding::ToUtf16(checkCp, written->data(), w, nullptr, 0);
    if (units < 0) return false;  // the conversion failed, with its reason
    bool same = units == n;
    if (same) {
        Room(back, size_t(units));
        back.resize(size_t(units));
        const int got = encoding::ToUtf16(checkCp, written->data(), w, back.data(), units);
        if (got < 0) return false;
        same = got == units && std::equal(back.begin(), back.end(), text);
    }
    if (!same) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return same;
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
bool EncodeTo(int codePage, const wchar_t* text, int64_t n, std::vector<char>& scratch, Writer& w, Loss loss) {
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
        if (!Encode(codePage, text, int(k), scratch, loss)) return false;
        w.Write(scratch.data(), scratch.size());
        text += k;
        n -= k;
    }
    return true;
}

// A line of the backing file that could not be read back: said as such,
// never taken for a character the code page lacks.
bool ReadFailed() {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_READ_FAULT);
    return false;
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
    const Loss loss = fmt.writeBom & SAVE_ACCEPT_LOSS ? Loss::Accepted : Loss::Refused;
    if (fmt.writeBom & SAVE_WRITE_BOM) {
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
        return EncodeTo(cp, wide.data(), got, scratch, w, loss);
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
            if (line.Loaded() && !EncodeTo(cp, line.text, line.length, scratch, w, loss)) return false;
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
            if (!flushBatch()) return false;
            if (!reader.Load(off, len)) return ReadFailed();
            spanStart = off;
            spanEnd = off + len;
            continue;
        }
        if (i > 0 && !writeBreak()) return false;
        if (len == 0) continue;
        if (!reader.Load(off, len)) return ReadFailed();
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

std::wstring SystemPath(const std::wstring& full) {
    // Room for the longest name a save makes beside the file.
    if (full.size() + 24 < MAX_PATH || full.rfind(L"\\\\?\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

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

namespace {

constexpr wchar_t kHex[] = L"0123456789ABCDEF";
constexpr size_t kLongestName = 255;  // units in one name of a path

}  // namespace

std::wstring SaveTemporaryName(const std::wstring& folder, const std::wstring& name, unsigned unique) {
    std::wstring out = folder;
    if (!out.empty() && out.back() != L'\\' && out.back() != L'/') out += L'\\';
    out += L"~MP";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unique >> shift) & 15];
    if (name.size() + 12 <= kLongestName) {
        out += L'#';
        out += name;
    }
    out += L".tmp";
    return out;
}

bool IsSaveTemporaryOf(const std::wstring& candidate, const std::wstring& name) {
    if (candidate.size() != name.size() + 12 || candidate.compare(0, 3, L"~MP") != 0 || candidate[7] != L'#')
        return false;
    for (int i = 3; i < 7; ++i)
        if (!wcschr(kHex, candidate[size_t(i)])) return false;
    const std::wstring middle = candidate.substr(8, name.size());
    return CompareStringOrdinal(middle.c_str(), int(middle.size()), name.c_str(), int(name.size()), TRUE) ==
               CSTR_EQUAL &&
           _wcsicmp(candidate.c_str() + 8 + name.size(), L".tmp") == 0;
}

bool InUse(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

SaveLock::SaveLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\Morrowpad.FileSave")) {
    if (!mutex_) return;
    const DWORD r = WaitForSingleObject(mutex_, 10000);
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

SaveLock::~SaveLock() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
}

bool CopyContent(HANDLE from, int64_t fromOffset, HANDLE to, int64_t toOffset, std::vector<char>& buf,
                 bool (*fails)(SaveStep), SaveStep step) {
    LARGE_INTEGER a, b;
    a.QuadPart = fromOffset;
    b.QuadPart = toOffset;
    if (!SetFilePointerEx(from, a, nullptr, FILE_BEGIN) || !SetFilePointerEx(to, b, nullptr, FILE_BEGIN))
        return false;
    const DWORD block = DWORD(std::min<size_t>(buf.size(), 1u << 30));
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(from, buf.data(), block, &got, nullptr)) return false;
        if (got == 0) return true;
        if (fails && fails(step)) {
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

namespace {

// A private copy of `full` in the temporary folder, opened so that the
// system deletes it when its handle closes, also when the process is killed.
// The handle is returned (owned by the caller), with the name in `name`.
HANDLE MakePrivateCopy(const std::wstring& full, std::wstring* name) {
    std::wstring copy = MakeTempFile(L"MP_");
    if (copy.empty()) return INVALID_HANDLE_VALUE;
    FileHandle to(CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!to.Valid()) {
        const DWORD err = GetLastError();
        DeleteFileW(copy.c_str());
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    FileHandle from(CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from.Valid()) return INVALID_HANDLE_VALUE;  // `to` goes with its handle
    std::vector<char> buf(4 * kCopyBlock);
    if (!CopyContent(from.Get(), 0, to.Get(), 0, buf, nullptr, SaveStep::Write)) return INVALID_HANDLE_VALUE;
    name->swap(copy);
    return to.Release();
}

}  // namespace

bool LoadFile(TextDocument& doc, const wchar_t* path, int codePage, bool inPlace) {
    if (!path || !*path) return false;
    std::wstring name = path;
    const std::wstring full = SystemPath(FullPath(path));
    std::wstring backing = full;
    FileHandle copy;
    if (!inPlace) {
        copy.Reset(MakePrivateCopy(full, &backing));
        if (!copy.Valid()) return false;
    }
    // The new source is opened and scanned before the old one is let go.
    // Until the document has taken it, a failure frees it, which deletes a
    // private copy.
    auto src = std::make_unique<LineFileSource>(codePage, inPlace);
    if (!src->Open(backing, copy.Release()) || !doc.AttachSource(src.get())) {
        const DWORD err = GetLastError();
        src.reset();
        SetLastError(err);
        return false;
    }
    src.release();
    doc.fileName.swap(name);
    return true;
}

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The temporary of a save beside its target, named after it (see
// SaveTemporaryName). It is open from its creation until it has taken the
// target's name, so that no other instance takes it for a leftover, and it
// is deleted with the guard unless it took that name.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { Delete(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Create(const std::wstring& target) {
        Allocating();
        const size_t slash = target.find_last_of(L"\\/");
        const std::wstring folder = slash == std::wstring::npos ? L"." : target.substr(0, slash);
        const std::wstring name = target.substr(slash == std::wstring::npos ? 0 : slash + 1);
        static unsigned counter = GetTickCount() ^ (GetCurrentProcessId() << 7);
        for (int attempt = 0; attempt < 256; ++attempt) {
            if (Fails(SaveStep::Create)) {
                SetLastError(ERROR_DISK_FULL);
                return false;
            }
            if (Fails(SaveStep::DenyCreate)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return false;
            }
            std::wstring path = SaveTemporaryName(folder, name, (counter++ * 40503u) & 0xFFFF);
            if (Fails(SaveStep::DenyCreate)) {
                SetLastError(ERROR_ACCESS_DENIED);
                return false;
            }
            // Renamed while open, so others may delete (rename) it.
            HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                h_.Reset(h);
                name_.swap(path);
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return false;
        }
        return false;
    }
    const std::wstring& Name() const { return name_; }
    HANDLE Handle() const { return h_.Get(); }
    // The file now has another name and is no longer the guard's.
    void Renamed() {
        h_.Close();
        name_.clear();
    }
    // Closes and deletes the file now.
    void Delete() {
        if (name_.empty()) return;
        const DWORD err = GetLastError();
        h_.Close();
        SetFileAttributesW(name_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name_.c_str());
        name_.clear();
        SetLastError(err);
    }

private:
    FileHandle h_;
    std::wstring name_;
};

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
    FileHandle h(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
    if (!h.Valid()) return id;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h.Get(), &info)) {
        id.known = true;
        id.volume = info.dwVolumeSerialNumber;
        id.indexHigh = info.nFileIndexHigh;
        id.indexLow = info.nFileIndexLow;
        id.links = info.nNumberOfLinks;
    }
    return id;
}

}  // namespace

int64_t SafetyDataOffset(const std::wstring& path) {
    const int64_t used = int64_t(sizeof(SafetyHeader) + path.size() * sizeof(wchar_t));
    return (used + 4095) / 4096 * 4096;
}

bool ReadSafetyHeader(HANDLE copy, SafetyHeader* header, std::wstring* path) {
    LARGE_INTEGER zero = {};
    DWORD got = 0;
    if (!SetFilePointerEx(copy, zero, nullptr, FILE_BEGIN) || !ReadFile(copy, header, sizeof *header, &got, nullptr) ||
        got != sizeof *header || std::memcmp(header->magic, SafetyHeader::kMagic, sizeof header->magic) != 0 ||
        header->pathUnits == 0 || header->pathUnits > 32767)
        return false;
    std::wstring p(header->pathUnits, L'\0');
    const DWORD bytes = DWORD(p.size() * sizeof(wchar_t));
    if (!ReadFile(copy, p.data(), bytes, &got, nullptr) || got != bytes) return false;
    if (header->dataOffset != SafetyDataOffset(p) || header->dataBytes < 0) return false;
    path->swap(p);
    return true;
}

namespace {

bool CopyWithFaults(HANDLE from, int64_t fromOffset, HANDLE to, int64_t toOffset, std::vector<char>& buf,
                    SaveStep step) {
    return CopyContent(from, fromOffset, to, toOffset, buf, g_saveFault, step);
}

// A copy of a file's old bytes in the temporary folder, made before the file
// is written into, from which they are put back if writing fails. It names
// the file, so that when the process is killed while it writes, the next
// start puts the old bytes back (RecoverTemporaryFolder). Deleted with the
// guard, unless putting them back failed: then it is the only copy left and
// stays for the user.
class SafetyCopy {
public:
    SafetyCopy() = default;
    ~SafetyCopy() {
        const DWORD err = GetLastError();
        if (!keep_ && h_.Valid()) MarkDone();  // no start may take it for bytes to put back
        h_.Close();
        if (!name_.empty() && !keep_) DeleteFileW(name_.c_str());
        if (!name_.empty() && keep_) KeptCopies().push_back({std::move(path_), std::move(name_)});  // room reserved
        SetLastError(err);
    }
    SafetyCopy(const SafetyCopy&) = delete;
    SafetyCopy& operator=(const SafetyCopy&) = delete;

    // Copies all of `file` (whose full path is `path`) and flushes the copy
    // to disk; then marks it complete, flushed again.
    bool Make(HANDLE file, const std::wstring& path, std::vector<char>& buf) {
        Allocating();
        std::wstring name(MAX_PATH, L'\0');  // allocated before the file exists
        std::vector<char> head(size_t(SafetyDataOffset(path)), 0);
        path_ = path;
        KeptCopies().reserve(KeptCopies().size() + 1);
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
        LARGE_INTEGER size;
        if (!h_.Valid() || !GetFileSizeEx(file, &size)) return false;
        SafetyHeader header = {};
        std::memcpy(header.magic, SafetyHeader::kMagic, sizeof header.magic);
        header.pathUnits = uint32_t(path.size());
        header.dataOffset = int64_t(head.size());
        header.dataBytes = size.QuadPart;
        std::memcpy(head.data(), &header, sizeof header);
        std::memcpy(head.data() + sizeof header, path.data(), path.size() * sizeof(wchar_t));
        DWORD put = 0;
        if (!WriteFile(h_.Get(), head.data(), DWORD(head.size()), &put, nullptr) || put != head.size()) return false;
        if (!CopyWithFaults(file, 0, h_.Get(), header.dataOffset, buf, SaveStep::SafetyCopy)) return false;
        if (Fails(SaveStep::SafetyCopy)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        if (!FlushFileBuffers(h_.Get())) return false;
        // Complete: from now on a kill leaves bytes to put back.
        dataOffset_ = header.dataOffset;
        return SetState(SafetyHeader::kComplete);
    }

    // Writes the old bytes back into `file` (which stays the same file),
    // cuts it there and gives it back its time of last write. Allocates
    // nothing and throws nothing; keeps the copy when it fails.
    void PutBack(HANDLE file, std::vector<char>& buf, const FILETIME* lastWrite) noexcept {
        bool ok = !Fails(SaveStep::Restore) && CopyWithFaults(h_.Get(), dataOffset_, file, 0, buf, SaveStep::Restore) &&
                  SetEndOfFile(file);
        if (ok && lastWrite) SetFileTime(file, nullptr, nullptr, lastWrite);
        ok = ok && FlushFileBuffers(file);
        if (!ok) keep_ = true;
    }

    // Copies kept in this run because their bytes could not be put back:
    // once a later save of the same file succeeds, they are done with.
    struct Kept {
        std::wstring path, copy;
    };
    static std::vector<Kept>& KeptCopies() {
        static std::vector<Kept> kept;
        return kept;
    }
    static void SavedAgain(const std::wstring& path) {
        auto& kept = KeptCopies();
        for (size_t i = kept.size(); i-- > 0;) {
            if (!SamePath(kept[i].path, path)) continue;
            FileHandle h(CreateFileW(kept[i].copy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     0, nullptr));
            if (h.Valid() && WriteState(h.Get(), SafetyHeader::kDone)) {
                h.Close();
                DeleteFileW(kept[i].copy.c_str());
            }
            kept.erase(kept.begin() + std::ptrdiff_t(i));
        }
    }

private:
    static bool WriteState(HANDLE h, uint32_t state) {
        LARGE_INTEGER at;
        at.QuadPart = offsetof(SafetyHeader, complete);
        DWORD put = 0;
        return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && WriteFile(h, &state, 4, &put, nullptr) && put == 4 &&
               FlushFileBuffers(h);
    }
    bool SetState(uint32_t state) { return WriteState(h_.Get(), state); }
    void MarkDone() noexcept { SetState(SafetyHeader::kDone); }

    FileHandle h_;
    std::wstring name_, path_;
    int64_t dataOffset_ = 0;
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
    FileHandle h;
    if (Fails(SaveStep::Open))
        SetLastError(ERROR_SHARING_VIOLATION);
    else
        h.Reset(CreateFileW(full.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return false;
    FILETIME lastWrite;
    const bool timeKnown = GetFileTime(h.Get(), nullptr, nullptr, &lastWrite);
    SafetyCopy safety;
    if (!safety.Make(h.Get(), full, buf)) return false;
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

// Attributes that belong to the file and go over to the file that replaces it.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Whether a file's access list is its own (protected, or with entries not
// inherited from its folder) rather than what every new file there gets.
bool OwnAccessList(PSECURITY_DESCRIPTOR sd) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(sd, &control, &revision)) return false;
    if (control & SE_DACL_PROTECTED) return true;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) || !present) return false;
    if (!acl) return true;  // a null list: everyone may do everything, given on purpose
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(acl, i, &ace) && !(static_cast<ACE_HEADER*>(ace)->AceFlags & INHERITED_ACE)) return true;
    }
    return false;
}

// Gives the new file `fresh` what belongs to the file `full` rather than to
// its content, as a replacement in place keeps it: its attributes and
// creation time, an access list of its own, and its named streams. Each is
// kept where the file system has it; what cannot be copied stays as the new
// file has it.
void KeepWhatBelongsToTheFile(const std::wstring& full, TempFile& fresh, DWORD attrs) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    FILE_BASIC_INFO basic = {};
    if (GetFileAttributesExW(full.c_str(), GetFileExInfoStandard, &info)) {
        basic.CreationTime.LowPart = info.ftCreationTime.dwLowDateTime;
        basic.CreationTime.HighPart = LONG(info.ftCreationTime.dwHighDateTime);
    }
    basic.FileAttributes = (attrs & kKeptAttributes) ? (attrs & kKeptAttributes) : FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(fresh.Handle(), FileBasicInfo, &basic, sizeof basic);

    DWORD need = 0;
    GetFileSecurityW(full.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &need);
    if (need > 0 && need < (1u << 20)) {
        std::vector<char> sd(need);
        if (GetFileSecurityW(full.c_str(), DACL_SECURITY_INFORMATION, sd.data(), need, &need) &&
            OwnAccessList(sd.data()))
            SetFileSecurityW(fresh.Name().c_str(), DACL_SECURITY_INFORMATION, sd.data());
    }

    WIN32_FIND_STREAM_DATA stream;
    HANDLE first = FindFirstStreamW(full.c_str(), FindStreamInfoStandard, &stream, 0);
    if (first == INVALID_HANDLE_VALUE) return;
    struct FindCloser {
        void operator()(HANDLE h) const { FindClose(h); }
    };
    std::unique_ptr<void, FindCloser> find(first);
    std::vector<char> buf(kCopyBlock);
    do {
        const std::wstring suffix = stream.cStreamName;  // ":name:$DATA"
        if (suffix == L"::$DATA") continue;
        FileHandle from(CreateFileW((full + suffix).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    0, nullptr));
        FileHandle to(CreateFileW((fresh.Name() + suffix).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                  nullptr));
        if (from.Valid() && to.Valid()) CopyContent(from.Get(), 0, to.Get(), 0, buf, nullptr, SaveStep::Write);
    } while (FindNextStreamW(find.get(), &stream));
}

// Puts the folder's names on the disk, where the system lets a folder be
// flushed (where it does not, the rename's write-through is what there is).
void FlushFolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    FileHandle folder(CreateFileW(path.substr(0, slash + 1).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder.Valid()) FlushFileBuffers(folder.Get());
}

// Gives `fresh` the name `target` in one rename that replaces the file of
// that name, if `replace`: the name holds a whole file, old or new, at every
// instant. Written through, so that once it succeeds the name is on the disk.
bool TakeName(TempFile& fresh, const std::wstring& target, bool replace) {
    if (Fails(SaveStep::Replace)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!MoveFileExW(fresh.Name().c_str(), target.c_str(),
                     (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH))
        return false;
    fresh.Renamed();
    FlushFolderOf(target);
    return true;
}

// Errors by which a file system says that it has no hard links.
bool NoHardLinks(DWORD err) {
    return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION || err == ERROR_INVALID_PARAMETER ||
           err == ERROR_CALL_NOT_IMPLEMENTED || err == ERROR_ACCESS_DENIED;
}

// Gives the file `full` the second name `aside`: a hard link, or where the
// file system has none a copy flushed to the disk. On failure `aside` does
// not exist.
bool SecondName(const std::wstring& full, const std::wstring& aside) {
    if (Fails(SaveStep::Link)) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    if (!Fails(SaveStep::NoHardLink)) {
        if (CreateHardLinkW(aside.c_str(), full.c_str(), nullptr)) return true;
        if (!NoHardLinks(GetLastError())) return false;
    }
    std::vector<char> buf(kCopyBlock);
    bool ok = false;
    {
        FileHandle from(CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!from.Valid()) return false;
        FileHandle to(CreateFileW(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!to.Valid()) return false;
        // The copy is what the old file was, times and attributes included:
        // it may yet take the old file's name back.
        BY_HANDLE_FILE_INFORMATION info;
        ok = GetFileInformationByHandle(from.Get(), &info) &&
             CopyWithFaults(from.Get(), 0, to.Get(), 0, buf, SaveStep::Link);
        if (ok) {
            FILE_BASIC_INFO basic = {};
            basic.CreationTime.LowPart = info.ftCreationTime.dwLowDateTime;
            basic.CreationTime.HighPart = LONG(info.ftCreationTime.dwHighDateTime);
            basic.LastWriteTime.LowPart = info.ftLastWriteTime.dwLowDateTime;
            basic.LastWriteTime.HighPart = LONG(info.ftLastWriteTime.dwHighDateTime);
            basic.FileAttributes = info.dwFileAttributes & kKeptAttributes ? info.dwFileAttributes & kKeptAttributes
                                                                             : FILE_ATTRIBUTE_NORMAL;
            ok = SetFileInformationByHandle(to.Get(), FileBasicInfo, &basic, sizeof basic) &&
                 FlushFileBuffers(to.Get());
        }
    }
    if (!ok) {
        const DWORD err = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        DeleteFileW(aside.c_str());
        SetLastError(err);
    }
    return ok;
}

// Replaces the file that `src` reads in place by `fresh`. The old file first
// gets its second name, the moved-aside file, from which the source reads
// on; then the new file takes the target's name. A kill at any step leaves
// the target whole, old or new, and at most the moved-aside file and the
// temporary beside it, which the next open removes.
bool ReplaceSource(LineFileSource& src, const std::wstring& full, TempFile& fresh) {
    Allocating();
    const std::wstring aside = MovedAsideName(full);
    src.ReserveName(std::max(full.size(), aside.size()));
    if (Exists(aside)) {
        if (InUse(aside)) {  // another document's (a file of the same name with another extension)
            SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
        SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(aside.c_str())) return false;
    }
    if (!SecondName(full, aside)) return false;
    SaveLock lock;  // no instance looks for leftovers while the old file is closed
    if (!lock.Held()) {
        DeleteFileW(aside.c_str());
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    src.Close();  // an open file cannot be replaced
    if (!TakeName(fresh, full, true)) {
        const DWORD err = GetLastError();
        DeleteFileW(aside.c_str());  // while nothing has it open
        src.ReadFrom(full, false);
        SetLastError(err);
        return false;
    }
    if (!Fails(SaveStep::Reopen) && src.ReadFrom(aside, true)) {
        SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);  // a file of its own now
        return true;
    }
    // The old file takes its name back, in one step again.
    const DWORD err = GetLastError() ? GetLastError() : ERROR_OPEN_FAILED;
    if (Fails(SaveStep::Replace) ||
        !MoveFileExW(aside.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        // The save stands; the old bytes are read where they are.
        if (!src.ReadFrom(aside, true)) src.ReadFrom(aside, false);
        SetFileAttributesW(aside.c_str(), FILE_ATTRIBUTE_HIDDEN);
        return true;
    }
    src.ReadFrom(full, false);
    SetLastError(err);
    return false;
}

// Writes the document into a new file beside `full` and gives it the
// target's name. Every failure, an exception included, leaves the target,
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
    TempFile fresh;
    if (!fresh.Create(full)) {
        // A folder where the user may write the file but not create files in.
        if (!existed || readsTarget || GetLastError() != ERROR_ACCESS_DENIED) return false;
        return WriteInto(doc, full, fmt);
    }
    {
        Writer w(fresh.Handle());
        if (!WriteDocument(doc, fmt, w)) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return false;
        }
        w.Flush();
        if (!w.ok()) return false;
        // Before the flush, so that what was kept is on the disk with the text.
        if (existed) KeepWhatBelongsToTheFile(full, fresh, oldAttrs);
        if (Fails(SaveStep::Flush)) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        if (!FlushFileBuffers(fresh.Handle())) return false;
    }
    if (!existed) return TakeName(fresh, full, false);
    if (readsTarget && SamePath(full, src->FileName())) return ReplaceSource(*src, full, fresh);
    // Under another name of the file it reads, the target cannot be
    // replaced while the document holds it open: that save fails.
    return TakeName(fresh, full, true);
}

}  // namespace

bool SaveFile(TextDocument& doc, const wchar_t* path, const SaveFormat* format, bool update) {
    const SaveFormat fmt = format ? *format : SaveFormat{doc.currentCodePage, doc.lineBreak, doc.hasBom};
    if (update && format) {
        doc.currentCodePage = format->codePage;
        doc.lineBreak = format->lineBreak;
        doc.hasBom = format->writeBom & SAVE_WRITE_BOM ? 1 : 0;
    }
    if (!path || !*path) return false;
    try {
        Allocating();
        std::wstring name = path;  // taken before the file is replaced, when it can still fail
        const std::wstring full = SystemPath(FullPath(path));
        if (!WriteAndReplace(doc, full, fmt)) return false;
        SafetyCopy::SavedAgain(full);
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
