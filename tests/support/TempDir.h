// A temporary folder of a test's own, removed with its files, and whole-file
// reads and writes (ReadBytes gives "<missing>" for a file that is not there).
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

// The names of the files in `folder` (no final backslash), sorted.
inline std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

struct TempDir {
    std::wstring path;
    explicit TempDir(const wchar_t* prefix = L"FIO") {
        wchar_t dir[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, prefix, 0, name);
        DeleteFileW(name);
        CreateDirectoryW(name, nullptr);
        path = name;
    }
    ~TempDir() {
        for (const std::wstring& f : Files()) {
            SetFileAttributesW((*this / f).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((*this / f).c_str());
        }
        RemoveDirectoryW(path.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::wstring operator/(const std::wstring& name) const { return path + L"\\" + name; }
    // The names of the files in the folder, sorted.
    std::vector<std::wstring> Files() const { return FilesIn(path); }
};

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(f);
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string s(GetFileSize(f, nullptr), '\0');
    DWORD n = 0;
    if (!s.empty()) ReadFile(f, s.data(), DWORD(s.size()), &n, nullptr);
    CloseHandle(f);
    return s;
}
