// The thumbnail window's loader: a worker thread that decodes the items'
// pictures one at a time and tells the window after each one (a synchronous
// send, so the cell is redrawn before the next item), and the window's side
// of the protocol. The item lock guards every touch of a picture; the
// loader never holds it while it decodes or sends, so the window can draw
// while the thread waits in its send. A picture the loader replaces is
// deleted by the window's thread, which may be drawing it.

#include "toolkit/CET_ThumbnailWnd.h"

#include "toolkit/FileOperations.h"
#include "toolkit/OffscreenPaint.h"
#include "toolkit/PictureFiles.h"

#include "platform/afx/AfxDC.h"

namespace {

// A decoded picture in thumbnail mode, or none: a file that cannot be
// decoded, or whose decoder fails in any way, is skipped.
std::unique_ptr<CET_Dib> DecodeThumbnail(const FString& path) {
  try {
    return std::unique_ptr<CET_Dib>(LoadPictFile(path, PICT_MODE_THUMBNAIL, nullptr, nullptr, 0, 0));
  } catch (...) {
    return nullptr;
  }
}

// How long StopLoader sleeps between serving the loader's messages.
constexpr DWORD kStopPollMs = 2;

} // namespace

int CET_ThumbnailWnd::ReadLoaderState() {
  std::lock_guard<std::mutex> lock(m_LoaderStateMutex);
  return m_LoaderState;
}

void CET_ThumbnailWnd::WriteLoaderState(int state) {
  {
    std::lock_guard<std::mutex> lock(m_LoaderStateMutex);
    m_LoaderState = state;
  }
  m_LoaderStateChanged.notify_all();
}

int CET_ThumbnailWnd::WaitWhilePaused() {
  std::unique_lock<std::mutex> lock(m_LoaderStateMutex);
  m_LoaderStateChanged.wait(lock, [this] { return m_LoaderState != kThumbLoaderPause; });
  return m_LoaderState;
}

void CET_ThumbnailWnd::ReplacePicture(CET_ThumbnailData* item, std::unique_ptr<CET_Dib> picture) {
  if (item->m_pDib) m_RetiredPictures.emplace_back(item->m_pDib);
  item->m_pDib = picture.release();
}

void CET_ThumbnailWnd::FreeRetiredPictures() {
  std::vector<std::unique_ptr<CET_Dib>> retired;
  {
    ItemsLock hold(*this);
    retired.swap(m_RetiredPictures);
  }
}

void CET_ThumbnailWnd::StartLoader() {
  if (m_pLoaderThread) return;
  WriteLoaderState(kThumbLoaderRun);
  auto param = std::make_unique<CET_ThumbLoadParam>();
  param->owner = this;
  {
    ItemsLock hold(*this);
    param->items.AssignFrom(&m_Items);
  }
  m_pLoaderThread = AfxBeginThread(ThumbnailLoaderThread, param.get(), THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  if (!m_pLoaderThread) {
    param->items.RemoveAll(FALSE);
    return;
  }
  param.release(); // the thread deletes it
  m_hLoaderThread = m_pLoaderThread->m_hThread;
}

void CET_ThumbnailWnd::StopLoader() {
  if (!m_pLoaderThread) return;
  WriteLoaderState(kThumbLoaderStop);
  while (m_pLoaderThread) {
    Sleep(kStopPollMs);
    // Peeking also serves the thread's sends, its final one among them,
    // whose handler clears the pointer.
    MSG msg;
    while (m_hWnd && ::PeekMessageW(&msg, m_hWnd, WM_THUMB_ITEMLOADED, WM_THUMB_ITEMLOADED, PM_REMOVE)) {
      ::DispatchMessageW(&msg);
    }
    // Without a window the final message reaches nobody: the thread's end
    // (its handle goes stale with its object) ends the wait instead.
    DWORD code = 0;
    if (m_pLoaderThread && (!m_hWnd || !::IsWindow(m_hWnd)) &&
        (!::GetExitCodeThread(m_hLoaderThread, &code) || code != STILL_ACTIVE)) {
      m_pLoaderThread = nullptr;
    }
  }
  m_hLoaderThread = nullptr;
  FreeRetiredPictures();
}

UINT ThumbnailLoaderThread(LPVOID param) {
  std::unique_ptr<CET_ThumbLoadParam> block(static_cast<CET_ThumbLoadParam*>(param));
  if (!block) return 0;
  CET_ThumbnailWnd* owner = block->owner;
  for (int i = 0; i < block->items.GetCount(); ++i) {
    CET_ThumbnailData* item = block->items.GetAt(i);
    if (!item) continue;
    if (owner->WaitWhilePaused() == kThumbLoaderStop) break;

    FString path;
    {
      CET_ThumbnailWnd::ItemsLock hold(*owner);
      path = item->m_Path;
    }
    if (ReadFileAttributeWord(path) == -1) {
      CET_ThumbnailWnd::ItemsLock hold(*owner);
      owner->ReplacePicture(item, nullptr);
      continue;
    }
    {
      CET_ThumbnailWnd::ItemsLock hold(*owner);
      if (item->m_pDib && item->m_pDib->IsValid()) continue;
    }
    std::unique_ptr<CET_Dib> picture = DecodeThumbnail(path);
    if (!picture) continue;
    {
      CET_ThumbnailWnd::ItemsLock hold(*owner);
      owner->ReplacePicture(item, std::move(picture));
    }
    ::SendMessageW(owner->m_hWnd, WM_THUMB_ITEMLOADED, reinterpret_cast<WPARAM>(item), 1);
  }
  block->items.RemoveAll(FALSE);
  const HWND window = owner->m_hWnd;
  block.reset();
  ::SendMessageW(window, WM_THUMB_ITEMLOADED, 0, 0);
  return 0;
}

LRESULT CET_ThumbnailWnd::OnItemLoaded(WPARAM wParam, LPARAM lParam) {
  FreeRetiredPictures();
  if (lParam == 0) {
    m_pLoaderThread = nullptr;
    return 0;
  }
  if (lParam != 1) return 0;
  const auto* loaded = reinterpret_cast<const CET_ThumbnailData*>(wParam);
  int index = -1;
  {
    ItemsLock hold(*this);
    for (int i = 0; i < m_Items.GetCount() && index < 0; ++i) {
      if (m_Items.GetAt(i) == loaded) index = i;
    }
  }
  if (index < 0) return 0;
  const CRect cell = GetItemOrigin(index);
  CRect client;
  GetClientRect(client);
  CRect visible;
  if (!visible.IntersectRect(&cell, &client)) return 0;
  CDC* dc = GetDC();
  if (!dc) return 0;
  PaintOffscreen(dc, cell, [this, index](CDC* memory) { DrawItem(memory, index, nullptr); });
  ReleaseDC(dc);
  return 0;
}
