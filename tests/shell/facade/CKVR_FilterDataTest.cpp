// The raw-file settings record: what Reset leaves, what counts as set and as
// equal, and copies through the base record's operations.

#include "shell/facade/CKVR_FilterData.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

struct RecordDeleter {
    void operator()(CET_FilterData* record) const { record->Delete(); }
};
using RecordPtr = std::unique_ptr<CET_FilterData, RecordDeleter>;

} // namespace

TEST(CKVR_FilterDataTest, ResetLeavesNoFillLightAndNothingChosen)
{
    CKVR_FilterData record;
    record.m_nExposure = 5;
    record.m_nFillLight = 7;
    record.m_nWhiteBalance = record.m_nColorMode = record.m_nNoiseReduction = 2;
    record.m_nChromaNoise = record.m_nLumaNoise = 3;
    record.m_strName = u"mine";
    record.Reset();
    EXPECT_EQ(record.m_nExposure, 0);
    EXPECT_EQ(record.m_nFillLight, 0);
    EXPECT_EQ(record.m_nWhiteBalance, -1);
    EXPECT_EQ(record.m_nColorMode, -1);
    EXPECT_EQ(record.m_nNoiseReduction, -1);
    EXPECT_EQ(record.m_nChromaNoise, -1);
    EXPECT_EQ(record.m_nLumaNoise, -1);
    EXPECT_EQ(record.m_strName.GetLength(), 0);
    EXPECT_FALSE(record.IsSet());
    EXPECT_EQ(CKVR_FilterData().m_nWhiteBalance, -1) << "a new record is a reset one";
}

TEST(CKVR_FilterDataTest, SetAndEqualLookAtTheAdjustmentsAndChoicesButNotAtTheNoise)
{
    struct Case {
        const char* change;
        std::function<void(CKVR_FilterData&)> apply;
        bool isSet;
        bool equalToReset;
    };
    const Case cases[] = {
        {"fill light", [](CKVR_FilterData& r) { r.m_nFillLight = 10; }, true, false},
        {"white balance", [](CKVR_FilterData& r) { r.m_nWhiteBalance = 3; }, true, true},
        {"colour mode 0", [](CKVR_FilterData& r) { r.m_nColorMode = 0; }, true, true},
        {"noise", [](CKVR_FilterData& r) { r.m_nChromaNoise = r.m_nLumaNoise = r.m_nNoiseReduction = 2; }, false,
         true},
        {"exposure", [](CKVR_FilterData& r) { r.m_nExposure = -30; }, true, false},
        {"yellow", [](CKVR_FilterData& r) { r.m_nYellow = 5; }, true, false},
        {"auto", [](CKVR_FilterData& r) { r.m_nAuto = 1; }, false, false},
        {"name", [](CKVR_FilterData& r) { r.m_strName = u"other"; }, false, true},
    };
    const CKVR_FilterData reset;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        CKVR_FilterData record;
        c.apply(record);
        EXPECT_EQ(record.IsSet(), c.isSet);
        EXPECT_EQ(record.IsEqual(&reset, 0), c.equalToReset);
        EXPECT_EQ(reset.IsEqual(&record, 0), c.equalToReset);
    }
    CKVR_FilterData named;
    named.m_strName = u"other";
    EXPECT_FALSE(named.IsEqual(&reset, 1)) << "flag 1 compares the names";
    EXPECT_TRUE(named.IsEqual(&reset, 2));
    EXPECT_FALSE(reset.IsEqual(nullptr, 0));
}

TEST(CKVR_FilterDataTest, CloneAndCopyCarryEveryFieldAndStayIndependent)
{
    CKVR_FilterData record;
    record.m_nAuto = 1;
    record.m_nSharpness = 40;
    record.m_nMagenta = 12;
    record.m_nFillLight = -20;
    record.m_nWhiteBalance = 4;
    record.m_nColorMode = 1;
    record.m_nNoiseReduction = 1;
    record.m_nChromaNoise = 6;
    record.m_nLumaNoise = 3;
    record.m_strName = u"Portrait";

    RecordPtr clone(static_cast<const CET_FilterData&>(record).Clone());
    auto* copy = dynamic_cast<CKVR_FilterData*>(clone.get());
    ASSERT_NE(copy, nullptr) << "a clone has the record's own type";
    EXPECT_TRUE(copy->IsEqual(&record, 1));
    EXPECT_EQ(copy->m_nWhiteBalance, 4);
    EXPECT_EQ(copy->m_nColorMode, 1);
    EXPECT_EQ(copy->m_nNoiseReduction, 1);
    EXPECT_EQ(copy->m_nChromaNoise, 6);
    EXPECT_EQ(copy->m_nLumaNoise, 3);
    copy->m_strName = u"changed";
    EXPECT_EQ(record.m_strName, u"Portrait");

    // Copying from a plain picture record takes its part only.
    CET_FilterData plain;
    plain.m_nContrast = 9;
    CKVR_FilterData target = record;
    target.CopyFrom(&plain);
    EXPECT_EQ(target.m_nContrast, 9);
    EXPECT_EQ(target.m_nSharpness, 0);
    EXPECT_EQ(target.m_nWhiteBalance, 4);
    target.CopyFrom(&target);
    EXPECT_EQ(target.m_nContrast, 9);
}
