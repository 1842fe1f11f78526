#include "foundation/FSCDiskWin.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <sys/file.h>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <limits.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "foundation/FException.h"
#include "foundation/FMountTable.h"
#include "foundation/FPath.h"
#include "foundation/FSCFolderWin.h"

extern char** environ;

namespace {

const char16_t kDescription[] = u"physical disks attached to the system";
const char16_t kSettingsFolderName[] = u"Lumitra";

// How long Launch waits for xdg-open to report a failure; a launcher still
// running after that has started the application.
constexpr auto kLaunchReportWait = std::chrono::seconds(2);

// xdg-open's exit codes.
constexpr int kXdgOpenFileMissing = 2;
constexpr int kXdgOpenNoMethod = 3;

// ---- Small helpers

bool NativeBytes(const FString& path, std::string& bytes)
{
    return PathToNative(path, bytes) && !bytes.empty();
}

FString Decoded(const FString& part)
{
    FString out;
    DecodeURLEscapes(part, out);
    return out;
}

FString Encoded(const FString& part)
{
    FString out;
    EncodeURLEscapes(part, out);
    return out;
}

// The non-empty parts of a URL path.
void NonEmptyParts(const FString& path, FArray<FString>& parts)
{
    FArray<FString> all;
    SplitPathParts(path, all, u'/');
    parts.RemoveAll();
    for (const FString& part : all) {
        if (part.GetLength() > 0)
            parts.Append(part);
    }
}

FString EnvPath(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return FString();
    return PathFromNative(value);
}

FString HomeFolder()
{
    FString home = EnvPath("HOME");
    if (home.GetLength() > 0)
        return home;
    if (const passwd* user = getpwuid(geteuid()); user != nullptr && user->pw_dir != nullptr)
        return PathFromNative(user->pw_dir);
    return FString(u"/");
}

// An XDG base folder: the variable when it holds an absolute path, else the default below home.
FString XdgBaseFolder(const char* variable, const char16_t* defaultBelowHome)
{
    FString folder = EnvPath(variable);
    return folder.GetLength() > 0 ? folder : PathJoin(HomeFolder(), FString(defaultBelowHome));
}

// Value of KEY="..." in user-dirs.dirs: "$HOME/..." or an absolute path, with
// backslash escapes. Empty when the key is missing or malformed.
FString ReadUserDirsEntry(const std::string& key)
{
    const FString file = PathJoin(XdgBaseFolder("XDG_CONFIG_HOME", u".config"), FString(u"user-dirs.dirs"));
    std::string native;
    if (!NativeBytes(file, native))
        return FString();
    std::ifstream in(native, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, key.size(), key) != 0)
            continue;
        at += key.size();
        if (line.compare(at, 2, "=\"") != 0)
            continue;
        at += 2;
        std::string value;
        bool closed = false;
        for (; at < line.size(); ++at) {
            if (line[at] == '\\' && at + 1 < line.size()) {
                value += line[++at];
            } else if (line[at] == '"') {
                closed = true;
                break;
            } else {
                value += line[at];
            }
        }
        if (!closed)
            continue;
        if (value.rfind("$HOME", 0) == 0) {
            const std::string rest = value.substr(5);
            if (!rest.empty() && rest[0] != '/')
                continue;
            return PathNormalize(PathJoin(HomeFolder(), PathFromNative(rest)));
        }
        if (!value.empty() && value[0] == '/')
            return PathNormalize(PathFromNative(value));
    }
    return FString();
}

FString UserFolder(const char* key, const char16_t* defaultName)
{
    FString folder = ReadUserDirsEntry(key);
    if (folder.GetLength() == 0)
        folder = EnvPath(key);
    return folder.GetLength() > 0 ? folder : PathJoin(HomeFolder(), FString(defaultName));
}

// The native folder of a volume name (the first part of a disk URL).
bool VolumeFolder(const FString& name, FString& folder)
{
    if (name == kRootVolumeName) {
        folder = FString(u"/");
        return true;
    }
    for (const FVolume& volume : ListVolumes()) {
        if (volume.m_sName == name) {
            folder = volume.m_sMountPoint;
            return true;
        }
    }
    return false;
}

bool NetworkShareFolder(const FString& server, const FString& share, FString& folder)
{
    FString lower = server;
    lower.MakeLower();
    for (const FNetworkShare& mounted : ListNetworkShares()) {
        if (mounted.m_sServer == lower && mounted.m_sShare == share) {
            folder = mounted.m_sMountPoint;
            return true;
        }
    }
    return false;
}

FString LongForm(const FString& folder)
{
    std::string bytes;
    if (!NativeBytes(folder, bytes))
        return FString();
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(bytes.c_str(), nullptr), &std::free);
    return resolved ? PathFromNative(resolved.get()) : FString();
}

FString UrlOfNativeFolder(const FString& scheme, const FString& native)
{
    FArray<FString> parts;
    NativePathToURLParts(native, parts);
    parts.InsertAt(0, scheme);
    FString url;
    JoinURL(parts, url, true);
    return url;
}

// ---- The private temporary folder

std::mutex& TempFolderLock()
{
    static std::mutex lock;
    return lock;
}

FString& TempFolderPath()
{
    static FString path;
    return path;
}

bool IsPrivateFolder(const FString& path)
{
    std::string bytes;
    struct stat st {};
    return NativeBytes(path, bytes) && lstat(bytes.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == geteuid() && (st.st_mode & 0777) == 0700;
}

void RemoveTempFolderAtExit()
{
    RemovePrivateTempFolder();
}

// A private folder holds a lock file that its process keeps locked while it
// runs; the kernel lets go of the lock when the process ends, however it ends.
constexpr char kOwnerLockName[] = ".lumitra-owner.lock";
constexpr char kNewOwnerLockName[] = ".lumitra-owner.new";

int& OwnerLockFd()
{
    static int fd = -1;
    return fd;
}

// The lock file is made and locked under another name and then renamed, so
// a start looking for stale folders never finds it unlocked while its
// process runs. Closed on exec: a program started from here holds nothing.
void MarkFolderAsOurs(const std::string& folder)
{
    const std::string fresh = folder + "/" + kNewOwnerLockName;
    const int fd = open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || rename(fresh.c_str(), (folder + "/" + kOwnerLockName).c_str()) != 0) {
        unlink(fresh.c_str());
        close(fd);
        return;
    }
    if (OwnerLockFd() >= 0)
        close(OwnerLockFd());
    OwnerLockFd() = fd;
}

// A name mkdtemp gives: "lumitra-" and six letters or digits.
bool IsPrivateFolderName(const std::string& name)
{
    constexpr std::string_view prefix = "lumitra-";
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
}

FString TempBaseFolder()
{
    FString base = EnvPath("TMPDIR");
    bool isFolder = false;
    if (base.GetLength() == 0 || !PathExists(base, &isFolder) || !isFolder)
        base = FString(u"/tmp");
    return base;
}

// ---- Trash

std::string PercentEncodePath(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : bytes) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                           c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string LocalDeletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The n-th candidate name in the trash: "a.kvr", "a.2.kvr", "a.3.kvr", ...
std::string TrashCandidate(const std::string& name, int n)
{
    if (n == 1)
        return name;
    const size_t dot = name.rfind('.');
    const std::string number = "." + std::to_string(n);
    if (dot == std::string::npos || dot == 0)
        return name + number;
    return name.substr(0, dot) + number + name.substr(dot);
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Moves the item into trash (a folder holding files/ and info/). originalPath
// is what the info file records. False when the trash is on another file system
// or the move fails.
bool MoveIntoTrash(const std::string& item, const std::string& trash, const std::string& originalPath,
                   const std::string& name)
{
    const std::string files = trash + "/files";
    const std::string info = trash + "/info";
    if (!CreateNativeFolders(PathFromNative(files), 0700) || !CreateNativeFolders(PathFromNative(info), 0700))
        return false;
    // A trash someone else made, or a link planted in its place, is not used.
    struct stat trashStat {};
    if (lstat(trash.c_str(), &trashStat) != 0 || !S_ISDIR(trashStat.st_mode) || trashStat.st_uid != geteuid())
        return false;
    const std::string content =
        "[Trash Info]\nPath=" + PercentEncodePath(originalPath) + "\nDeletionDate=" + LocalDeletionDate() + "\n";
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate = TrashCandidate(name, n);
        const std::string infoFile = info + "/" + candidate + ".trashinfo";
        // The info file is made first and exclusively: it reserves the name.
        const int fd = open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = WriteAll(fd, content);
        const bool closed = close(fd) == 0;
        if (!written || !closed) {
            unlink(infoFile.c_str());
            return false;
        }
        const std::string target = files + "/" + candidate;
        if (renameat2(AT_FDCWD, item.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        const int error = errno;
        unlink(infoFile.c_str());
        if (error != EEXIST)
            return false;
    }
    return false;
}

// ---- Launch

struct ChildStatus {
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    bool m_bExited = false;
    int m_iStatus = 0;
};

[[noreturn]] void ThrowLaunchFailure(int kind, const FString& native)
{
    const FNarrowString message("FSCDiskWin::Launch: '%s'", native.GetAscii());
    if (kind == kXdgOpenFileMissing)
        throw FExceptionFileNotFound(message.GetText());
    if (kind == kXdgOpenNoMethod)
        throw FExceptionLaunchFailed(message.GetText());
    throw FExceptionFileIO(message.GetText());
}

} // namespace

// ---- Free functions

bool CreateNativeFolders(const FString& native, unsigned mode)
{
    // Walk up to the first level that exists, then create downwards.
    FArray<FString> missing;
    FString level = native;
    bool isFolder = false;
    while (!PathExists(level, &isFolder)) {
        missing.Append(level);
        const FString parent = PathParent(level);
        if (parent.GetLength() == 0 || PathEquals(parent, level))
            return false;
        level = parent;
    }
    if (!isFolder)
        return false;
    for (int i = missing.GetCount() - 1; i >= 0; --i) {
        std::string bytes;
        if (!NativeBytes(missing[i], bytes))
            return false;
        if (mkdir(bytes.c_str(), static_cast<mode_t>(mode)) != 0 && !(errno == EEXIST && PathExists(missing[i], &isFolder) && isFolder))
            return false;
    }
    return true;
}

void NativePathToURLParts(const FString& native, FArray<FString>& parts)
{
    parts.RemoveAll();
    if (native.GetLength() == 0)
        return;
    FArray<FString> names;
    PathSplit(native, names);
    parts.Append(FString(kRootVolumeName));
    for (const FString& name : names)
        parts.Append(Encoded(name));
}

bool PathExists(const FString& native, bool* isFolder)
{
    std::string bytes;
    struct stat st {};
    if (!NativeBytes(native, bytes) || stat(bytes.c_str(), &st) != 0)
        return false;
    if (isFolder != nullptr)
        *isFolder = S_ISDIR(st.st_mode);
    return true;
}

bool GetShellFolderPath(int csidl, FString& out)
{
    out.Empty();
    FString folder;
    mode_t mode = 0755;
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        folder = UserFolder("XDG_DESKTOP_DIR", u"Desktop");
        break;
    case CSIDL_PERSONAL:
        folder = UserFolder("XDG_DOCUMENTS_DIR", u"Documents");
        break;
    case CSIDL_MYPICTURES:
        folder = UserFolder("XDG_PICTURES_DIR", u"Pictures");
        break;
    case CSIDL_PROGRAMS:
        folder = PathJoin(XdgBaseFolder("XDG_DATA_HOME", u".local/share"), FString(u"applications"));
        break;
    case CSIDL_STARTUP:
        folder = PathJoin(XdgBaseFolder("XDG_CONFIG_HOME", u".config"), FString(u"autostart"));
        break;
    case CSIDL_APPDATA:
    case CSIDL_LOCAL_APPDATA:
        folder = PathJoin(XdgBaseFolder("XDG_CONFIG_HOME", u".config"), FString(kSettingsFolderName));
        mode = 0700;
        break;
    default:
        return false;
    }
    if (!CreateNativeFolders(folder, mode))
        return false;
    out = folder;
    return true;
}

void GetProgramPath(FString& out)
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    // A link that fills the buffer may have been cut: no path rather than a wrong one.
    const bool whole = length > 0 && static_cast<size_t>(length) < sizeof buffer;
    out = whole ? PathFromNative(std::string_view(buffer, static_cast<size_t>(length))) : FString();
}

FString ProgramDataFolder(const FString& programPath)
{
    const FString folder = PathParent(programPath);
    if (folder.GetLength() == 0)
        return folder;
    const FString resources = PathJoin(folder, FString(u"resources"));
    bool isFolder = false;
    return PathExists(resources, &isFolder) && isFolder ? resources : folder;
}

FString GetPrivateTempFolder()
{
    std::lock_guard<std::mutex> lock(TempFolderLock());
    FString& path = TempFolderPath();
    if (path.GetLength() > 0 && IsPrivateFolder(path))
        return path;
    static bool exitHookSet = false;
    if (!exitHookSet) {
        std::atexit(RemoveTempFolderAtExit);
        exitHookSet = true;
    }
    std::string pattern;
    if (!NativeBytes(PathJoin(TempBaseFolder(), FString(u"lumitra-XXXXXX")), pattern) ||
        mkdtemp(pattern.data()) == nullptr) {
        path.Empty();
        return path;
    }
    MarkFolderAsOurs(pattern);
    path = PathFromNative(pattern);
    return path;
}

int RemoveStaleTempFolders()
{
    std::string base;
    if (!NativeBytes(TempBaseFolder(), base))
        return 0;
    const int baseFd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (baseFd < 0)
        return 0;
    std::vector<std::string> names;
    if (DIR* dir = fdopendir(dup(baseFd))) {
        while (const dirent* entry = readdir(dir)) {
            if (IsPrivateFolderName(entry->d_name))
                names.push_back(entry->d_name);
        }
        closedir(dir);
    }
    int removed = 0;
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(baseFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != geteuid())
            continue;
        // Only a folder whose owner lock can be taken: its process has ended.
        // A folder without the lock file is left alone (nobody can tell).
        const int folderFd = openat(baseFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folderFd < 0)
            continue;
        const int lockFd = openat(folderFd, kOwnerLockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        close(folderFd);
        if (lockFd < 0)
            continue;
        if (flock(lockFd, LOCK_EX | LOCK_NB) == 0 && FSCFolderWin::DeleteTree(PathFromNative(base + "/" + name)))
            ++removed;
        close(lockFd);
    }
    close(baseFd);
    return removed;
}

void RemovePrivateTempFolder()
{
    std::lock_guard<std::mutex> lock(TempFolderLock());
    FString& path = TempFolderPath();
    if (path.GetLength() > 0 && IsPrivateFolder(path))
        FSCFolderWin::DeleteTree(path);
    path.Empty();
    if (OwnerLockFd() >= 0) {
        close(OwnerLockFd());
        OwnerLockFd() = -1;
    }
}

// ---- FSCDiskWin

FSCDiskWin::FSCDiskWin(const FString& scheme) : m_sScheme(scheme) {}

FString FSCDiskWin::GetName() { return m_sScheme; }
FString FSCDiskWin::GetDescription() { return FString(kDescription); }

bool FSCDiskWin::ToNativePath(const FString& path, FString& native)
{
    native.Empty();
    FArray<FString> parts;
    NonEmptyParts(path, parts);
    if (parts.GetCount() == 0)
        return false;
    FString folder;
    int next = 1;
    const FString first = Decoded(parts[0]);
    if (first == kNetworkVolumeName) {
        if (parts.GetCount() < 3 || !NetworkShareFolder(Decoded(parts[1]), Decoded(parts[2]), folder))
            return false;
        next = 3;
    } else if (!VolumeFolder(first, folder)) {
        return false;
    }
    std::u16string result(folder.View());
    for (int i = next; i < parts.GetCount(); ++i) {
        const FString name = Decoded(parts[i]);
        // A decoded separator or zero would make the part name something else.
        if (!PathIsEntryName(name))
            return false;
        if (result.back() != kPathSeparator)
            result += kPathSeparator;
        result += name.View();
    }
    native = FString(std::u16string_view(result));
    return true;
}

bool FSCDiskWin::FromNativePath(const FString& native, FString& path)
{
    FString absolute = native;
    if (!PathIsAbsolute(native)) {
        char buffer[PATH_MAX];
        if (getcwd(buffer, sizeof buffer) == nullptr)
            return false;
        absolute = PathJoin(PathFromNative(buffer), native);
    }
    FArray<FString> parts;
    NativePathToURLParts(absolute, parts);
    JoinPathParts(parts, path, u'/');
    return true;
}

FIFile* FSCDiskWin::OpenFile(const FString& path, int flags)
{
    FArray<FString> parts;
    SplitPathParts(path, parts, u'/');
    if (parts.GetCount() == 0)
        return nullptr;
    const FString name = Decoded(parts[parts.GetCount() - 1]);
    parts.RemoveAt(parts.GetCount() - 1);
    FString folderPath;
    JoinPathParts(parts, folderPath, u'/');
    FString fileOfFolderPath;
    FFolderPtr folder(OpenFolder(folderPath, fileOfFolderPath, false));
    // The folder part must name a folder, not a file.
    if (!folder || fileOfFolderPath.GetLength() > 0 || name.GetLength() == 0)
        return nullptr;
    return folder->OpenFile(name, flags);
}

FIFolder* FSCDiskWin::OpenFolder(const FString& path, FString& name, bool create)
{
    name.Empty();
    FArray<FString> parts;
    SplitPathParts(path, parts, u'/');
    if (parts.GetCount() == 0)
        return new FSCVolEnumFolderWin(m_sScheme);
    if (Decoded(parts[0]) == kNetworkVolumeName) {
        if (parts.GetCount() == 1)
            return new FSCNetEnumFolderWin(m_sScheme);
        if (parts.GetCount() == 2)
            return new FSCNetShareEnumFolderWin(m_sScheme, Decoded(parts[1]));
    } else if (parts.GetCount() == 1) {
        FString folder;
        return VolumeFolder(Decoded(parts[0]), folder) ? new FSCFolderWin(m_sScheme, folder) : nullptr;
    }

    FString native;
    if (!ToNativePath(path, native))
        return nullptr;
    bool isFolder = false;
    if (PathExists(native, &isFolder)) {
        if (isFolder)
            return new FSCFolderWin(m_sScheme, native);
        name = PathFileName(native);
        return new FSCFolderWin(m_sScheme, PathParent(native));
    }
    if (create && CreateFolderPath(path))
        return new FSCFolderWin(m_sScheme, native);
    return nullptr;
}

bool FSCDiskWin::CreateFolderPath(const FString& path)
{
    FSCDiskWin mapping{FString()};
    FString native;
    if (!mapping.ToNativePath(path, native) || PathExists(native))
        return false;
    return CreateNativeFolders(native);
}

bool FSCDiskWin::GetSpecialFolderURL(int kind, FString& url)
{
    FString folder;
    switch (kind) {
    case FOLDER_PROGRAM: {
        FString program;
        GetProgramPath(program);
        folder = ProgramDataFolder(program);
        std::printf("WinMain:Exe Path: %s\n", folder.GetAscii());
        break;
    }
    case FOLDER_APPDATA:
        GetShellFolderPath(CSIDL_APPDATA, folder);
        break;
    case FOLDER_TEMP:
        folder = GetPrivateTempFolder();
        break;
    case FOLDER_SYSTEM:
        folder = EnvPath("SystemRoot");
        if (folder.GetLength() == 0)
            return false;
        break;
    case FOLDER_DESKTOP:
        GetShellFolderPath(CSIDL_DESKTOPDIRECTORY, folder);
        break;
    case FOLDER_PROGRAMS:
        GetShellFolderPath(CSIDL_PROGRAMS, folder);
        break;
    case FOLDER_STARTUP:
        GetShellFolderPath(CSIDL_STARTUP, folder);
        break;
    case FOLDER_DOCUMENTS:
        GetShellFolderPath(CSIDL_PERSONAL, folder);
        break;
    default:
        return false;
    }
    url = UrlOfNativeFolder(m_sScheme, LongForm(folder));
    return true;
}

bool FSCDiskWin::Exists(const FString& path, bool* isFolder)
{
    FString native;
    return ToNativePath(path, native) && PathExists(native, isFolder);
}

void FSCDiskWin::Launch(const FString& path, const FString& /*parameters: xdg-open takes none*/)
{
    FArray<FString> parts;
    SplitPathParts(path, parts, u'/');
    FString native;
    ToNativePath(path, native);
    if (parts.GetCount() < 2 || parts[parts.GetCount() - 1].GetLength() == 0 || native.GetLength() == 0 ||
        !PathExists(native))
        ThrowLaunchFailure(kXdgOpenFileMissing, native);

    std::string document;
    std::string folder;
    if (!NativeBytes(native, document) || !NativeBytes(PathParent(native), folder))
        ThrowLaunchFailure(kXdgOpenFileMissing, native);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    char program[] = "xdg-open";
    char* argv[] = {program, document.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawnp(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        ThrowLaunchFailure(error == ENOENT ? kXdgOpenNoMethod : -1, native);

    // The launcher is reaped by a thread of its own, so a long-running one
    // never blocks the caller beyond the report wait and leaves no zombie.
    auto status = std::make_shared<ChildStatus>();
    std::thread([child, status] {
        int result = 0;
        while (waitpid(child, &result, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> lock(status->m_Lock);
        status->m_bExited = true;
        status->m_iStatus = result;
        status->m_Changed.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(status->m_Lock);
    if (!status->m_Changed.wait_for(lock, kLaunchReportWait, [&] { return status->m_bExited; }))
        return;
    const int result = status->m_iStatus;
    if (WIFEXITED(result) && WEXITSTATUS(result) == 0)
        return;
    ThrowLaunchFailure(WIFEXITED(result) ? WEXITSTATUS(result) : -1, native);
}

void FSCDiskWin::MoveToTrash(const FString& path)
{
    FString native;
    ToNativePath(path, native);
    const FNarrowString message("FSCDiskWin::MoveToTrash: '%s'", native.GetAscii());

    std::string item;
    std::string parentBytes;
    struct stat itemStat {};
    const FString name = PathFileName(native);
    if (native.GetLength() == 0 || !NativeBytes(native, item) || lstat(item.c_str(), &itemStat) != 0 ||
        name.GetLength() == 0 || name == u"." || name == u".." || !NativeBytes(LongForm(PathParent(native)), parentBytes))
        throw FExceptionFileIO(message.GetText());
    std::string nameBytes;
    PathToNative(name, nameBytes);
    const std::string original = (parentBytes == "/" ? std::string() : parentBytes) + "/" + nameBytes;

    const FString homeTrash = PathJoin(XdgBaseFolder("XDG_DATA_HOME", u".local/share"), FString(u"Trash"));
    std::string homeTrashBytes;
    if (CreateNativeFolders(homeTrash, 0700) && NativeBytes(homeTrash, homeTrashBytes)) {
        struct stat trashStat {};
        if (stat(homeTrashBytes.c_str(), &trashStat) == 0 && trashStat.st_dev == itemStat.st_dev &&
            MoveIntoTrash(item, homeTrashBytes, original, nameBytes))
            return;
    }

    // Another file system: its own trash at its top folder, recording the path relative to it.
    const FString top = MountPointOfPath(PathFromNative(original));
    std::string topBytes;
    if (NativeBytes(top, topBytes)) {
        const std::string topTrash = (topBytes == "/" ? std::string() : topBytes) + "/.Trash-" + std::to_string(geteuid());
        std::string relative = original.substr(topBytes == "/" ? 1 : topBytes.size());
        while (!relative.empty() && relative[0] == '/')
            relative.erase(0, 1);
        if (!relative.empty() && topTrash != homeTrashBytes && MoveIntoTrash(item, topTrash, relative, nameBytes))
            return;
    }
    throw FExceptionFileIO(message.GetText());
}
