#pragma once
// The review window's develop worker: one worker thread at a time develops a
// raw file (ReviewDevelopThreadProc) or decodes and adjusts a still picture
// (ReviewLoadThreadProc) for the review view, and reports by posting
// WM_APP_DEVELOP_PARTIAL, WM_APP_DEVELOP_PROGRESS and, as its last action,
// WM_APP_DEVELOP_DONE to the view. ReviewDevelopControl (ReviewDevelopControl.h)
// is the view's part that starts, parks, cancels and replaces developments.
//
// Locks, in the order a worker takes them: the engine lock, then the settings
// slots' lock; the slots' lock is never held while waiting for the engine lock.

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "platform/afx/AfxWin.h"
#include "review/core/CFilterDataSlots.h"
#include "review/core/ReviewDevelopServices.h"
#include "toolkit/CET_Dib.h"

class ReviewDevelopControl;

// A review view's worker job. The view owns it for its whole life and leaves it
// alone while a worker runs; the worker gets a pointer to it.
struct ReviewDevelopParam {
  ReviewDevelopParam() = default;
  ~ReviewDevelopParam() { Reset(); }
  ReviewDevelopParam(const ReviewDevelopParam&) = delete;
  ReviewDevelopParam& operator=(const ReviewDevelopParam&) = delete;

  // Clears view, slot and slots, empties the path, file type -1, frees the
  // three pictures, closes the handle, progress base 0.
  void Reset();
  // Frees the picture held in the field and stores the new one.
  static void ReplacePicture(CET_Dib*& field, CET_Dib* picture);

  CWnd* view = nullptr;          // every message is posted to it
  int slot = 0;                  // 1 as shot, 2 automatic, 3 custom, 4 user setting
  CFilterDataSlots* slots = nullptr;
  FString path;
  int fileType = -1;             // 6: a raw file; -1: no image
  CET_Dib* firstPicture = nullptr;      // raw: the quick picture; others: the decoded picture
  CET_Dib* developedPicture = nullptr;  // the last developed or filtered picture
  FString sourceProfile;
  FString monitorProfile;
  CET_Dib* managedPicture = nullptr;    // the shown picture in the monitor's colours
  int colorSpace = 2;
  BOOL fullSize = FALSE;
  FIntSize fitSize;              // the area to fit into, or 0 x 0
  double scale = 0.0;            // image pixels per picture pixel; 0: follows from fitSize
  FIntSize imageSize;            // written by the worker
  CKVR_ImageHandle* handle = nullptr;   // kept open between developments of one image
  int progressBase = 0;          // added to every progress report

  // Beside the job record: who answers IsCancelled, and the facade and
  // application services the worker uses.
  ReviewDevelopControl* control = nullptr;
  ReviewDevelopServices* services = nullptr;
};

struct ReviewProgressContext {
  CWnd* view = nullptr;
  int base = 0;   // percent
  int span = 0;   // percent
  ReviewDevelopControl* control = nullptr;
};

// 0 asks the facade to stop (a cancel is under way); otherwise posts
// WM_APP_DEVELOP_PROGRESS with base + percent x span / 100 and returns 1.
int ReviewProgressCallback(int percent, void* context);

// The worker procedures (thread argument: the ReviewDevelopParam); they return 0.
UINT ReviewDevelopThreadProc(LPVOID job);
UINT ReviewLoadThreadProc(LPVOID job);

inline constexpr int kRawFileType = 6;
