#include "shell/app/CImageSettingsCache.h"

#include "foundation/FPath.h"

CET_FilterData* CImageSettingsCache::Find(const FString& path, int* index) const
{
    for (size_t i = 0; i < m_Entries.size(); ++i) {
        if (PathEquals(m_Entries[i].path, path)) {
            if (index)
                *index = static_cast<int>(i);
            return m_Entries[i].record.get();
        }
    }
    return nullptr;
}

void CImageSettingsCache::Remove(const FString& path)
{
    int index = -1;
    if (Find(path, &index))
        m_Entries.erase(m_Entries.begin() + index);
}

void CImageSettingsCache::Set(const FString& path, const CET_FilterData* record)
{
    Remove(path);
    if (record)
        m_Entries.push_back({path, std::unique_ptr<CET_FilterData>(record->Clone())});
}

std::unique_ptr<CET_FilterData> CImageSettingsCache::Get(const FString& path) const
{
    const CET_FilterData* record = Find(path);
    return record ? std::unique_ptr<CET_FilterData>(record->Clone()) : nullptr;
}
