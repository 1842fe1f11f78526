// The small dialogs the main frame's commands run: the message box, the
// rename dialogs, the batch white-balance dialog and the monitor check.
// Tests of the frame's commands replace these functions.

#include "shell/frame/CMainFrame.h"

#include "shell/app/CCheckMonitorDlg.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/CBatchRenameDlg.h"
#include "shell/dialogs/CBatchRenameThumb.h"
#include "shell/dialogs/CBatchWBDlg.h"
#include "shell/dialogs/CMessageDlg.h"

INT_PTR CMainFrame::RunMessageDlgText(int style, int textId) {
  FString text;
  if (CLumitraApp* app = GetLumitraApp()) {
    app->GetString(textId, text);
  }
  return RunMessageDlg(style, text);
}

INT_PTR CMainFrame::RunMessageDlg(int style, const FString& message) {
  CMessageDlg dialog(this);
  dialog.SetMessage(style, message);
  return dialog.DoModal();
}

BOOL CMainFrame::RunRenameOneDlg(const FString& name, FString* newName) {
  CBatchRenameThumb dialog;
  dialog.SetFileName({name});
  if (dialog.DoModal() != IDOK) {
    return FALSE;
  }
  std::vector<FString> names;
  dialog.GetFileName(&names);
  if (names.empty()) {
    return FALSE;
  }
  *newName = names.front();
  return TRUE;
}

BOOL CMainFrame::RunBatchRenameDlg(const std::vector<FString>& names, std::vector<FString>* newNames) {
  CBatchRenameDlg dialog;
  dialog.SetFileNames(names);
  if (dialog.DoModal() != IDOK) {
    return FALSE;
  }
  dialog.GetFileNames(newNames);
  return newNames->size() == names.size();
}

BOOL CMainFrame::RunBatchWBDlg(const CET_ThumbnailDataManager* files, BOOL colorMode,
                               std::vector<std::pair<FString, int>>* choices) {
  CBatchWBDlg dialog(this);
  if (colorMode) {
    dialog.SetMode(CBatchWBDlg::kModeColorMode);
  }
  dialog.SetFiles(files);
  if (dialog.DoModal() != IDOK) {
    return FALSE;
  }
  std::vector<FString> paths;
  std::vector<UINT> indexes;
  dialog.GetResult(&paths, &indexes);
  for (size_t i = 0; i < paths.size() && i < indexes.size(); ++i) {
    choices->emplace_back(paths[i], static_cast<int>(indexes[i]));
  }
  return TRUE;
}

void CMainFrame::RunCheckMonitorDlg() {
  CCheckMonitorDlg dialog(this);
  dialog.DoModal();
}
