// The recent-documents list: up to 20 paths, oldest first, kept in section
// RecentDoc of history.ini and shown newest first in the File menu's recent
// submenu (identifiers 35001, 35002, ...).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace shell {

class CRecentList {
public:
    static constexpr int kCapacity = 20;
    static constexpr size_t kMaxPath = 259;  // longer paths are refused

    // How many entries are kept: min(20, RecentDoc/Count); 0 keeps none.
    static int Limit();

    // Doc0, Doc1, ... up to the limit; empty values skipped.
    void Load();
    // Writes the list as Doc0 (the oldest) onwards; keys beyond it removed.
    void Save() const;

    // The path as the newest entry: an entry equal to it (ignoring case) is
    // removed first, the oldest goes when the list is full. False (nothing
    // changes) when the path is empty, too long or the limit is 0.
    bool Add(const std::wstring& path);
    // k counts from the newest (0).
    const std::wstring* Newest(size_t k) const;
    bool RemoveNewest(size_t k);

    const std::vector<std::wstring>& Items() const { return items_; }

    // Replaces the items of `submenu` with "&1 path" ... (newest first), or
    // with the disabled placeholder 35001 when the list is empty: its text
    // `placeholder`, or "(empty)" when that is empty.
    void FillMenu(HMENU submenu, const std::wstring& placeholder) const;

private:
    std::vector<std::wstring> items_;
};

}  // namespace shell
