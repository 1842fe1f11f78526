#include "engine/core/FIPEngine2.h"

#include "foundation/FException.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <utility>

// Runs a test's own body in place of every stage handler, so the engine's
// hand-over can be driven without images.
class FIPEngine2TestAccess {
public:
    static void SetHandler(FIPEngine2& engine, std::function<void(FIPERequest&)> handler)
    {
        engine.m_TestHandler = std::move(handler);
    }
};

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Utf8FromWide;

// A flag one thread waits for and another raises.
class Gate {
public:
    void Open()
    {
        m_bOpen.store(true, std::memory_order_release);
        m_bOpen.notify_all();
    }
    void WaitOpen() const { m_bOpen.wait(false, std::memory_order_acquire); }

private:
    std::atomic<bool> m_bOpen{false};
};

// A record whose type id is whatever the test says.
class FRequestOfType : public FIPERequest {
public:
    explicit FRequestOfType(int32_t type) : m_iType(type) {}
    int32_t GetType() const override { return m_iType; }

private:
    int32_t m_iType;
};

// Polls as a manager does until the record has left "pending".
int32_t WaitFinished(FIIPEngine2& engine, const FIPERequest& request)
{
    while (request.GetStatus() == kIPStatusPending)
        engine.Idle();
    return request.GetStatus();
}

std::string ErrorText(const FIPERequest& request)
{
    return Utf8FromWide(request.m_sErrorText);
}

std::unique_ptr<FIPEngine2> EngineWithHandler(std::function<void(FIPERequest&)> handler)
{
    auto engine = std::make_unique<FIPEngine2>();
    FIPEngine2TestAccess::SetHandler(*engine, std::move(handler));
    return engine;
}

} // namespace

TEST(FIPEngine2ThreadTest, ASecondRequestWhileOneRunsIsRefusedAsBusyAndTheFirstGoesOn)
{
    Gate release;
    std::atomic<int> handled{0};
    auto engine = EngineWithHandler([&](FIPERequest& r) {
        ++handled;
        release.WaitOpen();
        r.SetProgress(1.0);
        r.Finish(kIPStatusDone);
    });

    FIPERequestStage1 first;
    engine->Request(&first);
    ASSERT_EQ(first.GetStatus(), kIPStatusPending);

    FIPERequestStage2 second;
    engine->Request(&second);
    EXPECT_EQ(second.GetStatus(), kIPStatusError);
    EXPECT_EQ(second.m_iErrorCode, kIPErrorBusy);
    EXPECT_EQ(ErrorText(second), "FIPEngine2");

    // The running record handed over again is neither refused nor run twice.
    engine->Request(&first);
    EXPECT_EQ(first.GetStatus(), kIPStatusPending);
    EXPECT_EQ(first.m_iErrorCode, kIPErrorNone);

    release.Open();
    EXPECT_EQ(WaitFinished(*engine, first), kIPStatusDone);
    EXPECT_EQ(first.GetProgress(), 1.0);
    EXPECT_EQ(ErrorText(first), "");

    // Free again: the refused record is accepted now.
    engine->Request(&second);
    EXPECT_EQ(WaitFinished(*engine, second), kIPStatusDone);
    EXPECT_EQ(second.m_iErrorCode, kIPErrorNone);
    EXPECT_EQ(ErrorText(second), "");
    EXPECT_EQ(handled, 2);
}

TEST(FIPEngine2ThreadTest, UnknownTypesAreRefusedAtOnceAndImpostorsByTheThread)
{
    std::atomic<int> handled{0};
    auto engine = EngineWithHandler([&](FIPERequest& r) {
        ++handled;
        r.Finish(kIPStatusDone);
    });
    for (int32_t type : {7, 100, -1}) {
        FRequestOfType request(type);
        engine->Request(&request);
        EXPECT_EQ(request.GetStatus(), kIPStatusError) << type;
        EXPECT_EQ(request.m_iErrorCode, kIPErrorUnsupportedRequest) << type;
        EXPECT_EQ(ErrorText(request), "FIPEngine2: Unsupported request.") << type;
    }
    EXPECT_EQ(handled, 0);

    // A record that gives a known id but is not of that id's class reaches the
    // thread, which must not run a handler on it.
    FIPEngine2 realHandlers;
    for (int32_t type = kIPERequestStage1; type <= kIPERequestRotate; ++type) {
        FRequestOfType impostor(type);
        realHandlers.Request(&impostor);
        EXPECT_EQ(WaitFinished(realHandlers, impostor), kIPStatusError) << type;
        EXPECT_EQ(impostor.m_iErrorCode, kIPErrorUnsupportedRequest) << type;
        EXPECT_EQ(ErrorText(impostor), "FIPEngine2: Request not supported.") << type;
    }
}

TEST(FIPEngine2ThreadTest, WhatAHandlerThrowsBecomesAnErrorStatus)
{
    struct Case {
        const char* name;
        std::function<void(FIPERequest&)> handler;
        int32_t errorCode;
        std::string errorText;
    };
    const Case cases[] = {
        {"engine exception", [](FIPERequest&) { throw FExceptionPixelProc2("row 7 is short"); },
         kIPErrorException, "FIPEngine2: Pixel processing2 exception (row 7 is short)"},
        {"text with a percent sign", [](FIPERequest&) { throw FExceptionPixelProc2("50%s done"); },
         kIPErrorException, "FIPEngine2: Pixel processing2 exception (50%s done)"},
        {"other exception of the family", [](FIPERequest&) { throw FException(); },
         kIPErrorException, "FIPEngine2: Pardex exception ()"},
        {"out of memory", [](FIPERequest&) { throw std::bad_alloc(); }, kIPErrorOutOfMemory, "FIPEngine2"},
        {"foreign exception", [](FIPERequest&) { throw 42; }, kIPErrorException, "FIPEngine2: unknown exception"},
        {"no final status", [](FIPERequest& r) { r.SetProgress(0.5); }, kIPErrorException,
         "FIPEngine2: request ended without a status"},
        {"own error", [](FIPERequest& r) { r.Fail(kIPErrorBadParameter, "too few rows"); }, kIPErrorBadParameter,
         "too few rows"},
        {"ended, then threw", [](FIPERequest& r) {
             r.Finish(kIPStatusCancelled);
             throw std::bad_alloc();
         },
         kIPErrorNone, ""},
    };
    for (const Case& c : cases) {
        auto engine = EngineWithHandler(c.handler);
        FIPERequestStage4 request;
        engine->Request(&request);
        const int32_t status = WaitFinished(*engine, request);
        EXPECT_EQ(status, c.errorCode == kIPErrorNone ? kIPStatusCancelled : kIPStatusError) << c.name;
        EXPECT_EQ(request.m_iErrorCode, c.errorCode) << c.name;
        EXPECT_EQ(ErrorText(request), c.errorText) << c.name;
    }
}

TEST(FIPEngine2ThreadTest, IdleReturnsAtOnceWhenIdleAndAfterItsWaitWhileARequestRuns)
{
    Gate release;
    auto engine = EngineWithHandler([&](FIPERequest& r) {
        release.WaitOpen();
        r.Finish(kIPStatusDone);
    });

    // Twenty calls take less than one wait of 100 ms.
    auto start = Clock::now();
    for (int i = 0; i < 20; ++i)
        engine->Idle();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(FIPEngine2::kIdleMilliseconds));

    FIPERequestStage3 request;
    engine->Request(&request);
    start = Clock::now();
    engine->Idle();
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(FIPEngine2::kIdleMilliseconds - 5));
    EXPECT_EQ(request.GetStatus(), kIPStatusPending);

    release.Open();
    EXPECT_EQ(WaitFinished(*engine, request), kIPStatusDone);
    start = Clock::now();
    engine->Idle();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(FIPEngine2::kIdleMilliseconds));
}

TEST(FIPEngine2ThreadTest, DestructionCancelsTheRunningRequestAndWaitsForItsHandler)
{
    std::atomic<bool> started{false};
    std::atomic<bool> handlerReturned{false};
    auto engine = EngineWithHandler([&](FIPERequest& r) {
        started = true;
        started.notify_all();
        const auto giveUp = Clock::now() + std::chrono::seconds(10);
        while (!r.IsCancelled() && Clock::now() < giveUp)
            std::this_thread::yield();
        // Still busy for a while after the cancel: the destructor must wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        handlerReturned = true;
        r.Finish(kIPStatusCancelled);
    });
    FIPERequestStage2 request;
    engine->Request(&request);
    started.wait(false);

    engine.reset();
    EXPECT_TRUE(handlerReturned);
    EXPECT_EQ(request.GetStatus(), kIPStatusCancelled);
    EXPECT_EQ(ErrorText(request), "");
}

TEST(FIPEngine2ThreadTest, ARecordAcceptedJustBeforeDestructionIsStillEnded)
{
    // The owner may delete its engine right after a Request; the record must
    // not be left pending whatever point the thread had reached.
    for (int i = 0; i < 50; ++i) {
        FIPERequestStage1 request;
        {
            auto engine = EngineWithHandler([](FIPERequest& r) {
                r.Finish(r.IsCancelled() ? kIPStatusCancelled : kIPStatusDone);
            });
            engine->Request(&request);
        }
        EXPECT_NE(request.GetStatus(), kIPStatusPending) << i;
    }
}

TEST(FIPEngine2ThreadTest, ARecordDeletedAsSoonAsItEndsIsNeverTouchedAgain)
{
    // The owner deletes each record the moment its status leaves "pending",
    // usually before the thread has released it; the next request must wait
    // for the release instead of being refused or reading the freed record
    // (AddressSanitizer and ThreadSanitizer watch this).
    auto engine = EngineWithHandler([](FIPERequest& r) { r.Finish(kIPStatusDone); });
    for (int i = 0; i < 200; ++i) {
        auto request = std::make_unique<FIPERequestGenerateToneLUT>();
        engine->Request(request.get());
        while (request->GetStatus() == kIPStatusPending)
            std::this_thread::yield();
        ASSERT_EQ(request->GetStatus(), kIPStatusDone) << i;
        ASSERT_EQ(request->m_iErrorCode, kIPErrorNone) << i;
    }
}

TEST(FIPEngine2ThreadTest, CreateIPEngine2GivesAWorkingEngine)
{
    FIIPEngine2* engine = CreateIPEngine2();
    ASSERT_NE(engine, nullptr);
    FRequestOfType request(7);
    engine->Request(&request);
    EXPECT_EQ(request.m_iErrorCode, kIPErrorUnsupportedRequest);
    SafeDelete(engine);
    EXPECT_EQ(engine, nullptr);
}
