#include "toolkit/ControlParts.h"

namespace {
HICON LoadIconAt(int id, const CRect& rect) {
  if (id == 0) return nullptr;
  return static_cast<HICON>(static_cast<void*>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, rect.Width(), rect.Height(), LR_DEFAULTCOLOR)));
}
} // namespace

void IconPart::Load(const CRect& where, int iconId, int pressedId) {
  Free();
  rect = where;
  icon = LoadIconAt(iconId, rect);
  pressed = LoadIconAt(pressedId, rect);
}

void IconPart::Free() {
  if (icon) DestroyIcon(icon);
  if (pressed) DestroyIcon(pressed);
  icon = pressed = nullptr;
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
