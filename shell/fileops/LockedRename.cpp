#include "shell/fileops/LockedRename.h"

#include "foundation/FArray.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/fileops/ShootingInfoCache.h"
#include "toolkit/FileOperations.h"

#include <ctime>
#include <memory>
#include <string>

namespace {

// The locked files among paths, unlocked now: their records, by index.
class LiftedLocks {
public:
    LiftedLocks(IShootingInfoCache& cache, const std::vector<FString>& paths) : m_Cache(cache), m_Records(paths.size())
    {
        for (size_t i = 0; i < paths.size(); ++i) {
            auto record = std::make_unique<CTLM_Exif>();
            if (ReadShootingInfo(cache, paths[i], record.get()) && record->IsLocked() && record->SetLocked(false))
                m_Records[i] = std::move(record);
        }
    }
    LiftedLocks(const LiftedLocks&) = delete;
    LiftedLocks& operator=(const LiftedLocks&) = delete;

    // Every lifted lock back on the path that now exists, and into the cache.
    void Restore(const std::vector<FString>& oldPaths, const std::vector<FString>& newPaths, bool renamed)
    {
        for (size_t i = 0; i < m_Records.size(); ++i) {
            if (!m_Records[i])
                continue;
            const FString& path = renamed ? newPaths[i] : oldPaths[i];
            CTLM_Exif current;
            CTLM_Exif* record = m_Records[i].get();
            if (renamed) {
                // The file's record under its new name.
                if (!ReadShootingInfo(m_Cache, path, &current))
                    continue;
                record = &current;
            }
            record->SetLocked(true);
            m_Cache.UpdateExif(path, record);
        }
    }

private:
    IShootingInfoCache& m_Cache;
    std::vector<std::unique_ptr<CTLM_Exif>> m_Records;
};

FArray<FString> ToArray(const std::vector<FString>& paths)
{
    FArray<FString> array;
    for (const FString& path : paths)
        array.Append(path);
    return array;
}

// For each file a temporary path in the folder: stamp and a running number
// (counting on across the files) that names no file yet.
std::vector<FString> TemporaryPaths(const FString& folder, const FString& stamp, size_t count)
{
    std::vector<FString> paths;
    for (int number = 0; paths.size() < count; ++number) {
        FString name = stamp;
        name += std::to_string(number).c_str();
        const FString path = PathJoin(folder, name);
        if (!PathExists(path))
            paths.push_back(path);
    }
    return paths;
}

} // namespace

bool RenameOneKeepingLock(IShootingInfoCache& cache, const FString& oldPath, const FString& newPath)
{
    LiftedLocks locks(cache, {oldPath});
    const FArray<FString> from = ToArray({oldPath}), to = ToArray({newPath});
    const bool renamed = RenameFiles(&to, &from);
    if (renamed)
        cache.RemoveExif(oldPath);
    locks.Restore({oldPath}, {newPath}, renamed);
    return renamed;
}

bool RenameInTwoPhases(IShootingInfoCache& cache, const std::vector<FString>& oldPaths,
                       const std::vector<FString>& newPaths, const FString& stamp)
{
    if (oldPaths.empty() || oldPaths.size() != newPaths.size())
        return false;
    LiftedLocks locks(cache, oldPaths);
    const FArray<FString> from = ToArray(oldPaths), to = ToArray(newPaths);
    const FArray<FString> temporary = ToArray(TemporaryPaths(PathParent(oldPaths.front()), stamp, oldPaths.size()));
    bool renamed = false;
    if (RenameFiles(&temporary, &from)) {
        renamed = RenameFiles(&to, &temporary);
        if (!renamed)
            RenameFiles(&from, &temporary);
    }
    if (renamed) {
        for (const FString& path : oldPaths)
            cache.RemoveExif(path);
    }
    locks.Restore(oldPaths, newPaths, renamed);
    return renamed;
}

FString TemporaryNameStamp()
{
    timespec running{};
    clock_gettime(CLOCK_MONOTONIC, &running);
    const time_t seconds = running.tv_sec;
    tm parts{};
    gmtime_r(&seconds, &parts);
    char text[16] = {};
    strftime(text, sizeof text, "%H%M%S", &parts);
    return FString(text);
}
