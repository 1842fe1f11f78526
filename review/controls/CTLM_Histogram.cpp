#include "review/controls/CTLM_Histogram.h"

#include "foundation/FValueTypes.h"
#include "review/controls/TopDownDib.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The grey of views with nothing counted.
constexpr BYTE kEmptyViewByte = 0xC0;

// A 32-bit pixel (blue, green, red, 0) of a colour.
std::uint32_t PixelOf(COLORREF colour) {
  return (static_cast<std::uint32_t>(GetRValue(colour)) << 16) | (static_cast<std::uint32_t>(GetGValue(colour)) << 8) |
         GetBValue(colour);
}

// One column of the views: the red, green and blue strokes (top to bottom
// row, empty while top > bottom) and the top of the luminance area.
struct ColumnRows {
  int top[3];
  int bottom[3];
  int luminanceTop;
};

bool Within(int y, int top, int bottom) { return top <= y && y <= bottom; }

// A 1 x 1 bitmap of a colour stretched with constant alpha over columns
// [first, first + count) of rows [1, 1 + height) of target, a pixel in from
// its left.
void Shade(CDC* target, CDC* one, COLORREF colour, int first, int count, int height, BYTE alpha) {
  if (count <= 0 || height <= 0) return;
  one->FillSolidRect(0, 0, 1, 1, colour);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
  target->AlphaBlend(1 + first, 1, count, height, one, 0, 0, 1, 1, blend);
}

} // namespace

const std::array<COLORREF, 16> CTLM_Histogram::kColours = {
    RGB(190, 190, 190), RGB(220, 80, 130), RGB(60, 190, 60),  RGB(100, 100, 80),
    RGB(90, 100, 255),  RGB(130, 80, 130), RGB(80, 120, 130), RGB(100, 100, 100),
    RGB(100, 100, 100), RGB(110, 0, 50),   RGB(0, 110, 0),    RGB(50, 40, 0),
    RGB(20, 40, 120),   RGB(50, 0, 50),    RGB(0, 40, 50),    RGB(20, 20, 20)};

int HistogramColumn(int bin, int width) {
  if (width <= 0) return 0;
  const std::int64_t column = ((static_cast<std::int64_t>(bin) - 1) * (width - 2) + 254) / 254;
  return static_cast<int>(std::clamp<std::int64_t>(column, 0, width - 1));
}

double HistogramCurve(double t) { return t * (t + 100) / (100 * t + 1); }

int HistogramLineTop(double t, int h) { return TruncateToInt(h - 1.2 * h * HistogramCurve(t)); }

int HistogramLineBottom(double t, int h) { return TruncateToInt(h - h * HistogramCurve(t)) + 2; }

CTLM_Histogram::~CTLM_Histogram() { DeleteViews(); }

void CTLM_Histogram::DeleteViews() {
  for (HBITMAP& view : m_views) {
    if (view) DeleteObject(view);
    view = nullptr;
  }
}

void CTLM_Histogram::Build(const CET_Dib* picture, int step, CDC* dc, int width, int height) {
  Count(picture, step);
  Prepare(dc, width, height);
}

void CTLM_Histogram::Prepare(CDC* dc, int width, int height) {
  DeleteViews();
  CDC memory;
  if (!dc || !memory.CreateCompatibleDC(dc)) return;
  m_width = width;
  m_height = height;
  if (width <= 0 || height <= 0) return;
  std::array<std::uint32_t*, kViewCount> pixels{};
  for (int v = 0; v < kViewCount; ++v) {
    void* bits = nullptr;
    m_views[v] = CreateTopDownDib(memory.m_hDC, width, height, 32, &bits);
    pixels[v] = static_cast<std::uint32_t*>(bits);
    if (!m_views[v]) {
      DeleteViews();
      return;
    }
  }
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const unsigned* counts[4] = {Counts(0), Counts(1), Counts(2), Counts(3)};
  const double total = Sampled();
  if (!counts[0] || !counts[1] || !counts[2] || !counts[3] || !(total > 0)) {
    for (std::uint32_t* p : pixels) std::fill_n(reinterpret_cast<BYTE*>(p), count * 4, kEmptyViewByte);
    return;
  }

  // One entry per column of the view, however wide it is.
  const int h = height;
  std::vector<ColumnRows> columns(static_cast<std::size_t>(width), ColumnRows{{h, h, h}, {0, 0, 0}, h});
  const unsigned bins = Bins();
  const unsigned first = bins > 1 ? 1 : 0;
  int previousTop[3], previousBottom[3];
  for (int c = 0; c < 3; ++c) {
    previousTop[c] = HistogramLineTop(counts[c + 1][first] / total, h);
    previousBottom[c] = h;
  }
  for (unsigned i = 0; i < bins; ++i) {
    ColumnRows& column = columns[static_cast<std::size_t>(HistogramColumn(static_cast<int>(i), width))];
    for (int c = 0; c < 3; ++c) {
      const double share = counts[c + 1][i] / total;
      const int top = HistogramLineTop(share, h), bottom = HistogramLineBottom(share, h);
      // Each stroke reaches the previous bin's, so steep slopes stay unbroken.
      column.bottom[c] = std::max({column.bottom[c], bottom, previousTop[c]});
      column.top[c] = std::min({column.top[c], top, previousBottom[c]});
      previousTop[c] = top;
      previousBottom[c] = bottom;
    }
    column.luminanceTop = HistogramLineTop(counts[0][i] / total, h);
  }

  std::array<std::uint32_t, 16> colours;
  std::transform(kColours.begin(), kColours.end(), colours.begin(), PixelOf);
  for (int y = 0; y < h; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) {
      const ColumnRows& column = columns[static_cast<std::size_t>(x)];
      const bool luminance = column.luminanceTop <= y;
      int index = luminance ? 8 : 0;
      for (int c = 0; c < 3; ++c) {
        if (Within(y, column.top[c], column.bottom[c])) index += 1 << c;
        pixels[kRed + c][row + x] = colours[column.top[c] <= y ? 1u << c : 0];
      }
      pixels[kAll][row + x] = colours[static_cast<std::size_t>(index)];
      pixels[kLuminance][row + x] = colours[luminance ? 8 : 0];
    }
  }
}

void CTLM_Histogram::Draw(CDC* dc, CRect rect) {
  if (!dc) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  CRect outer(rect);
  outer.InflateRect(1, 1);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateTopDownDib(dc->m_hDC, outer.Width(), outer.Height(), 24, &bits);
  if (!bitmap) return;
  const HGDIOBJ oldBitmap = memory.SelectObject(bitmap);
  // What the DC shows around the rectangle (the window's frame) stays.
  memory.StretchBlt(0, 0, outer.Width(), outer.Height(), dc, outer.left, outer.top, outer.Width(), outer.Height(),
                    SRCCOPY);
  if (HBITMAP view = GetViewBitmap(m_view)) {
    CDC source;
    if (source.CreateCompatibleDC(dc)) {
      const HGDIOBJ old = source.SelectObject(view);
      memory.StretchBlt(1, 1, rect.Width(), rect.Height(), &source, 0, 0, m_width, m_height, SRCCOPY);
      source.SelectObject(old);
    }
  }
  if (MarkersShown()) ShadeMarkers(&memory);
  dc->StretchBlt(outer.left, outer.top, outer.Width(), outer.Height(), &memory, 0, 0, outer.Width(), outer.Height(),
                 SRCCOPY);
  memory.SelectObject(oldBitmap);
  DeleteObject(bitmap);
}

void CTLM_Histogram::ShadeMarkers(CDC* target) const {
  CDC one;
  if (!one.CreateCompatibleDC(target)) return;
  CBitmap pixel;
  if (!pixel.CreateCompatibleBitmap(target, 1, 1)) return;
  CBitmap* old = one.SelectObject(&pixel);
  const int shadow = HistogramColumn(GetShadowMarker(), m_width);
  const int highlight = HistogramColumn(GetHighlightMarker(), m_width);
  Shade(target, &one, RGB(70, 120, 255), 0, shadow, m_height, 50);
  Shade(target, &one, RGB(70, 120, 255), shadow, 1, m_height, 80);
  Shade(target, &one, RGB(255, 70, 100), highlight, 1, m_height, 90);
  Shade(target, &one, RGB(255, 70, 100), highlight + 1, m_width - 1 - highlight, m_height, 60);
  one.SelectObject(old);
}
