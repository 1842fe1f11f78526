// Stage 1 and stage 4 of a 20-megapixel picture, each run as an engine request
// the way a manager submits it, timed alternately with its baselines in the
// same iterations:
//   - stage 1 (linearisation table and column offsets) beside a plain pass
//     over the same bytes that only subtracts dark from raw ("x_plain");
//   - stage 4 (ROMM working space to 24-bit sRGB) beside a copy of its source
//     bytes ("x_memcpy") and beside Little CMS's cmsDoTransform run directly,
//     row by row, over the same 16-bit pixels that the row chain hands it
//     ("x_cms"; the chain before the transform is the difference), and beside
//     the same conversion made with Little CMS's defaults (intent 0, no flags:
//     "x_cms0"), as a program that simply calls it would.
// The pictures are synthetic: a 12-bit raw frame over a dark frame with a
// column pattern, and for stage 4 smooth shading with grain, as developed
// pictures have (uniform noise over the whole code range would measure the
// cache misses of the chain's tables rather than the chain). Each benchmark
// checks its result once before timing.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/colour/ColorSpaces.h"
#include "engine/colour/ToneLUT.h"
#include "engine/colour/TransformColor.h"
#include "engine/core/FIPEngine2.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/stages/Stage1.h"
#include "engine/stages/Stage4.h"
#include "support/BuildTree.h"
#include "support/EngineDriver.h"

namespace {

constexpr int32_t kColumns = 5472;
constexpr int32_t kRows = 3656;
constexpr uint32_t kTableSize = 65536;
constexpr size_t kPixels = size_t(kColumns) * kRows;

template <class Work>
double SecondsOf(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

uint32_t NextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// ---- Stage 1

struct Stage1Images {
    std::vector<FPixelClass48RGB> raw = std::vector<FPixelClass48RGB>(kPixels);
    std::vector<FPixelClass48RGB> dark = std::vector<FPixelClass48RGB>(kPixels);
    std::vector<FPixelClass48SRGB> out = std::vector<FPixelClass48SRGB>(kPixels);
    FPixmapTemplate<FPixelClass48RGB> rawPixmap{raw.data(), kColumns, kRows, 0};
    FPixmapTemplate<FPixelClass48RGB> darkPixmap{dark.data(), kColumns, kRows, 0};
    FPixmapTemplate<FPixelClass48SRGB> outPixmap{out.data(), kColumns, kRows, 0};
    std::unique_ptr<testsupport::ParsedCamdata> camdata;

    Stage1Images()
    {
        // 12-bit scene and a dark frame near 64 with a column pattern.
        uint32_t state = 12345;
        for (size_t i = 0; i < kPixels; ++i) {
            const uint16_t d = uint16_t(60 + (i % kColumns) % 7 + NextRandom(state) % 4);
            dark[i] = {d, d, d};
            raw[i] = {uint16_t(d + NextRandom(state) % 3900), uint16_t(d + NextRandom(state) % 3900),
                      uint16_t(d + NextRandom(state) % 3900)};
        }
        std::vector<int16_t> table(3 * 4096);
        for (int i = 0; i < 3 * 4096; ++i)
            table[size_t(i)] = int16_t((i % 4096) * (i % 4096) / 1024);
        testsupport::CamdataWriter writer;
        writer.AddInt16s("LinLUTs", {3, 4096}, table);
        writer.AddUInt32s("RawOffsetSourceRows", {3}, {0, 40, 2});
        writer.AddUInt32s("RawOffsetFilterShift", {1}, {4});
        writer.AddInt16s("RawSaturationLevel", {3}, {4000, 4000, 4000});
        writer.AddInt32s("DarkShieldTop", {4}, {0, 0, kColumns - 1, 5});
        camdata = std::make_unique<testsupport::ParsedCamdata>(writer);
    }

    int32_t RunStage1(FIIPEngine2& engine)
    {
        FIPERequestStage1 request;
        request.m_pRawImage = &rawPixmap;
        request.m_pDarkImage = &darkPixmap;
        request.m_pOutImage = &outPixmap;
        request.m_pCambData = camdata->get();
        return testsupport::RunEngineRequest(engine, request);
    }

    // Stores each sample's 16 bits directly, so the pass runs at the speed of
    // memory (through FIntTriple it would cost a call per pixel).
    void PlainPass()
    {
        for (size_t i = 0; i < kPixels; ++i) {
            out[i].r = int16_t(raw[i].r - dark[i].r);
            out[i].g = int16_t(raw[i].g - dark[i].g);
            out[i].b = int16_t(raw[i].b - dark[i].b);
        }
    }
};

void BM_Stage1_20MP(benchmark::State& state)
{
    auto images = std::make_unique<Stage1Images>();
    const std::unique_ptr<FIIPEngine2> engine(CreateIPEngine2());
    // The check: one pixel from its definition, with the column's offset.
    if (images->RunStage1(*engine) != kIPStatusDone) {
        state.SkipWithError("stage 1 failed");
        return;
    }
    const int32_t probeColumn = 2000;
    const size_t probe = size_t(1000) * kColumns + probeColumn;
    const int32_t offset = EstimateColumnOffsets(images->darkPixmap, 0, 40, 2, 4)[probeColumn].r;
    const auto table = [](int32_t i) { return (i & 4095) * (i & 4095) / 1024; };
    if (images->out[probe].r != table(images->raw[probe].r + offset) - table(images->dark[probe].r + offset)) {
        state.SkipWithError("stage 1 result is wrong");
        return;
    }

    double stage = 0.0, baseline = 0.0;
    for (auto _ : state) {
        const double seconds = SecondsOf([&] { images->RunStage1(*engine); });
        state.SetIterationTime(seconds);
        stage += seconds;
        baseline += SecondsOf([&] { images->PlainPass(); });
        benchmark::DoNotOptimize(images->out.data());
        benchmark::ClobberMemory();
    }
    const double n = double(state.iterations());
    state.counters["plain_ms"] = benchmark::Counter(1000.0 * baseline / n);
    state.counters["x_plain"] = benchmark::Counter(baseline > 0.0 ? stage / baseline : 0.0);
}
BENCHMARK(BM_Stage1_20MP)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Stage 4

struct Stage4Images {
    std::vector<FPixelClass48SRGB> color = std::vector<FPixelClass48SRGB>(kPixels);
    std::vector<FPixelClass16SMono> lightness = std::vector<FPixelClass16SMono>(kPixels);
    std::vector<FPixelClass16SMono> retinex = std::vector<FPixelClass16SMono>(kPixels);
    std::vector<FPixelClass24RGB> out = std::vector<FPixelClass24RGB>(kPixels);
    std::vector<FPixelClass24RGB> direct = std::vector<FPixelClass24RGB>(kPixels);
    std::vector<uint16_t> chained = std::vector<uint16_t>(3 * kPixels); // the row chain's output
    std::vector<FPixelClass48SRGB> copy = std::vector<FPixelClass48SRGB>(kPixels);
    FPixmapTemplate<FPixelClass48SRGB> colorPixmap{color.data(), kColumns, kRows, 0};
    FPixmapTemplate<FPixelClass16SMono> lightnessPixmap{lightness.data(), kColumns, kRows, 0};
    FPixmapTemplate<FPixelClass16SMono> retinexPixmap{retinex.data(), kColumns, kRows, 0};
    FPixmapTemplate<FPixelClass24RGB> outPixmap{out.data(), kColumns, kRows, 0};
    std::vector<int16_t> tone = std::vector<int16_t>(3 * kTableSize);
    std::vector<int16_t> gamma = std::vector<int16_t>(kTableSize);
    std::vector<int16_t> gain = std::vector<int16_t>(kTableSize);
    cmsHTRANSFORM transform = nullptr;
    cmsHTRANSFORM defaultTransform = nullptr;
    cmsHPROFILE rommProfile = nullptr;
    cmsHPROFILE srgbProfile = nullptr;

    Stage4Images()
    {
        SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
        // Cube-root codes of a developed picture: smooth shading across the
        // frame with grain, detail and a slowly varying Retinex image.
        uint32_t state = 777;
        for (int32_t y = 0; y < kRows; ++y) {
            for (int32_t x = 0; x < kColumns; ++x) {
                const size_t i = size_t(y) * kColumns + x;
                const auto grain = [&] { return int32_t(NextRandom(state) % 129) - 64; };
                color[i] = FPixelClass48SRGB{int16_t(1200 + 5000 * x / kColumns + grain()),
                                             int16_t(1200 + 5000 * y / kRows + grain()),
                                             int16_t(6200 - 2500 * (x + y) / (kColumns + kRows) + grain())};
                lightness[i].v = int16_t(grain());
                retinex[i].v = int16_t(1000 + (x / 16 + y / 16) % 2000);
            }
        }
        FLUT16RGB toneLUT(tone.data(), tone.data() + kTableSize, tone.data() + 2 * kTableSize, kTableSize);
        GenerateFinalToneCurve(0.3, 0.1, 0.2, 0, 1.1, 1, 0.9, GetInverseCubeRootLUT(), &toneLUT, false, false);
        FLUT16 gammaLUT(gamma.data(), kTableSize);
        MakeGammaLUT(gammaLUT, kColorSpaceProPhoto, 16);
        for (uint32_t i = 0; i < kTableSize; ++i)
            gain[i] = int16_t(230 + i % 60);

        ColorMatrix3x3Fixed saturation;
        saturation.iFractionBits = 12;
        saturation.Set(MakeSaturationMatrix(0.4));
        const FLUT16 retinexLUT(gain.data(), kTableSize);
        for (int32_t y = 0; y < kRows; ++y) {
            const size_t row = size_t(y) * kColumns;
            ProcessOutputRow(&color[row], &lightness[row], &retinex[row], kColumns, TruncateToInt(1.3 * 16384),
                             toneLUT, retinexLUT, saturation, gammaLUT, GetCubeRootLUT(), GetInverseCubeRootLUT(),
                             &chained[3 * row]);
        }
        transform = GetColorTransform(kColorSpaceProPhoto, TYPE_RGB_16, kColorSpaceSRGB, TYPE_RGB_8);
        rommProfile = OpenColorSpaceProfile(kColorSpaceProPhoto);
        srgbProfile = OpenColorSpaceProfile(kColorSpaceSRGB);
        if (rommProfile && srgbProfile)
            defaultTransform = cmsCreateTransform(rommProfile, TYPE_RGB_16, srgbProfile, TYPE_RGB_8, 0, 0);
    }

    ~Stage4Images()
    {
        if (defaultTransform)
            cmsDeleteTransform(defaultTransform);
        for (cmsHPROFILE profile : {rommProfile, srgbProfile})
            if (profile)
                cmsCloseProfile(profile);
    }

    int32_t RunStage4(FIIPEngine2& engine)
    {
        FIPERequestStage4 request;
        request.m_pStage3Image = &colorPixmap;
        request.m_pStage3ImageL = &lightnessPixmap;
        request.m_pStage3ImageRtnx = &retinexPixmap;
        request.m_pToneLUT = tone.data();
        request.m_pGammaLUT = gamma.data();
        request.m_pRtnxLUT = gain.data();
        request.m_dSharpness = 0.3;
        request.m_dSaturation = 0.4;
        request.m_bRommWorkingSpace = true;
        request.m_iColorSpace = kColorSpaceSRGB;
        request.m_pOutImage = &outPixmap;
        return testsupport::RunEngineRequest(engine, request);
    }

    void TransformDirectly(cmsHTRANSFORM with)
    {
        for (int32_t y = 0; y < kRows; ++y) {
            const size_t row = size_t(y) * kColumns;
            cmsDoTransform(with, &chained[3 * row], &direct[row], kColumns);
        }
    }

    void CopySource() { std::memcpy(copy.data(), color.data(), kPixels * sizeof(FPixelClass48SRGB)); }
};

void BM_Stage4_20MP(benchmark::State& state)
{
    auto images = std::make_unique<Stage4Images>();
    const std::unique_ptr<FIIPEngine2> engine(CreateIPEngine2());
    // The check: stage 4 gives exactly what its chain and Little CMS's
    // default transform give.
    if (!images->transform || !images->defaultTransform) {
        state.SkipWithError("no transform");
        return;
    }
    images->TransformDirectly(images->defaultTransform);
    if (images->RunStage4(*engine) != kIPStatusDone ||
        std::memcmp(images->out.data(), images->direct.data(), kPixels * sizeof(FPixelClass24RGB)) != 0) {
        state.SkipWithError("stage 4 result differs from the direct conversion");
        return;
    }

    double stage = 0.0, copy = 0.0, cms = 0.0, cmsDefault = 0.0;
    for (auto _ : state) {
        const double seconds = SecondsOf([&] { images->RunStage4(*engine); });
        state.SetIterationTime(seconds);
        stage += seconds;
        copy += SecondsOf([&] { images->CopySource(); });
        cms += SecondsOf([&] { images->TransformDirectly(images->transform); });
        cmsDefault += SecondsOf([&] { images->TransformDirectly(images->defaultTransform); });
        benchmark::DoNotOptimize(images->out.data());
        benchmark::DoNotOptimize(images->copy.data());
        benchmark::DoNotOptimize(images->direct.data());
        benchmark::ClobberMemory();
    }
    const double n = double(state.iterations());
    state.counters["memcpy_ms"] = benchmark::Counter(1000.0 * copy / n);
    state.counters["cms_ms"] = benchmark::Counter(1000.0 * cms / n);
    state.counters["x_memcpy"] = benchmark::Counter(copy > 0.0 ? stage / copy : 0.0);
    state.counters["x_cms"] = benchmark::Counter(cms > 0.0 ? stage / cms : 0.0);
    state.counters["cms0_ms"] = benchmark::Counter(1000.0 * cmsDefault / n);
    state.counters["x_cms0"] = benchmark::Counter(cmsDefault > 0.0 ? stage / cmsDefault : 0.0);
}
BENCHMARK(BM_Stage4_20MP)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
