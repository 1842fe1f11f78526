// The browser grid on a large folder: the pictures its items hold stay within
// the grid's budget while every thumbnail is loaded and scrolled through, the
// process's heap with them (every allocation counted, not timed), and the
// pictures dropped on the way come back when their cells are shown again.
// And a decoder that throws costs its own file's picture only: the loader goes
// on and the grid stays usable.

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "BrowserGridFixture.h"
#include "platform/testing/Headless.h"
#include "shell/facade/KVR_EngineLock.h"
#include "support/BrowserFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's count of the bytes held in its heap.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include "../../../bench/CountedAllocations.h"
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

namespace pt = platform::testing;
using namespace testsupport;

namespace {

// The bytes the process holds on the heap now, every allocation counted.
std::int64_t HeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  return countedallocations::g_LiveBytes.load();
#endif
}

// The grid notes the heap whenever a picture comes; the shooting information
// is not what this test is about, so every file reads as one without any.
class WatchedGrid : public CTLM_ThumbnailWnd {
public:
  std::atomic<std::int64_t> peakHeap{0};
  std::atomic<int> pictures{0};

  void NoteHeap() {
    const std::int64_t now = HeapBytes();
    std::int64_t peak = peakHeap.load();
    while (now > peak && !peakHeap.compare_exchange_weak(peak, now)) {
    }
  }
  // Whether every shown cell has a picture (its final one when asked).
  bool ShownCellsComplete(bool final) {
    ItemsLock hold(*this);
    const int end = std::min(GetItemCount(), GetFirstVisible() + CountShownCells());
    for (int i = GetFirstVisible(); i < end; ++i) {
      const CTLM_ThumbnailData* item = GetItem(i);
      if (!item->m_pDib || (final && !item->m_bFinalPicture)) return false;
    }
    return true;
  }
  int CountPictures() {
    ItemsLock hold(*this);
    int count = 0;
    for (int i = 0; i < GetItemCount(); ++i) count += GetItem(i)->m_pDib ? 1 : 0;
    return count;
  }

protected:
  void LoaderReadInfo(const FString&, CTLM_Exif* record) override { record->CopyFrom(nullptr); }
  void LoaderSendItemLoaded(CET_ThumbnailData* item, LPARAM state) override {
    if (item) ++pictures;
    NoteHeap();
    CTLM_ThumbnailWnd::LoaderSendItemLoaded(item, state);
  }
};

class BrowserPictureBudgetTest : public BrowserGridFixture<CWnd, WatchedGrid> {
protected:
  // The shown cells keep their pictures whatever the budget: 30 of them
  // (8.8 MB of final pictures) leave most of it to the cells around.
  void SetUp() override { CreateWindows(400, 300); }

  // Serves the loader until the shown cells have their pictures.
  void WaitForShownCells(bool final) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!grid.ShownCellsComplete(final) && std::chrono::steady_clock::now() < deadline) {
      pt::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(grid.ShownCellsComplete(final)) << "the shown cells did not get their pictures";
    grid.NoteHeap();
  }
};

// 5,000 pictures of 320 x 240 (links to a few files): each has a quick
// picture of 160 x 120 (58 KB) and a final one of 360 x 270 (292 KB), 1.7 GB
// for the whole folder; the grid may hold 16 MB of them. The heap may hold
// per file its item (path, name, record, the lists' and the loader's notes of
// it: at most 2 KB), and besides the pictures within the budget those the
// loader has just dropped (an eighth of it) and the decoders' and windows'
// working memory: at most half the budget more.
TEST_F(BrowserPictureBudgetTest, TheHeapStaysBoundedThroughAFolderAndDroppedPicturesComeBack) {
  constexpr int kFiles = 5000;
  constexpr std::int64_t kBudget = 16 << 20;
  constexpr std::int64_t kPerFileBytes = 2048;
  constexpr std::int64_t kPictureBytes = kBudget + kBudget / 2;
  const std::filesystem::path sources = Path("sources");
  std::filesystem::create_directory(sources);
  for (int k = 0; k < 4; ++k) WriteBytes(sources / ("s" + std::to_string(k) + ".jpg"), QuarterJpeg(320, 240 - 8 * k));
  const std::filesystem::path folder = Path("folder");
  std::filesystem::create_directory(folder);
  for (int i = 0; i < kFiles; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%05d.jpg", i);
    std::filesystem::create_hard_link(sources / ("s" + std::to_string(i % 4) + ".jpg"), folder / name);
  }

  grid.SetThumbSize(0);
  grid.SetPictureBudget(kBudget);
  const std::int64_t before = HeapBytes();
  ASSERT_EQ(grid.SetFolder(PathFromNative(folder.string())), kFiles);
  const std::int64_t listed = HeapBytes();
  grid.peakHeap = listed;
  EXPECT_LT(listed - before, kFiles * kPerFileBytes) << "the items of a listed folder are small";
  WaitForShownCells(false);
  const int firstPageCells = std::min(kFiles, grid.GetColumns() * grid.GetRowsPerPage());
  ASSERT_GT(firstPageCells, 0);

  // Down through the whole folder a page at a time, each page's pictures
  // awaited, then back to the top.
  SCROLLINFO info{};
  grid.GetScrollInfo(&info);
  const int lastPosition = info.nMax - static_cast<int>(info.nPage) + 1;
  for (int position = 0; position <= lastPosition; position += static_cast<int>(info.nPage)) {
    grid.ScrollTo(position);
    WaitForShownCells(false);
    EXPECT_LE(grid.CountPictureBytes(), static_cast<std::uint64_t>(kBudget));
  }
  grid.ScrollTo(lastPosition);
  WaitForShownCells(true);
  EXPECT_EQ(grid.GetItem(0)->m_pDib, nullptr) << "the first page's pictures were dropped on the way down";

  const int picturesBefore = grid.pictures.load();
  grid.ScrollTo(0);
  WaitForShownCells(true);
  EXPECT_GE(grid.pictures.load() - picturesBefore, firstPageCells) << "the first page's pictures came again";
  WaitForLoader();
  EXPECT_LE(grid.CountPictureBytes(), static_cast<std::uint64_t>(kBudget));
  EXPECT_LT(grid.CountPictures(), kFiles / 4) << "only the pictures near the shown cells are held";

  const std::int64_t grown = grid.peakHeap.load() - listed;
  std::printf("heap: the items %.1f MB, the pictures and the work %.1f MB at most (allowed %.1f and %.1f)\n",
              double(listed - before) / 1048576.0, double(grown) / 1048576.0,
              double(kFiles * kPerFileBytes) / 1048576.0, double(kPictureBytes) / 1048576.0);
  EXPECT_LT(grown, kPictureBytes) << "the heap grew past the budget";
}

// Decoders that throw (a library error, something not even an exception
// class) for two files: those two stay without pictures, every other file
// gets its pictures, the loader ends, and the grid answers at once.
class ThrowingGrid : public CTLM_ThumbnailWnd {
protected:
  BrowserPicture LoaderLoadQuick(const FString& path, int type, int rotation, CET_ExifData* exif) override {
    if (PathFileName(path) == FString("bad_1.jpg")) throw std::runtime_error("decoder failed");
    if (PathFileName(path) == FString("bad_2.jpg")) throw 7;
    return CTLM_ThumbnailWnd::LoaderLoadQuick(path, type, rotation, exif);
  }
};

class BrowserThrowingDecoderTest : public BrowserGridFixture<CWnd, ThrowingGrid> {
protected:
  void SetUp() override { CreateWindows(780, 600); }
};

TEST_F(BrowserThrowingDecoderTest, TheLoaderGoesOnAndTheGridStaysUsable) {
  for (const char* name : {"a.jpg", "bad_1.jpg", "bad_2.jpg", "c.jpg", "d.jpg"}) {
    WriteBytes(Path(name), CameraJpeg(320, 240, 80, 60));
  }
  ASSERT_EQ(grid.SetFolder(Folder()), 5);
  WaitForLoader();
  for (const char* name : {"a.jpg", "c.jpg", "d.jpg"}) {
    SCOPED_TRACE(name);
    const CTLM_ThumbnailData* item = ItemNamed(grid, name);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->m_pDib && item->m_bFinalPicture);
  }
  for (const char* name : {"bad_1.jpg", "bad_2.jpg"}) EXPECT_EQ(ItemNamed(grid, name)->m_pDib, nullptr) << name;
  EXPECT_EQ(grid.GetLoaderState(), 0);

  // No lock was left held: the item lock and the engine lock are free, and
  // the grid selects, counts and draws.
  grid.ChangeSelection(kSelectAll);
  EXPECT_EQ(grid.GetSelectedCount(), 5);
  EXPECT_TRUE(GetEngineLock().Lock(0));
  GetEngineLock().Unlock();
  const pt::PixelImage shot = pt::GrabClient(grid.GetSafeHwnd());
  EXPECT_GT(shot.width, 0);
  // The folder listed again: the run goes through the throwing files once more and ends.
  grid.RefreshItems(nullptr);
  WaitForLoader();
  EXPECT_TRUE(ItemNamed(grid, "d.jpg")->m_pDib);
  EXPECT_EQ(ItemNamed(grid, "bad_2.jpg")->m_pDib, nullptr);
}

} // namespace
