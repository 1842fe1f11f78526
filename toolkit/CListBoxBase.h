#pragma once
// The toolkit's list box: owner-drawn items (selected ones white on dark
// blue) in a font of the text table, and the toolkit's vertical bar beside
// it, shown only while the items do not all fit (the list then gives it 14
// pixels of its width). As the combo box's drop-down list it selects the
// item under the mouse and reports a click to its owner.

#include "platform/afx/AfxCtrls.h"
#include "toolkit/CScrollBarBase.h"

class CComboBoxBase;

class CListBoxBase : public CListBox {
public:
  CListBoxBase() = default;
  ~CListBoxBase() override;

  int AddString(LPCWSTR text);
  int DeleteString(UINT index);
  void ResetContent();
  // The font of that text-table entry (its text and colour are not used).
  void SetFontById(int textId);
  void UpdateScrollBar();

  void SetOwnerComboBox(CComboBoxBase* owner) { m_owner = owner; }
  void SetHoverSelection(BOOL on) { m_hoverSelection = on; }
  BOOL IsScrollBarShown() const { return m_barShown; }
  CScrollBarBase& VerticalBar() { return m_vertical; }

  void DrawItem(LPDRAWITEMSTRUCT dis) override;

protected:
  void PreSubclassWindow() override;
  bool CreateBar();
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()

private:
  // A mouse message handed to the bar in its client coordinates.
  void ForwardToBar(UINT message, UINT flags, CPoint point);

  CComboBoxBase* m_owner = nullptr;
  BOOL m_hoverSelection = FALSE;
  BOOL m_barCreated = FALSE;
  CScrollBarBase m_vertical;
  BOOL m_barShown = FALSE;
  CFont* m_font = nullptr;
};
