#pragma once
// File lists as the program builds them, global blocks of bytes, and the
// clipboard's file list read back name by name, for the clipboard and drag
// tests.

#include "platform/win/WinClipboard.h"

#include <cstring>
#include <string>
#include <vector>

// The header, each name and its zero, one more zero.
inline std::vector<std::uint8_t> FileList(const std::vector<std::u16string>& paths) {
  std::size_t units = 1;
  for (const auto& p : paths) units += p.size() + 1;
  std::vector<std::uint8_t> block(20 + 2 * units, 0);
  const DROPFILES header{20, {0, 0}, FALSE, TRUE};
  std::memcpy(block.data(), &header, sizeof header);
  std::size_t at = 20;
  for (const auto& p : paths) {
    std::memcpy(block.data() + at, p.data(), 2 * p.size());
    at += 2 * (p.size() + 1);
  }
  return block;
}

inline HGLOBAL Global(const void* bytes, std::size_t size) {
  const HGLOBAL block = GlobalAlloc(GHND, size);
  std::memcpy(GlobalLock(block), bytes, size);
  GlobalUnlock(block);
  return block;
}

// Each name of a file list, read with DragQueryFileW.
inline std::vector<std::u16string> NamesOf(HDROP drop) {
  std::vector<std::u16string> names;
  const UINT count = drop ? DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : 0;
  for (UINT i = 0; i < count; ++i) {
    std::u16string name(DragQueryFileW(drop, i, nullptr, 0) + 3, u'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    names.push_back(name);
  }
  return names;
}

inline std::vector<std::u16string> ClipboardPaths() {
  if (!OpenClipboard(nullptr)) return {};
  const std::vector<std::u16string> paths = NamesOf(reinterpret_cast<HDROP>(GetClipboardData(CF_HDROP)));
  CloseClipboard();
  return paths;
}
