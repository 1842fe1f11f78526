// The print option dialogs: what they show of their record, what OK stores,
// the font button's sizes in tenths of a point, and cancels that change nothing.

#include "output/print/CTLM_PrintOptionDlg.h"
#include "output/print/CTLM_PrintOptionHeadDlg.h"
#include "platform/testing/CommonDialogs.h"
#include "platform/testing/Headless.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "toolkit/CCheckBox.h"

namespace {

CComboBoxBase& Combo(HWND dialog, int id) {
  return *dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(dialog, id)));
}
int Checked(HWND dialog, int id) { return dynamic_cast<CCheckBox*>(CWnd::FromHandle(Item(dialog, id)))->GetCheck(); }

LOGFONTW Font(const char16_t* face, LONG tenths) {
  LOGFONTW font{};
  std::u16string(face).copy(font.lfFaceName, LF_FACESIZE - 1);
  font.lfHeight = tenths;
  font.lfWeight = FW_NORMAL;
  return font;
}

class PrintOptionDlgs : public DialogTest {
protected:
  ~PrintOptionDlgs() override { pt::CancelDialogs(); }
};

} // namespace

TEST_F(PrintOptionDlgs, InformationPositionsOutsideTheListShowTheFirstAndOKStoresIt) {
  for (int stored : {1, 2, 3, 8}) {
    InfoPrintSetting setting;
    setting.m_nBasic = 1;
    setting.m_nPos = stored;
    CTLM_PrintOptionDlg dialog(nullptr);
    dialog.SetSetting(setting);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_EQ(ClientSize(hwnd), CSize(384, 240));
      EXPECT_EQ(PlaceOf(hwnd, CTLM_PrintOptionDlg::kPositionId), CRect(137, 165, 317, 183));
      EXPECT_EQ(Combo(hwnd, CTLM_PrintOptionDlg::kPositionId).GetCount(), 7);
      EXPECT_EQ(Combo(hwnd, CTLM_PrintOptionDlg::kPositionId).GetCurSel(), stored == 8 ? 2 : 0) << stored;
      EXPECT_EQ(Checked(hwnd, CTLM_PrintOptionDlg::kBasicId), 1);
      EXPECT_EQ(Checked(hwnd, CTLM_PrintOptionDlg::kCaptureId), 0);
      if (stored == 8) Render(hwnd, "print-option-dialog.png");
      ClickItem(hwnd, CTLM_PrintOptionDlg::kCaptureId);
      ClickItem(hwnd, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    dialog.GetSetting(setting);
    EXPECT_EQ(setting.m_nPos, stored == 8 ? 8 : 0);
    EXPECT_EQ(setting.m_nBasic, 1);
    EXPECT_EQ(setting.m_nCapture, 1) << "the click checked it";
  }
}

TEST_F(PrintOptionDlgs, TheInformationFontKeepsThePrintSizesSize) {
  InfoPrintSetting setting;
  setting.m_Font = Font(u"DejaVu Sans", 80);
  setting.m_Coler = RGB(0, 0, 0);
  CTLM_PrintOptionDlg dialog(nullptr);
  dialog.SetSetting(setting);
  platform::core::FontRequest asked;
  pt::AnswerFontDialogs([&](platform::core::FontRequest& request) {
    asked = request;
    std::u16string(u"DejaVu Serif").copy(request.font.lfFaceName, LF_FACESIZE - 1);
    request.font.lfWeight = FW_BOLD;
    request.colour = RGB(200, 0, 0);
    return true;
  });
  pt::OnNextModal([&](HWND hwnd) {
    ClickItem(hwnd, CTLM_PrintOptionDlg::kFontId);
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(asked.flags & CF_LIMITSIZE);
  EXPECT_EQ(asked.minPoints, 8);
  EXPECT_EQ(asked.maxPoints, 8);
  EXPECT_EQ(asked.pointTenths, 80) << "offered at the record's size";
  EXPECT_EQ(asked.colour, RGB(0, 0, 0));
  dialog.GetSetting(setting);
  EXPECT_EQ(setting.m_Font.lfHeight, 80) << "tenths of a point again";
  EXPECT_EQ(std::u16string(setting.m_Font.lfFaceName), u"DejaVu Serif");
  EXPECT_EQ(setting.m_Font.lfWeight, FW_BOLD);
  EXPECT_EQ(setting.m_Coler, RGB(200, 0, 0));
}

TEST_F(PrintOptionDlgs, HeaderTextPlaceAndFont) {
  HeadFootPrintSetting setting;
  setting.m_strHeadFoot = FString("Holiday 2026");
  setting.m_nPos = 6;
  setting.m_Font = Font(u"DejaVu Sans", 100);
  CTLM_PrintOptionHeadDlg dialog(nullptr);
  dialog.SetSetting(setting);
  pt::AnswerFontDialogs([](platform::core::FontRequest& request) {
    EXPECT_FALSE(request.flags & CF_LIMITSIZE);
    request.pointTenths = 145;
    request.colour = RGB(0, 0, 160);
    return true;
  });
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(384, 160));
    EXPECT_EQ(WindowText(Item(hwnd, CTLM_PrintOptionHeadDlg::kTextId)), u"Holiday 2026");
    EXPECT_EQ(Combo(hwnd, CTLM_PrintOptionHeadDlg::kPositionId).GetCount(), 6);
    EXPECT_EQ(Combo(hwnd, CTLM_PrintOptionHeadDlg::kPositionId).GetCurSel(), 5);
    Render(hwnd, "print-option-head-dialog.png");
    TypeInto(hwnd, CTLM_PrintOptionHeadDlg::kTextId, u"Trip");
    Combo(hwnd, CTLM_PrintOptionHeadDlg::kPositionId).SetCurSel(1);
    ClickItem(hwnd, CTLM_PrintOptionHeadDlg::kFontId);
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  dialog.GetSetting(setting);
  EXPECT_EQ(setting.m_strHeadFoot, FString("Trip"));
  EXPECT_EQ(setting.m_nPos, 2);
  EXPECT_EQ(setting.m_Font.lfHeight, 145);
  EXPECT_EQ(setting.m_Coler, RGB(0, 0, 160));
}

TEST_F(PrintOptionDlgs, ACancelledFontDialogChangesNothing) {
  HeadFootPrintSetting setting;
  setting.m_Font = Font(u"DejaVu Sans", 100);
  setting.m_Coler = RGB(1, 2, 3);
  CTLM_PrintOptionHeadDlg dialog(nullptr);
  dialog.SetSetting(setting);
  pt::OnNextModal([&](HWND hwnd) {
    ClickItem(hwnd, CTLM_PrintOptionHeadDlg::kFontId); // no answer: cancelled
    ClickItem(hwnd, IDOK);
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  HeadFootPrintSetting after;
  dialog.GetSetting(after);
  EXPECT_EQ(after.m_Font.lfHeight, 100);
  EXPECT_EQ(after.m_Coler, RGB(1, 2, 3));
  EXPECT_EQ(after.m_nPos, 4) << "the default's place";
}
