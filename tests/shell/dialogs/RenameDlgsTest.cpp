// The rename dialogs: the name rules (extensions, what a typed name may
// hold, the batch names and the start number's cleaning), the single rename
// that keeps the extension and refuses bad names, and the batch rename whose
// preview follows every keystroke, with its limits and its refusal of a bad
// base. Both dialogs are rendered to pictures.

#include "platform/testing/Headless.h"
#include "shell/dialogs/CBatchRenameDlg.h"
#include "shell/dialogs/CBatchRenameThumb.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/RenameNames.h"
#include "DialogTestSupport.h"

#include "platform/afx/AfxCtrls.h"

#include <climits>
#include <vector>

namespace {

std::u16string Str(const FString& s) { return std::u16string(s.View()); }

} // namespace

// ---- The rules, without windows ---------------------------------------------------------

TEST(RenameNames, TheExtensionRunsFromTheLastDot) {
  const struct {
    const char16_t* name;
    const char16_t* stem;
    const char16_t* extension;
  } cases[] = {{u"IMG_0001.JPG", u"IMG_0001", u".JPG"}, {u"archive.tar.gz", u"archive.tar", u".gz"},
               {u"README", u"README", u""},             {u".profile", u"", u".profile"},
               {u"ends with dot.", u"ends with dot", u"."}, {u"", u"", u""}};
  for (const auto& c : cases) {
    EXPECT_EQ(Str(RenameStemOf(c.name)), c.stem) << testing::PrintToString(std::u16string(c.name));
    EXPECT_EQ(Str(RenameExtensionOf(c.name)), c.extension);
  }
}

TEST(RenameNames, ATypedNameHoldsNoForbiddenCharacterAndIsNeitherEmptyNorDots) {
  for (const char16_t c : std::u16string_view(u"\\/*?:<>\"|")) {
    const std::u16string typed = u"a" + std::u16string(1, c) + u"b";
    EXPECT_EQ(CheckTypedName(FString(typed.c_str()), u".JPG"), TypedNameFault::ForbiddenCharacter)
        << static_cast<char>(c);
  }
  const struct {
    const char16_t* typed;
    const char16_t* extension;
    TypedNameFault fault;
  } cases[] = {{u"Trip 1", u".JPG", TypedNameFault::None},
               {u"Café – été", u".kvr", TypedNameFault::None},
               {u"", u".JPG", TypedNameFault::Empty},
               {u"", u"", TypedNameFault::Empty},
               {u".", u"", TypedNameFault::DotsOnly},
               {u"..", u"", TypedNameFault::DotsOnly},
               {u".", u".", TypedNameFault::DotsOnly},
               {u"...", u"", TypedNameFault::None},
               {u"x", u".a:b", TypedNameFault::None}}; // an extension the disk already holds
  for (const auto& c : cases) {
    EXPECT_EQ(CheckTypedName(c.typed, c.extension), c.fault) << testing::PrintToString(std::u16string(c.typed));
  }
}

TEST(RenameNames, BatchNamesAreBaseNumberAndExtensionTakenLiterally) {
  const std::vector<FString> extensions = {u".jpg", u".tif", u".kvr"};
  std::vector<std::u16string> names;
  for (int row = 0; row < 3; ++row) names.push_back(Str(RenameBatchName(u"Day", 7, row, extensions[row])));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Day7.jpg", u"Day8.tif", u"Day9.kvr"}));
  EXPECT_EQ(Str(RenameBatchName(u"%d%s", 0, 10, u".%n")), u"%d%s10.%n");
  EXPECT_EQ(Str(RenameBatchName(u"", 99999, 1, u"")), u"100000");
  EXPECT_EQ(Str(RenameBatchName(u"x", INT_MAX, 2, u".a")), u"x2147483649.a") << "no overflow";
}

TEST(RenameNames, TheStartNumberKeepsOnlyDigitsAndSaysWhereTheLastRemovalWas) {
  const struct {
    const char16_t* typed;
    const char16_t* cleaned;
    int caret;
  } cases[] = {{u"123", u"123", -1}, {u"", u"", -1},      {u"12a", u"12", 2},
               {u"a12", u"12", 0},   {u"1a2b3", u"123", 2}, {u"x y", u"", 0},
               {u"١٢", u"", 0}}; // digits of other scripts are not 0-9
  for (const auto& c : cases) {
    const CleanedDigits cleaned = RenameCleanStartNumber(c.typed);
    EXPECT_EQ(Str(cleaned.text), c.cleaned) << testing::PrintToString(std::u16string(c.typed));
    EXPECT_EQ(cleaned.caret, c.caret) << testing::PrintToString(std::u16string(c.typed));
  }
  EXPECT_EQ(RenameStartNumber(u""), 0);
  EXPECT_EQ(RenameStartNumber(u"007"), 7);
  EXPECT_EQ(RenameStartNumber(u"99999"), 99999);
  EXPECT_EQ(RenameStartNumber(u"123456789012345"), INT_MAX);
}

// ---- The single rename ------------------------------------------------------------------

namespace {

class SingleRename : public DialogTest {
protected:
  static void TypeName(HWND dialog, const std::u16string& text) {
    TypeInto(dialog, CBatchRenameThumb::kNameEditId, text);
  }
  // The next message box: its text, then the answer.
  void AnswerNextMessage(int expectedTextId, bool ok) {
    pt::OnNextModal([this, expectedTextId, ok](HWND box) {
      EXPECT_EQ(Caption(box, CMessageDlg::kFirstLineId), Text(expectedTextId));
      if (ok) {
        ClickItem(box, IDOK);
      } else {
        pt::SystemKey(VK_ESCAPE);
      }
    });
  }
};

} // namespace

TEST_F(SingleRename, TheEditShowsTheNameWithoutItsExtensionAndTheNewNameKeepsIt) {
  CBatchRenameThumb dialog;
  dialog.SetFileName({u"IMG_0001.JPG", u"ignored.kvr"});
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(312, 144));
    EXPECT_EQ(WindowText(hwnd), Text(5611));
    EXPECT_EQ(Caption(hwnd, CBatchRenameThumb::kOldNameId), u"IMG_0001.JPG");
    EXPECT_EQ(Caption(hwnd, CBatchRenameThumb::kNewNameLabelId), Text(5612));
    EXPECT_EQ(Caption(hwnd, IDOK), Text(6216));
    EXPECT_EQ(Caption(hwnd, IDCANCEL), Text(6217));
    const std::pair<int, CRect> places[] = {{1124, {20, 20, 250, 35}},  {1140, {20, 65, 105, 80}},
                                            {1083, {115, 62, 292, 80}}, {IDOK, {36, 111, 144, 134}},
                                            {IDCANCEL, {167, 111, 275, 134}}};
    for (const auto& [id, rect] : places) EXPECT_EQ(PlaceOf(hwnd, id), rect) << id;
    EXPECT_EQ(WindowText(Item(hwnd, CBatchRenameThumb::kNameEditId)), u"IMG_0001");
    TypeName(hwnd, u"Trip 1");
    Render(hwnd, "RenameOne.png");
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> names = {u"before"};
  dialog.GetFileName(&names);
  ASSERT_EQ(names.size(), 2u) << "appended";
  EXPECT_EQ(Str(names[1]), u"Trip 1.JPG");
}

TEST_F(SingleRename, ABadNameIsReportedAndOKOnTheReportLetsTheUserCorrectIt) {
  CBatchRenameThumb dialog;
  dialog.SetFileName({u"IMG_0001.JPG"});
  pt::OnNextModal([this](HWND hwnd) {
    for (const auto& [typed, textId] : {std::pair{u"a/b", 5610}, {u"12:30", 5610}, {u"", 5614}}) {
      TypeName(hwnd, typed);
      AnswerNextMessage(textId, true);
      ClickItem(hwnd, IDOK);
      EXPECT_EQ(pt::PendingModalScripts(), 0u) << "the report was shown";
      EXPECT_TRUE(IsWindowVisible(hwnd)) << "still open for a correction";
    }
    TypeName(hwnd, u"12-30");
    pt::SystemKey(VK_RETURN);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> names;
  dialog.GetFileName(&names);
  EXPECT_EQ(Str(names.at(0)), u"12-30.JPG");
}

TEST_F(SingleRename, EscOnTheReportLeavesTheNameAsItWas) {
  for (const char16_t* typed : {u"a|b", u"", u"."}) {
    CBatchRenameThumb dialog;
    dialog.SetFileName({typed == std::u16string_view(u".") ? u"README" : u"IMG_0001.JPG"});
    pt::OnNextModal([&](HWND hwnd) {
      TypeName(hwnd, typed);
      AnswerNextMessage(typed == std::u16string_view(u"a|b") ? 5610 : 5614, false);
      ClickItem(hwnd, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    std::vector<FString> names;
    dialog.GetFileName(&names);
    EXPECT_EQ(Str(names.at(0)), typed == std::u16string_view(u".") ? u"README" : u"IMG_0001.JPG") << "no change";
  }
}

TEST_F(SingleRename, CancelEndsWithoutAName) {
  CBatchRenameThumb dialog;
  dialog.SetFileName({u"IMG_0001.JPG"});
  pt::OnNextModal([](HWND hwnd) {
    TypeName(hwnd, u"Trip");
    pt::SystemKey(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// ---- The batch rename -------------------------------------------------------------------

namespace {

class BatchRename : public DialogTest {
protected:
  static std::vector<std::u16string> Preview(HWND dialog) {
    auto* list = dynamic_cast<CListCtrl*>(CWnd::FromHandle(Item(dialog, CBatchRenameDlg::kPreviewId)));
    std::vector<std::u16string> rows;
    for (int row = 0; list && row < list->GetItemCount(); ++row) {
      rows.push_back(list->GetItemText(row, 0) + u" -> " + list->GetItemText(row, 1));
    }
    return rows;
  }
  static std::u16string EditText(HWND dialog, int id) { return WindowText(Item(dialog, id)); }
  const std::vector<FString> m_Names = {u"a.jpg", u"b.tif", u"c.kvr"};
};

} // namespace

TEST_F(BatchRename, ThePreviewFollowsTheBaseAndTheStartNumber) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames(m_Names);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(417, 277));
    EXPECT_EQ(WindowText(hwnd), Text(5600));
    EXPECT_EQ(Caption(hwnd, CBatchRenameDlg::kBaseLabelId), Text(5601));
    EXPECT_EQ(Caption(hwnd, CBatchRenameDlg::kStartLabelId), Text(5603));
    EXPECT_EQ(Caption(hwnd, IDOK), Text(5606));
    EXPECT_EQ(Caption(hwnd, IDCANCEL), Text(5607));
    const std::pair<int, CRect> places[] = {{1069, {22, 12, 105, 27}},  {1083, {107, 10, 239, 28}},
                                            {1178, {271, 12, 331, 27}}, {1084, {333, 10, 393, 28}},
                                            {1179, {22, 33, 384, 224}}, {IDOK, {115, 245, 193, 268}},
                                            {IDCANCEL, {214, 245, 304, 268}}};
    for (const auto& [id, rect] : places) EXPECT_EQ(PlaceOf(hwnd, id), rect) << id;
    const std::u16string base = Text(5602);
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kBaseEditId), base);
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kStartEditId), u"0");
    EXPECT_EQ(Preview(hwnd), (std::vector<std::u16string>{u"a.jpg -> " + base + u"0.jpg",
                                                           u"b.tif -> " + base + u"1.tif",
                                                           u"c.kvr -> " + base + u"2.kvr"}))
        << "filled at once";

    TypeInto(hwnd, CBatchRenameDlg::kBaseEditId, u"Day");
    TypeInto(hwnd, CBatchRenameDlg::kStartEditId, u"7");
    EXPECT_EQ(Preview(hwnd),
              (std::vector<std::u16string>{u"a.jpg -> Day7.jpg", u"b.tif -> Day8.tif", u"c.kvr -> Day9.kvr"}));
    Render(hwnd, "RenameBatch.png");
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> names = {u"replaced"};
  dialog.GetFileNames(&names);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(Str(names[0]), u"Day7.jpg");
  EXPECT_EQ(Str(names[1]), u"Day8.tif");
  EXPECT_EQ(Str(names[2]), u"Day9.kvr");
}

TEST_F(BatchRename, TheEditsHoldTwelveCharactersAndFiveDigits) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames(m_Names);
  pt::OnNextModal([](HWND hwnd) {
    TypeInto(hwnd, CBatchRenameDlg::kBaseEditId, u"123456789012345");
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kBaseEditId), u"123456789012");
    TypeInto(hwnd, CBatchRenameDlg::kStartEditId, u"99999999");
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kStartEditId), u"99999");
    EXPECT_EQ(Preview(hwnd).back(), u"c.kvr -> 123456789012100001.kvr");
    EndDialog(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(BatchRename, LettersTypedIntoTheStartNumberGoAtOnceAndTheCaretStaysWhereTheyWere) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames(m_Names);
  pt::OnNextModal([](HWND hwnd) {
    TypeInto(hwnd, CBatchRenameDlg::kStartEditId, u"12");
    auto* start = dynamic_cast<CEdit*>(CWnd::FromHandle(Item(hwnd, CBatchRenameDlg::kStartEditId)));
    ASSERT_NE(start, nullptr);
    start->SetSel(1, 1);
    pt::SystemType(u"x");
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kStartEditId), u"12");
    int from = -1, to = -1;
    start->GetSel(from, to);
    EXPECT_EQ(from, 1);
    EXPECT_EQ(to, 1);
    pt::SystemType(u"3y");
    EXPECT_EQ(EditText(hwnd, CBatchRenameDlg::kStartEditId), u"132");
    EXPECT_EQ(Preview(hwnd).front(), u"a.jpg -> " + WindowText(Item(hwnd, CBatchRenameDlg::kBaseEditId)) + u"132.jpg");
    EndDialog(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(BatchRename, ABaseWithAColonIsRefusedBeforeAnyNameIsReturned) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames(m_Names);
  pt::OnNextModal([this](HWND hwnd) {
    TypeInto(hwnd, CBatchRenameDlg::kBaseEditId, u"12:30 ");
    pt::OnNextModal([this](HWND box) {
      EXPECT_EQ(Caption(box, CMessageDlg::kFirstLineId), Text(5610));
      Render(box, "RenameRefused.png");
      ClickItem(box, IDOK);
    });
    ClickItem(hwnd, IDOK);
    EXPECT_TRUE(IsWindowVisible(hwnd)) << "OK on the report: open for a correction";
    pt::OnNextModal([](HWND) { pt::SystemKey(VK_ESCAPE); });
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL) << "Esc on the report renames nothing";
  std::vector<FString> names = {u"kept?"};
  dialog.GetFileNames(&names);
  EXPECT_TRUE(names.empty());
}

TEST_F(BatchRename, APercentSignIsJustACharacter) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames({u"x.%s"});
  pt::OnNextModal([](HWND hwnd) {
    TypeInto(hwnd, CBatchRenameDlg::kBaseEditId, u"100%");
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  std::vector<FString> names;
  dialog.GetFileNames(&names);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(Str(names[0]), u"100%0.%s");
}
