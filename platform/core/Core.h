#pragma once
// The layer's Qt-free engine: the GUI thread's queues and pump, window
// records, timers, the clock and the input-state source. Internal to the
// platform library and its tests; parts build on the public headers of
// platform/win and platform/afx.

#include "platform/afx/AfxWin.h"
#include "platform/core/Host.h"
#include "platform/win/WinDialogs.h"

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class CWnd;

namespace platform::core {

// ---- Start-up --------------------------------------------------------------

// Makes the calling thread the GUI thread, served by host. Every window lives
// on it; other threads post, send and call the few marshalled window calls.
void StartGuiThread(IHost* host);
// Ends the GUI thread's service: pending and later sends answer 0, queued
// posts are dropped (their records deleted), timers stopped.
void StopGuiThread();
bool IsGuiThread();
bool GuiThreadRunning();

// ---- The queues and the pump -----------------------------------------------

// Serves every message other threads sent to the GUI thread.
void ServeSentMessages();
// What the back end's wake event does: serve sends, then pump the posted
// messages queued now and due timer ticks, one at a time (handlers may
// re-enter). Does nothing but sends while draining is held off.
void DrainQueues();
// Holds off draining of posted messages (an unfiltered PeekMessage runs the
// back end's events under it).
class DrainHold {
public:
  DrainHold();
  ~DrainHold();
  DrainHold(const DrainHold&) = delete;
  DrainHold& operator=(const DrainHold&) = delete;
};
// Pre-translates (the application, then the window chain) and dispatches.
void PumpMessage(MSG& msg);
// Runs the GUI thread's loop until done() or a quit is pending.
void RunLoop(const std::function<bool()>& done);
bool QuitPending(int* exitCode = nullptr);
// Exceptions thrown by handlers that run inside the back end's event
// dispatch are kept here and thrown again when the layer's loop regains
// control, so they never unwind through the window system.
void KeepException(std::exception_ptr error);
void RethrowKeptException();
void ClearQuit();
bool HasPendingWork();
// Runs fn on the GUI thread and answers its result (0 when the GUI thread is gone).
LRESULT CallOnGuiThread(const std::function<LRESULT()>& fn);
// Waits until sends arrive, the state of a thread changes or timeoutMs passes.
void WaitForWork(std::int64_t timeoutMs, const std::function<bool()>& ready);
void NotifyWork();
// Calls a window's procedure, or answers 0 for a stale handle.
LRESULT CallWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Depth of WM_PAINT and WM_ERASEBKGND calls on the GUI thread.
int PaintDepth();
class PaintScope {
public:
  PaintScope();
  ~PaintScope();
};

// ---- Timers and the clock ----------------------------------------------------

std::int64_t Now();
void UseVirtualClock(bool on);
bool VirtualClock();
// Moves the virtual clock (no delivery).
void MoveVirtualClock(std::int64_t ms);
// The earliest due time of any timer, or -1.
std::int64_t NextTimerDue();
// Takes the earliest due timer's tick (due now) as a WM_TIMER; false when none.
bool TakeDueTimer(MSG& msg);
void KillWindowTimers(HWND hwnd);
void StopAllTimers();

// ---- Input state ----------------------------------------------------------------

// Where GetAsyncKeyState and GetCursorPos look.
class IInputSource {
public:
  virtual ~IInputSource() = default;
  virtual POINT CursorPos() = 0;
  virtual void SetCursorPos(POINT screen) = 0;
  // A mouse button's state; `advance` marks a query that may move a script
  // on (every query but those made while painting).
  virtual bool ButtonDown(int vk, bool advance) = 0;
  virtual bool KeyDown(int vk) = 0;
};
void SetInputSource(IInputSource* source); // null: the back end's live source
IInputSource* InputSource();
void SetLiveInputSource(IInputSource* source);

// A script of input frames for tests: each button query made outside
// painting takes the next frame; cursor and key queries read the current
// one. When the script is exhausted every button reads up, so every polling
// loop ends.
struct InputFrame {
  POINT cursor;
  bool left = false;
  bool right = false;
  bool middle = false;
  bool control = false;
  bool shift = false;
};
class ScriptedInput : public IInputSource {
public:
  void Script(std::vector<InputFrame> frames);
  // The state between scripts (what injected messages leave behind).
  void SetCurrent(const InputFrame& frame);
  const InputFrame& Current() const { return m_current; }
  std::size_t Remaining() const { return m_frames.size(); }
  POINT CursorPos() override { return m_current.cursor; }
  void SetCursorPos(POINT screen) override { m_current.cursor = screen; }
  bool ButtonDown(int vk, bool advance) override;
  bool KeyDown(int vk) override;

private:
  std::deque<InputFrame> m_frames;
  bool m_scripted = false;
  InputFrame m_current;
};

// ---- Windows ---------------------------------------------------------------------

// The procedure of a window class the layer implements itself (its
// controls and dialogs): the default window procedure of such a window
// lands here, as the class procedure under a subclassing object.
class NativeControl {
public:
  virtual ~NativeControl() = default;
  virtual LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// The class procedure of a window class the layer implements (null for
// any other class name); made when the window's record is.
std::unique_ptr<NativeControl> MakeNativeControl(HWND hwnd, const CREATESTRUCTW& cs);

class Region;

struct WindowRecord {
  CWnd* object = nullptr;
  HWND parent = nullptr;
  std::vector<HWND> children; // stacking order, top first
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  RECT rect;                  // parent client coordinates (top-level: screen)
  std::u16string text;
  HFONT font = nullptr;
  bool visible = false;
  bool disabled = false;
  bool destroying = false;
  std::vector<RECT> update;   // client coordinates
  bool erasePending = false;
  SCROLLINFO scroll[2];
  bool scrollShown[2] = {false, false};
  HCURSOR cursor = nullptr;
  std::unique_ptr<IWindowHost> host;
  // The class procedure of the layer's controls and dialogs (null for others).
  std::unique_ptr<NativeControl> native;
  // The object the layer made for a window created without one (a
  // template's control), kept until the window goes even when a program
  // object subclasses the window.
  std::unique_ptr<CWnd> ownedObject;
  HWND owner = nullptr;      // top-level windows: the owner given at creation
  HMENU menu = nullptr;      // top-level windows: the menu bar's menu
  int menuHeight = 0;        // the menu bar's band between border and client area
  int showState = 1;         // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED
  RECT normalRect;           // the rectangle a minimised or maximised window returns to
  // Top-level windows: the window system's frame (title bar and edges) as
  // its widths inside `rect`; the layer's border, menu band and client area
  // lie within it. Empty without a window manager.
  RECT frame{};
  std::shared_ptr<Region> windowRegion; // SetWindowRgn, window coordinates; null: the whole window
};

// The record of a live window on the GUI thread; null for a stale handle.
WindowRecord* Record(HWND hwnd);
// Any thread: whether the handle names a live window.
bool IsLiveWindow(HWND hwnd);
HWND CreateWindowRecord(CWnd* object, const CREATESTRUCTW& cs);
int BorderWidth(const WindowRecord& record);
RECT ClientRectOf(const WindowRecord& record);
// Offset of a window's client origin in screen coordinates.
POINT ClientOrigin(HWND hwnd);
// Makes the window's top-level window the active one (WM_ACTIVATE to the old
// and the new); with tellWindowSystem its host is asked to take the keyboard.
HWND Activate(HWND hwnd, bool tellWindowSystem);
// Windows in front-to-back order for hit tests and grabs.
std::vector<HWND> TopLevelWindows();
// Top-level windows of the GUI thread, for cleanup.
void DestroyAllWindows();
// Whether the calling thread may touch this window; reports refusals.
bool WindowCallAllowed(const char* function);
// Dispatches WM_PAINT to a window whose update region is not empty (the
// back end calls this before presenting).
void PaintIfNeeded(HWND hwnd);
// The default window procedure without the class procedure of the layer's
// controls (what those fall back to).
LRESULT GenericWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The band around a window's client area: the window system's frame, border
// widths, the menu bar on top.
RECT NonClientInsets(const WindowRecord& record);
// Hands the record's rectangle, frame and border to its host.
void SyncGeometry(WindowRecord& record);
// The default handling of position, size, system-command and colour
// messages (WM_WINDOWPOSCHANGED sends WM_MOVE and WM_SIZE, WM_SYSCOMMAND
// carries the command out, WM_CTLCOLOR* give the system's colours).
LRESULT DefaultFrameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Whether painting of the window waits for LockWindowUpdate to be lifted.
bool UpdateLocked(HWND hwnd);
// Shows the menu as the top-level window's menu bar (null removes it); a
// notified change resizes the client area with WM_SIZE.
bool AttachMenuBar(HWND hwnd, HMENU menu, bool notify);
// Minimises, maximises or restores a top-level window for ShowWindow
// (other commands leave its state); WM_SIZE tells the kind.
void ApplyShowState(HWND hwnd, int cmdShow);

// ---- Registered messages --------------------------------------------------------

UINT RegisterMessageName(std::u16string_view name);

// ---- Diagnostics -----------------------------------------------------------------

void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace platform::core
