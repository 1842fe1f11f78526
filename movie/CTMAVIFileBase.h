#pragma once
// Access to AVI files: the header digest the browser asks for every movie it
// lists, a frame grab by decompression and the writing of a frame as a BMP
// file. Results follow the library's conventions: 0 done, a negative failure
// code of the decoder passed through, -1 no frame, 1 the library's own
// failure.

#include "movie/CTMAVIMediaInformation.h"
#include "movie/CTMThumbnailData.h"
#include "movie/TKRMovieDefs.h"

class TKRMOVIE_API CTMAVIFileBase {
public:
    CTMAVIFileBase() = default;
    CTMAVIFileBase(const CTMAVIFileBase&) = default;
    CTMAVIFileBase& operator=(const CTMAVIFileBase&) = default;
    virtual ~CTMAVIFileBase();

    // Reads the main AVI header (at byte 32) and the first stream header (at
    // byte 108) into info without checking the RIFF tags. 1 when the file
    // cannot be opened or is too short to hold both headers; then the record
    // keeps what it held, except that a complete main header is kept.
    static LONG GetAVIMediaData(const WCHAR* path, CTMAVIMediaInformation* info);

    // The first frame that decodes among the first second's worth of frames
    // of the first video stream: 0 with the picture in the record (and
    // WM_TM_GRAPHNOTIFY posted to its owner), the decoder's code when the file
    // cannot be read, -1 when no frame decodes (the record unchanged).
    virtual LONG GetTimeThumbnailImage(CTMThumbnailData* data);

    // Writes the frame at the record's whole second of the file's first
    // stream as a 24-bit BMP file (UTF-8 path), leaving the picture in the
    // record as a grab does. 0 done, a negative code when the file cannot be
    // read, 1 when there is no such frame or the BMP file cannot be written.
    int SaveAVIBitmap(const char* outputPath, CTMThumbnailData* data);
};
