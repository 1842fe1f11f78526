// The X11 input source and the monitor profile, on Qt's own connection to
// the X server (xcb is thread-safe, so any thread may ask).

#include "platform/qt/X11.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

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

} // namespace platform::qt
