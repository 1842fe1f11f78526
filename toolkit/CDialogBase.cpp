#include "toolkit/CDialogBase.h"

namespace {
ITopWindowCollector* g_collector = nullptr;
}

void SetTopWindowCollector(ITopWindowCollector* collector) { g_collector = collector; }

BEGIN_MESSAGE_MAP(CDialogBase, CDialog)
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CDialogBase::CDialogBase(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {
  m_backgroundBrush.CreateSolidBrush(RGB(89, 89, 89));
}

CDialogBase::~CDialogBase() = default;

INT_PTR CDialogBase::DoModal() {
  m_disabledWindows.clear();
  if (CWnd* main = AfxGetMainWnd()) {
    std::vector<CWnd*> windows;
    if (g_collector) {
      g_collector->CollectTopWindows(windows);
    } else {
      windows.push_back(main);
    }
    // Windows already disabled (behind another dialog) are left to whoever disabled them.
    for (CWnd* wnd : windows) {
      if (wnd && IsWindow(wnd->m_hWnd) && wnd->IsWindowEnabled()) {
        wnd->EnableWindow(FALSE);
        m_disabledWindows.push_back(wnd);
      }
    }
  }
  return CDialog::DoModal();
}

BOOL CDialogBase::DestroyWindow() {
  for (CWnd* wnd : m_disabledWindows) {
    if (IsWindow(wnd->m_hWnd)) wnd->EnableWindow(TRUE);
  }
  m_disabledWindows.clear();
  return CDialog::DestroyWindow();
}

HBRUSH CDialogBase::OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) {
  if (kind == CTLCOLOR_DLG) return m_backgroundBrush;
  return CDialog::OnCtlColor(dc, wnd, kind);
}
