// One printed page of 30 picture cells at 600 dpi through the window layer
// (a printer DC of the PDF printer: StartDoc, StretchDIBits of each 24-bit
// bottom-up picture into its cell, EndDoc) beside QPdfWriter drawing the same
// pictures into the same cells directly, in turns within one run; "x_direct"
// is the layer's time over the direct one's (goal: at most 1.5). The first
// page of each is checked once to be a one-page Letter PDF. Runs headless.

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxPrinters.h"
#include "platform/testing/Headless.h"

#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kColumns = 5, kRows = 6, kCells = kColumns * kRows;
constexpr int kPictureWidth = 600, kPictureHeight = 400;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "PrintBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Picture {
  BITMAPINFO info{};
  std::vector<BYTE> bits;
};

// Photo-like pictures: smooth gradients with a little texture, each its own.
std::vector<Picture> Pictures() {
  std::vector<Picture> pictures(kCells);
  const auto row = DibRowBytes(kPictureWidth, 24);
  std::uint32_t noise = 12345;
  for (int i = 0; i < kCells; ++i) {
    Picture& p = pictures[static_cast<std::size_t>(i)];
    p.info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    p.info.bmiHeader.biWidth = kPictureWidth;
    p.info.bmiHeader.biHeight = kPictureHeight; // bottom-up, as the print code hands them over
    p.info.bmiHeader.biPlanes = 1;
    p.info.bmiHeader.biBitCount = 24;
    p.bits.resize(static_cast<std::size_t>(row * kPictureHeight));
    for (int y = 0; y < kPictureHeight; ++y) {
      for (int x = 0; x < kPictureWidth; ++x) {
        noise = noise * 1664525u + 1013904223u;
        BYTE* px = &p.bits[static_cast<std::size_t>(y * row + x * 3)];
        px[0] = static_cast<BYTE>((x * 255 / kPictureWidth + i * 8) & 0xFF);
        px[1] = static_cast<BYTE>((y * 255 / kPictureHeight + (noise >> 29)) & 0xFF);
        px[2] = static_cast<BYTE>((128 + i * 4 + ((x + y) >> 3)) & 0xFF);
      }
    }
  }
  return pictures;
}

RECT Cell(int i) {
  const platform::PrinterCaps caps = platform::LetterAt600Dpi();
  const int w = caps.printable.cx / kColumns, h = caps.printable.cy / kRows;
  const int x = (i % kColumns) * w + 30, y = (i / kColumns) * h + 30;
  // The picture's 3:2 shape fitted into the cell less a margin.
  const int width = w - 60, height = width * kPictureHeight / kPictureWidth;
  return {x, y, x + width, y + height};
}

void PrintThroughTheLayer(const std::vector<Picture>& pictures) {
  CDC dc;
  dc.Attach(CreateDCW(nullptr, u"PDF", nullptr, nullptr));
  if (dc.StartDoc(u"bench") <= 0 || dc.StartPage() <= 0) Fail("the layer's document did not start");
  dc.SetStretchBltMode(COLORONCOLOR);
  for (int i = 0; i < kCells; ++i) {
    const RECT c = Cell(i);
    const Picture& p = pictures[static_cast<std::size_t>(i)];
    StretchDIBits(dc, c.left, c.top, c.right - c.left, c.bottom - c.top, 0, 0, kPictureWidth, kPictureHeight,
                  p.bits.data(), &p.info, DIB_RGB_COLORS, SRCCOPY);
  }
  if (dc.EndPage() <= 0 || dc.EndDoc() <= 0) Fail("the layer's document did not end");
}

void PrintDirectly(const std::vector<Picture>& pictures, const std::string& file) {
  const platform::PrinterCaps caps = platform::LetterAt600Dpi();
  QPdfWriter writer(QString::fromStdString(file));
  writer.setResolution(caps.dpiX);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                   QMarginsF(0.125, 0.125, 0.125, 0.125), QPageLayout::Inch));
  QPainter painter(&writer);
  for (int i = 0; i < kCells; ++i) {
    const RECT c = Cell(i);
    const Picture& p = pictures[static_cast<std::size_t>(i)];
    const QImage image(p.bits.data(), kPictureWidth, kPictureHeight, DibRowBytes(kPictureWidth, 24),
                       QImage::Format_BGR888);
    painter.drawImage(QRect(c.left, c.top, c.right - c.left, c.bottom - c.top), image);
  }
}

bool OnePageLetter(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return pdf.rfind("%PDF-", 0) == 0 && pdf.find("/Count 1") != std::string::npos &&
         pdf.find("/MediaBox [0 0 612.000000 792.000000]") != std::string::npos;
}

void BM_PdfPageOf30Pictures(benchmark::State& state) {
  platform::testing::Init();
  const std::vector<Picture> pictures = Pictures();
  const fs::path folder = fs::temp_directory_path() / "lumitra-print-bench";
  fs::create_directories(folder);
  const std::string layerFile = (folder / "layer.pdf").string();
  const std::string directFile = (folder / "direct.pdf").string();
  platform::UsePdfPrinter(u"PDF", layerFile, platform::LetterAt600Dpi());

  PrintThroughTheLayer(pictures);
  PrintDirectly(pictures, directFile);
  if (!OnePageLetter(layerFile) || !OnePageLetter(directFile)) Fail("not a one-page Letter PDF");

  double layer = 0, direct = 0;
  bool layerFirst = true;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      const auto start = Clock::now();
      if (layerFirst == (turn == 0)) {
        PrintThroughTheLayer(pictures);
        layer += Seconds(start);
      } else {
        PrintDirectly(pictures, directFile);
        direct += Seconds(start);
      }
    }
    layerFirst = !layerFirst;
  }
  state.counters["layer_ms"] = benchmark::Counter(1e3 * layer / static_cast<double>(state.iterations()));
  state.counters["direct_ms"] = benchmark::Counter(1e3 * direct / static_cast<double>(state.iterations()));
  state.counters["x_direct"] = benchmark::Counter(direct > 0 ? layer / direct : 0.0);
  state.counters["layer_bytes"] = benchmark::Counter(static_cast<double>(fs::file_size(layerFile)));
  state.counters["direct_bytes"] = benchmark::Counter(static_cast<double>(fs::file_size(directFile)));
  platform::UseSystemPrinters();
  fs::remove_all(folder);
}
BENCHMARK(BM_PdfPageOf30Pictures)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
