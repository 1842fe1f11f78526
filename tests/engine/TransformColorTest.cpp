#include "engine/TransformColor.h"

#include "engine/ColorSpaces.h"
#include "engine/GlobalLUTs.h"
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
