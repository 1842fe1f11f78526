#include "platform/testing/Display.h"

#include "platform/qt/QtBackend.h"
#include "platform/testing/QtPixels.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QScreen>
#include <QtTest/QTest>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <dlfcn.h>

namespace platform::testing {

void InitOnDisplay() {
  // Mesa unloads its driver when the last context goes; its allocations
  // would then be reported as leaks of an unknown module.
  static void* const driver =
      ::dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
  (void)driver;
  Init();
  core::SetInputSource(nullptr);
}

PixelImage GrabScreen(const RECT& r) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return PixelsOf(screen->grabWindow(0, r.left, r.top, r.right - r.left, r.bottom - r.top).toImage());
}

bool WaitUntilExposed(HWND top) {
  qt::HostWidget* widget = qt::WidgetOf(top);
  if (!widget || !widget->windowHandle()) return false;
  const bool exposed = QTest::qWaitForWindowExposed(widget->windowHandle());
  Pump();
  return exposed;
}

namespace {

// The test's own connection to the X server, and its root window.
struct Server {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  xcb_window_t root = xcb_connection_has_error(connection) ? 0
                                                            : xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  ~Server() { xcb_disconnect(connection); }
  // Waits until the server has done everything asked so far.
  void Sync() { std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); }
};

Server& TheServer() {
  static Server server;
  return server;
}

bool TheServerIsThere() { return xcb_connection_has_error(TheServer().connection) == 0; }

xcb_atom_t Atom(const char* name) {
  Server& s = TheServer();
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      s.connection, xcb_intern_atom(s.connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

} // namespace

std::string StartOnDisplay(bool needOpenGl) {
  ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  ::setenv("QT_XCB_GL_INTEGRATION", "xcb_glx", 0);
  ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  if (!TheServerIsThere()) return "no X server (DISPLAY unset or unreachable): run under xvfb-run, as CTest does";
  InitOnDisplay();
  if (!needOpenGl) return {};
  // Qt's own context, not the layer's: the machine offers OpenGL or not.
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext context;
  if (!context.create() || !context.makeCurrent(&surface)) {
    return "the X server offers no OpenGL (GLX or EGL): Mesa's software driver (libgl1-mesa-dri) is needed";
  }
  context.doneCurrent();
  return {};
}

void MovePointerOnServer(POINT p) {
  Server& s = TheServer();
  xcb_warp_pointer(s.connection, XCB_NONE, s.root, 0, 0, 0, 0, static_cast<std::int16_t>(p.x),
                   static_cast<std::int16_t>(p.y));
  s.Sync();
}

void SetLeftButtonOnServer(bool down) {
  Server& s = TheServer();
  xcb_test_fake_input(s.connection, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0,
                      0, 0);
  s.Sync();
}

void SetRootProperty(const char* name, const std::vector<std::uint8_t>& bytes) {
  Server& s = TheServer();
  xcb_change_property(s.connection, XCB_PROP_MODE_REPLACE, s.root, Atom(name), XCB_ATOM_CARDINAL, 8,
                      static_cast<std::uint32_t>(bytes.size()), bytes.data());
  s.Sync();
}

void DeleteRootProperty(const char* name) {
  Server& s = TheServer();
  xcb_delete_property(s.connection, s.root, Atom(name));
  s.Sync();
}

} // namespace platform::testing
