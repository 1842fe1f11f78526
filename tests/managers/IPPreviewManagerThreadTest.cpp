// Previews of raw files made from their embedded JPEG pictures, through a
// per-image worker with its loader and engine threads running.

#include "managers/IPPreviewManager.h"

#include "engine/chroma/ChromaBlur.h"
#include "engine/geometry/Rotate.h"
#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "managers/FIPMImage.h"
#include "managers/IPManager2.h"
#include "ManagerTestFiles.h"
#include "support/ImageFileTest.h"
#include "support/SyntheticCamera.h"

#include <cstdlib>
#include <utility>

using namespace testsupport;

namespace {

using Display = TestPixmap<FPixelClass32BGRA>;

// A display pixmap of decoded JPEG pixels (R, G, B per pixel).
Display DisplayOf(const DecodedJpeg& picture)
{
    Display display(int32_t(picture.columns), int32_t(picture.rows));
    for (uint32_t y = 0; y < picture.rows; ++y)
        for (uint32_t x = 0; x < picture.columns; ++x) {
            const uint8_t* rgb = &picture.pixels[(size_t(y) * picture.columns + x) * 3];
            *display.Get()->GetPixel(int32_t(x), int32_t(y)) = {rgb[2], rgb[1], rgb[0], 255};
        }
    return display;
}

// The largest difference of a colour channel between two display pixmaps of
// one size (alpha included).
int MaxDifference(const FPixmap& a, const FPixmap& b)
{
    EXPECT_EQ(a.m_iColumns, b.m_iColumns);
    EXPECT_EQ(a.m_iRows, b.m_iRows);
    int worst = 0;
    for (int32_t y = 0; y < std::min(a.m_iRows, b.m_iRows); ++y)
        for (int32_t x = 0; x < 4 * std::min(a.m_iColumns, b.m_iColumns); ++x)
            worst = std::max(worst, std::abs(int(a.GetRow(y)[x]) - int(b.GetRow(y)[x])));
    return worst;
}

// Fine red and green stripes: chroma detail that the display blur softens.
Bytes StripedPixels(int columns, int rows)
{
    Bytes pixels(size_t(columns) * rows * 3);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            uint8_t* p = &pixels[(size_t(y) * columns + x) * 3];
            const bool red = (x / 3) % 2 == 0;
            p[0] = red ? 200 : 40;
            p[1] = red ? 40 : 200;
            p[2] = 60;
        }
    return pixels;
}

Bytes FlatPixels(int columns, int rows, uint8_t r, uint8_t g, uint8_t b)
{
    Bytes pixels(size_t(columns) * rows * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
    return pixels;
}

struct EmbeddedPicture {
    int columns;
    int rows;
    Bytes pixels;
};

PdxbImageSpec EmbeddedJpeg(const Bytes& jpeg, int columns, int rows)
{
    PdxbImageSpec section;
    section.kind = 2;
    section.pixelFormat = 18; // JPEG
    section.columns = uint32_t(columns);
    section.rows = uint32_t(rows);
    section.data = jpeg;
    return section;
}

class IPPreviewManagerTest : public PdxbFileTest {
protected:
    // A small raw file carrying the given embedded pictures as JPEGs.
    FString WriteRawWithPreviews(const std::vector<EmbeddedPicture>& pictures, const std::string& name,
                                 uint32_t rotation = 0)
    {
        RawFileLayout layout;
        layout.rotation = rotation;
        layout.idSeed = uint8_t(0x40 + m_iFiles++);
        PdxbHeaderSpec header;
        for (int i = 0; i < 16; ++i)
            header.uniqueId[size_t(i)] = uint8_t(layout.idSeed + i);
        header.columns = layout.columns;
        header.rows = layout.rows;
        header.rotation = rotation;
        PdxbBuilder builder(header);
        PdxbPropertySpec properties;
        properties.pairs = layout.properties;
        builder.AddProperties(properties);
        builder.AddImage(ManagerRgbImage(1, layout.columns, layout.rows, 11));
        builder.AddImage(ManagerRgbImage(0, layout.columns, layout.rows, 5));
        for (const EmbeddedPicture& picture : pictures)
            builder.AddImage(EmbeddedJpeg(EncodeJpeg(picture.pixels, picture.columns, picture.rows, 3, {}),
                                          picture.columns, picture.rows),
                             kPdxbIma2);
        return Write(builder.Build(), name);
    }

    // Asks for a preview of the whole picture at the size, crop the whole.
    int32_t AskPreview(IPManagerData& request, const FString& url, int32_t width, int32_t height)
    {
        request.SetURL(url);
        request.m_eKind = kIPRequestPreview;
        request.m_eOutputFormat = kDisplay;
        request.m_OutputSize.Set(width, height);
        request.m_Crop.Set(0, 0, width, height);
        return RunRequest(m_Worker, request);
    }

    static const FPixmap& PixmapOf(const IPManagerData& request) { return *request.m_pResultImage->GetPixmap(); }

    IPManager2 m_Worker;
    int m_iFiles = 0;
};

TEST_F(IPPreviewManagerTest, TheSyntheticCamerasPreviewIsItsEmbeddedJpegSoftenedAndTurnedByItsRotation)
{
    SyntheticOptions options;
    options.noise = false;
    const SyntheticRaw shot = MakeSyntheticRaw(options);
    const FString url = Write(shot.file, "upright.kvr");
    options.rotation = 90;
    const FString turnedUrl = Write(MakeSyntheticRaw(options).file, "turned.kvr");

    // The embedded preview has the output's size (below 250000 pixels):
    // converted, softened, then scaled 1:1.
    const DecodedJpeg embedded = DecodeJpeg(shot.previewJpeg, 0);
    const int32_t w = int32_t(embedded.columns), h = int32_t(embedded.rows);
    ASSERT_EQ(uint32_t(w), shot.truth.outputColumns);
    ASSERT_LT(w * h, 250000);
    Display expected = DisplayOf(embedded);
    ChromaBlurDisplayPixmap(expected.get(), 1200, 1200, 1200, 12);

    IPManagerData upright;
    ASSERT_EQ(AskPreview(upright, url, w, h), kIPStatusDone) << ResultText(upright);
    EXPECT_EQ(PixmapOf(upright).GetPixelType(), FPixmap::PIXEL_32_BGRA);
    EXPECT_LE(MaxDifference(PixmapOf(upright), *expected.get()), 2);
    const FPropTree* props = upright.m_pResultImage->GetProperties();
    ASSERT_NE(props, nullptr);
    EXPECT_EQ(Utf8FromWide(props->m_sName), "Props");
    EXPECT_EQ(Value(*props, "Filename"), Utf8FromWide(url));
    EXPECT_EQ(Value(*props, "COLS"), std::to_string(w));

    // A quarter turn: asked at the turned size, the picture comes back with
    // width and height swapped and the request describes the turned result.
    Display turnedExpected(h, w);
    Rotate(expected.get(), turnedExpected.get(), 90);
    IPManagerData turned;
    ASSERT_EQ(AskPreview(turned, turnedUrl, h, w), kIPStatusDone) << ResultText(turned);
    EXPECT_EQ(turned.m_OutputSize.width, h);
    EXPECT_EQ(turned.m_OutputSize.height, w);
    EXPECT_EQ(turned.m_Crop.left, 0);
    EXPECT_EQ(turned.m_Crop.top, 0);
    EXPECT_EQ(turned.m_Crop.right, h);
    EXPECT_EQ(turned.m_Crop.bottom, w);
    EXPECT_LE(MaxDifference(PixmapOf(turned), *turnedExpected.get()), 2);
}

TEST_F(IPPreviewManagerTest, TheSmallestCoveringPictureIsChosenElseTheLargestSmallerOne)
{
    // Each picture a flat colour of its own, so the result shows which was used.
    const FString url = WriteRawWithPreviews(
        {{320, 213, FlatPixels(320, 213, 250, 20, 20)}, {1536, 1024, FlatPixels(1536, 1024, 20, 20, 250)}},
        "two.kvr");
    const FString smallOnly = WriteRawWithPreviews({{320, 213, FlatPixels(320, 213, 250, 20, 20)}}, "one.kvr");
    struct Case {
        FString url;
        int32_t width, height;
        bool blue;            // the 1536 x 1024 picture
        int32_t fittedWidth;  // the asked size fitted to the picture's shape, truncated
    };
    for (const Case& c : {Case{url, 640, 427, true, 640}, Case{url, 2000, 1333, true, 1999},
                          Case{url, 200, 133, false, 199}, Case{smallOnly, 640, 427, false, 640}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        IPManagerData request;
        ASSERT_EQ(AskPreview(request, c.url, c.width, c.height), kIPStatusDone) << ResultText(request);
        const FPixmap& pixmap = PixmapOf(request);
        EXPECT_EQ(pixmap.m_iColumns, c.fittedWidth);
        EXPECT_EQ(request.m_OutputSize.width, c.fittedWidth);
        const FPixelClass32BGRA centre = *static_cast<const FPixelClass32BGRA*>(
            static_cast<const void*>(pixmap.GetRow(pixmap.m_iRows / 2) + 4 * (pixmap.m_iColumns / 2)));
        EXPECT_EQ(centre.b > centre.r, c.blue);
        EXPECT_EQ(centre.a, 255);
    }
}

TEST_F(IPPreviewManagerTest, OnlyPicturesBelowTheSizeLimitAreSoftened)
{
    // 600 x 400 = 240000 pixels is below 250000; 640 x 427 = 273280 is not.
    for (const auto& [columns, rows, softened] : {std::tuple{600, 400, true}, std::tuple{640, 427, false}}) {
        SCOPED_TRACE(testing::Message() << columns << " x " << rows);
        const Bytes pixels = StripedPixels(columns, rows);
        const std::string name = std::to_string(columns) + ".kvr";
        const FString url = WriteRawWithPreviews({{columns, rows, pixels}}, name);
        const Display plain = DisplayOf(DecodeJpeg(EncodeJpeg(pixels, columns, rows, 3, {}), 0));
        IPManagerData request;
        ASSERT_EQ(AskPreview(request, url, columns, rows), kIPStatusDone) << ResultText(request);
        const int difference = MaxDifference(PixmapOf(request), *plain.get());
        if (softened)
            EXPECT_GT(difference, 20);
        else
            EXPECT_LE(difference, 2);
    }
}

TEST_F(IPPreviewManagerTest, TheSamePreviewIsServedFromTheCache)
{
    const FString url = WriteRawWithPreviews({{320, 213, StripedPixels(320, 213)}}, "cached.kvr");
    IPManagerData first, second;
    ASSERT_EQ(AskPreview(first, url, 160, 106), kIPStatusDone) << ResultText(first);
    ASSERT_EQ(AskPreview(second, url, 160, 106), kIPStatusDone) << ResultText(second);
    // One cache entry behind both results.
    EXPECT_EQ(PixmapOf(first).GetRow(0), PixmapOf(second).GetRow(0));
    int previews = 0;
    for (const FString& label : GetGlobalCache()->GetLabels())
        previews += label.Find(FString("-IPManagerPreview-")) != nullptr && label.Find(FString("cached.kvr")) != nullptr;
    EXPECT_EQ(previews, 1);
}

TEST_F(IPPreviewManagerTest, RequestsThatCannotBeServedFailWithTheirCode)
{
    SyntheticOptions options;
    options.previews = false;
    const FString bare = Write(MakeSyntheticRaw(options).file, "bare.kvr");
    const FString url = WriteRawWithPreviews({{320, 213, StripedPixels(320, 213)}}, "bad.kvr");

    IPManagerData none;
    EXPECT_EQ(AskPreview(none, bare, 320, 213), kIPStatusError);
    EXPECT_EQ(none.m_Result.m_eError, kIPErrorNoPreview);
    EXPECT_EQ(ResultText(none), "No preview images found in image file");
    EXPECT_EQ(none.m_pResultImage, nullptr);

    struct Case {
        const char* what;
        int32_t format;
        FIntSize size;
        FIntRect crop;
    };
    for (const Case& c : {Case{"not for display", kRGB24, {320, 213}, {0, 0, 320, 213}},
                          Case{"no size", kDisplay, {0, 0}, {0, 0, 0, 0}},
                          Case{"crop beyond the picture", kDisplay, {320, 213}, {320, 0, 400, 213}},
                          Case{"inverted crop", kDisplay, {320, 213}, {100, 100, 50, 50}}}) {
        SCOPED_TRACE(c.what);
        IPManagerData request;
        request.SetURL(url);
        request.m_eKind = kIPRequestPreview;
        request.m_eOutputFormat = c.format;
        request.m_OutputSize = c.size;
        request.m_Crop = c.crop;
        EXPECT_EQ(RunRequest(m_Worker, request), kIPStatusError);
        EXPECT_EQ(request.m_Result.m_eError, kIPErrorBadParameter) << ResultText(request);
        EXPECT_FALSE(m_Worker.IsBusy());
    }
}

} // namespace
