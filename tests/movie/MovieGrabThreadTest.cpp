// The grab on a thread of its own: it answers at once, then tells the owner
// window exactly once how it ended, whether it finished, failed or was
// cancelled, and its thread is waited for before the object goes.
#include "movie/CTMDirectImageBase.h"
#include "MovieTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <memory>

namespace {

using namespace movietest;

// Opens the cancel flag to the tests.
struct Grabber : CTMDirectImageBase {
    LONG CancelFlag() const { return m_bThumbnailCancel.load(); }
    void RequestCancel() { m_bThumbnailCancel.store(1); }
};

class MovieGrabThreadTest : public MovieTest {
protected:
    void SetUp() override
    {
        MovieShape shape;
        shape.frames = 20;
        m_Movie = Write("m.avi", shape);
    }
    void Ask(CTMThumbnailData& record, const std::filesystem::path& movie, int64_t time)
    {
        SetFileName(record, movie);
        record.llTime = time;
        record.pOwnerWnd = TestOwner();
    }
    // Waits for the grab's message; then, with its thread waited for, no
    // other may follow.
    PostedMessage OnlyMessage(Grabber& grab)
    {
        const auto first = m_Posted.WaitFor(1);
        grab.ThumbnailCancel();
        const auto all = m_Posted.Taken();
        EXPECT_EQ(first.size(), 1u);
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? PostedMessage{} : all[0];
    }

    std::filesystem::path m_Movie;
    PostedMessages m_Posted;
};

TEST_F(MovieGrabThreadTest, AFinishedGrabPostsOneNotifyAndLeavesThePicture)
{
    Grabber grab;
    CTMThumbnailData record;
    Ask(record, m_Movie, Seconds(1));
    record.nSeekFormat = 1;
    ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 1), 0);
    const PostedMessage message = OnlyMessage(grab);
    EXPECT_EQ(message.owner, TestOwner());
    EXPECT_EQ(message.message, WM_TM_GRAPHNOTIFY);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(record.nSeekFormat, 5) << "grabs seek in media time";
    ASSERT_EQ(record.dwBitsSize, 230400u);
    EXPECT_EQ(FrameShown(record), 10);

    // The finished thread is no longer taken for a running one.
    m_Posted.Clear();
    CTMThumbnailData again;
    Ask(again, m_Movie, 0);
    ASSERT_EQ(grab.GetTimeThumbnailImage(&again, 1), 0);
    EXPECT_EQ(OnlyMessage(grab).message, WM_TM_GRAPHNOTIFY);
    EXPECT_EQ(FrameShown(again), 0);
}

TEST_F(MovieGrabThreadTest, FailuresAndCancelsPostOneBreak)
{
    {
        Grabber grab;
        CTMThumbnailData record;
        Ask(record, PathOf("missing.avi"), 0);
        ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 1), 0);
        const PostedMessage message = OnlyMessage(grab);
        EXPECT_EQ(message.message, WM_TM_THUMBNAILBREAK);
        EXPECT_EQ(message.lParam, AVERROR(ENOENT));
    }
    {
        // A cancel asked before the grab stops it at its first checkpoint.
        m_Posted.Clear();
        Grabber grab;
        CTMThumbnailData record;
        Ask(record, m_Movie, 0);
        grab.RequestCancel();
        ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 1), 0);
        const PostedMessage message = OnlyMessage(grab);
        EXPECT_EQ(message.message, WM_TM_THUMBNAILBREAK);
        EXPECT_EQ(message.lParam, 0);
        EXPECT_EQ(record.pBits, nullptr);
        EXPECT_EQ(grab.CancelFlag(), 0);
    }
}

TEST_F(MovieGrabThreadTest, ACancelDuringTheGrabStillGivesExactlyOneMessage)
{
    for (int round = 0; round < 20; ++round) {
        m_Posted.Clear();
        Grabber grab;
        CTMThumbnailData record;
        Ask(record, m_Movie, Seconds(1));
        ASSERT_EQ(grab.GetTimeThumbnailImage(&record, 1), 0);
        grab.ThumbnailCancel(); // returns once the thread has ended
        EXPECT_EQ(grab.CancelFlag(), 0);
        const auto posted = m_Posted.Taken();
        ASSERT_EQ(posted.size(), 1u) << "round " << round;
        if (posted[0].message == WM_TM_GRAPHNOTIFY) {
            EXPECT_NE(record.pBits, nullptr);
        } else {
            EXPECT_EQ(posted[0].message, WM_TM_THUMBNAILBREAK);
            EXPECT_EQ(posted[0].lParam, 0);
            EXPECT_EQ(record.pBits, nullptr);
        }
    }
}

TEST_F(MovieGrabThreadTest, OneGrabAtATimeAndTheObjectWaitsForItsThread)
{
    auto grab = std::make_unique<Grabber>();
    grab->ThumbnailCancel(); // nothing runs: returns at once
    EXPECT_EQ(grab->CancelFlag(), 0);

    CTMThumbnailData first;
    Ask(first, m_Movie, Seconds(1));
    ASSERT_EQ(grab->GetTimeThumbnailImage(&first, 1), 0);
    CTMThumbnailData second;
    Ask(second, m_Movie, 0);
    // Refused while the first runs (unless it has already ended).
    const LONG threaded = grab->GetTimeThumbnailImage(&second, 1);
    const LONG browser = grab->GetTimeThumbnailImage2(&second, 0);
    EXPECT_TRUE(threaded == 1 || threaded == 0);
    EXPECT_TRUE(browser == 1 || browser == 0);
    grab.reset(); // cancels and waits for whatever runs
    const auto posted = m_Posted.Taken();
    EXPECT_EQ(posted.size(), threaded == 0 ? 2u : 1u);
}

} // namespace
