// AVI encode jobs on their own thread: what they write, what the job's window
// hears, and that a failed or cancelled job leaves no file and a running one
// is neither doubled nor outlived by its object.
#include "movie/CTMAVIFileBase.h"
#include "movie/CTMDirectImageBase.h"
#include "movie/CTMDirectShowBase.h"
#include "movie/TMMovieFile.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace movietest;

class MovieEncodeThreadTest : public MovieTest {
protected:
    CTMEncodeData Job(const std::filesystem::path& source, const std::filesystem::path& destination,
                      const char16_t* video, const char16_t* audio = u"PCM")
    {
        CTMEncodeData job;
        tkrmovie::CopyPath(job.szSourceFile, WidePath(source));
        tkrmovie::CopyPath(job.szDestFile, WidePath(destination));
        SetName(job.szVideoCompressor, video);
        SetName(job.szAudioCompressor, audio);
        job.hNotifyWnd = Window();
        return job;
    }
    static HWND Window() { return reinterpret_cast<HWND>(TestOwner()); }
    static void SetName(WCHAR (&field)[TM_MAX_COMPRESSOR_NAME], std::u16string_view name)
    {
        std::fill(std::begin(field), std::end(field), u'\0');
        std::copy(name.begin(), name.end(), field);
    }
    // Runs the job to its end: the messages its window heard.
    std::vector<PostedMessage> Encode(CTMEncodeData job, size_t messages)
    {
        CTMDirectShowBase encoder;
        EXPECT_EQ(encoder.EncodeFile(&job), 0);
        m_Posted.WaitFor(messages);
        encoder.CancelEncode(); // the thread has ended: only waited for
        return m_Posted.Taken();
    }
    // Files in the test folder whose names start so.
    size_t FilesStarting(const std::string& prefix) const
    {
        size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_Dir.Path()))
            count += entry.path().filename().string().rfind(prefix, 0) == 0;
        return count;
    }

    PostedMessages m_Posted;
};

void ExpectEnd(const std::vector<PostedMessage>& messages)
{
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].owner, TestOwner());
    EXPECT_EQ(messages[0].message, WM_TM_ENCODEEND);
    EXPECT_EQ(messages[0].wParam, 0u);
    EXPECT_EQ(messages[0].lParam, 0);
}

std::string Lower(const WCHAR* text)
{
    std::string out;
    for (; *text; ++text)
        out += char(std::tolower(int(*text)));
    return out;
}

TEST_F(MovieEncodeThreadTest, WritesAnAviThatReadsBackWithTheSourcesSizeRateAndTheCompressor)
{
    MovieShape shape;
    shape.frames = 20;
    shape.audio = true;
    const auto source = Write("source.avi", shape);
    const struct {
        const char16_t* video;
        const char16_t* audio;
        const char* handler;
        DWORD streams;
    } cases[] = {
        {u"MJPEG", u"pcm_u8", "mjpg", 2}, // names are found without regard to case
        {u"mpeg4", u"mp2", "fmp4", 2},
        {u"rawvideo", u"pcm_s16le", "uyvy", 2},
    };
    for (const auto& c : cases) {
        m_Posted.Clear();
        const auto output = PathOf("out.avi");
        ExpectEnd(Encode(Job(source, output, c.video, c.audio), 1));

        CTMAVIMediaInformation info;
        ASSERT_EQ(CTMAVIFileBase::GetAVIMediaData(WidePath(output).c_str(), &info), 0);
        EXPECT_EQ(Lower(info.szHandler), c.handler);
        EXPECT_EQ(Lower(info.szStreamType), "vids");
        EXPECT_EQ(info.dwWidth, 320u);
        EXPECT_EQ(info.dwHeight, 240u);
        EXPECT_EQ(info.dwRate / info.dwScale, 10u);
        EXPECT_EQ(info.dwTotalFrames, 20u);
        EXPECT_EQ(info.dwStreams, c.streams);

        // The pictures are the source's.
        CTMThumbnailData record;
        SetFileName(record, output);
        record.llTime = Seconds(1);
        CTMDirectImageBase grab;
        ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 0), 0);
        EXPECT_EQ(FrameShown(record), 10);
        std::filesystem::remove(output);
    }
}

TEST_F(MovieEncodeThreadTest, PcmSoundBecomesEightBitsAt11025AndASilentMovieKeepsToVideo)
{
    MovieShape shape;
    shape.frames = 10;
    shape.audio = true;
    const auto output = PathOf("out.avi");
    ExpectEnd(Encode(Job(Write("sound.avi", shape), output, u"mjpeg", u"pcm_s16le"), 1));
    tkrmovie::TMMovieFile written;
    ASSERT_EQ(written.Open(WidePath(output)), 0);
    const int audio = written.FindAudioStream();
    ASSERT_GE(audio, 0);
    const AVCodecParameters& sound = *written.Stream(audio)->codecpar;
    EXPECT_EQ(sound.codec_id, AV_CODEC_ID_PCM_U8);
    EXPECT_EQ(sound.sample_rate, 11025);
    EXPECT_EQ(sound.ch_layout.nb_channels, 1);
    EXPECT_NEAR(double(written.StopPosition()), double(Seconds(1)), double(Seconds(0.1)));

    m_Posted.Clear();
    shape.audio = false;
    ExpectEnd(Encode(Job(Write("silent.avi", shape), output, u"mjpeg"), 1));
    CTMAVIMediaInformation info;
    ASSERT_EQ(CTMAVIFileBase::GetAVIMediaData(WidePath(output).c_str(), &info), 0);
    EXPECT_EQ(info.dwStreams, 1u);
}

TEST_F(MovieEncodeThreadTest, FailuresAreToldOnceAndLeaveNoFile)
{
    MovieShape shape;
    shape.frames = 5;
    const auto source = Write("source.avi", shape);
    const auto blocker = PathOf("plain-file");
    testsupport::WriteFileBytes(blocker, "x");
    const auto output = PathOf("out.avi");
    testsupport::WriteFileBytes(output, "old");

    const struct {
        const char* what;
        CTMEncodeData job;
        WPARAM status;
        LONG code; // 1: any failure code
    } cases[] = {
        {"unknown video compressor", Job(source, output, u"no-such-encoder"), 2, 0},
        {"unknown audio compressor", Job(source, output, u"mjpeg", u"PCM8"), 3, 0},
        {"an audio compressor as video", Job(source, output, u"pcm_u8"), 2, 0},
        // The destination first: its failure comes before the source is read.
        {"unwritable destination", Job(PathOf("missing.avi"), blocker / "out.avi", u"mjpeg"), 4, AVERROR(ENOTDIR)},
        {"missing source", Job(PathOf("missing.avi"), output, u"mjpeg"), 4, AVERROR(ENOENT)},
        {"encoder refuses the frame rate", Job(source, output, u"mpeg1video"), 4, 1},
    };
    for (const auto& c : cases) {
        m_Posted.Clear();
        const auto messages = Encode(c.job, 1);
        ASSERT_EQ(messages.size(), 1u) << c.what << ": a status and no end";
        EXPECT_EQ(messages[0].message, WM_TM_ENCODESTATUS) << c.what;
        EXPECT_EQ(messages[0].wParam, c.status) << c.what;
        if (c.code == 1)
            EXPECT_LT(messages[0].lParam, 0) << c.what;
        else
            EXPECT_EQ(messages[0].lParam, c.code) << c.what;
        EXPECT_EQ(testsupport::ReadFileBytes(output), "old") << c.what << ": the old file stays";
        EXPECT_EQ(FilesStarting("out.avi."), 0u) << c.what << ": no temporary file";
    }
}

TEST_F(MovieEncodeThreadTest, CancelEndsTheRunningJobWithinASecondWithTheEndAndNoFile)
{
    // Uncompressed output grows by 600 KB a frame: a job of 400 frames runs
    // for a while, and its temporary file shows that it does.
    MovieShape shape;
    shape.width = 640;
    shape.height = 480;
    shape.framesPerSecond = 25;
    shape.frames = 400;
    const auto source = Write("long.avi", shape);
    const auto output = PathOf("out.avi");
    CTMDirectShowBase encoder;
    CTMEncodeData job = Job(source, output, u"rawvideo");
    ASSERT_EQ(encoder.EncodeFile(&job), 0);
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        uintmax_t size = 0;
        for (const auto& entry : std::filesystem::directory_iterator(m_Dir.Path()))
            if (entry.path().filename().string().rfind("out.avi.", 0) == 0)
                size = std::max(size, entry.file_size());
        if (size > 2000000)
            break;
        ASSERT_TRUE(m_Posted.Taken().empty()) << "the job ended before it could be cancelled";
        ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const auto cancelled = std::chrono::steady_clock::now();
    EXPECT_EQ(encoder.CancelEncode(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::seconds(1));
    ExpectEnd(m_Posted.Taken());
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_EQ(FilesStarting("out.avi"), 0u);
}

TEST_F(MovieEncodeThreadTest, ARunningJobRefusesASecondAndItsObjectWaitsForIt)
{
    MovieShape shape;
    shape.frames = 200;
    const auto source = Write("source.avi", shape);
    const auto first = PathOf("first.avi");
    CTMEncodeData job = Job(source, first, u"mjpeg");
    {
        CTMDirectShowBase encoder;
        ASSERT_EQ(encoder.EncodeFile(&job), 0);
        CTMEncodeData second = Job(source, PathOf("second.avi"), u"mjpeg");
        EXPECT_EQ(encoder.EncodeFile(&second), 1);
        // The object goes while its job may still run: it cancels and waits.
    }
    const auto messages = m_Posted.Taken();
    ASSERT_LE(messages.size(), 1u);
    if (!messages.empty()) {
        EXPECT_EQ(messages[0].message, WM_TM_ENCODEEND);
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("second.avi")));

    // A job that ended by itself no longer counts as running.
    m_Posted.Clear();
    CTMDirectShowBase encoder;
    ASSERT_EQ(encoder.EncodeFile(&job), 0);
    m_Posted.WaitFor(1);
    CTMEncodeData again = Job(source, PathOf("again.avi"), u"mjpeg");
    EXPECT_EQ(encoder.EncodeFile(&again), 0);
    m_Posted.WaitFor(2);
    encoder.CancelEncode();
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(PathOf("again.avi")));
}

} // namespace
