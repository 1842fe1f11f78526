#pragma once
// What the main frame asks of the saving, printing, slide-show and preference
// dialogs and of the modal progress dialog its workers run under. Those
// dialogs are separate components; the main frame reaches them only through
// this interface. Each one the program does not have yet answers FALSE to
// Has(), and the commands that would run it are disabled.

#include "foundation/FString.h"
#include "platform/afx/AfxWin.h"

#include <functional>
#include <memory>
#include <vector>

class CET_ThumbnailDataManager;
class CKVR_FilterData;
class CSaveJob;
class CTLM_ThumbnailData;

enum class OutputDialog {
  Save,           // CSaveDlg and the batch-save progress CSaveMultiProgressDlg
  ExtractJpeg,    // CSaveDlg in extract mode and RunExtractJpegJob
  ThreadProgress, // CThreadProgressDlg
  Print,          // CTLM_PrintDlg
  SlideShow,      // CSlideShowParamDlg and CSlideShowDlg
  Preferences,    // CPreferenceDlg
};

// The progress dialog as its worker thread sees it (CThreadProgressDlg).
class IThreadProgress {
public:
  virtual ~IThreadProgress() = default;
  virtual void SetProgress(int percent) = 0;
  virtual BOOL IsCancelled() const = 0;
  // Posts WM_APP_THREAD_PROGRESS (percent, finished) to the dialog.
  virtual void PostProgress(int percent, BOOL finished) = 0;
};

// The outcome of a batch save.
struct SaveRunResult {
  std::vector<FString> doneFiles; // the inputs processed
  // One per processed file in setting mode 2 (automatic adjustment).
  std::vector<std::unique_ptr<CKVR_FilterData>> autoAdjustResults;
};

class IOutputDialogs {
public:
  virtual ~IOutputDialogs() = default;
  virtual BOOL Has(OutputDialog dialog) const = 0;

  // CSaveDlg for the browser's items (flag 1 develop and save, 0 extract the
  // embedded JPEG); after IDOK the job is filled. Returns the modal result.
  virtual INT_PTR RunSaveDialog(CWnd* owner, CET_ThumbnailDataManager* items, int flag, CSaveJob* job) = 0;
  // CSaveDlg for one image in its review-image mode (the rotate command asks
  // for a destination with it).
  virtual INT_PTR RunSaveDialogForImage(CWnd* owner, const CTLM_ThumbnailData* item, CSaveJob* job) = 0;
  // CSaveMultiProgressDlg, owned by `owner`; *running points to the dialog's
  // window while it runs modally and is null again afterwards.
  virtual void RunSaveProgress(CWnd* owner, CET_ThumbnailDataManager* items, CSaveJob* job, CWnd** running,
                               SaveRunResult* result) = 0;
  // The embedded-JPEG extraction worker under a progress dialog: TRUE when it
  // wrote files.
  virtual BOOL RunExtractJpegJob(const std::vector<FString>& inputs, const std::vector<FString>& outputs) = 0;
  // Runs `worker` on a worker thread under a modal CThreadProgressDlg owned
  // by `owner`: IDOK when it finished with 100, else IDCANCEL.
  virtual INT_PTR RunThreadProgress(CWnd* owner, const std::function<UINT(IThreadProgress&)>& worker) = 0;
  // CTLM_PrintDlg for a file (empty: the browser's files).
  virtual void RunPrintDialog(const FString& path) = 0;
  // CSlideShowParamDlg: FALSE unless it ended with OK.
  virtual BOOL RunSlideShowParams(int* effect, int* seconds, BOOL* loop) = 0;
  // CSlideShowDlg over the files; appends every file whose mark the user
  // changed during the show and its new mark flag.
  virtual void RunSlideShow(const std::vector<FString>& files, int effect, int seconds, BOOL loop,
                            std::vector<FString>* markPaths, std::vector<BYTE>* markFlags) = 0;
  virtual void RunPreferences() = 0;
};

// The frame's default until the output dialogs exist: none is there.
class CNoOutputDialogs final : public IOutputDialogs {
public:
  BOOL Has(OutputDialog) const override { return FALSE; }
  INT_PTR RunSaveDialog(CWnd*, CET_ThumbnailDataManager*, int, CSaveJob*) override { return IDCANCEL; }
  INT_PTR RunSaveDialogForImage(CWnd*, const CTLM_ThumbnailData*, CSaveJob*) override { return IDCANCEL; }
  void RunSaveProgress(CWnd*, CET_ThumbnailDataManager*, CSaveJob*, CWnd**, SaveRunResult*) override {}
  BOOL RunExtractJpegJob(const std::vector<FString>&, const std::vector<FString>&) override { return FALSE; }
  INT_PTR RunThreadProgress(CWnd*, const std::function<UINT(IThreadProgress&)>&) override { return IDCANCEL; }
  void RunPrintDialog(const FString&) override {}
  BOOL RunSlideShowParams(int*, int*, BOOL*) override { return FALSE; }
  void RunSlideShow(const std::vector<FString>&, int, int, BOOL, std::vector<FString>*, std::vector<BYTE>*) override {}
  void RunPreferences() override {}
};
