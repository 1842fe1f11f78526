// The small dialogs the main frame's commands run: the message box, the
// rename dialogs, the batch white-balance dialog and the monitor check. They
// come from the browser's dialog library; a build without it
// (LUMITRA_FRAME_HAS_BROWSER_DIALOGS unset) has none of them: every question
// is answered with cancel (12), which changes nothing, and the commands that
// need a dialog are disabled.

#include "shell/frame/CMainFrame.h"

#include "shell/app/CLumitraApp.h"

namespace {

constexpr INT_PTR kMessageCancel = 12;

} // namespace

INT_PTR CMainFrame::RunMessageDlgText(int style, int textId) {
  FString text;
  if (CLumitraApp* app = GetLumitraApp()) {
    app->GetString(textId, text);
  }
  return RunMessageDlg(style, text);
}

#if LUMITRA_FRAME_HAS_BROWSER_DIALOGS
#error "bind the browser's dialogs here"
#else

INT_PTR CMainFrame::RunMessageDlg(int, const FString&) { return kMessageCancel; }

BOOL CMainFrame::RunRenameOneDlg(const FString&, FString*) { return FALSE; }

BOOL CMainFrame::RunBatchRenameDlg(const std::vector<FString>&, std::vector<FString>*) { return FALSE; }

BOOL CMainFrame::RunBatchWBDlg(const std::vector<FString>&, BOOL, std::vector<std::pair<FString, int>>*) {
  return FALSE;
}

void CMainFrame::RunCheckMonitorDlg() {}

BOOL CMainFrame::HasBrowserDialogs() const { return FALSE; }

BOOL CMainFrame::HasCheckMonitorDlg() const { return FALSE; }

#endif
