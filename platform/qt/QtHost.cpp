// The GUI thread's event source on Qt: the layer's queues are served by a
// wake event (posted when the wake flag goes up) and an alarm timer for due
// window timers; Qt supplies input, paints and the nested loops of its own
// dialogs, inside which the wake event keeps draining the layer's queues.

#include "platform/qt/QtBackend.h"
#include "platform/qt/X11.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QSocketNotifier>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform::qt {
namespace {

const QEvent::Type WakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x4C55);

// The pointer and buttons as the last Qt input left them. (Polling loops that
// run without a message loop need the X server's own state: the X11 source
// replaces this one there.)
class QtInput : public core::IInputSource {
public:
  POINT CursorPos() override {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
  }
  void SetCursorPos(POINT screen) override { QCursor::setPos(screen.x, screen.y); }
  bool ButtonDown(int vk, bool) override {
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (vk == VK_LBUTTON) return buttons & Qt::LeftButton;
    if (vk == VK_RBUTTON) return buttons & Qt::RightButton;
    if (vk == VK_MBUTTON) return buttons & Qt::MiddleButton;
    return false;
  }
  bool KeyDown(int vk) override {
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    if (vk == VK_CONTROL) return m & Qt::ControlModifier;
    if (vk == VK_SHIFT) return m & Qt::ShiftModifier;
    if (vk == VK_MENU) return m & Qt::AltModifier;
    return false;
  }
};

} // namespace

core::IInputSource* LiveInput() {
  static QtInput input;
  return &input;
}

Dispatcher::Dispatcher() {
  alarm.setSingleShot(true);
  alarm.setTimerType(Qt::PreciseTimer);
  QObject::connect(&alarm, &QTimer::timeout, this, [] { Guarded(core::DrainQueues); });
}

bool Dispatcher::event(QEvent* event) {
  if (event->type() == WakeEvent) {
    Guarded(core::DrainQueues);
    return true;
  }
  return QObject::event(event);
}

QtHost::QtHost() : m_dispatcher(new Dispatcher) {
  core::IInputSource* x11 = X11Input();
  core::SetLiveInputSource(x11 ? x11 : LiveInput());
  ReadMonitorProfile();
  core::StartGuiThread(this);
  core::SetUiServices(QtUiServices());
}

QtHost::~QtHost() {
  core::DestroyAllWindows();
  core::SetUiServices(nullptr);
  core::StopGuiThread();
  core::SetLiveInputSource(nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  delete m_dispatcher;
}

// Any thread: postEvent is thread-safe, and the core posts at most one wake
// at a time.
void QtHost::Wake() { QCoreApplication::postEvent(m_dispatcher, new QEvent(WakeEvent)); }

void QtHost::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtHost::WaitForEvents(std::int64_t timeoutMs) {
  QTimer limit;
  if (timeoutMs >= 0) {
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    limit.start(static_cast<int>(std::min<std::int64_t>(timeoutMs, 1 << 30)));
  }
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtHost::SetAlarm(std::int64_t dueTick) {
  if (dueTick < 0) {
    m_dispatcher->alarm.stop();
    return;
  }
  const std::int64_t wait = std::max<std::int64_t>(0, dueTick - core::Now());
  m_dispatcher->alarm.start(static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)));
}

bool QtHost::LoadResourceImage(UINT type, int id, int cx, int cy, core::PixelImage& out) {
  const char* kind = type == IMAGE_BITMAP ? "bitmaps" : type == IMAGE_CURSOR ? "cursors" : "icons";
  const QString path = QString::fromStdString(ResourceFolder()) + QStringLiteral("/%1/%2.png").arg(kind).arg(id);
  QImage image(path);
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  if ((cx > 0 && cx != image.width()) || (cy > 0 && cy != image.height())) {
    image = image.scaled(cx > 0 ? cx : image.width(), cy > 0 ? cy : image.height(), Qt::IgnoreAspectRatio,
                         Qt::SmoothTransformation);
  }
  out.width = image.width();
  out.height = image.height();
  out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    std::memcpy(&out.argb[static_cast<std::size_t>(y) * out.width], image.constScanLine(y),
                static_cast<std::size_t>(out.width) * 4);
  }
  return true;
}

SIZE QtHost::ScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {1920, 1080};
  return {screen->geometry().width(), screen->geometry().height()};
}

namespace {

int g_endOfSession[2] = {-1, -1};

extern "C" void OnEndOfSession(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_endOfSession[1], &byte, 1);
  errno = saved;
}

// One step of closing as the session ends: Qt's own dialogs (files, printer
// set-up) are cancelled first, then the layer's; false once all is done.
bool EndSessionStep() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    return true;
  }
  bool more = false;
  Guarded([&] { more = core::ContinueEndingSession(); });
  return more;
}

} // namespace

void CloseOnEndOfSession() {
  if (::pipe2(g_endOfSession, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(g_endOfSession[0], QSocketNotifier::Read, qApp);
  auto* steps = new QTimer(qApp);
  steps->setInterval(200);
  QObject::connect(steps, &QTimer::timeout, steps, [steps] {
    if (!EndSessionStep()) steps->stop();
  });
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, steps] {
    char bytes[16];
    while (::read(g_endOfSession[0], bytes, sizeof bytes) > 0) {
    }
    notifier->setEnabled(false);
    if (EndSessionStep()) steps->start();
  });
  // A second signal of a kind ends the program at once, as if there were no
  // handler (the next start removes what it left in the temporary folder).
  struct sigaction action {};
  action.sa_handler = OnEndOfSession;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

} // namespace platform::qt

// Device pixels everywhere: ratio 1 at 96 dpi, whatever the environment asks.
int AfxWinMain(int argc, char** argv) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  qunsetenv("QT_SCREEN_SCALE_FACTORS");
  qunsetenv("QT_FONT_DPI");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  platform::qt::QtHost host;
  platform::qt::CloseOnEndOfSession();
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  int code = 0;
  if (app->InitInstance()) {
    code = app->Run();
  } else {
    code = app->ExitInstance();
  }
  return code;
}
