#pragma once
// Renames of the browser's files that keep their locks: a locked file is
// unlocked for its rename and gets its lock back on whichever path exists
// afterwards (the new one after success, else the old one), with the
// shooting-information cache brought up to date. Renames never replace an
// existing file; a collision is a failure, and the files keep (or get back)
// their old names.

#include "foundation/FString.h"

#include <vector>

class IShootingInfoCache;

// One file. True when it was renamed; the old path's cached record is then
// dropped.
bool RenameOneKeepingLock(IShootingInfoCache& cache, const FString& oldPath, const FString& newPath);

// Several files of one folder, in two steps through temporary names (the
// folder, the stamp and a running number that names no file yet), so that a
// new name may be another file's old one. When the first step fails, the
// files keep their names; when the second fails, they get their old names
// back. True when both steps succeeded; only then are the old paths' cached
// records dropped.
bool RenameInTwoPhases(IShootingInfoCache& cache, const std::vector<FString>& oldPaths,
                       const std::vector<FString>& newPaths, const FString& stamp);

// The stamp of the temporary names: "%H%M%S" of the system's running time.
FString TemporaryNameStamp();
