#include "platform/testing/Headless.h"

#include "platform/testing/CommonDialogs.h"
#include "platform/testing/QtPixels.h"

#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QtTest/QTest>

#include <cstdlib>

namespace platform::testing {
namespace {

struct Headless {
  int argc = 1;
  char name[8] = "tests";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  std::unique_ptr<qt::QtHost> host;
  core::ScriptedInput input;
};

Headless* g_headless = nullptr;

void SetDefault(const char* variable, const std::string& value) {
  if (!std::getenv(variable)) ::setenv(variable, value.c_str(), 1);
}

bool PaintPending(HWND hwnd) {
  core::WindowRecord* r = core::Record(hwnd);
  if (!r || !r->visible) return false;
  if (!r->update.empty()) return true;
  for (HWND child : r->children) {
    if (PaintPending(child)) return true;
  }
  return false;
}

void PaintTree(HWND hwnd) {
  core::WindowRecord* r = core::Record(hwnd);
  if (!r || !r->visible) return;
  if (!r->update.empty()) UpdateWindow(hwnd);
  if ((r = core::Record(hwnd)) == nullptr) return;
  const std::vector<HWND> children = r->children;
  for (HWND child : children) PaintTree(child);
}

POINT ToScreen(HWND hwnd, POINT client) {
  ClientToScreen(hwnd, &client);
  return client;
}

void PostMouse(HWND hwnd, UINT message, POINT client, bool leftDown) {
  InputFrame frame = Input().Current();
  frame.cursor = ToScreen(hwnd, client);
  frame.left = leftDown;
  Input().SetCurrent(frame);
  PostMessageW(hwnd, message, leftDown ? MK_LBUTTON : 0, MAKELPARAM(client.x, client.y));
  Pump();
}

} // namespace

// The scripted modal, menu and drag drivers (Scripts.cpp).
void InstallScripts();

void Init() {
  if (g_headless) {
    InstallScripts(); // a test may have set drivers of its own
    return;
  }
  // Running a test program by hand gets the same setting as under CTest.
  SetDefault("QT_QPA_PLATFORM",
             std::string("offscreen:configfile=") + LUMITRA_SOURCE_DIR + "/tests/support/offscreen.json");
  SetDefault("FONTCONFIG_FILE", std::string(LUMITRA_SOURCE_DIR) + "/tests/support/fonts.conf");
  SetDefault("LC_ALL", "C.UTF-8");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_FONT_DPI");
  g_headless = new Headless; // lives until the process ends, as the application does
  g_headless->app = std::make_unique<QApplication>(g_headless->argc, g_headless->argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // Shell icons are the layer's own, whatever icon theme the machine has.
  QIcon::setThemeSearchPaths({});
  QIcon::setFallbackSearchPaths({});
  g_headless->host = std::make_unique<qt::QtHost>();
  SetResourceFolder(std::string(LUMITRA_BINARY_DIR) + "/resources");
  core::UseVirtualClock(true);
  core::SetInputSource(&g_headless->input);
  InstallScriptedDialogs();
  InstallScripts();
  // The application stays until the process ends: Qt's own statics go
  // before any exit handler could tear it down safely.
}

void Pump() {
  for (int quiet = 0; quiet < 2;) {
    bool busy = core::HasPendingWork();
    for (HWND top : core::TopLevelWindows()) busy = busy || PaintPending(top);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    core::DrainQueues();
    for (HWND top : core::TopLevelWindows()) PaintTree(top);
    // A handler that threw inside Qt's dispatch throws here.
    core::RethrowKeptException();
    quiet = busy ? 0 : quiet + 1;
  }
}

void AdvanceTime(std::int64_t ms) {
  const std::int64_t end = core::Now() + ms;
  for (;;) {
    const std::int64_t due = core::NextTimerDue();
    if (due < 0 || due > end) break;
    core::MoveVirtualClock(std::max<std::int64_t>(0, due - core::Now()));
    Pump();
  }
  core::MoveVirtualClock(end - core::Now());
  Pump();
}

core::ScriptedInput& Input() { return g_headless->input; }
void ScriptInput(std::vector<InputFrame> frames) { Input().Script(std::move(frames)); }

void MouseDown(HWND hwnd, POINT client) { PostMouse(hwnd, WM_LBUTTONDOWN, client, true); }
void MouseUp(HWND hwnd, POINT client) { PostMouse(hwnd, WM_LBUTTONUP, client, false); }
void MouseMove(HWND hwnd, POINT client, bool leftDown) { PostMouse(hwnd, WM_MOUSEMOVE, client, leftDown); }
void Click(HWND hwnd, POINT client) {
  MouseDown(hwnd, client);
  MouseUp(hwnd, client);
}

void SystemMouse(MouseAction action, POINT screen) {
  // The top-level window under the point, or the capture's.
  HWND hwnd = GetCapture();
  if (!hwnd) hwnd = WindowFromPoint(screen);
  while (hwnd && GetParent(hwnd)) hwnd = GetParent(hwnd);
  qt::HostWidget* widget = qt::WidgetOf(hwnd);
  if (!widget || !widget->windowHandle()) return;
  QWindow* window = widget->windowHandle();
  const QPoint local = window->mapFromGlobal(QPoint(screen.x, screen.y));
  switch (action) {
  case MouseAction::Press: QTest::mousePress(window, Qt::LeftButton, {}, local); break;
  case MouseAction::Release: QTest::mouseRelease(window, Qt::LeftButton, {}, local); break;
  case MouseAction::Move: QTest::mouseMove(window, local); break;
  case MouseAction::DoubleClick: QTest::mouseDClick(window, Qt::LeftButton, {}, local); break;
  }
  Pump();
}

void SystemKey(int virtualKey) {
  int key = 0;
  for (int candidate : {int(Qt::Key_Return), int(Qt::Key_Escape), int(Qt::Key_Space), int(Qt::Key_PageUp),
                        int(Qt::Key_PageDown), int(Qt::Key_Left), int(Qt::Key_Right), int(Qt::Key_Up),
                        int(Qt::Key_Down), int(Qt::Key_Delete), int(Qt::Key_Insert), int(Qt::Key_BracketLeft),
                        int(Qt::Key_BracketRight), int(Qt::Key_Tab), int(Qt::Key_A) + (virtualKey - 'A')}) {
    if (qt::VirtualKeyOf(candidate) == virtualKey) key = candidate;
  }
  HWND hwnd = GetFocus();
  if (!hwnd) hwnd = GetActiveWindow();
  while (hwnd && GetParent(hwnd)) hwnd = GetParent(hwnd);
  qt::HostWidget* widget = qt::WidgetOf(hwnd);
  if (!widget || !widget->windowHandle() || key == 0) return;
  QTest::keyPress(widget->windowHandle(), static_cast<Qt::Key>(key));
  QTest::keyRelease(widget->windowHandle(), static_cast<Qt::Key>(key));
  Pump();
}

void SystemWheel(POINT screen, int delta) {
  qt::HostWidget* widget = qt::WidgetOf(WindowFromPoint(screen));
  if (!widget) return;
  const QPointF global(screen.x, screen.y);
  QWheelEvent event(widget->mapFromGlobal(global), global, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(widget, &event);
  Pump();
}

PixelImage PixelsOf(const QImage& image) {
  const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  PixelImage out;
  out.width = pixels.width();
  out.height = pixels.height();
  out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y));
    std::copy(row, row + out.width, out.argb.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
  }
  return out;
}

PixelImage GrabClient(HWND hwnd) {
  RECT client;
  if (!GetClientRect(hwnd, &client)) return {};
  return PixelsOf(qt::ComposeWindow(hwnd, qt::ToQRect(client), true));
}

COLORREF PixelAt(const PixelImage& image, int x, int y) {
  if (x < 0 || y < 0 || x >= image.width || y >= image.height) return CLR_INVALID;
  const std::uint32_t p = image.argb[static_cast<std::size_t>(y) * image.width + x];
  return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

std::string OutputFolder() {
  const std::string folder = std::string(LUMITRA_BINARY_DIR) + "/test-output";
  QDir().mkpath(QString::fromStdString(folder));
  return folder;
}

std::string SavePng(const PixelImage& image, const std::string& name) {
  const std::string path = OutputFolder() + "/" + name;
  const QImage view(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                    static_cast<qsizetype>(image.width) * 4, QImage::Format_ARGB32_Premultiplied);
  view.save(QString::fromStdString(path), "PNG");
  return path;
}

ScreenSetting Screen() {
  ScreenSetting s;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    s.width = screen->geometry().width();
    s.height = screen->geometry().height();
    s.logicalDpi = screen->logicalDotsPerInchY();
    s.devicePixelRatio = screen->devicePixelRatio();
  }
  return s;
}

std::string ResolvedFamily(const LOGFONTW& font) { return QFontInfo(qt::FontFor(font)).family().toStdString(); }

bool CursorVisible(HWND hwnd) {
  qt::HostWidget* widget = qt::WidgetOf(hwnd);
  return widget && widget->cursor().shape() != Qt::BlankCursor;
}

int ShownStandardCursor(HWND hwnd) {
  qt::HostWidget* widget = qt::WidgetOf(hwnd);
  if (!widget) return 0;
  switch (widget->cursor().shape()) {
  case Qt::ArrowCursor: return 32512;
  case Qt::IBeamCursor: return 32513;
  case Qt::WaitCursor: return 32514;
  case Qt::CrossCursor: return 32515;
  case Qt::SizeFDiagCursor: return 32642;
  case Qt::SizeBDiagCursor: return 32643;
  case Qt::SizeHorCursor: return 32644;
  case Qt::SizeVerCursor: return 32645;
  case Qt::SizeAllCursor: return 32646;
  case Qt::ForbiddenCursor: return 32648;
  case Qt::PointingHandCursor: return 32649;
  default: return 0;
  }
}

} // namespace platform::testing
