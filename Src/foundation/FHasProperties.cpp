#include "foundation/FHasProperties.h"

#include "foundation/FCLocale.h"
#include "foundation/FException.h"

#include <cstdlib>

namespace {

FNarrowString LookupKey(const char* key) { return FNarrowString(key != nullptr ? key : ""); }

} // namespace

FPropertyIterator::FPropertyIterator(const FPropertyMap& map)
    : m_Current(map.begin()), m_First(map.begin()), m_End(map.end())
{
}

bool FPropertyIterator::Next()
{
    if (m_Current == m_End)
        return false;
    ++m_Current;
    return m_Current != m_End;
}

const char* FPropertyIterator::GetKey() const
{
    if (m_Current == m_End)
        throw FExceptionEndOfList("End of list encountered in FPropertyIterator::GetKey()");
    return m_Current->first.GetText();
}

const char* FPropertyIterator::GetValue() const
{
    if (m_Current == m_End)
        throw FExceptionEndOfList("End of list encountered in FPropertyIterator::GetValue()");
    return m_Current->second.GetText();
}

FHasProperties::~FHasProperties() = default;

bool FHasProperties::HasProperty(const char* key) const
{
    return m_Properties.find(LookupKey(key)) != m_Properties.end();
}

const char* FHasProperties::GetProperty(const char* key, const char* defaultText) const
{
    const auto entry = m_Properties.find(LookupKey(key));
    return entry != m_Properties.end() ? entry->second.GetText() : defaultText;
}

double FHasProperties::GetPropertyDouble(const char* key, double defaultValue) const
{
    const auto entry = m_Properties.find(LookupKey(key));
    return entry != m_Properties.end() ? StringToDouble(entry->second.GetText()) : defaultValue;
}

bool FHasProperties::RemoveProperty(const char* key)
{
    return m_Properties.erase(LookupKey(key)) != 0;
}

double StringToDouble(const char* text)
{
    const char* start = text != nullptr ? text : "";
    char* end = nullptr;
    double value = 0.0;
    {
        FScopedCLocale cLocale;
        value = std::strtod(start, &end);
    }
    if (end == start) {
        throw FExceptionConversion(
            FNarrowString("Conversion failure trying to convert '%s' to a floating point number.", start).GetText());
    }
    return value;
}
