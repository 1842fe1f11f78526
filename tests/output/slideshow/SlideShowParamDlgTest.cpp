// The slide show's parameters dialog: what it preselects for the stored
// settings (values outside the lists fall back to their first item), what OK
// stores and hands back, and that Cancel stores nothing.

#include "output/slideshow/CSlideShowParamDlg.h"
#include "platform/testing/Headless.h"
#include "shell/dialogs/DialogTestSupport.h"

#include <algorithm>

namespace {

struct SlideSettings {
  int type, duration, loop;
  bool operator==(const SlideSettings&) const = default;
};

CComboBoxBase& Combo(HWND dialog, int id) { return *dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(dialog, id))); }

std::u16string SelectedText(HWND dialog, int id) {
  CComboBoxBase& combo = Combo(dialog, id);
  std::u16string text;
  if (combo.GetCurSel() >= 0) combo.GetLBText(combo.GetCurSel(), text);
  return text;
}

bool Checked(HWND dialog, int id) { return SendMessageW(Item(dialog, id), BM_GETCHECK, 0, 0) != 0; }

class SlideShowParamDlgTest : public DialogTest {
protected:
  void Store(const SlideSettings& s) {
    CAppSettings& settings = *m_App.GetSettings();
    settings.m_nSlideShowType = s.type;
    settings.m_nSlideShowDuration = s.duration;
    settings.m_nSlideShowLoop = s.loop;
  }
  SlideSettings Stored() {
    const CAppSettings& settings = *m_App.GetSettings();
    return {settings.m_nSlideShowType, settings.m_nSlideShowDuration, settings.m_nSlideShowLoop};
  }
};

TEST_F(SlideShowParamDlgTest, ShowsTheSettingsAndOKStoresTheChoice) {
  using D = CSlideShowParamDlg;
  struct Case {
    const char* what;
    SlideSettings opened;
    int shownEffect;              // text id of the selected effect
    const char16_t* shownSeconds; // the selected item
    bool shownLoop;
  } cases[] = {
      {"defaults", {1, 5, 0}, 5708, u"5", false},
      {"the last items", {4, 10, 1}, 5711, u"10", true},
      {"values outside the lists", {7, 12, 3}, 5707, u"1", true},
      {"negative values", {-1, 0, 0}, 5707, u"1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store(c.opened);
    CSlideShowParamDlg dialog(nullptr);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_EQ(SelectedText(hwnd, D::kEffectListId), Text(c.shownEffect));
      EXPECT_EQ(SelectedText(hwnd, D::kSecondsListId), c.shownSeconds);
      EXPECT_EQ(Checked(hwnd, D::kLoopId), c.shownLoop);
      EXPECT_EQ(Combo(hwnd, D::kEffectListId).GetCount(), 5);
      EXPECT_EQ(Combo(hwnd, D::kSecondsListId).GetCount(), 10);
      // Choose the page roll for 3 seconds and turn the loop over.
      Combo(hwnd, D::kEffectListId).SetCurSel(2);
      Combo(hwnd, D::kSecondsListId).SetCurSel(2);
      ClickItem(hwnd, D::kLoopId);
      ClickItem(hwnd, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    const SlideSettings chosen{2, 3, c.shownLoop ? 0 : 1};
    EXPECT_EQ(Stored(), chosen);
    int effect = -1, seconds = -1, loop = -1;
    dialog.GetParams(&effect, &seconds, &loop);
    EXPECT_EQ((SlideSettings{effect, seconds, loop}), chosen);
  }
}

TEST_F(SlideShowParamDlgTest, LayoutAndCaptions) {
  using D = CSlideShowParamDlg;
  CSlideShowParamDlg dialog(nullptr);
  pt::OnNextModal([this](HWND hwnd) {
    EXPECT_EQ(ClientSize(hwnd), CSize(300, 165));
    EXPECT_EQ(WindowText(hwnd), Text(5700));
    EXPECT_EQ(PlaceOf(hwnd, D::kSecondsListId), CRect(90, 60, 240, 78));
    EXPECT_EQ(PlaceOf(hwnd, IDCANCEL), CRect(160, 130, 260, 153));
    EXPECT_EQ(Caption(hwnd, D::kUnitLabelId), Text(5703));
    // The unit's caption, in the program's label font (DejaVu Sans, 12
    // pixels), ends a few pixels before the dialog's edge.
    LOGFONTW label{};
    label.lfHeight = -12;
    std::copy_n(u"DejaVu Sans", 11, label.lfFaceName);
    CFont font;
    font.CreateFontIndirect(&label);
    CClientDC dc(CWnd::FromHandle(hwnd));
    CFont* old = dc.SelectObject(&font);
    const int width = dc.GetTextExtent(Text(5703).c_str(), static_cast<int>(Text(5703).size())).cx;
    dc.SelectObject(old);
    EXPECT_LE(250 + width, 300 - 6) << "the caption's width: " << width;
    EXPECT_EQ(Caption(hwnd, IDOK), Text(5705));
    EXPECT_EQ(CaptionFormat(hwnd, D::kEffectLabelId), UINT{DT_VCENTER | DT_SINGLELINE});
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(SlideShowParamDlgTest, CancelStoresNothing) {
  Store({3, 7, 1});
  CSlideShowParamDlg dialog(nullptr);
  pt::OnNextModal([](HWND hwnd) {
    Combo(hwnd, CSlideShowParamDlg::kEffectListId).SetCurSel(0);
    ClickItem(hwnd, CSlideShowParamDlg::kLoopId);
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(Stored(), (SlideSettings{3, 7, 1}));
}

} // namespace
