#include "toolkit/CET_DropTarget.h"

#include <vector>

FArray<FString> ReadDroppedPaths(COleDataObject* data) {
  FArray<FString> paths;
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  HGLOBAL block = data ? data->GetGlobalData(CF_HDROP, &format) : nullptr;
  if (!block) return paths;
  if (GlobalLock(block)) {
    const auto drop = reinterpret_cast<HDROP>(block);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      const UINT length = DragQueryFileW(drop, i, nullptr, 0);
      std::vector<char16_t> name(length + 3, u'\0');
      DragQueryFileW(drop, i, name.data(), length + 3);
      paths.Append(FString(name.data()));
    }
    GlobalUnlock(block);
  }
  GlobalFree(block);
  return paths;
}

void CET_DropTarget::SetCallbacks(DropDragEnterFunc dragEnter, DropDragLeaveFunc dragLeave,
                                  DropDragOverFunc dragOver, DropDropFunc drop, DropDropExFunc dropEx) {
  m_DragEnter = dragEnter;
  m_DragLeave = dragLeave;
  m_DragOver = dragOver;
  m_Drop = drop;
  m_DropEx = dropEx;
}

DROPEFFECT CET_DropTarget::OnDragEnter(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point) {
  if (!m_DragEnter) return COleDropTarget::OnDragEnter(wnd, data, keyState, point);
  const FArray<FString> paths = ReadDroppedPaths(data);
  return m_DragEnter(wnd, &paths, keyState, point);
}

DROPEFFECT CET_DropTarget::OnDragOver(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point) {
  if (!m_DragOver) return COleDropTarget::OnDragOver(wnd, data, keyState, point);
  const FArray<FString> paths = ReadDroppedPaths(data);
  return m_DragOver(wnd, &paths, keyState, point);
}

void CET_DropTarget::OnDragLeave(CWnd* wnd) {
  if (!m_DragLeave) {
    COleDropTarget::OnDragLeave(wnd);
    return;
  }
  m_DragLeave(wnd);
}

BOOL CET_DropTarget::OnDrop(CWnd* wnd, COleDataObject* data, DROPEFFECT effect, CPoint point) {
  if (!m_Drop) return COleDropTarget::OnDrop(wnd, data, effect, point);
  const FArray<FString> paths = ReadDroppedPaths(data);
  return m_Drop(wnd, &paths, effect, point);
}

DROPEFFECT CET_DropTarget::OnDropEx(CWnd* wnd, COleDataObject* data, DROPEFFECT dropDefault, DROPEFFECT dropList,
                                    CPoint point) {
  if (!m_DropEx) return COleDropTarget::OnDropEx(wnd, data, dropDefault, dropList, point);
  const FArray<FString> paths = ReadDroppedPaths(data);
  return m_DropEx(wnd, &paths, dropDefault, dropList, point);
}
