#pragma once
// The toolkit's combo box: a plain child window that paints its text and a
// drop button and opens a borderless pop-up (CComboContentDlg, template 171)
// holding a CListBoxBase as its drop-down list. The list selects the item
// under the mouse; a click takes it, sets the text and sends the parent
// CBN_SELCHANGE as a system combo box would. The drop-down closes when
// another window becomes active.

#include "platform/afx/AfxDialog.h"
#include "toolkit/CListBoxBase.h"

#include <string>

// The drop-down of a combo box: a pop-up dialog on template 171, its list
// box 1059 filling it (14 pixels narrower while the list's bar shows).
class CComboContentDlg : public CDialog {
public:
  static constexpr UINT kTemplate = 171;
  static constexpr int kListId = 1059;
  CComboContentDlg();
  // Registers template 171 (once).
  static void RegisterTemplate();
  CListBoxBase m_list;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};

class CComboBoxBase : public CWnd {
public:
  CComboBoxBase();
  ~CComboBoxBase() override;

  int AddString(LPCWSTR text) { return m_dropDown.m_list.AddString(text); }
  int DeleteString(UINT index) { return m_dropDown.m_list.DeleteString(index); }
  void ResetContent() { m_dropDown.m_list.ResetContent(); }
  int FindString(int start, LPCWSTR text) const { return m_dropDown.m_list.FindString(start, text); }
  void GetLBText(int index, std::u16string& text) const { m_dropDown.m_list.GetText(index, text); }
  int GetCount() const { return m_dropDown.m_list.m_hWnd ? m_dropDown.m_list.GetCount() : 0; }
  int GetCurSel() const { return m_dropDown.m_list.m_hWnd ? m_dropDown.m_list.GetCurSel() : -1; }
  int SetItemData(int index, DWORD_PTR data) { return m_dropDown.m_list.SetItemData(index, data); }
  DWORD_PTR GetItemData(int index) const { return m_dropDown.m_list.GetItemData(index); }
  int SetItemDataPtr(int index, void* data) { return m_dropDown.m_list.SetItemDataPtr(index, data); }
  void* GetItemDataPtr(int index) const { return m_dropDown.m_list.GetItemDataPtr(index); }
  // Selects the item; the text becomes its text, or empty for -1 or a refused index.
  int SetCurSel(int index);
  std::u16string GetText() const { return m_text; }
  void SetText(const std::u16string& text);
  void SetDropDownCount(int count) { m_dropDownCount = count; }
  // Font and text colour from the entry; its font for the list too.
  void SetTextStyleById(int textId);
  // The disabled text colour from the entry.
  void SetTextColorById(int textId);
  void EnableAndRedraw(BOOL enable);
  void ShowDropDown(BOOL show);
  BOOL IsDroppedDown() const;
  CComboContentDlg& DropDown() { return m_dropDown; }

protected:
  // Attached to its dialog item: the icons and the drop-down.
  void PreSubclassWindow() override;
  void LoadImages();
  void PostNcDestroy() override;
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnListSelChange();
  DECLARE_MESSAGE_MAP()

private:
  void FreeIcons();

  std::u16string m_text;
  COLORREF m_textColour = RGB(0, 0, 0);
  COLORREF m_disabledTextColour = RGB(178, 178, 178);
  CFont* m_font = nullptr;
  CComboContentDlg m_dropDown;
  CSize m_iconSize{0, 0};
  HICON m_icons[3] = {nullptr, nullptr, nullptr}; // normal, 173, disabled
  int m_dropDownCount = 3;
  int m_dropDownExtraHeight = 4;
};
