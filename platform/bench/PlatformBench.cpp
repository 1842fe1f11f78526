// The window layer's message paths and presentation, each timed beside the
// plain mechanism it stands on, alternately in the same run; "x_plain" is the
// layer's time over the plain one's (goals: sends and posts at most 3, the
// presentation at most 1.5). Each result is checked once before timing.
//   - a synchronous send from a worker, served by the GUI thread's loop,
//     beside a condition-variable round trip between the same two threads;
//   - 10,000 posted messages pumped to a window beside a plain locked queue: a
//     std::deque of callbacks, each push and each pop under a std::mutex;
//   - a 1920 x 1080 surface presented beside a QPainter::drawImage of it.
// Runs headless (offscreen, as the tests).

#include <benchmark/benchmark.h>

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/testing/Headless.h"

#include <QImage>
#include <QPainter>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace {

namespace pc = platform::core;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "PlatformBench: wrong result: %s\n", what);
  std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Report(benchmark::State& state, double work, double plain, std::int64_t items) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * items);
  state.counters["plain_us"] = benchmark::Counter(1e6 * plain / static_cast<double>(state.iterations()));
  state.counters["x_plain"] = benchmark::Counter(plain > 0 ? work / plain : 0.0);
}

class Counting : public CWnd {
public:
  std::int64_t sum = 0;

protected:
  afx_msg LRESULT OnCount(WPARAM wParam, LPARAM) {
    sum += static_cast<std::int64_t>(wParam);
    return static_cast<LRESULT>(wParam) + 1;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Counting, CWnd)
  ON_MESSAGE(WM_APP + 1, OnCount)
END_MESSAGE_MAP()

Counting& Window() {
  static Counting* window = [] {
    platform::testing::Init();
    auto* w = new Counting;
    if (!w->CreateEx(0, u"Bench", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1920, 1080), nullptr, 0)) Fail("window");
    platform::testing::Pump();
    return w;
  }();
  return *window;
}

// ---------------------------------------------------------------------------
// A worker's synchronous sends and a plain round trip between the same threads

constexpr int kRoundTrips = 200;

struct Worker {
  enum class Job { None, Send, PingPong, Quit };
  std::mutex mutex;
  std::condition_variable changed;
  Job job = Job::None;
  bool finished = false;
  // The plain round trip's slots.
  int request = 0, reply = 0;
  bool requested = false, replied = false;
  HWND hwnd;
  std::thread thread; // last: it starts running at once

  explicit Worker(HWND target) : hwnd(target), thread([this] { Run(); }) {}
  ~Worker() {
    Start(Job::Quit);
    thread.join();
  }
  void Start(Job next) {
    {
      std::lock_guard lock(mutex);
      job = next;
      finished = false;
    }
    changed.notify_all();
  }
  void Run() {
    for (;;) {
      Job current;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return job != Job::None; });
        current = job;
        job = Job::None;
      }
      if (current == Job::Quit) return;
      if (current == Job::Send) {
        for (int i = 0; i < kRoundTrips; ++i) {
          if (SendMessageW(hwnd, WM_APP + 1, static_cast<WPARAM>(i), 0) != i + 1) Fail("send answer");
        }
      } else {
        for (int i = 0; i < kRoundTrips; ++i) {
          std::unique_lock lock(mutex);
          request = i;
          requested = true;
          changed.notify_all();
          changed.wait(lock, [&] { return replied; });
          replied = false;
          if (reply != i + 1) Fail("plain answer");
        }
      }
      {
        std::lock_guard lock(mutex);
        finished = true;
      }
      // The worker's last act wakes the GUI thread's loop, as a real one would.
      PostMessageW(hwnd, WM_NULL, 0, 0);
      changed.notify_all();
    }
  }
  bool Finished() {
    std::lock_guard lock(mutex);
    return finished;
  }
  // The GUI thread's side of the plain round trip.
  void Answer() {
    for (int i = 0; i < kRoundTrips; ++i) {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return requested; });
      requested = false;
      reply = request + 1;
      replied = true;
      changed.notify_all();
    }
  }
};

void BM_CrossThreadSend(benchmark::State& state) {
  Counting& window = Window();
  Worker worker(window.m_hWnd);
  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    worker.Start(Worker::Job::Send);
    pc::RunLoop([&] { return worker.Finished(); }); // the GUI thread's loop serves the sends
    work += Seconds(start);
    start = Clock::now();
    worker.Start(Worker::Job::PingPong);
    worker.Answer();
    while (!worker.Finished()) std::this_thread::yield();
    plain += Seconds(start);
  }
  Report(state, work, plain, kRoundTrips);
}
BENCHMARK(BM_CrossThreadSend)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// ---------------------------------------------------------------------------
// Posted messages pumped beside a locked deque of callbacks

constexpr int kPosts = 10000;

void BM_PostedMessages(benchmark::State& state) {
  Counting& window = Window();
  std::deque<std::function<void()>> callbacks;
  std::mutex callbacksLock;
  std::int64_t plainSum = 0;
  double work = 0, plain = 0;
  for (auto _ : state) {
    window.sum = 0;
    auto start = Clock::now();
    for (int i = 0; i < kPosts; ++i) window.PostMessage(WM_APP + 1, static_cast<WPARAM>(i));
    while (pc::HasPendingWork()) pc::DrainQueues();
    work += Seconds(start);
    if (window.sum != std::int64_t{kPosts} * (kPosts - 1) / 2) Fail("posted sum");
    plainSum = 0;
    start = Clock::now();
    for (int i = 0; i < kPosts; ++i) {
      std::lock_guard lock(callbacksLock);
      callbacks.emplace_back([&plainSum, i] { plainSum += i; });
    }
    for (;;) {
      std::function<void()> next;
      {
        std::lock_guard lock(callbacksLock);
        if (callbacks.empty()) break;
        next = std::move(callbacks.front());
        callbacks.pop_front();
      }
      next();
    }
    benchmark::DoNotOptimize(plainSum);
    plain += Seconds(start);
  }
  Report(state, work, plain, kPosts);
}
BENCHMARK(BM_PostedMessages)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// ---------------------------------------------------------------------------
// A full-screen surface presented beside drawing it with QPainter

void BM_PresentSurface(benchmark::State& state) {
  Counting& window = Window();
  {
    CClientDC dc(&window);
    for (int band = 0; band < 1080; band += 60) dc.FillSolidRect(0, band, 1920, 60, RGB(band / 5, 90, 200 - band / 6));
  }
  platform::testing::Pump();
  if (platform::testing::PixelAt(platform::testing::GrabClient(window.m_hWnd), 10, 70) != RGB(12, 90, 190)) {
    Fail("surface");
  }
  QImage source(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  source.fill(QColor(12, 90, 190));
  QImage backing(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  double work = 0, plain = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    ::InvalidateRect(window.m_hWnd, nullptr, FALSE);
    ::UpdateWindow(window.m_hWnd); // WM_PAINT, then the surface presented at once
    work += Seconds(start);
    start = Clock::now();
    {
      QPainter p(&backing);
      p.drawImage(0, 0, source);
    }
    benchmark::DoNotOptimize(backing.constBits());
    plain += Seconds(start);
  }
  Report(state, work, plain, 1);
}
BENCHMARK(BM_PresentSurface)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
