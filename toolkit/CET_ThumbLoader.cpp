// The thumbnail window's loader: a worker thread that decodes the items'
// pictures one at a time and tells the window after each one (a synchronous
// send, so the cell is redrawn before the next item), and the window's side
// of the protocol. The item lock guards every touch of a picture; the
// loader never holds it while it decodes or sends, so the window can draw
// while the thread waits in its send.

#include "toolkit/CET_ThumbnailWnd.h"

#include "toolkit/FileOperations.h"
#include "toolkit/OffscreenPaint.h"
#include "toolkit/PictureFiles.h"

#include "platform/afx/AfxDC.h"

#include <new>

namespace {

constexpr int kLoaderRun = 0;
constexpr int kLoaderStop = 1;
constexpr int kLoaderPause = 3;

// A decoded picture in thumbnail mode, or null: a file that cannot be
// decoded, or one too large for memory, is skipped.
CET_Dib* DecodeThumbnail(const FString& path) {
  try {
    return LoadPictFile(path, PICT_MODE_THUMBNAIL, nullptr, nullptr, 0, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

} // namespace

int CET_ThumbnailWnd::ReadLoaderState() {
  CSingleLock lock(&m_LoaderSemaphore, TRUE);
  return m_LoaderState;
}

void CET_ThumbnailWnd::WriteLoaderState(int state) {
  CSingleLock lock(&m_LoaderSemaphore, TRUE);
  m_LoaderState = state;
}

void CET_ThumbnailWnd::StartLoader() {
  if (m_pLoaderThread) return;
  WriteLoaderState(kLoaderRun);
  auto* param = new CET_ThumbLoadParam;
  param->owner = this;
  param->items.AssignFrom(&m_Items);
  m_pLoaderThread = AfxBeginThread(ThumbnailLoaderThread, param, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  if (!m_pLoaderThread) {
    param->items.RemoveAll(FALSE);
    delete param;
    return;
  }
  m_hLoaderThread = m_pLoaderThread->m_hThread;
}

void CET_ThumbnailWnd::StopLoader() {
  if (!m_pLoaderThread) return;
  WriteLoaderState(kLoaderStop);
  while (m_pLoaderThread) {
    Sleep(100);
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
}

UINT ThumbnailLoaderThread(LPVOID param) {
  auto* block = static_cast<CET_ThumbLoadParam*>(param);
  if (!block) return 0;
  CET_ThumbnailWnd* owner = block->owner;
  for (int i = 0; i < block->items.GetCount(); ++i) {
    CET_ThumbnailData* item = block->items.GetAt(i);
    if (!item) continue;
    int state = owner->ReadLoaderState();
    while (state == kLoaderPause) {
      Sleep(200);
      state = owner->ReadLoaderState();
    }
    if (state == kLoaderStop) break;

    owner->LockItems();
    const FString path = item->m_Path;
    if (ReadFileAttributeWord(path) == -1) {
      item->SetPicture(nullptr);
      owner->UnlockItems();
      continue;
    }
    const bool loaded = item->m_pDib && item->m_pDib->IsValid();
    owner->UnlockItems();
    if (loaded) continue;

    CET_Dib* picture = DecodeThumbnail(path);
    if (!picture) continue;
    owner->LockItems();
    item->SetPicture(picture);
    owner->UnlockItems();
    ::SendMessageW(owner->m_hWnd, WM_THUMB_ITEMLOADED, reinterpret_cast<WPARAM>(item), 1);
  }
  block->items.RemoveAll(FALSE);
  const HWND window = owner->m_hWnd;
  delete block;
  ::SendMessageW(window, WM_THUMB_ITEMLOADED, 0, 0);
  return 0;
}

LRESULT CET_ThumbnailWnd::OnItemLoaded(WPARAM wParam, LPARAM lParam) {
  if (lParam == 0) {
    m_pLoaderThread = nullptr;
    return 0;
  }
  if (lParam != 1) return 0;
  const auto* loaded = reinterpret_cast<const CET_ThumbnailData*>(wParam);
  int index = -1;
  LockItems();
  for (int i = 0; i < m_Items.GetCount() && index < 0; ++i) {
    if (m_Items.GetAt(i) == loaded) index = i;
  }
  UnlockItems();
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
