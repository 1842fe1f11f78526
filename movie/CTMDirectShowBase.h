#pragma once
// The movie object the frame grabber derives from. This part holds its static
// services, which need no loaded movie: the container type of a file from its
// first bytes, a movie's length, the framework version text, the capture
// devices, the compressors (FFmpeg's encoders) and the texts of result codes.

#include "movie/TKRMovieDefs.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVCodec;

// The container of a movie file by its first four bytes.
enum emTMMEDIAFILETYPE {
    TMMEDIAFILE_UNKNOWN = 0, // anything else, or the file cannot be read
    TMMEDIAFILE_RIFF = 1,    // "RIFF" (AVI, WAV)
    TMMEDIAFILE_MPEG = 2,    // 00 00 01 BA, an MPEG program stream
    TMMEDIAFILE_ASF = 3,     // 30 26 B2 75, ASF (WMV, WMA)
    TMMEDIAFILE_FLV = 4,     // "FLV" 01
    TMMEDIAFILE_SWF = 5,     // "CWS" 06, a compressed Flash movie of version 6
};

// The device categories the device lists are drawn from.
enum emTMDEVICECATEGORY {
    TMDEVICE_VIDEOINPUT = 0,
    TMDEVICE_VIDEOCOMPRESSOR = 1,
    TMDEVICE_AUDIOCOMPRESSOR = 2,
};

class TKRMOVIE_API CTMDirectShowBase {
public:
    CTMDirectShowBase();
    virtual ~CTMDirectShowBase();
    // An object stands for work in progress; it is not copied.
    CTMDirectShowBase(const CTMDirectShowBase&) = delete;
    CTMDirectShowBase& operator=(const CTMDirectShowBase&) = delete;

    static emTMMEDIAFILETYPE GetMediaFileType(const WCHAR* path);
    // The movie's length in whole seconds (truncated): 0, or the decoder's
    // failure code with seconds untouched; 1 without an out pointer.
    static LONG GetPlayTotalSec(const WCHAR* path, int64_t* seconds);
    // "major.minor" and the letter of the movie framework; there is none
    // here, so "0.0 " (the three values are written when all three pointers
    // are given).
    static std::u16string GetDirectXVersion(ULONG* major, ULONG* minor, WCHAR* letter);
    // Appends the names of the video capture devices: 0, or 1 when there is
    // none (or no array).
    static LONG GetDeviceList(std::vector<std::u16string>* names);
    // Appends the names of a category's devices (the encoders FFmpeg offers
    // for the compressor categories): 0, or 1 when the category is empty.
    static LONG GetDeviceCompressorList(emTMDEVICECATEGORY category, std::vector<std::u16string>& names);
    // The text of a result code: the decoder's description of a negative code
    // when it has one, else the library's table, else empty.
    static std::u16string GetResultFormatMessage(LONG code);

protected:
    // The encoder of a compressor category whose name equals the given one
    // without regard to case; null when none does.
    static const AVCodec* FindCompressDevice(emTMDEVICECATEGORY category, const WCHAR* name);

private:
    static LONG GetDirectXVersionViaDxDiag(ULONG* major, ULONG* minor, WCHAR* letter);
};
