#pragma once
// The image cache entries the managers compute into: pixmap entries (stage
// outputs, previews) and 64K lookup-table entries. Each block starts with a
// header: the done flag, the mutex that decides which worker computes the
// entry (only ever tried, never waited for) and the 40-byte resume block that
// travels to and from the engine's requests; the data follow the header.
//
// Workers in other threads share the cache, so an entry is found or created,
// and its header written, under one process-wide lock: no one ever finds an
// entry whose header is not yet written. Every look-up the managers make goes
// through FindCacheEntry for that reason.
#include "engine/core/FIPERequest.h" // FIPEResumeState
#include "foundation/FValueTypes.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

class FICacheObject;
class FImage;
class FMutex;
class FPixmap;
class FString;

// Held while a manager looks up, creates and initialises a cache entry.
std::mutex& CacheEntryCreationLock();

// The entry with the label, locked once, or null.
FICacheObject* FindCacheEntry(const FString& label);

struct FPixmapEntryHeader {
    // Written by stage 3 and by the preview manager: crop left, top, right,
    // bottom, output width and height.
    int32_t m_aiGeometry[6];
    // The automatic adjustment values of a stage-2 output.
    double m_dAutoExposure;
    double m_dAutoShadow;
    double m_dAutoContrast;
    double m_dAutoHighlight;
    double m_dAutoSaturation;
    double m_dFillLight;
    double m_adAutoColorGain[3];
    bool m_bRommWorkingSpace; // handed from stage 2 to stage 4
    FPixmap* m_pPixmap;       // the entry's pixels
    FImage* m_pScratch;       // owned work rows, or null
    bool m_bDone;
    FMutex* m_pMutex;
    FIPEResumeState m_ResumeState;
};

struct FLUTEntryHeader {
    int16_t* m_pTable;
    bool m_bColorLUT; // three interleaved channels
    bool m_bDone;
    FMutex* m_pMutex;
    FIPEResumeState m_ResumeState;
};

constexpr uint32_t kLUTEntries = 65536;

// The done flag, read by workers of other threads without the entry's mutex.
bool IsEntryDone(const bool& doneFlag);
void SetEntryDone(bool& doneFlag, bool done);

// The header of an entry made by the functions below.
FPixmapEntryHeader* PixmapEntryHeader(FICacheObject* entry);
FLUTEntryHeader* LUTEntryHeader(FICacheObject* entry);

// Bytes of a new pixmap entry: header, pixmap header and rows of the type's
// padded row bytes. Throws FException for an unknown pixel type.
uint64_t PixmapCacheEntrySize(int32_t pixelType, int32_t width, int32_t height);
uint64_t LUTCacheEntrySize(bool colorLUT);

// The locked entry with the label (whatever its size), or a new one of the
// type and size with its header written: not done, a new mutex, a zero resume
// block, the pixmap mapped over its rows. Null when the cache has no room (or
// the type or size is refused).
FICacheObject* GetPixmapCacheEntry(const FString& label, int32_t pixelType, int32_t width, int32_t height);
// The same for a table of 65536 16-bit entries, interleaved R, G, B when colorLUT.
FICacheObject* GetLUTCacheEntry(const FString& label, bool colorLUT);

// Gives a pixmap entry owned work rows (replacing any it had), freed with the
// entry. False when they cannot be allocated.
bool AttachScratchPixmap(FICacheObject* entry, int32_t pixelType, int32_t width, int32_t rows);

// Makes an entry unfindable and evictable first: empty label, priority 0.
void ForgetCacheEntry(FICacheObject* entry);
