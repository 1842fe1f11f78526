#include "engine/analysis/EAutoWB.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/core/RowBandLoop.h"
#include "engine/corrections/CorrectionKernels.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

namespace {

constexpr int kBins = 32;
constexpr int kCells = kBins * kBins * kBins;
constexpr int32_t kBinScaleNumerator = 536870911; // 2^29 - 1: a channel's maximum lands in bin 31
constexpr int kRowStep = 4;

// Where the brightness moves from one polygon to the next.
constexpr double kBlend12Low = 3.2;
constexpr double kBlend12High = 5.7;
constexpr double kBlend23Low = 5.8;
constexpr double kBlend23High = 8.3;

FDoubleTriple Apply(const ColorMatrix3x3& matrix, const FDoubleTriple& v)
{
    FDoubleTriple out;
    return ColorMatrixApply(out, matrix, v);
}

// The polynomial on whole values, as it corrects single colours.
class BlockPolynomial {
public:
    explicit BlockPolynomial(const float* poly) { PolyCorrectionFromMatrix(m_Record, poly); }
    FIntTriple operator()(const FDoubleTriple& in) const
    {
        const FIntTriple rounded(FDoubleTriple(in.r + 0.5, in.g + 0.5, in.b + 0.5));
        FIntTriple out(0);
        PolyCorrectionApply(m_Record, rounded, out);
        return out;
    }

private:
    PolyCorrection m_Record;
};

// The nearest point of the polygon's boundary: on each edge the point itself
// projected and held between the edge's ends, the first strictly nearest.
FNeutralVertex NearestOnBoundary(std::span<const FNeutralVertex> polygon, FNeutralVertex p)
{
    FNeutralVertex nearest = p;
    double best = HUGE_VAL;
    for (size_t k = 0; k + 1 < polygon.size(); ++k) {
        const FNeutralVertex a = polygon[k];
        const FNeutralVertex b = polygon[k + 1];
        const int64_t ex = int64_t{b.x} - a.x;
        const int64_t ey = int64_t{b.y} - a.y;
        const int64_t g = (int64_t{p.x} - a.x) * ex + (int64_t{p.y} - a.y) * ey;
        const int64_t h = ex * ex + ey * ey;
        FNeutralVertex candidate = a;
        if (h > 0 && g >= h) {
            candidate = b;
        } else if (h > 0 && g > 0) {
            const double w = static_cast<double>(g) / static_cast<double>(h);
            candidate = {a.x + static_cast<int32_t>(w * ex + 0.5), a.y + static_cast<int32_t>(w * ey + 0.5)};
        }
        const double distance = std::hypot(static_cast<double>(candidate.x) - p.x, static_cast<double>(candidate.y) - p.y);
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    }
    return nearest;
}

FNeutralVertex HeldInside(int polygon, FNeutralVertex v)
{
    const std::span<const FNeutralVertex> vertices = NeutralPolygon(polygon);
    return IsOutsideNeutralPolygon(vertices, v) ? NearestOnBoundary(vertices, v) : v;
}

FNeutralVertex Blend(int inner, int outer, double t, FNeutralVertex v)
{
    const FNeutralVertex a = HeldInside(inner, v);
    const FNeutralVertex b = HeldInside(outer, v);
    auto rounded = [](double value) { return static_cast<int32_t>(value + 0.5); };
    return {rounded(a.x * (1.0 - t)) + rounded(b.x * t), rounded(a.y * (1.0 - t)) + rounded(b.y * t)};
}

} // namespace

double GreyWorldBinWeight(int bin)
{
    if (bin <= 21)
        return 1.0;
    const double d = 3.0 * bin - 64.0;
    return 1.0 - d * d / 1024.0;
}

double GreyWorldBrightness(double fNumber, double shutter, double expComp, double gainRatio)
{
    if (!(fNumber >= 0.5) || !(shutter > 0.0))
        return NAN;
    const double bv = 3.322 * std::log10(fNumber * fNumber / shutter) + expComp - std::log2(gainRatio * 100.0 / 3.125);
    return std::isfinite(bv) ? bv : NAN;
}

FNeutralVertex GreyWorldConstrainVertex(FNeutralVertex v, double bv)
{
    if (bv <= kBlend12Low)
        return HeldInside(1, v);
    if (bv <= kBlend12High)
        return Blend(1, 2, (bv - kBlend12Low) / (kBlend12High - kBlend12Low), v);
    if (bv <= kBlend23Low)
        return HeldInside(2, v);
    if (bv <= kBlend23High)
        return Blend(2, 3, (bv - kBlend23Low) / (kBlend23High - kBlend23Low), v);
    return HeldInside(3, v);
}

EAutoWB::EAutoWB(const FGreyWorldWBParams& params) : m_Params(params)
{
    try {
        m_Histogram.assign(kCells, 0);
    } catch (const std::bad_alloc&) {
        throw FException("Allocation error in EAutoWB constructor");
    }
}

FDoubleTriple EAutoWB::CameraNeutral() const
{
    if (ColorMatrixIsInvertible(m_Params.mCamToROMM)) {
        ColorMatrix3x3 inverse;
        ColorMatrixInverse(inverse, m_Params.mCamToROMM);
        if (const auto neutral = NormalisedNeutral(Apply(inverse, FDoubleTriple(1.0, 1.0, 1.0))))
            return *neutral;
    }
    return FDoubleTriple(1.0, 1.0, 1.0);
}

// The mean of every fourth row inside the borders, less the mean dark level,
// and the channel maxima that set the histogram's bin scales.
bool EAutoWB::MeasureMeanAndMaxima()
{
    const auto& image = static_cast<const FPixmapTemplate<FPixelClass48SRGB>&>(*m_Params.pImage);
    const int32_t width = image.m_iColumns;
    const int32_t height = image.m_iRows;
    const int32_t rows = height - 2 * m_iBorderY > 0 ? (height - 2 * m_iBorderY + kRowStep - 1) / kRowStep : 0;
    const int32_t columns = std::max(0, width - 2 * m_iBorderX);
    int64_t sums[3] = {};
    int64_t count = 0;
    int32_t maxima[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
    std::mutex merge;
    // Every row raises the maxima: beyond the levels they are cut to the
    // levels anyway, so this equals stopping once all have reached them.
    RunInRowBands(static_cast<uint32_t>(columns > 0 ? rows : 0), [&](uint32_t first, uint32_t last) {
        int64_t bandSums[3] = {};
        int32_t bandMax[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
        for (uint32_t r = first; r <= last; ++r) {
            const FPixelClass48SRGB* row = image.GetRow(m_iBorderY + kRowStep * static_cast<int32_t>(r)) + m_iBorderX;
            for (int32_t x = 0; x < columns; ++x) {
                const int32_t values[3] = {row[x].r, row[x].g, row[x].b};
                for (int c = 0; c < 3; ++c) {
                    bandSums[c] += values[c];
                    bandMax[c] = std::max(bandMax[c], values[c]);
                }
            }
        }
        std::lock_guard<std::mutex> hold(merge);
        for (int c = 0; c < 3; ++c) {
            sums[c] += bandSums[c];
            maxima[c] = std::max(maxima[c], bandMax[c]);
        }
        count += static_cast<int64_t>(last - first + 1) * columns;
    });
    if (count == 0)
        return false;
    const FDriftPair& drift = m_Params.drift;
    for (int c = 0; c < 3; ++c)
        m_Mean[c] = static_cast<double>(sums[c]) / count - (drift[3 + c] + drift[9 + c]) / 2.0;
    DebugPrintf("mean RGB = %f %f %f\n", m_Mean.r, m_Mean.g, m_Mean.b);
    if (!(m_Mean.r > 0.0 && m_Mean.g > 0.0 && m_Mean.b > 0.0))
        return false; // no light to measure
    for (int c = 0; c < 3; ++c)
        m_aiMax[c] = std::min(maxima[c], TruncateToInt(m_Params.adLevel[c]));
    DebugPrintf("max RGB = %d %d %d\n", m_aiMax[0], m_aiMax[1], m_aiMax[2]);
    // A maximum of 0 would leave no bin scale; one far above the mean comes
    // from a few bright specks and would squeeze the scene into a few bins.
    for (int c = 0; c < 3; ++c)
        m_aiMax[c] = std::max(1, std::min(m_aiMax[c], TruncateToInt(20.0 * m_Mean[c])));
    return true;
}

// Grey world 1 and the colour histogram from the unclipped 4 x 4 blocks.
bool EAutoWB::CountBlocks()
{
    const auto& image = static_cast<const FPixmapTemplate<FPixelClass48SRGB>&>(*m_Params.pImage);
    const int32_t width = image.m_iColumns;
    const int32_t height = image.m_iRows;
    const int32_t blockRowEnd = height - m_iBorderY - 3;
    const int32_t blockColumnEnd = width - m_iBorderX - 3;
    const int32_t blockRows = blockRowEnd > m_iBorderY ? (blockRowEnd - m_iBorderY + kRowStep - 1) / kRowStep : 0;
    const int32_t blockColumns =
        blockColumnEnd > m_iBorderX ? (blockColumnEnd - m_iBorderX + kRowStep - 1) / kRowStep : 0;
    int64_t scales[3];
    for (int c = 0; c < 3; ++c)
        scales[c] = kBinScaleNumerator / m_aiMax[c];
    const BlockPolynomial polynomial(m_Params.afPostPoly);
    const double* levels = m_Params.adLevel;
    std::mutex merge;
    std::fill(m_Histogram.begin(), m_Histogram.end(), 0);

    RunInRowBands(static_cast<uint32_t>(blockColumns > 0 ? blockRows : 0), [&](uint32_t first, uint32_t last) {
        std::vector<int32_t> histogram(kCells, 0);
        int64_t sums[3] = {};
        int64_t blocks = 0;
        int64_t entries = 0;
        for (uint32_t r = first; r <= last; ++r) {
            const int32_t y = m_iBorderY + kRowStep * static_cast<int32_t>(r);
            double ramp[6];
            InterpolateRowRamp(ramp, m_Params.drift.data(), y, height);
            const int32_t dark[3] = {TruncateToInt(ramp[3]), TruncateToInt(ramp[4]), TruncateToInt(ramp[5])};
            const FPixelClass48SRGB* rows[4];
            for (int k = 0; k < 4; ++k)
                rows[k] = image.GetRow(y + k);
            for (int32_t b = 0; b < blockColumns; ++b) {
                const int32_t x = m_iBorderX + kRowStep * b;
                FIntTriple peak(INT32_MIN);
                for (int k = 0; k < 4; ++k)
                    for (int32_t i = x; i < x + 4; ++i) {
                        peak.r = std::max<int32_t>(peak.r, rows[k][i].r);
                        peak.g = std::max<int32_t>(peak.g, rows[k][i].g);
                        peak.b = std::max<int32_t>(peak.b, rows[k][i].b);
                    }
                const FIntTriple peakCorrected = polynomial(FDoubleTriple(peak));
                if (!(peakCorrected.r < levels[0] && peakCorrected.g < levels[1] && peakCorrected.b < levels[2]))
                    continue; // clipped somewhere in the block
                const FPixelClass48SRGB* centre[4] = {&rows[1][x + 1], &rows[1][x + 2], &rows[2][x + 1],
                                                      &rows[2][x + 2]};
                FDoubleTriple mean;
                for (const FPixelClass48SRGB* p : centre)
                    mean += FDoubleTriple(p->r, p->g, p->b);
                const FIntTriple corrected = polynomial(mean / 4.0);
                const int32_t v[3] = {corrected.r - dark[0], corrected.g - dark[1], corrected.b - dark[2]};
                int32_t bins[3];
                for (int c = 0; c < 3; ++c) {
                    sums[c] += v[c];
                    // 64-bit: a bright block in a dark scene goes past 2^31 and out of the bins.
                    bins[c] = v[c] > 0 ? static_cast<int32_t>(std::min<int64_t>((v[c] * scales[c] + 1) >> 24, kBins))
                                       : 0;
                }
                ++blocks;
                if (bins[0] < kBins && bins[1] < kBins && bins[2] < kBins) {
                    ++histogram[bins[2] * kBins * kBins + bins[1] * kBins + bins[0]];
                    ++entries;
                }
            }
        }
        std::lock_guard<std::mutex> hold(merge);
        for (int i = 0; i < kCells; ++i)
            m_Histogram[i] += histogram[i];
        for (int c = 0; c < 3; ++c)
            m_aiBlockSums[c] += sums[c];
        m_iBlocks += blocks;
        m_iHistogramEntries += entries;
    });
    return m_iBlocks > 0;
}

// Grey world 2 (the histogram's weighted mean) and the squashed mean, in
// which a colour counts with the square root of its population and a neutral
// prior holds scenes of few colours.
void EAutoWB::HistogramEstimates()
{
    const double damping = static_cast<double>(m_iHistogramEntries / 10000 + 2);
    const double dampingRoot = std::sqrt(damping);
    FDoubleTriple greyWorld2;
    FDoubleTriple squashed;
    for (int cell = 0; cell < kCells; ++cell) {
        const int32_t population = m_Histogram[cell];
        if (population <= 0)
            continue;
        const int r = cell & (kBins - 1);
        const int g = (cell >> 5) & (kBins - 1);
        const int b = cell >> 10;
        const double weight = GreyWorldBinWeight(r) * GreyWorldBinWeight(g) * GreyWorldBinWeight(b);
        const FDoubleTriple centre(r + 0.5, g + 0.5, b + 0.5);
        greyWorld2 += centre * (weight * population);
        squashed += centre * (weight * (std::sqrt(population + damping) - dampingRoot));
    }
    const FDoubleTriple maxima(m_aiMax[0], m_aiMax[1], m_aiMax[2]);
    greyWorld2 *= maxima;
    squashed *= maxima;
    ColorMatrix3x3 fromRomm;
    ColorMatrixInverse(fromRomm, m_Params.mCamToROMM);
    const double grey = 32.0 * m_aiMax[1];
    squashed += Apply(fromRomm, FDoubleTriple(grey, grey, grey)) * (std::sqrt(2.0 * damping) - dampingRoot);

    const FDoubleTriple camera = CameraNeutral();
    m_GreyWorld1 = NormalisedNeutral(FDoubleTriple(static_cast<double>(m_aiBlockSums[0]), static_cast<double>(m_aiBlockSums[1]),
                                            static_cast<double>(m_aiBlockSums[2])))
                       .value_or(camera);
    m_GreyWorld2 = NormalisedNeutral(greyWorld2).value_or(camera);
    m_Squashed = NormalisedNeutral(squashed).value_or(camera);
    DebugPrintf("GrayWorld1 RGBNeutral is:        (%f, %f, %f)\r\n", m_GreyWorld1.r, m_GreyWorld1.g, m_GreyWorld1.b);
    DebugPrintf("GrayWorld2 RGBNeutral is:        (%f, %f, %f)\r\n", m_GreyWorld2.r, m_GreyWorld2.g, m_GreyWorld2.b);
    DebugPrintf("Squashed  RGBNeutral is:         (%f, %f, %f)\r\n", m_Squashed.r, m_Squashed.g, m_Squashed.b);
}

FDoubleTriple EAutoWB::Estimate()
{
    if (m_Params.pImage == nullptr || m_Params.pImage->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("EstimateNeutralGreyWorld: image is not 48-bit signed RGB");
    m_iBorderX = static_cast<int32_t>(0.1 * m_Params.pImage->m_iColumns);
    m_iBorderY = static_cast<int32_t>(0.1 * m_Params.pImage->m_iRows);
    const FDoubleTriple camera = CameraNeutral();
    m_GreyWorld1 = m_GreyWorld2 = m_Squashed = camera;
    if (!MeasureMeanAndMaxima() || !CountBlocks())
        return camera;
    HistogramEstimates();
    // Constrained, the squashed estimate alone: the polygons take the place
    // of the other two's caution.
    const FDoubleTriple estimate =
        m_Params.bConstrain ? m_Squashed
                            : FDoubleTriple((m_GreyWorld1.r + m_Squashed.r + m_GreyWorld2.r) / 3.0,
                                            (m_GreyWorld1.g + m_Squashed.g + m_GreyWorld2.g) / 3.0,
                                            (m_GreyWorld1.b + m_Squashed.b + m_GreyWorld2.b) / 3.0);
    const FDoubleTriple result = NormalisedNeutral(Constrain(estimate)).value_or(camera);
    DebugPrintf("Final constrained RGBNeutral is: (%f, %f, %f)\r\n", result.r, result.g, result.b);
    return result;
}

FDoubleTriple EAutoWB::Constrain(const FDoubleTriple& neutral)
{
    const double bv = GreyWorldBrightness(m_Params.dFNumber, m_Params.dShutter, m_Params.dExpComp, m_Params.dGainRatio);
    bool constrain = m_Params.bConstrain;
    if (std::isnan(bv)) {
        DebugPrintf("Defaulting to unconstrained AWB due to missing info\n");
        constrain = false;
    } else {
        DebugPrintf("Fnumber is: %f\tShutterspeed is:%f\r\n", m_Params.dFNumber, m_Params.dShutter);
        DebugPrintf("BV value after compensation: %f, Compensation: %f\r\n", bv, m_Params.dExpComp);
    }
    FDoubleTriple p = Apply(m_Params.mCamToROMM, neutral);
    if (constrain && p.g > 0.0) {
        const FNeutralVertex v{TruncateToInt(p.r / p.g * 10000.0), TruncateToInt(p.b / p.g * 10000.0)};
        const FNeutralVertex held = GreyWorldConstrainVertex(v, bv);
        p = FDoubleTriple(held.x / 10000.0, 1.0, held.y / 10000.0);
    } else {
        p = LimitUnconstrainedNeutral(p);
    }
    // Rendered slightly warm whatever the path.
    p.r *= 0.98;
    p.b *= 1.08;
    ColorMatrix3x3 fromRomm;
    ColorMatrixInverse(fromRomm, m_Params.mCamToROMM);
    return NormalisedNeutral(Apply(fromRomm, p)).value_or(CameraNeutral());
}

FDoubleTriple EstimateNeutralGreyWorld(const FGreyWorldWBParams& params)
{
    EAutoWB estimator(params);
    return estimator.Estimate();
}
