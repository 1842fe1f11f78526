#include "foundation/FTimeConversion.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

struct Expected {
    uint32_t seconds;
    uint16_t year, month, day, dayOfWeek, hour, minute, second;
};

const Expected kCases[] = {
    {0u, 1970, 1, 1, 4, 0, 0, 0},
    {86399u, 1970, 1, 1, 4, 23, 59, 59},
    {951782400u, 2000, 2, 29, 2, 0, 0, 0},          // leap day of a century leap year
    {2147483647u, 2038, 1, 19, 2, 3, 14, 7},        // the last signed 32-bit second
    {2147483648u, 2038, 1, 19, 2, 3, 14, 8},
    {4107542400u, 2100, 3, 1, 1, 0, 0, 0},          // 2100 is not a leap year
    {4294967295u, 2106, 2, 7, 0, 6, 28, 15},        // the end of the unsigned range
};

// The record never depends on the time zone: it shows the clock time the count holds.
class UnderTimeZone : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { tzset(); }
    void TearDown() override { tzset(); }
    testsupport::ScopedEnv m_Zone{"TZ", GetParam()};
};

TEST_P(UnderTimeZone, CalendarRecordUpToTheEndOfTheRange)
{
    tzset();
    for (const Expected& e : kCases) {
        FSystemTime t;
        t.wMilliseconds = 99;
        ASSERT_TRUE(UnixTimeToSystemTime(e.seconds, &t));
        EXPECT_EQ(t.wYear, e.year) << e.seconds;
        EXPECT_EQ(t.wMonth, e.month) << e.seconds;
        EXPECT_EQ(t.wDay, e.day) << e.seconds;
        EXPECT_EQ(t.wDayOfWeek, e.dayOfWeek) << e.seconds;
        EXPECT_EQ(t.wHour, e.hour) << e.seconds;
        EXPECT_EQ(t.wMinute, e.minute) << e.seconds;
        EXPECT_EQ(t.wSecond, e.second) << e.seconds;
        EXPECT_EQ(t.wMilliseconds, 0) << e.seconds;
    }
}

TEST_P(UnderTimeZone, TextsShowTheCountsOwnClockTime)
{
    testsupport::ScopedEnv lcAll("LC_ALL", "C");
    tzset();
    EXPECT_EQ(std::string(UnixTimeToTimeString(0).GetAscii()), "00:00:00");
    EXPECT_EQ(std::string(UnixTimeToDateString(0).GetAscii()), "01/01/70");
    EXPECT_EQ(std::string(UnixTimeToTimeString(4294967295u).GetAscii()), "06:28:15");
    EXPECT_EQ(std::string(UnixTimeToDateString(4294967295u).GetAscii()), "02/07/06");
}

INSTANTIATE_TEST_SUITE_P(Zones, UnderTimeZone, ::testing::Values("UTC0", "IST-5:30"));

TEST(FTimeConversion, NullRecordIsRefused)
{
    EXPECT_FALSE(UnixTimeToSystemTime(12345u, nullptr));
}

TEST(FTimeConversion, UnknownUserLocaleFallsBackInsteadOfFailing)
{
    testsupport::ScopedEnv lcAll("LC_ALL", "xx_YY.NOT-A-LOCALE");
    const FString time = UnixTimeToTimeString(3661u);
    EXPECT_TRUE(time == "01:01:01") << time.GetAscii();
    EXPECT_FALSE(UnixTimeToDateString(0) == "DATE CONVERSION FAILED");
}

} // namespace
