// Drag and drop: data sources, data objects, drop targets registered by
// window, and the drag session that carries a drag's data from one window
// to the next (enter, over, leave, drop), fed by the back end's drag events
// or by the test drag script.

#include "platform/afx/AfxOle.h"
#include "platform/core/Controls.h"

#include <algorithm>
#include <map>

namespace platform::core {
namespace {

std::map<HWND, COleDropTarget*>& Targets() {
  static auto* targets = new std::map<HWND, COleDropTarget*>;
  return *targets;
}

struct Session {
  bool active = false;
  COleDataObject data;
  HWND target = nullptr;
  DROPEFFECT last = DROPEFFECT_NONE;
};
Session g_session;

// The registered drop target of the window or its nearest ancestor.
HWND TargetWindow(HWND hwnd, COleDropTarget** target) {
  for (HWND h = hwnd; h; h = GetParent(h)) {
    auto it = Targets().find(h);
    if (it != Targets().end() && IsLiveWindow(h)) {
      *target = it->second;
      return h;
    }
  }
  *target = nullptr;
  return nullptr;
}

COleDropTarget* TargetOf(HWND hwnd) {
  auto it = Targets().find(hwnd);
  return it != Targets().end() && IsLiveWindow(hwnd) ? it->second : nullptr;
}

CPoint ClientPoint(HWND hwnd, POINT screen) {
  ScreenToClient(hwnd, &screen);
  return CPoint(screen);
}

// What a target may answer: one of the allowed effects, and scrolling.
DROPEFFECT Allowed(DROPEFFECT effect, DROPEFFECT allowed) {
  return effect & (allowed | DROPEFFECT_SCROLL);
}

void Leave() {
  if (COleDropTarget* t = TargetOf(g_session.target)) t->OnDragLeave(CWnd::FromHandle(g_session.target));
  g_session.target = nullptr;
  g_session.last = DROPEFFECT_NONE;
}

} // namespace

DROPEFFECT DragEnter(HWND hwnd, const DataBag& data, DWORD keyState, POINT screen, DROPEFFECT allowed) {
  if (g_session.active) DragLeave();
  g_session.active = true;
  g_session.data = COleDataObject(data);
  g_session.target = nullptr;
  g_session.last = DROPEFFECT_NONE;
  return DragOver(hwnd, keyState, screen, allowed);
}

DROPEFFECT DragOver(HWND hwnd, DWORD keyState, POINT screen, DROPEFFECT allowed) {
  if (!g_session.active) return DROPEFFECT_NONE;
  COleDropTarget* target = nullptr;
  const HWND window = TargetWindow(hwnd, &target);
  DROPEFFECT effect = DROPEFFECT_NONE;
  if (window != g_session.target) {
    Leave();
    g_session.target = window;
    if (target) effect = target->OnDragEnter(CWnd::FromHandle(window), &g_session.data, keyState, ClientPoint(window, screen));
  } else if (target) {
    effect = target->OnDragOver(CWnd::FromHandle(window), &g_session.data, keyState, ClientPoint(window, screen));
  }
  g_session.last = Allowed(effect, allowed) & ~DROPEFFECT_SCROLL;
  return g_session.last;
}

void DragLeave() {
  if (!g_session.active) return;
  Leave();
  g_session = Session{};
}

DROPEFFECT Drop(HWND, DWORD, POINT screen, DROPEFFECT allowed) {
  if (!g_session.active) return DROPEFFECT_NONE;
  // The drop lands where the last move left the drag.
  COleDropTarget* target = TargetOf(g_session.target);
  const DROPEFFECT proposed = g_session.last;
  if (!target || proposed == DROPEFFECT_NONE) {
    DragLeave();
    return DROPEFFECT_NONE;
  }
  const HWND window = g_session.target;
  COleDataObject data = g_session.data;
  g_session = Session{};
  const CPoint point = ClientPoint(window, screen);
  DROPEFFECT effect = target->OnDropEx(CWnd::FromHandle(window), &data, proposed, allowed, point);
  if (effect == static_cast<DROPEFFECT>(-1)) {
    effect = target->OnDrop(CWnd::FromHandle(window), &data, proposed, point) ? proposed : DROPEFFECT_NONE;
  }
  return Allowed(effect, allowed) & ~DROPEFFECT_SCROLL;
}

} // namespace platform::core

using namespace platform::core;

BOOL AfxOleInit() { return TRUE; }

BOOL COleDataObject::AttachClipboard() {
  if (!OpenClipboard(nullptr)) return FALSE;
  OleData data;
  for (UINT format : {CF_HDROP, CF_UNICODETEXT, DropEffectFormat()}) {
    if (const auto block = GetClipboardData(format)) data[format] = BytesOfGlobal(block);
  }
  CloseClipboard();
  m_data = std::make_shared<OleData>(std::move(data));
  return TRUE;
}

BOOL COleDataObject::IsDataAvailable(CLIPFORMAT format, LPFORMATETC) const {
  return m_data && m_data->count(format) ? TRUE : FALSE;
}

HGLOBAL COleDataObject::GetGlobalData(CLIPFORMAT format, LPFORMATETC) const {
  if (!m_data) return nullptr;
  auto it = m_data->find(format);
  return it == m_data->end() ? nullptr : GlobalFromBytes(it->second);
}

BOOL COleDataObject::GetData(CLIPFORMAT format, LPSTGMEDIUM medium, LPFORMATETC formatEtc) const {
  if (!medium) return FALSE;
  if (formatEtc && !(formatEtc->tymed & TYMED_HGLOBAL)) return FALSE;
  const HGLOBAL block = GetGlobalData(format, formatEtc);
  if (!block) return FALSE;
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  medium->pUnkForRelease = nullptr;
  return TRUE;
}

COleDataSource::~COleDataSource() { Empty(); }

void COleDataSource::CacheGlobalData(CLIPFORMAT format, HGLOBAL block, LPFORMATETC) {
  auto it = m_blocks.find(format);
  if (it != m_blocks.end() && it->second != block) GlobalFree(it->second);
  m_blocks[format] = block;
}

void COleDataSource::Empty() {
  for (auto& [format, block] : m_blocks) GlobalFree(block);
  m_blocks.clear();
}

OleData COleDataSource::Data() const {
  OleData data;
  for (const auto& [format, block] : m_blocks) {
    std::vector<std::uint8_t> bytes;
    if (CopyBlock(block, bytes)) data[format] = std::move(bytes);
  }
  return data;
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD allowed, LPCRECT, void*) {
  const OleData data = Data();
  if (data.empty()) return DROPEFFECT_NONE;
  DROPEFFECT effect = DROPEFFECT_NONE;
  if (IDragDriver* driver = DragDriver()) {
    effect = driver->Drag(data, allowed);
  } else if (IUiServices* services = UiServices()) {
    effect = services->RunDrag(ToMime(data), allowed);
  }
  return effect & allowed;
}

void COleDataSource::SetClipboard() {
  const OleData data = Data();
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  for (const auto& [format, bytes] : data) {
    const HGLOBAL block = GlobalFromBytes(bytes);
    if (block && !SetClipboardData(format, block)) GlobalFree(block);
  }
  CloseClipboard();
}

COleDropTarget::~COleDropTarget() { COleDropTarget::Revoke(); }

BOOL COleDropTarget::Register(CWnd* wnd) {
  if (!wnd || !IsLiveWindow(wnd->m_hWnd) || m_hWnd) return FALSE;
  m_wnd = wnd;
  m_hWnd = wnd->m_hWnd;
  Targets()[m_hWnd] = this;
  if (IUiServices* services = UiServices()) services->AcceptDrops(m_hWnd, true);
  return TRUE;
}

void COleDropTarget::Revoke() {
  if (!m_hWnd) return;
  auto it = Targets().find(m_hWnd);
  if (it != Targets().end() && it->second == this) Targets().erase(it);
  if (g_session.target == m_hWnd) g_session.target = nullptr;
  if (IUiServices* services = UiServices(); services && IsLiveWindow(m_hWnd)) services->AcceptDrops(m_hWnd, false);
  m_hWnd = nullptr;
  m_wnd = nullptr;
}

DROPEFFECT COleDropTarget::OnDragEnter(CWnd*, COleDataObject*, DWORD, CPoint) { return DROPEFFECT_NONE; }
DROPEFFECT COleDropTarget::OnDragOver(CWnd*, COleDataObject*, DWORD, CPoint) { return DROPEFFECT_NONE; }
void COleDropTarget::OnDragLeave(CWnd*) {}
BOOL COleDropTarget::OnDrop(CWnd*, COleDataObject*, DROPEFFECT, CPoint) { return FALSE; }
DROPEFFECT COleDropTarget::OnDropEx(CWnd*, COleDataObject*, DROPEFFECT, DROPEFFECT, CPoint) {
  return static_cast<DROPEFFECT>(-1);
}
DROPEFFECT COleDropTarget::OnDragScroll(CWnd*, DWORD, CPoint) { return DROPEFFECT_NONE; }
