#include "foundation/FSCFolderWin.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"
#include "foundation/FSCDiskWin.h"
#include "foundation/FSCFileWin.h"

namespace {

// Deeper trees than this are refused rather than risking the stack and the
// descriptor limit.
constexpr int kMaxTreeDepth = 2048;

bool NativeOf(const FString& path, std::string& native)
{
    return PathToNative(path, native) && !native.empty();
}

bool Contains(const FArray<FString>& list, const FString& name)
{
    for (const FString& entry : list) {
        if (entry == name)
            return true;
    }
    return false;
}

// Entries of a folder, without "." and "..", each with whether it is a folder
// (a symbolic link counts as what it points to).
struct FolderEntry {
    FString m_sName;
    bool m_bFolder;
};

std::vector<FolderEntry> ReadFolder(const FString& path)
{
    std::vector<FolderEntry> entries;
    std::string native;
    if (!NativeOf(path, native))
        return entries;
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr)
        return entries;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            folder = fstatat(dirFd, name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        entries.push_back({PathFromNative(name), folder});
    }
    closedir(dir);
    return entries;
}

// Removes the folder name inside parentFd with everything in it, never
// following a symbolic link.
bool DeleteTreeAt(int parentFd, const std::string& name, int depth)
{
    if (depth > kMaxTreeDepth)
        return false;
    struct stat st {};
    if (fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // A read-only folder would keep its entries: clear that first.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        fchmodat(parentFd, name.c_str(), (st.st_mode & 07777) | S_IRWXU, 0);
    const int fd = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string child = entry->d_name;
        if (child != "." && child != "..")
            names.push_back(child);
    }
    bool ok = true;
    for (const std::string& child : names) {
        struct stat childStat {};
        if (fstatat(fd, child.c_str(), &childStat, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue; // gone meanwhile
            ok = false;
            break;
        }
        const bool removed = S_ISDIR(childStat.st_mode) ? DeleteTreeAt(fd, child, depth + 1)
                                                        : unlinkat(fd, child.c_str(), 0) == 0;
        if (!removed) {
            ok = false;
            break;
        }
    }
    closedir(dir);
    return ok && unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

} // namespace

// ---- FSCEnumFolder

FIFolder* FSCEnumFolder::OpenFolder(const FString& name, bool create)
{
    FString ignored;
    return OpenFolderByURL(name, ignored, create);
}

FIFile* FSCEnumFolder::OpenFile(const FString&, int) { return nullptr; }
void FSCEnumFolder::ListFiles(FArray<FString>&) {}
void FSCEnumFolder::ListFolders(FArray<FString>& names) { ListStorageClassSchemes(names); }

bool FSCEnumFolder::Rename(const FString&, const FString&)
{
    throw FException("Cannot rename storage classes");
}

bool FSCEnumFolder::DeleteFile(const FString&) { return false; }

bool FSCEnumFolder::DeleteFolder(const FString&, int)
{
    throw FException("Cannot delete storage classes");
}

FString FSCEnumFolder::GetURL() { return FString(); }
FString FSCEnumFolder::GetText() { return FString(); }
void FSCEnumFolder::SetFlags(int flags) { m_iFlags = flags; }
int64_t FSCEnumFolder::GetFreeSpace() { return -1; }
bool FSCEnumFolder::IsReadOnly() { return true; }

bool FSCEnumFolder::GetInfo(int& flags)
{
    flags = (flags | FILEINFO_READONLY) & ~FILEINFO_HIDDEN;
    return true;
}

int FSCEnumFolder::GetDriveType() { return DRIVE_UNKNOWN; }
bool FSCEnumFolder::Exists(const FString&, bool*) { return false; }

// ---- FNullFolder

FIFile* FNullFolder::OpenFile(const FString&, int) { return nullptr; }
void FNullFolder::ListFiles(FArray<FString>&) {}
bool FNullFolder::Rename(const FString&, const FString&) { throw FExceptionFileIO(); }
bool FNullFolder::DeleteFile(const FString&) { return false; }
bool FNullFolder::DeleteFolder(const FString&, int) { throw FExceptionFileIO(); }
FString FNullFolder::GetURL() { return m_sScheme; }
FString FNullFolder::GetText() { return FString(); }
void FNullFolder::SetFlags(int flags) { m_iFlags = flags; }
int64_t FNullFolder::GetFreeSpace() { return -1; }
bool FNullFolder::IsReadOnly() { return true; }

bool FNullFolder::GetInfo(int& flags)
{
    flags = (flags | FILEINFO_READONLY) & ~FILEINFO_HIDDEN;
    return true;
}

int FNullFolder::GetDriveType() { return DRIVE_UNKNOWN; }
bool FNullFolder::Exists(const FString&, bool*) { return false; }

// ---- FSCVolEnumFolderWin

void FSCVolEnumFolderWin::ListFolders(FArray<FString>& names)
{
    for (const FVolume& volume : ListVolumes())
        names.Append(volume.m_sName);
    names.Append(FString(kNetworkVolumeName));
}

FIFolder* FSCVolEnumFolderWin::OpenFolder(const FString& name, bool)
{
    if (name == kNetworkVolumeName)
        return new FSCNetEnumFolderWin(m_sScheme);
    for (const FVolume& volume : ListVolumes()) {
        if (volume.m_sName == name)
            return new FSCFolderWin(m_sScheme, volume.m_sMountPoint);
    }
    return nullptr;
}

// ---- FSCNetEnumFolderWin

bool FSCNetEnumFolderWin::EnumServersW(FArray<FString>& list)
{
    for (const FNetworkShare& share : ListNetworkShares()) {
        if (share.m_sServer.GetLength() > 0 && !Contains(list, share.m_sServer))
            list.Append(share.m_sServer);
    }
    return true;
}

void FSCNetEnumFolderWin::ListFolders(FArray<FString>& names)
{
    if (!m_bListed) {
        DebugPrintf("Enumerating servers...\n");
        EnumServersW(m_Servers);
        m_bListed = true;
    }
    names.AppendAll(m_Servers);
}

FIFolder* FSCNetEnumFolderWin::OpenFolder(const FString& name, bool)
{
    if (!m_bListed) {
        FArray<FString> ignored;
        ListFolders(ignored);
    }
    return Contains(m_Servers, name) ? new FSCNetShareEnumFolderWin(m_sScheme, name) : nullptr;
}

int64_t FSCNetEnumFolderWin::GetFreeSpace() { return 1; }
int FSCNetEnumFolderWin::GetDriveType() { return DRIVE_REMOTE; }

// ---- FSCNetShareEnumFolderWin

FSCNetShareEnumFolderWin::FSCNetShareEnumFolderWin(const FString& scheme, const FString& server)
    : FNullFolder(scheme), m_sServer(server)
{
    m_sServer.MakeLower();
    FArray<FString> shares;
    EnumSharesW(m_sServer, shares);
    m_bServerKnown = shares.GetCount() > 0;
    if (!m_bServerKnown)
        DebugPrintf("FSCNetShareEnumFolderWin::FSCNetShareEnumFolderWin: bad network name %s\n", server.GetAscii());
}

bool FSCNetShareEnumFolderWin::EnumSharesW(const FString& server, FArray<FString>& list)
{
    FString lower = server;
    lower.MakeLower();
    for (const FNetworkShare& share : ListNetworkShares()) {
        if (share.m_sServer == lower && !Contains(list, share.m_sShare))
            list.Append(share.m_sShare);
    }
    return true;
}

void FSCNetShareEnumFolderWin::ListFolders(FArray<FString>& names)
{
    if (!m_bListed) {
        DebugPrintf("Enumerating shares on %s...\n", m_sServer.GetAscii());
        if (m_bServerKnown)
            EnumSharesW(m_sServer, m_Shares);
        m_bListed = true;
    }
    names.AppendAll(m_Shares);
}

FIFolder* FSCNetShareEnumFolderWin::OpenFolder(const FString& name, bool)
{
    if (!m_bListed) {
        FArray<FString> ignored;
        ListFolders(ignored);
    }
    if (!Contains(m_Shares, name))
        return nullptr;
    for (const FNetworkShare& share : ListNetworkShares()) {
        if (share.m_sServer == m_sServer && share.m_sShare == name)
            return new FSCFolderWin(m_sScheme, share.m_sMountPoint);
    }
    return nullptr;
}

int FSCNetShareEnumFolderWin::GetDriveType() { return DRIVE_REMOTE; }

// ---- FSCFolderWin

FSCFolderWin::FSCFolderWin(const FString& scheme, const FString& nativePath)
    : m_sScheme(scheme), m_sNativePath(PathNormalize(nativePath))
{
}

FString FSCFolderWin::EntryPath(const FString& name) const
{
    return PathJoin(m_sNativePath, name);
}

FIFolder* FSCFolderWin::OpenFolder(const FString& name, bool create)
{
    if (!PathIsEntryName(name))
        return nullptr;
    const FString full = EntryPath(name);
    bool isFolder = false;
    if (PathExists(full, &isFolder))
        return isFolder ? new FSCFolderWin(m_sScheme, full) : nullptr;
    if (!create || !CreateNativeFolders(full))
        return nullptr;
    return new FSCFolderWin(m_sScheme, full);
}

FIFile* FSCFolderWin::OpenFile(const FString& name, int flags)
{
    if (!PathIsEntryName(name))
        return nullptr;
    const FString full = EntryPath(name);
    if (!PathExists(full) && (flags & FIFile::OPEN_WRITE) == 0)
        return nullptr;
    try {
        return new FSCFileWin(m_sScheme, full, flags);
    } catch (const FException&) {
        return nullptr;
    }
}

void FSCFolderWin::ListFiles(FArray<FString>& names)
{
    for (const FolderEntry& entry : ReadFolder(m_sNativePath)) {
        if (!entry.m_bFolder)
            names.Append(entry.m_sName);
    }
}

void FSCFolderWin::ListFolders(FArray<FString>& names)
{
    for (const FolderEntry& entry : ReadFolder(m_sNativePath)) {
        if (entry.m_bFolder)
            names.Append(entry.m_sName);
    }
}

bool FSCFolderWin::Rename(const FString& oldName, const FString& newName)
{
    std::string from;
    std::string to;
    if (!PathIsEntryName(oldName) || !PathIsEntryName(newName) || !NativeOf(EntryPath(oldName), from) ||
        !NativeOf(EntryPath(newName), to))
        return false;
    if (from == to)
        return true;
    // A plain POSIX rename would silently replace an entry of the new name.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace form: test first, then rename.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0 || errno != ENOENT)
        return false;
    return rename(from.c_str(), to.c_str()) == 0;
}

bool FSCFolderWin::DeleteFile(const FString& name)
{
    std::string native;
    if (!PathIsEntryName(name) || !NativeOf(EntryPath(name), native))
        return false;
    struct stat st {};
    if (lstat(native.c_str(), &st) != 0)
        return errno == ENOENT;
    if (S_ISDIR(st.st_mode))
        return false;
    // A read-only file is locked against deletion, as it is against writing.
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
        return false;
    if (unlink(native.c_str()) == 0)
        return true;
    return lstat(native.c_str(), &st) != 0 && errno == ENOENT;
}

bool FSCFolderWin::DeleteFolder(const FString& folderURL, int mode)
{
    FString path;
    std::string native;
    if (!URLToNativePath(folderURL, path) || !NativeOf(path, native))
        return false;
    if (mode == DELETE_EMPTY_FOLDER)
        return rmdir(native.c_str()) == 0;
    if (mode == DELETE_TREE)
        return DeleteTree(path);
    return false;
}

FString FSCFolderWin::GetURL()
{
    FArray<FString> parts;
    NativePathToURLParts(m_sNativePath, parts);
    parts.InsertAt(0, m_sScheme);
    FString url;
    JoinURL(parts, url, true);
    return url;
}

FString FSCFolderWin::GetText() { return FString(); }
void FSCFolderWin::SetFlags(int flags) { m_iFlags = flags; }

int64_t FSCFolderWin::GetFreeSpace()
{
    std::string native;
    struct statvfs fs {};
    if (!NativeOf(m_sNativePath, native) || statvfs(native.c_str(), &fs) != 0)
        return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

bool FSCFolderWin::IsReadOnly()
{
    std::string probe;
    if (!NativeOf(PathJoin(m_sNativePath, FString(u"FXXXXXX")), probe))
        return false;
    const int fd = mkstemp(probe.data());
    if (fd >= 0) {
        close(fd);
        unlink(probe.c_str());
        return false;
    }
    return errno == EACCES || errno == EPERM || errno == EROFS || errno == ENOTDIR;
}

bool FSCFolderWin::GetInfo(int& flags)
{
    std::string native;
    struct stat st {};
    if (!NativeOf(m_sNativePath, native) || stat(native.c_str(), &st) != 0)
        return false;
    flags &= ~(FILEINFO_READONLY | FILEINFO_HIDDEN);
    if ((st.st_mode & S_IWUSR) == 0)
        flags |= FILEINFO_READONLY;
    // A volume root is never reported hidden.
    const FString name = PathFileName(m_sNativePath);
    if (m_sNativePath != u"/" && name.GetLength() > 0 && name.View().front() == u'.')
        flags |= FILEINFO_HIDDEN;
    return true;
}

int FSCFolderWin::GetDriveType()
{
    return DriveTypeOfPath(m_sNativePath);
}

bool FSCFolderWin::Exists(const FString& name, bool* isFolder)
{
    return PathIsEntryName(name) && PathExists(EntryPath(name), isFolder);
}

bool FSCFolderWin::DeleteTree(const FString& nativePath)
{
    const FString path = PathNormalize(nativePath);
    const FString name = PathFileName(path);
    const FString parent = PathParent(path);
    std::string nativeName;
    std::string nativeParent;
    if (!PathIsAbsolute(path) || name.GetLength() == 0 || name == u".." || !NativeOf(name, nativeName) ||
        !NativeOf(parent, nativeParent))
        return false;
    const int parentFd = open(nativeParent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return false;
    struct stat st {};
    bool ok = false;
    if (fstatat(parentFd, nativeName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // A link to a folder goes alone; what it points to stays.
        if (S_ISLNK(st.st_mode))
            ok = unlinkat(parentFd, nativeName.c_str(), 0) == 0;
        else
            ok = DeleteTreeAt(parentFd, nativeName, 0);
    }
    close(parentFd);
    return ok;
}
