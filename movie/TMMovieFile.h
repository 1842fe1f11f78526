#pragma once
// The library's movie back end on FFmpeg: one opened movie file whose frames
// are decoded into the pictures the grabs hand out (24-bit, bottom-up, rows
// padded to 4 bytes). Every grab opens its own; an object is used by one
// thread. Failures are FFmpeg's negative codes (AVERROR), passed through.

#include "movie/CTMThumbnailData.h"
#include "movie/TKRMovieDefs.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace tkrmovie {

// 100-nanosecond units per second.
constexpr int64_t kTimeUnitsPerSecond = 10000000;

// Frames larger than this are refused before any buffer is allocated for them.
constexpr int kMaxFrameSide = 16384;
constexpr int64_t kMaxFramePixels = int64_t(1) << 26;

// A picture as the grabs store it in a record.
struct TMFrame {
    BITMAPINFOHEADER header{};
    std::unique_ptr<BYTE[]> bits;
    DWORD size = 0;
};

class TMMovieFile {
public:
    // Asked between reads and decodes; true stops the work with AVERROR_EXIT.
    using CancelCheck = std::function<bool()>;

    TMMovieFile();
    ~TMMovieFile();
    TMMovieFile(const TMMovieFile&) = delete;
    TMMovieFile& operator=(const TMMovieFile&) = delete;

    // Opens a regular file and reads its stream information; format names the
    // demuxer to use ("avi"), or null to let FFmpeg recognise the file. Only
    // the file itself is read: no other protocol is allowed.
    int Open(std::u16string_view path, const char* format = nullptr, CancelCheck cancel = {});

    // The movie's end in 100-nanosecond units, -1 when the file does not say.
    int64_t StopPosition() const;

    // Which video stream a grab decodes.
    enum class StreamChoice {
        Best,        // the one FFmpeg finds best
        FirstVideo,  // the first video stream
        FirstStream, // stream 0, when it is video
    };
    // The stream's index, -1 when there is none.
    int FindVideoStream(StreamChoice choice = StreamChoice::Best) const;
    int StreamCount() const;
    // Whole frames per second of a stream (rate / scale, truncated); 0 when
    // below one or unknown.
    int64_t WholeFramesPerSecond(int stream) const;

    // The frame showing at the time (100-nanosecond units from the start; a
    // negative time is the start): seeks to the key frame before it and
    // decodes forward. AVERROR_EOF when the time lies beyond the movie's end.
    int DecodeAtTime(int stream, int64_t time, TMFrame& frame);
    // Frame number n of the stream (in the stream's own time base, frame
    // numbers for AVI files); AVERROR_EOF when the stream has no such frame.
    int DecodeFrameNumber(int stream, int64_t number, TMFrame& frame);
    // The first frame that decodes among the first count frames of the
    // stream; AVERROR_EOF when none does.
    int DecodeFirstOf(int stream, int64_t count, TMFrame& frame);

    // Sequential decoding, for playback and encoding. ------------------------

    // The best audio stream's index, -1 when there is none.
    int FindAudioStream() const;
    const AVStream* Stream(int stream) const;
    // The time of a decoded frame of the stream in 100-nanosecond units from
    // the stream's start; -1 when the frame carries none.
    int64_t FrameTime(int stream, const AVFrame& frame) const;
    // Decodes from the key frame before the time (100-nanosecond units) up to
    // the frame whose span holds it, as DecodeAtTime does: that frame goes to
    // covering, the one after it to next when it was decoded on the way
    // (next is left empty otherwise). Decoding goes on from there with
    // ReadFrame.
    int DecodeCoveringFrames(int stream, int64_t time, AVFrame* covering, AVFrame* next);
    // Positions the stream's decoding at the key frame before the time.
    int SeekStream(int stream, int64_t time);
    // The next frame of the stream that decodes, AVERROR_EOF after the last.
    // Reads at most packetBudget packets (what is left is written back).
    int ReadFrame(int stream, AVFrame* frame, int& packetBudget);
    // A decoded picture as the grabs store it: 24-bit, bottom-up, rows padded.
    int ConvertFrame(const AVFrame& source, TMFrame& frame);

    // No decode reads more packets than this for one frame: a stream that
    // never reaches it ends with an error instead of running on.
    static constexpr int kMaxPackets = 1 << 16;

private:
    int OpenDecoder(int stream);
    // The stream's timestamp of a time in 100-nanosecond units.
    int TargetTimestamp(int stream, int64_t time, int64_t& target) const;
    int DecodeCovering(int stream, int64_t target, TMFrame& frame);
    int CoverTarget(int stream, int64_t target, AVFrame* covering, AVFrame* next);
    int ReadPacket();
    bool Cancelled() const { return m_Cancel && m_Cancel(); }
    static int Interrupt(void* self);

    CancelCheck m_Cancel;
    AVFormatContext* m_pFormat = nullptr;
    AVCodecContext* m_pDecoder = nullptr;
    int m_iDecoderStream = -1;
    AVPacket* m_pPacket = nullptr;
    SwsContext* m_pScaler = nullptr;
};

// A 24-bit bottom-up picture header for the size, rows padded to 4 bytes.
BITMAPINFOHEADER Dib24Header(int width, int height);

// Hands the picture to the record: any picture the record held is freed,
// the 44-byte header block gets the frame's 40-byte header.
void StoreFrame(CTMThumbnailData& record, TMFrame& frame);

// Milliseconds since a grab began, as its finish message reports them.
LPARAM ElapsedMilliseconds(std::chrono::steady_clock::time_point start);

// A caller's NUL-terminated path (null: empty).
std::u16string_view PathText(const WCHAR* path);
// The text of a record's field, which ends at its first NUL or at the
// field's length.
template <size_t N>
std::u16string_view FieldText(const WCHAR (&field)[N])
{
    return std::u16string_view(field, size_t(std::find(field, field + N, u'\0') - field));
}
inline std::u16string_view RecordPath(const CTMThumbnailData& record) { return FieldText(record.szFileName); }

// The full-range YUV formats FFmpeg still hands out for JPEG pictures, as
// their plain formats with the range given separately (an AVPixelFormat).
int PlainPixelFormat(int format, bool& fullRange);

// The file-system name of a wide path; false for an empty path or a text that
// names no file.
bool NativePath(std::u16string_view path, std::string& native);

// Whether the path names an existing regular file.
bool IsExistingFile(std::u16string_view path);

// Copies the path into a record's field, cut to fit, NUL-terminated.
void CopyPath(WCHAR (&field)[TM_MAX_PATH], std::u16string_view path);

// Up to count bytes from the start of the file; false when it cannot be opened.
bool ReadFileStart(std::u16string_view path, std::size_t count, std::vector<BYTE>& bytes);

} // namespace tkrmovie
