// Raster drawing: the targets that window, paint and memory DCs draw on. A painter lives for one operation (two DCs may draw on
// one surface). GDI's pixel rules are kept: fills cover [left, right) x
// [top, bottom), lines leave their end point out, blits overwrite (SRCCOPY)
// and stretch without smoothing (COLORONCOLOR), and every pixel a fill or
// blit writes is opaque.

#include "platform/qt/QtBackend.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QRegion>

#include <cmath>
#include <cstring>

namespace platform::qt {
namespace {

using core::Clip;
using core::PixelFormat;
using core::PixelImage;
using core::PixelView;

QColor ColourOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QRect Normalised(const RECT& r) {
  return ToQRect(RECT{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                      std::max(r.top, r.bottom)});
}

// Cuts a segment to a box (Liang-Barsky); false when it misses the box.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, const QRectF& box) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - box.left(), box.right() - x0, y0 - box.top(), box.bottom() - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  const double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
  x0 = ax;
  y0 = ay;
  x1 = bx;
  y1 = by;
  return true;
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
    // A line reaching far outside the image is cut to the image with a
    // margin beyond the pen: its ends there are never seen.
    const double margin = w + 2.0;
    const QRectF box(-margin, -margin, m_image->width() + 2 * margin, m_image->height() + 2 * margin);
    double x0 = from.x, y0 = from.y, x1 = to.x, y1 = to.y;
    if (!box.contains(x0, y0) || !box.contains(x1, y1)) {
      if (!ClipSegment(x0, y0, x1, y1, box)) return;
      from = {static_cast<LONG>(std::lround(x0)), static_cast<LONG>(std::lround(y0))};
      to = {static_cast<LONG>(std::lround(x1)), static_cast<LONG>(std::lround(y1))};
    }
    if (pen.style != PS_DOT && (from.x == to.x || from.y == to.y)) {
      // A straight solid run is one rectangle: the union of its pixels' squares.
      // Its first pixel is `from`, or next to `to` when it runs backwards.
      const bool horizontal = from.y == to.y;
      const int a = horizontal ? from.x : from.y, b = horizontal ? to.x : to.y;
      const int first = b < a ? b + 1 : a, length = std::abs(b - a);
      if (length == 0) return;
      if (horizontal) {
        p.fillRect(QRect(first - before, from.y - before, length + w - 1, w), colour);
      } else {
        p.fillRect(QRect(from.x - before, first - before, w, length + w - 1), colour);
      }
      return;
    }
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
    if (!blend && DrawSampled(dest, source, srcRect, clip)) return;
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
    // Nothing reads more than a picture of 2^28 pixels (1 GiB).
    if (area.isEmpty() || static_cast<qint64>(area.width()) * area.height() > (qint64{1} << 28)) return false;
    out.width = area.width();
    out.height = area.height();
    if (!m_window) {
      ReadMemory(area, out);
      return true;
    }
    const QImage composed = ComposeWindow(m_window, area, false).convertToFormat(QImage::Format_ARGB32_Premultiplied);
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
    const QString string = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    if (font.lfEscapement == 0) {
      p.drawText(QPoint(origin.x, origin.y), string);
      return;
    }
    // Escapement turns counter-clockwise on the screen (y grows downwards).
    p.translate(origin.x, origin.y);
    p.rotate(-font.lfEscapement / 10.0);
    p.drawText(QPoint(0, 0), string);
  }

private:
  // A memory bitmap's pixels of a logical rectangle, opaque; what lies
  // outside the bitmap reads black. Only the rectangle's rows are copied: a
  // bottom-up bitmap is not mirrored as a whole.
  void ReadMemory(const QRect& area, PixelImage& out) const {
    out.argb.assign(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 0xFF000000u);
    const QRect inside = area & m_image->rect();
    if (inside.isEmpty()) return;
    const QImage::Format format = m_image->format();
    const bool direct = format == QImage::Format_BGR888 || format == QImage::Format_RGB32 ||
                        format == QImage::Format_ARGB32_Premultiplied;
    // Other formats are converted once, rectangle only.
    QRect memory = inside;
    if (m_flip) memory.moveTop(m_image->height() - 1 - inside.bottom());
    const QImage converted =
        direct ? QImage() : m_image->copy(memory).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < inside.height(); ++y) {
      std::uint32_t* to = out.argb.data() + static_cast<std::size_t>(inside.top() - area.top() + y) * out.width +
                          (inside.left() - area.left());
      if (!direct) {
        const int row = m_flip ? inside.height() - 1 - y : y;
        const auto* from = reinterpret_cast<const std::uint32_t*>(converted.constScanLine(row));
        for (int x = 0; x < inside.width(); ++x) to[x] = from[x] | 0xFF000000u;
        continue;
      }
      const int logical = inside.top() + y;
      const uchar* line = m_image->constScanLine(m_flip ? m_image->height() - 1 - logical : logical);
      if (format == QImage::Format_BGR888) {
        const uchar* px = line + 3 * static_cast<std::size_t>(inside.left());
        for (int x = 0; x < inside.width(); ++x, px += 3) {
          to[x] = 0xFF000000u | std::uint32_t{px[2]} << 16 | std::uint32_t{px[1]} << 8 | px[0];
        }
      } else {
        const auto* from = reinterpret_cast<const std::uint32_t*>(line) + inside.left();
        for (int x = 0; x < inside.width(); ++x) to[x] = from[x] | 0xFF000000u;
      }
    }
  }

  // An overwriting blit samples the source itself, nearest pixel first, and
  // only for the destination pixels that can show: Qt would convert a whole
  // 24-bit source (a 6000 x 4000 picture fitted into a window: 96 MB) before
  // it scales, and a zoomed-in picture's destination can be far larger than
  // the target. False when the source rectangle leaves the picture.
  bool DrawSampled(const RECT& dest, const PixelView& source, const RECT& srcRect, const Clip& clip) {
    const QRect target = Normalised(dest);
    const QRect from = Normalised(srcRect);
    if (target.isEmpty() || from.isEmpty()) return true;
    if (from.left() < 0 || from.top() < 0 || from.right() >= source.width || from.bottom() >= source.height) {
      return false;
    }
    QRect visible = target & m_image->rect();
    if (clip.active) {
      QRect bounds;
      for (const RECT& r : clip.rects) {
        if (r.right > r.left && r.bottom > r.top) bounds |= ToQRect(r);
      }
      visible &= bounds;
    }
    if (visible.isEmpty()) return true;
    const bool mirrorX = dest.right < dest.left;
    const bool mirrorY = dest.bottom < dest.top;
    // Destination pixel d of n takes source pixel floor((d + 1/2) * m / n),
    // counted from the far edge when mirrored.
    auto sourceIndex = [](int d, int n, int m, bool mirror) {
      const int i = static_cast<int>((2 * static_cast<std::int64_t>(d) + 1) * m / (2 * static_cast<std::int64_t>(n)));
      return mirror ? m - 1 - i : i;
    };
    std::vector<int> columns(static_cast<std::size_t>(visible.width()));
    for (int x = 0; x < visible.width(); ++x) {
      columns[static_cast<std::size_t>(x)] =
          from.left() + sourceIndex(visible.left() + x - target.left(), target.width(), from.width(), mirrorX);
    }
    // Same width, not mirrored: the columns follow one another.
    const bool straight = target.width() == from.width() && !mirrorX;
    // A 32-bit target under at most one clip rectangle takes the pixels
    // straight into its rows; otherwise the painter lays them down.
    const QImage::Format format = m_image->format();
    const bool packed = format == QImage::Format_BGR888;
    const bool direct = (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied || packed) &&
                        (!clip.active || clip.rects.size() <= 1);
    QImage sampled = direct ? QImage() : QImage(visible.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<std::uint32_t> packRow(packed ? columns.size() : 0);
    for (int y = 0; y < visible.height(); ++y) {
      const int row = from.top() + sourceIndex(visible.top() + y - target.top(), target.height(), from.height(), mirrorY);
      const std::uint8_t* line = source.bits + source.stride * (source.bottomUp ? source.height - 1 - row : row);
      std::uint32_t* out = nullptr;
      const int logical = visible.top() + y;
      uchar* targetRow = direct ? m_image->scanLine(m_flip ? m_image->height() - 1 - logical : logical) : nullptr;
      if (packed && direct) {
        out = packRow.data();
      } else if (direct) {
        out = reinterpret_cast<std::uint32_t*>(targetRow) + visible.left();
      } else {
        out = reinterpret_cast<std::uint32_t*>(sampled.scanLine(y));
      }
      SampleRow(line, source.format, columns, straight, out);
      if (packed && direct) PackBgr(packRow, targetRow + 3 * static_cast<std::size_t>(visible.left()));
    }
    if (direct) return true;
    QPainter p(m_image);
    Prepare(p, clip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(visible.topLeft(), sampled);
    return true;
  }

  static void PackBgr(const std::vector<std::uint32_t>& row, uchar* to) {
    for (const std::uint32_t pixel : row) {
      *to++ = static_cast<uchar>(pixel);
      *to++ = static_cast<uchar>(pixel >> 8);
      *to++ = static_cast<uchar>(pixel >> 16);
    }
  }

  static void SampleRow(const std::uint8_t* line, PixelFormat format, const std::vector<int>& columns, bool straight,
                        std::uint32_t* out) {
    const std::size_t n = columns.size();
    if (format == PixelFormat::Bgr24) {
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint8_t* px = line + 3 * static_cast<std::size_t>(columns[x]);
        out[x] = 0xFF000000u | std::uint32_t{px[2]} << 16 | std::uint32_t{px[1]} << 8 | px[0];
      }
      return;
    }
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(line);
    const std::uint32_t opaque = format == PixelFormat::Bgrx32 ? 0xFF000000u : 0u;
    if (straight) {
      const std::uint32_t* first = pixels + columns[0];
      for (std::size_t x = 0; x < n; ++x) out[x] = first[x] | opaque;
      return;
    }
    for (std::size_t x = 0; x < n; ++x) out[x] = pixels[columns[x]] | opaque;
  }

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

namespace {
// Qt widgets a window hosts (the edit control's text entry) draw themselves:
// they are rendered over the window's surface. `at` is where the client
// area's origin lies in the painter.
void RenderHostedWidgets(QPainter& p, HostWidget* host, QPoint at) {
  for (QObject* child : host->children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget || dynamic_cast<HostWidget*>(widget) || !widget->isVisibleTo(host)) continue;
    if (widget->objectName() == QLatin1String("layerMenuBar")) continue; // not in the client area
    widget->render(&p, at + widget->pos() - host->ClientOffset(), QRegion(), QWidget::DrawChildren);
  }
}
} // namespace

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
    const QPoint at(o.x - origin.x - area.x(), o.y - origin.y - area.y());
    p.drawImage(at, widget->Surface());
    RenderHostedWidgets(p, widget, at);
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
        RenderHostedWidgets(p, widget, at);
        drawChildren(*it);
      }
    };
    drawChildren(hwnd);
  }
  return out;
}

} // namespace platform::qt
