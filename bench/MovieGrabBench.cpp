// The movie library's frame grab (CTMDirectImageBase::GetTimeThumbnailImage,
// synchronous, as printing calls it) at 0 s and at 1 s of a 1920 x 1080 MJPEG
// AVI and of an H.264 MP4 (25 frames a second, a key frame every second),
// beside FFmpeg called directly in the same run for the same frame: open the
// file, read its stream information, seek to the key frame before the time,
// decode up to the frame and turn it into 24-bit BGR rows with the same
// scaler settings. "x_reference" is the grab's time over the direct decode's.
// The first grab of each case is checked to give the reference's pixels.

#include <benchmark/benchmark.h>

#include "movie/CTMDirectImageBase.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Movies {
    testsupport::TempDir dir;
    std::string mjpeg = (dir.Path() / "hd.avi").string();
    std::string h264 = (dir.Path() / "hd.mp4").string();
    Movies()
    {
        testsupport::WriteMovie(mjpeg, {"avi", "mjpeg", 1920, 1080, 25, 50, 25, false});
        testsupport::WriteMovie(h264, {"mp4", "libx264", 1920, 1080, 25, 50, 25, false});
    }
};

const Movies& TestMovies()
{
    static const Movies movies;
    return movies;
}

// The frame at the time, decoded by FFmpeg directly: top-down BGR rows of
// width x 3 bytes. Empty when any step fails.
std::vector<uint8_t> DecodeDirectly(const std::string& path, double seconds, int& width, int& height)
{
    std::vector<uint8_t> pixels;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return pixels;
    AVCodecContext* decoder = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    const int stream = avformat_find_stream_info(format, nullptr) >= 0
                           ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                           : -1;
    if (stream >= 0) {
        const AVStream* video = format->streams[stream];
        const AVCodec* codec = avcodec_find_decoder(video->codecpar->codec_id);
        decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, video->codecpar);
        decoder->pkt_timebase = video->time_base;
        const int64_t start = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
        const int64_t target = start + av_rescale_q(int64_t(seconds * 1000000), AV_TIME_BASE_Q, video->time_base);
        if (avcodec_open2(decoder, codec, nullptr) >= 0 &&
            av_seek_frame(format, stream, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            bool found = false;
            while (!found && av_read_frame(format, packet) >= 0) {
                if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0)
                    while (!found && avcodec_receive_frame(decoder, frame) >= 0)
                        found = frame->best_effort_timestamp >= target;
                av_packet_unref(packet);
            }
            if (found) {
                width = frame->width;
                height = frame->height;
                const bool jpeg = frame->format == AV_PIX_FMT_YUVJ420P;
                scaler = sws_getContext(width, height, jpeg ? AV_PIX_FMT_YUV420P : AVPixelFormat(frame->format), width,
                                        height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
                sws_setColorspaceDetails(scaler, sws_getCoefficients(frame->colorspace),
                                         jpeg || frame->color_range == AVCOL_RANGE_JPEG,
                                         sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
                pixels.resize(size_t(width) * 3 * height);
                uint8_t* rows[4] = {pixels.data(), nullptr, nullptr, nullptr};
                const int strides[4] = {width * 3, 0, 0, 0};
                sws_scale(scaler, frame->data, frame->linesize, 0, height, rows, strides);
            }
        }
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return pixels;
}

bool Grab(const std::string& path, double seconds, CTMThumbnailData& record)
{
    record.Reset();
    const std::u16string wide(testsupport::WideFromUtf8(path).View());
    std::copy(wide.begin(), wide.end(), record.szFileName);
    record.llTime = int64_t(seconds * 10000000);
    CTMDirectImageBase grab;
    return grab.GetTimeThumbnailImage(&record, 0) == 0 && record.pBits;
}

// The grab's bottom-up rows against the direct decode's top-down ones.
bool SamePicture(const CTMThumbnailData& record, const std::vector<uint8_t>& pixels, int width, int height)
{
    const BITMAPINFOHEADER& header = record.bmInfo.bmiHeader;
    if (header.biWidth != width || header.biHeight != height)
        return false;
    const int64_t rowBytes = DibRowBytes(width, 24);
    for (int y = 0; y < height; ++y)
        if (std::memcmp(record.pBits + (height - 1 - y) * rowBytes, pixels.data() + size_t(y) * width * 3,
                        size_t(width) * 3) != 0)
            return false;
    return true;
}

void BM_Grab(benchmark::State& state, bool h264, double seconds)
{
    const std::string& path = h264 ? TestMovies().h264 : TestMovies().mjpeg;
    CTMThumbnailData record;
    int width = 0, height = 0;
    const std::vector<uint8_t> reference = DecodeDirectly(path, seconds, width, height);
    if (!Grab(path, seconds, record) || reference.empty() || !SamePicture(record, reference, width, height)) {
        state.SkipWithError("the grab does not give the directly decoded frame");
        return;
    }
    double grabSeconds = 0, referenceSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        Grab(path, seconds, record);
        grabSeconds += Seconds(start);

        state.PauseTiming();
        start = Clock::now();
        int w, h;
        benchmark::DoNotOptimize(DecodeDirectly(path, seconds, w, h));
        referenceSeconds += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_reference"] = grabSeconds / referenceSeconds;
}

void BM_GrabMjpegAt0(benchmark::State& state) { BM_Grab(state, false, 0); }
void BM_GrabMjpegAt1(benchmark::State& state) { BM_Grab(state, false, 1); }
void BM_GrabH264At0(benchmark::State& state) { BM_Grab(state, true, 0); }
void BM_GrabH264At1(benchmark::State& state) { BM_Grab(state, true, 1); }

} // namespace

BENCHMARK(BM_GrabMjpegAt0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrabMjpegAt1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrabH264At0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GrabH264At1)->Unit(benchmark::kMillisecond)->UseRealTime();
