// The engine lock: tries, waits and time-outs between threads, its holder
// getting through again, the order of the application's locks, release on
// every way out of a scope, and several threads using the facade on the
// process-wide manager pool under it.

#include "shell/facade/KVR_EngineLock.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FPath.h"
#include "managers/FIPManagerPool.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_Manager.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "toolkit/CET_Dib.h"
#include "FacadeTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// Whether another thread can take the engine lock now (and gives it back).
bool FreeForAnotherThread()
{
    bool taken = false;
    std::thread([&taken] {
        taken = LockEngine(0);
        if (taken)
            UnlockEngine();
    }).join();
    return taken;
}

// A picture's header and bits as one comparable block.
std::vector<uint8_t> Bytes(const CET_Dib& picture)
{
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&picture.header->bmiHeader),
                               reinterpret_cast<const uint8_t*>(&picture.header->bmiHeader) + sizeof(BITMAPINFOHEADER));
    bytes.insert(bytes.end(), picture.bits, picture.bits + picture.size);
    return bytes;
}

} // namespace

TEST(EngineLockTest, AnotherThreadTriesWaitsAndTimesOutWhileItIsHeld)
{
    ASSERT_TRUE(LockEngine(kKVRWaitForever));
    EXPECT_FALSE(FreeForAnotherThread());

    const auto start = std::chrono::steady_clock::now();
    bool timedOut = false;
    std::thread([&timedOut] { timedOut = !LockEngine(50); }).join();
    EXPECT_TRUE(timedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);

    std::atomic<bool> waiting{false}, taken{false};
    std::thread waiter([&] {
        waiting = true;
        taken = LockEngine(kKVRWaitForever);
        UnlockEngine();
    });
    while (!waiting)
        std::this_thread::yield();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(taken);
    UnlockEngine();
    waiter.join();
    EXPECT_TRUE(taken);
    EXPECT_TRUE(FreeForAnotherThread());
}

TEST(EngineLockTest, ItsHolderGetsThroughAgainAndOnlyTheHolderReleasesIt)
{
    ASSERT_TRUE(LockEngine(kKVRWaitForever));
    EXPECT_TRUE(LockEngine(kKVRWaitForever)) << "a function taking the lock may be called under it";
    EXPECT_TRUE(LockEngine(0));
    EXPECT_TRUE(GetEngineLock().IsHeldByCallingThread());

    bool released = true;
    std::thread([&released] { released = GetEngineLock().Unlock(); }).join();
    EXPECT_FALSE(released) << "a thread that does not hold it cannot release it";

    UnlockEngine();
    UnlockEngine();
    EXPECT_FALSE(FreeForAnotherThread()) << "taken three times, released twice";
    UnlockEngine();
    EXPECT_FALSE(GetEngineLock().IsHeldByCallingThread());
    EXPECT_TRUE(FreeForAnotherThread());
    EXPECT_FALSE(GetEngineLock().Unlock());
}

TEST(EngineLockTest, TheApplicationsLocksAreTakenInTheirOrderOnly)
{
    KVROrderedLock shootingInfo(kLockRankShootingInfo), whiteBalanceList(kLockRankAdjustmentLists),
        colorModeList(kLockRankAdjustmentLists);

    // In order: shooting information, engine, lists (both list locks together too).
    ASSERT_TRUE(shootingInfo.Lock(kKVRWaitForever));
    ASSERT_TRUE(LockEngine(kKVRWaitForever));
    ASSERT_TRUE(whiteBalanceList.Lock(kKVRWaitForever));
    ASSERT_TRUE(colorModeList.Lock(kKVRWaitForever));
    colorModeList.Unlock();
    whiteBalanceList.Unlock();
    UnlockEngine();
    shootingInfo.Unlock();

    // A wait against the order is refused at once; a try cannot deadlock and is allowed.
    ASSERT_TRUE(whiteBalanceList.Lock(kKVRWaitForever));
    EXPECT_FALSE(LockEngine(kKVRWaitForever));
    EXPECT_FALSE(LockEngine(10));
    EXPECT_FALSE(GetEngineLock().IsHeldByCallingThread());
    EXPECT_TRUE(LockEngine(0));
    UnlockEngine();
    whiteBalanceList.Unlock();

    ASSERT_TRUE(LockEngine(kKVRWaitForever));
    EXPECT_FALSE(shootingInfo.Lock(kKVRWaitForever));
    UnlockEngine();
    EXPECT_TRUE(shootingInfo.Lock(kKVRWaitForever)) << "in order again once the engine lock is given back";
    shootingInfo.Unlock();
}

TEST(EngineLockTest, AScopeGivesTheLockBackOnEveryWayOut)
{
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"end of scope", [] { KVREngineLockScope lock; }},
        {"early return", [] {
             KVREngineLockScope lock;
             if (lock.IsLocked())
                 return;
             ADD_FAILURE() << "not locked";
         }},
        {"exception", [] {
             try {
                 KVREngineLockScope lock;
                 throw std::runtime_error("failure inside");
             } catch (const std::runtime_error&) {
             }
         }},
        {"nested", [] {
             KVREngineLockScope outer;
             KVREngineLockScope inner;
             EXPECT_TRUE(inner.IsLocked());
         }},
    };
    for (const auto& [name, way] : ways) {
        SCOPED_TRACE(name);
        way();
        EXPECT_FALSE(GetEngineLock().IsHeldByCallingThread());
        EXPECT_TRUE(FreeForAnotherThread());
    }
    // A try that finds the lock taken holds nothing afterwards.
    ASSERT_TRUE(LockEngine(kKVRWaitForever));
    bool locked = true;
    std::thread([&locked] {
        KVREngineLockScope tried(0);
        locked = tried.IsLocked();
    }).join();
    EXPECT_FALSE(locked);
    UnlockEngine();
    EXPECT_TRUE(FreeForAnotherThread());
}

class FacadeThreadsTest : public TempFileTest {
protected:
    static void SetUpTestSuite()
    {
        TempFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
        GetGlobalCache()->SetSizeLimit(kFacadeCacheLimit);
    }
    static void TearDownTestSuite()
    {
        SetIPManagerPoolSize(0);
        SetIPManagerPoolSize(4);
    }

    FString Write(const std::string& name)
    {
        if (!m_pShot)
            m_pShot = std::make_unique<SyntheticRaw>(MakeSyntheticRaw({}));
        m_pShot->file.WriteTo(PathOf(name));
        return PathFromNative(PathOf(name).string());
    }

    std::unique_ptr<SyntheticRaw> m_pShot;
};

TEST_F(FacadeThreadsTest, EveryWayOutOfADevelopmentLeavesTheLockFree)
{
    const FString path = Write("shot.kvr");
    const FString missing = PathFromNative(PathOf("missing.kvr").string());
    const auto develop = [](const FString& file, KVRProgressCallback callback) {
        KVREngineLockScope lock;
        std::unique_ptr<CET_Dib> picture(
            KVR_DevelopFileToBitmap(file.GetText(), kDevelopFull24, 4, nullptr, callback, nullptr, nullptr, nullptr));
        return picture != nullptr;
    };
    const KVRProgressCallback stop = [](int, void*) { return 0; };
    EXPECT_TRUE(develop(path, nullptr));
    EXPECT_TRUE(FreeForAnotherThread());
    EXPECT_FALSE(develop(missing, nullptr));
    EXPECT_TRUE(FreeForAnotherThread());
    EmptyTheCache(); // a cancel needs a development that takes its time
    develop(path, stop);
    EXPECT_TRUE(FreeForAnotherThread());
}

TEST_F(FacadeThreadsTest, ThreadsTakeTurnsOnThePoolUnderTheLockAndGetTheSamePictures)
{
    const FString shot = Write("shot.kvr");
    const FString settingsFile = Write("settings.kvr");
    CKVR_FilterData settings;
    settings.m_nExposure = 30;

    // What each kind of work gives on its own.
    const auto full = [&shot, &settings] {
        CKVR_FilterData copy = settings;
        KVREngineLockScope lock;
        return std::unique_ptr<CET_Dib>(
            KVR_DevelopFileToBitmap(shot.GetText(), kDevelopFull24, 2, &copy, nullptr, nullptr, nullptr, nullptr));
    };
    const auto thumbnail = [&shot] {
        KVREngineLockScope lock;
        return std::unique_ptr<CET_Dib>(
            KVR_DevelopFileToBitmap(shot.GetText(), kDevelopPreview94, 1, nullptr, nullptr, nullptr, nullptr, nullptr));
    };
    const std::unique_ptr<CET_Dib> fullAlone = full(), thumbnailAlone = thumbnail();
    ASSERT_NE(fullAlone, nullptr);
    ASSERT_NE(thumbnailAlone, nullptr);
    const std::vector<uint8_t> fullBytes = Bytes(*fullAlone), thumbnailBytes = Bytes(*thumbnailAlone);

    std::atomic<int> mismatches{0}, writesFailed{0}, triesTaken{0};
    std::atomic<bool> done{false};
    std::thread developer([&] {
        for (int i = 0; i < 2; ++i) {
            const auto picture = full();
            mismatches += !picture || Bytes(*picture) != fullBytes;
        }
    });
    std::thread browser([&] {
        for (int i = 0; i < 3; ++i) {
            const auto picture = thumbnail();
            mismatches += !picture || Bytes(*picture) != thumbnailBytes;
            KVREngineLockScope lock;
            CKVR_ImageHandle* handle = KVR_OpenHandle(settingsFile.GetText());
            KVR_SetContrast(handle, 0.1 * i);
            writesFailed += KVR_WriteProperties(handle) != 1;
            KVR_CloseHandle(handle);
        }
    });
    // The loupe: only tries, and skips its work when the lock is taken.
    std::thread loupe([&] {
        while (!done) {
            KVREngineLockScope tried(0);
            if (tried.IsLocked()) {
                ++triesTaken;
                CKVR_ImageHandle* handle = KVR_OpenHandle(shot.GetText());
                mismatches += handle == nullptr;
                KVR_CloseHandle(handle);
            }
            std::this_thread::sleep_for(5ms);
        }
    });
    developer.join();
    browser.join();
    done = true;
    loupe.join();

    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(writesFailed, 0);
    EXPECT_TRUE(FreeForAnotherThread());
    KVREngineLockScope lock;
    CKVR_ImageHandle* handle = KVR_OpenHandle(settingsFile.GetText());
    char contrast[32] = {};
    EXPECT_EQ(KVR_GetProperty(handle, "rpContrast", contrast, sizeof contrast), 1);
    EXPECT_STREQ(contrast, "0.2000");
    KVR_CloseHandle(handle);
}
