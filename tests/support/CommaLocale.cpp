#include "support/CommaLocale.h"

#include "support/TestSupport.h"

#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

extern char** environ;

namespace testsupport {
namespace {

// glibc's newlocale loses its copy of LOCPATH; that is not ours to report.
class IgnoreLeaks {
public:
#if defined(__SANITIZE_ADDRESS__)
    IgnoreLeaks() { __lsan_disable(); }
    ~IgnoreLeaks() { __lsan_enable(); }
#endif
};

// The locale when its decimal separator is a comma; it is kept for the life of
// the process.
locale_t OpenCommaLocale(const char* name)
{
    locale_t locale = static_cast<locale_t>(0);
    {
        [[maybe_unused]] IgnoreLeaks ignore;
        locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    }
    if (locale == static_cast<locale_t>(0))
        return locale;
    if (std::string_view(nl_langinfo_l(RADIXCHAR, locale)) == ",")
        return locale;
    freelocale(locale);
    return static_cast<locale_t>(0);
}

bool RunLocaledef(const std::string& output)
{
    const char* argv[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", output.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "localedef", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    // localedef reports warnings with exit code 1 while still writing the locale.
    return WIFEXITED(status) && WEXITSTATUS(status) <= 1;
}

locale_t FindOrMakeCommaLocale()
{
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "de_DE"}) {
        if (const locale_t locale = OpenCommaLocale(name))
            return locale;
    }
    // The locale's files must stay readable while the process runs.
    static std::unique_ptr<TempDir> folder = std::make_unique<TempDir>();
    // glibc looks the locale up under its normalised codeset name.
    if (!RunLocaledef((folder->Path() / "de_DE.utf8").string()))
        return static_cast<locale_t>(0);
    setenv("LOCPATH", folder->Str().c_str(), 1);
    return OpenCommaLocale("de_DE.UTF-8");
}

locale_t CommaLocale()
{
    static const locale_t locale = FindOrMakeCommaLocale();
    return locale;
}

} // namespace

ScopedCommaLocale::ScopedCommaLocale()
{
    const locale_t comma = CommaLocale();
    if (comma != static_cast<locale_t>(0))
        m_Previous = uselocale(comma);
}

ScopedCommaLocale::~ScopedCommaLocale()
{
    if (m_Previous != static_cast<locale_t>(0))
        uselocale(m_Previous);
}

} // namespace testsupport
