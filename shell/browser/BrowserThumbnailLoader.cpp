// The browser grid's loader thread. It works nearest the shown cells first:
// the shown items, then outwards, the next item below and the next above in
// turn (from the top of a folder that is list order). Two passes, as the
// toolkit's loader has one: first the quickest picture of each item (a raw
// file's small embedded picture, a JPEG's EXIF thumbnail, a Motion-JPEG
// movie's first frame), so the grid fills fast; then, for the items whose
// first picture was only a quick one, a picture of 360 pixels on the long
// side. Raw files without an embedded picture are developed under the engine
// lock. Items listed without their shooting information get it here, through
// the application's cache, before their picture (and every item's, once the
// pictures within reach are in; first when the grid sorts by date).
//
// The pictures the items hold stay within the grid's budget: past it, those
// farthest from the shown cells are dropped, and the run does not reach
// beyond them again until the view changes. Each step reads the view afresh:
// a scroll or a new order makes the run start again from the shown cells.
//
// The item lock guards only the reads and writes of an item's fields: it is
// never held while a file is read, decoded, developed or a frame grabbed,
// never together with the engine lock, and never while a message is sent.

#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "shell/app/CLumitraApp.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/PictureFiles.h"

#include "movie/CTMAVIFileBase.h"
#include "movie/CTMAVIMediaInformation.h"
#include "movie/CTMDirectImageBase.h"
#include "movie/CTMThumbnailData.h"

#include <algorithm>
#include <limits>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kDevelopFinal = 1; // a 360 x 360 preview
constexpr int kDevelopQuick = 4; // a 94 x 94 preview
constexpr long long kNoLimit = std::numeric_limits<long long>::max();

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
BrowserPicture LoadMovieFrame(const FString& path, CWnd* owner) {
  BrowserPicture loaded;
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
  loaded.picture = std::make_unique<CET_Dib>();
  loaded.picture->Set(&record.bmInfo, record.pBits, record.dwBitsSize);
  loaded.width = loaded.picture->GetWidth();
  loaded.height = std::abs(loaded.picture->GetHeight());
  loaded.final = true;
  return loaded;
}

bool HasTempProfile(const FString& path) {
  CLumitraApp* app = GetLumitraApp();
  return app && app->FindTempProfile(path).GetLength() > 0;
}

void RememberProfile(const FString& path, const CET_ExifData* exif) {
  if (CLumitraApp* app = GetLumitraApp()) app->GetImageProfilePath(path, exif, nullptr);
}

bool HasValidPicture(const CET_ThumbnailData& item) { return item.m_pDib && item.m_pDib->IsValid(); }

// What a picture costs the grid: its rows, its header and its record.
std::uint64_t PictureBytes(const CET_Dib* picture) {
  if (!picture) return 0;
  const std::uint64_t stride = (static_cast<std::uint64_t>(std::abs(picture->GetWidth())) *
                                    static_cast<std::uint64_t>(std::max(picture->GetBitCount(), 1)) +
                                31) / 32 * 4;
  const std::uint64_t rows = stride * static_cast<std::uint64_t>(std::abs(picture->GetHeight()));
  return std::max<std::uint64_t>(rows, picture->size) + sizeof(BITMAPINFO) + sizeof(CET_Dib);
}

// Order of work from the shown cells outwards: the shown items (first to
// first + count - 1) have ranks 0 to count - 1; then the items below and above
// take turns, the nearest first.
long long RankOf(int index, int first, int count) {
  if (index >= first && index < first + count) return index - first;
  if (index >= first + count) return count + 2LL * (index - first - count);
  return count + 2LL * (first - 1 - index) + 1;
}

// The index at a rank (outside the list when that side has ended).
long long IndexAtRank(long long rank, int first, int count) {
  if (rank < count) return first + rank;
  const long long step = rank - count;
  return step % 2 == 0 ? first + count + step / 2 : first - 1 - step / 2;
}

// The work one item needs.
bool NeedsInfo(const CTLM_ThumbnailData& item) { return !item.m_bInfoRead; }
bool NeedsQuick(const CTLM_ThumbnailData& item) { return !HasValidPicture(item) && !item.m_bQuickFailed; }
bool NeedsFinal(const CTLM_ThumbnailData& item) {
  return HasValidPicture(item) && !item.m_bFinalPicture && !item.m_bFinalFailed && item.m_FileType != ETFILETYPE_AVI;
}

} // namespace

// The loader's steps that need the grid's protected parts.
class BrowserLoaderRun {
public:
  explicit BrowserLoaderRun(CTLM_ThumbnailWnd* grid) : m_grid(grid) {}

  void Run() {
    {
      ItemsHold hold(m_grid);
      m_heldBytes = CountHeldBytes();
    }
    while (m_grid->WaitWhilePaused() != kThumbLoaderStop) {
      const Job job = NextJob();
      if (!job.item) {
        if (m_infoRead > 0) m_grid->LoaderSendItemLoaded(nullptr, kBrowserInfoComplete);
        return;
      }
      switch (job.kind) {
      case Kind::Quick: LoadQuick(job); break;
      case Kind::Final: LoadFinal(job); break;
      case Kind::Info: ReadInfo(job.item); break;
      }
    }
  }

private:
  enum class Kind { Quick, Final, Info };
  enum class Phase { ShownQuick, Quick, Final, Info };
  struct Job {
    CTLM_ThumbnailData* item = nullptr;
    Kind kind = Kind::Quick;
    bool shown = false;
  };

  // The item lock through the grid's watched steps, for a scope.
  class ItemsHold {
  public:
    explicit ItemsHold(CTLM_ThumbnailWnd* grid) : m_grid(grid) { m_grid->LoaderLockItems(); }
    ~ItemsHold() { m_grid->LoaderUnlockItems(); }
    ItemsHold(const ItemsHold&) = delete;
    ItemsHold& operator=(const ItemsHold&) = delete;

  private:
    CTLM_ThumbnailWnd* m_grid;
  };

  // A loader step that throws (memory, a library's error) gives nothing:
  // the exception never leaves the thread, and no lock is left held.
  template <typename Load>
  static auto Guarded(Load load) -> decltype(load()) {
    try {
      return load();
    } catch (...) {
      return {};
    }
  }

  // ---- Choosing the next step (under the item lock) ----

  Job NextJob() {
    ItemsHold hold(m_grid);
    const unsigned generation = m_grid->m_ViewGeneration.load();
    m_first = m_grid->m_ViewFirst.load();
    m_count = m_grid->m_ViewCount.load();
    if (generation != m_generation) {
      // A new view or order: start again from the shown cells, every
      // picture within reach again.
      m_generation = generation;
      m_phases = m_grid->m_ViewByDate.load()
                     ? std::vector<Phase>{Phase::ShownQuick, Phase::Info, Phase::Quick, Phase::Final}
                     : std::vector<Phase>{Phase::Quick, Phase::Final, Phase::Info};
      m_phase = 0;
      m_cursor = 0;
      m_reach = kNoLimit;
    }
    const int total = m_grid->m_Items.GetCount();
    for (; m_phase < m_phases.size(); ++m_phase, m_cursor = 0) {
      const Phase phase = m_phases[m_phase];
      if (phase == Phase::Info) {
        for (; m_cursor < total; ++m_cursor) {
          CTLM_ThumbnailData* item = m_grid->GetItem(static_cast<int>(m_cursor));
          if (item && NeedsInfo(*item)) return {item, Kind::Info, false};
        }
        continue;
      }
      const long long last = phase == Phase::ShownQuick ? m_count - 1
                                                        : std::min(m_reach - 1, LastRank(total));
      for (; m_cursor <= last; ++m_cursor) {
        const long long index = IndexAtRank(m_cursor, m_first, m_count);
        if (index < 0 || index >= total) continue;
        CTLM_ThumbnailData* item = m_grid->GetItem(static_cast<int>(index));
        if (!item) continue;
        const bool shown = m_cursor < m_count;
        if (phase == Phase::Final) {
          if (NeedsFinal(*item)) return {item, Kind::Final, shown};
        } else if (NeedsInfo(*item) || NeedsQuick(*item) ||
                   (phase == Phase::Quick && !m_checked.count(item))) {
          return {item, Kind::Quick, shown};
        }
      }
    }
    return {};
  }

  long long LastRank(int total) const {
    return m_count + 2LL * std::max<long long>(total - m_first - m_count, m_first) + 1;
  }

  // ---- The steps ----

  void ReadInfo(CTLM_ThumbnailData* item) {
    FString path;
    {
      ItemsHold hold(m_grid);
      path = item->m_Path;
    }
    CTLM_Exif record;
    Guarded([&] {
      m_grid->LoaderReadInfo(path, &record);
      return 0;
    });
    ItemsHold hold(m_grid);
    item->m_Exif.CopyFrom(&record);
    item->m_bInfoRead = true;
    ++m_infoRead;
  }

  // False when the file is gone: the item then loses its picture.
  bool CheckExists(CTLM_ThumbnailData* item, const FString& path) {
    if (!m_checked.insert(item).second) return true;
    if (ReadFileAttributeWord(path) != -1) return true;
    ItemsHold hold(m_grid);
    m_heldBytes -= std::min(m_heldBytes, PictureBytes(item->m_pDib));
    m_grid->ReplacePicture(item, nullptr);
    item->m_bFinalPicture = 0;
    return false;
  }

  void LoadQuick(const Job& job) {
    CTLM_ThumbnailData* item = job.item;
    FString path;
    bool needsInfo = false;
    {
      ItemsHold hold(m_grid);
      path = item->m_Path;
      needsInfo = NeedsInfo(*item);
    }
    if (needsInfo) ReadInfo(item);
    const bool redrawInfo = needsInfo && job.shown;
    if (!CheckExists(item, path)) return;
    int type = 0;
    int rotation = 0;
    bool needsQuick = false;
    {
      ItemsHold hold(m_grid);
      needsQuick = NeedsQuick(*item);
      type = item->m_FileType;
      rotation = item->m_Exif.GetRotation();
    }
    if (!needsQuick) {
      // The cell shows the information that came.
      if (redrawInfo) m_grid->LoaderSendItemLoaded(item, 1);
      return;
    }
    CET_ExifData exif;
    // A file whose profile was already made needs no EXIF items to make it again.
    CET_ExifData* exifOut = type == ETFILETYPE_AVI || HasTempProfile(path) ? nullptr : &exif;
    BrowserPicture loaded = Guarded([&] { return m_grid->LoaderLoadQuick(path, type, rotation, exifOut); });
    if (!loaded.picture) {
      {
        ItemsHold hold(m_grid);
        item->m_bQuickFailed = true;
      }
      if (redrawInfo) m_grid->LoaderSendItemLoaded(item, 1);
      return;
    }
    if (type != ETFILETYPE_AVI) RememberProfile(path, exifOut);
    {
      ItemsHold hold(m_grid);
      Store(item, std::move(loaded.picture));
      item->m_bFinalPicture = loaded.final ? 1 : 0;
      item->m_Width = loaded.width;
      item->m_Height = loaded.height;
    }
    m_grid->LoaderSendItemLoaded(item, 1);
  }

  void LoadFinal(const Job& job) {
    CTLM_ThumbnailData* item = job.item;
    FString path;
    int type = 0;
    int width = 0;
    int height = 0;
    {
      ItemsHold hold(m_grid);
      path = item->m_Path;
      type = item->m_FileType;
      width = item->m_Width;
      height = item->m_Height;
    }
    if (!CheckExists(item, path)) return;
    BrowserPicture loaded = Guarded([&] { return m_grid->LoaderLoadFinal(path, type, width, height); });
    {
      ItemsHold hold(m_grid);
      if (!loaded.picture) {
        item->m_bFinalFailed = true;
        return;
      }
      Store(item, std::move(loaded.picture));
      item->m_bFinalPicture = 1;
      if (loaded.width != 0 && loaded.height != 0 && (loaded.width != item->m_Width || loaded.height != item->m_Height)) {
        item->m_Width = loaded.width;
        item->m_Height = loaded.height;
      }
    }
    m_grid->LoaderSendItemLoaded(item, 1);
  }

  // ---- The budget (under the item lock) ----

  void Store(CTLM_ThumbnailData* item, std::unique_ptr<CET_Dib> picture) {
    const std::uint64_t added = PictureBytes(picture.get());
    m_heldBytes -= std::min(m_heldBytes, PictureBytes(item->m_pDib));
    m_grid->ReplacePicture(item, std::move(picture));
    m_heldBytes += added;
    if (m_heldBytes > m_grid->m_PictureBudget) DropFarthest();
  }

  std::uint64_t CountHeldBytes() const {
    std::uint64_t bytes = 0;
    for (int i = 0; i < m_grid->m_Items.GetCount(); ++i) {
      if (const CET_ThumbnailData* item = m_grid->m_Items.GetAt(i)) bytes += PictureBytes(item->m_pDib);
    }
    return bytes;
  }

  // Drops the pictures farthest from the shown cells until an eighth of the
  // budget is free again (so that the next drop is some pictures away); the
  // shown cells keep theirs. The run reaches no farther than the nearest
  // dropped item until the view changes.
  void DropFarthest() {
    struct Held {
      long long rank;
      CET_ThumbnailData* item;
      std::uint64_t bytes;
    };
    std::vector<Held> held;
    std::uint64_t total = 0;
    for (int i = 0; i < m_grid->m_Items.GetCount(); ++i) {
      CET_ThumbnailData* item = m_grid->m_Items.GetAt(i);
      if (!item || !item->m_pDib) continue;
      const std::uint64_t bytes = PictureBytes(item->m_pDib);
      total += bytes;
      const long long rank = RankOf(i, m_first, m_count);
      if (rank >= m_count) held.push_back({rank, item, bytes});
    }
    const std::uint64_t budget = m_grid->m_PictureBudget;
    if (total > budget) {
      std::sort(held.begin(), held.end(), [](const Held& a, const Held& b) { return a.rank > b.rank; });
      const std::uint64_t target = budget - budget / 8;
      for (const Held& victim : held) {
        if (total <= target) break;
        m_grid->ReplacePicture(victim.item, nullptr);
        victim.item->m_bFinalPicture = 0;
        total -= victim.bytes;
        m_reach = std::min(m_reach, victim.rank);
      }
    }
    m_heldBytes = total;
  }

  CTLM_ThumbnailWnd* m_grid;
  unsigned m_generation = ~0u;
  int m_first = 0;
  int m_count = 0;
  std::vector<Phase> m_phases;
  std::size_t m_phase = 0;
  long long m_cursor = 0; // the next rank (or index, for the information) to look at
  long long m_reach = kNoLimit; // no rank at or beyond it is loaded in this view
  std::uint64_t m_heldBytes = 0;
  int m_infoRead = 0;
  // Items whose file was found in this run.
  std::unordered_set<const CET_ThumbnailData*> m_checked;
};

// ---- The grid's loader steps ----

void CTLM_ThumbnailWnd::LoaderReadInfo(const FString& path, CTLM_Exif* record) {
  if (CLumitraApp* app = GetLumitraApp()) {
    app->GetExif(path, record);
    return;
  }
  const std::unique_ptr<CTLM_Exif> read = CTLM_Exif::Create(path);
  record->CopyFrom(read.get());
}

std::unique_ptr<CET_Dib> CTLM_ThumbnailWnd::LoaderDevelop(const FString& path, int mode, CET_ExifData* exif,
                                                          int size[2]) {
  const KVREngineLockScope engine;
  if (!engine.IsLocked()) return nullptr;
  return std::unique_ptr<CET_Dib>(
      KVR_DevelopFileToBitmap(path.GetText(), mode, 1, nullptr, nullptr, nullptr, exif, size));
}

BrowserPicture CTLM_ThumbnailWnd::LoaderLoadQuick(const FString& path, int type, int rotation, CET_ExifData* exif) {
  if (type == ETFILETYPE_AVI) return LoadMovieFrame(path, this);
  BrowserPicture loaded;
  if (type == ETFILETYPE_KVR) {
    int size[2] = {0, 0};
    loaded.picture.reset(KVR_LoadEmbeddedImageToBitmap(path.GetText(), kEmbeddedThumbnail, exif, size, rotation));
    if (!loaded.picture) loaded.picture = LoaderDevelop(path, kDevelopQuick, exif, size);
    loaded.width = size[0];
    loaded.height = size[1];
    return loaded;
  }
  SIZE size{0, 0};
  loaded.picture.reset(LoadPictFile(path, PICT_MODE_THUMBNAIL, exif, &size, 0, 0));
  loaded.width = size.cx;
  loaded.height = size.cy;
  return loaded;
}

BrowserPicture CTLM_ThumbnailWnd::LoaderLoadFinal(const FString& path, int type, int width, int height) {
  BrowserPicture loaded;
  if (type == ETFILETYPE_KVR) {
    int size[2] = {0, 0};
    loaded.picture.reset(KVR_LoadEmbeddedImageToBitmap(path.GetText(), kEmbeddedPreview, nullptr, size, 0));
    if (!loaded.picture) loaded.picture = LoaderDevelop(path, kDevelopFinal, nullptr, size);
    loaded.width = size[0];
    loaded.height = size[1];
    return loaded;
  }
  // Without the image's size no proportions can be kept: the quick picture stays.
  if (width <= 0 || height <= 0) return loaded;
  const CRect target = CET_Calc::FitRectInRect(CRect(0, 0, kBrowserFinalPictureSide, kBrowserFinalPictureSide),
                                               CRect(0, 0, width, height));
  SIZE size{0, 0};
  loaded.picture.reset(LoadPictFile(path, PICT_MODE_SCALED, nullptr, &size, target.Width(), target.Height()));
  loaded.width = size.cx;
  loaded.height = size.cy;
  return loaded;
}

UINT BrowserThumbnailLoaderThread(LPVOID param) {
  std::unique_ptr<CET_ThumbLoadParam> block(static_cast<CET_ThumbLoadParam*>(param));
  if (!block) return 0;
  // Only the browser grid starts this procedure.
  auto* grid = static_cast<CTLM_ThumbnailWnd*>(block->owner);
  grid->WriteLoaderBusy(1);
  // The run follows the window's own list (under the item lock), which the
  // window changes only with the loader stopped or under that lock.
  BrowserLoaderRun(grid).Run();
  grid->WriteLoaderBusy(0);
  block->items.RemoveAll(FALSE);
  block.reset();
  grid->LoaderSendItemLoaded(nullptr, 0);
  return 0;
}
