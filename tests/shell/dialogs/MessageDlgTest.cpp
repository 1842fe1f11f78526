// The message box shows, per style, its own lines and buttons at their
// places with the table's captions, and each button ends it with the
// style's result; Esc and the close box give cancel in every style and
// Enter never closes it. The new-folder dialog hands back what was typed.
// Every look is rendered to a picture.

#include "platform/testing/Headless.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/CNewFolderDlg.h"
#include "DialogTestSupport.h"

#include "platform/win/WinGdiText.h"

#include <set>
#include <vector>

namespace {

constexpr int kLine1 = CMessageDlg::kFirstLineId;
constexpr int kLine2 = CMessageDlg::kSecondLineId;
constexpr int kYesToAll = CMessageDlg::kYesToAllId;
constexpr int kLast = CMessageDlg::kLastButtonId;
const std::vector<int> kEveryControl = {kLine1, kLine2, IDOK, IDCANCEL, kYesToAll, kLast};

struct ButtonCase {
  int id;
  POINT at;
  int captionId;
  int result;
};

struct StyleCase {
  int style;
  int firstLineId;   // the text (or, with the message, the look) of line 1; 0 hidden
  bool messageOnLine1;
  bool messageOnLine2;
  std::vector<ButtonCase> buttons;
};

const std::vector<StyleCase> kStyles = {
    {kMessageStyleOK, 9008, true, false, {{IDOK, {180, 110}, 9001, kMessageOK}}},
    {kMessageStyleOKCancel, 9008, true, false,
     {{IDOK, {20, 120}, 9001, kMessageOK}, {IDCANCEL, {330, 120}, 9002, kMessageCancel}}},
    {kMessageStyleOverwrite, 9005, false, true,
     {{IDOK, {20, 130}, 9003, kMessageYes}, {IDCANCEL, {330, 130}, 9004, kMessageNo}}},
    {kMessageStyleOverwriteMany, 9005, false, true,
     {{IDOK, {20, 100}, 9003, kMessageYes},
      {IDCANCEL, {330, 100}, 9004, kMessageNo},
      {kYesToAll, {20, 130}, 9007, kMessageYesToAll},
      {kLast, {330, 130}, 9002, kMessageCancel}}},
    {kMessageStyleYesNo, 9005, false, false,
     {{IDOK, {20, 130}, 9003, kMessageYes}, {IDCANCEL, {330, 130}, 9004, kMessageNo}}},
};

const FString kPath = u"/home/someone/Pictures/2026/Holiday by the sea/IMG_0001.kvr";

std::set<int> ShownControls(HWND dialog) {
  std::set<int> shown;
  for (int id : kEveryControl) {
    if (Shown(dialog, id)) shown.insert(id);
  }
  return shown;
}

class MessageBox : public DialogTest {};

} // namespace

TEST_F(MessageBox, EachStyleShowsItsLinesAndButtonsAndEachButtonGivesItsResult) {
  for (const StyleCase& c : kStyles) {
    SCOPED_TRACE("style " + std::to_string(c.style));
    const FString message = c.style == kMessageStyleOK || c.style == kMessageStyleOKCancel ? FString(u"Delete 3 files?")
                                                                                           : kPath;
    for (const ButtonCase& clicked : c.buttons) {
      CMessageDlg box(nullptr);
      box.SetMessage(c.style, message);
      pt::OnNextModal([&](HWND hwnd) {
        EXPECT_EQ(ClientSize(hwnd), CSize(460, 160));
        EXPECT_EQ(WindowText(hwnd), Text(9000)) << "the default title";
        std::set<int> expected = {kLine1};
        if (c.messageOnLine2) expected.insert(kLine2);
        for (const ButtonCase& b : c.buttons) expected.insert(b.id);
        EXPECT_EQ(ShownControls(hwnd), expected);

        EXPECT_EQ(PlaceOf(hwnd, kLine1), CRect(10, 30, 450, 50));
        EXPECT_EQ(Caption(hwnd, kLine1), c.messageOnLine1 ? std::u16string(message.View()) : Text(c.firstLineId));
        if (c.messageOnLine2) {
          EXPECT_EQ(PlaceOf(hwnd, kLine2), CRect(10, 60, 450, 80));
          EXPECT_EQ(Caption(hwnd, kLine2), std::u16string(message.View()));
          EXPECT_TRUE(CaptionFormat(hwnd, kLine2) & DT_PATH_ELLIPSIS) << "a long path keeps its file name";
          EXPECT_FALSE(CaptionFormat(hwnd, kLine2) & DT_CENTER);
        }
        for (const ButtonCase& b : c.buttons) {
          EXPECT_EQ(PlaceOf(hwnd, b.id), CRect(b.at.x, b.at.y, b.at.x + 110, b.at.y + 23)) << "button " << b.id;
          EXPECT_EQ(Caption(hwnd, b.id), Text(b.captionId)) << "button " << b.id;
        }
        if (&clicked == &c.buttons.front()) Render(hwnd, "MessageBoxStyle" + std::to_string(c.style) + ".png");
        ClickItem(hwnd, clicked.id);
      });
      EXPECT_EQ(box.DoModal(), clicked.result) << "button " << clicked.id;
    }
  }
}

TEST_F(MessageBox, EscAndTheCloseBoxCancelInEveryStyleAndEnterNeverCloses) {
  for (const StyleCase& c : kStyles) {
    SCOPED_TRACE("style " + std::to_string(c.style));
    CMessageDlg escaped(nullptr);
    escaped.SetMessage(c.style, kPath);
    pt::OnNextModal([](HWND hwnd) {
      pt::SystemKey(VK_RETURN);
      pt::Pump();
      EXPECT_TRUE(IsWindowVisible(hwnd)) << "Enter does nothing";
      SetFocus(Item(hwnd, IDCANCEL)); // the button that answers "no" in some styles
      pt::SystemKey(VK_ESCAPE);
    });
    EXPECT_EQ(escaped.DoModal(), kMessageCancel);

    CMessageDlg closed(nullptr);
    closed.SetMessage(c.style, kPath);
    pt::OnNextModal([](HWND hwnd) { SendMessageW(hwnd, WM_CLOSE, 0, 0); });
    EXPECT_EQ(closed.DoModal(), kMessageCancel);
  }
}

TEST_F(MessageBox, ResultCodesAStyleDoesNotSetKeepTheirValues) {
  CMessageDlg box(nullptr);
  for (int id : {IDOK, IDCANCEL, kYesToAll, kLast}) EXPECT_EQ(box.GetButtonResult(id), kMessageCancel);
  box.SetMessage(kMessageStyleOverwriteMany, kPath);
  box.SetMessage(kMessageStyleOverwrite, kPath);
  EXPECT_EQ(box.GetButtonResult(IDOK), kMessageYes);
  EXPECT_EQ(box.GetButtonResult(IDCANCEL), kMessageNo);
  EXPECT_EQ(box.GetButtonResult(kYesToAll), kMessageYesToAll);
  EXPECT_EQ(box.GetButtonResult(kLast), kMessageCancel);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_FALSE(Shown(hwnd, kYesToAll)) << "kept, but hidden in style 10";
    EXPECT_FALSE(Shown(hwnd, kLast));
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(box.DoModal(), kMessageNo);
}

TEST_F(MessageBox, AStyleOutsideTheTableShowsNothingAndStillCancels) {
  for (int style : {-1, 2, 13}) {
    CMessageDlg box(nullptr);
    if (style != -1) box.SetMessage(style, kPath);
    pt::OnNextModal([](HWND hwnd) {
      EXPECT_TRUE(ShownControls(hwnd).empty());
      pt::SystemKey(VK_ESCAPE);
    });
    EXPECT_EQ(box.DoModal(), kMessageCancel) << style;
  }
}

TEST_F(MessageBox, TheTitleComesFromTheTable) {
  CMessageDlg box(nullptr);
  box.SetTitle(5600);
  box.SetMessage(kMessageStyleOK, u"Done.");
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(WindowText(hwnd), Text(5600));
    EndDialog(hwnd, kMessageOK);
  });
  EXPECT_EQ(box.DoModal(), kMessageOK);
}

TEST_F(MessageBox, ASubMessageTakesTheFreeSecondLineOnly) {
  CMessageDlg failed(nullptr);
  failed.SetMessage(kMessageStyleOK, FString(Text(9011)));
  failed.SetSubMessage(9010);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_TRUE(Shown(hwnd, kLine2));
    EXPECT_EQ(PlaceOf(hwnd, kLine2), CRect(10, 60, 450, 80));
    EXPECT_EQ(Caption(hwnd, kLine1), Text(9011));
    EXPECT_EQ(Caption(hwnd, kLine2), Text(9010));
    Render(hwnd, "MessageBoxSubMessage.png");
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(failed.DoModal(), kMessageOK);

  CMessageDlg overwrite(nullptr);
  overwrite.SetMessage(kMessageStyleOverwrite, kPath);
  overwrite.SetSubMessage(9010);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_EQ(Caption(hwnd, kLine2), std::u16string(kPath.View())) << "the path keeps its line";
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(overwrite.DoModal(), kMessageYes);
}

TEST_F(MessageBox, ALongPathAndAnAmpersandShowAsTheyAre) {
  CMessageDlg box(nullptr);
  const FString path = u"/home/someone/Pictures/a folder whose name goes on and on and on/Tom & Jerry 0001.kvr";
  box.SetMessage(kMessageStyleOverwriteMany, path);
  pt::OnNextModal([](HWND hwnd) {
    EXPECT_TRUE(CaptionFormat(hwnd, kLine2) & DT_NOPREFIX);
    Render(hwnd, "MessageBoxLongPath.png");
    ClickItem(hwnd, kYesToAll);
  });
  EXPECT_EQ(box.DoModal(), kMessageYesToAll);
}

// ---- The new-folder dialog ------------------------------------------------------------

namespace {
class NewFolder : public DialogTest {};
} // namespace

TEST_F(NewFolder, ShowsTheParentAndHandsBackTheNameTyped) {
  CNewFolderDlg dialog(nullptr);
  dialog.SetParentPath(u"/home/someone/Pictures & Films");
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(290, 115));
    EXPECT_EQ(WindowText(hwnd), Text(5305));
    EXPECT_EQ(Caption(hwnd, 1159), Text(5300));
    EXPECT_EQ(Caption(hwnd, 1160), u"/home/someone/Pictures & Films");
    EXPECT_EQ(Caption(hwnd, 1161), Text(5302));
    EXPECT_EQ(Caption(hwnd, IDOK), Text(5303));
    EXPECT_EQ(Caption(hwnd, IDCANCEL), Text(5304));
    const std::pair<int, CRect> places[] = {{1159, {20, 12, 270, 24}}, {1160, {20, 27, 270, 39}},
                                            {1161, {20, 57, 85, 69}},  {1162, {92, 52, 272, 72}},
                                            {IDOK, {55, 83, 133, 106}}, {IDCANCEL, {144, 83, 234, 106}}};
    for (const auto& [id, rect] : places) EXPECT_EQ(PlaceOf(hwnd, id), rect) << id;
    EXPECT_EQ(GetFocus(), Item(hwnd, CNewFolderDlg::kNameEditId)) << "typing goes to the name";
    pt::SystemType(u"Holiday 2026");
    Render(hwnd, "NewFolder.png");
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetFolderName(), u"Holiday 2026");
}

TEST_F(NewFolder, EnterTakesEvenAnEmptyNameAndCancelTakesNone) {
  CNewFolderDlg entered(nullptr);
  pt::OnNextModal([](HWND) { pt::SystemKey(VK_RETURN); });
  EXPECT_EQ(entered.DoModal(), IDOK);
  EXPECT_EQ(entered.GetFolderName(), u"") << "the caller's folder creation decides";

  CNewFolderDlg cancelled(nullptr);
  pt::OnNextModal([](HWND hwnd) {
    pt::SystemType(u"Unwanted");
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.GetFolderName(), u"");
}
