// The folder namespace's objects and calls: folders (each knows its route
// from the root), enumerators, item-ID lists, display names and the
// special folders' locations and paths.

#include "platform/shell/ShellItems.h"

#include "foundation/FIFolder.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <sys/stat.h>

namespace platform::shell {
namespace {

std::u16string Text(const FString& text) { return text.GetText(); }

template <class Interface>
class Counted : public Interface {
public:
  ULONG AddRef() override { return ++m_references; }
  ULONG Release() override {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
  }

private:
  std::atomic<ULONG> m_references{1};
};

class ItemEnumerator : public Counted<IEnumIDList> {
public:
  explicit ItemEnumerator(std::vector<ItemId> items) : m_items(std::move(items)) {}
  HRESULT Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override {
    if (!items) return E_POINTER;
    ULONG n = 0;
    for (; n < count && m_next < m_items.size(); ++n) {
      items[n] = ListOfRoute({m_items[m_next++]});
      if (!items[n]) break;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    m_next = std::min(m_items.size(), m_next + count);
    return m_next < m_items.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    m_next = 0;
    return S_OK;
  }

private:
  std::vector<ItemId> m_items;
  std::size_t m_next = 0;
};

// The order of the root's items: home, file system, media, network.
int Rank(Kind kind) {
  switch (kind) {
  case Kind::Home: return 0;
  case Kind::Root: return 1;
  case Kind::Medium: return 2;
  case Kind::Network: return 3;
  default: return 4;
  }
}

int CompareIds(const ItemId& a, const ItemId& b) {
  if (Rank(a.kind) != Rank(b.kind)) return Rank(a.kind) < Rank(b.kind) ? -1 : 1;
  const int natural = StrCmpLogicalW(a.text.c_str(), b.text.c_str());
  if (natural != 0) return natural;
  return a.text == b.text ? 0 : (a.text < b.text ? -1 : 1); // names that differ only in case stay apart
}

HRESULT CompareResult(int order) { return static_cast<HRESULT>(static_cast<std::uint16_t>(static_cast<std::int16_t>(order))); }

LPWSTR NewString(const std::u16string& text) {
  auto* out = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!out) return nullptr;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = u'\0';
  return out;
}

bool IsFolderOnDisk(const Route& route) {
  if (route.size() == 1 && route[0].kind == Kind::Network) return true;
  const std::optional<FString> path = PathOfRoute(route);
  std::string native;
  struct stat st {};
  return path && PathToNative(*path, native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Folder : public Counted<IShellFolder> {
public:
  explicit Folder(Route route) : m_route(std::move(route)) {}

  HRESULT ParseDisplayName(HWND, void*, LPWSTR name, ULONG* eaten, PIDLIST_RELATIVE* list,
                           ULONG* attributes) override {
    if (!list) return E_POINTER;
    *list = nullptr;
    if (!name) return E_INVALIDARG;
    FString path(name);
    if (!PathIsAbsolute(path)) {
      const std::optional<FString> base = PathOfRoute(m_route);
      if (!base) return E_INVALIDARG;
      path = PathJoin(*base, path);
    }
    std::optional<Route> route = RouteOfPath(path);
    if (!route || route->size() < m_route.size() || !std::equal(m_route.begin(), m_route.end(), route->begin()) ||
        !IsFolderOnDisk(*route)) {
      return E_FAIL;
    }
    if (attributes) *attributes = AttributesOf(*route, *attributes);
    *list = ListOfRoute(Route(route->begin() + static_cast<std::ptrdiff_t>(m_route.size()), route->end()));
    if (eaten) *eaten = static_cast<ULONG>(std::char_traits<char16_t>::length(name));
    return *list ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT EnumObjects(HWND, SHCONTF flags, IEnumIDList** list) override {
    if (!list) return E_POINTER;
    *list = nullptr;
    if (!IsFolderOnDisk(m_route) && !m_route.empty()) return E_FAIL;
    std::vector<ItemId> items;
    if (flags & SHCONTF_FOLDERS) items = SubFolders(m_route, (flags & SHCONTF_INCLUDEHIDDEN) != 0);
    *list = new ItemEnumerator(std::move(items));
    return S_OK;
  }

  HRESULT BindToObject(PCUIDLIST_RELATIVE list, void*, REFIID riid, void** folder) override {
    if (!folder) return E_POINTER;
    *folder = nullptr;
    if (riid != IID_IShellFolder) return E_NOINTERFACE;
    std::optional<Route> below = RouteOfList(list);
    if (!below) return E_INVALIDARG;
    Route route = m_route;
    route.insert(route.end(), below->begin(), below->end());
    if (!IsFolderOnDisk(route)) return E_FAIL;
    *folder = static_cast<IShellFolder*>(new Folder(std::move(route)));
    return S_OK;
  }

  HRESULT CompareIDs(LPARAM, PCUIDLIST_RELATIVE a, PCUIDLIST_RELATIVE b) override {
    const std::optional<Route> first = RouteOfList(a);
    const std::optional<Route> second = RouteOfList(b);
    if (!first || !second) return E_INVALIDARG;
    for (std::size_t i = 0; i < first->size() && i < second->size(); ++i) {
      if (const int order = CompareIds((*first)[i], (*second)[i]); order != 0) return CompareResult(order);
    }
    return CompareResult(first->size() == second->size() ? 0 : (first->size() < second->size() ? -1 : 1));
  }

  HRESULT GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY items, SFGAOF* inOut) override {
    if (!inOut || (count > 0 && !items)) return E_INVALIDARG;
    SFGAOF common = *inOut;
    for (UINT i = 0; i < count; ++i) {
      std::optional<Route> child = RouteOfList(items[i]);
      if (!child) return E_INVALIDARG;
      Route route = m_route;
      route.insert(route.end(), child->begin(), child->end());
      common &= AttributesOf(route, common);
    }
    *inOut = common;
    return S_OK;
  }

  HRESULT GetDisplayNameOf(PCUITEMID_CHILD item, SHGDNF flags, STRRET* name) override {
    if (!name) return E_POINTER;
    std::optional<Route> child = RouteOfList(item);
    if (!child) return E_INVALIDARG;
    Route route = m_route;
    route.insert(route.end(), child->begin(), child->end());
    std::u16string text = DisplayName(route);
    if (flags & SHGDN_FORPARSING) {
      if (std::optional<FString> path = PathOfRoute(route)) text = Text(*path);
    }
    name->uType = STRRET_WSTR;
    name->pOleStr = NewString(text);
    return name->pOleStr ? S_OK : E_OUTOFMEMORY;
  }

private:
  const Route m_route;
};

HRESULT SpecialFolderLocation(int csidl, PIDLIST_ABSOLUTE* list) {
  if (!list) return E_POINTER;
  *list = nullptr;
  csidl &= ~CSIDL_FLAG_CREATE;
  if (csidl == CSIDL_DESKTOP) {
    *list = ListOfRoute({});
    return *list ? S_OK : E_OUTOFMEMORY;
  }
  FString path;
  if (!GetShellFolderPath(csidl, path)) return E_FAIL; // no such folder here
  return SHParseDisplayName(path.GetText(), nullptr, list, 0, nullptr);
}

bool CopyOut(const std::u16string& text, LPWSTR out, std::size_t room) {
  if (!out || text.size() + 1 > room) return false;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = u'\0';
  return true;
}

} // namespace
} // namespace platform::shell

using namespace platform::shell;

LPVOID CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void CoTaskMemFree(LPVOID memory) { std::free(memory); }
void ILFree(LPITEMIDLIST list) { CoTaskMemFree(list); }

BOOL ILIsEqual(PCIDLIST_ABSOLUTE a, PCIDLIST_ABSOLUTE b) {
  const std::optional<Route> first = RouteOfList(a);
  const std::optional<Route> second = RouteOfList(b);
  return first && second && *first == *second ? TRUE : FALSE;
}

HRESULT StrRetToStrW(STRRET* strret, PCUITEMID_CHILD, LPWSTR* out) {
  if (!strret || !out) return E_INVALIDARG;
  *out = nullptr;
  if (strret->uType != STRRET_WSTR || !strret->pOleStr) return E_FAIL;
  *out = strret->pOleStr; // handed over: the caller frees it
  strret->pOleStr = nullptr;
  return S_OK;
}

HRESULT SHGetDesktopFolder(IShellFolder** desktop) {
  if (!desktop) return E_POINTER;
  *desktop = new Folder({});
  return S_OK;
}

HRESULT SHGetFolderLocation(HWND, int csidl, HANDLE, DWORD, PIDLIST_ABSOLUTE* list) {
  return SpecialFolderLocation(csidl, list);
}

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* list) { return SpecialFolderLocation(csidl, list); }

HRESULT SHParseDisplayName(LPCWSTR name, void*, PIDLIST_ABSOLUTE* list, SFGAOF query, SFGAOF* out) {
  IShellFolder* desktop = nullptr;
  SHGetDesktopFolder(&desktop);
  std::u16string text = name ? name : u"";
  ULONG attributes = query;
  const HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, list, out ? &attributes : nullptr);
  desktop->Release();
  if (out) *out = SUCCEEDED(hr) ? attributes : 0;
  return hr;
}

BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE list, LPWSTR path, DWORD size, DWORD) {
  const std::optional<Route> route = RouteOfList(list);
  const std::optional<FString> native = route ? PathOfRoute(*route) : std::nullopt;
  if (!native) {
    if (path && size > 0) path[0] = u'\0';
    return FALSE;
  }
  return CopyOut(native->GetText(), path, size) ? TRUE : FALSE;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) { return SHGetPathFromIDListEx(list, path, MAX_PATH, 0); }

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
  FString folder;
  if (!GetShellFolderPath(csidl & ~CSIDL_FLAG_CREATE, folder)) return E_FAIL;
  return CopyOut(folder.GetText(), path, MAX_PATH) ? S_OK : E_FAIL;
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int csidl, BOOL) {
  return SUCCEEDED(SHGetFolderPathW(owner, csidl, nullptr, 0, path)) ? TRUE : FALSE;
}

UINT GetDriveTypeW(LPCWSTR path) {
  if (!path) return FIFolder::DRIVE_NO_ROOT;
  const FString native(path);
  std::string bytes;
  struct stat st {};
  if (!PathToNative(native, bytes) || ::stat(bytes.c_str(), &st) != 0) return FIFolder::DRIVE_NO_ROOT;
  return static_cast<UINT>(DriveTypeOfPath(native));
}

int StrCmpLogicalW(LPCWSTR a, LPCWSTR b) {
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
  auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  while (*a && *b) {
    if (digit(*a) && digit(*b)) {
      // Numbers by value: leading zeros skipped, then the longer run is the larger.
      while (*a == u'0') ++a;
      while (*b == u'0') ++b;
      const char16_t* endA = a;
      const char16_t* endB = b;
      while (digit(*endA)) ++endA;
      while (digit(*endB)) ++endB;
      if (endA - a != endB - b) return endA - a < endB - b ? -1 : 1;
      for (; a < endA; ++a, ++b) {
        if (*a != *b) return *a < *b ? -1 : 1;
      }
      continue;
    }
    const char16_t ca = fold(*a), cb = fold(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    ++a;
    ++b;
  }
  return *a ? 1 : (*b ? -1 : 0);
}
