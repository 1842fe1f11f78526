#pragma once
// The encode thread's work on FFmpeg: re-encodes a movie into an AVI file,
// the video through the named video encoder, the sound through the named
// audio encoder, and decides what the job's window is told. The file is
// written under a temporary name and appears only when complete.
//
// The formats follow the capability rules of the platform's compressors: a
// video compressor's first capability gets the job's bit rate (a packed UYVY
// one its minimum output size instead), a PCM audio compressor's becomes
// 8-bit sound at 11025 samples a second; a compressor that takes a quality
// gets the job's quality, else one that takes a key-frame rate gets that.

#include "movie/CTMEncodeData.h"

#include <functional>

struct AVCodec;

namespace tkrmovie {

// How an encode job ended: the thread's exit code and what its window hears.
struct TMEncodeOutcome {
    LONG exitCode = 0;
    // WM_TM_ENCODESTATUS's wParam (2 to 5) and lParam; 0: no status.
    WPARAM status = 0;
    LONG statusCode = 0;
    // WM_TM_ENCODEEND follows.
    bool ended = false;
};

// Exit codes of the encode thread.
constexpr LONG kEncodeCancelledEarly = -555;
constexpr LONG kEncodeNoCompressor = -1;
constexpr LONG kEncodeVideoFailed = -3;
constexpr LONG kEncodeAudioFailed = -4;

// Runs the job with the compressors found for it; cancelled is asked between
// steps and between frames.
TMEncodeOutcome EncodeAvi(const CTMEncodeData& job, const AVCodec& videoCodec, const AVCodec& audioCodec,
                          const std::function<bool()>& cancelled);

// The capability rules, on the platform's format records. -------------------

// A video format as a compressor offers it.
struct TMVideoFormat {
    bool uyvy = false; // packed 4:2:2, U Y V Y
    VIDEOINFOHEADER format;
    ULONG sampleSize = 0;
};
// A packed UYVY format takes the minimum output size (rows of the width
// rounded up to 4 pixels, 2 bytes each); any other takes the bit rate.
void ApplyVideoCapability(TMVideoFormat& video, SIZE minimumOutputSize, int32_t bitRate);
// PCM becomes 8 bits at 11025 samples a second, keeping its channels; other
// formats stay as they are.
void ApplyAudioCapability(WAVEFORMATEX& audio);

// What an encoder is told of the job's quality and key-frame rate.
struct TMCompressionSettings {
    int quantiser = 0;          // 1 (best) to 31, for encoders that take a fixed quantiser; 0 not set
    double constantRate = -1.0; // 0 (best) to 51, for encoders that take a constant rate factor; < 0 not set
    int keyFrameInterval = 0;   // frames between key frames; 0 not set
};
TMCompressionSettings CompressionSettingsFor(const AVCodec& encoder, double quality, int keyFrameRate);

} // namespace tkrmovie
