// The program's start-up on a folder given on its command line, headless:
//   - "files:500": 250 raw files of the synthetic camera with embedded
//     previews and 250 camera-sized JPEGs with EXIF thumbnails, taking turns in
//     name order; "files:10000": 10,000 small JPEGs of 640 x 480 without an
//     EXIF thumbnail (links to a few files, made once per run);
//   - "start_ms": from the application object's start-up (text tables, core,
//     settings read, main frame made and shown, the folder listed) until every
//     cell of the first screenful has its picture and has been redrawn (goal:
//     150 ms for 500 files, 1 s for 10,000); "init_ms" until the start-up
//     returns;
//   - "max_gap_ms": after the first paint, while the loader works (at most
//     kServeSeconds), the longest time between two messages the window's
//     thread served (goal: at most 50 ms), and the thread's own processor
//     time in it ("max_gap_busy_ms"; the rest it waited or was not scheduled);
//     a probe thread posts a message to a window of the program every
//     millisecond once the last one was served;
//   - beside it, libjpeg-turbo decoding the same screenful's thumbnails on its
//     own ("plain_ms"; "x_plain" is the start-up's time over it);
//   - the resident set then ("rss_MB") and its growth over the process just
//     before the start ("growth_MB"; "first_growth_MB" for the first start).
// BM_ProgramBrowseWholeFolder then shows every thumbnail of the 10,000 files:
// the grid scrolled a page at a time, each page's pictures awaited, with
// the longest gap between served messages throughout ("max_gap_ms") and the
// resident set at the end ("rss_MB"; "over_cache_limit_MB": above the image
// cache's limit, goal at most 150).
//
// Each iteration starts afresh as a user's first start: a new application
// object and main frame, the settings folder emptied (HOME and the XDG
// folders point into a temporary folder, so no file of the user's is read or
// touched), and closes the frame and ends the application after the clock
// has stopped. The first start checks once that the screenful's cells show
// pictures. Runs headless (offscreen, as the window benchmarks).

#include <benchmark/benchmark.h>

#include "ThumbnailFolder.h"
#include "app/CLumitraBrowserApp.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppFolders.h"
#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/browser/CThumbFormView.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using benchfolder::Fail;
using Clock = std::chrono::steady_clock;

constexpr int kFilesOfEachKind = 250;
constexpr double kGiveUpSeconds = 120;
// How long a start serves the loader after its first screenful.
constexpr double kServeSeconds = 3;
constexpr double kImageCacheLimitMiB = double(0x20800000) / (1024.0 * 1024.0);
constexpr UINT kProbeMessage = WM_APP + 0x3A1;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The process's resident set in MiB.
double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// HOME and the XDG folders in a temporary folder, set before anything reads them.
struct TemporaryHome {
  testsupport::TempDir dir;
  fs::path config = dir.Path() / "config";

  TemporaryHome() {
    const fs::path runtime = dir.Path() / "runtime";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("HOME", dir.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir.Path() / "data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir.Path() / "cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EmptySettings();
  }
  void EmptySettings() {
    fs::remove_all(config);
    fs::create_directories(config);
  }
};

class StartedApp : public CLumitraBrowserApp {
public:
  CMainFrame* Frame() { return static_cast<CMainFrame*>(m_pMainWnd); }
  // The browser's grid of thumbnails (null: none).
  CTLM_ThumbnailWnd* Grid() {
    IThumbPane* pane = Frame() ? Frame()->GetThumbPane() : nullptr;
    auto* view = pane ? dynamic_cast<CThumbFormView*>(pane->GetPaneWnd()) : nullptr;
    return view ? &view->GetGrid() : nullptr;
  }
  // The frame goes before the application ends, as when the user closes it.
  void CloseFrame() {
    CMainFrame* frame = Frame();
    if (!frame) return;
    if (IThumbPane* pane = frame->GetThumbPane()) pane->StopLoader();
    m_pMainWnd = nullptr;
    frame->DestroyWindow();
    pt::Pump();
  }
};

// The items whose cells show in the grid's client area, as the grid draws them.
std::vector<int> VisibleCells(CTLM_ThumbnailWnd& grid) {
  CRect client;
  grid.GetClientRect(&client);
  std::vector<int> cells;
  for (int i = grid.GetFirstVisible(); i < grid.GetItemCount(); ++i) {
    const CRect cell = grid.GetItemOrigin(i);
    if (cell.top >= client.bottom) break;
    if (cell.right > client.left && cell.left < client.right && cell.bottom > client.top) cells.push_back(i);
  }
  return cells;
}

bool HavePictures(CTLM_ThumbnailWnd& grid, const std::vector<int>& cells) {
  grid.LockItems();
  bool all = !cells.empty();
  for (int i : cells) all = all && grid.GetItem(i) && grid.GetItem(i)->m_pDib;
  grid.UnlockItems();
  return all;
}

// Once: every visible cell's picture area shows a picture, not the cell's
// grey or the grid's white; the grab is kept for a look.
void CheckScreenful(CTLM_ThumbnailWnd& grid, const std::vector<int>& cells) {
  const pt::PixelImage shot = pt::GrabClient(grid.GetSafeHwnd());
  for (int i : cells) {
    const CRect picture = grid.GetItemPictRect(i);
    const COLORREF centre = pt::PixelAt(shot, picture.CenterPoint().x, picture.CenterPoint().y);
    if (centre == RGB(225, 225, 225) || centre == RGB(192, 192, 255) || centre == RGB(255, 255, 255)) {
      Fail("a cell of the first screenful shows no picture");
    }
  }
  std::fprintf(stderr, "ProgramStartBench: first screenful of %zu cells in %s\n", cells.size(),
               pt::SavePng(shot, "program_start_screenful.png").c_str());
}

// A window of the program's thread that notes when it serves a probe, and a
// thread that posts it one every millisecond once the last was served.
class ProbeWindow : public CWnd {
public:
  ProbeWindow() { CreateEx(0, u"Probe", u"", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0); }
  ~ProbeWindow() override { Stop(); }
  void Start() {
    Stop();
    m_last = Clock::time_point();
    m_longest = 0;
    m_stop = false;
    m_served = true;
    m_thread = std::thread([this] {
      const HWND hwnd = GetSafeHwnd();
      while (!m_stop) {
        if (m_served.exchange(false)) ::PostMessageW(hwnd, kProbeMessage, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  }
  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }
  // From now on gaps count.
  void Restart() { m_last = Clock::time_point(), m_longest = 0, m_longestBusy = 0; }
  double LongestGapMs() const { return 1000.0 * m_longest; }
  // The window's thread's own processor time in that gap (the rest it waited
  // or was not scheduled).
  double LongestGapBusyMs() const { return 1000.0 * m_longestBusy; }

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != kProbeMessage) return CWnd::WindowProc(message, wParam, lParam);
    const auto now = Clock::now();
    const double cpu = ThreadCpuSeconds();
    if (m_last != Clock::time_point()) {
      const double gap = std::chrono::duration<double>(now - m_last).count();
      if (gap > m_longest) {
        m_longest = gap;
        m_longestBusy = cpu - m_lastCpu;
      }
    }
    m_last = now;
    m_lastCpu = cpu;
    m_served = true;
    return 0;
  }

private:
  std::thread m_thread;
  std::atomic<bool> m_stop{true};
  std::atomic<bool> m_served{true};
  static double ThreadCpuSeconds() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return double(cpu.tv_sec) + 1e-9 * double(cpu.tv_nsec);
  }

  Clock::time_point m_last;
  double m_longest = 0;
  double m_longestBusy = 0;
  double m_lastCpu = 0;
};

// The folder of each case, made once per run.
const std::vector<benchfolder::Thumbnail>& FolderOf(int files, fs::path* folder) {
  if (files == 2 * kFilesOfEachKind) {
    static const benchfolder::ThumbnailFolder mixed(kFilesOfEachKind, "IMG_"); // the kinds take turns on screen
    *folder = mixed.folder;
    return mixed.thumbnails;
  }
  static const benchfolder::SmallJpegFolder small(files);
  *folder = small.folder;
  return small.thumbnails;
}

const benchfolder::Thumbnail* FindThumbnail(const std::vector<benchfolder::Thumbnail>& thumbnails,
                                            const fs::path& path) {
  for (const benchfolder::Thumbnail& thumbnail : thumbnails) {
    if (thumbnail.path == path) return &thumbnail;
  }
  return nullptr;
}


// Serves the program's thread until done() or the time is up.
template <typename Done>
void Serve(Done done, double seconds, const char* what) {
  const auto start = Clock::now();
  while (!done()) {
    pt::Pump();
    if (Seconds(start) > seconds) {
      if (what) Fail(what);
      return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

struct StartResult {
  double seconds = 0;
  double initSeconds = 0;
  std::vector<const benchfolder::Thumbnail*> screenful;
};

// Starts the program on the folder and serves it until the first screenful
// has its pictures; checks the screenful once.
StartResult StartProgram(StartedApp& app, const fs::path& folder, const std::vector<benchfolder::Thumbnail>& thumbnails,
                         ProbeWindow& probe) {
  static bool checked = false;
  StartResult result;
  app.SetArguments({folder.string()});
  const auto start = Clock::now();
  if (!app.InitInstance()) Fail("start-up");
  result.initSeconds = Seconds(start);
  CTLM_ThumbnailWnd* grid = app.Grid();
  if (!grid) Fail("the browser has no grid of thumbnails");
  probe.Start();
  pt::Pump(); // the first paint
  probe.Restart(); // gaps count from here on
  std::vector<int> cells;
  Serve(
      [&] {
        cells = VisibleCells(*grid);
        return HavePictures(*grid, cells);
      },
      kGiveUpSeconds, "the first screenful did not come");
  pt::Pump(); // the last pictures' cells redrawn
  result.seconds = Seconds(start);
  if (!checked) {
    CheckScreenful(*grid, cells);
    checked = true;
  }
  for (int i : cells) {
    std::string path;
    PathToNative(grid->GetItem(i)->m_Path, path);
    const benchfolder::Thumbnail* thumbnail = FindThumbnail(thumbnails, path);
    if (!thumbnail) Fail("a cell shows a file that is not in the folder");
    result.screenful.push_back(thumbnail);
  }
  return result;
}

void BM_ProgramStartToFirstScreenful(benchmark::State& state) {
  static TemporaryHome home;
  static bool firstStart = true;
  static double firstGrowth = 0;
  pt::Init();
  SetAppProgramPath(testsupport::BuildTreeProgramPath());
  fs::path folder;
  const std::vector<benchfolder::Thumbnail>& thumbnails = FolderOf(int(state.range(0)), &folder);
  ProbeWindow probe;

  double total = 0, initTotal = 0, plain = 0, resident = 0, growth = 0, longestGap = 0, longestGapBusy = 0;
  size_t screenful = 0;
  benchfolder::Bytes rows;
  for (auto _ : state) {
    home.EmptySettings();
    StartedApp app;
    const double residentBefore = ResidentMiB();
    // The first paint happens in the first turn of the loop after the start-up.
    const StartResult started = StartProgram(app, folder, thumbnails, probe);
    state.SetIterationTime(started.seconds);
    total += started.seconds;
    initTotal += started.initSeconds;
    const double residentThen = ResidentMiB();
    resident += residentThen;
    growth += residentThen - residentBefore;
    if (firstStart) firstGrowth = residentThen - residentBefore;
    firstStart = false;
    screenful = started.screenful.size();

    // The loader goes on; the window's thread must keep serving.
    CTLM_ThumbnailWnd* grid = app.Grid();
    Serve([&] { return grid->GetLoaderState() == 0; }, kServeSeconds, nullptr);
    probe.Stop();
    if (probe.LongestGapMs() > longestGap) {
      longestGap = probe.LongestGapMs();
      longestGapBusy = probe.LongestGapBusyMs();
    }
    app.CloseFrame();
    app.ExitInstance();

    const auto plainStart = Clock::now();
    for (const benchfolder::Thumbnail* thumbnail : started.screenful) {
      if (benchfolder::PlainDecode(*thumbnail, rows) == 0) Fail("plain decode");
    }
    plain += Seconds(plainStart);
  }
  const double iterations = double(state.iterations());
  state.counters["start_ms"] = 1000.0 * total / iterations;
  state.counters["init_ms"] = 1000.0 * initTotal / iterations;
  state.counters["max_gap_ms"] = longestGap;
  state.counters["max_gap_busy_ms"] = longestGapBusy;
  state.counters["plain_ms"] = 1000.0 * plain / iterations;
  state.counters["x_plain"] = total / plain;
  state.counters["screenful"] = double(screenful);
  state.counters["rss_MB"] = resident / iterations;
  state.counters["growth_MB"] = growth / iterations;
  state.counters["first_growth_MB"] = firstGrowth;
}
BENCHMARK(BM_ProgramStartToFirstScreenful)
    ->ArgName("files")
    ->Arg(2 * kFilesOfEachKind)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

void BM_ProgramBrowseWholeFolder(benchmark::State& state) {
  static TemporaryHome home;
  pt::Init();
  SetAppProgramPath(testsupport::BuildTreeProgramPath());
  fs::path folder;
  const std::vector<benchfolder::Thumbnail>& thumbnails = FolderOf(int(state.range(0)), &folder);
  ProbeWindow probe;
  double seconds = 0, longestGap = 0, longestGapBusy = 0, resident = 0;
  int pages = 0;
  for (auto _ : state) {
    home.EmptySettings();
    StartedApp app;
    const auto start = Clock::now();
    StartProgram(app, folder, thumbnails, probe);
    probe.Restart();
    CTLM_ThumbnailWnd* grid = app.Grid();
    SCROLLINFO info{};
    grid->GetScrollInfo(&info);
    const int last = info.nMax - int(info.nPage) + 1;
    pages = 0;
    for (int position = 0;; position = std::min(position + int(info.nPage), last)) {
      grid->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
      Serve([&] { return HavePictures(*grid, VisibleCells(*grid)); }, kGiveUpSeconds, "a page's pictures did not come");
      ++pages;
      if (position == last) break;
    }
    seconds = Seconds(start);
    state.SetIterationTime(seconds);
    probe.Stop();
    longestGap = probe.LongestGapMs();
    longestGapBusy = probe.LongestGapBusyMs();
    resident = ResidentMiB();
    app.CloseFrame();
    app.ExitInstance();
  }
  state.counters["pages"] = pages;
  state.counters["max_gap_ms"] = longestGap;
  state.counters["max_gap_busy_ms"] = longestGapBusy;
  state.counters["rss_MB"] = resident;
  state.counters["over_cache_limit_MB"] = resident - kImageCacheLimitMiB;
}
BENCHMARK(BM_ProgramBrowseWholeFolder)
    ->ArgName("files")
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
