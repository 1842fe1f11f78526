#pragma once
// Writes a 24-bit picture as a BMP file: the 14-byte file header, the 40-byte
// picture header and the rows as they are.

#include "movie/TKRMovieDefs.h"

namespace tkrmovie {

// Written under a temporary name beside the target and renamed over it, so a
// failed write leaves no partial file. False when the picture is empty or the
// file cannot be written.
bool WriteBitmapFile(const char* path, const BITMAPINFOHEADER& header, const BYTE* bits, DWORD size);

} // namespace tkrmovie
