// Raster drawing: the targets that window, paint and memory DCs draw on, and
// fonts from LOGFONTW. A painter lives for one operation (two DCs may draw on
// one surface). GDI's pixel rules are kept: fills cover [left, right) x
// [top, bottom), lines leave their end point out, blits overwrite (SRCCOPY)
// and stretch without smoothing (COLORONCOLOR), and every pixel a fill or
// blit writes is opaque.

#include "platform/qt/QtBackend.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QRegion>

#include <cstring>

namespace platform::qt {
namespace {

using core::Clip;
using core::PixelFormat;
using core::PixelImage;
using core::PixelView;

QColor ColourOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect Normalised(const RECT& r) {
  return QRect(QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom)),
               QSize(std::abs(r.right - r.left), std::abs(r.bottom - r.top)));
}

// A target over one image; a bottom-up bitmap's memory is drawn through a
// flip, so logical row 0 is its top row.
class RasterTarget : public core::IDrawTarget {
public:
  RasterTarget(QImage* image, bool flip, HWND window) : m_image(image), m_flip(flip), m_window(window) {}
  RasterTarget(QImage owned, bool flip) : m_owned(std::move(owned)), m_image(&m_owned), m_flip(flip) {}

  SIZE Size() const override { return {m_image->width(), m_image->height()}; }

  void FillRect(const RECT& rect, COLORREF colour, const Clip& clip) override {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    QPainter p(m_image);
    Prepare(p, clip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(ToQRect(rect), ColourOf(colour));
  }

  void Line(POINT from, POINT to, const core::PenInfo& pen, const Clip& clip) override {
    QPainter p(m_image);
    Prepare(p, clip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    const QColor colour = ColourOf(pen.colour);
    // Bresenham from `from`, leaving `to` out; a pen w pixels wide puts
    // (w-1)/2 pixels before the line's pixel and the rest after it.
    const int w = std::max(pen.width, 1);
    const int before = (w - 1) / 2;
    int x = from.x, y = from.y;
    const int dx = std::abs(to.x - x), dy = -std::abs(to.y - y);
    const int sx = x < to.x ? 1 : -1, sy = y < to.y ? 1 : -1;
    int err = dx + dy;
    int step = 0;
    while (x != to.x || y != to.y) {
      if (pen.style != PS_DOT || step % 2 == 0) p.fillRect(QRect(x - before, y - before, w, w), colour);
      ++step;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y += sy;
      }
    }
  }

  void DrawPixels(const RECT& dest, const PixelView& source, const RECT& srcRect, bool blend,
                  const Clip& clip) override {
    if (!source.bits || source.width <= 0 || source.height <= 0) return;
    const QImage image(source.bits, source.width, source.height, static_cast<qsizetype>(source.stride),
                       QtFormat(source.format));
    const QRect target = Normalised(dest);
    const QRect from = Normalised(srcRect);
    if (target.isEmpty() || from.isEmpty()) return;
    // The source's memory rows: a bottom-up picture's top row is its last.
    QRect memory = from;
    if (source.bottomUp) memory.moveTop(source.height - from.bottom() - 1);
    const bool mirrorX = dest.right < dest.left;
    const bool mirrorY = (dest.bottom < dest.top) != source.bottomUp;
    QPainter p(m_image);
    Prepare(p, clip);
    p.setCompositionMode(blend ? QPainter::CompositionMode_SourceOver : QPainter::CompositionMode_Source);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    QTransform t;
    t.translate(target.x() + target.width() / 2.0, target.y() + target.height() / 2.0);
    t.scale(mirrorX ? -1 : 1, mirrorY ? -1 : 1);
    p.setTransform(t, true);
    p.drawImage(QRectF(-target.width() / 2.0, -target.height() / 2.0, target.width(), target.height()), image,
                QRectF(memory));
  }

  bool ReadPixels(const RECT& rect, PixelImage& out) override {
    const QRect area = Normalised(rect);
    if (area.isEmpty()) return false;
    QImage composed;
    if (m_window) {
      composed = ComposeWindow(m_window, area, false);
    } else {
      composed = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
      composed.fill(Qt::black);
      QPainter p(&composed);
      QImage logical = m_flip ? m_image->mirrored(false, true) : *m_image;
      p.drawImage(QPoint(0, 0), logical, area);
    }
    composed = composed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    out.width = composed.width();
    out.height = composed.height();
    out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(composed.constScanLine(y));
      for (int x = 0; x < out.width; ++x) out.argb[static_cast<std::size_t>(y) * out.width + x] = row[x] | 0xFF000000u;
    }
    return true;
  }

  void DrawText(POINT origin, std::u16string_view text, const LOGFONTW& font, COLORREF colour,
                const Clip& clip) override {
    QPainter p(m_image);
    Prepare(p, clip);
    p.setFont(FontFor(font));
    p.setPen(ColourOf(colour));
    p.drawText(QPoint(origin.x, origin.y), QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
  }

private:
  void Prepare(QPainter& p, const Clip& clip) {
    if (m_flip) {
      p.translate(0, m_image->height());
      p.scale(1, -1);
    }
    if (clip.active) {
      QRegion region;
      for (const RECT& r : clip.rects) {
        if (r.right > r.left && r.bottom > r.top) region += ToQRect(r);
      }
      p.setClipRegion(region);
    }
  }

  QImage m_owned;
  QImage* m_image;
  bool m_flip;
  HWND m_window = nullptr;
};

} // namespace

QImage::Format QtFormat(PixelFormat format) {
  switch (format) {
  case PixelFormat::Bgr24: return QImage::Format_BGR888;
  case PixelFormat::Bgrx32: return QImage::Format_RGB32;
  default: return QImage::Format_ARGB32_Premultiplied;
  }
}

std::unique_ptr<core::IDrawTarget> OpenWindowSurface(HWND hwnd) {
  HostWidget* widget = WidgetOf(hwnd);
  if (!widget) return nullptr;
  return std::make_unique<RasterTarget>(&widget->Surface(), false, hwnd);
}

std::unique_ptr<core::IDrawTarget> QtHost::OpenPixels(void* bits, int width, int height, std::ptrdiff_t stride,
                                                      PixelFormat format, bool bottomUp) {
  QImage image(static_cast<uchar*>(bits), width, height, static_cast<qsizetype>(stride), QtFormat(format));
  return std::make_unique<RasterTarget>(std::move(image), bottomUp);
}

QImage ComposeWindow(HWND hwnd, const QRect& area, bool descendants) {
  QImage out(area.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::black);
  QPainter p(&out);
  const POINT origin = core::ClientOrigin(hwnd);
  // Ancestors first, the window itself last.
  std::vector<HWND> chain;
  for (HWND h = hwnd; h; h = GetParent(h)) chain.insert(chain.begin(), h);
  for (HWND h : chain) {
    HostWidget* widget = WidgetOf(h);
    if (!widget) continue;
    const POINT o = core::ClientOrigin(h);
    p.drawImage(QPoint(o.x - origin.x - area.x(), o.y - origin.y - area.y()), widget->Surface());
  }
  if (descendants) {
    std::function<void(HWND)> drawChildren = [&](HWND parent) {
      core::WindowRecord* record = core::Record(parent);
      if (!record) return;
      for (auto it = record->children.rbegin(); it != record->children.rend(); ++it) {
        core::WindowRecord* child = core::Record(*it);
        HostWidget* widget = WidgetOf(*it);
        if (!child || !child->visible || !widget) continue;
        const POINT o = core::ClientOrigin(*it);
        const QPoint at(o.x - origin.x - area.x(), o.y - origin.y - area.y());
        if (widget->Border() > 0) {
          HostWidget::DrawBorder(p, QRect(at - QPoint(widget->Border(), widget->Border()),
                                          widget->Surface().size() +
                                              QSize(2 * widget->Border(), 2 * widget->Border())),
                                 widget->Border());
        }
        p.drawImage(at, widget->Surface());
        drawChildren(*it);
      }
    };
    drawChildren(hwnd);
  }
  return out;
}

QFont FontFor(const LOGFONTW& lf) {
  static QHash<QByteArray, QFont> cache;
  const QByteArray key(reinterpret_cast<const char*>(&lf), sizeof lf);
  auto it = cache.find(key);
  if (it != cache.end()) return *it;
  std::size_t n = 0;
  while (n < LF_FACESIZE && lf.lfFaceName[n]) ++n;
  QString family = QString::fromUtf16(lf.lfFaceName, static_cast<qsizetype>(n));
  if (family.isEmpty()) family = QStringLiteral("MS Shell Dlg");
  QFont font(family);
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setWeight(static_cast<QFont::Weight>(std::clamp<LONG>(lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight, 1, 1000)));
  font.setItalic(lf.lfItalic != 0);
  font.setUnderline(lf.lfUnderline != 0);
  font.setStrikeOut(lf.lfStrikeOut != 0);
  if (lf.lfQuality == NONANTIALIASED_QUALITY) font.setStyleStrategy(QFont::NoAntialias);
  // Negative heights give the character (em) height, positive ones the cell
  // height (ascent + descent), as on the original system.
  const LONG height = lf.lfHeight == 0 ? -11 : lf.lfHeight;
  if (height < 0) {
    font.setPixelSize(static_cast<int>(std::min<LONG>(-height, 4096)));
  } else {
    font.setPixelSize(100);
    const QFontMetricsF m(font);
    const double cell = m.ascent() + m.descent();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(std::min<LONG>(height, 4096) * 100.0 / cell))));
  }
  cache.insert(key, font);
  return font;
}

TEXTMETRICW QtHost::GetTextMetrics(const LOGFONTW& lf) {
  const QFontMetrics m(FontFor(lf));
  TEXTMETRICW tm;
  tm.tmAscent = m.ascent();
  tm.tmDescent = m.descent();
  tm.tmHeight = m.ascent() + m.descent();
  tm.tmExternalLeading = std::max(0, m.leading());
  tm.tmAveCharWidth = m.averageCharWidth();
  tm.tmMaxCharWidth = m.maxWidth();
  tm.tmWeight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
  return tm;
}

int QtHost::GetTextWidth(const LOGFONTW& lf, std::u16string_view text) {
  const QFontMetrics m(FontFor(lf));
  return m.horizontalAdvance(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

} // namespace platform::qt
