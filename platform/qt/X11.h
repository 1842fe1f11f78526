#pragma once
// What the layer asks of the X server itself, when Qt runs on X11 (the xcb
// platform): the pointer and button state, and the monitor profile an X11
// colour manager publishes.

#include "platform/core/Core.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::qt {

// The input state as the X server has it now: each query asks the server,
// so loops that poll without pumping see the real mouse. Null when Qt does
// not run on X11.
core::IInputSource* X11Input();

// The ICC profile in the root window's _ICC_PROFILE property (screen 0);
// nothing without X11, without the property, or when it is empty or larger
// than 64 MiB.
std::optional<std::vector<std::uint8_t>> MonitorProfileFromX11();

// The frame widths (left, top, right, bottom) a window manager will give the
// window, asked before it is shown (_NET_REQUEST_FRAME_EXTENTS): nothing
// without X11, without a window manager that answers, or after 500 ms.
std::optional<RECT> FrameExtentsFromX11(std::uintptr_t window);

} // namespace platform::qt
