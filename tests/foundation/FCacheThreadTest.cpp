#include "foundation/FCache.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/CacheTestAllocator.h"

namespace {

constexpr int kThreads = 6;
constexpr int kKeys = 12;

std::atomic<uint64_t> g_ReleaseCalls{0};
// Evictions per private label "t<thread>-<key>".
std::atomic<uint32_t> g_PrivateEvictions[kThreads][kKeys];

void CountRelease(FICacheObject* entry)
{
    ++g_ReleaseCalls;
    const FString wide = entry->GetLabel();
    std::string label;
    for (char16_t unit : wide.View())
        label += static_cast<char>(unit);
    int thread = 0;
    int key = 0;
    if (std::sscanf(label.c_str(), "t%d-%d", &thread, &key) == 2)
        ++g_PrivateEvictions[thread][key];
}

// Blocks of private labels carry a pattern that only their thread writes; it
// must survive every other thread's allocations and evictions.
void FillPattern(FICacheObject* entry, uint8_t seed)
{
    std::memset(entry->GetData(), seed, entry->GetSize());
}

bool HasPattern(FICacheObject* entry, uint8_t seed)
{
    const auto* bytes = static_cast<const uint8_t*>(entry->GetData());
    for (uint32_t i = 0; i < entry->GetSize(); ++i) {
        if (bytes[i] != seed)
            return false;
    }
    return true;
}

// Many threads allocate, look up, lock, unlock and evict at once while the
// limit changes under them. Every entry is called back exactly once, every
// block comes back to the allocator, and private data is never disturbed.
TEST(FCacheThreadTest, ConcurrentUseKeepsEntriesAndAccountingConsistent)
{
    g_ReleaseCalls = 0;
    testsupport::CacheTestAllocator allocator;
    auto cache = std::make_unique<FCache>(&allocator);
    ASSERT_TRUE(cache->SetSizeLimit(64 * 1024));

    constexpr int kIterations = 1500;
    for (auto& row : g_PrivateEvictions)
        for (auto& count : row)
            count = 0;
    std::atomic<int> corrupted{0};
    std::atomic<int> refused{0};
    std::atomic<bool> stop{false};

    auto worker = [&](int id) {
        std::mt19937 random(static_cast<uint32_t>(id) * 7919u + 1u);
        const uint32_t sizes[] = {64, 500, 2000, 6000};
        // What this thread left in each private entry at its last unlock.
        void* lastBlock[kKeys] = {};
        uint32_t evictionsAtUnlock[kKeys] = {};
        for (int i = 0; i < kIterations; ++i) {
            const bool privateLabel = random() % 2 == 0;
            const int key = static_cast<int>(random() % kKeys);
            const std::string label = privateLabel ? "t" + std::to_string(id) + "-" + std::to_string(key)
                                                   : "shared-" + std::to_string(key);
            const uint32_t size = sizes[key % 4];
            FICacheObject* entry = cache->Allocate(label.c_str(), size);
            if (!entry) {
                ++refused;
                continue;
            }
            entry->SetReleaseCallback(CountRelease);
            entry->SetPriority(random() % 4);
            if (entry->GetSize() != size)
                ++corrupted;
            if (privateLabel) {
                // Not evicted since the last unlock and at the same place: it
                // is the entry this thread filled, so its bytes are intact. (A
                // new entry made while the old block is not yet freed lies
                // elsewhere.)
                const uint8_t seed = static_cast<uint8_t>(id * 16 + key);
                const bool same = entry->GetData() == lastBlock[key] &&
                                  g_PrivateEvictions[id][key].load() == evictionsAtUnlock[key];
                if (same && !HasPattern(entry, seed))
                    ++corrupted;
                FillPattern(entry, seed);
                lastBlock[key] = entry->GetData();
                evictionsAtUnlock[key] = g_PrivateEvictions[id][key].load();
            }
            if (random() % 3 == 0) {
                entry->Lock();
                entry->Unlock();
            }
            if (random() % 8 == 0)
                (void)cache->Contains(label.c_str(), 0);
            if (random() % 16 == 0)
                (void)cache->GetLabels();
            entry->Unlock();
        }
    };
    auto limitChanger = [&] {
        const uint32_t limits[] = {16 * 1024, 64 * 1024, 4 * 1024, 128 * 1024};
        for (int i = 0; !stop; ++i) {
            (void)cache->SetSizeLimit(limits[i % 4]);
            std::this_thread::yield();
        }
        (void)cache->SetSizeLimit(64 * 1024);
    };

    std::thread changer(limitChanger);
    std::vector<std::thread> workers;
    for (int id = 0; id < kThreads; ++id)
        workers.emplace_back(worker, id);
    for (std::thread& t : workers)
        t.join();
    stop = true;
    changer.join();

    EXPECT_EQ(corrupted.load(), 0);
    EXPECT_LT(refused.load(), kThreads * kIterations);
    // Everything is unlocked again, so the cache is within its limit.
    EXPECT_LE(cache->GetUsedBytes(), cache->GetSizeLimit());

    EXPECT_TRUE(cache->SetSizeLimit(0));
    EXPECT_EQ(cache->GetUsedBytes(), 0u);
    EXPECT_EQ(allocator.LiveBlocks(), 0u);
    EXPECT_EQ(allocator.Allocs(), allocator.Frees());
    EXPECT_EQ(g_ReleaseCalls.load(), allocator.Frees());
    cache.reset();
}

// A release callback that waits for another thread using the cache: it would
// deadlock if callbacks ran under one of the cache's locks. Eviction comes
// from each of its three paths: an allocation, a last unlock and a new limit.
TEST(FCacheThreadTest, CallbacksMayWaitForOtherThreadsUsingTheCache)
{
    static FCache* s_Cache;
    static std::atomic<int> s_Calls;
    FCache cache;
    s_Cache = &cache;
    s_Calls = 0;
    ASSERT_TRUE(cache.SetSizeLimit(1000));

    const FCacheCallback waitForHelper = [](FICacheObject*) {
        std::thread helper([] {
            FICacheObject* other = s_Cache->Allocate("helper", 10);
            if (other)
                other->Unlock();
            (void)s_Cache->Contains("helper", 0);
            (void)s_Cache->GetLabels();
        });
        helper.join();
        ++s_Calls;
    };

    // 1. An allocation that needs the room.
    FICacheObject* victim = cache.Allocate("victim", 800);
    ASSERT_NE(victim, nullptr);
    victim->SetReleaseCallback(waitForHelper);
    victim->Unlock();
    FICacheObject* taker = cache.Allocate("taker", 800);
    ASSERT_NE(taker, nullptr);
    EXPECT_EQ(s_Calls.load(), 1);

    // 2. The last unlock of an entry that no longer fits under a lowered limit.
    taker->SetReleaseCallback(waitForHelper);
    taker->Lock();
    EXPECT_FALSE(cache.SetSizeLimit(100));
    taker->Unlock();
    taker->Unlock();
    EXPECT_EQ(s_Calls.load(), 2);
    EXPECT_FALSE(cache.Contains("taker", 0));

    // 3. A new limit.
    ASSERT_TRUE(cache.SetSizeLimit(1000));
    FICacheObject* last = cache.Allocate("last", 10);
    ASSERT_NE(last, nullptr);
    last->SetReleaseCallback(waitForHelper);
    last->Unlock();
    EXPECT_TRUE(cache.SetSizeLimit(0));
    EXPECT_EQ(s_Calls.load(), 3);
}

// While the thread that takes the first lock of a moved block re-maps it in the
// moved callback, a second thread locking the same entry waits until it is done.
TEST(FCacheThreadTest, ASecondLockerWaitsForTheMovedCallback)
{
    static std::atomic<bool> s_InCallback;
    static std::atomic<bool> s_ReleaseCallback;
    static std::atomic<bool> s_Remapped;
    s_InCallback = false;
    s_ReleaseCallback = false;
    s_Remapped = false;

    testsupport::CacheTestAllocator allocator;
    FCache cache(&allocator);
    FICacheObject* entry = cache.Allocate("moving", 32);
    ASSERT_NE(entry, nullptr);
    entry->SetMovedCallback([](FICacheObject*) {
        s_InCallback = true;
        while (!s_ReleaseCallback)
            std::this_thread::yield();
        s_Remapped = true;
    });
    entry->Unlock();
    allocator.SetMove(true);

    std::thread first([&] { entry->Lock(); });
    while (!s_InCallback)
        std::this_thread::yield();
    allocator.SetMove(false);

    std::atomic<bool> secondDone{false};
    bool secondSawRemap = false;
    std::thread second([&] {
        entry->Lock();
        secondSawRemap = s_Remapped;
        secondDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(secondDone.load());
    s_ReleaseCallback = true;
    first.join();
    second.join();
    EXPECT_TRUE(secondSawRemap);

    entry->Unlock();
    entry->Unlock();
    EXPECT_TRUE(cache.SetSizeLimit(0));
    EXPECT_EQ(allocator.LiveBlocks(), 0u);
}

} // namespace
