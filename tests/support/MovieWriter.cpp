#include "support/MovieWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace testsupport {
namespace {

void Check(int rc, const char* step)
{
    if (rc < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, text, sizeof(text));
        throw std::runtime_error(std::string("movie writer: ") + step + ": " + text);
    }
}

template <class T>
T* Require(T* object, const char* step)
{
    if (!object)
        throw std::runtime_error(std::string("movie writer: ") + step);
    return object;
}

struct Output {
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Output()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&audio);
        avcodec_free_context(&video);
        if (format && !(format->oformat->flags & AVFMT_NOFILE))
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

AVCodecContext* OpenVideo(Output& out, const MovieShape& shape)
{
    const AVCodec* codec = Require(avcodec_find_encoder_by_name(shape.encoder.c_str()), "unknown encoder");
    AVCodecContext* context = Require(avcodec_alloc_context3(codec), "encoder context");
    out.video = context;
    context->width = shape.width;
    context->height = shape.height;
    context->time_base = AVRational{1, shape.framesPerSecond};
    context->framerate = AVRational{shape.framesPerSecond, 1};
    context->gop_size = shape.keyFrameInterval > 0 ? shape.keyFrameInterval : context->gop_size;
    if (codec->id == AV_CODEC_ID_MJPEG) {
        context->pix_fmt = AV_PIX_FMT_YUVJ420P;
        context->color_range = AVCOL_RANGE_JPEG;
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = 3 * FF_QP2LAMBDA;
    } else {
        context->pix_fmt = AV_PIX_FMT_YUV420P;
        context->bit_rate = 2000000;
        av_opt_set(context->priv_data, "preset", "veryfast", 0);
        av_opt_set(context->priv_data, "crf", "18", 0);
    }
    if (out.format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(context, codec, nullptr), "open video encoder");
    return context;
}

constexpr int kSampleRate = 8000;

AVCodecContext* OpenAudio(Output& out)
{
    const AVCodec* codec = Require(avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE), "no PCM encoder");
    AVCodecContext* context = Require(avcodec_alloc_context3(codec), "audio context");
    out.audio = context;
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->sample_rate = kSampleRate;
    context->time_base = AVRational{1, kSampleRate};
    av_channel_layout_default(&context->ch_layout, 1);
    Check(avcodec_open2(context, codec, nullptr), "open audio encoder");
    return context;
}

AVStream* AddStream(Output& out, AVCodecContext* context)
{
    AVStream* stream = Require(avformat_new_stream(out.format, nullptr), "new stream");
    Check(avcodec_parameters_from_context(stream->codecpar, context), "stream parameters");
    stream->time_base = context->time_base;
    return stream;
}

// Sends one frame (null: the end) and writes every packet that comes out.
void Encode(Output& out, AVCodecContext* context, AVStream* stream, const AVFrame* frame, int64_t duration)
{
    Check(avcodec_send_frame(context, frame), "encode");
    for (;;) {
        const int rc = avcodec_receive_packet(context, out.packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        Check(rc, "receive packet");
        out.packet->duration = duration;
        av_packet_rescale_ts(out.packet, context->time_base, stream->time_base);
        out.packet->stream_index = stream->index;
        Check(av_interleaved_write_frame(out.format, out.packet), "write packet");
    }
}

// RGB to full-range BT.601 YUV, as the JPEG family of encoders expects, or to
// limited range for the others.
void FillPicture(AVFrame* frame, int number, bool fullRange)
{
    const auto toYuv = [fullRange](MovieColour c, uint8_t& y, uint8_t& u, uint8_t& v) {
        const double luma = 0.299 * c.red + 0.587 * c.green + 0.114 * c.blue;
        const double cb = 128 + (c.blue - luma) * 0.564;
        const double cr = 128 + (c.red - luma) * 0.713;
        const auto clamp = [](double x) { return uint8_t(std::clamp(x + 0.5, 0.0, 255.0)); };
        if (fullRange) {
            y = clamp(luma), u = clamp(cb), v = clamp(cr);
        } else {
            y = clamp(16 + luma * 219 / 255), u = clamp(128 + (cb - 128) * 224 / 255),
            v = clamp(128 + (cr - 128) * 224 / 255);
        }
    };
    uint8_t y, u, v, whiteY, whiteU, whiteV;
    toYuv(MovieFrameColour(number), y, u, v);
    toYuv(MovieColour{255, 255, 255}, whiteY, whiteU, whiteV);
    for (int row = 0; row < frame->height; ++row)
        for (int column = 0; column < frame->width; ++column) {
            const bool marker = row < kMovieMarkerSide && column < kMovieMarkerSide;
            frame->data[0][row * frame->linesize[0] + column] = marker ? whiteY : y;
        }
    for (int row = 0; row < (frame->height + 1) / 2; ++row)
        for (int column = 0; column < (frame->width + 1) / 2; ++column) {
            const bool marker = row < kMovieMarkerSide / 2 && column < kMovieMarkerSide / 2;
            frame->data[1][row * frame->linesize[1] + column] = marker ? whiteU : u;
            frame->data[2][row * frame->linesize[2] + column] = marker ? whiteV : v;
        }
}

void WriteSound(Output& out, AVStream* stream, int videoFrame, int framesPerSecond)
{
    AVCodecContext* context = out.audio;
    AVFrame* sound = Require(av_frame_alloc(), "audio frame");
    struct Free {
        AVFrame* f;
        ~Free() { av_frame_free(&f); }
    } freeSound{sound};
    sound->format = context->sample_fmt;
    sound->sample_rate = kSampleRate;
    Check(av_channel_layout_copy(&sound->ch_layout, &context->ch_layout), "audio layout");
    sound->nb_samples = kSampleRate / framesPerSecond;
    Check(av_frame_get_buffer(sound, 0), "audio buffer");
    auto* samples = reinterpret_cast<int16_t*>(sound->data[0]);
    for (int i = 0; i < sound->nb_samples; ++i)
        samples[i] = int16_t((i % 40 < 20) ? 3000 : -3000);
    sound->pts = int64_t(videoFrame) * sound->nb_samples;
    Encode(out, context, stream, sound, sound->nb_samples);
}

} // namespace

MovieColour MovieFrameColour(int frame)
{
    const int red = (12 * frame) % 240 + 8;
    return MovieColour{red, 100, 255 - red};
}

void WriteMovie(const std::filesystem::path& path, const MovieShape& shape)
{
    // The encoders' statistics are of no interest to a test.
    av_log_set_level(AV_LOG_ERROR);
    Output out;
    Check(avformat_alloc_output_context2(&out.format, nullptr, shape.format.c_str(), path.c_str()), "output format");
    AVCodecContext* video = OpenVideo(out, shape);
    AVStream* videoStream = AddStream(out, video);
    AVStream* audioStream = shape.audio ? AddStream(out, OpenAudio(out)) : nullptr;
    Check(avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE), "open file");
    Check(avformat_write_header(out.format, nullptr), "write header");

    out.packet = Require(av_packet_alloc(), "packet");
    out.frame = Require(av_frame_alloc(), "frame");
    out.frame->format = video->pix_fmt;
    out.frame->width = shape.width;
    out.frame->height = shape.height;
    Check(av_frame_get_buffer(out.frame, 0), "frame buffer");
    for (int number = 0; number < shape.frames; ++number) {
        Check(av_frame_make_writable(out.frame), "writable frame");
        FillPicture(out.frame, number, video->pix_fmt == AV_PIX_FMT_YUVJ420P);
        out.frame->pts = number;
        if (audioStream)
            WriteSound(out, audioStream, number, shape.framesPerSecond);
        Encode(out, video, videoStream, out.frame, 1);
    }
    Encode(out, video, videoStream, nullptr, 1);
    if (audioStream)
        Encode(out, out.audio, audioStream, nullptr, 0);
    Check(av_write_trailer(out.format), "write trailer");
}

} // namespace testsupport
