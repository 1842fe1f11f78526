// Window timers and the layer's clock. A timer is a due time per (window,
// id); a due timer yields one WM_TIMER when the GUI thread next takes ticks
// (an unfiltered look at the queue or the pump), and is due again one
// interval after that tick. So at most one tick of a timer is ever pending,
// and SetTimer on a running id restarts it. The back end's alarm only wakes
// the GUI thread; under the virtual clock of tests nothing is due until the
// clock is moved.

#include "platform/core/Core.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace platform::core {
namespace {

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  std::int64_t interval = 0;
  std::int64_t due = 0;
  std::uint64_t serial = 0; // creation order breaks ties between equal due times
  TIMERPROC proc = nullptr;
};

std::vector<Timer>& Timers() {
  static auto* timers = new std::vector<Timer>;
  return *timers;
}
std::uint64_t g_serial = 0;
std::atomic<bool> g_virtual{false};
std::atomic<std::int64_t> g_virtualNow{0};

std::int64_t RealNow() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void UpdateAlarm() {
  if (IHost* host = Host()) host->SetAlarm(g_virtual ? -1 : NextTimerDue());
}

} // namespace

std::int64_t Now() { return g_virtual ? g_virtualNow.load() : RealNow(); }

void UseVirtualClock(bool on) {
  g_virtualNow = 0;
  g_virtual = on;
  UpdateAlarm();
}

bool VirtualClock() { return g_virtual; }

void MoveVirtualClock(std::int64_t ms) {
  if (g_virtual && ms > 0) g_virtualNow += ms;
}

std::int64_t NextTimerDue() {
  std::int64_t due = -1;
  for (const Timer& t : Timers()) {
    if (due < 0 || t.due < due) due = t.due;
  }
  return due;
}

bool TakeDueTimer(MSG& msg) {
  const std::int64_t now = Now();
  Timer* best = nullptr;
  for (Timer& t : Timers()) {
    if (t.due > now) continue;
    if (!best || t.due < best->due || (t.due == best->due && t.serial < best->serial)) best = &t;
  }
  if (!best) return false;
  msg = MSG{};
  msg.hwnd = best->hwnd;
  msg.message = WM_TIMER;
  msg.wParam = best->id;
  msg.lParam = reinterpret_cast<LPARAM>(best->proc);
  msg.time = static_cast<DWORD>(now);
  best->due = now + best->interval;
  UpdateAlarm();
  return true;
}

void KillWindowTimers(HWND hwnd) {
  auto& timers = Timers();
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
               timers.end());
  UpdateAlarm();
}

void StopAllTimers() { Timers().clear(); }

} // namespace platform::core

using namespace platform::core;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (!WindowCallAllowed("SetTimer") || !Record(hwnd)) return 0;
  // The original interface raises intervals below 10 ms to 10 ms.
  const std::int64_t interval = std::max<std::int64_t>(elapseMs, 10);
  auto& timers = Timers();
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers.end()) {
    timers.push_back({hwnd, id, interval, 0, ++g_serial, proc});
    it = timers.end() - 1;
  }
  it->interval = interval;
  it->due = Now() + interval;
  it->proc = proc;
  UpdateAlarm();
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  if (!IsGuiThread()) return FALSE;
  auto& timers = Timers();
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  UpdateAlarm();
  return TRUE;
}

DWORD GetTickCount() { return static_cast<DWORD>(Now()); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
