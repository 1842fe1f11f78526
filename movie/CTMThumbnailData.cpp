#include "movie/CTMThumbnailData.h"

#include <cstring>

namespace {

// A buffer of the library's own allocation holding a copy of the pixels;
// null when there are none.
BYTE* CopyOfBits(const BYTE* bits, DWORD size)
{
    if (!bits || size == 0)
        return nullptr;
    BYTE* copy = new BYTE[size];
    std::memcpy(copy, bits, size);
    return copy;
}

} // namespace

CTMThumbnailData::CTMThumbnailData(const CTMThumbnailData& other) : tagTMTHUMBNAILDATA(other)
{
    pBits = CopyOfBits(other.pBits, other.dwBitsSize);
    if (!pBits)
        dwBitsSize = 0;
}

CTMThumbnailData& CTMThumbnailData::operator=(const CTMThumbnailData& other)
{
    if (this == &other)
        return *this;
    // The copy is made first, so a failed allocation leaves the record as it was.
    BYTE* bits = CopyOfBits(other.pBits, other.dwBitsSize);
    delete[] pBits;
    pBits = bits;
    dwBitsSize = bits ? other.dwBitsSize : 0;
    bmInfo = other.bmInfo;
    std::memcpy(szFileName, other.szFileName, sizeof(szFileName));
    llStopPosition = other.llStopPosition;
    nSeekFormat = other.nSeekFormat;
    llTime = other.llTime;
    pOwnerWnd = other.pOwnerWnd;
    return *this;
}

void CTMThumbnailData::Reset()
{
    delete[] pBits;
    pBits = nullptr;
    bmInfo = BITMAPINFO{};
    std::memset(szFileName, 0, sizeof(szFileName));
    llStopPosition = 0;
    dwBitsSize = 0;
    dwReserved = 0;
    pOwnerWnd = nullptr;
    nSeekFormat = kDefaultSeekFormat;
    llTime = kDefaultTime;
}
