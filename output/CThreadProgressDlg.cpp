#include "output/CThreadProgressDlg.h"

#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinBase.h"
#include "platform/win/WinGdiText.h"

#include <cstdio>
#include <mutex>

namespace {

constexpr int kTitleTextId = 5900;
constexpr int kCancelTextId = 5903;

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 80;
constexpr RECT kProgressBarRect{20, 20, 280, 38};
constexpr RECT kCancelRect{100, 50, 200, 73};

// The finish message's wait: this many 10 ms steps before the worker counts
// as lingering.
constexpr int kFinishWaitSteps = 100;
constexpr DWORD kFinishWaitStepMs = 10;

// A bar move a worker asked for, carried to the dialog's own thread.
constexpr UINT WM_APP_PROGRESS_BAR = WM_APP + 0x7F;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    dialogs::RegisterPixelTemplate(
        CThreadProgressDlg::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(CThreadProgressDlg::kProgressBarId, u"Static", WS_VISIBLE, kProgressBarRect),
         PixelItem(IDCANCEL, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CThreadProgressDlg, CDialogBase)
ON_MESSAGE(WM_APP_START_THREAD, OnStartThread)
ON_MESSAGE(WM_APP_THREAD_PROGRESS, OnThreadProgress)
ON_MESSAGE(WM_APP_PROGRESS_BAR, OnThreadProgress)
END_MESSAGE_MAP()

CThreadProgressDlg::CThreadProgressDlg(CWnd* parent) : CThreadProgressDlg(kTemplate, parent) {}

CThreadProgressDlg::CThreadProgressDlg(UINT templateId, CWnd* parent) : CDialogBase(templateId, parent) {
  RegisterTemplate();
}

CThreadProgressDlg::~CThreadProgressDlg() = default;

void CThreadProgressDlg::SetCancelEnabled(BOOL enabled) { m_bCancelEnabled = enabled; }

void CThreadProgressDlg::SetThread(CWinThread* thread) {
  m_pThread = thread;
  m_State.Reset();
}

void CThreadProgressDlg::SetProgress(int percent) {
  if (!m_State.Accept(percent) || !GetSafeHwnd()) return;
  // Windows belong to the dialog's thread: a worker's move is posted there.
  if (GetCurrentThreadId() != m_nWindowThread) {
    PostMessage(WM_APP_PROGRESS_BAR, static_cast<WPARAM>(percent), 0);
    return;
  }
  m_ProgressBar.SetPos(percent);
}

int CThreadProgressDlg::GetProgress() const { return m_State.GetProgress(); }

void CThreadProgressDlg::SetCancel(BOOL cancel) { m_State.SetCancel(cancel); }

BOOL CThreadProgressDlg::IsCancelled() const { return m_State.IsCancelled(); }

INT_PTR CThreadProgressDlg::DoModal() { return CDialogBase::DoModal(); }

void CThreadProgressDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, IDCANCEL, m_Cancel);
  DDX_Control(dx, kProgressBarId, m_ProgressBar);
}

BOOL CThreadProgressDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  m_nWindowThread = GetCurrentThreadId();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  m_ProgressBar.SetRange32(0, 100);
  m_ProgressBar.SetPos(0);
  dialogs::Place(m_ProgressBar, kProgressBarRect);
  m_Cancel.SetStringId(kCancelTextId, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dialogs::Place(m_Cancel, kCancelRect);
  m_Cancel.ShowWindow(m_bCancelEnabled ? SW_SHOW : SW_HIDE);
  // The worker starts only once this window exists and its loop runs.
  PostMessage(WM_APP_START_THREAD);
  return TRUE;
}

void CThreadProgressDlg::OnCancel() { SetCancel(TRUE); }

LRESULT CThreadProgressDlg::OnStartThread(WPARAM, LPARAM) {
  if (m_pThread) m_pThread->ResumeThread();
  return 0;
}

LRESULT CThreadProgressDlg::OnThreadProgress(WPARAM wParam, LPARAM lParam) {
  const int percent = static_cast<int>(wParam);
  if (lParam == 0) {
    SetProgress(percent);
    return 0;
  }
  if (m_pThread) WaitForWorker();
  EndDialog(percent == 100 ? IDOK : IDCANCEL);
  return 0;
}

// The finish message is the worker's last action, so its thread ends at once.
// One that lingers is waited for all the same (killing it could leave a lock
// held or a file half written), still serving what it sends to this thread.
void CThreadProgressDlg::WaitForWorker() {
  const HANDLE thread = m_pThread->m_hThread;
  for (int step = 0;; ++step) {
    DWORD exitCode = 0;
    if (!GetExitCodeThread(thread, &exitCode) || exitCode != STILL_ACTIVE) return;
    if (step > kFinishWaitSteps) break;
    WaitForThreadWithPump(thread, kFinishWaitStepMs);
  }
  std::fprintf(stderr, "progress dialog: the worker goes on after its finish message; waiting for it\n");
  WaitForThreadWithPump(thread, INFINITE);
}
