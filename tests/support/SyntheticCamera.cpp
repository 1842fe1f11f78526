#include "support/SyntheticCamera.h"

#include "support/HuffmanM4Encoder.h"
#include "support/PixelFormatEncoder.h"

#include "fileio/codecs/FJPEGImageWriter.h"
#include "foundation/FHasProperties.h"
#include "foundation/FPixmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

// ---- The camera model

// Camera RGB balanced on its own D65 white to linear sRGB: the three layers
// overlap widely, so the matrix saturates. Rows sum to 1 (white stays white)
// and its off-diagonal terms are negative, so its inverse (the sensor's view
// of a colour) never turns a real colour negative.
constexpr ColorMatrix9 kBalancedCamToLinearSrgb{1.80, -0.62, -0.18, -0.32, 1.62, -0.30, -0.04, -0.46, 1.50};
constexpr ColorTriple kNativeNeutral{0.55, 1.0, 0.75};

constexpr ColorTriple kDarkLevel{64, 62, 66};
constexpr int32_t kSaturation = 4000;
constexpr ColorTriple kReadVariance{6.4, 5.2, 5.3};
constexpr ColorTriple kShotVariance{0.12, 0.10, 0.11};
constexpr int32_t kHotPixelLift = 400;
constexpr uint16_t kStuckValue = 3900;

// Stored-frame layout.
constexpr int32_t kKeepLeft = 8, kKeepTop = 4; // the stored frame's place on the sensor
constexpr int32_t kShieldRows = 6, kShieldColumns = 12;
constexpr int32_t kActiveInsetColumns = 16, kActiveInsetRows = 10;

// Vignetting: a gain table of kGainRows x kGainColumns nodes, 1 in the centre
// rising to 1 + k at the corners, stronger in blue.
constexpr uint32_t kGainRows = 5, kGainColumns = 7;
constexpr ColorTriple kVignetting{0.06, 0.08, 0.11};

struct ChartColour {
    const char* name;
    uint8_t r, g, b;
};
// Twelve colours of a familiar reflective chart (sRGB, D65).
constexpr ChartColour kChartColours[12] = {
    {"dark skin", 115, 82, 68},   {"light skin", 194, 150, 130}, {"blue sky", 98, 122, 157},
    {"foliage", 87, 108, 67},     {"orange", 214, 126, 44},      {"purplish blue", 80, 91, 166},
    {"moderate red", 193, 90, 99}, {"yellow green", 157, 188, 64}, {"blue", 56, 61, 150},
    {"green", 70, 148, 73},       {"red", 175, 54, 60},          {"yellow", 231, 199, 31},
};
constexpr double kNeutralReflectances[6] = {0.03, 0.09, 0.18, 0.36, 0.59, 0.90};
constexpr double kHighlightReflectance = 20.0; // clips every channel at ISO 800 too
// The background: its brightness varies by +-50 % with a period of 0.12 of
// the picture's width; its hue turns once every 0.2 widths across and 0.32
// down, with a chroma of 0.4 of its level along two axes of the sRGB plane of
// colours that leave grey unchanged.
constexpr double kBackgroundTexture = 0.5;
constexpr double kBackgroundPeriod = 0.12;
constexpr double kHuePeriodX = 0.2, kHuePeriodY = 0.32;
constexpr double kBackgroundChroma = 0.4;
constexpr ColorTriple kHueAxisU{0.816496580927726, -0.408248290463863, -0.408248290463863}; // (2, -1, -1) / sqrt 6
constexpr ColorTriple kHueAxisV{0.0, 0.707106781186548, -0.707106781186548};               // (0, 1, -1) / sqrt 2
constexpr double kPi = 3.14159265358979323846;

ColorMatrix9 CamToXyz()
{
    const ColorMatrix9 unbalance{1 / kNativeNeutral[0], 0, 0, 0, 1 / kNativeNeutral[1], 0, 0, 0, 1 / kNativeNeutral[2]};
    return Multiply(Multiply(kLinearSrgbToXyz, kBalancedCamToLinearSrgb), unbalance);
}

ColorTriple XyzOfChromaticity(double x, double y) { return {x / y, 1.0, (1.0 - x - y) / y}; }

// Studio tungsten lamps burn at 3200 K.
constexpr double kTungstenKelvin = 3200.0;

ColorTriple Normalised(ColorTriple v, int channel = 1)
{
    const double d = v[size_t(channel)];
    for (double& c : v)
        c /= d;
    return v;
}

struct Shot {
    const char* whiteBalance;
    const char* illuminant;
    double iso;
    double exposureMicroseconds;
};

Shot ShotOf(SyntheticShot shot)
{
    switch (shot) {
    case SyntheticShot::DaylightIso800Auto: return {"Auto", "Daylight", 800, 1000};
    // Indoor tungsten light is dim: 1/8 s at f/5.6 and ISO 100 (a brightness
    // value near 3), short enough for the neutral polygons to apply.
    case SyntheticShot::TungstenIso100: return {"Incandescent", "Incandescent", 100, 125000};
    default: return {"Daylight", "Daylight", 100, 8000};
    }
}

void StoredSizeOf(SyntheticSize size, uint32_t& columns, uint32_t& rows)
{
    switch (size) {
    case SyntheticSize::Medium: columns = 2304, rows = 1536; break;
    case SyntheticSize::Large: columns = 4704, rows = 3136; break;
    case SyntheticSize::Tiny: columns = 64, rows = 48; break;
    default: columns = 480, rows = 360; break;
    }
}

} // namespace

namespace {

// The illuminants the camera knows, by the names of its white-balance lists.
ColorTriple IlluminantXyz(const std::string& name)
{
    if (name == "Daylight" || name == "Sunlight")
        return kD65White;
    if (name == "Shade")
        return XyzOfChromaticity(0.2990, 0.3149);
    if (name == "Overcast")
        return XyzOfChromaticity(0.3064, 0.3166);
    if (name == "Incandescent")
        return BlackBodyXyz(kTungstenKelvin);
    if (name == "Fluorescent")
        return XyzOfChromaticity(0.3721, 0.3751);
    if (name == "Flash")
        return XyzOfChromaticity(0.3217, 0.3378);
    throw std::invalid_argument("unknown illuminant " + name);
}

} // namespace

ColorTriple BlackBodyXyz(double kelvin)
{
    // Krystek's rational fit of the Planckian locus in CIE 1960 (u, v),
    // within 1e-4 of Planck's law from 1000 K to 15000 K.
    const double T = kelvin;
    const double u = (0.860117757 + 1.54118254e-4 * T + 1.28641212e-7 * T * T) /
                     (1.0 + 8.42420235e-4 * T + 7.08145163e-7 * T * T);
    const double v = (0.317398726 + 4.22806245e-5 * T + 4.20481691e-8 * T * T) /
                     (1.0 - 2.89741816e-5 * T + 1.61456053e-7 * T * T);
    const double d = 2.0 * u - 8.0 * v + 4.0;
    return XyzOfChromaticity(3.0 * u / d, 2.0 * v / d);
}

ColorTriple SyntheticCameraNeutral(const std::string& illuminant)
{
    return Normalised(Multiply(Inverse(CamToXyz()), IlluminantXyz(illuminant)));
}

std::string ShotName(SyntheticShot shot)
{
    switch (shot) {
    case SyntheticShot::DaylightIso800Auto: return "daylight-iso800-auto";
    case SyntheticShot::TungstenIso100: return "tungsten-iso100";
    default: return "daylight-iso100";
    }
}

std::string SizeName(SyntheticSize size)
{
    uint32_t columns = 0, rows = 0;
    StoredSizeOf(size, columns, rows);
    return std::to_string(columns) + "x" + std::to_string(rows);
}

// ---- Ground truth

ColorTriple SyntheticTruth::SpatialGainAt(int32_t x, int32_t y) const
{
    // Rows spread over the first to the last row, columns over W pixels per
    // (columns - 1) intervals, as the correction kernel walks them.
    const double t = storedRows > 1 ? std::clamp(double(y) / (storedRows - 1.0), 0.0, 1.0) * (spatialGainRows - 1.0)
                                    : 0.0;
    const double u = std::clamp(double(x) * (spatialGainColumns - 1.0) / storedColumns, 0.0, spatialGainColumns - 1.0);
    const uint32_t r0 = std::min(uint32_t(t), spatialGainRows - 2), c0 = std::min(uint32_t(u), spatialGainColumns - 2);
    const double fr = t - r0, fc = u - c0;
    ColorTriple gain{};
    for (size_t k = 0; k < 3; ++k) {
        const auto at = [&](uint32_t r, uint32_t c) { return double(spatialGainTable[(r * spatialGainColumns + c) * 3 + k]); };
        const double top = at(r0, c0) + fc * (at(r0, c0 + 1) - at(r0, c0));
        const double bottom = at(r0 + 1, c0) + fc * (at(r0 + 1, c0 + 1) - at(r0 + 1, c0));
        gain[k] = top + fr * (bottom - top);
    }
    return gain;
}

namespace {

bool Inside(const FIntRect& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

ColorTriple Grey(double reflectance) { return {reflectance, reflectance, reflectance}; }

} // namespace

ColorTriple SyntheticTruth::SceneAt(int32_t x, int32_t y) const
{
    x = std::clamp<int32_t>(x, 0, int32_t(outputColumns) - 1);
    y = std::clamp<int32_t>(y, 0, int32_t(outputRows) - 1);
    if (Inside(highlight, x, y)) {
        const double cx = (highlight.left + highlight.right - 1) / 2.0, cy = (highlight.top + highlight.bottom - 1) / 2.0;
        const double r = (highlight.right - highlight.left) / 2.0;
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
            return Grey(kHighlightReflectance);
    }
    for (const std::vector<ChartPatch>* set : {&patches, &counterparts})
        for (const ChartPatch& patch : *set)
            if (Inside(patch.rect, x, y))
                return patch.linearSrgb;
    if (Inside(gradient, x, y))
        return Grey((x - gradient.left + 0.5) / (gradient.right - gradient.left));
    if (Inside(edge, x, y))
        return Grey(x < edgeColumn ? 0.03 : 0.90);
    if (Inside(detail, x, y)) {
        static constexpr int32_t kPeriods[4] = {2, 3, 4, 6};
        const int32_t band = std::min(3, (y - detail.top) * 4 / std::max(1, detail.bottom - detail.top));
        const int32_t period = kPeriods[band];
        return Grey((x - detail.left) % period < period / 2 ? 0.60 : 0.10);
    }
    return BackgroundAt(x, y);
}

ColorTriple SyntheticTruth::BackgroundAt(int32_t x, int32_t y) const
{
    // Real surroundings are never one flat grey: the background's brightness
    // and hue drift softly around a grey of backgroundReflectance, and every
    // hue is met as often as its opposite, so the surround stays grey on
    // average while a histogram of the picture sees a spread of colours.
    const double W = outputColumns;
    const double period = kBackgroundPeriod * W;
    const double level = backgroundReflectance *
                         (1.0 + kBackgroundTexture * std::sin(2.0 * kPi * x / period) * std::sin(2.0 * kPi * y / period));
    const double hue = 2.0 * kPi * (x / (kHuePeriodX * W) + y / (kHuePeriodY * W));
    ColorTriple c;
    for (size_t k = 0; k < 3; ++k)
        c[k] = level * (1.0 + kBackgroundChroma * (std::cos(hue) * kHueAxisU[k] + std::sin(hue) * kHueAxisV[k]));
    return c;
}

SyntheticTruth MakeSyntheticTruth(const SyntheticOptions& options)
{
    SyntheticTruth t;
    const Shot shot = ShotOf(options.shot);
    t.shot = options.shot;
    StoredSizeOf(options.size, t.storedColumns, t.storedRows);
    const int32_t W = int32_t(t.storedColumns), H = int32_t(t.storedRows);
    t.keepArea = {kKeepLeft, kKeepTop, kKeepLeft + W, kKeepTop + H};
    t.activeArea = {kActiveInsetColumns, kActiveInsetRows, W - kActiveInsetColumns, H - kActiveInsetRows};
    t.outputColumns = uint32_t(t.activeArea.right - t.activeArea.left);
    t.outputRows = uint32_t(t.activeArea.bottom - t.activeArea.top);
    t.shieldTop = {0, 0, W, kShieldRows};
    t.shieldBottom = {0, H - kShieldRows, W, H};
    t.shieldColumns = {2, kShieldColumns - 3, W - kShieldColumns + 2, W - 3};

    const int32_t Wo = int32_t(t.outputColumns), Ho = int32_t(t.outputRows);
    const auto X = [Wo](double f) { return int32_t(std::lround(f * Wo)); };
    const auto Y = [Ho](double f) { return int32_t(std::lround(f * Ho)); };

    // The chart: neutrals in the first row, colours in the next two; inside
    // the picture's outer tenth, where analyses of the whole frame look.
    const int32_t chartLeft = X(0.08), chartTop = Y(0.05);
    const int32_t cellW = (X(0.64) - X(0.04)) / 6, cellH = (Y(0.62) - chartTop) / 3;
    const int32_t insetX = std::max(2, cellW / 8), insetY = std::max(2, cellH / 8);
    for (int i = 0; i < 18; ++i) {
        ChartPatch p;
        const int32_t left = chartLeft + (i % 6) * cellW, top = chartTop + (i / 6) * cellH;
        p.rect = {left + insetX, top + insetY, left + cellW - insetX, top + cellH - insetY};
        if (i < 6) {
            p.neutral = true;
            p.reflectance = kNeutralReflectances[i];
            p.name = "neutral " + std::to_string(int(std::lround(p.reflectance * 100))) + " %";
            p.linearSrgb = Grey(p.reflectance);
        } else {
            const ChartColour& c = kChartColours[i - 6];
            p.name = c.name;
            p.linearSrgb = {SrgbDecode(c.r / 255.0), SrgbDecode(c.g / 255.0), SrgbDecode(c.b / 255.0)};
        }
        for (size_t k = 0; k < 3; ++k)
            p.srgb[k] = SrgbEncode(p.linearSrgb[k]);
        p.xyz = LinearSrgbToXyz(p.linearSrgb);
        p.lab = XyzToLab(p.xyz);
        t.patches.push_back(p);
    }
    // Below the chart, a counterpart of each colour: together they make a
    // grey of the colour's brightest channel, with the same area, so that the
    // scene, like the scenes automatic white balances are made for, averages
    // to grey by area and by colours alike.
    const ChartPatch& first = t.patches.front();
    const int32_t patchArea = (first.rect.right - first.rect.left) * (first.rect.bottom - first.rect.top);
    const int32_t counterW = cellW - insetX;
    const int32_t counterH = (patchArea + counterW / 2) / counterW;
    const int32_t counterTop = Y(0.63);
    for (int i = 0; i < 12; ++i) {
        const ChartPatch& colour = t.patches[size_t(6 + i)];
        ChartPatch p;
        p.name = "counter " + colour.name;
        const int32_t left = chartLeft + (i % 6) * cellW + insetX / 2;
        const int32_t top = counterTop + (i / 6) * (counterH + insetY / 2);
        p.rect = {left, top, left + counterW, top + counterH};
        const double grey = *std::max_element(colour.linearSrgb.begin(), colour.linearSrgb.end());
        for (size_t k = 0; k < 3; ++k) {
            p.linearSrgb[k] = grey - colour.linearSrgb[k];
            p.srgb[k] = SrgbEncode(p.linearSrgb[k]);
        }
        p.xyz = LinearSrgbToXyz(p.linearSrgb);
        p.lab = XyzToLab(p.xyz);
        t.counterparts.push_back(p);
    }
    t.gradient = {X(0.04), Y(0.90), X(0.64), Y(0.99)};
    t.edge = {X(0.70), Y(0.05), X(0.96), Y(0.35)};
    t.edgeColumn = (t.edge.left + t.edge.right) / 2;
    t.detail = {X(0.70), Y(0.40), X(0.96), Y(0.70)};
    const int32_t radius = std::max(3, int32_t(std::lround(0.025 * std::min(Wo, Ho))));
    const int32_t cx = X(0.83), cy = Y(0.85);
    t.highlight = {cx - radius, cy - radius, cx + radius + 1, cy + radius + 1};

    // Hot pixels on the background, away from every object; columns stay
    // below 4096 on the sensor, which is all the bad-pixel list can address.
    const auto Stored = [&](double fx, double fy) {
        return std::pair<int32_t, int32_t>{t.activeArea.left + X(fx), t.activeArea.top + Y(fy)};
    };
    t.hotPixelsBoth = {Stored(0.685, 0.10), Stored(0.685, 0.40), Stored(0.685, 0.75), Stored(0.03, 0.30)};
    t.hotPixelsRawOnly = {Stored(0.69, 0.20), Stored(0.69, 0.50), Stored(0.03, 0.70), Stored(0.92, 0.92)};

    t.whiteBalance = shot.whiteBalance;
    t.illuminant = shot.illuminant;
    t.captureIso = shot.iso;
    t.sensorIso = 100;
    t.exposureSeconds = shot.exposureMicroseconds / 1e6;
    t.gainRatio = t.captureIso / t.sensorIso;
    t.camToXYZ = CamToXyz();
    t.nativeNeutral = SyntheticCameraNeutral("Daylight");
    t.sceneNeutral = SyntheticCameraNeutral(t.illuminant);
    // The brightest channel of a perfect white at ISO 100 reads 4096 counts.
    t.whiteCounts = 4096.0 / *std::max_element(t.sceneNeutral.begin(), t.sceneNeutral.end());
    t.darkLevel = kDarkLevel;
    t.saturation = kSaturation;
    t.readVariance = kReadVariance;
    t.shotVariance = kShotVariance;

    t.spatialGainRows = kGainRows;
    t.spatialGainColumns = kGainColumns;
    for (uint32_t r = 0; r < kGainRows; ++r)
        for (uint32_t c = 0; c < kGainColumns; ++c) {
            const double px = 2.0 * c / (kGainColumns - 1) - 1.0, py = 2.0 * r / (kGainRows - 1) - 1.0;
            const double rr = (px * px + py * py) / 2.0;
            for (size_t k = 0; k < 3; ++k)
                t.spatialGainTable.push_back(float(1.0 + kVignetting[k] * rr));
        }
    return t;
}

// ---- Frames

namespace {

uint64_t SplitMix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Standard normal deviates by table look-up: the quantiles of 65536 equal
// slices, so making the large frames costs little more than the small ones.
const std::vector<float>& NormalTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(65536);
        for (size_t i = 0; i < t.size(); ++i) {
            const double p = (i + 0.5) / t.size();
            // Acklam's rational approximation of the inverse normal CDF, with one Newton step.
            static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                                           1.383577518672690e+02, -3.066479806614716e+01, 2.506628277459239e+00};
            static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                           6.680131188771972e+01, -1.328068155288572e+01};
            static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                           -2.549732539343734e+00, 4.374664141464968e+00, 2.938163982698783e+00};
            static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                           3.754408661907416e+00};
            double x;
            if (p < 0.02425) {
                const double q = std::sqrt(-2 * std::log(p));
                x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
                    ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
            } else if (p > 1 - 0.02425) {
                const double q = std::sqrt(-2 * std::log(1 - p));
                x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
                    ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1);
            } else {
                const double q = p - 0.5, r = q * q;
                x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
                    (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1);
            }
            t[i] = float(x);
        }
        return t;
    }();
    return table;
}

class NormalSource {
public:
    explicit NormalSource(uint64_t seed) : m_State(seed) {}
    float Next()
    {
        if (m_iLeft == 0) {
            m_Bits = SplitMix(m_State);
            m_iLeft = 4;
        }
        --m_iLeft;
        const uint16_t index = uint16_t(m_Bits);
        m_Bits >>= 16;
        return NormalTable()[index];
    }

private:
    uint64_t m_State;
    uint64_t m_Bits = 0;
    int m_iLeft = 0;
};

// The fixed column pattern of the sensor's read-out: -3..3 counts per column and channel.
int32_t ColumnPattern(uint32_t x, size_t channel)
{
    uint64_t state = 0xC0FFEEull * 31 + x * 3 + channel;
    return int32_t(SplitMix(state) % 7) - 3;
}

uint16_t ClampCount(double v, int32_t top)
{
    return uint16_t(std::clamp(std::lround(v), 0l, long(top)));
}

struct Frames {
    std::vector<uint16_t> raw, dark;
};

Frames ExposeFrames(const SyntheticTruth& t, const SyntheticOptions& options)
{
    const int32_t W = int32_t(t.storedColumns), H = int32_t(t.storedRows);
    Frames f;
    f.raw.resize(size_t(W) * H * 3);
    f.dark.resize(f.raw.size());
    const ColorMatrix9 sensorView = Inverse(kBalancedCamToLinearSrgb);
    const double exposure = t.whiteCounts / t.gainRatio;
    std::vector<ColorTriple> gains(static_cast<size_t>(W));
    for (int32_t y = 0; y < H; ++y) {
        NormalSource normal(options.seed * 0x100000001B3ull + uint64_t(y) * 0x9E37ull + 1);
        const bool shieldRow = Inside(t.shieldTop, 0, y) || Inside(t.shieldBottom, 0, y);
        for (int32_t x = 0; x < W; ++x)
            gains[size_t(x)] = t.SpatialGainAt(x, y);
        for (int32_t x = 0; x < W; ++x) {
            const bool shielded = shieldRow || x < kShieldColumns || x >= W - kShieldColumns;
            ColorTriple signal{};
            if (!shielded) {
                const ColorTriple seen = Multiply(sensorView, t.SceneAt(x - t.activeArea.left, y - t.activeArea.top));
                for (size_t k = 0; k < 3; ++k)
                    signal[k] = exposure * t.sceneNeutral[k] * seen[k] / gains[size_t(x)][k];
            }
            const size_t at = (size_t(y) * W + x) * 3;
            for (size_t k = 0; k < 3; ++k) {
                const double level = kDarkLevel[k] + ColumnPattern(uint32_t(x), k);
                double raw = level + signal[k], dark = level;
                if (options.noise) {
                    raw += std::sqrt(kReadVariance[k] + kShotVariance[k] * signal[k]) * normal.Next();
                    dark += std::sqrt(kReadVariance[k]) * normal.Next();
                }
                f.raw[at + k] = ClampCount(raw, kSaturation);
                f.dark[at + k] = ClampCount(dark, kSaturation);
            }
        }
    }
    for (const auto& [x, y] : t.hotPixelsBoth)
        for (size_t k = 0; k < 3; ++k) {
            const size_t at = (size_t(y) * W + x) * 3 + k;
            f.raw[at] = uint16_t(std::min<int32_t>(f.raw[at] + kHotPixelLift, kSaturation));
            f.dark[at] = uint16_t(f.dark[at] + kHotPixelLift);
        }
    for (const auto& [x, y] : t.hotPixelsRawOnly)
        for (size_t k = 0; k < 3; ++k)
            f.raw[(size_t(y) * W + x) * 3 + k] = kStuckValue;
    return f;
}

std::vector<uint8_t> BytesOf(const std::vector<uint16_t>& samples)
{
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

// ---- Embedded pictures

std::vector<uint8_t> RenderJpeg(const SyntheticTruth& t, uint32_t columns, uint32_t rows)
{
    std::vector<uint8_t> pixels(size_t(columns) * rows * 3);
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x) {
            const int32_t sx = int32_t((x + 0.5) * t.outputColumns / columns);
            const int32_t sy = int32_t((y + 0.5) * t.outputRows / rows);
            const ColorTriple linear = t.SceneAt(sx, sy);
            for (size_t k = 0; k < 3; ++k)
                pixels[(size_t(y) * columns + x) * 3 + k] = uint8_t(std::lround(255.0 * SrgbEncode(linear[k])));
        }
    FPixmapTemplate<FPixelClass24RGB> pixmap(pixels.data(), int32_t(columns), int32_t(rows), int32_t(columns * 3));
    std::vector<uint8_t> jpeg;
    {
        FJPEGImageWriter writer(jpeg, 10, true);
        writer.WriteImage(&pixmap, FHasProperties());
    }
    return jpeg;
}

PdxbImageSpec FrameSection(uint32_t kind, uint32_t format, uint32_t columns, uint32_t rows,
                           const std::vector<uint8_t>& pixels)
{
    FixedRows stored = EncodeFixedRows(format, columns, rows, pixels);
    PdxbImageSpec section;
    section.kind = kind;
    section.pixelFormat = format;
    section.columns = stored.columns;
    section.rows = stored.rows;
    section.rowSize = stored.rowSize;
    section.data = std::move(stored.data);
    return section;
}

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The capture properties the camera writes.
std::vector<std::pair<std::string, std::string>> CapturePropertyPairs(const SyntheticTruth& t)
{
    const Shot shot = ShotOf(t.shot);
    const double seconds = shot.exposureMicroseconds / 1e6;
    const std::string shutter = "1/" + std::to_string(int(std::lround(1 / seconds)));
    char secondsText[32];
    std::snprintf(secondsText, sizeof secondsText, "%.6g", seconds);
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"CAMMANUF", "TALVO"},
        {"CAMMODEL", "TALVO KT9"},
        {"CAMSERIAL", "00130013"},
        {"FIRMVERS", "1.0"},
        {"TIME", "1718000000"},
        {"ISO", std::to_string(int(t.captureIso))},
        {"EXPTIME", std::to_string(int(shot.exposureMicroseconds))},
        {"SHUTTER", secondsText},
        {"SH_DESC", shutter},
        {"APERTURE", "5.6"},
        {"AP_DESC", "F5.6"},
        {"EXPCOMP", "0"},
        {"EXPNET", "0"},
        {"FLENGTH", "50"},
        {"LENSFRANGE", "24-70"},
        {"PMODE", "P"},
        {"AEMODE", "Evaluative"},
        {"AFMODE", "Single"},
        {"DRIVE", "SINGLE"},
        {"FLASH", "OFF"},
        {"FLASHEXPCOMP", "0"},
        {"WB_DESC", t.whiteBalance},
        {"CM_DESC", "Standard"},
        {"COLORSPACE", "sRGB"},
        {"RESOLUTION", std::to_string(t.outputColumns) + "x" + std::to_string(t.outputRows)},
    };
    return pairs;
}

PdxbPropertySpec CaptureProperties(const SyntheticTruth& t)
{
    PdxbPropertySpec section;
    for (const auto& [name, value] : CapturePropertyPairs(t))
        section.pairs.push_back({Wide(name), Wide(value)});
    return section;
}

std::array<uint8_t, 16> UniqueIdOf(const SyntheticOptions& options)
{
    uint64_t state = uint64_t(options.shot) * 1000003 + uint64_t(options.size) * 7919 + options.seed;
    std::array<uint8_t, 16> id{};
    const uint64_t a = SplitMix(state), b = SplitMix(state);
    std::memcpy(id.data(), &a, 8);
    std::memcpy(id.data() + 8, &b, 8);
    return id;
}

constexpr uint32_t kCamfileColumns = 1024;

} // namespace

std::vector<std::pair<std::string, std::string>> SyntheticCaptureProperties(const SyntheticTruth& truth)
{
    return CapturePropertyPairs(truth);
}

SyntheticRaw MakeSyntheticRaw(const SyntheticOptions& options)
{
    SyntheticRaw shot;
    shot.truth = MakeSyntheticTruth(options);
    const SyntheticTruth& t = shot.truth;
    shot.camdata = BuildCalibration(SyntheticCalibration(options));

    PdxbHeaderSpec header;
    header.version = PdxbVersion(2, 3);
    header.uniqueId = UniqueIdOf(options);
    header.columns = t.outputColumns;
    header.rows = t.outputRows;
    header.rotation = options.rotation;
    PdxbBuilder builder(header);
    builder.AddProperties(CaptureProperties(t));

    PdxbCamfileSpec camfile;
    camfile.dataLength = uint32_t(shot.camdata.size());
    if (options.plainCamfile) {
        camfile.type = 1;
        camfile.data = shot.camdata;
    } else {
        camfile.type = 4;
        camfile.data = EncodeHuffmanM4Camfile(shot.camdata, kCamfileColumns, 0x200);
    }
    builder.AddCamfile(camfile);

    Frames frames = ExposeFrames(t, options);
    if (options.darkSubtracted) {
        shot.darkSubtractedFrame.resize(frames.raw.size());
        for (size_t i = 0; i < frames.raw.size(); ++i)
            shot.darkSubtractedFrame[i] = int16_t(int32_t(frames.raw[i]) - int32_t(frames.dark[i]));
        std::vector<uint8_t> bytes(shot.darkSubtractedFrame.size() * 2);
        std::memcpy(bytes.data(), shot.darkSubtractedFrame.data(), bytes.size());
        builder.AddImage(FrameSection(3, 29, t.storedColumns, t.storedRows, bytes));
    } else {
        builder.AddImage(FrameSection(1, 13, t.storedColumns, t.storedRows, BytesOf(frames.raw)));
        builder.AddImage(FrameSection(0, 13, t.storedColumns, t.storedRows, BytesOf(frames.dark)));
        shot.raw = std::move(frames.raw);
        shot.dark = std::move(frames.dark);
    }

    if (options.previews) {
        const uint32_t previewColumns = std::min<uint32_t>(t.outputColumns, 1536);
        const uint32_t previewRows = uint32_t(std::lround(double(t.outputRows) * previewColumns / t.outputColumns));
        shot.previewJpeg = RenderJpeg(t, previewColumns, previewRows);
        builder.AddImage(PdxbEmbeddedPicture(18, previewColumns, previewRows, shot.previewJpeg), kPdxbIma2);
        if (!options.previewOnly) {
            shot.thumbnailJpeg = RenderJpeg(t, 221, 147);
            builder.AddImage(PdxbEmbeddedPicture(18, 221, 147, shot.thumbnailJpeg), kPdxbIma2);
        }
    }
    shot.file = builder.Build();
    return shot;
}

SyntheticTruth WriteSyntheticRaw(const std::filesystem::path& path, const SyntheticOptions& options)
{
    SyntheticRaw shot = MakeSyntheticRaw(options);
    shot.file.WriteTo(path);
    return shot.truth;
}

std::string DescribeTruth(const SyntheticTruth& t)
{
    std::string out;
    char line[512];
    const auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        out += line;
    };
    add("shot %s, white balance \"%s\", illuminant %s, ISO %g (gain ratio %g), exposure %g s\n",
        ShotName(t.shot).c_str(), t.whiteBalance.c_str(), t.illuminant.c_str(), t.captureIso, t.gainRatio,
        t.exposureSeconds);
    add("stored %u x %u, output %u x %u at (%d, %d) of the stored frame\n", t.storedColumns, t.storedRows,
        t.outputColumns, t.outputRows, t.activeArea.left, t.activeArea.top);
    add("scene neutral %.6f %.6f %.6f, native neutral %.6f %.6f %.6f, white counts %.3f\n", t.sceneNeutral[0],
        t.sceneNeutral[1], t.sceneNeutral[2], t.nativeNeutral[0], t.nativeNeutral[1], t.nativeNeutral[2],
        t.whiteCounts);
    const ColorMatrix9& m = t.camToXYZ;
    add("CamToXYZ %.6f %.6f %.6f / %.6f %.6f %.6f / %.6f %.6f %.6f\n", m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7],
        m[8]);
    add("patch: left top right bottom (output, right and bottom exclusive); sRGB 0..255; L a b\n");
    for (const std::vector<ChartPatch>* set : {&t.patches, &t.counterparts})
        for (const ChartPatch& p : *set)
            add("%-14s %5d %5d %5d %5d  %6.2f %6.2f %6.2f  %7.3f %7.3f %7.3f\n", p.name.c_str(), p.rect.left,
                p.rect.top, p.rect.right, p.rect.bottom, 255 * p.srgb[0], 255 * p.srgb[1], 255 * p.srgb[2], p.lab[0],
                p.lab[1], p.lab[2]);
    const auto rect = [&](const char* name, const FIntRect& r) {
        add("%-14s %5d %5d %5d %5d\n", name, r.left, r.top, r.right, r.bottom);
    };
    rect("gradient", t.gradient);
    rect("edge", t.edge);
    rect("detail", t.detail);
    rect("highlight", t.highlight);
    return out;
}

} // namespace testsupport
