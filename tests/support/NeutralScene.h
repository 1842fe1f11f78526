#pragma once
// Working images of a scene of known neutral, for the automatic white
// balances: surfaces given as seen under a neutral light, lit by a light whose
// camera response (the true neutral) is known, seen by a test camera.
#include "engine/colour/ColorMatrix3x3.h"
#include "engine/colour/ColorSpaces.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>

namespace testsupport {

// Whites (XYZ, Y = 100) of the test lights.
inline constexpr double kDaylightXYZ[3] = {95.047, 100.0, 108.883};  // D65
inline constexpr double kTungstenXYZ[3] = {106.1, 100.0, 44.5};      // 3200 K

namespace detail {

inline FDoubleTriple Normalised(const FDoubleTriple& v)
{
    return v / std::max({v.r, v.g, v.b});
}

// Surfaces under a neutral light: greys, and colours drawn beside their
// complements (the grey of the same mean on the other side), so that the
// pairs average to grey.
constexpr double kSurfaces[][3] = {
    {0.9, 0.9, 0.9},     {0.6, 0.6, 0.6},     {0.35, 0.35, 0.35}, {0.2, 0.2, 0.2},    {0.09, 0.09, 0.09},
    {0.55, 0.2, 0.15},   {0.15, 0.55, 0.2},   {0.2, 0.15, 0.55},  {0.5, 0.35, 0.05},  {0.35, 0.05, 0.5},
    {0.05, 0.5, 0.35},   {0.25, 0.08, 0.12},  {0.08, 0.12, 0.25}, {0.12, 0.25, 0.08}, {0.45, 0.45, 0.45},
};

} // namespace detail

// A camera whose channels see D65 as (0.5, 1, 0.7).
inline ColorMatrix3x3 NeutralSceneCameraToXYZ()
{
    const ColorMatrix3x3 srgb{{0.4124, 0.3576, 0.1805, 0.2126, 0.7152, 0.0722, 0.0193, 0.1192, 0.9505}};
    ColorMatrix3x3 out;
    return ColorMatrixMultiply(out, srgb, ColorMatrix3x3::Diagonal(1 / 0.5, 1.0, 1 / 0.7));
}

// The camera's response to a white of the given XYZ, largest component 1.
inline FDoubleTriple NeutralSceneNeutralUnder(const double xyz[3])
{
    ColorMatrix3x3 inverse;
    ColorMatrixInverse(inverse, NeutralSceneCameraToXYZ());
    FDoubleTriple n;
    return detail::Normalised(ColorMatrixApply(n, inverse, FDoubleTriple(xyz[0], xyz[1], xyz[2])));
}

// Patches of greys and colours, each colour beside its complement so that
// every part of the picture averages to grey, with a texture of +-3 %. A white
// surface reaches Y = 100 on the scale of the chroma-weighted estimator
// (camera values x 0.0156); values stay below 16000.
inline WorkingImage MakeNeutralScene(int32_t width, int32_t height, const FDoubleTriple& neutral, uint32_t seed = 5)
{
    FDoubleTriple xyz;
    ColorMatrixApply(xyz, NeutralSceneCameraToXYZ(), neutral);
    const double scale = 100.0 / (0.0156 * xyz.g);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> texture(0.97, 1.03);
    const int32_t patch = std::max(8, width / 12);
    return MakeWorkingImage(width, height, [&](int32_t x, int32_t y) {
        const size_t index = static_cast<size_t>((x / patch) * 7 + (y / patch) * 3) % std::size(detail::kSurfaces);
        const double* s = detail::kSurfaces[index];
        double surface[3] = {s[0], s[1], s[2]};
        if ((x % patch) >= patch / 2) {
            const double grey = (s[0] + s[1] + s[2]) / 3.0;
            for (double& c : surface)
                c = 2.0 * grey - c;
        }
        const double t = texture(random);
        auto level = [&](double value, double channel) {
            return static_cast<int16_t>(std::min(16000.0, value * channel * scale * t));
        };
        return FPixelClass48SRGB{level(surface[0], neutral.r), level(surface[1], neutral.g),
                                 level(surface[2], neutral.b)};
    });
}

// The neutral moved in ROMM by the factors on red and blue, largest 1.
inline FDoubleTriple NeutralSceneRommTint(const FDoubleTriple& neutral, double red, double blue)
{
    ColorMatrix3x3 toRomm, fromRomm;
    BuildWorkingSpaceMatrix(toRomm, NeutralSceneCameraToXYZ(), FDoubleTriple(-1, -1, -1), 1.0, 0.0);
    ColorMatrixInverse(fromRomm, toRomm);
    FDoubleTriple p;
    ColorMatrixApply(p, toRomm, neutral);
    p.r *= red;
    p.b *= blue;
    FDoubleTriple out;
    return detail::Normalised(ColorMatrixApply(out, fromRomm, p));
}

// Each component of actual within the relative tolerance of expected.
inline void ExpectNeutralWithin(const FDoubleTriple& actual, const FDoubleTriple& expected, double tolerance,
                                const char* what)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c] / expected[c], 1.0, tolerance)
            << what << " channel " << c << ": (" << actual.r << ", " << actual.g << ", " << actual.b << ") vs ("
            << expected.r << ", " << expected.g << ", " << expected.b << ")";
}

} // namespace testsupport
