#pragma once
// Colorimetry for tests that judge developed pictures: sRGB (D65) encoding,
// XYZ, CIELAB and the CIEDE2000 colour difference. XYZ is scaled so that the
// D65 white has Y = 1.

#include <array>

namespace testsupport {

using ColorTriple = std::array<double, 3>;

// The D65 white of the sRGB primaries (the row sums of the sRGB-to-XYZ matrix).
inline constexpr ColorTriple kD65White{0.95047, 1.0, 1.08883};

// Row-major 3 x 3 matrices.
using ColorMatrix9 = std::array<double, 9>;
inline constexpr ColorMatrix9 kLinearSrgbToXyz{0.4124564, 0.3575761, 0.1804375, 0.2126729, 0.7151522,
                                               0.0721750, 0.0193339, 0.1191920, 0.9503041};
ColorTriple Multiply(const ColorMatrix9& m, const ColorTriple& v);
ColorMatrix9 Multiply(const ColorMatrix9& a, const ColorMatrix9& b);
// Throws std::domain_error for a singular matrix.
ColorMatrix9 Inverse(const ColorMatrix9& m);

ColorTriple LinearSrgbToXyz(const ColorTriple& linear);
ColorTriple XyzToLinearSrgb(const ColorTriple& xyz);
// The sRGB transfer curve on 0..1 values (inputs outside are clamped).
double SrgbEncode(double linear);
double SrgbDecode(double encoded);

ColorTriple XyzToLab(const ColorTriple& xyz, const ColorTriple& white = kD65White);
ColorTriple LabToXyz(const ColorTriple& lab, const ColorTriple& white = kD65White);
// 8-bit sRGB pixel to CIELAB (D65).
ColorTriple Srgb8ToLab(double r, double g, double b);

// CIEDE2000 with the parametric factors kL = kC = kH = 1.
double CIEDE2000(const ColorTriple& lab1, const ColorTriple& lab2);

} // namespace testsupport
