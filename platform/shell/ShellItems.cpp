// The folder source's items: item IDs, routes between the root and native
// paths, names and attributes. Paths go through the foundation's path
// module; volumes and network shares come from its mount table.

#include "platform/shell/ShellItems.h"

#include "foundation/FIFolder.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"

#include <cstring>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::shell {
namespace {

bool IsKind(char c) {
  switch (static_cast<Kind>(c)) {
  case Kind::Home:
  case Kind::Root:
  case Kind::Medium:
  case Kind::Network:
  case Kind::Share:
  case Kind::Folder: return true;
  }
  return false;
}

FString Text(const std::u16string& text) { return FString(std::u16string_view(text)); }
std::u16string Text(const FString& text) { return text.GetText(); }

FString HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return PathNormalize(PathFromNative(home));
  const passwd* user = ::getpwuid(::geteuid());
  return user && user->pw_dir ? PathNormalize(PathFromNative(user->pw_dir)) : FString(u"/");
}

FString DesktopFolder() {
  FString desktop;
  GetShellFolderPath(CSIDL_DESKTOP, desktop);
  return PathNormalize(desktop);
}

std::vector<FVolume> Media() {
  std::vector<FVolume> media;
  for (const FVolume& v : ListVolumes()) {
    if (v.m_sMountPoint != u"/") media.push_back(v);
  }
  return media;
}

bool Stat(const FString& path, struct stat& st) {
  std::string native;
  return PathToNative(path, native) && ::stat(native.c_str(), &st) == 0;
}

bool IsDirectory(const FString& path) {
  struct stat st {};
  return Stat(path, st) && S_ISDIR(st.st_mode);
}

// Calls f(name) for each sub-folder of a folder (names as the source shows
// them); stops when f answers false.
template <class F>
void ForEachSubFolder(const FString& folder, bool hidden, F&& f) {
  std::string native;
  if (!PathToNative(folder, native)) return;
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || (!hidden && name[0] == '.')) continue;
    bool folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      folder = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (folder && !f(PathFromNative(name))) break;
  }
  ::closedir(dir);
}

bool OwnerMayWrite(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// Mount points and the source's own items cannot be moved or deleted as folders.
bool Movable(const FString& path) {
  struct stat self {}, parent {};
  const FString up = PathParent(path);
  return up.GetLength() > 0 && Stat(path, self) && Stat(up, parent) && self.st_dev == parent.st_dev &&
         OwnerMayWrite(parent);
}

// The longest of the ways in that holds the path: (route prefix, its folder).
std::pair<Route, FString> WayInto(const FString& path) {
  std::pair<Route, FString> best{{ItemId{Kind::Root, {}}}, FString(u"/")};
  std::size_t bestLength = 1;
  auto consider = [&](Route prefix, const FString& folder) {
    const std::size_t length = static_cast<std::size_t>(folder.GetLength());
    if (length > bestLength && PathIsInside(path, folder)) {
      best = {std::move(prefix), folder};
      bestLength = length;
    }
  };
  const FString home = HomeFolder();
  if (home != u"/") consider({ItemId{Kind::Home, {}}}, home);
  for (const FVolume& medium : Media()) consider({ItemId{Kind::Medium, Text(medium.m_sMountPoint)}}, medium.m_sMountPoint);
  for (const FNetworkShare& share : ListNetworkShares()) {
    consider({ItemId{Kind::Network, {}}, ItemId{Kind::Share, Text(share.m_sMountPoint)}}, share.m_sMountPoint);
  }
  return best;
}

} // namespace

std::optional<Route> RouteOfList(const ITEMIDLIST* list, std::size_t available) {
  if (!list) return std::nullopt;
  Route route;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(list);
  const std::size_t limit = std::min(available, kMaxListBytes);
  std::size_t at = 0;
  for (;;) {
    if (at + 2 > limit) return std::nullopt;
    const std::size_t cb = bytes[at] | (bytes[at + 1] << 8);
    if (cb == 0) return route;
    if (cb < 3 || cb % 2 == 0 || at + cb + 2 > limit || !IsKind(static_cast<char>(bytes[at + 2]))) {
      return std::nullopt;
    }
    ItemId id;
    id.kind = static_cast<Kind>(bytes[at + 2]);
    for (std::size_t i = at + 3; i + 1 < at + cb; i += 2) id.text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    route.push_back(std::move(id));
    at += cb;
  }
}

ITEMIDLIST* ListOfRoute(const Route& route) {
  std::size_t total = 2;
  for (const ItemId& id : route) total += 3 + 2 * id.text.size();
  if (total > kMaxListBytes) return nullptr;
  auto* bytes = static_cast<std::uint8_t*>(CoTaskMemAlloc(total));
  if (!bytes) return nullptr;
  std::size_t at = 0;
  for (const ItemId& id : route) {
    const std::size_t cb = 3 + 2 * id.text.size();
    bytes[at] = static_cast<std::uint8_t>(cb);
    bytes[at + 1] = static_cast<std::uint8_t>(cb >> 8);
    bytes[at + 2] = static_cast<std::uint8_t>(id.kind);
    for (std::size_t i = 0; i < id.text.size(); ++i) {
      bytes[at + 3 + 2 * i] = static_cast<std::uint8_t>(id.text[i]);
      bytes[at + 4 + 2 * i] = static_cast<std::uint8_t>(id.text[i] >> 8);
    }
    at += cb;
  }
  bytes[at] = bytes[at + 1] = 0;
  return reinterpret_cast<ITEMIDLIST*>(bytes);
}

std::optional<FString> PathOfRoute(const Route& route) {
  if (route.empty()) return DesktopFolder();
  FString path;
  std::size_t next = 1;
  switch (route[0].kind) {
  case Kind::Home: path = HomeFolder(); break;
  case Kind::Root: path = FString(u"/"); break;
  case Kind::Medium: path = Text(route[0].text); break;
  case Kind::Network:
    if (route.size() < 2 || route[1].kind != Kind::Share) return std::nullopt;
    path = Text(route[1].text);
    next = 2;
    break;
  default: return std::nullopt;
  }
  if (!PathIsAbsolute(path)) return std::nullopt;
  for (std::size_t i = next; i < route.size(); ++i) {
    const FString name = Text(route[i].text);
    if (route[i].kind != Kind::Folder || !PathIsEntryName(name) || name == u"." || name == u"..") return std::nullopt;
    path = PathJoin(path, name);
  }
  return path;
}

std::optional<Route> RouteOfPath(const FString& given) {
  if (!PathIsAbsolute(given)) return std::nullopt;
  const FString path = PathNormalize(given);
  if (path == DesktopFolder()) return Route{};
  auto [route, folder] = WayInto(path);
  FArray<FString> parts, base;
  PathSplit(path, parts);
  PathSplit(folder, base);
  for (int i = base.GetCount(); i < parts.GetCount(); ++i) {
    if (parts[i] == u"..") return std::nullopt;
    route.push_back(ItemId{Kind::Folder, Text(parts[i])});
  }
  return route;
}

Route RootItems() {
  Route items = {ItemId{Kind::Home, {}}, ItemId{Kind::Root, {}}};
  for (const FVolume& medium : Media()) items.push_back(ItemId{Kind::Medium, Text(medium.m_sMountPoint)});
  if (!ListNetworkShares().empty()) items.push_back(ItemId{Kind::Network, {}});
  return items;
}

std::u16string DisplayName(const Route& route) {
  if (route.empty()) return u"Desktop";
  const ItemId& last = route.back();
  switch (last.kind) {
  case Kind::Home: return u"Home";
  case Kind::Root: return u"File System";
  case Kind::Network: return u"Network";
  case Kind::Share:
    for (const FNetworkShare& share : ListNetworkShares()) {
      if (Text(share.m_sMountPoint) == last.text) return Text(share.m_sShare) + u" on " + Text(share.m_sServer);
    }
    [[fallthrough]];
  case Kind::Medium: return Text(PathFileName(Text(last.text)));
  default: return last.text;
  }
}

SFGAOF AttributesOf(const Route& route, SFGAOF wanted) {
  SFGAOF a = SFGAO_FOLDER;
  const Kind kind = route.empty() ? Kind::Root : route.back().kind;
  const std::optional<FString> path = PathOfRoute(route);
  struct stat st {};
  if (path && Stat(*path, st)) {
    a |= SFGAO_FILESYSTEM | SFGAO_CANCOPY;
    if (!OwnerMayWrite(st)) a |= SFGAO_READONLY;
    if (!route.empty() && kind == Kind::Folder && (wanted & (SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANRENAME)) &&
        Movable(*path)) {
      a |= SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_CANRENAME;
    }
  }
  if (kind == Kind::Medium) a |= SFGAO_REMOVABLE;
  if (wanted & SFGAO_HASSUBFOLDER) {
    bool any = route.empty();
    if (kind == Kind::Network && route.size() == 1) {
      any = !ListNetworkShares().empty();
    } else if (path) {
      ForEachSubFolder(*path, false, [&](const FString&) { return !(any = true); });
    }
    if (any) a |= SFGAO_HASSUBFOLDER;
  }
  return a & wanted;
}

std::vector<ItemId> SubFolders(const Route& route, bool hidden) {
  if (route.empty()) return RootItems();
  std::vector<ItemId> items;
  if (route.size() == 1 && route[0].kind == Kind::Network) {
    for (const FNetworkShare& share : ListNetworkShares()) items.push_back(ItemId{Kind::Share, Text(share.m_sMountPoint)});
    return items;
  }
  const std::optional<FString> path = PathOfRoute(route);
  if (!path || !IsDirectory(*path)) return items;
  ForEachSubFolder(*path, hidden, [&](const FString& name) {
    items.push_back(ItemId{Kind::Folder, Text(name)});
    return true;
  });
  WatchListedFolder(*path);
  return items;
}

} // namespace platform::shell
