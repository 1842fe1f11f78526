// The owner-drawn buttons: which icon or mark each state shows, where the
// caption goes, the check state's toggling by clicks (the parent hearing
// them too), and every button drawn in its states for a look.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CCheckButton.h"

#include "ToolkitTestWindows.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

// The resource ids of the icons drawn, in order.
std::vector<int> IconsDrawn(const CRecordingDC& dc) {
  std::vector<int> ids;
  for (const auto& call : dc.Calls("DrawIconEx")) ids.push_back(call.resource);
  return ids;
}

class OwnerButtons : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    font = table.AddFont(MakeLogFont(-12, FW_BOLD));
    table.Add(20, u"Apply", font, RGB(255, 255, 255));
    table.Add(21, u"Grey when disabled", font, RGB(230, 230, 230));
    table.Add(22, u"Show the clipping warning", font, RGB(255, 255, 255));
    table.Add(23, u"A caption of several words that needs three lines", font, RGB(255, 255, 255));
    ASSERT_TRUE(parent.CreateAt(CRect(20, 20, 420, 260), RGB(89, 89, 89)));
  }
  MapTextTable table;
  CFont* font = nullptr;
  PlainParent parent;
};

} // namespace

TEST_F(OwnerButtons, IconButtonsChooseTheirIconByState) {
  CButtonBase button;
  ASSERT_TRUE(button.Create(u"text", WS_VISIBLE, CRect(0, 0, 60, 23), &parent, 1));
  EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_EQ(button.GetWindowText(), u"");
  button.SetIconSize(27, 20);
  button.SetIcon(137);
  button.SetPushedIcon(134);
  struct Case {
    UINT state;
    bool disabledIcon;
    int icon;
  } cases[] = {
      {0, false, 137},
      {ODS_SELECTED, false, 134},
      {ODS_DISABLED, false, 137},
      {ODS_SELECTED | ODS_DISABLED, false, 134}, // only a pushed icon: it shows
      {ODS_SELECTED | ODS_DISABLED, true, 138},  // the disabled icon wins over the pushed one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    if (c.disabledIcon) button.SetDisabledIcon(138);
    CRecordingDC dc;
    DrawItemOn(button, dc, c.state);
    EXPECT_EQ(IconsDrawn(dc), std::vector<int>{c.icon});
    const auto icon = dc.Calls("DrawIconEx");
    EXPECT_EQ(icon[0].rect, (RECT{0, 0, 27, 20}));
  }
}

TEST_F(OwnerButtons, CaptionsMoveWhilePushedAndDisabledOnesNeedTheirOwnCaption) {
  CButtonBase button;
  ASSERT_TRUE(button.Create(u"", WS_VISIBLE, CRect(0, 0, 80, 23), &parent, 1));
  button.SetStringId(20, 37);
  CRecordingDC up, down, disabled;
  DrawItemOn(button, up, 0);
  DrawItemOn(button, down, ODS_SELECTED);
  DrawItemOn(button, disabled, ODS_DISABLED);
  ASSERT_EQ(up.Calls("DrawText").size(), 1u);
  EXPECT_EQ(up.Calls("DrawText")[0].rect, (RECT{4, 0, 75, 22}));
  EXPECT_EQ(down.Calls("DrawText")[0].rect, (RECT{5, 1, 76, 23}));
  EXPECT_TRUE(disabled.Calls("DrawText").empty()) << "no disabled caption set";
  button.SetDisabledStringId(21, 37);
  CRecordingDC again;
  DrawItemOn(button, again, ODS_DISABLED);
  ASSERT_EQ(again.Calls("DrawText").size(), 1u);
  EXPECT_EQ(again.Calls("DrawText")[0].text, u"Grey when disabled");
  EXPECT_EQ(button.SendMessage(WM_ERASEBKGND), TRUE);
}

TEST_F(OwnerButtons, CheckButtonsToggleOnClicksAndPickTheirCheckedIcons) {
  CCheckButton button;
  ASSERT_TRUE(button.Create(u"", WS_VISIBLE, CRect(10, 10, 26, 30), &parent, 5));
  button.SetIconSize(16, 20);
  button.SetIcon(133);
  button.SetPushedIcon(134);
  button.SetCheckedIcon(135);
  pt::Pump();
  pt::Click(button, {4, 4});
  EXPECT_EQ(button.GetCheck(), 1);
  ASSERT_EQ(parent.messages.size(), 1u);
  EXPECT_EQ(parent.messages[0].second.first, MAKEWPARAM(5, BN_CLICKED)) << "the parent hears the click too";
  pt::Click(button, {4, 4});
  EXPECT_EQ(button.GetCheck(), 0);
  button.SendMessage(BM_SETCHECK, 1);
  EXPECT_EQ(button.SendMessage(BM_GETCHECK), 1);
  struct Case {
    int check;
    UINT state;
    int icon;
  } cases[] = {
      {0, 0, 133},
      {1, 0, 135},
      {0, ODS_SELECTED, 134},
      {1, ODS_SELECTED, 134}, // no checked-and-pushed icon: the pushed one
  };
  for (const Case& c : cases) {
    button.SetCheck(c.check);
    CRecordingDC dc;
    DrawItemOn(button, dc, c.state);
    EXPECT_EQ(IconsDrawn(dc), std::vector<int>{c.icon}) << c.check << " " << c.state;
  }
  button.SetCheckedPushedIcon(136);
  button.SetDisabledIcon(138);
  for (const auto& [check, state, icon] : {std::tuple{1, ODS_SELECTED, 136}, std::tuple{1, ODS_DISABLED, 138},
                                           std::tuple{0, ODS_DISABLED | ODS_SELECTED, 138}}) {
    button.SetCheck(check);
    CRecordingDC dc;
    DrawItemOn(button, dc, state);
    EXPECT_EQ(IconsDrawn(dc), std::vector<int>{icon});
  }
}

TEST_F(OwnerButtons, CheckBoxesShowTheirMarksAndCentreTheirCaptions) {
  CCheckBox box;
  ASSERT_TRUE(box.Create(u"", WS_VISIBLE, CRect(10, 10, 210, 30), &parent, 6));
  box.SetIconStyle(0);
  box.SetStringId(22, DT_VCENTER | DT_SINGLELINE);
  struct Case {
    int check;
    UINT state;
    int mark;
  } boxes[] = {
      {0, 0, 238}, {1, 0, 239}, {0, ODS_SELECTED, 239}, {0, ODS_DISABLED, 240}, {1, ODS_DISABLED, 265},
  };
  for (const Case& c : boxes) {
    box.SetCheck(c.check);
    CRecordingDC dc;
    DrawItemOn(box, dc, c.state);
    ASSERT_EQ(IconsDrawn(dc), std::vector<int>{c.mark}) << c.check << " " << c.state;
    // The mark at x = 1, centred on the received rectangle (the client grown by one).
    EXPECT_EQ(dc.Calls("DrawIconEx")[0].rect, (RECT{1, 3, 16, 18}));
    const auto caption = dc.Calls("DrawText");
    ASSERT_EQ(caption.size(), 1u);
    EXPECT_EQ(caption[0].rect.left, 18);
    EXPECT_EQ(caption[0].format & DT_VCENTER, 0u) << "centred by hand";
    EXPECT_EQ(caption[0].textColour, (c.state & ODS_DISABLED) ? RGB(127, 127, 127) : RGB(255, 255, 255));
  }
  // Radio marks: a checked and disabled radio button has no mark of its own.
  box.SetIconStyle(1);
  box.SetCheck(1);
  CRecordingDC radio;
  DrawItemOn(box, radio, ODS_DISABLED);
  EXPECT_EQ(IconsDrawn(radio), std::vector<int>{243});
  box.SetIconStyle(7); // changes nothing
  CRecordingDC still;
  DrawItemOn(box, still, 0);
  EXPECT_EQ(IconsDrawn(still), std::vector<int>{242});
  // An empty normal caption: nothing, even when disabled with a disabled caption.
  box.SetText(u"");
  CRecordingDC empty;
  DrawItemOn(box, empty, ODS_DISABLED);
  EXPECT_TRUE(empty.Calls("DrawText").empty());
}

TEST_F(OwnerButtons, ACheckBoxCaptionOfSeveralLinesIsCentredAndOneTooWideIsCut) {
  CCheckBox box;
  ASSERT_TRUE(box.Create(u"", WS_VISIBLE, CRect(0, 0, 150, 100), &parent, 7));
  box.SetIconStyle(0);
  box.SetStringId(23, DT_WORDBREAK);
  CRecordingDC dc;
  DrawItemOn(box, dc, 0);
  auto caption = dc.Calls("DrawText");
  ASSERT_EQ(caption.size(), 1u);
  ASSERT_EQ(caption[0].lines.size(), 3u);
  const int textHeight = caption[0].result;
  // The received rectangle is 102 high from -1: its top moves down by half the rest.
  EXPECT_EQ(caption[0].rect.top, -1 + (102 - textHeight) / 2);
  box.SetStringId(22, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  box.MoveWindow(0, 0, 80, 20);
  CRecordingDC narrow;
  DrawItemOn(box, narrow, 0);
  caption = narrow.Calls("DrawText");
  ASSERT_EQ(caption.size(), 1u);
  EXPECT_NE(caption[0].format & DT_END_ELLIPSIS, 0u);
  EXPECT_EQ(caption[0].lineRects[0].left, 18);
}

TEST_F(OwnerButtons, TextButtonsStretchTheirSkin) {
  CBasicButton button;
  ASSERT_TRUE(button.Create(u"", WS_VISIBLE, CRect(0, 0, 100, 23), &parent, 8));
  button.SetStringId(20, 37);
  for (const auto& [state, first] : {std::pair{0u, 248}, std::pair{UINT{ODS_SELECTED}, 251},
                                     std::pair{UINT{ODS_DISABLED}, 254}}) {
    CRecordingDC dc;
    DrawItemOn(button, dc, state);
    EXPECT_EQ(IconsDrawn(dc), (std::vector<int>{first, first + 1, first + 2}));
    const auto icons = dc.Calls("DrawIconEx");
    EXPECT_EQ(icons[0].rect, (RECT{0, 0, 10, 23}));
    EXPECT_EQ(icons[1].rect, (RECT{10, 0, 90, 23}));
    EXPECT_EQ(icons[2].rect, (RECT{90, 0, 100, 23}));
    const auto caption = dc.Calls("DrawText");
    ASSERT_EQ(caption.size(), 1u);
    EXPECT_EQ(caption[0].textColour, state == ODS_DISABLED ? RGB(127, 127, 127) : RGB(255, 255, 255));
  }
}

TEST_F(OwnerButtons, EveryButtonInItsStatesReadsAsOneToolkit) {
  CBasicButton basic[3];
  CCheckBox checks[4], radios[2];
  CButtonBase icons[2];
  CCheckButton toggle;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(basic[i].Create(u"", WS_VISIBLE, CRect(10, 10 + 30 * i, 110, 33 + 30 * i), &parent, 10 + i));
    basic[i].SetStringId(20, 37);
  }
  basic[1].SetState(TRUE);
  basic[2].EnableWindow(FALSE);
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(checks[i].Create(u"", WS_VISIBLE, CRect(130, 10 + 25 * i, 390, 30 + 25 * i), &parent, 20 + i));
    checks[i].SetIconStyle(0);
    checks[i].SetStringId(22, DT_VCENTER | DT_SINGLELINE);
    checks[i].SetCheck(i % 2);
  }
  checks[2].EnableWindow(FALSE);
  checks[3].EnableWindow(FALSE);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(radios[i].Create(u"", WS_VISIBLE, CRect(130, 120 + 25 * i, 390, 140 + 25 * i), &parent, 30 + i));
    radios[i].SetIconStyle(1);
    radios[i].SetStringId(20, DT_VCENTER | DT_SINGLELINE);
    radios[i].SetCheck(i);
  }
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(icons[i].Create(u"", WS_VISIBLE, CRect(10 + 35 * i, 110, 26 + 35 * i, 130), &parent, 40 + i));
    icons[i].SetIconSize(16, 20);
    icons[i].SetIcon(135);
    icons[i].SetPushedIcon(136);
  }
  icons[1].SetState(TRUE);
  ASSERT_TRUE(toggle.Create(u"", WS_VISIBLE, CRect(80, 110, 107, 130), &parent, 50));
  toggle.SetIconSize(27, 20);
  toggle.SetIcon(137);
  CBasicButton narrow;
  ASSERT_TRUE(narrow.Create(u"", WS_VISIBLE, CRect(10, 180, 60, 203), &parent, 60));
  narrow.SetStringId(22, 37);
  pt::Pump();
  pt::SavePng(pt::GrabClient(parent), "owner-buttons.png");
  // The pushed text button is darker than the normal one; a disabled caption is grey.
  const auto normal = pt::GrabClient(basic[0]), pushed = pt::GrabClient(basic[1]);
  EXPECT_LT(GetRValue(pt::PixelAt(pushed, 50, 4)), GetRValue(pt::PixelAt(normal, 50, 4)));
}
