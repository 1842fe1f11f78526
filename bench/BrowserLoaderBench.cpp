// The browser grid's loader over a folder of 1000 files: 500 raw files of the
// synthetic camera with embedded previews and 500 camera-sized JPEGs
// (6000 x 4000) with EXIF thumbnails (links to one file of each, made once per
// run in a temporary folder).
//   - the first pass (every file's quick picture, each cell redrawn by the
//     window as it arrives), in files per second ("files_per_s"; goal at
//     least 300), beside libjpeg-turbo reading each file's embedded thumbnail
//     and decoding it at the same scale ("plain_files_per_s"); "x_plain" is
//     the loader's rate over the plain rate (goal: at least 0.7);
//   - the time until the first screenful of cells has its pictures
//     ("first_screen_ms");
//   - the same without the window's part ("cells_redrawn:0": the loader's
//     item-loaded messages are not sent), so that the loader's own work can
//     be told from the synchronous message and redraw of each cell.
// Each iteration lists the folder afresh (its items made, the first
// screenful's shooting information read: the listing is inside the timed
// pass) and stops the loader after its first pass (which reads the other
// items' shooting information through the cache, as in the program); the
// window's thread sleeps between the loader's messages, as in the program's
// event loop. Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "ThumbnailFolder.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

namespace pt = platform::testing;
using benchfolder::Fail;
using Clock = std::chrono::steady_clock;

constexpr int kFilesOfEachKind = 500;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The grid with a clock on its loader's messages; it stops the run once the
// first pass has brought every picture.
class TimedGrid : public CTLM_ThumbnailWnd {
public:
  std::atomic<int> quick{0};
  int screenful = 0;
  int total = 0;
  Clock::time_point start;
  std::atomic<double> firstScreen{0};
  std::atomic<double> firstPass{0};
  // False: the loader's own work alone, without the window's redraw of each cell.
  bool sendItemMessages = true;

  // Lists the folder and serves the loader through its first pass. As the
  // program's event loop does, the thread sleeps until the loader has a
  // message for it (a polling loop would take the loader's processor).
  void Run(const FString& folder) {
    quick = 0;
    firstScreen = 0;
    firstPass = 0;
    start = Clock::now();
    if (SetFolder(folder) != total) Fail("listing");
    while (IsLoaderRunning()) {
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_sent > m_handled; });
      }
      pt::Pump();
    }
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = CTLM_ThumbnailWnd::WindowProc(message, wParam, lParam);
    if (message == WM_THUMB_ITEMLOADED) {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_handled;
    }
    return result;
  }

protected:
  void LoaderSendItemLoaded(CET_ThumbnailData* item, LPARAM state) override {
    if (item && !item->m_bFinalPicture) {
      const int n = ++quick;
      if (n == screenful) firstScreen = Seconds(start);
      if (n == total) {
        firstPass = Seconds(start);
        WriteLoaderState(1); // the second pass is not measured here
      }
    }
    if (item && !sendItemMessages) return;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_sent;
    }
    m_wake.notify_one();
    CTLM_ThumbnailWnd::LoaderSendItemLoaded(item, state);
  }

private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  long m_sent = 0;
  long m_handled = 0;
};

void BM_BrowserLoaderFirstPass(benchmark::State& state) {
  static const benchfolder::ThumbnailFolder folder(kFilesOfEachKind);
  pt::Init();
  CWnd frame;
  frame.CreateEx(0, u"Frame", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1280, 900), nullptr, 0);
  TimedGrid grid;
  grid.sendItemMessages = state.range(0) != 0;
  grid.SetScrollDirection(SB_VERT);
  grid.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 1250, 900), &frame, kThumbnailGridId);
  grid.Initialize();
  grid.SetThumbSize(5);
  const FString path = PathFromNative(folder.folder.string());
  grid.total = 2 * kFilesOfEachKind;
  grid.screenful = std::min(grid.total, grid.GetColumns() * grid.GetRowsPerPage());

  bool checked = false;
  double loader = 0, plain = 0, firstScreen = 0;
  benchfolder::Bytes rows;
  for (auto _ : state) {
    grid.Run(path);
    if (grid.quick != grid.total) Fail("the first pass did not bring every picture");
    loader += grid.firstPass;
    firstScreen += grid.firstScreen;
    state.SetIterationTime(grid.firstPass);

    const auto plainStart = Clock::now();
    size_t pixels = 0;
    for (const auto& thumbnail : folder.thumbnails) pixels += benchfolder::PlainDecode(thumbnail, rows);
    plain += Seconds(plainStart);
    if (!checked) {
      // Both decode the same thumbnails: 221 x 147 and 160 x 120 pixels.
      if (pixels != size_t(kFilesOfEachKind) * (benchfolder::kRawThumbnailWidth * benchfolder::kRawThumbnailHeight +
                                                  benchfolder::kJpegThumbnailWidth * benchfolder::kJpegThumbnailHeight)) {
        Fail("plain decode");
      }
      const CTLM_ThumbnailData* first = grid.GetItem(kFilesOfEachKind); // the first raw file
      if (!first->m_pDib || std::abs(first->m_pDib->GetHeight()) != benchfolder::kRawThumbnailHeight) {
        Fail("the raw file's quick picture is not its small embedded JPEG");
      }
      checked = true;
    }
  }
  const double files = double(grid.total) * double(state.iterations());
  state.counters["files_per_s"] = files / loader;
  state.counters["plain_files_per_s"] = files / plain;
  state.counters["x_plain"] = plain / loader;
  state.counters["first_screen_ms"] = 1000.0 * firstScreen / double(state.iterations());
  state.counters["screenful"] = grid.screenful;
  grid.DestroyWindow();
  frame.DestroyWindow();
  pt::Pump();
}
BENCHMARK(BM_BrowserLoaderFirstPass)
    ->ArgName("cells_redrawn")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

} // namespace
