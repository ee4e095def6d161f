#include "TestSupport.h"

#include "MessageSink.h"

namespace testing_support {
namespace {

int Record(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    Messages().push_back({owner, text ? text : L"", caption ? caption : L"", type});
    std::vector<int>& answers = Answers();
    if (answers.empty()) return IDOK;
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

const bool g_sinkInstalled = (shell::SetMessageSink(&Record), true);

}  // namespace

std::vector<ShownMessage>& Messages() {
    static std::vector<ShownMessage> messages;
    return messages;
}

std::vector<int>& Answers() {
    static std::vector<int> answers;
    return answers;
}

std::wstring TestFolder() {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe, n);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring MakeTempFolder(const wchar_t* prefix) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::wstring folder = std::wstring(temp) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L"\\";
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return L"";
    }
}

bool CopyFromTests(const std::wstring& folder, const wchar_t* name) {
    CreateDirectoryW((folder + L"mui").c_str(), nullptr);
    return CopyFileW((TestFolder() + name).c_str(), (folder + name).c_str(), FALSE) != 0;
}

bool WriteFileText(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(f);
    return ok;
}

std::string ReadFileText(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "";
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(f);
    return out;
}

std::string Utf16Text(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

}  // namespace testing_support
