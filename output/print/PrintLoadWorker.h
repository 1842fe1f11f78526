#pragma once
// The worker that prepares a print page's pictures under the print progress
// dialog: for each picture it posts WM_APP_PRINT_PROGRESS (n, count) and the
// bar's start, prepares the picture (developing raw files with percentages
// for the bar) and posts the bar's end; after the last one it posts the
// finish message (100, 1). It touches no window otherwise.
//
//   RunPrintPreparation(progressDialog, this, PicturesToPrepare(...), fromReview, settings.get());

#include "output/print/PrintPreparation.h"
#include "shell/app/AppClipboard.h"

#include "platform/win/WinTypes.h"

struct PrintLoadParam {
  const std::vector<CET_PrintPictData*>* pictures = nullptr; // not owned
  BOOL filterStills = FALSE;                                 // the adjusted copy of stills
  const CET_FilterData* settings = nullptr;                  // may be null
  IThreadProgressDialog* progress = nullptr;                 // gets the messages
  PrintPictureSource* source = nullptr;
  // Pauses after each start and end of a picture (milliseconds), so the
  // person sees every step.
  DWORD startPause = 100;
  DWORD endPause = 200;
};

UINT PrintLoadThreadProc(LPVOID param);

class CThreadProgressDlg;
class CWnd;

// A page's preparation as the print dialog runs it: the worker over the list
// (the program's own pictures) under the progress dialog, shown even for an
// empty list and without a cancel button; returns when the pictures are
// ready. Movie grabs report to printDialog; settings may be null.
void RunPrintPreparation(CThreadProgressDlg& progress, CWnd* printDialog, const std::vector<CET_PrintPictData*>& list,
                         BOOL filterStills, const CET_FilterData* settings);
