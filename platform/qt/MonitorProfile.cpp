// The monitor's colour profile on X11: colour-managed desktops publish the
// screen's ICC profile in the root window's _ICC_PROFILE property. Its bytes
// are kept in a temporary file for the life of the process, since the layer
// opens profiles by path; without the property (or off X11, as in the
// headless tests) the monitor stays sRGB.

#include "platform/qt/QtBackend.h"
#include "platform/qt/X11.h"
#include "platform/win/WinIcm.h"

#include <QDir>
#include <QTemporaryFile>

#include <memory>

namespace platform::qt {

void ReadMonitorProfile() {
  const std::optional<std::vector<std::uint8_t>> profile = MonitorProfileFromX11();
  if (!profile) return;
  const auto size = static_cast<qint64>(profile->size());
  static std::unique_ptr<QTemporaryFile> file;
  auto written = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/lumitra-monitor-XXXXXX.icc"));
  if (!written->open() || written->write(reinterpret_cast<const char*>(profile->data()), size) != size ||
      !written->flush())
    return;
  file = std::move(written);
  const QString path = file->fileName();
  SetMonitorProfile(std::u16string(reinterpret_cast<const char16_t*>(path.utf16()),
                                   static_cast<std::size_t>(path.size())));
}

} // namespace platform::qt
