#pragma once
// The progress dialog of a print page's preparation: what is being done and
// "n / count" of the picture being read above the bar; it cannot be
// cancelled (no Cancel button, Close greyed).

#include "output/CThreadProgressDlg.h"
#include "toolkit/CStaticBase.h"

class CPrintProgressDlg : public CThreadProgressDlg {
public:
  static constexpr UINT kTemplate = 283;
  static constexpr int kWhatId = 1165;
  static constexpr int kCountId = 1166;

  explicit CPrintProgressDlg(CWnd* parent = nullptr);
  ~CPrintProgressDlg() override;

  BOOL OnInitDialog() override;
  // Escape and Close ask nothing: the preparation always runs to its end.
  void OnCancel() override {}

protected:
  void DoDataExchange(CDataExchange* dx) override;
  // wParam: the number of the picture being read (from 1); lParam: how many.
  afx_msg LRESULT OnPrintProgress(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  CStaticBase m_What;
  CStaticBase m_Count;
};
