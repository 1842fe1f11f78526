// The binding of the frame's pane interfaces to the browser's pane classes.
// It is the one file that includes their headers; a build without the
// browser library (LUMITRA_FRAME_HAS_BROWSER_PANES unset) makes no panes, and
// the frame then answers every question about the browser neutrally.

#include "shell/frame/BrowserPanes.h"

namespace {

class NoBrowserPanes final : public IBrowserPaneFactory {
public:
  std::unique_ptr<CSplitterWnd> NewSplitter() override { return nullptr; }
  const CRuntimeClass* FolderPaneClass() override { return nullptr; }
  const CRuntimeClass* ThumbPaneClass() override { return nullptr; }
  std::unique_ptr<IFolderPane> BindFolderPane(CWnd*) override { return nullptr; }
  std::unique_ptr<IThumbPane> BindThumbPane(CWnd*) override { return nullptr; }
};

} // namespace

IBrowserPaneFactory& BrowserPaneFactory() {
  static NoBrowserPanes factory;
  return factory;
}
