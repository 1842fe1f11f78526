#include "support/ColorDifference.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace testsupport {

ColorTriple Multiply(const ColorMatrix9& m, const ColorTriple& v)
{
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

ColorMatrix9 Multiply(const ColorMatrix9& a, const ColorMatrix9& b)
{
    ColorMatrix9 out{};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                out[3 * r + c] += a[3 * r + k] * b[3 * k + c];
    return out;
}

ColorMatrix9 Inverse(const ColorMatrix9& m)
{
    const double c00 = m[4] * m[8] - m[5] * m[7];
    const double c01 = m[5] * m[6] - m[3] * m[8];
    const double c02 = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (std::abs(det) < 1e-15)
        throw std::domain_error("singular colour matrix");
    const double f = 1.0 / det;
    return {c00 * f,
            (m[2] * m[7] - m[1] * m[8]) * f,
            (m[1] * m[5] - m[2] * m[4]) * f,
            c01 * f,
            (m[0] * m[8] - m[2] * m[6]) * f,
            (m[2] * m[3] - m[0] * m[5]) * f,
            c02 * f,
            (m[1] * m[6] - m[0] * m[7]) * f,
            (m[0] * m[4] - m[1] * m[3]) * f};
}

ColorTriple LinearSrgbToXyz(const ColorTriple& linear) { return Multiply(kLinearSrgbToXyz, linear); }

ColorTriple XyzToLinearSrgb(const ColorTriple& xyz)
{
    static const ColorMatrix9 inverse = Inverse(kLinearSrgbToXyz);
    return Multiply(inverse, xyz);
}

double SrgbEncode(double linear)
{
    linear = std::clamp(linear, 0.0, 1.0);
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

double SrgbDecode(double encoded)
{
    encoded = std::clamp(encoded, 0.0, 1.0);
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

namespace {

constexpr double kEpsilon = 216.0 / 24389.0;
constexpr double kKappa = 24389.0 / 27.0;

double LabF(double t) { return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0; }
double LabFInverse(double f) { return f * f * f > kEpsilon ? f * f * f : (116.0 * f - 16.0) / kKappa; }

double Degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

} // namespace

ColorTriple XyzToLab(const ColorTriple& xyz, const ColorTriple& white)
{
    const double fx = LabF(xyz[0] / white[0]);
    const double fy = LabF(xyz[1] / white[1]);
    const double fz = LabF(xyz[2] / white[2]);
    return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

ColorTriple LabToXyz(const ColorTriple& lab, const ColorTriple& white)
{
    const double fy = (lab[0] + 16.0) / 116.0;
    const double fx = fy + lab[1] / 500.0;
    const double fz = fy - lab[2] / 200.0;
    return {white[0] * LabFInverse(fx), white[1] * LabFInverse(fy), white[2] * LabFInverse(fz)};
}

ColorTriple Srgb8ToLab(double r, double g, double b)
{
    return XyzToLab(LinearSrgbToXyz({SrgbDecode(r / 255.0), SrgbDecode(g / 255.0), SrgbDecode(b / 255.0)}));
}

double CIEDE2000(const ColorTriple& lab1, const ColorTriple& lab2)
{
    const double L1 = lab1[0], a1 = lab1[1], b1 = lab1[2];
    const double L2 = lab2[0], a2 = lab2[1], b2 = lab2[2];
    const double C1 = std::hypot(a1, b1), C2 = std::hypot(a2, b2);
    const double meanC = (C1 + C2) / 2.0;
    const double meanC7 = std::pow(meanC, 7.0);
    const double G = 0.5 * (1.0 - std::sqrt(meanC7 / (meanC7 + std::pow(25.0, 7.0))));
    const double a1p = (1.0 + G) * a1, a2p = (1.0 + G) * a2;
    const double C1p = std::hypot(a1p, b1), C2p = std::hypot(a2p, b2);
    const auto hue = [](double b, double a) {
        if (a == 0.0 && b == 0.0)
            return 0.0;
        const double h = Degrees(std::atan2(b, a));
        return h < 0.0 ? h + 360.0 : h;
    };
    const double h1p = hue(b1, a1p), h2p = hue(b2, a2p);

    const double dLp = L2 - L1;
    const double dCp = C2p - C1p;
    double dhp = 0.0;
    if (C1p * C2p != 0.0) {
        dhp = h2p - h1p;
        if (dhp > 180.0)
            dhp -= 360.0;
        else if (dhp < -180.0)
            dhp += 360.0;
    }
    const double dHp = 2.0 * std::sqrt(C1p * C2p) * std::sin(Radians(dhp / 2.0));

    const double meanLp = (L1 + L2) / 2.0;
    const double meanCp = (C1p + C2p) / 2.0;
    double meanhp = h1p + h2p;
    if (C1p * C2p != 0.0) {
        if (std::abs(h1p - h2p) <= 180.0)
            meanhp /= 2.0;
        else
            meanhp = meanhp < 360.0 ? (meanhp + 360.0) / 2.0 : (meanhp - 360.0) / 2.0;
    }
    const double T = 1.0 - 0.17 * std::cos(Radians(meanhp - 30.0)) + 0.24 * std::cos(Radians(2.0 * meanhp)) +
                     0.32 * std::cos(Radians(3.0 * meanhp + 6.0)) - 0.20 * std::cos(Radians(4.0 * meanhp - 63.0));
    const double dTheta = 30.0 * std::exp(-std::pow((meanhp - 275.0) / 25.0, 2.0));
    const double meanCp7 = std::pow(meanCp, 7.0);
    const double RC = 2.0 * std::sqrt(meanCp7 / (meanCp7 + std::pow(25.0, 7.0)));
    const double L50 = (meanLp - 50.0) * (meanLp - 50.0);
    const double SL = 1.0 + 0.015 * L50 / std::sqrt(20.0 + L50);
    const double SC = 1.0 + 0.045 * meanCp;
    const double SH = 1.0 + 0.015 * meanCp * T;
    const double RT = -std::sin(Radians(2.0 * dTheta)) * RC;
    const double l = dLp / SL, c = dCp / SC, h = dHp / SH;
    return std::sqrt(l * l + c * c + h * h + RT * c * h);
}

} // namespace testsupport
