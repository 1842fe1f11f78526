// The review window's automatic adjustment of a still picture
// (CalculateDibAutoAdjust) on a 6000 x 4000 24-bit picture, beside a plain pass
// over the rows the analysis reads (one row in four, every byte summed, one
// thread) in the same run; "x_pass" is the analysis's time over the pass's,
// both timed alternately. The result is checked once: a warm, dark scene is
// brightened and answered with cyan.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "review/core/AutoAdjust.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

std::unique_ptr<CET_Dib> MakeScene() {
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = kWidth;
  header.bmiHeader.biHeight = kHeight;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 24;
  const std::int64_t rowBytes = DibRowBytes(kWidth, 24);
  std::vector<BYTE> bits(static_cast<std::size_t>(rowBytes * kHeight));
  for (int y = 0; y < kHeight; ++y) {
    BYTE* row = &bits[static_cast<std::size_t>(y * rowBytes)];
    for (int x = 0; x < kWidth; ++x) {
      const int level = 20 + (x * 60 / kWidth) + (y * 30 / kHeight);  // dark, smooth
      row[x * 3] = static_cast<BYTE>(level * 6 / 10);  // blue
      row[x * 3 + 1] = static_cast<BYTE>(level * 8 / 10);
      row[x * 3 + 2] = static_cast<BYTE>(level);
    }
  }
  auto dib = std::make_unique<CET_Dib>();
  dib->Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

CET_Dib& Scene() {
  static std::unique_ptr<CET_Dib> scene = MakeScene();
  return *scene;
}

std::int64_t PlainPass(const CET_Dib& picture) {
  const std::int64_t rowBytes = DibRowBytes(kWidth, 24);
  std::int64_t sum = 0;
  for (int y = 0; y < kHeight; y += 4) {
    const BYTE* row = picture.bits + y * rowBytes;
    for (std::int64_t i = 0; i < rowBytes; ++i) sum += row[i];
  }
  return sum;
}

template <class Work>
double SecondsOf(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_StillPictureAutoAdjust(benchmark::State& state) {
  CET_Dib& picture = Scene();
  CET_FilterData checked;
  CalculateDibAutoAdjust(&checked, &picture);
  if (checked.m_nExposure <= 0 || checked.m_nCyan <= 0) {
    std::fprintf(stderr, "ReviewAutoAdjustBench: wrong result (exposure %d, cyan %d)\n", checked.m_nExposure,
                 checked.m_nCyan);
    std::abort();
  }
  double analysisSeconds = 0.0, passSeconds = 0.0;
  for (auto _ : state) {
    CET_FilterData settings;
    const double seconds = SecondsOf([&] { CalculateDibAutoAdjust(&settings, &picture); });
    benchmark::DoNotOptimize(settings.m_nExposure);
    state.SetIterationTime(seconds);
    analysisSeconds += seconds;
    std::int64_t sum = 0;
    passSeconds += SecondsOf([&] { sum = PlainPass(picture); });
    benchmark::DoNotOptimize(sum);
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["pass_ms"] = benchmark::Counter(1000.0 * passSeconds / iterations);
  state.counters["x_pass"] = benchmark::Counter(passSeconds > 0.0 ? analysisSeconds / passSeconds : 0.0);
}
BENCHMARK(BM_StillPictureAutoAdjust)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
