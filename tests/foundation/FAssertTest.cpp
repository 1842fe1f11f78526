#include "foundation/FAssert.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/FException.h"

namespace {

struct ReportCase {
    const char* file;
    int line;
    const char* test;
    uint32_t flags;
    int32_t param;
    const char* expected;
};

const ReportCase kReportCases[] = {
    {"FPropTree", 568, "pPropPair == m_pPropPairs", 0, 7,
     "\nASSERTION FAILED\n\tFile:  FPropTree\n\tLine:  568\n\tTest:  pPropPair == m_pPropPairs\n"},
    {nullptr, 12, "x", 3, 255,
     "\nASSUMPTION FAILED\n\tFile:  ?\n\tLine:  12\n\tTest:  x\n\tParam: 0x000000FF = 255\n"},
    {"a.cpp", -1, nullptr, 2, -1,
     "\nASSERTION FAILED\n\tFile:  a.cpp\n\tLine:  -1\n\tTest:  ?\n\tParam: 0xFFFFFFFF = -1\n"},
    {"b", 3, "100%s%n%d", 0, 0, "\nASSERTION FAILED\n\tFile:  b\n\tLine:  3\n\tTest:  100%s%n%d\n"},
};

TEST(FAssertTest, ReportTextAndWhetherItThrows)
{
    for (const ReportCase& c : kReportCases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FormatAssertionReport(c.file, c.line, c.test, c.flags, c.param), c.expected);
        if (c.flags & ASSERT_FLAG_ASSUMPTION) {
            EXPECT_NO_THROW(AssertionFailed(c.file, c.line, c.test, c.flags, c.param));
            continue;
        }
        try {
            AssertionFailed(c.file, c.line, c.test, c.flags, c.param);
            ADD_FAILURE() << "an ASSERTION must throw";
        } catch (const FException& e) {
            EXPECT_STREQ(e.GetMessage(), c.expected);
        }
    }
}

TEST(FAssertTest, MacrosCheckAtTheCallSite)
{
    int evaluations = 0;
    EXPECT_NO_THROW(FASSERT(++evaluations == 1));
    EXPECT_EQ(evaluations, 1);
    EXPECT_NO_THROW(FASSUME(1 == 2));
    EXPECT_NO_THROW(FASSUME_PARAM(1 == 2, 5));

    try {
        FASSERT_PARAM(evaluations == 2, 16);
        ADD_FAILURE() << "FASSERT_PARAM must throw";
    } catch (const FException& e) {
        const std::string message = e.GetMessage();
        EXPECT_EQ(message.rfind("\nASSERTION FAILED\n\tFile:  FAssertTest.cpp\n\tLine:  ", 0), 0u) << message;
        EXPECT_NE(message.find("\n\tTest:  evaluations == 2\n\tParam: 0x00000010 = 16\n"), std::string::npos)
            << message;
    }
}

TEST(FAssertTest, DebugPrintfFormatsIntoItsBufferOnly)
{
    EXPECT_EQ(DebugPrintf("%s failed", "FWinThread:CreateThread()"), 32);
    EXPECT_EQ(DebugPrintf("%d/%05.1f", -12, 2.25), 9);
    EXPECT_EQ(DebugPrintf(nullptr), 0);

    const std::string longText(5000, 'x');
    EXPECT_EQ(DebugPrintf("%s", longText.c_str()), 2047);
}

} // namespace
