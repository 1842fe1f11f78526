#include "engine/geometry/CropSizeRotate.h"

#include "engine/core/FIPEngine2.h"
#include "engine/core/RowBandLoop.h"
#include "engine/geometry/GeometryRequestChecks.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace {

// The value of pi the filters were tuned with.
constexpr double kKernelPi = 3.14159;
constexpr int64_t kOne16 = 65536;
constexpr int64_t kHalf16 = 0x8000;
// Display pixmaps start 1/32 pixel further, so that the 1/16 phase is the
// nearest one rather than the one below.
constexpr int64_t kDisplayPhaseRounding = 2048;

// Lightness weights in Q14 (R, G, B), with the rounding half.
constexpr int32_t kLumaRed = 5734;
constexpr int32_t kLumaGreen = 9011;
constexpr int32_t kLumaBlue = 1638;
constexpr int32_t kLumaRounding = 8192;

constexpr int kGreenTableSize = 1000;

// ---------------------------------------------------------------------------
// Kernels

double Sinc(double x) { return x == 0.0 ? 1.0 : std::sin(x) / x; }

// Distance from the sampled position of tap t (0-3) at phase p (0-15).
double TapDistance(int t, int p) { return (t - 1) - (p + 0.5) / 16.0; }

template <class RawWeight>
FResampleKernel BuildNormalisedKernel(RawWeight&& rawWeight)
{
    FResampleKernel kernel;
    for (int py = 0; py < FResampleKernel::kPhases; ++py)
        for (int px = 0; px < FResampleKernel::kPhases; ++px) {
            std::array<double, 16> raw{};
            double sum = 0.0;
            for (int ty = 0; ty < FResampleKernel::kTaps; ++ty)
                for (int tx = 0; tx < FResampleKernel::kTaps; ++tx) {
                    raw[4 * ty + tx] = rawWeight(TapDistance(tx, px), TapDistance(ty, py));
                    sum += raw[4 * ty + tx];
                }
            int32_t* weights = &kernel.m_aWeights[(16 * py + px) * 16];
            for (int i = 0; i < 16; ++i)
                weights[i] = TruncateToInt(65536.0 * raw[i] / sum + 0.5);
        }
    return kernel;
}

double SeparableAxisWeight(double distance, double scale)
{
    const double frequency = std::min(0.94 * scale, 1.0);
    const double window = std::min(std::pow(scale, 0.25), 0.9);
    const double power = std::min(2.0 * scale, 2.0);
    return Sinc(kKernelPi * frequency * distance) *
           std::pow(std::max(std::cos(kKernelPi * window * distance / 4.0), 0.0), power);
}

// ---------------------------------------------------------------------------
// Geometry

// The source indices of one output column or row along one source axis:
// the four filter taps (edges repeated) and the 1/16 phase; index[1] is the
// pixel a copy reads.
struct AxisTap {
    std::array<int32_t, 4> index;
    int32_t phase;
};

std::vector<AxisTap> MakeAxisTaps(int64_t start, int64_t step, int32_t count, int32_t sourceSize)
{
    std::vector<AxisTap> taps(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        const int64_t position = start + k * step;
        const int64_t base = position >> 16;
        AxisTap& tap = taps[static_cast<size_t>(k)];
        tap.phase = static_cast<int32_t>((position >> 12) & 15);
        for (int t = 0; t < 4; ++t)
            tap.index[t] = static_cast<int32_t>(std::clamp<int64_t>(base - 1 + t, 0, sourceSize - 1));
    }
    return taps;
}

struct Walk {
    int quarterTurns = 0;
    FIntRect crop;
    int64_t stepX = kOne16; // 16.16 source pixels per output pixel
    int64_t stepY = kOne16;
    int64_t half = 0;
    int64_t rounding = 0;
    FIntRect window;
};

// The output window's source positions: one tap list for its columns, one for
// its rows; xAlongColumns tells which of them walks the source's x axis.
struct WindowTaps {
    std::vector<AxisTap> columns;
    std::vector<AxisTap> rows;
    bool xAlongColumns;
};

WindowTaps MakeWindowTaps(const Walk& walk, int32_t sourceColumns, int32_t sourceRows)
{
    const FIntRect& c = walk.crop;
    const int64_t left = int64_t(c.left) * kOne16 + walk.half;
    const int64_t top = int64_t(c.top) * kOne16 + walk.half;
    const int64_t right = int64_t(c.right - 1) * kOne16 - walk.half;
    const int64_t bottom = int64_t(c.bottom - 1) * kOne16 - walk.half;
    // Start and step of x and y per output column or row, by quarter turn
    // (clockwise): x runs along the columns for 0 and 180 degrees.
    int64_t xStart = 0, xStep = 0, yStart = 0, yStep = 0;
    switch (walk.quarterTurns) {
    case 0: xStart = left, xStep = walk.stepX, yStart = top, yStep = walk.stepY; break;
    case 1: xStart = left, xStep = walk.stepX, yStart = bottom, yStep = -walk.stepY; break;
    case 2: xStart = right, xStep = -walk.stepX, yStart = bottom, yStep = -walk.stepY; break;
    default: xStart = right, xStep = -walk.stepX, yStart = top, yStep = walk.stepY; break;
    }
    const bool xAlongColumns = walk.quarterTurns % 2 == 0;
    const int64_t xFirst = xAlongColumns ? walk.window.left : walk.window.top;
    const int64_t yFirst = xAlongColumns ? walk.window.top : walk.window.left;
    // Checked to lie inside the output size: both fit an int.
    const auto windowWidth = static_cast<int32_t>(walk.window.Width());
    const auto windowHeight = static_cast<int32_t>(walk.window.Height());
    std::vector<AxisTap> xTaps = MakeAxisTaps(xStart + walk.rounding + xFirst * xStep, xStep,
                                              xAlongColumns ? windowWidth : windowHeight, sourceColumns);
    std::vector<AxisTap> yTaps = MakeAxisTaps(yStart + walk.rounding + yFirst * yStep, yStep,
                                              xAlongColumns ? windowHeight : windowWidth, sourceRows);
    if (xAlongColumns)
        return {std::move(xTaps), std::move(yTaps), true};
    return {std::move(yTaps), std::move(xTaps), false};
}

// Calls pixelFunction(outputRow, outputColumn, xTap, yTap) for every window
// pixel, the rows in bands (one for a small window).
template <class PixelFunction>
void ForEachWindowPixel(const WindowTaps& taps, PixelFunction&& pixelFunction)
{
    const int32_t width = static_cast<int32_t>(taps.columns.size());
    const int32_t rows = static_cast<int32_t>(taps.rows.size());
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t firstRow, uint32_t lastRow) {
        for (uint32_t row = firstRow; row <= lastRow; ++row) {
            const AxisTap& rowTap = taps.rows[row];
            for (int32_t column = 0; column < width; ++column) {
                const AxisTap& columnTap = taps.columns[static_cast<size_t>(column)];
                if (taps.xAlongColumns)
                    pixelFunction(static_cast<int32_t>(row), column, columnTap, rowTap);
                else
                    pixelFunction(static_cast<int32_t>(row), column, rowTap, columnTap);
            }
        }
    }, RowBandCountFor(width, rows));
}

// ---------------------------------------------------------------------------
// Samplers: 16 taps of 16.16 weights, shifted back arithmetically.

template <class PixelClass>
const PixelClass& SourcePixel(const FPixmap& source, int32_t x, int32_t y)
{
    return reinterpret_cast<const PixelClass*>(source.GetRow(y))[x];
}

struct SampledRGB {
    int32_t r, g, b;
};

inline SampledRGB SamplePixel48(const FPixmap& source, const AxisTap& x, const AxisTap& y, const FResampleKernel& kernel)
{
    const int32_t* weights = kernel.Phase(x.phase, y.phase);
    int64_t r = 0, g = 0, b = 0;
    for (int ty = 0; ty < 4; ++ty) {
        const auto* row = reinterpret_cast<const FPixelClass48SRGB*>(source.GetRow(y.index[ty]));
        for (int tx = 0; tx < 4; ++tx) {
            const FPixelClass48SRGB& p = row[x.index[tx]];
            const int64_t w = weights[4 * ty + tx];
            r += w * p.r;
            g += w * p.g;
            b += w * p.b;
        }
    }
    return {static_cast<int32_t>(r >> 16), static_cast<int32_t>(g >> 16), static_cast<int32_t>(b >> 16)};
}

inline int32_t SamplePixelMono(const FPixmap& source, const AxisTap& x, const AxisTap& y, const FResampleKernel& kernel)
{
    const int32_t* weights = kernel.Phase(x.phase, y.phase);
    int64_t sum = 0;
    for (int ty = 0; ty < 4; ++ty) {
        const auto* row = reinterpret_cast<const int16_t*>(source.GetRow(y.index[ty]));
        for (int tx = 0; tx < 4; ++tx)
            sum += int64_t(weights[4 * ty + tx]) * row[x.index[tx]];
    }
    return static_cast<int32_t>(sum >> 16);
}

uint8_t ClampToByte(int32_t sum) { return static_cast<uint8_t>(std::clamp(sum >> 16, 0, 255)); }

inline FPixelClass32BGRA SamplePixelDisplay(const FPixmap& source, const AxisTap& x, const AxisTap& y,
                                     const FResampleKernel& kernel)
{
    const int32_t* weights = kernel.Phase(x.phase, y.phase);
    int32_t b = 0, g = 0, r = 0;
    for (int ty = 0; ty < 4; ++ty) {
        const auto* row = reinterpret_cast<const FPixelClass32BGRA*>(source.GetRow(y.index[ty]));
        for (int tx = 0; tx < 4; ++tx) {
            const FPixelClass32BGRA& p = row[x.index[tx]];
            const int32_t w = weights[4 * ty + tx];
            b += w * p.b;
            g += w * p.g;
            r += w * p.r;
        }
    }
    return {ClampToByte(b), ClampToByte(g), ClampToByte(r), 255};
}

int16_t SaturateToInt16(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX)); }

// ---------------------------------------------------------------------------
// Argument checks

[[noreturn]] void Refuse(const char* function, const char* reason)
{
    const std::string message = std::string(function) + ": " + reason;
    throw FExceptionPixelProc2(message.c_str());
}

int QuarterTurnsOf(uint32_t rotation, const char* function)
{
    if (rotation % 90 != 0)
        Refuse(function, "rotation is not multiple of 90 degrees.");
    return static_cast<int>((rotation % 360) / 90);
}

void CheckType(const FPixmap* image, int32_t pixelType, const char* function)
{
    if (!image || image->GetPixelType() != pixelType || !image->m_pData)
        Refuse(function, "image missing or not of the expected pixel type.");
}

void CheckCrop(const FIntRect& crop, const FPixmap& source, const char* function)
{
    if (crop.left < 0 || crop.top < 0 || crop.left >= crop.right || crop.top >= crop.bottom ||
        crop.right > source.m_iColumns || crop.bottom > source.m_iRows)
        Refuse(function, "crop rectangle is empty or outside the source image.");
}

// A window outside the output size would read outside the crop.
void CheckWindow(int32_t outputWidth, int32_t outputHeight, const FIntRect& window, const char* function)
{
    if (outputWidth < 1 || outputHeight < 1 || window.left < 0 || window.top < 0 || window.right < window.left ||
        window.bottom < window.top || window.right > outputWidth || window.bottom > outputHeight)
        Refuse(function, "output window is outside the output image.");
}

void CheckHoldsWindow(const FPixmap& output, const FIntRect& window, const char* function)
{
    if (output.m_iColumns < window.Width() || output.m_iRows < window.Height())
        Refuse(function, "output image is smaller than the output window.");
}

// Scales and steps of the crop functions. Extents equal to the crop's size
// give scale 1 without the half-pixel offset; otherwise the crop's first and
// last pixel centres span the output.
struct CropScaling {
    Walk walk;
    double xScale = 1.0;
    double yScale = 1.0;
    double extentX = 0.0;
    bool extentsMatch = false;
};

CropScaling ScaleCrop(const FIntRect& crop, int32_t outputWidth, int32_t outputHeight, const FIntRect& window,
                      int quarterTurns, const char* function)
{
    CropScaling s;
    s.walk.quarterTurns = quarterTurns;
    s.walk.crop = crop;
    s.walk.window = window;
    const int32_t extentX = quarterTurns % 2 == 0 ? outputWidth : outputHeight;
    const int32_t extentY = quarterTurns % 2 == 0 ? outputHeight : outputWidth;
    s.extentX = extentX;
    s.extentsMatch = extentX == crop.Width() && extentY == crop.Height();
    if (!s.extentsMatch) {
        if (crop.Width() < 2 || crop.Height() < 2)
            Refuse(function, "crop rectangle is too small to scale.");
        s.xScale = extentX / double(crop.Width() - 1);
        s.yScale = extentY / double(crop.Height() - 1);
        s.walk.half = kHalf16;
    }
    s.walk.stepX = TruncateToInt(65536.0 / s.xScale);
    s.walk.stepY = TruncateToInt(65536.0 / s.yScale);
    return s;
}

// ---------------------------------------------------------------------------
// The colour image of stage 3

// Weight of a green excess d (G' - R' or G' - B'): a soft step from 0 to the
// high limit.
class GreenWeightTable {
public:
    explicit GreenWeightTable(int32_t highLimit)
    {
        const int32_t half = highLimit / 2;
        for (int i = 0; i < kGreenTableSize; ++i)
            m_aWeights[i] = static_cast<float>((std::tanh(i / 40.0 - 4.0) + 1.0) * half);
    }
    float operator()(int32_t excess) const
    {
        if (excess < 0)
            return 0.0f;
        return m_aWeights[std::min(excess, kGreenTableSize - 1)];
    }

private:
    std::array<float, kGreenTableSize> m_aWeights{};
};

// The product of two table weights (never negative) truncated, held to the
// int range as the 32-bit conversion would need.
inline int64_t TruncateWeightProduct(float product)
{
    return product < 2147483647.0f ? static_cast<int64_t>(product) : INT32_MAX;
}

struct ColorPixelContext {
    const FLUT16& tone;
    const GreenWeightTable& green;
    int64_t greenWeightQ14;
};

void WriteColorPixel(const ColorPixelContext& ctx, const SampledRGB& v, FPixelClass48SRGB& color, int16_t& lightness)
{
    const int32_t r = ctx.tone[v.r];
    const int32_t g = ctx.tone[v.g];
    const int32_t b = ctx.tone[v.b];
    int64_t green = g;
    // Green at or above both red and blue is the only case with a term.
    if (ctx.greenWeightQ14 != 0 && g >= r && g >= b) {
        const float product = ctx.green(g - r) * ctx.green(g - b);
        green += (TruncateWeightProduct(product) * ctx.greenWeightQ14) >> 14;
    }
    color.r = static_cast<int16_t>(r);
    color.g = SaturateToInt16(green);
    color.b = static_cast<int16_t>(b);
    lightness = ctx.tone[(kLumaRed * v.r + kLumaGreen * v.g + kLumaBlue * v.b + kLumaRounding) >> 14];
}

template <class PixelClass>
PixelClass* OutputPixel(const FPixmap& output, int32_t x, int32_t y)
{
    return reinterpret_cast<PixelClass*>(output.GetRow(y)) + x;
}

// ---------------------------------------------------------------------------
// Luma detail

using Row16 = std::vector<int16_t>;

// One band of the detail filter. Rows of the band above y are read from the
// copies made before they changed; the two rows on either side of the band
// (which neighbouring bands change) from copies made before any band ran.
class LumaDetailBand {
public:
    LumaDetailBand(const FPixmap& image, RowBandRange band, const FLumaDetailWeights& weights)
        : m_Image(image), m_iFirst(static_cast<int32_t>(band.iFirstRow)), m_iLast(static_cast<int32_t>(band.iLastRow)),
          m_Weights(weights)
    {
        const size_t width = static_cast<size_t>(image.m_iColumns);
        for (int k = 0; k < 2; ++k) {
            m_Above[k] = CopyOfRow(m_iFirst - 2 + k);
            m_Below[k] = CopyOfRow(m_iLast + 1 + k);
        }
        for (Row16* buffer : {&m_Previous2, &m_Previous1, &m_Current, &m_Vertical})
            buffer->assign(width + 4, 0);
    }

    void Run()
    {
        for (int32_t y = m_iFirst; y <= m_iLast; ++y) {
            int16_t* pixels = Pixels(y);
            std::copy(pixels, pixels + m_Image.m_iColumns, m_Current.begin());
            VerticalPass(y);
            HorizontalPassAndSubtract(pixels);
            std::swap(m_Previous2, m_Previous1);
            std::swap(m_Previous1, m_Current);
        }
    }

private:
    int16_t* Pixels(int32_t y) const { return reinterpret_cast<int16_t*>(m_Image.GetRow(y)); }
    int32_t ClampRow(int32_t y) const { return std::clamp(y, 0, m_Image.m_iRows - 1); }

    Row16 CopyOfRow(int32_t y) const
    {
        const int16_t* pixels = Pixels(ClampRow(y));
        return Row16(pixels, pixels + m_Image.m_iColumns);
    }

    // Row j as it was before the filter, seen from row y of this band.
    const int16_t* OriginalRow(int32_t j, int32_t y) const
    {
        j = ClampRow(j);
        if (j < m_iFirst)
            return m_Above[j - (m_iFirst - 2)].data();
        if (j > m_iLast)
            return m_Below[j - (m_iLast + 1)].data();
        if (j < y)
            return (j == y - 1 ? m_Previous1 : m_Previous2).data();
        return j == y ? m_Current.data() : Pixels(j);
    }

    void VerticalPass(int32_t y)
    {
        const int16_t* up2 = OriginalRow(y - 2, y);
        const int16_t* up1 = OriginalRow(y - 1, y);
        const int16_t* centre = OriginalRow(y, y);
        const int16_t* down1 = OriginalRow(y + 1, y);
        const int16_t* down2 = OriginalRow(y + 2, y);
        const auto [outer, inner, middle] = m_Weights;
        // Two repeated words on either side make the horizontal pass edge-free.
        int16_t* v = m_Vertical.data() + 2;
        for (int32_t x = 0; x < m_Image.m_iColumns; ++x)
            v[x] = static_cast<int16_t>(
                (middle * centre[x] + inner * (up1[x] + down1[x]) + outer * (up2[x] + down2[x]) + 2048) >> 12);
        const int32_t last = m_Image.m_iColumns - 1;
        v[-2] = v[-1] = v[0];
        v[last + 1] = v[last + 2] = v[last];
    }

    void HorizontalPassAndSubtract(int16_t* pixels) const
    {
        const int16_t* v = m_Vertical.data() + 2;
        const int16_t* original = m_Current.data();
        const auto [outer, inner, middle] = m_Weights;
        for (int32_t x = 0; x < m_Image.m_iColumns; ++x) {
            const int32_t blur =
                (middle * v[x] + inner * (v[x - 1] + v[x + 1]) + outer * (v[x - 2] + v[x + 2]) + 2048) >> 12;
            pixels[x] = SaturateToInt16(int64_t(original[x]) - blur);
        }
    }

    const FPixmap& m_Image;
    int32_t m_iFirst;
    int32_t m_iLast;
    FLumaDetailWeights m_Weights;
    Row16 m_Above[2];
    Row16 m_Below[2];
    Row16 m_Previous2, m_Previous1, m_Current, m_Vertical;
};

} // namespace

FResampleKernel BuildRadialKernel(double xScale, double yScale)
{
    const double c = (xScale + yScale) / 2.0;
    const double frequency = std::min({0.86 * c, 0.43 * c + 0.43, 0.88});
    const double window = std::min(std::pow(c, 0.25), 0.88);
    const double power = std::clamp(1.6 * c, 0.7, 1.6);
    return BuildNormalisedKernel([&](double dx, double dy) {
        const double r = kKernelPi * std::sqrt(dx * dx + dy * dy);
        return Sinc(r * frequency) * std::pow(std::max(std::cos(r * window / 4.0), 0.0), power);
    });
}

FResampleKernel BuildSeparableKernel(double xScale, double yScale)
{
    if (xScale < yScale) {
        xScale = std::min(xScale, 0.8);
        yScale = std::min(yScale, 1.1);
    } else {
        yScale = std::min(yScale, 0.8);
        xScale = std::min(xScale, 1.1);
    }
    return BuildNormalisedKernel([&](double dx, double dy) {
        return SeparableAxisWeight(dx, xScale) * SeparableAxisWeight(dy, yScale);
    });
}

FResampleKernel BuildResampleKernel(double xScale, double yScale)
{
    const double ratio = xScale / yScale;
    if (ratio > 0.9 && ratio < 1.1)
        return BuildRadialKernel(xScale, yScale);
    return BuildSeparableKernel(xScale, yScale);
}

double CropSizeRotateMore(const FPixmap* source, const FIntRect& crop, int32_t imageWidth, int32_t /*imageHeight*/,
                          int32_t outputWidth, int32_t outputHeight, const FIntRect& window, uint32_t rotation,
                          const FLUT16& toneTable, FPixmap* outputColor, FPixmap* outputLightness,
                          double greenWeight, int32_t greenHighLimit, int32_t /*greenLowLimit*/)
{
    constexpr const char* kName = "CropSizeRotateMore";
    const int quarterTurns = QuarterTurnsOf(rotation, kName);
    CheckType(source, FPixmap::PIXEL_48S_RGB, kName);
    CheckType(outputColor, FPixmap::PIXEL_48S_RGB, kName);
    CheckType(outputLightness, FPixmap::PIXEL_16S_MONO, kName);
    if (!toneTable.m_pTable || toneTable.m_iSize == 0)
        Refuse(kName, "tone table is empty.");
    CheckCrop(crop, *source, kName);
    CheckWindow(outputWidth, outputHeight, window, kName);
    CheckHoldsWindow(*outputColor, window, kName);
    CheckHoldsWindow(*outputLightness, window, kName);
    const CropScaling scaling = ScaleCrop(crop, outputWidth, outputHeight, window, quarterTurns, kName);
    const bool copy = scaling.xScale == 1.0 && scaling.yScale == 1.0;

    const GreenWeightTable green(greenHighLimit);
    const ColorPixelContext context{toneTable, green, TruncateToInt(greenWeight * 16384.0)};
    const WindowTaps taps = MakeWindowTaps(scaling.walk, source->m_iColumns, source->m_iRows);
    const FResampleKernel kernel = copy ? FResampleKernel() : BuildResampleKernel(scaling.xScale, scaling.yScale);
    ForEachWindowPixel(taps, [&](int32_t row, int32_t column, const AxisTap& x, const AxisTap& y) {
        SampledRGB value;
        if (copy) {
            const FPixelClass48SRGB& p = SourcePixel<FPixelClass48SRGB>(*source, x.index[1], y.index[1]);
            value = {p.r, p.g, p.b};
        } else {
            value = SamplePixel48(*source, x, y, kernel);
        }
        WriteColorPixel(context, value, *OutputPixel<FPixelClass48SRGB>(*outputColor, column, row),
                        *OutputPixel<int16_t>(*outputLightness, column, row));
    });
    if (copy)
        return 1.0;
    return imageWidth > 0 ? scaling.extentX / imageWidth : 1.0;
}

void CropSizeRotateMono(const FPixmap* source, const FIntRect& crop, int32_t /*imageWidth*/, int32_t /*imageHeight*/,
                        int32_t outputWidth, int32_t outputHeight, const FIntRect& window, uint32_t rotation,
                        FPixmap* output)
{
    constexpr const char* kName = "CropSizeRotateMono";
    const int quarterTurns = QuarterTurnsOf(rotation, kName);
    CheckType(source, FPixmap::PIXEL_16S_MONO, kName);
    CheckType(output, FPixmap::PIXEL_16S_MONO, kName);
    CheckCrop(crop, *source, kName);
    CheckWindow(outputWidth, outputHeight, window, kName);
    CheckHoldsWindow(*output, window, kName);
    const CropScaling scaling = ScaleCrop(crop, outputWidth, outputHeight, window, quarterTurns, kName);
    const bool copy = scaling.extentsMatch;

    const WindowTaps taps = MakeWindowTaps(scaling.walk, source->m_iColumns, source->m_iRows);
    const FResampleKernel kernel = copy ? FResampleKernel() : BuildResampleKernel(scaling.xScale, scaling.yScale);
    ForEachWindowPixel(taps, [&](int32_t row, int32_t column, const AxisTap& x, const AxisTap& y) {
        int16_t& target = *OutputPixel<int16_t>(*output, column, row);
        if (copy)
            target = SourcePixel<int16_t>(*source, x.index[1], y.index[1]);
        else
            target = SaturateToInt16(SamplePixelMono(*source, x, y, kernel));
    });
}

void CropSizeRotate(const FPixmap* source, FPixmap* output, int32_t outputWidth, int32_t outputHeight,
                    const FIntRect& window, uint32_t rotation)
{
    constexpr const char* kName = "CropSizeRotate";
    const int quarterTurns = QuarterTurnsOf(rotation, kName);
    CheckType(source, FPixmap::PIXEL_32_BGRA, kName);
    CheckType(output, FPixmap::PIXEL_32_BGRA, kName);
    if (source->m_iColumns < 1 || source->m_iRows < 1)
        Refuse(kName, "source image is empty.");
    CheckWindow(outputWidth, outputHeight, window, kName);
    CheckHoldsWindow(*output, window, kName);

    const double scale = (quarterTurns % 2 == 0 ? outputWidth : outputHeight) / double(source->m_iColumns);
    const bool copy = scale == 1.0;
    Walk walk;
    walk.quarterTurns = quarterTurns;
    walk.crop = FIntRect(0, 0, source->m_iColumns, source->m_iRows);
    walk.window = window;
    walk.stepX = walk.stepY = TruncateToInt(65536.0 / scale + 0.5);
    walk.rounding = copy ? 0 : kDisplayPhaseRounding;

    const WindowTaps taps = MakeWindowTaps(walk, source->m_iColumns, source->m_iRows);
    const FResampleKernel kernel = copy ? FResampleKernel() : BuildResampleKernel(scale, scale);
    ForEachWindowPixel(taps, [&](int32_t row, int32_t column, const AxisTap& x, const AxisTap& y) {
        FPixelClass32BGRA& target = *OutputPixel<FPixelClass32BGRA>(*output, column, row);
        if (copy)
            target = SourcePixel<FPixelClass32BGRA>(*source, x.index[1], y.index[1]);
        else
            target = SamplePixelDisplay(*source, x, y, kernel);
    });
}

FLumaDetailWeights LumaDetailWeights(double strength)
{
    // A negative or missing strength means no widening at all.
    const double b = strength > 0.0 ? std::min(strength / 4.0, 0.5) : 0.0;
    FLumaDetailWeights w{};
    w.outer = TruncateToInt(4096.0 * b * b + 0.5);
    w.inner = TruncateToInt(8192.0 * (b - 2.0 * b * b) + 0.5);
    w.centre = 4096 - 2 * w.outer - 2 * w.inner;
    return w;
}

void MakeLumaDetail(FPixmap* image, double strength)
{
    CheckType(image, FPixmap::PIXEL_16S_MONO, "MakeLumaDetail");
    if (image->m_iColumns <= 0 || image->m_iRows <= 0)
        return;
    const FLumaDetailWeights weights = LumaDetailWeights(strength);
    const std::vector<RowBandRange> ranges =
        RowBandsOf(static_cast<uint32_t>(image->m_iRows), RowBandCountFor(image->m_iColumns, image->m_iRows));
    // Every band copies its neighbours' edge rows before any band changes them.
    std::vector<LumaDetailBand> bands;
    bands.reserve(ranges.size());
    for (const RowBandRange& range : ranges)
        bands.emplace_back(*image, range, weights);
    const auto count = static_cast<uint32_t>(bands.size());
    RunInRowBands(count, [&](uint32_t first, uint32_t last) {
        for (uint32_t band = first; band <= last; ++band)
            bands[band].Run();
    }, count);
}

void FIPEngine2::priProcessCropSizeRotate(FIPERequestCropSizeRotate* pReq)
{
    AssertGeometryRequest(pReq);
    CropSizeRotate(pReq->m_pInImage, pReq->m_pOutImage, pReq->m_iOutWidth, pReq->m_iOutHeight, pReq->m_rcCrop,
                   static_cast<uint32_t>(pReq->m_iRotation));
    pReq->Finish(kIPStatusDone);
}
