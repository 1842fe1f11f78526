// GDI's pixel rules on the raster DC: a table of edges, regions and clipping,
// blends and colour-keyed blits, pixels and bitmaps read back; the recording
// DC's log and its tee; degenerate input.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "RasterCanvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace pt = platform::testing;

namespace {

constexpr COLORREF kInk = RGB(200, 30, 40);
constexpr COLORREF kPaper = RGB(1, 2, 3);

struct EdgeCase {
  const char* name;
  std::function<void(CDC&)> draw;
  std::vector<std::string> picture; // 10 x 8, '#' where the ink is
};

class PlatformGdi : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

} // namespace

TEST_F(PlatformGdi, EdgesOfFillsFramesLinesRegionsAndClips) {
  const EdgeCase cases[] = {
      {"FillRect", [](CDC& dc) { dc.FillSolidRect(CRect(1, 1, 4, 3), kInk); },
       {"..........", ".###......", ".###......", "..........", "..........", "..........", "..........",
        ".........."}},
      {"FrameRect",
       [](CDC& dc) {
         CBrush b(kInk);
         dc.FrameRect(CRect(1, 1, 5, 5), &b);
       },
       {"..........", ".####.....", ".#..#.....", ".#..#.....", ".####.....", "..........", "..........",
        ".........."}},
      {"Rectangle, one-pixel pen, hollow brush",
       [](CDC& dc) {
         CPen p(PS_SOLID, 1, kInk);
         dc.SelectObject(&p);
         dc.SelectStockObject(NULL_BRUSH);
         dc.Rectangle(CRect(2, 1, 7, 5));
         dc.SelectStockObject(BLACK_PEN);
       },
       {"..........", "..#####...", "..#...#...", "..#...#...", "..#####...", "..........", "..........",
        ".........."}},
      {"LineTo leaves its end point out",
       [](CDC& dc) {
         CPen p(PS_SOLID, 1, kInk);
         dc.SelectObject(&p);
         dc.MoveTo(1, 1);
         dc.LineTo(6, 1);
         dc.LineTo(6, 4);
         dc.SelectStockObject(BLACK_PEN);
       },
       {"..........", ".######...", "......#...", "......#...", "..........", "..........", "..........",
        ".........."}},
      {"Lines drawn backwards leave their end point out too",
       [](CDC& dc) {
         CPen p(PS_SOLID, 1, kInk);
         dc.SelectObject(&p);
         dc.MoveTo(6, 1);
         dc.LineTo(1, 1);
         dc.LineTo(1, 5);
         dc.MoveTo(8, 6);
         dc.LineTo(8, 3);
         dc.SelectStockObject(BLACK_PEN);
       },
       {"..........", ".######...", ".#........", ".#........", ".#......#.", "........#.", "........#.",
        ".........."}},
      {"A three-pixel pen covers a square around each pixel of the line",
       [](CDC& dc) {
         CPen p(PS_SOLID, 3, kInk);
         dc.SelectObject(&p);
         dc.MoveTo(2, 2);
         dc.LineTo(7, 2);
         dc.LineTo(7, 6);
         dc.SelectStockObject(BLACK_PEN);
       },
       {"..........", ".########.", ".########.", ".########.", "......###.", "......###.", "......###.",
        ".........."}},
      {"Rectangle, two-pixel pen: a frame centred on the one-pixel frame",
       [](CDC& dc) {
         CPen p(PS_SOLID, 2, kInk);
         dc.SelectObject(&p);
         dc.SelectStockObject(NULL_BRUSH);
         dc.Rectangle(CRect(1, 1, 8, 7));
         dc.SelectStockObject(BLACK_PEN);
       },
       {"..........", ".########.", ".########.", ".##....##.", ".##....##.", ".##....##.", ".########.",
        ".########."}},
      {"FillRgn of a 4 x 4 rounded rectangle",
       [](CDC& dc) {
         CRgn r;
         r.CreateRoundRectRgn(1, 1, 9, 8, 4, 4);
         CBrush b(kInk);
         dc.FillRgn(&r, &b);
       },
       {"..........", "..#####...", ".#######..", ".#######..", ".#######..", ".#######..", "..#####...",
        ".........."}},
      {"FrameRgn 1 x 1 of the same region",
       [](CDC& dc) {
         CRgn r;
         r.CreateRoundRectRgn(1, 1, 9, 8, 4, 4);
         CBrush b(kInk);
         dc.FrameRgn(&r, &b, 1, 1);
       },
       {"..........", "..#####...", ".#.....#..", ".#.....#..", ".#.....#..", ".#.....#..", "..#####...",
        ".........."}},
      {"ExcludeClipRect keeps a fill out of a rectangle",
       [](CDC& dc) {
         dc.ExcludeClipRect(3, 2, 6, 4);
         dc.FillSolidRect(CRect(1, 1, 8, 5), kInk);
         dc.SelectClipRgn(nullptr);
       },
       {"..........", ".#######..", ".##...##..", ".##...##..", ".#######..", "..........", "..........",
        ".........."}},
      {"IntersectClipRect limits a fill, in logical coordinates",
       [](CDC& dc) {
         dc.SetViewportOrg(1, 1);
         dc.IntersectClipRect(0, 0, 3, 2);
         dc.FillSolidRect(CRect(-5, -5, 20, 20), kInk);
         dc.SelectClipRgn(nullptr);
         dc.SetViewportOrg(0, 0);
       },
       {"..........", ".###......", ".###......", "..........", "..........", "..........", "..........",
        ".........."}},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(10, 8);
    canvas.FillAll(kPaper);
    c.draw(canvas.dc);
    std::vector<std::string> rows;
    for (int y = 0; y < 8; ++y) rows.push_back(Row(canvas, y, kInk));
    EXPECT_EQ(rows, c.picture);
  }
}

TEST_F(PlatformGdi, TextIsOpaqueByDefaultAndTransparentWhenAsked) {
  for (const int mode : {OPAQUE, TRANSPARENT}) {
    Canvas canvas(60, 20);
    canvas.FillAll(RGB(0, 0, 0));
    canvas.dc.SetBkMode(mode);
    canvas.dc.SetTextColor(RGB(255, 255, 0));
    canvas.dc.TextOut(2, 2, u"iii");
    // The cell's corner has no glyph: the background colour shows only when OPAQUE.
    EXPECT_EQ(canvas.Pixel(2, 2), mode == OPAQUE ? RGB(255, 255, 255) : RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(50, 10), RGB(0, 0, 0));
  }
}

TEST_F(PlatformGdi, ConstantAlphaAndColourKeyedBlits) {
  Canvas source(4, 1);
  source.dc.FillSolidRect(CRect(0, 0, 2, 1), RGB(255, 0, 255)); // the key
  source.dc.FillSolidRect(CRect(2, 0, 4, 1), RGB(0, 200, 0));
  Canvas target(8, 2);
  target.FillAll(RGB(100, 100, 100));
  ASSERT_TRUE(target.dc.TransparentBlt(0, 0, 8, 2, &source.dc, 0, 0, 4, 1, RGB(255, 0, 255)));
  EXPECT_EQ(Row(target, 0, RGB(0, 200, 0)), "....####");
  EXPECT_EQ(target.Pixel(0, 1), RGB(100, 100, 100));

  Canvas white(1, 1);
  white.FillAll(RGB(255, 255, 255));
  target.FillAll(RGB(0, 0, 0));
  BLENDFUNCTION blend;
  blend.SourceConstantAlpha = 64;
  ASSERT_TRUE(target.dc.AlphaBlend(1, 0, 3, 2, &white.dc, 0, 0, 1, 1, blend));
  const COLORREF blended = target.Pixel(2, 1);
  EXPECT_NEAR(GetRValue(blended), 64, 1);
  EXPECT_EQ(target.Pixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(target.Pixel(4, 0), RGB(0, 0, 0));
  // Per-pixel alpha and empty extents are refused.
  blend.AlphaFormat = AC_SRC_ALPHA;
  EXPECT_FALSE(target.dc.AlphaBlend(0, 0, 1, 1, &white.dc, 0, 0, 1, 1, blend));
  EXPECT_FALSE(target.dc.TransparentBlt(0, 0, 0, 1, &source.dc, 0, 0, 4, 1, 0));
}

TEST_F(PlatformGdi, ClipRegionsAreSavedAndReadBack) {
  Canvas canvas(20, 10);
  CRgn region;
  region.CreateRectRgn(2, 2, 8, 6);
  EXPECT_EQ(canvas.dc.SelectClipRgn(&region), SIMPLEREGION);
  RECT box;
  EXPECT_EQ(canvas.dc.GetClipBox(&box), SIMPLEREGION);
  EXPECT_EQ(box, (RECT{2, 2, 8, 6}));
  const int saved = canvas.dc.SaveDC();
  canvas.dc.ExcludeClipRect(4, 2, 6, 6);
  EXPECT_EQ(canvas.dc.GetClipBox(&box), COMPLEXREGION);
  EXPECT_FALSE(canvas.dc.PtVisible(5, 3));
  canvas.dc.RestoreDC(saved);
  EXPECT_TRUE(canvas.dc.PtVisible(5, 3));
  CRgn copy;
  copy.CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(canvas.dc, copy), 1);
  EXPECT_TRUE(copy.EqualRgn(&region));
  canvas.dc.SelectClipRgn(nullptr);
  EXPECT_EQ(GetClipRgn(canvas.dc, copy), 0);
  EXPECT_EQ(canvas.dc.GetClipBox(&box), SIMPLEREGION);
  EXPECT_EQ(box, (RECT{0, 0, 20, 10}));
  // Region calls on stale or wrong handles fail cleanly.
  EXPECT_EQ(CombineRgn(copy, nullptr, copy, RGN_OR), RGN_ERROR);
  EXPECT_FALSE(canvas.dc.FillRgn(&copy, nullptr));
}

TEST_F(PlatformGdi, PixelsAndBitmapsReadBack) {
  Canvas canvas(5, 3, true, 24);
  canvas.FillAll(RGB(10, 20, 30));
  EXPECT_EQ(canvas.dc.SetPixel(4, 2, RGB(9, 8, 7)), RGB(9, 8, 7));
  EXPECT_EQ(canvas.dc.GetPixel(4, 2), RGB(9, 8, 7));
  EXPECT_EQ(canvas.dc.GetPixel(5, 0), CLR_INVALID);
  EXPECT_EQ(canvas.dc.GetPixel(-1, 0), CLR_INVALID);
  // Read back as a bottom-up 32-bit picture: its first row is the canvas's last.
  canvas.dc.SelectObject(canvas.old);
  BITMAPINFO info{};
  ASSERT_EQ(GetDIBits(nullptr, canvas.bitmap, 0, 3, nullptr, &info, DIB_RGB_COLORS), 3);
  EXPECT_EQ(info.bmiHeader.biWidth, 5);
  info.bmiHeader.biBitCount = 32;
  std::vector<BYTE> bits(5 * 4 * 3);
  ASSERT_EQ(GetDIBits(nullptr, canvas.bitmap, 0, 3, bits.data(), &info, DIB_RGB_COLORS), 3);
  EXPECT_EQ(bits[16], 7);
  EXPECT_EQ(bits[18], 9);
  EXPECT_EQ(bits[4 * 5 * 2], 30);
  // Rows beyond the bitmap are not read.
  EXPECT_EQ(GetDIBits(nullptr, canvas.bitmap, 2, 50, bits.data(), &info, DIB_RGB_COLORS), 1);
  canvas.old = canvas.dc.SelectObject(canvas.bitmap);
}

TEST_F(PlatformGdi, DegenerateInputDrawsNothingAndNeverOverflows) {
  Canvas canvas(8, 8);
  canvas.FillAll(kPaper);
  CBrush ink(kInk);
  CRgn empty;
  empty.CreateRectRgn(5, 5, 5, 5);
  for (const RECT& r : {RECT{3, 3, 3, 3}, RECT{6, 6, 2, 2}, RECT{INT_MIN, INT_MIN, INT_MIN + 1, INT_MIN + 1}}) {
    canvas.dc.FillRect(&r, &ink);
    canvas.dc.FrameRect(&r, &ink);
    RECT copy = r;
    canvas.dc.DrawText(u"text", &copy, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS);
  }
  canvas.dc.FillRgn(&empty, &ink);
  EXPECT_EQ(empty.GetRgnBox(nullptr), RGN_ERROR);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(Row(canvas, y, kPaper), "########");
  // A huge rectangle fills what there is.
  const RECT huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  canvas.dc.FillRect(&huge, &ink);
  EXPECT_EQ(canvas.Pixel(7, 7), kInk);
  RECT text = huge;
  EXPECT_GT(canvas.dc.DrawText(u"huge", &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
}

TEST_F(PlatformGdi, RecordingDcLogsCallsWithStateAndTeesThem) {
  Canvas raster(20, 10);
  raster.FillAll(kPaper);
  CRecordingDC::Caps caps;
  caps.width = 20;
  caps.height = 10;
  caps.dpiX = caps.dpiY = 600;
  caps.printer = true;
  CRecordingDC dc(caps, &raster.dc);
  EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSY), 600);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 20);
  EXPECT_EQ(dc.GetDeviceCaps(TECHNOLOGY), DT_RASPRINTER);
  dc.SetViewportOrg(2, 1);
  dc.FillSolidRect(CRect(0, 0, 3, 2), kInk);
  CPen pen(PS_SOLID, 3, RGB(255, 0, 0));
  dc.SelectObject(&pen);
  dc.MoveTo(0, 5);
  dc.LineTo(8, 5);
  const auto fills = dc.Calls("FillRect");
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_EQ(fills[0].rect, (RECT{0, 0, 3, 2}));
  EXPECT_EQ(fills[0].colour, kInk);
  EXPECT_EQ(fills[0].origin, (POINT{2, 1}));
  const auto lines = dc.Calls("LineTo");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points, (std::vector<POINT>{{0, 5}, {8, 5}}));
  EXPECT_EQ(lines[0].pen.width, 3);
  EXPECT_EQ(lines[0].pen.colour, RGB(255, 0, 0));
  // The tee shows the same drawing as pixels.
  EXPECT_EQ(raster.Pixel(2, 1), kInk);
  EXPECT_EQ(raster.Pixel(4, 2), kInk);
  EXPECT_EQ(raster.Pixel(5, 2), kPaper);
  EXPECT_EQ(raster.Pixel(9, 6), RGB(255, 0, 0));
  dc.SelectStockObject(BLACK_PEN);
  dc.Clear();
  EXPECT_TRUE(dc.Calls().empty());
  // Without a tee it records and draws nowhere.
  CRecordingDC alone;
  alone.FillSolidRect(CRect(0, 0, 5, 5), kInk);
  EXPECT_EQ(alone.Calls().size(), 1u);
  EXPECT_EQ(alone.GetDeviceCaps(LOGPIXELSX), 96);
}
