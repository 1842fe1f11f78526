#pragma once
// Assertions and the diagnostics channel of the core.
//
// A failed ASSERTION is reported and thrown as an FException whose message is
// the whole report; a failed ASSUMPTION (a softer check) is only reported and
// the caller carries on. Reports and every other diagnostic go through
// DebugPrintf, which formats its text and then drops it: the delivered program
// writes diagnostics nowhere.

#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define FASSERT_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define FASSERT_PRINTF_LIKE(fmt, args)
#endif

// Flag bits of AssertionFailed.
enum : uint32_t {
    ASSERT_FLAG_ASSUMPTION = 1, // report and continue instead of throwing
    ASSERT_FLAG_PARAM = 2,      // add the parameter line to the report
};

// The report text: "\nASSERTION FAILED\n" or "\nASSUMPTION FAILED\n", then the
// file, line and test lines ("?" for a null file or test), then, with
// ASSERT_FLAG_PARAM, the parameter in hexadecimal and decimal.
std::string FormatAssertionReport(const char* file, int line, const char* test, uint32_t flags, int32_t param);

// Reports the failed check; throws FException with the report unless
// ASSERT_FLAG_ASSUMPTION is set.
void AssertionFailed(const char* file, int line, const char* test, uint32_t flags, int32_t param);

// Formats like printf into a 2048-byte local buffer (longer output is cut at
// 2047 characters) and discards the text. Returns the length kept, or a
// negative value when the format itself fails. Safe from any thread.
int DebugPrintf(const char* format, ...) FASSERT_PRINTF_LIKE(1, 2);

#if defined(__FILE_NAME__)
#define FASSERT_SOURCE __FILE_NAME__
#else
#define FASSERT_SOURCE __FILE__
#endif

// Checks at the call site. Places whose report must name a fixed source and
// line call AssertionFailed themselves.
#define FASSERT(test) \
    ((test) ? (void)0 : AssertionFailed(FASSERT_SOURCE, __LINE__, #test, 0, 0))
#define FASSUME(test) \
    ((test) ? (void)0 : AssertionFailed(FASSERT_SOURCE, __LINE__, #test, ASSERT_FLAG_ASSUMPTION, 0))
#define FASSERT_PARAM(test, param)                                                  \
    ((test) ? (void)0                                                               \
            : AssertionFailed(FASSERT_SOURCE, __LINE__, #test, ASSERT_FLAG_PARAM,   \
                              static_cast<int32_t>(param)))
#define FASSUME_PARAM(test, param)                                                  \
    ((test) ? (void)0                                                               \
            : AssertionFailed(FASSERT_SOURCE, __LINE__, #test,                      \
                              ASSERT_FLAG_ASSUMPTION | ASSERT_FLAG_PARAM,           \
                              static_cast<int32_t>(param)))
