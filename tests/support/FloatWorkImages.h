#pragma once
// Painting and comparing the float work images of the noise reduction.
#include "engine/noise/NoiseReductionImage.h"

#include <cstdint>

namespace testsupport {

// value(x, y) gives the sample.
template <class Value>
void PaintMono(FloatMonoImage& image, Value&& value)
{
    for (int32_t y = 0; y < image.Rows(); ++y)
        for (int32_t x = 0; x < image.Columns(); ++x)
            image.Row(y)[x].v = value(x, y);
}

// Every sample bit for bit equal (the sizes are the first image's).
inline bool SameImage(const FloatMonoImage& a, const FloatMonoImage& b)
{
    for (int32_t y = 0; y < a.Rows(); ++y)
        for (int32_t x = 0; x < a.Columns(); ++x)
            if (a.Row(y)[x].v != b.Row(y)[x].v)
                return false;
    return true;
}

} // namespace testsupport
