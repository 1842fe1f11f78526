// The slide show's loader: it passes over files it cannot read, at most
// once round the list, from the start again only with loop.

#include "output/slideshow/CSlideShowDlg.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"

#include <gtest/gtest.h>

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

} // namespace
