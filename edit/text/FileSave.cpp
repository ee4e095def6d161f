// The steps of a save: the temporary beside the target, writing into the
// existing file behind a safety copy, and replacing the target by the new file.
#include "FileIO.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "FileIOParts.h"
#include "LineFileSource.h"
#include "SaveFiles.h"
#include "TextDocument.h"

using namespace fileio_detail;

void SetSaveFaultHookForTesting(SaveFaultHook hook) { g_saveFault = hook; }

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

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
