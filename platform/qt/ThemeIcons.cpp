// Icons for the shell's image lists: the desktop's icon theme when it has
// the name (GUI thread only, as QIcon's pixmaps are), else a picture of the
// layer's own for the names the shell uses: folders, drives, home, desktop,
// network, the share overlay and generic files.

#include "platform/core/ThemeIcons.h"
#include "platform/qt/QtBackend.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QThread>

#include <cstring>

namespace platform::qt {
namespace {

void Folder(QPainter& p, double s, bool open, const QColor& emblem) {
  p.setPen(QPen(QColor(150, 110, 30), s / 16));
  p.setBrush(QColor(222, 178, 70));
  p.drawRoundedRect(QRectF(s * 0.06, s * 0.16, s * 0.4, s * 0.2), s * 0.04, s * 0.04); // the tab
  p.drawRect(QRectF(s * 0.06, s * 0.26, s * 0.88, s * 0.62));
  if (open) {
    QPainterPath flap;
    flap.moveTo(s * 0.06, s * 0.88);
    flap.lineTo(s * 0.22, s * 0.44);
    flap.lineTo(s * 0.98, s * 0.44);
    flap.lineTo(s * 0.94, s * 0.88);
    flap.closeSubpath();
    p.setBrush(QColor(244, 210, 120));
    p.drawPath(flap);
  }
  if (emblem.isValid()) {
    p.setBrush(emblem);
    p.drawEllipse(QRectF(s * 0.52, s * 0.5, s * 0.36, s * 0.36));
  }
}

void Drive(QPainter& p, double s, bool removable) {
  p.setPen(QPen(QColor(70, 70, 70), s / 16));
  p.setBrush(QColor(190, 190, 195));
  p.drawRoundedRect(QRectF(s * 0.06, s * 0.3, s * 0.88, s * 0.44), s * 0.08, s * 0.08);
  p.setBrush(removable ? QColor(60, 60, 60) : QColor(40, 190, 60));
  p.drawRect(removable ? QRectF(s * 0.2, s * 0.46, s * 0.44, s * 0.1) : QRectF(s * 0.74, s * 0.54, s * 0.1, s * 0.08));
}

void Page(QPainter& p, double s, const QColor& mark) {
  QPainterPath page;
  page.moveTo(s * 0.2, s * 0.06);
  page.lineTo(s * 0.62, s * 0.06);
  page.lineTo(s * 0.82, s * 0.26);
  page.lineTo(s * 0.82, s * 0.94);
  page.lineTo(s * 0.2, s * 0.94);
  page.closeSubpath();
  p.setPen(QPen(QColor(110, 110, 110), s / 16));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setBrush(mark);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(s * 0.3, s * 0.42, s * 0.42, s * 0.4));
}

// The layer's own picture of a name; null for names it has none for.
QImage OwnIcon(std::string_view name, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  const double s = size;
  if (name == "folder" || name == "folder-open") {
    Folder(p, s, name == "folder-open", QColor());
  } else if (name == "folder-remote" || name == "network-workgroup") {
    Folder(p, s, false, QColor(60, 120, 220));
  } else if (name == "drive-harddisk" || name == "drive-removable-media") {
    Drive(p, s, name == "drive-removable-media");
  } else if (name == "user-home") {
    QPainterPath house;
    house.moveTo(s * 0.5, s * 0.08);
    house.lineTo(s * 0.94, s * 0.48);
    house.lineTo(s * 0.8, s * 0.48);
    house.lineTo(s * 0.8, s * 0.92);
    house.lineTo(s * 0.2, s * 0.92);
    house.lineTo(s * 0.2, s * 0.48);
    house.lineTo(s * 0.06, s * 0.48);
    house.closeSubpath();
    p.setPen(QPen(QColor(120, 60, 30), s / 16));
    p.setBrush(QColor(230, 140, 80));
    p.drawPath(house);
  } else if (name == "user-desktop") {
    p.setPen(QPen(QColor(50, 50, 50), s / 16));
    p.setBrush(QColor(90, 150, 220));
    p.drawRect(QRectF(s * 0.08, s * 0.14, s * 0.84, s * 0.56));
    p.setBrush(QColor(80, 80, 80));
    p.drawRect(QRectF(s * 0.36, s * 0.74, s * 0.28, s * 0.14));
  } else if (name == "emblem-shared") { // an overlay: a hand-like mark in the lower-left corner
    p.setPen(QPen(QColor(40, 40, 140), s / 16));
    p.setBrush(QColor(120, 160, 240));
    p.drawEllipse(QRectF(s * 0.02, s * 0.6, s * 0.38, s * 0.38));
  } else if (name == "text-x-generic") {
    Page(p, s, QColor(200, 200, 200));
  } else if (name == "image-x-generic") {
    Page(p, s, QColor(70, 160, 90));
  } else if (name == "video-x-generic") {
    Page(p, s, QColor(60, 60, 60));
  } else {
    return QImage();
  }
  return image;
}

bool LoadIcon(std::string_view name, int size, core::PixelImage& out) {
  if (!qApp) return false;
  QImage image;
  const bool guiThread = QThread::currentThread() == qApp->thread();
  const QIcon themed = guiThread ? QIcon::fromTheme(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))
                                 : QIcon();
  if (!themed.isNull()) image = themed.pixmap(size, size).toImage();
  if (image.isNull()) image = OwnIcon(name, size);
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if (image.size() != QSize(size, size)) image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  out.width = out.height = size;
  out.argb.resize(static_cast<std::size_t>(size) * size);
  for (int y = 0; y < size; ++y) {
    std::memcpy(&out.argb[static_cast<std::size_t>(y) * size], image.constScanLine(y), static_cast<std::size_t>(size) * 4);
  }
  return true;
}

[[maybe_unused]] const bool g_themeIcons = [] {
  core::SetThemeIconLoader(&LoadIcon);
  return true;
}();

} // namespace
} // namespace platform::qt
