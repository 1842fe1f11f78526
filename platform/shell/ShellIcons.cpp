// The system image lists (16 and 32 pixels) and file information. The
// lists begin with the namespace's icons; file types' icons join them when
// first asked for. Pictures come from the theme-icon loader of the back end.

#include "platform/shell/FileTypes.h"
#include "platform/shell/ShellItems.h"

#include "platform/core/Controls.h"
#include "platform/core/Gdi.h"
#include "platform/core/ThemeIcons.h"

#include "foundation/FPath.h"

#include <iterator>
#include <map>
#include <mutex>
#include <sys/stat.h>

struct HIMAGELIST__ {};

namespace platform::shell {
namespace {

// The first images of both lists, in this order.
enum Fixed : int { kFolder, kFolderOpen, kDrive, kRemovable, kNetwork, kShare, kHome, kDesktop, kShared, kFile };
const char* const kFixedNames[] = {"folder",          "folder-open",   "drive-harddisk", "drive-removable-media",
                                   "network-workgroup", "folder-remote", "user-home",      "user-desktop",
                                   "emblem-shared",     "text-x-generic"};
// Overlay images by overlay number (INDEXTOOVERLAYMASK): 1 is the share.
constexpr int kOverlays[] = {-1, kShared};

class ImageList : public HIMAGELIST__ {
public:
  explicit ImageList(int size) : m_size(size) {}
  int Size() const { return m_size; }

  int Count() {
    std::lock_guard lock(m_mutex);
    Fill();
    return static_cast<int>(m_images.size());
  }

  // The image of an icon name (added when first asked for); `fallback` when
  // there is no picture of that name.
  int IndexOf(const std::string& name, int fallback) {
    std::lock_guard lock(m_mutex);
    Fill();
    if (auto it = m_byName.find(name); it != m_byName.end()) return it->second;
    core::PixelImage image;
    if (!core::LoadThemeIcon(name, m_size, image)) return fallback;
    m_images.push_back(std::move(image));
    return m_byName[name] = static_cast<int>(m_images.size()) - 1;
  }

  bool Copy(int index, core::PixelImage& out) {
    std::lock_guard lock(m_mutex);
    Fill();
    if (index < 0 || index >= static_cast<int>(m_images.size())) return false;
    out = m_images[static_cast<std::size_t>(index)];
    return true;
  }

private:
  void Fill() {
    if (!m_images.empty()) return;
    for (const char* name : kFixedNames) {
      core::PixelImage image;
      if (!core::LoadThemeIcon(name, m_size, image)) { // no loader: a clear picture keeps the numbering
        image.width = image.height = m_size;
        image.argb.assign(static_cast<std::size_t>(m_size) * m_size, 0);
      }
      m_byName[name] = static_cast<int>(m_images.size());
      m_images.push_back(std::move(image));
    }
  }

  const int m_size;
  std::mutex m_mutex;
  std::vector<core::PixelImage> m_images;
  std::map<std::string, int> m_byName;
};

ImageList& SmallIcons() {
  static auto* list = new ImageList(16);
  return *list;
}
ImageList& LargeIcons() {
  static auto* list = new ImageList(32);
  return *list;
}

ImageList* ListOf(HIMAGELIST handle) {
  if (handle == &SmallIcons()) return &SmallIcons();
  if (handle == &LargeIcons()) return &LargeIcons();
  return nullptr;
}

int ImageOfRoute(const Route& route, bool open) {
  if (route.empty()) return kDesktop;
  switch (route.back().kind) {
  case Kind::Home: return kHome;
  case Kind::Root: return kDrive;
  case Kind::Medium: return kRemovable;
  case Kind::Network: return kNetwork;
  case Kind::Share: return kShare;
  default: return open ? kFolderOpen : kFolder;
  }
}

// "image/jpeg" shows as "image-jpeg", else its kind's "image-x-generic".
int ImageOfFile(ImageList& list, const FString& name) {
  std::string extension;
  PathToNative(PathExtension(name), extension);
  const std::string type = MimeTypeOfExtension(extension);
  const std::size_t slash = type.find('/');
  if (type.empty() || slash == std::string::npos) return kFile;
  std::string specific = type;
  specific[slash] = '-';
  return list.IndexOf(specific, list.IndexOf(type.substr(0, slash) + "-x-generic", kFile));
}

void CopyText(const std::u16string& text, WCHAR* out, std::size_t room) {
  const std::size_t n = std::min(text.size(), room - 1);
  std::copy_n(text.begin(), n, out);
  out[n] = u'\0';
}

} // namespace
} // namespace platform::shell

using namespace platform::shell;

int ImageList_GetImageCount(HIMAGELIST handle) {
  ImageList* list = ListOf(handle);
  return list ? list->Count() : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy) {
  ImageList* list = ListOf(handle);
  if (!list || !cx || !cy) return FALSE;
  *cx = *cy = list->Size();
  return TRUE;
}

HICON ImageList_GetIcon(HIMAGELIST handle, int index, UINT) {
  ImageList* list = ListOf(handle);
  platform::core::PixelImage image;
  if (!list || !list->Copy(index, image)) return nullptr;
  return platform::core::CreateIconFromPixels(std::move(image));
}

BOOL ImageList_Draw(HIMAGELIST handle, int index, HDC dc, int x, int y, UINT style) {
  const UINT overlay = (style & ILD_OVERLAYMASK) >> 8;
  auto draw = [&](int image) {
    HICON icon = ImageList_GetIcon(handle, image, 0);
    const BOOL drawn = icon && DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
    return drawn;
  };
  if (!draw(index)) return FALSE;
  if (overlay > 0 && overlay < std::size(kOverlays)) draw(kOverlays[overlay]);
  return TRUE;
}

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  // Whoever holds an image list may hand it to a tree view, which draws through this.
  platform::core::SetImageListPainter(ImageList_Draw);
  if (info && size < sizeof(SHFILEINFOW)) return 0;
  ImageList& list = (flags & SHGFI_SMALLICON) ? SmallIcons() : LargeIcons();
  const bool open = flags & SHGFI_OPENICON;
  std::optional<Route> route; // a folder of the namespace
  FString file;               // or a file by its name
  if (flags & SHGFI_PIDL) {
    route = RouteOfList(reinterpret_cast<const ITEMIDLIST*>(path));
    if (!route) return 0;
  } else if (path && path[0]) {
    const FString name(path);
    bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (!(flags & SHGFI_USEFILEATTRIBUTES)) {
      std::string native;
      struct stat st {};
      if (!PathToNative(name, native) || ::stat(native.c_str(), &st) != 0) return 0;
      folder = S_ISDIR(st.st_mode);
    }
    if (folder) route = PathIsAbsolute(name) ? RouteOfPath(name) : Route{ItemId{Kind::Folder, name.GetText()}};
    if (folder && !route) route = Route{ItemId{Kind::Folder, PathFileName(name).GetText()}};
    if (!folder) file = name;
  }
  const bool any = route || file.GetLength() > 0;
  const int image = route ? ImageOfRoute(*route, open) : (any ? ImageOfFile(list, file) : kFolder);
  if (info) {
    *info = SHFILEINFOW{};
    info->iIcon = image;
    if (flags & SHGFI_ICON) info->hIcon = ImageList_GetIcon(&list, image, 0);
    if ((flags & SHGFI_DISPLAYNAME) && any) {
      CopyText(route ? DisplayName(*route) : std::u16string(PathFileName(file).GetText()), info->szDisplayName, MAX_PATH);
    }
    if ((flags & SHGFI_TYPENAME) && any) {
      std::string extension;
      PathToNative(PathExtension(file), extension);
      const std::string type = route ? std::string("inode/directory") : MimeTypeOfExtension(extension);
      CopyText(PathFromNative(type.empty() ? std::string("application/octet-stream") : type).GetText(),
               info->szTypeName, std::size(info->szTypeName));
    }
    if ((flags & SHGFI_ATTRIBUTES) && route) info->dwAttributes = AttributesOf(*route, ~SFGAOF{0});
  }
  if (flags & SHGFI_SYSICONINDEX) return reinterpret_cast<DWORD_PTR>(static_cast<HIMAGELIST>(&list));
  return any ? 1 : 0;
}
