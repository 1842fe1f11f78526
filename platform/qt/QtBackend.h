#pragma once
// The Qt 6 back end of the window layer (internal to the library): the host
// of the GUI thread's event loop, one host widget per window presenting its
// retained client surface, raster drawing targets and fonts.

#include "platform/core/Core.h"
#include "platform/core/UiServices.h"

#include <QFont>
#include <QImage>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace platform::qt {

// RECT and QRect meet only here: QRect's right() and bottom() are inclusive.
// Coordinates are kept within +-2^28, far beyond any surface, so that no
// width overflows.
inline int ToQtCoordinate(LONG v) { return std::clamp<LONG>(v, -(1 << 28), 1 << 28); }
inline QRect ToQRect(const RECT& r) {
  const int left = ToQtCoordinate(r.left), top = ToQtCoordinate(r.top);
  return QRect(left, top, ToQtCoordinate(r.right) - left, ToQtCoordinate(r.bottom) - top);
}
inline RECT ToRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

// The Qt font of a LOGFONTW, after the face substitution of Fonts.cpp.
QFont FontFor(const LOGFONTW& font);
QImage::Format QtFormat(core::PixelFormat format);

class HostWidget : public QWidget {
public:
  HostWidget(HWND hwnd, QWidget* parent, Qt::WindowFlags flags);
  HWND Hwnd() const { return m_hwnd; }
  QImage& Surface() { return m_surface; }
  int Border() const { return m_border; }
  void SetBorder(int border) { m_border = border; }
  // The menu bar's band above the client area (top-level windows).
  int MenuHeight() const { return m_menuHeight; }
  void SetMenuHeight(int height) { m_menuHeight = height; }
  // Where the client area starts inside the widget.
  QPoint ClientOffset() const { return QPoint(m_border, m_border + m_menuHeight); }
  void ResizeSurface(QSize client);
  void Detach() { m_hwnd = nullptr; }
  // While the layer places the widget, Qt's move and resize events are its
  // own changes, not the window system's.
  class ApplyingGeometry {
  public:
    explicit ApplyingGeometry(HostWidget& widget) : m_widget(widget) { ++m_widget.m_applyingGeometry; }
    ~ApplyingGeometry() { --m_widget.m_applyingGeometry; }
    ApplyingGeometry(const ApplyingGeometry&) = delete;
    ApplyingGeometry& operator=(const ApplyingGeometry&) = delete;

  private:
    HostWidget& m_widget;
  };
  // Draws the layer's non-client bands around the client area.
  static void DrawBorder(QPainter& painter, const QRect& window, int border);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

private:
  void PostMouse(QMouseEvent* event, UINT message);
  void ReportGeometry();
  HWND m_hwnd;
  int m_border = 0;
  int m_menuHeight = 0;
  int m_applyingGeometry = 0;
  QImage m_surface;
};

// The back end's wake and alarm receiver on the GUI thread.
class Dispatcher : public QObject {
public:
  Dispatcher();
  bool event(QEvent* event) override;
  QTimer alarm;
};

class QtHost : public core::IHost {
public:
  QtHost();
  ~QtHost() override;
  void Wake() override;
  void ProcessEvents() override;
  void WaitForEvents(std::int64_t timeoutMs) override;
  void SetAlarm(std::int64_t dueTick) override;
  std::unique_ptr<core::IWindowHost> CreateWindowHost(HWND hwnd) override;
  std::unique_ptr<core::IDrawTarget> OpenPixels(void* bits, int width, int height, std::ptrdiff_t stride,
                                                core::PixelFormat format, bool bottomUp) override;
  TEXTMETRICW GetTextMetrics(const LOGFONTW& font) override;
  int GetTextWidth(const LOGFONTW& font, std::u16string_view text) override;
  std::u16string GetFontFace(const LOGFONTW& font) override;
  bool LoadResourceImage(UINT type, int id, int cx, int cy, core::PixelImage& out) override;
  SIZE ScreenSize() override;

private:
  Dispatcher* m_dispatcher;
};

// The program closes as its close command does when the session ends
// (SIGTERM, SIGINT, SIGHUP): the first such signal starts closing, a second
// one of the same kind ends the program at once.
void CloseOnEndOfSession();
// The host widget of a window (null for a stale handle or no host).
HostWidget* WidgetOf(HWND hwnd);
// A target drawing into a window's retained surface.
std::unique_ptr<core::IDrawTarget> OpenWindowSurface(HWND hwnd);
// The window's surface composed with its ancestors' under undrawn pixels,
// and (when `descendants`) its visible children's over it: `area` in the
// window's client coordinates. Opaque.
QImage ComposeWindow(HWND hwnd, const QRect& area, bool descendants);
// Qt-event input: where the live pointer and buttons are.
core::IInputSource* LiveInput();
// The virtual-key code of a Qt key (0 when none).
int VirtualKeyOf(int qtKey);
// On X11, makes the screen's published ICC profile the monitor's.
void ReadMonitorProfile();
// A mouse event of a widget inside `hwnd` as the message of the window it
// reaches (the capture window while there is one); false when it reaches
// no window that takes input.
bool PostMouseMessage(HWND hwnd, QMouseEvent* event, UINT message);
UINT MouseMessageOf(QEvent::Type type, Qt::MouseButton button);
// Key states of mouse messages (MK_*).
WPARAM KeyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
// The back end's services of dialogs, controls, menus, clipboard and drags.
core::IUiServices* QtUiServices();
std::unique_ptr<core::ITextEdit> MakeHostedEdit(HWND hwnd, bool multiline, core::ITextEditEvents* events);
// Runs fn, keeping an exception for the layer's loop instead of letting it
// unwind through Qt's dispatch.
template <class F>
void Guarded(F&& fn) {
  try {
    fn();
  } catch (...) {
    core::KeepException(std::current_exception());
  }
}

} // namespace platform::qt
