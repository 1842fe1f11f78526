// The slide show over a temporary folder, headless (no OpenGL: each picture
// takes the last one's place at once): the order and timing of the pictures
// on the layer's clock, files that cannot be read passed over, the end after
// the last picture without loop and the endless run with it, the keys that
// end the show, and Space marking with the changes it reports.

#include "output/COutputDialogs.h"
#include "output/slideshow/CSlideShowDlg.h"
#include "platform/testing/Headless.h"
#include "shell/dialogs/DialogTestSupport.h"
#include "shell/facade/CTLM_Exif.h"

#include "foundation/FPath.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"
#include "foundation/FIStorageClass.h"

namespace {

using testsupport::TempDir;

class SlideShowDlgTest : public DialogTest {
protected:
  static void SetUpTestSuite() {
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
  }

  FString Write(const std::string& name, const testsupport::PictureBytes& bytes) {
    testsupport::WriteFileBytes(dir.Path() / name, std::string(bytes.begin(), bytes.end()));
    return PathFromNative((dir.Path() / name).string());
  }
  FString Jpeg(const std::string& name, bool marked = false) {
    testsupport::ExifFields exif;
    exif.markFlag = marked ? 1 : 0;
    return Write(name, testsupport::QuarterJpeg(64, 48, &exif));
  }
  FString Junk(const std::string& name) { return Write(name, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'}); }

  TempDir dir;
};

TEST_F(SlideShowDlgTest, ShowsTheReadableFilesInOrderAndEndsAfterTheLast) {
  const std::vector<FString> files{Jpeg("a.jpg"), Junk("broken.jpg"), Jpeg("c.jpg"), Junk("clip.avi"), Jpeg("d.jpg")};
  CSlideShowDlg dialog(nullptr);
  dialog.SetParams(1, 2, FALSE);
  dialog.SetFileList(&files);
  std::vector<int> shown;
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(1920, 1080)) << "full screen";
    EXPECT_EQ(PlaceOf(hwnd, CSlideShowDlg::kPictureWindowId), CRect(0, 0, 1920, 1080));
    shown.push_back(dialog.GetShownIndex());
    pt::AdvanceTime(1999);
    shown.push_back(dialog.GetShownIndex());
    pt::AdvanceTime(1);
    shown.push_back(dialog.GetShownIndex());
    pt::AdvanceTime(2000);
    shown.push_back(dialog.GetShownIndex());
    pt::AdvanceTime(1999);
    EXPECT_TRUE(IsWindowVisible(hwnd)) << "the last picture stays its seconds";
    pt::AdvanceTime(1);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(shown, (std::vector<int>{0, 0, 2, 4}));
  std::vector<FString> paths;
  std::vector<BYTE> flags;
  dialog.GetMarkChanges(paths, flags);
  EXPECT_TRUE(paths.empty());
}

TEST_F(SlideShowDlgTest, WithLoopOneFileComesBackUntilEscOrEnter) {
  const std::vector<FString> files{Jpeg("only.jpg")};
  for (const auto& [key, result] : {std::pair{VK_ESCAPE, IDCANCEL}, std::pair{VK_RETURN, IDOK}}) {
    CSlideShowDlg dialog(nullptr);
    dialog.SetParams(0, 1, TRUE);
    dialog.SetFileList(&files);
    pt::OnNextModal([&](HWND hwnd) {
      pt::AdvanceTime(10000);
      EXPECT_TRUE(IsWindowVisible(hwnd));
      EXPECT_EQ(dialog.GetShownIndex(), 0);
      pt::SystemKey(key);
    });
    EXPECT_EQ(dialog.DoModal(), result);
  }
}

TEST_F(SlideShowDlgTest, EndsAtOnceWhenNothingCanBeRead) {
  const std::vector<FString> files{Junk("a.jpg"), PathFromNative((dir.Path() / "missing.jpg").string())};
  CSlideShowDlg dialog(nullptr);
  dialog.SetParams(1, 5, TRUE);
  dialog.SetFileList(&files);
  EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST_F(SlideShowDlgTest, SpaceMarksJpegsAndReportsTheChanges) {
  const std::vector<FString> files{Jpeg("a.jpg"), Jpeg("b.jpg", true), Write("c.bmp", testsupport::MakeBmp({})),
                                   Jpeg("d.jpg")};
  CSlideShowDlg dialog(nullptr);
  dialog.SetParams(1, 1, FALSE);
  dialog.SetFileList(&files);
  pt::OnNextModal([&](HWND) {
    pt::SystemKey(VK_SPACE); // a: marked
    pt::AdvanceTime(1000);
    pt::SystemKey(VK_SPACE); // b: unmarked...
    pt::SystemKey(VK_SPACE); // ...and marked again: no change
    pt::AdvanceTime(1000);
    EXPECT_EQ(dialog.GetShownIndex(), 2);
    pt::SystemKey(VK_SPACE); // a BMP cannot be marked
    pt::AdvanceTime(1000);
    pt::SystemKey(VK_SPACE); // d: marked...
    pt::SystemKey(VK_SPACE); // ...and unmarked: no change
    pt::SystemKey(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  std::vector<FString> paths;
  std::vector<BYTE> flags;
  dialog.GetMarkChanges(paths, flags);
  EXPECT_EQ(paths, std::vector<FString>{files[0]});
  EXPECT_EQ(flags, std::vector<BYTE>{1});
  CTLM_Exif record;
  ASSERT_TRUE(m_App.GetExif(files[0], &record));
  EXPECT_TRUE(record.IsMarked()) << "the file itself was marked";
}

TEST_F(SlideShowDlgTest, TheOutputDialogsRunTheShow) {
  COutputDialogs dialogs;
  EXPECT_TRUE(dialogs.Has(OutputDialog::SlideShow));
  const std::vector<FString> files{Jpeg("a.jpg")};
  pt::OnNextModal([](HWND) {
    pt::SystemKey(VK_SPACE);
    pt::SystemKey(VK_RETURN);
  });
  std::vector<FString> paths;
  std::vector<BYTE> flags;
  dialogs.RunSlideShow(files, 2, 3, FALSE, &paths, &flags);
  EXPECT_EQ(paths, files);
  EXPECT_EQ(flags, std::vector<BYTE>{1});
}

} // namespace
