#include "platform/testing/Display.h"

#include "platform/qt/QtBackend.h"

#include <QGuiApplication>
#include <QScreen>

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
  PixelImage out;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return out;
  const QImage grab = screen->grabWindow(0, r.left, r.top, r.right - r.left, r.bottom - r.top)
                          .toImage()
                          .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  out.width = grab.width();
  out.height = grab.height();
  out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(grab.constScanLine(y));
    std::copy(row, row + out.width, out.argb.begin() + static_cast<std::ptrdiff_t>(y) * out.width);
  }
  return out;
}

} // namespace platform::testing
