#include "managers/FIPMImage.h"

#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/IPMCacheEntry.h"

namespace FIPMCommon {

Image::Image(FICacheObject* entry) : m_pEntry(entry)
{
    m_pEntry->Lock();
}

Image::~Image()
{
    m_pEntry->Unlock();
}

FPixmap* Image::GetPixmap()
{
    return PixmapEntryHeader(m_pEntry)->m_pPixmap;
}

void Image::SetProperties(FPropTree* properties)
{
    m_pProperties.reset(properties);
}

FIHistogram* Image::GetHistogram()
{
    if (!m_pHistogram)
        m_pHistogram = std::make_unique<FIHistogram>();
    m_pHistogram->Compute(GetPixmap());
    return m_pHistogram.get();
}

void Image::Release()
{
    if (--m_iRefCount == 0)
        delete this;
}

} // namespace FIPMCommon
