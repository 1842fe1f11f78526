// The loader round trip of a small queued load (Request, then Idle until the
// status leaves "pending"), beside the same file read by its reader directly
// in the calling thread. The difference is the cost of handing the request to
// the load thread and back; Idle must return when the load ends, not after its
// 100 ms limit.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "fileio/loaders/FDataRetrieverRequest.h"
#include "fileio/loaders/FILoader.h"
#include "fileio/codecs/FTiffImageReader.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "foundation/FString.h"
#include "support/TestSupport.h"

namespace {

constexpr int32_t kColumns = 160;
constexpr int32_t kRows = 120;

struct SmallTiff {
    testsupport::TempDir dir;
    FString url;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(size_t(kColumns) * kRows * 3);

    SmallTiff()
    {
        InitStorageClasses();
        url = testsupport::UrlOfPath(dir.Path() / "small.tif");
        FTiffLineWriter writer(url, false);
        writer.SetDimensions(kColumns, kRows, FPixmap::PIXEL_24_RGB);
        for (int32_t y = 0; y < kRows; ++y)
            writer.WriteLine(pixels.data() + size_t(y) * kColumns * 3, FPixmap::PIXEL_24_RGB);
    }
};

SmallTiff& File()
{
    static SmallTiff file;
    return file;
}

void BM_QueuedLoadRoundTrip(benchmark::State& state)
{
    SmallTiff& file = File();
    FPixmapTemplate<FPixelClass24RGB> pixmap(file.pixels.data(), kColumns, kRows, 0);
    FILoader* loader = CreateTiffLoader();
    for (auto _ : state) {
        FDataRetrieverRequest request;
        request.m_sURL = file.url;
        request.m_iKind = LOADER_REQUEST_LOAD_IMAGE;
        request.SetPixmap(&pixmap);
        loader->Request(&request);
        while (request.IsPending())
            loader->Idle();
        if (request.GetStatus() != LOADER_STATUS_DONE)
            state.SkipWithError("load failed");
    }
    loader->Release();
}
BENCHMARK(BM_QueuedLoadRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_DirectRead(benchmark::State& state)
{
    SmallTiff& file = File();
    FPixmapTemplate<FPixelClass24RGB> pixmap(file.pixels.data(), kColumns, kRows, 0);
    for (auto _ : state) {
        FTiffImageReader reader(file.url);
        reader.ReadImage(&pixmap);
    }
}
BENCHMARK(BM_DirectRead)->Unit(benchmark::kMicrosecond);

} // namespace
