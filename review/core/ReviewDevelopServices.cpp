#include "review/core/ReviewDevelopServices.h"

#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/facade/KVR_Manager.h"
#include "toolkit/CET_ImageFilter.h"
#include "toolkit/PictureFiles.h"

void ReviewDevelopServices::LockEngine() { ::LockEngine(kKVRWaitForever); }
void ReviewDevelopServices::UnlockEngine() { ::UnlockEngine(); }
CKVR_ImageHandle* ReviewDevelopServices::OpenHandle(const FString& path) { return KVR_OpenHandle(path.GetText()); }
void ReviewDevelopServices::CloseHandle(CKVR_ImageHandle* handle) { KVR_CloseHandle(handle); }
void ReviewDevelopServices::ReloadProperties(CKVR_ImageHandle* handle) { KVR_ReloadProperties(handle); }
int ReviewDevelopServices::GetImageWidth(CKVR_ImageHandle* handle) { return KVR_GetImageWidth(handle); }
int ReviewDevelopServices::GetImageHeight(CKVR_ImageHandle* handle) { return KVR_GetImageHeight(handle); }
CET_Dib* ReviewDevelopServices::ProcessToBitmap(CKVR_ImageHandle* handle, int width, int height) {
  return KVR_ProcessToBitmap(handle, width, height);
}
int ReviewDevelopServices::GetFilterData(CKVR_ImageHandle* handle, CKVR_FilterData* settings, int autoFlag, int run,
                                         KVRProgressCallback callback, void* user) {
  return KVR_GetFilterData(handle, settings, autoFlag, run, callback, user);
}
int ReviewDevelopServices::FindWhiteBalanceIndex(CKVR_ImageHandle* handle,
                                                 const CKVR_Data_FileList<CKVR_WBData>* list) {
  return KVR_FindWhiteBalanceIndex(handle, list, 0);
}
int ReviewDevelopServices::FindColorModeIndex(CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_CMData>* list) {
  return KVR_FindColorModeIndex(handle, list, 0);
}
int ReviewDevelopServices::GetNoiseReduction(CKVR_ImageHandle* handle, double* chroma, double* luma) {
  return KVR_GetNoiseReduction(handle, chroma, luma);
}
void ReviewDevelopServices::SetColorSpace(CKVR_ImageHandle* handle, int code) { KVR_SetColorSpace(handle, code); }
BYTE* ReviewDevelopServices::DevelopRegionToDIB(CKVR_ImageHandle* handle, BITMAPINFOHEADER* header, int outputWidth,
                                                int outputHeight, const RECT& region, CKVR_FilterData* settings,
                                                KVRProgressCallback callback, void* user) {
  return KVR_DevelopRegionToDIB(handle, header, outputWidth, outputHeight, region, settings, callback, user);
}
BYTE* ReviewDevelopServices::LoadPicture(const FString& path, BITMAPINFO* header) {
  CET_PictLoadRequest request;
  request.path = path;
  request.header = header;
  request.mode = PICT_MODE_FULL;
  return LoadPictBits(request);
}
CET_Dib* ReviewDevelopServices::FilterPicture(const CET_Dib* picture, const CET_FilterData* settings,
                                              KVRProgressCallback callback, void* user) {
  return CET_ImageFilter::FilterDib(picture, settings, callback, user);
}
