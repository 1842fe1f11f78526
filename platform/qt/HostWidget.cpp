// One host widget per window: Qt gives hit testing, stacking and
// presentation; the layer keeps the window's state. Painting only presents
// the retained surface, after serving a pending WM_PAINT. Qt input becomes
// messages posted to the layer's queue in client coordinates (to the capture
// window while there is one); keys and the wheel go to the focus window.

#include "platform/qt/QtBackend.h"

#include "platform/core/Gdi.h"
#include "platform/qt/X11.h"

#include <QCloseEvent>
#include <QCursor>
#include <QPixmap>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <optional>

namespace platform::qt {

WPARAM KeyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  WPARAM mk = 0;
  if (buttons & Qt::LeftButton) mk |= MK_LBUTTON;
  if (buttons & Qt::RightButton) mk |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) mk |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) mk |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) mk |= MK_CONTROL;
  return mk;
}

namespace {

UINT ButtonMessage(Qt::MouseButton button, UINT left, UINT right, UINT middle) {
  switch (button) {
  case Qt::LeftButton: return left;
  case Qt::RightButton: return right;
  case Qt::MiddleButton: return middle;
  default: return 0;
  }
}

// Input reaches a window only when it and every ancestor are enabled.
bool AcceptsInput(HWND hwnd) {
  for (HWND h = hwnd; h; h = GetParent(h)) {
    if (!IsWindowEnabled(h)) return false;
  }
  return IsWindow(hwnd) != FALSE;
}

HWND TopOf(HWND hwnd) {
  while (HWND parent = GetParent(hwnd)) hwnd = parent;
  return hwnd;
}

// The window system's standard cursors as Qt's shapes.
Qt::CursorShape StandardShape(int id) {
  switch (id) {
  case 32513: return Qt::IBeamCursor;
  case 32514: return Qt::WaitCursor;
  case 32515: return Qt::CrossCursor;
  case 32516: return Qt::UpArrowCursor;
  case 32642: return Qt::SizeFDiagCursor;
  case 32643: return Qt::SizeBDiagCursor;
  case 32644: return Qt::SizeHorCursor;
  case 32645: return Qt::SizeVerCursor;
  case 32646: return Qt::SizeAllCursor;
  case 32648: return Qt::ForbiddenCursor;
  case 32649: return Qt::PointingHandCursor;
  case 32650: return Qt::BusyCursor;
  default: return Qt::ArrowCursor;
  }
}

// The frame widths the window manager gave the windows with a caption so
// far: new ones get the same.
std::optional<RECT>& KnownFrame() {
  static std::optional<RECT> frame;
  return frame;
}

class WindowHost : public core::IWindowHost {
public:
  explicit WindowHost(HostWidget* widget) : m_widget(widget) {}
  ~WindowHost() override {
    if (m_widget) {
      m_widget->Detach();
      m_widget->hide();
      m_widget->deleteLater(); // it may be inside one of its own event handlers
    }
  }
  void SetGeometry(const RECT& rect, const RECT& frame, int border) override {
    if (!m_widget) return;
    QRect r = ToQRect(rect);
    if (HostWidget* parent = dynamic_cast<HostWidget*>(m_widget->parentWidget())) {
      r.translate(parent->ClientOffset());
    }
    // The widget is what lies inside the window system's frame.
    const QRect inner = r.adjusted(frame.left, frame.top, -frame.right, -frame.bottom);
    m_widget->SetBorder(border);
    m_widget->ResizeSurface(QSize(std::max(0, inner.width() - 2 * border),
                                  std::max(0, inner.height() - 2 * border - m_widget->MenuHeight())));
    // The frame's widths are known (or empty until the window manager framed
    // the window): the widget goes inside, so the frame lands on the rectangle.
    const HostWidget::ApplyingGeometry applying(*m_widget);
    m_widget->setGeometry(inner);
  }
  RECT ExpectedFrame() override {
    if (!m_widget || !m_widget->isWindow() || QGuiApplication::platformName() != QLatin1String("xcb")) return {};
    if (const std::optional<RECT> known = KnownFrame()) return *known;
    const std::optional<RECT> asked = FrameExtentsFromX11(m_widget->winId());
    if (asked) KnownFrame() = asked;
    return asked.value_or(RECT{});
  }
  void Activate() override {
    // The offscreen platform activates at once, inside this call; the layer
    // has made the window active already.
    if (!m_widget || !m_widget->isWindow() || QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    m_widget->activateWindow();
  }
  void SetVisible(bool visible) override {
    if (m_widget) m_widget->setVisible(visible);
  }
  void SetEnabled(bool enabled) override {
    if (m_widget) m_widget->setEnabled(enabled);
  }
  void Restack(IWindowHost* above) override {
    // Top-level stacking lives in the layer; the offscreen platform has none.
    if (!m_widget || (m_widget->isWindow() && QGuiApplication::platformName() == QLatin1String("offscreen"))) return;
    auto* other = static_cast<WindowHost*>(above);
    if (other && other->m_widget) {
      m_widget->stackUnder(other->m_widget);
    } else {
      m_widget->raise();
    }
  }
  void SchedulePresent(const RECT& client) override {
    if (m_widget) m_widget->update(ToQRect(client).translated(m_widget->ClientOffset()));
  }
  void PresentNow(const RECT& client) override {
    if (!m_widget) return;
    const QRect r = ToQRect(client).translated(m_widget->ClientOffset());
    // Qt paints nothing inside a paint; that presentation then comes later.
    if (core::PaintDepth() > 0) {
      m_widget->update(r);
    } else {
      m_widget->repaint(r);
    }
  }
  void SetMouseGrab(bool grab) override {
    // The layer routes every mouse event to the capture window itself; the
    // grab makes the window system deliver moves outside our windows (the
    // offscreen platform has no pointer of its own to grab).
    if (!m_widget || QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    if (grab) {
      m_widget->grabMouse();
    } else {
      m_widget->releaseMouse();
    }
  }
  void SetKeyboardFocus() override {
    if (m_widget) m_widget->setFocus(Qt::OtherFocusReason);
  }
  void SetCursorShape(HCURSOR cursor) override {
    if (!m_widget) return;
    int standard = 0;
    core::PixelImage image;
    POINT hotspot{};
    if (!cursor) {
      m_widget->setCursor(Qt::BlankCursor);
    } else if (!core::CursorShapeOf(cursor, standard, image, hotspot)) {
      m_widget->setCursor(Qt::ArrowCursor);
    } else if (standard != 0) {
      m_widget->setCursor(StandardShape(standard));
    } else {
      const QImage picture(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                           QImage::Format_ARGB32_Premultiplied);
      m_widget->setCursor(QCursor(QPixmap::fromImage(picture.copy()), hotspot.x, hotspot.y));
    }
  }
  std::unique_ptr<core::IDrawTarget> OpenSurface() override {
    return m_widget ? OpenWindowSurface(m_widget->Hwnd()) : nullptr;
  }
  HostWidget* Widget() const { return m_widget; }

private:
  QPointer<HostWidget> m_widget;
};

Qt::WindowFlags FlagsFor(DWORD style, DWORD exStyle) {
  if (style & WS_CHILD) return Qt::Widget;
  Qt::WindowFlags flags = (style & WS_CAPTION) == WS_CAPTION ? Qt::Window : (Qt::Tool | Qt::FramelessWindowHint);
  if (exStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
  return flags;
}

} // namespace

HostWidget* WidgetOf(HWND hwnd) {
  core::WindowRecord* record = core::Record(hwnd);
  if (!record || !record->host) return nullptr;
  return static_cast<WindowHost*>(record->host.get())->Widget();
}

std::unique_ptr<core::IWindowHost> QtHost::CreateWindowHost(HWND hwnd) {
  core::WindowRecord* record = core::Record(hwnd);
  if (!record) return nullptr;
  QWidget* parent = record->parent ? WidgetOf(record->parent) : nullptr;
  auto* widget = new HostWidget(hwnd, parent, FlagsFor(record->style, record->exStyle));
  return std::make_unique<WindowHost>(widget);
}

HostWidget::HostWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), m_hwnd(hwnd) {
  setMouseTracking(true); // moves without a button are messages too
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_NoSystemBackground); // undrawn surface pixels show the parent
  setAutoFillBackground(false);
  hide();
}

void HostWidget::ResizeSurface(QSize client) {
  if (client == m_surface.size()) return;
  QImage next(client, QImage::Format_ARGB32_Premultiplied);
  next.fill(Qt::transparent);
  if (!m_surface.isNull()) {
    QPainter p(&next);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_surface);
  }
  m_surface = std::move(next);
}

void HostWidget::DrawBorder(QPainter& painter, const QRect& window, int border) {
  // WS_BORDER: one black pixel; WS_EX_CLIENTEDGE: a sunken two-pixel edge.
  QRect r = window;
  for (int i = 0; i < border; ++i) {
    const int fromClient = border - 1 - i;
    const QColor outer = fromClient >= 2 || border == 1 ? Qt::black : (fromClient == 1 ? QColor(160, 160, 160) : QColor(105, 105, 105));
    const QColor inner = fromClient >= 2 || border == 1 ? Qt::black : (fromClient == 1 ? Qt::white : QColor(227, 227, 227));
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), outer);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), outer);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), inner);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), inner);
    r.adjust(1, 1, -1, -1);
  }
}

void HostWidget::paintEvent(QPaintEvent* event) {
  if (m_hwnd) core::PaintIfNeeded(m_hwnd);
  QPainter p(this);
  if (m_border > 0) DrawBorder(p, rect(), m_border);
  const QRect client = event->rect().translated(-ClientOffset()) & m_surface.rect();
  if (!client.isEmpty()) p.drawImage(client.topLeft() + ClientOffset(), m_surface, client);
}

void HostWidget::PostMouse(QMouseEvent* event, UINT message) {
  if (m_hwnd) PostMouseMessage(m_hwnd, event, message);
}

bool PostMouseMessage(HWND hwnd, QMouseEvent* event, UINT message) {
  if (!hwnd || message == 0) return false;
  const QPoint global = event->globalPosition().toPoint();
  HWND target = GetCapture();
  if (!target) target = hwnd;
  if (!AcceptsInput(target)) return false;
  POINT client{global.x(), global.y()};
  ScreenToClient(target, &client);
  if (message == WM_MOUSEMOVE && !GetCapture()) {
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
    SetActiveWindow(TopOf(target));
  }
  PostMessageW(target, message, KeyStateOf(event->buttons(), event->modifiers()), MAKELPARAM(client.x, client.y));
  return true;
}

UINT MouseMessageOf(QEvent::Type type, Qt::MouseButton button) {
  switch (type) {
  case QEvent::MouseButtonPress: return ButtonMessage(button, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN);
  case QEvent::MouseButtonRelease: return ButtonMessage(button, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP);
  case QEvent::MouseButtonDblClick: return ButtonMessage(button, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK);
  case QEvent::MouseMove: return WM_MOUSEMOVE;
  default: return 0;
  }
}

void HostWidget::mousePressEvent(QMouseEvent* event) {
  PostMouse(event, MouseMessageOf(event->type(), event->button()));
}
void HostWidget::mouseReleaseEvent(QMouseEvent* event) {
  PostMouse(event, MouseMessageOf(event->type(), event->button()));
}
// Every window of the framework takes double clicks.
void HostWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  PostMouse(event, MouseMessageOf(event->type(), event->button()));
}
void HostWidget::mouseMoveEvent(QMouseEvent* event) { PostMouse(event, WM_MOUSEMOVE); }

void HostWidget::wheelEvent(QWheelEvent* event) {
  HWND target = GetFocus();
  if (!target) target = m_hwnd;
  if (!target || !AcceptsInput(target)) return;
  const QPoint global = event->globalPosition().toPoint();
  const int delta = event->angleDelta().y();
  PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(KeyStateOf(event->buttons(), event->modifiers()), delta),
               MAKELPARAM(global.x(), global.y()));
}

void HostWidget::keyPressEvent(QKeyEvent* event) {
  HWND target = GetFocus();
  if (!target) target = m_hwnd;
  const int vk = VirtualKeyOf(event->key());
  if (!target || vk == 0 || !AcceptsInput(target)) return;
  const bool alt = event->modifiers() & Qt::AltModifier;
  const LPARAM flags = 1 | (event->isAutoRepeat() ? (1 << 30) : 0);
  PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(vk), flags);
}

void HostWidget::keyReleaseEvent(QKeyEvent* event) {
  HWND target = GetFocus();
  if (!target) target = m_hwnd;
  const int vk = VirtualKeyOf(event->key());
  if (!target || vk == 0 || event->isAutoRepeat() || !AcceptsInput(target)) return;
  const bool alt = event->modifiers() & Qt::AltModifier;
  PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(vk), LPARAM{1} | (LPARAM{3} << 30));
}

// Closing is the window's decision: it gets WM_CLOSE.
void HostWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (m_hwnd) PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
}

void HostWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && m_hwnd && isWindow() && isActiveWindow()) {
    Guarded([&] { core::UserActivated(m_hwnd); });
  }
  // Minimised, maximised or restored by the window system: the window's
  // WM_SYSCOMMAND decides.
  if (event->type() == QEvent::WindowStateChange && m_hwnd && isWindow()) {
    const int state = isMinimized() ? SW_SHOWMINIMIZED : isMaximized() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    Guarded([&] { core::UserShowState(m_hwnd, state); });
  }
  QWidget::changeEvent(event);
}

// A top-level window moved, resized or framed by the window system (the
// layer's own changes find the rectangle they set). The layer's rectangle
// is the frame's.
void HostWidget::ReportGeometry() {
  if (!m_hwnd || !isWindow() || !isVisible() || m_applyingGeometry > 0) return;
  const QRect inner = geometry();
  const QRect outer = frameGeometry();
  const RECT frame{inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                   outer.bottom() - inner.bottom()};
  if (frame.left < 0 || frame.top < 0 || frame.right < 0 || frame.bottom < 0) return;
  const bool framed = frame.left > 0 || frame.top > 0 || frame.right > 0 || frame.bottom > 0;
  if (framed && !(windowFlags() & Qt::FramelessWindowHint)) KnownFrame() = frame;
  Guarded([&] {
    // A new frame keeps the window's rectangle: the size Qt reports with it
    // is still the old client area's.
    if (!core::UserFrameChanged(m_hwnd, frame)) core::UserResized(m_hwnd, ToRect(outer));
  });
}

void HostWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ReportGeometry();
}

void HostWidget::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ReportGeometry();
}

int VirtualKeyOf(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
  case Qt::Key_Backspace: return VK_BACK;
  case Qt::Key_Tab: return VK_TAB;
  case Qt::Key_Return:
  case Qt::Key_Enter: return VK_RETURN;
  case Qt::Key_Shift: return VK_SHIFT;
  case Qt::Key_Control: return VK_CONTROL;
  case Qt::Key_Alt: return VK_MENU;
  case Qt::Key_Escape: return VK_ESCAPE;
  case Qt::Key_Space: return VK_SPACE;
  case Qt::Key_PageUp: return VK_PRIOR;
  case Qt::Key_PageDown: return VK_NEXT;
  case Qt::Key_End: return VK_END;
  case Qt::Key_Home: return VK_HOME;
  case Qt::Key_Left: return VK_LEFT;
  case Qt::Key_Up: return VK_UP;
  case Qt::Key_Right: return VK_RIGHT;
  case Qt::Key_Down: return VK_DOWN;
  case Qt::Key_Insert: return VK_INSERT;
  case Qt::Key_Delete: return VK_DELETE;
  case Qt::Key_BracketLeft: return VK_OEM_4;
  case Qt::Key_BracketRight: return VK_OEM_6;
  default: return 0;
  }
}

} // namespace platform::qt
