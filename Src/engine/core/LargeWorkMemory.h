#pragma once
// Work memory that a kernel takes for one call and gives back at its end: the
// float images of the noise reductions, tens of bytes per pixel. Fresh memory
// costs one page fault per page at first use, which at 4 KiB pages takes longer
// than the filters themselves. The block is therefore aligned and sized to
// 2 MiB and offered to the system for huge pages (where the system does not
// give them, it is ordinary memory). The contents start undefined.
//
// On an engine's processing thread, and in the bands of the calls it makes,
// the blocks come from the engine's store (WorkMemoryStore) and go back to it:
// the steps of a development, and the developments of one engine after
// another, reuse memory already faulted in.
#include <cstddef>
#include <mutex>
#include <vector>

class WorkMemoryStore;

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
    void Free() noexcept;

    void* m_pBlock = nullptr;
    size_t m_iBytes = 0;
    size_t m_iBlockBytes = 0; // whole huge pages
    WorkMemoryStore* m_pStore = nullptr;
};

// The blocks an engine keeps between its calls. A block given back is kept;
// a block asked for is the smallest kept one that is large enough, or a new
// one, made after the kept blocks too small for it are freed (so a larger
// picture does not keep the smaller one's blocks beside its own).
class WorkMemoryStore {
public:
    WorkMemoryStore() = default;
    ~WorkMemoryStore();
    WorkMemoryStore(const WorkMemoryStore&) = delete;
    WorkMemoryStore& operator=(const WorkMemoryStore&) = delete;

    // Frees the kept blocks (blocks in use are freed when given back after it).
    void ReleaseKept();
    size_t KeptBytes() const;

    // The store LargeWorkMemory made on this thread uses; null for none.
    static WorkMemoryStore* OfThisThread() { return Current(); }

    // While one lives, LargeWorkMemory made on its thread uses the store (the
    // bands of a call use their caller's).
    class Scope {
    public:
        explicit Scope(WorkMemoryStore& store) : Scope(&store) {}
        explicit Scope(WorkMemoryStore* store);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        WorkMemoryStore* m_pPrevious;
    };

private:
    friend class LargeWorkMemory;
    struct Block {
        void* data;
        size_t bytes;
    };
    static WorkMemoryStore*& Current();
    // A kept block of at least `bytes` (whole huge pages), or a new one; null when none can be had.
    Block Take(size_t bytes);
    void Give(Block block);

    mutable std::mutex m_Lock;
    std::vector<Block> m_Kept;
};
