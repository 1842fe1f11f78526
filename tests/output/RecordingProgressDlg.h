#pragma once
// The progress dialog with a record of what it was posted and what its bar
// showed afterwards, and a flag for its end, for tests that drive it.

#include "output/COutputDialogs.h"
#include "output/CThreadProgressDlg.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace testsupport {

class RecordingProgressDlg : public CThreadProgressDlg {
public:
  using CThreadProgressDlg::CThreadProgressDlg;

  std::vector<int> posted; // wParam of each progress message (lParam 0)
  std::vector<int> shown;  // the bar's position after each of them
  int finishedWith = 0;    // wParam of the finish message
  std::atomic<bool> ended{false};

  const CProgressBarBase& Bar() const { return m_ProgressBar; }
  const CBasicButton& CancelButton() const { return m_Cancel; }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = CThreadProgressDlg::WindowProc(message, wParam, lParam);
    if (message == WM_APP_THREAD_PROGRESS && lParam == 0) {
      posted.push_back(static_cast<int>(wParam));
      shown.push_back(m_ProgressBar.GetPos());
    } else if (message == WM_APP_THREAD_PROGRESS) {
      finishedWith = static_cast<int>(wParam);
      ended = true;
    }
    return result;
  }

  // The modal run's script: serves the dialog until its worker finished.
  void PumpUntilEnded() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ended && std::chrono::steady_clock::now() < deadline) {
      platform::testing::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
};

// The program's output dialogs with the recording progress dialog.
class ProgressOutputDialogs : public COutputDialogs {
public:
  std::vector<int> posted, shown;
  INT_PTR result = 0;
  INT_PTR RunThreadProgress(CWnd* owner, const std::function<UINT(IThreadProgress&)>& worker) override {
    RecordingProgressDlg dialog(owner);
    platform::testing::OnNextModal([&dialog](HWND) { dialog.PumpUntilEnded(); });
    result = RunUnderProgressDialog(dialog, worker);
    posted = dialog.posted;
    shown = dialog.shown;
    return result;
  }
};

} // namespace testsupport
