#pragma once
// The toolkit's modal dialog: the grey look, and while it runs every top
// window of the program is disabled (the main frame, each review window and
// both palettes, as the main frame collects them), not only its parent. It
// disables only the windows that were enabled and enables exactly those
// again, in the same order, when its window is destroyed (also when the run
// ends by an exception).

#include "platform/afx/AfxDialog.h"

#include <vector>

// Who the program's top windows are: the main frame installs itself once it
// exists (CMainFrame::CollectTopWindows). Without a collector the main window
// alone counts.
class ITopWindowCollector {
public:
  virtual ~ITopWindowCollector() = default;
  // Appends to the caller's array.
  virtual void CollectTopWindows(std::vector<CWnd*>& windows) = 0;
};
void SetTopWindowCollector(ITopWindowCollector* collector);

class CDialogBase : public CDialog {
public:
  CDialogBase(UINT templateId, CWnd* parent);
  ~CDialogBase() override;

  INT_PTR DoModal() override;
  BOOL DestroyWindow() override;
  const std::vector<CWnd*>& DisabledWindows() const { return m_disabledWindows; }

protected:
  // Grey for CTLCOLOR_DLG; every other kind is the framework's.
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind);
  DECLARE_MESSAGE_MAP()

  std::vector<CWnd*> m_disabledWindows;
  CBrush m_backgroundBrush;
};
