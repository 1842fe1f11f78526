// The program's start-up on a folder of 500 files (250 raw files of the
// synthetic camera with embedded previews and 250 camera-sized JPEGs with EXIF
// thumbnails, taking turns in name order, made once per run): from the
// application object's start-up (text tables, core, settings read, main frame
// made and shown, the folder given on the command line shown) until every cell on the first screenful of
// thumbnails has its picture and has been redrawn ("start_ms"; "init_ms" until
// the application object's start-up returns, the folder listed); the memory in
// use then (resident set, "rss_MB"), and its growth over the process just
// before start-up ("growth_MB"; "first_growth_MB" for the process's first
// start, before the allocator holds anything of an earlier one). Beside it,
// libjpeg-turbo decoding the same screenful's embedded thumbnails on its own
// ("plain_ms"); "x_plain" is the start-up's time over the plain decode's.
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
#include <unistd.h>

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

void BM_ProgramStartToFirstScreenful(benchmark::State& state) {
  static TemporaryHome home;
  static const benchfolder::ThumbnailFolder folder(kFilesOfEachKind, "IMG_"); // the kinds take turns on screen
  static bool firstStart = true;
  static bool checked = false;
  static double firstGrowth = 0;
  pt::Init();
  SetAppProgramPath(testsupport::BuildTreeProgramPath());

  double total = 0, initTotal = 0, plain = 0, resident = 0, growth = 0;
  size_t screenful = 0;
  benchfolder::Bytes rows;
  for (auto _ : state) {
    home.EmptySettings();
    StartedApp app;
    app.SetArguments({folder.folder.string()});
    const double residentBefore = ResidentMiB();

    const auto start = Clock::now();
    if (!app.InitInstance()) Fail("start-up");
    initTotal += Seconds(start);
    CTLM_ThumbnailWnd* grid = app.Grid();
    if (!grid) Fail("the browser has no grid of thumbnails");
    std::vector<int> cells;
    for (;;) {
      pt::Pump();
      cells = VisibleCells(*grid);
      if (HavePictures(*grid, cells)) break;
      if (Seconds(start) > kGiveUpSeconds) Fail("the first screenful did not come");
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    pt::Pump(); // the last pictures' cells redrawn
    const double seconds = Seconds(start);
    state.SetIterationTime(seconds);
    total += seconds;
    const double residentThen = ResidentMiB();
    resident += residentThen;
    growth += residentThen - residentBefore;
    if (firstStart) firstGrowth = residentThen - residentBefore;
    firstStart = false;
    screenful = cells.size();
    if (!checked) {
      CheckScreenful(*grid, cells);
      checked = true;
    }

    std::vector<const benchfolder::Thumbnail*> thumbnails;
    for (int i : cells) {
      std::string path;
      PathToNative(grid->GetItem(i)->m_Path, path);
      const benchfolder::Thumbnail* thumbnail = folder.Find(path);
      if (!thumbnail) Fail("a cell shows a file that is not in the folder");
      thumbnails.push_back(thumbnail);
    }
    app.CloseFrame();
    app.ExitInstance();

    const auto plainStart = Clock::now();
    for (const benchfolder::Thumbnail* thumbnail : thumbnails) {
      if (benchfolder::PlainDecode(*thumbnail, rows) == 0) Fail("plain decode");
    }
    plain += Seconds(plainStart);
  }
  const double iterations = double(state.iterations());
  state.counters["start_ms"] = 1000.0 * total / iterations;
  state.counters["init_ms"] = 1000.0 * initTotal / iterations;
  state.counters["plain_ms"] = 1000.0 * plain / iterations;
  state.counters["x_plain"] = total / plain;
  state.counters["screenful"] = double(screenful);
  state.counters["rss_MB"] = resident / iterations;
  state.counters["growth_MB"] = growth / iterations;
  state.counters["first_growth_MB"] = firstGrowth;
}
BENCHMARK(BM_ProgramStartToFirstScreenful)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
