// Text on DCs: DrawText through the layout engine (TextLayout.cpp), text
// output at a point with alignment and escapement, metrics and extents. Every
// measure comes from the back end's font engine for the DC's font, so the
// raster DC, the recording DC and printers decide alike.

#include "platform/core/Gdi.h"
#include "platform/core/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace platform::core {
namespace {

class FontMeasure : public ITextMeasure {
public:
  FontMeasure(IHost* host, const LOGFONTW& font) : m_host(host), m_font(font) {
    if (m_host) m_metrics = m_host->GetTextMetrics(font);
  }
  int Width(std::u16string_view text) const override {
    return m_host && !text.empty() ? m_host->GetTextWidth(m_font, text) : 0;
  }
  int Height() const override { return m_metrics.tmHeight; }
  int Ascent() const override { return m_metrics.tmAscent; }
  int ExternalLeading() const override { return m_metrics.tmExternalLeading; }
  const TEXTMETRICW& Metrics() const { return m_metrics; }

private:
  IHost* m_host;
  LOGFONTW m_font;
  TEXTMETRICW m_metrics;
};

std::u16string_view TextOf(LPCWSTR text, int count) {
  if (!text) return {};
  if (count < 0) return std::u16string_view(text);
  return std::u16string_view(text, static_cast<std::size_t>(count));
}

// The font of a DC, read under its lock; false for a stale DC.
bool DcFont(HDC hdc, LOGFONTW& font, DcState* state = nullptr) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return false;
  font = FontOf(dc->state);
  if (state) *state = dc->state;
  return true;
}

// An underline under a prefixed character: one pixel below the baseline, a
// pixel thick for every 14 pixels of line height.
RECT UnderlineOf(const RECT& cell, int ascent, std::pair<int, int> span) {
  const int thickness = std::max(1, (cell.bottom - cell.top) / 14);
  const int y = cell.top + ascent + 1;
  return {cell.left + span.first, y, cell.left + span.second, y + thickness};
}

} // namespace
} // namespace platform::core

using namespace platform::core;

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t product = std::int64_t{a} * b;
  std::int64_t q = product / c;
  const std::int64_t r = product % c;
  // Halves round away from zero.
  if (2 * (r < 0 ? -r : r) >= (c < 0 ? -std::int64_t{c} : c)) q += ((product < 0) != (c < 0)) ? -1 : 1;
  if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
  return static_cast<int>(q);
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  if (!rect || !text) return 0;
  LOGFONTW font;
  if (!DcFont(hdc, font)) return 0;
  // DrawText lays lines out horizontally; an escapement turns TextOut's lines only.
  font.lfEscapement = 0;
  const std::u16string_view all = TextOf(text, count);
  const FontMeasure measure(Host(), font);
  const TextLayout layout = LayOutText(all, *rect, format, measure);
  GdiCall call{"DrawText"};
  if (!(format & DT_CALCRECT)) call.text.assign(all); // before the text is modified
  if ((format & DT_MODIFYSTRING) && layout.modified) {
    // The caller's buffer holds the text's length plus 4 characters.
    auto* buffer = const_cast<WCHAR*>(text);
    std::copy(layout.modifiedText.begin(), layout.modifiedText.end(), buffer);
    buffer[layout.modifiedText.size()] = 0;
  }
  if (format & DT_CALCRECT) {
    *rect = layout.calcRect;
    return layout.result;
  }
  call.rect = *rect;
  call.format = format;
  call.result = layout.result;
  for (const LaidOutLine& line : layout.lines) {
    call.lines.push_back(line.text);
    call.lineRects.push_back(line.cell);
  }
  const RECT box = *rect;
  const bool drawn = Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    Clip textClip = clip;
    if (!(format & DT_NOCLIP)) {
      const RECT limit = ToDevice(dc.state, box);
      if (!textClip.active) {
        textClip.active = true;
        textClip.rects = {limit};
      } else {
        for (RECT& c : textClip.rects) IntersectRect(&c, &c, &limit);
      }
    }
    const int ascent = measure.Ascent();
    for (const LaidOutLine& line : layout.lines) {
      if (!(format & DT_PREFIXONLY)) {
        if (dc.state.bkMode == OPAQUE && line.cell.right > line.cell.left) {
          t.FillRect(ToDevice(dc.state, line.cell), dc.state.bkColour, textClip);
        }
        if (!line.text.empty()) {
          t.DrawText(ToDevice(dc.state, line.cell.left, line.cell.top + ascent), line.text, font, dc.state.textColour,
                     textClip);
        }
      }
      if (format & DT_HIDEPREFIX) continue;
      for (const auto& span : line.underlines) {
        const RECT u = UnderlineOf(line.cell, ascent, span);
        if (u.right > u.left) t.FillRect(ToDevice(dc.state, u), dc.state.textColour, textClip);
      }
    }
  });
  return drawn ? layout.result : 0;
}

namespace {

// Text at a reference point, as TextOut and ExtTextOut draw it.
BOOL TextAt(HDC hdc, int x, int y, UINT options, const RECT* rect, std::u16string_view text, const char* name) {
  LOGFONTW font;
  DcState state;
  if (!DcFont(hdc, font, &state)) return FALSE;
  const FontMeasure measure(Host(), font);
  const TEXTMETRICW& tm = measure.Metrics();
  const int width = measure.Width(text);
  const UINT align = state.textAlign;
  if (align & TA_UPDATECP) {
    x = state.position.x;
    y = state.position.y;
  }
  // Where the baseline starts relative to the reference point, along the
  // text's direction (dx) and across it (dy, downwards).
  double dx = 0;
  if ((align & TA_CENTER) == TA_CENTER) {
    dx = -width / 2;
  } else if (align & TA_RIGHT) {
    dx = -width;
  }
  double dy = tm.tmAscent;
  if ((align & TA_BASELINE) == TA_BASELINE) {
    dy = 0;
  } else if (align & TA_BOTTOM) {
    dy = -tm.tmDescent;
  }
  const double angle = font.lfEscapement / 10.0 * 3.14159265358979323846 / 180.0;
  const double c = std::cos(angle), s = std::sin(angle);
  // Counter-clockwise on the screen: the text runs along (c, -s) and its
  // downward side is (s, c).
  const POINT origin{static_cast<LONG>(std::lround(x + dx * c + dy * s)),
                     static_cast<LONG>(std::lround(y - dx * s + dy * c))};
  GdiCall call{name};
  call.points = {POINT{x, y}};
  call.text.assign(text);
  call.format = options;
  if (rect) call.rect = *rect;
  const bool drawn = Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    Clip textClip = clip;
    if (rect && (options & ETO_CLIPPED)) {
      const RECT limit = ToDevice(dc.state, *rect);
      if (!textClip.active) {
        textClip.active = true;
        textClip.rects = {limit};
      } else {
        for (RECT& r : textClip.rects) IntersectRect(&r, &r, &limit);
      }
    }
    if (rect && (options & ETO_OPAQUE)) t.FillRect(ToDevice(dc.state, *rect), dc.state.bkColour, clip);
    if (dc.state.bkMode == OPAQUE && font.lfEscapement == 0 && width > 0) {
      const RECT cell{origin.x, origin.y - tm.tmAscent, origin.x + width, origin.y + tm.tmDescent};
      t.FillRect(ToDevice(dc.state, cell), dc.state.bkColour, textClip);
    }
    if (!text.empty()) t.DrawText(ToDevice(dc.state, origin.x, origin.y), text, font, dc.state.textColour, textClip);
  });
  // The current position moves on by the text's advance.
  if (drawn && (align & TA_UPDATECP)) {
    MoveToEx(hdc, static_cast<int>(std::lround(x + width * c)), static_cast<int>(std::lround(y - width * s)), nullptr);
  }
  return drawn ? TRUE : FALSE;
}

} // namespace

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
  if (!text || count < 0) return FALSE;
  return TextAt(hdc, x, y, 0, nullptr, TextOf(text, count), "TextOut");
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx) {
  if (dx || (count > 0 && !text) || count > static_cast<UINT>(std::numeric_limits<int>::max())) return FALSE;
  return TextAt(hdc, x, y, options, rect, TextOf(text, static_cast<int>(count)), "ExtTextOut");
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  LOGFONTW font;
  if (!metrics || !Host() || !DcFont(hdc, font)) return FALSE;
  *metrics = Host()->GetTextMetrics(font);
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
  LOGFONTW font;
  if (!size || !Host() || !DcFont(hdc, font)) return FALSE;
  const FontMeasure measure(Host(), font);
  size->cx = measure.Width(TextOf(text, count < 0 ? 0 : count));
  size->cy = measure.Height();
  return TRUE;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, SIZE* size) {
  LOGFONTW font;
  if (!size || !Host() || count < 0 || (count > 0 && !text) || !DcFont(hdc, font)) return FALSE;
  const FontMeasure measure(Host(), font);
  const std::u16string_view all = TextOf(text, count);
  size->cx = measure.Width(all);
  size->cy = measure.Height();
  if (dx) {
    for (std::size_t i = 0; i < all.size(); ++i) dx[i] = measure.Width(all.substr(0, i + 1));
  }
  if (fit) {
    std::size_t lo = 0, hi = all.size();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo + 1) / 2;
      if (measure.Width(all.substr(0, mid)) <= maxExtent) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    *fit = static_cast<int>(lo);
  }
  return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR face) {
  LOGFONTW font;
  if (!DcFont(hdc, font)) return 0;
  const std::u16string resolved = Host() ? Host()->GetFontFace(font) : std::u16string(font.lfFaceName);
  if (!face) return static_cast<int>(resolved.size()) + 1;
  if (count <= 0) return 0;
  const std::size_t n = std::min(resolved.size(), static_cast<std::size_t>(count - 1));
  std::copy_n(resolved.begin(), n, face);
  face[n] = 0;
  return static_cast<int>(n);
}
