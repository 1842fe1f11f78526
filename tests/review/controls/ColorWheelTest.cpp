// The colour wheel: its maths (points, gains, densities, pixels), the text of
// a density triple, and the control: setting it, clicks, drags and arrow keys
// with what the parent is told, and the field, marker and frame it paints.

#include "review/controls/CColorWheel.h"

#include "foundation/FColorAdjust.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"
#include "support/RectPrinting.h"
#include "PaintCounting.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <vector>

namespace pt = platform::testing;

inline void PrintTo(const CPoint& p, std::ostream* os) { *os << "(" << p.x << "," << p.y << ")"; }

namespace {

std::array<int, 3> DensitiesOf(const WheelGains& g) {
  std::array<int, 3> cmy{};
  ColorGainToCMY(g.red, g.green, g.blue, cmy[0], cmy[1], cmy[2]);
  return cmy;
}

} // namespace

TEST(WheelMaths, TheCentreIsNeutral) {
  const WheelGains g = GainsFromWheelPoint({0, 0});
  EXPECT_DOUBLE_EQ(g.red, 1);
  EXPECT_DOUBLE_EQ(g.green, 1);
  EXPECT_DOUBLE_EQ(g.blue, 1);
  const WheelPoint p = WheelPointFromGains({1, 1, 1});
  EXPECT_DOUBLE_EQ(p.x, 0);
  EXPECT_DOUBLE_EQ(p.y, 0);
  EXPECT_EQ(FormatCMYString(0, 0, 0), u"0");
}

TEST(WheelMaths, PointsComeBackFromTheirGains) {
  // Inside the radius where no gain is held at its floor the conversion is
  // exactly invertible, and a common factor of the gains does not matter.
  for (double r : {0.05, 0.3, 0.6, 0.9}) {
    for (int step = 0; step < 12; ++step) {
      const double a = step * 0.5236 + 0.1;
      const WheelPoint p{r * std::cos(a), r * std::sin(a)};
      WheelGains g = GainsFromWheelPoint(p);
      g = {g.red * 3.5, g.green * 3.5, g.blue * 3.5};
      const WheelPoint back = WheelPointFromGains(g);
      EXPECT_NEAR(back.x, p.x, 1e-9) << r << " " << a;
      EXPECT_NEAR(back.y, p.y, 1e-9) << r << " " << a;
    }
  }
}

TEST(WheelMaths, DirectionsFavourTheirColours) {
  struct Case {
    WheelPoint point;
    int zero; // the density that is 0: the favoured channel
  };
  for (const Case& c : {Case{{0.5, 0}, 0}, Case{{0, -0.5}, 1}, Case{{-0.4, 0.3}, 2}}) {
    const auto cmy = DensitiesOf(GainsFromWheelPoint(c.point));
    for (int i = 0; i < 3; ++i) {
      if (i == c.zero) {
        EXPECT_EQ(cmy[i], 0) << c.point.x << "," << c.point.y;
      } else {
        EXPECT_GT(cmy[i], 0) << c.point.x << "," << c.point.y;
      }
    }
  }
  // Downward lowers green: magenta.
  const auto down = DensitiesOf(GainsFromWheelPoint({0, 0.5}));
  EXPECT_EQ(down[0], 0);
  EXPECT_EQ(down[2], 0);
  EXPECT_GT(down[1], 0);
}

TEST(WheelMaths, StrengthStopsGrowingAndDensitiesStayBelow161) {
  // (r + r^2) / 2 reaches 1.5 at r = 1.3028.
  const double a = 0.7;
  const auto at = [&](double r) { return GainsFromWheelPoint({r * std::cos(a), r * std::sin(a)}); };
  const WheelGains capped = at(1.31), far = at(4.0), inside = at(1.25);
  EXPECT_DOUBLE_EQ(capped.red, far.red);
  EXPECT_DOUBLE_EQ(capped.green, far.green);
  EXPECT_DOUBLE_EQ(capped.blue, far.blue);
  EXPECT_NE(inside.blue, capped.blue);
  int most = 0;
  for (int i = -40; i <= 40; ++i) {
    for (int j = -40; j <= 40; ++j) {
      const auto cmy = DensitiesOf(GainsFromWheelPoint({i * 0.05, j * 0.05}));
      most = std::max({most, cmy[0], cmy[1], cmy[2]});
    }
  }
  EXPECT_EQ(most, 160) << "a gain held at 0.025 is 160 hundredths";
}

TEST(WheelMaths, BadGainsGiveTheCentre) {
  const double inf = INFINITY;
  for (const WheelGains& g : {WheelGains{0, 1, 1}, WheelGains{inf, 1, 1}, WheelGains{NAN, 1, 1}, WheelGains{-1, 1, 1}}) {
    const WheelPoint p = WheelPointFromGains(g);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
  }
}

TEST(WheelMaths, PixelsAndWheelUnits) {
  // The middle of an odd size is a pixel, of an even size between two.
  EXPECT_DOUBLE_EQ(PixelToWheel(48, 97, 0, 110), 0);
  EXPECT_DOUBLE_EQ(PixelToWheel(48, 98, 0, 110), -0.5 / 110);
  EXPECT_DOUBLE_EQ(PixelToWheel(60, 97, 5, 110), 17 / 110.0);
  for (int offset : {-55, 0, 31}) {
    for (int p = 0; p < 98; ++p) EXPECT_EQ(WheelToPixel(PixelToWheel(p, 98, offset, 110), 98, offset, 110), p);
  }
  EXPECT_EQ(WheelToPixel(1e300, 98, 0, 110), INT_MAX) << "held, never overflowing";
}

TEST(WheelMaths, TextOfDensities) {
  struct Case {
    int c, m, y;
    const char16_t* text;
  };
  for (const Case& k : {Case{10, 5, 3, u"10C+5M"}, Case{0, 0, 7, u"7Y"}, Case{10, 0, 3, u"10C+3Y"},
                        Case{12, 0, 0, u"12C"}, Case{0, 4, 9, u"4M+9Y"}, Case{0, 4, 0, u"4M"},
                        Case{0, 0, 0, u"0"}, Case{160, 160, 0, u"160C+160M"}}) {
    EXPECT_EQ(FormatCMYString(k.c, k.m, k.y), k.text);
  }
}

namespace {

// What the parent was told: the densities and the wheel's state then.
struct WheelNote {
  int id;
  std::array<int, 3> cmy;
  CPoint offset;
  BOOL tracking;
};

class WheelParent : public CWnd {
public:
  CColorWheel* wheel = nullptr;
  std::vector<WheelNote> notes;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_COLORWHEEL_CHANGED) {
      const int* cmy = reinterpret_cast<const int*>(lParam);
      notes.push_back({static_cast<int>(wParam), {cmy[0], cmy[1], cmy[2]}, wheel->GetViewOffset(),
                       wheel->IsTracking()});
      return 0;
    }
    if (message == WM_PAINT) {
      CPaintDC dc(this);
      CRect client;
      GetClientRect(client);
      dc.FillSolidRect(client, RGB(89, 89, 89));
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

using CountingWheel = PaintCounting<CColorWheel>;

constexpr int kWheelId = 1203;

class ColorWheel : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, CRect(100, 100, 220, 220), nullptr, 0));
    parent.wheel = &wheel;
    // The colour panel's size: the frame's 98 x 97.
    ASSERT_TRUE(wheel.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 108, 107), &parent, kWheelId));
    pt::Pump();
  }
  void TearDown() override {
    wheel.DestroyWindow();
    parent.DestroyWindow();
    pt::Pump();
  }
  pt::InputFrame Held(POINT client, bool down = true) {
    wheel.ClientToScreen(&client);
    pt::InputFrame frame;
    frame.cursor = client;
    frame.left = down;
    return frame;
  }
  // A press at a client point, the loop then reading the frames.
  void Press(POINT client, std::vector<pt::InputFrame> frames) {
    pt::ScriptInput(std::move(frames));
    wheel.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    pt::Pump();
  }
  std::array<int, 3> Cmy() const { return {wheel.GetCMY()[0], wheel.GetCMY()[1], wheel.GetCMY()[2]}; }

  WheelParent parent;
  CountingWheel wheel;
};

// The client centre (49, 48): wheel y 0 on row 48 of the 97 rows.
const CPoint kCentre(49, 48);

} // namespace

TEST_F(ColorWheel, StartsNeutralAndSettingNothingRedrawsNothing) {
  EXPECT_EQ(Cmy(), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(wheel.GetViewOffset(), CPoint(0, 0));
  EXPECT_FALSE(wheel.IsTracking());
  const int paints = wheel.paints;
  const int none[3] = {0, 0, 0};
  wheel.SetCMY(none);
  EXPECT_EQ(wheel.paints, paints);
  EXPECT_TRUE(parent.notes.empty());
}

TEST_F(ColorWheel, SetCMYMovesTheMarkerWithoutTellingTheParent) {
  for (const std::array<int, 3>& cmy : {std::array<int, 3>{10, 0, 0}, {0, 20, 0}, {0, 0, 35}, {15, 30, 0},
                                        {0, 12, 7}, {40, 0, 20}, {0, 0, 0}}) {
    const int paints = wheel.paints;
    wheel.SetCMY(cmy.data());
    EXPECT_EQ(Cmy(), cmy);
    EXPECT_GT(wheel.paints, paints) << "redrawn at once";
    WheelGains g;
    CMYToColorGain(cmy[0], cmy[1], cmy[2], g.red, g.green, g.blue);
    const WheelPoint p = WheelPointFromGains(g);
    EXPECT_EQ(wheel.GetViewOffset(), CPoint(static_cast<int>(p.x * 55), static_cast<int>(p.y * 55)))
        << "halfway to the marker";
  }
  EXPECT_TRUE(parent.notes.empty());
}

TEST_F(ColorWheel, ClicksFavourTheDirectionAndOutsideTheFieldNothing) {
  Press(kCentre + CPoint(30, 0), {});
  ASSERT_EQ(parent.notes.size(), 1u);
  EXPECT_EQ(parent.notes[0].id, kWheelId);
  EXPECT_TRUE(parent.notes[0].tracking);
  EXPECT_EQ(parent.notes[0].cmy[0], 0) << "red favoured";
  EXPECT_GT(parent.notes[0].cmy[1], 0);
  EXPECT_GT(parent.notes[0].cmy[2], 0);
  EXPECT_EQ(parent.notes[0].cmy, Cmy());
  EXPECT_FALSE(wheel.IsTracking());

  Press(kCentre + CPoint(0, -25), {});
  ASSERT_EQ(parent.notes.size(), 2u);
  EXPECT_EQ(parent.notes[1].cmy[1], 0) << "green favoured";

  // Beyond half the width less 3 from the centre (a corner) nothing happens.
  const auto before = Cmy();
  Press(CPoint(2, 2), {Held(CPoint(60, 20))});
  EXPECT_EQ(parent.notes.size(), 2u);
  EXPECT_EQ(Cmy(), before);
  EXPECT_EQ(pt::Input().Remaining(), 1u) << "no drag loop ran";
}

TEST_F(ColorWheel, DraggingScrollsOutwardInHalfStepsAndBackAtOnce) {
  std::vector<pt::InputFrame> frames;
  for (int x = 20; x <= 300; x += 20) frames.push_back(Held(kCentre + CPoint(x, 0)));
  frames.push_back(Held(kCentre + CPoint(300, 0))); // held still: nothing new
  frames.push_back(Held(kCentre + CPoint(2, 0)));
  frames.push_back(Held(kCentre + CPoint(2, 0), false));
  Press(kCentre + CPoint(10, 0), frames);
  EXPECT_EQ(pt::Input().Remaining(), 0u) << "the loop ran until the button was let go";
  EXPECT_FALSE(wheel.IsTracking());
  ASSERT_GE(parent.notes.size(), 5u);
  int previous = 0;
  for (std::size_t i = 0; i + 1 < parent.notes.size(); ++i) {
    const WheelNote& n = parent.notes[i];
    EXPECT_TRUE(n.tracking);
    EXPECT_EQ(n.offset.y, 0) << "row 48 is the wheel's x axis";
    EXPECT_LE(n.offset.x, 55) << "never beyond half a scale";
    EXPECT_GE(n.offset.x, previous) << "outward while dragging outward";
    previous = n.offset.x;
  }
  EXPECT_GE(previous, 45) << "far out, the view nearly reached its limit";
  EXPECT_LT(parent.notes.back().offset.x, previous) << "back toward the centre";
  EXPECT_EQ(parent.notes.back().cmy, Cmy());
}

TEST_F(ColorWheel, ArrowKeysStepToTheNextDensityChange) {
  EXPECT_FALSE(wheel.OnArrowKey(VK_RETURN));
  EXPECT_TRUE(parent.notes.empty());
  struct Case {
    UINT key;
    int zero;
  };
  for (const Case& c : {Case{VK_RIGHT, 0}, Case{VK_UP, 1}}) {
    const int none[3] = {0, 0, 0};
    wheel.SetCMY(none);
    parent.notes.clear();
    EXPECT_TRUE(wheel.OnArrowKey(c.key));
    ASSERT_EQ(parent.notes.size(), 1u);
    EXPECT_TRUE(parent.notes[0].tracking);
    EXPECT_FALSE(wheel.IsTracking());
    const auto cmy = Cmy();
    EXPECT_EQ(cmy[c.zero], 0);
    EXPECT_EQ(std::max({cmy[0], cmy[1], cmy[2]}), 1) << "the nearest change is one hundredth";
  }
}

TEST_F(ColorWheel, ArrowKeysAtTheStrengthLimitEnd) {
  // Dragged far right, past the radius where the strength stops growing: the
  // search for a change is bounded, each press ends with at most one note.
  Press(kCentre + CPoint(40, 0), {Held(kCentre + CPoint(400, 0)), Held(kCentre + CPoint(400, 0), false)});
  EXPECT_EQ(Cmy()[0], 0);
  for (UINT key : {VK_RIGHT, VK_RIGHT, VK_UP, VK_DOWN, VK_LEFT}) {
    parent.notes.clear();
    EXPECT_TRUE(wheel.OnArrowKey(key));
    EXPECT_LE(parent.notes.size(), 1u);
    EXPECT_FALSE(wheel.IsTracking());
  }
}

TEST_F(ColorWheel, PaintsFieldMarkerAndFrame) {
  const int cmy[3] = {0, 30, 30};
  wheel.SetCMY(cmy);
  pt::Pump();
  const auto shot = pt::GrabClient(wheel);
  pt::SavePng(shot, "ColorWheel.png");
  // Outside the round opening the frame's surroundings show the background.
  EXPECT_EQ(pt::PixelAt(shot, 1, 1), RGB(89, 89, 89));
  EXPECT_EQ(pt::PixelAt(shot, 96, 95), RGB(89, 89, 89));
  // Inside, the field: red to the right of its centre, green above, magenta below.
  const auto channels = [&](int x, int y) {
    const COLORREF c = pt::PixelAt(shot, x, y);
    return std::array<int, 3>{GetRValue(c), GetGValue(c), GetBValue(c)};
  };
  const CPoint offset = wheel.GetViewOffset();
  const CPoint fieldCentre = kCentre - offset;
  ASSERT_GT(offset.x, 10) << "the view follows the marker to the right";
  // The field's centre, marked once for each of the six neutral triples, is nearly black.
  for (int c : channels(fieldCentre.x, fieldCentre.y)) EXPECT_LT(c, 30);
  const auto right = channels(fieldCentre.x + 20, fieldCentre.y + 4);
  EXPECT_GT(right[0], right[1]);
  EXPECT_GT(right[0], right[2]);
  const auto up = channels(fieldCentre.x, fieldCentre.y - 13);
  EXPECT_GT(up[1], up[0]);
  EXPECT_GT(up[1], up[2]);
  const auto down = channels(fieldCentre.x, fieldCentre.y + 13);
  EXPECT_LT(down[1], down[0]);
  EXPECT_LT(down[1], down[2]);
  // The marker's dark ring around its light middle, at (mx - 1, my - 2).
  const WheelPoint p = WheelPointFromGains(wheel.GetGains());
  const int mx = WheelToPixel(p.x, 98, offset.x, 110), my = WheelToPixel(p.y, 97, offset.y, 110);
  EXPECT_EQ(pt::PixelAt(shot, mx - 1, my - 2), RGB(0, 0, 0));
  EXPECT_EQ(pt::PixelAt(shot, mx, my - 1), RGB(250, 250, 250));
}

TEST_F(ColorWheel, TheBackgroundColourSetBeforeTheFirstPaint) {
  CColorWheel other;
  other.SetBackColor(RGB(30, 60, 90));
  ASSERT_TRUE(other.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 98, 97), &parent, kWheelId + 1));
  pt::Pump();
  const auto shot = pt::GrabClient(other);
  EXPECT_EQ(pt::PixelAt(shot, 1, 1), RGB(30, 60, 90));
  EXPECT_EQ(pt::PixelAt(shot, 49, 48), pt::PixelAt(pt::GrabClient(wheel), 49, 48)) << "the same field and marker";
  other.DestroyWindow();
}
