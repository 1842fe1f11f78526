#pragma once
// The per-row sensor and colour corrections of stage 2 and the fixed-point
// operations they rest on: column crosstalk and periodic column pattern
// removal, the dark offset ramp across a row, the camera's polynomial colour
// correction and the spatial gain; the interpolation of the ramp and gain
// records for a given row; and the per-row dark offsets measured in the
// optically black columns at both ends of the sensor.
//
// Fixed point: Q14 is 16384 = 1.0, Q11 is 2048 = 1.0; a real value becomes
// trunc(v x 2^F) (saturating, NaN gives 0). Products and sums are formed in
// 64 bits, so that calibration values far outside their usual range give a
// limited pixel instead of an overflow.
#include "fileio/container/CambData.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

// ---- Polynomial colour correction

// Q14 coefficients of the nine terms r^2, g^2, b^2, rg, rb, gb, r^3, g^3, b^3,
// one row per output component; the inputs are read as Q14 fractions.
struct PolyCorrection {
    enum : int {
        kTermCount = 9,
        kFirstCrossTerm = 3,
        kFirstCubeTerm = 6,
    };
    int32_t aiCoeff[3][kTermCount] = {};
    // Copies of each component's own square and own cube (row k, terms k and 6 + k).
    int32_t aiOwnSquare[3] = {};
    int32_t aiOwnCube[3] = {};
};

// The cheapest form that gives the full form's result for a record.
enum class PolyCorrectionForm {
    None,     // every coefficient 0: values pass unchanged
    Diagonal, // only own squares and own cubes
    Squares,  // squares only, some of another component
    Full,
};

// Builds the record from the 27 floats of a 3 x 9 matrix (row-major, one row
// per output component): trunc(f x 16384) per element.
void PolyCorrectionFromMatrix(PolyCorrection& record, const float* matrix27);
PolyCorrectionForm PolyCorrectionChooseForm(const PolyCorrection& record);

// out_k = in_k + ((sum_j P[k][j] t_j) >> 14), the terms in Q14. Inputs beyond
// +-2^18 (eight times the 16-bit range) are limited first.
void PolyCorrectionApply(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out);
// Only the three square terms.
void PolyCorrectionApplySquares(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out);
// Only each component's own square and cube.
void PolyCorrectionApplyDiagonal(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out);
// The full form on a triple of doubles, each rounded to the nearest integer
// first (trunc(v + 0.5)); for colours outside the pixel loops.
void PolyCorrectionOnTriple(const float* matrix27, const FDoubleTriple& in, FDoubleTriple& out);

// ---- Ramp and gain records

// A ramp record is six doubles: the total slopes across a row for R, G, B,
// then the base (mean) offsets R, G, B. firstAndLast12 holds the records of
// the first and the last image row; out6 gets row y's record, interpolated
// linearly with t = y / (H - 1) (t = 0 when H < 2).
void InterpolateRowRamp(double* out6, const double* firstAndLast12, int32_t y, int32_t H);

// Row y's gain row (table.m_iColumns entries of R, G, B floats into out),
// interpolated in single precision between the two table rows around
// y / (H - 1) x (rows - 1).
void InterpolateGainRow(const CamdataRGBTable& table, int32_t y, int32_t H, float* out);

// Corrects one working row (FPixmap::PIXEL_48S_RGB, W pixels) in place: column
// crosstalk (first-difference factors D1, square-difference factors D2), the
// periodic column pattern of period u (scale PS and offset PO at columns
// 0, u, 2u, ... when u > 1), the ramp record centred on the row's middle, the
// offsets, the polynomial (27 floats), and the gain row of v entries (R, G, B
// floats) scaled per component by gainFactors. Results are limited to 32000
// above and to the 16-bit range below. A gain row of one entry is a constant
// gain; none (v < 1 or null) is a gain of 1.
void CorrectionProcessRow(FPixelClass48SRGB* row, int32_t W, const FDoubleTriple& D1, const FDoubleTriple& D2,
                          const FDoubleTriple& PS, const FDoubleTriple& PO, int32_t u, const double* ramp6,
                          const FDoubleTriple& offsets, const float* polyMatrix27, const float* gainRow, int32_t v,
                          const FDoubleTriple& gainFactors);

// ---- Dark offsets per row

// Fills rowOffsets[0 .. H-1] with each row's dark offset (pixel units) measured
// in the dark-shield columns c0..c1 and c2..c3 (inclusive) of the image (type
// FPixmap::PIXEL_48S_RGB), then filtered across rows: a 3-row median and a
// forward-backward recursive smoothing with a = 1 - exp(-1 / s), scaled by g.
// D1 are the first-difference factors of the column filter, ramps12 the ramp
// records of the first and the last row, activeArea the rows that carry
// image (right and bottom exclusive); rows outside it copy the nearest active
// rows. With colorAverage every row's offset becomes one common row pattern
// scaled per component.
//
// Every offset is 0 when a range has fewer than four columns, the active area
// fewer than ten rows, g is not a positive finite number, s is not positive, or the ranges or the active area
// do not lie inside the image (column 0 excluded: each column reads its left
// neighbour).
void EstimateRowOffsets(FDoubleTriple* rowOffsets, const FPixmap* image, int32_t H, int32_t c0, int32_t c1, int32_t c2,
                        int32_t c3, const FDoubleTriple& D1, const double* ramps12, double g, double s,
                        const FIntRect& activeArea, bool colorAverage);
