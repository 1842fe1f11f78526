#pragma once
// Devices: what a DC draws on besides windows and bitmaps. A device DC runs
// on the same DC state machine as every other DC (objects, colours, modes,
// origin, clip) and differs only in where its drawing lands and what it
// reports: the recording device logs every drawing call with its state,
// paged devices (printers) put drawing on pages. A memory DC made compatible
// with a device DC (CreateCompatibleDC) reports the device's resolution and
// tells the device its calls too, so what is painted off-screen for a
// recording DC is logged as well. Qt-free.

#include "platform/core/Host.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::core {

// What GetDeviceCaps reports of a device, in device pixels.
struct DeviceCaps {
  int width = 1920;          // HORZRES: the drawable area
  int height = 1080;         // VERTRES
  int dpiX = 96;             // LOGPIXELSX
  int dpiY = 96;             // LOGPIXELSY
  int physicalWidth = 0;     // PHYSICALWIDTH (paper; 0 on displays)
  int physicalHeight = 0;    // PHYSICALHEIGHT
  int offsetX = 0;           // PHYSICALOFFSETX: left margin the device cannot print
  int offsetY = 0;           // PHYSICALOFFSETY
  int bitsPerPixel = 32;     // BITSPIXEL
  bool printer = false;      // TECHNOLOGY: DT_RASPRINTER rather than DT_RASDISPLAY
};

// One drawing call as a DC made it, with the state that shapes its result.
// Rectangles and points are logical (as the caller gave them); `origin` is the
// viewport origin that moved them onto the device, `clip` the device
// rectangles the drawing was limited to (none: the whole device).
struct GdiCall {
  std::string name;              // the call's name: "FillRect", "DrawText", "LineTo", ...
  RECT rect{};                   // its rectangle (the cell of a text, the destination of a blit)
  RECT source{};                 // blits: the source rectangle
  std::vector<POINT> points;     // lines and polylines: the points, the first one the start
  std::u16string text;           // texts as the caller passed them
  UINT format = 0;               // DrawText's format, ExtTextOut's options
  int result = 0;                // DrawText's result (the height of the text)
  // How DrawText laid the text out: each line as drawn (prefixes resolved,
  // ellipses applied) and its cell.
  std::vector<std::u16string> lines;
  std::vector<RECT> lineRects;
  COLORREF colour = 0;           // the colour a fill or frame used (brushes of FillRect, FrameRgn...)
  int resource = 0;              // DrawIconEx: the resource id the icon was loaded from (0: none)
  // The DC's state at the call.
  LOGFONTW font{};
  COLORREF textColour = 0;
  COLORREF bkColour = 0;
  int bkMode = 0;
  PenInfo pen;
  bool penHollow = false;
  COLORREF brushColour = 0;
  bool brushHollow = false;
  int stretchMode = 0;
  POINT origin{};
  bool clipped = false;
  std::vector<RECT> clip;
};

class IDevice {
public:
  virtual ~IDevice() = default;
  // Where drawing lands for one call; null draws nothing.
  virtual std::unique_ptr<IDrawTarget> OpenTarget() = 0;
  virtual DeviceCaps Caps() const = 0;
  // Every drawing call of the DC, before it draws (under the DC lock).
  virtual void Note(const GdiCall&) {}
};

// A DC over a device (deleted with DeleteDC); null without a device.
HDC CreateDeviceDC(std::shared_ptr<IDevice> device);
// The device of a device DC; null for other DCs and stale handles.
std::shared_ptr<IDevice> DeviceOf(HDC dc);
// The target a DC draws on right now (what a device tees into); null when none.
std::unique_ptr<IDrawTarget> OpenTargetOf(HDC dc);

} // namespace platform::core
