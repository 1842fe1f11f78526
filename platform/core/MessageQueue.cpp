// The GUI thread's posted and sent queues, the pump and the loops.
//
// Posted messages are strictly first in, first out: a filtered removal takes
// one message out and leaves the others in their order. Sent messages from
// other threads wait in their own queue and are served whenever the GUI
// thread looks at its queues (PeekMessage of any filter, the back end's wake
// event, the loops, WaitForThreadWithPump); they bypass the pre-translate
// chain. No window procedure is ever called under the queue's lock.

#include "platform/core/Core.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace platform::core {
namespace {

struct Posted {
  MSG msg;
  void (*deleter)(LPARAM) = nullptr;
};

struct Sent {
  std::function<LRESULT()> call;
  LRESULT result = 0;
  bool done = false;
};

struct Queue {
  std::mutex mutex;
  std::condition_variable work;     // sends arrive, threads change state
  std::condition_variable sentDone; // a send was answered
  std::deque<Posted> posted;
  std::deque<std::shared_ptr<Sent>> sent;
  std::thread::id gui;
  bool running = false;
  bool quit = false;
  int exitCode = 0;
  std::uint64_t workSerial = 0;
  IHost* host = nullptr;
};

Queue& Q() {
  static Queue* queue = new Queue; // lives until the process ends: workers may still post at exit
  return *queue;
}

std::atomic<bool> g_wakePending{false};
// Asked on every window call: no lock. The GUI thread marks itself.
std::atomic<bool> g_guiRunning{false};
std::atomic<std::thread::id> g_guiId{};
// Moves on whenever a GUI thread starts, so that each thread asks once per
// start whether it is the GUI thread (every message asks several times).
std::atomic<std::uint64_t> g_guiStarts{0};
// Initial-exec: the library is loaded with the program, and the two words
// are then read without a call.
[[gnu::tls_model("initial-exec")]] thread_local std::uint64_t t_guiStartSeen = 0;
[[gnu::tls_model("initial-exec")]] thread_local bool t_isGui = false;
// Sends waiting, so the GUI thread looks under the lock only when there are some.
std::atomic<int> g_sentWaiting{0};
int g_drainHold = 0;        // GUI thread only
bool g_wakeDeferred = false; // GUI thread only
int g_paintDepth = 0;        // GUI thread only

void WakeGui() {
  // The GUI thread never waits for its own posts.
  if (!IsGuiThread()) NotifyWork();
  if (!g_wakePending.exchange(true)) {
    if (IHost* host = Q().host) host->Wake();
  }
}

bool Matches(const MSG& msg, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && msg.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return msg.message >= lo && msg.message <= hi;
}

// Drops the queued messages of windows that died; their records are deleted.
// Takes the first one matching, in order.
bool TakePosted(MSG& out, HWND hwnd, UINT lo, UINT hi, bool remove, void (**deleter)(LPARAM)) {
  std::vector<Posted> dead;
  bool found = false;
  {
    std::lock_guard lock(Q().mutex);
    auto& posted = Q().posted;
    for (auto it = posted.begin(); it != posted.end();) {
      if (it->msg.hwnd && !Record(it->msg.hwnd)) {
        dead.push_back(*it);
        it = posted.erase(it);
        continue;
      }
      if (Matches(it->msg, hwnd, lo, hi)) {
        out = it->msg;
        if (deleter) *deleter = it->deleter;
        if (remove) {
          if (it == posted.begin()) {
            posted.pop_front();
          } else {
            posted.erase(it);
          }
        }
        found = true;
        break;
      }
      ++it;
    }
  }
  for (const Posted& p : dead) {
    if (p.deleter) p.deleter(p.msg.lParam);
  }
  return found;
}

std::size_t PostedCount() {
  std::lock_guard lock(Q().mutex);
  return Q().posted.size();
}

} // namespace

IHost* Host() { return Q().host; }

void Diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::fputs("platform: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  va_end(args);
}

void StartGuiThread(IHost* host) {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  q.gui = std::this_thread::get_id();
  q.host = host;
  q.running = true;
  q.quit = false;
  g_wakePending = false;
  g_guiId = std::this_thread::get_id();
  g_guiStarts.fetch_add(1, std::memory_order_release);
  g_guiRunning = true;
}

void StopGuiThread() {
  Queue& q = Q();
  std::deque<Posted> posted;
  {
    std::lock_guard lock(q.mutex);
    q.running = false;
    g_guiRunning = false;
    q.host = nullptr;
    posted.swap(q.posted);
    for (auto& s : q.sent) {
      s->result = 0;
      s->done = true;
    }
    q.sent.clear();
    g_sentWaiting = 0;
  }
  q.sentDone.notify_all();
  for (const Posted& p : posted) {
    if (p.deleter) p.deleter(p.msg.lParam);
  }
  StopAllTimers();
}

bool IsGuiThread() {
  if (!g_guiRunning.load(std::memory_order_acquire)) return false;
  const std::uint64_t starts = g_guiStarts.load(std::memory_order_acquire);
  if (t_guiStartSeen != starts) {
    t_isGui = g_guiId.load(std::memory_order_relaxed) == std::this_thread::get_id();
    t_guiStartSeen = starts;
  }
  return t_isGui;
}

bool GuiThreadRunning() {
  std::lock_guard lock(Q().mutex);
  return Q().running;
}

void NotifyWork() {
  {
    std::lock_guard lock(Q().mutex);
    ++Q().workSerial;
  }
  Q().work.notify_all();
}

void WaitForWork(std::int64_t timeoutMs, const std::function<bool()>& ready) {
  Queue& q = Q();
  std::unique_lock lock(q.mutex);
  const std::uint64_t serial = q.workSerial;
  auto woken = [&] { return !q.sent.empty() || q.workSerial != serial || !q.running; };
  lock.unlock();
  if (ready && ready()) return;
  lock.lock();
  if (timeoutMs < 0) {
    q.work.wait(lock, woken);
  } else {
    q.work.wait_for(lock, std::chrono::milliseconds(timeoutMs), woken);
  }
}

LRESULT CallWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = Record(hwnd);
  if (!record) return 0;
  if (!record->object) return DefWindowProcW(hwnd, message, wParam, lParam);
  // The window may be destroyed (and its object deleted) inside; nothing
  // here touches either afterwards.
  return record->object->WindowProc(message, wParam, lParam);
}

void ServeSentMessages() {
  Queue& q = Q();
  while (g_sentWaiting.load(std::memory_order_acquire) > 0) {
    std::shared_ptr<Sent> s;
    {
      std::lock_guard lock(q.mutex);
      if (q.sent.empty() || q.gui != std::this_thread::get_id()) return;
      s = q.sent.front();
      q.sent.pop_front();
      --g_sentWaiting;
    }
    const LRESULT result = s->call();
    {
      std::lock_guard lock(q.mutex);
      s->result = result;
      s->done = true;
    }
    q.sentDone.notify_all();
  }
}

LRESULT CallOnGuiThread(const std::function<LRESULT()>& fn) {
  Queue& q = Q();
  auto s = std::make_shared<Sent>();
  s->call = fn;
  {
    std::lock_guard lock(q.mutex);
    if (!q.running) return 0;
    if (q.gui == std::this_thread::get_id()) {
      // Same thread: a direct call (never queued behind itself).
      s.reset();
    } else {
      q.sent.push_back(s);
      ++g_sentWaiting;
    }
  }
  if (!s) return fn();
  WakeGui();
  std::unique_lock lock(q.mutex);
  q.sentDone.wait(lock, [&] { return s->done; });
  return s->result;
}

DrainHold::DrainHold() { ++g_drainHold; }
DrainHold::~DrainHold() {
  if (--g_drainHold == 0 && g_wakeDeferred) {
    g_wakeDeferred = false;
    if (HasPendingWork()) WakeGui();
  }
}

PaintScope::PaintScope() { ++g_paintDepth; }
PaintScope::~PaintScope() { --g_paintDepth; }
int PaintDepth() { return g_paintDepth; }

bool HasPendingWork() {
  {
    std::lock_guard lock(Q().mutex);
    if (!Q().posted.empty() || !Q().sent.empty()) return true;
  }
  const std::int64_t due = NextTimerDue();
  return due >= 0 && due <= Now();
}

void PumpMessage(MSG& msg) {
  CWinApp* app = AfxGetApp();
  const BOOL eaten = app ? app->PreTranslateMessage(&msg) : CWnd::WalkPreTranslateTree(nullptr, &msg);
  if (!eaten) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void DrainQueues() {
  g_wakePending = false;
  if (!IsGuiThread()) return;
  ServeSentMessages();
  if (g_drainHold > 0 || g_paintDepth > 0) {
    g_wakeDeferred = true;
    return;
  }
  // Pump what is queued now, one message at a time; what handlers post
  // meanwhile waits for the next wake, so the back end's own events (paints)
  // interleave.
  std::size_t budget = PostedCount();
  for (; budget > 0; --budget) {
    ServeSentMessages();
    MSG msg;
    if (!TakePosted(msg, nullptr, 0, 0, true, nullptr)) break;
    PumpMessage(msg);
  }
  MSG tick;
  if (TakeDueTimer(tick)) PumpMessage(tick);
  if (HasPendingWork()) WakeGui();
}

bool QuitPending(int* exitCode) {
  std::lock_guard lock(Q().mutex);
  if (exitCode) *exitCode = Q().exitCode;
  return Q().quit;
}

void ClearQuit() {
  std::lock_guard lock(Q().mutex);
  Q().quit = false;
}

void RunLoop(const std::function<bool()>& done) {
  while (!done() && !QuitPending()) {
    DrainQueues();
    if (done() || QuitPending()) break;
    IHost* host = Host();
    if (!host) break;
    std::int64_t timeout = -1;
    const std::int64_t due = NextTimerDue();
    if (due >= 0 && !VirtualClock()) timeout = std::max<std::int64_t>(0, due - Now());
    if (!HasPendingWork()) host->WaitForEvents(timeout);
    // A handler that threw inside the back end's dispatch throws here.
    RethrowKeptException();
  }
}

} // namespace platform::core

using namespace platform::core;

BOOL PostMessageWithDeleter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*deleter)(LPARAM)) {
  Queue& q = Q();
  bool accepted = false;
  // A stale handle is refused at once; a window that dies while its message
  // waits is checked again when the message comes up.
  if (!hwnd || IsLiveWindow(hwnd)) {
    std::lock_guard lock(q.mutex);
    if (q.running) {
      MSG msg;
      msg.hwnd = hwnd;
      msg.message = message;
      msg.wParam = wParam;
      msg.lParam = lParam;
      msg.time = static_cast<DWORD>(Now());
      q.posted.push_back({msg, deleter});
      accepted = true;
    }
  }
  if (!accepted) {
    if (deleter) deleter(lParam);
    return FALSE;
  }
  WakeGui();
  return TRUE;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostMessageWithDeleter(hwnd, message, wParam, lParam, nullptr);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsLiveWindow(hwnd)) return 0;
  // Same thread: a direct call. Another thread: queued and served by the
  // GUI thread; a window destroyed before its turn answers 0.
  return CallOnGuiThread([=] { return CallWindowProc(hwnd, message, wParam, lParam); });
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg || !IsGuiThread()) return FALSE;
  ServeSentMessages();
  const bool unfiltered = hwnd == nullptr && filterMin == 0 && filterMax == 0;
  if (unfiltered && PaintDepth() == 0) {
    // Input, paints and the back end's timers run here; posted messages stay
    // for this call to take. (Never inside painting: no paint nests.)
    DrainHold hold;
    if (IHost* host = Host()) host->ProcessEvents();
    ServeSentMessages();
  }
  const bool remove = (removeFlags & PM_REMOVE) != 0;
  if (TakePosted(*msg, hwnd, filterMin, filterMax, remove, nullptr)) return TRUE;
  // Ticks come only to an unfiltered look, at most one pending per timer.
  if (unfiltered && remove && TakeDueTimer(*msg)) return TRUE;
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, static_cast<UINT_PTR>(msg->wParam), static_cast<DWORD>(Now()));
    return 0;
  }
  if (!IsGuiThread()) return 0;
  return CallWindowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// Character messages are not made: no part of the program reads them.
BOOL TranslateMessage(const MSG*) { return FALSE; }

void PostQuitMessage(int exitCode) {
  {
    std::lock_guard lock(Q().mutex);
    Q().quit = true;
    Q().exitCode = exitCode;
  }
  WakeGui();
}

UINT RegisterWindowMessageW(LPCWSTR name) {
  if (!name || !*name) return 0;
  return RegisterMessageName(std::u16string_view(name));
}

namespace platform::core {

UINT RegisterMessageName(std::u16string_view name) {
  // One table per process (the library is shared), compared without case.
  static auto* mutex = new std::mutex;
  static auto* table = new std::map<std::u16string, UINT>;
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  std::lock_guard lock(*mutex);
  auto [it, inserted] = table->emplace(key, 0);
  if (inserted) {
    if (table->size() > 0x3FFF) {
      table->erase(it);
      return 0;
    }
    it->second = WM_REGISTERED_FIRST + static_cast<UINT>(table->size() - 1);
  }
  return it->second;
}

} // namespace platform::core
