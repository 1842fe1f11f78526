#pragma once
// Developing raw files into the pictures the windows show: bottom-up
// device-independent bitmaps (rows padded to 4 bytes with zeros, the
// picture's last row stored first) made from a development handle's result.
//
// Pixel rows and header blocks returned here are made with NewDibBits and
// NewDibHeader (toolkit/CET_Dib.h): the caller owns them and may hand them to
// a CET_Dib. Every function returns null on failure (including a failed
// allocation) and throws nothing; the reason stays in the handle's last
// error. Every function that develops goes through the shared manager pool:
// the caller holds the engine lock for the whole call.
//
// Typical use (a full-size 24-bit picture of a file with its stored settings):
//   KVREngineLockScope lock;                       // KVR_EngineLock.h
//   BITMAPINFOHEADER header;
//   BYTE* bits = KVR_DevelopFileToDIB(path, &header, 0, 1, nullptr, nullptr, nullptr, nullptr, nullptr);

#include "platform/win/WinTypes.h"
#include "shell/facade/CKVR_ImageHandle.h"

class CET_Dib;
class CET_ExifData;
class CKVR_FilterData;
class FIPManager;
class FPixmap;
class IPManagerData;

// Development modes of KVR_DevelopHandleToDIB.
enum KVRDevelopMode : int {
    kDevelopFull24 = 0,     // any mode not listed: the full development, 24-bit
    kDevelopPreview360 = 1, // the display preview asked at 360 x 360, 32-bit
    kDevelopPreview600 = 2, // at 600 x 600
    kDevelopFull48 = 3,     // the full development, 48-bit
    kDevelopPreview94 = 4,  // at 94 x 94 (thumbnails)
};

// A handle whose properties are read (kHandlePropertiesRead); null when the
// path is no readable raw file or its properties cannot be read.
CKVR_ImageHandle* KVR_OpenHandle(const char16_t* nativePath);
void KVR_CloseHandle(CKVR_ImageHandle* handle);

// The display preview at the size, as rows; the header describes them.
BYTE* KVR_ProcessToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int width, int height);
CET_Dib* KVR_ProcessToBitmap(CKVR_ImageHandle* handle, int width, int height);

// A 24-bit development of a region: the output size when either number is
// non-zero, the crop (left, top, right, bottom, in the output size's grid)
// when any side is non-zero, the settings of the record when one is given.
BYTE* KVR_DevelopRegionToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int outputWidth, int outputHeight,
                             const RECT& crop, CKVR_FilterData* settings, KVRProgressCallback callback, void* user);

// Develops by mode: the previews at their fixed sizes, the full modes at the
// image size divided by divisor (when above 1). Settings come from the record
// (automatic when its m_nAuto is set; the record then receives the computed
// values), or from the file without one. info (may be null) gets the image's
// width and height as its image size, and so does size (two ints, may be null).
BYTE* KVR_DevelopHandleToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int mode, unsigned divisor,
                             CKVR_FilterData* settings, KVRProgressCallback callback, void* user, CET_ExifData* info,
                             int* size);
// The same on a handle opened and closed for the path.
BYTE* KVR_DevelopFileToDIB(const char16_t* nativePath, BITMAPINFOHEADER* header, int mode, unsigned divisor,
                           CKVR_FilterData* settings, KVRProgressCallback callback, void* user, CET_ExifData* info,
                           int* size);
CET_Dib* KVR_DevelopFileToBitmap(const char16_t* nativePath, int mode, unsigned divisor, CKVR_FilterData* settings,
                                 KVRProgressCallback callback, void* user, CET_ExifData* info, int* size);

// The record's adjustments (value / 100) and colour compensation (as gains)
// into the request; unset fields (kKVRUnsetValue) and the white balance,
// colour mode and noise fields are left alone.
void KVR_ApplyFilterDataToRequest(IPManagerData* request, const CKVR_FilterData* settings);
// Runs the request on the manager and wraps its result picture; null when it
// failed, was cancelled or gave no picture.
CET_Dib* KVR_RunRequestToBitmap(FIPManager* manager, IPManagerData* request);

// A new picture record over a copy of the header and the rows, which it
// takes over whatever happens: they are freed when no record can be made.
// Null for null rows.
CET_Dib* KVR_WrapInBitmap(const BITMAPINFOHEADER& header, BYTE* bits);

// The pixmap (24-bit RGB, 32-bit display or 48-bit RGB) as bottom-up rows;
// 24-bit pixels become B, G, R. Null for another pixel type.
BYTE* PixmapToDIB(const FPixmap* pixmap, BITMAPINFOHEADER* header);
