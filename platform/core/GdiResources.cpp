// Icons, bitmaps and cursors: the program's resource pictures by id (PNG
// files in its data folder, read by the back end), the standard cursors, and
// drawing icons over what a DC shows.

#include "platform/core/Gdi.h"
#include "platform/core/Handles.h"

#include <atomic>
#include <cstring>
#include <map>
#include <unistd.h>

namespace platform::core {
namespace {

struct IconRecord {
  PixelImage image;
  int standardCursor = 0; // 32512...: one of the window system's cursors
  POINT hotspot;
  bool shared = false;    // LoadCursor's cursors live until the process ends
  int resource = 0;       // the resource id it was loaded from
};

HandleTable<IconRecord>& Icons() {
  static auto* table = new HandleTable<IconRecord>;
  return *table;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

HICON AddIcon(IconRecord record) {
  std::lock_guard lock(GdiMutex());
  return reinterpret_cast<HICON>(Icons().Add(std::make_unique<IconRecord>(std::move(record))));
}

// A resource id from MAKEINTRESOURCE; 0 for anything else.
int ResourceId(LPCWSTR name) {
  const auto id = reinterpret_cast<std::uintptr_t>(name);
  return id > 0 && id <= 0xFFFF ? static_cast<int>(id) : 0;
}

std::mutex& FolderMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
std::string& Folder() {
  static auto* folder = new std::string;
  return *folder;
}

std::string DefaultResourceFolder() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "resources";
  path[n] = 0;
  const std::string exe(path);
  return exe.substr(0, exe.rfind('/')) + "/resources";
}

} // namespace

HICON CreateIconFromPixels(PixelImage pixels) {
  if (pixels.width <= 0 || pixels.height <= 0 ||
      pixels.argb.size() != static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height)) {
    return nullptr;
  }
  IconRecord record;
  record.image = std::move(pixels);
  return AddIcon(std::move(record));
}

bool CursorShapeOf(HCURSOR cursor, int& standardId, PixelImage& image, POINT& hotspot) {
  std::lock_guard lock(GdiMutex());
  IconRecord* record = Icons().Get(Key(cursor));
  if (!record) return false;
  standardId = record->standardCursor;
  image = record->image;
  hotspot = record->hotspot;
  return true;
}

} // namespace platform::core

namespace platform {

void SetResourceFolder(const std::string& folder) {
  std::lock_guard lock(core::FolderMutex());
  core::Folder() = folder;
}

std::string ResourceFolder() {
  std::lock_guard lock(core::FolderMutex());
  if (core::Folder().empty()) core::Folder() = core::DefaultResourceFolder();
  return core::Folder();
}

} // namespace platform

using namespace platform::core;

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT) {
  const int id = ResourceId(name);
  if (!Host() || id == 0 || cx < 0 || cy < 0 || cx > 4096 || cy > 4096) return nullptr;
  if (type != IMAGE_ICON && type != IMAGE_CURSOR && type != IMAGE_BITMAP) return nullptr;
  PixelImage pixels;
  if (!Host()->LoadResourceImage(type, id, cx, cy, pixels)) return nullptr;
  if (type != IMAGE_BITMAP) {
    IconRecord record;
    record.hotspot = {pixels.width / 2, pixels.height / 2};
    record.image = std::move(pixels);
    record.resource = id;
    return reinterpret_cast<HANDLE>(AddIcon(std::move(record)));
  }
  void* bits = nullptr;
  HBITMAP bitmap = NewBitmap(pixels.width, pixels.height, 32, false, &bits);
  if (!bitmap) return nullptr;
  std::memcpy(bits, pixels.argb.data(), pixels.argb.size() * 4);
  return reinterpret_cast<HANDLE>(static_cast<HGDIOBJ>(bitmap));
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  return reinterpret_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, 0));
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT) {
  std::lock_guard lock(GdiMutex());
  IconRecord* record = Icons().Get(Key(icon));
  if (!record || record->image.argb.empty()) return FALSE;
  const PixelImage& pixels = record->image;
  if (cx <= 0) cx = pixels.width;
  if (cy <= 0) cy = pixels.height;
  GdiCall call{"DrawIconEx"};
  call.rect = {x, y, x + cx, y + cy};
  call.source = {0, 0, pixels.width, pixels.height};
  call.resource = record->resource;
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           t.DrawPixels(ToDevice(dc.state, RECT{x, y, x + cx, y + cy}), pixels.View(),
                        RECT{0, 0, pixels.width, pixels.height}, true, clip);
         })
             ? TRUE
             : FALSE;
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard lock(GdiMutex());
  IconRecord* record = Icons().Get(Key(icon));
  if (!record) return FALSE;
  if (record->shared) return TRUE;
  return Icons().Remove(Key(icon)) ? TRUE : FALSE;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  const int id = ResourceId(name);
  if (id == 0) return nullptr;
  // One handle per cursor for the life of the process.
  static std::map<std::pair<bool, int>, HCURSOR>* loaded = new std::map<std::pair<bool, int>, HCURSOR>;
  const std::pair<bool, int> key{instance != nullptr, id};
  {
    std::lock_guard lock(GdiMutex());
    if (auto it = loaded->find(key); it != loaded->end()) return it->second;
  }
  IconRecord record;
  record.shared = true;
  if (!instance) {
    if (id < 32512 || id > 32650) return nullptr;
    record.standardCursor = id;
  } else {
    if (!Host() || !Host()->LoadResourceImage(IMAGE_CURSOR, id, 0, 0, record.image)) return nullptr;
    record.hotspot = {record.image.width / 2, record.image.height / 2};
  }
  const HCURSOR cursor = AddIcon(std::move(record));
  std::lock_guard lock(GdiMutex());
  return loaded->emplace(key, cursor).first->second;
}

int StandardCursorId(HCURSOR cursor) {
  std::lock_guard lock(GdiMutex());
  IconRecord* record = Icons().Get(Key(cursor));
  return record ? record->standardCursor : 0;
}

namespace {
std::atomic<HCURSOR> g_cursor{nullptr};
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR old = g_cursor.exchange(cursor);
  if (!IsGuiThread()) return old;
  // The shape shows where the pointer is (or over the capture window).
  HWND hwnd = GetCapture();
  if (!hwnd) {
    POINT p;
    GetCursorPos(&p);
    hwnd = WindowFromPoint(p);
  }
  if (WindowRecord* r = Record(hwnd)) {
    if (r->host) r->host->SetCursorShape(cursor);
  }
  return old;
}

HCURSOR GetCursor() { return g_cursor.load(); }
