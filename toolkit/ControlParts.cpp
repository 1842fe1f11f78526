#include "toolkit/ControlParts.h"

#include "toolkit/CStringItemDrawer.h"

HICON LoadIconResource(int id, int cx, int cy) {
  if (id <= 0) return nullptr;
  return static_cast<HICON>(
      static_cast<void*>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
}

void FreeIcon(HICON& icon) {
  if (icon) DestroyIcon(icon);
  icon = nullptr;
}

namespace {
HICON LoadIconAt(int id, const CRect& rect) { return LoadIconResource(id, rect.Width(), rect.Height()); }
} // namespace

void IconPart::Load(const CRect& where, int iconId, int pressedId) {
  Free();
  rect = where;
  icon = LoadIconAt(iconId, rect);
  pressed = LoadIconAt(pressedId, rect);
}

void IconPart::Free() {
  FreeIcon(icon);
  FreeIcon(pressed);
}

void IconPart::Draw(CDC* dc, bool drawPressed) const {
  const HICON shown = drawPressed && pressed ? pressed : icon;
  if (shown) dc->DrawIcon(rect.left, rect.top, shown, rect.Width(), rect.Height());
}

bool LeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

CPoint CursorIn(const CWnd& wnd) {
  CPoint p;
  GetCursorPos(&p);
  wnd.ScreenToClient(&p);
  return p;
}

void PaintDrawItem(const DRAWITEMSTRUCT* item, DRAWITEMSTRUCT& copy, PaintMemoryDCCallback callback, void* self) {
  if (!item) return;
  copy = *item;
  CDC* dc = CDC::FromHandle(item->hDC);
  if (!dc) return;
  dc->SelectStockObject(NULL_BRUSH);
  dc->SetBkMode(TRANSPARENT);
  CET_Calc::PaintThroughMemoryDC(dc, item->rcItem, callback, self, &copy, nullptr);
}

CRect ButtonCaptionRect(const CWnd& button, bool pushed) {
  CRect client;
  if (!button.m_hWnd) return client;
  button.GetClientRect(&client);
  if (client.IsRectEmpty() || client.IsRectNull()) return CRect();
  client.DeflateRect(4, 0);
  if (pushed) {
    client.left += 1;
    client.top += 1;
  } else {
    client.right -= 1;
    client.bottom -= 1;
  }
  return client;
}

void SetDisabledCaption(CStringItemDrawer& disabled, int id, UINT format) {
  disabled.SetStringId(id, format);
  disabled.SetTextColor(kDisabledCaptionColour);
}