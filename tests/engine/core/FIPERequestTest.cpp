#include "engine/core/FIPERequest.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Words = std::array<uint32_t, FIPEResumeState::kWordCount>;

FIPEResumeState BlockOf(const Words& words)
{
    FIPEResumeState block;
    std::memcpy(block.m_aWords, words.data(), sizeof block.m_aWords);
    return block;
}

Words WordsOf(const FIPEResumeState& block)
{
    Words words;
    std::memcpy(words.data(), block.m_aWords, sizeof block.m_aWords);
    return words;
}

} // namespace

TEST(FIPERequestTest, EveryRecordGivesItsTypeIdAndStartsNewWithNothingSet)
{
    std::vector<std::unique_ptr<FIPERequest>> records;
    records.push_back(std::make_unique<FIPERequestStage1>());
    records.push_back(std::make_unique<FIPERequestStage2>());
    records.push_back(std::make_unique<FIPERequestStage3>());
    records.push_back(std::make_unique<FIPERequestStage4>());
    records.push_back(std::make_unique<FIPERequestGenerateToneLUT>());
    records.push_back(std::make_unique<FIPERequestCropSizeRotate>());
    records.push_back(std::make_unique<FIPERequestRotate>());
    for (size_t id = 0; id < records.size(); ++id) {
        const FIPERequest& r = *records[id];
        EXPECT_EQ(r.GetType(), static_cast<int32_t>(id));
        EXPECT_EQ(r.GetStatus(), kIPStatusNew) << id;
        EXPECT_EQ(r.GetProgress(), 0.0) << id;
        EXPECT_EQ(r.m_iErrorCode, kIPErrorNone) << id;
        EXPECT_TRUE(r.m_sErrorText.GetLength() == 0) << id;
        EXPECT_FALSE(r.IsCancelled()) << id;
        EXPECT_EQ(WordsOf(r.m_ResumeState), Words{}) << id;
    }

    // Outputs a resumed or failed stage may leave unwritten start at zero.
    FIPERequestStage2 stage2;
    EXPECT_EQ(stage2.m_dFillLight, 0.0);
    EXPECT_EQ(stage2.m_adNeutral[1], 0.0);
    EXPECT_EQ(stage2.m_adAutoColorGain[2], 0.0);
    EXPECT_EQ(stage2.m_aiSaturationLevel[0], 0);
    FIPERequestStage1 stage1;
    EXPECT_EQ(stage1.m_aiSaturationLevel[2], 0);
    EXPECT_EQ(stage1.m_aiDarkLevel[1], 0);
}

TEST(FIPERequestTest, TheResumeBlockIsFortyBytesWithTheTagAsALittleEndianWord)
{
    FIPEResumeState block;
    EXPECT_FALSE(block.ResumeOrRestart(FIPEResumeState::kTagStage1, 2));
    unsigned char bytes[40];
    static_assert(sizeof bytes == sizeof block);
    std::memcpy(bytes, block.m_aWords, sizeof bytes);
    // 'STG1' with the first character most significant: "1GTS" in memory.
    EXPECT_EQ(bytes[0], 0x31);
    EXPECT_EQ(bytes[1], 0x47);
    EXPECT_EQ(bytes[2], 0x54);
    EXPECT_EQ(bytes[3], 0x53);
    EXPECT_EQ(FIPEResumeState::kTagStage2, 0x53544732u);
}

TEST(FIPERequestTest, AStageResumesOnlyFromItsOwnTagAndOtherwiseClearsTheWordsItUses)
{
    const uint32_t stg1 = FIPEResumeState::kTagStage1;
    const uint32_t stg2 = FIPEResumeState::kTagStage2;
    struct Case {
        const char* name;
        Words before;
        uint32_t tag;
        int lastWordUsed;
        bool resumes;
        Words after;
    };
    const Case cases[] = {
        {"fresh cache entry", {}, stg1, 2, false, {stg1}},
        {"own tag", {stg1, 0, 377, 9, 9, 5, 6, 7, 8, 9}, stg1, 2, true, {stg1, 0, 377, 9, 9, 5, 6, 7, 8, 9}},
        {"stage 2's block given to stage 1", {stg2, 7, 377, 4, 4, 5, 6, 7, 8, 9}, stg1, 2, false,
         {stg1, 0, 0, 4, 4, 5, 6, 7, 8, 9}},
        {"stage 1's block given to stage 2", {stg1, 0, 377, 4, 4, 5, 6, 7, 8, 9}, stg2, 3, false,
         {stg2, 0, 0, 0, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        FIPEResumeState block = BlockOf(c.before);
        EXPECT_EQ(block.ResumeOrRestart(c.tag, c.lastWordUsed), c.resumes) << c.name;
        EXPECT_EQ(WordsOf(block), c.after) << c.name;
    }
}

TEST(FIPERequestTest, AFinishedRecordCarriesNoErrorFromAnEarlierFailure)
{
    FIPERequestStage3 record;
    record.Fail(kIPErrorBadParameter, "too few rows");
    EXPECT_EQ(record.GetStatus(), kIPStatusError);
    EXPECT_EQ(record.m_iErrorCode, kIPErrorBadParameter);
    EXPECT_FALSE(record.m_sErrorText.GetLength() == 0);
    for (int32_t status : {kIPStatusDone, kIPStatusCancelled}) {
        record.Fail(kIPErrorException, "again");
        record.Finish(status);
        EXPECT_EQ(record.GetStatus(), status);
        EXPECT_EQ(record.m_iErrorCode, kIPErrorNone);
        EXPECT_TRUE(record.m_sErrorText.GetLength() == 0);
    }
}
