#pragma once
// What the adjustment palette needs of the world around it: the review
// window it follows, and the application's services (the main frame, the
// raw files' lists and shooting information). The review window implements
// the first; the application's own services are the default for the second,
// tests give their own.

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "platform/afx/AfxWin.h"
#include "shell/facade/CKVR_Data_FileList.h"

class CET_Dib;
class CET_FilterData;
class CTLM_ThumbnailData;

// The review window as the palette follows it.
class IAdjustPaletteFrame {
public:
  virtual ~IAdjustPaletteFrame() = default;
  // The window the palette's requests go to.
  virtual CWnd* GetFrameWnd() = 0;
  // A new copy of its thumbnail record (the caller deletes it), preferring the
  // record of an image it is still switching to; then *pending is 1. Null
  // when it has none.
  virtual CTLM_ThumbnailData* GetThumbnailRecord(int* pending) = 0;
  // Its current slot, a copy of that slot's settings and of its displayed
  // picture (emptied when it shows none).
  virtual void GetCurrentState(int* slot, CET_FilterData* settings, CET_Dib* picture) = 0;
  // A copy of its custom settings of the image's kind.
  virtual void GetCustomSettings(CET_FilterData* settings) = 0;
  virtual void GetWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) = 0;
  virtual BOOL IsCurrentSlotModified() = 0;
  // The visible part of its picture in fractions 0-1.
  virtual FDoubleRect GetVisibleRect() = 0;
  virtual BOOL IsImageReady() = 0;
};

// The lParam of WM_APP_PREVIEW_SETTINGS from a review window to the palette.
struct PaletteSettingsEcho {
  const CET_FilterData* settings = nullptr;
  IAdjustPaletteFrame* frame = nullptr;
};

// The application's side.
class IAdjustPaletteServices {
public:
  virtual ~IAdjustPaletteServices() = default;
  // Where white balance, colour mode, noise reduction and whole settings are
  // written into raw files; null when there is none.
  virtual CWnd* GetMainFrame() = 0;
  virtual BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) = 0;
  virtual BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) = 0;
  // The file's ISO sensitivity as its shooting information writes it; empty
  // when unknown.
  virtual FString GetIso(const FString& path) = 0;
};
// The program's own: the application's main window and caches.
IAdjustPaletteServices& ApplicationPaletteServices();
