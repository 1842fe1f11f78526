#include "toolkit/CET_ThumbnailWnd.h"
#include "toolkit/DecodedPicture.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/testing/Headless.h"
#include "ToolkitTestWindows.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"

#include "foundation/FIStorageClass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace pt = platform::testing;

namespace {

// A thumbnail window that keeps every item-loaded message it handles.
class LoadedThumbs : public CET_ThumbnailWnd {
public:
  std::vector<std::pair<WPARAM, LPARAM>> loaded;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_THUMB_ITEMLOADED) loaded.emplace_back(wParam, lParam);
    return CET_ThumbnailWnd::WindowProc(message, wParam, lParam);
  }
  CET_ThumbnailData* Item(int index) { return m_Items.GetAt(index); }
  bool HasPicture(int index) {
    LockItems();
    const CET_ThumbnailData* item = m_Items.GetAt(index);
    const bool has = item && item->m_pDib && item->m_pDib->IsValid();
    UnlockItems();
    return has;
  }
  int Messages(const CET_ThumbnailData* item) const {
    int n = 0;
    for (const auto& [w, l] : loaded) n += (w == reinterpret_cast<WPARAM>(item) && l == 1) ? 1 : 0;
    return n;
  }
  int FinalMessages() const {
    int n = 0;
    for (const auto& [w, l] : loaded) n += (w == 0 && l == 0) ? 1 : 0;
    return n;
  }
};

struct LoaderFixture : ::testing::Test {
  testsupport::TempDir dir;
  PlainParent parent;
  LoadedThumbs thumbs;
  void SetUp() override {
    pt::Init();
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
    ASSERT_TRUE(parent.CreateAt(CRect(40, 40, 700, 600), RGB(89, 89, 89)));
    thumbs.SetScrollDirection(SB_VERT);
    ASSERT_TRUE(thumbs.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 560, 450), &parent, 7));
    thumbs.Init();
    pt::Pump();
  }
  void TearDown() override {
    thumbs.DestroyWindow();
    parent.DestroyWindow();
    pt::Pump();
  }
  void WriteJpeg(const std::string& name, int width = 64, int height = 48) {
    const auto bytes = testsupport::QuarterJpeg(width, height);
    testsupport::WriteFileBytes(dir.Path() / name, std::string(bytes.begin(), bytes.end()));
  }
  FString Folder() const { return testsupport::WideFromUtf8(dir.Str()); }
  // Serves the loader until its run ends, doing the step between turns.
  void PumpUntilLoaded(const std::function<void()>& step = {}) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (thumbs.IsLoaderRunning() && std::chrono::steady_clock::now() < deadline) {
      pt::Pump();
      if (step) step();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_FALSE(thumbs.IsLoaderRunning());
  }
  // Waits (without serving the window) until the item has its picture: the
  // loader then waits in its send.
  void WaitForPicture(int index) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!thumbs.HasPicture(index) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(thumbs.HasPicture(index));
  }
};

} // namespace

TEST_F(LoaderFixture, StopWithoutLoaderReturnsAtOnce) {
  EXPECT_FALSE(thumbs.IsLoaderRunning());
  thumbs.StopLoader();
  EXPECT_TRUE(thumbs.loaded.empty());
}

TEST_F(LoaderFixture, StopWhileTheLoaderWaitsInItsSendReturnsAfterTheFinalMessage) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) WriteJpeg(name);
  ASSERT_EQ(thumbs.SetFolder(Folder()), 4);
  EXPECT_TRUE(thumbs.IsLoaderRunning());
  WaitForPicture(0);
  thumbs.StopLoader();
  EXPECT_FALSE(thumbs.IsLoaderRunning());
  ASSERT_FALSE(thumbs.loaded.empty());
  EXPECT_EQ(thumbs.loaded.back(), (std::pair<WPARAM, LPARAM>{0, 0}));
  EXPECT_EQ(thumbs.FinalMessages(), 1);
  EXPECT_EQ(thumbs.Messages(thumbs.Item(0)), 1);
  // The run stopped before the last items; emptying the list is safe now.
  EXPECT_FALSE(thumbs.HasPicture(3));
  thumbs.SetFiles(nullptr);
  EXPECT_EQ(thumbs.GetItemCount(), 0);
}

TEST_F(LoaderFixture, AVanishedFileGivesNoPictureAndNoMessage) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) WriteJpeg(name);
  ASSERT_EQ(thumbs.SetFolder(Folder()), 5);
  WaitForPicture(0);
  std::filesystem::remove(dir.Path() / "d.jpg"); // before the loader reaches it
  PumpUntilLoaded();
  EXPECT_FALSE(thumbs.HasPicture(3));
  EXPECT_EQ(thumbs.Messages(thumbs.Item(3)), 0);
  EXPECT_TRUE(thumbs.HasPicture(4));

  // A new run skips loaded items and takes the picture of a file that went.
  thumbs.loaded.clear();
  std::filesystem::remove(dir.Path() / "b.jpg");
  thumbs.StartLoader();
  PumpUntilLoaded();
  EXPECT_FALSE(thumbs.HasPicture(1));
  EXPECT_TRUE(thumbs.HasPicture(0));
  EXPECT_EQ(thumbs.loaded, (std::vector<std::pair<WPARAM, LPARAM>>{{0, 0}}));
}

TEST_F(LoaderFixture, TwoHundredFilesLoadOnceEachWhileTheWindowScrolls) {
  for (int i = 0; i < 150; ++i) WriteJpeg("p" + std::to_string(1000 + i) + ".jpg", 40 + i % 50, 30 + i % 20);
  // Raw files are the browser's to decode: here they stay without a picture.
  for (int i = 0; i < 50; ++i) testsupport::WriteFileBytes(dir.Path() / ("r" + std::to_string(1000 + i) + ".kvr"), "PDXb");
  ASSERT_EQ(thumbs.SetFolder(Folder()), 200);
  int turn = 0;
  PumpUntilLoaded([&] {
    if (++turn % 3 == 0) thumbs.SendMessage(WM_VSCROLL, SB_PAGEDOWN, 0);
    if (turn % 40 == 0) thumbs.ScrollTo(0);
  });
  EXPECT_EQ(thumbs.FinalMessages(), 1);
  for (int i = 0; i < thumbs.GetItemCount(); ++i) {
    const CET_ThumbnailData* item = thumbs.Item(i);
    const bool still = item->m_FileType == ETFILETYPE_JPEG;
    EXPECT_EQ(thumbs.HasPicture(i), still) << i;
    EXPECT_EQ(thumbs.Messages(item), still ? 1 : 0) << i;
  }
  EXPECT_EQ(thumbs.loaded.size(), 151u);
  thumbs.ScrollTo(0);
  pt::SavePng(pt::GrabClient(thumbs.m_hWnd), "thumbnail-loaded.png");
}

TEST_F(LoaderFixture, APictureTooLargeForMemoryIsSkipped) {
  WriteJpeg("a.jpg", 64, 48);
  WriteJpeg("b.jpg", 3000, 2000);
  WriteJpeg("c.jpg", 64, 48);
  const std::uint64_t limit = GetMaxPictureBytes();
  SetMaxPictureBytes(100000); // even decoded at an eighth, 3000 x 2000 takes 281 kB
  ASSERT_EQ(thumbs.SetFolder(Folder()), 3);
  PumpUntilLoaded();
  SetMaxPictureBytes(limit);
  EXPECT_TRUE(thumbs.HasPicture(0));
  EXPECT_FALSE(thumbs.HasPicture(1));
  EXPECT_TRUE(thumbs.HasPicture(2));
  EXPECT_EQ(thumbs.Messages(thumbs.Item(1)), 0);
  EXPECT_EQ(thumbs.FinalMessages(), 1);
}
