#include "shell/facade/CTLM_Exif_Manager.h"

#include "foundation/FPath.h"

namespace {

std::u16string KeyOf(const FString& nativePath)
{
    return std::u16string(PathNormalize(nativePath).View());
}

} // namespace

CTLM_Exif* CTLM_Exif_Manager::Find(const FString& nativePath, int* index) const
{
    const auto found = m_Index.find(KeyOf(nativePath));
    if (found == m_Index.end())
        return nullptr;
    if (index)
        *index = static_cast<int>(found->second);
    return m_aRecords[found->second].get();
}

CTLM_Exif* CTLM_Exif_Manager::FindOrCreate(const FString& nativePath)
{
    std::u16string key = KeyOf(nativePath);
    if (const auto found = m_Index.find(key); found != m_Index.end())
        return m_aRecords[found->second].get();
    std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(nativePath);
    if (record->GetPath().GetLength() == 0) {
        m_Empty.CopyFrom(record.get());
        return &m_Empty;
    }
    m_aRecords.push_back(std::move(record));
    m_Index.emplace(key, m_aRecords.size() - 1);
    m_aKeys.push_back(std::move(key));
    return m_aRecords.back().get();
}

void CTLM_Exif_Manager::Update(const FString& nativePath, const CTLM_Exif* source)
{
    if (CTLM_Exif* record = Find(nativePath))
        record->CopyFrom(source);
}

void CTLM_Exif_Manager::Remove(const FString& nativePath)
{
    const auto found = m_Index.find(KeyOf(nativePath));
    if (found == m_Index.end())
        return;
    // The last record takes the removed one's place.
    const size_t at = found->second;
    m_Index.erase(found);
    if (at + 1 != m_aRecords.size()) {
        m_aRecords[at] = std::move(m_aRecords.back());
        m_aKeys[at] = std::move(m_aKeys.back());
        m_Index[m_aKeys[at]] = at;
    }
    m_aRecords.pop_back();
    m_aKeys.pop_back();
}

void CTLM_Exif_Manager::RemoveAll()
{
    m_aRecords.clear();
    m_aKeys.clear();
    m_Index.clear();
}
