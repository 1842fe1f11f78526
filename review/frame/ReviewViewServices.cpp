#include "review/frame/ReviewViewServices.h"

#include "shell/app/CLumitraApp.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"

namespace {

constexpr int kUserSettingTextId = 104;

} // namespace

BOOL ReviewViewServices::TryLockEngine() { return ::LockEngine(0) ? TRUE : FALSE; }

CET_Dib* ReviewViewServices::LoadEmbeddedPreview(const FString& path) {
  return KVR_LoadEmbeddedImageToBitmap(path.GetText(), kEmbeddedPreviewFullSize, nullptr, nullptr, 0);
}

CET_Dib* ReviewViewServices::DevelopPreview(const FString& path) {
  return KVR_DevelopFileToBitmap(path.GetText(), kDevelopPreview600, 1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

CET_Dib* ReviewViewServices::DevelopRegion(CKVR_ImageHandle* handle, int imageWidth, int imageHeight,
                                           const RECT& region, CKVR_FilterData* settings) {
  if (!handle) return nullptr;
  BITMAPINFOHEADER header{};
  BYTE* bits = KVR_DevelopRegionToDIB(handle, &header, imageWidth, imageHeight, region, settings, nullptr, nullptr);
  return KVR_WrapInBitmap(header, bits);
}

FString ReviewViewServices::GetImageProfilePath(const FString& path, int* code) {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetImageProfilePath(path, nullptr, code) : FString();
}

FString ReviewViewServices::GetColorSpaceProfilePath(int code) {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetColorSpaceProfilePath(code) : FString();
}

std::unique_ptr<CET_FilterData> ReviewViewServices::GetImageSettings(const FString& path) {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetImageSettings(path) : nullptr;
}

void ReviewViewServices::ReloadExif(const FString& path, CTLM_Exif* record) {
  if (CLumitraApp* app = GetLumitraApp()) app->GetExif(path, record);
}

std::u16string ReviewViewServices::Text(int id) {
  std::u16string text;
  if (CLumitraApp* app = GetLumitraApp()) app->GetString(id, text);
  return text;
}

void ReviewViewServices::SetImageSettings(const FString& path, const CET_FilterData* settings) {
  if (CLumitraApp* app = GetLumitraApp()) app->SetImageSettings(path, settings);
}

BOOL ReviewViewServices::GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetWBList(path, list) : FALSE;
}

BOOL ReviewViewServices::GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetColorModeList(path, list) : FALSE;
}

FString ReviewViewServices::GetUserSettingName() { return FString(Text(kUserSettingTextId)); }

ReviewViewServices& ApplicationReviewServices() {
  static ReviewViewServices services;
  return services;
}
