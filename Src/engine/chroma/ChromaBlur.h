#pragma once
// Chroma noise reduction on 16-bit RGB rows. Each pixel is compared with a
// smoothed version of its neighbourhood; the per-channel difference goes
// through the chroma-weight table (small differences pass, large ones fade
// out, so edges survive) and the common part of the three corrections is
// removed, so that mainly the pixel's colour moves, not its brightness.
//
// Three neighbourhoods: a 3 x 3 binomial window, a 5 x 5 box window whose
// colour is rescaled to the pixel's own brightness, and a large neighbourhood
// built from 4 x 4 block sums smoothed by first-order recursive filters.
// Integer arithmetic throughout; right shifts are arithmetic.
#include "engine/core/RunRowBands.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// Rows of the horizontally filtered input, slot 0 the oldest. Every kernel
// call fills the newest slot and then rotates: each slot takes the next one's
// buffer and the newest the old first one.
struct ChromaBlurWindow3 {
    FPixelClass48SRGB* apRows[3];
};
struct ChromaBlurWindow5 {
    FPixelClass48SRGB* apRows[5];
};

// Driving a row kernel over an image of H rows (d = 1 for the 3-row window,
// 2 for the 5-row one), window buffers zeroed: for y = 0 .. H + d - 1 the
// input is row min(y, H - 1) and the output row y - d (none while y < d);
// just before the call with y = d the slot holding row 0 (slot d of the
// window) is copied into every older slot, so the top row repeats.

// Feeds in into the window and, when out is given, corrects out (the row in
// the middle of the window) in place. dq and s are not used.
void ChromaBlurRow3(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, const FDoubleTriple& dq, int32_t s,
                    ChromaBlurWindow3& window, int32_t W, const FLUT16RGB& table, int32_t shift);
// c is the brightness offset; below 1 it is taken as 1. dq is not used.
void ChromaBlurRow5(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, const FDoubleTriple& dq, int32_t c,
                    ChromaBlurWindow5& window, int32_t W, const FLUT16RGB& table, int32_t shift);

// One pixel per 4 x 4 block of a W x H image, row-major.
struct ChromaBlurBlocks {
    FPixelClass48SRGB* pData = nullptr;
    int32_t iColumns = 0; // (W + 3) / 4
    int32_t iRows = 0;    // (H + 3) / 4
};
size_t ChromaBlurBlockCount(int32_t W, int32_t H);

// Fills the blocks from the whole image (FPixmap::PIXEL_48S_RGB), smoothed
// from the bottom up with decay length x (in pixels). The block geometry must
// be that of the image (assertions).
void ChromaBlurBlockSums(const FPixmap& image, double x, const ChromaBlurBlocks& blocks);

// Corrects image row y in place from the blocks: x1 is the horizontal and x2
// the vertical decay length, c the brightness offset (below 1 taken as 1);
// state holds 2 x W pixels (the vertical filter state V, then the current
// block row brought to full width U). Must be called for y = 0, 1, 2, ... in
// order. dq is not used.
void ChromaBlurLargeRow(FPixelClass48SRGB* row, int32_t y, double x1, double x2, const FDoubleTriple& dq,
                        int32_t c, const ChromaBlurBlocks& blocks, FPixelClass48SRGB* state, int32_t W,
                        const FLUT16RGB& table, int32_t shift);

// Chroma blur in place of a display pixmap (FPixmap::PIXEL_32_BGRA) with
// three chroma strengths and the offset parameter a (brightness offset
// 10 a); every alpha byte becomes 255. Any other pixmap is left alone.
void ChromaBlurDisplayPixmap(FPixmap* display, int32_t s0, int32_t s1, int32_t s2, int32_t a);

// Whole-image passes over a working image (FPixmap::PIXEL_48S_RGB), driven as
// above, in row bands: each band keeps its own window and reads the rows just
// outside it from copies taken before the bands start, so the result does not
// depend on the band count. Bands stop between rows once *cancel is non-zero
// (cancel may be null); the result is then false and the image holds a partly
// corrected pass (rows already corrected stay so). True when the pass is done.
bool ChromaBlurImage3(FPixmap* image, const FDoubleTriple& dq, int32_t s, const FLUT16RGB& table, int32_t shift,
                      const std::atomic<char>* cancel, uint32_t bandCount = kRowBandCount);
bool ChromaBlurImage5(FPixmap* image, const FDoubleTriple& dq, int32_t c, const FLUT16RGB& table, int32_t shift,
                      const std::atomic<char>* cancel, uint32_t bandCount = kRowBandCount);
// The block sums with decay length x, then every row through the large
// kernel with x1 and x2; each band first brings the vertical filter state
// up to its first row.
bool ChromaBlurLargeImage(FPixmap* image, double x, double x1, double x2, const FDoubleTriple& dq, int32_t c,
                          const FLUT16RGB& table, int32_t shift, const std::atomic<char>* cancel,
                          uint32_t bandCount = kRowBandCount);
