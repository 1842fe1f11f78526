#pragma once
// The adjustment settings last applied to each file, by path (compared
// exactly: paths on Linux are case-sensitive). Nothing here locks: the
// application reaches its cache only under its own lock and hands out copies.

#include "foundation/FString.h"
#include "toolkit/CET_FilterData.h"

#include <memory>
#include <vector>

class CImageSettingsCache {
public:
    CImageSettingsCache() = default;
    CImageSettingsCache(const CImageSettingsCache&) = delete;
    CImageSettingsCache& operator=(const CImageSettingsCache&) = delete;

    // The first entry of the path; its position goes to index when given. Null when none.
    CET_FilterData* Find(const FString& path, int* index = nullptr) const;
    void Remove(const FString& path);
    // Removes the path's entry and appends a clone of the record (a record of
    // the raw-file kind stays one); a null record only removes.
    void Set(const FString& path, const CET_FilterData* record);
    // A new clone of the path's record, or null.
    std::unique_ptr<CET_FilterData> Get(const FString& path) const;
    void RemoveAll() { m_Entries.clear(); }
    int GetCount() const { return static_cast<int>(m_Entries.size()); }

private:
    struct Entry {
        FString path;
        std::unique_ptr<CET_FilterData> record;
    };
    std::vector<Entry> m_Entries;
};
