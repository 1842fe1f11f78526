// Printers on Qt: CUPS's printers and the printer into a PDF file, which
// is always offered and is the default without a CUPS default. Every document is drawn with QPdfWriter at the printer's
// resolution and page layout into a file created exclusively under a
// temporary name, so an aborted document, or one without a page, leaves
// nothing. EndDoc renames a PDF printer's file into place; a system (CUPS)
// printer's file is handed to the spooler with `lp` (started with an argument
// vector, no shell) and removed. (Qt's own printer cannot abort a begun job:
// QPrinter::abort() fails and the job is sent when its painter ends.)

#include "platform/core/CommonDialogs.h"
#include "platform/core/Printers.h"
#include "platform/qt/QtBackend.h"

#include "foundation/FPath.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegion>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::qt {
namespace {

using core::Clip;
using core::PixelView;

QString Text(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

bool NativePath(std::u16string_view path, std::string& bytes) {
  return !path.empty() && PathToNative(FString(path), bytes) && !bytes.empty();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A new file beside `target` (".<name>.<random>.part"), made exclusively;
// -1 when none can be made. Its mode follows the umask like any new file.
int CreatePartFile(const std::string& target, std::string& partPath) {
  const std::string folder = FolderOf(target);
  const std::string name = target.substr(target.rfind('/') == std::string::npos ? 0 : target.rfind('/') + 1);
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", random());
    partPath = folder + "/." + name + "." + suffix + ".part";
    const int fd = ::open(partPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

QColor ColourOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// One document drawn into a PDF file; `deliver` takes the finished file
// (rename it into place, or hand it to a printer).
class PdfDocument : public core::IPagedDocument {
public:
  using Delivery = std::function<bool(const std::string& partFile)>;

  static std::unique_ptr<PdfDocument> Open(const std::string& placeBeside, const PrinterCaps& caps,
                                           std::u16string_view title, Delivery deliver) {
    std::unique_ptr<PdfDocument> document(new PdfDocument(caps, std::move(deliver)));
    const int fd = CreatePartFile(placeBeside, document->m_partPath);
    if (fd < 0 || !document->m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
      if (fd >= 0) ::close(fd);
      document->m_partPath.clear();
      return nullptr;
    }
    document->m_writer = std::make_unique<QPdfWriter>(&document->m_file);
    document->m_writer->setTitle(Text(title));
    document->m_writer->setCreator(QStringLiteral("Lumitra4"));
    if (!document->Layout()) return nullptr; // the destructor removes the file
    return document;
  }

  ~PdfDocument() override { Abort(); }

  bool StartPage() override {
    // The painter starts with the first page, so a document without one
    // writes nothing.
    if (!m_painter.isActive()) {
      if (!m_painter.begin(m_writer.get())) return false;
    } else if (!m_writer->newPage()) {
      return false;
    }
    return true;
  }

  bool EndPage() override { return m_painter.isActive(); }

  bool Finish() override {
    if (m_partPath.empty()) return false;
    const bool painted = m_painter.isActive();
    if (painted && !m_painter.end()) return false;
    m_writer.reset();
    const bool written = m_file.flush() && ::fsync(m_file.handle()) == 0;
    m_file.close();
    if (!painted) {
      Abort(); // a document without a page: nothing to deliver, nothing left
      return true;
    }
    if (!written) return false; // Abort (from the caller) removes the file
    const std::string part = std::exchange(m_partPath, std::string());
    const bool delivered = m_deliver(part);
    ::unlink(part.c_str()); // gone already when it was renamed into place
    return delivered;
  }

  void Abort() override {
    if (m_painter.isActive()) m_painter.end();
    m_writer.reset();
    if (m_file.isOpen()) m_file.close();
    if (!m_partPath.empty()) ::unlink(std::exchange(m_partPath, std::string()).c_str());
  }

  SIZE Size() const override { return m_caps.printable; }

  void FillRect(const RECT& rect, COLORREF colour, const Clip& clip) override {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    Scope scope(m_painter, clip);
    m_painter.fillRect(ToQRect(rect), ColourOf(colour));
  }

  // Lines along an axis are filled bands, as GDI sets their pixels (the end
  // point left out, (w-1)/2 pixels before the line); others are stroked.
  void Line(POINT from, POINT to, const core::PenInfo& pen, const Clip& clip) override {
    if (from.x == to.x && from.y == to.y) return;
    Scope scope(m_painter, clip);
    const int w = std::max(pen.width, 1);
    const int before = (w - 1) / 2;
    const QColor colour = ColourOf(pen.colour);
    if ((from.y == to.y || from.x == to.x) && pen.style != PS_DOT) {
      const bool across = from.y == to.y;
      const int a = across ? from.x : from.y;
      const int b = across ? to.x : to.y;
      const int first = a < b ? a : b + 1;
      const int length = a < b ? b - a : a - b;
      m_painter.fillRect(across ? QRect(first, from.y - before, length, w) : QRect(from.x - before, first, w, length),
                         colour);
      return;
    }
    m_painter.setPen(QPen(colour, w, pen.style == PS_DOT ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap));
    m_painter.drawLine(QPointF(from.x + 0.5, from.y + 0.5), QPointF(to.x + 0.5, to.y + 0.5));
  }

  void DrawPixels(const RECT& dest, const PixelView& source, const RECT& srcRect, bool blend,
                  const Clip& clip) override {
    if (!source.bits || source.width <= 0 || source.height <= 0) return;
    const int sx = std::min(srcRect.left, srcRect.right), sw = std::abs(srcRect.right - srcRect.left);
    const int sy = std::min(srcRect.top, srcRect.bottom), sh = std::abs(srcRect.bottom - srcRect.top);
    if (sw == 0 || sh == 0 || dest.right == dest.left || dest.bottom == dest.top) return;
    const QImage image(source.bits, source.width, source.height, static_cast<qsizetype>(source.stride),
                       QtFormat(source.format));
    // The source rectangle in memory rows, and a map that lands it on dest:
    // a negative extent mirrors, a bottom-up picture is turned upright.
    const int memoryTop = source.bottomUp ? source.height - sy - sh : sy;
    const double scaleX = static_cast<double>(dest.right - dest.left) / sw;
    double scaleY = static_cast<double>(dest.bottom - dest.top) / sh;
    double originY = dest.top;
    if (source.bottomUp) {
      scaleY = -scaleY;
      originY = dest.bottom;
    }
    Scope scope(m_painter, clip);
    if (!blend) m_painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter.setTransform(QTransform(scaleX, 0, 0, scaleY, dest.left, originY), true);
    m_painter.drawImage(QPointF(0, 0), image, QRectF(sx, memoryTop, sw, sh));
  }

  bool ReadPixels(const RECT&, core::PixelImage&) override { return false; }

  void DrawText(POINT origin, std::u16string_view text, const LOGFONTW& font, COLORREF colour,
                const Clip& clip) override {
    Scope scope(m_painter, clip);
    m_painter.setFont(FontFor(font));
    m_painter.setPen(ColourOf(colour));
    m_painter.drawText(QPoint(origin.x, origin.y), Text(text));
  }

private:
  // The painter's state for one drawing call: the DC's clip, restored after.
  class Scope {
  public:
    Scope(QPainter& painter, const Clip& clip) : m_painter(painter) {
      m_painter.save();
      if (clip.active) {
        QRegion region;
        for (const RECT& r : clip.rects) {
          if (r.right > r.left && r.bottom > r.top) region += ToQRect(r);
        }
        m_painter.setClipRegion(region);
      }
    }
    ~Scope() { m_painter.restore(); }

  private:
    QPainter& m_painter;
  };

  PdfDocument(const PrinterCaps& caps, Delivery deliver) : m_caps(caps), m_deliver(std::move(deliver)) {}

  // The page in the printer's pixels: paper, margins from the printable
  // area, resolution; the painter's origin is the printable corner.
  bool Layout() {
    const double dpi = m_caps.dpiX;
    if (dpi <= 0 || m_caps.paper.cx <= 0 || m_caps.paper.cy <= 0) return false;
    const QPageSize size(QSizeF(m_caps.paper.cx / dpi, m_caps.paper.cy / dpi), QPageSize::Inch);
    const QMarginsF margins(m_caps.offset.x / dpi, m_caps.offset.y / dpi,
                            (m_caps.paper.cx - m_caps.offset.x - m_caps.printable.cx) / dpi,
                            (m_caps.paper.cy - m_caps.offset.y - m_caps.printable.cy) / dpi);
    m_writer->setResolution(m_caps.dpiX);
    return m_writer->setPageLayout(QPageLayout(size, QPageLayout::Portrait, margins, QPageLayout::Inch));
  }

  const PrinterCaps m_caps;
  Delivery m_deliver;
  QFile m_file;
  std::string m_partPath;
  std::unique_ptr<QPdfWriter> m_writer;
  QPainter m_painter;
};

PdfDocument::Delivery RenameTo(const std::string& target) {
  return [target](const std::string& part) { return ::rename(part.c_str(), target.c_str()) == 0; };
}

std::unique_ptr<core::IPagedDocument> DocumentInto(std::u16string_view file, const PrinterCaps& caps,
                                                   std::u16string_view title) {
  std::string target;
  if (!NativePath(file, target) || !IsFolder(FolderOf(target))) return nullptr;
  return PdfDocument::Open(target, caps, title, RenameTo(target));
}

DEVMODEW DefaultMode(std::u16string_view name, int dpi) {
  DEVMODEW mode;
  core::SetDeviceName(mode, name);
  mode.dmFields = DM_ORIENTATION | DM_COPIES | DM_PRINTQUALITY | DM_YRESOLUTION;
  mode.dmPrintQuality = mode.dmYResolution = static_cast<short>(dpi);
  return mode;
}

class PdfPrinter : public core::IPrinter {
public:
  PdfPrinter(std::u16string name, std::string file, const PrinterCaps& caps)
      : m_name(std::move(name)), m_file(std::move(file)), m_caps(caps) {}
  std::u16string Name() const override { return m_name; }
  bool Available() const override { return IsFolder(FolderOf(m_file)); }
  DEVMODEW Defaults() const override { return DefaultMode(m_name, m_caps.dpiX); }
  PrinterCaps Caps(const DEVMODEW&) const override { return m_caps; }
  std::unique_ptr<core::IPagedDocument> StartDocument(const DEVMODEW& mode, std::u16string_view title,
                                                      std::u16string_view output) override {
    const PrinterCaps caps = core::Oriented(m_caps, mode);
    if (!output.empty()) return DocumentInto(output, caps, title);
    return PdfDocument::Open(m_file, caps, title, RenameTo(m_file));
  }

private:
  std::u16string m_name;
  std::string m_file;
  PrinterCaps m_caps;
};

// The printer into a PDF file that the user chooses for each document.
class FilePrinter : public core::IPrinter {
public:
  std::u16string Name() const override { return kPrintToFilePrinter; }
  bool Available() const override { return true; }
  DEVMODEW Defaults() const override {
    DEVMODEW mode = DefaultMode(Name(), kDpi);
    mode.dmPaperSize = static_cast<short>(LocalePaper().windowsId());
    mode.dmFields |= DM_PAPERSIZE;
    return mode;
  }
  PrinterCaps Caps(const DEVMODEW& mode) const override {
    const QPageSize paper = mode.dmPaperSize > 0 ? QPageSize(QPageSize::id(mode.dmPaperSize)) : LocalePaper();
    const QSize pixels = paper.sizePixels(kDpi);
    PrinterCaps caps;
    caps.dpiX = caps.dpiY = kDpi;
    caps.paper = {pixels.width(), pixels.height()};
    caps.offset = {0, 0};
    caps.printable = caps.paper;
    return caps;
  }
  std::unique_ptr<core::IPagedDocument> StartDocument(const DEVMODEW& mode, std::u16string_view title,
                                                      std::u16string_view output) override {
    const PrinterCaps caps = core::Oriented(Caps(mode), mode);
    if (!output.empty()) return DocumentInto(output, caps, title);
    const std::u16string file = AskForFile(title);
    return file.empty() ? nullptr : DocumentInto(file, caps, title);
  }

private:
  static constexpr int kDpi = 600;

  static QPageSize LocalePaper() {
    return QPageSize(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                         : QPageSize::A4);
  }

  // The save dialog for the document's file, over the active window; the
  // name ends in ".pdf".
  static std::u16string AskForFile(std::u16string_view title) {
    core::IDialogDriver* driver = core::DialogDriver();
    if (!driver || !core::IsGuiThread()) return {};
    core::FileRequest request;
    request.owner = GetActiveWindow();
    request.save = true;
    request.flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    request.title = kPrintToFilePrinter;
    request.filters = {{u"PDF", u"*.pdf"}};
    request.folder = QDir::homePath().toStdU16String();
    request.path = std::u16string(title.empty() ? u"document" : title) + u".pdf";
    if (!driver->ChooseFile(request) || request.path.empty()) return {};
    std::u16string path = request.path;
    if (!QString::fromStdU16String(path).endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += u".pdf";
    return path;
  }
};

// Runs lp with the arguments and waits for it; true when it took the job.
bool HandToSpooler(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  if (::posix_spawnp(&child, "lp", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SystemPrinter : public core::IPrinter {
public:
  explicit SystemPrinter(const QPrinterInfo& info) : m_name(info.printerName()) {}
  std::u16string Name() const override { return m_name.toStdU16String(); }
  bool Available() const override { return !QPrinterInfo::printerInfo(m_name).isNull(); }
  DEVMODEW Defaults() const override {
    QPrinter printer(QPrinterInfo::printerInfo(m_name), QPrinter::HighResolution);
    DEVMODEW mode = DefaultMode(Name(), printer.resolution());
    mode.dmPaperSize = static_cast<short>(printer.pageLayout().pageSize().windowsId());
    mode.dmFields |= DM_PAPERSIZE;
    return mode;
  }
  PrinterCaps Caps(const DEVMODEW& mode) const override {
    QPrinter printer(QPrinterInfo::printerInfo(m_name), QPrinter::HighResolution);
    if (mode.dmPaperSize > 0) printer.setPageSize(QPageSize(QPageSize::id(mode.dmPaperSize)));
    printer.setPageOrientation(QPageLayout::Portrait);
    const int dpi = printer.resolution();
    const QRect paper = printer.pageLayout().fullRectPixels(dpi);
    const QRect printable = printer.pageLayout().paintRectPixels(dpi);
    PrinterCaps caps;
    caps.dpiX = caps.dpiY = dpi;
    caps.paper = {paper.width(), paper.height()};
    caps.offset = {printable.x(), printable.y()};
    caps.printable = {printable.width(), printable.height()};
    return caps;
  }
  std::unique_ptr<core::IPagedDocument> StartDocument(const DEVMODEW& mode, std::u16string_view title,
                                                      std::u16string_view output) override {
    const PrinterCaps caps = core::Oriented(Caps(mode), mode);
    if (!output.empty()) return DocumentInto(output, caps, title); // printing into a file
    const QByteArray spool = QFile::encodeName(QDir::tempPath()) + "/lumitra-print.pdf";
    std::vector<std::string> lp = {"lp", "-s", "-d", m_name.toStdString(), "-n",
                                   std::to_string(std::max<short>(mode.dmCopies, 1)), "-t",
                                   Text(title).toStdString(), "--"};
    return PdfDocument::Open(spool.toStdString(), caps, title, [lp](const std::string& part) mutable {
      lp.push_back(part);
      return HandToSpooler(lp);
    });
  }

private:
  QString m_name;
};

class QtPrinterSystem : public core::IPrinterSystem {
public:
  // CUPS's default printer, else the printer into a file.
  std::shared_ptr<core::IPrinter> DefaultPrinter() override {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return std::make_shared<FilePrinter>();
    return std::make_shared<SystemPrinter>(info);
  }
  std::shared_ptr<core::IPrinter> FindPrinter(std::u16string_view name) override {
    if (name == kPrintToFilePrinter) return std::make_shared<FilePrinter>();
    const QPrinterInfo info = QPrinterInfo::printerInfo(Text(name));
    return info.isNull() ? nullptr : std::make_shared<SystemPrinter>(info);
  }
};

// The system's printers serve from the moment the library is loaded.
[[maybe_unused]] const bool g_systemPrinters = [] {
  static QtPrinterSystem system;
  core::SetPrinterSystem(&system);
  return true;
}();

} // namespace
} // namespace platform::qt

namespace platform {

void UsePdfPrinter(const std::u16string& name, const std::string& outputFile, const PrinterCaps& caps) {
  PrinterCaps square = caps;
  square.dpiY = square.dpiX; // one resolution for both axes, as a PDF page has
  core::SetSubstitutePrinter(std::make_shared<qt::PdfPrinter>(name, outputFile, square));
}

void UseSystemPrinters() { core::SetSubstitutePrinter(nullptr); }

} // namespace platform
