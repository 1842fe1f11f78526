#pragma once
// Device contexts and drawing objects of the layer's core: the state of each
// DC (selected objects, colours, modes, origin, clip) apart from the target
// its drawing lands on.

#include "platform/afx/AfxDC.h"
#include "platform/core/Core.h"

#include <memory>

namespace platform::core {

struct GdiObject {
  DWORD kind = 0; // OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_BITMAP
  bool stock = false;
  int selected = 0;           // how many DCs hold it
  bool deletePending = false; // deleted while selected: freed when released
  COLORREF colour = 0;
  bool hollow = false;        // NULL_BRUSH, PS_NULL
  PenInfo pen;
  LOGFONTW font;
  // Bitmaps: pixel memory the layer owns (a DIB section's bits).
  int width = 0;
  int height = 0;
  int bitCount = 0;
  bool bottomUp = false;
  std::ptrdiff_t stride = 0;
  std::unique_ptr<std::uint8_t[]> bits;
  // The framework object handed out for this handle by CDC::SelectObject.
  std::unique_ptr<CGdiObject> wrapper;
};

GdiObject* Object(HGDIOBJ handle);
// A framework wrapper (not owning) of the handle's object.
template <class T>
T* WrapperOf(HGDIOBJ handle) {
  GdiObject* object = Object(handle);
  if (!object) return nullptr;
  if (!object->wrapper) {
    struct Borrowed : T {
      ~Borrowed() override { this->m_hObject = nullptr; }
    };
    auto wrapper = std::make_unique<Borrowed>();
    wrapper->m_hObject = handle;
    object->wrapper = std::move(wrapper);
  }
  return static_cast<T*>(object->wrapper.get());
}

// The pixels of a bitmap object as a view (rows in memory order).
PixelView ViewOf(const GdiObject& bitmap);

// A new icon of the pixels (DestroyIcon frees it).
HICON CreateIconFromPixels(PixelImage pixels);

// A device of its own behind a DC (a printer), neither a window nor a
// bitmap: it answers the DC's capabilities and opens the target its drawing
// lands on (null while there is nowhere to draw, outside a page). The DC
// keeps the device alive; any thread may use such a DC.
class IDevice {
public:
  virtual ~IDevice() = default;
  virtual int Caps(int index) = 0;
  virtual std::unique_ptr<IDrawTarget> OpenTarget() = 0;
};
HDC CreateDeviceDc(std::shared_ptr<IDevice> device);
// The device of a DC made by CreateDeviceDc; null for any other DC.
std::shared_ptr<IDevice> DeviceOf(HDC dc);

} // namespace platform::core
