#include "output/COutputDialogs.h"

#include "output/CPreferenceDlg.h"
#include "output/CSaveDlg.h"
#include "output/CSaveMultiProgressDlg.h"
#include "output/SaveWorkers.h"
#include "output/CThreadProgressDlg.h"
#include "output/print/CTLM_PrintDlg.h"
#include "output/slideshow/CSlideShowDlg.h"
#include "output/slideshow/CSlideShowParamDlg.h"
#include "shell/app/AppMessages.h"

#include <memory>

namespace {

// The dialog as the worker sees it.
class DialogProgress final : public IThreadProgress {
public:
  explicit DialogProgress(CThreadProgressDlg& dialog) : m_Dialog(dialog) {}
  void SetProgress(int percent) override { m_Dialog.SetProgress(percent); }
  BOOL IsCancelled() const override { return m_Dialog.IsCancelled(); }
  void PostProgress(int percent, BOOL finished) override {
    m_Dialog.PostMessage(WM_APP_THREAD_PROGRESS, static_cast<WPARAM>(percent), finished ? 1 : 0);
  }

private:
  CThreadProgressDlg& m_Dialog;
};

struct WorkerCall {
  const std::function<UINT(IThreadProgress&)>* worker;
  DialogProgress* progress;
};

UINT WorkerThreadProc(LPVOID parameter) {
  auto* call = static_cast<WorkerCall*>(parameter);
  return (*call->worker)(*call->progress);
}

} // namespace

BOOL RunThreadUnderDialog(CThreadProgressDlg& dialog, AFX_THREADPROC procedure, void* parameter, INT_PTR* result,
                          DWORD* exitCode) {
  std::unique_ptr<CWinThread> thread(AfxBeginThread(procedure, parameter, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
  if (!thread) return FALSE;
  thread->m_bAutoDelete = FALSE;
  dialog.SetThread(thread.get());
  *result = dialog.DoModal();
  if (*result == -1) {
    // No window came up, so the worker never started: it is let run only to
    // see the cancel and end, as a thread cannot be left suspended.
    dialog.SetCancel(TRUE);
    thread->ResumeThread();
  }
  WaitForSingleObject(thread->m_hThread, INFINITE);
  *exitCode = 0;
  GetExitCodeThread(thread->m_hThread, exitCode);
  return TRUE;
}

INT_PTR RunUnderProgressDialog(CThreadProgressDlg& dialog, const std::function<UINT(IThreadProgress&)>& worker) {
  DialogProgress progress(dialog);
  WorkerCall call{&worker, &progress};
  INT_PTR result = IDCANCEL;
  DWORD exitCode = 0;
  if (!RunThreadUnderDialog(dialog, WorkerThreadProc, &call, &result, &exitCode) || result == -1) return IDCANCEL;
  return result;
}

BOOL COutputDialogs::Has(OutputDialog dialog) const {
  return dialog == OutputDialog::ThreadProgress || dialog == OutputDialog::Preferences ||
         dialog == OutputDialog::Save || dialog == OutputDialog::ExtractJpeg || dialog == OutputDialog::Print ||
         dialog == OutputDialog::SlideShow;
}

INT_PTR COutputDialogs::RunThreadProgress(CWnd* owner, const std::function<UINT(IThreadProgress&)>& worker) {
  CThreadProgressDlg dialog(owner);
  return RunUnderProgressDialog(dialog, worker);
}

// The browser's preferences command: modal, without a parent.
void COutputDialogs::RunPreferences() {
  CPreferenceDlg dialog(nullptr);
  dialog.DoModal();
}

INT_PTR COutputDialogs::RunSaveDialog(CWnd* owner, CET_ThumbnailDataManager* items, int flag, CSaveJob* job) {
  CSaveDlg dialog(owner);
  dialog.SetThumbnailList(items, flag);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) dialog.GetSaveJob(job);
  return result;
}

// The rotate commands choose the output of a turned image with it: as shot,
// nothing to write back.
INT_PTR COutputDialogs::RunSaveDialogForImage(CWnd* owner, const CTLM_ThumbnailData* item, CSaveJob* job) {
  CSaveDlg dialog(owner);
  dialog.SetReviewImage(item, 1, nullptr, 0);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) dialog.GetSaveJob(job);
  return result;
}

// The batch save, owned by the main window so that minimising it minimises
// the main window.
void COutputDialogs::RunSaveProgress(CWnd* owner, CET_ThumbnailDataManager* items, CSaveJob* job, CWnd** running,
                                     SaveRunResult* result) {
  CSaveMultiProgressDlg dialog(owner);
  dialog.SetJob(job);
  dialog.SetThumbnailList(items);
  if (running) *running = &dialog;
  dialog.DoModal();
  if (running) *running = nullptr;
  if (result) {
    dialog.GetDoneFiles(&result->doneFiles);
    dialog.GetAutoAdjustResults(&result->autoAdjustResults);
  }
}

BOOL COutputDialogs::RunExtractJpegJob(const std::vector<FString>& inputs, const std::vector<FString>& outputs) {
  CThreadProgressDlg dialog(nullptr);
  return ::RunExtractJpegJob(&inputs, &outputs, &dialog);
}

// The browser's print commands (empty path) and a single file's.
void COutputDialogs::RunPrintDialog(const FString& path) {
  CTLM_PrintDlg dialog(AfxGetMainWnd());
  dialog.SetSource(path);
  dialog.DoModal();
}

BOOL COutputDialogs::RunSlideShowParams(int* effect, int* seconds, BOOL* loop) {
  CSlideShowParamDlg dialog(nullptr);
  if (dialog.DoModal() != IDOK) return FALSE;
  dialog.GetParams(effect, seconds, loop);
  return TRUE;
}

void COutputDialogs::RunSlideShow(const std::vector<FString>& files, int effect, int seconds, BOOL loop,
                                  std::vector<FString>* markPaths, std::vector<BYTE>* markFlags) {
  CSlideShowDlg dialog(nullptr);
  dialog.SetParams(effect, seconds, loop);
  dialog.SetFileList(&files);
  dialog.DoModal();
  if (markPaths && markFlags) dialog.GetMarkChanges(*markPaths, *markFlags);
}
