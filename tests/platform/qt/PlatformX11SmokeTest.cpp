// The layer on a real X server (xvfb-run): what the server shows of a
// window tree equals the layer's own composite of its surfaces; polling
// loops see the server's pointer and buttons without pumping; the monitor
// profile comes from the root window's _ICC_PROFILE.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/qt/X11.h"
#include "platform/testing/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pt = platform::testing;

namespace {

class PlatformX11 : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string why = pt::StartOnDisplay(false); !why.empty()) GTEST_SKIP() << why;
  }
};

TEST_F(PlatformX11, TheServerShowsWhatTheLayerComposed) {
  CWnd top, pane, framed;
  ASSERT_TRUE(top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, RECT{200, 150, 520, 390}, nullptr, 0));
  ASSERT_TRUE(pane.Create(u"Pane", u"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 150, 120}, &top, 1));
  ASSERT_TRUE(framed.CreateEx(WS_EX_CLIENTEDGE, u"Framed", u"", WS_CHILD | WS_VISIBLE | WS_BORDER,
                              RECT{160, 20, 300, 200}, &top, 2));
  ASSERT_TRUE(pt::WaitUntilExposed(top));
  {
    CClientDC dc(&top);
    dc.FillSolidRect(0, 0, 320, 240, RGB(89, 89, 89));
    RECT caption{10, 200, 310, 230};
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    dc.DrawText(u"Lumitra4 on the X server", &caption, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  {
    CClientDC dc(&pane); // its lower half stays undrawn: the parent shows there
    dc.FillSolidRect(0, 0, 140, 55, RGB(200, 40, 30));
  }
  {
    CClientDC dc(&framed);
    dc.FillSolidRect(0, 0, 200, 200, RGB(30, 160, 220));
    dc.FillSolidRect(20, 20, 40, 40, RGB(255, 255, 0));
  }
  pt::Pump();
  pt::WaitUntilExposed(top);

  const pt::PixelImage composed = pt::GrabClient(top);
  const pt::PixelImage shown = pt::GrabScreen(RECT{200, 150, 520, 390});
  pt::SavePng(composed, "x11-composed.png");
  pt::SavePng(shown, "x11-shown.png");
  ASSERT_EQ(shown.width, composed.width);
  ASSERT_EQ(shown.height, composed.height);
  int differing = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) differing += pt::PixelAt(shown, x, y) != pt::PixelAt(composed, x, y);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(pt::PixelAt(shown, 20, 100), RGB(89, 89, 89)) << "the parent under the pane's undrawn pixels";
  EXPECT_EQ(pt::PixelAt(shown, 160, 20), RGB(0, 0, 0)) << "the framed window's border";
}

TEST_F(PlatformX11, PollingLoopsSeeTheServersPointerAndButtonsWithoutPumping) {
  pt::MovePointerOnServer({300, 200});
  POINT p{};
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{300, 200}));
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
  pt::SetLeftButtonOnServer(true);
  EXPECT_NE(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0) << "pressed, though no event was processed";
  pt::MovePointerOnServer({310, 212});
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{310, 212}));
  pt::SetLeftButtonOnServer(false);
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);

  ASSERT_TRUE(SetCursorPos(40, 50));
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{40, 50}));
  pt::Pump();
}

TEST_F(PlatformX11, TheMonitorProfileComesFromTheRootWindow) {
  pt::DeleteRootProperty("_ICC_PROFILE");
  EXPECT_FALSE(platform::qt::MonitorProfileFromX11().has_value());
  const std::vector<std::uint8_t> profile = {0, 0, 2, 0x30, 'l', 'c', 'm', 's', 1, 2, 3};
  pt::SetRootProperty("_ICC_PROFILE", profile);
  EXPECT_EQ(platform::qt::MonitorProfileFromX11(), profile);
  pt::SetRootProperty("_ICC_PROFILE", {});
  EXPECT_FALSE(platform::qt::MonitorProfileFromX11().has_value()) << "an empty property is no profile";
  pt::DeleteRootProperty("_ICC_PROFILE");
}

} // namespace
