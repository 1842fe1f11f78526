#pragma once
// The synthetic camera's frames as working images, for tests of engine kernels
// that start after the dark subtraction.
#include "support/SyntheticCamera.h"
#include "support/WorkingImage.h"

namespace testsupport {

// raw - dark over the whole stored frame (the form a development works on
// after its first stage when the camera data has an identity LinLUTs and the
// column pattern is left in): dark level removed, vignetting, noise, hot
// pixels and the shield's zero signal kept.
inline WorkingImage MakeSyntheticWorkingImage(const SyntheticRaw& shot)
{
    const int32_t W = int32_t(shot.truth.storedColumns);
    return MakeWorkingImage(W, int32_t(shot.truth.storedRows), [&](int32_t x, int32_t y) {
        const size_t at = (size_t(y) * size_t(W) + size_t(x)) * 3;
        int16_t v[3];
        for (size_t k = 0; k < 3; ++k)
            v[k] = shot.darkSubtractedFrame.empty() ? int16_t(int32_t(shot.raw[at + k]) - int32_t(shot.dark[at + k]))
                                                    : shot.darkSubtractedFrame[at + k];
        return FPixelClass48SRGB{v[0], v[1], v[2]};
    });
}

} // namespace testsupport
