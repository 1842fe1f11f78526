#include "toolkit/FileOperations.h"

#include "toolkit/PictureFileBytes.h"

#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

namespace {

constexpr int kMaxResults = 30000;
constexpr std::int64_t kCopyChunk = 1 << 20;
constexpr std::size_t kDropFilesHeaderBytes = 20;

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

bool Matches(std::u16string_view name, std::u16string_view pattern) {
  if (pattern == u"*.*") {
    return true;
  }
  if (!pattern.empty() && pattern.front() == u'*') {
    const std::u16string_view tail = pattern.substr(1);
    return name.size() >= tail.size() && EqualNoCase(name.substr(name.size() - tail.size()), tail);
  }
  return name.size() >= pattern.size() && EqualNoCase(name.substr(0, pattern.size()), pattern);
}

bool Taken(const FString& name, const FArray<FString>* patterns, bool anyPattern) {
  int matched = 0, count = 0;
  if (patterns) {
    for (const FString& pattern : *patterns) {
      ++count;
      matched += Matches(name.View(), pattern.View()) ? 1 : 0;
    }
  }
  return anyPattern ? matched > 0 : matched == count;
}

bool Native(const FString& path, std::string& bytes) { return PathToNative(path, bytes) && !bytes.empty(); }

struct Entry {
  FString name;
  bool folder;
};

// The folder's entries in name order; false when it cannot be opened.
bool ListEntries(const FString& folder, std::vector<Entry>& entries) {
  FString url, name;
  if (!NativePathToURL(folder, url)) {
    return false;
  }
  FFolderPtr opened;
  try {
    opened.reset(OpenFolderByURL(url, name, false));
  } catch (const FException&) {
    return false;
  }
  if (!opened || name.GetLength() > 0) {
    return false; // missing, or a file
  }
  FArray<FString> files, folders;
  opened->ListFiles(files);
  opened->ListFolders(folders);
  for (const FString& file : files) {
    entries.push_back({file, false});
  }
  for (const FString& sub : folders) {
    entries.push_back({sub, true});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name.View() < b.name.View(); });
  return true;
}

using FolderIds = std::set<std::pair<dev_t, ino_t>>;

bool Enumerate(const FString& folder, FArray<FString>* results, const FArray<FString>* patterns, bool anyPattern,
               bool recurse, FolderIds& visited) {
  if (results->GetCount() > kMaxResults || folder.GetLength() == 0) {
    return true;
  }
  std::string bytes;
  struct stat st {};
  if (!Native(folder, bytes) || stat(bytes.c_str(), &st) != 0) {
    return false;
  }
  if (!visited.insert({st.st_dev, st.st_ino}).second) {
    return true; // reached again through a link
  }
  std::vector<Entry> entries;
  if (!ListEntries(folder, entries)) {
    return false;
  }
  std::vector<FString> subFolders;
  for (const Entry& entry : entries) {
    const FString path = PathJoin(folder, entry.name);
    if (entry.folder && recurse) {
      subFolders.push_back(path);
      continue;
    }
    if (!Taken(entry.name, patterns, anyPattern) || !PathExists(path)) {
      continue;
    }
    if (results->GetCount() > kMaxResults) {
      break;
    }
    results->Append(path);
  }
  for (const FString& sub : subFolders) {
    if (!Enumerate(sub, results, patterns, anyPattern, recurse, visited)) {
      return false;
    }
  }
  return true;
}

bool IsLockedFile(const std::string& bytes) {
  struct stat st {};
  return stat(bytes.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

bool DeleteOne(const FString& path, bool toTrash) {
  FString url, name;
  bool isFolder = false;
  if (!PathExists(path, &isFolder) || !NativePathToURL(path, url)) {
    return false;
  }
  try {
    if (toTrash) {
      FString inner;
      FIStorageClass* storage = FindStorageClass(url, inner);
      if (!storage) {
        return false;
      }
      storage->MoveToTrash(inner);
      return true;
    }
    FFolderPtr folder(OpenFolderByURL(url, name, false));
    if (!folder) {
      return false;
    }
    return isFolder ? folder->DeleteFolder(url, FIFolder::DELETE_TREE) : folder->DeleteFile(name);
  } catch (const FException&) {
    return false;
  }
}

// "name (n).ext" for the first n from 2 on that names nothing yet.
FString FreeName(const FString& path) {
  const FString folder = PathParent(path);
  const std::u16string name(PathFileName(path).View());
  const std::size_t dot = name.rfind(u'.');
  const std::u16string stem = dot == std::u16string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::u16string extension = stem.size() == name.size() ? std::u16string() : name.substr(dot);
  for (int n = 2;; ++n) {
    const std::string number = " (" + std::to_string(n) + ")";
    const FString candidate =
        PathJoin(folder, FString(std::u16string_view(stem + std::u16string(number.begin(), number.end()) + extension)));
    if (!PathExists(candidate)) {
      return candidate;
    }
  }
}

void KeepTimesAndLock(const std::string& from, const std::string& to) {
  struct stat st {};
  if (stat(from.c_str(), &st) != 0) {
    return;
  }
  const timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, to.c_str(), times, 0);
  if ((st.st_mode & S_IWUSR) == 0) {
    chmod(to.c_str(), st.st_mode & 07777);
  }
}

bool CopyFile(const FString& from, const FString& to) {
  std::string fromBytes, toBytes;
  if (!Native(from, fromBytes) || !Native(to, toBytes)) {
    return false;
  }
  PictureFileReader source(from);
  PictureFileWriter target(to);
  if (!source.IsOpen() || !target.IsOpen()) {
    return false;
  }
  std::vector<std::uint8_t> chunk;
  for (std::uint64_t at = 0; at < source.Size(); at += chunk.size()) {
    if (!source.Read(at, std::min<std::uint64_t>(kCopyChunk, source.Size() - at), chunk) ||
        !target.Write(chunk.data(), chunk.size())) {
      return false;
    }
  }
  if (!target.Commit()) {
    return false;
  }
  KeepTimesAndLock(fromBytes, toBytes);
  return true;
}

bool CopyTree(const FString& from, const FString& to, int depth) {
  bool isFolder = false;
  if (!PathExists(from, &isFolder)) {
    return false;
  }
  if (!isFolder) {
    return CopyFile(from, to);
  }
  std::vector<Entry> entries;
  if (depth > 64 || !ListEntries(from, entries) || !CreateNativeFolders(to)) {
    return false;
  }
  for (const Entry& entry : entries) {
    if (!CopyTree(PathJoin(from, entry.name), PathJoin(to, entry.name), depth + 1)) {
      return false;
    }
  }
  return true;
}

bool MoveEntry(const FString& from, const FString& to) {
  std::string fromBytes, toBytes;
  if (!Native(from, fromBytes) || !Native(to, toBytes) || IsLockedFile(toBytes)) {
    return false;
  }
  if (::rename(fromBytes.c_str(), toBytes.c_str()) == 0) {
    return true;
  }
  // Another file system: a copy, then the source goes.
  if (errno != EXDEV || !CopyTree(from, to, 0)) {
    return false;
  }
  FArray<FString> source;
  source.Append(from);
  return DeleteFiles(&source, false, false);
}

bool TransferOne(const FString& from, FString to, bool copy, bool renameOnCollision) {
  if (!PathExists(from)) {
    return false;
  }
  const bool same = PathEquals(from, to);
  if (same && !copy) {
    return true;
  }
  if (PathExists(to) && (renameOnCollision || same)) {
    if (!renameOnCollision) {
      return false; // a file cannot replace itself
    }
    to = FreeName(to);
  }
  // A folder never goes into itself; missing destination folders are made.
  if (PathIsInside(to, from) || !CreateNativeFolders(PathParent(to))) {
    return false;
  }
  return copy ? CopyTree(from, to, 0) : MoveEntry(from, to);
}

bool RenameOne(const FString& from, const FString& to) {
  std::string fromBytes, toBytes;
  if (!Native(from, fromBytes) || !Native(to, toBytes)) {
    return false;
  }
  if (fromBytes == toBytes) {
    return PathExists(from);
  }
  if (renameat2(AT_FDCWD, fromBytes.c_str(), AT_FDCWD, toBytes.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    return false;
  }
  // File systems without the no-replace form: test first, then rename.
  struct stat st {};
  return lstat(toBytes.c_str(), &st) != 0 && errno == ENOENT && ::rename(fromBytes.c_str(), toBytes.c_str()) == 0;
}

} // namespace

bool EndsWithBackslash(const FString& path) {
  return path.GetLength() > 0 && path.View().back() == kPathSeparator;
}

FString GetFileNamePart(const FString& path) {
  const std::u16string_view text = path.View();
  const std::size_t last = text.rfind(kPathSeparator);
  if (last == std::u16string_view::npos || text == u"/") {
    return path;
  }
  return FString(text.substr(last + 1));
}

FString GetParentPath(const FString& path) {
  const std::u16string_view text = path.View();
  const std::size_t last = text.rfind(kPathSeparator);
  if (last == std::u16string_view::npos || text == u"/") {
    return FString();
  }
  return last == 0 ? FString(u"/") : FString(text.substr(0, last));
}

FString GetLongPath(const FString& path) { return path; }

bool CreateFolderTree(const FString& path) { return path.GetLength() > 0 && CreateNativeFolders(path); }

bool EnumFolderFiles(const FString& folder, FArray<FString>* results, const FArray<FString>* patterns,
                     bool anyPattern, bool recurse) {
  if (!results) {
    return false;
  }
  FolderIds visited;
  return Enumerate(folder, results, patterns, anyPattern, recurse, visited);
}

bool DeleteFiles(const FArray<FString>* paths, bool toRecycleBin, bool) {
  if (!paths || paths->GetCount() == 0) {
    return false;
  }
  for (const FString& path : *paths) {
    if (!DeleteOne(path, toRecycleBin)) {
      return false;
    }
  }
  return true;
}

bool TransferFiles(const FArray<FString>* sources, const FArray<FString>* destinations, bool copy,
                   bool renameOnCollision, bool) {
  if (!sources || !destinations || sources->GetCount() == 0 || sources->GetCount() != destinations->GetCount()) {
    return false;
  }
  for (int i = 0; i < sources->GetCount(); ++i) {
    if (!TransferOne((*sources)[i], (*destinations)[i], copy, renameOnCollision)) {
      return false;
    }
  }
  return true;
}

bool CopyFilesToFolder(const FArray<FString>* sources, const FString& folder, bool copy, bool renameOnCollision,
                       bool withUserInterface) {
  if (!sources) {
    return false;
  }
  FArray<FString> destinations;
  for (const FString& source : *sources) {
    destinations.Append(PathJoin(folder, GetFileNamePart(source)));
  }
  return TransferFiles(sources, &destinations, copy, renameOnCollision, withUserInterface);
}

bool RenameFiles(const FArray<FString>* newPaths, const FArray<FString>* oldPaths) {
  if (!newPaths || !oldPaths || newPaths->GetCount() != oldPaths->GetCount()) {
    return false;
  }
  for (int i = 0; i < newPaths->GetCount(); ++i) {
    if (!RenameOne((*oldPaths)[i], (*newPaths)[i])) {
      for (int j = i - 1; j >= 0; --j) {
        RenameOne((*newPaths)[j], (*oldPaths)[j]);
      }
      return false;
    }
  }
  return true;
}

std::vector<BYTE> MakeDropFilesBlock(const FArray<FString>* paths) {
  if (!paths || paths->GetCount() == 0) {
    return {};
  }
  std::size_t characters = 2;
  for (const FString& path : *paths) {
    characters += static_cast<std::size_t>(path.GetLength()) + 1;
  }
  std::vector<BYTE> block(kDropFilesHeaderBytes + 2 * characters, 0);
  block[0] = static_cast<BYTE>(kDropFilesHeaderBytes); // offset of the list
  block[16] = 1;                                       // wide characters
  std::size_t at = kDropFilesHeaderBytes;
  for (const FString& path : *paths) {
    for (const char16_t unit : path.View()) {
      block[at++] = static_cast<BYTE>(unit);
      block[at++] = static_cast<BYTE>(unit >> 8);
    }
    at += 2; // the path's zero
  }
  return block;
}

int ReadFileAttributeWord(const FString& path) {
  std::string native;
  struct stat info{};
  if (!PathToNative(path, native) || native.empty() || ::stat(native.c_str(), &info) != 0) return -1;
  int word = S_ISDIR(info.st_mode) ? 0x10 : 0x80;
  // The owner's write bit is the file's write protection, also for a user who
  // may write any file.
  if ((info.st_mode & S_IWUSR) == 0 || ::access(native.c_str(), W_OK) != 0) word |= 0x1;
  return word;
}
