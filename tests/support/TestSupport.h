// Shared by the program tests: the recording message sink (installed before
// any test runs, so that no test ever waits on a modal box) and throw-away
// program folders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

struct ShownMessage {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<ShownMessage>& Messages();
// The answers the sink gives, first to last; IDOK once they are used up.
std::vector<int>& Answers();

// The folder of the test executable, with a trailing backslash.
std::wstring TestFolder();

// A new empty folder under the temporary folder, with a trailing backslash.
std::wstring MakeTempFolder(const wchar_t* prefix);
// Copies TestFolder() + name to folder + name (creating "mui").
bool CopyFromTests(const std::wstring& folder, const wchar_t* name);
bool WriteFileText(const std::wstring& path, const std::string& bytes);
std::string ReadFileText(const std::wstring& path);
// The bytes of a settings file: UTF-16LE behind its mark, from ASCII text.
std::string Utf16Text(const std::string& ascii);

}  // namespace testing_support
