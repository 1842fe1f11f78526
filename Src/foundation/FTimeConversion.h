#pragma once
// Times of the core are unsigned 32-bit counts of seconds since 1970-01-01 00:00
// (file times, capture times). These turn them into a calendar record and into
// the user's locale texts. No time zone is applied anywhere: the record and the
// texts show the clock time the count holds, so they agree with hours and
// minutes taken from the count modulo 86400.

#include <cstdint>

#include "foundation/FString.h"

struct FSystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;      // 1 to 12
    uint16_t wDayOfWeek = 0;  // 0 Sunday to 6 Saturday
    uint16_t wDay = 0;        // 1 to 31
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// False for a null record, which is left alone.
bool UnixTimeToSystemTime(uint32_t seconds, FSystemTime* record);
// The time in the default format of the user's locale (LC_TIME of the
// environment); "TIME CONVERSION FAILED" when it cannot be made.
FString UnixTimeToTimeString(uint32_t seconds);
// The date in the short format of the user's locale; "DATE CONVERSION FAILED"
// when it cannot be made.
FString UnixTimeToDateString(uint32_t seconds);
