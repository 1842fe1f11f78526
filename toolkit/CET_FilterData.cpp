#include "toolkit/CET_FilterData.h"

#include "foundation/FColorAdjust.h"

#include <cmath>
#include <limits>

CET_FilterData::CET_FilterData() { Reset(); }

CET_FilterData::CET_FilterData(const CET_FilterData& other) { CopyFrom(&other); }

CET_FilterData& CET_FilterData::operator=(const CET_FilterData& other) {
  CopyFrom(&other);
  return *this;
}

void CET_FilterData::CopyFrom(const CET_FilterData* other) {
  if (!other || other == this) {
    return;
  }
  m_nAuto = other->m_nAuto;
  m_nExposure = other->m_nExposure;
  m_nContrast = other->m_nContrast;
  m_nShadow = other->m_nShadow;
  m_nHighlight = other->m_nHighlight;
  m_nSaturation = other->m_nSaturation;
  m_nSharpness = other->m_nSharpness;
  m_nCyan = other->m_nCyan;
  m_nMagenta = other->m_nMagenta;
  m_nYellow = other->m_nYellow;
  m_strName = other->m_strName;
}

CET_FilterData* CET_FilterData::Clone() const {
  CET_FilterData* copy = new CET_FilterData;
  copy->CopyFrom(this);
  return copy;
}

void CET_FilterData::Delete() { delete this; }

void CET_FilterData::Reset() {
  m_nAuto = m_nExposure = m_nContrast = m_nShadow = m_nHighlight = 0;
  m_nSaturation = m_nSharpness = m_nCyan = m_nMagenta = m_nYellow = 0;
  m_strName.Empty();
}

bool CET_FilterData::IsSet() const {
  return HasExposure() || HasContrast() || HasShadow() || HasHighlight() || HasSaturation() || HasSharpness() ||
         HasColorAdjust();
}

bool CET_FilterData::IsEqual(const CET_FilterData* other, int compareName) const {
  if (!other) {
    return false;
  }
  const bool valuesEqual = m_nAuto == other->m_nAuto && m_nExposure == other->m_nExposure &&
                           m_nContrast == other->m_nContrast && m_nShadow == other->m_nShadow &&
                           m_nHighlight == other->m_nHighlight && m_nSaturation == other->m_nSaturation &&
                           m_nSharpness == other->m_nSharpness && m_nCyan == other->m_nCyan &&
                           m_nMagenta == other->m_nMagenta && m_nYellow == other->m_nYellow;
  return valuesEqual && (compareName != 1 || m_strName == other->m_strName);
}

void CET_FilterData::GetColorGains(double& red, double& green, double& blue) const {
  CMYToColorGain(m_nCyan, m_nMagenta, m_nYellow, red, green, blue);
}

void CET_FilterData::SetColorGains(double red, double green, double blue) {
  int cyan = 0, magenta = 0, yellow = 0;
  ColorGainToCMY(red, green, blue, cyan, magenta, yellow);
  m_nCyan = cyan;
  m_nMagenta = magenta;
  m_nYellow = yellow;
}

double AdjustmentToEngine(std::int32_t field) { return field / 100.0; }

std::int32_t AdjustmentFromEngine(double value) {
  const double scaled = value * 100.0;
  if (std::isnan(scaled)) {
    return 0;
  }
  constexpr double kLow = std::numeric_limits<std::int32_t>::min();
  constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
  if (scaled <= kLow) {
    return std::numeric_limits<std::int32_t>::min();
  }
  if (scaled >= kHigh) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(scaled);
}
