#pragma once
// The development facade's and the application's services the review
// workers use, behind one interface so that a view can give the
// application's part and tests can script the facade.

#include "foundation/FString.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CKVR_ImageHandle.h"
#include "toolkit/CET_Dib.h"

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
