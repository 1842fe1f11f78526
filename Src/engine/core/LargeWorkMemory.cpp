#include "engine/core/LargeWorkMemory.h"

#include "foundation/FMemoryAllocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

void* NewBlock(size_t bytes)
{
    void* block = std::aligned_alloc(kHugePageBytes, bytes);
    if (block != nullptr)
        AdviseHugePages(block, bytes);
    return block;
}

} // namespace

LargeWorkMemory::LargeWorkMemory(size_t bytes)
{
    if (bytes == 0)
        return;
    if (bytes > SIZE_MAX - kHugePageBytes)
        throw std::bad_alloc();
    // Whole huge pages only: a partial one at the end could not be backed by one.
    const size_t rounded = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    if (WorkMemoryStore* store = WorkMemoryStore::Current()) {
        const WorkMemoryStore::Block block = store->Take(rounded);
        m_pBlock = block.data;
        m_iBlockBytes = block.bytes;
        m_pStore = store;
    } else {
        m_pBlock = NewBlock(rounded);
        m_iBlockBytes = rounded;
    }
    if (m_pBlock == nullptr)
        throw std::bad_alloc();
    m_iBytes = bytes;
}

LargeWorkMemory::~LargeWorkMemory() { Free(); }

void LargeWorkMemory::Free() noexcept
{
    if (m_pStore != nullptr && m_pBlock != nullptr)
        m_pStore->Give({m_pBlock, m_iBlockBytes});
    else
        std::free(m_pBlock);
    m_pBlock = nullptr;
    m_pStore = nullptr;
    m_iBytes = m_iBlockBytes = 0;
}

LargeWorkMemory::LargeWorkMemory(LargeWorkMemory&& other) noexcept
    : m_pBlock(std::exchange(other.m_pBlock, nullptr)), m_iBytes(std::exchange(other.m_iBytes, 0)),
      m_iBlockBytes(std::exchange(other.m_iBlockBytes, 0)), m_pStore(std::exchange(other.m_pStore, nullptr))
{
}

LargeWorkMemory& LargeWorkMemory::operator=(LargeWorkMemory&& other) noexcept
{
    if (this != &other) {
        Free();
        m_pBlock = std::exchange(other.m_pBlock, nullptr);
        m_iBytes = std::exchange(other.m_iBytes, 0);
        m_iBlockBytes = std::exchange(other.m_iBlockBytes, 0);
        m_pStore = std::exchange(other.m_pStore, nullptr);
    }
    return *this;
}

WorkMemoryStore::~WorkMemoryStore() { ReleaseKept(); }

void WorkMemoryStore::ReleaseKept()
{
    std::vector<Block> kept;
    {
        std::lock_guard hold(m_Lock);
        kept.swap(m_Kept);
    }
    for (const Block& block : kept)
        std::free(block.data);
}

size_t WorkMemoryStore::KeptBytes() const
{
    std::lock_guard hold(m_Lock);
    size_t bytes = 0;
    for (const Block& block : m_Kept)
        bytes += block.bytes;
    return bytes;
}

WorkMemoryStore*& WorkMemoryStore::Current()
{
    thread_local WorkMemoryStore* current = nullptr;
    return current;
}

WorkMemoryStore::Scope::Scope(WorkMemoryStore* store) : m_pPrevious(std::exchange(Current(), store)) {}

WorkMemoryStore::Scope::~Scope() { Current() = m_pPrevious; }

WorkMemoryStore::Block WorkMemoryStore::Take(size_t bytes)
{
    std::vector<Block> tooSmall;
    {
        std::lock_guard hold(m_Lock);
        auto best = m_Kept.end();
        for (auto block = m_Kept.begin(); block != m_Kept.end(); ++block)
            if (block->bytes >= bytes && (best == m_Kept.end() || block->bytes < best->bytes))
                best = block;
        if (best != m_Kept.end()) {
            const Block found = *best;
            m_Kept.erase(best);
            return found;
        }
        const auto small = std::partition(m_Kept.begin(), m_Kept.end(), [&](const Block& b) { return b.bytes >= bytes; });
        tooSmall.assign(small, m_Kept.end());
        m_Kept.erase(small, m_Kept.end());
    }
    for (const Block& block : tooSmall)
        std::free(block.data);
    return {NewBlock(bytes), bytes};
}

void WorkMemoryStore::Give(Block block)
{
    try {
        std::lock_guard hold(m_Lock);
        m_Kept.push_back(block);
    } catch (const std::bad_alloc&) {
        std::free(block.data);
    }
}
