#include "output/print/AppPrintPictureSource.h"

#include "movie/CTMDirectImageBase.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "toolkit/CET_ImageFilter.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

#include <algorithm>

namespace {

// One second in the movie library's units of 100 nanoseconds.
constexpr int64_t kOneSecond = 10'000'000;
// The text before the aperture value.
constexpr int kApertureLabelTextId = 3023;

// Holds the application's engine lock for a scope (for ever when there is no application).
class EngineLock {
public:
  EngineLock() : m_app(GetLumitraApp()) {
    if (m_app) m_app->LockEngine(0xFFFFFFFF);
  }
  ~EngineLock() {
    if (m_app) m_app->UnlockEngine();
  }
  EngineLock(const EngineLock&) = delete;
  EngineLock& operator=(const EngineLock&) = delete;

private:
  CLumitraApp* m_app;
};

} // namespace

int AppPrintPictureSource::FileType(const FString& path) { return GetFileType(path); }

std::unique_ptr<CET_Dib> AppPrintPictureSource::DevelopRaw(const FString& path, const CET_FilterData* settings) {
  // The facade develops with its own settings record; a copy keeps the caller's untouched.
  std::unique_ptr<CKVR_FilterData> own;
  if (const auto* raw = dynamic_cast<const CKVR_FilterData*>(settings)) own = std::make_unique<CKVR_FilterData>(*raw);
  const std::u16string nativePath(path.View());
  EngineLock lock;
  return std::unique_ptr<CET_Dib>(
      KVR_DevelopFileToBitmap(nativePath.c_str(), 0, 1, own.get(), m_progress, m_user, nullptr, nullptr));
}

std::unique_ptr<CET_Dib> AppPrintPictureSource::GrabMovieFrame(const FString& path) {
  const std::u16string_view name = path.View();
  if (name.size() >= TM_MAX_PATH) return nullptr;
  CTMThumbnailData record;
  std::copy(name.begin(), name.end(), record.szFileName);
  record.szFileName[name.size()] = u'\0';
  record.llTime = kOneSecond;
  record.pOwnerWnd = m_owner;
  CTMDirectImageBase grabber;
  if (grabber.GetTimeThumbnailImage(&record, 0) < 0) return nullptr;
  return DibFromMovieFrame(&record.bmInfo, record.pBits, record.dwBitsSize);
}

std::unique_ptr<CET_Dib> AppPrintPictureSource::LoadStill(const FString& path) {
  return std::unique_ptr<CET_Dib>(LoadPictFile(path, PICT_MODE_FULL, nullptr, nullptr, 0, 0));
}

std::unique_ptr<CET_Dib> AppPrintPictureSource::Filter(const CET_Dib& picture, const CET_FilterData& settings) {
  return std::unique_ptr<CET_Dib>(CET_ImageFilter::FilterDib(&picture, &settings, m_progress, m_user));
}

std::vector<std::u16string> AppPrintPictureSource::InfoLines(const FString& path) {
  std::vector<std::u16string> lines;
  CLumitraApp* app = GetLumitraApp();
  CTLM_Exif exif;
  const bool found = app && app->GetExif(path, &exif) && exif.HasEntry();
  if (!found) {
    BuildInfoLines(GetFileNamePart(path), nullptr, {}, lines);
    return lines;
  }
  ShootingFields fields;
  fields.date = exif.GetDate();
  fields.time = exif.GetTime();
  fields.camera = exif.GetCameraModel();
  fields.shutter = exif.GetShutter();
  fields.aperture = exif.GetAperture();
  fields.iso = exif.GetIso();
  fields.exposureComp = exif.GetExposureComp();
  fields.focalLength = exif.GetFocalLength();
  std::u16string apertureLabel;
  app->GetString(kApertureLabelTextId, apertureLabel);
  BuildInfoLines(GetFileNamePart(path), &fields, apertureLabel, lines);
  return lines;
}
