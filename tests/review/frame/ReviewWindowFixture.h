#pragma once
// Review windows in a headless test: a scripted development facade (pictures
// of a given level, a worker that can be held mid-development), a fake main
// frame and a fixture that makes real review windows on them.

#include "review/frame/CReviewFormView.h"
#include "review/frame/CReviewFrame.h"
#include "review/frame/ReviewViewServices.h"
#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogTestSupport.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/PictureFileTypes.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reviewtest {

// A 24-bit bottom-up picture of one grey level (a red left quarter shows
// which way round it is).
inline CET_Dib* LevelPicture(int width, int height, int level) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 24;
  const int stride = (width * 3 + 3) & ~3;
  header.bmiHeader.biSizeImage = static_cast<DWORD>(stride * height);
  std::vector<BYTE> bits(static_cast<std::size_t>(stride) * height);
  const BYTE value = static_cast<BYTE>(std::clamp(level, 0, 255));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* pixel = &bits[static_cast<std::size_t>(y) * stride + x * 3];
      const bool red = x < width / 4;
      pixel[0] = red ? 0 : value;
      pixel[1] = red ? 0 : value;
      pixel[2] = value;
    }
  }
  auto* dib = new CET_Dib;
  dib->Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

// The facade and the application as a script: every raw file is 3000 x 2000
// and develops into a picture whose level follows the exposure; a still
// picture decodes to 400 x 300 of level 120.
class ScriptedReviewServices : public ReviewViewServices {
public:
  // Script.
  bool embeddedPreview = true;
  bool previewDevelop = true;
  std::atomic<bool> developFails{false};
  std::atomic<bool> holdDevelop{false}; // the development waits (reporting 50 %) until released or cancelled
  std::map<std::u16string, int> cachedExposure; // settings the application remembers per path
  FString sourceProfile;                        // what GetImageProfilePath answers

  // Record.
  std::atomic<int> developments{0};
  std::atomic<bool> developing{false};
  std::atomic<int> lastDevelopedExposure{-1000};
  std::atomic<int> regionRenders{0};
  std::atomic<int> previewDevelops{0};

  std::mutex engine;

  void LockEngine() override { engine.lock(); }
  void UnlockEngine() override { engine.unlock(); }
  BOOL TryLockEngine() override { return engine.try_lock() ? TRUE : FALSE; }

  CKVR_ImageHandle* OpenHandle(const FString&) override { return reinterpret_cast<CKVR_ImageHandle*>(0x1000); }
  void CloseHandle(CKVR_ImageHandle*) override {}
  void ReloadProperties(CKVR_ImageHandle*) override {}
  int GetImageWidth(CKVR_ImageHandle*) override { return 3000; }
  int GetImageHeight(CKVR_ImageHandle*) override { return 2000; }
  CET_Dib* ProcessToBitmap(CKVR_ImageHandle*, int, int) override { return LevelPicture(300, 200, 60); }
  int GetFilterData(CKVR_ImageHandle*, CKVR_FilterData* settings, int autoFlag, int, KVRProgressCallback callback,
                    void* user) override {
    if (autoFlag) {
      if (!callback(0, user) || !callback(100, user)) return 0;
      settings->m_nExposure = 40;
    }
    return 1;
  }
  int FindWhiteBalanceIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_WBData>*) override { return 2; }
  int FindColorModeIndex(CKVR_ImageHandle*, const CKVR_Data_FileList<CKVR_CMData>*) override { return 1; }
  int GetNoiseReduction(CKVR_ImageHandle*, double*, double*) override { return 0; }
  void SetColorSpace(CKVR_ImageHandle*, int) override {}
  BYTE* DevelopRegionToDIB(CKVR_ImageHandle*, BITMAPINFOHEADER* header, int width, int height, const RECT&,
                           CKVR_FilterData* settings, KVRProgressCallback callback, void* user) override {
    developing = true;
    ++developments;
    const int exposure = settings ? settings->m_nExposure : 0;
    lastDevelopedExposure = exposure;
    bool ok = callback(0, user) != 0;
    while (ok && holdDevelop) {
      ok = callback(50, user) != 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ok = ok && !developFails && callback(100, user) != 0;
    developing = false;
    if (!ok) return nullptr;
    const int w = width > 0 ? width : 3000;
    const int h = height > 0 ? height : 2000;
    std::unique_ptr<CET_Dib> picture(LevelPicture(w, h, 100 + exposure / 2));
    *header = picture->header->bmiHeader;
    BYTE* bits = NewDibBits(picture->size);
    std::memcpy(bits, picture->bits, picture->size);
    return bits;
  }
  BYTE* LoadPicture(const FString&, BITMAPINFO* header) override {
    std::unique_ptr<CET_Dib> picture(LevelPicture(400, 300, 120));
    std::memcpy(header, picture->header, sizeof(BITMAPINFO));
    BYTE* bits = NewDibBits(picture->size);
    std::memcpy(bits, picture->bits, picture->size);
    return bits;
  }
  CET_Dib* LoadEmbeddedPreview(const FString&) override {
    return embeddedPreview ? LevelPicture(600, 400, 70) : nullptr;
  }
  CET_Dib* DevelopPreview(const FString&) override {
    ++previewDevelops;
    return previewDevelop ? LevelPicture(600, 400, 80) : nullptr;
  }
  CET_Dib* DevelopRegion(const FString&, int, int, int, const RECT& region, const CKVR_FilterData* settings) override {
    ++regionRenders;
    const int exposure = settings ? settings->m_nExposure : 0;
    return LevelPicture(region.right - region.left, region.bottom - region.top, 100 + exposure / 2);
  }
  FString GetImageProfilePath(const FString&, int* code) override {
    if (code) *code = 2;
    return sourceProfile;
  }
  FString GetColorSpaceProfilePath(int) override { return FString(); }
  std::unique_ptr<CET_FilterData> GetImageSettings(const FString& path) override {
    const auto found = cachedExposure.find(std::u16string(path.View()));
    if (found == cachedExposure.end()) return nullptr;
    auto settings = std::make_unique<CKVR_FilterData>();
    settings->m_nExposure = found->second;
    return settings;
  }
  void SetImageSettings(const FString&, const CET_FilterData*) override {}
  void ReloadExif(const FString&, CTLM_Exif*) override {}
  BOOL GetWBList(const FString&, CKVR_Data_FileList<CKVR_WBData>*) override { return TRUE; }
  BOOL GetColorModeList(const FString&, CKVR_Data_FileList<CKVR_CMData>*) override { return TRUE; }
};

// The main frame as a list of files in one folder.
class FakeHost : public IReviewFrameHost {
public:
  std::vector<FString> files;
  std::vector<IReviewFrame*> frames;
  std::vector<std::pair<IReviewFrame*, int>> reorders;
  bool loading = false;
  CWnd* main = nullptr;

  CWnd* GetMainWnd() override { return main; }
  void ReorderReviewFrame(IReviewFrame* frame, int action) override {
    reorders.emplace_back(frame, action);
    auto found = std::find(frames.begin(), frames.end(), frame);
    if (found == frames.end()) return;
    frames.erase(found);
    if (action == 1) frames.insert(frames.begin(), frame);
  }
  int GetReviewFrameCount() override { return static_cast<int>(frames.size()); }
  int IndexOf(const FString& path) const {
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (files[i] == path) return static_cast<int>(i);
    }
    return -1;
  }
  void GetImagePosition(const FString& path, int* index, int* count) override {
    const int at = IndexOf(path);
    *index = at < 0 ? 0 : at;
    *count = at < 0 ? 1 : static_cast<int>(files.size());
  }
  FString GetNextImagePath(const FString& path) override {
    const int at = IndexOf(path);
    return at >= 0 && at + 1 < static_cast<int>(files.size()) ? files[static_cast<std::size_t>(at + 1)] : FString();
  }
  FString GetPrevImagePath(const FString& path) override {
    const int at = IndexOf(path);
    return at > 0 ? files[static_cast<std::size_t>(at - 1)] : FString();
  }
  CTLM_ThumbnailData* FindThumbnail(const FString& path) override {
    return IndexOf(path) >= 0 ? Record(path).release() : nullptr;
  }
  BOOL IsThumbnailLoading() override { return loading ? TRUE : FALSE; }
  BOOL HasProgressDialog() override { return FALSE; }

  // The browser's record of a file: its name, type and a small picture.
  static std::unique_ptr<CTLM_ThumbnailData> Record(const FString& path) {
    auto record = std::make_unique<CTLM_ThumbnailData>();
    record->m_Path = path;
    const std::u16string text(path.View());
    record->m_FileName = FString(text.substr(text.find_last_of(u'/') + 1));
    record->m_FileType = GetFileType(path);
    record->SetPicture(LevelPicture(160, 120, 30));
    record->m_FileSize = 3 * 1024 * 1024;
    return record;
  }
};

class ReviewWindowTest : public DialogTest {
protected:
  ReviewWindowTest() {
    host.files = {FString(u"/pictures/a.kvr"), FString(u"/pictures/b.kvr"), FString(u"/pictures/c.jpg")};
    CAppSettings& settings = *m_App.GetSettings();
    settings.m_nKVRFilterMode = 1;
    settings.m_nJTFilterMode = 1;
    settings.m_rcReviewWindow = {0, 0, 0, 0};
  }
  ~ReviewWindowTest() override {
    services.holdDevelop = false;
    CAdjustPalette::Close();
    for (IReviewFrame* frame : std::vector<IReviewFrame*>(host.frames)) frame->DestroyReviewFrame();
    pt::Pump();
  }

  // A new review window listed by the host, as the main frame makes one.
  CReviewFrame* NewFrame() {
    CReviewFrame* frame = CReviewFrame::Make(host, services);
    if (frame) {
      host.frames.insert(host.frames.begin(), frame);
      frame->ApplyViewSettings();
    }
    return frame;
  }
  void Open(CReviewFrame* frame, const char16_t* path) {
    auto record = FakeHost::Record(FString(path));
    frame->OpenImage(record.get());
  }
  // Pumps until the condition holds (or ten seconds passed).
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < until) {
      pt::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    pt::Pump();
    return done();
  }
  static bool WaitReady(CReviewFrame* frame) {
    return PumpUntil([frame] { return frame->IsImageReady() && !frame->GetView()->Develop().IsWorkerRunning(); });
  }
  static bool WaitIdle(CReviewFrame* frame) {
    return PumpUntil([frame] { return !frame->GetView()->Develop().IsWorkerRunning(); });
  }

  ScriptedReviewServices services;
  FakeHost host;
};

} // namespace reviewtest
