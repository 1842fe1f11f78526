#include "foundation/FMemoryAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "foundation/FException.h"

namespace {

TEST(FMemoryAllocatorThreadTest, HoldersShareOneAllocatorUntilTheLastRelease)
{
    ASSERT_EQ(GetMemoryAllocatorRefCount(), 0u);
    FIMemoryAllocator* first = AcquireMemoryAllocator();
    FIMemoryAllocator* second = AcquireMemoryAllocator([] { return false; });
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 2u);

    FIMemoryAllocator* stale = first;
    ReleaseMemoryAllocator(first);
    EXPECT_EQ(first, nullptr);
    // A holder releasing twice must not take the other holder's share.
    ReleaseMemoryAllocator(first);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 1u);
    void* block = second->Alloc(64);
    std::memset(block, 0xA5, 64);
    second->Free(block);

    ReleaseMemoryAllocator(second);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 0u);

    try {
        ReleaseMemoryAllocator(stale);
        ADD_FAILURE() << "a release without holders must throw";
    } catch (const FException& e) {
        EXPECT_STREQ(e.GetMessage(), "\nASSERTION FAILED\n\tFile:  FMemoryAllocator\n\tLine:  62\n"
                                     "\tTest:  staulMemoryAllocatorRefCount\n");
    }
    // Destructors release without throwing: the same failure is only reported.
    EXPECT_FALSE(ReleaseMemoryAllocatorNoThrow(stale));
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 0u);

    // A later acquisition creates a working allocator again.
    FIMemoryAllocator* again = AcquireMemoryAllocator();
    ASSERT_NE(again, nullptr);
    void* other = again->Alloc(16);
    again->Free(other);
    EXPECT_TRUE(ReleaseMemoryAllocatorNoThrow(again));
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 0u);
}

TEST(FMemoryAllocatorThreadTest, HeapBlocksAndRefusedSizes)
{
    FMemoryAllocator allocator;
    EXPECT_FALSE(allocator.DiscardWhenUnlocked());

    for (size_t size : {size_t(0), size_t(1), size_t(4096), size_t(3) << 20}) {
        uint8_t* block = static_cast<uint8_t*>(allocator.Alloc(size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(allocator.Lock(block), block);
        std::memset(block, 0x5A, size);
        allocator.Free(block);
    }
    allocator.Free(nullptr);

    for (size_t size : {SIZE_MAX, static_cast<size_t>(PTRDIFF_MAX) + 1}) {
        EXPECT_THROW(allocator.Alloc(size), std::bad_alloc) << size;
    }
}

TEST(FMemoryAllocatorThreadTest, ConcurrentHoldersKeepTheCountRight)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kRounds; ++i) {
                FIMemoryAllocator* allocator = AcquireMemoryAllocator();
                void* block = allocator->Alloc(32);
                std::memset(block, i & 0xFF, 32);
                allocator->Free(block);
                ReleaseMemoryAllocator(allocator);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(GetMemoryAllocatorRefCount(), 0u);
}

} // namespace
