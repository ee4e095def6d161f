// Loading a document, and the paths, names and file helpers that saving and
// the recovery after an interrupted save use too.
#include "FileIO.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "LineFileSource.h"
#include "SaveFiles.h"
#include "TextDocument.h"

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
