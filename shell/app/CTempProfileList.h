#pragma once
// Which ICC profile describes a picture's colours: one of the program's
// standard profiles, or a profile embedded in the picture, written once to a
// temporary "$$$" file in the temporary profile folder. The list remembers
// the profile found for each picture path; the browser's thumbnail loader and
// the user-interface thread use it at once, so it has a lock of its own.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <memory>
#include <mutex>
#include <vector>

class CAppSettings;
class CET_ExifData;

// The profile file of a colour-space code in the program's profile folder:
// 2 sRGB, 3 Adobe RGB, 4 Apple RGB, 8 ColorMatch RGB, 11 ROMM RGB; empty for
// any other code. Whether the file exists is not tested.
FString GetColorSpaceProfilePath(int code);

struct TempProfileEntry {
    FString m_strImagePath;   // compared exactly
    FString m_strProfilePath;
    BOOL m_bTemporary = FALSE; // a copy of an embedded profile, deleted at shut-down
};

class CTempProfileList {
public:
    CTempProfileList() = default;
    CTempProfileList(const CTempProfileList&) = delete;
    CTempProfileList& operator=(const CTempProfileList&) = delete;
    ~CTempProfileList() = default;

    // The profile of the first entry of the image path, or empty.
    FString FindTempProfile(const FString& imagePath) const;

    // The profile for showing or converting the picture at the path.
    // Raw files: the file's own profile (remembered; else the embedded ICC
    // profile of the items, else the profile of their ColorSpace tag, 0xFFFF
    // Adobe RGB and anything else sRGB), replaced by the settings' preference
    // KVRColorSpace 1 sRGB, 2 Apple RGB, 3 Adobe RGB or 4 ROMM RGB; the code of
    // the development colour space goes to code (2 with the preference 0).
    // Other files: the remembered profile, else the embedded ICC profile of
    // the items (written to a temporary file), else empty; code is untouched.
    // Taking the profile of one picture from two threads at once gives both
    // the same path and writes one temporary file.
    FString GetImageProfilePath(const FString& imagePath, const CET_ExifData* items, int* code,
                                CAppSettings& settings);

    // Drops every entry and deletes the temporary profile files.
    void DeleteTempProfiles();
    int GetCount() const;

private:
    // Under the lock: the remembered profile, else the one the items give
    // (remembered from then on; raw files also take the ColorSpace tag).
    FString FindOrAddFromItems(const FString& imagePath, const CET_ExifData* items, bool raw);
    const TempProfileEntry* FindLocked(const FString& imagePath) const;

    mutable std::mutex m_Lock;
    std::vector<std::unique_ptr<TempProfileEntry>> m_Entries;
};
