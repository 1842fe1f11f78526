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
// Each iteration clears the pictures, starts the loader and stops it after its
// first pass; the window's thread sleeps between the loader's messages, as in
// the program's event loop. Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/facade/KVR_EmbeddedImages.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"
#include "support/BrowserFolder.h"
#include "support/BuildTree.h"
#include "support/ImageFileTest.h"
#include "support/JpegEncoder.h"

#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kFilesOfEachKind = 500;
constexpr int kCameraWidth = 6000;
constexpr int kCameraHeight = 4000;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "BrowserLoaderBench: %s\n", what);
  std::abort();
}


// Where a file's embedded thumbnail lies.
struct Thumbnail {
  fs::path path;
  long offset = 0;
  long length = 0;
};

struct Folder {
  testsupport::TempDir dir;
  fs::path folder;
  std::vector<Thumbnail> thumbnails;

  Folder() {
    InitStorageClasses();
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    folder = dir.Path() / "folder";
    fs::create_directory(folder);

    const testsupport::SyntheticRaw raw =
        testsupport::MakeSyntheticRaw();
    const fs::path rawFile = dir.Path() / "camera.kvr";
    raw.file.WriteTo(rawFile);
    int offset = 0;
    int length = 0;
    FILE* file = std::fopen(rawFile.c_str(), "rb");
    if (!file || KVR_FindEmbeddedImage(file, kEmbeddedThumbnail, &offset, &length) != kEmbeddedSmallJpeg) {
      Fail("the raw file has no small embedded JPEG");
    }
    std::fclose(file);
    // The section's picture bytes follow its 28-byte header.
    const Thumbnail rawThumbnail{rawFile, offset + 28, length - 28};
    const std::string rawBytes = testsupport::ReadFileBytes(rawFile);
    if (size_t(offset) + 30 > rawBytes.size() || uint8_t(rawBytes[size_t(offset) + 28]) != 0xFF ||
        uint8_t(rawBytes[size_t(offset) + 29]) != 0xD8) {
      Fail("the small JPEG does not start behind its section header");
    }

    testsupport::JpegEncodeOptions options;
    options.quality = 90;
    const Bytes plain = testsupport::EncodeJpeg(testsupport::PhotoLikeRgb(kCameraWidth, kCameraHeight), kCameraWidth, kCameraHeight, 3, options);
    testsupport::ExifFields fields;
    fields.orientation = 1;
    fields.markFlag = 0;
    fields.thumbnail = testsupport::QuarterJpeg(160, 120);
    const Bytes camera = testsupport::InsertSegment(
        plain, 0xE1, testsupport::ExifApp1Data(testsupport::BuildExifStructure(fields)));
    const fs::path jpegFile = dir.Path() / "camera.jpg";
    testsupport::WriteBytes(jpegFile, camera);
    const auto at = std::search(camera.begin(), camera.end(), fields.thumbnail.begin(), fields.thumbnail.end());
    if (at == camera.end()) Fail("the thumbnail is not in the JPEG");
    const Thumbnail jpegThumbnail{jpegFile, long(at - camera.begin()), long(fields.thumbnail.size())};

    for (int i = 0; i < kFilesOfEachKind; ++i) {
      const std::string number = std::to_string(1000 + i);
      fs::create_hard_link(rawFile, folder / ("KVR_" + number + ".kvr"));
      fs::create_hard_link(jpegFile, folder / ("IMG_" + number + ".JPG"));
      thumbnails.push_back({folder / ("KVR_" + number + ".kvr"), rawThumbnail.offset, rawThumbnail.length});
      thumbnails.push_back({folder / ("IMG_" + number + ".JPG"), jpegThumbnail.offset, jpegThumbnail.length});
    }
  }
};

// libjpeg-turbo on its own: the thumbnail's bytes read from the file and
// decoded at full scale into 24-bit rows; the pixel count.
size_t PlainDecode(const Thumbnail& thumbnail, Bytes& rows) {
  Bytes bytes(size_t(thumbnail.length));
  FILE* file = std::fopen(thumbnail.path.c_str(), "rb");
  if (!file) return 0;
  std::fseek(file, thumbnail.offset, SEEK_SET);
  const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (read != bytes.size()) return 0;
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  const size_t stride = (size_t(info.output_width) * 3 + 3) / 4 * 4;
  rows.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  const size_t pixels = size_t(info.output_width) * info.output_height;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

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

  void ClearPictures() {
    LockItems();
    for (int i = 0; i < m_Items.GetCount(); ++i) {
      m_Items.GetAt(i)->SetPicture(nullptr);
      m_Items.GetAt(i)->m_bFinalPicture = 0;
    }
    UnlockItems();
  }
  // As the program's event loop does, the thread sleeps until the loader
  // has a message for it (a polling loop would take the loader's processor).
  void Run() {
    quick = 0;
    firstScreen = 0;
    firstPass = 0;
    start = Clock::now();
    StartLoader();
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
  static const Folder folder;
  pt::Init();
  CWnd frame;
  frame.CreateEx(0, u"Frame", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1280, 900), nullptr, 0);
  TimedGrid grid;
  grid.sendItemMessages = state.range(0) != 0;
  grid.SetScrollDirection(SB_VERT);
  grid.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 1250, 900), &frame, kThumbnailGridId);
  grid.Initialize();
  grid.SetThumbSize(5);
  // Listing reads every file's shooting information: not part of the loader's time.
  if (grid.SetFolder(PathFromNative(folder.folder.string())) != 2 * kFilesOfEachKind) Fail("listing");
  grid.StopLoader();
  grid.total = grid.GetItemCount();
  grid.screenful = std::min(grid.total, grid.GetColumns() * grid.GetRowsPerPage());

  bool checked = false;
  double loader = 0, plain = 0, firstScreen = 0;
  Bytes rows;
  for (auto _ : state) {
    grid.ClearPictures();
    grid.Run();
    if (grid.quick != grid.total) Fail("the first pass did not bring every picture");
    loader += grid.firstPass;
    firstScreen += grid.firstScreen;
    state.SetIterationTime(grid.firstPass);

    const auto plainStart = Clock::now();
    size_t pixels = 0;
    for (const Thumbnail& thumbnail : folder.thumbnails) pixels += PlainDecode(thumbnail, rows);
    plain += Seconds(plainStart);
    if (!checked) {
      // Both decode the same thumbnails: 221 x 147 and 160 x 120 pixels.
      if (pixels != size_t(kFilesOfEachKind) * (221 * 147 + 160 * 120)) Fail("plain decode");
      const CTLM_ThumbnailData* first = grid.GetItem(kFilesOfEachKind); // the first raw file
      if (!first->m_pDib || std::abs(first->m_pDib->GetHeight()) != 147) {
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
