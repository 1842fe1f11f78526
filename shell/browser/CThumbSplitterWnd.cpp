#include "shell/browser/CThumbSplitterWnd.h"

void CThumbSplitterWnd::StartTracking(int hitTest) {
  CSplitterWndBase::StartTracking(hitTest);
  // Neither the folder tree nor the thumbnails may be squeezed to nothing.
  m_rectLimit.left += kLeftPaneMinimum;
  m_rectLimit.right -= kRightPaneMinimum;
}
