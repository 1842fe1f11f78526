#pragma once
// Stage 1 of a development with a dark frame: sensor counts become linear,
// dark-subtracted working values. Each raw and dark sample goes through the
// camera's linearisation table (identity without one) after an optional
// per-column offset that removes the column pattern measured in the dark
// frame, and the linearised dark value is taken from the linearised raw value.
// The same call derives the linearised saturation and dark levels of each
// channel, which stage 2 needs.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <vector>

class FCamdata;

// One column's offset per channel, added to raw and dark before the table.
struct ColumnOffset {
    int16_t r = 0;
    int16_t g = 0;
    int16_t b = 0;
};

// Checks the images stage 1 works on, throwing FExceptionPixelProc2 on the
// first fault: a null image, dark and raw or raw and output of different
// sizes, or images not of the unsigned (raw, dark) and signed (output) 48-bit
// types the row kernels read and write. Touches no pixel.
void LinearizeAndDarkSubtractImage(const FPixmap* darkImage, const FPixmap* rawImage, const FLUT16RGB* table,
                                   FPixmap* outImage);

// One row: out = T[raw] - T[dark] per channel (raw - dark without a table),
// stored as the low 16 bits of the difference.
void LinearizeRow(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                  const FLUT16RGB* table, FPixelClass48SRGB* out);
// The same with each column's offset added to raw and dark before the table
// (the index wraps through the table's mask); without a table the offset
// cancels.
void LinearizeRowWithOffsets(const FPixelClass48RGB* dark, const FPixelClass48RGB* raw, int32_t pixelCount,
                             const FLUT16RGB* table, FPixelClass48SRGB* out, const ColumnOffset* offsets);

// The column offsets of the dark frame's rows first, first + step, ... up to
// last: per column and channel the sum with its brightest and darkest sample
// dropped, smoothed along the row by a forward-backward integer recursive
// filter of shift s, minus the column's own sum, divided by the rows counted
// less two. The dark frame is of type PIXEL_48_RGB. Empty when the rows do not give at least three samples per column
// (a step of 0 gives none) or do not lie inside the frame.
std::vector<ColumnOffset> EstimateColumnOffsets(const FPixmap& darkImage, uint32_t firstRow,
                                                uint32_t lastRow, uint32_t rowStep, uint32_t shift);

// The linearised saturation levels of "RawSaturationLevel" and the linearised
// mean of the dark frame over the shield area "DarkShieldTop" (moved by the
// stored image's position "KeepImageArea" and clipped to the frame). Both stay
// 0 when the saturation levels are all 0, the area holds no sample or its mean
// rounds to 0 in every channel.
void ComputeStage1Levels(const FCamdata* camdata, const FPixmap& darkImage,
                         const FLUT16RGB* table, FIntTriple& saturationLevel, FIntTriple& darkLevel);
