#pragma once
// The band runner: the heavy row kernels of the engine split an image's rows
// into bands and run the same callback on every band, one thread per band.
//
// A callback may read rows outside its band (a 3-row window reads its
// neighbours) but writes only its own rows. Kernels whose window reaches into
// rows that another band writes must read those rows from a snapshot.
#include <cstdint>

struct RowBandJob;
using RowBandCallback = int (*)(RowBandJob* job);

// One band's work. Callbacks read the three contexts and the row range only.
struct RowBandJob {
    RowBandCallback pfnCallback = nullptr;
    void* pContextA = nullptr;
    void* pContextB = nullptr;
    uint32_t iFirstRow = 0;
    uint32_t iLastRow = 0; // inclusive
    void* pContextC = nullptr;
};

// The number of bands every caller of the engine uses.
inline constexpr uint32_t kRowBandCount = 8;

// Runs callback on bandCount bands of totalRows rows and returns when every
// band's callback has returned. Band i covers rows i*h .. (i+1)*h - 1 with
// h = totalRows / bandCount; the last band ends at totalRows - 1 and so takes
// the remainder. With fewer rows than bands (or no bands) the whole range is
// one band; with no rows nothing runs.
//
// A band whose thread cannot be started runs on the calling thread. When a
// callback throws, the other bands still finish, and the first exception is
// rethrown on the calling thread.
void RunRowBands(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
                 uint32_t bandCount);
