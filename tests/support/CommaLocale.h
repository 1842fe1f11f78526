#pragma once
// Runs the calling thread under a locale whose decimal separator is a comma,
// the way a desktop toolkit may leave the process, to show that stored numbers
// still use '.'. When no such locale is installed, one is compiled with
// localedef into a private folder once per process (LOCPATH then points there).

#include <locale.h>

namespace testsupport {

class ScopedCommaLocale {
public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    // False when no comma locale could be found or made; the locale is then
    // unchanged and the caller should skip.
    bool Active() const { return m_Previous != static_cast<locale_t>(0); }

private:
    locale_t m_Previous = static_cast<locale_t>(0);
};

} // namespace testsupport
