#pragma once
// What a review window asks of the browser's main frame: its place in the
// main frame's list of review windows, the browser's files around its image,
// and whether the browser is busy. The program's own answers come from the
// main frame (MainFrameReviewHost); tests give their own. Without a main
// frame every answer is the neutral one.

#include "foundation/FString.h"
#include "platform/afx/AfxWin.h"

class IReviewFrame;
class CTLM_ThumbnailData;

class IReviewFrameHost {
public:
  virtual ~IReviewFrameHost() = default;
  // The main frame's window (where file requests go), or null.
  virtual CWnd* GetMainWnd() = 0;
  // Action 1 moves the window to the front of the list, 2 takes it out.
  virtual void ReorderReviewFrame(IReviewFrame* frame, int action) = 0;
  virtual int GetReviewFrameCount() = 0;
  // The 0-based position among the browser's still pictures and their
  // count: 0 and 1 for a file of another folder, -1 and -1 without a browser.
  virtual void GetImagePosition(const FString& path, int* index, int* count) = 0;
  virtual FString GetNextImagePath(const FString& path) = 0;
  virtual FString GetPrevImagePath(const FString& path) = 0;
  // A new copy of the browser's record of the file (the caller deletes it), or null.
  virtual CTLM_ThumbnailData* FindThumbnail(const FString& path) = 0;
  virtual BOOL IsThumbnailLoading() = 0;
  // A batch save's progress dialog runs.
  virtual BOOL HasProgressDialog() = 0;
};

// The program's main frame (GetMainFrame).
IReviewFrameHost& MainFrameReviewHost();
