#pragma once
// Headless tests of windows (Qt-free header). Init() starts the application
// once per test program: the offscreen platform with one 1920 x 1080 screen
// at 96 dpi and device-pixel ratio 1, the pinned DejaVu fonts, the virtual
// clock, and a scripted input source in place of the pointer.
//
//   TEST(MyControl, ...) {
//     platform::testing::Init();
//     CMyCtrl ctrl; ctrl.Create(...);
//     platform::testing::Pump();                       // posts, sends, paints
//     platform::testing::Click(ctrl, {10, 5});          // a press and release
//     platform::testing::AdvanceTime(1000);             // due timers, in order
//     auto shot = platform::testing::GrabClient(ctrl);  // the composed surfaces
//   }

#include "platform/core/Core.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform::testing {

using core::InputFrame;
using core::PixelImage;

void Init();
// Runs until the posted and sent queues are empty and no window waits for
// its paint.
void Pump();
// Moves the virtual clock to each due timer in turn, pumping its tick and
// what follows, then to the end of the span.
void AdvanceTime(std::int64_t ms);

// The scripted input source (GetAsyncKeyState, GetCursorPos).
core::ScriptedInput& Input();
// Frames consumed one per button query made outside painting; when they run
// out every button reads up.
void ScriptInput(std::vector<InputFrame> frames);

// Mouse messages through the layer's pump, with the input state to match
// (points in the window's client coordinates).
void MouseDown(HWND hwnd, POINT client);
void MouseUp(HWND hwnd, POINT client);
void MouseMove(HWND hwnd, POINT client, bool leftDown = false);
void Click(HWND hwnd, POINT client);

// Mouse input as the window system delivers it (through Qt's event routing),
// at a screen point: to test translation and capture.
enum class MouseAction { Press, Release, Move, DoubleClick };
void SystemMouse(MouseAction action, POINT screen);
// A key pressed and released as the window system delivers it (to the focus
// window's top-level window), and a wheel turn over a screen point.
void SystemKey(int virtualKey);
void SystemWheel(POINT screen, int delta);

// The window's client area as the layer composes it: its ancestors'
// surfaces under undrawn pixels, its own, then its visible descendants'.
PixelImage GrabClient(HWND hwnd);
// 0x00BBGGRR of a pixel of a grab.
COLORREF PixelAt(const PixelImage& image, int x, int y);
// Writes a grab as PNG into the test output folder (made if missing); the path.
std::string SavePng(const PixelImage& image, const std::string& name);
std::string OutputFolder();
// Whether the window's host shows a cursor (SetCursor(NULL) hides it).
bool CursorVisible(HWND hwnd);
// The standard cursor the window's host shows (32512 IDC_ARROW...), 0 for
// none or a resource cursor.
int ShownStandardCursor(HWND hwnd);

// ---- Scripts of what blocks: modal runs, pop-up menus, drags ----------------------

// The next modal run of a dialog calls the script inside its loop, after
// WM_INITDIALOG (click, type, EndDialog...), then pumps; a run still going
// once all is quiet, or one without a script, ends with kUnscriptedModal.
// Scripts are taken in the order the runs start (nested runs included).
constexpr int kUnscriptedModal = -2;
void OnNextModal(std::function<void(HWND dialog)> script);
std::size_t PendingModalScripts();

// A menu as it was shown: every item with its state and text, submenus
// included.
struct ShownMenuItem {
  UINT id = 0;              // 0 for separators and submenus
  std::u16string text;
  UINT state = 0;           // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_DEFAULT, MF_SEPARATOR, MF_POPUP
  std::vector<ShownMenuItem> items;
};
using ShownMenu = std::vector<ShownMenuItem>;
// The next pop-up menu chooses this command (0: dismissed).
void ScriptMenuChoice(UINT id);
// The last pop-up menu shown, as it showed.
ShownMenu LastShownMenu();
ShownMenu Snapshot(HMENU menu);
// Opens a pop-up of a frame's (Qt) menu bar as the person would: its update
// handlers run (WM_INITMENUPOPUP), then it is recorded as it shows; a
// non-zero choice is then chosen when it is enabled (posted as WM_COMMAND)
// and pumped.
ShownMenu OpenMenuBarPopup(HWND frame, int position, UINT choose = 0);

// A drag over windows: each step at a client point of a window with the key
// state (MK_*); then a drop or a cancel.
struct DragStep {
  HWND hwnd = nullptr;
  POINT client;
  DWORD keyState = 0;
};
// The next DoDragDrop replays these steps.
void ScriptDrag(std::vector<DragStep> steps, bool drop = true);
// Replays steps with the data (clipboard format -> bytes) at once; the effect.
DWORD RunDrag(const std::map<UINT, std::vector<std::uint8_t>>& data, DWORD allowed, const std::vector<DragStep>& steps,
              bool drop = true);
// A drag of another program's data (MIME type -> bytes) through the window
// system's drag events onto the window under a screen point, then a drop;
// the effect the drop answered.
DWORD SystemDrop(POINT screen, const std::vector<std::pair<std::string, std::string>>& mime, DWORD keyState = 0);

// ---- The window system's side --------------------------------------------------------

// The clipboard as other programs see it (MIME type -> bytes), and as
// another program would write it.
std::vector<std::pair<std::string, std::string>> SystemClipboard();
void SetSystemClipboard(const std::vector<std::pair<std::string, std::string>>& mime);
// A key with modifiers, and text typed, as the window system delivers them
// to the focus window.
void SystemKeyWith(int virtualKey, bool control, bool shift, bool alt);
void SystemType(const std::u16string& text);
// A top-level window moved or resized by the person (frame geometry), and
// minimised, maximised or restored (SW_SHOWMINIMIZED, ...).
void SystemResize(HWND hwnd, RECT screen);
void SystemShowState(HWND hwnd, int state);
// Another program, run while the GUI thread keeps serving the window
// system (that program may ask this one for the clipboard meanwhile).
class ProgramRun {
public:
  explicit ProgramRun(const std::vector<std::string>& argv);
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;
  // Until the program wrote the text (true), ended or the time ran out.
  bool WaitFor(const std::string& text, int timeoutMs = 20000);
  // Closes its input and waits for its end: the exit code, -1 when it did
  // not end in time (it is then killed).
  int Finish(int timeoutMs = 20000);
  std::string Output();
  // The program's process id (0 once it ended or when it did not start).
  long long Pid() const;

private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// What the headless setting resolved to, for guard tests: the screen and the
// font family a LOGFONTW lands on.
struct ScreenSetting {
  int width = 0;
  int height = 0;
  double logicalDpi = 0;
  double devicePixelRatio = 0;
};
ScreenSetting Screen();
std::string ResolvedFamily(const LOGFONTW& font);

} // namespace platform::testing
