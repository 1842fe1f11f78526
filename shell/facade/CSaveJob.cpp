#include "shell/facade/CSaveJob.h"

#include "shell/facade/CKVR_FilterData.h"

void CSaveJob::FreeSettings()
{
    if (m_pSettings)
        m_pSettings->Delete();
    m_pSettings = nullptr;
}

void CSaveJob::CopyFrom(const CSaveJob* other)
{
    if (!other || other == this)
        return;
    FreeSettings();
    m_nSettingMode = other->m_nSettingMode;
    if (other->m_pSettings)
        m_pSettings = static_cast<CKVR_FilterData*>(other->m_pSettings->Clone());
    m_bWriteSettings = other->m_bWriteSettings;
    m_nSizeMode = other->m_nSizeMode;
    m_nColorSpace = other->m_nColorSpace;
    m_nFileType = other->m_nFileType;
    m_nJpegQuality = other->m_nJpegQuality;
    m_nJpegQualityPercent = other->m_nJpegQualityPercent;
    m_aInputs = other->m_aInputs;
    m_aOutputs = other->m_aOutputs;
}
