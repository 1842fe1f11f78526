#include "engine/corrections/CorrectionKernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kQ14Bits = 14;
constexpr int64_t kQ14One = int64_t{1} << kQ14Bits;
constexpr double kQ11One = 2048.0;

// Working values are 16-bit; these bounds only stop calibration values far
// outside their range from overflowing the 64-bit products.
constexpr int64_t kPolyInputLimit = int64_t{1} << 18;
constexpr int64_t kCorrectedLimit = int64_t{1} << 20;
constexpr int64_t kGainLimit = int64_t{1} << 31;
constexpr int64_t kOutputMax = 32000;
constexpr int64_t kOutputMin = -32768;

int32_t ToQ14(double value) { return TruncateToInt(value * 16384.0); }

int64_t Limit(int64_t value, int64_t bound) { return std::clamp(value, -bound, bound); }

struct PolyInput {
    int64_t c[3];
};

PolyInput LimitedInput(int64_t r, int64_t g, int64_t b)
{
    return {{Limit(r, kPolyInputLimit), Limit(g, kPolyInputLimit), Limit(b, kPolyInputLimit)}};
}

void ApplyFull(const PolyCorrection& record, const PolyInput& in, int64_t* out)
{
    const int64_t r = in.c[0], g = in.c[1], b = in.c[2];
    const int64_t r2 = (r * r) >> kQ14Bits, g2 = (g * g) >> kQ14Bits, b2 = (b * b) >> kQ14Bits;
    const int64_t terms[PolyCorrection::kTermCount] = {
        r2, g2, b2, (r * g) >> kQ14Bits, (r * b) >> kQ14Bits, (g * b) >> kQ14Bits,
        (r * r2) >> kQ14Bits, (g * g2) >> kQ14Bits, (b * b2) >> kQ14Bits,
    };
    for (int k = 0; k < 3; ++k) {
        int64_t sum = 0;
        for (int j = 0; j < PolyCorrection::kTermCount; ++j)
            sum += record.aiCoeff[k][j] * terms[j];
        out[k] = in.c[k] + (sum >> kQ14Bits);
    }
}

void ApplySquares(const PolyCorrection& record, const PolyInput& in, int64_t* out)
{
    const int64_t squares[3] = {(in.c[0] * in.c[0]) >> kQ14Bits, (in.c[1] * in.c[1]) >> kQ14Bits,
                                (in.c[2] * in.c[2]) >> kQ14Bits};
    for (int k = 0; k < 3; ++k) {
        const int32_t* p = record.aiCoeff[k];
        out[k] = in.c[k] + ((p[0] * squares[0] + p[1] * squares[1] + p[2] * squares[2]) >> kQ14Bits);
    }
}

void ApplyDiagonal(const PolyCorrection& record, const PolyInput& in, int64_t* out)
{
    for (int k = 0; k < 3; ++k) {
        const int64_t x = in.c[k];
        const int64_t square = (x * x) >> kQ14Bits;
        const int64_t cube = (x * square) >> kQ14Bits;
        out[k] = (record.aiOwnCube[k] * cube + record.aiOwnSquare[k] * square + kQ14One * x) >> kQ14Bits;
    }
}

void ApplyForm(PolyCorrectionForm form, const PolyCorrection& record, const PolyInput& in, int64_t* out)
{
    switch (form) {
    case PolyCorrectionForm::None:
        std::copy(in.c, in.c + 3, out);
        break;
    case PolyCorrectionForm::Diagonal:
        ApplyDiagonal(record, in, out);
        break;
    case PolyCorrectionForm::Squares:
        ApplySquares(record, in, out);
        break;
    case PolyCorrectionForm::Full:
        ApplyFull(record, in, out);
        break;
    }
}

FIntTriple ToIntTriple(const int64_t* v)
{
    auto toInt = [](int64_t x) { return static_cast<int>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)); };
    return FIntTriple(toInt(v[0]), toInt(v[1]), toInt(v[2]));
}

void ApplyToTriple(PolyCorrectionForm form, const PolyCorrection& record, const FIntTriple& in, FIntTriple& out)
{
    int64_t result[3];
    ApplyForm(form, record, LimitedInput(in.r, in.g, in.b), result);
    out = ToIntTriple(result);
}

// ---- Gain along the row: a Q22 accumulator per component, stepped once per
// pixel and reloaded at every table interval.

class GainInterpolator {
public:
    GainInterpolator(const float* gainRow, int32_t v, int32_t W, const FDoubleTriple& factors)
        : m_pRow(gainRow), m_iLastInterval(v - 2), m_fPixelsPerInterval(static_cast<float>(W) / static_cast<float>(v - 1))
    {
        for (int k = 0; k < 3; ++k)
            m_afScale[k] = static_cast<float>(factors[k] * 16384.0 * 256.0);
        Load(0);
    }

    // The Q14 gain of pixel i; pixels are visited in order.
    void Advance(int32_t i)
    {
        while (m_dBoundary <= i && m_iInterval < m_iLastInterval)
            Load(m_iInterval + 1);
    }
    int64_t Gain(int k) const { return Limit(m_aiAcc[k] >> 8, kGainLimit); }
    void Step()
    {
        for (int k = 0; k < 3; ++k)
            m_aiAcc[k] += m_aiInc[k];
    }

private:
    void Load(int32_t interval)
    {
        m_iInterval = interval;
        const float* here = m_pRow + 3 * interval;
        const float* next = here + 3;
        for (int k = 0; k < 3; ++k) {
            m_aiAcc[k] = TruncateToInt(m_afScale[k] * here[k]);
            m_aiInc[k] = TruncateToInt(m_afScale[k] * (next[k] - here[k]) / m_fPixelsPerInterval);
        }
        m_dBoundary = interval == 0 ? static_cast<double>(m_fPixelsPerInterval) : m_dBoundary + m_fPixelsPerInterval;
    }

    const float* m_pRow;
    int32_t m_iLastInterval;
    float m_fPixelsPerInterval;
    float m_afScale[3] = {};
    int32_t m_iInterval = 0;
    double m_dBoundary = 0.0;
    int64_t m_aiAcc[3] = {};
    int64_t m_aiInc[3] = {};
};

int16_t StoreCorrected(int64_t value) { return static_cast<int16_t>(std::clamp(value, kOutputMin, kOutputMax)); }

// The Q14 factors of the row kernel, every one set (zero-initialised first) so
// that no path through the pixel loop can read an unset factor.
struct RowTerms {
    int64_t d1[3] = {};
    int64_t d2[3] = {};
    int64_t ps[3] = {};
    int64_t po[3] = {};
    int64_t offset[3] = {};
    int64_t slope[3] = {};
    int64_t rampStart[3] = {}; // the ramp at column 0: centred on the row's middle
};

RowTerms MakeRowTerms(int32_t W, const FDoubleTriple& D1, const FDoubleTriple& D2, const FDoubleTriple& PS,
                      const FDoubleTriple& PO, const double* ramp6, const FDoubleTriple& offsets)
{
    RowTerms terms;
    for (int k = 0; k < 3; ++k) {
        terms.d1[k] = ToQ14(D1[k]);
        terms.d2[k] = ToQ14(D2[k]);
        terms.ps[k] = ToQ14(PS[k]);
        terms.po[k] = ToQ14(PO[k]);
        terms.offset[k] = ToQ14(offsets[k]);
        terms.slope[k] = ToQ14(ramp6[k] / W);
        terms.rampStart[k] = ToQ14(ramp6[3 + k]) - int64_t{W >> 1} * terms.slope[k];
    }
    return terms;
}

// ---- Row offsets

int64_t Component(const FPixelClass48SRGB& pixel, int k) { return k == 0 ? pixel.r : (k == 1 ? pixel.g : pixel.b); }

struct ShieldRange {
    int32_t first;
    int32_t last;
};

// The trimmed mean of one range of a row in pixel units: every column's
// filtered value minus the ramp level, the largest and smallest dropped.
FDoubleTriple TrimmedRangeMean(const FPixelClass48SRGB* row, ShieldRange range, const int64_t* K,
                               const int64_t* level)
{
    FDoubleTriple mean;
    const double kept = static_cast<double>(range.last - range.first - 1) * kQ11One;
    for (int k = 0; k < 3; ++k) {
        int64_t sum = 0;
        int64_t lowest = int64_t{1} << 30;
        int64_t highest = -(int64_t{1} << 30);
        for (int32_t x = range.first; x <= range.last; ++x) {
            const int64_t value = Component(row[x], k);
            const int64_t left = Component(row[x - 1], k);
            const int64_t q = 2048 * value + K[k] * (value - left) - level[k];
            sum += q;
            lowest = std::min(lowest, q);
            highest = std::max(highest, q);
        }
        mean[k] = static_cast<double>(sum - lowest - highest) / kept;
    }
    return mean;
}

bool Usable(const FDoubleTriple& mean) { return mean.r < 100 && mean.g < 100 && mean.b < 100; }

FDoubleTriple RowOffset(const FPixelClass48SRGB* row, ShieldRange left, ShieldRange right, const int64_t* K,
                        const double* ramp)
{
    int64_t leftLevel[3], rightLevel[3];
    for (int k = 0; k < 3; ++k) {
        const int64_t centre = TruncateToInt(ramp[3 + k] * kQ11One);
        const int64_t half = TruncateToInt(0.5 * ramp[k] * kQ11One);
        leftLevel[k] = centre - half;
        rightLevel[k] = centre + half;
    }
    const FDoubleTriple meanLeft = TrimmedRangeMean(row, left, K, leftLevel);
    const FDoubleTriple meanRight = TrimmedRangeMean(row, right, K, rightLevel);
    const bool leftUsable = Usable(meanLeft), rightUsable = Usable(meanRight);
    if (leftUsable && rightUsable) {
        FDoubleTriple both = meanRight * 3.0;
        both += meanLeft;
        return both / 4.0;
    }
    if (leftUsable)
        return meanLeft;
    if (rightUsable)
        return meanRight;
    return FDoubleTriple();
}

double Median3(double a, double b, double c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

// Each inner row becomes the median of itself and its neighbours; the last
// row the mean of the last two, the first the mean of rows 1 and 3.
void MedianAcrossRows(FDoubleTriple* rows, int32_t H)
{
    const std::vector<FDoubleTriple> before(rows, rows + H);
    for (int32_t i = 1; i < H - 1; ++i)
        for (int k = 0; k < 3; ++k)
            rows[i][k] = Median3(before[i - 1][k], before[i][k], before[i + 1][k]);
    for (int k = 0; k < 3; ++k) {
        rows[H - 1][k] = (before[H - 2][k] + before[H - 1][k]) / 2.0;
        rows[0][k] = (rows[1][k] + rows[3][k]) / 2.0;
    }
}

// A forward pass, then a backward pass around the mean, which leaves only the
// variation of the offsets from row to row, scaled by g.
void SmoothAcrossRows(FDoubleTriple* rows, int32_t H, double g, double s)
{
    const double a = 1.0 - std::exp(-1.0 / s);
    FDoubleTriple sum = rows[0];
    for (int32_t i = 1; i < H; ++i) {
        const FDoubleTriple step = (rows[i] - rows[i - 1]) * a;
        rows[i] = rows[i - 1];
        rows[i] += step;
        sum += rows[i];
    }
    const FDoubleTriple mean = sum / static_cast<double>(H);
    FDoubleTriple w = rows[H - 1];
    for (int32_t i = H - 1; i >= 0; --i) {
        w += ((rows[i] - mean) - w) * a;
        rows[i] = w * g;
    }
}

// One luminance-like pattern across the rows, fitted to each component by
// least squares.
void ShareOneRowPattern(FDoubleTriple* rows, int32_t H)
{
    std::vector<double> pattern(static_cast<size_t>(H));
    double energy = 0.0;
    FDoubleTriple correlation;
    for (int32_t i = 0; i < H; ++i) {
        pattern[i] = (rows[i].r + 2.0 * rows[i].g + rows[i].b) / 4.0;
        energy += pattern[i] * pattern[i];
        correlation += rows[i] * pattern[i];
    }
    // No pattern at all: every row is 0 whatever the factors.
    const FDoubleTriple factors = energy > 0 ? correlation / energy : FDoubleTriple();
    for (int32_t i = 0; i < H; ++i)
        rows[i] = factors * pattern[i];
}

bool RangeInsideRow(ShieldRange range, int32_t W) { return range.first >= 1 && range.last < W; }

} // namespace

// ---- Polynomial

void PolyCorrectionFromMatrix(PolyCorrection& record, const float* matrix27)
{
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < PolyCorrection::kTermCount; ++j)
            record.aiCoeff[k][j] = ToQ14(matrix27[PolyCorrection::kTermCount * k + j]);
        record.aiOwnSquare[k] = record.aiCoeff[k][k];
        record.aiOwnCube[k] = record.aiCoeff[k][PolyCorrection::kFirstCubeTerm + k];
    }
}

PolyCorrectionForm PolyCorrectionChooseForm(const PolyCorrection& record)
{
    bool any = false, otherSquare = false, crossOrOtherCube = false, ownCube = false;
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < PolyCorrection::kTermCount; ++j) {
            if (record.aiCoeff[k][j] == 0)
                continue;
            any = true;
            if (j < PolyCorrection::kFirstCrossTerm)
                otherSquare |= j != k;
            else if (j < PolyCorrection::kFirstCubeTerm || j != PolyCorrection::kFirstCubeTerm + k)
                crossOrOtherCube = true;
            else
                ownCube = true;
        }
    }
    if (!any)
        return PolyCorrectionForm::None;
    if (crossOrOtherCube || (ownCube && otherSquare))
        return PolyCorrectionForm::Full;
    return otherSquare ? PolyCorrectionForm::Squares : PolyCorrectionForm::Diagonal;
}

void PolyCorrectionApply(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out)
{
    ApplyToTriple(PolyCorrectionForm::Full, record, in, out);
}

void PolyCorrectionApplySquares(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out)
{
    ApplyToTriple(PolyCorrectionForm::Squares, record, in, out);
}

void PolyCorrectionApplyDiagonal(const PolyCorrection& record, const FIntTriple& in, FIntTriple& out)
{
    ApplyToTriple(PolyCorrectionForm::Diagonal, record, in, out);
}

void PolyCorrectionOnTriple(const float* matrix27, const FDoubleTriple& in, FDoubleTriple& out)
{
    PolyCorrection record;
    PolyCorrectionFromMatrix(record, matrix27);
    const FIntTriple rounded(FDoubleTriple(in.r + 0.5, in.g + 0.5, in.b + 0.5));
    FIntTriple result(0);
    PolyCorrectionApply(record, rounded, result);
    out = FDoubleTriple(result);
}

// ---- Ramp and gain records

void InterpolateRowRamp(double* out6, const double* firstAndLast12, int32_t y, int32_t H)
{
    const double t = H > 1 ? static_cast<double>(y) / (H - 1) : 0.0;
    for (int i = 0; i < 6; ++i)
        out6[i] = firstAndLast12[i] + t * (firstAndLast12[6 + i] - firstAndLast12[i]);
}

void InterpolateGainRow(const CamdataRGBTable& table, int32_t y, int32_t H, float* out)
{
    const double lastRow = table.m_iRows - 1.0;
    const double c = H > 1 ? std::clamp(static_cast<double>(y) / (H - 1) * lastRow, 0.0, lastRow) : 0.0;
    const double d = std::floor(c);
    const double fraction = c - d; // in double precision: the product is rounded once
    const size_t rowFloats = size_t{3} * table.m_iColumns;
    const float* below = table.m_pTable + static_cast<size_t>(d) * rowFloats;
    const float* above = table.m_pTable + static_cast<size_t>(std::ceil(c)) * rowFloats;
    for (size_t i = 0; i < rowFloats; ++i)
        out[i] = below[i] + static_cast<float>(fraction * (above[i] - below[i]));
}

// ---- The row kernel

void CorrectionProcessRow(FPixelClass48SRGB* row, int32_t W, const FDoubleTriple& D1, const FDoubleTriple& D2,
                          const FDoubleTriple& PS, const FDoubleTriple& PO, int32_t u, const double* ramp6,
                          const FDoubleTriple& offsets, const float* polyMatrix27, const float* gainRow, int32_t v,
                          const FDoubleTriple& gainFactors)
{
    if (W < 1)
        return;
    // A missing or one-entry gain row is a constant gain over two entries.
    float constantGain[6] = {1, 1, 1, 1, 1, 1};
    if (gainRow == nullptr || v < 2) {
        if (gainRow != nullptr && v == 1)
            for (int i = 0; i < 6; ++i)
                constantGain[i] = gainRow[i % 3];
        gainRow = constantGain;
        v = 2;
    }

    const RowTerms terms = MakeRowTerms(W, D1, D2, PS, PO, ramp6, offsets);
    int64_t ramp[3] = {terms.rampStart[0], terms.rampStart[1], terms.rampStart[2]};
    const bool squareDifferences = terms.d2[0] != 0 || terms.d2[1] != 0 || terms.d2[2] != 0;

    PolyCorrection poly;
    PolyCorrectionFromMatrix(poly, polyMatrix27);
    const PolyCorrectionForm form = PolyCorrectionChooseForm(poly);
    GainInterpolator gain(gainRow, v, W, gainFactors);

    const bool periodic = u > 1;
    int32_t columnInPeriod = 0;
    int64_t previous[3] = {row[0].r, row[0].g, row[0].b};
    for (int32_t i = 0; i < W; ++i) {
        gain.Advance(i);
        const int64_t input[3] = {row[i].r, row[i].g, row[i].b};
        const bool patternColumn = periodic && columnInPeriod == 0;
        int64_t corrected[3];
        for (int k = 0; k < 3; ++k) {
            const int64_t difference = input[k] - previous[k];
            int64_t a = input[k] * kQ14One + difference * terms.d1[k];
            if (squareDifferences)
                a += ((difference * difference) >> kQ14Bits) * terms.d2[k];
            if (patternColumn)
                a += terms.ps[k] * previous[k] + terms.po[k];
            corrected[k] = (a - ramp[k] - terms.offset[k]) >> kQ14Bits;
            ramp[k] += terms.slope[k];
        }
        int64_t polished[3];
        ApplyForm(form, poly, LimitedInput(corrected[0], corrected[1], corrected[2]), polished);
        row[i].r = StoreCorrected((Limit(polished[0], kCorrectedLimit) * gain.Gain(0)) >> kQ14Bits);
        row[i].g = StoreCorrected((Limit(polished[1], kCorrectedLimit) * gain.Gain(1)) >> kQ14Bits);
        row[i].b = StoreCorrected((Limit(polished[2], kCorrectedLimit) * gain.Gain(2)) >> kQ14Bits);
        gain.Step();
        std::copy(input, input + 3, previous);
        if (periodic && ++columnInPeriod == u)
            columnInPeriod = 0;
    }
}

// ---- Row offsets

void EstimateRowOffsets(FDoubleTriple* rowOffsets, const FPixmap* image, int32_t H, int32_t c0, int32_t c1, int32_t c2,
                        int32_t c3, const FDoubleTriple& D1, const double* ramps12, double g, double s,
                        const FIntRect& activeArea, bool colorAverage)
{
    if (H <= 0)
        return;
    std::fill(rowOffsets, rowOffsets + H, FDoubleTriple());
    const ShieldRange left{c0, c1}, right{c2, c3};
    const int32_t top = activeArea.top, bottom = activeArea.bottom;
    // 64-bit differences: the columns and rows are camera data.
    if (int64_t{c1} - c0 < 3 || int64_t{c3} - c2 < 3 || activeArea.Height() < 10 || !(g > 0) || !std::isfinite(g) ||
        !(s > 0))
        return;
    if (image == nullptr || image->GetPixelType() != FPixmap::PIXEL_48S_RGB || H > image->m_iRows || top < 0 ||
        bottom > H || !RangeInsideRow(left, image->m_iColumns) || !RangeInsideRow(right, image->m_iColumns))
        return;

    const auto* pixels = static_cast<const FPixmapTemplate<FPixelClass48SRGB>*>(image);
    int64_t K[3];
    for (int k = 0; k < 3; ++k)
        K[k] = TruncateToInt(D1[k] * kQ11One);
    // Only the active rows are measured: the margins copy them below.
    for (int32_t y = top; y < bottom; ++y) {
        double ramp[6];
        InterpolateRowRamp(ramp, ramps12, y, H);
        rowOffsets[y] = RowOffset(pixels->GetRow(y), left, right, K, ramp);
    }
    // Margins wider than the active area repeat its outermost rows.
    for (int32_t i = 0; i < top; ++i)
        rowOffsets[i] = rowOffsets[std::min(top + i, bottom - 1)];
    for (int32_t j = 0; j < H - bottom; ++j)
        rowOffsets[bottom + j] = rowOffsets[std::max(2 * bottom - H + j, top)];

    MedianAcrossRows(rowOffsets, H);
    SmoothAcrossRows(rowOffsets, H, g, s);
    if (colorAverage)
        ShareOneRowPattern(rowOffsets, H);
}
