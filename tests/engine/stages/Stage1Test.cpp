#include "engine/stages/Stage1.h"

#include "engine/core/FIPEngine2.h"
#include "support/EngineDriver.h"
#include "support/SyntheticCamera.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::CamdataWriter;
using testsupport::ParsedCamdata;
using testsupport::RunEngineRequest;
using testsupport::TestPixmap;
using testsupport::ThrownMessage;

namespace {

using RawImage = TestPixmap<FPixelClass48RGB>;
using OutImage = TestPixmap<FPixelClass48SRGB>;

constexpr int32_t kW = 4;
constexpr int32_t kH = 7;

// Column levels of the dark frame per channel; the sampled rows 0, 2, 4, 6
// hold the level +40, +0, -20, +0 (the extremes are trimmed, leaving twice
// the level), the rows between them +500, which only a wrong row walk sees.
const int32_t kDarkLevels[3][kW] = {{64, 70, 64, 64}, {1064, 1070, 1064, 1064}, {64, 64, 70, 64}};
const int32_t kRowDeviation[kH] = {40, 500, 0, 500, -20, 500, 0};
// Worked by hand for shift 1 (forward then backward smoothing of the trimmed
// sums, minus the sums, over 4 - 2 rows). Green is red shifted by 1000.
const int16_t kOffsets[3][kW] = {{1, -4, 1, 0}, {1, -4, 1, 0}, {0, 1, -4, 1}};

uint16_t& Channel(FPixelClass48RGB& p, int c) { return c == 0 ? p.r : (c == 1 ? p.g : p.b); }
int16_t Channel(const FPixelClass48SRGB& p, int c) { return c == 0 ? p.r : (c == 1 ? p.g : p.b); }

RawImage MakeDark(int32_t base = 0)
{
    RawImage dark(kW, kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c)
                Channel(*dark.Get()->GetPixel(x, y), c) = uint16_t(base + kDarkLevels[c][x] + kRowDeviation[y]);
    return dark;
}

// 1000 + 100x + 10y + c, one sample that wraps the table with its offset and
// one at the top of the 16-bit range.
RawImage MakeRaw()
{
    RawImage raw(kW, kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c)
                Channel(*raw.Get()->GetPixel(x, y), c) = uint16_t(1000 + 100 * x + 10 * y + c);
    raw.Get()->GetPixel(0, 0)->r = 4095;
    *raw.Get()->GetPixel(3, 6) = {65535, 65535, 65535};
    return raw;
}

// 3 x 4096 entries, nonlinear so that offsets matter: i^2 / 1024 + 10c.
std::vector<int16_t> LinearisationTable()
{
    std::vector<int16_t> table(3 * 4096);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 4096; ++i)
            table[size_t(c * 4096 + i)] = int16_t(i * i / 1024 + 10 * c);
    return table;
}

int32_t TableValue(int c, int32_t index)
{
    const int32_t i = index & 4095;
    return i * i / 1024 + 10 * c;
}

struct Stage1Run {
    RawImage raw = MakeRaw();
    RawImage dark = MakeDark();
    OutImage out = OutImage(kW, kH);
    FIPERequestStage1 request;

    int32_t Run(const ParsedCamdata& camdata)
    {
        request.m_pRawImage = raw.get();
        request.m_pDarkImage = dark.get();
        request.m_pOutImage = out.get();
        request.m_pCambData = camdata.get();
        return RunEngineRequest(request);
    }
};

CamdataWriter BaseCamdata(bool withTable, bool withOffsets)
{
    CamdataWriter writer;
    writer.AddUInt32s("RawOffsetFilterShift", {1}, {1});
    if (withTable)
        writer.AddInt16s("LinLUTs", {3, 4096}, LinearisationTable());
    if (withOffsets)
        writer.AddUInt32s("RawOffsetSourceRows", {3}, {0, 6, 2});
    return writer;
}

std::string ErrorText(const FIPERequest& request) { return testsupport::Utf8FromWide(request.m_sErrorText); }

} // namespace

TEST(Stage1Test, ColumnOffsetsTrimTheExtremesAndSmoothAlongTheRow)
{
    const std::vector<ColumnOffset> offsets = EstimateColumnOffsets(*MakeDark().get(), 0, 6, 2, 1);
    ASSERT_EQ(offsets.size(), size_t(kW));
    for (int32_t x = 0; x < kW; ++x) {
        EXPECT_EQ(offsets[size_t(x)].r, kOffsets[0][x]) << x;
        EXPECT_EQ(offsets[size_t(x)].g, kOffsets[1][x]) << x;
        EXPECT_EQ(offsets[size_t(x)].b, kOffsets[2][x]) << x;
    }
    // Dark data beyond 12 bits: the same pattern 5000 higher gives the same offsets.
    const std::vector<ColumnOffset> high = EstimateColumnOffsets(*MakeDark(5000).get(), 0, 6, 2, 1);
    ASSERT_EQ(high.size(), size_t(kW));
    for (int32_t x = 0; x < kW; ++x)
        EXPECT_EQ(high[size_t(x)].r, kOffsets[0][x]) << x;
}

TEST(Stage1Test, RowChoicesThatCannotGiveOffsetsGiveNone)
{
    const RawImage dark = MakeDark();
    struct Case {
        uint32_t first, last, step;
    };
    for (const Case& c : {Case{0, 7, 1},          // last row not inside the frame
                          Case{0, 1, 1},          // two rows: nothing left after trimming
                          Case{0, 3, 2},          // rows 0 and 2 only
                          Case{0, 6, 0},          // no step
                          Case{5, 4, 1},          // first after last
                          Case{0, 0xFFFFFFFF, 1}}) {
        EXPECT_TRUE(EstimateColumnOffsets(*dark.get(), c.first, c.last, c.step, 1).empty())
            << c.first << " " << c.last << " " << c.step;
    }
    EXPECT_EQ(EstimateColumnOffsets(*dark.get(), 0, 6, 3, 64).size(), size_t(kW)); // rows 0, 3, 6; any shift
}

TEST(Stage1Test, OutputIsTheLinearisedDifferenceWithAndWithoutTableAndOffsets)
{
    for (const bool withTable : {false, true}) {
        for (const bool withOffsets : {false, true}) {
            SCOPED_TRACE(testing::Message() << "table " << withTable << ", offsets " << withOffsets);
            Stage1Run run;
            ASSERT_EQ(run.Run(ParsedCamdata(BaseCamdata(withTable, withOffsets))), kIPStatusDone);
            EXPECT_EQ(run.request.GetProgress(), 1.0);
            for (int32_t y = 0; y < kH; ++y) {
                for (int32_t x = 0; x < kW; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        const int32_t raw = Channel(*run.raw.Get()->GetPixel(x, y), c);
                        const int32_t dark = Channel(*run.dark.Get()->GetPixel(x, y), c);
                        const int32_t o = withOffsets ? kOffsets[c][x] : 0;
                        const int32_t expected =
                            withTable ? TableValue(c, raw + o) - TableValue(c, dark + o) : raw - dark;
                        ASSERT_EQ(Channel(run.out.At(x, y), c), int16_t(expected)) << x << "," << y << "," << c;
                    }
                }
            }
            // Spot values by hand. Red of (0, 0): raw 4095, dark 104, offset +1.
            const int16_t wrapped = withTable ? (withOffsets ? 0 - 10 : 16376 - 10) : 3991;
            EXPECT_EQ(run.out.At(0, 0).r, wrapped);
            // Blue of (3, 6): raw 65535 less dark 64 does not fit 16 bits: its low 16 bits.
            if (!withTable) {
                EXPECT_EQ(run.out.At(3, 6).b, -65);
            }
        }
    }
}

TEST(Stage1Test, LevelsAreTheLinearisedSaturationAndShieldMean)
{
    struct Case {
        const char* name;
        bool withTable;
        std::vector<int32_t> shield; // stored inclusive, sensor coordinates
        std::vector<int16_t> saturation;
        FIntTriple expectedSaturation;
        FIntTriple expectedDark;
    };
    // The stored image sits at sensor (10, 20). The first shield starts one
    // column left of it (clipped) and covers columns 0-1 of rows 0-1: mean red
    // (104 + 110 + 564 + 570) / 4 = 337, through the table 337^2 / 1024 = 110;
    // green 1337 gives 1745 + 10, blue 334 gives 108 + 20.
    // The second reaches far past the right and bottom: columns 2-3 of rows
    // 5-6, mean red (564 + 564 + 64 + 64) / 4 = 314.
    const std::vector<Case> cases = {
        {"table", true, {9, 20, 11, 21}, {4000, 4010, 4020}, {15625, 15713, 15801}, {110, 1755, 128}},
        {"no table", false, {9, 20, 11, 21}, {4000, 4010, 4020}, {4000, 4010, 4020}, {337, 1337, 334}},
        {"clipped", false, {12, 25, 500, 900}, {4000, 4010, 4020}, {4000, 4010, 4020}, {314, 1314, 317}},
        {"no saturation", true, {9, 20, 11, 21}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"outside", true, {0, 0, 5, 5}, {4000, 4010, 4020}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CamdataWriter writer = BaseCamdata(c.withTable, false);
        writer.AddInt32s("KeepImageArea", {4}, {10, 20, 10 + kW - 1, 20 + kH - 1});
        writer.AddInt32s("DarkShieldTop", {4}, c.shield);
        writer.AddInt16s("RawSaturationLevel", {3}, c.saturation);
        Stage1Run run;
        ASSERT_EQ(run.Run(ParsedCamdata(writer)), kIPStatusDone);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(run.request.m_aiSaturationLevel[k], c.expectedSaturation[k]) << k;
            EXPECT_EQ(run.request.m_aiDarkLevel[k], c.expectedDark[k]) << k;
        }
    }

    // A shield mean that rounds to 0 in every channel leaves both triples 0.
    CamdataWriter writer = BaseCamdata(true, false);
    writer.AddInt32s("DarkShieldTop", {4}, {0, 0, 1, 1});
    writer.AddInt16s("RawSaturationLevel", {3}, {4000, 4000, 4000});
    Stage1Run run;
    run.dark = RawImage(kW, kH, 0, 0);
    ASSERT_EQ(run.Run(ParsedCamdata(writer)), kIPStatusDone);
    EXPECT_EQ(run.request.m_aiSaturationLevel[0], 0);
    EXPECT_EQ(run.request.m_aiDarkLevel[2], 0);
}

TEST(Stage1Test, ResumeContinuesAtTheSavedRowAndCancelOnlySetsTheStatus)
{
    CamdataWriter writer = BaseCamdata(false, false);
    writer.AddInt16s("RawSaturationLevel", {3}, {4000, 4000, 4000});
    writer.AddInt32s("DarkShieldTop", {4}, {0, 0, 0, 0});
    const ParsedCamdata camdata(writer);
    const auto rowWritten = [](const Stage1Run& run, int32_t y) {
        return run.out.At(0, y).r != int16_t(0xA5A5); // the marker fill
    };

    struct Case {
        const char* name;
        uint32_t tag;
        uint32_t savedRow;
        bool cancel;
        int32_t firstRowWritten;
        int32_t status;
    };
    for (const Case& c : {Case{"fresh", 0, 0, false, 0, kIPStatusDone},
                          Case{"other stage's block", FIPEResumeState::kTagStage2, 5, false, 0, kIPStatusDone},
                          Case{"last row", FIPEResumeState::kTagStage1, kH - 1, false, kH - 1, kIPStatusDone},
                          Case{"done", FIPEResumeState::kTagStage1, kH, false, kH, kIPStatusDone},
                          Case{"done, cancelled", FIPEResumeState::kTagStage1, kH, true, kH, kIPStatusCancelled},
                          Case{"cancelled", 0, 0, true, 0, kIPStatusCancelled}}) {
        SCOPED_TRACE(c.name);
        Stage1Run run;
        run.request.m_ResumeState.m_aWords[0] = c.tag;
        run.request.m_ResumeState.m_aWords[2] = c.savedRow;
        run.request.m_ResumeState.m_aWords[7] = 77; // not the engine's
        if (c.cancel)
            run.request.Cancel();
        ASSERT_EQ(run.Run(camdata), c.status);
        for (int32_t y = 0; y < kH; ++y)
            EXPECT_EQ(rowWritten(run, y), y >= c.firstRowWritten) << y;
        EXPECT_EQ(run.request.m_ResumeState.m_aWords[0], FIPEResumeState::kTagStage1);
        EXPECT_EQ(run.request.m_ResumeState.m_aWords[2], uint32_t(kH));
        EXPECT_EQ(run.request.m_ResumeState.m_aWords[7], 77u);
        // The levels are computed however many rows ran.
        EXPECT_EQ(run.request.m_aiSaturationLevel[1], 4000);
        EXPECT_EQ(run.request.m_aiDarkLevel[0], 104);
    }
}

TEST(Stage1Test, UnusableOffsetRowsRunWithoutOffsets)
{
    Stage1Run plain;
    ASSERT_EQ(plain.Run(ParsedCamdata(BaseCamdata(true, false))), kIPStatusDone);
    for (const std::vector<uint32_t>& rows :
         {std::vector<uint32_t>{0, kH, 1}, {0, 1, 1}, {0, 6, 0}, {0, 6}, {0, 6, 2, 1}}) {
        CamdataWriter writer = BaseCamdata(true, false);
        writer.AddUInt32s("RawOffsetSourceRows", {uint32_t(rows.size())}, rows);
        Stage1Run run;
        ASSERT_EQ(run.Run(ParsedCamdata(writer)), kIPStatusDone);
        EXPECT_EQ(run.out.bytes, plain.out.bytes) << rows.size() << " " << rows[1];
    }
}

TEST(Stage1Test, BadImagesAndMissingInputsFailWithTheirTexts)
{
    RawImage raw(4, 3), dark(4, 3), darkSmall(3, 3);
    OutImage out(4, 3), outSmall(4, 2);
    TestPixmap<FPixelClass48RGB> outUnsigned(4, 3);
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(nullptr, raw.get(), nullptr, out.get()); }),
              "LinearizeAndDarkSubtractImage: dark image pointer is NULL.\n");
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(dark.get(), nullptr, nullptr, out.get()); }),
              "LinearizeAndDarkSubtractImage: raw image pointer is NULL.\n");
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(dark.get(), raw.get(), nullptr, nullptr); }),
              "LinearizeAndDarkSubtractImage: out image pointer is NULL.\n");
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(darkSmall.get(), raw.get(), nullptr, out.get()); }),
              "LinearizeAndDarkSubtractImage: dark and raw are different sizes.\n");
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(dark.get(), raw.get(), nullptr, outSmall.get()); }),
              "LinearizeAndDarkSubtractImage: raw and output are different sizes.\n");
    EXPECT_EQ(ThrownMessage([&] { LinearizeAndDarkSubtractImage(dark.get(), raw.get(), nullptr, outUnsigned.get()); }),
              "LinearizeAndDarkSubtractImage: unsupported pixel type.\n");

    // Through the engine: error 14 with the text, nothing written.
    const ParsedCamdata camdata(BaseCamdata(false, false));
    FIPERequestStage1 sizes;
    sizes.m_pRawImage = raw.get();
    sizes.m_pDarkImage = dark.get();
    sizes.m_pOutImage = outSmall.get();
    sizes.m_pCambData = camdata.get();
    ASSERT_EQ(RunEngineRequest(sizes), kIPStatusError);
    EXPECT_EQ(sizes.m_iErrorCode, kIPErrorException);
    EXPECT_NE(ErrorText(sizes).find("raw and output are different sizes"), std::string::npos) << ErrorText(sizes);
    EXPECT_EQ(outSmall.bytes, OutImage(4, 2).bytes);

    FIPERequestStage1 noCamdata;
    noCamdata.m_pRawImage = raw.get();
    noCamdata.m_pDarkImage = dark.get();
    noCamdata.m_pOutImage = out.get();
    ASSERT_EQ(RunEngineRequest(noCamdata), kIPStatusError);
    EXPECT_EQ(noCamdata.m_iErrorCode, kIPErrorException);
    EXPECT_NE(ErrorText(noCamdata).find("pReq->m_pCambData != NULL"), std::string::npos) << ErrorText(noCamdata);
}

TEST(Stage1Test, SyntheticShotGivesRawMinusDarkAndItsLevels)
{
    using testsupport::CalibrationDefect;
    struct Case {
        const char* entry;
        CalibrationDefect defect;
        bool levels;
    };
    for (const Case& c : {Case{"", CalibrationDefect::None, true},
                          Case{"RawOffsetSourceRows", CalibrationDefect::Malformed, true}, // last row = H
                          Case{"DarkShieldTop", CalibrationDefect::Malformed, false},      // below the frame
                          Case{"LinLUTs", CalibrationDefect::Missing, true}}) {
        SCOPED_TRACE(c.entry);
        testsupport::SyntheticOptions options;
        options.previews = false;
        options.defectEntry = c.entry;
        options.defect = c.defect;
        testsupport::SyntheticRaw shot = testsupport::MakeSyntheticRaw(options);
        const int32_t W = int32_t(shot.truth.storedColumns), H = int32_t(shot.truth.storedRows);
        FPixmapTemplate<FPixelClass48RGB> raw(shot.raw.data(), W, H, 0), dark(shot.dark.data(), W, H, 0);
        OutImage out(W, H);
        const FCamdata camdata(shot.camdata.data(), shot.camdata.size());
        FIPERequestStage1 request;
        request.m_pRawImage = &raw;
        request.m_pDarkImage = &dark;
        request.m_pOutImage = out.get();
        request.m_pCambData = &camdata;
        ASSERT_EQ(RunEngineRequest(request), kIPStatusDone);

        // The camera's table is the identity, so the column offsets cancel.
        for (size_t i = 0; i < shot.raw.size(); ++i)
            ASSERT_EQ(int32_t(reinterpret_cast<const int16_t*>(out.bytes.data())[i]),
                      int32_t(shot.raw[i]) - int32_t(shot.dark[i]))
                << i;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(request.m_aiSaturationLevel[k], c.levels ? 4000 : 0) << k;
            if (c.levels)
                EXPECT_NEAR(request.m_aiDarkLevel[k], shot.truth.darkLevel[k], 1.0) << k;
            else
                EXPECT_EQ(request.m_aiDarkLevel[k], 0) << k;
        }
    }
}

// A wide picture with an odd width, mostly 12-bit samples and some anywhere in
// 16 bits, through tables of two sizes: every sample is its definition, and the
// whole output is pinned by a checksum so that any faster kernel must give the
// same bytes.
TEST(Stage1Test, WidePictureMatchesTheDefinitionAndItsChecksum)
{
    constexpr int32_t kWide = 1001, kTall = 30;
    uint32_t state = 31337;
    const auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    RawImage raw(kWide, kTall), dark(kWide, kTall);
    for (int32_t y = 0; y < kTall; ++y)
        for (int32_t x = 0; x < kWide; ++x)
            for (int c = 0; c < 3; ++c) {
                const bool wild = next() % 16 == 0;
                const uint16_t d = uint16_t(wild ? next() : 50 + x % 9 + next() % 6);
                Channel(*dark.Get()->GetPixel(x, y), c) = d;
                Channel(*raw.Get()->GetPixel(x, y), c) = uint16_t(wild ? next() : d + next() % 4000);
            }
    const std::vector<ColumnOffset> offsets = EstimateColumnOffsets(*dark.get(), 1, 28, 3, 2);
    ASSERT_EQ(offsets.size(), size_t(kWide));

    struct Case {
        uint32_t tableSize; // 0: none
        bool withOffsets;
        uint64_t expected;
    };
    const Case cases[] = {
        {0, false, 0xc2ecf7932cb2afeeull},     {0, true, 0xc2ecf7932cb2afeeull},
        {4096, false, 0x977bbeb8190c5220ull},  {4096, true, 0xcdb74b58d71c964cull},
        {65536, false, 0x588be5b658a8c7efull}, {65536, true, 0x5aca6d022aa6fb7bull},
        {131072, false, 0x9666528c9b726f83ull}, {131072, true, 0x0ebdd48d73259993ull}, // indexes beyond 16 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "table " << c.tableSize << ", offsets " << c.withOffsets);
        std::vector<int16_t> table(3 * size_t(c.tableSize));
        for (int16_t& v : table)
            v = int16_t(next());
        CamdataWriter writer;
        if (c.tableSize)
            writer.AddInt16s("LinLUTs", {3, c.tableSize}, table);
        writer.AddUInt32s("RawOffsetFilterShift", {1}, {2});
        if (c.withOffsets)
            writer.AddUInt32s("RawOffsetSourceRows", {3}, {1, 28, 3});
        OutImage out(kWide, kTall);
        FIPERequestStage1 request;
        request.m_pRawImage = raw.get();
        request.m_pDarkImage = dark.get();
        request.m_pOutImage = out.get();
        const ParsedCamdata camdata(writer);
        request.m_pCambData = camdata.get();
        ASSERT_EQ(RunEngineRequest(request), kIPStatusDone);

        const auto linear = [&](int ch, int32_t v) {
            return c.tableSize ? int32_t(table[size_t(ch) * c.tableSize + (uint32_t(v) & (c.tableSize - 1))]) : v;
        };
        for (int32_t y = 0; y < kTall; ++y)
            for (int32_t x = 0; x < kWide; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const ColumnOffset& o = offsets[size_t(x)];
                    const int32_t off = c.withOffsets ? (ch == 0 ? o.r : (ch == 1 ? o.g : o.b)) : 0;
                    const int32_t r = Channel(*raw.Get()->GetPixel(x, y), ch);
                    const int32_t d = Channel(*dark.Get()->GetPixel(x, y), ch);
                    ASSERT_EQ(Channel(out.At(x, y), ch), int16_t(linear(ch, r + off) - linear(ch, d + off)))
                        << x << "," << y << "," << ch;
                }
        uint64_t hash = 14695981039346656037ull;
        for (uint8_t byte : out.bytes)
            hash = (hash ^ byte) * 1099511628211ull;
        EXPECT_EQ(hash, c.expected);
    }
}
