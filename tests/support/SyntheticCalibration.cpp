// The synthetic camera's camera data: every entry a development reads, with
// the element type and shape it is read as, in one table (SyntheticCalibration),
// and the writer that turns the table into a camera-data container.

#include "support/CamdataWriter.h"
#include "support/SyntheticCamera.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace testsupport {

namespace {

using T = CalibrationType;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class Table {
public:
    CalibrationEntry& Add(const std::string& name, T type, std::vector<uint32_t> dims, std::vector<double> values)
    {
        CalibrationEntry e;
        e.name = name;
        e.type = type;
        e.dims = std::move(dims);
        e.values = std::move(values);
        m_Entries.push_back(std::move(e));
        return m_Entries.back();
    }
    CalibrationEntry& Scalar(const std::string& name, T type, double value) { return Add(name, type, {1}, {value}); }
    CalibrationEntry& Vector(const std::string& name, T type, std::vector<double> values)
    {
        const uint32_t n = uint32_t(values.size());
        return Add(name, type, {n}, std::move(values));
    }
    CalibrationEntry& Floats3(const std::string& name, const ColorTriple& v) { return Vector(name, T::Float, {v[0], v[1], v[2]}); }
    CalibrationEntry& Matrix3x3(const std::string& name, const ColorMatrix9& m)
    {
        return Add(name, T::Float, {3, 3}, std::vector<double>(m.begin(), m.end()));
    }
    // A rectangle, right and bottom exclusive, stored inclusive.
    CalibrationEntry& Rect(const std::string& name, const FIntRect& r)
    {
        return Add(name, T::Int32, {4}, {double(r.left), double(r.top), double(r.right - 1), double(r.bottom - 1)});
    }
    CalibrationEntry& List(const std::string& name, Pairs pairs)
    {
        CalibrationEntry& e = Add(name, T::List, {}, {});
        e.pairs = std::move(pairs);
        return e;
    }
    CalibrationEntry& Text(const std::string& name, const std::string& text)
    {
        CalibrationEntry& e = Add(name, T::Text, {}, {});
        e.text = text;
        return e;
    }
    std::vector<CalibrationEntry> Take() { return std::move(m_Entries); }

private:
    std::vector<CalibrationEntry> m_Entries;
};

CalibrationEntry& Required(CalibrationEntry& e)
{
    e.required = true;
    return e;
}

CalibrationEntry& Malformed(CalibrationEntry& e, std::vector<uint32_t> dims, std::vector<double> values)
{
    e.malformedDims = std::move(dims);
    e.malformedValues = std::move(values);
    return e;
}

ColorMatrix9 Diagonal(const ColorTriple& d) { return {d[0], 0, 0, 0, d[1], 0, 0, 0, d[2]}; }
constexpr ColorMatrix9 kIdentity{1, 0, 0, 0, 1, 0, 0, 0, 1};

ColorTriple Divide(const ColorTriple& a, const ColorTriple& b) { return {a[0] / b[0], a[1] / b[1], a[2] / b[2]}; }

ColorTriple NormalisedToMax(ColorTriple v)
{
    const double m = *std::max_element(v.begin(), v.end());
    for (double& c : v)
        c /= m;
    return v;
}

// The six illuminants of the white-balance search, by their list names.
constexpr const char* kSearchIlluminants[6] = {"Sunlight", "Shade", "Overcast", "Incandescent", "Fluorescent", "Flash"};
// The white balances the camera offers: list name -> illuminant.
const std::vector<std::pair<std::string, std::string>>& PresetIlluminants()
{
    static const std::vector<std::pair<std::string, std::string>> presets = {
        {"Daylight", "Daylight"}, {"Sunlight", "Sunlight"}, {"Shade", "Shade"},
        {"Overcast", "Overcast"}, {"Incandescent", "Incandescent"}, {"Fluorescent", "Fluorescent"},
        {"Flash", "Flash"}};
    return presets;
}

std::string SearchName(const std::string& illuminant) { return illuminant == "Daylight" ? "Sunlight" : illuminant; }

void ApplyDefect(std::vector<CalibrationEntry>& entries, const SyntheticOptions& options)
{
    if (options.defect == CalibrationDefect::None)
        return;
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [&](const CalibrationEntry& e) { return e.name == options.defectEntry; });
    if (it == entries.end())
        throw std::invalid_argument("the camera data has no entry " + options.defectEntry);
    CalibrationEntry& e = *it;
    switch (options.defect) {
    case CalibrationDefect::Missing:
        entries.erase(it);
        break;
    case CalibrationDefect::Zero:
        std::fill(e.values.begin(), e.values.end(), 0.0);
        e.pairs.clear();
        e.text.clear();
        break;
    case CalibrationDefect::Value:
        if (e.type == T::List || e.type == T::Text)
            throw std::invalid_argument("the camera data's entry " + e.name + " holds no numbers");
        std::fill(e.values.begin(), e.values.end(), CalibrationStoredValue(e.type, options.defectValue));
        break;
    case CalibrationDefect::Malformed:
        if (e.type == T::List) {
            for (auto& pair : e.pairs)
                pair.second = "NoSuchEntry";
        } else if (e.type == T::Text) {
            e.text.assign(300, 'x'); // longer than 100 and without the closing word
        } else if (!e.malformedDims.empty()) {
            e.dims = e.malformedDims;
            e.values = e.malformedValues;
        } else {
            // The first dimension one short.
            const size_t inner = e.values.size() / std::max<uint32_t>(1, e.dims[0]);
            e.dims[0] -= 1;
            e.values.resize(e.values.size() - inner);
        }
        break;
    case CalibrationDefect::None:
        break;
    }
}

} // namespace

double CalibrationStoredValue(CalibrationType type, double value)
{
    const auto held = [&](auto typeOf) {
        using V = decltype(typeOf);
        return std::isnan(value) ? 0.0 : std::clamp(value, double(std::numeric_limits<V>::lowest()),
                                                     double(std::numeric_limits<V>::max()));
    };
    switch (type) {
    case T::Int16: return held(int16_t{});
    case T::UInt16: return held(uint16_t{});
    case T::Int32: return held(int32_t{});
    case T::UInt32: return held(uint32_t{});
    case T::UInt8: return held(uint8_t{});
    case T::Float:
        if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max())
            return std::copysign(HUGE_VAL, value);
        return double(float(value));
    default: return value;
    }
}

std::vector<CalibrationEntry> SyntheticCalibration(const SyntheticOptions& options)
{
    const SyntheticTruth t = MakeSyntheticTruth(options);
    const int32_t W = int32_t(t.storedColumns), H = int32_t(t.storedRows);
    const int32_t kl = t.keepArea.left, kt = t.keepArea.top;
    const auto OnSensor = [&](const FIntRect& r) { return FIntRect(r.left + kl, r.top + kt, r.right + kl, r.bottom + kt); };
    const ColorMatrix9& camToXyz = t.camToXYZ;
    const bool tungsten = t.illuminant == "Incandescent";
    const bool highIso = t.captureIso > 400;
    const double iso = t.captureIso;
    Table table;

    // ---- Levels, areas, linearisation (stage 1 and the level triple)
    {
        std::vector<double> lut;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 4096; ++i)
                lut.push_back(i);
        std::vector<double> bad;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 1000; ++i)
                bad.push_back(i);
        Malformed(Required(table.Add("LinLUTs", T::Int16, {3, 4096}, lut)), {3, 1000}, bad); // not a power of two
    }
    Malformed(Required(table.Vector("RawOffsetSourceRows", T::UInt32, {0, double(t.shieldTop.bottom - 1), 1})), {3},
              {0, double(H), 1}); // last row beyond the frame
    table.Scalar("RawOffsetFilterShift", T::UInt32, 4);
    Malformed(Required(table.Vector("RawSaturationLevel", T::Int16, {4000, 4000, 4000})), {3}, {-1, -1, -1});
    Malformed(Required(table.Vector("SaturationLevel", T::Int16,
                                    {4000 - t.darkLevel[0], 4000 - t.darkLevel[1], 4000 - t.darkLevel[2]})),
              {3}, {-1, -1, -1});
    Malformed(Required(table.Rect("KeepImageArea", t.keepArea)), {4},
              {double(kl + W), double(kt + H), double(kl), double(kt)}); // right and bottom before left and top
    Malformed(Required(table.Rect("ActiveImageArea", OnSensor(t.activeArea))), {4},
              {double(kl - 50), double(kt - 50), double(kl + W + 100), double(kt + H + 100)}); // beyond the frame
    Malformed(Required(table.Rect("DarkShieldTop", OnSensor(t.shieldTop))), {4},
              {double(kl), double(kt + H + 10), double(kl + W - 1), double(kt + H + 20)}); // below the frame
    Required(table.Rect("DarkShieldBottom", OnSensor(t.shieldBottom)));
    Malformed(Required(table.Add("DarkShieldColRange", T::Int32, {2, 2},
                                 {double(t.shieldColumns[0]), double(t.shieldColumns[1]),
                                  double(t.shieldColumns[2]), double(t.shieldColumns[3])})),
              {2, 2}, {double(W), double(W + 8), -10, -2});
    table.Scalar("LinLUT_ReductionFactor", T::Float, 1.0);

    // ---- Capture and sensor
    table.Scalar("UseColorAverageRowOffset", T::UInt16, 0);
    table.Scalar("UseSlopeInDrift", T::UInt16, 1);
    table.Scalar("CaptureISO", T::Float, iso);
    table.Scalar("SensorISO", T::Float, t.sensorIso);
    table.Scalar("BulbFrameCount", T::UInt32, 0);
    table.Scalar("SkipStepFlags", T::UInt32, 0);
    table.Scalar("CaptureShutter", T::Float, std::round(t.exposureSeconds * 1e6));
    table.Scalar("MaxConstrainTime", T::Float, 0.5);
    table.Scalar("DespeckleExpTimeThresh", T::UInt32, 150000);
    table.Scalar("EnableMovieDriftCorrection", T::UInt32, 0);

    // ---- Colour: the matrix, the neutrals and the white-balance tables
    Malformed(Required(table.Matrix3x3("CamToXYZ", camToXyz)), {3, 3}, {0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3, 0.3});
    table.Matrix3x3("CamToXYZ_Flash", camToXyz);
    Required(table.Floats3("RGBNeutral", t.sceneNeutral));
    Required(table.Floats3("AutoRGBNeutral", t.sceneNeutral));
    table.Floats3("CustomRGBNeutral", t.nativeNeutral);
    table.Scalar("CCMatrix_Flag", T::Int32, options.perIlluminantTables ? 1 : 0);
    table.Text("ColorspaceTestText", "Colour space of the tables: sRGB!");
    {
        // Camera RGB under an illuminant to D65-adapted XYZ: the camera's
        // white under that light goes to the D65 white.
        Pairs illuminants, corrections, gains, spatial;
        for (const auto& [name, illuminant] : PresetIlluminants()) {
            illuminants.push_back({name, "WBMatrix_" + name});
            corrections.push_back({name, SearchName(illuminant) + "CCMatrix"});
            gains.push_back({name, SearchName(illuminant) + "WBGain"});
            spatial.push_back({name, "SpatialGain"});
        }
        for (const char* name : {"Auto", "Custom"}) {
            illuminants.push_back({name, ""});
            corrections.push_back({name, std::string(name) + "CCMatrix"});
            gains.push_back({name, std::string(name) + "WBGain"});
            spatial.push_back({name, "SpatialGain"});
        }
        Required(table.List("WhiteBalanceIlluminants", illuminants));
        for (const auto& [name, illuminant] : PresetIlluminants()) {
            const ColorTriple neutral = SyntheticCameraNeutral(illuminant);
            table.Matrix3x3("WBMatrix_" + name, Multiply(camToXyz, Diagonal(Divide(t.nativeNeutral, neutral))));
        }
        table.List("WhiteBalanceCorrections", {{"Daylight", "WBCorrection_Daylight"}});
        table.Matrix3x3("WBCorrection_Daylight", kIdentity);
        // Colour corrections to linear sRGB with their gains: CC x diag(gain)
        // takes the camera's white under the light to (1, 1, 1).
        table.List("WhiteBalanceColorCorrections", corrections);
        table.List("WhiteBalanceGains", gains);
        const ColorMatrix9 toLinear = Multiply(Inverse(kLinearSrgbToXyz), camToXyz);
        const auto correction = [&](const std::string& prefix, const ColorTriple& neutral) {
            const ColorTriple gain = NormalisedToMax(Divide(t.nativeNeutral, neutral));
            const double scale = Divide(t.nativeNeutral, neutral)[0] / gain[0];
            ColorMatrix9 cc = toLinear;
            for (double& v : cc)
                v *= scale;
            table.Matrix3x3(prefix + "CCMatrix", cc);
            table.Floats3(prefix + "WBGain", gain);
        };
        for (const char* name : kSearchIlluminants)
            correction(name, SyntheticCameraNeutral(name));
        correction("Auto", t.nativeNeutral);
        correction("Custom", t.nativeNeutral);
        table.Scalar("BVTHRESH", T::Float, 2.0);
        table.List("ColorModeCompensations", {{"Standard", "CM_Standard"}});
        table.Matrix3x3("CM_Standard", kIdentity);
        table.List("ColorModeContrastCompensations", {{"Standard", "CMContrast_Standard"}});
        table.Scalar("CMContrast_Standard", T::Float, 0);
        table.Floats3("FnumberGainFact", {1, 1, 1});
        table.Floats3("TempGainFact", {1, 1, 1});

        // ---- Sensor corrections (step 0)
        table.List("SpatialGainTables", spatial);
    }
    {
        std::vector<double> gain(t.spatialGainTable.begin(), t.spatialGainTable.end());
        Malformed(Required(table.Add("SpatialGain", T::Float, {t.spatialGainRows, t.spatialGainColumns, 3}, gain)),
                  {1, 1, 3}, {1, 1, 1}); // a single column
        for (const char* name : kSearchIlluminants)
            table.Add(std::string("SpatialGain_") + name, T::Float, {t.spatialGainRows, t.spatialGainColumns, 3}, gain);
        table.Add("Shading", T::Float, {t.spatialGainRows, t.spatialGainColumns, 3}, std::vector<double>(gain.size(), 1.0));
    }
    table.Add("RawDrift", T::Float, {2, 3, 2}, std::vector<double>(12, 0.0));
    table.Add("DarkDrift", T::Float, {2, 3, 2}, std::vector<double>(12, 0.0));
    table.Scalar("UsePreComputedDrift", T::UInt32, 0);
    table.Vector("BulbAccumOffset", T::Int32, {4095, 4095, 4095});
    table.Vector("BulbAccumOffsetN", T::Int32, {4095, 4095, 4095});
    table.Floats3("DarkGainFactor", {1.25, 1.25, 1.25});
    table.Floats3("DarkGainScale", {0, 0, 0});
    table.Floats3("DarkNormalOffset", {0, 0, 0});
    table.Add("PostPolyMatrix", T::Float, {3, 9}, std::vector<double>(27, 0.0));
    table.Scalar("BulbCurvatureOffset", T::Float, 0);
    table.Floats3("BulbCurvatureFactor", {1, 1, 1});
    table.Floats3("FlareFactor", {0, 0, 0});
    table.Scalar("ColumnFilter", T::Float, 0);
    table.Floats3("ColumnFilterRGB", {0, 0, 0});
    table.Floats3("ColumnFilterSquareRGB", {0, 0, 0});
    table.Scalar("RowCorrectionGain", T::Float, 0.75);
    table.Scalar("RowCorrectionScale", T::Float, 13);
    table.Scalar("SegmentCapacitance", T::Float, 0);
    table.Scalar("SegmentChargeFeedThrough", T::Float, 0);
    table.Scalar("SegmentBoundaryInterval", T::Int32, 0);

    // ---- Bad pixels (step 1): sensor positions, row << 20 | column << 8 | the four direct neighbours
    {
        std::vector<double> positions, badness;
        const auto add = [&](const std::pair<int32_t, int32_t>& p, double b) {
            positions.push_back(double(uint32_t(p.second + kt) << 20 | uint32_t(p.first + kl) << 8 | 0x5Au));
            badness.push_back(b);
        };
        for (const auto& p : t.hotPixelsBoth)
            add(p, 100); // cancelled by the dark frame: below the threshold
        for (const auto& p : t.hotPixelsRawOnly)
            add(p, 200);
        std::vector<double> hostile = positions;
        hostile.push_back(double(0xFFFFFFFFu)); // outside every frame, and one more than BPBadness
        Malformed(Required(table.Vector("BadPixels", T::UInt32, positions)), {uint32_t(hostile.size())}, hostile);
        Required(table.Vector("BPBadness", T::UInt8, badness));
    }
    table.Vector("BadPixThreshLevels", T::UInt32, {128, 30});
    table.Vector("BadPixThreshTimes", T::Float, {2.0, 10.0});
    table.Scalar("RedSharpen", T::Float, 0);
    table.Scalar("RedLeftWeight", T::Int32, 2048);
    table.Scalar("RedRightWeight", T::Int32, 0);

    // ---- Noise: the model the frames were made with (variance a + b x signal, counts)
    Malformed(Required(table.Add("ColorNoiseModel", T::Float, {3, 3},
                                 {t.readVariance[0], t.readVariance[1], t.readVariance[2], t.shotVariance[0],
                                  t.shotVariance[1], t.shotVariance[2], 0, 0, 0})),
              {3, 3}, {-6, -5, -5, -0.1, -0.1, -0.1, 0, 0, 0});
    Required(table.Floats3("IntensityNoiseModel", {t.readVariance[1], t.shotVariance[1], 0}));
    table.Scalar("MaxNoiseScalingFactor", T::Float, 0.02);
    table.Scalar("MinNoiseScalingFactor", T::Float, 4.0);
    table.Scalar("MaxAnisoDiffScaleNMFactor", T::Float, 2.0);
    table.Scalar("MinAnisoDiffScaleNMFactor", T::Float, 0.5);
    table.Scalar("MaxResidualScalingFactor", T::Float, 0.75);
    table.Scalar("MinResidualScalingFactor", T::Float, 1.0);
    Malformed(Required(table.Scalar("DownSampleFactor", T::Int16, tungsten || highIso ? 4 : 2)), {1}, {3});
    table.Scalar("BilateralFilterRadius", T::Int16, 5);
    table.Scalar("SubSampleKernel", T::Int16, 1);
    table.Scalar("NoiseScaling", T::Float, 0.5);
    table.Scalar("EdgeMapScale", T::Float, 0.5);
    table.Scalar("LocalMeanDecay", T::Float, 0.9);
    table.Scalar("LocalMeanIters", T::Int16, 1);
    table.Scalar("DarkNeutralizeLow", T::Int16, 2);
    table.Scalar("DarkNeutralizeHigh", T::Int16, 50);
    table.Scalar("ResidualAnisoDiffK2", T::Int16, 2);
    table.Scalar("ResidualAnisoDiffIters2", T::Int16, tungsten || highIso ? 1 : 0);
    table.Scalar("ResidualAnisoDiffScaleNM", T::Float, iso == 800 && !tungsten ? 0.75 : 1.0);
    table.Scalar("AnisoLambda", T::Float, 0.25);
    table.Scalar("ResidualEpsilon", T::Float, 5.0);
    table.Scalar("ResidualScaling", T::Float, 1.0);
    table.Scalar("WBMixing", T::Float, 0.5);
    table.Scalar("MatrixMixing", T::Float, 0.5);
    // The colour noise of the colour transform and the noise-model recombination, in working units at ISO
    // 100: both core every channel by up to about this much (scaled by the gains), so it is the stage's
    // own default (4 at ISO 100); larger values visibly crush and tint the dark patches.
    Required(table.Floats3("ColorDQCamRGB", {4, 4, 4}));

    // ---- Chroma blur
    Malformed(Required(table.Scalar("ChromaBlur", T::Float, 60)), {1}, {-60});
    table.Scalar("ChromaSumShift", T::UInt16, 3);
    Malformed(Required(table.Scalar("SpatialDQ", T::Float, 4)), {1}, {-4});
    Required(table.Floats3("ChromaDQ", {24, 16, 24}));

    // ---- FIR noise reduction (the ISO defaults, written out)
    table.Scalar("FIR_DisableStep", T::UInt16, 0);
    table.Scalar("FIR_ProportionLocalMeanRef", T::Float, 0.0011);
    table.Scalar("FIR_ProportionLocalMeanEdgeRef", T::Float, iso > 600 ? 0.001 : 0.0019);
    table.Scalar("FIR_ProportionLocalMeanImgWithEdgeRef", T::Float, iso > 600 ? 0.015 : 0.019);
    table.Scalar("FIR_Locality", T::Float, iso > 600 ? 1.5 : 1.0);
    table.Scalar("FIR_ScaleFactorEdgeRef", T::Float, 5.0);
    table.Scalar("FIR_ScaleFactorLocalMeanEdgeRef", T::Float, 7.0);
    table.Scalar("FIR_Iterations", T::UInt16, 1);
    table.Scalar("FIR_SigmoidOffset", T::Float, 0.55);
    table.Scalar("FIR_EdgeMapExponent", T::Float, 0.7);

    // ---- Green detail of stage 3 (the stage's own defaults, written out)
    table.Scalar("GreenWeight", T::Float, 0.001);
    table.Scalar("GreenHighLimit", T::Int32, 200);
    table.Scalar("GreenLowLimit", T::Int32, 0);

    std::vector<CalibrationEntry> entries = table.Take();
    ApplyDefect(entries, options);
    return entries;
}

std::vector<std::string> RequiredCalibrationEntries()
{
    std::vector<std::string> names;
    for (const CalibrationEntry& e : SyntheticCalibration({}))
        if (e.required)
            names.push_back(e.name);
    return names;
}

namespace {

template <class V>
std::vector<V> Cast(const std::vector<double>& values)
{
    std::vector<V> out;
    for (const double v : values)
        out.push_back(V(std::llround(v)));
    return out;
}

} // namespace

std::vector<uint8_t> BuildCalibration(const std::vector<CalibrationEntry>& entries)
{
    CamdataWriter writer;
    for (const CalibrationEntry& e : entries) {
        switch (e.type) {
        case T::Int16: writer.AddInt16s(e.name, e.dims, Cast<int16_t>(e.values)); break;
        case T::UInt16: writer.AddUInt16s(e.name, e.dims, Cast<uint16_t>(e.values)); break;
        case T::Int32: writer.AddInt32s(e.name, e.dims, Cast<int32_t>(e.values)); break;
        case T::UInt32: writer.AddUInt32s(e.name, e.dims, Cast<uint32_t>(e.values)); break;
        case T::UInt8: writer.AddBytes(e.name, e.dims, Cast<uint8_t>(e.values)); break;
        case T::Float: {
            std::vector<float> floats;
            for (const double v : e.values)
                floats.push_back(float(v));
            writer.AddFloats(e.name, e.dims, floats);
            break;
        }
        case T::List: writer.AddProperties(e.name, e.pairs); break;
        case T::Text: writer.AddText(e.name, e.text); break;
        }
    }
    return writer.BuildCamfile();
}

} // namespace testsupport
