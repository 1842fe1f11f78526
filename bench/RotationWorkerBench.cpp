// The rotate command's worker beside the development facade's rotation it
// drives: 100 selected raw files of the synthetic camera turned a quarter by
// RotateThreadProc (the shooting information read for the lock, unlocking and
// relocking as needed, the cache renewed, progress posted) beside
// KVR_RotateFile called 100 times on the same files, in the same run, taking
// turns going first. "x_facade" is the worker's time over the facade's (goal:
// at most 1.2).
//
// The worker starts with the files' shooting information cached, as the
// browser has it for the files it lists; filling the cache is not timed. Each
// side turns every file once per iteration; the stored rotation is checked
// once at the end (both sides turned each file the same number of times).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "shell/facade/CTLM_Exif.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_FileSettings.h"
#include "shell/facade/KVR_Manager.h"
#include "shell/fileops/RotationWorker.h"
#include "shell/fileops/ShootingInfoCache.h"
#include "shell/fileops/RecordCache.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 100;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "RotationWorkerBench: %s\n", what);
    std::abort();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class QuietProgress : public IRotationProgress {
public:
    void SetProgress(int) override {}
    void PostProgress(int percent, bool finished) override { last = finished ? percent : last; }
    bool IsCancelled() override { return false; }
    int last = 0;
};

struct Setup {
    Setup()
    {
        InitStorageClasses();
        const SyntheticRaw raw = MakeSyntheticRaw({});
        const std::string bytes(raw.file.bytes.begin(), raw.file.bytes.end());
        for (int i = 0; i < kFiles; ++i) {
            const std::filesystem::path path = folder.Path() / ("shot" + std::to_string(i) + ".kvr");
            WriteFileBytes(path, bytes);
            files.push_back(PathFromNative(path.string()));
        }
    }
    TempDir folder;
    std::vector<FString> files;
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

void RotateHundredRawFiles(benchmark::State& state)
{
    const std::vector<FString>& files = TheSetup().files;
    RecordCache cache;
    double workerSeconds = 0, facadeSeconds = 0;
    int iterations = 0;
    for (auto _ : state) {
        double worker = 0, facade = 0;
        const auto timeWorker = [&] {
            for (const FString& file : files) {
                CTLM_Exif record;
                cache.GetExif(file, &record); // the browser's records
            }
            QuietProgress progress;
            CRotationJob job;
            job.sources = job.destinations = files;
            job.progress = &progress;
            job.cache = &cache;
            const auto start = Clock::now();
            RotateThreadProc(&job);
            worker = Seconds(start);
            if (job.done.size() != files.size() || progress.last != 100)
                Fail("the worker did not turn every file");
        };
        const auto timeFacade = [&] {
            const auto start = Clock::now();
            for (const FString& file : files)
                if (KVR_RotateFile(file.GetText(), 1) != 1)
                    Fail("the facade did not turn a file");
            facade = Seconds(start);
        };
        if (iterations % 2 == 0) {
            timeWorker();
            timeFacade();
        } else {
            timeFacade();
            timeWorker();
        }
        workerSeconds += worker;
        facadeSeconds += facade;
        ++iterations;
        state.SetIterationTime(worker);
    }
    // Each file turned twice per iteration, a quarter each time.
    const std::string expected = std::to_string((iterations * 2 * 90) % 360);
    char value[32] = {};
    bool found = false;
    {
        const KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(files.back().GetText());
        found = handle && KVR_GetProperty(handle, "ROTATION", value, sizeof value);
        KVR_CloseHandle(handle);
    }
    if (!found || expected != value)
        Fail("the stored rotation is not the one expected");
    state.counters["worker_ms"] = 1000 * workerSeconds / iterations;
    state.counters["facade_ms"] = 1000 * facadeSeconds / iterations;
    state.counters["x_facade"] = workerSeconds / facadeSeconds;
}
BENCHMARK(RotateHundredRawFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

} // namespace
