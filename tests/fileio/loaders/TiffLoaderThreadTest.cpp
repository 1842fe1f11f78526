// The TIFF file loader on files written by the TIFF line writer, driven like
// the data retriever drives it.

#include "fileio/codecs/FTiffImageReader.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "fileio/loaders/TiffLoader.h"
#include "foundation/FPropTree.h"
#include "support/ImageFileTest.h"
#include "support/LoaderDriver.h"

#include <memory>
#include <string>

using namespace testsupport;

namespace {

constexpr int32_t kColumns = 64;
constexpr int32_t kRows = 48;

class TiffLoaderTest : public LoaderTest<ImageFileTest, CreateTiffLoader> {
protected:
    FString WriteTiff(const std::string& name)
    {
        const FString url = UrlOf(name);
        const TestPixmap picture = MakePixmap(FPixmap::PIXEL_48_RGB, kColumns, kRows, 3);
        FTiffLineWriter writer(url, false);
        writer.SetDimensions(kColumns, kRows, FPixmap::PIXEL_48_RGB);
        for (int32_t y = 0; y < kRows; ++y)
            writer.WriteLine(picture->GetRow(y), FPixmap::PIXEL_48_RGB);
        return url;
    }
};

} // namespace

TEST_F(TiffLoaderTest, CountsFiveImagesOfAnOpenableFile)
{
    auto count = NewLoaderRequest(WriteTiff("picture.tif"), LOADER_REQUEST_COUNT_IMAGES);
    EXPECT_EQ(Drive(*count), LOADER_STATUS_DONE);
    EXPECT_EQ(count->GetIndexWord(), 5);

    auto missing = NewLoaderRequest(UrlOf("absent.tif"), LOADER_REQUEST_COUNT_IMAGES);
    EXPECT_EQ(Drive(*missing), LOADER_STATUS_ERROR);
    EXPECT_EQ(missing->GetError(), LOADER_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorTextOf(*missing), Utf8FromWide(UrlOf("absent.tif")));
}

// Indexes 1 to 4 are the reduced levels; any other is full size.
TEST_F(TiffLoaderTest, DescribesAndLoadsEveryLevel)
{
    const FString url = WriteTiff("picture.tif");
    ExpectEveryScaleLoads<FTiffImageReader>(
        *m_pLoader, url, FPixmap::PIXEL_48_RGB, FPixmap::PIXEL_48_RGB,
        {{0, 0, 64, 48}, {1, 1, 32, 24}, {2, 2, 16, 12}, {3, 3, 8, 6}, {4, 4, 4, 3}, {5, 0, 64, 48}});
    // Level 0 is the file's own pixels.
    TestPixmap full = MakePixmap(FPixmap::PIXEL_48_RGB, kColumns, kRows, 1);
    auto load = NewLoaderRequest(url, LOADER_REQUEST_LOAD_IMAGE);
    load->SetPixmap(full.get());
    ASSERT_EQ(Drive(*load), LOADER_STATUS_DONE);
    EXPECT_EQ(full.bytes, MakePixmap(FPixmap::PIXEL_48_RGB, kColumns, kRows, 3).bytes);
}

// A compressed copy (made by tiffcp, strips of 5 rows) loads at every level
// as the uncompressed original does; a strip that does not decode is the
// reader's error, not a generic one.
TEST_F(TiffLoaderTest, CompressedCopiesLoadLikeTheOriginal)
{
    if (!ToolAvailable("tiffcp"))
        GTEST_SKIP() << "tiffcp is not installed";
    const FString url = WriteTiff("picture.tif");
    for (const char* codec : {"packbits", "zip", "lzw"}) {
        SCOPED_TRACE(codec);
        ASSERT_EQ(RunTool(std::string("tiffcp -c ") + codec + " -r 5 " + PathOf("picture.tif").string() + " " +
                          PathOf("packed.tif").string())
                      .status,
                  0);
        for (uint32_t index = 1; index <= 4; ++index) {
            const uint32_t columns = kColumns >> index, rows = kRows >> index;
            TestPixmap loaded = MakePixmap(FPixmap::PIXEL_48_RGB, int32_t(columns), int32_t(rows), 1);
            auto load = NewLoaderRequest(UrlOf("packed.tif"), LOADER_REQUEST_LOAD_IMAGE);
            load->SetIndexWord(index);
            load->SetPixmap(loaded.get());
            ASSERT_EQ(Drive(*load), LOADER_STATUS_DONE) << ErrorTextOf(*load);
            TestPixmap expected = MakePixmap(FPixmap::PIXEL_48_RGB, int32_t(columns), int32_t(rows), 1);
            FTiffImageReader original(url);
            original.SetScale(int32_t(index));
            original.ReadImage(expected.get());
            EXPECT_EQ(loaded.bytes, expected.bytes) << index;
        }
    }

    // The LZW copy, last made: its code stream cannot take a run of 0xFF bytes.
    Bytes file = FileBytes("packed.tif");
    const auto directory = ReadTiffDirectory(file);
    const uint32_t secondStrip = TiffNumber(file, directory.at(273), 1);
    std::fill_n(file.begin() + secondStrip, TiffNumber(file, directory.at(279), 1), uint8_t(0xFF));
    WriteBytes("damaged.tif", file);
    TestPixmap pixmap = MakePixmap(FPixmap::PIXEL_48_RGB, kColumns / 2, kRows / 2, 1);
    auto damaged = NewLoaderRequest(UrlOf("damaged.tif"), LOADER_REQUEST_LOAD_IMAGE);
    damaged->SetIndexWord(1);
    damaged->SetPixmap(pixmap.get());
    EXPECT_EQ(Drive(*damaged), LOADER_STATUS_ERROR);
    EXPECT_EQ(damaged->GetError(), LOADER_ERROR_READER_EXCEPTION);
    EXPECT_EQ(ErrorTextOf(*damaged).rfind("TiffLoader: ", 0), 0u) << ErrorTextOf(*damaged);
}

TEST_F(TiffLoaderTest, PropertiesCarryTheSizeBasedIdentity)
{
    const FString url = WriteTiff("picture.tif");
    FPropTree tree(nullptr, "ImageProps");
    ExpectCodecFileProperties(*m_pLoader, url, FileBytes("picture.tif").size(), kColumns, kRows, tree);
}

TEST_F(TiffLoaderTest, RequestsTheFormatCannotAnswer)
{
    const FString url = WriteTiff("picture.tif");
    FPropTree tree(nullptr, "ImageProps");

    auto camfile = NewLoaderRequest(url, LOADER_REQUEST_LOAD_CAMFILE);
    EXPECT_EQ(Drive(*camfile), LOADER_STATUS_DONE);
    EXPECT_EQ(camfile->GetIndexWord(), 0);

    const struct {
        int kind;
        FPropTree* tree;
        const char* text;
    } cases[] = {
        {LOADER_REQUEST_LOAD_CAMB_FILE, nullptr, "TiffLoader:Request - invalid request."},
        {9, nullptr, "TiffLoader:Request - invalid request."},
        {LOADER_REQUEST_MODIFY_PROPERTIES, &tree, "TiffLoader:HandleRequest - invalid request."},
        {LOADER_REQUEST_GET_UNIQUE_ID, nullptr, "TiffLoader: Property list pointer is NULL"},
    };
    for (const auto& c : cases) {
        auto request = NewLoaderRequest(url, c.kind);
        request->SetPropTree(c.tree);
        EXPECT_EQ(Drive(*request), LOADER_STATUS_ERROR) << c.kind;
        EXPECT_EQ(request->GetError(), LOADER_ERROR_BAD_REQUEST) << c.kind;
        EXPECT_EQ(ErrorTextOf(*request), c.text);
    }

    // A file the TIFF library cannot open is reported as not found, and the
    // pixmap of a load that fails is the only thing touched.
    WriteBytes("corrupt.tif", Bytes(64, 0x2A));
    TestPixmap pixmap = MakePixmap(FPixmap::PIXEL_48_RGB, 4, 4, 5);
    const Bytes before = pixmap.bytes;
    auto corrupt = NewLoaderRequest(UrlOf("corrupt.tif"), LOADER_REQUEST_LOAD_IMAGE);
    corrupt->SetPixmap(pixmap.get());
    EXPECT_EQ(Drive(*corrupt), LOADER_STATUS_ERROR);
    EXPECT_EQ(corrupt->GetError(), LOADER_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(pixmap.bytes, before);
}
