#include "foundation/FImage.h"

#include <limits>
#include <new>

#include "foundation/FException.h"
#include "foundation/FMemoryAllocator.h"
#include "foundation/FPixmap.h"

int32_t FRefCountable::Release()
{
    int32_t remembered;
    {
        FCriticalSectionLock hold(m_Lock);
        remembered = m_iRefCount--;
    }
    if (remembered == 1) {
        delete this;
        return 0;
    }
    return remembered - 1;
}

namespace {

int32_t BytesPerPixelOf(int32_t pixelType)
{
    // Float work images of the noise reduction are no FImage type.
    if (pixelType < FPixmap::PIXEL_8_MONO || pixelType > FPixmap::PIXEL_48_BGR)
        throw FExceptionUnknownPixelType("FImage::GetBytesPerPixel()");
    return FPixelTypeBytes(pixelType);
}

int32_t AlignedRowBytes(int32_t columns, int32_t bytesPerPixel, int32_t rowAlignment)
{
    int64_t rowBytes = static_cast<int64_t>(columns) * bytesPerPixel;
    if (rowAlignment > 1)
        rowBytes = (rowBytes + rowAlignment - 1) / rowAlignment * rowAlignment;
    if (columns < 0 || rowBytes > std::numeric_limits<int32_t>::max())
        throw FExceptionPixmap("FImage(): the image is too wide.");
    return static_cast<int32_t>(rowBytes);
}

}  // namespace

FImage::FImage(int32_t columns, int32_t rows, int32_t pixelType, int32_t rowAlignment) : m_iPixelType(pixelType)
{
    const int32_t rowBytes = AlignedRowBytes(columns, BytesPerPixelOf(pixelType), rowAlignment);
    if (rows < 0)
        throw FExceptionPixmap("FImage(): the row count is negative.");

    m_pAllocator = AcquireMemoryAllocator();
    if (m_pAllocator == nullptr)
        throw std::bad_alloc();
    void* pixels = nullptr;
    try {
        pixels = m_pAllocator->Alloc(static_cast<size_t>(rows) * static_cast<size_t>(rowBytes));
    } catch (...) {
        ReleaseMemoryAllocator(m_pAllocator);
        throw;
    }

    // The header is built by the same code that maps headers into cache blocks,
    // in heap memory of exactly the size every header class has.
    void* header = ::operator new(sizeof(FPixmap), std::nothrow);
    if (header == nullptr) {
        m_pAllocator->Free(pixels);
        ReleaseMemoryAllocator(m_pAllocator);
        throw FExceptionUnknownPixelType("FImage()");
    }
    m_pPixmap.reset(MapFPixmapHeader(header, pixelType, columns, rows, rowBytes, pixels));
}

FImage::~FImage()
{
    m_pAllocator->Free(m_pPixmap->m_pData);
    // A destructor must not throw: a release without holders is only reported.
    ReleaseMemoryAllocatorNoThrow(m_pAllocator);
    m_pPixmap.reset();
}

bool FImage::IsSameFormat(const FImage* other) const
{
    if (other == nullptr)
        return false;
    const FPixmap& mine = *m_pPixmap;
    const FPixmap& theirs = *other->m_pPixmap;
    return mine.m_iColumns == theirs.m_iColumns && mine.GetRows() == theirs.GetRows() &&
           mine.GetPixelType() == theirs.GetPixelType();
}

int32_t FImage::GetBytesPerPixel() const { return BytesPerPixelOf(m_iPixelType); }
