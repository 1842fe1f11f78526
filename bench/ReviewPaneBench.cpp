// The review pane's painting beside the toolkit's image window painting the
// same 24-megapixel picture into the same 1920 x 1080 window, alternately in
// one run; each result is checked once before timing.
//   - fitted, the pane with its rulers ("x_image_window": the pane's time
//     over the image window's; the rulers and the smaller fit area are the
//     difference);
//   - at actual size, scrolled to the middle, rulers on.
// Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "review/pane/CReviewImageWnd.h"
#include "support/DibBuilder.h"
#include "toolkit/CET_ImageWndOrg.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

namespace pt = platform::testing;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPictureWidth = 6000;
constexpr int kPictureHeight = 4000;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ReviewPaneBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Green runs from 0 at the top to 255 at the bottom.
std::unique_ptr<CET_Dib> MakePicture() {
  return testsupport::MakeBottomUpDib(kPictureWidth, kPictureHeight, [](int x, int y) {
    return RGB(x * 255 / kPictureWidth, y * 255 / kPictureHeight, 100);
  });
}

struct Windows {
  CWnd frame;
  CET_ImageWndOrg image;
  CReviewImageWnd pane;
  std::unique_ptr<CET_Dib> picture = MakePicture();
  Windows() {
    pt::Init();
    // Room for the pane's bars right of and below it.
    frame.CreateEx(0, u"Frame", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth + 20, kHeight + 20), nullptr, 0);
    image.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &frame, 1);
    pane.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &frame, 2);
    image.SetImage(picture.get(), TRUE, 1.0, 0, 0);
    pane.SetImage(picture.get(), TRUE, 1.0, 0, 0);
    pane.SetRuler(TRUE, FALSE);
  }
  ~Windows() {
    pane.DestroyWindow();
    image.DestroyWindow();
    frame.DestroyWindow();
  }
};

void Measure(benchmark::State& state, Windows& w) {
  CClientDC paneDC(&w.pane);
  CClientDC imageDC(&w.image);
  double pane = 0, image = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    w.pane.DrawImage(&paneDC);
    pane += Seconds(start);
    start = Clock::now();
    w.image.DrawImage(&imageDC);
    image += Seconds(start);
  }
  const auto per = [&](double total) {
    return benchmark::Counter(1e3 * total / static_cast<double>(state.iterations()));
  };
  state.counters["pane_ms"] = per(pane);
  state.counters["image_window_ms"] = per(image);
  state.counters["x_image_window"] = benchmark::Counter(image > 0 ? pane / image : 0.0);
}

int GreenAt(CWnd& wnd, int x, int y) {
  {
    CClientDC dc(&wnd);
    static_cast<CET_ImageWndOrg&>(wnd).DrawImage(&dc);
  }
  return GetGValue(pt::PixelAt(pt::GrabClient(wnd.m_hWnd), x, y));
}

// Both show the picture's middle row (green about 127) at their centres.
void CheckCentres(Windows& w, int paneX, int paneY, int imageX, int imageY) {
  if (std::abs(GreenAt(w.pane, paneX, paneY) - 127) > 4) Fail("pane's centre");
  if (std::abs(GreenAt(w.image, imageX, imageY) - 127) > 4) Fail("image window's centre");
  if (GreenAt(w.pane, 10, 10) != 225) Fail("ruler corner");
}

void BM_FitWithRulers(benchmark::State& state) {
  Windows w;
  // The pane fits into 1900 x 1060 from (20, 20), the image window into the whole.
  CheckCentres(w, 20 + 950, 20 + 530, kWidth / 2, kHeight / 2);
  Measure(state, w);
}
BENCHMARK(BM_FitWithRulers)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ActualSizeWithRulers(benchmark::State& state) {
  Windows w;
  w.pane.SetZoomIndex(CReviewImageWnd::kActualSizeStep);
  w.image.SetZoom(1.0, CPoint(-1, -1));
  w.pane.ScrollToRelativeRect(FDoubleRect(0.4, 0.4, 0.6, 0.6));
  w.image.ScrollTo(static_cast<int>(0.4 * kPictureWidth), static_cast<int>(0.4 * kPictureHeight));
  // Picture row 1600 (green 102) at the top of each picture area.
  if (std::abs(GreenAt(w.pane, 200, 20) - 102) > 2) Fail("pane at actual size");
  Measure(state, w);
}
BENCHMARK(BM_ActualSizeWithRulers)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
