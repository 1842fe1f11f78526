#include "shell/facade/CTLM_Exif.h"

#include "foundation/FColorAdjust.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FPropTree.h"
#include "managers/FIPManagerPool.h"
#include "managers/FImageFileListEntry.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_EngineLock.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/ExifInPlaceWriters.h"
#include "toolkit/PictureFileTypes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr PROPID kExifTagCompression = 259;
constexpr std::uint32_t kUncompressed = 1;

bool IsNotStored(double stored)
{
    return std::abs(stored - kAdjustmentNotStored) < 1e-6;
}

// A stored adjustment value as a record field.
int32_t FieldOf(double stored)
{
    return IsNotStored(stored) ? kKVRUnsetValue : KVR_HundredthsOf(stored);
}

// An item's first value as an unsigned number (SHORT or LONG), or none.
bool UnsignedValueOf(const PropertyItem* item, std::uint32_t& value)
{
    if (!item || !item->value)
        return false;
    const int size = CET_ExifData::GetTypeSize(item->type);
    if ((size != 2 && size != 4) || item->length < static_cast<ULONG>(size))
        return false;
    value = 0;
    CET_ExifData::ReadValue(false, static_cast<const BYTE*>(item->value), item->type, &value);
    return true;
}

// Size in bytes of the file, or -1 when it cannot be asked.
long long FileSizeOf(const FString& nativePath)
{
    std::string native;
    struct stat st {};
    if (!PathToNative(nativePath, native) || stat(native.c_str(), &st) != 0)
        return -1;
    return static_cast<long long>(st.st_size);
}

// A TIFF file is read through the managers only when it is uncompressed and
// its EXIF pointer lies inside the file.
bool IsLoadableTiff(const CET_ExifData& items, const FString& nativePath)
{
    std::uint32_t compression = 0;
    if (!UnsignedValueOf(items.FindItem(kExifTagCompression), compression) || compression != kUncompressed)
        return false;
    const PropertyItem* pointer = items.FindItem(kExifTagExifIfd);
    std::uint32_t offset = 0;
    if (!pointer || pointer->length == 0 || !UnsignedValueOf(pointer, offset))
        return true;
    const long long size = FileSizeOf(nativePath);
    return size >= 0 && (size >= (1LL << 32) || offset < size);
}

// Whether the file's maker note holds the mark, and its value.
bool FindMarkFlag(const CET_ExifData& items, bool& marked)
{
    for (unsigned i = 0; i < items.GetMakerNoteCount(); ++i) {
        const PropertyItem* item = items.GetMakerNoteItem(i);
        if (!item || item->id != kMakerNoteTagMarkFlag)
            continue;
        // Any byte order: a value is set when any of its four bytes is.
        std::uint8_t bytes[4] = {};
        if (item->value)
            std::memcpy(bytes, item->value, std::min<ULONG>(item->length, sizeof bytes));
        marked = bytes[0] | bytes[1] | bytes[2] | bytes[3];
        return true;
    }
    return false;
}

} // namespace

CTLM_Exif::CTLM_Exif() = default;

CTLM_Exif::~CTLM_Exif()
{
    Clear();
}

bool CTLM_Exif::Load(const FString& nativePath)
{
    Clear();
    m_sPath = nativePath;
    FString url;
    NativePathToURL(nativePath, url);
    m_pEntry = std::make_shared<FImageFileListEntry>();
    m_pEntry->SetURL(url);
    bool read = false;
    {
        const KVREngineLockScope lock;
        if (lock.IsLocked()) {
            FIPManager* pool = GetIPManagerPool();
            read = m_pEntry->GetProps(pool);
            ReleaseIPManager(pool);
        }
    }
    if (!read)
        m_pEntry->FormatProperties(FPropTree(nullptr, "MrProps"));
    return read;
}

std::unique_ptr<CTLM_Exif> CTLM_Exif::Create(const FString& nativePath)
{
    auto record = std::make_unique<CTLM_Exif>();
    const emETFILETYPE type = GetFileType(nativePath);
    if (type == ETFILETYPE_KVR || type == ETFILETYPE_AVI) {
        record->Load(nativePath);
        record->m_bMarkCapable = record->m_bOrientationTag = type == ETFILETYPE_KVR;
        return record;
    }
    CET_ExifData items;
    if (!items.ReadFile(nativePath))
        return record;
    const PropertyItem* version = items.FindItem(kExifTagExifVersion);
    const bool load = !version || version->length == 0 || type != ETFILETYPE_TIFF || IsLoadableTiff(items, nativePath);
    record->m_bOrientationTag = items.FindItem(kExifTagOrientation) != nullptr;
    if (load) {
        record->Load(nativePath);
        bool marked = false;
        record->m_bMarkCapable = FindMarkFlag(items, marked);
        if (record->m_bMarkCapable)
            record->SetMarkedFlag(marked);
    }
    return record;
}

void CTLM_Exif::Clear()
{
    m_sPath.Empty();
    m_pEntry.reset();
}

void CTLM_Exif::CopyFrom(const CTLM_Exif* source)
{
    if (source == this)
        return;
    Clear();
    if (!source)
        return;
    m_sPath = source->m_sPath;
    m_pEntry = source->m_pEntry;
    m_bMarkCapable = source->m_bMarkCapable;
    m_bOrientationTag = source->m_bOrientationTag;
}

bool CTLM_Exif::IsMarked() const
{
    return m_pEntry && m_pEntry->IsMarked();
}

bool CTLM_Exif::IsLocked() const
{
    return m_pEntry && m_pEntry->IsLocked();
}

FImageFileListEntry& CTLM_Exif::priOwnEntry()
{
    if (m_pEntry.use_count() > 1)
        m_pEntry = std::make_shared<FImageFileListEntry>(*m_pEntry);
    return *m_pEntry;
}

void CTLM_Exif::SetMarkedFlag(bool marked)
{
    if (m_pEntry)
        priOwnEntry().SetMarkedFlag(marked);
}

bool CTLM_Exif::SetMarked(bool marked)
{
    if (!m_pEntry)
        return false;
    if (GetFileType(m_sPath) == ETFILETYPE_KVR) {
        const KVREngineLockScope lock;
        if (!lock.IsLocked())
            return false;
        FIPManager* pool = GetIPManagerPool();
        const bool done = priOwnEntry().MarkImage(pool, marked);
        ReleaseIPManager(pool);
        return done;
    }
    FImageFileListEntry& entry = priOwnEntry();
    const bool before = entry.IsMarked();
    entry.SetMarkedFlag(marked);
    if (SetJpegMarkFlag(m_sPath, marked))
        return true;
    // The file keeps its old mark: so does the record.
    entry.SetMarkedFlag(before);
    return false;
}

bool CTLM_Exif::SetLocked(bool locked)
{
    return m_pEntry && priOwnEntry().SetLocked(locked);
}

int CTLM_Exif::GetColorSpace() const
{
    return m_pEntry ? m_pEntry->GetColorSpace() : -1;
}

double CTLM_Exif::GetChromaNoise() const
{
    return m_pEntry ? m_pEntry->GetChromaNoise() : 0.0;
}

double CTLM_Exif::GetLumaNoise() const
{
    return m_pEntry ? m_pEntry->GetLumaNoise() : 0.0;
}

int CTLM_Exif::GetImageWidth() const
{
    return m_pEntry ? m_pEntry->GetWidth() : 0;
}

int CTLM_Exif::GetImageHeight() const
{
    return m_pEntry ? m_pEntry->GetHeight() : 0;
}

int CTLM_Exif::GetRotation() const
{
    return m_pEntry ? m_pEntry->GetRotation() : 0;
}

uint32_t CTLM_Exif::GetCaptureTime() const
{
    return m_pEntry ? static_cast<uint32_t>(m_pEntry->GetCaptureTime()) : 0;
}

bool CTLM_Exif::GetFilterData(CKVR_FilterData* settings) const
{
    if (!m_pEntry || !settings)
        return false;
    const FImageFileListEntry& entry = *m_pEntry;
    settings->m_nExposure = FieldOf(entry.GetExposure());
    settings->m_nContrast = FieldOf(entry.GetContrast());
    settings->m_nShadow = FieldOf(entry.GetShadow());
    settings->m_nHighlight = FieldOf(entry.GetHighlight());
    settings->m_nSaturation = FieldOf(entry.GetSaturation());
    settings->m_nSharpness = FieldOf(entry.GetSharpness());
    settings->m_nFillLight = FieldOf(entry.GetFillLight());
    const FDoubleTriple& gains = entry.GetColorAdjust();
    if (IsNotStored(gains.r) || IsNotStored(gains.g) || IsNotStored(gains.b)) {
        settings->m_nCyan = settings->m_nMagenta = settings->m_nYellow = kKVRUnsetValue;
    } else {
        const FIntTriple densities = ColorAdjustGainsToCMY(gains);
        settings->m_nCyan = densities.r;
        settings->m_nMagenta = densities.g;
        settings->m_nYellow = densities.b;
    }
    settings->m_nWhiteBalance = -1;
    settings->m_nColorMode = -1;
    settings->m_strName = entry.GetSettingMode();
    return true;
}

FString CTLM_Exif::priText(const FString& (FImageFileListEntry::*getter)() const) const
{
    return m_pEntry ? ((*m_pEntry).*getter)() : FString();
}

FString CTLM_Exif::GetUniqueId() const { return priText(&FImageFileListEntry::GetUniqueId); }
FString CTLM_Exif::GetCameraModel() const { return priText(&FImageFileListEntry::GetCameraModel); }
FString CTLM_Exif::GetQuality() const { return priText(&FImageFileListEntry::GetQuality); }
FString CTLM_Exif::GetSoftware() const { return priText(&FImageFileListEntry::GetSoftware); }
FString CTLM_Exif::GetExifTime() const { return priText(&FImageFileListEntry::GetExifTime); }
FString CTLM_Exif::GetExifDate() const { return priText(&FImageFileListEntry::GetExifDate); }
FString CTLM_Exif::GetSerialNumber() const { return priText(&FImageFileListEntry::GetSerialNumber); }
FString CTLM_Exif::GetFlash() const { return priText(&FImageFileListEntry::GetFlash); }
FString CTLM_Exif::GetDriveMode() const { return priText(&FImageFileListEntry::GetDriveMode); }
FString CTLM_Exif::GetFirmware() const { return priText(&FImageFileListEntry::GetFirmware); }
FString CTLM_Exif::GetAFMode() const { return priText(&FImageFileListEntry::GetAFMode); }
FString CTLM_Exif::GetWBDescOrig() const { return priText(&FImageFileListEntry::GetWBDescOrig); }
FString CTLM_Exif::GetCMDesc() const { return priText(&FImageFileListEntry::GetCMDesc); }
FString CTLM_Exif::GetWBDesc() const { return priText(&FImageFileListEntry::GetWBDesc); }
FString CTLM_Exif::GetFocalLength() const { return priText(&FImageFileListEntry::GetFocalLength); }
FString CTLM_Exif::GetMeteringMode() const { return priText(&FImageFileListEntry::GetMeteringMode); }
FString CTLM_Exif::GetProgramMode() const { return priText(&FImageFileListEntry::GetProgramMode); }
FString CTLM_Exif::GetExposureComp() const { return priText(&FImageFileListEntry::GetExposureComp); }
FString CTLM_Exif::GetResolution() const { return priText(&FImageFileListEntry::GetResolution); }
FString CTLM_Exif::GetIso() const { return priText(&FImageFileListEntry::GetIso); }
FString CTLM_Exif::GetShutter() const { return priText(&FImageFileListEntry::GetShutter); }
FString CTLM_Exif::GetAperture() const { return priText(&FImageFileListEntry::GetAperture); }
FString CTLM_Exif::GetTime() const { return priText(&FImageFileListEntry::GetTime); }
FString CTLM_Exif::GetDate() const { return priText(&FImageFileListEntry::GetDate); }
