#pragma once
// The grey-world automatic white balance: the camera-space colour of a
// neutral surface (largest component 1) from three grey-world estimates on
// the working image (the mean of unclipped 4 x 4 blocks, a weighted mean of
// their colour histogram, and a squashed histogram mean in which each colour
// counts with the square root of its population), held inside the neutral
// polygons chosen by the scene brightness from the exposure.
#include "engine/analysis/AutoWB_ChromaWt.h"
#include "engine/colour/ColorMatrix3x3.h"
#include "engine/corrections/DarkShieldDrift.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <vector>

// The inputs of one estimate.
struct FGreyWorldWBParams {
    const FPixmap* pImage = nullptr; // FPixmap::PIXEL_48S_RGB
    double adLevel[3] = {};          // saturation level of R, G, B
    double dFNumber = 0.0;
    double dShutter = 0.0;           // seconds
    double dExpComp = 0.0;
    ColorMatrix3x3 mCamToROMM;       // camera RGB to ROMM, unbalanced, times r
    double dGainRatio = 1.0;         // r
    bool bConstrain = true;
    float afPostPoly[27] = {};       // all zero is none
    FDriftPair drift{};              // top and bottom dark-shield records
};

class EAutoWB {
public:
    // Throws FException "Allocation error in EAutoWB constructor" when the
    // colour histogram cannot be allocated.
    explicit EAutoWB(const FGreyWorldWBParams& params);

    // The neutral of the image. An image that is not 48-bit signed RGB throws
    // FExceptionPixelProc2. A picture without light to measure (a black
    // frame, every block clipped, an image no larger than its 10 % borders)
    // gives the camera's daylight neutral, inverse(mCamToROMM) (1, 1, 1), or
    // (1, 1, 1) when that is not usable.
    FDoubleTriple Estimate();

    // The neutral held inside the polygons for the scene brightness (or inside
    // loose limits when the exposure is unknown or bConstrain is clear), then
    // tinted slightly warm; largest component 1.
    FDoubleTriple Constrain(const FDoubleTriple& neutral);

    // The three estimates of the last Estimate (largest component 1 each).
    FDoubleTriple m_GreyWorld1;
    FDoubleTriple m_GreyWorld2;
    FDoubleTriple m_Squashed;

private:
    bool MeasureMeanAndMaxima();
    bool CountBlocks();
    void HistogramEstimates();
    FDoubleTriple CameraNeutral() const;

    FGreyWorldWBParams m_Params;
    int32_t m_iBorderX = 0;
    int32_t m_iBorderY = 0;
    FDoubleTriple m_Mean;
    int32_t m_aiMax[3] = {};
    std::vector<int32_t> m_Histogram;
    int64_t m_iHistogramEntries = 0;
    int64_t m_aiBlockSums[3] = {};
    int64_t m_iBlocks = 0;
};

// The neutral of the image through EAutoWB.
FDoubleTriple EstimateNeutralGreyWorld(const FGreyWorldWBParams& params);

// The scene brightness of the exposure, or NaN when the aperture (below 0.5)
// or the shutter time (not positive) is missing or the result is no number.
double GreyWorldBrightness(double fNumber, double shutter, double expComp, double gainRatio);

// The vertex held inside polygon 1 up to brightness 3.2, polygon 2 from 5.7 to
// 5.8, polygon 3 above 8.3, and the blends of the neighbouring polygons'
// nearest points between.
FNeutralVertex GreyWorldConstrainVertex(FNeutralVertex v, double bv);

// Weight of colour bin i (0 .. 31) in the histogram estimates: 1 up to 21,
// then falling towards the clipped end.
double GreyWorldBinWeight(int bin);
