// The load thread shared by the loaders, driven with handlers the test holds
// at will, so every interleaving below is forced rather than hoped for.

#include "fileio/loaders/FLoadThread.h"
#include "foundation/FSync.h"
#include "support/LoaderDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

using testsupport::ErrorTextOf;
using testsupport::NewLoaderRequest;

namespace {

void WaitUntilDone(FLoadThread& thread, FDataRetrieverRequest& request)
{
    for (int polls = 0; request.IsPending() && polls < 3000; ++polls)
        thread.Idle();
}

// Echoes the kind into the index word; kind 1 waits for the gate first.
struct GatedHandler {
    FEvent started;
    FEvent gate;
    std::atomic<bool> finished{false};

    FLoadThread::Handler Get()
    {
        return [this](FDataRetrieverRequest& request) {
            if (request.m_iKind == 1) {
                started.Set();
                gate.Wait(FSYNC_INFINITE);
                finished = true;
            }
            request.SetIndexWord(request.m_iKind * 10);
            return FLoaderOutcome::Done();
        };
    }
};

} // namespace

TEST(FLoadThreadTest, ARunningRequestRefusesTheNextAsBusyAndRunsOnUndisturbed)
{
    GatedHandler handler;
    FLoadThread thread("TestLoader", handler.Get());

    auto running = NewLoaderRequest(u"disk://a", 1);
    thread.QueueRequest(*running);
    handler.started.Wait(FSYNC_INFINITE);
    EXPECT_TRUE(running->IsPending());

    auto refused = NewLoaderRequest(u"disk://b", 2);
    thread.QueueRequest(*refused);
    EXPECT_EQ(refused->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(refused->GetError(), LOADER_ERROR_BUSY);
    EXPECT_EQ(ErrorTextOf(*refused), "TestLoader");
    EXPECT_EQ(refused->GetIndexWord(), 0);

    // Short requests still run in the caller's thread meanwhile.
    auto shortRequest = NewLoaderRequest(u"disk://c", 3);
    thread.RunNow(*shortRequest);
    EXPECT_EQ(shortRequest->GetStatus(), LOADER_STATUS_DONE);
    EXPECT_EQ(shortRequest->GetIndexWord(), 30);

    EXPECT_TRUE(running->IsPending());
    handler.gate.Set();
    WaitUntilDone(thread, *running);
    EXPECT_EQ(running->GetStatus(), LOADER_STATUS_DONE);
    EXPECT_EQ(running->GetIndexWord(), 10);

    auto next = NewLoaderRequest(u"disk://d", 4);
    thread.QueueRequest(*next);
    WaitUntilDone(thread, *next);
    EXPECT_EQ(next->GetStatus(), LOADER_STATUS_DONE);
    EXPECT_EQ(next->GetIndexWord(), 40);
}

TEST(FLoadThreadTest, DestroyingTheLoaderCancelsTheRunningRequestAndWaitsForIt)
{
    FEvent started;
    std::atomic<bool> finished{false};
    auto thread = std::make_unique<FLoadThread>("TestLoader", [&](FDataRetrieverRequest& request) {
        started.Set();
        // Like a decoder: checks the flag between rows.
        while (!request.IsCancelled())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        finished = true;
        return FLoaderOutcome::Cancelled();
    });
    auto request = NewLoaderRequest(u"disk://a", 1);
    thread->QueueRequest(*request);
    started.Wait(FSYNC_INFINITE);

    thread.reset();
    EXPECT_TRUE(finished);
    EXPECT_EQ(request->GetStatus(), LOADER_STATUS_CANCELLED);
}

// A load that ignores the cancel flag for longer than the destructor's polls
// (about 4.9 s) is still waited for: the destructor never frees the events or
// the handler under a running thread.
TEST(FLoadThreadTest, DestroyingWaitsForALoadThatOutlastsThePolls)
{
    GatedHandler handler;
    auto thread = std::make_unique<FLoadThread>("TestLoader", handler.Get());
    auto request = NewLoaderRequest(u"disk://a", 1);
    thread->QueueRequest(*request);
    handler.started.Wait(FSYNC_INFINITE);

    std::thread opener([&handler] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5500));
        handler.gate.Set();
    });
    thread.reset();
    EXPECT_TRUE(handler.finished);
    EXPECT_TRUE(request->IsCancelled());
    EXPECT_EQ(request->GetStatus(), LOADER_STATUS_DONE);
    opener.join();
}

TEST(FLoadThreadTest, AnEscapingExceptionBecomesAnErrorOfTheRequest)
{
    FLoadThread thread("TestLoader", [](FDataRetrieverRequest&) -> FLoaderOutcome {
        throw std::runtime_error("boom");
    });
    auto request = NewLoaderRequest(u"disk://a", 1);
    thread.QueueRequest(*request);
    WaitUntilDone(thread, *request);
    EXPECT_EQ(request->GetStatus(), LOADER_STATUS_ERROR);
    EXPECT_EQ(request->GetError(), LOADER_ERROR_EXCEPTION);
    EXPECT_EQ(ErrorTextOf(*request), "TestLoader: unknown exception");
}
