#pragma once
// Highlights that clip in one channel turn colour as the other channels keep
// rising. Stage 2 pulls pixels between a lower level and the common clip
// level towards the neutral colour of their brightness, makes pixels beyond
// the clip level neutral, and then greys and smooths their neighbourhood.
// Integer arithmetic on signed 16-bit working rows; Q12 is 4096 = 1.0.
// Pulled and greyed components stop at the working cap 32000.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

// From the white-balance gains and the saturation levels T: the upper clip
// levels U (all on the neutral colour, set by the channel that saturates
// first at 9/8 of its level), the neutral proportions N in Q12 and the lower
// levels Lo where the pull starts, which depend on the exposure time x in
// seconds and the gain ratio r.
void HighlightClipLevels(const FDoubleTriple& gains, const FIntTriple& T, FIntTriple& Lo, FIntTriple& U,
                         FIntTriple& N, float x, float r);

// The rotating rows of the neutralisation, W entries each: flag rows F0..F2
// stand for rows y+1, y, y-1 and G0..G4 for rows y+2 .. y-2 while row y is
// processed; O0..O2 hold the smoothed results of rows y-2, y-3, y-4 until they
// are written back (two rows late, so the five-row window reads unchanged
// pixels). All zeroed before the first row.
struct HighlightRowBuffers {
    uint8_t* apF[3];
    uint8_t* apG[5];
    FPixelClass48SRGB* apO[3];
};

// One call per image row y = 0, 1, 2, ... in order; rows[0..4] are rows y,
// y-1, .. y-4, null while not available. full greys the marked pixels fully
// (long multi-frame exposures) instead of halfway. Rows narrower than 5
// pixels and level ranges U_G - Lo_G below 20 are left unchanged.
void NeutralizeHighlightRow(FPixelClass48SRGB* const (&rows)[5], HighlightRowBuffers& buffers, bool full, int32_t W,
                            const FIntTriple& Lo, const FIntTriple& U, const FIntTriple& N);

// NeutralizeHighlightRow over every row of a 48-bit signed RGB image, in
// bands, with its result: each band replays the rows just above and below its
// own on private copies, so that its rows see the buffers and neighbours the
// row-by-row run gives them.
void NeutralizeHighlightImage(FPixmap* image, bool full, const FIntTriple& Lo, const FIntTriple& U,
                              const FIntTriple& N, uint32_t bandCount);
