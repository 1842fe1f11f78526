#pragma once
// The output dialogs the program has, as the main frame reaches them: the
// progress dialog its workers run under (the rotate commands), the save
// dialog with the batch save and the extraction of embedded JPEG pictures,
// the preferences, the print dialog and the slide show.

#include "shell/frame/OutputDialogs.h"

class CThreadProgressDlg;

// Runs the worker on a thread of its own under the dialog (created suspended,
// resumed once the dialog is up); the dialog's end code, or IDCANCEL without
// the dialog when the thread cannot be made.
INT_PTR RunUnderProgressDialog(CThreadProgressDlg& dialog, const std::function<UINT(IThreadProgress&)>& worker);
// The same for a thread procedure: FALSE when the thread cannot be made;
// else the worker has ended and *exitCode holds its exit code, *result the
// dialog's end code (-1 when no window came up).
BOOL RunThreadUnderDialog(CThreadProgressDlg& dialog, AFX_THREADPROC procedure, void* parameter, INT_PTR* result,
                          DWORD* exitCode);

class COutputDialogs : public IOutputDialogs {
public:
  BOOL Has(OutputDialog dialog) const override;
  INT_PTR RunSaveDialog(CWnd* owner, CET_ThumbnailDataManager* items, int flag, CSaveJob* job) override;
  INT_PTR RunSaveDialogForImage(CWnd* owner, const CTLM_ThumbnailData* item, CSaveJob* job) override;
  void RunSaveProgress(CWnd* owner, CET_ThumbnailDataManager* items, CSaveJob* job, CWnd** running,
                       SaveRunResult* result) override;
  BOOL RunExtractJpegJob(const std::vector<FString>& inputs, const std::vector<FString>& outputs) override;
  INT_PTR RunThreadProgress(CWnd* owner, const std::function<UINT(IThreadProgress&)>& worker) override;
  void RunPrintDialog(const FString& path) override;
  BOOL RunSlideShowParams(int* effect, int* seconds, BOOL* loop) override;
  void RunSlideShow(const std::vector<FString>& files, int effect, int seconds, BOOL loop,
                    std::vector<FString>* markPaths, std::vector<BYTE>* markFlags) override;
  void RunPreferences() override;
};
