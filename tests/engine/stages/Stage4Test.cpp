#include "engine/stages/Stage4.h"

#include "engine/colour/ColorSpaces.h"
#include "engine/colour/ToneLUT.h"
#include "engine/colour/TransformColor.h"
#include "engine/core/FIPEngine2.h"
#include "engine/core/GlobalLUTs.h"
#include "support/BuildTree.h"
#include "support/EngineDriver.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using testsupport::RunEngineRequest;
using testsupport::TestPixmap;

namespace {

constexpr uint32_t kSize = 65536;
constexpr int32_t kW = 256;

// The tables a manager makes for a default development: the default tone
// curve, the working space's gamma at 16 bits and a Retinex gain of 1.0.
struct Stage4Tables {
    std::vector<int16_t> tone = std::vector<int16_t>(3 * kSize);
    std::vector<int16_t> gamma = std::vector<int16_t>(kSize);
    std::vector<int16_t> retinex = std::vector<int16_t>(kSize, 256);

    Stage4Tables()
    {
        FLUT16RGB toneLUT(tone.data(), tone.data() + kSize, tone.data() + 2 * kSize, kSize);
        GenerateFinalToneCurve(0, 0, 0, 0, 1, 1, 1, GetInverseCubeRootLUT(), &toneLUT, false, false);
        FLUT16 gammaLUT(gamma.data(), kSize);
        MakeGammaLUT(gammaLUT, kColorSpaceProPhoto, 16);
    }
};

// One row of stage-3 output: cube-root codes 0, 32, 64, ... in grey, or the
// colour the caller paints.
struct Stage4Run {
    TestPixmap<FPixelClass48SRGB> color{kW, 1};
    TestPixmap<FPixelClass16SMono> lightness{kW, 1, 0, 0};
    TestPixmap<FPixelClass16SMono> retinex{kW, 1, 0, 0};
    const Stage4Tables& tables;
    FIPERequestStage4 request;

    explicit Stage4Run(const Stage4Tables& t) : tables(t)
    {
        for (int32_t x = 0; x < kW; ++x) {
            const int16_t code = int16_t(32 * x);
            *color.Get()->GetPixel(x, 0) = FPixelClass48SRGB{code, code, code};
        }
        request.m_pStage3Image = color.get();
        request.m_pStage3ImageL = lightness.get();
        request.m_pStage3ImageRtnx = retinex.get();
        request.m_pToneLUT = tables.tone.data();
        request.m_pGammaLUT = tables.gamma.data();
        request.m_pRtnxLUT = tables.retinex.data();
        request.m_bRommWorkingSpace = true;
        request.m_iColorSpace = kColorSpaceSRGB;
    }

    int32_t Run(FPixmap* out)
    {
        request.m_pOutImage = out;
        return RunEngineRequest(request);
    }
};

class Stage4Test : public testing::Test {
protected:
    static void SetUpTestSuite() { SetColorProfileProgramPath(testsupport::BuildTreeProgramPath()); }
    Stage4Tables m_Tables;
};

std::string ErrorText(const FIPERequest& request) { return testsupport::Utf8FromWide(request.m_sErrorText); }

} // namespace

TEST_F(Stage4Test, SaturationMatrixKeepsGrey)
{
    struct Case {
        double s, diagonal, offDiagonal;
    };
    for (const Case& c : {Case{0, 1, 0}, Case{3, 2, -0.5}, Case{-3, 0, 0.5}, Case{1.2, 1.4, -0.2}}) {
        const ColorMatrix3x3 m = MakeSaturationMatrix(c.s);
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                EXPECT_DOUBLE_EQ(m(r, k), r == k ? c.diagonal : c.offDiagonal) << c.s << " " << r << k;
    }
    EXPECT_EQ(Stage4WorkingSpace(true), 11);
    EXPECT_EQ(Stage4WorkingSpace(false), 2);
}

TEST_F(Stage4Test, GreyRampToSRGBIsMonotonicAndNeutral)
{
    Stage4Run run(m_Tables);
    run.request.m_dSaturation = 1.5; // saturation leaves grey alone
    TestPixmap<FPixelClass24RGB> out(kW, 1);
    ASSERT_EQ(run.Run(out.get()), kIPStatusDone);
    for (int32_t x = 0; x < kW; ++x) {
        const FPixelClass24RGB& p = out.At(x, 0);
        ASSERT_LE(std::abs(p.r - p.g), 1) << x;
        ASSERT_LE(std::abs(p.b - p.g), 1) << x;
        if (x > 0) {
            const FPixelClass24RGB& q = out.At(x - 1, 0);
            ASSERT_TRUE(p.r >= q.r && p.g >= q.g && p.b >= q.b) << x;
        }
    }
    EXPECT_LE(out.At(0, 0).g, 3);
    EXPECT_EQ(out.At(kW - 1, 0).g, 255);
    // 18 % grey (code 4096 x cbrt(0.188), about 2346): near sRGB 113.
    EXPECT_NEAR(out.At(2346 / 32, 0).g, 113, 8);

    // The display form carries the same values, opaque.
    TestPixmap<FPixelClass32BGRA> display(kW, 1, 0, 0);
    ASSERT_EQ(run.Run(display.get()), kIPStatusDone);
    for (int32_t x = 0; x < kW; ++x) {
        const FPixelClass32BGRA& d = display.At(x, 0);
        ASSERT_TRUE(d.r == out.At(x, 0).r && d.g == out.At(x, 0).g && d.b == out.At(x, 0).b && d.a == 255) << x;
    }
}

TEST_F(Stage4Test, WorkingSpaceFlagChoosesTheSourceOfTheConversion)
{
    // Without the flag the working space is sRGB, and sRGB output is the
    // chain's own 16-bit value packed into 8 bits.
    Stage4Run run(m_Tables);
    for (int32_t x = 0; x < kW; ++x)
        *run.color.Get()->GetPixel(x, 0) = FPixelClass48SRGB{int16_t(20 * x), 3000, int16_t(6000 - 20 * x)};
    run.request.m_bRommWorkingSpace = false;
    TestPixmap<FPixelClass24RGB> plain(kW, 1);
    ASSERT_EQ(run.Run(plain.get()), kIPStatusDone);
    TestPixmap<FPixelClass48RGB> wide(kW, 1);
    ASSERT_EQ(run.Run(wide.get()), kIPStatusDone);
    for (int32_t x = 0; x < kW; ++x)
        ASSERT_NEAR(plain.At(x, 0).r, wide.At(x, 0).r / 257.0, 1.0) << x;

    run.request.m_bRommWorkingSpace = true;
    TestPixmap<FPixelClass24RGB> romm(kW, 1);
    ASSERT_EQ(run.Run(romm.get()), kIPStatusDone);
    int largest = 0;
    for (int32_t x = 0; x < kW; ++x)
        largest = std::max(largest, std::abs(romm.At(x, 0).r - plain.At(x, 0).r));
    EXPECT_GT(largest, 20);
}

TEST_F(Stage4Test, MissingInputsAndBadOutputEndWithError14)
{
    FIPERequestStage4 empty;
    ASSERT_EQ(RunEngineRequest(empty), kIPStatusError);
    EXPECT_EQ(empty.m_iErrorCode, kIPErrorException);
    EXPECT_NE(ErrorText(empty).find("pReq->m_pOutImage != NULL"), std::string::npos) << ErrorText(empty);

    Stage4Run noGamma(m_Tables);
    noGamma.request.m_pGammaLUT = nullptr;
    TestPixmap<FPixelClass24RGB> out(kW, 1);
    ASSERT_EQ(noGamma.Run(out.get()), kIPStatusError);
    EXPECT_NE(ErrorText(noGamma.request).find("pReq->m_pGammaLUT != NULL"), std::string::npos);

    Stage4Run badType(m_Tables);
    TestPixmap<FPixelClass48BGR> bgr(kW, 1);
    const std::vector<uint8_t> before = bgr.bytes;
    ASSERT_EQ(badType.Run(bgr.get()), kIPStatusError);
    EXPECT_EQ(badType.request.m_iErrorCode, kIPErrorException);
    EXPECT_NE(ErrorText(badType.request).find("FPixelProc2::ProcessToOutput: unknown output pixel type."),
              std::string::npos);
    EXPECT_EQ(bgr.bytes, before);
}
