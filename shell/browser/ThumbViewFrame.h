#pragma once
// What the thumbnail view asks of the frame that holds it beyond its commands.
// The view's buttons send the frame the commands of its menu (WM_COMMAND with
// the menu's ids, ThumbViewCommands below); a request that carries a path
// goes through this interface, which the main frame implements. The view finds
// it on its parent frame, so it never includes the frame's code.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

class IThumbViewFrame {
public:
  virtual ~IThumbViewFrame() = default;
  // Opens the file in a review window (an empty path: the current file).
  virtual void OpenImage(const FString& path, BOOL newWindow) = 0;
  // Tells the information palette, when it exists, the browser's current file.
  virtual void NotifyInfoPalette(const FString& path) = 0;
  // Sends the message to every review window in the frame's list (the grid's
  // frame interface asks the same, so one function of the frame serves both).
  virtual void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Whether the frame has what one of its commands below needs (a review
  // window, the information palette, a dialog); the view's button stays
  // disabled otherwise.
  virtual BOOL CanRunCommand(UINT /*command*/) { return TRUE; }
};

// The frame's menu commands the view's buttons give.
namespace ThumbViewCommands {
constexpr UINT kOpenImage = 32779;       // in the review window
constexpr UINT kOpenImageNew = 32780;    // in a new review window
constexpr UINT kInfoPalette = 32782;     // show or hide the information palette
constexpr UINT kPrint = 57607;           // ID_FILE_PRINT: print the browser's files
constexpr UINT kSlideShow = 32786;
constexpr UINT kRotateClockwise = 32804;
constexpr UINT kRotateCounterClockwise = 32805;
constexpr UINT kMark = 32806;
constexpr UINT kLock = 32807;
constexpr UINT kDelete = 32808;
} // namespace ThumbViewCommands
