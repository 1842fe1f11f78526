#include "engine/stages/Stage3.h"

#include "engine/core/GlobalLUTs.h"
#include "engine/geometry/CropSizeRotate.h"
#include "fileio/container/CambData.h"
#include "support/CamdataWriter.h"
#include "support/EngineDriver.h"
#include "support/TestPixmap.h"
#include "support/TestSupport.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

using MonoImage = TestPixmap<FPixelClass16SMono>;

// Camera data with the entries a writer callback adds (and one unrelated
// entry, so that the container is never empty).
class Camdata {
public:
    explicit Camdata(const std::function<void(CamdataWriter&)>& add = {})
    {
        CamdataWriter writer;
        writer.AddText("CAMMODEL", "Test body");
        if (add)
            add(writer);
        m_Bytes = writer.BuildRun();
        m_pCamdata = std::make_unique<FCamdata>(m_Bytes.data(), m_Bytes.size());
    }
    const FCamdata* get() const { return m_pCamdata.get(); }

private:
    std::vector<uint8_t> m_Bytes;
    std::unique_ptr<FCamdata> m_pCamdata;
};

// Stored inclusive, as cameras write them.
void AddRect(CamdataWriter& w, const char* name, int32_t l, int32_t t, int32_t r, int32_t b)
{
    w.AddInt32s(name, {4}, {l, t, r - 1, b - 1});
}

MonoImage MakeMono(int32_t columns, int32_t rows)
{
    MonoImage image(columns, rows);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < columns; ++x)
            image.Get()->GetPixel(x, y)->v = static_cast<int16_t>(x * 31 - y * 17);
    return image;
}

// A stage-2 picture of columns x rows and outputs of outColumns x outRows.
struct Stage3Fixture {
    Stage3Fixture(int32_t columns, int32_t rows, int32_t outColumns, int32_t outRows)
        : working(MakeWorkingImage(columns, rows,
                                   [](int32_t x, int32_t y) {
                                       return FPixelClass48SRGB{int16_t(100 * x + 7 * y), int16_t(90 * y + 3 * x),
                                                                int16_t(50 * x + 50 * y)};
                                   })),
          retinex(MakeMono(columns, rows)), temp(8, 8), color(outColumns, outRows), lightness(outColumns, outRows),
          retinexOut(outColumns, outRows)
    {
        request.m_pStage2Image = working.get();
        request.m_pStage2ImageRtnx = retinex.get();
        request.m_pTempData = temp.get();
        request.m_pOutImage = color.get();
        request.m_pOutImageL = lightness.get();
        request.m_pOutImageRtnx = retinexOut.get();
        request.m_iImageWidth = columns;
        request.m_iImageHeight = rows;
        request.m_iOutWidth = outColumns;
        request.m_iOutHeight = outRows;
        request.m_rcCrop = FIntRect(0, 0, outColumns, outRows);
    }

    WorkingImage working;
    MonoImage retinex;
    WorkingImage temp;
    WorkingImage color;
    MonoImage lightness;
    MonoImage retinexOut;
    FIPERequestStage3 request;
};

} // namespace

TEST(Stage3, GreenDetailDefaultsSkipFlagAndISOSwitch)
{
    struct Case {
        std::string name;
        std::function<void(CamdataWriter&)> add;
        double iso;
        double weight;
        int32_t highLimit;
    } cases[] = {
        {"no entries", {}, 100, 0.001, 200},
        {"ISO 3199", {}, 3199, 0.001, 200},
        {"ISO 3200", {}, 3200, 0.0, 200},
        {"low limit only", [](CamdataWriter& w) { w.AddInt32s("GreenLowLimit", {1}, {5}); }, 100, 0.0, 0},
        {"weight only", [](CamdataWriter& w) { w.AddFloats("GreenWeight", {1}, {0.5f}); }, 100, 0.5, 0},
        {"all three",
         [](CamdataWriter& w) {
             w.AddFloats("GreenWeight", {1}, {0.25f});
             w.AddInt32s("GreenHighLimit", {1}, {400});
             w.AddInt32s("GreenLowLimit", {1}, {20});
         },
         100, 0.25, 400},
        {"skip flag", [](CamdataWriter& w) { w.AddUInt32s("SkipStepFlags", {1}, {2}); }, 100, 0.0, 200},
        {"other skip flags", [](CamdataWriter& w) { w.AddUInt32s("SkipStepFlags", {1}, {0xFFFFFFFDu}); }, 100,
         0.001, 200},
    };
    for (const Case& c : cases) {
        const Camdata camdata(c.add);
        const FGreenDetailSettings s = ReadGreenDetailSettings(camdata.get(), c.iso);
        EXPECT_DOUBLE_EQ(s.dWeight, c.weight) << c.name;
        EXPECT_EQ(s.iHighLimit, c.highLimit) << c.name;
    }
}

TEST(Stage3, PictureAreaIsTheActiveAreaInStoredImageCoordinates)
{
    struct Case {
        std::string name;
        std::function<void(CamdataWriter&)> add;
        FIntRect area;
    } cases[] = {
        {"missing", {}, FIntRect(0, 0, 60, 40)},
        {"moved by the stored image's place",
         [](CamdataWriter& w) {
             AddRect(w, "KeepImageArea", 100, 50, 160, 90);
             AddRect(w, "ActiveImageArea", 110, 60, 150, 90);
         },
         FIntRect(10, 10, 50, 40)},
        {"partly outside, clipped",
         [](CamdataWriter& w) { AddRect(w, "ActiveImageArea", 50, 30, 70, 45); }, FIntRect(50, 30, 60, 40)},
        {"wholly outside", [](CamdataWriter& w) { AddRect(w, "ActiveImageArea", 70, 0, 80, 40); },
         FIntRect(0, 0, 60, 40)},
        {"empty", [](CamdataWriter& w) { AddRect(w, "ActiveImageArea", 5, 5, 5, 9); }, FIntRect(0, 0, 60, 40)},
    };
    for (const Case& c : cases) {
        const Camdata camdata(c.add);
        const FIntRect area = Stage3PictureArea(camdata.get(), 60, 40);
        EXPECT_EQ(area.left, c.area.left) << c.name;
        EXPECT_EQ(area.top, c.area.top) << c.name;
        EXPECT_EQ(area.right, c.area.right) << c.name;
        EXPECT_EQ(area.bottom, c.area.bottom) << c.name;
    }
}

// An output of the picture area's size copies: cube-root codes of the picture
// area's pixels (no green term at ISO 3200), the lightness detail at scale 1
// and the Retinex pixels unchanged.
TEST(Stage3, EngineCopiesThePictureAreaAtItsOwnSize)
{
    const Camdata camdata([](CamdataWriter& w) {
        AddRect(w, "KeepImageArea", 8, 4, 56, 40);
        AddRect(w, "ActiveImageArea", 12, 7, 52, 37); // 4, 3 in the stored image
    });
    Stage3Fixture f(48, 36, 40, 30);
    f.request.m_pCambData = camdata.get();
    f.request.m_dISO = 3200;
    ASSERT_EQ(RunEngineRequest(f.request), kIPStatusDone) << Utf8FromWide(f.request.m_sErrorText);

    const FLUT16& cube = GetCubeRootLUT();
    MonoImage expectedDetail(40, 30);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const FPixelClass48SRGB& in = f.working.At(4 + x, 3 + y);
            const FPixelClass48SRGB& out = f.color.At(x, y);
            ASSERT_EQ(out.r, cube[in.r]) << x << "," << y;
            ASSERT_EQ(out.g, cube[in.g]) << x << "," << y;
            ASSERT_EQ(out.b, cube[in.b]) << x << "," << y;
            ASSERT_EQ(f.retinexOut.At(x, y).v, f.retinex.At(4 + x, 3 + y).v) << x << "," << y;
            expectedDetail.Get()->GetPixel(x, y)->v = cube[(5734 * in.r + 9011 * in.g + 1638 * in.b + 8192) >> 14];
        }
    MakeLumaDetail(expectedDetail.get(), 1.0);
    EXPECT_EQ(f.lightness.bytes, expectedDetail.bytes);
}

// Without an active area the whole stored image is the source: scaled down and
// turned, every pixel is a real sample (never the fill of an empty crop).
TEST(Stage3, EngineUsesTheWholeImageWithoutAnActiveArea)
{
    const Camdata camdata;
    Stage3Fixture f(48, 36, 18, 24); // turned: 24 x 18 along the source
    f.working = MakeUniformWorkingImage(48, 36, 3000, 3000, 3000);
    f.request.m_pStage2Image = f.working.get();
    f.request.m_pCambData = camdata.get();
    f.request.m_iRotation = 90;
    ASSERT_EQ(RunEngineRequest(f.request), kIPStatusDone) << Utf8FromWide(f.request.m_sErrorText);
    const int16_t grey = GetCubeRootLUT()[3000];
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 18; ++x) {
            ASSERT_NEAR(f.color.At(x, y).r, grey, 1) << x << "," << y;
            ASSERT_NEAR(f.lightness.At(x, y).v, 0, 1) << x << "," << y;
        }
}

TEST(Stage3, EngineReportsMissingImagesAndBadGeometryAsError14)
{
    const Camdata camdata;
    struct Case {
        std::string text;
        std::function<void(FIPERequestStage3&)> spoil;
    } cases[] = {
        {"pReq->m_pCambData != NULL", [](FIPERequestStage3& r) { r.m_pCambData = nullptr; }},
        {"pReq->m_pOutImage != NULL", [](FIPERequestStage3& r) { r.m_pOutImage = nullptr; }},
        {"pReq->m_pOutImageL != NULL", [](FIPERequestStage3& r) { r.m_pOutImageL = nullptr; }},
        {"pReq->m_pOutImageRtnx != NULL", [](FIPERequestStage3& r) { r.m_pOutImageRtnx = nullptr; }},
        {"pReq->m_pStage2ImageRtnx != NULL", [](FIPERequestStage3& r) { r.m_pStage2ImageRtnx = nullptr; }},
        {"pReq->m_pStage2Image != NULL", [](FIPERequestStage3& r) { r.m_pStage2Image = nullptr; }},
        {"pReq->m_pTempData != NULL", [](FIPERequestStage3& r) { r.m_pTempData = nullptr; }},
        {"CropSizeRotateMore: rotation is not multiple of 90 degrees.",
         [](FIPERequestStage3& r) { r.m_iRotation = 45; }},
        {"CropSizeRotateMore: output window is outside the output image.",
         [](FIPERequestStage3& r) { r.m_rcCrop = FIntRect(4, 0, 20, 12); }},
    };
    for (const Case& c : cases) {
        Stage3Fixture f(24, 16, 16, 12);
        f.request.m_pCambData = camdata.get();
        c.spoil(f.request);
        ASSERT_EQ(RunEngineRequest(f.request), kIPStatusError) << c.text;
        EXPECT_EQ(f.request.m_iErrorCode, kIPErrorException) << c.text;
        EXPECT_NE(Utf8FromWide(f.request.m_sErrorText).find(c.text), std::string::npos)
            << Utf8FromWide(f.request.m_sErrorText);
    }
}
