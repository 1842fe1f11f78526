#pragma once
// What the layer's core asks of its back end: waking and running the GUI
// thread's event source, one host per window that presents the window's
// retained surface, drawing targets, fonts and resource pictures. The Qt
// back end (platform/qt) implements it; StandaloneHost is a Qt-free one for
// tests of the core.

#include "platform/win/WinGdi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

enum class PixelFormat { Bgr24, Bgrx32, Argb32Premultiplied };

// Pixels owned by someone else: rows `stride` bytes apart, the first row in
// memory at the top unless bottomUp.
struct PixelView {
  const std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  PixelFormat format = PixelFormat::Bgrx32;
  bool bottomUp = false;
};

// Top-down premultiplied 0xAARRGGBB pixels.
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
  PixelView View() const {
    return {reinterpret_cast<const std::uint8_t*>(argb.data()), width, height,
            static_cast<std::ptrdiff_t>(width) * 4, PixelFormat::Argb32Premultiplied, false};
  }
};

// Device rectangles a drawing is limited to; inactive: no limit but the target.
struct Clip {
  bool active = false;
  std::vector<RECT> rects;
};

struct PenInfo {
  int style = PS_SOLID;
  int width = 1;
  COLORREF colour = 0;
};

// Where one DC's drawing lands. Coordinates are device pixels of the target.
class IDrawTarget {
public:
  virtual ~IDrawTarget() = default;
  virtual SIZE Size() const = 0;
  virtual void FillRect(const RECT& rect, COLORREF colour, const Clip& clip) = 0;
  // From `from` to `to`, the end point left out.
  virtual void Line(POINT from, POINT to, const PenInfo& pen, const Clip& clip) = 0;
  // Stretches srcRect of the source (in its picture's top-down coordinates)
  // onto dest without smoothing. Negative dest extents mirror. `blend`
  // composes over the target (icons); otherwise the source overwrites.
  virtual void DrawPixels(const RECT& dest, const PixelView& source, const RECT& srcRect, bool blend,
                          const Clip& clip) = 0;
  // The pixels of rect as they show on this target (a window's composed
  // with what its ancestors show under undrawn pixels); opaque.
  virtual bool ReadPixels(const RECT& rect, PixelImage& out) = 0;
  // One line of text starting at baselineOrigin; the font's escapement
  // (tenths of a degree, counter-clockwise) turns it about that point.
  virtual void DrawText(POINT baselineOrigin, std::u16string_view text, const LOGFONTW& font, COLORREF colour,
                        const Clip& clip) = 0;
};

// The back end's side of one window.
class IWindowHost {
public:
  virtual ~IWindowHost() = default;
  // The window rectangle in its parent's client coordinates (top-level:
  // screen, the window system's frame included: `frame` gives its widths),
  // with the non-client border width.
  virtual void SetGeometry(const RECT& windowRect, const RECT& frame, int border) = 0;
  // A top-level window's frame widths as the window system will draw them,
  // asked when the window is made (empty when not known).
  virtual RECT ExpectedFrame() { return {}; }
  virtual void SetVisible(bool visible) = 0;
  // A top-level window became the active one: the window system gives it
  // the keyboard (without a window manager nobody else would).
  virtual void Activate() {}
  virtual void SetEnabled(bool enabled) = 0;
  // Applies the core's stacking order of this window among its siblings.
  virtual void Restack(IWindowHost* below) = 0;
  // Presents the surface's rect later / at once.
  virtual void SchedulePresent(const RECT& clientRect) = 0;
  virtual void PresentNow(const RECT& clientRect) = 0;
  virtual void SetMouseGrab(bool grab) = 0;
  virtual void SetKeyboardFocus() = 0;
  virtual void SetCursorShape(HCURSOR cursor) = 0;
  virtual std::unique_ptr<IDrawTarget> OpenSurface() = 0;
};

class IHost {
public:
  virtual ~IHost() = default;
  // Any thread: ask the GUI thread to serve the queues soon.
  virtual void Wake() = 0;
  // GUI thread: run the pending window-system events (input, paints) once,
  // without draining posted messages; never blocks.
  virtual void ProcessEvents() = 0;
  // GUI thread: block until woken, an event arrives or timeoutMs passed (-1: no limit).
  virtual void WaitForEvents(std::int64_t timeoutMs) = 0;
  // Real clock: fire the timer alarm at this tick count (-1: none).
  virtual void SetAlarm(std::int64_t dueTick) = 0;
  virtual std::unique_ptr<IWindowHost> CreateWindowHost(HWND hwnd) = 0;
  // A target over a bitmap's pixels (memory DCs).
  virtual std::unique_ptr<IDrawTarget> OpenPixels(void* bits, int width, int height, std::ptrdiff_t stride,
                                                  PixelFormat format, bool bottomUp) = 0;
  virtual TEXTMETRICW GetTextMetrics(const LOGFONTW& font) = 0;
  virtual int GetTextWidth(const LOGFONTW& font, std::u16string_view text) = 0;
  // The face a font resolves to (after substitution).
  virtual std::u16string GetFontFace(const LOGFONTW& font) {
    std::size_t n = 0;
    while (n < LF_FACESIZE && font.lfFaceName[n]) ++n;
    return std::u16string(font.lfFaceName, n);
  }
  // A resource picture (IMAGE_ICON or IMAGE_BITMAP) by id, at cx x cy (0: its own size).
  virtual bool LoadResourceImage(UINT type, int id, int cx, int cy, PixelImage& out) = 0;
  virtual SIZE ScreenSize() = 0;
};

// The back end in use; null before one is installed.
IHost* Host();

} // namespace platform::core
