#include "shell/browser/CTLM_ThumbnailWnd.h"

#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_PictCalc.h"
#include "toolkit/ControlParts.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include "foundation/FCache.h"
#include "foundation/FPath.h"
#include "platform/afx/AfxMenu.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <memory>
#include <system_error>

int g_BrowserSortKey = kBrowserSortName;
int g_bBrowserSortInvert = 0;

BEGIN_MESSAGE_MAP(CTLM_ThumbnailWnd, CET_ThumbnailWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_VSCROLL()
  ON_WM_NCCALCSIZE()
  ON_WM_LBUTTONDOWN()
  ON_WM_RBUTTONDOWN()
  ON_WM_RBUTTONUP()
  ON_WM_LBUTTONDBLCLK()
  ON_MESSAGE(WM_THUMB_ITEMLOADED, OnBrowserItemLoaded)
END_MESSAGE_MAP()

namespace {

constexpr COLORREF kGridBackground = RGB(222, 222, 222);
constexpr COLORREF kCellBackground = RGB(255, 255, 255);
constexpr COLORREF kInfoBackground = RGB(178, 178, 207);
constexpr COLORREF kSelectionFrame = RGB(255, 204, 0);
constexpr int kBadgeWidth = 22;
constexpr int kBadgeHeight = 9;
constexpr int kIconSide = 16;
constexpr int kIconStep = 20;
// Badges, icons and captions need this much room above the picture.
constexpr int kDecoratedPictureTop = 15;

constexpr int kBadgeIds[4] = {230, 231, 232, 289}; // raw, JPEG, TIFF, AVI movie
constexpr int kMarkIconId = 233;
constexpr int kLockIconId = 235;
constexpr int kAperturePrefixTextId = 3023;
constexpr int kShutterSuffixTextId = 3022;
constexpr int kBulbTextId = 3021;
// The framework's edit commands.
constexpr UINT kEditCopyCommand = 57634;
constexpr UINT kEditCutCommand = 57635;
constexpr UINT kEditPasteCommand = 57637;

// The wait cursor for a scope.
class WaitCursor {
public:
  WaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(m_previous); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

private:
  HCURSOR m_previous;
};

FString AppText(int id) {
  FString text;
  if (CLumitraApp* app = GetLumitraApp()) app->GetString(id, text);
  return text;
}

// Raw files first, then JPEG, TIFF and AVI movies.
int TypeRank(int type) {
  switch (type) {
  case ETFILETYPE_KVR: return 0;
  case ETFILETYPE_JPEG: return 1;
  case ETFILETYPE_TIFF: return 2;
  case ETFILETYPE_AVI: return 3;
  default: return 4;
  }
}

template <typename T>
int ThreeWay(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

std::uint64_t ReadFileSize(const FString& path) {
  std::string native;
  if (!PathToNative(path, native)) return 0;
  std::error_code error;
  const auto size = std::filesystem::file_size(native, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

// The image cache's limit, which the grid's pictures keep to as well.
std::uint64_t DefaultPictureBudget() {
  constexpr std::uint64_t kFallback = 0x20800000;
  FICache* cache = GetGlobalCache();
  const std::uint64_t limit = cache ? cache->GetSizeLimit() : 0;
  return limit > 0 ? limit : kFallback;
}

// Empty for a text the file does not carry (" ") or an empty one.
bool IsMissing(const FString& value) { return value.GetLength() == 0 || value == " "; }

int TextIdOf(const FString& value, std::initializer_list<std::pair<const char*, int>> table) {
  for (const auto& [name, id] : table) {
    if (value.CompareNoCase(name) == 0) return id;
  }
  return 0;
}

bool IsCellVisible(const CRect& cell, const CRect& client) {
  CRect overlap;
  return overlap.IntersectRect(&cell, &client) != FALSE;
}

} // namespace

// ---- Layouts, filters and the comparison ------------------------------------------------

ThumbGridLayout BrowserThumbLayout(int sizeIndex) {
  const int s = 10 * std::clamp(sizeIndex, 0, kThumbSizeCount - 1);
  ThumbGridLayout layout{CSize(0, 0), CSize(10, 10), CPoint(6, 8), CRect(), CRect(0, 0, 0, 0)};
  if (sizeIndex <= 4) {
    layout.cell = CSize(s + 56, s + 56);
    layout.picture = CRect(2, 2, s + 52, s + 52);
  } else {
    layout.cell = CSize(s + 64, s + 83);
    layout.picture = CRect(6, 15, s + 56, s + 65);
    layout.caption = CRect(6, s + 67, s + 56, s + 81);
  }
  return layout;
}

ThumbGridLayout BrowserInfoViewLayout() {
  return {CSize(240, 143), CSize(10, 10), CPoint(6, 8), CRect(6, 15, 116, 125), CRect(6, 127, 116, 141)};
}

bool FormatFilterKeeps(int filter, int fileType) {
  switch (filter) {
  case kFormatFilterRaw: return fileType == ETFILETYPE_KVR;
  case kFormatFilterJpeg: return fileType == ETFILETYPE_JPEG;
  case kFormatFilterTiff: return fileType == ETFILETYPE_TIFF;
  case kFormatFilterStills:
    return fileType == ETFILETYPE_KVR || fileType == ETFILETYPE_JPEG || fileType == ETFILETYPE_TIFF;
  default: return true;
  }
}

bool StateFilterKeeps(int filter, bool marked, bool locked) {
  switch (filter) {
  case kStateFilterMarked: return marked;
  case kStateFilterUnmarked: return !marked;
  case kStateFilterLocked: return locked;
  case kStateFilterUnlocked: return !locked;
  default: return true;
  }
}

int CompareNamesLogical(const FString& a, const FString& b) {
  const std::u16string_view x = a.View();
  const std::u16string_view y = b.View();
  const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < x.size() && j < y.size()) {
    if (isDigit(x[i]) && isDigit(y[j])) {
      // Numbers compare by value: leading zeros aside, the longer run is larger.
      while (i < x.size() && x[i] == u'0') ++i;
      while (j < y.size() && y[j] == u'0') ++j;
      std::size_t endX = i;
      std::size_t endY = j;
      while (endX < x.size() && isDigit(x[endX])) ++endX;
      while (endY < y.size() && isDigit(y[endY])) ++endY;
      if (endX - i != endY - j) return endX - i < endY - j ? -1 : 1;
      if (const int order = x.substr(i, endX - i).compare(y.substr(j, endY - j)); order != 0) return order < 0 ? -1 : 1;
      i = endX;
      j = endY;
      continue;
    }
    const auto lowerX = static_cast<wint_t>(std::towlower(static_cast<wint_t>(x[i])));
    const auto lowerY = static_cast<wint_t>(std::towlower(static_cast<wint_t>(y[j])));
    if (lowerX != lowerY) return lowerX < lowerY ? -1 : 1;
    ++i;
    ++j;
  }
  return ThreeWay(x.size() - i, y.size() - j);
}

int CompareBrowserItems(const void* a, const void* b) {
  const auto* x = *static_cast<CET_ThumbnailData* const*>(a);
  const auto* y = *static_cast<CET_ThumbnailData* const*>(b);
  const auto* bx = dynamic_cast<const CTLM_ThumbnailData*>(x);
  const auto* by = dynamic_cast<const CTLM_ThumbnailData*>(y);
  int order = 0;
  switch (g_BrowserSortKey) {
  case kBrowserSortType: order = ThreeWay(TypeRank(x->m_FileType), TypeRank(y->m_FileType)); break;
  case kBrowserSortSize:
    order = ThreeWay<std::uint64_t>(bx ? bx->m_FileSize : 0, by ? by->m_FileSize : 0);
    break;
  case kBrowserSortDate:
    // The capture times themselves: their texts follow the user's locale
    // and do not sort ("10/1/2024" before "9/30/2024").
    order = ThreeWay<std::uint32_t>(bx ? bx->m_Exif.GetCaptureTime() : 0, by ? by->m_Exif.GetCaptureTime() : 0);
    break;
  default: break;
  }
  if (order == 0) order = CompareNamesLogical(x->m_FileName, y->m_FileName);
  return g_bBrowserSortInvert ? -order : order;
}

// ---- Construction and set-up --------------------------------------------------------------

CTLM_ThumbnailWnd::CTLM_ThumbnailWnd() : m_PictureBudget(DefaultPictureBudget()) {
  g_BrowserSortKey = m_nSortKey;
  g_bBrowserSortInvert = m_bSortInvert;
}

CTLM_ThumbnailWnd::~CTLM_ThumbnailWnd() {
  // The loader reaches this object's hooks: it must end first.
  StopLoader();
  for (HBITMAP& badge : m_hBadges) {
    if (badge) ::DeleteObject(badge);
    badge = nullptr;
  }
  if (m_hLockIcon) ::DestroyIcon(m_hLockIcon);
  if (m_hMarkIcon) ::DestroyIcon(m_hMarkIcon);
}

void CTLM_ThumbnailWnd::Initialize() {
  Init();
  for (int i = 0; i < 4; ++i) {
    if (!m_hBadges[i]) m_hBadges[i] = ::LoadBitmapW(nullptr, MAKEINTRESOURCEW(kBadgeIds[i]));
  }
  if (!m_hLockIcon) m_hLockIcon = LoadIconResource(kLockIconId, kIconSide, kIconSide);
  if (!m_hMarkIcon) m_hMarkIcon = LoadIconResource(kMarkIconId, kIconSide, kIconSide);
  m_sAperturePrefix = AppText(kAperturePrefixTextId);
  m_sShutterSuffix = AppText(kShutterSuffixTextId);
  m_sBulbText = AppText(kBulbTextId);
}

void CTLM_ThumbnailWnd::SetThumbSize(int index) {
  const ThumbGridLayout layout = BrowserThumbLayout(index);
  m_bInfoView = FALSE;
  SetLayout(layout.cell.cx, layout.cell.cy, layout.gap.cx, layout.gap.cy, layout.margin.x, layout.margin.y,
            layout.picture.left, layout.picture.top, layout.picture.right, layout.picture.bottom, layout.caption.left,
            layout.caption.top, layout.caption.right, layout.caption.bottom);
}

void CTLM_ThumbnailWnd::SetInfoView() {
  const ThumbGridLayout layout = BrowserInfoViewLayout();
  m_bInfoView = TRUE;
  SetLayout(layout.cell.cx, layout.cell.cy, layout.gap.cx, layout.gap.cy, layout.margin.x, layout.margin.y,
            layout.picture.left, layout.picture.top, layout.picture.right, layout.picture.bottom, layout.caption.left,
            layout.caption.top, layout.caption.right, layout.caption.bottom);
}

void CTLM_ThumbnailWnd::SetCaptionStyle(int textId) {
  CLumitraApp* app = GetLumitraApp();
  if (!app) return;
  FString text;
  CFont* font = nullptr;
  COLORREF colour = 0;
  if (app->GetString(textId, text, &font, &colour)) {
    m_pCaptionFont = font;
    m_CaptionColor = colour;
  }
}

int CTLM_ThumbnailWnd::SetFormatFilter(int filter) {
  if (filter == m_nFormatFilter) return 0;
  m_nFormatFilter = filter;
  return 1;
}

int CTLM_ThumbnailWnd::SetStateFilter(int filter) {
  if (filter == m_nStateFilter) return 0;
  m_nStateFilter = filter;
  return 1;
}

void CTLM_ThumbnailWnd::SetSortKey(int key) {
  if (key == m_nSortKey) return;
  m_nSortKey = key;
  SortItems();
}

void CTLM_ThumbnailWnd::ToggleSortOrder() {
  m_bSortInvert = !m_bSortInvert;
  SortItems();
}

void CTLM_ThumbnailWnd::SortItems() {
  g_BrowserSortKey = m_nSortKey;
  g_bBrowserSortInvert = m_bSortInvert;
  {
    ItemsLock hold(*this);
    m_Items.Sort(m_nSortKey, !m_bSortInvert, CompareBrowserItems);
  }
  PublishView(true);
  if (GetSafeHwnd()) Invalidate(TRUE);
}

CTLM_ThumbnailData* CTLM_ThumbnailWnd::GetItem(int index) const {
  return dynamic_cast<CTLM_ThumbnailData*>(m_Items.GetAt(index));
}

// ---- Listing -------------------------------------------------------------------------------

CTLM_ThumbnailData* CTLM_ThumbnailWnd::MakeItem(const FString& path) {
  const int attributes = ReadFileAttributeWord(path);
  if (attributes == -1 || (attributes & 0x10)) return nullptr;
  const emETFILETYPE type = GetFileType(path);
  if (type != ETFILETYPE_AVI && type != ETFILETYPE_JPEG && type != ETFILETYPE_TIFF && type != ETFILETYPE_KVR) {
    return nullptr;
  }
  auto* item = new CTLM_ThumbnailData;
  item->m_Path = path;
  item->m_FileName = GetFileNamePart(path);
  item->m_Attributes = attributes;
  item->m_FileType = type;
  item->m_FileSize = ReadFileSize(path);
  return item;
}

CET_ThumbnailData* CTLM_ThumbnailWnd::CreateItem(const FString& path) {
  CTLM_ThumbnailData* item = MakeItem(path);
  if (item) {
    LoaderReadInfo(path, &item->m_Exif);
    item->m_bInfoRead = true;
  }
  return item;
}

void CTLM_ThumbnailWnd::ReadInfoOf(int first, int last) {
  for (int i = std::max(first, 0); i <= last; ++i) {
    FString path;
    {
      ItemsLock hold(*this);
      const CTLM_ThumbnailData* item = GetItem(i);
      if (!item || item->m_bInfoRead) continue;
      path = item->m_Path;
    }
    CTLM_Exif record;
    LoaderReadInfo(path, &record);
    ItemsLock hold(*this);
    if (CTLM_ThumbnailData* item = GetItem(i); item && item->m_Path == path) {
      item->m_Exif.CopyFrom(&record);
      item->m_bInfoRead = true;
    }
  }
}

namespace {

// A flag set for a scope.
class ListingScope {
public:
  explicit ListingScope(bool& flag) : m_flag(flag) { m_flag = true; }
  ~ListingScope() { m_flag = false; }
  ListingScope(const ListingScope&) = delete;
  ListingScope& operator=(const ListingScope&) = delete;

private:
  bool& m_flag;
};

} // namespace

int CTLM_ThumbnailWnd::AddFiles(const FArray<FString>* paths, BOOL sort) {
  WaitCursor wait;
  int kept = 0;
  // The shooting information is read here only when the state filter needs
  // it; otherwise the first screenful's is read before the window shows
  // it and the rest's by the loader, so that a large folder shows at once.
  const bool filtered = m_nStateFilter != kStateFilterAll;
  {
    const ListingScope listing(m_bListing);
    kept = ListFiles(paths, filtered);
    if (sort) SortItems();
    if (kept > 0) {
      RecalcLayout();
      ReadInfoOf(m_FirstVisible, m_FirstVisible + CountShownCells() - 1);
    }
  }
  if (kept > 0) StartLoader();
  return kept;
}

int CTLM_ThumbnailWnd::ListFiles(const FArray<FString>* paths, bool filtered) {
  int kept = 0;
  for (int i = 0; paths && i < paths->GetCount(); ++i) {
    const FString& path = (*paths)[i];
    if (!FormatFilterKeeps(m_nFormatFilter, GetFileType(path))) continue;
    CET_ThumbnailData* made = filtered ? CreateItem(path) : MakeItem(path);
    auto* item = dynamic_cast<CTLM_ThumbnailData*>(made);
    if (!item) {
      if (made) made->Delete();
      continue;
    }
    if (filtered && !StateFilterKeeps(m_nStateFilter, item->IsMarked(), item->IsLocked())) {
      item->Reset();
      item->Delete();
      continue;
    }
    ItemsLock hold(*this);
    m_Items.Add(item);
    ++kept;
  }
  return kept;
}

void CTLM_ThumbnailWnd::MakeFreshItems(const FArray<FString>* paths, std::vector<CTLM_ThumbnailData*>* fresh) {
  for (int i = 0; i < paths->GetCount(); ++i) {
    fresh->push_back(dynamic_cast<CTLM_ThumbnailData*>(CreateItem((*paths)[i])));
  }
}

namespace {

void DeleteFreshItems(std::vector<CTLM_ThumbnailData*>* fresh) {
  for (CTLM_ThumbnailData* item : *fresh) {
    if (item) item->Delete();
  }
  fresh->clear();
}

// Path, name, attributes, type, size and shooting information of the fresh item.
void TakeFileFields(CTLM_ThumbnailData* item, const CTLM_ThumbnailData& fresh) {
  item->m_Path = fresh.m_Path;
  item->m_FileName = fresh.m_FileName;
  item->m_Attributes = fresh.m_Attributes;
  item->m_FileType = fresh.m_FileType;
  item->m_FileSize = fresh.m_FileSize;
  item->m_Exif.CopyFrom(&fresh.m_Exif);
  item->m_bInfoRead = fresh.m_bInfoRead;
}

} // namespace

int CTLM_ThumbnailWnd::UpdateItems(const FArray<FString>* paths) {
  if (!paths) return 0;
  WaitCursor wait;
  StopLoader();
  // Reading the shooting information may take the engine lock: never under the item lock.
  std::vector<CTLM_ThumbnailData*> fresh;
  MakeFreshItems(paths, &fresh);
  int updated = 0;
  bool visible = false;
  CRect client;
  if (GetSafeHwnd()) GetClientRect(client);
  {
    ItemsLock hold(*this);
    for (int p = 0; p < paths->GetCount(); ++p) {
      if (!fresh[p]) continue;
      for (int i = 0; i < m_Items.GetCount(); ++i) {
        auto* item = GetItem(i);
        if (!item || item->m_Path != (*paths)[p]) continue;
        // The picture and what describes it stay; only the file's data is new.
        CET_Dib* picture = std::exchange(item->m_pDib, nullptr);
        const int final = item->m_bFinalPicture;
        const int selected = item->m_bSelected;
        const int width = item->m_Width;
        const int height = item->m_Height;
        item->CopyFrom(fresh[p]);
        item->m_pDib = picture;
        item->m_bFinalPicture = final;
        item->m_bSelected = selected;
        item->m_Width = width;
        item->m_Height = height;
        ++updated;
        visible = visible || IsCellVisible(GetItemOrigin(i), client);
        break;
      }
    }
  }
  DeleteFreshItems(&fresh);
  if (visible) RedrawAll();
  return updated;
}

int CTLM_ThumbnailWnd::RefreshItems(const FArray<FString>* paths) {
  if (!paths) return SetFolder(m_FolderPath);
  WaitCursor wait;
  StopLoader();
  std::vector<CTLM_ThumbnailData*> fresh;
  MakeFreshItems(paths, &fresh);
  int refreshed = 0;
  {
    ItemsLock hold(*this);
    for (int p = 0; p < paths->GetCount(); ++p) {
      if (!fresh[p]) continue;
      for (int i = 0; i < m_Items.GetCount(); ++i) {
        auto* item = GetItem(i);
        if (!item || item->m_Path != (*paths)[p]) continue;
        item->Reset();
        TakeFileFields(item, *fresh[p]);
        ++refreshed;
      }
    }
  }
  DeleteFreshItems(&fresh);
  if (refreshed > 0) StartLoader();
  return refreshed;
}

int CTLM_ThumbnailWnd::RotateItems(const FArray<FString>* paths, BOOL clockwise, BOOL notify) {
  if (!paths) return SetFolder(m_FolderPath);
  StopLoader();
  std::vector<CTLM_ThumbnailData*> fresh;
  MakeFreshItems(paths, &fresh);
  std::vector<CTLM_ThumbnailData*> turned;
  int found = 0;
  {
    ItemsLock hold(*this);
    for (int p = 0; p < paths->GetCount(); ++p) {
      for (int i = 0; i < m_Items.GetCount(); ++i) {
        auto* item = GetItem(i);
        if (!item || item->m_Path != (*paths)[p]) continue;
        ++found;
        const CET_Dib* picture = item->m_pDib;
        if (item->m_Exif.HasOrientationTag() && picture && picture->IsValid() && picture->header &&
            item->m_bFinalPicture) {
          // The file turns by its tag: the picture in hand turns the same way.
          BITMAPINFO* header = NewDibHeader();
          BYTE* bits = CET_PictCalc::RotateDibBitsByAngle(clockwise ? 90.0 : 270.0, nullptr, picture->header,
                                                          picture->bits, header);
          if (bits) {
            auto* rotated = new CET_Dib;
            rotated->header = header;
            rotated->bits = bits;
            rotated->size = header->bmiHeader.biSizeImage;
            item->SetPicture(rotated);
            std::swap(item->m_Width, item->m_Height);
            turned.push_back(item);
            break;
          }
          DeleteDibHeader(header);
        }
        item->Reset();
        if (fresh[p]) {
          TakeFileFields(item, *fresh[p]);
          item->m_Width = fresh[p]->m_Width;
          item->m_Height = fresh[p]->m_Height;
        }
        break;
      }
    }
  }
  DeleteFreshItems(&fresh);
  if (notify) {
    for (CTLM_ThumbnailData* item : turned) {
      if (GetSafeHwnd()) SendMessage(WM_THUMB_ITEMLOADED, reinterpret_cast<WPARAM>(item), 1);
    }
    StartLoader();
  }
  return found;
}

// ---- Loader ----------------------------------------------------------------------------------

void CTLM_ThumbnailWnd::StartLoader() {
  if (m_pLoaderThread || !GetSafeHwnd()) return;
  WriteLoaderState(kThumbLoaderRun);
  auto param = std::make_unique<CET_ThumbLoadParam>();
  param->owner = this;
  {
    ItemsLock hold(*this);
    param->items.AssignFrom(&m_Items);
  }
  m_pLoaderThread = AfxBeginThread(BrowserThumbnailLoaderThread, param.get(), THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  if (!m_pLoaderThread) {
    param->items.RemoveAll(FALSE);
    return;
  }
  param.release(); // the thread deletes it
  m_hLoaderThread = m_pLoaderThread->m_hThread;
}

int CTLM_ThumbnailWnd::GetLoaderState() {
  CSingleLock lock(&m_LoaderBusySemaphore, TRUE);
  return m_nLoaderBusy;
}

void CTLM_ThumbnailWnd::WriteLoaderBusy(int busy) {
  CSingleLock lock(&m_LoaderBusySemaphore, TRUE);
  m_nLoaderBusy = busy;
}

void CTLM_ThumbnailWnd::LoaderLockItems() { m_ItemSemaphore.Lock(INFINITE); }
void CTLM_ThumbnailWnd::LoaderUnlockItems() { m_ItemSemaphore.Unlock(); }

std::uint64_t CTLM_ThumbnailWnd::CountPictureBytes() {
  ItemsLock hold(*this);
  std::uint64_t bytes = 0;
  for (int i = 0; i < m_Items.GetCount(); ++i) {
    const CET_ThumbnailData* item = m_Items.GetAt(i);
    if (item && item->m_pDib) bytes += item->m_pDib->size;
  }
  return bytes;
}

void CTLM_ThumbnailWnd::LoaderSendItemLoaded(CET_ThumbnailData* item, LPARAM state) {
  ::SendMessageW(m_hWnd, WM_THUMB_ITEMLOADED, reinterpret_cast<WPARAM>(item), state);
}

LRESULT CTLM_ThumbnailWnd::OnBrowserItemLoaded(WPARAM wParam, LPARAM lParam) {
  OnItemLoaded(wParam, lParam);
  if (lParam == kBrowserInfoComplete) {
    // The order by date is right only now.
    if (m_nSortKey == kBrowserSortDate) SortItems();
    return 0;
  }
  if (lParam == 0) {
    // The cursor's shape follows the end of loading.
    POINT cursor{};
    if (::GetCursorPos(&cursor)) ::SetCursorPos(cursor.x, cursor.y);
    return 0;
  }
  if (lParam != 1) return 0;
  FString selectedPath;
  bool selected = false;
  {
    ItemsLock hold(*this);
    for (int i = 0; i < m_Items.GetCount() && !selected; ++i) {
      const CET_ThumbnailData* item = m_Items.GetAt(i);
      if (item && item == reinterpret_cast<const CET_ThumbnailData*>(wParam) && item->m_bSelected) {
        selected = true;
        selectedPath = item->m_Path;
      }
    }
  }
  if (selected) NotifyParent(kThumbViewFocusChanged, selectedPath);
  return 0;
}

// ---- Scrolling and layout --------------------------------------------------------------------

void CTLM_ThumbnailWnd::SyncScrollBar() {
  if (m_ScrollBar.GetSafeHwnd()) m_ScrollBar.UpdateFromTarget();
}

void CTLM_ThumbnailWnd::RecalcLayout() {
  CET_ThumbnailWnd::RecalcLayout();
  SyncScrollBar();
  PublishView(false);
}

int CTLM_ThumbnailWnd::ScrollTo(int position) {
  SCROLLINFO info{};
  GetScrollInfo(&info);
  if (position == info.nPos) return 1;
  const int result = CET_ThumbnailWnd::ScrollTo(position);
  PublishView(false);
  return result;
}

int CTLM_ThumbnailWnd::CountShownCells() const {
  if (!GetSafeHwnd()) return 0;
  CRect client;
  GetClientRect(client);
  const int stepY = m_CellSize.cy + m_Gap.cy;
  // Rows partly shown count too.
  const int rows = stepY > 0 ? std::max(0, (client.Height() - m_Margin.y + stepY - 1) / stepY) : 1;
  return std::max(m_Columns, 1) * std::max(rows, 1);
}

void CTLM_ThumbnailWnd::PublishView(bool orderChanged) {
  const int first = m_FirstVisible;
  const int count = CountShownCells();
  const bool byDate = m_nSortKey == kBrowserSortDate;
  if (!orderChanged && first == m_ViewFirst.load() && count == m_ViewCount.load() && byDate == m_ViewByDate.load()) {
    return;
  }
  {
    // Under the item lock, so that the loader sees the view and the order together.
    ItemsLock hold(*this);
    m_ViewFirst = first;
    m_ViewCount = count;
    m_ViewByDate = byDate;
    ++m_ViewGeneration;
  }
  if (!m_bListing && !m_pLoaderThread && ShownItemsNeedLoading()) StartLoader();
}

bool CTLM_ThumbnailWnd::ShownItemsNeedLoading() {
  ItemsLock hold(*this);
  const int end = std::min(m_Items.GetCount(), m_ViewFirst.load() + m_ViewCount.load());
  for (int i = std::max(m_ViewFirst.load(), 0); i < end; ++i) {
    const CTLM_ThumbnailData* item = GetItem(i);
    if (!item) continue;
    const bool hasPicture = item->m_pDib && item->m_pDib->IsValid();
    if (!item->m_bInfoRead || (!hasPicture && !item->m_bQuickFailed) ||
        (hasPicture && !item->m_bFinalPicture && !item->m_bFinalFailed && item->m_FileType != ETFILETYPE_AVI)) {
      return true;
    }
  }
  return false;
}

int CTLM_ThumbnailWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  if (CWnd* parent = GetParent()) {
    m_ScrollBar.SetBarType(0);
    m_ScrollBar.SetTargetWnd(this);
    const CRect place(cs->cx, 0, cs->cx + kThumbnailScrollBarWidth, cs->cy);
    if (m_ScrollBar.Create(nullptr, u"", WS_CHILD, place, parent, kThumbnailScrollBarId)) {
      m_ScrollBar.ShowWindow(SW_SHOW);
    }
  }
  return 0;
}

void CTLM_ThumbnailWnd::OnSize(UINT type, int cx, int cy) {
  CET_ThumbnailWnd::OnSize(type, cx, cy);
  CWnd* parent = GetParent();
  if (!m_ScrollBar.GetSafeHwnd() || !parent) return;
  CRect grid;
  GetWindowRect(grid);
  parent->ScreenToClient(grid);
  m_ScrollBar.MoveWindow(CRect(grid.right, grid.top, grid.right + kThumbnailScrollBarWidth, grid.bottom));
  SyncScrollBar();
  m_ScrollBar.Invalidate(TRUE);
}

void CTLM_ThumbnailWnd::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  CET_ThumbnailWnd::OnVScroll(code, pos, bar);
  SyncScrollBar();
}

void CTLM_ThumbnailWnd::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  // Only the owner-drawn bar beside the grid is seen.
  ShowScrollBar(SB_VERT, FALSE);
  CWnd::OnNcCalcSize(calcValidRects, params);
}

// ---- Selection --------------------------------------------------------------------------------

void CTLM_ThumbnailWnd::NoteSelection(int* count, FString* first) {
  *count = 0;
  *first = FString();
  {
    ItemsLock hold(*this);
    for (int i = 0; i < m_Items.GetCount(); ++i) {
      const CET_ThumbnailData* item = m_Items.GetAt(i);
      if (!item || !item->m_bSelected) continue;
      if (*count == 0) *first = item->m_Path;
      ++*count;
    }
  }
}

void CTLM_ThumbnailWnd::NotifyParent(WPARAM event, const FString& path) {
  CWnd* parent = GetParent();
  if (parent && parent->GetSafeHwnd()) {
    parent->SendMessage(WM_APP_THUMB_VIEW_EVENT, event, reinterpret_cast<LPARAM>(path.GetText()));
  }
}

void CTLM_ThumbnailWnd::NotifySelectionChange(int countBefore, const FString& firstBefore) {
  if (m_Anchor == -1) {
    // A click on empty space.
    ChangeSelection(kSelectNone);
  }
  int count = 0;
  FString first;
  NoteSelection(&count, &first);
  if (count != countBefore || first != firstBefore) NotifyParent(kThumbViewFocusChanged, first);
  if (GetSafeHwnd()) SetFocus();
}

template <typename Click>
void CTLM_ThumbnailWnd::ClickWithNotice(Click click) {
  int count = 0;
  FString first;
  NoteSelection(&count, &first);
  click();
  NotifySelectionChange(count, first);
}

void CTLM_ThumbnailWnd::OnLButtonDown(UINT flags, CPoint point) {
  ClickWithNotice([&] { CET_ThumbnailWnd::OnLButtonDown(flags, point); });
}

void CTLM_ThumbnailWnd::OnRButtonDown(UINT flags, CPoint point) {
  ClickWithNotice([&] { CET_ThumbnailWnd::OnRButtonDown(flags, point); });
}

void CTLM_ThumbnailWnd::OnLButtonDblClk(UINT flags, CPoint point) {
  CWnd::OnLButtonDblClk(flags, point);
  int count = 0;
  FString first;
  NoteSelection(&count, &first);
  if (count > 0) NotifyParent(kThumbViewOpenFile, first);
}

void CTLM_ThumbnailWnd::OnRButtonUp(UINT flags, CPoint point) {
  // Caption text id and command; 0 and 0: a separator.
  static constexpr std::pair<int, UINT> kEntries[] = {
      {1033, 32780}, {1032, 32779}, {0, 0},          {1040, 109},       {0, 0},    {1048, 32949},
      {0, 0},        {1041, 32804}, {1042, 32805},   {1046, 32806},     {1047, 32807}, {1031, 32808},
      {0, 0},        {1036, 32786}, {0, 0},          {1038, kEditCopyCommand}, {1037, kEditCutCommand},
      {1039, kEditPasteCommand},        {0, 0},          {1034, 32782},
  };
  CMenu menu;
  CWnd* frame = AfxGetMainWnd();
  if (frame && menu.CreatePopupMenu()) {
    for (const auto& [textId, command] : kEntries) {
      if (textId == 0) {
        menu.AppendMenu(MF_SEPARATOR);
      } else {
        menu.AppendMenu(MF_STRING, command, AppText(textId).GetText());
      }
    }
    POINT screen = point;
    ClientToScreen(&screen);
    menu.TrackPopupMenu(TPM_RIGHTBUTTON, screen.x, screen.y, frame);
  }
  CWnd::OnRButtonUp(flags, point);
}

void CTLM_ThumbnailWnd::ChangeSelection(int command) {
  if (command >= kSelectAll && command <= kSelectInvert) {
    {
      ItemsLock hold(*this);
      for (int i = 0; i < m_Items.GetCount(); ++i) {
        auto* item = GetItem(i);
        if (!item) continue;
        switch (command) {
        case kSelectAll: item->m_bSelected = 1; break;
        case kSelectMarked: item->m_bSelected = item->IsMarked() ? 1 : 0; break;
        case kSelectLocked: item->m_bSelected = item->IsLocked() ? 1 : 0; break;
        case kSelectNone: item->m_bSelected = 0; break;
        default: item->m_bSelected = item->m_bSelected ? 0 : 1; break;
        }
      }
    }
    RedrawAll();
    return;
  }
  if (command < kSelectUp || command > kSelectRight || m_Anchor < 0) return;
  const int count = GetItemCount();
  const int columns = std::max(m_Columns, 1);
  const int anchor = m_Anchor;
  int target = -1;
  switch (command) {
  case kSelectUp: target = anchor - columns >= 0 ? anchor - columns : -1; break;
  case kSelectDown: target = anchor + columns < count ? anchor + columns : -1; break;
  case kSelectLeft: target = anchor % columns != 0 ? anchor - 1 : -1; break;
  default: target = (anchor % columns != columns - 1 && anchor + 1 < count) ? anchor + 1 : -1; break;
  }
  if (target < 0) return;
  SelectOnly(target);
  m_Anchor = target;
  const CRect cell = GetItemOrigin(target);
  CRect client;
  if (GetSafeHwnd()) GetClientRect(client);
  const int row = target / columns;
  if (cell.top < client.top) {
    ScrollTo(row);
  } else if (cell.bottom > client.bottom) {
    ScrollTo(row - m_RowsPerPage + 1);
  }
  SyncScrollBar();
  RedrawAll();
}

// ---- Dragging ------------------------------------------------------------------------------

int CTLM_ThumbnailWnd::DragSelectedFiles(BOOL leftButton, int* effect) {
  m_DraggedSelection.RemoveAll();
  GetSelectedPaths(&m_DraggedSelection);
  int result = DROPEFFECT_NONE;
  const int ran = CET_ThumbnailWnd::DragSelectedFiles(leftButton, &result);
  if (ran && result == DROPEFFECT_MOVE && m_DraggedSelection.GetCount() > 0) {
    // The files are gone from here: review windows showing them close.
    if (m_pFrame) {
      for (int i = 0; i < m_DraggedSelection.GetCount(); ++i) {
        m_pFrame->BroadcastToReviewFrames(WM_APP_FILE_OPERATION,
                                          reinterpret_cast<WPARAM>(m_DraggedSelection[i].GetText()),
                                          kFileOperationDelete);
      }
    }
    const FString folder = GetParentPath(m_DraggedSelection[0]);
    m_DraggedSelection.RemoveAll();
    if (m_pFrame) m_pFrame->SelectFolder(folder, TRUE);
  }
  if (effect) *effect = result;
  return ran;
}

// ---- Drawing ---------------------------------------------------------------------------------

void CTLM_ThumbnailWnd::DrawItems(CDC* dc) {
  CRect client;
  GetClientRect(client);
  dc->FillSolidRect(client, kGridBackground);
  if (!m_bInitialized) return;
  for (int i = 0; i < GetItemCount(); ++i) {
    if (IsCellVisible(GetItemOrigin(i), client)) DrawItem(dc, i, nullptr);
  }
}

HBITMAP CTLM_ThumbnailWnd::BadgeFor(int fileType) const {
  switch (fileType) {
  case ETFILETYPE_KVR: return m_hBadges[0];
  case ETFILETYPE_JPEG: return m_hBadges[1];
  case ETFILETYPE_TIFF: return m_hBadges[2];
  case ETFILETYPE_AVI: return m_hBadges[3];
  default: return nullptr;
  }
}

void CTLM_ThumbnailWnd::DrawFileTypeBadge(CDC* dc, int fileType, int x, int y) {
  HBITMAP badge = BadgeFor(fileType);
  if (!badge) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  HGDIOBJ old = ::SelectObject(memory.m_hDC, badge);
  dc->BitBlt(x, y, kBadgeWidth, kBadgeHeight, &memory, 0, 0, SRCCOPY);
  ::SelectObject(memory.m_hDC, old);
}

void CTLM_ThumbnailWnd::DrawBadgeAndIcons(CDC* dc, int fileType, bool locked, bool marked, const CRect& cell,
                                          const CRect& frame, const CRect& drawn) {
  const int right = m_bInfoView ? frame.right + 6 : cell.right;
  DrawFileTypeBadge(dc, fileType, right - 25, cell.top + 3);
  HICON icons[2] = {nullptr, nullptr};
  int n = 0;
  if (locked && m_hLockIcon) icons[n++] = m_hLockIcon;
  if (marked && m_hMarkIcon) icons[n++] = m_hMarkIcon;
  // The icons stand in the wider of the two free bands: above the picture or to its right.
  const bool stacked = drawn.top - cell.top < right - drawn.right;
  for (int i = 0; i < n; ++i) {
    if (stacked) {
      dc->DrawIcon((right + drawn.right - kIconSide) / 2, frame.top + i * kIconStep, icons[i], kIconSide, kIconSide);
    } else {
      dc->DrawIcon(frame.left + i * kIconStep, (cell.top + drawn.top - kIconSide) / 2, icons[i], kIconSide, kIconSide);
    }
  }
}

FString CTLM_ThumbnailWnd::BuildInfoText(const CTLM_ThumbnailData& item) const {
  const CTLM_Exif& exif = item.m_Exif;
  FString lines[10];
  if (!IsMissing(exif.GetDate())) lines[0] = exif.GetDate();
  if (!IsMissing(exif.GetTime())) lines[1] = exif.GetTime();
  if (const FString aperture = exif.GetAperture(); !IsMissing(aperture)) {
    lines[2] = m_sAperturePrefix;
    lines[2] += aperture;
  }
  if (const FString shutter = exif.GetShutter(); shutter.CompareNoCase("BULB") == 0) {
    lines[3] = m_sBulbText;
  } else if (!IsMissing(shutter)) {
    lines[3] = shutter;
    lines[3] += m_sShutterSuffix;
  }
  if (const FString iso = exif.GetIso(); !IsMissing(iso)) {
    lines[4] = "ISO";
    lines[4] += iso;
  }
  if (const int id = TextIdOf(exif.GetResolution(),
                              {{"S-HI", 3030}, {"HI", 3031}, {"MED", 3032}, {"LOW", 3033}, {"WID", 3079}})) {
    lines[5] = AppText(id);
  }
  lines[6].Format("%.2f MB", static_cast<double>(item.m_FileSize) / 1024.0 / 1024.0);
  lines[7] = exif.GetFocalLength();
  const int program = TextIdOf(exif.GetProgramMode(), {{"P", 118}, {"A", 119}, {"S", 120}, {"M", 121}, {"O", 130}});
  lines[8] = program ? AppText(program) : FString(" ");
  const int balance = TextIdOf(exif.GetWBDesc(), {{"Sunlight", 106},
                                                  {"Daylight", 107},
                                                  {"Shade", 108},
                                                  {"Overcast", 109},
                                                  {"Incandescent", 111},
                                                  {"Fluorescent", 113},
                                                  {"Flash", 114},
                                                  {"Auto", 115},
                                                  {"Monochrome", 116},
                                                  {"Custom", 132}});
  lines[9] = balance ? AppText(balance) : FString(" ");
  FString text;
  for (int i = 0; i < 10; ++i) {
    text += lines[i];
    if (i < 9) text += "\n";
  }
  return text;
}

void CTLM_ThumbnailWnd::DrawItem(CDC* dc, int index, const POINT* origin) {
  if (!m_bInitialized || !dc) return;
  CRect cell = GetItemOrigin(index);
  if (origin) cell = CRect(origin->x, origin->y, origin->x + cell.Width(), origin->y + cell.Height());
  dc->FillSolidRect(cell, kCellBackground);
  // What the cell shows, read under the item lock; drawing runs without it.
  // The picture stays alive meanwhile: only this thread deletes pictures.
  const CET_Dib* picture = nullptr;
  int fileType = 0;
  bool locked = false;
  bool marked = false;
  bool selected = false;
  std::u16string name;
  FString info;
  {
    ItemsLock hold(*this);
    const CTLM_ThumbnailData* item = GetItem(index);
    if (!item) return;
    picture = item->m_pDib;
    fileType = item->m_FileType;
    locked = item->IsLocked();
    marked = item->IsMarked();
    selected = item->m_bSelected != 0;
    name = item->m_FileName.GetText();
    if (m_bInfoView) info = BuildInfoText(*item);
  }
  CRect frame = m_PictRect;
  frame.OffsetRect(cell.left, cell.top);
  const bool decorated = frame.top - cell.top >= kDecoratedPictureTop;
  if (picture && picture->IsValid() && picture->header) {
    const int width = picture->GetWidth();
    const int height = std::abs(picture->GetHeight());
    const CRect drawn = CET_Calc::FitRectInRect(frame, CRect(0, 0, width, height));
    ::StretchDIBits(dc->m_hDC, drawn.left, drawn.top, drawn.Width(), drawn.Height(), 0, 0, width, height,
                    picture->bits, picture->header, DIB_RGB_COLORS, SRCCOPY);
    if (decorated) DrawBadgeAndIcons(dc, fileType, locked, marked, cell, frame, drawn);
  } else {
    // No picture (yet, or the file cannot give one): its type shows instead.
    DrawFileTypeBadge(dc, fileType, frame.CenterPoint().x - kBadgeWidth / 2, frame.CenterPoint().y - kBadgeHeight / 2);
  }
  CRect caption = m_CaptionRect;
  caption.OffsetRect(cell.left, cell.top);

  CFont* oldFont = m_pCaptionFont ? dc->SelectObject(m_pCaptionFont) : nullptr;
  const COLORREF oldColour = dc->SetTextColor(m_CaptionColor);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  if (!caption.IsRectEmpty()) {
    // Room for the ellipsis the drawing may put in.
    name.append(16, u'\0');
    dc->DrawText(name.data(), static_cast<int>(name.size() - 16), caption,
                 DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX);
  }
  if (m_bInfoView) {
    CRect area(frame.right + 6, cell.top, cell.right, cell.bottom);
    dc->FillSolidRect(area, kInfoBackground);
    area.DeflateRect(3, 3);
    const std::u16string text(info.GetText());
    CRect measured = area;
    dc->DrawText(text, measured, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_CALCRECT);
    if (measured.Height() < area.Height()) area.OffsetRect(0, (area.Height() - measured.Height()) / 2);
    dc->DrawText(text, area, DT_LEFT | DT_TOP | DT_NOPREFIX);
  }
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColour);
  if (oldFont) dc->SelectObject(oldFont);

  if (selected) {
    CPen pen(PS_SOLID, 2, kSelectionFrame);
    CPen* oldPen = dc->SelectObject(&pen);
    CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
    dc->Rectangle(cell);
    if (oldBrush) dc->SelectObject(oldBrush->GetSafeHandle());
    dc->SelectObject(oldPen);
  }
}
