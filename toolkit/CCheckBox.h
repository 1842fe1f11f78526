#pragma once
// The toolkit's check box and radio button: the program's own marks beside a
// caption from the text table. A pressed box already shows its checked mark;
// a disabled one shows the disabled marks and caption. Clicking toggles the
// check (the parent hears the click as well); a radio button never clears
// its siblings.

#include "platform/afx/AfxButton.h"
#include "toolkit/CStringItemDrawer.h"

class CCheckBox : public CButton, public CStringItemDrawer {
public:
  CCheckBox() = default;
  ~CCheckBox() override;

  // 0: check-box marks (15 x 15), 1: radio marks (13 x 13); others change nothing.
  void SetIconStyle(int style);
  void SetBkColor(COLORREF colour) { m_background = colour; }
  virtual void SetCheck(int check);
  virtual int GetCheck() const { return m_check; }
  // The normal caption and the disabled caption (in the disabled colour) from one id.
  BOOL SetStringId(int id, UINT format) override;
  // The caption drawn as enabled, centred vertically by hand.
  void Draw(CDC* dc, CRect rect) override;
  void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
  void PreSubclassWindow() override;
  void DrawCaption(CDC* dc, CRect rect, bool disabled);
  afx_msg LRESULT OnSetCheck(WPARAM check, LPARAM);
  afx_msg LRESULT OnGetCheck(WPARAM, LPARAM);
  afx_msg BOOL OnClicked();
  DECLARE_MESSAGE_MAP()

private:
  static void PaintState(CDC* dc, RECT area, void* self, void* item);
  void FreeMarks();
  int m_check = 0;
  CSize m_markSize;
  HICON m_unchecked = nullptr;
  HICON m_checked = nullptr;
  HICON m_uncheckedDisabled = nullptr;
  HICON m_checkedDisabled = nullptr;
  DRAWITEMSTRUCT m_item;
  COLORREF m_background = kToolkitBackground;
  CStringItemDrawer m_disabledCaption;
};
