// Drawing through the window layer, timed beside the plain mechanism in the
// same run, alternately; each result is checked once before timing.
//   - DrawText of 1,000 single-line captions cut with an ellipsis, beside
//     QPainter::drawText of the same strings elided by QFontMetrics, in the
//     same face and size ("x_qt": the layer's time over Qt's; goal: at most 2);
//   - a 1920 x 1080 repaint of the histogram panel with its captions, beside a
//     plain fill of the same surface ("x_fill").
// Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_Histogram.h"
#include "toolkit/CStringItemDrawer.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "DrawingBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(benchmark::State& state, double work, double plain, const char* ratio, std::int64_t items) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * items);
  state.counters["layer_ms"] = benchmark::Counter(1e3 * work / static_cast<double>(state.iterations()));
  state.counters["plain_ms"] = benchmark::Counter(1e3 * plain / static_cast<double>(state.iterations()));
  state.counters[ratio] = benchmark::Counter(plain > 0 ? work / plain : 0.0);
}

// A memory DC over a 32-bit top-down surface.
struct Surface {
  CDC dc;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  std::uint32_t* bits = nullptr;
  int width, height;
  Surface(int w, int h) : width(w), height(h) {
    platform::testing::Init();
    dc.CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    if (!bitmap) Fail("surface");
    bits = static_cast<std::uint32_t*>(p);
    old = dc.SelectObject(bitmap);
  }
  ~Surface() {
    dc.SelectObject(old);
    DeleteObject(bitmap);
  }
  // Whether any pixel of the area differs from the colour (0x00RRGGBB).
  bool Inked(int left, int top, int right, int bottom, std::uint32_t background) const {
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        if ((bits[y * width + x] & 0xFFFFFF) != background) return true;
      }
    }
    return false;
  }
};

// ---------------------------------------------------------------------------
// Captions with an ellipsis

constexpr int kCaptions = 1000;
constexpr int kCellWidth = 150, kCellHeight = 18, kColumns = 5, kRows = 40;

std::vector<std::u16string> Captions() {
  std::vector<std::u16string> captions;
  for (int i = 0; i < kCaptions; ++i) {
    const std::string text = "IMG_" + std::to_string(1000 + i) + " taken on the second day of the trip.kvr";
    captions.emplace_back(text.begin(), text.end());
  }
  return captions;
}

RECT Cell(int i) {
  const int column = i % kColumns, row = (i / kColumns) % kRows;
  return {column * kCellWidth, row * kCellHeight, (column + 1) * kCellWidth, (row + 1) * kCellHeight};
}

void BM_DrawTextCaptions(benchmark::State& state) {
  const std::vector<std::u16string> captions = Captions();
  Surface surface(kColumns * kCellWidth, kRows * kCellHeight);
  LOGFONTW lf{};
  lf.lfHeight = -11;
  const char16_t face[] = u"DejaVu Sans";
  std::copy(std::begin(face), std::end(face), lf.lfFaceName);
  CFont font;
  font.CreateFontIndirect(&lf);
  CFont* oldFont = surface.dc.SelectObject(&font);
  surface.dc.SetBkMode(TRANSPARENT);
  // Qt's side: the same face and size, unhinted and unkerned as the layer draws.
  QImage image(surface.width, surface.height, QImage::Format_RGB32);
  QFont qfont(QStringLiteral("DejaVu Sans"));
  qfont.setPixelSize(11);
  qfont.setHintingPreference(QFont::PreferNoHinting);
  qfont.setKerning(false);
  const QFontMetrics metrics(qfont);
  std::vector<QString> qcaptions;
  for (const auto& c : captions) qcaptions.push_back(QString::fromUtf16(c.data(), static_cast<qsizetype>(c.size())));

  auto drawLayer = [&] {
    for (int i = 0; i < kCaptions; ++i) {
      RECT cell = Cell(i);
      DrawTextW(surface.dc, captions[static_cast<std::size_t>(i)].c_str(), -1, &cell,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
  };
  auto drawQt = [&] {
    QPainter p(&image);
    p.setFont(qfont);
    p.setPen(Qt::black);
    for (int i = 0; i < kCaptions; ++i) {
      const RECT c = Cell(i);
      const QRect cell(c.left, c.top, c.right - c.left, c.bottom - c.top);
      p.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                 metrics.elidedText(qcaptions[static_cast<std::size_t>(i)], Qt::ElideRight, cell.width()));
    }
  };
  // Checked once: both draw text inside the first cell and nothing beyond its right edge.
  surface.dc.FillSolidRect(0, 0, surface.width, surface.height, RGB(255, 255, 255));
  drawLayer();
  if (!surface.Inked(0, 0, kCellWidth, kCellHeight, 0xFFFFFF)) Fail("no caption drawn");
  std::u16string cut = captions[0];
  cut.resize(cut.size() + 4);
  RECT first = Cell(0);
  DrawTextW(surface.dc, cut.data(), -1, &first, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_MODIFYSTRING);
  if (std::u16string(cut.c_str()).substr(std::u16string(cut.c_str()).size() - 3) != u"...") Fail("no ellipsis");
  image.fill(Qt::white);
  drawQt();
  bool qtInked = false;
  for (int y = 0; y < kCellHeight && !qtInked; ++y) {
    for (int x = 0; x < kCellWidth && !qtInked; ++x) qtInked = (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  }
  if (!qtInked) Fail("no caption drawn by Qt");

  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    drawLayer();
    work += Seconds(start);
    start = Clock::now();
    drawQt();
    benchmark::DoNotOptimize(image.constBits());
    plain += Seconds(start);
  }
  surface.dc.SelectObject(oldFont);
  Report(state, work, plain, "x_qt", kCaptions);
}
BENCHMARK(BM_DrawTextCaptions)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// ---------------------------------------------------------------------------
// The histogram panel with captions, full screen

void BM_HistogramRepaint(benchmark::State& state) {
  Surface surface(1920, 1080);
  // A 1024 x 683 picture of gradients, counted once.
  CET_Dib picture;
  {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 1024;
    info.bmiHeader.biHeight = 683;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<BYTE> bits(static_cast<std::size_t>(DibRowBytes(1024, 24) * 683));
    for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<BYTE>((i * 7 + i / 3072) & 0xFF);
    picture.Set(&info, bits.data(), static_cast<DWORD>(bits.size()));
  }
  CET_Histogram histogram;
  histogram.Setup(256, 0, TRUE, TRUE, TRUE, RGB(225, 225, 225), RGB(0, 0, 0));
  const COLORREF channels[4] = {RGB(255, 255, 255), RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  for (int i = 0; i < 4; ++i) histogram.SetChannelColor(i, channels[i]);
  histogram.SetMarkers(64, 225, RGB(0, 0, 255), RGB(255, 0, 0), FALSE);
  histogram.SetStyle(1);
  histogram.SetGain(2.0);
  histogram.Count(&picture, 1);
  std::vector<CStringItemDrawer> captions(8);
  for (std::size_t i = 0; i < captions.size(); ++i) {
    const std::string text = "Channel caption " + std::to_string(i) + " with its value 1/250 s F8";
    captions[i].SetText(std::u16string(text.begin(), text.end()));
    captions[i].SetTextColor(RGB(0, 0, 0));
  }
  auto repaint = [&] {
    histogram.Draw(&surface.dc, CRect(0, 0, 1920, 1080));
    for (std::size_t i = 0; i < captions.size(); ++i) {
      const int top = 20 + 30 * static_cast<int>(i);
      captions[i].Draw(&surface.dc, CRect(20, top, 260, top + 24));
    }
  };
  repaint();
  if ((surface.bits[540 * 1920] & 0xFFFFFF) != 0) Fail("frame");
  if (!surface.Inked(20, 20, 260, 44, 0xE1E1E1)) Fail("caption");
  surface.dc.FillSolidRect(0, 0, 1920, 1080, RGB(225, 225, 225));
  if (surface.Inked(0, 0, 1920, 1080, 0xE1E1E1)) Fail("plain fill");

  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    repaint();
    work += Seconds(start);
    start = Clock::now();
    surface.dc.FillSolidRect(0, 0, 1920, 1080, RGB(225, 225, 225));
    benchmark::DoNotOptimize(surface.bits[0]);
    plain += Seconds(start);
  }
  Report(state, work, plain, "x_fill", 1);
}
BENCHMARK(BM_HistogramRepaint)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
