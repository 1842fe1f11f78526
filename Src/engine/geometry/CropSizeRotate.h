#pragma once
// Cutting a rectangle out of an image, scaling it to the wanted output size
// and turning it by quarter turns, all in one resampling pass. Every output
// pixel comes from a 4 x 4-tap filter whose weights, one set per 1/16-pixel
// phase in each direction, are built per call from the scale factors; an
// output of exactly the source's size copies pixels instead.
//
// Geometry shared by the functions:
//   - crop: the source rectangle (right and bottom exclusive);
//   - output width and height: the size of the whole scaled and turned image;
//   - window: the part of that whole output that is produced (right and bottom
//     exclusive); its top-left pixel goes to pixel (0, 0) of the output pixmap;
//   - rotation: clockwise degrees, a multiple of 90, taken modulo 360.
// Filter taps that would fall outside the source repeat its edge pixels, so
// the border of a scaled picture is as clean as its middle.
//
// Every function checks its arguments before it writes anything and throws
// FExceptionPixelProc2 for: a rotation that is not a multiple of 90 degrees;
// missing images or images of another pixel type; a crop that is empty or
// leaves the source; an output size below 1 x 1; a window outside the output
// size or larger than the output pixmap. The rows are produced in bands.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <vector>

// 256 phases x 16 taps of 16.16 weights. Phase (px, py) holds the weights of
// taps (tx, ty) at columns base - 1 + tx and rows base - 1 + ty for a position
// px/16 and py/16 of a pixel right of and below the base pixel.
class FResampleKernel {
public:
    static constexpr int kPhases = 16;
    static constexpr int kTaps = 4;

    const int32_t* Phase(int32_t px, int32_t py) const { return &m_aWeights[(16 * py + px) * 16]; }

    std::vector<int32_t> m_aWeights = std::vector<int32_t>(4096, 0);
};

// The radial kernel for nearly equal scales (ratio strictly between 0.9 and
// 1.1), else the separable one.
FResampleKernel BuildResampleKernel(double xScale, double yScale);
// A windowed sinc of the distance from the sampled position.
FResampleKernel BuildRadialKernel(double xScale, double yScale);
// The product of one windowed sinc per axis; the smaller scale is capped at
// 0.8 and the larger at 1.1.
FResampleKernel BuildSeparableKernel(double xScale, double yScale);

// The colour working image of stage 3. source, outputColor: PIXEL_48S_RGB;
// outputLightness: PIXEL_16S_MONO. Each output pixel gets the tone table
// (cube-root codes) on its three channels plus a green detail term (scaled by
// greenWeight, greenHighLimit its size), and its lightness goes to
// outputLightness. Returns the scale factor for MakeLumaDetail: 1 when the
// pixels are copied, otherwise the output's extent along the source's x axis
// divided by imageWidth (1 when imageWidth is not positive). imageHeight and
// greenLowLimit are not used.
double CropSizeRotateMore(const FPixmap* source, const FIntRect& crop, int32_t imageWidth, int32_t imageHeight,
                          int32_t outputWidth, int32_t outputHeight, const FIntRect& window, uint32_t rotation,
                          const FLUT16& toneTable, FPixmap* outputColor, FPixmap* outputLightness,
                          double greenWeight, int32_t greenHighLimit, int32_t greenLowLimit);

// A 16-bit grey image (PIXEL_16S_MONO in and out), copied only when the output
// extents equal the crop's size. imageWidth and imageHeight are not used.
void CropSizeRotateMono(const FPixmap* source, const FIntRect& crop, int32_t imageWidth, int32_t imageHeight,
                        int32_t outputWidth, int32_t outputHeight, const FIntRect& window, uint32_t rotation,
                        FPixmap* output);

// Display pixmaps (PIXEL_32_BGRA in and out): the whole source is the crop,
// scaled by one factor taken from the source's width. Copies pixels (alpha
// included) at scale 1; otherwise filters B, G and R and sets alpha to 255.
void CropSizeRotate(const FPixmap* source, FPixmap* output, int32_t outputWidth, int32_t outputHeight,
                    const FIntRect& window, uint32_t rotation);

// Q12 weights of the 5 x 5 separable low-pass of MakeLumaDetail: the pair of
// outer taps, the pair of inner taps and the centre.
struct FLumaDetailWeights {
    int32_t outer;
    int32_t inner;
    int32_t centre;
};
FLumaDetailWeights LumaDetailWeights(double strength);

// Replaces each pixel of a PIXEL_16S_MONO image (in place) by itself minus a
// 5 x 5 separable low-pass of the unchanged image, edges repeated; the
// low-pass widens with strength up to 2 (the scale factor of the picture).
// Another pixel type throws FExceptionPixelProc2.
void MakeLumaDetail(FPixmap* image, double strength);
