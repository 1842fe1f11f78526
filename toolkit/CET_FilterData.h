#pragma once
// The user interface's record of one set of picture adjustments: an automatic
// flag, six tone and detail adjustments, a colour compensation of three
// densities, and a name. The raw-file settings record extends it.
//
// Encodings shared by everything that converts to or from the record:
// - an adjustment field holds the engine's value times 100 (see
//   AdjustmentToEngine / AdjustmentFromEngine);
// - the colour compensation is three densities in hundredths; the engine works
//   with gains, gain = 10^(-density / 100) (cyan acts on red, magenta on green,
//   yellow on blue); the strongest channel of a set of gains has density 0.

#include "foundation/FString.h"

#include <cstdint>

class CET_FilterData {
public:
  CET_FilterData();
  CET_FilterData(const CET_FilterData& other);
  CET_FilterData& operator=(const CET_FilterData& other);
  // Virtual, so that a raw-file record deleted through this type is destroyed
  // whole; owners that may hold a subclass still dispose of records with Delete.
  virtual ~CET_FilterData() = default;

  // Copies the ten ints and the name of other (null: nothing changes).
  virtual void CopyFrom(const CET_FilterData* other);
  // A new record of this record's own type holding the same values; the caller owns it.
  virtual CET_FilterData* Clone() const;
  // Destroys and frees this record.
  virtual void Delete();
  // All ten ints 0, name empty.
  virtual void Reset();
  // True when any adjustment or density is non-zero; the automatic flag and the
  // name do not count.
  virtual bool IsSet() const;
  // The automatic flag and the nine adjustments and densities are equal; the
  // names are compared (case-sensitively) only when compareName is exactly 1.
  virtual bool IsEqual(const CET_FilterData* other, int compareName) const;

  bool HasExposure() const { return m_nExposure != 0; }
  bool HasContrast() const { return m_nContrast != 0; }
  bool HasShadow() const { return m_nShadow != 0; }
  bool HasHighlight() const { return m_nHighlight != 0; }
  bool HasSaturation() const { return m_nSaturation != 0; }
  bool HasSharpness() const { return m_nSharpness != 0; }
  bool HasColorAdjust() const { return m_nCyan != 0 || m_nMagenta != 0 || m_nYellow != 0; }

  // The colour compensation as the engine's three gains, and back.
  void GetColorGains(double& red, double& green, double& blue) const;
  void SetColorGains(double red, double green, double blue);

  std::int32_t m_nAuto = 0;
  std::int32_t m_nExposure = 0;
  std::int32_t m_nContrast = 0;
  std::int32_t m_nShadow = 0;
  std::int32_t m_nHighlight = 0;
  std::int32_t m_nSaturation = 0;
  std::int32_t m_nSharpness = 0;
  std::int32_t m_nCyan = 0;
  std::int32_t m_nMagenta = 0;
  std::int32_t m_nYellow = 0;
  FString m_strName;
};

// An adjustment field as the engine's value: field / 100.
double AdjustmentToEngine(std::int32_t field);
// The engine's value as an adjustment field: value x 100, truncated toward zero
// (0.29 gives 28). Values outside the int range are clamped to it; NaN gives 0.
std::int32_t AdjustmentFromEngine(double value);
