#pragma once
// The RGB colour spaces the engine knows, each named by one id, and the
// colour-matrix work built on them: determinant and inverse, the camera-to-
// working-space matrix of stage 2 and the noise reduction, the row correction
// that removes table-modelled residuals before a fixed-point matrix, and the
// estimate of the colour cast of an image's darkest pixels.
#include "engine/colour/ColorMatrix3x3.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

// Colour-space ids. The ICC profiles, the output colour-space setting and the
// working-space choice of stage 4 use the same numbers.
enum : int32_t {
    kColorSpaceNone = 0,          // the identity matrix
    kColorSpaceSRGBPrimaries = 1, // the primaries of sRGB: the same matrices as sRGB
    kColorSpaceSRGB = 2,
    kColorSpaceAdobeRGB = 3,
    kColorSpaceAppleRGB = 4,
    kColorSpacePALSECAM = 5,
    kColorSpacePrimaries6 = 6,    // 0.64/0.30, 0.29/0.60, 0.15/0.06
    kColorSpaceSMPTEC = 7,
    kColorSpaceColorMatchRGB = 8,
    kColorSpaceWideGamut = 9,
    kColorSpacePrimaries10 = 10,  // 0.64/0.33, 0.28/0.65, 0.15/0.06
    kColorSpaceProPhoto = 11,     // ROMM RGB, the working space of stages 2 to 4
};

// White-point selectors: the white of the XYZ side of a matrix.
enum : int32_t {
    kWhitePointD50 = 0, // the ICC connection space
    kWhitePointD65 = 1, // what every caller in the system uses
};

// The matrix from XYZ (of the selected white) to the space's linear RGB.
// Throws FException "CreateColorSpaceWhitePoint(): Unknown PCS white point"
// for a selector other than 0 or 1, and "... Unknown Color Space" (D50) or
// "... Unknown color space" (D65) for an id outside 0 to 11.
ColorMatrix3x3& CreateColorSpaceWhitePoint(ColorMatrix3x3& out, int32_t colorSpace, int32_t whitePoint);

// Expansion along the first row.
double ColorMatrixDeterminant(const ColorMatrix3x3& matrix);

// Whether the matrix has an inverse that is safe to use: a determinant of a
// finite magnitude of at least 1e-12.
bool ColorMatrixIsInvertible(const ColorMatrix3x3& matrix);

// The adjugate divided by the determinant. A matrix that is not invertible
// (a degenerate camera matrix from camera data) gives the identity instead of
// infinities. out may be the input.
ColorMatrix3x3& ColorMatrixInverse(ColorMatrix3x3& out, const ColorMatrix3x3& matrix);

// out = a (S P), P = X11 M balanced so that the camera white maps to a neutral,
// S having 1 - 2b on the diagonal and b elsewhere. A white with a negative
// component (stage 2 passes -1, -1, -1) means no balancing; so does a white
// that the matrix maps to no positive weight, which could only give infinities.
ColorMatrix3x3& BuildWorkingSpaceMatrix(ColorMatrix3x3& out, const ColorMatrix3x3& cameraMatrix,
                                        const FDoubleTriple& white, double scale, double saturationOffset);

// out = Xid inverse(X11) S, S having 1 + s/3 on the diagonal and -s/6
// elsewhere: the working space to an output space at saturation s.
ColorMatrix3x3& BuildOutputSpaceMatrix(ColorMatrix3x3& out, int32_t colorSpace, double saturation);

// Per pixel of the row, in place: subtract the black offsets, take away the
// table-modelled residuals of each channel and of its difference from the
// weighted mean, apply the fixed matrix, clamp to -500 ... 24000. Look-ups
// index with the value clamped to +-(size / 2 - 1); a table without entries
// counts as all zeros.
void CorrectColorRow(FPixelClass48SRGB* row, int32_t pixelCount, const ColorMatrix3x3Fixed& matrix,
                     const FLUT16RGB& residuals, int32_t offsetR, int32_t offsetG, int32_t offsetB);

// As CorrectColorRow, but also keeps the corrected values before the matrix in
// the same pixel of keepRow (saturated to 16 bits), and clamps the result to
// lowLimit ... highLimit.
void CorrectColorRowKeep(FPixelClass48SRGB* row, FPixelClass48SRGB* keepRow, int32_t pixelCount,
                         const ColorMatrix3x3Fixed& matrix, const FLUT16RGB& residuals, int32_t offsetR,
                         int32_t offsetG, int32_t offsetB, int32_t lowLimit, int32_t highLimit);

// The mean colour (above the black offsets) of the darkest 0.5 % of a grid of
// every fourth row and column of the central 90 %, the darkness measured by
// (R - oR) + (G - oG) + (B - oB) / 2 in a window set by the strengths s0, s1,
// s2. (0, 0, 0) when the grid is too small or too few samples are dark.
FDoubleTriple EstimateDarkColourCast48(const FPixmapTemplate<FPixelClass48SRGB>& image, double s0, double s1,
                                       double s2, int32_t offsetR, int32_t offsetG, int32_t offsetB);
// The same, each component truncated toward zero.
FIntTriple EstimateDarkColourCastInt(const FPixmapTemplate<FPixelClass48SRGB>& image, double s0, double s1,
                                     double s2, int32_t offsetR, int32_t offsetG, int32_t offsetB);
