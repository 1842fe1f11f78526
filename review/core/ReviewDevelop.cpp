#include "review/core/ReviewDevelop.h"

#include "review/core/AutoAdjust.h"
#include "review/core/ReviewDevelopControl.h"
#include "shell/app/AppMessages.h"
#include "toolkit/CET_Calc.h"

#include <algorithm>

// ---- The job record

void ReviewDevelopParam::ReplacePicture(CET_Dib*& field, CET_Dib* picture) {
  if (field != picture) {
    delete field;  // the destructor frees both blocks
  }
  field = picture;
}

void ReviewDevelopParam::Reset() {
  view = nullptr;
  slot = 0;
  slots = nullptr;
  path = FString();
  fileType = -1;
  ReplacePicture(firstPicture, nullptr);
  ReplacePicture(developedPicture, nullptr);
  ReplacePicture(managedPicture, nullptr);
  if (handle && services) {
    services->CloseHandle(handle);
  }
  handle = nullptr;
  progressBase = 0;
}

// ---- The workers

namespace {

constexpr int kQuickStepSpan = 10;
constexpr int kAutoStepSpan = 45;
constexpr int kNoiseStepWidth = 25;  // quarter steps of the noise strengths, in hundredths

void Post(CWnd* view, UINT message, WPARAM wParam) {
  if (view) {
    ::PostMessage(view->GetSafeHwnd(), message, wParam, 0);
  }
}

// Holds the engine lock for one facade step.
class EngineStep {
public:
  explicit EngineStep(ReviewDevelopServices* services) : m_pServices(services) { m_pServices->LockEngine(); }
  ~EngineStep() { m_pServices->UnlockEngine(); }
  EngineStep(const EngineStep&) = delete;
  EngineStep& operator=(const EngineStep&) = delete;

private:
  ReviewDevelopServices* m_pServices;
};

bool IsSlotEmpty(CFilterDataSlots& slots, int slot) {
  CSingleLock lock(&slots, TRUE);
  return slots.PeekLocked(slot) == nullptr;
}

// A worker fills only empty slots: what the frame put there first wins.
void FillIfEmpty(CFilterDataSlots& slots, int slot, const CET_FilterData& record) {
  CSingleLock lock(&slots, TRUE);
  if (!slots.PeekLocked(slot)) {
    slots.StoreLocked(slot, &record);
  }
}

void CloseJobHandle(ReviewDevelopParam& job) {
  EngineStep step(job.services);
  job.services->CloseHandle(job.handle);
  job.handle = nullptr;
}

UINT Finish(ReviewDevelopParam& job, bool success) {
  Post(job.view, WM_APP_DEVELOP_DONE, success ? 1 : 0);
  return 0;
}

int NoiseStep(double value) { return static_cast<int>((value * 100.0 + 0.5) / kNoiseStepWidth); }

// The settings stored in the file, with its white balance, colour mode and noise reduction.
std::unique_ptr<CKVR_FilterData> ReadAsShotSettings(ReviewDevelopParam& job) {
  ReviewDevelopServices& services = *job.services;
  auto asShot = std::make_unique<CKVR_FilterData>();
  EngineStep step(&services);
  services.GetFilterData(job.handle, asShot.get(), 0, 0, nullptr, nullptr);
  CKVR_Data_FileList<CKVR_WBData> whiteBalances;
  services.GetWBList(job.path, &whiteBalances);
  asShot->m_nWhiteBalance = services.FindWhiteBalanceIndex(job.handle, &whiteBalances);
  CKVR_Data_FileList<CKVR_CMData> colorModes;
  services.GetColorModeList(job.path, &colorModes);
  asShot->m_nColorMode = services.FindColorModeIndex(job.handle, &colorModes);
  double chroma = -1.0;
  double luma = -1.0;
  const int noise = services.GetNoiseReduction(job.handle, &chroma, &luma);
  asShot->m_nNoiseReduction = noise;
  asShot->m_nChromaNoise = noise == 1 ? NoiseStep(chroma) : -1;
  asShot->m_nLumaNoise = noise == 1 ? NoiseStep(luma) : -1;
  return asShot;
}

// Every slot shares the file's white balance, colour mode and noise reduction.
void ShareFileChoices(CFilterDataSlots& slots) {
  CSingleLock lock(&slots, TRUE);
  const auto* asShot = dynamic_cast<const CKVR_FilterData*>(slots.PeekLocked(CFilterDataSlots::kAsShot));
  if (!asShot) {
    return;
  }
  for (int slot = CFilterDataSlots::kAuto; slot <= CFilterDataSlots::kUser; ++slot) {
    if (auto* record = dynamic_cast<CKVR_FilterData*>(slots.PeekLocked(slot))) {
      record->m_nWhiteBalance = asShot->m_nWhiteBalance;
      record->m_nColorMode = asShot->m_nColorMode;
      record->m_nNoiseReduction = asShot->m_nNoiseReduction;
      record->m_nChromaNoise = asShot->m_nChromaNoise;
      record->m_nLumaNoise = asShot->m_nLumaNoise;
    }
  }
}

// The chosen slot's settings as a raw-file record (a still picture's record
// gets the raw fields unset), or null for no settings.
std::unique_ptr<CKVR_FilterData> RawSettingsOfSlot(CFilterDataSlots& slots, int slot) {
  std::unique_ptr<CET_FilterData> clone(slots.GetSlot(slot));
  if (!clone) {
    return nullptr;
  }
  if (auto* raw = dynamic_cast<CKVR_FilterData*>(clone.get())) {
    clone.release();
    return std::unique_ptr<CKVR_FilterData>(raw);
  }
  auto raw = std::make_unique<CKVR_FilterData>();
  raw->CopyFrom(clone.get());
  return raw;
}

struct DevelopSize {
  int width = 0;  // 0 x 0: full size
  int height = 0;
  double scale = 1.0;
};

DevelopSize ChooseDevelopSize(const ReviewDevelopParam& job, int width, int height) {
  DevelopSize size;
  if (job.fullSize) {
    return size;
  }
  if (job.fitSize.width != 0 || job.fitSize.height != 0) {
    const RECT fitted = CET_Calc::FitRectInRect(RECT{0, 0, job.fitSize.width, job.fitSize.height},
                                                RECT{0, 0, width, height});
    // A pane without area still gets a picture of at least one pixel, so the
    // scale stays finite.
    size.width = std::max<int>(1, fitted.right - fitted.left);
    size.height = std::max<int>(1, fitted.bottom - fitted.top);
    size.scale = static_cast<double>(width) / size.width;
  } else if (job.scale > 1e-6) {
    size.width = std::max(1, CET_Calc::RoundToInt(width / job.scale));
    size.height = std::max(1, CET_Calc::RoundToInt(height / job.scale));
    size.scale = job.scale;
  }
  return size;
}

// The automatic slot: a development with automatic adjustment. False when it
// failed or was cancelled (the handle is then closed) or the file did not open again.
bool ComputeAutoSlot(ReviewDevelopParam& job, ReviewProgressContext& context) {
  ReviewDevelopServices& services = *job.services;
  auto automatic = std::make_unique<CKVR_FilterData>();
  automatic->m_nAuto = 1;
  int result = 0;
  {
    EngineStep step(&services);
    result = services.GetFilterData(job.handle, automatic.get(), 1, 1, ReviewProgressCallback, &context);
    if (!result) {
      services.CloseHandle(job.handle);
      job.handle = nullptr;
    }
  }
  if (!result) {
    return false;
  }
  automatic->m_nAuto = 0;  // the slot keeps the values, not the instruction to compute them
  services.SetImageSettings(job.path, automatic.get());
  FillIfEmpty(*job.slots, CFilterDataSlots::kAuto, *automatic);
  EngineStep step(&services);
  services.CloseHandle(job.handle);
  job.handle = services.OpenHandle(job.path);
  return job.handle != nullptr;
}

void FillUserSlotIfEmpty(ReviewDevelopParam& job, CET_FilterData&& empty) {
  if (IsSlotEmpty(*job.slots, CFilterDataSlots::kUser)) {
    empty.Reset();
    empty.m_strName = job.services->GetUserSettingName();
    FillIfEmpty(*job.slots, CFilterDataSlots::kUser, empty);
  }
}

}  // namespace

int ReviewProgressCallback(int percent, void* user) {
  const auto* context = static_cast<const ReviewProgressContext*>(user);
  if (context->control && context->control->IsCancelled()) {
    return 0;
  }
  Post(context->view, WM_APP_DEVELOP_PROGRESS,
       static_cast<WPARAM>(context->base + static_cast<int>(percent * (context->span / 100.0))));
  return 1;
}

UINT ReviewDevelopThreadProc(LPVOID param) {
  ReviewDevelopParam& job = *static_cast<ReviewDevelopParam*>(param);
  ReviewDevelopServices& services = *job.services;
  const int base = job.progressBase;

  int width = 0;
  int height = 0;
  {
    EngineStep step(&services);
    if (!job.handle) {
      job.handle = services.OpenHandle(job.path);
    } else {
      services.ReloadProperties(job.handle);
    }
    if (job.handle) {
      width = services.GetImageWidth(job.handle);
      height = services.GetImageHeight(job.handle);
    }
  }
  if (!job.handle) {
    return Finish(job, false);
  }

  if (!job.firstPicture) {
    CET_Dib* quick = nullptr;
    {
      EngineStep step(&services);
      quick = services.ProcessToBitmap(job.handle, width, height);
      services.ReloadProperties(job.handle);
    }
    if (quick) {
      ReviewDevelopParam::ReplacePicture(job.firstPicture, quick);
      Post(job.view, WM_APP_DEVELOP_PARTIAL, reinterpret_cast<WPARAM>(job.firstPicture));
    }
  }
  ReviewProgressContext quickStep{job.view, base, kQuickStepSpan, job.control};
  ReviewProgressCallback(100, &quickStep);
  ReviewProgressContext context{job.view, base + kQuickStepSpan, 90 - base, job.control};

  CFilterDataSlots& slots = *job.slots;
  if (IsSlotEmpty(slots, CFilterDataSlots::kAuto)) {
    ReviewProgressContext autoStep{job.view, base + kQuickStepSpan, kAutoStepSpan, job.control};
    if (!ComputeAutoSlot(job, autoStep)) {
      return Finish(job, false);
    }
    context = ReviewProgressContext{job.view, base + kQuickStepSpan + kAutoStepSpan, kAutoStepSpan - base,
                                    job.control};
  }

  const bool readAsShot = IsSlotEmpty(slots, CFilterDataSlots::kAsShot);
  if (readAsShot) {
    FillIfEmpty(slots, CFilterDataSlots::kAsShot, *ReadAsShotSettings(job));
  }
  FillUserSlotIfEmpty(job, CKVR_FilterData());
  if (readAsShot) {
    ShareFileChoices(slots);
  }

  std::unique_ptr<CKVR_FilterData> settings = RawSettingsOfSlot(slots, job.slot);
  const DevelopSize size = ChooseDevelopSize(job, width, height);
  job.scale = size.scale;
  job.imageSize = FIntSize(width, height);

  auto developed = std::make_unique<CET_Dib>();
  developed->header = NewDibHeader();
  {
    EngineStep step(&services);
    services.SetColorSpace(job.handle, job.colorSpace);
    developed->bits = services.DevelopRegionToDIB(job.handle, &developed->header->bmiHeader, size.width, size.height,
                                                  RECT{0, 0, size.width, size.height}, settings.get(),
                                                  ReviewProgressCallback, &context);
  }
  settings.reset();
  if (!developed->bits) {
    CloseJobHandle(job);
    return Finish(job, false);
  }
  developed->size = developed->header->bmiHeader.biSizeImage;
  ReviewDevelopParam::ReplacePicture(job.developedPicture, developed.release());
  return Finish(job, true);
}

UINT ReviewLoadThreadProc(LPVOID param) {
  ReviewDevelopParam& job = *static_cast<ReviewDevelopParam*>(param);
  ReviewDevelopServices& services = *job.services;
  ReviewProgressContext context{job.view, 0, 100, job.control};

  if (!job.firstPicture) {
    auto decoded = std::make_unique<CET_Dib>();
    decoded->header = NewDibHeader();
    decoded->bits = services.LoadPicture(job.path, decoded->header);
    if (!decoded->bits) {
      return Finish(job, false);
    }
    decoded->size = static_cast<DWORD>(DibRowBytes(decoded->GetWidth(), decoded->GetBitCount()) * decoded->GetHeight());
    job.firstPicture = decoded.release();
  }
  job.imageSize = FIntSize(job.firstPicture->GetWidth(), job.firstPicture->GetHeight());

  CFilterDataSlots& slots = *job.slots;
  if (IsSlotEmpty(slots, CFilterDataSlots::kAuto)) {
    CET_FilterData automatic;
    CalculateDibAutoAdjust(&automatic, job.firstPicture);
    services.SetImageSettings(job.path, &automatic);
    FillIfEmpty(slots, CFilterDataSlots::kAuto, automatic);
  }
  if (IsSlotEmpty(slots, CFilterDataSlots::kAsShot)) {
    FillIfEmpty(slots, CFilterDataSlots::kAsShot, CET_FilterData());
  }
  FillUserSlotIfEmpty(job, CET_FilterData());

  // Slot 1 (and an empty slot) uses no settings: the decoded picture is the result.
  std::unique_ptr<CET_FilterData> settings(job.slot == CFilterDataSlots::kAsShot ? nullptr : slots.GetSlot(job.slot));
  if (!settings) {
    return Finish(job, true);
  }
  CET_Dib* filtered = services.FilterPicture(job.firstPicture, settings.get(), ReviewProgressCallback, &context);
  if (!filtered) {
    return Finish(job, false);
  }
  ReviewDevelopParam::ReplacePicture(job.developedPicture, filtered);
  return Finish(job, true);
}
