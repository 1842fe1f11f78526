// The review develop worker on a real worker thread with a scripted facade:
// what it posts and in which order, how it fills the settings slots, parking
// during the first development, stop-and-restart, cancelling, failures, and
// the still-picture worker. Runs without windows (also under ThreadSanitizer).

#include "review/core/ReviewDevelopControl.h"

#include "platform/core/StandaloneHost.h"
#include "shell/app/AppMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using platform::core::StandaloneHost;

namespace {

CKVR_ImageHandle* FakeHandle(int n) { return reinterpret_cast<CKVR_ImageHandle*>(static_cast<std::uintptr_t>(0x1000 * n)); }

CET_Dib* SmallPicture(BYTE value) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = 48;
  header.bmiHeader.biHeight = 48;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 24;
  header.bmiHeader.biSizeImage = 48 * 48 * 3;
  std::vector<BYTE> bits(48 * 48 * 3);
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<BYTE>(value + (i % 7) * 3);
  auto* dib = new CET_Dib;
  dib->Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

// A facade that answers from a script and checks that every call that uses
// the managers runs under the engine lock.
class ScriptedServices : public ReviewDevelopServices {
public:
  // Script.
  bool openFails = false;
  bool autoFails = false;
  bool quickPicture = true;
  std::atomic<bool> developWaitsForCancel{false};
  std::atomic<bool> developStarted{false};

  // Record.
  std::mutex logLock;
  std::vector<std::string> calls;
  std::vector<int> developedSlotsExposure;
  int cachedSettings = 0;
  std::atomic<int> callsOutsideLock{0};

  void LockEngine() override {
    engine.lock();
    held = true;
  }
  void UnlockEngine() override {
    held = false;
    engine.unlock();
  }
  CKVR_ImageHandle* OpenHandle(const FString&) override {
    Log("open");
    return openFails ? nullptr : FakeHandle(++opened);
  }
  void CloseHandle(CKVR_ImageHandle* handle) override {
    if (handle) Log("close");
  }
  void ReloadProperties(CKVR_ImageHandle*) override { Log("reload"); }
  int GetImageWidth(CKVR_ImageHandle*) override { Check(); return 3000; }
  int GetImageHeight(CKVR_ImageHandle*) override { Check(); return 2000; }
  CET_Dib* ProcessToBitmap(CKVR_ImageHandle*, int, int) override {
    Log("quick");
    return quickPicture ? SmallPicture(40) : nullptr;
  }
  int GetFilterData(CKVR_ImageHandle*, CKVR_FilterData* settings, int autoFlag, int, KVRProgressCallback callback,
                    void* user) override {
    Log(autoFlag ? "auto" : "as shot");
    if (autoFlag) {
      callback(0, user);
      if (autoFails) return 0;
      callback(100, user);
      settings->m_nExposure = 30;
    } else {
      settings->m_nExposure = 0;
    }
    return 1;
  }
  int FindWhiteBalanceIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_WBData>*) override { Check(); return 3; }
  int FindColorModeIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_CMData>*) override { Check(); return 1; }
  int GetNoiseReduction(CKVR_ImageHandle*, double* chroma, double* luma) override {
    Check();
    *chroma = 0.5;
    *luma = 0.75;
    return 1;
  }
  void SetColorSpace(CKVR_ImageHandle*, int) override { Check(); }
  BYTE* DevelopRegionToDIB(CKVR_ImageHandle*, BITMAPINFOHEADER* header, int width, int height, const RECT&,
                           CKVR_FilterData* settings, KVRProgressCallback callback, void* user) override {
    Log("develop " + std::to_string(width) + "x" + std::to_string(height));
    {
      std::lock_guard<std::mutex> lock(logLock);
      developedSlotsExposure.push_back(settings ? settings->m_nExposure : -1);
    }
    developStarted = true;
    if (!callback(0, user)) return nullptr;
    while (developWaitsForCancel) {
      if (!callback(50, user)) return nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!callback(100, user)) return nullptr;
    header->biWidth = 4;
    header->biHeight = 4;
    header->biBitCount = 24;
    header->biSizeImage = 48;
    BYTE* bits = NewDibBits(48);
    std::memset(bits, 0, 48);
    return bits;
  }
  BYTE* LoadPicture(const FString&, BITMAPINFO* header) override {
    Log("load");
    std::unique_ptr<CET_Dib> picture(SmallPicture(90));
    std::memcpy(header, picture->header, sizeof(BITMAPINFO));
    BYTE* bits = NewDibBits(picture->size);
    std::memcpy(bits, picture->bits, picture->size);
    return bits;
  }
  CET_Dib* FilterPicture(const CET_Dib* picture, const CET_FilterData*, KVRProgressCallback callback,
                         void* user) override {
    Log("filter");
    callback(100, user);
    auto* copy = new CET_Dib;
    copy->CopyFrom(picture);
    return copy;
  }
  void SetImageSettings(const FString&, const CET_FilterData* settings) override {
    std::lock_guard<std::mutex> lock(logLock);
    cachedSettings = settings->m_nAuto == 0 ? settings->m_nExposure : -999;
  }
  BOOL GetWBList(const FString&, CKVR_Data_FileList<CKVR_WBData>*) override { return TRUE; }
  BOOL GetColorModeList(const FString&, CKVR_Data_FileList<CKVR_CMData>*) override { return TRUE; }
  FString GetUserSettingName() override { return FString(u"User setting"); }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(logLock);
    return calls;
  }

private:
  void Check() {
    if (!held) ++callsOutsideLock;
  }
  void Log(const std::string& call) {
    Check();
    std::lock_guard<std::mutex> lock(logLock);
    calls.push_back(call);
  }

  std::mutex engine;
  std::atomic<bool> held{false};
  int opened = 0;
};

class FakeOwner : public ReviewDevelopOwner {
public:
  void ShowSettingSelection(int slot, const FString& name) override {
    shownSlot = slot;
    shownName = name;
  }
  void EnableFileButtons(BOOL enable) override { fileButtons = enable; }
  BOOL IsPaneFitMode() override { return fit; }
  double GetPaneZoom() override { return zoom; }
  FIntSize GetPaneClientSize() override { return client; }
  BOOL IsClosePending() override { return closePending; }
  void PostCloseToFrame() override { ++closePosts; }

  BOOL fit = TRUE;
  double zoom = 1.0;
  FIntSize client{600, 600};
  BOOL closePending = FALSE;
  int closePosts = 0;
  int shownSlot = 0;
  FString shownName;
  BOOL fileButtons = FALSE;
};

struct Posted {
  UINT message;
  WPARAM wParam;
  bool operator==(const Posted&) const = default;
};

// The review view's part in the protocol: records what the worker posts; its
// done handler ends the worker's run.
class ViewWindow : public CWnd {
public:
  ReviewDevelopControl* control = nullptr;
  std::vector<Posted> log;
  std::function<void(UINT)> onMessage;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_DEVELOP_PROGRESS || message == WM_APP_DEVELOP_DONE || message == WM_APP_DEVELOP_PARTIAL) {
      log.push_back({message, wParam});
      if (message == WM_APP_DEVELOP_DONE) {
        control->OnWorkerDone();
        if (wParam == 1) control->SetReady(TRUE);
      }
      if (onMessage) onMessage(message);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<WPARAM> Of(UINT message) const {
    std::vector<WPARAM> out;
    for (const Posted& p : log) if (p.message == message) out.push_back(p.wParam);
    return out;
  }
};

class ReviewWorker : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(view.CreateEx(0, u"ReviewView", u"", WS_POPUP, RECT{0, 0, 100, 100}, nullptr, 0));
    view.control = &control;
    ReviewDevelopParam& job = control.Job();
    job.path = FString(u"/pictures/IMG_0001.kvr");
    job.fileType = kRawFileType;
    job.slots = &slots;
    custom.m_nExposure = 55;
    CSingleLock lock(&slots, TRUE);
    slots.StoreLocked(CFilterDataSlots::kCustom, &custom);  // the frame fills slot 3 first
  }
  void TearDown() override {
    services.developWaitsForCancel = false;
    WaitForWorker();
    view.DestroyWindow();
  }
  // Pumps the GUI thread until the worker's done message has been handled.
  void WaitForWorker() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (control.IsWorkerRunning() && std::chrono::steady_clock::now() < until) {
      host.Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    host.Pump();
    ASSERT_FALSE(control.IsWorkerRunning());
  }
  void WaitUntil(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!flag && std::chrono::steady_clock::now() < until) {
      host.Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(flag);
  }
  CET_FilterData* Slot(int slot) { return slots.PeekLocked(slot); }  // only once no worker runs

  StandaloneHost host;
  ScriptedServices services;
  FakeOwner owner;
  ViewWindow view;
  ReviewDevelopControl control{&view, &owner, &services};
  CFilterDataSlots slots;
  CKVR_FilterData custom;
};

TEST_F(ReviewWorker, FirstRawDevelopmentReportsInOrderAndFillsTheSlots) {
  ReviewDevelopParam& job = control.Job();
  job.slot = CFilterDataSlots::kCustom;
  job.fitSize = FIntSize(600, 600);
  job.progressBase = 10;
  control.StartWorker();
  WaitForWorker();

  ASSERT_FALSE(view.log.empty());
  EXPECT_EQ(view.log.front(), (Posted{WM_APP_DEVELOP_PARTIAL, reinterpret_cast<WPARAM>(job.firstPicture)}));
  EXPECT_EQ(view.log.back(), (Posted{WM_APP_DEVELOP_DONE, 1}));
  // Quick step to 20, automatic step 20-65, development 65-100.
  EXPECT_EQ(view.Of(WM_APP_DEVELOP_PROGRESS), (std::vector<WPARAM>{20, 20, 65, 65, 100}));
  EXPECT_EQ(services.Calls(), (std::vector<std::string>{"open", "quick", "reload", "auto", "close", "open", "as shot",
                                                         "develop 600x400"}));
  EXPECT_EQ(services.callsOutsideLock, 0) << "every facade step holds the engine lock";
  EXPECT_EQ(services.developedSlotsExposure, (std::vector<int>{55})) << "developed with slot 3";

  auto* asShot = dynamic_cast<CKVR_FilterData*>(Slot(1));
  auto* automatic = dynamic_cast<CKVR_FilterData*>(Slot(2));
  auto* customSlot = dynamic_cast<CKVR_FilterData*>(Slot(3));
  auto* user = dynamic_cast<CKVR_FilterData*>(Slot(4));
  ASSERT_TRUE(asShot && automatic && customSlot && user);
  EXPECT_EQ(asShot->m_nWhiteBalance, 3);
  EXPECT_EQ(asShot->m_nColorMode, 1);
  EXPECT_EQ(asShot->m_nNoiseReduction, 1);
  EXPECT_EQ(asShot->m_nChromaNoise, 2) << "0.5 is two quarter steps";
  EXPECT_EQ(asShot->m_nLumaNoise, 3);
  EXPECT_EQ(automatic->m_nAuto, 0) << "the slot keeps the values, not the instruction";
  EXPECT_EQ(automatic->m_nExposure, 30);
  EXPECT_EQ(services.cachedSettings, 30);
  EXPECT_EQ(user->m_strName, FString(u"User setting"));
  for (const CKVR_FilterData* shared : {automatic, customSlot, user}) {
    EXPECT_EQ(shared->m_nWhiteBalance, 3);
    EXPECT_EQ(shared->m_nColorMode, 1);
    EXPECT_EQ(shared->m_nChromaNoise, 2);
  }
  EXPECT_EQ(job.imageSize.width, 3000);
  EXPECT_DOUBLE_EQ(job.scale, 5.0);
  ASSERT_NE(job.developedPicture, nullptr);
  EXPECT_EQ(job.developedPicture->GetWidth(), 4);
}

TEST_F(ReviewWorker, ResettingTheJobClosesItsHandleAndFreesItsPictures) {
  ReviewDevelopParam& job = control.Job();
  job.slot = CFilterDataSlots::kCustom;
  control.StartWorker();
  WaitForWorker();
  ASSERT_NE(job.handle, nullptr) << "kept open for the next development";
  ASSERT_NE(job.developedPicture, nullptr);
  job.Reset();
  EXPECT_EQ(services.Calls().back(), "close");
  EXPECT_EQ(job.handle, nullptr);
  EXPECT_EQ(job.firstPicture, nullptr);
  EXPECT_EQ(job.developedPicture, nullptr);
  EXPECT_EQ(job.fileType, -1);
  EXPECT_EQ(job.slots, nullptr);
}

TEST_F(ReviewWorker, AKnownQuickPictureAndAutomaticSlotSkipTheirSteps) {
  ReviewDevelopParam& job = control.Job();
  job.firstPicture = SmallPicture(10);
  {
    CSingleLock lock(&slots, TRUE);
    CKVR_FilterData cached;
    slots.StoreLocked(CFilterDataSlots::kAuto, &cached);
  }
  job.slot = CFilterDataSlots::kAuto;
  job.fullSize = TRUE;
  control.StartWorker();
  WaitForWorker();
  EXPECT_TRUE(view.Of(WM_APP_DEVELOP_PARTIAL).empty());
  EXPECT_EQ(view.Of(WM_APP_DEVELOP_PROGRESS), (std::vector<WPARAM>{10, 10, 100}));
  EXPECT_EQ(services.Calls(), (std::vector<std::string>{"open", "as shot", "develop 0x0"}));
}

TEST_F(ReviewWorker, FailuresEndWithDoneZeroAndAFailedAutomaticStepClosesTheHandle) {
  services.openFails = true;
  control.StartWorker();
  WaitForWorker();
  EXPECT_EQ(view.log, (std::vector<Posted>{{WM_APP_DEVELOP_DONE, 0}}));

  services.openFails = false;
  services.autoFails = true;
  view.log.clear();
  control.Job().slot = CFilterDataSlots::kCustom;
  control.StartWorker();
  WaitForWorker();
  EXPECT_EQ(view.log.back(), (Posted{WM_APP_DEVELOP_DONE, 0}));
  EXPECT_EQ(control.Job().handle, nullptr);
  EXPECT_EQ(Slot(2), nullptr) << "the automatic slot stays empty";

  services.autoFails = false;
  control.StartWorker();
  WaitForWorker();
  EXPECT_EQ(view.log.back(), (Posted{WM_APP_DEVELOP_DONE, 1})) << "the next run opens the file again";
}

TEST_F(ReviewWorker, ARequestOnAReadyImageCancelsTheRunningWorkerAndStartsANewOne) {
  control.SetReady(TRUE);
  services.developWaitsForCancel = true;
  control.StartDevelop(CFilterDataSlots::kCustom, &slots);
  WaitUntil(services.developStarted);

  // The cancelled run's done message arrives inside the stop's own loop; a
  // request handled there finds the stop under way and is dropped.
  BOOL nestedStop = TRUE;
  view.onMessage = [&](UINT message) {
    if (message == WM_APP_DEVELOP_DONE) {
      nestedStop = control.StopWorker(FALSE);
      services.developWaitsForCancel = false;
    }
  };
  control.StartDevelop(CFilterDataSlots::kAsShot, &slots);
  view.onMessage = nullptr;
  EXPECT_FALSE(nestedStop);
  WaitForWorker();

  EXPECT_EQ(view.Of(WM_APP_DEVELOP_DONE), (std::vector<WPARAM>{0, 1})) << "cancelled, then developed";
  EXPECT_EQ(services.developedSlotsExposure, (std::vector<int>{55, 0})) << "slot 3, then slot 1";
  EXPECT_FALSE(control.IsCancelled());
  EXPECT_EQ(owner.shownSlot, CFilterDataSlots::kAsShot);
  const std::size_t posts = view.log.size();
  host.Pump();
  EXPECT_EQ(view.log.size(), posts) << "nothing arrives after the done message";
}

TEST_F(ReviewWorker, RequestsDuringTheFirstDevelopmentAreParkedAndTheLatestWins) {
  services.developWaitsForCancel = true;
  control.Job().slot = CFilterDataSlots::kCustom;
  control.StartWorker();
  WaitUntil(services.developStarted);

  control.StartDevelop(CFilterDataSlots::kAsShot, &slots);
  control.StartDevelop(CFilterDataSlots::kCustom, &slots);
  EXPECT_EQ(owner.shownSlot, CFilterDataSlots::kCustom);
  services.developWaitsForCancel = false;
  WaitForWorker();

  EXPECT_EQ(view.Of(WM_APP_DEVELOP_DONE), (std::vector<WPARAM>{1})) << "no second worker started";
  int slot = 0;
  std::unique_ptr<CET_FilterData> parked = control.TakeParkedRequest(slot);
  EXPECT_EQ(slot, CFilterDataSlots::kCustom);
  ASSERT_NE(parked, nullptr);
  EXPECT_EQ(parked->m_nExposure, 55);
  EXPECT_EQ(control.TakeParkedRequest(slot), nullptr);
}

TEST_F(ReviewWorker, StoppingWhileTheFrameWaitsToCloseClosesIt) {
  EXPECT_TRUE(control.StopWorker(FALSE)) << "no worker";
  services.developWaitsForCancel = true;
  control.StartWorker();
  WaitUntil(services.developStarted);
  owner.closePending = TRUE;
  EXPECT_FALSE(control.StopWorker(FALSE));
  EXPECT_EQ(owner.closePosts, 1);
  EXPECT_EQ(view.Of(WM_APP_DEVELOP_DONE), (std::vector<WPARAM>{0}));
}

TEST_F(ReviewWorker, APaneWithoutAreaStartsNoDevelopment) {
  control.SetReady(TRUE);
  owner.client = FIntSize(0, 400);
  control.StartDevelop(CFilterDataSlots::kCustom, &slots);
  EXPECT_FALSE(control.IsWorkerRunning());
  owner.fit = FALSE;
  owner.zoom = 0.5;
  control.StartDevelop(CFilterDataSlots::kCustom, &slots);
  WaitForWorker();
  EXPECT_DOUBLE_EQ(control.Job().scale, 2.0);
  EXPECT_EQ(services.Calls().back(), "develop 1500x1000");
}

TEST_F(ReviewWorker, StillPicturesFilterEverySlotButAsShot) {
  ReviewDevelopParam& job = control.Job();
  job.fileType = 1;
  job.slot = CFilterDataSlots::kAsShot;
  control.StartWorker();
  WaitForWorker();
  EXPECT_EQ(view.log, (std::vector<Posted>{{WM_APP_DEVELOP_DONE, 1}}));
  EXPECT_EQ(services.Calls(), (std::vector<std::string>{"load"}));
  EXPECT_EQ(job.developedPicture, nullptr) << "slot 1 shows the decoded picture";
  EXPECT_EQ(job.imageSize.width, 48);
  ASSERT_NE(Slot(2), nullptr);
  EXPECT_EQ(Slot(2)->m_nSharpness, 0);
  ASSERT_NE(Slot(1), nullptr);
  EXPECT_EQ(Slot(4)->m_strName, FString(u"User setting"));

  view.log.clear();
  job.slot = CFilterDataSlots::kCustom;
  control.StartWorker();
  WaitForWorker();
  EXPECT_EQ(view.log, (std::vector<Posted>{{WM_APP_DEVELOP_PROGRESS, 100}, {WM_APP_DEVELOP_DONE, 1}}));
  EXPECT_EQ(services.Calls().back(), "filter") << "decoded once, filtered with slot 3";
  EXPECT_NE(job.developedPicture, nullptr);
}

}  // namespace
