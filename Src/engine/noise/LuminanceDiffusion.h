#pragma once
// The full-resolution luminance path of the noise reduction: four-neighbour
// anisotropic diffusion with the conductance 1 / (1 + (d / K)^2), K either
// growing with the value by the camera's intensity noise model or constant,
// and the clipping of isolated bright spikes the diffusion leaves standing.
// Border pixels are never diffused or clipped: they are copied.
#include "engine/core/RunRowBands.h"
#include "engine/noise/NoiseReductionImage.h"

#include <cstdint>

// The edge scale c0 + c1 v of the noise-model diffusion. A scale that is not
// positive at some value counts as a tiny one there (no diffusion there).
struct IntensityNoiseModel {
    float c0;
    float c1;
};

// Rows firstRow to lastRow of one band. The first iteration reads source and
// writes destination; every further one works on destination in place, and is
// only sound when no other thread writes the image meanwhile (the banded forms
// below give each iteration its own band pass). No iterations copy the rows.
// lambda is taken within 0 .. 0.25, where the diffusion cannot overshoot (no
// number counts as 0: a copy); an integer K that is not positive copies too.
void AnisoDiffusionNMRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations,
                          const IntensityNoiseModel& noiseModel, float lambda, int32_t firstRow, int32_t lastRow);
void AnisoDiffusionRows(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations, int32_t k,
                        float lambda, int32_t firstRow, int32_t lastRow);

// The whole image in bandCount bands, one band pass per iteration: the result
// equals that of one band.
void AnisoDiffusionNM(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations,
                      const IntensityNoiseModel& noiseModel, float lambda, uint32_t bandCount = kRowBandCount);
void AnisoDiffusion(FloatMonoPixmap& destination, const FloatMonoPixmap& source, int32_t iterations, int32_t k,
                    float lambda, uint32_t bandCount = kRowBandCount);

// The same diffusions on one image in place, every iteration like a further
// one above: image := AnisoDiffusion(image) with no second image. No
// iterations (or lambda 0, or K not positive) leave the image as it is.
void AnisoDiffusionNMInPlace(FloatMonoPixmap& image, int32_t iterations, const IntensityNoiseModel& noiseModel,
                             float lambda, uint32_t bandCount = kRowBandCount);
void AnisoDiffusionInPlace(FloatMonoPixmap& image, int32_t iterations, int32_t k, float lambda,
                           uint32_t bandCount = kRowBandCount);

// A pixel above its left and right column neighbourhoods and not below the
// pixels above and below it becomes the largest of its eight neighbours.
// destination and source must be different images.
void ClipLocalMaxima(FloatMonoPixmap& destination, const FloatMonoPixmap& source);
// Row y of that into out (source columns wide), for callers that consume the
// clipped image row by row.
void ClipLocalMaximaRow(FPixelClassFlt32Mono* out, const FloatMonoPixmap& source, int32_t y);
