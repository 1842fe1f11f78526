#include "review/core/ReviewDevelopControl.h"

ReviewDevelopControl::ReviewDevelopControl(CWnd* view, ReviewDevelopOwner* owner, ReviewDevelopServices* services)
    : m_pView(view), m_pOwner(owner) {
  m_Job.view = view;
  m_Job.control = this;
  m_Job.services = services;
}

BOOL ReviewDevelopControl::IsCancelled() {
  CSingleLock lock(&m_CancelLock, TRUE);
  return m_bCancel;
}

void ReviewDevelopControl::SetCancel(BOOL cancel) {
  CSingleLock lock(&m_CancelLock, TRUE);
  m_bCancel = cancel;
}

void ReviewDevelopControl::DropParkedRequest() {
  m_bRestart = FALSE;
  m_nParkedSlot = 0;
  m_pParkedSettings.reset();
}

std::unique_ptr<CET_FilterData> ReviewDevelopControl::TakeParkedRequest(int& slot) {
  if (!m_bRestart) {
    return nullptr;
  }
  slot = m_nParkedSlot;
  std::unique_ptr<CET_FilterData> settings = std::move(m_pParkedSettings);
  DropParkedRequest();
  return settings;
}

void ReviewDevelopControl::StartDevelop(int slot, CFilterDataSlots* slots) {
  if (slots) {
    FString name;
    {
      CSingleLock lock(slots, TRUE);
      const CET_FilterData* named = slots->PeekLocked(slot == CFilterDataSlots::kUser ? CFilterDataSlots::kUser
                                                                                      : CFilterDataSlots::kCustom);
      if (named) {
        name = named->m_strName;
      } else if (slot == CFilterDataSlots::kUser) {
        name = m_Job.services->GetUserSettingName();
      }
    }
    m_pOwner->ShowSettingSelection(slot, name);
    m_pOwner->EnableFileButtons(slots->IsModified(slot));
  }

  if (!m_bReady) {
    if (m_pWorker) {
      m_bRestart = TRUE;
      m_pParkedSettings.reset(slots ? slots->GetSlot(slot) : nullptr);
      m_nParkedSlot = slot;
    }
    return;
  }
  const bool raw = m_Job.fileType == kRawFileType;
  if (raw && m_pOwner->IsPaneFitMode()) {
    const FIntSize client = m_pOwner->GetPaneClientSize();
    if (client.width <= 0 || client.height <= 0) {
      return;  // nothing to fit into yet; the pane's next resize develops again
    }
  }
  if (m_pWorker && !StopWorker(FALSE)) {
    return;
  }
  m_Job.slot = slot;
  m_Job.slots = slots;
  const double zoom = m_pOwner->GetPaneZoom();
  if (raw && m_pOwner->IsPaneFitMode()) {
    m_Job.fullSize = FALSE;
    m_Job.fitSize = m_pOwner->GetPaneClientSize();
    m_Job.scale = 0.0;
  } else if (raw && zoom > 0.0 && zoom < 0.999999) {
    m_Job.fullSize = FALSE;
    m_Job.fitSize = FIntSize();
    m_Job.scale = 1.0 / zoom;
  } else {
    m_Job.fullSize = TRUE;
    m_Job.fitSize = FIntSize();
    m_Job.scale = 1.0;
  }
  m_Job.progressBase = 0;
  StartWorker();
}

void ReviewDevelopControl::StartWorker() {
  m_Job.view = m_pView;  // a reset job has forgotten its view
  m_Job.control = this;
  SetCancel(FALSE);
  m_pWorker = AfxBeginThread(m_Job.fileType == kRawFileType ? ReviewDevelopThreadProc : ReviewLoadThreadProc, &m_Job);
}

BOOL ReviewDevelopControl::StopWorker(BOOL force) {
  {
    CSingleLock lock(&m_CancelLock, TRUE);
    if (!m_pWorker) {
      return m_bCancel ? FALSE : TRUE;
    }
    if (m_bCancel && !force) {
      return FALSE;  // a stop is already under way further up the call stack
    }
    m_bCancel = TRUE;
  }
  MSG msg;
  while (m_pWorker) {
    while (::PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::DispatchMessage(&msg);
    }
    if (m_pWorker) {
      ::Sleep(20);
    }
  }
  SetCancel(FALSE);
  if (m_pOwner->IsClosePending()) {
    m_pOwner->PostCloseToFrame();
    return FALSE;
  }
  return TRUE;
}
