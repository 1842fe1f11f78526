// The two picture windows of the toolkit, timed beside plain Qt drawing in
// the same run, alternately; each result is checked once before timing.
//   - a 1920 x 1080 page of 160-pixel thumbnails painted by the thumbnail
//     window (cells, pictures, captions) beside QPainter drawing the same
//     pictures and captions at the same places ("x_qt"; goal: at most 1.5);
//   - 10,000 items scrolled a page at a time, each page painted ("page_ms");
//   - a 24-megapixel picture fitted to 1920 x 1080 by the image window beside
//     a plain scaled QPainter::drawImage ("x_qt"; goal: at most 1.5).
// Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "support/DibBuilder.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_ImageWndOrg.h"
#include "toolkit/CET_ThumbnailWnd.h"
#include "toolkit/FileOperations.h"

#include <QImage>
#include <QPainter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace pt = platform::testing;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "ThumbnailWindowBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(benchmark::State& state, double work, double plain) {
  state.counters["layer_ms"] = benchmark::Counter(1e3 * work / static_cast<double>(state.iterations()));
  state.counters["plain_ms"] = benchmark::Counter(1e3 * plain / static_cast<double>(state.iterations()));
  state.counters["x_qt"] = benchmark::Counter(plain > 0 ? work / plain : 0.0);
}

// A bottom-up 24-bit picture of a gradient.
CET_Dib* MakePicture(int width, int height, int seed) {
  return testsupport::MakeBottomUpDib(width, height, [seed](int x, int y) {
           return RGB((x ^ y) + seed * 7, y * 2, x + seed);
         }).release();
}

// The picture as Qt holds it, in the format of the page it is drawn on (so
// that QPainter converts nothing while timed).
QImage ToQImage(const CET_Dib& dib, QImage::Format format) {
  QImage image(reinterpret_cast<const uchar*>(dib.bits), dib.GetWidth(), dib.GetHeight(),
               (dib.GetWidth() * 3 + 3) / 4 * 4, QImage::Format_BGR888);
  return image.mirrored(false, true).convertToFormat(format); // bottom-up rows
}

// A thumbnail window of items that need no files and no loader: 160-pixel
// pictures in 180 x 215 cells.
class BenchThumbs : public CET_ThumbnailWnd {
public:
  CET_ThumbnailData* CreateItem(const FString& path) override {
    auto* item = new CET_ThumbnailData;
    item->m_Path = path;
    item->m_FileName = GetFileNamePart(path);
    return item;
  }
  void StartLoader() override {}
  void CreateIn(CWnd& frame) {
    SetScrollDirection(SB_VERT);
    Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &frame, 1);
    Init();
    SetLayout(180, 215, 10, 10, 2, 2, 10, 10, 170, 170, 5, 185, 175, 205);
  }
  void Fill(int count, int pictures) {
    FArray<FString> paths;
    for (int i = 0; i < count; ++i) {
      const std::string name = "/bench/IMG_" + std::to_string(10000 + i) + ".jpg";
      paths.Append(FString(name.c_str()));
    }
    SetFiles(&paths);
    LockItems();
    for (int i = 0; i < count; ++i) {
      m_Items.GetAt(i)->SetPicture(MakePicture(i % 2 ? 160 : 120, i % 2 ? 120 : 160, i % pictures));
      m_Items.GetAt(i)->m_bSelected = i % 7 == 0;
    }
    UnlockItems();
  }
  const CET_ThumbnailDataManager& Items() const { return m_Items; }
};

struct Windows {
  std::unique_ptr<BenchThumbs> thumbs;
  CWnd frame;
  Windows() {
    pt::Init();
    frame.CreateEx(0, u"Frame", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), nullptr, 0);
  }
};

// A memory DC over a 24-bit top-down surface of the page's size.
struct Surface {
  CDC dc;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  BYTE* bits = nullptr;
  Surface() {
    dc.CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    if (!bitmap) Fail("surface");
    bits = static_cast<BYTE*>(p);
    old = dc.SelectObject(bitmap);
  }
  ~Surface() {
    dc.SelectObject(old);
    DeleteObject(bitmap);
  }
};

void BM_ThumbnailPage(benchmark::State& state) {
  Windows w;
  BenchThumbs thumbs;
  thumbs.CreateIn(w.frame);
  const int perPage = thumbs.GetColumns() * thumbs.GetRowsPerPage();
  thumbs.Fill(perPage, 16);

  Surface surface;
  // Qt draws the same into a page of the same 24-bit pixels: white page, cell
  // fills, the pictures (converted to the page's format before timing)
  // fitted into the same frames, the centred captions.
  QImage page(kWidth, kHeight, QImage::Format_RGB888);
  std::vector<QImage> pictures;
  for (int i = 0; i < perPage; ++i) pictures.push_back(ToQImage(*thumbs.Items().GetAt(i)->m_pDib, page.format()));
  auto drawQt = [&] {
    QPainter painter(&page);
    painter.fillRect(page.rect(), Qt::white);
    for (int i = 0; i < perPage; ++i) {
      const CRect cell = thumbs.GetItemOrigin(i);
      const CET_ThumbnailData* item = thumbs.Items().GetAt(i);
      painter.fillRect(QRect(cell.left, cell.top, cell.Width(), cell.Height()),
                       item->m_bSelected ? QColor(192, 192, 255) : QColor(225, 225, 225));
      const CRect frame = thumbs.GetItemPictRect(i);
      const RECT fitted = CET_Calc::FitRectInRect(frame, CRect(0, 0, pictures[i].width(), pictures[i].height()));
      painter.drawImage(QRect(fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top),
                        pictures[i]);
      const CRect caption = thumbs.GetItemCaptionRect(i);
      painter.drawText(QRect(caption.left, caption.top, caption.Width(), caption.Height()), Qt::AlignCenter,
                       QString::fromUtf16(item->m_FileName.GetText()));
    }
  };
  auto drawLayer = [&] {
    surface.dc.SetStretchBltMode(COLORONCOLOR);
    thumbs.DrawItems(&surface.dc);
  };
  drawLayer();
  drawQt();
  // The centre of the first picture is the gradient's first corner colour.
  const CRect pict = thumbs.GetItemPictRect(0);
  const BYTE* p = surface.bits + static_cast<size_t>((pict.top + pict.bottom) / 2) * ((kWidth * 3 + 3) / 4 * 4) +
                  (pict.left + pict.right) / 2 * 3;
  const QRgb q = page.pixel((pict.left + pict.right) / 2, (pict.top + pict.bottom) / 2);
  if (p[2] != qRed(q) || p[1] != qGreen(q)) Fail("thumbnail pixels differ from Qt's");

  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    drawLayer();
    work += Seconds(start);
    start = Clock::now();
    drawQt();
    benchmark::DoNotOptimize(page.constBits());
    plain += Seconds(start);
  }
  state.counters["items"] = perPage;
  Report(state, work, plain);
  thumbs.DestroyWindow();
  w.frame.DestroyWindow();
}
BENCHMARK(BM_ThumbnailPage)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ThumbnailScroll(benchmark::State& state) {
  Windows w;
  BenchThumbs thumbs;
  thumbs.CreateIn(w.frame);
  thumbs.Fill(10000, 64);
  SCROLLINFO info{};
  thumbs.GetScrollInfo(&info);
  const int pages = (info.nMax + 1 + static_cast<int>(info.nPage) - 1) / static_cast<int>(info.nPage);
  double total = 0;
  std::int64_t painted = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    thumbs.ScrollTo(0);
    for (int page = 1; page < pages; ++page) thumbs.SendMessage(WM_VSCROLL, SB_PAGEDOWN, 0);
    total += Seconds(start);
    painted += pages;
    if (thumbs.GetFirstVisible() != (info.nMax - static_cast<int>(info.nPage) + 1) * thumbs.GetColumns()) {
      Fail("scrolling did not reach the last page");
    }
  }
  state.counters["pages"] = pages;
  state.counters["page_ms"] = benchmark::Counter(1e3 * total / static_cast<double>(painted));
  thumbs.DestroyWindow();
  w.frame.DestroyWindow();
}
BENCHMARK(BM_ThumbnailScroll)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_ImageWindowFit(benchmark::State& state) {
  Windows w;
  CET_ImageWndOrg image;
  image.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), &w.frame, 1);
  std::unique_ptr<CET_Dib> picture(MakePicture(6000, 4000, 3));
  image.SetImage(picture.get(), TRUE, 1.0, 0, 0);
  Surface surface;
  QImage page(kWidth, kHeight, QImage::Format_RGB888);
  const QImage source = ToQImage(*picture, page.format());
  const RECT fitted = CET_Calc::FitRectInRect(CRect(0, 0, kWidth, kHeight), CRect(0, 0, 6000, 4000));
  auto drawQt = [&] {
    QPainter painter(&page);
    painter.fillRect(page.rect(), Qt::white);
    painter.drawImage(QRect(fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top), source);
  };
  auto drawLayer = [&] { image.DrawImage(&surface.dc); };
  drawLayer();
  drawQt();
  const int cx = (fitted.left + fitted.right) / 2;
  const int cy = (fitted.top + fitted.bottom) / 2;
  const BYTE* p = surface.bits + static_cast<size_t>(cy) * ((kWidth * 3 + 3) / 4 * 4) + cx * 3;
  const QRgb q = page.pixel(cx, cy);
  if (std::abs(p[1] - qGreen(q)) > 4) Fail("fitted picture differs from Qt's");

  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    drawLayer();
    work += Seconds(start);
    start = Clock::now();
    drawQt();
    benchmark::DoNotOptimize(page.constBits());
    plain += Seconds(start);
  }
  Report(state, work, plain);
  image.DestroyWindow();
  w.frame.DestroyWindow();
}
BENCHMARK(BM_ImageWindowFit)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
