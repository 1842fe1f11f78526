// A review window (headless, offscreen) on the synthetic camera's 2304 x 1536
// raw file with a 1280 x 853 picture pane, its worker developing through the
// facade on 6 cores (the band runner's thread limit), each case beside the
// same work done directly in the same run:
//   - ExposureChange: a new exposure chosen in the window until the new
//     picture is painted (stages 1 to 3 cached), beside the same development
//     of the fitted size on a handle of the facade, on a thread of its own
//     ("x_direct", medians);
//   - Cancel: a development at actual size (a new sharpness: stages 3 and 4
//     of the whole picture) cancelled 10 ms after it began (StopWorker) until
//     the call returns, beside the same development to its end ("x_develop");
//   - Loupe: the loupe's region (160 x 160 at 2 times: 80 x 80 picture pixels)
//     once the full-size stages are cached, beside the same request sent to the
//     manager pool directly; the first region's time ("first_ms") as well;
//   - QuickPicture: opening the raw file until its quick picture is painted,
//     beside reading the embedded picture alone ("x_read");
//   - StillPictureMemory: the heap a window holds, every allocation counted,
//     showing a 24-megapixel JPEG as decoded (slot 1) and adjusted (slot 2),
//     in full-size copies of the decoded picture, the window itself included
//     ("held_copies_slot1", "_slot2"; the most at once: "peak_copies"; the
//     window without a picture: "empty_window_MB").
// Each case checks its result once.

#include "CountedAllocations.h"

#include <benchmark/benchmark.h>

#include "engine/colour/TransformColor.h"
#include "engine/core/RunRowBands.h"
#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"
#include "review/frame/CReviewFormView.h"
#include "review/frame/CReviewFrame.h"
#include "review/frame/ReviewViewServices.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_Manager.h"
#include "support/BuildTree.h"
#include "support/JpegEncoder.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

namespace pt = platform::testing;
using Clock = std::chrono::steady_clock;
using namespace testsupport;

constexpr int kCores = 6;
constexpr int kPaneWidth = 1280;
constexpr int kPaneHeight = 853;
constexpr uint32_t kCacheLimit = 0x20800000;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ReviewWindowBench: wrong result: %s\n", what);
  std::abort();
}

double Ms(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A main frame with nothing listed.
class NoBrowser : public IReviewFrameHost {
public:
  CWnd* GetMainWnd() override { return nullptr; }
  void ReorderReviewFrame(IReviewFrame*, int) override {}
  int GetReviewFrameCount() override { return 0; }
  void GetImagePosition(const FString&, int* index, int* count) override { *index = 0, *count = 1; }
  FString GetNextImagePath(const FString&) override { return FString(); }
  FString GetPrevImagePath(const FString&) override { return FString(); }
  CTLM_ThumbnailData* FindThumbnail(const FString&) override { return nullptr; }
  BOOL IsThumbnailLoading() override { return FALSE; }
  BOOL HasProgressDialog() override { return FALSE; }
};

std::unique_ptr<CTLM_ThumbnailData> RecordOf(const FString& path) {
  auto record = std::make_unique<CTLM_ThumbnailData>();
  record->m_Path = path;
  record->m_FileType = GetFileType(path);
  return record;
}

// The program's setting: its application object with the program's tables,
// the core started, and a review window whose pane is 1280 x 853.
struct Setting {
  Setting() {
    pt::Init();
    InitStorageClasses();
    SetAppProgramPath(BuildTreeProgramPath());
    SetColorProfileProgramPath(BuildTreeProgramPath());
    app.LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt"));
    app.LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt"));
    GetGlobalCache()->SetSizeLimit(kCacheLimit);
    SetRowBandThreadLimit(kCores);
    SyntheticOptions options;
    options.size = SyntheticSize::Medium;
    WriteSyntheticRaw(dir.Path() / "raw.kvr", options);
    raw = PathFromNative((dir.Path() / "raw.kvr").string());
    const std::vector<uint8_t> rgb = PhotoLikeRgb(6000, 4000);
    const std::vector<uint8_t> jpeg = EncodeJpeg(rgb, 6000, 4000, 3, JpegEncodeOptions{});
    std::ofstream(dir.Path() / "still.jpg", std::ios::binary)
        .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    still = PathFromNative((dir.Path() / "still.jpg").string());
  }

  CReviewFrame* NewWindow() {
    CReviewFrame* frame = CReviewFrame::Make(host, ApplicationReviewServices());
    if (!frame) Fail("no review window");
    // The frame sized so that its pane's client is 1280 x 853.
    for (int pass = 0; pass < 3; ++pass) {
      CRect window, pane;
      frame->GetWindowRect(window);
      frame->GetView()->GetPane().GetClientRect(pane);
      frame->SetWindowPos(nullptr, 0, 0, window.Width() + kPaneWidth - pane.Width(),
                          window.Height() + kPaneHeight - pane.Height(), SWP_NOMOVE | SWP_NOZORDER);
      pt::Pump();
    }
    return frame;
  }
  static void WaitReady(CReviewFrame* frame) {
    CReviewFormView* view = frame->GetView();
    const auto until = Clock::now() + std::chrono::seconds(120);
    while ((!view->IsImageReady() || view->Develop().IsWorkerRunning()) && Clock::now() < until) {
      pt::Pump();
      std::this_thread::yield();
    }
    pt::Pump(); // the new picture painted
    if (!view->IsImageReady()) Fail("the window never showed its picture");
  }
  CReviewFrame* OpenRaw() {
    CReviewFrame* frame = NewWindow();
    frame->OpenImage(RecordOf(raw).get());
    WaitReady(frame);
    return frame;
  }

  CLumitraApp app;
  NoBrowser host;
  TempDir dir;
  FString raw;
  FString still;
};

Setting& TheSetting() {
  static Setting setting;
  return setting;
}

CKVR_FilterData Exposure(int value) {
  CKVR_FilterData settings;
  settings.m_nExposure = value;
  settings.m_strName = FString(u"Bench");
  return settings;
}

// The picture's mean green level: a brighter exposure raises it.
double MeanGreen(const CET_Dib& picture) {
  double sum = 0;
  for (int y = 0; y < picture.GetHeight(); y += 7) {
    for (int x = 0; x < picture.GetWidth(); x += 7) sum += GetGValue(picture.GetPixel(x, y));
  }
  return sum;
}

void ExposureChange(benchmark::State& state) {
  Setting& setting = TheSetting();
  CReviewFrame* frame = setting.OpenRaw();
  CReviewFormView* view = frame->GetView();
  const ReviewDevelopParam& job = view->Develop().Job();
  const int width = job.developedPicture->GetWidth();
  const int height = job.developedPicture->GetHeight();
  CRect pane;
  view->GetPane().GetClientRect(pane);
  if (pane.Width() != kPaneWidth || pane.Height() != kPaneHeight || std::abs(width - kPaneWidth) > 3) {
    std::fprintf(stderr, "pane %d x %d, picture %d x %d\n", pane.Width(), pane.Height(), width, height);
    Fail("the picture is not developed at the pane's size");
  }

  // Checked once: a larger exposure makes the shown picture brighter.
  const double before = MeanGreen(*job.developedPicture);
  CKVR_FilterData brighter = Exposure(150);
  frame->SelectSlot(3, &brighter, FALSE);
  Setting::WaitReady(frame);
  if (MeanGreen(*job.developedPicture) <= before) Fail("a larger exposure is not brighter");

  CKVR_ImageHandle* handle = nullptr;
  {
    KVREngineLockScope lock;
    handle = KVR_OpenHandle(setting.raw.GetText());
  }
  std::vector<double> window, direct;
  int exposure = -1;
  for (auto _ : state) {
    // Exposures never asked for before (odd for the window, even for the
    // handle): every development runs stage 4 on stages 1 to 3 cached.
    exposure += 2;
    CKVR_FilterData settings = Exposure(exposure);
    const auto start = Clock::now();
    frame->SelectSlot(3, &settings, FALSE);
    Setting::WaitReady(frame);
    window.push_back(Ms(start));
    state.SetIterationTime(window.back() / 1000.0);

    // The same development on a handle, with an exposure of its own, on a
    // thread of its own as the window's worker runs it.
    CKVR_FilterData other = Exposure(exposure + 1);
    const auto directStart = Clock::now();
    std::unique_ptr<CET_Dib> picture;
    std::thread([&] {
      KVREngineLockScope lock;
      KVR_ReloadProperties(handle);
      KVR_SetColorSpace(handle, 2);
      BITMAPINFOHEADER header{};
      BYTE* bits =
          KVR_DevelopRegionToDIB(handle, &header, width, height, RECT{0, 0, width, height}, &other, nullptr, nullptr);
      picture.reset(KVR_WrapInBitmap(header, bits));
    }).join();
    direct.push_back(Ms(directStart));
    if (!picture || picture->GetWidth() != width) Fail("the direct development");
  }
  {
    KVREngineLockScope lock;
    KVR_CloseHandle(handle);
  }
  frame->DestroyReviewFrame();
  pt::Pump();
  state.counters["window_ms"] = Median(window);
  state.counters["direct_ms"] = Median(direct);
  state.counters["x_direct"] = Median(window) / Median(direct);
  state.counters["cores"] = kCores;
}
BENCHMARK(ExposureChange)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

void Cancel(benchmark::State& state) {
  Setting& setting = TheSetting();
  CReviewFrame* frame = setting.OpenRaw();
  CReviewFormView* view = frame->GetView();
  // At actual size a new sharpness develops stages 3 and 4 of the whole
  // picture again: a development long enough to be cancelled.
  view->Zoom(2);
  Setting::WaitReady(frame);
  const ReviewDevelopParam& job = view->Develop().Job();
  std::vector<double> cancels, developments;
  int cancelled = 0;
  int sharpness = 0;
  for (auto _ : state) {
    sharpness = (sharpness + 7) % 100;
    CKVR_FilterData settings = Exposure(20);
    settings.m_nSharpness = sharpness;
    const CET_Dib* shown = job.developedPicture;
    frame->SelectSlot(3, &settings, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(10)); // the worker develops; its posts wait for the stop's loop
    const auto start = Clock::now();
    if (!view->StopWorker(FALSE)) Fail("the stop was refused");
    cancels.push_back(Ms(start));
    state.SetIterationTime(cancels.back() / 1000.0);
    cancelled += job.developedPicture == shown ? 1 : 0;
    // The same kind of development to its end, for comparison.
    settings.m_nSharpness = sharpness + 1;
    const auto whole = Clock::now();
    frame->SelectSlot(3, &settings, FALSE);
    Setting::WaitReady(frame);
    developments.push_back(Ms(whole));
  }
  if (cancelled == 0) Fail("no development was cancelled");
  frame->DestroyReviewFrame();
  pt::Pump();
  state.counters["cancel_ms"] = Median(cancels);
  state.counters["cancelled"] = cancelled;
  state.counters["develop_ms"] = Median(developments);
  state.counters["x_develop"] = Median(cancels) / Median(developments);
}
BENCHMARK(Cancel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void Loupe(benchmark::State& state) {
  Setting& setting = TheSetting();
  CReviewFrame* frame = setting.OpenRaw();
  CReviewFormView* view = frame->GetView();
  const ReviewDevelopParam& job = view->Develop().Job();
  const int width = job.imageSize.width, height = job.imageSize.height;
  const auto start = Clock::now();
  std::unique_ptr<CET_Dib> first(view->RenderRegion(1000, 700, 1080, 780, 1040, 740, nullptr));
  const double firstMs = Ms(start);
  if (!first || first->GetWidth() != 80 || first->GetHeight() != 80) Fail("the first region");
  std::unique_ptr<CET_FilterData> slot(frame->GetSlotSettings(frame->GetCurrentSlot()));
  std::vector<double> window, direct;
  int step = 0;
  for (auto _ : state) {
    // A region not asked for before: nothing of it is cached but the full-size stages.
    ++step;
    const int left = 900 + step * 7, top = 600 + step * 5;
    COLORREF colour = 0;
    const auto at = Clock::now();
    std::unique_ptr<CET_Dib> region(view->RenderRegion(left, top, left + 80, top + 80, left + 40, top + 40, &colour));
    window.push_back(Ms(at));
    state.SetIterationTime(window.back() / 1000.0);
    if (!region) Fail("no region");
    const auto directStart = Clock::now();
    {
      KVREngineLockScope lock;
      std::unique_ptr<CET_Dib> same(ApplicationReviewServices().DevelopRegion(
          setting.raw, 2, width, height, RECT{left, top, left + 80, top + 80},
          dynamic_cast<const CKVR_FilterData*>(slot.get())));
      direct.push_back(Ms(directStart));
      if (!same || same->GetWidth() != 80) Fail("the direct region");
    }
  }
  frame->DestroyReviewFrame();
  pt::Pump();
  state.counters["window_ms"] = Median(window);
  state.counters["direct_ms"] = Median(direct);
  state.counters["x_direct"] = Median(window) / Median(direct);
  state.counters["first_ms"] = firstMs;
}
BENCHMARK(Loupe)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void QuickPicture(benchmark::State& state) {
  Setting& setting = TheSetting();
  CReviewFrame* frame = setting.NewWindow();
  std::vector<double> window, read;
  for (auto _ : state) {
    const std::unique_ptr<CTLM_ThumbnailData> record = RecordOf(setting.raw);
    const auto start = Clock::now();
    frame->OpenImage(record.get());
    frame->GetView()->GetPane().UpdateWindow(); // painted
    window.push_back(Ms(start));
    state.SetIterationTime(window.back() / 1000.0);
    if (!frame->GetView()->GetPane().GetPicture().IsValid()) Fail("no quick picture");
    Setting::WaitReady(frame);
    const auto readStart = Clock::now();
    std::unique_ptr<CET_Dib> embedded(
        KVR_LoadEmbeddedImageToBitmap(setting.raw.GetText(), kEmbeddedPreviewFullSize, nullptr, nullptr, 0));
    read.push_back(Ms(readStart));
    if (!embedded) Fail("no embedded picture");
  }
  frame->DestroyReviewFrame();
  pt::Pump();
  state.counters["window_ms"] = Median(window);
  state.counters["read_ms"] = Median(read);
  state.counters["x_read"] = Median(window) / Median(read);
}
BENCHMARK(QuickPicture)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void StillPictureMemory(benchmark::State& state) {
  Setting& setting = TheSetting();
  double held[3] = {0, 0, 0}, peak[3] = {0, 0, 0};
  double copy = 1, empty = 0;
  for (auto _ : state) {
    for (int slot : {1, 2}) {
      setting.app.GetSettings()->m_nJTFilterMode = slot;
      const int64_t before = countedallocations::g_LiveBytes.load();
      const PeakAllocation most;
      const auto start = Clock::now();
      CReviewFrame* frame = setting.NewWindow();
      empty = static_cast<double>(countedallocations::g_LiveBytes.load() - before);
      frame->OpenImage(RecordOf(setting.still).get());
      Setting::WaitReady(frame);
      state.SetIterationTime(Ms(start) / 1000.0);
      const CET_Dib* decoded = frame->GetView()->Develop().Job().firstPicture;
      if (!decoded || decoded->GetWidth() != 6000) Fail("the JPEG was not decoded");
      copy = decoded->size;
      held[slot] = (countedallocations::g_LiveBytes.load() - before) / copy;
      peak[slot] = most.Bytes() / copy;
      frame->DestroyReviewFrame();
      pt::Pump();
    }
  }
  state.counters["held_copies_slot1"] = held[1];
  state.counters["held_copies_slot2"] = held[2];
  state.counters["peak_copies"] = std::max(peak[1], peak[2]);
  state.counters["copy_MB"] = copy / 1e6;
  state.counters["empty_window_MB"] = empty / 1e6;
}
BENCHMARK(StillPictureMemory)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
