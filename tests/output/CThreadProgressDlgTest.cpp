// The progress dialog's protocol with a scripted worker: the worker starts
// once the dialog is up, its percents are shown, Cancel only raises the flag
// the worker reads, and the dialog ends on the worker's finish message (and
// only after the worker's thread has ended).

#include "output/RecordingProgressDlg.h"
#include "platform/testing/Headless.h"

#include "shell/app/AppClipboard.h"
#include "shell/app/CLumitraApp.h"
#include "support/BuildTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

namespace pt = platform::testing;
using testsupport::BuildTreeProgramPath;
using testsupport::RecordingProgressDlg;

// Waits on the worker's side until the condition holds (the dialog is served
// meanwhile by the modal script).
template <class Condition>
bool WaitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class ThreadProgressDlgTest : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    const std::filesystem::path data =
        std::filesystem::path(BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
    ASSERT_TRUE(app.LoadFontTable(PathFromNative((data / "Font.txt").string())));
  }
  // Runs the worker under the dialog; the script serves it until it ended.
  INT_PTR Run(const std::function<UINT(IThreadProgress&)>& worker) {
    pt::OnNextModal([this](HWND) { dialog.PumpUntilEnded(); });
    return RunUnderProgressDialog(dialog, worker);
  }

  CLumitraApp app;
  RecordingProgressDlg dialog;
};

TEST_F(ThreadProgressDlgTest, TheWorkerStartsOnceTheDialogIsUpAndItsFinishEndsTheDialog) {
  std::atomic<bool> dialogWasUp{false};
  std::thread::id workerThread;
  const INT_PTR result = Run([&](IThreadProgress& progress) {
    dialogWasUp = IsWindow(dialog.GetSafeHwnd()) != FALSE;
    workerThread = std::this_thread::get_id();
    progress.PostProgress(100, TRUE);
    return 0u;
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(dialogWasUp);
  EXPECT_NE(workerThread, std::this_thread::get_id());
  EXPECT_FALSE(IsWindow(dialog.GetSafeHwnd()));
}

TEST_F(ThreadProgressDlgTest, PostedPercentsAreShownAndAFailedFinishEndsWithCancel) {
  const INT_PTR result = Run([&](IThreadProgress& progress) {
    progress.SetProgress(0); // from the worker: stored, the bar's move is posted
    for (int percent : {33, 66, 100}) progress.PostProgress(percent, FALSE);
    progress.PostProgress(-1, TRUE);
    return 0u;
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dialog.posted, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(dialog.shown, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(dialog.GetProgress(), 100);
  EXPECT_EQ(dialog.finishedWith, -1);
}

TEST_F(ThreadProgressDlgTest, CancelOnlyRaisesTheFlagTheWorkerReadsAndLaterPercentsAreIgnored) {
  bool sawCancel = false;
  const INT_PTR result = Run([&](IThreadProgress& progress) {
    progress.PostProgress(20, FALSE);
    EXPECT_TRUE(WaitFor([&] { return dialog.GetProgress() == 20; }));
    // The Cancel button, then Escape: the dialog stays open either way.
    dialog.PostMessage(WM_COMMAND, IDCANCEL, 0);
    sawCancel = WaitFor([&] { return progress.IsCancelled() != FALSE; });
    EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
    progress.PostProgress(37, FALSE);
    progress.PostProgress(100, TRUE);
    return 0u;
  });
  EXPECT_TRUE(sawCancel);
  EXPECT_EQ(result, IDOK); // the end code is the worker's
  EXPECT_EQ(dialog.GetProgress(), 20);
  EXPECT_EQ(dialog.shown, (std::vector<int>{20, 20}));
  // A new worker starts without the old cancel.
  dialog.SetThread(nullptr);
  EXPECT_FALSE(dialog.IsCancelled());
  EXPECT_EQ(dialog.GetProgress(), 0);
}

TEST_F(ThreadProgressDlgTest, TheProgressCallbackPostsToTheDialogAndAnswersStopAfterCancel) {
  std::vector<int> answers;
  Run([&](IThreadProgress& progress) {
    IThreadProgressDialog* asCallbackSees = &dialog;
    answers.push_back(ThreadProgressCallback(40, asCallbackSees));
    EXPECT_TRUE(WaitFor([&] { return dialog.GetProgress() == 40; }));
    dialog.SetCancel(TRUE);
    answers.push_back(ThreadProgressCallback(50, asCallbackSees));
    progress.PostProgress(-1, TRUE);
    return 0u;
  });
  EXPECT_EQ(answers, (std::vector<int>{1, 0}));
  EXPECT_EQ(dialog.posted, (std::vector<int>{40, 50}));
  EXPECT_EQ(dialog.GetProgress(), 40);
  // Without its window the callback posts nothing and lets the job go on.
  EXPECT_EQ(ThreadProgressCallback(60, static_cast<IThreadProgressDialog*>(&dialog)), 1);
}

TEST_F(ThreadProgressDlgTest, AWorkerThatGoesOnAfterItsFinishIsWaitedForNotKilled) {
  std::atomic<bool> workerDone{false};
  const INT_PTR result = Run([&](IThreadProgress& progress) {
    progress.PostProgress(100, TRUE);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    workerDone = true;
    return 7u;
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(workerDone) << "the dialog ended before its worker";
}

TEST_F(ThreadProgressDlgTest, TheDialogShowsItsBarAndCancelButton) {
  std::atomic<bool> taken{false};
  pt::PixelImage shot;
  pt::OnNextModal([&](HWND window) {
    while (dialog.shown.empty()) pt::Pump();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 80);
    shot = pt::GrabClient(window);
    pt::SavePng(shot, "ThreadProgressDlg.png");
    taken = true;
    dialog.PumpUntilEnded();
  });
  RunUnderProgressDialog(dialog, [&](IThreadProgress& progress) {
    progress.PostProgress(60, FALSE);
    WaitFor([&] { return taken.load(); });
    progress.PostProgress(100, TRUE);
    return 0u;
  });
  ASSERT_TRUE(taken);
  // The bar (20, 20)-(280, 38) is filled left of 60 % of its interior, white to its right.
  EXPECT_NE(pt::PixelAt(shot, 60, 29), RGB(255, 255, 255));
  EXPECT_EQ(pt::PixelAt(shot, 260, 29), RGB(255, 255, 255));
}

} // namespace
