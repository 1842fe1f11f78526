#include "output/print/PrintLoadWorker.h"

#include "output/COutputDialogs.h"
#include "output/CThreadProgressDlg.h"
#include "output/print/AppPrintPictureSource.h"
#include "shell/app/AppMessages.h"

#include "platform/win/WinBase.h"
#include "platform/win/WinUser.h"

namespace {

void Post(const PrintLoadParam& job, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!job.progress) return;
  if (HWND window = job.progress->GetProgressWindow()) PostMessageW(window, message, wParam, lParam);
}

} // namespace

UINT PrintLoadThreadProc(LPVOID param) {
  auto& job = *static_cast<PrintLoadParam*>(param);
  if (job.pictures && job.source) {
    PreparePrintPictures(
        *job.pictures, job.filterStills != FALSE, job.settings, *job.source,
        [&job](int n, int count) {
          Post(job, WM_APP_PRINT_PROGRESS, static_cast<WPARAM>(n), static_cast<LPARAM>(count));
          Post(job, WM_APP_THREAD_PROGRESS, 0, 0);
          Sleep(job.startPause);
        },
        [&job] {
          Post(job, WM_APP_THREAD_PROGRESS, 100, 0);
          Sleep(job.endPause);
        });
  }
  Post(job, WM_APP_THREAD_PROGRESS, 100, 1);
  return 0;
}

void RunPrintPreparation(CThreadProgressDlg& progress, CWnd* printDialog, const std::vector<CET_PrintPictData*>& list,
                         BOOL filterStills, const CET_FilterData* settings) {
  IThreadProgressDialog* dialog = &progress;
  AppPrintPictureSource source(printDialog, ThreadProgressCallback, dialog);
  PrintLoadParam param;
  param.pictures = &list;
  param.filterStills = filterStills;
  param.settings = settings;
  param.progress = dialog;
  param.source = &source;
  progress.SetCancelEnabled(FALSE);
  RunUnderProgressDialog(progress, [&param](IThreadProgress&) { return PrintLoadThreadProc(&param); });
}
