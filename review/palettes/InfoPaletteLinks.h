#pragma once
// What the information palette needs of the application: the browser's
// selection, the cache of shooting information and the clipboard. The
// program's own services are the default; tests give their own. The review
// window it follows is an IAdjustPaletteFrame (AdjustPaletteLinks.h), as for
// the adjustment palette.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

class CET_ThumbnailDataManager;
class CTLM_Exif;

class IInfoPaletteServices {
public:
  virtual ~IInfoPaletteServices() = default;
  // Copies of the browser's selected records, in the browser's order (the
  // list owns them); nothing is added when there is no browser.
  virtual void GetSelectedThumbnails(CET_ThumbnailDataManager* list) = 0;
  // A fresh copy of the file's shooting information from the application's
  // cache; FALSE (the record left empty) when it cannot be read.
  virtual BOOL GetExif(const FString& path, CTLM_Exif* record) = 0;
  // Puts the text on the clipboard as Unicode text.
  virtual BOOL CopyText(const FString& text) = 0;
};
// The program's own: the main frame's browser, the application's cache and
// the desktop's clipboard.
IInfoPaletteServices& ApplicationInfoPaletteServices();
