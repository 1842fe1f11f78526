// Camera data is file input. Every numeric entry a development reads is set
// in turn to 1e30, -1e30, NaN, infinity, 0 and the integer maximum (as its
// element type stores them) in a small synthetic raw file, developed through
// the pool and its real workers: each ends done with a picture, or with error
// 14 and a text. The build's sanitizers watch everything in between.

#include "managers/FIPManagerPool.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FCache.h"
#include "managers/FIPMImage.h"
#include "ManagerTestFiles.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr double kHostileValues[] = {1e30, -1e30, NAN, INFINITY, 0.0, double(INT_MAX)};
constexpr size_t kRequestsAtOnce = 6; // four workers and a queue
constexpr uint32_t kCacheLimit = 64 << 20;

struct HostileCase {
    std::string entry;
    double value = 0;
    FString url;
    std::unique_ptr<IPManagerData> request;
};

// The values an entry of the type can hold, each once.
std::vector<double> StoredHostileValues(CalibrationType type)
{
    std::vector<double> values;
    for (const double v : kHostileValues) {
        const double stored = CalibrationStoredValue(type, v);
        const bool seen = std::any_of(values.begin(), values.end(), [&](double s) {
            return s == stored || (std::isnan(s) && std::isnan(stored));
        });
        if (!seen)
            values.push_back(stored);
    }
    return values;
}

class HostileCameraDataTest : public PdxbFileTest {
protected:
    static void SetUpTestSuite()
    {
        PdxbFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }

    // Every numeric entry of the shot's camera data, each hostile value.
    void DevelopEveryEntry(SyntheticOptions options)
    {
        options.size = SyntheticSize::Tiny;
        options.previews = false;
        options.plainCamfile = true;
        const std::vector<CalibrationEntry> entries = SyntheticCalibration(options);
        options.defect = CalibrationDefect::Value;
        std::vector<HostileCase> batch;
        for (const CalibrationEntry& entry : entries) {
            if (entry.type == CalibrationType::List || entry.type == CalibrationType::Text)
                continue;
            for (const double value : StoredHostileValues(entry.type)) {
                options.defectEntry = entry.name;
                options.defectValue = value;
                options.seed = ++m_iFiles; // a unique id of its own: nothing comes from the cache
                HostileCase c;
                c.entry = entry.name;
                c.value = value;
                c.url = Write(MakeSyntheticRaw(options).file, "hostile" + std::to_string(m_iFiles) + ".kvr");
                batch.push_back(std::move(c));
                if (batch.size() == kRequestsAtOnce)
                    DevelopBatch(batch);
            }
        }
        DevelopBatch(batch);
    }

    void DevelopBatch(std::vector<HostileCase>& batch)
    {
        SyntheticOptions tiny;
        tiny.size = SyntheticSize::Tiny;
        const SyntheticTruth truth = MakeSyntheticTruth(tiny);
        const int32_t w = int32_t(truth.outputColumns), h = int32_t(truth.outputRows);
        // What earlier files left in the cache is never asked for again.
        GetGlobalCache()->SetSizeLimit(0);
        GetGlobalCache()->SetSizeLimit(kCacheLimit);
        for (HostileCase& c : batch) {
            c.request = WholePictureRequest(c.url, w, h);
            m_Pool.Request(c.request.get());
        }
        const auto pending = [&] {
            return std::any_of(batch.begin(), batch.end(),
                               [](const HostileCase& c) { return c.request->m_Result.IsPending(); });
        };
        for (int polls = 0; pending() && polls < 1000000; ++polls)
            m_Pool.Idle();
        for (const HostileCase& c : batch) {
            const IPRequestResult& result = c.request->m_Result;
            const std::string what = c.entry + " = " + std::to_string(c.value);
            if (result.m_eStatus == kIPStatusDone) {
                ASSERT_NE(c.request->m_pResultImage, nullptr) << what;
                const FPixmap* picture = c.request->m_pResultImage->GetPixmap();
                EXPECT_EQ(picture->m_iColumns, w) << what;
                EXPECT_EQ(picture->m_iRows, h) << what;
            } else {
                EXPECT_EQ(result.m_eStatus, kIPStatusError) << what;
                EXPECT_EQ(result.m_eError, kIPErrorException) << what << ": " << ResultText(*c.request);
                EXPECT_GT(result.m_sErrorText.GetLength(), 0) << what;
            }
            ++m_iDeveloped;
        }
        batch.clear();
    }

    FIPManagerPool m_Pool;
    int m_iFiles = 0;
    int m_iDeveloped = 0;
};

} // namespace

TEST_F(HostileCameraDataTest, EveryEntryAtEveryExtremeOfTheIso100DaylightShot)
{
    SyntheticOptions options;
    options.shot = SyntheticShot::DaylightIso100;
    DevelopEveryEntry(options);
    EXPECT_GT(m_iDeveloped, 500);
}

TEST_F(HostileCameraDataTest, EveryEntryAtEveryExtremeOfTheIso800AutoShotWithPerIlluminantTables)
{
    SyntheticOptions options;
    options.shot = SyntheticShot::DaylightIso800Auto;
    options.perIlluminantTables = true;
    DevelopEveryEntry(options);
    EXPECT_GT(m_iDeveloped, 500);
}
