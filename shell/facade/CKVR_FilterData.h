#pragma once
// The settings record of a raw file, of a saved preset and of a
// develop-and-save job: the ordinary picture adjustments plus a fill light,
// the chosen white balance and colour mode (indexes into the file's lists,
// CKVR_Data_FileList) and the two noise-reduction strengths.
//
// Values the interface has no value for carry kKVRUnsetValue
// (0x80000000); the functions that apply a record leave such fields alone.

#include "foundation/FValueTypes.h"
#include "toolkit/CET_FilterData.h"

#include <cmath>
#include <cstdint>

// A field whose value is not known (a setting the file does not store).
inline constexpr int32_t kKVRUnsetValue = INT32_MIN;

// A stored decimal value (a file's text or float) as a field in hundredths:
// rounded, so "0.29" gives 29 (0.29 x 100 lies just below 29 in binary
// floating point); saturating like TruncateToInt.
inline int32_t KVR_HundredthsOf(double value)
{
    return TruncateToInt(std::round(value * 100.0));
}

class CKVR_FilterData : public CET_FilterData {
public:
    CKVR_FilterData() { Reset(); }
    CKVR_FilterData(const CKVR_FilterData& other) = default;
    CKVR_FilterData& operator=(const CKVR_FilterData& other) = default;

    // The base part, and the six added fields when other is a raw-file record.
    void CopyFrom(const CET_FilterData* other) override;
    CET_FilterData* Clone() const override;
    void Delete() override;
    // Fill light 0; white balance, colour mode, noise availability and both
    // strengths -1 (not set).
    void Reset() override;
    // The base's test, or a fill light, or a chosen white balance or colour
    // mode; the noise fields do not count.
    bool IsSet() const override;
    // The base's comparison and the fill light; the white balance, colour mode
    // and noise fields are not compared.
    bool IsEqual(const CET_FilterData* other, int compareNames) const override;

    int32_t m_nFillLight = 0;       // x 100
    int32_t m_nWhiteBalance = -1;   // index in the file's white-balance list
    int32_t m_nColorMode = -1;      // index in the file's colour-mode list
    int32_t m_nNoiseReduction = -1; // 1 available, 0 not (ISO below 400), -1 not read
    int32_t m_nChromaNoise = -1;    // quarter steps (strength = value x 0.25)
    int32_t m_nLumaNoise = -1;      // quarter steps
};
