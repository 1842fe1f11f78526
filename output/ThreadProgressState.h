#pragma once
// What a progress dialog shares with its worker thread: the last percent the
// dialog accepted and the cancel flag, both behind one lock (a semaphore of
// count 1, taken with an infinite wait). Once cancellation is asked for, later
// percents are refused; only Reset clears the flag.

#include "platform/afx/AfxMt.h"

class ThreadProgressState {
public:
  // Percent 0 and no cancel, for a new worker.
  void Reset();
  // Stores the percent unless a cancel was asked for; TRUE when stored.
  BOOL Accept(int percent);
  int GetProgress() const;
  void SetCancel(BOOL cancel);
  BOOL IsCancelled() const;

private:
  mutable CSemaphore m_Lock{1, 1};
  int m_nProgress = 0;
  BOOL m_bCancel = FALSE;
};
