// Pictures drawn through DCs: fitted and cropped, turned, in bands, and the
// double-buffered painting every small control uses.

#include "ToolkitTestWindows.h"
#include "platform/testing/Headless.h"
#include "toolkit/CET_Calc.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pt = platform::testing;

namespace {

// A bottom-up 24-bit picture whose pixel at (x, y from the top) is
// (R, G, B) = (x, y, 77).
struct Picture {
  BITMAPINFO info{};
  std::vector<BYTE> bits;
  Picture(int width, int height) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const auto row = DibRowBytes(width, 24);
    bits.assign(static_cast<std::size_t>(row * height), 0);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        BYTE* p = &bits[static_cast<std::size_t>((height - 1 - y) * row + x * 3)];
        p[0] = 77;
        p[1] = static_cast<BYTE>(y);
        p[2] = static_cast<BYTE>(x);
      }
    }
  }
};

// A memory DC over a top-down 32-bit section filled with one colour.
struct Canvas {
  CDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  std::uint32_t* pixels = nullptr;
  int width, height;
  Canvas(int w, int h) : width(w), height(h) {
    dc.CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    pixels = static_cast<std::uint32_t*>(p);
    old = dc.SelectObject(bitmap);
    dc.FillSolidRect(0, 0, w, h, RGB(9, 9, 9));
  }
  ~Canvas() {
    dc.SelectObject(old);
    DeleteObject(bitmap);
  }
  COLORREF Pixel(int x, int y) const {
    const std::uint32_t p = pixels[y * width + x];
    return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
  }
  std::size_t Bytes() const { return static_cast<std::size_t>(width) * height * 4; }
};

class PictureOps : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

TEST_F(PictureOps, AWholePictureIsLetterBoxedAndACroppedOneFillsTheTarget) {
  Picture wide(40, 20);
  Canvas c(100, 100);
  CET_Calc::DrawDibToDC(&c.dc, &wide.info, wide.bits.data(), RECT{0, 0, 100, 100}, true, false, false);
  EXPECT_EQ(c.Pixel(50, 24), RGB(9, 9, 9)) << "above the letter box (0, 25, 100, 75)";
  EXPECT_EQ(c.Pixel(0, 25), RGB(0, 0, 77));
  EXPECT_EQ(c.Pixel(99, 74), RGB(39, 19, 77));
  EXPECT_EQ(c.Pixel(50, 75), RGB(9, 9, 9));

  Picture landscape(30, 20);
  Canvas d(20, 20);
  CET_Calc::DrawDibToDC(&d.dc, &landscape.info, landscape.bits.data(), RECT{0, 0, 20, 20}, false, false, false);
  EXPECT_EQ(d.Pixel(0, 0), RGB(5, 0, 77)) << "the centred 20 x 20 columns 5..24";
  EXPECT_EQ(d.Pixel(19, 19), RGB(24, 19, 77));
}

TEST_F(PictureOps, ATurnedPictureDrawsAQuarterTurnAndKeepsItsHeader) {
  Picture picture(4, 2);
  const BITMAPINFO before = picture.info;
  Canvas c(2, 4);
  CET_Calc::DrawDibToDC(&c.dc, &picture.info, picture.bits.data(), RECT{0, 0, 2, 4}, true, true, false);
  EXPECT_EQ(std::memcmp(&before, &picture.info, sizeof before), 0);
  // A bottom-up picture turned a quarter counter-clockwise: its top-right
  // pixel comes to the top-left.
  EXPECT_EQ(c.Pixel(0, 0), RGB(3, 0, 77));
  EXPECT_EQ(c.Pixel(1, 0), RGB(3, 1, 77));
  EXPECT_EQ(c.Pixel(0, 3), RGB(0, 0, 77));
}

TEST_F(PictureOps, BandsEqualOneBlitAndStayInsideThePicture) {
  // 500 rows into a destination twice as large: bands of 240, 240 and 20
  // rows, 480, 480 and 40 high from the bottom.
  Picture picture(9, 500);
  const BITMAPINFO before = picture.info;
  for (const RECT target : {RECT{0, 0, 9, 500}, RECT{0, 0, 18, 1000}, RECT{0, 0, 9, 333}}) {
    Canvas banded(target.right, target.bottom), whole(target.right, target.bottom);
    CET_Calc::StretchDibInBands(&banded.dc, target, &picture.info, picture.bits.data(), RECT{});
    CET_Calc::DrawDibToDC(&whole.dc, &picture.info, picture.bits.data(), target, false, false, false);
    EXPECT_EQ(std::memcmp(&before, &picture.info, sizeof before), 0) << "height and size restored";
    if (target.bottom != 333) {
      EXPECT_EQ(std::memcmp(banded.pixels, whole.pixels, banded.Bytes()), 0) << target.bottom;
    } else {
      // Other ratios place each band on its own step: the picture's rows
      // land in order, top row at the top.
      EXPECT_EQ(banded.Pixel(0, 0), RGB(0, 0, 77));
      EXPECT_EQ(banded.Pixel(0, 332), RGB(0, 499 % 256, 77));
    }
  }
  // A source reaching below the picture is cut to it (no read beyond the rows).
  Canvas c(9, 600);
  CET_Calc::StretchDibInBands(&c.dc, RECT{0, 0, 9, 600}, &picture.info, picture.bits.data(), RECT{0, 0, 9, 600});
  CET_Calc::DrawDibToDC(nullptr, &picture.info, picture.bits.data(), RECT{0, 0, 9, 9}, true, false, true);
}

// A control painting through a memory DC: it marks what its callback got.
class Buffered : public CWnd {
public:
  RECT area{};
  CDC* background = nullptr;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    CET_Calc::PaintThroughMemoryDC(
        &dc, client,
        [](CDC* memory, RECT grown, void* self, void*) {
          static_cast<Buffered*>(self)->area = grown;
          memory->FillSolidRect(0, 0, 5, 5, RGB(255, 0, 0)); // the target's coordinates
        },
        this, nullptr, background);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Buffered, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

TEST_F(PictureOps, PaintingThroughAMemoryDcStartsFromWhatTheTargetShows) {
  NotifiedParent parent; // paints the toolkit's grey
  ASSERT_TRUE(parent.CreateAt(CRect(0, 0, 100, 100)));
  Buffered control;
  ASSERT_TRUE(control.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 40, 30), &parent, 1));
  pt::Pump();
  EXPECT_EQ(control.area, (RECT{-1, -1, 31, 21})) << "the client rectangle grown by one pixel";
  auto shot = pt::GrabClient(control.m_hWnd);
  EXPECT_EQ(pt::PixelAt(shot, 2, 2), RGB(255, 0, 0));
  EXPECT_EQ(pt::PixelAt(shot, 20, 10), RGB(89, 89, 89)) << "undrawn: what the parent showed";

  Canvas seed(40, 40);
  seed.dc.FillSolidRect(0, 0, 40, 40, RGB(0, 128, 0));
  control.background = &seed.dc;
  control.RedrawWindow();
  shot = pt::GrabClient(control.m_hWnd);
  EXPECT_EQ(pt::PixelAt(shot, 20, 10), RGB(0, 128, 0)) << "seeded from the background DC";
}

} // namespace
