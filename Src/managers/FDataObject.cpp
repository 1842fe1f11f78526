#include "managers/FDataObject.h"

#include "foundation/FCache.h"

namespace {

FFileImageEntryHeader* ImageHeader(FICacheObject* entry)
{
    return static_cast<FFileImageEntryHeader*>(entry->GetData());
}

FFileCamfileEntryHeader* CamfileHeader(FICacheObject* entry)
{
    return static_cast<FFileCamfileEntryHeader*>(entry->GetData());
}

} // namespace

FDataObject::FDataObject(FICacheObject* entry, int32_t type) : m_pEntry(entry), m_iType(type)
{
    m_pEntry->Lock();
}

FDataObject::~FDataObject()
{
    m_pEntry->Unlock();
}

void FDataObject::Release()
{
    if (--m_iRefCount == 0)
        delete this;
}

int32_t FDataObject::GetImageType()
{
    return m_iType == kDataObjectImage ? ImageHeader(m_pEntry)->m_iImageType : 0;
}

FPixmap* FDataObject::GetPixmap()
{
    return m_iType == kDataObjectImage ? ImageHeader(m_pEntry)->m_pPixmap : nullptr;
}

uint32_t FDataObject::GetCamfileSize()
{
    return m_iType == kDataObjectCamfile ? CamfileHeader(m_pEntry)->m_uByteCount : 0;
}

int32_t FDataObject::GetCamfileType()
{
    return m_iType == kDataObjectCamfile ? CamfileHeader(m_pEntry)->m_iCamfileType : 0;
}

uint8_t* FDataObject::GetCamfileData()
{
    return m_iType == kDataObjectCamfile ? CamfileHeader(m_pEntry)->m_pData : nullptr;
}
