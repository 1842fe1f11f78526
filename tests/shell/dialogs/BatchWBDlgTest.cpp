// The batch white-balance and colour-mode dialog offers only the choices
// every file has, in the first file's order, preselects the first file's
// current setting, and after OK gives each file's own position of the chosen
// entry, leaving out files that lack it. Without files or common choices it
// closes at once. Both modes are rendered to pictures.

#include "platform/testing/Headless.h"
#include "shell/dialogs/CBatchWBDlg.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_FileSettings.h"
#include "DialogTestSupport.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <map>
#include <set>
#include <vector>

namespace {

// Lists and current settings by path, as the raw files would give them.
class FakeSource : public IBatchChoiceSource {
public:
  struct File {
    std::vector<const char*> wb;   // names; the descriptor is the name with "_d"
    int currentWB = -1;
    std::vector<const char*> cm;   // names; the descriptor is the name itself
    FString cmDesc;
  };
  std::map<std::u16string, File> files;
  // Paths whose lists read in the fill but no longer afterwards.
  std::set<std::u16string> failLater;
  std::map<std::u16string, int> reads;

  BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) override {
    return Fill(path, list, &File::wb, "_d");
  }
  BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) override {
    return Fill(path, list, &File::cm, "");
  }
  int GetWhiteBalanceIndex(const FString& path, const CKVR_Data_FileList<CKVR_WBData>*) override {
    return Find(path) ? Find(path)->currentWB : -1;
  }
  FString GetColorModeDesc(const FString& path) override { return Find(path) ? Find(path)->cmDesc : FString(); }

private:
  File* Find(const FString& path) {
    auto it = files.find(std::u16string(path.View()));
    return it == files.end() ? nullptr : &it->second;
  }
  template <class T>
  BOOL Fill(const FString& path, CKVR_Data_FileList<T>* list, std::vector<const char*> File::*names,
            const char* suffix) {
    const std::u16string key(path.View());
    File* file = Find(path);
    if (!file || (failLater.count(key) && ++reads[key] > 1)) return FALSE;
    list->RemoveAll();
    list->m_strPath = path;
    for (const char* name : file->*names) {
      auto item = std::make_unique<T>();
      item->m_strName = name;
      KVR_CopyDescriptor(item->m_szDesc, (std::string(name) + suffix).c_str());
      list->Add(std::move(item));
    }
    return TRUE;
  }
};

CComboBoxBase& Combo(HWND dialog) {
  return *dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(dialog, CBatchWBDlg::kChoicesId)));
}

class BatchWB : public DialogTest {
protected:
  void AddFile(const char16_t* path, const char16_t* name) {
    auto* item = new CET_ThumbnailData;
    item->m_Path = path;
    item->m_FileName = name;
    m_Thumbs.Add(item);
  }
  static std::vector<std::u16string> Choices(HWND dialog) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < Combo(dialog).GetCount(); ++i) {
      std::u16string text;
      Combo(dialog).GetLBText(i, text);
      texts.push_back(text);
    }
    return texts;
  }
  // The rows the drop-down shows at once.
  static int DropDownRows(HWND dialog) {
    CComboBoxBase& combo = Combo(dialog);
    combo.ShowDropDown(TRUE);
    pt::Pump();
    CRect shown;
    combo.DropDown().GetWindowRect(shown);
    // Whole items and a margin of a few pixels.
    const int rows = shown.Height() / combo.DropDown().m_list.GetItemHeight(0);
    combo.ShowDropDown(FALSE);
    return rows;
  }

  FakeSource m_Source;
  CET_ThumbnailDataManager m_Thumbs;
};

} // namespace

TEST_F(BatchWB, TwoCamerasOfferTheirCommonChoicesInTheFirstFilesOrderAndEachFileGetsItsOwnPosition) {
  m_Source.files[u"/p/a.kvr"] = {{"Auto", "Sunlight", "Shade", "Cloudy", "Flash", "Original"}, 4, {}, {}};
  m_Source.files[u"/p/b.kvr"] = {{"Sunlight", "Auto", "Fluorescent", "Flash", "Original"}, 0, {}, {}};
  m_Source.files[u"/p/c.kvr"] = {{"Original", "Flash", "Sunlight", "Auto"}, 0, {}, {}};
  m_Source.failLater.insert(u"/p/c.kvr"); // its list cannot be read again at OK
  AddFile(u"/p/a.kvr", u"a.kvr");
  AddFile(u"/p/b.kvr", u"b.kvr");
  AddFile(u"/p/c.kvr", u"c.kvr");
  CBatchWBDlg dialog(nullptr, &m_Source);
  dialog.SetFiles(&m_Thumbs);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(450, 165));
    EXPECT_EQ(WindowText(hwnd), Text(6000));
    EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kHeadingId), Text(6001));
    EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kFileLineId), Text(6006)) << "several files";
    EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kExplanationId), Text(6003));
    EXPECT_EQ(Caption(hwnd, IDOK), Text(6004));
    EXPECT_EQ(Caption(hwnd, IDCANCEL), Text(6005));
    const std::pair<int, CRect> places[] = {{1169, {10, 10, 250, 30}},   {1185, {260, 10, 430, 30}},
                                            {1186, {10, 40, 430, 58}},   {1170, {30, 80, 400, 120}},
                                            {IDOK, {80, 130, 200, 153}}, {IDCANCEL, {250, 130, 370, 153}}};
    for (const auto& [id, rect] : places) EXPECT_EQ(PlaceOf(hwnd, id), rect) << id;

    EXPECT_EQ(Choices(hwnd), (std::vector<std::u16string>{u"Auto", u"Sunlight", u"Flash", u"Original"}));
    EXPECT_EQ(Combo(hwnd).GetText(), u"Flash") << "the first file's current white balance, by its name";
    EXPECT_STREQ(static_cast<const char*>(Combo(hwnd).GetItemDataPtr(1)), "Sunlight_d") << "a descriptor copy";
    EXPECT_EQ(DropDownRows(hwnd), 4) << "all of up to ten";
    Render(hwnd, "BatchWhiteBalance.png");
    Combo(hwnd).SetCurSel(3);
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> paths = {u"old"};
  std::vector<UINT> indexes = {99};
  dialog.GetResult(&paths, &indexes);
  ASSERT_EQ(paths.size(), 2u) << "c.kvr's list could not be read at OK";
  EXPECT_EQ(std::u16string(paths[0].View()), u"/p/a.kvr");
  EXPECT_EQ(std::u16string(paths[1].View()), u"/p/b.kvr");
  EXPECT_EQ(indexes, (std::vector<UINT>{5, 4})) << "Original in each file's own list";
}

TEST_F(BatchWB, OneFileShowsItsNameAndMoreThanTenChoicesScrollInSevenRows) {
  std::vector<const char*> many = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K"};
  m_Source.files[u"/p/Tom & Jerry.kvr"] = {many, 9, {}, {}};
  AddFile(u"/p/Tom & Jerry.kvr", u"Tom & Jerry.kvr");
  CBatchWBDlg dialog(nullptr, &m_Source);
  dialog.SetFiles(&m_Thumbs);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kFileLineId), u"Tom & Jerry.kvr");
    EXPECT_EQ(Combo(hwnd).GetText(), u"J");
    EXPECT_EQ(DropDownRows(hwnd), 7);
    pt::SystemKey(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(BatchWB, ACurrentWhiteBalanceThatIsNoCommonChoiceSelectsNothingAndOKChangesNothing) {
  m_Source.files[u"/p/a.kvr"] = {{"Auto", "Shade"}, 1, {}, {}};
  m_Source.files[u"/p/b.kvr"] = {{"Auto"}, 0, {}, {}};
  AddFile(u"/p/a.kvr", u"a.kvr");
  AddFile(u"/p/b.kvr", u"b.kvr");
  CBatchWBDlg dialog(nullptr, &m_Source);
  dialog.SetFiles(&m_Thumbs);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_EQ(Combo(hwnd).GetCurSel(), -1);
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> paths;
  std::vector<UINT> indexes;
  dialog.GetResult(&paths, &indexes);
  EXPECT_TRUE(paths.empty());
  EXPECT_TRUE(indexes.empty());
}

TEST_F(BatchWB, TheColourModeIsFoundByItsNameIgnoringCaseOrElseTheFirstChoice) {
  const std::vector<const char*> modes = {"Standard", "Vivid", "Neutral", "Monochrome", "Original"};
  const struct {
    const char16_t* descriptor;
    const char16_t* selected;
  } cases[] = {
      {u"vivid ", u"Vivid"}, {u"NEUTRAL", u"Neutral"}, {u"Monochrome", u"Monochrome"}, {u"Sepia", u"Standard"}};
  for (const auto& c : cases) {
    m_Source.files[u"/p/a.kvr"] = {{}, -1, modes, c.descriptor};
    m_Thumbs.RemoveAll(TRUE);
    AddFile(u"/p/a.kvr", u"a.kvr");
    CBatchWBDlg dialog(nullptr, &m_Source);
    dialog.SetMode(CBatchWBDlg::kModeColorMode);
    dialog.SetFiles(&m_Thumbs);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_EQ(WindowText(hwnd), Text(6050));
      EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kHeadingId), Text(6051));
      EXPECT_EQ(Caption(hwnd, CBatchWBDlg::kExplanationId), Text(6052));
      EXPECT_EQ(Combo(hwnd).GetText(), c.selected) << testing::PrintToString(std::u16string(c.descriptor));
      if (c.descriptor == cases[0].descriptor) Render(hwnd, "BatchColourMode.png");
      ClickItem(hwnd, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    std::vector<FString> paths;
    std::vector<UINT> indexes;
    dialog.GetResult(&paths, &indexes);
    ASSERT_EQ(indexes.size(), 1u);
    EXPECT_TRUE(FString(modes.at(indexes[0])) == c.selected) << modes.at(indexes[0]);
  }
}

TEST_F(BatchWB, WithoutFilesOrWithoutACommonChoiceItClosesAtOnce) {
  CBatchWBDlg empty(nullptr, &m_Source);
  EXPECT_EQ(empty.DoModal(), IDCANCEL);

  m_Source.files[u"/p/a.kvr"] = {{"Auto", "Shade"}, 0, {}, {}};
  m_Source.files[u"/p/b.kvr"] = {{"Flash"}, 0, {}, {}};
  AddFile(u"/p/a.kvr", u"a.kvr");
  AddFile(u"/p/b.kvr", u"b.kvr");
  CBatchWBDlg disjoint(nullptr, &m_Source);
  disjoint.SetFiles(&m_Thumbs);
  EXPECT_EQ(disjoint.DoModal(), IDCANCEL);

  AddFile(u"/p/unreadable.kvr", u"unreadable.kvr");
  CBatchWBDlg unreadable(nullptr, &m_Source);
  unreadable.SetMode(CBatchWBDlg::kModeColorMode); // no file has colour modes here
  unreadable.SetFiles(&m_Thumbs);
  EXPECT_EQ(unreadable.DoModal(), IDCANCEL);
}

// ---- The program's own source, on the synthetic camera's raw files ------------------------

namespace {

class BatchWBOnRawFiles : public DialogTest {
protected:
  static void SetUpTestSuite() {
    InitStorageClasses();
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    s_Raw = new testsupport::SyntheticRaw(testsupport::MakeSyntheticRaw());
  }
  static void TearDownTestSuite() {
    delete s_Raw;
    s_Raw = nullptr;
  }
  FString WriteRaw(const std::string& name) {
    const std::filesystem::path path = m_Dir.Path() / name;
    testsupport::WriteFileBytes(path, std::string(s_Raw->file.bytes.begin(), s_Raw->file.bytes.end()));
    const FString native = PathFromNative(path.string());
    auto* item = new CET_ThumbnailData;
    item->m_Path = native;
    item->m_FileName = FString(name.c_str());
    m_Thumbs.Add(item);
    return native;
  }
  static int PositionOf(const FString& path, const char* descriptor) {
    CKVR_Data_FileList<CKVR_WBData> list;
    KVR_FillWhiteBalanceList(path.GetText(), &list);
    for (int i = 0; i < list.GetCount(); ++i) {
      if (std::string(list.GetAt(i)->m_szDesc) == descriptor) return i;
    }
    return -1;
  }

  static inline testsupport::SyntheticRaw* s_Raw = nullptr;
  testsupport::TempDir m_Dir;
  CET_ThumbnailDataManager m_Thumbs;
};

} // namespace

TEST_F(BatchWBOnRawFiles, TheFirstFilesWhiteBalanceIsPreselectedAndTheChoiceIsFoundInEveryFile) {
  const FString first = WriteRaw("first.kvr");
  const FString second = WriteRaw("second.kvr");
  CKVR_FilterData shade;
  shade.m_nWhiteBalance = PositionOf(first, "Shade");
  ASSERT_GE(shade.m_nWhiteBalance, 0);
  ASSERT_EQ(KVR_ApplyWhiteBalanceToFile(first.GetText(), &shade), 1);

  CBatchWBDlg dialog(nullptr);
  dialog.SetFiles(&m_Thumbs);
  std::u16string preselected;
  pt::OnNextModal([&](HWND hwnd) {
    preselected = Combo(hwnd).GetText();
    Combo(hwnd).SetCurSel(Combo(hwnd).FindString(-1, u"Daylight"));
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(preselected, u"Shade");
  std::vector<FString> paths;
  std::vector<UINT> indexes;
  dialog.GetResult(&paths, &indexes);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_TRUE(paths[0] == first && paths[1] == second);
  const UINT daylight = static_cast<UINT>(PositionOf(second, "Daylight"));
  EXPECT_EQ(indexes, (std::vector<UINT>{daylight, daylight}));
}

TEST_F(BatchWBOnRawFiles, TheColourModeOfTheFileIsPreselected) {
  const FString path = WriteRaw("shot.kvr");
  EXPECT_TRUE(ApplicationChoiceSource().GetColorModeDesc(path) == u"Standard") << "from the shooting information";
  CBatchWBDlg dialog(nullptr);
  dialog.SetMode(CBatchWBDlg::kModeColorMode);
  dialog.SetFiles(&m_Thumbs);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_EQ(Combo(hwnd).GetText(), u"Standard");
    EXPECT_EQ(Combo(hwnd).GetCount(), 2) << "the camera's Standard and the program's Original";
    pt::SystemKey(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}
