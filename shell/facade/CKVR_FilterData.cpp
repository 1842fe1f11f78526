#include "shell/facade/CKVR_FilterData.h"

void CKVR_FilterData::CopyFrom(const CET_FilterData* other)
{
    CET_FilterData::CopyFrom(other);
    if (const auto* raw = dynamic_cast<const CKVR_FilterData*>(other); raw && raw != this) {
        m_nFillLight = raw->m_nFillLight;
        m_nWhiteBalance = raw->m_nWhiteBalance;
        m_nColorMode = raw->m_nColorMode;
        m_nNoiseReduction = raw->m_nNoiseReduction;
        m_nChromaNoise = raw->m_nChromaNoise;
        m_nLumaNoise = raw->m_nLumaNoise;
    }
}

CET_FilterData* CKVR_FilterData::Clone() const
{
    auto* copy = new CKVR_FilterData;
    copy->CopyFrom(this);
    return copy;
}

void CKVR_FilterData::Delete()
{
    delete this;
}

void CKVR_FilterData::Reset()
{
    CET_FilterData::Reset();
    m_nFillLight = 0;
    m_nWhiteBalance = m_nColorMode = m_nNoiseReduction = m_nChromaNoise = m_nLumaNoise = -1;
}

bool CKVR_FilterData::IsSet() const
{
    return CET_FilterData::IsSet() || m_nFillLight != 0 || m_nWhiteBalance != -1 || m_nColorMode != -1;
}

bool CKVR_FilterData::IsEqual(const CET_FilterData* other, int compareNames) const
{
    const auto* raw = dynamic_cast<const CKVR_FilterData*>(other);
    return raw && CET_FilterData::IsEqual(other, compareNames) && m_nFillLight == raw->m_nFillLight;
}
