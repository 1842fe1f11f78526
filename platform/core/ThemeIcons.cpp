#include "platform/core/ThemeIcons.h"

#include <atomic>

namespace platform::core {
namespace {
std::atomic<ThemeIconLoader> g_loader{nullptr};
}

void SetThemeIconLoader(ThemeIconLoader loader) { g_loader = loader; }

bool LoadThemeIcon(std::string_view name, int size, PixelImage& out) {
  const ThemeIconLoader loader = g_loader;
  return loader && size > 0 && loader(name, size, out);
}

} // namespace platform::core
