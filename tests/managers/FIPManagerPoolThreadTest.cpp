// The pool's hand-out and queue with workers whose work the test decides, and
// with real workers whose loader threads run while the pool is destroyed.

#include "managers/FIPManagerPool.h"

#include "engine/colour/TransformColor.h"
#include "managers/IPManager2.h"
#include "ManagerTestFiles.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

std::string Entry(const char* verb, int id, const std::string& what = std::string())
{
    std::string text(verb);
    text.append(" ").append(std::to_string(id));
    if (!what.empty())
        text.append(" ").append(what);
    return text;
}

// Holds each request until the test finishes it; logs every call.
class FakeWorker : public FIPManager {
public:
    explicit FakeWorker(int id, std::vector<std::string>& log) : m_iId(id), m_Log(log) {}
    ~FakeWorker() override { m_Log.push_back(Entry("delete", m_iId)); }

    bool IsBusy() override { return m_pHeld != nullptr; }
    void Idle() override { m_Log.push_back(Entry("idle", m_iId)); }
    void Request(IPManagerData* request) override
    {
        m_Log.push_back(Entry("request", m_iId, Utf8FromWide(request->m_sURL)));
        request->m_Result.m_eStatus = kIPStatusPending;
        m_pHeld = request;
    }
    void Finish()
    {
        m_pHeld->m_Result.m_eStatus = kIPStatusDone;
        m_pHeld = nullptr;
    }

private:
    int m_iId;
    std::vector<std::string>& m_Log;
    IPManagerData* m_pHeld = nullptr;
};

struct FakePool {
    std::vector<std::string> log;
    std::vector<FakeWorker*> workers;
    std::unique_ptr<FIPManagerPool> pool = std::make_unique<FIPManagerPool>([this] {
        workers.push_back(new FakeWorker(int(workers.size()), log));
        return workers.back();
    });
};

std::vector<std::unique_ptr<IPManagerData>> Records(int count)
{
    std::vector<std::unique_ptr<IPManagerData>> records;
    for (int i = 0; i < count; ++i) {
        records.push_back(std::make_unique<IPManagerData>());
        records.back()->SetURL(FString(std::string(1, 'r').append(std::to_string(i)).c_str()));
    }
    return records;
}

} // namespace

TEST(FIPManagerPoolThreadTest, FiveRequestsOnFourWorkersTheFifthWaitsAndQueuesRunInOrder)
{
    ASSERT_EQ(GetIPManagerPoolSize(), 4u);
    FakePool fake;
    fake.pool->Idle(); // no workers yet: nothing happens
    EXPECT_TRUE(fake.log.empty());

    auto records = Records(6);
    for (int i = 0; i < 6; ++i)
        fake.pool->Request(records[size_t(i)].get());
    EXPECT_EQ(fake.pool->GetWorkerCount(), 4u);
    EXPECT_EQ(fake.pool->GetQueuedCount(), 2u);
    EXPECT_EQ(records[4]->m_Result.m_eStatus, kIPStatusPending);
    EXPECT_EQ(records[4]->m_pHandlingManager, nullptr);
    EXPECT_EQ(records[1]->m_pHandlingManager, fake.workers[1]);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"request 0 r0", "request 1 r1", "request 2 r2", "request 3 r3"}));

    // One Idle gives one busy worker one slice, then the next call the next.
    fake.log.clear();
    fake.pool->Idle();
    fake.pool->Idle();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"idle 0", "idle 1"}));

    // Workers 3 and 2 finish: the queue goes out first in, first out, to the
    // idle workers the pump meets.
    fake.workers[3]->Finish();
    fake.workers[2]->Finish();
    fake.log.clear();
    fake.pool->Idle(); // worker 2 (idle) takes r4, worker 3 (idle) takes r5, then round to worker 0
    EXPECT_EQ(fake.log, (std::vector<std::string>{"request 2 r4", "request 3 r5"}));
    EXPECT_EQ(records[4]->m_pHandlingManager, fake.workers[2]);
    EXPECT_EQ(records[5]->m_pHandlingManager, fake.workers[3]);
    EXPECT_EQ(fake.pool->GetQueuedCount(), 0u);
}

TEST(FIPManagerPoolThreadTest, AQueuedRequestItsCallerCancelledEndsCancelledWithoutRunning)
{
    // How the caller cancels the queued request; each ends it at the pool's
    // next Idle, and the pool never touches the record again.
    const std::vector<std::pair<const char*, void (*)(IPRequestResult&)>> cancels = {
        {"status cancelled", [](IPRequestResult& r) { r.m_eStatus = kIPStatusCancelled; }},
        {"status error", [](IPRequestResult& r) { r.m_eStatus = kIPStatusError; }},
        {"cancel flag", [](IPRequestResult& r) { r.m_bCancel = true; }},
    };
    for (const auto& [how, cancel] : cancels) {
        SCOPED_TRACE(how);
        FakePool fake;
        auto records = Records(6);
        for (auto& record : records)
            fake.pool->Request(record.get());
        cancel(records[4]->m_Result);
        fake.log.clear();
        fake.pool->Idle();
        EXPECT_EQ(records[4]->m_Result.m_eStatus, kIPStatusCancelled);
        EXPECT_EQ(records[4]->m_pHandlingManager, nullptr);
        EXPECT_EQ(fake.pool->GetQueuedCount(), 1u);
        EXPECT_EQ(fake.log, (std::vector<std::string>{"idle 0"}));

        // Let go at once (under ASan a later touch would be caught); the
        // next free worker takes the request queued behind it.
        records[4].reset();
        fake.workers[1]->Finish();
        fake.log.clear();
        fake.pool->Idle();
        EXPECT_EQ(fake.log, (std::vector<std::string>{"request 1 r5", "idle 2"}));
        EXPECT_EQ(fake.pool->GetQueuedCount(), 0u);
    }
}

TEST(FIPManagerPoolThreadTest, RequestsStillQueuedWhenThePoolDiesFailAsBusy)
{
    FakePool fake;
    auto records = Records(6);
    for (auto& record : records)
        fake.pool->Request(record.get());
    fake.pool.reset();
    EXPECT_EQ(fake.log.size(), 4u + 4u); // four requests, four workers deleted
    for (int i : {4, 5}) {
        EXPECT_EQ(records[size_t(i)]->m_Result.m_eStatus, kIPStatusError);
        EXPECT_EQ(records[size_t(i)]->m_Result.m_eError, kIPErrorBusy);
    }
}

TEST(FIPManagerPoolThreadTest, ThePoolIsNeverReleasedByItsUsers)
{
    FIPManager* slot = GetIPManagerPool();
    ReleaseIPManager(slot);
    EXPECT_EQ(slot, nullptr);
    IPManagerData none;
    GetIPManagerPool()->Request(&none);
    EXPECT_EQ(none.m_Result.m_eStatus, kIPStatusDone);
    EXPECT_FALSE(GetIPManagerPool()->IsBusy());

    SetIPManagerPoolSize(0);
    SetIPManagerPoolSize(4);
    FIPManager* worker = CreateIPManager2();
    ReleaseIPManager(worker);
    EXPECT_EQ(worker, nullptr);
}

class PoolWithRealWorkersTest : public PdxbFileTest {
protected:
    static void SetUpTestSuite()
    {
        PdxbFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }
};

TEST_F(PoolWithRealWorkersTest, QueuedDevelopmentsCancelledByTheirCallersNeverRun)
{
    SyntheticOptions options;
    options.size = SyntheticSize::Tiny;
    options.previews = false;
    FIPManagerPool pool;
    std::vector<std::unique_ptr<IPManagerData>> records;
    for (uint32_t i = 0; i < 6; ++i) {
        options.seed = 100 + i; // files of their own: no worker waits for another's stage
        const SyntheticRaw shot = MakeSyntheticRaw(options);
        records.push_back(WholePictureRequest(Write(shot.file, "queued" + std::to_string(i) + ".kvr"),
                                              int32_t(shot.truth.outputColumns), int32_t(shot.truth.outputRows)));
        pool.Request(records.back().get());
    }
    ASSERT_EQ(pool.GetQueuedCount(), 2u);
    records[4]->m_Result.m_eStatus = kIPStatusCancelled;
    records[5]->m_Result.m_bCancel = true;
    pool.Idle();
    for (size_t i : {4, 5}) {
        EXPECT_EQ(records[i]->m_Result.m_eStatus, kIPStatusCancelled) << i;
        EXPECT_EQ(records[i]->m_pHandlingManager, nullptr) << i;
        EXPECT_EQ(records[i]->m_pResultImage, nullptr) << i;
        records[i].reset();
    }
    for (int polls = 0; polls < 100000 && std::any_of(records.begin(), records.begin() + 4,
                                                      [](const auto& r) { return r->m_Result.IsPending(); });
         ++polls)
        pool.Idle();
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(records[i]->m_Result.m_eStatus, kIPStatusDone) << ResultText(*records[i]);
        EXPECT_NE(records[i]->m_pResultImage, nullptr);
    }

    // A worker handed a record that is cancelled already leaves it so.
    std::unique_ptr<FIPManager> worker(CreateIPManager2());
    auto late = WholePictureRequest(records[0]->m_sURL, 8, 8);
    late->m_Result.m_eStatus = kIPStatusCancelled;
    worker->Request(late.get());
    EXPECT_FALSE(worker->IsBusy());
    EXPECT_EQ(late->m_Result.m_eStatus, kIPStatusCancelled);
    EXPECT_EQ(late->m_pResultImage, nullptr);
}

TEST_F(PoolWithRealWorkersTest, RequestsOnRealFilesAllEndAndAPoolDestroyedMidLoadStopsItsLoaders)
{
    SyntheticOptions options;
    options.noise = false;
    options.previews = false;
    const PdxbFile synthetic = MakeSyntheticRaw(options).file;
    std::vector<FString> urls;
    for (int i = 0; i < 5; ++i)
        urls.push_back(Write(synthetic, std::string("file").append(std::to_string(i)).append(".kvr")));
    RawFileLayout layout;
    layout.camfilePadding = 1 << 20;

    {
        FIPManagerPool pool;
        auto records = Records(5);
        for (int i = 0; i < 5; ++i) {
            records[size_t(i)]->SetURL(urls[size_t(i)]);
            records[size_t(i)]->m_eKind = kIPRequestColorModes;
            pool.Request(records[size_t(i)].get());
        }
        for (int polls = 0; polls < 100000; ++polls) {
            bool pending = false;
            for (auto& record : records)
                pending = pending || record->m_Result.IsPending();
            if (!pending)
                break;
            pool.Idle();
        }
        for (auto& record : records) {
            EXPECT_EQ(record->m_Result.m_eStatus, kIPStatusDone) << ResultText(*record);
            EXPECT_EQ(Keys(*record->m_pImageProps), std::vector<std::string>{"Standard"});
        }
    }

    // Destroyed while its workers load files not yet cached: every record
    // ends, none stays pending, no load thread outlives its loader.
    auto records = Records(5);
    {
        FIPManagerPool pool;
        for (int i = 0; i < 5; ++i) {
            layout.idSeed = uint8_t(0x48 + 16 * i);
            records[size_t(i)]->SetURL(
                Write(BuildManagerRawFile(layout), std::string("late").append(std::to_string(i)).append(".kvr")));
            records[size_t(i)]->m_eKind = kIPRequestColorModes;
            pool.Request(records[size_t(i)].get());
        }
    }
    for (auto& record : records)
        EXPECT_NE(record->m_Result.m_eStatus, kIPStatusPending);
}
