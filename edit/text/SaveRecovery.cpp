// What a save ended on its way (a kill, a crash, a power loss) may leave, and
// how the next open and the next start deal with it. A save never takes the
// target's name away (see FileIO.h), so what is left is:
// - the temporary beside the target ("~MPxxxx#name.tmp"), complete or not:
//   the target is whole, the temporary is removed (for a new file not yet
//   there it may be all that is left of the text: it stays);
// - the moved-aside file of an in-place document ("~#name#.tmp"): a second
//   name or a copy of the old file, removed while the target is whole, and
//   put back under the target's name when the target is missing (as an
//   earlier version, which moved the target aside, could leave it) and no
//   other file of the folder has the same moved-aside name;
// - in the temporary folder, private copies ("MP_") and undo files ("FT_"),
//   removed, and the safety copy ("MPS") of a file that was being written
//   into, whose old bytes go back into the file.
// A file that some process holds open is that process's and is never
// touched; the saves of this process and the others hold SaveLock while
// theirs are closed.
#include <windows.h>

#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "FileIO.h"
#include "SaveFiles.h"

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Remove(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

// Calls fn(name) for each file of `folder` (with its final backslash) that
// matches `pattern`.
struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};

template <typename Fn>
void ForEachFile(const std::wstring& folder, const wchar_t* pattern, Fn&& fn) {
    WIN32_FIND_DATAW fd;
    HANDLE first = FindFirstFileW((folder + pattern).c_str(), &fd);
    if (first == INVALID_HANDLE_VALUE) return;
    std::vector<std::wstring> names;
    {
        std::unique_ptr<void, FindCloser> find(first);
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
        } while (FindNextFileW(find.get(), &fd));
    }
    for (const std::wstring& name : names) fn(name);
}

// Whether `name` is one that GetTempFileNameW makes with `prefix`: the
// prefix, one to four hexadecimal digits, ".tmp".
bool TempFileName(const std::wstring& name, const wchar_t* prefix) {
    const size_t p = wcslen(prefix);
    if (name.size() < p + 5 || name.size() > p + 8 || _wcsnicmp(name.c_str(), prefix, p) != 0 ||
        _wcsicmp(name.c_str() + name.size() - 4, L".tmp") != 0)
        return false;
    for (size_t i = p; i + 4 < name.size(); ++i)
        if (!iswxdigit(name[i])) return false;
    return true;
}

// Whether another file of the folder has the same moved-aside name as
// `full` (another extension, or another file with none): then a moved-aside
// file is not known to be this file's.
bool SharesItsMovedAsideName(const std::wstring& folder, const std::wstring& full) {
    const std::wstring aside = MovedAsideName(full);
    bool shared = false;
    ForEachFile(folder, L"*", [&](const std::wstring& found) {
        const std::wstring other = folder + found;
        if (!shared && _wcsicmp(other.c_str(), full.c_str()) != 0 && _wcsicmp(other.c_str(), aside.c_str()) != 0 &&
            _wcsicmp(MovedAsideName(other).c_str(), aside.c_str()) == 0)
            shared = true;
    });
    return shared;
}

// The safety copy `copy` (open with no sharing): its old bytes go back into
// the file it names, when it is complete and that file is there. Returns
// whether the copy may go.
bool PutBackSafetyCopy(HANDLE copy, bool* putBack) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(copy, &size)) return false;
    if (size.QuadPart == 0) return true;  // named but never written
    SafetyHeader header;
    std::wstring path;
    if (!ReadSafetyHeader(copy, &header, &path)) return false;  // not ours to judge: kept
    if (header.complete != SafetyHeader::kComplete) return true;  // not written into yet, or whole again
    if (size.QuadPart != header.dataOffset + header.dataBytes) return false;
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;  // missing or in use: the copy stays
    std::vector<char> buf(kCopyBlock);
    if (!CopyContent(copy, header.dataOffset, file.Get(), 0, buf, nullptr, SaveStep::Restore) ||
        !SetEndOfFile(file.Get()) || !FlushFileBuffers(file.Get()))
        return false;
    *putBack = true;
    return true;
}

bool OlderThan(const WIN32_FILE_ATTRIBUTE_DATA& info, ULONGLONG seconds) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG n = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG w = (ULONGLONG(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    return n > w && n - w > seconds * 10000000ull;
}

}  // namespace

int RecoverInterruptedSave(const wchar_t* path) {
    if (!path || !*path) return 0;
    const std::wstring full = SystemPath(FullPath(path));
    const size_t slash = full.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash + 1 == full.size()) return 0;
    const std::wstring folder = full.substr(0, slash + 1), name = full.substr(slash + 1);
    SaveLock lock;
    if (!lock.Held()) return 0;
    int result = 0;
    const std::wstring aside = MovedAsideName(full);
    const bool whole = Exists(full);
    if (Exists(aside) && !InUse(aside)) {
        if (!whole) {
            // Put back only when it can be no other file's.
            const DWORD attrs = GetFileAttributesW(aside.c_str());
            if (!SharesItsMovedAsideName(folder, full) &&
                MoveFileExW(aside.c_str(), full.c_str(), MOVEFILE_WRITE_THROUGH)) {
                SetFileAttributesW(full.c_str(), attrs & ~FILE_ATTRIBUTE_HIDDEN);
                result |= kRecoveredFile;
            }
        } else if (Remove(aside)) {
            result |= kRemovedLeftovers;
        }
    }
    // A temporary goes only while the file it was to replace is there: for
    // a new file it may be all that is left of the text.
    if (Exists(full)) {
        ForEachFile(folder, L"~MP*.tmp", [&](const std::wstring& found) {
            const std::wstring temp = folder + found;
            if (IsSaveTemporaryOf(found, name) && !InUse(temp) && Remove(temp)) result |= kRemovedLeftovers;
        });
    }
    return result;
}

int RecoverTemporaryFolder() {
    wchar_t dir[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH) return 0;
    const std::wstring folder(dir, n);
    SaveLock lock;
    if (!lock.Held()) return 0;
    int result = 0;
    // Private copies are removed by the system when their process ends; these
    // are what a kill between naming one and opening it leaves.
    ForEachFile(folder, L"MP_*.tmp", [&](const std::wstring& found) {
        if (TempFileName(found, L"MP_") && !InUse(folder + found) && Remove(folder + found))
            result |= kRemovedLeftovers;
    });
    // The temporaries of saves into this folder (undo files are saved so).
    ForEachFile(folder, L"~MP*.tmp", [&](const std::wstring& found) {
        const size_t hash = found.find(L'#');
        const std::wstring target = hash == std::wstring::npos ? L"" : found.substr(hash + 1, found.size() - hash - 5);
        if ((TempFileName(target, L"FT_") || TempFileName(target, L"MP_")) && IsSaveTemporaryOf(found, target) &&
            !InUse(folder + found) && Remove(folder + found))
            result |= kRemovedLeftovers;
    });
    // Find-in-files results are written, closed, then opened as a document:
    // only a file nobody has touched for a while is a leftover.
    ForEachFile(folder, L"FT_*.tmp", [&](const std::wstring& found) {
        const std::wstring path = folder + found;
        WIN32_FILE_ATTRIBUTE_DATA info;
        if (TempFileName(found, L"FT_") && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info) &&
            OlderThan(info, 60) && !InUse(path) && Remove(path))
            result |= kRemovedLeftovers;
    });
    ForEachFile(folder, L"MPS*.tmp", [&](const std::wstring& found) {
        if (!TempFileName(found, L"MPS")) return;
        const std::wstring path = folder + found;
        bool putBack = false, remove = false;
        {
            FileHandle copy(
                CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (copy.Valid()) remove = PutBackSafetyCopy(copy.Get(), &putBack);
        }
        if (remove && Remove(path)) result |= putBack ? kRecoveredFile : kRemovedLeftovers;
    });
    return result;
}
