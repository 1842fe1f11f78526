// Saving the synthetic camera's 2304 x 1536 file through a per-image worker,
// as a JPEG (quality index 10, accurate transform) and as a 48-bit TIFF, beside
// what the save cannot avoid, in the same run: one develop of the whole
// picture in one piece plus one direct write of the same pixels through the
// same line writer. The save develops a thumbnail and the picture in strips of
// 500 rows with context rows, and writes under a temporary name; the counter
// "x_reference" is the save's time over the develop's and the write's together.
//
// Both sides start from the same cache: the file's frames are loaded before
// timing, and each side asks for a chroma-noise strength of its own in every
// iteration, so each develops the picture from its frames (no result of an
// earlier iteration can be taken from the cache).

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "engine/colour/TransformColor.h"
#include "fileio/codecs/FJPEGLineWriter.h"
#include "fileio/codecs/FTiffImageReader.h"
#include "fileio/codecs/FTiffLineWriter.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "managers/FIPMImage.h"
#include "managers/IPManager2.h"
#include "managers/IPManagerData.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

int32_t Run(FIPManager& manager, IPManagerData& request)
{
    manager.Request(&request);
    while (request.m_Result.IsPending())
        manager.Idle();
    return request.m_Result.m_eStatus;
}

struct Setup {
    FString raw;
    FIntSize size;
};

void Describe(IPManagerData& request, const Setup& setup, int32_t kind, int32_t format)
{
    request.SetURL(setup.raw);
    request.m_eKind = kind;
    request.m_eOutputFormat = format;
    request.m_iColorSpace = 2;
    request.m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0); // neutral, as every caller sets it
    request.m_OutputSize = setup.size;
    request.m_Crop.Set(0, 0, setup.size.width, setup.size.height);
    request.m_iQuality = 10;
    request.m_bAccurateDCT = true;
}

void WriteDirectly(const FPixmap& pixmap, const FString& url, int32_t fileType)
{
    std::unique_ptr<FImageLineWriter> writer;
    if (fileType == 2)
        writer = std::make_unique<FJPEGLineWriter>(url, 10, true);
    else
        writer = std::make_unique<FTiffLineWriter>(url, false);
    writer->SetDimensions(pixmap.m_iColumns, pixmap.m_iRows, pixmap.GetPixelType());
    for (int32_t y = 0; y < pixmap.m_iRows; ++y)
        writer->WriteLine(pixmap.GetRow(y), pixmap.GetPixelType());
}

// The saved 48-bit TIFF against the one-piece develop: largest difference.
int LargestDifference(const FString& url, const FPixmap& reference)
{
    FTiffImageReader reader(url);
    uint32_t columns = 0, rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    if (int32_t(columns) != reference.m_iColumns || int32_t(rows) != reference.m_iRows || type != 15)
        return 65536;
    std::vector<uint16_t> pixels(size_t(columns) * rows * 3);
    FPixmapTemplate<FPixelClass48RGB> saved(pixels.data(), int32_t(columns), int32_t(rows), int32_t(columns) * 6);
    reader.ReadImage(&saved);
    int worst = 0;
    for (int32_t y = 0; y < reference.m_iRows; ++y) {
        const auto* a = reinterpret_cast<const uint16_t*>(reference.GetRow(y));
        const auto* b = reinterpret_cast<const uint16_t*>(saved.GetRow(y));
        for (int32_t i = 0; i < 3 * reference.m_iColumns; ++i)
            worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    }
    return worst;
}

void BM_Save(benchmark::State& state, int32_t fileType, int32_t format)
{
    InitStorageClasses();
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    testsupport::TempDir dir;
    testsupport::SyntheticOptions options;
    options.size = testsupport::SyntheticSize::Medium;
    const testsupport::SyntheticTruth truth = testsupport::WriteSyntheticRaw(dir.Path() / "shot.kvr", options);
    const Setup setup{testsupport::UrlOfPath(dir.Path() / "shot.kvr"),
                      FIntSize(int32_t(truth.outputColumns), int32_t(truth.outputRows))};
    const char* extension = fileType == 2 ? "jpg" : "tif";
    const FString saved = testsupport::UrlOfPath(dir.Path() / (std::string("saved.") + extension));
    const FString direct = testsupport::UrlOfPath(dir.Path() / (std::string("direct.") + extension));
    IPManager2 worker;

    // Warms the cache and checks once that the saved rows are the picture's.
    {
        IPManagerData whole;
        Describe(whole, setup, kIPRequestDevelop, format);
        if (Run(worker, whole) != kIPStatusDone) {
            state.SkipWithError("the worker cannot develop the file");
            return;
        }
        IPManagerData save;
        Describe(save, setup, kIPRequestSave, format);
        save.m_iFileType = fileType;
        save.m_sOutputPath = saved;
        if (Run(worker, save) != kIPStatusDone) {
            state.SkipWithError("the save failed");
            return;
        }
        if (format == kRGB48 && LargestDifference(saved, *whole.m_pResultImage->GetPixmap()) > 1) {
            state.SkipWithError("the saved picture differs from the one-piece develop");
            return;
        }
    }

    double saveSeconds = 0, referenceSeconds = 0;
    int iteration = 0;
    for (auto _ : state) {
        const double noise = 0.5 + 0.0001 * ++iteration;
        Clock::time_point start = Clock::now();
        IPManagerData save;
        Describe(save, setup, kIPRequestSave, format);
        save.m_iFileType = fileType;
        save.m_sOutputPath = saved;
        save.m_dChromaNoise = noise;
        Run(worker, save);
        saveSeconds += Seconds(start);

        state.PauseTiming();
        start = Clock::now();
        IPManagerData whole;
        Describe(whole, setup, kIPRequestDevelop, format);
        whole.m_dChromaNoise = noise + 0.00005;
        Run(worker, whole);
        WriteDirectly(*whole.m_pResultImage->GetPixmap(), direct, fileType);
        referenceSeconds += Seconds(start);
        state.ResumeTiming();
    }
    state.counters["x_reference"] = saveSeconds / referenceSeconds;
}

void BM_SaveJpeg(benchmark::State& state) { BM_Save(state, 2, kRGB24); }
void BM_SaveTiff48(benchmark::State& state) { BM_Save(state, 1, kRGB48); }

} // namespace

BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveTiff48)->Unit(benchmark::kMillisecond)->UseRealTime();
