// The progress state a dialog shares with its worker, used from both sides at
// once: the worker stores percents and polls the cancel flag while the dialog
// reads the percent and raises the flag. Once raised, no percent is taken.

#include "output/ThreadProgressState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ThreadProgressStateThreadTest, AWorkerAndTheDialogShareTheStateAndACancelFreezesTheProgress) {
  ThreadProgressState state;
  state.Reset();
  std::atomic<int> lastAccepted{-1};
  std::atomic<bool> sawCancel{false};
  std::thread worker([&] {
    for (int percent = 0; percent < 1000000 && !state.IsCancelled(); ++percent) {
      if (state.Accept(percent % 101)) lastAccepted = percent % 101;
    }
    sawCancel = state.IsCancelled() != FALSE;
    EXPECT_FALSE(state.Accept(42));
  });
  while (state.GetProgress() < 50 && lastAccepted < 50) std::this_thread::yield();
  state.SetCancel(TRUE);
  const int frozen = state.GetProgress();
  worker.join();
  EXPECT_TRUE(sawCancel);
  EXPECT_EQ(state.GetProgress(), frozen);
  state.Reset();
  EXPECT_FALSE(state.IsCancelled());
  EXPECT_EQ(state.GetProgress(), 0);
}
