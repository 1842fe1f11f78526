#pragma once
// The driver of the common dialogs: whatever needs a person (printer set-up,
// font with colour, file choice) is asked of it. The Qt back end installs
// Qt's dialogs; tests install a script (platform/testing/CommonDialogs.h).
// Without a driver every dialog is cancelled.

#include "platform/win/WinCommonDialogs.h"

#include <string>
#include <utility>
#include <vector>

namespace platform::core {

struct PrintSetupRequest {
  HWND owner = nullptr;
  DWORD flags = 0;          // PD_*
  std::u16string printer;   // the chosen printer, answered
  DEVMODEW mode;            // its settings, answered
};

struct FontRequest {
  HWND owner = nullptr;
  DWORD flags = 0;          // CF_*
  LOGFONTW font;            // face and style; lfHeight is not used
  int pointTenths = 100;    // the size, answered in tenths of a point
  COLORREF colour = 0;      // with CF_EFFECTS
  int minPoints = 0;        // with CF_LIMITSIZE
  int maxPoints = 0;
};

struct FileRequest {
  HWND owner = nullptr;
  bool save = false;
  DWORD flags = 0;          // OFN_*
  std::u16string title;
  std::vector<std::pair<std::u16string, std::u16string>> filters; // description, patterns
  int filterIndex = 1;      // from 1, answered
  std::u16string folder;
  std::u16string path;      // the initial name; the chosen path, answered
};

class IDialogDriver {
public:
  virtual ~IDialogDriver() = default;
  // True when the user confirmed; the request then holds the answer.
  virtual bool PrintSetup(PrintSetupRequest& request) = 0;
  virtual bool ChooseFont(FontRequest& request) = 0;
  virtual bool ChooseFile(FileRequest& request) = 0;
};

void SetDialogDriver(IDialogDriver* driver);
IDialogDriver* DialogDriver();

// The description and pattern pairs of a filter list (texts ending with a 0
// character, the list with one more); an incomplete last pair is dropped.
std::vector<std::pair<std::u16string, std::u16string>> ParseFilterList(const char16_t* list);

} // namespace platform::core
