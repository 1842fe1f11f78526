// The save dialog in its three modes: its layout and captions for a browser
// selection, for a review image (raw or not) and for the extraction, the job
// OK builds from the controls and the settings it keeps, and the refusals of
// OK (no folder, a folder that cannot be written, a bad file name).

#include "output/CSaveDlg.h"
#include "platform/testing/Headless.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "foundation/FPath.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <filesystem>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

class SaveDlgTest : public DialogTest {
protected:
  CTLM_ThumbnailData* Item(const std::string& name, int fileType, int width, int height, bool selected = false) {
    auto* item = new CTLM_ThumbnailData;
    item->m_Path = Native(dir.Path() / name);
    item->m_FileName = PathFromNative(name);
    item->m_FileType = fileType;
    item->m_Width = width;
    item->m_Height = height;
    item->m_bSelected = selected ? 1 : 0;
    item->m_FileSize = 2 * 1048576;
    list.Add(item);
    return item;
  }
  static FString Native(const fs::path& path) { return PathFromNative(path.string()); }
  CAppSettings& Settings() { return *m_App.GetSettings(); }
  // Points the destination at the folder (the edit is read-only to the user).
  static void SetFolder(HWND hwnd, const FString& folder) { SetWindowTextW(Item(hwnd, CSaveDlg::kFolderId), folder.GetText()); }
  static int Selection(HWND hwnd, int comboId) {
    return dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(hwnd, comboId)))->GetCurSel();
  }
  static CComboBoxBase* Combo(HWND hwnd, int id) { return dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(hwnd, id))); }
  static bool Checked(HWND hwnd, int id) { return dynamic_cast<CCheckBox*>(CWnd::FromHandle(Item(hwnd, id)))->GetCheck() != 0; }
  static bool Enabled(HWND hwnd, int id) { return IsWindowEnabled(Item(hwnd, id)) != FALSE; }
  static HWND Item(HWND hwnd, int id) { return ::Item(hwnd, id); }

  TempDir dir;
  CET_ThumbnailDataManager list;
};

TEST_F(SaveDlgTest, SelectionModePreselectsTheMarkedOrSelectedSourceAndBuildsTheJob) {
  Item("a.kvr", ETFILETYPE_KVR, 480, 360);
  Item("b.kvr", ETFILETYPE_KVR, 480, 360, true);
  Item("c.jpg", ETFILETYPE_JPEG, 480, 360, true);
  Settings().m_nSaveSettingRB = 1;
  Settings().m_nSaveFileFormat = 2;
  Settings().m_nSaveJPEG = 6;
  Settings().m_nSaveColorSpace = 4;
  Settings().m_nSavePlace = 0;
  CSaveDlg dialog(nullptr);
  dialog.SetThumbnailList(&list, 1);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(447, 494));
    EXPECT_EQ(WindowText(hwnd), Text(5042));
    EXPECT_TRUE(Checked(hwnd, 1106)) << "the selected source";
    EXPECT_FALSE(Enabled(hwnd, 1058)) << "no marked raw file";
    EXPECT_EQ(Caption(hwnd, 1057), u"All (2 files, 4.0 MB)");
    EXPECT_EQ(Caption(hwnd, 1106), u"Selected (1 file, 2.0 MB)");
    EXPECT_EQ(Caption(hwnd, CSaveDlg::kSizeValueId), u"0.5 MB (480 x 360 x 3)");
    EXPECT_TRUE(Checked(hwnd, 1151)) << "automatic, as stored";
    EXPECT_EQ(Selection(hwnd, CSaveDlg::kFileFormatId), 2);
    EXPECT_FALSE(Shown(hwnd, CSaveDlg::kQualityId)) << "a TIFF format hides the JPEG quality";
    EXPECT_EQ(Combo(hwnd, CSaveDlg::kColorSpaceId)->GetText(), Text(5045));
    EXPECT_EQ(WindowText(Item(hwnd, CSaveDlg::kFolderId)), std::u16string(Native(dir.Path()).View()));
    EXPECT_FALSE(Shown(hwnd, CSaveDlg::kFileNameId));
    const struct {
      int id;
      CRect rect;
    } places[] = {{1116, {20, 2, 400, 17}},     {1143, {13, 24, 434, 115}},   {1106, {22, 69, 400, 84}},
                  {1155, {127, 197, 290, 215}}, {1139, {212, 359, 351, 374}}, {1141, {108, 422, 421, 440}},
                  {IDOK, {108, 460, 216, 483}}, {IDCANCEL, {239, 460, 347, 483}}};
    for (const auto& place : places) EXPECT_EQ(PlaceOf(hwnd, place.id), place.rect) << place.id;
    Render(hwnd, "SaveDlgSelection.png");
    ClickItem(hwnd, 1057); // all raw files
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  CSaveJob job;
  dialog.GetSaveJob(&job);
  EXPECT_EQ(job.m_nSettingMode, 2);
  EXPECT_EQ(job.m_nFileType, 2);
  EXPECT_EQ(job.m_nColorSpace, 4);
  EXPECT_EQ(job.m_nJpegQuality, 6);
  EXPECT_EQ(job.m_nJpegQualityPercent, 78);
  EXPECT_EQ(job.m_aInputs, (std::vector<FString>{Native(dir.Path() / "a.kvr"), Native(dir.Path() / "b.kvr")}));
  EXPECT_EQ(job.m_aOutputs, (std::vector<FString>{Native(dir.Path() / "a.tif"), Native(dir.Path() / "b.tif")}));
  EXPECT_EQ(Settings().m_strSaveLastDirPath, Native(dir.Path()));
  EXPECT_EQ(Settings().m_nSaveSettingRB, 1);
}

TEST_F(SaveDlgTest, ReviewModeForAJpegOffersTwoFormatsAndFixesTheExtension) {
  CTLM_ThumbnailData* image = Item("x.JPG", ETFILETYPE_JPEG, 600, 400);
  Settings().m_nSaveFileFormat = 2;
  Settings().m_nSaveOutputImagesize = 2;
  CSaveDlg dialog(nullptr);
  dialog.SetReviewImage(image, 1, nullptr, 0);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(447, 367));
    EXPECT_EQ(Combo(hwnd, CSaveDlg::kFileFormatId)->GetCount(), 2);
    EXPECT_EQ(Selection(hwnd, CSaveDlg::kFileFormatId), 1) << "16 bits becomes TIFF";
    EXPECT_FALSE(Enabled(hwnd, CSaveDlg::kOutputSizeId));
    EXPECT_FALSE(Enabled(hwnd, CSaveDlg::kColorSpaceId));
    EXPECT_EQ(Selection(hwnd, CSaveDlg::kOutputSizeId), 0);
    EXPECT_FALSE(Shown(hwnd, 1117)) << "no settings section";
    EXPECT_EQ(Caption(hwnd, CSaveDlg::kFileNameValueId), u"x.JPG");
    EXPECT_EQ(Caption(hwnd, CSaveDlg::kSizeValueId), u"0.7 MB (600 x 400)");
    EXPECT_EQ(WindowText(Item(hwnd, CSaveDlg::kFileNameId)), u"x.tif");
    EXPECT_EQ(PlaceOf(hwnd, CSaveDlg::kFileNameId), CRect(108, 287, 421, 305));
    Render(hwnd, "SaveDlgReviewJpeg.png");
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  CSaveJob job;
  dialog.GetSaveJob(&job);
  EXPECT_EQ(job.m_nSettingMode, 1);
  EXPECT_EQ(job.m_nFileType, 1);
  EXPECT_EQ(job.m_nSizeMode, 0);
  EXPECT_EQ(job.m_aInputs, std::vector<FString>{image->m_Path});
  EXPECT_EQ(job.m_aOutputs, std::vector<FString>{Native(dir.Path() / "x.tif")});
  EXPECT_EQ(Settings().m_nSaveOutputImagesize, 2) << "not stored for a picture that is not raw";
}

TEST_F(SaveDlgTest, OKStaysWithoutAUsableFolderOrName) {
  CTLM_ThumbnailData* image = Item("r.kvr", ETFILETYPE_KVR, 480, 360);
  fs::create_directories(dir.Path() / "locked");
  fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const bool canLock = ::access((dir.Path() / "locked").c_str(), W_OK) != 0; // root writes anywhere
  CSaveDlg dialog(nullptr);
  dialog.SetReviewImage(image, 1, nullptr, 1);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(447, 450));
    EXPECT_TRUE(Shown(hwnd, CSaveDlg::kSettingsLineId));
    EXPECT_EQ(Caption(hwnd, CSaveDlg::kSettingsLineId), Text(5015) + u" " + Text(5407));
    const std::pair<FString, std::u16string> refused[] = {
        {FString(), u"r.jpg"},
        {Native(dir.Path() / "missing"), u"r.jpg"},
        {Native(dir.Path()), u""},
        {Native(dir.Path()), u"sub/r.jpg"},
    };
    for (const auto& [folder, name] : refused) {
      SetFolder(hwnd, folder);
      SetWindowTextW(Item(hwnd, CSaveDlg::kFileNameId), name.c_str());
      dialog.OnOK();
      EXPECT_TRUE(IsWindowVisible(hwnd)) << folder.GetAscii() << " " << FString(name).GetAscii();
    }
    if (canLock) {
      SetFolder(hwnd, Native(dir.Path() / "locked"));
      SetWindowTextW(Item(hwnd, CSaveDlg::kFileNameId), u"r.jpg");
      dialog.OnOK();
      EXPECT_TRUE(IsWindowVisible(hwnd));
    }
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  fs::permissions(dir.Path() / "locked", fs::perms::owner_all);
}

TEST_F(SaveDlgTest, ExtractModeLaysOutTheSourcesAndFolderOnly) {
  Item("a.kvr", ETFILETYPE_KVR, 480, 360);
  Item("b.kvr", ETFILETYPE_KVR, 640, 480);
  Settings().m_nSavePlace = 1;
  Settings().m_strSaveLastDirPath = Native(dir.Path());
  CSaveDlg dialog(nullptr);
  dialog.SetThumbnailList(&list, 0);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(447, 229));
    EXPECT_EQ(WindowText(hwnd), Text(5043));
    EXPECT_TRUE(Checked(hwnd, 1057));
    EXPECT_EQ(Caption(hwnd, CSaveDlg::kSizeValueId), Text(5034));
    for (int hidden : {1117, 1118, 1144, 1145, 1137, 1139, 1142}) EXPECT_FALSE(Shown(hwnd, hidden)) << hidden;
    EXPECT_EQ(PlaceOf(hwnd, IDOK), CRect(108, 196, 216, 219));
    Render(hwnd, "SaveDlgExtract.png");
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  CSaveJob job;
  job.m_nFileType = 1;
  dialog.GetSaveJob(&job);
  EXPECT_EQ(job.m_nFileType, 1) << "kept from the caller's record";
  EXPECT_EQ(job.m_aOutputs, (std::vector<FString>{Native(dir.Path() / "a.jpg"), Native(dir.Path() / "b.jpg")}));
}

} // namespace
