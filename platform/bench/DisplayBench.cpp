// The layer on an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb and
// Mesa's software OpenGL, as the gl and smoke tests), each beside the plain
// mechanism it stands on, in turns within one run ("x_plain": the layer's
// time over the plain one's):
//   - an OpenGL frame of 1920 x 1080 cleared and swapped into the window's
//     surface (SwapBuffers reads it back) beside the same clear and a
//     glReadPixels of the frame buffer into memory;
//   - a 1920 x 1080 window repainted at once (RedrawWindow: WM_PAINT fills
//     the surface, the host presents it to the server) beside a QWidget
//     repainting a prepared image of that size.
// Each is checked once against the server's pixels or the surface.

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Display.h"
#include "platform/win/WinGL.h"

#include <GL/gl.h>
#include <QPainter>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

namespace pt = platform::testing;
using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "DisplayBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(benchmark::State& state, double layer, double plain) {
  const double n = static_cast<double>(state.iterations());
  state.counters["layer_ms"] = benchmark::Counter(1e3 * layer / n);
  state.counters["plain_ms"] = benchmark::Counter(1e3 * plain / n);
  state.counters["x_plain"] = benchmark::Counter(plain > 0 ? layer / plain : 0.0);
}

// Runs layer() and plain() in turns, the first swapped every iteration.
template <class L, class P>
void Alternate(benchmark::State& state, L&& layer, P&& plain) {
  double layerTime = 0, plainTime = 0;
  bool layerFirst = true;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      const auto start = Clock::now();
      if (layerFirst == (turn == 0)) {
        layer();
        layerTime += Seconds(start);
      } else {
        plain();
        plainTime += Seconds(start);
      }
    }
    layerFirst = !layerFirst;
  }
  Report(state, layerTime, plainTime);
}

class Top : public CWnd {
public:
  COLORREF colour = RGB(10, 20, 30);

protected:
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    dc.FillSolidRect(0, 0, kWidth, kHeight, colour);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Top, CWnd)
  ON_WM_ERASEBKGND()
  ON_WM_PAINT()
END_MESSAGE_MAP()

void BM_GlFrameReadBack(benchmark::State& state) {
  if (const std::string why = pt::StartOnDisplay(true); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  Top top;
  top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, nullptr, 0);
  pt::WaitUntilExposed(top);
  CClientDC dc(&top);
  PIXELFORMATDESCRIPTOR pfd;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  const int format = ChoosePixelFormat(dc, &pfd);
  HGLRC context = format && SetPixelFormat(dc, format, &pfd) ? wglCreateContext(dc) : nullptr;
  if (!context || !wglMakeCurrent(dc, context)) Fail("no OpenGL context");
  glViewport(0, 0, kWidth, kHeight);
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SwapBuffers(dc);
  wglMakeCurrent(nullptr, nullptr);
  if (pt::PixelAt(pt::GrabClient(top), kWidth - 1, kHeight - 1) != RGB(51, 102, 153)) Fail("the swapped frame");

  std::vector<std::uint32_t> memory(static_cast<std::size_t>(kWidth) * kHeight);
  Alternate(
      state,
      [&] {
        wglMakeCurrent(dc, context);
        glClear(GL_COLOR_BUFFER_BIT);
        SwapBuffers(dc);
        wglMakeCurrent(nullptr, nullptr);
      },
      [&] {
        wglMakeCurrent(dc, context);
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        glReadPixels(0, 0, kWidth, kHeight, 0x80E1 /* GL_BGRA */, GL_UNSIGNED_BYTE, memory.data());
        wglMakeCurrent(nullptr, nullptr);
      });
  benchmark::DoNotOptimize(memory.data());
  wglDeleteContext(context);
  top.DestroyWindow();
  pt::Pump();
}
BENCHMARK(BM_GlFrameReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

class PlainWidget : public QWidget {
public:
  QImage image{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
  PlainWidget() { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, image);
  }
};

void BM_RasterRepaintPresented(benchmark::State& state) {
  if (const std::string why = pt::StartOnDisplay(false); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  Top top;
  top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, nullptr, 0);
  pt::WaitUntilExposed(top);
  top.colour = RGB(200, 100, 50);
  top.RedrawWindow();
  if (pt::PixelAt(pt::GrabScreen(RECT{kWidth - 4, kHeight - 4, kWidth, kHeight}), 1, 1) != RGB(200, 100, 50)) {
    Fail("the server's pixels after the repaint");
  }
  auto plain = std::make_unique<PlainWidget>();
  plain->setGeometry(0, 0, kWidth, kHeight);
  plain->image.fill(QColor(50, 100, 200));
  plain->show();
  pt::Pump();
  int n = 0;
  Alternate(
      state,
      [&] {
        top.colour = RGB(static_cast<BYTE>(++n), 100, 50);
        top.RedrawWindow(); // invalidate, paint and present at once
      },
      [&] {
        plain->image.fill(QColor(static_cast<int>(++n & 0xFF), 100, 200));
        plain->repaint();
      });
  plain.reset();
  top.DestroyWindow();
  pt::Pump();
}
BENCHMARK(BM_RasterRepaintPresented)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
