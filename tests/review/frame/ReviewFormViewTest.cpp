// The review view on a scripted facade: its controls for raw and other
// files, the zoom, loupe and position labels and buttons, the wheel, the
// settings choice, the progress bands, the quick picture's order, results
// that fail, the resize re-development, the loupe's regions and the
// grey-point pick.

#include "platform/testing/Headless.h"
#include "review/frame/ReviewWindowFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace reviewtest;
using namespace ReviewView;

class ReviewFormViewTest : public ReviewWindowTest {
protected:
  CReviewFrame* OpenReady(const char16_t* path) {
    CReviewFrame* frame = NewFrame();
    if (!frame) return nullptr;
    Open(frame, path);
    EXPECT_TRUE(WaitReady(frame));
    return frame;
  }
  static HWND ViewOf(CReviewFrame* frame) { return frame->GetView()->GetSafeHwnd(); }
  static bool Enabled(CReviewFrame* frame, int id) { return IsWindowEnabled(Item(ViewOf(frame), id)) != FALSE; }
  static bool Visible(CReviewFrame* frame, int id) { return IsWindowVisible(Item(ViewOf(frame), id)) != FALSE; }
  // The grey level of the pane's picture away from its red quarter.
  static int ShownLevel(CReviewFrame* frame) {
    const CET_Dib& picture = frame->GetView()->GetPane().GetPicture();
    return picture.IsValid() ? GetGValue(picture.GetPixel(picture.GetWidth() - 1, 0)) : -1;
  }
};

TEST_F(ReviewFormViewTest, RawAndOtherFilesShowTheirOwnControls) {
  CReviewFrame* raw = OpenReady(u"/pictures/a.kvr");
  CReviewFrame* jpeg = OpenReady(u"/pictures/c.jpg");
  ASSERT_TRUE(raw && jpeg);
  EXPECT_TRUE(Visible(raw, kWriteSettings));
  EXPECT_FALSE(Visible(raw, kSavePicture));
  EXPECT_TRUE(Visible(raw, kPresetList));
  EXPECT_EQ(PlaceOf(ViewOf(raw), kSlotBar).top, 2);
  EXPECT_EQ(Caption(ViewOf(raw), kSlotLabels[0]), Text(2006));
  EXPECT_FALSE(Visible(jpeg, kWriteSettings));
  EXPECT_TRUE(Visible(jpeg, kSavePicture));
  EXPECT_FALSE(Visible(jpeg, kPresetList));
  EXPECT_EQ(PlaceOf(ViewOf(jpeg), kSlotBar).top, 18) << "16 pixels lower";
  EXPECT_EQ(Caption(ViewOf(jpeg), kSlotLabels[0]), Text(2007));
  // The pane fills the client below the information line.
  const CSize client = ClientSize(ViewOf(raw));
  const CRect pane = PlaceOf(ViewOf(raw), static_cast<int>(kPaneId));
  EXPECT_EQ(pane.TopLeft(), CPoint(10, 100));
  EXPECT_LE(pane.right, client.cx - 10);
  EXPECT_LE(pane.bottom, client.cy - 10);
  // An image without shooting information: its name and size only.
  EXPECT_EQ(Caption(ViewOf(raw), kInfoLine), u"a.kvr 3.00MB");
}

TEST_F(ReviewFormViewTest, ZoomAndLoupeLabelsAndButtonsFollowTheirSteps) {
  CReviewFrame* frame = NewFrame();
  Open(frame, u"/pictures/a.kvr");
  EXPECT_FALSE(Enabled(frame, kZoomIn)) << "disabled until the first result";
  EXPECT_EQ(Caption(ViewOf(frame), kZoomLabel), u"");
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_TRUE(Enabled(frame, kZoomIn));
  CReviewFormView* view = frame->GetView();
  view->SetZoomIndex(CReviewImageWnd::kActualSizeStep);
  EXPECT_EQ(Caption(ViewOf(frame), kZoomLabel), u"100 %");
  view->SetZoomIndex(10);
  EXPECT_EQ(Caption(ViewOf(frame), kZoomLabel), u"50.0 %");

  view->SetLoupe(FALSE, 1);
  EXPECT_FALSE(Enabled(frame, kLoupeSmaller));
  EXPECT_FALSE(Enabled(frame, kLoupeLarger));
  view->SetLoupe(TRUE, 8);
  EXPECT_EQ(Caption(ViewOf(frame), kLoupeLabel), u"800 %");
  ClickItem(ViewOf(frame), kLoupeLarger);
  int step = 0;
  view->GetLoupe(&step);
  EXPECT_EQ(step, 8) << "no step beyond 8";
  view->SetLoupe(TRUE, 1);
  ClickItem(ViewOf(frame), kLoupeSmaller);
  view->GetLoupe(&step);
  EXPECT_EQ(step, 1) << "no step below 1";
  ClickItem(ViewOf(frame), kLoupeLarger);
  view->GetLoupe(&step);
  EXPECT_EQ(step, 2);
  ClickItem(ViewOf(frame), kLoupe);
  EXPECT_FALSE(view->GetLoupe(nullptr));
}

TEST_F(ReviewFormViewTest, PositionLabelAndPreviousNextButtons) {
  CReviewFrame* frame = OpenReady(u"/pictures/a.kvr");
  CReviewFormView* view = frame->GetView();
  struct Case {
    int index, count;
    bool previous, next;
    std::u16string label;
  } cases[] = {{0, 1, false, false, u"1 / 1"},
               {0, 3, false, true, u"1 / 3"},
               {2, 3, true, false, u"3 / 3"},
               {1, 3, true, true, u"2 / 3"}};
  for (const Case& c : cases) {
    view->SetImagePosition(c.index, c.count);
    EXPECT_EQ(Enabled(frame, kPrevious), c.previous) << c.index << " of " << c.count;
    EXPECT_EQ(Enabled(frame, kNext), c.next) << c.index << " of " << c.count;
    EXPECT_EQ(Caption(ViewOf(frame), kPositionLabel), c.label);
  }
  // Next opens the browser's next still picture.
  view->SetImagePosition(0, 3);
  ClickItem(ViewOf(frame), kNext);
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetImagePath(), FString(u"/pictures/b.kvr"));
  EXPECT_EQ(Caption(ViewOf(frame), kPositionLabel), u"2 / 3");
}

TEST_F(ReviewFormViewTest, TheWheelScrollsOrZoomsOnlyOnceTheImageIsReady) {
  CReviewFrame* frame = NewFrame();
  services.holdDevelop = true;
  Open(frame, u"/pictures/a.kvr");
  CReviewFormView* view = frame->GetView();
  const auto wheel = [&](UINT keys, short delta) {
    view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(delta)), 0);
    pt::Pump();
  };
  wheel(MK_CONTROL, 120);
  EXPECT_EQ(view->GetZoomIndex(), -1) << "ignored before the first result";
  services.holdDevelop = false;
  ASSERT_TRUE(WaitReady(frame));
  wheel(MK_CONTROL | MK_SHIFT, 120);
  EXPECT_EQ(view->GetZoomIndex(), -1) << "Shift with Control does nothing";
  wheel(MK_CONTROL, 120);
  const int larger = view->GetZoomIndex();
  EXPECT_GE(larger, 0);
  wheel(MK_CONTROL, -120);
  EXPECT_EQ(view->GetZoomIndex(), larger - 1);
}

TEST_F(ReviewFormViewTest, TheSettingsChoiceSelectsSlots) {
  CReviewFrame* frame = OpenReady(u"/pictures/a.kvr");
  CReviewFormView* view = frame->GetView();
  CKVR_FilterData preset;
  preset.m_nExposure = 60;
  preset.m_strName = FString(u"Warm");
  view->OnPresetAdded(&preset, FALSE);
  const HWND hwnd = ViewOf(frame);

  view->SendMessage(WM_APP_RADIOBAR_CLICKED, kSlotBar, 1);
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetCurrentSlot(), 2);
  view->SendMessage(WM_APP_RADIOBAR_CLICKED, 999, 0);
  EXPECT_EQ(frame->GetCurrentSlot(), 2) << "another control's message";

  auto* combo = dynamic_cast<CComboBoxBase*>(CWnd::FromHandle(Item(hwnd, kPresetList)));
  ASSERT_NE(combo, nullptr);
  combo->SetCurSel(1); // the preset after the user-setting entry
  ASSERT_EQ(combo->GetCurSel(), 1) << combo->GetCount();
  view->SendMessage(WM_COMMAND, MAKEWPARAM(kPresetList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo->GetSafeHwnd()));
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetCurrentSlot(), 3);
  EXPECT_EQ(services.lastDevelopedExposure, 60);
  combo->SetCurSel(0); // the user setting: slot 4, the custom settings kept
  view->SendMessage(WM_COMMAND, MAKEWPARAM(kPresetList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo->GetSafeHwnd()));
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetCurrentSlot(), 4);
  EXPECT_EQ(services.lastDevelopedExposure, 0);
  CET_FilterData custom;
  frame->GetCustomSettings(&custom);
  EXPECT_EQ(custom.m_nExposure, 60);
}

TEST_F(ReviewFormViewTest, ProgressBandsOfTheFirstAndLaterDevelopments) {
  CReviewFrame* frame = NewFrame();
  CReviewFormView* view = frame->GetView();
  // The development reports 50 % while held: the bar shows base + 50 % of its span.
  const auto heldAt = [&](const std::function<void()>& start) {
    services.holdDevelop = true;
    start();
    EXPECT_TRUE(PumpUntil([&] { return services.developing.load() && view->GetProgress() > 10; }));
    const int shown = view->GetProgress();
    services.holdDevelop = false;
    EXPECT_TRUE(WaitReady(frame));
    return shown;
  };
  EXPECT_EQ(heldAt([&] { Open(frame, u"/pictures/a.kvr"); }), 82) << "first development: 65 to 100";
  EXPECT_EQ(heldAt([&] { frame->SelectSlot(1, nullptr, FALSE); }), 55) << "the slots known: 10 to 100";
  auto record = FakeHost::Record(FString(u"/pictures/a.kvr"));
  EXPECT_EQ(heldAt([&] { frame->ReloadImage(record.get()); }), 77) << "automatic step again: 55 to 100";
  EXPECT_EQ(view->GetProgress(), 0) << "a finished development empties the bar";
}

TEST_F(ReviewFormViewTest, QuickPictureComesFromThePreviewThenAPreviewDevelopmentThenTheThumbnail) {
  struct Case {
    bool embedded, engineBusy;
    int level, previewDevelops;
  } cases[] = {{true, false, 70, 0}, {false, false, 80, 1}, {false, true, 30, 0}};
  for (const Case& c : cases) {
    services.embeddedPreview = c.embedded;
    services.previewDevelops = 0;
    CReviewFrame* frame = NewFrame();
    if (c.engineBusy) services.engine.lock();
    Open(frame, u"/pictures/a.kvr");
    EXPECT_EQ(ShownLevel(frame), c.level) << "embedded " << c.embedded << " busy " << c.engineBusy;
    EXPECT_EQ(services.previewDevelops, c.previewDevelops);
    if (c.engineBusy) services.engine.unlock();
    ASSERT_TRUE(WaitReady(frame));
    frame->DestroyReviewFrame();
  }
}

TEST_F(ReviewFormViewTest, AFailedDevelopmentIsReportedAndClosesTheWindow) {
  services.developFails = true;
  CReviewFrame* frame = NewFrame();
  int messages = 0;
  pt::OnNextModal([&](HWND dialog) {
    ++messages;
    EndDialog(dialog, 11);
  });
  Open(frame, u"/pictures/a.kvr");
  EXPECT_TRUE(PumpUntil([&] { return host.frames.empty(); })) << "the window closes after the message";
  EXPECT_EQ(messages, 1);
}

TEST_F(ReviewFormViewTest, ResizingDevelopsAgainOnlyAfterHalfASecondOfQuiet) {
  CReviewFrame* frame = OpenReady(u"/pictures/a.kvr");
  const int before = services.developments;
  CRect window;
  frame->GetWindowRect(window);
  frame->MoveWindow(CRect(window.left, window.top, window.right + 200, window.bottom + 100));
  pt::AdvanceTime(300);
  frame->MoveWindow(CRect(window.left, window.top, window.right + 300, window.bottom + 150));
  pt::AdvanceTime(499);
  EXPECT_EQ(services.developments, before) << "still resizing";
  pt::AdvanceTime(2);
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(services.developments, before + 1);
}

TEST_F(ReviewFormViewTest, TheLoupeRegionIsRenderedOnlyWhenNothingWaits) {
  CReviewFrame* frame = OpenReady(u"/pictures/a.kvr");
  CReviewFormView* view = frame->GetView();
  COLORREF colour = 0;
  std::unique_ptr<CET_Dib> region(view->RenderRegion(1000, 500, 1080, 580, 1040, 540, &colour));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->GetWidth(), 80);
  EXPECT_EQ(GetRValue(colour), 100) << "the pixel under the cursor, from the region";
  region.reset(view->RenderRegion(1000, 500, 1080, 580, 1200, 540, &colour));
  EXPECT_EQ(static_cast<int>(colour), -1) << "a point outside the region";

  host.loading = true;
  EXPECT_EQ(view->RenderRegion(0, 0, 10, 10, 5, 5, nullptr), nullptr) << "the browser loads thumbnails";
  host.loading = false;
  services.engine.lock();
  const int renders = services.regionRenders;
  EXPECT_EQ(view->RenderRegion(0, 0, 10, 10, 5, 5, nullptr), nullptr) << "the engine is busy: no wait";
  EXPECT_EQ(services.regionRenders, renders);
  services.engine.unlock();
  services.holdDevelop = true;
  frame->SelectSlot(2, nullptr, FALSE);
  EXPECT_EQ(view->RenderRegion(0, 0, 10, 10, 5, 5, nullptr), nullptr) << "a worker runs";
  services.holdDevelop = false;
  ASSERT_TRUE(WaitReady(frame));
}

TEST_F(ReviewFormViewTest, AStillPicturesLoupeAndGreyPointUseTheShownPicture) {
  CReviewFrame* frame = OpenReady(u"/pictures/c.jpg");
  CReviewFormView* view = frame->GetView();
  CKVR_FilterData darker;
  darker.m_nExposure = -100;
  frame->SelectSlot(3, &darker, FALSE);
  ASSERT_TRUE(WaitReady(frame));
  frame->SelectSlot(1, nullptr, FALSE);
  ASSERT_TRUE(WaitReady(frame));
  COLORREF colour = 0;
  std::unique_ptr<CET_Dib> region(view->RenderRegion(300, 100, 340, 140, 320, 120, &colour));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(GetGValue(colour), 120) << "slot 1 shows the decoded picture, unadjusted";

  // A click in grey-point mode: a grey patch makes custom settings named
  // "custom"; the red quarter (no green or blue at all) changes nothing.
  view->SetGrayPointMode(TRUE);
  CET_ImageWndMsgData click;
  click.m_VisibleRect = FDoubleRect(0, 0, 400, 300);
  click.m_ImagePoint = FDoublePoint(20.0, 150.0);
  view->SendMessage(WM_APP_IMAGE_MOUSE, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(frame->GetCurrentSlot(), 1);
  click.m_ImagePoint = FDoublePoint(300.0, 150.0);
  view->SendMessage(WM_APP_IMAGE_MOUSE, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&click));
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetCurrentSlot(), 3);
  std::unique_ptr<CET_FilterData> custom(frame->GetSlotSettings(3));
  EXPECT_EQ(std::u16string(custom->m_strName.View()), Text(105));
  EXPECT_EQ(custom->m_nCyan, 0);
  EXPECT_EQ(custom->m_nMagenta, 0);
  EXPECT_EQ(custom->m_nYellow, 0);
}

TEST_F(ReviewFormViewTest, TurningTurnsTheShownPicturesAndDevelopsAgainOnlyInFitMode) {
  CReviewFrame* frame = OpenReady(u"/pictures/a.kvr");
  CReviewFormView* view = frame->GetView();
  const ReviewDevelopParam& job = view->Develop().Job();
  const int wide = job.developedPicture->GetWidth();
  const int high = job.developedPicture->GetHeight();

  view->SetZoomIndex(CReviewImageWnd::kActualSizeStep);
  ASSERT_TRUE(WaitReady(frame));
  const int before = services.developments;
  view->RotatePictures(TRUE);
  EXPECT_EQ(services.developments, before) << "a fixed zoom keeps the turned picture";
  EXPECT_EQ(job.imageSize.width, 2000);
  EXPECT_EQ(job.imageSize.height, 3000);

  view->SetZoomIndex(-1);
  ASSERT_TRUE(WaitReady(frame));
  const int fitted = services.developments;
  view->RotatePictures(FALSE);
  EXPECT_EQ(job.imageSize.width, 3000) << "turned back";
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(services.developments, fitted + 1) << "the turned picture needs another fit size";
  EXPECT_EQ(job.developedPicture->GetWidth(), wide);
  EXPECT_EQ(job.developedPicture->GetHeight(), high);

  // Before the first result the image opens again from scratch instead.
  services.holdDevelop = true;
  Open(frame, u"/pictures/b.kvr");
  view->RotatePictures(TRUE);
  services.holdDevelop = false;
  ASSERT_TRUE(WaitReady(frame));
  EXPECT_EQ(frame->GetImagePath(), FString(u"/pictures/b.kvr"));
  EXPECT_EQ(job.imageSize.width, 3000) << "nothing half-made was turned";
}

} // namespace
