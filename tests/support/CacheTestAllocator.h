#pragma once
// A memory allocator for cache tests: it counts what it hands out, can refuse,
// can ask for blocks to be discarded when unlocked, and can move blocks the way
// an allocator of movable memory would. Safe from any thread.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "foundation/FMemoryAllocator.h"

namespace testsupport {

class CacheTestAllocator : public FIMemoryAllocator {
public:
    ~CacheTestAllocator() override
    {
        for (auto& [block, size] : m_Sizes)
            ::operator delete(block);
    }

    void* Alloc(size_t byteCount) override
    {
        if (m_bFail)
            throw std::bad_alloc();
        void* block = ::operator new(byteCount);
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Sizes[block] = byteCount;
        ++m_Allocs;
        return block;
    }

    void Free(void* block) override
    {
        if (!block)
            return;
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Sizes.erase(block);
        ++m_Frees;
        ::operator delete(block);
    }

    // While moving is on, every block asked about moves to a new address, its
    // bytes copied.
    void* Lock(void* block) override
    {
        if (!m_bMove || !block)
            return block;
        std::lock_guard<std::mutex> guard(m_Lock);
        const size_t size = m_Sizes.at(block);
        void* moved = ::operator new(size);
        std::memcpy(moved, block, size);
        m_Sizes.erase(block);
        ::operator delete(block);
        m_Sizes[moved] = size;
        return moved;
    }

    bool DiscardWhenUnlocked() override { return m_bDiscard; }

    void SetFail(bool fail) { m_bFail = fail; }
    void SetMove(bool move) { m_bMove = move; }
    void SetDiscard(bool discard) { m_bDiscard = discard; }

    uint64_t Allocs() const { return m_Allocs; }
    uint64_t Frees() const { return m_Frees; }
    size_t LiveBlocks()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Sizes.size();
    }

private:
    std::mutex m_Lock;
    std::map<void*, size_t> m_Sizes;
    std::atomic<uint64_t> m_Allocs{0};
    std::atomic<uint64_t> m_Frees{0};
    std::atomic<bool> m_bFail{false};
    std::atomic<bool> m_bMove{false};
    std::atomic<bool> m_bDiscard{false};
};

} // namespace testsupport
