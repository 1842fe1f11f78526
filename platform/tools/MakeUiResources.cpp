// Draws the user interface's resource pictures by id, at the sizes the
// controls load them, into <folder>/icons/<id>.png (with transparency) and
// <folder>/bitmaps/<id>.png (opaque), and cursors into <folder>/cursors/<id>.png.
// The look: flat greys that sit on the toolkit's RGB(89,89,89) background,
// light marks, a dark pressed state.
//
//   MakeUiResources <folder>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <numbers>
#include <tuple>

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

// The browser view's icon buttons: a face with a light mark (normal), a sunk
// face with a warm mark (pushed) and a flat face with a dim mark (disabled).
enum class Mark { Info, RotateLeft, RotateRight, SlideShow, Print, Star, Lock, Delete, Smaller, Larger, InfoView, Loupe };

void DrawMark(QPainter& p, const QRectF& box, Mark mark, const QColor& c) {
  const QPointF m = box.center();
  const double r = std::min(box.width(), box.height()) * 0.3;
  p.setPen(QPen(c, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  switch (mark) {
  case Mark::Info:
    p.drawEllipse(m, r, r);
    p.drawLine(QPointF(m.x(), m.y() - r * 0.1), QPointF(m.x(), m.y() + r * 0.55));
    p.setBrush(c);
    p.drawEllipse(QPointF(m.x(), m.y() - r * 0.5), 0.8, 0.8);
    break;
  case Mark::RotateLeft: {
    // Three quarters of a circle from the top round the left, ending at the right pointing up.
    p.drawArc(QRectF(m.x() - r, m.y() - r, 2 * r, 2 * r), 90 * 16, 270 * 16);
    QPainterPath head;
    head.moveTo(m.x() + r, m.y() - 4);
    head.lineTo(m.x() + r - 3.5, m.y() + 1);
    head.lineTo(m.x() + r + 3.5, m.y() + 1);
    head.closeSubpath();
    p.fillPath(head, c);
    break;
  }
  case Mark::RotateRight:
    p.save();
    p.translate(2 * m.x(), 0);
    p.scale(-1, 1);
    DrawMark(p, box, Mark::RotateLeft, c);
    p.restore();
    break;
  case Mark::SlideShow: {
    p.drawRect(QRectF(m.x() - r * 1.2, m.y() - r * 0.9, r * 2.4, r * 1.8));
    QPainterPath play;
    play.moveTo(m.x() - r * 0.35, m.y() - r * 0.5);
    play.lineTo(m.x() + r * 0.55, m.y());
    play.lineTo(m.x() - r * 0.35, m.y() + r * 0.5);
    play.closeSubpath();
    p.fillPath(play, c);
    break;
  }
  case Mark::Print:
    p.drawRect(QRectF(m.x() - r * 0.7, m.y() - r * 1.1, r * 1.4, r * 0.8));
    p.drawRect(QRectF(m.x() - r * 1.2, m.y() - r * 0.3, r * 2.4, r * 0.9));
    p.drawRect(QRectF(m.x() - r * 0.7, m.y() + r * 0.3, r * 1.4, r * 0.8));
    break;
  case Mark::Star: {
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
      const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
      const double k = i % 2 ? r * 0.45 : r * 1.1;
      const QPointF q(m.x() + k * std::cos(a), m.y() + k * std::sin(a));
      i ? star.lineTo(q) : star.moveTo(q);
    }
    star.closeSubpath();
    p.fillPath(star, c);
    break;
  }
  case Mark::Lock:
    p.drawArc(QRectF(m.x() - r * 0.55, m.y() - r * 1.15, r * 1.1, r * 1.2), 0, 180 * 16);
    p.drawLine(QPointF(m.x() - r * 0.55, m.y() - r * 0.55), QPointF(m.x() - r * 0.55, m.y() - r * 0.1));
    p.drawLine(QPointF(m.x() + r * 0.55, m.y() - r * 0.55), QPointF(m.x() + r * 0.55, m.y() - r * 0.1));
    p.fillRect(QRectF(m.x() - r * 0.9, m.y() - r * 0.1, r * 1.8, r * 1.2), c);
    break;
  case Mark::Delete:
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(m.x() - r * 0.8, m.y() - r * 0.8), QPointF(m.x() + r * 0.8, m.y() + r * 0.8));
    p.drawLine(QPointF(m.x() + r * 0.8, m.y() - r * 0.8), QPointF(m.x() - r * 0.8, m.y() + r * 0.8));
    break;
  case Mark::Smaller:
  case Mark::Larger: {
    const double k = mark == Mark::Smaller ? r * 0.45 : r * 0.6;
    for (int i = 0; i < 4; ++i) {
      const double dx = i % 2 ? 0.55 : -0.55, dy = i / 2 ? 0.55 : -0.55;
      const double side = mark == Mark::Smaller ? k : k * 1.35;
      p.fillRect(QRectF(m.x() + dx * r * 1.1 - side / 2, m.y() + dy * r * 1.1 - side / 2, side, side), c);
    }
    break;
  }
  case Mark::Loupe:
    p.drawEllipse(QPointF(m.x() - r * 0.25, m.y() - r * 0.25), r * 0.8, r * 0.8);
    p.setPen(QPen(c, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(m.x() + r * 0.35, m.y() + r * 0.35), QPointF(m.x() + r * 1.1, m.y() + r * 1.1));
    break;
  case Mark::InfoView:
    p.fillRect(QRectF(m.x() - r * 1.2, m.y() - r * 0.9, r * 0.9, r * 0.9), c);
    p.fillRect(QRectF(m.x() - r * 1.2, m.y() + r * 0.2, r * 0.9, r * 0.9), c);
    for (double y : {-0.75, -0.3, 0.35, 0.8}) p.drawLine(QPointF(m.x(), m.y() + y * r), QPointF(m.x() + r * 1.2, m.y() + y * r));
    break;
  }
}

bool DrawBrowserViewIcons(const QString& folder) {
  bool ok = true;
  // state 0 normal, 1 pushed, 2 disabled, 3 checked (the information view's toggle)
  const auto icon = [&](int id, QSize size, Mark mark, int state) {
    ok &= Save(folder, "icons", id, size, false, [=](QPainter& p, QSize s) {
      const QRectF box(0, 0, s.width(), s.height());
      if (state == 2) {
        p.setPen(QPen(QColor(110, 110, 110), 1));
        p.setBrush(QColor(95, 95, 95));
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
      } else {
        Face(p, box, state == 1 || state == 3);
      }
      const QColor colour = state == 2 ? QColor(135, 135, 135) : state == 0 ? QColor(240, 240, 240) : QColor(255, 200, 80);
      DrawMark(p, box, mark, colour);
    });
  };
  const struct {
    QSize size;
    Mark mark;
    int normal, pushed, disabled;
  } buttons[] = {{{23, 23}, Mark::Info, 174, 179, 175},       {{25, 23}, Mark::RotateLeft, 176, 177, 178},
                 {{25, 23}, Mark::RotateRight, 180, 181, 182}, {{23, 23}, Mark::SlideShow, 183, 184, 0},
                 {{23, 23}, Mark::Print, 185, 186, 0},         {{23, 23}, Mark::Star, 187, 188, 189},
                 {{23, 23}, Mark::Lock, 190, 191, 192},        {{23, 23}, Mark::Delete, 193, 194, 195},
                 {{31, 30}, Mark::Smaller, 221, 222, 223},     {{31, 30}, Mark::Larger, 224, 225, 226}};
  for (const auto& b : buttons) {
    icon(b.normal, b.size, b.mark, 0);
    icon(b.pushed, b.size, b.mark, 1);
    if (b.disabled) icon(b.disabled, b.size, b.mark, 2);
  }
  icon(227, {31, 30}, Mark::InfoView, 0);
  icon(228, {31, 30}, Mark::InfoView, 3);
  icon(229, {31, 30}, Mark::InfoView, 2);
  // The review window's loupe switch: off 207, on 208.
  icon(207, {23, 23}, Mark::Loupe, 0);
  icon(208, {23, 23}, Mark::Loupe, 3);
  return ok;
}

// The colour wheel's frame (139, 98 x 97): pure white where the colour field
// shows through (the wheel keys white out), a bevelled ring around it and
// transparency outside, where the wheel's background colour shows. Its
// marker (140, 5 x 5): a light square ringed in black around a black dot,
// seen on every colour.
bool DrawColorWheelIcons(const QString& folder) {
  bool ok = Save(folder, "icons", 139, {98, 97}, false, [](QPainter& p, QSize s) {
    const QPointF centre(s.width() / 2.0, s.height() / 2.0);
    const double radius = 46.5;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(centre, radius + 2.5, radius + 2.5);
    p.setBrush(QColor(150, 150, 150));
    p.drawEllipse(centre, radius + 1.2, radius + 1.2);
    // The field's opening without antialiasing: exactly white or not at all.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, radius, radius);
  });
  ok &= Save(folder, "icons", 140, {5, 5}, false, [](QPainter& p, QSize s) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(QPoint(0, 0), s), Qt::black);
    p.fillRect(QRect(1, 1, s.width() - 2, s.height() - 2), QColor(250, 250, 250));
    p.fillRect(QRect(2, 2, 1, 1), Qt::black);
  });
  return ok;
}

// The information palette's list icons, dark marks on its light rows: the
// picture resolution as a grid of one (215 low), four (216 medium) or nine
// cells (211 high), 12 x 12; and the metering pattern inside a viewfinder
// frame: centre-weighted (212, a circle), average (213, the whole field),
// multi-segment (214, 15 x 11, segments round a centre) and spot (285, a dot).
bool DrawInformationListIcons(const QString& folder) {
  const QColor mark(60, 60, 60);
  bool ok = true;
  for (const auto& [id, cells] : {std::pair{215, 1}, std::pair{216, 2}, std::pair{211, 3}}) {
    ok &= Save(folder, "icons", id, {12, 12}, false, [=](QPainter& p, QSize) {
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setPen(mark);
      p.setBrush(Qt::NoBrush);
      p.drawRect(QRect(0, 0, 11, 11));
      for (int i = 1; i < cells; ++i) {
        const int at = (i * 11 + cells / 2) / cells; // cells of even size between the borders
        p.drawLine(at, 0, at, 11);
        p.drawLine(0, at, 11, at);
      }
    });
  }
  const auto frame = [mark](QPainter& p, QSize s) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, s.width() - 1, s.height() - 1));
  };
  ok &= Save(folder, "icons", 212, {16, 12}, false, [=](QPainter& p, QSize s) {
    frame(p, s);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(mark, 1.2));
    p.drawEllipse(QRectF(4.5, 2.5, 7, 7));
  });
  ok &= Save(folder, "icons", 213, {16, 12}, false, [=](QPainter& p, QSize s) {
    frame(p, s);
    p.fillRect(QRect(2, 2, s.width() - 4, s.height() - 4), QColor(mark.red(), mark.green(), mark.blue(), 110));
  });
  ok &= Save(folder, "icons", 214, {15, 11}, false, [=](QPainter& p, QSize s) {
    frame(p, s);
    p.drawRect(QRect(5, 3, 4, 4));
    p.drawLine(2, 2, 3, 2);
    p.drawLine(11, 2, 12, 2);
    p.drawLine(2, 8, 3, 8);
    p.drawLine(11, 8, 12, 8);
  });
  ok &= Save(folder, "icons", 285, {16, 12}, false, [=](QPainter& p, QSize s) {
    frame(p, s);
    p.fillRect(QRect(7, 5, 2, 2), mark);
  });
  return ok;
}

} // namespace

// The adjustment palette's panel icons: the expand button 12 x 12 (156
// expanded, 157 pushed, 158 collapsed, 159 collapsed and pushed), the reset
// button 16 x 17 (151, 152 pushed), and the 31 x 30 buttons: dropper (149,
// 150 pushed), write settings (160, 161 disabled, 162 pushed) and save image
// (153, 154 disabled, 155 pushed).
bool DrawPalettePanelIcons(const QString& folder) {
  bool ok = true;
  const QColor light(220, 220, 220);
  const QColor dim(140, 140, 140);
  for (const auto& [id, collapsed, pushed] : {std::tuple{156, false, false}, std::tuple{157, false, true},
                                               std::tuple{158, true, false}, std::tuple{159, true, true}}) {
    ok &= Save(folder, "icons", id, {12, 12}, false, [=](QPainter& p, QSize s) {
      Arrow(p, QRectF(0, 0, s.width(), s.height()), collapsed ? 'r' : 'd', pushed ? dim : light);
    });
  }
  for (const auto& [id, pushed] : {std::pair{151, false}, std::pair{152, true}}) {
    ok &= Save(folder, "icons", id, {16, 17}, false, [=](QPainter& p, QSize) {
      p.setPen(QPen(pushed ? dim : light, 2));
      p.drawArc(QRectF(3, 3.5, 10, 10), 100 * 16, 290 * 16);
      Arrow(p, QRectF(4, 0, 8, 8), 'r', pushed ? dim : light);
    });
  }
  // A button face with a symbol: the face pressed or flat (disabled), the symbol dimmed when disabled.
  const auto button = [&](int id, bool pressed, bool disabled, const std::function<void(QPainter&, QColor)>& symbol) {
    ok &= Save(folder, "icons", id, {31, 30}, false, [=](QPainter& p, QSize s) {
      if (disabled) {
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(QColor(70, 70, 70));
        p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, 3);
      } else {
        Face(p, QRectF(0, 0, s.width(), s.height()), pressed);
      }
      symbol(p, disabled ? QColor(110, 110, 110) : QColor(30, 30, 30));
    });
  };
  const auto dropper = [](QPainter& p, QColor c) {
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 22), QPointF(19, 12));
    p.setBrush(c);
    p.drawEllipse(QRectF(18, 6, 6, 6));
  };
  const auto disk = [](QPainter& p, QColor c) {
    p.setPen(QPen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8.5, 7.5, 14, 15));
    p.fillRect(QRectF(11, 8, 9, 5), c);
  };
  const auto picture = [](QPainter& p, QColor c) {
    p.setPen(QPen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(6.5, 8.5, 18, 13));
    QPainterPath hill;
    hill.moveTo(8, 21);
    hill.lineTo(14, 14);
    hill.lineTo(18, 18);
    hill.lineTo(23, 21);
    hill.closeSubpath();
    p.fillPath(hill, c);
  };
  button(149, false, false, dropper);
  button(150, true, false, dropper);
  button(160, false, false, disk);
  button(161, false, true, disk);
  button(162, true, false, disk);
  button(153, false, false, picture);
  button(154, false, true, picture);
  button(155, true, false, picture);
  return ok;
}

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
  // Radio bars: backgrounds 145 x 14 with three (142) or five (286) button
  // spots on a groove, and the marks shown over the chosen spot (141, 287; 14 x 12).
  auto radioBar = [&](int id, std::initializer_list<int> spots) {
    return Save(folder, "icons", id, {145, 14}, false, [=](QPainter& p, QSize s) {
      p.setRenderHint(QPainter::Antialiasing, false);
      p.fillRect(QRect(7, s.height() / 2 - 1, s.width() - 14, 2), QColor(40, 40, 40));
      p.fillRect(QRect(7, s.height() / 2 + 1, s.width() - 14, 1), QColor(140, 140, 140));
      p.setRenderHint(QPainter::Antialiasing, true);
      for (int x : spots) {
        p.setPen(QPen(QColor(170, 170, 170), 1));
        p.setBrush(QColor(60, 60, 60));
        p.drawEllipse(QRectF(x + 1.5, 1.5, 11, 11));
      }
    });
  };
  ok &= radioBar(142, {0, 65, 131});
  ok &= radioBar(286, {0, 32, 65, 98, 131});
  for (int id : {141, 287}) {
    ok &= Save(folder, "icons", id, {14, 12}, false, [](QPainter& p, QSize) {
      p.setPen(QPen(QColor(255, 236, 170), 1));
      p.setBrush(QColor(255, 200, 80));
      p.drawEllipse(QRectF(2.5, 1.5, 9, 9));
    });
  }

  // Check-box marks 15 x 15: unchecked 238, checked 239, unchecked disabled
  // 240, checked disabled 265. Radio marks 13 x 13: unchecked 241, checked
  // 242, unchecked disabled 243.
  auto box = [&](int id, bool checked, bool enabled) {
    return Save(folder, "icons", id, {15, 15}, false, [=](QPainter& p, QSize s) {
      const QColor line = enabled ? QColor(215, 215, 215) : QColor(130, 130, 130);
      p.setPen(QPen(line, 1));
      p.setBrush(enabled ? QColor(55, 55, 55) : QColor(80, 80, 80));
      p.drawRoundedRect(QRectF(1.5, 1.5, s.width() - 3, s.height() - 3), 2, 2);
      if (!checked) return;
      QPainterPath tick;
      tick.moveTo(4, 7.5);
      tick.lineTo(6.5, 10.5);
      tick.lineTo(11, 4);
      p.setPen(QPen(enabled ? QColor(255, 200, 80) : QColor(150, 150, 150), 2, Qt::SolidLine, Qt::RoundCap));
      p.setBrush(Qt::NoBrush);
      p.drawPath(tick);
    });
  };
  ok &= box(238, false, true);
  ok &= box(239, true, true);
  ok &= box(240, false, false);
  ok &= box(265, true, false);
  auto radio = [&](int id, bool checked, bool enabled) {
    return Save(folder, "icons", id, {13, 13}, false, [=](QPainter& p, QSize s) {
      p.setPen(QPen(enabled ? QColor(215, 215, 215) : QColor(130, 130, 130), 1));
      p.setBrush(enabled ? QColor(55, 55, 55) : QColor(80, 80, 80));
      p.drawEllipse(QRectF(1.5, 1.5, s.width() - 3, s.height() - 3));
      if (!checked) return;
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 200, 80));
      p.drawEllipse(QRectF(4, 4, s.width() - 8, s.height() - 8));
    });
  };
  ok &= radio(241, false, true);
  ok &= radio(242, true, true);
  ok &= radio(243, false, false);

  // The text button's skin: left 10, middle 9 (stretched) and right 10 pixels
  // by 23, for the normal (248-250), pushed (251-253) and disabled (254-256)
  // states, cut from one face drawn 29 pixels wide.
  for (int state = 0; state < 3; ++state) {
    QImage face(QSize(29, 23), QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    {
      QPainter p(&face);
      p.setRenderHint(QPainter::Antialiasing, true);
      const QRectF r(0.5, 0.5, 28, 22);
      QLinearGradient fill(r.topLeft(), r.bottomLeft());
      const QColor top[3] = {QColor(138, 138, 138), QColor(50, 50, 50), QColor(96, 96, 96)};
      const QColor bottom[3] = {QColor(98, 98, 98), QColor(72, 72, 72), QColor(90, 90, 90)};
      const QColor edge[3] = {QColor(165, 165, 165), QColor(28, 28, 28), QColor(112, 112, 112)};
      fill.setColorAt(0, top[state]);
      fill.setColorAt(1, bottom[state]);
      p.setPen(QPen(edge[state], 1));
      p.setBrush(fill);
      p.drawRoundedRect(r, 4, 4);
    }
    const int lefts[3] = {0, 10, 19};
    const int widths[3] = {10, 9, 10};
    for (int piece = 0; piece < 3; ++piece) {
      const QImage part = face.copy(lefts[piece], 0, widths[piece], 23);
      ok &= Save(folder, "icons", 248 + 3 * state + piece, part.size(), false,
                 [&part](QPainter& p, QSize) { p.drawImage(0, 0, part); });
    }
  }

  // Progress bar: the frame pieces 6 x 6 (263: a sunken edge, two pixels a
  // side) and the filling 182 x 14 (264), tiled along the bar.
  ok &= Save(folder, "bitmaps", 263, {6, 6}, true, [](QPainter& p, QSize) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 0, 6, 6), QColor(89, 89, 89));
    p.fillRect(QRect(0, 0, 6, 1), QColor(38, 38, 38));
    p.fillRect(QRect(0, 0, 1, 6), QColor(38, 38, 38));
    p.fillRect(QRect(1, 1, 4, 1), QColor(62, 62, 62));
    p.fillRect(QRect(1, 1, 1, 4), QColor(62, 62, 62));
    p.fillRect(QRect(0, 5, 6, 1), QColor(176, 176, 176));
    p.fillRect(QRect(5, 0, 1, 6), QColor(176, 176, 176));
    p.fillRect(QRect(1, 4, 4, 1), QColor(128, 128, 128));
    p.fillRect(QRect(4, 1, 1, 4), QColor(128, 128, 128));
  });
  ok &= Save(folder, "bitmaps", 264, {182, 14}, true, [](QPainter& p, QSize s) {
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient fill(0, 0, 0, s.height());
    fill.setColorAt(0, QColor(150, 196, 255));
    fill.setColorAt(0.45, QColor(70, 130, 225));
    fill.setColorAt(1, QColor(40, 88, 180));
    p.fillRect(QRect(QPoint(0, 0), s), fill);
    for (int x = 0; x < s.width(); x += 7) p.fillRect(QRect(x, 0, 1, s.height()), QColor(255, 255, 255, 40));
  });
  // The combo box's drop button 17 x 18: normal (172), pressed (173), disabled (217).
  for (const auto& [id, face, mark] : {std::tuple{172, QColor(128, 128, 128), QColor(235, 235, 235)},
                                       std::tuple{173, QColor(60, 60, 60), QColor(255, 200, 80)},
                                       std::tuple{217, QColor(150, 150, 150), QColor(190, 190, 190)}}) {
    ok &= Save(folder, "icons", id, {17, 18}, false, [=](QPainter& p, QSize s) {
      p.setRenderHint(QPainter::Antialiasing, false);
      p.fillRect(QRect(QPoint(0, 0), s), face);
      p.setPen(QColor(51, 51, 51));
      p.drawRect(QRect(0, 0, s.width() - 1, s.height() - 1));
      p.setRenderHint(QPainter::Antialiasing, true);
      Arrow(p, QRectF(0, 0, s.width(), s.height()), 'd', mark);
    });
  }
  // The browser grid's file-type badges 22 x 9 (230 raw, 231 JPEG, 232 TIFF,
  // 289 AVI movie): three letters of a 3 x 5 pixel font on the type's colour
  // (no font engine runs here). Then its mark icon (233, a flag) and lock
  // icon (235, a padlock).
  const auto glyph = [](char c) -> std::array<int, 5> {
    switch (c) {
    case 'R': return {6, 5, 6, 5, 5};
    case 'A': return {2, 5, 7, 5, 5};
    case 'W': return {5, 5, 5, 7, 5};
    case 'J': return {1, 1, 1, 5, 2};
    case 'P': return {6, 5, 6, 4, 4};
    case 'G': return {3, 4, 5, 5, 3};
    case 'T': return {7, 2, 2, 2, 2};
    case 'I': return {7, 2, 2, 2, 7};
    case 'F': return {7, 4, 6, 4, 4};
    default: return {5, 5, 5, 5, 2}; // V
    }
  };
  for (const auto& [id, text, colour] : {std::tuple{230, "RAW", QColor(196, 60, 40)},
                                         std::tuple{231, "JPG", QColor(40, 110, 190)},
                                         std::tuple{232, "TIF", QColor(40, 140, 80)},
                                         std::tuple{289, "AVI", QColor(120, 70, 160)}}) {
    ok &= Save(folder, "bitmaps", id, {22, 9}, true, [=](QPainter& p, QSize s) {
      p.setRenderHint(QPainter::Antialiasing, false);
      p.fillRect(QRect(QPoint(0, 0), s), colour);
      for (int letter = 0; letter < 3; ++letter) {
        const std::array<int, 5> rows = glyph(text[letter]);
        for (int y = 0; y < 5; ++y) {
          for (int x = 0; x < 3; ++x) {
            if (rows[y] & (4 >> x)) p.fillRect(QRect(5 + letter * 4 + x, 2 + y, 1, 1), Qt::white);
          }
        }
      }
    });
  }
  ok &= Save(folder, "icons", 233, {16, 16}, false, [](QPainter& p, QSize) {
    p.fillRect(QRectF(3, 1, 1.5, 14), QColor(60, 60, 60));
    QPainterPath flag;
    flag.moveTo(4.5, 1.5);
    flag.lineTo(14, 4.5);
    flag.lineTo(4.5, 8.5);
    flag.closeSubpath();
    p.fillPath(flag, QColor(230, 40, 40));
  });
  ok &= Save(folder, "icons", 235, {16, 16}, false, [](QPainter& p, QSize) {
    p.setPen(QPen(QColor(70, 70, 70), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
    p.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(230, 180, 40));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7), 1.5, 1.5);
  });
  // The palettes' dialog buttons 105 x 23: normal 147, pushed 148, disabled 210 (a flat, dimmer face).
  for (const auto& [id, pressed] : {std::pair{147, false}, std::pair{148, true}}) {
    ok &= Save(folder, "icons", id, {105, 23}, false, [=](QPainter& p, QSize s) {
      Face(p, QRectF(0, 0, s.width(), s.height()), pressed);
    });
  }
  ok &= Save(folder, "icons", 210, {105, 23}, false, [](QPainter& p, QSize s) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(70, 70, 70));
    p.drawRoundedRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1), 3, 3);
  });
  ok &= DrawBrowserViewIcons(folder);
  ok &= DrawInformationListIcons(folder);

  // The review pane's cursors, 32 x 32 with the hot spot at the centre: a
  // closed hand while dragging (269), an open hand where dragging is
  // possible (270) and a cross with a hollow centre to pick a grey point (276).
  const auto hand = [](QPainter& p, bool open) {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    const int fingers = open ? 9 : 4;
    for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(8.5 + 4 * i, 16.5 - fingers, 4, fingers + 4), 2, 2);
    p.drawRoundedRect(QRectF(8.5, 14.5, 16, 10), 3, 3);
    p.drawRoundedRect(QRectF(open ? 4.5 : 6.5, 15.5, 5, open ? 4 : 3), 2, 2);
  };
  ok &= Save(folder, "cursors", 269, {32, 32}, false, [&](QPainter& p, QSize) { hand(p, false); });
  ok &= Save(folder, "cursors", 270, {32, 32}, false, [&](QPainter& p, QSize) { hand(p, true); });
  ok &= Save(folder, "cursors", 276, {32, 32}, false, [](QPainter& p, QSize) {
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
      p.setPen(QPen(colour, width));
      p.drawLine(16, 2, 16, 12);
      p.drawLine(16, 20, 16, 30);
      p.drawLine(2, 16, 12, 16);
      p.drawLine(20, 16, 30, 16);
      p.setBrush(Qt::NoBrush);
      p.drawRect(13, 13, 6, 6);
    }
  });
  ok &= DrawColorWheelIcons(folder);
  ok &= DrawPalettePanelIcons(folder);

  // The print preview's page buttons, 16 x 23: previous 201 normal, 202 pushed,
  // 203 disabled; next 204, 205, 206.
  for (int state = 0; state < 3; ++state) {
    const QColor mark = state == 1 ? QColor(255, 200, 80) : state == 2 ? QColor(110, 110, 110) : QColor(235, 235, 235);
    for (const auto& [first, direction] : {std::pair{201, 'l'}, std::pair{204, 'r'}}) {
      ok &= Save(folder, "icons", first + state, {16, 23}, false, [=](QPainter& p, QSize s) {
        const QRectF face(1, 3, s.width() - 2, s.height() - 6);
        Face(p, face, state == 1);
        Arrow(p, face, direction, mark);
      });
    }
  }
  return ok ? 0 : 1;
}
