// The AVI encode job's record, its checks before a thread starts, and the
// rules that turn the job and a compressor's offer into the encoder's format.
#include "movie/CTMDirectShowBase.h"
#include "movie/CTMEncodeData.h"
#include "movie/TMAviEncoder.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace movietest;

std::u16string Text(const WCHAR* field) { return std::u16string(field); }

// A job that passes every check, reported to the test's sink.
CTMEncodeData CompleteJob()
{
    CTMEncodeData job;
    std::u16string(u"in.avi").copy(job.szSourceFile, 6);
    std::u16string(u"out.avi").copy(job.szDestFile, 7);
    job.hNotifyWnd = reinterpret_cast<HWND>(TestOwner());
    return job;
}

TEST(MovieEncodeTest, AFreshJobHoldsTheDefaultsAndCopiesWhole)
{
    CTMEncodeData job;
    EXPECT_EQ(Text(job.szSourceFile), u"");
    EXPECT_EQ(Text(job.szDestFile), u"");
    EXPECT_EQ(job.nBitRate, 5000000);
    EXPECT_EQ(job.dQuality, 1.0);
    EXPECT_EQ(job.nKeyFrameRate, 10);
    EXPECT_EQ(Text(job.szVideoCompressor), u"Compressor");
    EXPECT_EQ(Text(job.szAudioCompressor), u"PCM");
    EXPECT_EQ(job.hNotifyWnd, nullptr);
    EXPECT_EQ(job.nPriority, 2);
    EXPECT_EQ(job.wfxAudio.nChannels, 0);
    EXPECT_EQ(job.vihVideo.bmiHeader.biWidth, 0);

    CTMEncodeData copy;
    copy = CompleteJob();
    copy.nBitRate = 77;
    copy.wfxAudio.nSamplesPerSec = 9;
    CTMEncodeData again;
    again = copy;
    EXPECT_EQ(Text(again.szDestFile), u"out.avi");
    EXPECT_EQ(again.nBitRate, 77);
    EXPECT_EQ(again.wfxAudio.nSamplesPerSec, 9u);
    EXPECT_EQ(again.hNotifyWnd, copy.hNotifyWnd);
}

TEST(MovieEncodeTest, EncodeFileRefusesAnIncompleteJobBeforeAnyThread)
{
    PostedMessages posted;
    CTMDirectShowBase encoder;
    CTMEncodeData fresh;
    EXPECT_EQ(encoder.EncodeFile(&fresh), 1) << "empty paths, no window";
    EXPECT_EQ(encoder.EncodeFile(nullptr), 1);

    const struct {
        const char* what;
        void (*spoil)(CTMEncodeData&);
    } incomplete[] = {
        {"source", [](CTMEncodeData& j) { j.szSourceFile[0] = 0; }},
        {"destination", [](CTMEncodeData& j) { j.szDestFile[0] = 0; }},
        {"video compressor", [](CTMEncodeData& j) { j.szVideoCompressor[0] = 0; }},
        {"audio compressor", [](CTMEncodeData& j) { j.szAudioCompressor[0] = 0; }},
        {"window", [](CTMEncodeData& j) { j.hNotifyWnd = nullptr; }},
        {"quality above 1", [](CTMEncodeData& j) { j.dQuality = 1.0001; }},
        {"quality below 0", [](CTMEncodeData& j) { j.dQuality = -0.0001; }},
        {"no quality", [](CTMEncodeData& j) { j.dQuality = std::numeric_limits<double>::quiet_NaN(); }},
    };
    for (const auto& c : incomplete) {
        CTMEncodeData job = CompleteJob();
        c.spoil(job);
        EXPECT_EQ(encoder.EncodeFile(&job), 1) << c.what;
    }
    EXPECT_TRUE(posted.Taken().empty()) << "no thread, no message";

    // Both ends of the quality are taken; the placeholder video compressor
    // name then names no encoder (while the default "PCM" does).
    for (const double quality : {0.0, 1.0}) {
        posted.Clear();
        CTMEncodeData job = CompleteJob();
        job.dQuality = quality;
        ASSERT_EQ(encoder.EncodeFile(&job), 0) << quality;
        const auto messages = posted.WaitFor(1);
        encoder.CancelEncode();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].message, WM_TM_ENCODESTATUS);
        EXPECT_EQ(messages[0].wParam, 2u);
        EXPECT_EQ(messages[0].owner, TestOwner());
    }
}

TEST(MovieEncodeTest, CapabilitiesFollowTheCompressorsFormat)
{
    WAVEFORMATEX pcm;
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = 2;
    pcm.nSamplesPerSec = 44100;
    pcm.wBitsPerSample = 16;
    tkrmovie::ApplyAudioCapability(pcm);
    EXPECT_EQ(pcm.nSamplesPerSec, 11025u);
    EXPECT_EQ(pcm.wBitsPerSample, 8);
    EXPECT_EQ(pcm.nBlockAlign, 2);
    EXPECT_EQ(pcm.nAvgBytesPerSec, 22050u);
    EXPECT_EQ(pcm.nChannels, 2);
    WAVEFORMATEX other = pcm;
    other.wFormatTag = 0x55;
    other.nSamplesPerSec = 48000;
    tkrmovie::ApplyAudioCapability(other);
    EXPECT_EQ(other.nSamplesPerSec, 48000u) << "only PCM changes";

    tkrmovie::TMVideoFormat uyvy;
    uyvy.uyvy = true;
    tkrmovie::ApplyVideoCapability(uyvy, SIZE{161, 120}, 5000000);
    EXPECT_EQ(uyvy.format.bmiHeader.biWidth, 161);
    EXPECT_EQ(uyvy.format.bmiHeader.biHeight, 120);
    EXPECT_EQ(uyvy.format.bmiHeader.biSizeImage, 39360u) << "164 x 120 x 2";
    EXPECT_EQ(uyvy.sampleSize, 39360u);
    EXPECT_EQ(uyvy.format.dwBitRate, 0u);
    tkrmovie::TMVideoFormat compressed;
    compressed.format.bmiHeader.biWidth = 320;
    tkrmovie::ApplyVideoCapability(compressed, SIZE{161, 120}, 5000000);
    EXPECT_EQ(compressed.format.dwBitRate, 5000000u);
    EXPECT_EQ(compressed.format.bmiHeader.biWidth, 320);
}

TEST(MovieEncodeTest, QualityGoesToEncodersThatTakeItElseTheKeyFrameRate)
{
    const auto settings = [](const char* name, double quality) {
        const AVCodec* codec = avcodec_find_encoder_by_name(name);
        EXPECT_NE(codec, nullptr) << name;
        return codec ? tkrmovie::CompressionSettingsFor(*codec, quality, 10) : tkrmovie::TMCompressionSettings{};
    };
    // A fixed quantiser, 1 the finest.
    EXPECT_EQ(settings("mjpeg", 1.0).quantiser, 1);
    EXPECT_EQ(settings("mjpeg", 0.0).quantiser, 31);
    EXPECT_EQ(settings("mpeg4", 0.5).quantiser, 16);
    EXPECT_EQ(settings("mpeg4", 0.5).keyFrameInterval, 0) << "the quality is all such an encoder is told";
    // A constant rate factor, 0 the finest.
    EXPECT_EQ(settings("libx264", 1.0).constantRate, 0.0);
    EXPECT_EQ(settings("libx264", 0.0).constantRate, 51.0);
    // No quality: the key-frame rate, where there are frames between key frames.
    EXPECT_EQ(settings("ffv1", 1.0).keyFrameInterval, 10);
    EXPECT_EQ(settings("ffv1", 1.0).quantiser, 0);
    const auto intra = settings("huffyuv", 1.0);
    EXPECT_EQ(intra.keyFrameInterval, 0);
    EXPECT_EQ(intra.constantRate, -1.0);
}

} // namespace
