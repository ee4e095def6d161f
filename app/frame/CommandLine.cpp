#include "CommandLine.h"

#include "ProgramIds.h"

namespace shell {

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> tokens;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && line[i] < 33) ++i;
        if (i == n) break;
        size_t start = i, end = 0;
        if (line[i] == L'"') {
            start = ++i;
            while (i < n && line[i] != L'"') ++i;
            end = i;
            if (i < n) ++i;  // the closing quote
        } else {
            while (i < n && line[i] > 32) ++i;
            end = i;
        }
        tokens.emplace_back(line.substr(start, end - start));
    }
    return tokens;
}

std::optional<std::wstring> FileArgument(std::wstring_view line) {
    std::vector<std::wstring> tokens = SplitCommandLine(line);
    if (tokens.size() < 2 || tokens[1].empty()) return std::nullopt;
    return std::move(tokens[1]);
}

std::optional<std::wstring> ReadHandOver(const COPYDATASTRUCT* record) {
    if (!record || record->dwData != MORROWPAD_HANDOVER_TAG || !record->lpData) return std::nullopt;
    const DWORD bytes = record->cbData;
    if (bytes < sizeof(wchar_t) || bytes % sizeof(wchar_t) != 0 || bytes > kMaxHandOverBytes)
        return std::nullopt;
    const wchar_t* text = static_cast<const wchar_t*>(record->lpData);
    const size_t units = bytes / sizeof(wchar_t);
    if (text[units - 1] != L'\0') return std::nullopt;
    return std::wstring(text);  // stops at the first NUL, which is inside the block
}

COPYDATASTRUCT MakeHandOver(const std::wstring& line) {
    COPYDATASTRUCT record = {};
    record.dwData = MORROWPAD_HANDOVER_TAG;
    record.cbData = DWORD((line.size() + 1) * sizeof(wchar_t));
    record.lpData = const_cast<wchar_t*>(line.c_str());
    return record;
}

}  // namespace shell
