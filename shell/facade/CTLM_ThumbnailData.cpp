#include "shell/facade/CTLM_ThumbnailData.h"

void CTLM_ThumbnailData::Reset() {
  CET_ThumbnailData::Reset();
  m_Exif.Clear();
  m_bInfoRead = false;
  m_bQuickFailed = false;
  m_bFinalFailed = false;
}

void CTLM_ThumbnailData::CopyFrom(const CET_ThumbnailData* source) {
  CET_ThumbnailData::CopyFrom(source);
  if (const auto* browsed = dynamic_cast<const CTLM_ThumbnailData*>(source); browsed && browsed != this) {
    m_FileSize = browsed->m_FileSize;
    m_Exif.CopyFrom(&browsed->m_Exif);
    m_bInfoRead = browsed->m_bInfoRead;
    m_bQuickFailed = browsed->m_bQuickFailed;
    m_bFinalFailed = browsed->m_bFinalFailed;
  }
}

CET_ThumbnailData* CTLM_ThumbnailData::Clone() const {
  auto* copy = new CTLM_ThumbnailData;
  copy->CopyFrom(this);
  return copy;
}

void CTLM_ThumbnailData::Delete() {
  Reset();
  delete this;
}
