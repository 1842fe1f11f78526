// The X11 input source and the monitor profile, on Qt's own connection to
// the X server (xcb is thread-safe, so any thread may ask).

#include "platform/qt/X11.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform::qt {
namespace {

constexpr std::uint32_t kMaxProfileBytes = 64u << 20;

xcb_connection_t* Connection() {
  if (!qApp || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootOf(xcb_connection_t* connection) {
  return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

xcb_atom_t AtomOf(xcb_connection_t* connection, const char* name, bool onlyIfExists) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, onlyIfExists ? 1 : 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// Up to `count` 32-bit values of a property.
std::vector<std::uint32_t> Words(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                 xcb_atom_t type, std::uint32_t count) {
  std::vector<std::uint32_t> words;
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, count), nullptr);
  if (reply && reply->format == 32) {
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    words.assign(values, values + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return words;
}

// A window manager runs (its check window names itself) and announces the
// hint among those it supports.
bool WindowManagerSupports(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t hint) {
  const xcb_atom_t check = AtomOf(connection, "_NET_SUPPORTING_WM_CHECK", true);
  const xcb_atom_t supported = AtomOf(connection, "_NET_SUPPORTED", true);
  if (check == XCB_ATOM_NONE || supported == XCB_ATOM_NONE || hint == XCB_ATOM_NONE) return false;
  const std::vector<std::uint32_t> manager = Words(connection, root, check, XCB_ATOM_WINDOW, 1);
  if (manager.size() != 1 || Words(connection, manager[0], check, XCB_ATOM_WINDOW, 1) != manager) return false;
  const std::vector<std::uint32_t> hints = Words(connection, root, supported, XCB_ATOM_ATOM, 4096);
  return std::find(hints.begin(), hints.end(), hint) != hints.end();
}

struct Pointer {
  bool valid = false;
  POINT position;
  std::uint16_t mask = 0; // buttons and modifiers
};

class X11InputSource : public core::IInputSource {
public:
  explicit X11InputSource(xcb_connection_t* connection) : m_connection(connection), m_root(RootOf(connection)) {}

  POINT CursorPos() override { return Query().position; }
  void SetCursorPos(POINT screen) override {
    xcb_warp_pointer(m_connection, XCB_NONE, m_root, 0, 0, 0, 0, static_cast<std::int16_t>(screen.x),
                     static_cast<std::int16_t>(screen.y));
    xcb_flush(m_connection);
  }
  bool ButtonDown(int vk, bool) override {
    const std::uint16_t mask = Query().mask;
    switch (vk) {
    case VK_LBUTTON: return mask & XCB_KEY_BUT_MASK_BUTTON_1;
    case VK_MBUTTON: return mask & XCB_KEY_BUT_MASK_BUTTON_2;
    case VK_RBUTTON: return mask & XCB_KEY_BUT_MASK_BUTTON_3;
    default: return false;
    }
  }
  bool KeyDown(int vk) override {
    const std::uint16_t mask = Query().mask;
    switch (vk) {
    case VK_SHIFT: return mask & XCB_KEY_BUT_MASK_SHIFT;
    case VK_CONTROL: return mask & XCB_KEY_BUT_MASK_CONTROL;
    case VK_MENU: return mask & XCB_KEY_BUT_MASK_MOD_1;
    default: return false;
    }
  }

private:
  Pointer Query() {
    Pointer p;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
    if (!reply) return p;
    p.valid = true;
    p.position = {reply->root_x, reply->root_y};
    p.mask = reply->mask;
    std::free(reply);
    return p;
  }

  xcb_connection_t* m_connection;
  xcb_window_t m_root;
};

} // namespace

core::IInputSource* X11Input() {
  static xcb_connection_t* const connection = Connection();
  if (!connection) return nullptr;
  static X11InputSource source(connection);
  return &source;
}

std::optional<std::vector<std::uint8_t>> MonitorProfileFromX11() {
  xcb_connection_t* connection = Connection();
  if (!connection) return std::nullopt;
  const char name[] = "_ICC_PROFILE";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
  const xcb_atom_t property = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);
  if (property == XCB_ATOM_NONE) return std::nullopt;
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      connection,
      xcb_get_property(connection, 0, RootOf(connection), property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxProfileBytes / 4),
      nullptr);
  if (!reply) return std::nullopt;
  std::optional<std::vector<std::uint8_t>> profile;
  const int length = xcb_get_property_value_length(reply);
  if (reply->format == 8 && reply->bytes_after == 0 && length > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(xcb_get_property_value(reply));
    profile.emplace(bytes, bytes + length);
  }
  std::free(reply);
  return profile;
}

std::optional<RECT> FrameExtentsFromX11(std::uintptr_t windowId) {
  xcb_connection_t* connection = Connection();
  const auto window = static_cast<xcb_window_t>(windowId);
  if (!connection || window == XCB_NONE) return std::nullopt;
  const xcb_window_t root = RootOf(connection);
  const xcb_atom_t request = AtomOf(connection, "_NET_REQUEST_FRAME_EXTENTS", true);
  if (!WindowManagerSupports(connection, root, request)) return std::nullopt;
  const xcb_atom_t extents = AtomOf(connection, "_NET_FRAME_EXTENTS", false);
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = request;
  xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  do {
    const std::vector<std::uint32_t> widths = Words(connection, window, extents, XCB_ATOM_CARDINAL, 4);
    if (widths.size() == 4 && std::all_of(widths.begin(), widths.end(), [](std::uint32_t w) { return w < 4096; })) {
      return RECT{static_cast<LONG>(widths[0]), static_cast<LONG>(widths[2]), static_cast<LONG>(widths[1]),
                  static_cast<LONG>(widths[3])};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

} // namespace platform::qt
