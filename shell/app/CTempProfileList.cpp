#include "shell/app/CTempProfileList.h"

#include "foundation/FArray.h"
#include "foundation/FPath.h"
#include "shell/app/AppFiles.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CAppSettings.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include <cstring>
#include <string_view>

namespace {

constexpr PROPID kExifTagColorSpace = 40961;

struct ColorSpaceFile {
    int code;
    const char16_t* name;
};

// The program's profiles (made at build time; see resources/CMakeLists.txt).
constexpr ColorSpaceFile kColorSpaceFiles[] = {
    {2, u"sRGB.icc"}, {3, u"AdobeRGB1998.icc"}, {4, u"AppleRGB.icc"}, {8, u"ColorMatchRGB.icc"}, {11, u"ProPhotoRGB.icc"},
};

// The development colour space of a raw file whose ColorSpace tag has this value.
int CodeOfColorSpaceTag(const CET_ExifData& items)
{
    const PropertyItem* item = items.FindItem(kExifTagColorSpace);
    if (!item || item->type != 3 || item->length < 2 || !item->value)
        return 2;
    uint16_t value = 0;
    std::memcpy(&value, item->value, sizeof value);
    return value == 0xFFFF ? 3 : 2;
}

int CodeOfPreference(int preference)
{
    switch (preference) {
    case 2:
        return 4;
    case 3:
        return 3;
    case 4:
        return 11;
    default:
        return 2;
    }
}

// A new "$$$" file in the temporary profile folder holding the embedded
// profile's bytes; empty when there is no such folder or nothing could be written.
FString WriteTemporaryProfile(const PropertyItem& profile)
{
    const FString folder = GetAppFolder(kAppFolderTempProfiles);
    if (folder.GetLength() == 0 || !CreateFolderTree(folder))
        return FString();
    return WriteUniqueAppFile(folder, "$$$", ".tmp",
                              std::string_view(static_cast<const char*>(profile.value), profile.length));
}

} // namespace

FString GetColorSpaceProfilePath(int code)
{
    for (const ColorSpaceFile& file : kColorSpaceFiles)
        if (file.code == code)
            return AppFilePath(kAppFolderProfiles, file.name);
    return FString();
}

const TempProfileEntry* CTempProfileList::FindLocked(const FString& imagePath) const
{
    for (const auto& entry : m_Entries)
        if (PathEquals(entry->m_strImagePath, imagePath))
            return entry.get();
    return nullptr;
}

FString CTempProfileList::FindTempProfile(const FString& imagePath) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    const TempProfileEntry* entry = FindLocked(imagePath);
    return entry ? entry->m_strProfilePath : FString();
}

FString CTempProfileList::FindOrAddFromItems(const FString& imagePath, const CET_ExifData* items, bool raw)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (const TempProfileEntry* entry = FindLocked(imagePath))
        return entry->m_strProfilePath;
    if (!items)
        return FString();
    auto entry = std::make_unique<TempProfileEntry>();
    entry->m_strImagePath = imagePath;
    const PropertyItem* embedded = items->FindItem(kExifTagIccProfile);
    if (embedded && embedded->length > 0 && embedded->value) {
        entry->m_strProfilePath = WriteTemporaryProfile(*embedded);
        entry->m_bTemporary = entry->m_strProfilePath.GetLength() > 0;
    }
    if (raw && !entry->m_bTemporary)
        entry->m_strProfilePath = GetColorSpaceProfilePath(CodeOfColorSpaceTag(*items));
    if (entry->m_strProfilePath.GetLength() == 0)
        return FString();
    m_Entries.push_back(std::move(entry));
    return m_Entries.back()->m_strProfilePath;
}

FString CTempProfileList::GetImageProfilePath(const FString& imagePath, const CET_ExifData* items, int* code,
                                              CAppSettings& settings)
{
    const bool raw = GetFileType(imagePath) == ETFILETYPE_KVR;
    const FString own = FindOrAddFromItems(imagePath, items, raw);
    if (!raw)
        return own;
    int preference = 0;
    {
        CAppSettingsLock lock(settings);
        preference = settings.m_nKVRColorSpace;
    }
    const int developCode = preference == 0 ? 2 : CodeOfPreference(preference);
    FString result = preference == 0 ? own : FString();
    if (result.GetLength() == 0)
        result = GetColorSpaceProfilePath(developCode);
    if (code)
        *code = developCode;
    return result;
}

void CTempProfileList::DeleteTempProfiles()
{
    FArray<FString> temporary;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        for (const auto& entry : m_Entries)
            if (entry->m_bTemporary)
                temporary.Append(entry->m_strProfilePath);
        m_Entries.clear();
    }
    // One at a time, so that a file removed meanwhile does not keep the others.
    for (const FString& path : temporary) {
        FArray<FString> one;
        one.Append(path);
        DeleteFiles(&one, false, false);
    }
}

int CTempProfileList::GetCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return static_cast<int>(m_Entries.size());
}
