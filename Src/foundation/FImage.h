#pragma once
// The self-contained image: a pixel buffer from the process-wide allocator, a
// pixmap header of the requested type over it, and a property map. Used where an
// image lives outside the image cache (display images, Retinex luma images).

#include <cstdint>
#include <memory>

#include "foundation/FHasProperties.h"
#include "foundation/FSync.h"

class FIMemoryAllocator;
class FPixmap;

// A reference count born at 1 and owned by the creator, who releases it once.
// There is deliberately no way to add a reference.
class FRefCountable {
public:
    FRefCountable() = default;
    FRefCountable(const FRefCountable&) = delete;
    FRefCountable& operator=(const FRefCountable&) = delete;
    virtual ~FRefCountable() = default;

    // The remaining count; 0 when the object was destroyed (through the
    // deleting destructor, so the whole derived object goes).
    int32_t Release();

private:
    int32_t m_iRefCount = 1;
    FCriticalSection m_Lock;
};

class FImage : public FHasProperties, public FRefCountable {
public:
    // Pixel types 1-17. Row bytes are columns x bytes per pixel, raised to a
    // multiple of rowAlignment when it is above 1. The pixels are not
    // initialised. Throws FExceptionUnknownPixelType for any other type (before
    // anything is allocated) and FExceptionPixmap for sizes out of range.
    FImage(int32_t columns, int32_t rows, int32_t pixelType, int32_t rowAlignment);
    FImage(const FImage&) = delete;
    FImage& operator=(const FImage&) = delete;
    ~FImage() override;

    // Equal columns, rows and pixel types.
    virtual bool IsSameFormat(const FImage* other) const;

    int32_t GetBytesPerPixel() const;
    int32_t GetPixelType() const { return m_iPixelType; }
    // The header of the type's class; type 13 is an FPixmap_Display.
    FPixmap* GetPixmap() const { return m_pPixmap.get(); }

private:
    FIMemoryAllocator* m_pAllocator = nullptr;
    std::unique_ptr<FPixmap> m_pPixmap;
    int32_t m_iPixelType;
};
