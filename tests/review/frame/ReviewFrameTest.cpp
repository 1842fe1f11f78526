// The review frame on a scripted facade and a fake main frame: where it
// opens and how small it may get, the slots an opened image starts with, the
// pending record while the worker stops, slot choices, the adjustment palette
// following it (a real palette receiving the real frame) and what it stores
// when it closes.

#include "platform/testing/Headless.h"
#include "review/frame/ReviewWindowFixture.h"
#include "review/palettes/CInfoPalette.h"

#include <gtest/gtest.h>

namespace {

using namespace reviewtest;

TEST(ReviewFramePlacement, SavedRectangleIsMadeAtLeast920By600AndMovedOntoTheScreen) {
  struct Case {
    CRect saved;
    CRect expected;
  } cases[] = {
      {{0, 0, 0, 0}, {0, 0, 920, 600}},                     // first start
      {{100, 50, 1300, 950}, {100, 50, 1300, 950}},         // fits as it is
      {{-40, -10, 960, 700}, {0, 0, 1000, 710}},            // pulled right and down
      {{1500, 900, 2500, 1600}, {920, 380, 1920, 1080}},    // pulled back left and up
      {{10, 10, 2500, 1500}, {0, 0, 2490, 1490}},           // larger than the screen: at 0
      {{300, 200, 400, 300}, {300, 200, 1220, 800}},        // widened and heightened
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CReviewFrame::PlaceFromSettings(c.saved, 1920, 1080), c.expected) << c.saved;
  }
}

TEST(ReviewFramePlacement, DraggingBelowTheMinimumMovesTheDraggedEdgeBack) {
  struct Case {
    UINT edge;
    RECT dragged;
    RECT expected;
  } cases[] = {
      {WMSZ_LEFT, {300, 0, 1000, 700}, {80, 0, 1000, 700}},
      {WMSZ_RIGHT, {300, 0, 1000, 700}, {300, 0, 1220, 700}},
      {WMSZ_BOTTOMLEFT, {300, 0, 1000, 500}, {80, 0, 1000, 600}},
      {WMSZ_TOPRIGHT, {0, 200, 1000, 700}, {0, 100, 1000, 700}},
      {WMSZ_BOTTOM, {0, 200, 1000, 700}, {0, 200, 1000, 800}},
      {WMSZ_TOP, {0, 0, 950, 650}, {0, 0, 950, 650}},
  };
  for (const Case& c : cases) {
    RECT rect = c.dragged;
    CReviewFrame::EnforceMinimumTrackSize(c.edge, &rect);
    EXPECT_EQ(CRect(rect), CRect(c.expected)) << "edge " << c.edge;
  }
}

class ReviewFrameTest : public ReviewWindowTest {};

TEST_F(ReviewFrameTest, TheFirstWindowTakesTheSavedPlaceALaterOneOnlyItsSize) {
  m_App.GetSettings()->m_rcReviewWindow = {100, 80, 1100, 780};
  CReviewFrame* first = NewFrame();
  CReviewFrame* second = NewFrame();
  ASSERT_TRUE(first && second);
  CRect a, b;
  first->GetWindowRect(a);
  second->GetWindowRect(b);
  EXPECT_EQ(a, CRect(100, 80, 1100, 780));
  EXPECT_EQ(b.Size(), a.Size());
  EXPECT_NE(b.TopLeft(), a.TopLeft()) << "a later window does not cover the first exactly";
}

TEST_F(ReviewFrameTest, OpeningAnImageFillsSlotsFromTheCustomSettingsAndTheCacheThenDevelops) {
  CAppSettings& settings = *m_App.GetSettings();
  settings.m_nKVRFilterMode = 3;
  settings.m_KVRFilterData.m_nExposure = 70;
  settings.m_KVRFilterData.m_nWhiteBalance = 4; // a file's own choice never travels to the next
  services.cachedExposure[u"/pictures/a.kvr"] = 25;
  settings.m_nInitialReviewMode = 1; // colour-managed display
  CReviewFrame* frame = NewFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->IsColorManaged());
  Open(frame, u"/pictures/a.kvr");
  EXPECT_FALSE(frame->IsColorManaged()) << "a picture without a profile switches it off";
  EXPECT_EQ(frame->GetCurrentSlot(), 3) << "the raw slot mode";
  EXPECT_EQ(frame->GetView()->GetProgress(), 10);
  EXPECT_EQ(std::u16string(frame->GetWindowText()), Text(2000) + u"a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  std::unique_ptr<CET_FilterData> custom(frame->GetSlotSettings(3));
  std::unique_ptr<CET_FilterData> cached(frame->GetSlotSettings(2));
  ASSERT_TRUE(custom && cached);
  EXPECT_EQ(custom->m_nExposure, 70);
  EXPECT_EQ(dynamic_cast<CKVR_FilterData*>(custom.get())->m_nWhiteBalance, 2) << "the file's own, from the worker";
  EXPECT_EQ(cached->m_nExposure, 25);
  EXPECT_EQ(services.lastDevelopedExposure, 70) << "developed with slot 3";
  int index = -1, count = -1;
  frame->GetView()->GetImagePosition(&index, &count);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(count, 3);
  // The raw custom settings keep their values but not the last file's choices.
  frame->DestroyReviewFrame();
  EXPECT_EQ(settings.m_KVRFilterData.m_nExposure, 70);
  EXPECT_EQ(settings.m_KVRFilterData.m_nWhiteBalance, -1);

  // A still picture starts from the picture settings and slot mode.
  settings.m_nJTFilterMode = 2;
  CReviewFrame* jpeg = NewFrame();
  Open(jpeg, u"/pictures/c.jpg");
  EXPECT_EQ(jpeg->GetCurrentSlot(), 2);
  ASSERT_TRUE(WaitReady(jpeg));
}

TEST_F(ReviewFrameTest, ANewImageDuringTheStopStaysPendingAndOpensOnceTheWorkerEnded) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  // A change of slot starts a development that is held; while its worker is
  // being stopped for another change, the user moves to the next image.
  services.holdDevelop = true;
  frame->SelectSlot(2, nullptr, FALSE);
  ASSERT_TRUE(PumpUntil([&] { return services.developing.load(); }));
  // The frame's next-image request arrives inside the stop's message loop:
  // the view cannot take the image then.
  frame->PostMessage(WM_COMMAND, ID_REVIEW_NEXT);
  frame->SelectSlot(1, nullptr, FALSE); // stops the held worker, pumping
  services.holdDevelop = false;
  const bool nested = frame->HasPendingImage();
  EXPECT_EQ(frame->GetImagePath(), FString(u"/pictures/b.kvr")) << "the title and path follow at once";
  ASSERT_TRUE(PumpUntil([&] { return !frame->HasPendingImage(); })) << "the pending image opens once the worker ended";
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_TRUE(nested) << "the record was pending while the first stop ran";
  int index = -1;
  frame->GetView()->GetImagePosition(&index, nullptr);
  EXPECT_EQ(index, 1);
  std::unique_ptr<CTLM_ThumbnailData> shown(frame->GetThumbnailRecord(nullptr));
  EXPECT_EQ(shown->m_Path, FString(u"/pictures/b.kvr"));
}

TEST_F(ReviewFrameTest, SlotChoicesCopyIntoTheCustomSlotAndTheCustomSettings) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  CKVR_FilterData preset;
  preset.m_nExposure = 120;
  preset.m_strName = FString(u"Bright");
  frame->SelectSlot(3, &preset, FALSE);
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(services.lastDevelopedExposure, 120);
  CET_FilterData custom;
  frame->GetCustomSettings(&custom);
  EXPECT_EQ(custom.m_nExposure, 120);
  EXPECT_EQ(custom.m_strName, FString(u"Bright"));

  // Slot 1 leaves both alone; slot 4 without settings takes slot 3 from them.
  frame->SelectSlot(1, nullptr, FALSE);
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(services.lastDevelopedExposure, 0);
  frame->SelectSlot(4, nullptr, FALSE);
  ASSERT_TRUE(WaitReady(frame));
  std::unique_ptr<CET_FilterData> slot3(frame->GetSlotSettings(3));
  EXPECT_EQ(slot3->m_nExposure, 120);
  EXPECT_EQ(frame->GetCurrentSlot(), 4);
}

TEST_F(ReviewFrameTest, TheAdjustmentPaletteFollowsTheRealFrameAndItsChangesDevelopAgain) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  frame->ToggleAdjustPalette();
  CAdjustPalette* palette = CAdjustPalette::GetInstance();
  ASSERT_NE(palette, nullptr);
  pt::Pump();
  EXPECT_EQ(palette->GetFrame(), static_cast<IAdjustPaletteFrame*>(frame));
  EXPECT_EQ(palette->GetPath(), FString(u"/pictures/a.kvr"));
  EXPECT_EQ(palette->GetSlot(), 1);

  // An edit in the palette comes back as custom settings and develops.
  palette->GetSettings()->m_nExposure = 90;
  palette->SendCustomSettings();
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetCurrentSlot(), 3);
  EXPECT_EQ(services.lastDevelopedExposure, 90);
  EXPECT_EQ(palette->GetSlot(), 3);
  EXPECT_EQ(palette->IsModified(), 1) << "slot 3 differs from the file's settings";

  // Slot 4 is reported to the palette as slot 3.
  frame->SelectSlot(4, nullptr, TRUE);
  EXPECT_EQ(palette->GetSlot(), 3);

  // The visible part goes over as fractions of the image once it is ready.
  frame->SetVisibleRect(FDoubleRect(300, 500, 1500, 2000));
  const FDoubleRect visible = frame->GetVisibleRect();
  std::unique_ptr<CTLM_ThumbnailData> record(frame->GetThumbnailRecord(nullptr));
  ASSERT_GT(record->m_Width, 0);
  EXPECT_DOUBLE_EQ(visible.left, 300.0 / record->m_Width);
  EXPECT_DOUBLE_EQ(visible.bottom, 2000.0 / record->m_Height);

  // A frame that goes is forgotten by the palette.
  frame->DestroyReviewFrame();
  pt::Pump();
  EXPECT_EQ(palette->GetFrame(), nullptr);
}

TEST_F(ReviewFrameTest, ClosingStoresTheReviewValuesAndThePaletteStateOfTheLastWindow) {
  CWnd main;
  ASSERT_TRUE(main.CreateEx(0, u"Main", u"", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  host.main = &main;
  CAppSettings& settings = *m_App.GetSettings();
  settings.m_nLoupeMode = 1;
  settings.m_nLoupeScale = 0; // a damaged value: the loupe works at step 1
  settings.m_nRulerMode = 1;
  CReviewFrame* first = NewFrame();
  CReviewFrame* second = NewFrame();
  Open(first, u"/pictures/a.kvr");
  Open(second, u"/pictures/c.jpg");
  ASSERT_TRUE(WaitReady(first) && WaitReady(second));
  int step = 0;
  EXPECT_TRUE(first->GetView()->GetLoupe(&step));
  EXPECT_EQ(step, 1);
  first->ToggleAdjustPalette();
  first->GetView()->SetLoupe(TRUE, 5);
  first->GetView()->SetClipWarning(TRUE, 2, 10, 240);

  EXPECT_TRUE(second->DestroyReviewFrame());
  EXPECT_EQ(settings.m_nOpenAdjustPalette, 0) << "not the last window";
  EXPECT_NE(CAdjustPalette::GetInstance(), nullptr);
  EXPECT_TRUE(first->DestroyReviewFrame());
  EXPECT_EQ(settings.m_nOpenAdjustPalette, 1);
  EXPECT_EQ(CAdjustPalette::GetInstance(), nullptr) << "the last window closes the palette";
  EXPECT_EQ(settings.m_nLoupeMode, 1);
  EXPECT_EQ(settings.m_nLoupeScale, 5);
  EXPECT_EQ(settings.m_nRulerMode, 1);
  EXPECT_EQ(settings.m_nDispWarn, 1);
  EXPECT_EQ(settings.m_nHistType, 2);
  EXPECT_EQ(settings.m_byShadow, 10);
  EXPECT_EQ(settings.m_byHighLight, 240);
  EXPECT_EQ(CRect(settings.m_rcReviewWindow).Size(), CSize(920, 600));
  EXPECT_TRUE(host.frames.empty());
  main.DestroyWindow();
}

TEST_F(ReviewFrameTest, ACloseRefusedWhileAStopIsUnderWayClosesOnceTheWorkerEnded) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  services.holdDevelop = true;
  frame->SelectSlot(2, nullptr, FALSE);
  ASSERT_TRUE(PumpUntil([&] { return services.developing.load(); }));
  // The close arrives inside the stop's message loop: refused, then pending.
  frame->PostMessage(WM_CLOSE);
  frame->SelectSlot(1, nullptr, FALSE);
  services.holdDevelop = false;
  ASSERT_TRUE(PumpUntil([&] { return host.frames.empty(); })) << "the frame closed after its worker";
  EXPECT_EQ(host.reorders.back().second, 2);
}

TEST_F(ReviewFrameTest, TheMenuOffersOnlyWhatTheWindowCanDo) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  ASSERT_TRUE(WaitReady(frame));
  const auto state = [](const pt::ShownMenu& menu, UINT id) {
    for (const pt::ShownMenuItem& item : menu) {
      if (item.id == id) return item.state;
    }
    return 0xFFFFFFFFu;
  };
  const pt::ShownMenu file = pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 0);
  EXPECT_EQ(state(file, ID_REVIEW_CLOSE) & MF_GRAYED, 0u);
  EXPECT_NE(state(file, ID_REVIEW_SAVE) & MF_GRAYED, 0u) << "not built yet: disabled";
  EXPECT_EQ(state(file, ID_REVIEW_INFO_PALETTE) & MF_GRAYED, 0u);
  const pt::ShownMenu view = pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 2);
  EXPECT_NE(state(view, ID_REVIEW_PREVIOUS) & MF_GRAYED, 0u) << "the first file";
  EXPECT_EQ(state(view, ID_REVIEW_NEXT) & MF_GRAYED, 0u);
  const pt::ShownMenu settings = pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 3);
  EXPECT_NE(state(settings, ID_REVIEW_AS_SHOT) & MF_CHECKED, 0u) << "the current slot is checked";
  // The information palette opens on the window's image, then closes again.
  pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 0, ID_REVIEW_INFO_PALETTE);
  EXPECT_NE(CInfoPalette::GetInstance(), nullptr);
  frame->ToggleInfoPalette();
  EXPECT_EQ(CInfoPalette::GetInstance(), nullptr);
  // The close command closes the window.
  pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 0, ID_REVIEW_CLOSE);
  EXPECT_TRUE(PumpUntil([&] { return host.frames.empty(); }));
}

} // namespace
