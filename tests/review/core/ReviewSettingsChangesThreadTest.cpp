// A review window's settings changed 50 times while its worker develops, as
// a user dragging a slider does: every change made during the image's first
// development is parked (the latest wins), every later one cancels the
// running development and starts a new one, and the picture finally shown is
// the one of the last change. Runs without windows, also under
// ThreadSanitizer.

#include "review/core/ReviewDevelopControl.h"

#include "platform/core/StandaloneHost.h"
#include "shell/app/AppMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

using platform::core::StandaloneHost;

namespace {

// A development of a few milliseconds whose picture carries its exposure.
class SlowServices : public ReviewDevelopServices {
public:
  void LockEngine() override { engine.lock(); }
  void UnlockEngine() override { engine.unlock(); }
  CKVR_ImageHandle* OpenHandle(const FString&) override { return reinterpret_cast<CKVR_ImageHandle*>(0x1000); }
  void CloseHandle(CKVR_ImageHandle*) override {}
  void ReloadProperties(CKVR_ImageHandle*) override {}
  int GetImageWidth(CKVR_ImageHandle*) override { return 300; }
  int GetImageHeight(CKVR_ImageHandle*) override { return 200; }
  CET_Dib* ProcessToBitmap(CKVR_ImageHandle*, int, int) override { return nullptr; }
  int GetFilterData(CKVR_ImageHandle*, CKVR_FilterData*, int, int, KVRProgressCallback, void*) override { return 1; }
  int FindWhiteBalanceIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_WBData>*) override { return 0; }
  int FindColorModeIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_CMData>*) override { return 0; }
  int GetNoiseReduction(CKVR_ImageHandle*, double*, double*) override { return 0; }
  void SetColorSpace(CKVR_ImageHandle*, int) override {}
  BYTE* DevelopRegionToDIB(CKVR_ImageHandle*, BITMAPINFOHEADER* header, int, int, const RECT&,
                           CKVR_FilterData* settings, KVRProgressCallback callback, void* user) override {
    ++started;
    for (int step = 0; step <= 10; ++step) {
      if (!callback(step * 10, user)) {
        ++cancelled;
        return nullptr;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(400));
    }
    header->biWidth = 1;
    header->biHeight = 1;
    header->biBitCount = 24;
    header->biSizeImage = 4;
    BYTE* bits = NewDibBits(4);
    std::memset(bits, 0, 4);
    bits[0] = static_cast<BYTE>(settings ? settings->m_nExposure : 0); // the exposure, readable in the picture
    return bits;
  }
  void SetImageSettings(const FString&, const CET_FilterData*) override {}
  BOOL GetWBList(const FString&, CKVR_Data_FileList<CKVR_WBData>*) override { return TRUE; }
  BOOL GetColorModeList(const FString&, CKVR_Data_FileList<CKVR_CMData>*) override { return TRUE; }
  FString GetUserSettingName() override { return FString(u"User setting"); }

  std::mutex engine;
  std::atomic<int> started{0};
  std::atomic<int> cancelled{0};
};

class Owner : public ReviewDevelopOwner {
public:
  void ShowSettingSelection(int, const FString&) override {}
  void EnableFileButtons(BOOL) override {}
  BOOL IsPaneFitMode() override { return TRUE; }
  double GetPaneZoom() override { return 0.5; }
  FIntSize GetPaneClientSize() override { return FIntSize(150, 100); }
  BOOL IsClosePending() override { return FALSE; }
  void PostCloseToFrame() override {}
};

// The view's part: the done handler shows a result (here: counts it), marks
// the image ready and restarts a parked request with its settings.
class View : public CWnd {
public:
  ReviewDevelopControl* control = nullptr;
  CFilterDataSlots* slots = nullptr;
  int succeeded = 0;
  int failed = 0;
  int finishedWhileStopped = 0; // a run that ended just as its stop began
  int shownExposure = -1;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_APP_DEVELOP_DONE) return CWnd::WindowProc(message, wParam, lParam);
    control->OnWorkerDone();
    if (wParam == 1) {
      ++succeeded;
      if (control->IsCancelled()) ++finishedWhileStopped;
      shownExposure = control->Job().developedPicture->bits[0];
      control->SetReady(TRUE);
    } else {
      ++failed;
    }
    int slot = 0;
    if (std::unique_ptr<CET_FilterData> parked = control->TakeParkedRequest(slot); parked && wParam == 1) {
      {
        CSingleLock lock(slots, TRUE);
        slots->StoreLocked(slot, parked.get());
      }
      control->StartDevelop(slot, slots);
    }
    return 0;
  }
};

TEST(ReviewSettingsChanges, FiftyChangesWhileDevelopingEachParkedOrRestartedAndTheLastShown) {
  StandaloneHost host;
  SlowServices services;
  Owner owner;
  View view;
  ASSERT_TRUE(view.CreateEx(0, u"ReviewView", u"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
  ReviewDevelopControl control(&view, &owner, &services);
  CFilterDataSlots slots;
  view.control = &control;
  view.slots = &slots;

  ReviewDevelopParam& job = control.Job();
  job.path = FString(u"/pictures/a.kvr");
  job.fileType = kRawFileType;
  job.slots = &slots;
  job.slot = CFilterDataSlots::kCustom;
  job.progressBase = 10;
  job.fitSize = FIntSize(150, 100);
  CKVR_FilterData custom;
  {
    CSingleLock lock(&slots, TRUE);
    slots.StoreLocked(CFilterDataSlots::kCustom, &custom);
  }
  control.StartWorker();

  int parked = 0;
  int restarted = 0;
  for (int change = 1; change <= 50; ++change) {
    // As the frame does: the new custom settings into slot 3, then develop.
    custom.m_nExposure = change;
    {
      CSingleLock lock(&slots, TRUE);
      slots.StoreLocked(CFilterDataSlots::kCustom, &custom);
    }
    const bool running = control.IsWorkerRunning() != FALSE;
    const bool ready = control.IsReady() != FALSE;
    control.StartDevelop(CFilterDataSlots::kCustom, &slots);
    if (running && !ready) ++parked;
    if (running && ready) ++restarted;
    // The user's pace: a change every few milliseconds, the window serving its messages.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1 + change % 4);
    while (std::chrono::steady_clock::now() < until) {
      host.Pump();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((control.IsWorkerRunning() || control.HasParkedRequest()) && std::chrono::steady_clock::now() < deadline) {
    host.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  host.Pump();
  ASSERT_FALSE(control.IsWorkerRunning());

  EXPECT_GT(parked, 0) << "changes during the first development are parked";
  EXPECT_GT(restarted, 0) << "changes on a ready image restart the development";
  EXPECT_EQ(services.cancelled.load() + view.finishedWhileStopped, restarted)
      << "each restart cancels the running development (or finds it just finished)";
  EXPECT_EQ(view.failed, services.cancelled.load()) << "only the cancelled runs end without a picture";
  EXPECT_EQ(services.started.load(), view.succeeded + view.failed);
  EXPECT_EQ(view.shownExposure, 50) << "the last change is shown";
  EXPECT_FALSE(control.IsCancelled());
  view.DestroyWindow();
}

} // namespace
