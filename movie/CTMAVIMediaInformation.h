#pragma once
// A digest of an AVI file's headers: the main header's frame count, stream
// count, buffer size and picture size, and the first stream's type, handler
// and time scale. Filled by CTMAVIFileBase::GetAVIMediaData.

#include "movie/TKRMovieDefs.h"

class TKRMOVIE_API CTMAVIMediaInformation {
public:
    CTMAVIMediaInformation() = default;
    ~CTMAVIMediaInformation() {}
    CTMAVIMediaInformation(const CTMAVIMediaInformation&) = default;
    CTMAVIMediaInformation& operator=(const CTMAVIMediaInformation& other);

    // Four-character codes as four wide characters and a terminator, for
    // example "vids" and "mjpg".
    WCHAR szStreamType[5] = {};
    WCHAR szHandler[5] = {};
    DWORD dwFlags = 0;
    DWORD dwTotalFrames = 0;
    DWORD dwStreams = 0;
    DWORD dwSuggestedBufferSize = 0;
    DWORD dwWidth = 0;
    DWORD dwHeight = 0;
    DWORD dwScale = 0;
    DWORD dwRate = 0;
};

static_assert(sizeof(CTMAVIMediaInformation) == 52);
