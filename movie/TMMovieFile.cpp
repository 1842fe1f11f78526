#include "movie/TMMovieFile.h"

#include "foundation/FPath.h"
#include "foundation/FString.h"
#include "movie/TMFFmpeg.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

namespace tkrmovie {
namespace {

constexpr AVRational kTimeUnit{1, int(kTimeUnitsPerSecond)};

// The library reports through its results; FFmpeg's own diagnostics would
// only reach the program's standard error.
void SilenceFFmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

bool ValidTimeBase(AVRational base) { return base.num > 0 && base.den > 0; }

} // namespace

BITMAPINFOHEADER Dib24Header(int width, int height)
{
    BITMAPINFOHEADER header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(DibRowBytes(width, 24) * height);
    return header;
}

void StoreFrame(CTMThumbnailData& record, TMFrame& frame)
{
    delete[] record.pBits;
    record.bmInfo = BITMAPINFO{};
    record.bmInfo.bmiHeader = frame.header;
    record.pBits = frame.bits.release();
    record.dwBitsSize = frame.size;
}

LPARAM ElapsedMilliseconds(std::chrono::steady_clock::time_point start)
{
    return static_cast<LPARAM>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

std::u16string_view PathText(const WCHAR* path) { return path ? std::u16string_view(path) : std::u16string_view(); }

int PlainPixelFormat(int format, bool& fullRange)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
    default: return format;
    }
}

bool NativePath(std::u16string_view path, std::string& native)
{
    return !path.empty() && PathToNative(FString(path), native) && !native.empty();
}

bool IsExistingFile(std::u16string_view path)
{
    std::string native;
    struct stat info {};
    return NativePath(path, native) && stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void CopyPath(WCHAR (&field)[TM_MAX_PATH], std::u16string_view path)
{
    const size_t length = std::min<size_t>(path.size(), TM_MAX_PATH - 1);
    std::copy_n(path.begin(), length, field);
    std::fill(field + length, std::end(field), u'\0');
}

bool ReadFileStart(std::u16string_view path, std::size_t count, std::vector<BYTE>& bytes)
{
    std::string native;
    FILE* file = NativePath(path, native) ? std::fopen(native.c_str(), "rb") : nullptr;
    if (!file)
        return false;
    bytes.resize(count);
    bytes.resize(std::fread(bytes.data(), 1, count, file));
    std::fclose(file);
    return true;
}

TMMovieFile::TMMovieFile() = default;

TMMovieFile::~TMMovieFile()
{
    sws_freeContext(m_pScaler);
    av_packet_free(&m_pPacket);
    avcodec_free_context(&m_pDecoder);
    avformat_close_input(&m_pFormat);
}

int TMMovieFile::Interrupt(void* self) { return static_cast<TMMovieFile*>(self)->Cancelled() ? 1 : 0; }

int TMMovieFile::Open(std::u16string_view path, const char* format, CancelCheck cancel)
{
    SilenceFFmpeg();
    m_Cancel = std::move(cancel);
    std::string native;
    if (!NativePath(path, native))
        return AVERROR(ENOENT);
    // Only regular files: a pipe or a device could block the grab for ever.
    struct stat info {};
    if (stat(native.c_str(), &info) != 0)
        return AVERROR(errno);
    if (!S_ISREG(info.st_mode))
        return AVERROR(EINVAL);

    const AVInputFormat* input = nullptr;
    if (format && !(input = av_find_input_format(format)))
        return AVERROR_DEMUXER_NOT_FOUND;
    m_pPacket = av_packet_alloc();
    m_pFormat = avformat_alloc_context();
    if (!m_pPacket || !m_pFormat)
        return AVERROR(ENOMEM);
    m_pFormat->interrupt_callback = {&TMMovieFile::Interrupt, this};
    // A movie may name other files or addresses (play lists); it is read alone.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    // The "file:" prefix keeps a name with a colon from being read as a protocol.
    const std::string url = "file:" + native;
    int rc = avformat_open_input(&m_pFormat, url.c_str(), input, &options);
    av_dict_free(&options);
    if (rc < 0)
        return rc; // FFmpeg has freed the context
    rc = avformat_find_stream_info(m_pFormat, nullptr);
    return rc < 0 ? rc : 0;
}

int64_t TMMovieFile::StopPosition() const
{
    if (!m_pFormat)
        return -1;
    if (m_pFormat->duration != AV_NOPTS_VALUE && m_pFormat->duration >= 0)
        return av_rescale_q(m_pFormat->duration, AV_TIME_BASE_Q, kTimeUnit);
    const int stream = FindVideoStream();
    if (stream < 0)
        return -1;
    const AVStream* video = m_pFormat->streams[stream];
    if (video->duration == AV_NOPTS_VALUE || video->duration < 0 || !ValidTimeBase(video->time_base))
        return -1;
    return av_rescale_q(video->duration, video->time_base, kTimeUnit);
}

int TMMovieFile::StreamCount() const { return m_pFormat ? int(m_pFormat->nb_streams) : 0; }

int TMMovieFile::FindVideoStream(StreamChoice choice) const
{
    const auto isVideo = [this](int stream) {
        return m_pFormat->streams[stream]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    };
    switch (choice) {
    case StreamChoice::FirstStream:
        return StreamCount() > 0 && isVideo(0) ? 0 : -1;
    case StreamChoice::FirstVideo:
        for (int stream = 0; stream < StreamCount(); ++stream)
            if (isVideo(stream))
                return stream;
        return -1;
    case StreamChoice::Best:
        break;
    }
    if (StreamCount() == 0)
        return -1;
    const int stream = av_find_best_stream(m_pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    return stream >= 0 ? stream : -1;
}

int64_t TMMovieFile::WholeFramesPerSecond(int stream) const
{
    // An AVI stream's time base is its scale over its rate.
    const AVRational base = m_pFormat->streams[stream]->time_base;
    return ValidTimeBase(base) ? base.den / base.num : 0;
}

int TMMovieFile::OpenDecoder(int stream)
{
    if (m_pDecoder && m_iDecoderStream == stream)
        return 0;
    avcodec_free_context(&m_pDecoder);
    const AVStream* video = m_pFormat->streams[stream];
    const AVCodec* codec = avcodec_find_decoder(video->codecpar->codec_id);
    if (!codec)
        return AVERROR_DECODER_NOT_FOUND;
    m_pDecoder = avcodec_alloc_context3(codec);
    if (!m_pDecoder)
        return AVERROR(ENOMEM);
    int rc = avcodec_parameters_to_context(m_pDecoder, video->codecpar);
    if (rc < 0)
        return rc;
    m_pDecoder->pkt_timebase = video->time_base;
    // The decoder refuses larger pictures before it allocates them.
    m_pDecoder->max_pixels = kMaxFramePixels;
    rc = avcodec_open2(m_pDecoder, codec, nullptr);
    if (rc < 0)
        return rc;
    m_iDecoderStream = stream;
    return 0;
}

int TMMovieFile::ReadPacket()
{
    if (Cancelled())
        return AVERROR_EXIT;
    return av_read_frame(m_pFormat, m_pPacket);
}

int TMMovieFile::TargetTimestamp(int stream, int64_t time, int64_t& target) const
{
    const AVStream* video = m_pFormat->streams[stream];
    if (!ValidTimeBase(video->time_base))
        return AVERROR_INVALIDDATA;
    time = std::max<int64_t>(time, 0);
    const int64_t start = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
    if (__builtin_add_overflow(start, av_rescale_q(time, kTimeUnit, video->time_base), &target))
        return AVERROR_INVALIDDATA;
    return 0;
}

int TMMovieFile::DecodeAtTime(int stream, int64_t time, TMFrame& frame)
{
    int64_t target = 0;
    const int rc = TargetTimestamp(stream, time, target);
    if (rc < 0)
        return rc;
    const int64_t stop = StopPosition();
    if (stop >= 0 && std::max<int64_t>(time, 0) > stop)
        return AVERROR_EOF;
    return DecodeCovering(stream, target, frame);
}

int TMMovieFile::DecodeFrameNumber(int stream, int64_t number, TMFrame& frame)
{
    const AVStream* video = m_pFormat->streams[stream];
    const int64_t frames = video->nb_frames > 0 ? video->nb_frames : video->duration;
    if (number < 0 || (frames > 0 && number >= frames))
        return AVERROR_EOF;
    return DecodeCovering(stream, number, frame);
}

int TMMovieFile::DecodeCovering(int stream, int64_t target, TMFrame& frame)
{
    FramePtr covering(av_frame_alloc());
    FramePtr next(av_frame_alloc());
    if (!covering || !next)
        return AVERROR(ENOMEM);
    const int rc = CoverTarget(stream, target, covering.get(), next.get());
    return rc < 0 ? rc : ConvertFrame(*covering, frame);
}

int TMMovieFile::DecodeCoveringFrames(int stream, int64_t time, AVFrame* covering, AVFrame* next)
{
    int64_t target = 0;
    const int rc = TargetTimestamp(stream, time, target);
    return rc < 0 ? rc : CoverTarget(stream, target, covering, next);
}

// Decodes from the key frame before the target up to the frame whose time
// span holds it: the last frame at or before the target, or the first frame
// when the stream starts after it.
int TMMovieFile::CoverTarget(int stream, int64_t target, AVFrame* covering, AVFrame* next)
{
    av_frame_unref(next);
    int rc = OpenDecoder(stream);
    if (rc < 0)
        return rc;
    // A failed seek leaves the reading at the start, which is slower but right.
    av_seek_frame(m_pFormat, stream, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(m_pDecoder);

    FramePtr current(av_frame_alloc());
    if (!current)
        return AVERROR(ENOMEM);
    bool havePrevious = false;
    for (int budget = kMaxPackets;;) {
        rc = ReadFrame(stream, current.get(), budget);
        if (rc == AVERROR_EOF)
            return havePrevious ? 0 : AVERROR_INVALIDDATA;
        if (rc < 0)
            return rc;
        const int64_t time = current->best_effort_timestamp;
        if (time == AV_NOPTS_VALUE || time == target || (time > target && !havePrevious)) {
            av_frame_unref(covering);
            av_frame_move_ref(covering, current.get());
            return 0;
        }
        if (time > target) {
            av_frame_move_ref(next, current.get());
            return 0;
        }
        av_frame_unref(covering);
        av_frame_move_ref(covering, current.get());
        havePrevious = true;
    }
}

int TMMovieFile::SeekStream(int stream, int64_t time)
{
    int64_t target = 0;
    int rc = TargetTimestamp(stream, time, target);
    if (rc >= 0)
        rc = OpenDecoder(stream);
    if (rc < 0)
        return rc;
    av_seek_frame(m_pFormat, stream, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(m_pDecoder);
    return 0;
}

int TMMovieFile::ReadFrame(int stream, AVFrame* frame, int& packetBudget)
{
    int rc = OpenDecoder(stream);
    if (rc < 0)
        return rc;
    for (;;) {
        while ((rc = avcodec_receive_frame(m_pDecoder, frame)) != AVERROR(EAGAIN)) {
            if (rc >= 0 || rc == AVERROR_EOF)
                return rc;
            if (rc != AVERROR_INVALIDDATA)
                return rc;
        }
        if (packetBudget <= 0)
            return AVERROR_INVALIDDATA;
        --packetBudget;
        rc = ReadPacket();
        if (rc == AVERROR_EXIT)
            return rc;
        // The end of the file, or a damaged or truncated rest: what the decoder
        // holds is all there is.
        if (rc < 0) {
            avcodec_send_packet(m_pDecoder, nullptr);
            continue;
        }
        if (m_pPacket->stream_index == stream)
            rc = avcodec_send_packet(m_pDecoder, m_pPacket);
        av_packet_unref(m_pPacket);
        if (rc < 0 && rc != AVERROR_INVALIDDATA && rc != AVERROR_EOF)
            return rc;
    }
}

int TMMovieFile::FindAudioStream() const
{
    if (StreamCount() == 0)
        return -1;
    const int stream = av_find_best_stream(m_pFormat, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    return stream >= 0 ? stream : -1;
}

const AVStream* TMMovieFile::Stream(int stream) const { return m_pFormat->streams[stream]; }

int64_t TMMovieFile::FrameTime(int stream, const AVFrame& frame) const
{
    const AVStream* s = m_pFormat->streams[stream];
    if (frame.best_effort_timestamp == AV_NOPTS_VALUE || !ValidTimeBase(s->time_base))
        return -1;
    const int64_t start = s->start_time != AV_NOPTS_VALUE ? s->start_time : 0;
    return std::max<int64_t>(0, av_rescale_q(frame.best_effort_timestamp - start, s->time_base, kTimeUnit));
}

int TMMovieFile::DecodeFirstOf(int stream, int64_t count, TMFrame& frame)
{
    int rc = OpenDecoder(stream);
    if (rc < 0)
        return rc;
    FramePtr decoded(av_frame_alloc());
    if (!decoded)
        return AVERROR(ENOMEM);
    int64_t sent = 0;
    for (int packets = 0;; ++packets) {
        while ((rc = avcodec_receive_frame(m_pDecoder, decoded.get())) != AVERROR(EAGAIN)) {
            if (rc == AVERROR_EOF)
                return AVERROR_EOF;
            if (rc >= 0)
                return ConvertFrame(*decoded, frame);
            if (rc != AVERROR_INVALIDDATA)
                return rc;
        }
        if (sent == count || packets == kMaxPackets || (rc = ReadPacket()) < 0) {
            if (rc == AVERROR_EXIT)
                return rc;
            avcodec_send_packet(m_pDecoder, nullptr);
            continue;
        }
        if (m_pPacket->stream_index == stream) {
            ++sent;
            rc = avcodec_send_packet(m_pDecoder, m_pPacket);
        }
        av_packet_unref(m_pPacket);
        if (rc < 0 && rc != AVERROR_INVALIDDATA && rc != AVERROR_EOF)
            return rc;
    }
}

int TMMovieFile::ConvertFrame(const AVFrame& source, TMFrame& frame)
{
    const int width = source.width;
    const int height = source.height;
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide ||
        int64_t(width) * height > kMaxFramePixels)
        return AVERROR_INVALIDDATA;
    bool fullRange = source.color_range == AVCOL_RANGE_JPEG;
    const auto format = static_cast<AVPixelFormat>(PlainPixelFormat(source.format, fullRange));
    m_pScaler = sws_getCachedContext(m_pScaler, width, height, format, width, height, AV_PIX_FMT_BGR24,
                                     SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_pScaler)
        return AVERROR(EINVAL);
    const int* coefficients = sws_getCoefficients(source.colorspace);
    sws_setColorspaceDetails(m_pScaler, coefficients, fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);

    const int64_t rowBytes = DibRowBytes(width, 24);
    const DWORD size = static_cast<DWORD>(rowBytes * height);
    std::unique_ptr<BYTE[]> bits(new BYTE[size]);
    // Bottom-up: the picture's top row is the buffer's last.
    uint8_t* const rows[4] = {bits.get() + (height - 1) * rowBytes, nullptr, nullptr, nullptr};
    const int strides[4] = {-int(rowBytes), 0, 0, 0};
    if (sws_scale(m_pScaler, source.data, source.linesize, 0, height, rows, strides) != height)
        return AVERROR(EINVAL);
    const int64_t pixelBytes = int64_t(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memset(bits.get() + y * rowBytes + pixelBytes, 0, size_t(rowBytes - pixelBytes));

    frame.header = Dib24Header(width, height);
    frame.bits = std::move(bits);
    frame.size = size;
    return 0;
}

} // namespace tkrmovie
