// Frame grabs on generated movies, synchronous: the browser's first frame of
// an MJPEG AVI, printing's frame at one second of any movie, the AVI grab and
// the frame written as a BMP file.
#include "movie/CTMAVIFileBase.h"
#include "movie/CTMDirectImageBase.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace movietest;

class MovieGrabTest : public MovieTest {
protected:
    // A record asking for the movie's frame at the time, owned by the test's window.
    void Ask(CTMThumbnailData& record, const std::filesystem::path& movie, int64_t time)
    {
        SetFileName(record, movie);
        record.llTime = time;
        record.pOwnerWnd = TestOwner();
    }

    std::vector<BYTE> ReadBytes(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
    }
    void WriteBytes(const std::filesystem::path& path, const std::vector<BYTE>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    PostedMessages m_Posted;
};

// The picture of a 24-bit grab: header and buffer agree, rows padded to 4 bytes.
void ExpectPicture(const CTMThumbnailData& record, int width, int height)
{
    const BITMAPINFOHEADER& header = record.bmInfo.bmiHeader;
    ASSERT_NE(record.pBits, nullptr);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biHeight, height) << "bottom-up";
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, BI_RGB);
    EXPECT_EQ(record.dwBitsSize, DibRowBytes(width, 24) * height);
    EXPECT_EQ(header.biSizeImage, record.dwBitsSize);
    // The white block marks the picture's top-left corner.
    const MovieColour corner = PixelAt(record, 2, 2);
    EXPECT_GT(corner.red + corner.green + corner.blue, 3 * 230);
    if (height > 2 * testsupport::kMovieMarkerSide) {
        const MovieColour below = PixelAt(record, 2, height - 3);
        EXPECT_LT(below.green, 150);
    }
}

TEST_F(MovieGrabTest, BrowserGrabsTheFirstFrameOfAnMjpegAvi)
{
    CTMThumbnailData record;
    Ask(record, Write("m.avi", MovieShape{}), 0);
    CTMDirectImageBase grab;
    ASSERT_EQ(grab.GetTimeThumbnailImage2(&record, 0), 0);
    ExpectPicture(record, 320, 240);
    EXPECT_EQ(record.dwBitsSize, 230400u);
    EXPECT_EQ(FrameShown(record), 0);
    EXPECT_TRUE(m_Posted.Taken().empty()) << "success posts nothing";
}

TEST_F(MovieGrabTest, BrowserGrabFailures)
{
    MovieShape shape;
    shape.frames = 5;
    const auto movie = Write("m.avi", shape);
    const auto notMovie = PathOf("x.avi");
    WriteBytes(notMovie, std::vector<BYTE>(4000, 0x5A));
    const struct {
        std::filesystem::path path;
        int64_t time;
        LONG result;
        bool posted;
    } cases[] = {
        {PathOf("missing.avi"), 0, -1, false},
        {m_Dir.Path(), 0, -1, false}, // a folder is no movie file
        {notMovie, 0, AVERROR_INVALIDDATA, false},
        {movie, Seconds(2), AVERROR_EOF, true}, // beyond the end: nothing to decode
    };
    for (const auto& c : cases) {
        m_Posted.Clear();
        CTMThumbnailData record;
        Ask(record, c.path, c.time);
        CTMDirectImageBase grab;
        EXPECT_EQ(grab.GetTimeThumbnailImage2(&record, 0), c.result) << c.path;
        EXPECT_EQ(record.pBits, nullptr);
        const auto posted = m_Posted.Taken();
        ASSERT_EQ(posted.size(), c.posted ? 1u : 0u) << c.path;
        if (c.posted) {
            EXPECT_EQ(posted[0].owner, TestOwner());
            EXPECT_EQ(posted[0].message, WM_TM_THUMBNAILBREAK);
            EXPECT_EQ(posted[0].wParam, 0u);
            EXPECT_EQ(posted[0].lParam, c.result);
        }
    }
}

TEST_F(MovieGrabTest, APathFillingTheWholeRecordIsReadNoFurther)
{
    CTMThumbnailData record;
    std::fill(std::begin(record.szFileName), std::end(record.szFileName), u'a');
    record.llTime = 0x0062006200620062; // more letters, were the path read on
    CTMDirectImageBase grab;
    EXPECT_EQ(grab.GetTimeThumbnailImage2(&record, 0), -1);
    EXPECT_EQ(grab.GetTimeThumbnailImage(&record, 0), AVERROR(ENAMETOOLONG));
}

TEST_F(MovieGrabTest, PrintingGrabsTheFrameAtOneSecondOfAnyMovie)
{
    const struct {
        const char* name;
        MovieShape shape;
    } movies[] = {
        {"sound.avi", {"avi", "mjpeg", 320, 240, 10, 20, 0, true}},
        {"silent.avi", {"avi", "mjpeg", 320, 240, 10, 20, 0, false}},
        {"h264.mp4", {"mp4", "libx264", 320, 240, 10, 20, 12, false}},
        {"mpeg4.avi", {"avi", "mpeg4", 320, 240, 10, 20, 8, false}},
    };
    for (const auto& movie : movies) {
        m_Posted.Clear();
        CTMThumbnailData record;
        Ask(record, Write(movie.name, movie.shape), Seconds(1));
        CTMDirectImageBase grab;
        ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0) << movie.name;
        ExpectPicture(record, movie.shape.width, movie.shape.height);
        EXPECT_EQ(FrameShown(record), 10) << movie.name;
        EXPECT_EQ(record.llStopPosition, Seconds(2)) << movie.name;
        const auto posted = m_Posted.Taken();
        ASSERT_EQ(posted.size(), 1u) << movie.name;
        EXPECT_EQ(posted[0].message, WM_TM_GRAPHNOTIFY);
        EXPECT_EQ(posted[0].wParam, 0u);
        EXPECT_GE(posted[0].lParam, 0);
    }
}

TEST_F(MovieGrabTest, OddWidthsGetPaddedRows)
{
    CTMThumbnailData record;
    Ask(record, Write("odd.avi", MovieShape{"avi", "mjpeg", 101, 10, 10, 2, 0, false}), 0);
    CTMDirectImageBase grab;
    ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
    ASSERT_EQ(record.dwBitsSize, 3040u) << "10 rows of 304 bytes";
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(record.pBits[row * 304 + 303], 0) << "padding is zero";
}

TEST_F(MovieGrabTest, ATimeBeyondTheEndBreaksWithoutAPicture)
{
    MovieShape shape;
    shape.frames = 5; // 0.5 s
    CTMThumbnailData record;
    Ask(record, Write("short.avi", shape), Seconds(1));
    CTMDirectImageBase grab;
    EXPECT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
    EXPECT_EQ(record.pBits, nullptr);
    EXPECT_EQ(record.dwBitsSize, 0u);
    EXPECT_EQ(record.llStopPosition, Seconds(0.5));
    const auto posted = m_Posted.Taken();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_TM_THUMBNAILBREAK);
    EXPECT_EQ(posted[0].lParam, 0);

    // The last frame is still there at the very end.
    m_Posted.Clear();
    record.llTime = Seconds(0.5);
    EXPECT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
    EXPECT_EQ(FrameShown(record), 4);
}

TEST_F(MovieGrabTest, DamagedAndMissingMoviesBreakWithTheirCode)
{
    MovieShape shape;
    shape.frames = 20;
    const auto whole = Write("whole.avi", shape);
    std::vector<BYTE> bytes = ReadBytes(whole);
    const auto halved = PathOf("halved.avi");
    WriteBytes(halved, std::vector<BYTE>(bytes.begin(), bytes.begin() + bytes.size() / 2));
    const auto headersOnly = PathOf("headers.avi");
    WriteBytes(headersOnly, std::vector<BYTE>(bytes.begin(), bytes.begin() + 300));

    {
        // The first half of a cut movie still holds its first frames.
        CTMThumbnailData record;
        Ask(record, halved, 0);
        CTMDirectImageBase grab;
        EXPECT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
        EXPECT_EQ(FrameShown(record), 0);
    }
    for (const auto& path : {headersOnly, PathOf("missing.avi")}) {
        m_Posted.Clear();
        CTMThumbnailData record;
        Ask(record, path, Seconds(1));
        CTMDirectImageBase grab;
        const LONG result = grab.GetTimeThumbnailImage(&record, 0);
        EXPECT_LT(result, 0) << path;
        EXPECT_EQ(record.pBits, nullptr);
        const auto posted = m_Posted.Taken();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].message, WM_TM_THUMBNAILBREAK);
        EXPECT_EQ(posted[0].lParam, result);
    }
}

TEST_F(MovieGrabTest, AReusedRecordGivesBackItsOldPicture)
{
    const auto movie = Write("m.avi", MovieShape{});
    CTMThumbnailData record;
    Ask(record, movie, 0);
    CTMDirectImageBase grab;
    ASSERT_EQ(grab.GetTimeThumbnailImage2(&record, 0), 0);
    ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0); // ASan reports the first buffer if it leaks
    EXPECT_EQ(FrameShown(record), 0);
}

// Byte offsets of the first stream header's scale and rate in an AVI file.
constexpr size_t kScaleOffset = 128;
constexpr size_t kRateOffset = 132;

void PutU32(std::vector<BYTE>& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = BYTE(value >> (8 * i));
}

TEST_F(MovieGrabTest, AviGrabTakesTheFirstFrameThatDecodesWithinOneSecond)
{
    MovieShape shape;
    shape.frames = 12;
    const auto movie = Write("m.avi", shape);
    std::vector<BYTE> bytes = ReadBytes(movie);
    // Frame 0's JPEG data, after its start marker, turned to rubbish.
    const std::string data(bytes.begin(), bytes.end());
    const size_t frame0 = data.find("00dc", data.find("movi"));
    ASSERT_NE(frame0, std::string::npos);
    std::fill(bytes.begin() + frame0 + 10, bytes.begin() + frame0 + 400, BYTE(0));
    const auto damaged = PathOf("damaged.avi");
    WriteBytes(damaged, bytes);

    CTMAVIFileBase avi;
    CTMThumbnailData record;
    Ask(record, damaged, 0);
    ASSERT_EQ(avi.GetTimeThumbnailImage(&record), 0);
    ExpectPicture(record, 320, 240);
    EXPECT_EQ(FrameShown(record), 1);
    const auto posted = m_Posted.Taken();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_TM_GRAPHNOTIFY);

    // Below one frame a second no frame is tried; a zero scale is no crash.
    m_Posted.Clear();
    bytes = ReadBytes(movie);
    PutU32(bytes, kScaleOffset, 2);
    PutU32(bytes, kRateOffset, 1);
    WriteBytes(damaged, bytes);
    CTMThumbnailData slow;
    Ask(slow, damaged, 0);
    EXPECT_EQ(avi.GetTimeThumbnailImage(&slow), -1);
    EXPECT_EQ(slow.pBits, nullptr);
    PutU32(bytes, kScaleOffset, 0);
    WriteBytes(damaged, bytes);
    CTMThumbnailData zero;
    Ask(zero, damaged, 0);
    avi.GetTimeThumbnailImage(&zero);
    EXPECT_EQ(m_Posted.Taken().size(), zero.pBits ? 1u : 0u);

    CTMThumbnailData missing;
    Ask(missing, PathOf("missing.avi"), 0);
    EXPECT_EQ(avi.GetTimeThumbnailImage(&missing), AVERROR(ENOENT));
}

TEST_F(MovieGrabTest, SaveAviBitmapWritesTheFrameOfTheWholeSecond)
{
    MovieShape shape;
    shape.frames = 20;
    const auto movie = Write("m.avi", shape);
    CTMAVIFileBase avi;
    CTMThumbnailData record;
    Ask(record, movie, Seconds(1.7)); // whole seconds: frame 10
    const auto bmp = PathOf("frame.bmp");
    ASSERT_EQ(avi.SaveAVIBitmap(bmp.c_str(), &record), 0);
    EXPECT_EQ(FrameShown(record), 10);
    const std::vector<BYTE> file = ReadBytes(bmp);
    ASSERT_EQ(file.size(), 54u + 230400u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16 | file[5] << 24, 54 + 230400);
    EXPECT_EQ(file[10], 54);
    EXPECT_EQ(std::memcmp(file.data() + 14, &record.bmInfo.bmiHeader, 40), 0);
    EXPECT_EQ(std::memcmp(file.data() + 54, record.pBits, record.dwBitsSize), 0);

    CTMThumbnailData late;
    Ask(late, movie, Seconds(2));
    EXPECT_EQ(avi.SaveAVIBitmap(PathOf("late.bmp").c_str(), &late), 1) << "no frame 20";
    EXPECT_FALSE(std::filesystem::exists(PathOf("late.bmp")));

    CTMThumbnailData unwritable;
    Ask(unwritable, movie, 0);
    EXPECT_EQ(avi.SaveAVIBitmap((m_Dir.Path() / "no-folder" / "f.bmp").c_str(), &unwritable), 1);
    EXPECT_NE(unwritable.pBits, nullptr) << "the record holds the frame all the same";

    // Nothing but the picture is left in the folder.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_Dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 2);
}

} // namespace
