#pragma once
// A drop target that turns a dropped file list into paths and hands them to
// callbacks; a notification without its callback gets the framework's
// answer. The thumbnail window and the folder tree each register one.

#include "foundation/FArray.h"
#include "foundation/FString.h"
#include "platform/afx/AfxOle.h"

using DropDragEnterFunc = DROPEFFECT (*)(CWnd* wnd, const FArray<FString>* paths, DWORD keyState, CPoint point);
using DropDragLeaveFunc = void (*)(CWnd* wnd);
using DropDragOverFunc = DROPEFFECT (*)(CWnd* wnd, const FArray<FString>* paths, DWORD keyState, CPoint point);
using DropDropFunc = BOOL (*)(CWnd* wnd, const FArray<FString>* paths, DROPEFFECT effect, CPoint point);
using DropDropExFunc = DROPEFFECT (*)(CWnd* wnd, const FArray<FString>* paths, DROPEFFECT dropDefault,
                                      DROPEFFECT dropList, CPoint point);

// The paths of a data object's file list (CF_HDROP); empty without one.
FArray<FString> ReadDroppedPaths(COleDataObject* data);

class CET_DropTarget : public COleDropTarget {
public:
  void SetCallbacks(DropDragEnterFunc dragEnter, DropDragLeaveFunc dragLeave, DropDragOverFunc dragOver,
                    DropDropFunc drop, DropDropExFunc dropEx);

  DROPEFFECT OnDragEnter(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point) override;
  DROPEFFECT OnDragOver(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point) override;
  void OnDragLeave(CWnd* wnd) override;
  BOOL OnDrop(CWnd* wnd, COleDataObject* data, DROPEFFECT effect, CPoint point) override;
  DROPEFFECT OnDropEx(CWnd* wnd, COleDataObject* data, DROPEFFECT dropDefault, DROPEFFECT dropList,
                      CPoint point) override;

private:
  DropDragEnterFunc m_DragEnter = nullptr;
  DropDragLeaveFunc m_DragLeave = nullptr;
  DropDragOverFunc m_DragOver = nullptr;
  DropDropFunc m_Drop = nullptr;
  DropDropExFunc m_DropEx = nullptr;
};
