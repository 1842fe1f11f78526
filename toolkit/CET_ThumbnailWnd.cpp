#include "toolkit/CET_ThumbnailWnd.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/FileOperations.h"
#include "toolkit/OffscreenPaint.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/afx/AfxDC.h"

#include <algorithm>
#include <cstring>
#include <functional>

BEGIN_MESSAGE_MAP(CET_ThumbnailWnd, CWnd)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_VSCROLL()
  ON_WM_HSCROLL()
  ON_WM_DESTROY()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONDOWN()
  ON_WM_RBUTTONDOWN()
  ON_MESSAGE(WM_THUMB_ITEMLOADED, OnItemLoaded)
  ON_MESSAGE(WM_THUMB_RENAMEEND, OnRenameEnd)
END_MESSAGE_MAP()

namespace {

// The thumbnail window takes no drops: a drag over it shows the no-drop
// cursor and a drop changes nothing.
DROPEFFECT RefuseDragEnter(CWnd*, const FArray<FString>*, DWORD, CPoint) { return DROPEFFECT_MOVE; }
void IgnoreDragLeave(CWnd*) {}
DROPEFFECT RefuseDragOver(CWnd*, const FArray<FString>*, DWORD, CPoint) { return DROPEFFECT_NONE; }
BOOL RefuseDrop(CWnd*, const FArray<FString>*, DROPEFFECT, CPoint) { return FALSE; }
DROPEFFECT RefuseDropEx(CWnd*, const FArray<FString>*, DROPEFFECT, DROPEFFECT, CPoint) { return DROPEFFECT_NONE; }


bool IsCellOnScreen(const CRect& cell, const CRect& client) {
  return cell.left >= 0 && cell.left <= client.right && cell.top >= 0 && cell.top <= client.bottom;
}

} // namespace

CET_ThumbnailWnd::~CET_ThumbnailWnd() {
  StopLoader();
  m_Items.RemoveAll(TRUE);
}

void CET_ThumbnailWnd::LockItems() { m_ItemLock.Lock(INFINITE); }

void CET_ThumbnailWnd::UnlockItems() {
  if (m_ItemLock.IsLocked()) m_ItemLock.Unlock();
}

int CET_ThumbnailWnd::GetItemCount() const { return m_Items.GetCount(); }

void CET_ThumbnailWnd::Init() {
  m_DropTarget.Register(this);
  m_DropTarget.SetCallbacks(RefuseDragEnter, IgnoreDragLeave, RefuseDragOver, RefuseDrop, RefuseDropEx);
  m_bInitialized = TRUE;
  StopLoader();
  m_Items.RemoveAll(TRUE);
  SetThumbSize(0);
  if (!m_RenameEdit.GetSafeHwnd()) {
    m_RenameEdit.Create(WS_CHILD | ES_AUTOHSCROLL, CRect(0, 0, 0, 0), this, kThumbEditId);
    m_RenameEdit.ShowWindow(SW_HIDE);
  }
}

int CET_ThumbnailWnd::SetFolder(const FString& folder) {
  m_FolderPath = folder;
  FArray<FString> files;
  FArray<FString> patterns;
  patterns.Append(FString(u"*.*"));
  EnumFolderFiles(folder, &files, &patterns, true, false);
  return SetFiles(&files);
}

int CET_ThumbnailWnd::SetFiles(const FArray<FString>* paths) {
  StopLoader();
  m_Items.RemoveAll(TRUE);
  return AddFiles(paths, TRUE);
}

int CET_ThumbnailWnd::AddFiles(const FArray<FString>* paths, BOOL sort) {
  int added = 0;
  for (int i = 0; paths && i < paths->GetCount(); ++i) {
    if (CET_ThumbnailData* item = CreateItem((*paths)[i])) {
      ItemsLock hold(*this);
      m_Items.Add(item);
      ++added;
    }
  }
  if (added > 0) {
    if (sort) {
      ItemsLock hold(*this);
      m_Items.Sort(0, TRUE, nullptr);
    }
    RecalcLayout();
    StartLoader();
  }
  return added;
}

void CET_ThumbnailWnd::SetThumbSize(int index) {
  const int base = index == 1 ? 200 : index == 2 ? 400 : 100;
  // The caption's right edge stays at 95 whatever the size.
  SetLayout(base, base + 35, 10, 10, 2, 2, 10, 10, base - 10, base - 10, 5, base + 5, 95, base + 25);
}

void CET_ThumbnailWnd::SetLayout(int cellWidth, int cellHeight, int gapX, int gapY, int marginX, int marginY,
                                 int pictLeft, int pictTop, int pictRight, int pictBottom, int captionLeft,
                                 int captionTop, int captionRight, int captionBottom) {
  m_CellSize = CSize(cellWidth, cellHeight);
  m_Gap = CSize(gapX, gapY);
  m_Margin = CPoint(marginX, marginY);
  m_PictRect = CRect(pictLeft, pictTop, pictRight, pictBottom);
  m_CaptionRect = CRect(captionLeft, captionTop, captionRight, captionBottom);
  RecalcLayout();
}

void CET_ThumbnailWnd::RecalcLayout() {
  if (!GetSafeHwnd() || !m_bInitialized) return;
  CRect client;
  GetClientRect(client);
  const int stepX = m_CellSize.cx + m_Gap.cx;
  const int stepY = m_CellSize.cy + m_Gap.cy;
  m_Columns = stepX > 0 ? (client.Width() - m_Margin.x + m_Gap.cx) / stepX : 1;
  m_RowsPerPage = m_ScrollDirection == SB_HORZ ? 1 : stepY > 0 ? (client.Height() - m_Margin.y + m_Gap.cy) / stepY : 1;
  m_Columns = std::max(m_Columns, 1);
  m_RowsPerPage = std::max(m_RowsPerPage, 1);
  const int count = GetItemCount();
  const bool overflows = static_cast<long long>(m_Columns) * m_RowsPerPage < count;
  if (overflows) {
    if (m_FirstVisible >= count) m_FirstVisible = count - 1;
    // The top-left cell starts a row: clamp first, then round down.
    if (m_ScrollDirection != SB_HORZ) m_FirstVisible -= m_FirstVisible % m_Columns;
    m_FirstVisible = std::max(m_FirstVisible, 0);
  } else {
    m_FirstVisible = 0;
  }
  if (m_ScrollDirection == SB_VERT || m_ScrollDirection == SB_HORZ) {
    SCROLLINFO info{};
    GetScrollInfo(&info);
    CWnd::SetScrollInfo(m_ScrollDirection, &info, overflows);
    ShowScrollBar(static_cast<UINT>(m_ScrollDirection), overflows);
  }
}

void CET_ThumbnailWnd::GetScrollInfo(SCROLLINFO* info) const {
  if (!info) return;
  const int count = GetItemCount();
  info->cbSize = 28;
  info->fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info->nMin = 0;
  if (m_ScrollDirection == SB_HORZ) {
    info->nMax = count - 1;
    info->nPage = static_cast<UINT>(m_Columns);
    info->nPos = m_FirstVisible;
  } else {
    info->nMax = count / m_Columns - (count % m_Columns == 0 ? 1 : 0);
    info->nPage = static_cast<UINT>(m_RowsPerPage);
    info->nPos = m_FirstVisible / m_Columns;
  }
}

CRect CET_ThumbnailWnd::GetItemOrigin(int index) const {
  const int d = index - m_FirstVisible;
  int x = 0;
  int y = 0;
  if (m_ScrollDirection == SB_HORZ) {
    x = d * (m_CellSize.cx + m_Gap.cx);
  } else {
    // Floor division, so cells above the first row keep their columns.
    int row = d / m_Columns;
    int column = d % m_Columns;
    if (column < 0) {
      row -= 1;
      column += m_Columns;
    }
    x = column * (m_CellSize.cx + m_Gap.cx);
    y = row * (m_CellSize.cy + m_Gap.cy);
  }
  CRect cell(0, 0, m_CellSize.cx, m_CellSize.cy);
  cell.OffsetRect(x + m_Margin.x, y + m_Margin.y);
  return cell;
}

CRect CET_ThumbnailWnd::GetItemPictRect(int index) const {
  CRect rect = m_PictRect;
  const CRect cell = GetItemOrigin(index);
  rect.OffsetRect(cell.left, cell.top);
  return rect;
}

CRect CET_ThumbnailWnd::GetItemCaptionRect(int index) const {
  CRect rect = m_CaptionRect;
  const CRect cell = GetItemOrigin(index);
  rect.OffsetRect(cell.left, cell.top);
  return rect;
}

int CET_ThumbnailWnd::ScrollTo(int position) {
  SCROLLINFO info{};
  GetScrollInfo(&info);
  position = std::min(position, info.nMax - static_cast<int>(info.nPage) + 1);
  position = std::max(position, 0);
  m_FirstVisible = m_ScrollDirection == SB_HORZ ? position : position * m_Columns;
  info.nPos = position;
  if (m_ScrollDirection == SB_VERT || m_ScrollDirection == SB_HORZ) {
    CWnd::SetScrollInfo(m_ScrollDirection, &info, TRUE);
    ShowScrollBar(static_cast<UINT>(m_ScrollDirection), TRUE);
  }
  RedrawAll();
  return 1;
}

void CET_ThumbnailWnd::RedrawAll() {
  if (GetSafeHwnd()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CET_ThumbnailWnd::ScrollByBar(int bar, UINT code, UINT pos) {
  int position = CWnd::GetScrollPos(bar);
  const int page = bar == SB_VERT ? m_RowsPerPage : m_Columns;
  switch (code) {
  case SB_LINEUP: position -= 1; break;
  case SB_LINEDOWN: position += 1; break;
  case SB_PAGEUP: position -= page; break;
  case SB_PAGEDOWN: position += page; break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK: position = static_cast<int>(pos); break;
  case SB_TOP:
    if (bar == SB_VERT) position = 0;
    break;
  default: break;
  }
  ScrollTo(position);
}

void CET_ThumbnailWnd::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  ScrollByBar(SB_VERT, code, pos);
  CWnd::OnVScroll(code, pos, bar);
}

void CET_ThumbnailWnd::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  ScrollByBar(SB_HORZ, code, pos);
  CWnd::OnHScroll(code, pos, bar);
}

BOOL CET_ThumbnailWnd::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->hwnd == m_hWnd && (msg->wParam == VK_PRIOR || msg->wParam == VK_NEXT)) {
    // One row (or one item of a strip) per key, not a page.
    const int step = m_ScrollDirection == SB_HORZ ? 1 : m_Columns;
    bool moved = false;
    if (msg->wParam == VK_PRIOR && m_FirstVisible != 0) {
      m_FirstVisible -= step;
      moved = true;
    } else if (msg->wParam == VK_NEXT && m_RowsPerPage * m_Columns + m_FirstVisible < GetItemCount()) {
      m_FirstVisible += step;
      moved = true;
    }
    if (moved) {
      RecalcLayout();
      RedrawAll();
      return TRUE;
    }
  }
  return CWnd::PreTranslateMessage(msg);
}

void CET_ThumbnailWnd::OnPaint() {
  FreeRetiredPictures();
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  PaintOffscreen(&dc, client, [this](CDC* memory) { DrawItems(memory); });
}

void CET_ThumbnailWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

void CET_ThumbnailWnd::OnDestroy() {
  StopLoader();
  m_Items.RemoveAll(TRUE);
  CWnd::OnDestroy();
}

void CET_ThumbnailWnd::DrawItems(CDC* dc) {
  CRect client;
  GetClientRect(client);
  dc->FillSolidRect(client, RGB(255, 255, 255));
  if (!m_bInitialized) return;
  for (int i = 0; i < GetItemCount(); ++i) {
    if (IsCellOnScreen(GetItemOrigin(i), client)) DrawItem(dc, i, nullptr);
  }
}

void CET_ThumbnailWnd::DrawItem(CDC* dc, int index, const POINT* origin) {
  if (!m_bInitialized || !dc) return;
  CRect cell = GetItemOrigin(index);
  if (origin) cell = CRect(origin->x, origin->y, origin->x + cell.Width(), origin->y + cell.Height());
  // What the cell shows, read under the item lock; drawing runs without it.
  // The picture stays alive meanwhile: only this thread deletes pictures.
  bool present = false;
  bool selected = false;
  const CET_Dib* picture = nullptr;
  std::u16string name;
  {
    ItemsLock hold(*this);
    if (const CET_ThumbnailData* item = m_Items.GetAt(index)) {
      present = true;
      selected = item->m_bSelected != 0;
      picture = item->m_pDib;
      name = item->m_FileName.GetText();
    }
  }
  if (!present) {
    dc->FillSolidRect(cell, RGB(225, 225, 225));
    return;
  }
  dc->FillSolidRect(cell, selected ? RGB(192, 192, 255) : RGB(225, 225, 225));
  if (index == m_Anchor) {
    CPen dotted(PS_DOT, 1, RGB(0, 0, 0));
    CPen* oldPen = dc->SelectObject(&dotted);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->Rectangle(cell);
    if (oldBrush) dc->SelectObject(oldBrush->GetSafeHandle());
    dc->SelectObject(oldPen);
  }
  if (picture && picture->IsValid() && picture->header) {
    CRect frame = m_PictRect;
    frame.OffsetRect(cell.left, cell.top);
    const int width = picture->GetWidth();
    const int height = std::abs(picture->GetHeight());
    const CRect drawn = CET_Calc::FitRectInRect(frame, CRect(0, 0, width, height));
    // The source origin counts from the first memory row: the picture lands
    // upright either way.
    ::StretchDIBits(dc->m_hDC, drawn.left, drawn.top, drawn.Width(), drawn.Height(), 0, 0, width, height,
                    picture->bits, picture->header, DIB_RGB_COLORS, SRCCOPY);
  }
  CRect caption = m_CaptionRect;
  caption.OffsetRect(cell.left, cell.top);
  // The caption lies on the cell's colour; font and text colour are the DC's.
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  dc->DrawText(name, caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  dc->SetBkMode(oldMode);
}

CET_ThumbnailData* CET_ThumbnailWnd::CreateItem(const FString& path) {
  const int attributes = ReadFileAttributeWord(path);
  if (attributes == -1 || (attributes & 0x10)) return nullptr;
  const emETFILETYPE type = GetFileType(path);
  if (type != ETFILETYPE_JPEG && type != ETFILETYPE_TIFF && type != ETFILETYPE_BMP && type != ETFILETYPE_KVR) {
    return nullptr;
  }
  auto* item = new CET_ThumbnailData;
  item->m_Path = path;
  item->m_FileName = GetFileNamePart(path);
  item->m_Attributes = attributes;
  item->m_FileType = type;
  return item;
}

// ---- Selection, drag and rename -------------------------------------------------------

int CET_ThumbnailWnd::HitTest(CPoint point, bool* onCaption) const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if (GetItemOrigin(i).PtInRect(point)) {
      if (onCaption) *onCaption = GetItemCaptionRect(i).PtInRect(point) != FALSE;
      return i;
    }
  }
  if (onCaption) *onCaption = false;
  return -1;
}

bool CET_ThumbnailWnd::IsDragStarted(int button) {
  POINT start{};
  ::GetCursorPos(&start);
  while (::GetAsyncKeyState(button) & 0x8000) {
    POINT now{};
    ::GetCursorPos(&now);
    // One pixel vertically suffices; horizontally more than five.
    if (std::abs(now.x - start.x) > 5 || now.y != start.y) return true;
  }
  return false;
}

bool CET_ThumbnailWnd::SelectOnlyIfUnselected(int index) {
  ItemsLock hold(*this);
  const CET_ThumbnailData* hit = m_Items.GetAt(index);
  if (!hit || hit->m_bSelected) return false;
  SelectOnlyLocked(index);
  return true;
}

void CET_ThumbnailWnd::SelectOnly(int index) {
  ItemsLock hold(*this);
  SelectOnlyLocked(index);
}

void CET_ThumbnailWnd::SelectOnlyLocked(int index) {
  for (int i = 0; i < m_Items.GetCount(); ++i) {
    if (CET_ThumbnailData* item = m_Items.GetAt(i)) item->m_bSelected = i == index;
  }
}

void CET_ThumbnailWnd::OnLButtonDown(UINT flags, CPoint point) {
  m_PendingDrag = 0;
  const bool control = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
  const bool shift = (::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
  bool onCaption = false;
  const int hit = HitTest(point, &onCaption);
  if (hit < 0) {
    m_Anchor = -1;
  } else if (shift && m_Anchor >= 0) {
    const int first = std::min(m_Anchor, hit);
    const int last = std::max(m_Anchor, hit);
    ItemsLock hold(*this);
    for (int i = 0; i < m_Items.GetCount(); ++i) {
      if (CET_ThumbnailData* item = m_Items.GetAt(i)) item->m_bSelected = i >= first && i <= last;
    }
  } else if (control) {
    if (IsDragStarted(VK_LBUTTON)) {
      bool change = false;
      {
        ItemsLock hold(*this);
        CET_ThumbnailData* item = m_Items.GetAt(hit);
        change = item && !item->m_bSelected;
        if (item) item->m_bSelected = TRUE;
      }
      const bool anchorMoved = m_Anchor != hit;
      m_Anchor = hit;
      if (change || anchorMoved) RedrawAll();
      return; // the drag starts at the next mouse move
    }
    {
      ItemsLock hold(*this);
      if (CET_ThumbnailData* item = m_Items.GetAt(hit)) item->m_bSelected = !item->m_bSelected;
    }
    m_Anchor = hit;
  } else {
    if (IsDragStarted(VK_LBUTTON)) {
      const bool change = SelectOnlyIfUnselected(hit);
      const bool anchorMoved = m_Anchor != hit;
      m_Anchor = hit;
      if (change || anchorMoved) RedrawAll();
      return;
    }
    bool wasSelected = false;
    {
      ItemsLock hold(*this);
      const CET_ThumbnailData* item = m_Items.GetAt(hit);
      wasSelected = item && item->m_bSelected;
    }
    if (onCaption && wasSelected) {
      // No drag may follow: the next move would drag the files away while
      // their name is being edited.
      m_PendingDrag = -1;
      StartRename(hit);
      return;
    }
    SelectOnly(hit);
    m_Anchor = hit;
  }
  if (hit >= 0) RedrawAll();
  m_PendingDrag = -1;
  CWnd::OnLButtonDown(flags, point);
}

void CET_ThumbnailWnd::OnRButtonDown(UINT flags, CPoint point) {
  const int hit = HitTest(point, nullptr);
  if (hit < 0) {
    m_Anchor = -1;
    CWnd::OnRButtonDown(flags, point);
    return;
  }
  if (IsDragStarted(VK_RBUTTON)) {
    const bool change = SelectOnlyIfUnselected(hit);
    const bool anchorMoved = m_Anchor != hit;
    m_Anchor = hit;
    m_PendingDrag = 1;
    if (change || anchorMoved) RedrawAll();
    return;
  }
  SelectOnlyIfUnselected(hit);
  m_Anchor = hit;
  RedrawAll();
  CWnd::OnRButtonDown(flags, point);
}

void CET_ThumbnailWnd::OnMouseMove(UINT flags, CPoint point) {
  const int pending = m_PendingDrag;
  m_PendingDrag = -1;
  if (pending >= 0) DragSelectedFiles(pending == 0, nullptr);
  CWnd::OnMouseMove(flags, point);
}

void CET_ThumbnailWnd::StartRename(int index) {
  if (!m_RenameEdit.GetSafeHwnd()) return;
  std::u16string name;
  {
    ItemsLock hold(*this);
    if (const CET_ThumbnailData* item = m_Items.GetAt(index)) name = item->m_FileName.GetText();
  }
  m_RenameEdit.SetWindowText(name.c_str());
  m_RenameEdit.MoveWindow(GetItemCaptionRect(index));
  m_RenameEdit.ShowWindow(SW_SHOW);
  m_RenameEdit.SetFocus();
  m_RenameEdit.SendMessage(EM_SETSEL, 0, -1);
}

LRESULT CET_ThumbnailWnd::OnRenameEnd(WPARAM, LPARAM) {
  // Enter, a click outside and the focus loss may each post an end; the
  // first one hides the edit, the rest find it hidden.
  if (!m_RenameEdit.GetSafeHwnd() || !m_RenameEdit.IsWindowVisible()) return 0;
  m_RenamedText = FString(m_RenameEdit.GetWindowText().c_str());
  m_RenameEdit.ShowWindow(SW_HIDE);
  ++m_RenameEndCount;
  return 0;
}

int CET_ThumbnailWnd::DragSelectedFiles(BOOL, int* effect) {
  FArray<FString> paths;
  GetSelectedPaths(&paths);
  if (paths.GetCount() == 0) return 0;
  const std::vector<BYTE> block = MakeDropFilesBlock(&paths);
  if (block.empty()) return 0;
  HGLOBAL memory = GlobalAlloc(GHND, block.size());
  void* bytes = memory ? GlobalLock(memory) : nullptr;
  if (!bytes) {
    if (memory) GlobalFree(memory);
    return 0;
  }
  std::memcpy(bytes, block.data(), block.size());
  GlobalUnlock(memory);
  m_DragSource.CacheGlobalData(CF_HDROP, memory);
  DROPEFFECT result = m_DragSource.DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE);
  m_DragSource.Empty();
  if (result == DROPEFFECT_NONE) {
    // A file manager may move the files itself and answer nothing.
    for (int i = 0; i < paths.GetCount(); ++i) {
      if (ReadFileAttributeWord(paths[i]) == -1) {
        result = DROPEFFECT_MOVE;
        break;
      }
    }
  }
  if (result == DROPEFFECT_MOVE) {
    SetFolder(m_FolderPath);
    RedrawAll();
  }
  if (effect) *effect = static_cast<int>(result);
  return 1;
}

// ---- List queries -----------------------------------------------------------------------

namespace {

template <typename Visit>
void ForEachItem(const CET_ThumbnailDataManager& items, Visit visit) {
  for (int i = 0; i < items.GetCount(); ++i) {
    if (CET_ThumbnailData* item = items.GetAt(i)) visit(*item);
  }
}

bool IsSelectedStill(const CET_ThumbnailData& item) { return item.m_bSelected && IsStillFileType(item.m_FileType); }

} // namespace

int CET_ThumbnailWnd::GetSelectedCount() {
  int count = 0;
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) { count += item.m_bSelected ? 1 : 0; });
  return count;
}

int CET_ThumbnailWnd::CountSelectedStills() {
  int count = 0;
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) { count += IsSelectedStill(item) ? 1 : 0; });
  return count;
}

void CET_ThumbnailWnd::GetSelectedPaths(FArray<FString>* out) {
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) {
    if (item.m_bSelected) out->Append(item.m_Path);
  });
}

void CET_ThumbnailWnd::GetStillPaths(FArray<FString>* out) {
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) {
    if (IsStillFileType(item.m_FileType)) out->Append(item.m_Path);
  });
}

void CET_ThumbnailWnd::GetAllPaths(FArray<FString>* out) {
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) { out->Append(item.m_Path); });
}

void CET_ThumbnailWnd::GetSelectedItems(CET_ThumbnailDataManager* out) {
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) {
    if (item.m_bSelected) out->Add(item.Clone());
  });
}

void CET_ThumbnailWnd::CollectSelectedStills(CET_ThumbnailDataManager* out) {
  ItemsLock hold(*this);
  ForEachItem(m_Items, [&](const CET_ThumbnailData& item) {
    if (IsSelectedStill(item)) out->Add(item.Clone());
  });
}

void CET_ThumbnailWnd::GetAllItems(CET_ThumbnailDataManager* out) {
  ItemsLock hold(*this);
  if (m_Items.GetCount() > 0) out->CopyFrom(&m_Items);
}
