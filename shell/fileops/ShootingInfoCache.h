#pragma once
// The application's cache of shooting information as the file operations
// reach it: copies out, changed copies back, records dropped when the file
// itself changed. The application object's cache is the real one
// (CLumitraApp::GetExif and its neighbours); tests give a cache of their own.
// Every call may come from the rotation worker as well as from the
// user-interface thread.

#include "foundation/FString.h"

class CTLM_Exif;

class IShootingInfoCache {
public:
    virtual ~IShootingInfoCache() = default;

    // The cached record of the path (read from the file on first demand)
    // copied into record; false when nothing could be had.
    virtual bool GetExif(const FString& path, CTLM_Exif* record) = 0;
    // Replaces the cached record of the path by a copy of record.
    virtual void UpdateExif(const FString& path, const CTLM_Exif* record) = 0;
    virtual void RemoveExif(const FString& path) = 0;
    // Forgets the develop settings last applied to the file.
    virtual void RemoveImageSettings(const FString& path) = 0;
};

// The file's record when its shooting information was read (the record has
// an entry); false for a file that cannot be read.
bool ReadShootingInfo(IShootingInfoCache& cache, const FString& path, CTLM_Exif* record);

