#pragma once
// The output dialogs the program has, as the main frame reaches them: so far
// the progress dialog its workers run under (the rotate commands), the
// preferences, the print dialog and the slide show. The others answer FALSE
// to Has and their commands stay disabled.

#include "shell/frame/OutputDialogs.h"

class CThreadProgressDlg;

// Runs the worker on a thread of its own under the dialog (created suspended,
// resumed once the dialog is up); the dialog's end code, or IDCANCEL without
// the dialog when the thread cannot be made.
INT_PTR RunUnderProgressDialog(CThreadProgressDlg& dialog, const std::function<UINT(IThreadProgress&)>& worker);

class COutputDialogs : public IOutputDialogs {
public:
  BOOL Has(OutputDialog dialog) const override;
  INT_PTR RunSaveDialog(CWnd*, CET_ThumbnailDataManager*, int, CSaveJob*) override { return IDCANCEL; }
  INT_PTR RunSaveDialogForImage(CWnd*, const CTLM_ThumbnailData*, CSaveJob*) override { return IDCANCEL; }
  void RunSaveProgress(CWnd*, CET_ThumbnailDataManager*, CSaveJob*, CWnd**, SaveRunResult*) override {}
  BOOL RunExtractJpegJob(const std::vector<FString>&, const std::vector<FString>&) override { return FALSE; }
  INT_PTR RunThreadProgress(CWnd* owner, const std::function<UINT(IThreadProgress&)>& worker) override;
  void RunPrintDialog(const FString& path) override;
  BOOL RunSlideShowParams(int* effect, int* seconds, BOOL* loop) override;
  void RunSlideShow(const std::vector<FString>& files, int effect, int seconds, BOOL loop,
                    std::vector<FString>* markPaths, std::vector<BYTE>* markFlags) override;
  void RunPreferences() override;
};
