#include "fileio/container/CambData.h"

#include "foundation/FException.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "support/CamdataWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// One entry for every getter, plus entries of the wrong shape for each.
// 64-bit elements only when little-endian: big-endian ones cannot be converted.
CamdataWriter Sample(bool withWide = true)
{
    CamdataWriter w;
    w.AddText("Model", "TALVO KT9");
    w.AddBytes("Badness", {4}, {1, 2, 3, 250});
    w.AddFloats("Curve", {3}, {0.5f, 1.5f, -2.25f});
    w.AddUInt32s("BadPixels", {2}, {0x00100200u, 0xFFFFFFFFu});
    w.AddFloats("SpatialDQ", {1}, {4.0f});
    w.AddInt16s("Offset16", {1}, {-300});
    w.AddInt32s("Shift", {1}, {-70000});
    w.AddUInt16s("ChromaSumShift", {1}, {65535});
    w.AddUInt32s("Step", {1}, {4000000000u});
    w.AddFloats("Neutral", {3}, {0.55f, 1.0f, 0.75f});
    w.AddInt16s("RawSaturationLevel", {3}, {4000, -1, 32767});
    w.AddInt32s("Triple32", {3}, {-5, 6, 2147483647});
    w.AddInt32s("KeepImageArea", {4}, {10, 20, 109, 219});
    w.AddFloats("CamToXYZ", {3, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    std::vector<float> m27(27);
    for (size_t i = 0; i < m27.size(); ++i)
        m27[i] = float(i) / 4;
    w.AddFloats("PostPolyMatrix", {3, 9}, m27);
    std::vector<float> m12(12);
    for (size_t i = 0; i < m12.size(); ++i)
        m12[i] = float(i);
    w.AddFloats("Drift", {2, 3, 2}, m12);
    w.AddInt16s("LinLUTs", {3, 4}, {0, 1, 2, 3, 10, 11, 12, 13, -20, -21, -22, -23});
    std::vector<float> table(2 * 5 * 3);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = float(i) + 0.5f;
    w.AddFloats("SpatialGain", {2, 5, 3}, table);
    w.AddProperties("WhiteBalanceIlluminants", {{"Daylight", "D55"}, {"Tungsten", "A"}, {"Daylight", "again"}});
    w.AddBlob("Blob", {1, 2, 3});
    if (withWide)
        w.AddInt64s("Wide", {2}, {int64_t(1) << 40, -1});
    return w;
}

enum class Form { LittleRun, BigRun, LittleCamfile, BigCamfileThreeSections };

bool IsBig(Form form) { return form == Form::BigRun || form == Form::BigCamfileThreeSections; }

std::vector<uint8_t> Build(const CamdataWriter& w, Form form)
{
    switch (form) {
    case Form::LittleRun: return w.BuildRun(false);
    case Form::BigRun: return w.BuildRun(true);
    case Form::LittleCamfile: return w.BuildCamfile(false, 1);
    case Form::BigCamfileThreeSections: return w.BuildCamfile(true, 3);
    }
    return {};
}

std::string FailureText(std::vector<uint8_t> bytes)
{
    try {
        FCamdata camdata(bytes.empty() ? nullptr : bytes.data(), bytes.size());
    } catch (const FException& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}

std::vector<std::pair<std::string, std::string>> Pairs(const FPropTree& node)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (FPropPair* pair = node.GetFirstPair(); pair; pair = pair->GetNext())
        pairs.emplace_back(pair->m_sKey.GetAscii(), pair->m_sValue.GetAscii());
    return pairs;
}

} // namespace

class CambDataFormTest : public ::testing::TestWithParam<Form> {};

TEST_P(CambDataFormTest, EveryGetterReadsItsEntry)
{
    std::vector<uint8_t> bytes = Build(Sample(!IsBig(GetParam())), GetParam());
    const FCamdata camdata(bytes.data(), bytes.size());
    const FCamdata* cd = &camdata;

    uint32_t length = 0;
    const uint8_t* text = CamdataGetText(cd, "Model", &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text), length), "TALVO KT9");

    uint32_t count = 0;
    const uint8_t* badness = CamdataGetByteArray(cd, "Badness", &count);
    ASSERT_NE(badness, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(badness, badness + count), (std::vector<uint8_t>{1, 2, 3, 250}));
    const float* curve = CamdataGetFloatArray(cd, "Curve", &count);
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(std::vector<float>(curve, curve + count), (std::vector<float>{0.5f, 1.5f, -2.25f}));
    const uint32_t* bad = CamdataGetUInt32Array(cd, "BadPixels", &count);
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(std::vector<uint32_t>(bad, bad + count), (std::vector<uint32_t>{0x00100200u, 0xFFFFFFFFu}));

    EXPECT_EQ(CamdataGetFloat(cd, "SpatialDQ"), 4.0f);
    EXPECT_EQ(CamdataGetFloatDefault(cd, "SpatialDQ", 9.0f), 4.0f);
    EXPECT_EQ(CamdataGetInt16Default(cd, "Offset16", 5), -300);
    EXPECT_EQ(CamdataGetInt32(cd, "Shift"), -70000);
    bool found = false;
    EXPECT_EQ(CamdataGetUInt16(cd, "ChromaSumShift", &found), 65535u);
    EXPECT_TRUE(found);
    EXPECT_EQ(CamdataGetUInt32(cd, "Step"), 4000000000u);

    double v3[3];
    CamdataGetVector3(cd, "Neutral", v3);
    EXPECT_EQ(v3[0], double(0.55f));
    EXPECT_EQ(v3[2], double(0.75f));
    const double defaults[3] = {7, 8, 9};
    CamdataGetVector3Default(cd, "Neutral", v3, defaults);
    EXPECT_EQ(v3[1], 1.0);
    int32_t i3[3];
    CamdataGetInt16Triple(cd, "RawSaturationLevel", i3);
    EXPECT_EQ(std::vector<int32_t>(i3, i3 + 3), (std::vector<int32_t>{4000, -1, 32767}));
    CamdataGetInt32Triple(cd, "Triple32", i3);
    EXPECT_EQ(std::vector<int32_t>(i3, i3 + 3), (std::vector<int32_t>{-5, 6, 2147483647}));

    // Stored inclusive, returned with right and bottom exclusive.
    const FIntRect rect = CamdataGetRect(cd, "KeepImageArea");
    EXPECT_EQ(std::vector<int>({rect.left, rect.top, rect.right, rect.bottom}), (std::vector<int>{10, 20, 110, 220}));

    double m9[9];
    CamdataGetMatrix3x3(cd, "CamToXYZ", m9);
    EXPECT_EQ(std::vector<double>(m9, m9 + 9), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    float m27[27];
    CamdataGetMatrix3x9(cd, "PostPolyMatrix", m27);
    EXPECT_EQ(m27[26], 6.5f);
    // out[6a + 3k + c] = element[a][c][k], element [a][c][k] stored at 6a + 2c + k.
    double m12[12];
    CamdataGetMatrix2x3x2(cd, "Drift", m12);
    EXPECT_EQ(std::vector<double>(m12, m12 + 12), (std::vector<double>{0, 2, 4, 1, 3, 5, 6, 8, 10, 7, 9, 11}));

    const auto lut = CamdataGetLUT16RGB(cd, "LinLUTs");
    ASSERT_NE(lut, nullptr);
    EXPECT_EQ(lut->m_iSize, 4u);
    EXPECT_EQ(lut->m_iMask, 3u);
    EXPECT_FALSE(lut->m_bOwnsTables);
    EXPECT_EQ(lut->Red(3), 3);
    EXPECT_EQ(lut->Green(0), 10);
    EXPECT_EQ(lut->Blue(5), -21);  // indices wrap at the mask

    const auto rgb = CamdataGetRGBTable(cd, "SpatialGain");
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->m_iColumns, 5u);
    EXPECT_EQ(rgb->m_iRows, 2u);
    EXPECT_EQ(rgb->m_pTable[29], 29.5f);

    FPropTree node(nullptr, "list");
    EXPECT_TRUE(camdata.GetPropertyList("WhiteBalanceIlluminants", &node));
    EXPECT_EQ(Pairs(node), (std::vector<std::pair<std::string, std::string>>{
                               {"Daylight", "D55"}, {"Tungsten", "A"}, {"Daylight", "again"}}));

    // Names are found whatever their letter case.
    EXPECT_EQ(CamdataGetFloat(cd, "spatialdq"), 4.0f);
    EXPECT_NE(camdata.Impl().FindEntry("BLOB"), nullptr);

    // 64-bit elements have no getter; only the type-4 look-ups see them.
    if (IsBig(GetParam()))
        return;
    ASSERT_NE(camdata.GetMatrix("Wide"), nullptr);
    const CambMatrix* wide = camdata.FindMatrix("Wide", CAMB_MATRIX_64BIT);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(static_cast<const int64_t*>(wide->pData)[0], int64_t(1) << 40);
    EXPECT_EQ(CamdataGetUInt32Array(cd, "Wide", &count), nullptr);
}

TEST_P(CambDataFormTest, MissingOrMismatchedEntriesGiveTheDefaults)
{
    std::vector<uint8_t> bytes = Build(Sample(!IsBig(GetParam())), GetParam());
    const FCamdata camdata(bytes.data(), bytes.size());
    // Each name is either absent or of another element type or shape.
    for (const FCamdata* cd : {&camdata, static_cast<const FCamdata*>(nullptr)}) {
        uint32_t length = 99, count = 99;
        EXPECT_EQ(CamdataGetText(cd, "Curve", &length), nullptr);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(CamdataGetByteArray(cd, "Curve", &count), nullptr);
        EXPECT_EQ(CamdataGetFloatArray(cd, "CamToXYZ", &count), nullptr);
        EXPECT_EQ(CamdataGetUInt32Array(cd, "Shift", &count), nullptr);
        EXPECT_EQ(count, 99u);
        EXPECT_EQ(CamdataGetFloat(cd, "Neutral"), 0.0f);
        EXPECT_EQ(CamdataGetFloatDefault(cd, "Neutral", 2.5f), 2.5f);  // a vector of 3 is not a value
        EXPECT_EQ(CamdataGetInt16Default(cd, "Shift", -9), -9);
        EXPECT_EQ(CamdataGetInt32(cd, "Offset16"), 0);
        bool found = true;
        EXPECT_EQ(CamdataGetUInt16(cd, "Nothing", &found), 0u);
        EXPECT_FALSE(found);
        EXPECT_EQ(CamdataGetUInt16(cd, "Nothing", nullptr), 0u);
        EXPECT_EQ(CamdataGetUInt32(cd, "BadPixels"), 0u);
        double v3[3] = {1, 1, 1};
        CamdataGetVector3(cd, "CamToXYZ", v3);
        EXPECT_EQ(std::vector<double>(v3, v3 + 3), (std::vector<double>{0, 0, 0}));
        const double defaults[3] = {7, 8, 9};
        CamdataGetVector3Default(cd, "SpatialDQ", v3, defaults);
        EXPECT_EQ(std::vector<double>(v3, v3 + 3), (std::vector<double>{7, 8, 9}));
        int32_t i3[3] = {1, 1, 1};
        CamdataGetInt16Triple(cd, "Triple32", i3);
        EXPECT_EQ(i3[0] | i3[1] | i3[2], 0);
        CamdataGetInt32Triple(cd, "RawSaturationLevel", i3);
        EXPECT_EQ(i3[0] | i3[1] | i3[2], 0);
        const FIntRect rect = CamdataGetRect(cd, "Triple32");
        EXPECT_EQ(rect.left | rect.top | rect.right | rect.bottom, 0);
        double m9[9] = {1};
        CamdataGetMatrix3x3(cd, "PostPolyMatrix", m9);
        EXPECT_EQ(m9[0], 0.0);
        float m27[27] = {1};
        CamdataGetMatrix3x9(cd, "CamToXYZ", m27);
        EXPECT_EQ(m27[0], 0.0f);
        double m12[12] = {1};
        CamdataGetMatrix2x3x2(cd, "SpatialGain", m12);
        EXPECT_EQ(m12[0], 0.0);
        EXPECT_EQ(CamdataGetLUT16RGB(cd, "RawSaturationLevel"), nullptr);
        EXPECT_EQ(CamdataGetRGBTable(cd, "Drift"), nullptr);
        if (cd) {
            FPropTree node(nullptr, "list");
            EXPECT_FALSE(cd->GetPropertyList("Model", &node));
            EXPECT_EQ(node.GetFirstPair(), nullptr);
            EXPECT_EQ(cd->GetMatrix("Model"), nullptr);
            EXPECT_EQ(cd->Impl().FindEntry(nullptr), nullptr);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ByteOrdersAndForms, CambDataFormTest,
                         ::testing::Values(Form::LittleRun, Form::BigRun, Form::LittleCamfile,
                                           Form::BigCamfileThreeSections));

TEST(CambDataTest, BadBuffersFailWithTheirTexts)
{
    const auto camfile = [](const std::function<void(std::vector<uint8_t>&)>& patch) {
        CamdataWriter w;
        w.AddFloats("A", {1}, {1});
        std::vector<uint8_t> bytes = w.BuildCamfile(false, 1);
        patch(bytes);
        return bytes;
    };
    const auto set32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    CamdataWriter wide;
    wide.AddInt64s("Wide", {1}, {5});
    CamdataWriter noDims;
    noDims.AddMatrix("NoDims", kCambFloat, {}, {});

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string text;
    };
    const Case cases[] = {
        {"empty", {}, "FCamdata: initialized with NULL pointer or empty buffer."},
        {"three bytes", {'C', 'M', 'b'}, "FCamdata: insufficient data for CAMb data.\n"},
        {"unknown magic", {'J', 'U', 'N', 'K', 0, 0, 0, 0}, "FCamdata: cam data is not CAMb file or CAMb data blocks."},
        {"short camfile header", {'F', 'C', 'M', 'b', 0, 0, 2, 0}, "FCamdata: Insufficient data for header.\n"},
        {"camfile version", camfile([](auto& b) { b[6] = 3; }), "FCamdata: Incompatible version.\n"},
        {"section beyond the buffer", camfile([&](auto& b) { set32(b, 8, uint32_t(b.size() + 1)); }),
         "FCamdata: Insufficient data for section header.\n"},
        {"section header cut", camfile([](auto& b) { b.resize(40); }),
         "FCamdata: Insufficient data for section header.\n"},
        {"section magic", camfile([](auto& b) { b[28] = 'X'; }), "FCamdata: Expected a data section.\n"},
        {"section version", camfile([](auto& b) { b[34] = 2; }), "FCamdata: Incompatible data section version.\n"},
        {"section too long", camfile([&](auto& b) { set32(b, 36, uint32_t(b.size())); }),
         "FCamdata: Insufficient data for data section.\n"},
        {"section of length 0", camfile([&](auto& b) { set32(b, 36, 0); }),
         "FCamdata: Invalid data section length.\n"},
        {"64-bit big-endian", wide.BuildRun(true), "CambData.cpp Line "},
        {"no dimensions", noDims.BuildRun(false), "\nASSERTION FAILED\n"},
    };
    for (const Case& c : cases) {
        const std::string text = FailureText(c.bytes);
        if (c.text.back() == ' ' || c.text.front() == '\n')
            EXPECT_NE(text.find(c.text), std::string::npos) << c.what << ": " << text;
        else
            EXPECT_EQ(text, c.text) << c.what;
    }
    EXPECT_NE(FailureText(wide.BuildRun(true)).find("Don't know how to endian swap 64 bit types."),
              std::string::npos);
    EXPECT_NE(FailureText(noDims.BuildRun(false)).find("iDimCount"), std::string::npos);
}

// A container decoded from a coded camfile arrives zero-padded to the decoded
// size. The zeros end it; bytes that are not all zero after the last section
// are still a cut or corrupt section.
TEST(CambDataTest, TrailingZerosEndACamfileButOtherLeftoversFail)
{
    CamdataWriter w;
    w.AddFloats("Gain", {1}, {1.5f});
    w.AddText("Model", "KT9");
    struct Case {
        const char* what;
        bool bigEndian;
        size_t zeros;
        std::vector<uint8_t> tail; // after the zeros
        std::string text;          // empty: parses
    };
    const Case cases[] = {
        {"one zero", false, 1, {}, ""},
        {"less than a section header", false, 19, {}, ""},
        {"a section header of zeros", false, 20, {}, ""},
        {"many zeros, big-endian", true, 333, {}, ""},
        {"a stray byte after short zeros", false, 10, {1}, "FCamdata: Insufficient data for section header.\n"},
        {"a stray byte after long zeros", false, 40, {1}, "FCamdata: Expected a data section.\n"},
        {"a section cut short", false, 0, {'C', 'M', 'b', 'H', 0, 0, 1, 0, 64, 0, 0, 0},
         "FCamdata: Insufficient data for section header.\n"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = w.BuildCamfile(c.bigEndian, 2);
        bytes.resize(bytes.size() + c.zeros, 0);
        bytes.insert(bytes.end(), c.tail.begin(), c.tail.end());
        if (!c.text.empty()) {
            EXPECT_EQ(FailureText(bytes), c.text) << c.what;
            continue;
        }
        const FCamdata camdata(bytes.data(), bytes.size());
        EXPECT_EQ(CamdataGetFloat(&camdata, "Gain"), 1.5f) << c.what;
        uint32_t length = 0;
        EXPECT_NE(CamdataGetText(&camdata, "Model", &length), nullptr) << c.what;
        EXPECT_EQ(length, 3u) << c.what;
    }
}

TEST(CambDataTest, EmptyCamfileIsAnEmptyContainer)
{
    std::vector<uint8_t> bytes = CamdataWriter().BuildCamfile(false, 0);
    const FCamdata camdata(bytes.data(), bytes.size());
    EXPECT_TRUE(camdata.Impl().m_Entries.empty());
    EXPECT_EQ(CamdataGetFloatDefault(&camdata, "Anything", 3.0f), 3.0f);
    bytes = CamdataWriter().BuildCamfile(true, 2);
    EXPECT_NO_THROW(FCamdata(bytes.data(), bytes.size()));
}

TEST(CambDataTest, ABadBlockVersionEndsItsRun)
{
    CamdataWriter w;
    w.AddFloats("Before", {1}, {1});
    w.AddProperties("List", {{"a", "b"}}, 2);
    w.AddFloats("After", {1}, {2});
    w.AddMatrix("OldMatrix", kCambFloat, {1}, {0, 0, 128, 63}, 1);
    std::vector<uint8_t> bytes = w.BuildRun();
    const FCamdata camdata(bytes.data(), bytes.size());
    EXPECT_EQ(CamdataGetFloat(&camdata, "Before"), 1.0f);
    EXPECT_NE(camdata.Impl().FindEntry("List"), nullptr);
    EXPECT_EQ(camdata.Impl().FindEntry("After"), nullptr);

    // An unknown element type leaves the entry without a matrix; parsing goes on.
    CamdataWriter u;
    u.AddMatrix("Odd", 9, {1}, {1, 2, 3, 4});
    u.AddText("Next", "x");
    std::vector<uint8_t> ubytes = u.BuildRun();
    const FCamdata unknown(ubytes.data(), ubytes.size());
    EXPECT_EQ(unknown.GetMatrix("Odd"), nullptr);
    uint32_t length;
    EXPECT_NE(unknown.GetText("Next", length), nullptr);
}

TEST(CambDataTest, PayloadsOutsideTheirBlockLeaveTheEntryWithoutData)
{
    // Patch one field of the single block at a time (positions in a
    // little-endian run): the entry stays, its data is reported missing.
    struct Case {
        const char* what;
        std::function<void(CamdataWriter&)> add;
        size_t at;  // field position within the block
        uint32_t value;
        std::function<bool(const FCamdata&)> missing;
    };
    const auto noFloat = [](const FCamdata& c) { return CamdataGetFloatArray(&c, "E", nullptr) == nullptr; };
    const auto noList = [](const FCamdata& c) {
        FPropTree node(nullptr, "n");
        return !c.GetPropertyList("E", &node);
    };
    const auto noText = [](const FCamdata& c) {
        uint32_t length;
        return c.GetText("E", length) == nullptr;
    };
    const auto matrix = [](CamdataWriter& w) { w.AddFloats("E", {2}, {1, 2}); };
    const auto list = [](CamdataWriter& w) { w.AddProperties("E", {{"k", "v"}}); };
    const auto text = [](CamdataWriter& w) { w.AddText("E", "text"); };
    // Header: name at 20 ("E\0" padded to 24); matrix payload at 24: type, count,
    // elements, then one record at 36; property payload at 24: count, area,
    // pairs at 32; text payload at 24: length.
    const Case cases[] = {
        {"matrix payload offset", matrix, 16, 0xFFFFFFF0u, noFloat},
        {"matrix dimension count", matrix, 28, 0x10000000u, noFloat},
        {"matrix element offset", matrix, 32, 0xFFFFFFFCu, noFloat},
        {"matrix dimension size", matrix, 36, 0x7FFFFFFFu, noFloat},
        {"property count", list, 24, 0x20000000u, noList},
        {"property string area", list, 28, 0xFFFFFF00u, noList},
        {"property name offset", list, 32, 1000u, noList},
        {"text length", text, 24, 0xFFFFFFFFu, noText},
    };
    for (const Case& c : cases) {
        for (const bool bigEndian : {false, true}) {
            CamdataWriter w;
            c.add(w);
            w.AddFloats("Tail", {1}, {7});
            std::vector<uint8_t> bytes = w.BuildRun(bigEndian);
            for (int i = 0; i < 4; ++i)
                bytes[c.at + size_t(i)] = uint8_t((bigEndian ? __builtin_bswap32(c.value) : c.value) >> (8 * i));
            const FCamdata camdata(bytes.data(), bytes.size());
            EXPECT_TRUE(c.missing(camdata)) << c.what << (bigEndian ? " (big-endian)" : "");
            EXPECT_EQ(CamdataGetFloat(&camdata, "Tail"), 7.0f) << c.what;
        }
    }

    // A name that runs to the end of its block without a terminator never matches.
    CamdataWriter w;
    w.AddFloats("Name", {1}, {1});
    std::vector<uint8_t> bytes = w.BuildRun();
    bytes[12] = uint8_t(bytes.size() - 1);  // name offset at the block's last byte, which is not zero
    bytes.back() = 'x';
    const FCamdata camdata(bytes.data(), bytes.size());
    EXPECT_EQ(camdata.Impl().m_Entries.size(), 1u);
    EXPECT_EQ(camdata.Impl().m_Entries[0].m_pName, nullptr);
}

TEST(CambDataTest, MisalignedElementsAreReadSafely)
{
    CamdataWriter w;
    w.AddFloats("F", {2}, {1.5f, 2.5f});
    w.AddInt64s("W", {1}, {-2});
    w.AddInt16s("LUT", {3, 2}, {1, 2, 3, 4, 5, 6});
    w.AddFloats("Empty", {0}, {});
    std::vector<uint8_t> little = w.BuildRun(false);
    std::vector<uint8_t> shifted(little.size() + 1);
    std::copy(little.begin(), little.end(), shifted.begin() + 1);  // every element off its alignment
    const FCamdata camdata(shifted.data() + 1, little.size());
    uint32_t count = 0;
    const float* f = CamdataGetFloatArray(&camdata, "F", &count);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f[1], 2.5f);
    EXPECT_EQ(static_cast<const int64_t*>(camdata.FindMatrix("W", CAMB_MATRIX_64BIT)->pData)[0], -2);
    EXPECT_EQ(CamdataGetLUT16RGB(&camdata, "LUT")->Blue(1), 6);
    uint32_t none = 7;
    EXPECT_NE(CamdataGetFloatArray(&camdata, "Empty", &none), nullptr);
    EXPECT_EQ(none, 0u);
}

TEST(CambDataTest, CorruptedBuffersNeverReachOutside)
{
    const std::vector<std::vector<uint8_t>> seeds = {Sample().BuildRun(false), Sample(false).BuildRun(true),
                                                     Sample().BuildCamfile(false, 2),
                                                     Sample(false).BuildCamfile(true, 3)};
    const char* names[] = {"Model", "Badness", "Curve", "BadPixels", "SpatialDQ", "KeepImageArea", "CamToXYZ",
                           "Drift", "LinLUTs", "SpatialGain", "WhiteBalanceIlluminants", "Wide"};
    std::mt19937 random(5);
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<uint8_t> bytes = seeds[size_t(trial) % seeds.size()];
        const int flips = 1 + int(random() % 8);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = uint8_t(random() % 3 == 0 ? 0xFF : random());
        if (trial % 7 == 0)
            bytes.resize(random() % bytes.size() + 1);
        try {
            const FCamdata camdata(bytes.data(), bytes.size());
            for (const char* name : names) {
                uint32_t n = 0;
                CamdataGetText(&camdata, name, &n);
                CamdataGetFloatArray(&camdata, name, &n);
                double m[12];
                CamdataGetMatrix2x3x2(&camdata, name, m);
                CamdataGetMatrix3x3(&camdata, name, m);
                if (const auto lut = CamdataGetLUT16RGB(&camdata, name))
                    (void)lut->Blue(int32_t(random()));
                if (const auto table = CamdataGetRGBTable(&camdata, name))
                    (void)table->m_pTable[size_t(table->m_iRows) * table->m_iColumns * 3 - 1];
                FPropTree node(nullptr, "n");
                camdata.GetPropertyList(name, &node);
                if (const CambMatrix* matrix = camdata.GetMatrix(name)) {
                    const uint64_t count = matrix->ElementCount();
                    if (count > 0 && matrix->iType == CAMB_MATRIX_UINT8)
                        (void)static_cast<const uint8_t*>(matrix->pData)[count - 1];
                }
            }
        } catch (const FException&) {
        }
    }
}
