// Threads around a develop-and-save job: it holds the engine lock for the
// whole job (another thread cannot take it while the job reports progress,
// and can once it has ended), while the embedded pictures of raw files are
// read on other threads at the same time without the lock.

#include "shell/facade/KVR_DevelopAndSave.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FPath.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "shell/facade/KVR_EngineLock.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "toolkit/CET_Dib.h"
#include "FacadeTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// Lets the job's first progress report wait until another thread has tried
// the engine lock, so the try falls inside the job.
struct LockProbe {
    std::promise<bool> tried;
    std::shared_future<bool> result = tried.get_future().share();
    std::thread tryer;

    static int Callback(int, void* user)
    {
        auto* probe = static_cast<LockProbe*>(user);
        if (!probe->tryer.joinable()) {
            probe->tryer = std::thread([probe] {
                const bool taken = LockEngine(0);
                if (taken)
                    UnlockEngine();
                probe->tried.set_value(taken);
            });
            probe->result.wait_for(10s);
        }
        return 1;
    }
};

} // namespace

TEST(FacadeJobsThreadTest, AJobHoldsTheEngineLockWhileEmbeddedPicturesAreReadBeside)
{
    InitStorageClasses();
    SetColorProfileProgramPath(BuildTreeProgramPath());
    const TempDir dir;
    WriteSyntheticRaw(dir.Path() / "shot.kvr", {});
    const FString raw = PathFromNative((dir.Path() / "shot.kvr").string());

    CSaveJob job;
    job.m_nSettingMode = 1;
    job.m_aInputs = {raw};
    job.m_aOutputs = {PathFromNative((dir.Path() / "shot.jpg").string())};
    LockProbe probe;
    std::atomic<bool> saving{true};
    std::vector<std::future<int>> readers;
    for (int i = 0; i < 3; ++i) {
        readers.push_back(std::async(std::launch::async, [&raw, &saving, i] {
            int pictures = 0;
            do {
                std::unique_ptr<CET_Dib> picture(
                    KVR_LoadEmbeddedImageToBitmap(raw.GetText(), i % 2 ? kEmbeddedPreview : kEmbeddedThumbnail,
                                                  nullptr, nullptr, 0));
                pictures += picture != nullptr;
            } while (saving);
            return pictures;
        }));
    }
    const int result = KVR_DevelopAndSave(&job, LockProbe::Callback, &probe, nullptr);
    saving = false;
    EXPECT_EQ(result, kSaveDone);
    ASSERT_TRUE(probe.tryer.joinable()) << "the job reported progress";
    probe.tryer.join();
    ASSERT_EQ(probe.result.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(probe.result.get()) << "the engine lock is held during the job";
    for (std::future<int>& reader : readers)
        EXPECT_GT(reader.get(), 0);

    EXPECT_FALSE(GetEngineLock().IsHeldByCallingThread());
    std::atomic<bool> free{false};
    std::thread([&free] {
        free = LockEngine(0);
        if (free)
            UnlockEngine();
    }).join();
    EXPECT_TRUE(free) << "and free afterwards";
}
