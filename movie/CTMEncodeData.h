#pragma once
// The parameters of an AVI encode job (CTMDirectShowBase::EncodeFile): the
// movie to encode, the AVI file to write, the video and audio compressors by
// name (FFmpeg's encoders, as CTMDirectShowBase::GetDeviceCompressorList
// lists them), the bit rate, quality and key-frame rate, the window that
// hears of the job and the encode thread's priority.

#include "movie/TKRMovieDefs.h"

#include <cstddef>
#include <cstdint>

// A video format block: source and target rectangles, bit rate, error rate,
// time per frame (100-nanosecond units) and the picture header at byte 48.
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate = 0;
    DWORD dwBitErrorRate = 0;
    int64_t AvgTimePerFrame = 0;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88 && offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

#pragma pack(push, 1)
// A sound format block of 18 bytes.
struct WAVEFORMATEX {
    WORD wFormatTag = 0;
    WORD nChannels = 0;
    DWORD nSamplesPerSec = 0;
    DWORD nAvgBytesPerSec = 0;
    WORD nBlockAlign = 0;
    WORD wBitsPerSample = 0;
    WORD cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;

// Longest compressor name, terminator included.
constexpr int TM_MAX_COMPRESSOR_NAME = 128;

class TKRMOVIE_API CTMEncodeData {
public:
    CTMEncodeData() { Init(); }
    ~CTMEncodeData() {}
    CTMEncodeData(const CTMEncodeData&) = default;
    // Copies the whole record.
    CTMEncodeData& operator=(const CTMEncodeData& other);

    WCHAR szSourceFile[TM_MAX_PATH];
    WCHAR szDestFile[TM_MAX_PATH];
    // Bits per second asked of a video compressor that takes a bit rate.
    int32_t nBitRate;
    // 0.0 (smallest) to 1.0 (best), for a compressor that takes a quality.
    double dQuality;
    // Frames from one key frame to the next, for a compressor that takes no
    // quality but a key-frame rate.
    int32_t nKeyFrameRate;
    // Not read by the encoder.
    VIDEOINFOHEADER vihVideo;
    WCHAR szVideoCompressor[TM_MAX_COMPRESSOR_NAME];
    // Not read by the encoder.
    WAVEFORMATEX wfxAudio;
    WCHAR szAudioCompressor[TM_MAX_COMPRESSOR_NAME];
    // Receives WM_TM_ENCODESTATUS and WM_TM_ENCODEEND.
    HWND hNotifyWnd;
    // The encode thread's priority: THREAD_PRIORITY_LOWEST (-2) to
    // THREAD_PRIORITY_HIGHEST (2).
    int32_t nPriority;

private:
    // The defaults: empty paths, 5,000,000 bits a second, quality 1.0, a key
    // frame every 10 frames, compressors "Compressor" and "PCM", no window,
    // priority 2.
    void Init();
};
