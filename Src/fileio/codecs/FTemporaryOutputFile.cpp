#include "fileio/codecs/FTemporaryOutputFile.h"

#include "fileio/codecs/UnfinishedFile.h"
#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

namespace {

constexpr int kNameAttempts = 100;

[[noreturn]] void ThrowOpen(const FString& url, const char* why)
{
    throw FExceptionFileOpen((UrlMessageText(url) + ": " + why).c_str());
}

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[20];
    std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(generator() & 0xFFFFFFFFFFFFull));
    return text;
}

} // namespace

FTemporaryOutputFile::FTemporaryOutputFile(const FString& finalURL)
{
    FString native;
    if (!URLToNativePath(finalURL, native) || !PathToNative(native, m_sFinalPath) || m_sFinalPath.empty())
        ThrowOpen(finalURL, "names no file");
    const FString folder = PathParent(native);
    const FString name = PathFileName(native);
    std::string folderBytes, nameBytes;
    if (!PathIsEntryName(name) || !PathToNative(folder, folderBytes) || !PathToNative(name, nameBytes))
        ThrowOpen(finalURL, "names no file");

    struct stat existing {};
    const bool exists = ::stat(m_sFinalPath.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        ThrowOpen(finalURL, "is not a file");
    if (exists && (existing.st_mode & S_IWUSR) == 0)
        ThrowOpen(finalURL, "is locked");

    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = folderBytes + "/." + nameBytes + "." + RandomSuffix() + ".part";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            ThrowOpen(finalURL, "the folder cannot hold a new file");
        }
        if (exists)
            ::fchmod(fd, existing.st_mode & 07777);
        ::close(fd);
        m_sTemporaryPath = candidate;
        if (!NativePathToURL(PathFromNative(candidate), m_sTemporaryURL)) {
            ::unlink(candidate.c_str());
            ThrowOpen(finalURL, "names no file");
        }
        return;
    }
    ThrowOpen(finalURL, "no temporary name is free");
}

FTemporaryOutputFile::~FTemporaryOutputFile()
{
    if (!m_bCommitted && ::unlink(m_sTemporaryPath.c_str()) != 0 && errno != ENOENT)
        DebugPrintf("Could not remove the temporary file '%s'\n", m_sTemporaryPath.c_str());
}

void FTemporaryOutputFile::Commit()
{
    struct stat written {};
    if (::stat(m_sTemporaryPath.c_str(), &written) != 0)
        throw FExceptionFileWrite("The file was not finished.");
    // The final name may have been locked since the save began.
    struct stat existing {};
    if (::stat(m_sFinalPath.c_str(), &existing) == 0 && (existing.st_mode & S_IWUSR) == 0)
        throw FExceptionFileWrite("The file to replace is locked.");
    if (::rename(m_sTemporaryPath.c_str(), m_sFinalPath.c_str()) != 0)
        throw FExceptionFileWrite("The finished file could not be put in place.");
    m_bCommitted = true;
}
