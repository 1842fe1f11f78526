#include "movie/TMBitmapFile.h"

#include "movie/TMTemporaryFile.h"

namespace tkrmovie {

bool WriteBitmapFile(const char* path, const BITMAPINFOHEADER& header, const BYTE* bits, DWORD size)
{
    constexpr DWORD kPixelOffset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    if (!path || !*path || !bits || size == 0 || size > 0xFFFFFFFFu - kPixelOffset)
        return false;
    BITMAPFILEHEADER file;
    file.bfType = 0x4D42; // "BM"
    file.bfSize = kPixelOffset + size;
    file.bfOffBits = kPixelOffset;

    TMTemporaryFile output(path);
    return output.Created() && WriteAll(output.Descriptor(), &file, sizeof(file)) &&
           WriteAll(output.Descriptor(), &header, sizeof(header)) && WriteAll(output.Descriptor(), bits, size) &&
           output.Commit();
}

} // namespace tkrmovie
