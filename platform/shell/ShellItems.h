#pragma once
// The folder source's items (internal to platform_shell): what an item ID
// holds, the way from the root to a path and back, the items' names and
// attributes.

#include "platform/shell/WinShell.h"

#include "foundation/FString.h"

#include <optional>
#include <string>
#include <vector>

namespace platform::shell {

// The first byte of an item ID's data; the rest is UTF-16LE text.
enum class Kind : char {
  Home = 'H',    // the home folder
  Root = 'R',    // the file system, "/"
  Medium = 'M',  // a mounted removable medium; text: its mount point
  Network = 'N', // the mounted network shares (no path)
  Share = 'S',   // one share; text: its mount point
  Folder = 'F',  // a folder in its parent; text: its name
};

struct ItemId {
  Kind kind = Kind::Folder;
  std::u16string text;
  bool operator==(const ItemId&) const = default;
};
using Route = std::vector<ItemId>;

// The IDs of a list; nothing for a malformed list (a count that runs past
// the bytes there are or 64 KiB, an ID too short or of an unknown kind, odd
// text). Lists of the program are read up to their terminating count.
constexpr std::size_t kMaxListBytes = 64 * 1024;
std::optional<Route> RouteOfList(const ITEMIDLIST* list, std::size_t available = kMaxListBytes);
// A new list (CoTaskMemAlloc) of the IDs; null when it cannot be made.
ITEMIDLIST* ListOfRoute(const Route& route);

// The native path a route names; nothing for the network's virtual folder
// or a route that names no path (a folder name with "/" or "..").
std::optional<FString> PathOfRoute(const Route& route);
// The route of an absolute path, along the most specific way in (a medium's
// or a share's mount point, the home folder, or "/"); the desktop folder's
// own path is the empty route. The path need not exist.
std::optional<Route> RouteOfPath(const FString& path);

// The root's items now: home, "/", each medium, the network when shares are mounted.
Route RootItems();
std::u16string DisplayName(const Route& route);
// The attributes of `wanted` that the item has.
SFGAOF AttributesOf(const Route& route, SFGAOF wanted);
// The sub-folders of a folder with a path (hidden ones only when asked).
std::vector<ItemId> SubFolders(const Route& route, bool hidden);

// The change watcher learns which folders the source has listed.
void WatchListedFolder(const FString& path);
// The watcher's comparison of the mounted media and shares, at once (it
// runs every two seconds by itself).
void CheckMountsNow();

} // namespace platform::shell
