#pragma once
// Dialogs of the framework, Qt-free: a dialog is made from a registered
// template (platform::RegisterDialogTemplate, WinDialogs.h), its controls are
// the layer's own windows, and the program's control objects attach to them
// by data exchange (DDX_Control, that is SubclassDlgItem).
//
//   class CMyDlg : public CDialog {
//   public:
//     CMyDlg(CWnd* parent) : CDialog(300, parent) {}
//   protected:
//     void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1001, m_list); }
//     BOOL OnInitDialog() override { CDialog::OnInitDialog(); m_list.AddString(u"a"); return TRUE; }
//     CListBox m_list;
//   };
//   CMyDlg dlg(AfxGetMainWnd());
//   if (dlg.DoModal() == IDOK) ...
//
// DoModal disables the owner (when it is enabled), runs the modal loop until
// EndDialog and re-enables the owner before the dialog is destroyed, also when
// a handler throws. The dialog keys: Tab and Shift+Tab move the focus among
// the WS_TABSTOP controls in template order, Enter sends the default button's
// command (IDOK when there is none), Esc sends IDCANCEL; WM_CLOSE is IDCANCEL.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

class CDialog;

// Data exchange: only the binding of control objects to their items.
class CDataExchange {
public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
};
// Attaches the object to the dialog's control with the id, once.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
public:
  CDialog() = default;
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // The modal run: the result EndDialog gave, or -1 when the dialog could
  // not be made.
  virtual INT_PTR DoModal();
  // A modeless dialog; shown when its template says WS_VISIBLE.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  void EndDialog(int result);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void GotoDlgCtrl(CWnd* control);
  void SetDefID(UINT id);
  DWORD GetDefID() const;

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange* dx);
  // The dialog keys (IsDialogMessage) for key messages of its windows.
  BOOL PreTranslateMessage(MSG* msg) override;

  UINT m_nIDHelp = 0;
  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

protected:
  afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

private:
  friend struct DialogModalRun;
  bool m_modal = false;
  bool m_endPending = false;
  INT_PTR m_nModalResult = -1;
};
