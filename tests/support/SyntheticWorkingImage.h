#pragma once
// The synthetic camera's shot in the forms the engine's stages take, without a
// file: the stored frames as pixmaps, raw - dark as a working image, and the
// camera data parsed.
#include "fileio/container/CambData.h"
#include "support/SyntheticCamera.h"
#include "support/WorkingImage.h"

#include <memory>
#include <vector>

namespace testsupport {

// raw - dark over the whole stored frame (what the first stage gives with the
// camera's identity LinLUTs and no column offsets): dark level removed;
// vignetting, noise, hot pixels and the shield's zero signal kept.
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

// The raw frame (or the dark frame) as the loader delivers it: unsigned 48-bit RGB.
inline TestPixmap<FPixelClass48RGB> MakeSyntheticFrame(const SyntheticRaw& shot, bool dark)
{
    const std::vector<uint16_t>& samples = dark ? shot.dark : shot.raw;
    const int32_t W = int32_t(shot.truth.storedColumns), H = int32_t(shot.truth.storedRows);
    TestPixmap<FPixelClass48RGB> frame(W, H);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            const size_t at = (size_t(y) * size_t(W) + size_t(x)) * 3;
            *frame.Get()->GetPixel(x, y) = FPixelClass48RGB{samples[at], samples[at + 1], samples[at + 2]};
        }
    return frame;
}

// The camera data of a shot, parsed; the container keeps its own copy of the bytes.
struct SyntheticCamdata {
    explicit SyntheticCamdata(const SyntheticRaw& shot)
        : bytes(shot.camdata), camdata(std::make_unique<FCamdata>(bytes.data(), bytes.size()))
    {
    }
    std::vector<uint8_t> bytes;
    std::unique_ptr<FCamdata> camdata;
    const FCamdata* get() const { return camdata.get(); }
};

} // namespace testsupport
