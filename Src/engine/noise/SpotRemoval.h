#pragma once
// Removal of isolated bright or dark pixels (speckles) from the stage-2
// working image, judged on each pixel's 3 x 3 neighbourhood. Despeckle judges
// by the luma R + 2G + B and replaces a speckle by the colour of its most
// similar extreme neighbour, limited towards the pixel's own components;
// DespeckleChannels treats each component on its own and clamps a strict
// extreme of its neighbourhood to the neighbourhood's extreme.
//
// Every pixel is judged on the image as it was before despeckling: the row
// kernels carry the row's own unchanged values along, and the drivers hand
// them the unchanged row above. So the result does not depend on the order in
// which rows are done, and a run in row bands equals a run in one band.
#include "engine/core/RowBandEdges.h"
#include "engine/core/RunRowBands.h"
#include "foundation/FPixmap.h"

#include <cstdint>

// Rewrite pixels 1 .. W-2 of row, with above and below its neighbour rows.
void DespeckleRowLuma(const FPixelClass48SRGB* above, FPixelClass48SRGB* row, const FPixelClass48SRGB* below,
                      int32_t W);
void DespeckleRowChannels(const FPixelClass48SRGB* above, FPixelClass48SRGB* row, const FPixelClass48SRGB* below,
                          int32_t W);

// One band, rows firstRow .. lastRow (inclusive) limited to 1 .. H-2, of a
// FPixmap::PIXEL_48S_RGB image. edges gives the rows just outside the band
// as they were before any band started; without it (a single band) they are
// read from the image. Throw FExceptionPixelProc2 for a missing image or one
// smaller than 3 x 3.
void Despeckle(FPixmap* image, uint32_t firstRow, uint32_t lastRow, const RowBandEdges* edges = nullptr);
void DespeckleChannels(FPixmap* image, uint32_t firstRow, uint32_t lastRow, const RowBandEdges* edges = nullptr);

// Band callbacks: pContextA the image, pContextB the RowBandEdges (or null).
int DespeckleBand(RowBandJob* job);
int DespeckleChannelsBand(RowBandJob* job);

// The whole image in bands, checked first on the calling thread.
void DespeckleImage(FPixmap* image, bool byChannels, uint32_t bandCount = kRowBandCount);
