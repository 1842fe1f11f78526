// The histogram: counting tones of 24- and 32-bit pictures, sampled with a
// step; drawing columns, markers and the frame on the recording DC; the
// histogram panel's look on the raster DC.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_Histogram.h"

#include "platform/qt/RasterCanvas.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace pt = platform::testing;

namespace {

// A bottom-up picture whose pixel (x, y) is colour(x, y) as (b, g, r).
CET_Dib Picture(int width, int height, int bitCount, const std::function<RGBQUAD(int, int)>& colour) {
  CET_Dib dib;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  const auto stride = DibRowBytes(width, bitCount);
  std::vector<BYTE> bits(static_cast<std::size_t>(stride * height), 0);
  for (int y = 0; y < height && bitCount >= 24; ++y) {
    for (int x = 0; x < width; ++x) {
      const RGBQUAD c = colour(x, y);
      BYTE* p = &bits[static_cast<std::size_t>(stride * y + x * (bitCount / 8))];
      p[0] = c.rgbBlue;
      p[1] = c.rgbGreen;
      p[2] = c.rgbRed;
    }
  }
  dib.Set(&info, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

RGBQUAD Grey(int v) { return RGBQUAD{static_cast<BYTE>(v), static_cast<BYTE>(v), static_cast<BYTE>(v), 0}; }

// The histogram panel's settings.
void SetUpPanel(CET_Histogram& h) {
  h.Setup(256, 0, TRUE, TRUE, TRUE, RGB(225, 225, 225), RGB(0, 0, 0));
  h.SetChannelColor(0, RGB(255, 255, 255));
  h.SetChannelColor(1, RGB(255, 0, 0));
  h.SetChannelColor(2, RGB(0, 255, 0));
  h.SetChannelColor(3, RGB(0, 0, 255));
  h.SetMarkers(64, 225, RGB(0, 0, 255), RGB(255, 0, 0), FALSE);
  h.SetStyle(1);
  h.SetGain(2.0);
}

// The lines one colour drew: (x, from y, to y).
std::vector<std::tuple<int, int, int>> LinesOf(const CRecordingDC& dc, COLORREF colour) {
  std::vector<std::tuple<int, int, int>> lines;
  for (const auto& call : dc.Calls("LineTo")) {
    if (call.pen.colour == colour) lines.emplace_back(call.points[1].x, call.points[0].y, call.points[1].y);
  }
  return lines;
}

} // namespace

TEST(HistogramCount, TonesOfEveryChannel) {
  CET_Histogram h;
  h.Setup(256, 0, TRUE, TRUE, FALSE, 0, 0);
  // White falls into luminance bin 255; pure red into 76.
  const CET_Dib white = Picture(2, 1, 24, [](int x, int) {
    return x == 0 ? Grey(255) : RGBQUAD{0, 0, 255, 0};
  });
  h.Count(&white, 1);
  ASSERT_TRUE(h.Counts(0));
  EXPECT_EQ(h.Counts(0)[255], 1u);
  EXPECT_EQ(h.Counts(0)[76], 1u);
  EXPECT_EQ(h.Counts(1)[255], 2u);
  EXPECT_EQ(h.Counts(3)[0], 1u);
  EXPECT_EQ(h.Maximum(1), 2u);
  EXPECT_EQ(h.Sampled(), 2u);
  // Fewer bins: tones are clamped to the last one.
  h.Setup(16, 0, TRUE, TRUE, FALSE, 0, 0);
  h.Count(&white, 1);
  EXPECT_EQ(h.Counts(0)[15], 1u);
  EXPECT_EQ(h.Counts(1)[15], 2u);
  EXPECT_EQ(h.Counts(4), nullptr);
}

TEST(HistogramCount, StepsSampleRowsOrTheWholeBlock) {
  CET_Histogram h;
  h.Setup(256, 0, TRUE, TRUE, FALSE, 0, 0);
  // Three 24-bit pixels a row are padded rows: each row restarts at its first pixel.
  const CET_Dib padded = Picture(3, 4, 24, [](int x, int) { return Grey(x * 10); });
  h.Count(&padded, 2);
  EXPECT_EQ(h.Sampled(), 8u);
  EXPECT_EQ(h.Counts(1)[0], 4u);
  EXPECT_EQ(h.Counts(1)[20], 4u);
  // Unpadded rows are one run: the phase carries across rows.
  const CET_Dib run = Picture(4, 3, 24, [](int x, int) { return Grey(x * 10); });
  h.Count(&run, 3);
  EXPECT_EQ(h.Sampled(), 4u); // pixels 0, 3, 6, 9
  EXPECT_EQ(h.Counts(1)[0], 1u);
  EXPECT_EQ(h.Counts(1)[30], 1u);
  EXPECT_EQ(h.Counts(1)[20], 1u);
  EXPECT_EQ(h.Counts(1)[10], 1u);
  // A step below 1 counts every pixel; 32-bit pixels count their first three bytes.
  const CET_Dib quads = Picture(2, 2, 32, [](int, int) { return Grey(200); });
  h.Count(&quads, 0);
  EXPECT_EQ(h.Counts(2)[200], 4u);
}

TEST(HistogramCount, PicturesWithoutColourBytesLeaveItEmpty) {
  CET_Histogram h;
  h.Setup(256, 0, TRUE, TRUE, FALSE, 0, 0);
  const CET_Dib grey8 = Picture(8, 8, 8, [](int, int) { return Grey(0); });
  h.Count(&grey8, 1);
  EXPECT_EQ(h.Counts(0), nullptr);
  CET_Dib none;
  h.Count(&none, 1);
  EXPECT_EQ(h.Counts(0), nullptr);
  h.Count(nullptr, 1);
  EXPECT_EQ(h.Sampled(), 0u);
  // A block shorter than its header says: only whole rows it holds are read.
  CET_Dib cut = Picture(4, 4, 24, [](int, int) { return Grey(9); });
  cut.size = 12 * 2;
  h.Count(&cut, 1);
  EXPECT_EQ(h.Sampled(), 8u);
}

class HistogramDraw : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

TEST_F(HistogramDraw, ThePanelsColumnsMarkersAndFrame) {
  CET_Histogram h;
  SetUpPanel(h);
  // 1000 pixels: 25 (2.5 %) at tone 100, 975 spread below 16.
  const CET_Dib picture = Picture(1000, 1, 24, [](int x, int) { return x < 25 ? Grey(100) : Grey(x % 15); });
  h.Count(&picture, 1);
  CRecordingDC dc;
  h.Draw(&dc, CRect(0, 0, 256, 100));
  ASSERT_EQ(dc.Calls("FillRect").size(), 1u);
  EXPECT_EQ(dc.Calls("FillRect")[0].colour, RGB(225, 225, 225));
  // 240 columns between the margins of 8.
  // Four channels of 240 columns between the margins of 8, each from the
  // bottom less the vertical margin (the gradient's columns).
  int columns = 0;
  std::map<int, int> tops;
  for (const auto& call : dc.Calls("LineTo")) {
    const POINT end = call.points[1];
    if (call.points[0].x != end.x || call.points[0].y != 98) continue;
    ++columns;
    tops[end.x] = std::min(tops.count(end.x) ? tops[end.x] : 1000, static_cast<int>(end.y));
  }
  EXPECT_EQ(columns, 4 * 240);
  EXPECT_EQ(tops.begin()->first, 8);
  EXPECT_EQ(tops.rbegin()->first, 247);
  // The bin holding 2.5 % (bin 100, column 94) reaches the full height with
  // the gain 2; an empty bin's column is the least height, 1.
  EXPECT_EQ(tops[8 + 94], 0);
  EXPECT_EQ(tops[240], 98);
  // The markers, from the bottom to the top, and the frame.
  EXPECT_EQ(LinesOf(dc, RGB(0, 0, 255)).back(), (std::tuple<int, int, int>{68, 99, 1}));
  EXPECT_EQ(LinesOf(dc, RGB(255, 0, 0)).back(), (std::tuple<int, int, int>{218, 99, 1}));
  const auto frame = LinesOf(dc, RGB(0, 0, 0));
  ASSERT_GE(frame.size(), 4u);
  EXPECT_EQ(frame[frame.size() - 4], (std::tuple<int, int, int>{255, 0, 0}));
  EXPECT_EQ(frame[frame.size() - 2], (std::tuple<int, int, int>{0, 99, 99}));
}

TEST_F(HistogramDraw, ColumnsSampleTheBinsAndSkipSome) {
  CET_Histogram h;
  h.Setup(256, 1, TRUE, FALSE, FALSE, 0, 0);
  h.SetChannelColor(0, RGB(1, 1, 1));
  h.SetStyle(1);
  // Only bin 16 holds pixels: 240 columns over 256 bins pass it over.
  const CET_Dib picture = Picture(4, 1, 24, [](int, int) { return Grey(16); });
  h.Count(&picture, 1);
  CRecordingDC dc;
  h.Draw(&dc, CRect(0, 0, 256, 50));
  for (const auto& [x, from, to] : LinesOf(dc, RGB(1, 1, 1))) EXPECT_EQ(to, from - 1) << x;
  // Tone 15 is sampled by the sixteenth column.
  const CET_Dib fifteen = Picture(4, 1, 24, [](int, int) { return Grey(15); });
  h.Count(&fifteen, 1);
  CRecordingDC again;
  h.Draw(&again, CRect(0, 0, 256, 50));
  int tall = 0;
  for (const auto& [x, from, to] : LinesOf(again, RGB(1, 1, 1))) {
    if (from - to > 1) {
      ++tall;
      EXPECT_EQ(x, 8 + 15);
    }
  }
  EXPECT_EQ(tall, 1);
}

TEST_F(HistogramDraw, WithoutPixelsOnlyBackgroundMarkersAndFrame) {
  CET_Histogram h;
  SetUpPanel(h);
  CRecordingDC dc;
  h.Draw(&dc, CRect(0, 0, 256, 80));
  EXPECT_EQ(dc.Calls("LineTo").size(), 2u + 4u);
  // Tiny rectangles and clipped ends draw without reading past the bins.
  h.Setup(256, 0, FALSE, FALSE, FALSE, 0, RGB(9, 9, 9));
  h.SetMarkers(3, 250, RGB(1, 0, 0), RGB(2, 0, 0), TRUE);
  const CET_Dib picture = Picture(3, 1, 24, [](int x, int) { return Grey(x * 100); });
  h.Count(&picture, 1);
  for (const int width : {0, 1, 2, 3, 20}) {
    CRecordingDC tiny;
    h.Draw(&tiny, CRect(0, 0, width, 10));
  }
  CRecordingDC ends;
  h.Draw(&ends, CRect(0, 0, 256, 30));
  EXPECT_FALSE(LinesOf(ends, RGB(1, 0, 0)).empty());
  EXPECT_FALSE(LinesOf(ends, RGB(2, 0, 0)).empty());
  // Columns from the second marker's column on (250 bins in, 234) take its colour.
  EXPECT_EQ(std::get<0>(LinesOf(ends, RGB(2, 0, 0)).front()), 234);
}

TEST_F(HistogramDraw, ThePanelAsItLooks) {
  CET_Histogram h;
  SetUpPanel(h);
  const CET_Dib picture = Picture(256, 64, 24, [](int x, int y) {
    return RGBQUAD{static_cast<BYTE>(x), static_cast<BYTE>((x + 4 * y) % 256), static_cast<BYTE>(255 - x / 2), 0};
  });
  h.Count(&picture, 1);
  Canvas canvas(272, 110);
  h.Draw(&canvas.dc, CRect(0, 0, 272, 110));
  pt::SavePng(Shot(canvas), "histogram-panel.png");
  EXPECT_EQ(canvas.Pixel(0, 50), RGB(0, 0, 0)) << "frame";
  EXPECT_EQ(canvas.Pixel(3, 50), RGB(225, 225, 225)) << "background in the margin";
}
