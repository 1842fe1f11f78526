#include "fileio/codecs/JPEGIO.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FString.h"
#include "support/MemoryFile.h"
#include "support/TempFileTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testsupport::MemoryFile;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

uint8_t Sample(int x, int y, int c) { return static_cast<uint8_t>(x * 2 + y + c * 30); }

// Writes a gradient with one APP1 marker and a comment that the reader skips
// (longer than one input block); throws what the codec throws.
void WriteJpeg(FIFile* stream, int width = kWidth, int height = kHeight)
{
    FJPEGCompressor codec(stream);
    jpeg_compress_struct* c = codec.Get();
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    c->input_components = 3;
    c->in_color_space = JCS_RGB;
    jpeg_set_defaults(c);
    jpeg_set_quality(c, 95, TRUE);
    jpeg_start_compress(c, TRUE);
    const char app1[] = "Exif\0\0test";
    jpeg_write_marker(c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1), sizeof app1 - 1);
    const std::vector<JOCTET> comment(10000, 'c');
    jpeg_write_marker(c, JPEG_COM, comment.data(), static_cast<unsigned>(comment.size()));
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int ch = 0; ch < 3; ++ch)
                row[static_cast<size_t>(x * 3 + ch)] = Sample(x, y, ch);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(c, rows, 1);
    }
    jpeg_finish_compress(c);
}

struct Decoded {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    std::string app1;
};

Decoded ReadJpeg(FIFile* stream)
{
    FJPEGDecompressor codec(stream);
    jpeg_decompress_struct* d = codec.Get();
    jpeg_read_header(d, TRUE);
    Decoded out;
    if (d->marker_list && d->marker_list->marker == JPEG_APP0 + 1)
        out.app1.assign(reinterpret_cast<const char*>(d->marker_list->data), d->marker_list->data_length);
    jpeg_start_decompress(d);
    out.width = static_cast<int>(d->output_width);
    out.height = static_cast<int>(d->output_height);
    const size_t rowBytes = static_cast<size_t>(out.width) * d->output_components;
    out.pixels.resize(rowBytes * out.height);
    while (d->output_scanline < d->output_height) {
        JSAMPROW rows[1] = {out.pixels.data() + rowBytes * d->output_scanline};
        jpeg_read_scanlines(d, rows, 1);
    }
    jpeg_finish_decompress(d);
    return out;
}

class JPEGIOTest : public testsupport::TempFileTest {
protected:
    FFilePtr Open(const std::string& name, int flags) { return FFilePtr(OpenFileByURL(UrlOf(name), flags)); }
};

TEST_F(JPEGIOTest, WritesAndReadsThroughFiles)
{
    {
        FFilePtr out = Open("a.jpg", FIFile::OPEN_READ | FIFile::OPEN_WRITE);
        ASSERT_TRUE(out);
        WriteJpeg(out.get());
    }
    FFilePtr in = Open("a.jpg", FIFile::OPEN_READ);
    ASSERT_TRUE(in);
    const Decoded image = ReadJpeg(in.get());
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    EXPECT_EQ(image.app1, std::string("Exif\0\0test", 10));
    int worst = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int ch = 0; ch < 3; ++ch)
                worst = std::max(worst, std::abs(int(image.pixels[static_cast<size_t>((y * kWidth + x) * 3 + ch)]) -
                                                 int(Sample(x, y, ch))));
    EXPECT_LE(worst, 24);
}

TEST_F(JPEGIOTest, EmptyFileFailsAtOnce)
{
    testsupport::WriteFileBytes(m_Dir.Path() / "empty.jpg", "");
    FFilePtr in = Open("empty.jpg", FIFile::OPEN_READ);
    ASSERT_TRUE(in);
    try {
        FJPEGDecompressor codec(in.get());
        jpeg_read_header(codec.Get(), TRUE);
        FAIL() << "an empty file must not decode";
    } catch (const FExceptionJPEG& e) {
        EXPECT_STREQ(e.GetMessage(), "Empty input file");
    }
}

TEST_F(JPEGIOTest, FileCutShortDecodesToTheEnd)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    {
        FFilePtr out(new MemoryFile(bytes));
        WriteJpeg(out.get(), 256, 256);
    }
    const size_t whole = bytes->size();
    bytes->resize(whole - whole / 4); // cut inside the scan data
    FFilePtr in(new MemoryFile(bytes));
    Decoded image;
    EXPECT_NO_THROW(image = ReadJpeg(in.get()));
    EXPECT_EQ(image.height, 256);
}

TEST_F(JPEGIOTest, CorruptDataThrowsAndTheCodecStaysDestroyable)
{
    auto bytes = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x02,
                                                                             0xFF, 0xFF, 0x12, 0x34});
    FFilePtr in(new MemoryFile(bytes));
    EXPECT_THROW(ReadJpeg(in.get()), FExceptionJPEG);
}

// A full disk (or any failed write) must fail the codec: a truncated file can
// never be taken for a finished one.
TEST_F(JPEGIOTest, FailedWritesFailTheCodec)
{
    for (int64_t limit : {int64_t(0), int64_t(100), int64_t(5000)}) {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        FFilePtr out(new MemoryFile(bytes, limit));
        try {
            WriteJpeg(out.get(), 256, 256);
            FAIL() << "a write limited to " << limit << " bytes must fail";
        } catch (const FExceptionJPEG& e) {
            EXPECT_STREQ(e.GetMessage(), "Output file write error --- out of disk space?");
        }
    }
    // A real file on a "disk" that fills up after 3000 bytes.
    FFilePtr file = Open("full.jpg", FIFile::OPEN_READ | FIFile::OPEN_WRITE);
    ASSERT_TRUE(file);
    testsupport::ScopedFileSizeLimit fullDisk(3000);
    EXPECT_THROW(WriteJpeg(file.get(), 256, 256), FExceptionJPEG);
}

} // namespace
