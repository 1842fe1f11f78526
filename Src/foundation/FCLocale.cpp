#include "foundation/FCLocale.h"

namespace {

// Made once and kept for the life of the process: threads may still be using it
// while static objects are destroyed.
locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

} // namespace

FScopedCLocale::FScopedCLocale() : m_Previous(static_cast<locale_t>(0))
{
    const locale_t c = CLocale();
    if (c != static_cast<locale_t>(0))
        m_Previous = uselocale(c);
}

FScopedCLocale::~FScopedCLocale()
{
    if (m_Previous != static_cast<locale_t>(0))
        uselocale(m_Previous);
}
