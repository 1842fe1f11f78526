#pragma once
// Noise reduction of the working image guided by a reference image of the
// same size (the image before the colour matrix). The ratio between the two
// is smooth except at edges, so the logarithm of the ratio is smoothed with an
// edge-aware recursive exponential filter whose edge weights come from the
// reference, an estimate of the image is rebuilt from it, and part of the
// difference between the image and its estimate is restored where the
// reference is bright or shows edges. Every filter is a two-sided first-order
// recursive filter along the rows and then down the columns, a separable
// two-dimensional filter at a constant cost per pixel. The column filters work
// through the rows a block at a time, so the call holds one float per pixel
// (the edge map) and a few blocks of rows, never a whole image of sums.
#include "engine/core/RunRowBands.h"
#include "foundation/FPixmap.h"

#include <cstddef>
#include <cstdint>

// Bytes of work area the line buffers take for a W x H image: 292 x max(W, H).
size_t FIRWorkAreaBytes(int32_t W, int32_t H);

// A: the working image, B: the reference, both FPixmap::PIXEL_48S_RGB of the
// same size (otherwise nothing happens). Both are first clamped to 1 .. N-1
// with N = min(24000, trunc(36000 / b)); B keeps the clamped values. A is
// rewritten with values in -500 .. 24000, scaled by min(gain, 7) x b.
//
// The line buffers go into workArea when it holds FIRWorkAreaBytes (and is
// aligned for floats), else into buffers of the call's own. The edge map, the
// blocks and the tables made from the images belong to the call; the tables
// that depend on N alone are made once per N and shared by later calls. When
// any of them cannot be obtained, A and B are left unchanged. Images narrower
// or lower than 3 pixels, an ISO residual b that is not positive or leaves N
// below 2, are left unchanged too.
// iterations is accepted for the stage's call and does not repeat any step.
void FIRNoiseReduction(FPixmap* A, FPixmap* B, float ProportionLocalMeanRef, float ProportionLocalMeanEdgeRef,
                       float ProportionLocalMeanImgWithEdgeRef, float Locality, float SigmoidOffset,
                       float ScaleFactorEdgeRef, float ScaleFactorLocalMeanEdgeRef, float EdgeMapExponent,
                       uint16_t iterations, float gain, float b, void* workArea, size_t workAreaBytes,
                       uint32_t bandCount = kRowBandCount);
