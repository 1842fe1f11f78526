// The registry of dialog templates: tables of controls with their ids,
// classes, styles and rectangles in dialog units. A template is checked when
// it is registered, so a dialog never meets a control it cannot place.

#include "platform/core/Controls.h"

#include <cmath>
#include <map>
#include <mutex>
#include <set>

namespace {

// Fixed base units: 6 x 13 pixels per 4 x 8 dialog units, whatever the font.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

struct Templates {
  std::mutex mutex;
  std::map<UINT, DialogTemplate> byId;
};

Templates& Registry() {
  static auto* templates = new Templates;
  return *templates;
}

int Scale(LONG units, int base, int per) {
  return static_cast<int>(std::lround(static_cast<double>(units) * base / per));
}

bool Refuse(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  platform::core::Diagnostic("dialog template refused: %s", reason.c_str());
  return false;
}

} // namespace

namespace platform {

bool RegisterDialogTemplate(const DialogTemplate& dialog, std::string* error) {
  const std::string name = "template " + std::to_string(dialog.id);
  if (dialog.size.cx < 0 || dialog.size.cy < 0) return Refuse(error, name + ": negative size");
  std::set<int> ids;
  for (const DialogItemTemplate& item : dialog.items) {
    const std::string control = name + ", control " + std::to_string(item.id);
    const RECT& r = item.rect;
    if (r.right < r.left || r.bottom < r.top) return Refuse(error, control + ": inverted rectangle");
    if (r.left < 0 || r.top < 0 || r.right > dialog.size.cx || r.bottom > dialog.size.cy) {
      return Refuse(error, control + ": outside the dialog");
    }
    if (item.id != IDC_STATIC && !ids.insert(item.id).second) return Refuse(error, control + ": id named twice");
  }
  Templates& t = Registry();
  std::lock_guard lock(t.mutex);
  t.byId[dialog.id] = dialog;
  return true;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
  Templates& t = Registry();
  std::lock_guard lock(t.mutex);
  auto it = t.byId.find(id);
  // Entries are never removed, only replaced by id: the pointer stays valid
  // until the same id is registered again.
  return it == t.byId.end() ? nullptr : &it->second;
}

RECT DialogUnitsToPixels(const RECT& units) {
  return {Scale(units.left, kBaseX, 4), Scale(units.top, kBaseY, 8), Scale(units.right, kBaseX, 4),
          Scale(units.bottom, kBaseY, 8)};
}

SIZE DialogUnitsToPixels(SIZE units) { return {Scale(units.cx, kBaseX, 4), Scale(units.cy, kBaseY, 8)}; }

} // namespace platform

BOOL MapDialogRect(HWND, LPRECT rect) {
  if (!rect) return FALSE;
  *rect = platform::DialogUnitsToPixels(*rect);
  return TRUE;
}
