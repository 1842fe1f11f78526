#pragma once
// What the toolkit's polling controls share: a part drawn from an icon and
// its pressed form (loaded at the part's size, owned), and the live mouse
// state they read instead of capturing the mouse.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

struct IconPart {
  IconPart() = default;
  ~IconPart() { Free(); }
  IconPart(const IconPart&) = delete;
  IconPart& operator=(const IconPart&) = delete;
  // Places the part and loads its icons (id 0: none) at its size.
  void Load(const CRect& where, int iconId, int pressedId);
  void Free();
  // Draws the pressed icon when asked and there is one, else the normal one.
  void Draw(CDC* dc, bool drawPressed) const;

  CRect rect;
  HICON icon = nullptr;
  HICON pressed = nullptr;
};

bool LeftButtonDown();
// The cursor in the window's client coordinates.
CPoint CursorIn(const CWnd& wnd);
