// The synthetic camera: its files open through the raw loader, its camera data
// reads back through the typed getters, and a plain linear development of its
// frames with the true neutral and CamToXYZ reproduces the chart.

#include "fileio/container/CambData.h"
#include "fileio/container/PdxbImageIO.h"
#include "fileio/loaders/PDXbLoader.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FValueTypes.h"
#include "support/ColorDifference.h"
#include "support/LoaderDriver.h"
#include "support/PdxbFileTest.h"
#include "support/SyntheticCamera.h"
#include "support/SyntheticWorkingImage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// ---- CIEDE2000

struct DifferencePair {
    ColorTriple first, second;
    double expected;
};

TEST(CIEDE2000, MatchesPublishedReferencePairs)
{
    // From the published test data of the formula: hue wrap-around, the
    // blue region's rotation term, the neutral axis and large differences.
    const DifferencePair pairs[] = {
        {{50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}, 2.0425},
        {{50.0, 3.1571, -77.2803}, {50.0, 0.0, -82.7485}, 2.8615},
        {{50.0, -1.3802, -84.2814}, {50.0, 0.0, -82.7485}, 1.0000},
        {{50.0, 0.0, 0.0}, {50.0, -1.0, 2.0}, 2.3669},
        {{50.0, 2.49, -0.001}, {50.0, -2.49, 0.0009}, 7.1792},
        {{50.0, 2.49, -0.001}, {50.0, -2.49, 0.0011}, 7.2195},
        {{50.0, -0.001, 2.49}, {50.0, 0.0009, -2.49}, 4.8045},
        {{50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
        {{50.0, 2.5, 0.0}, {56.0, -27.0, -3.0}, 31.9030},
        {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
        {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
        {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
    };
    for (const DifferencePair& p : pairs) {
        EXPECT_NEAR(CIEDE2000(p.first, p.second), p.expected, 1e-4);
        EXPECT_NEAR(CIEDE2000(p.second, p.first), p.expected, 1e-4);
    }
    EXPECT_EQ(CIEDE2000({41, 12, -7}, {41, 12, -7}), 0.0);
}

TEST(ColorConversions, WhiteBlackAndRoundTrips)
{
    const ColorTriple white = Srgb8ToLab(255, 255, 255);
    EXPECT_NEAR(white[0], 100.0, 1e-3);
    EXPECT_NEAR(white[1], 0.0, 1e-3);
    EXPECT_NEAR(white[2], 0.0, 1e-3);
    EXPECT_NEAR(Srgb8ToLab(0, 0, 0)[0], 0.0, 1e-9);
    for (const ColorTriple xyz : {ColorTriple{0.2, 0.3, 0.1}, ColorTriple{0.001, 0.002, 0.003}, kD65White}) {
        const ColorTriple back = LabToXyz(XyzToLab(xyz));
        const ColorTriple linear = XyzToLinearSrgb(LinearSrgbToXyz(xyz));
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_NEAR(back[k], xyz[k], 1e-12);
            EXPECT_NEAR(linear[k], xyz[k], 1e-12);
        }
    }
    for (const double v : {0.0, 0.002, 0.04, 0.18, 0.5, 1.0})
        EXPECT_NEAR(SrgbDecode(SrgbEncode(v)), v, 1e-12);
    EXPECT_THROW(Inverse(ColorMatrix9{1, 2, 3, 2, 4, 6, 0, 0, 1}), std::domain_error);
}

// ---- Helpers

const SyntheticShot kShots[] = {SyntheticShot::DaylightIso100, SyntheticShot::DaylightIso800Auto,
                                SyntheticShot::TungstenIso100};

SyntheticOptions Small(SyntheticShot shot)
{
    SyntheticOptions options;
    options.shot = shot;
    return options;
}

// The camera data as a development gets it: the loader's camfile bytes.
struct LoadedCamdata {
    std::vector<uint8_t> bytes;
    std::unique_ptr<FCamdata> camdata;
};

std::string Utf8(const FString& text) { return Utf8FromWide(text); }

std::map<std::string, std::string> PairsOf(const FPropTree& tree)
{
    std::map<std::string, std::string> pairs;
    for (const FPropPair* p = tree.GetFirstPair(); p; p = p->GetNext())
        pairs[Utf8(p->m_sKey)] = Utf8(p->m_sValue);
    return pairs;
}

class SyntheticRawTest : public LoaderTest<PdxbFileTest, CreatePDXbLoader> {
protected:
    LoadedCamdata LoadCamdata(const FString& url)
    {
        LoadedCamdata loaded;
        auto request = LoadCamfileBytes(*m_pLoader, url, LOADER_REQUEST_LOAD_CAMB_FILE, loaded.bytes);
        EXPECT_EQ(request->GetStatus(), LOADER_STATUS_DONE) << ErrorTextOf(*request);
        EXPECT_EQ(request->GetFirstSizeWord(), 2); // camera data
        if (!loaded.bytes.empty())
            loaded.camdata = std::make_unique<FCamdata>(loaded.bytes.data(), loaded.bytes.size());
        return loaded;
    }

    // Describes image index, then loads it into a pixmap of the described type.
    TestPixmap<> LoadImage(const FString& url, int index, int expectedKind, int32_t expectedType, uint32_t columns,
                           uint32_t rows)
    {
        auto describe = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
        describe->SetIndexWord(index);
        EXPECT_EQ(Drive(*describe), LOADER_STATUS_DONE) << ErrorTextOf(*describe);
        EXPECT_EQ(describe->GetImageKind(), expectedKind) << "image " << index;
        EXPECT_EQ(describe->GetPixelType(), expectedType) << "image " << index;
        EXPECT_EQ(describe->GetFirstSizeWord(), columns) << "image " << index;
        EXPECT_EQ(describe->GetSecondSizeWord(), rows) << "image " << index;
        TestPixmap<> pixmap = MakePixmap(expectedType, int32_t(columns), int32_t(rows));
        auto load = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
        load->SetIndexWord(index);
        load->SetPixmap(pixmap.get());
        EXPECT_EQ(Drive(*load), LOADER_STATUS_DONE) << ErrorTextOf(*load);
        return pixmap;
    }
};

std::vector<uint16_t> Samples(const TestPixmap<>& pixmap)
{
    const std::vector<uint8_t> bytes = pixmap.Bytes(pixmap->m_iColumns, pixmap->m_iRows);
    std::vector<uint16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    return samples;
}

// ---- The file through the raw loader

TEST_F(SyntheticRawTest, OpensThroughTheRawLoaderWithEverySection)
{
    const SyntheticRaw shot = MakeSyntheticRaw(Small(SyntheticShot::DaylightIso800Auto));
    const SyntheticTruth& t = shot.truth;
    const FString url = Write(shot.file, "shot.kvr");

    auto count = NewLoaderRequest(url, LOADER_REQUEST_COUNT_IMAGES);
    ASSERT_EQ(Drive(*count), LOADER_STATUS_DONE) << ErrorTextOf(*count);
    EXPECT_EQ(count->GetIndexWord(), 4); // raw, dark, preview, thumbnail

    FPropTree tree(nullptr, "ImageProps");
    auto properties = NewLoaderRequest(url, LOADER_REQUEST_GET_PROPERTIES);
    properties->SetPropTree(&tree);
    ASSERT_EQ(Drive(*properties), LOADER_STATUS_DONE) << ErrorTextOf(*properties);
    const std::map<std::string, std::string> p = PairsOf(tree);
    const std::map<std::string, std::string> expected = {
        {"CAMMANUF", "TALVO"}, {"CAMMODEL", "TALVO KT9"}, {"ISO", "800"},        {"EXPTIME", "1000"},
        {"SHUTTER", "0.001"},  {"APERTURE", "5.6"},       {"WB_DESC", "Auto"},  {"WB_DESC_ORIG", "Auto"},
        {"CM_DESC", "Standard"}, {"COLORSPACE", "sRGB"},  {"TIME", "1718000000"}, {"PROCESSABLE", "1"},
        {"COLS", std::to_string(t.outputColumns)},        {"ROWS", std::to_string(t.outputRows)},
        {"ROTATION", "0"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(p.count(key) ? p.at(key) : "<none>", value) << key;
    EXPECT_EQ(p.at("UNIQUEID").size(), 32u);

    const TestPixmap<> raw = LoadImage(url, 0, 1, FPixmap::PIXEL_48_RGB, t.storedColumns, t.storedRows);
    const TestPixmap<> dark = LoadImage(url, 1, 2, FPixmap::PIXEL_48_RGB, t.storedColumns, t.storedRows);
    EXPECT_EQ(Samples(raw), shot.raw);
    EXPECT_EQ(Samples(dark), shot.dark);
    const uint32_t previewRows = uint32_t(std::lround(t.outputRows * double(t.outputColumns) / t.outputColumns));
    const TestPixmap<> preview = LoadImage(url, 2, 4, FPixmap::PIXEL_24_RGB, t.outputColumns, previewRows);
    const TestPixmap<> thumbnail = LoadImage(url, 3, 4, FPixmap::PIXEL_24_RGB, 221, 147);

    // The pictures show the chart in its true colours (JPEG-close).
    const auto meanLabOf = [&](const TestPixmap<>& picture, const FIntRect& r) {
        const double fx = double(picture->m_iColumns) / t.outputColumns, fy = double(picture->m_iRows) / t.outputRows;
        const int32_t l = int32_t(std::ceil(r.left * fx)) + 1, rr = int32_t(r.right * fx) - 1;
        const int32_t top = int32_t(std::ceil(r.top * fy)) + 1, b = int32_t(r.bottom * fy) - 1;
        double sum[3] = {};
        for (int32_t y = top; y < b; ++y)
            for (int32_t x = l; x < rr; ++x)
                for (int k = 0; k < 3; ++k)
                    sum[k] += picture->GetRow(y)[x * 3 + k];
        const double n = double(rr - l) * (b - top);
        return Srgb8ToLab(sum[0] / n, sum[1] / n, sum[2] / n);
    };
    for (const ChartPatch& patch : t.patches) {
        EXPECT_LT(CIEDE2000(meanLabOf(preview, patch.rect), patch.lab), 1.5) << patch.name;
        EXPECT_LT(CIEDE2000(meanLabOf(thumbnail, patch.rect), patch.lab), 3.0) << patch.name;
    }

    // The camera data, HuffmanM4-coded in the file, arrives whole (the rest is the coding's padding).
    LoadedCamdata loaded = LoadCamdata(url);
    ASSERT_GE(loaded.bytes.size(), shot.camdata.size());
    EXPECT_TRUE(std::equal(shot.camdata.begin(), shot.camdata.end(), loaded.bytes.begin()));
    EXPECT_TRUE(std::all_of(loaded.bytes.begin() + std::ptrdiff_t(shot.camdata.size()), loaded.bytes.end(),
                            [](uint8_t b) { return b == 0; }));
}

TEST_F(SyntheticRawTest, DarkSubtractedFrameAndPlainCamfile)
{
    SyntheticOptions options = Small(SyntheticShot::TungstenIso100);
    const SyntheticRaw both = MakeSyntheticRaw(options);
    options.darkSubtracted = true;
    options.plainCamfile = true;
    options.previews = false;
    const SyntheticRaw shot = MakeSyntheticRaw(options);
    const FString url = Write(shot.file, "darksub.kvr");

    auto count = NewLoaderRequest(url, LOADER_REQUEST_COUNT_IMAGES);
    ASSERT_EQ(Drive(*count), LOADER_STATUS_DONE) << ErrorTextOf(*count);
    EXPECT_EQ(count->GetIndexWord(), 1);
    const TestPixmap<> frame =
        LoadImage(url, 0, 3, FPixmap::PIXEL_48S_RGB, shot.truth.storedColumns, shot.truth.storedRows);
    const WorkingImage fromFrames = MakeSyntheticWorkingImage(both);
    EXPECT_EQ(frame.Bytes(frame->m_iColumns, frame->m_iRows), fromFrames.Bytes(frame->m_iColumns, frame->m_iRows));

    LoadedCamdata loaded = LoadCamdata(url);
    EXPECT_EQ(loaded.bytes, shot.camdata);
}

// ---- The camera data through the typed getters

// Reads the entry through the getter its type and shape call for and gives
// back its elements (first dimension outermost); lists and texts compare their own way.
std::vector<double> ReadBack(const FCamdata* c, const CalibrationEntry& e)
{
    const char* name = e.name.c_str();
    const std::vector<uint32_t>& d = e.dims;
    const auto is = [&](std::initializer_list<uint32_t> shape) { return d == std::vector<uint32_t>(shape); };
    std::vector<double> out;
    switch (e.type) {
    case CalibrationType::Float:
        if (is({1})) {
            out = {CamdataGetFloat(c, name)};
        } else if (is({3})) {
            out.resize(3);
            CamdataGetVector3(c, name, out.data());
        } else if (is({3, 3})) {
            out.resize(9);
            CamdataGetMatrix3x3(c, name, out.data());
        } else if (is({3, 9})) {
            float m[27];
            CamdataGetMatrix3x9(c, name, m);
            out.assign(m, m + 27);
        } else if (is({2, 3, 2})) {
            double m[12];
            CamdataGetMatrix2x3x2(c, name, m);
            for (int a = 0; a < 2; ++a) // back from [6a + 3k + c] to [a][c][k]
                for (int ch = 0; ch < 3; ++ch)
                    for (int k = 0; k < 2; ++k)
                        out.push_back(m[6 * a + 3 * k + ch]);
        } else if (d.size() == 3 && d[2] == 3) {
            const std::unique_ptr<CamdataRGBTable> table = CamdataGetRGBTable(c, name);
            if (table && table->m_iRows == d[0] && table->m_iColumns == d[1])
                out.assign(table->m_pTable, table->m_pTable + size_t(d[0]) * d[1] * 3);
        } else if (d.size() == 1) {
            uint32_t n = 0;
            if (const float* v = CamdataGetFloatArray(c, name, &n))
                out.assign(v, v + n);
        }
        break;
    case CalibrationType::Int16:
        if (is({1})) {
            out = {double(CamdataGetInt16Default(c, name, -12345))};
        } else if (is({3})) {
            int32_t v[3];
            CamdataGetInt16Triple(c, name, v);
            out.assign(v, v + 3);
        } else if (d.size() == 2 && d[0] == 3) {
            const std::unique_ptr<FLUT16RGB> lut = CamdataGetLUT16RGB(c, name);
            if (lut) {
                for (uint32_t i = 0; i < d[1]; ++i)
                    out.push_back(lut->Red(int32_t(i)));
                for (uint32_t i = 0; i < d[1]; ++i)
                    out.push_back(lut->Green(int32_t(i)));
                for (uint32_t i = 0; i < d[1]; ++i)
                    out.push_back(lut->Blue(int32_t(i)));
            }
        }
        break;
    case CalibrationType::UInt16: {
        bool found = false;
        const uint32_t v = CamdataGetUInt16(c, name, &found);
        if (found)
            out = {double(v)};
        break;
    }
    case CalibrationType::Int32:
        if (is({1})) {
            out = {double(CamdataGetInt32(c, name))};
        } else if (is({3})) {
            int32_t v[3];
            CamdataGetInt32Triple(c, name, v);
            out.assign(v, v + 3);
        } else if (is({4})) {
            const FIntRect r = CamdataGetRect(c, name);
            out = {double(r.left), double(r.top), double(r.right - 1), double(r.bottom - 1)};
        } else if (const CambMatrix* m = c->FindMatrix(name, CAMB_MATRIX_INT32, int32_t(d.size()), d.data())) {
            const auto* v = static_cast<const int32_t*>(m->pData);
            out.assign(v, v + m->ElementCount());
        }
        break;
    case CalibrationType::UInt32:
        if (is({1})) {
            out = {double(CamdataGetUInt32(c, name))};
        } else {
            uint32_t n = 0;
            if (const uint32_t* v = CamdataGetUInt32Array(c, name, &n))
                out.assign(v, v + n);
        }
        break;
    case CalibrationType::UInt8: {
        uint32_t n = 0;
        if (const uint8_t* v = CamdataGetByteArray(c, name, &n))
            out.assign(v, v + n);
        break;
    }
    case CalibrationType::List:
    case CalibrationType::Text:
        break;
    }
    return out;
}

// The value as the file stores it (float or the integer type).
double Stored(const CalibrationEntry& e, double v)
{
    return e.type == CalibrationType::Float ? double(float(v)) : std::round(v);
}

void ExpectEntryReadsBack(const FCamdata* camdata, const CalibrationEntry& e)
{
    SCOPED_TRACE(e.name);
    if (e.type == CalibrationType::List) {
        FPropTree tree(nullptr, "List");
        ASSERT_TRUE(camdata->GetPropertyList(e.name.c_str(), &tree));
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const FPropPair* p = tree.GetFirstPair(); p; p = p->GetNext())
            pairs.push_back({Utf8(p->m_sKey), Utf8(p->m_sValue)});
        EXPECT_EQ(pairs, e.pairs);
        return;
    }
    if (e.type == CalibrationType::Text) {
        uint32_t length = 0;
        const uint8_t* text = CamdataGetText(camdata, e.name.c_str(), &length);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(text), length), e.text);
        return;
    }
    const std::vector<double> back = ReadBack(camdata, e);
    ASSERT_EQ(back.size(), e.values.size());
    for (size_t i = 0; i < back.size(); ++i)
        EXPECT_NEAR(back[i], Stored(e, e.values[i]), std::abs(Stored(e, e.values[i])) * 1e-6) << "element " << i;
}

TEST_F(SyntheticRawTest, EveryCalibrationEntryReadsBackThroughTheTypedGetters)
{
    for (const SyntheticShot which : kShots) {
        SCOPED_TRACE(ShotName(which));
        const SyntheticRaw shot = MakeSyntheticRaw(Small(which));
        LoadedCamdata loaded = LoadCamdata(Write(shot.file, ShotName(which) + ".kvr"));
        ASSERT_TRUE(loaded.camdata);
        const std::vector<CalibrationEntry> table = SyntheticCalibration(Small(which));
        EXPECT_GT(table.size(), 120u);
        for (const CalibrationEntry& e : table)
            ExpectEntryReadsBack(loaded.camdata.get(), e);
        // Names are unique ignoring case, as they are looked up, so no entry hides another.
        std::vector<std::string> names;
        for (const CalibrationEntry& e : table) {
            std::string lower = e.name;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            names.push_back(lower);
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    }
}

TEST(SyntheticCalibration, WhiteBalanceTablesAgreeWithTheCamera)
{
    const SyntheticTruth t = MakeSyntheticTruth(Small(SyntheticShot::TungstenIso100));
    std::map<std::string, const CalibrationEntry*> byName;
    const std::vector<CalibrationEntry> table = SyntheticCalibration(Small(SyntheticShot::TungstenIso100));
    for (const CalibrationEntry& e : table)
        byName[e.name] = &e;
    const auto matrix = [&](const std::string& name) {
        ColorMatrix9 m{};
        std::copy(byName.at(name)->values.begin(), byName.at(name)->values.end(), m.begin());
        return m;
    };
    // Every preset matrix takes the camera's white under its light to the D65 white.
    for (const auto& [preset, entry] : byName.at("WhiteBalanceIlluminants")->pairs) {
        if (entry.empty())
            continue;
        const ColorTriple white = Multiply(matrix(entry), SyntheticCameraNeutral(preset));
        for (size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(white[k], kD65White[k], 1e-6) << preset;
    }
    // Colour correction x gain takes it to linear sRGB white.
    for (const char* light : {"Sunlight", "Incandescent", "Fluorescent"}) {
        const std::vector<double>& g = byName.at(std::string(light) + "WBGain")->values;
        const ColorTriple neutral = SyntheticCameraNeutral(light);
        const ColorTriple rgb =
            Multiply(matrix(std::string(light) + "CCMatrix"), ColorTriple{g[0] * neutral[0], g[1] * neutral[1], g[2] * neutral[2]});
        for (size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(rgb[k], 1.0, 1e-6) << light;
    }
    EXPECT_EQ(t.sceneNeutral, SyntheticCameraNeutral("Incandescent"));
}

// ---- Defective camera data

TEST_F(SyntheticRawTest, EveryRequiredEntryCanBeMissingZeroOrMalformed)
{
    const std::vector<std::string> required = RequiredCalibrationEntries();
    for (const char* name : {"CamToXYZ", "KeepImageArea", "ActiveImageArea", "RawSaturationLevel", "DarkShieldTop",
                             "SpatialGain", "SpatialDQ", "ChromaDQ", "ColorDQCamRGB", "BadPixels", "LinLUTs"})
        EXPECT_NE(std::find(required.begin(), required.end(), name), required.end()) << name;

    for (const std::string& name : required) {
        for (const CalibrationDefect defect :
             {CalibrationDefect::Missing, CalibrationDefect::Zero, CalibrationDefect::Malformed}) {
            SCOPED_TRACE(name + " defect " + std::to_string(int(defect)));
            SyntheticOptions options = Small(SyntheticShot::DaylightIso100);
            options.defectEntry = name;
            options.defect = defect;
            options.previews = false;
            const std::vector<CalibrationEntry> table = SyntheticCalibration(options);
            const std::vector<uint8_t> bytes = BuildCalibration(table);
            std::vector<uint8_t> buffer = bytes;
            const FCamdata camdata(buffer.data(), buffer.size());
            const auto it = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.name == name; });
            const CambEntry* entry = camdata.Impl().FindEntry(name.c_str());
            if (defect == CalibrationDefect::Missing) {
                EXPECT_EQ(it, table.end());
                EXPECT_EQ(entry, nullptr);
                continue;
            }
            ASSERT_NE(it, table.end());
            ASSERT_NE(entry, nullptr);
            const CalibrationEntry good = [&] {
                for (const CalibrationEntry& e : SyntheticCalibration(Small(SyntheticShot::DaylightIso100)))
                    if (e.name == name)
                        return e;
                return CalibrationEntry{};
            }();
            if (defect == CalibrationDefect::Zero) {
                EXPECT_TRUE(std::all_of(it->values.begin(), it->values.end(), [](double v) { return v == 0; }));
                EXPECT_TRUE(it->pairs.empty());
                ExpectEntryReadsBack(&camdata, *it);
            } else {
                EXPECT_TRUE(it->dims != good.dims || it->values != good.values || it->pairs != good.pairs);
            }
        }
    }
    // The whole file is made with a defect too.
    SyntheticOptions options = Small(SyntheticShot::DaylightIso100);
    options.defectEntry = "CamToXYZ";
    options.defect = CalibrationDefect::Missing;
    const SyntheticRaw shot = MakeSyntheticRaw(options);
    LoadedCamdata loaded = LoadCamdata(Write(shot.file, "defect.kvr"));
    ASSERT_TRUE(loaded.camdata);
    EXPECT_EQ(loaded.camdata->GetMatrix("CamToXYZ"), nullptr);
    EXPECT_NE(loaded.camdata->GetMatrix("CamToXYZ_Flash"), nullptr);
}

// ---- A plain linear development reproduces the chart

struct Developed {
    ColorTriple lab;
    ColorTriple meanCam; // ISO 100 counts after the spatial gain
    double greenDeviation = 0;
};

// The frames come from the file through the reader and the calibration from
// the file's camera data, so the test proves the file self-consistent.
class LinearDevelopment {
public:
    LinearDevelopment(const FString& url, const SyntheticTruth& truth) : m_Truth(truth), m_Reader(url)
    {
        W = truth.storedColumns;
        H = truth.storedRows;
        m_Raw = Read(0);
        m_Dark = Read(1);
        uint32_t size = 0;
        int32_t kind = 0;
        m_Reader.GetCamfileInfo(0, size, kind);
        m_Camfile.resize(size);
        m_Reader.ReadCamfile(0, m_Camfile.data(), size, nullptr, nullptr);
        m_pCamdata = std::make_unique<FCamdata>(m_Camfile.data(), m_Camfile.size());
        CamdataGetMatrix3x3(m_pCamdata.get(), "CamToXYZ", m_CamToXyz.data());
        m_pGain = CamdataGetRGBTable(m_pCamdata.get(), "SpatialGain");
        const FIntRect keep = CamdataGetRect(m_pCamdata.get(), "KeepImageArea");
        const FIntRect active = CamdataGetRect(m_pCamdata.get(), "ActiveImageArea");
        m_Active = FIntRect(active.left - keep.left, active.top - keep.top, active.right - keep.left,
                            active.bottom - keep.top);
    }

    // (raw - dark) x spatial gain x gain ratio at an output pixel.
    ColorTriple Camera(int32_t ox, int32_t oy) const
    {
        const int32_t x = ox + m_Active.left, y = oy + m_Active.top;
        const ColorTriple gain = m_Truth.SpatialGainAt(x, y);
        ColorTriple v{};
        for (size_t k = 0; k < 3; ++k) {
            const size_t at = (size_t(y) * W + size_t(x)) * 3 + k;
            v[k] = (double(m_Raw[at]) - double(m_Dark[at])) * gain[k] * m_Truth.gainRatio;
        }
        return v;
    }

    ColorTriple ToXyz(const ColorTriple& cam) const
    {
        ColorTriple balanced{};
        for (size_t k = 0; k < 3; ++k)
            balanced[k] = cam[k] * m_Truth.nativeNeutral[k] / m_Truth.sceneNeutral[k] / m_Truth.whiteCounts;
        return Multiply(m_CamToXyz, balanced);
    }

    Developed Patch(const FIntRect& r) const
    {
        Developed d;
        double sum[3] = {}, sumSquares = 0;
        double n = 0;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x) {
                const ColorTriple v = Camera(x, y);
                for (size_t k = 0; k < 3; ++k)
                    sum[k] += v[k];
                sumSquares += v[1] * v[1];
                ++n;
            }
        for (size_t k = 0; k < 3; ++k)
            d.meanCam[k] = sum[k] / n;
        d.greenDeviation = std::sqrt(std::max(0.0, sumSquares / n - d.meanCam[1] * d.meanCam[1]));
        d.lab = XyzToLab(ToXyz(d.meanCam));
        return d;
    }

    const FCamdata* Camdata() const { return m_pCamdata.get(); }
    const CamdataRGBTable* GainTable() const { return m_pGain.get(); }
    uint16_t RawAt(int32_t x, int32_t y, size_t k) const { return m_Raw[(size_t(y) * W + size_t(x)) * 3 + k]; }
    uint16_t DarkAt(int32_t x, int32_t y, size_t k) const { return m_Dark[(size_t(y) * W + size_t(x)) * 3 + k]; }

private:
    std::vector<uint16_t> Read(int index)
    {
        uint32_t columns = 0, rows = 0, kind = 0;
        int32_t type = 0;
        m_Reader.GetImageInfo(index, columns, rows, type, kind);
        TestPixmap<> pixmap = MakePixmap(type, int32_t(columns), int32_t(rows));
        EXPECT_TRUE(m_Reader.GetImage(index, pixmap.get(), nullptr, nullptr));
        return Samples(pixmap);
    }

    const SyntheticTruth& m_Truth;
    FPdxbImageReader m_Reader;
    size_t W = 0, H = 0;
    std::vector<uint16_t> m_Raw, m_Dark;
    std::vector<uint8_t> m_Camfile;
    std::unique_ptr<FCamdata> m_pCamdata;
    std::unique_ptr<CamdataRGBTable> m_pGain;
    ColorMatrix9 m_CamToXyz{};
    FIntRect m_Active;
};

TEST_F(SyntheticRawTest, PlainLinearDevelopmentReproducesTheChart)
{
    std::map<SyntheticShot, double> neutral18Noise;
    for (const SyntheticShot which : kShots) {
        SCOPED_TRACE(ShotName(which));
        const SyntheticRaw shot = MakeSyntheticRaw(Small(which));
        const SyntheticTruth& t = shot.truth;
        const LinearDevelopment develop(Write(shot.file, ShotName(which) + ".kvr"), t);

        // The file's calibration is the truth's.
        ASSERT_NE(develop.GainTable(), nullptr);
        double rgbNeutral[3];
        CamdataGetVector3(develop.Camdata(), "RGBNeutral", rgbNeutral);
        for (size_t k = 0; k < 3; ++k)
            EXPECT_NEAR(rgbNeutral[k], t.sceneNeutral[k], 1e-6);

        double worst = 0;
        for (const ChartPatch& patch : t.patches) {
            const Developed d = develop.Patch(patch.rect);
            const double de = CIEDE2000(d.lab, patch.lab);
            worst = std::max(worst, de);
            EXPECT_LT(de, 3.0) << patch.name;
            if (patch.neutral) { // neutral patches develop neutral
                EXPECT_LT(std::hypot(d.lab[1], d.lab[2]), 1.5) << patch.name;
            }
            if (patch.reflectance == 0.18)
                neutral18Noise[which] = d.greenDeviation / d.meanCam[1];
        }
        RecordProperty(ShotName(which) + "_worst_dE2000", std::to_string(worst));

        // The gradient rises steadily across, the edge is a step of one column.
        double previous = -1;
        for (int32_t x = t.gradient.left; x < t.gradient.right; x += 16) {
            const double y = develop.Patch({x, t.gradient.top, x + 4, t.gradient.bottom}).lab[0];
            EXPECT_GT(y, previous) << "gradient column " << x;
            previous = y;
        }
        const int32_t mid = (t.edge.top + t.edge.bottom) / 2;
        EXPECT_LT(develop.Patch({t.edgeColumn - 1, mid - 8, t.edgeColumn, mid + 8}).lab[0], 25);
        EXPECT_GT(develop.Patch({t.edgeColumn, mid - 8, t.edgeColumn + 1, mid + 8}).lab[0], 90);

        // The highlight clips every channel of the raw frame at the saturation level.
        const int32_t hx = (t.highlight.left + t.highlight.right) / 2 + t.activeArea.left;
        const int32_t hy = (t.highlight.top + t.highlight.bottom) / 2 + t.activeArea.top;
        for (size_t k = 0; k < 3; ++k)
            EXPECT_EQ(develop.RawAt(hx, hy, k), t.saturation);

        // The shield rows see no light: raw and dark agree there on average.
        double difference = 0;
        for (int32_t x = 0; x < int32_t(t.storedColumns); ++x)
            difference += double(develop.RawAt(x, 2, 1)) - double(develop.DarkAt(x, 2, 1));
        EXPECT_LT(std::abs(difference / t.storedColumns), 1.0);
    }
    // Noise grows with the ISO: at ISO 800 the 18 % patch is far noisier.
    EXPECT_GT(neutral18Noise[SyntheticShot::DaylightIso800Auto], 2.0 * neutral18Noise[SyntheticShot::DaylightIso100]);
    EXPECT_GT(neutral18Noise[SyntheticShot::DaylightIso100], 0.005);
}

TEST(SyntheticCamera, SceneAveragesToGreyUnderABlackBodyOrDaylight)
{
    // Planck's law at 2856 K is the standard tungsten illuminant A.
    const ColorTriple a = BlackBodyXyz(2856.0);
    EXPECT_NEAR(a[0] / (a[0] + a[1] + a[2]), 0.44757, 5e-4);
    EXPECT_NEAR(a[1] / (a[0] + a[1] + a[2]), 0.40745, 5e-4);
    // The tungsten shot is lit by a 3200 K lamp.
    const SyntheticTruth tungsten = MakeSyntheticTruth(Small(SyntheticShot::TungstenIso100));
    const ColorTriple lamp = Multiply(Inverse(tungsten.camToXYZ), BlackBodyXyz(3200.0));
    for (size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(tungsten.sceneNeutral[k], lamp[k] / lamp[1], 1e-12);

    for (const SyntheticSize size : {SyntheticSize::Small, SyntheticSize::Medium}) {
        SyntheticOptions options;
        options.size = size;
        const SyntheticTruth t = MakeSyntheticTruth(options);
        // Each colour and its counterpart: the same area, together a grey.
        ASSERT_EQ(t.counterparts.size(), 12u);
        const auto area = [](const FIntRect& r) { return double(r.right - r.left) * double(r.bottom - r.top); };
        for (size_t i = 0; i < 12; ++i) {
            const ChartPatch& colour = t.patches[6 + i];
            const ChartPatch& counterpart = t.counterparts[i];
            EXPECT_NEAR(area(counterpart.rect) / area(colour.rect), 1.0, 0.01) << colour.name;
            for (size_t k = 0; k < 3; ++k) {
                EXPECT_GE(counterpart.linearSrgb[k], 0.0) << colour.name;
                EXPECT_NEAR(colour.linearSrgb[k] + counterpart.linearSrgb[k],
                            colour.linearSrgb[0] + counterpart.linearSrgb[0], 1e-12)
                    << colour.name;
            }
        }
        // The whole picture (the highlight counted as white) averages to grey.
        ColorTriple sum{};
        for (int32_t y = 0; y < int32_t(t.outputRows); ++y)
            for (int32_t x = 0; x < int32_t(t.outputColumns); ++x) {
                const ColorTriple c = t.SceneAt(x, y);
                for (size_t k = 0; k < 3; ++k)
                    sum[k] += std::min(c[k], 1.0);
            }
        EXPECT_NEAR(sum[0] / sum[1], 1.0, 0.01) << SizeName(size);
        EXPECT_NEAR(sum[2] / sum[1], 1.0, 0.01) << SizeName(size);
    }
}

TEST(SyntheticCamera, VignettingIsUndoneBySpatialGainAndHotPixelsAreWhereListed)
{
    SyntheticOptions options = Small(SyntheticShot::DaylightIso100);
    options.noise = false;
    const SyntheticRaw shot = MakeSyntheticRaw(options);
    const SyntheticTruth& t = shot.truth;
    const WorkingImage image = MakeSyntheticWorkingImage(shot);
    // Noise-free background near a corner and in the centre: once the gain
    // is applied, each is what the camera model makes of its scene colour.
    const auto corrected = [&](int32_t x, int32_t y) {
        const FPixelClass48SRGB p = image.At(x, y);
        return double(p.b) * t.SpatialGainAt(x, y)[2];
    };
    const ColorMatrix9 xyzToCam = Inverse(t.camToXYZ);
    const auto modelled = [&](int32_t x, int32_t y) {
        const ColorTriple scene = t.SceneAt(x - t.activeArea.left, y - t.activeArea.top);
        const ColorTriple cam = Multiply(xyzToCam, LinearSrgbToXyz(scene));
        return t.whiteCounts * t.sceneNeutral[2] / t.nativeNeutral[2] * cam[2];
    };
    const int32_t cornerX = t.activeArea.left + 2, cornerY = t.activeArea.bottom - 3;
    const int32_t centreX = t.activeArea.left + int32_t(t.outputColumns * 0.66);
    const int32_t centreY = t.activeArea.top + int32_t(t.outputRows * 0.30);
    for (const auto& [x, y] : {std::pair{cornerX, cornerY}, std::pair{centreX, centreY}})
        ASSERT_EQ(t.SceneAt(x - t.activeArea.left, y - t.activeArea.top),
                  t.BackgroundAt(x - t.activeArea.left, y - t.activeArea.top));
    EXPECT_LT(image.At(cornerX, cornerY).b, modelled(cornerX, cornerY) - 10); // vignetted
    EXPECT_NEAR(corrected(cornerX, cornerY), modelled(cornerX, cornerY), 4.0);
    EXPECT_NEAR(corrected(centreX, centreY), modelled(centreX, centreY), 4.0);

    for (const auto& [x, y] : t.hotPixelsRawOnly)
        EXPECT_GT(image.At(x, y).g, 3000);
    for (const auto& [x, y] : t.hotPixelsBoth) // the dark frame removes them
        EXPECT_LT(std::abs(image.At(x, y).g - image.At(x + 1, y).g), 40);
}

TEST(SyntheticCamera, NoiseFollowsTheModelInTheCameraData)
{
    const SyntheticRaw shot = MakeSyntheticRaw(Small(SyntheticShot::DaylightIso100));
    const SyntheticTruth& t = shot.truth;
    const SyntheticCamdata camdata(shot);
    const CambMatrix* model = camdata.get()->FindMatrix("ColorNoiseModel", CAMB_MATRIX_FLOAT, 2);
    ASSERT_NE(model, nullptr);
    const auto* m = static_cast<const float*>(model->pData);
    const WorkingImage image = MakeSyntheticWorkingImage(shot);
    const TestPixmap<FPixelClass48RGB> raw = MakeSyntheticFrame(shot, false);
    EXPECT_EQ(raw.At(40, 30).g, shot.raw[(30 * t.storedColumns + 40) * 3 + 1]);
    for (const size_t index : {2u, 4u, 5u}) { // 18, 59 and 90 %
        const FIntRect& r = t.patches[index].rect;
        for (size_t k = 0; k < 3; ++k) {
            // Neighbour differences leave out the vignetting's slope across the patch.
            const auto value = [&](int32_t x, int32_t y) {
                const FPixelClass48SRGB p = image.At(x + t.activeArea.left, y + t.activeArea.top);
                return double(k == 0 ? p.r : k == 1 ? p.g : p.b);
            };
            double sum = 0, differences = 0, squares = 0, n = 0;
            for (int32_t y = r.top; y < r.bottom; ++y)
                for (int32_t x = r.left; x + 1 < r.right; ++x) {
                    const double d = value(x + 1, y) - value(x, y);
                    sum += value(x, y), differences += d, squares += d * d, ++n;
                }
            const double mean = sum / n, variance = (squares / n - (differences / n) * (differences / n)) / 2;
            // The raw and the dark frame each carry the read noise.
            const double expected = 2 * m[k] + m[3 + k] * mean;
            EXPECT_NEAR(variance, expected, 0.1 * expected) << t.patches[index].name << " channel " << k;
        }
    }
}

} // namespace

