#pragma once
// What the toolkit's polling controls share: a part drawn from an icon and
// its pressed form (loaded at the part's size, owned), and the live mouse
// state they read instead of capturing the mouse.

#include "platform/afx/AfxButton.h"
#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "toolkit/CET_Calc.h"

// An icon of the program's resources loaded at cx x cy (0 x 0: its own
// size); null for id 0 or an id without a picture. The caller owns it.
HICON LoadIconResource(int id, int cx, int cy);
// Destroys an owned icon and nulls the handle.
void FreeIcon(HICON& icon);

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

// What the owner-drawn buttons share. The draw request is kept (copy), the
// stock NULL_BRUSH and TRANSPARENT mode set on the item's DC, and the item's
// rectangle painted through a memory DC by callback(memoryDC, area, self, &copy).
void PaintDrawItem(const DRAWITEMSTRUCT* item, DRAWITEMSTRUCT& copy, PaintMemoryDCCallback callback, void* self);
// A push button's caption rectangle: the client rectangle 4 pixels narrower at
// both sides, moved a pixel right and down while pushed (left and top + 1),
// else a pixel smaller (right and bottom - 1); empty without a window or
// client area.
CRect ButtonCaptionRect(const CWnd& button, bool pushed);
// A disabled caption from the text table: the entry of id in the disabled
// caption colour.
void SetDisabledCaption(class CStringItemDrawer& disabled, int id, UINT format);
