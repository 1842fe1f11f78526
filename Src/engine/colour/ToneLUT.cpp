#include "engine/colour/ToneLUT.h"

#include "engine/core/EngineAssert.h"
#include "engine/core/FIPEngine2.h"
#include "engine/core/GlobalLUTs.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kTableSize = 65536;
constexpr int32_t kFirstNegativeIndex = 32768;

// Tone table: 256 evaluated samples, linear in between, the last repeated.
constexpr int32_t kToneSampleStep = 32;
constexpr int32_t kToneSampledEnd = 8192;
constexpr int32_t kToneLastSample = kToneSampledEnd - kToneSampleStep;
constexpr double kToneFlare = 0.005;
constexpr int32_t kToneLimit = 16384;

// Gamma table: samples at steps growing by one from this first step.
constexpr int32_t kGammaFirstStep = 8;

constexpr double kSRGBExponent = 1.0 / 2.4;
constexpr double kSRGBBreak = 0.00304;

// A tone value x 4096, rounded up from a half; NaN gives 0 and nothing
// beyond the limit or the 16-bit range gets through.
int16_t ToneEntry(double value)
{
    const int32_t code = TruncateToInt(value * 4096.0 + 0.5);
    return static_cast<int16_t>(std::clamp(code, -32768, kToneLimit));
}

// An encoded value as a code of 0 .. maxCode, halves away from zero.
int32_t GammaCode(double encoded, int32_t maxCode)
{
    return TruncateToInt(std::round(encoded * maxCode));
}

int16_t CodePattern(int32_t code) { return static_cast<int16_t>(static_cast<uint16_t>(code)); }

} // namespace

// ---- Transfer curve

void FTransferCurve::Init(double exponent, double breakPoint)
{
    const double g = exponent;
    const double b = breakPoint;
    dExponent = g;
    dBreak = b;
    if (b > 0) {
        const double e = std::pow(b, g);
        dOffset = e * (1 - g);
        dSlope = (e - dOffset) / ((1 - dOffset) * b);
    } else {
        dOffset = 0;
        dSlope = 1;
    }
    const double a = dOffset;
    if (g < 1) {
        // The toe line of slope 9 meets the power segment where their slopes agree.
        dToeSlope = 9.0;
        dToeEnd = std::pow(9 / g / (a + 1), 1 / (g - 1));
        const double xt = dToeEnd;
        dToeOffset = b >= xt ? xt * dSlope - 9 * xt : (std::pow(xt, g) - a) / (1 - a) - 9 * xt;
    } else {
        dToeSlope = 1.0;
        dToeEnd = 0;
        dToeOffset = 0;
    }
}

void FTransferCurve::InitForColorSpace(int32_t colorSpace)
{
    switch (colorSpace) {
    case 0:
        Init(1.0, 0);
        break;
    case 2:
        Init(kSRGBExponent, kSRGBBreak);
        break;
    case 4:
    case 6:
    case 8:
    case 11:
        Init(1 / 1.8, 0);
        break;
    case 1:
    case 3:
    case 5:
    case 7:
    case 9:
    case 10:
        Init(1 / 2.2, 0);
        break;
    default:
        throw FExceptionPixelProc2("Unknown Color Space");
    }
}

double FTransferCurve::Encode(double linear) const
{
    if (linear <= dBreak)
        return linear * dSlope;
    return (std::pow(linear, dExponent) - dOffset) / (1 - dOffset);
}

double FTransferCurve::Decode(double encoded) const
{
    const double linear = encoded / dSlope;
    if (linear <= dBreak)
        return linear;
    return std::pow(dOffset + encoded * (1 - dOffset), 1 / dExponent);
}

double FTransferCurve::EncodeSoft(double linear) const
{
    double y = linear <= dToeEnd ? dToeSlope * linear + dToeOffset
                                 : (std::pow(linear, dExponent) - dOffset) / (1 - dOffset);
    if (y > 0.4) {
        const double y2 = y * y;
        y = 1.5 * y / std::pow(1.5 * 1.5 * 1.5 * 1.5 + y2 * y2, 0.25);
    }
    return y;
}

// ---- Tone curve

double ToneMapValue(double x, double gain, double black, double contrastExponent, double highlight, double toeEnd,
                    double toeSlope, double toeOffset, double midScale, double flare, const FTransferCurve& curve)
{
    const double hardness = std::pow(1.07, std::pow(1.5 * highlight + 1, 4));
    const double r = (x - black) * gain - flare;
    if (r < toeEnd)
        return curve.Decode(std::max(0.0, toeSlope * r + toeOffset));
    const double contrasted = midScale * std::pow(r, contrastExponent);
    const double asymptote = std::pow(std::max(contrasted, 0.01), 0.22) * (0.44 * highlight + 0.66);
    return contrasted * asymptote /
           std::pow(std::pow(contrasted, hardness) + std::pow(asymptote, hardness), 1 / hardness);
}

ToneCurveShape MakeToneCurveShape(double exposure, double shadow, double contrast, double highlight, double gainR,
                                  double gainG, double gainB, bool lowISO, bool modelToneOffsets)
{
    double highlightTerm = highlight;
    if (modelToneOffsets) {
        highlightTerm += 0.2;
        exposure += 0.6;
        shadow -= 0.2;
        contrast += 0.4;
    } else if (lowISO) {
        highlightTerm += 0.8;
    }

    ToneCurveShape shape;
    const double P = (contrast + 2) * 0.25 * 1.29125 + 0.64375;
    shape.dContrastExponent = P;
    shape.dHighlight = (highlightTerm + 2) * 0.25;
    shape.dBlack = ((2 - shadow) * 0.25 * 2 - 1) * 0.025;
    shape.dMidScale = std::pow(0.18, 1 - P);

    // Gains relative to the mean of their arithmetic and harmonic means, so
    // that only their ratios and the exposure set the brightness.
    const double arithmetic = 0.3 * gainR + 0.5 * gainG + 0.2 * gainB;
    const double harmonic = 1 / (0.3 / gainR + 0.5 / gainG + 0.2 / gainB);
    const double scale = std::pow(2.0, exposure) / (0.5 * (harmonic + arithmetic));
    shape.adGain = FDoubleTriple(gainR, gainG, gainB) * scale;

    FTransferCurve sRGB;
    sRGB.Init(kSRGBExponent, kSRGBBreak);
    const double C = P / 2.4;
    if (C < 1) {
        // A straight toe in the sRGB-encoded domain that meets the knee curve
        // at its end.
        const double a = sRGB.dOffset;
        const double r0 = 0.06 * (1 - C);
        const double F = std::pow(0.18, (P - 1) / 2.4);
        const double f = std::pow(F * (r0 + a) / ((1 - C) * (a + 1)), 1 / C);
        const double W = ToneMapValue(f, 1, 0, P, shape.dHighlight, 0, 0, 0, shape.dMidScale, 0, sRGB);
        shape.dToeOffset = r0;
        shape.dToeEnd = f;
        shape.dToeSlope = (sRGB.Encode(W) - r0) / f;
    }
    return shape;
}

void GenerateFinalToneCurve(double exposure, double shadow, double contrast, double highlight, double gainR,
                            double gainG, double gainB, const FLUT16& inverseCubeRoot, FLUT16RGB* OutToneLUT,
                            bool lowISO, bool modelToneOffsets)
{
    if (!OutToneLUT || OutToneLUT->m_iSize < kTableSize)
        AssertionFailed(FASSERT_SOURCE, __LINE__, "OutToneLUT->GetSize() >= 65536", 0, 0);
    const ToneCurveShape shape =
        MakeToneCurveShape(exposure, shadow, contrast, highlight, gainR, gainG, gainB, lowISO, modelToneOffsets);
    FTransferCurve sRGB;
    sRGB.Init(kSRGBExponent, kSRGBBreak);
    int16_t* const channels[3] = {OutToneLUT->m_pRed, OutToneLUT->m_pGreen, OutToneLUT->m_pBlue};

    for (int c = 0; c < 3; ++c) {
        int16_t* table = channels[c];
        double previous = 0;
        for (int32_t n = 0; n < kToneSampledEnd; n += kToneSampleStep) {
            const double x = inverseCubeRoot[n] / 4096.0;
            const double v = ToneMapValue(x, shape.adGain[c], shape.dBlack, shape.dContrastExponent,
                                          shape.dHighlight, shape.dToeEnd, shape.dToeSlope, shape.dToeOffset,
                                          shape.dMidScale, kToneFlare, sRGB);
            if (n > 0) {
                const int32_t np = n - kToneSampleStep;
                for (int32_t i = np + 1; i < n; ++i) {
                    const double w = double(i - np) / (n - np);
                    table[i] = ToneEntry((1 - w) * previous + w * v);
                }
            }
            table[n] = ToneEntry(v);
            previous = v;
        }
        std::fill(table + kToneLastSample + 1, table + kFirstNegativeIndex, table[kToneLastSample]);
        std::fill(table + kFirstNegativeIndex, table + kTableSize, int16_t{0});
    }
}

// ---- Gamma table

void MakeGammaLUT(FLUT16& table, int32_t colorSpace, int32_t bits)
{
    FASSERT(table.m_pTable && table.m_iSize >= kTableSize);
    if (bits < 1 || bits > 16)
        throw FExceptionPixelProc2("MakeGammaLUT: output bits must be 1 to 16.");
    const int32_t maxCode = (1 << bits) - 1;
    FTransferCurve curve;
    curve.InitForColorSpace(colorSpace);
    int16_t* entries = table.m_pTable;

    // Non-negative inputs: samples dense near black, where the curve bends
    // most, linear in between, until the code reaches its maximum.
    int32_t firstUnfilled = 0;
    double previous = 0;
    bool reachedMax = false;
    for (int32_t i = 0, step = kGammaFirstStep; !reachedMax && firstUnfilled < kFirstNegativeIndex;
         i += step, ++step) {
        const double y = curve.EncodeSoft(i / 4096.0);
        const int32_t before = firstUnfilled - 1;
        const int32_t last = std::min(i, kFirstNegativeIndex - 1);
        for (int32_t j = firstUnfilled; j <= last; ++j) {
            const double w = double(j - before) / (i - before);
            const int32_t code = GammaCode((1 - w) * previous + w * y, maxCode);
            if (code >= maxCode) {
                reachedMax = true;
                break;
            }
            entries[j] = CodePattern(code);
            firstUnfilled = j + 1;
        }
        previous = y;
    }
    std::fill(entries + firstUnfilled, entries + kFirstNegativeIndex, CodePattern(maxCode));

    // Negative inputs: the toe line continued down to 0.
    std::fill(entries + kFirstNegativeIndex, entries + kTableSize, int16_t{0});
    for (int32_t j = int32_t(kTableSize) - 1; j > kFirstNegativeIndex; --j) {
        const double y = curve.EncodeSoft((j - int32_t(kTableSize)) / 4096.0);
        if (!(y > 0))
            break;
        entries[j] = CodePattern(GammaCode(y, maxCode));
    }
}

// ---- The tone request

void FIPEngine2::priProcessGenerateToneLUT(FIPERequestGenerateToneLUT* pReq)
{
    FIPE_REQUIRE(pReq, "pReq != NULL");
    FIPE_REQUIRE(pReq->m_pToneLUT, "pReq->m_pToneLUT != NULL");
    const FLUT16& inverseCubeRoot = GetInverseCubeRootLUT();
    int16_t* tables = pReq->m_pToneLUT;
    FLUT16RGB toneLUT(tables, tables + kTableSize, tables + 2 * kTableSize, kTableSize);
    const FDoubleTriple& gain = pReq->m_adColorGain;
    DebugPrintf("priProcessGenerateToneLUT: Calling GenerateFinalToneCurve; ColorGain = %g %g %g\n", gain.r, gain.g,
                gain.b);
    GenerateFinalToneCurve(pReq->m_dExposure, pReq->m_dShadow, pReq->m_dContrast + pReq->m_dContrastCompensation,
                           pReq->m_dHighlight, gain.r, gain.g, gain.b, inverseCubeRoot, &toneLUT, pReq->m_dISO <= 50,
                           pReq->m_bModelToneOffsets);
    pReq->Finish(kIPStatusDone);
}
