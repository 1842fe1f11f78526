// Which clipboard files a paste transfers and what it asks: the styles for one
// and several files, no, cancel, yes to all from the file it was given for,
// missing files, files already in the folder and clashing names.

#include "shell/fileops/PastePlan.h"

#include "FileOpsTestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class PastePlanTest : public FileOpsFolderTest {
protected:
    // "name" in the source folder, "name" in the target folder too when taken.
    FString Source(const std::string& name, bool taken)
    {
        const FString path = Write("from/" + name, {1, 2, 3});
        if (taken)
            Write("to/" + name, {9});
        return path;
    }
    std::vector<std::string> Plan(const std::vector<FString>& files, std::vector<int> answers)
    {
        std::vector<std::string> names;
        for (const FString& file : PlanPaste(files, Path("to"), [&](int style, const FString& destination) {
                 asked.push_back(std::to_string(style) + " " + PathFileName(destination).GetAscii());
                 const int answer = answers.empty() ? 0 : answers.front();
                 if (!answers.empty())
                     answers.erase(answers.begin());
                 return answer;
             }))
            names.push_back(PathFileName(file).GetAscii());
        return names;
    }
    void SetUp() override
    {
        for (const char* folder : {"from", "to", "other"})
            std::filesystem::create_directories(PathOf(folder));
    }

    std::vector<std::string> asked;
};

TEST_F(PastePlanTest, OneTakenNameIsAskedWithTheSingleFileStyle)
{
    const FString one = Source("a.jpg", true);
    EXPECT_EQ(Plan({one}, {13}), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(asked, std::vector<std::string>{"10 a.jpg"});
    asked.clear();
    EXPECT_TRUE(Plan({one}, {14}).empty());
}

TEST_F(PastePlanTest, YesToAllCoversTheCurrentAndLaterFilesOnly)
{
    const std::vector<FString> files{Source("a.jpg", true), Source("b.jpg", true), Source("c.jpg", false),
                                     Source("d.jpg", true), Source("e.jpg", true)};
    // "No" for the first, "yes to all" at the second: the first stays out.
    EXPECT_EQ(Plan(files, {14, 21}), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"11 a.jpg", "11 b.jpg"}));
}

TEST_F(PastePlanTest, CancelEmptiesTheListAndOtherAnswersSkip)
{
    const std::vector<FString> files{Source("a.jpg", false), Source("b.jpg", true), Source("c.jpg", true)};
    EXPECT_TRUE(Plan(files, {12}).empty());
    asked.clear();
    EXPECT_EQ(Plan(files, {11, 13}), (std::vector<std::string>{"a.jpg", "c.jpg"}));
}

TEST_F(PastePlanTest, MissingFilesAndFilesAlreadyInTheFolderAreNeverTransferred)
{
    const FString inTarget = Write("to/here.jpg", {1});
    const std::vector<FString> files{Path("from/gone.jpg"), inTarget, Source("a.jpg", false)};
    EXPECT_EQ(Plan(files, {21}), std::vector<std::string>{"a.jpg"});
    EXPECT_TRUE(asked.empty());
}

TEST_F(PastePlanTest, TwoFilesOfOneNameAskBeforeTheSecondReplacesTheFirst)
{
    const FString first = Source("a.jpg", false);
    const FString second = Write("other/a.jpg", {4});
    EXPECT_EQ(Plan({first, second}, {14}), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(asked, std::vector<std::string>{"11 a.jpg"});
}

} // namespace
