#pragma once
// One set of picture adjustments as the user interface carries it: an
// automatic flag, six tone and detail adjustments (each the engine's value
// times 100), a colour compensation of three densities in hundredths (cyan
// acts on red, magenta on green, yellow on blue) and a name.
//
// Owners hold records through pointers and dispose of them with Delete,
// because the raw-file record derives from this one.

#include "foundation/FString.h"

#include <cstdint>

class CET_FilterData {
public:
  CET_FilterData() { Reset(); }
  CET_FilterData(const CET_FilterData& other) = default;
  CET_FilterData& operator=(const CET_FilterData& other) = default;
  virtual ~CET_FilterData() = default;

  // Copies the ten ints and the name.
  virtual void CopyFrom(const CET_FilterData* other);
  // A new record of the same dynamic type holding a copy; the caller owns it
  // and gives it back with Delete.
  virtual CET_FilterData* Clone() const;
  virtual void Delete();
  virtual void Reset();
  // Any adjustment or density non-zero; the auto flag and the name do not count.
  virtual bool IsSet() const;
  // The auto flag and the nine values equal; the names count only when
  // compareNames is exactly 1 (case-sensitive).
  virtual bool IsEqual(const CET_FilterData* other, int compareNames) const;

  bool HasExposure() const { return m_nExposure != 0; }
  bool HasContrast() const { return m_nContrast != 0; }
  bool HasShadow() const { return m_nShadow != 0; }
  bool HasHighlight() const { return m_nHighlight != 0; }
  bool HasSaturation() const { return m_nSaturation != 0; }
  bool HasSharpness() const { return m_nSharpness != 0; }
  bool HasColorAdjust() const { return m_nCyan != 0 || m_nMagenta != 0 || m_nYellow != 0; }

  int32_t m_nAuto = 0;
  int32_t m_nExposure = 0;
  int32_t m_nContrast = 0;
  int32_t m_nShadow = 0;
  int32_t m_nHighlight = 0;
  int32_t m_nSaturation = 0;
  int32_t m_nSharpness = 0;
  int32_t m_nCyan = 0;
  int32_t m_nMagenta = 0;
  int32_t m_nYellow = 0;
  FString m_strName;
};
