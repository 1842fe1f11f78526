#include "foundation/FSync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Runs body on another thread and waits for it.
template <typename Body>
void OnOtherThread(Body body)
{
    std::thread other(body);
    other.join();
}

TEST(FSyncThreadTest, MutexRefusesItsHolderAndStaysHeldOnce)
{
    FMutex mutex;
    EXPECT_FALSE(mutex.Unlock()) << "free mutex";
    ASSERT_TRUE(mutex.Lock(0));
    EXPECT_FALSE(mutex.Lock(0));
    EXPECT_FALSE(mutex.Lock(FSYNC_INFINITE)) << "the holder must not wait for itself";
    EXPECT_FALSE(mutex.Lock(10));

    OnOtherThread([&] { EXPECT_FALSE(mutex.Lock(0)); });
    ASSERT_TRUE(mutex.Unlock());
    // One unlock frees it, although the holder asked three more times.
    OnOtherThread([&] {
        EXPECT_TRUE(mutex.Lock(0));
        EXPECT_TRUE(mutex.Unlock());
    });
    EXPECT_FALSE(mutex.Unlock());
}

TEST(FSyncThreadTest, MutexUnlockByAnotherThreadChangesNothing)
{
    FMutex mutex;
    ASSERT_TRUE(mutex.Lock(0));
    OnOtherThread([&] {
        EXPECT_FALSE(mutex.Unlock());
        EXPECT_FALSE(mutex.Lock(0)) << "still held by its holder";
    });
    EXPECT_TRUE(mutex.Unlock());
}

TEST(FSyncThreadTest, MutexWaitersTimeOutOrGetItAfterTheUnlock)
{
    FMutex mutex;
    FEvent tried;
    std::atomic<bool> unlocked{false};
    ASSERT_TRUE(mutex.Lock(0));
    std::thread waiter([&] {
        EXPECT_FALSE(mutex.Lock(0));
        EXPECT_FALSE(mutex.Lock(5));
        tried.Set();
        EXPECT_TRUE(mutex.Lock(FSYNC_INFINITE));
        EXPECT_TRUE(unlocked);
        EXPECT_TRUE(mutex.Unlock());
    });
    EXPECT_TRUE(tried.Wait(FSYNC_INFINITE));
    unlocked = true;
    EXPECT_TRUE(mutex.Unlock());
    waiter.join();
}

TEST(FSyncThreadTest, MutexWaitNestsLikeTheSystemMutex)
{
    FMutex mutex;
    ASSERT_TRUE(mutex.Wait(0));
    ASSERT_TRUE(mutex.Wait(0));
    EXPECT_TRUE(mutex.Unlock());
    OnOtherThread([&] { EXPECT_FALSE(mutex.Lock(0)); });
    EXPECT_TRUE(mutex.Unlock());
    OnOtherThread([&] {
        EXPECT_TRUE(mutex.Lock(0));
        EXPECT_TRUE(mutex.Unlock());
    });
}

TEST(FSyncThreadTest, EventResetsWhenAWaitTakesIt)
{
    FEvent event;
    EXPECT_FALSE(event.Wait(0)) << "not signalled at creation";
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));

    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(5)) << "signals do not count up";

    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

// The woken thread often owns the object and deletes it at once: the thread
// that woke it must not touch it any more by then.
TEST(FSyncThreadTest, WokenWaiterMayDestroyTheObjectAtOnce)
{
    for (int round = 0; round < 200; ++round) {
        auto* event = new FEvent;
        std::thread setter([event] { event->Set(); });
        EXPECT_TRUE(event->Wait(FSYNC_INFINITE));
        delete event;
        setter.join();

        auto* mutex = new FMutex;
        FEvent locked;
        std::thread holder([mutex, &locked] {
            EXPECT_TRUE(mutex->Lock(0));
            locked.Set();
            EXPECT_TRUE(mutex->Unlock());
        });
        EXPECT_TRUE(locked.Wait(FSYNC_INFINITE));
        EXPECT_TRUE(mutex->Lock(FSYNC_INFINITE));
        EXPECT_TRUE(mutex->Unlock());
        delete mutex;
        holder.join();
    }
}

TEST(FSyncThreadTest, CriticalSectionIsRecursiveAndExclusive)
{
    FCriticalSection section;
    int counter = 0; // guarded by section only
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                FCriticalSectionLock outer(section);
                section.Enter();
                ++counter;
                section.Leave();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 8000);
}

TEST(FSyncThreadTest, CriticalSectionLeaveByAnotherThreadIsRefused)
{
    FCriticalSection section;
    FEvent tried;
    std::atomic<bool> holderLeaving{false};
    section.Enter();
    std::thread other([&] {
        section.Leave();
        tried.Set();
        section.Enter();
        EXPECT_TRUE(holderLeaving) << "entered while the holder still held the section";
        section.Leave();
    });
    EXPECT_TRUE(tried.Wait(FSYNC_INFINITE));
    for (int i = 0; i < 1000; ++i)
        std::this_thread::yield();
    holderLeaving = true;
    section.Leave();
    other.join();
}

} // namespace
