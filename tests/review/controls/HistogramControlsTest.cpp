// The histogram panel's graph: columns and the compressive scale, the five
// views rendered from small synthetic pictures (one flat colour, none, wider
// than 256 columns), and the window with its frame and marker shading.

#include "review/controls/CHistWnd.h"

#include "platform/testing/Headless.h"
#include "support/DibBuilder.h"
#include "toolkit/CET_Dib.h"
#include "PaintCounting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

namespace pt = platform::testing;

namespace {

// A picture whose pixel (x, y), top row first, is colour(x, y).
CET_Dib Picture(int width, int height, const std::function<COLORREF(int, int)>& colour) {
  CET_Dib dib;
  dib.CopyFrom(testsupport::MakeBottomUpDib(width, height, colour).get());
  return dib;
}

// The pixels of a prepared view, row by row.
std::vector<COLORREF> ViewPixels(const CTLM_Histogram& h, int view) {
  std::vector<COLORREF> pixels;
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  const HGDIOBJ old = dc.SelectObject(h.GetViewBitmap(view));
  for (int y = 0; y < h.GetHeight(); ++y) {
    for (int x = 0; x < h.GetWidth(); ++x) pixels.push_back(dc.GetPixel(x, y));
  }
  dc.SelectObject(old);
  return pixels;
}

// A histogram of the panel's set-up, counted from a picture and prepared at a size.
void Prepare(CTLM_Histogram& h, const CET_Dib& picture, int width, int height) {
  h.Setup(256, 0, TRUE, TRUE, TRUE, RGB(225, 225, 225), RGB(0, 0, 0));
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  h.Build(&picture, 1, &dc, width, height);
}

COLORREF Entry(int index) { return CTLM_Histogram::kColours[static_cast<std::size_t>(index)]; }

} // namespace

TEST(HistogramScale, ColumnsOfBins) {
  struct Case {
    int bin, width, column;
  };
  for (const Case& c : {Case{1, 172, 1}, Case{255, 172, 171}, Case{0, 172, 0}, Case{128, 172, 86},
                        Case{127, 172, 85}, Case{64, 172, 43}, Case{225, 172, 150}, Case{0, 600, 0},
                        Case{255, 600, 599}, Case{0, 1, 0}, Case{255, 1, 0}, Case{7, 0, 0}}) {
    EXPECT_EQ(HistogramColumn(c.bin, c.width), c.column) << c.bin << " of " << c.width;
  }
}

TEST(HistogramScale, CompressiveCurveAndStrokeRows) {
  EXPECT_EQ(HistogramCurve(0), 0);
  EXPECT_DOUBLE_EQ(HistogramCurve(1), 1);
  EXPECT_NEAR(HistogramCurve(0.01), 0.5, 0.001);
  EXPECT_LT(HistogramCurve(0.001), HistogramCurve(0.002));
  // Rows of a 58-row view: a share of 1 tops out above the view, 0 lies below it.
  EXPECT_EQ(HistogramLineTop(1, 58), -11);
  EXPECT_EQ(HistogramLineBottom(1, 58), 2);
  EXPECT_EQ(HistogramLineTop(0, 58), 58);
  EXPECT_EQ(HistogramLineBottom(0, 58), 60);
}

TEST(HistogramViews, OneFlatColour) {
  pt::Init();
  // Grey 127 is the only bin of column 85; luminance falls into the same bin.
  CTLM_Histogram h;
  Prepare(h, Picture(16, 8, [](int, int) { return RGB(127, 127, 127); }), 172, 58);
  ASSERT_EQ(h.GetWidth(), 172);
  const auto all = ViewPixels(h, CTLM_Histogram::kAll);
  const auto red = ViewPixels(h, CTLM_Histogram::kRed);
  const auto luminance = ViewPixels(h, CTLM_Histogram::kLuminance);
  for (int y = 0; y < 58; ++y) {
    for (int x = 0; x < 172; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * 172 + x);
      // The bin's column a line over the full height; the next one from row 2 down.
      const int expectedAll = x == 85 ? 15 : (x == 86 && y >= 2 ? 7 : 0);
      ASSERT_EQ(all[i], Entry(expectedAll)) << x << "," << y;
      ASSERT_EQ(red[i], Entry(x == 85 || (x == 86 && y >= 2) ? 1 : 0)) << x << "," << y;
      ASSERT_EQ(luminance[i], Entry(x == 85 ? 8 : 0)) << x << "," << y;
    }
  }
  EXPECT_EQ(ViewPixels(h, CTLM_Histogram::kBlue)[85], Entry(4));
  EXPECT_EQ(ViewPixels(h, CTLM_Histogram::kGreen)[86 + 172 * 2], Entry(2));
}

TEST(HistogramViews, NothingCountedIsGrey) {
  pt::Init();
  CTLM_Histogram h;
  CET_Dib empty;
  Prepare(h, empty, 172, 58);
  for (int view = 0; view < CTLM_Histogram::kViewCount; ++view) {
    const auto pixels = ViewPixels(h, view);
    ASSERT_EQ(pixels.size(), 172u * 58u);
    for (COLORREF p : pixels) ASSERT_EQ(p, RGB(192, 192, 192)) << view;
  }
}

TEST(HistogramViews, WiderThan256Columns) {
  pt::Init();
  // White and black halves: bins 0 and 255 on the first and last columns.
  CTLM_Histogram h;
  Prepare(h, Picture(16, 8, [](int x, int) { return x < 8 ? RGB(0, 0, 0) : RGB(255, 255, 255); }), 600, 40);
  const auto all = ViewPixels(h, CTLM_Histogram::kAll);
  ASSERT_EQ(all.size(), 600u * 40u);
  EXPECT_EQ(all[599 + 600 * 20], Entry(15));
  EXPECT_EQ(all[0 + 600 * 20], Entry(15));
  EXPECT_EQ(all[300 + 600 * 20], Entry(0));
}

namespace {

using CountingHistWnd = PaintCounting<CHistWnd>;

class HistWnd : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 200), nullptr, 0));
    // The histogram panel's window: views of 172 x 58.
    ASSERT_TRUE(wnd.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 184, 70), &parent, 1));
    pt::Pump();
  }
  void TearDown() override {
    wnd.DestroyWindow();
    parent.DestroyWindow();
    pt::Pump();
  }
  CWnd parent;
  CountingHistWnd wnd;
};

// colour blended over base with alpha, as a constant-alpha blend does.
COLORREF Blend(COLORREF base, COLORREF colour, int alpha) {
  const auto mix = [&](int b, int c) { return (c * alpha + b * (255 - alpha)) / 255; };
  return RGB(mix(GetRValue(base), GetRValue(colour)), mix(GetGValue(base), GetGValue(colour)),
             mix(GetBValue(base), GetBValue(colour)));
}

void ExpectNear(COLORREF actual, COLORREF expected, const char* what) {
  EXPECT_LE(std::abs(GetRValue(actual) - GetRValue(expected)), 2) << what;
  EXPECT_LE(std::abs(GetGValue(actual) - GetGValue(expected)), 2) << what;
  EXPECT_LE(std::abs(GetBValue(actual) - GetBValue(expected)), 2) << what;
}

} // namespace

TEST_F(HistWnd, FrameAndMarkerShadingOverAnEmptyPicture) {
  CET_Dib empty;
  wnd.SetPicture(&empty);
  const auto shot = pt::GrabClient(wnd);
  EXPECT_EQ(pt::PixelAt(shot, 0, 30), RGB(54, 54, 54));
  EXPECT_EQ(pt::PixelAt(shot, 173, 30), RGB(131, 131, 131));
  const COLORREF grey = RGB(192, 192, 192), shadow = RGB(70, 120, 255), highlight = RGB(255, 70, 100);
  // Shadow 64 on column 43, highlight 225 on column 150 (window x one more).
  ExpectNear(pt::PixelAt(shot, 1 + 20, 30), Blend(grey, shadow, 50), "shadow side");
  ExpectNear(pt::PixelAt(shot, 1 + 43, 30), Blend(grey, shadow, 80), "shadow line");
  EXPECT_EQ(pt::PixelAt(shot, 1 + 100, 30), grey);
  ExpectNear(pt::PixelAt(shot, 1 + 150, 30), Blend(grey, highlight, 90), "highlight line");
  ExpectNear(pt::PixelAt(shot, 1 + 171, 57), Blend(grey, highlight, 60), "highlight side");

  // Markers at the ends: no side shading, lines on the first and last columns.
  wnd.SetShadowMarker(0);
  wnd.SetHighlightMarker(255);
  const auto ends = pt::GrabClient(wnd);
  ExpectNear(pt::PixelAt(ends, 1, 30), Blend(grey, shadow, 80), "shadow line at 0");
  EXPECT_EQ(pt::PixelAt(ends, 2, 30), grey);
  EXPECT_EQ(pt::PixelAt(ends, 170, 30), grey);
  ExpectNear(pt::PixelAt(ends, 172, 30), Blend(grey, highlight, 90), "highlight line at 255");
}

TEST_F(HistWnd, OnlyChangesRepaint) {
  CET_Dib empty;
  wnd.SetPicture(&empty);
  int paints = wnd.paints;
  wnd.SetView(CTLM_Histogram::kAll);
  wnd.SetShadowMarker(64);
  wnd.SetHighlightMarker(225);
  EXPECT_EQ(wnd.paints, paints) << "the current values";
  wnd.SetView(CTLM_Histogram::kGreen);
  EXPECT_EQ(wnd.paints, ++paints);
  EXPECT_EQ(wnd.Histogram().GetView(), CTLM_Histogram::kGreen);
  wnd.SetShadowMarker(10);
  EXPECT_EQ(wnd.paints, ++paints);
  wnd.SetHighlightMarker(200);
  EXPECT_EQ(wnd.paints, ++paints);
}

TEST_F(HistWnd, PaintsEveryViewOfAPicture) {
  // Bell-shaped tones: each channel the mean of four pseudo-random bytes
  // around its own centre, a few highlights clipped.
  unsigned seed = 12345;
  const auto bell = [&](int centre) {
    int sum = 0;
    for (int i = 0; i < 4; ++i) {
      seed = seed * 1103515245u + 12345u;
      sum += static_cast<int>((seed >> 16) & 0xFF);
    }
    return std::clamp(centre + sum / 4 - 128, 0, 255);
  };
  const CET_Dib ramp = Picture(160, 120, [&](int x, int) { return RGB(bell(150), bell(110 + x / 4), bell(70)); });
  wnd.SetPicture(&ramp);
  for (int view = 0; view < CTLM_Histogram::kViewCount; ++view) {
    wnd.SetView(view);
    const auto shot = pt::GrabClient(wnd);
    pt::SavePng(shot, "Histogram" + std::to_string(view) + ".png");
    // Inside the shading-free middle, the view's own pixels show.
    EXPECT_EQ(pt::PixelAt(shot, 1 + 100, 1), Entry(0)) << view;
  }
}
