// The browser grid's loader thread, in two passes: first the quickest picture
// of every item in list order (a raw file's small embedded picture, a JPEG's
// EXIF thumbnail, a Motion-JPEG movie's first frame), so the whole grid fills
// fast; then, for the items whose first picture was only a quick one, a
// picture of 360 pixels on the long side. Raw files without an embedded
// picture are developed under the engine lock.
//
// The item lock guards only the reads and writes of an item's fields: it is
// never held while a file is read, decoded, developed or a frame grabbed,
// never together with the engine lock, and never while a message is sent.

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "shell/app/CLumitraApp.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

#include "movie/CTMAVIFileBase.h"
#include "movie/CTMAVIMediaInformation.h"
#include "movie/CTMDirectImageBase.h"
#include "movie/CTMThumbnailData.h"

#include <exception>
#include <vector>

namespace {

constexpr int kLoaderStop = 1;
constexpr int kLoaderPause = 3;
constexpr int kDevelopFinal = 1;  // a 360 x 360 preview
constexpr int kDevelopQuick = 4;  // a 94 x 94 preview

// What one load gives: the picture (owned by the caller) and the whole image's size.
struct LoadedPicture {
  CET_Dib* picture = nullptr;
  int width = 0;
  int height = 0;
  bool needsFinal = true;
};

bool HandlerIsMotionJpeg(const WCHAR* handler) {
  static constexpr char16_t kMjpg[] = u"mjpg";
  for (int i = 0; i < 4; ++i) {
    char16_t c = handler[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kMjpg[i]) return false;
  }
  return handler[4] == 0;
}

// A grabbed frame is taken only when its rows are all there.
bool IsCompleteFrame(const CTMThumbnailData& record) {
  const BITMAPINFOHEADER& header = record.bmInfo.bmiHeader;
  if (!record.pBits || header.biWidth <= 0 || header.biHeight == 0 || header.biBitCount != 24) return false;
  const std::uint64_t stride = ((static_cast<std::uint64_t>(header.biWidth) * 3 + 3) / 4) * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight)
                                                                            : header.biHeight);
  return record.dwBitsSize >= stride * rows;
}

// The frame at time 0 of a Motion-JPEG AVI file; nothing for other movies.
LoadedPicture LoadMovieFrame(const FString& path, CWnd* owner) {
  LoadedPicture loaded;
  CTMAVIMediaInformation information;
  if (CTMAVIFileBase::GetAVIMediaData(path.GetText(), &information) < 0 ||
      !HandlerIsMotionJpeg(information.szHandler)) {
    return loaded;
  }
  if (path.GetLength() >= TM_MAX_PATH) return loaded;
  CTMThumbnailData record;
  std::char_traits<char16_t>::copy(record.szFileName, path.GetText(), static_cast<std::size_t>(path.GetLength()) + 1);
  record.llTime = 0;
  record.pOwnerWnd = owner;
  CTMDirectImageBase grabber;
  if (grabber.GetTimeThumbnailImage2(&record, 0) < 0 || !IsCompleteFrame(record)) return loaded;
  auto* picture = new CET_Dib;
  picture->Set(&record.bmInfo, record.pBits, record.dwBitsSize);
  loaded.picture = picture;
  loaded.width = picture->GetWidth();
  loaded.height = std::abs(picture->GetHeight());
  loaded.needsFinal = false;
  return loaded;
}

bool HasTempProfile(const FString& path) {
  CLumitraApp* app = GetLumitraApp();
  return app && app->FindTempProfile(path).GetLength() > 0;
}

void RememberProfile(const FString& path, const CET_ExifData* exif) {
  if (CLumitraApp* app = GetLumitraApp()) app->GetImageProfilePath(path, exif, nullptr);
}

} // namespace

// The loader's steps that need the grid's protected parts.
class BrowserLoaderRun {
public:
  explicit BrowserLoaderRun(CTLM_ThumbnailWnd* grid) : m_grid(grid) {}

  // False when the run is to stop; waits while it is paused.
  bool KeepGoing() {
    int state = m_grid->ReadLoaderState();
    while (state == kLoaderPause) {
      Sleep(200);
      state = m_grid->ReadLoaderState();
    }
    return state != kLoaderStop;
  }

  // The item's path, or false when its file is gone (then its picture is dropped).
  bool ReadExistingPath(CET_ThumbnailData* item, FString* path) {
    m_grid->LoaderLockItems();
    *path = item->m_Path;
    m_grid->LoaderUnlockItems();
    if (ReadFileAttributeWord(*path) != -1) return true;
    m_grid->LoaderLockItems();
    item->SetPicture(nullptr);
    m_grid->LoaderUnlockItems();
    return false;
  }

  void FirstPass(const CET_ThumbnailDataManager& items) {
    for (int i = 0; i < items.GetCount(); ++i) {
      CET_ThumbnailData* item = items.GetAt(i);
      if (!item) continue;
      if (!KeepGoing()) return;
      FString path;
      if (!ReadExistingPath(item, &path)) continue;
      m_grid->LoaderLockItems();
      const bool hasPicture = item->m_pDib && item->m_pDib->IsValid();
      const bool final = item->m_bFinalPicture != 0;
      const int type = item->m_FileType;
      const auto* browsed = dynamic_cast<const CTLM_ThumbnailData*>(item);
      const int rotation = browsed ? browsed->m_Exif.GetRotation() : 0;
      m_grid->LoaderUnlockItems();
      if (hasPicture) {
        // A quick picture from an earlier run: only its final one is missing.
        if (!final) m_second.push_back(item);
        continue;
      }
      CET_ExifData exif;
      CET_ExifData* exifOut = nullptr;
      const LoadedPicture loaded = Guarded([&] { return LoadQuick(path, type, rotation, &exif, &exifOut); });
      if (!loaded.picture) continue;
      RememberProfile(path, exifOut);
      m_grid->LoaderLockItems();
      item->SetPicture(loaded.picture);
      item->m_bFinalPicture = loaded.needsFinal ? 0 : 1;
      item->m_Width = loaded.width;
      item->m_Height = loaded.height;
      m_grid->LoaderUnlockItems();
      if (loaded.needsFinal) m_second.push_back(item);
      m_grid->LoaderSendItemLoaded(item, 1);
    }
  }

  void SecondPass() {
    for (CET_ThumbnailData* item : m_second) {
      if (!KeepGoing()) return;
      FString path;
      if (!ReadExistingPath(item, &path)) continue;
      m_grid->LoaderLockItems();
      const bool done = item->m_pDib && item->m_pDib->IsValid() && item->m_bFinalPicture;
      const int type = item->m_FileType;
      const int width = item->m_Width;
      const int height = item->m_Height;
      m_grid->LoaderUnlockItems();
      if (done || type == ETFILETYPE_AVI) continue;
      const LoadedPicture loaded = Guarded([&] { return LoadFinal(path, type, width, height); });
      if (!loaded.picture) continue;
      m_grid->LoaderLockItems();
      item->SetPicture(loaded.picture);
      item->m_bFinalPicture = 1;
      if (loaded.width != 0 && loaded.height != 0 &&
          (loaded.width != item->m_Width || loaded.height != item->m_Height)) {
        item->m_Width = loaded.width;
        item->m_Height = loaded.height;
      }
      m_grid->LoaderUnlockItems();
      m_grid->LoaderSendItemLoaded(item, 1);
    }
  }

private:
  // A decoder that throws (memory, a library's error) gives no picture: the
  // exception never leaves the thread.
  template <typename Load>
  static LoadedPicture Guarded(Load load) {
    try {
      return load();
    } catch (const std::exception&) {
      return {};
    }
  }

  CET_Dib* DevelopUnderEngineLock(const FString& path, int mode, CET_ExifData* exif, int* size) {
    m_grid->LoaderLockEngine();
    CET_Dib* picture = nullptr;
    try {
      picture = KVR_DevelopFileToBitmap(path.GetText(), mode, 1, nullptr, nullptr, nullptr, exif, size);
    } catch (...) {
      m_grid->LoaderUnlockEngine();
      throw;
    }
    m_grid->LoaderUnlockEngine();
    return picture;
  }

  LoadedPicture LoadQuick(const FString& path, int type, int rotation, CET_ExifData* exif, CET_ExifData** exifOut) {
    if (type == ETFILETYPE_AVI) return LoadMovieFrame(path, m_grid);
    // A file whose profile was already made needs no EXIF items to make it again.
    *exifOut = HasTempProfile(path) ? nullptr : exif;
    LoadedPicture loaded;
    if (type == ETFILETYPE_KVR) {
      int size[2] = {0, 0};
      loaded.picture = KVR_LoadEmbeddedImageToBitmap(path.GetText(), kEmbeddedThumbnail, *exifOut, size, rotation);
      if (!loaded.picture) loaded.picture = DevelopUnderEngineLock(path, kDevelopQuick, *exifOut, size);
      loaded.width = size[0];
      loaded.height = size[1];
      return loaded;
    }
    SIZE size{0, 0};
    loaded.picture = LoadPictFile(path, PICT_MODE_THUMBNAIL, *exifOut, &size, 0, 0);
    loaded.width = size.cx;
    loaded.height = size.cy;
    return loaded;
  }

  LoadedPicture LoadFinal(const FString& path, int type, int width, int height) {
    LoadedPicture loaded;
    if (type == ETFILETYPE_KVR) {
      int size[2] = {0, 0};
      loaded.picture = KVR_LoadEmbeddedImageToBitmap(path.GetText(), kEmbeddedPreview, nullptr, size, 0);
      if (!loaded.picture) loaded.picture = DevelopUnderEngineLock(path, kDevelopFinal, nullptr, size);
      loaded.width = size[0];
      loaded.height = size[1];
      return loaded;
    }
    // Without the image's size no proportions can be kept: the quick picture stays.
    if (width <= 0 || height <= 0) return loaded;
    const CRect target = CET_Calc::FitRectInRect(CRect(0, 0, kBrowserFinalPictureSide, kBrowserFinalPictureSide),
                                                 CRect(0, 0, width, height));
    SIZE size{0, 0};
    loaded.picture = LoadPictFile(path, PICT_MODE_SCALED, nullptr, &size, target.Width(), target.Height());
    loaded.width = size.cx;
    loaded.height = size.cy;
    return loaded;
  }

  CTLM_ThumbnailWnd* m_grid;
  // The items whose final picture is still to come (not owned).
  std::vector<CET_ThumbnailData*> m_second;
};

UINT BrowserThumbnailLoaderThread(LPVOID param) {
  auto* block = static_cast<CET_ThumbLoadParam*>(param);
  if (!block) return 0;
  // Only the browser grid starts this procedure.
  auto* grid = static_cast<CTLM_ThumbnailWnd*>(block->owner);
  grid->WriteLoaderBusy(1);
  BrowserLoaderRun run(grid);
  run.FirstPass(block->items);
  run.SecondPass();
  grid->WriteLoaderBusy(0);
  block->items.RemoveAll(FALSE);
  delete block;
  grid->LoaderSendItemLoaded(nullptr, 0);
  return 0;
}
