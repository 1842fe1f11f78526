#pragma once
// Icons of the desktop's icon theme by their freedesktop names, for the
// shell's image lists. The back end installs the loader (Qt: QIcon's theme,
// with pictures of the layer's own for the names the shell uses when the
// theme has none); without one there are no icons.

#include "platform/core/Host.h"

#include <string_view>

namespace platform::core {

// Fills out with the icon at size x size (premultiplied ARGB); false when
// there is none.
using ThemeIconLoader = bool (*)(std::string_view name, int size, PixelImage& out);
void SetThemeIconLoader(ThemeIconLoader loader);
bool LoadThemeIcon(std::string_view name, int size, PixelImage& out);

} // namespace platform::core
