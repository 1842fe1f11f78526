#include "foundation/FAssert.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/FException.h"

namespace {

constexpr size_t kDebugBufferSize = 2048;

const char* OrQuestionMark(const char* text)
{
    return text ? text : "?";
}

} // namespace

std::string FormatAssertionReport(const char* file, int line, const char* test, uint32_t flags, int32_t param)
{
    std::string report = (flags & ASSERT_FLAG_ASSUMPTION) ? "\nASSUMPTION FAILED\n" : "\nASSERTION FAILED\n";
    report += "\tFile:  ";
    report += OrQuestionMark(file);
    report += "\n\tLine:  ";
    report += std::to_string(line);
    report += "\n\tTest:  ";
    report += OrQuestionMark(test);
    report += "\n";
    if (flags & ASSERT_FLAG_PARAM) {
        char paramLine[64];
        std::snprintf(paramLine, sizeof paramLine, "\tParam: 0x%08X = %d\n", static_cast<unsigned>(param),
                      static_cast<int>(param));
        report += paramLine;
    }
    return report;
}

void AssertionFailed(const char* file, int line, const char* test, uint32_t flags, int32_t param)
{
    const std::string report = FormatAssertionReport(file, line, test, flags, param);
    // The report may hold '%' from the test text: pass it as an argument, never as the format.
    DebugPrintf("%s", report.c_str());
    if (!(flags & ASSERT_FLAG_ASSUMPTION))
        throw FException(report.c_str());
}

int DebugPrintf(const char* format, ...)
{
    if (!format)
        return 0;
    char buffer[kDebugBufferSize];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        return length;
    // Nothing is written anywhere: the text is formatted and dropped.
    return length < static_cast<int>(kDebugBufferSize) ? length : static_cast<int>(kDebugBufferSize) - 1;
}
