#pragma once
// The float work images of the noise reduction: a pixmap header over pixels of
// its own, zero-filled when made unless the maker writes every pixel itself,
// rows packed. They live for one call. Also the guard that every noise-model
// divisor passes through.
#include "foundation/FPixmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Asks for a work image whose pixels are left as the allocator gives them:
// for images that are written in full before they are read, so that making
// them costs no pass over the memory.
struct UnfilledPixels {};

template <class PixelClass>
class NoiseReductionImage {
public:
    // A negative size counts as 0: an empty image, never a bad allocation size.
    NoiseReductionImage(int32_t columns, int32_t rows)
        : m_Pixels(std::make_unique<PixelClass[]>(PixelCount(columns, rows))),
          m_Pixmap(m_Pixels.get(), Positive(columns), Positive(rows), 0)
    {
    }
    NoiseReductionImage(int32_t columns, int32_t rows, UnfilledPixels)
        : m_Pixels(std::make_unique_for_overwrite<PixelClass[]>(PixelCount(columns, rows))),
          m_Pixmap(m_Pixels.get(), Positive(columns), Positive(rows), 0)
    {
    }
    NoiseReductionImage(const NoiseReductionImage&) = delete;
    NoiseReductionImage& operator=(const NoiseReductionImage&) = delete;

    FPixmapTemplate<PixelClass>& Pixmap() { return m_Pixmap; }
    const FPixmapTemplate<PixelClass>& Pixmap() const { return m_Pixmap; }
    PixelClass* Row(int32_t y) const { return m_Pixmap.GetRow(y); }
    int32_t Columns() const { return m_Pixmap.m_iColumns; }
    int32_t Rows() const { return m_Pixmap.m_iRows; }

private:
    static int32_t Positive(int32_t n) { return n > 0 ? n : 0; }
    static size_t PixelCount(int32_t columns, int32_t rows)
    {
        return static_cast<size_t>(Positive(columns)) * static_cast<size_t>(Positive(rows));
    }

    std::unique_ptr<PixelClass[]> m_Pixels;
    FPixmapTemplate<PixelClass> m_Pixmap;
};

using FloatRGBPixmap = FPixmapTemplate<FPixelClassFlt32RGB>;
using FloatMonoPixmap = FPixmapTemplate<FPixelClassFlt32Mono>;
using WorkingPixmap = FPixmapTemplate<FPixelClass48SRGB>;
using FloatRGBImage = NoiseReductionImage<FPixelClassFlt32RGB>;
using FloatMonoImage = NoiseReductionImage<FPixelClassFlt32Mono>;

// The noise model's variances and edge scales come from camera data: one that
// is zero, negative or no number becomes this small positive value, so a
// division by it stays finite and merely stops smoothing there.
inline constexpr float kMinimumNoiseDivisor = 1e-6f;

inline float PositiveDivisor(float value)
{
    return value > kMinimumNoiseDivisor ? value : kMinimumNoiseDivisor;
}
