// The slide show's loader: it passes over files it cannot read, at most
// once round the list, from the start again only with loop; and a load
// given up on stores nothing when it finally ends (the newer load's picture
// and flag stay, the late picture is freed).

#include "output/slideshow/CSlideShowDlg.h"
#include "platform/testing/Headless.h"
#include "shell/app/CLumitraApp.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class SlideShowLoaderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
  }
  FString PathOf(const std::string& name) const { return PathFromNative((dir.Path() / name).string()); }
  FString Jpeg(const std::string& name) {
    const testsupport::PictureBytes bytes = testsupport::QuarterJpeg(32, 16);
    testsupport::WriteFileBytes(dir.Path() / name, std::string(bytes.begin(), bytes.end()));
    return PathOf(name);
  }
  FString Junk(const std::string& name) {
    testsupport::WriteFileBytes(dir.Path() / name, "junk");
    return PathOf(name);
  }
  // Runs one load of the index to the end on this thread.
  void Load(int index) {
    {
      CSingleLock lock(&handOver->lock, TRUE);
      handOver->loading = TRUE;
      ++handOver->sequence;
      handOver->indexToLoad = index;
    }
    SlideShowLoadThreadProc(new SlideShowLoad{handOver});
  }

  testsupport::TempDir dir;
  std::shared_ptr<SlideShowHandOver> handOver = std::make_shared<SlideShowHandOver>();
};

TEST_F(SlideShowLoaderTest, PassesOverWhatItCannotRead) {
  handOver->files = {Jpeg("a.jpg"), Junk("b.jpg"), Junk("c.avi")};
  struct Case {
    BOOL loop;
    int index, loaded;
  } cases[] = {{FALSE, 0, 0}, {FALSE, 1, -1}, {TRUE, 1, 0}, {TRUE, 2, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "loop " << c.loop << " from " << c.index);
    handOver->loop = c.loop;
    Load(c.index);
    EXPECT_FALSE(handOver->loading);
    EXPECT_EQ(handOver->loadedIndex, c.loaded);
    EXPECT_EQ(handOver->loadedPicture != nullptr, c.loaded >= 0);
    handOver->loadedPicture.reset();
  }
}

TEST_F(SlideShowLoaderTest, ALoadGivenUpOnStoresNothingLater) {
  platform::testing::Init();
  CLumitraApp app;
  // A raw file's load waits for the engine lock, which the test holds.
  handOver->files = {Junk("slow.kvr"), Jpeg("b.jpg")};
  ASSERT_TRUE(app.LockEngine(0xFFFFFFFF));
  {
    CSingleLock lock(&handOver->lock, TRUE);
    handOver->loading = TRUE;
    handOver->sequence = 1;
    handOver->indexToLoad = 0;
  }
  std::thread slow(SlideShowLoadThreadProc, new SlideShowLoad{handOver});
  // Once the slow loader has taken its ticket and waits for the engine, it
  // is given up on (as the dialog does after its polls) and the next file
  // loaded.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Load(1);
  ASSERT_EQ(handOver->loadedIndex, 1);
  const CET_Dib* newer = handOver->loadedPicture.get();
  ASSERT_NE(newer, nullptr);
  // The slow loader goes on: the raw file fails, it passes on to b.jpg and
  // would store that picture.
  app.UnlockEngine();
  slow.join();
  EXPECT_EQ(handOver->loadedIndex, 1);
  EXPECT_EQ(handOver->loadedPicture.get(), newer) << "the newer load's picture stays";
  EXPECT_FALSE(handOver->loading);
}

} // namespace
