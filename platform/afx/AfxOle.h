#pragma once
// Drag and drop of the framework, Qt-free: data sources that a drag carries,
// drop targets registered on windows, and the data object a drop target
// reads. Only file lists (CF_HDROP), Unicode text and "Preferred DropEffect"
// travel (docs/platform.md); a drag runs through the layer's drag driver
// (the window system's drag, or a script in tests).

#include "platform/afx/AfxWin.h"
#include "platform/win/WinClipboard.h"

#include <map>
#include <memory>
#include <vector>

using OleData = std::map<UINT, std::vector<std::uint8_t>>;

// The start-up of drag and drop; nothing to do here.
BOOL AfxOleInit();

// What a drop target reads: the dragged data (or the clipboard's).
class COleDataObject {
public:
  COleDataObject() = default;
  explicit COleDataObject(OleData data) : m_data(std::make_shared<OleData>(std::move(data))) {}
  // Takes the clipboard's content.
  BOOL AttachClipboard();
  void Release() { m_data.reset(); }
  BOOL IsDataAvailable(CLIPFORMAT format, LPFORMATETC formatEtc = nullptr) const;
  // A new block of the format (the caller releases the medium).
  BOOL GetData(CLIPFORMAT format, LPSTGMEDIUM medium, LPFORMATETC formatEtc = nullptr) const;
  HGLOBAL GetGlobalData(CLIPFORMAT format, LPFORMATETC formatEtc = nullptr) const;

private:
  std::shared_ptr<const OleData> m_data;
};

// The data a drag carries or that goes on the clipboard; owns its blocks.
class COleDataSource {
public:
  COleDataSource() = default;
  virtual ~COleDataSource();
  COleDataSource(const COleDataSource&) = delete;
  COleDataSource& operator=(const COleDataSource&) = delete;
  // The source takes the block.
  void CacheGlobalData(CLIPFORMAT format, HGLOBAL block, LPFORMATETC formatEtc = nullptr);
  void Empty();
  // Runs the drag; the effect the drop target chose (DROPEFFECT_NONE for
  // none or a cancel).
  DROPEFFECT DoDragDrop(DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                        LPCRECT startDragRect = nullptr, void* dropSource = nullptr);
  // Puts the data on the clipboard (the clipboard then holds copies).
  void SetClipboard();
  OleData Data() const;

private:
  std::map<UINT, HGLOBAL> m_blocks;
};

// A window's drop target. Points are in the window's client coordinates;
// key states are MK_LBUTTON, MK_RBUTTON, MK_SHIFT, MK_CONTROL and MK_ALT.
class COleDropTarget {
public:
  COleDropTarget() = default;
  virtual ~COleDropTarget();
  COleDropTarget(const COleDropTarget&) = delete;
  COleDropTarget& operator=(const COleDropTarget&) = delete;
  BOOL Register(CWnd* wnd);
  virtual void Revoke();
  CWnd* GetWindow() const { return m_wnd; }

  // The defaults accept nothing.
  virtual DROPEFFECT OnDragEnter(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point);
  virtual DROPEFFECT OnDragOver(CWnd* wnd, COleDataObject* data, DWORD keyState, CPoint point);
  virtual void OnDragLeave(CWnd* wnd);
  virtual BOOL OnDrop(CWnd* wnd, COleDataObject* data, DROPEFFECT effect, CPoint point);
  // -1 (the default): OnDrop decides.
  virtual DROPEFFECT OnDropEx(CWnd* wnd, COleDataObject* data, DROPEFFECT dropDefault, DROPEFFECT dropList,
                              CPoint point);
  virtual DROPEFFECT OnDragScroll(CWnd* wnd, DWORD keyState, CPoint point);

private:
  CWnd* m_wnd = nullptr;
  HWND m_hWnd = nullptr;
};
