// The playback object's threads against the caller's: the graph's clock, its
// playback and sound threads, and its events reaching the owner window on the
// GUI thread. Runs on the window layer's Qt-free core (also under
// ThreadSanitizer), with a playback clock the test moves.
#include "movie/CTMDirectShowBase.h"
#include "MoviePlaybackSupport.h"
#include "MovieTestSupport.h"
#include "platform/core/StandaloneHost.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace movietest;

class MoviePlaybackThreadTest : public MovieTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_Owner.CreateTop(RECT{0, 0, 320, 240}));
        m_Owner.player = &m_Player;
    }
    void TearDown() override { m_Player.DestroyStream(); }

    LONG Load(const std::filesystem::path& movie, int64_t start = -1, int64_t stop = -1)
    {
        return LoadAndWait(m_Player, movie, &m_Owner, 0, start, stop);
    }
    // Pumps the GUI thread until the owner took an event.
    bool WaitForEvent()
    {
        return PumpUntil([this] { m_Host.Pump(); }, [this] { return !m_Owner.events.empty(); });
    }
    LONG State() { return StateOf(m_Player); }

    ManualPlaybackClock m_Clock;
    RecordedSound m_Sound;
    platform::core::StandaloneHost m_Host;
    MovieOwnerWindow m_Owner;
    CTMDirectShowBase m_Player;
};

TEST_F(MoviePlaybackThreadTest, PlaysByItsClockToTheEndEventThroughTheOwnersWindow)
{
    MovieShape shape;
    shape.frames = 20;
    ASSERT_EQ(Load(Write("m.avi", shape)), 1);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(2));

    m_Clock.Set(Seconds(1.5));
    EXPECT_EQ(m_Player.GetCurrentPosition(), Seconds(1.5));
    m_Host.Pump();
    EXPECT_TRUE(m_Owner.events.empty()) << "no end before the end";

    m_Clock.Set(Seconds(2.5));
    ASSERT_TRUE(WaitForEvent());
    ASSERT_EQ(m_Owner.events.size(), 1u);
    EXPECT_EQ(m_Owner.events[0].code, EC_COMPLETE);
    EXPECT_EQ(m_Owner.events[0].param1, 0);
    double fraction = 0;
    ASSERT_EQ(m_Player.GetCurrentPercent(&fraction), 1);
    EXPECT_EQ(fraction, 1.0);
    EXPECT_EQ(State(), TM_STATE_RUNNING) << "the graph runs on at its end until stopped";

    // Replay starts again from the start and ends again.
    m_Owner.events.clear();
    ASSERT_EQ(m_Player.Replay(), 0);
    EXPECT_EQ(State(), TM_STATE_RUNNING);
    EXPECT_EQ(m_Player.GetCurrentPosition(), 0);
    m_Clock.Set(Seconds(4.6));
    ASSERT_TRUE(WaitForEvent());
    EXPECT_EQ(m_Owner.events[0].code, EC_COMPLETE);
}

TEST_F(MoviePlaybackThreadTest, StartsWhereAskedAndEndsAtTheStopAskedFor)
{
    MovieShape shape;
    shape.frames = 30;
    ASSERT_EQ(Load(Write("m.avi", shape), Seconds(1), Seconds(2)), 1);
    EXPECT_EQ(m_Player.GetCurrentPosition(), Seconds(1));
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(2)) << "the stop asked for is the total time";
    m_Clock.Set(Seconds(1.2));
    ASSERT_TRUE(WaitForEvent());
    EXPECT_EQ(m_Player.GetCurrentPosition(), Seconds(2));

    // Without a stop the movie plays to its end.
    m_Owner.events.clear();
    m_Clock.Set(0);
    ASSERT_EQ(Load(PathOf("m.avi"), Seconds(1)), 1);
    EXPECT_EQ(m_Player.GetCurrentPosition(), Seconds(1));
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(3));
    m_Clock.Set(Seconds(1.9));
    m_Host.Pump();
    EXPECT_TRUE(m_Owner.events.empty());
    m_Clock.Set(Seconds(2.1));
    EXPECT_TRUE(WaitForEvent());
}

TEST_F(MoviePlaybackThreadTest, AMovieThatStopsDecodingMidwayEndsWithTheEndEvent)
{
    MovieShape shape;
    shape.frames = 40;
    const auto movie = Write("m.avi", shape);
    // Spoil the second half of the frames; the index at the end still
    // promises four seconds.
    std::string bytes = testsupport::ReadFileBytes(movie);
    const size_t index = bytes.rfind("idx1");
    ASSERT_NE(index, std::string::npos);
    std::fill(bytes.begin() + bytes.size() / 2, bytes.begin() + index, '\x5A');
    testsupport::WriteFileBytes(movie, bytes);
    ASSERT_EQ(Load(movie), 1);
    EXPECT_EQ(m_Player.GetTotalTime(), Seconds(4));
    m_Clock.Set(Seconds(3));
    ASSERT_TRUE(WaitForEvent()) << "the last frame's time is over: the end, not a wait for the rest";
    EXPECT_EQ(m_Owner.events[0].code, EC_COMPLETE);
}

TEST_F(MoviePlaybackThreadTest, SoundIsMutedAtLoadAndFollowsTheVolume)
{
    MovieShape shape;
    shape.frames = 10;
    shape.audio = true;
    ASSERT_EQ(Load(Write("m.avi", shape)), 1);
    // The recording output takes the sound as fast as it comes.
    ASSERT_TRUE(PumpUntil([this] { m_Host.Pump(); }, [this] { return m_Sound.Frames() >= 7900; }));
    EXPECT_EQ(m_Sound.Rate(), 8000);
    EXPECT_EQ(m_Sound.Peak(), 0) << "muted";

    ASSERT_EQ(m_Player.SetVolume(TM_VOLUME_FULL), 1);
    m_Sound.Clear();
    ASSERT_EQ(m_Player.Replay(), 0);
    ASSERT_TRUE(PumpUntil([this] { m_Host.Pump(); }, [this] { return m_Sound.Frames() >= 7900; }));
    EXPECT_EQ(m_Sound.Peak(), 3000);

    ASSERT_EQ(m_Player.SetVolume(-2000), 1); // -20 dB
    m_Sound.Clear();
    ASSERT_EQ(m_Player.Replay(), 0);
    ASSERT_TRUE(PumpUntil([this] { m_Host.Pump(); }, [this] { return m_Sound.Frames() >= 7900; }));
    EXPECT_EQ(m_Sound.Peak(), 300);
}

TEST_F(MoviePlaybackThreadTest, SeeksRatesAndTeardownWhileThePlaybackThreadWorks)
{
    MovieShape shape;
    shape.frames = 50;
    shape.audio = true;
    ASSERT_EQ(Load(Write("m.avi", shape)), 1);
    for (int step = 0; step < 20; ++step) {
        m_Clock.Set(Seconds(0.1 * step));
        if (step % 3 == 0) {
            EXPECT_EQ(m_Player.MovePosition(step * 4.0), 1);
        } else if (step % 3 == 1) {
            EXPECT_EQ(m_Player.ModifyPlayRate(1.0 + step % 2), 1);
        } else if (step % 5 == 4) {
            EXPECT_EQ(m_Player.Play(), 0);
        }
        m_Host.Pump();
    }
    double rate = 0;
    ASSERT_EQ(m_Player.GetPlayRate(&rate), 1);
    EXPECT_EQ(rate, 2.0);
    // Let go while the threads run: the graph waits for them.
    m_Player.DestroyStream();
    EXPECT_EQ(m_Player.GetCurrentPosition(), -1);
}

} // namespace
