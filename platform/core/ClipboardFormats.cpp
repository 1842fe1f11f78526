// The clipboard's and drags' formats between the program's form (clipboard
// format numbers with their blocks) and the desktop's (MIME types):
//   CF_HDROP          text/uri-list (file URIs), x-special/gnome-copied-files
//                     ("copy" or "cut", then the URIs), and the DROPFILES block
//                     itself as application/x-lumitra-dropfiles;
//   "Preferred DropEffect"  application/x-lumitra-preferred-dropeffect (4 bytes),
//                     read from the file managers' marks when absent;
//   CF_UNICODETEXT    text/plain;charset=utf-8 (and read from text/plain).
// Everything read is another program's data: blocks and URI lists are
// parsed with every size checked, and what does not parse is left out.

#include "platform/core/UiServices.h"

#include "foundation/FByteReader.h"
#include "foundation/FPath.h"
#include "foundation/FUnicode.h"

#include <cctype>
#include <cstring>
#include <stdexcept>

namespace platform::core {
namespace {

constexpr const char* kUriList = "text/uri-list";
constexpr const char* kGnomeFiles = "x-special/gnome-copied-files";
constexpr const char* kKdeCut = "application/x-kde-cutselection";
constexpr const char* kDropFiles = "application/x-lumitra-dropfiles";
constexpr const char* kDropEffect = "application/x-lumitra-preferred-dropeffect";
constexpr const char* kTextUtf8 = "text/plain;charset=utf-8";
constexpr const char* kText = "text/plain";
constexpr std::uint32_t kDropFilesHeader = 20;

struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};
[[noreturn]] void Overrun(const char* what) { throw Malformed(what); }

const std::string* Find(const MimeBag& mime, std::string_view type) {
  for (const auto& [name, data] : mime) {
    if (name == type) return &data;
  }
  return nullptr;
}

std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The local path of a file URI, or false (another scheme or host, a bad
// escape, a zero byte, a relative path).
bool PathOfUri(std::string_view uri, std::u16string& path) {
  constexpr std::string_view scheme = "file:";
  if (uri.size() < scheme.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(uri[i])) != scheme[i]) return false;
  }
  std::string_view rest = uri.substr(scheme.size());
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return false;
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest[0] != '/') return false;
  std::string bytes;
  bytes.reserve(rest.size());
  for (std::size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '%') {
      if (i + 2 >= rest.size()) return false;
      const int high = HexValue(rest[i + 1]);
      const int low = HexValue(rest[i + 2]);
      if (high < 0 || low < 0) return false;
      c = static_cast<char>(high * 16 + low);
      i += 2;
    } else if (c == '?' || c == '#') {
      return false; // a query or fragment names no file
    }
    if (c == '\0') return false;
    bytes.push_back(c);
  }
  const FString text = PathFromNative(bytes);
  path.assign(text.View());
  return true;
}

bool Unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~' || c == '/';
}

std::string UriOfPath(std::u16string_view path) {
  std::string bytes;
  if (!PathToNative(FString(path), bytes)) return {};
  static const char hex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : bytes) {
    if (Unreserved(c)) {
      uri.push_back(static_cast<char>(c));
    } else {
      uri.push_back('%');
      uri.push_back(hex[c >> 4]);
      uri.push_back(hex[c & 15]);
    }
  }
  return uri;
}

// The paths of a gnome-copied-files text and whether it marks a cut.
std::vector<std::u16string> GnomeFiles(std::string_view text, bool& cut) {
  const std::size_t end = text.find('\n');
  const std::string_view mark = text.substr(0, end);
  cut = mark == "cut";
  if (end == std::string_view::npos || (mark != "cut" && mark != "copy")) return {};
  return ParseUriList(text.substr(end + 1));
}

std::vector<std::uint8_t> EffectBlock(std::uint32_t effect) {
  std::vector<std::uint8_t> block(4);
  std::memcpy(block.data(), &effect, 4);
  return block;
}

} // namespace

UINT DropEffectFormat() { return RegisterClipboardFormatW(u"Preferred DropEffect"); }

const std::vector<std::string>& KnownMimeTypes() {
  static const std::vector<std::string> types{kDropFiles, kDropEffect, kGnomeFiles, kKdeCut, kUriList, kTextUtf8, kText};
  return types;
}

std::vector<std::uint8_t> BuildDropFiles(const std::vector<std::u16string>& paths) {
  std::size_t units = 1;
  for (const std::u16string& p : paths) units += p.size() + 1;
  std::vector<std::uint8_t> block(kDropFilesHeader + 2 * units, 0);
  const std::uint32_t header[5] = {kDropFilesHeader, 0, 0, 0, 1}; // offset, point, not in the frame, wide
  std::memcpy(block.data(), header, sizeof header);
  std::size_t at = kDropFilesHeader;
  for (const std::u16string& p : paths) {
    std::memcpy(block.data() + at, p.data(), 2 * p.size());
    at += 2 * (p.size() + 1);
  }
  return block;
}

bool ParseDropFiles(const std::uint8_t* bytes, std::size_t size, std::vector<std::u16string>& paths) {
  std::vector<std::u16string> found;
  try {
    FByteReader block(bytes, size, Overrun);
    const std::uint32_t offset = block.U32LE();
    block.Skip(12); // point and the non-client flag
    const bool wide = block.U32LE() != 0;
    if (offset < kDropFilesHeader) return false;
    FByteReader names = block.From(offset);
    for (;;) {
      if (wide) {
        std::u16string name;
        for (char16_t c = names.U16LE(); c != 0; c = names.U16LE()) name.push_back(c);
        if (name.empty()) break;
        found.push_back(std::move(name));
      } else {
        // Narrow names are the file system's bytes.
        std::string name;
        for (char c = static_cast<char>(names.U8()); c != 0; c = static_cast<char>(names.U8())) name.push_back(c);
        if (name.empty()) break;
        found.emplace_back(PathFromNative(name).View());
      }
    }
  } catch (const Malformed&) {
    return false; // a list that runs past its block
  }
  paths = std::move(found);
  return true;
}

std::string BuildUriList(const std::vector<std::u16string>& paths, const char* separator) {
  std::string list;
  for (const std::u16string& p : paths) {
    const std::string uri = UriOfPath(p);
    if (uri.empty()) continue;
    list += uri;
    list += separator;
  }
  return list;
}

std::vector<std::u16string> ParseUriList(std::string_view text) {
  std::vector<std::u16string> paths;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::u16string path;
    if (PathOfUri(line, path)) paths.push_back(std::move(path));
  }
  return paths;
}

MimeBag ToMime(const DataBag& data) {
  MimeBag mime;
  const UINT effectFormat = DropEffectFormat();
  std::uint32_t effect = 0;
  if (auto it = data.find(effectFormat); it != data.end() && it->second.size() >= 4) {
    std::memcpy(&effect, it->second.data(), 4);
    mime.emplace_back(kDropEffect, std::string(it->second.begin(), it->second.begin() + 4));
  }
  if (auto it = data.find(CF_HDROP); it != data.end()) {
    std::vector<std::u16string> paths;
    if (ParseDropFiles(it->second.data(), it->second.size(), paths) && !paths.empty()) {
      const bool cut = effect == DROPEFFECT_MOVE;
      mime.emplace_back(kUriList, BuildUriList(paths, "\r\n"));
      mime.emplace_back(kGnomeFiles, std::string(cut ? "cut" : "copy") + "\n" + BuildUriList(paths, "\n"));
      if (cut) mime.emplace_back(kKdeCut, "1");
      const std::vector<std::uint8_t> block = BuildDropFiles(paths);
      mime.emplace_back(kDropFiles, std::string(block.begin(), block.end()));
    }
  }
  if (auto it = data.find(CF_UNICODETEXT); it != data.end()) {
    std::u16string text(it->second.size() / 2, u'\0');
    std::memcpy(text.data(), it->second.data(), 2 * text.size());
    text.resize(std::min(text.size(), text.find(u'\0')));
    if (const auto utf8 = Utf16ToUtf8(text)) {
      mime.emplace_back(kTextUtf8, *utf8);
      mime.emplace_back(kText, *utf8);
    }
  }
  return mime;
}

DataBag FromMime(const MimeBag& mime) {
  DataBag data;
  // File lists: our own block when it is valid, else the URIs.
  std::vector<std::u16string> paths;
  bool haveFiles = false;
  if (const std::string* block = Find(mime, kDropFiles)) {
    haveFiles = ParseDropFiles(reinterpret_cast<const std::uint8_t*>(block->data()), block->size(), paths) &&
                !paths.empty();
  }
  bool gnomeCut = false;
  bool gnomeMark = false;
  if (const std::string* gnome = Find(mime, kGnomeFiles)) {
    std::vector<std::u16string> listed = GnomeFiles(*gnome, gnomeCut);
    gnomeMark = !listed.empty();
    if (!haveFiles && gnomeMark) {
      paths = std::move(listed);
      haveFiles = true;
    }
  }
  if (!haveFiles) {
    if (const std::string* list = Find(mime, kUriList)) {
      paths = ParseUriList(*list);
      haveFiles = !paths.empty();
    }
  }
  if (haveFiles) data[CF_HDROP] = BuildDropFiles(paths);
  // The drop effect: ours, else the file managers' cut-or-copy mark.
  if (const std::string* effect = Find(mime, kDropEffect); effect && effect->size() == 4) {
    data[DropEffectFormat()] = Bytes(*effect);
  } else if (const std::string* kde = Find(mime, kKdeCut); kde && *kde == "1" && haveFiles) {
    data[DropEffectFormat()] = EffectBlock(DROPEFFECT_MOVE);
  } else if (gnomeMark) {
    data[DropEffectFormat()] = EffectBlock(gnomeCut ? DROPEFFECT_MOVE : DROPEFFECT_COPY);
  }
  const std::string* text = Find(mime, kTextUtf8);
  if (!text) text = Find(mime, kText);
  if (text) {
    if (const auto utf16 = Utf8ToUtf16(*text)) {
      std::vector<std::uint8_t> block(2 * (utf16->size() + 1), 0);
      std::memcpy(block.data(), utf16->data(), 2 * utf16->size());
      data[CF_UNICODETEXT] = std::move(block);
    }
  }
  return data;
}

} // namespace platform::core
