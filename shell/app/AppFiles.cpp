#include "shell/app/AppFiles.h"

#include "foundation/FAssert.h"
#include "foundation/FPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }
    // Closes now; false when the close reported a failed write.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[20];
    std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(generator() & 0xFFFFFFFFFFFFull));
    return text;
}

// Flushes the folder's entry list, so that the rename itself survives a crash.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AppFileRead ReadAppFile(const FString& path, std::string& bytes, size_t sizeLimit)
{
    bytes.clear();
    std::string native;
    if (!PathToNative(path, native) || native.empty())
        return AppFileRead::kMissing;
    FileDescriptor file(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0)
        return errno == ENOENT || errno == ENOTDIR ? AppFileRead::kMissing : AppFileRead::kUnreadable;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > sizeLimit)
        return AppFileRead::kUnreadable;
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            bytes.clear();
            return AppFileRead::kUnreadable;
        }
        if (got == 0)
            break; // the file shrank meanwhile
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return AppFileRead::kRead;
}

bool WriteAppFileAtomically(const FString& path, std::string_view bytes)
{
    std::string native, folder, name;
    if (!PathToNative(path, native) || !PathToNative(PathParent(path), folder) ||
        !PathToNative(PathFileName(path), name) || name.empty() || folder.empty())
        return false;
    struct stat existing {};
    const bool exists = ::stat(native.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0))
        return false;

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + name + "." + RandomSuffix() + ".part";
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    FileDescriptor file(fd);
    if (exists)
        ::fchmod(fd, existing.st_mode & 07777);
    const bool complete = WriteAll(fd, bytes) && ::fsync(fd) == 0 && file.Close();
    if (!complete || ::rename(temporary.c_str(), native.c_str()) != 0) {
        if (::unlink(temporary.c_str()) != 0)
            DebugPrintf("Could not remove the temporary file '%s'\n", temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

FString WriteUniqueAppFile(const FString& folder, const char* prefix, const char* suffix, std::string_view bytes)
{
    std::string pattern;
    if (!PathToNative(folder, pattern) || pattern.empty())
        return FString();
    pattern += std::string("/") + prefix + "XXXXXX" + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::strlen(suffix)));
    if (fd < 0)
        return FString();
    FileDescriptor file(fd);
    if (!WriteAll(fd, bytes) || !file.Close()) {
        ::unlink(pattern.c_str());
        return FString();
    }
    return PathFromNative(pattern);
}

void AppendUtf16(std::string& bytes, std::u16string_view text)
{
    bytes.reserve(bytes.size() + text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
}
