#include "movie/TMTemporaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace tkrmovie {

TMTemporaryFile::TMTemporaryFile(const std::string& target) : m_Target(target)
{
    static std::atomic<unsigned> counter{0};
    m_Error = ENOENT;
    if (target.empty())
        return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The permissions a new target would get.
        const std::string name = target + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
        m_Descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_Descriptor >= 0) {
            m_Temporary = name;
            m_Error = 0;
            return;
        }
        m_Error = errno;
        if (errno != EEXIST)
            return;
    }
}

TMTemporaryFile::~TMTemporaryFile()
{
    Close();
    if (Created() && !m_bCommitted)
        unlink(m_Temporary.c_str());
}

bool TMTemporaryFile::Close()
{
    if (m_Descriptor < 0)
        return true;
    const bool closed = close(m_Descriptor) == 0;
    if (!closed)
        m_Error = errno;
    m_Descriptor = -1;
    return closed;
}

bool TMTemporaryFile::Commit()
{
    if (!Created() || !Close())
        return false;
    if (std::rename(m_Temporary.c_str(), m_Target.c_str()) != 0) {
        m_Error = errno;
        return false;
    }
    m_bCommitted = true;
    return true;
}

bool WriteAll(int descriptor, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

} // namespace tkrmovie
