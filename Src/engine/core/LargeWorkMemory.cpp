#include "engine/core/LargeWorkMemory.h"

#include "foundation/FMemoryAllocator.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

LargeWorkMemory::LargeWorkMemory(size_t bytes)
{
    if (bytes == 0)
        return;
    if (bytes > SIZE_MAX - kHugePageBytes)
        throw std::bad_alloc();
    // Whole huge pages only: a partial one at the end could not be backed by one.
    const size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    m_pBlock = std::aligned_alloc(kHugePageBytes, rounded);
    if (m_pBlock == nullptr)
        throw std::bad_alloc();
    m_iBytes = bytes;
    AdviseHugePages(m_pBlock, rounded);
}

LargeWorkMemory::~LargeWorkMemory() { std::free(m_pBlock); }

LargeWorkMemory::LargeWorkMemory(LargeWorkMemory&& other) noexcept
    : m_pBlock(std::exchange(other.m_pBlock, nullptr)), m_iBytes(std::exchange(other.m_iBytes, 0))
{
}

LargeWorkMemory& LargeWorkMemory::operator=(LargeWorkMemory&& other) noexcept
{
    if (this != &other) {
        std::free(m_pBlock);
        m_pBlock = std::exchange(other.m_pBlock, nullptr);
        m_iBytes = std::exchange(other.m_iBytes, 0);
    }
    return *this;
}
