#include "engine/corrections/CorrectionKernels.h"

#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

using testsupport::TestPixmap;

namespace {

using Matrix27 = std::array<float, 27>;

Matrix27 MatrixWith(std::initializer_list<std::pair<int, float>> entries)
{
    Matrix27 m{};
    for (auto [index, value] : entries)
        m[index] = value;
    return m;
}

std::vector<FPixelClass48SRGB> GreyRow(std::initializer_list<int16_t> values)
{
    std::vector<FPixelClass48SRGB> row;
    for (int16_t v : values)
        row.push_back({v, v, v});
    return row;
}

// Corrects a row with neutral settings except those the test passes.
struct RowCorrection {
    FDoubleTriple d1, d2, ps, po, offsets;
    int32_t period = 0;
    double ramp[6] = {};
    Matrix27 poly{};
    std::vector<float> gainRow = std::vector<float>(6, 1.0f);
    FDoubleTriple gainFactors{1, 1, 1};

    void Run(std::vector<FPixelClass48SRGB>& row) const
    {
        CorrectionProcessRow(row.data(), int32_t(row.size()), d1, d2, ps, po, period, ramp, offsets, poly.data(),
                             gainRow.data(), int32_t(gainRow.size() / 3), gainFactors);
    }
};

} // namespace

TEST(CorrectionKernelsTest, RecordHoldsTruncatedQ14CoefficientsAndTheDiagonalCopies)
{
    Matrix27 m{};
    for (int i = 0; i < 27; ++i)
        m[i] = 0.01f * float(i) - 0.1f;
    PolyCorrection record;
    PolyCorrectionFromMatrix(record, m.data());
    EXPECT_EQ(record.aiCoeff[0][0], -1638); // trunc(-0.1 x 16384) toward zero
    EXPECT_EQ(record.aiCoeff[2][8], TruncateToInt(double(m[26]) * 16384.0));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(record.aiOwnSquare[k], record.aiCoeff[k][k]);
        EXPECT_EQ(record.aiOwnCube[k], record.aiCoeff[k][6 + k]);
    }
}

TEST(CorrectionKernelsTest, FormIsTheCheapestThatKeepsTheResult)
{
    struct Case {
        Matrix27 matrix;
        PolyCorrectionForm form;
    } cases[] = {
        {{}, PolyCorrectionForm::None},
        {MatrixWith({{0, 0.1f}, {9 + 7, -0.2f}, {18 + 2, 0.05f}}), PolyCorrectionForm::Diagonal},
        {MatrixWith({{1, 0.1f}, {9 + 1, 0.3f}}), PolyCorrectionForm::Squares},
        {MatrixWith({{9 + 5, 0.01f}}), PolyCorrectionForm::Full},             // a cross term
        {MatrixWith({{7, 0.01f}}), PolyCorrectionForm::Full},                 // another component's cube
        {MatrixWith({{6, 0.01f}, {9 + 2, 0.1f}}), PolyCorrectionForm::Full},  // own cube and another square
    };
    for (const Case& c : cases) {
        PolyCorrection record;
        PolyCorrectionFromMatrix(record, c.matrix.data());
        EXPECT_EQ(PolyCorrectionChooseForm(record), c.form) << int(&c - cases);
    }
}

TEST(CorrectionKernelsTest, ReducedFormsEqualTheFullFormOnRandomInput)
{
    std::mt19937 random(15);
    std::uniform_real_distribution<float> coefficient(-0.5f, 0.5f);
    std::uniform_int_distribution<int> value(-4096, 32767);
    for (int trial = 0; trial < 200; ++trial) {
        Matrix27 diagonal{}, squares{};
        for (int k = 0; k < 3; ++k) {
            diagonal[9 * k + k] = coefficient(random);
            diagonal[9 * k + 6 + k] = coefficient(random);
            for (int j = 0; j < 3; ++j)
                squares[9 * k + j] = coefficient(random);
        }
        PolyCorrection diagonalRecord, squaresRecord;
        PolyCorrectionFromMatrix(diagonalRecord, diagonal.data());
        PolyCorrectionFromMatrix(squaresRecord, squares.data());
        const FIntTriple in(value(random), value(random), value(random));
        FIntTriple full(0), reduced(0);
        PolyCorrectionApply(diagonalRecord, in, full);
        PolyCorrectionApplyDiagonal(diagonalRecord, in, reduced);
        ASSERT_EQ(std::tie(full.r, full.g, full.b), std::tie(reduced.r, reduced.g, reduced.b)) << trial;
        PolyCorrectionApply(squaresRecord, in, full);
        PolyCorrectionApplySquares(squaresRecord, in, reduced);
        ASSERT_EQ(std::tie(full.r, full.g, full.b), std::tie(reduced.r, reduced.g, reduced.b)) << trial;
    }
}

TEST(CorrectionKernelsTest, PolynomialOnATripleRoundsItsInputAndKeepsLargeSumsExact)
{
    // R gains half its square, G a quarter of r g, B loses an eighth of its cube.
    const Matrix27 m = MatrixWith({{0, 0.5f}, {9 + 3, 0.25f}, {18 + 8, -0.125f}});
    FDoubleTriple out;
    PolyCorrectionOnTriple(m.data(), {8191.6, 16384.2, 8192.4}, out);
    EXPECT_EQ(out.r, 8192 + 2048);
    EXPECT_EQ(out.g, 16384 + 2048);
    EXPECT_EQ(out.b, 8192 - 256);

    // Nine terms of full-range values sum past 2^31: formed in 64 bits, the
    // result is the polynomial's, not a wrapped one.
    Matrix27 ones;
    ones.fill(1.0f);
    PolyCorrectionOnTriple(ones.data(), {32767, 32767, 32767}, out);
    // Six second-order terms of 65532 and three cubes of 131060.
    EXPECT_EQ(out.r, 32767 + 6 * 65532 + 3 * 131060);
}

TEST(CorrectionKernelsTest, RampIsInterpolatedBetweenTheFirstAndLastRow)
{
    const double records[12] = {10, 20, 30, 1, 2, 3, 20, 40, 60, 3, 6, 9};
    double out[6];
    InterpolateRowRamp(out, records, 0, 11);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[5], 3);
    InterpolateRowRamp(out, records, 10, 11);
    EXPECT_EQ(out[1], 40);
    EXPECT_EQ(out[3], 3);
    InterpolateRowRamp(out, records, 5, 11);
    EXPECT_DOUBLE_EQ(out[2], 45);
    EXPECT_DOUBLE_EQ(out[4], 4);
    InterpolateRowRamp(out, records, 0, 1); // a single row takes the first record
    EXPECT_EQ(out[0], 10);
}

TEST(CorrectionKernelsTest, GainRowIsInterpolatedBetweenTheTableRowsAroundTheImageRow)
{
    // Three table rows of two columns; row r holds r + 1 (column 0) and 10 (r + 1) (column 1).
    std::vector<float> values;
    for (int r = 0; r < 3; ++r)
        for (float v : {1.0f, 10.0f})
            for (int c = 0; c < 3; ++c)
                values.push_back(v * float(r + 1) + float(c));
    const CamdataRGBTable table{values.data(), 2, 3};
    std::vector<float> out(6);
    InterpolateGainRow(table, 1, 5, out.data()); // c = 0.5: halfway between rows 0 and 1
    EXPECT_FLOAT_EQ(out[0], 1.5f);
    EXPECT_FLOAT_EQ(out[5], 17.0f);
    InterpolateGainRow(table, 4, 5, out.data()); // the last image row is the last table row
    EXPECT_FLOAT_EQ(out[0], 3.0f);
    EXPECT_FLOAT_EQ(out[3], 30.0f);

    // The row fraction is not rounded to float before it scales the
    // difference: 1.1 + 0.6 x (1.9 - 1.1) gives 1.57999992, not 1.58000004.
    std::vector<float> gains = {1.1f, 1.1f, 1.1f, 1.9f, 1.9f, 1.9f};
    const CamdataRGBTable twoRows{gains.data(), 1, 2};
    InterpolateGainRow(twoRows, 3, 6, out.data());
    EXPECT_EQ(out[0], 1.57999992f);
}

TEST(CorrectionKernelsTest, NeutralSettingsKeepEveryPixel)
{
    auto row = GreyRow({0, 100, -250, 4096, 32000, -32768, 7});
    const auto before = row;
    RowCorrection().Run(row);
    for (size_t i = 0; i < row.size(); ++i)
        EXPECT_EQ(row[i].g, before[i].g) << i;
}

TEST(CorrectionKernelsTest, ColumnFilterRampOffsetsAndPeriodicPattern)
{
    RowCorrection step;
    step.d1 = FDoubleTriple(0.5);
    auto row = GreyRow({1000, 1000, 2000, 2000});
    step.Run(row);
    EXPECT_EQ(row[1].r, 1000);
    EXPECT_EQ(row[2].r, 2500); // half of the rise added where it happens
    EXPECT_EQ(row[3].r, 2000);

    // A total slope of 8 across 8 pixels, centred on pixel 4, and an offset of 5.
    RowCorrection ramp;
    ramp.ramp[0] = ramp.ramp[1] = ramp.ramp[2] = 8;
    ramp.offsets = FDoubleTriple(5);
    row = GreyRow({100, 100, 100, 100, 100, 100, 100, 100});
    ramp.Run(row);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(row[i].b, 100 - 5 - (i - 4)) << i;

    RowCorrection pattern;
    pattern.period = 4;
    pattern.po = FDoubleTriple(10);
    row = GreyRow({50, 50, 50, 50, 50, 50, 50, 50, 50, 50});
    pattern.Run(row);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(row[i].g, i % 4 == 0 ? 60 : 50) << i;
    pattern.period = 1; // a period of one column is no pattern
    row = GreyRow({50, 50, 50});
    pattern.Run(row);
    EXPECT_EQ(row[0].g, 50);
}

TEST(CorrectionKernelsTest, GainIsLinearAlongTheRowAndLimitedOnlyAbove)
{
    RowCorrection ramp;
    ramp.gainRow = {1, 1, 1, 2, 2, 2};
    auto row = GreyRow({1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000});
    ramp.Run(row);
    EXPECT_EQ(row[0].r, 1000);
    for (int i = 1; i < 9; ++i) {
        EXPECT_NEAR(row[i].r, 1000.0 * (1.0 + i / 9.0), 1.0) << i;
        EXPECT_GT(row[i].r, row[i - 1].r);
    }

    RowCorrection twice;
    twice.gainFactors = FDoubleTriple(2);
    row = GreyRow({20000, -5000, 16000});
    twice.Run(row);
    EXPECT_EQ(row[0].r, 32000);
    EXPECT_EQ(row[1].r, -10000);
    EXPECT_EQ(row[2].r, 32000);

    // A one-entry gain row is a constant gain; calibration far out of range
    // gives a limited pixel, not an overflow.
    RowCorrection constant;
    constant.gainRow = {3, 3, 3};
    row = GreyRow({1000, -20000});
    constant.Run(row);
    EXPECT_EQ(row[0].r, 3000);
    EXPECT_EQ(row[1].r, -32768);
    RowCorrection absurd;
    absurd.d1 = FDoubleTriple(1e12);
    absurd.gainRow = {1e30f, 1e30f, 1e30f, NAN, NAN, NAN};
    row = GreyRow({0, 30000, -30000, 0});
    absurd.Run(row);
    EXPECT_EQ(row[1].r, 32000);
}

namespace {

// A dark image whose shield columns 6..14 and 26..34 hold the given levels.
struct ShieldImage {
    static constexpr int32_t kWidth = 40;
    TestPixmap<FPixelClass48SRGB> image;
    int32_t H;

    ShieldImage(int32_t rows, FIntTriple left, FIntTriple right) : image(kWidth, rows), H(rows)
    {
        for (int32_t y = 0; y < rows; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                *image.Get()->GetPixel(x, y) = x < 20 ? left : right;
    }
    void Set(int32_t x, int32_t y, FIntTriple v) { *image.Get()->GetPixel(x, y) = v; }

    std::vector<FDoubleTriple> Offsets(double g = 1.0, double s = 4.0, bool colorAverage = false,
                                       FIntRect active = FIntRect(0, 0, 40, 0), int32_t c0 = 6, int32_t c1 = 14) const
    {
        if (active.bottom == 0)
            active.bottom = H;
        const double ramps[12] = {};
        std::vector<FDoubleTriple> out(size_t(H), FDoubleTriple(-1));
        EstimateRowOffsets(out.data(), image.get(), H, c0, c1, 26, 34, FDoubleTriple(0), ramps, g, s, active,
                           colorAverage);
        return out;
    }
};

// What the smoothing leaves of the same offset c on every row.
double FadedConstant(double c, double g, double s, int32_t H, int32_t i)
{
    return g * c * std::pow(std::exp(-1.0 / s), H - i);
}

} // namespace

TEST(CorrectionKernelsTest, RowOffsetsTrimTheExtremesAndFadeAConstantUpwards)
{
    ShieldImage dark(12, FIntTriple(20), FIntTriple(20));
    for (int32_t y = 0; y < 12; ++y)
        dark.Set(9, y, FIntTriple(90)); // dropped by the trimming, or the mean would be 27.1
    const auto offsets = dark.Offsets(0.5, 4.0);
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_NEAR(offsets[i].g, FadedConstant(20, 0.5, 4.0, 12, i), 1e-9) << i;
}

TEST(CorrectionKernelsTest, RowOffsetsTakeOnlyTheUsableSide)
{
    // The right side's green mean is 100: that side is not used.
    ShieldImage dark(12, FIntTriple(20), FIntTriple(40, 100, 40));
    const auto offsets = dark.Offsets();
    EXPECT_NEAR(offsets[11].r, FadedConstant(20, 1, 4, 12, 11), 1e-9);
    ShieldImage both(12, FIntTriple(20), FIntTriple(40, 99, 40));
    EXPECT_NEAR(both.Offsets()[11].r, FadedConstant((20 + 3 * 40) / 4.0, 1, 4, 12, 11), 1e-9);
}

TEST(CorrectionKernelsTest, RowOffsetsAreZeroWhenTheyCannotBeMeasured)
{
    ShieldImage dark(12, FIntTriple(20), FIntTriple(20));
    const struct {
        const char* what;
        std::vector<FDoubleTriple> offsets;
    } cases[] = {
        {"three columns", dark.Offsets(1, 4, false, FIntRect(0, 0, 40, 0), 6, 8)},
        {"gain 0", dark.Offsets(0, 4)},
        {"scale 0", dark.Offsets(1, 0)},
        {"nine active rows", dark.Offsets(1, 4, false, FIntRect(0, 1, 40, 10))},
        {"active rows past the image", dark.Offsets(1, 4, false, FIntRect(0, 0, 40, 13))},
        {"range at column 0", dark.Offsets(1, 4, false, FIntRect(0, 0, 40, 0), 0, 8)},
        {"range past the row", dark.Offsets(1, 4, false, FIntRect(0, 0, 40, 0), 36, 40)},
        // Camera data may hold any value: sides as far apart as the int range allows.
        {"range across the int range", dark.Offsets(1, 4, false, FIntRect(0, 0, 40, 0), INT_MIN, INT_MAX)},
        {"active rows across the int range", dark.Offsets(1, 4, false, FIntRect(0, INT_MIN, 40, INT_MAX))},
        {"infinite gain", dark.Offsets(INFINITY, 4)},
    };
    for (const auto& c : cases)
        for (const FDoubleTriple& row : c.offsets)
            ASSERT_EQ(std::tie(row.r, row.g, row.b), std::make_tuple(0.0, 0.0, 0.0)) << c.what;

    // No usable side anywhere: the common pattern is all zero, not 0 / 0.
    ShieldImage bright(12, FIntTriple(500), FIntTriple(500));
    for (const FDoubleTriple& row : bright.Offsets(1, 4, true))
        ASSERT_EQ(std::tie(row.r, row.g, row.b), std::make_tuple(0.0, 0.0, 0.0));
}

TEST(CorrectionKernelsTest, ColourAverageSharesOneRowPatternAndMarginsCopyActiveRows)
{
    ShieldImage dark(40, FIntTriple(30, 20, 10), FIntTriple(30, 20, 10));
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x : {6, 7, 8, 10, 11, 12, 13, 14, 26, 27, 28, 29, 31, 32, 33, 34})
            dark.Set(x, y, FIntTriple(30 + y % 5, 20 + y % 3, 10 + y % 7));
    // An active area far smaller than its bottom margin.
    const auto offsets = dark.Offsets(1, 4, true, FIntRect(0, 3, 40, 15));
    const double ratio = offsets[20].r / offsets[20].g;
    for (const FDoubleTriple& row : offsets) {
        ASSERT_TRUE(std::isfinite(row.r) && std::isfinite(row.b));
        EXPECT_NEAR(row.r, ratio * row.g, 1e-9 * std::abs(row.r) + 1e-12);
    }
}
