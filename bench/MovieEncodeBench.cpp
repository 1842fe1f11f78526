// The movie library's AVI encoding (CTMDirectShowBase::EncodeFile, from the
// call to its end message) of 10 s of 1280 x 720 MJPEG video at 25 frames a
// second into MPEG-4 video at quality 0.75 (a fixed quantiser of 9), beside
// FFmpeg called directly with the same settings in the same run: open the
// movie, decode it, turn its full-range pictures into the encoder's
// limited-range ones with the same scaler, encode and write an AVI file.
// "x_reference" is the library's time over the direct encode's (goal: at most
// 1.2); the two take turns going first. The first run of each is checked to
// give the same frames and size.

#include <benchmark/benchmark.h>

#include "movie/CTMAVIFileBase.h"
#include "movie/CTMDirectShowBase.h"
#include "movie/TMOwnerWindow.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQuantiser = 9; // quality 0.75: round(31 - 30 x 0.75)

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Files {
    testsupport::TempDir dir;
    std::filesystem::path source = dir.Path() / "hd.avi";
    std::filesystem::path library = dir.Path() / "library.avi";
    std::filesystem::path reference = dir.Path() / "reference.avi";
    Files() { testsupport::WriteMovie(source, {"avi", "mjpeg", 1280, 720, 25, 250, 0, false}); }
};

const Files& BenchFiles()
{
    static const Files files;
    return files;
}

std::u16string Wide(const std::filesystem::path& path) { return std::u16string(testsupport::WideFromUtf8(path.string()).View()); }

// Waits for the end message of the library's encode thread.
class EndMessage {
public:
    EndMessage()
    {
        tkrmovie::SetOwnerPostSink([this](const void*, UINT message, WPARAM, LPARAM) {
            std::lock_guard<std::mutex> lock(m_Lock);
            if (message == WM_TM_ENCODEEND)
                m_Ended = true;
            else
                m_Failed = true;
            m_Arrived.notify_all();
        });
    }
    ~EndMessage() { tkrmovie::SetOwnerPostSink({}); }
    // True for a clean end.
    bool Wait()
    {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Arrived.wait(lock, [this] { return m_Ended || m_Failed; });
        const bool ended = m_Ended && !m_Failed;
        m_Ended = m_Failed = false;
        return ended;
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Arrived;
    bool m_Ended = false;
    bool m_Failed = false;
};

bool EncodeWithLibrary(const std::filesystem::path& source, const std::filesystem::path& destination, EndMessage& end)
{
    CTMEncodeData job;
    Wide(source).copy(job.szSourceFile, TM_MAX_PATH - 1);
    Wide(destination).copy(job.szDestFile, TM_MAX_PATH - 1);
    std::fill(std::begin(job.szVideoCompressor), std::end(job.szVideoCompressor), u'\0');
    std::u16string(u"mpeg4").copy(job.szVideoCompressor, 5);
    job.dQuality = 0.75;
    job.nPriority = 0; // like the direct encode, at the normal priority
    job.hNotifyWnd = reinterpret_cast<HWND>(&job);
    CTMDirectShowBase encoder;
    return encoder.EncodeFile(&job) == 0 && end.Wait();
}

// The same encode with FFmpeg's own calls.
bool EncodeDirectly(const std::string& source, const std::string& destination)
{
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, source.c_str(), nullptr, nullptr) < 0)
        return false;
    AVFormatContext* output = nullptr;
    avformat_alloc_output_context2(&output, nullptr, "avi", destination.c_str());
    AVPacket* packet = av_packet_alloc();
    AVFrame* decoded = av_frame_alloc();
    AVFrame* picture = av_frame_alloc();
    AVCodecContext* decoder = nullptr;
    AVCodecContext* encoder = nullptr;
    SwsContext* scaler = nullptr;
    bool done = false;
    const int stream =
        avformat_find_stream_info(input, nullptr) >= 0 ? av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
    if (stream >= 0 && output) {
        const AVStream* video = input->streams[stream];
        const AVCodec* decoding = avcodec_find_decoder(video->codecpar->codec_id);
        decoder = avcodec_alloc_context3(decoding);
        avcodec_parameters_to_context(decoder, video->codecpar);
        decoder->pkt_timebase = video->time_base;
        const AVCodec* encoding = avcodec_find_encoder_by_name("mpeg4");
        encoder = avcodec_alloc_context3(encoding);
        encoder->width = video->codecpar->width;
        encoder->height = video->codecpar->height;
        encoder->time_base = av_inv_q(video->avg_frame_rate);
        encoder->framerate = video->avg_frame_rate;
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->bit_rate = 5000000;
        encoder->flags |= AV_CODEC_FLAG_QSCALE;
        encoder->global_quality = kQuantiser * FF_QP2LAMBDA;
        AVStream* out = avformat_new_stream(output, nullptr);
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = encoder->width;
        picture->height = encoder->height;
        if (avcodec_open2(decoder, decoding, nullptr) >= 0 && avcodec_open2(encoder, encoding, nullptr) >= 0 && out &&
            av_frame_get_buffer(picture, 0) >= 0) {
            out->time_base = encoder->time_base;
            avcodec_parameters_from_context(out->codecpar, encoder);
            scaler = sws_getContext(encoder->width, encoder->height, AV_PIX_FMT_YUV420P, encoder->width,
                                    encoder->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
            sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_DEFAULT),
                                     0, 0, 1 << 16, 1 << 16);
            int64_t pts = 0;
            const auto drain = [&] {
                while (avcodec_receive_packet(encoder, packet) >= 0) {
                    av_packet_rescale_ts(packet, encoder->time_base, out->time_base);
                    packet->stream_index = out->index;
                    av_interleaved_write_frame(output, packet);
                }
            };
            if (avio_open(&output->pb, destination.c_str(), AVIO_FLAG_WRITE) >= 0 &&
                avformat_write_header(output, nullptr) >= 0) {
                while (av_read_frame(input, packet) >= 0) {
                    if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0) {
                        while (avcodec_receive_frame(decoder, decoded) >= 0) {
                            av_frame_make_writable(picture);
                            sws_scale(scaler, decoded->data, decoded->linesize, 0, decoded->height, picture->data,
                                      picture->linesize);
                            picture->pts = pts++;
                            avcodec_send_frame(encoder, picture);
                            drain();
                        }
                    }
                    av_packet_unref(packet);
                }
                avcodec_send_frame(encoder, nullptr);
                drain();
                done = av_write_trailer(output) >= 0;
            }
        }
    }
    sws_freeContext(scaler);
    avcodec_free_context(&encoder);
    avcodec_free_context(&decoder);
    av_frame_free(&picture);
    av_frame_free(&decoded);
    av_packet_free(&packet);
    if (output)
        avio_closep(&output->pb);
    avformat_free_context(output);
    avformat_close_input(&input);
    return done;
}

bool SameMovieShape(const std::filesystem::path& a, const std::filesystem::path& b)
{
    CTMAVIMediaInformation first, second;
    return CTMAVIFileBase::GetAVIMediaData(Wide(a).c_str(), &first) == 0 &&
           CTMAVIFileBase::GetAVIMediaData(Wide(b).c_str(), &second) == 0 && first.dwTotalFrames == 250 &&
           first.dwTotalFrames == second.dwTotalFrames && first.dwWidth == second.dwWidth &&
           first.dwHeight == second.dwHeight && first.dwRate * second.dwScale == second.dwRate * first.dwScale;
}

void BM_EncodeHdToMpeg4Avi(benchmark::State& state)
{
    const Files& files = BenchFiles();
    EndMessage end;
    if (!EncodeWithLibrary(files.source, files.library, end) ||
        !EncodeDirectly(files.source.string(), files.reference.string()) ||
        !SameMovieShape(files.library, files.reference)) {
        state.SkipWithError("the library's AVI and the direct one differ");
        return;
    }
    const double sizeRatio = double(std::filesystem::file_size(files.library)) /
                             double(std::filesystem::file_size(files.reference));
    double librarySeconds = 0, referenceSeconds = 0;
    bool libraryFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool library = (turn == 0) == libraryFirst;
            const Clock::time_point start = Clock::now();
            if (library)
                EncodeWithLibrary(files.source, files.library, end);
            else
                EncodeDirectly(files.source.string(), files.reference.string());
            (library ? librarySeconds : referenceSeconds) += Seconds(start);
        }
        libraryFirst = !libraryFirst;
    }
    state.counters["library_s"] = librarySeconds / double(state.iterations());
    state.counters["reference_s"] = referenceSeconds / double(state.iterations());
    state.counters["x_reference"] = librarySeconds / referenceSeconds;
    state.counters["x_size"] = sizeRatio;
}

} // namespace

BENCHMARK(BM_EncodeHdToMpeg4Avi)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
