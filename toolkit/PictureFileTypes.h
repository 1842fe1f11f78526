#pragma once
// File types of the paths the browser lists, decided by the extension alone
// (the text after the last dot, compared ignoring case).

#include "foundation/FString.h"

enum emETFILETYPE : int {
  ETFILETYPE_UNKNOWN = -1,
  ETFILETYPE_JPEG = 0,
  ETFILETYPE_TIFF = 1,
  ETFILETYPE_TIFF48 = 2, // no extension maps to it: the save dialog's 48-bit TIFF
  ETFILETYPE_PNG = 3,
  ETFILETYPE_BMP = 4,
  ETFILETYPE_GIF = 5,
  ETFILETYPE_KVR = 6,
  ETFILETYPE_AVI = 7,
  ETFILETYPE_MPEG = 8,
  ETFILETYPE_WMV = 9,
  ETFILETYPE_MP4 = 10,
};

// The text after the last dot of the whole path (so a dot in a folder name
// counts when the file name has none); empty when there is no dot.
FString GetFileExtension(const FString& path);
emETFILETYPE GetFileType(const FString& path);
// Still pictures: JPEG, TIFF, 48-bit TIFF, BMP, GIF and raw files. PNG files
// and movies are not counted among them.
bool IsStillFileType(int type);
