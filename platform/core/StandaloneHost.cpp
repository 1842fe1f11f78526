#include "platform/core/StandaloneHost.h"

namespace platform::core {
namespace {

void PaintTree(HWND hwnd) {
  WindowRecord* r = Record(hwnd);
  if (!r || !r->visible) return;
  PaintIfNeeded(hwnd);
  if ((r = Record(hwnd)) == nullptr) return;
  const std::vector<HWND> children = r->children;
  for (HWND child : children) PaintTree(child);
}

bool PaintPending(HWND hwnd) {
  WindowRecord* r = Record(hwnd);
  if (!r || !r->visible) return false;
  if (!r->update.empty()) return true;
  for (HWND child : r->children) {
    if (PaintPending(child)) return true;
  }
  return false;
}

} // namespace

StandaloneHost::StandaloneHost() { StartGuiThread(this); }

StandaloneHost::~StandaloneHost() {
  DestroyAllWindows();
  StopGuiThread();
}

void StandaloneHost::ProcessEvents() {
  for (HWND top : TopLevelWindows()) PaintTree(top);
}

void StandaloneHost::Pump() {
  for (;;) {
    DrainQueues();
    ProcessEvents();
    bool paints = false;
    for (HWND top : TopLevelWindows()) paints = paints || PaintPending(top);
    if (!HasPendingWork() && !paints) break;
  }
}

} // namespace platform::core
