// Global memory blocks and the clipboard. Blocks are addressed by handles
// with a generation (a freed handle fails every call); any thread may use
// them. The clipboard collects what is written between OpenClipboard and
// CloseClipboard and hands it to the back end as one set (the desktop's
// clipboard is replaced whole by every write); reads convert the back end's
// data on demand. Without a back end the clipboard lives in memory.

#include "platform/core/Handles.h"
#include "platform/core/UiServices.h"

#include <cstring>
#include <mutex>

namespace platform::core {
namespace {

// Blocks of more than this are refused.
constexpr std::size_t kMaxBlockBytes = std::size_t{1} << 30;

struct Block {
  std::vector<std::uint8_t> bytes;
  int locks = 0;
};

std::mutex g_blocksMutex;
HandleTable<Block>& Blocks() {
  static auto* table = new HandleTable<Block>;
  return *table;
}
std::uintptr_t Key(HGLOBAL block) { return reinterpret_cast<std::uintptr_t>(block); }

struct ClipboardState {
  std::mutex mutex;
  bool open = false;
  HWND owner = nullptr;
  bool writing = false;  // EmptyClipboard or SetClipboardData since opening
  DataBag pending;       // what CloseClipboard hands over
  MimeBag memory;        // the clipboard without a back end
  std::vector<HGLOBAL> handedOut; // blocks GetClipboardData answered
};

ClipboardState& Board() {
  static auto* state = new ClipboardState;
  return *state;
}

MimeBag ReadBackEnd(ClipboardState& c) {
  if (IUiServices* services = UiServices()) return services->ReadClipboard();
  std::lock_guard lock(c.mutex);
  return c.memory;
}

void FreeHandedOut(ClipboardState& c) {
  for (HGLOBAL block : c.handedOut) GlobalFree(block);
  c.handedOut.clear();
}

} // namespace

HGLOBAL GlobalFromBytes(const std::vector<std::uint8_t>& bytes) {
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  if (void* p = GlobalLock(block)) {
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  return block;
}

bool CopyBlock(HGLOBAL block, std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(g_blocksMutex);
  const Block* b = Blocks().Get(Key(block));
  if (!b) return false;
  bytes = b->bytes;
  return true;
}

std::vector<std::uint8_t> BytesOfGlobal(HGLOBAL block) {
  std::vector<std::uint8_t> bytes;
  CopyBlock(block, bytes);
  return bytes;
}

} // namespace platform::core

using namespace platform::core;

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
  if (bytes > kMaxBlockBytes) return nullptr;
  auto block = std::make_unique<Block>();
  block->bytes.assign(std::max<std::size_t>(bytes, 1), 0); // zeroed always; a zero-size block still has an address
  block->bytes.resize(bytes);
  std::lock_guard lock(g_blocksMutex);
  return reinterpret_cast<HGLOBAL>(Blocks().Add(std::move(block)));
}

void* GlobalLock(HGLOBAL handle) {
  std::lock_guard lock(g_blocksMutex);
  Block* b = Blocks().Get(Key(handle));
  if (!b) return nullptr;
  ++b->locks;
  return b->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  std::lock_guard lock(g_blocksMutex);
  Block* b = Blocks().Get(Key(handle));
  if (!b || b->locks == 0) return FALSE;
  return --b->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL handle) {
  std::lock_guard lock(g_blocksMutex);
  const Block* b = Blocks().Get(Key(handle));
  return b ? b->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  std::lock_guard lock(g_blocksMutex);
  return Blocks().Remove(Key(handle)) ? nullptr : handle;
}

BOOL OpenClipboard(HWND owner) {
  ClipboardState& c = Board();
  std::lock_guard lock(c.mutex);
  if (c.open) return FALSE;
  c.open = true;
  c.owner = owner;
  c.writing = false;
  c.pending.clear();
  FreeHandedOut(c);
  return TRUE;
}

BOOL EmptyClipboard() {
  ClipboardState& c = Board();
  std::lock_guard lock(c.mutex);
  if (!c.open) return FALSE;
  c.writing = true;
  c.pending.clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  ClipboardState& c = Board();
  const HGLOBAL block = data;
  if (format != CF_HDROP && format != CF_UNICODETEXT && format != DropEffectFormat()) return nullptr;
  std::vector<std::uint8_t> bytes;
  if (!CopyBlock(block, bytes)) return nullptr; // no block (delayed rendering is not offered)
  {
    std::lock_guard lock(c.mutex);
    if (!c.open) return nullptr;
    c.writing = true;
    c.pending[format] = std::move(bytes);
  }
  // The clipboard owns the block from here; its bytes are kept.
  GlobalFree(block);
  return data;
}

BOOL CloseClipboard() {
  ClipboardState& c = Board();
  MimeBag mime;
  bool write = false;
  {
    std::lock_guard lock(c.mutex);
    if (!c.open) return FALSE;
    c.open = false;
    write = c.writing;
    if (write) mime = ToMime(c.pending);
    c.pending.clear();
  }
  if (write) {
    if (IUiServices* services = UiServices()) {
      services->WriteClipboard(mime);
    } else {
      std::lock_guard lock(c.mutex);
      c.memory = std::move(mime);
    }
  }
  return TRUE;
}

HANDLE GetClipboardData(UINT format) {
  ClipboardState& c = Board();
  {
    std::lock_guard lock(c.mutex);
    if (!c.open) return nullptr;
  }
  const DataBag data = FromMime(ReadBackEnd(c));
  const auto it = data.find(format);
  if (it == data.end()) return nullptr;
  const HGLOBAL block = GlobalFromBytes(it->second);
  std::lock_guard lock(c.mutex);
  if (block) c.handedOut.push_back(block);
  return block;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  return FromMime(ReadBackEnd(Board())).count(format) ? TRUE : FALSE;
}

UINT RegisterClipboardFormatW(LPCWSTR name) {
  // One table with the registered window messages, as in the original system.
  return RegisterWindowMessageW(name);
}

UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT maxCount) {
  const std::vector<std::uint8_t> bytes = BytesOfGlobal(reinterpret_cast<HGLOBAL>(drop));
  std::vector<std::u16string> paths;
  if (!ParseDropFiles(bytes.data(), bytes.size(), paths)) return 0;
  if (index == 0xFFFFFFFF) return static_cast<UINT>(paths.size());
  if (index >= paths.size()) return 0;
  const std::u16string& path = paths[index];
  if (!buffer) return static_cast<UINT>(path.size());
  if (maxCount == 0) return 0;
  const std::size_t n = std::min<std::size_t>(path.size(), maxCount - 1);
  std::copy_n(path.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<UINT>(n);
}

void DragFinish(HDROP) {}

void ReleaseStgMedium(LPSTGMEDIUM medium) {
  if (!medium) return;
  if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal && !medium->pUnkForRelease) GlobalFree(medium->hGlobal);
  medium->hGlobal = nullptr;
  medium->tymed = TYMED_NULL;
}
