#include "toolkit/CET_Histogram.h"

#include "platform/afx/AfxDC.h"
#include "toolkit/CET_Dib.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Luminance weights of red, green and blue.
constexpr double kRedWeight = 0.298912;
constexpr double kGreenWeight = 0.586611;
constexpr double kBlueWeight = 0.114478;

int TruncateToInt(double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); }

// A pen selected into a DC for a scope; the DC's pen comes back after.
class ScopedPen {
public:
  ScopedPen(CDC* dc, COLORREF colour, int width = 1) : m_dc(dc), m_pen(PS_SOLID, width, colour) {
    m_previous = dc->SelectObject(&m_pen);
  }
  ~ScopedPen() { m_dc->SelectObject(m_previous); }
  ScopedPen(const ScopedPen&) = delete;
  ScopedPen& operator=(const ScopedPen&) = delete;

private:
  CDC* m_dc;
  CPen m_pen;
  CPen* m_previous;
};

void VerticalLine(CDC* dc, int x, int from, int to) {
  dc->MoveTo(x, from);
  dc->LineTo(x, to);
}

} // namespace

void CET_Histogram::FreeCounts() {
  for (auto& counts : m_counts) counts.reset();
  std::fill(std::begin(m_maxima), std::end(m_maxima), 0u);
  m_sampled = 0;
}

void CET_Histogram::Setup(unsigned bins, int scaleToMaximum, BOOL frame, BOOL fill, BOOL gradient,
                          COLORREF background, COLORREF frameColour) {
  FreeCounts();
  m_bins = bins;
  m_scaleToMaximum = scaleToMaximum;
  m_frame = frame;
  m_fill = fill;
  m_gradient = gradient;
  m_background = background;
  m_frameColour = frameColour;
}

void CET_Histogram::SetChannelColor(int index, COLORREF colour) {
  if (index >= 0 && index < 4) m_channelColours[index] = colour;
}

void CET_Histogram::SetMarkers(int position1, int position2, COLORREF colour1, COLORREF colour2,
                               BOOL colourClippedEnds) {
  m_markers[0] = position1;
  m_markers[1] = position2;
  m_markerColours[0] = colour1;
  m_markerColours[1] = colour2;
  m_colourClippedEnds = colourClippedEnds;
}

const unsigned* CET_Histogram::Counts(int channel) const {
  return channel >= 0 && channel < 4 ? m_counts[channel].get() : nullptr;
}

void CET_Histogram::Count(const CET_Dib* picture, int step) {
  FreeCounts();
  if (!picture || !picture->IsValid() || m_bins == 0) return;
  const int bitCount = picture->GetBitCount();
  // Only 24- and 32-bit pixels carry three colour bytes each.
  if (bitCount != 24 && bitCount != 32) return;
  const unsigned bins = m_bins;
  for (auto& counts : m_counts) counts = std::make_unique<unsigned[]>(bins);
  std::vector<double> red(bins), green(bins), blue(bins);
  for (unsigned i = 0; i < bins; ++i) {
    red[i] = i * kRedWeight;
    green[i] = i * kGreenWeight;
    blue[i] = i * kBlueWeight;
  }
  const std::int64_t width = picture->GetWidth();
  const std::int64_t bytes = bitCount / 8;
  const std::int64_t rowLength = width * bytes;
  const std::int64_t stride = DibRowBytes(width, bitCount);
  // Never beyond the block the record holds.
  std::int64_t rows = std::abs(static_cast<std::int64_t>(picture->GetHeight()));
  if (picture->size > 0 && stride > 0) rows = std::min<std::int64_t>(rows, picture->size / stride);
  if (width <= 0 || rows <= 0) return;
  const std::int64_t every = std::max(step, 1);
  const unsigned top = bins - 1;
  auto count = [&](const BYTE* p) {
    const unsigned b = std::min<unsigned>(p[0], top), g = std::min<unsigned>(p[1], top),
                   r = std::min<unsigned>(p[2], top);
    const unsigned luminance = std::min(static_cast<unsigned>(blue[b] + (red[r] + green[g])), top);
    const unsigned values[4] = {luminance, r, g, b};
    for (int c = 0; c < 4; ++c) {
      const unsigned n = ++m_counts[c][values[c]];
      m_maxima[c] = std::max(m_maxima[c], n);
    }
    ++m_sampled;
  };
  const BYTE* bits = picture->bits;
  if (rowLength % 4 != 0) {
    // Padded rows: each row's sampling starts at its first pixel.
    for (std::int64_t y = 0; y < rows; ++y) {
      for (std::int64_t x = 0; x < width; x += every) count(bits + y * stride + x * bytes);
    }
  } else {
    // Unpadded rows are one run: the sampling phase carries across rows.
    const std::int64_t total = width * rows;
    for (std::int64_t i = 0; i < total; i += every) count(bits + i * bytes);
  }
}

int CET_Histogram::HorizontalMargin() const {
  if (m_markersShown) return 8;
  return m_frame ? 1 : 0;
}

int CET_Histogram::VerticalMargin() const { return m_frame ? 1 : 0; }

double CET_Histogram::ColumnStep(int width) const {
  const int columns = width - 2 * HorizontalMargin();
  return width > 2 && columns > 0 ? static_cast<double>(m_bins) / columns : static_cast<double>(m_bins);
}

void CET_Histogram::Draw(CDC* dc, CRect rect) {
  if (!dc) return;
  const int width = rect.Width(), height = rect.Height();
  if (m_fill) dc->FillSolidRect(rect, m_background);
  const int hm = HorizontalMargin();
  for (int channel = 0; channel < 4; ++channel) DrawChannel(dc, rect, channel);
  const double xScale = ColumnStep(width);
  if (m_markersShown) {
    for (int i = 0; i < 2; ++i) {
      const ScopedPen pen(dc, m_markerColours[i]);
      VerticalLine(dc, TruncateToInt(m_markers[i] / xScale) + hm, height - 1, 1);
    }
  }
  if (m_frame) {
    const ScopedPen pen(dc, m_frameColour);
    const POINT outline[5] = {{0, 0}, {width - 1, 0}, {width - 1, height - 1}, {0, height - 1}, {0, 0}};
    dc->MoveTo(outline[0]);
    for (int i = 1; i < 5; ++i) dc->LineTo(outline[i]);
  } else {
    const ScopedPen pen(dc, m_frameColour, 2);
    dc->MoveTo(0, height - 1);
    dc->LineTo(width, height - 1);
  }
}

void CET_Histogram::DrawChannel(CDC* dc, CRect rect, int channel) {
  const unsigned* counts = Counts(channel);
  if (!dc || !counts || m_bins == 0) return;
  const int width = rect.Width(), height = rect.Height();
  const int hm = HorizontalMargin(), vm = VerticalMargin();
  double scale = 1.0;
  if (m_scaleToMaximum) {
    if (m_maxima[channel] != 0) scale = (height - 2.0 * vm) / m_maxima[channel];
  } else if (m_sampled != 0) {
    scale = (height - 2.0 * vm) / (m_sampled / 40.0);
  }
  scale *= m_gain;
  const double step = ColumnStep(width);
  const int bottom = height - 1;
  const COLORREF colour = m_channelColours[channel];
  const int m1 = TruncateToInt(m_markers[0] / step), m2 = TruncateToInt(m_markers[1] / step);
  const ScopedPen channelPen(dc, colour);
  double position = 0;
  for (int x = hm; x < width - hm; ++x) {
    // The bin at the accumulated position, never beyond the last one.
    const auto bin = static_cast<unsigned>(std::clamp(position, 0.0, static_cast<double>(m_bins - 1)));
    const double scaled = std::clamp(counts[bin] * scale, -1e9, 1e9);
    const int h = std::max(1, std::min(static_cast<int>(scaled), height - 1));
    const int top = bottom - h;
    position += step;
    if (m_gradient) {
      // Black at the left edge, the channel's colour at the right.
      const double f = width > 1 ? static_cast<double>(x) / (width - 1) : 1.0;
      const COLORREF shade = RGB(static_cast<BYTE>(GetRValue(colour) * f), static_cast<BYTE>(GetGValue(colour) * f),
                                 static_cast<BYTE>(GetBValue(colour) * f));
      const ScopedPen pen(dc, shade);
      VerticalLine(dc, x, bottom - vm, top);
    } else if (m_colourClippedEnds && (x <= m1 || x >= m2)) {
      const ScopedPen pen(dc, x <= m1 ? m_markerColours[0] : m_markerColours[1]);
      VerticalLine(dc, x, bottom, top);
    } else {
      VerticalLine(dc, x, bottom, top);
    }
  }
}
