#pragma once
// A cache of shooting-information records for the tests and benchmarks of
// the file operations: the application's cache without the application.

#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/CTLM_Exif_Manager.h"
#include "shell/fileops/ShootingInfoCache.h"

#include <mutex>
#include <vector>

namespace testsupport {

// The application's cache of records, behind one lock as the application's is.
class RecordCache : public IShootingInfoCache {
public:
    bool GetExif(const FString& path, CTLM_Exif* record) override
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        record->CopyFrom(m_Records.FindOrCreate(path));
        return true;
    }
    void UpdateExif(const FString& path, const CTLM_Exif* record) override
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Records.Update(path, record);
    }
    void RemoveExif(const FString& path) override
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        m_Records.Remove(path);
    }
    void RemoveImageSettings(const FString& path) override
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        settingsDropped.push_back(path);
    }
    // The cached record's lock state; false when none is cached.
    bool CachedLocked(const FString& path)
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        const CTLM_Exif* record = m_Records.Find(path);
        return record && record->IsLocked();
    }
    bool IsCached(const FString& path)
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        return m_Records.Find(path) != nullptr;
    }

    std::vector<FString> settingsDropped;

private:
    std::mutex m_Lock;
    CTLM_Exif_Manager m_Records;
};

} // namespace testsupport
