#include "MacroFolder.h"

#include <windows.h>

#include <algorithm>

#include "Owners.h"
#include "Settings.h"

namespace shell {

namespace {

constexpr int kMaxDepth = 16;

bool IsMacroFile(const std::wstring& name) {
    return name.size() > 4 && lstrcmpiW(name.c_str() + name.size() - 4, L".mac") == 0;
}

void Read(const std::wstring& folder, int depth, std::vector<MacroEntry>* out) {
    if (depth > kMaxDepth) return;
    WIN32_FIND_DATAW found;
    {
        const shell::CUniqueFind find(FindFirstFileW((folder + L"*").c_str(), &found));
        if (!find) return;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            MacroEntry e;
            e.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!e.folder && !IsMacroFile(name)) continue;
            e.label = e.folder ? name : name.substr(0, name.size() - 4);
            e.path = folder + name;
            out->push_back(std::move(e));
        } while (FindNextFileW(find.get(), &found));
    }
    std::sort(out->begin(), out->end(), [](const MacroEntry& a, const MacroEntry& b) {
        return CompareStringOrdinal(a.path.c_str(), -1, b.path.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    for (MacroEntry& e : *out)
        if (e.folder) Read(e.path + L"\\", depth + 1, &e.children);
}

}  // namespace

std::wstring MacroFolder() { return settings::ProgramFolder() + L"macro\\"; }

std::vector<MacroEntry> ReadMacroFolder(const std::wstring& folder) {
    std::vector<MacroEntry> entries;
    Read(folder, 0, &entries);
    return entries;
}

}  // namespace shell
