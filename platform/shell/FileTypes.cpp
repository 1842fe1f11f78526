// File types: extensions to MIME types through the shared MIME database,
// MIME types to their default program through xdg-mime, and the program's
// desktop entry to its Exec line.

#include "platform/shell/FileTypes.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::shell {
namespace {

constexpr std::size_t kMaxDataFile = 4 << 20; // glob lists and desktop entries are small
constexpr int kXdgMimeMs = 5000;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

template <class F>
void ForEachLine(std::string_view text, F&& f) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    f(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool ReadSmallFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (out.size() > kMaxDataFile) out.resize(kMaxDataFile);
  return true;
}

// $XDG_DATA_HOME, then each of $XDG_DATA_DIRS (absolute entries only).
std::vector<std::string> DataFolders() {
  std::vector<std::string> folders;
  const char* home = std::getenv("XDG_DATA_HOME");
  const char* user = std::getenv("HOME");
  if (home && home[0] == '/') {
    folders.emplace_back(home);
  } else if (user && user[0] == '/') {
    folders.push_back(std::string(user) + "/.local/share");
  }
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dirs && dirs[0] ? dirs : "/usr/local/share:/usr/share";
  std::istringstream parts(list);
  for (std::string part; std::getline(parts, part, ':');) {
    if (!part.empty() && part[0] == '/') folders.push_back(part);
  }
  return folders;
}

// The string escapes of desktop-entry values: \s \n \t \r \\.
std::string Unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
    case 's': out += ' '; break;
    case 'n': out += '\n'; break;
    case 't': out += '\t'; break;
    case 'r': out += '\r'; break;
    default: out += value[i]; break;
    }
  }
  return out;
}

bool Executable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A desktop id's file: the id itself in each data folder's "applications",
// or with leading "-" parts as sub-folders ("kde-app.desktop" in "kde/").
std::optional<DesktopEntry> FindDesktopEntry(const std::string& id) {
  if (id.empty() || id.find('/') != std::string::npos || id.size() < 9 || id.compare(id.size() - 8, 8, ".desktop") != 0) {
    return std::nullopt;
  }
  std::vector<std::string> names = {id};
  for (std::string name = id; name.find('-') != std::string::npos;) {
    name[name.find('-')] = '/';
    names.push_back(name);
  }
  for (const std::string& folder : DataFolders()) {
    for (const std::string& name : names) {
      std::string text;
      if (!ReadSmallFile(folder + "/applications/" + name, text)) continue;
      std::optional<DesktopEntry> entry = ParseDesktopEntry(text);
      if (entry && (entry->tryExec.empty() || !ProgramPath(entry->tryExec).empty())) return entry;
    }
  }
  return std::nullopt;
}

} // namespace

void ParseMimeGlobs(std::string_view text, std::map<std::string, std::pair<int, std::string>>& byExtension) {
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') return;
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) return;
    const std::string_view weightText = line.substr(0, first);
    const std::string_view type = line.substr(first + 1, second - first - 1);
    std::string_view glob = line.substr(second + 1);
    glob = glob.substr(0, glob.find(':'));
    if (weightText.empty() || weightText.size() > 3 || type.empty() || type.find('/') == std::string_view::npos) return;
    int weight = 0;
    for (char c : weightText) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return;
      weight = weight * 10 + (c - '0');
    }
    if (glob.size() < 3 || glob.substr(0, 2) != "*." || glob.substr(2).find_first_of("*?[]/") != std::string_view::npos) {
      return;
    }
    const std::string extension = Lower(glob.substr(2));
    auto it = byExtension.find(extension);
    if (it == byExtension.end() || weight > it->second.first) byExtension[extension] = {weight, std::string(type)};
  });
}

std::string MimeTypeOfExtension(std::string_view extension) {
  static std::mutex mutex;
  static std::map<std::string, std::pair<int, std::string>>* table = nullptr;
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  std::lock_guard lock(mutex);
  if (!table) {
    table = new std::map<std::string, std::pair<int, std::string>>;
    for (const std::string& folder : DataFolders()) {
      std::string text;
      if (ReadSmallFile(folder + "/mime/globs2", text)) ParseMimeGlobs(text, *table);
    }
  }
  auto it = table->find(Lower(extension));
  return it == table->end() ? std::string() : it->second.second;
}

std::optional<DesktopEntry> ParseDesktopEntry(std::string_view text) {
  DesktopEntry entry;
  bool inGroup = false, found = false, hidden = false;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') return;
    if (line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      return;
    }
    const std::size_t equals = line.find('=');
    if (!inGroup || equals == std::string_view::npos) return;
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string value = Unescape(Trim(line.substr(equals + 1)));
    if (key == "Exec") {
      entry.exec = value;
      found = true;
    } else if (key == "TryExec") {
      entry.tryExec = value;
    } else if (key == "Hidden") {
      hidden = value == "true";
    }
  });
  if (!found || hidden || entry.exec.empty()) return std::nullopt;
  return entry;
}

std::optional<std::vector<std::string>> SplitExec(std::string_view exec) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false, quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) {
        current += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        current += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\n') {
      if (inArgument) arguments.push_back(std::move(current));
      current.clear();
      inArgument = false;
    } else if (c == '"') {
      quoted = inArgument = true;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (quoted) return std::nullopt;
  if (inArgument) arguments.push_back(std::move(current));
  if (arguments.empty()) return std::nullopt;
  return arguments;
}

std::vector<std::string> ArgumentsForFile(const std::vector<std::string>& exec, const std::string& file) {
  std::vector<std::string> out;
  for (const std::string& argument : exec) {
    if (argument == "%f" || argument == "%F" || argument == "%u" || argument == "%U") {
      out.push_back(file);
      continue;
    }
    std::string expanded;
    for (std::size_t i = 0; i < argument.size(); ++i) {
      if (argument[i] != '%' || i + 1 == argument.size()) {
        expanded += argument[i];
      } else if (argument[++i] == '%') {
        expanded += '%';
      } // other field codes are dropped
    }
    if (!expanded.empty()) out.push_back(std::move(expanded));
  }
  return out;
}

std::string ProgramPath(const std::string& program) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return program[0] == '/' && Executable(program) ? program : std::string();
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty() || folder[0] != '/') continue;
    const std::string candidate = folder + "/" + program;
    if (Executable(candidate)) return candidate;
  }
  return {};
}

std::optional<OpenCommand> OpenCommandOfExtension(std::string_view extension) {
  const std::string type = MimeTypeOfExtension(extension);
  std::string id;
  if (type.empty() || !RunForOutput({"xdg-mime", "query", "default", type}, id, kXdgMimeMs)) return std::nullopt;
  id = std::string(Trim(id.substr(0, id.find('\n'))));
  const std::optional<DesktopEntry> entry = FindDesktopEntry(id);
  std::optional<std::vector<std::string>> exec = entry ? SplitExec(entry->exec) : std::nullopt;
  if (!exec) return std::nullopt;
  OpenCommand command;
  command.program = ProgramPath((*exec)[0]);
  if (command.program.empty()) return std::nullopt;
  command.exec = std::move(*exec);
  return command;
}

} // namespace platform::shell
