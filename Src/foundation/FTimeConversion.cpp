#include "foundation/FTimeConversion.h"

#include <ctime>
#include <cwchar>
#include <locale.h>
#include <string>

#include "foundation/FUnicode.h"

namespace {

constexpr uint32_t kSecondsPerDay = 86400;

// Days since 1970-01-01 to the proleptic Gregorian date (the civil-from-days
// algorithm over 400-year eras; exact for the whole unsigned 32-bit range).
void CivilFromDays(int64_t days, int& year, unsigned& month, unsigned& day)
{
    days += 719468; // shift the epoch to 0000-03-01
    const int64_t era = days / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153; // 0 = March
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// The user's time conventions, taken from the environment for this call only;
// the process locale is never changed.
class UserTimeLocale {
public:
    UserTimeLocale()
    {
        m_Locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        if (m_Locale == static_cast<locale_t>(0))
            m_Locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    ~UserTimeLocale()
    {
        if (m_Locale != static_cast<locale_t>(0))
            freelocale(m_Locale);
    }
    UserTimeLocale(const UserTimeLocale&) = delete;
    UserTimeLocale& operator=(const UserTimeLocale&) = delete;
    locale_t Get() const { return m_Locale; }

private:
    locale_t m_Locale;
};

// Formats the record with a wide strftime pattern in the user's locale, so the
// locale's own texts arrive as code points whatever its narrow code set is.
bool FormatRecord(const FSystemTime& record, const wchar_t* pattern, FString& text)
{
    UserTimeLocale locale;
    if (locale.Get() == static_cast<locale_t>(0))
        return false;
    std::tm fields{};
    fields.tm_year = record.wYear - 1900;
    fields.tm_mon = record.wMonth - 1;
    fields.tm_mday = record.wDay;
    fields.tm_wday = record.wDayOfWeek;
    fields.tm_hour = record.wHour;
    fields.tm_min = record.wMinute;
    fields.tm_sec = record.wSecond;
    fields.tm_isdst = 0;
    wchar_t buffer[256];
    const size_t length = wcsftime_l(buffer, sizeof buffer / sizeof buffer[0], pattern, &fields, locale.Get());
    if (length == 0)
        return false;
    std::u32string code_points;
    code_points.reserve(length);
    for (size_t i = 0; i < length; ++i)
        code_points += static_cast<char32_t>(buffer[i]);
    const std::optional<std::u16string> utf16 = Utf32ToUtf16(code_points);
    if (!utf16)
        return false;
    text = FString(std::u16string_view(*utf16));
    return true;
}

FString FormatSeconds(uint32_t seconds, const wchar_t* pattern, const char* failure)
{
    FSystemTime record;
    FString text;
    if (!UnixTimeToSystemTime(seconds, &record) || !FormatRecord(record, pattern, text))
        return FString(failure);
    return text;
}

} // namespace

bool UnixTimeToSystemTime(uint32_t seconds, FSystemTime* record)
{
    if (record == nullptr)
        return false;
    const uint32_t days = seconds / kSecondsPerDay;
    const uint32_t secondOfDay = seconds % kSecondsPerDay;
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    record->wYear = static_cast<uint16_t>(year);
    record->wMonth = static_cast<uint16_t>(month);
    record->wDay = static_cast<uint16_t>(day);
    record->wDayOfWeek = static_cast<uint16_t>((days + 4) % 7); // 1970-01-01 was a Thursday
    record->wHour = static_cast<uint16_t>(secondOfDay / 3600);
    record->wMinute = static_cast<uint16_t>(secondOfDay / 60 % 60);
    record->wSecond = static_cast<uint16_t>(secondOfDay % 60);
    record->wMilliseconds = 0;
    return true;
}

FString UnixTimeToTimeString(uint32_t seconds)
{
    return FormatSeconds(seconds, L"%X", "TIME CONVERSION FAILED");
}

FString UnixTimeToDateString(uint32_t seconds)
{
    return FormatSeconds(seconds, L"%x", "DATE CONVERSION FAILED");
}
