// The macro folder ("macro" under the program folder) as a tree: subfolders
// and ".mac" files, each level in name order (ignoring case), as the macro
// menu and the macro-keys page show it.
#pragma once

#include <string>
#include <vector>

namespace shell {

struct MacroEntry {
    std::wstring label;  // a folder's name; a file's name without ".mac"
    std::wstring path;   // full path (a folder's ends without a backslash)
    bool folder = false;
    std::vector<MacroEntry> children;  // a folder's entries
};

// "<program folder>macro\".
std::wstring MacroFolder();

// The entries of `folder` (ending with a backslash), subfolders filled in
// depth first. Other files are left out; a folder that cannot be read is
// empty. Links that lead back into themselves end at a fixed depth.
std::vector<MacroEntry> ReadMacroFolder(const std::wstring& folder);

}  // namespace shell
