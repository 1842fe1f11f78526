#pragma once
// One running instance per user, and the hand-over of a second start's file
// to it. Qt-free. In place of a named mutex, the first instance's window
// property and a cross-process WM_COPYDATA: a lock file held with flock (the
// kernel lets go of it when its process ends, however it ends) and a local
// socket beside it, both named after the mutex, in the user's runtime folder
// ($XDG_RUNTIME_DIR, else a private /tmp/lumitra-<uid>).
//
//   platform::InstanceLock lock(u"TALVO Lumitra v3.X");
//   switch (lock.Acquire()) {
//   case platform::InstanceLock::State::Second:
//     lock.HandOver(path);        // the first instance opens it; we end
//     return FALSE;
//   case platform::InstanceLock::State::Failed: return FALSE;
//   default: break;               // we are the first
//   }
//   ... once the main frame exists:  lock.Publish(mainFrame->m_hWnd);
//
// The first instance reads every connection at once, each within two seconds
// for its whole message, and serves each hand-over on the GUI thread: it shows and
// raises the published window and, when a path came, sends it WM_COPYDATA
// (wParam 0; dwData 0, cbData (characters + 1) x 2, lpData the UTF-16 path
// with its final 0). The second start's HandOver returns once that handler
// has returned.

#include "platform/win/WinUser.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class InstanceLock {
public:
  enum class State { Unclaimed, First, Second, Failed };

  explicit InstanceLock(std::u16string_view name);
  // Withdraws and releases.
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock: First, or Second when another process of this user holds
  // it, or Failed when the runtime folder or the lock file cannot be made.
  State Acquire();
  State GetState() const;

  // First instance: from now on hand-overs reach this window (a stale socket
  // of a crashed instance is replaced). A path `accepts` refuses (called on
  // the listener's thread) is answered "refused" and never reaches the
  // window. False when the socket cannot be made.
  bool Publish(HWND mainWindow, std::function<bool(std::u16string_view)> accepts = {});
  // No more hand-overs (the main frame goes away). Serves the GUI thread's
  // sends while it waits for a hand-over in progress.
  void Withdraw();

  // Second start: asks the first instance to bring its window forward and,
  // with a non-empty path (at most 4096 UTF-16 units), to open the file.
  // True once its handler has run; false when no first instance listens
  // (it may still be starting), or it refused or did not answer in time.
  bool HandOver(std::u16string_view path) const;

  // Gives the lock back (a second instance never held it).
  void Release();

private:
  struct Listener;
  std::string m_lockPath;
  std::string m_socketPath;
  int m_lockFd = -1;
  State m_state = State::Unclaimed;
  std::unique_ptr<Listener> m_listener;
};

} // namespace platform
