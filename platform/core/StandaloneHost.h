#pragma once
// A back end without a window system, for running the core alone (its tests
// run under ThreadSanitizer, which Qt would flood): windows have no surfaces
// and draw nothing, the GUI thread waits on the core's own condition, and
// "processing events" means painting the windows that wait for it.

#include "platform/core/Core.h"

namespace platform::core {

class StandaloneHost : public IHost {
public:
  // Starts the calling thread as the GUI thread; the destructor destroys the
  // windows left and stops it.
  StandaloneHost();
  ~StandaloneHost() override;
  // Serves and pumps until nothing is pending (sends, posts, due ticks, paints).
  void Pump();

  void Wake() override {}
  void ProcessEvents() override;
  void WaitForEvents(std::int64_t timeoutMs) override { WaitForWork(timeoutMs, nullptr); }
  void SetAlarm(std::int64_t) override {}
  std::unique_ptr<IWindowHost> CreateWindowHost(HWND) override { return nullptr; }
  std::unique_ptr<IDrawTarget> OpenPixels(void*, int, int, std::ptrdiff_t, PixelFormat, bool) override {
    return nullptr;
  }
  TEXTMETRICW GetTextMetrics(const LOGFONTW&) override { return {}; }
  int GetTextWidth(const LOGFONTW&, std::u16string_view) override { return 0; }
  bool LoadResourceImage(UINT, int, int, int, PixelImage&) override { return false; }
  SIZE ScreenSize() override { return {1920, 1080}; }
};

} // namespace platform::core
