#pragma once
// The toolkit's icon push button: drawn from a normal, a pushed and a
// disabled icon (the disabled one wins over the pushed one), with an
// optional caption that moves a pixel right and down while pushed; a
// disabled button shows its disabled caption, or none.

#include "platform/afx/AfxButton.h"
#include "toolkit/CStringItemDrawer.h"

class CButtonBase : public CButton, public CStringItemDrawer {
public:
  CButtonBase() = default;
  ~CButtonBase() override;

  // The size the icon setters load at and icons are drawn at; (0, 0): each
  // icon's own size.
  void SetIconSize(int cx, int cy) { m_iconSize = CSize(cx, cy); }
  void SetIcon(int resourceId) { Replace(m_icon, resourceId); }
  void SetPushedIcon(int resourceId) { Replace(m_pushedIcon, resourceId); }
  void SetDisabledIcon(int resourceId) { Replace(m_disabledIcon, resourceId); }
  void SetBkColor(COLORREF colour) { m_background = colour; }
  BOOL SetDisabledStringId(int id, UINT format) { return m_disabledCaption.SetStringId(id, format); }
  void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
  void PreSubclassWindow() override;
  // The drawing of one state (pushed, disabled) into the memory DC's area.
  virtual void DrawState(CDC* dc, const CRect& area, bool pushed, bool disabled);
  void Replace(HICON& icon, int resourceId);
  void DrawIconAt(CDC* dc, HICON icon) const;

  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  DECLARE_MESSAGE_MAP()

  CSize m_iconSize;
  HICON m_icon = nullptr;
  HICON m_pushedIcon = nullptr;
  HICON m_disabledIcon = nullptr;
  DRAWITEMSTRUCT m_item;
  COLORREF m_background = kToolkitBackground;
  CStringItemDrawer m_disabledCaption;
  CRect m_captionRect;

private:
  static void PaintState(CDC* dc, RECT area, void* self, void* item);
};
