// The analyses that set a development's starting point, each on a full-size
// working image (2304 x 1536) of a daylight scene: automatic adjustment,
// Retinex, and both automatic white balances. Each is measured beside a plain
// pass over the same pixels (the sum of every sample, one thread) in the same
// run; "x_pass" is the analysis's time over the pass's, both timed alternately
// inside the analysis benchmark. Each analysis checks its result once.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/analysis/AutoWB_ChromaWt.h"
#include "engine/analysis/CalculateAutoAdjustSettings.h"
#include "engine/analysis/EAutoWB.h"
#include "engine/analysis/Retinex.h"
#include "engine/core/GlobalLUTs.h"
#include "support/NeutralScene.h"

namespace {

constexpr int32_t kColumns = 2304;
constexpr int32_t kRows = 1536;

struct Scene {
    Scene()
        : neutral(testsupport::NeutralSceneNeutralUnder(testsupport::kDaylightXYZ)),
          image(testsupport::MakeNeutralScene(kColumns, kRows, neutral)),
          retinexOutput(kColumns, kRows)
    {
    }
    FDoubleTriple neutral;
    testsupport::WorkingImage image;
    testsupport::TestPixmap<FPixelClass16SMono> retinexOutput;
    int64_t passSum = 0;
};

Scene& SharedScene()
{
    static Scene scene;
    return scene;
}

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "ImageAnalysisBench: wrong result: %s\n", what);
        std::abort();
    }
}

void NearNeutral(const FDoubleTriple& actual, const FDoubleTriple& expected, const char* what)
{
    for (int c = 0; c < 3; ++c)
        Require(std::abs(actual[c] / expected[c] - 1.0) <= 0.02, what);
}

void PlainPass(Scene& scene)
{
    int64_t sum = 0;
    for (int32_t y = 0; y < kRows; ++y) {
        const FPixelClass48SRGB* row = scene.image.Get()->GetRow(y);
        for (int32_t x = 0; x < kColumns; ++x)
            sum += row[x].r + row[x].g + row[x].b;
    }
    scene.passSum = sum;
}

void AutoAdjust(Scene& scene, bool check)
{
    double exposure, contrast, shadow, highlight, saturation, gains[3];
    CalculateAutoAdjustSettings(scene.image.get(), GetCubeRootLUT(), GetInverseCubeRootLUT(), 0.0, exposure,
                                contrast, shadow, highlight, saturation, gains);
    benchmark::DoNotOptimize(exposure);
    if (check)
        Require(std::abs(exposure) <= 1.5 && std::max({gains[0], gains[1], gains[2]}) == 1.0, "automatic adjustment");
}

void Retinex(Scene& scene, bool check)
{
    const double strength = ApplyRetinex(scene.image.get(), scene.retinexOutput.get(), 1 / 250.0, 8.0, 100, nullptr);
    benchmark::DoNotOptimize(strength);
    if (check)
        Require(strength >= 0.0 && strength <= 2.0 && std::round(strength * 10) == strength * 10, "Retinex");
}

void ChromaWeighted(Scene& scene, bool check)
{
    FChromaWeightedWBParams params;
    params.pSource = scene.image.get();
    params.adLevel[0] = params.adLevel[1] = params.adLevel[2] = 16000.0;
    params.dBv = 9.0;
    params.mCamToXYZ = testsupport::NeutralSceneCameraToXYZ();
    const FDoubleTriple neutral = EstimateNeutralChromaWeighted(params);
    benchmark::DoNotOptimize(neutral.r);
    if (check)
        NearNeutral(neutral, testsupport::NeutralSceneRommTint(scene.neutral, 1 - double(0.02f), 1 + double(0.08f)),
                    "chroma-weighted white balance");
}

void GreyWorld(Scene& scene, bool check)
{
    FGreyWorldWBParams params;
    params.pImage = scene.image.get();
    params.adLevel[0] = params.adLevel[1] = params.adLevel[2] = 16000.0;
    params.dFNumber = 8.0;
    params.dShutter = 1 / 250.0;
    BuildWorkingSpaceMatrix(params.mCamToROMM, testsupport::NeutralSceneCameraToXYZ(), FDoubleTriple(-1, -1, -1),
                            1.0, 0.0);
    const FDoubleTriple neutral = EstimateNeutralGreyWorld(params);
    benchmark::DoNotOptimize(neutral.r);
    if (check)
        NearNeutral(neutral, testsupport::NeutralSceneRommTint(scene.neutral, 0.98, 1.08),
                    "grey-world white balance");
}

template <class Work>
double SecondsOf(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunBesidePlainPass(benchmark::State& state, void (*analysis)(Scene&, bool))
{
    Scene& scene = SharedScene();
    analysis(scene, true);
    double analysisSeconds = 0.0, passSeconds = 0.0;
    for (auto _ : state) {
        const double seconds = SecondsOf([&] { analysis(scene, false); });
        state.SetIterationTime(seconds);
        analysisSeconds += seconds;
        passSeconds += SecondsOf([&] { PlainPass(scene); });
        benchmark::DoNotOptimize(scene.passSum);
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["pass_ms"] = benchmark::Counter(1000.0 * passSeconds / iterations);
    state.counters["x_pass"] = benchmark::Counter(passSeconds > 0.0 ? analysisSeconds / passSeconds : 0.0);
}

void BM_AutoAdjust(benchmark::State& state) { RunBesidePlainPass(state, AutoAdjust); }
void BM_Retinex(benchmark::State& state) { RunBesidePlainPass(state, Retinex); }
void BM_ChromaWeightedWhiteBalance(benchmark::State& state) { RunBesidePlainPass(state, ChromaWeighted); }
void BM_GreyWorldWhiteBalance(benchmark::State& state) { RunBesidePlainPass(state, GreyWorld); }

BENCHMARK(BM_AutoAdjust)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Retinex)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ChromaWeightedWhiteBalance)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_GreyWorldWhiteBalance)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_PlainPassSamePixels(benchmark::State& state)
{
    Scene& scene = SharedScene();
    for (auto _ : state) {
        PlainPass(scene);
        benchmark::DoNotOptimize(scene.passSum);
    }
}
BENCHMARK(BM_PlainPassSamePixels)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
