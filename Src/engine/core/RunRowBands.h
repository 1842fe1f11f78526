#pragma once
// The band runner: the heavy row kernels of the engine split an image's rows
// into bands and run the same callback on every band. The bands of a call are
// handed out one at a time to the calling thread and to the band workers: one
// process-wide pool of about as many threads as the process has cores, made
// on first use and shared by every engine and manager.
//
// A callback may read rows outside its band (a 3-row window reads its
// neighbours) but writes only its own rows. Kernels whose window reaches into
// rows that another band writes must read those rows from a snapshot.
//
// A callback may itself run bands: the calling thread always works on its own
// call's bands and waits only for bands that other threads have taken up.
#include <cstdint>
#include <vector>

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

// The number of bands every caller of the engine uses. The split depends on
// nothing but the rows and this count, never on the cores, so a picture is the
// same on every machine.
inline constexpr uint32_t kRowBandCount = 24;

// The rows of one band, inclusive.
struct RowBandRange {
    uint32_t iFirstRow = 0;
    uint32_t iLastRow = 0;
};

// The bands RunRowBands makes of totalRows rows with bandCount bands, top
// first. Band i covers rows i*h .. (i+1)*h - 1 with h = totalRows / bandCount;
// the last band ends at totalRows - 1 and so takes the remainder. With fewer
// rows than bands (or no bands) the whole range is one band; with no rows
// there is none.
std::vector<RowBandRange> SplitIntoRowBands(uint32_t totalRows, uint32_t bandCount);

// Runs callback on the bands of SplitIntoRowBands(totalRows, bandCount) and
// returns when every band's callback has returned. When a callback throws, the
// other bands still finish, and the exception of the topmost failed band is
// rethrown on the calling thread.
void RunRowBands(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
                 uint32_t bandCount);

// The most threads that work on the bands of one call, the calling thread
// included: by default the number of cores the process may run on. Setting
// 0 restores the default; 1 runs every band on the calling thread. A limit
// above the default is held to it. For measurements: the bands and so the
// pictures stay the same.
void SetRowBandThreadLimit(uint32_t threads);
uint32_t RowBandThreadLimit();
