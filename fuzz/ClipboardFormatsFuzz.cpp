// Other programs' clipboard and drag data: file-list blocks, URI lists, the
// file managers' cut-or-copy marks and text, each read as the window layer
// reads them. The first byte picks what the rest is offered as.

#include "platform/core/UiServices.h"

#include <cstdint>
#include <string>

using namespace platform::core;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const char* const kTypes[] = {"application/x-lumitra-dropfiles", "text/uri-list",
                                       "x-special/gnome-copied-files", "application/x-lumitra-preferred-dropeffect",
                                       "text/plain"};
  const MimeBag mime{{kTypes[data[0] % 5], rest}};
  const DataBag read = FromMime(mime);
  // Whatever was read is well-formed for the program and survives a trip out.
  if (const auto it = read.find(CF_HDROP); it != read.end()) {
    std::vector<std::u16string> paths;
    if (!ParseDropFiles(it->second.data(), it->second.size(), paths) || paths.empty()) __builtin_trap();
    if (FromMime(ToMime(read)).at(CF_HDROP) != it->second) __builtin_trap();
  }
  std::vector<std::u16string> paths;
  ParseDropFiles(data + 1, size - 1, paths);
  ParseUriList(rest);
  return 0;
}
