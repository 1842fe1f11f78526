#include "review/frame/ReviewViewServices.h"

#include "shell/app/CLumitraApp.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "foundation/FIStorageClass.h"
#include "managers/FIPManager.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManagerData.h"

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

CET_Dib* ReviewViewServices::DevelopRegion(const FString& path, int colorSpace, int imageWidth, int imageHeight,
                                           const RECT& region, const CKVR_FilterData* settings) {
  FString url;
  if (!NativePathToURL(path, url)) return nullptr;
  IPManagerData request;
  request.Reset();
  if (settings) KVR_ApplyFilterDataToRequest(&request, settings);
  request.m_eKind = kIPRequestDevelop;
  request.SetURL(url);
  request.m_eOutputFormat = kRGB24;
  request.m_iColorSpace = colorSpace == 3 || colorSpace == 4 || colorSpace == 11 ? colorSpace : 2;
  request.m_OutputSize.Set(imageWidth, imageHeight);
  request.m_Crop.Set(region.left, region.top, region.right, region.bottom);
  FIPManager* pool = GetIPManagerPool();
  CET_Dib* picture = KVR_RunRequestToBitmap(pool, &request);
  ReleaseIPManager(pool);
  return picture;
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
