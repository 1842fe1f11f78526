#include "toolkit/CET_FilterData.h"

void CET_FilterData::CopyFrom(const CET_FilterData* other) {
  if (other && other != this) {
    CET_FilterData::operator=(*other);
  }
}

CET_FilterData* CET_FilterData::Clone() const {
  auto* copy = new CET_FilterData;
  copy->CopyFrom(this);
  return copy;
}

void CET_FilterData::Delete() { delete this; }

void CET_FilterData::Reset() {
  m_nAuto = m_nExposure = m_nContrast = m_nShadow = m_nHighlight = m_nSaturation = m_nSharpness = 0;
  m_nCyan = m_nMagenta = m_nYellow = 0;
  m_strName.Empty();
}

bool CET_FilterData::IsSet() const {
  return HasExposure() || HasContrast() || HasShadow() || HasHighlight() || HasSaturation() || HasSharpness() ||
         HasColorAdjust();
}

bool CET_FilterData::IsEqual(const CET_FilterData* other, int compareNames) const {
  if (!other) {
    return false;
  }
  const bool valuesEqual = m_nAuto == other->m_nAuto && m_nExposure == other->m_nExposure &&
                           m_nContrast == other->m_nContrast && m_nShadow == other->m_nShadow &&
                           m_nHighlight == other->m_nHighlight && m_nSaturation == other->m_nSaturation &&
                           m_nSharpness == other->m_nSharpness && m_nCyan == other->m_nCyan &&
                           m_nMagenta == other->m_nMagenta && m_nYellow == other->m_nYellow;
  return valuesEqual && (compareNames != 1 || m_strName == other->m_strName);
}
