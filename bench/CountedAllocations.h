#pragma once
// Counts the bytes a benchmark program holds through operator new, so a
// benchmark can report the most memory a piece of work held at once.
// Replaces the global allocation functions: include it in one file of a
// program only (each benchmark program is one file).
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace countedallocations {

inline std::atomic<int64_t> g_LiveBytes{0};
inline std::atomic<int64_t> g_PeakBytes{0};

inline void* Allocate(size_t size)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    const int64_t live = g_LiveBytes += int64_t(malloc_usable_size(block));
    int64_t peak = g_PeakBytes.load();
    while (live > peak && !g_PeakBytes.compare_exchange_weak(peak, live)) {
    }
    return block;
}

inline void Release(void* block)
{
    if (!block)
        return;
    g_LiveBytes -= int64_t(malloc_usable_size(block));
    std::free(block);
}

} // namespace countedallocations

// Measures from its construction: Bytes() is the most held at once since then,
// above what was held when it began.
class PeakAllocation {
public:
    PeakAllocation() : m_Before(countedallocations::g_LiveBytes.load())
    {
        countedallocations::g_PeakBytes = m_Before;
    }
    int64_t Bytes() const { return countedallocations::g_PeakBytes.load() - m_Before; }

private:
    int64_t m_Before;
};

void* operator new(size_t size) { return countedallocations::Allocate(size); }
void* operator new[](size_t size) { return countedallocations::Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    try {
        return countedallocations::Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { countedallocations::Release(block); }
void operator delete[](void* block) noexcept { countedallocations::Release(block); }
void operator delete(void* block, size_t) noexcept { countedallocations::Release(block); }
void operator delete[](void* block, size_t) noexcept { countedallocations::Release(block); }
