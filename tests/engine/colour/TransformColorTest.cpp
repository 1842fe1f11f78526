#include "engine/colour/TransformColor.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/colour/ToneLUT.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/stages/Stage4.h"
#include "foundation/FPath.h"
#include "support/BuildTree.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using testsupport::TestPixmap;
using testsupport::ThrownMessage;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSize = 65536;

class TransformColorTest : public testing::Test {
protected:
    static void SetUpTestSuite() { SetColorProfileProgramPath(testsupport::BuildTreeProgramPath()); }
};

struct ProfileCase {
    int32_t id;
    const char* description;
    double greyHalfY; // Y of the encoded value 0.5
};

const ProfileCase kProfiles[] = {
    {2, "sRGB IEC61966-2.1", std::pow((0.5 + 0.055) / 1.055, 2.4)},
    {3, "Adobe RGB (1998)", std::pow(0.5, 563.0 / 256.0)},
    {4, "Apple RGB", std::pow(0.5, 1.8)},
    {8, "ColorMatch RGB", std::pow(0.5, 1.8)},
    {11, "ProPhoto RGB", std::pow(0.5, 1.8)},
};

std::string Description(cmsHPROFILE profile)
{
    char text[256] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
    return text;
}

// RGB (0 to 1) to XYZ of the connection space through Little CMS.
cmsCIEXYZ ToXYZ(cmsHPROFILE profile, double r, double g, double b)
{
    cmsHPROFILE xyz = cmsCreateXYZProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(profile, TYPE_RGB_DBL, xyz, TYPE_XYZ_DBL, 0, cmsFLAGS_NOCACHE);
    const double rgb[3] = {r, g, b};
    cmsCIEXYZ out = {};
    if (transform)
        cmsDoTransform(transform, rgb, &out, 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(xyz);
    return out;
}

// Tables through which ProcessOutputRow passes its values unchanged.
struct IdentityTables {
    std::vector<int16_t> data = std::vector<int16_t>(kSize);
    std::vector<int16_t> gainData = std::vector<int16_t>(kSize, 256);
    FLUT16RGB tone;
    FLUT16 gamma;
    FLUT16 unityGain;
    ColorMatrix3x3Fixed identity;

    IdentityTables()
        : tone(data.data(), data.data(), data.data(), kSize), gamma(data.data(), kSize),
          unityGain(gainData.data(), kSize)
    {
        for (uint32_t i = 0; i < kSize; ++i)
            data[i] = int16_t(i);
        identity.iFractionBits = 12;
        identity.Set(ColorMatrix3x3::Identity());
    }
};

// One pixel through the row chain.
FIntTriple RunPixel(const IdentityTables& t, FPixelClass48SRGB color, int16_t lightness, double sharpness,
                    const ColorMatrix3x3& saturation = ColorMatrix3x3::Identity(), const int16_t* retinex = nullptr)
{
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set(saturation);
    const FPixelClass16SMono l{lightness};
    const FPixelClass16SMono r{retinex ? *retinex : int16_t(0)};
    uint16_t out[3];
    ProcessOutputRow(&color, &l, retinex ? &r : nullptr, 1, TruncateToInt((sharpness + 1) * 16384), t.tone,
                     t.unityGain, fixed, t.gamma, GetCubeRootLUT(), GetInverseCubeRootLUT(), out);
    return {out[0], out[1], out[2]};
}

// Stage-3 style images of one row: a grey ramp and a few colours.
struct OutputFixture {
    static constexpr int32_t kW = 40;
    TestPixmap<FPixelClass48SRGB> color{kW, 2};
    TestPixmap<FPixelClass16SMono> lightness{kW, 2, 0, 0};
    IdentityTables tables;

    OutputFixture()
    {
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < kW; ++x)
                *color.Get()->GetPixel(x, y) =
                    x < 30 ? FPixelClass48SRGB{int16_t(1000 * x), int16_t(1000 * x), int16_t(1000 * x)}
                           : FPixelClass48SRGB{int16_t(3000 * (x - 29)), 5000, int16_t(30000 - 2000 * (x - 29))};
    }

    void Run(FPixmap* out, int32_t workingSpace, int32_t outputSpace)
    {
        FPixelProc2::ProcessToOutput(color.get(), lightness.get(), nullptr, -1, tables.tone, tables.unityGain,
                                     ColorMatrix3x3::Identity(), tables.gamma, workingSpace, outputSpace, out);
    }
};

} // namespace

TEST_F(TransformColorTest, GeneratedProfilesAreValidAndMapWhiteToD50)
{
    EXPECT_EQ(testsupport::Utf8FromWide(ColorProfileFolder()),
              (fs::path(testsupport::Utf8FromWide(testsupport::BuildTreeProgramPath())).parent_path() / "resources" /
               "icc")
                  .string());
    for (const ProfileCase& c : kProfiles) {
        SCOPED_TRACE(c.description);
        cmsHPROFILE profile = OpenColorSpaceProfile(c.id);
        ASSERT_NE(profile, nullptr);
        const std::unique_ptr<void, cmsBool (*)(cmsHPROFILE)> closer(profile, cmsCloseProfile);
        EXPECT_EQ(Description(profile), c.description);
        EXPECT_EQ(cmsGetColorSpace(profile), cmsSigRgbData);
        EXPECT_EQ(cmsGetPCS(profile), cmsSigXYZData);
        EXPECT_EQ(cmsGetDeviceClass(profile), cmsSigDisplayClass);
        EXPECT_TRUE(cmsIsMatrixShaper(profile));
        for (cmsUInt32Number intent = 0; intent < 4; ++intent) {
            EXPECT_TRUE(cmsIsIntentSupported(profile, intent, LCMS_USED_AS_INPUT)) << intent;
            EXPECT_TRUE(cmsIsIntentSupported(profile, intent, LCMS_USED_AS_OUTPUT)) << intent;
        }
        const cmsInt32Number tags = cmsGetTagCount(profile);
        EXPECT_GE(tags, 9);
        for (cmsInt32Number i = 0; i < tags; ++i)
            EXPECT_NE(cmsReadTag(profile, cmsGetTagSignature(profile, cmsUInt32Number(i))), nullptr) << i;
        // The stored profile id is the MD5 of the profile as it stands.
        cmsUInt8Number stored[16], computed[16];
        cmsGetHeaderProfileID(profile, stored);
        ASSERT_TRUE(cmsMD5computeID(profile));
        cmsGetHeaderProfileID(profile, computed);
        EXPECT_EQ(std::memcmp(stored, computed, 16), 0);

        const cmsCIEXYZ white = ToXYZ(profile, 1, 1, 1);
        EXPECT_NEAR(white.X, cmsD50_XYZ()->X, 2e-4);
        EXPECT_NEAR(white.Y, cmsD50_XYZ()->Y, 2e-4);
        EXPECT_NEAR(white.Z, cmsD50_XYZ()->Z, 2e-4);
        EXPECT_NEAR(ToXYZ(profile, 0.5, 0.5, 0.5).Y, c.greyHalfY, 2e-4);

        // The primaries agree with the engine's own matrices of the space,
        // except ColorMatch RGB's blue: the engine's matrices place it at
        // 0.155/0.077, the published profile at 0.150/0.075.
        if (c.id == kColorSpaceColorMatchRGB)
            continue;
        ColorMatrix3x3 xyzToRGB, rgbToXYZ;
        CreateColorSpaceWhitePoint(xyzToRGB, c.id, kWhitePointD50);
        ColorMatrixInverse(rgbToXYZ, xyzToRGB);
        for (int primary = 0; primary < 3; ++primary) {
            const cmsCIEXYZ xyz = ToXYZ(profile, primary == 0, primary == 1, primary == 2);
            EXPECT_NEAR(xyz.X, rgbToXYZ(0, primary), 3e-3) << primary;
            EXPECT_NEAR(xyz.Y, rgbToXYZ(1, primary), 3e-3) << primary;
            EXPECT_NEAR(xyz.Z, rgbToXYZ(2, primary), 3e-3) << primary;
        }
    }
}

TEST_F(TransformColorTest, ProfileIdsAndTheDataFolderLookup)
{
    const auto describe = [](int32_t id) {
        cmsHPROFILE profile = OpenColorSpaceProfile(id);
        const std::string text = profile ? Description(profile) : "(none)";
        cmsCloseProfile(profile);
        return text;
    };
    EXPECT_EQ(describe(5), "sRGB IEC61966-2.1");
    EXPECT_EQ(describe(0), "sRGB IEC61966-2.1");
    EXPECT_EQ(describe(12), "ProPhoto RGB");
    cmsHPROFILE xyz = OpenColorSpaceProfile(kColorSpaceXYZ);
    EXPECT_EQ(cmsGetColorSpace(xyz), cmsSigXYZData);
    cmsCloseProfile(xyz);

    // A program without the profiles beside it has none; copying the folder
    // into "resources/icc" beside it makes them found.
    testsupport::TempDir home;
    const fs::path bin = home.Path() / "bin";
    fs::create_directories(bin);
    SetColorProfileProgramPath(testsupport::WideFromUtf8((bin / "Lumitra4").string()));
    EXPECT_EQ(describe(3), "(none)");
    const fs::path built = fs::path(testsupport::Utf8FromWide(testsupport::BuildTreeProgramPath())).parent_path();
    fs::create_directories(bin / "resources");
    fs::copy(built / "resources" / "icc", bin / "resources" / "icc");
    EXPECT_EQ(describe(3), "Adobe RGB (1998)");
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
}

TEST_F(TransformColorTest, RowChainDetailRetinexAndSaturation)
{
    const IdentityTables t;
    // Detail: strength sharpness + 1 in Q14, arithmetic shift.
    EXPECT_EQ(RunPixel(t, {1000, 2000, 3000}, 100, 0).r, 1100);
    EXPECT_EQ(RunPixel(t, {1000, 2000, 3000}, 100, -1).g, 2000);
    EXPECT_EQ(RunPixel(t, {1000, 2000, 3000}, 100, 1).b, 3200);
    EXPECT_EQ(RunPixel(t, {1000, 2000, 3000}, -3, 0.5).r, 995); // -4.5 floors to -5
    // Saturation 3: diagonal 2, off-diagonal -0.5, which 12 fraction bits
    // truncate toward zero to -2047/4096.
    const ColorMatrix3x3 s3 = {{2, -0.5, -0.5, -0.5, 2, -0.5, -0.5, -0.5, 2}};
    const FIntTriple saturated = RunPixel(t, {2000, 1000, 1000}, 0, -1, s3);
    EXPECT_EQ(saturated.r, 3000);
    EXPECT_EQ(saturated.g, 501);
    EXPECT_EQ(saturated.b, 501);
    // A Retinex gain of 1.0 (256) keeps values up to the rounding of the two
    // tables, from the code of linear 0 (819) to that of linear 8.0.
    const int16_t unity = 0;
    for (int16_t code = 850; code < 8192; code += 37) { // the linear table ends at 8.0
        const FIntTriple kept = RunPixel(t, {code, code, code}, 0, -1, ColorMatrix3x3::Identity(), &unity);
        ASSERT_NEAR(kept.r, code, 3) << code;
    }
}

TEST_F(TransformColorTest, RowChainIndexesSmallerTablesThroughTheirMasks)
{
    std::vector<int16_t> small(4096);
    for (int i = 0; i < 4096; ++i)
        small[size_t(i)] = int16_t(i);
    const FLUT16RGB tone(small.data(), small.data(), small.data(), 4096);
    const FLUT16 gamma(small.data(), 4096);
    ColorMatrix3x3Fixed identity;
    identity.iFractionBits = 12;
    identity.Set(ColorMatrix3x3::Identity());
    const FPixelClass48SRGB color{5000, -1, 4095};
    const FPixelClass16SMono lightness{0};
    uint16_t out[3];
    ProcessOutputRow(&color, &lightness, nullptr, 1, 16384, tone, gamma, identity, gamma, GetCubeRootLUT(),
                     GetInverseCubeRootLUT(), out);
    EXPECT_EQ(out[0], 5000 & 4095);
    EXPECT_EQ(out[1], 4095);
    EXPECT_EQ(out[2], 4095);
}

TEST_F(TransformColorTest, OutputTypesAndTheCachedTransform)
{
    OutputFixture fixture;
    // Working space 2 into 2: the transform only packs the 16-bit values.
    TestPixmap<FPixelClass48RGB> wide(OutputFixture::kW, 2);
    fixture.Run(wide.get(), kColorSpaceSRGB, kColorSpaceSRGB);
    for (int32_t x = 0; x < OutputFixture::kW; ++x)
        ASSERT_NEAR(wide.At(x, 1).g, fixture.color.At(x, 1).g, 2) << x;

    TestPixmap<FPixelClass24RGB> rgb(OutputFixture::kW, 2);
    TestPixmap<FPixelClass32BGRA> display(OutputFixture::kW, 2, 0, 0);
    fixture.Run(rgb.get(), kColorSpaceProPhoto, kColorSpaceSRGB);
    const size_t created = FGlobalTransformClass::Instance().TransformsCreated();
    fixture.Run(display.get(), kColorSpaceProPhoto, kColorSpaceSRGB);
    EXPECT_EQ(FGlobalTransformClass::Instance().TransformsCreated(), created + 1); // a new output format
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < OutputFixture::kW; ++x) {
            const FPixelClass32BGRA& d = display.At(x, y);
            const FPixelClass24RGB& c = rgb.At(x, y);
            ASSERT_TRUE(d.r == c.r && d.g == c.g && d.b == c.b && d.a == 255) << x << "," << y;
        }

    // The same spaces and formats again: the same transform, nothing created.
    const cmsHTRANSFORM first = GetColorTransform(kColorSpaceProPhoto, TYPE_RGB_16, kColorSpaceSRGB, TYPE_RGB_8);
    fixture.Run(rgb.get(), kColorSpaceProPhoto, kColorSpaceSRGB);
    EXPECT_EQ(GetColorTransform(kColorSpaceProPhoto, TYPE_RGB_16, kColorSpaceSRGB, TYPE_RGB_8), first);
    EXPECT_EQ(FGlobalTransformClass::Instance().TransformsCreated(), created + 1);
}

TEST_F(TransformColorTest, BadOutputAndInputsWriteNothing)
{
    OutputFixture fixture;
    TestPixmap<FPixelClass48BGR> bgr(OutputFixture::kW, 2);
    const std::vector<uint8_t> untouched = bgr.bytes;
    EXPECT_EQ(ThrownMessage([&] { fixture.Run(bgr.get(), kColorSpaceProPhoto, kColorSpaceSRGB); }),
              "FPixelProc2::ProcessToOutput: unknown output pixel type.");
    EXPECT_EQ(bgr.bytes, untouched);

    TestPixmap<FPixelClass24RGB> narrow(OutputFixture::kW - 1, 2);
    const std::vector<uint8_t> narrowBefore = narrow.bytes;
    EXPECT_EQ(ThrownMessage([&] { fixture.Run(narrow.get(), kColorSpaceProPhoto, kColorSpaceSRGB); }),
              "FPixelProc2::ProcessToOutput: input images do not match the output.");
    EXPECT_EQ(narrow.bytes, narrowBefore);

    TestPixmap<FPixelClass24RGB> rgb(OutputFixture::kW, 2);
    EXPECT_EQ(ThrownMessage([&] {
                  FPixelProc2::ProcessToOutput(fixture.color.get(), nullptr, nullptr, 0, fixture.tables.tone,
                                               fixture.tables.unityGain, ColorMatrix3x3::Identity(),
                                               fixture.tables.gamma, 11, 2, rgb.get());
              }),
              "FPixelProc2::ProcessToOutput: image pointer is NULL.");
}

namespace {

uint64_t Fnv1a(const void* data, size_t bytes, uint64_t hash = 14695981039346656037ull)
{
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < bytes; ++i)
        hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}

uint32_t NextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// The tables of a development (a shaped tone curve, the ROMM gamma, Retinex
// gains around 1.0 with a few that overflow the linear range or are
// negative), or tables of arbitrary values; optionally seen through 4096-entry
// masks.
struct ChainTables {
    std::vector<int16_t> tone = std::vector<int16_t>(3 * kSize);
    std::vector<int16_t> gamma = std::vector<int16_t>(kSize);
    std::vector<int16_t> gain = std::vector<int16_t>(kSize);
    FLUT16RGB toneLUT;
    FLUT16 gammaLUT;
    FLUT16 gainLUT;

    ChainTables(bool arbitrary, uint32_t size)
        : toneLUT(tone.data(), tone.data() + kSize, tone.data() + 2 * kSize, size), gammaLUT(gamma.data(), size),
          gainLUT(gain.data(), size)
    {
        uint32_t state = 99;
        if (arbitrary) {
            for (auto* table : {&tone, &gamma, &gain})
                for (int16_t& v : *table)
                    v = int16_t(NextRandom(state));
            return;
        }
        FLUT16RGB full(tone.data(), tone.data() + kSize, tone.data() + 2 * kSize, kSize);
        GenerateFinalToneCurve(0.3, 0.1, 0.2, 0, 1.1, 1, 0.9, GetInverseCubeRootLUT(), &full, false, false);
        FLUT16 fullGamma(gamma.data(), kSize);
        MakeGammaLUT(fullGamma, kColorSpaceProPhoto, 16);
        for (uint32_t i = 0; i < kSize; ++i)
            gain[i] = int16_t(i % 97 == 0 ? 4000 : (i % 101 == 0 ? -300 : 200 + int32_t(i % 120)));
    }
};

// Stage-3 style images: mostly smooth cube-root codes with grain, every
// fourth pixel arbitrary 16-bit values, detail mostly small.
struct ChainImages {
    TestPixmap<FPixelClass48SRGB> color;
    TestPixmap<FPixelClass16SMono> lightness;
    TestPixmap<FPixelClass16SMono> retinex;

    ChainImages(int32_t w, int32_t h) : color(w, h), lightness(w, h), retinex(w, h)
    {
        uint32_t state = 4242;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const auto grain = [&] { return int32_t(NextRandom(state) % 129) - 64; };
                const bool wild = NextRandom(state) % 4 == 0;
                FPixelClass48SRGB& c = *color.Get()->GetPixel(x, y);
                if (wild)
                    c = FPixelClass48SRGB{int16_t(NextRandom(state)), int16_t(NextRandom(state)),
                                          int16_t(NextRandom(state))};
                else
                    c = FPixelClass48SRGB{int16_t(800 + 7000 * x / w + grain()), int16_t(800 + 7000 * y / h + grain()),
                         int16_t(6000 - 40 * ((x + y) % 100) + grain())};
                lightness.Get()->GetPixel(x, y)->v = int16_t(wild ? NextRandom(state) : grain());
                retinex.Get()->GetPixel(x, y)->v = int16_t(NextRandom(state));
            }
    }
};

} // namespace

// The 16-bit row chain on a fixed input, pinned by a checksum of its output:
// every later change to the chain must give the same values.
TEST_F(TransformColorTest, RowChainOutputOnAFixedInputIsPinned)
{
    struct Case {
        bool arbitrary;
        uint32_t size;
        bool withRetinex;
        double sharpness, saturation;
        uint64_t expected;
    };
    const Case cases[] = {
        {false, kSize, true, 0.3, 0.4, 0xb6b9f01bc3e2a160ull},
        {false, kSize, false, 0.3, 0.4, 0x4bf54e38ce42dd5full},
        {false, kSize, true, -1, 0, 0xb4d031ba2323a545ull},
        {false, kSize, true, 3.5, 12, 0x6625a3446ff058b4ull}, // detail and matrix beyond 32 bits
        {true, kSize, true, 0.3, 0.4, 0x6913692ad13e5688ull},
        {true, kSize, false, 1.2, -2, 0xca100fc5b1444a32ull},
        {false, 4096, true, 0.3, 0.4, 0x9494660499f83d39ull},
        {true, 4096, false, 0.3, 0.4, 0xaab323046a4bb31full},
        {true, kSize, true, -40000.5, 900, 0x42aa9281f074c8a0ull},
    };
    const ChainImages images(1031, 40);
    for (const Case& c : cases) {
        const ChainTables t(c.arbitrary, c.size);
        ColorMatrix3x3Fixed saturation;
        saturation.iFractionBits = 12;
        saturation.Set(MakeSaturationMatrix(c.saturation));
        std::vector<uint16_t> out(3 * 1031);
        uint64_t hash = Fnv1a(nullptr, 0);
        for (int32_t y = 0; y < 40; ++y) {
            const auto* retinexRow = reinterpret_cast<const FPixelClass16SMono*>(images.retinex->GetRow(y));
            ProcessOutputRow(reinterpret_cast<const FPixelClass48SRGB*>(images.color->GetRow(y)),
                             reinterpret_cast<const FPixelClass16SMono*>(images.lightness->GetRow(y)),
                             c.withRetinex ? retinexRow : nullptr, 1031, TruncateToInt((c.sharpness + 1) * 16384),
                             t.toneLUT, t.gainLUT, saturation, t.gammaLUT, GetCubeRootLUT(), GetInverseCubeRootLUT(),
                             out.data());
            hash = Fnv1a(out.data(), out.size() * sizeof(uint16_t), hash);
        }
        EXPECT_EQ(hash, c.expected) << c.arbitrary << " " << c.size << " " << c.withRetinex << " " << c.sharpness;
    }
}

// A whole conversion equals the row chain followed by Little CMS's own
// transform for the same spaces (intent 0, no flags), for every output type,
// on a picture large enough for every way the conversion may take.
TEST_F(TransformColorTest, WholeConversionEqualsTheRowChainThenTheTransform)
{
    constexpr int32_t kW = 613, kH = 450;
    const ChainImages images(kW, kH);
    const ChainTables t(false, kSize);
    const ColorMatrix3x3 saturation = MakeSaturationMatrix(0.4);
    ColorMatrix3x3Fixed fixed;
    fixed.iFractionBits = 12;
    fixed.Set(saturation);
    cmsHPROFILE romm = OpenColorSpaceProfile(kColorSpaceProPhoto);
    cmsHPROFILE srgb = OpenColorSpaceProfile(kColorSpaceSRGB);
    ASSERT_TRUE(romm && srgb);

    struct Case {
        int32_t type;
        uint32_t format;
        int32_t pixelBytes;
    };
    for (const Case& c : {Case{FPixmap::PIXEL_24_RGB, TYPE_RGB_8, 3}, Case{FPixmap::PIXEL_32_BGRA, TYPE_BGRA_8, 4},
                          Case{FPixmap::PIXEL_48_RGB, TYPE_RGB_16, 6}}) {
        for (bool withRetinex : {true, false}) {
            std::vector<uint8_t> bytes(size_t(kW) * kH * c.pixelBytes), expected(bytes.size(), 0);
            std::unique_ptr<FPixmap> out;
            if (c.type == FPixmap::PIXEL_24_RGB)
                out = std::make_unique<FPixmapTemplate<FPixelClass24RGB>>(bytes.data(), kW, kH, 0);
            else if (c.type == FPixmap::PIXEL_32_BGRA)
                out = std::make_unique<FPixmapTemplate<FPixelClass32BGRA>>(bytes.data(), kW, kH, 0);
            else
                out = std::make_unique<FPixmapTemplate<FPixelClass48RGB>>(bytes.data(), kW, kH, 0);
            const FPixmap* retinex = withRetinex ? images.retinex.get() : nullptr;
            FPixelProc2::ProcessToOutput(images.color.get(), images.lightness.get(), retinex, 0.3, t.toneLUT,
                                         t.gainLUT, saturation, t.gammaLUT, kColorSpaceProPhoto, kColorSpaceSRGB,
                                         out.get());

            cmsHTRANSFORM direct = cmsCreateTransform(romm, TYPE_RGB_16, srgb, c.format, 0, 0);
            ASSERT_NE(direct, nullptr);
            std::vector<uint16_t> chained(3 * kW);
            for (int32_t y = 0; y < kH; ++y) {
                ProcessOutputRow(reinterpret_cast<const FPixelClass48SRGB*>(images.color->GetRow(y)),
                                 reinterpret_cast<const FPixelClass16SMono*>(images.lightness->GetRow(y)),
                                 withRetinex ? reinterpret_cast<const FPixelClass16SMono*>(retinex->GetRow(y))
                                             : nullptr,
                                 kW, TruncateToInt(1.3 * 16384), t.toneLUT, t.gainLUT, fixed, t.gammaLUT,
                                 GetCubeRootLUT(), GetInverseCubeRootLUT(), chained.data());
                uint8_t* row = &expected[size_t(y) * kW * c.pixelBytes];
                cmsDoTransform(direct, chained.data(), row, kW);
                if (c.type == FPixmap::PIXEL_32_BGRA)
                    for (int32_t x = 0; x < kW; ++x)
                        row[4 * x + 3] = 255;
            }
            cmsDeleteTransform(direct);
            EXPECT_TRUE(bytes == expected) << c.type << " " << withRetinex;
        }
    }
    cmsCloseProfile(romm);
    cmsCloseProfile(srgb);
}
