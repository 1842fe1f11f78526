#pragma once
// The worker that prepares a print page's pictures under the print progress
// dialog: for each picture it posts WM_APP_PRINT_PROGRESS (n, count) and the
// bar's start, prepares the picture (developing raw files with percentages
// for the bar) and posts the bar's end; after the last one it posts the
// finish message (100, 1). It touches no window otherwise.
//
//   PrintLoadParam param{&list, fromReview, settings.get(), &progressDialog, &source};
//   CWinThread* worker = AfxBeginThread(PrintLoadThreadProc, &param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);

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
