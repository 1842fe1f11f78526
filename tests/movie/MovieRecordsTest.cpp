// The records that cross the movie library's boundary and the AVI header
// digest.
#include "movie/CTMAVIFileBase.h"
#include "movie/CTMAVIMediaInformation.h"
#include "movie/CTMThumbnailData.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace movietest;

// A record as a grab leaves it: a 2 x 2 picture and every request field set.
void Fill(CTMThumbnailData& record, BYTE firstByte)
{
    record.bmInfo.bmiHeader.biWidth = 2;
    record.bmInfo.bmiHeader.biHeight = 2;
    record.bmInfo.bmiHeader.biBitCount = 24;
    record.dwBitsSize = 16;
    record.pBits = new BYTE[16];
    for (int i = 0; i < 16; ++i)
        record.pBits[i] = BYTE(firstByte + i);
    record.szFileName[0] = u'm';
    record.llTime = 42;
    record.llStopPosition = 77;
    record.nSeekFormat = 1;
    record.dwReserved = 9;
    record.pOwnerWnd = TestOwner();
}

void ExpectDefaults(const CTMThumbnailData& record)
{
    EXPECT_EQ(record.GetBits(), nullptr);
    EXPECT_EQ(record.dwBitsSize, 0u);
    EXPECT_EQ(record.llTime, 150000000);
    EXPECT_EQ(record.nSeekFormat, 5);
    EXPECT_EQ(record.llStopPosition, 0);
    EXPECT_EQ(record.pOwnerWnd, nullptr);
    EXPECT_EQ(record.dwReserved, 0u);
    EXPECT_EQ(record.szFileName[0], 0);
    const BITMAPINFO empty{};
    EXPECT_EQ(std::memcmp(&record.bmInfo, &empty, sizeof(empty)), 0);
}

TEST(MovieRecordsTest, AFreshRecordAndAResetOneHoldTheDefaults)
{
    CTMThumbnailData record;
    ExpectDefaults(record);
    Fill(record, 1);
    record.Reset(); // frees the pixels (ASan would report a leak otherwise)
    ExpectDefaults(record);
}

TEST(MovieRecordsTest, CopiesOwnTheirPixels)
{
    CTMThumbnailData target;
    Fill(target, 100); // its old buffer goes with the assignment
    {
        CTMThumbnailData source;
        Fill(source, 1);
        source.dwReserved = 5;
        target = source;
        EXPECT_NE(target.pBits, source.pBits);
        EXPECT_EQ(target.dwReserved, 9u) << "the reserved field is not copied";
        CTMThumbnailData copy(source);
        EXPECT_NE(copy.pBits, source.pBits);
        EXPECT_EQ(std::memcmp(copy.pBits, source.pBits, 16), 0);
    }
    // The sources are gone; the target's pixels are its own.
    ASSERT_EQ(target.dwBitsSize, 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(target.pBits[i], i + 1);
    EXPECT_EQ(target.llTime, 42);
    EXPECT_EQ(target.llStopPosition, 77);
    EXPECT_EQ(target.nSeekFormat, 1);
    EXPECT_EQ(target.pOwnerWnd, TestOwner());
    EXPECT_EQ(target.szFileName[0], u'm');
    EXPECT_EQ(target.bmInfo.bmiHeader.biWidth, 2);

    const CTMThumbnailData& self = target;
    target = self;
    EXPECT_EQ(target.pBits[15], 16) << "assigning a record to itself keeps its pixels";
}

class AviDigestTest : public MovieTest {
protected:
    std::filesystem::path WriteBytes(const std::string& name, const std::vector<BYTE>& bytes)
    {
        const auto path = PathOf(name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    LONG Digest(const std::filesystem::path& path, CTMAVIMediaInformation& info)
    {
        return CTMAVIFileBase::GetAVIMediaData(WidePath(path).c_str(), &info);
    }
};

void PutU32(std::vector<BYTE>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = BYTE(value >> (8 * i));
}

// The two headers at their fixed places, every field with a value of its own.
std::vector<BYTE> HeaderBytes()
{
    std::vector<BYTE> bytes(172, 0xEE);
    const uint32_t main[] = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (size_t i = 0; i < std::size(main); ++i)
        PutU32(bytes, 32 + 4 * i, main[i]);
    std::memcpy(&bytes[108], "vids", 4);
    bytes[112] = 0x80; // a handler with bytes at and above 0x80
    bytes[113] = 'a';
    bytes[114] = 0xFF;
    bytes[115] = 'b';
    PutU32(bytes, 128, 1001);
    PutU32(bytes, 132, 30000);
    return bytes;
}

TEST_F(AviDigestTest, ReadsTheHeadersAtTheirPlaces)
{
    CTMAVIMediaInformation info;
    ASSERT_EQ(Digest(WriteBytes("h.avi", HeaderBytes()), info), 0);
    EXPECT_EQ(info.dwFlags, 14u);
    EXPECT_EQ(info.dwTotalFrames, 15u);
    EXPECT_EQ(info.dwStreams, 17u);
    EXPECT_EQ(info.dwSuggestedBufferSize, 18u);
    EXPECT_EQ(info.dwWidth, 19u);
    EXPECT_EQ(info.dwHeight, 20u);
    EXPECT_EQ(std::u16string(info.szStreamType), u"vids");
    const char16_t handler[] = {0xFF80, u'a', 0xFFFF, u'b', 0};
    EXPECT_EQ(std::u16string(info.szHandler), std::u16string(handler)) << "bytes widen with their sign";
    EXPECT_EQ(info.dwScale, 1001u);
    EXPECT_EQ(info.dwRate, 30000u);

    CTMAVIMediaInformation copy;
    copy = info;
    EXPECT_EQ(std::memcmp(&copy, &info, sizeof(info)), 0);
}

TEST_F(AviDigestTest, DigestsAGeneratedMjpegAvi)
{
    MovieShape shape;
    shape.frames = 12;
    shape.audio = true;
    CTMAVIMediaInformation info;
    ASSERT_EQ(Digest(Write("m.avi", shape), info), 0);
    EXPECT_EQ(std::u16string(info.szStreamType), u"vids");
    std::u16string handler(info.szHandler);
    for (char16_t& c : handler)
        c = char16_t(std::tolower(c));
    EXPECT_EQ(handler, u"mjpg");
    EXPECT_EQ(info.dwWidth, 320u);
    EXPECT_EQ(info.dwHeight, 240u);
    EXPECT_EQ(info.dwTotalFrames, 12u);
    EXPECT_EQ(info.dwStreams, 2u);
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwRate, 10u);
}

TEST_F(AviDigestTest, MissingAndShortFilesGiveOneAndNoInvention)
{
    CTMAVIMediaInformation info;
    info.dwWidth = 7;
    EXPECT_EQ(Digest(PathOf("missing.avi"), info), 1);
    EXPECT_EQ(Digest(WriteBytes("tiny.avi", std::vector<BYTE>(87, 0x11)), info), 1);
    EXPECT_EQ(info.dwWidth, 7u) << "a file without a whole main header leaves the record alone";

    std::vector<BYTE> mainOnly = HeaderBytes();
    mainOnly.resize(171);
    EXPECT_EQ(Digest(WriteBytes("main-only.avi", mainOnly), info), 1);
    EXPECT_EQ(info.dwWidth, 19u) << "a whole main header is kept";
    EXPECT_EQ(info.szHandler[0], 0) << "a cut stream header is not";
    EXPECT_EQ(CTMAVIFileBase::GetAVIMediaData(nullptr, &info), 1);
}

} // namespace
