#include "movie/TMBitmapFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace tkrmovie {
namespace {

bool WriteAll(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

// A new file beside the target, with the permissions a new target would get.
int CreateTemporaryBeside(const std::string& path, std::string& temporary)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool WriteBitmapFile(const char* path, const BITMAPINFOHEADER& header, const BYTE* bits, DWORD size)
{
    constexpr DWORD kPixelOffset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    if (!path || !*path || !bits || size == 0 || size > 0xFFFFFFFFu - kPixelOffset)
        return false;
    BITMAPFILEHEADER file;
    file.bfType = 0x4D42; // "BM"
    file.bfSize = kPixelOffset + size;
    file.bfOffBits = kPixelOffset;

    std::string temporary;
    const int fd = CreateTemporaryBeside(path, temporary);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, &file, sizeof(file)) && WriteAll(fd, &header, sizeof(header)) &&
                   WriteAll(fd, bits, size);
    written = close(fd) == 0 && written;
    written = written && std::rename(temporary.c_str(), path) == 0;
    if (!written)
        unlink(temporary.c_str());
    return written;
}

} // namespace tkrmovie
