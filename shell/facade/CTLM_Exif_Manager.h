#pragma once
// The application's cache of shooting information, one record per file path
// (paths compared exactly, PathEquals). It owns its records and hands out
// pointers to them; it has no lock of its own: the application reaches it only
// under its shooting-information lock and gives callers copies.
//
// A folder of many thousand files is listed through it, so a look-up is one
// hash probe on the normalised path, never a walk over every record.

#include "shell/facade/CTLM_Exif.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CTLM_Exif_Manager {
public:
    CTLM_Exif_Manager() = default;
    CTLM_Exif_Manager(const CTLM_Exif_Manager&) = delete;
    CTLM_Exif_Manager& operator=(const CTLM_Exif_Manager&) = delete;
    virtual ~CTLM_Exif_Manager() = default;

    // The record of the path and its position when index is given; null when none.
    CTLM_Exif* Find(const FString& nativePath, int* index = nullptr) const;
    // The cached record, or a new one read for the path (CTLM_Exif::Create).
    // A file whose information cannot be read is not cached: it gets the
    // cache's empty record (no path, no entry) every time.
    CTLM_Exif* FindOrCreate(const FString& nativePath);
    // Copies the source into the path's record when one is cached; nothing otherwise.
    void Update(const FString& nativePath, const CTLM_Exif* source);
    void Remove(const FString& nativePath);
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_aRecords.size()); }

private:
    std::vector<std::unique_ptr<CTLM_Exif>> m_aRecords;
    std::vector<std::u16string> m_aKeys; // the normalised path each record was read for
    // Normalised path -> position in m_aRecords.
    std::unordered_map<std::u16string, size_t> m_Index;
    CTLM_Exif m_Empty;
};
