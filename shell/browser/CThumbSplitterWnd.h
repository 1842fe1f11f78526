#pragma once
// The splitter between the folder tree and the thumbnail view: a drag of its
// bar keeps the left pane about 250 pixels wide and the right one about 500.

#include "toolkit/CSplitterWndBase.h"

class CThumbSplitterWnd : public CSplitterWndBase {
public:
  // How far the tracking limits move in from the framework's.
  static constexpr int kLeftPaneMinimum = 250;
  static constexpr int kRightPaneMinimum = 500;

protected:
  void StartTracking(int hitTest) override;
};
