#include "shell/facade/CTLM_Exif_Manager.h"

#include "foundation/FPath.h"

CTLM_Exif* CTLM_Exif_Manager::Find(const FString& nativePath, int* index) const
{
    for (size_t i = m_aRecords.size(); i-- > 0;) {
        if (PathEquals(m_aRecords[i]->GetPath(), nativePath)) {
            if (index)
                *index = static_cast<int>(i);
            return m_aRecords[i].get();
        }
    }
    return nullptr;
}

CTLM_Exif* CTLM_Exif_Manager::FindOrCreate(const FString& nativePath)
{
    if (CTLM_Exif* found = Find(nativePath))
        return found;
    std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(nativePath);
    if (record->GetPath().GetLength() == 0) {
        m_Empty.CopyFrom(record.get());
        return &m_Empty;
    }
    m_aRecords.push_back(std::move(record));
    return m_aRecords.back().get();
}

void CTLM_Exif_Manager::Update(const FString& nativePath, const CTLM_Exif* source)
{
    if (CTLM_Exif* record = Find(nativePath))
        record->CopyFrom(source);
}

void CTLM_Exif_Manager::Remove(const FString& nativePath)
{
    int index = -1;
    if (Find(nativePath, &index))
        m_aRecords.erase(m_aRecords.begin() + index);
}

void CTLM_Exif_Manager::RemoveAll()
{
    m_aRecords.clear();
}
