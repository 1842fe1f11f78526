#include "shell/facade/KVR_DevelopToDIB.h"

#include "foundation/FAssert.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FPixmap.h"
#include "foundation/PixelConversion.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManager.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/facade/KVR_Manager.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_ExifData.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace {

// The adjustments a record carries, with where each goes on a handle and in a
// request record; the engine takes the record's value / 100.
struct Adjustment {
    int32_t CKVR_FilterData::*field;
    void (CKVR_ImageHandle::*setter)(double);
    double IPManagerData::*requestField;
};

constexpr Adjustment kAdjustments[] = {
    {&CKVR_FilterData::m_nExposure, &CKVR_ImageHandle::SetExposure, &IPManagerData::m_dExposure},
    {&CKVR_FilterData::m_nShadow, &CKVR_ImageHandle::SetShadow, &IPManagerData::m_dShadow},
    {&CKVR_FilterData::m_nContrast, &CKVR_ImageHandle::SetContrast, &IPManagerData::m_dContrast},
    {&CKVR_FilterData::m_nHighlight, &CKVR_ImageHandle::SetHighlight, &IPManagerData::m_dHighlight},
    {&CKVR_FilterData::m_nSaturation, &CKVR_ImageHandle::SetSaturation, &IPManagerData::m_dSaturation},
    {&CKVR_FilterData::m_nSharpness, &CKVR_ImageHandle::SetSharpness, &IPManagerData::m_dSharpness},
    {&CKVR_FilterData::m_nFillLight, &CKVR_ImageHandle::SetFillLight, &IPManagerData::m_dFillLight},
};

// Calls apply(adjustment, value / 100) for each adjustment the record knows.
template <class Apply>
void ForEachKnownAdjustment(const CKVR_FilterData& settings, Apply apply)
{
    for (const Adjustment& adjustment : kAdjustments) {
        const int32_t value = settings.*adjustment.field;
        if (value != kKVRUnsetValue)
            apply(adjustment, value / 100.0);
    }
}

// The colour compensation as gains; false when a density is not known.
bool KnownGains(const CKVR_FilterData& settings, double& red, double& green, double& blue)
{
    if (settings.m_nCyan == kKVRUnsetValue || settings.m_nMagenta == kKVRUnsetValue ||
        settings.m_nYellow == kKVRUnsetValue)
        return false;
    CMYToColorGain(settings.m_nCyan, settings.m_nMagenta, settings.m_nYellow, red, green, blue);
    return true;
}

// The record's settings on the handle: the automatic adjustment, or its values.
void ApplySettingsToHandle(CKVR_ImageHandle& handle, const CKVR_FilterData& settings)
{
    if (settings.m_nAuto) {
        handle.EnableAutoAdjust();
        return;
    }
    double red = 1.0, green = 1.0, blue = 1.0;
    if (KnownGains(settings, red, green, blue))
        handle.SetColorAdjust(red, green, blue);
    ForEachKnownAdjustment(settings, [&handle](const Adjustment& adjustment, double value) {
        (handle.*adjustment.setter)(value);
    });
}

// The full development with progress; an automatic record receives the
// computed values afterwards.
bool DevelopFull(CKVR_ImageHandle& handle, CKVR_FilterData* settings, KVRProgressCallback callback, void* user)
{
    KVRProgressContext context{&handle, callback, user};
    if (!handle.ProcessWithProgress(KVR_ProgressTrampoline, &context))
        return false;
    if (settings && settings->m_nAuto)
        KVR_GetFilterData(&handle, settings, 1, 0, nullptr, nullptr);
    return true;
}

int BitCountOfPixelType(int32_t pixelType)
{
    switch (pixelType) {
    case FPixmap::PIXEL_24_RGB:
        return 24;
    case FPixmap::PIXEL_32_BGRA:
        return 32;
    case FPixmap::PIXEL_48_RGB:
        return 48;
    default:
        return 0;
    }
}

// One pixmap row into a stored row: 24-bit R, G, B become B, G, R; the other
// formats are already in the bitmap's order.
void ConvertRow(const uint8_t* source, uint8_t* target, size_t pixelBytes, bool swapRedBlue)
{
    if (swapRedBlue)
        ConvertRow24RGBTo24BGR(static_cast<int32_t>(pixelBytes / 3), source, target);
    else
        std::memcpy(target, source, pixelBytes);
}

} // namespace

CET_Dib* KVR_WrapInBitmap(const BITMAPINFOHEADER& header, BYTE* bits)
{
    if (!bits)
        return nullptr;
    BITMAPINFO* block = nullptr;
    try {
        block = NewDibHeader();
        auto* bitmap = new CET_Dib;
        block->bmiHeader = header;
        bitmap->header = block;
        bitmap->bits = bits;
        bitmap->size = header.biSizeImage;
        return bitmap;
    } catch (...) {
        DeleteDibHeader(block);
        DeleteDibBits(bits);
        return nullptr;
    }
}

BYTE* PixmapToDIB(const FPixmap* pixmap, BITMAPINFOHEADER* header)
{
    if (!pixmap || !header)
        return nullptr;
    const int bitCount = BitCountOfPixelType(pixmap->GetPixelType());
    const int32_t columns = pixmap->m_iColumns, rows = pixmap->m_iRows;
    if (bitCount == 0 || columns <= 0 || rows <= 0)
        return nullptr;
    const int64_t rowBytes = DibRowBytes(columns, bitCount);
    const int64_t imageBytes = rowBytes * rows;
    if (imageBytes > std::numeric_limits<DWORD>::max())
        return nullptr;
    BYTE* bits = nullptr;
    try {
        bits = NewDibBits(static_cast<size_t>(imageBytes));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const size_t pixelBytes = static_cast<size_t>(columns) * static_cast<size_t>(bitCount / 8);
    const bool swapRedBlue = bitCount == 24;
    for (int32_t r = 0; r < rows; ++r) {
        BYTE* stored = bits + (rows - 1 - r) * rowBytes;
        ConvertRow(pixmap->GetRow(r), stored, pixelBytes, swapRedBlue);
        std::memset(stored + pixelBytes, 0, static_cast<size_t>(rowBytes) - pixelBytes);
    }
    *header = BITMAPINFOHEADER{};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = columns;
    header->biHeight = rows;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitCount);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(imageBytes);
    return bits;
}

CKVR_ImageHandle* KVR_OpenHandle(const char16_t* nativePath)
{
    CKVR_ImageHandle* handle = KVR_CreateHandle(nativePath);
    if (handle && !KVR_ReadProperties(handle)) {
        KVR_DestroyHandle(handle);
        return nullptr;
    }
    return handle;
}

void KVR_CloseHandle(CKVR_ImageHandle* handle)
{
    KVR_DestroyHandle(handle);
}

BYTE* KVR_ProcessToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int width, int height)
{
    if (!handle || !header || !KVR_Process(handle, width, height))
        return nullptr;
    return PixmapToDIB(handle->GetResultPixmap(), header);
}

CET_Dib* KVR_ProcessToBitmap(CKVR_ImageHandle* handle, int width, int height)
{
    BITMAPINFOHEADER header;
    return KVR_WrapInBitmap(header, KVR_ProcessToDIB(handle, &header, width, height));
}

BYTE* KVR_DevelopRegionToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int outputWidth, int outputHeight,
                             const RECT& crop, CKVR_FilterData* settings, KVRProgressCallback callback, void* user)
{
    if (!handle || !header)
        return nullptr;
    if (settings)
        ApplySettingsToHandle(*handle, *settings);
    if (outputWidth != 0 || outputHeight != 0)
        handle->SetOutputSize(outputWidth, outputHeight);
    if (crop.left != 0 || crop.top != 0 || crop.right != 0 || crop.bottom != 0)
        handle->SetCrop(crop.left, crop.top, crop.right - crop.left, crop.bottom - crop.top);
    handle->SetOutputFormat(0);
    if (!DevelopFull(*handle, settings, callback, user))
        return nullptr;
    return PixmapToDIB(handle->GetResultPixmap(), header);
}

BYTE* KVR_DevelopHandleToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int mode, unsigned divisor,
                             CKVR_FilterData* settings, KVRProgressCallback callback, void* user, CET_ExifData* info,
                             int* size)
{
    if (!handle || !header)
        return nullptr;
    const int width = handle->GetImageWidth(), height = handle->GetImageHeight();
    if (info)
        info->SetImageSize(width, height);
    if (size) {
        size[0] = width;
        size[1] = height;
    }
    if (settings)
        ApplySettingsToHandle(*handle, *settings);
    else
        handle->ApplyFileSettings(); // a file without stored settings develops with the defaults

    bool developed = false;
    switch (mode) {
    case kDevelopPreview360:
        developed = handle->Process(360, 360);
        break;
    case kDevelopPreview600:
        developed = handle->Process(600, 600);
        break;
    case kDevelopPreview94:
        developed = handle->Process(94, 94);
        break;
    default:
        handle->SetOutputFormat(mode == kDevelopFull48);
        if (divisor > 1) {
            const int outputWidth = static_cast<int>(static_cast<unsigned>(width) / divisor);
            const int outputHeight = static_cast<int>(static_cast<unsigned>(height) / divisor);
            handle->SetOutputSize(outputWidth, outputHeight);
            handle->SetCrop(0, 0, outputWidth, outputHeight);
        }
        developed = DevelopFull(*handle, settings, callback, user);
        break;
    }
    return developed ? PixmapToDIB(handle->GetResultPixmap(), header) : nullptr;
}

BYTE* KVR_DevelopFileToDIB(const char16_t* nativePath, BITMAPINFOHEADER* header, int mode, unsigned divisor,
                           CKVR_FilterData* settings, KVRProgressCallback callback, void* user, CET_ExifData* info,
                           int* size)
{
    if (!header)
        return nullptr;
    CKVR_ImageHandle* handle = KVR_OpenHandle(nativePath);
    if (!handle)
        return nullptr;
    BYTE* bits = KVR_DevelopHandleToDIB(handle, header, mode, divisor, settings, callback, user, info, size);
    KVR_CloseHandle(handle);
    return bits;
}

CET_Dib* KVR_DevelopFileToBitmap(const char16_t* nativePath, int mode, unsigned divisor, CKVR_FilterData* settings,
                                 KVRProgressCallback callback, void* user, CET_ExifData* info, int* size)
{
    BITMAPINFOHEADER header;
    return KVR_WrapInBitmap(
        header, KVR_DevelopFileToDIB(nativePath, &header, mode, divisor, settings, callback, user, info, size));
}

void KVR_ApplyFilterDataToRequest(IPManagerData* request, const CKVR_FilterData* settings)
{
    if (!request || !settings)
        return;
    ForEachKnownAdjustment(*settings, [request](const Adjustment& adjustment, double value) {
        request->*adjustment.requestField = value;
    });
    double red = 1.0, green = 1.0, blue = 1.0;
    if (KnownGains(*settings, red, green, blue))
        request->m_ColorAdjust = FDoubleTriple(red, green, blue);
}

CET_Dib* KVR_RunRequestToBitmap(FIPManager* manager, IPManagerData* request)
{
    if (!manager || !request)
        return nullptr;
    manager->Request(request);
    while (request->m_Result.IsPending())
        manager->Idle();
    if (request->m_Result.IsFailed() || request->m_Result.m_bCancel)
        return nullptr;
    const FPixmap* pPM = request->m_pResultImage ? request->m_pResultImage->GetPixmap() : nullptr;
    if (!pPM) {
        // A finished request without its picture is the manager's fault; the
        // caller gets no picture rather than an exception.
        AssertionFailed("KVR_Manager", 3202, "pPM != NULL", ASSERT_FLAG_ASSUMPTION, 0);
        return nullptr;
    }
    BITMAPINFOHEADER header;
    return KVR_WrapInBitmap(header, PixmapToDIB(pPM, &header));
}
