#pragma once
// What the review view asks of the development facade and the application
// beyond its worker's needs: the quick picture of a raw file, the loupe's
// region, the colour profiles and the application's caches. The program's
// answers are the defaults; tests script their own.

#include "review/core/ReviewDevelopServices.h"
#include "shell/facade/CTLM_ThumbnailData.h"

#include <memory>

class ReviewViewServices : public ReviewDevelopServices {
public:
  // The engine lock without waiting: TRUE when it was free and is now held.
  virtual BOOL TryLockEngine();
  // A raw file's large embedded picture at its own size, or null.
  virtual CET_Dib* LoadEmbeddedPreview(const FString& path);
  // A preview development of a raw file fitting 600 x 600 (the caller holds
  // the engine lock), or null.
  virtual CET_Dib* DevelopPreview(const FString& path);
  // The region (right and bottom exclusive) of the raw file developed at
  // its full size with the settings into the colour space, as one request to
  // the manager pool (the caller holds the engine lock); null when it failed.
  virtual CET_Dib* DevelopRegion(const FString& path, int colorSpace, int imageWidth, int imageHeight,
                                 const RECT& region, const CKVR_FilterData* settings);
  // The profile remembered or embedded for the file (for a raw file the one
  // it develops into, its colour-space code in code); empty when none.
  virtual FString GetImageProfilePath(const FString& path, int* code);
  // The profile of a colour-space code (2 sRGB, 3 Adobe RGB, 4 Apple RGB,
  // 8 ColorMatch RGB, 11 ROMM RGB); empty for others.
  virtual FString GetColorSpaceProfilePath(int code);
  // The settings the application remembers for the file, or null.
  virtual std::unique_ptr<CET_FilterData> GetImageSettings(const FString& path);
  // The file's shooting information read again into the record.
  virtual void ReloadExif(const FString& path, CTLM_Exif* record);
  // A text of the program's table; empty when it has none.
  virtual std::u16string Text(int id);

  void SetImageSettings(const FString& path, const CET_FilterData* settings) override;
  BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) override;
  BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) override;
  FString GetUserSettingName() override;
};

// The program's own.
ReviewViewServices& ApplicationReviewServices();
