// GetAsyncKeyState, GetCursorPos and SetCursorPos read one input-state
// source: the back end's live one, or a script installed by a test.

#include "platform/core/Core.h"

namespace platform::core {
namespace {

IInputSource* g_live = nullptr;
IInputSource* g_override = nullptr;

// Without a back end nothing is pressed and the pointer rests at (0, 0).
class IdleInput : public IInputSource {
public:
  POINT CursorPos() override { return m_pos; }
  void SetCursorPos(POINT p) override { m_pos = p; }
  bool ButtonDown(int, bool) override { return false; }
  bool KeyDown(int) override { return false; }

private:
  POINT m_pos;
};

} // namespace

void SetInputSource(IInputSource* source) { g_override = source; }
void SetLiveInputSource(IInputSource* source) { g_live = source; }

IInputSource* InputSource() {
  static IdleInput idle;
  if (g_override) return g_override;
  return g_live ? g_live : &idle;
}

void ScriptedInput::Script(std::vector<InputFrame> frames) {
  m_frames.assign(frames.begin(), frames.end());
  m_scripted = true;
}

void ScriptedInput::SetCurrent(const InputFrame& frame) {
  m_frames.clear();
  m_scripted = false;
  m_current = frame;
}

bool ScriptedInput::ButtonDown(int vk, bool advance) {
  if (advance && m_scripted) {
    if (m_frames.empty()) {
      // Exhausted: every button is up from now on, the pointer stays.
      m_current.left = m_current.right = m_current.middle = false;
      m_scripted = false;
    } else {
      m_current = m_frames.front();
      m_frames.pop_front();
    }
  }
  switch (vk) {
  case VK_LBUTTON: return m_current.left;
  case VK_RBUTTON: return m_current.right;
  case VK_MBUTTON: return m_current.middle;
  default: return false;
  }
}

bool ScriptedInput::KeyDown(int vk) {
  if (vk == VK_CONTROL) return m_current.control;
  if (vk == VK_SHIFT) return m_current.shift;
  return false;
}

} // namespace platform::core

using namespace platform::core;

SHORT GetAsyncKeyState(int virtualKey) {
  IInputSource* source = InputSource();
  bool down;
  if (virtualKey == VK_LBUTTON || virtualKey == VK_RBUTTON || virtualKey == VK_MBUTTON) {
    down = source->ButtonDown(virtualKey, PaintDepth() == 0 || !IsGuiThread());
  } else {
    down = source->KeyDown(virtualKey);
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = InputSource()->CursorPos();
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  const POINT before = InputSource()->CursorPos();
  InputSource()->SetCursorPos({x, y});
  // Putting the cursor where it already is moves nothing in the window
  // system, yet the window under it asks for its cursor again.
  if (before.x == x && before.y == y && IsGuiThread()) {
    HWND hwnd = GetCapture();
    if (!hwnd) hwnd = WindowFromPoint({x, y});
    if (hwnd) SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  }
  return TRUE;
}
