#pragma once
// The review view's develop state and the part of the view's behaviour that
// starts, parks, cancels and replaces the develop worker's runs.

#include "platform/afx/AfxMt.h"
#include "platform/afx/AfxWin.h"
#include "review/core/ReviewDevelop.h"

#include <memory>

// What the develop control asks of its view and frame.
class ReviewDevelopOwner {
public:
  virtual ~ReviewDevelopOwner() = default;
  virtual void ShowSettingSelection(int slot, const FString& name) = 0;
  virtual void EnableFileButtons(BOOL enable) = 0;
  // The image pane: fit mode, its zoom factor and its client size.
  virtual BOOL IsPaneFitMode() = 0;
  virtual double GetPaneZoom() = 0;
  virtual FIntSize GetPaneClientSize() = 0;
  // The frame waits to close; PostCloseToFrame posts it WM_CLOSE.
  virtual BOOL IsClosePending() = 0;
  virtual void PostCloseToFrame() = 0;
};

// The review view's develop state: the job record, the running worker (a
// flag only: the thread deletes itself), the request parked while an image's
// first development runs, and the cancel flag under its own lock.
class ReviewDevelopControl {
public:
  // The view stops a running worker (StopWorker) before it destroys the control.
  ReviewDevelopControl(CWnd* view, ReviewDevelopOwner* owner, ReviewDevelopServices* services);
  ReviewDevelopControl(const ReviewDevelopControl&) = delete;
  ReviewDevelopControl& operator=(const ReviewDevelopControl&) = delete;

  // Develops the current image again with a slot: parked while the image's
  // first development runs (the latest request wins), otherwise the running
  // worker is stopped and a new one started.
  void StartDevelop(int slot, CFilterDataSlots* slots);
  // Cancels and ends a running worker, dispatching the thread's messages
  // meanwhile; TRUE when no worker runs any longer. FALSE when a stop is already
  // under way further up (and force is FALSE) or the frame waits to close.
  BOOL StopWorker(BOOL force);
  BOOL IsCancelled();
  void DropParkedRequest();

  // Starts the worker for the job's file type with the job as it stands.
  void StartWorker();
  // The view's WM_APP_DEVELOP_DONE handler: the worker has ended.
  void OnWorkerDone() { m_pWorker = nullptr; }
  // The request parked during the first development (settings owned by the
  // caller), or null; clears it.
  std::unique_ptr<CET_FilterData> TakeParkedRequest(int& slot);

  BOOL IsWorkerRunning() const { return m_pWorker != nullptr; }
  BOOL HasParkedRequest() const { return m_bRestart; }
  BOOL IsReady() const { return m_bReady; }
  void SetReady(BOOL ready) { m_bReady = ready; }
  ReviewDevelopParam& Job() { return m_Job; }
  const ReviewDevelopParam& Job() const { return m_Job; }

private:
  void SetCancel(BOOL cancel);

  CWnd* m_pView;
  ReviewDevelopOwner* m_pOwner;
  ReviewDevelopParam m_Job;
  CWinThread* m_pWorker = nullptr;
  BOOL m_bReady = FALSE;
  BOOL m_bRestart = FALSE;
  std::unique_ptr<CET_FilterData> m_pParkedSettings;
  int m_nParkedSlot = 0;
  CSemaphore m_CancelLock{1, 1};
  BOOL m_bCancel = FALSE;
};
