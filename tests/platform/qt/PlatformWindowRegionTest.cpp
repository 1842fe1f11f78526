// Window regions: a window shows and draws only its region's pixels, what
// lies outside shows the windows beneath, the region is kept in window
// coordinates (a border moves the client area inside it), and it can be
// read back and removed.

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "platform/win/WinGdiRegion.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

class Filled : public CWnd {
public:
  explicit Filled(COLORREF c) : colour(c) {}
  COLORREF colour;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, colour);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Filled, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

constexpr COLORREF kBelow = RGB(20, 90, 160);
constexpr COLORREF kChild = RGB(250, 240, 10);

class WindowRegion : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, CRect(100, 50, 300, 250), nullptr, 0));
    ASSERT_TRUE(child.CreateEx(0, u"Child", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 60), &top, 1));
    pt::Pump();
  }
  COLORREF At(int x, int y) { return pt::PixelAt(pt::GrabClient(child.GetSafeHwnd()), x, y); }
  Filled top{kBelow};
  Filled child{kChild};
};

} // namespace

TEST_F(WindowRegion, OnlyTheRegionShowsAndDrawsAndItCanBeReadBackAndRemoved) {
  ASSERT_EQ(At(0, 0), kChild);
  ASSERT_TRUE(SetWindowRgn(child.GetSafeHwnd(), CreateRoundRectRgn(0, 0, 101, 50, 10, 10), TRUE));
  pt::Pump();
  EXPECT_EQ(At(0, 0), kBelow) << "a cut corner shows the parent";
  EXPECT_EQ(At(50, 49), kBelow) << "the last row is outside";
  EXPECT_EQ(At(99, 25), kChild) << "the last column is inside";
  EXPECT_EQ(At(50, 25), kChild);

  // Drawing outside the region does not land, also outside a paint.
  {
    CClientDC dc(&child);
    dc.FillSolidRect(CRect(0, 0, 100, 50), RGB(255, 0, 0));
  }
  pt::Pump();
  EXPECT_EQ(At(0, 0), kBelow);
  EXPECT_EQ(At(50, 25), RGB(255, 0, 0));

  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(child.GetSafeHwnd(), copy), COMPLEXREGION);
  RECT box{};
  GetRgnBox(copy, &box);
  EXPECT_EQ(CRect(box), CRect(0, 0, 100, 49));

  ASSERT_TRUE(SetWindowRgn(child.GetSafeHwnd(), nullptr, TRUE));
  pt::Pump();
  EXPECT_EQ(GetWindowRgn(child.GetSafeHwnd(), copy), RGN_ERROR);
  EXPECT_EQ(At(0, 0), kChild) << "the whole window again";
  DeleteObject(copy);
}

TEST_F(WindowRegion, TheRegionIsInWindowCoordinatesAndTheWindowTakesItsHandle) {
  Filled framed{kChild};
  ASSERT_TRUE(framed.CreateEx(0, u"Framed", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(120, 10, 170, 60), &top, 2));
  HRGN region = CreateRectRgn(0, 0, 11, 11); // the border and 10 x 10 client pixels
  ASSERT_TRUE(SetWindowRgn(framed.GetSafeHwnd(), region, TRUE));
  pt::Pump();
  const auto shot = pt::GrabClient(framed.GetSafeHwnd());
  EXPECT_EQ(pt::PixelAt(shot, 9, 9), kChild);
  EXPECT_EQ(pt::PixelAt(shot, 10, 10), kBelow);
  RECT box{};
  EXPECT_EQ(GetRgnBox(region, &box), RGN_ERROR) << "the handle went with the call";
  HRGN kept = CreateRectRgn(0, 0, 1, 1);
  EXPECT_FALSE(SetWindowRgn(nullptr, kept, TRUE)) << "no window";
  EXPECT_EQ(GetRgnBox(kept, &box), SIMPLEREGION) << "a refused region stays the caller's";
  DeleteObject(kept);
}
