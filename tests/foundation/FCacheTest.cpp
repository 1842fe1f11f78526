#include "foundation/FCache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/CacheTestAllocator.h"

namespace {

constexpr uint64_t kOverhead = FCache::kEntryOverhead;

// Labels of released entries, in the order their release callbacks ran.
std::vector<std::string> g_Released;

std::string Narrow(const FString& text)
{
    std::string out;
    for (char16_t unit : text.View())
        out += static_cast<char>(unit);
    return out;
}

void RecordRelease(FICacheObject* entry)
{
    g_Released.push_back(Narrow(entry->GetLabel()));
}

std::vector<std::string> Labels(FCache& cache)
{
    std::vector<std::string> out;
    for (const FString& label : cache.GetLabels())
        out.push_back(Narrow(label));
    return out;
}

class FCacheTest : public ::testing::Test {
protected:
    void SetUp() override { g_Released.clear(); }

    // A new unlocked entry that records its release.
    void AddUnlocked(const char* label, uint64_t size, uint32_t priority)
    {
        FICacheObject* entry = m_Cache.Allocate(label, size);
        ASSERT_NE(entry, nullptr) << label;
        entry->SetPriority(priority);
        entry->SetReleaseCallback(RecordRelease);
        entry->Unlock();
    }

    FCache m_Cache;
};

TEST_F(FCacheTest, NewCacheHasTheDefaultLimitAndTheGlobalCacheIsOne)
{
    EXPECT_EQ(m_Cache.GetSizeLimit(), 0x7800000u);
    EXPECT_EQ(m_Cache.GetUsedBytes(), 0u);
    ASSERT_NE(GetGlobalCache(), nullptr);
    EXPECT_EQ(GetGlobalCache(), GetGlobalCache());
}

// The limit is exclusive for a single request, eviction makes room only from
// unlocked entries, and an unlocked entry stays cached while it fits.
TEST_F(FCacheTest, RequestsAboveTheLimitAreRefusedAndLockedEntriesAreKept)
{
    const uint32_t holders = GetMemoryAllocatorRefCount();
    ASSERT_TRUE(m_Cache.SetSizeLimit(1000));

    FICacheObject* a = m_Cache.Allocate("a", 900);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetSize(), 900u);
    EXPECT_NE(a->GetData(), nullptr);
    std::memset(a->GetData(), 0xAB, 900);
    a->SetReleaseCallback(RecordRelease);
    EXPECT_EQ(m_Cache.GetUsedBytes(), 900 + kOverhead);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders + 1);

    EXPECT_EQ(m_Cache.Allocate("big", 944), nullptr); // 944 + 56 is not below 1000
    EXPECT_EQ(m_Cache.Allocate("b", 943), nullptr);   // would fit only without "a", which is locked
    EXPECT_TRUE(g_Released.empty());

    a->Unlock();
    EXPECT_TRUE(m_Cache.Contains("a", 900));
    EXPECT_TRUE(g_Released.empty());

    FICacheObject* b = m_Cache.Allocate("b", 943);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(g_Released, std::vector<std::string>{"a"});
    EXPECT_FALSE(m_Cache.Contains("a", 0));
    EXPECT_EQ(m_Cache.GetUsedBytes(), 943 + kOverhead);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders + 1);

    b->Unlock();
    EXPECT_TRUE(m_Cache.SetSizeLimit(0));
    EXPECT_EQ(m_Cache.GetUsedBytes(), 0u);
    EXPECT_EQ(GetMemoryAllocatorRefCount(), holders);
}

// Sizes whose bookkeeping would wrap a 32-bit sum, or that do not fit in 32
// bits at all, must be refused and must not evict anything.
TEST_F(FCacheTest, OversizedRequestsAreRefusedWithoutEvicting)
{
    ASSERT_TRUE(m_Cache.SetSizeLimit(1000));
    AddUnlocked("keep", 10, 0);
    const uint64_t refused[] = {
        944,
        1000,
        0xFFFFFFFFull,
        0xFFFFFFFFull - 55, // + 56 wraps to 0 in 32 bits
        0x100000000ull + 8, // 8 after truncation to 32 bits
        UINT64_MAX,
        UINT64_MAX - 55,
    };
    for (uint64_t size : refused) {
        EXPECT_EQ(m_Cache.Allocate("huge", size), nullptr) << size;
        EXPECT_FALSE(m_Cache.Contains("huge", 0)) << size;
    }
    EXPECT_TRUE(m_Cache.Contains("keep", 10));
    EXPECT_TRUE(g_Released.empty());

    // The same holds at the largest limit.
    ASSERT_TRUE(m_Cache.SetSizeLimit(0xFFFFFFFF));
    for (uint64_t size : {uint64_t{0xFFFFFFFFull - 56}, uint64_t{0x100000000ull + 8}, uint64_t{UINT64_MAX - 55}})
        EXPECT_EQ(m_Cache.Allocate("huge", size), nullptr) << size;
    EXPECT_TRUE(m_Cache.Contains("keep", 10));
}

// When locked entries keep the request from fitting, nothing is evicted for it.
TEST_F(FCacheTest, ARefusedRequestLeavesTheCacheUnchanged)
{
    ASSERT_TRUE(m_Cache.SetSizeLimit(1000));
    AddUnlocked("unlocked", 300, 0);
    FICacheObject* locked = m_Cache.Allocate("locked", 300);
    ASSERT_NE(locked, nullptr);

    EXPECT_EQ(m_Cache.Allocate("wide", 700), nullptr);
    EXPECT_TRUE(m_Cache.Contains("unlocked", 300));
    EXPECT_TRUE(g_Released.empty());

    FICacheObject* fits = m_Cache.Allocate("fits", 500);
    ASSERT_NE(fits, nullptr);
    EXPECT_EQ(g_Released, std::vector<std::string>{"unlocked"});
    fits->Unlock();
    locked->Unlock();
}

TEST_F(FCacheTest, EvictionTakesLowestPriorityFirstAndNeverTheTopPriority)
{
    ASSERT_TRUE(m_Cache.SetSizeLimit(100000));
    AddUnlocked("p5", 100, 5);
    AddUnlocked("p3-first", 100, 3);
    AddUnlocked("p3-second", 100, 3);
    AddUnlocked("pinned", 100, 0xFFFFFFFF);

    ASSERT_TRUE(m_Cache.EvictOne());
    ASSERT_TRUE(m_Cache.EvictOne());
    ASSERT_TRUE(m_Cache.EvictOne());
    EXPECT_FALSE(m_Cache.EvictOne());
    EXPECT_EQ(g_Released, (std::vector<std::string>{"p3-first", "p3-second", "p5"}));

    EXPECT_FALSE(m_Cache.SetSizeLimit(0));
    EXPECT_EQ(Labels(m_Cache), std::vector<std::string>{"pinned"});

    // Made evictable again, it goes.
    FICacheObject* pinned = m_Cache.Allocate("pinned", 0);
    ASSERT_NE(pinned, nullptr);
    pinned->SetPriority(1);
    pinned->Unlock();
    EXPECT_EQ(m_Cache.GetUsedBytes(), 0u);
}

TEST_F(FCacheTest, LookupMatchesLabelAndSize)
{
    EXPECT_EQ(m_Cache.Allocate("x", 0), nullptr);
    EXPECT_FALSE(m_Cache.Contains("x", 0));

    FICacheObject* first = m_Cache.Allocate("a", 200);
    ASSERT_NE(first, nullptr);
    first->Unlock();
    FICacheObject* second = m_Cache.Allocate("a", 100);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    second->Unlock();
    EXPECT_EQ(Labels(m_Cache), (std::vector<std::string>{"a", "a"}));

    const struct {
        const char* label;
        uint64_t size;
        FICacheObject* expected;
    } cases[] = {
        {"a", 0, first}, {"a", 200, first}, {"a", 100, second}, {"a", 150, nullptr}, {"A", 0, nullptr},
        {"a ", 0, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m_Cache.Contains(c.label, c.size), c.expected != nullptr) << c.label << " " << c.size;
        // A size that does not match creates a new entry; only size 0 is a pure look-up.
        if (c.expected == nullptr)
            continue;
        FICacheObject* found = m_Cache.Allocate(c.label, c.size);
        EXPECT_EQ(found, c.expected) << c.label << " " << c.size;
        if (found)
            found->Unlock();
    }
    EXPECT_EQ(Labels(m_Cache).size(), 2u);

    // Relabelling takes effect for look-ups.
    FICacheObject* relabel = m_Cache.Allocate("a", 100);
    ASSERT_NE(relabel, nullptr);
    relabel->SetLabel(u"b\u00e9");
    EXPECT_EQ(relabel->GetLabel(), FString(u"b\u00e9"));
    relabel->Unlock();
    EXPECT_TRUE(m_Cache.Contains(u"b\u00e9", 100));
    EXPECT_FALSE(m_Cache.Contains("a", 100));
}

TEST_F(FCacheTest, LockCountsNeverGoBelowZero)
{
    FICacheObject* entry = m_Cache.Allocate("e", 10);
    ASSERT_NE(entry, nullptr);
    entry->Lock(); // two locks now
    entry->Unlock();
    entry->Unlock();
    entry->Unlock(); // already 0: stays 0

    // One lock must now pin it; had the count gone to -1, this lock would leave it evictable.
    entry->Lock();
    EXPECT_FALSE(m_Cache.SetSizeLimit(0));
    EXPECT_TRUE(m_Cache.Contains("e", 10));
    EXPECT_EQ(m_Cache.GetUsedBytes(), 10 + kOverhead);
    entry->Unlock();
    EXPECT_FALSE(m_Cache.Contains("e", 10));
}

// Release callbacks run without the cache's locks, so they may use the cache.
TEST_F(FCacheTest, ReleaseCallbacksMayCallBackIntoTheCache)
{
    static FCache* s_Cache;
    static std::vector<std::string> s_Seen;
    s_Cache = &m_Cache;
    s_Seen.clear();
    ASSERT_TRUE(m_Cache.SetSizeLimit(1000));

    FICacheObject* parent = m_Cache.Allocate("parent", 400);
    ASSERT_NE(parent, nullptr);
    parent->SetReleaseCallback([](FICacheObject* entry) {
        // The entry is already out of the list, its block still valid.
        s_Seen.push_back(s_Cache->Contains("parent", 0) ? "listed" : "unlisted");
        static_cast<char*>(entry->GetData())[399] = 1;
        FICacheObject* child = s_Cache->Allocate("child", 100);
        s_Seen.push_back(child ? "child" : "no child");
        if (child)
            child->Unlock();
        s_Seen.push_back(std::to_string(s_Cache->GetLabels().GetCount()));
    });
    parent->Unlock();

    FICacheObject* next = m_Cache.Allocate("next", 500); // evicts "parent"
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(s_Seen, (std::vector<std::string>{"unlisted", "child", "1"}));
    EXPECT_EQ(Labels(m_Cache), (std::vector<std::string>{"child", "next"}));
    next->Unlock();
}

TEST_F(FCacheTest, DestroyingTheCacheReleasesUnlockedEntries)
{
    {
        FCache cache;
        FICacheObject* entry = cache.Allocate("gone", 64);
        ASSERT_NE(entry, nullptr);
        entry->SetReleaseCallback(RecordRelease);
        entry->Unlock();
    }
    EXPECT_EQ(g_Released, std::vector<std::string>{"gone"});
}

TEST_F(FCacheTest, AllocationFailureLeavesNoEntry)
{
    testsupport::CacheTestAllocator allocator;
    FCache cache(&allocator);
    allocator.SetFail(true);
    EXPECT_EQ(cache.Allocate("fails", 100), nullptr);
    EXPECT_FALSE(cache.Contains("fails", 0));
    EXPECT_EQ(cache.GetUsedBytes(), 0u);

    allocator.SetFail(false);
    FICacheObject* entry = cache.Allocate("fails", 100);
    ASSERT_NE(entry, nullptr);
    entry->Unlock();
    EXPECT_TRUE(cache.SetSizeLimit(0));
    EXPECT_EQ(allocator.Allocs(), allocator.Frees());
}

TEST_F(FCacheTest, AnAllocatorThatDiscardsFreesEntriesAtTheirLastUnlock)
{
    testsupport::CacheTestAllocator allocator;
    allocator.SetDiscard(true);
    FCache cache(&allocator);
    FICacheObject* entry = cache.Allocate("short-lived", 32);
    ASSERT_NE(entry, nullptr);
    entry->SetReleaseCallback(RecordRelease);
    entry->Lock();
    entry->Unlock();
    EXPECT_TRUE(cache.Contains("short-lived", 32));
    entry->Unlock();
    EXPECT_FALSE(cache.Contains("short-lived", 32));
    EXPECT_EQ(g_Released, std::vector<std::string>{"short-lived"});
    EXPECT_EQ(allocator.LiveBlocks(), 0u);
}

// A block that moved while unlocked is reported to its moved callback before
// the next lock is used, and before its release callback when evicted.
TEST_F(FCacheTest, MovedBlocksAreReportedBeforeUse)
{
    static std::vector<std::pair<std::string, uint8_t>> s_Calls;
    s_Calls.clear();
    testsupport::CacheTestAllocator allocator;
    FCache cache(&allocator);

    FICacheObject* entry = cache.Allocate("movable", 16);
    ASSERT_NE(entry, nullptr);
    std::memset(entry->GetData(), 7, 16);
    entry->SetMovedCallback(
        [](FICacheObject* e) { s_Calls.push_back({"moved", static_cast<uint8_t*>(e->GetData())[15]}); });
    entry->SetReleaseCallback(
        [](FICacheObject* e) { s_Calls.push_back({"release", static_cast<uint8_t*>(e->GetData())[15]}); });

    allocator.SetMove(true);
    entry->Lock(); // still locked: a locked block does not move
    EXPECT_TRUE(s_Calls.empty());
    entry->Unlock();
    entry->Unlock();

    entry = cache.Allocate("movable", 16);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(s_Calls.size(), 1u);
    EXPECT_EQ(s_Calls[0].first, "moved");
    EXPECT_EQ(s_Calls[0].second, 7);
    entry->Unlock();

    EXPECT_TRUE(cache.SetSizeLimit(0));
    ASSERT_EQ(s_Calls.size(), 3u);
    EXPECT_EQ(s_Calls[1].first, "moved");
    EXPECT_EQ(s_Calls[2].first, "release");
    EXPECT_EQ(s_Calls[2].second, 7);
    EXPECT_EQ(allocator.LiveBlocks(), 0u);
}

} // namespace
