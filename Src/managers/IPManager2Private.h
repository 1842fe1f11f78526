#pragma once
// What the four files of the per-image worker (IPManager2*.cpp) share: the
// eviction priorities of the entries it keeps in the image cache, named in one
// place, and the small helpers that read a pixmap entry.
#include "foundation/FCache.h"
#include "foundation/FPixmap.h"
#include "managers/IPMCacheEntry.h"

#include <cstdint>

namespace ipmanager2 {

// Eviction priorities: lower goes first. A region's stage-3 and stage-4
// pictures go at priority 0, before anything else.
enum : uint32_t {
    kPriorityRetiredLUT = 2,     // tables of a previous request that no longer match
    kPriorityProperties = 3,
    kPriorityStage1 = 5,
    kPriorityStage3 = 10,
    kPriorityLUT = 10,
    kPriorityRetiredStage2 = 15, // stage-2 pictures of a previous request that no longer match
    kPriorityStage4 = 20,
    kPriorityStage2 = 30,        // the dearest to make again
};

// True when the entry is there and its pixmap has been made.
inline bool IsPixmapDone(FICacheObject* entry)
{
    return entry && IsEntryDone(PixmapEntryHeader(entry)->m_bDone);
}

inline FPixmap& PixmapOf(FICacheObject* entry)
{
    return *PixmapEntryHeader(entry)->m_pPixmap;
}

} // namespace ipmanager2
