// Threads of the framework over std::thread: created running or suspended,
// with an exit code and a handle that goes stale with the thread object.
// Nothing is ever killed; a wait that must keep windows alive serves the
// sends addressed to the GUI thread while it waits.

#include "platform/core/Core.h"
#include "platform/core/Handles.h"

#include <condition_variable>
#include <mutex>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace platform::core;

struct ThreadState {
  std::mutex mutex;
  std::condition_variable changed;
  bool resumed = false;
  bool done = false;
  DWORD exitCode = STILL_ACTIVE;
};

namespace {

std::mutex g_handlesMutex;
HandleTable<std::shared_ptr<ThreadState>>& Handles() {
  static auto* table = new HandleTable<std::shared_ptr<ThreadState>>;
  return *table;
}

std::shared_ptr<ThreadState> StateOf(HANDLE handle) {
  std::lock_guard lock(g_handlesMutex);
  auto* state = Handles().Get(reinterpret_cast<std::uintptr_t>(handle));
  return state ? *state : nullptr;
}

bool Done(ThreadState& state) {
  std::lock_guard lock(state.mutex);
  return state.done;
}

} // namespace

struct ThreadStart {
  static void Run(CWinThread* thread, std::shared_ptr<ThreadState> state) {
    {
      std::unique_lock lock(state->mutex);
      state->changed.wait(lock, [&] { return state->resumed; });
    }
    thread->m_nThreadID = GetCurrentThreadId();
    DWORD code = 0;
    try {
      code = thread->m_proc ? thread->m_proc(thread->m_param) : static_cast<DWORD>(thread->Run());
    } catch (...) {
      Diagnostic("a thread ended by an exception");
      code = 0xDEADBEEF;
    }
    const bool autoDelete = thread->m_bAutoDelete != FALSE;
    if (autoDelete) delete thread; // its handle goes stale now
    {
      std::lock_guard lock(state->mutex);
      state->exitCode = code;
      state->done = true;
    }
    state->changed.notify_all();
    NotifyWork();
  }
};

CWinThread::CWinThread() = default;
CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param) : m_proc(proc), m_param(param) {}

CWinThread::~CWinThread() {
  if (m_hThread) {
    std::lock_guard lock(g_handlesMutex);
    Handles().Remove(reinterpret_cast<std::uintptr_t>(m_hThread));
  }
}

BOOL CWinThread::CreateThread(DWORD flags, UINT) {
  if (m_state) return FALSE;
  m_state = std::make_shared<ThreadState>();
  m_state->resumed = (flags & CREATE_SUSPENDED) == 0;
  {
    std::lock_guard lock(g_handlesMutex);
    m_hThread = reinterpret_cast<HANDLE>(Handles().Add(std::make_unique<std::shared_ptr<ThreadState>>(m_state)));
  }
  try {
    std::thread(&ThreadStart::Run, this, m_state).detach();
  } catch (const std::system_error&) {
    std::lock_guard lock(m_state->mutex);
    m_state->exitCode = 0xDEADBEEF;
    m_state->done = true;
    return FALSE;
  }
  return TRUE;
}

DWORD CWinThread::ResumeThread() {
  // Works on its own reference: once resumed, a thread that deletes itself may
  // end and delete this object before the waiter is woken.
  const std::shared_ptr<ThreadState> state = m_state;
  if (!state) return static_cast<DWORD>(-1);
  bool was;
  {
    std::lock_guard lock(state->mutex);
    was = state->resumed;
    state->resumed = true;
  }
  state->changed.notify_all();
  return was ? 0 : 1;
}

// Priorities are a hint the layer does not pass on: the worker threads of the
// interface run at the process's own.
BOOL CWinThread::SetThreadPriority(int) { return m_state ? TRUE : FALSE; }
BOOL CWinThread::InitInstance() { return FALSE; }
int CWinThread::ExitInstance() { return m_exitCode; }
int CWinThread::Run() { return ExitInstance(); }
BOOL CWinThread::PreTranslateMessage(MSG* msg) {
  return CWnd::WalkPreTranslateTree(m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr, msg);
}
BOOL CWinThread::PumpMessage(MSG* msg) {
  if (!msg) return FALSE;
  platform::core::PumpMessage(*msg);
  return TRUE;
}

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD flags, void*) {
  auto* thread = new CWinThread(proc, param);
  if (!thread->CreateThread(flags | CREATE_SUSPENDED, stackSize)) {
    delete thread;
    return nullptr;
  }
  thread->SetThreadPriority(priority);
  if (!(flags & CREATE_SUSPENDED)) thread->ResumeThread();
  return thread;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  auto state = StateOf(thread);
  if (!state || !exitCode) return FALSE;
  std::lock_guard lock(state->mutex);
  *exitCode = state->exitCode;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
  auto state = StateOf(thread);
  if (!state) return WAIT_FAILED;
  std::unique_lock lock(state->mutex);
  auto done = [&] { return state->done; };
  if (milliseconds == INFINITE) {
    state->changed.wait(lock, done);
    return WAIT_OBJECT_0;
  }
  return state->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), done) ? WAIT_OBJECT_0
                                                                                       : WAIT_TIMEOUT;
}

DWORD WaitForThreadWithPump(HANDLE thread, DWORD milliseconds) {
  if (!IsGuiThread()) return WaitForSingleObject(thread, milliseconds);
  auto state = StateOf(thread);
  if (!state) return WAIT_FAILED;
  const std::int64_t start = static_cast<std::int64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
  for (;;) {
    ServeSentMessages();
    if (Done(*state)) return WAIT_OBJECT_0;
    std::int64_t timeout = -1;
    if (milliseconds != INFINITE) {
      const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
      timeout = static_cast<std::int64_t>(milliseconds) - (now - start);
      if (timeout <= 0) return WAIT_TIMEOUT;
    }
    WaitForWork(timeout, [&] { return Done(*state); });
  }
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }
