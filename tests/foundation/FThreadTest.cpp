#include "foundation/FThread.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/FException.h"
#include "foundation/FSync.h"

namespace testsupport {

// Sends stderr into a pipe while alive, so a test can wait for a line a thread
// prints instead of guessing how long that takes.
class StderrPipe {
public:
    StderrPipe()
    {
        std::fflush(stderr);
        EXPECT_EQ(pipe(m_Fds), 0);
        m_Saved = dup(STDERR_FILENO);
        dup2(m_Fds[1], STDERR_FILENO);
    }
    ~StderrPipe()
    {
        std::fflush(stderr);
        dup2(m_Saved, STDERR_FILENO);
        close(m_Saved);
        close(m_Fds[0]);
        close(m_Fds[1]);
    }
    StderrPipe(const StderrPipe&) = delete;
    StderrPipe& operator=(const StderrPipe&) = delete;

    // Waits for a whole line (giving up after ten seconds without output, so
    // a missing line fails the test instead of hanging it); no newline.
    std::string ReadLine()
    {
        std::vector<char> line;
        pollfd input = {m_Fds[0], POLLIN, 0};
        char c;
        while (poll(&input, 1, 10000) == 1 && read(m_Fds[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        return std::string(line.begin(), line.end());
    }

private:
    int m_Fds[2] = {-1, -1};
    int m_Saved = -1;
};

} // namespace testsupport

namespace {

int OwnNice()
{
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}

int ProcessNice()
{
    return getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
}

void WaitUntilDone(FIThread* thread)
{
    for (int i = 0; i < 10000 && !thread->IsDone(); ++i)
        SleepSeconds(0.001);
    ASSERT_TRUE(thread->IsDone());
}

struct ResultCase {
    const char* name;
    FIThread::ThreadFunction function;
    int expected;
};

const ResultCase kResultCases[] = {
    {"returns 7", [](void*) { return 7; }, 7},
    {"returns the pending marker", [](void*) { return FWinThread::RESULT_RUNNING; }, FWinThread::RESULT_RUNNING},
    {"throws FException", [](void*) -> int { throw FException("x"); }, FWinThread::RESULT_EXCEPTION},
    {"throws std exception", [](void*) -> int { throw std::runtime_error("x"); }, FWinThread::RESULT_EXCEPTION},
    {"throws int", [](void*) -> int { throw 3; }, FWinThread::RESULT_EXCEPTION},
    {"no function", nullptr, FWinThread::RESULT_EXCEPTION},
};

TEST(FThreadTest, ResultAndDoneFlag)
{
    for (const ResultCase& c : kResultCases) {
        SCOPED_TRACE(c.name);
        FIThread* thread = FIThread::Create(c.function, nullptr, FIThread::PRIORITY_NORMAL);
        ASSERT_NE(thread, nullptr);
        WaitUntilDone(thread);
        EXPECT_EQ(thread->GetResult(), c.expected);
        FIThread::Delete(thread);
        EXPECT_EQ(thread, nullptr);
    }
    FIThread* none = nullptr;
    FIThread::Delete(none);
    EXPECT_EQ(none, nullptr);
}

TEST(FThreadTest, RunningThreadIsNotDoneAndItsArgumentArrives)
{
    FEvent release;
    FIThread* thread = FIThread::Create(
        [](void* argument) { return static_cast<FEvent*>(argument)->Wait(FSYNC_INFINITE) ? 11 : 12; }, &release,
        FIThread::PRIORITY_NORMAL);
    ASSERT_NE(thread, nullptr);
    EXPECT_FALSE(thread->IsDone());
    EXPECT_EQ(thread->GetResult(), FWinThread::RESULT_RUNNING);
    release.Set();
    WaitUntilDone(thread);
    EXPECT_EQ(thread->GetResult(), 11);
    FIThread::Delete(thread);
}

// The thread reports its own nice value each time the test asks for it.
struct NiceProbe {
    FEvent ask;
    FEvent answered;
    std::atomic<int> nice{0};
    std::atomic<bool> quit{false};

    static int Run(void* argument)
    {
        auto* probe = static_cast<NiceProbe*>(argument);
        while (probe->ask.Wait(FSYNC_INFINITE) && !probe->quit) {
            probe->nice = OwnNice();
            probe->answered.Set();
        }
        return 0;
    }

    int Ask()
    {
        ask.Set();
        EXPECT_TRUE(answered.Wait(FSYNC_INFINITE));
        return nice;
    }
};

int TargetNice(int priority)
{
    return std::clamp(ProcessNice() + FWinThread::NiceOffsetForPriority(priority), -20, 19);
}

// Lowering a thread's priority always works; raising it may be refused without
// privileges, and then the thread keeps what it had.
void ExpectAppliedOrRefused(int actual, int priority, int previous)
{
    const int target = TargetNice(priority);
    if (target < previous && actual == previous)
        return;
    EXPECT_EQ(actual, target) << "priority " << priority << ", previous nice " << previous;
}

TEST(FThreadTest, PrioritiesApplyToTheThreadBestEffort)
{
    const int callerNice = OwnNice();
    NiceProbe probe;
    FIThread* thread = FIThread::Create(&NiceProbe::Run, &probe, FIThread::PRIORITY_LOWEST);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(thread->GetPriority(), FIThread::PRIORITY_LOWEST);
    int nice = probe.Ask();
    ExpectAppliedOrRefused(nice, FIThread::PRIORITY_LOWEST, callerNice);

    // Out of range: stored as given, applied as normal. Then the running thread
    // follows every change, and the caller keeps its own priority.
    for (int priority : std::initializer_list<int>{9, FIThread::PRIORITY_HIGHEST, FIThread::PRIORITY_BELOW_NORMAL,
                         FIThread::PRIORITY_ABOVE_NORMAL, FIThread::PRIORITY_LOWEST, -1}) {
        thread->SetPriority(priority);
        EXPECT_EQ(thread->GetPriority(), priority);
        const int previous = nice;
        nice = probe.Ask();
        ExpectAppliedOrRefused(nice, priority, previous);
    }
    EXPECT_EQ(OwnNice(), callerNice);

    probe.quit = true;
    probe.ask.Set();
    WaitUntilDone(thread);
    FIThread::Delete(thread);
}

TEST(FThreadTest, DeletingARunningThreadWarnsAndWaitsForIt)
{
    struct Work {
        FEvent release;
        std::atomic<bool> finished{false};
    } work;
    FIThread* thread = FIThread::Create(
        [](void* argument) {
            auto* w = static_cast<Work*>(argument);
            w->release.Wait(FSYNC_INFINITE);
            w->finished = true;
            return 5;
        },
        &work, FIThread::PRIORITY_NORMAL);
    ASSERT_NE(thread, nullptr);

    testsupport::StderrPipe stderrPipe;
    std::thread deleter([&thread] { FIThread::Delete(thread); });
    EXPECT_EQ(stderrPipe.ReadLine(), "WARNING: Forcibly terminating thread in FWinThread destructor");
    EXPECT_FALSE(work.finished);
    work.release.Set();
    deleter.join();
    EXPECT_TRUE(work.finished);
    EXPECT_EQ(thread, nullptr);
}

TEST(FThreadTest, AThreadMayDeleteItsOwnObject)
{
    struct Self {
        FIThread* thread = nullptr;
        FEvent created;
        FEvent deleted;
    } self;
    self.thread = FIThread::Create(
        [](void* argument) {
            auto* s = static_cast<Self*>(argument);
            s->created.Wait(FSYNC_INFINITE);
            FEvent& deleted = s->deleted;
            FIThread::Delete(s->thread);
            deleted.Set();
            return 1;
        },
        &self, FIThread::PRIORITY_NORMAL);
    ASSERT_NE(self.thread, nullptr);
    self.created.Set();
    EXPECT_TRUE(self.deleted.Wait(FSYNC_INFINITE));
    EXPECT_EQ(self.thread, nullptr);
}

} // namespace
