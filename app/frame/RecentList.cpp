#include "RecentList.h"

#include <algorithm>

#include "CommandIds.h"
#include "Settings.h"
#include "SettingsKeys.h"

namespace shell {
namespace {

constexpr const wchar_t* kSection = L"RecentDoc";

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

int CRecentList::Limit() {
    return std::min(kCapacity, settings::ReadClampedInt(settings::File::History, kSection, L"Count"));
}

void CRecentList::Load() {
    items_.clear();
    const int limit = Limit();
    for (int i = 0; i < limit; ++i) {
        std::wstring path;
        if (settings::ReadString(settings::File::History, kSection, L"Doc", path, L"", i, 1024) &&
            path.size() <= kMaxPath)
            items_.push_back(path);
    }
    const size_t keep = size_t(limit);
    if (items_.size() > keep) items_.erase(items_.begin(), items_.end() - ptrdiff_t(keep));
}

void CRecentList::Save() const {
    const int limit = Limit();
    for (int i = 0; i < kCapacity; ++i) {
        if (size_t(i) < items_.size() && i < limit)
            settings::WriteString(settings::File::History, kSection, L"Doc", items_[size_t(i)].c_str(), i);
        else
            WritePrivateProfileStringW(kSection, settings::KeyName(L"Doc", i).c_str(), nullptr,
                                       settings::PathOf(settings::File::History).c_str());
    }
}

bool CRecentList::Add(const std::wstring& path) {
    const int limit = Limit();
    if (limit <= 0 || path.empty() || path.size() > kMaxPath) return false;
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [&](const std::wstring& p) { return SameText(p, path); }),
                 items_.end());
    while (items_.size() >= size_t(limit)) items_.erase(items_.begin());
    items_.push_back(path);
    return true;
}

const std::wstring* CRecentList::Newest(size_t k) const {
    if (k >= items_.size()) return nullptr;
    return &items_[items_.size() - 1 - k];
}

bool CRecentList::RemoveNewest(size_t k) {
    if (k >= items_.size()) return false;
    items_.erase(items_.end() - 1 - ptrdiff_t(k));
    return true;
}

void CRecentList::FillMenu(HMENU submenu, const std::wstring& placeholder) const {
    if (!submenu) return;
    while (GetMenuItemCount(submenu) > 0) DeleteMenu(submenu, 0, MF_BYPOSITION);
    if (items_.empty()) {
        AppendMenuW(submenu, MF_STRING | MF_GRAYED, ID_RECENT_FIRST,
                    placeholder.empty() ? L"(empty)" : placeholder.c_str());
        return;
    }
    for (size_t k = 0; k < items_.size(); ++k) {
        const std::wstring label = L"&" + std::to_wstring(k + 1) + L" " + *Newest(k);
        AppendMenuW(submenu, MF_STRING, ID_RECENT_FIRST + UINT(k), label.c_str());
    }
}

}  // namespace shell
