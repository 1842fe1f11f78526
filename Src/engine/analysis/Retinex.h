#pragma once
// Local contrast (Retinex): the working image's log luma, its smooth
// illumination from an image pyramid and the local spread of the detail around
// it give a normalised local-contrast image, which stage 4 turns into a
// brightness gain through the Retinex gain table.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Mean, minimum and maximum of a mono image.
struct FRetinexStats {
    int32_t iMean = 0;
    int32_t iMinimum = 0;
    int32_t iMaximum = 0;
};

// input: FPixmap::PIXEL_48S_RGB; output: FPixmap::PIXEL_16S_MONO of the same
// size (anything else throws FExceptionPixelProc2). Writes
// K (L - P) / V - L per pixel, L the centred log luma (ln x 1024), P its
// illumination and V the local spread, and returns the suggested Retinex
// strength (a multiple of 0.1) for the exposure: time t in seconds, aperture N,
// ISO. A cancel flag that becomes non-zero stops the work between rows and
// gives 0. Images of one row or one column have no detail: the output is -L.
double ApplyRetinex(const FPixmap* input, FPixmap* output, double exposureTime, double aperture, int iso,
                    const std::atomic<char>* cancel);

// Fills all 65536 entries with Q-unity gains u exp(k tanh(d / (1024 (|k| +
// 0.0625)^0.25))), k = 1.33 strength, d the signed index: u at 0, saturating
// at u exp(+-k) (and at 32767). A strength that is 0 or no finite number gives u
// everywhere. The table must hold 0x10000 entries (assertion).
void MakeRetinexGainLUT(FLUT16& table, double strength, int unity);

// The words of temporary area RetinexPyramid needs for a w x h image.
size_t RetinexPyramidWorkWords(int32_t columns, int32_t rows);

// The smooth version of a mono image (output may be the input), built in the
// given temporary area. stats receives the statistics of the first pyramid
// level at most 200 wide (of the input when it has no level: fewer than 2
// columns or rows, in which case the output is a copy of the input). An area
// smaller than RetinexPyramidWorkWords fails an assertion.
void RetinexPyramid(FRetinexStats& stats, const FPixmap& input, FPixmap& output, int16_t* workArea,
                    size_t workWords);

// 2 x 2 means of in into out (an odd last column averages the last two
// columns, rows beyond the last repeat it); returns the mean of the output.
double RetinexDownsample(const FPixmap& in, FPixmap& out);

// out = (a x coarse brought up 1:2 + b x fine), a and b in Q8; out may be fine.
// rowBuffers: RetinexUpsampleBufferWords(coarse columns) words.
void RetinexUpsampleBlend(const FPixmap& coarse, const FPixmap& fine, FPixmap& out, double a, double b,
                          int16_t* rowBuffers, size_t bufferWords);
size_t RetinexUpsampleBufferWords(int32_t coarseColumns);

// Minimum and maximum of all values; the mean of the row means (integer
// divisions toward zero).
int32_t MonoImageStats(const FPixmap& image, int32_t& minimum, int32_t& maximum);
