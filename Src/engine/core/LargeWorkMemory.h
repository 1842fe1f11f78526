#pragma once
// Work memory that a kernel takes for one call and gives back at its end: the
// float images of the noise reductions, tens of bytes per pixel. Fresh memory
// costs one page fault per page at first use, which at 4 KiB pages takes longer
// than the filters themselves. The block is therefore aligned and sized to
// 2 MiB and offered to the system for huge pages (where the system does not
// give them, it is ordinary memory). The contents start undefined.
#include <cstddef>

class LargeWorkMemory {
public:
    LargeWorkMemory() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit LargeWorkMemory(size_t bytes);
    ~LargeWorkMemory();
    LargeWorkMemory(LargeWorkMemory&& other) noexcept;
    LargeWorkMemory& operator=(LargeWorkMemory&& other) noexcept;
    LargeWorkMemory(const LargeWorkMemory&) = delete;
    LargeWorkMemory& operator=(const LargeWorkMemory&) = delete;

    void* Data() const { return m_pBlock; }
    size_t Bytes() const { return m_iBytes; }

private:
    void* m_pBlock = nullptr;
    size_t m_iBytes = 0;
};
