// The JPEG file loader on files written by the JPEG line writer, driven like
// the data retriever drives it.

#include "fileio/codecs/FJPEGImageReader.h"
#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/loaders/JPEGLoader.h"
#include "foundation/FPropTree.h"
#include "support/ImageFileTest.h"
#include "support/LoaderDriver.h"

#include <memory>
#include <string>

using namespace testsupport;

namespace {

constexpr int32_t kColumns = 64;
constexpr int32_t kRows = 48;

class JPEGLoaderTest : public LoaderTest<ImageFileTest, CreateJPEGLoader> {
protected:
    FString WriteJpeg(const std::string& name)
    {
        const FString url = UrlOf(name);
        const TestPixmap picture = MakePixmap(FPixmap::PIXEL_24_RGB, kColumns, kRows, 7);
        FJPEGLineWriter writer(url, 10, true);
        writer.SetDimensions(kColumns, kRows, FPixmap::PIXEL_24_RGB);
        for (int32_t y = 0; y < kRows; ++y)
            writer.WriteLine(picture->GetRow(y), FPixmap::PIXEL_24_RGB);
        return url;
    }
};

} // namespace

TEST_F(JPEGLoaderTest, CountsFourImagesWithoutOpeningTheFile)
{
    auto count = NewLoaderRequest(UrlOf("absent.jpg"), LOADER_REQUEST_COUNT_IMAGES);
    m_pLoader->Request(count.get());
    EXPECT_EQ(count->GetStatus(), LOADER_STATUS_DONE);
    EXPECT_EQ(count->GetIndexWord(), 4);
}

// Indexes 1 to 3 are the reductions by 2, 4 and 8; any other is full size.
TEST_F(JPEGLoaderTest, DescribesAndLoadsEveryReduction)
{
    const FString url = WriteJpeg("picture.jpg");
    ExpectEveryScaleLoads<FJPEGImageReader>(
        *m_pLoader, url, FPixmap::PIXEL_24_RGB, FPixmap::PIXEL_32_BGRA,
        {{0, 0, 64, 48}, {1, 1, 32, 24}, {2, 2, 16, 12}, {3, 3, 8, 6}, {4, 0, 64, 48}, {-1, 0, 64, 48}});
}

TEST_F(JPEGLoaderTest, PublishesSizeAndTheSizeBasedIdentity)
{
    const FString url = WriteJpeg("picture.jpg");
    FPropTree tree(nullptr, "ImageProps");
    ExpectCodecFileProperties(*m_pLoader, url, FileBytes("picture.jpg").size(), kColumns, kRows, tree);
    EXPECT_EQ(ValueOf(tree, "COLS"), "64");
    EXPECT_EQ(ValueOf(tree, "ROWS"), "48");
}

TEST_F(JPEGLoaderTest, FailuresBecomeStatusAndErrorCodes)
{
    const FString goodUrl = WriteJpeg("picture.jpg");
    const FString missingUrl = UrlOf("missing.jpg");
    const std::string missingText = Utf8FromWide(missingUrl);
    WriteBytes("corrupt.jpg", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});
    const FString corruptUrl = UrlOf("corrupt.jpg");
    WriteBytes("cmyk.jpg", EncodeJpeg(Bytes(8 * 8 * 4, 0x40), 8, 8, 4, JpegEncodeOptions{.colorSpace = 4}));
    const FString cmykUrl = UrlOf("cmyk.jpg");
    const std::string unknownType = std::string("JPEGLoader: ") + FExceptionUnknownPixelType().GetDescription() + " (";
    TestPixmap small = MakePixmap(FPixmap::PIXEL_24_RGB, 8, 8);
    FPropTree tree(nullptr, "ImageProps");

    struct Case {
        FString url;
        int kind;
        FPixmap* pixmap;
        FPropTree* tree;
        int error;
        std::string text; // a prefix when it ends in "("
    };
    const Case cases[] = {
        {goodUrl, LOADER_REQUEST_LOAD_CAMFILE, nullptr, nullptr, LOADER_ERROR_BAD_REQUEST,
         "JPEGLoader:Request - jpegs don't have camfiles."},
        {goodUrl, LOADER_REQUEST_LOAD_CAMB_FILE, nullptr, nullptr, LOADER_ERROR_BAD_REQUEST,
         "JPEGLoader:Request - invalid request."},
        {goodUrl, 7, nullptr, nullptr, LOADER_ERROR_BAD_REQUEST, "JPEGLoader:Request - invalid request."},
        {goodUrl, LOADER_REQUEST_MODIFY_PROPERTIES, nullptr, &tree, LOADER_ERROR_BAD_REQUEST,
         "JPEGLoader:HandleRequest - invalid request."},
        {goodUrl, LOADER_REQUEST_GET_PROPERTIES, nullptr, nullptr, LOADER_ERROR_BAD_REQUEST,
         "JPEGLoader: Property list pointer is NULL"},
        {goodUrl, LOADER_REQUEST_LOAD_IMAGE, small.get(), nullptr, LOADER_ERROR_READER_EXCEPTION,
         "JPEGLoader: Pixmap too small. ("},
        {missingUrl, LOADER_REQUEST_LOAD_IMAGE, small.get(), nullptr, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {missingUrl, LOADER_REQUEST_GET_UNIQUE_ID, nullptr, &tree, LOADER_ERROR_FILE_NOT_FOUND, missingText},
        {cmykUrl, LOADER_REQUEST_LOAD_IMAGE, nullptr, nullptr, LOADER_ERROR_EXCEPTION, unknownType},
        {corruptUrl, LOADER_REQUEST_GET_PROPERTIES, nullptr, &tree, LOADER_ERROR_READER_EXCEPTION,
         "JPEGLoader: General JPEG I/O exception ("},
    };
    for (const Case& c : cases) {
        auto request = NewLoaderRequest(c.url, c.kind);
        request->SetPixmap(c.pixmap);
        if (c.tree)
            request->SetPropTree(c.tree);
        EXPECT_EQ(Drive(*request), LOADER_STATUS_ERROR) << "kind " << c.kind;
        EXPECT_EQ(request->GetError(), c.error) << "kind " << c.kind;
        const std::string text = ErrorTextOf(*request);
        if (!c.text.empty() && c.text.back() == '(')
            EXPECT_EQ(text.rfind(c.text, 0), 0u) << text;
        else
            EXPECT_EQ(text, c.text);
    }

    auto after = NewLoaderRequest(goodUrl, LOADER_REQUEST_LOAD_IMAGE);
    EXPECT_EQ(Drive(*after), LOADER_STATUS_DONE);
}
