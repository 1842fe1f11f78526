#include "engine/analysis/AutoWB_ChromaWt.h"

#include "engine/analysis/CalculateAutoAdjustSettings.h"
#include "engine/colour/ColorSpaces.h"
#include "engine/colour/ToneLUT.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/core/RowBandLoop.h"
#include "engine/corrections/CorrectionKernels.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

// Reference whites (Y = 100), from the bluest sky to candle light.
constexpr int kIlluminants = 6;
constexpr double kIlluminantXYZ[kIlluminants][3] = {
    {94.9466, 100, 138.4398}, {94.38, 100, 117.898}, {95.0456, 100, 108.9058},
    {95.5475, 100, 77.986},   {102.8524, 100, 49.5528}, {108.854, 100, 33.4394},
};
constexpr int kFlashIlluminant = 1;
constexpr int kFlashPolygon = 4;
constexpr double kD65[3] = {95.047, 100.0, 108.883};

constexpr FNeutralVertex kPolygon1[] = {{7759, 8388},  {8545, 4847},  {8899, 3834},  {9557, 3276},
                                        {13000, 3200}, {14700, 5000}, {13700, 11500}, {9952, 16300},
                                        {8626, 16000}, {7766, 13209}, {7662, 8899},  {7759, 8388}};
constexpr FNeutralVertex kPolygon2[] = {{9500, 9700},   {10200, 7800}, {10500, 7700}, {11200, 8000},
                                        {11500, 9200},  {11200, 12500}, {10500, 14000}, {9500, 14100},
                                        {9000, 12500},  {9500, 9700}};
constexpr FNeutralVertex kPolygon3[] = {{9700, 9700},   {10200, 8200}, {10500, 8100}, {10700, 8200},
                                        {10800, 9600},  {10600, 11000}, {10100, 11400}, {9500, 11300},
                                        {9400, 10700},  {9700, 9700}};
constexpr FNeutralVertex kPolygon4[] = {{9600, 10200},  {9900, 10000}, {10100, 10000}, {10400, 10300},
                                        {10500, 11000}, {10500, 12500}, {10100, 14100}, {9850, 14300},
                                        {9100, 14200},  {9000, 13700}, {9000, 12700}, {9600, 10200}};

constexpr int kFirstRadius = 45;
constexpr int kRefineRadius = 30;
constexpr int kRefinePasses = 5;
constexpr double kRefineChange = 0.005;
constexpr int kColorBins = 32;
constexpr int kWideGridLimit = 500; // wider pictures are reduced 4 x 8 to their grid

// Where the brightness moves from one polygon to the next.
constexpr double kBlend12Low = 4.9;
constexpr double kBlend12High = 5.7;
constexpr double kBlend23Low = 5.8;
constexpr double kBlend23High = 8.3;
constexpr double kDaylightShiftStart = 3.2;
constexpr double kDaylightShiftFull = 5.7;

// cbrt(-1 + 0.0016 k): ratios from -1 to 15 without a cube root each.
const std::array<double, 10000>& CubeRootTable()
{
    static const std::array<double, 10000> table = [] {
        std::array<double, 10000> entries{};
        for (int k = 0; k < 10000; ++k)
            entries[k] = std::cbrt(-1.0 + 0.0016 * k);
        return entries;
    }();
    return table;
}

double LabCubeRoot(double t)
{
    if (t > 0.008856) {
        if (t < 15.0)
            return CubeRootTable()[static_cast<size_t>((t + 1.0) * 625.0)];
        return std::cbrt(t);
    }
    return 7.787 * t + 16.0 / 116.0;
}

// Tricube weights (1 - (k / a)^3)^3 for k = 0 .. a, the last 0.
std::vector<double> TricubeWeights(int radius)
{
    std::vector<double> weights(radius + 1, 0.0);
    for (int k = 0; k < radius; ++k) {
        const double u = static_cast<double>(k) / radius;
        const double v = 1.0 - u * u * u;
        weights[k] = v * v * v;
    }
    return weights;
}

FDoubleTriple Apply(const ColorMatrix3x3& matrix, const FDoubleTriple& v)
{
    FDoubleTriple out;
    return ColorMatrixApply(out, matrix, v);
}

float FiniteSample(float value)
{
    return std::isfinite(value) ? std::clamp(value, -1.0e7f, 1.0e7f) : 0.0f;
}

int16_t SaturatedSample(double value)
{
    return static_cast<int16_t>(std::clamp(TruncateToInt(value), -32768, 32767));
}

// What one estimate works on: the grid, its work image and their buffers.
struct Analysis {
    int32_t columns = 0;
    int32_t rows = 0;
    std::vector<FPixelClassFlt32RGB> grid;
    std::vector<FPixelClass48SRGB> work;
    std::vector<float> weights;
    double limits[3] = {};
    ColorMatrix3x3 toXYZ; // A: grid colour to XYZ, Y = 100 for white

    size_t Points() const { return grid.size(); }

    // (L, a^2 + b^2) of grid point i against the white.
    std::pair<double, double> LightnessAndChroma(size_t i, const double white[3]) const
    {
        const FPixelClassFlt32RGB& c = grid[i];
        const FDoubleTriple xyz = Apply(toXYZ, FDoubleTriple(c.r, c.g, c.b));
        double L, a, b;
        CIELabFromXYZ(xyz.r, xyz.g, xyz.b, white[0], white[1], white[2], L, a, b);
        return {L, a * a + b * b};
    }
};

// Calls rowFunction(gridRow) for every grid row of the given width, in bands.
template <class RowFunction>
void ForEachGridRow(int32_t rows, int32_t columns, RowFunction&& rowFunction)
{
    RunInRowBands(
        static_cast<uint32_t>(rows),
        [&](uint32_t firstRow, uint32_t lastRow) {
            for (uint32_t y = firstRow; y <= lastRow; ++y)
                rowFunction(static_cast<int32_t>(y));
        },
        RowBandCountFor(static_cast<uint64_t>(rows) * static_cast<uint64_t>(columns)));
}

// The picture itself as the grid, every sample through sample().
template <class PixelClass, class Sample>
void CopyToGrid(Analysis& analysis, const FPixmapTemplate<PixelClass>& image, Sample&& sample)
{
    analysis.columns = std::max(0, image.m_iColumns);
    analysis.rows = std::max(0, image.m_iRows);
    analysis.grid.resize(static_cast<size_t>(analysis.columns) * analysis.rows);
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t y) {
        const PixelClass* row = image.GetRow(y);
        FPixelClassFlt32RGB* out = analysis.grid.data() + static_cast<size_t>(y) * analysis.columns;
        for (int32_t x = 0; x < analysis.columns; ++x)
            out[x] = {sample(static_cast<float>(row[x].r)), sample(static_cast<float>(row[x].g)),
                      sample(static_cast<float>(row[x].b))};
    });
}

// Means of 4 x 8 pixel blocks inside a border of about 1 %, less the flare,
// through the polygon when there is one.
void ReduceToGrid(Analysis& analysis, const FPixmapTemplate<FPixelClass48SRGB>& source, const double flare[3],
                  const float poly[27])
{
    const int32_t width = source.m_iColumns;
    const int32_t height = source.m_iRows;
    const int32_t borderX = (3 + static_cast<int32_t>(0.01 * width)) & ~3;
    const int32_t borderY = (3 + static_cast<int32_t>(0.01 * height)) & ~3;
    analysis.columns = std::max(0, (width - 2 * borderX) / 4);
    analysis.rows = std::max(0, (height - 2 * borderY) / 8);
    if (analysis.columns == 0 || analysis.rows == 0)
        return;
    analysis.grid.resize(static_cast<size_t>(analysis.columns) * analysis.rows);
    const bool hasPoly = std::any_of(poly, poly + 27, [](float f) { return f != 0.0f; });
    PolyCorrection record;
    if (hasPoly)
        PolyCorrectionFromMatrix(record, poly);

    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        FPixelClassFlt32RGB* out = analysis.grid.data() + static_cast<size_t>(j) * analysis.columns;
        for (int32_t i = 0; i < analysis.columns; ++i) {
            int32_t sums[3] = {};
            for (int32_t y = 0; y < 8; ++y) {
                const FPixelClass48SRGB* p = source.GetRow(borderY + 8 * j + y) + borderX + 4 * i;
                for (int32_t x = 0; x < 4; ++x) {
                    sums[0] += p[x].r;
                    sums[1] += p[x].g;
                    sums[2] += p[x].b;
                }
            }
            FDoubleTriple mean(sums[0] / 32.0 - flare[0], sums[1] / 32.0 - flare[1], sums[2] / 32.0 - flare[2]);
            if (hasPoly) {
                // The polynomial works on whole values, as for single colours.
                const FIntTriple rounded(FDoubleTriple(mean.r + 0.5, mean.g + 0.5, mean.b + 0.5));
                FIntTriple corrected(0);
                PolyCorrectionApply(record, rounded, corrected);
                mean = FDoubleTriple(corrected);
            }
            out[i] = {static_cast<float>(mean.r), static_cast<float>(mean.g), static_cast<float>(mean.b)};
        }
    });
}

// The work image: the grid balanced into the working space, then through the
// automatic tone that the picture itself asks for.
void BuildWorkImage(Analysis& analysis, const ColorMatrix3x3& balanced, bool lowIso)
{
    analysis.work.resize(analysis.Points());
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        const size_t start = static_cast<size_t>(j) * analysis.columns;
        for (size_t i = start; i < start + analysis.columns; ++i) {
            const FPixelClassFlt32RGB& c = analysis.grid[i];
            const FDoubleTriple w = Apply(balanced, FDoubleTriple(c.r, c.g, c.b));
            analysis.work[i] = FPixelClass48SRGB{SaturatedSample(w.r), SaturatedSample(w.g), SaturatedSample(w.b)};
        }
    });

    const FLUT16& cubeRoot = GetCubeRootLUT();
    const FLUT16& inverseCubeRoot = GetInverseCubeRootLUT();
    FPixmapTemplate<FPixelClass48SRGB> workImage(analysis.work.data(), analysis.columns, analysis.rows, 0);
    double exposure, contrast, shadow, highlight, saturation, gains[3];
    CalculateAutoAdjustSettings(&workImage, cubeRoot, inverseCubeRoot, 0.0, exposure, contrast, shadow, highlight,
                                saturation, gains);
    FLUT16RGB tone(0x10000);
    GenerateFinalToneCurve(exposure, shadow, contrast, highlight, gains[0], gains[1], gains[2], inverseCubeRoot, &tone,
                           lowIso, false);
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        FPixelClass48SRGB* row = analysis.work.data() + static_cast<size_t>(j) * analysis.columns;
        for (int32_t i = 0; i < analysis.columns; ++i) {
            row[i].r = tone.Red(cubeRoot[row[i].r]);
            row[i].g = tone.Green(cubeRoot[row[i].g]);
            row[i].b = tone.Blue(cubeRoot[row[i].b]);
        }
    });
}

// The grid's channel maxima, each at most the channel's level.
void SetLimits(Analysis& analysis, const double levels[3])
{
    for (int c = 0; c < 3; ++c)
        analysis.limits[c] = -HUGE_VAL;
    for (const FPixelClassFlt32RGB& p : analysis.grid) {
        analysis.limits[0] = std::max<double>(analysis.limits[0], p.r);
        analysis.limits[1] = std::max<double>(analysis.limits[1], p.g);
        analysis.limits[2] = std::max<double>(analysis.limits[2], p.b);
    }
    for (int c = 0; c < 3; ++c)
        analysis.limits[c] = std::min(analysis.limits[c], levels[c]);
}

// How colourful the least colourful quarter of the grid looks under each
// reference white: the mean chroma of that quarter.
std::array<double, kIlluminants> IlluminantScores(Analysis& analysis)
{
    std::array<double, kIlluminants> scores{};
    const uint32_t points = static_cast<uint32_t>(analysis.Points());
    const uint32_t quarter = points / 4;
    // All six whites in one pass over the grid.
    std::vector<float> chroma(static_cast<size_t>(kIlluminants) * points);
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        const size_t start = static_cast<size_t>(j) * analysis.columns;
        for (int k = 0; k < kIlluminants; ++k)
            for (size_t i = start; i < start + analysis.columns; ++i)
                chroma[k * points + i] = static_cast<float>(analysis.LightnessAndChroma(i, kIlluminantXYZ[k]).second);
    });
    for (int k = 0; k < kIlluminants; ++k) {
        float* values = chroma.data() + static_cast<size_t>(k) * points;
        SelectKthSmallest(quarter, points, values);
        double sum = 0.0;
        for (uint32_t i = 0; i < quarter; ++i)
            sum += std::sqrt(values[i]);
        scores[k] = sum / quarter;
    }
    return scores;
}

// The grid colours near neutral under the white, each weighted by the tricube
// of its chroma and divided by the square root of its colour's population.
std::optional<FDoubleTriple> WeightedNeutral(Analysis& analysis, const double white[3], int radius,
                                             const std::vector<double>& tricube)
{
    const double radiusSquared = static_cast<double>(radius) * radius;
    const float unweighted = static_cast<float>(2.0 * radiusSquared);
    int32_t low[3] = {10000, 10000, 10000};
    int32_t high[3] = {0, 0, 0};
    std::mutex merge;
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        int32_t rowLow[3] = {10000, 10000, 10000};
        int32_t rowHigh[3] = {0, 0, 0};
        const size_t start = static_cast<size_t>(j) * analysis.columns;
        for (size_t i = start; i < start + analysis.columns; ++i) {
            analysis.weights[i] = unweighted;
            const FPixelClassFlt32RGB& c = analysis.grid[i];
            if (!(c.r < analysis.limits[0] && c.g < analysis.limits[1] && c.b < analysis.limits[2]))
                continue;
            const auto [L, chroma] = analysis.LightnessAndChroma(i, white);
            if (!(L > 15.0 && chroma < radiusSquared))
                continue;
            analysis.weights[i] = static_cast<float>(chroma);
            const FPixelClass48SRGB& v = analysis.work[i];
            const int32_t values[3] = {v.r, v.g, v.b};
            for (int ch = 0; ch < 3; ++ch) {
                rowLow[ch] = std::min(rowLow[ch], values[ch]);
                rowHigh[ch] = std::max(rowHigh[ch], values[ch]);
            }
        }
        std::lock_guard<std::mutex> hold(merge);
        for (int ch = 0; ch < 3; ++ch) {
            low[ch] = std::min(low[ch], rowLow[ch]);
            high[ch] = std::max(high[ch], rowHigh[ch]);
        }
    });

    int32_t range[3];
    for (int ch = 0; ch < 3; ++ch)
        range[ch] = high[ch] - low[ch] + 1;
    auto isWeighted = [&](size_t i) { return analysis.weights[i] < radiusSquared; };
    auto binOf = [&](size_t i) {
        const FPixelClass48SRGB& v = analysis.work[i];
        const int32_t values[3] = {v.r, v.g, v.b};
        int32_t bins[3];
        for (int ch = 0; ch < 3; ++ch)
            bins[ch] = static_cast<int32_t>(int64_t{kColorBins} * (values[ch] - low[ch]) / range[ch]);
        return bins[0] * kColorBins * kColorBins + bins[1] * kColorBins + bins[2];
    };

    std::vector<int32_t> histogram(kColorBins * kColorBins * kColorBins, 0);
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        std::vector<int32_t> rowBins; // counted under the lock, a row at a time
        const size_t start = static_cast<size_t>(j) * analysis.columns;
        for (size_t i = start; i < start + analysis.columns; ++i)
            if (isWeighted(i))
                rowBins.push_back(binOf(i));
        std::lock_guard<std::mutex> hold(merge);
        for (int32_t bin : rowBins)
            ++histogram[bin];
    });

    // Sums per grid row, added up in row order: the same total for any bands.
    std::vector<std::array<double, 3>> rowSums(analysis.rows, {0.0, 0.0, 0.0});
    std::vector<int64_t> rowCounts(analysis.rows, 0);
    ForEachGridRow(analysis.rows, analysis.columns, [&](int32_t j) {
        const size_t start = static_cast<size_t>(j) * analysis.columns;
        for (size_t i = start; i < start + analysis.columns; ++i) {
            if (!isWeighted(i))
                continue;
            const int32_t population = histogram[binOf(i)];
            if (population <= 0)
                continue;
            const size_t distance = static_cast<size_t>(std::sqrt(analysis.weights[i]) + 0.5);
            const double weight = tricube[std::min(distance, tricube.size() - 1)] / std::sqrt(population);
            const FPixelClassFlt32RGB& c = analysis.grid[i];
            rowSums[j][0] += weight * c.r;
            rowSums[j][1] += weight * c.g;
            rowSums[j][2] += weight * c.b;
            ++rowCounts[j];
        }
    });
    FDoubleTriple sum;
    int64_t count = 0;
    for (int32_t j = 0; j < analysis.rows; ++j) {
        sum += FDoubleTriple(rowSums[j][0], rowSums[j][1], rowSums[j][2]);
        count += rowCounts[j];
    }
    if (count == 0)
        return std::nullopt;
    return NormalisedNeutral(sum / static_cast<double>(count));
}

// The neutral polygon for the brightness, with the blends between them:
// the vertex as it leaves step "constrain".
FNeutralVertex BlendConstrained(int inner, int outer, double t, FNeutralVertex v)
{
    const FNeutralVertex pInner = ConstrainNeutral(inner, v, true);
    bool insideOuter = true;
    const FNeutralVertex pOuter = ConstrainNeutral(outer, v, true, &insideOuter);
    if (insideOuter)
        return v;
    auto rounded = [](double value) { return static_cast<int32_t>(value + 0.5); };
    const FNeutralVertex blended{rounded(pInner.x * (1.0 - t)) + rounded(pOuter.x * t),
                                 rounded(pInner.y * (1.0 - t)) + rounded(pOuter.y * t)};
    const FNeutralVertex vInner = ConstrainNeutral(inner, v, false);
    const int64_t dx = pOuter.x - pInner.x;
    const int64_t dy = pOuter.y - pInner.y;
    const int64_t lengthSquared = dx * dx + dy * dy;
    // Coincident boundary points: both polygons agree on where v belongs.
    if (lengthSquared == 0)
        return blended;
    const int64_t along = (int64_t{vInner.x - pInner.x} * dx + int64_t{vInner.y - pInner.y} * dy) / lengthSquared;
    return static_cast<double>(along) < t ? blended : v;
}

FDoubleTriple RommNeutralOf(FNeutralVertex v)
{
    return FDoubleTriple(v.x / 10000.0, 1.0, v.y / 10000.0);
}

} // namespace

void CIELabFromXYZ(double X, double Y, double Z, double Xn, double Yn, double Zn, double& L, double& a, double& b)
{
    const double fx = LabCubeRoot(X / Xn);
    const double fy = LabCubeRoot(Y / Yn);
    const double fz = LabCubeRoot(Z / Zn);
    L = 116.0 * fy - 16.0;
    a = 500.0 * (fx - fy);
    b = 200.0 * (fy - fz);
}

float SelectKthSmallest(uint32_t k, uint32_t n, float* values)
{
    if (values == nullptr || k < 1 || k > n)
        return 0.0f;
    std::nth_element(values, values + (k - 1), values + n);
    return values[k - 1];
}

std::span<const FNeutralVertex> NeutralPolygon(int polygon)
{
    switch (polygon) {
    case 1:
        return kPolygon1;
    case 2:
        return kPolygon2;
    case 3:
        return kPolygon3;
    case 4:
        return kPolygon4;
    default:
        return {};
    }
}

bool IsOutsideNeutralPolygon(std::span<const FNeutralVertex> polygon, FNeutralVertex point)
{
    if (polygon.empty())
        return false;
    int rightCrossings = 0;
    int leftCrossings = 0;
    const size_t count = polygon.size();
    for (size_t i = 0; i < count; ++i) {
        const int64_t xi = int64_t{polygon[i].x} - point.x;
        const int64_t yi = int64_t{polygon[i].y} - point.y;
        if (xi == 0 && yi == 0)
            return false; // on a vertex
        const size_t j = (i + count - 1) % count;
        const int64_t xj = int64_t{polygon[j].x} - point.x;
        const int64_t yj = int64_t{polygon[j].y} - point.y;
        const bool straddlesAbove = (yi > 0) != (yj > 0);
        const bool straddlesBelow = (yi < 0) != (yj < 0);
        if (!straddlesAbove && !straddlesBelow)
            continue;
        const double x = static_cast<double>(xi * yj - xj * yi) / static_cast<double>(yj - yi);
        if (straddlesAbove && x > 0)
            ++rightCrossings;
        if (straddlesBelow && x < 0)
            ++leftCrossings;
    }
    if ((rightCrossings % 2) != (leftCrossings % 2))
        return false; // on an edge
    return rightCrossings % 2 == 0;
}

FNeutralVertex ConstrainNeutral(int polygon, FNeutralVertex point, bool force, bool* inside)
{
    const std::span<const FNeutralVertex> vertices = NeutralPolygon(polygon);
    if (vertices.empty()) {
        DebugPrintf("Returning without constraining due to illegal poly number %d\n", polygon);
        if (inside)
            *inside = true;
        return point;
    }
    const bool outside = IsOutsideNeutralPolygon(vertices, point);
    if (inside)
        *inside = !outside;
    DebugPrintf(outside ? "Vertex is outside specified poly\r\n" : "Vertex is inside specified poly\r\n");
    if (!outside && !force)
        return point;

    FNeutralVertex nearest = point;
    double best = HUGE_VAL;
    auto consider = [&](FNeutralVertex candidate) {
        const double dx = static_cast<double>(candidate.x) - point.x;
        const double dy = static_cast<double>(candidate.y) - point.y;
        const double distance = std::sqrt(dx * dx + dy * dy);
        if (distance < best) {
            best = distance;
            nearest = candidate;
        }
    };
    for (size_t k = 0; k + 1 < vertices.size(); ++k) {
        const FNeutralVertex a = vertices[k];
        const FNeutralVertex b = vertices[k + 1];
        const double ex = static_cast<double>(b.x) - a.x;
        const double ey = static_cast<double>(b.y) - a.y;
        const double lengthSquared = ex * ex + ey * ey;
        if (lengthSquared == 0.0)
            continue;
        const double w = ((static_cast<double>(point.x) - a.x) * ex + (static_cast<double>(point.y) - a.y) * ey) /
                         lengthSquared;
        if (w < 0.0 || w > 1.0)
            continue;
        consider({a.x + static_cast<int32_t>(w * ex + 0.5), a.y + static_cast<int32_t>(w * ey + 0.5)});
    }
    for (size_t k = 0; k < vertices.size(); ++k)
        consider(vertices[k]);
    DebugPrintf("Mapped vertex: (%d, %d)\r\n", nearest.x, nearest.y);
    return nearest;
}

std::optional<FDoubleTriple> NormalisedNeutral(const FDoubleTriple& v)
{
    const double largest = std::max({v.r, v.g, v.b});
    if (!(largest > 0.0) || !std::isfinite(largest))
        return std::nullopt;
    const FDoubleTriple n = v / largest;
    if (!(n.r > 0.0 && n.g > 0.0 && n.b > 0.0) || !std::isfinite(n.r + n.g + n.b))
        return std::nullopt;
    return n;
}

FDoubleTriple CameraDaylightNeutral(const ColorMatrix3x3& camToXYZ)
{
    if (ColorMatrixIsInvertible(camToXYZ)) {
        ColorMatrix3x3 inverse;
        ColorMatrixInverse(inverse, camToXYZ);
        if (const auto neutral = NormalisedNeutral(Apply(inverse, FDoubleTriple(kD65[0], kD65[1], kD65[2]))))
            return *neutral;
    }
    return FDoubleTriple(1.0, 1.0, 1.0);
}

int ChooseReferenceIlluminant(const double scores[6])
{
    int best = 0;
    for (int k = 1; k < kIlluminants; ++k)
        if (scores[k] < scores[best])
            best = k;
    const double lowest = scores[best];
    int choice = best;
    if (best < 4 && lowest > 0.0) {
        std::vector<int> candidates;
        for (int k = 0; k < kIlluminants; ++k)
            if ((scores[k] - lowest) / lowest < 0.5)
                candidates.push_back(k);
        // Scores that are no numbers (an infinite lowest one) leave no
        // candidate: the choice stays the best.
        if (candidates.size() >= 5)
            choice = 2;
        else if (candidates.size() >= 3)
            choice = candidates[1];
        else if (!candidates.empty())
            choice = candidates[0];
        // A picture that still looks much bluer under the warmest white than
        // under the next one is lit by candle or tungsten light.
        const double ratio = scores[4] / scores[5];
        if (ratio > 1.25)
            choice = 5;
        else if (ratio > 1.075)
            choice = 4;
    }
    return choice;
}

FNeutralVertex ConstrainNeutralVertexByBrightness(FNeutralVertex v, double bv, bool flash)
{
    if (flash)
        return ConstrainNeutral(kFlashPolygon, v, false);
    if (bv <= kBlend12Low)
        return ConstrainNeutral(1, v, false);
    if (bv <= kBlend12High)
        return BlendConstrained(1, 2, (bv - kBlend12Low) / (kBlend12High - kBlend12Low), v);
    if (bv <= kBlend23Low)
        return ConstrainNeutral(2, v, false);
    if (bv <= kBlend23High)
        return BlendConstrained(2, 3, (bv - kBlend23Low) / (kBlend23High - kBlend23Low), v);
    return ConstrainNeutral(3, v, false);
}

FDoubleTriple LimitUnconstrainedNeutral(const FDoubleTriple& romm)
{
    const FDoubleTriple p(std::max(romm.r, 0.1), std::max(romm.g, 0.1), std::max(romm.b, 0.1));
    const double k = 3.0 / (p.r + p.g + p.b);
    const double green = std::max(p.g * k, 0.9);
    return FDoubleTriple(std::max(p.r * k, 0.6) / green, 1.0, std::max(p.b * k, 0.5) / green);
}

namespace {

struct NeutralSpace {
    ColorMatrix3x3 toRomm;   // P: camera RGB to ROMM, unbalanced
    ColorMatrix3x3 fromRomm; // its inverse
};

// Holds a camera neutral inside the plausible region for the brightness (or,
// unconstrained, inside loose limits) and brings it back to camera space.
FDoubleTriple ConstrainCameraNeutral(const FDoubleTriple& n, const NeutralSpace& space, double bv, bool flash,
                                     bool constrain, const FDoubleTriple& fallback)
{
    DebugPrintf("Current RGBNeutral is: (%f, %f, %f)\r\n", n.r, n.g, n.b);
    FDoubleTriple p = Apply(space.toRomm, n);
    // A brightness that is no number names no polygon; a flash needs none.
    const bool byPolygon = constrain && p.g > 0.0 && (flash || std::isfinite(bv));
    if (byPolygon) {
        const FNeutralVertex v{TruncateToInt(p.r / p.g * 10000.0), TruncateToInt(p.b / p.g * 10000.0)};
        DebugPrintf("RIMM vertex: (%d, %d)\r\n", v.x, v.y);
        const FNeutralVertex moved = ConstrainNeutralVertexByBrightness(v, bv, flash);
        DebugPrintf("RIMM vertex (after constrain): (%d, %d)\r\n", moved.x, moved.y);
        p = RommNeutralOf(moved);
    } else {
        p = LimitUnconstrainedNeutral(p);
    }
    DebugPrintf("Mapped RIMM RGBNeutral is: (%f, %f, %f)\r\n", p.r, p.g, p.b);
    const FDoubleTriple camera = NormalisedNeutral(Apply(space.fromRomm, p)).value_or(fallback);
    DebugPrintf("New Cam RGBNeutral is: (%f, %f, %f)\r\n", camera.r, camera.g, camera.b);
    return camera;
}

// Bright scenes are rendered a little warmer than their measured neutral.
FDoubleTriple DaylightShift(const FDoubleTriple& n, const NeutralSpace& space, double bv,
                            const FDoubleTriple& fallback)
{
    if (!(bv > kDaylightShiftStart))
        return n;
    const double t = bv >= kDaylightShiftFull ? 1.0 : (bv - kDaylightShiftStart) / (kDaylightShiftFull - kDaylightShiftStart);
    FDoubleTriple p = Apply(space.toRomm, n);
    p.r *= 1.0 - static_cast<double>(0.02f) * t;
    p.b *= 1.0 + static_cast<double>(0.08f) * t;
    return NormalisedNeutral(Apply(space.fromRomm, p)).value_or(fallback);
}

struct EstimateInputs {
    double dBv;
    bool bFlash;
    ColorMatrix3x3 camToXYZ;
    double gainRatio;
    bool bConstrain;
    double levels[3];
};

FDoubleTriple EstimateOnGrid(Analysis& analysis, const EstimateInputs& in)
{
    const FDoubleTriple fallback = CameraDaylightNeutral(in.camToXYZ);
    NeutralSpace space;
    BuildWorkingSpaceMatrix(space.toRomm, in.camToXYZ, FDoubleTriple(-1, -1, -1), in.gainRatio, 0.0);
    if (analysis.Points() < 4 || !ColorMatrixIsInvertible(space.toRomm))
        return fallback;
    ColorMatrixInverse(space.fromRomm, space.toRomm);
    ColorMatrixScale(analysis.toXYZ, in.camToXYZ, in.gainRatio * 0.0156);
    ColorMatrix3x3 balanced;
    BuildWorkingSpaceMatrix(balanced, in.camToXYZ, FDoubleTriple(1, 1, 1), in.gainRatio, 0.0);

    SetLimits(analysis, in.levels);
    BuildWorkImage(analysis, balanced, in.gainRatio <= 0.5);
    analysis.weights.assign(analysis.Points() + 10, 0.0f);

    int illuminant = kFlashIlluminant;
    if (!in.bFlash) {
        const std::array<double, kIlluminants> scores = IlluminantScores(analysis);
        illuminant = ChooseReferenceIlluminant(scores.data());
    }

    const std::optional<FDoubleTriple> first =
        WeightedNeutral(analysis, kIlluminantXYZ[illuminant], kFirstRadius, TricubeWeights(kFirstRadius));
    if (!first)
        return fallback;
    FDoubleTriple n = ConstrainCameraNeutral(*first, space, in.dBv, in.bFlash, in.bConstrain, fallback);

    const std::vector<double> tricube = TricubeWeights(kRefineRadius);
    double change = HUGE_VAL;
    for (int pass = 0; pass < kRefinePasses && change > kRefineChange; ++pass) {
        const FDoubleTriple xyz = Apply(analysis.toXYZ, n);
        if (!(xyz.g > 0.0))
            break;
        const double white[3] = {100.0 * xyz.r / xyz.g, 100.0, 100.0 * xyz.b / xyz.g};
        const std::optional<FDoubleTriple> refined = WeightedNeutral(analysis, white, kRefineRadius, tricube);
        if (!refined)
            break;
        change = (std::abs((n.r - refined->r) / refined->r) + std::abs((n.g - refined->g) / refined->g) +
                  std::abs((n.b - refined->b) / refined->b)) /
                 3.0;
        n = *refined;
    }
    n = ConstrainCameraNeutral(n, space, in.dBv, in.bFlash, in.bConstrain, fallback);
    n = DaylightShift(n, space, in.dBv, fallback);
    return NormalisedNeutral(n).value_or(fallback);
}

} // namespace

FDoubleTriple EstimateNeutralChromaWeighted(const FChromaWeightedWBParams& params)
{
    if (params.pSource == nullptr || params.pSource->GetPixelType() != FPixmap::PIXEL_48S_RGB)
        throw FExceptionPixelProc2("EstimateNeutralChromaWeighted: source is not 48-bit signed RGB");
    const auto& source = static_cast<const FPixmapTemplate<FPixelClass48SRGB>&>(*params.pSource);
    Analysis analysis;
    if (source.m_iColumns <= kWideGridLimit) {
        CopyToGrid(analysis, source, [](float v) { return v; });
    } else {
        ReduceToGrid(analysis, source, params.adFlare, params.afPostPoly);
    }
    const EstimateInputs in{params.dBv,       params.bFlash,     params.mCamToXYZ,
                            params.dGainRatio, params.bConstrain, {params.adLevel[0], params.adLevel[1], params.adLevel[2]}};
    return EstimateOnGrid(analysis, in);
}

FDoubleTriple EstimateNeutralChromaWeightedFloat(const FPixmapTemplate<FPixelClassFlt32RGB>& image, double dBv,
                                                 bool bFlash, const ColorMatrix3x3& camToXYZ, double gainRatio,
                                                 bool bConstrain)
{
    Analysis analysis;
    CopyToGrid(analysis, image, FiniteSample);
    const EstimateInputs in{dBv, bFlash, camToXYZ, gainRatio, bConstrain, {5000.0, 5000.0, 5000.0}};
    return EstimateOnGrid(analysis, in);
}
