#pragma once
// A two-state icon button: its check state toggles with each click (the
// parent hears the click as well) and picks the checked icons.

#include "toolkit/CButtonBase.h"

class CCheckButton : public CButtonBase {
public:
  CCheckButton() = default;
  ~CCheckButton() override;

  virtual void SetCheck(int check);
  virtual int GetCheck() const { return m_check; }
  void SetCheckedIcon(int resourceId) { Replace(m_checkedIcon, resourceId); }
  void SetCheckedPushedIcon(int resourceId) { Replace(m_checkedPushedIcon, resourceId); }

protected:
  void DrawState(CDC* dc, const CRect& area, bool pushed, bool disabled) override;
  afx_msg LRESULT OnSetCheck(WPARAM check, LPARAM);
  afx_msg LRESULT OnGetCheck(WPARAM, LPARAM);
  afx_msg BOOL OnClicked();
  DECLARE_MESSAGE_MAP()

private:
  int m_check = 0;
  HICON m_checkedIcon = nullptr;
  HICON m_checkedPushedIcon = nullptr;
};
