// Window timers on the virtual clock (no Qt): restarts, the repeat pattern
// of the toolkit's controls, ticks in unfiltered pumps and modal loops but
// not in filtered peeks, and one pending tick at most.

#include "RecordingWindow.h"

#include <gtest/gtest.h>

namespace pc = platform::core;

namespace {

class PlatformTimers : public ::testing::Test {
protected:
  void SetUp() override {
    pc::UseVirtualClock(true);
    ASSERT_TRUE(window.CreateTop());
    host.Pump();
    window.log.clear();
  }
  void TearDown() override { pc::UseVirtualClock(false); }
  // Moves the clock to each due tick in turn and pumps it: tick times.
  std::vector<std::int64_t> Advance(std::int64_t ms) {
    std::vector<std::int64_t> ticks;
    const std::int64_t end = pc::Now() + ms;
    for (;;) {
      const std::int64_t due = pc::NextTimerDue();
      if (due < 0 || due > end) break;
      pc::MoveVirtualClock(due - pc::Now());
      const std::size_t before = window.Count(WM_TIMER);
      host.Pump();
      if (window.Count(WM_TIMER) > before) ticks.push_back(pc::Now());
    }
    pc::MoveVirtualClock(end - pc::Now());
    host.Pump();
    return ticks;
  }
  pc::StandaloneHost host;
  RecordingWindow window;
};

TEST_F(PlatformTimers, SetTimerOnARunningIdRestartsIt) {
  const std::int64_t t0 = pc::Now();
  window.SetTimer(1, 500);
  Advance(300);
  window.SetTimer(1, 500); // the debounce: restarted before it fired
  EXPECT_EQ(Advance(1000), (std::vector<std::int64_t>{t0 + 800, t0 + 1300}));
  EXPECT_TRUE(window.KillTimer(1));
  EXPECT_FALSE(window.KillTimer(1)) << "an unknown id is harmless";
  EXPECT_FALSE(window.KillTimer(99));
  EXPECT_TRUE(Advance(2000).empty());
}

TEST_F(PlatformTimers, TheFirstRepeatAfterOneSecondThenEveryHundredMilliseconds) {
  window.hooks[WM_TIMER] = [&](WPARAM id, LPARAM) {
    window.KillTimer(id);
    window.SetTimer(id, 100);
    return LRESULT{0};
  };
  const std::int64_t t0 = pc::Now();
  window.SetTimer(1, 1000);
  EXPECT_EQ(Advance(1350), (std::vector<std::int64_t>{t0 + 1000, t0 + 1100, t0 + 1200, t0 + 1300}));
}

TEST_F(PlatformTimers, TicksComeToUnfilteredLooksAndModalLoopsButNotToFilteredPeeks) {
  window.SetTimer(1, 100);
  window.SetTimer(2, 100);
  pc::MoveVirtualClock(350); // three intervals late: still one tick each
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, window.m_hWnd, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  std::vector<UINT_PTR> ids;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ASSERT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    ids.push_back(msg.wParam);
  }
  EXPECT_EQ(ids, (std::vector<UINT_PTR>{1, 2})) << "one pending tick per timer, in order of creation";

  // A modal loop serves ticks while it runs.
  pc::MoveVirtualClock(100);
  pc::RunLoop([&] { return window.Count(WM_TIMER) >= 2; });
  EXPECT_EQ(window.Count(WM_TIMER), 2u);
}

TEST_F(PlatformTimers, ADestroyedWindowsTimersStop) {
  RecordingWindow other;
  ASSERT_TRUE(other.CreateTop());
  other.SetTimer(1, 10);
  other.DestroyWindow();
  EXPECT_EQ(pc::NextTimerDue(), -1);
  EXPECT_EQ(SetTimer(other.m_hWnd, 1, 10, nullptr), 0u);
}

} // namespace
