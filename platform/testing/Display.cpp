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

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// The window manager the test runs under (LUMITRA_WINDOW_MANAGER, as CTest's
// second run of the display tests sets it), started once on the test's
// display and ended with the test program. Without one the server has none.
pid_t g_windowManager = 0;

void StopWindowManager() {
  if (g_windowManager <= 0) return;
  ::kill(g_windowManager, SIGTERM);
  int status = 0;
  while (::waitpid(g_windowManager, &status, 0) < 0 && errno == EINTR) {
  }
  g_windowManager = 0;
}

bool WindowManagerRuns() {
  Server& s = TheServer();
  const xcb_atom_t check = Atom("_NET_SUPPORTING_WM_CHECK");
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      s.connection, xcb_get_property(s.connection, 0, s.root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool runs = reply && xcb_get_property_value_length(reply) == 4;
  std::free(reply);
  return runs;
}

// An empty text once the window manager asked for runs, else why not.
std::string StartWindowManager() {
  const char* name = std::getenv("LUMITRA_WINDOW_MANAGER");
  if (!name || !*name || g_windowManager > 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(name), nullptr};
  const int failed = ::posix_spawnp(&g_windowManager, name, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    g_windowManager = 0;
    return std::string("the window manager ") + name + " could not be started (is it installed?)";
  }
  std::atexit(StopWindowManager);
  for (int i = 0; i < 200 && !WindowManagerRuns(); ++i) ::usleep(50000);
  if (!WindowManagerRuns()) return std::string("the window manager ") + name + " did not take the display";
  return {};
}

} // namespace

bool WindowManagerRunning() { return g_windowManager > 0 && WindowManagerRuns(); }

std::string StartOnDisplay(bool needOpenGl) {
  ::setenv("QT_QPA_PLATFORM", "xcb", 0);
  ::setenv("QT_XCB_GL_INTEGRATION", "xcb_glx", 0);
  ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  if (!TheServerIsThere()) return "no X server (DISPLAY unset or unreachable): run under xvfb-run, as CTest does";
  // A test asked to run under a window manager that cannot have one fails
  // rather than passing without it.
  if (const std::string why = StartWindowManager(); !why.empty()) {
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(1);
  }
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

namespace {

std::uint8_t KeyCodeOf(xcb_connection_t* connection, std::uint32_t symbol) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int first = setup->min_keycode;
  const int count = setup->max_keycode - setup->min_keycode + 1;
  xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
      connection,
      xcb_get_keyboard_mapping(connection, static_cast<xcb_keycode_t>(first), static_cast<std::uint8_t>(count)),
      nullptr);
  std::uint8_t code = 0;
  if (mapping) {
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    for (int i = 0; i < count && code == 0; ++i) {
      for (int j = 0; j < perCode; ++j) {
        if (symbols[i * perCode + j] == symbol) code = static_cast<std::uint8_t>(first + i);
      }
    }
  }
  std::free(mapping);
  return code;
}

// The window's ancestor that is a child of the root.
xcb_window_t OutermostOf(xcb_connection_t* connection, xcb_window_t window) {
  for (;;) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    if (!tree) return window;
    const xcb_window_t parent = tree->parent;
    const xcb_window_t root = tree->root;
    std::free(tree);
    if (parent == root || parent == XCB_NONE) return window;
    window = parent;
  }
}

xcb_window_t XWindowOf(HWND top) {
  qt::HostWidget* widget = qt::WidgetOf(top);
  return widget ? static_cast<xcb_window_t>(widget->winId()) : XCB_NONE;
}

} // namespace

void PressKeyOnServer(std::uint32_t symbol) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (!xcb_connection_has_error(connection)) {
    const std::uint8_t code = KeyCodeOf(connection, symbol);
    xcb_test_fake_input(connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(connection, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  }
  xcb_disconnect(connection);
}

int ColoursOnServer(const RECT& r) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  std::vector<std::uint32_t> colours;
  if (!xcb_connection_has_error(connection) && r.right > r.left && r.bottom > r.top) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<std::int16_t>(r.left),
                      static_cast<std::int16_t>(r.top), static_cast<std::uint16_t>(r.right - r.left),
                      static_cast<std::uint16_t>(r.bottom - r.top), ~0u),
        nullptr);
    if (image && image->depth == 24) {
      const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image));
      const int count = xcb_get_image_data_length(image) / 4;
      colours.reserve(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) colours.push_back(pixels[i] & 0xffffffu);
    }
    std::free(image);
  }
  xcb_disconnect(connection);
  std::sort(colours.begin(), colours.end());
  return static_cast<int>(std::unique(colours.begin(), colours.end()) - colours.begin());
}

RECT FrameOnServer(HWND top) {
  Server& s = TheServer();
  const xcb_window_t window = XWindowOf(top);
  if (window == XCB_NONE) return {};
  const xcb_window_t outer = OutermostOf(s.connection, window);
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(s.connection, xcb_get_geometry(s.connection, outer), nullptr);
  if (!geometry) return {};
  const RECT frame{geometry->x, geometry->y, geometry->x + geometry->width + 2 * geometry->border_width,
                   geometry->y + geometry->height + 2 * geometry->border_width};
  std::free(geometry);
  return frame;
}

POINT WidgetOriginOnServer(HWND top) {
  Server& s = TheServer();
  const xcb_window_t window = XWindowOf(top);
  if (window == XCB_NONE) return {};
  xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
      s.connection, xcb_translate_coordinates(s.connection, window, s.root, 0, 0), nullptr);
  const POINT origin = at ? POINT{at->dst_x, at->dst_y} : POINT{};
  std::free(at);
  return origin;
}

void DeleteRootProperty(const char* name) {
  Server& s = TheServer();
  xcb_delete_property(s.connection, s.root, Atom(name));
  s.Sync();
}

} // namespace platform::testing
