#include "engine/core/CacheLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(CacheLockThreadTest, AWaiterGetsTheLockHoweverLongTheHolderKeepsItButTheHolderCannotTakeItTwice)
{
    FMutex mutex;
    std::atomic<bool> held{false};
    std::thread holder([&] {
        FCacheLock lock(mutex, "held");
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_THROW(FCacheLock(mutex, "again"), FExceptionPixelProc2);
    });
    while (!held)
        std::this_thread::yield();
    EXPECT_NO_THROW(FCacheLock(mutex, "waiter"));
    holder.join();
}
