#include "Resources.h"

#include <atomic>

namespace shell {
namespace {

std::atomic<HMODULE> g_resources{nullptr};

}  // namespace

HMODULE ResourceModule() {
    HMODULE m = g_resources.load();
    return m ? m : GetModuleHandleW(nullptr);
}

void SetResourceModule(HMODULE module) { g_resources.store(module); }

std::wstring LanguageString(UINT id) {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? std::wstring(text, size_t(n)) : std::wstring();
}

std::wstring FormatText(const std::wstring& pattern, std::initializer_list<std::wstring> args) {
    std::wstring out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c != L'%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        // "%%", or a conversion with optional flags and width ("%08X", "%ld").
        size_t j = i + 1;
        if (pattern[j] == L'%') {
            out += L'%';
            i = j;
            continue;
        }
        while (j < pattern.size() && wcschr(L"-+ #0123456789.lh", pattern[j])) ++j;
        if (j >= pattern.size() || !wcschr(L"sdiuxXc", pattern[j])) {
            out += c;
            continue;
        }
        if (next != args.end()) out += *next++;
        i = j;
    }
    return out;
}

std::wstring FormatLanguageString(UINT id, std::initializer_list<std::wstring> args) {
    return FormatText(LanguageString(id), args);
}

}  // namespace shell
