#pragma once
// The review window's develop worker: one worker thread at a time develops a
// raw file (ReviewDevelopThreadProc) or decodes and adjusts a still picture
// (ReviewLoadThreadProc) for the review view, and reports by posting
// WM_APP_DEVELOP_PARTIAL, WM_APP_DEVELOP_PROGRESS and, as its last action,
// WM_APP_DEVELOP_DONE to the view. ReviewDevelopControl is the view's part that
// starts, parks, cancels and replaces developments.
//
// Locks, in the order a worker takes them: the engine lock, then the settings
// slots' lock; the slots' lock is never held while waiting for the engine lock.

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "platform/afx/AfxMt.h"
#include "platform/afx/AfxWin.h"
#include "review/core/CFilterDataSlots.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CKVR_ImageHandle.h"
#include "toolkit/CET_Dib.h"

#include <memory>

// What the workers ask of the development facade and of the application. The
// facade's calls default to the facade itself; the application's are the
// view's to give (the application object lives with the windows).
class ReviewDevelopServices {
public:
  virtual ~ReviewDevelopServices() = default;

  // The application's engine lock, infinite wait.
  virtual void LockEngine();
  virtual void UnlockEngine();
  virtual CKVR_ImageHandle* OpenHandle(const FString& path);
  virtual void CloseHandle(CKVR_ImageHandle* handle);
  virtual void ReloadProperties(CKVR_ImageHandle* handle);
  virtual int GetImageWidth(CKVR_ImageHandle* handle);
  virtual int GetImageHeight(CKVR_ImageHandle* handle);
  virtual CET_Dib* ProcessToBitmap(CKVR_ImageHandle* handle, int width, int height);
  virtual int GetFilterData(CKVR_ImageHandle* handle, CKVR_FilterData* settings, int autoFlag, int run,
                            KVRProgressCallback callback, void* user);
  virtual int FindWhiteBalanceIndex(CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_WBData>* list);
  virtual int FindColorModeIndex(CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_CMData>* list);
  virtual int GetNoiseReduction(CKVR_ImageHandle* handle, double* chroma, double* luma);
  virtual void SetColorSpace(CKVR_ImageHandle* handle, int code);
  virtual BYTE* DevelopRegionToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int outputWidth,
                                   int outputHeight, const RECT& region, CKVR_FilterData* settings,
                                   KVRProgressCallback callback, void* user);
  // A still picture decoded at full size (new bits, header filled), or null.
  virtual BYTE* LoadPicture(const FString& path, BITMAPINFO* header);
  // The picture with the settings applied (new record), or null when cancelled.
  virtual CET_Dib* FilterPicture(const CET_Dib* picture, const CET_FilterData* settings, KVRProgressCallback callback,
                                 void* user);

  // The application's per-image cache of automatic settings.
  virtual void SetImageSettings(const FString& path, const CET_FilterData* settings) = 0;
  // The file's white-balance and colour-mode lists.
  virtual BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) = 0;
  virtual BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) = 0;
  // The name of an empty user setting (text 104).
  virtual FString GetUserSettingName() = 0;
};

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

// What the develop control asks of its view and frame.
class ReviewDevelopOwner {
public:
  virtual ~ReviewDevelopOwner() = default;
  virtual void ShowSettingSelection(int slot, const FString& name) = 0;
  virtual void EnableFileButtons(BOOL enable) = 0;
  // The image pane: fit mode, its zoom factor and its client size.
  virtual BOOL IsPaneFitMode() = 0;
  virtual double GetPaneZoom() = 0;
  virtual FIntSize GetPaneClientSize() = 0;
  // The frame waits to close; PostCloseToFrame posts it WM_CLOSE.
  virtual BOOL IsClosePending() = 0;
  virtual void PostCloseToFrame() = 0;
};

// The review view's develop state: the job record, the running worker (a
// flag only: the thread deletes itself), the request parked while an image's
// first development runs, and the cancel flag under its own lock.
class ReviewDevelopControl {
public:
  ReviewDevelopControl(CWnd* view, ReviewDevelopOwner* owner, ReviewDevelopServices* services);
  ~ReviewDevelopControl();
  ReviewDevelopControl(const ReviewDevelopControl&) = delete;
  ReviewDevelopControl& operator=(const ReviewDevelopControl&) = delete;

  // Develops the current image again with a slot: parked while the image's
  // first development runs (the latest request wins), otherwise the running
  // worker is stopped and a new one started.
  void StartDevelop(int slot, CFilterDataSlots* slots);
  // Cancels and ends a running worker, dispatching the thread's messages
  // meanwhile; TRUE when no worker runs any longer. FALSE when a stop is already
  // under way further up (and force is FALSE) or the frame waits to close.
  BOOL StopWorker(BOOL force);
  BOOL IsCancelled();
  void DropParkedRequest();

  // Starts the worker for the job's file type with the job as it stands.
  void StartWorker();
  // The view's WM_APP_DEVELOP_DONE handler: the worker has ended.
  void OnWorkerDone() { m_pWorker = nullptr; }
  // The request parked during the first development (settings owned by the
  // caller), or null; clears it.
  std::unique_ptr<CET_FilterData> TakeParkedRequest(int& slot);

  BOOL IsWorkerRunning() const { return m_pWorker != nullptr; }
  BOOL IsReady() const { return m_bReady; }
  void SetReady(BOOL ready) { m_bReady = ready; }
  ReviewDevelopParam& Job() { return m_Job; }

private:
  void SetCancel(BOOL cancel);

  CWnd* m_pView;
  ReviewDevelopOwner* m_pOwner;
  ReviewDevelopParam m_Job;
  CWinThread* m_pWorker = nullptr;
  BOOL m_bReady = FALSE;
  BOOL m_bRestart = FALSE;
  CET_FilterData* m_pParkedSettings = nullptr;
  int m_nParkedSlot = 0;
  CSemaphore m_CancelLock{1, 1};
  BOOL m_bCancel = FALSE;
};
