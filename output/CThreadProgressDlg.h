#pragma once
// The modal progress dialog every long job of the user interface runs under.
// It owns nothing of the job: it is handed a worker thread created suspended
// (auto-delete off), resumes it once its window is up, shows the percents the
// worker posts (WM_APP_THREAD_PROGRESS), lets the user ask for cancellation
// and ends when the worker posts its finish message.
//
//   CThreadProgressDlg dialog(owner);
//   CWinThread* worker = AfxBeginThread(Proc, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
//   worker->m_bAutoDelete = FALSE;
//   dialog.SetThread(worker);
//   dialog.DoModal();            // IDOK when the worker finished with 100
//   delete worker;
//
// The worker posts (percent, 0) as it goes and (100 or -1, 1) exactly once as
// its last action; it asks IsCancelled between files. Cancel, Escape and Close
// only set the cancel flag: the dialog stays until the finish message. It then
// waits for the worker's thread to end while serving the messages the worker
// sends; a worker is never killed.

#include "output/ThreadProgressState.h"
#include "shell/app/AppClipboard.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CProgressBarBase.h"

class CThreadProgressDlg : public CDialogBase, public IThreadProgressDialog {
public:
  static constexpr UINT kTemplate = 245;
  static constexpr int kProgressBarId = 1044;

  explicit CThreadProgressDlg(CWnd* parent = nullptr);
  CThreadProgressDlg(UINT templateId, CWnd* parent);
  ~CThreadProgressDlg() override;

  // Before DoModal. FALSE hides the Cancel button (Escape still asks).
  virtual void SetCancelEnabled(BOOL enabled);
  // Before DoModal: the worker (not owned); progress 0, no cancel.
  virtual void SetThread(CWinThread* thread);
  // Any thread: stores the percent unless a cancel was asked for and moves
  // the bar (from a worker, the bar's move is posted to the dialog).
  virtual void SetProgress(int percent);
  virtual int GetProgress() const;
  virtual void SetCancel(BOOL cancel);
  BOOL IsCancelled() const override;
  HWND GetProgressWindow() const override { return GetSafeHwnd(); }

  INT_PTR DoModal() override;
  BOOL OnInitDialog() override;
  void OnCancel() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnStartThread(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnThreadProgress(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

  CBasicButton m_Cancel;
  CProgressBarBase m_ProgressBar;

private:
  void WaitForWorker();

  BOOL m_bCancelEnabled = TRUE;
  CWinThread* m_pThread = nullptr;
  ThreadProgressState m_State;
  DWORD m_nWindowThread = 0; // the thread that runs the dialog's window
};
