// The save dialog's decisions without its window: the three sources of a
// selection, their captions and size lines, the quality table, the proposed
// folder and the output names.

#include "output/SaveDlgModel.h"
#include "platform/testing/Headless.h" // links the dialogs library

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

class SaveDlgModelTest : public ::testing::Test {
protected:
  void SetUp() override {
    InitStorageClasses();
    const fs::path data = fs::path(BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
  }
  // A browser item; a marked one needs the file's record, so it is a real raw file.
  CTLM_ThumbnailData* Item(const std::string& name, int fileType, int width, int height, bool selected = false,
                           bool marked = false) {
    auto* item = new CTLM_ThumbnailData;
    const fs::path path = dir.Path() / name;
    item->m_Path = PathFromNative(path.string());
    item->m_FileName = PathFromNative(name);
    item->m_FileType = fileType;
    item->m_Width = width;
    item->m_Height = height;
    item->m_bSelected = selected ? 1 : 0;
    item->m_FileSize = 1048576;
    if (marked) {
      SyntheticOptions options;
      options.size = SyntheticSize::Tiny;
      WriteSyntheticRaw(path, options);
      EXPECT_TRUE(app.GetExif(item->m_Path, &item->m_Exif));
      item->m_Exif.SetMarkedFlag(true);
      EXPECT_TRUE(item->IsMarked());
    }
    list.Add(item);
    return item;
  }

  CLumitraApp app;
  TempDir dir;
  CET_ThumbnailDataManager list;
};

TEST_F(SaveDlgModelTest, SourcesCountRawFilesOnlyAndPreferSelectedThenMarked) {
  Item("a.jpg", ETFILETYPE_JPEG, 10, 10, true);
  Item("b.kvr", ETFILETYPE_KVR, 480, 360);
  Item("c.kvr", ETFILETYPE_KVR, 480, 360, false, true);
  Item("d.kvr", ETFILETYPE_KVR, 480, 360);
  const SaveSources sources = CollectSaveSources(list);
  EXPECT_EQ(sources.firstName, FString(u"a.jpg")); // the first item, raw or not
  EXPECT_EQ(sources.sources[SaveSources::kAll].count, 3);
  EXPECT_EQ(sources.sources[SaveSources::kMarked].count, 1);
  EXPECT_EQ(sources.sources[SaveSources::kSelected].count, 0);
  EXPECT_EQ(InitialSaveSource(sources), SaveSources::kMarked);
  EXPECT_EQ(SaveSourceCaption(SaveSources::kAll, sources.sources[0]), u"All (3 files, 3.0 MB)");
  EXPECT_EQ(SaveSourceCaption(SaveSources::kMarked, sources.sources[1]), u"Marked (1 file, 1.0 MB)");
  EXPECT_EQ(SaveSourceCaption(SaveSources::kSelected, sources.sources[2]), u"Selected (0 file, 0.0 MB)");
  EXPECT_EQ(SaveSourceSizeText(sources.sources[0]), u"0.5 MB (480 x 360 x 3)");
  EXPECT_EQ(ProposedSaveFolder(0, FString(u"/last"), sources.firstPath), PathFromNative(dir.Path().string()));
  EXPECT_EQ(ProposedSaveFolder(1, FString(u"/last"), sources.firstPath), FString(u"/last"));
}

TEST_F(SaveDlgModelTest, SizeLineForDifferingAndUnknownSizes) {
  Item("a.kvr", ETFILETYPE_KVR, 480, 360, true);
  Item("b.kvr", ETFILETYPE_KVR, 640, 480, true);
  Item("c.kvr", ETFILETYPE_KVR, 0, 0);
  const SaveSources sources = CollectSaveSources(list);
  EXPECT_EQ(InitialSaveSource(sources), SaveSources::kSelected);
  EXPECT_EQ(SaveSourceSizeText(sources.sources[SaveSources::kSelected]), u"Several sizes");
  EXPECT_EQ(SaveSourceSizeText(sources.sources[SaveSources::kAll]), u"");
  EXPECT_EQ(SaveImageSizeText(600, 400, false), u"0.7 MB (600 x 400)");
  EXPECT_EQ(SaveImageSizeText(0, 0, true), u"");
}

TEST_F(SaveDlgModelTest, QualityTableAndOutputNames) {
  const int expected[13] = {10, 20, 30, 45, 60, 70, 78, 79, 85, 90, 93, 96, 99};
  for (int step = 0; step < 13; ++step) EXPECT_EQ(JpegQualityPercent(step), expected[step]);
  struct Case {
    const char16_t* name;
    int fileType;
    const char16_t* expected;
  };
  for (const Case& c : {Case{u"x.JPG", 0, u"x.JPG"}, Case{u"x.JPG", 1, u"x.tif"}, Case{u"x.TIF", 2, u"x.TIF"},
                        Case{u"x.tif", 0, u"x.jpg"}, Case{u"noext", 0, u"noext.jpg"}, Case{u"a.b.kvr", 1, u"a.b.tif"}}) {
    EXPECT_EQ(NameWithSaveExtension(FString(c.name), c.fileType), FString(c.expected)) << FString(c.name).GetAscii();
  }
  EXPECT_EQ(SaveOutputPaths(FString(u"/out"), {FString(u"a.kvr"), FString(u"b.KVR")}, u".tif"),
            (std::vector<FString>{FString(u"/out/a.tif"), FString(u"/out/b.tif")}));
  EXPECT_EQ(ProposedSaveFolder(0, FString(), FString(u"/a.kvr")), FString(u"/"));
}

} // namespace
