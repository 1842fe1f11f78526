#include "shell/facade/CSaveJob.h"

#include "shell/facade/CKVR_FilterData.h"

void CSaveJob::FreeSettings()
{
    if (m_pSettings)
        m_pSettings->Delete();
    m_pSettings = nullptr;
}
