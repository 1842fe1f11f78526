#pragma once
// Numbers in stored texts always use the "C" conventions (a '.' decimal point),
// whatever locale the process or a toolkit has set. Formatting and parsing of
// such texts run inside one of these scopes, which switches only the calling
// thread to the "C" locale and restores its previous locale afterwards.

#include <locale.h>

class FScopedCLocale {
public:
    FScopedCLocale();
    ~FScopedCLocale();
    FScopedCLocale(const FScopedCLocale&) = delete;
    FScopedCLocale& operator=(const FScopedCLocale&) = delete;

private:
    locale_t m_Previous;
};
