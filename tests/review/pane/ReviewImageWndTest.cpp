#include "review/pane/CReviewImageWnd.h"
#include "review/pane/ReviewRegionSource.h"

#include "platform/testing/Headless.h"
#include "support/DibBuilder.h"
#include "toolkit/CET_PictCalc.h"
#include "toolkit/ToolkitTestWindows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace pt = platform::testing;

namespace {

constexpr UINT kImageMouse = WM_APP + 0x26;

// Picture pixel (x, y) of the test scene: a smooth ramp with a dark-red
// block at the top left (20..59, 20..59) and a light-grey one beside it.
COLORREF Scene(int x, int y) {
  if (x >= 20 && x < 60 && y >= 20 && y < 60) return RGB(200, 30, 40);
  if (x >= 80 && x < 120 && y >= 20 && y < 60) return RGB(200, 200, 200);
  return RGB((x * 255) / 400, (y * 255) / 200, 128);
}

// The view's part for the pane: a grey window that keeps the pane's
// notifications and renders loupe regions from its full-size picture.
class RegionView : public PlainParent, public IReviewRegionSource {
public:
  std::unique_ptr<CET_Dib> full = testsupport::MakeBottomUpDib(400, 200, Scene);
  bool busy = false;
  std::vector<CRect> asked;

  CET_Dib* RenderRegion(int left, int top, int right, int bottom, int x, int y, COLORREF* colour) override {
    asked.emplace_back(left, top, right, bottom);
    if (busy) return nullptr;
    *colour = static_cast<COLORREF>(full->GetPixel(x, y));
    return CET_PictCalc::CropDib(full.get(), CRect(left, top, right, bottom));
  }
};

struct PaneFixture : ::testing::Test {
  RegionView view;
  CReviewImageWnd pane;
  const CRect paneRect{10, 10, 230, 130}; // 220 x 120

  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(view.CreateAt(CRect(40, 40, 300, 200), RGB(60, 60, 60)));
    ASSERT_TRUE(pane.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, paneRect, &view, 1));
    pane.SetNotifyWnd(&view);
    pane.SetNotifyMessage(static_cast<int>(kImageMouse));
    pt::Pump();
  }
  void TearDown() override {
    pane.DestroyWindow();
    view.DestroyWindow();
    pt::Pump();
  }
  // The picture at half size (200 x 100) standing for the 400 x 200 image.
  void ShowHalfSize(BOOL fit = TRUE) {
    auto half = testsupport::MakeBottomUpDib(200, 100, [](int x, int y) { return Scene(2 * x, 2 * y); });
    pane.SetImage(half.get(), fit, 2.0, 0, 0);
  }
  CRect PaneInView() const {
    CRect r;
    pane.GetWindowRect(r);
    view.ScreenToClient(r);
    return r;
  }
  void PutCursor(CPoint client) {
    POINT screen = client;
    pane.ClientToScreen(&screen);
    pt::InputFrame frame;
    frame.cursor = screen;
    pt::Input().SetCurrent(frame);
  }
  pt::PixelImage Shot(const char* name) {
    pane.RedrawWindow();
    auto shot = pt::GrabClient(pane.m_hWnd);
    pt::SavePng(shot, name);
    return shot;
  }
};

} // namespace

TEST(ReviewZoomSteps, TableAndStepping) {
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(0), 1.0 / 12);
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(9), 1.0 / 3);
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(10), 0.5);
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(11), 1.0);
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(12), 2.0);
  EXPECT_DOUBLE_EQ(CReviewImageWnd::ZoomOfStep(26), 16.0);
  struct Case {
    int kind, step;
    double zoom;
    int next;
  };
  const Case cases[] = {
      {3, -1, 0.3, 9},   {4, -1, 0.3, 8},  {3, 26, 16, 26},  {4, 0, 1.0 / 12, 0}, {3, -1, 1.0 / 3, 10},
      {4, -1, 1.0 / 3, 8}, {3, -1, 20, 26}, {4, -1, 0.05, 0}, {3, 5, 1.0 / 7, 6},  {4, 12, 2, 11},
      {1, 12, 2, -1},    {2, -1, 0.3, 11}, {7, 12, 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CReviewImageWnd::NextZoomStep(c.kind, c.step, c.zoom), c.next)
        << "kind " << c.kind << " step " << c.step << " zoom " << c.zoom;
  }
}

TEST(ReviewRulerTicks, StepFollowsTheZoom) {
  for (auto [zoom, step] : {std::pair{2.0, 10}, {16.0, 10}, {1.0, 20}, {1.98, 20}, {0.5, 40}, {0.24, 40},
                            {0.2, 80}, {1.0 / 12, 80}}) {
    EXPECT_EQ(RulerTickStep(zoom), step) << zoom;
  }
}

TEST(ReviewLoupeLayout, CutAtThePictureEdges) {
  // Centre of the picture at x2: the full square, 40 pixels each way.
  LoupeLayout l = LayOutLoupe({100, 100}, {200, 100}, 400, 200, 160, 2);
  EXPECT_EQ(l.square, CRect(20, 20, 180, 180));
  EXPECT_EQ(l.source, CRect(160, 60, 240, 140));
  EXPECT_EQ(l.destination, CRect(20, 20, 180, 180));
  // Five pixels from the left edge at x4: 15 pixels cut, 60 screen pixels.
  l = LayOutLoupe({50, 50}, {5, 100}, 400, 200, 160, 4);
  EXPECT_EQ(l.source, CRect(0, 80, 25, 120));
  EXPECT_EQ(l.destination, CRect(30, -30, 130, 130));
  // An odd magnification leaves the square a little larger than its source.
  l = LayOutLoupe({0, 0}, {399, 199}, 400, 200, 320, 3);
  EXPECT_EQ(l.source, CRect(346, 146, 400, 200));
  EXPECT_EQ(l.destination, CRect(-159, -159, 3, 3));
  // Steps of 0 or beyond 8 (a damaged settings file) act as 1.
  for (int bad : {0, -2, 9}) {
    l = LayOutLoupe({100, 100}, {200, 100}, 400, 200, 240, bad);
    EXPECT_EQ(l.source, CRect(80, 0, 320, 200)) << bad;
  }
  EXPECT_EQ(LoupeSide(1), 240);
  EXPECT_EQ(LoupeSide(2), 320);
  EXPECT_EQ(LoupeSide(3), 160);
  EXPECT_EQ(LoupeSide(-1), 160);
}

TEST_F(PaneFixture, StartsFittedAndEmpty) {
  EXPECT_EQ(pane.GetZoomIndex(), -1);
  EXPECT_EQ(pane.GetBackgroundColor(), RGB(89, 89, 89));
  EXPECT_FALSE(pane.IsRulerOn());
  EXPECT_EQ(pane.GetLoupeMagnification(), 1);
  for (int type = 0; type < 3; ++type) EXPECT_FALSE(pane.GetBar(type).IsWindowVisible()) << type;
  pane.SetRuler(TRUE, FALSE);
  const auto shot = Shot("review-pane-empty.png"); // background and rulers only
  EXPECT_EQ(pt::PixelAt(shot, 100, 60), RGB(89, 89, 89));
  EXPECT_EQ(pt::PixelAt(shot, 100, 5), RGB(225, 225, 225));
}

TEST_F(PaneFixture, FitLeavesRoomForTheRulers) {
  ShowHalfSize();
  EXPECT_EQ(pane.GetImageRect(), CRect(0, 0, 400, 200));
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.55); // 220 x 110 in 220 x 120
  EXPECT_EQ(pane.GetOffset().y, 5.0);
  pane.SetRuler(TRUE, FALSE);
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.5); // 200 x 100 in 200 x 100
  EXPECT_EQ(pane.GetOffset().x, 0.0);
  EXPECT_EQ(pane.GetOffset().y, 0.0);
  EXPECT_EQ(pane.ImageToClient(CRect(0, 0, 400, 200)), CRect(20, 20, 220, 120));
  pane.SetRuler(FALSE, FALSE);
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.55);
  // Stepping from the fitted zoom, and back to fit.
  pane.StepZoom(3);
  EXPECT_EQ(pane.GetZoomIndex(), 11);
  pane.StepZoom(4);
  EXPECT_EQ(pane.GetZoomIndex(), 10);
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.5);
  pane.StepZoom(1);
  EXPECT_EQ(pane.GetZoomIndex(), -1);
  EXPECT_TRUE(pane.IsFitMode());
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.55);
  // The view resizes the pane: fitted again.
  pane.MoveWindow(CRect(0, 0, 100, 100));
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.25);
  EXPECT_EQ(pane.GetOffset().y, 25.0);
  // Too small for a pixel: the zoom stays usable.
  pane.MoveWindow(CRect(0, 0, 1, 0));
  EXPECT_GT(pane.GetZoom(), 0.0);
  EXPECT_TRUE(std::isfinite(pane.ClientToImage(CPoint(5, 5)).x));
}

TEST_F(PaneFixture, WarningPictureMarksClippedPixels) {
  ShowHalfSize();
  auto source = testsupport::MakeBottomUpDib(4, 2, [](int x, int) {
    return x == 0 ? RGB(255, 255, 255) : x == 1 ? RGB(0, 0, 0) : RGB(128, 128, 128);
  });
  CET_Dib empty;
  pane.ShowWarningImage(0, 250, 5, RGB(255, 0, 0), RGB(0, 0, 255), source.get(), &empty, 1.0, 0, 0);
  EXPECT_EQ(pane.GetImageRect(), CRect(0, 0, 400, 200)); // a base without a picture changes nothing
  pane.ShowWarningImage(0, 250, 5, RGB(255, 0, 0), RGB(0, 0, 255), source.get(), nullptr, 100.0, 0, 0);
  EXPECT_EQ(pane.GetImageRect(), CRect(0, 0, 400, 200)); // 4 x 2 at 100 pixels a pixel
  EXPECT_EQ(pane.GetPicture().GetPixel(0, 0), static_cast<int>(RGB(255, 0, 0)));
  EXPECT_EQ(pane.GetPicture().GetPixel(1, 0), static_cast<int>(RGB(0, 0, 255)));
  EXPECT_EQ(pane.GetPicture().GetPixel(2, 0), static_cast<int>(RGB(128, 128, 128)));
  EXPECT_DOUBLE_EQ(pane.GetZoom(), 0.55); // fitted as before
  pane.ShowWarningImage(0, 250, 5, RGB(255, 0, 0), RGB(0, 0, 255), source.get(), nullptr, 1.0, 40, 30);
  EXPECT_EQ(pane.GetImageRect(), CRect(0, 0, 40, 30));
}

TEST_F(PaneFixture, ConversionsRoundTripWithAndWithoutRulers) {
  ShowHalfSize();
  pane.SetZoomIndex(12); // x2
  for (BOOL rulers : {FALSE, TRUE}) {
    pane.SetRuler(rulers, FALSE);
    const double shift = rulers ? 20 : 0;
    const FDoublePoint offset = pane.GetOffset();
    const FDoublePoint image = pane.ClientToImage(CPoint(70, 50));
    EXPECT_DOUBLE_EQ(image.x, (70 - offset.x - shift) / 2) << rulers;
    const CRect client = pane.ImageToClient(CRect(100, 50, 110, 60));
    EXPECT_EQ(client.left, static_cast<int>(100 * 2 + offset.x + shift)) << rulers;
    const FDoubleRect there(30.5, 40.25, 90, 77);
    const FDoubleRect back = pane.ClientRectToImage(pane.ImageRectToClient(there, FALSE), FALSE);
    EXPECT_DOUBLE_EQ(back.left, there.left);
    EXPECT_DOUBLE_EQ(back.top, there.top);
    EXPECT_DOUBLE_EQ(back.right, there.right);
    EXPECT_DOUBLE_EQ(back.bottom, there.bottom);
    // Clipped to the picture one way, to the area right of and below the
    // rulers the other.
    const FDoubleRect all = pane.ClientRectToImage(FDoubleRect(-1000, -1000, 1000, 1000), TRUE);
    EXPECT_EQ(all.left, 0.0);
    EXPECT_EQ(all.right, 400.0);
    const FDoubleRect shown = pane.ImageRectToClient(FDoubleRect(0, 0, 400, 200), TRUE);
    EXPECT_EQ(shown.left, shift);
    EXPECT_EQ(shown.top, shift);
  }
}

TEST_F(PaneFixture, BarsAppearBesideThePaneAndGoAgain) {
  ShowHalfSize();
  const CRect before = PaneInView();
  pane.SetZoomIndex(11); // 400 x 200 in 220 x 120: both bars
  EXPECT_TRUE(pane.IsVScrollShown());
  EXPECT_TRUE(pane.IsHScrollShown());
  EXPECT_TRUE(pane.IsCornerBoxShown());
  const CRect shrunk = PaneInView();
  EXPECT_EQ(shrunk, CRect(before.left, before.top, before.right - 14, before.bottom - 14));
  for (int type = 0; type < 3; ++type) EXPECT_TRUE(pane.GetBar(type).IsWindowVisible()) << type;
  CRect bar;
  pane.GetBar(0).GetWindowRect(bar);
  view.ScreenToClient(bar);
  EXPECT_EQ(bar, CRect(shrunk.right, shrunk.top, shrunk.right + 14, shrunk.bottom));
  CRect outer;
  pane.GetOuterRect(&outer);
  EXPECT_EQ(outer, before);

  SCROLLINFO info{};
  info.fMask = SIF_ALL;
  ASSERT_TRUE(pane.GetScrollInfo(SB_HORZ, &info));
  EXPECT_EQ(info.nMax, 400);
  EXPECT_EQ(info.nPage, 206u);
  pane.SetRuler(TRUE, FALSE);
  ASSERT_TRUE(pane.GetScrollInfo(SB_HORZ, &info));
  EXPECT_EQ(info.nMax, 420); // the ruler band scrolls too

  // 200 wide at 1/2 fits across: the horizontal bar and the box go, the
  // pane grows back by 14 below.
  pane.SetRuler(FALSE, FALSE);
  auto tall = testsupport::MakeBottomUpDib(100, 300, [](int, int) { return RGB(10, 20, 30); });
  pane.SetImage(tall.get(), FALSE, 1.0, 0, 0);
  EXPECT_TRUE(pane.IsVScrollShown());
  EXPECT_FALSE(pane.IsHScrollShown());
  EXPECT_FALSE(pane.IsCornerBoxShown());
  EXPECT_FALSE(pane.GetBar(2).IsWindowVisible());
  EXPECT_EQ(PaneInView(), CRect(before.left, before.top, before.right - 14, before.bottom));

  pane.SetZoomIndex(-1);
  EXPECT_EQ(PaneInView(), before);
  ASSERT_TRUE(pane.GetScrollInfo(SB_VERT, &info));
  EXPECT_EQ(info.nMax, 0);
  EXPECT_EQ(info.nPage, 0u);

  // MoveOuter keeps the strips of the shown bars.
  pane.SetZoomIndex(11);
  pane.MoveOuter(CRect(0, 0, 150, 100));
  EXPECT_EQ(PaneInView(), CRect(0, 0, 136, 100));
  pane.GetBar(0).GetWindowRect(bar);
  view.ScreenToClient(bar);
  EXPECT_EQ(bar, CRect(136, 0, 150, 100));
}

TEST_F(PaneFixture, ClampWithRulersKeepsTheBandsClear) {
  ShowHalfSize();
  pane.SetRuler(TRUE, FALSE);
  pane.SetZoomIndex(11); // 400 x 200 against the 206 - 20 x 106 - 20 area
  CRect client;
  pane.GetClientRect(client);
  pane.ScrollTo(1000, 1000);
  pane.ClampScroll(FALSE);
  EXPECT_EQ(pane.GetOffset().x, client.Width() - 20 - 400.0);
  EXPECT_EQ(pane.GetOffset().y, client.Height() - 20 - 200.0);
  pane.ScrollTo(0, 0);
  pane.ClampScroll(FALSE);
  EXPECT_EQ(pane.GetOffset().x, 0.0);
  // A picture smaller than the area moves to the centre only when asked.
  pane.SetZoomIndex(8); // 100 x 50: the bars go
  pane.GetClientRect(client);
  EXPECT_EQ(client.Width(), 220);
  const double centred = (client.Width() - 20 - 100) / 2.0;
  EXPECT_EQ(pane.GetOffset().x, centred);
  pane.ScrollTo(3, -1);
  pane.ClampScroll(FALSE);
  EXPECT_EQ(pane.GetOffset().x, -3.0);
  pane.ClampScroll(TRUE);
  EXPECT_EQ(pane.GetOffset().x, centred);
}

TEST_F(PaneFixture, ScrollToRelativeRect) {
  ShowHalfSize();
  pane.SetZoomIndex(12); // 800 x 400
  pane.ScrollToRelativeRect(FDoubleRect(0.25, 0.5, 0.3, 0.6));
  FDoublePoint corner = pane.ClientToImage(CPoint(0, 0));
  EXPECT_DOUBLE_EQ(corner.x, 100.0);
  EXPECT_DOUBLE_EQ(corner.y, 100.0);
  // Reaching the far edges: right- and bottom-aligned.
  pane.ScrollToRelativeRect(FDoubleRect(0.8, 0.9, 1.0, 1.0));
  CRect client;
  pane.GetClientRect(client);
  EXPECT_EQ(pane.GetOffset().x, client.Width() - 800.0);
  EXPECT_EQ(pane.GetOffset().y, client.Height() - 400.0);
  // Past the picture: clamped to its start.
  pane.ScrollToRelativeRect(FDoubleRect(-0.5, -0.5, 0.1, 0.1));
  EXPECT_EQ(pane.GetOffset().x, 0.0);
  EXPECT_EQ(pane.GetOffset().y, 0.0);
}

TEST_F(PaneFixture, LoupeStepFromDamagedSettingsActsAsOne) {
  ShowHalfSize();
  for (int bad : {0, -1, 9, 1000}) {
    pane.SetLoupe(TRUE, bad);
    EXPECT_EQ(pane.GetLoupeMagnification(), 1) << bad;
  }
  pane.SetLoupe(TRUE, 8);
  EXPECT_EQ(pane.GetLoupeMagnification(), 8);
  pane.SetLoupe(FALSE, 0); // off keeps the step
  EXPECT_EQ(pane.GetLoupeMagnification(), 8);
  pane.SetLoupe(TRUE, 0);
  PutCursor({100, 60});
  pane.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(100, 60));
  ASSERT_FALSE(view.asked.empty());
  EXPECT_EQ(view.asked.back().Width(), 160);
}

TEST_F(PaneFixture, DragPansAndScrollsNotifyTheView) {
  ShowHalfSize();
  pane.SetZoomIndex(11);
  pane.ScrollTo(0, 0);
  PutCursor({100, 50});
  POINT screen{100, 50};
  pane.ClientToScreen(&screen);
  std::vector<pt::InputFrame> frames;
  for (POINT d : {POINT{-30, -10}, POINT{-60, -20}}) {
    pt::InputFrame f;
    f.cursor = {screen.x + d.x, screen.y + d.y};
    f.left = true;
    frames.push_back(f);
  }
  pt::ScriptInput(frames);
  pane.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50));
  EXPECT_TRUE(pane.IsPanning());
  EXPECT_EQ(pane.GetOffset().x, -60.0);
  EXPECT_EQ(pane.GetOffset().y, -20.0);
  pane.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(40, 30));
  EXPECT_FALSE(pane.IsPanning());

  // A bar's request scrolls, then the view hears of it by a posted note.
  pt::Pump();
  view.messages.clear();
  pane.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  EXPECT_EQ(pane.GetOffset().x, -61.0);
  EXPECT_TRUE(view.messages.empty());
  pt::Pump();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].first, kImageMouse);
  EXPECT_EQ(view.messages[0].second.first, static_cast<WPARAM>(WM_HSCROLL));

  // The pane's own cursors: an open hand where it can be dragged, the
  // grey-point cursor while picking, in which mode the button does not pan.
  const auto askCursor = [&] {
    pane.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(pane.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  };
  askCursor();
  EXPECT_TRUE(pt::CursorVisible(pane.m_hWnd));
  EXPECT_EQ(pt::ShownStandardCursor(pane.m_hWnd), 0);
  pane.SetGrayPointMode(TRUE);
  askCursor();
  EXPECT_TRUE(pt::CursorVisible(pane.m_hWnd));
  EXPECT_EQ(pt::ShownStandardCursor(pane.m_hWnd), 0);
  pane.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50));
  EXPECT_FALSE(pane.IsPanning());
  pane.SetGrayPointMode(FALSE);
  pane.SetZoomIndex(-1); // nothing to drag: the arrow
  askCursor();
  EXPECT_EQ(pt::ShownStandardCursor(pane.m_hWnd), 32512);
}

TEST_F(PaneFixture, RendersFittedAndActualSizeWithRulers) {
  ShowHalfSize();
  auto shot = Shot("review-pane-fit.png");
  EXPECT_EQ(pt::PixelAt(shot, 100, 2), RGB(89, 89, 89)); // above the fitted picture
  EXPECT_EQ(pt::PixelAt(shot, 22, 25), RGB(200, 30, 40)); // the red block at (40, 40) x 0.55

  pane.SetRuler(TRUE, FALSE);
  pane.SetZoomIndex(11);
  pane.ScrollTo(0, 0);
  PutCursor({70, 50});
  shot = Shot("review-pane-100-rulers.png");
  EXPECT_EQ(pt::PixelAt(shot, 40 + 20, 40 + 20), RGB(200, 30, 40)); // picture point (40, 40)
  EXPECT_EQ(pt::PixelAt(shot, 10 + 20, 10 + 20), Scene(10, 10));
  EXPECT_EQ(pt::PixelAt(shot, 10, 10), RGB(225, 225, 225)); // the corner
  EXPECT_EQ(pt::PixelAt(shot, 70, 18), RGB(255, 0, 0));     // the cursor's mark on top
  EXPECT_EQ(pt::PixelAt(shot, 18, 50), RGB(255, 0, 0));     // and on the left
  EXPECT_EQ(pt::PixelAt(shot, 20 + 100, 12), RGB(0, 0, 0)); // a long tick at 100 (step 20)
  EXPECT_EQ(pt::PixelAt(shot, 20 + 80, 8), RGB(225, 225, 225)); // a short one starts lower
  EXPECT_EQ(pt::PixelAt(shot, 20 + 80, 12), RGB(0, 0, 0));
  pane.SetRuler(TRUE, TRUE); // no ticks while the image is not ready
  shot = Shot("review-pane-100-no-ticks.png");
  EXPECT_EQ(pt::PixelAt(shot, 20 + 100, 12), RGB(225, 225, 225));
}

TEST_F(PaneFixture, LoupeShowsTheRegionWithItsValues) {
  ShowHalfSize(FALSE);
  pane.SetZoomIndex(12); // x2: picture pixel (30, 30) at client (60, 60)
  pane.ScrollTo(0, 0);
  pane.SetLoupe(TRUE, 1);
  // Over the dark-red block, 30 pixels from the picture's left and top
  // edges: the square's part beyond them stays black.
  pt::MouseMove(pane.m_hWnd, {60, 60});
  pane.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(pane.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_TRUE(pane.IsMouseInside());
  ASSERT_FALSE(view.asked.empty());
  EXPECT_EQ(view.asked.back(), CRect(0, 0, 110, 110));
  EXPECT_FALSE(pt::CursorVisible(pane.m_hWnd));
  auto shot = Shot("review-pane-loupe-edge.png");
  EXPECT_EQ(pt::PixelAt(shot, 10, 60), RGB(0, 0, 0));           // left of the picture's edge
  EXPECT_EQ(pt::PixelAt(shot, 70, 70), RGB(200, 30, 40));       // picture pixel (40, 40) at x1
  EXPECT_EQ(pt::PixelAt(shot, 57, 60), RGB(255, 255, 255));     // white centre frame: mean 90
  EXPECT_EQ(pt::PixelAt(shot, 200, 100), RGB(200, 200, 200));  // the picture beside the square

  // The light block gets a black frame.
  pt::MouseMove(pane.m_hWnd, {180, 60});
  shot = Shot("review-pane-loupe-grey.png");
  EXPECT_EQ(pt::PixelAt(shot, 177, 60), RGB(0, 0, 0));

  // A busy renderer: no square, and the cursor shows again.
  view.busy = true;
  pt::MouseMove(pane.m_hWnd, {181, 60});
  EXPECT_TRUE(pt::CursorVisible(pane.m_hWnd));
  shot = Shot("review-pane-loupe-busy.png");
  EXPECT_EQ(pt::PixelAt(shot, 150, 20), Scene(75, 10));
  view.busy = false;

  // The cursor leaves: the leave timer puts the loupe away.
  PutCursor({-50, -50});
  pt::AdvanceTime(20);
  EXPECT_FALSE(pane.IsMouseInside());
}
