#include "shell/facade/KVR_Manager.h"

#include "fileio/container/PdxbImageIO.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVRPropsReader.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

namespace {

// A readable regular file that starts with the raw container's magic.
bool IsReadableRawFile(const FString& nativePath)
{
    try {
        FString url;
        if (!NativePathToURL(nativePath, url))
            return false;
        FIFile* file = OpenFileByURL(url, FIFile::OPEN_READ);
        if (!file)
            return false;
        uint8_t magic[4] = {};
        const int64_t got = file->Read(magic, sizeof magic);
        file->Close();
        return got == sizeof magic && (uint32_t(magic[0]) | uint32_t(magic[1]) << 8 | uint32_t(magic[2]) << 16 |
                                       uint32_t(magic[3]) << 24) == PDXB_MAGIC;
    } catch (...) {
        return false;
    }
}

KVRPropsReader* CreateReader(const char16_t* nativePath, KVRPropsReader::ListKind kind)
{
    try {
        return new KVRPropsReader(FString(nativePath), kind);
    } catch (...) {
        return nullptr;
    }
}

const FPropPair* NextDescriptor(const KVRPropsReader* reader, const FPropPair* pair, char* out)
{
    std::string key;
    const FPropPair* next = reader ? reader->GetNext(pair, key) : nullptr;
    if (out)
        KVR_CopyDescriptor(out, key.c_str());
    return next;
}

} // namespace

// ---- Handles

CKVR_ImageHandle* KVR_CreateHandle(const char16_t* nativePath)
{
    if (!nativePath)
        return nullptr;
    const FString path(nativePath);
    if (!IsReadableRawFile(path))
        return nullptr;
    try {
        return new CKVR_ImageHandle(path);
    } catch (...) {
        return nullptr;
    }
}

void KVR_DestroyHandle(CKVR_ImageHandle* handle)
{
    delete handle;
}

int KVR_ReadProperties(CKVR_ImageHandle* handle)
{
    return handle ? handle->ReadProperties() : 0;
}

void KVR_ReloadProperties(CKVR_ImageHandle* handle)
{
    if (handle)
        handle->ReloadProperties();
}

int KVR_WriteProperties(CKVR_ImageHandle* handle)
{
    return handle ? handle->WriteProperties() : 0;
}

int KVR_ApplyFileSettings(CKVR_ImageHandle* handle)
{
    return handle ? handle->ApplyFileSettings() : 0;
}

int KVR_Process(CKVR_ImageHandle* handle, int width, int height)
{
    return handle ? handle->Process(width, static_cast<uint16_t>(height)) : 0;
}

int KVR_ProcessWithProgress(CKVR_ImageHandle* handle, KVRProgressCallback callback, void* user)
{
    return handle ? handle->ProcessWithProgress(callback, user) : 0;
}

void KVR_Cancel(CKVR_ImageHandle* handle)
{
    if (handle)
        handle->Cancel();
}

const char* KVR_GetLastError(const CKVR_ImageHandle* handle)
{
    return handle ? handle->GetLastError().c_str() : "";
}

int KVR_GetImageWidth(const CKVR_ImageHandle* handle)
{
    return handle ? handle->GetImageWidth() : 0;
}

int KVR_GetImageHeight(const CKVR_ImageHandle* handle)
{
    return handle ? handle->GetImageHeight() : 0;
}

int KVR_GetOutputWidth(const CKVR_ImageHandle* handle)
{
    return handle ? handle->GetOutputWidth() : 0;
}

int KVR_GetOutputHeight(const CKVR_ImageHandle* handle)
{
    return handle ? handle->GetOutputHeight() : 0;
}

int KVR_GetOutputRowBytes(CKVR_ImageHandle* handle)
{
    return handle ? handle->GetOutputRowBytes() : 0;
}

int KVR_GetOutputRow(CKVR_ImageHandle* handle, int row, void* buffer)
{
    return handle ? handle->GetOutputRow(row, buffer) : 0;
}

int KVR_GetOutputPixelFormat(const CKVR_ImageHandle* handle)
{
    switch (handle ? handle->GetOutputPixelType() : 0) {
    case FPixmap::PIXEL_24_RGB:
        return 1;
    case FPixmap::PIXEL_32_BGRA:
        return 2;
    case FPixmap::PIXEL_48_RGB:
        return 3;
    default:
        return 0;
    }
}

void KVR_SetOutputFormat(CKVR_ImageHandle* handle, int flag48)
{
    if (handle)
        handle->SetOutputFormat(flag48);
}

int KVR_SetOutputSize(CKVR_ImageHandle* handle, int width, int height)
{
    if (!handle)
        return 0;
    handle->SetOutputSize(width, height);
    return 1;
}

int KVR_SetCrop(CKVR_ImageHandle* handle, int x, int y, int width, int height)
{
    if (!handle)
        return 0;
    handle->SetCrop(x, y, width, height);
    return 1;
}

int KVR_SetColorAdjust(CKVR_ImageHandle* handle, double red, double green, double blue)
{
    if (!handle)
        return 0;
    handle->SetColorAdjust(red, green, blue);
    return 1;
}

#define KVR_FORWARD_SETTER(Name, Type)                            \
    void KVR_##Name(CKVR_ImageHandle* handle, Type value)         \
    {                                                             \
        if (handle)                                               \
            handle->Name(value);                                  \
    }
KVR_FORWARD_SETTER(SetExposure, double)
KVR_FORWARD_SETTER(SetShadow, double)
KVR_FORWARD_SETTER(SetContrast, double)
KVR_FORWARD_SETTER(SetHighlight, double)
KVR_FORWARD_SETTER(SetSaturation, double)
KVR_FORWARD_SETTER(SetSharpness, double)
KVR_FORWARD_SETTER(SetFillLight, double)
KVR_FORWARD_SETTER(SetChromaNoise, double)
KVR_FORWARD_SETTER(SetLumaNoise, double)
KVR_FORWARD_SETTER(SetColorSpace, int)
KVR_FORWARD_SETTER(SetWhiteBalance, const char*)
KVR_FORWARD_SETTER(SetColorMode, const char*)
#undef KVR_FORWARD_SETTER

void KVR_EnableAutoAdjust(CKVR_ImageHandle* handle)
{
    if (handle)
        handle->EnableAutoAdjust();
}

#define KVR_FORWARD_AUTO_GETTER(Name)                                   \
    int KVR_##Name(const CKVR_ImageHandle* handle, double* value)       \
    {                                                                   \
        return handle ? handle->Name(value) : 0;                        \
    }
KVR_FORWARD_AUTO_GETTER(GetAutoExposure)
KVR_FORWARD_AUTO_GETTER(GetAutoShadow)
KVR_FORWARD_AUTO_GETTER(GetAutoContrast)
KVR_FORWARD_AUTO_GETTER(GetAutoHighlight)
KVR_FORWARD_AUTO_GETTER(GetAutoSaturation)
KVR_FORWARD_AUTO_GETTER(GetAutoFillLight)
#undef KVR_FORWARD_AUTO_GETTER

int KVR_GetAutoColorAdjust(const CKVR_ImageHandle* handle, double* red, double* green, double* blue)
{
    return handle ? handle->GetAutoColorAdjust(red, green, blue) : 0;
}

int KVR_GetAutoFilterData(const CKVR_ImageHandle* handle, CKVR_FilterData* settings)
{
    double exposure = 0, shadow = 0, contrast = 0, highlight = 0, saturation = 0, fillLight = 0;
    double red = 1, green = 1, blue = 1;
    if (!handle || !settings || !handle->GetAutoColorAdjust(&red, &green, &blue))
        return 0;
    handle->GetAutoExposure(&exposure);
    handle->GetAutoShadow(&shadow);
    handle->GetAutoContrast(&contrast);
    handle->GetAutoHighlight(&highlight);
    handle->GetAutoSaturation(&saturation);
    handle->GetAutoFillLight(&fillLight);
    int cyan = 0, magenta = 0, yellow = 0;
    ColorGainToCMY(red, green, blue, cyan, magenta, yellow);
    settings->m_nCyan = cyan;
    settings->m_nMagenta = magenta;
    settings->m_nYellow = yellow;
    settings->m_nExposure = TruncateToInt(exposure * 100.0);
    settings->m_nShadow = TruncateToInt(shadow * 100.0);
    settings->m_nContrast = TruncateToInt(contrast * 100.0);
    settings->m_nHighlight = TruncateToInt(highlight * 100.0);
    settings->m_nSaturation = TruncateToInt(saturation * 100.0);
    settings->m_nFillLight = TruncateToInt(fillLight * 100.0);
    settings->m_nSharpness = 0;
    settings->m_nAuto = 1;
    return 1;
}

int KVR_GetProperty(const CKVR_ImageHandle* handle, const char* name, char* out, size_t outSize)
{
    return handle ? handle->GetProperty(name, out, outSize) : 0;
}

int KVR_SetProperty(CKVR_ImageHandle* handle, const char* name, const char* value)
{
    return handle ? handle->SetProperty(name, value) : 0;
}

int KVR_GetNoiseReduction(const CKVR_ImageHandle* handle, double* chroma, double* luma)
{
    return handle ? handle->GetNoiseReduction(chroma, luma) : -1;
}

// ---- Progress

int KVR_ProgressTrampoline(int percentage, void* context)
{
    auto* progress = static_cast<KVRProgressContext*>(context);
    if (!progress || !progress->callback)
        return 1;
    const int result = progress->callback(percentage, progress->user);
    if (result == 0)
        KVR_Cancel(progress->handle);
    return result;
}

// ---- Camera lists

KVRPropsReader* KVR_CreateColorModeList(const char16_t* nativePath)
{
    return CreateReader(nativePath, KVRPropsReader::kColorModes);
}

KVRPropsReader* KVR_CreateIlluminantList(const char16_t* nativePath)
{
    return CreateReader(nativePath, KVRPropsReader::kIlluminants);
}

void KVR_DeleteColorModeList(KVRPropsReader* reader)
{
    delete reader;
}

void KVR_DeleteIlluminantList(KVRPropsReader* reader)
{
    delete reader;
}

const FPropPair* KVR_GetFirstColorMode(const KVRPropsReader* reader)
{
    return reader ? reader->GetFirst() : nullptr;
}

const FPropPair* KVR_GetFirstIlluminant(const KVRPropsReader* reader)
{
    return reader ? reader->GetFirst() : nullptr;
}

const FPropPair* KVR_GetNextColorMode(const KVRPropsReader* reader, const FPropPair* pair, char* out)
{
    return NextDescriptor(reader, pair, out);
}

const FPropPair* KVR_GetNextIlluminant(const KVRPropsReader* reader, const FPropPair* pair, char* out)
{
    return NextDescriptor(reader, pair, out);
}
