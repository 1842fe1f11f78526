#include "fileio/metadata/Exif.h"
#include "fileio/metadata/FPardexTag.h"
#include "fileio/codecs/TiffIO.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"
#include "support/MemoryFile.h"
#include "support/TempFileTest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

using testsupport::MemoryFile;

uint16_t U16LE(const std::string& b, size_t at) { return static_cast<uint16_t>(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); }
uint32_t U32LE(const std::string& b, size_t at) { return U16LE(b, at) | uint32_t(U16LE(b, at + 2)) << 16; }

struct FileEntry {
    uint16_t type;
    uint32_t count;
    uint32_t field;
};

// The first directory of a little-endian TIFF file, by tag.
std::map<uint16_t, FileEntry> FirstDirectory(const std::string& file)
{
    std::map<uint16_t, FileEntry> entries;
    if (file.size() < 8 || file.compare(0, 2, "II") != 0)
        return entries;
    const uint32_t ifd = U32LE(file, 4);
    const uint16_t count = U16LE(file, ifd);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t e = ifd + 2 + 12 * size_t(i);
        entries[U16LE(file, e)] = {U16LE(file, e + 2), U32LE(file, e + 4), U32LE(file, e + 8)};
    }
    return entries;
}

void SetGreyImage(TIFF* tif, uint32_t width, uint32_t height)
{
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
}

// All rows of a grey image; false when a row could not be written.
bool WriteGreyRows(TIFF* tif, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> row(width);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            row[x] = static_cast<uint8_t>(x + 7 * y);
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0)
            return false;
    }
    return true;
}

class TiffIOTest : public testsupport::TempFileTest {
protected:
    std::string Bytes(const std::string& name) const { return testsupport::ReadFileBytes(PathOf(name)); }
};

TEST_F(TiffIOTest, PrivateTagAndRelocatedExifBlock)
{
    FPardexTag payload;
    payload.SetString(PardexKey("sssd"), "1/250");
    payload.SetString(PardexKey("came"), "SN0001");
    std::vector<uint8_t> words;
    uint32_t length = 0;
    ASSERT_TRUE(payload.GetBuffer(words, length, true));

    FPropTree props(nullptr, "props");
    props.AddPair("CAMMANUF", "TALVO");
    props.AddPair("CAMSERIAL", "SN0001");
    props.AddPair("FIRMVERS", "1.2.0.3");
    props.AddPair("SH_DESC", "1/250");
    std::vector<uint8_t> exif(65535, 0xFF);
    const uint32_t exifLength = BuildExif(exif.data(), exif.size(), 0, props, 16, 4);

    TIFF* tif = TiffOpenFile(UrlOf("a.tif"), "w");
    ASSERT_NE(tif, nullptr);
    SetGreyImage(tif, 16, 4);
    ASSERT_TRUE(TIFFSetField(tif, TIFFTAG_PARDEX, length / 4, words.data()));
    ASSERT_TRUE(TiffWriteExifBlock(tif, exif.data(), exifLength));
    ASSERT_TRUE(WriteGreyRows(tif, 16, 4));
    EXPECT_FALSE(TiffWriteExifBlock(tif, exif.data(), exifLength)); // strips have begun
    ASSERT_TRUE(TiffCloseFile(tif));

    const std::string file = Bytes("a.tif");
    auto directory = FirstDirectory(file);
    ASSERT_TRUE(directory.count(TIFFTAG_PARDEX));
    EXPECT_EQ(directory[TIFFTAG_PARDEX].type, TIFF_LONG);
    EXPECT_EQ(directory[TIFFTAG_PARDEX].count, length / 4);
    EXPECT_EQ(file.compare(directory[TIFFTAG_PARDEX].field, length,
                           std::string(words.begin(), words.end())), 0);

    ASSERT_TRUE(directory.count(TIFFTAG_EXIFIFD));
    const FileEntry exifEntry = directory[TIFFTAG_EXIFIFD];
    EXPECT_EQ(exifEntry.type, TIFF_LONG);
    EXPECT_EQ(exifEntry.count, 1u);
    const uint32_t p = exifEntry.field;
    EXPECT_EQ(p % 2, 0u);
    ASSERT_LE(size_t(p) + exifLength, file.size());
    // Offsets of long values moved by P; short ones untouched.
    EXPECT_EQ(U32LE(file, p + 2 + 8), p + 318u);          // ExposureTime's rational
    EXPECT_EQ(U32LE(file, p + 2 + 12 * 2 + 8), 0u);        // ExposureProgram, a SHORT
    const uint32_t note = U32LE(file, p + 2 + 12 * 13 + 8);
    EXPECT_EQ(note, p + 398u);
    // Inside the maker note: CAMSERIAL's text offset moved as well.
    EXPECT_EQ(U32LE(file, note + 12 + 8), note + 316u);
    EXPECT_EQ(file.compare(note + 316, 7, std::string("SN0001\0", 7)), 0);

    // Reading it back: the block's bytes and offsets from the file start.
    TIFF* in = TiffOpenFile(UrlOf("a.tif"), "r");
    ASSERT_NE(in, nullptr);
    uint32_t count = 0;
    uint32_t* data = nullptr;
    ASSERT_TRUE(TIFFGetField(in, TIFFTAG_PARDEX, &count, &data));
    EXPECT_EQ(count, length / 4);
    uint64_t offset = 0;
    std::vector<uint8_t> block;
    ASSERT_TRUE(TiffReadExifBlock(in, offset, block));
    EXPECT_EQ(offset, p);
    EXPECT_EQ(block.size(), file.size() - p);
    FPropTree parsed(nullptr, "parsed");
    EXPECT_TRUE(ParseExif(block.data(), block.size(), 0, -int64_t(offset), false, parsed));
    EXPECT_STREQ(parsed.GetValue(FString("SH_DESC"), nullptr)->GetAscii(), "1/250");
    EXPECT_STREQ(parsed.GetValue(FString("CAMSERIAL"), nullptr)->GetAscii(), "SN0001");
    EXPECT_STREQ(parsed.GetValue(FString("FIRMVERS"), nullptr)->GetAscii(), "1.2.0.3");
    std::vector<uint8_t> row(16);
    ASSERT_EQ(TIFFReadScanline(in, row.data(), 3, 0), 1);
    EXPECT_EQ(row[5], 5 + 21);
    EXPECT_TRUE(TiffCloseFile(in));
}

TEST_F(TiffIOTest, OpenModes)
{
    EXPECT_EQ(TiffOpenFile(UrlOf("x.tif"), "x"), nullptr);
    EXPECT_EQ(TiffOpenFile(UrlOf("missing.tif"), "r"), nullptr);
    testsupport::WriteFileBytes(m_Dir.Path() / "text.tif", "not a TIFF file at all");
    EXPECT_EQ(TiffOpenFile(UrlOf("text.tif"), "r"), nullptr);

    // "wa" truncates like "w".
    TIFF* tif = TiffOpenFile(UrlOf("text.tif"), "wa");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(Bytes("text.tif").substr(0, 4), std::string("II\x2A\0", 4));
    SetGreyImage(tif, 2, 2);
    ASSERT_TRUE(WriteGreyRows(tif, 2, 2));
    EXPECT_TRUE(TiffCloseFile(tif));

    // "a" adds a second directory.
    tif = TiffOpenFile(UrlOf("text.tif"), "a");
    ASSERT_NE(tif, nullptr);
    SetGreyImage(tif, 3, 1);
    ASSERT_TRUE(WriteGreyRows(tif, 3, 1));
    EXPECT_TRUE(TiffCloseFile(tif));
    tif = TiffOpenFile(UrlOf("text.tif"), "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(TIFFNumberOfDirectories(tif), 2);
    EXPECT_TRUE(TiffCloseFile(tif));
}

TEST_F(TiffIOTest, SeekingPastTheEndGrowsOnlyWritableFiles)
{
    TIFF* tif = TiffOpenFile(UrlOf("grow.tif"), "w");
    ASSERT_NE(tif, nullptr);
    const TIFFSeekProc seek = TIFFGetSeekProc(tif);
    const TIFFSizeProc size = TIFFGetSizeProc(tif);
    const toff_t start = size(TIFFClientdata(tif));
    EXPECT_EQ(seek(TIFFClientdata(tif), start + 100, SEEK_SET), start + 100);
    EXPECT_EQ(size(TIFFClientdata(tif)), start + 100);
    EXPECT_EQ(seek(TIFFClientdata(tif), 50, SEEK_END), start + 150);
    EXPECT_EQ(size(TIFFClientdata(tif)), start + 150);
    EXPECT_EQ(seek(TIFFClientdata(tif), static_cast<toff_t>(-10), SEEK_CUR), start + 140);
    EXPECT_EQ(seek(TIFFClientdata(tif), static_cast<toff_t>(-1000), SEEK_CUR), static_cast<toff_t>(-1));
    SetGreyImage(tif, 2, 2);
    ASSERT_TRUE(WriteGreyRows(tif, 2, 2));
    EXPECT_TRUE(TiffCloseFile(tif));

    const size_t before = Bytes("grow.tif").size();
    TIFF* in = TiffOpenFile(UrlOf("grow.tif"), "r");
    ASSERT_NE(in, nullptr);
    TIFFGetSeekProc(in)(TIFFClientdata(in), before + 1000, SEEK_SET);
    EXPECT_TRUE(TiffCloseFile(in));
    EXPECT_EQ(Bytes("grow.tif").size(), before);
}

// A full disk at any point must be reported, never end as a finished file.
TEST_F(TiffIOTest, FailedWritesAreReported)
{
    FPropTree props(nullptr, "props");
    std::vector<uint8_t> exif(65535, 0xFF);
    const uint32_t exifLength = BuildExif(exif.data(), exif.size(), 0, props, 64, 64);

    // The header fails at once: no handle.
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    EXPECT_EQ(TiffOpenStream(new MemoryFile(bytes, 4), "full", "w"), nullptr);

    for (int64_t limit : {int64_t(100), int64_t(2000), int64_t(4200), int64_t(5400)}) {
        bytes = std::make_shared<std::vector<uint8_t>>();
        TIFF* tif = TiffOpenStream(new MemoryFile(bytes, limit), "full", "w");
        ASSERT_NE(tif, nullptr) << limit;
        SetGreyImage(tif, 64, 64);
        const bool bExif = TiffWriteExifBlock(tif, exif.data(), exifLength);
        const bool bRows = WriteGreyRows(tif, 64, 64);
        const bool bClosed = TiffCloseFile(tif);
        EXPECT_FALSE(bExif && bRows && bClosed) << "a file limited to " << limit << " bytes was reported complete";
        EXPECT_FALSE(bClosed) << limit;
    }

    // The same on a real file whose disk fills up.
    TIFF* tif = TiffOpenFile(UrlOf("full.tif"), "w");
    ASSERT_NE(tif, nullptr);
    {
        testsupport::ScopedFileSizeLimit fullDisk(3000);
        SetGreyImage(tif, 64, 64);
        WriteGreyRows(tif, 64, 64);
        EXPECT_FALSE(TiffCloseFile(tif));
    }
}

TEST_F(TiffIOTest, RelocationStaysInsideCorruptBlocks)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> block;
    };
    const Case cases[] = {
        {"empty", {}},
        {"count beyond the block", {0xFF, 0xFF, 0x0E, 0x01, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"huge count", {1, 0, 0x0E, 0x01, 5, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 0, 0, 0, 0}},
        {"maker note beyond the block", {1, 0, 0x7C, 0x92, 7, 0, 0, 2, 0, 0, 0xF0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"maker note at the block's end", {1, 0, 0x7C, 0x92, 7, 0, 0, 2, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> block = c.block;
        EXPECT_NO_THROW(RelocateExifBlock(block.data(), block.size(), 1000)) << c.name;
    }
    std::vector<uint8_t> huge = cases[2].block;
    RelocateExifBlock(huge.data(), huge.size(), 1000);
    EXPECT_EQ(huge[10] | huge[11] << 8, 4 + 1000); // a long value moves, even when it lies outside
}

} // namespace
