// Draws the user interface's resource pictures by id, at the sizes the
// controls load them, into <folder>/icons/<id>.png (with transparency) and
// <folder>/bitmaps/<id>.png (opaque). The look: flat greys that sit on the
// toolkit's RGB(89,89,89) background, light marks, a dark pressed state.
//
//   MakeUiResources <folder>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, QSize)>;

bool Save(const QString& folder, const char* kind, int id, QSize size, bool opaque, const Draw& draw) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(opaque ? QColor(204, 204, 204) : QColor(Qt::transparent));
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p, size);
  }
  const QString dir = folder + "/" + kind;
  QDir().mkpath(dir);
  const QString path = dir + QString("/%1.png").arg(id);
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "MakeUiResources: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

// A triangle pointing left, right, up or down, centred in box.
void Arrow(QPainter& p, const QRectF& box, char direction, const QColor& colour) {
  const QPointF c = box.center();
  const double h = std::min(box.width(), box.height()) * 0.32;
  QPainterPath path;
  switch (direction) {
  case 'l': path.moveTo(c.x() - h * 0.8, c.y()); path.lineTo(c.x() + h * 0.6, c.y() - h); path.lineTo(c.x() + h * 0.6, c.y() + h); break;
  case 'r': path.moveTo(c.x() + h * 0.8, c.y()); path.lineTo(c.x() - h * 0.6, c.y() - h); path.lineTo(c.x() - h * 0.6, c.y() + h); break;
  case 'u': path.moveTo(c.x(), c.y() - h * 0.8); path.lineTo(c.x() - h, c.y() + h * 0.6); path.lineTo(c.x() + h, c.y() + h * 0.6); break;
  default: path.moveTo(c.x(), c.y() + h * 0.8); path.lineTo(c.x() - h, c.y() - h * 0.6); path.lineTo(c.x() + h, c.y() - h * 0.6); break;
  }
  path.closeSubpath();
  p.fillPath(path, colour);
}

// A rounded button face: raised when up, sunk and darker when pressed.
void Face(QPainter& p, const QRectF& box, bool pressed) {
  const QRectF r = box.adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, pressed ? QColor(52, 52, 52) : QColor(128, 128, 128));
  fill.setColorAt(1, pressed ? QColor(70, 70, 70) : QColor(100, 100, 100));
  p.setPen(QPen(pressed ? QColor(30, 30, 30) : QColor(150, 150, 150), 1));
  p.setBrush(fill);
  p.drawRoundedRect(r, 2.5, 2.5);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MakeUiResources <folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  bool ok = true;

  // Track bar: step buttons 16 x 20 (133/134 left, 135/136 right), thumb 27 x 20 (137), bar 139 x 20 (138).
  for (int pressed = 0; pressed < 2; ++pressed) {
    ok &= Save(folder, "icons", 133 + pressed, {16, 20}, false, [=](QPainter& p, QSize s) {
      Face(p, QRectF(1, 3, s.width() - 2, s.height() - 6), pressed);
      Arrow(p, QRectF(1, 3, s.width() - 2, s.height() - 6), 'l', pressed ? QColor(255, 200, 80) : QColor(235, 235, 235));
    });
    ok &= Save(folder, "icons", 135 + pressed, {16, 20}, false, [=](QPainter& p, QSize s) {
      Face(p, QRectF(1, 3, s.width() - 2, s.height() - 6), pressed);
      Arrow(p, QRectF(1, 3, s.width() - 2, s.height() - 6), 'r', pressed ? QColor(255, 200, 80) : QColor(235, 235, 235));
    });
  }
  ok &= Save(folder, "icons", 137, {27, 20}, false, [](QPainter& p, QSize s) {
    const QRectF r(0.5, 1.5, s.width() - 1, s.height() - 3);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(120, 120, 120));
    fill.setColorAt(1, QColor(62, 62, 62));
    p.setPen(QPen(QColor(190, 190, 190), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
  });
  ok &= Save(folder, "icons", 138, {139, 20}, false, [](QPainter& p, QSize s) {
    // A groove across the middle: dark above, a light line below.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(4, s.height() / 2 - 2, s.width() - 8, 3), QColor(35, 35, 35));
    p.fillRect(QRect(4, s.height() / 2 + 1, s.width() - 8, 1), QColor(150, 150, 150));
    for (int i = 0; i <= 10; ++i) {
      const int x = 4 + 9 + i * (s.width() - 8 - 18) / 10; // ticks under the thumb's centre range
      p.fillRect(QRect(x, s.height() - 4, 1, 3), QColor(140, 140, 140));
    }
  });

  // Spin buttons 14 x 17: decrement (143, 144 pressed), increment (145, 146 pressed).
  for (int pressed = 0; pressed < 2; ++pressed) {
    ok &= Save(folder, "icons", 143 + pressed, {14, 17}, false, [=](QPainter& p, QSize s) {
      Face(p, QRectF(0, 1, s.width(), s.height() - 2), pressed);
      Arrow(p, QRectF(0, 1, s.width(), s.height() - 2), 'l', pressed ? QColor(255, 200, 80) : QColor(235, 235, 235));
    });
    ok &= Save(folder, "icons", 145 + pressed, {14, 17}, false, [=](QPainter& p, QSize s) {
      Face(p, QRectF(0, 1, s.width(), s.height() - 2), pressed);
      Arrow(p, QRectF(0, 1, s.width(), s.height() - 2), 'r', pressed ? QColor(255, 200, 80) : QColor(235, 235, 235));
    });
  }

  // Scroll-bar arrows 12 x 12, opaque: up 163/164, down 165/166, left 167/168, right 169/170.
  const char directions[] = {'u', 'd', 'l', 'r'};
  for (int d = 0; d < 4; ++d) {
    for (int pressed = 0; pressed < 2; ++pressed) {
      ok &= Save(folder, "bitmaps", 163 + 2 * d + pressed, {12, 12}, true, [=](QPainter& p, QSize s) {
        p.fillRect(QRect(QPoint(0, 0), s), pressed ? QColor(120, 120, 120) : QColor(204, 204, 204));
        Arrow(p, QRectF(0, 0, s.width(), s.height()), directions[d], pressed ? Qt::white : Qt::black);
      });
    }
  }
  return ok ? 0 : 1;
}
