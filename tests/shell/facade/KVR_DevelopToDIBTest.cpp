// Developing to pictures against a scripted manager: the bitmap layout, what
// each mode asks of the manager, how a settings record reaches the
// development and receives the automatic values, and the failures that give
// no picture.

#include "shell/facade/KVR_DevelopToDIB.h"

#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_Manager.h"
#include "foundation/FPath.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_ExifData.h"
#include "FacadeTestSupport.h"
#include "ScriptedManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class DevelopToDIBTest : public ::testing::Test {
protected:
    std::unique_ptr<CKVR_ImageHandle> ReadHandle()
    {
        auto handle = std::make_unique<CKVR_ImageHandle>(FString("/photos/a.kvr"), &m_Manager);
        EXPECT_EQ(KVR_ReadProperties(handle.get()), 1);
        return handle;
    }

    // A new handle's full 24-bit picture with the record (or the file's
    // settings); true when a picture came.
    bool DevelopWith(CKVR_FilterData* settings)
    {
        auto handle = ReadHandle();
        BITMAPINFOHEADER header;
        const DibBits dib(KVR_DevelopHandleToDIB(handle.get(), &header, 0, 1, settings, nullptr, nullptr, nullptr, nullptr));
        return dib.bits != nullptr;
    }

    ScriptedManager m_Manager;
};

} // namespace

TEST(PixmapToDIBTest, RowsAreStoredBottomUpPaddedWithZerosAndRedBlueSwappedAt24Bits)
{
    struct Case {
        int32_t pixelType;
        int bitCount;
        bool swap;
    };
    for (const Case c : {Case{FPixmap::PIXEL_24_RGB, 24, true}, Case{FPixmap::PIXEL_32_BGRA, 32, false},
                         Case{FPixmap::PIXEL_48_RGB, 48, false}}) {
        SCOPED_TRACE(c.pixelType);
        // Row bytes beyond the pixels, so their padding must not reach the bitmap.
        const TestPixmap<> pixmap = MakePixmap(c.pixelType, 101, 3, 5, 101 * (c.bitCount / 8) + 8);
        BITMAPINFOHEADER header;
        header.biClrUsed = 77;
        const DibBits dib(PixmapToDIB(pixmap.get(), &header));
        ASSERT_NE(dib.bits, nullptr);
        const size_t stored = size_t(DibRowBytes(101, c.bitCount));
        EXPECT_EQ(stored % 4, 0u);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biWidth, 101);
        EXPECT_EQ(header.biHeight, 3);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, c.bitCount);
        EXPECT_EQ(header.biCompression, 0u);
        EXPECT_EQ(header.biSizeImage, stored * 3);
        EXPECT_EQ(header.biClrUsed, 0u);
        const size_t pixelBytes = 101 * size_t(c.bitCount / 8);
        for (int32_t r = 0; r < 3; ++r) {
            std::vector<uint8_t> expected = pixmap.Row(r);
            if (c.swap)
                for (size_t i = 0; i < expected.size(); i += 3)
                    std::swap(expected[i], expected[i + 2]);
            expected.resize(stored, 0);
            const BYTE* row = dib.bits + (2 - r) * stored;
            EXPECT_EQ(std::vector<uint8_t>(row, row + stored), expected) << "picture row " << r;
        }
        EXPECT_GE(stored - pixelBytes, c.bitCount == 24 ? 1u : 0u);
    }
    EXPECT_EQ(DibRowBytes(101, 24), 304);

    const TestPixmap<> other = MakePixmap(FPixmap::PIXEL_48S_RGB, 4, 4);
    BITMAPINFOHEADER header;
    EXPECT_EQ(PixmapToDIB(other.get(), &header), nullptr);
    EXPECT_EQ(PixmapToDIB(nullptr, &header), nullptr);
}

TEST_F(DevelopToDIBTest, EachModeAsksForItsDevelopmentAndGivesItsPicture)
{
    struct Case {
        int mode;
        unsigned divisor;
        int32_t kind;
        FIntSize asked;
        int32_t format;
        int bitCount;
        FIntSize picture;
    };
    m_Manager.previewSize = FIntSize(94, 70);
    const Case cases[] = {
        {kDevelopPreview360, 1, kIPRequestPreview, {360, 360}, kDisplay, 32, {94, 70}},
        {kDevelopPreview600, 0, kIPRequestPreview, {600, 600}, kDisplay, 32, {94, 70}},
        {kDevelopPreview94, 1, kIPRequestPreview, {94, 94}, kDisplay, 32, {94, 70}},
        {kDevelopFull48, 1, kIPRequestDevelop, {400, 300}, kRGB48, 48, {400, 300}},
        {kDevelopFull24, 0, kIPRequestDevelop, {400, 300}, kRGB24, 24, {400, 300}},
        {kDevelopFull24, 2, kIPRequestDevelop, {200, 150}, kRGB24, 24, {200, 150}},
        {7, 3, kIPRequestDevelop, {133, 100}, kRGB24, 24, {133, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " divisor " + std::to_string(c.divisor));
        auto handle = ReadHandle();
        BITMAPINFOHEADER header;
        int size[2] = {};
        CET_ExifData info;
        const DibBits dib(KVR_DevelopHandleToDIB(handle.get(), &header, c.mode, c.divisor, nullptr, nullptr,
                                                 nullptr, &info, size));
        ASSERT_NE(dib.bits, nullptr) << KVR_GetLastError(handle.get());
        const SeenRequest& asked = m_Manager.Last();
        EXPECT_EQ(asked.kind, c.kind);
        EXPECT_EQ(asked.outputSize.width, c.asked.width);
        EXPECT_EQ(asked.outputSize.height, c.asked.height);
        EXPECT_EQ(asked.crop.right, c.asked.width);
        EXPECT_EQ(asked.crop.bottom, c.asked.height);
        EXPECT_EQ(asked.outputFormat, c.format);
        EXPECT_EQ(header.biBitCount, c.bitCount);
        EXPECT_EQ(header.biWidth, c.picture.width);
        EXPECT_EQ(header.biHeight, c.picture.height);
        EXPECT_EQ(size[0], 400);
        EXPECT_EQ(size[1], 300);
        EXPECT_EQ(info.GetImageWidth(), 400);
        EXPECT_EQ(info.GetImageHeight(), 300);
    }
}

TEST_F(DevelopToDIBTest, ARecordsKnownValuesReachTheDevelopmentAndAFilesSettingsStandWithoutOne)
{
    m_Manager.properties = {{"COLS", "40"}, {"ROWS", "30"}, {"rpExposureCompensation", "0.5000"}};
    CKVR_FilterData settings;
    settings.m_nExposure = 150;
    settings.m_nContrast = -25;
    settings.m_nHighlight = kKVRUnsetValue;
    settings.m_nFillLight = 40;
    settings.m_nCyan = 30;
    settings.m_nWhiteBalance = 2;
    ASSERT_TRUE(DevelopWith(&settings));
    const SeenRequest& asked = m_Manager.Last();
    EXPECT_EQ(asked.exposure, 1.5);
    EXPECT_EQ(asked.contrast, -0.25);
    EXPECT_EQ(asked.highlight, 0.0) << "an unknown value is not applied";
    EXPECT_EQ(asked.fillLight, 0.4);
    EXPECT_NEAR(asked.colorAdjust.r, 0.501187, 1e-6);
    EXPECT_EQ(asked.colorAdjust.g, 1.0);
    EXPECT_EQ(asked.whiteBalance, "") << "the record's white balance is the file's business";

    settings.m_nMagenta = kKVRUnsetValue;
    ASSERT_TRUE(DevelopWith(&settings));
    EXPECT_EQ(m_Manager.Last().colorAdjust.r, 1.0) << "an unknown density leaves the compensation alone";

    ASSERT_TRUE(DevelopWith(nullptr));
    EXPECT_EQ(m_Manager.Last().exposure, 0.5) << "the file's stored exposure";

    // A region takes its settings from the record alone.
    auto handle = ReadHandle();
    BITMAPINFOHEADER header;
    const DibBits dib(KVR_DevelopRegionToDIB(handle.get(), &header, 0, 0, RECT{}, nullptr, nullptr, nullptr));
    ASSERT_NE(dib.bits, nullptr);
    EXPECT_EQ(m_Manager.Last().exposure, 0.0);
}

TEST_F(DevelopToDIBTest, AnAutomaticRecordReceivesTheComputedValues)
{
    CKVR_FilterData settings;
    settings.m_nAuto = 1;
    settings.m_nSharpness = 80;
    settings.m_nWhiteBalance = 2;
    settings.m_nColorMode = 1;
    settings.m_nChromaNoise = 3;
    ASSERT_TRUE(DevelopWith(&settings));
    EXPECT_EQ(m_Manager.Count(kIPRequestAutoAdjust), 1);
    EXPECT_EQ(AutoFieldsOf(settings), kScriptedAutoFields);
    EXPECT_EQ(settings.m_nSharpness, 0);
    EXPECT_EQ(settings.m_nAuto, 1);
    EXPECT_EQ(settings.m_nWhiteBalance, 2);
    EXPECT_EQ(settings.m_nColorMode, 1);
    EXPECT_EQ(settings.m_nChromaNoise, 3);
}

TEST_F(DevelopToDIBTest, ARegionIsA24BitDevelopmentOfTheCropAtTheOutputSize)
{
    auto handle = ReadHandle();
    BITMAPINFOHEADER header;
    const DibBits dib(
        KVR_DevelopRegionToDIB(handle.get(), &header, 800, 600, RECT{100, 50, 300, 200}, nullptr, nullptr, nullptr));
    ASSERT_NE(dib.bits, nullptr);
    const SeenRequest& asked = m_Manager.Last();
    EXPECT_EQ(asked.kind, kIPRequestDevelop);
    EXPECT_EQ(asked.outputFormat, kRGB24);
    EXPECT_EQ(asked.outputSize.width, 800);
    EXPECT_EQ(asked.outputSize.height, 600);
    EXPECT_EQ(Sides(asked.crop), Sides(FIntRect(100, 50, 300, 200)));
    EXPECT_EQ(header.biWidth, 200);
    EXPECT_EQ(header.biHeight, 150);
    EXPECT_EQ(header.biBitCount, 24);
}

TEST_F(DevelopToDIBTest, FailedOrCancelledDevelopmentsGiveNoPicture)
{
    struct Case {
        const char* name;
        int32_t failKind;
        bool noPicture;
        int cancelAt;
        int mode;
    };
    const Case cases[] = {
        {"develop fails", kIPRequestDevelop, false, -1, 0},
        {"preview fails", kIPRequestPreview, false, -1, kDevelopPreview94},
        {"no picture", kIPRequestNone, true, -1, 3},
        {"cancelled", kIPRequestNone, false, 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedManager manager;
        manager.failKind = c.failKind;
        manager.noPicture = c.noPicture;
        if (c.cancelAt >= 0) {
            manager.pause = std::chrono::milliseconds(110);
            manager.developProgress = {0.1, 0.2, 0.3};
        }
        CKVR_ImageHandle handle(FString("/photos/a.kvr"), &manager);
        ASSERT_EQ(KVR_ReadProperties(&handle), 1);
        int cancelAt = c.cancelAt;
        const KVRProgressCallback stop = [](int percentage, void* user) {
            return percentage >= *static_cast<int*>(user) ? 0 : 1;
        };
        BITMAPINFOHEADER header;
        EXPECT_EQ(KVR_DevelopHandleToDIB(&handle, &header, c.mode, 1, nullptr, c.cancelAt >= 0 ? stop : nullptr,
                                         &cancelAt, nullptr, nullptr),
                  nullptr);
    }
    BITMAPINFOHEADER header;
    EXPECT_EQ(KVR_DevelopHandleToDIB(nullptr, &header, 0, 1, nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(KVR_ProcessToDIB(nullptr, &header, 94, 94), nullptr);
}

TEST_F(DevelopToDIBTest, APreviewIsWrappedInAPictureRecord)
{
    m_Manager.previewSize = FIntSize(9, 5);
    auto handle = ReadHandle();
    std::unique_ptr<CET_Dib> picture(KVR_ProcessToBitmap(handle.get(), 9, 9));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetWidth(), 9);
    EXPECT_EQ(picture->GetHeight(), 5);
    EXPECT_EQ(picture->GetBitCount(), 32);
    EXPECT_EQ(picture->size, 9u * 4 * 5);
    EXPECT_EQ(picture->header->bmiHeader.biSizeImage, picture->size);
    const FPixelClass32BGRA& pixel = *reinterpret_cast<const FPixelClass32BGRA*>(handle->GetResultPixmap()->GetRow(0));
    EXPECT_EQ(picture->GetPixel(0, 0), int(RGB(pixel.r, pixel.g, pixel.b))) << "the first row is the top";
}

TEST(ApplyFilterDataTest, TheRecordsKnownAdjustmentsAndCompensationGoIntoTheRequest)
{
    IPManagerData request;
    request.m_dShadow = 0.7;
    request.m_dChromaNoise = 0.25;
    request.m_sWBDesc = u"Shade";
    CKVR_FilterData settings;
    settings.m_nExposure = -75;
    settings.m_nShadow = kKVRUnsetValue;
    settings.m_nSaturation = 33;
    settings.m_nSharpness = 120;
    settings.m_nFillLight = 5;
    settings.m_nYellow = 30;
    settings.m_nChromaNoise = 8;
    settings.m_nWhiteBalance = 1;
    KVR_ApplyFilterDataToRequest(&request, &settings);
    EXPECT_EQ(request.m_dExposure, -0.75);
    EXPECT_EQ(request.m_dShadow, 0.7);
    EXPECT_EQ(request.m_dSaturation, 0.33);
    EXPECT_EQ(request.m_dSharpness, 1.2);
    EXPECT_EQ(request.m_dFillLight, 0.05);
    EXPECT_EQ(request.m_ColorAdjust.r, 1.0);
    EXPECT_NEAR(request.m_ColorAdjust.b, 0.501187, 1e-6);
    EXPECT_EQ(request.m_dChromaNoise, 0.25);
    EXPECT_EQ(request.m_sWBDesc, u"Shade");
    KVR_ApplyFilterDataToRequest(&request, nullptr);
    EXPECT_EQ(request.m_dExposure, -0.75);
}

TEST(RunRequestTest, ARequestsPictureIsWrappedAndAFailureGivesNone)
{
    struct Case {
        const char* name;
        int32_t failKind;
        bool noPicture;
        bool cancel;
        bool picture;
    };
    const Case cases[] = {
        {"done", kIPRequestNone, false, false, true},
        {"failed", kIPRequestDevelop, false, false, false},
        {"cancelled", kIPRequestNone, false, true, false},
        {"no picture", kIPRequestNone, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedManager manager;
        manager.failKind = c.failKind;
        manager.noPicture = c.noPicture;
        IPManagerData request;
        request.m_eKind = kIPRequestDevelop;
        request.m_OutputSize.Set(6, 4);
        request.m_Crop.Set(0, 0, 6, 4);
        request.m_eOutputFormat = kRGB24;
        request.m_Result.m_bCancel = c.cancel;
        std::unique_ptr<CET_Dib> picture(KVR_RunRequestToBitmap(&manager, &request));
        EXPECT_EQ(picture != nullptr, c.picture);
        if (picture) {
            EXPECT_EQ(picture->GetWidth(), 6);
            EXPECT_EQ(picture->GetBitCount(), 24);
            EXPECT_EQ(picture->size, 20u * 4); // 18 bytes of pixels a row, padded to 20
        }
    }
}

class DevelopFileTest : public TempFileTest {};

TEST_F(DevelopFileTest, APathThatIsNoRawFileGivesNoHandle)
{
    WriteFileBytes(PathOf("text.kvr"), "not a raw file");
    WriteFileBytes(PathOf("short.kvr"), "PD");
    std::filesystem::create_directories(PathOf("folder.kvr"));
    for (const char* name : {"folder.kvr", "missing.kvr", "text.kvr", "short.kvr"}) {
        SCOPED_TRACE(name);
        const FString path = PathFromNative(PathOf(name).string());
        EXPECT_EQ(KVR_CreateHandle(path.GetText()), nullptr);
        EXPECT_EQ(KVR_OpenHandle(path.GetText()), nullptr);
        BITMAPINFOHEADER header;
        EXPECT_EQ(KVR_DevelopFileToDIB(path.GetText(), &header, 4, 1, nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
        EXPECT_EQ(KVR_DevelopFileToBitmap(path.GetText(), 0, 1, nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
    }
    EXPECT_EQ(KVR_OpenHandle(nullptr), nullptr);
}
