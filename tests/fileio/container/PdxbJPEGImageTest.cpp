#include "fileio/container/PdxbJPEGImage.h"

#include <filesystem>

#include "foundation/FException.h"
#include "foundation/FSCDiskWin.h"
#include "support/ImageFileTest.h"
#include "support/PdxbBuilder.h"

using namespace testsupport;

namespace {

// Files the decodes staged and left behind in the private temporary folder.
std::vector<std::string> StagedFiles()
{
    std::vector<std::string> names;
    std::unique_ptr<char[]> folder = WideToAnsi(GetPrivateTempFolder().GetText());
    for (const auto& entry : std::filesystem::directory_iterator(folder.get()))
        if (entry.path().filename().string().rfind("__TempPdxJPG_", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

// The data of the only image section of a built container.
Bytes SectionData(const PdxbFile& file, int section, size_t headerSize, size_t dataSize)
{
    const auto from = file.bytes.begin() + static_cast<ptrdiff_t>(file.sectionOffsets.at(size_t(section)) + headerSize);
    return Bytes(from, from + static_cast<ptrdiff_t>(dataSize));
}

class PdxbJPEGImageTest : public ImageFileTest {};

// The section's header claims 1 x 1: the stream's own 40 x 30 is decoded.
TEST_F(PdxbJPEGImageTest, SectionDecodesAtItsStreamsSizeAndLeavesNoFile)
{
    const TestPixmap<> source = MakePixmap(FPixmap::PIXEL_24_RGB, 40, 30);
    const Bytes jpeg = EncodeJpeg(source.bytes, 40, 30, 3, {});
    PdxbBuilder builder;
    PdxbImageSpec desc;
    desc.pixelFormat = 18;
    desc.columns = 1;
    desc.rows = 1;
    desc.data = jpeg;
    const int section = builder.AddImage(desc);
    const Bytes data = SectionData(builder.Build(), section, 28, jpeg.size());
    ASSERT_EQ(data, jpeg);

    TestPixmap<> pixmap = MakePixmap(FPixmap::PIXEL_24_RGB, 48, 32, 3);
    const TestPixmap<> untouched = MakePixmap(FPixmap::PIXEL_24_RGB, 48, 32, 3);
    EXPECT_TRUE(ReadImageJPEG(data.data(), data.size(), pixmap.get()));
    const DecodedJpeg expected = DecodeJpeg(jpeg, 0);
    for (int32_t y = 0; y < 32; ++y) {
        const Bytes row = pixmap.Row(y);
        const Bytes before = untouched.Row(y);
        if (y < 30) {
            EXPECT_EQ(Bytes(row.begin(), row.begin() + 120),
                      Bytes(expected.pixels.begin() + y * 120, expected.pixels.begin() + (y + 1) * 120));
            EXPECT_EQ(Bytes(row.begin() + 120, row.end()), Bytes(before.begin() + 120, before.end()));
        } else {
            EXPECT_EQ(row, before);
        }
    }
    EXPECT_TRUE(StagedFiles().empty());
}

TEST_F(PdxbJPEGImageTest, RejectedStreamThrowsAndLeavesNoFile)
{
    const Bytes garbage = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02, 0x12, 0x34};
    TestPixmap<> pixmap = MakePixmap(FPixmap::PIXEL_24_RGB, 8, 8);
    EXPECT_THROW(ReadImageJPEG(garbage.data(), garbage.size(), pixmap.get()), FExceptionJPEG);
    EXPECT_THROW(ReadImageJPEG(garbage.data(), 0, pixmap.get()), FExceptionJPEG);
    const Bytes jpeg = EncodeJpeg(MakePixmap(FPixmap::PIXEL_24_RGB, 16, 16).bytes, 16, 16, 3, {});
    TestPixmap<> small = MakePixmap(FPixmap::PIXEL_24_RGB, 15, 16);
    EXPECT_THROW(ReadImageJPEG(jpeg.data(), jpeg.size(), small.get()), FExceptionJPEGPixmapTooSmall);
    EXPECT_TRUE(StagedFiles().empty());
}

} // namespace
