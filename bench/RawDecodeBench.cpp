// Decoding speed of the two entropy-coded sensor formats on a 20-megapixel
// image, each beside a plain copy of the same coded bytes (whose rate is in
// bytes, not pixels: it decodes none), and the whole load of a 20-megapixel
// HuffmanM4 raw file through the raw loader beside the decode alone of the
// same coded bytes already in memory. Each decoder's output is checked once
// against the scene it was coded from before it is timed.
//
// The load reports "x_decode_rate" (its rate over the decode-alone rate, timed
// alternately in the same run) and "peak_bytes_per_pixel": the most memory
// held at once during a load, the 48-bit output pixmap included, per pixel.
// Every allocation of the program goes through the counting operators below.
#include "fileio/container/HuffmanM4.h"
#include "fileio/container/PdxbImageDecoding.h"
#include "fileio/loaders/FDataRetrieverRequest.h"
#include "fileio/loaders/FILoader.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPixmap.h"
#include "support/HuffmanEncoder.h"
#include "support/HuffmanM4Encoder.h"
#include "support/PdxbBuilder.h"
#include "support/TestSupport.h"

#include "CountedAllocations.h"

#include <benchmark/benchmark.h>


#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kColumns = 5472;
constexpr uint32_t kRows = 3648;  // 19.96 megapixels
constexpr double kPixels = double(kColumns) * kRows;

// A smooth scene with sensor-like noise, 12-bit values, three per pixel.
const std::vector<uint16_t>& Scene()
{
    static const std::vector<uint16_t> scene = [] {
        std::mt19937 random(42);
        std::normal_distribution<double> noise(0.0, 12.0);
        std::vector<uint16_t> samples(size_t(kColumns) * kRows * 3);
        size_t i = 0;
        for (uint32_t y = 0; y < kRows; ++y)
            for (uint32_t x = 0; x < kColumns; ++x)
                for (int k = 0; k < 3; ++k) {
                    const double base = 1400 + 900 * std::sin(x / 700.0 + k) * std::cos(y / 500.0) + 300.0 * k;
                    samples[i++] = uint16_t(std::clamp(base + noise(random), 0.0, 4095.0));
                }
        return samples;
    }();
    return scene;
}

struct Coded {
    PdxbImageHeader header{};
    std::vector<uint8_t> data;
};

const Coded& HuffmanM4Image()
{
    static const Coded coded = [] {
        Coded c;
        c.header.m_iPixelFormat = PDXB_PIXEL_HUFFMAN_M4;
        c.header.m_iColumns = kColumns;
        c.header.m_iRows = kRows;
        c.data = testsupport::EncodeHuffmanM4Image(kColumns, kRows, Scene(), {512, 512, 512});
        return c;
    }();
    return coded;
}

// Steps of one unit near zero, growing to the full 12-bit range at the ends,
// so that a row can start anywhere.
std::vector<int16_t> WideCurve()
{
    std::vector<int16_t> curve(1024);
    for (int i = 0; i < 1024; ++i) {
        const int n = i - 512, m = std::abs(n);
        const int step = m <= 384 ? m : 384 + (m - 384) * (m - 384) * (4095 - 384) / (128 * 128);
        curve[size_t(i)] = int16_t(n < 0 ? -step : step);
    }
    return curve;
}

// The scene as running sums of curve values, each step the one closest to the scene.
std::vector<uint8_t> CurveScene(const std::vector<int16_t>& curve)
{
    const std::vector<uint16_t> scene = Scene();
    std::vector<uint8_t> pixels(scene.size() * 2);
    for (uint32_t y = 0; y < kRows; ++y) {
        int value[3] = {0, 0, 0};
        for (uint32_t i = 0; i < 3 * kColumns; ++i) {
            const size_t at = size_t(y) * 3 * kColumns + i;
            const int want = scene[at] - value[i % 3];
            const auto next = std::lower_bound(curve.begin(), curve.end(), want);
            int step = next == curve.end() ? curve.back() : *next;
            if (next != curve.begin() && (next == curve.end() || want - *(next - 1) < step - want))
                step = *(next - 1);
            value[i % 3] = int16_t(value[i % 3] + step);
            pixels[2 * at] = uint8_t(value[i % 3]);
            pixels[2 * at + 1] = uint8_t(uint16_t(value[i % 3]) >> 8);
        }
    }
    return pixels;
}

const Coded& HuffmanFormat6Image()
{
    static const Coded coded = [] {
        Coded c;
        c.header.m_iPixelFormat = PDXB_PIXEL_HUFFMAN_10BIT;
        c.header.m_iColumns = kColumns;
        c.header.m_iRows = kRows;
        const std::vector<int16_t> curve = WideCurve();
        c.data = testsupport::EncodeHuffmanImage(6, kColumns, kRows, CurveScene(curve), curve).data;
        return c;
    }();
    return coded;
}

// Megapixels decoded per second: for decoders only.
void ReportPixels(benchmark::State& state)
{
    state.counters["Mpixel/s"] =
        benchmark::Counter(kPixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void ReportBytes(benchmark::State& state, size_t bytes) { state.SetBytesProcessed(int64_t(bytes) * int64_t(state.iterations())); }

// The decoded components, as the 16-bit values the encoder was given.
bool SamplesMatch(const std::vector<int16_t>& pixels, const std::vector<uint16_t>& samples)
{
    return pixels.size() == samples.size() &&
           std::equal(pixels.begin(), pixels.end(), samples.begin(),
                      [](int16_t decoded, uint16_t coded) { return uint16_t(decoded) == coded; });
}

template <const Coded& (*Image)()>
void CopyCodedBytes(benchmark::State& state)
{
    const Coded& coded = Image();
    std::vector<uint8_t> target(coded.data.size());
    for (auto _ : state) {
        std::memcpy(target.data(), coded.data.data(), coded.data.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    ReportBytes(state, coded.data.size());
}

void DecodeHuffmanM4(benchmark::State& state)
{
    const Coded& coded = HuffmanM4Image();
    std::vector<int16_t> pixels(size_t(kColumns) * kRows * 3);
    FPixmapTemplate<FPixelClass48SRGB> pixmap(pixels.data(), int32_t(kColumns), int32_t(kRows), 0);
    ReadImageHuffmanM4(coded.header, coded.data.data(), coded.data.size(), &pixmap, nullptr, nullptr);
    if (!SamplesMatch(pixels, Scene())) {
        state.SkipWithError("decoded pixels differ from the scene");
        return;
    }
    for (auto _ : state) {
        ReadImageHuffmanM4(coded.header, coded.data.data(), coded.data.size(), &pixmap, nullptr, nullptr);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    ReportBytes(state, coded.data.size());
}

void DecodeHuffmanFormat6(benchmark::State& state)
{
    const Coded& coded = HuffmanFormat6Image();
    std::vector<int16_t> pixels(size_t(kColumns) * kRows * 3);
    FPixmapTemplate<FPixelClass48SRGB> pixmap(pixels.data(), int32_t(kColumns), int32_t(kRows), 0);
    ReadImageVariableLineLength(coded.header, coded.data.data(), coded.data.size(), &pixmap, nullptr, nullptr);
    const std::vector<uint8_t> expected = CurveScene(WideCurve());
    if (pixels.size() * 2 != expected.size() || std::memcmp(pixels.data(), expected.data(), expected.size()) != 0) {
        state.SkipWithError("decoded pixels differ from the scene");
        return;
    }
    for (auto _ : state) {
        ReadImageVariableLineLength(coded.header, coded.data.data(), coded.data.size(), &pixmap, nullptr, nullptr);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    ReportPixels(state);
    ReportBytes(state, coded.data.size());
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The HuffmanM4 image as the one image of a version 2.3 raw file.
struct RawFile {
    testsupport::TempDir dir;
    FString url;

    RawFile()
    {
        InitStorageClasses();
        testsupport::PdxbHeaderSpec header;
        header.columns = kColumns;
        header.rows = kRows;
        testsupport::PdxbBuilder builder(header);
        testsupport::PdxbImageSpec image;
        image.pixelFormat = PDXB_PIXEL_HUFFMAN_M4;
        image.columns = kColumns;
        image.rows = kRows;
        image.data = HuffmanM4Image().data;
        builder.AddImage(image);
        const std::filesystem::path path = dir.Path() / "scene.kvr";
        builder.Build().WriteTo(path);
        url = testsupport::UrlOfPath(path);
    }
};

// One queued load of image 0 into the pixmap, as the data retriever asks for it.
bool LoadThroughLoader(FILoader& loader, const FString& url, FPixmap* pixmap)
{
    FDataRetrieverRequest request;
    request.m_sURL = url;
    request.m_iKind = LOADER_REQUEST_LOAD_IMAGE;
    request.SetIndexWord(0);
    request.SetPixmap(pixmap);
    loader.Request(&request);
    while (request.IsPending())
        loader.Idle();
    return request.GetStatus() == LOADER_STATUS_DONE;
}

void LoadHuffmanM4ThroughLoader(benchmark::State& state)
{
    const RawFile file;
    const Coded& coded = HuffmanM4Image();
    FILoader* loader = CreatePDXbLoader();

    // The first load is checked and measured: the output pixmap is allocated
    // inside the measured span, as a caller of the loader allocates it.
    const PeakAllocation peak;
    int64_t peakBytes = 0;
    {
        std::vector<int16_t> pixels(size_t(kColumns) * kRows * 3);
        FPixmapTemplate<FPixelClass48SRGB> pixmap(pixels.data(), int32_t(kColumns), int32_t(kRows), 0);
        const bool loaded = LoadThroughLoader(*loader, file.url, &pixmap);
        peakBytes = peak.Bytes();
        if (!loaded || !SamplesMatch(pixels, Scene())) {
            loader->Release();
            state.SkipWithError("the loaded pixels differ from the scene");
            return;
        }
    }

    std::vector<int16_t> pixels(size_t(kColumns) * kRows * 3);
    FPixmapTemplate<FPixelClass48SRGB> pixmap(pixels.data(), int32_t(kColumns), int32_t(kRows), 0);
    double loadSeconds = 0;
    double decodeSeconds = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        if (!LoadThroughLoader(*loader, file.url, &pixmap))
            state.SkipWithError("load failed");
        loadSeconds += Seconds(start);
        state.PauseTiming();
        start = Clock::now();
        ReadImageHuffmanM4(coded.header, coded.data.data(), coded.data.size(), &pixmap, nullptr, nullptr);
        benchmark::DoNotOptimize(pixels.data());
        decodeSeconds += Seconds(start);
        state.ResumeTiming();
    }
    loader->Release();
    state.counters["x_decode_rate"] = decodeSeconds / loadSeconds;
    state.counters["peak_bytes_per_pixel"] = double(peakBytes) / kPixels;
    ReportPixels(state);
}

} // namespace

BENCHMARK(DecodeHuffmanM4)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyCodedBytes<HuffmanM4Image>)->Name("CopyHuffmanM4Bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(LoadHuffmanM4ThroughLoader)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(DecodeHuffmanFormat6)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyCodedBytes<HuffmanFormat6Image>)->Name("CopyFormat6Bytes")->Unit(benchmark::kMillisecond);
