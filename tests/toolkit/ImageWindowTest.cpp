#include "toolkit/CET_ImageWndOrg.h"

#include "platform/testing/Headless.h"
#include "platform/win/WinIcm.h"
#include "ToolkitTestWindows.h"
#include "support/DibBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace pt = platform::testing;

namespace {

constexpr UINT kImageMouse = WM_APP + 0x26;

// Four quarters: top left red, top right green, bottom left blue, bottom
// right white.
std::unique_ptr<CET_Dib> QuarterDib(int width, int height) {
  return testsupport::MakeBottomUpDib(width, height, [=](int x, int y) {
    const bool top = y < height / 2;
    const bool left = x < width / 2;
    return top ? (left ? RGB(255, 0, 0) : RGB(0, 255, 0)) : (left ? RGB(0, 0, 255) : RGB(255, 255, 255));
  });
}

struct ImageFixture : ::testing::Test {
  PlainParent parent;
  CET_ImageWndOrg image;
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateAt(CRect(60, 60, 300, 300), RGB(89, 89, 89)));
    ASSERT_TRUE(image.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &parent, 1));
    pt::Pump();
  }
  void TearDown() override {
    image.DestroyWindow();
    parent.DestroyWindow();
    pt::Pump();
  }
  void Show(int width, int height, BOOL fit = FALSE) {
    image.SetImage(QuarterDib(width, height).get(), fit, 1.0, 0, 0);
  }
  pt::PixelImage Shot(const char* name) {
    image.RedrawWindow();
    auto shot = pt::GrabClient(image.m_hWnd);
    pt::SavePng(shot, name);
    return shot;
  }
};

} // namespace

TEST_F(ImageFixture, StartsEmptyAtZoomOne) {
  EXPECT_EQ(image.GetZoom(), 1.0);
  EXPECT_EQ(image.GetPictureScale(), 1.0);
  EXPECT_FALSE(image.IsFitMode());
  EXPECT_EQ(image.GetBackgroundColor(), RGB(255, 255, 255));
  const auto shot = Shot("image-empty.png");
  EXPECT_EQ(pt::PixelAt(shot, 50, 50), RGB(255, 255, 255));
}

TEST_F(ImageFixture, ZoomAboutTheCentreKeepsItsImagePoint) {
  Show(100, 100);
  image.SetZoom(2.0, CPoint(-1, -1));
  EXPECT_EQ(image.GetOffset().x, -50.0);
  EXPECT_EQ(image.GetOffset().y, -50.0);
  const FDoublePoint centre = image.ClientToImage(CPoint(50, 50));
  EXPECT_EQ(centre.x, 50.0);
  EXPECT_EQ(centre.y, 50.0);
  EXPECT_TRUE(image.IsVScrollShown());
  EXPECT_TRUE(image.IsHScrollShown());

  image.SetZoom(1.0, CPoint(-1, -1));
  for (int i = 0; i < 3; ++i) image.ZoomIn();
  EXPECT_NEAR(image.GetZoom(), 1.728, 1e-12);
  for (int i = 0; i < 3; ++i) image.ZoomOut();
  EXPECT_NEAR(image.GetZoom(), 1.0, 1e-12);
}

TEST_F(ImageFixture, ZoomStaysWithinItsBounds) {
  Show(100, 100);
  for (double bad : {0.0, -3.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    image.SetZoom(bad, CPoint(10, 10));
    EXPECT_EQ(image.GetZoom(), 1.0) << bad;
  }
  image.SetZoom(1e9, CPoint(-1, -1));
  EXPECT_EQ(image.GetZoom(), CET_ImageWndOrg::kMaxZoom);
  for (int i = 0; i < 200; ++i) image.ZoomOut(); // a wheel turned for ever
  EXPECT_EQ(image.GetZoom(), CET_ImageWndOrg::kMinZoom);
  EXPECT_TRUE(std::isfinite(image.GetOffset().x));
}

TEST_F(ImageFixture, ClampCentresANarrowPictureOnlyWhenAsked) {
  Show(40, 200); // narrower, taller than the window
  image.ScrollTo(0, 30);
  image.ClampScroll(FALSE);
  EXPECT_EQ(image.GetOffset().x, 0.0);
  EXPECT_EQ(image.GetOffset().y, -30.0);
  image.ClampScroll(TRUE);
  EXPECT_EQ(image.GetOffset().x, 30.0);
  EXPECT_EQ(image.GetOffset().y, -30.0);
  // No gap shows past either end of the tall picture.
  image.ScrollTo(-1, 150);
  image.ClampScroll(FALSE);
  EXPECT_EQ(image.GetOffset().y, -100.0);
  image.ScrollTo(-1, 0);
  EXPECT_EQ(image.GetOffset().x, 30.0); // -1 keeps that axis
  EXPECT_EQ(image.GetOffset().y, 0.0);
}

TEST_F(ImageFixture, ScrollBarsMoveWithinTheirRange) {
  Show(100, 300);
  ASSERT_TRUE(image.IsVScrollShown());
  EXPECT_FALSE(image.IsHScrollShown());
  image.ScrollTo(-1, 40);
  EXPECT_EQ(image.GetOffset().y, -40.0);
  EXPECT_EQ(image.GetOffset().x, 0.0);
  struct Case {
    UINT code;
    UINT pos;
    double offsetY;
  };
  const Case cases[] = {{SB_LINEDOWN, 0, -41}, {SB_PAGEDOWN, 0, -141}, {SB_THUMBTRACK, 199, -199},
                        {SB_LINEDOWN, 0, -200}, {SB_LINEDOWN, 0, -200}, {SB_TOP, 0, -200},
                        {SB_PAGEUP, 0, -100},   {SB_LINEUP, 0, -99}};
  for (const Case& c : cases) {
    image.SendMessage(WM_VSCROLL, MAKEWPARAM(c.code, c.pos), 0);
    EXPECT_EQ(image.GetOffset().y, c.offsetY) << "code " << c.code;
  }
  image.SendMessage(WM_HSCROLL, SB_LINEDOWN, 0); // no horizontal bar: nothing
  EXPECT_EQ(image.GetOffset().x, 0.0);
}

TEST_F(ImageFixture, BackgroundChoices) {
  for (auto [kind, colour] : {std::pair{0, RGB(0, 0, 0)}, {1, RGB(105, 105, 105)}, {3, RGB(105, 105, 105)},
                              {2, RGB(255, 255, 255)}, {-1, RGB(255, 255, 255)}}) {
    image.SetBackground(kind);
    EXPECT_EQ(image.GetBackgroundColor(), colour) << kind;
  }
}

TEST_F(ImageFixture, FitModeLetterboxesAndFollowsTheSize) {
  image.SetBackground(0);
  Show(200, 100, TRUE);
  EXPECT_TRUE(image.IsFitMode());
  EXPECT_EQ(image.GetZoom(), 0.5);
  EXPECT_FALSE(image.IsVScrollShown());
  const auto shot = Shot("image-fit.png");
  EXPECT_EQ(pt::PixelAt(shot, 50, 10), RGB(0, 0, 0));     // above the picture
  EXPECT_EQ(pt::PixelAt(shot, 10, 30), RGB(255, 0, 0));   // top left quarter
  EXPECT_EQ(pt::PixelAt(shot, 90, 70), RGB(255, 255, 255));
  EXPECT_EQ(pt::PixelAt(shot, 10, 70), RGB(0, 0, 255));
  EXPECT_EQ(pt::PixelAt(shot, 50, 90), RGB(0, 0, 0));
  EXPECT_EQ(image.GetOffset().y, 25.0);
  // A zoom step leaves fit mode from the zoom it last computed.
  image.ZoomIn();
  EXPECT_FALSE(image.IsFitMode());
  EXPECT_NEAR(image.GetZoom(), 0.6, 1e-12);
  image.SetZoom(-1, CPoint(-1, -1));
  EXPECT_TRUE(image.IsFitMode());
}

TEST_F(ImageFixture, ZoomedPictureLandsUprightThroughTheOffscreenBitmap) {
  Show(100, 100);
  image.SetZoom(2.0, CPoint(0, 0)); // the top-left quarter fills the window
  auto shot = Shot("image-zoomed.png");
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(pt::PixelAt(shot, 95, 95), RGB(255, 0, 0));
  image.ScrollTo(100, 100); // the bottom-right one
  shot = Shot("image-scrolled.png");
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), RGB(255, 255, 255));
  image.ScrollTo(100, 0);
  shot = Shot("image-scrolled2.png");
  EXPECT_EQ(pt::PixelAt(shot, 50, 50), RGB(0, 255, 0));
}

TEST_F(ImageFixture, NotificationsBySendOrPostCarryPointAndColour) {
  image.SetNotifyWnd(&parent);
  image.SetNotifyMessage(static_cast<int>(kImageMouse));
  Show(40, 40);
  image.ClampScroll(TRUE); // centred: the picture covers 30..70
  parent.messages.clear();
  image.NotifyOwner(WM_MOUSEMOVE, 35, 35, FALSE);
  ASSERT_EQ(parent.messages.size(), 1u); // sent: handled at once
  auto* data = reinterpret_cast<const CET_ImageWndMsgData*>(parent.messages[0].second.second);
  EXPECT_EQ(parent.messages[0].second.first, static_cast<WPARAM>(WM_MOUSEMOVE));
  EXPECT_EQ(data->m_Point, CPoint(35, 35));
  EXPECT_EQ(data->m_ImagePoint.x, 5.0);
  EXPECT_EQ(data->m_Colour, static_cast<int>(RGB(255, 0, 0)));
  EXPECT_EQ(data->m_VisibleRect.right, 40.0);

  image.NotifyOwner(WM_MOUSEMOVE, 10, 50, FALSE); // left of the picture
  EXPECT_EQ(data->m_Colour, -1);

  parent.messages.clear();
  image.SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(65, 65)); // handlers post by default
  EXPECT_TRUE(parent.messages.empty());
  pt::Pump();
  ASSERT_EQ(parent.messages.size(), 1u);
  data = reinterpret_cast<const CET_ImageWndMsgData*>(parent.messages[0].second.second);
  EXPECT_EQ(data->m_Colour, static_cast<int>(RGB(255, 255, 255)));

  image.SetPostNotify(FALSE);
  parent.messages.clear();
  image.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 2));
  ASSERT_EQ(parent.messages.size(), 1u);

  image.ClearImage(); // without a picture: the reset values
  image.NotifyOwner(WM_MOUSEMOVE, 35, 35, FALSE);
  data = reinterpret_cast<const CET_ImageWndMsgData*>(parent.messages.back().second.second);
  EXPECT_EQ(data->m_Colour, 0xFFFFFF);
  EXPECT_EQ(data->m_ImagePoint.x, 0.0);
  image.SetNotifyMessage(-1);
  parent.messages.clear();
  image.NotifyOwner(WM_MOUSEMOVE, 35, 35, FALSE);
  EXPECT_TRUE(parent.messages.empty());
}

TEST_F(ImageFixture, PanningFollowsTheHeldButton) {
  image.SetNotifyWnd(&parent);
  image.SetNotifyMessage(static_cast<int>(kImageMouse));
  Show(300, 300);
  POINT screen{50, 50};
  image.ClientToScreen(&screen);
  pt::InputFrame now;
  now.cursor = screen;
  pt::Input().SetCurrent(now);
  std::vector<pt::InputFrame> frames;
  for (POINT d : {POINT{-10, -5}, POINT{-30, -20}, POINT{-500, 5}}) {
    pt::InputFrame f = now;
    f.cursor = {screen.x + d.x, screen.y + d.y};
    f.left = true;
    frames.push_back(f);
  }
  pt::ScriptInput(frames);
  parent.messages.clear();
  image.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
  EXPECT_EQ(image.GetOffset().x, -200.0); // clamped at the right end
  EXPECT_EQ(image.GetOffset().y, 0.0);    // -20 then +25: clamped at the top
  EXPECT_EQ(parent.messages.size(), 3u);  // one sent move a step; the press is posted
  pt::Pump();
  EXPECT_EQ(parent.messages.size(), 4u);
}

TEST_F(ImageFixture, ClipWarningPicture) {
  image.SetImageWithWarning(1, 250, 5, RGB(255, 0, 255), RGB(0, 255, 255), QuarterDib(40, 40).get(), 1.0, 0, 0);
  EXPECT_EQ(image.GetImageRect(), CRect(0, 0, 40, 40));
  EXPECT_TRUE(image.GetPicture().IsValid());
  EXPECT_NE(image.GetPicture().GetPixel(35, 35), static_cast<int>(RGB(255, 255, 255))); // white is clipped
}

TEST_F(ImageFixture, ColourManagementPaintsThroughTheMonitorProfile) {
  Show(100, 100);
  const auto plain = Shot("image-icm-off.png");
  // The sRGB monitor changes nothing; a wide-gamut one moves the red.
  const std::string folder = platform::ResourceFolder() + "/icc/";
  image.SetColorManagement(TRUE);
  image.SetMonitorProfilePath(FString((folder + "sRGB.icc").c_str()));
  EXPECT_EQ(pt::PixelAt(Shot("image-icm-srgb.png"), 10, 10), pt::PixelAt(plain, 10, 10));
  image.SetMonitorProfilePath(FString((folder + "AdobeRGB1998.icc").c_str()));
  const COLORREF wide = pt::PixelAt(Shot("image-icm-wide.png"), 10, 10);
  EXPECT_NE(wide, pt::PixelAt(plain, 10, 10));
  EXPECT_GT(GetRValue(wide), 200);
  // A profile file that does not exist leaves the colours alone.
  image.SetMonitorProfilePath(FString((folder + "missing.icc").c_str()));
  EXPECT_EQ(pt::PixelAt(Shot("image-icm-missing.png"), 10, 10), pt::PixelAt(plain, 10, 10));
}
