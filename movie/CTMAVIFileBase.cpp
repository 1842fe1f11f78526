#include "movie/CTMAVIFileBase.h"

#include "foundation/FByteReader.h"
#include "movie/TMBitmapFile.h"
#include "movie/TMMovieFile.h"
#include "movie/TMOwnerWindow.h"

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using tkrmovie::TMMovieFile;

// Where the standard AVI layout keeps the two headers the digest reads.
constexpr uint64_t kMainHeaderOffset = 32;
constexpr uint64_t kMainHeaderSize = 56;
constexpr uint64_t kStreamHeaderOffset = 108;
constexpr uint64_t kStreamHeaderSize = 64;

struct ShortFile {};
[[noreturn]] void OnOverrun(const char*) { throw ShortFile{}; }

// Four bytes, lowest first, each widened with its sign as the original
// character type did (0x80 becomes 0xFF80), and a terminator.
void FourCCToWideChars(DWORD fourcc, WCHAR (&text)[5])
{
    for (int i = 0; i < 4; ++i)
        text[i] = static_cast<WCHAR>(static_cast<int16_t>(static_cast<int8_t>(fourcc >> (8 * i))));
    text[4] = 0;
}

} // namespace

CTMAVIFileBase::~CTMAVIFileBase() = default;

LONG CTMAVIFileBase::GetAVIMediaData(const WCHAR* path, CTMAVIMediaInformation* info)
{
    std::vector<BYTE> head;
    if (!info || !tkrmovie::ReadFileStart(tkrmovie::PathText(path), kStreamHeaderOffset + kStreamHeaderSize, head))
        return 1;
    try {
        FByteReader file(head.data(), head.size(), OnOverrun);
        FByteReader main = file.Sub(kMainHeaderOffset, kMainHeaderSize);
        main.Seek(12);
        info->dwFlags = main.U32LE();
        info->dwTotalFrames = main.U32LE();
        main.Skip(4); // initial frames
        info->dwStreams = main.U32LE();
        info->dwSuggestedBufferSize = main.U32LE();
        info->dwWidth = main.U32LE();
        info->dwHeight = main.U32LE();

        FByteReader stream = file.Sub(kStreamHeaderOffset, kStreamHeaderSize);
        FourCCToWideChars(stream.U32LE(), info->szStreamType);
        FourCCToWideChars(stream.U32LE(), info->szHandler);
        stream.Seek(20);
        info->dwScale = stream.U32LE();
        info->dwRate = stream.U32LE();
    } catch (const ShortFile&) {
        return 1;
    }
    return 0;
}

LONG CTMAVIFileBase::GetTimeThumbnailImage(CTMThumbnailData* data)
{
    if (!data)
        return 1;
    const auto start = std::chrono::steady_clock::now();
    TMMovieFile movie;
    const int rc = movie.Open(tkrmovie::RecordPath(*data), "avi");
    if (rc < 0)
        return rc;
    const int stream = movie.FindVideoStream(TMMovieFile::StreamChoice::FirstVideo);
    if (stream < 0)
        return AVERROR_STREAM_NOT_FOUND;
    // The first second's frames are tried; below one frame a second, none.
    const int64_t framesPerSecond = movie.WholeFramesPerSecond(stream);
    tkrmovie::TMFrame frame;
    if (framesPerSecond <= 0 || movie.DecodeFirstOf(stream, framesPerSecond, frame) < 0)
        return -1;
    tkrmovie::StoreFrame(*data, frame);
    tkrmovie::PostToOwner(data->pOwnerWnd, WM_TM_GRAPHNOTIFY, 0, tkrmovie::ElapsedMilliseconds(start));
    return 0;
}

int CTMAVIFileBase::SaveAVIBitmap(const char* outputPath, CTMThumbnailData* data)
{
    if (!data)
        return 1;
    TMMovieFile movie;
    const int rc = movie.Open(tkrmovie::RecordPath(*data), "avi");
    if (rc < 0)
        return rc;
    if (movie.StreamCount() == 0)
        return AVERROR_STREAM_NOT_FOUND;
    const int stream = movie.FindVideoStream(TMMovieFile::StreamChoice::FirstStream);
    if (stream < 0)
        return 1;
    const int64_t framesPerSecond = movie.WholeFramesPerSecond(stream);
    const int64_t second = std::max<int64_t>(data->llTime, 0) / tkrmovie::kTimeUnitsPerSecond;
    int64_t number = 0;
    tkrmovie::TMFrame frame;
    if (framesPerSecond <= 0 || __builtin_mul_overflow(second, framesPerSecond, &number) ||
        movie.DecodeFrameNumber(stream, number, frame) < 0)
        return 1;
    tkrmovie::StoreFrame(*data, frame);
    return tkrmovie::WriteBitmapFile(outputPath, data->bmInfo.bmiHeader, data->pBits, data->dwBitsSize) ? 0 : 1;
}
