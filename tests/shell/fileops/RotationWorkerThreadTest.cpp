// The rotation worker on its own thread while the user-interface thread goes
// on using what the worker shares with it: the shooting-information cache (the
// browser reads records while the worker renews them), the thumbnail pane's
// item updates, and the progress dialog's messages and cancel flag (the
// dialog cancels while the worker runs).

#include "shell/fileops/RotationWorker.h"

#include "shell/facade/FacadeFileTestSupport.h"
#include "FileOpsTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>

using namespace testsupport;

namespace {

// The dialog: messages posted by the worker, a cancel flag set by the user.
class DialogProgress : public IRotationProgress {
public:
    void SetProgress(int percent) override { Post(percent, false); }
    void PostProgress(int percent, bool finished) override { Post(percent, finished); }
    bool IsCancelled() override { return cancelled.load(); }

    // Waits until the worker has posted at least count messages.
    void WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> hold(m_Lock);
        m_Posted.wait(hold, [&] { return m_Messages.size() >= count; });
    }
    std::vector<std::pair<int, bool>> Messages()
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        return m_Messages;
    }

    std::atomic<bool> cancelled{false};

private:
    void Post(int percent, bool finished)
    {
        {
            std::lock_guard<std::mutex> hold(m_Lock);
            m_Messages.push_back({percent, finished});
        }
        m_Posted.notify_all();
    }
    std::mutex m_Lock;
    std::condition_variable m_Posted;
    std::vector<std::pair<int, bool>> m_Messages;
};

class RotationWorkerThreadTest : public FileOpsFolderTest {};

TEST_F(RotationWorkerThreadTest, TheBrowserReadsRecordsWhileTheWorkerTurnsFiles)
{
    RecordCache cache;
    RecordingPane pane;
    DialogProgress progress;
    CRotationJob job;
    for (int i = 0; i < 6; ++i)
        job.sources.push_back(i % 2 ? Raw("r" + std::to_string(i) + ".kvr") : Jpeg("j" + std::to_string(i) + ".jpg", true));
    job.destinations = job.sources;
    job.progress = &progress;
    job.pane = &pane;
    job.cache = &cache;
    Protect(job.sources[1], true);

    std::thread worker([&job] { RotateThreadProc(&job); });
    // Meanwhile the browser repaints: it reads every file's record again and again.
    for (int round = 0; round < 20; ++round)
        for (const FString& path : job.sources) {
            CTLM_Exif record;
            cache.GetExif(path, &record);
        }
    worker.join();

    ASSERT_EQ(job.done.size(), job.sources.size());
    EXPECT_EQ(progress.Messages().back(), std::make_pair(100, true));
    EXPECT_EQ(pane.Calls().size(), job.sources.size());
    EXPECT_TRUE(IsProtected(job.sources[1]));
    EXPECT_EQ(FileProperty(job.sources[1], "ROTATION"), "90");
}

TEST_F(RotationWorkerThreadTest, ACancelFromTheDialogStopsTheWorkerAfterTheFileInHand)
{
    RecordCache cache;
    DialogProgress progress;
    CRotationJob job;
    for (int i = 0; i < 8; ++i)
        job.sources.push_back(Raw("r" + std::to_string(i) + ".kvr"));
    job.destinations = job.sources;
    job.progress = &progress;
    job.cache = &cache;

    std::thread worker([&job] { RotateThreadProc(&job); });
    progress.WaitFor(2); // the start value and the first file
    progress.cancelled = true;
    worker.join();

    const std::vector<std::pair<int, bool>> messages = progress.Messages();
    EXPECT_EQ(messages.back(), std::make_pair(100, true));
    // One progress message per file turned, then the finishing one.
    EXPECT_EQ(messages.size(), job.done.size() + 2);
    EXPECT_LT(job.done.size(), job.sources.size());
    for (size_t i = 0; i < job.sources.size(); ++i)
        EXPECT_EQ(FileProperty(job.sources[i], "ROTATION"), i < job.done.size() ? "90" : "0") << i;
}

} // namespace
