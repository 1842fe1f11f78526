#include "movie/TMAviEncoder.h"

#include "movie/TMFFmpeg.h"
#include "movie/TMMovieFile.h"
#include "movie/TMTemporaryFile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <string>

namespace tkrmovie {
namespace {

constexpr AVRational kTimeUnit{1, int(kTimeUnitsPerSecond)};

struct OutputDeleter {
    void operator()(AVFormatContext* output) const
    {
        avio_closep(&output->pb);
        avformat_free_context(output);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

struct ScalerDeleter {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct ResamplerDeleter {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

bool HasPrivateOption(const AVCodec& codec, const char* name)
{
    return codec.priv_class &&
           av_opt_find(const_cast<AVClass**>(&codec.priv_class), name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
}

bool IsPcm(const AVCodec& codec) { return codec.id >= AV_CODEC_ID_FIRST_AUDIO && codec.id < AV_CODEC_ID_ADPCM_IMA_QT; }

// The encoder's picture format nearest the source's; encoders that list a
// full-range JPEG format first (the JPEG family) get the full-range one.
AVPixelFormat PixelFormatFor(const AVCodec& codec, AVPixelFormat source)
{
    if (!codec.pix_fmts)
        return source;
    bool fullRange = false;
    const auto plain = static_cast<AVPixelFormat>(PlainPixelFormat(source, fullRange));
    const AVPixelFormat best = avcodec_find_best_pix_fmt_of_list(codec.pix_fmts, plain, 0, nullptr);
    bool jpeg = false;
    PlainPixelFormat(codec.pix_fmts[0], jpeg);
    for (const AVPixelFormat* f = codec.pix_fmts; jpeg && *f != AV_PIX_FMT_NONE; ++f) {
        bool full = false;
        if (PlainPixelFormat(*f, full) == best && full)
            return *f;
    }
    return best;
}

// Sends one frame (null: the end) and writes every packet that comes out.
int EncodeAndWrite(AVCodecContext* encoder, const AVFrame* frame, AVStream* stream, AVFormatContext* output,
                   AVPacket* packet)
{
    int rc = avcodec_send_frame(encoder, frame);
    while (rc >= 0) {
        rc = avcodec_receive_packet(encoder, packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return 0;
        if (rc < 0)
            break;
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        rc = av_interleaved_write_frame(output, packet);
    }
    return rc;
}

// What the video and the sound tracks share: the source opened for one of
// its streams, the encoder and the stream of the AVI file it writes.
class Track {
public:
    bool Done() const { return m_bDone; }

protected:
    // The encoder of the codec, and the packet and frame the track works with.
    int Allocate(const AVCodec& codec)
    {
        m_pEncoder.reset(avcodec_alloc_context3(&codec));
        m_pPacket.reset(av_packet_alloc());
        m_pDecoded.reset(av_frame_alloc());
        return m_pEncoder && m_pPacket && m_pDecoded ? 0 : AVERROR(ENOMEM);
    }
    // Opens the encoder and adds its stream to the AVI file.
    int OpenEncoder(const AVCodec& codec, AVFormatContext* output)
    {
        if (output->oformat->flags & AVFMT_GLOBALHEADER)
            m_pEncoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int rc = avcodec_open2(m_pEncoder.get(), &codec, nullptr);
        if (rc < 0)
            return rc;
        if (!(m_pOut = avformat_new_stream(output, nullptr)))
            return AVERROR(ENOMEM);
        m_pOut->time_base = m_pEncoder->time_base;
        return avcodec_parameters_from_context(m_pOut->codecpar, m_pEncoder.get());
    }
    // Encodes the frame (null: the end of the track) and writes what comes out.
    int Encode(const AVFrame* frame, AVFormatContext* output)
    {
        m_bDone = m_bDone || !frame;
        return EncodeAndWrite(m_pEncoder.get(), frame, m_pOut, output, m_pPacket.get());
    }

    TMMovieFile m_Source;
    int m_Stream = -1;
    CodecContextPtr m_pEncoder;
    PacketPtr m_pPacket;
    FramePtr m_pDecoded;
    AVStream* m_pOut = nullptr;

private:
    bool m_bDone = false;
};

// The movie's video, decoded from its own opening of the source and encoded
// into the AVI stream.
class VideoTrack : public Track {
public:
    // Opens the source's video and the encoder: 0 or the failure.
    int Open(std::u16string_view source, const AVCodec& codec, const CTMEncodeData& job, AVFormatContext* output,
             const TMMovieFile::CancelCheck& cancelled)
    {
        int rc = m_Source.Open(source, nullptr, cancelled);
        if (rc < 0)
            return rc;
        if ((m_Stream = m_Source.FindVideoStream()) < 0)
            return AVERROR_STREAM_NOT_FOUND;
        const AVStream& in = *m_Source.Stream(m_Stream);
        const AVCodecParameters& parameters = *in.codecpar;
        AVRational rate = in.avg_frame_rate.num > 0 && in.avg_frame_rate.den > 0 ? in.avg_frame_rate : in.r_frame_rate;
        if (rate.num <= 0 || rate.den <= 0)
            rate = AVRational{25, 1};

        // The compressor's first capability: the source's size in the
        // compressor's format. A raw compressor writes packed UYVY.
        TMVideoFormat video;
        video.uyvy = codec.id == AV_CODEC_ID_RAWVIDEO;
        video.format.bmiHeader.biWidth = parameters.width;
        video.format.bmiHeader.biHeight = parameters.height;
        ApplyVideoCapability(video, SIZE{parameters.width, parameters.height}, std::max(job.nBitRate, 0));

        if ((rc = Allocate(codec)) < 0)
            return rc;
        AVCodecContext& encoder = *m_pEncoder;
        encoder.width = video.format.bmiHeader.biWidth;
        encoder.height = video.format.bmiHeader.biHeight;
        encoder.time_base = av_inv_q(rate);
        encoder.framerate = rate;
        encoder.sample_aspect_ratio = parameters.sample_aspect_ratio;
        encoder.pix_fmt = video.uyvy ? AV_PIX_FMT_UYVY422
                                     : PixelFormatFor(codec, static_cast<AVPixelFormat>(parameters.format));
        bool fullRange = false;
        PlainPixelFormat(encoder.pix_fmt, fullRange);
        if (fullRange)
            encoder.color_range = AVCOL_RANGE_JPEG;
        if (!video.uyvy)
            encoder.bit_rate = video.format.dwBitRate;
        const TMCompressionSettings settings = CompressionSettingsFor(codec, job.dQuality, job.nKeyFrameRate);
        if (settings.quantiser > 0) {
            encoder.flags |= AV_CODEC_FLAG_QSCALE;
            encoder.global_quality = settings.quantiser * FF_QP2LAMBDA;
        }
        if (settings.constantRate >= 0)
            av_opt_set_double(encoder.priv_data, "crf", settings.constantRate, 0);
        if (settings.keyFrameInterval > 0)
            encoder.gop_size = settings.keyFrameInterval;
        if ((rc = OpenEncoder(codec, output)) >= 0)
            m_pOut->avg_frame_rate = rate;
        return rc;
    }

    // Seconds to the next frame.
    double NextTime() const { return double(m_NextPts) * av_q2d(m_pEncoder->time_base); }

    // Encodes the next frame of the source, or the encoder's rest at the end.
    int Step(AVFormatContext* output)
    {
        int budget = TMMovieFile::kMaxPackets;
        int rc = m_Source.ReadFrame(m_Stream, m_pDecoded.get(), budget);
        if (rc == AVERROR_EOF)
            return Encode(nullptr, output);
        if (rc < 0)
            return rc;
        AVFrame* picture = m_pDecoded.get();
        if (Converting(*picture)) {
            if ((rc = Convert(*picture)) < 0)
                return rc;
            picture = m_pConverted.get();
        }
        // The source's time, kept rising frame by frame.
        const int64_t time = m_Source.FrameTime(m_Stream, *m_pDecoded);
        const int64_t pts = time >= 0 ? av_rescale_q(time, kTimeUnit, m_pEncoder->time_base) : m_NextPts;
        picture->pts = std::max(pts, m_NextPts);
        m_NextPts = picture->pts + 1;
        rc = Encode(picture, output);
        av_frame_unref(m_pDecoded.get());
        return rc;
    }

private:
    bool Converting(const AVFrame& frame) const
    {
        return frame.format != m_pEncoder->pix_fmt || frame.width != m_pEncoder->width ||
               frame.height != m_pEncoder->height;
    }

    int Convert(const AVFrame& frame)
    {
        const AVCodecContext& encoder = *m_pEncoder;
        if (!m_pConverted) {
            m_pConverted.reset(av_frame_alloc());
            if (!m_pConverted)
                return AVERROR(ENOMEM);
            m_pConverted->format = encoder.pix_fmt;
            m_pConverted->width = encoder.width;
            m_pConverted->height = encoder.height;
            const int rc = av_frame_get_buffer(m_pConverted.get(), 0);
            if (rc < 0)
                return rc;
        }
        const int rc = av_frame_make_writable(m_pConverted.get());
        if (rc < 0)
            return rc;
        bool sourceFull = frame.color_range == AVCOL_RANGE_JPEG;
        bool targetFull = encoder.color_range == AVCOL_RANGE_JPEG;
        const auto from = static_cast<AVPixelFormat>(PlainPixelFormat(frame.format, sourceFull));
        const auto to = static_cast<AVPixelFormat>(PlainPixelFormat(encoder.pix_fmt, targetFull));
        m_pScaler.reset(sws_getCachedContext(m_pScaler.release(), frame.width, frame.height, from, encoder.width,
                                             encoder.height, to, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_pScaler)
            return AVERROR(EINVAL);
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_pScaler.get(), sws_getCoefficients(frame.colorspace), sourceFull ? 1 : 0,
                                 coefficients, targetFull ? 1 : 0, 0, 1 << 16, 1 << 16);
        return sws_scale(m_pScaler.get(), frame.data, frame.linesize, 0, frame.height, m_pConverted->data,
                         m_pConverted->linesize) == encoder.height
                   ? 0
                   : AVERROR(EINVAL);
    }

    FramePtr m_pConverted;
    std::unique_ptr<SwsContext, ScalerDeleter> m_pScaler;
    int64_t m_NextPts = 0;
};

// The movie's sound, decoded from its own opening of the source, resampled to
// the encoder's format and encoded into the AVI stream.
class AudioTrack : public Track {
public:
    // Opens the source's sound and the encoder: 0, 1 when the movie has no
    // sound, or the failure.
    int Open(std::u16string_view source, const AVCodec& named, AVFormatContext* output,
             const TMMovieFile::CancelCheck& cancelled)
    {
        int rc = m_Source.Open(source, nullptr, cancelled);
        if (rc < 0)
            return rc;
        if ((m_Stream = m_Source.FindAudioStream()) < 0)
            return 1;
        const AVCodecParameters& parameters = *m_Source.Stream(m_Stream)->codecpar;

        // The compressor's first capability: the source's sound in the
        // compressor's format; a PCM compressor's becomes 8-bit sound.
        const AVCodec* codec = &named;
        WAVEFORMATEX wave;
        wave.wFormatTag = IsPcm(named) ? WAVE_FORMAT_PCM : 0;
        wave.nChannels = WORD(std::clamp(parameters.ch_layout.nb_channels, 1, 2));
        wave.nSamplesPerSec = DWORD(std::max(parameters.sample_rate, 1));
        ApplyAudioCapability(wave);
        if (wave.wFormatTag == WAVE_FORMAT_PCM && !(codec = avcodec_find_encoder(AV_CODEC_ID_PCM_U8)))
            return AVERROR_ENCODER_NOT_FOUND;

        if ((rc = Allocate(*codec)) < 0)
            return rc;
        AVCodecContext& encoder = *m_pEncoder;
        encoder.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        encoder.sample_rate = SampleRateFor(*codec, int(wave.nSamplesPerSec));
        encoder.time_base = AVRational{1, encoder.sample_rate};
        av_channel_layout_default(&encoder.ch_layout, wave.nChannels);
        if ((rc = OpenEncoder(*codec, output)) < 0)
            return rc;
        m_FrameSize = encoder.frame_size > 0 ? encoder.frame_size : 4096;
        m_pFifo.reset(av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, m_FrameSize));
        m_pChunk.reset(av_frame_alloc());
        return m_pFifo && m_pChunk ? 0 : AVERROR(ENOMEM);
    }

    double NextTime() const { return double(m_Written + av_audio_fifo_size(m_pFifo.get())) / m_pEncoder->sample_rate; }

    // Encodes the next piece of the source's sound, or the rest at the end.
    int Step(AVFormatContext* output)
    {
        int budget = TMMovieFile::kMaxPackets;
        int rc = m_Source.ReadFrame(m_Stream, m_pDecoded.get(), budget);
        const bool end = rc == AVERROR_EOF;
        if (rc < 0 && !end)
            return rc;
        if ((rc = Resample(end ? nullptr : m_pDecoded.get())) < 0)
            return rc;
        av_frame_unref(m_pDecoded.get());
        while (av_audio_fifo_size(m_pFifo.get()) >= (end ? 1 : m_FrameSize))
            if ((rc = EncodeChunk(output)) < 0)
                return rc;
        return end ? Encode(nullptr, output) : 0;
    }

private:
    static int SampleRateFor(const AVCodec& codec, int wanted)
    {
        if (!codec.supported_samplerates)
            return wanted;
        for (const int* rate = codec.supported_samplerates; *rate; ++rate)
            if (*rate == wanted)
                return wanted;
        return codec.supported_samplerates[0];
    }

    // Adds the frame's samples (null: what the resampler still holds) to the fifo.
    int Resample(const AVFrame* frame)
    {
        const AVCodecContext& encoder = *m_pEncoder;
        if (frame && !m_pResampler) {
            SwrContext* context = nullptr;
            int rc = swr_alloc_set_opts2(&context, &m_pEncoder->ch_layout, encoder.sample_fmt, encoder.sample_rate,
                                         const_cast<AVChannelLayout*>(&frame->ch_layout),
                                         static_cast<AVSampleFormat>(frame->format),
                                         frame->sample_rate, 0, nullptr);
            m_pResampler.reset(context);
            if (rc < 0 || (rc = swr_init(context)) < 0)
                return rc;
        }
        if (!m_pResampler)
            return 0;
        const int capacity = swr_get_out_samples(m_pResampler.get(), frame ? frame->nb_samples : 0);
        if (capacity <= 0)
            return capacity;
        uint8_t** planes = nullptr;
        int rc = av_samples_alloc_array_and_samples(&planes, nullptr, encoder.ch_layout.nb_channels, capacity,
                                                    encoder.sample_fmt, 0);
        if (rc < 0)
            return rc;
        rc = swr_convert(m_pResampler.get(), planes, capacity, frame ? const_cast<const uint8_t**>(frame->extended_data)
                                                                     : nullptr,
                         frame ? frame->nb_samples : 0);
        if (rc > 0)
            rc = av_audio_fifo_write(m_pFifo.get(), reinterpret_cast<void**>(planes), rc);
        av_freep(&planes[0]);
        av_freep(&planes);
        return rc < 0 ? rc : 0;
    }

    // One encoder frame from the fifo; the last one is filled with silence
    // where the encoder wants whole frames.
    int EncodeChunk(AVFormatContext* output)
    {
        const AVCodecContext& encoder = *m_pEncoder;
        const int available = av_audio_fifo_size(m_pFifo.get());
        const bool whole = !(encoder.codec->capabilities &
                             (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME)) &&
                           encoder.frame_size > 0;
        const int samples = whole ? m_FrameSize : std::min(available, m_FrameSize);
        AVFrame* chunk = m_pChunk.get();
        av_frame_unref(chunk);
        chunk->nb_samples = samples;
        chunk->format = encoder.sample_fmt;
        chunk->sample_rate = encoder.sample_rate;
        int rc = av_channel_layout_copy(&chunk->ch_layout, &encoder.ch_layout);
        if (rc < 0 || (rc = av_frame_get_buffer(chunk, 0)) < 0)
            return rc;
        av_samples_set_silence(chunk->extended_data, 0, samples, encoder.ch_layout.nb_channels, encoder.sample_fmt);
        if ((rc = av_audio_fifo_read(m_pFifo.get(), reinterpret_cast<void**>(chunk->extended_data),
                                     std::min(available, samples))) < 0)
            return rc;
        chunk->pts = m_Written;
        m_Written += samples;
        return Encode(chunk, output);
    }

    FramePtr m_pChunk;
    std::unique_ptr<SwrContext, ResamplerDeleter> m_pResampler;
    std::unique_ptr<AVAudioFifo, FifoDeleter> m_pFifo;
    int m_FrameSize = 0;
    int64_t m_Written = 0;
};

TMEncodeOutcome Failed(WPARAM status, LONG exitCode, int code, bool ended = false)
{
    return TMEncodeOutcome{exitCode, status, code, ended};
}

} // namespace

void ApplyVideoCapability(TMVideoFormat& video, SIZE minimumOutputSize, int32_t bitRate)
{
    if (!video.uyvy) {
        video.format.dwBitRate = DWORD(bitRate);
        return;
    }
    BITMAPINFOHEADER& header = video.format.bmiHeader;
    header.biWidth = minimumOutputSize.cx;
    header.biHeight = minimumOutputSize.cy;
    const int64_t size = ((int64_t(header.biWidth) + 3) & ~int64_t(3)) * header.biHeight * 2;
    header.biSizeImage = DWORD(size);
    video.sampleSize = ULONG(size);
}

void ApplyAudioCapability(WAVEFORMATEX& audio)
{
    if (audio.wFormatTag != WAVE_FORMAT_PCM)
        return;
    audio.nSamplesPerSec = 11025;
    audio.wBitsPerSample = 8;
    audio.nBlockAlign = audio.nChannels;
    audio.nAvgBytesPerSec = DWORD(audio.nBlockAlign) * 11025;
}

TMCompressionSettings CompressionSettingsFor(const AVCodec& encoder, double quality, int keyFrameRate)
{
    TMCompressionSettings settings;
    quality = std::clamp(quality, 0.0, 1.0);
    // The MPEG family's encoders take a fixed quantiser, the x264 family and
    // its kind a constant rate factor; those without either but with inter
    // frames take the key-frame rate.
    if (HasPrivateOption(encoder, "mpv_flags")) {
        settings.quantiser = int(std::lround(31.0 - 30.0 * quality));
        return settings;
    }
    if (HasPrivateOption(encoder, "crf")) {
        settings.constantRate = std::round(51.0 * (1.0 - quality));
        return settings;
    }
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(encoder.id);
    if (descriptor && !(descriptor->props & AV_CODEC_PROP_INTRA_ONLY) && keyFrameRate > 0)
        settings.keyFrameInterval = keyFrameRate;
    return settings;
}

TMEncodeOutcome EncodeAvi(const CTMEncodeData& job, const AVCodec& videoCodec, const AVCodec& audioCodec,
                          const std::function<bool()>& cancelled)
{
    // The destination first: one that cannot be written fails before any work.
    std::string destination;
    if (!NativePath(FieldText(job.szDestFile), destination))
        return Failed(4, kEncodeVideoFailed, AVERROR(ENOENT));
    TMTemporaryFile file(destination);
    if (!file.Created() || !file.Close())
        return Failed(4, kEncodeVideoFailed, AVERROR(file.Error()));

    AVFormatContext* context = nullptr;
    int rc = avformat_alloc_output_context2(&context, nullptr, "avi", nullptr);
    OutputPtr output(context);
    if (rc < 0)
        return Failed(4, kEncodeVideoFailed, rc);
    if (cancelled())
        return TMEncodeOutcome{kEncodeCancelledEarly};
    const std::u16string_view source = FieldText(job.szSourceFile);
    VideoTrack video;
    if ((rc = video.Open(source, videoCodec, job, output.get(), cancelled)) < 0)
        return cancelled() ? TMEncodeOutcome{kEncodeCancelledEarly} : Failed(4, kEncodeVideoFailed, rc);
    if (cancelled())
        return TMEncodeOutcome{kEncodeCancelledEarly};
    AudioTrack audio;
    const int sound = audio.Open(source, audioCodec, output.get(), cancelled);
    if (sound < 0)
        return cancelled() ? TMEncodeOutcome{kEncodeCancelledEarly} : Failed(5, kEncodeAudioFailed, sound);
    if (cancelled())
        return TMEncodeOutcome{kEncodeCancelledEarly};
    const std::string url = "file:" + file.Path();
    if ((rc = avio_open(&output->pb, url.c_str(), AVIO_FLAG_WRITE)) < 0 ||
        (rc = avformat_write_header(output.get(), nullptr)) < 0)
        return Failed(4, kEncodeVideoFailed, rc);

    // Running: from here every end is told by WM_TM_ENCODEEND, and a failure
    // by its status first.
    const bool withSound = sound == 0;
    while (!video.Done() || (withSound && !audio.Done())) {
        if (cancelled())
            return TMEncodeOutcome{0, 0, 0, true};
        const bool soundNext = withSound && !audio.Done() && (video.Done() || audio.NextTime() < video.NextTime());
        if (soundNext ? (rc = audio.Step(output.get())) < 0 : (rc = video.Step(output.get())) < 0)
            return Failed(soundNext ? 5 : 4, 0, rc, true);
    }
    if ((rc = av_write_trailer(output.get())) < 0 || (rc = avio_closep(&output->pb)) < 0)
        return Failed(4, 0, rc, true);
    if (!file.Commit())
        return Failed(4, 0, AVERROR(file.Error()), true);
    return TMEncodeOutcome{0, 0, 0, true};
}

} // namespace tkrmovie
