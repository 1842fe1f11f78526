#pragma once
// The toolkit's splitter: bars filled with the toolkit's grey and pane
// borders drawn as a 4-pixel grey outline. A derived splitter narrows the
// tracking limits after StartTracking.

#include "platform/afx/AfxExt.h"

class CSplitterWndBase : public CSplitterWnd {
protected:
  void OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect) override;
  void StartTracking(int hitTest) override;
};
