// The browser grid's loader on a generated folder: raw files of the synthetic
// camera (with embedded previews, developable without them, and one with
// nothing to show), camera JPEGs with EXIF thumbnails, a truncated JPEG, a
// Motion-JPEG AVI and an unreadable one. A recording grid keeps every
// item-loaded message the loader sends and watches its locks.

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "BrowserGridFixture.h"
#include "platform/testing/Headless.h"
#include "shell/facade/KVR_EngineLock.h"
#include "support/BrowserFolder.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pt = platform::testing;
using namespace testsupport;

namespace {

// One item-loaded message as the loader sent it.
struct Sent {
  const CET_ThumbnailData* item;
  LPARAM state;
  int finalFlag;
  int longSide; // of the picture sent
  int busy;
};

thread_local bool t_holdsItemLock = false;

class RecordingGrid : public CTLM_ThumbnailWnd {
public:
  std::mutex mutex;
  std::vector<Sent> sent;
  std::atomic<int> violations{0};
  std::atomic<int> engineLocks{0};
  // Before sending the n-th message (counting from 1), wait for a stop.
  int holdBeforeMessage = 0;

  std::vector<Sent> Messages() {
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
  }
  void RequestStop() { WriteLoaderState(1); }
protected:
  void LoaderLockItems() override {
    if (GetEngineLock().IsHeldByCallingThread()) ++violations;
    CTLM_ThumbnailWnd::LoaderLockItems();
    t_holdsItemLock = true;
  }
  void LoaderUnlockItems() override {
    t_holdsItemLock = false;
    CTLM_ThumbnailWnd::LoaderUnlockItems();
  }
  std::unique_ptr<CET_Dib> LoaderDevelop(const FString& path, int mode, CET_ExifData* exif, int size[2]) override {
    if (t_holdsItemLock) ++violations;
    ++engineLocks;
    return CTLM_ThumbnailWnd::LoaderDevelop(path, mode, exif, size);
  }
  void LoaderSendItemLoaded(CET_ThumbnailData* item, LPARAM state) override {
    if (t_holdsItemLock || GetEngineLock().IsHeldByCallingThread()) ++violations;
    Sent record{item, state, item ? item->m_bFinalPicture : -1, 0, GetLoaderState()};
    if (item && item->m_pDib) {
      record.longSide = std::max(item->m_pDib->GetWidth(), std::abs(item->m_pDib->GetHeight()));
    }
    int count = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      sent.push_back(record);
      count = static_cast<int>(sent.size());
    }
    if (count == holdBeforeMessage) {
      while (ReadLoaderState() != 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    CTLM_ThumbnailWnd::LoaderSendItemLoaded(item, state);
  }
};

class BrowserLoaderTest : public BrowserGridFixture<CWnd, RecordingGrid> {
protected:
  void SetUp() override { CreateWindows(780, 600); }
  void TearDown() override {
    BrowserGridFixture::TearDown();
    EXPECT_EQ(grid.violations.load(), 0) << "the item lock was held with the engine lock or while sending";
  }

  static int Count(const std::vector<Sent>& sent, const CET_ThumbnailData* item) {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const Sent& s) { return s.item == item; }));
  }
};

TEST_F(BrowserLoaderTest, EveryItemComesInTheFirstPassAndIsRedrawnOnceInTheSecond) {
  const SyntheticRaw withPreviews = MakeSyntheticRaw();
  SyntheticOptions bare;
  bare.previews = false;
  const SyntheticRaw withoutPreviews = MakeSyntheticRaw(bare);
  withPreviews.file.WriteTo(Path("a1.kvr"));
  withPreviews.file.WriteTo(Path("a2.kvr"));
  withoutPreviews.file.WriteTo(Path("b_undeveloped.kvr"));
  SyntheticOptions previewOnly;
  previewOnly.previewOnly = true;
  MakeSyntheticRaw(previewOnly).file.WriteTo(Path("b_developed.kvr"));
  WriteFileBytes(Path("c_empty.kvr"), EmptyRawBytes());
  for (const char* name : {"d1.jpg", "d2.jpg", "d3.jpg"}) WriteBytes(Path(name), CameraJpeg(1200, 900));
  WriteBytes(Path("e_truncated.jpg"), TruncatedJpeg());
  MovieShape shape;
  shape.width = 160;
  shape.height = 120;
  shape.frames = 3;
  WriteMovie(Path("f_movie.avi"), shape);
  WriteFileBytes(Path("g_broken.avi"), BrokenAviBytes());
  WriteBytes(Path("h_never.png"), QuarterJpeg(16, 16));

  ASSERT_EQ(grid.SetFolder(Folder()), 11) << "the PNG file is not listed";
  WaitForLoader();
  const std::vector<Sent> sent = grid.Messages();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().item, nullptr) << "the final message comes last";
  EXPECT_EQ(sent.back().state, 0);
  EXPECT_EQ(Count(sent, nullptr), 1);
  EXPECT_EQ(grid.GetLoaderState(), 0);

  // Quick pictures first (in list order), then the final ones.
  const std::vector<std::string> twoPasses = {"a1.kvr", "a2.kvr", "b_developed.kvr", "d1.jpg", "d2.jpg", "d3.jpg"};
  // The managers develop previews from a raw file's embedded preview: a file
  // with only the large one is developed at 94 x 94; without any, the
  // development fails as the empty file's does.
  const std::vector<std::string> nothing = {"b_undeveloped.kvr", "c_empty.kvr", "e_truncated.jpg", "g_broken.avi"};
  std::size_t lastQuick = 0;
  std::size_t firstFinal = sent.size();
  for (const std::string& name : twoPasses) {
    SCOPED_TRACE(name);
    const CTLM_ThumbnailData* item = ItemNamed(grid, name);
    ASSERT_NE(item, nullptr);
    ASSERT_EQ(Count(sent, item), 2);
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      if (sent[i].item == item) at.push_back(i);
    }
    EXPECT_EQ(sent[at[0]].finalFlag, 0);
    EXPECT_EQ(sent[at[1]].finalFlag, 1);
    EXPECT_LE(sent[at[1]].longSide, kBrowserFinalPictureSide);
    EXPECT_GT(sent[at[1]].longSide, sent[at[0]].longSide) << "the second picture is the larger";
    EXPECT_EQ(sent[at[0]].busy, 1);
    if (name == "b_developed.kvr") {
      EXPECT_LE(sent[at[0]].longSide, 94) << "a 94 x 94 development";
    }
    lastQuick = std::max(lastQuick, at[0]);
    firstFinal = std::min(firstFinal, at[1]);
    EXPECT_TRUE(item->m_pDib && item->m_pDib->IsValid());
  }
  EXPECT_LT(lastQuick, firstFinal) << "no final picture before every quick one";

  const CTLM_ThumbnailData* movie = ItemNamed(grid, "f_movie.avi");
  ASSERT_NE(movie, nullptr);
  ASSERT_EQ(Count(sent, movie), 1) << "a movie's frame is final at once";
  EXPECT_EQ(movie->m_bFinalPicture, 1);
  EXPECT_EQ(movie->m_Width, 160);
  EXPECT_EQ(movie->m_Height, 120);

  for (const std::string& name : nothing) {
    SCOPED_TRACE(name);
    const CTLM_ThumbnailData* item = ItemNamed(grid, name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Count(sent, item), 0);
    EXPECT_EQ(item->m_pDib, nullptr);
  }
  // Each raw file without a small embedded picture is developed once, under
  // the engine lock: its second pass takes the large preview, and a failed
  // development leaves no second pass.
  EXPECT_EQ(grid.engineLocks.load(), 3);
  EXPECT_TRUE(GetEngineLock().Lock(0)) << "the engine lock is free again";
  GetEngineLock().Unlock();
}

TEST_F(BrowserLoaderTest, AStopInTheFirstPassEndsTheRunWithoutASecondPass) {
  for (int i = 0; i < 12; ++i) WriteBytes(Path("p" + std::to_string(i) + ".jpg"), CameraJpeg(320, 240, 80, 60));
  grid.holdBeforeMessage = 3;
  ASSERT_EQ(grid.SetFolder(Folder()), 12);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (grid.Messages().size() < 3 && std::chrono::steady_clock::now() < deadline) {
    pt::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(grid.Messages().size(), 3u);
  grid.StopLoader();
  EXPECT_FALSE(grid.IsLoaderRunning());
  const std::vector<Sent> sent = grid.Messages();
  ASSERT_EQ(sent.size(), 4u) << "three pictures, then the final message";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sent[i].finalFlag, 0) << "no second pass";
  EXPECT_EQ(sent[3].item, nullptr);
  EXPECT_EQ(sent[3].state, 0);
  EXPECT_EQ(grid.GetLoaderState(), 0);

  // The next run takes up the quick pictures in its second pass without
  // decoding them again.
  grid.holdBeforeMessage = 0;
  grid.StartLoader();
  WaitForLoader();
  const std::vector<Sent> again = grid.Messages();
  std::map<const CET_ThumbnailData*, int> quick;
  for (std::size_t i = 4; i < again.size(); ++i) {
    if (again[i].item && again[i].finalFlag == 0) ++quick[again[i].item];
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(quick.count(sent[i].item), 0u);
  EXPECT_EQ(quick.size(), 9u);
}

TEST_F(BrowserLoaderTest, AFileGoneSinceItsPictureCameLosesItAndTheRunGoesOn) {
  for (const char* name : {"q1.jpg", "q2.jpg", "q3.jpg"}) WriteBytes(Path(name), CameraJpeg(320, 240, 80, 60));
  grid.holdBeforeMessage = 2; // q2's quick picture is stored, its message held
  ASSERT_EQ(grid.SetFolder(Folder()), 3);
  while (grid.Messages().size() < 2) pt::Pump();
  std::filesystem::remove(Path("q2.jpg"));
  grid.RequestStop(); // lets the message go; the run then ends
  WaitForLoader();
  ASSERT_NE(ItemNamed(grid, "q2.jpg")->m_pDib, nullptr);
  grid.holdBeforeMessage = 0;
  grid.StartLoader();
  WaitForLoader();
  EXPECT_EQ(ItemNamed(grid, "q2.jpg")->m_pDib, nullptr);
  EXPECT_TRUE(ItemNamed(grid, "q1.jpg")->m_bFinalPicture);
  EXPECT_TRUE(ItemNamed(grid, "q3.jpg")->m_pDib && ItemNamed(grid, "q3.jpg")->m_bFinalPicture);
}

} // namespace
