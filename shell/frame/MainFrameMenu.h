#pragma once
// The browser's menu and accelerator table (resource 128): which command sits
// where, the text of the text table it shows, and its keys. The frame
// registers both with the window layer before it is created and replaces
// every caption with its text when it is created (CMainFrame::LoadMenuTexts).

#include "platform/win/WinMenus.h"

#include <span>

struct MenuCommandText {
  UINT id;     // 0: a separator
  int textId;  // the caption's text
};

// The five drop-downs: their own caption text and their commands, in menu order.
struct MenuDropDown {
  int textId;
  std::span<const MenuCommandText> commands;
};
std::span<const MenuDropDown> MainFrameMenuLayout();

// The caption text of a command of the menu (0 when it has none).
int MainFrameMenuTextId(UINT commandId);

// Registers menu 128 and accelerator table 128 (once).
void RegisterMainFrameResources();
