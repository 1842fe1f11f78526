// The monitor's colour profile on X11: colour-managed desktops publish the
// screen's ICC profile in the root window's _ICC_PROFILE property. Its bytes
// are kept in a temporary file for the life of the process, since the layer
// opens profiles by path; without the property (or off X11, as in the
// headless tests) the monitor stays sRGB.

#include "platform/qt/QtBackend.h"
#include "platform/win/WinIcm.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryFile>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::qt {
namespace {

// Profiles larger than this are not monitor profiles.
constexpr std::uint32_t kMaxProfileBytes = 16u << 20;

QByteArray RootIccProfile(xcb_connection_t* connection) {
  const char name[] = "_ICC_PROFILE";
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
      xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof(name) - 1, name), nullptr),
      &std::free);
  if (!atom || atom->atom == XCB_ATOM_NONE) return {};
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  if (!screen) return {};
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> property(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 0, screen->root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                              kMaxProfileBytes / 4),
                             nullptr),
      &std::free);
  if (!property || property->format != 8 || property->bytes_after != 0) return {};
  const int length = xcb_get_property_value_length(property.get());
  if (length <= 0) return {};
  return QByteArray(static_cast<const char*>(xcb_get_property_value(property.get())), length);
}

} // namespace

void ReadMonitorProfile() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return;
  const QByteArray profile = RootIccProfile(x11->connection());
  if (profile.isEmpty()) return;
  static std::unique_ptr<QTemporaryFile> file;
  auto written = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/lumitra-monitor-XXXXXX.icc"));
  if (!written->open() || written->write(profile) != profile.size() || !written->flush()) return;
  file = std::move(written);
  const QString path = file->fileName();
  SetMonitorProfile(std::u16string(reinterpret_cast<const char16_t*>(path.utf16()),
                                   static_cast<std::size_t>(path.size())));
}

} // namespace platform::qt
