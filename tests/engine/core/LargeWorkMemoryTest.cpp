#include "engine/core/LargeWorkMemory.h"

#include "engine/core/RowBandLoop.h"
#include "foundation/FMemoryAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace {

constexpr size_t kPage = kHugePageBytes;

} // namespace

TEST(LargeWorkMemoryTest, ABlockGivenBackIsTheNextOneOfItsSizeOrLess)
{
    WorkMemoryStore store;
    const WorkMemoryStore::Scope scope(store);
    void* first = nullptr;
    {
        const LargeWorkMemory block(3 * kPage);
        first = block.Data();
        EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % kPage, 0u);
    }
    EXPECT_EQ(store.KeptBytes(), 3 * kPage);
    {
        // The smallest kept block that is large enough, whatever is asked.
        const LargeWorkMemory smaller(kPage + 1);
        EXPECT_EQ(smaller.Data(), first);
        EXPECT_EQ(smaller.Bytes(), kPage + 1);
        EXPECT_EQ(store.KeptBytes(), 0u);
        // Nothing kept fits: a new block.
        const LargeWorkMemory other(kPage);
        EXPECT_NE(other.Data(), first);
    }
    EXPECT_EQ(store.KeptBytes(), 4 * kPage);
    store.ReleaseKept();
    EXPECT_EQ(store.KeptBytes(), 0u);
}

TEST(LargeWorkMemoryTest, ALargerRequestFreesTheKeptBlocksTooSmallForIt)
{
    WorkMemoryStore store;
    const WorkMemoryStore::Scope scope(store);
    {
        const LargeWorkMemory a(kPage), b(2 * kPage);
    }
    EXPECT_EQ(store.KeptBytes(), 3 * kPage);
    {
        const LargeWorkMemory larger(5 * kPage);
        // A larger picture keeps no smaller picture's blocks beside its own.
        EXPECT_EQ(store.KeptBytes(), 0u);
    }
    EXPECT_EQ(store.KeptBytes(), 5 * kPage);
}

TEST(LargeWorkMemoryTest, OnlyTheStoresThreadWhileItsScopeLivesUsesIt)
{
    WorkMemoryStore store;
    {
        const WorkMemoryStore::Scope scope(store);
        // Another thread's blocks are its own.
        std::thread([] { const LargeWorkMemory elsewhere(kPage); }).join();
        EXPECT_EQ(store.KeptBytes(), 0u);
        { const LargeWorkMemory here(kPage); }
        EXPECT_EQ(store.KeptBytes(), kPage);
        // The bands of a call made here use it, on whichever thread they run.
        RunInRowBands(4, [](uint32_t, uint32_t) { const LargeWorkMemory inBand(kPage); }, 4);
        EXPECT_GE(store.KeptBytes(), kPage);
        EXPECT_LE(store.KeptBytes(), 4 * kPage);
    }
    store.ReleaseKept();
    { const LargeWorkMemory outside(kPage); }
    EXPECT_EQ(store.KeptBytes(), 0u);
    // A block taken from the store and moved keeps its way back to it.
    const WorkMemoryStore::Scope scope(store);
    LargeWorkMemory moved;
    moved = LargeWorkMemory(kPage);
    EXPECT_EQ(store.KeptBytes(), 0u);
    moved = LargeWorkMemory();
    EXPECT_EQ(store.KeptBytes(), kPage);
}
