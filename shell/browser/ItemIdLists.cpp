#include "shell/browser/ItemIdLists.h"

#include <cstring>
#include <vector>

namespace {

// An ID's byte count as stored (unaligned, little-endian like the layer writes it).
USHORT CountAt(const BYTE* at) {
  USHORT count;
  std::memcpy(&count, at, sizeof count);
  return count;
}

LPITEMIDLIST NewList(const BYTE* ids, std::size_t bytes) {
  auto* list = static_cast<BYTE*>(CoTaskMemAlloc(bytes + 2));
  if (!list) return nullptr;
  if (bytes) std::memcpy(list, ids, bytes);
  list[bytes] = list[bytes + 1] = 0;
  return reinterpret_cast<LPITEMIDLIST>(list);
}

// Bytes of the IDs without the terminator.
std::size_t IdBytes(LPCITEMIDLIST list) {
  const auto* at = reinterpret_cast<const BYTE*>(list);
  std::size_t total = 0;
  for (USHORT count; (count = CountAt(at + total)) != 0;) total += count;
  return total;
}

} // namespace

UINT GetIdListSize(LPCITEMIDLIST list) { return list ? static_cast<UINT>(IdBytes(list) + 2) : 0; }

LPITEMIDLIST GetNextItemId(LPCITEMIDLIST list) {
  if (!list) return nullptr;
  const auto* at = reinterpret_cast<const BYTE*>(list);
  const USHORT count = CountAt(at);
  if (count == 0 || CountAt(at + count) == 0) return nullptr;
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(at + count));
}

LPITEMIDLIST CopyFirstItemId(LPCITEMIDLIST list) {
  if (!list) return nullptr;
  return NewList(reinterpret_cast<const BYTE*>(list), CountAt(reinterpret_cast<const BYTE*>(list)));
}

LPITEMIDLIST CloneIdList(LPCITEMIDLIST list) {
  return list ? NewList(reinterpret_cast<const BYTE*>(list), IdBytes(list)) : nullptr;
}

LPITEMIDLIST ConcatIdLists(LPCITEMIDLIST first, LPCITEMIDLIST second) {
  if (!first || !second) return nullptr;
  const std::size_t a = IdBytes(first), b = IdBytes(second);
  std::vector<BYTE> ids(a + b);
  if (a) std::memcpy(ids.data(), first, a);
  if (b) std::memcpy(ids.data() + a, second, b);
  return NewList(ids.data(), ids.size());
}

bool IsSpecialFolderPidl(LPCITEMIDLIST list, int csidl) {
  if (!list) return false;
  PIDLIST_ABSOLUTE special = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &special)) || !special) return false;
  const bool equal = ILIsEqual(list, special);
  FreeIdList(special);
  return equal;
}

FString StrRetToString(STRRET* strret, LPCITEMIDLIST relative) {
  if (!strret || !relative) return {};
  LPWSTR text = nullptr;
  if (FAILED(StrRetToStrW(strret, relative, &text)) || !text) return {};
  FString result(text);
  CoTaskMemFree(text);
  return result;
}

void FreeIdList(LPITEMIDLIST list) {
  if (list) CoTaskMemFree(list);
}

FString GetPathFromPidl(LPCITEMIDLIST list) {
  if (!list) return {};
  std::vector<WCHAR> path(4096, 0);
  if (!SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), 0)) return {};
  return FString(path.data());
}
