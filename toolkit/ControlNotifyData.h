#pragma once
// The record the track bar and the spin send their parent with each change.
// It lives on the sender's stack for the duration of the SendMessage: the
// receiver reads it and keeps no pointer to it.

#include "platform/win/WinUser.h"

// Notifications of the toolkit's controls to their parent, sent with
// wParam = the control's dialog id and lParam = a ControlNotifyData*.
constexpr UINT WM_APP_TRACKBAR_CHANGED = WM_APP + 1;
constexpr UINT WM_APP_SPIN_CHANGED = WM_APP + 4;
// The radio bar's choice: wParam the control's dialog id, lParam the index chosen.
constexpr UINT WM_APP_RADIOBAR_CLICKED = WM_APP + 2;
// The rectangle tracker's new rectangle: wParam a RECT* valid during the send, lParam 0.
constexpr UINT WM_APP_VISIBLE_RECT = WM_APP + 0x1C;

struct ControlNotifyData {
  int position = 0; // the control's value after the change
  // The part being pressed. Track bar: 0 left step, 1 right step, 3 page
  // left, 4 page right, -1 none. Spin: 0 decrement, 1 increment, 2
  // decrement released, 3 increment released, -1 none.
  int part = -1;
  int repeatCount = 0; // auto-repeat steps taken in the current press (0 on the first)
};
