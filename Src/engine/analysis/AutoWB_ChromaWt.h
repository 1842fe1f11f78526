#pragma once
// The default automatic white balance: the camera-space colour of a neutral
// surface (largest component 1), found on a small grid of the picture. The
// illuminant under which the least colourful quarter of the grid looks most
// neutral sets the first white; grid colours close to neutral in CIELAB are
// averaged (tricube weights, each colour's population counted as its square
// root), the average is refined with itself as the white, held inside a
// region of plausible neutrals chosen by the scene brightness, and nudged
// towards daylight in bright scenes.
#include "engine/colour/ColorMatrix3x3.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <optional>
#include <span>

// The inputs of one estimate from a working image.
struct FChromaWeightedWBParams {
    const FPixmap* pSource = nullptr; // FPixmap::PIXEL_48S_RGB
    double adLevel[3] = {};           // saturation level of R, G, B
    float afPostPoly[27] = {};        // colour polynomial for grid colours; all zero is none
    double dBv = 0.0;                 // scene brightness value
    bool bFlash = false;
    ColorMatrix3x3 mCamToXYZ;
    double dGainRatio = 1.0;          // exposure gain ratio r
    double adFlare[3] = {};           // subtracted from every grid colour
    bool bConstrain = true;           // keep the result inside the neutral polygons
};

// The neutral of a 48-bit working image. A source that is not 48-bit signed
// RGB throws FExceptionPixelProc2. Whenever the picture gives nothing to
// measure (a black or fully clipped frame, a grid of fewer than four points,
// no grid colour near enough to neutral) the result is the camera's daylight
// neutral, inverse(mCamToXYZ) D65, or (1, 1, 1) when that is not usable.
FDoubleTriple EstimateNeutralChromaWeighted(const FChromaWeightedWBParams& params);

// The same on a float image that is the grid itself (the noise reduction's
// reduced picture): levels 5000, no flare, no polynomial. Samples that are no
// finite number count as 0.
FDoubleTriple EstimateNeutralChromaWeightedFloat(const FPixmapTemplate<FPixelClassFlt32RGB>& image, double dBv,
                                                 bool bFlash, const ColorMatrix3x3& camToXYZ, double gainRatio,
                                                 bool bConstrain);

// CIELAB of (X, Y, Z) against the white (Xn, Yn, Zn), the cube roots read
// from a table sampled every 0.0016 for ratios from -1 to 15.
void CIELabFromXYZ(double X, double Y, double Z, double Xn, double Yn, double Zn, double& L, double& a, double& b);

// Reorders values[0 .. n-1] so that the k smallest come first and returns
// the k-th smallest (values[k - 1]). k outside 1 .. n changes nothing and
// gives 0.
float SelectKthSmallest(uint32_t k, uint32_t n, float* values);

// A point in the plane of neutrals: ROMM R / G and B / G, times 10000.
struct FNeutralVertex {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const FNeutralVertex&) const = default;
};

// The vertices of neutral polygon 1 to 4, the last repeating the first;
// empty for any other number.
std::span<const FNeutralVertex> NeutralPolygon(int polygon);

// Whether the point lies strictly outside the polygon (on an edge or a vertex
// counts as inside). A polygon without vertices has no outside.
bool IsOutsideNeutralPolygon(std::span<const FNeutralVertex> polygon, FNeutralVertex point);

// The point, or the nearest point of the polygon's boundary when the point is
// outside or force is set. inside (may be null) is false only for a point
// outside. An unknown polygon number returns the point unchanged.
FNeutralVertex ConstrainNeutral(int polygon, FNeutralVertex point, bool force, bool* inside = nullptr);

// The reference illuminant (0 bluest .. 5 warmest) for the six scores, the
// mean chroma of the least colourful quarter of the grid under each: the
// lowest score, with fixed preferences among nearly equal ones.
int ChooseReferenceIlluminant(const double scores[6]);

// The vertex held inside the polygon for the scene brightness bv: polygon 4
// with flash, polygon 1 up to 4.9, 2 from 5.7 to 5.8, 3 above 8.3, and blends
// of the neighbouring polygons between.
FNeutralVertex ConstrainNeutralVertexByBrightness(FNeutralVertex v, double bv, bool flash);

// A ROMM neutral held inside loose limits when no polygon applies: green
// normalised to 1, red at least 0.6 and blue at least 0.5 of the mean level.
FDoubleTriple LimitUnconstrainedNeutral(const FDoubleTriple& romm);

// The triple divided by its largest component, when that gives a usable
// neutral (every component a positive finite number).
std::optional<FDoubleTriple> NormalisedNeutral(const FDoubleTriple& v);

// The camera's neutral under D65 (inverse(camToXYZ) D65, largest component 1),
// or (1, 1, 1) when the matrix gives none.
FDoubleTriple CameraDaylightNeutral(const ColorMatrix3x3& camToXYZ);
