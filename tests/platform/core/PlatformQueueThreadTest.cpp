// The GUI thread's queues with real worker threads (also run under
// ThreadSanitizer): synchronous sends served inside filtered peeks, FIFO
// posts, sends to dead windows, waits that pump and suspended workers.

#include "RecordingWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::core::StandaloneHost;

namespace {

constexpr UINT WM_THUMB_ITEMLOADED = WM_USER + 500;

class PlatformQueue : public ::testing::Test {
protected:
  void SetUp() override { platform::core::UseVirtualClock(true); }
  void TearDown() override { platform::core::UseVirtualClock(false); }
  StandaloneHost host;
};

TEST_F(PlatformQueue, WorkerSendsAreServedByAFilteredPeekThatRunsNothingElse) {
  RecordingWindow loaderTarget, other;
  ASSERT_TRUE(loaderTarget.CreateTop());
  ASSERT_TRUE(other.CreateTop());
  host.Pump();
  loaderTarget.log.clear();
  other.log.clear();

  // Queued before the loop: posts to both windows, a paint and a due tick.
  other.PostMessage(WM_APP + 1, 1);
  loaderTarget.PostMessage(WM_APP + 2, 0);
  other.PostMessage(WM_APP + 1, 2);
  loaderTarget.Invalidate();
  loaderTarget.SetTimer(1, 100);
  platform::core::MoveVirtualClock(150);

  std::atomic<bool> finished{false};
  std::vector<LRESULT> answers;
  std::thread loader([&] {
    for (int item = 1; item <= 3; ++item) answers.push_back(loaderTarget.SendMessage(WM_THUMB_ITEMLOADED, item, 1));
    answers.push_back(loaderTarget.SendMessage(WM_THUMB_ITEMLOADED, 0, 0));
    finished = true;
  });
  loaderTarget.hooks[WM_THUMB_ITEMLOADED] = [](WPARAM item, LPARAM) { return static_cast<LRESULT>(item) + 10; };

  // The thumbnail window's wait: sleep, then take only this message of this window.
  MSG msg;
  while (!finished) {
    Sleep(2);
    while (PeekMessage(&msg, loaderTarget.m_hWnd, WM_THUMB_ITEMLOADED, WM_THUMB_ITEMLOADED, PM_REMOVE)) {
      DispatchMessage(&msg);
    }
  }
  loader.join();

  EXPECT_EQ(answers, (std::vector<LRESULT>{11, 12, 13, 10}));
  EXPECT_EQ(loaderTarget.log, (std::vector<Received>{{WM_THUMB_ITEMLOADED, 1, 1},
                                                     {WM_THUMB_ITEMLOADED, 2, 1},
                                                     {WM_THUMB_ITEMLOADED, 3, 1},
                                                     {WM_THUMB_ITEMLOADED, 0, 0}}));
  EXPECT_TRUE(other.log.empty()) << "no post, paint or tick ran inside the filtered loop";

  host.Pump();
  EXPECT_EQ(other.log, (std::vector<Received>{{WM_APP + 1, 1, 0}, {WM_APP + 1, 2, 0}}));
  EXPECT_EQ(loaderTarget.Messages(WM_APP, WM_APP + 10), (std::vector<UINT>{WM_APP + 2}));
  EXPECT_EQ(loaderTarget.Count(WM_PAINT), 1u);
  EXPECT_EQ(loaderTarget.Count(WM_TIMER), 1u);
}

TEST_F(PlatformQueue, RemovingOneWindowsPostsKeepsEveryOtherPostInOrder) {
  RecordingWindow pane, other;
  ASSERT_TRUE(pane.CreateTop());
  ASSERT_TRUE(other.CreateTop());
  host.Pump();
  pane.log.clear();
  other.log.clear();
  for (int i = 0; i < 3; ++i) {
    pane.PostMessage(0x8024, i);
    other.PostMessage(0x8024, 100 + i);
    pane.PostMessage(0x8025, i);
  }
  MSG msg;
  int removed = 0;
  while (PeekMessage(&msg, pane.m_hWnd, 0x8024, 0x8024, PM_REMOVE)) ++removed;
  EXPECT_EQ(removed, 3);
  host.Pump();
  EXPECT_EQ(pane.log, (std::vector<Received>{{0x8025, 0, 0}, {0x8025, 1, 0}, {0x8025, 2, 0}}));
  EXPECT_EQ(other.log, (std::vector<Received>{{0x8024, 100, 0}, {0x8024, 101, 0}, {0x8024, 102, 0}}));
}

TEST_F(PlatformQueue, AnUnfilteredPumpInsideAHandlerRunsEverythingAndReentersHandlers) {
  RecordingWindow window, other;
  ASSERT_TRUE(window.CreateTop());
  ASSERT_TRUE(other.CreateTop());
  host.Pump();
  window.log.clear();
  other.log.clear();

  std::atomic<bool> sent{false};
  std::thread worker;
  window.hooks[WM_APP + 1] = [&](WPARAM, LPARAM) {
    other.PostMessage(WM_APP + 2);
    other.Invalidate();
    window.SetTimer(7, 50);
    platform::core::MoveVirtualClock(50);
    worker = std::thread([&] {
      window.SendMessage(WM_APP + 3);
      sent = true;
    });
    // The drag loop's pump: any message of any window.
    MSG msg;
    while (!sent || window.Count(WM_TIMER) == 0 || other.Count(WM_PAINT) == 0 || other.Count(WM_APP + 2) == 0) {
      while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
      Sleep(1);
    }
    window.KillTimer(7);
    return LRESULT{0};
  };
  window.SendMessage(WM_APP + 1);
  worker.join();
  // The tick and the worker's send re-entered the window while its handler ran.
  EXPECT_EQ(window.Messages(WM_TIMER, WM_APP + 9).front(), WM_APP + 1);
  EXPECT_EQ(window.Count(WM_TIMER), 1u);
  EXPECT_EQ(window.Count(WM_APP + 3), 1u);
  EXPECT_EQ(other.Count(WM_APP + 2), 1u);
  EXPECT_EQ(other.Count(WM_PAINT), 1u);
}

TEST_F(PlatformQueue, ASendToAWindowDestroyedBeforeItsTurnAnswersZero) {
  RecordingWindow window;
  ASSERT_TRUE(window.CreateTop());
  window.hooks[WM_APP + 1] = [](WPARAM, LPARAM) { return LRESULT{42}; };
  std::atomic<LRESULT> before{-1}, after{-1};
  std::thread worker([&] { before = window.SendMessage(WM_APP + 1); });
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
  // Serve the first send, then destroy the window while a second one waits.
  while (before == -1) {
    MSG msg;
    PeekMessage(&msg, window.m_hWnd, WM_APP, WM_APP, PM_NOREMOVE);
    Sleep(1);
  }
  worker.join();
  const HWND stale = window.m_hWnd;
  std::atomic<bool> queued{false};
  std::thread late([&] {
    queued = true;
    after = ::SendMessage(stale, WM_APP + 1, 0, 0);
  });
  while (!queued) Sleep(1);
  Sleep(20); // the send is queued (or refused at once: either way it answers 0)
  window.DestroyWindow();
  host.Pump();
  late.join();
  EXPECT_EQ(before, 42);
  EXPECT_EQ(after, 0);
  EXPECT_EQ(::PostMessage(stale, WM_APP, 0, 0), FALSE);
}

TEST(PlatformQueueShutdown, ASendAfterTheGuiThreadStoppedAnswersZero) {
  std::atomic<bool> go{false};
  LRESULT answer = -1;
  std::thread worker;
  {
    StandaloneHost host;
    RecordingWindow window;
    ASSERT_TRUE(window.CreateTop());
    const HWND hwnd = window.m_hWnd;
    worker = std::thread([&, hwnd] {
      while (!go) std::this_thread::yield();
      answer = ::SendMessage(hwnd, WM_APP, 0, 0);
    });
    window.DestroyWindow();
  }
  go = true;
  worker.join();
  EXPECT_EQ(answer, 0);
}

struct Counted {
  static inline std::atomic<int> alive{0};
  Counted() { ++alive; }
  ~Counted() { --alive; }
};

TEST_F(PlatformQueue, PostsToDeadWindowsAreDroppedAndTheirRecordsFreed) {
  auto* window = new RecordingWindow;
  ASSERT_TRUE(window->CreateTop());
  const HWND hwnd = window->m_hWnd;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) PostOwnedMessage(hwnd, WM_APP + 9, i, std::make_unique<Counted>());
  });
  worker.join();
  EXPECT_EQ(Counted::alive, 3);
  delete window; // destroys the window with its posts still queued
  EXPECT_EQ(PostOwnedMessage(hwnd, WM_APP + 9, 0, std::make_unique<Counted>()), FALSE);
  host.Pump();
  EXPECT_EQ(Counted::alive, 0);
}

// A progress dialog's worker: made suspended, started by the message the
// dialog posts to itself at the end of its initialisation.
class ProgressWindow : public RecordingWindow {
public:
  CWinThread* worker = nullptr;
  std::atomic<bool>* ran = nullptr;
  static UINT Work(LPVOID param) {
    auto* self = static_cast<ProgressWindow*>(param);
    *self->ran = true;
    // The worker's last act: a synchronous report the dialog must serve.
    return static_cast<UINT>(self->SendMessage(WM_APP + 0x1B, 100, 1));
  }

protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs) {
    worker = AfxBeginThread(&Work, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    worker->m_bAutoDelete = FALSE;
    PostMessage(WM_APP + 6);
    return CWnd::OnCreate(cs);
  }
  afx_msg LRESULT OnStart(WPARAM, LPARAM) {
    worker->ResumeThread();
    return 0;
  }
  afx_msg LRESULT OnProgress(WPARAM percent, LPARAM) { return static_cast<LRESULT>(percent) + 7; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ProgressWindow, RecordingWindow)
  ON_WM_CREATE()
  ON_MESSAGE(WM_APP + 6, OnStart)
  ON_MESSAGE(WM_APP + 0x1B, OnProgress)
END_MESSAGE_MAP()

TEST_F(PlatformQueue, ASuspendedWorkerStartsOnThePostedMessageAndAWaitServesItsSend) {
  std::atomic<bool> ran{false};
  ProgressWindow dialog;
  dialog.ran = &ran;
  ASSERT_TRUE(dialog.CreateTop());
  Sleep(20);
  EXPECT_FALSE(ran) << "the worker waits for the dialog's start message";
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(dialog.worker->m_hThread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);

  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  DispatchMessage(&msg);
  EXPECT_EQ(WaitForThreadWithPump(dialog.worker->m_hThread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(GetExitCodeThread(dialog.worker->m_hThread, &code));
  EXPECT_EQ(code, 107u);
  const HANDLE handle = dialog.worker->m_hThread;
  delete dialog.worker;
  EXPECT_FALSE(GetExitCodeThread(handle, &code)) << "the handle went with its thread object";
}

TEST_F(PlatformQueue, AWaitThatPumpsTimesOutWhileTheThreadRuns) {
  std::atomic<bool> release{false};
  CWinThread* thread = AfxBeginThread(
      [](LPVOID p) -> UINT {
        while (!*static_cast<std::atomic<bool>*>(p)) std::this_thread::yield();
        return 3;
      },
      &release);
  thread->m_bAutoDelete = FALSE;
  EXPECT_EQ(WaitForThreadWithPump(thread->m_hThread, 10), WAIT_TIMEOUT);
  release = true;
  EXPECT_EQ(WaitForThreadWithPump(thread->m_hThread, INFINITE), WAIT_OBJECT_0);
  delete thread;
}

TEST_F(PlatformQueue, ShortSelfDeletingThreadsEndWhileTheyAreStarted) {
  // Each thread may end and delete its object while AfxBeginThread still wakes it.
  std::atomic<int> ran{0};
  for (int i = 0; i < 200; ++i) {
    ASSERT_NE(AfxBeginThread(
                  [](LPVOID p) -> UINT {
                    ++*static_cast<std::atomic<int>*>(p);
                    return 0;
                  },
                  &ran),
              nullptr);
  }
  while (ran < 200) std::this_thread::yield();
}

} // namespace
