// Draws the pictures of the program's splash window, about box and monitor
// check, by resource id:
//   bitmaps/272.png  470 x 178  the scene
//   bitmaps/273.png   72 x 18   the maker's mark
//   bitmaps/274.png   46 x 44   the emblem
//   bitmaps/275.png  336 x 44   the program's name
//   icons/258.png    158 x 242  gamma pattern, left half (the striped column)
//   icons/259.png    157 x 242  gamma pattern, right half (black with the marks)
//   icons/260.png    140 x 40   grey steps 15 to 140
//   icons/261.png    140 x 40   grey steps 157 to 255
// The test patterns are exact pixels; the others are the program's look.
//
//   MakeAppPictures <folder>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

bool Save(const QString& folder, const char* kind, int id, const QImage& image)
{
    const QString dir = folder + "/" + kind;
    QDir().mkpath(dir);
    const QString path = dir + QString("/%1.png").arg(id);
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
        std::fprintf(stderr, "MakeAppPictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage Drawn(QSize size, const QColor& fill, const std::function<void(QPainter&)>& draw)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(fill);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    draw(p);
    return image;
}

// Through three values at the top, the middle and the bottom of the pattern.
double ThroughThree(double t, double top, double middle, double bottom)
{
    return t < 0.5 ? top + (middle - top) * t * 2 : middle + (bottom - middle) * (t - 0.5) * 2;
}

int Grey(double value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

void SetGrey(QImage& image, int x, int y, int grey)
{
    image.setPixel(x, y, qRgb(grey, grey, grey));
}

// The marks across the pattern on rows 100-101 and 140-141.
constexpr std::array<int, 4> kMarkRows{100, 101, 140, 141};
constexpr int kMarkGrey = 224;

QImage GammaLeft()
{
    QImage image(158, 242, QImage::Format_RGB32);
    image.fill(Qt::black);
    const int rows = image.height();
    for (int y = 0; y < rows; ++y) {
        const double t = static_cast<double>(y) / (rows - 1);
        const double edge = ThroughThree(t, 116, 179, 204);
        const double light = ThroughThree(t, 213, 235, 243);
        const double dark = ThroughThree(t, 1, 9, 27);
        for (int x = 15; x <= 114; ++x) {
            // 0 at the column's edges, 1 at its centre (x 64).
            const double towardsCentre = 1.0 - std::min(1.0, std::abs(x - 64.5) / 50.0);
            const double line = (y % 2 == 0) ? light : dark;
            SetGrey(image, x, y, Grey(edge + (line - edge) * towardsCentre));
        }
    }
    // The marks run up to the column from the left, as arrows.
    for (int row : kMarkRows)
        for (int x = 0; x < 13; ++x)
            SetGrey(image, x, row, kMarkGrey);
    for (int tip : {100, 140})
        for (int d = 1; d <= 3; ++d) {
            SetGrey(image, 12 - d, tip - d, kMarkGrey);
            SetGrey(image, 12 - d, tip + 1 + d, kMarkGrey);
        }
    return image;
}

QImage GammaRight()
{
    QImage image(157, 242, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int row : kMarkRows)
        for (int x = 0; x < image.width(); ++x)
            SetGrey(image, x, row, kMarkGrey);
    return image;
}

QImage GreySteps(const std::array<int, 7>& levels)
{
    QImage image(140, 40, QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            SetGrey(image, x, y, levels[static_cast<size_t>(x / 20)]);
    return image;
}

QImage Scene()
{
    return Drawn({470, 178}, QColor(30, 34, 44), [](QPainter& p) {
        QLinearGradient sky(0, 0, 0, 178);
        sky.setColorAt(0, QColor(28, 52, 96));
        sky.setColorAt(0.65, QColor(232, 150, 84));
        sky.setColorAt(1, QColor(60, 40, 38));
        p.fillRect(QRect(0, 0, 470, 178), sky);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 220, 150));
        p.drawEllipse(QPointF(330, 112), 26, 26);
        QPainterPath hills;
        hills.moveTo(0, 178);
        hills.lineTo(0, 120);
        hills.cubicTo(90, 80, 160, 150, 250, 118);
        hills.cubicTo(330, 92, 400, 140, 470, 110);
        hills.lineTo(470, 178);
        p.setBrush(QColor(26, 30, 36));
        p.drawPath(hills);
    });
}

QImage Wordmark(QSize size, const QString& text, int pixels, const QColor& colour)
{
    return Drawn(size, Qt::white, [&](QPainter& p) {
        QFont font("DejaVu Sans");
        font.setPixelSize(pixels);
        font.setBold(true);
        p.setFont(font);
        p.setPen(colour);
        p.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignVCenter, text);
    });
}

QImage Emblem()
{
    return Drawn({46, 44}, Qt::white, [](QPainter& p) {
        p.setPen(QPen(QColor(40, 60, 110), 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(23, 22), 18, 18);
        p.setPen(Qt::NoPen);
        for (int blade = 0; blade < 6; ++blade) {
            p.save();
            p.translate(23, 22);
            p.rotate(blade * 60);
            p.setBrush(blade % 2 ? QColor(232, 150, 84) : QColor(40, 60, 110));
            p.drawRect(QRectF(-2, -15, 4, 10));
            p.restore();
        }
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    // Text needs the font database, which needs an application: one without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= Save(folder, "bitmaps", 272, Scene());
    ok &= Save(folder, "bitmaps", 273, Wordmark({72, 18}, "TALVO", 15, QColor(40, 60, 110)));
    ok &= Save(folder, "bitmaps", 274, Emblem());
    ok &= Save(folder, "bitmaps", 275, Wordmark({336, 44}, "Lumitra 4", 34, QColor(30, 34, 44)));
    ok &= Save(folder, "icons", 258, GammaLeft());
    ok &= Save(folder, "icons", 259, GammaRight());
    ok &= Save(folder, "icons", 260, GreySteps({15, 41, 63, 83, 103, 121, 140}));
    ok &= Save(folder, "icons", 261, GreySteps({157, 174, 191, 207, 223, 239, 255}));
    return ok ? 0 : 1;
}
