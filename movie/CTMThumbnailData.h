#pragma once
// One frame-grab request and its result. The caller creates the record, sets
// the path, the time and the owner window, lets one grab of the library fill
// the picture, copies header and pixels into its own picture record and
// destroys the record. The pixel buffer is allocated and freed by the library
// only: the inline constructor and destructor end in the exported Reset.

#include "movie/TKRMovieDefs.h"

#include <cstdint>

struct tagTMTHUMBNAILDATA {
    // The grabbed frame: a 40-byte header of a 24-bit bottom-up picture; the
    // colour entry stays zero.
    BITMAPINFO bmInfo;
    // The frame's rows, padded to 4 bytes as the header describes; null when
    // there is none.
    BYTE* pBits;
    // The movie, NUL-terminated.
    WCHAR szFileName[TM_MAX_PATH];
    // Requested position in 100-nanosecond units.
    int64_t llTime;
    // Receives the grab's messages; may be null.
    CWnd* pOwnerWnd;
    // Bytes in pBits.
    DWORD dwBitsSize;
    // The movie's end in 100-nanosecond units, filled by the grabs.
    int64_t llStopPosition;
    // 1 frame, 2 byte, 3 sample, 4 field, any other value media time; the
    // grabs always seek in media time.
    int32_t nSeekFormat;
    DWORD dwReserved;
};

class TKRMOVIE_API CTMThumbnailData : public tagTMTHUMBNAILDATA {
public:
    // Reset's defaults: no picture, empty path, time 15 s, seek format 5.
    static constexpr int64_t kDefaultTime = 150000000;
    static constexpr int32_t kDefaultSeekFormat = 5;

    CTMThumbnailData()
    {
        pBits = nullptr;
        Reset();
    }
    virtual ~CTMThumbnailData() { Reset(); }
    // Deep copies: the copy owns a buffer of its own.
    CTMThumbnailData(const CTMThumbnailData& other);
    CTMThumbnailData& operator=(const CTMThumbnailData& other);

    // Frees the pixels and restores the defaults; the caller sets path, time
    // and owner afterwards.
    void Reset();
    BYTE* GetBits() const { return pBits; }
};
