#pragma once
// Working images (signed 48-bit RGB) painted by a function of the position,
// for the tests of the engine's analyses and kernels.
#include "support/TestPixmap.h"

#include <cstdint>

namespace testsupport {

using WorkingImage = TestPixmap<FPixelClass48SRGB>;

// paint(x, y) gives the pixel as {r, g, b} (anything assignable to the pixel).
template <class Paint>
WorkingImage MakeWorkingImage(int32_t columns, int32_t rows, Paint&& paint)
{
    WorkingImage image(columns, rows);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            *image.Get()->GetPixel(x, y) = paint(x, y);
    return image;
}

inline WorkingImage MakeUniformWorkingImage(int32_t columns, int32_t rows, int16_t r, int16_t g, int16_t b)
{
    return MakeWorkingImage(columns, rows, [&](int32_t, int32_t) { return FPixelClass48SRGB{r, g, b}; });
}

} // namespace testsupport
