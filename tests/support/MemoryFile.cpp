#include "support/MemoryFile.h"

#include "foundation/FException.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <sys/resource.h>

namespace testsupport {

MemoryFile::MemoryFile(std::shared_ptr<std::vector<uint8_t>> bytes, int64_t writeLimit)
    : m_Bytes(std::move(bytes)), m_WriteLimit(writeLimit)
{
}

void MemoryFile::Seek(int64_t position)
{
    if (position >= 0)
        m_Position = position;
}

bool MemoryFile::ReadLine(FString& line)
{
    line.Empty();
    return false;
}

int64_t MemoryFile::ReadExact(void* buffer, int64_t count)
{
    if (Read(buffer, count) != count)
        throw FExceptionEOF();
    return count;
}

int64_t MemoryFile::Read(void* buffer, int64_t count)
{
    const int64_t size = GetSize();
    if (count <= 0 || m_Position >= size)
        return 0;
    const int64_t n = std::min(count, size - m_Position);
    std::memcpy(buffer, m_Bytes->data() + m_Position, static_cast<size_t>(n));
    m_Position += n;
    return n;
}

bool MemoryFile::Write(const void* buffer, int64_t count)
{
    if (count < 0)
        return false;
    const int64_t room = std::max<int64_t>(0, m_WriteLimit - m_Position);
    const int64_t n = std::min(count, room);
    if (m_Position + n > GetSize())
        m_Bytes->resize(static_cast<size_t>(m_Position + n));
    if (n > 0)
        std::memcpy(m_Bytes->data() + m_Position, buffer, static_cast<size_t>(n));
    m_Position += n;
    if (n < count)
        m_bWriteFailed = true;
    return n == count;
}

void MemoryFile::SetSize(int64_t size)
{
    if (size < 0 || size > m_WriteLimit)
        throw FExceptionFileWrite("MemoryFile::SetSize");
    m_Bytes->resize(static_cast<size_t>(size));
}

ScopedFileSizeLimit::ScopedFileSizeLimit(uint64_t bytes)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::runtime_error("getrlimit");
    m_OldSoftLimit = limit.rlim_cur;
    m_OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::runtime_error("setrlimit");
}

ScopedFileSizeLimit::~ScopedFileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_OldSoftLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_OldHandler);
}

} // namespace testsupport
